// Test entry of the program's tests: a GUI application without a display, in a UTF-8 locale, with
// the program's Chinese desktop.
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>

#include "platform/ChineseDesktop.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  // As the program does: Qt's own texts in Chinese whatever LANG says.
  UseChineseDesktop();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
