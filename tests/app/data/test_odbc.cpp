// The ODBC backend, run through the SQLite ODBC driver (no SQL Server can run here): the same
// recordset round trip as the local file, with Chinese names and awkward text.
#include <sql.h>

#include <QFile>

#include <unistd.h>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/DatabaseBuilder.h"

namespace {
QByteArray readAll(const QString& p) {
  QFile f(p);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

class OdbcTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    file_ = appDir() + QStringLiteral("data/odbc.db");
    QString cs = QStringLiteral("DRIVER=SQLite3;Database=") + file_;
    conn_ = std::make_shared<Connection>(MakeOdbcBackend(cs, false), SqlDialect{DialectKind::Sqlite});
    Schema schema = LoadSchemaFile(QStringLiteral(VRN_SOURCE_DIR "/db/schema.txt"));
    BuildDatabase(*conn_, schema, readAll(QStringLiteral(VRN_SOURCE_DIR "/db/seed.json")), BuildOptions{false});
    SetConnectionOverride(1, conn_);
    gDatabaseType = 1;
  }
  QString file_;
  ConnectionPtr conn_;
};

TEST_F(OdbcTest, BuildsTheTablesAndSeedRowsWithoutTheLocalSettingsTable) {
  OpenMainQuery(QStringLiteral("select 登录账号, 姓名, 账号属性 from PJ_Admin"));
  ASSERT_EQ(gMainRecordset.RecordCount(), 1);
  EXPECT_EQ(gMainRecordset.text("登录账号"), QStringLiteral("超级管理员"));
  EXPECT_EQ(gMainRecordset.value("账号属性").toLongLong(), 3);
  CloseRecordset(gMainRecordset);
  EXPECT_EQ(conn_->scalar(QStringLiteral("select count(*) from sqlite_master where name='PJ_Sys'")).toInt(), 0);
}

TEST_F(OdbcTest, RecordsetRoundTripOfChineseTextNumbersAndNulls) {
  const QString name = QStringLiteral("欧阳'娜娜 50%");
  OpenMainQuery(QStringLiteral("select * from PJ_Gd where 编号=0"));
  gMainRecordset.AddNew();
  gMainRecordset.setValue("姓名", name);
  gMainRecordset.setValue("备注", QString(300, QChar(0x4E2D)));  // longer than one fetch piece in bytes
  gMainRecordset.Update();
  const qint64 id = gMainRecordset.integer("编号");
  EXPECT_GT(id, 0);
  CloseRecordset(gMainRecordset);

  OpenMainQuery(QStringLiteral("select * from PJ_Gd where 姓名=?"), {name});
  ASSERT_EQ(gMainRecordset.RecordCount(), 1);
  EXPECT_EQ(gMainRecordset.integer("编号"), id);
  EXPECT_EQ(gMainRecordset.text("备注"), QString(300, QChar(0x4E2D)));
  EXPECT_FALSE(gMainRecordset.value("手机").isValid() && !gMainRecordset.value("手机").isNull()) << "an unset column reads as NULL";
  gMainRecordset.setValue("手机", QStringLiteral("13912345678"));
  gMainRecordset.Update();
  CloseRecordset(gMainRecordset);

  Db().Execute(QStringLiteral("insert into PJ_Liushui (单号, 金额, 余额) values (?,?,?)"), {QStringLiteral("D1"), 1234.5, 99999999.99});
  OpenMainQuery(QStringLiteral("select 金额, 余额 from PJ_Liushui"));
  EXPECT_DOUBLE_EQ(gMainRecordset.number("金额"), 1234.5);
  EXPECT_DOUBLE_EQ(gMainRecordset.number("余额"), 99999999.99);
  CloseRecordset(gMainRecordset);

  EXPECT_EQ(conn_->scalar(QStringLiteral("select 手机 from PJ_Gd where 编号=?"), {id}).toString(), QStringLiteral("13912345678"));
}

TEST_F(OdbcTest, TransactionsRollBackThroughOdbcToo) {
  {
    Transaction t;
    Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("回滚")});
    EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 1);
  }
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 0);
  EXPECT_FALSE(Db().inTransaction());
}

TEST_F(OdbcTest, ABadStatementCarriesTheDriversMessage) {
  try {
    Db().Execute(QStringLiteral("insert into 不存在的表 values (1)"));
    FAIL();
  } catch (const AppError& e) {
    EXPECT_NE(e.number, 0);
    EXPECT_TRUE(e.description.contains(QStringLiteral("不存在的表"))) << e.description.toStdString();
  }
}

