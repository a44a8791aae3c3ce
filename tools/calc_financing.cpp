// The financing calculations of the tool: "拆借计划" (a plan as the registration form builds it),
// "支付" (payment confirmation) and "提前支付" (early payment), keyed by the columns the windows write.
#include <QJsonArray>
#include <QJsonObject>

#include <limits>

#include "financing/FinancingCalc.h"
#include "platform/Clock.h"
#include "platform/Money.h"
#include "tools/CalcTool.h"

namespace {
QString key(const char* k) { return QString::fromUtf8(k); }

// A number given as a JSON number or as the text of a box; `missing` when absent or empty.
double number(const QJsonObject& o, const char* k, const char* message, double missing) {
  const QJsonValue v = o.value(key(k));
  if (v.isUndefined() || v.isNull() || (v.isString() && v.toString().trimmed().isEmpty())) {
    if (missing < 0) throw CalcInputError(QString::fromUtf8(message));
    return missing;
  }
  if (v.isDouble()) return v.toDouble();
  double d = 0;
  if (v.isString() && Money::parse(v.toString().trimmed(), &d)) return d;
  throw CalcInputError(QString::fromUtf8(message));
}

// An amount typed in a money box: as the box and the window's check take it (at most two decimals,
// within the ceiling), else the box's label + "输入不合法！". Negative amounts keep their own message.
double typedAmount(const QJsonObject& o, const char* k, double missing) {
  const QString refusal = key(k) + QStringLiteral("输入不合法！");
  const double d = number(o, k, refusal.toUtf8().constData(), missing);
  if (d >= 0 && (!Money::withinCeiling(d) || !Money::hasAtMostPlaces(d))) throw CalcInputError(refusal);
  return d;
}

QDate date(const QJsonObject& o, const char* k, bool required = true) {
  const QString text = o.value(key(k)).toString();
  const QDate d = ParseDateText(text);
  if (required && !d.isValid()) throw CalcInputError(key(k) + QStringLiteral("不合法：\"") + text + QStringLiteral("\""));
  return d;
}

QString text(const QJsonObject& o, const char* k) { return o.value(key(k)).toVariant().toString(); }

QJsonValue dateValue(const QDate& d) { return d.isValid() ? QJsonValue(DateText(d)) : QJsonValue(); }

QJsonObject financingPlan(const QJsonObject& in) {
  FinancingTerms t;
  t.客户名称 = text(in, "客户名称");
  t.业务经办 = text(in, "业务经办");
  t.本金 = number(in, "本金", "借款金额输入不合法！", -1);
  // Whole cents, as the amount box takes them.
  if (!Money::hasAtMostPlaces(t.本金)) throw CalcInputError(QStringLiteral("借款金额输入不合法！"));
  t.利率 = number(in, "利率", "利率输入不合法！", -1);
  t.提成比例 = number(in, "提成比例", "提成比例输入不合法！", 0);
  t.提前支取利率 = number(in, "提前支取利率", "提前支取利率输入不合法！", 0);
  if (in.contains(key("利率类别"))) t.利率类别 = text(in, "利率类别");
  t.首尾计息 = in.value(key("首尾计息")).toVariant().toInt() == 1;
  t.登记日期 = date(in, "登记日期");
  t.起息日期 = date(in, "起息日期");
  t.止息日期 = date(in, "止息日期", false);
  const int button = PlanButtonOfName(text(in, "支付计划"));
  if (button < 0) throw CalcInputError(QStringLiteral("没有这种支付计划：") + text(in, "支付计划"));
  InstalmentOptions o;
  if (IsInstalmentButton(button)) {
    o.分期数 = static_cast<int>(number(in, "分期数", "分期数必须在1到999之间！", -1));
    const QString unit = text(in, "周期");
    if (unit != QStringLiteral("日") && unit != QStringLiteral("月")) throw CalcInputError(QStringLiteral("支付周期必须是“日”或“月”！"));
    o.unit = unit == QStringLiteral("日") ? QLatin1Char('D') : QLatin1Char('M');
    o.首次支付日期 = date(in, "首次支付日期");
  }
  FinancingPlan p;
  try {
    p = BuildFinancingPlan(t, button, &o);
  } catch (const FinancingInputError& e) {
    throw CalcInputError(e.message());
  }
  QJsonObject out;
  out[key("支付计划")] = p.支付计划;
  out[key("利率类别")] = p.利率类别;
  out[key("止息日期")] = dateValue(p.止息日期);
  out[key("计息天数")] = p.计息天数;
  out[key("利息")] = p.利息;
  out[key("日利率")] = p.日利率;
  out[key("利率系数")] = p.利率系数;
  out[key("提前支取日利率")] = p.提前支取日利率;
  out[key("已付利息")] = p.已付利息;
  QJsonArray rows;
  for (const FinancingPlanRow& r : p.rows) {
    QJsonObject row;
    row[key("支付期次")] = r.支付期次;
    row[key("拆借本金")] = r.拆借本金;
    row[key("应付本金")] = r.应付本金;
    row[key("应付利息")] = r.应付利息;
    row[key("已付本金")] = 0;
    row[key("已付利息")] = r.已付利息;
    row[key("结算状态")] = r.结算状态;
    row[key("开始日期")] = dateValue(r.开始日期);
    row[key("约定支付日期")] = dateValue(r.约定支付日期);
    row[key("计息天数")] = r.计息天数;
    row[key("业务日期")] = dateValue(r.业务日期);
    rows.append(row);
  }
  out[key("计划行")] = rows;
  return out;
}

PlanRowState planRow(const QJsonObject& in) {
  const QJsonObject o = in.value(key("计划行")).toObject();
  if (o.isEmpty()) throw CalcInputError(QStringLiteral("缺少计划行！"));
  PlanRowState r;
  r.支付期次 = o.value(key("支付期次")).toInt();
  r.应付本金 = number(o, "应付本金", "应付本金不合法！", 0);
  r.应付利息 = number(o, "应付利息", "应付利息不合法！", 0);
  r.已付本金 = number(o, "已付本金", "已付本金不合法！", 0);
  r.已付利息 = number(o, "已付利息", "已付利息不合法！", 0);
  r.提前支取扣款 = number(o, "提前支取扣款", "提前支取扣款不合法！", 0);
  r.结算状态 = text(o, "结算状态");
  r.开始日期 = date(o, "开始日期");
  r.约定支付日期 = date(o, "约定支付日期");
  r.计息天数 = o.value(key("计息天数")).toInt();
  r.拆借本金 = number(o, "拆借本金", "拆借本金不合法！", 0);
  r.提前支取减息 = number(o, "提前支取减息", "提前支取减息不合法！", 0);
  return r;
}

QJsonObject proposal(const PaymentProposal& p, bool early) {
  QJsonObject out;
  out[key("本金")] = p.本金;
  out[key("利息")] = p.利息;
  out[key("提前支取扣款")] = p.提前支取扣款;
  out[key("付款状态")] = p.付款状态;
  out[key("天数")] = p.天数;
  out[key("应付总额")] = p.应付总额;
  if (early) {
    out[key("日利息")] = Money::round(p.日利息, 2);
    out[key("提前支取日利息")] = Money::round(p.提前支取日利息, 2);
  }
  return out;
}

QJsonObject payment(const QJsonObject& in, bool early) {
  const PlanRowState row = planRow(in);
  const QDate when = date(in, "支付日期");
  if (early)
    if (const QString late = FinancingEarlyDateRefusal(row, when); !late.isEmpty()) throw CalcInputError(late);
  const QString refusal = PaymentRouteRefusal(row, when, early);
  if (!refusal.isEmpty()) throw CalcInputError(refusal);
  const QJsonObject r = in.value(key("拆借")).toObject();
  // The record's open principal bounds the row's; without the record the row's own counts.
  const auto recordOpen = [&] {
    return r.isEmpty() ? std::numeric_limits<double>::infinity()
                       : number(r, "本金", "借款金额输入不合法！", -1) - number(r, "已付本金", "已付本金不合法！", 0);
  };
  if (!early) return proposal(ProposePayment(row, when, recordOpen()), false);
  if (r.isEmpty()) throw CalcInputError(QStringLiteral("缺少拆借记录！"));
  FinancingRates rec;
  rec.本金 = number(r, "本金", "借款金额输入不合法！", -1);
  rec.利率 = number(r, "利率", "利率输入不合法！", -1);
  rec.提前支取利率 = number(r, "提前支取利率", "提前支取利率输入不合法！", 0);
  rec.已付本金 = number(r, "已付本金", "已付本金不合法！", 0);
  if (!Money::withinCeiling(rec.本金)) throw CalcInputError(QStringLiteral("借款金额输入不合法！"));
  if (!Money::withinCeiling(rec.利率, Money::kMaxRate)) throw CalcInputError(QStringLiteral("利率输入不合法！"));
  if (!Money::withinCeiling(rec.提前支取利率, Money::kMaxRate)) throw CalcInputError(QStringLiteral("提前支取利率输入不合法！"));
  if (r.contains(key("利率类别"))) rec.利率类别 = text(r, "利率类别");
  const PaymentProposal p = ProposeEarlyPayment(rec, row, when);
  QJsonObject out = proposal(p, true);
  // The amounts typed in the window, the proposal's where one is not given; with a principal or an
  // interest given, the row as the save leaves it.
  const double P = typedAmount(in, "支付本金", p.本金);
  const double I = typedAmount(in, "支付利息", p.利息);
  const double D = typedAmount(in, "扣除利息", p.提前支取扣款);
  if (P < 0 || I < 0 || D < 0) throw CalcInputError(QStringLiteral("支付金额不能为负数！"));
  if (const QString refusal = FinancingEarlyPaymentRefusal(p, P, I, D); !refusal.isEmpty()) throw CalcInputError(refusal);
  if (!in.contains(key("支付本金")) && !in.contains(key("支付利息"))) return out;
  const PlanRowState after = PlanRowAfterEarlyPayment(rec, row, when, P, I, D, FinancingRowStatus(P, p.本金, I, p.利息));
  QJsonObject saved = in.value(key("计划行")).toObject();
  saved[key("应付利息")] = after.应付利息;
  saved[key("已付本金")] = after.已付本金;
  saved[key("已付利息")] = after.已付利息;
  saved[key("提前支取扣款")] = after.提前支取扣款;
  saved[key("提前支取减息")] = after.提前支取减息;
  saved[key("结算状态")] = after.结算状态;
  saved[key("支付日期")] = dateValue(when);
  out[key("保存后计划行")] = saved;
  return out;
}

QJsonObject payOnTime(const QJsonObject& in) { return payment(in, false); }
QJsonObject payEarly(const QJsonObject& in) { return payment(in, true); }

const CalcRegistration regPlan("拆借计划", &financingPlan);
const CalcRegistration regPay("支付", &payOnTime);
const CalcRegistration regEarly("提前支付", &payEarly);
}  // namespace
