#pragma once
// What the financing windows write: plan rows, the record with its prepaid record and registration
// journal rows, payments, deletes and attachments. Every multi-row write is one transaction; a
// refusal is a FinancingInputError carrying the window's message, thrown before anything is written.
#include <QDate>
#include <QString>
#include <QStringList>

#include "financing/FinancingCalc.h"
#include "loans/LoanStore.h"

// The number the next save takes (shown at open); the save takes its own over the record, plan
// and attachment tables and the sequence table.
QString NewFinancingNumber();

// Whether any payment was made on the document beyond the interest paid at registration.
bool HasFinancingPayments(const QString& docNo);
// Replaces the document's plan rows with `plan`, all or nothing (in the caller's transaction, or
// one of its own). Refused once payments exist.
void ReplaceFinancingPlan(const QString& docNo, const FinancingPlan& plan, const QString& investor, const QString& handler);

// The registration form's values as the save stores them.
struct FinancingRecordInput {
  QString docNo;
  bool editing = false;
  QDate 登记日期, 起息日期, 止息日期;
  QString 利率类别, 客户名称, 业务经办, 备注, 拆借类别, 部门, 支付计划;
  double 本金 = 0, 利率 = 0, 提前支取利率 = 0, 提成比例 = 0;
  double 日利率 = 0, 提前支取日利率 = 0;
  int 利率系数 = 1;
  bool 首尾计息 = false;
  qint32 客户ID = 0;
  // The fields the plan was computed from, as the registration form's boxes give them.
  void setTerms(const FinancingTerms& t) {
    登记日期 = t.登记日期;
    起息日期 = t.起息日期;
    止息日期 = t.止息日期;
    利率类别 = t.利率类别;
    客户名称 = t.客户名称;
    业务经办 = t.业务经办;
    本金 = t.本金;
    利率 = t.利率;
    提前支取利率 = t.提前支取利率;
    提成比例 = t.提成比例;
    首尾计息 = t.首尾计息;
  }
};
// Everything the registration window holds, as one save writes it.
struct FinancingDocument {
  FinancingRecordInput record;  // record.docNo: "" for a new record (the save takes the number)
  qint64 version = 0;           // 版本 read with the record (an edit)
  bool newPlan = false;         // `plan` was built in the window; an edit without it keeps its rows
  FinancingPlan plan;
  bool accountsChosen = false;  // gBankInfo holds accounts picked for this save
  QList<LoanStore::Attachment> attachments;
};
// What no correction in the window mends, said before any check of its boxes or plan; "" when none:
// "该单据已被其他用户修改，请关闭窗口后重新打开！" (an edit of a record saved or deleted since it was
// read), "投资人已被删除，请重新选择！".
QString OutdatedFinancingRefusal(const FinancingDocument& doc);
// Writes the window's record in one transaction and returns its number: a new record takes its
// number and is inserted (版本 0) with its plan, prepaid record and journal rows; an edit claims the
// record at `version` (DocumentChanged), is refused when it has payments, keeps or replaces its plan
// rows and updates its prepaid record and journal rows in place. After the claim or the number the
// investor is read again (held to the commit on SQL Server): one deleted meanwhile refuses the save.
// A refusal is a FinancingInputError, with nothing written.
QString SaveFinancingDocument(const FinancingDocument& doc);
// The payment records beyond the interest paid at registration.
qint64 FinancingPaymentRecordCount(const QString& docNo);
// Claims the record at `version` (DocumentChanged), then deletes it with its plan, attachments,
// payments and journal rows (later journal balances recomputed), in one transaction.
void DeleteFinancingRecord(const QString& docNo, qint64 version);

// gBankInfo for a money movement without the account picker: ours empty, the investor's bank data.
void LoadInvestorBankInfoById(qint32 investorId);

// ---- payments
// The stored plan row (its 单号 into *docNo); throws when the row does not exist.
PlanRowState LoadPlanRowState(qint32 planRowId, QString* docNo);
// A plan row as a payment window shows it, read in one statement with its record's 版本.
struct PlanRowRead {
  qint32 planRowId = 0;
  QString docNo;
  qint64 version = -1;
  PlanRowState row;
};
// Throws when the row (or its record) does not exist.
PlanRowRead ReadPlanRow(qint32 planRowId);
// The record's rates for early payment.
FinancingRates LoadFinancingRates(const QString& docNo);

struct PaymentPosting {
  qint32 planRowId = 0;
  QDate date;
  QString handler;
  double 本金 = 0, 利息 = 0, 提前支取扣款 = 0;
  QString 付款状态;  // "已付" or "支付部分"
  QString 备注;
  bool early = false;  // early payment writes its deduction and remark
  PlanRowRead seen;    // what the window's proposal came from
};
// What a payment window says after the save.
QString PaymentSavedMessage();
// Posts one payment in one transaction: the plan row's paid sums and status, the record's totals
// and settlement, a PJ_Cjzfjl row and the journal rows of the amounts above 0. It first claims the
// record at `seen.version` and pays only a row still as seen; otherwise it throws DocumentChanged
// and writes nothing.
void PostFinancingPayment(const PaymentPosting& p);
