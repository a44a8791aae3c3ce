// Backup, restore and compaction of the local file, the SQL Server statements, and the two windows.
#include <QRegularExpression>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../PartyFixture.h"
#include "TestSupport.h"
#include "app/data/BuiltInSchema.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/RuntimeError.h"
#include "shell/frmMain.h"
#include "control/pbCommand.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "parties/admin/frmSjys.h"
#include "parties/admin/frmbackup.h"
#include "platform/Buttons.h"
#include "platform/SafeFiles.h"

namespace {

// Every row of every table of a keyed file, in key order, as text: two files hold the same data
// exactly when their dumps are equal.
QMap<QString, QStringList> dumpFile(const QString& path, bool withSys = true) {
  Connection conn(MakeSqlCipherBackend(path, gDbPassword), SqlDialect{DialectKind::Sqlite});
  conn.ensureOpen();
  QMap<QString, QStringList> out;
  for (const auto& t : conn.query(QStringLiteral("select name from sqlite_master where type='table' order by name")).rows) {
    const QString table = t[0].toString();
    if (!withSys && table == QLatin1String("PJ_Sys")) continue;
    QStringList rows;
    for (const auto& r : conn.query(QStringLiteral("select * from \"%1\" order by rowid").arg(table)).rows) {
      QStringList cells;
      for (const QVariant& v : r) cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
      rows << cells.join(QLatin1Char('|'));
    }
    out[table] = rows;
  }
  return out;
}


QByteArray fileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool isPlainSqlite(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The database and the lock a restore holds while it replaces it; no staging file is left.
const QStringList kDataFolderFiles = {QStringLiteral("data.pbb"), QStringLiteral("data.pbb.lock")};

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
QStringList dataFolderFiles() { return filesIn(gAppDir + QStringLiteral("data")); }

void addCustomer(const QString& name) {
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,手机,家庭住址) values (?,?,?)"), {name, QStringLiteral("13900000000"), QStringLiteral("某市某路1号")});
}

qint64 customers(const QString& name) {
  return Db().scalar(QStringLiteral("select count(*) from PJ_Kehu where 姓名=?"), {name}).toLongLong();
}

// The columns this version added to tables an older version had.
const std::pair<const char*, const char*> kColumnsAddedSince[] = {{"PJ_Dkjl", "版本"}, {"PJ_Cjjl", "版本"}, {"PJ_Kehu", "资产描述"}};
// A backup as an older version left it: two tables and three columns fewer.
void makeOlder(const QString& backup, const QString& key) {
  Connection old(MakeSqlCipherBackend(backup, key), SqlDialect{DialectKind::Sqlite});
  old.ensureOpen();
  old.Execute(QStringLiteral("drop table PJ_Djxh"));
  old.Execute(QStringLiteral("drop table PJ_Duanxin"));
  // This SQLite drops no columns: the table is made again as the schema has it, less the column.
  auto dropColumn = [&old](const QString& table, const QString& column) {
    SchemaTable t = *BuiltInSchema().table(table);
    std::erase_if(t.columns, [&](const SchemaColumn& c) { return c.name == column; });
    QStringList names;
    for (const auto& c : t.columns) names << c.name;
    old.Execute(QStringLiteral("create temp table kept as select %1 from %2").arg(names.join(','), table));
    old.Execute(QStringLiteral("drop table ") + table);
    for (const QString& ddl : TableDdl(t, old.dialect())) old.Execute(ddl);
    old.Execute(QStringLiteral("insert into %1 (%2) select %2 from kept").arg(table, names.join(',')));
    old.Execute(QStringLiteral("drop table kept"));
  };
  for (const auto& [table, column] : kColumnsAddedSince)
    dropColumn(QString::fromUtf8(table), QString::fromUtf8(column));
  ASSERT_FALSE(old.query(QStringLiteral("select * from PJ_Kehu where 0")).columns.contains(QStringLiteral("资产描述")));
  old.close();
}

// A file layer over the default one whose writes to files whose name holds `target` fail with
// SQLITE_FULL once `budget` bytes have been written to them: a disk that fills up during the copy.
class FillingDisk {
 public:
  FillingDisk(const char* target, sqlite3_int64 budget) {
    self() = this;
    target_ = target;
    budget_ = budget;
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "filling-disk";
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.xOpen = &FillingDisk::open;
    std::memset(&methods_, 0, sizeof methods_);
    methods_.iVersion = 1;
    methods_.xClose = [](sqlite3_file* f) { return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK; };
    methods_.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); };
    methods_.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
      if (reinterpret_cast<File*>(f)->watched) {
        if (self()->written_ + n > self()->budget_) return SQLITE_FULL;
        self()->written_ += n;
      }
      return real(f)->pMethods->xWrite(real(f), b, n, o);
    };
    methods_.xTruncate = [](sqlite3_file* f, sqlite3_int64 s) { return real(f)->pMethods->xTruncate(real(f), s); };
    methods_.xSync = [](sqlite3_file* f, int fl) { return real(f)->pMethods->xSync(real(f), fl); };
    methods_.xFileSize = [](sqlite3_file* f, sqlite3_int64* s) { return real(f)->pMethods->xFileSize(real(f), s); };
    methods_.xLock = [](sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); };
    methods_.xUnlock = [](sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); };
    methods_.xCheckReservedLock = [](sqlite3_file* f, int* r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); };
    methods_.xFileControl = [](sqlite3_file* f, int op, void* a) { return real(f)->pMethods->xFileControl(real(f), op, a); };
    methods_.xSectorSize = [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); };
    methods_.xDeviceCharacteristics = [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); };
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~FillingDisk() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
    self() = nullptr;
  }
  sqlite3_int64 written() const { return written_; }

 private:
  struct File {
    sqlite3_file base;
    bool watched;
  };
  static FillingDisk*& self() {
    static FillingDisk* d = nullptr;
    return d;
  }
  static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + sizeof(File)); }
  static int open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    FillingDisk* d = self();
    auto* file = reinterpret_cast<File*>(f);
    file->base.pMethods = nullptr;
    file->watched = name && std::strstr(name, d->target_);
    const int rc = d->real_->xOpen(d->real_, name, real(f), flags, outFlags);
    if (rc == SQLITE_OK) file->base.pMethods = &d->methods_;
    return rc;
  }
  sqlite3_vfs* real_;
  sqlite3_vfs vfs_;
  sqlite3_io_methods methods_;
  const char* target_;
  sqlite3_int64 budget_;
  sqlite3_int64 written_ = 0;
};

class BackupTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    gBackupOk = false;
  }
  QString backupNow(const QDateTime& at) {
    setNow(at);
    BackupOrRestoreDatabase(0, DefaultBackupFolder());
    EXPECT_TRUE(gBackupOk);
    return DefaultBackupFolder() + BackupTimeStamp(at) + QStringLiteral(".bak");
  }
  // Closes the program's connection so the file can be hashed as it rests.
  QByteArray liveHash() {
    ResetConnections();
    return fileHash(LocalDatabasePath());
  }
  // A backup (0, 2) or restore (1, 3) with only its own messages recorded; whether it went through.
  bool ran(int kind, const QString& path) {
    responder_.clear();
    BackupOrRestoreDatabase(kind, path);
    return gBackupOk;
  }
  // A restore from `file` as the user confirms it.
  bool restoreConfirmed(const QString& file) {
    responder_.answer(Mb::Yes);
    return ran(1, file);
  }
  // A message as one line of its title, text and style, and every message shown so far so: compared whole.
  static std::string message(const QString& title, const QString& text, int style) {
    return QStringLiteral("%1|%2|%3").arg(title, text).arg(style).toStdString();
  }
  std::vector<std::string> shown() const {
    std::vector<std::string> out;
    for (const MessageRequest& m : responder_.messages) out.push_back(message(m.title, m.text, m.style));
    return out;
  }
  // The texts shown, for a failure to tell.
  std::string said() const { return responder_.texts().join(QLatin1Char('|')).toStdString(); }
};

}  // namespace

