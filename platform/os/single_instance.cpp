#include "platform/os/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <QByteArray>
#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace pf {
namespace {

// A folder for the lock and the socket is fit only when it is a real folder (not a link)
// that belongs to this user and that nobody else may enter or write.
bool privateFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
  ::close(fd);
  return ok;
}

// The user's runtime folder is private to the user and emptied at log-out; without one,
// a folder of the user's own under /tmp (or TMPDIR), which anyone could have made
// first. Empty when neither is fit.
std::string runtimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg && privateFolder(xdg)) return xdg;
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillbox-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  return privateFolder(dir) ? dir : std::string();
}

std::string folderTag() {
  std::error_code ec;
  auto here = std::filesystem::weakly_canonical(std::filesystem::current_path(ec), ec).string();
  // FNV-1a: short, stable across runs (std::hash need not be).
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : here) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace

struct InstanceLock::Server {
  QLocalServer server;
  std::function<bool()> onRaise;
};

InstanceLock::InstanceLock(std::string name) : name_(std::move(name)) {}

InstanceLock::~InstanceLock() { release(); }

bool InstanceLock::create() {
  if (fd_ >= 0) return true;
  std::string dir = runtimeFolder();
  if (dir.empty()) return false;
  std::string base = dir + "/quillbox-" + name_ + "-" + folderTag();
  lockPath_ = base + ".lock";
  socketPath_ = base + ".sock";
  fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  return fd_ >= 0;
}

int InstanceLock::wait(int milliseconds) {
  if (fd_ < 0) return InstanceWait::NoMutex;
  if (owned_) return InstanceWait::Obtained;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      owned_ = true;
      // A socket left behind means the last holder died without giving the lock up.
      std::error_code ec;
      bool stale = std::filesystem::exists(socketPath_, ec);
      return stale ? InstanceWait::Abandoned : InstanceWait::Obtained;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return InstanceWait::Failed;
    if (std::chrono::steady_clock::now() >= deadline) return InstanceWait::TimedOut;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void InstanceLock::release() {
  if (server_) {
    server_->server.close();
    server_.reset();
    ::unlink(socketPath_.c_str());
  }
  if (fd_ >= 0) {
    if (owned_) ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }
  owned_ = false;
}

bool InstanceLock::listen(std::function<bool()> onRaise) {
  if (!owned_) return false;
  // Without an application object there is no event loop to answer on.
  if (!QCoreApplication::instance()) return false;
  server_ = std::make_unique<Server>();
  server_->onRaise = std::move(onRaise);
  // Only the lock holder gets here, so a socket file left is a dead holder's.
  QLocalServer::removeServer(QString::fromStdString(socketPath_));
  server_->server.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->server.listen(QString::fromStdString(socketPath_))) {
    server_.reset();
    return false;
  }
  Server* s = server_.get();
  QObject::connect(&s->server, &QLocalServer::newConnection, &s->server, [s] {
    while (QLocalSocket* peer = s->server.nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [s, peer] {
        if (!peer->canReadLine()) return;
        QByteArray line = peer->readLine().trimmed();
        bool found = false;
        if (line == "raise" && s->onRaise) found = s->onRaise();
        peer->write(found ? "found\n" : "none\n");
        peer->flush();
        peer->disconnectFromServer();
      });
    }
  });
  return true;
}

bool InstanceLock::askToRaise(int timeoutMilliseconds) {
  if (socketPath_.empty()) return false;
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(socketPath_));
  if (!socket.waitForConnected(timeoutMilliseconds)) return false;
  socket.write("raise\n");
  if (!socket.waitForBytesWritten(timeoutMilliseconds)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMilliseconds)) return false;
  }
  return socket.readLine().trimmed() == "found";
}

}  // namespace pf
