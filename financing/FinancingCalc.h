#pragma once
// Interest, payment plans and payment proposals of financing records. Functions of their inputs
// only: no widget, no database, today's date passed in. The windows read their boxes, call these
// and write what they return; the calculation tool answers with the same functions.
#include <QDate>
#include <QString>
#include <QStringList>

#include <limits>
#include <stdexcept>
#include <vector>

// Invalid input: carries the message the window shows.
struct FinancingInputError : std::runtime_error {
  explicit FinancingInputError(const QString& message) : std::runtime_error(message.toStdString()) {}
  QString message() const { return QString::fromStdString(what()); }
};

// The registration form's values a plan is built from.
struct FinancingTerms {
  double 本金 = 0;
  double 利率 = 0;              // percent per day or per month
  QString 利率类别 = QStringLiteral("日");
  double 提前支取利率 = 0;      // percent, empty box = 0
  double 提成比例 = 0;
  bool 首尾计息 = false;
  QDate 登记日期, 起息日期, 止息日期;
  QString 客户名称, 业务经办;
};

// The plan buttons of the registration form, in their order.
enum FinancingPlanButton {
  btn一次性支付本息 = 0,
  btn一次性先付利息 = 1,
  btn等额本金先付 = 2,  // interest of each period paid ahead: the first row is paid at registration
  btn等额本金后付 = 3,
  btn等额本息 = 4,
  btn分期付息先息 = 5,
  btn分期付息后息 = 6,
};
inline constexpr int kFinancingPlanButtons = 7;
// The caption of a plan button and the plan name stored for it.
QString PlanButtonCaption(int button);
QString PlanKindName(int button);
// The button whose plan a stored name (or a button caption) names; -1 when none.
int PlanButtonOfName(const QString& name);
// Whether the button builds an instalment plan (it asks for count, period and first date).
inline bool IsInstalmentButton(int button) { return button >= btn等额本金先付 && button <= btn分期付息后息; }

// The plan dialog's choices for instalment plans.
struct InstalmentOptions {
  int 分期数 = 1;        // 1 to 999
  QChar unit = QLatin1Char('D');  // 'D' days, 'M' months
  QDate 首次支付日期;
};

// One PJ_Cjzfjh row as built.
struct FinancingPlanRow {
  int 支付期次 = 0;
  double 拆借本金 = 0;
  double 应付本金 = 0;
  double 应付利息 = 0;  // whole units
  double 已付利息 = 0;  // = 应付利息 on the row created paid
  QString 结算状态;     // "未付" or, for the row paid at registration, "已付"
  QDate 开始日期, 约定支付日期;
  int 计息天数 = 0;
  QDate 业务日期;
};

// What a plan build sets on the document (the PJ_Cjjl columns) and its rows.
struct FinancingPlan {
  QString 支付计划;
  QString 利率类别;       // instalment plans follow their period unit
  QDate 止息日期;         // instalment plans end at their last due date
  int 计息天数 = 0;       // total of the rows
  double 利息 = 0;        // total 应付利息 of the rows
  double 日利率 = 0;      // of the last interest computation
  int 利率系数 = 1;
  double 提前支取日利率 = 0;
  double 已付利息 = 0;    // interest paid out at registration (the row created paid), 0 when none
  std::vector<FinancingPlanRow> rows;
};

// Checks every value a plan reads, in the form's order; throws with the form's message.
// `oneOff`: the one-time plans also read the interest dates.
void ValidateFinancingTerms(const FinancingTerms& t, bool oneOff);
// The first payment date the plan dialog proposes: the one whose plan's last due date is 起息日期
// plus the count of units. Every instalment plan here ends there when it starts on 起息日期 (the
// 先付 plan's prepaid row repeats its first period; 分期付息-先息 steps back a unit before its
// prepaid row, which then falls due on 起息日期).
QDate DefaultFirstPaymentDate(const QDate& 起息日期);
// Builds the plan of a button. Instalment buttons need `options`. Throws FinancingInputError, also
// when the plan's total interest exceeds 999999999.99 or a value is not a finite number
// (FinancingInterestCeilingMessage). No row takes more principal than is still outstanding.
FinancingPlan BuildFinancingPlan(const FinancingTerms& t, int button, const InstalmentOptions* options = nullptr);

QString FinancingInterestCeilingMessage();

// Calendar helpers of the plans: whole days, calendar months (day of month ignored), and periods
// added with a month end falling back to the last day of the shorter month.
int DaysBetween(const QDate& from, const QDate& to);
int MonthsBetween(const QDate& from, const QDate& to);
QDate AddPeriods(const QDate& d, QChar unit, int count);

// ---- payments

