#include "platform/FileLock.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <mutex>

namespace {
std::mutex gMutex;
std::map<QString, int>& heldLocks() {
  static std::map<QString, int> held;
  return held;
}
QString keyOf(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

int openLockFile(const QString& path, int flags) {
  return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
}
}  // namespace

FileLockState AcquireFileLock(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const QString key = keyOf(path);
  if (heldLocks().count(key)) return FileLockState::Held;
  const int fd = openLockFile(key, O_RDWR | O_CREAT);
  if (fd < 0) return FileLockState::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? FileLockState::Busy : FileLockState::Unavailable;
  }
  heldLocks()[key] = fd;
  return FileLockState::Held;
}

bool FileLockedElsewhere(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const QString key = keyOf(path);
  if (heldLocks().count(key)) return false;
  // A missing lock file is held by nobody; the check creates nothing.
  const int fd = openLockFile(key, O_RDONLY);
  if (fd < 0) return false;
  const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (!busy) ::flock(fd, LOCK_UN);
  ::close(fd);
  return busy;
}

void ReleaseFileLock(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const auto it = heldLocks().find(keyOf(path));
  if (it == heldLocks().end()) return;
  ::close(it->second);
  heldLocks().erase(it);
}
