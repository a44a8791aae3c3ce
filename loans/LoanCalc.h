#pragma once
// Loan interest and repayment plans as functions of their inputs only: no widget, no database, no
// clock (every date is passed in). The registration window reads its boxes into LoanTerms, checks
// them with CheckTerms, builds the plan with BuildPlan and writes what comes back; the calculation
// tool and the tests call the same functions.
//
// Money is computed in double precision; every money value of a plan row is rounded to the cent when
// the row is built, and the last principal-bearing row takes the principal still outstanding, so a
// plan's 应还本金 adds up to the amount exactly.
#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace LoanCalc {

// The loan's fields that interest and plans read (PJ_Dkjl columns of the same names).
struct LoanTerms {
  double amount = 0;       // 本金
  double rate = 0;         // 利率: percent per day ("日") or per month (any other type)
  double overdueRate = 0;  // 逾期利率: percent, per day or per month like 利率
  QString rateType;        // 利率类别: "日" is daily, any other text monthly
  bool bothEnds = false;   // 首尾计息: the first and the last day both bear interest
  QDate registered;        // 登记日期
  QDate start;             // 起息日期
  QDate end;               // 止息日期
  QString customer;        // 客户名称 (checked, not computed with)
  QString handler;         // 业务经办 (checked, not computed with)
};

// What an interest calculation leaves: the working values the plan rows and the loan row store.
struct Interest {
  int days = 0;                 // 计息天数
  double dailyRate = 0;         // 日利率, a fraction (0.0005 = 0.05 % a day); six decimals when monthly
  int factor = 0;               // 利率系数: 1 for daily rates, the number of months for monthly rates
  double interest = 0;          // 利息, rounded to the cent
  double overdueDailyRate = 0;  // 逾期日利率, a daily fraction (six decimals when monthly)
};

inline const QString kDaily = QStringLiteral("日");
inline const QString kMonthly = QStringLiteral("月");

bool IsDaily(const QString& rateType);
// Calendar days from `from` to `to` (negative when `to` is earlier).
int DayCount(const QDate& from, const QDate& to);
// Calendar month boundaries between the dates, the day of the month ignored: 01-31 to 02-01 is 1.
int MonthCount(const QDate& from, const QDate& to);
// The daily fraction of a rate in percent: daily rate / 100, monthly rate / 100 / 30 at six decimals.
double DailyFraction(const QString& rateType, double ratePercent);

// 计算利息: the interest of the whole loan from 起息日期 to 止息日期. Monthly with 首尾计息 counts the
// months to the day after 止息日期, which undoes the window's own step back by a day.
Interest LoanInterest(const LoanTerms& t);
// 计算利息B: the interest of one period of a plan on `principal`; `extraDay` adds 首尾计息's day.
Interest PeriodInterest(const LoanTerms& t, const QDate& from, const QDate& to, double principal, bool extraDay);

// The eight plan buttons of the registration window, by index.
enum Button : int {
  OnceAll = 0,           // 一次性归还本息
  OncePrepaid = 1,       // 一次性先付利息
  EqualPrincipalAhead = 2,    // 等额本金-先付 (plan method 2)
  EqualPrincipalArrears = 3,  // 等额本金-后付 (plan method 1)
  EqualInstalment = 4,        // 等额本息 (plan method 3)
  InterestAhead = 5,          // 分期付息-先息 (plan method 4)
  InterestArrears = 6,        // 分期付息-后息 (plan method 5)
  Extension = 7,              // 展期: builds nothing
};
// The caption of a button ("等额本金-先付").
QString ButtonCaption(int button);
// The name a plan stores in 还款计划 ("等额本金 - 先付"); "" for 展期 and unknown buttons.
QString PlanName(int button);
// The button whose plan stores `name`, or -1.
int ButtonOfPlanName(const QString& name);
// Whether the button asks for periods (buttons 2 to 6).
bool IsInstalment(int button);
// The button that builds a plan dialog's method (1 to 5), or -1.
int ButtonOfMethod(int method);

// What the plan dialog asks for an instalment plan.
struct Instalments {
  int count = 1;          // 分期数, 1 to 999
  bool monthly = false;   // 周期: "月" when true, "日" otherwise
  QDate first;            // 首次归还日期
};

struct PlanRow {
  int period = 0;           // 还贷期次
  double principalBase = 0; // 贷款本金
  double principalDue = 0;  // 应还本金
  double interestDue = 0;   // 应还利息
  double paidPrincipal = 0; // 已还本金
  double paidInterest = 0;  // 已还利息 (the row's 应还利息 for a row created paid)
  QString status;           // 归还状态: "未还", or "已还" for the interest taken at registration
  QDate start;              // 开始日期
  QDate due;                // 约定归还日期
  int days = 0;             // 计息天数
  QDate businessDate;       // 业务日期 (登记日期)
};

struct Plan {
  int button = -1;
  QString name;            // 还款计划
  QString rateType;        // 利率类别 after the build (an instalment plan's unit)
  QDate end;               // 止息日期 after the build
  double prepaid = 0;      // interest taken at registration (the loan's 已还利息)
  Interest working;        // the working values of the last interest calculation
  std::vector<PlanRow> rows;

  int totalDays() const;          // 计息天数 of the loan
  double totalInterest() const;   // 利息 of the loan (prepaid row included)
  double totalPrincipal() const;  // the sum of 应还本金
};

// Which value a problem is about, so that a window marks the right box.
enum class Field { Borrower, Amount, Rate, OverdueRate, Handler, EndDate, Count, FirstDate };
struct Problem {
  Field field;
  QString message;  // what the window shows
};
// Everything a build reads, checked before anything is shown: borrower, amount above 0 and at most
// 999999999.99, rates from 0 to 100, handler, then for one-time plans the dates (止息日期 after 起息日期, on or after it
// with 首尾计息) and at least one month for a monthly one, for instalment plans 1 to 999 periods and
// a first date; last, for a plan button, the plan it builds (PlanProblem). The first problem found, or none.
std::optional<Problem> CheckTerms(const LoanTerms& t, int button, const Instalments& inst = {});

// A plan whose total interest exceeds 999999999.99 or that holds a value that is not a finite number:
// the interest ceiling's problem (InterestCeilingMessage), marked on the rate.
std::optional<Problem> PlanProblem(const Plan& plan);
QString InterestCeilingMessage();

// The first date the plan dialog proposes for an instalment button: the one whose plan's last due
// date is 起息日期 plus the count of units. That is 起息日期 itself, except for 等额本金-先付, whose
// closing row comes a unit after its periods: it starts a unit earlier (stepped back as the plan
// steps), so its prepaid row falls due on 起息日期, as 分期付息-先息's does.
QDate DefaultFirstDate(int button, const QDate& start, bool monthly);

// Builds the plan of a button. Instalment plans take the rate type of their unit (the window asks
// first when the unit differs from the loan's rate type). Call CheckTerms first: the result of
// invalid terms is unspecified. 展期 and unknown buttons give a plan without rows.
Plan BuildPlan(int button, const LoanTerms& t, const Instalments& inst = {});

}  // namespace LoanCalc
