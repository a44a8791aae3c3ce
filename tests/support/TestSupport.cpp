#include "TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>

#include <cstdio>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "platform/Clock.h"

void ScriptedResponder::install() {
  SetMessageHandler([this](const MessageRequest& r) {
    messages.push_back(r);
    if (!answers.empty()) {
      int a = answers.front();
      answers.pop_front();
      return a;
    }
    switch (r.style & 0x7) {
      case Mb::YesNo:
      case Mb::YesNoCancel: return int(Mb::No);
      case Mb::OkCancel:
      case Mb::RetryCancel: return int(Mb::Cancel);
      default: return int(Mb::Ok);
    }
  });
}

QStringList ScriptedResponder::texts() const {
  QStringList out;
  for (const auto& m : messages) out << m.text;
  return out;
}

bool ScriptedResponder::saw(const QString& text) const {
  for (const auto& m : messages)
    if (m.text == text) return true;
  return false;
}

void EndCatcher::install() {
  SetEndProgramHandler([this] { ++calls; });
}

void ModalScript::install() {
  SetModalHandler([this](QDialog* d) {
    shown.push_back(d->objectName().isEmpty() ? d->windowTitle() : d->objectName());
    if (handlers.empty()) return int(QDialog::Rejected);
    auto h = std::move(handlers.front());
    handlers.pop_front();
    return h(d);
  });
}

QString ShippedDatabasePath() { return QStringLiteral(VRN_SHIPPED_DB); }

void CopyShippedDatabase(const QString& path) {
  QFile::remove(path);
  ASSERT_TRUE(QFile::copy(ShippedDatabasePath(), path)) << "copy of the shipped database to " << path.toStdString();
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void WriteOldPageCopy(const QString& from, const QString& to, const QString& key) {
  QFile::remove(to);
  QFile empty(to);
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly)) << to.toStdString();
  empty.close();
  Connection conn(MakeSqlCipherBackend(from, key), SqlDialect{DialectKind::Sqlite});
  conn.Execute(QStringLiteral("ATTACH DATABASE ? AS old KEY ?"), {to, key});
  conn.Execute(QStringLiteral("PRAGMA old.cipher_page_size = 1024"));
  conn.query(QStringLiteral("SELECT sqlcipher_export('old')"));
  conn.Execute(QStringLiteral("DETACH DATABASE old"));
  conn.close();
  ASSERT_EQ(FilePageSize(to, key), 1024);
}

int FilePageSize(const QString& path, const QString& key) {
  Connection conn(MakeSqlCipherBackend(path, key), SqlDialect{DialectKind::Sqlite});
  return conn.scalar(QStringLiteral("PRAGMA page_size")).toInt();
}

void ProgramTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  ResetConnections();
  SetConnectionOverride(0, nullptr);
  SetConnectionOverride(1, nullptr);
  gAppDir.clear();
  SetAppDir(dir_.path());
  CopyShippedDatabase(LocalDatabasePath());
  gDatabaseType = 0;
  gMachineId = 1;
  gDbPassword = PBclass().mySys(1).toString();
  ClearLoginState();
  gSettingCount = 0;
  for (auto& s : gSystemSettings) s.clear();
  gCurrentSql.clear();
  gCurrentParams.clear();
  gMainRecordset = Recordset();
  gAuxRecordset = Recordset();
  Clock::setFixed(QDateTime());
  responder_.install();
  ended_.install();
  modal_.install();
  SetChooserHandler([](ChooserKind, const QString&) { return QString(); });
  SetOpenFileHandler([](const QString&) { return true; });
}

void ProgramTest::TearDown() {
  gMainRecordset = Recordset();
  gAuxRecordset = Recordset();
  ResetConnections();
  SetConnectionOverride(0, nullptr);
  SetConnectionOverride(1, nullptr);
  Clock::setFixed(QDateTime());
}

QString ProgramTest::appDir() const { return gAppDir; }

QStringList ProgramTest::pressOnRealMessageBoxes(const std::function<void()>& action, int key) {
  SetMessageHandler({});
  QStringList shown;
  QPointer<QMessageBox> pressed;
  // Looked for while it shows: the box runs an event loop of its own.
  QTimer watch;
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == pressed) return;
    pressed = box;
    shown << box->text();
    QTest::keyClick(box, Qt::Key(key));
  });
  watch.start();
  action();
  watch.stop();
  responder_.install();
  return shown;
}

void ProgramTest::setNow(const QDateTime& at) { Clock::setFixed(at); }

void ProgramTest::loginAsSuperAdmin() {
  gLoginAccount = QStringLiteral("超级管理员");
  gCurrentUserId = 1;
  gUserName = QStringLiteral("管理员");
  gCurrentUserRole = 3;
  gUserDept = QStringLiteral("综合部");
  gDeptRights = QStringLiteral("综合部");
  gUserDeptId = 1;
  gUnitName = QStringLiteral("示范借贷有限公司");
  gBookStartDate = QStringLiteral("2024-01-01");
  ConvertSettingsList(DefaultSettingsList(QStringLiteral("管理员")), QStringLiteral("读"));
}

