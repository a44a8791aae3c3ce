#include "app/Main.h"

#include "app/data/ConnectionSettings.h"
#include "app/frmMain.h"
#include "app/services/LocalDatabaseLock.h"
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
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->Form_Load();
  return w;
}
