#include "platform/Grid.h"

#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/Money.h"

namespace {
// Many cells change at once, none of the table's shape: the model stays silent (no signal and no
// repaint per cell) and the view repaints once when the change is done.
class QuietCells {
 public:
  explicit QuietCells(QTableWidget* table) : table_(table), was_(table->model()->blockSignals(true)) {}
  ~QuietCells() {
    table_->model()->blockSignals(was_);
    if (!was_) table_->viewport()->update();
  }
  QuietCells(const QuietCells&) = delete;
  QuietCells& operator=(const QuietCells&) = delete;

 private:
  QTableWidget* table_;
  bool was_;
};
}  // namespace

namespace {
// Item data beside the shown text.
constexpr int kValueRole = Qt::UserRole;         // the cell's value
constexpr int kOwnBackRole = Qt::UserRole + 1;   // a back colour set on the cell itself
// Flags of a data row, kept on the row's vertical header item so they move with the row.
constexpr int kTotalsRole = Qt::UserRole;
constexpr int kMergeRole = Qt::UserRole + 1;

QString plainNumber(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return QString::number(static_cast<qint64>(d));
  return QString::number(d, 'g', 15);
}

QString valueText(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return {};
  if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) return plainNumber(v.toDouble());
  return v.toString();
}

// A text that is a whole number in ordinary notation (what a format may be applied to).
bool numericText(const QString& text, double* out) {
  QString t = text.trimmed();
  if (t.startsWith(QLatin1Char('-'))) t.remove(0, 1);
  double d = 0;
  if (!Money::parse(t, &d)) return false;
  *out = text.trimmed().startsWith(QLatin1Char('-')) ? -d : d;
  return true;
}

QString groupThousands(const QString& fixed) {
  QString sign, intPart = fixed, rest;
  if (intPart.startsWith(QLatin1Char('-'))) {
    sign = QStringLiteral("-");
    intPart.remove(0, 1);
  }
  int dot = intPart.indexOf(QLatin1Char('.'));
  if (dot >= 0) {
    rest = intPart.mid(dot);
    intPart.truncate(dot);
  }
  for (int i = static_cast<int>(intPart.size()) - 3; i > 0; i -= 3) intPart.insert(i, QLatin1Char(','));
  return sign + intPart + rest;
}
}  // namespace

QColor VbColor(qint64 value) {
  if (value & 0x80000000LL) {
    // System colours, with the values of the standard Windows scheme the program was made for.
    switch (value & 0xFF) {
      case 0x05: return Qt::white;               // window
      case 0x08: return Qt::black;               // window text
      case 0x0D: return QColor(0, 120, 215);     // highlight
      case 0x0E: return Qt::white;               // highlighted text
      case 0x0F: return QColor(240, 240, 240);   // button face
      case 0x10: return QColor(160, 160, 160);   // button shadow
      case 0x12: return Qt::black;               // button text
      default: return QColor(128, 128, 128);
    }
  }
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF), static_cast<int>((value >> 16) & 0xFF));
}

double LeadingNumber(const QString& text) {
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && text[i].isSpace()) ++i;
  int start = i;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) ++i;
  bool digits = false, dot = false;
  for (; i < n; ++i) {
    QChar c = text[i];
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
      digits = true;
    } else if (c == QLatin1Char('.') && !dot) {
      dot = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  QString t = text.mid(start, i - start);
  if (t.endsWith(QLatin1Char('.'))) t.chop(1);
  return t.toDouble();
}

QString FormatNumber(double value, const QString& format) {
  if (format.compare(QLatin1String("Currency"), Qt::CaseInsensitive) == 0)
    return groupThousands(Money::format(value, QStringLiteral("0.00")));
  static const QRegularExpression grouped(QStringLiteral("^#,##0(\\.0+)?$"));
  static const QRegularExpression plain(QStringLiteral("^0(\\.0+)?$"));
  if (grouped.match(format).hasMatch()) return groupThousands(Money::format(value, format.mid(4)));
  if (plain.match(format).hasMatch()) return Money::format(value, format);
  return plainNumber(value);
}

