// The program's start: settings from the local file, then the main window, with no error shown.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <functional>
#include <memory>
#include <optional>

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
#include "platform/FileLock.h"
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
bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int chmodAt(const QString& path, int mode) { return ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)); }

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
}  // namespace

TEST_F(StartupTest, TheLockFileDecidesWhetherTheProgramStartsAndCleansUp) {
  enum Outcome { Refused = 0, StartedWithLock = 1, StartedWithoutLock = 2 };
  const QString lock = LocalDatabasePath() + QStringLiteral(".lock");
  const QString cannotOpen = QStringLiteral("数据库锁文件“%1”不能被当前系统账户打开，请让管理员把它的权限改为所有人可读写。").arg(lock);
  const QString notPlain = QStringLiteral("数据库锁文件不是普通文件，为安全起见没有使用，请删除它后重试：") + lock;
  const QString secondName = QStringLiteral("数据库锁文件有多个硬链接，为安全起见没有使用。请先退出所有使用该数据库的程序，再删除它后重试：") + lock;
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
      {"a second name of a file (a snapshot made with cp -al)", -1, Plant::HardLink, false, false, Refused, secondName},
  };
  const QString dataDir = QFileInfo(LocalDatabasePath()).absolutePath();
  const QString folder = LoanStore::AttachmentFolder();
  const QString copy = QStringLiteral("20261208093000.pdf");
  letOthersThrough(folder);
  chmodAt(folder, 0777);
  // The folders of a program shared by two accounts: the one that starts first makes the lock file.
  chmodAt(dataDir, 0777);
  // The child starts on the connection this process has open, as the program would have one.
  Db(0).scalar(QStringLiteral("select count(*) from PJ_Sys"));
  const mode_t oldMask = ::umask(022);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(QFile::encodeName(lock).constData());
    std::optional<PlantedName> planted;
    if (c.plant) letOthersThrough(planted.emplace(*c.plant, lock, dir_.path() + QStringLiteral("/另一账户")).folder());
    if (c.lockMode >= 0) ASSERT_TRUE(writeFile(lock, {}) && chmodAt(lock, c.lockMode) == 0);
    // A copy a killed window listed: only a start that holds the lock may remove it.
    ASSERT_TRUE(writeFile(folder + copy, {}));
    ASSERT_TRUE(LoanStore::NotePendingCopy(copy).isEmpty());
    const QStringList filesBefore = QDir(folder).entryList(QDir::Files);
    if (c.dataReadOnly) chmodAt(dataDir, 0555);
    std::optional<FlockHolder> holder;  // another process holding the lock file until it is killed
    if (c.held) ASSERT_GT(holder.emplace(lock).pid, 0);
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
      const QByteArray bytes = readAll(LocalDatabasePath());
      ASSERT_FALSE(bytes.isEmpty());
      const QString backup = ExportLocalDatabase(DefaultBackupFolder(), QStringLiteral("恢复用"));
      responder_.clear();
      EXPECT_FALSE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
      responder_.answer(Mb::Yes);  // would confirm the restore, if it were ever asked
      BackupOrRestoreDatabase(1, backup);
      EXPECT_FALSE(gBackupOk);
      EXPECT_EQ(responder_.texts(), (QStringList{DatabaseInUseMessage(), DatabaseInUseMessage()}));
      responder_.answers.clear();
      EXPECT_EQ(readAll(LocalDatabasePath()), bytes);
    }
    holder.reset();
    chmodAt(dataDir, 0777);
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
      EXPECT_TRUE(planted->stillPlanted()) << "what was planted stays";
    }
    LoanStore::ForgetPendingCopies({copy});
  }
  ::umask(oldMask);
}

