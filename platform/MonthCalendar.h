#pragma once
// The month grid of the collection and payment calendars: a month laid out by weeks from Sunday,
// two grid columns per weekday (the day number, then the day's text), six rows. It knows nothing of
// loans or payments: the calendar window hands it one text per day and hears which day's text was
// clicked.
#include <QPoint>
#include <QStringList>
#include <QWidget>

class Grid;
class QLabel;

// Where the days of a month stand. Rows and columns are those of the grid: day d's number stands in
// column 2 x weekday (Sunday 0), its text in the column to the right.
namespace MonthLayout {
// Weekday of the 1st with Sunday = 0.
int offset(int year, int month);
int daysInMonth(int year, int month);
// The number cell of day `day` (row, column).
QPoint cellOf(int year, int month, int day);
// The day whose number or text stands in the cell, 0 for a cell outside the month.
int dayAt(int year, int month, int row, int col);
// The month before and after, across the turn of the year.
void previous(int* year, int* month);
void next(int* year, int* month);
}  // namespace MonthLayout

class QFontMetrics;
// The lines a day's text cell shows: one per instalment ("name→amount" lines of `text`), a name too
// long for the width shortened so that its amount stays whole, and when more lines are due than fit
// the height, as many as fit with the last of them "…".
QStringList DayCellLines(const QString& text, const QFontMetrics& fm, int width, int height);

class MonthCalendar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kRows = 6;
  static constexpr int kCols = 14;

  explicit MonthCalendar(QWidget* parent = nullptr);

  // Redraws the grid for the month: every day with its number, weekends in red, `today` marked
  // and made the current cell when it lies in the month (else day 1 is current). `dayTexts[d]` is
  // the text of day d (index 0 unused); a day with a text gets a pale yellow cell in red writing.
  void showMonth(int year, int month, const QDate& today, const QStringList& dayTexts);
  int year() const { return year_; }
  int month() const { return month_; }
  // The text shown for day d ("" for none or a day outside the month).
  QString dayText(int day) const;
  // The lines drawn in the text cell of day d, as its cell is now sized.
  QStringList dayCellLines(int day) const;

  Grid* grid() const { return Fg; }
  // A click in a cell, as the mouse gives it: only a text cell with a text reports its day.
  void clickCell(int row, int col, const QPoint& globalPos = QPoint());

 signals:
  // The text of `day` was clicked at `globalPos`.
  void dayTextClicked(int day, const QPoint& globalPos);

 private:
  Grid* Fg = nullptr;
  int year_ = 0;
  int month_ = 0;
};
