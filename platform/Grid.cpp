#include "platform/Grid.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QAbstractTableModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/Money.h"

namespace {
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

// A column format parsed once, so that showing a cell does not read the mask again.
struct ColumnFormat {
  enum Kind { None, Currency, Grouped, Plain, Other } kind = None;
  QString mask;  // the decimals mask of Grouped and Plain ("0.00")
};

ColumnFormat ParseFormat(const QString& format) {
  if (format.isEmpty()) return {};
  if (format.compare(QLatin1String("Currency"), Qt::CaseInsensitive) == 0) return {ColumnFormat::Currency, QStringLiteral("0.00")};
  static const QRegularExpression grouped(QStringLiteral("^#,##0(\\.0+)?$"));
  static const QRegularExpression plain(QStringLiteral("^0(\\.0+)?$"));
  if (grouped.match(format).hasMatch()) return {ColumnFormat::Grouped, format.mid(4)};
  if (plain.match(format).hasMatch()) return {ColumnFormat::Plain, format};
  return {ColumnFormat::Other, {}};
}

QString ApplyFormat(double value, const ColumnFormat& f) {
  switch (f.kind) {
    case ColumnFormat::Currency:
    case ColumnFormat::Grouped: return groupThousands(Money::format(value, f.mask));
    case ColumnFormat::Plain: return Money::format(value, f.mask);
    default: return plainNumber(value);
  }
}

QString FormatNumber(double value, const QString& format) { return ApplyFormat(value, ParseFormat(format)); }

namespace {
// The characters ApplyFormat shows for a number, without the thousands separators, written into
// `buf`; their count, or -1 when only the text itself can tell.
int NumberChars(double value, const ColumnFormat& f, char* buf, size_t size) {
  if (f.kind == ColumnFormat::None) {
    if (!std::isfinite(value)) return -1;
    if (value == std::floor(value) && std::fabs(value) < 1e15)
      return static_cast<int>(std::to_chars(buf, buf + size, static_cast<qint64>(value)).ptr - buf);
    // Fifteen significant digits, as plainNumber writes them; only where no exponent is written.
    if (std::fabs(value) < 1e-4 || std::fabs(value) >= 1e15) return -1;
    // The shortest digits that read back as the value are those digits whenever there are at most
    // fifteen of them, and they are much quicker to find.
    auto done = std::to_chars(buf, buf + size, value, std::chars_format::fixed);
    if (done.ec == std::errc()) {
      int significant = 0;
      bool leading = true;
      for (const char* p = buf; p < done.ptr; ++p) {
        if (*p < '0' || *p > '9' || (leading && *p == '0')) continue;
        leading = false;
        ++significant;
      }
      if (significant <= 15) return static_cast<int>(done.ptr - buf);
    }
    done = std::to_chars(buf, buf + size, value, std::chars_format::general, 15);
    return done.ec == std::errc() ? static_cast<int>(done.ptr - buf) : -1;
  }
  const qsizetype dot = f.mask.indexOf(QLatin1Char('.'));
  const int places = dot >= 0 ? static_cast<int>(f.mask.size() - dot - 1) : 0;
  if (!std::isfinite(value) || std::fabs(value) >= 1e15 || places > 15) return -1;
  return Money::formatChars(value, places, buf, static_cast<int>(size));
}
}  // namespace

// The table inside the grid; it only lets the grid ask for a new layout of its header.
class GridTable : public QTableView {
 public:
  using QTableView::QTableView;
  void relayout() { updateGeometries(); }
};

// What a cell has beyond its value; kept only for the rows that have any.
struct GridCellStyle {
  QColor back, fore;
  QFont font;
  bool hasFont = false;
  QString toolTip;
};

// A data row: its values in column order (missing ones are empty), the looks of its cells when any
// was set, and its marks, which move with it.
struct GridRow {
  QVariantList values;
  std::vector<GridCellStyle> styles;
  bool totals = false;
  bool merge = false;
};

// The grid's data rows. Texts, formats and alignments are worked out when the view asks for a cell,
// so that filling a list costs one pass over its values and nothing per cell besides.
class GridModel : public QAbstractTableModel {
 public:
  explicit GridModel(Grid* grid) : QAbstractTableModel(grid), grid_(grid) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(rows.size()); }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : cols; }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::NoItemFlags;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const int r = index.row(), c = index.column();
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole: return shown(r, c, nullptr);
      case Qt::TextAlignmentRole: return static_cast<int>(alignment(r, c));
      case Qt::BackgroundRole: {
        const QColor back = backColor(r, c);
        return back.isValid() ? QVariant(back) : QVariant();
      }
      case Qt::ForegroundRole: {
        const GridCellStyle* s = style(r, c);
        return s && s->fore.isValid() ? QVariant(s->fore) : QVariant();
      }
      case Qt::FontRole: {
        const GridCellStyle* s = style(r, c);
        return s && s->hasFont ? QVariant(s->font) : QVariant();
      }
      case Qt::ToolTipRole: {
        const GridCellStyle* s = style(r, c);
        if (s && !s->toolTip.isEmpty()) return s->toolTip;
        return c < int(capped.size()) && capped[size_t(c)] ? QVariant(shown(r, c, nullptr)) : QVariant();
      }
      default: return {};
    }
  }

  const QVariant& value(int r, int c) const {
    static const QVariant none;
    const QVariantList& values = rows[static_cast<size_t>(r)].values;
    return c < values.size() ? values.at(c) : none;
  }
  void setValue(int r, int c, const QVariant& v) {
    QVariantList& values = rows[static_cast<size_t>(r)].values;
    while (values.size() <= c) values.append(QVariant());
    values[c] = v;
  }
  const GridCellStyle* style(int r, int c) const {
    const auto& styles = rows[static_cast<size_t>(r)].styles;
    return c < static_cast<int>(styles.size()) ? &styles[static_cast<size_t>(c)] : nullptr;
  }
  GridCellStyle& ownStyle(int r, int c) {
    auto& styles = rows[static_cast<size_t>(r)].styles;
    if (static_cast<int>(styles.size()) <= c) styles.resize(static_cast<size_t>(cols));
    return styles[static_cast<size_t>(c)];
  }

  // The text as shown: the column's format applied to numbers, and to texts that are numbers.
  QString shown(int r, int c, bool* isNumber) const {
    const QVariant& v = value(r, c);
    const ColumnFormat& f = formats[static_cast<size_t>(c)];
    bool number = IsNumberVariant(v);
    QString text;
    double d = 0;
    if (number) {
      text = f.kind == ColumnFormat::None ? valueText(v) : ApplyFormat(v.toDouble(), f);
    } else {
      text = valueText(v);
      if (f.kind != ColumnFormat::None && numericText(text, &d)) {
        text = ApplyFormat(d, f);
        number = true;
      }
    }
    if (isNumber) *isNumber = number;
    return text;
  }
  Qt::Alignment alignment(int r, int c) const {
    const QVariant& v = value(r, c);
    bool number = IsNumberVariant(v);
    double d = 0;
    if (!number && formats[static_cast<size_t>(c)].kind != ColumnFormat::None) number = numericText(valueText(v), &d);
    return alignment(c, number);
  }
  // The column's own alignment, else numbers right and texts left.
  Qt::Alignment alignment(int c, bool number) const {
    const int own = grid_->alignments_[static_cast<size_t>(c)];
    if (own) return Qt::Alignment(own);
    return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
  }
  // The cell's own fill, else the header colour of a fixed column; invalid for none.
  QColor backColor(int r, int c) const {
    const GridCellStyle* s = style(r, c);
    if (s && s->back.isValid()) return s->back;
    if (c < grid_->fixedCols_) return grid_->fixedBackColor_;
    return {};
  }

  void changed(int r1, int c1, int r2, int c2) {
    if (r1 <= r2 && c1 <= c2) emit dataChanged(index(r1, c1), index(r2, c2));
  }
  void columnChanged(int c) { changed(0, c, rowCount() - 1, c); }

  void insertAt(int r, int count) {
    if (count <= 0) return;
    beginInsertRows({}, r, r + count - 1);
    rows.insert(rows.begin() + r, static_cast<size_t>(count), GridRow());
    endInsertRows();
  }
  void removeAt(int r, int count) {
    if (count <= 0) return;
    beginRemoveRows({}, r, r + count - 1);
    rows.erase(rows.begin() + r, rows.begin() + r + count);
    endRemoveRows();
  }
  void setColumnCount(int n) {
    if (n > cols) {
      beginInsertColumns({}, cols, n - 1);
      cols = n;
      formats.resize(static_cast<size_t>(n));
      endInsertColumns();
    } else if (n < cols) {
      beginRemoveColumns({}, n, cols - 1);
      cols = n;
      formats.resize(static_cast<size_t>(n));
      // What was in the columns gone must not come back when they are added again.
      for (GridRow& row : rows) {
        if (row.values.size() > n) row.values.resize(n);
        if (static_cast<int>(row.styles.size()) > n) row.styles.resize(static_cast<size_t>(n));
      }
      endRemoveColumns();
    }
  }
  // Every data row at once: the view hears of one removal and one insertion, not of each cell.
  void replaceRows(std::vector<GridRow>&& fresh) {
    removeAt(0, rowCount());
    if (fresh.empty()) return;
    beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
    rows = std::move(fresh);
    endInsertRows();
  }

  std::vector<GridRow> rows;
  std::vector<ColumnFormat> formats;
  std::vector<bool> capped;  // columns narrower than their widest text
  int cols = 0;

 private:
  Grid* grid_;
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
  // A cell is a fill and one line of text: painted here from the model's values directly, the text
  // laid out once, rather than through the style's item layout, which lays it out three times.
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const GridModel* model = grid_->model_;
    const int r = index.row(), c = index.column();
    const GridCellStyle* own = model->style(r, c);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor back = selected ? grid_->selectionBack_ : model->backColor(r, c);
    if (back.isValid()) p->fillRect(option.rect, back);
    bool number = false;
    const QString text = model->shown(r, c, &number);
    if (!text.isEmpty()) {
      const Qt::Alignment align = model->alignment(c, number);
      const QWidget* view = option.widget;
      const QStyle* style = view ? view->style() : QApplication::style();
      const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
      const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
      const QFont font = own && own->hasFont ? own->font : option.font;
      QColor pen;
      if (selected) pen = grid_->selectionFore_;
      else if (own && own->fore.isValid()) pen = own->fore;
      else pen = option.palette.color(option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled, QPalette::Text);
      p->save();
      p->setFont(font);
      p->setPen(pen);
      const QFontMetrics fm(font);
      p->drawText(box, static_cast<int>(align) | Qt::TextSingleLine, fm.elidedText(text, option.textElideMode, box.width()));
      p->restore();
    }
    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.backgroundColor = selected ? grid_->selectionBack_ : option.palette.color(QPalette::Base);
      const QWidget* view = option.widget;
      (view ? view->style() : QApplication::style())->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, view);
    }
  }
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
  model_ = new GridModel(this);
  table_ = new GridTable(this);
  layout->addWidget(table_);
  table_->setModel(model_);
  table_->setHorizontalHeader(new GridHeader(this, table_));
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
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

  connect(table_, &QTableView::clicked, this, [this](const QModelIndex& i) { emit cellClicked(i.row() + fixedRows_, i.column()); });
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { emit cellDoubleClicked(i.row() + fixedRows_, i.column()); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i, const QModelIndex&) {
    emit currentCellChanged(i.isValid() ? i.row() + fixedRows_ : -1, i.isValid() ? i.column() : -1);
  });
  refreshLook();
  refreshHeader();
}