// The table inside the grid; it only lets the grid ask for a new layout of its header.
class GridTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  void relayout() { updateGeometries(); }
};

// The header of the grid: its fixed rows as tiers, merged blocks painted as one cell.
class GridHeader : public QHeaderView {
 public:
  GridHeader(Grid* grid, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), grid_(grid) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
  }

  int tiersHeight() const {
    int h = 0;
    for (int t : grid_->headerHeights_) h += t / kTwipsPerPixel;
    return h;
  }

  QSize sizeHint() const override {
    QSize s = QHeaderView::sizeHint();
    s.setHeight(tiersHeight());
    return s;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), grid_->backColor_);
    const int tiers = grid_->fixedRows_;
    std::vector<int> top(static_cast<size_t>(tiers) + 1, 0);
    for (int r = 0; r < tiers; ++r) top[r + 1] = top[r] + grid_->headerHeights_[r] / kTwipsPerPixel;
    const int cols = grid_->cols();
    p.setFont(grid_->table_->font());
    for (int r = 0; r < tiers; ++r) {
      for (int c = 0; c < cols; ++c) {
        if (isSectionHidden(c)) continue;
        Grid::CellRange b = grid_->headerBlock(r, c);
        if (b.top != r) continue;
        int first = b.left;
        while (first < c && isSectionHidden(first)) ++first;
        if (first != c) continue;  // painted with the block's first shown column
        int width = 0;
        for (int k = b.left; k <= b.right; ++k)
          if (!isSectionHidden(k)) width += sectionSize(k);
        QRect rect(sectionViewportPosition(c), top[b.top], width, top[b.bottom + 1] - top[b.top]);
        if (!rect.intersects(viewport()->rect())) continue;
        p.fillRect(rect, grid_->fixedBackColor_);
        p.setPen(grid_->gridColor_);
        p.drawLine(rect.topRight(), rect.bottomRight());
        p.drawLine(rect.bottomLeft(), rect.bottomRight());
        p.setPen(Qt::black);
        p.save();
        p.setClipRect(rect.adjusted(1, 1, -1, -1));
        p.drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignCenter, grid_->header_[r].value(c));
        p.restore();
      }
    }
  }

 private:
  Grid* grid_;
};

// Edits a cell from its value (not its formatted text) and makes the typed text its new value.
class GridDelegate : public QStyledItemDelegate {
 public:
  GridDelegate(Grid* grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setText(grid_->textMatrix(index.row() + grid_->fixedRows(), index.column()));
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
      QStyledItemDelegate::setModelData(editor, model, index);
      return;
    }
    const int row = index.row() + grid_->fixedRows();
    grid_->setTextMatrix(row, index.column(), line->text());
    emit grid_->cellEdited(row, index.column());
  }

 private:
  Grid* grid_;
};

Grid::Grid(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  table_ = new GridTable(this);
  layout->addWidget(table_);
  table_->setHorizontalHeader(new GridHeader(this, table_));
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setDefaultSectionSize(kDefaultRowHeightTwips / kTwipsPerPixel);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setSortingEnabled(false);
  header_.assign(1, QStringList());
  headerHeights_.assign(1, kDefaultRowHeightTwips);
  headerMergeRow_.assign(1, false);
  setFocusProxy(table_);
  table_->setItemDelegate(new GridDelegate(this, table_));

  connect(table_, &QTableWidget::cellClicked, this, [this](int r, int c) { emit cellClicked(r + fixedRows_, c); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int r, int c) { emit cellDoubleClicked(r + fixedRows_, c); });
  connect(table_, &QTableWidget::currentCellChanged, this, [this](int r, int c, int, int) {
    emit currentCellChanged(r < 0 ? -1 : r + fixedRows_, c);
  });
  refreshLook();
  refreshHeader();
}

Grid::~Grid() = default;

QTableWidget* Grid::table() const { return table_; }

int Grid::rows() const { return fixedRows_ + table_->rowCount(); }

