// The database tool as the build runs it: an existing database keeps every row, and a newer schema
// only adds to it, after a copy of it is saved.
#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QProcess>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/DatabaseBuilder.h"
#include "platform/FileLock.h"
#include "platform/SafeFiles.h"

namespace {
QByteArray readAll(const QString& p) {
  QFile f(p);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray hashOf(const QString& path) { return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256); }

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QString kInUse = QStringLiteral("程序正在使用数据库，请先退出程序再升级。");
const QString kRewritten = QStringLiteral("rewritten in pages of 4096 bytes (was 1024)");

struct ToolRun {
  int exitCode = -1;
  QString out;
};

// The tool run with the arguments the build gives it (with `schema` in place of the schema source
// when given) on `target`; `env`: NAME=value settings added to its environment.
ToolRun runTool(const QStringList& target, const QString& schema = {}, const QStringList& env = {}) {
  QStringList args = QStringLiteral(VRN_DB_SOURCES).split(QLatin1Char('|'));
  if (!schema.isEmpty()) args[args.indexOf(QStringLiteral("--schema")) + 1] = schema;
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  for (const QString& setting : env) e.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
  p.setProcessEnvironment(e);
  p.start(QStringLiteral(VRN_DB_TOOL), args + target);
  ToolRun r;
  if (!p.waitForFinished(60000)) return r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
  return r;
}

// The build's run on the local database `file`.
ToolRun runOn(const QString& file, const QString& schema = {}, const QStringList& env = {}) {
  return runTool({QStringLiteral("--sqlite"), file}, schema, env);
}

// The run ended well (`ok`) or failed, and said each of `lines`.
::testing::AssertionResult endedSaying(const ToolRun& r, bool ok, const QStringList& lines) {
  if ((r.exitCode == 0) != ok) return ::testing::AssertionFailure() << "exit code " << r.exitCode << ": " << r.out.toStdString();
  for (const QString& l : lines)
    if (!r.out.contains(l)) return ::testing::AssertionFailure() << "no \"" << l.toStdString() << "\" in: " << r.out.toStdString();
  return ::testing::AssertionSuccess();
}
::testing::AssertionResult ranSaying(const ToolRun& r, const QStringList& lines = {}) { return endedSaying(r, true, lines); }
::testing::AssertionResult refused(const ToolRun& r, const QString& sentence) { return endedSaying(r, false, {sentence}); }

// The schema source with one more table, and one more column (with a default, an index, and an index
// of several columns that starts with an indexed one) in the customers' table.
QString writeNewerSchema(const QString& folder) {
  QString text = QString::fromUtf8(readAll(QStringLiteral(VRN_SOURCE_DIR "/db/schema.txt")));
  const QString customers = QStringLiteral("table PJ_Kehu\n");
  const int at = static_cast<int>(text.indexOf(customers));
  EXPECT_GE(at, 0);
  // After the key, which comes first.
  text.insert(static_cast<int>(text.indexOf(QLatin1Char('\n'), at + customers.size())) + 1, QStringLiteral("  信用等级    text default 'B'\n  index 信用等级\n  index 信用等级 with 编号\n"));
  text += QStringLiteral("\ntable PJ_Pingji\n  编号 key\n  等级 text\n  分数 int default 60\n  index 等级\n");
  const QString path = folder + QStringLiteral("/newer-schema.txt");
  EXPECT_TRUE(writeFile(path, text.toUtf8()));
  return path;
}

// A customer and a loan of that customer, the rows a user would lose.
void addCustomerAndLoan(Connection& c) {
  c.Execute(QStringLiteral("insert into PJ_Kehu (姓名, 家庭住址) values (?, ?)"), {QStringLiteral("王五"), QStringLiteral("No. 5 Renmin Rd.")});
  const qint64 id = c.lastInsertId();
  c.Execute(QStringLiteral("insert into PJ_Dkjl (单号, 客户ID, 客户名称, 本金) values (?, ?, ?, ?)"),
            {QStringLiteral("D00100012026120901"), id, QStringLiteral("王五"), 50000.0});
}

// The rows `sql` selects, each as its cells' text joined by `sep`.
QStringList rowsOf(Connection& c, const QString& sql, QLatin1Char sep = QLatin1Char('|')) {
  QStringList out;
  for (const auto& r : c.query(sql).rows) {
    QStringList cells;
    for (const QVariant& v : r) cells << VariantText(v);
    out << cells.join(sep);
  }
  return out;
}

// The user's rows, as text, to compare before and after.
QStringList userRows(Connection& c) {
  return rowsOf(c, QStringLiteral("select k.编号, k.姓名, k.家庭住址, d.单号, d.本金 from PJ_Kehu k join PJ_Dkjl d on d.客户ID = k.编号"));
}

int modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}
}  // namespace

