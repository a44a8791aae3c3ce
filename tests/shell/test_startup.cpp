// The program's start: settings from the local file, then the main window, with no error shown.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <functional>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "shell/Main.h"
#include "shell/frmMain.h"
#include "app/services/LocalDatabaseLock.h"
#include "loans/AttachmentCopies.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "platform/Clock.h"
#include "platform/SafeFiles.h"

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

namespace {
// Lets an account other than this one reach `path` (search permission on the folders of this test
// process's own profile above it), as on a program folder that two accounts share.
void letOthersThrough(const QString& path) {
  const QString profile = QFileInfo(qEnvironmentVariable("TMPDIR")).absolutePath();
  ASSERT_TRUE(QFileInfo(path).absoluteFilePath().startsWith(profile + QLatin1Char('/'))) << path.toStdString();
  for (QDir d(path);; d.cdUp()) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(d.absolutePath());
    if (::stat(name.constData(), &st) == 0 && st.st_uid == ::geteuid()) ::chmod(name.constData(), (st.st_mode & 07777) | S_IXOTH);
    if (d.absolutePath() == profile || d.isRoot()) break;
  }
}

// Runs `body` in a child process of another account (nobody, when the tests run as root; with
// the same account the mode bits bind already) and returns its exit status (-1: it did not exit).
int asAnotherAccount(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
    ::alarm(60);  // a start that hangs fails the case
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Another process holding the lock file until it is killed.
struct LockHolder {
  pid_t pid = -1;
  explicit LockHolder(const QString& lockFile) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid = fork();
    if (pid == 0) {
      const int fd = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      (void)!::write(ready[1], "h", 1);
      for (;;) ::pause();
    }
    char c = 0;
    if (::read(ready[0], &c, 1) != 1) pid = -1;
    ::close(ready[0]);
    ::close(ready[1]);
  }
  ~LockHolder() {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};
}  // namespace

TEST_F(StartupTest, TheLockFileDecidesWhetherTheProgramStartsAndCleansUp) {
  enum Outcome { Refused = 0, StartedWithLock = 1, StartedWithoutLock = 2 };
  const QString lock = LocalDatabasePath() + QStringLiteral(".lock");
  const QString cannotOpen = QStringLiteral("数据库锁文件“%1”不能被当前系统账户打开，请让管理员把它的权限改为所有人可读写。").arg(lock);
  const QString notPlain = QStringLiteral("数据库锁文件不是普通文件，为安全起见没有使用，请删除它后重试：") + lock;
  struct Case {
    const char* name;
    int lockMode;          // -1: no lock file
    std::optional<Plant> plant;  // planted at its name instead
    bool held;             // another process holds it
    bool dataReadOnly;     // the data folder cannot take a new file
    Outcome outcome;
    QString refusal;
  };
  // Left by an earlier build under umask 077; with a single account its owner is shut out by 0000.
  const int othersLock = ::geteuid() == 0 ? 0600 : 0000;
  const Case cases[] = {
      {"made by the program", -1, {}, false, false, StartedWithLock, {}},
      {"0444 of another account, held by its program", 0444, {}, true, false, Refused, DatabaseInUseMessage()},
      {"0444 of another account, free", 0444, {}, false, false, StartedWithLock, {}},
      {"another account's that this one cannot open", othersLock, {}, false, false, Refused, cannotOpen},
      {"missing in a read-only folder", -1, {}, false, true, StartedWithoutLock, {}},
      {"a link to a private file of the account starting", -1, Plant::LinkToOthersFile, false, false, Refused, notPlain},
      {"a dangling link", -1, Plant::DanglingLink, false, false, Refused, notPlain},
      {"a FIFO", -1, Plant::Fifo, false, false, Refused, notPlain},
  };
  const QString dataDir = QFileInfo(LocalDatabasePath()).absolutePath();
  const QString folder = LoanStore::AttachmentFolder();
  const QString copy = QStringLiteral("20261208093000.pdf");
  letOthersThrough(folder);
  ::chmod(QFile::encodeName(folder).constData(), 0777);
  // The folders of a program shared by two accounts: the one that starts first makes the lock file.
  ::chmod(QFile::encodeName(dataDir).constData(), 0777);
  // The child starts on the connection this process has open, as the program would have one.
  Db(0).scalar(QStringLiteral("select count(*) from PJ_Sys"));
  const mode_t oldMask = ::umask(022);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(QFile::encodeName(lock).constData());
    std::optional<PlantedName> planted;
    if (c.plant) {
      planted.emplace(*c.plant, lock, dir_.path() + QStringLiteral("/另一账户"));
      letOthersThrough(planted->folder());
    }
    if (c.lockMode >= 0) {
      QFile f(lock);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.close();
      ASSERT_EQ(::chmod(QFile::encodeName(lock).constData(), static_cast<mode_t>(c.lockMode)), 0);
    }
    // A copy a killed window listed: only a start that holds the lock may remove it.
    {
      QFile f(folder + copy);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(LoanStore::NotePendingCopy(copy).isEmpty());
    const QStringList filesBefore = QDir(folder).entryList(QDir::Files);
    if (c.dataReadOnly) ::chmod(QFile::encodeName(dataDir).constData(), 0555);
    std::unique_ptr<LockHolder> holder;
    if (c.held) {
      holder = std::make_unique<LockHolder>(lock);
      ASSERT_GT(holder->pid, 0);
    }
    responder_.clear();
    // The child runs the start up to the main window (a forked child must not paint: Qt's painting
    // threads do not come along).
    const int status = asAnotherAccount([this, &c] {
      try {
        LoadDatabaseSettings();
        ClaimLocalDatabase();
        if (HoldsLocalDatabaseLock()) return int(StartedWithLock);
        // Compaction and restore need the lock too; without a lock file the folder is read-only,
        // and they say so rather than blame another program.
        CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword);
        BackupOrRestoreDatabase(1, LocalDatabasePath());
        return responder_.texts() == QStringList(2, DbFailure::readOnly()) ? int(StartedWithoutLock) : 11;
      } catch (const ProgramEnded&) {
        return responder_.texts() == QStringList{c.refusal} ? int(Refused) : 10;
      }
    });
    if (c.held) {
      // Neither does this process replace the file under the holder's feet.
      const QByteArray bytes = [&] {
        QFile f(LocalDatabasePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
      }();
      const QString backup = ExportLocalDatabase(DefaultBackupFolder(), QStringLiteral("恢复用"));
      responder_.clear();
      EXPECT_FALSE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
      responder_.answer(Mb::Yes);  // would confirm the restore, if it were ever asked
      BackupOrRestoreDatabase(1, backup);
      EXPECT_FALSE(gBackupOk);
      EXPECT_EQ(responder_.texts(), (QStringList{DatabaseInUseMessage(), DatabaseInUseMessage()}));
      responder_.answers.clear();
      QFile f(LocalDatabasePath());
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      EXPECT_EQ(f.readAll(), bytes);
    }
    holder.reset();
    ::chmod(QFile::encodeName(dataDir).constData(), 0777);
    EXPECT_EQ(status, c.outcome);
    QStringList expected = filesBefore;
    if (c.outcome == StartedWithLock) expected.removeAll(copy);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), expected);
    if (c.lockMode < 0 && !c.plant && !c.dataReadOnly) {
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(lock).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0666u) << "whatever the umask";
    }
    if (c.plant) {
      EXPECT_TRUE(planted->othersUntouched());
      EXPECT_TRUE(NameTaken(lock) && !IsPlainFile(lock)) << "what was planted stays";
    }
    LoanStore::ForgetPendingCopies({copy});
  }
  ::umask(oldMask);
}

