// The repayment records list: its period, borrower, staff and status filters, the total, the
// receipt of one record and the pickers that fill the filters.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include "LoanRecordsFixture.h"
#include "app/data/DataAccess.h"
#include "loans/LoanLinks.h"
#include "loans/LoanRecords.h"
#include "loans/frmDkhkjl.h"
#include "parties/frmKhgr.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

namespace {

// Saves a repayment of a plan row as the repayment window does, against the row as read now.
RepaymentSaved repay(qint32 planId, double principal, double interest, double fee, const QString& status, const QDate& date) {
  RepaymentEntry e{.planId = planId, .principal = principal, .interest = interest, .fee = fee, .status = status, .date = date};
  e.seen = ReadInstalmentRow(e.planId);
  return SaveRepayment(e);
}

class RecordsTest : public LoanRecordsFixture {
 protected:
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    setNow(QDateTime(QDate(2024, 3, 20), QTime(9, 0)));
    addLoan({.docNo = QStringLiteral("D1"), .borrower = QStringLiteral("张三"), .handler = QStringLiteral("李经办")});
    addLoan({.docNo = QStringLiteral("D2"), .borrower = QStringLiteral("张三丰"), .handler = QStringLiteral("王经办")});
    const qint32 a = addPlanRow(QStringLiteral("D1"), 1, 10000, 10000, 300, QDate(2024, 1, 1), QDate(2024, 2, 1));
    const qint32 b = addPlanRow(QStringLiteral("D2"), 1, 5000, 5000, 100, QDate(2024, 1, 1), QDate(2024, 3, 1));
    pay(a, 4000, 100, QStringLiteral("归还部分"), QStringLiteral("2024-02-10 10:00:00"));
    pay(a, 6000, 200, QStringLiteral("已还"), QStringLiteral("2024-03-05 11:00:00"));
    pay(b, 5000, 100.5, QStringLiteral("已还"), QStringLiteral("2024-03-18 15:30:00"));
  }
  void pay(qint32 planId, double principal, double interest, const QString& status, const QString& stamp) {
    ASSERT_EQ(repay(planId, principal, interest, 0, status, QDate(2024, 3, 1)), RepaymentSaved::Saved);
    Db().Execute(QStringLiteral("update PJ_Hkjl set 日期=? where 编号=(select max(编号) from PJ_Hkjl)"), {stamp});
  }
  static QStringList docs(const frmDkhkjl& w) { return column(w.Fg, 2); }
};

TEST_F(RecordsTest, FiltersAndTotal) {
  frmDkhkjl w;
  w.Form_Load();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("回款记录"));
  EXPECT_EQ(w.DTPstr->dateText(), QStringLiteral("2024-03-01"));
  EXPECT_EQ(docs(w), (QStringList{"D2", "D1"})) << "this month, newest first";
  EXPECT_EQ(w.Fg->textMatrix(0, 7), QStringLiteral("本期归还"));
  EXPECT_EQ(w.Fg->textMatrix(1, 9), QStringLiteral("合计"));
  const int t = w.Fg->rows() - 1;
  ASSERT_TRUE(w.Fg->isTotalsRow(t));
  EXPECT_DOUBLE_EQ(w.Fg->number(t, 9), 11300.5) << "only 合计 is totalled";
  EXPECT_TRUE(w.Fg->textMatrix(t, 7).isEmpty());

  struct Case { int period; QString customer, staff, status; QStringList expected; };
  const Case cases[] = {{4, {}, {}, "忽略", {"D2", "D1", "D1"}}, {4, "张三", {}, "忽略", {"D1", "D1"}} /* an exact name */,
                        {4, "张", {}, "忽略", {}}, {4, {}, "王经办", "忽略", {"D2"}}, {4, {}, {}, "归还部分", {"D1"}},
                        {4, "O'Brien", {}, "忽略", {}}, {0, {}, {}, "忽略", {}}};
  for (const Case& c : cases) {
    w.comJd[0]->setCurrentIndex(c.period);
    w.comJd_Click(0);
    w.txtHk[0]->setText(c.customer);
    w.txtHk[1]->setText(c.staff);
    w.comJd[1]->setCurrentText(c.status);
    w.pbcHk_Click(frmDkhkjl::cmdQuery);
    EXPECT_EQ(docs(w), c.expected) << c.customer.toStdString() << c.staff.toStdString() << c.status.toStdString();
  }
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
}