void Grid::setRows(int n) {
  int data = std::max(0, n - fixedRows_);
  int old = table_->rowCount();
  table_->setRowCount(data);
  for (int r = old; r < data; ++r) table_->setVerticalHeaderItem(r, new QTableWidgetItem());
}

int Grid::cols() const { return table_->columnCount(); }

void Grid::setCols(int n) {
  n = std::max(0, n);
  table_->setColumnCount(n);
  for (auto& h : header_) {
    while (h.size() < n) h << QString();
    while (h.size() > n) h.removeLast();
  }
  mergeCol_.resize(static_cast<size_t>(n), false);
  alignments_.resize(static_cast<size_t>(n), 0);
  while (formats_.size() < n) formats_ << QString();
  while (formats_.size() > n) formats_.removeLast();
  refreshHeader();
}

void Grid::setFixedRows(int n) {
  n = std::max(0, n);
  if (n == fixedRows_) return;
  // Rows keep their numbers: making a data row fixed moves its texts into the header and back.
  const int cols = this->cols();
  while (fixedRows_ < n) {
    QStringList texts;
    for (int c = 0; c < cols; ++c) texts << (table_->rowCount() > 0 ? textMatrix(fixedRows_, c) : QString());
    if (table_->rowCount() > 0) table_->removeRow(0);
    header_.push_back(texts);
    headerHeights_.push_back(kDefaultRowHeightTwips);
    headerMergeRow_.push_back(false);
    ++fixedRows_;
  }
  while (fixedRows_ > n) {
    QStringList texts = header_.back();
    header_.pop_back();
    headerHeights_.pop_back();
    headerMergeRow_.pop_back();
    --fixedRows_;
    table_->insertRow(0);
    table_->setVerticalHeaderItem(0, new QTableWidgetItem());
    for (int c = 0; c < cols; ++c)
      if (!texts.value(c).isEmpty()) setTextMatrix(fixedRows_, c, texts.value(c));
  }
  refreshHeader();
}

void Grid::setFixedCols(int n) {
  fixedCols_ = std::max(0, n);
  for (int c = 0; c < cols(); ++c) refreshColumn(c);
}

void Grid::clearData() { table_->setRowCount(0); }

bool Grid::validCell(int row, int col) const { return row >= 0 && row < rows() && col >= 0 && col < cols(); }

void Grid::checkCol(int col) const {
  if (col < 0 || col >= cols()) throw std::out_of_range("grid column " + std::to_string(col) + " outside the grid");
}

void Grid::checkCell(int row, int col) const {
  if (!validCell(row, col))
    throw std::out_of_range("grid cell (" + std::to_string(row) + "," + std::to_string(col) + ") outside the grid");
}

QTableWidgetItem* Grid::item(int row, int col) const {
  if (row < fixedRows_ || !validCell(row, col)) return nullptr;
  return table_->item(row - fixedRows_, col);
}

QTableWidgetItem* Grid::ensureItem(int row, int col) {
  checkCell(row, col);
  if (row < fixedRows_) throw std::out_of_range("a header row has no cell item");
  QTableWidgetItem* it = table_->item(row - fixedRows_, col);
  if (!it) {
    it = new QTableWidgetItem();
    table_->setItem(row - fixedRows_, col, it);
    refreshItem(it, col);
  }
  return it;
}

