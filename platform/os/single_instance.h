// One running program per working folder: a lock the kernel frees with the process,
// and a local socket through which a later start asks the running one to show itself.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace pf {

// Answers of InstanceLock::wait, as the program's start-up knows them.
namespace InstanceWait {
constexpr int Obtained = 0;
constexpr int Abandoned = -1;  // obtained; the previous holder ended without releasing
constexpr int TimedOut = 1;    // another instance holds it
constexpr int NoMutex = 2;
constexpr int Failed = 3;
}  // namespace InstanceWait

class InstanceLock {
 public:
  // `name` names the lock ("thisApp"); it is scoped to the user and the current
  // working folder, so two data folders may each have their program running.
  explicit InstanceLock(std::string name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Opens (or creates) the lock without taking it; false when that is impossible, and
  // when the folder it lives in is a link, another user's, or open to others.
  bool create();
  // Tries for up to `milliseconds` to take the lock: an InstanceWait value.
  int wait(int milliseconds);
  bool owned() const { return owned_; }
  // Gives the lock up and closes it.
  void release();

  // The holder: answers later starts. `onRaise` runs on the GUI thread and says
  // whether a frame was found to show. Needs a running Qt event loop to answer.
  bool listen(std::function<bool()> onRaise);
  // A later start: asks the holder to show its frame. True when the holder found one;
  // false when it did not, did not answer, or is not listening.
  bool askToRaise(int timeoutMilliseconds = 2000);

  const std::string& lockPath() const { return lockPath_; }
  const std::string& socketPath() const { return socketPath_; }

 private:
  struct Server;
  std::string name_;
  std::string lockPath_;
  std::string socketPath_;
  int fd_ = -1;
  bool owned_ = false;
  std::unique_ptr<Server> server_;
};

}  // namespace pf
