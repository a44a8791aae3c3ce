// Financing interest, plans and payment proposals as pure functions, and the calculation tool's
// answers built on them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <numeric>

#include "financing/FinancingCalc.h"
#include "platform/Money.h"
#include "tools/CalcTool.h"

namespace {
QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }
QString S(const char* s) { return QString::fromUtf8(s); }

FinancingTerms terms(double principal, double rate, const char* kind, const char* from, const char* to, bool bothEnds = false) {
  FinancingTerms t;
  t.本金 = principal;
  t.利率 = rate;
  t.利率类别 = S(kind);
  t.提前支取利率 = 0.075;
  t.首尾计息 = bothEnds;
  t.登记日期 = D("2024-01-01");
  t.起息日期 = D(from);
  t.止息日期 = D(to);
  t.客户名称 = S("王投资");
  t.业务经办 = S("李经办");
  return t;
}

// A row as the table below writes it: 拆借本金, 应付本金, 应付利息, status, start, due, days.
struct RowSpec {
  double owed, principal, interest;
  const char* status;
  const char* start;
  const char* due;
  int days;
};

struct PlanCase {
  const char* name;
  FinancingTerms t;
  int button;
  int count;
  char unit;
  const char* first;
  const char* kind;    // stored 支付计划
  const char* rateKind;
  const char* end;     // 止息日期 after the build
  double prepaid;
  std::vector<RowSpec> rows;
};

