#include "financing/FinancingCalc.h"

#include <algorithm>
#include <cmath>

#include "app/data/SettledInterest.h"
#include "platform/Money.h"

namespace {
const char* const kCaptions[kFinancingPlanButtons] = {"一次性支付本息", "一次性先付利息", "等额本金-先付", "等额本金-后付",
                                                      "等额本息",       "分期付息-先息",  "分期付息-后息"};
// The name stored is the plan that was built: the first 等额本金 button pays each period's interest
// ahead, so it is the "先付" plan.
const char* const kNames[kFinancingPlanButtons] = {"一次性支付本息", "一次性先付利息", "等额本金 - 先付", "等额本金 - 后付",
                                                   "等额本息",       "分期付息-先息",  "分期付息-后息"};

const QString kPaid = QStringLiteral("已付");
const QString kOpen = QStringLiteral("未付");

bool isDaily(const QString& kind) { return kind == QStringLiteral("日"); }

EarlyReturnRow returnRow(const PlanRowState& row) {
  return {row.应付利息, row.提前支取减息, std::max(row.拆借本金, row.应付本金), row.开始日期, row.约定支付日期};
}

// One interest computation: of the whole span (one-time plans) or of one period.
struct Interest {
  int days = 0;
  double amount = 0;
  double dailyRate = 0;
  int factor = 1;
  double earlyDailyRate = 0;
};

double earlyDailyRate(const FinancingTerms& t, bool daily) {
  // A daily fraction in both cases: the monthly rate spread over 30 days.
  return daily ? Money::round(t.提前支取利率 / 100, 6) : Money::round(t.提前支取利率 / 100 / 30, 6);
}

// `monthEnd` is the end the month count runs to (it differs from `end` where the form moved the
// end back by a day for 首尾计息); `extraDays` is the 首尾计息 day of this span.
Interest computeInterest(const FinancingTerms& t, bool daily, const QDate& start, const QDate& end, const QDate& monthEnd,
                         double base, int extraDays, bool roundDailyRate) {
  Interest r;
  r.days = DaysBetween(start, end) + extraDays;
  r.earlyDailyRate = earlyDailyRate(t, daily);
  if (daily) {
    r.dailyRate = roundDailyRate ? Money::round(t.利率 / 100, 6) : t.利率 / 100;
    r.factor = 1;
    r.amount = base * r.days * r.dailyRate;
  } else {
    r.factor = MonthsBetween(start, monthEnd);
    r.amount = t.利率 * (r.factor * base) / 100;
    r.dailyRate = base > 0 ? Money::round(r.amount / 30 / base, 6) : 0;
  }
  return r;
}

FinancingPlanRow makeRow(int number, double owed, double principal, double interest, bool paid, const QDate& start,
                         const QDate& due, int days, const QDate& businessDate) {
  FinancingPlanRow row;
  row.支付期次 = number;
  row.拆借本金 = Money::round(owed, 2);
  row.应付本金 = Money::round(principal, 2);
  row.应付利息 = Money::round(interest, 0);
  row.结算状态 = paid ? kPaid : kOpen;
  // A row paid at registration records as paid exactly what it shows as due.
  row.已付利息 = paid ? row.应付利息 : 0;
  row.开始日期 = start;
  row.约定支付日期 = due;
  row.计息天数 = days;
  row.业务日期 = businessDate;
  return row;
}

void buildOneTime(const FinancingTerms& t, int button, FinancingPlan& p) {
  const bool daily = isDaily(t.利率类别);
  const int extra = t.首尾计息 ? 1 : 0;
  // With 首尾计息 the form has moved 止息日期 back a day; the months run to the day after it.
  const Interest in = computeInterest(t, daily, t.起息日期, t.止息日期, t.止息日期.addDays(extra), t.本金, extra, false);
  p.利率类别 = t.利率类别;
  p.止息日期 = t.止息日期;
  p.日利率 = in.dailyRate;
  p.利率系数 = in.factor;
  p.提前支取日利率 = in.earlyDailyRate;
  if (button == btn一次性支付本息) {
    p.rows.push_back(makeRow(1, t.本金, t.本金, in.amount, false, t.起息日期, t.止息日期, in.days, t.登记日期));
  } else {
    p.rows.push_back(makeRow(1, 0, 0, in.amount, true, t.登记日期, t.登记日期, in.days, t.登记日期));
    p.rows.push_back(makeRow(2, t.本金, t.本金, 0, false, t.起息日期, t.止息日期, 0, t.登记日期));
  }
}

void buildInstalments(const FinancingTerms& t, int button, const InstalmentOptions& o, FinancingPlan& p) {
  const bool daily = o.unit == QLatin1Char('D');
  const QChar unit = daily ? QLatin1Char('D') : QLatin1Char('M');
  const int n = o.分期数;
  p.利率类别 = daily ? QStringLiteral("日") : QStringLiteral("月");
  const double P = Money::round(t.本金, 2);
  const double each = Money::round(P / n, 2);
  QDate start = o.首次支付日期;
  if (button == btn分期付息先息) start = AddPeriods(start, unit, -1);
  // 首尾计息 adds its day once for the whole plan: to the first period computed. A row that repeats
  // that period (the interest-ahead plan's second row) counts its plain days.
  bool extraDayTaken = !t.首尾计息;
  Interest last;
  auto period = [&](const QDate& from, const QDate& due, double base) {
    const int extra = extraDayTaken ? 0 : 1;
    extraDayTaken = true;
    last = computeInterest(t, daily, from, due, due, base, extra, true);
    return last;
  };
  auto add = [&](FinancingPlanRow row) { p.rows.push_back(std::move(row)); };

  double outstanding = P;
  switch (button) {
    case btn等额本金后付:
      for (int k = 1; k <= n; ++k) {
        const QDate due = AddPeriods(start, unit, 1);
        const double principal = Money::rowPrincipal(each, outstanding, k == n);
        const Interest in = period(start, due, outstanding);
        add(makeRow(k, outstanding, principal, in.amount, false, start, due, in.days, t.登记日期));
        outstanding = Money::round(outstanding - principal, 2);
        start = due;
      }
      break;
    case btn等额本金先付: {
      // Row 1 pays the first period's interest at registration; every later row pays its principal
      // with the interest of the period that follows it, the last one without interest.
      const QDate due1 = AddPeriods(start, unit, 1);
      const Interest first = period(start, due1, P);
      add(makeRow(1, P, 0, first.amount, true, start, due1, first.days, t.登记日期));
      for (int k = 2; k <= n; ++k) {
        const QDate due = AddPeriods(start, unit, 1);
        const Interest in = period(start, due, outstanding);
        const double principal = Money::rowPrincipal(each, outstanding, false);
        add(makeRow(k, outstanding, principal, in.amount, false, start, due, in.days, t.登记日期));
        outstanding = Money::round(outstanding - principal, 2);
        start = due;
      }
      const QDate due = AddPeriods(start, unit, 1);
      const Interest in = period(start, due, outstanding);
      add(makeRow(n + 1, outstanding, outstanding, 0, false, start, due, in.days, t.登记日期));
      break;
    }
    case btn等额本息: {
      const double r = t.利率 * 0.01;
      const double grow = std::pow(1 + r, n);
      const double instalment = r == 0 ? P / n : P * r * grow / (grow - 1);
      for (int k = 1; k <= n; ++k) {
        const QDate due = AddPeriods(start, unit, 1);
        const Interest in = period(start, due, outstanding);
        const double principal = Money::rowPrincipal(instalment - in.amount, outstanding, k == n);
        add(makeRow(k, outstanding, principal, in.amount, false, start, due, in.days, t.登记日期));
        outstanding = Money::round(outstanding - principal, 2);
        start = due;
      }
      break;
    }
    case btn分期付息先息: {
      int days = 0;
      for (int k = 1; k <= n; ++k) {
        const QDate due = AddPeriods(start, unit, 1);
        const Interest in = period(start, due, P);
        add(makeRow(k, 0, 0, in.amount, k == 1, start, due, in.days, t.登记日期));
        days = in.days;
        start = due;
      }
      // The principal row bears no interest of its own; its day count repeats the last period's.
      add(makeRow(n + 1, 0, P, 0, false, start, AddPeriods(start, unit, 1), days, t.登记日期));
      break;
    }
    case btn分期付息后息:
      for (int k = 1; k <= n; ++k) {
        const QDate due = AddPeriods(start, unit, 1);
        const Interest in = period(start, due, P);
        add(makeRow(k, 0, k == n ? P : 0, in.amount, false, start, due, in.days, t.登记日期));
        start = due;
      }
      break;
    default:
      break;
  }
  p.止息日期 = p.rows.back().约定支付日期;
  p.日利率 = last.dailyRate;
  p.利率系数 = last.factor;
  p.提前支取日利率 = last.earlyDailyRate;
}
}  // namespace

