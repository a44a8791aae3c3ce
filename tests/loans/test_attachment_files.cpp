// The attachment files are the user's: a start removes only the copies a window listed and never
// saved, a restored backup or another database file removes nothing, deletes keep the files, and
// an attachment removed in an edit loses its file only after the save that drops its row commits.
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "LoanFixture.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "shell/frmMain.h"
#include "loans/AttachmentCopies.h"
#include "loans/LoanStore.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "platform/FileLock.h"

using LoanCalc::Button;

namespace {

class AttachmentFiles : public LoanFormFixture {
 protected:
  static QStringList folderFiles() { return QDir(LoanStore::AttachmentFolder()).entryList(QDir::Files, QDir::Name); }
  static void touch(const QString& path, const QByteArray& bytes = {}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
  }

  // A loan saved through its window with one attachment; its number and the copy's path.
  struct Saved {
    QString docNo, copy;
  };
  Saved savedLoan(const QString& borrower) {
    auto w = newLoan(person(borrower));
    click(w->pbCDkdj->at(Button::OnceAll));
    w->添加附件(userFile(borrower + QStringLiteral("的合同.pdf")));
    save(*w);
    EXPECT_TRUE(w->Saved) << responder_.texts().join(QLatin1Char(' ')).toStdString();
    return {w->单号, field(QStringLiteral("路径"), QStringLiteral("PJ_DkFj"), w->单号).toString()};
  }

  // The program started again on this folder, as the user starts it.
  void start() {
    std::unique_ptr<frmMain> w(Main());
    ASSERT_NE(w, nullptr);
    // As the fixture has it: no review, no account picker.
    loginAsSuperAdmin();
    gSystemSettings[3] = QStringLiteral("0");
    gSystemSettings[5] = QStringLiteral("0");
  }

