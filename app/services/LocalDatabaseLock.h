#pragma once
// One program per local database file: the program, the fill tool and the bench hold
// data/data.pbb.lock for the whole of their run.
#include <QString>

#include "platform/FileLock.h"

// "数据库文件正被另一个程序使用，不能同时打开。"
QString DatabaseInUseMessage();
// Why a lock in state `s` on the lock file `lockPath` refuses to go on: held by another program, a
// lock file this account cannot open (its holder cannot be known), anything but a plain file at its
// name, or a plain file with a second hard link. "" for a lock held, or missing and impossible to
// create (a read-only folder).
QString LockRefusalMessage(FileLockState s, const QString& lockPath);
// Takes the lock beside LocalDatabasePath(). "" when taken, or when the lock file is missing and
// cannot be created (a read-only folder: the caller goes on without it); else LockRefusalMessage.
QString LockLocalDatabase();
// Whether this process holds that lock now: files beside the database (the database itself, the
// attachment copies) are replaced or removed only then.
bool HoldsLocalDatabaseLock();