QString PlanButtonCaption(int button) {
  return button >= 0 && button < kFinancingPlanButtons ? QString::fromUtf8(kCaptions[button]) : QString();
}

QString PlanKindName(int button) {
  return button >= 0 && button < kFinancingPlanButtons ? QString::fromUtf8(kNames[button]) : QString();
}

int PlanButtonOfName(const QString& name) {
  const QString n = name.trimmed();
  for (int i = 0; i < kFinancingPlanButtons; ++i)
    if (n == QString::fromUtf8(kNames[i]) || n == QString::fromUtf8(kCaptions[i])) return i;
  return -1;
}

int DaysBetween(const QDate& from, const QDate& to) { return static_cast<int>(from.daysTo(to)); }

int MonthsBetween(const QDate& from, const QDate& to) { return (to.year() - from.year()) * 12 + (to.month() - from.month()); }

QDate AddPeriods(const QDate& d, QChar unit, int count) {
  return unit == QLatin1Char('D') ? d.addDays(count) : d.addMonths(count);
}

void ValidateFinancingTerms(const FinancingTerms& t, bool oneOff) {
  auto refuse = [](const char* text) { throw FinancingInputError(QString::fromUtf8(text)); };
  if (t.客户名称.trimmed().isEmpty()) refuse("客户名称不能为空！");
  if (!(t.本金 > 0) || !Money::withinCeiling(t.本金)) refuse("借款金额输入不合法！");
  if (!Money::withinCeiling(t.利率, Money::kMaxRate)) refuse("利率输入不合法！");
  if (!(t.提成比例 >= 0) || !std::isfinite(t.提成比例)) refuse("提成比例输入不合法！");
  if (t.业务经办.trimmed().isEmpty()) refuse("业务经办不能为空！");
  if (!Money::withinCeiling(t.提前支取利率, Money::kMaxRate)) refuse("提前支取利率输入不合法！");
  if (!t.登记日期.isValid() || !t.起息日期.isValid() || (oneOff && !t.止息日期.isValid())) refuse("日期输入不合法！");
  if (!oneOff) return;
  const int days = DaysBetween(t.起息日期, t.止息日期);
  if (days < 0 || (days == 0 && !t.首尾计息)) refuse("止息日期必须晚于起息日期！");
  if (!isDaily(t.利率类别) && MonthsBetween(t.起息日期, t.止息日期.addDays(t.首尾计息 ? 1 : 0)) <= 0)
    refuse("按月计息的期限不足一个月，请调整止息日期！");
}

