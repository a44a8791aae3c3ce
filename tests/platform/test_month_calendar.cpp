// The month grid shared by the two calendars: where the days stand, the turn of the year, the marks
// of weekends, today and days with a text, and which clicks report a day.
#include <QImage>
#include <QLabel>
#include <QTableView>
#include <QSignalSpy>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/Grid.h"
#include "platform/MonthCalendar.h"

namespace {

TEST(MonthLayoutTest, DaysStandInTheirWeekdayColumns) {
  struct Case {
    int year, month, days, offset;
    int lastRow, lastCol;
  };
  const Case cases[] = {
      {2024, 9, 30, 0, 4, 2},   // the 1st a Sunday: day 1 at (0,0)
      {2023, 7, 31, 6, 5, 2},   // the 1st a Saturday, 31 days: the month ends in row 5
      {2024, 2, 29, 4, 4, 8},   // leap February
      {2023, 2, 28, 3, 4, 4},
      {1900, 2, 28, 4, 4, 6},   // 1900 is no leap year
      {2000, 2, 29, 2, 4, 4},   // 2000 is one
      {2026, 12, 31, 2, 4, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month);
    EXPECT_EQ(MonthLayout::daysInMonth(c.year, c.month), c.days);
    EXPECT_EQ(MonthLayout::offset(c.year, c.month), c.offset);
    EXPECT_EQ(MonthLayout::cellOf(c.year, c.month, 1), QPoint(0, 2 * c.offset));
    EXPECT_EQ(MonthLayout::cellOf(c.year, c.month, c.days), QPoint(c.lastRow, c.lastCol));
    // Every cell maps back to its day, from the number and from the text column.
    for (int d = 1; d <= c.days; ++d) {
      const QPoint p = MonthLayout::cellOf(c.year, c.month, d);
      EXPECT_EQ(MonthLayout::dayAt(c.year, c.month, p.x(), p.y()), d);
      EXPECT_EQ(MonthLayout::dayAt(c.year, c.month, p.x(), p.y() + 1), d);
    }
  }
  EXPECT_EQ(MonthLayout::dayAt(2023, 7, 0, 0), 0) << "before the 1st";
  EXPECT_EQ(MonthLayout::dayAt(2023, 7, 5, 4), 0) << "after the last day";
}

TEST(MonthLayoutTest, MonthsTurnOverTheYear) {
  struct Case {
    int year, month, prevYear, prevMonth, nextYear, nextMonth;
  };
  const Case cases[] = {{2024, 1, 2023, 12, 2024, 2}, {2024, 12, 2024, 11, 2025, 1}, {2024, 6, 2024, 5, 2024, 7}};
  for (const Case& c : cases) {
    int y = c.year, m = c.month;
    MonthLayout::previous(&y, &m);
    EXPECT_EQ(std::make_pair(y, m), std::make_pair(c.prevYear, c.prevMonth));
    y = c.year;
    m = c.month;
    MonthLayout::next(&y, &m);
    EXPECT_EQ(std::make_pair(y, m), std::make_pair(c.nextYear, c.nextMonth));
  }
}

TEST(MonthCalendarTest, DrawsNumbersMarksAndTexts) {
  MonthCalendar cal;
  QStringList texts(32);
  texts[5] = QStringLiteral("张三→1500.00\r\n李四→200.00\r\n");
  cal.showMonth(2023, 7, QDate(2023, 7, 12), texts);
  Grid* g = cal.grid();
  ASSERT_EQ(g->rows(), 6);
  ASSERT_EQ(g->cols(), 14);
  EXPECT_EQ(g->textMatrix(0, 12), QStringLiteral("1"));
  EXPECT_EQ(g->textMatrix(5, 2), QStringLiteral("31"));
  EXPECT_EQ(g->cellForeColor(0, 12), VbColor(0x2164EE)) << "Saturday in red";
  EXPECT_EQ(g->cellForeColor(1, 2), VbColor(0x666666)) << "a Monday in grey";
  // Today (Wednesday the 12th) is marked and current.
  const QPoint today = MonthLayout::cellOf(2023, 7, 12);
  EXPECT_EQ(g->cellBackColor(today.x(), today.y()), VbColor(15178606));
  EXPECT_EQ(g->cellForeColor(today.x(), today.y()), QColor(Qt::white));
  EXPECT_EQ(std::make_pair(g->row(), g->col()), std::make_pair(today.x(), today.y()));
  // Day 5 shows its text in the cell beside its number.
  const QPoint five = MonthLayout::cellOf(2023, 7, 5);
  EXPECT_EQ(g->textMatrix(five.x(), five.y() + 1), texts[5]);
  EXPECT_EQ(cal.dayText(5), texts[5]);
  EXPECT_EQ(g->cellBackColor(five.x(), five.y() + 1), VbColor(0xCCFFFF));
  EXPECT_TRUE(cal.dayText(6).isEmpty());

  // Another month: nothing of July is left, day 1 is current.
  cal.showMonth(2023, 8, QDate(2023, 7, 12), QStringList(32));
  EXPECT_TRUE(g->textMatrix(five.x(), five.y() + 1).isEmpty());
  EXPECT_EQ(g->cellBackColor(today.x(), today.y()), VbColor(0xF0F0F0)) << "no today mark in another month";
  const QPoint first = MonthLayout::cellOf(2023, 8, 1);
  EXPECT_EQ(std::make_pair(g->row(), g->col()), std::make_pair(first.x(), first.y()));
  EXPECT_TRUE(g->textMatrix(0, 0).isEmpty()) << "cells before the 1st stay empty";
}

TEST(MonthCalendarTest, WeekdayCaptionsAreBoldAndTheWeekendOnesOrange) {
  MonthCalendar cal;
  cal.resize(900, 400);
  cal.show();
  const QColor orange(0xEE, 0x64, 0x21);
  // Dark pixels and pixels of the weekend colour in a picture of a label.
  auto ink = [&orange](QLabel* label, int* orangePixels) {
    const QImage shot = label->grab().toImage();
    int dark = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (c.lightness() < 200) ++dark;
        if (orangePixels && std::abs(c.red() - orange.red()) < 8 && std::abs(c.green() - orange.green()) < 8 &&
            std::abs(c.blue() - orange.blue()) < 8)
          ++*orangePixels;
      }
    return dark;
  };
  for (int w = 0; w < 7; ++w) {
    auto* caption = cal.findChild<QLabel*>(QStringLiteral("lblWeek_%1").arg(w));
    ASSERT_NE(caption, nullptr) << w;
    QLabel plain(caption->text());
    plain.setAlignment(caption->alignment());
    plain.resize(caption->size());
    int orangePixels = 0;
    const int captionInk = ink(caption, &orangePixels);
    EXPECT_EQ(orangePixels > 0, w == 0 || w == 6) << w;
    EXPECT_GT(captionInk, ink(&plain, nullptr)) << w << ": bold captions carry more ink than plain text";
  }
}