class PlanTable : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTable, RowsAndDocumentValues) {
  const PlanCase& c = GetParam();
  InstalmentOptions o;
  o.分期数 = c.count;
  o.unit = QLatin1Char(c.unit);
  o.首次支付日期 = c.first ? D(c.first) : QDate();
  const FinancingPlan p = BuildFinancingPlan(c.t, c.button, &o);
  EXPECT_EQ(p.支付计划, S(c.kind));
  EXPECT_EQ(p.利率类别, S(c.rateKind));
  EXPECT_EQ(p.止息日期, D(c.end));
  EXPECT_DOUBLE_EQ(p.已付利息, c.prepaid);
  ASSERT_EQ(p.rows.size(), c.rows.size());
  int days = 0;
  double interest = 0, principal = 0;
  for (size_t i = 0; i < c.rows.size(); ++i) {
    const FinancingPlanRow& r = p.rows[i];
    const RowSpec& e = c.rows[i];
    SCOPED_TRACE(testing::Message() << "row " << i + 1);
    EXPECT_EQ(r.支付期次, int(i) + 1);
    EXPECT_DOUBLE_EQ(r.拆借本金, e.owed);
    EXPECT_DOUBLE_EQ(r.应付本金, e.principal);
    EXPECT_DOUBLE_EQ(r.应付利息, e.interest);
    EXPECT_EQ(r.结算状态, S(e.status));
    // A row created paid shows as paid exactly what it shows as due.
    EXPECT_DOUBLE_EQ(r.已付利息, r.结算状态 == S("已付") ? r.应付利息 : 0);
    EXPECT_EQ(r.开始日期, D(e.start));
    EXPECT_EQ(r.约定支付日期, D(e.due));
    EXPECT_EQ(r.计息天数, e.days);
    EXPECT_EQ(r.业务日期, c.t.登记日期);
    days += e.days;
    interest += e.interest;
    principal += e.principal;
  }
  EXPECT_EQ(p.计息天数, days);
  EXPECT_DOUBLE_EQ(p.利息, interest);
  EXPECT_DOUBLE_EQ(Money::round(principal, 2), Money::round(c.t.本金, 2)) << "the plan's principal adds up to the amount";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Buttons, PlanTable, ::testing::Values(
    PlanCase{"one_time_daily", terms(100000, 0.1, "日", "2024-01-01", "2024-01-31"), btn一次性支付本息, 0, 'D', nullptr,
             "一次性支付本息", "日", "2024-01-31", 0,
             {{100000, 100000, 3000, "未付", "2024-01-01", "2024-01-31", 30}}},
    PlanCase{"one_time_daily_both_ends", terms(100000, 0.1, "日", "2024-01-01", "2024-01-31", true), btn一次性支付本息, 0, 'D', nullptr,
             "一次性支付本息", "日", "2024-01-31", 0,
             {{100000, 100000, 3100, "未付", "2024-01-01", "2024-01-31", 31}}},
    PlanCase{"prepaid_monthly", terms(50000, 1.5, "月", "2024-01-15", "2024-04-15"), btn一次性先付利息, 0, 'D', nullptr,
             "一次性先付利息", "月", "2024-04-15", 2250,
             {{0, 0, 2250, "已付", "2024-01-01", "2024-01-01", 91}, {50000, 50000, 0, "未付", "2024-01-15", "2024-04-15", 0}}},
    // With both ends the form has moved the end a day back; the months still run to 15 April.
    PlanCase{"prepaid_monthly_both_ends", terms(50000, 1.5, "月", "2024-01-15", "2024-04-14", true), btn一次性先付利息, 0, 'D', nullptr,
             "一次性先付利息", "月", "2024-04-14", 2250,
             {{0, 0, 2250, "已付", "2024-01-01", "2024-01-01", 91}, {50000, 50000, 0, "未付", "2024-01-15", "2024-04-14", 0}}},
    // 12.5 is shown and paid as 13: nothing stays open by rounding.
    PlanCase{"prepaid_half_unit", terms(1250, 0.1, "日", "2024-01-01", "2024-01-11"), btn一次性先付利息, 0, 'D', nullptr,
             "一次性先付利息", "日", "2024-01-11", 13,
             {{0, 0, 13, "已付", "2024-01-01", "2024-01-01", 10}, {1250, 1250, 0, "未付", "2024-01-01", "2024-01-11", 0}}},
    // Month ends fall back to the shorter month and the due date carries on from there.
    PlanCase{"equal_principal_monthly", terms(90000, 1, "月", "2024-01-01", "2024-01-01"), btn等额本金后付, 3, 'M', "2024-01-31",
             "等额本金 - 后付", "月", "2024-04-29", 0,
             {{90000, 30000, 900, "未付", "2024-01-31", "2024-02-29", 29}, {60000, 30000, 600, "未付", "2024-02-29", "2024-03-29", 29},
              {30000, 30000, 300, "未付", "2024-03-29", "2024-04-29", 31}}},
    PlanCase{"equal_principal_last_row_takes_rest", terms(100000, 0, "日", "2024-01-01", "2024-01-01"), btn等额本金后付, 3, 'D', "2024-06-01",
             "等额本金 - 后付", "日", "2024-06-04", 0,
             {{100000, 33333.33, 0, "未付", "2024-06-01", "2024-06-02", 1}, {66666.67, 33333.33, 0, "未付", "2024-06-02", "2024-06-03", 1},
              {33333.34, 33333.34, 0, "未付", "2024-06-03", "2024-06-04", 1}}},
    // The interest-ahead plan: row 1 paid at registration over the first period takes the extra day
    // of 首尾计息; row 2 repeats that period with its plain day.
    PlanCase{"interest_ahead_daily_both_ends", terms(10000, 0.1, "日", "2024-01-01", "2024-01-01", true), btn等额本金先付, 2, 'D', "2024-03-01",
             "等额本金 - 先付", "日", "2024-03-03", 20,
             {{10000, 0, 20, "已付", "2024-03-01", "2024-03-02", 2}, {10000, 5000, 10, "未付", "2024-03-01", "2024-03-02", 1},
              {5000, 5000, 0, "未付", "2024-03-02", "2024-03-03", 1}}},
    PlanCase{"interest_ahead_one_period", terms(6000, 2, "月", "2024-01-01", "2024-01-01"), btn等额本金先付, 1, 'M', "2024-02-10",
             "等额本金 - 先付", "月", "2024-03-10", 120,
             {{6000, 0, 120, "已付", "2024-02-10", "2024-03-10", 29}, {6000, 6000, 0, "未付", "2024-02-10", "2024-03-10", 29}}},
    PlanCase{"annuity_monthly", terms(10000, 1, "月", "2024-01-01", "2024-01-01"), btn等额本息, 3, 'M', "2024-01-15",
             "等额本息", "月", "2024-04-15", 0,
             {{10000, 3300.22, 100, "未付", "2024-01-15", "2024-02-15", 31}, {6699.78, 3333.22, 67, "未付", "2024-02-15", "2024-03-15", 29},
              {3366.56, 3366.56, 34, "未付", "2024-03-15", "2024-04-15", 31}}},
    PlanCase{"annuity_rate_zero", terms(1000, 0, "日", "2024-01-01", "2024-01-01"), btn等额本息, 3, 'D', "2024-01-10",
             "等额本息", "日", "2024-01-13", 0,
             {{1000, 333.33, 0, "未付", "2024-01-10", "2024-01-11", 1}, {666.67, 333.33, 0, "未付", "2024-01-11", "2024-01-12", 1},
              {333.34, 333.34, 0, "未付", "2024-01-12", "2024-01-13", 1}}},
    // A daily rate read over monthly periods: the plan's rate type becomes 月.
    PlanCase{"interest_first_monthly", terms(20000, 2, "日", "2024-01-01", "2024-01-01"), btn分期付息先息, 2, 'M', "2024-05-10",
             "分期付息-先息", "月", "2024-07-10", 400,
             {{0, 0, 400, "已付", "2024-04-10", "2024-05-10", 30}, {0, 0, 400, "未付", "2024-05-10", "2024-06-10", 31},
              {0, 20000, 0, "未付", "2024-06-10", "2024-07-10", 31}}},
    // Halves of a unit round up in every row.
    PlanCase{"interest_after_daily", terms(1000, 0.05, "日", "2024-01-01", "2024-01-01"), btn分期付息后息, 3, 'D', "2024-02-28",
             "分期付息-后息", "日", "2024-03-02", 0,
             {{0, 0, 1, "未付", "2024-02-28", "2024-02-29", 1}, {0, 0, 1, "未付", "2024-02-29", "2024-03-01", 1},
              {0, 1000, 1, "未付", "2024-03-01", "2024-03-02", 1}}}),
    [](const ::testing::TestParamInfo<PlanCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(FinancingPlan, DocumentValuesComeFromTheLastPeriod) {
  InstalmentOptions o{3, QLatin1Char('M'), D("2024-01-31")};
  const FinancingPlan p = BuildFinancingPlan(terms(90000, 1, "月", "2024-01-01", "2024-01-01"), btn等额本金后付, &o);
  EXPECT_EQ(p.利率系数, 1);
  EXPECT_DOUBLE_EQ(p.日利率, 0.000333);  // 300 / 30 / 30000 at six decimals
  EXPECT_DOUBLE_EQ(p.提前支取日利率, 0.000025);  // 0.075 % a month spread over 30 days

  const FinancingPlan once = BuildFinancingPlan(terms(50000, 1.5, "月", "2024-01-15", "2024-04-15"), btn一次性支付本息);
  EXPECT_EQ(once.利率系数, 3);
  EXPECT_DOUBLE_EQ(once.日利率, 0.0015);
}

TEST(FinancingPlan, LongestDailyPlans) {
  InstalmentOptions o{999, QLatin1Char('D'), D("2024-01-01")};
  const FinancingTerms t = terms(99900, 0.01, "日", "2024-01-01", "2024-01-01");
  EXPECT_EQ(BuildFinancingPlan(t, btn等额本金后付, &o).rows.size(), 999u);
  const FinancingPlan p = BuildFinancingPlan(t, btn分期付息先息, &o);
  ASSERT_EQ(p.rows.size(), 1000u);
  EXPECT_EQ(p.止息日期, D("2024-01-01").addDays(999));
}

TEST(FinancingPlan, BadInputIsRefusedWithTheFormsMessage) {
  struct Case {
    const char* message;
    std::function<void(FinancingTerms&)> change;
    int button;
  };
  const std::vector<Case> cases = {
      {"客户名称不能为空！", [](FinancingTerms& t) { t.客户名称 = S("  "); }, btn一次性支付本息},
      {"借款金额输入不合法！", [](FinancingTerms& t) { t.本金 = 0; }, btn一次性支付本息},
      {"利率输入不合法！", [](FinancingTerms& t) { t.利率 = -1; }, btn等额本息},
      {"提成比例输入不合法！", [](FinancingTerms& t) { t.提成比例 = -0.5; }, btn一次性支付本息},
      {"业务经办不能为空！", [](FinancingTerms& t) { t.业务经办.clear(); }, btn分期付息后息},
      {"提前支取利率输入不合法！", [](FinancingTerms& t) { t.提前支取利率 = -0.1; }, btn一次性先付利息},
      {"止息日期必须晚于起息日期！", [](FinancingTerms& t) { t.止息日期 = t.起息日期; }, btn一次性支付本息},
      {"止息日期必须晚于起息日期！", [](FinancingTerms& t) { t.止息日期 = t.起息日期.addDays(-1); t.首尾计息 = true; }, btn一次性支付本息},
      {"按月计息的期限不足一个月，请调整止息日期！", [](FinancingTerms& t) { t.利率类别 = S("月"); t.止息日期 = D("2024-03-31"); }, btn一次性先付利息},
  };
  for (const Case& c : cases) {
    FinancingTerms t = terms(10000, 0.1, "日", "2024-03-01", "2024-04-01");
    c.change(t);
    InstalmentOptions o{2, QLatin1Char('D'), D("2024-03-01")};
    try {
      BuildFinancingPlan(t, c.button, &o);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const FinancingInputError& e) {
      EXPECT_EQ(e.message(), S(c.message));
    }
  }
  // The same day with 首尾计息 is one day of interest, and is accepted.
  FinancingTerms sameDay = terms(10000, 0.1, "日", "2024-03-01", "2024-03-01", true);
  EXPECT_EQ(BuildFinancingPlan(sameDay, btn一次性支付本息).rows.at(0).计息天数, 1);
  // Instalment plans do not read the end date: a stale one does not refuse them.
  InstalmentOptions o{0, QLatin1Char('D'), D("2024-03-01")};
  EXPECT_THROW(BuildFinancingPlan(sameDay, btn等额本息, &o), FinancingInputError);
  o.分期数 = 1000;
  EXPECT_THROW(BuildFinancingPlan(sameDay, btn等额本息, &o), FinancingInputError);
  o.分期数 = 2;
  EXPECT_NO_THROW(BuildFinancingPlan(terms(10000, 0.1, "日", "2024-03-05", "2024-03-01"), btn等额本息, &o));
}

TEST(FinancingPlan, NamesOfTheButtons) {
  // Each name stored is the plan the button builds; both the names and the captions find it.
  for (int b = 0; b < kFinancingPlanButtons; ++b) {
    EXPECT_EQ(PlanButtonOfName(PlanKindName(b)), b);
    EXPECT_EQ(PlanButtonOfName(PlanButtonCaption(b)), b);
  }
  EXPECT_EQ(PlanKindName(btn等额本金先付), S("等额本金 - 先付"));
  EXPECT_EQ(PlanKindName(btn等额本金后付), S("等额本金 - 后付"));
  EXPECT_EQ(PlanButtonOfName(S("一次性归还本息")), -1);
}

PlanRowState row(double principal, double interest, const char* start, const char* due) {
  PlanRowState r;
  r.支付期次 = 1;
  r.应付本金 = principal;
  r.应付利息 = interest;
  r.结算状态 = S("未付");
  r.开始日期 = D(start);
  r.约定支付日期 = D(due);
  return r;
}

TEST(FinancingPayment, EarlyPaymentProposals) {
  struct Case {
    const char* name;
    FinancingRates rec;
    PlanRowState row;
    const char* date;
    int days;
    double daily, early, interest, deduction, principal, total;
  };
  // 40000 returned on 01-07 with its 300 of interest: 40000 x 24 days x 0.05 % came off the 1500.
  PlanRowState partPaid = row(100000, 1020, "2024-01-01", "2024-01-31");
  partPaid.拆借本金 = 100000;
  partPaid.已付本金 = 40000;
  partPaid.已付利息 = 300;
  partPaid.提前支取扣款 = 120;
  partPaid.结算状态 = S("支付部分");
  const std::vector<Case> cases = {
      {"daily", {100000, 0.05, S("日"), 0.03}, row(100000, 1500, "2024-01-01", "2024-01-31"), "2024-01-11", 10, 50, 30, 500, 200, 100000, 100300},
      {"monthly", {30000, 1.5, S("月"), 0.9}, row(30000, 450, "2024-01-01", "2024-01-31"), "2024-01-21", 20, 15, 9, 300, 120, 30000, 30180},
      // Cents stay cents: 33333.33 is not cut to whole units.
      {"cents", {100000, 1, S("月"), 0.75}, row(33333.33, 1000, "2024-02-01", "2024-03-01"), "2024-02-11", 10, 33.333333, 25, 333.33, 83.33, 33333.33, 33583.33},
      // Later part of a row already part paid: what the 60000 still held earned since, 9 days.
      {"after_part_payment", {100000, 0.05, S("日"), 0.03}, partPaid, "2024-01-16", 15, 50, 30, 270, 108, 60000, 60162},
      // On the due date: the open remainder, nothing withheld.
      {"part_paid_on_due_date", {100000, 0.05, S("日"), 0.03}, partPaid, "2024-01-31", 30, 50, 30, 720, 0, 60000, 60720},
      {"on_due_date", {100000, 0.05, S("日"), 0.03}, row(100000, 1500, "2024-01-01", "2024-01-31"), "2024-01-31", 30, 50, 30, 1500, 0, 100000, 101500},
      {"before_start", {100000, 0.05, S("日"), 0.03}, row(100000, 1500, "2024-01-10", "2024-01-31"), "2024-01-05", 0, 50, 30, 0, 0, 100000, 100000},
      {"part_paid_on_start_day", {100000, 0.05, S("日"), 0.03}, partPaid, "2024-01-01", 0, 50, 30, 0, 0, 60000, 60000},
      {"no_planned_interest", {100000, 0.05, S("日"), 0.03}, row(100000, 0, "2024-01-01", "2024-01-31"), "2024-01-11", 10, 50, 30, 0, 0, 100000, 100000},
      {"early_rate_above_rate", {100000, 0.03, S("日"), 0.05}, row(100000, 900, "2024-01-01", "2024-01-31"), "2024-01-11", 10, 30, 50, 300, 0, 100000, 100300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PaymentProposal p = ProposeEarlyPayment(c.rec, c.row, D(c.date));
    EXPECT_EQ(p.天数, c.days);
    EXPECT_NEAR(p.日利息, c.daily, 1e-6);
    EXPECT_NEAR(p.提前支取日利息, c.early, 1e-6);
    EXPECT_DOUBLE_EQ(p.利息, c.interest);
    EXPECT_DOUBLE_EQ(p.提前支取扣款, c.deduction);
    EXPECT_DOUBLE_EQ(p.本金, c.principal);
    EXPECT_DOUBLE_EQ(p.应付总额, c.total);
    EXPECT_EQ(p.付款状态, S("已付"));
  }
}

TEST(FinancingPayment, ConfirmationPaysTheOpenRemainder) {
  PlanRowState r = row(33333.33, 1000, "2024-01-01", "2024-02-01");
  PaymentProposal p = ProposePayment(r, D("2024-02-03"));
  EXPECT_DOUBLE_EQ(p.本金, 33333.33);
  EXPECT_DOUBLE_EQ(p.利息, 1000);
  EXPECT_EQ(p.天数, 2);
  EXPECT_EQ(p.付款状态, S("已付"));
  r.已付本金 = 10000.5;
  r.已付利息 = 200;
  r.结算状态 = S("支付部分");
  p = ProposePayment(r, D("2024-01-20"));
  EXPECT_DOUBLE_EQ(p.本金, 23332.83);
  EXPECT_DOUBLE_EQ(p.利息, 800);
  EXPECT_EQ(p.天数, 0);
  EXPECT_DOUBLE_EQ(p.应付总额, 24132.83);
}

TEST(FinancingPayment, RouteStatusAndSettlement) {
  struct Route {
    const char* status;
    const char* today;
    bool early;
    const char* refusal;
  };
  const std::vector<Route> routes = {
      {"已付", "2024-03-10", false, "该期次拆借已付清！"},
      {"已付", "2024-03-09", true, "该期次拆借已付清！"},
      {"未付", "2024-03-09", false, "请使用【提前支取】进行回款操作！"},
      {"未付", "2024-03-09", true, ""},
      {"未付", "2024-03-11", true, "请使用【取款确认】进行回款操作！"},
      {"支付部分", "2024-03-11", false, ""},
      {"未付", "2024-03-10", false, ""},
      {"未付", "2024-03-10", true, ""},
  };
  for (const Route& c : routes) {
    PlanRowState r = row(100, 1, "2024-02-10", "2024-03-10");
    r.结算状态 = S(c.status);
    EXPECT_EQ(PaymentRouteRefusal(r, D(c.today), c.early), S(c.refusal)) << c.status << " " << c.today << " " << c.early;
  }
  EXPECT_EQ(RecordSettlement({S("已付"), S("支付部分")}), S("未付"));
  EXPECT_EQ(RecordSettlement({S("已付"), S("未付")}), S("未付"));
  EXPECT_EQ(RecordSettlement({S("已付"), S("已付")}), S("已完结"));
}

QJsonObject run(const QJsonObject& in, int* status, QString* err) {
  QByteArray out;
  *status = RunCalculation(QJsonDocument(in).toJson(), &out, err);
  return QJsonDocument::fromJson(out).object();
}

TEST(FinancingCalcTool, PlanAndPayments) {
  QJsonObject in{{S("计算"), S("拆借计划")}, {S("本金"), 20000},           {S("利率"), S("2")},
                 {S("利率类别"), S("日")},    {S("提前支取利率"), 1.5},     {S("提成比例"), 0},
                 {S("首尾计息"), 0},          {S("登记日期"), S("2024-01-01")}, {S("起息日期"), S("2024-01-01")},
                 {S("止息日期"), S("2024-01-01")}, {S("客户名称"), S("王投资")}, {S("业务经办"), S("李经办")},
                 {S("支付计划"), S("分期付息-先息")}, {S("分期数"), 2},   {S("周期"), S("月")},
                 {S("首次支付日期"), S("2024-05-10")}};
  int status = -1;
  QString err;
  QJsonObject out = run(in, &status, &err);
  ASSERT_EQ(status, 0) << err.toStdString();
  EXPECT_EQ(out[S("利率类别")].toString(), S("月"));
  EXPECT_EQ(out[S("止息日期")].toString(), S("2024-07-10"));
  EXPECT_DOUBLE_EQ(out[S("利息")].toDouble(), 800);
  EXPECT_DOUBLE_EQ(out[S("已付利息")].toDouble(), 400);
  EXPECT_EQ(out[S("计息天数")].toInt(), 92);
  const QJsonArray rows = out[S("计划行")].toArray();
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0].toObject()[S("结算状态")].toString(), S("已付"));
  EXPECT_EQ(rows[0].toObject()[S("开始日期")].toString(), S("2024-04-10"));
  EXPECT_DOUBLE_EQ(rows[2].toObject()[S("应付本金")].toDouble(), 20000);

  QJsonObject plan{{S("支付期次"), 1},       {S("应付本金"), 100000}, {S("应付利息"), 1500},
                   {S("已付本金"), 0},       {S("已付利息"), 0},      {S("结算状态"), S("未付")},
                   {S("开始日期"), S("2024-01-01")}, {S("约定支付日期"), S("2024-01-31")}};
  QJsonObject early{{S("计算"), S("提前支付")},
                    {S("拆借"), QJsonObject{{S("本金"), 100000}, {S("利率"), 0.05}, {S("利率类别"), S("日")}, {S("提前支取利率"), 0.03}}},
                    {S("计划行"), plan},
                    {S("支付日期"), S("2024-01-11")}};
  out = run(early, &status, &err);
  ASSERT_EQ(status, 0) << err.toStdString();
  EXPECT_DOUBLE_EQ(out[S("利息")].toDouble(), 500);
  EXPECT_DOUBLE_EQ(out[S("提前支取扣款")].toDouble(), 200);
  EXPECT_EQ(out[S("天数")].toInt(), 10);

  // The window's refusals come back as invalid input, with nothing on standard output.
  early[S("支付日期")] = S("2024-02-01");
  out = run(early, &status, &err);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, S("提前支取日期不能晚于约定支付日期！"));
  EXPECT_TRUE(out.isEmpty());
  QJsonObject onTime{{S("计算"), S("支付")}, {S("计划行"), plan}, {S("支付日期"), S("2024-02-02")}};
  out = run(onTime, &status, &err);
  ASSERT_EQ(status, 0);
  EXPECT_DOUBLE_EQ(out[S("本金")].toDouble(), 100000);
  EXPECT_EQ(out[S("天数")].toInt(), 2);

