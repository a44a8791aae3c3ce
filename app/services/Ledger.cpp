#include "app/services/Ledger.h"

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/LoginState.h"
#include "platform/Money.h"

namespace {

// The journal's total: the 余额 of its newest row, which every writer keeps equal to the sum of
// 金额 up to that row, read through the key so the cost does not grow with the journal. It is
// read so that no other writer can add a row until this transaction ends: SQLite holds the file's
// write lock from BEGIN IMMEDIATE on; SQL Server needs the table lock.
QString journalTotalSql() {
  if (CurrentDialect().isServer())
    return QStringLiteral("select top 1 余额 as 总余额 from PJ_Liushui with (tablockx, holdlock) order by 编号 desc");
  return QStringLiteral("select 余额 as 总余额 from PJ_Liushui order by 编号 desc limit 1");
}

QString bankText(int index) { return VariantText(gBankInfo[static_cast<size_t>(index)]); }

}  // namespace

void WriteLedgerEntry(const QString& docNo, double& amount, const QString& summary, const QString& direction,
                      const QString& handler, qint32 relatedId) {
  Transaction tx;  // nests inside the caller's: only the caller's Commit ends it

  // 1. The total of the journal so far.
  gCurrentSql = journalTotalSql();
  gCurrentParams.clear();
  OpenRecordset(gAuxRecordset);
  const double total = gAuxRecordset.Eof() ? 0.0 : gAuxRecordset.number(QStringLiteral("总余额"));
  CloseRecordset(gAuxRecordset);

  // 2. An expense is stored negative, in the caller's variable too.
  if (direction == QStringLiteral("支出")) amount = -amount;

  // 3-6. The new row; the key and 时间 come from the database. No row is read to add one.
  gCurrentSql = QStringLiteral("select * from PJ_Liushui where 编号=0");
  OpenRecordset(gAuxRecordset);
  gAuxRecordset.AddNew();
  gAuxRecordset.setValue(QStringLiteral("单号"), docNo);
  gAuxRecordset.setValue(QStringLiteral("金额"), amount);
  gAuxRecordset.setValue(QStringLiteral("摘要"), summary);
  gAuxRecordset.setValue(QStringLiteral("方向"), direction);
  gAuxRecordset.setValue(QStringLiteral("经办人"), handler);
  gAuxRecordset.setValue(QStringLiteral("操作员"), gLoginAccount);
  gAuxRecordset.setValue(QStringLiteral("我方开户行"), bankText(0));
  gAuxRecordset.setValue(QStringLiteral("我方开户名"), bankText(1));
  gAuxRecordset.setValue(QStringLiteral("我方账号"), bankText(2));
  gAuxRecordset.setValue(QStringLiteral("对方开户行"), bankText(3));
  gAuxRecordset.setValue(QStringLiteral("对方开户名"), bankText(4));
  gAuxRecordset.setValue(QStringLiteral("对方账号"), bankText(5));
  gAuxRecordset.setValue(QStringLiteral("对应ID"), relatedId);
  gAuxRecordset.setValue(QStringLiteral("机器ID"), static_cast<int>(gMachineId));
  gAuxRecordset.setValue(QStringLiteral("科室ID"), gUserDeptId);
  const double signedAmount = VariantNumber(gAuxRecordset.value(QStringLiteral("金额")));
  gAuxRecordset.setValue(QStringLiteral("余额"), Money::round(signedAmount + total, 2));
  gAuxRecordset.Update();
  CloseRecordset(gAuxRecordset);

  tx.Commit();
}

void ClearBankInfo() {
  for (int i = 0; i <= 5; ++i) gBankInfo[static_cast<size_t>(i)] = QString();
}

namespace {
// Items 3 to 5 from the party's row; a party deleted since leaves them empty.
void loadCounterparty(const QString& table, qint64 id, const QString& accountColumn) {
  const QueryResult r = Db().query(QStringLiteral("select 开户行,开户名,") + accountColumn + QStringLiteral(" from ") + table +
                                       QStringLiteral(" where 编号=?"),
                                   {id});
  if (r.rows.empty()) return;
  for (int i = 0; i < 3; ++i) gBankInfo[static_cast<size_t>(3 + i)] = VariantText(r.rows.front().value(i));
}
}  // namespace

void LoadBorrowerBankInfo(const QString& docNo) {
  ClearBankInfo();
  const QueryResult r = Db().query(QStringLiteral("select 客户性质,客户ID from PJ_Dkjl where 单号=?"), {docNo});
  if (r.rows.empty()) throw DocumentChanged();
  const bool person = VariantText(r.rows.front().value(0)) == QStringLiteral("个人");
  loadCounterparty(person ? QStringLiteral("PJ_Kehu") : QStringLiteral("PJ_Kehu_Gs"),
                   static_cast<qint64>(VariantNumber(r.rows.front().value(1))), QStringLiteral("银行帐号"));
}

