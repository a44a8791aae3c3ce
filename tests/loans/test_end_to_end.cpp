// A loan from its registration to its last repayment as a person takes it: registered, approved in
// the list, repaid on time, late and early from the loan view, and every sum reconciled with the
// journal.
#include "LoanFixture.h"
#include "loans/RepaymentCalc.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "loans/frmDkgh.h"
#include "loans/frmDkhk.h"
#include "loans/frmDkjl.h"
#include "loans/frmDktqhd.h"

namespace {

QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }

// Makes the data row whose column `col` reads `text` current; false when there is none.
bool selectText(Grid* g, int col, const QString& text) {
  for (int r = g->fixedRows(); r < g->rows(); ++r)
    if (!g->isTotalsRow(r) && g->textMatrix(r, col) == text) return g->setRow(r), true;
  return false;
}

TEST_F(LoanFormFixture, RegisteredApprovedRepaidOnTimeLateAndEarly) {
  gSystemSettings[3] = QStringLiteral("1");  // loans need approval
  auto form = newLoan(person(QStringLiteral("周九")));
  setTerms(*form, QStringLiteral("12000"), QStringLiteral("1.5"), true, D("2026-12-08"), D("2027-03-08"));
  answerPlan(3, true, D("2027-01-08"));
  responder_.answer(Mb::Yes);  // the first period a month after 起息日期, as the clerk chose
  click(form->pbCDkdj->at(LoanCalc::EqualPrincipalArrears));
  save(*form);
  const QString doc = form->单号;
  ASSERT_EQ(count(QStringLiteral("PJ_Hdjh"), QStringLiteral("单号=?"), {doc}), 3);
  const QueryResult plan = Db().query(QStringLiteral("select 编号,贷款本金,应还本金,应还利息,开始日期 from PJ_Hdjh where 单号=? order by 还贷期次"), {doc});
  const double overdueRate = field(QStringLiteral("逾期日利率"), QStringLiteral("PJ_Dkjl"), doc).toDouble();

  frmDkjl list;
  list.Form_Load();
  ASSERT_TRUE(selectText(list.Fg, 0, doc));
  responder_.answer(Mb::Yes);
  list.pbCJd_Click(frmDkjl::cmdApprove);
  ASSERT_TRUE(selectText(list.Fg, 0, doc));

  // The loan view, opened from the list, takes three payments: the first on its due date, the
  // second ten days late, the last early.
  modal_.shown.clear();
  auto pay = [this](frmDkhk* view, qint64 planId, int command, const QDate& day) {
    setNow(QDateTime(day, QTime(10, 0)));
    EXPECT_TRUE(selectText(view->Fg, 0, QString::number(planId)));
    modal_.handlers.push_back([this](QDialog* d) {
      auto* w = static_cast<RepaymentWindow*>(d);
      w->Form_Load();
      responder_.answer(Mb::Yes);
      w->pbCDkgh_Click(RepaymentWindow::cmdConfirm);
      return w->result();
    });
    view->pbCJkzl_Click(command);
  };
  modal_.handlers.push_back([&](QDialog* d) {
    auto* view = static_cast<frmDkhk*>(d);
    view->Form_Load();
    pay(view, plan.rows[0][0].toLongLong(), frmDkhk::cmdRepay, D("2027-02-08"));
    pay(view, plan.rows[1][0].toLongLong(), frmDkhk::cmdRepay, D("2027-03-18"));
    pay(view, plan.rows[2][0].toLongLong(), frmDkhk::cmdEarly, D("2027-03-25"));
    EXPECT_EQ(view->Fg3->dataRowCount(), 3);
    return int(QDialog::Rejected);
  });
  list.pbCJd_Click(frmDkjl::cmdView);
  EXPECT_EQ(modal_.shown, (std::vector<QString>{"frmDkhk", "frmDkgh", "frmDkgh", "frmDktqhd"}));

  const double lateFee = Money::round(plan.rows[1][1].toDouble() * 10 * overdueRate);
  const double earlyInterest =
      Money::round(plan.rows[2][1].toDouble() * D("2027-03-08").daysTo(D("2027-03-25")) * 0.0005);
  EXPECT_EQ(plan.rows[2][4].toString(), QStringLiteral("2027-03-08"));
  const double interest = plan.rows[0][3].toDouble() + plan.rows[1][3].toDouble() + earlyInterest;
  EXPECT_EQ(field(QStringLiteral("结算状态"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("已完结"));
  for (const auto& [column, paid] : {std::pair{"已还本金", 12000.0}, {"已还利息", interest}, {"逾期利息", lateFee}})
    EXPECT_NEAR(field(QString::fromUtf8(column), QStringLiteral("PJ_Dkjl"), doc).toDouble(), paid, 1e-9) << column;
  EXPECT_GT(lateFee, 0);
  // The journal: the principal out, everything received back in, and its running balance.
  EXPECT_NEAR(sum(QStringLiteral("金额"), QStringLiteral("PJ_Liushui"), doc), interest + lateFee, 1e-9);
  EXPECT_NEAR(sum(QStringLiteral("本金+利息+手续费"), QStringLiteral("PJ_Hkjl"), doc), 12000 + interest + lateFee, 1e-9);
  EXPECT_NEAR(Db().scalar(QStringLiteral("select 余额 from PJ_Liushui order by 编号 desc")).toDouble(), interest + lateFee, 1e-9);
  // And the list says the same.
  list.comJd[5]->setCurrentText(QStringLiteral("已完结"));
  list.刷新();
  ASSERT_TRUE(selectText(list.Fg, 0, doc));
  EXPECT_DOUBLE_EQ(list.Fg->number(list.Fg->row(), 9), 0) << "待还本金";
  EXPECT_DOUBLE_EQ(list.Fg->number(list.Fg->row(), 8), 12000 + interest) << "已还金额";
}

}  // namespace
