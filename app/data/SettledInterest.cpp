#include "app/data/SettledInterest.h"

#include "app/data/Database.h"
#include "platform/Clock.h"
#include "platform/Money.h"

#include <algorithm>
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

double FinancingDailyFraction(double rate, const QString& rateKind) {
  return rateKind == QStringLiteral("日") ? rate / 100 : rate / 100 / 30;
}

double InterestLeftAfterEarlyReturn(const EarlyReturnRow& row, double paidInterest, double principal, const QDate& paidOn,
                                    double dailyFraction) {
  double cut = 0;
  if (row.start.isValid() && paidOn.isValid() && paidOn <= row.start && paidOn < row.due) {
    // Back before the period began: none of the period's interest was earned on it.
    if (row.base > 0.005) cut = Money::round(principal / row.base * (row.interest + row.loweredBefore), 2);
  } else {
    const qint64 days = paidOn.isValid() && row.due.isValid() ? std::max<qint64>(0, paidOn.daysTo(row.due)) : 0;
    cut = Money::round(principal * static_cast<double>(days) * dailyFraction, 2);
  }
  const double left = std::max(Money::round(row.interest - std::max(0.0, cut), 2), Money::round(paidInterest, 2));
  return std::min(row.interest, left);
}

namespace {
// Open financing rows with principal returned early whose interest no save lowered for it.
struct EarlyReturned {
  QVariant id, docNo;
  double planned, left;
  QString line;
};

std::vector<EarlyReturned> findEarlyReturned(Connection& conn) {
  const QueryResult rows = conn.query(
      QStringLiteral("select h.编号,h.单号,h.支付期次,coalesce(h.应付利息,0),coalesce(h.已付利息,0),coalesce(h.已付本金,0),h.支付日期,"
                     "h.开始日期,h.约定支付日期,coalesce(d.利率,0),d.利率类别,coalesce(h.拆借本金,0),coalesce(h.应付本金,0) "
                     "from PJ_Cjzfjh h join PJ_Cjjl d on d.单号=h.单号 "
                     "where h.结算状态=? and coalesce(h.已付本金,0)>0.005 and coalesce(h.提前支取减息,0)=0 order by h.单号,h.支付期次,h.编号"),
      {QStringLiteral("支付部分")});
  std::vector<EarlyReturned> out;
  for (const QVariantList& r : rows.rows) {
    const QDate paidOn = ParseDateText(r[6].toString()), due = ParseDateText(r[8].toString());
    if (!paidOn.isValid() || !due.isValid() || paidOn >= due) continue;
    const double planned = r[3].toDouble();
    // Nothing was taken off these rows before (提前支取减息 0): what they plan is what they planned.
    const EarlyReturnRow row{planned, 0, std::max(r[11].toDouble(), r[12].toDouble()), ParseDateText(r[7].toString()), due};
    const double left =
        InterestLeftAfterEarlyReturn(row, r[4].toDouble(), r[5].toDouble(), paidOn, FinancingDailyFraction(r[9].toDouble(), r[10].toString()));
    if (left > planned - 0.005) continue;
    out.push_back({r[0], r[1], planned, left,
                   QStringLiteral("%1 %2 %3 -> %4").arg(r[1].toString(), r[2].toString(), money(planned), money(left))});
  }
  return out;
}

void lowerEarlyReturned(Connection& conn, const std::vector<EarlyReturned>& rows) {
  for (const EarlyReturned& e : rows) {
    const double cut = Money::round(e.planned - e.left, 2);
    conn.Execute(QStringLiteral("update PJ_Cjzfjh set 应付利息=?, 提前支取减息=round(coalesce(提前支取减息,0)+?,2) where 编号=?"),
                 {e.left, cut, e.id});
    conn.Execute(QStringLiteral("update PJ_Cjjl set 利息=round(coalesce(利息,0)-?,2) where 单号=?"), {cut, e.docNo});
  }
}
}  // namespace

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
  const std::vector<EarlyReturned> early = findEarlyReturned(conn);
  for (const EarlyReturned& e : early)
    changed << QStringLiteral("planned interest lowered for principal returned early on PJ_Cjzfjh: %1").arg(e.line);
  if (changed.isEmpty()) return changed;
  if (beforeChange) beforeChange();
  for (const QString& sql : deletes) conn.Execute(sql);
  for (const auto& [t, rows] : uncharged) lower(conn, t, rows);
  lowerEarlyReturned(conn, early);
  return changed;
}
