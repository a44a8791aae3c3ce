// Repayment and early repayment as the user takes them in their windows: the proposals, the plan
// row, the loan, the record and the journal moved on together, bad input refused with nothing
// written, and the loan settled exactly when every row is paid.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <tuple>

#include "LoanRecordsFixture.h"
#include "app/data/DataAccess.h"
#include "app/services/BankInfo.h"
#include "app/services/SettingsList.h"
#include "shell/BusinessReminder.h"
#include "loans/CollectionSchedule.h"
#include "loans/LoanListQuery.h"
#include "loans/LoanRecords.h"
#include "output/ReportQueries.h"
#include "loans/frmDkgh.h"
#include "loans/frmDkhk.h"
#include "loans/frmDktqhd.h"
#include "loans/frmXjyh.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"
#include "platform/Clock.h"
#include "platform/Money.h"

namespace {

// A cell elides its text unless the column leaves this much (pixels) beside it.
constexpr int kCellMargins = 8;

const QString kSaved = QStringLiteral("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】");

class RepaymentTest : public LoanRecordsFixture {
 protected:
  // A daily loan of 10000 in two rows: 4000 + 150 due 2024-02-01, 6000 + 150 due 2024-03-01.
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    addLoan({.docNo = QStringLiteral("D1")});
    addJournal(QStringLiteral("D1"), 10000, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
    row1_ = addPlanRow(QStringLiteral("D1"), 1, 10000, 4000, 150, QDate(2024, 1, 1), QDate(2024, 2, 1));
    row2_ = addPlanRow(QStringLiteral("D1"), 2, 6000, 6000, 150, QDate(2024, 2, 1), QDate(2024, 3, 1));
  }

  // Opens a repayment window of type W on a plan row with today's date on the clock.
  template <class W>
  static std::unique_ptr<W> window(qint32 planId, const QString& handler = QString()) {
    auto w = std::make_unique<W>();
    w->PlanId = planId;
    w->Handler = handler;
    w->Form_Load();
    return w;
  }
  static std::unique_ptr<frmDkgh> repayWindow(qint32 planId) { return window<frmDkgh>(planId, QStringLiteral("李经办")); }
  static std::unique_ptr<frmDktqhd> earlyWindow(qint32 planId) { return window<frmDktqhd>(planId); }
  // Confirms with Yes.
  void confirm(RepaymentWindow& w) { responder_.answer(Mb::Yes), w.pbCDkgh_Click(RepaymentWindow::cmdConfirm); }
  // The same, with only this save's messages kept.
  void confirmAfresh(RepaymentWindow& w) { responder_.clear(), confirm(w); }
  // The values of a query's rows joined by spaces, numbers as %g, NULL as "".
  static QStringList lines(const QString& sql, const QVariantList& params = {}) {
    QStringList out;
    for (const QVariantList& row : Db().query(sql, params).rows) {
      QStringList parts;
      for (const QVariant& v : row) parts << (v.isNull() || v.typeId() == QMetaType::QString ? v.toString() : QString::number(v.toDouble()));
      out << parts.join(QLatin1Char(' '));
    }
    return out;
  }
  QString rowText(qint32 planId) { return lines(QStringLiteral("select 已还本金,已还利息,逾期手续费,归还状态,归还日期,备注 from PJ_Hdjh where 编号=?"), {planId}).value(0); }
  QString loanText() { return lines(QStringLiteral("select 已还本金,已还利息,逾期利息,结算状态 from PJ_Dkjl where 单号='D1'")).value(0); }
  QStringList records() { return lines(QStringLiteral("select 期次,本金,利息,手续费,还款状态,计划ID,操作员,备注 from PJ_Hkjl order by 编号")); }
  // The texts of the window's labels at these indexes.
  static QStringList labels(const RepaymentWindow& w, std::initializer_list<int> at) {
    QStringList out;
    for (int i : at) out << w.lbltqhdr.at(i)->text();
    return out;
  }
  // The texts of 回款确认's amount boxes (principal, interest, overdue fee).
  static QStringList amounts(const frmDkgh& w) { return {w.Text1.at(0)->text(), w.Text1.at(1)->text(), w.Text1.at(2)->text()}; }
  // Types into the amount boxes in turn, from the principal on.
  static void type(frmDkgh& w, const QStringList& texts) { for (int i = 0; i < texts.size(); ++i) w.Text1.at(i)->setText(texts[i]); }
  // The loan view of a loan, loaded.
  static std::unique_ptr<frmDkhk> viewOf(const QString& docNo) {
    auto view = std::make_unique<frmDkhk>();
    view->DocNo = docNo;
    view->Form_Load();
    return view;
  }
  // Picks a status as the user does.
  static void pick(frmDkgh& w, int index) { w.Combo1->setCurrentIndex(index), w.Combo1_Click(index); }
  void at(int y, int m, int d) { setNow(QDateTime(QDate(y, m, d), QTime(9, 0))); }