void Grid::refreshItem(QTableWidgetItem* it, int col) {
  const QVariant v = it->data(kValueRole);
  const QString format = formats_.value(col);
  QString shown = valueText(v);
  bool number = IsNumberVariant(v);
  double d = 0;
  if (number) {
    if (!format.isEmpty()) shown = FormatNumber(v.toDouble(), format);
  } else if (!format.isEmpty() && numericText(shown, &d)) {
    shown = FormatNumber(d, format);
    number = true;
  }
  it->setData(Qt::DisplayRole, shown);
  int align = alignments_.at(static_cast<size_t>(col));
  Qt::Alignment a = align ? Qt::Alignment(align) : ((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  it->setData(Qt::TextAlignmentRole, static_cast<int>(a));
  QColor own = it->data(kOwnBackRole).value<QColor>();
  if (own.isValid()) {
    it->setBackground(own);
  } else if (col < fixedCols_) {
    it->setBackground(fixedBackColor_);
  } else if (it->data(Qt::BackgroundRole).isValid()) {
    it->setData(Qt::BackgroundRole, QVariant());
  }
}

void Grid::refreshColumn(int col) {
  QuietCells quiet(table_);
  for (int r = 0; r < table_->rowCount(); ++r)
    if (auto* it = table_->item(r, col)) refreshItem(it, col);
}

QString Grid::textMatrix(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  auto* it = item(row, col);
  return it ? valueText(it->data(kValueRole)) : QString();
}

void Grid::setTextMatrix(int row, int col, const QString& text) { setValue(row, col, text); }

QVariant Grid::value(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  auto* it = item(row, col);
  return it ? it->data(kValueRole) : QVariant();
}

void Grid::setValue(int row, int col, const QVariant& v) {
  checkCell(row, col);
  if (row < fixedRows_) {
    header_[static_cast<size_t>(row)][col] = valueText(v);
    refreshHeader();
    return;
  }
  auto* it = ensureItem(row, col);
  it->setData(kValueRole, v);
  refreshItem(it, col);
  if (mergeRow(row)) refreshRowSpans(row);
}

double Grid::number(int row, int col) const {
  const QVariant v = value(row, col);
  return IsNumberVariant(v) ? v.toDouble() : LeadingNumber(v.toString());
}

QString Grid::displayText(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  auto* it = item(row, col);
  return it ? it->data(Qt::DisplayRole).toString() : QString();
}

Qt::Alignment Grid::cellAlignment(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return Qt::AlignCenter;
  auto* it = item(row, col);
  if (!it) return Qt::AlignLeft | Qt::AlignVCenter;
  return Qt::Alignment(it->data(Qt::TextAlignmentRole).toInt());
}

int Grid::addRow(const QStringList& cells) {
  int r = table_->rowCount();
  table_->insertRow(r);
  table_->setVerticalHeaderItem(r, new QTableWidgetItem());
  int row = r + fixedRows_;
  for (int c = 0; c < cells.size() && c < cols(); ++c) setTextMatrix(row, c, cells[c]);
  return row;
}

void Grid::removeRow(int row) {
  checkCell(row, 0);
  if (row < fixedRows_) throw std::out_of_range("a header row cannot be removed");
  table_->removeRow(row - fixedRows_);
}

QStringList Grid::rowTexts(int row) const {
  QStringList out;
  for (int c = 0; c < cols(); ++c) out << textMatrix(row, c);
  return out;
}

int Grid::row() const {
  int r = table_->currentRow();
  return r < 0 ? -1 : r + fixedRows_;
}

int Grid::col() const { return table_->currentColumn(); }

void Grid::setRow(int row) { setCurrentCell(row, std::max(0, col())); }

void Grid::setCurrentCell(int row, int col) {
  if (row < fixedRows_ || !validCell(row, col)) {
    table_->setCurrentCell(-1, -1);
    return;
  }
  table_->setCurrentCell(row - fixedRows_, col);
}

QString Grid::colFormat(int col) const { return formats_.value(col); }

void Grid::setColFormat(int col, const QString& format) {
  checkCol(col);
  if (formats_.value(col) == format) return;  // the cells already show it
  formats_[col] = format;
  refreshColumn(col);
}

int Grid::colWidth(int col) const {
  checkCol(col);
  return table_->columnWidth(col) * kTwipsPerPixel;
}

void Grid::setColWidth(int col, int twips) {
  checkCol(col);
  table_->setColumnWidth(col, std::max(0, twips / kTwipsPerPixel));
}

bool Grid::colHidden(int col) const { return table_->isColumnHidden(col); }

void Grid::setColHidden(int col, bool hidden) {
  checkCol(col);
  table_->setColumnHidden(col, hidden);
}

void Grid::setColAlignment(int col, Qt::Alignment alignment) {
  checkCol(col);
  alignments_[static_cast<size_t>(col)] = static_cast<int>(alignment);
  refreshColumn(col);
}

int Grid::rowHeight(int row) const {
  if (row < 0 || row >= rows()) throw std::out_of_range("grid row outside the grid");
  if (row < fixedRows_) return headerHeights_[static_cast<size_t>(row)];
  return table_->rowHeight(row - fixedRows_) * kTwipsPerPixel;
}

void Grid::setRowHeight(int row, int twips) {
  if (row < 0 || row >= rows()) throw std::out_of_range("grid row outside the grid");
  twips = std::max(kTwipsPerPixel, twips);
  if (row < fixedRows_) {
    headerHeights_[static_cast<size_t>(row)] = twips;
    refreshHeader();
    return;
  }
  table_->setRowHeight(row - fixedRows_, twips / kTwipsPerPixel);
}

void Grid::setRowHeights(int first, int last, int twips) {
  first = std::max(first, 0);
  last = std::min(last, rows() - 1);
  const int body = rows() - fixedRows_;
  if (first > fixedRows_ || last < first || body < 64) {
    for (int r = first; r <= last; ++r) setRowHeight(r, twips);
    return;
  }
  for (int r = first; r < fixedRows_; ++r) setRowHeight(r, twips);
  // The rows after `last` keep their heights through the change of the body's default.
  std::vector<int> after;
  for (int r = last + 1; r < rows(); ++r) after.push_back(rowHeight(r));
  table_->verticalHeader()->setDefaultSectionSize(std::max(kTwipsPerPixel, twips) / kTwipsPerPixel);
  for (size_t i = 0; i < after.size(); ++i) setRowHeight(last + 1 + static_cast<int>(i), after[i]);
}

void Grid::autoSizeColumns() {
  const QFontMetrics fm(table_->font());
  constexpr int kPadding = 12;
  // Lists repeat their texts (names, dates, states) and are mostly digits: plain ASCII text is
  // measured from its characters' advances, anything else once per distinct text.
  int ascii[128];
  for (int i = 0; i < 128; ++i) ascii[i] = fm.horizontalAdvance(QChar(i));
  QHash<QString, int> measured;
  const auto textWidth = [&](const QString& text) {
    int w = 0;
    for (QChar ch : text) {
      if (ch.unicode() >= 128) {
        auto found = measured.constFind(text);
        if (found == measured.constEnd()) found = measured.insert(text, fm.horizontalAdvance(text));
        return *found;
      }
      w += ascii[ch.unicode()];
    }
    return w;
  };
  std::vector<int> width(static_cast<size_t>(cols()), 0);
  for (int c = 0; c < cols(); ++c) {
    for (int r = 0; r < fixedRows_; ++r) {
      CellRange b = headerBlock(r, c);
      if (b.left == b.right) width[c] = std::max(width[c], fm.horizontalAdvance(header_[r].value(c)));
    }
    for (int r = 0; r < table_->rowCount(); ++r) {
      if (table_->columnSpan(r, c) > 1) continue;  // a merged text is not one column's width
      if (auto* it = table_->item(r, c)) width[c] = std::max(width[c], textWidth(it->text()));
    }
  }
  for (int c = 0; c < cols(); ++c) table_->setColumnWidth(c, std::max(width[c] + kPadding, 24));
  // A caption across several columns widens the last of them when it does not fit.
  for (int r = 0; r < fixedRows_; ++r) {
    for (int c = 0; c < cols(); ++c) {
      CellRange b = headerBlock(r, c);
      if (b.left != c || b.top != r || b.left == b.right) continue;
      int have = 0;
      for (int k = b.left; k <= b.right; ++k) have += table_->columnWidth(k);
      int need = fm.horizontalAdvance(header_[r].value(c)) + kPadding;
      if (need > have) table_->setColumnWidth(b.right, table_->columnWidth(b.right) + need - have);
    }
  }
}

void Grid::refreshLook() {
  table_->setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; background-color: %2; "
                                       "selection-background-color: %3; selection-color: %4; }")
                            .arg(gridColor_.name(), backColor_.name(), selectionBack_.name(), selectionFore_.name()));
  table_->horizontalHeader()->viewport()->update();
}

