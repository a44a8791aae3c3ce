#include "loans/RepaymentCalc.h"

#include <algorithm>
#include <cmath>

#include "loans/LoanCalc.h"
#include "platform/Money.h"

namespace RepaymentCalc {

bool Covers(double total, double amountDue) { return total >= amountDue - 0.005; }

QString StatusFor(double total, double amountDue) {
  return Covers(total, amountDue) ? QStringLiteral("已还") : QStringLiteral("归还部分");
}

double DailyFraction(const LoanRateTerms& terms) { return LoanCalc::DailyFraction(terms.rateType, terms.rate); }

int OverdueDays(const InstalmentState& row, const QDate& payDate) {
  QDate from = row.due;
  QDate lastPaid = row.lastPaid;
  // A date typed ahead (saved before such dates were refused) must not hide the days overdue.
  if (lastPaid.isValid() && row.lastRecordDay.isValid() && lastPaid > row.lastRecordDay) lastPaid = row.lastRecordDay;
  if (lastPaid.isValid() && (!from.isValid() || lastPaid > from)) from = lastPaid;
  if (!from.isValid() || !payDate.isValid()) return 0;
  return static_cast<int>(std::max<qint64>(0, from.daysTo(payDate)));
}

RepaymentProposal ProposeRepayment(const LoanRateTerms& terms, const InstalmentState& row, const QDate& payDate) {
  RepaymentProposal p;
  p.principal = std::max(0.0, Money::round(row.duePrincipal - row.paidPrincipal));
  p.interest = std::max(0.0, Money::round(row.dueInterest - row.paidInterest));
  p.days = OverdueDays(row, payDate);
  p.fee = Money::round(row.loanPrincipal * p.days * terms.overdueDailyRate);
  p.amountDue = Money::round(p.principal + p.interest + p.fee);
  p.status = StatusFor(p.amountDue, p.amountDue);
  return p;
}

RepaymentProposal ProposeEarlyRepayment(const LoanRateTerms& terms, const InstalmentState& row, const QDate& payDate) {
  RepaymentProposal p;
  p.principal = std::max(0.0, Money::round(row.duePrincipal - row.paidPrincipal));
  p.days = (row.start.isValid() && payDate.isValid()) ? static_cast<int>(std::max<qint64>(0, row.start.daysTo(payDate))) : 0;
  const bool interestSettled = row.dueInterest <= 0.005 || Covers(row.paidInterest, row.dueInterest);
  if (!interestSettled) {
    // Never more than the row planned, whatever the date.
    const double accrued = Money::round(std::min(row.loanPrincipal * p.days * DailyFraction(terms), row.dueInterest));
    p.interest = std::max(0.0, Money::round(accrued - row.paidInterest));
  }
  p.amountDue = Money::round(p.principal + p.interest);
  p.status = QStringLiteral("已还");
  return p;
}

QString RowStatus(double principal, double openPrincipal, double interest, double openInterest) {
  return Covers(principal, openPrincipal) && Covers(interest, openInterest) ? QStringLiteral("已还") : QStringLiteral("归还部分");
}

QString RepaymentRefusal(const InstalmentState& row, double principal, double interest) {
  if (principal > Money::round(std::max(0.0, row.duePrincipal - row.paidPrincipal)) + 0.005)
    return QStringLiteral("归还本金不能大于未还本金！");
  if (interest > Money::round(std::max(0.0, row.dueInterest - row.paidInterest)) + 0.005)
    return QStringLiteral("归还利息不能大于未还利息！");
  return {};
}

QString EarlyDateRefusal(const InstalmentState& row, const QDate& date) {
  if (row.due.isValid() && date.isValid() && date > row.due) return QStringLiteral("提前还贷日期不能晚于约定归还日期！");
  return {};
}

}  // namespace RepaymentCalc
