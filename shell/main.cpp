#include <QApplication>
#include <QFont>

#include "app/data/ConnectionSettings.h"
#include "shell/Main.h"
#include "platform/ChineseDesktop.h"
#include "platform/Dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vrnJD"));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(VRN_VERSION_MAJOR).arg(VRN_VERSION_MINOR).arg(VRN_VERSION_PATCH));
  UseChineseDesktop();
  SetAppDir(QApplication::applicationDirPath());
  try {
    Main();
  } catch (const ProgramEnded&) {
    return 0;
  }
  return QApplication::exec();
}