  in[S("利率")] = S("1,5");
  run(in, &status, &err);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, S("利率输入不合法！"));
  in[S("利率")] = 2;
  in[S("支付计划")] = S("等额本息");
  in[S("周期")] = S("年");
  run(in, &status, &err);
  EXPECT_EQ(status, 2);
}
}  // namespace

namespace {
// Checks a built plan: no negative money, principal adding up to the amount, principal in cents,
// interest in whole units.
void expectSoundFinancingPlan(const FinancingPlan& p, double amount, const std::string& what) {
  ASSERT_FALSE(p.rows.empty()) << what;
  long long principal = 0;
  for (const FinancingPlanRow& r : p.rows) {
    ASSERT_GE(r.应付本金, 0) << what << " row " << r.支付期次;
    ASSERT_GE(r.应付利息, 0) << what << " row " << r.支付期次;
    ASSERT_GE(r.拆借本金, 0) << what << " row " << r.支付期次;
    ASSERT_EQ(r.应付本金, Money::round(r.应付本金, 2)) << what << " row " << r.支付期次;
    ASSERT_EQ(r.应付利息, std::round(r.应付利息)) << what << " row " << r.支付期次;
    principal += Money::toCents(r.应付本金);
  }
  ASSERT_EQ(principal, Money::toCents(amount)) << what;
}
}  // namespace

