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