Grid::~Grid() = default;

QTableView* Grid::table() const { return table_; }

int Grid::rows() const { return fixedRows_ + model_->rowCount(); }

void Grid::setRows(int n) {
  const int data = std::max(0, n - fixedRows_);
  const int old = model_->rowCount();
  if (data > old) model_->insertAt(old, data - old);
  if (data < old) {
    measuredRows_ = 0;
    model_->removeAt(data, old - data);
  }
}

int Grid::cols() const { return model_->cols; }

void Grid::setCols(int n) {
  n = std::max(0, n);
  if (n != cols()) measuredRows_ = 0;
  model_->setColumnCount(n);
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
  measuredRows_ = 0;
  // Rows keep their numbers: making a data row fixed moves its texts into the header and back.
  const int cols = this->cols();
  while (fixedRows_ < n) {
    QStringList texts;
    for (int c = 0; c < cols; ++c) texts << (model_->rowCount() > 0 ? textMatrix(fixedRows_, c) : QString());
    if (model_->rowCount() > 0) model_->removeAt(0, 1);
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
    model_->insertAt(0, 1);
    for (int c = 0; c < cols; ++c)
      if (!texts.value(c).isEmpty()) setTextMatrix(fixedRows_, c, texts.value(c));
  }
  refreshHeader();
}

