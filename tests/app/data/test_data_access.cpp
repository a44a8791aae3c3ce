// The local database file, the shared query variables and the SQL fragments of both storage modes.
#include <QDateEdit>
#include <QFile>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <functional>

#include "TestSupport.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/BookStart.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "platform/Clock.h"

using DataAccessTest = ProgramTest;

namespace {
// Saves customers of these names as one document.
void saveCustomers(const QStringList& names) {
  Transaction t;
  for (const QString& name : names) Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {name});
  t.Commit();
}
}  // namespace

TEST_F(DataAccessTest, ShippedFileIsEncryptedAndOpensOnlyWithTheKey) {
  QFile f(LocalDatabasePath());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_FALSE(f.read(16).startsWith("SQLite format 3")) << "the file must not be plain SQLite";
  for (const QString& key : {QString(), QStringLiteral("kt83025716493")})
    EXPECT_THROW(MakeSqlCipherBackend(LocalDatabasePath(), key)->open(), AppError) << "key " << key.toStdString();
  Connection good(MakeSqlCipherBackend(LocalDatabasePath(), PBclass().mySys(1).toString()), SqlDialect{});
  EXPECT_EQ(good.scalar(QStringLiteral("select 登录账号 from PJ_Admin where 账号属性=3")).toString(), QStringLiteral("超级管理员"));
}

TEST_F(DataAccessTest, ShippedFileHoldsEveryTableAndTheSeedRows) {
  const QStringList tables = {"PJ_Sys", "PJ_Jq", "PJ_Admin", "PJ_Zxlb", "PJ_Zaxiang", "PJ_Kehu", "PJ_Kehu_Gs", "PJ_Gd",
                              "PJ_Yhzh", "PJ_Sjdrtem", "PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_Dxck", "PJ_DkFj", "PJ_Cjjl",
                              "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui", "PJ_Duanxin", "PJ_TjZjrb"};
  for (const QString& t : tables)
    EXPECT_EQ(Db(0).scalar(QStringLiteral("select count(*) from sqlite_master where type='table' and name=?"), {t}).toInt(), 1) << t.toStdString();
  EXPECT_EQ(Db(0).scalar(QStringLiteral("select count(*) from sqlite_master where name='PJ_Sqltemp'")).toInt(), 0);
  OpenMainQuery(QStringLiteral("select * from PJ_Admin where 登录账号=?"), {QStringLiteral("超级管理员")});
  ASSERT_FALSE(gMainRecordset.Eof());
  EXPECT_EQ(gMainRecordset.text("姓名"), QStringLiteral("管理员"));
  EXPECT_EQ(gMainRecordset.text("登录密码"), PBclass().Base64Encode(QStringLiteral("6173")));
  EXPECT_EQ(gMainRecordset.integer("账号属性"), 3);
  EXPECT_EQ(gMainRecordset.text("模块权限").split(',').size(), 26);
  CloseRecordset(gMainRecordset);
  OpenMainQuery(QStringLiteral("select 名称 from PJ_Zaxiang where 类别=5 order by 排序"));
  EXPECT_EQ(gMainRecordset.RecordCount(), 26);
  EXPECT_EQ(gMainRecordset.text(0), QStringLiteral("系统设置"));
  gMainRecordset.MoveLast();
  EXPECT_EQ(gMainRecordset.text(0), QStringLiteral("数据恢复"));
  CloseRecordset(gMainRecordset);
  OpenMainQuery(QStringLiteral("select * from PJ_Jq where 机器ID=1"));
  EXPECT_EQ(gMainRecordset.text("建账日期"), QStringLiteral("No"));
  EXPECT_EQ(gMainRecordset.text("参数").split(',').size(), 94);
  CloseRecordset(gMainRecordset);
}