QString ToolOutput(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000)) {
    p.kill();
    p.waitForFinished(1000);
    return {};
  }
  return QString::fromUtf8(p.readAllStandardOutput());
}

const char* PlantText(Plant kind) {
  switch (kind) {
    case Plant::LinkToOthersFile: return "a link to another account's file";
    case Plant::DanglingLink: return "a link to where nothing is yet";
    case Plant::Fifo: return "a FIFO";
    case Plant::HardLink: return "a hard link to another account's file";
  }
  return "";
}

QStringList FolderState(const QString& folder) {
  QStringList out;
  const QDir d(folder);
  for (const QString& name : d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(d.filePath(name));
    if (::lstat(path.constData(), &st) != 0) continue;
    QFile f(d.filePath(name));
    const QByteArray bytes = S_ISREG(st.st_mode) && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    out << QStringLiteral("%1 %2 %3 %4 ").arg(name).arg(st.st_mode, 0, 8).arg(st.st_uid).arg(st.st_size) + QString::fromLatin1(bytes.toHex());
  }
  return out;
}

bool LinkDatabase(const QString& name, const QStringList& via, const QString& real, bool lastByAnotherAccount) {
  if (!QDir().mkpath(QFileInfo(real).absolutePath()) || !QFile::rename(name, real)) return false;
  const QStringList links = QStringList{name} + via;
  for (int i = 0; i < links.size(); ++i) {
    QDir().mkpath(QFileInfo(links[i]).absolutePath());
    const QString target = i + 1 < links.size() ? links[i + 1] : real;
    const QByteArray at = QFile::encodeName(links[i]);
    if (::symlink(QFile::encodeName(target).constData(), at.constData()) != 0) return false;
    if (lastByAnotherAccount && i + 1 == links.size() && ::lchown(at.constData(), 65534, 65534) != 0) return false;
  }
  return true;
}

bool CannotLinkAsAnotherAccount(const char* row) {
  if (::geteuid() == 0) return false;
  std::printf("skipped \"%s\": only root can give a link to another account\n", row);
  return true;
}

bool IsLink(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

PlantedName::PlantedName(Plant k, const QString& p, const QString& elsewhere) : kind(k), path(p) {
  static int planted = 0;
  folder_ = elsewhere + QStringLiteral("/planted-%1").arg(++planted);
  QDir().mkpath(folder_);
  ::chmod(QFile::encodeName(folder_).constData(), 0777);
  QDir().mkpath(QFileInfo(path).absolutePath());
  const QByteArray name = QFile::encodeName(path);
  ::unlink(name.constData());
  if (kind == Plant::Fifo) {
    EXPECT_EQ(::mkfifo(name.constData(), 0444), 0) << path.toStdString();
    ::chmod(name.constData(), 0444);
  } else {
    const QString target = folder_ + (kind == Plant::DanglingLink ? QStringLiteral("/not-yet") : QStringLiteral("/private.txt"));
    if (kind != Plant::DanglingLink) {
      QFile f(target);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      // Its first line could pass for an attachment copy's name: a list read through a link would take it.
      f.write("20261208093000.pdf\n只有本人能看的记录\n");
      f.close();
      const QByteArray t = QFile::encodeName(target);
      ::chmod(t.constData(), 0600);
      if (::geteuid() == 0) EXPECT_EQ(::chown(t.constData(), 65534, 65534), 0);
    }
    if (kind == Plant::HardLink)
      EXPECT_EQ(::link(QFile::encodeName(target).constData(), name.constData()), 0) << path.toStdString();
    else
      EXPECT_EQ(::symlink(QFile::encodeName(target).constData(), name.constData()), 0) << path.toStdString();
  }
  snapshot_ = FolderState(folder_);
}

::testing::AssertionResult PlantedName::othersUntouched() const {
  const QStringList now = FolderState(folder_);
  if (now == snapshot_) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the other account's folder changed, was\n  " << snapshot_.join(QStringLiteral("\n  ")).toStdString()
                                       << "\nnow\n  " << now.join(QStringLiteral("\n  ")).toStdString();
}

bool PlantedName::stillPlanted() const {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  if (kind == Plant::HardLink) return S_ISREG(st.st_mode) && st.st_nlink > 1;
  return kind == Plant::Fifo ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode);
}


FlockHolder::FlockHolder(const QString& path, int seconds) {
  int ready[2];
  if (pipe(ready) != 0) return;
  pid = fork();
  if (pid == 0) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(ready[1], "h", 1);
    if (seconds >= 0) ::_exit((::sleep(unsigned(seconds)), 0));
    for (;;) ::pause();
  }
  char c = 0;
  if (::read(ready[0], &c, 1) != 1) pid = -1;
  ::close(ready[0]);
  ::close(ready[1]);
}

FlockHolder::~FlockHolder() {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}
