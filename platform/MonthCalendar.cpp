#include "platform/MonthCalendar.h"

#include <QCursor>
#include <algorithm>
#include <QDate>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/Grid.h"

namespace {
// Wide enough for a two-digit day in the large bold figures, and for a name and an amount.
constexpr int kNumberWidth = 560;   // twips
constexpr int kTextWidth = 1700;    // twips
constexpr int kRowHeight = 1280;    // twips
const QColor kNumberColour = VbColor(0x666666);
const QColor kWeekendColour = VbColor(0x2164EE);
const QColor kDayBack = VbColor(0xF0F0F0);
const QColor kTodayBack = VbColor(15178606);
const QColor kDueBack = VbColor(0xCCFFFF);
const QColor kDueFore = VbColor(255);

// Lines of a day cell stand a pixel apart, so that the marks of two instalments never touch.
int dayLineStep(const QFontMetrics& fm) { return fm.lineSpacing() + 1; }

// What the grid's own painter leaves out: several lines in one cell.
class DayTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  static QRect textBox(const QRect& cell) { return cell.adjusted(3, 2, -3, -2); }
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QVariant back = index.data(Qt::BackgroundRole);
    if (back.canConvert<QColor>()) p->fillRect(option.rect, back.value<QColor>());
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    const QVariant fore = index.data(Qt::ForegroundRole);
    const QFont font = index.data(Qt::FontRole).canConvert<QFont>() ? index.data(Qt::FontRole).value<QFont>() : option.font;
    const QFontMetrics fm(font);
    const QRect box = textBox(option.rect);
    p->save();
    p->setFont(font);
    p->setPen(fore.canConvert<QColor>() ? fore.value<QColor>() : option.palette.color(QPalette::Text));
    int y = box.top();
    for (const QString& line : DayCellLines(text, fm, box.width(), box.height())) {
      p->drawText(QRect(box.left(), y, box.width(), fm.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
      y += dayLineStep(fm);
    }
    p->restore();
  }
};

}  // namespace

QStringList DayCellLines(const QString& text, const QFontMetrics& fm, int width, int height) {
  static const QString kArrow = QStringLiteral("→");
  const QString more = QStringLiteral("…");
  QStringList lines;
  for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    line.remove(QLatin1Char('\r'));
    if (line.isEmpty()) continue;
    if (fm.horizontalAdvance(line) > width) {
      // The amount is what the day is about: the name gives way, but keeps its head (at least its
      // first character); where the amount leaves no room for that, the amount gives way instead.
      const int arrow = line.lastIndexOf(kArrow);
      const QString name = arrow >= 0 ? line.left(arrow) : line;
      const auto headOf = [&](int room) -> QString {
        if (room <= 0) return {};
        const QString shown = fm.elidedText(name, Qt::ElideRight, room);
        const qsizetype kept = shown == name ? shown.size() : shown.size() - 1;
        return kept >= 1 && fm.horizontalAdvance(shown) <= room ? shown : QString();
      };
      const QString amount = arrow >= 0 ? line.mid(arrow) : QString();
      if (const QString head = arrow >= 0 ? headOf(width - fm.horizontalAdvance(amount)) : QString(); !head.isEmpty())
        line = head + amount;
      else if (const QString shortHead = arrow >= 0 ? headOf(width - fm.horizontalAdvance(kArrow + more)) : QString(); !shortHead.isEmpty())
        line = shortHead + kArrow + more;
      else
        line = fm.elidedText(line, Qt::ElideRight, width);
    }
    lines << line;
  }
  const int fit = std::max(1, (height - fm.height()) / dayLineStep(fm) + 1);
  if (lines.size() > fit) {
    lines = lines.mid(0, fit - 1);
    lines << more;
  }
  return lines;
}

namespace MonthLayout {
int offset(int year, int month) { return QDate(year, month, 1).dayOfWeek() % 7; }

int daysInMonth(int year, int month) { return QDate(year, month, 1).daysInMonth(); }

QPoint cellOf(int year, int month, int day) {
  const int slot = offset(year, month) + day - 1;
  return {slot / 7, 2 * (slot % 7)};
}

int dayAt(int year, int month, int row, int col) {
  if (row < 0 || row >= MonthCalendar::kRows || col < 0 || col >= MonthCalendar::kCols) return 0;
  const int day = row * 7 + col / 2 - offset(year, month) + 1;
  return (day >= 1 && day <= daysInMonth(year, month)) ? day : 0;
}

void previous(int* year, int* month) {
  if (*month == 1) {
    *month = 12;
    --*year;
  } else {
    --*month;
  }
}

void next(int* year, int* month) {
  if (*month == 12) {
    *month = 1;
    ++*year;
  } else {
    ++*month;
  }
}
}  // namespace MonthLayout