// The stand-in's driver runs on the program's SQLite, so the files it opens beside its database are
// held to the local file's rule: nothing planted at its journal's name is used or written.
TEST_F(OdbcTest, TheStandInsSideFilesAreHeldToTheLocalFilesRule) {
  // The program reads its settings from the local file first: the rule is in force from then on.
  Db(0).scalar(QStringLiteral("select count(*) from PJ_Sys"));
  const QString journal = file_ + QStringLiteral("-journal");
  const QVariantList row = {QStringLiteral("不该写入")};
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    const PlantedName planted(kind, journal, dir_.path());
    EXPECT_THROW(conn_->Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), row), AppError);
    EXPECT_TRUE(planted.stillPlanted());
    EXPECT_TRUE(planted.othersUntouched());
    ::unlink(QFile::encodeName(journal).constData());
    EXPECT_EQ(conn_->scalar(QStringLiteral("select count(*) from PJ_Kehu where 姓名=?"), row).toInt(), 0);
  }
  conn_->Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("之后写入")});
  EXPECT_EQ(conn_->scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(), 1);
}

TEST(OdbcConnect, AFailedConnectionSaysWhatToCheckBeforeTheDriversWords) {
  auto backend = MakeOdbcBackend(QStringLiteral("DRIVER=没有这个驱动;Server=10.255.255.1;Database=pj"), false);
  try {
    backend->open();
    FAIL() << "no such driver";
  } catch (const AppError& e) {
    EXPECT_TRUE(e.description.startsWith(QStringLiteral("无法连接数据库服务器"))) << e.description.toStdString();
    EXPECT_GT(e.description.indexOf(QStringLiteral("\r\n")), 0) << "the driver's own message follows";
    EXPECT_GT(e.description.size(), e.description.indexOf(QStringLiteral("\r\n")) + 2) << e.description.toStdString();
  }
  EXPECT_FALSE(backend->isOpen());
}