TEST_F(BackupTest, BackupNamesAreZeroPaddedUniqueAndNeverOverwritten) {
  setNow(QDateTime(QDate(2026, 11, 1), QTime(10, 5, 3)));
  ASSERT_TRUE(ran(0, DefaultBackupFolder()));
  const QString first = DefaultBackupFolder() + QStringLiteral("20261101100503.bak");
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("恭喜，数据已成功备份为‘") + QDir::toNativeSeparators(first) + QStringLiteral("’!"));
  EXPECT_EQ(responder_.messages[0].style, int(Mb::Information));
  // A second backup in the same second gets its own name; the first stays as it was.
  const QByteArray firstHash = fileHash(first);
  addCustomer(QStringLiteral("第二次"));
  ASSERT_TRUE(ran(0, DefaultBackupFolder()));
  EXPECT_EQ(fileHash(first), firstHash);
  // 11 January at the same time no longer gives the name of 1 November.
  setNow(QDateTime(QDate(2026, 1, 11), QTime(10, 5, 3)));
  BackupOrRestoreDatabase(0, DefaultBackupFolder());
  EXPECT_EQ(filesIn(DefaultBackupFolder()),
            (QStringList{QStringLiteral("20260111100503.bak"), QStringLiteral("20261101100503-2.bak"), QStringLiteral("20261101100503.bak")}))
      << "no probe or part files are left behind either";
  EXPECT_EQ(dumpFile(DefaultBackupFolder() + QStringLiteral("20261101100503-2.bak"))[QStringLiteral("PJ_Kehu")].size(),
            dumpFile(first)[QStringLiteral("PJ_Kehu")].size() + 1);
}

TEST_F(BackupTest, ABackupIsAnEncryptedCopyOfEveryRow) {
  addCustomer(QStringLiteral("张三"));
  const QString file = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  EXPECT_FALSE(isPlainSqlite(file));
  EXPECT_TRUE(IsSystemDatabaseFile(file, gDbPassword));
  QString reason;
  EXPECT_FALSE(IsSystemDatabaseFile(file, QStringLiteral("别的密码"), &reason));
  EXPECT_TRUE(reason.contains(QStringLiteral("不能用本系统的密码打开"))) << reason.toStdString();
  ResetConnections();
  EXPECT_EQ(dumpFile(file), dumpFile(LocalDatabasePath()));
}

TEST_F(BackupTest, RestoreBringsBackExactlyTheBackedUpRowsAndKeepsThisWorkstation) {
  addCustomer(QStringLiteral("备份前"));
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  ResetConnections();
  const auto backedUp = dumpFile(backup, false);
  // Work goes on after the backup, and this workstation's connection settings change.
  addCustomer(QStringLiteral("备份后"));
  Db().Execute(QStringLiteral("delete from PJ_Kehu where 姓名=?"), {QStringLiteral("备份前")});
  Db().Execute(QStringLiteral("update PJ_Jq set 单位名称=? where 机器ID=1"), {QStringLiteral("改过的公司")});
  Db().Execute(QStringLiteral("update PJ_Sys set SqlIP=?, SqlName=?, 机器ID=? where 编号=1"), {QStringLiteral("10.0.0.9"), QStringLiteral("贷款库"), 3});
  const QStringList sysRow = dumpFile(LocalDatabasePath())[QStringLiteral("PJ_Sys")];
  ResetConnections();
  const auto beforeRestore = dumpFile(LocalDatabasePath(), false);
  setNow(QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0)));
  ASSERT_TRUE(restoreConfirmed(backup)) << said();
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[0].style, int(Mb::YesNo + Mb::Question));
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("数据恢复已经完成，请重启本软件！"));
  EXPECT_EQ(responder_.messages[1].title, QStringLiteral("数据库恢复情况"));
  ResetConnections();
  EXPECT_EQ(dumpFile(LocalDatabasePath(), false), backedUp);
  EXPECT_EQ(dumpFile(LocalDatabasePath())[QStringLiteral("PJ_Sys")], sysRow);
  EXPECT_FALSE(isPlainSqlite(LocalDatabasePath()));
  EXPECT_EQ(customers(QStringLiteral("备份前")), 1) << "the program reads the restored file";
  EXPECT_EQ(customers(QStringLiteral("备份后")), 0);
  // The data replaced by the restore was saved first.
  const QString safety = DefaultBackupFolder() + QStringLiteral("20261209080000_恢复前.bak");
  ASSERT_TRUE(QFile::exists(safety));
  ResetConnections();
  EXPECT_EQ(dumpFile(safety, false), beforeRestore);
  EXPECT_EQ(dataFolderFiles(), kDataFolderFiles);
}

TEST_F(BackupTest, ARestoreFileThatIsNotOurDatabaseIsRefusedAndChangesNothing) {
  const QString dir = gAppDir + QStringLiteral("外来文件/");
  QDir().mkpath(dir);
  const QString good = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  // The whole system's data, keyed otherwise (another key, and no key at all).
  auto exportWithKey = [](const QString& path, const QString& key) {
    ASSERT_TRUE(writeFile(path, QByteArray()));  // the program's connection opens files but creates none
    Db(0).Execute(QStringLiteral("ATTACH DATABASE ? AS x KEY ?"), {path, key});
    Db(0).query(QStringLiteral("SELECT sqlcipher_export('x')"));
    Db(0).Execute(QStringLiteral("DETACH DATABASE x"));
  };
  ASSERT_TRUE(writeFile(dir + QStringLiteral("文本.bak"), "这不是数据库，只是一段文字。"));
  ASSERT_TRUE(writeFile(dir + QStringLiteral("空.bak"), QByteArray()));
  exportWithKey(dir + QStringLiteral("别的密码.bak"), QStringLiteral("另一个密码"));
  exportWithKey(dir + QStringLiteral("未加密.bak"), QString());
  ASSERT_TRUE(isPlainSqlite(dir + QStringLiteral("未加密.bak")));
  const QByteArray goodBytes = readFile(good);
  ASSERT_FALSE(goodBytes.isEmpty());
  ASSERT_TRUE(writeFile(dir + QStringLiteral("截断.bak"), goodBytes.left(goodBytes.size() / 2)));
  {
    Connection other(MakeSqlCipherBackend(dir + QStringLiteral("别的系统.bak"), gDbPassword, true), SqlDialect{DialectKind::Sqlite});
    other.ensureOpen();
    other.Execute(QStringLiteral("create table PJ_Sys (编号 integer primary key, SqlIP text)"));
    other.Execute(QStringLiteral("create table 货物 (编号 integer primary key, 名称 text)"));
    other.close();
  }
  const QByteArray before = liveHash();
  const QStringList backupsBefore = filesIn(DefaultBackupFolder());
  for (const QString& name : {QStringLiteral("文本.bak"), QStringLiteral("空.bak"), QStringLiteral("别的密码.bak"), QStringLiteral("未加密.bak"),
                              QStringLiteral("截断.bak"), QStringLiteral("别的系统.bak")}) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_FALSE(restoreConfirmed(dir + name));  // confirmed, if it were ever asked
    ASSERT_EQ(responder_.messages.size(), 1u) << said();
    EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("“") + QDir::toNativeSeparators(dir + name) + QStringLiteral("”不是本系统的数据库备份文件，不能恢复！")))
        << responder_.messages[0].text.toStdString();
    // Why, in the user's words: no driver text, no table names.
    const QString why = responder_.messages[0].text.section(QStringLiteral("不能恢复！"), 1).trimmed();
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(why.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << why.toStdString();
    EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
    responder_.answers.clear();
    EXPECT_EQ(liveHash(), before);
    EXPECT_EQ(filesIn(DefaultBackupFolder()), backupsBefore) << "nothing was saved for a restore that never happened";
    EXPECT_EQ(dataFolderFiles(), kDataFolderFiles);
  }
  EXPECT_EQ(ended_.calls, 0);
}

TEST_F(BackupTest, ARestoreNotConfirmedOrWithoutAFileChangesNothing) {
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  addCustomer(QStringLiteral("之后"));
  const QByteArray before = liveHash();
  EXPECT_FALSE(ran(1, backup));  // the question is answered No
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("确定要恢复吗？")));
  EXPECT_EQ(liveHash(), before);
  EXPECT_EQ(filesIn(DefaultBackupFolder()).size(), 1);
  for (const QString& empty : {QString(), QStringLiteral("   ")}) {
    EXPECT_FALSE(ran(1, empty));
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("备份目录不能为空!")});
    EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
  }
  ran(1, gAppDir + QStringLiteral("没有这个文件.bak"));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("找不到备份文件“") + QDir::toNativeSeparators(gAppDir + QStringLiteral("没有这个文件.bak")) + QStringLiteral("”！")});
  EXPECT_EQ(liveHash(), before);
}

