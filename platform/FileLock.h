#pragma once
// An exclusive lock on a file beside a database, held by the process (not by a connection) until it
// ends. The lock file is created when missing and never deleted; it is opened close-on-exec, so a
// program started from ours (a word processor for a contract) never keeps it.
#include <QString>

enum class FileLockState {
  Held,         // this process holds it (now, or already before the call)
  Busy,         // another process holds it
  Unavailable,  // the lock file cannot be created or opened (a read-only folder)
};

// Takes the lock on `path` without waiting. A process that holds it already gets Held again.
FileLockState AcquireFileLock(const QString& path);
// Whether another process holds the lock on `path` now; checks without taking it.
bool FileLockedElsewhere(const QString& path);
// Gives the lock on `path` up (for the tools and tests; the program keeps it to its end).
void ReleaseFileLock(const QString& path);