QDate DefaultFirstPaymentDate(const QDate& 起息日期) { return 起息日期; }

FinancingPlan BuildFinancingPlan(const FinancingTerms& t, int button, const InstalmentOptions* options) {
  if (button < 0 || button >= kFinancingPlanButtons) throw FinancingInputError(QStringLiteral("没有这种支付计划！"));
  const bool instalments = IsInstalmentButton(button);
  ValidateFinancingTerms(t, !instalments);
  FinancingPlan p;
  p.支付计划 = PlanKindName(button);
  if (instalments) {
    if (!options) throw FinancingInputError(QStringLiteral("请选择分期数、支付周期和首次支付日期！"));
    if (options->分期数 < 1 || options->分期数 > 999) throw FinancingInputError(QStringLiteral("分期数必须在1到999之间！"));
    if (!options->首次支付日期.isValid()) throw FinancingInputError(QStringLiteral("首次支付日期不合法！"));
    buildInstalments(t, button, *options, p);
  } else {
    buildOneTime(t, button, p);
  }
  long long interest = 0, paid = 0;
  for (const FinancingPlanRow& r : p.rows) {
    for (double v : {r.拆借本金, r.应付本金, r.应付利息})
      if (!std::isfinite(v)) throw FinancingInputError(FinancingInterestCeilingMessage());
    p.计息天数 += r.计息天数;
    interest += Money::toCents(r.应付利息);
    paid += Money::toCents(r.已付利息);
  }
  p.利息 = static_cast<double>(interest) / 100;
  p.已付利息 = static_cast<double>(paid) / 100;
  if (!Money::withinCeiling(p.利息)) throw FinancingInputError(FinancingInterestCeilingMessage());
  return p;
}

