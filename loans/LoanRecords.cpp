#include "loans/LoanRecords.h"

#include "loans/LoanStore.h"

#include "app/data/SettledInterest.h"
#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/data/ConnectionSettings.h"
#include "platform/Clock.h"
#include "platform/WaitCursor.h"

void ApproveLoan(const QString& docNo, qint64 version) {
  SetDocumentState(QStringLiteral("PJ_Dkjl"), docNo, version, QStringLiteral("已审核"));
}

InstalmentRead ReadInstalmentRow(qint32 planId) {
  const QueryResult q = Db().query(
      QStringLiteral("select h.单号,h.还贷期次,h.贷款本金,h.应还本金,h.应还利息,h.已还本金,h.已还利息,h.归还状态,h.开始日期,h.约定归还日期,"
                     "h.归还日期,d.版本,d.利率类别,d.利率,d.逾期日利率,(select max(k.日期) from PJ_Hkjl k where k.计划ID=h.编号) "
                     "from PJ_Hdjh h join PJ_Dkjl d on d.单号=h.单号 where h.编号=?"),
      {planId});
  if (q.rows.empty()) throw AppError(Err::NoCurrentRecord, QStringLiteral("找不到该期还款计划（编号%1）。").arg(planId));
  const QVariantList& v = q.rows.front();
  InstalmentRead r;
  r.planId = planId;
  r.docNo = VariantText(v[0]);
  InstalmentState& s = r.row;
  s.period = static_cast<int>(VariantNumber(v[1]));
  s.loanPrincipal = VariantNumber(v[2]);
  s.duePrincipal = VariantNumber(v[3]);
  s.dueInterest = VariantNumber(v[4]);
  s.paidPrincipal = VariantNumber(v[5]);
  s.paidInterest = VariantNumber(v[6]);
  s.status = VariantText(v[7]);
  s.start = ParseDateText(VariantText(v[8]));
  s.due = ParseDateText(VariantText(v[9]));
  s.lastPaid = ParseDateText(VariantText(v[10]));
  s.lastRecordDay = ParseDateText(VariantText(v[15]));
  r.version = static_cast<qint64>(VariantNumber(v[11]));
  r.terms = {VariantText(v[12]), VariantNumber(v[13]), VariantNumber(v[14])};
  return r;
}

void DeleteLoan(const QString& docNo) {
  // The attachment rows go, their files stay in the attachment folder: a backup restored after a
  // mistaken delete brings the rows back, and they must find their files.
  WaitCursor busy;
  Transaction t;
  for (const char* table : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_DkFj", "PJ_Dxck"})
    Db().Execute(QStringLiteral("delete from ") + QString::fromLatin1(table) + QStringLiteral(" where 单号=?"), {docNo});
  DeleteLedgerEntries(docNo);
  t.Commit();
}

QString LoanSettlementStatus(const QString& docNo) {
  const qint64 open =
      Db().scalar(QStringLiteral("select count(*) from PJ_Hdjh where 单号=? and 归还状态 in (?,?)"),
                  {docNo, QStringLiteral("未还"), QStringLiteral("归还部分")})
          .toLongLong();
  return open > 0 ? QStringLiteral("未还") : QStringLiteral("已完结");
}

RepaymentSaved SaveRepayment(const RepaymentEntry& e) {
  WaitCursor busy;
  Transaction t;
  if (e.seen.planId != e.planId) throw DocumentChanged();
  ClaimDocument(QStringLiteral("PJ_Dkjl"), e.seen.docNo, e.seen.version);
  const QueryResult row = Db().query(QStringLiteral("select 单号,还贷期次,归还状态 from PJ_Hdjh where 编号=?"), {e.planId});
  if (row.rows.empty()) return RepaymentSaved::Missing;
  const QString docNo = row.rows[0][0].toString();
  const qint64 period = row.rows[0][1].toLongLong();
  if (row.rows[0][2].toString() == QStringLiteral("已还")) return RepaymentSaved::AlreadyPaid;

  const QString status = e.early ? QStringLiteral("已还") : e.status;
  const QString remark = e.early ? QStringLiteral("提前还贷") : e.remark;
  const QString day = DateText(e.date);
  // The proposal came from the row as seen: a row paid since (by a save that did not claim) is not paid again.
  const InstalmentState& seen = e.seen.row;
  const qint64 paid = Db().Execute(
      QStringLiteral("update PJ_Hdjh set 已还本金=round(coalesce(已还本金,0)+?,2),已还利息=round(coalesce(已还利息,0)+?,2),"
                     "逾期手续费=round(coalesce(逾期手续费,0)+?,2),归还状态=?,归还日期=?,备注=? where 编号=? and 单号=? and "
                     "abs(coalesce(已还本金,0)-?)<0.005 and abs(coalesce(已还利息,0)-?)<0.005 and coalesce(归还状态,'')=?"),
      {e.principal, e.interest, e.early ? 0.0 : e.fee, status, day, remark, e.planId, e.seen.docNo, seen.paidPrincipal,
       seen.paidInterest, seen.status});
  if (paid != 1) throw DocumentChanged();
  // Interest a settlement did not charge (early, or waived) is no longer owed.
  LowerUnchargedInterest(Db(), PlanBook::Loans, QStringLiteral("编号=?"), {e.planId});
  const QString settled = LoanSettlementStatus(docNo);
  Db().Execute(QStringLiteral("update PJ_Dkjl set 已还本金=round(coalesce(已还本金,0)+?,2),已还利息=round(coalesce(已还利息,0)+?,2),"
                              "逾期利息=round(coalesce(逾期利息,0)+?,2),结算状态=? where 单号=?"),
               {e.principal, e.interest, e.early ? 0.0 : e.fee, settled, docNo});
  Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,本金,利息,手续费,还款状态,计划ID,操作员,机器ID,科室ID,备注) "
                              "values (?,?,?,?,?,?,?,?,?,?,?)"),
               {docNo, period, e.principal, e.interest, e.early ? 0.0 : e.fee, status, e.planId, gUserName, gMachineId,
                gUserDeptId, remark});
  struct Income {
    double amount;
    const char* summary;
  };
  const Income incomes[] = {{e.principal, e.early ? "回款本金收入" : "存款本金收入"},
                            {e.interest, "贷款利息收入"},
                            {e.early ? 0.0 : e.fee, "逾期手续费收入"}};
  for (const Income& in : incomes) {
    if (in.amount <= 0) continue;
    double amount = in.amount;
    WriteLedgerEntry(docNo, amount, QString::fromUtf8(in.summary), QStringLiteral("收入"), e.handler, e.planId);
  }
  t.Commit();
  return RepaymentSaved::Saved;
}

KeyListCondition KeyListIn(const QString& field, const QString& list) {
  QStringList marks;
  QVariantList keys;
  for (qint32 k : LoanStore::ParseIdList(list)) {
    keys << k;
    marks << QStringLiteral("?");
  }
  if (keys.isEmpty()) return {QStringLiteral("1=0"), {}};
  return {field + QStringLiteral(" in (") + marks.join(QLatin1Char(',')) + QStringLiteral(")"), keys};
}