  qint32 row1_ = 0, row2_ = 0;
};

TEST_F(RepaymentTest, OnTimeThenOverdueSettlesTheLoanWithItsJournal) {
  at(2024, 2, 1);
  auto w = repayWindow(row1_);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("贷款归还"));
  EXPECT_EQ(labels(*w, {0, 2, 7, 10}), (QStringList{"D1", "2024年02月01日", "0", "4150.00"})) << "due today: not overdue";
  EXPECT_EQ(w->Text1[0]->text(), QStringLiteral("4000.00"));
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("已还"));
  EXPECT_EQ(w->lblze->text(), QStringLiteral("归还总额：4150.00"));
  w->Text1[3]->setText(QStringLiteral("按时归还"));
  confirm(*w);
  EXPECT_EQ(responder_.messages.front().text, QStringLiteral("您确认保存该笔业务的操作吗？"));
  EXPECT_EQ(responder_.messages.back().text, kSaved);
  EXPECT_EQ(w->result(), QDialog::Accepted);
  EXPECT_EQ(rowText(row1_), QStringLiteral("4000 150 0 已还 2024-02-01 按时归还"));
  EXPECT_EQ(loanText(), QStringLiteral("4000 150 0 未还")) << "row 2 is still open";

  // Ten days late on row 2: overdue interest on its 6000 at 0.15% a day.
  at(2024, 3, 11);
  w = repayWindow(row2_);
  EXPECT_EQ(labels(*w, {7, 8, 9, 10}), (QStringList{"10", "0.1500%", "90.00", "6240.00"}));
  EXPECT_EQ(w->Text1[2]->text(), QStringLiteral("90.00"));
  confirmAfresh(*w);
  EXPECT_EQ(responder_.messages.back().text, kSaved);
  EXPECT_EQ(rowText(row2_), QStringLiteral("6000 150 90 已还 2024-03-11 "));
  EXPECT_EQ(loanText(), QStringLiteral("10000 300 90 已完结"));
  EXPECT_EQ(records(), (QStringList{QStringLiteral("1 4000 150 0 已还 %1 管理员 按时归还").arg(row1_),
                                    QStringLiteral("2 6000 150 90 已还 %1 管理员 ").arg(row2_)}));
  EXPECT_EQ(journal(), (QStringList{"D1 贷款本金支出 支出 -10000.00 -10000.00", "D1 存款本金收入 收入 4000.00 -6000.00",
                                    "D1 贷款利息收入 收入 150.00 -5850.00", "D1 存款本金收入 收入 6000.00 150.00",
                                    "D1 贷款利息收入 收入 150.00 300.00", "D1 逾期手续费收入 收入 90.00 390.00"}));
  EXPECT_EQ(value(QStringLiteral("select count(*) from PJ_Liushui where 经办人=? and 对应ID=?"), {QStringLiteral("李经办"), row2_}).toInt(), 3);
}

TEST_F(RepaymentTest, PartThenFullCountsOverdueFromTheLastPaymentAndKeepsCents) {
  at(2024, 2, 11);
  auto w = repayWindow(row1_);
  EXPECT_EQ(w->Text1[2]->text(), QStringLiteral("150.00")) << "10 days x 10000 x 0.15%";
  type(*w, {"1000.55", "150"});
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("归还部分"));
  EXPECT_EQ(w->lblze->text(), QStringLiteral("归还总额：1300.55"));
  confirm(*w);
  EXPECT_EQ(rowText(row1_), QStringLiteral("1000.55 150 150 归还部分 2024-02-11 "));
  EXPECT_EQ(loanText(), QStringLiteral("1000.55 150 150 未还"));

  // Five days on, the rest: overdue counts from the last payment, not from the due date again.
  at(2024, 2, 16);
  w = repayWindow(row1_);
  EXPECT_EQ(w->lbltqhdr[7]->text(), QStringLiteral("5"));
  EXPECT_EQ(amounts(*w), (QStringList{"2999.45", "0.00", "75.00"}));
  // One cent short is partial; the full proposal covers it.
  w->Text1[0]->setText(QStringLiteral("2999.44"));
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("归还部分"));
  w->Text1[0]->setText(QStringLiteral("2999.45"));
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("已还"));
  confirm(*w);
  EXPECT_EQ(rowText(row1_), QStringLiteral("4000 150 225 已还 2024-02-16 "));
  EXPECT_EQ(value(QStringLiteral("select sum(金额) from PJ_Liushui where 摘要=?"), {QStringLiteral("存款本金收入")}).toDouble(), 4000.0);
  EXPECT_EQ(journal().last(), QStringLiteral("D1 逾期手续费收入 收入 75.00 -5625.00"));
}

TEST_F(RepaymentTest, BadInputAndAPaidRowWriteNothing) {
  at(2024, 2, 1);
  auto w = repayWindow(row1_);
  struct Case { QString principal, message; };
  const Case cases[] = {{"abc", "归还本金输入不合法！"}, {QString(), "归还本金不能为空！"}, {"-5", "归还本金输入不合法！"}, {"1,000", "归还本金输入不合法！"}};
  for (const Case& c : cases) {
    responder_.clear();
    w->Text1[0]->setText(c.principal);
    w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
    EXPECT_EQ(responder_.texts(), QStringList{c.message}) << c.principal.toStdString();
  }
  responder_.clear();
  type(*w, {"0", "0", "0"});
  w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("归还总额必须大于0！")});
  // Answering No to the question writes nothing either.
  w->Text1[0]->setText(QStringLiteral("4000"));
  responder_.answer(Mb::No);
  w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 0);
  EXPECT_EQ(journal().size(), 1);

  // A second window still open on a row that the first one paid in full.
  auto stale = repayWindow(row1_);
  w = repayWindow(row1_);
  confirm(*w);
  confirmAfresh(*stale);
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("该单据已被其他用户修改，请关闭窗口后重新打开！"));
  // Opened after that save, it sees the row paid.
  stale = repayWindow(row1_);
  confirmAfresh(*stale);
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("该期次借款已还清！"));
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 1);
  EXPECT_EQ(rowText(row1_), QStringLiteral("4000 150 0 已还 2024-02-01 "));
}

TEST_F(RepaymentTest, TwoPartPaymentsOneAfterTheOtherAddUp) {
  at(2024, 2, 1);
  for (int i = 0; i < 2; ++i) {
    auto w = repayWindow(row1_);
    type(*w, {"1500.10", "0"});
    confirm(*w);
  }
  EXPECT_EQ(rowText(row1_), QStringLiteral("3000.2 0 0 归还部分 2024-02-01 "));
  EXPECT_EQ(loanText(), QStringLiteral("3000.2 0 0 未还"));
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 2);
}

