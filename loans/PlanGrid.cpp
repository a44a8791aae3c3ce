#include "loans/PlanGrid.h"

#include "app/data/DataAccess.h"
#include "app/services/GridHelpers.h"
#include "platform/Grid.h"

#include <algorithm>
#include <vector>

namespace {
void finishPlanGrid(Grid* grid, std::initializer_list<int> currencyColumns);
}

void LoadPlanGrid(Grid* grid, const QString& sql, const QVariantList& params, const QString& groupCaption,
                  std::initializer_list<int> currencyColumns) {
  gCurrentSql = sql;
  gCurrentParams = params;
  LoadGridFromQuery(grid, true, QStringLiteral("5@%1,6@%1,7@%1").arg(groupCaption));
  CloseRecordset(gMainRecordset);
  finishPlanGrid(grid, currencyColumns);
}

void LoadPlanGridRows(Grid* grid, const QStringList& columns, const std::vector<QVariantList>& rows, const QString& groupCaption,
                      std::initializer_list<int> currencyColumns) {
  LoadGridFromRows(grid, columns, rows, true, QStringLiteral("5@%1,6@%1,7@%1").arg(groupCaption));
  finishPlanGrid(grid, currencyColumns);
}

namespace {
void finishPlanGrid(Grid* grid, std::initializer_list<int> currencyColumns) {
  if (grid->cols() < 8) return;
  grid->setColWidth(0, 1);
  grid->setColHidden(0, true);
  // Wide enough for the totals row's "合计(记录数：n)", which the hidden key column cannot carry.
  grid->setColWidth(1, 1650);
  for (int c : currencyColumns) {
    if (c >= grid->cols()) continue;
    grid->setColWidth(c, 1400);
    grid->setColFormat(c, QStringLiteral("Currency"));
  }
  AddGridTotalRow(grid, QStringLiteral("3,5,6,7"), QString(), 2);
  // The label has column 1 to itself (the key column is hidden); a merged row would also join a
  // total with an equal neighbour, the interest taken ahead with what is paid, and hide one.
  const int last = grid->rows() - 1;
  if (last >= grid->fixedRows() && grid->isTotalsRow(last)) grid->setMergeRow(last, false);
  // Amounts of ten million and more, formatted, are wider than the usual widths.
  std::vector<int> widths;
  for (int c = 0; c < grid->cols(); ++c) widths.push_back(grid->colWidth(c));
  grid->autoSizeColumns();
  for (int c = 1; c < grid->cols(); ++c) grid->setColWidth(c, std::max(widths[static_cast<size_t>(c)], grid->colWidth(c)));
  grid->setColWidth(0, 1);
  grid->setColHidden(0, true);
}
}  // namespace

PlanGridTotals ReadPlanGridTotals(const Grid* grid) {
  PlanGridTotals t;
  const int last = grid->rows() - 1;
  if (last < grid->fixedRows() || !grid->isTotalsRow(last) || grid->cols() < 8) return t;
  t.rows = last - grid->fixedRows();
  t.days = grid->number(last, 3);
  t.principal = grid->number(last, 5);
  t.interest = grid->number(last, 6);
  t.paid = grid->number(last, 7);
  return t;
}
