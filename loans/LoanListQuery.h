#pragma once
// The queries of the loan list and the repayment records list, built from their filters without a
// window: the user's texts travel as bound values, identifiers come from the fixed lists below.
#include <QDate>
#include <QString>
#include <QStringList>

#include "app/data/DataAccess.h"

// The items of the loan list's filter combos, in order.
namespace LoanListItems {
QStringList dateFields();   // comJd(0)
QStringList periods();      // comJd(1)
QStringList searchFields(); // comJd(2)
QStringList operators();    // comJd(3)
QStringList bands();        // comJd(4)
QStringList statuses();     // comJd(5)
}  // namespace LoanListItems

struct LoanListFilter {
  int dateField = 0;   // index in dateFields(): 0 登记日期, 1 起息日期, 2 忽略
  QString from, to;    // the period on screen, "yyyy-MM-dd"
  int searchField = 0; // index in searchFields(); 0 忽略
  int op = 0;          // 0 等于, 1 不等于, 2 包含
  QString searchText;
  int band = 0;        // index in bands(); 0 忽略
  QString status;      // text of the status combo
  QString deptScope;   // the user's departments (comma list); ignored for role 3
  QDate today;
  bool anyDate = false; // no period at all, whatever the date field says (a report's drill-down)
};

// The columns of the list, in grid order.
QString LoanListColumns();
// The group captions over the columns.
QString LoanListHeaderGroups();
// The whole query of the list, newest loans first.
SqlWithParams BuildLoanListSql(const LoanListFilter& filter);

struct RepaymentRecordFilter {
  QString from, to;       // the period of the record's 日期
  QString customer;       // exact 客户名称, "" for any
  QString staff;          // exact 业务经办, "" for any
  QString status;         // "忽略", "已还" or "归还部分"
};
// The repayment records with their loan and plan row, newest first.
SqlWithParams BuildRepaymentRecordSql(const RepaymentRecordFilter& filter);