TEST_F(DataAccessTest, RecordsetAddsChangesAndDeletesByKeyWithChineseNamesAndQuotes) {
  const QString tricky = QStringLiteral("王'小\"明 100%_x");
  OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 编号=0"));
  ASSERT_TRUE(gMainRecordset.Eof());
  gMainRecordset.AddNew();
  gMainRecordset.setValue("姓名", tricky);
  gMainRecordset.setValue("生日", QStringLiteral("1980-02-29"));
  gMainRecordset.Update();
  const qint64 first = gMainRecordset.integer("编号");
  EXPECT_GT(first, 0);
  gMainRecordset.AddNew();
  gMainRecordset.setValue("姓名", QStringLiteral("张三"));
  gMainRecordset.Update();
  const qint64 second = gMainRecordset.integer("编号");
  EXPECT_EQ(second, first + 1);
  CloseRecordset(gMainRecordset);
  // Found literally: "%" and "_" in the search text match only themselves.
  const SqlDialect& d = CurrentDialect();
  OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 姓名 like ?") + d.likeEscape(), {d.likeContains(QStringLiteral("100%_"))});
  ASSERT_EQ(gMainRecordset.RecordCount(), 1);
  EXPECT_EQ(gMainRecordset.text("姓名"), tricky);
  EXPECT_EQ(gMainRecordset.text("生日"), QStringLiteral("1980-02-29"));
  CloseRecordset(gMainRecordset);
  OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 姓名 like ?") + d.likeEscape(), {d.likeContains(QStringLiteral("%"))});
  EXPECT_EQ(gMainRecordset.RecordCount(), 1) << "a bare % must not match every row";
  CloseRecordset(gMainRecordset);
  // Changing a row writes that row only.
  auto key = BuildSelectByKeySql(QStringLiteral("PJ_Kehu"), second);
  OpenMainQuery(key.sql, key.params);
  gMainRecordset.setValue("手机", QStringLiteral("13800000000"));
  gMainRecordset.Update();
  CloseRecordset(gMainRecordset);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu where 手机='13800000000'")).toInt(), 1);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 手机 from PJ_Kehu where 编号=?"), {second}).toString(), QStringLiteral("13800000000"));
  OpenMainQuery(QStringLiteral("select * from PJ_Kehu order by 编号"));
  gMainRecordset.Delete();
  EXPECT_EQ(gMainRecordset.integer("编号"), second) << "after a delete the recordset stands on the next row";
  CloseRecordset(gMainRecordset);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 1);
}

TEST_F(DataAccessTest, RecordsetRefusesWhatItCannotDo) {
  OpenMainQuery(QStringLiteral("select count(*) as n from PJ_Kehu"));
  EXPECT_FALSE(gMainRecordset.editable());
  EXPECT_THROW(gMainRecordset.AddNew(), AppError);
  CloseRecordset(gMainRecordset);
  OpenMainQuery(QStringLiteral("select a.姓名, a.编号 from PJ_Kehu a, PJ_Gd b where a.编号=b.编号"));
  EXPECT_FALSE(gMainRecordset.editable());
  CloseRecordset(gMainRecordset);
  OpenMainQuery(QStringLiteral("select * from PJ_Kehu"));
  ASSERT_TRUE(gMainRecordset.Eof());
  try {
    gMainRecordset.text("姓名");
    FAIL() << "reading a field at EOF must fail";
  } catch (const AppError& e) {
    EXPECT_EQ(e.number, Err::NoCurrentRecord);
  }
  EXPECT_THROW(gMainRecordset.value("没有这个字段"), AppError);
  CloseRecordset(gMainRecordset);
  EXPECT_TRUE(gMainRecordset.isNothing());
}

TEST_F(DataAccessTest, ClosingARecordsetTwiceIsReportedNotACrash) {
  Recordset never;
  CloseRecordset(never);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("关闭数据合集程序出现异常！")));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
}

