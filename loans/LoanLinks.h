#pragma once
// Windows of other subsystems that the loan windows open: the shell fills these in, so the loan
// windows do not include those windows themselves. Unset, the command says "此功能尚未安装。".
#include <QString>
#include <QVariantList>

#include <functional>

#include "platform/Dialogs.h"

class QWidget;

// Document printing: kind 2 the loan voucher (key 单号), kinds 3 and 4 the repayment receipt (key the
// repayment record's 编号).
extern std::function<void(QWidget* owner, int kind, const QString& key)> gShowLoanPrint;
// The list print through the template "JJ4.fr3": the list's last query with its values, as dataset "贷款记录".
extern std::function<void(QWidget* owner, const QString& sql, const QVariantList& params)> gPrintLoanList;
// The remittance notice by SMS to the borrower of a loan.
extern std::function<void(QWidget* owner, const QString& docNo)> gShowLoanSms;
// The loan's contract from its template.
extern std::function<void(const QString& docNo)> gMakeLoanContract;
// The payment view of a financing record, opened from the calendars' popup.
extern std::function<void(QWidget* owner, const QString& docNo)> gShowPaymentView;

// Runs a link, or says that its window is not installed.
template <class F, class... A>
void RunLoanLink(const F& link, A&&... args) {
  if (link)
    link(std::forward<A>(args)...);
  else
    MsgBox(QStringLiteral("此功能尚未安装。"), Mb::Information);
}
