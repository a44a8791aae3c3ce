// "还款" and "提前还贷": the proposals of the repayment and early-repayment windows for one plan row.
//   in:  "贷款" (PJ_Dkjl: 利率类别, 利率, 逾期日利率), "计划行" (PJ_Hdjh row), "还款日期"
//   out: 本金, 利息, 手续费, 还款状态 (as PJ_Hkjl stores them) and 天数
#include <QJsonObject>

#include "loans/RepaymentCalc.h"
#include "platform/Clock.h"
#include "platform/Money.h"
#include "tools/CalcTool.h"

namespace {
double number(const QJsonObject& o, const char* key, const QString& where, bool required) {
  const QJsonValue v = o.value(QString::fromUtf8(key));
  if (v.isUndefined() || v.isNull()) {
    if (required) throw CalcInputError(where + QStringLiteral("缺少“") + QString::fromUtf8(key) + QStringLiteral("”！"));
    return 0;
  }
  if (!v.isDouble() || v.toDouble() < 0)
    throw CalcInputError(where + QStringLiteral("的“") + QString::fromUtf8(key) + QStringLiteral("”输入不合法！"));
  return v.toDouble();
}

QDate date(const QJsonObject& o, const char* key, const QString& where, bool required) {
  const QString text = o.value(QString::fromUtf8(key)).toString();
  const QDate d = ParseDateText(text);
  if (!d.isValid() && (required || !text.trimmed().isEmpty()))
    throw CalcInputError(where + QStringLiteral("的“") + QString::fromUtf8(key) + QStringLiteral("”不是有效的日期！"));
  return d;
}

struct Request {
  LoanRateTerms terms;
  InstalmentState row;
  QDate payDate;
};

Request read(const QJsonObject& in, bool early) {
  Request r;
  const QJsonObject loan = in.value(QStringLiteral("贷款")).toObject();
  const QJsonObject row = in.value(QStringLiteral("计划行")).toObject();
  const QString l = QStringLiteral("贷款"), p = QStringLiteral("计划行");
  r.terms.rateType = loan.value(QStringLiteral("利率类别")).toString();
  if (early && r.terms.rateType != QStringLiteral("日") && r.terms.rateType != QStringLiteral("月"))
    throw CalcInputError(QStringLiteral("贷款的“利率类别”必须是“日”或“月”！"));
  r.terms.rate = number(loan, "利率", l, early);
  r.terms.overdueDailyRate = number(loan, "逾期日利率", l, !early);
  r.row.period = static_cast<int>(number(row, "还贷期次", p, false));
  r.row.loanPrincipal = number(row, "贷款本金", p, true);
  r.row.duePrincipal = number(row, "应还本金", p, true);
  r.row.dueInterest = number(row, "应还利息", p, true);
  r.row.paidPrincipal = number(row, "已还本金", p, false);
  r.row.paidInterest = number(row, "已还利息", p, false);
  r.row.status = row.value(QStringLiteral("归还状态")).toString();
  r.row.start = date(row, "开始日期", p, early);
  r.row.due = date(row, "约定归还日期", p, true);
  r.row.lastPaid = date(row, "归还日期", p, false);
  if (r.row.status == QStringLiteral("已还")) throw CalcInputError(QStringLiteral("该期次借款已还清！"));
  r.payDate = date(in, "还款日期", QStringLiteral("请求"), true);
  return r;
}

QJsonObject answer(const RepaymentProposal& p) {
  return {{QStringLiteral("本金"), p.principal},
          {QStringLiteral("利息"), p.interest},
          {QStringLiteral("手续费"), p.fee},
          {QStringLiteral("还款状态"), p.status},
          {QStringLiteral("天数"), p.days}};
}

QJsonObject repayment(const QJsonObject& in) {
  const Request r = read(in, false);
  return answer(RepaymentCalc::ProposeRepayment(r.terms, r.row, r.payDate));
}

QJsonObject earlyRepayment(const QJsonObject& in) {
  const Request r = read(in, true);
  if (const QString refusal = RepaymentCalc::EarlyDateRefusal(r.row, r.payDate); !refusal.isEmpty()) throw CalcInputError(refusal);
  if (!Money::withinCeiling(r.terms.rate, Money::kMaxRate)) throw CalcInputError(QStringLiteral("利率输入不合法！"));
  return answer(RepaymentCalc::ProposeEarlyRepayment(r.terms, r.row, r.payDate));
}

const CalcRegistration regRepayment("还款", &repayment);
const CalcRegistration regEarly("提前还贷", &earlyRepayment);
}  // namespace
