#pragma once
// One look and one behaviour for every list and lookup field: grids filled from the shared query
// with an optional two-row header, totals rows, the data-row test, a record as a name/value list,
// combo and list boxes filled from queries, the department scope of a query and the Excel export.
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <vector>
#include <initializer_list>
#include <utility>

class Grid;
class QComboBox;
class QDateEdit;
class QListWidget;
class QWidget;

// The answer of the last question box (Mb::Yes = 6), shared with the windows.
extern int gAnswer;

// The standard look of the lists: flat, blue-green grid lines, light header, white cells.
void ApplyGridLook(Grid* grid);

// Fills the grid from gCurrentSql (and gCurrentParams): one column per field, the field names as
// captions. With two header rows, `headerGroups` ("5@应还,6@应还,7@应还": column@group caption) puts
// a group caption over the named columns, merged across neighbours of the same group; every other
// column shows its own caption once over both rows. gMainRecordset stays open.
void LoadGridFromQuery(Grid* grid, bool twoHeaderRows, const QString& headerGroups);
// The same from rows a window holds (no query): `columns` are the captions.
void LoadGridFromRows(Grid* grid, const QStringList& columns, const std::vector<QVariantList>& rows, bool twoHeaderRows,
                      const QString& headerGroups);

// Appends the red totals row. `sumColumns`: "0" for none, else column numbers joined by ",".
// `firstRow` above 1 starts the totals there, else at the first data row; `rowHeight` in twips
// (0 = 300) is given to every totalled row; rows whose `flagColumn` (> 0) holds `flagValue` are
// painted red. `labelMode` 0 writes "合计(记录数：n)" across columns 0 and 1, any other mode
// "记录：n" in column 0. Columns are fitted to their contents. Nothing is added without data rows,
// unless `whenEmpty` asks for the totals row with zero sums (the reports).
void AddGridTotalRowEx(Grid* grid, const QString& sumColumns, const QString& caption, int firstRow, int rowHeight,
                       int flagColumn, const QString& flagValue, int labelMode, bool whenEmpty = false);

// Appends the red totals row "合计(记录数：n)" with the sums of `sumColumns` (totalled rows get
// 350 twips); for "0" the whole row reads `labelPrefix` + "记录数：n". `firstRow` above 1 starts
// the totals there.
void AddGridTotalRow(Grid* grid, const QString& sumColumns, const QString& labelPrefix, int firstRow);

// Fits the columns to their shown texts (call it after the formats are set) and widens the columns
// of `atLeast` (column, twips) to the width the window gives them: that width never cuts a text.
void FitColumnsAtLeast(Grid* grid, const std::vector<std::pair<int, int>>& atLeast);

// True when the grid's current row is a data row: not a header row, not a totals row, and its first
// cell neither empty nor holding "合计：" or "记录数：".
bool IsGridDataRow(const Grid* grid);

// Shows the first record of a query as a two-column list: field name, value. `rowHeight` in twips
// (0 = 300). Opens and closes gMainRecordset.
void ShowRecordAsNameValueGrid(Grid* grid, const QString& sql, int rowHeight, const QVariantList& params = {});

// Fills a combo with the first field of every row of gCurrentSql, after `firstItem` when not
// empty; item 0 is selected when the query returned a row. gMainRecordset stays open.
void FillComboFromQuery(QComboBox* combo, const QString& firstItem);
// Fills a combo with the items of a lookup list (PJ_Zxlb.名称) in their order; failures are ignored.
void FillComboWithLookupItems(QComboBox* combo, const QString& listName, const QString& firstItem);
// Fills a list box with the first field of every row of gCurrentSql.
void FillListFromQuery(QListWidget* list);
// Selects the first item equal to `text`; a text that is not among the items is added and selected,
// so that a stored value is never replaced by another. An empty text changes nothing.
void SelectComboItemByText(QComboBox* combo, const QString& text);

// The department scope of a query: "" for an unrestricted user (role 3), else
// " <conjunction> <field> in (?,?) " with every value of the comma list appended to `params`.
QString BuildScopeInFilter(const QString& values, const QString& field, const QString& conjunction, QVariantList& params);

// Saves the grid as a workbook in the reports folder ("报表/" + title + yyyyMMddHHmmss + ".xlsx"),
// asks whether to open it (the answer goes to gAnswer) and opens it on Yes. Returns the file's path,
// or "" when it could not be written (the failure is reported).
QString ExportGridToExcel(Grid* grid, const QString& title, QWidget* owner);

// Period presets of the date filters: 0 today, 1 this week, 2 this month, 3 this year, 4 since the book start.
void cxSjkj(QDateEdit* fromDate, QDateEdit* toDate, int preset);