TEST(FinancingPlan, EveryButtonAmountCountAndStartGivesASoundPlan) {
  const double amounts[] = {0.01, 0.05, 0.07, 1005, 99999.99, 999999999.99};
  const int counts[] = {1, 2, 3, 7, 12, 360, 998, 999};
  const QDate starts[] = {D("2024-01-29"), D("2024-01-30"), D("2024-01-31"), D("2024-02-29")};
  int built = 0;
  auto build = [&](int button, double amount, int count, bool monthly, const QDate& first) {
    FinancingTerms t = terms(amount, monthly ? 0.08 : 0.05, monthly ? "月" : "日", "2024-01-10", "2024-01-10");
    t.起息日期 = first;
    t.止息日期 = monthly ? first.addMonths(count) : first.addDays(count);
    const InstalmentOptions o{count, QLatin1Char(monthly ? 'M' : 'D'), first};
    const std::string what = PlanKindName(button).toStdString() + " " + std::to_string(amount) + " x" + std::to_string(count) +
                             (monthly ? "M " : "D ") + first.toString(Qt::ISODate).toStdString();
    try {
      expectSoundFinancingPlan(BuildFinancingPlan(t, button, &o), amount, what);
    } catch (const FinancingInputError& e) {
      FAIL() << what << ": " << e.message().toStdString();
    }
    ++built;
  };
  for (int button = 0; button < kFinancingPlanButtons; ++button)
    for (double amount : amounts)
      for (int count : counts)
        for (bool monthly : {false, true})
          for (const QDate& first : starts) build(button, amount, count, monthly, first);
  for (int button = btn等额本金先付; button <= btn分期付息后息; ++button)
    for (double amount : {0.01, 0.07})
      for (int count = 1; count <= 999; ++count) build(button, amount, count, false, D("2024-01-31"));
  EXPECT_EQ(built, 7 * 6 * 8 * 2 * 4 + 5 * 2 * 999);
}

