#include "app/Main.h"

#include "app/data/AppError.h"
#include "app/data/ConnectionSettings.h"
#include "app/frmMain.h"
#include "app/services/LocalDatabaseLock.h"
#include "loans/LoanStore.h"
#include "platform/Dialogs.h"

frmMain* Main() {
  // A failure here must not stop the program from showing its window: each step goes on alone.
  try {
    LoadDatabaseSettings();
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
  }
  // One program per local file: a second one would write under the first one's feet. Without a lock
  // file (a read-only folder) the program still starts; its first save says the folder is read-only.
  if (gDatabaseType == 0 && !LockLocalDatabase()) {
    MsgBox(DatabaseInUseMessage(), Mb::Critical);
    EndProgram();
  }
  // Alone on the local file: copies made for a window of a program that was killed before its save
  // are named by no row and would stay for ever. A failure here must not stop the start.
  if (gDatabaseType == 0) {
    try {
      LoanStore::RemoveUnsavedAttachmentCopies();
    } catch (const AppError&) {
    }
  }
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->Form_Load();
  return w;
}
