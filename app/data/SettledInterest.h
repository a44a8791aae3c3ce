#pragma once
// Interest a settlement did not charge is not owed: a settled plan row's planned interest comes
// down to what was paid on it, and its document's total interest with it. Also the clean-up of
// data older versions left behind, run by every upgrade.
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

#include "app/data/PlanTables.h"

class Connection;


// For the settled rows among those `where` selects (a condition on the plan table, with `params`):
// 应还利息 (应付利息) := 已还利息 (已付利息) where more was planned than paid (beyond half a cent), the
// document's 利息 lowered by the same amount. Returns "单号 期次 amount" for each row changed.
QStringList LowerUnchargedInterest(Connection& conn, PlanBook book, const QString& where, const QVariantList& params = {});

// Plan and attachment rows whose document does not exist are deleted, and rows settled with less
// interest than planned get LowerUnchargedInterest; `beforeChange` runs once before the first write.
// Returns one line per change; empty when the database holds nothing of the kind (so a second run
// finds nothing).
QStringList CorrectOldData(Connection& conn, const std::function<void()>& beforeChange = {});
