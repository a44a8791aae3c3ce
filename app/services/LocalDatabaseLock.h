#pragma once
// One program per local database file: the program, the fill tool and the bench hold
// data/data.pbb.lock for the whole of their run.
#include <QString>

// "数据库文件正被另一个程序使用，不能同时打开。"
QString DatabaseInUseMessage();
// Takes the lock beside LocalDatabasePath(). False when another process holds it, or when the lock
// file exists but cannot be opened at all (another account's file whose holder cannot be known).
// A lock file that is missing and cannot be created (a read-only folder) does not stop the caller.
bool LockLocalDatabase();
// Whether this process holds that lock now: files beside the database (the database itself, the
// attachment copies) are replaced or removed only then.
bool HoldsLocalDatabaseLock();
