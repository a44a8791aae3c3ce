// A small fill must be a business whose books add up: plans to their amounts, paid sums to their
// records, the journal to its running balance, every stamp inside the five years.
#include <QDir>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/PBclass.h"
#include "output/ReportQueries.h"
#include "tools/Fill.h"

namespace {

const QDate kLastDay(2026, 11, 30);

class FillTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    FillLoginState();
  }
  qint64 count(const QString& sql, const QVariantList& values = {}) { return Db().scalar(sql, values).toLongLong(); }
  double number(const QString& sql, const QVariantList& values = {}) { return VariantNumber(Db().scalar(sql, values)); }
};

TEST_F(FillTest, SmallFillReconciles) {
  FillOptions o;
  o.scale = 0.003;
  o.lastDay = kLastDay;
  int lines = 0;
  const FillCounts c = FillDatabase(o, [&](const QString&) { ++lines; });
  EXPECT_GT(lines, 0) << "a progress line";

  // What was asked for, at a three-thousandth of the full size; a loan planned for a customer who
  // still has an open loan goes to a new customer, as the save refuses it.
  EXPECT_GT(c.persons + c.companies, 60);
  EXPECT_GE(c.companies, 18);
  EXPECT_EQ(count(QStringLiteral("select count(*) from PJ_Kehu")) + count(QStringLiteral("select count(*) from PJ_Kehu_Gs")),
            c.persons + c.companies);
  EXPECT_EQ(c.investors, 6);
  EXPECT_EQ(c.loans, 300);
  EXPECT_EQ(c.financings, 30);
  EXPECT_EQ(count(QStringLiteral("select count(*) from PJ_Dkjl")), c.loans);
  EXPECT_EQ(count(QStringLiteral("select count(*) from PJ_Hdjh")), c.planRows);
  EXPECT_EQ(count(QStringLiteral("select count(*) from PJ_Cjjl")), c.financings);
  EXPECT_EQ(count(QStringLiteral("select count(*) from PJ_Liushui")), c.journal);
  EXPECT_GT(c.planRows, 4 * c.loans) << "instalment plans of several rows";
  EXPECT_GT(c.journal, 8 * c.loans) << "the journal is the biggest table, as in a real business";

  // Each check counts the rows that break a rule of the books; none may.
  struct Rule {
    const char* what;
    const char* violations;
    QVariantList values;  // the status words, bound
  };
  const Rule rules[] = {
      {"a customer has one open loan at most",
       "select count(*) from (select 客户ID from PJ_Dkjl where 结算状态=? group by 客户性质,客户ID having count(*)>1) x",
       {QStringLiteral("未还")}},
      {"a loan's plan repays its amount",
       "select count(*) from PJ_Dkjl d where abs(d.本金-(select sum(应还本金) from PJ_Hdjh h where h.单号=d.单号))>0.005"},
      {"a financing's plan pays back its amount",
       "select count(*) from PJ_Cjjl d where abs(d.本金-(select sum(应付本金) from PJ_Cjzfjh h where h.单号=d.单号))>0.005"},
      {"a loan's repaid principal is its rows'",
       "select count(*) from PJ_Dkjl d where abs(d.已还本金-(select sum(已还本金) from PJ_Hdjh h where h.单号=d.单号))>0.005"},
      {"a loan's repaid interest is its rows'",
       "select count(*) from PJ_Dkjl d where abs(d.已还利息-(select sum(已还利息) from PJ_Hdjh h where h.单号=d.单号))>0.005"},
      {"a row's paid principal is its records'",
       "select count(*) from PJ_Hdjh h where abs(h.已还本金-(select ifnull(sum(本金),0) from PJ_Hkjl k where k.计划ID=h.编号))>0.005"},
      {"a financing's paid principal is its rows'",
       "select count(*) from PJ_Cjjl d where abs(d.已付本金-(select sum(已付本金) from PJ_Cjzfjh h where h.单号=d.单号))>0.005"},
      {"a financing's interest is its rows'",
       "select count(*) from PJ_Cjjl d where abs(d.利息-(select sum(应付利息) from PJ_Cjzfjh h where h.单号=d.单号))>0.005"},
      {"a financing row never plans less interest than it paid",
       "select count(*) from PJ_Cjzfjh where 已付利息>应付利息+0.005"},
      {"a financing row's paid principal is its records'",
       "select count(*) from PJ_Cjzfjh h where abs(h.已付本金-(select ifnull(sum(本金),0) from PJ_Cjzfjl k where k.计划ID=h.编号))>0.005"},
      // (early repayment charges interest by the day, which on a monthly rate may pass the plan's)
      {"nothing is paid beyond what is due",
       "select count(*) from PJ_Hdjh where 已还本金>应还本金+0.005 or (已还利息>应还利息+0.005 and ifnull(备注,'')<>?)",
       {QStringLiteral("提前还贷")}},
      {"a settled loan has no open row",
       "select count(*) from PJ_Dkjl d where 结算状态=? and exists (select 1 from PJ_Hdjh h where h.单号=d.单号 and 归还状态<>?)",
       {QStringLiteral("已完结"), QStringLiteral("已还")}},
      {"an open loan has an open row",
       "select count(*) from PJ_Dkjl d where 结算状态=? and not exists (select 1 from PJ_Hdjh h where h.单号=d.单号 and 归还状态<>?)",
       {QStringLiteral("未还"), QStringLiteral("已还")}},
      {"every journal row belongs to a document", "select count(*) from PJ_Liushui where 单号 not in (select 单号 from PJ_Dkjl union select 单号 from PJ_Cjjl)"},
      {"the journal's time lies in the five years",
       "select count(*) from PJ_Liushui where 时间<'2021-12-01' or 时间>'2026-11-30 23:59:59'"},
      {"a repayment record is made on its repayment day",
       "select count(*) from PJ_Hkjl k join PJ_Hdjh h on h.编号=k.计划ID where ifnull(k.备注,'')<>? and k.还款状态<>? and substr(k.日期,1,10)<>h.归还日期",
       {QStringLiteral("提前扣除利息"), QStringLiteral("归还部分")}},
      {"a repayment is never before its loan",
       "select count(*) from PJ_Hkjl k join PJ_Dkjl d on d.单号=k.单号 where substr(k.日期,1,10)<d.登记日期"},
  };
  for (const Rule& r : rules) EXPECT_EQ(count(QString::fromUtf8(r.violations), r.values), 0) << r.what;

  // Money in and out of the journal is the money of the records.
  const double principalOut = number(QStringLiteral("select sum(金额) from PJ_Liushui where 摘要=?"), {QStringLiteral("贷款本金支出")});
  EXPECT_NEAR(principalOut, -number(QStringLiteral("select sum(本金) from PJ_Dkjl")), 0.005);
  const double principalIn = number(QStringLiteral("select sum(金额) from PJ_Liushui where 摘要 in (?,?)"), {QStringLiteral("存款本金收入"), QStringLiteral("回款本金收入")});
  EXPECT_NEAR(principalIn, number(QStringLiteral("select sum(本金) from PJ_Hkjl")), 0.005);

  // The running balance: each row's 余额 is the sum of 金额 up to it, the last one the whole sum.
  const QueryResult journal = Db().query(QStringLiteral("select 金额, 余额 from PJ_Liushui order by 编号"));
  double running = 0;
  qint64 wrong = 0;
  for (const QVariantList& row : journal.rows) {
    running += VariantNumber(row[0]);
    if (std::abs(running - VariantNumber(row[1])) > 0.005) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_NEAR(VariantNumber(journal.rows.back()[1]), number(QStringLiteral("select sum(金额) from PJ_Liushui")), 0.005);

  // The funds report on the filled business: each 到期 line is its 已收回 plus its 未收回, and each
  // balance the plan rows' total less all that was collected on them.
  for (const QDate& base : {QDate(2024, 6, 30), kLastDay}) {
    SCOPED_TRACE(base.toString(Qt::ISODate).toStdString());
    const FundsReport f = ComputeFundsReport(base);
    const QString open = QStringLiteral(" from PJ_Hdjh where 单号 in (select 单号 from PJ_Dkjl where 结算状态=? and 业务状态=?)");
    const QVariantList openWords = {QStringLiteral("未还"), QStringLiteral("已审核")};
    for (const char* part : {"本金", "利息"}) {
      const QString p = QString::fromUtf8(part);
      const auto v = [&](const char* line) { return f.value(QStringLiteral("外放") + QString::fromUtf8(line) + p); };
      EXPECT_GT(v("到期"), 0) << part;
      EXPECT_NEAR(v("到期"), v("到期已收回") + v("到期未收回"), 0.005) << part;
      const double balance = number(QStringLiteral("select round(sum(应还%1-已还%1),2)").arg(p) + open, openWords);
      EXPECT_NEAR(f.value(QStringLiteral("外放") + p + QStringLiteral("余额")), balance, 0.005) << part;
    }
  }

  // Every kind of business the windows write is there.
  const std::pair<const char*, const char*> present[] = {
      {"select count(distinct 还款计划) from PJ_Dkjl", ""},                 // every plan type
      {"select count(*) from PJ_Dkjl where 客户性质=?", "企业"},            // company borrowers
      {"select count(*) from PJ_Hkjl where 手续费>0", ""},                   // late, with overdue fees
      {"select count(*) from PJ_Hkjl where 还款状态=?", "归还部分"},         // partial
      {"select count(*) from PJ_Hkjl where 备注=?", "提前还贷"},             // early
      {"select count(*) from PJ_Hdjh where 归还状态=? and 约定归还日期<'2026-06-01'", "未还"},  // overdue, never paid
      {"select count(*) from PJ_Dkjl where 业务状态=?", "未审核"},           // waiting for approval
      {"select count(*) from PJ_Cjzfjl where 提前支取扣款>0", ""},           // financing taken back early
      {"select count(*) from PJ_Cjzfjh where 提前支取减息>0 and 结算状态=?", "已付"},  // part of it early, the rest when due
      {"select count(*) from PJ_Cjjl where 结算状态=?", "已完结"},           // financing paid off
  };
  for (const auto& [sql, word] : present) {
    const QVariantList values = *word ? QVariantList{QString::fromUtf8(word)} : QVariantList{};
    EXPECT_GT(count(QString::fromUtf8(sql), values), 0) << sql;
  }
  EXPECT_GE(count(QStringLiteral("select count(distinct 还款计划) from PJ_Dkjl")), 7);
}

TEST_F(FillTest, SameSeedSameBusinessOtherSeedAnother) {
  // The journal's sum and the plan rows' principal fingerprint a fill.
  int copies = 0;
  auto fingerprint = [&](quint64 seed) {
    const QString path = appDir() + QStringLiteral("copy%1.pbb").arg(++copies);
    CopyShippedDatabase(path);
    auto conn = std::make_shared<Connection>(MakeSqlCipherBackend(path, gDbPassword), SqlDialect{});
    SetConnectionOverride(0, conn);
    FillOptions o;
    o.seed = seed;
    o.scale = 0.0005;
    o.lastDay = kLastDay;
    FillDatabase(o);
    const QString f = Db().scalar(QStringLiteral("select round(sum(金额),2) || '/' || count(*) from PJ_Liushui")).toString() +
                      QLatin1Char('/') + Db().scalar(QStringLiteral("select group_concat(应还本金) from PJ_Hdjh")).toString();
    SetConnectionOverride(0, nullptr);
    return f;
  };
  const QString a = fingerprint(7);
  EXPECT_EQ(fingerprint(7), a);
  EXPECT_NE(fingerprint(8), a);
}

}  // namespace
