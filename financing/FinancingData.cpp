#include "financing/FinancingData.h"

#include <QFile>

#include <algorithm>

#include "app/data/SettledInterest.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/BookStart.h"
#include "app/services/BankInfo.h"
#include "app/services/DocumentClaim.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "loans/AttachmentCopies.h"
#include "platform/Clock.h"
#include "platform/Money.h"
#include "platform/WaitCursor.h"

namespace {
const QString kPaid = QStringLiteral("已付");
const QString kPrepaidRemark = QStringLiteral("提前支取利息");
const QStringList kNumberTables = {QStringLiteral("PJ_Cjjl"), QStringLiteral("PJ_Cjzfjh"), QStringLiteral("PJ_DkFj")};
const QString kPrincipalSummary = QStringLiteral("拆借本金收入");
const QString kInterestSummary = QStringLiteral("拆借利息支出");

[[noreturn]] void refuse(const QString& message) { throw FinancingInputError(message); }

QVariant dateValue(const QDate& d) { return d.isValid() ? QVariant(DateText(d)) : QVariant(); }

// A stored plan row created paid at registration: paid, but never through a payment (no 支付日期).
bool createdPaid(const QVariantList& row, int statusCol, int dateCol) {
  return VariantText(row[statusCol]) == kPaid && VariantText(row[dateCol]).isEmpty();
}
}  // namespace

QString NewFinancingNumber() { return PeekDocumentNumber(QStringLiteral("C"), kNumberTables); }

bool HasFinancingPayments(const QString& docNo) {
  const QVariant planned = Db().scalar(
      QStringLiteral("select count(*) from PJ_Cjzfjh where 单号=? and (结算状态=? or 支付日期 is not null)"),
      {docNo, QStringLiteral("支付部分")});
  if (VariantNumber(planned) > 0) return true;
  return FinancingPaymentRecordCount(docNo) > 0;
}

void ReplaceFinancingPlan(const QString& docNo, const FinancingPlan& plan, const QString& investor, const QString& handler) {
  if (docNo.isEmpty()) refuse(QStringLiteral("单号为空，不能生成计划！"));
  Transaction tx;
  if (HasFinancingPayments(docNo)) refuse(QStringLiteral("该单据已有支付记录，不能重新生成计划！"));
  Connection& db = Db();
  db.Execute(QStringLiteral("delete from PJ_Cjzfjh where 单号=?"), {docNo});
  const QString sql = QStringLiteral(
      "insert into PJ_Cjzfjh (单号,支付期次,拆借本金,应付本金,应付利息,已付本金,已付利息,结算状态,开始日期,约定支付日期,"
      "计息天数,业务日期,经办人,客户名称) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  for (const FinancingPlanRow& r : plan.rows)
    db.Execute(sql, {docNo, r.支付期次, r.拆借本金, r.应付本金, r.应付利息, 0.0, r.已付利息, r.结算状态, dateValue(r.开始日期),
                     dateValue(r.约定支付日期), r.计息天数, dateValue(r.业务日期), handler.trimmed(), investor.trimmed()});
  tx.Commit();
}

namespace {
void insertPrepaidPayment(const QString& docNo, qint64 period, double prepaid, qint64 planRowId) {
  Db().Execute(QStringLiteral("insert into PJ_Cjzfjl (单号,期次,本金,利息,提前支取扣款,付款状态,备注,操作员,计划ID,机器ID,科室ID) "
                              "values (?,?,?,?,?,?,?,?,?,?,?)"),
               {docNo, period, 0.0, prepaid, 0.0, kPaid, kPrepaidRemark, gUserName, planRowId, static_cast<int>(gMachineId),
                gUserDeptId});
}

// An edit's registration records, where they are: the principal row, then the prepaid record and
// its journal row updated, added (a new movement) or dropped.
void updateRegistrationInPlace(const FinancingDocument& doc, const QString& docNo, double amount, double prepaid, qint64 period,
                               qint64 planRowId) {
  const QString handler = doc.record.业务经办.trimmed();
  if (const auto row = FindLedgerRow(docNo, kPrincipalSummary)) {
    UpdateLedgerRow(*row, amount, handler, 0);
    if (doc.accountsChosen) UpdateLedgerAccounts(row->id);
  }
  const QVariant recordId =
      Db().scalar(QStringLiteral("select min(编号) from PJ_Cjzfjl where 单号=? and 备注=?"), {docNo, kPrepaidRemark});
  const bool hadRecord = recordId.isValid() && !recordId.isNull();
  const auto payoutRow = FindLedgerRow(docNo, kInterestSummary);
  if (prepaid > 0) {
    if (hadRecord)
      Db().Execute(QStringLiteral("update PJ_Cjzfjl set 期次=?, 利息=?, 计划ID=? where 编号=?"), {period, prepaid, planRowId, recordId});
    else
      insertPrepaidPayment(docNo, period, prepaid, planRowId);
    if (payoutRow) {
      UpdateLedgerRow(*payoutRow, -prepaid, handler, static_cast<qint32>(planRowId));
      if (doc.accountsChosen) UpdateLedgerAccounts(payoutRow->id);
    } else {
      double money = prepaid;
      WriteLedgerEntry(docNo, money, kInterestSummary, QStringLiteral("支出"), handler, static_cast<qint32>(planRowId));
    }
    return;
  }
  if (hadRecord) Db().Execute(QStringLiteral("delete from PJ_Cjzfjl where 编号=?"), {recordId});
  if (payoutRow) DeleteLedgerRow(payoutRow->id);
}

// Inside a save's transaction the read holds the investor's row to the commit on SQL Server, so that
// its delete cannot cross the save.
bool investorExists(qint32 id) {
  return !Db().query(QStringLiteral("select 编号 from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Gd")) + QStringLiteral(" where 编号=?"), {id})
              .rows.empty();
}
}  // namespace

