#include "platform/PrintPreview.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTableView>

#include <algorithm>
#include <cmath>

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

  int natural = 0;
  for (int c : shown) natural += grid.colWidth(c);
  // Keep the grid between the margins the caller chose; when they leave no room (a grid wider than
  // the paper), shrink it to fit between narrow side margins instead.
  const int left = std::max(left_, kMinSideMargin);
  const int right = std::max(right_, kMinSideMargin);
  const int room = pageWidth() - left - right;
  scale_ = (natural > room && natural > 0) ? double(room) / natural : 1.0;
  gridLeft_ = left;

  colWidths_.clear();
  for (int c : shown) colWidths_.push_back(static_cast<int>(std::lround(grid.colWidth(c) * scale_)));
  gridWidth_ = 0;
  for (int w : colWidths_) gridWidth_ += w;

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
  font_ = grid.table()->font();
  if (font_.pointSizeF() <= 0) font_.setPointSizeF(9);
  hasGrid_ = true;

  // Data rows page by page below the header rows, which every page repeats.
  int header = 0;
  for (int r = 0; r < fixedRows_; ++r) header += rowHeights_[static_cast<size_t>(r)];
  const int room_height = pageHeight() - top_ - bottom_ - header;
  pages_.clear();
  std::vector<int> page;
  int used = 0;
  for (int r = fixedRows_; r < grid.rows(); ++r) {
    int h = rowHeights_[static_cast<size_t>(r)];
    if (!page.empty() && used + h > room_height) {
      pages_.push_back(page);
      page.clear();
      used = 0;
    }
    page.push_back(r);
    used += h;
  }
  if (!page.empty() || pages_.empty()) pages_.push_back(page);
}

void PrintDocument::endDoc() {
  if (pages_.empty()) pages_.emplace_back();
}

int PrintDocument::pageCount() const { return std::max<int>(1, static_cast<int>(pages_.size())); }

std::vector<int> PrintDocument::rowsOnPage(int page) const {
  if (page < 1 || page > static_cast<int>(pages_.size())) return {};
  return pages_[static_cast<size_t>(page - 1)];
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

void PrintDocument::paintRow(QPainter& p, int gridRow, int y, double dpt) const {
  const auto& row = cells_[static_cast<size_t>(gridRow)];
  int x = gridLeft_;
  const int pad = static_cast<int>(std::lround(40 * scale_));
  for (size_t i = 0; i < row.size(); ++i) {
    const Cell& cell = row[i];
    const int w0 = colWidths_[i];
    if (cell.colSpan > 0) {
      int w = 0;
      for (size_t k = i; k < i + static_cast<size_t>(cell.colSpan) && k < colWidths_.size(); ++k) w += colWidths_[k];
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
    p.setFont(f);
    int y = top_;
    for (int r = 0; r < fixedRows_; ++r) {
      paintRow(p, r, y, dpt);
      y += rowHeights_[static_cast<size_t>(r)];
    }
    for (int r : rowsOnPage(page)) {
      paintRow(p, r, y, dpt);
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
