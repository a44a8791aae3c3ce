// The program's start: settings from the local file, then the main window, with no error shown.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "app/services/LocalDatabaseLock.h"
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

// The folder of a database another process of the program holds; set only for the child below.
const char* const kHeldFolder = "VRN_HELD_PROGRAM_FOLDER";

TEST_F(StartupTest, ASecondProgramOnTheSameFileIsRefusedAtStart) {
  std::unique_ptr<frmMain> w(Main());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(QFileInfo::exists(LocalDatabasePath() + QStringLiteral(".lock")));
  // Started again in the same process (as tests do), it does not lock itself out.
  std::unique_ptr<frmMain> again(Main());
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(" | ").toStdString();

  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kHeldFolder), appDir());
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=StartupChild.StartOnAFileAnotherProgramHolds")});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString out = QString::fromUtf8(child.readAllStandardOutput());
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}

using StartupChild = ProgramTest;
TEST_F(StartupChild, StartOnAFileAnotherProgramHolds) {
  const QString held = qEnvironmentVariable(kHeldFolder);
  if (held.isEmpty()) GTEST_SKIP() << "run by ASecondProgramOnTheSameFileIsRefusedAtStart as a second process";
  SetAppDir(held);
  EXPECT_THROW(Main(), ProgramEnded);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("数据库文件正被另一个程序使用，不能同时打开。")});
  EXPECT_EQ(ended_.calls, 1);
}

TEST_F(StartupTest, WithoutALockFileTheProgramStillStarts) {
  // Something the lock file cannot be made over stands for a read-only folder (tests may run as root).
  ASSERT_TRUE(QDir().mkpath(LocalDatabasePath() + QStringLiteral(".lock")));
  std::unique_ptr<frmMain> w(Main());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(" | ").toStdString();
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