QString OutdatedFinancingRefusal(const FinancingDocument& doc) {
  const FinancingRecordInput& in = doc.record;
  if (in.editing && DocumentVersion(QStringLiteral("PJ_Cjjl"), in.docNo) != doc.version) return DocumentChangedMessage();
  // An investor not picked yet is the window's own check.
  if (in.客户ID > 0 && !investorExists(in.客户ID)) return QStringLiteral("投资人已被删除，请重新选择！");
  return {};
}

QString SaveFinancingDocument(const FinancingDocument& doc) {
  FinancingRecordInput in = doc.record;
  in.editing = doc.record.editing;
  QStringList droppedFiles;
  WaitCursor busy;
  Transaction tx;
  Connection& db = Db();
  if (in.editing) {
    ClaimDocument(QStringLiteral("PJ_Cjjl"), in.docNo, doc.version);
    if (HasFinancingPayments(in.docNo)) refuse(QStringLiteral("该单据已有支付记录，不能修改！"));
  } else {
    in.docNo = TakeDocumentNumber(QStringLiteral("C"), kNumberTables);
  }
  if (!investorExists(in.客户ID)) refuse(QStringLiteral("投资人已被删除，请重新选择！"));
  if (doc.newPlan || !in.editing) ReplaceFinancingPlan(in.docNo, doc.plan, in.客户名称, in.业务经办);
  const QueryResult plan = db.query(
      QStringLiteral("select 编号,支付期次,应付本金,应付利息,计息天数,结算状态,支付日期 from PJ_Cjzfjh where 单号=? order by 支付期次,编号"),
      {in.docNo});
  if (plan.rows.empty()) refuse(QStringLiteral("还没有添加拆借计划！"));
  const bool exists = VariantNumber(db.scalar(QStringLiteral("select count(*) from PJ_Cjjl where 单号=?"), {in.docNo})) > 0;
  if (in.editing && !exists) refuse(QStringLiteral("该单据已不存在！"));
  if (!in.editing && exists) refuse(QStringLiteral("单号已存在，请关闭后重新登记！"));

  double principal = 0, interest = 0, prepaid = 0;
  qint64 days = 0, prepaidRowId = 0, prepaidNumber = 0;
  for (const QVariantList& r : plan.rows) {
    principal += VariantNumber(r[2]);
    interest += VariantNumber(r[3]);
    days += static_cast<qint64>(VariantNumber(r[4]));
    if (createdPaid(r, 5, 6)) {
      prepaid += VariantNumber(r[3]);
      if (prepaidRowId == 0) {
        prepaidRowId = static_cast<qint64>(VariantNumber(r[0]));
        prepaidNumber = static_cast<qint64>(VariantNumber(r[1]));
      }
    }
  }
  // The journal takes the amount from the form: the plan must be the plan of that amount.
  const double amount = Money::round(in.本金, 2);
  if (Money::round(principal, 2) != amount) refuse(QStringLiteral("拆借金额与支付计划不符，请重新生成支付计划！"));
  prepaid = Money::round(prepaid, 2);

  Recordset rs;
  OpenRecordset(rs, QStringLiteral("select * from PJ_Cjjl where 单号=?"), {in.docNo});
  if (!in.editing) rs.AddNew();
  auto set = [&rs](const char* column, const QVariant& v) { rs.setValue(QString::fromUtf8(column), v); };
  set("单号", in.docNo);
  set("登记日期", dateValue(in.登记日期));
  set("利率类别", in.利率类别);
  set("利率", in.利率);
  set("利息", Money::round(interest, 2));
  set("利率系数", in.利率系数);
  set("计息天数", days);
  set("本金", amount);
  set("日利率", in.日利率);
  set("提前支取日利率", in.提前支取日利率);
  set("提前支取利率", in.提前支取利率);
  set("客户名称", in.客户名称.trimmed());
  set("提成比例", in.提成比例);
  set("首尾计息", in.首尾计息 ? 1 : 0);
  set("业务经办", in.业务经办.trimmed());
  set("约定支付日期", dateValue(in.止息日期));
  set("起息日期", dateValue(in.起息日期));
  set("止息日期", dateValue(in.止息日期));
  set("客户ID", in.客户ID);
  set("备注", in.备注.trimmed());
  set("操作员", gUserName);
  set("部门", in.部门);
  set("支付计划", in.支付计划);
  // Without payments, what is paid is the interest paid at registration.
  set("已付利息", prepaid);
  set("拆借类别", in.拆借类别);
  set("机器ID", static_cast<int>(gMachineId));
  set("科室ID", gUserDeptId);
  if (!in.editing) {
    set("版本", 0);
    set("结算状态", QStringLiteral("未付"));
    set("放弃标记", QStringLiteral("正常"));
    set("已付本金", 0.0);
    set("提前支取扣款", 0.0);
    set("业务状态", gSystemSettings[4].trimmed() == QLatin1String("0") ? QStringLiteral("已审核") : QStringLiteral("未审核"));
  }
  rs.Update();
  rs.Close();

  // The plan rows name the investor and handler the record names.
  db.Execute(QStringLiteral("update PJ_Cjzfjh set 客户名称=?, 经办人=? where 单号=?"),
             {in.客户名称.trimmed(), in.业务经办.trimmed(), in.docNo});
  if (in.editing) {
    updateRegistrationInPlace(doc, in.docNo, amount, prepaid, prepaidNumber, prepaidRowId);
  } else {
    if (prepaid > 0) insertPrepaidPayment(in.docNo, prepaidNumber, prepaid, prepaidRowId);
    double money = amount;
    WriteLedgerEntry(in.docNo, money, kPrincipalSummary, QStringLiteral("收入"), in.业务经办.trimmed(), 0);
    if (prepaid > 0) {
      money = prepaid;
      WriteLedgerEntry(in.docNo, money, kInterestSummary, QStringLiteral("支出"), in.业务经办.trimmed(), static_cast<qint32>(prepaidRowId));
    }
  }
  droppedFiles = LoanStore::SaveAttachmentRows(in.docNo, doc.attachments);
  MoveBookStartBack(in.登记日期, in.起息日期);
  tx.Commit();
  LoanStore::SettleSavedAttachments(doc.attachments, droppedFiles);
  return in.docNo;
}

