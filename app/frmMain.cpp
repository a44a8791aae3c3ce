#include "app/frmMain.h"

#include "platform/Dialogs.h"

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(kAppTitle);
  resize(1024, 700);
}
