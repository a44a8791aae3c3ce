#include "app/Main.h"

#include "app/data/ConnectionSettings.h"
#include "app/frmMain.h"
#include "platform/Dialogs.h"

frmMain* Main() {
  // A failure here must not stop the program from showing its window: each step goes on alone.
  try {
    LoadDatabaseSettings();
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
  }
  auto* w = new frmMain();
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->Form_Load();
  return w;
}
