// The account picker: our accounts cascade from PJ_Yhzh, the counterparty comes from the opener,
// OK hands the choice back, closing chooses nothing.
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "LoanFixture.h"
#include "control/pbCommand.h"
#include "loans/frmXjyh.h"

namespace {
const QString kCyan = QStringLiteral("#00FFFF");

class AccountPickerTest : public LoanFixture {
 protected:
  void SetUp() override {
    LoanFixture::SetUp();
    ownAccount(QStringLiteral("工商银行"), QStringLiteral("示范公司"), QStringLiteral("6222-001"));
    ownAccount(QStringLiteral("工商银行"), QStringLiteral("示范公司"), QStringLiteral("6222-002"));
    ownAccount(QStringLiteral("工商银行"), QStringLiteral("王会计"), QStringLiteral("6222-003"));
    ownAccount(QStringLiteral("农业银行"), QStringLiteral("李出纳"), QStringLiteral("6228-001"));
    ownAccount(QStringLiteral("建设银行"), QStringLiteral("外单位"), QStringLiteral("6217-999"), 1);
    gBankInfo[3] = QStringLiteral("招商银行");
    gBankInfo[4] = QStringLiteral("张三");
    gBankInfo[5] = QStringLiteral("6214'%_01");
  }
};
}  // namespace

TEST_F(AccountPickerTest, OurSideCascadesFromOwnAccounts) {
  frmXjyh w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("记账"));
  // Only our own accounts are offered; the first bank, name and number are chosen at once.
  EXPECT_EQ(items(w.cmbJz[0]).size(), 2);
  EXPECT_FALSE(items(w.cmbJz[0]).contains(QStringLiteral("建设银行")));
  const int icbc = w.cmbJz[0]->findText(QStringLiteral("工商银行"));
  choose(w.cmbJz[0], icbc);
  EXPECT_EQ(items(w.cmbJz[2]), QStringList({QStringLiteral("示范公司"), QStringLiteral("王会计")}));
  EXPECT_EQ(w.cmbJz[2]->currentText(), QStringLiteral("示范公司"));
  EXPECT_EQ(items(w.cmbJz[3]), QStringList({QStringLiteral("6222-001"), QStringLiteral("6222-002")}));
  EXPECT_EQ(w.cmbJz[3]->currentText(), QStringLiteral("6222-001"));

  choose(w.cmbJz[2], 1);
  EXPECT_EQ(items(w.cmbJz[3]), QStringList({QStringLiteral("6222-003")}));

  // Another bank refills both dependent lists and selects their first items.
  choose(w.cmbJz[0], 1 - icbc);
  EXPECT_EQ(items(w.cmbJz[2]), QStringList({QStringLiteral("李出纳")}));
  EXPECT_EQ(items(w.cmbJz[3]), QStringList({QStringLiteral("6228-001")}));

  // The counterparty shows what the opener loaded, as text; its lists stay empty.
  EXPECT_EQ(w.cmbJz[1]->currentText(), QStringLiteral("招商银行"));
  EXPECT_EQ(w.cmbJz[4]->currentText(), QStringLiteral("张三"));
  EXPECT_EQ(w.cmbJz[5]->currentText(), QStringLiteral("6214'%_01"));
  EXPECT_EQ(w.cmbJz[1]->count(), 0);
}

