#pragma once
// One program per local database file: the program, the fill tool and the bench hold
// data/data.pbb.lock (and the lock beside the real file, where data.pbb is a link) for the whole of
// their run.
#include <QString>

#include "app/data/ConnectionSettings.h"
#include "platform/FileLock.h"

// "数据库文件正被另一个程序使用，不能同时打开。"
QString DatabaseInUseMessage();
// Why a lock in state `s` on the lock file `lockPath` refuses to go on: held by another program, a
// lock file this account cannot open (its holder cannot be known), anything but a plain file at its
// name, or a plain file with a second hard link. "" for a lock held, or missing and impossible to
// create (a read-only folder).
QString LockRefusalMessage(FileLockState s, const QString& lockPath);
// The lock files of a database: beside its name, and beside its real file where the name is a link
// (so a program of an earlier version, which locks beside the name, still keeps others out, and two
// program folders linked to one file exclude each other).
QStringList DatabaseLockFiles(const DatabaseFile& db);
// Takes those locks, the one beside the name first, without waiting. "" when held; else why not: a
// link of another account (no lock taken), or LockRefusalMessage. A lock file that is missing and
// cannot be created (a read-only folder) is DbFailure::readOnly() when `missingIsReadOnly`, else
// passed over (the caller goes on without it).
QString LockDatabaseFile(const DatabaseFile& db, bool missingIsReadOnly);
// LockDatabaseFile for LocalDatabasePath(), missing lock files passed over.
QString LockLocalDatabase();
// Whether this process holds those locks now: files beside the database (the database itself, the
// attachment copies) are replaced or removed only then.
bool HoldsLocalDatabaseLock();
