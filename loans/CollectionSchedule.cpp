#include "loans/CollectionSchedule.h"

#include <QDate>

#include "app/services/ChineseAmount.h"
#include "loans/LoanRecords.h"
#include "platform/Clock.h"
#include "platform/Money.h"

namespace {
const QString kOpenAmount = QStringLiteral("(a.应还本金+a.应还利息-a.已还本金-a.已还利息)");
}

namespace {
QString andRange(const QString& field, const QString& from, const QString& to) {
  const QString range = sqlDate(field, from, to);
  return range.trimmed().isEmpty() ? QString() : QStringLiteral(" and ") + range;
}
}  // namespace

SqlWithParams OpenInstalmentsFrom(const QString& from, const QString& to) {
  return {QStringLiteral(" from PJ_Hdjh a inner join PJ_Dkjl b on b.单号=a.单号 where a.归还状态 in (?,?)") +
              andRange(QStringLiteral("a.约定归还日期"), from, to),
          {QStringLiteral("未还"), QStringLiteral("归还部分")}};
}

SqlWithParams OpenInstalmentsSql(const QString& from, const QString& to) {
  SqlWithParams q = OpenInstalmentsFrom(from, to);
  q.sql = QStringLiteral("select a.编号,a.约定归还日期") + q.sql + QStringLiteral(" order by a.约定归还日期,a.编号");
  return q;
}

SqlWithParams OpenPaymentRowsFrom(const QString& from, const QString& to) {
  // Only rows of saved records that are not voided: an abandoned plan or a voided record owes nothing.
  return {QStringLiteral(" from PJ_Cjzfjh a inner join PJ_Cjjl b on b.单号=a.单号 where (a.结算状态=? or a.结算状态=?) and "
                         "coalesce(b.业务状态,'')<>?") +
              andRange(QStringLiteral("a.约定支付日期"), from, to),
          {QStringLiteral("未付"), QStringLiteral("支付部分"), QStringLiteral("废弃")}};
}

QString OpenPaymentAmountSql() { return QStringLiteral("(a.应付本金+a.应付利息-a.已付本金-a.已付利息)"); }

QStringList InstalmentDayLists(int year, int month) {
  QStringList days(32);
  const QDate first(year, month, 1);
  const SqlWithParams q = OpenInstalmentsSql(DateText(first), DateText(first.addDays(first.daysInMonth() - 1)));
  const QueryResult r = Db().query(q.sql, q.params);
  for (const QVariantList& row : r.rows) {
    const QDate due = ParseDateText(row[1].toString());
    if (!due.isValid()) continue;
    QString& list = days[due.day()];
    if (!list.isEmpty()) list += QLatin1Char(',');
    list += QString::number(row[0].toLongLong());
  }
  return days;
}

namespace {
QueryResult instalments(const QString& idList) {
  const KeyListCondition k = KeyListIn(QStringLiteral("a.编号"), idList);
  return Db().query(QStringLiteral("select b.客户名称,") + kOpenAmount +
                        QStringLiteral(" as 应还,a.约定归还日期,a.单号 from PJ_Hdjh a inner join PJ_Dkjl b on b.单号=a.单号 where ") + k.sql +
                        QStringLiteral(" order by a.编号"),
                    k.params);
}
}  // namespace

QString DueInstalmentsText(const QString& idList) {
  QString text;
  for (const QVariantList& row : instalments(idList).rows)
    text += row[0].toString() + QStringLiteral("→") + Money::format(row[1].toDouble()) + QLatin1Char('\n');
  return text;
}

std::vector<PopupItem> CollectionPopupItems(const QString& idList) {
  std::vector<PopupItem> items;
  for (const QVariantList& row : instalments(idList).rows)
    items.push_back({QStringLiteral("跟踪：") + row[0].toString() + QStringLiteral("  欠：") +
                         AmountToChineseUppercase(Money::round(row[1].toDouble())) + QStringLiteral("  合同：") + row[3].toString(),
                     row[3].toString()});
  return items;
}

std::vector<PopupItem> PaymentPopupItems(const QString& idList) {
  std::vector<PopupItem> items;
  const KeyListCondition k = KeyListIn(QStringLiteral("a.编号"), idList);
  const QueryResult r = Db().query(QStringLiteral("select a.客户名称,") + OpenPaymentAmountSql() +
                                       QStringLiteral(" as 应付,a.约定支付日期,a.单号 from PJ_Cjzfjh a where ") + k.sql +
                                       QStringLiteral(" order by a.编号"),
                                   k.params);
  for (const QVariantList& row : r.rows)
    items.push_back({QStringLiteral("应付") + row[0].toString() + QStringLiteral("：") +
                         AmountToChineseUppercase(Money::round(row[1].toDouble())) + QStringLiteral("  单号：") + row[3].toString(),
                     row[3].toString()});
  return items;
}
