// One running program per data folder: a lock the kernel frees with the process, on a
// file in the data folder itself, and a local socket through which a later start asks the
// running one to show itself.
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
  // `name` names the lock ("thisApp"); it is scoped to the current working folder (the
  // data folder), however it is reached and whatever the environment says, so two data
  // folders may each have their program running, and one folder never has two.
  explicit InstanceLock(std::string name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Opens (or creates) the lock without taking it; false when that is impossible. A lock
  // file that is not this user's own is put aside for one that is.
  bool create();
  // Tries for up to `milliseconds` to take the lock: an InstanceWait value.
  int wait(int milliseconds);
  bool owned() const { return owned_; }
  // Gives the lock up and closes it; the holder's lock file goes with it.
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
  bool open();

  std::string name_;
  std::string lockPath_;
  std::string socketPath_;  // a name in the abstract socket namespace: no file
  int fd_ = -1;
  bool folderLocked_ = false;  // a folder this user may not write: the folder itself is locked
  bool found_ = false;         // the lock file was there before: its holder may have died
  bool owned_ = false;
  std::unique_ptr<Server> server_;
};

}  // namespace pf