qint64 FinancingPaymentRecordCount(const QString& docNo) {
  return static_cast<qint64>(VariantNumber(Db().scalar(
      QStringLiteral("select count(*) from PJ_Cjzfjl where 单号=? and (付款状态<>? or 本金<>0 or coalesce(备注,'')<>?)"),
      {docNo, kPaid, kPrepaidRemark})));
}

void DeleteFinancingRecord(const QString& docNo, qint64 version) {
  WaitCursor busy;
  Transaction tx;
  ClaimDocument(QStringLiteral("PJ_Cjjl"), docNo, version);
  Connection& db = Db();
  for (const char* table : {"PJ_Cjjl", "PJ_Cjzfjh", "PJ_DkFj", "PJ_Cjzfjl"})
    db.Execute(QStringLiteral("delete from ") + QString::fromLatin1(table) + QStringLiteral(" where 单号=?"), {docNo});
  DeleteLedgerEntries(docNo);
  tx.Commit();
}

void LoadInvestorBankInfoById(qint32 investorId) {
  ClearBankInfo();
  const QueryResult r = Db().query(QStringLiteral("select 开户行,开户名,银行账号 from PJ_Gd where 编号=?"), {investorId});
  if (r.rows.empty()) return;
  for (int i = 0; i < 3; ++i) gBankInfo[static_cast<size_t>(3 + i)] = VariantText(r.rows.front()[i]);
}

