// The party lists as pickers: each pick mode hands the confirmed row to a stand-in for its opener
// (loan registration, repayment records, financing registration, payment records), which runs its
// own hand-back; and the main window's menu opens each list.
#include "PartyFixture.h"
#include "app/services/LoginState.h"
#include "shell/frmMain.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmTzr.h"

namespace {

class PickTest : public PartyFixture {
 protected:
  // Shows the list modally in `mode` as the openers do; `user` acts on it while it is open. Returns
  // the modal result; the handed-back row is in picked_.
  template <class List>
  int open(qint16 mode, const std::function<void(List&)>& user) {
    List w;
    w.PickMode = mode;
    modal_.handlers.push_back([&user](QDialog* d) {
      auto* list = qobject_cast<List*>(d);
      EXPECT_NE(list, nullptr);
      if (!list) return 0;
      list->Form_Load();
      user(*list);
      return list->result();
    });
    const int r = RunModal(&w);
    EXPECT_EQ(w.PickMode, 0) << "back to 0 when the list closes";
    picked_ = w.Picked;
    return r;
  }
  // The user confirms the row of `id` in 浏览.
  template <class List>
  static std::function<void(List&)> confirmRow(qint32 id) {
    return [id](List& w) {
      clickRow(w, id);
      confirm(w);
    };
  }
  PartyPick picked_;
};

// Stands for the loan registration: its keys and the procedures its hand-back runs.
struct LoanRegistration {
  qint32 CustomerId = 0;
  qint32 PickedPartyId = 0;
  QStringList calls;
  void 取客户资料() {
    calls << QStringLiteral("取客户资料");
    // It refuses a frozen borrower after the list has closed.
    MsgBox(QStringLiteral("该用户有未完结借款，临时被冻结。"), Mb::Critical);
  }
  void 保证人() { calls << QStringLiteral("保证人"); }
  void 企业担保() { calls << QStringLiteral("企业担保"); }
  void handBack(const PartyPick& p, bool company) {
    if (p.mode == 1) {
      CustomerId = p.id;
      取客户资料();
    } else {
      PickedPartyId = p.id;
      company ? 企业担保() : 保证人();
    }
  }
};

TEST_F(PickTest, PersonAsBorrowerAsGuarantorAndAsRepaymentFilter) {
  person(QStringLiteral("张三"), QStringLiteral("ZS"));
  const qint32 id = person(QStringLiteral("O'Neil 赵"), QStringLiteral("ONZ"));
  LoanRegistration reg;
  ASSERT_EQ(open<frmKhgr>(frmKhgr::PickBorrower, confirmRow<frmKhgr>(id)), QDialog::Accepted);
  reg.handBack(picked_, false);
  EXPECT_EQ(reg.CustomerId, id);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("该用户有未完结借款，临时被冻结。")});

  // A double click picks too.
  ASSERT_EQ(open<frmKhgr>(frmKhgr::PickGuarantor, [id](frmKhgr& w) {
    w.Fg->setRow(rowOf(w, id));
    w.Fg_DblClick();
  }), QDialog::Accepted);
  reg.handBack(picked_, false);
  EXPECT_EQ(reg.PickedPartyId, id);
  EXPECT_EQ(reg.calls, (QStringList{QStringLiteral("取客户资料"), QStringLiteral("保证人")}));

  ASSERT_EQ(open<frmKhgr>(frmKhgr::PickFilter, confirmRow<frmKhgr>(id)), QDialog::Accepted);
  EXPECT_EQ(picked_.mode, frmKhgr::PickFilter);
  EXPECT_EQ(picked_.name, QStringLiteral("O'Neil 赵"));
}

TEST_F(PickTest, NothingIsHandedBackWithoutAPickModeOrADataRow) {
  const qint32 id = person(QStringLiteral("张三"), QStringLiteral("ZS"));
  // From the menu, 确定 in 浏览 does nothing and the window stays open until 退出.
  EXPECT_EQ(open<frmKhgr>(0, [id](frmKhgr& w) {
    clickRow(w, id);
    confirm(w);
    EXPECT_EQ(w.result(), 0) << "still open";
    w.eCmdzx_Click(PartyListBase::cmdExit);
  }), QDialog::Rejected);
  // A search that lists no one leaves nothing to pick.
  EXPECT_EQ(open<frmKhgr>(frmKhgr::PickBorrower, [](frmKhgr& w) {
    w.txtCzxx->setText(QStringLiteral("nobody"));
    confirm(w);
    EXPECT_EQ(w.result(), 0) << "still open";
    w.eCmdzx_Click(PartyListBase::cmdExit);
  }), QDialog::Rejected);
  EXPECT_EQ(picked_.id, 0);
}