TEST(MonthCalendarTest, OnlyATextCellWithATextReportsItsDay) {
  MonthCalendar cal;
  QStringList texts(32);
  texts[31] = QStringLiteral("王五→10.00\r\n");
  cal.showMonth(2023, 7, QDate(2023, 7, 1), texts);
  QSignalSpy spy(&cal, &MonthCalendar::dayTextClicked);
  const QPoint last = MonthLayout::cellOf(2023, 7, 31);
  cal.clickCell(last.x(), last.y());          // the number cell
  cal.clickCell(0, 13);                       // day 1's empty text
  cal.clickCell(5, 5);                        // outside the month
  EXPECT_EQ(spy.count(), 0);
  cal.clickCell(last.x(), last.y() + 1, QPoint(10, 20));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 31);
  EXPECT_EQ(spy.at(0).at(1).toPoint(), QPoint(10, 20));
}

}  // namespace

namespace {
// Whether a drawn line ends with the whole amount of its instalment.
bool endsWithAmount(const QString& line, const QString& amount) { return line.endsWith(QStringLiteral("→") + amount); }
}  // namespace

// The text cell as drawn: one line per instalment, a long name shortened before its amount, and a
// day with more instalments than lines ending in "…".
TEST(MonthCalendarTest, ADayCellDrawsOneLinePerInstalmentAndKeepsEveryAmountWhole) {
  MonthCalendar cal;
  cal.resize(1100, 700);
  QStringList texts(32);
  texts[5] = QStringLiteral("李四→33833.34\r\n华兴贸易有限公司第一分公司→120000.00\r\n王五→500.00\r\n");
  for (int i = 0; i < 12; ++i) texts[6] += QStringLiteral("客户%1→%2.00\r\n").arg(i).arg(1000 + i);
  cal.showMonth(2023, 7, QDate(2023, 7, 12), texts);

  const QStringList three = cal.dayCellLines(5);
  ASSERT_EQ(three.size(), 3);
  EXPECT_EQ(three[0], QStringLiteral("李四→33833.34"));
  EXPECT_TRUE(endsWithAmount(three[1], QStringLiteral("120000.00"))) << three[1].toStdString();
  EXPECT_TRUE(three[1].startsWith(QStringLiteral("华"))) << three[1].toStdString();
  EXPECT_TRUE(three[1].contains(QStringLiteral("…"))) << "the name is shortened, not the amount";
  EXPECT_EQ(three[2], QStringLiteral("王五→500.00"));

  const QStringList busy = cal.dayCellLines(6);
  ASSERT_GE(busy.size(), 3) << "a cell of the calendar holds at least three lines";
  ASSERT_LT(busy.size(), 12);
  EXPECT_EQ(busy.last(), QStringLiteral("…"));
  for (int i = 0; i + 1 < busy.size(); ++i) EXPECT_EQ(busy[i], QStringLiteral("客户%1→%2.00").arg(i).arg(1000 + i));

  // The painter draws those lines: the cell of day 5 shows red writing on three separate bands.
  cal.show();
  const QPoint five = MonthLayout::cellOf(2023, 7, 5);
  const QRect rect = cal.grid()->table()->visualRect(cal.grid()->table()->model()->index(five.x(), five.y() + 1));
  const QImage shot = cal.grid()->table()->viewport()->grab(rect).toImage();
  int bands = 0;
  bool inBand = false;
  for (int y = 0; y < shot.height(); ++y) {
    bool red = false;
    for (int x = 0; x < shot.width() && !red; ++x) {
      const QColor c = shot.pixelColor(x, y);
      red = c.red() > 150 && c.green() < 110 && c.blue() < 110;
    }
    if (red && !inBand) ++bands;
    inBand = red;
  }
  EXPECT_EQ(bands, 3);
}