  static void writeList(const QStringList& names) {
    QFile f(LoanStore::PendingCopiesPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(names.join(QLatin1Char('\n')).toUtf8() + '\n');
  }
  static QByteArray listBytes() {
    QFile f(LoanStore::PendingCopiesPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
  }

  // Runs `drive` in a child that dies by SIGKILL at the end of it (or when `killWhen` holds).
  static void killedChild(const std::function<void()>& drive) {
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      drive();
      ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
  }
};

// A window killed between the commit of its save and the clearing of its list entry: the child
// saves while this process holds the list, so the child waits there with the row committed.
void killAfterCommit(qint32 borrower, const QString& source, const std::function<std::unique_ptr<frmDkdjB>(qint32)>& open) {
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    auto w = open(borrower);
    QTest::mouseClick(w->pbCDkdj->at(Button::OnceAll), Qt::LeftButton);
    w->添加附件(source);
    char c = 'r';
    (void)!::write(ready[1], &c, 1);
    (void)!::read(go[0], &c, 1);
    QTest::mouseClick(w->pbCDkgh->at(0), Qt::LeftButton);
    ::_exit(3);  // the save never got stuck: the parent sees a normal exit and fails
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  // This process watches through a connection of its own, open before the child starts to write.
  Connection other(MakeSqlCipherBackend(LocalDatabasePath(), gDbPassword), SqlDialect{});
  other.Execute(QStringLiteral("PRAGMA busy_timeout = 2000"));
  const int list = OpenSharedFileLocked(LoanStore::PendingCopiesPath());
  ASSERT_GE(list, 0);
  ASSERT_EQ(::write(go[1], &c, 1), 1);
  bool committed = false;
  for (int i = 0; i < 600 && !committed; ++i) {
    try {
      committed = other.scalar(QStringLiteral("select count(*) from PJ_DkFj")).toInt() > 0;
    } catch (const AppError&) {
    }
    if (!committed) ::usleep(50000);
  }
  other.close();
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ::close(list);
  ASSERT_TRUE(committed) << "the child's save never committed";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child was not waiting on the list after its commit";
}

}  // namespace

TEST_F(AttachmentFiles, AStartRemovesOnlyListedCopiesThatNoRowNames) {
  touch(LoanStore::AttachmentFolder() + QStringLiteral("gr.docx"));  // a template: no copy's name
  struct Case {
    const char* name;
    // Sets the folder, the list and the database up; returns the copies the start must remove.
    std::function<QStringList()> arrange;
    // What the user then finds (the copy 查 看 must open), checked after the start.
    std::function<void()> check;
  };
  QString savedAfterKill, savedCopy;
  const std::vector<Case> cases = {
      {"an older backup restored",
       [&] {
         const QString backup = ExportLocalDatabase(DefaultBackupFolder(), QStringLiteral("昨晚"));
         savedLoan(QStringLiteral("恢复前"));
         responder_.answer(Mb::Yes);
         BackupOrRestoreDatabase(1, backup);
         EXPECT_TRUE(gBackupOk);
         EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_DkFj")).toInt(), 0) << "the backup names no attachment";
         return QStringList();
       },
       {}},
      {"another database file that names no attachment",
       [&] {
         savedLoan(QStringLiteral("换库前"));
         ResetConnections();
         CopyShippedDatabase(LocalDatabasePath());
         loginAsSuperAdmin();
         return QStringList();
       },
       {}},
      {"a list naming files outside the copies",
       [&] {
         writeList({QStringLiteral("../data/data.pbb"), QStringLiteral("gr.docx"), QStringLiteral("../template/gr.docx"),
                    QStringLiteral("/etc/hostname"), QStringLiteral("合同.pdf"), QStringLiteral("20261208093000.pdf/..")});
         return QStringList();
       },
       {}},
      {"a list an earlier version kept beside template/",
       [&] {
         const QString copy = QStringLiteral("20261208093002.pdf");
         touch(LoanStore::AttachmentFolder() + copy);
         QFile old(gAppDir + QStringLiteral("template.pending"));
         EXPECT_TRUE(old.open(QIODevice::WriteOnly));
         old.write("../data/data.pbb\n" + copy.toUtf8() + "\n");
         return QStringList{copy};
       },
       [&] { EXPECT_FALSE(QFileInfo::exists(gAppDir + QStringLiteral("template.pending"))) << "read once and unlinked"; }},
      {"a window killed after its copy",
       [&] {
         const qint32 id = person(QStringLiteral("被杀"));
         const QString source = userFile(QStringLiteral("借据.jpg"));
         const QStringList before = folderFiles();
         killedChild([&] {
           auto w = newLoan(id);
           click(w->pbCDkdj->at(Button::OncePrepaid));
           w->添加附件(source);
         });
         QStringList made = folderFiles();
         for (const QString& f : before) made.removeAll(f);
         EXPECT_EQ(made.size(), 1) << "the child made its copy";
         EXPECT_EQ(LoanStore::PendingCopies(), made) << "and listed it";
         return made;
       },
       {}},
      {"a program killed after its save's commit",
       [&] {
         const qint32 id = person(QStringLiteral("已提交"));
         killAfterCommit(id, userFile(QStringLiteral("收据.png")), [this](qint32 b) { return newLoan(b); });
         savedAfterKill = Db().scalar(QStringLiteral("select 单号 from PJ_DkFj order by 编号 desc")).toString();
         savedCopy = field(QStringLiteral("路径"), QStringLiteral("PJ_DkFj"), savedAfterKill).toString();
         EXPECT_TRUE(LoanStore::PendingCopies().contains(LoanStore::StripPath(savedCopy))) << "the entry is still listed";
         return QStringList();
       },
       [&] {
         ASSERT_TRUE(QFileInfo::exists(savedCopy));
         QStringList shown;
         SetOpenFileHandler([&shown](const QString& p) {
           shown << p;
           return true;
         });
         const auto w = opened(savedAfterKill);
         w->Fg1->setRow(w->Fg1->fixedRows());
         responder_.clear();
         click(w->pbCJkzl->at(3));  // 查 看
         EXPECT_EQ(shown, QStringList{savedCopy});
         EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char(' ')).toStdString();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QStringList removed = c.arrange();
    QStringList expected = folderFiles();
    for (const QString& f : removed) expected.removeAll(f);
    start();
    EXPECT_EQ(folderFiles(), expected);
    EXPECT_TRUE(QFileInfo::exists(LocalDatabasePath()));
    EXPECT_TRUE(LoanStore::PendingCopies().isEmpty()) << "the start empties the list";
    if (c.check) c.check();
  }
  // On SQL Server the start removes nothing, and leaves the list for the local file's next start.
  const QString orphan = LoanStore::AttachmentFolder() + QStringLiteral("20261208093001.pdf");
  touch(orphan);
  writeList({QStringLiteral("20261208093001.pdf")});
  Db().Execute(QStringLiteral("update PJ_Sys set 数据库类型=1 where 编号=1"));
  SetConnectionOverride(1, DbPtr(0));
  start();
  EXPECT_EQ(gDatabaseType, 1);
  EXPECT_TRUE(QFileInfo::exists(orphan));
  EXPECT_EQ(LoanStore::PendingCopies(), QStringList{QStringLiteral("20261208093001.pdf")});
}

TEST_F(AttachmentFiles, EachCopyIsListedFirstAndACopyThatCannotBeListedIsNotMade) {
  const mode_t old = ::umask(022);
  auto w = newLoan(person(QStringLiteral("清单")));
  w->添加附件(userFile(QStringLiteral("一.pdf")));
  ::umask(old);
  ASSERT_EQ(w->Attachments.size(), 1);
  const QString copy = LoanStore::StripPath(w->Attachments[0].path);
  EXPECT_TRUE(LoanStore::IsCopyName(copy)) << copy.toStdString();
  EXPECT_EQ(LoanStore::PendingCopies(), QStringList{copy});
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(LoanStore::PendingCopiesPath()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u) << "another account sharing the folder can write the list";

  // A list that cannot be written (here: a folder stands where it should be) stops the copy.
  // The window's own copy is discarded first (closed unsaved), so the list can be moved away.
  click(w->pbCDkgh->at(1));
  EXPECT_TRUE(LoanStore::PendingCopies().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(LoanStore::AttachmentFolder() + copy));
  ASSERT_TRUE(QFile::remove(LoanStore::PendingCopiesPath()));
  ASSERT_TRUE(QDir().mkpath(LoanStore::PendingCopiesPath()));
  const QStringList before = folderFiles();
  auto v = newLoan(person(QStringLiteral("清单坏了")));
  responder_.clear();
  v->添加附件(userFile(QStringLiteral("二.pdf")));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("附件复制失败："))) << responder_.messages[0].text.toStdString();
  EXPECT_TRUE(v->Attachments.isEmpty());
  EXPECT_EQ(folderFiles(), before);
}

TEST_F(AttachmentFiles, AnAttachmentRemovedInAnEditLosesItsFileOnlyAfterTheSaveCommits) {
  enum class End { Close, Save, SaveRefusedAtCommit };
  struct Case {
    const char* name;
    End end;
    bool namedElsewhere;  // another document's row names the same file
    bool rowKept, fileKept;
  };
  const Case cases[] = {
      {"closed without saving", End::Close, false, true, true},
      {"a commit another connection blocks", End::SaveRefusedAtCommit, false, true, true},
      {"saved", End::Save, false, false, false},
      {"saved, the file still named by another row", End::Save, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Saved s = savedLoan(QString::fromUtf8(c.name));
    ASSERT_TRUE(QFileInfo::exists(s.copy));
    if (c.namedElsewhere)
      Db().Execute(QStringLiteral("insert into PJ_DkFj (单号,附件名称,路径) values (?,'x.pdf',?)"), {QStringLiteral("D-其他"), s.copy});
    const auto w = opened(s.docNo);
    w->Fg1->setRow(w->Fg1->fixedRows());
    click(w->pbCJkzl->at(4));  // 删 除
    ASSERT_TRUE(w->Attachments.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(s.copy)) << "the file waits for the save";
    std::unique_ptr<Connection> reader;
    switch (c.end) {
      case End::Close:
        responder_.answer(Mb::Yes);
        click(w->pbCDkgh->at(1));
        break;
      case End::SaveRefusedAtCommit:
        Db().query(QStringLiteral("PRAGMA busy_timeout = 100"));
        reader = std::make_unique<Connection>(MakeSqlCipherBackend(LocalDatabasePath(), gDbPassword), SqlDialect{});
        reader->Execute(QStringLiteral("BEGIN"));
        reader->scalar(QStringLiteral("select count(*) from PJ_DkFj"));
        save(*w);
        EXPECT_FALSE(w->Saved);
        reader->Execute(QStringLiteral("COMMIT"));
        break;
      case End::Save:
        save(*w);
        EXPECT_TRUE(w->Saved);
        break;
    }
    EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_DkFj where 单号=?"), {s.docNo}).toInt(), c.rowKept ? 1 : 0);
    EXPECT_EQ(QFileInfo::exists(s.copy), c.fileKept);
  }
}

TEST_F(AttachmentFiles, OnSqlServerOnlyThisWorkstationsDroppedRowsLoseTheirFiles) {
  for (const int rowMachine : {1, 2}) {  // this workstation's row, another's
    const Saved s = savedLoan(QStringLiteral("机器%1").arg(rowMachine));
    SCOPED_TRACE(rowMachine);
    Db().Execute(QStringLiteral("update PJ_DkFj set 机器ID=? where 单号=?"), {rowMachine, s.docNo});
    SetConnectionOverride(1, DbPtr(0));
    gDatabaseType = 1;
    QStringList dropped;
    {
      // What the registration save does with its attachment rows, in its transaction and after it.
      Transaction tx;
      dropped = LoanStore::SaveAttachmentRows(s.docNo, {});
      tx.Commit();
    }
    LoanStore::SettleSavedAttachments({}, dropped);
    gDatabaseType = 0;
    EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_DkFj where 单号=?"), {s.docNo}).toInt(), 0);
    EXPECT_EQ(QFileInfo::exists(s.copy), rowMachine != 1);
  }
}

// Any account may open the list and hold its flock as long as it likes: the program waits for it 3
// seconds at most, then goes on without it, and a later start does what this one left.
TEST_F(AttachmentFiles, AListAnotherProgramHoldsIsWaitedForThreeSecondsAtMost) {
  auto open = newLoan(person(QStringLiteral("已复制")));
  open->添加附件(userFile(QStringLiteral("一.pdf")));
  ASSERT_EQ(open->Attachments.size(), 1);
  const QString copy = LoanStore::StripPath(open->Attachments[0].path);
  const QString orphan = QStringLiteral("20261208093001.pdf");  // a killed window's copy
  touch(LoanStore::AttachmentFolder() + orphan);
  ASSERT_EQ(LoanStore::NotePendingCopy(orphan), QString());
  const QStringList listed = {copy, orphan};
  ASSERT_EQ(LoanStore::PendingCopies(), listed);
  const QStringList filesBefore = folderFiles();

  struct Step {
    const char* name;
    std::function<void()> run;
    QStringList says;
  };
  const std::vector<Step> steps = {
      {"the start goes on without its clean-up", [this] { start(); }, {}},
      {"an attachment makes no copy",
       [this] {
         auto w = newLoan(person(QStringLiteral("等待")));
         w->添加附件(userFile(QStringLiteral("二.pdf")));
         EXPECT_TRUE(w->Attachments.isEmpty());
       },
       {QStringLiteral("附件复制失败：附件清单正被其他程序使用，请稍后重试。")}},
      {"a window closed without saving removes its copy", [&] { click(open->pbCDkgh->at(1)); }, {}},
  };
  {
    const FlockHolder holder(LoanStore::PendingCopiesPath());
    ASSERT_GT(holder.pid, 0);
    ::alarm(120);  // a step that waits on the lock for ever fails the test
    for (const Step& s : steps) {
      SCOPED_TRACE(s.name);
      responder_.clear();
      QElapsedTimer took;
      took.start();
      s.run();
      EXPECT_LT(took.elapsed(), kSharedFileLockWaitMs + 2000);
      EXPECT_EQ(responder_.texts(), s.says);
    }
    ::alarm(0);
  }
  QStringList expected = filesBefore;
  expected.removeAll(copy);
  EXPECT_EQ(folderFiles(), expected) << "the closed window's copy is gone, the killed window's kept";
  EXPECT_EQ(LoanStore::PendingCopies(), listed) << "both names stay listed";

  // A lock held for a moment is waited for: the copy is made.
  {
    const FlockHolder briefly(LoanStore::PendingCopiesPath(), 1);
    ASSERT_GT(briefly.pid, 0);
    auto w = newLoan(person(QStringLiteral("片刻")));
    responder_.clear();
    w->添加附件(userFile(QStringLiteral("三.pdf")));
    EXPECT_EQ(w->Attachments.size(), 1);
    EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char(' ')).toStdString();
    click(w->pbCDkgh->at(1));
  }
  // The next start free of the lock does the clean-up.
  start();
  expected.removeAll(orphan);
  EXPECT_EQ(folderFiles(), expected);
  EXPECT_TRUE(LoanStore::PendingCopies().isEmpty());
}

// The list is rewritten new text first, truncated after: a program killed in between keeps every
// name of the new list. A read of the list that fails stops the change with nothing written.
TEST_F(AttachmentFiles, AFaultInTheListsRewriteNeverLosesANameNorWritesAfterAReadError) {
  const QStringList old = {QStringLiteral("20261208093000.pdf"), QStringLiteral("20261208093001.pdf"), QStringLiteral("20261208093002.pdf")};
  const QString added = QStringLiteral("20261208093003_12.pdf");
  const QString path = QDir::toNativeSeparators(LoanStore::PendingCopiesPath());
  int interrupted = 0;
  const auto failingRead = [](int e, int* times) {
    return [e, times](int fd, void* buffer, size_t size) -> ssize_t {
      if (*times != 0) {
        --*times;
        errno = e;
        return -1;
      }
      return ::read(fd, buffer, size);
    };
  };
  int always = -1;
  struct Case {
    const char* name;
    LoanStore::PendingListFaults faults;
    std::function<QString(QString*)> change;
    bool killed;      // the fault kills the program
    QStringList listed;  // the names listed after
    QString says;
  };
  const auto note = [&added](QString* details) { return LoanStore::NotePendingCopy(added, details); };
  // The program killed as it writes the new text, before or after the write itself.
  const auto dieAtWrite = [](bool written) {
    return [written](int fd, const void* buffer, size_t size, off_t offset) {
      const ssize_t n = written ? ::pwrite(fd, buffer, size, offset) : 0;
      ::kill(::getpid(), SIGKILL);
      return n;
    };
  };
  const std::vector<Case> cases = {
      {"a name added, killed before the truncation", {{}, dieAtWrite(true)}, note, true, old + QStringList{added}, {}},
      {"a name taken off, killed before the truncation", {{}, dieAtWrite(true)},
       [&old](QString*) {
         LoanStore::ForgetPendingCopies({old[0]});
         return QString();
       },
       true, old.mid(1), {}},
      {"a name added, killed before its write", {{}, dieAtWrite(false)}, note, true, old, {}},
      {"a read interrupted by a signal is read again", {failingRead(EINTR, &interrupted), {}}, note, false, old + QStringList{added}, {}},
      {"a read error", {failingRead(EIO, &always), {}}, note, false, old,
       QStringLiteral("无法读取附件清单“%1”。").arg(path)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeList(old);
    const QByteArray before = listBytes();
    interrupted = 1;
    QString details;
    if (c.killed) {
      killedChild([&] {
        LoanStore::SetPendingListFaults(c.faults);
        c.change(nullptr);
        ::_exit(3);  // never reached the fault: the parent sees a normal exit and fails
      });
    } else {
      LoanStore::SetPendingListFaults(c.faults);
      EXPECT_EQ(c.change(&details), c.says);
      LoanStore::SetPendingListFaults({});
    }
    EXPECT_EQ(LoanStore::PendingCopies(), c.listed) << listBytes().toStdString();
    if (!c.says.isEmpty()) {
      EXPECT_EQ(listBytes(), before) << "nothing written";
      EXPECT_TRUE(details.contains(QString::fromLocal8Bit(std::strerror(EIO)))) << details.toStdString();
    }
  }
}

// A list this account cannot open (another account's, made before the list was 0666) is said as
// such, with the system's words in the details; nothing is copied.
TEST_F(AttachmentFiles, AListThisAccountCannotOpenIsSaidAndNoCopyMade) {
  writeList({QStringLiteral("20261208093000.pdf")});
  const QByteArray before = listBytes();
  const QString list = LoanStore::PendingCopiesPath();
  ASSERT_EQ(::chmod(QFile::encodeName(list).constData(), 0), 0);
  // The other account (nobody, when the tests run as root) reaches the program folder from inside it.
  const QString source = appDir() + QStringLiteral("源.pdf");
  touch(source, "源");
  for (const QString& p : {appDir(), LoanStore::AttachmentFolder()}) ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0644), 0);
  const QStringList filesBefore = folderFiles();
  int said[2];
  ASSERT_EQ(pipe(said), 0);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    ::alarm(60);
    if (::chdir(QFile::encodeName(appDir()).constData()) != 0) ::_exit(90);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(91);
    gAppDir = QStringLiteral("./");
    QString details;
    QList<LoanStore::Attachment> copies;
    const QString failure = LoanStore::AddAttachmentCopy(QStringLiteral("./源.pdf"), &copies, &details);
    const QByteArray out = (failure + QLatin1Char('\n') + details).toUtf8();
    (void)!::write(said[1], out.constData(), size_t(out.size()));
    ::_exit(copies.isEmpty() ? 0 : 1);
  }
  ::close(said[1]);
  QByteArray out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(said[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(said[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "no copy made";
  const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2) << out.toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("附件复制失败：附件清单“./template/.pending”不能被当前系统账户打开，请让管理员把它的权限改为所有人可读写。"));
  EXPECT_TRUE(lines[1].contains(QString::fromLocal8Bit(std::strerror(EACCES)))) << lines[1].toStdString();
  ::chmod(QFile::encodeName(list).constData(), 0666);
  EXPECT_EQ(listBytes(), before);
  EXPECT_EQ(folderFiles(), filesBefore);
}