void Grid::setFixedCols(int n) {
  fixedCols_ = std::max(0, n);
  for (int c = 0; c < cols(); ++c) model_->columnChanged(c);
}

void Grid::clearData() {
  measuredRows_ = 0;
  model_->removeAt(0, model_->rowCount());
}

bool Grid::validCell(int row, int col) const { return row >= 0 && row < rows() && col >= 0 && col < cols(); }

void Grid::checkCol(int col) const {
  if (col < 0 || col >= cols()) throw std::out_of_range("grid column " + std::to_string(col) + " outside the grid");
}

void Grid::checkCell(int row, int col) const {
  if (!validCell(row, col))
    throw std::out_of_range("grid cell (" + std::to_string(row) + "," + std::to_string(col) + ") outside the grid");
}

void Grid::checkDataCell(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) throw std::out_of_range("a header row has no cell look of its own");
}

void Grid::formatsChanged() {
  model_->formats.resize(static_cast<size_t>(cols()));
  for (int c = 0; c < cols(); ++c) model_->formats[static_cast<size_t>(c)] = ParseFormat(formats_.value(c));
}

QString Grid::textMatrix(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  return valueText(model_->value(row - fixedRows_, col));
}

void Grid::setTextMatrix(int row, int col, const QString& text) { setValue(row, col, text); }

