#include "shell/Main.h"

#include "app/data/AppError.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/Database.h"
#include "shell/frmMain.h"
#include "app/services/LocalDatabaseLock.h"
#include "loans/AttachmentCopies.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "platform/Dialogs.h"

frmMain* Main() {
  // The database file is resolved once, before anything opens it: a link of another account is not
  // followed, and the program does not start on it.
  if (const QString refusal = ResolveLocalDatabase(); !refusal.isEmpty()) {
    MsgBox(refusal, Mb::Critical);
    EndProgram();
  }
  RefuseUnsafeSideFiles();
  // A failure here must not stop the program from showing its window: each step goes on alone.
  try {
    LoadDatabaseSettings();
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
  }
  ClaimLocalDatabase();
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->Form_Load();
  return w;
}

void RefuseUnsafeSideFiles() {
  // The local file is read for the settings in either mode: before SQLite opens it, a journal it
  // would roll back from, or a -wal it would take up, must be a file of its own. They lie beside the
  // real file where the database is reached through links.
  if (const QString refusal = UnsafeSideFileMessage(LocalDatabaseRealPath()); !refusal.isEmpty()) {
    MsgBox(refusal, Mb::Critical);
    EndProgram();
  }
}

void ClaimLocalDatabase() {
  // One program per local file: a second one would write under the first one's feet. A lock file
  // that exists but cannot be opened (another account's) may be held, so it refuses the start too,
  // and so does anything but a plain file at its name. Without a lock file (a read-only folder) the
  // program still starts; its first save says the folder is read-only.
  if (gDatabaseType != 0) return;
  if (const QString refusal = LockLocalDatabase(); !refusal.isEmpty()) {
    MsgBox(refusal, Mb::Critical);
    EndProgram();
  }
  // Copies listed by a window of a program killed before its save, and named by no row, would stay
  // for ever. Only while no other program can be adding attachments (the lock held), and never on
  // SQL Server, where other workstations' rows are not this folder's. A failure must not stop the
  // start; a list that cannot be used is told (one that is no plain file, so that it is removed).
  if (HoldsLocalDatabaseLock()) {
    RemoveLeftoverWorkFiles();
    try {
      QString details;
      if (const QString failure = LoanStore::RemoveListedCopies(&details); !failure.isEmpty()) MsgBox(failure, Mb::Exclamation, QString(), details);
    } catch (const AppError&) {
    }
  }
}
