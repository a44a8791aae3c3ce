#include "app/services/LocalDatabaseLock.h"

#include <QDir>

#include "app/data/AppError.h"

QString DatabaseInUseMessage() { return QStringLiteral("数据库文件正被另一个程序使用，不能同时打开。"); }

QString LockRefusalMessage(FileLockState s, const QString& lockPath) {
  switch (s) {
    case FileLockState::Busy: return DatabaseInUseMessage();
    case FileLockState::Inaccessible:
      return QStringLiteral("数据库锁文件“%1”不能被当前系统账户打开，请让管理员把它的权限改为所有人可读写。").arg(QDir::toNativeSeparators(lockPath));
    case FileLockState::NotRegular: return NotRegularFileMessage(QStringLiteral("数据库锁文件"), lockPath);
    // A second name (a `cp -al` snapshot): the lock may still matter to a program using the other one.
    case FileLockState::MultipleLinks:
      return QStringLiteral("数据库锁文件有多个硬链接，为安全起见没有使用。请先退出所有使用该数据库的程序，再删除它后重试：") +
             QDir::toNativeSeparators(lockPath);
    default: return {};
  }
}

QStringList DatabaseLockFiles(const DatabaseFile& db) {
  QStringList locks{db.name + QStringLiteral(".lock")};
  if (db.link == DatabaseFile::Followed) locks << db.real + QStringLiteral(".lock");
  return locks;
}

QString LockDatabaseFile(const DatabaseFile& db, bool missingIsReadOnly) {
  // Nothing is made beside the target of another account's link, not even a lock file.
  if (db.link == DatabaseFile::Foreign) return db.refusal;
  for (const QString& lock : DatabaseLockFiles(db)) {
    const FileLockState state = AcquireFileLock(lock);
    if (state == FileLockState::Unavailable && missingIsReadOnly) return DbFailure::readOnly();
    if (const QString refusal = LockRefusalMessage(state, lock); !refusal.isEmpty()) return refusal;
  }
  return {};
}

QString LockLocalDatabase() { return LockDatabaseFile(ResolvedDatabaseFile(LocalDatabasePath()), false); }

bool HoldsLocalDatabaseLock() {
  const DatabaseFile db = ResolvedDatabaseFile(LocalDatabasePath());
  if (db.link == DatabaseFile::Foreign) return false;
  for (const QString& lock : DatabaseLockFiles(db))
    if (!HoldsFileLock(lock)) return false;
  return true;
}
