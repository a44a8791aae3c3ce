// The financing saves and payments through the ODBC backend (the server's way in), run on the
// SQLite ODBC driver: bound Chinese values, the transactions and the journal behave as on the file.
#include <QFile>

#include "FinancingFixture.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DatabaseBuilder.h"
#include "app/services/DocumentClaim.h"

namespace {

class FinancingOdbc : public FinancingFixture {
 protected:
  void SetUp() override {
    FinancingFixture::SetUp();
    const QString file = appDir() + S("data/odbc.db");
    auto conn = std::make_shared<Connection>(MakeOdbcBackend(S("DRIVER=SQLite3;Database=") + file, false),
                                             SqlDialect{DialectKind::Sqlite});
    QFile seed(S(VRN_SOURCE_DIR "/db/seed.json"));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    BuildDatabase(*conn, LoadSchemaFile(S(VRN_SOURCE_DIR "/db/schema.txt")), seed.readAll(), BuildOptions{false});
    SetConnectionOverride(1, conn);
    gDatabaseType = 1;
    Db().Execute(S("insert into PJ_Gd (姓名,开户行,开户名,银行账号) values (?,?,?,?)"),
                 {S("王投资"), S("工商银行"), S("王投资"), S("6222000011112222")});
    investor_ = static_cast<qint32>(Db().lastInsertId());
  }
};

TEST_F(FinancingOdbc, RegisterPayEarlyThenConfirm) {
  FinancingTerms t = terms(100000, 0.05, "日");
  t.提前支取利率 = 0.03;
  const QString doc = record(btn一次性先付利息, t);
  const auto ids = planIds(doc);
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(text(S("select 支付计划 from PJ_Cjjl where 单号=?"), {doc}), S("一次性先付利息"));
  PaymentPosting post;
  post.planRowId = ids[1];
  post.date = D("2024-03-11");
  post.本金 = 40000;
  post.利息 = 0;
  post.付款状态 = S("支付部分");
  post.备注 = S("O'Brien 100%");
  post.early = true;
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  EXPECT_TRUE(HasFinancingPayments(doc));
  EXPECT_EQ(text(S("select 备注 from PJ_Cjzfjh where 编号=?"), {ids[1]}), S("O'Brien 100%"));
  const PaymentProposal rest = ProposePayment(LoadPlanRowState(ids[1], nullptr), D("2024-03-31"));
  EXPECT_DOUBLE_EQ(rest.本金, 60000);
  post.本金 = rest.本金;
  post.付款状态 = rest.付款状态;
  post.early = false;
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  EXPECT_EQ(text(S("select 结算状态 from PJ_Cjjl where 单号=?"), {doc}), S("已完结"));
  const auto j = journal(doc);
  ASSERT_EQ(j.size(), 4u);
  EXPECT_EQ(j[1], std::make_pair(S("拆借利息支出"), -1500.0));
  expectBalancesRun();
  DeleteFinancingRecord(doc, DocumentVersion(S("PJ_Cjjl"), doc));
  EXPECT_EQ(count(S("PJ_Liushui")), 0);
}

}  // namespace
