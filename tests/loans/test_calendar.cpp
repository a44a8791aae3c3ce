// The collection calendar as the user follows it: the instalments due per day, month turns, the
// popup into the loan view with the list's own checks, and the reminder counting the same rows.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QScreen>

#include <functional>

#include "LoanRecordsFixture.h"
#include "shell/BusinessReminder.h"
#include "app/data/DataAccess.h"
#include "app/services/ChineseAmount.h"
#include "financing/frmRzZfrc.h"
#include "loans/LoanLinks.h"
#include "loans/frmCkrc.h"
#include "loans/frmMenu.h"
#include "platform/Clock.h"
#include "platform/Grid.h"
#include "platform/MonthCalendar.h"

namespace {

class CalendarTest : public LoanRecordsFixture {
 protected:
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    setNow(QDateTime(QDate(2024, 3, 12), QTime(9, 0)));
    addLoan({.docNo = QStringLiteral("D1"), .borrower = QStringLiteral("张三")});
    addLoan({.docNo = QStringLiteral("D2"), .borrower = QStringLiteral("李四"), .approval = QStringLiteral("未审核")});
    a_ = addPlanRow(QStringLiteral("D1"), 1, 10000, 1500, 0, QDate(2024, 2, 1), QDate(2024, 3, 5));
    b_ = addPlanRow(QStringLiteral("D2"), 1, 8000, 2000, 60.5, QDate(2024, 2, 1), QDate(2024, 3, 5));
    addPlanRow(QStringLiteral("D1"), 2, 8500, 3000, 0, QDate(2024, 3, 5), QDate(2024, 3, 20), QStringLiteral("归还部分"), 1000, 0);
    addPlanRow(QStringLiteral("D1"), 3, 5500, 5500, 0, QDate(2024, 3, 20), QDate(2024, 3, 25), QStringLiteral("已还"), 5500, 0);
    addPlanRow(QStringLiteral("D9"), 1, 100, 100, 0, QDate(2024, 3, 1), QDate(2024, 3, 7));  // of a loan never saved
    addPlanRow(QStringLiteral("D1"), 4, 3000, 3000, 0, QDate(2024, 3, 25), QDate(2024, 4, 1));
  }
  qint32 a_ = 0, b_ = 0;
};

TEST_F(CalendarTest, DaysListTheOpenInstalmentsOfSavedLoans) {
  frmCkrc w;
  w.Form_Load();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("催款日程"));
  EXPECT_EQ(w.Combo1->count(), 201);
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("2024"));
  EXPECT_EQ(w.Combo2->currentText(), QStringLiteral("3"));
  EXPECT_EQ(w.dayLists()[5], QStringLiteral("%1,%2").arg(a_).arg(b_));
  EXPECT_EQ(w.Calendar->dayText(5), QStringLiteral("张三→1500.00\n李四→2060.50\n"));
  EXPECT_EQ(w.Calendar->dayText(20), QStringLiteral("张三→2000.00\n")) << "what is still open of a partly paid row";
  EXPECT_TRUE(w.Calendar->dayText(25).isEmpty()) << "a paid row is not shown";
  EXPECT_TRUE(w.Calendar->dayText(7).isEmpty()) << "a row of a loan never saved is not shown";
  const QPoint today = MonthLayout::cellOf(2024, 3, 12);
  EXPECT_EQ(std::make_pair(w.Fg->row(), w.Fg->col()), std::make_pair(today.x(), today.y()));

  // Month turns.
  struct Step {
    int button;
    int year, month;
  };
  const Step steps[] = {{frmCkrc::cmdNext, 2024, 4}, {frmCkrc::cmdPrevious, 2024, 3}, {frmCkrc::cmdThisMonth, 2024, 3}};
  for (const Step& s : steps) {
    w.pbCommand1_Click(s.button);
    EXPECT_EQ(std::make_pair(w.shownYear(), w.shownMonth()), std::make_pair(s.year, s.month));
  }
  w.pbCommand1_Click(frmCkrc::cmdNext);
  EXPECT_EQ(w.Calendar->dayText(1), QStringLiteral("张三→3000.00\n"));
  w.Combo1->setCurrentText(QStringLiteral("2023"));
  w.Combo2->setCurrentText(QStringLiteral("12"));
  w.pbCommand1_Click(frmCkrc::cmdNext);
  EXPECT_EQ(std::make_pair(w.shownYear(), w.shownMonth()), std::make_pair(2024, 1));
  w.pbCommand1_Click(frmCkrc::cmdPrevious);
  EXPECT_EQ(std::make_pair(w.shownYear(), w.shownMonth()), std::make_pair(2023, 12));
  // The ends of the year list stop the buttons.
  w.Combo1->setCurrentText(QStringLiteral("1900"));
  w.Combo2->setCurrentText(QStringLiteral("1"));
  w.pbCommand1_Click(frmCkrc::cmdPrevious);
  EXPECT_EQ(std::make_pair(w.shownYear(), w.shownMonth()), std::make_pair(1900, 1));

  // A repayment made meanwhile shows after 刷新.
  w.pbCommand1_Click(frmCkrc::cmdThisMonth);
  Db().Execute(QStringLiteral("update PJ_Hdjh set 归还状态=? where 编号=?"), {QStringLiteral("已还"), b_});
  EXPECT_EQ(w.Calendar->dayText(5), QStringLiteral("张三→1500.00\n李四→2060.50\n"));
  w.pbCommand1_Click(frmCkrc::cmdRefresh);
  EXPECT_EQ(w.Calendar->dayText(5), QStringLiteral("张三→1500.00\n"));
}

