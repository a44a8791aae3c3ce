#include "app/services/GridHelpers.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>

#include <vector>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/LoginState.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ExcelExport.h"
#include "platform/Grid.h"
#include "platform/Money.h"

int gAnswer = 0;

namespace {
constexpr qint64 kRed = 255;
constexpr int kFileAccessError = 75;  // the number users know for a file that cannot be written

// Runs a helper's work; a failure is reported without a window, as every list helper does.
template <class F>
void reportFailures(const QString& context, F&& work) {
  try {
    work();
  } catch (const ProgramEnded&) {
    throw;
  } catch (const AppError& e) {
    ReportRuntimeError(context, nullptr, e);
  } catch (const std::exception& e) {
    ReportRuntimeError(context, nullptr, AppError(Err::SubscriptRange, QString::fromLocal8Bit(e.what())));
  }
}

void fillGrid(Grid* grid, Recordset& rs) {
  // The grid shares the fetched values; it copies no cell.
  grid->loadData(rs.columns(), rs.rows());
  if (rs.RecordCount() > 0) rs.MoveFirst();
}

struct GroupItem {
  int column;
  QString caption;
};

// "5@应还,6@应还": an item without "@" or with a column that is not a number is refused.
std::vector<GroupItem> parseHeaderGroups(const QString& groups) {
  std::vector<GroupItem> items;
  for (const QString& item : groups.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const int at = static_cast<int>(item.indexOf(QLatin1Char('@')));
    if (at < 0) throw AppError(Err::SubscriptRange, QStringLiteral("下标越界（表头设置“%1”缺少“@”）").arg(item));
    bool ok = false;
    const int column = item.left(at).trimmed().toInt(&ok);
    if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("类型不匹配（表头设置“%1”）").arg(item));
    items.push_back({column, item.mid(at + 1)});
  }
  return items;
}

// "0" gives no columns; otherwise every item must be a column of the grid.
std::vector<int> parseSumColumns(const Grid* grid, const QString& list) {
  std::vector<int> columns;
  if (list.trimmed() == QLatin1String("0")) return columns;
  for (const QString& item : list.split(QLatin1Char(','))) {
    bool ok = false;
    const int c = item.trimmed().toInt(&ok);
    if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("类型不匹配（合计列“%1”）").arg(item));
    if (c < 0 || c >= grid->cols()) throw AppError(Err::SubscriptRange, QStringLiteral("下标越界（合计列 %1）").arg(c));
    columns.push_back(c);
  }
  return columns;
}

std::vector<double> columnSums(const Grid* grid, const std::vector<int>& columns, int first, int last) {
  std::vector<double> sums = grid->sumColumns(columns, first, last);
  // Amounts are kept to the ten-thousandth, as currency values are.
  for (double& s : sums) s = Money::round(s, 4);
  return sums;
}

// A title may come from data; keep it from leaving the reports folder or breaking the name.
QString fileNamePart(const QString& title) {
  QString out;
  for (QChar c : title) out += (c.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? QChar(u'_') : c;
  return out;
}
}  // namespace

void ApplyGridLook(Grid* grid) {
  grid->setFixedCols(0);
  grid->setBackColor(Qt::white);
  grid->setGridColor(VbColor(0x87A242));
  grid->setFixedBackColor(VbColor(0xF7F4EA));
  grid->setSelectionColors(VbColor(0x87A242), Qt::white);
}

namespace {
// The headers of a grid just filled, as LoadGridFromQuery describes them.
void layOutHeaders(Grid* grid, bool twoHeaderRows, const QString& headerGroups) {
  if (!twoHeaderRows) {
    grid->autoSizeColumns();
    return;
  }
  grid->setMergeRow(0, true);
  grid->setMergeRow(1, true);
  // Every header change lays the header out again, so each column's merge is set once, to what
  // the groups leave it: merged unless every group names this column. A bad group text leaves
  // all columns merged, their captions shown once.
  const auto mergeColumns = [grid](const std::function<bool(int)>& merged) {
    for (int c = 0; c < grid->cols(); ++c)
      if (grid->mergeCol(c) != merged(c)) grid->setMergeCol(c, merged(c));
  };
  std::vector<GroupItem> items;
  try {
    items = parseHeaderGroups(headerGroups);
  } catch (...) {
    mergeColumns([](int) { return true; });
    throw;
  }
  for (const GroupItem& item : items)
    if (item.column >= 0 && item.column < grid->cols()) grid->setTextMatrix(0, item.column, item.caption);
  mergeColumns([&items](int c) {
    return items.empty() || std::any_of(items.begin(), items.end(), [c](const GroupItem& item) { return item.column != c; });
  });
  grid->autoSizeColumns();
}
}  // namespace