// What stands in the way of another account's start is named in the start-up question, the number
// and the system's words in its details only.
TEST_F(StartupTest, WhatKeepsAnotherAccountFromTheFileIsNamedAtTheStart) {
  const QString database = LocalDatabasePath();
  const QString dataDir = QFileInfo(database).absolutePath();
  const QString journal = database + QStringLiteral("-journal");
  struct Case {
    const char* name;
    std::function<void()> prepare;
    QString cause;
    std::function<void()> tidy;
  };
  const Case cases[] = {
      {"a data folder it may not enter", [&] { chmodAt(dataDir, 0700); },
       QStringLiteral("无法进入数据文件夹“%1”，请检查该文件夹的权限。").arg(dataDir), [&] { chmodAt(dataDir, 0777); }},
      {"a journal (left by a save of this account) it may not open",
       [&] { ASSERT_TRUE(writeFile(journal, "journal of an unfinished save")); chmodAt(journal, 0600); },
       QStringLiteral("数据库附属文件“%1”不能被当前系统账户打开，请让管理员处理。").arg(journal),
       [&] { ::unlink(QFile::encodeName(journal).constData()); }},
  };
  letOthersThrough(dataDir);
  chmodAt(dataDir, 0777);
  chmodAt(database, 0666);
  ResetConnections();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    if (::geteuid() != 0) {
      // The same account: only the mode bits can shut it out.
      chmodAt(dataDir, c.cause.startsWith(QStringLiteral("无法进入")) ? 0 : 0777);
      chmodAt(journal, 0);
    }
    responder_.clear();
    const int status = asAnotherAccount([this, &c] {
      Recordset rs;
      OpenConnectionAndRecordset(rs, QStringLiteral("select * from PJ_Sys where 编号=1"), 0);
      if (responder_.messages.size() != 1) return 11;
      const MessageRequest& m = responder_.messages.front();
      if (m.text != QStringLiteral("连接数据库出现错误！\r\n%1\r\n现在退出程序吗？").arg(c.cause)) return 12;
      return m.details.startsWith(QStringLiteral("代码：")) && m.details.contains(QStringLiteral("Permission denied")) ? 0 : 13;
    });
    c.tidy();
    chmodAt(dataDir, 0777);
    if (status == 90) GTEST_SKIP() << "no second account to start as";
    EXPECT_EQ(status, 0) << "11: not one question, 12: another question, 13: details without the number and the system's words";
  }
  EXPECT_EQ(Db(0).scalar(QStringLiteral("select count(*) from PJ_Sys")).toInt(), 1) << "the file itself untouched";
}

// What a killed or failed compaction, conversion, restore or backup left is removed by the next start
// that holds the lock, by name: a link goes, never what it points to; a folder is never entered.
TEST_F(StartupTest, TheNextStartRemovesTheWorkFilesAKilledRunLeft) {
  const QString data = QFileInfo(LocalDatabasePath()).absolutePath() + QLatin1Char('/');
  const QString backups = DefaultBackupFolder();
  const auto in = [](const QString& folder, QStringList names) {
    for (QString& n : names) n.prepend(folder);
    return names;
  };
  const QStringList leftovers =
      in(data, {"text.bak", "text.bak-journal", "data.pbb.convert", "data.pbb.convert-journal", "restore.tmp", "restore.tmp-journal",
                "restore.tmp.convert", "restore.tmp.convert-journal", "restore.tmp.lock"}) +
      in(backups, {"20261208093000.bak.part", "20261208093000_恢复前-2.bak.part", "20261208093000.bak.part-journal", "20261208093000-12.bak.part",
                   "20261208093000_升级前.bak.part", "20261208093000_升级前-3.bak.part-journal", "20261208093000_恢复前.bak.part-journal"});
  // The user's own files, names that only look like the program's, and what an earlier version left in
  // the program folder.
  const QStringList kept =
      in(appDir(), {"text.bak", "text.bak-journal"}) + in(data, {"restore.tmp.txt", "text.bak.txt"}) +
      in(backups, {"20261208093000.bak", "一个目录.part/留着.bak", "手工备份.part", "x.pdf.part", "客户合同扫描.pdf.part", "20261208093000-0.bak.part",
                   "2026120809300.bak.part", "20261208093000_备份.bak.part", "20261208093000.bak.part.txt", "20261208093002.bak.part/留着.bak"});
  QDir().mkpath(backups + QStringLiteral("一个目录.part"));
  // A folder named like a leftover is never entered nor removed.
  QDir().mkpath(backups + QStringLiteral("20261208093002.bak.part"));
  for (const QString& name : leftovers + kept) ASSERT_TRUE(writeFile(name, "留下的")) << name.toStdString();
  const PlantedName link(Plant::LinkToOthersFile, backups + QStringLiteral("20261208093001.bak.part"), dir_.path());
  const PlantedName fifo(Plant::Fifo, data + QStringLiteral("text.bak-journal"), dir_.path());
  ClaimLocalDatabase();
  ASSERT_TRUE(HoldsLocalDatabaseLock());
  for (const QString& name : leftovers) EXPECT_FALSE(QFileInfo::exists(name)) << name.toStdString();
  for (const QString& name : kept) EXPECT_TRUE(QFileInfo::exists(name)) << name.toStdString();
  EXPECT_FALSE(link.stillPlanted());
  EXPECT_TRUE(link.othersUntouched());
  EXPECT_FALSE(fifo.stillPlanted()) << "a FIFO at a leftover's name is removed without being opened";
}