QVariant Grid::value(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  return model_->value(row - fixedRows_, col);
}

void Grid::setValue(int row, int col, const QVariant& v) {
  checkCell(row, col);
  if (row < fixedRows_) {
    header_[static_cast<size_t>(row)][col] = valueText(v);
    refreshHeader();
    return;
  }
  const int r = row - fixedRows_;
  if (r < measuredRows_) measuredRows_ = 0;
  model_->setValue(r, col, v);
  model_->changed(r, col, r, col);
  if (mergeRow(row)) refreshRowSpans(row);
}

namespace {
// number() of a stored value: numbers read in place, without the variant's general conversion.
double cellNumber(const QVariant& v) {
  const QMetaType type = v.metaType();
  if (type == QMetaType::fromType<double>()) return *static_cast<const double*>(v.constData());
  if (type == QMetaType::fromType<qlonglong>()) return static_cast<double>(*static_cast<const qlonglong*>(v.constData()));
  if (type == QMetaType::fromType<int>()) return *static_cast<const int*>(v.constData());
  return IsNumberVariant(v) ? v.toDouble() : LeadingNumber(v.toString());
}
}  // namespace

std::vector<double> Grid::sumColumns(const std::vector<int>& columns, int first, int last) const {
  std::vector<double> sums(columns.size(), 0.0);
  for (int c : columns) checkCol(c);
  for (int row = std::max(first, 0); row <= last && row < rows(); ++row) {
    if (row < fixedRows_) {
      for (size_t i = 0; i < columns.size(); ++i) sums[i] += number(row, columns[i]);
      continue;
    }
    const QVariantList& values = model_->rows[static_cast<size_t>(row - fixedRows_)].values;
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i] < values.size()) sums[i] += cellNumber(values.at(columns[i]));
  }
  return sums;
}

double Grid::number(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return LeadingNumber(header_[static_cast<size_t>(row)].value(col));
  // Totals read every row: the value is read where it is kept, not copied.
  return cellNumber(model_->value(row - fixedRows_, col));
}

QString Grid::displayText(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return header_[static_cast<size_t>(row)].value(col);
  return model_->shown(row - fixedRows_, col, nullptr);
}

Qt::Alignment Grid::cellAlignment(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return Qt::AlignCenter;
  return model_->alignment(row - fixedRows_, col);
}