void LoadGridFromQuery(Grid* grid, bool twoHeaderRows, const QString& headerGroups) {
  reportFailures(QString(), [&] {
    ApplyGridLook(grid);
    grid->setFixedRows(twoHeaderRows ? 2 : 1);
    OpenMainQuery();
    fillGrid(grid, gMainRecordset);
    layOutHeaders(grid, twoHeaderRows, headerGroups);
  });
}

void LoadGridFromRows(Grid* grid, const QStringList& columns, const std::vector<QVariantList>& rows, bool twoHeaderRows,
                      const QString& headerGroups) {
  reportFailures(QString(), [&] {
    ApplyGridLook(grid);
    grid->setFixedRows(twoHeaderRows ? 2 : 1);
    grid->loadData(columns, rows);
    layOutHeaders(grid, twoHeaderRows, headerGroups);
  });
}

void AddGridTotalRowEx(Grid* grid, const QString& sumColumns, const QString& caption, int firstRow, int rowHeight,
                       int flagColumn, const QString& flagValue, int labelMode, bool whenEmpty) {
  Q_UNUSED(caption);  // callers name their totals; the row shows only the count
  if (sumColumns.isEmpty()) {
    MsgBox(QStringLiteral("参数错误！"), Mb::Critical);
    return;
  }
  reportFailures(QString(), [&] {
    const std::vector<int> columns = parseSumColumns(grid, sumColumns);
    if (flagColumn > 0 && flagColumn >= grid->cols())
      throw AppError(Err::SubscriptRange, QStringLiteral("下标越界（标记列 %1）").arg(flagColumn));
    const int first = std::max(firstRow > 1 ? firstRow : grid->fixedRows(), grid->fixedRows());
    const int last = grid->rows() - 1;
    if (last < first && !whenEmpty) return;  // no data row
    const int count = std::max(0, last - first + 1);
    const std::vector<double> sums = count > 0 ? columnSums(grid, columns, first, last) : std::vector<double>(columns.size(), 0.0);

    const int t = grid->addRow();
    if (labelMode == 0) {
      const QString label = QStringLiteral("合计(记录数：%1)").arg(count);
      grid->setMergeRow(t, true);
      grid->setTextMatrix(t, 0, label);
      if (grid->cols() > 1) grid->setTextMatrix(t, 1, label);
    } else {
      grid->setTextMatrix(t, 0, QStringLiteral("记录：%1").arg(count));
    }
    for (size_t i = 0; i < columns.size(); ++i) grid->setValue(t, columns[i], sums[i]);
    grid->setRowForeColor(t, VbColor(kRed));
    grid->setTotalsRow(t, true);

    const int height = rowHeight > 0 ? rowHeight : kDefaultRowHeightTwips;
    grid->setRowHeights(first, last, height);
    if (flagColumn > 0)
      for (int r = first; r <= last; ++r)
        if (grid->textMatrix(r, flagColumn) == flagValue) grid->setRowForeColor(r, VbColor(kRed));
    grid->autoSizeColumns();
  });
}

void FitColumnsAtLeast(Grid* grid, const std::vector<std::pair<int, int>>& atLeast) {
  grid->autoSizeColumns();
  for (const auto& [col, twips] : atLeast)
    if (col < grid->cols()) grid->setColWidth(col, std::max(twips, grid->colWidth(col)));
}