TEST_F(RecordsTest, ARecordOutlivesItsPlanRowAndTheReceiptNeedsADataRow) {
  Db().Execute(QStringLiteral("delete from PJ_Hdjh where 单号='D2'"));
  frmDkhkjl w;
  w.Form_Load();
  EXPECT_EQ(docs(w), (QStringList{"D2", "D1"})) << "money received stays listed";

  std::vector<std::pair<int, QString>> printed;
  gShowLoanPrint = [&](QWidget*, int kind, const QString& key) { printed.emplace_back(kind, key); };
  for (int row : {0, 1, w.Fg->rows() - 1}) {
    w.Fg->setRow(row);
    w.pbcHk_Click(frmDkhkjl::cmdReceipt);
    w.pbcHk_Click(frmDkhkjl::cmdPrint);
  }
  EXPECT_TRUE(printed.empty());
  EXPECT_TRUE(modal_.shown.empty());
  w.Fg->setRow(2);
  w.pbcHk_Click(frmDkhkjl::cmdReceipt);
  gShowLoanPrint = nullptr;
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0].first, 4);
  EXPECT_EQ(printed[0].second, value(QStringLiteral("select max(编号) from PJ_Hkjl")).toString());

  w.pbcHk_Click(frmDkhkjl::cmdExport);
  EXPECT_EQ(QDir(appDir() + QStringLiteral("报表")).entryList({QStringLiteral("Hkmxr*.xlsx")}).size(), 1);
}

TEST_F(RecordsTest, TheCustomerPickerFillsTheFilter) {
  frmDkhkjl w;
  w.Form_Load();
  modal_.handlers.push_back([](QDialog* d) {
    auto* list = qobject_cast<frmKhgr*>(d);
    EXPECT_NE(list, nullptr);
    if (!list) return int(QDialog::Rejected);
    EXPECT_EQ(list->PickMode, frmKhgr::PickFilter);
    list->Picked = {frmKhgr::PickFilter, 1, QStringLiteral("张三丰")};
    return int(QDialog::Accepted);
  });
  w.txtHk_Click(0);
  EXPECT_EQ(w.txtHk[0]->text(), QStringLiteral("张三丰"));
  w.pbcHk_Click(frmDkhkjl::cmdQuery);
  EXPECT_EQ(docs(w), QStringList{"D2"});
  // Closing the picker leaves the filter as it was.
  w.txtHk_Click(0);
  EXPECT_EQ(w.txtHk[0]->text(), QStringLiteral("张三丰"));
}

class OlderRowsTest : public LoanRecordsFixture {};

// Rows an older version left with empty paid columns are repaid like any other: NULL counts as 0
// in the check that the row is still as read, and in the sums.
TEST_F(OlderRowsTest, ARowWithEmptyPaidColumnsIsRepaid) {
  addLoan({.docNo = QStringLiteral("D7"), .borrower = QStringLiteral("老客户")});
  const qint32 row = addPlanRow(QStringLiteral("D7"), 1, 10000, 10000, 300, QDate(2024, 1, 1), QDate(2024, 2, 1));
  Db().Execute(QStringLiteral("update PJ_Hdjh set 已还本金=null, 已还利息=null, 逾期手续费=null where 编号=?"), {row});
  Db().Execute(QStringLiteral("update PJ_Dkjl set 已还本金=null, 已还利息=null, 逾期利息=null where 单号=?"), {QStringLiteral("D7")});
  ASSERT_EQ(repay(row, 10000, 300, 12.5, QStringLiteral("已还"), QDate(2024, 2, 1)), RepaymentSaved::Saved);
  // Paid principal, interest and fee, then the status: of the plan row, then of the loan.
  const std::pair<QVariantList, const char*> read[] = {
      {Db().query(QStringLiteral("select 已还本金, 已还利息, 逾期手续费, 归还状态 from PJ_Hdjh where 编号=?"), {row}).rows.at(0), "已还"},
      {Db().query(QStringLiteral("select 已还本金, 已还利息, 逾期利息, 结算状态 from PJ_Dkjl where 单号=?"), {QStringLiteral("D7")}).rows.at(0), "已完结"}};
  const double paid[] = {10000, 300, 12.5};
  for (const auto& [values, status] : read) {
    SCOPED_TRACE(status);
    for (int i : {0, 1, 2}) EXPECT_DOUBLE_EQ(values[i].toDouble(), paid[i]);
    EXPECT_EQ(values[3].toString(), QString::fromUtf8(status));
  }
}

}  // namespace
