// The program's start: settings from the local file, then the main window, with no error shown.
#include <QApplication>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "platform/Clock.h"

using StartupTest = ProgramTest;

TEST_F(StartupTest, StartReachesTheMainWindowWithoutAnyMessage) {
  gMachineId = 0;
  frmMain* w = Main();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(gMachineId, 1);
  EXPECT_EQ(gDatabaseType, 0);
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(" | ").toStdString();
  delete w;
}

TEST(DateTextTest, DatesAndTimesReadTheProgramsFormatsWhateverTheLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(DateText(QDate(2024, 3, 5)), QStringLiteral("2024-03-05"));
  EXPECT_EQ(TimeText(QTime(14, 3, 9)), QStringLiteral("14:03:09"));
  EXPECT_EQ(TimeText(QTime(0, 0, 0)), QStringLiteral("00:00:00"));
  EXPECT_EQ(DateTimeText(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), QStringLiteral("2024-03-05"));
  EXPECT_EQ(DateTimeText(QDateTime(QDate(2024, 3, 5), QTime(9, 8, 7))), QStringLiteral("2024-03-05 09:08:07"));
  EXPECT_EQ(ChineseDateText(QDate(2024, 3, 5)), QStringLiteral("2024年03月05日"));
  EXPECT_EQ(ParseDateText(QStringLiteral("2024/3/5")), QDate(2024, 3, 5));
  EXPECT_FALSE(ParseDateText(QStringLiteral("No")).isValid());
  QLocale::setDefault(before);
}
