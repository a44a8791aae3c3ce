// The date box builds its calendar only when it is first needed, and a day picked in it still fills
// an empty box however the calendar was opened.
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

class TypedDateTest : public ProgramTest {};

// Ctrl+A, the text typed, then Enter or a move of the focus: the box keeps a whole date or a year,
// and refuses, naming itself, what is no date of 1900 to 2100.
TEST_F(TypedDateTest, AWholeDateOrAYearIsTakenAnythingElseSaysTheBoxsLabel) {
  struct Case {
    const char* typed;
    bool byEnter;
    const char* shown;    // the box's date afterwards
    const char* message;  // "" for none
  };
  const Case cases[] = {
      {"2027-03-09", true, "2027-03-09", ""},
      {"2027-03-09", false, "2027-03-09", ""},
      {"2027/3/9", true, "2027-03-09", ""},
      {"20270309", false, "2027-03-09", ""},
      {"2027", true, "2027-05-20", ""},
      {"1900", false, "1900-05-20", ""},
      {"2100-12-31", true, "2100-12-31", ""},
      {"2026-02-30", true, "2026-05-20", "止息日输入不合法！"},
      {"2026-13-01", false, "2026-05-20", "止息日输入不合法！"},
      {"2101-01-01", true, "2026-05-20", "止息日输入不合法！"},
      {"1899-12-31", false, "2026-05-20", "止息日输入不合法！"},
      {"2101", true, "2026-05-20", "止息日输入不合法！"},
      {"27", true, "2026-05-20", "止息日输入不合法！"},
  };
  responder_.install();
  QWidget window;
  auto* grid = new QGridLayout(&window);
  grid->addWidget(new QLabel(QStringLiteral("止 息 日"), &window), 0, 0);
  auto* box = new DateBox(&window);
  grid->addWidget(box, 0, 1);
  auto* other = new QLineEdit(&window);
  grid->addWidget(other, 1, 1);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + (c.byEnter ? " + Enter" : " + focus out"));
    box->setDateValue(QDate(2026, 5, 20));
    responder_.clear();
    int finished = 0;
    const auto counting = QObject::connect(box, &QDateEdit::editingFinished, [&] { ++finished; });
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::fromUtf8(c.typed));
    EXPECT_EQ(box->date(), QDate(2026, 5, 20)) << "nothing is taken while typing";
    if (c.byEnter) {
      QTest::keyClick(box, Qt::Key_Return);
    } else {
      other->setFocus();
      QApplication::processEvents();
    }
    QObject::disconnect(counting);
    EXPECT_FALSE(box->isTyping());
    EXPECT_EQ(box->dateText(), QString::fromUtf8(c.shown));
    EXPECT_EQ(box->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(responder_.texts().join(QLatin1Char('|')), QString::fromUtf8(c.message));
    if (!*c.message) EXPECT_GE(finished, 1) << "the window hears of the taken date";
  }
}

TEST_F(TypedDateTest, TheMessageNamesTheBoxByItsLabelOrDate) {
  responder_.install();
  QWidget window;
  auto* form = new QFormLayout(&window);
  auto* first = new DateBox(&window);
  form->addRow(QStringLiteral("首次归还日期："), first);
  auto* range = new QHBoxLayout;
  form->addRow(range);
  auto* from = new DateBox(&window);
  auto* to = new DateBox(&window);
  range->addWidget(from);
  range->addWidget(new QLabel(QStringLiteral("至"), &window));
  range->addWidget(to);
  auto* named = new DateBox(&window);
  named->setLabel(QStringLiteral("归还日期"));
  range->addWidget(named);
  EXPECT_EQ(first->label(), QStringLiteral("首次归还日期"));
  EXPECT_EQ(from->label(), QStringLiteral("日期"));
  EXPECT_EQ(to->label(), QStringLiteral("日期")) << "the 至 between two boxes names neither";
  EXPECT_EQ(named->label(), QStringLiteral("归还日期"));

  // A year that makes 29 February of a common year is refused; an empty box stays empty.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  first->setDateValue(QDate(2024, 2, 29));
  first->setFocus();
  QTest::keyClick(first, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(first, QStringLiteral("2025"));
  QTest::keyClick(first, Qt::Key_Enter);
  EXPECT_EQ(first->date(), QDate(2024, 2, 29));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("首次归还日期输入不合法！")});
  to->setAllowEmpty(true);
  to->setEmpty();
  to->setFocus();
  QTest::keyClicks(to, QStringLiteral("2031-1-2"));
  QTest::keyClick(to, Qt::Key_Return);
  EXPECT_EQ(to->dateText(), QStringLiteral("2031-01-02"));
}