TEST(FinancingPlan, AmountsRatesAndInterestHaveACeiling) {
  struct Case {
    double amount, rate;
    const char* kind;
    int button, count;
    const char* end;
    const char* message;  // "" when accepted
  };
  const Case cases[] = {
      {1000000000, 1, "月", btn一次性支付本息, 1, "2024-06-10", "借款金额输入不合法！"},
      {999999999.99, 1, "月", btn一次性支付本息, 1, "2024-06-10", ""},
      {1000, 101, "日", btn一次性支付本息, 1, "2024-06-10", "利率输入不合法！"},
      {1000, 200, "月", btn等额本息, 999, "2024-01-10", "利率输入不合法！"},
      {1000, 100, "月", btn等额本息, 999, "2024-01-10", ""},
      {999999999.99, 100, "日", btn一次性支付本息, 1, "2034-01-10", "利息超出系统允许的范围，请检查利率和期限！"},
  };
  for (const Case& c : cases) {
    FinancingTerms t = terms(c.amount, c.rate, c.kind, "2024-01-10", c.end);
    const InstalmentOptions o{c.count, QLatin1Char(S(c.kind) == S("月") ? 'M' : 'D'), D("2024-01-10")};
    QString message;
    try {
      expectSoundFinancingPlan(BuildFinancingPlan(t, c.button, &o), c.amount, "accepted");
    } catch (const FinancingInputError& e) {
      message = e.message();
    }
    EXPECT_EQ(message, S(c.message)) << c.amount << " " << c.rate;
  }
}

TEST(FinancingCalcTool, ThePlanThatEndedOnANegativeRowNowAddsUp) {
  const QJsonObject in = QJsonDocument::fromJson(
                             QByteArray(R"({"计算":"拆借计划","本金":1005,"利率":0.05,"利率类别":"日","提前支取利率":0,"提成比例":0,"首尾计息":0,"登记日期":"2024-01-10","起息日期":"2024-01-10","客户名称":"张三","业务经办":"李四","支付计划":"等额本金 - 后付","分期数":999,"周期":"日","首次支付日期":"2024-01-10"})"))
                             .object();
  int status = -1;
  QString err;
  const QJsonArray rows = run(in, &status, &err)[S("计划行")].toArray();
  ASSERT_EQ(status, 0) << err.toStdString();
  ASSERT_EQ(rows.size(), 999);
  long long cents = 0;
  int lastBearing = 0;
  for (const QJsonValue& v : rows) {
    const QJsonObject r = v.toObject();
    ASSERT_GE(r[S("应付本金")].toDouble(), 0) << r[S("支付期次")].toInt();
    if (r[S("应付本金")].toDouble() == 0) EXPECT_EQ(r[S("应付利息")].toDouble(), 0) << r[S("支付期次")].toInt();
    else lastBearing = r[S("支付期次")].toInt();
    cents += Money::toCents(r[S("应付本金")].toDouble());
  }
  EXPECT_EQ(cents, 100500);
  EXPECT_EQ(lastBearing, 996) << "995 rows of 1.01 and the rest, 0.05";
  EXPECT_DOUBLE_EQ(rows[995].toObject()[S("应付本金")].toDouble(), 0.05);
}

