#pragma once
// What a borrower owes on one instalment: the repayment proposal (principal, interest and overdue
// interest on a due instalment) and the early-repayment proposal (principal and interest accrued
// to the chosen day on an instalment not yet due). Functions of their inputs only, in cents.
#include <QDate>
#include <QString>

// The loan's terms the proposals read (PJ_Dkjl).
struct LoanRateTerms {
  QString rateType;          // 利率类别: "日" or "月"
  double rate = 0;           // 利率, percent per day or per month
  double overdueDailyRate = 0;  // 逾期日利率, a daily fraction
};

// The instalment as it stands (PJ_Hdjh).
struct InstalmentState {
  int period = 0;             // 还贷期次
  double loanPrincipal = 0;   // 贷款本金, the base of the row's interest
  double duePrincipal = 0;    // 应还本金
  double dueInterest = 0;     // 应还利息
  double paidPrincipal = 0;   // 已还本金
  double paidInterest = 0;    // 已还利息
  QString status;             // 归还状态
  QDate start;                // 开始日期
  QDate due;                  // 约定归还日期
  QDate lastPaid;             // 归还日期 (invalid when never paid)
  QDate lastRecordDay;        // the day the row's latest repayment record was saved (invalid: none)
};

// A proposal as the repayment record would store it (PJ_Hkjl) plus its day count.
struct RepaymentProposal {
  double principal = 0;  // 本金
  double interest = 0;   // 利息
  double fee = 0;        // 手续费: the overdue interest (early repayment: 0)
  QString status;        // 还款状态
  int days = 0;          // overdue days, or interest days of an early repayment
  double amountDue = 0;  // 本次应还
};

namespace RepaymentCalc {
// Whether a payment covers what is due (within half a cent).
bool Covers(double total, double amountDue);
// "已还" when the total covers what is due, else "归还部分".
QString StatusFor(double total, double amountDue);
// The daily fraction of the loan's rate: daily 利率/100, monthly 利率/100/30 at six decimals.
double DailyFraction(const LoanRateTerms& terms);
// Overdue days count from the later of the due date and the last repayment; none before that. A
// stored repayment date later than the day its record was saved counts as that day.
int OverdueDays(const InstalmentState& row, const QDate& payDate);

// The repayment of a due instalment on `payDate`: what is still open of principal and interest,
// and overdue interest = 贷款本金 x overdue days x 逾期日利率, each to the cent.
RepaymentProposal ProposeRepayment(const LoanRateTerms& terms, const InstalmentState& row, const QDate& payDate);
// The early repayment on `payDate`: the open principal, and interest from the row's start to that
// day at the loan's daily fraction but at most the row's 应还利息, less interest already paid, never
// below 0; a row whose interest was planned at 0 or is paid already accrues none. Always "已还": a
// proposal of 0 settles the row too.
RepaymentProposal ProposeEarlyRepayment(const LoanRateTerms& terms, const InstalmentState& row, const QDate& payDate);

// The status of a row a repayment leaves: "已还" only when the principal and the interest paid each
// cover what was open of them (within half a cent), else "归还部分"; a surplus in one part never
// closes the other. Against the row's open amounts in 回款确认, against the proposal in 提前还贷.
QString RowStatus(double principal, double openPrincipal, double interest, double openInterest);
// The refusal of a repayment of `principal` and `interest` on the row ("归还本金不能大于未还本金！",
// "归还利息不能大于未还利息！"), or "" when both are at most what is open. The overdue fee is free.
QString RepaymentRefusal(const InstalmentState& row, double principal, double interest);
// "提前还贷日期不能晚于约定归还日期！" when the early date lies after the row's due date, else "".
QString EarlyDateRefusal(const InstalmentState& row, const QDate& date);
}  // namespace RepaymentCalc
