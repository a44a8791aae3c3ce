#pragma once
// The instalments still to collect, as the collection calendar, its popup and the business
// reminder see them: open plan rows ("未还", "归还部分") of saved loans.
#include <QString>
#include <QStringList>

#include <vector>

#include "app/data/DataAccess.h"

// " from ... where ..." of the open instalments (alias a), due between two "yyyy-MM-dd" dates (either
// end may be empty): the rows the collection calendar shows and the login reminder counts.
SqlWithParams OpenInstalmentsFrom(const QString& from, const QString& to);
// 编号 and 约定归还日期 of those instalments, earliest due first.
SqlWithParams OpenInstalmentsSql(const QString& from, const QString& to);
// " from ... where ..." of the open financing plan rows (alias a) of records not voided, due between
// two dates: the rows the payment calendar shows and the login reminder counts.
SqlWithParams OpenPaymentRowsFrom(const QString& from, const QString& to);
// What is still to pay of a financing plan row (alias a): 应付本金 + 应付利息 − 已付本金 − 已付利息.
QString OpenPaymentAmountSql();
// The day lists of a month: entry d holds the 编号 values due on day d joined by ",", "" for none
// (32 entries, entry 0 unused).
QStringList InstalmentDayLists(int year, int month);
// The calendar text of a day list: one line "客户名称→amount" per instalment in 编号 order, the
// amount being what is still open of it.
QString DueInstalmentsText(const QString& idList);

struct PopupItem {
  QString caption;
  QString docNo;
};
// The popup items of a loan day list: "跟踪：" name "  欠：" amount in capitals "  合同：" 单号.
std::vector<PopupItem> CollectionPopupItems(const QString& idList);
// The popup items of a financing day list (PJ_Cjzfjh): "应付" name "：" capitals "  单号：" 单号.
std::vector<PopupItem> PaymentPopupItems(const QString& idList);