TEST_F(BackupTest, ABackupFolderThatCannotBeWrittenGivesAClearMessage) {
  ASSERT_TRUE(writeFile(gAppDir + QStringLiteral("一个文件"), QByteArray()));
  struct Case {
    QString folder;
    QString expected;
    bool systemText;  // the system's own words behind the details button
  };
  const Case cases[] = {
      {gAppDir + QStringLiteral("一个文件/备份"),
       QStringLiteral("无法创建备份目录“") + QDir::toNativeSeparators(gAppDir + QStringLiteral("一个文件/备份")) + QStringLiteral("”，请检查路径是否正确、是否有写入权限！"),
       false},
      // A folder nobody may create files in, not even an administrator.
      {QStringLiteral("/proc"), QStringLiteral("备份目录“/proc”不能写入，请选择其他目录！"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder.toStdString());
    EXPECT_FALSE(ran(0, c.folder));
    ASSERT_EQ(responder_.messages.size(), 1u);
    EXPECT_EQ(responder_.messages[0].text, c.expected);
    EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
    EXPECT_EQ(responder_.messages[0].details.contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}"))), c.systemText)
        << responder_.messages[0].details.toStdString();
  }
  ran(0, QStringLiteral("  "));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("备份目录不能为空!")});
  EXPECT_TRUE(filesIn(DefaultBackupFolder()).isEmpty());
}

TEST_F(BackupTest, CompactionKeepsEveryRowTheSequencesAndTheKey) {
  // Many rows written and most of them deleted leave free pages behind.
  Db().begin();
  for (int i = 0; i < 3000; ++i)
    Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,家庭住址) values (?,?)"), {QStringLiteral("客户%1").arg(i), QString(200, QChar(0x8DEF))});
  Db().commit();
  Db().Execute(QStringLiteral("delete from PJ_Kehu where 编号 % 50 <> 1"));
  const qint64 lastKey = Db().scalar(QStringLiteral("select seq from sqlite_sequence where name='PJ_Kehu'")).toLongLong();
  ASSERT_GT(lastKey, Db().scalar(QStringLiteral("select max(编号) from PJ_Kehu")).toLongLong());
  ResetConnections();
  const auto before = dumpFile(LocalDatabasePath());
  const qint64 sizeBefore = QFileInfo(LocalDatabasePath()).size();
  EXPECT_TRUE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
  EXPECT_EQ(shown(), std::vector{message(QStringLiteral("数据压缩"), QStringLiteral("数据压缩成功！"), Mb::Information)});
  EXPECT_LT(QFileInfo(LocalDatabasePath()).size(), sizeBefore / 4);
  EXPECT_FALSE(QFile::exists(CompactionWorkFile()));
  EXPECT_FALSE(isPlainSqlite(LocalDatabasePath()));
  EXPECT_FALSE(IsSystemDatabaseFile(LocalDatabasePath(), QStringLiteral("别的密码")));
  EXPECT_EQ(dumpFile(LocalDatabasePath()), before);
  // The program goes on with the compacted file, and new keys continue after the highest ever given
  // (the last rows were deleted, so the highest left is lower).
  addCustomer(QStringLiteral("压缩后"));
  EXPECT_EQ(Db().scalar(QStringLiteral("select 编号 from PJ_Kehu where 姓名=?"), {QStringLiteral("压缩后")}).toLongLong(), lastKey + 1);
}

TEST_F(BackupTest, CompactionAsksBeforeReplacingAWorkFileAndFailsWithoutHarm) {
  ASSERT_TRUE(writeFile(CompactionWorkFile(), "留着"));
  const QByteArray before = liveHash();
  EXPECT_FALSE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
  EXPECT_EQ(shown(), std::vector{message(QStringLiteral("压缩工程数据文件"), QStringLiteral("此压缩文件已存在是否将其覆盖？"), Mb::YesNo + Mb::Question)});
  EXPECT_EQ(liveHash(), before);
  EXPECT_EQ(fileHash(CompactionWorkFile()), QCryptographicHash::hash("留着", QCryptographicHash::Sha256));
  // A failure (here the wrong key) is shown as it is and leaves the database as it was.
  responder_.clear();
  responder_.answer(Mb::Yes);
  EXPECT_FALSE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), QStringLiteral("别的密码")));
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[1].style, int(Mb::OkOnly));
  EXPECT_EQ(responder_.messages[1].title, kAppTitle);
  EXPECT_FALSE(responder_.messages[1].text.isEmpty());
  EXPECT_EQ(liveHash(), before);
  EXPECT_FALSE(QFile::exists(CompactionWorkFile()));
  responder_.clear();
  EXPECT_TRUE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("数据压缩成功！")}) << "no work file left to ask about";
}

// --- SQL Server: statements as text, no server -------------------------------------------------

namespace {
class ServerMaintenanceTest : public BackupTest {
 protected:
  void SetUp() override {
    BackupTest::SetUp();
    gDatabaseType = 1;
    savedName_ = gSqlName;
    gSqlName = QStringLiteral("借贷]库");
    SetMasterRunner([this](const QStringList& statements, const QStringList& undo) {
      for (const QString& s : statements) {
        ran_ << s;
        if (!failOn_.isEmpty() && s.contains(failOn_)) {
          undo_ = undo;
          throw AppError(3101, failWith_);
        }
      }
      undo_ = undo;
    });
    resetServer();
    // The program's own database on the server, as an older version left it.
    ResetConnections();
    server_ = gAppDir + QStringLiteral("server.pbb");
    QFile::copy(LocalDatabasePath(), server_);
    makeOlder(server_, gDbPassword);
    SetConnectionOverride(1, std::make_shared<Connection>(MakeSqlCipherBackend(server_, gDbPassword), SqlDialect{DialectKind::Sqlite}));
    SetMasterQuery([this](const QString& sql) {
      queries_ << sql;
      if (sql.startsWith(QStringLiteral("RESTORE HEADERONLY"))) {
        if (!headerError_.isEmpty()) throw AppError(3241, headerError_);
        return header_;
      }
      if (sql.startsWith(QStringLiteral("RESTORE FILELISTONLY"))) return files_;
      if (sql.startsWith(QStringLiteral("select physical_name"))) return QueryResult{{QStringLiteral("physical_name")}, {{QStringLiteral("/var/opt/mssql/data/借贷.mdf")}}};
      if (sql.startsWith(QStringLiteral("select name from [借贷]]库_恢复检查].sys.tables"))) return tables_;
      throw AppError(208, QStringLiteral("unexpected query: ") + sql);
    });
  }
  // A server holding a good full backup of the program's database, nothing run yet.
  void resetServer() {
    ran_.clear();
    undo_.clear();
    queries_.clear();
    failOn_.clear();
    headerError_.clear();
    header_ = {{QStringLiteral("BackupName"), QStringLiteral("BackupType"), QStringLiteral("DatabaseName")},
               {{QStringLiteral("每日"), 1, QStringLiteral("借贷]库")}}};
    files_ = {{QStringLiteral("LogicalName"), QStringLiteral("PhysicalName"), QStringLiteral("Type")},
              {{QStringLiteral("借贷"), QStringLiteral("D:\\旧\\借贷.mdf"), QStringLiteral("D")},
               {QStringLiteral("借贷_log"), QStringLiteral("D:\\旧\\借贷_log.ldf"), QStringLiteral("L")}}};
    tables_ = {{QStringLiteral("name")}, {}};
    for (const QString& t : RequiredSystemTables())
      if (t != QLatin1String("PJ_Sys")) tables_.rows.push_back({t});
  }
  void TearDown() override {
    SetConnectionOverride(1, nullptr);
    SetMasterRunner({});
    SetMasterQuery({});
    gSqlName = savedName_;
    gDatabaseType = 0;
    BackupTest::TearDown();
  }
  QString savedName_;
  QString server_;
  QStringList ran_;
  QStringList undo_;
  QString failOn_;  // the statement that fails, by a piece of its text
  QString failWith_;
  QStringList queries_;
  QueryResult header_, files_, tables_;
  QString headerError_;
  // Whether anything ran against the program's database itself (not the scratch copy).
  bool touchedTheDatabase() const {
    return ran_.join(QLatin1Char('\n')).contains(QStringLiteral("[借贷]]库] ")) || ran_.join(QLatin1Char('\n')).contains(QStringLiteral("VERIFYONLY"));
  }
};
}  // namespace

