#pragma once
// One program per local database file: the program, the fill tool and the bench hold
// data/data.pbb.lock for the whole of their run.
#include <QString>

// "数据库文件正被另一个程序使用，不能同时打开。"
QString DatabaseInUseMessage();
// Takes the lock beside LocalDatabasePath(); false only when another process holds it. A lock file
// that cannot be created (a read-only folder) does not stop the caller.
bool LockLocalDatabase();