// What a killed or failed compaction, conversion, restore or backup left is removed by the next start
// that holds the lock, by name: a link goes, never what it points to; a folder is never entered.
TEST_F(StartupTest, TheNextStartRemovesTheWorkFilesAKilledRunLeft) {
  const QString data = QFileInfo(LocalDatabasePath()).absolutePath() + QLatin1Char('/');
  const QString backups = DefaultBackupFolder();
  const QStringList leftovers = {
      appDir() + QStringLiteral("text.bak-journal"), data + QStringLiteral("data.pbb.convert"),
      data + QStringLiteral("data.pbb.convert-journal"), data + QStringLiteral("restore.tmp"),
      data + QStringLiteral("restore.tmp-journal"), data + QStringLiteral("restore.tmp.convert"),
      data + QStringLiteral("restore.tmp.convert-journal"), data + QStringLiteral("restore.tmp.lock"),
      backups + QStringLiteral("20261208093000.bak.part"), backups + QStringLiteral("20261208093000_恢复前-2.bak.part"),
  };
  const QStringList kept = {appDir() + QStringLiteral("text.bak"), backups + QStringLiteral("20261208093000.bak"),
                            data + QStringLiteral("restore.tmp.txt"), backups + QStringLiteral("一个目录.part/留着.bak")};
  QDir().mkpath(backups + QStringLiteral("一个目录.part"));
  for (const QString& name : leftovers + kept) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    f.write("留下的");
  }
  const PlantedName link(Plant::LinkToOthersFile, backups + QStringLiteral("20261208093001.bak.part"), dir_.path());
  ClaimLocalDatabase();
  ASSERT_TRUE(HoldsLocalDatabaseLock());
  for (const QString& name : leftovers) EXPECT_FALSE(QFileInfo::exists(name)) << name.toStdString();
  for (const QString& name : kept) EXPECT_TRUE(QFileInfo::exists(name)) << name.toStdString();
  EXPECT_FALSE(link.stillPlanted());
  EXPECT_TRUE(link.othersUntouched());
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