TEST_F(PickTest, PersonAddedInPickModeCanBePickedAtOnce) {
  person(QStringLiteral("张三"), QStringLiteral("ZS"));
  ASSERT_EQ(open<frmKhgr>(frmKhgr::PickBorrower, [](frmKhgr& w) {
    option(w, PartyListBase::optAdd);
    w.txtZX.at(0)->setText(QStringLiteral("新人"));
    for (int i : {3, 5, 6, 8, 10, 13}) w.txtZX.at(i)->setText(QStringLiteral("1"));
    confirm(w);
    EXPECT_TRUE(w.optGn[PartyListBase::optBrowse]->isChecked());
    confirm(w);
  }), QDialog::Accepted);
  EXPECT_EQ(picked_.id, Db().scalar(QStringLiteral("select 编号 from PJ_Kehu where 姓名=?"), {QStringLiteral("新人")}).toInt());
}

TEST_F(PickTest, CompanyAsBorrowerAndAsGuaranteeUnderTheQuoteCaption) {
  const qint32 a = company(QStringLiteral("甲公司"), QStringLiteral("JGS"));
  const qint32 b = company(QStringLiteral("乙公司"), QStringLiteral("YGS"));
  LoanRegistration reg;
  ASSERT_EQ(open<frmKhgs>(frmKhgs::PickBorrower, [b](frmKhgs& w) {
    EXPECT_EQ(w.eCmdzx->at(0)->Caption(), QStringLiteral("引用(&R)"));
    clickRow(w, b);
    confirm(w);
  }), QDialog::Accepted);
  reg.handBack(picked_, true);
  ASSERT_EQ(open<frmKhgs>(frmKhgs::PickGuarantee, confirmRow<frmKhgs>(a)), QDialog::Accepted);
  reg.handBack(picked_, true);
  EXPECT_EQ(reg.CustomerId, b);
  EXPECT_EQ(reg.PickedPartyId, a);
  EXPECT_EQ(reg.calls, (QStringList{QStringLiteral("取客户资料"), QStringLiteral("企业担保")}));
}

TEST_F(PickTest, InvestorForFinancingAndForPaymentRecords) {
  const qint32 a = investor(QStringLiteral("钱七"), QStringLiteral("QQ"));
  const qint32 b = investor(QStringLiteral("孙八"), QStringLiteral("SB"));
  ASSERT_EQ(open<frmTzr>(frmTzr::PickFinancing, confirmRow<frmTzr>(b)), QDialog::Accepted);
  EXPECT_EQ(picked_.id, b);
  EXPECT_EQ(picked_.name, QStringLiteral("孙八"));
  ASSERT_EQ(open<frmTzr>(frmTzr::PickFilter, confirmRow<frmTzr>(a)), QDialog::Accepted);
  EXPECT_EQ(picked_.mode, frmTzr::PickFilter);
  EXPECT_EQ(picked_.name, QStringLiteral("钱七"));

  // Without a pick mode 确定 closes the investor list; in pick mode without a data row it stays.
  EXPECT_EQ(open<frmTzr>(0, confirmRow<frmTzr>(a)), QDialog::Rejected);
  EXPECT_EQ(picked_.id, 0);
  open<frmTzr>(frmTzr::PickFinancing, [](frmTzr& w) {
    w.txtCzxx->setText(QStringLiteral("ZZZ"));
    confirm(w);
    EXPECT_EQ(w.result(), 0) << "still open";
    w.eCmdzx_Click(PartyListBase::cmdExit);
  });
}

TEST_F(PickTest, MainMenuOpensEachListAfterItsRight) {
  frmMain main;
  for (const char* name : {"mnu_grkh", "mnu_qykh", "mnu_tzr"}) main.RunCommand(QString::fromLatin1(name));
  EXPECT_EQ(modal_.shown, (std::vector<QString>{"frmKhgr", "frmKhgs", "frmTzr"}));
  gCurrentUserRole = 0;
  gCurrentUserRights = QStringLiteral("企业客户,投资人");
  main.RunCommand(QStringLiteral("mnu_grkh"));
  EXPECT_EQ(modal_.shown.size(), 3u);
  EXPECT_TRUE(responder_.saw(QStringLiteral("权限不足！")));
}

}  // namespace
