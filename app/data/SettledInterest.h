#pragma once
// Interest a settlement did not charge is not owed: a settled plan row's planned interest comes
// down to what was paid on it, and its document's total interest with it. Also the clean-up of
// data older versions left behind, run by every upgrade.
#include <QDate>
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

// The daily fraction of a financing rate: percent a day, or a monthly percent spread over 30 days;
// not rounded.
double FinancingDailyFraction(double rate, const QString& rateKind);
// Principal returned before its due date earns nothing after: the row's planned interest less
// `principal` × the days from `paidOn` (the row's `start` when that is later) to `due` × `dailyFraction`,
// in cents; never below `paidInterest` (the row's paid interest after the payment), never raised.
double InterestLeftAfterEarlyReturn(double plannedInterest, double paidInterest, double principal, const QDate& paidOn,
                                    const QDate& start, const QDate& due, double dailyFraction);

// Plan and attachment rows whose document does not exist are deleted, rows settled with less
// interest than planned get LowerUnchargedInterest, and open financing rows whose principal was
// partly returned early before saves lowered their interest for it get InterestLeftAfterEarlyReturn
// (once: the row keeps what was taken off in 提前支取减息); `beforeChange` runs once before the first write.
// Returns one line per change; empty when the database holds nothing of the kind (so a second run
// finds nothing).
QStringList CorrectOldData(Connection& conn, const std::function<void()>& beforeChange = {});