TEST_F(DataAccessTest, AFailedSaveLeavesNothingWritten) {
  const int before = Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toInt();
  bool ok = Guarded(QString(), nullptr, [] {
    Transaction t;
    Db().Execute(QStringLiteral("insert into PJ_Liushui (单号, 金额, 摘要, 方向) values (?,?,?,?)"),
                 {QStringLiteral("D00100012024010100１"), 100.0, QStringLiteral("贷款本金支出"), QStringLiteral("支出")});
    OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 编号=0"));
    gMainRecordset.AddNew();
    gMainRecordset.setValue("姓名", QStringLiteral("半截"));
    gMainRecordset.Update();
    Db().Execute(QStringLiteral("insert into PJ_Liushui (没有的列) values (1)"));
    t.Commit();
  });
  EXPECT_FALSE(ok);
  ASSERT_EQ(responder_.messages.size(), 1u) << "the failure is reported once, not asked as a connection question";
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("程序出现异常！")));
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toInt(), before);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 0);
  EXPECT_FALSE(Db().inTransaction());
  saveCustomers({QStringLiteral("整单")});
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 1);
}

TEST_F(DataAccessTest, AMissingDatabaseAsksAndNoLeavesTheRecordsetClosed) {
  ResetConnections();
  QFile::remove(LocalDatabasePath());
  responder_.answer(Mb::No);
  OpenMainQuery(QStringLiteral("select * from PJ_Admin"));
  ASSERT_EQ(responder_.messages.size(), 1u);
  const MessageRequest& q = responder_.messages[0];
  EXPECT_TRUE(q.text.startsWith(QStringLiteral("连接数据库出现错误！\r\n")));
  EXPECT_TRUE(q.text.endsWith(QStringLiteral("\r\n现在退出程序吗？")));
  // The sentence alone: the error number stays in the details.
  EXPECT_EQ(q.text, QStringLiteral("连接数据库出现错误！\r\n找不到数据库文件“%1”。\r\n现在退出程序吗？").arg(LocalDatabasePath()));
  EXPECT_EQ(q.details, DbFailure::details(Err::Database, LocalDatabasePath() + QStringLiteral("：No such file or directory")));
  EXPECT_EQ(q.style, Mb::YesNo + Mb::Question);
  EXPECT_EQ(ended_.calls, 0);
  EXPECT_TRUE(gMainRecordset.isNothing());
  EXPECT_THROW(gMainRecordset.Eof(), AppError);
  responder_.answer(Mb::Yes);
  EXPECT_THROW(OpenMainQuery(QStringLiteral("select * from PJ_Admin")), ProgramEnded);
  EXPECT_EQ(ended_.calls, 1);
}

TEST_F(DataAccessTest, AFileWithTheWrongKeyAsksTheSameQuestion) {
  ResetConnections();
  gDbPassword = QStringLiteral("wrong");
  OpenMainQuery(QStringLiteral("select * from PJ_Admin"));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("连接数据库出现错误！")));
  EXPECT_TRUE(gMainRecordset.isNothing());
}

TEST_F(DataAccessTest, SqlDateWritesTheRangeOfBothModesWithItsBlanks) {
  gDatabaseType = 0;
  EXPECT_EQ(sqlDate("日期", "2024-01-01", "2024-01-31"), QStringLiteral("日期 >= '2024-01-01' and  日期  < '2024-02-01' "));
  EXPECT_EQ(sqlDate("日期", "", "2024-01-31"), QStringLiteral("日期  <= '2024-01-31' "));
  EXPECT_EQ(sqlDate("日期", "2024-01-01", ""), QStringLiteral("日期 >= '2024-01-01' "));
  EXPECT_EQ(sqlDate("日期", "2023-12-01", "2023-12-31"), QStringLiteral("日期 >= '2023-12-01' and  日期  < '2024-01-01' "));
  EXPECT_EQ(sqlDate("日期", "2024-02-01", "2024-02-28"), QStringLiteral("日期 >= '2024-02-01' and  日期  < '2024-02-29' "));
  EXPECT_EQ(sqlDate("日期", "2024-02-01", "2024-02-29"), QStringLiteral("日期 >= '2024-02-01' and  日期  < '2024-03-01' "));
  gDatabaseType = 1;
  EXPECT_EQ(sqlDate("日期", "2024-01-01", "2024-01-31"), QStringLiteral("日期 >= '2024-01-01' and  日期  < '2024-02-01' "));
  gDatabaseType = 0;
  // A text that is no date never reaches the SQL.
  EXPECT_EQ(sqlDate("日期", "2024-01-01' or 1=1 --", ""), QString());
  EXPECT_TRUE(responder_.messages.back().text.startsWith(QStringLiteral("函数sqlDate程序出现异常！")));
}