void LoadInvestorBankInfo(const QString& docNo) {
  ClearBankInfo();
  const QVariant investor = Db().scalar(QStringLiteral("select 客户ID from PJ_Cjjl where 单号=?"), {docNo});
  if (!investor.isValid()) throw DocumentChanged();
  loadCounterparty(QStringLiteral("PJ_Gd"), static_cast<qint64>(VariantNumber(investor)), QStringLiteral("银行账号"));
}

namespace {
// Moves 余额 of the rows from `from` on (up to, not including, `to` when it is not 0) by `difference`
// in one statement, so that a change costs the same however long the journal behind it is.
void shiftBalances(double difference, qint64 from, qint64 to = 0) {
  const double d = Money::round(difference, 2);
  if (d == 0) return;
  if (to > 0)
    Db().Execute(QStringLiteral("update PJ_Liushui set 余额=round(余额+?,2) where 编号>=? and 编号<?"), {d, from, to});
  else
    Db().Execute(QStringLiteral("update PJ_Liushui set 余额=round(余额+?,2) where 编号>=?"), {d, from});
}
}  // namespace

qint64 DeleteLedgerEntries(const QString& docNo) {
  Transaction tx;
  Connection& db = Db();
  // Lock the journal first (as WriteLedgerEntry does), then find where the balances change.
  db.query(journalTotalSql());
  const QueryResult own = db.query(QStringLiteral("select 编号, 金额 from PJ_Liushui where 单号=? order by 编号"), {docNo});
  if (own.rows.empty()) {
    tx.Commit();
    return 0;
  }
  const qint64 deleted = db.Execute(QStringLiteral("delete from PJ_Liushui where 单号=?"), {docNo});
  // Between one deleted row and the next, every row loses the amounts deleted before it.
  double removed = 0;
  for (size_t i = 0; i < own.rows.size(); ++i) {
    removed += VariantNumber(own.rows[i].value(1));
    const qint64 from = own.rows[i].value(0).toLongLong();
    const qint64 to = i + 1 < own.rows.size() ? own.rows[i + 1].value(0).toLongLong() : 0;
    shiftBalances(-removed, from, to);
  }
  tx.Commit();
  return deleted;
}

std::optional<LedgerRow> FindLedgerRow(const QString& docNo, const QString& summary) {
  const QueryResult r = Db().query(
      CurrentDialect().selectTop(1, QStringLiteral(" 编号, 金额 from PJ_Liushui where 单号=? and 摘要=? order by 编号")), {docNo, summary});
  if (r.rows.empty()) return std::nullopt;
  return LedgerRow{static_cast<qint64>(VariantNumber(r.rows.front().value(0))), VariantNumber(r.rows.front().value(1))};
}

void UpdateLedgerRow(const LedgerRow& row, double signedAmount, const QString& handler, qint32 relatedId) {
  Transaction tx;
  Connection& db = Db();
  db.query(journalTotalSql());
  // The difference from the amount as stored now, read under the journal's lock.
  const double stored = VariantNumber(db.scalar(QStringLiteral("select 金额 from PJ_Liushui where 编号=?"), {row.id}));
  db.Execute(QStringLiteral("update PJ_Liushui set 金额=?, 经办人=?, 对应ID=? where 编号=?"),
             {Money::round(signedAmount, 2), handler, relatedId, row.id});
  shiftBalances(Money::round(signedAmount, 2) - Money::round(stored, 2), row.id);
  tx.Commit();
}

void UpdateLedgerAccounts(qint64 id) {
  Db().Execute(QStringLiteral("update PJ_Liushui set 我方开户行=?, 我方开户名=?, 我方账号=?, 对方开户行=?, 对方开户名=?, 对方账号=? "
                              "where 编号=?"),
               {bankText(0), bankText(1), bankText(2), bankText(3), bankText(4), bankText(5), id});
}

bool LoadLedgerRowAccounts(const QString& docNo, const QString& summary) {
  const QueryResult r = Db().query(
      CurrentDialect().selectTop(1, QStringLiteral(" 我方开户行,我方开户名,我方账号,对方开户行,对方开户名,对方账号 from PJ_Liushui "
                                                   "where 单号=? and 摘要=? order by 编号")),
      {docNo, summary});
  if (r.rows.empty()) return false;
  for (int i = 0; i <= 5; ++i) gBankInfo[static_cast<size_t>(i)] = VariantText(r.rows.front().value(i));
  return true;
}

void DeleteLedgerRow(qint64 id) {
  Transaction tx;
  Connection& db = Db();
  db.query(journalTotalSql());
  const QVariant amount = db.scalar(QStringLiteral("select 金额 from PJ_Liushui where 编号=?"), {id});
  if (db.Execute(QStringLiteral("delete from PJ_Liushui where 编号=?"), {id}) > 0) shiftBalances(-VariantNumber(amount), id);
  tx.Commit();
}
