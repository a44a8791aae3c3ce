#pragma once
// The instalments still to collect, as the collection calendar, its popup and the business
// reminder see them: open plan rows ("未还", "归还部分") of saved loans.
#include <QString>
#include <QStringList>

#include <vector>

#include "app/data/DataAccess.h"

// 编号 and 约定归还日期 of the open instalments, due between two "yyyy-MM-dd" dates (either end may
// be empty), earliest due first.
SqlWithParams OpenInstalmentsSql(const QString& from, const QString& to);
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
