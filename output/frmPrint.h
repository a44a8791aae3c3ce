#pragma once
// The print preview of the lists: any grid laid out on A4 with the title, a second heading line,
// "page/pages" and the print date on every page, shown modally; the user prints from the preview.
#include <QPrintPreviewDialog>

#include "platform/PrintPreview.h"

class Grid;

class frmPrint : public QPrintPreviewDialog {
  Q_OBJECT
 public:
  explicit frmPrint(QWidget* parent = nullptr);
  ~frmPrint() override;

  // Lays the grid out (landscape or portrait, centred, shrunk when wider than the paper) with
  // `title` and `subtitle` (empty for none) on every page, then shows the preview and returns when
  // it is closed. A failure says "打印机未准备好或发生错误！" and shows no preview.
  void PrintFg(const QString& title, Grid* grid, bool landscape, const QString& subtitle);

  // The document the last PrintFg laid out.
  const PrintDocument& document() const { return VSPrint; }
  // Prints the document into a PDF file; a failure is reported as a printer failure.
  bool PrintToPdf(const QString& path);

 private:
  // Paints the document for the preview or for the printer the user chose.
  void VSPrint_Paint(QPrinter* printer);
  // Paints the document on a PDF printer (the export and PrintToPdf).
  bool paintPdf(QPrinter* pdf);

  PrintDocument VSPrint;
};

// The message of a printer that cannot print.
void ReportPrinterFailure();
