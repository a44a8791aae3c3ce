// The ODBC backend, run through the SQLite ODBC driver (no SQL Server can run here): the same
// recordset round trip as the local file, with Chinese names and awkward text.
#include <QFile>

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