void AddGridTotalRow(Grid* grid, const QString& sumColumns, const QString& labelPrefix, int firstRow) {
  if (sumColumns.isEmpty()) {
    MsgBox(QStringLiteral("参数错误！"), Mb::Critical);
    return;
  }
  reportFailures(QString(), [&] {
    const std::vector<int> columns = parseSumColumns(grid, sumColumns);
    // Row 1 is where the data of a one-row header starts; a second header row is never totalled.
    const int first = std::max(firstRow > 1 ? firstRow : 1, grid->fixedRows());
    const int last = grid->rows() - 1;
    if (grid->rows() <= grid->fixedRows() || last < first) return;
    const int count = last - first + 1;
    const std::vector<double> sums = columnSums(grid, columns, first, last);

    const int t = grid->addRow();
    grid->setMergeRow(t, true);
    if (!columns.empty()) {
      const QString label = QStringLiteral("合计(记录数：%1)").arg(count);
      grid->setTextMatrix(t, 0, label);
      if (grid->cols() > 1) grid->setTextMatrix(t, 1, label);
      for (size_t i = 0; i < columns.size(); ++i) grid->setValue(t, columns[i], sums[i]);
      grid->setRowHeights(first, last, 350);
    } else {
      const QString label = labelPrefix + QStringLiteral("记录数：%1").arg(count);
      for (int c = 0; c < grid->cols(); ++c) grid->setTextMatrix(t, c, label);
    }
    grid->setRowForeColor(t, VbColor(kRed));
    grid->setTotalsRow(t, true);
  });
}

bool IsGridDataRow(const Grid* grid) {
  if (!grid || grid->cols() == 0) return false;
  const int r = grid->row();
  if (r < grid->fixedRows() || r >= grid->rows()) return false;
  if (grid->isTotalsRow(r)) return false;
  const QString first = grid->textMatrix(r, 0);
  if (first.isEmpty()) return false;
  return !first.contains(QStringLiteral("合计：")) && !first.contains(QStringLiteral("记录数："));
}

void ShowRecordAsNameValueGrid(Grid* grid, const QString& sql, int rowHeight, const QVariantList& params) {
  reportFailures(QString(), [&] {
    ApplyGridLook(grid);
    grid->setFixedRows(0);
    grid->clearData();
    grid->setCols(2);
    OpenMainQuery(sql, params);
    const int fields = gMainRecordset.FieldCount();
    const bool hasRecord = !gMainRecordset.Eof();
    grid->setRows(fields);
    grid->setColAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    grid->setColAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    const int height = rowHeight > 0 ? rowHeight : kDefaultRowHeightTwips;
    for (int i = 0; i < fields; ++i) {
      grid->setRowHeight(i, height);
      grid->setTextMatrix(i, 0, gMainRecordset.FieldName(i));
      // A null value, and every value when there is no record, shows one blank.
      const QString value = hasRecord ? gMainRecordset.text(i) : QString();
      grid->setTextMatrix(i, 1, value.isEmpty() ? QStringLiteral(" ") : value);
    }
    if (fields > 0) grid->setCellBackColor(0, 0, fields - 1, 0, VbColor(0xF7F4EA));
    CloseRecordset(gMainRecordset);
    grid->autoSizeColumns();
    grid->setColWidth(0, 2000);
  });
}

namespace {
void fillCombo(QComboBox* combo, const QString& firstItem) {
  OpenMainQuery();
  combo->clear();
  if (!firstItem.isEmpty()) combo->addItem(firstItem);
  bool any = false;
  for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
    combo->addItem(gMainRecordset.text(0));
    any = true;
  }
  combo->setCurrentIndex(any ? 0 : -1);
}
}  // namespace

void FillComboFromQuery(QComboBox* combo, const QString& firstItem) {
  reportFailures(QString(), [&] { fillCombo(combo, firstItem); });
}

void FillComboWithLookupItems(QComboBox* combo, const QString& listName, const QString& firstItem) {
  gCurrentSql = QStringLiteral("select a.名称 from [PJ_Zaxiang] a,[PJ_Zxlb] b where b.名称=? and a.类别=b.类别  order by a.排序");
  gCurrentParams = {listName};
  try {
    fillCombo(combo, firstItem);
  } catch (const AppError&) {
    // A lookup list that cannot be read leaves the combo as it is.
  }
}

