#pragma once
// The report engine of the document printing: a template of our own (HTML with named fields,
// variables, repeating rows for a dataset, formats and amounts in capitals; see the README) filled
// with the datasets and variables the caller binds, shown in a print preview with PDF export,
// printed on a chosen printer, or opened in a small designer.
//
// Template syntax, inside the HTML:
//   {{名称}}                 a variable handed over with MAddV
//   {{数据集.字段}}          a field: of the current row inside a repeat, else of the dataset's first row
//   {{... | 格式}}           "0", "0.00", "0.0000", "Currency", "大写" (amount in capitals) or a date
//                            pattern such as "yyyy年MM月dd日"
//   {{#数据集}}...{{/数据集}}  repeated once per row of the dataset (nothing for none)
//   {{^数据集}}...{{/数据集}}  shown only when the dataset has no rows
//   {{rownum}}               the row number (from 1) inside a repeat
//   {{count:数据集}}         the dataset's number of rows
//   {{sum:数据集.字段|格式}}  the sum of a field over the dataset's rows
//   {{today|格式}}           the printing date
// Printing repeats a table's <thead> rows on every page it spans; a table without header rows that
// fits on a page (totals, signatures) is never split, it moves to the next page whole.
// Every value is HTML-escaped when it is put in, and nothing put in is read as syntax again.
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

class QPrinter;
class QWidget;

// A dataset as the engine keeps it: a copy of the rows taken when it is bound.
struct ReportDataset {
  QString name;
  QStringList columns;
  std::vector<QVariantList> rows;

  int column(const QString& field) const;  // -1 when absent
};

// A template that cannot be read or rendered; `message` says why, for the user.
struct ReportTemplateError : std::runtime_error {
  explicit ReportTemplateError(const QString& message) : std::runtime_error(message.toStdString()), message(message) {}
  QString message;
};

class ReportEngine {
 public:
  ReportEngine();
  ~ReportEngine();

  // The engine's calls, in the order a caller makes them.
  void MCreate(int flags = 0);
  void MClearAll();
  // Which buttons of the preview are offered: print, PDF export, page set-up... (all on by default).
  void MButtons(int enable, const std::vector<bool>& switches);
  // Binds a copy of a dataset under a name in a slot (1 to 4); a slot already used is replaced.
  void MSetData(int slot, const ReportDataset& data, const QString& name);
  void MAddV(const QString& name, const QString& value);
  // The preview window's title (the document's name); unset, the template's file name.
  void MSetTitle(const QString& title) { title_ = title; }
  const QString& title() const { return title_; }
  // mode 0 preview, 1 print to `printer` ("" = the default printer), 2 design. Returns true when the
  // template was shown, printed or edited; throws ReportTemplateError for a missing or malformed
  // template, and returns false when the printer failed (the caller says so).
  bool MPrintReport(int mode, const QString& templatePath, const QString& printer, QWidget* parent = nullptr);
  void MClose();

  // The filled HTML of a template text; throws ReportTemplateError.
  QString render(const QString& templateText) const;
  // Reads a template file (UTF-8); throws ReportTemplateError when it is missing, unreadable or no
  // plain file (a link, a FIFO: SafeFiles.h).
  static QString readTemplate(const QString& path);
  // Renders the template into a PDF file (written as exports are: PrintPreview.h); false when the
  // file cannot be written.
  bool printToPdf(const QString& templatePath, const QString& pdfPath) const;
  // Paints rendered HTML on a printer (A4, the program's Chinese font).
  static bool paintHtml(const QString& html, QPrinter* printer);

  // The bound datasets by slot and the variables, for the designer's field list.
  const std::map<int, ReportDataset>& datasets() const { return data_; }
  const std::vector<std::pair<QString, QString>>& variables() const { return vars_; }
  // The names the designer offers to insert: "{{数据集.字段}}" and "{{变量}}".
  QStringList fieldList() const;

  // How amounts are written in capitals (the program gives its own); unset, the plain number is used.
  static void setCapitalsFormatter(std::function<QString(double)> f);
  // Tests: replaces the preview (mode 0) and the designer (mode 2) by a handler that gets the engine
  // and the template path; an empty handler restores the windows.
  using ShowHandler = std::function<bool(const ReportEngine&, int mode, const QString& templatePath)>;
  static void setShowHandler(ShowHandler h);
  // Formats one value as a template format says; exposed for tests and the designer.
  static QString formatValue(const QVariant& value, const QString& format);

 private:
  std::vector<bool> buttons_;
  std::map<int, ReportDataset> data_;
  std::vector<std::pair<QString, QString>> vars_;
  QString title_;
};
