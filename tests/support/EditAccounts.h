#pragma once
// An edit of a registration keeps its journal rows' accounts: the same cases for loans and
// financing. Rows saved with 现金, with bank accounts and with none; 记账 on and off; accepted as
// shown or changed by the user. The picker must open on the rows' own accounts (现金 as 现金结算),
// and the kept rows change only when the user changed what was shown.
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include <array>
#include <functional>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/SettingsList.h"
#include "control/pbCommand.h"
#include "loans/frmXjyh.h"

struct EditAccountsSubject {
  // Saves a new document whose save writes two journal rows (principal and prepaid interest).
  std::function<QString()> saveNew;
  // Opens the document in its registration window, changes its amount and plan, and saves;
  // returns whether the window saved.
  std::function<bool(const QString& docNo)> editAmountAndSave;
};

inline void ExpectEditsKeepJournalAccounts(ModalScript& modal, const EditAccountsSubject& subject) {
  using Side = std::array<QString, 3>;
  Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,'6222-001',0)"),
               {QStringLiteral("工商银行"), QStringLiteral("示范公司")});
  Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,'6228-001',0)"),
               {QStringLiteral("农业银行"), QStringLiteral("李出纳")});
  const Side cash = {QStringLiteral("现金"), QString(), QString()};
  const Side ourBank = {QStringLiteral("农业银行"), QStringLiteral("李出纳"), QStringLiteral("6228-001")};
  const Side theirBank = {QStringLiteral("招商银行"), QStringLiteral("对方户名"), QStringLiteral("6214-0001")};
  const Side none = {QString(), QString(), QString()};
  const Side icbc = {QStringLiteral("工商银行"), QStringLiteral("示范公司"), QStringLiteral("6222-001")};
  struct Case {
    const char* what;
    bool picker;
    Side ours, theirs;
    bool change;  // the user picks 工商银行 for our side
  };
  const Case cases[] = {
      {"cash, picker off", false, cash, cash, false},
      {"bank, picker off", false, ourBank, theirBank, false},
      {"cash, picker accepted", true, cash, cash, false},
      {"bank, picker accepted", true, ourBank, theirBank, false},
      {"none, picker: our bank chosen", true, none, theirBank, true},
      {"bank, picker: our bank changed", true, ourBank, theirBank, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gSystemSettings[5] = QStringLiteral("0");
    const QString doc = subject.saveNew();
    Db().Execute(QStringLiteral("update PJ_Liushui set 我方开户行=?,我方开户名=?,我方账号=?,对方开户行=?,对方开户名=?,对方账号=? where 单号=?"),
                 {c.ours[0], c.ours[1], c.ours[2], c.theirs[0], c.theirs[1], c.theirs[2], doc});
    gSystemSettings[5] = c.picker ? QStringLiteral("1") : QStringLiteral("0");
    modal.shown.clear();
    std::array<QString, 6> shown;
    std::array<bool, 2> shownCash{};
    modal.handlers.push_back([&](QDialog* d) {
      auto* p = qobject_cast<frmXjyh*>(d);
      for (int b = 0; b < 6; ++b) shown[static_cast<size_t>(b)] = p->cmbJz[b]->currentText();
      shownCash = {p->optwf[1]->isChecked(), p->optDf[1]->isChecked()};
      if (c.change) {
        const int icbcIndex = p->cmbJz[0]->findText(QStringLiteral("工商银行"));
        p->cmbJz[0]->setCurrentIndex(icbcIndex);
        emit p->cmbJz[0]->activated(icbcIndex);
      }
      QTest::mouseClick(p->eButOK, Qt::LeftButton);
      return p->result();
    });
    ASSERT_TRUE(subject.editAmountAndSave(doc));
    EXPECT_EQ(!modal.shown.empty(), c.picker);
    if (!c.picker) modal.handlers.clear();
    if (c.picker) {
      EXPECT_EQ(shownCash[0], c.ours == cash);
      EXPECT_EQ(shownCash[1], c.theirs == cash);
      const Side ourShown = {shown[0], shown[2], shown[3]}, theirShown = {shown[1], shown[4], shown[5]};
      EXPECT_EQ(ourShown, c.ours == cash ? none : c.ours);
      EXPECT_EQ(theirShown, c.theirs == cash ? none : c.theirs);
    }
    const Side expectedOurs = c.change ? icbc : c.ours;
    const QueryResult rows =
        Db().query(QStringLiteral("select 我方开户行,我方开户名,我方账号,对方开户行,对方开户名,对方账号 from PJ_Liushui where 单号=?"), {doc});
    ASSERT_EQ(rows.rows.size(), 2u);
    for (const QVariantList& r : rows.rows) {
      EXPECT_EQ((Side{VariantText(r[0]), VariantText(r[1]), VariantText(r[2])}), expectedOurs);
      EXPECT_EQ((Side{VariantText(r[3]), VariantText(r[4]), VariantText(r[5])}), c.theirs);
    }
  }
}