TEST_F(RepaymentTest, EarlyRepaymentOfDailyAndMonthlyRows) {
  // Daily loan, row 2 repaid on 2024-02-21: 20 days x 6000 x 0.1%.
  at(2024, 2, 21);
  auto w = window<frmDktqhd>(row2_, QStringLiteral("李经办"));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("提前还贷"));
  EXPECT_EQ(labels(*w, {3, 4, 6}), (QStringList{"20", "0.1000%", "120.00"}));
  EXPECT_EQ(w->Text1->text(), QStringLiteral("6120.00"));
  EXPECT_TRUE(w->Text1->isReadOnly());
  // A date before the row's start: no interest, no interest journal row.
  w->DTPicker1->setDateValue(QDate(2024, 1, 20));
  w->计算利息();
  EXPECT_EQ(w->lbltqhdr[3]->text(), QStringLiteral("0"));
  EXPECT_EQ(w->Text1->text(), QStringLiteral("6000.00"));
  // The date in the box is what is paid, even when it changed without a new proposal.
  w->DTPicker1->setDateValue(QDate(2024, 2, 11));
  confirm(*w);
  EXPECT_EQ(rowText(row2_), QStringLiteral("6000 60 0 已还 2024-02-11 提前还贷"));
  EXPECT_EQ(records(), QStringList{QStringLiteral("2 6000 60 0 已还 %1 管理员 提前还贷").arg(row2_)});
  EXPECT_EQ(journal().mid(1), (QStringList{"D1 回款本金收入 收入 6000.00 -4000.00", "D1 贷款利息收入 收入 60.00 -3940.00"}));
  EXPECT_EQ(loanText(), QStringLiteral("6000 60 0 未还")) << "row 1 is still open";
  // The 90 not charged is owed no longer, on the row and on the loan.
  EXPECT_EQ(value(QStringLiteral("select 应还利息 from PJ_Hdjh where 编号=?"), {row2_}).toDouble(), 60.0);
  EXPECT_EQ(value(QStringLiteral("select 利息 from PJ_Dkjl where 单号='D1'")).toDouble(), 210.0);

  // A monthly loan at 1.5% a month: the daily fraction 0.0005, not the months-multiplied 日利率.
  addLoan({.docNo = QStringLiteral("D2"), .rateType = QStringLiteral("月"), .rate = 1.5});
  Db().Execute(QStringLiteral("update PJ_Dkjl set 日利率=0.0015 where 单号='D2'"));
  const qint32 m = addPlanRow(QStringLiteral("D2"), 1, 10000, 10000, 450, QDate(2024, 1, 1), QDate(2024, 4, 1));
  auto e = earlyWindow(m);
  EXPECT_EQ(labels(*e, {3, 4, 6}), (QStringList{"51", "0.0500%", "255.00"}));
  confirm(*e);
  EXPECT_EQ(value(QStringLiteral("select 结算状态 from PJ_Dkjl where 单号='D2'")).toString(), QStringLiteral("已完结"));
  EXPECT_EQ(value(QStringLiteral("select 已还利息 from PJ_Dkjl where 单号='D2'")).toDouble(), 255.0);
}

TEST_F(RepaymentTest, EarlyRepaymentOfPrepaidAndPartlyPaidRows) {
  at(2024, 2, 21);
  addLoan({.docNo = QStringLiteral("D3")});
  // Interest taken in advance: the principal row accrues nothing more.
  const qint32 prepaid = addPlanRow(QStringLiteral("D3"), 2, 10000, 10000, 0, QDate(2024, 1, 1), QDate(2024, 4, 1));
  const qint32 partly = addPlanRow(QStringLiteral("D3"), 3, 10000, 10000, 300, QDate(2024, 2, 1), QDate(2024, 4, 1),
                                   QStringLiteral("归还部分"), 4000, 10);
  auto a = earlyWindow(prepaid);
  EXPECT_EQ(a->lbltqhdr[6]->text(), QStringLiteral("0.00"));
  confirm(*a);
  auto b = earlyWindow(partly);
  EXPECT_EQ(b->lbltqhdr[5]->text(), QStringLiteral("6000.00")) << "what is still open of the principal";
  EXPECT_EQ(b->lbltqhdr[6]->text(), QStringLiteral("190.00")) << "20 days x 10000 x 0.1% less 10 paid";
  confirm(*b);
  EXPECT_EQ(rowText(partly), QStringLiteral("10000 200 0 已还 2024-02-21 提前还贷"));
  EXPECT_EQ(value(QStringLiteral("select 结算状态 from PJ_Dkjl where 单号='D3'")).toString(), QStringLiteral("已完结"));
  EXPECT_EQ(value(QStringLiteral("select 已还本金 from PJ_Dkjl where 单号='D3'")).toDouble(), 16000.0);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui"), QStringLiteral("单号='D3' and 摘要=?"), {QStringLiteral("贷款利息收入")}), 1);
}

TEST_F(RepaymentTest, RefusalsComeBeforeTheQuestionAndWriteNothing) {
  // Row 1 owes 4000 + 150 on 2024-02-01; row 2 is due 2024-03-01.
  at(2024, 2, 1);
  struct Case { bool early; const char *principal, *interest; QDate date; const char* message; };
  const Case cases[] = {{false, "4000.01", "150", QDate(2024, 2, 1), "归还本金不能大于未还本金！"}, {false, "25000", "0", QDate(2024, 2, 1), "归还本金不能大于未还本金！"},
                        {false, "4000", "150.01", QDate(2024, 2, 1), "归还利息不能大于未还利息！"}, {false, "0", "0", QDate(2024, 2, 1), "归还总额必须大于0！"},
                        {true, "", "", QDate(2024, 3, 2), "提前还贷日期不能晚于约定归还日期！"}};
  for (const Case& c : cases) {
    responder_.clear();
    responder_.answer(Mb::Yes);
    if (c.early) {
      auto w = earlyWindow(row2_);
      w->DTPicker1->setDateValue(c.date);
      w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
    } else {
      auto w = repayWindow(row1_);
      type(*w, {c.principal, c.interest, "0"});
      w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
    }
    EXPECT_EQ(responder_.texts(), QStringList{QString::fromUtf8(c.message)}) << c.message;
    EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 0);
    EXPECT_EQ(journal().size(), 1);
  }
  EXPECT_EQ(loanText(), QStringLiteral("0 0 0 未还"));
}

