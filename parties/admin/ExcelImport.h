#pragma once
// Reading the sheet of a workbook (.xls or .xlsx) and appending its rows to one table of the system,
// without any window: the import window reads its controls and calls these.
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

// A refusal the user can act on (a workbook that cannot be read, a binding that does not fit, a row
// that cannot be imported): the message is shown as it stands and nothing has been written.
struct ImportRefused : std::runtime_error {
  explicit ImportRefused(const QString& message) : std::runtime_error(message.toStdString()), message(message) {}
  QString message;
};

// One cell as the workbook holds it.
struct ExcelCell {
  enum Kind { Empty, Text, Number, Date, DateTime, Time };
  Kind kind = Empty;
  QString text;       // Text; Date "yyyy-MM-dd", DateTime "yyyy-MM-dd HH:mm:ss", Time "HH:mm:ss"
  double number = 0;  // Number
};

// The sheet's cells row by row; row 0 holds the column titles.
struct ExcelSheet {
  QString name;
  int columns = 0;
  std::vector<std::vector<ExcelCell>> rows;

  bool isEmpty() const { return rows.empty(); }
  // The cell at (row, column from 0); an empty cell outside the sheet.
  const ExcelCell& cell(int row, int column) const;
  // The title of a column (from 0), as text.
  QString title(int column) const;
};

// The name of the sheet the import reads from an .xls workbook.
inline const QString kImportSheetName = QStringLiteral("Sheet1");

// Reads the sheet to import. The file's content decides how: an .xls workbook (a compound file) gives
// its sheet `sheetName` (matched without regard to case), an .xlsx workbook its first sheet, whatever
// the file is named. An encrypted workbook, a ZIP that is no .xlsx (.xlsm, .ods), a sheet too large
// and a file that cannot be read are refused with a message that says so.
ExcelSheet ReadExcelSheet(const QString& path, const QString& sheetName = kImportSheetName);

// The text a cell shows: text as it stands, dates "yyyy-MM-dd", a whole number by its digits (never
// in exponent form; past the 15 digits a spreadsheet keeps, zeros as it shows them), other numbers
// with up to 15 significant digits. The preview and the import read cells of both formats through it.
QString ExcelCellText(const ExcelCell& cell);

// The text a cell of a text field imports as: ExcelCellText trimmed ("'" alone is empty), a date
// time at midnight as its date. A number of 16 or more integer digits is refused naming the field
// and the sheet row `line`: the spreadsheet kept only 15 of them.
QString ImportCellText(const ExcelCell& cell, const QString& field, int line);
// A birthday cell as "yyyy-MM-dd" ("" for an empty cell): date cells, and texts such as
// "1978/6/1", "1978-06-01", "1978.6.1", "1978年6月1日". Anything else is refused.
QString ImportDateText(const ExcelCell& cell, const QString& where);

// The table an import writes and the fields it offers for binding.
struct ImportTarget {
  qint16 kind = 0;
  QString table;
  QStringList fields;
  QString nameField;    // must be bound: every imported row needs it
  bool mnemonic = false;  // parties get 助记符 from the name
};
// The target of a kind: 3 lookup items (名称 and the extra value the list's `paramNumber` names:
// 1 参数1, 2 参数2, none for other numbers), 4 individual customers, 5 corporate customers,
// 6 investors. Another kind is refused.
ImportTarget TargetForKind(qint16 kind, qint16 paramNumber);

// A database field bound to an Excel column (1 = the sheet's first column).
struct FieldBinding {
  QString field;
  int column = 0;
};

struct ImportRequest {
  ImportTarget target;
  qint16 category = 0;  // lookup items: the list's 类别
  std::vector<FieldBinding> bindings;
};

// Progress: rows done of the rows to import.
using ImportProgress = std::function<void(int done, int total)>;

// Appends every sheet row below the titles whose bound cells are not all empty, in one transaction:
// all rows or none. Before anything is written the bindings are checked against the target and the
// sheet, and every row is converted; a problem is refused (ImportRefused) naming the row and field.
// Parties get their mnemonic and 建档人; lookup items get the category, the next codes and the next
// positions, and a name the list already holds is refused. A database failure rolls back and is
// thrown (AppError). Returns the number of rows added.
int ImportSheet(const ExcelSheet& sheet, const ImportRequest& request, const ImportProgress& progress = {});