// The record's values an early payment reads.
struct FinancingRates {
  double 本金 = 0;
  double 利率 = 0;
  QString 利率类别 = QStringLiteral("日");
  double 提前支取利率 = 0;
  double 已付本金 = 0;  // of the record: what is open of it bounds every row's principal
};
// One plan row as stored.
struct PlanRowState {
  int 支付期次 = 0;
  double 应付本金 = 0, 应付利息 = 0, 已付本金 = 0, 已付利息 = 0, 提前支取扣款 = 0;
  QString 结算状态;
  QDate 开始日期, 约定支付日期;
  int 计息天数 = 0;
  double 拆借本金 = 0;  // principal owed at the start of the period (0 on interest-only rows)
  double 提前支取减息 = 0;  // interest taken off the row for principal returned early
};
// A payment as it would be recorded (the PJ_Cjzfjl columns) and the figures the window shows.
struct PaymentProposal {
  double 本金 = 0, 利息 = 0, 提前支取扣款 = 0;
  QString 付款状态;
  int 天数 = 0;            // days past the due date; for early payment the interest days
  double 日利息 = 0;       // early payment: interest of one day at the agreed rate
  double 提前支取日利息 = 0;  // early payment: one day at the early-withdrawal rate
  double 应付总额 = 0;     // what settles the row: 本金 + 利息 - 提前支取扣款
};

// The record view's gate before a payment window opens: "" when the row may be paid that way on
// `today`, else the refusal ("该期次拆借已付清！", "请使用【提前支取】进行回款操作！", ...).
QString PaymentRouteRefusal(const PlanRowState& row, const QDate& today, bool early);
// A row's open principal: 应付本金 − 已付本金, at most the record's open principal (本金 − 已付本金 of
// PJ_Cjjl) and never below 0, so a plan with a negative row from older rules still settles.
double OpenRowPrincipal(const PlanRowState& row, double recordOpenPrincipal);
// Payment confirmation: the open remainder of the row, paid in full ("已付" also when it is 0).
PaymentProposal ProposePayment(const PlanRowState& row, const QDate& date,
                               double recordOpenPrincipal = std::numeric_limits<double>::infinity());
// Early payment: interest to the chosen date, at most the row's 应付利息, less what the row has paid
// of it; on a row whose principal was partly returned before, the row's 应付利息 less what the
// principal still held would earn to the due date, less what was paid. The deduction is that
// interest × (利率 − 提前支取利率) / 利率. On the due date itself: what 取款确认 proposes, no deduction.
// In cents; 0 and 0 for a row created paid or planned at 0 interest, and on or before the row's start.
// "已付" also when everything is 0.
PaymentProposal ProposeEarlyPayment(const FinancingRates& rec, const PlanRowState& row, const QDate& date);
// The row as an early payment's save leaves it, given the amounts paid and the status saved: the paid
// sums added, 支付日期 aside; settled ("已付"), its 应付利息 comes down to what it has paid of it;
// left open, principal paid stops earning (InterestLeftAfterEarlyReturn), what came off added to 提前支取减息.
PlanRowState PlanRowAfterEarlyPayment(const FinancingRates& rec, const PlanRowState& row, const QDate& date, double principal,
                                      double interest, double deduction, const QString& status);
// The interest 提前支取 offers to waive: what the payment leaves open on the row (after the lowering
// for principal returned) when it pays all the row's principal with less interest than proposed; else 0.
double EarlyPaymentWaivable(const FinancingRates& rec, const PlanRowState& row, const PaymentProposal& proposal, const QDate& date,
                            double principal, double interest, double deduction);
// The status of a row a payment leaves: "已付" only when the principal and the interest paid each
// cover what was open of them (within half a cent), else "支付部分"; a surplus in one part never closes
// the other. Against the row's open amounts in 取款确认, against the proposal in 提前支取.
QString FinancingRowStatus(double principal, double openPrincipal, double interest, double openInterest);
// 取款确认's refusal of the amounts ("支付本金不能大于未付本金！", "支付本金不能大于该笔融资的未付本金！",
// "支付利息不能大于应付利息！"), or "".
QString FinancingPaymentRefusal(const PlanRowState& row, double recordOpenPrincipal, double principal, double interest);
// 提前支取's refusal of the amounts against its proposal ("支付本金不能大于未付本金！",
// "支付利息不能大于应付利息！", "扣除利息不能大于应扣利息！"), or "".
QString FinancingEarlyPaymentRefusal(const PaymentProposal& proposal, double principal, double interest, double deduction);
// "提前支取日期不能晚于约定支付日期！" when the early date lies after the row's due date, else "".
QString FinancingEarlyDateRefusal(const PlanRowState& row, const QDate& date);
// A record stays "未付" while any of its rows is not "已付"; else "已完结".
QString RecordSettlement(const QStringList& rowStatuses);