// Neither repayment window takes a 归还日期 after today; today and yesterday are taken.
TEST_F(RepaymentTest, ARepaymentDatedAfterTodayIsRefusedInBothWindows) {
  // Today is 2024-02-10: a row due 2024-02-01 goes to 回款确认, one due 2024-03-01 to 提前还贷.
  at(2024, 2, 10);
  struct Case { bool early; int offset /* days from today */; bool saved; };
  const Case cases[] = {{false, 1, false}, {false, 0, true}, {false, -1, true}, {true, 1, false}, {true, 0, true}, {true, -1, true}};
  int n = 0;
  for (const Case& c : cases) {
    const QString doc = QStringLiteral("T%1").arg(++n);
    addLoan({.docNo = doc, .borrower = QStringLiteral("借款人%1").arg(n)});
    const qint32 row = addPlanRow(doc, 1, 10000, 10000, 300, QDate(2024, c.early ? 2 : 1, 1), QDate(2024, c.early ? 3 : 2, 1));
    const QDate day = QDate(2024, 2, 10).addDays(c.offset);
    SCOPED_TRACE((c.early ? "提前还贷 " : "回款确认 ") + DateText(day).toStdString());
    std::unique_ptr<RepaymentWindow> w = c.early ? std::unique_ptr<RepaymentWindow>(window<frmDktqhd>(row)) : window<frmDkgh>(row);
    w->DTPicker1->setDateValue(day);
    emit w->DTPicker1->editingFinished();
    confirmAfresh(*w);
    EXPECT_EQ(count(QStringLiteral("PJ_Hkjl"), QStringLiteral("单号=?"), {doc}), c.saved ? 1 : 0);
    EXPECT_EQ(value(QStringLiteral("select 归还状态 from PJ_Hdjh where 编号=?"), {row}).toString(), c.saved ? QStringLiteral("已还") : QStringLiteral("未还"));
    if (c.saved) {
      EXPECT_EQ(responder_.texts().back(), kSaved);
      EXPECT_EQ(value(QStringLiteral("select 归还日期 from PJ_Hdjh where 编号=?"), {row}).toString(), DateText(day));
    } else {
      EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("归还日期不能晚于今天！")}) << "refused before the question";
      EXPECT_EQ(count(QStringLiteral("PJ_Liushui"), QStringLiteral("单号=?"), {doc}), 0);
    }
  }
}

// A row saved before future dates were refused may hold a 归还日期 ahead: its overdue days count from
// the day its latest repayment record was saved, not from that date.
TEST_F(RepaymentTest, AStoredFutureRepaymentDateCountsFromItsRecordsDay) {
  at(2024, 2, 21);
  Db().Execute(QStringLiteral("update PJ_Hdjh set 已还本金=1000,归还状态=?,归还日期='2027-12-09' where 编号=?"),
               {QStringLiteral("归还部分"), row1_});
  struct Case { const char *recordDays /* the 日期 of the row's records, "" for none */, *overdueDays, *fee; };
  const Case cases[] = {
      {"2024-02-11 15:20:00", "10", "150.00"},                       // from the record's day, not 0 until 2027
      {"2024-02-05 08:00:00|2024-02-16 10:00:00", "5", "75.00"},    // the latest record counts
      {"", "0", "0.00"},                                             // no record: the stored date stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recordDays);
    Db().Execute(QStringLiteral("delete from PJ_Hkjl"));
    for (const QString& day : QString::fromUtf8(c.recordDays).split(QLatin1Char('|'), Qt::SkipEmptyParts))
      Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,日期,本金,利息,手续费,还款状态,计划ID) values ('D1',1,?,1000,0,0,?,?)"),
                   {day, QStringLiteral("归还部分"), row1_});
    auto w = repayWindow(row1_);
    EXPECT_EQ(w->lbltqhdr[7]->text(), QString::fromUtf8(c.overdueDays));
    EXPECT_EQ(w->Text1[2]->text(), QString::fromUtf8(c.fee));
  }
}

// The overdue fee is an amount like the others: above the ceiling, or with a third decimal, it is
// refused before the question and nothing is written.
TEST_F(RepaymentTest, TheOverdueFeeHasTheAmountCeiling) {
  at(2024, 2, 11);
  for (const char* fee : {"99999999999999", "1000000000", "150.001"}) {
    SCOPED_TRACE(fee);
    auto w = repayWindow(row1_);
    w->Text1[2]->setText(QString::fromUtf8(fee));
    confirmAfresh(*w);
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("逾期手续费输入不合法！")});
    EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 0);
    EXPECT_EQ(journal().size(), 1);
  }
  // The largest fee is taken.
  auto w = repayWindow(row1_);
  w->Text1[2]->setText(QStringLiteral("999999999.99"));
  confirmAfresh(*w);
  EXPECT_EQ(responder_.texts().back(), kSaved);
  EXPECT_DOUBLE_EQ(value(QStringLiteral("select 逾期手续费 from PJ_Hdjh where 编号=?"), {row1_}).toDouble(), 999999999.99);
  EXPECT_DOUBLE_EQ(value(QStringLiteral("select 手续费 from PJ_Hkjl")).toDouble(), 999999999.99);
}