void Grid::setBackColor(const QColor& c) {
  backColor_ = c;
  refreshLook();
}

void Grid::setGridColor(const QColor& c) {
  gridColor_ = c;
  refreshLook();
}

void Grid::setFixedBackColor(const QColor& c) {
  fixedBackColor_ = c;
  for (int col = 0; col < fixedCols_ && col < cols(); ++col) refreshColumn(col);
  refreshLook();
}

void Grid::setSelectionColors(const QColor& back, const QColor& fore) {
  selectionBack_ = back;
  selectionFore_ = fore;
  refreshLook();
}

QColor Grid::cellBackColor(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_ || col < fixedCols_) return fixedBackColor_;
  auto* it = item(row, col);
  QColor own = it ? it->data(kOwnBackRole).value<QColor>() : QColor();
  return own.isValid() ? own : backColor_;
}

void Grid::setCellBackColor(int row1, int col1, int row2, int col2, const QColor& c) {
  QuietCells quiet(table_);
  for (int r = std::max(row1, fixedRows_); r <= row2; ++r)
    for (int k = col1; k <= col2; ++k) {
      auto* it = ensureItem(r, k);
      it->setData(kOwnBackRole, c);
      refreshItem(it, k);
    }
}

QColor Grid::cellForeColor(int row, int col) const {
  checkCell(row, col);
  auto* it = item(row, col);
  if (!it || it->data(Qt::ForegroundRole).isNull()) return Qt::black;
  return it->foreground().color();
}

