#include "app/services/LocalDatabaseLock.h"

#include "app/data/ConnectionSettings.h"
#include "platform/FileLock.h"

QString DatabaseInUseMessage() { return QStringLiteral("数据库文件正被另一个程序使用，不能同时打开。"); }

bool LockLocalDatabase() { return AcquireFileLock(LocalDatabasePath() + QStringLiteral(".lock")) != FileLockState::Busy; }