TEST_F(RepaymentTest, TheStatusIsTheOneTheAmountsGive) {
  at(2024, 2, 11);
  auto w = repayWindow(row1_);
  // The overdue fee covers the shortfall of the total, yet principal stays open.
  w->Text1[0]->setText(QStringLiteral("3000"));
  w->Text1[2]->setText(QStringLiteral("2000"));
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("归还部分"));
  // Picking 已还 with principal open asks nothing and takes nothing.
  pick(*w, 0);
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("归还部分"));
  confirm(*w);
  EXPECT_EQ(rowText(row1_), QStringLiteral("3000 150 2000 归还部分 2024-02-11 "));
  EXPECT_EQ(loanText(), QStringLiteral("3000 150 2000 未还"));
  // Everything open paid: 归还部分 is not taken either.
  w = repayWindow(row1_);
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("已还"));
  pick(*w, 1);
  EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("已还"));
}

TEST_F(RepaymentTest, WaivingTheOpenInterestSettlesTheRowAndLowersTheLoansInterest) {
  // The note and its separator leave 243 of the remark's 255 characters.
  const QString fits = QStringLiteral("长").repeated(243);
  struct Case { QString remark, recorded /* "": the remark leaves no room for the note, nothing is written */; };
  const Case cases[] = {{QString(), QStringLiteral("减免利息100.00元")},
                        {QStringLiteral("客户困难"), QStringLiteral("客户困难；减免利息100.00元")},
                        {fits, fits + QStringLiteral("；减免利息100.00元")},
                        {QStringLiteral("满").repeated(255), QString()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remark.size());
    Db().Execute(QStringLiteral("update PJ_Hdjh set 应还利息=150,已还本金=0,已还利息=0,归还状态=? where 编号=?"), {QStringLiteral("未还"), row1_});
    Db().Execute(QStringLiteral("update PJ_Dkjl set 利息=300,已还本金=0,已还利息=0,结算状态=?"), {QStringLiteral("未还")});
    Db().Execute(QStringLiteral("delete from PJ_Hkjl"));
    at(2024, 2, 1);
    auto w = repayWindow(row1_);
    w->Text1[1]->setText(QStringLiteral("50"));
    w->Text1[3]->setText(c.remark);
    responder_.clear();
    // No keeps the row open; Yes takes 已还.
    for (int answer : {int(Mb::No), int(Mb::Yes)}) {
      responder_.answer(answer);
      pick(*w, 0);
      EXPECT_EQ(w->Combo1->currentText(), answer == Mb::Yes ? QStringLiteral("已还") : QStringLiteral("归还部分"));
    }
    EXPECT_EQ(responder_.texts(), QStringList(2, QStringLiteral("本期尚有未还利息100.00元，确认减免并结清该期吗？")));
    confirm(*w);
    if (c.recorded.isEmpty()) {
      EXPECT_EQ(responder_.texts().mid(2), QStringList{QStringLiteral("备注不能超过243个字！")}) << "refused before the save is confirmed";
      EXPECT_TRUE(records().isEmpty());
      EXPECT_TRUE(rowText(row1_).startsWith(QStringLiteral("0 0 0 未还 ")));
      EXPECT_EQ(value(QStringLiteral("select 应还利息 from PJ_Hdjh where 编号=?"), {row1_}).toDouble(), 150.0);
      EXPECT_TRUE(w->Text1[3]->styleSheet().contains(QStringLiteral("#00FFFF"))) << "the remark is marked";
      continue;
    }
    EXPECT_EQ(responder_.texts().last(), kSaved);
    EXPECT_EQ(records(), QStringList{QStringLiteral("1 4000 50 0 已还 %1 管理员 %2").arg(row1_).arg(c.recorded)});
    EXPECT_EQ(value(QStringLiteral("select 应还利息 from PJ_Hdjh where 编号=?"), {row1_}).toDouble(), 50.0);
    EXPECT_EQ(value(QStringLiteral("select 利息 from PJ_Dkjl where 单号='D1'")).toDouble(), 200.0);
  }
}

TEST_F(RepaymentTest, ARowWithNothingProposedIsSettledWithARecordOfZero) {
  // Row 1 paid in full but left 归还部分; a row of no principal after the amount was used up.
  at(2024, 2, 10);
  Db().Execute(QStringLiteral("update PJ_Hdjh set 已还本金=4000,已还利息=150,归还状态=?,归还日期='2024-02-01' where 编号=?"), {QStringLiteral("归还部分"), row1_});
  const qint32 empty = addPlanRow(QStringLiteral("D1"), 3, 0, 0, 0, QDate(2024, 3, 1), QDate(2024, 4, 1));
  for (qint32 id : {row1_, empty}) {
    if (id == row1_) {
      auto w = repayWindow(id);
      EXPECT_EQ(w->Combo1->currentText(), QStringLiteral("已还"));
      w->Text1[2]->setText(QStringLiteral("0"));
      confirmAfresh(*w);
    } else {
      confirmAfresh(*earlyWindow(id));
    }
    EXPECT_EQ(responder_.texts().last(), kSaved);
    EXPECT_EQ(value(QStringLiteral("select 归还状态 from PJ_Hdjh where 编号=?"), {id}).toString(), QStringLiteral("已还"));
    EXPECT_EQ(value(QStringLiteral("select 本金+利息+手续费 from PJ_Hkjl where 计划ID=?"), {id}).toDouble(), 0.0);
  }
  EXPECT_EQ(journal().size(), 1) << "a record of 0 moves no money";
}