void Grid::setCellForeColor(int row1, int col1, int row2, int col2, const QColor& c) {
  QuietCells quiet(table_);
  for (int r = std::max(row1, fixedRows_); r <= row2; ++r)
    for (int k = col1; k <= col2; ++k) {
      ensureItem(r, k)->setForeground(c);
    }
}

void Grid::setRowForeColor(int row, const QColor& c) {
  if (cols() > 0) setCellForeColor(row, 0, row, cols() - 1, c);
}

void Grid::setMergeRow(int row, bool on) {
  if (row < 0 || row >= rows()) throw std::out_of_range("grid row outside the grid");
  if (row < fixedRows_) {
    headerMergeRow_[static_cast<size_t>(row)] = on;
    refreshHeader();
    return;
  }
  table_->verticalHeaderItem(row - fixedRows_)->setData(kMergeRole, on);
  refreshRowSpans(row);
}

bool Grid::mergeRow(int row) const {
  if (row < 0 || row >= rows()) return false;
  if (row < fixedRows_) return headerMergeRow_[static_cast<size_t>(row)];
  auto* h = table_->verticalHeaderItem(row - fixedRows_);
  return h && h->data(kMergeRole).toBool();
}

void Grid::setMergeCol(int col, bool on) {
  checkCol(col);
  mergeCol_[static_cast<size_t>(col)] = on;
  refreshHeader();
}

bool Grid::mergeCol(int col) const { return col >= 0 && col < cols() && mergeCol_[static_cast<size_t>(col)]; }