void FillListFromQuery(QListWidget* list) {
  reportFailures(QString(), [&] {
    OpenMainQuery();
    list->clear();
    for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) list->addItem(gMainRecordset.text(0));
  });
}

void SelectComboItemByText(QComboBox* combo, const QString& text) {
  if (text.isEmpty()) return;
  reportFailures(QStringLiteral("匹配下拉框 "), [&] {
    for (int i = 0; i < combo->count(); ++i) {
      if (combo->itemText(i) == text) {
        combo->setCurrentIndex(i);
        return;
      }
    }
    combo->addItem(text);
    combo->setCurrentIndex(combo->count() - 1);
  });
}

QString BuildScopeInFilter(const QString& values, const QString& field, const QString& conjunction, QVariantList& params) {
  if (gCurrentUserRole == 3) return {};
  QStringList items;
  // Whole items of the list, blanks around them ignored, as rights lists are matched; the names
  // travel bound, as every Chinese value does.
  for (const QString& v : values.split(QLatin1Char(','))) {
    items << QStringLiteral("?");
    params << v.trimmed();
  }
  return QLatin1Char(' ') + conjunction + QLatin1Char(' ') + field + QStringLiteral(" in (") + items.join(QLatin1Char(',')) +
         QStringLiteral(") ");
}

QString ExportGridToExcel(Grid* grid, const QString& title, QWidget* owner) {
  Q_UNUSED(owner);  // the desktop opens the file on its own
  QString result;
  reportFailures(QString(), [&] {
    const QString folder = gAppDir + QStringLiteral("报表/");
    QDir().mkpath(folder);
    // Zero-padded date and time, so that two moments never give the same name; a second export in
    // the same second gets a number instead of overwriting the first.
    const QString stem = folder + fileNamePart(title) + Clock::now().toString(QStringLiteral("yyyyMMddHHmmss"));
    QString path = stem + QStringLiteral(".xlsx");
    for (int n = 2; QFileInfo::exists(path); ++n) path = stem + QStringLiteral("_%1.xlsx").arg(n);

    if (grid->rows() > grid->fixedRows() && grid->cols() > grid->fixedCols())
      grid->setCellBackColor(grid->fixedRows(), grid->fixedCols(), grid->rows() - 1, grid->cols() - 1, Qt::white);
    const QString failure = SaveGridAsWorkbook(*grid, path);
    if (!failure.isEmpty()) throw AppError(kFileAccessError, failure);

    gAnswer = MsgBox(QStringLiteral("数据导出成功，格式为Excel，地址：\r\n") + QDir::toNativeSeparators(path) +
                         QStringLiteral("\r\n现在是否打开？"),
                     Mb::Question + Mb::YesNo, QStringLiteral("导出数据生成EXCEL"));
    if (gAnswer == Mb::Yes) OpenWithDesktop(path);
    result = path;
  });
  return result;
}

void cxSjkj(QDateEdit* fromDate, QDateEdit* toDate, int preset) {
  try {
    QDate today = Clock::today();
    QDate book = ParseDateText(gBookStartDate);
    QDate from = fromDate->date();
    switch (preset) {
      case 0: from = today; break;
      case 1: {
        QDate monday = today.addDays(1 - today.dayOfWeek());
        from = (book.isValid() && book > monday) ? book : monday;
        break;
      }
      case 2:
        from = QDate(today.year(), today.month(), 1);
        if (book.isValid() && book.year() == today.year() && book.month() == today.month()) from = book;
        break;
      case 3:
        from = QDate(today.year(), 1, 1);
        if (book.isValid() && book.year() == today.year()) from = book;
        break;
      case 4:
        if (book.isValid()) from = book;
        break;
      default: break;
    }
    fromDate->setDate(from);
    toDate->setDate(today);
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("cxSjkj"), nullptr, e);
  }
}