TEST_F(RepaymentTest, EveryOpenFigureIsWhatThePlanRowsAndTheJournalLeaveOpen) {
  // D1: row 1 settled with 50 of its 150 interest waived, row 2 part paid (1000 + 50). D2: both rows
  // repaid early, their interest short of the plan.
  addLoan({.docNo = QStringLiteral("D2"), .principal = 20000, .lastDue = QDate(2024, 4, 1), .interest = 600});
  const qint32 e1 = addPlanRow(QStringLiteral("D2"), 1, 10000, 10000, 300, QDate(2024, 2, 1), QDate(2024, 3, 1));
  const qint32 e2 = addPlanRow(QStringLiteral("D2"), 2, 10000, 10000, 300, QDate(2024, 3, 1), QDate(2024, 4, 1));
  at(2024, 2, 1);
  auto w = repayWindow(row1_);
  w->Text1[1]->setText(QStringLiteral("100"));
  responder_.answer(Mb::Yes);
  pick(*w, 0);
  confirm(*w);
  at(2024, 2, 20);
  for (qint32 id : {e1, e2}) confirm(*earlyWindow(id));
  at(2024, 3, 1);
  w = repayWindow(row2_);
  type(*w, {"1000", "50"});
  confirm(*w);

  // What the plan rows leave open, and what the journal says came in, per loan.
  struct Open { double principal = 0, interest = 0, interestIn = 0; };
  std::map<QString, Open> open;
  for (const QVariantList& r : Db().query(QStringLiteral("select 单号,应还本金-已还本金,应还利息-已还利息 from PJ_Hdjh")).rows) {
    open[r[0].toString()].principal += r[1].toDouble();
    open[r[0].toString()].interest += r[2].toDouble();
  }
  for (const QVariantList& r : Db().query(QStringLiteral("select 单号,sum(金额) from PJ_Liushui where 摘要=? group by 单号"), {QStringLiteral("贷款利息收入")}).rows)
    open[r[0].toString()].interestIn = r[1].toDouble();
  EXPECT_NEAR(open["D1"].principal, 5000, 0.001);
  EXPECT_NEAR(open["D1"].interest, 100, 0.001);
  EXPECT_NEAR(open["D2"].principal + open["D2"].interest, 0, 0.001);
  EXPECT_NEAR(open["D2"].interestIn, value(QStringLiteral("select 利息 from PJ_Dkjl where 单号='D2'")).toDouble(), 0.001)
      << "a settled loan's interest is what came in";

  // The list, with every status.
  const SqlWithParams list = BuildLoanListSql({.dateField = 2, .status = QStringLiteral("忽略"), .today = QDate(2024, 3, 1)});
  std::map<QString, std::pair<double, double>> listed;  // 待还利息, 应归还
  for (const QVariantList& r : Db().query(QStringLiteral("select 单号,待还利息,应归还 from (") + list.sql + QStringLiteral(") q"), list.params).rows)
    listed[r[0].toString()] = {r[1].toDouble(), r[2].toDouble()};
  ASSERT_EQ(listed.size(), 2u);
  for (const QString doc : {QStringLiteral("D1"), QStringLiteral("D2")}) {
    SCOPED_TRACE(doc.toStdString());
    EXPECT_NEAR(listed[doc].first, open[doc].interest, 0.001);
    EXPECT_NEAR(listed[doc].second, open[doc].principal + open[doc].interest, 0.001);
  }
  // The daily report on the last due date.
  for (const DailyReportRow& r : ComputeDailyReport(PlanBook::Loans, QDate(2024, 4, 1), QString())) {
    SCOPED_TRACE(r.docNo.toStdString());
    EXPECT_NEAR(r.openPrincipal, open[r.docNo].principal, 0.001);
    EXPECT_NEAR(r.openInterest, open[r.docNo].interest, 0.001);
  }
  // The funds report counts the open loan only, its interest as the plan leaves it.
  const FundsReport funds = ComputeFundsReport(QDate(2024, 4, 1));
  EXPECT_NEAR(funds.value(QStringLiteral("外放利息余额")), open["D1"].interest, 0.001);
  EXPECT_NEAR(funds.value(QStringLiteral("外放到期未收回利息")), open["D1"].interest, 0.001);
  // The calendar lists no instalment of the settled loan, nor the row whose interest was waived.
  const SqlWithParams due = OpenInstalmentsSql(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
  const QueryResult calendar = Db().query(due.sql, due.params);
  ASSERT_EQ(calendar.rows.size(), 1u);
  EXPECT_EQ(calendar.rows[0][0].toInt(), row2_) << "D1's part-paid row only";
  // The login reminder counts that row alone as overdue, and nothing of the settled loan as due soon.
  const ReminderCounts reminded = CountBusinessReminders(QDate(2024, 3, 2), 60);
  EXPECT_EQ(reminded.overdueLoans, 1);
  EXPECT_EQ(reminded.soonLoans, 0);
}

TEST_F(RepaymentTest, TypedAmountsStayUntilTheDateChanges) {
  // The date box reports the end of an edit also when it only loses the focus; only a new date
  // is a new proposal, so what the user typed is what the save reads.
  struct Case { QDate date /* put into the date box before it reports */; QString principal /* 归还本金 afterwards */, overdueDays; };
  const Case cases[] = {{QDate(2024, 2, 11), "1000.00", "10"}, {QDate(2024, 2, 21), "4000.00", "20"}};
  for (const Case& c : cases) {
    at(2024, 2, 11);
    auto w = repayWindow(row1_);
    w->Text1[0]->setText(QStringLiteral("1000.00"));
    w->DTPicker1->setDateValue(c.date);
    emit w->DTPicker1->editingFinished();
    EXPECT_EQ(w->Text1[0]->text(), c.principal) << c.date.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(w->lbltqhdr[7]->text(), c.overdueDays);
  }
  // Saved from a date box that still had the focus: the typed part payment, not the proposal.
  auto w = repayWindow(row1_);
  w->Text1[0]->setText(QStringLiteral("1000.00"));
  emit w->DTPicker1->editingFinished();
  confirm(*w);
  EXPECT_EQ(rowText(row1_), QStringLiteral("1000 150 150 归还部分 2024-02-11 "));
}

// The view shows the registration form's buttons on their pages, without a command, and its quick-fill
// lists as the form fills them, on their first item.
TEST_F(RepaymentTest, TheViewHasTheFormsPageButtonsDisabledAndItsQuickFillLists) {
  addLoan({.docNo = QStringLiteral("D7"), .rateType = QStringLiteral("月"), .rate = 1.5});
  const std::tuple<int, const char*, const char*, int> buttons[] = {
      {5, "", "贷款人", 1},           {0, "增加", "个人担保", 1},      {2, "删除", "个人担保", 1},
      {8, "增加", "企业担保", 1},     {9, "删除", "企业担保", 1},      {10, "新增文档", "相关附件", 1},
      {11, "查    看", "相关附件", 1}, {12, "删    除", "相关附件", 1}, {13, "借贷展期", "还款计划", 2},
  };
  const std::tuple<const char*, const char*, int> loans[] = {{"D1", "1天", 100}, {"D7", "1个月", 12}};
  for (const auto& [doc, firstTerm, terms] : loans) {
    SCOPED_TRACE(doc);
    auto view = viewOf(QString::fromUtf8(doc));
    QStringList fills;  // each list's current item and its number of items
    for (int i : {3, 0, 2}) fills << QStringLiteral("%1 %2").arg(view->comJkzl[i]->currentText()).arg(view->comJkzl[i]->count());
    EXPECT_EQ(fills, (QStringList{"五万 13", "一厘 19", QStringLiteral("%1 %2").arg(QString::fromUtf8(firstTerm)).arg(terms)}));
    for (const auto& [index, caption, page, tabs] : buttons) {
      SCOPED_TRACE(index);
      pbCommand* b = view->pbCJkzl->at(index);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->Caption(), QString::fromUtf8(caption));
      EXPECT_FALSE(b->isEnabled());
      QTabWidget* tab = tabs == 1 ? view->SSTab1 : view->SSTab2;
      QStringList on;  // the pages holding the button
      for (int t = 0; t < tab->count(); ++t)
        if (tab->widget(t)->isAncestorOf(b)) on << tab->tabText(t);
      EXPECT_EQ(on, QStringList{QString::fromUtf8(page)});
    }
  }
}

