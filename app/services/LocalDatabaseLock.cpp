#include "app/services/LocalDatabaseLock.h"

#include "app/data/ConnectionSettings.h"
#include "platform/FileLock.h"

namespace {
QString lockPath() { return LocalDatabasePath() + QStringLiteral(".lock"); }
}  // namespace

QString DatabaseInUseMessage() { return QStringLiteral("数据库文件正被另一个程序使用，不能同时打开。"); }

bool LockLocalDatabase() {
  const FileLockState s = AcquireFileLock(lockPath());
  return s == FileLockState::Held || s == FileLockState::Unavailable;
}

bool HoldsLocalDatabaseLock() { return HoldsFileLock(lockPath()); }