namespace {
const QString kPlanRowColumns = QStringLiteral("h.单号,h.支付期次,h.应付本金,h.应付利息,h.已付本金,h.已付利息,h.提前支取扣款,h.结算状态,"
                                               "h.开始日期,h.约定支付日期,h.计息天数,h.拆借本金,h.提前支取减息");
PlanRowState planRowOf(const QVariantList& v) {
  PlanRowState s;
  s.支付期次 = static_cast<int>(VariantNumber(v[1]));
  s.应付本金 = VariantNumber(v[2]);
  s.应付利息 = VariantNumber(v[3]);
  s.已付本金 = VariantNumber(v[4]);
  s.已付利息 = VariantNumber(v[5]);
  s.提前支取扣款 = VariantNumber(v[6]);
  s.结算状态 = VariantText(v[7]);
  s.开始日期 = ParseDateText(VariantText(v[8]));
  s.约定支付日期 = ParseDateText(VariantText(v[9]));
  s.计息天数 = static_cast<int>(VariantNumber(v[10]));
  s.拆借本金 = VariantNumber(v[11]);
  s.提前支取减息 = VariantNumber(v[12]);
  return s;
}
[[noreturn]] void planRowGone(qint32 planRowId) {
  throw AppError(Err::ObjectNotSet, QStringLiteral("支付计划第%1行已不存在。").arg(planRowId));
}
}  // namespace

PlanRowState LoadPlanRowState(qint32 planRowId, QString* docNo) {
  const QueryResult r = Db().query(QStringLiteral("select ") + kPlanRowColumns + QStringLiteral(" from PJ_Cjzfjh h where h.编号=?"), {planRowId});
  if (r.rows.empty()) planRowGone(planRowId);
  if (docNo) *docNo = VariantText(r.rows.front()[0]);
  return planRowOf(r.rows.front());
}

PlanRowRead ReadPlanRow(qint32 planRowId) {
  const QueryResult r = Db().query(QStringLiteral("select ") + kPlanRowColumns +
                                       QStringLiteral(",d.版本 from PJ_Cjzfjh h join PJ_Cjjl d on d.单号=h.单号 where h.编号=?"),
                                   {planRowId});
  if (r.rows.empty()) planRowGone(planRowId);
  const QVariantList& v = r.rows.front();
  return {planRowId, VariantText(v[0]), static_cast<qint64>(VariantNumber(v[13])), planRowOf(v)};
}

FinancingRates LoadFinancingRates(const QString& docNo) {
  const QueryResult r = Db().query(QStringLiteral("select 本金,利率,利率类别,提前支取利率,已付本金 from PJ_Cjjl where 单号=?"), {docNo});
  if (r.rows.empty()) throw AppError(Err::ObjectNotSet, QStringLiteral("拆借记录%1已不存在。").arg(docNo));
  const QVariantList& v = r.rows.front();
  return {VariantNumber(v[0]), VariantNumber(v[1]), VariantText(v[2]), VariantNumber(v[3]), VariantNumber(v[4])};
}

QString PaymentSavedMessage() { return QStringLiteral("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】"); }