// Texts the view fills in show their start in a box too narrow for them: a long name's surname, the
// first words of an address. An 18-digit ID number is shown whole.
TEST_F(RepaymentTest, TheViewShowsTheStartOfEveryLongText) {
  Db().Execute(QStringLiteral("update PJ_Kehu set 姓名=?, 身份证号=?, 家庭住址=? where 姓名=?"),
               {QStringLiteral("欧阳诸葛慕容上官司马东方皇甫尉迟公羊"), QStringLiteral("110101198005060011"),
                QStringLiteral("北京市东城区东华门街道王府井大街一百号院三号楼二单元八百零八室后面的小院子"), QStringLiteral("张三")});
  // The loan holds the borrower's name as the party does, so the view sets the same text twice.
  Db().Execute(QStringLiteral("update PJ_Dkjl set 备注=?, 客户名称=? where 单号='D1'"),
               {QStringLiteral("借款人以其名下位于北京市东城区的房产作为抵押，另有两名保证人承担连带责任，按月付息到期还本"),
                QStringLiteral("欧阳诸葛慕容上官司马东方皇甫尉迟公羊")});
  auto view = viewOf(QStringLiteral("D1"));
  view->resize(700, 600);  // narrower than the texts
  view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  const std::pair<QLineEdit*, const char*> boxes[] = {
      {view->txtJkkh[1], "110101198005060011"}, {view->txtJkkh[0], "欧阳诸葛慕容上官司马东方皇甫尉迟公羊"},
      {view->txtJkkh[3], "北京市东城区"}, {view->txtDkdj[7], "借款人以其名下"}};
  int cut = 0;
  for (const auto& [box, start] : boxes) {
    SCOPED_TRACE(start);
    EXPECT_TRUE(box->text().startsWith(QString::fromUtf8(start)));
    box->repaint();
    // The caret stands before the first character and the text is not scrolled: the start is seen.
    EXPECT_EQ(box->cursorPosition(), 0);
    EXPECT_LT(box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 10) << "the text is scrolled to its end";
    if (box->fontMetrics().horizontalAdvance(box->text()) > box->contentsRect().width()) ++cut;
  }
  EXPECT_GE(cut, 2) << "the test needs boxes narrower than their texts";

  // The identity number is never among them: with the caret at its end the text has not scrolled.
  QLineEdit* id = view->txtJkkh[1];
  const int start = id->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
  id->setModified(true);  // a caret the user moved stays where it is
  id->end(false);
  id->repaint();
  EXPECT_NEAR(id->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() - start, id->fontMetrics().horizontalAdvance(id->text()), 1);
}

