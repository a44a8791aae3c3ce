#include "loans/LoanCalc.h"

#include <algorithm>
#include <cmath>

#include "platform/Money.h"

namespace LoanCalc {

namespace {

struct ButtonInfo {
  const char* caption;
  const char* planName;
};
// Indexed by Button.
const ButtonInfo kButtons[] = {
    {"一次性归还本息", "一次性归还本息"}, {"一次性先付利息", "一次性先付利息"},
    {"等额本金-先付", "等额本金 - 先付"}, {"等额本金-后付", "等额本金 - 后付"},
    {"等额本息", "等额本息"},           {"分期付息-先息", "分期付息-先息"},
    {"分期付息-后息", "分期付息-后息"}, {"展期", ""},
};
constexpr int kButtonCount = 8;

double cents(double v) { return Money::round(v, 2); }

// One period forward: a day, or a calendar month with the day clipped to a shorter month's end.
QDate step(const QDate& d, bool monthly) { return monthly ? d.addMonths(1) : d.addDays(1); }
QDate stepBack(const QDate& d, bool monthly) { return monthly ? d.addMonths(-1) : d.addDays(-1); }

// Builds the rows of an instalment plan, keeping the working values of the last interest call.
class RowWriter {
 public:
  RowWriter(Plan& plan, const LoanTerms& t) : plan_(plan), t_(t) {}

  double interest(const QDate& from, const QDate& to, double principal) {
    plan_.working = PeriodInterest(t_, from, to, principal, t_.bothEnds && first_);
    first_ = false;
    return plan_.working.interest;
  }
  void add(double base, double due, double interest, bool paid, const QDate& from, const QDate& to) {
    PlanRow r;
    r.period = static_cast<int>(plan_.rows.size()) + 1;
    r.principalBase = cents(base);
    r.principalDue = cents(due);
    r.interestDue = cents(interest);
    r.status = paid ? QStringLiteral("已还") : QStringLiteral("未还");
    if (paid) r.paidInterest = r.interestDue;
    r.start = from;
    r.due = to;
    r.days = plan_.working.days;
    r.businessDate = t_.registered;
    plan_.rows.push_back(r);
  }

