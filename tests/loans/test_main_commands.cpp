// The main window's loan commands and toolbar buttons: each opens its window after its right check.
#include "LoanRecordsFixture.h"
#include "shell/frmMain.h"
#include "app/services/LoginState.h"
#include "app/data/DataAccess.h"
#include "loans/LoanRecords.h"
#include "loans/frmDkhk.h"
#include "loans/frmDkjl.h"
#include "loans/frmMenu.h"
#include "platform/Grid.h"

namespace {

class MainCommandsTest : public LoanRecordsFixture {};

TEST_F(MainCommandsTest, LoanWindowsOpenAfterTheirRights) {
  frmMain main;
  struct Case {
    const char* command;
    int toolbar;
    const char* right;
    const char* window;
  };
  const Case cases[] = {{"mnu_jddj", 0, "增加借贷登记", "frmDkjl"},
                        {"mnu_ckrc", 1, "催款日程", "frmCkrc"},
                        {"mnu_hkjl", 2, "回款明细", "frmDkhkjl"}};
  for (const Case& c : cases) {
    // Without the right: refused, nothing opens, by menu or toolbar.
    loginAsClerk(QStringLiteral("个人客户"), QStringLiteral("综合部"));
    responder_.clear();
    modal_.shown.clear();
    main.RunCommand(QString::fromUtf8(c.command));
    main.pbMnu_Click(c.toolbar);
    EXPECT_EQ(responder_.texts(), (QStringList{"权限不足！", "权限不足！"})) << c.command;
    EXPECT_TRUE(modal_.shown.empty()) << c.command;
    // With it: both open the window.
    loginAsClerk(QString::fromUtf8(c.right), QStringLiteral("综合部"));
    main.RunCommand(QString::fromUtf8(c.command));
    main.pbMnu_Click(c.toolbar);
    EXPECT_EQ(modal_.shown, (std::vector<QString>{QString::fromUtf8(c.window), QString::fromUtf8(c.window)})) << c.command;
  }
}

TEST_F(MainCommandsTest, TheShellHandsTheLoanWindowsTheirPrintingSmsAndPaymentWindows) {
  frmMain main;
  addLoan({.docNo = QStringLiteral("D1"), .registered = QDate(2024, 3, 1)});
  const qint32 row = addPlanRow(QStringLiteral("D1"), 1, 10000, 10000, 300, QDate(2024, 1, 1), QDate(2024, 3, 1));
  frmDkjl list(&main);
  list.Form_Load();
  ASSERT_TRUE(selectRow(list.Fg, 0, QStringLiteral("D1")));
  list.pbCJd_Click(frmDkjl::cmdVoucher);
  list.pbCJd_Click(frmDkjl::cmdSms);
  EXPECT_EQ(modal_.shown, (std::vector<QString>{QStringLiteral("frmPrintFr3"), QStringLiteral("frmMsmFr")}));
  // The view's receipt of a repayment record.
  RepaymentEntry e;
  e.planId = row;
  e.principal = 100;
  e.status = QStringLiteral("归还部分");
  e.date = QDate(2024, 3, 1);
  e.seen = ReadInstalmentRow(e.planId);
  ASSERT_EQ(SaveRepayment(e), RepaymentSaved::Saved);
  frmDkhk view(&main);
  view.DocNo = QStringLiteral("D1");
  view.Form_Load();
  view.Fg3->setRow(view.Fg3->fixedRows());
  modal_.shown.clear();
  view.pbCJkzl_Click(frmDkhk::cmdReceipt);
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmPrintFr3")});
  // The payment calendar's popup into a financing record.
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号,客户名称,业务状态) values ('C1',?,?)"), {QStringLiteral("赵敏"), QStringLiteral("已审核")});
  frmMenu menu(&main);
  menu.Mode = QStringLiteral("支付");
  Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,客户名称,应付本金,应付利息,结算状态,约定支付日期) values ('C1',?,100,1,?,'2024-03-10')"), {QStringLiteral("赵敏"), QStringLiteral("未付")});
  menu.支付日程_点击Fg(QString::number(Db().lastInsertId()));
  modal_.shown.clear();
  menu.mnu_lss_Click(0);
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmRzLxzf")});
}

}  // namespace