TEST_F(DataAccessTest, SumColumnSqlPerModeAndItsValues) {
  gDatabaseType = 0;
  EXPECT_EQ(SumColumnSql("金额", "合计"), QStringLiteral(" ifnull(round(sum(金额),2),0) as 合计 "));
  gDatabaseType = 1;
  EXPECT_EQ(SumColumnSql("金额", "合计"), QStringLiteral(" isnull(round(sum(金额),2),0) as 合计 "));
  gDatabaseType = 0;
  auto sum = [] {
    OpenMainQuery(QStringLiteral("select") + SumColumnSql("金额", "合计") + QStringLiteral("from PJ_Liushui"));
    double v = gMainRecordset.number("合计");
    CloseRecordset(gMainRecordset);
    return v;
  };
  EXPECT_EQ(sum(), 0.0);
  for (double v : {0.1, 0.1, 0.1}) Db().Execute(QStringLiteral("insert into PJ_Liushui (金额) values (?)"), {v});
  EXPECT_DOUBLE_EQ(sum(), 0.3);
  Db().Execute(QStringLiteral("delete from PJ_Liushui"));
  Db().Execute(QStringLiteral("insert into PJ_Liushui (金额) values (?)"), {12345678.90});
  EXPECT_DOUBLE_EQ(sum(), 12345678.90);
}

TEST_F(DataAccessTest, BuildSelectByKeySqlForms) {
  const auto form = [](const auto& select) { return std::pair(select.sql, select.params); };
  EXPECT_EQ(form(BuildSelectByKeySql("PJ_Admin", 0)), std::pair(QStringLiteral("select * from PJ_Admin"), QVariantList()));
  EXPECT_EQ(form(BuildSelectByKeySql("PJ_Admin", 5)), std::pair(QStringLiteral("select * from PJ_Admin where 编号=?"), QVariantList{5}));
  EXPECT_EQ(form(BuildSelectByKeySql("PJ_Dkjl", QStringLiteral("D'1"), "单号", 1)),
            std::pair(QStringLiteral("select * from PJ_Dkjl where 单号=?"), QVariantList{QStringLiteral("D'1")}));
}

TEST_F(DataAccessTest, SqlContQuotesEachValueAndGivesZeroForNoRows) {
  EXPECT_EQ(sqlCont("select 姓名 from PJ_Kehu", 0), QStringLiteral("'0'"));
  CloseRecordset(gMainRecordset);
  Db().Execute("insert into PJ_Kehu (姓名) values (?)", {QStringLiteral("a")});
  Db().Execute("insert into PJ_Kehu (姓名) values (?)", {QStringLiteral("O'b")});
  EXPECT_EQ(sqlCont("select 姓名 from PJ_Kehu order by 编号", 0), QStringLiteral("'a','O''b'"));
  EXPECT_TRUE(gMainRecordset.isOpen()) << "the caller closes the recordset";
  CloseRecordset(gMainRecordset);
  // The list works inside an in(...) of another query.
  OpenMainQuery(QStringLiteral("select count(*) from PJ_Kehu where 姓名 in (") + sqlCont("select 姓名 from PJ_Kehu", 0) + QStringLiteral(")"));
  EXPECT_EQ(gMainRecordset.integer(QStringLiteral("count(*)")), 2);
}

