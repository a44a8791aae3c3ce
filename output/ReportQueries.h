#pragma once
// The figures of the daily reports, the funds report and the cash journal view, computed from the
// plan rows and the journal themselves, without windows.
#include <QDate>
#include <QString>
#include <QVariantList>

#include <array>
#include <vector>

#include "app/data/PlanTables.h"

// ---- loan and financing daily reports


// One document of a daily report. "Due" rows are the plan rows due on or before the base date.
struct DailyReportRow {
  QString docNo;
  QString name;          // 客户名称 of the plan rows
  double principal = 0;  // 本金总额: scheduled principal of all the document's rows
  double duePrincipal = 0;   // 到期本金: scheduled principal of the due rows
  double paidPrincipal = 0;  // 已还本金: paid principal of the due rows
  double openPrincipal = 0;  // 未还本金 = 到期本金 - 已还本金
  double interest = 0;       // 利息总额: scheduled interest of all the document's rows
  double dueInterest = 0;    // 到期利息: scheduled interest of the due rows
  double paidInterest = 0;   // 已还利息: paid interest of the due rows
  double openInterest = 0;   // 未还利息 = 到期利息 - 已还利息
  double dueTotal() const;   // 到期总计
  double paidTotal() const;  // 已还总计 / 已付总计
  double openTotal() const;  // 未还总计 / 未付总计
};

struct ReportSql {
  QString sql;
  QVariantList params;
};
// The report's query: one row per document with at least one row due on or before `baseDate`, in
// 单号 order, whatever the document's status; columns 客户名称, 本金总额, 到期本金, 已还本金,
// 未还本金, 利息总额, 到期利息, 已还利息, 未还利息, 到期总计, 已还总计 (已付总计), 未还总计
// (未付总计), then 单号. A non-empty `name` keeps the rows whose 客户名称 equals it exactly.
ReportSql DailyReportSql(PlanBook book, const QDate& baseDate, const QString& name);
// The same figures read into rows.
std::vector<DailyReportRow> ComputeDailyReport(PlanBook book, const QDate& baseDate, const QString& name);

// ---- funds daily report

// The 18 figures in the order of PJ_TjZjrb's columns.
struct FundsReport {
  static const std::array<const char*, 18> kNames;
  std::array<double, 18> values{};
  double value(const QString& name) const;
};
// Open documents only: loans 已审核 and 未还, financing 已审核 and 未付; due = on or before `baseDate`.
FundsReport ComputeFundsReport(const QDate& baseDate);
// Replaces the single row of PJ_TjZjrb with the report, in one transaction.
void SaveFundsReport(const FundsReport& report);

// ---- cash journal view

// The condition fields of the journal view, in the order of its combo ("忽略" first).
extern const QStringList kJournalConditionFields;
// The journal rows of a period (from the start of `from` up to the end of `to`), oldest first, with
// an optional condition: `field` one of kJournalConditionFields, `op` "等于", "不等于" or "包含",
// `value` bound (an empty box means no condition; the value is trimmed). An unknown field or
// operator gives no condition.
ReportSql BuildJournalQuery(const QDate& from, const QDate& to, const QString& field, const QString& op, const QString& value);