TEST(FinancingPayment, ProposalsNeverExceedWhatIsOpen) {
  // The last row of three: 120,000 at 1 %/month, 400 planned; the early rate halves the day's interest.
  FinancingRates rec{120000, 1, S("月"), 0.5};
  PlanRowState last{3, 120000, 400, 0, 0, 0, S("未付"), D("2024-03-10"), D("2024-04-10"), 31};
  PaymentProposal p = ProposeEarlyPayment(rec, last, D("2024-03-31"));
  EXPECT_DOUBLE_EQ(p.利息, 400) << "840 to the day, at most the 400 planned";
  EXPECT_DOUBLE_EQ(p.提前支取扣款, 200) << "420 to the day, shrunk in the same proportion";
  last.已付利息 = 150;
  last.提前支取扣款 = 50;
  p = ProposeEarlyPayment(rec, last, D("2024-03-31"));
  EXPECT_DOUBLE_EQ(p.利息, 250);
  EXPECT_DOUBLE_EQ(p.提前支取扣款, 125) << "the deduction is the interest's share at (利率 - 提前支取利率) / 利率";
  // A row created paid, or planned at 0, earns nothing early; its 0 proposal still settles it.
  PlanRowState paid{1, 0, 400, 0, 400, 0, S("已付"), D("2024-01-10"), D("2024-02-10"), 31};
  p = ProposeEarlyPayment(rec, paid, D("2024-01-31"));
  EXPECT_EQ(p.利息 + p.提前支取扣款 + p.本金, 0);
  EXPECT_EQ(p.付款状态, S("已付"));
  // The row's open principal counts as at most the record's, and never below 0.
  PlanRowState negative{999, -2.98, 0, 0, 0, 0, S("未付"), D("2024-01-10"), D("2024-01-11"), 1};
  EXPECT_EQ(ProposePayment(negative, D("2024-01-11"), 0).本金, 0);
  PlanRowState big{998, 1.01, 0, 0, 0, 0, S("未付"), D("2024-01-10"), D("2024-01-11"), 1};
  EXPECT_DOUBLE_EQ(ProposePayment(big, D("2024-01-11"), 0.5).本金, 0.5);
  rec.已付本金 = 119999.5;
  EXPECT_DOUBLE_EQ(ProposeEarlyPayment(rec, big, D("2024-01-10")).本金, 0.5);
}

TEST(FinancingPayment, RefusalsDatesAndStatusFromTheAmounts) {
  const PlanRowState row{1, 50000, 1200, 0, 0, 0, S("未付"), D("2024-01-10"), D("2024-02-10"), 31};
  struct Case { double recordOpen, principal, interest; const char* message; };
  for (const Case& c : {Case{90000, 50000, 1200, ""}, Case{90000, 50000.01, 0, "支付本金不能大于未付本金！"},
                        Case{40000, 50000, 0, "支付本金不能大于该笔融资的未付本金！"},
                        Case{90000, 10000, 1200.01, "支付利息不能大于应付利息！"}})
    EXPECT_EQ(FinancingPaymentRefusal(row, c.recordOpen, c.principal, c.interest), S(c.message)) << c.principal;
  PaymentProposal early;
  early.本金 = 50000;
  early.利息 = 1200;
  early.提前支取扣款 = 300;
  EXPECT_EQ(FinancingEarlyPaymentRefusal(early, 10000, 99999, 0), S("支付利息不能大于应付利息！"));
  EXPECT_EQ(FinancingEarlyPaymentRefusal(early, 10000, 1200, 300.01), S("扣除利息不能大于应扣利息！"));
  EXPECT_EQ(FinancingEarlyPaymentRefusal(early, 50000.01, 0, 0), S("支付本金不能大于未付本金！"));
  EXPECT_EQ(FinancingEarlyPaymentRefusal(early, 0, 0, 0), QString());
  EXPECT_EQ(FinancingEarlyDateRefusal(row, D("2024-02-11")), S("提前支取日期不能晚于约定支付日期！"));
  EXPECT_EQ(FinancingEarlyDateRefusal(row, D("2024-02-10")), QString());
  // A surplus in one part never closes the other.
  EXPECT_EQ(FinancingRowStatus(10000, 50000, 50000, 1200), S("支付部分"));
  EXPECT_EQ(FinancingRowStatus(50000, 50000, 1199.99, 1200), S("支付部分"));
  EXPECT_EQ(FinancingRowStatus(49999.996, 50000, 1200, 1200), S("已付"));
  EXPECT_EQ(FinancingRowStatus(0, 0, 0, 0), S("已付"));
}

TEST(FinancingCalcTool, RefusesAnEarlyDateAfterTheDueDate) {
  const QJsonObject early{{S("计算"), S("提前支付")},
                          {S("拆借"), QJsonObject{{S("本金"), 100000}, {S("利率"), 0.05}, {S("利率类别"), S("日")}}},
                          {S("计划行"), QJsonObject{{S("支付期次"), 1}, {S("应付本金"), 100000}, {S("应付利息"), 1500},
                                                   {S("结算状态"), S("未付")}, {S("开始日期"), S("2024-01-01")},
                                                   {S("约定支付日期"), S("2024-01-31")}}},
                          {S("支付日期"), S("2024-02-01")}};
  int status = -1;
  QString err;
  run(early, &status, &err);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, S("提前支取日期不能晚于约定支付日期！"));
}

TEST(MoneyRounding, LargeValuesMoveByNoMoreThanTheRoundingAsks) {
  EXPECT_EQ(Money::round(2.675, 2), 2.68);
  EXPECT_EQ(Money::round(-2.675, 2), -2.68);
  EXPECT_EQ(Money::round(98765432109876.19, 2), 98765432109876.19);
  EXPECT_EQ(Money::format(999999999999999), S("999999999999999.00"));
  EXPECT_EQ(Money::round(12345678901.234, 2), 12345678901.23);
  const double values[] = {0.1, 0.2, 999999999.99, 999999999.99};
  EXPECT_EQ(Money::sumCents(values, 4), 2000000000.28);
}