void PostFinancingPayment(const PaymentPosting& p) {
  const double P = Money::round(p.本金, 2), I = Money::round(p.利息, 2), D = Money::round(p.提前支取扣款, 2);
  if (P < 0 || I < 0 || D < 0) refuse(QStringLiteral("支付金额不能为负数！"));
  WaitCursor busy;
  Transaction tx;
  if (p.seen.planRowId != p.planRowId) throw DocumentChanged();
  ClaimDocument(QStringLiteral("PJ_Cjjl"), p.seen.docNo, p.seen.version);
  Connection& db = Db();
  QString docNo;
  const PlanRowState row = LoadPlanRowState(p.planRowId, &docNo);
  // Read again inside the transaction: a row another window has just settled is not paid twice.
  if (row.结算状态 == kPaid) refuse(QStringLiteral("该期次拆借已付清！"));
  // More principal than the row still owes would pay the investor out twice.
  if (P > std::max(0.0, Money::round(row.应付本金 - row.已付本金, 2))) refuse(QStringLiteral("支付本金不能大于未付本金！"));
  const QString status = p.付款状态 == kPaid ? kPaid : QStringLiteral("支付部分");
  // The proposal came from the row as seen: a row paid since (by a save that did not claim) is not paid again.
  const QString seenRow = QStringLiteral(" where 编号=? and 单号=? and abs(coalesce(已付本金,0)-?)<0.005 and "
                                         "abs(coalesce(已付利息,0)-?)<0.005 and coalesce(结算状态,'')=?");
  const QVariantList seenParams{p.planRowId, p.seen.docNo, p.seen.row.已付本金, p.seen.row.已付利息, p.seen.row.结算状态};
  qint64 paid = 0;
  if (p.early) {
    paid = db.Execute(QStringLiteral("update PJ_Cjzfjh set 已付本金=round(coalesce(已付本金,0)+?,2), 已付利息=round(coalesce(已付利息,0)+?,2), "
                                     "提前支取扣款=round(coalesce(提前支取扣款,0)+?,2), 结算状态=?, 支付日期=?, 备注=?") + seenRow,
                      QVariantList{P, I, D, status, dateValue(p.date), p.备注} + seenParams);
  } else {
    paid = db.Execute(QStringLiteral("update PJ_Cjzfjh set 已付本金=round(coalesce(已付本金,0)+?,2), 已付利息=round(coalesce(已付利息,0)+?,2), "
                                     "结算状态=?, 支付日期=?") + seenRow,
                      QVariantList{P, I, status, dateValue(p.date)} + seenParams);
  }
  if (paid != 1) throw DocumentChanged();
  if (p.early && status != kPaid) {
    // Principal returned early earns nothing from the payment date to the due date.
    const PlanRowState after = PlanRowAfterEarlyPayment(LoadFinancingRates(docNo), row, p.date, P, I, D, status);
    const double cut = Money::round(row.应付利息 - after.应付利息, 2);
    if (cut > 0) {
      db.Execute(QStringLiteral("update PJ_Cjzfjh set 应付利息=?, 提前支取减息=round(coalesce(提前支取减息,0)+?,2) where 编号=?"),
                 {after.应付利息, cut, p.planRowId});
      db.Execute(QStringLiteral("update PJ_Cjjl set 利息=round(coalesce(利息,0)-?,2) where 单号=?"), {cut, docNo});
    }
  }
  // Interest an early settlement (or a waiver) did not charge is no longer owed.
  LowerUnchargedInterest(db, PlanBook::Financing, QStringLiteral("编号=?"), {p.planRowId});
  QStringList statuses;
  for (const QVariantList& r : db.query(QStringLiteral("select 结算状态 from PJ_Cjzfjh where 单号=?"), {docNo}).rows)
    statuses << VariantText(r[0]);
  db.Execute(QStringLiteral("update PJ_Cjjl set 已付本金=round(coalesce(已付本金,0)+?,2), 已付利息=round(coalesce(已付利息,0)+?,2), "
                            "提前支取扣款=round(coalesce(提前支取扣款,0)+?,2), 结算状态=? where 单号=?"),
             {P, I, D, RecordSettlement(statuses), docNo});
  db.Execute(QStringLiteral("insert into PJ_Cjzfjl (单号,期次,本金,利息,提前支取扣款,付款状态,备注,操作员,计划ID,机器ID,科室ID) "
                            "values (?,?,?,?,?,?,?,?,?,?,?)"),
             {docNo, row.支付期次, P, I, D, status, p.early ? QVariant(p.备注) : QVariant(QString()), gUserName, p.planRowId,
              static_cast<int>(gMachineId), gUserDeptId});
  double money = P;
  if (P > 0) WriteLedgerEntry(docNo, money, QStringLiteral("拆借支取支出"), QStringLiteral("支出"), p.handler, p.planRowId);
  money = I;
  if (I > 0) WriteLedgerEntry(docNo, money, QStringLiteral("拆借利息支取支出"), QStringLiteral("支出"), p.handler, p.planRowId);
  money = D;
  if (D > 0) WriteLedgerEntry(docNo, money, QStringLiteral("拆借提前支取扣款收入"), QStringLiteral("收入"), p.handler, p.planRowId);
  tx.Commit();
}
