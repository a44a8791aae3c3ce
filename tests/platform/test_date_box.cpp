// The date box builds its calendar only when it is first needed, and a day picked in it still fills
// an empty box however the calendar was opened.
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QTest>

#include <functional>

#include "TestSupport.h"
#include "platform/DateBox.h"

namespace {

// The calendar of the box's pop-up, once something has built it.
QCalendarWidget* BuiltCalendar(const DateBox& box) { return box.findChild<QCalendarWidget*>(); }

// Clicks the day in the calendar's grid as the user would.
void ClickDay(QCalendarWidget* calendar, const QDate& day) {
  auto* view = calendar->findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview"));
  ASSERT_NE(view, nullptr);
  calendar->setSelectedDate(day);
  const QModelIndex at = view->currentIndex();
  ASSERT_TRUE(at.isValid());
  const QPoint centre = view->visualRect(at).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
}

}  // namespace

TEST(DateBoxTest, ADayPickedInTheCalendarFillsAnEmptyBox) {
  const QDate hidden(2026, 3, 4);
  struct Way {
    const char* name;
    std::function<QCalendarWidget*(DateBox&)> open;
  };
  const Way ways[] = {
      {"the box's calendar asked for in code", [](DateBox& b) { return b.calendarWidget(); }},
      {"the pop-up opened with the mouse on its arrow",
       [](DateBox& b) {
         QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(b.width() - 6, b.height() / 2));
         return BuiltCalendar(b);
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    QWidget window;
    auto* box = new DateBox(&window);
    box->setAllowEmpty(true);
    box->setDateValue(hidden);
    box->setEmpty();
    window.show();
    box->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(box->dateText().isEmpty());
    EXPECT_EQ(BuiltCalendar(*box), nullptr) << "a shown box that nobody opened has no calendar yet";
    QCalendarWidget* calendar = way.open(*box);
    ASSERT_NE(calendar, nullptr);
    // The very day the box kept while empty: no date change tells the box, only the click does.
    ClickDay(calendar, hidden);
    QApplication::processEvents();
    EXPECT_EQ(box->dateText(), QStringLiteral("2026-03-04"));
    EXPECT_EQ(box->text(), QStringLiteral("2026-03-04"));
    // Another day fills it too, through the date change.
    box->setEmpty();
    ClickDay(calendar, hidden.addDays(2));
    QApplication::processEvents();
    EXPECT_EQ(box->dateText(), QStringLiteral("2026-03-06"));
  }
}