class DatabaseToolTest : public ProgramTest {
 protected:
  // A customer and a loan in the local database, closed again; the user's rows.
  QStringList addUserRows() {
    addCustomerAndLoan(Db());
    const QStringList rows = userRows(Db());
    ResetConnections();
    return rows;
  }
  QStringList backups() const { return QDir(appDir() + QStringLiteral("Databackup")).entryList(QDir::Files | QDir::NoDotAndDotDot); }
  // Runs the tool again, as every later build does: it ends well, the file stays as it was and no
  // second copy is saved. What it said.
  QString runAgainUnchanged(const QString& schema = {}) {
    ResetConnections();
    const QByteArray was = hashOf(LocalDatabasePath());
    const ToolRun again = runOn(LocalDatabasePath(), schema);
    EXPECT_TRUE(ranSaying(again));
    EXPECT_EQ(hashOf(LocalDatabasePath()), was);
    EXPECT_EQ(backups().size(), 1);
    return again.out;
  }
};

TEST_F(DatabaseToolTest, TheBuildsCommandLeavesAnExistingDatabaseAsItIs) {
  const QStringList rows = addUserRows();
  ASSERT_EQ(rows.size(), 1);
  const QByteArray before = hashOf(LocalDatabasePath());
  ASSERT_TRUE(ranSaying(runOn(LocalDatabasePath())));
  EXPECT_EQ(hashOf(LocalDatabasePath()), before) << "a database with the whole schema is not touched";
  EXPECT_TRUE(backups().isEmpty()) << "nothing added, nothing to back up";
  EXPECT_EQ(userRows(Db()), rows);
  // Where there is no database, the build makes the shipped one, on a share without rename flags or
  // hard links too.
  for (const QStringList& env : {QStringList(), QStringList{QStringLiteral("LD_PRELOAD=" VRN_NO_NOREPLACE_SHARE)}}) {
    SCOPED_TRACE(env.join(QLatin1Char(' ')).toStdString());
    ResetConnections();
    ASSERT_TRUE(QFile::remove(LocalDatabasePath()));
    ASSERT_TRUE(ranSaying(runOn(LocalDatabasePath(), {}, env)));
    EXPECT_EQ(Db().scalar(QStringLiteral("select 登录账号 from PJ_Admin")).toString(), QStringLiteral("超级管理员"));
    EXPECT_TRUE(userRows(Db()).isEmpty());
    EXPECT_FALSE(QFile::exists(LocalDatabasePath() + QStringLiteral(".tmp")));
  }
}

TEST_F(DatabaseToolTest, AFileTheProgramHoldsIsCheckedButNeverChanged) {
  ResetConnections();
  const QString lock = LocalDatabasePath() + QStringLiteral(".lock");
  ASSERT_EQ(AcquireFileLock(lock), FileLockState::Held) << "this process stands for the running program";
  const QByteArray before = hashOf(LocalDatabasePath());
  // Nothing to add: the check needs no lock and the build goes on.
  EXPECT_TRUE(ranSaying(runOn(LocalDatabasePath())));
  const QString newer = writeNewerSchema(dir_.path());
  EXPECT_TRUE(refused(runOn(LocalDatabasePath(), newer), kInUse));
  EXPECT_EQ(hashOf(LocalDatabasePath()), before);
  EXPECT_TRUE(backups().isEmpty());
  // Once the program has ended the same upgrade goes through.
  ReleaseFileLock(lock);
  EXPECT_TRUE(ranSaying(runOn(LocalDatabasePath(), newer)));
  EXPECT_NE(hashOf(LocalDatabasePath()), before);
}

