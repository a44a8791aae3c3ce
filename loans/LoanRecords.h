#pragma once
// What the loan windows write besides the registration: approval, the delete of a loan with all it
// owns, repayments and early repayments. Each runs in one transaction and leaves the journal's
// balances right.
#include <QDate>
#include <QString>
#include <QVariantList>

// Marks the loan 已审核.
void ApproveLoan(const QString& docNo);
// Deletes the loan, its plan, repayment records, attachment rows, dunning notes and journal rows,
// and recomputes the balances of later journal rows.
void DeleteLoan(const QString& docNo);
// "未还" while a plan row of the loan is "未还" or "归还部分", else "已完结".
QString LoanSettlementStatus(const QString& docNo);

// One payment on one plan row.
struct RepaymentEntry {
  qint32 planId = 0;
  double principal = 0;   // cents
  double interest = 0;
  double fee = 0;         // overdue fee (not for early repayment)
  QString status;         // the row's new 归还状态
  QDate date;             // 归还日期
  QString remark;         // 备注 of the row and the record
  QString handler;        // the loan's 业务经办, 经办人 of the journal rows
  bool early = false;
};

enum class RepaymentSaved { Saved, AlreadyPaid, Missing };
// Adds the payment to the plan row and the loan (adding to what the database holds, so two
// payments one after the other both count), settles the loan when no row is left open, adds the
// PJ_Hkjl record and the income rows of the journal ("存款本金收入" or, early, "回款本金收入";
// "贷款利息收入"; "逾期手续费收入"). A row already paid or gone writes nothing.
RepaymentSaved SaveRepayment(const RepaymentEntry& entry);

// "编号 in (?,?)" for a stored comma list of keys, with the keys as bound values; a list without
// any key ("0", "") gives a condition no row meets.
struct KeyListCondition {
  QString sql;
  QVariantList params;
};
KeyListCondition KeyListIn(const QString& field, const QString& list);