TEST_F(DataAccessTest, PeriodPresetsFollowTheClockAndTheBookStart) {
  QDateEdit from, to;
  auto run = [&](const QDate& today, const QString& book, int preset) {
    setNow(QDateTime(today, QTime(10, 0)));
    gBookStartDate = book;
    cxSjkj(&from, &to, preset);
    EXPECT_EQ(to.date(), today);
    return from.date();
  };
  EXPECT_EQ(run(QDate(2024, 3, 10), "2020-01-01", 1), QDate(2024, 3, 4)) << "Sunday: the Monday six days before";
  EXPECT_EQ(run(QDate(2024, 3, 4), "2020-01-01", 1), QDate(2024, 3, 4)) << "Monday: today";
  EXPECT_EQ(run(QDate(2024, 3, 10), "2024-03-06", 1), QDate(2024, 3, 6)) << "a later book start wins";
  EXPECT_EQ(run(QDate(2024, 3, 10), "2023-03-15", 2), QDate(2024, 3, 1)) << "same month of another year is not this month";
  EXPECT_EQ(run(QDate(2024, 3, 10), "2024-03-05", 2), QDate(2024, 3, 5));
  EXPECT_EQ(run(QDate(2024, 3, 10), "2023-05-05", 3), QDate(2024, 1, 1));
  EXPECT_EQ(run(QDate(2024, 3, 10), "2024-02-05", 3), QDate(2024, 2, 5));
  EXPECT_EQ(run(QDate(2024, 3, 10), "2022-07-08", 4), QDate(2022, 7, 8));
  EXPECT_EQ(run(QDate(2024, 3, 10), "2022-07-08", 0), QDate(2024, 3, 10));
  from.setDate(QDate(2001, 1, 1));
  EXPECT_EQ(run(QDate(2024, 3, 10), "2022-07-08", 9), QDate(2001, 1, 1)) << "an unknown preset leaves the from date";
}

TEST_F(DataAccessTest, CreateTableQuietlyIgnoresAnExistingTable) {
  const QString cols = QStringLiteral("a1 varchar(255), b1 real default 0");
  CreateTableQuietly("PJ_Sqltemp", cols);
  CreateTableQuietly("PJ_Sqltemp", cols);
  EXPECT_TRUE(responder_.messages.empty());
  Db().Execute("insert into PJ_Sqltemp (a1) values ('x')");
  EXPECT_EQ(Db().scalar("select b1 from PJ_Sqltemp").toDouble(), 0.0);
}

TEST_F(DataAccessTest, StartUpReadsTheSettingsRowFromTheLocalFile) {
  Db(0).Execute(QStringLiteral("update PJ_Sys set SqlIP='10.0.0.5', SqlName=?, SqlUser='sa', SqlPass='p;w', 数据库类型=1, 机器ID=7 where 编号=1"), {QStringLiteral("借贷")});
  gDatabaseType = 0;
  LoadDatabaseSettings();
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(gDatabaseType, 1);
  EXPECT_EQ(gMachineId, 7);
  EXPECT_EQ(gSqlName, QStringLiteral("借贷"));
  EXPECT_EQ(gDbPassword, QStringLiteral("kt83025716492"));
  // Business queries now go to the server, whose string carries the settings (a ";" in a value is braced).
  EXPECT_EQ(BuildConnectionString(1), QStringLiteral("DRIVER={FreeTDS};SERVER=10.0.0.5;UID=sa;PWD={p;w};DATABASE=借贷;TDS_Version=7.4;ClientCharset=UTF-8"));
  EXPECT_TRUE(CurrentDialect().isServer());
}

TEST_F(DataAccessTest, StartUpWithoutTheSettingsRowReportsAndStaysLocal) {
  Db(0).Execute(QStringLiteral("delete from PJ_Sys"));
  gMachineId = 0;
  gDatabaseType = 0;
  LoadDatabaseSettings();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("初置数据库程序出现异常！")));
  EXPECT_EQ(gDatabaseType, 0);
  EXPECT_EQ(gMachineId, 0);
}

TEST_F(DataAccessTest, StartUpRefusesAnUnknownStorageMode) {
  Db(0).Execute(QStringLiteral("update PJ_Sys set 数据库类型=2 where 编号=1"));
  LoadDatabaseSettings();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("初置数据库")));
  EXPECT_EQ(gDatabaseType, 0);
}