TEST_F(DatabaseToolTest, ANewerSchemaOnlyAddsAfterSavingACopy) {
  const QStringList rows = addUserRows();
  const QByteArray before = hashOf(LocalDatabasePath());
  const QString schema = writeNewerSchema(dir_.path());
  ASSERT_TRUE(ranSaying(runOn(LocalDatabasePath(), schema), {QStringLiteral("added table PJ_Pingji"), QStringLiteral("added column PJ_Kehu.信用等级"),
                                                             QStringLiteral("added index PJ_Kehu(信用等级)"), QStringLiteral("added index PJ_Kehu(信用等级,编号)")}));
  EXPECT_EQ(userRows(Db()), rows);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 信用等级 from PJ_Kehu where 姓名=?"), {QStringLiteral("王五")}).toString(), QStringLiteral("B"))
      << "the row already there gets the new column's default";
  Db().Execute(QStringLiteral("insert into PJ_Pingji (等级) values (?)"), {QStringLiteral("A")});
  EXPECT_EQ(Db().scalar(QStringLiteral("select 分数 from PJ_Pingji")).toInt(), 60);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from sqlite_master where type='index' "
                                       "and (sql like ? or sql like ? or sql like ?)"),
                               {QStringLiteral("%ON PJ_Kehu (信用等级)%"), QStringLiteral("%ON PJ_Kehu (信用等级,编号)%"),
                                QStringLiteral("%ON PJ_Pingji (等级)%")}).toInt(),
            3);
  // The copy saved first holds the database as it was, byte for byte.
  const QStringList saved = backups();
  ASSERT_EQ(saved.size(), 1);
  EXPECT_TRUE(saved[0].endsWith(QStringLiteral("_升级前.bak"))) << saved[0].toStdString();
  EXPECT_EQ(hashOf(appDir() + QStringLiteral("Databackup/") + saved[0]), before);
  // Run again: nothing more to add. The older schema, run against the upgraded file, drops nothing.
  const QString again = runAgainUnchanged(schema);
  EXPECT_FALSE(again.contains(QStringLiteral("added"))) << again.toStdString();
  runAgainUnchanged();
}

