#include "platform/SafeFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray nameOf(const QString& path) { return QFile::encodeName(path); }

// A descriptor stays only on a regular file with one link: anything else could stand for a file
// elsewhere (a hard link) or block the program (a FIFO, a device).
bool plainFileDescriptor(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

// Drops the O_NONBLOCK the open needed against FIFOs: later reads and writes of a regular file never
// block anyway, but locks taken on it may be meant to wait.
void clearNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int openNoFollow(const QByteArray& name, int flags) {
  return ::open(name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// ELOOP is what O_NOFOLLOW gives on a link; ENXIO a FIFO without a reader opened for writing.
bool notRegularErrno(int e) { return e == ELOOP || e == ENXIO || e == EISDIR || e == ENODEV; }
}  // namespace

int OpenKeptFile(const QString& path, KeptFileOpen access, mode_t createMode, KeptFileState* state) {
  const QByteArray name = nameOf(path);
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = openNoFollow(name, O_RDWR);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM) && access == KeptFileOpen::ReadWriteElseRead) {
      fd = openNoFollow(name, O_RDONLY);
      if (fd < 0 && errno != EACCES && !notRegularErrno(errno)) errno = EACCES;
    }
    if (fd >= 0) {
      if (!plainFileDescriptor(fd)) {
        struct stat st {};
        const bool secondName = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        *state = KeptFileState::NotRegular;
        errno = secondName ? EMLINK : EINVAL;
        return -1;
      }
      clearNonBlocking(fd);
      *state = KeptFileState::Opened;
      return fd;
    }
    if (notRegularErrno(errno)) {
      *state = KeptFileState::NotRegular;
      return -1;
    }
    if (errno != ENOENT) {
      *state = KeptFileState::Inaccessible;
      return -1;
    }
    if (createMode == 0) {
      *state = KeptFileState::Missing;
      return -1;
    }
    fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, createMode);
    if (fd >= 0) {
      ::fchmod(fd, createMode);
      *state = KeptFileState::Opened;
      return fd;
    }
    if (errno != EEXIST) {
      *state = KeptFileState::Missing;
      return -1;
    }
    // Made by someone else between the two calls, or a dangling link: look again.
  }
  *state = KeptFileState::NotRegular;
  errno = EEXIST;
  return -1;
}

QString NotRegularFileMessage(const QString& what, const QString& path) {
  return what + QStringLiteral("不是普通文件，为安全起见没有使用，请删除它后重试：") + QDir::toNativeSeparators(path);
}

int CreateNewFile(const QString& path, mode_t mode) {
  const int fd = ::open(nameOf(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd >= 0 && ::fchmod(fd, mode) != 0) {
    const int e = errno;
    ::close(fd);
    ::unlink(nameOf(path).constData());
    errno = e;
    return -1;
  }
  return fd;
}

int CreateFreshFile(const QString& path, mode_t mode) {
  if (!RemoveName(path)) return -1;
  return CreateNewFile(path, mode);
}

bool MakeFreshFile(const QString& path, mode_t mode) {
  const int fd = CreateFreshFile(path, mode);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool RemoveName(const QString& path) {
  if (::unlink(nameOf(path).constData()) == 0 || errno == ENOENT) return true;
  return false;
}

namespace {
int gRefusedRename = 0, gRefusedLink = 0;
}  // namespace

void RefuseNoReplaceCallsForTests(int renameErrno, int linkErrno) {
  gRefusedRename = renameErrno;
  gRefusedLink = linkErrno;
}

bool RenameNoReplace(const QString& from, const QString& to) {
  const QByteArray a = nameOf(from), b = nameOf(to);
  const auto refused = [](int e) {
    errno = e;
    return -1;
  };
  if ((gRefusedRename ? refused(gRefusedRename) : ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE)) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link is never made over an existing name either.
  if ((gRefusedLink ? refused(gRefusedLink) : ::link(a.constData(), b.constData())) == 0) {
    ::unlink(a.constData());
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
  // Neither (a FUSE or network share): the final name is looked at first. An account planting a
  // name at that very moment is outside what the program can keep off such a share.
  if (NameTaken(to)) {
    errno = EEXIST;
    return false;
  }
  return std::rename(a.constData(), b.constData()) == 0;
}

bool RenameReplacing(const QString& from, const QString& to) {
  return std::rename(nameOf(from).constData(), nameOf(to).constData()) == 0;
}

bool NameTaken(const QString& path) {
  struct stat st {};
  return ::lstat(nameOf(path).constData(), &st) == 0;
}

bool IsPlainFile(const QString& path) {
  struct stat st {};
  return ::lstat(nameOf(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSingleLinkFile(const QString& path) {
  struct stat st {};
  return ::lstat(nameOf(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

mode_t MaskedMode(mode_t mode) {
  // The kernel tells the umask without changing it; setting it twice would open a window in which
  // another thread's new file gets none.
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly))
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
      if (line.startsWith("Umask:")) {
        bool ok = false;
        const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok) return mode & ~static_cast<mode_t>(mask);
      }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mode & ~mask;
}

int OpenTemplateFile(const QString& path, KeptFileState* state) {
  const int fd = openNoFollow(nameOf(path), O_RDONLY);
  if (fd < 0) {
    *state = notRegularErrno(errno) ? KeptFileState::NotRegular
             : errno == ENOENT      ? KeptFileState::Missing
                                    : KeptFileState::Inaccessible;
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *state = KeptFileState::NotRegular;
    errno = EINVAL;
    return -1;
  }
  clearNonBlocking(fd);
  *state = KeptFileState::Opened;
  return fd;
}

QString NotRegularTemplateMessage(const QString& path) {
  return QStringLiteral("模板文件不是普通文件，为安全起见没有使用，请删除它并放回正确的模板后重试：") + QDir::toNativeSeparators(path);
}

bool WriteWhole(int fd, const QByteArray& bytes) {
  for (qsizetype done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

bool WriteBesideAndRename(const QString& path, mode_t mode, const std::function<bool(int fd, const QString& name)>& write) {
  QByteArray name = nameOf(path) + ".XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const QString temp = QFile::decodeName(name);
  bool whole = ::fchmod(fd, mode) == 0;
  int e = errno;
  if (whole) {
    whole = write(fd, temp);
    e = errno;
  }
  ::close(fd);
  if (whole && RenameReplacing(temp, path)) return true;
  if (whole) e = errno;
  RemoveName(temp);
  errno = e;
  return false;
}