// The start on a database an administrator put behind links: the folder owner's links are followed
// once, both locks are taken, the clean-up runs beside the real file and saves land there; a link of
// another account refuses the start with nothing made or removed beside its target; a chain that ends
// nowhere is said as such.
TEST_F(StartupTest, AStartOnADatabaseBehindLinksFollowsOnlyTheLinksOfTheFoldersOwner) {
  const QString name = LocalDatabasePath();
  const QString current = appDir() + QStringLiteral("data/current.pbb");
  struct Case {
    const char* name;
    QStringList via;
    bool byAnotherAccount;  // the last link of the chain
    bool endsNowhere;       // the real file is gone
    QString sentence;       // "" when the program starts on the real file
  };
  const Case cases[] = {
      {"a chain of two of the folder's owner", {current}, false, false, {}},
      {"a link of another account", {}, true, false, QStringLiteral("数据库文件是其他系统账户建立的链接，为安全起见没有使用，请让管理员检查：") + name},
      {"a chain that ends nowhere", {current}, false, true, QStringLiteral("数据库文件“%1”是指向不存在文件的链接。").arg(name)},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.byAnotherAccount && CannotLinkAsAnotherAccount(c.name)) continue;
    ResetConnections();
    const QString realFolder = dir_.path() + QStringLiteral("/另一磁盘%1/").arg(++n);
    const QString real = realFolder + QStringLiteral("real-2026.pbb");
    ASSERT_TRUE(LinkDatabase(name, c.via, real, c.byAnotherAccount));
    if (c.endsNowhere) ASSERT_TRUE(QFile::rename(real, dir_.path() + QStringLiteral("/moved.pbb")));
    // What a killed run left beside the real file.
    const QStringList leftovers = {real + QStringLiteral(".convert"), realFolder + QStringLiteral("restore.tmp"), realFolder + QStringLiteral("text.bak")};
    for (const QString& l : leftovers) ASSERT_TRUE(writeFile(l, {})) << l.toStdString();
    const QStringList targetBefore = FolderState(realFolder);
    responder_.clear();
    ended_.calls = 0;
    if (c.sentence.isEmpty()) {
      std::unique_ptr<frmMain> w(Main());
      ASSERT_NE(w, nullptr);
      EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(" | ").toStdString();
      EXPECT_TRUE(HoldsFileLock(name + QStringLiteral(".lock")));
      EXPECT_TRUE(HoldsFileLock(QFileInfo(real).canonicalFilePath() + QStringLiteral(".lock")));
      for (const QString& l : leftovers) EXPECT_FALSE(NameTaken(l)) << l.toStdString();
      Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("链接客户")});
      ResetConnections();
      Connection direct(MakeSqlCipherBackend(real, gDbPassword), SqlDialect{DialectKind::Sqlite});
      EXPECT_EQ(direct.scalar(QStringLiteral("select count(*) from PJ_Kehu where 姓名=?"), {QStringLiteral("链接客户")}).toLongLong(), 1);
      direct.close();
    } else if (!c.endsNowhere) {
      EXPECT_THROW(Main(), ProgramEnded);
      EXPECT_EQ(responder_.texts(), QStringList{c.sentence});
      EXPECT_EQ(ended_.calls, 1);
      EXPECT_FALSE(HoldsLocalDatabaseLock());
      EXPECT_EQ(FolderState(realFolder), targetBefore) << "no lock, no clean-up, no file opened beside the target";
    } else {
      LoadDatabaseSettings();
      ASSERT_EQ(responder_.messages.size(), 1u);
      EXPECT_TRUE(responder_.messages[0].text.contains(c.sentence)) << responder_.messages[0].text.toStdString();
      EXPECT_EQ(FolderState(realFolder), targetBefore);
    }
    for (const QString& l : QStringList{name} + c.via) EXPECT_TRUE(IsLink(l)) << l.toStdString();
    ResetConnections();
    for (const QString& l : QStringList{name} + c.via) ASSERT_TRUE(RemoveName(l));
    ASSERT_TRUE(QFile::rename(c.endsNowhere ? dir_.path() + QStringLiteral("/moved.pbb") : real, name));
    ASSERT_EQ(ResolveLocalDatabase(), QString());
  }
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