TEST_F(DatabaseToolTest, TheUpgradeCorrectsWhatTheOldRulesLeftOnce) {
  // As the old rules left them: plan and attachment rows of documents never saved, and rows settled
  // early with less interest than planned that still count the difference as owed.
  Connection& c = Db();
  c.Execute(QStringLiteral("insert into PJ_Dkjl (单号, 客户名称, 本金, 利息) values ('D1', ?, 10000, 450)"), {QStringLiteral("王五")});
  c.Execute(QStringLiteral("insert into PJ_Cjjl (单号, 客户名称, 本金, 利息) values ('F1', ?, 90000, 900)"), {QStringLiteral("王投资")});
  const struct {
    const char* doc;
    int period;
    double due, paid;
    const char* status;
  } loanRows[] = {{"D1", 1, 150, 60, "已还"},      // early: 90 not charged
                  {"D1", 2, 150, 149.996, "已还"},  // within half a cent
                  {"D1", 3, 150, 0, "未还"},        // still open: owed
                  {"GONE", 1, 10, 0, "未还"}};
  for (const auto& r : loanRows)
    c.Execute(QStringLiteral("insert into PJ_Hdjh (单号, 还贷期次, 应还利息, 已还利息, 归还状态) values (?, ?, ?, ?, ?)"),
              {QString::fromUtf8(r.doc), r.period, r.due, r.paid, QString::fromUtf8(r.status)});
  c.Execute(QStringLiteral("insert into PJ_Cjzfjh (单号, 支付期次, 应付利息, 已付利息, 结算状态) values ('F1', 1, 300, 100, ?)"), {QStringLiteral("已付")});
  c.Execute(QStringLiteral("insert into PJ_Cjzfjh (单号, 支付期次, 应付利息, 已付利息, 结算状态) values ('GONE', 1, 5, 0, ?)"), {QStringLiteral("未付")});
  // Principal returned early while its interest ran on: 100000 at 0.05 %/day to 04-30, 60000 back
  // on 03-21. Row 1 still plans the whole 3000; row 2 had it taken off by its save; row 3 was paid
  // on its due date; row 4 (首尾计息, 3050) had 40000 back before its period began.
  c.Execute(QStringLiteral("insert into PJ_Cjjl (单号, 客户名称, 本金, 利率, 利率类别, 利息) values ('F2', ?, 400000, 0.05, ?, 10850)"), {QStringLiteral("王投资"), QStringLiteral("日")});
  const struct {
    int period;
    double planned, taken;
    const char* paidOn;
    double paid, paidInterest;
  } returned[] = {{1, 3000, 0, "2024-03-21", 60000, 1000},
                  {2, 1800, 1200, "2024-03-21", 60000, 1000},
                  {3, 3000, 0, "2024-04-30", 60000, 1000},
                  {4, 3050, 0, "2024-02-20", 40000, 0}};
  for (const auto& r : returned)
    c.Execute(QStringLiteral("insert into PJ_Cjzfjh (单号, 支付期次, 拆借本金, 应付本金, 应付利息, 已付本金, 已付利息, 结算状态, 开始日期, "
                             "约定支付日期, 支付日期, 提前支取减息) values ('F2', ?, 100000, 100000, ?, ?, ?, ?, '2024-03-01', "
                             "'2024-04-30', ?, ?)"),
              {r.period, r.planned, r.paid, r.paidInterest, QStringLiteral("支付部分"), QString::fromLatin1(r.paidOn), r.taken});
  for (const char* doc : {"D1", "F1", "GONE"})
    c.Execute(QStringLiteral("insert into PJ_DkFj (单号, 附件名称) values (?, 'a.jpg')"), {QString::fromUtf8(doc)});
  ResetConnections();
  const ToolRun r = runOn(LocalDatabasePath());
  ASSERT_TRUE(ranSaying(r, {QStringLiteral("removed 1 row(s) of PJ_Hdjh without a document: GONE"),
                            QStringLiteral("removed 1 row(s) of PJ_Cjzfjh without a document: GONE"),
                            QStringLiteral("removed 1 row(s) of PJ_DkFj without a document: GONE"),
                            QStringLiteral("planned interest lowered to the paid on PJ_Hdjh: D1 1 90.00"),
                            QStringLiteral("planned interest lowered to the paid on PJ_Cjzfjh: F1 1 200.00"),
                            QStringLiteral("planned interest lowered for principal returned early on PJ_Cjzfjh: F2 1 3000.00 -> 1800.00"),
                            QStringLiteral("planned interest lowered for principal returned early on PJ_Cjzfjh: F2 4 3050.00 -> 1830.00")}));
  EXPECT_EQ(r.out.count(QStringLiteral("lowered")), 4) << r.out.toStdString();
  EXPECT_EQ(backups().size(), 1) << "a copy first";
  Connection& after = Db();
  EXPECT_EQ(after.scalar(QStringLiteral("select count(*) from PJ_Hdjh where 单号='GONE'")).toInt(), 0);
  EXPECT_EQ(after.scalar(QStringLiteral("select count(*) from PJ_DkFj")).toInt(), 2);
  EXPECT_EQ(rowsOf(after, QStringLiteral("select 应还利息 from PJ_Hdjh order by 还贷期次")), (QStringList{"60", "150", "150"}));
  EXPECT_DOUBLE_EQ(VariantNumber(after.scalar(QStringLiteral("select 利息 from PJ_Dkjl"))), 360);
  EXPECT_DOUBLE_EQ(VariantNumber(after.scalar(QStringLiteral("select 应付利息 from PJ_Cjzfjh where 单号='F1'"))), 100);
  EXPECT_DOUBLE_EQ(VariantNumber(after.scalar(QStringLiteral("select 利息 from PJ_Cjjl where 单号='F1'"))), 700);
  EXPECT_EQ(rowsOf(after, QStringLiteral("select 应付利息,提前支取减息 from PJ_Cjzfjh where 单号='F2' order by 支付期次"), QLatin1Char('/')),
            (QStringList{"1800/1200", "1800/1200", "3000/0", "1830/1220"}));
  EXPECT_DOUBLE_EQ(VariantNumber(after.scalar(QStringLiteral("select 利息 from PJ_Cjjl where 单号='F2'"))), 8430);
  EXPECT_EQ(runAgainUnchanged().trimmed(), QString()) << "a second run finds nothing more";
}

