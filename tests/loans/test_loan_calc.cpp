// Interest and plans of the loan registration, without window or database.
#include <gtest/gtest.h>

#include <cmath>

#include "loans/LoanCalc.h"

using namespace LoanCalc;

namespace {

QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }

LoanTerms terms(double amount, double rate, const QString& type, const char* start, const char* end, bool bothEnds = false,
                double overdue = 0) {
  LoanTerms t;
  t.amount = amount;
  t.rate = rate;
  t.overdueRate = overdue;
  t.rateType = type;
  t.bothEnds = bothEnds;
  t.registered = D(start);
  t.start = D(start);
  t.end = D(end);
  t.customer = QStringLiteral("张三");
  t.handler = QStringLiteral("李四");
  return t;
}

}  // namespace

TEST(LoanInterest, ByDayAndByMonth) {
  struct Case {
    const char* what;
    LoanTerms t;
    int days, factor;
    double dailyRate, interest, overdueDaily;
  };
  const Case cases[] = {
      {"10 days at 0.05% a day", terms(100000, 0.05, kDaily, "2024-01-01", "2024-01-11", false, 0.075), 10, 1, 0.0005, 500, 0.00075},
      {"both ends: today to tomorrow is 2 days", terms(10000, 0.1, kDaily, "2024-01-01", "2024-01-02", true), 2, 1, 0.001, 20, 0},
      {"rounded to the cent, half up", terms(12345.67, 0.05, kDaily, "2024-01-01", "2024-01-04"), 3, 1, 0.0005, 18.52, 0},
      {"month boundary 01-31 to 02-01 is a month", terms(100000, 2, kMonthly, "2024-01-31", "2024-02-01", false, 3), 1, 1, 0.000667, 2000, 0.001},
      {"same calendar month: no month", terms(100000, 2, kMonthly, "2024-01-01", "2024-01-31"), 30, 0, 0, 0, 0},
      {"three months: three times the daily rate", terms(100000, 2, kMonthly, "2024-01-15", "2024-04-15"), 91, 3, 0.002, 6000, 0},
      {"both ends: months run to the day after the end", terms(100000, 2, kMonthly, "2024-01-01", "2024-01-31", true), 31, 1, 0.000667, 2000, 0},
      {"any other rate type is monthly", terms(50000, 1.5, QString(), "2024-03-10", "2024-05-10"), 61, 2, 0.001, 1500, 0},
      {"daily rate under half a millionth becomes 0", terms(100000, 0.001, kMonthly, "2024-01-10", "2024-02-10"), 31, 1, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Interest r = LoanInterest(c.t);
    EXPECT_EQ(r.days, c.days);
    EXPECT_EQ(r.factor, c.factor);
    EXPECT_NEAR(r.dailyRate, c.dailyRate, 1e-9);
    EXPECT_NEAR(r.interest, c.interest, 1e-9);
    EXPECT_NEAR(r.overdueDailyRate, c.overdueDaily, 1e-9);
  }
}

TEST(LoanInterest, PeriodInterestOnItsPrincipal) {
  const LoanTerms t = terms(0, 2, kMonthly, "2024-01-01", "2024-01-01");
  const Interest m = PeriodInterest(t, D("2024-05-31"), D("2024-06-30"), 100000, false);
  EXPECT_EQ(m.factor, 1);
  EXPECT_NEAR(m.interest, 2000, 1e-9);
  EXPECT_NEAR(m.dailyRate, 0.000667, 1e-9);
  const LoanTerms d = terms(0, 0.05, kDaily, "2024-01-01", "2024-01-01");
  EXPECT_NEAR(PeriodInterest(d, D("2024-01-01"), D("2024-01-11"), 100000, false).interest, 500, 1e-9);
  EXPECT_NEAR(PeriodInterest(d, D("2024-01-01"), D("2024-01-11"), 100000, true).interest, 550, 1e-9);
  // A period on no principal (nothing outstanding) divides by nothing.
  EXPECT_EQ(PeriodInterest(t, D("2024-01-01"), D("2024-02-01"), 0, false).dailyRate, 0);
  EXPECT_NEAR(DailyFraction(kMonthly, 2), 0.000667, 1e-12);
  EXPECT_NEAR(DailyFraction(kDaily, 0.05), 0.0005, 1e-12);
}

namespace {
struct Row {
  const char* start;
  const char* due;
  double base, principal, interest;
  const char* status;
  int days;
};

void expectRows(const Plan& p, const std::vector<Row>& rows) {
  ASSERT_EQ(p.rows.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i + 1);
    const PlanRow& r = p.rows[i];
    EXPECT_EQ(r.period, static_cast<int>(i) + 1);
    EXPECT_EQ(r.start, D(rows[i].start));
    EXPECT_EQ(r.due, D(rows[i].due));
    EXPECT_NEAR(r.principalBase, rows[i].base, 1e-9);
    EXPECT_NEAR(r.principalDue, rows[i].principal, 1e-9);
    EXPECT_NEAR(r.interestDue, rows[i].interest, 1e-9);
    EXPECT_EQ(r.status, QString::fromUtf8(rows[i].status));
    EXPECT_NEAR(r.paidInterest, r.status == QStringLiteral("已还") ? r.interestDue : 0, 1e-9);
    EXPECT_EQ(r.paidPrincipal, 0);
    EXPECT_EQ(r.days, rows[i].days);
  }
}
}  // namespace

