#pragma once
// An exclusive lock on a file beside a database, held by the process (not by a connection) until it
// ends. The lock file is created when missing (mode 0666, so that another account sharing the folder
// can open it too) and never deleted; it is opened close-on-exec, so a program started from ours (a
// word processor for a contract) never keeps it, and only as a plain file (SafeFiles.h).
#include <QString>

#include "platform/SafeFiles.h"

enum class FileLockState {
  Held,          // this process holds it (now, or already before the call)
  Busy,          // another process holds it
  Unavailable,   // the lock file is missing and cannot be created (a read-only folder)
  Inaccessible,  // the lock file exists but this process cannot open it at all
  NotRegular,    // a link, a FIFO or anything else but a plain file stands at its name: not used
  MultipleLinks, // a plain file with a second hard link (a snapshot may hold it): not used
};

// Takes the lock on `path` without waiting. A process that holds it already gets Held again. An
// existing lock file is opened read-write, else read-only: flock decides on either.
FileLockState AcquireFileLock(const QString& path);
// Whether this process holds the lock on `path` now.
bool HoldsFileLock(const QString& path);
// Whether another process holds the lock on `path` now; checks without taking it.
bool FileLockedElsewhere(const QString& path);
// Gives the lock on `path` up (for the tools and tests; the program keeps it to its end).
void ReleaseFileLock(const QString& path);
// Opens the kept file `path` read-write for a short exclusive change under flock, creating it 0666
// whatever the umask. Returns the descriptor (locked; closing it unlocks), or -1 with errno set and
// `*state` saying why; a lock another process holds for kSharedFileLockWaitMs gives -1 with errno
// EWOULDBLOCK (and the state Opened: the file itself is sound).
inline constexpr int kSharedFileLockWaitMs = 3000;
int OpenSharedFileLocked(const QString& path, KeptFileState* state = nullptr);