TEST(FinancingPlan, BothEndsAddTheExtraDayOnceToTheFirstPeriod) {
  // 1000 at 1 % a day (a month for monthly periods), 3 periods from 2024-03-01: each plan with and
  // without 首尾计息. Only the first row gains the day; with daily periods its interest grows by one
  // day on the whole 1000 and no other row's changes (等额本息 moves its later split, so only days).
  for (int button = btn等额本金先付; button <= btn分期付息后息; ++button) {
    for (const char unit : {'D', 'M'}) {
      SCOPED_TRACE(PlanKindName(button).toStdString() + " " + unit);
      const InstalmentOptions o{3, QLatin1Char(unit), D("2024-03-01")};
      const char* kind = unit == 'D' ? "日" : "月";
      const FinancingPlan plain = BuildFinancingPlan(terms(1000, 1, kind, "2024-03-01", "2024-03-01"), button, &o);
      const FinancingPlan both = BuildFinancingPlan(terms(1000, 1, kind, "2024-03-01", "2024-03-01", true), button, &o);
      ASSERT_EQ(both.rows.size(), plain.rows.size());
      EXPECT_EQ(both.计息天数, plain.计息天数 + 1);
      for (size_t i = 0; i < both.rows.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(both.rows[i].开始日期, plain.rows[i].开始日期);
        EXPECT_EQ(both.rows[i].计息天数, plain.rows[i].计息天数 + (i == 0 ? 1 : 0));
        if (button == btn等额本息) continue;
        const double extra = (i == 0 && unit == 'D') ? 10 : 0;
        EXPECT_DOUBLE_EQ(both.rows[i].应付利息, plain.rows[i].应付利息 + extra);
      }
    }
  }
  // The case as reported: the row repeating the first period gets 1 day and 10, not 2 days and 20.
  const InstalmentOptions two{2, QLatin1Char('D'), D("2024-03-01")};
  const FinancingPlan p = BuildFinancingPlan(terms(1000, 1, "日", "2024-03-01", "2024-03-01", true), btn等额本金先付, &two);
  ASSERT_EQ(p.rows.size(), 3u);
  EXPECT_EQ(p.rows[1].计息天数, 1);
  EXPECT_DOUBLE_EQ(p.rows[1].应付利息, 10);
  EXPECT_DOUBLE_EQ(p.利息, 30);
}

// One early payment (or, with `onTime`, a payment confirmation) through the tool, on the row the
// step before left.
struct EarlyStep {
  const char* date;
  bool onTime;
  double principal, interest, deduction;  // typed; < 0: the proposal's
  // the proposal
  double proposedPrincipal, proposedInterest, proposedDeduction;
  // the row as the save leaves it (early payments with an amount typed)
  double planned, paidPrincipal, paidInterest, withheld;
  const char* status;
};
struct EarlyScenario {
  const char* name;
  QJsonObject record;
  QJsonObject row;
  std::vector<EarlyStep> steps;
};

QJsonObject financingRecord(double principal, double rate, const char* kind, double earlyRate) {
  return {{S("本金"), principal}, {S("利率"), rate}, {S("利率类别"), S(kind)}, {S("提前支取利率"), earlyRate}, {S("已付本金"), 0}};
}
QJsonObject planRowJson(double owed, double principal, double interest, const char* start, const char* due) {
  return {{S("支付期次"), 1},       {S("拆借本金"), owed},      {S("应付本金"), principal}, {S("应付利息"), interest},
          {S("已付本金"), 0},       {S("已付利息"), 0},         {S("提前支取扣款"), 0},    {S("结算状态"), S("未付")},
          {S("开始日期"), S(start)}, {S("约定支付日期"), S(due)}};
}

