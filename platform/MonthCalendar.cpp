#include "platform/MonthCalendar.h"

#include <QCursor>
#include <QDate>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

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
}  // namespace

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

void MonthCalendar::clickCell(int row, int col, const QPoint& globalPos) {
  if (year_ == 0 || col % 2 == 0 || row < 0 || row >= kRows || col >= kCols) return;
  if (Fg->textMatrix(row, col).isEmpty()) return;
  const int day = MonthLayout::dayAt(year_, month_, row, col);
  if (day > 0) emit dayTextClicked(day, globalPos);
}