TEST_F(RepaymentTest, TheViewSendsDueRowsToRepaymentAndLaterRowsToEarlyRepayment) {
  at(2024, 2, 1);
  auto view = viewOf(QStringLiteral("D1"));
  EXPECT_EQ((QStringList{view->lblJkdj->text(), view->txtJkkh[0]->text(), view->txtJkkh[2]->text(), view->txtDkdj[6]->text()}),
            (QStringList{"借贷单号：D1", "张三", "13912345678", "李经办"}));
  EXPECT_EQ(view->Fg2->dataRowCount(), 0) << "no guarantors";
  ASSERT_EQ(column(view->Fg, frmDkhk::colPlanId), (QStringList{QString::number(row1_), QString::number(row2_)}));

  struct Case { qint32 row; int command; QString refusal /* empty: the window opens */; };
  const Case cases[] = {{row1_, frmDkhk::cmdRepay, ""}, {row1_, frmDkhk::cmdEarly, "请使用【回款确认】进行回款操作！"},
                        {row2_, frmDkhk::cmdRepay, "请使用【提前还贷】进行回款操作！"}, {row2_, frmDkhk::cmdEarly, ""}};
  for (const Case& c : cases) {
    responder_.clear();
    modal_.shown.clear();
    ASSERT_TRUE(selectRow(view->Fg, frmDkhk::colPlanId, QString::number(c.row)));
    view->pbCJkzl_Click(c.command);
    if (c.refusal.isEmpty()) {
      EXPECT_EQ(modal_.shown, std::vector<QString>{c.command == frmDkhk::cmdRepay ? QStringLiteral("frmDkgh") : QStringLiteral("frmDktqhd")});
      EXPECT_EQ(view->PlanId, c.row);
    } else {
      EXPECT_EQ(responder_.texts(), QStringList{c.refusal});
      EXPECT_TRUE(modal_.shown.empty());
    }
  }
  // The totals row and the buttons without a command do nothing.
  view->Fg->setRow(view->Fg->rows() - 1);
  responder_.clear();
  modal_.shown.clear();
  for (int i : {int(frmDkhk::cmdRepay), int(frmDkhk::cmdEarly), int(frmDkhk::cmdDun), 0, 2, 5, 8, 13}) view->pbCJkzl_Click(i);
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_TRUE(modal_.shown.empty());

  // A repayment made from the view refreshes it and turns to the records.
  selectRow(view->Fg, frmDkhk::colPlanId, QString::number(row1_));
  modal_.handlers.push_back([this](QDialog* d) {
    auto* w = static_cast<frmDkgh*>(d);
    w->Form_Load();
    confirm(*w);
    return w->result();
  });
  view->pbCJkzl_Click(frmDkhk::cmdRepay);
  EXPECT_EQ(view->SSTab2->currentIndex(), 1);
  EXPECT_EQ(view->Fg3->dataRowCount(), 1);
  // The record's amounts are readable whole in their columns (本金, 利息, 手续费).
  const QFontMetrics fm(view->Fg3->font());
  const int r = view->Fg3->fixedRows();
  for (int c : {4, 5, 6})
    EXPECT_GE(view->Fg3->colWidth(c) / kTwipsPerPixel, fm.horizontalAdvance(Money::format(view->Fg3->number(r, c))) + kCellMargins) << "column " << c;
  ASSERT_TRUE(selectRow(view->Fg, frmDkhk::colPlanId, QString::number(row1_)));
  EXPECT_EQ(view->Fg->textMatrix(view->Fg->row(), frmDkhk::colStatus), QStringLiteral("已还"));
  // Money in cents, the overdue fee (none) as the interest beside it.
  EXPECT_EQ(view->Fg->displayText(view->Fg->row(), 9), QStringLiteral("0.00")) << "延期利息";
  EXPECT_EQ(view->Fg->displayText(view->Fg->row(), 10), QStringLiteral("0.00")) << "逾期手续费";
  responder_.clear();
  for (int i : {frmDkhk::cmdRepay, frmDkhk::cmdEarly}) view->pbCJkzl_Click(i);
  view->pbCJkzl_Click(frmDkhk::cmdDun);
  EXPECT_EQ(responder_.texts(), (QStringList{"该期次借款已还清！", "该期次借款已还清！", "改期借款已归还！"}));
}

TEST_F(RepaymentTest, TheAccountPickerSettingLoadsTheBorrowersBankData) {
  at(2024, 2, 1);
  gBankInfo[0] = QStringLiteral("上一笔的银行");
  auto w = repayWindow(row1_);
  confirm(*w);
  EXPECT_EQ(gBankInfo[0].toString(), QString()) << "no stale bank of another movement";
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("工商银行"));
  EXPECT_EQ(value(QStringLiteral("select 对方账号 from PJ_Liushui where 摘要=?"), {QStringLiteral("存款本金收入")}).toString(), QStringLiteral("6222000011112222"));
}

TEST_F(RepaymentTest, WithTheAccountPickerTheSaveWaitsForItsChoice) {
  at(2024, 2, 1);
  gSystemSettings[5] = QStringLiteral("1");
  Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,'6228-001',0)"), {QStringLiteral("农业银行"), QStringLiteral("示范公司")});
  auto w = repayWindow(row1_);
  // Closed without its OK: nothing is saved, the window stays open.
  confirm(*w);
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmXjyh")});
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 0);
  EXPECT_EQ(journal().size(), 1);
  EXPECT_NE(w->result(), QDialog::Accepted);
  // Chosen: the journal carries both sides, the counterparty pre-filled with the borrower's bank.
  QString theirBank;
  modal_.handlers.push_back([&theirBank](QDialog* d) {
    auto* p = qobject_cast<frmXjyh*>(d);
    theirBank = p->cmbJz[1]->currentText();
    QTest::mouseClick(p->eButOK, Qt::LeftButton);
    return p->result();
  });
  confirm(*w);
  EXPECT_EQ(gBankInfo[50].toInt(), frmXjyh::Repayment);
  EXPECT_EQ(theirBank, QStringLiteral("工商银行"));
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl")), 1);
  EXPECT_EQ(value(QStringLiteral("select 我方账号||'/'||对方账号 from PJ_Liushui where 摘要=?"), {QStringLiteral("存款本金收入")}).toString(),
            QStringLiteral("6228-001/6222000011112222"));

  // Early repayment passes its own caller code.
  at(2024, 2, 20);
  auto e = earlyWindow(row2_);
  modal_.handlers.push_back([](QDialog* d) {
    auto* p = qobject_cast<frmXjyh*>(d);
    QTest::mouseClick(p->eButOK, Qt::LeftButton);
    return p->result();
  });
  confirm(*e);
  EXPECT_EQ(gBankInfo[50].toInt(), frmXjyh::EarlyRepayment);
  EXPECT_EQ(value(QStringLiteral("select 结算状态 from PJ_Dkjl where 单号='D1'")).toString(), QStringLiteral("已完结"));
}

}  // namespace
