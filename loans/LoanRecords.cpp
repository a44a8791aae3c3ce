#include "loans/LoanRecords.h"

#include "loans/LoanStore.h"

#include "app/data/SettledInterest.h"
#include "app/data/DataAccess.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/data/ConnectionSettings.h"
#include "platform/Clock.h"

void ApproveLoan(const QString& docNo) {
  Db().Execute(QStringLiteral("update PJ_Dkjl set 业务状态='已审核' where 单号=?"), {docNo});
}

void DeleteLoan(const QString& docNo) {
  QStringList files;
  {
    Transaction t;
    files = LoanStore::AttachmentFiles(docNo);
    for (const char* table : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_DkFj", "PJ_Dxck"})
      Db().Execute(QStringLiteral("delete from ") + QString::fromLatin1(table) + QStringLiteral(" where 单号=?"), {docNo});
    DeleteLedgerEntries(docNo);
    t.Commit();
  }
  // The copied attachments go with their rows, once the delete has been saved.
  LoanStore::RemoveAttachmentFiles(files);
}

QString LoanSettlementStatus(const QString& docNo) {
  const qint64 open =
      Db().scalar(QStringLiteral("select count(*) from PJ_Hdjh where 单号=? and 归还状态 in ('未还','归还部分')"), {docNo}).toLongLong();
  return open > 0 ? QStringLiteral("未还") : QStringLiteral("已完结");
}

RepaymentSaved SaveRepayment(const RepaymentEntry& e) {
  Transaction t;
  const QueryResult row = Db().query(QStringLiteral("select 单号,还贷期次,归还状态 from PJ_Hdjh where 编号=?"), {e.planId});
  if (row.rows.empty()) return RepaymentSaved::Missing;
  const QString docNo = row.rows[0][0].toString();
  const qint64 period = row.rows[0][1].toLongLong();
  if (row.rows[0][2].toString() == QStringLiteral("已还")) return RepaymentSaved::AlreadyPaid;

  const QString status = e.early ? QStringLiteral("已还") : e.status;
  const QString remark = e.early ? QStringLiteral("提前还贷") : e.remark;
  const QString day = DateText(e.date);
  Db().Execute(QStringLiteral("update PJ_Hdjh set 已还本金=round(已还本金+?,2),已还利息=round(已还利息+?,2),"
                              "逾期手续费=round(逾期手续费+?,2),归还状态=?,归还日期=?,备注=? where 编号=?"),
               {e.principal, e.interest, e.early ? 0.0 : e.fee, status, day, remark, e.planId});
  // Interest a settlement did not charge (early, or waived) is no longer owed.
  LowerUnchargedInterest(Db(), PlanBook::Loans, QStringLiteral("编号=?"), {e.planId});
  const QString settled = LoanSettlementStatus(docNo);
  Db().Execute(QStringLiteral("update PJ_Dkjl set 已还本金=round(已还本金+?,2),已还利息=round(已还利息+?,2),"
                              "逾期利息=round(逾期利息+?,2),结算状态=? where 单号=?"),
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
