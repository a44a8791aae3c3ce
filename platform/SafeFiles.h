#pragma once
// The program's folders that other system accounts may write (data/, template/, 报表/, 合同/,
// Databackup/) are hostile ground: a link or a special file planted there must never make the program
// write, truncate, change the mode of or remove a file elsewhere, nor hang it. Every file the program
// keeps or makes there by a fixed or guessable name goes through these calls.
#include <QString>

#include <functional>

#include <sys/types.h>

enum class KeptFileOpen {
  ReadWrite,          // read-write only
  ReadWriteElseRead,  // read-write, else read-only (enough for flock)
};

enum class KeptFileState {
  Opened,
  Missing,       // not there, and not created (or cannot be: a read-only folder)
  NotRegular,    // a link, a FIFO, a device, a folder, or a file with a second hard link (errno EMLINK)
  Inaccessible,  // there, but this account may not open it (errno tells)
};

// Opens a file kept by a fixed name (a lock, a list) without following a link, without blocking on a
// FIFO and close-on-exec, never truncating; the descriptor's own fstat then decides: only a regular
// file with one link is used. A missing file is created with `createMode` (set by fchmod, whatever the
// umask) when that is not 0. Returns the descriptor, or -1 with `*state` saying why (errno kept).
int OpenKeptFile(const QString& path, KeptFileOpen access, mode_t createMode, KeptFileState* state);

// "<what>不是普通文件，为安全起见没有使用，请删除它后重试：<path>"
QString NotRegularFileMessage(const QString& what, const QString& path);

// Makes a new file by a fixed or predictable name: whatever stands at the name (a file, a link, a
// FIFO) is unlinked first, then the file is created exclusively without following a link and given
// `mode` by fchmod. Returns a write-only descriptor, or -1 with errno set.
int CreateFreshFile(const QString& path, mode_t mode);
// The same without the unlink: fails with EEXIST where anything stands at the name (names that must
// never be replaced, such as attachment copies and backups).
int CreateNewFile(const QString& path, mode_t mode);
// CreateFreshFile, closed again at once: for a library that then writes the (now empty, regular) file
// by its name. False with errno set when it cannot be made.
bool MakeFreshFile(const QString& path, mode_t mode);

// Removes a name with unlink: never follows a link, never touches a folder. A missing name counts
// as removed.
bool RemoveName(const QString& path);
// Renames `from` to `to` only when nothing stands at `to` (EEXIST otherwise). Where the file system
// takes neither the no-replace flag nor a hard link (a FUSE or network share), the final name is
// looked at and then renamed to. False with errno set.
bool RenameNoReplace(const QString& from, const QString& to);
// Tests: renameat2 with RENAME_NOREPLACE and link fail with these errors (0: the real calls).
void RefuseNoReplaceCallsForTests(int renameErrno, int linkErrno);
// Renames `from` over `to`; a link standing at `to` is replaced, never followed.
bool RenameReplacing(const QString& from, const QString& to);

// Whether anything stands at `path`: a file, a folder, a link (a dangling one too), a FIFO.
bool NameTaken(const QString& path);
// Whether a regular file (not a link to one) stands at `path`.
bool IsPlainFile(const QString& path);
// Whether a regular file with one link stands at `path`: a second name could stand for a file
// elsewhere.
bool IsSingleLinkFile(const QString& path);

// The bits a file created with `mode` gets under this process's umask, as open() would give them: for
// files the user saves (exports, contracts, backups), whose mode is then set by fchmod.
mode_t MaskedMode(mode_t mode);

// Opens a template the program only reads (a report or contract template) without following a link
// and without blocking on a FIFO; the descriptor's fstat must find a regular file, of any number of
// links (a snapshot of the folder made with hard links still prints: templates are replaced by
// rename, never written in place). Returns a read-only descriptor, or -1 with `*state` saying why.
int OpenTemplateFile(const QString& path, KeptFileState* state);
// "模板文件不是普通文件，为安全起见没有使用，请删除它并放回正确的模板后重试：<path>"
QString NotRegularTemplateMessage(const QString& path);

// Writes a file that a library opens by name long after it was begun (an export): `write` gets a
// new file made with O_EXCL under a fresh name of random characters beside `path` (its descriptor,
// closed after, and its name), mode `mode`; when `write` says the file is whole, it is renamed over
// `path` (a link there is replaced, never followed). Otherwise, or when the rename fails, the
// temporary name is removed. False with errno set when the file could not be made or renamed.
// Writes all of `bytes` to `fd` from where it stands, again after an interrupted write. False with
// errno set (ENOSPC where the system took nothing and said nothing).
bool WriteWhole(int fd, const QByteArray& bytes);
bool WriteBesideAndRename(const QString& path, mode_t mode, const std::function<bool(int fd, const QString& name)>& write);