// A line too long for its cell: the name gives way to the amount while it keeps its first
// character; where the amount leaves no room for that, the name's head stays and the amount goes.
TEST(MonthCalendarTest, ALongLineKeepsTheHeadOfTheName) {
  const QFont font(QStringLiteral("WenQuanYi Micro Hei"), 9);
  const QFontMetrics fm(font);
  const QString name = QStringLiteral("欧阳诸葛慕容上官投资有限公司");
  const QString amount = QStringLiteral("→1,234,567.89");
  const auto width = [&](const QString& text) { return fm.horizontalAdvance(text) + 1; };
  struct Case {
    const char* what;
    QString line;
    int width;
    QString starts, ends;  // what the shown line starts and ends with
  };
  const Case cases[] = {
      {"fits", QStringLiteral("李四→500.00"), 400, QStringLiteral("李四→500.00"), QStringLiteral("李四→500.00")},
      {"name shortened, amount whole", name + amount, width(QStringLiteral("欧阳诸葛…") + amount), QStringLiteral("欧阳诸葛"),
       QStringLiteral("…") + amount},
      {"the first character beside the amount", name + amount, width(QStringLiteral("欧…") + amount), QStringLiteral("欧…"), amount},
      {"no room for a character beside the amount: the head of the name", name + amount,
       width(QStringLiteral("…") + amount) - 2, QStringLiteral("欧阳"), QStringLiteral("…→…")},
      {"narrow: the first character and the marks", name + amount, width(QStringLiteral("欧…→…")), QStringLiteral("欧…→…"),
       QStringLiteral("欧…→…")},
      {"a short name stays whole", QStringLiteral("王") + amount, width(QStringLiteral("王→…")), QStringLiteral("王→…"),
       QStringLiteral("王→…")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QStringList lines = DayCellLines(c.line + QStringLiteral("\r\n"), fm, c.width, 200);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(c.starts)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(c.ends)) << lines[0].toStdString();
    EXPECT_LE(fm.horizontalAdvance(lines[0]), c.width) << lines[0].toStdString();
  }
}