TEST_F(DatabaseToolTest, AFileOfEarlierVersionsPagesOpensAndTheUpgradeRewritesItWithEveryRow) {
  const QStringList rows = addUserRows();
  const QString file = LocalDatabasePath();
  // The user's rows, in the pages earlier versions wrote, readable by the group of a shared folder.
  WriteOldPageCopy(file, file + QStringLiteral(".old"), gDbPassword);
  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QFile::rename(file + QStringLiteral(".old"), file));
  ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0664), 0);
  ASSERT_EQ(FilePageSize(file, gDbPassword), 1024);
  EXPECT_EQ(userRows(Db()), rows) << "the program reads a file of 1024-byte pages";
  ResetConnections();
  const QByteArray before = hashOf(file);
  // Every table's row count.
  const auto tableCounts = [&file] {
    Connection c(MakeSqlCipherBackend(file, gDbPassword), SqlDialect{DialectKind::Sqlite});
    QMap<QString, qint64> counts;
    for (const auto& t : c.query(QStringLiteral("select name from sqlite_master where type='table'")).rows)
      counts[t[0].toString()] = c.scalar(QStringLiteral("select count(*) from \"%1\"").arg(t[0].toString())).toLongLong();
    return counts;
  };
  const QMap<QString, qint64> countsBefore = tableCounts();
  // What a killed run left is never taken for the result.
  ASSERT_TRUE(writeFile(file + QStringLiteral(".convert"), "half a file"));
  // While the program holds the file, nothing is converted and the build is told why.
  const QString lock = file + QStringLiteral(".lock");
  ASSERT_EQ(AcquireFileLock(lock), FileLockState::Held);
  EXPECT_TRUE(refused(runOn(file), kInUse));
  EXPECT_EQ(hashOf(file), before);
  EXPECT_TRUE(backups().isEmpty());
  ReleaseFileLock(lock);
  ASSERT_TRUE(ranSaying(runOn(file), {kRewritten}));
  EXPECT_EQ(FilePageSize(file, gDbPassword), 4096);
  EXPECT_FALSE(QFile::exists(file + QStringLiteral(".convert")));
  EXPECT_EQ(modeOf(file), 0664) << "the file keeps its permission bits";
  const QStringList saved = backups();
  ASSERT_EQ(saved.size(), 1);
  EXPECT_EQ(hashOf(appDir() + QStringLiteral("Databackup/") + saved[0]), before) << "the copy is the old file byte for byte";
  EXPECT_EQ(userRows(Db()), rows);
  EXPECT_EQ(Db().scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
  ResetConnections();
  EXPECT_EQ(tableCounts(), countsBefore);
  EXPECT_EQ(runAgainUnchanged().trimmed(), QString()) << "converted once: the next build finds nothing to do";
}

// Another account that may write data/ plants something at the conversion's work file and its
// journal: the conversion makes its own files there and the database stays a regular file. At the
// lock's name it is nobody's lock, and at the database's side files nothing SQLite may use: the tool
// refuses and changes nothing.
TEST_F(DatabaseToolTest, WhatIsPlantedAtTheConversionsWorkFileIsNeverFollowed) {
  const QStringList rows = addUserRows();
  const QString file = LocalDatabasePath();
  const QString fresh = file + QStringLiteral(".new");
  ASSERT_TRUE(QFile::copy(file, fresh));
  struct Case {
    QStringList names;                     // planted beside the database
    std::function<QString(Plant)> refusal;  // "" when the conversion goes through
  };
  const QString lock = file + QStringLiteral(".lock");
  const QString secondName = QStringLiteral("数据库锁文件有多个硬链接，为安全起见没有使用。请先退出所有使用该数据库的程序，再删除它后重试：");
  const QString notPlain = QStringLiteral("数据库锁文件不是普通文件，为安全起见没有使用，请删除它后重试：");
  const auto unsafe = [&](const char* side) {
    return [side, &file](Plant) { return DbFailure::unsafeSideFile(file + QLatin1String(side)); };
  };
  const Case cases[] = {
      {{QStringLiteral(".convert"), QStringLiteral(".convert-journal")}, [](Plant) { return QString(); }},
      {{QStringLiteral(".lock")}, [&](Plant kind) { return (kind == Plant::HardLink ? secondName : notPlain) + lock; }},
      // Judged before SQLite opens the file: nothing is rolled back from, or written through, them.
      {{QStringLiteral("-journal")}, unsafe("-journal")},
      {{QStringLiteral("-wal"), QStringLiteral("-shm")}, unsafe("-wal")},
      {{QStringLiteral("-shm")}, unsafe("-shm")},
  };
  for (const Case& c : cases)
    for (Plant kind : kEveryPlant) {
      SCOPED_TRACE(c.names.join(QLatin1Char(' ')).toStdString() + ", " + PlantText(kind));
      ResetConnections();
      WriteOldPageCopy(fresh, file, gDbPassword);
      const QByteArray before = hashOf(file);
      std::vector<PlantedName> planted;
      for (const QString& name : c.names) planted.emplace_back(kind, file + name, dir_.path());
      const ToolRun r = runOn(file);
      const QString refusal = c.refusal(kind);
      EXPECT_TRUE(refusal.isEmpty() ? ranSaying(r, {kRewritten}) : refused(r, refusal));
      if (!refusal.isEmpty()) EXPECT_EQ(hashOf(file), before);
      for (const PlantedName& p : planted) {
        EXPECT_TRUE(p.othersUntouched());
        if (!refusal.isEmpty()) EXPECT_TRUE(p.stillPlanted()) << p.path.toStdString();
      }
      for (const QString& name : c.names) ::unlink(QFile::encodeName(file + name).constData());
      EXPECT_TRUE(IsPlainFile(file));
      EXPECT_EQ(FilePageSize(file, gDbPassword), refusal.isEmpty() ? 4096 : 1024);
      EXPECT_EQ(userRows(Db()), rows);
    }
}

