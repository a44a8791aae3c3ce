#pragma once
// What the loan windows write besides the registration: approval, the delete of a loan with all it
// owns, repayments and early repayments. Each runs in one transaction and leaves the journal's
// balances right.
#include <QDate>
#include <QString>
#include <QVariantList>

#include "loans/RepaymentCalc.h"

// Marks the loan 已审核 when it is still at `version` (read when the command started); otherwise
// throws DocumentChanged and writes nothing.
void ApproveLoan(const QString& docNo, qint64 version);
// Deletes the loan, its plan, repayment records, attachment rows, dunning notes and journal rows,
// and recomputes the balances of later journal rows.
void DeleteLoan(const QString& docNo);
// "未还" while a plan row of the loan is "未还" or "归还部分", else "已完结".
QString LoanSettlementStatus(const QString& docNo);

// A plan row as a repayment window shows it, read in one statement with its loan's terms and 版本.
struct InstalmentRead {
  qint32 planId = 0;
  QString docNo;
  qint64 version = -1;
  InstalmentState row;
  LoanRateTerms terms;
};
// Throws when the row (or its loan) does not exist.
InstalmentRead ReadInstalmentRow(qint32 planId);

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
  InstalmentRead seen;    // what the window's proposal came from
};

enum class RepaymentSaved { Saved, AlreadyPaid, Missing };
// Adds the payment to the plan row and the loan (adding to what the database holds, so two
// payments one after the other both count), settles the loan when no row is left open, adds the
// PJ_Hkjl record and the income rows of the journal ("存款本金收入" or, early, "回款本金收入";
// "贷款利息收入"; "逾期手续费收入"). A row already paid or gone writes nothing. The save first claims
// the loan at `seen.version` and pays only a row still as seen; otherwise it throws DocumentChanged
// and writes nothing.
RepaymentSaved SaveRepayment(const RepaymentEntry& entry);

// "编号 in (?,?)" for a stored comma list of keys, with the keys as bound values; a list without
// any key ("0", "") gives a condition no row meets.
struct KeyListCondition {
  QString sql;
  QVariantList params;
};
KeyListCondition KeyListIn(const QString& field, const QString& list);
