#pragma once
// The plan grid of the loan and financing windows: the plan rows of one document under a two-row
// header whose group caption ("应还" for loans, "应付" for financing) spans columns 5 to 7, the key
// column hidden, amounts shown as "Currency", and a red totals row over 间隔天数 (column 3) and
// columns 5 to 7. The saves read the loan's (financing's) days and interest from that totals row.
//
//   LoadPlanGrid(Fg, "select 编号,(还贷期次) as 期次,... from PJ_Hdjh where 单号=?", {docNo},
//                "应还", {4, 5, 6, 7, 9});
#include <QString>
#include <QVariantList>

#include <initializer_list>
#include <vector>

#include <QStringList>

class Grid;

void LoadPlanGrid(Grid* grid, const QString& sql, const QVariantList& params, const QString& groupCaption,
                  std::initializer_list<int> currencyColumns);
// The same from rows the window holds (a plan not saved yet), in the columns of the query.
void LoadPlanGridRows(Grid* grid, const QStringList& columns, const std::vector<QVariantList>& rows, const QString& groupCaption,
                      std::initializer_list<int> currencyColumns);

// The sums of the totals row; all 0 when the grid shows no plan row.
struct PlanGridTotals {
  int rows = 0;          // plan rows listed
  double days = 0;       // column 3
  double principal = 0;  // column 5
  double interest = 0;   // column 6
  double paid = 0;       // column 7
};
PlanGridTotals ReadPlanGridTotals(const Grid* grid);