TEST(ServerMaintenanceSql, PathsJoinWithTheFoldersSeparatorAndMasterIsNamed) {
  EXPECT_EQ(ServerPath(QStringLiteral("D:\\备份"), QStringLiteral("x.bak")), QStringLiteral("D:\\备份\\x.bak"));
  EXPECT_EQ(ServerPath(QStringLiteral("/var/opt/mssql/backup/"), QStringLiteral("x.bak")), QStringLiteral("/var/opt/mssql/backup/x.bak"));
  EXPECT_EQ(ServerPath(QStringLiteral("backup"), QStringLiteral("x.bak")), QStringLiteral("backup/x.bak"));
  EXPECT_EQ(ServerPath(QString(), QStringLiteral("x.bak")), QStringLiteral("x.bak"));
  const QString saved = gSqlName;
  gSqlName = QStringLiteral("贷款库");
  const QString master = MasterConnectionString();
  EXPECT_TRUE(master.contains(QStringLiteral(";DATABASE=master;"))) << master.toStdString();
  EXPECT_FALSE(master.contains(QStringLiteral("贷款库")));
  EXPECT_EQ(gSqlName, QStringLiteral("贷款库"));
  gSqlName = saved;
}

TEST_F(ServerMaintenanceTest, BackupRunsOneStatementOnMaster) {
  setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  BackupOrRestoreDatabase(2, QStringLiteral("D:\\备份\\O'Neil"));
  ASSERT_TRUE(gBackupOk);
  EXPECT_EQ(ran_, QStringList{QStringLiteral("BACKUP DATABASE [借贷]]库] TO DISK = N'D:\\备份\\O''Neil\\20261208090503.bak'")});
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("恭喜，数据已成功备份为‘D:\\备份\\O'Neil\\20261208090503.bak’!")});
  ran_.clear();
  EXPECT_FALSE(ran(2, QString()));
  EXPECT_TRUE(ran_.isEmpty());
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("备份目录不能为空!")});
}

TEST_F(ServerMaintenanceTest, RestoreVerifiesSavesAndRestoresInSingleUse) {
  setNow(QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0)));
  responder_.answer(Mb::Yes);
  BackupOrRestoreDatabase(3, QStringLiteral("/var/opt/mssql/backup/20261208090503.bak"));
  ASSERT_TRUE(gBackupOk);
  const QString file = QStringLiteral("N'/var/opt/mssql/backup/20261208090503.bak'");
  EXPECT_EQ(queries_, (QStringList{
                          QStringLiteral("RESTORE HEADERONLY FROM DISK = ") + file,
                          QStringLiteral("RESTORE FILELISTONLY FROM DISK = ") + file,
                          QStringLiteral("select physical_name from sys.master_files where database_id = db_id(N'借贷]库') and type = 0"),
                          QStringLiteral("select name from [借贷]]库_恢复检查].sys.tables"),
                      }));
  EXPECT_EQ(ran_, (QStringList{
                      // The backup is restored under a scratch name first, checked and dropped.
                      QStringLiteral("RESTORE DATABASE [借贷]]库_恢复检查] FROM DISK = ") + file +
                          QStringLiteral(" WITH MOVE N'借贷' TO N'/var/opt/mssql/data/借贷]库_恢复检查_1.mdf', "
                                         "MOVE N'借贷_log' TO N'/var/opt/mssql/data/借贷]库_恢复检查_2.ldf', REPLACE, RECOVERY"),
                      QStringLiteral("IF DB_ID(N'借贷]库_恢复检查') IS NOT NULL DROP DATABASE [借贷]]库_恢复检查]"),
                      QStringLiteral("RESTORE VERIFYONLY FROM DISK = ") + file,
                      // The safety backup while others still work; then single use, the restore
                      // and multi use in one batch.
                      QStringLiteral("BACKUP DATABASE [借贷]]库] TO DISK = N'/var/opt/mssql/backup/20261209080000_恢复前.bak'"),
                      QStringLiteral("ALTER DATABASE [借贷]]库] SET SINGLE_USER WITH ROLLBACK IMMEDIATE;\n"
                                     "RESTORE DATABASE [借贷]]库] FROM DISK = ") +
                          file + QStringLiteral(" WITH REPLACE;\nALTER DATABASE [借贷]]库] SET MULTI_USER"),
                  }));
  EXPECT_EQ(undo_, QStringList{QStringLiteral("ALTER DATABASE [借贷]]库] SET MULTI_USER")});
  ASSERT_EQ(responder_.messages.size(), 2u) << said();
  // Every workstation loses the database at once: the question says so before its last sentence.
  EXPECT_TRUE(responder_.messages[0].text.endsWith(QStringLiteral("请重新启动。其他工作站将被断开，确定要恢复吗？"))) << responder_.messages[0].text.toStdString();
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("数据恢复已经完成，请重启本软件！"));
  EXPECT_EQ(responder_.messages[1].title, QStringLiteral("数据库恢复情况"));
  // The restored database was brought up to date before the program ends.
  ResetConnections();
  EXPECT_EQ(dumpFile(server_).count(QStringLiteral("PJ_Djxh")), 1);
  // Not confirmed, or no file: the program's database is never touched.
  for (const QString& path : {QStringLiteral("D:\\bk\\a.bak"), QString()}) {
    ran_.clear();
    EXPECT_FALSE(ran(3, path));
    EXPECT_FALSE(touchedTheDatabase()) << ran_.join("\n").toStdString();
  }
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("备份目录不能为空!")});
}

TEST_F(ServerMaintenanceTest, ARestoreTheServerRefusesIsReportedAndTheProgramGoesOn) {
  failOn_ = QStringLiteral("RESTORE VERIFYONLY");
  failWith_ = QStringLiteral("The media set has 1 media families but only 0 are provided.");
  responder_.answer(Mb::Yes);
  frmbackup w(nullptr, 1);
  EXPECT_TRUE(w.lblServer->isVisibleTo(&w));
  w.txtPath->setText(QStringLiteral("D:\\bk\\半个文件.bak"));
  QTest::mouseClick(w.cmbDk->at(0), Qt::LeftButton);
  EXPECT_FALSE(gBackupOk);
  EXPECT_EQ(ended_.calls, 0);
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_TRUE(responder_.messages[1].text.startsWith(QStringLiteral("备份恢复数据库程序出现异常！"))) << responder_.messages[1].text.toStdString();
  EXPECT_TRUE(responder_.messages[1].text.contains(failWith_));
  EXPECT_TRUE(w.cmbDk->at(0)->isEnabled()) << "the window can be used again";
}

