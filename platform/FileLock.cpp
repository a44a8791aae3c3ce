#include "platform/FileLock.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
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

// `err`: the errno OpenKeptFile left.
FileLockState stateOf(KeptFileState s, int err) {
  switch (s) {
    case KeptFileState::Missing: return FileLockState::Unavailable;
    case KeptFileState::NotRegular: return err == EMLINK ? FileLockState::MultipleLinks : FileLockState::NotRegular;
    default: return FileLockState::Inaccessible;
  }
}
}  // namespace

FileLockState AcquireFileLock(const QString& path) {
  std::lock_guard<std::mutex> guard(gMutex);
  const QString key = keyOf(path);
  if (heldLocks().count(key)) return FileLockState::Held;
  // Another account sharing the folder may have made it: read-write when allowed, else read-only
  // (flock works on either). Made 0666, or the umask would keep other accounts from writing it.
  KeptFileState state;
  const int fd = OpenKeptFile(key, KeptFileOpen::ReadWriteElseRead, 0666, &state);
  if (fd < 0) return stateOf(state, errno);
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
  KeptFileState state;
  const int fd = OpenKeptFile(key, KeptFileOpen::ReadWriteElseRead, 0, &state);
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

int OpenSharedFileLocked(const QString& path, KeptFileState* state) {
  KeptFileState s;
  const int fd = OpenKeptFile(path, KeptFileOpen::ReadWrite, 0666, &s);
  if (state) *state = s;
  if (fd < 0) return -1;
  // Any account may open the list (0666) and so hold its flock as long as it likes: never wait on
  // it for more than a moment, or the program shows no window for as long.
  QElapsedTimer waited;
  waited.start();
  int r;
  while ((r = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && (errno == EINTR || (errno == EWOULDBLOCK && waited.elapsed() < kSharedFileLockWaitMs)))
    ::usleep(20000);
  if (r != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}