QString FinancingInterestCeilingMessage() { return QStringLiteral("利息超出系统允许的范围，请检查利率和期限！"); }

QString PaymentRouteRefusal(const PlanRowState& row, const QDate& today, bool early) {
  if (row.结算状态 == kPaid) return QStringLiteral("该期次拆借已付清！");
  const int late = DaysBetween(row.约定支付日期, today);
  if (!early && late < 0) return QStringLiteral("请使用【提前支取】进行回款操作！");
  if (early && late > 0) return QStringLiteral("请使用【取款确认】进行回款操作！");
  return {};
}

double OpenRowPrincipal(const PlanRowState& row, double recordOpenPrincipal) {
  const double open = Money::round(row.应付本金 - row.已付本金, 2);
  return std::max(0.0, std::min(open, Money::round(recordOpenPrincipal, 2)));
}

PaymentProposal ProposePayment(const PlanRowState& row, const QDate& date, double recordOpenPrincipal) {
  PaymentProposal p;
  // What is still open on the row: a row part paid early is settled by its remainder.
  p.本金 = OpenRowPrincipal(row, recordOpenPrincipal);
  p.利息 = std::max(0.0, Money::round(row.应付利息 - row.已付利息, 2));
  p.付款状态 = kPaid;
  p.天数 = std::max(0, DaysBetween(row.约定支付日期, date));
  p.应付总额 = Money::round(p.本金 + p.利息, 2);
  return p;
}

PaymentProposal ProposeEarlyPayment(const FinancingRates& rec, const PlanRowState& row, const QDate& date) {
  // On the due date the row is simply due: the open remainder, nothing withheld.
  const bool dueToday = row.约定支付日期.isValid() && date == row.约定支付日期;
  PaymentProposal p = dueToday ? ProposePayment(row, date, rec.本金 - rec.已付本金) : PaymentProposal{};
  const double perDay = isDaily(rec.利率类别) ? 1.0 : 1.0 / 30;
  p.日利息 = rec.本金 * rec.利率 / 100 * perDay;
  p.提前支取日利息 = rec.本金 * rec.提前支取利率 / 100 * perDay;
  // A date before the period starts earns nothing (never a negative interest or deduction).
  p.天数 = std::max(0, DaysBetween(row.开始日期, date));
  if (dueToday) return p;
  p.本金 = OpenRowPrincipal(row, rec.本金 - rec.已付本金);
  // A row created paid or planned at 0 earns nothing early, nor one whose period has not begun.
  const bool interestOpen = row.应付利息 > 0.005 && row.已付利息 < row.应付利息 - 0.005;
  const bool periodBegun = !row.开始日期.isValid() || date > row.开始日期;
  if (interestOpen && periodBegun) {
    double earned = 0;
    if (row.已付本金 > 0.005) {
      // Principal returned before took its interest down; what the rest still held would earn
      // from this day to the due date is not earned yet.
      const EarlyReturnRow r = returnRow(row);
      const double held = std::max(0.0, r.base - row.已付本金);
      earned = InterestLeftAfterEarlyReturn(r, 0, held, date, FinancingDailyFraction(rec.利率, rec.利率类别));
    } else {
      // Interest to the date, at most what the row planned.
      earned = Money::round(std::min(p.天数 * p.日利息, row.应付利息), 2);
    }
    p.利息 = std::max(0.0, Money::round(earned - row.已付利息, 2));
    const double share = rec.利率 > 0 ? (rec.利率 - rec.提前支取利率) / rec.利率 : 0;
    p.提前支取扣款 = std::max(0.0, Money::round(p.利息 * share, 2));
  }
  p.应付总额 = Money::round(p.本金 + p.利息 - p.提前支取扣款, 2);
  p.付款状态 = kPaid;
  return p;
}