TEST_F(ServerMaintenanceTest, ABackupOfAnythingElseIsRefusedBeforeAnythingIsReplaced) {
  const QString file = QStringLiteral("D:\\bk\\外来.bak");
  const QString drop = QStringLiteral("IF DB_ID(N'借贷]库_恢复检查') IS NOT NULL DROP DATABASE [借贷]]库_恢复检查]");
  struct Case {
    const char* what;
    std::function<void()> arrange;
    QString reason;
    bool scratchRestored;  // the check restored a scratch copy, which must be dropped again
  };
  const Case cases[] = {
      {"not a backup", [this] { headerError_ = QStringLiteral("The file is not a valid backup set."); },
       QStringLiteral("服务器不能读取该备份文件（The file is not a valid backup set.）。"), false},
      {"no backup set", [this] { header_.rows.clear(); }, QStringLiteral("文件中没有数据库备份。"), false},
      {"a differential backup", [this] { header_.rows[0][1] = 5; }, QStringLiteral("这不是完整的数据库备份。"), false},
      {"another database", [this] { header_.rows[0][2] = QStringLiteral("进销存"); },
       QStringLiteral("备份的是数据库“进销存”，不是本系统的数据库“借贷]库”。"), false},
      {"without the system's tables", [this] { tables_.rows = {{QStringLiteral("PJ_Jq")}, {QStringLiteral("货物")}}; },
       QStringLiteral("备份中缺少本系统的数据表：PJ_Admin、PJ_Zxlb、PJ_Zaxiang、PJ_Kehu、PJ_Kehu_Gs、PJ_Gd、PJ_Yhzh、PJ_Dkjl、PJ_Hdjh、PJ_Hkjl、PJ_Cjjl、PJ_Cjzfjh、PJ_Cjzfjl、PJ_Liushui。"),
       true},
      {"a scratch restore the server refuses",
       [this] {
         failOn_ = QStringLiteral("RESTORE DATABASE [借贷]]库_恢复检查]");
         failWith_ = QStringLiteral("The backup set holds a backup of a database other than the existing database.");
       },
       QStringLiteral("备份文件不能还原检查（The backup set holds a backup of a database other than the existing database.）。"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetServer();
    responder_.clear();
    c.arrange();
    responder_.answer(Mb::Yes);  // would confirm, if it were ever asked
    BackupOrRestoreDatabase(3, file);
    EXPECT_FALSE(gBackupOk);
    const QString refusal = QStringLiteral("“") + file + QStringLiteral("”不是本系统的数据库备份文件，不能恢复！\r\n") + c.reason;
    EXPECT_EQ(shown(), std::vector{message(QStringLiteral("数据库恢复情况"), refusal, Mb::Critical)});
    EXPECT_FALSE(touchedTheDatabase()) << ran_.join("\n").toStdString();
    if (c.scratchRestored)
      EXPECT_TRUE(ran_.endsWith(drop) || undo_ == QStringList{drop}) << "the scratch copy is dropped again";
    else
      EXPECT_TRUE(ran_.isEmpty());
    EXPECT_EQ(ended_.calls, 0);
  }
}

TEST_F(ServerMaintenanceTest, CompactionIsLeftToTheServerTools) {
  const QByteArray before = liveHash();
  frmSjys w(nullptr);
  QTest::mouseClick(w.cmdYs, Qt::LeftButton);
  EXPECT_EQ(w.result(), int(QDialog::Accepted));
  EXPECT_EQ(shown(), std::vector{message(QStringLiteral("提示"), QStringLiteral("请联系管理员，使用MSSql自带的企业管理器进行维护。"), Mb::Information)});
  EXPECT_TRUE(ran_.isEmpty());
  EXPECT_EQ(liveHash(), before);
}

// --- the windows ---------------------------------------------------------------------------------

TEST_F(BackupTest, TheBackupWindowBacksUpIntoTheChosenFolderAndCloses) {
  setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  frmbackup w(nullptr, 0);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("备份数据库"));
  EXPECT_EQ(w.cmbDk->at(0)->Caption(), QStringLiteral("数据备份"));
  EXPECT_EQ(w.cmbDk->at(1)->Caption(), QStringLiteral("退出"));
  EXPECT_EQ(w.txtPath->text(), QDir::toNativeSeparators(gAppDir + QStringLiteral("Databackup/")));
  EXPECT_FALSE(w.lblServer->isVisibleTo(&w));
  // A chosen folder (not there yet) is where the file goes.
  const QString chosen = gAppDir + QStringLiteral("我的备份");
  SetChooserHandler([chosen](ChooserKind kind, const QString&) { return kind == ChooserKind::Folder ? chosen : QString(); });
  QTest::mouseClick(w.cmdPath, Qt::LeftButton);
  EXPECT_EQ(w.txtPath->text(), chosen);
  QTest::mouseClick(w.cmbDk->at(0), Qt::LeftButton);
  EXPECT_TRUE(gBackupOk);
  EXPECT_EQ(w.result(), int(QDialog::Accepted));
  EXPECT_EQ(w.Prg->value(), 100);
  EXPECT_EQ(filesIn(chosen), QStringList{QStringLiteral("20261208090503.bak")});
}

TEST_F(BackupTest, TheRestoreWindowEndsTheProgramOnlyAfterARestore) {
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  responder_.clear();
  frmbackup w(nullptr, 1);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("恢复数据库"));
  EXPECT_EQ(w.cmbDk->at(0)->Caption(), QStringLiteral("恢复数据库"));
  EXPECT_TRUE(w.txtPath->text().isEmpty());
  // A cancelled file dialog leaves the path empty.
  QTest::mouseClick(w.cmdPath, Qt::LeftButton);
  QTest::mouseClick(w.cmbDk->at(0), Qt::LeftButton);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("备份目录不能为空!")});
  EXPECT_EQ(ended_.calls, 0);
  SetChooserHandler([backup](ChooserKind kind, const QString&) { return kind == ChooserKind::OpenFile ? backup : QString(); });
  QTest::mouseClick(w.cmdPath, Qt::LeftButton);
  EXPECT_EQ(w.txtPath->text(), QDir::toNativeSeparators(backup));
  responder_.clear();
  responder_.answer(Mb::Yes);
  QTest::mouseClick(w.cmbDk->at(0), Qt::LeftButton);
  EXPECT_TRUE(gBackupOk) << said();
  EXPECT_EQ(ended_.calls, 1);
}