// Texts with "." read back whole through the wide path SQL Server mode takes, with the national
// column types the SQL Server driver reports for nvarchar (-9) and nvarchar(max) (-10); only date and
// time types drop the fraction of their seconds.
TEST(OdbcColumnTypes, OnlyDateAndTimeTypesLoseTheirFraction) {
  struct Case {
    int type;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {-9, "No. 5 Renmin Rd.", "No. 5 Renmin Rd."},        // nvarchar
      {-9, "到账 10:30:00.5 前", "到账 10:30:00.5 前"},
      {-10, "zhang.san", "zhang.san"},                     // nvarchar(max)
      {-8, "1.5", "1.5"},                                  // nchar
      {12, "a.b 10:00:00.5", "a.b 10:00:00.5"},            // varchar
      {-1, "v1.2", "v1.2"},                                // text
      {93, "2024-01-05 10:00:00.0000000", "2024-01-05 10:00:00"},
      {91, "2024-01-05", "2024-01-05"},
      {92, "10:00:00.123", "10:00:00"},
      {-154, "10:00:00.1234567", "10:00:00"},               // SQL Server time
      {-155, "2024-01-05 10:00:00.1234567 +08:00", "2024-01-05 10:00:00 +08:00"},  // datetimeoffset
  };
  for (const Case& c : cases)
    EXPECT_EQ(OdbcColumnText(c.type, QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << "type " << c.type;
}

TEST_F(OdbcTest, NationalTextWithDotsReadsBackWholeThroughTheWidePath) {
  auto wide = std::make_shared<Connection>(MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Database=") + file_, true), SqlDialect{DialectKind::Sqlite});
  wide->Execute(QStringLiteral("create table 通讯 (编号 integer primary key, 地址 nvarchar(100), 登录 nvarchar(50), 备注 ntext, 时间 timestamp)"));
  const QStringList texts = {QStringLiteral("No. 5 Renmin Rd."), QStringLiteral("zhang.san"), QStringLiteral("人民路5号.东门")};
  wide->Execute(QStringLiteral("insert into 通讯 (地址, 登录, 备注, 时间) values (?,?,?,?)"),
                {texts[0], texts[1], texts[2], QStringLiteral("2024-01-05 10:00:00.250")});
  const QueryResult r = wide->query(QStringLiteral("select 地址, 登录, 备注, 时间 from 通讯"));
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0][0].toString(), texts[0]);
  EXPECT_EQ(r.rows[0][1].toString(), texts[1]);
  EXPECT_EQ(r.rows[0][2].toString(), texts[2]);
  EXPECT_EQ(r.rows[0][3].toString(), QStringLiteral("2024-01-05 10:00:00"));
}

// ---- two workstations on one server: failures, commits and a lost connection ----------------

namespace {
// A connection of its own to the same file, as another workstation has; the driver waits at most
// `busyMs` for a lock the other one holds.
ConnectionPtr Workstation(const QString& file, int busyMs = 300) {
  return std::make_shared<Connection>(
      MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Timeout=%1;Database=").arg(busyMs) + file, false),
      SqlDialect{DialectKind::Sqlite});
}
}  // namespace

// The server's failures are told in the system's words, the number and the driver's text kept in
// the details; anything else keeps the driver's words.
TEST(OdbcFailures, ServerNumbersAndStatesReadInTheSystemsWords) {
  const QString busy = QStringLiteral("其他工作站正在使用这些数据，本次操作没有保存任何数据，请稍后重试。");
  const QString taken = QStringLiteral("该记录已被其他工作站添加，请刷新后重试。");
  const QString lost = QStringLiteral("与数据库服务器的连接已断开，本次操作没有保存任何数据。");
  const QString lostAtCommit = QStringLiteral("与数据库服务器的连接在保存时断开，无法确定本次操作是否已保存，请刷新后核对再重做。");
  struct Case {
    int native;
    const char* state;
    const char* driverText;
    bool commit;
    QString sentence;  // "" = the driver's words as they came
  };
  const Case cases[] = {
      {1205, "40001", "Transaction (Process ID 57) was deadlocked on lock resources", false, busy},
      {1222, "HY000", "Lock request time out period exceeded.", false, busy},
      {0, "HYT00", "Timeout expired", false, busy},
      {2601, "23000", "Cannot insert duplicate key row in object 'dbo.PJ_Jq' with unique index 'ix'.", false, taken},
      {2627, "23000", "Violation of PRIMARY KEY constraint 'PK_PJ_Jq'.", false, taken},
      {8152, "22001", "String or binary data would be truncated.", false,
       QStringLiteral("输入的文字超过了数据库允许的长度，本次操作没有保存任何数据。")},
      {2628, "22001",
       "String or binary data would be truncated in table 'pj.dbo.PJ_Dkjl', column '备注'. Truncated value: 'abc'.", false,
       QStringLiteral("“备注”的文字超过了数据库允许的长度，本次操作没有保存任何数据。")},
      {0, "22001", "String data, right truncated", false, QStringLiteral("输入的文字超过了数据库允许的长度，本次操作没有保存任何数据。")},
      {0, "08S01", "Communication link failure", false, lost},
      {0, "08003", "Connection not open", false, lost},
      {20009, "08001", "Unable to connect: Adaptive Server is unavailable", false, lost},
      {0, "08S01", "Communication link failure", true, lostAtCommit},
      {1205, "40001", "deadlocked", true, busy},
      {208, "42S02", "Invalid object name 'PJ_Nope'.", false, QString()},
      {5, "HY000", "[SQLite]database is locked", true, busy},  // the test's second workstation
      {5, "42000", "no such thing", false, QString()},
  };
  for (const Case& c : cases) {
    const QString driverText = QString::fromUtf8(c.driverText);
    const AppError e = OdbcFailure(c.native, QString::fromLatin1(c.state), driverText, c.commit);
    SCOPED_TRACE(std::string(c.state) + " " + std::to_string(c.native) + (c.commit ? " at COMMIT" : ""));
    if (c.sentence.isEmpty()) {
      EXPECT_EQ(e.description, driverText);
      EXPECT_TRUE(e.details.isEmpty());
    } else {
      EXPECT_EQ(e.description, c.sentence);
      EXPECT_TRUE(e.details.contains(driverText)) << e.details.toStdString();
    }
    EXPECT_EQ(e.number, c.native != 0 ? c.native : Err::Database);
  }
}

// A COMMIT the database refuses (another workstation still reads the file) is rolled back there and
// then: the program says nothing was saved, and nothing of it is committed later, not even by the
// user's retry of the same save.
TEST_F(OdbcTest, AFailedCommitIsNeverCommittedLaterAlsoAfterARetry) {
  auto program = Workstation(file_);
  SetConnectionOverride(1, program);
  auto other = Workstation(file_);
  auto save = [] {
    Transaction t;
    Db().Execute(QStringLiteral("insert into PJ_Liushui (单号, 金额, 余额) values (?,?,?)"), {QStringLiteral("D1"), 123.45, 123.45});
    t.Commit();
  };
  auto stored = [&](Connection& c) {
    return c.query(QStringLiteral("select count(*), coalesce(sum(金额),0) from PJ_Liushui where 单号=?"), {QStringLiteral("D1")}).rows.at(0);
  };

  other->begin();
  EXPECT_EQ(stored(*other).at(0).toInt(), 0);  // holds its read lock until its transaction ends
  EXPECT_THROW(save(), AppError);
  EXPECT_FALSE(program->inTransaction());
  other->rollback();

  // The next statement of the program runs on its own: whatever it does, the failed rows stay gone.
  EXPECT_EQ(stored(*program).at(0).toInt(), 0);
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("下一个")});
  EXPECT_EQ(stored(*other).at(0).toInt(), 0) << "the failed save was committed by the next statement";

  save();  // the user's retry
  const QVariantList after = stored(*Workstation(file_));
  EXPECT_EQ(after.at(0).toInt(), 1);
  EXPECT_DOUBLE_EQ(after.at(1).toDouble(), 123.45);
  SetConnectionOverride(1, conn_);
}

