#pragma once
// Document numbers of loans and financing records, and codes of lookup items.
#include <QString>
#include <QStringList>

struct SqlDialect;

// A new document number (单号): prefix + gMachineId as "000" + gCurrentUserId as "0000" + today as
// "yyyyMMdd" (the stem) + a sequence as "000": one more than the highest sequence already used for
// the stem in `table`, so a number deleted in the middle never comes back.
// `field` "" means 单号. `table` and `field` are names from the code, never user text.
// A failure is reported (ReportRuntimeError) and gives "".
QString NewDocumentNumber(const QString& table, const QString& prefix, const QString& field = QString());
// The code of a new lookup item: one more than the highest code in `table` (1 for an empty table).
// `field` "" means 代码. A newest row whose code is empty or not a number, or a code past 32767,
// is reported and gives 0.
qint16 NextCodeNumber(const QString& table, const QString& field = QString());
// The stem of the numbers NewDocumentNumber gives now (prefix, workstation, user, today).
QString DocumentNumberStem(const QString& prefix);

// The number a save of now would take for `prefix` over `tables` (the tables holding the stem's
// numbers): what the window shows at open. Reads only.
QString PeekDocumentNumber(const QString& prefix, const QStringList& tables);
// Inside the caller's transaction: one more than the larger of the stem's PJ_Djxh row and the
// highest sequence of the stem in `tables`, written back to PJ_Djxh (so a deleted document's
// number never comes back). Throws on a failure.
QString TakeDocumentNumber(const QString& prefix, const QStringList& tables);
// The read of the stem's PJ_Djxh row; on SQL Server it holds the row (or the key range) to the commit.
QString DocumentSequenceReadSql(const SqlDialect& dialect);
