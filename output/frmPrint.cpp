#include "output/frmPrint.h"

#include <QPrinter>

#include <algorithm>

#include "app/data/AppError.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
constexpr int kTopMargin = 1400;
constexpr int kBottomMargin = 1000;
// Heading texts keep at least this width around the page's middle, so that a narrow grid's
// subtitle and page number do not run into each other.
constexpr int kMinTextBand = 7200;
}  // namespace

void ReportPrinterFailure() {
  MsgBox(QStringLiteral("打印机未准备好或发生错误！"), Mb::Exclamation + Mb::RetryCancel, QStringLiteral("警告"));
}

frmPrint::frmPrint(QWidget* parent) : QPrintPreviewDialog(parent) {
  setObjectName(QStringLiteral("frmPrint"));
  setWindowTitle(QStringLiteral("表格打印"));
  resize(960, 720);
  connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { VSPrint_Paint(p); });
  // The list's document as a PDF file, as the document previews offer it.
  AddPdfExport(this, [this](QPrinter* p) { return paintPdf(p); });
}

bool frmPrint::paintPdf(QPrinter* pdf) {
  VSPrint.preparePrinter(pdf);
  return VSPrint.print(pdf);
}

frmPrint::~frmPrint() = default;

void frmPrint::VSPrint_Paint(QPrinter* printer) {
  if (!VSPrint.print(printer)) ReportPrinterFailure();
}

bool frmPrint::PrintToPdf(const QString& path) {
  if (ExportPdf(path, [this](QPrinter* p) { return paintPdf(p); })) return true;
  ReportPrinterFailure();
  return false;
}

void frmPrint::PrintFg(const QString& title, Grid* grid, bool landscape, const QString& subtitle) {
  QColor backColor, gridColor;
  bool coloursChanged = false;
  const auto restoreColours = [&] {
    if (!coloursChanged) return;
    grid->setBackColor(backColor);
    grid->setGridColor(gridColor);
    coloursChanged = false;
  };
  try {
    if (!grid) throw AppError(Err::ObjectNotSet, QStringLiteral("对象变量或 With 块变量未设置"));
    // Paper shows the grid on white with grey lines; the data cells stay white on the screen too.
    backColor = grid->backColor();
    gridColor = grid->gridColor();
    coloursChanged = true;
    grid->setBackColor(Qt::white);
    grid->setGridColor(VbColor(0x80000010));
    if (grid->rows() > grid->fixedRows() && grid->cols() > grid->fixedCols())
      grid->setCellBackColor(grid->fixedRows(), grid->fixedCols(), grid->rows() - 1, grid->cols() - 1, Qt::white);

    VSPrint.setLandscape(landscape);
    int width = 30;
    for (int c = 0; c < grid->cols(); ++c)
      if (!grid->colHidden(c)) width += grid->colWidth(c);
    const int side = (VSPrint.pageWidth() - width) / 2;
    VSPrint.setMargins(side, kTopMargin, side, kBottomMargin);
    VSPrint.startDoc();
    VSPrint.renderGrid(*grid);
    VSPrint.endDoc();

    const int pages = VSPrint.pageCount();
    const int middle = VSPrint.pageWidth() / 2;
    const int left = std::min(VSPrint.gridLeft(), middle - kMinTextBand / 2);
    const int right = std::max(VSPrint.gridLeft() + VSPrint.gridWidth(), middle + kMinTextBand / 2);
    const QString date = QStringLiteral("打印日期：") + ChineseDateText(Clock::today());
    const QString heiti = QStringLiteral("黑体");
    const QString songti = QStringLiteral("宋体");
    for (int p = 1; p <= pages; ++p) {
      VSPrint.addText(p, title, heiti, 20, PrintDocument::Align::Center, middle, kTopMargin - 800);
      VSPrint.addText(p, subtitle, songti, 10, PrintDocument::Align::Left, left, kTopMargin - 210);
      VSPrint.addText(p, QStringLiteral("%1/%2").arg(p).arg(pages), songti, 10, PrintDocument::Align::Right, right,
                      kTopMargin - 210);
      VSPrint.addText(p, date, songti, 10, PrintDocument::Align::Right, right, VSPrint.pageHeight() - kBottomMargin + 50);
    }
    restoreColours();
    VSPrint.preparePrinter(printer());
  } catch (const std::exception&) {
    restoreColours();
    ReportPrinterFailure();
    return;
  }
  RunModal(this);
}
