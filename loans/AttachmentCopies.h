#pragma once
// The files of attachments belong to the user. A file of the attachment folder is removed only where
// the program knows it is a copy a window made and did not save: each window notes its copies, by
// file name, in a pending list in the attachment folder before it makes them, and the save
// clears its own entries once it has committed. Nothing is ever inferred from the database that
// happens to be open (a restored backup or another file names fewer files than the folder holds).
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

#include "loans/LoanStore.h"

namespace LoanStore {

// "template/.pending": one copy name a line, kept as a plain file only (SafeFiles.h).
QString PendingCopiesPath();
// Whether `name` has the shape of a copy the windows make ("yyyyMMddHHmmss", an optional "_n" and
// an extension): templates and anything with a folder in it never do.
bool IsCopyName(const QString& name);
// Notes a copy before it is made; "" when noted, else why not (the copy must then not be made), the
// system's text in `*details`. The list is waited for 3 seconds at most (FileLock.h).
QString NotePendingCopy(const QString& name, QString* details = nullptr);
// Takes names off the list (their save committed, or their files are gone).
void ForgetPendingCopies(const QStringList& names);
// The names listed now.
QStringList PendingCopies();
// Whether any attachment row's 路径 ends with `name`: such a file is never removed.
bool NamedByAnyRow(const QString& name);

// At start, on the local file and holding its lock: removes each listed copy that lies in the
// attachment folder and that no row names, then empties the list. Returns "" or why the list
// could not be used (nothing then removed), the system's text in `*details`. A list another program
// holds is left for a later start, and "" returned.
QString RemoveListedCopies(QString* details = nullptr);
// After a save has committed: its copies leave the list, and the files of the attachment rows it
// dropped (`dropped`, as SaveAttachmentRows returned them) are removed where they are copies in the
// attachment folder that no row names any more.
void SettleSavedAttachments(const QList<Attachment>& saved, const QStringList& dropped);

// Tests: faults put into the list's rewrite, standing for read(2) and pwrite(2) on the list.
struct PendingListFaults {
  std::function<ssize_t(int fd, void* buffer, size_t size)> read;
  std::function<ssize_t(int fd, const void* buffer, size_t size, off_t offset)> write;
};
void SetPendingListFaults(PendingListFaults faults);

}  // namespace LoanStore