TEST_F(CalendarTest, PopupOpensTheLoanViewWithTheListsChecks) {
  frmCkrc w;
  w.Form_Load();
  const QPoint five = MonthLayout::cellOf(2024, 3, 5);
  w.Calendar->clickCell(five.x(), five.y());  // the number: nothing
  EXPECT_TRUE(w.Menu->mnu_lss.empty());
  w.Calendar->clickCell(five.x(), five.y() + 1);
  EXPECT_EQ(w.Menu->Mode, QStringLiteral("催款"));
  ASSERT_EQ(w.Menu->mnu_lss.size(), 2u);
  EXPECT_EQ(w.Menu->mnu_lss[0]->text(), QStringLiteral("跟踪：张三  欠：") + AmountToChineseUppercase(1500) + QStringLiteral("  合同：D1"));
  EXPECT_EQ(AmountToChineseUppercase(1500), QStringLiteral("壹仟伍佰圆整"));
  EXPECT_EQ(w.Menu->mnu_lss[1]->text(), QStringLiteral("跟踪：李四  欠：") + AmountToChineseUppercase(2060.5) + QStringLiteral("  合同：D2"));

  w.Menu->mnu_lss[0]->trigger();
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmDkhk")});
  modal_.shown.clear();
  w.Menu->mnu_lss_Click(1);
  EXPECT_EQ(responder_.texts(), QStringList{"该笔业务还未生效！请进行审核。"}) << "an unapproved loan, as the list refuses it";
  EXPECT_TRUE(modal_.shown.empty());
  // Without the list's right the popup opens nothing either.
  loginAsClerk(QStringLiteral("催款日程"), QStringLiteral("综合部"));
  responder_.clear();
  w.Menu->mnu_lss_Click(0);
  EXPECT_EQ(responder_.texts(), QStringList{"权限不足！"});
  EXPECT_TRUE(modal_.shown.empty());

  // The next day's popup replaces the items.
  const QPoint twenty = MonthLayout::cellOf(2024, 3, 20);
  w.Calendar->clickCell(twenty.x(), twenty.y() + 1);
  ASSERT_EQ(w.Menu->mnu_lss.size(), 1u);
  EXPECT_EQ(w.Menu->mnu_ls->actions().size(), 1);
  // The payment calendar's popup: financing plan rows, into the financing record's payment view
  // with that list's checks.
  loginAsSuperAdmin();
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号,客户名称,业务状态) values ('C1',?,?),('C2',?,?),('C3',?,?)"), {QStringLiteral("赵敏"), QStringLiteral("已审核"), QStringLiteral("钱多"), QStringLiteral("未审核"), QStringLiteral("孙少"), QStringLiteral("废弃")});
  QStringList ids;
  for (const char* doc : {"C1", "C2", "C3"}) {
    Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,支付期次,客户名称,应付本金,应付利息,已付本金,已付利息,结算状态,约定支付日期) "
                                "values (?,1,(select 客户名称 from PJ_Cjjl where 单号=?),10000,150,0,0,?,'2024-03-10')"),
                 {QString::fromUtf8(doc), QString::fromUtf8(doc), QStringLiteral("未付")});
    ids << QString::number(Db().lastInsertId());
  }
  w.Menu->Mode = QStringLiteral("支付");
  w.Menu->支付日程_点击Fg(ids.join(QLatin1Char(',')));
  ASSERT_EQ(w.Menu->mnu_lss.size(), 3u);
  EXPECT_EQ(w.Menu->mnu_lss[0]->text(), QStringLiteral("应付赵敏：") + AmountToChineseUppercase(10150) + QStringLiteral("  单号：C1"));
  QStringList opened;
  gShowPaymentView = [&](QWidget*, const QString& docNo) { opened << docNo; };
  responder_.clear();
  for (int i = 0; i < 3; ++i) w.Menu->mnu_lss_Click(i);
  gShowPaymentView = nullptr;
  EXPECT_EQ(opened, QStringList{"C1"});
  EXPECT_EQ(responder_.texts(), (QStringList{"该单据未审核！", "该单据已废弃！"}));
}

