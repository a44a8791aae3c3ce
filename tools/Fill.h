#pragma once
// Fills a database with a busy business's years of data, reproducibly from a seed: customers,
// investors and staff, then loans and financing records day by day over five years with their
// plans, repayments and payments, all written through the procedures the windows call (plan
// replacement, loan and financing saves, repayment and payment posting, the journal writer).
// Each business day is one transaction; the rows the database stamps with the time of writing
// (journal, repayment and payment records) get that day's time, as if typed in on the day.
#include <QDate>
#include <QString>

#include <QVariantList>

#include <functional>

#include "loans/RepaymentCalc.h"

struct FillOptions {
  quint64 seed = 20261130;
  double scale = 1.0;                  // 1.0: 20,000 customers, 2,000 investors, 100,000 loans, 10,000 financings
  QDate lastDay = QDate(2026, 11, 30);  // the business runs the five years up to this day
};

struct FillCounts {
  qint64 persons = 0, companies = 0, investors = 0, staff = 0;
  qint64 loans = 0, planRows = 0, repayments = 0;
  qint64 financings = 0, financingRows = 0, payments = 0;
  qint64 journal = 0;
  qint64 total() const;
};

// Fills the database of the current storage mode (already open, settings and login state set by
// FillLoginState). `progress` gets a one-line status now and then.
FillCounts FillDatabase(const FillOptions& options, const std::function<void(const QString&)>& progress = {});

// The login state and settings the fill works under: the reserved super administrator of the
// shipped database, settings as a new workstation has them, loans and financings saved approved.
void FillLoginState();

// A plan row as the repayment windows read it: the ten PJ_Hdjh columns 还贷期次, 贷款本金, 应还本金,
// 应还利息, 已还本金, 已还利息, 归还状态, 开始日期, 约定归还日期, 归还日期 from position `at` of `v`.
InstalmentState ReadInstalment(const QVariantList& v, int at);