TEST(FinancingCalcTool, PrincipalReturnedEarlyStopsEarning) {
  // 100000 at 0.05 %/day, early rate 0.025, 03-01 to 04-30: 3000 planned.
  const QJsonObject daily = financingRecord(100000, 0.05, "日", 0.025);
  const QJsonObject dailyRow = planRowJson(100000, 100000, 3000, "2024-03-01", "2024-04-30");
  const EarlyStep returns60000{"2024-03-21", false, 60000, -1, -1, 100000, 1000, 500, 1800, 60000, 1000, 500, "支付部分"};
  const std::vector<EarlyScenario> scenarios = {
      {"rest_early", daily, dailyRow,
       {returns60000, {"2024-04-10", false, 40000, -1, -1, 40000, 400, 200, 1400, 100000, 1400, 700, "已付"}}},
      {"rest_confirmed", daily, dailyRow, {returns60000, {"2024-04-30", true, -1, -1, -1, 40000, 800, 0, 0, 0, 0, 0, ""}}},
      {"rest_early_on_due_date", daily, dailyRow,
       {returns60000, {"2024-04-30", false, -1, 800, -1, 40000, 800, 0, 1800, 100000, 1800, 500, "已付"}}},
      // All the principal, 900 of the 1000: 2000 comes off, 100 stays open (the waiver's question).
      {"short_interest", daily, dailyRow,
       {{"2024-03-21", false, 100000, 900, 500, 100000, 1000, 500, 1000, 100000, 900, 500, "支付部分"},
        {"2024-04-30", true, -1, -1, -1, 0, 100, 0, 0, 0, 0, 0, ""}}},
      // 90000 at 1.5 %/month over three plan months (4050; 91 days, 0.05 % a day): the second proposal
      // is 45 above the 30 days' 900, the day the plan's months do not count.
      {"monthly_two_returns", financingRecord(90000, 1.5, "月", 0.9), planRowJson(90000, 90000, 4050, "2024-01-01", "2024-04-01"),
       {{"2024-01-21", false, 30000, -1, -1, 90000, 900, 360, 2985, 30000, 900, 360, "支付部分"},
        {"2024-02-20", false, 30000, -1, -1, 60000, 855, 342, 2370, 60000, 1755, 702, "支付部分"},
        {"2024-04-01", true, -1, -1, -1, 30000, 615, 0, 0, 0, 0, 0, ""}}},
      // The principal row of 分期付息-后息 (拆借本金 0): what it still holds is its 应付本金.
      {"interest_plan_principal_row", financingRecord(60000, 1, "月", 0.5), planRowJson(0, 60000, 600, "2024-02-01", "2024-03-01"),
       {{"2024-02-11", false, 20000, -1, -1, 60000, 200, 100, 473.33, 20000, 200, 100, "支付部分"},
        {"2024-02-21", false, 40000, -1, -1, 40000, 153.33, 76.67, 353.33, 60000, 353.33, 176.67, "已付"}}},
      // Returned before the period begins (the third row of 90000 等额本金 - 后付 from 2026-12-01): each
      // return takes its whole share of the 300 off and earns nothing.
      {"monthly_before_the_period", financingRecord(90000, 1, "月", 0.5), planRowJson(30000, 30000, 300, "2027-02-01", "2027-03-01"),
       {{"2027-01-10", false, 10000, -1, -1, 30000, 0, 0, 200, 10000, 0, 0, "支付部分"},
        {"2027-01-15", false, 20000, -1, -1, 20000, 0, 0, 0, 30000, 0, 0, "已付"}}},
      // A share of what the row planned, not of what is left of it: 100 each time, on the start day too.
      {"monthly_thirds_up_to_the_start", financingRecord(90000, 1, "月", 0.5), planRowJson(30000, 30000, 300, "2027-02-01", "2027-03-01"),
       {{"2027-01-10", false, 10000, -1, -1, 30000, 0, 0, 200, 10000, 0, 0, "支付部分"},
        {"2027-02-01", false, 10000, -1, -1, 20000, 0, 0, 100, 20000, 0, 0, "支付部分"},
        {"2027-02-01", false, 10000, -1, -1, 10000, 0, 0, 0, 30000, 0, 0, "已付"}}},
      // 首尾计息's extra day goes with the rest: 61 days at 0.05 %/day, 3050.
      {"daily_both_ends_before_the_period", daily, planRowJson(100000, 100000, 3050, "2024-03-01", "2024-04-30"),
       {{"2024-02-20", false, 40000, -1, -1, 100000, 0, 0, 1830, 40000, 0, 0, "支付部分"},
        {"2024-02-25", false, 60000, -1, -1, 60000, 0, 0, 0, 100000, 0, 0, "已付"}}},
  };
  for (const EarlyScenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    QJsonObject record = sc.record, row = sc.row;
    for (const EarlyStep& st : sc.steps) {
      SCOPED_TRACE(st.date);
      QJsonObject in{{S("计算"), S(st.onTime ? "支付" : "提前支付")}, {S("拆借"), record}, {S("计划行"), row}, {S("支付日期"), S(st.date)}};
      const struct {
        const char* key;
        double value;
      } typed[] = {{"支付本金", st.principal}, {"支付利息", st.interest}, {"扣除利息", st.deduction}};
      for (const auto& t : typed)
        if (t.value >= 0) in[S(t.key)] = t.value;
      int status = -1;
      QString err;
      const QJsonObject out = run(in, &status, &err);
      ASSERT_EQ(status, 0) << err.toStdString();
      EXPECT_DOUBLE_EQ(out[S("本金")].toDouble(), st.proposedPrincipal);
      EXPECT_DOUBLE_EQ(out[S("利息")].toDouble(), st.proposedInterest);
      EXPECT_DOUBLE_EQ(out[S("提前支取扣款")].toDouble(), st.proposedDeduction);
      if (st.onTime) {
        EXPECT_FALSE(out.contains(S("保存后计划行")));
        continue;
      }
      ASSERT_TRUE(out.contains(S("保存后计划行")));
      const QJsonObject saved = out[S("保存后计划行")].toObject();
      EXPECT_DOUBLE_EQ(saved[S("应付利息")].toDouble(), st.planned);
      EXPECT_DOUBLE_EQ(saved[S("已付本金")].toDouble(), st.paidPrincipal);
      EXPECT_DOUBLE_EQ(saved[S("已付利息")].toDouble(), st.paidInterest);
      EXPECT_DOUBLE_EQ(saved[S("提前支取扣款")].toDouble(), st.withheld);
      EXPECT_EQ(saved[S("结算状态")].toString(), S(st.status));
      EXPECT_EQ(saved[S("支付日期")].toString(), S(st.date));
      EXPECT_EQ(saved[S("开始日期")], row[S("开始日期")]) << "the rest of the row as given";
      row = saved;
      record[S("已付本金")] = record[S("已付本金")].toDouble() + saved[S("已付本金")].toDouble() - in[S("计划行")].toObject()[S("已付本金")].toDouble();
    }
  }
}

TEST(FinancingPayment, WaiverOffersWhatTheFullPrincipalLeavesOpen) {
  const FinancingRates rec{100000, 0.05, S("日"), 0.025};
  PlanRowState r{1, 100000, 3000, 0, 0, 0, S("未付"), D("2024-03-01"), D("2024-04-30"), 60, 100000};
  const PaymentProposal p = ProposeEarlyPayment(rec, r, D("2024-03-21"));
  struct Case {
    double principal, interest;
    double waivable;
  };
  // Only all the principal with less interest than proposed; 3000 - 100000 x 40 x 0.05 % - paid.
  for (const Case& c : {Case{100000, 900, 100}, Case{100000, 0, 1000}, Case{100000, 1000, 0}, Case{99999.99, 900, 0}})
    EXPECT_DOUBLE_EQ(EarlyPaymentWaivable(rec, r, p, D("2024-03-21"), c.principal, c.interest, 0), c.waivable)
        << c.principal << " " << c.interest;
  // The tool refuses what the window refuses.
  QJsonObject in{{S("计算"), S("提前支付")},
                 {S("拆借"), financingRecord(100000, 0.05, "日", 0.025)},
                 {S("计划行"), planRowJson(100000, 100000, 3000, "2024-03-01", "2024-04-30")},
                 {S("支付日期"), S("2024-03-21")},
                 {S("扣除利息"), 500.01}};
  int status = -1;
  QString err;
  EXPECT_TRUE(run(in, &status, &err).isEmpty());
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, S("扣除利息不能大于应扣利息！"));
  in[S("扣除利息")] = 500;
  // Each typed amount as its box takes it: a third decimal or more than the ceiling is refused with
  // the box's label, not rounded into another amount.
  const struct {
    const char* box;
    QJsonValue typed;
  } bad[] = {{"支付利息", S("1.2.3")},        {"支付利息", 100.999},         {"支付本金", 60000.001},
             {"支付本金", S("60000.005")},     {"扣除利息", 0.001},           {"支付本金", 1000000000.0}};
  for (const auto& b : bad) {
    QJsonObject typed = in;
    typed[S(b.box)] = b.typed;
    run(typed, &status, &err);
    EXPECT_EQ(status, 2) << b.box;
    EXPECT_EQ(err, S(b.box) + S("输入不合法！")) << b.typed.toVariant().toString().toStdString();
  }
  const QJsonObject out = run(in, &status, &err);
  ASSERT_EQ(status, 0);
  EXPECT_FALSE(out.contains(S("保存后计划行"))) << "only a principal or an interest asks for the saved row";
}
