#pragma once
// The cash and bank journal PJ_Liushui and the bank data of the next money movement.
// Rows are added only through WriteLedgerEntry; each carries the running balance of the whole journal.
#include <QString>

#include <optional>

#include "app/services/BankInfo.h"

// Adds one PJ_Liushui row: 单号, 金额 (negated in the caller's variable when 方向 is "支出"), 摘要,
// 方向, 经办人, 操作员 = gLoginAccount, our and the counterparty's bank data from gBankInfo items 0 to
// 5, 对应ID, 机器ID, 科室ID, and 余额 = the total of 金额 over the journal before the row plus 金额.
// The total is read and the row written inside the caller's transaction: in a save's
// Transaction the journal stays locked until that save commits or rolls back, so two workstations
// never compute a balance from the same total. Called outside a transaction it takes one of its own
// for the two steps. It never commits the caller's transaction and reports nothing: a failure is
// thrown to the calling save, whose guard rolls back and reports it.
void WriteLedgerEntry(const QString& docNo, double& amount, const QString& summary, const QString& direction,
                      const QString& handler, qint32 relatedId);
// Sets gBankInfo items 0 to 5 to the empty text; items 6 to 50 keep their values.
void ClearBankInfo();
// ClearBankInfo, then items 3 to 5 from the bank data (开户行, 开户名, 银行帐号) of the borrower of the
// loan `docNo`: PJ_Kehu when its 客户性质 is "个人", PJ_Kehu_Gs otherwise. A borrower deleted since
// leaves them empty; a loan deleted since throws DocumentChanged.
void LoadBorrowerBankInfo(const QString& docNo);
// ClearBankInfo, then items 3 to 5 from the investor (PJ_Gd: 开户行, 开户名, 银行账号) of the
// financing record `docNo`. An investor deleted since leaves them empty; a record deleted since
// throws DocumentChanged.
void LoadInvestorBankInfo(const QString& docNo);

// For the windows that delete or edit a document: deletes its journal rows and recomputes 余额 of
// every later row, so that each row's balance is again the sum of 金额 up to it. Runs in the caller's
// transaction (or one of its own). Returns the number of rows deleted. The later balances move by
// one statement per stretch between two of its rows, whatever the length of the journal.
qint64 DeleteLedgerEntries(const QString& docNo);

// ---- an edit of a registration keeps its rows where they are (same 编号, 时间, accounts)
struct LedgerRow {
  qint64 id = 0;
  double amount = 0;  // 金额 as stored (signed)
};
// The document's first row with this 摘要.
std::optional<LedgerRow> FindLedgerRow(const QString& docNo, const QString& summary);
// Sets 金额 (signed), 经办人 and 对应ID of the row; when 金额 changes, the row's and every later
// 余额 move by the difference in one statement. In the caller's transaction (or one of its own).
void UpdateLedgerRow(const LedgerRow& row, double signedAmount, const QString& handler, qint32 relatedId);
// Writes gBankInfo items 0 to 5 into the row's accounts (an edit whose accounts were chosen again).
void UpdateLedgerAccounts(qint64 id);
// gBankInfo items 0 to 5 from the accounts of the document's first row with this 摘要 (an edit's
// account picker opens with them); false, and nothing changed, when there is no such row.
bool LoadLedgerRowAccounts(const QString& docNo, const QString& summary);
// Deletes one row; the later balances move by its amount in one statement.
void DeleteLedgerRow(qint64 id);