int Grid::addRow(const QStringList& cells) {
  const int r = model_->rowCount();
  model_->insertAt(r, 1);
  const int row = r + fixedRows_;
  for (int c = 0; c < cells.size() && c < cols(); ++c) setTextMatrix(row, c, cells[c]);
  return row;
}

void Grid::removeRow(int row) {
  checkCell(row, 0);
  if (row < fixedRows_) throw std::out_of_range("a header row cannot be removed");
  measuredRows_ = 0;
  model_->removeAt(row - fixedRows_, 1);
}

QStringList Grid::rowTexts(int row) const {
  QStringList out;
  for (int c = 0; c < cols(); ++c) out << textMatrix(row, c);
  return out;
}

int Grid::row() const {
  const QModelIndex i = table_->currentIndex();
  return i.isValid() ? i.row() + fixedRows_ : -1;
}

int Grid::col() const {
  const QModelIndex i = table_->currentIndex();
  return i.isValid() ? i.column() : -1;
}

void Grid::setRow(int row) { setCurrentCell(row, std::max(0, col())); }

void Grid::setCurrentCell(int row, int col) {
  if (row < fixedRows_ || !validCell(row, col)) {
    table_->setCurrentIndex(QModelIndex());
    return;
  }
  table_->setCurrentIndex(model_->index(row - fixedRows_, col));
}

QString Grid::colFormat(int col) const { return formats_.value(col); }

