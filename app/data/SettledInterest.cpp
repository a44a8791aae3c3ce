#include "app/data/SettledInterest.h"

#include "app/data/Database.h"

#include <vector>

namespace {
QString money(double v) { return QString::number(v, 'f', 2); }

struct Uncharged {
  QVariant id, docNo;
  double amount;
  QString line;
};

std::vector<Uncharged> findUncharged(Connection& conn, const PlanColumns& t, const QString& where, QVariantList params) {
  params << QString::fromUtf8(t.settled);
  const QueryResult rows = conn.query(QStringLiteral("select 编号,单号,%1,coalesce(%2,0)-coalesce(%3,0) from %4 where (%5) and %6=? "
                                                     "and coalesce(%3,0) < coalesce(%2,0)-0.005 order by 单号,%1,编号")
                                          .arg(QString::fromUtf8(t.number), QString::fromUtf8(t.interest), QString::fromUtf8(t.paidInterest),
                                               QString::fromUtf8(t.table), where, QString::fromUtf8(t.status)),
                                      params);
  std::vector<Uncharged> out;
  for (const QVariantList& r : rows.rows) {
    const double amount = qRound64(r[3].toDouble() * 100) / 100.0;
    out.push_back({r[0], r[1], amount, QStringLiteral("%1 %2 %3").arg(r[1].toString(), r[2].toString(), money(amount))});
  }
  return out;
}

void lower(Connection& conn, const PlanColumns& t, const std::vector<Uncharged>& rows) {
  for (const Uncharged& u : rows) {
    conn.Execute(QStringLiteral("update %1 set %2=coalesce(%3,0) where 编号=?").arg(QString::fromUtf8(t.table), QString::fromUtf8(t.interest),
                                                                                  QString::fromUtf8(t.paidInterest)),
                 {u.id});
    conn.Execute(QStringLiteral("update %1 set 利息=round(coalesce(利息,0)-?,2) where 单号=?").arg(QString::fromUtf8(t.document)),
                 {u.amount, u.docNo});
  }
}
}  // namespace

QStringList LowerUnchargedInterest(Connection& conn, PlanBook book, const QString& where, const QVariantList& params) {
  const PlanColumns t = PlanColumnsOf(book);
  const std::vector<Uncharged> rows = findUncharged(conn, t, where, params);
  lower(conn, t, rows);
  QStringList changed;
  for (const Uncharged& u : rows) changed << u.line;
  return changed;
}

QStringList CorrectOldData(Connection& conn, const std::function<void()>& beforeChange) {
  QStringList changed;
  const struct {
    const char* table;
    const char* owners;  // the documents a row must belong to
  } orphanTables[] = {{"PJ_Hdjh", "select 单号 from PJ_Dkjl"},
                      {"PJ_Cjzfjh", "select 单号 from PJ_Cjjl"},
                      {"PJ_DkFj", "select 单号 from PJ_Dkjl union select 单号 from PJ_Cjjl"}};
  QStringList deletes;
  for (const auto& o : orphanTables) {
    const QString cond = QStringLiteral(" where 单号 is null or 单号 not in (%1)").arg(QString::fromUtf8(o.owners));
    const QueryResult docs = conn.query(
        QStringLiteral("select coalesce(单号,''),count(*) from %1%2 group by 单号 order by 单号").arg(QString::fromUtf8(o.table), cond));
    if (docs.rows.empty()) continue;
    for (const QVariantList& r : docs.rows)
      changed << QStringLiteral("removed %1 row(s) of %2 without a document: %3").arg(r[1].toString(), QString::fromUtf8(o.table), r[0].toString());
    deletes << QStringLiteral("delete from %1%2").arg(QString::fromUtf8(o.table), cond);
  }
  std::vector<std::pair<PlanColumns, std::vector<Uncharged>>> uncharged;
  for (PlanBook book : {PlanBook::Loans, PlanBook::Financing}) {
    const PlanColumns t = PlanColumnsOf(book);
    uncharged.emplace_back(t, findUncharged(conn, t, QStringLiteral("1=1"), {}));
    for (const Uncharged& u : uncharged.back().second)
      changed << QStringLiteral("planned interest lowered to the paid on %1: %2").arg(QString::fromUtf8(t.table), u.line);
  }
  if (changed.isEmpty()) return changed;
  if (beforeChange) beforeChange();
  for (const QString& sql : deletes) conn.Execute(sql);
  for (const auto& [t, rows] : uncharged) lower(conn, t, rows);
  return changed;
}
