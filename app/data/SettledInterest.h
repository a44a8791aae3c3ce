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
// What of a financing plan row principal returned early lowers.
struct EarlyReturnRow {
  double interest = 0;       // 应付利息 as it stands
  double loweredBefore = 0;  // 提前支取减息: what returns before this one took off it
  double base = 0;           // the principal the period's interest was planned on: the larger of 拆借本金 and 应付本金
  QDate start, due;          // 开始日期, 约定支付日期
};
// Principal returned before its due date earns nothing after: the row's interest less `principal` ×
// the days from `paidOn` to the due date × `dailyFraction`, in cents. Returned on or before the row's
// start it earns the row nothing: its whole share of what the row planned, `principal` ÷ base ×
// (interest + loweredBefore), comes off (nothing on a row of base 0).
// Never below `paidInterest` (the row's paid interest after the payment), never raised.
double InterestLeftAfterEarlyReturn(const EarlyReturnRow& row, double paidInterest, double principal, const QDate& paidOn,
                                    double dailyFraction);

// Plan and attachment rows whose document does not exist are deleted, rows settled with less
// interest than planned get LowerUnchargedInterest, and open financing rows whose principal was
// partly returned early before saves lowered their interest for it get InterestLeftAfterEarlyReturn
// (once: the row keeps what was taken off in 提前支取减息); `beforeChange` runs once before the first write.
// Returns one line per change; empty when the database holds nothing of the kind (so a second run
// finds nothing).
QStringList CorrectOldData(Connection& conn, const std::function<void()>& beforeChange = {});