TEST_F(DatabaseToolTest, AnOdbcDatabaseIsUpgradedInPlace) {
  const QString file = appDir() + QStringLiteral("data/server.db");
  const QString cs = QStringLiteral("DRIVER=SQLite3;Database=") + file;
  {
    Connection c(MakeOdbcBackend(cs, false), SqlDialect{DialectKind::Sqlite});
    BuildDatabase(c, LoadSchemaFile(QStringLiteral(VRN_SOURCE_DIR "/db/schema.txt")), readAll(QStringLiteral(VRN_SOURCE_DIR "/db/seed.json")), BuildOptions{false});
    addCustomerAndLoan(c);
  }
  const QStringList odbcArgs = {QStringLiteral("--odbc"), cs, QStringLiteral("--dialect"), QStringLiteral("sqlite"), QStringLiteral("--upgrade")};
  const ToolRun r = runTool(odbcArgs, writeNewerSchema(dir_.path()));
  ASSERT_TRUE(ranSaying(r, {QStringLiteral("added column PJ_Kehu.信用等级"), QStringLiteral("added index PJ_Kehu(信用等级,编号)")}));
  EXPECT_FALSE(r.out.contains(QStringLiteral("PJ_Sys"))) << "the local settings table stays out of a server database";
  Connection c(MakeOdbcBackend(cs, false), SqlDialect{DialectKind::Sqlite});
  ASSERT_EQ(userRows(c).size(), 1);
  EXPECT_TRUE(userRows(c)[0].startsWith(QStringLiteral("1|王五|No. 5 Renmin Rd.|D00100012026120901|50000")));
  EXPECT_EQ(c.scalar(QStringLiteral("select 信用等级 from PJ_Kehu")).toString(), QStringLiteral("B"));
  EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from PJ_Pingji")).toInt(), 0);
  EXPECT_EQ(c.scalar(QStringLiteral("select count(*) from sqlite_master where name='PJ_Sys'")).toInt(), 0);
  c.close();
  const ToolRun again = runTool(odbcArgs, writeNewerSchema(dir_.path()));
  ASSERT_TRUE(ranSaying(again));
  EXPECT_FALSE(again.out.contains(QStringLiteral("added"))) << again.out.toStdString();
}