TEST_F(AccountPickerTest, TransferNeedsAllThreeTextsOfEachSide) {
  struct Case {
    const char* what;
    int box;  // emptied before OK
    bool ourCash, theirCash;
    bool accepted;
  };
  const Case cases[] = {
      {"our number empty", 3, false, false, false},
      {"their name empty", 4, false, false, false},
      {"their bank empty but paid in cash", 1, false, true, true},
      {"our bank empty but paid in cash", 0, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    responder_.clear();
    frmXjyh w;
    w.cmbJz[c.box]->setEditText(QString());
    if (c.ourCash) w.optwf[1]->click();
    if (c.theirCash) w.optDf[1]->click();
    QTest::mouseClick(w.eButOK, Qt::LeftButton);
    EXPECT_EQ(w.result() == QDialog::Accepted, c.accepted);
    EXPECT_EQ(w.Chosen.has_value(), c.accepted);
    EXPECT_EQ(responder_.saw(QStringLiteral("信息填写不完整！")), !c.accepted);
    EXPECT_EQ(w.cmbJz[c.box]->styleSheet().contains(kCyan), !c.accepted);
  }
}

TEST_F(AccountPickerTest, CashDisablesASideAndRecordsCash) {
  frmXjyh w;
  w.optwf[1]->click();
  w.optDf[1]->click();
  for (int b : {0, 1, 2, 3, 4, 5}) EXPECT_FALSE(w.cmbJz[b]->isEnabled()) << b;
  w.optDf[0]->click();
  EXPECT_TRUE(w.cmbJz[5]->isEnabled());
  EXPECT_FALSE(w.cmbJz[3]->isEnabled());
  w.optDf[1]->click();
  QTest::mouseClick(w.eButOK, Qt::LeftButton);
  ASSERT_TRUE(w.Chosen);
  EXPECT_EQ(w.Chosen->ourBank, QStringLiteral("现金"));
  EXPECT_EQ(w.Chosen->ourAccount, QString());
  EXPECT_EQ(w.Chosen->theirBank, QStringLiteral("现金"));
  EXPECT_EQ(w.Chosen->theirName, QString());
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(AccountPickerTest, ChooseAccountsHandsTheChoiceBackOrNothing) {
  // OK: what the user typed on the counterparty's side is what gBankInfo receives.
  modal_.handlers.push_back([](QDialog* d) {
    auto* w = qobject_cast<frmXjyh*>(d);
    w->cmbJz[5]->setEditText(QStringLiteral("6214-777"));
    QTest::mouseClick(w->eButOK, Qt::LeftButton);
    return w->result();
  });
  const auto chosen = frmXjyh::ChooseAccounts(nullptr, frmXjyh::LoanRegistration);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(gBankInfo[50].toInt(), 1);
  EXPECT_EQ(gBankInfo[0].toString(), chosen->ourBank);
  EXPECT_FALSE(chosen->ourBank.isEmpty());
  EXPECT_EQ(gBankInfo[2].toString(), chosen->ourAccount);
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("招商银行"));
  EXPECT_EQ(gBankInfo[5].toString(), QStringLiteral("6214-777"));

  // Closed without OK (also after a refused OK): nothing is chosen and gBankInfo stays as it was.
  for (auto& v : gBankInfo) v = QStringLiteral("旧");
  modal_.handlers.push_back([](QDialog* d) {
    auto* w = qobject_cast<frmXjyh*>(d);
    w->cmbJz[3]->setEditText(QString());
    QTest::mouseClick(w->eButOK, Qt::LeftButton);
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(frmXjyh::ChooseAccounts(nullptr, frmXjyh::PaymentConfirmation));
  EXPECT_FALSE(frmXjyh::ChooseAccounts(nullptr, frmXjyh::PaymentConfirmation));  // no handler: closed at once
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(gBankInfo[i].toString(), QStringLiteral("旧")) << i;
  EXPECT_EQ(gBankInfo[50].toInt(), 6);
}

TEST_F(AccountPickerTest, InUseOnlyWhenSettingFiveIsOne) {
  const std::pair<QString, bool> cases[] = {{QStringLiteral("1"), true},  {QStringLiteral("0"), false}, {QString(), false},
                                            {QStringLiteral("2"), false}, {QStringLiteral("1.0"), true}};
  for (const auto& [value, on] : cases) {
    gSystemSettings[5] = value;
    EXPECT_EQ(frmXjyh::InUse(), on) << value.toStdString();
  }
}

TEST_F(AccountPickerTest, NoOwnAccountsLeavesOurSideToType) {
  Db().Execute(QStringLiteral("delete from PJ_Yhzh"));
  frmXjyh w;
  EXPECT_EQ(w.cmbJz[0]->count(), 0);
  QTest::mouseClick(w.eButOK, Qt::LeftButton);
  EXPECT_FALSE(w.Chosen);
  w.cmbJz[0]->setEditText(QStringLiteral("邮储银行"));
  w.cmbJz[2]->setEditText(QStringLiteral("示范公司"));
  w.cmbJz[3]->setEditText(QStringLiteral("6210"));
  QTest::mouseClick(w.eButOK, Qt::LeftButton);
  ASSERT_TRUE(w.Chosen);
  EXPECT_EQ(w.Chosen->ourBank, QStringLiteral("邮储银行"));
  EXPECT_EQ(w.Chosen->ourAccount, QStringLiteral("6210"));
}

// Every box the picker fills shows the start of its text, the counterparty's long name and number
// and our own account's too.
TEST_F(AccountPickerTest, FilledBoxesShowTheStartOfTheirTexts) {
  Db().Execute(QStringLiteral("delete from PJ_Yhzh"));
  ownAccount(QStringLiteral("中国工商银行股份有限公司北京王府井大街支行营业部"), QStringLiteral("欧阳诸葛慕容上官民间借贷有限公司"),
             QStringLiteral("6222020200112233445566"));
  gBankInfo[3] = QStringLiteral("中国建设银行股份有限公司上海浦东新区世纪大道支行");
  gBankInfo[4] = QStringLiteral("欧阳诸葛慕容上官司马东方皇甫尉迟");
  gBankInfo[5] = QStringLiteral("6217000010002000300040005");
  frmXjyh w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  int cut = 0;
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    QLineEdit* edit = w.cmbJz[i]->lineEdit();
    ASSERT_NE(edit, nullptr);
    if (edit->fontMetrics().horizontalAdvance(edit->text()) > edit->width()) ++cut;
    edit->repaint();
    EXPECT_EQ(edit->cursorPosition(), 0);
    EXPECT_LT(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 10);
  }
  EXPECT_GE(cut, 2) << "the test needs texts longer than their boxes";
}