TEST(LoanPlan, EveryButtonBuildsItsRows) {
  struct Case {
    const char* what;
    int button;
    LoanTerms t;
    Instalments inst;
    const char* name;
    double prepaid;
    std::vector<Row> rows;
  };
  const Instalments none{};
  const std::vector<Case> cases = {
      {"one-time, principal and interest at the end", OnceAll, terms(100000, 0.05, kDaily, "2024-01-01", "2024-01-11"), none,
       "一次性归还本息", 0, {{"2024-01-01", "2024-01-11", 100000, 100000, 500, "未还", 10}}},
      {"one-time, interest taken at registration", OncePrepaid, terms(100000, 2, kMonthly, "2024-01-05", "2024-04-05"), none,
       "一次性先付利息", 6000,
       {{"2024-01-05", "2024-01-05", 0, 0, 6000, "已还", 91}, {"2024-01-05", "2024-04-05", 100000, 100000, 0, "未还", 0}}},
      {"equal principal in arrears: month ends drift, the last row takes the remainder", EqualPrincipalArrears,
       terms(100000, 1, kMonthly, "2024-01-01", "2024-01-01"), {3, true, D("2024-01-31")}, "等额本金 - 后付", 0,
       {{"2024-01-31", "2024-02-29", 100000, 33333.33, 1000, "未还", 29},
        {"2024-02-29", "2024-03-29", 66666.67, 33333.33, 666.67, "未还", 29},
        {"2024-03-29", "2024-04-29", 33333.34, 33333.34, 333.33, "未还", 31}}},
      {"equal principal ahead: interest one period early, a closing row", EqualPrincipalAhead,
       terms(90000, 1, kMonthly, "2024-01-01", "2024-01-01"), {3, true, D("2024-03-15")}, "等额本金 - 先付", 900,
       {{"2024-03-15", "2024-04-15", 90000, 0, 900, "已还", 31},
        {"2024-04-15", "2024-05-15", 90000, 30000, 900, "未还", 30},
        {"2024-05-15", "2024-06-15", 60000, 30000, 600, "未还", 31},
        {"2024-06-15", "2024-07-15", 30000, 30000, 0, "未还", 30}}},
      {"interest ahead: first row ends on the first date, principal a period after the last", InterestAhead,
       terms(100000, 2, kMonthly, "2024-01-01", "2024-01-01"), {2, true, D("2024-03-15")}, "分期付息-先息", 2000,
       {{"2024-02-15", "2024-03-15", 100000, 0, 2000, "已还", 29},
        {"2024-03-15", "2024-04-15", 100000, 0, 2000, "未还", 31},
        {"2024-04-15", "2024-05-15", 100000, 100000, 0, "未还", 31}}},
      {"interest in arrears by day over 29 February, both ends counted once", InterestArrears,
       terms(10000, 0.1, kDaily, "2024-01-01", "2024-01-01", true), {3, false, D("2024-02-28")}, "分期付息-后息", 0,
       {{"2024-02-28", "2024-02-29", 10000, 0, 20, "未还", 2},
        {"2024-02-29", "2024-03-01", 10000, 0, 10, "未还", 1},
        {"2024-03-01", "2024-03-02", 10000, 10000, 10, "未还", 1}}},
      {"equal instalments at rate 0: amount / count, the last row the remainder", EqualInstalment,
       terms(100000, 0, kMonthly, "2024-01-01", "2024-01-01"), {3, true, D("2023-12-31")}, "等额本息", 0,
       {{"2023-12-31", "2024-01-31", 100000, 33333.33, 0, "未还", 31},
        {"2024-01-31", "2024-02-29", 66666.67, 33333.33, 0, "未还", 29},
        {"2024-02-29", "2024-03-29", 33333.34, 33333.34, 0, "未还", 29}}},
      {"equal principal ahead, one period: the prepaid row and the principal row", EqualPrincipalAhead,
       terms(5000, 0.2, kDaily, "2024-01-01", "2024-01-01"), {1, false, D("2023-02-28")}, "等额本金 - 先付", 10,
       {{"2023-02-28", "2023-03-01", 5000, 0, 10, "已还", 1}, {"2023-03-01", "2023-03-02", 5000, 5000, 0, "未还", 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(CheckTerms(c.t, c.button, c.inst));
    const Plan p = BuildPlan(c.button, c.t, c.inst);
    EXPECT_EQ(p.name, QString::fromUtf8(c.name));
    EXPECT_NEAR(p.prepaid, c.prepaid, 1e-9);
    expectRows(p, c.rows);
    EXPECT_NEAR(p.totalPrincipal(), c.t.amount, 1e-9);
    EXPECT_EQ(p.end, p.rows.back().due);
    for (const PlanRow& r : p.rows) EXPECT_EQ(r.businessDate, c.t.registered);
  }
}

TEST(LoanPlan, EqualInstalmentsAreEqualToTheCent) {
  const Plan p = BuildPlan(EqualInstalment, terms(12000, 1, kMonthly, "2024-01-01", "2024-01-01"), {12, true, D("2024-01-10")});
  ASSERT_EQ(p.rows.size(), 12u);
  EXPECT_NEAR(p.rows[0].interestDue, 120, 1e-9);
  EXPECT_NEAR(p.rows[0].principalDue, 946.19, 1e-9);  // instalment 1066.19 less the interest
  double outstanding = 12000;
  for (size_t k = 0; k < p.rows.size(); ++k) {
    const PlanRow& r = p.rows[k];
    EXPECT_NEAR(r.principalBase, outstanding, 1e-6);
    EXPECT_NEAR(r.interestDue, outstanding / 100, 0.005 + 1e-9);
    if (k + 1 < p.rows.size()) EXPECT_NEAR(r.principalDue + r.interestDue, 1066.19, 1e-6) << "row " << k + 1;
    if (k > 0) EXPECT_GT(r.principalDue, p.rows[k - 1].principalDue);
    outstanding -= r.principalDue;
  }
  EXPECT_NEAR(outstanding, 0, 1e-6);
  EXPECT_NEAR(p.totalPrincipal(), 12000, 1e-9);
}

TEST(LoanPlan, NineHundredNinetyNineDailyRowsAddUp) {
  const Plan p =
      BuildPlan(EqualPrincipalArrears, terms(100000, 0.03, kDaily, "2024-01-01", "2024-01-01"), {999, false, D("2024-01-01")});
  ASSERT_EQ(p.rows.size(), 999u);
  EXPECT_NEAR(p.rows.front().principalDue, 100.10, 1e-9);
  EXPECT_NEAR(p.rows.back().principalDue, 100000 - 998 * 100.10, 1e-6);
  EXPECT_EQ(p.rows.back().due, D("2024-01-01").addDays(999));
  EXPECT_EQ(p.totalDays(), 999);
  EXPECT_NEAR(p.totalPrincipal(), 100000, 1e-9);
  for (const PlanRow& r : p.rows) {
    EXPECT_NEAR(r.interestDue, r.principalBase * 0.0003, 0.005 + 1e-9);
    EXPECT_GE(r.principalDue, 0);
  }
}

TEST(LoanPlan, TotalsAndWorkingValues) {
  // The loan's 计息天数 and 利息 are the plan's sums, the prepaid row included.
  const Plan p = BuildPlan(InterestAhead, terms(100000, 2, kMonthly, "2024-01-01", "2024-01-01"), {2, true, D("2024-03-15")});
  EXPECT_EQ(p.totalDays(), 29 + 31 + 31);
  EXPECT_NEAR(p.totalInterest(), 4000, 1e-9);
  EXPECT_EQ(p.working.factor, 1);
  EXPECT_NEAR(p.working.dailyRate, 0.000667, 1e-9);
  EXPECT_EQ(p.rateType, kMonthly);

  // The periods take the rate type of the unit chosen in the dialog.
  const Plan byDay = BuildPlan(InterestArrears, terms(1000, 0.1, kMonthly, "2024-01-01", "2024-01-01"), {2, false, D("2024-01-01")});
  EXPECT_EQ(byDay.rateType, kDaily);
  EXPECT_NEAR(byDay.rows[0].interestDue, 1, 1e-9);

  // 展期 builds nothing.
  EXPECT_TRUE(BuildPlan(Extension, terms(1000, 1, kDaily, "2024-01-01", "2024-01-05")).rows.empty());
  EXPECT_EQ(PlanName(Extension), QString());
  for (int b = OnceAll; b <= InterestArrears; ++b) EXPECT_EQ(ButtonOfPlanName(PlanName(b)), b);
}

TEST(LoanPlan, CheckTermsRefusesBadInput) {
  struct Case {
    const char* what;
    int button;
    LoanTerms t;
    Instalments inst;
    std::optional<Field> field;
    const char* message;
  };
  auto with = [](LoanTerms t, auto change) {
    change(t);
    return t;
  };
  const LoanTerms ok = terms(10000, 0.1, kDaily, "2024-01-01", "2024-01-31");
  const Instalments monthly3{3, true, D("2024-02-01")};
  const std::vector<Case> cases = {
      {"no borrower", OnceAll, with(ok, [](LoanTerms& t) { t.customer.clear(); }), {}, Field::Borrower, "请先选择借款客户！"},
      {"amount 0", OnceAll, with(ok, [](LoanTerms& t) { t.amount = 0; }), {}, Field::Amount, "借款金额必须大于0！"},
      {"negative rate", OnceAll, with(ok, [](LoanTerms& t) { t.rate = -1; }), {}, Field::Rate, "利率输入不合法！"},
      {"negative overdue rate", OnceAll, with(ok, [](LoanTerms& t) { t.overdueRate = -1; }), {}, Field::OverdueRate, "逾期利率输入不合法！"},
      {"no handler", OnceAll, with(ok, [](LoanTerms& t) { t.handler = QStringLiteral("  "); }), {}, Field::Handler, "业务经办不能为空！"},
      {"end before start", OncePrepaid, with(ok, [](LoanTerms& t) { t.end = D("2023-12-31"); }), {}, Field::EndDate, "止息日期必须晚于起息日期！"},
      {"end on start", OnceAll, with(ok, [](LoanTerms& t) { t.end = t.start; }), {}, Field::EndDate, "止息日期必须晚于起息日期！"},
      {"end on start counts one day with both ends", OnceAll, with(ok, [](LoanTerms& t) { t.end = t.start; t.bothEnds = true; }), {}, std::nullopt, ""},
      {"a monthly one-time plan of 0 months", OnceAll, with(ok, [](LoanTerms& t) { t.rateType = kMonthly; }), {}, Field::EndDate,
       "按月计息的期限不足一个月，请调整止息日期！"},
      {"a month with both ends counted", OncePrepaid, with(ok, [](LoanTerms& t) { t.rateType = kMonthly; t.end = D("2024-01-31"); t.bothEnds = true; }), {},
       std::nullopt, ""},
      {"instalments ignore the end date", EqualInstalment, with(ok, [](LoanTerms& t) { t.end = D("2023-01-01"); }), monthly3, std::nullopt, ""},
      {"0 periods", EqualInstalment, ok, {0, true, D("2024-02-01")}, Field::Count, "分期数必须在1到999之间！"},
      {"1000 periods", InterestArrears, ok, {1000, false, D("2024-02-01")}, Field::Count, "分期数必须在1到999之间！"},
      {"no first date", InterestAhead, ok, {3, true, QDate()}, Field::FirstDate, "首次归还日期输入不合法！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto problem = CheckTerms(c.t, c.button, c.inst);
    ASSERT_EQ(problem.has_value(), c.field.has_value());
    if (!problem) continue;
    EXPECT_EQ(problem->field, *c.field);
    EXPECT_EQ(problem->message, QString::fromUtf8(c.message));
  }
}

namespace {

bool inCents(double v) { return std::fabs(v * 100 - std::round(v * 100)) < 1e-6 * std::max(1.0, std::fabs(v)); }

// Checks a built plan: no negative money, principal adding up to the amount, values in cents.
void expectSoundPlan(const Plan& p, double amount, const std::string& what) {
  ASSERT_FALSE(p.rows.empty()) << what;
  long long principal = 0;
  for (const PlanRow& r : p.rows) {
    ASSERT_GE(r.principalDue, 0) << what << " row " << r.period;
    ASSERT_GE(r.interestDue, 0) << what << " row " << r.period;
    ASSERT_GE(r.principalBase, 0) << what << " row " << r.period;
    ASSERT_TRUE(inCents(r.principalDue) && inCents(r.interestDue)) << what << " row " << r.period;
    // A row after the amount is used up carries nothing.
    if (r.principalBase == 0 && r.principalDue == 0 && p.button != OncePrepaid && p.button != InterestAhead &&
        p.button != InterestArrears)
      ASSERT_EQ(r.interestDue, 0) << what << " row " << r.period;
    principal += std::llround(r.principalDue * 100);
  }
  ASSERT_EQ(principal, std::llround(amount * 100)) << what;
}

std::string describe(int button, double amount, int count, bool monthly, const QDate& first) {
  return PlanName(button).toStdString() + " " + std::to_string(amount) + " x" + std::to_string(count) + (monthly ? "M " : "D ") +
         first.toString(Qt::ISODate).toStdString();
}

}  // namespace

TEST(LoanPlan, EveryButtonAmountCountAndStartGivesASoundPlan) {
  const double amounts[] = {0.01, 0.05, 0.07, 1005, 99999.99, 999999999.99};
  const int counts[] = {1, 2, 3, 7, 12, 360, 998, 999};
  const QDate starts[] = {D("2024-01-29"), D("2024-01-30"), D("2024-01-31"), D("2024-02-29")};
  int built = 0;
  auto build = [&](int button, double amount, int count, bool monthly, const QDate& first, bool check = true) {
    // Rates low enough that 999 periods of the largest amount stay under the interest ceiling.
    LoanTerms t = terms(amount, monthly ? 0.08 : 0.05, monthly ? kMonthly : kDaily, "2024-01-10", "2024-01-10");
    t.start = first;
    t.end = monthly ? first.addMonths(count) : first.addDays(count);
    const Instalments inst{count, monthly, first};
    const std::string what = describe(button, amount, count, monthly, first);
    if (check) {
      const auto problem = CheckTerms(t, button, inst);
      ASSERT_FALSE(problem.has_value()) << what << ": " << problem->message.toStdString();
    }
    expectSoundPlan(BuildPlan(button, t, inst), amount, what);
    ++built;
  };
  for (int button = OnceAll; button <= InterestArrears; ++button)
    for (double amount : amounts)
      for (int count : counts)
        for (bool monthly : {false, true})
          for (const QDate& first : starts) build(button, amount, count, monthly, first);
  // Every count for the amounts that split worst.
  for (int button = EqualPrincipalAhead; button <= InterestArrears; ++button)
    for (double amount : {0.01, 0.07})
      for (int count = 1; count <= 999; ++count) build(button, amount, count, false, D("2024-01-31"), false);
  EXPECT_EQ(built, 7 * 6 * 8 * 2 * 4 + 5 * 2 * 999);
}

TEST(LoanPlan, AmountsRatesAndInterestHaveACeiling) {
  struct Case {
    double amount, rate;
    const char* type;
    int button, count;
    const char* end;
    const char* message;  // "" when accepted
  };
  const Case cases[] = {
      {1000000000, 1, "月", OnceAll, 0, "2024-06-10", "借款金额输入不合法！"},
      {999999999.99, 1, "月", OnceAll, 0, "2024-06-10", ""},
      {1000, 101, "日", OnceAll, 0, "2024-06-10", "利率输入不合法！"},
      {1000, 200, "月", EqualInstalment, 999, "", "利率输入不合法！"},
      {1000, 100, "月", EqualInstalment, 999, "", ""},
      {999999999.99, 100, "日", OnceAll, 0, "2034-01-10", "利息超出系统允许的范围，请检查利率和期限！"},
      {999999999.99, 100, "日", InterestArrears, 999, "", "利息超出系统允许的范围，请检查利率和期限！"},
  };
  for (const Case& c : cases) {
    LoanTerms t = terms(c.amount, c.rate, QString::fromUtf8(c.type), "2024-01-10", *c.end ? c.end : "2024-01-10");
    const Instalments inst{std::max(1, c.count), QString::fromUtf8(c.type) == kMonthly, D("2024-01-10")};
    const auto problem = CheckTerms(t, c.button, inst);
    EXPECT_EQ(problem ? problem->message : QString(), QString::fromUtf8(c.message)) << c.amount << " " << c.rate;
    if (!problem) expectSoundPlan(BuildPlan(c.button, t, inst), c.amount, "accepted");
  }
}