TEST(AddColumnDdl, ExistingRowsGetTheDefaultOnBothEngines) {
  const SchemaTable t{QStringLiteral("T"), {}, {}, {}};
  struct Case {
    SchemaColumn column;
    QString sqlite, server;
  };
  const Case cases[] = {
      {{QStringLiteral("等级"), QStringLiteral("text"), 10, QStringLiteral("'B'"), false}, QStringLiteral("ALTER TABLE T ADD COLUMN 等级 TEXT DEFAULT 'B'"),
       QStringLiteral("ALTER TABLE T ADD 等级 nvarchar(10) COLLATE Chinese_PRC_CI_AS DEFAULT N'B' WITH VALUES")},
      {{QStringLiteral("次数"), QStringLiteral("int"), 0, QStringLiteral("0"), true}, QStringLiteral("ALTER TABLE T ADD COLUMN 次数 INTEGER DEFAULT 0 NOT NULL"),
       QStringLiteral("ALTER TABLE T ADD 次数 int DEFAULT 0 NOT NULL")},
      // SQLite cannot stamp rows already there; the server can.
      {{QStringLiteral("日期"), QStringLiteral("stamp"), 0, QStringLiteral("now"), false}, QStringLiteral("ALTER TABLE T ADD COLUMN 日期 TEXT"),
       QStringLiteral("ALTER TABLE T ADD 日期 datetime2(0) DEFAULT SYSDATETIME() WITH VALUES")},
      // "not null" without a default cannot be added to a table with rows.
      {{QStringLiteral("名称"), QStringLiteral("text"), 0, QString(), true}, QStringLiteral("ALTER TABLE T ADD COLUMN 名称 TEXT"),
       QStringLiteral("ALTER TABLE T ADD 名称 nvarchar(255) COLLATE Chinese_PRC_CI_AS")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AddColumnDdl(t, c.column, SqlDialect{DialectKind::Sqlite}), c.sqlite);
    EXPECT_EQ(AddColumnDdl(t, c.column, SqlDialect{DialectKind::SqlServer}), c.server);
  }
}

TEST(IndexDdl, CarriedColumnsStayOutOfTheServerKey) {
  struct Case {
    const char* line;
    QString sqlite, server;  // empty: the line is refused
  };
  const Case cases[] = {
      {"index 甲", QStringLiteral("CREATE INDEX IX_T_1 ON T (甲)"), QStringLiteral("CREATE INDEX IX_T_1 ON T (甲)")},
      {"index 甲,乙", QStringLiteral("CREATE INDEX IX_T_1 ON T (甲,乙)"), QStringLiteral("CREATE INDEX IX_T_1 ON T (甲,乙)")},
      {"index 甲 with 乙,丙", QStringLiteral("CREATE INDEX IX_T_1 ON T (甲,乙,丙)"), QStringLiteral("CREATE INDEX IX_T_1 ON T (甲) INCLUDE (乙,丙)")},
      {"unique 甲 with 乙", QStringLiteral("CREATE UNIQUE INDEX UX_T_1 ON T (甲,乙)"), QStringLiteral("CREATE UNIQUE INDEX UX_T_1 ON T (甲) INCLUDE (乙)")},
      {"index 甲,丁", {}, {}},
      {"index 甲 with 丁", {}, {}},
      {"index 甲 乙", {}, {}},
      {"index 甲 and 乙", {}, {}},
  };
  for (const Case& c : cases) {
    const QString text = QStringLiteral("table T\n  编号 key\n  甲 text\n  乙 int\n  丙 money\n  ") + QString::fromUtf8(c.line) + QLatin1Char('\n');
    if (c.sqlite.isEmpty()) {
      EXPECT_THROW(ParseSchema(text), AppError) << c.line;
      continue;
    }
    const Schema s = ParseSchema(text);
    ASSERT_EQ(s.tables.size(), 1u);
    EXPECT_EQ(TableDdl(s.tables[0], SqlDialect{DialectKind::Sqlite}).value(1), c.sqlite) << c.line;
    EXPECT_EQ(TableDdl(s.tables[0], SqlDialect{DialectKind::SqlServer}).value(1), c.server) << c.line;
  }
}