 private:
  Plan& plan_;
  const LoanTerms& t_;
  bool first_ = true;
};

}  // namespace

bool IsDaily(const QString& rateType) { return rateType == kDaily; }

int DayCount(const QDate& from, const QDate& to) { return static_cast<int>(from.daysTo(to)); }

int MonthCount(const QDate& from, const QDate& to) {
  return (to.year() - from.year()) * 12 + to.month() - from.month();
}

double DailyFraction(const QString& rateType, double ratePercent) {
  return IsDaily(rateType) ? ratePercent / 100 : Money::round(ratePercent / 100 / 30, 6);
}

Interest LoanInterest(const LoanTerms& t) {
  Interest r;
  r.days = DayCount(t.start, t.end) + (t.bothEnds ? 1 : 0);
  r.overdueDailyRate = DailyFraction(t.rateType, t.overdueRate);
  if (IsDaily(t.rateType)) {
    r.dailyRate = t.rate / 100;
    r.factor = 1;
    r.interest = cents(t.amount * r.days * r.dailyRate);
    return r;
  }
  // The months run to the day after 止息日期 when both ends count: the window moved it back a day.
  r.factor = MonthCount(t.start, t.bothEnds ? t.end.addDays(1) : t.end);
  const double exact = r.factor * t.amount * t.rate / 100;
  r.interest = cents(exact);
  r.dailyRate = t.amount > 0 ? Money::round(exact / 30 / t.amount, 6) : 0;
  return r;
}

Interest PeriodInterest(const LoanTerms& t, const QDate& from, const QDate& to, double principal, bool extraDay) {
  Interest r;
  r.days = DayCount(from, to) + (extraDay ? 1 : 0);
  r.overdueDailyRate = DailyFraction(t.rateType, t.overdueRate);
  if (IsDaily(t.rateType)) {
    r.dailyRate = t.rate / 100;
    r.factor = 1;
    r.interest = cents(principal * r.days * r.dailyRate);
    return r;
  }
  r.factor = MonthCount(from, to);
  const double exact = t.rate * r.factor * principal / 100;
  r.interest = cents(exact);
  r.dailyRate = principal > 0 ? Money::round(exact / 30 / principal, 6) : 0;
  return r;
}

QString ButtonCaption(int button) {
  return button >= 0 && button < kButtonCount ? QString::fromUtf8(kButtons[button].caption) : QString();
}

QString PlanName(int button) {
  return button >= 0 && button < kButtonCount ? QString::fromUtf8(kButtons[button].planName) : QString();
}

int ButtonOfPlanName(const QString& name) {
  if (name.isEmpty()) return -1;
  for (int b = 0; b < kButtonCount; ++b)
    if (name == PlanName(b)) return b;
  return -1;
}

bool IsInstalment(int button) { return button >= EqualPrincipalAhead && button <= InterestArrears; }

int ButtonOfMethod(int method) {
  switch (method) {
    case 1: return EqualPrincipalArrears;
    case 2: return EqualPrincipalAhead;
    case 3: return EqualInstalment;
    case 4: return InterestAhead;
    case 5: return InterestArrears;
    default: return -1;
  }
}

int Plan::totalDays() const {
  int s = 0;
  for (const PlanRow& r : rows) s += r.days;
  return s;
}

double Plan::totalInterest() const {
  long long c = 0;
  for (const PlanRow& r : rows) c += Money::toCents(r.interestDue);
  return static_cast<double>(c) / 100;
}

double Plan::totalPrincipal() const {
  long long c = 0;
  for (const PlanRow& r : rows) c += Money::toCents(r.principalDue);
  return static_cast<double>(c) / 100;
}

std::optional<Problem> CheckTerms(const LoanTerms& t, int button, const Instalments& inst) {
  if (t.customer.trimmed().isEmpty()) return Problem{Field::Borrower, QStringLiteral("请先选择借款客户！")};
  if (!(t.amount > 0)) return Problem{Field::Amount, QStringLiteral("借款金额必须大于0！")};
  if (!Money::withinCeiling(t.amount)) return Problem{Field::Amount, QStringLiteral("借款金额输入不合法！")};
  if (!Money::withinCeiling(t.rate, Money::kMaxRate)) return Problem{Field::Rate, QStringLiteral("利率输入不合法！")};
  if (!Money::withinCeiling(t.overdueRate, Money::kMaxRate))
    return Problem{Field::OverdueRate, QStringLiteral("逾期利率输入不合法！")};
  if (t.handler.trimmed().isEmpty()) return Problem{Field::Handler, QStringLiteral("业务经办不能为空！")};
  if (IsInstalment(button)) {
    if (inst.count < 1 || inst.count > 999) return Problem{Field::Count, QStringLiteral("分期数必须在1到999之间！")};
    if (!inst.first.isValid()) return Problem{Field::FirstDate, QStringLiteral("首次归还日期输入不合法！")};
    return PlanProblem(BuildPlan(button, t, inst));
  }
  if (button != OnceAll && button != OncePrepaid) return std::nullopt;
  const int days = (t.start.isValid() && t.end.isValid()) ? DayCount(t.start, t.end) : -1;
  if (days < 0 || (days == 0 && !t.bothEnds))
    return Problem{Field::EndDate, QStringLiteral("止息日期必须晚于起息日期！")};
  if (!IsDaily(t.rateType) && LoanInterest(t).factor < 1)
    return Problem{Field::EndDate, QStringLiteral("按月计息的期限不足一个月，请调整止息日期！")};
  return PlanProblem(BuildPlan(button, t, inst));
}

std::optional<Problem> PlanProblem(const Plan& plan) {
  double interest = 0;
  for (const PlanRow& r : plan.rows) {
    for (double v : {r.principalBase, r.principalDue, r.interestDue, r.paidInterest})
      if (!std::isfinite(v)) return Problem{Field::Rate, InterestCeilingMessage()};
    interest += r.interestDue;
  }
  if (!Money::withinCeiling(interest)) return Problem{Field::Rate, InterestCeilingMessage()};
  return std::nullopt;
}

QString InterestCeilingMessage() { return QStringLiteral("利息超出系统允许的范围，请检查利率和期限！"); }

QDate DefaultFirstDate(int button, const QDate& start, bool monthly) {
  return button == EqualPrincipalAhead ? stepBack(start, monthly) : start;
}

Plan BuildPlan(int button, const LoanTerms& terms, const Instalments& inst) {
  Plan plan;
  plan.button = button;
  plan.name = PlanName(button);
  plan.rateType = terms.rateType;
  plan.end = terms.end;

  if (button == OnceAll || button == OncePrepaid) {
    plan.working = LoanInterest(terms);
    const double interest = plan.working.interest;
    PlanRow r;
    r.businessDate = terms.registered;
    if (button == OnceAll) {
      r.period = 1;
      r.principalBase = r.principalDue = cents(terms.amount);
      r.interestDue = interest;
      r.status = QStringLiteral("未还");
      r.start = terms.start;
      r.due = terms.end;
      r.days = plan.working.days;
      plan.rows.push_back(r);
      return plan;
    }
    // The interest is taken when the money is paid out: a row already paid, dated the registration.
    r.period = 1;
    r.interestDue = r.paidInterest = interest;
    r.status = QStringLiteral("已还");
    r.start = r.due = terms.registered;
    r.days = plan.working.days;
    plan.rows.push_back(r);
    PlanRow p;
    p.period = 2;
    p.principalBase = p.principalDue = cents(terms.amount);
    p.status = QStringLiteral("未还");
    p.start = terms.start;
    p.due = terms.end;
    p.businessDate = terms.registered;
    plan.rows.push_back(p);
    plan.prepaid = interest;
    return plan;
  }
  if (!IsInstalment(button)) return plan;

  // The periods bear interest at the rate type of their unit.
  LoanTerms t = terms;
  t.rateType = inst.monthly ? kMonthly : kDaily;
  plan.rateType = t.rateType;
  const bool m = inst.monthly;
  const int n = inst.count;
  const double amount = cents(t.amount);
  RowWriter w(plan, t);
  QDate from = inst.first;

  switch (button) {
    case EqualPrincipalArrears: {
      const double per = cents(amount / n);
      double outstanding = amount;
      for (int k = 1; k <= n; ++k) {
        const QDate to = step(from, m);
        const double i = w.interest(from, to, outstanding);
        const double due = Money::rowPrincipal(per, outstanding, k == n);
        w.add(outstanding, due, i, false, from, to);
        outstanding = cents(outstanding - due);
        from = to;
      }
      break;
    }
    case EqualPrincipalAhead: {
      const double per = cents(amount / n);
      double outstanding = amount;
      QDate to = step(from, m);
      plan.prepaid = w.interest(from, to, outstanding);
      w.add(outstanding, 0, plan.prepaid, true, from, to);
      from = to;
      for (int k = 2; k <= n; ++k) {
        to = step(from, m);
        const double i = w.interest(from, to, outstanding);
        const double due = Money::rowPrincipal(per, outstanding, false);
        w.add(outstanding, due, i, false, from, to);
        outstanding = cents(outstanding - due);
        from = to;
      }
      // The closing row repays what is left; its interest was taken a period ahead.
      to = step(from, m);
      w.interest(from, to, outstanding);
      w.add(outstanding, outstanding, 0, false, from, to);
      break;
    }
    case EqualInstalment: {
      const double r = t.rate * 0.01;
      const double growth = std::pow(1 + r, n);
      const double instalment = cents(r > 0 ? amount * r * growth / (growth - 1) : amount / n);
      double outstanding = amount;
      for (int k = 1; k <= n; ++k) {
        const QDate to = step(from, m);
        const double i = w.interest(from, to, outstanding);
        const double due = Money::rowPrincipal(instalment - i, outstanding, k == n);
        w.add(outstanding, due, i, false, from, to);
        outstanding = cents(outstanding - due);
        from = to;
      }
      break;
    }
    case InterestAhead: {
      from = stepBack(from, m);
      for (int k = 1; k <= n + 1; ++k) {
        const QDate to = step(from, m);
        if (k == n + 1) {
          // No interest call: the row keeps the day count the row before left.
          w.add(amount, amount, 0, false, from, to);
        } else {
          const double i = w.interest(from, to, amount);
          if (k == 1) plan.prepaid = i;
          w.add(amount, 0, i, k == 1, from, to);
        }
        from = to;
      }
      break;
    }
    case InterestArrears: {
      for (int k = 1; k <= n; ++k) {
        const QDate to = step(from, m);
        const double i = w.interest(from, to, amount);
        w.add(amount, k == n ? amount : 0, i, false, from, to);
        from = to;
      }
      break;
    }
    default:
      break;
  }
  if (!plan.rows.empty()) plan.end = plan.rows.back().due;
  return plan;
}

}  // namespace LoanCalc