TEST_F(DataAccessTest, RecordsetsStayReadableAfterTheDatabaseCloses) {
  OpenMainQuery(QStringLiteral("select * from PJ_Zaxiang where 类别=5 order by 排序"));
  CloseDatabase();
  EXPECT_EQ(gMainRecordset.text("名称"), QStringLiteral("系统设置"));
  // And the next query opens the connection again.
  OpenRecordset(gAuxRecordset, QStringLiteral("select count(*) as n from PJ_Admin"));
  EXPECT_EQ(gAuxRecordset.integer("n"), 1);
  CloseRecordset(gAuxRecordset);
  CloseRecordset(gMainRecordset);
}

TEST_F(DataAccessTest, ClosingTheDatabaseDuringASaveKeepsTheSave) {
  {
    Transaction t;
    Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("保存中")});
    CloseDatabase();  // a picker closing while its opener saves
    Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("同一单")});
    t.Commit();
  }
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 2);
}

TEST_F(DataAccessTest, ACommitRefusedByALockRollsBackAndIsReported) {
  // A second connection reads inside a transaction and so keeps the file from being written past
  // the busy time-out, which is made short for the test.
  Db().query(QStringLiteral("PRAGMA busy_timeout = 100"));
  Connection other(MakeSqlCipherBackend(LocalDatabasePath(), gDbPassword), SqlDialect{DialectKind::Sqlite});
  other.ensureOpen();
  auto countOf = [](Connection& c, const QString& name) {
    return c.scalar(QStringLiteral("select count(*) from PJ_Kehu where 姓名=?"), {name}).toInt();
  };
  other.Execute(QStringLiteral("BEGIN"));
  countOf(other, QString());
  EXPECT_FALSE(Guarded(QString(), nullptr, [] { saveCustomers({QStringLiteral("锁住时"), QStringLiteral("锁住时")}); }));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("程序出现异常！"))) << responder_.messages[0].text.toStdString();
  EXPECT_FALSE(Db().inTransaction());
  other.Execute(QStringLiteral("COMMIT"));
  // The count and the database agree: nothing of the refused save is there or arrives later, and
  // the next multi-row save and a single statement both reach the file.
  EXPECT_EQ(countOf(Db(), QStringLiteral("锁住时")), 0);
  saveCustomers({QStringLiteral("之后整单"), QStringLiteral("之后整单")});
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("单条")});
  EXPECT_EQ(countOf(other, QStringLiteral("之后整单")), 2) << "visible to another connection: committed";
  EXPECT_EQ(countOf(other, QStringLiteral("单条")), 1);
  EXPECT_EQ(countOf(other, QStringLiteral("锁住时")), 0);
}

