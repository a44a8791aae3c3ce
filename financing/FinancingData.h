#pragma once
// What the financing windows write: plan rows, the record with its prepaid record and registration
// journal rows, payments, deletes and attachments. Every multi-row write is one transaction; a
// refusal is a FinancingInputError carrying the window's message, thrown before anything is written.
#include <QDate>
#include <QString>
#include <QStringList>

#include "financing/FinancingCalc.h"

// A new financing number: one past the highest sequence of today's stem over the record, plan and
// attachment tables, so that rows left by an abandoned document never meet a new one.
QString NewFinancingNumber();

// Whether any payment was made on the document beyond the interest paid at registration.
bool HasFinancingPayments(const QString& docNo);
// Replaces the document's plan rows with `plan`, all or nothing. Refused once payments exist.
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
};
// Saves the record from its stored plan in one transaction: the PJ_Cjjl row, the prepaid-interest
// record and the journal rows of the principal taken in and the interest paid out. An edit first
// removes what the earlier save of the document wrote (so a document saved N times has one set).
void SaveFinancingRecord(const FinancingRecordInput& in);
// Deletes the record with its plan, attachments, payments and journal rows (later journal
// balances recomputed), in one transaction.
void DeleteFinancingRecord(const QString& docNo);
// A new document closed unsaved: its plan rows, attachment rows and copied files go.
void AbandonFinancingDocument(const QString& docNo);

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
