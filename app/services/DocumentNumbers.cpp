#include "app/services/DocumentNumbers.h"

#include <algorithm>
#include <cmath>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/LoginState.h"
#include "platform/Clock.h"

namespace {
QString zeroPadded(qint64 value, int width) {
  return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

bool allDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}
}  // namespace

QString DocumentNumberStem(const QString& prefix) {
  return prefix + zeroPadded(gMachineId, 3) + zeroPadded(gCurrentUserId, 4) + Clock::today().toString(QStringLiteral("yyyyMMdd"));
}

namespace {
// The highest sequence used under `stem` in `column` of `table`. Every number of the stem lies
// between the stem and the stem followed by the longest sequence read; a range, unlike a LIKE, is
// answered from the column's index. A deleted number leaves a gap that is never filled from below.
qint64 highestSequence(const QString& table, const QString& column, const QString& stem) {
  const QueryResult r = Db().query(QStringLiteral("select ") + column + QStringLiteral(" from ") + table + QStringLiteral(" where ") +
                                       column + QStringLiteral(">=? and ") + column + QStringLiteral("<=?"),
                                   {stem, stem + QStringLiteral("999999999")});
  qint64 highest = 0;
  for (const QVariantList& row : r.rows) {
    const QString number = VariantText(row.value(0));
    if (!number.startsWith(stem)) continue;
    const QString seq = number.mid(stem.size());
    if (!allDigits(seq) || seq.size() > 9) continue;
    highest = std::max(highest, seq.toLongLong());
  }
  return highest;
}

qint64 highestOfTables(const QString& stem, const QStringList& tables) {
  qint64 highest = 0;
  for (const QString& t : tables) highest = std::max(highest, highestSequence(t, QStringLiteral("单号"), stem));
  return highest;
}
}  // namespace

QString NewDocumentNumber(const QString& table, const QString& prefix, const QString& field) {
  try {
    const QString stem = DocumentNumberStem(prefix);
    return stem + zeroPadded(highestSequence(table, field.isEmpty() ? QStringLiteral("单号") : field, stem) + 1, 3);
  } catch (const AppError& e) {
    ReportRuntimeError(QString(), nullptr, e);
    return {};
  }
}

QString DocumentSequenceReadSql(const SqlDialect& dialect) {
  return QStringLiteral("select 序号 from ") + dialect.lockedTable(QStringLiteral("PJ_Djxh")) + QStringLiteral(" where 前缀=?");
}

QString PeekDocumentNumber(const QString& prefix, const QStringList& tables) {
  const QString stem = DocumentNumberStem(prefix);
  const qint64 issued = Db().scalar(DocumentSequenceReadSql(CurrentDialect()), {stem}).toLongLong();
  return stem + zeroPadded(std::max(issued, highestOfTables(stem, tables)) + 1, 3);
}

QString TakeDocumentNumber(const QString& prefix, const QStringList& tables) {
  const QString stem = DocumentNumberStem(prefix);
  Transaction tx;  // nests in the save's
  const QueryResult row = Db().query(DocumentSequenceReadSql(CurrentDialect()), {stem});
  const qint64 issued = row.rows.empty() ? 0 : static_cast<qint64>(VariantNumber(row.rows.front().value(0)));
  const qint64 next = std::max(issued, highestOfTables(stem, tables)) + 1;
  if (row.rows.empty())
    Db().Execute(QStringLiteral("insert into PJ_Djxh (前缀,序号) values (?,?)"), {stem, next});
  else
    Db().Execute(QStringLiteral("update PJ_Djxh set 序号=? where 前缀=?"), {next, stem});
  tx.Commit();
  return stem + zeroPadded(next, 3);
}

qint16 NextCodeNumber(const QString& table, const QString& field) {
  try {
    const QString column = field.isEmpty() ? QStringLiteral("代码") : field;
    // Inside the save's transaction the codes read stay locked on SQL Server until it ends, so two
    // workstations never give one code twice.
    gCurrentSql = QStringLiteral("select ") + column + QStringLiteral(" from ") + CurrentDialect().lockedTable(table) +
                  QStringLiteral(" order by 编号");
    gCurrentParams.clear();
    OpenMainQuery();
    if (gMainRecordset.isNothing()) throw AppError(Err::ObjectNotSet, QStringLiteral("对象变量或 With 块变量未设置"));
    qint64 next = 1;
    if (gMainRecordset.RecordCount() > 0) {
      // The newest row must hold a number; the result is one more than the
      // highest code, so a code is not given twice when the newest item was deleted.
      gMainRecordset.MoveLast();
      const QVariant newest = gMainRecordset.value(0);
      bool ok = false;
      VariantText(newest).trimmed().toDouble(&ok);
      if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("类型不匹配：代码“%1”不是数值。").arg(VariantText(newest)));
      double highest = 0;
      for (gMainRecordset.MoveFirst(); !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
        bool isNumber = false;
        const double v = VariantText(gMainRecordset.value(0)).trimmed().toDouble(&isNumber);
        if (isNumber) highest = std::max(highest, v);
      }
      next = static_cast<qint64>(std::floor(highest)) + 1;
    }
    CloseRecordset(gMainRecordset);
    if (next > 32767) throw AppError(6, QStringLiteral("溢出：代码已超过 32767。"));
    return static_cast<qint16>(next);
  } catch (const AppError& e) {
    gMainRecordset = Recordset();
    ReportRuntimeError(QString(), nullptr, e);
    return 0;
  }
}
