// Test entry of the program's tests: a GUI application without a display, in a UTF-8 locale, with
// the program's Chinese desktop.
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>

#include "IsolatedProfile.h"
#include "app/data/Database.h"
#include "platform/ChineseDesktop.h"

int main(int argc, char** argv) {
  IsolatedProfile profile;  // before Qt reads HOME and the XDG folders
  // The UTF-8 locale CTest gives, also when a test binary is run by hand (unixODBC garbles Chinese
  // in any other).
  qputenv("LANG", "C.UTF-8");
  qputenv("LC_ALL", "C.UTF-8");
  std::setlocale(LC_ALL, "");
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  // As the program does: Qt's own texts in Chinese whatever LANG says.
  UseChineseDesktop();
  // Every statement the suite sends carries its Chinese values bound, as SQL Server needs them.
  RefuseQuotedNonAsciiLiterals(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