// A connection the driver reports lost fails its statement with the system's sentence; the next
// statement outside a transaction opens the connection again. Inside a transaction nothing runs on
// a new connection until the save has ended: its earlier statements went with the old one.
TEST_F(OdbcTest, ALostConnectionIsOpenedAgainOnlyOutsideATransaction) {
  // As a server that drops the link does: the transaction is rolled back there and the link goes.
  auto cut = [&] {
    auto link = static_cast<SQLHDBC>(conn_->backend().nativeHandle());
    SQLEndTran(SQL_HANDLE_DBC, link, SQL_ROLLBACK);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLDisconnect(link)));
  };
  const QString lost = QStringLiteral("与数据库服务器的连接已断开，本次操作没有保存任何数据。");
  auto customers = [&] { return Db().scalar(QStringLiteral("select count(*) from PJ_Kehu")).toInt(); };
  ASSERT_EQ(customers(), 0);

  cut();
  try {
    customers();
    FAIL() << "a cut connection cannot answer";
  } catch (const AppError& e) {
    EXPECT_EQ(e.description, lost);
    EXPECT_TRUE(e.details.contains(QStringLiteral("08003"))) << e.details.toStdString();
  }
  EXPECT_EQ(customers(), 0) << "opened again";

  {
    Transaction t;
    Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("半途")});
    cut();
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("之后")});
        FAIL() << "a statement of the save ran on a new connection";
      } catch (const AppError& e) {
        EXPECT_EQ(e.description, lost);
      }
    }
    EXPECT_THROW(t.Commit(), AppError);
  }
  EXPECT_FALSE(conn_->inTransaction());
  EXPECT_EQ(customers(), 0) << "nothing of the cut save is kept";
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名) values (?)"), {QStringLiteral("重做")});
  EXPECT_EQ(customers(), 1);
}

// The test build refuses a statement that carries a Chinese value as a quoted literal: on a server
// database without a Chinese collation such a literal would match nothing.
TEST(LiteralCheck, QuotedValuesBeyondAsciiAreFoundAndRefused) {
  struct Case {
    const char* sql;
    const char* found;
  };
  const Case cases[] = {
      {"select count(*) from PJ_Hdjh where 归还状态 in ('未还','归还部分')", "'未还'"},
      {"select 1 from PJ_Jq where 主控权限 = 'x' or 主控权限='否'", "'否'"},
      {"update PJ_Kehu set 备注='it''s 好' where 编号=?", "'it''s 好'"},
      {"select 编号 from PJ_Hdjh where 归还状态=? and 单号='D1'", ""},
      {"BACKUP DATABASE [借贷]]库'] TO DISK = N'D:\\备份\\a.bak'", ""},
      {"select \"名'称\" from t where a=n'中文'", ""},
      {"select 1 from t where a like ? escape '\\'", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuotedNonAsciiLiteral(QString::fromUtf8(c.sql)), QString::fromUtf8(c.found)) << c.sql;

  // On in this build (the test main turns it on): the connection refuses before the driver sees it.
  auto conn = std::make_shared<Connection>(MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Database=:memory:"), false),
                                           SqlDialect{DialectKind::Sqlite});
  conn->Execute(QStringLiteral("create table t (a text default '否')"));
  EXPECT_THROW(conn->Execute(QStringLiteral("insert into t (a) values ('否')")), AppError);
  conn->Execute(QStringLiteral("insert into t (a) values (?)"), {QStringLiteral("否")});
  EXPECT_THROW(conn->query(QStringLiteral("select count(*) from t where a='否'")), AppError);
  EXPECT_EQ(conn->scalar(QStringLiteral("select count(*) from t where a=?"), {QStringLiteral("否")}).toInt(), 1);
}
