#include "platform/PrintPreview.h"

#include <QPageLayout>
#include <QPageSize>
#include <QFontMetricsF>
#include <QAction>
#include <QFileInfo>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTableView>
#include <QToolBar>

#include <algorithm>
#include <cmath>

#include "platform/Dialogs.h"
#include "platform/Money.h"
#include "platform/SafeFiles.h"

namespace {
// Chinese faces the documents name, with the face every installation here has as the fallback.
QFont documentFont(const QString& family, double pointSize) {
  QFont f;
  f.setFamilies({family, QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  f.setPointSizeF(std::max(1.0, pointSize));
  return f;
}
}  // namespace

void PrintDocument::setMargins(int left, int top, int right, int bottom) {
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
}

void PrintDocument::startDoc() {
  hasGrid_ = false;
  fixedRows_ = 0;
  colWidths_.clear();
  rowHeights_.clear();
  cells_.clear();
  pages_.clear();
  texts_.clear();
  scale_ = 1;
  gridLeft_ = left_;
  gridWidth_ = 0;
}

void PrintDocument::renderGrid(const Grid& grid) {
  std::vector<int> shown;
  for (int c = 0; c < grid.cols(); ++c)
    if (!grid.colHidden(c)) shown.push_back(c);
  std::vector<int> position(static_cast<size_t>(grid.cols()), -1);
  for (size_t i = 0; i < shown.size(); ++i) position[static_cast<size_t>(shown[i])] = static_cast<int>(i);

  font_ = grid.table()->font();
  if (font_.pointSizeF() <= 0) font_.setPointSizeF(9);
  // Widths in the print font, measured unhinted as the printer draws, with a little to spare: the
  // screen's widths come from hinted screen metrics and may be a digit short on paper.
  QFont measure = font_;
  measure.setHintingPreference(QFont::PreferNoHinting);
  const QFontMetricsF fm(measure);
  const double twipsPerPixel = 1440.0 / fm.fontDpi();
  constexpr int kPad = 40;
  const int left = std::max(left_, kMinSideMargin);
  const int right = std::max(right_, kMinSideMargin);
  int room = pageWidth() - left - right;
  std::vector<int> need;
  for (int c : shown) {
    double longest = 0;
    bool numbers = false;
    for (int r = 0; r < grid.rows(); ++r) {
      if (grid.mergedRange(r, c).left != grid.mergedRange(r, c).right) continue;  // a merged text spans its columns
      const QString text = grid.displayText(r, c);
      if (text.isEmpty()) continue;
      longest = std::max(longest, fm.horizontalAdvance(text));
      numbers = numbers || (r >= grid.fixedRows() && IsNumberVariant(grid.value(r, c)));
    }
    int w = std::max(grid.colWidth(c), int(std::ceil(longest * 1.04 * twipsPerPixel)) + 2 * kPad + 20);
    if (!numbers) w = std::min(w, std::max(grid.colWidth(c), room / 2));
    need.push_back(w);
  }
  int natural = 0;
  for (int w : need) natural += w;
  // Keep the grid between the margins the caller chose; when they leave no room (a grid wider than
  // the paper), shrink it to fit between narrow side margins instead, but not below the least print.
  // A grid a little wider in print than on the screen is centred between the narrow margins.
  const double least = std::min(1.0, kMinPointSize / font_.pointSizeF());
  const int widest = pageWidth() - 2 * kMinSideMargin;
  scale_ = 1.0;
  gridLeft_ = left;
  int total = natural;  // the printed width of all columns
  if (natural > widest) {
    room = widest;
    gridLeft_ = kMinSideMargin;
    const double fit = double(room) / natural;
    scale_ = std::max(fit, least);
    total = scale_ == fit ? room : static_cast<int>(std::lround(natural * scale_));
  } else if (natural > room) {
    gridLeft_ = (pageWidth() - natural) / 2;
  }

  // Scaled widths are rounded down and the last column takes what is left, so a grid shrunk to the
  // page sums to the room exactly: rounding each width to nearest could push it a few twips over
  // and send the last column to a page of its own.
  colWidths_.clear();
  int sum = 0;
  for (int w : need) {
    colWidths_.push_back(static_cast<int>(std::floor(w * scale_)));
    sum += colWidths_.back();
  }
  if (!colWidths_.empty()) colWidths_.back() += total - sum;
  // Bands of columns that fit the page; every band after the first starts with the first column.
  bands_.clear();
  std::vector<int> band;
  int used = 0;
  for (int i = 0; i < int(colWidths_.size()); ++i) {
    if (!band.empty() && used + colWidths_[size_t(i)] > widest && !(band.size() == 1 && band[0] == 0 && !bands_.empty())) {
      bands_.push_back(band);
      band = {0};
      used = colWidths_[0];
    }
    band.push_back(i);
    used += colWidths_[size_t(i)];
  }
  if (!band.empty()) bands_.push_back(band);
  if (bands_.empty()) bands_.push_back({});
  gridWidth_ = 0;
  for (const auto& b : bands_) {
    int w = 0;
    for (int i : b) w += colWidths_[size_t(i)];
    gridWidth_ = std::max(gridWidth_, w);
  }

  fixedRows_ = grid.fixedRows();
  rowHeights_.clear();
  cells_.clear();
  for (int r = 0; r < grid.rows(); ++r) {
    rowHeights_.push_back(static_cast<int>(std::lround(grid.rowHeight(r) * scale_)));
    std::vector<Cell> row;
    for (int c : shown) {
      Cell cell;
      cell.text = grid.displayText(r, c);
      cell.align = grid.cellAlignment(r, c);
      cell.fore = grid.cellForeColor(r, c);
      cell.back = grid.cellBackColor(r, c);
      Grid::CellRange b = grid.mergedRange(r, c);
      int firstShown = -1, count = 0;
      for (int k = b.left; k <= b.right; ++k)
        if (position[static_cast<size_t>(k)] >= 0) {
          if (firstShown < 0) firstShown = k;
          ++count;
        }
      if (b.top != r || firstShown != c) {
        cell.colSpan = 0;  // painted by the block's first cell
      } else {
        cell.colSpan = count;
        cell.rowSpan = b.bottom - b.top + 1;
      }
      row.push_back(cell);
    }
    cells_.push_back(std::move(row));
  }
  gridColor_ = grid.gridColor();
  hasGrid_ = true;

  // Data rows page by page below the header rows, which every page repeats.
  int header = 0;
  for (int r = 0; r < fixedRows_; ++r) header += rowHeights_[static_cast<size_t>(r)];
  const int room_height = pageHeight() - top_ - bottom_ - header;
  pages_.clear();
  for (int b = 0; b < int(bands_.size()); ++b) {
    Page page{b, {}};
    int filled = 0;
    for (int r = fixedRows_; r < grid.rows(); ++r) {
      int h = rowHeights_[static_cast<size_t>(r)];
      if (!page.rows.empty() && filled + h > room_height) {
        pages_.push_back(page);
        page.rows.clear();
        filled = 0;
      }
      page.rows.push_back(r);
      filled += h;
    }
    pages_.push_back(page);
  }
}

void PrintDocument::endDoc() {
  if (pages_.empty()) pages_.push_back({});
}

int PrintDocument::pageCount() const { return std::max<int>(1, static_cast<int>(pages_.size())); }

std::vector<int> PrintDocument::rowsOnPage(int page) const {
  if (page < 1 || page > static_cast<int>(pages_.size())) return {};
  return pages_[static_cast<size_t>(page - 1)].rows;
}

std::vector<int> PrintDocument::columnsOnPage(int page) const {
  if (page < 1 || page > static_cast<int>(pages_.size()) || bands_.empty()) return {};
  return bands_[size_t(pages_[size_t(page - 1)].band)];
}

void PrintDocument::addText(int page, const QString& text, const QString& family, double pointSize, Align align, int x, int y) {
  texts_.push_back({page, text, family, pointSize, align, x, y});
}

void PrintDocument::preparePrinter(QPrinter* printer) const {
  printer->setFullPage(true);
  printer->setPageSize(QPageSize(QPageSize::A4));
  printer->setPageOrientation(landscape_ ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

bool PrintDocument::print(QPrinter* printer) const {
  QPainter p;
  if (!p.begin(printer)) return false;
  const double dpt = printer->resolution() / 1440.0;
  for (int page = 1; page <= pageCount(); ++page) {
    if (page > 1 && !printer->newPage()) {
      p.end();
      return false;
    }
    paintPage(p, page, dpt);
  }
  bool ok = p.end();
  return ok && printer->printerState() != QPrinter::Error && printer->printerState() != QPrinter::Aborted;
}

void PrintDocument::paintRow(QPainter& p, int gridRow, int y, double dpt, const std::vector<int>& band) const {
  const auto& row = cells_[static_cast<size_t>(gridRow)];
  int x = gridLeft_;
  const int pad = static_cast<int>(std::lround(40 * scale_));
  for (size_t i = 0; i < band.size(); ++i) {
    const int col = band[i];
    const int w0 = colWidths_[size_t(col)];
    // A merged block starting left of the band (in the columns a band leaves out) is painted from
    // its first column inside the band, its text with it.
    int owner = col;
    const bool bandStart = i == 0 || band[i - 1] != col - 1;
    if (row[size_t(col)].colSpan == 0 && bandStart)
      for (int k = col - 1; k >= 0; --k)
        if (row[size_t(k)].colSpan > 0) {
          if (k + row[size_t(k)].colSpan > col) owner = k;
          break;
        }
    const Cell& cell = row[size_t(owner)];
    if (cell.colSpan > 0) {
      int w = 0;
      for (size_t k = i; k < band.size() && band[k] < owner + cell.colSpan && band[k] - band[i] == int(k - i); ++k)
        w += colWidths_[size_t(band[k])];
      int h = 0;
      for (int k = gridRow; k < gridRow + cell.rowSpan && k < static_cast<int>(rowHeights_.size()); ++k)
        h += rowHeights_[static_cast<size_t>(k)];
      QRectF rect(x * dpt, y * dpt, w * dpt, h * dpt);
      p.fillRect(rect, cell.back.isValid() ? cell.back : QColor(Qt::white));
      p.setPen(QPen(gridColor_, std::max(1.0, 10 * dpt)));
      p.drawRect(rect);
      if (!cell.text.isEmpty()) {
        p.save();
        p.setClipRect(rect);
        p.setPen(cell.fore.isValid() ? cell.fore : QColor(Qt::black));
        p.drawText(rect.adjusted(pad * dpt, 0, -pad * dpt, 0), static_cast<int>(cell.align) | Qt::TextSingleLine, cell.text);
        p.restore();
      }
    }
    x += w0;
  }
}

void PrintDocument::paintPage(QPainter& p, int page, double dpt) const {
  if (hasGrid_) {
    QFont f = font_;
    f.setPointSizeF(font_.pointSizeF() * scale_);
    f.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(f);
    const std::vector<int> band = columnsOnPage(page);
    int y = top_;
    for (int r = 0; r < fixedRows_; ++r) {
      paintRow(p, r, y, dpt, band);
      y += rowHeights_[static_cast<size_t>(r)];
    }
    for (int r : rowsOnPage(page)) {
      paintRow(p, r, y, dpt, band);
      y += rowHeights_[static_cast<size_t>(r)];
    }
  }
  for (const Text& t : texts_) {
    if (t.page != page || t.text.isEmpty()) continue;
    QFont f = documentFont(t.family, t.pointSize);
    p.setFont(f);
    p.setPen(Qt::black);
    const double wide = pageWidth() * dpt;
    QRectF rect;
    int flags = Qt::AlignTop | Qt::TextSingleLine;
    switch (t.align) {
      case Align::Left:
        rect = QRectF(t.x * dpt, t.y * dpt, wide, wide);
        flags |= Qt::AlignLeft;
        break;
      case Align::Center:
        rect = QRectF(t.x * dpt - wide / 2, t.y * dpt, wide, wide);
        flags |= Qt::AlignHCenter;
        break;
      case Align::Right:
        rect = QRectF(t.x * dpt - wide, t.y * dpt, wide, wide);
        flags |= Qt::AlignRight;
        break;
    }
    p.drawText(rect, flags, t.text);
  }
}

QAction* AddPdfExport(QPrintPreviewDialog* preview, std::function<bool(QPrinter*)> paint) {
  auto* bar = preview->findChild<QToolBar*>();
  if (!bar) return nullptr;
  QAction* a = bar->addAction(QStringLiteral("导出PDF"));
  a->setObjectName(QStringLiteral("actPdf"));
  QObject::connect(a, &QAction::triggered, preview, [preview, paint] {
    QString path = ChooseSaveFile(preview, QStringLiteral("导出PDF"), QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    if (!ExportPdf(path, paint)) MsgBox(QStringLiteral("无法写入文件：") + path, Mb::Exclamation);
  });
  return a;
}

bool ExportPdf(const QString& path, const std::function<bool(QPrinter*)>& paint) {
  // The PDF engine opens the file by its name: it writes a fresh name of our own, and the name
  // chosen gets the document only when it is whole.
  return WriteBesideAndRename(path, MaskedMode(0666), [&paint](int, const QString& temp) {
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(temp);
    return paint(&pdf) && QFileInfo(temp).size() > 0;
  });
}
