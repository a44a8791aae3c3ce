// "贷款计划": the plan a plan button of the loan registration builds, and what the save would store.
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

#include "loans/LoanCalc.h"
#include "platform/Clock.h"
#include "platform/Money.h"
#include "tools/CalcTool.h"

namespace {

using namespace LoanCalc;

// A number as a JSON number or as the text an amount box would hold.
double number(const QJsonObject& in, const char* key, const QString& caption) {
  const QJsonValue v = in.value(QString::fromUtf8(key));
  double d = 0;
  if (v.isDouble()) d = v.toDouble();
  else if (!v.isString() || !Money::parse(v.toString().trimmed(), &d)) throw CalcInputError(caption + QStringLiteral("输入不合法！"));
  if (!std::isfinite(d)) throw CalcInputError(caption + QStringLiteral("输入不合法！"));
  return d;
}

// An amount of money: a number of whole cents, as the amount box takes it.
double amount(const QJsonObject& in, const char* key, const QString& caption) {
  const double d = number(in, key, caption);
  if (!Money::hasAtMostPlaces(d)) throw CalcInputError(caption + QStringLiteral("输入不合法！"));
  return d;
}

QDate date(const QJsonObject& in, const char* key, const QString& caption) {
  const QDate d = ParseDateText(in.value(QString::fromUtf8(key)).toString());
  if (!d.isValid()) throw CalcInputError(caption + QStringLiteral("输入不合法！"));
  return d;
}

QString text(const QJsonObject& in, const char* key) { return in.value(QString::fromUtf8(key)).toString(); }

QJsonObject loanPlan(const QJsonObject& in) {
  LoanTerms t;
  t.customer = text(in, "客户名称");
  t.handler = text(in, "业务经办");
  if (t.customer.trimmed().isEmpty()) throw CalcInputError(QStringLiteral("请先选择借款客户！"));
  t.amount = amount(in, "本金", QStringLiteral("借款金额"));
  t.rate = number(in, "利率", QStringLiteral("利率"));
  t.overdueRate = number(in, "逾期利率", QStringLiteral("逾期利率"));
  t.rateType = text(in, "利率类别");
  t.bothEnds = in.value(QStringLiteral("首尾计息")).toInt() == 1;
  t.registered = date(in, "登记日期", QStringLiteral("登记日期"));
  t.start = date(in, "起息日期", QStringLiteral("起息日期"));
  t.end = date(in, "止息日期", QStringLiteral("止息日期"));

  const QString planName = text(in, "还款计划");
  const int button = ButtonOfPlanName(planName);
  if (button < 0) throw CalcInputError(QStringLiteral("不认识的还款计划：\"") + planName + QStringLiteral("\""));
  Instalments inst;
  if (IsInstalment(button)) {
    const double count = number(in, "分期数", QStringLiteral("分期数"));
    inst.count = count == std::floor(count) && count <= 100000 ? static_cast<int>(count) : 0;
    const QString unit = text(in, "周期");
    if (unit != kDaily && unit != kMonthly) throw CalcInputError(QStringLiteral("还贷周期输入不合法！"));
    inst.monthly = unit == kMonthly;
    inst.first = ParseDateText(text(in, "首次归还日期"));
  }
  if (const auto problem = CheckTerms(t, button, inst)) throw CalcInputError(problem->message);

  const Plan plan = BuildPlan(button, t, inst);
  QJsonArray rows;
  for (const PlanRow& r : plan.rows) {
    rows.append(QJsonObject{{QStringLiteral("还贷期次"), r.period},
                            {QStringLiteral("贷款本金"), r.principalBase},
                            {QStringLiteral("应还本金"), r.principalDue},
                            {QStringLiteral("应还利息"), r.interestDue},
                            {QStringLiteral("已还本金"), r.paidPrincipal},
                            {QStringLiteral("已还利息"), r.paidInterest},
                            {QStringLiteral("归还状态"), r.status},
                            {QStringLiteral("开始日期"), DateText(r.start)},
                            {QStringLiteral("约定归还日期"), DateText(r.due)},
                            {QStringLiteral("计息天数"), r.days},
                            {QStringLiteral("业务日期"), DateText(r.businessDate)}});
  }
  return QJsonObject{{QStringLiteral("计息天数"), plan.totalDays()},
                     {QStringLiteral("利息"), plan.totalInterest()},
                     {QStringLiteral("日利率"), plan.working.dailyRate},
                     {QStringLiteral("利率系数"), plan.working.factor},
                     {QStringLiteral("逾期日利率"), plan.working.overdueDailyRate},
                     {QStringLiteral("利率类别"), plan.rateType},
                     {QStringLiteral("止息日期"), DateText(plan.end)},
                     {QStringLiteral("还款计划"), plan.name},
                     {QStringLiteral("已还利息"), plan.prepaid},
                     {QStringLiteral("计划行"), rows}};
}

static CalcRegistration reg("贷款计划", &loanPlan);

}  // namespace
