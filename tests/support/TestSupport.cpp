#include "TestSupport.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
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

namespace {
// Its first line could pass for an attachment copy's name: a list read through a link would take it.
const QByteArray kPrivateText = QByteArrayLiteral("20261208093000.pdf\n只有本人能看的记录\n");
}

PlantedNames::PlantedNames(const QString& folder)
    : privateFile(folder + QStringLiteral("/私人.txt")), danglingTarget(folder + QStringLiteral("/别处/新文件")) {
  QDir().mkpath(folder + QStringLiteral("/别处"));
  ::chmod(QFile::encodeName(folder + QStringLiteral("/别处")).constData(), 0777);
  QFile f(privateFile);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(kPrivateText) == kPrivateText.size());
  f.close();
  const QByteArray name = QFile::encodeName(privateFile);
  EXPECT_EQ(::chmod(name.constData(), 0600), 0);
  if (::geteuid() == 0) EXPECT_EQ(::chown(name.constData(), 65534, 65534), 0);
}

void PlantedNames::plant(const QString& at, Plant how) const {
  const QByteArray name = QFile::encodeName(at);
  ::unlink(name.constData());
  switch (how) {
    case Plant::LinkToPrivateFile: ASSERT_EQ(::symlink(QFile::encodeName(privateFile).constData(), name.constData()), 0); break;
    case Plant::DanglingLink: ASSERT_EQ(::symlink(QFile::encodeName(danglingTarget).constData(), name.constData()), 0); break;
    case Plant::Fifo:
      ASSERT_EQ(::mkfifo(name.constData(), 0444), 0);
      ASSERT_EQ(::chmod(name.constData(), 0444), 0);
      break;
  }
}

::testing::AssertionResult PlantedNames::untouched() const {
  struct stat st {};
  if (::lstat(QFile::encodeName(danglingTarget).constData(), &st) == 0) return ::testing::AssertionFailure() << "made where a link pointed";
  if (::lstat(QFile::encodeName(privateFile).constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 07777) != 0600 ||
      st.st_uid != (::geteuid() == 0 ? 65534u : ::geteuid()))
    return ::testing::AssertionFailure() << "the private file's mode or owner changed";
  QFile f(privateFile);
  if (!f.open(QIODevice::ReadOnly) || f.readAll() != kPrivateText) return ::testing::AssertionFailure() << "the private file changed";
  return ::testing::AssertionSuccess();
}