TEST_F(BackupTest, TheMainWindowOpensTheMaintenanceWindows) {
  frmMain main;
  struct Seen {
    QString name, title;
  };
  std::vector<Seen> seen;
  for (int i = 0; i < 4; ++i)
    modal_.handlers.push_back([&seen](QDialog* d) {
      seen.push_back({d->objectName(), d->windowTitle()});
      return int(QDialog::Rejected);
    });
  for (const char* command : {"mnu_sjbf", "mnu_sjhf", "mnu_sjys", "mnu_xtsz"}) main.RunCommand(QString::fromUtf8(command));
  ASSERT_EQ(seen.size(), 4u) << said();
  EXPECT_EQ(seen[0].title, QStringLiteral("备份数据库"));
  EXPECT_EQ(seen[1].title, QStringLiteral("恢复数据库"));
  EXPECT_EQ(seen[2].name, QStringLiteral("frmSjys"));
  EXPECT_EQ(seen[3].title, QStringLiteral("参数设置"));
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(BackupTest, AFullDiskDuringABackupOrACompactionIsToldInTheSystemsWordsAndLosesNothing) {
  addCustomer(QStringLiteral("满盘前"));
  ResetConnections();
  const auto before = dumpFile(LocalDatabasePath());
  const QStringList backupsBefore = filesIn(DefaultBackupFolder());
  const QString full = QStringLiteral("磁盘空间不足，本次操作没有保存任何数据。");
  struct Case {
    const char* name;
    const char* target;  // the file the disk fills up with
    std::function<void()> run;
  };
  const Case cases[] = {
      {"backup", ".bak.part",
       [] { Guarded(QStringLiteral("数据备份"), nullptr, [] { BackupOrRestoreDatabase(0, DefaultBackupFolder()); }); }},
      {"compaction", "text.bak", [] { CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    responder_.clear();
    {
      // The copy gets a few pages on disk before the disk is full.
      FillingDisk disk(c.target, 3 * 4096);
      ResetConnections();
      c.run();
      EXPECT_GT(disk.written(), 0) << "the copy ran until the disk was full";
      ResetConnections();
    }
    EXPECT_FALSE(gBackupOk);
    ASSERT_EQ(responder_.messages.size(), 1u) << said();
    EXPECT_TRUE(responder_.messages[0].text.endsWith(full)) << responder_.messages[0].text.toStdString();
    EXPECT_FALSE(responder_.messages[0].text.contains(QStringLiteral("database or disk is full")));
    EXPECT_TRUE(responder_.messages[0].details.startsWith(QStringLiteral("代码：13"))) << responder_.messages[0].details.toStdString();
    EXPECT_EQ(dumpFile(LocalDatabasePath()), before);
    EXPECT_EQ(filesIn(DefaultBackupFolder()), backupsBefore) << "no half backup left";
    EXPECT_FALSE(QFile::exists(CompactionWorkFile()));
    EXPECT_FALSE(QFile::exists(CompactionWorkFile() + QStringLiteral("-journal")));
  }
}


TEST_F(BackupTest, ARestoredOlderBackupIsBroughtUpToDateBeforeItReplacesTheDatabase) {
  addCustomer(QStringLiteral("旧版客户"));
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  ResetConnections();
  makeOlder(backup, gDbPassword);
  addCustomer(QStringLiteral("恢复前"));
  ASSERT_TRUE(restoreConfirmed(backup)) << said();
  ResetConnections();
  EXPECT_EQ(customers(QStringLiteral("旧版客户")), 1);
  EXPECT_EQ(customers(QStringLiteral("恢复前")), 0);
  for (const char* table : {"PJ_Djxh", "PJ_Duanxin"})
    EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from sqlite_master where type='table' and name=?"), {QString::fromUtf8(table)}).toInt(), 1) << table;
  for (const auto& [table, column] : kColumnsAddedSince)
    EXPECT_TRUE(Db().query(QStringLiteral("select * from %1 where 0").arg(table)).columns.contains(QString::fromUtf8(column))) << table;
  // The number sequence works on the restored file (its unique index came with the table).
  Db().Execute(QStringLiteral("insert into PJ_Djxh (前缀,序号) values ('D',1)"));
  EXPECT_THROW(Db().Execute(QStringLiteral("insert into PJ_Djxh (前缀,序号) values ('D',2)")), AppError);
}

TEST_F(BackupTest, ABackupThatCannotBeUpgradedReplacesNothing) {
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  ResetConnections();
  makeOlder(backup, gDbPassword);
  {
    // Something of another kind stands where the upgrade must create a table.
    Connection old(MakeSqlCipherBackend(backup, gDbPassword), SqlDialect{DialectKind::Sqlite});
    old.Execute(QStringLiteral("create view PJ_Djxh as select 1 as 前缀"));
    old.close();
  }
  addCustomer(QStringLiteral("留下"));
  const QByteArray before = liveHash();
  const QStringList backupsBefore = filesIn(DefaultBackupFolder());
  EXPECT_FALSE(restoreConfirmed(backup));
  ASSERT_EQ(responder_.messages.size(), 1u) << "refused before the question: " << said();
  // The reason in the system's words; the driver's number and text only behind the details button.
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("备份文件无法升级到当前版本，没有恢复：数据表结构与当前版本冲突，无法自动升级。"));
  EXPECT_TRUE(responder_.messages[0].details.startsWith(QStringLiteral("代码："))) << responder_.messages[0].details.toStdString();
  EXPECT_TRUE(responder_.messages[0].details.contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}"))))
      << "the driver's own text: " << responder_.messages[0].details.toStdString();
  EXPECT_EQ(liveHash(), before);
  EXPECT_EQ(filesIn(DefaultBackupFolder()), backupsBefore);
  EXPECT_EQ(dataFolderFiles(), kDataFolderFiles);
  EXPECT_EQ(customers(QStringLiteral("留下")), 1);
}

// The staging copy of a restore: a backup that cannot be read says so; a database folder that
// cannot take the copy gives the read-only or the full-disk sentence, never "cannot read the backup",
// and leaves no part of a copy behind.
TEST_F(BackupTest, AStagingCopyThatCannotBeWrittenIsToldAsAReadOnlyFolderOrAFullDisk) {
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  const QString folder = gAppDir + QStringLiteral("staging");
  ASSERT_TRUE(QDir().mkpath(folder));
  struct Case {
    const char* what;
    QString source, target;
    QString starts;  // "" when copied
    bool details;    // the system error behind the details button
  };
  const Case cases[] = {
      {"copied", backup, folder + QStringLiteral("/copy.tmp"), QString(), false},
      {"a backup that is not there", folder + QStringLiteral("/none.bak"), folder + QStringLiteral("/copy2.tmp"),
       QStringLiteral("无法读取备份文件"), false},
      {"a target that cannot be created", backup, folder, QStringLiteral("数据库文件是只读的，不能保存。"), true},
      // The disk fills up after one page: a file size limit makes the write fail as a full disk would.
      {"a full disk", backup, folder + QStringLiteral("/full.tmp"), QStringLiteral("磁盘空间不足，本次操作没有保存任何数据。"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool full = c.target.endsWith(QStringLiteral("full.tmp"));
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    if (full) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit small = before;
      small.rlim_cur = 4096;
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const AppError e = CopyBackupFile(c.source, c.target);
    if (full) ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    if (c.starts.isEmpty()) {
      EXPECT_EQ(e.number, 0) << e.description.toStdString();
      ASSERT_TRUE(QFile::exists(c.source) && QFile::exists(c.target));
      EXPECT_EQ(readFile(c.source), readFile(c.target));
      continue;
    }
    EXPECT_NE(e.number, 0);
    EXPECT_TRUE(e.description.startsWith(c.starts)) << e.description.toStdString();
    EXPECT_EQ(!e.details.isEmpty(), c.details) << e.details.toStdString();
  }
  EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/copy2.tmp")));
  EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/full.tmp"))) << "no part of a copy is left";
  // Through the restore: a database folder where the staging copy cannot be made.
  addCustomer(QStringLiteral("留下"));
  const QByteArray before = liveHash();
  ResetConnections();
  const QString staging = gAppDir + QStringLiteral("data/restore.tmp");
  ASSERT_TRUE(QDir().mkpath(staging));  // a folder where the copy should go
  responder_.clear();
  Guarded(QStringLiteral("备份恢复数据库"), nullptr, [&] { BackupOrRestoreDatabase(1, backup); });
  EXPECT_FALSE(gBackupOk);
  ASSERT_EQ(responder_.messages.size(), 1u) << said();
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("数据库文件是只读的，不能保存。"));
  EXPECT_FALSE(responder_.messages[0].details.isEmpty());
  QDir(staging).removeRecursively();
  EXPECT_EQ(liveHash(), before);
  EXPECT_EQ(customers(QStringLiteral("留下")), 1);
}

TEST_F(BackupTest, AConversionThatFailsLeavesTheFileByteForByteAndItStillOpens) {
  addCustomer(QStringLiteral("旧页客户"));
  ResetConnections();
  const QString file = LocalDatabasePath();
  WriteOldPageCopy(file, file + QStringLiteral(".old"), gDbPassword);
  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QFile::rename(file + QStringLiteral(".old"), file));
  const QByteArray before = fileHash(file);
  QString reason;
  {
    FillingDisk disk(".convert", 3 * 4096);
    EXPECT_FALSE(ConvertDatabaseFile(file, gDbPassword, &reason));
    EXPECT_GT(disk.written(), 0) << "the conversion ran until the disk was full";
  }
  EXPECT_TRUE(reason.contains(QStringLiteral("磁盘空间不足"))) << reason.toStdString();
  EXPECT_EQ(fileHash(file), before);
  EXPECT_FALSE(QFile::exists(file + QStringLiteral(".convert")));
  EXPECT_FALSE(QFile::exists(file + QStringLiteral(".convert-journal")));
  EXPECT_EQ(customers(QStringLiteral("旧页客户")), 1) << "the program still opens it";
  ResetConnections();
  // With room on the disk the same file converts.
  EXPECT_TRUE(ConvertDatabaseFile(file, gDbPassword, &reason)) << reason.toStdString();
  EXPECT_EQ(FilePageSize(file, gDbPassword), 4096);
  EXPECT_EQ(customers(QStringLiteral("旧页客户")), 1);
}

TEST_F(BackupTest, ABackupOfEarlierVersionsPagesRestoresConvertedAndKeepsTheFilesPermissions) {
  addCustomer(QStringLiteral("旧备份客户"));
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  EXPECT_EQ(FilePageSize(backup, gDbPassword), 4096) << "backups are written in this version's pages";
  ResetConnections();
  const QString old = DefaultBackupFolder() + QStringLiteral("旧版本.bak");
  WriteOldPageCopy(backup, old, gDbPassword);
  const auto backedUp = dumpFile(old, false);
  addCustomer(QStringLiteral("恢复前"));
  ResetConnections();
  ASSERT_EQ(::chmod(QFile::encodeName(LocalDatabasePath()).constData(), 0660), 0);
  ASSERT_TRUE(restoreConfirmed(old)) << said();
  ResetConnections();
  EXPECT_EQ(dumpFile(LocalDatabasePath(), false), backedUp);
  EXPECT_EQ(customers(QStringLiteral("旧备份客户")), 1);
  EXPECT_EQ(customers(QStringLiteral("恢复前")), 0);
  ResetConnections();
  EXPECT_EQ(FilePageSize(LocalDatabasePath(), gDbPassword), 4096);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(LocalDatabasePath()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u) << "data.pbb keeps its permission bits";
  EXPECT_EQ(dataFolderFiles(), kDataFolderFiles) << "no staging copy, work file or lock of them left";
}

// Another account that may write data/ and Databackup/ plants something at the names a restore and a
// backup make: they make files of their own, never write where a link points, never wait on a FIFO.
TEST_F(BackupTest, WhatIsPlantedAtTheNamesOfARestoreOrABackupIsNeverFollowed) {
  addCustomer(QStringLiteral("旧备份客户"));
  const QString backup = backupNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3)));
  ResetConnections();
  const QString old = gAppDir + QStringLiteral("旧版本.bak");
  WriteOldPageCopy(backup, old, gDbPassword);
  const auto backedUp = dumpFile(old, false);
  const QString staging = gAppDir + QStringLiteral("data/restore.tmp");
  int minute = 0;
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    std::vector<PlantedName> planted;
    for (const char* suffix : {"", "-journal", ".convert", ".convert-journal"})
      planted.emplace_back(kind, staging + QString::fromUtf8(suffix), dir_.path());
    addCustomer(QStringLiteral("恢复前"));
    ASSERT_TRUE(restoreConfirmed(old)) << said();
    for (const PlantedName& p : planted) EXPECT_TRUE(p.othersUntouched()) << p.path.toStdString();
    EXPECT_TRUE(IsPlainFile(LocalDatabasePath()));
    ResetConnections();
    EXPECT_EQ(dumpFile(LocalDatabasePath(), false), backedUp);
    EXPECT_EQ(dataFolderFiles(), kDataFolderFiles);
    // A backup takes the next name where anything stands at the name or its part file.
    const QDateTime at(QDate(2026, 12, 9), QTime(9, ++minute, 0));
    const QString stem = DefaultBackupFolder() + BackupTimeStamp(at);
    const PlantedName taken(kind, stem + QStringLiteral(".bak"), dir_.path());
    const PlantedName part(kind, stem + QStringLiteral("-2.bak.part"), dir_.path());
    responder_.clear();
    setNow(at);
    BackupOrRestoreDatabase(0, DefaultBackupFolder());
    ASSERT_TRUE(gBackupOk) << said();
    for (const PlantedName* p : {&taken, &part}) {
      EXPECT_TRUE(p->stillPlanted()) << p->path.toStdString();
      EXPECT_TRUE(p->othersUntouched()) << p->path.toStdString();
    }
    EXPECT_TRUE(IsPlainFile(stem + QStringLiteral("-3.bak")));
    EXPECT_TRUE(IsSystemDatabaseFile(stem + QStringLiteral("-3.bak"), gDbPassword));
  }
}