TEST_F(CalendarTest, ManyInstalmentsOnOneDayAllShow) {
  for (int i = 0; i < 25; ++i) addPlanRow(QStringLiteral("D1"), 10 + i, 100, 100, 0, QDate(2024, 3, 1), QDate(2024, 3, 28));
  frmCkrc w;
  w.Form_Load();
  EXPECT_EQ(w.Calendar->dayText(28).count(QLatin1Char('\n')), 25);
  w.Fg_Click(28, QPoint());
  EXPECT_EQ(w.Menu->mnu_lss.size(), 25u);
}

TEST_F(CalendarTest, ABusyDaysPopupListsEveryInstalmentAndStaysOnTheScreen) {
  for (int i = 0; i < 30; ++i) addPlanRow(QStringLiteral("D1"), 10 + i, 100, 100, 0, QDate(2024, 3, 1), QDate(2024, 3, 27));
  frmCkrc w;
  w.Form_Load();
  w.Fg_Click(27, QPoint(10, 10));
  ASSERT_EQ(w.Menu->mnu_lss.size(), 30u);
  EXPECT_EQ(w.Menu->mnu_ls->actions().size(), 30);
  EXPECT_TRUE(w.Menu->mnu_ls->isVisible());
  const QRect screen = w.Menu->mnu_ls->screen()->availableGeometry();
  EXPECT_LE(w.Menu->mnu_ls->height(), screen.height()) << "it scrolls instead of growing past the screen";
  EXPECT_LE(w.Menu->mnu_ls->width(), screen.width()) << "nor spreads into columns";
  w.Menu->mnu_ls->close();
}

