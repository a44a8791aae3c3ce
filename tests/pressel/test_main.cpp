// The button tests run without a display, with fixed fonts and system colours.
#include <gtest/gtest.h>

#include <QApplication>

#include "IsolatedProfile.h"
#include "pbCommand.h"

int main(int argc, char** argv) {
  IsolatedProfile profile;
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  pbColors::SetSystemColorTable(pbColors::ClassicColor);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
