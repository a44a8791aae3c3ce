#pragma once
// Windows of other subsystems that the loan windows open: the shell fills these in, so the loan
// windows do not include those windows themselves.
#include <QString>

#include <functional>

class QWidget;

// Document printing: kind 2 the loan's IOU (key 单号), kind 3 (the loan view) and 4 (the repayment
// records list) the repayment receipt (key the repayment record's 编号).
extern std::function<void(QWidget* owner, int kind, const QString& key)> gShowLoanPrint;
// The single SMS notice of a loan's remittance (kind 1) to the borrower.
extern std::function<void(QWidget* owner, const QString& docNo)> gShowLoanSms;

// Runs a link when the shell has set it.
template <class F, class... A>
void RunLoanLink(const F& link, A&&... args) {
  if (link) link(std::forward<A>(args)...);
}