// An administrator keeps the data on another disk and makes data/data.pbb a link to it, or a chain of
// two: saves, backups, compaction and restore work on the real file, which stays current, and the
// links stay links; backups stay in the program folder's backup folder, and a replaced file keeps
// its owner, group and permission bits.
TEST_F(BackupTest, ADatabaseBehindLinksStaysBehindThemThroughBackupCompactionAndRestore) {
  struct Case {
    const char* name;
    QStringList via;  // the links between data.pbb and the real file
  };
  const Case cases[] = {
      {"one link", {}},
      {"a chain of two", {gAppDir + QStringLiteral("data/current.pbb")}},
  };
  // Another account's file where the system allows this test to give it one.
  const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
  const gid_t group = ::geteuid() == 0 ? 65534 : ::getegid();
  auto ownedAsBefore = [&](const QString& file) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
  };
  auto customersIn = [](const QString& file) { return dumpFile(file).value(QStringLiteral("PJ_Kehu")).join(QLatin1Char('\n')); };
  int minute = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetConnections();
    const QString real = dir_.path() + QStringLiteral("/别处/另一磁盘%1/real-2026.pbb").arg(minute);
    ASSERT_TRUE(LinkDatabase(LocalDatabasePath(), c.via, real));
    ASSERT_EQ(::chown(QFile::encodeName(real).constData(), owner, group), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_EQ(ResolveLocalDatabase(), QString());
    const QString canonical = QFileInfo(real).canonicalFilePath();
    const QString realFolder = QFileInfo(canonical).absolutePath() + QLatin1Char('/');
    EXPECT_EQ(LocalDatabaseRealPath(), canonical);
    EXPECT_EQ(CompactionWorkFile(), realFolder + QStringLiteral("text.bak"));
    EXPECT_EQ(RestoreStagingFile(), realFolder + QStringLiteral("restore.tmp"));
    const QStringList links = QStringList{LocalDatabasePath()} + c.via;
    const QStringList dataFiles = (c.via.isEmpty() ? QStringList() : QStringList{QStringLiteral("current.pbb")}) + kDataFolderFiles;
    const QStringList realFiles = {QStringLiteral("real-2026.pbb"), QStringLiteral("real-2026.pbb.lock")};
    auto linksStay = [&] {
      for (const QString& l : links) EXPECT_TRUE(IsLink(l)) << l.toStdString();
      EXPECT_EQ(filesIn(realFolder), realFiles) << "no work file or journal left beside the real file";
      EXPECT_EQ(dataFolderFiles(), dataFiles);
    };
    addCustomer(QStringLiteral("链接后"));
    const QString backup = backupNow(QDateTime(QDate(2026, 12, 9), QTime(10, ++minute, 0)));
    EXPECT_TRUE(customersIn(backup).contains(QStringLiteral("链接后")));
    addCustomer(QStringLiteral("压缩前"));
    ResetConnections();
    EXPECT_TRUE(customersIn(real).contains(QStringLiteral("压缩前"))) << "the save went to the real file";
    responder_.clear();
    EXPECT_TRUE(CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword));
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("数据压缩成功！")});
    linksStay();
    ownedAsBefore(real);
    EXPECT_TRUE(customersIn(real).contains(QStringLiteral("压缩前")));
    addCustomer(QStringLiteral("恢复前"));
    ASSERT_TRUE(restoreConfirmed(backup)) << said();
    ResetConnections();
    linksStay();
    ownedAsBefore(real);
    EXPECT_TRUE(customersIn(real).contains(QStringLiteral("链接后")));
    EXPECT_FALSE(customersIn(real).contains(QStringLiteral("压缩前")));
    const QStringList before = QDir(DefaultBackupFolder()).entryList({QStringLiteral("*_恢复前.bak")}, QDir::Files);
    ASSERT_EQ(before.size(), 1) << "the copy made before the restore is in the program folder's backup folder";
    EXPECT_TRUE(customersIn(DefaultBackupFolder() + before[0]).contains(QStringLiteral("恢复前")));
    EXPECT_FALSE(QDir(realFolder + QStringLiteral("../Databackup")).exists());
    QFile::remove(DefaultBackupFolder() + before[0]);
    // The next case starts on a plain file again.
    ResetConnections();
    for (const QString& l : links) ASSERT_TRUE(RemoveName(l));
    ASSERT_TRUE(QFile::rename(real, LocalDatabasePath()));
  }
}