// At December 2100, the end of the year list, 后一月 changes neither the lists nor the month drawn,
// in both calendars.
TEST_F(CalendarTest, NextMonthAtTheEndOfTheYearListChangesNothing) {
  addPlanRow(QStringLiteral("D1"), 9, 100, 100, 0, QDate(2100, 11, 1), QDate(2100, 12, 6));
  frmCkrc loans;
  loans.Form_Load();
  frmRzZfrc payments;
  payments.Form_Load();
  struct Calendar {
    const char* name;
    QComboBox* year;
    QComboBox* month;
    MonthCalendar* grid;
    std::function<void(int)> press;
  };
  const Calendar calendars[] = {
      {"催款日程", loans.Combo1, loans.Combo2, loans.Calendar, [&](int i) { loans.pbCommand1_Click(i); }},
      {"支付日程", payments.Combo1, payments.Combo2, payments.Fg, [&](int i) { payments.pbCommand1_Click(i); }},
  };
  for (const Calendar& c : calendars) {
    SCOPED_TRACE(c.name);
    c.year->setCurrentIndex(2100 - 1900);
    c.month->setCurrentIndex(10);
    c.press(1);
    ASSERT_EQ(std::make_pair(c.grid->year(), c.grid->month()), std::make_pair(2100, 12));
    const QString drawn = c.grid->dayText(6);
    if (c.grid == loans.Calendar) EXPECT_FALSE(drawn.isEmpty());
    c.press(1);
    EXPECT_EQ(c.year->currentText(), QStringLiteral("2100"));
    EXPECT_EQ(c.month->currentText(), QStringLiteral("12"));
    EXPECT_EQ(std::make_pair(c.grid->year(), c.grid->month()), std::make_pair(2100, 12));
    EXPECT_EQ(c.grid->dayText(6), drawn);
    c.press(0);
    EXPECT_EQ(std::make_pair(c.grid->year(), c.grid->month()), std::make_pair(2100, 11));
  }
}

TEST_F(CalendarTest, TheReminderCountsWhatTheCalendarsShow) {
  // Financing rows of a live record and of a voided one, open, part-paid and paid.
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号,客户名称,业务状态,结算状态) values ('C1',?,?,?),('C2',?,?,?)"),
               {QStringLiteral("王投资"), QStringLiteral("已审核"), QStringLiteral("未付"), QStringLiteral("赵敏"), QStringLiteral("废弃"),
                QStringLiteral("未付")});
  const struct {
    const char* doc;
    int day;
    const char* status;
  } rows[] = {{"C1", 3, "未付"}, {"C2", 5, "未付"}, {"C1", 15, "支付部分"}, {"C2", 16, "未付"}, {"C1", 18, "已付"}};
  for (const auto& r : rows)
    Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,客户名称,应付本金,应付利息,已付本金,已付利息,结算状态,约定支付日期) "
                                "values (?,'x',100,0,0,0,?,?)"),
                 {QString::fromLatin1(r.doc), QString::fromUtf8(r.status), DateText(QDate(2024, 3, r.day))});
  // Due before 2024-03-12: the two loan rows of the 5th and C1's row of the 3rd; within 8 days: the
  // loan row of the 20th and C1's row of the 15th. Nothing of the voided C2.
  ReminderCounts c = CountBusinessReminders(QDate(2024, 3, 12), 8);
  frmCkrc loans;
  loans.Form_Load();
  frmRzZfrc payments;
  payments.Form_Load();
  int overdue[2] = {0, 0}, soon[2] = {0, 0};
  for (int d = 1; d <= 31; ++d) {
    const int n[2] = {loans.dayLists()[d].isEmpty() ? 0 : int(loans.dayLists()[d].split(QLatin1Char(',')).size()),
                      int(payments.DayLists[d].size())};
    for (int book = 0; book < 2; ++book) (d < 12 ? overdue : soon)[book] += n[book];
  }
  EXPECT_EQ(c.overdueLoans, overdue[0]);
  EXPECT_EQ(c.overdueLoans, 2);
  EXPECT_EQ(c.soonLoans, soon[0]);
  EXPECT_EQ(c.soonLoans, 1);
  EXPECT_EQ(c.overdueFinancing, overdue[1]);
  EXPECT_EQ(c.overdueFinancing, 1);
  EXPECT_EQ(c.soonFinancing, soon[1]);
  EXPECT_EQ(c.soonFinancing, 1);
}

}  // namespace
