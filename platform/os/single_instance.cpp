#include "platform/os/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
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

bool ownFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

// The open file is still the one the name gives: a holder that gave the lock up removed it.
bool sameFile(int fd, const std::string& path) {
  struct stat a {}, b {};
  return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Only this user's programs are answered, and only their answers believed.
bool peerIsUser(qintptr fd) {
  ucred peer {};
  socklen_t size = sizeof peer;
  return fd >= 0 && ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
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
  std::error_code ec;
  auto here = std::filesystem::current_path(ec);
  struct stat folder {};
  if (ec || ::stat(".", &folder) != 0) return false;
  // The folder by its device and inode: another path to it, a link or a mount, is the same folder.
  char id[40];
  std::snprintf(id, sizeof id, "%llx-%llx", static_cast<unsigned long long>(folder.st_dev),
                static_cast<unsigned long long>(folder.st_ino));
  lockPath_ = (here / ("quillbox-" + name_ + ".lock")).string();
  socketPath_ = "quillbox-" + std::to_string(::geteuid()) + "-" + name_ + "-" + id;
  return open();
}

bool InstanceLock::open() {
  for (int tries = 0; tries < 3; ++tries) {
    int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      (void)::fchmod(fd, 0600);
      fd_ = fd;
      found_ = false;
      return true;
    }
    if (errno != EEXIST) break;
    fd = ::open(lockPath_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fd = ::open(lockPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ownFile(fd)) {
      fd_ = fd;
      found_ = true;
      return true;
    }
    if (fd >= 0) ::close(fd);
    // Not a file of this user's (someone else's, a link): whoever made it does not hold
    // this program up. It is put aside for one of ours.
    if (::unlink(lockPath_.c_str()) != 0 && errno != ENOENT) break;
  }
  // A folder this user may not write into (or only through a name that cannot be put
  // aside): nothing is made in it, and the folder itself is the lock.
  fd_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  folderLocked_ = fd_ >= 0;
  found_ = false;
  return fd_ >= 0;
}

int InstanceLock::wait(int milliseconds) {
  if (fd_ < 0) return InstanceWait::NoMutex;
  if (owned_) return InstanceWait::Obtained;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      if (folderLocked_ || sameFile(fd_, lockPath_)) {
        owned_ = true;
        // A lock file left behind means the last holder died without giving the lock up.
        return found_ ? InstanceWait::Abandoned : InstanceWait::Obtained;
      }
      // Its holder gave it up and removed it meanwhile: the lock is whatever the name holds now.
      ::close(fd_);
      fd_ = -1;
      if (!open()) return InstanceWait::NoMutex;
      continue;
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
  }
  if (fd_ >= 0) {
    // Removed while still held, so no later start takes a lock on a file nobody can find.
    if (owned_ && !folderLocked_ && sameFile(fd_, lockPath_)) ::unlink(lockPath_.c_str());
    if (owned_) ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }
  owned_ = false;
  folderLocked_ = false;
}

bool InstanceLock::listen(std::function<bool()> onRaise) {
  if (!owned_) return false;
  // Without an application object there is no event loop to answer on.
  if (!QCoreApplication::instance()) return false;
  server_ = std::make_unique<Server>();
  server_->onRaise = std::move(onRaise);
  // A name without a file: nothing is left behind, and no folder of anyone's is needed.
  server_->server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server_->server.listen(QString::fromStdString(socketPath_))) {
    server_.reset();
    return false;
  }
  Server* s = server_.get();
  QObject::connect(&s->server, &QLocalServer::newConnection, &s->server, [s] {
    while (QLocalSocket* peer = s->server.nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (!peerIsUser(peer->socketDescriptor())) {
        peer->abort();
        peer->deleteLater();
        continue;
      }
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
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(QString::fromStdString(socketPath_));
  if (!socket.waitForConnected(timeoutMilliseconds)) return false;
  // Anyone may take a name in the abstract namespace first.
  if (!peerIsUser(socket.socketDescriptor())) return false;
  socket.write("raise\n");
  if (!socket.waitForBytesWritten(timeoutMilliseconds)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMilliseconds)) return false;
  }
  return socket.readLine().trimmed() == "found";
}

}  // namespace pf