// Where only data/ may be written (the program folder read-only, as other accounts find it), and where
// data/ is another file system, compaction makes its work file beside the database and replaces it
// there; a text.bak an earlier version left in the program folder stays.
TEST_F(BackupTest, CompactionNeedsOnlyTheDatabasesFolderAndItsFileSystem) {
  addCustomer(QStringLiteral("压缩客户"));
  ResetConnections();
  const QString data = gAppDir + QStringLiteral("data");
  const QByteArray bytes = readFile(LocalDatabasePath());
  ASSERT_TRUE(writeFile(gAppDir + QStringLiteral("text.bak"), "旧版本留下的"));
  enum { Compacted = 0, NoNamespace = 77, NoReadOnlyFolder, NoTmpfs, NotAsArranged, Failed, Said, Lost, Replaced };
  const pid_t child = ::fork();
  if (child == 0) {
    // Mounts made in a namespace of the child's own vanish with it.
    ::alarm(60);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(NoNamespace);
    const QByteArray app = QFile::encodeName(gAppDir);
    if (::mount(app.constData(), app.constData(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, app.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      ::_exit(NoReadOnlyFolder);
    if (::mount("tmpfs", QFile::encodeName(data).constData(), "tmpfs", 0, "size=64m") != 0) ::_exit(NoTmpfs);
    const int fd = ::open(QFile::encodeName(LocalDatabasePath()).constData(), O_WRONLY | O_CREAT | O_EXCL, 0640);
    if (fd < 0 || ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size() || ::close(fd) != 0) ::_exit(NotAsArranged);
    struct stat folder {}, database {};
    const bool readOnly = ::mkdir(QFile::encodeName(gAppDir + QStringLiteral("试写")).constData(), 0700) != 0 && errno == EROFS;
    if (!readOnly || ::stat(app.constData(), &folder) != 0 || ::stat(QFile::encodeName(data).constData(), &database) != 0 ||
        folder.st_dev == database.st_dev)
      ::_exit(NotAsArranged);
    if (!CompactDatabaseFile(LocalDatabasePath(), CompactionWorkFile(), gDbPassword)) ::_exit(Failed);
    if (responder_.texts() != QStringList{QStringLiteral("数据压缩成功！")}) ::_exit(Said);
    if (customers(QStringLiteral("压缩客户")) != 1) ::_exit(Lost);
    ResetConnections();
    struct stat after {};
    if (::stat(QFile::encodeName(LocalDatabasePath()).constData(), &after) != 0 || (after.st_mode & 07777) != 0640 || after.st_dev != database.st_dev ||
        filesIn(data) != kDataFolderFiles)
      ::_exit(Replaced);
    ::_exit(Compacted);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was killed (a compaction that hung)";
  const int outcome = WEXITSTATUS(status);
  if (outcome == NoNamespace || outcome == NoReadOnlyFolder || outcome == NoTmpfs)
    GTEST_SKIP() << "this machine gives the test no mount namespace, read-only bind mount or tmpfs (" << outcome
                 << "): run as root where mounts are allowed";
  EXPECT_EQ(outcome, Compacted) << "see the enum: which step of the child failed";
  EXPECT_EQ(readFile(gAppDir + QStringLiteral("text.bak")), QByteArray("旧版本留下的"));
}

// A folder at the name of a journal SQLite keeps beside a file (a name nobody may remove) is named for
// what it is in every step that meets it: never "disk I/O error", the read-only file or a backup that
// is not the system's.
TEST_F(BackupTest, AFolderAtAJournalsNameIsNamedInEveryStepThatMeetsIt) {
  addCustomer(QStringLiteral("旧备份客户"));
  const QDateTime at(QDate(2026, 12, 8), QTime(9, 5, 3));
  const QString backup = backupNow(at);
  const QDateTime later(QDate(2026, 12, 8), QTime(9, 6, 0));
  const auto said = [this](const std::function<void()>& step) {
    responder_.clear();
    try {
      step();
    } catch (const AppError& e) {
      return e.description;
    }
    return responder_.texts().join(QLatin1Char('|'));
  };
  struct Case {
    const char* name;
    QString workFile;  // "" for the database itself; a folder is made at its journal's name
    std::function<void()> step;
  };
  const Case cases[] = {
      {"a save", QString(), [] { addCustomer(QStringLiteral("保存")); }},
      {"a backup's part file", DefaultBackupFolder() + BackupTimeStamp(later) + QStringLiteral(".bak.part"),
       [&] { setNow(later); BackupOrRestoreDatabase(0, DefaultBackupFolder()); }},
      {"the restore's staging copy", RestoreStagingFile(), [&] { responder_.answer(Mb::Yes); BackupOrRestoreDatabase(1, backup); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray before = liveHash();
    const QString folder = (c.workFile.isEmpty() ? LocalDatabasePath() : c.workFile) + QStringLiteral("-journal");
    ASSERT_TRUE(QDir().mkpath(folder));
    gBackupOk = false;
    EXPECT_EQ(said(c.step), DbFailure::unsafeSideFile(folder));
    responder_.answers.clear();
    EXPECT_FALSE(gBackupOk);
    ResetConnections();
    ASSERT_TRUE(QDir().rmdir(folder));
    EXPECT_EQ(liveHash(), before) << "nothing saved, restored or replaced";
    if (!c.workFile.isEmpty()) EXPECT_FALSE(NameTaken(c.workFile)) << "no part file or staging copy left";
  }
}

// A share that takes neither the no-replace flag nor a hard link (a FUSE or network mount) still takes
// backups, by a rename once the final name is seen free; a name taken is never replaced, and a refusal
// of any other kind carries the system's words.
TEST_F(BackupTest, ABackupIsMadeOnAShareWithoutNoReplaceRenamesOrHardLinks) {
  struct Case {
    const char* name;
    int renameErrno, linkErrno;
    bool made;
  };
  const Case cases[] = {
      {"neither the flag nor links (EINVAL, EPERM)", EINVAL, EPERM, true},
      {"no such call, links not supported (ENOSYS, EOPNOTSUPP)", ENOSYS, EOPNOTSUPP, true},
      {"no links at all (EINVAL, ENOSYS)", EINVAL, ENOSYS, true},
      {"a link refused for want of room (EINVAL, ENOSPC)", EINVAL, ENOSPC, false},
      {"the rename itself refused (EACCES)", EACCES, 0, false},
  };
  int minute = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QDateTime at(QDate(2026, 12, 9), QTime(10, ++minute, 0));
    const QString stem = DefaultBackupFolder() + BackupTimeStamp(at);
    // Another file at the final name: the backup takes the next one.
    QDir().mkpath(DefaultBackupFolder());
    ASSERT_TRUE(writeFile(stem + QStringLiteral(".bak"), "用户自己的文件"));
    responder_.clear();
    setNow(at);
    RefuseNoReplaceCallsForTests(c.renameErrno, c.linkErrno);
    QString failure, details;
    try {
      BackupOrRestoreDatabase(0, DefaultBackupFolder());
    } catch (const AppError& e) {
      failure = e.description;
      details = e.details;
    }
    RefuseNoReplaceCallsForTests(0, 0);
    EXPECT_EQ(gBackupOk, c.made);
    EXPECT_EQ(fileHash(stem + QStringLiteral(".bak")), QCryptographicHash::hash(QByteArray("用户自己的文件"), QCryptographicHash::Sha256));
    EXPECT_FALSE(NameTaken(stem + QStringLiteral("-2.bak.part")));
    if (c.made) {
      EXPECT_EQ(failure, QString());
      EXPECT_TRUE(IsSystemDatabaseFile(stem + QStringLiteral("-2.bak"), gDbPassword));
    } else {
      const int err = c.linkErrno ? c.linkErrno : c.renameErrno;
      EXPECT_EQ(failure, QStringLiteral("无法写入备份文件“%1-2.bak”。").arg(stem));
      EXPECT_TRUE(details.endsWith(QString::fromLocal8Bit(std::strerror(err)))) << details.toStdString();
      EXPECT_FALSE(NameTaken(stem + QStringLiteral("-2.bak")));
    }
  }
  // The fallback itself: a name taken is never replaced, whatever stands there.
  const QString from = dir_.path() + QStringLiteral("/新文件"), to = dir_.path() + QStringLiteral("/已有");
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    const PlantedName planted(kind, to, dir_.path());
    ASSERT_TRUE(MakeFreshFile(from, 0600));
    RefuseNoReplaceCallsForTests(EINVAL, EPERM);
    EXPECT_FALSE(RenameNoReplace(from, to));
    EXPECT_EQ(errno, EEXIST);
    RefuseNoReplaceCallsForTests(0, 0);
    EXPECT_TRUE(planted.stillPlanted());
    EXPECT_TRUE(planted.othersUntouched());
    EXPECT_TRUE(IsPlainFile(from));
    ::unlink(QFile::encodeName(to).constData());
  }
}