PlanRowState PlanRowAfterEarlyPayment(const FinancingRates& rec, const PlanRowState& row, const QDate& date, double principal,
                                      double interest, double deduction, const QString& status) {
  PlanRowState after = row;
  after.已付本金 = Money::round(row.已付本金 + principal, 2);
  after.已付利息 = Money::round(row.已付利息 + interest, 2);
  after.提前支取扣款 = Money::round(row.提前支取扣款 + deduction, 2);
  after.结算状态 = status == kPaid ? kPaid : QStringLiteral("支付部分");
  if (after.结算状态 == kPaid) {
    after.应付利息 = std::min(row.应付利息, after.已付利息);
  } else if (principal > 0.005) {
    after.应付利息 =
        InterestLeftAfterEarlyReturn(returnRow(row), after.已付利息, principal, date, FinancingDailyFraction(rec.利率, rec.利率类别));
    after.提前支取减息 = Money::round(row.提前支取减息 + row.应付利息 - after.应付利息, 2);
  }
  return after;
}

double EarlyPaymentWaivable(const FinancingRates& rec, const PlanRowState& row, const PaymentProposal& proposal, const QDate& date,
                            double principal, double interest, double deduction) {
  if (principal < proposal.本金 - 0.005 || interest >= proposal.利息 - 0.005) return 0;
  const PlanRowState after = PlanRowAfterEarlyPayment(rec, row, date, principal, interest, deduction, QStringLiteral("支付部分"));
  return std::max(0.0, Money::round(after.应付利息 - after.已付利息, 2));
}

QString FinancingRowStatus(double principal, double openPrincipal, double interest, double openInterest) {
  const auto covers = [](double paid, double open) { return paid >= open - 0.005; };
  return covers(principal, openPrincipal) && covers(interest, openInterest) ? kPaid : QStringLiteral("支付部分");
}

QString FinancingPaymentRefusal(const PlanRowState& row, double recordOpenPrincipal, double principal, double interest) {
  if (principal > std::max(0.0, Money::round(row.应付本金 - row.已付本金, 2)) + 0.005)
    return QStringLiteral("支付本金不能大于未付本金！");
  if (principal > std::max(0.0, Money::round(recordOpenPrincipal, 2)) + 0.005)
    return QStringLiteral("支付本金不能大于该笔融资的未付本金！");
  if (interest > std::max(0.0, Money::round(row.应付利息 - row.已付利息, 2)) + 0.005) return QStringLiteral("支付利息不能大于应付利息！");
  return {};
}

QString FinancingEarlyPaymentRefusal(const PaymentProposal& proposal, double principal, double interest, double deduction) {
  if (principal > proposal.本金 + 0.005) return QStringLiteral("支付本金不能大于未付本金！");
  if (interest > proposal.利息 + 0.005) return QStringLiteral("支付利息不能大于应付利息！");
  if (deduction > proposal.提前支取扣款 + 0.005) return QStringLiteral("扣除利息不能大于应扣利息！");
  return {};
}

QString FinancingEarlyDateRefusal(const PlanRowState& row, const QDate& date) {
  if (row.约定支付日期.isValid() && date.isValid() && date > row.约定支付日期) return QStringLiteral("提前支取日期不能晚于约定支付日期！");
  return {};
}

QString RecordSettlement(const QStringList& rowStatuses) {
  for (const QString& s : rowStatuses)
    if (s != kPaid) return kOpen;
  return QStringLiteral("已完结");
}
