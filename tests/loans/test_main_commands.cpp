// The main window's loan commands and toolbar buttons: each opens its window after its right check.
#include "LoanRecordsFixture.h"
#include "app/frmMain.h"
#include "app/services/LoginState.h"

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

}  // namespace