void Grid::setColFormat(int col, const QString& format) {
  checkCol(col);
  if (formats_.value(col) == format) return;  // the cells already show it
  formats_[col] = format;
  measuredRows_ = 0;
  model_->formats[static_cast<size_t>(col)] = ParseFormat(format);
  model_->columnChanged(col);
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
  model_->columnChanged(col);
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
  // A text is measured from its characters' advances, each character's looked up once: lists hold
  // thousands of distinct names that shaping one by one would cost more than the rest of the list.
  // Texts with characters outside the basic plane are shaped whole.
  int ascii[128];
  for (int i = 0; i < 128; ++i) ascii[i] = fm.horizontalAdvance(QChar(i));
  std::vector<int> advance(0x10000, -1);
  QHash<QString, int> measured;
  const auto textWidth = [&](const QString& text) {
    int w = 0;
    for (QChar ch : text) {
      const char16_t u = ch.unicode();
      if (u < 128) {
        w += ascii[u];
        continue;
      }
      if (ch.isSurrogate()) {
        auto found = measured.constFind(text);
        if (found == measured.constEnd()) found = measured.insert(text, fm.horizontalAdvance(text));
        return *found;
      }
      int& a = advance[u];
      if (a < 0) a = fm.horizontalAdvance(ch);
      w += a;
    }
    return w;
  };
  // Numbers are measured from their characters written into a buffer, the way the cell shows them,
  // and texts as they are: no text is built for a cell unless its column formats texts as numbers.
  const auto charsWidth = [&](const char* p, const char* end) {
    int w = 0;
    for (; p < end; ++p) w += ascii[static_cast<unsigned char>(*p) & 0x7F];
    return w;
  };
  bool number = false;  // set by cellWidth for a value it measured as a number
  const auto cellWidth = [&](const QVariant& v, const ColumnFormat& f) {
    number = false;
    if (!v.isValid() || v.isNull()) return 0;
    if (v.typeId() == QMetaType::QString) {
      const QString& text = *static_cast<const QString*>(v.constData());
      if (f.kind == ColumnFormat::None) return textWidth(text);
    } else if (IsNumberVariant(v) && f.kind != ColumnFormat::Other) {
      char buf[64];
      const int n = NumberChars(v.toDouble(), f, buf, sizeof buf);
      if (n >= 0) {
        number = true;
        int w = charsWidth(buf, buf + n);
        if (f.kind == ColumnFormat::Currency || f.kind == ColumnFormat::Grouped) {
          const char* digits = buf + (buf[0] == '-' ? 1 : 0);
          const char* dot = std::find(digits, static_cast<const char*>(buf) + n, '.');
          w += static_cast<int>((dot - digits - 1) / 3) * ascii[','];
        }
        return w;
      }
    }
    return -1;
  };
  if (measuredFont_ != table_->font() || measuredWidths_.size() != static_cast<size_t>(cols())) measuredRows_ = 0;
  if (measuredRows_ == 0) {
    measuredWidths_.assign(static_cast<size_t>(cols()), 0);
    measuredNumbers_.assign(static_cast<size_t>(cols()), false);
  }
  std::vector<int>& bodyWidth = measuredWidths_;
  const int body = model_->rowCount();
  for (int r = measuredRows_; r < body; ++r) {
    const bool merges = model_->rows[static_cast<size_t>(r)].merge;
    for (int c = 0; c < cols(); ++c) {
      int w = cellWidth(model_->value(r, c), model_->formats[static_cast<size_t>(c)]);
      // A merged text is not one column's width; a number (equal totals side by side) still is.
      if (!number && merges && table_->columnSpan(r, c) > 1) continue;
      if (w < 0) w = textWidth(model_->shown(r, c, nullptr));
      bodyWidth[c] = std::max(bodyWidth[c], w);
      if (number) measuredNumbers_[static_cast<size_t>(c)] = true;
    }
  }
  measuredRows_ = body;
  measuredFont_ = table_->font();
  std::vector<int> width = bodyWidth;
  std::vector<int> caption(static_cast<size_t>(cols()), 0);
  for (int c = 0; c < cols(); ++c) {
    for (int r = 0; r < fixedRows_; ++r) {
      CellRange b = headerBlock(r, c);
      if (b.left == b.right) caption[size_t(c)] = std::max(caption[size_t(c)], fm.horizontalAdvance(header_[r].value(c)));
    }
    width[c] = std::max(width[c], caption[size_t(c)]);
  }
  // One long text (a 10,000-character name) must not push the other columns off the screen.
  const int textCap = std::max(window()->width() / 3, 120);
  model_->capped.assign(static_cast<size_t>(cols()), false);
  for (int c = 0; c < cols(); ++c) {
    const bool numbers = measuredNumbers_[size_t(c)] || model_->formats[size_t(c)].kind != ColumnFormat::None;
    if (!numbers && width[c] + kPadding > textCap && caption[size_t(c)] + kPadding < textCap) {
      width[c] = textCap - kPadding;
      model_->capped[size_t(c)] = true;
    }
    table_->setColumnWidth(c, std::max(width[c] + kPadding, 24));
  }
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

// A window sets several colours while it is built: the view's style sheet is made once, before the
// grid is first polished or shown, or when the event loop comes round.
void Grid::refreshLook() {
  table_->horizontalHeader()->viewport()->update();
  if (lookPending_) return;
  lookPending_ = true;
  QMetaObject::invokeMethod(this, [this] { applyLook(); }, Qt::QueuedConnection);
}

bool Grid::event(QEvent* e) {
  if (e->type() == QEvent::Polish || e->type() == QEvent::Show) applyLook();
  return QWidget::event(e);
}

void Grid::applyLook() {
  if (!lookPending_) return;
  lookPending_ = false;
  const QString sheet = QStringLiteral("QTableView { gridline-color: %1; background-color: %2; "
                                       "selection-background-color: %3; selection-color: %4; }")
                            .arg(gridColor_.name(), backColor_.name(), selectionBack_.name(), selectionFore_.name());
  // A new style sheet polishes the view again, which costs more than a small list's rows.
  if (table_->styleSheet() != sheet) table_->setStyleSheet(sheet);
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
  for (int col = 0; col < fixedCols_ && col < cols(); ++col) model_->columnChanged(col);
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
  const GridCellStyle* s = model_->style(row - fixedRows_, col);
  return s && s->back.isValid() ? s->back : backColor_;
}

template <typename Change>
void Grid::changeCells(int row1, int col1, int row2, int col2, Change change) {
  const int first = std::max(row1, fixedRows_);
  if (first > row2 || col1 > col2) return;
  checkCell(first, col1);
  checkCell(row2, col2);
  for (int r = first; r <= row2; ++r)
    for (int k = col1; k <= col2; ++k) change(model_->ownStyle(r - fixedRows_, k));
  model_->changed(first - fixedRows_, col1, row2 - fixedRows_, col2);
}

void Grid::setCellBackColor(int row1, int col1, int row2, int col2, const QColor& c) {
  changeCells(row1, col1, row2, col2, [&](GridCellStyle& s) { s.back = c; });
}

QColor Grid::cellForeColor(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return Qt::black;
  const GridCellStyle* s = model_->style(row - fixedRows_, col);
  return s && s->fore.isValid() ? s->fore : QColor(Qt::black);
}

void Grid::setCellForeColor(int row1, int col1, int row2, int col2, const QColor& c) {
  changeCells(row1, col1, row2, col2, [&](GridCellStyle& s) { s.fore = c; });
}

void Grid::setRowForeColor(int row, const QColor& c) {
  if (cols() > 0) setCellForeColor(row, 0, row, cols() - 1, c);
}

void Grid::setCellFont(int row, int col, const QFont& font) {
  checkDataCell(row, col);
  changeCells(row, col, row, col, [&](GridCellStyle& s) {
    s.font = font;
    s.hasFont = true;
  });
}

void Grid::setCellToolTip(int row, int col, const QString& text) {
  checkDataCell(row, col);
  changeCells(row, col, row, col, [&](GridCellStyle& s) { s.toolTip = text; });
}

QString Grid::cellToolTip(int row, int col) const {
  checkCell(row, col);
  if (row < fixedRows_) return {};
  const GridCellStyle* s = model_->style(row - fixedRows_, col);
  return s ? s->toolTip : QString();
}

void Grid::setMergeRow(int row, bool on) {
  if (row < 0 || row >= rows()) throw std::out_of_range("grid row outside the grid");
  if (row < fixedRows_) {
    headerMergeRow_[static_cast<size_t>(row)] = on;
    refreshHeader();
    return;
  }
  if (row - fixedRows_ < measuredRows_) measuredRows_ = 0;
  model_->rows[static_cast<size_t>(row - fixedRows_)].merge = on;
  refreshRowSpans(row);
}

bool Grid::mergeRow(int row) const {
  if (row < 0 || row >= rows()) return false;
  if (row < fixedRows_) return headerMergeRow_[static_cast<size_t>(row)];
  return model_->rows[static_cast<size_t>(row - fixedRows_)].merge;
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
  if (!model_->rows[static_cast<size_t>(r)].merge) return {row, col, row, col};
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
  model_->rows[static_cast<size_t>(row - fixedRows_)].totals = on;
}

bool Grid::isTotalsRow(int row) const {
  if (row < fixedRows_ || row >= rows()) return false;
  return model_->rows[static_cast<size_t>(row - fixedRows_)].totals;
}

void Grid::refreshHeader() {
  auto* header = static_cast<GridHeader*>(table_->horizontalHeader());
  header->setVisible(fixedRows_ > 0);
  header->setFixedHeight(header->tiersHeight());
  table_->relayout();
  header->viewport()->update();
}

void Grid::loadData(const QStringList& columns, const std::vector<QVariantList>& data) {
  std::vector<QVariantList> copy(data);  // shares the lists' values, copies nothing per cell
  loadData(columns, std::move(copy));
}

void Grid::loadData(const QStringList& columns, std::vector<QVariantList>&& data) {
  table_->clearSpans();
  clearData();
  table_->verticalHeader()->setDefaultSectionSize(kDefaultRowHeightTwips / kTwipsPerPixel);
  for (auto& h : header_) h.clear();
  mergeCol_.assign(mergeCol_.size(), false);
  headerMergeRow_.assign(headerMergeRow_.size(), false);
  setCols(static_cast<int>(columns.size()));
  formats_.fill(QString());
  formatsChanged();
  alignments_.assign(alignments_.size(), 0);
  for (auto& h : header_) h = columns;
  std::vector<GridRow> rows(data.size());
  for (size_t r = 0; r < data.size(); ++r) rows[r].values = std::move(data[r]);
  {
    // The selection follows the rows; the current cell is set below once the rows are in.
    const QSignalBlocker quiet(table_->selectionModel());
    model_->replaceRows(std::move(rows));
  }
  refreshHeader();
  if (model_->rowCount() > 0) setCurrentCell(fixedRows_, 0);
}

void Grid::setEditable(bool on) {
  table_->setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                             : QAbstractItemView::NoEditTriggers);
}