Grid::CellRange Grid::headerBlock(int row, int col) const {
  const auto text = [this](int r, int c) { return header_[static_cast<size_t>(r)].value(c); };
  const QString t = text(row, col);
  // Top to bottom first: a column that merges joins equal captions of consecutive header rows.
  const auto vertical = [&](int r, int c, int* top, int* bottom) {
    *top = *bottom = r;
    const QString s = text(r, c);
    if (s.isEmpty() || !mergeCol_[static_cast<size_t>(c)]) return;
    while (*top > 0 && text(*top - 1, c) == s) --*top;
    while (*bottom + 1 < fixedRows_ && text(*bottom + 1, c) == s) ++*bottom;
  };
  CellRange b;
  vertical(row, col, &b.top, &b.bottom);
  b.left = b.right = col;
  if (t.isEmpty() || !headerMergeRow_[static_cast<size_t>(b.top)]) return b;
  // Then side by side: equal captions that cover the same header rows.
  const auto joins = [&](int c) {
    if (text(b.top, c) != t) return false;
    int top, bottom;
    vertical(b.top, c, &top, &bottom);
    return top == b.top && bottom == b.bottom;
  };
  while (b.left > 0 && joins(b.left - 1)) --b.left;
  while (b.right + 1 < cols() && joins(b.right + 1)) ++b.right;
  return b;
}

Grid::CellRange Grid::mergedRange(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return headerBlock(row, col);
  // Data rows merge side by side only; the table reports a span's width for each cell it covers.
  const int r = row - fixedRows_;
  for (int k = 0; k < cols();) {
    const int width = std::max(1, table_->columnSpan(r, k));
    if (col < k + width) return {row, k, row, k + width - 1};
    k += width;
  }
  return {row, col, row, col};
}

void Grid::refreshRowSpans(int row) {
  const int r = row - fixedRows_;
  for (int c = 0; c < cols();) {
    const int width = std::max(1, table_->columnSpan(r, c));
    if (width > 1) table_->setSpan(r, c, 1, 1);
    c += width;
  }
  if (!mergeRow(row)) return;
  for (int c = 0; c < cols();) {
    const QString t = textMatrix(row, c);
    int end = c;
    while (!t.isEmpty() && end + 1 < cols() && textMatrix(row, end + 1) == t) ++end;
    if (end > c) table_->setSpan(r, c, 1, end - c + 1);
    c = end + 1;
  }
}

void Grid::setTotalsRow(int row, bool on) {
  if (row < fixedRows_ || row >= rows()) throw std::out_of_range("only a data row can be a totals row");
  table_->verticalHeaderItem(row - fixedRows_)->setData(kTotalsRole, on);
}

bool Grid::isTotalsRow(int row) const {
  if (row < fixedRows_ || row >= rows()) return false;
  auto* h = table_->verticalHeaderItem(row - fixedRows_);
  return h && h->data(kTotalsRole).toBool();
}

void Grid::refreshHeader() {
  auto* header = static_cast<GridHeader*>(table_->horizontalHeader());
  header->setVisible(fixedRows_ > 0);
  header->setFixedHeight(header->tiersHeight());
  table_->relayout();
  header->viewport()->update();
}

void Grid::loadData(const QStringList& columns, const std::vector<QVariantList>& data) {
  table_->clearSpans();
  table_->setRowCount(0);
  table_->verticalHeader()->setDefaultSectionSize(kDefaultRowHeightTwips / kTwipsPerPixel);
  for (auto& h : header_) h.clear();
  mergeCol_.assign(mergeCol_.size(), false);
  headerMergeRow_.assign(headerMergeRow_.size(), false);
  setCols(static_cast<int>(columns.size()));
  formats_.fill(QString());
  alignments_.assign(alignments_.size(), 0);
  for (auto& h : header_) h = columns;
  table_->setRowCount(static_cast<int>(data.size()));
  {
    // Each item is complete before the table takes it, and the table is told once.
    QuietCells quiet(table_);
    for (int r = 0; r < static_cast<int>(data.size()); ++r) {
      table_->setVerticalHeaderItem(r, new QTableWidgetItem());
      const QVariantList& values = data[static_cast<size_t>(r)];
      for (int c = 0; c < columns.size(); ++c) {
        auto* it = new QTableWidgetItem();
        it->setData(kValueRole, values.value(c));
        refreshItem(it, c);
        table_->setItem(r, c, it);
      }
    }
  }
  refreshHeader();
  if (!data.empty()) setCurrentCell(fixedRows_, 0);
}

void Grid::setEditable(bool on) {
  table_->setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                             : QAbstractItemView::NoEditTriggers);
}