// The database behind a link, or a chain of two, of the folder's owner: the tool converts the real
// file of 1024-byte pages in place and the links stay links; its copy lands in the program folder's
// Databackup/; a program holding either lock keeps it out. A link of another account is refused and
// nothing is made or removed beside its target.
TEST_F(DatabaseToolTest, ADatabaseBehindLinksIsConvertedByItsRealFileOnlyWhenTheLinksMayBeFollowed) {
  const QStringList rows = addUserRows();
  const QString file = LocalDatabasePath();
  const QString fresh = dir_.path() + QStringLiteral("/fresh.pbb");
  ASSERT_TRUE(QFile::copy(file, fresh));
  ASSERT_TRUE(QFile::remove(file));
  struct Case {
    const char* name;
    QStringList via;
    bool byAnotherAccount;  // the last link of the chain
    QString refusal;        // "" when the tool converts
  };
  const QString current = appDir() + QStringLiteral("data/current.pbb");
  const QString foreign = QStringLiteral("数据库文件是其他系统账户建立的链接，为安全起见没有使用，请让管理员检查：");
  const Case cases[] = {
      {"one link", {}, false, {}},
      {"a chain of two", {current}, false, {}},
      {"a link of another account", {}, true, foreign + file},
      {"a chain whose second link is another account's", {current}, true, foreign + current},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.byAnotherAccount && CannotLinkAsAnotherAccount(c.name)) continue;
    const QString realFolder = dir_.path() + QStringLiteral("/别处/另一磁盘%1").arg(++n);
    const QString real = realFolder + QStringLiteral("/real-2026.pbb");
    QDir().mkpath(realFolder);
    WriteOldPageCopy(fresh, file, gDbPassword);
    ASSERT_TRUE(LinkDatabase(file, c.via, real, c.byAnotherAccount));
    // The file of another account of the business's group, where this test may give it one.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? 65534 : ::getegid();
    ASSERT_EQ(::chown(QFile::encodeName(real).constData(), owner, group), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QByteArray before = hashOf(real);
    const QStringList links = QStringList{file} + c.via;
    const QStringList lockFiles = {file + QStringLiteral(".lock"), real + QStringLiteral(".lock")};
    if (c.refusal.isEmpty()) {
      // A program holding either lock keeps the tool out: an earlier version's beside the name too.
      for (const QString& lock : lockFiles) {
        ASSERT_EQ(AcquireFileLock(lock), FileLockState::Held);
        EXPECT_TRUE(refused(runOn(file), kInUse));
        EXPECT_EQ(hashOf(real), before);
        ReleaseFileLock(lock);
      }
    }
    // Beside the target: what a killed run could have left there, and what the tool must not make.
    ASSERT_TRUE(writeFile(real + QStringLiteral(".convert"), "half a file"));
    const QStringList targetBefore = FolderState(realFolder);
    const QStringList backupsBefore = backups();
    const ToolRun r = runOn(file);
    for (const QString& l : links) EXPECT_TRUE(IsLink(l)) << l.toStdString();
    if (c.refusal.isEmpty()) {
      ASSERT_TRUE(ranSaying(r, {kRewritten}));
      EXPECT_EQ(FilePageSize(real, gDbPassword), 4096);
      EXPECT_FALSE(NameTaken(real + QStringLiteral(".convert")));
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0640u) << "the converted file keeps its bits";
      EXPECT_EQ(st.st_uid, owner) << "and its owner";
      EXPECT_EQ(st.st_gid, group) << "and its group";
      for (const QString& lock : lockFiles) EXPECT_TRUE(IsPlainFile(lock)) << lock.toStdString();
      QStringList copies = backups();
      for (const QString& old : backupsBefore) copies.removeAll(old);
      ASSERT_EQ(copies.size(), 1);
      const QString copy = copies.first();
      // Two cases within one second share the stamp: the second copy takes the next name.
      EXPECT_TRUE(QRegularExpression(QStringLiteral("_升级前(-[1-9][0-9]*)?\\.bak$")).match(copy).hasMatch()) << copy.toStdString();
      EXPECT_EQ(hashOf(appDir() + QStringLiteral("Databackup/") + copy), before) << "the copy is the old real file byte for byte";
      EXPECT_FALSE(QDir(dir_.path() + QStringLiteral("/别处/Databackup")).exists()) << "no backup folder found from the real path";
      ASSERT_EQ(ResolveLocalDatabase(), QString()) << "as a start resolves it";
      EXPECT_EQ(userRows(Db()), rows) << "the program reads the converted file through the links";
      ResetConnections();
    } else {
      EXPECT_TRUE(refused(r, c.refusal));
      EXPECT_EQ(FolderState(realFolder), targetBefore) << "nothing made or removed beside the target, no lock there";
      EXPECT_EQ(backups(), backupsBefore);
    }
    for (const QString& l : links) ::unlink(QFile::encodeName(l).constData());
  }
}
