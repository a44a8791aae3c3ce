#include "platform/FileLock.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

int openExisting(const QByteArray& name, int flags) { return ::open(name.constData(), flags | O_CLOEXEC); }

// Opens the file another account may have made: read-write when allowed, else read-only (flock
// works on either). A missing file is created 0666; the umask would otherwise keep other accounts
// from opening it read-write. `missingAndUncreatable` tells a missing file that cannot be made (a
// read-only folder) from one that exists and cannot be opened.
int openShared(const QString& path, bool readOnlyAllowed, bool* missingAndUncreatable) {
  const QByteArray name = QFile::encodeName(path);
  *missingAndUncreatable = false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = openExisting(name, O_RDWR);
    if (fd >= 0) return fd;
    if (errno != ENOENT) {
      if (!readOnlyAllowed) return -1;
      const int first = errno;
      fd = openExisting(name, O_RDONLY);
      if (fd < 0) errno = first;
      return fd;
    }
    fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::fchmod(fd, 0666);
      return fd;
    }
    if (errno != EEXIST) {
      *missingAndUncreatable = true;
      return -1;
    }
    // Made by someone else between the two calls (or a dangling link): look again.
  }
  errno = EACCES;
  return -1;
}
}  // namespace

FileLockState AcquireFileLock(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const QString key = keyOf(path);
  if (heldLocks().count(key)) return FileLockState::Held;
  bool uncreatable = false;
  const int fd = openShared(key, true, &uncreatable);
  if (fd < 0) return uncreatable ? FileLockState::Unavailable : FileLockState::Inaccessible;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? FileLockState::Busy : FileLockState::Inaccessible;
  }
  heldLocks()[key] = fd;
  return FileLockState::Held;
}

bool HoldsFileLock(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  return heldLocks().count(keyOf(path)) > 0;
}

bool FileLockedElsewhere(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const QString key = keyOf(path);
  if (heldLocks().count(key)) return false;
  // A missing lock file is held by nobody; the check creates nothing.
  const int fd = openExisting(QFile::encodeName(key), O_RDONLY);
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

int OpenSharedFileLocked(const QString& path) {
  bool uncreatable = false;
  const int fd = openShared(path, false, &uncreatable);
  if (fd < 0) return -1;
  int r;
  do {
    r = ::flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}