TEST_F(DataAccessTest, ASaveOnAFullDiskOrAReadOnlyFileIsToldInTheSystemsWordsAndWritesNothing) {
  struct Case {
    const char* name;
    QString pragma;  // how the file refuses the save
    QString sentence;
    int code;
    std::function<void(bool on)> fault = {};  // or how the system fails the file's reads and writes
    QString readSentence = {};                 // what a read (not a save) says under that fault
  };
  // The system calls SQLite reads and writes files with, failing with EIO while on.
  const auto failingIo = [](bool on) {
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    const auto set = [vfs, on](const char* call, auto fail) { vfs->xSetSystemCall(vfs, call, on ? reinterpret_cast<sqlite3_syscall_ptr>(fail) : nullptr); };
    for (const char* call : {"pread", "pread64"}) set(call, +[](int, void*, size_t, off_t) -> ssize_t { return errno = EIO, -1; });
    for (const char* call : {"pwrite", "pwrite64"}) set(call, +[](int, const void*, size_t, off_t) -> ssize_t { return errno = EIO, -1; });
    // A build without pread reads and writes after a seek.
    set("read", +[](int, void*, size_t) -> ssize_t { return errno = EIO, -1; });
    set("write", +[](int, const void*, size_t) -> ssize_t { return errno = EIO, -1; });
  };
  const Case cases[] = {
      // SQLite's own answer to a full disk: the file may not grow by one page.
      {"full disk", QStringLiteral("PRAGMA max_page_count = %1"), QStringLiteral("磁盘空间不足，本次操作没有保存任何数据。"), 13},
      // A read-only file (root ignores permission bits, so the connection refuses writes instead).
      {"read-only", QStringLiteral("PRAGMA query_only = 1"), QStringLiteral("数据库文件是只读的，不能保存。"), 8},
      // The disk fails under the file: the driver's "disk I/O error" only in the details.
      {"a failing disk", QString(), QStringLiteral("读写数据库文件时出错，本次操作没有保存任何数据。"), 266, failingIo,
       QStringLiteral("读写数据库文件时出错。")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetConnections();
    responder_.clear();
    const qint64 pages = Db().scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
    if (!c.pragma.isEmpty()) Db().query(QString(c.pragma).replace(QStringLiteral("%1"), QString::number(pages)));
    const int before = Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt();
    if (c.fault) c.fault(true);
    const bool ok = Guarded(QStringLiteral("保存客户"), nullptr, [] {
      Transaction t;
      // An address long enough to need new pages.
      Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,家庭住址) values (?,?)"), {QStringLiteral("满盘"), QString(200000, QLatin1Char('x'))});
      t.Commit();
    });
    QString read;
    if (!c.readSentence.isEmpty()) {
      try {
        Db().scalar(QStringLiteral("select count(*) from PJ_Kehu"));
      } catch (const AppError& e) {
        read = e.description;
      }
    }
    if (c.fault) c.fault(false);
    EXPECT_FALSE(ok);
    EXPECT_EQ(read, c.readSentence);
    ASSERT_EQ(responder_.messages.size(), 1u);
    const MessageRequest& m = responder_.messages[0];
    EXPECT_EQ(m.text, c.sentence) << "the sentence alone, with no procedure name before it";
    EXPECT_TRUE(m.details.startsWith(QStringLiteral("代码：%1").arg(c.code))) << m.details.toStdString();
    EXPECT_TRUE(m.details.contains(QStringLiteral("描述："))) << "the driver's words are kept for whoever helps";
    ResetConnections();
    EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), before);
  }
}

// The book start the program shows (and its status bar) follows the database: a save that rolls
// back leaves it; a committed one moves it once, to the earliest date the save wrote.
TEST_F(DataAccessTest, TheBookStartMovesInTheProgramOnlyOnceTheSaveHasCommitted) {
  loginAsSuperAdmin();
  const auto stored = [] {
    return VariantText(Db().scalar(QStringLiteral("select 建账日期 from PJ_Jq where 机器ID=?"), {static_cast<int>(gMachineId)}));
  };
  Db().Execute(QStringLiteral("update PJ_Jq set 建账日期='2024-03-10' where 机器ID=?"), {static_cast<int>(gMachineId)});
  gBookStartDate = QStringLiteral("2024-03-10");
  int told = 0;
  SetBookStartListener([&told] { ++told; });
  {
    Transaction t;
    MoveBookStartBack(QDate(2024, 2, 1), QDate(2024, 2, 1));
    EXPECT_EQ(gBookStartDate, QStringLiteral("2024-03-10")) << "moved before the commit";
  }  // rolled back
  EXPECT_EQ(stored(), QStringLiteral("2024-03-10"));
  EXPECT_EQ(gBookStartDate, QStringLiteral("2024-03-10"));
  EXPECT_EQ(told, 0);
  {
    Transaction t;
    MoveBookStartBack(QDate(2024, 2, 1), QDate(2024, 2, 5));
    MoveBookStartBack(QDate(2024, 2, 20), QDate(2024, 2, 20));  // a later date in the same save
    t.Commit();
  }
  EXPECT_EQ(stored(), QStringLiteral("2024-02-01"));
  EXPECT_EQ(gBookStartDate, QStringLiteral("2024-02-01"));
  EXPECT_EQ(told, 1);
  SetBookStartListener({});
}