MonthCalendar::MonthCalendar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MonthCalendar"));
  // The weekday captions stand over their pair of columns.
  auto* captions = new QHBoxLayout;
  captions->setSpacing(0);
  captions->setContentsMargins(0, 0, 0, 0);
  const QStringList names = {QStringLiteral("星期日"), QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"),
                             QStringLiteral("星期四"), QStringLiteral("星期五"), QStringLiteral("星期六")};
  for (int w = 0; w < 7; ++w) {
    auto* l = new QLabel(names[w], this);
    l->setObjectName(QStringLiteral("lblWeek_%1").arg(w));
    l->setAlignment(Qt::AlignCenter);
    l->setFixedWidth((kNumberWidth + kTextWidth) / kTwipsPerPixel);
    // Font and palette rather than a style sheet: a sheet per label costs more than the label.
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    if (w == 0 || w == 6) {
      QPalette weekend = l->palette();
      weekend.setColor(QPalette::WindowText, QColor(0xEE, 0x64, 0x21));
      l->setPalette(weekend);
    }
    captions->addWidget(l);
  }
  captions->addStretch(1);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  Fg->setFixedRows(0);
  Fg->setCols(kCols);
  Fg->setRows(kRows);
  Fg->setBackColor(Qt::white);
  Fg->setGridColor(Qt::white);
  for (int c = 0; c < kCols; ++c) {
    Fg->setColWidth(c, c % 2 == 0 ? kNumberWidth : kTextWidth);
    Fg->setColAlignment(c, c % 2 == 0 ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
  }
  for (int r = 0; r < kRows; ++r) Fg->setRowHeight(r, kRowHeight);
  Fg->table()->setWordWrap(false);
  auto* dayText = new DayTextDelegate(Fg->table());
  for (int c = 1; c < kCols; c += 2) Fg->table()->setItemDelegateForColumn(c, dayText);
  // The marks of the cells are the colours the month gives them, not a selection.
  Fg->table()->setSelectionMode(QAbstractItemView::NoSelection);
  Fg->setMinimumSize(7 * (kNumberWidth + kTextWidth) / kTwipsPerPixel + 4, kRows * kRowHeight / kTwipsPerPixel + 4);
  connect(Fg, &Grid::cellClicked, this, [this](int row, int col) { clickCell(row, col, QCursor::pos()); });

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(2);
  root->addLayout(captions);
  root->addWidget(Fg, 1);
}

void MonthCalendar::showMonth(int year, int month, const QDate& today, const QStringList& dayTexts) {
  year_ = year;
  month_ = month;
  // Start from empty cells without any colour or font of the month before.
  Fg->setRows(0);
  Fg->setRows(kRows);
  for (int r = 0; r < kRows; ++r) Fg->setRowHeight(r, kRowHeight);
  QFont numberFont = Fg->font();
  numberFont.setPointSize(14);
  numberFont.setBold(true);

  const int days = MonthLayout::daysInMonth(year, month);
  const bool thisMonth = today.year() == year && today.month() == month;
  QPoint current = MonthLayout::cellOf(year, month, 1);
  for (int d = 1; d <= days; ++d) {
    const QPoint cell = MonthLayout::cellOf(year, month, d);
    const int row = cell.x(), col = cell.y();
    const bool weekend = col == 0 || col == 12;
    Fg->setTextMatrix(row, col, QString::number(d));
    Fg->setCellBackColor(row, col, row, col, kDayBack);
    Fg->setCellForeColor(row, col, row, col, weekend ? kWeekendColour : kNumberColour);
    Fg->setCellFont(row, col, numberFont);
    if (thisMonth && today.day() == d) {
      Fg->setCellBackColor(row, col, row, col, kTodayBack);
      Fg->setCellForeColor(row, col, row, col, Qt::white);
      current = cell;
    }
    const QString text = dayTexts.value(d);
    if (!text.isEmpty()) {
      Fg->setTextMatrix(row, col + 1, text);
      Fg->setCellBackColor(row, col + 1, row, col + 1, kDueBack);
      Fg->setCellForeColor(row, col + 1, row, col + 1, kDueFore);
      // The whole text, also where the cell cuts a long name short.
      Fg->setCellToolTip(row, col + 1, text);
    }
  }
  Fg->setCurrentCell(current.x(), current.y());
}

QString MonthCalendar::dayText(int day) const {
  if (year_ == 0 || day < 1 || day > MonthLayout::daysInMonth(year_, month_)) return {};
  const QPoint cell = MonthLayout::cellOf(year_, month_, day);
  return Fg->textMatrix(cell.x(), cell.y() + 1);
}

QStringList MonthCalendar::dayCellLines(int day) const {
  const QString text = dayText(day);
  if (text.isEmpty()) return {};
  const QPoint cell = MonthLayout::cellOf(year_, month_, day);
  const QTableView* view = Fg->table();
  const QModelIndex index = view->model()->index(cell.x(), cell.y() + 1);
  const QRect box = DayTextDelegate::textBox(view->visualRect(index));
  const QVariant font = index.data(Qt::FontRole);
  const QFontMetrics fm(font.canConvert<QFont>() ? font.value<QFont>() : view->font());
  return DayCellLines(text, fm, box.width(), box.height());
}

void MonthCalendar::clickCell(int row, int col, const QPoint& globalPos) {
  if (year_ == 0 || col % 2 == 0 || row < 0 || row >= kRows || col >= kCols) return;
  if (Fg->textMatrix(row, col).isEmpty()) return;
  const int day = MonthLayout::dayAt(year_, month_, row, col);
  if (day > 0) emit dayTextClicked(day, globalPos);
}
