// The registration form as a user drives it: plans from the buttons and the plan dialog, the save
// with its prepaid record and journal rows, edits, bad input and the close question.
#include <QTest>

#include "EditAccounts.h"
#include "FinancingFixture.h"
#include "app/services/DocumentClaim.h"
#include "app/data/ConnectionSettings.h"
#include "app/services/BookStart.h"
#include "app/services/LoginState.h"
#include "financing/frmRzdjB.h"
#include "financing/frmrzZfjh.h"
#include "loans/AttachmentCopies.h"
#include "loans/LoanStore.h"
#include "platform/Grid.h"
#include "parties/frmTzr.h"
#include "parties/frmYg.h"

namespace {

class Registration : public FinancingFixture {
 protected:
  // A new form with the investor and the handler picked and the given amount and dates.
  void fill(frmRzdjB& w, const char* amount = "100000", const char* end = "2024-03-31") {
    w.Form_Load();
    w.InvestorId = investor_;
    w.txtDkdj[2]->setText(S("王投资"));
    w.txtDkdj[3]->setText(S("李经办"));
    w.HandlerDept = S("综合部");
    w.txtDkdj[0]->setText(S(amount));
    w.dtpDjrq[2]->setDateValue(D(end));
  }
  static void openEdit(frmRzdjB& w, const QString& doc) {
    w.EditDocNo = doc;
    w.Form_Load();
  }
  static QString recordText(const char* column, const QString& doc) {
    return text(S("select %1 from PJ_Cjjl where 单号=?").arg(S(column)), {doc});
  }
  static double recordNumber(const char* column, const QString& doc) {
    return number(S("select %1 from PJ_Cjjl where 单号=?").arg(S(column)), {doc});
  }
  static void expectEmpty(std::initializer_list<const char*> tables) {
    for (const char* t : tables) EXPECT_EQ(count(S(t)), 0) << t;
  }
  // Every row of `tables`, to compare before and after a refused save.
  static QStringList everything(std::initializer_list<const char*> tables) {
    QStringList out;
    for (const char* table : tables)
      for (const auto& row : Db().query(S("select * from ") + S(table) + S(" order by 编号")).rows) {
        QStringList cells;
        for (const QVariant& v : row) cells << v.toString();
        out << cells.join(QLatin1Char('|'));
      }
    return out;
  }
  // The plan dialog answered with count, unit index and first date.
  void answerDialog(int count, int unitIndex, const char* first) {
    modal_.handlers.push_back([=](QDialog* d) {
      auto* dlg = qobject_cast<frmrzZfjh*>(d);
      EXPECT_NE(dlg, nullptr);
      if (!dlg) return 0;
      dlg->Combo2->setCurrentIndex(count - 1);
      dlg->Combo1->setCurrentIndex(unitIndex);
      dlg->DTPicker1->setDate(D(first));
      dlg->pbCommand1_Click();
      return dlg->result();
    });
  }
};

TEST_F(Registration, AnEarlierDocumentMovesTheBookStartBack) {
  const auto book = [] {
    return VariantText(Db().scalar(QStringLiteral("select 建账日期 from PJ_Jq where 机器ID=?"), {static_cast<int>(gMachineId)}));
  };
  Db().Execute(QStringLiteral("update PJ_Jq set 建账日期='2024-03-10' where 机器ID=?"), {static_cast<int>(gMachineId)});
  gBookStartDate = QStringLiteral("2024-03-10");
  int told = 0;
  SetBookStartListener([&told] { ++told; });
  struct Case {
    const char *registered, *start;
    const char* book;  // afterwards, on the workstation and in the program
    int told;          // status bar refreshes so far
  };
  const Case cases[] = {{"2024-03-15", "2024-03-15", "2024-03-10", 0},
                        {"2024-03-05", "2024-02-20", "2024-02-20", 1},
                        {"2024-01-31", "2024-02-01", "2024-01-31", 2},
                        {"2024-02-10", "2024-02-10", "2024-01-31", 2}};
  for (const Case& c : cases) {
    FinancingTerms t = terms();
    t.登记日期 = D(c.registered);
    t.起息日期 = D(c.start);
    record(btn一次性支付本息, t);
    EXPECT_EQ(book(), S(c.book)) << c.registered;
    EXPECT_EQ(gBookStartDate, S(c.book));
    EXPECT_EQ(told, c.told);
  }
  SetBookStartListener({});
}

TEST_F(Registration, NewDocumentWithPrepaidInterestEndToEnd) {
  frmRzdjB w;
  fill(w);
  EXPECT_TRUE(w.DocNo.startsWith(S("C00100012024030")));
  EXPECT_EQ(w.txtDkdj[1]->text(), S("0.1000"));
  EXPECT_EQ(w.txtDkdj[6]->text(), S("0.0750"));
  w.pbCDkdj_Click(btn一次性先付利息);
  // 100000 x 30 days x 0.1 % = 3000, paid out at registration; the plan waits in the window.
  ASSERT_EQ(w.Plan.rows.size(), 2u);
  EXPECT_EQ(count(S("PJ_Cjzfjh")), 0);
  EXPECT_EQ(w.Fg->dataRowCount(), 3) << "two plan rows and the totals row";
  EXPECT_TRUE(w.Fg->isTotalsRow(w.Fg->rows() - 1));
  w.pbCDkgh_Click(0);
  EXPECT_TRUE(responder_.saw(S("保存成功！")));
  EXPECT_EQ(w.result(), QDialog::Accepted);
  const QString doc = w.DocNo;
  EXPECT_EQ(recordText("支付计划", doc), S("一次性先付利息"));
  EXPECT_DOUBLE_EQ(recordNumber("已付利息", doc), 3000);
  EXPECT_DOUBLE_EQ(recordNumber("利息", doc), 3000);
  EXPECT_EQ(recordText("业务状态", doc), S("已审核"));
  EXPECT_EQ(recordText("结算状态", doc), S("未付"));
  EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=? and 备注=? and 利息=3000 and 本金=0"), {doc, S("提前支取利息")}), 1);
  EXPECT_EQ(journal(doc), (std::vector<std::pair<QString, double>>{{S("拆借本金收入"), 100000}, {S("拆借利息支出"), -3000}}));
  // Without the account picker the counterparty is the investor, our side empty.
  EXPECT_EQ(text(S("select 对方账号 from PJ_Liushui where 单号=? and 摘要=?"), {doc, S("拆借利息支出")}), S("6222000011112222"));
  EXPECT_EQ(text(S("select coalesce(我方账号,'') from PJ_Liushui where 单号=? and 摘要=?"), {doc, S("拆借利息支出")}), QString());
  expectBalancesRun();
}

TEST_F(Registration, InvestorAndHandlerComeFromTheirLists) {
  frmRzdjB w;
  w.Form_Load();
  modal_.handlers.push_back([this](QDialog* d) {
    auto* list = qobject_cast<frmTzr*>(d);
    EXPECT_EQ(list->PickMode, frmTzr::PickFinancing);
    list->Form_Load();
    const int r = rowWith(list->Fg, 0, QString::number(investor_));
    EXPECT_GE(r, 0);
    list->Fg->setRow(r);
    list->Fg_Click();
    list->eCmdzx_Click(PartyListBase::cmdOk);
    return list->result();
  });
  w.txtDkdj_Click(2);
  EXPECT_EQ(w.InvestorId, investor_);
  EXPECT_EQ(w.txtDkdj[2]->text(), S("王投资"));
  // Typing cannot name another investor than the one picked.
  EXPECT_TRUE(w.txtDkdj[2]->isReadOnly());
  modal_.handlers.push_back([](QDialog* d) {
    auto* list = qobject_cast<frmYg*>(d);
    EXPECT_EQ(list->PickMode, 4);
    list->Form_Load();
    list->Fg->setRow(list->Fg->fixedRows());
    list->Fg_DblClick();
    return list->result();
  });
  w.txtDkdj_Click(3);
  EXPECT_EQ(w.txtDkdj[3]->text(), S("管理员"));
  EXPECT_FALSE(w.HandlerDept.isEmpty());
}

TEST_F(Registration, ApprovalSettingDecidesTheNewStatus) {
  for (const char* slot : {"0", "1"}) {
    gSystemSettings[4] = S(slot);
    const QString doc = record(btn一次性支付本息, terms());
    EXPECT_EQ(recordText("业务状态", doc), S(slot) == S("0") ? S("已审核") : S("未审核"));
  }
}

TEST_F(Registration, EditSavedManyTimesKeepsOneSetOfRows) {
  const QString doc = record(btn一次性先付利息, terms());
  const QString other = record(btn一次性支付本息, terms(5000));  // a later journal row of another record
  for (int i = 0; i < 3; ++i) {
    frmRzdjB w;
    openEdit(w, doc);
    EXPECT_EQ(w.InvestorId, investor_);
    EXPECT_EQ(w.txtDkdj[1]->text(), S("0.1000"));
    w.txtDkdj[5]->setText(S("第%1次修改").arg(i + 1));
    w.pbCDkgh_Click(0);
    ASSERT_TRUE(responder_.saw(S("保存成功！")));
    responder_.clear();
  }
  EXPECT_EQ(count(S("PJ_Cjjl where 单号=?"), {doc}), 1);
  EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=?"), {doc}), 1);
  EXPECT_EQ(journal(doc).size(), 2u);
  EXPECT_EQ(recordText("备注", doc), S("第3次修改"));
  EXPECT_EQ(recordText("支付计划", doc), S("一次性先付利息"));
  EXPECT_DOUBLE_EQ(recordNumber("已付利息", doc), 3000);
  EXPECT_EQ(journal(other).size(), 1u);
  expectBalancesRun();
}

TEST_F(Registration, InstalmentPlanThroughTheDialog) {
  frmRzdjB w;
  fill(w, "90000");
  // Monthly periods on a daily rate: the question comes first; No builds nothing.
  answerDialog(3, 1, "2024-03-31");
  responder_.answer(Mb::No);
  w.pbCDkdj_Click(btn等额本金后付);
  EXPECT_TRUE(responder_.saw(S("利率类别将改为月，利率不变，是否继续？")));
  EXPECT_TRUE(w.Plan.rows.empty());
  answerDialog(3, 1, "2024-03-31");
  responder_.answer(Mb::Yes);
  responder_.answer(Mb::Yes);  // then the first date of the clerk's own
  w.pbCDkdj_Click(btn等额本金后付);
  ASSERT_EQ(w.Plan.rows.size(), 3u);
  EXPECT_EQ(w.comJkzl[1]->currentText(), S("月"));
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-06-30"));
  EXPECT_EQ(w.PlanKind, S("等额本金 - 后付"));
  // 0.1 % a month on 90000, 60000, 30000.
  EXPECT_DOUBLE_EQ(w.Plan.rows[0].应付利息 + w.Plan.rows[1].应付利息 + w.Plan.rows[2].应付利息, 180);
  // Closing the dialog keeps the plan that stands.
  w.pbCDkdj_Click(btn等额本息);
  EXPECT_EQ(w.Plan.rows.size(), 3u);
  w.pbCDkgh_Click(0);
  EXPECT_TRUE(responder_.saw(S("保存成功！")));
  EXPECT_DOUBLE_EQ(number(S("select sum(应付利息) from PJ_Cjzfjh where 单号=?"), {w.DocNo}), 180);
  EXPECT_DOUBLE_EQ(recordNumber("本金", w.DocNo), 90000);
  EXPECT_EQ(recordText("利率类别", w.DocNo), S("月"));
}

TEST_F(Registration, BadInputSaysWhyAndWritesNothing) {
  struct Case {
    const char* message;
    std::function<void(frmRzdjB&)> change;
    bool save;  // the save button, else the first plan button
  };
  const std::vector<Case> cases = {
      {"客户名称不能为空！", [](frmRzdjB& w) { w.txtDkdj[2]->clear(); }, false},
      {"借款金额输入不合法！", [](frmRzdjB& w) { w.txtDkdj[0]->setText(S("1,000")); }, false},
      {"借款金额输入不合法！", [](frmRzdjB& w) { w.txtDkdj[0]->setText(S("0")); }, false},
      {"利率输入不合法！", [](frmRzdjB& w) { w.txtDkdj[1]->clear(); }, false},
      {"提成比例输入不合法！", [](frmRzdjB& w) { w.txtDkdj[4]->setText(S("abc")); }, false},
      {"业务经办不能为空！", [](frmRzdjB& w) { w.txtDkdj[3]->clear(); }, true},
      {"提前支取利率输入不合法！", [](frmRzdjB& w) { w.txtDkdj[6]->setText(S("1.2.3")); }, false},
      {"请先选择投资人！", [](frmRzdjB& w) { w.InvestorId = 0; }, false},
      {"止息日期必须晚于起息日期！", [](frmRzdjB& w) { w.dtpDjrq[2]->setDateValue(D("2024-02-28")); }, false},
      {"还没有添加拆借计划！", [](frmRzdjB&) {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    responder_.clear();
    frmRzdjB w;
    fill(w);
    c.change(w);
    c.save ? w.pbCDkgh_Click(0) : w.pbCDkdj_Click(btn一次性支付本息);
    ASSERT_FALSE(responder_.messages.empty());
    EXPECT_EQ(responder_.messages.front().text, S(c.message));
    expectEmpty({"PJ_Cjzfjh", "PJ_Cjjl", "PJ_Liushui"});
  }
  // A changed amount after the plan needs a new plan.
  responder_.clear();
  frmRzdjB w;
  fill(w);
  w.pbCDkdj_Click(btn一次性支付本息);
  w.txtDkdj[0]->setText(S("120000"));
  w.pbCDkgh_Click(0);
  EXPECT_TRUE(responder_.saw(S("拆借金额、利率或日期已改变，请重新生成支付计划！")));
  EXPECT_EQ(count(S("PJ_Cjjl")), 0);
}

// Each date box is named by the label beside it, also the end date, which shares its cell with the
// term list; a typed date that is no date says so with that name and keeps the old date.
TEST_F(Registration, ADateTypedWrongNamesItsBox) {
  frmRzdjB w;
  fill(w);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const std::pair<int, const char*> boxes[] = {{0, "登记日期"}, {1, "起息日"}, {2, "止息日"}};
  for (const auto& [index, label] : boxes) {
    SCOPED_TRACE(label);
    DateBox* box = w.dtpDjrq[index];
    EXPECT_EQ(box->label(), S(label));
    const QDate before = box->date();
    responder_.clear();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, S("2026-13-45"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(responder_.texts(), QStringList{S(label) + S("输入不合法！")});
    EXPECT_EQ(box->date(), before);
  }
}

// The amount box takes at most two decimals as typed; the checks and the save read what it shows.
TEST_F(Registration, TheTypedAmountIsTheAmountSaved) {
  struct Case {
    const char *keys, *shown;
    const char* message;  // the refusal, or nullptr for a save of the shown amount
  };
  const Case cases[] = {{"0.001", "0.00", "借款金额输入不合法！"},
                        {"0.004", "0.00", "借款金额输入不合法！"},
                        {"100.999", "100.99", nullptr},
                        {"12.345.6", "12.34", nullptr},
                        {"999999999.99", "999999999.99", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    responder_.clear();
    frmRzdjB w;
    fill(w);
    w.txtDkdj[0]->clear();
    QTest::keyClicks(w.txtDkdj[0], S(c.keys));
    EXPECT_EQ(w.txtDkdj[0]->text(), S(c.shown));
    w.pbCDkdj_Click(btn一次性支付本息);
    if (c.message) {
      EXPECT_EQ(responder_.texts(), QStringList{S(c.message)});
      EXPECT_TRUE(w.Plan.rows.empty());
      continue;
    }
    w.pbCDkgh_Click(0);
    ASSERT_TRUE(responder_.saw(S("保存成功！"))) << responder_.texts().join('|').toStdString();
    const double amount = Money::valueOf(S(c.shown));
    EXPECT_DOUBLE_EQ(recordNumber("本金", w.DocNo), amount);
    EXPECT_DOUBLE_EQ(number(S("select sum(应付本金) from PJ_Cjzfjh where 单号=?"), {w.DocNo}), amount);
    EXPECT_EQ(journal(w.DocNo).front(), std::make_pair(S("拆借本金收入"), amount));
  }
  EXPECT_EQ(count(S("PJ_Cjjl")), 3);
}

TEST_F(Registration, PresetsAndBothEnds) {
  frmRzdjB w;
  w.Form_Load();
  const auto choose = [&w](int box, int index) {
    w.comJkzl[box]->setCurrentIndex(index);
    w.comJkzl_Click(box);
  };
  struct Preset {
    int index;
    const char *rate, *early;
  };
  for (const Preset& p : {Preset{8, "0.9000", "0.6750"}, Preset{9, "1.0000", "0.7500"}, Preset{10, "2.0000", "2.0000"},
                          Preset{18, "10.0000", "10.0000"}}) {
    choose(0, p.index);
    EXPECT_EQ(w.txtDkdj[1]->text(), S(p.rate));
    EXPECT_EQ(w.txtDkdj[6]->text(), S(p.early));
  }
  choose(3, 12);
  EXPECT_EQ(w.txtDkdj[0]->text(), S("5000000"));
  choose(1, 1);
  EXPECT_EQ(w.comJkzl[2]->count(), 12);
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-04-01")) << "the first term, one month";
  choose(2, 2);
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-06-01"));
  w.Check1->click();
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-05-31"));
  w.Check1->click();
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-06-01"));
}

TEST_F(Registration, ClosingAnUnsavedDocumentLeavesNothing) {
  const QString file = appDir() + S("合同.txt");
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write("x"), 1);
  f.close();
  frmRzdjB w;
  fill(w);
  w.pbCDkdj_Click(btn一次性支付本息);
  w.添加附件(file);
  // The file is copied at once; its row comes with the save.
  ASSERT_EQ(w.Attachments.size(), 1);
  EXPECT_EQ(count(S("PJ_DkFj")), 0);
  const QString stored = w.Attachments[0].path;
  EXPECT_TRUE(QFileInfo::exists(stored));
  EXPECT_EQ(w.Attachments[0].name, S("合同.txt"));
  // No: the window stays with its plan and copy.
  responder_.answer(Mb::No);
  w.reject();
  EXPECT_TRUE(responder_.saw(S("有未保存还款计划，是否删除并退出？")));
  EXPECT_EQ(w.Plan.rows.size(), 1u);
  EXPECT_TRUE(QFileInfo::exists(stored));
  // Yes: nothing was written, and the copy goes.
  responder_.answer(Mb::Yes);
  w.reject();
  expectEmpty({"PJ_Cjzfjh", "PJ_DkFj"});
  EXPECT_FALSE(QFileInfo::exists(stored));
  EXPECT_TRUE(QFileInfo::exists(file));
  // The next document's number is not one a row of an older version could still hold.
  ReplaceFinancingPlan(S("C00100012024030100") + S("7"), BuildFinancingPlan(terms(), btn一次性支付本息), S("x"), S("y"));
  EXPECT_EQ(NewFinancingNumber(), S("C001000120240301008"));
}

TEST_F(Registration, AnAttachmentRemovedInAnEditLosesItsFileOnlyWithTheSaveThatDropsItsRow) {
  const QString doc = record(btn一次性支付本息, terms());
  const QString source = appDir() + S("凭证.pdf");
  QFile(source).open(QIODevice::WriteOnly);
  LoanStore::Attachment copy;
  ASSERT_TRUE(LoanStore::CopyAttachment(source, &copy).isEmpty());
  {
    Transaction tx;
    LoanStore::SaveAttachmentRows(doc, {copy});
    tx.Commit();
  }
  LoanStore::SettleSavedAttachments({copy}, {});
  EXPECT_TRUE(LoanStore::PendingCopies().isEmpty()) << "a saved copy is off the list";
  for (const bool saved : {false, true}) {
    SCOPED_TRACE(saved ? "saved" : "closed without saving");
    frmRzdjB w;
    openEdit(w, doc);
    w.Fg1->setRow(w.Fg1->fixedRows());
    w.pbCJkzl_Click(2);
    ASSERT_TRUE(w.Attachments.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(copy.path)) << "the file waits for the save";
    responder_.clear();
    if (saved) {
      w.pbCDkgh_Click(0);
      EXPECT_TRUE(responder_.saw(S("保存成功！")));
    } else {
      responder_.answer(Mb::Yes);
      w.reject();
      EXPECT_TRUE(responder_.saw(S("单据已修改，是否放弃修改并退出？")));
    }
    EXPECT_EQ(count(S("PJ_DkFj where 单号=?"), {doc}), saved ? 0 : 1);
    EXPECT_EQ(QFileInfo::exists(copy.path), !saved);
  }
}

// Enter on a question that would throw away what the clerk typed answers No: the real box keeps the
// window open with the amount typed; only Yes closes it.
TEST_F(Registration, DiscardQuestionEnterKeepsTheWindowAndWhatWasTyped) {
  const QString saved = record(btn一次性支付本息, terms());
  for (const bool edit : {false, true}) {
    SCOPED_TRACE(edit ? "edit" : "new");
    frmRzdjB w;
    if (edit) {
      openEdit(w, saved);
      w.txtDkdj[0]->setText(S("80000"));
    } else {
      fill(w, "80000");
      w.pbCDkdj_Click(btn一次性支付本息);
    }
    w.show();
    const QStringList asked = pressOnRealMessageBoxes([&] { w.pbCDkgh_Click(1); }, Qt::Key_Return);
    EXPECT_EQ(asked, QStringList{edit ? S("单据已修改，是否放弃修改并退出？") : S("有未保存还款计划，是否删除并退出？")});
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.txtDkdj[0]->text(), S("80000"));
    EXPECT_EQ(count(S("PJ_Cjjl")), 1);
    EXPECT_EQ(pressOnRealMessageBoxes([&] { w.pbCDkgh_Click(1); }, Qt::Key_Y), asked);
    EXPECT_FALSE(w.isVisible());
  }
}

TEST_F(Registration, AFailureInTheMiddleOfTheSaveLeavesNothing) {
  frmRzdjB w;
  fill(w);
  w.pbCDkdj_Click(btn一次性先付利息);
  Db().Execute(S("alter table PJ_Liushui rename to PJ_Liushui_away"));
  w.pbCDkgh_Click(0);
  Db().Execute(S("alter table PJ_Liushui_away rename to PJ_Liushui"));
  EXPECT_FALSE(responder_.saw(S("保存成功！")));
  EXPECT_TRUE(responder_.texts().join(QString()).contains(S("程序出现异常！")));
  expectEmpty({"PJ_Cjjl", "PJ_Cjzfjl", "PJ_Cjzfjh"});
  EXPECT_EQ(w.Plan.rows.size(), 2u) << "the window keeps the plan for the next try";
  w.pbCDkgh_Click(0);
  EXPECT_TRUE(responder_.saw(S("保存成功！")));
}

TEST_F(Registration, TwoWindowsSaveTwoRecordsAndAStaleEditWritesNothing) {
  frmRzdjB a, b;
  fill(a, "50000");
  fill(b, "90000");
  ASSERT_EQ(a.DocNo, b.DocNo);
  a.pbCDkdj_Click(btn一次性先付利息);
  b.pbCDkdj_Click(btn一次性支付本息);
  a.pbCDkgh_Click(0);
  b.pbCDkgh_Click(0);
  ASSERT_NE(a.DocNo, b.DocNo);
  EXPECT_EQ(responder_.messages.back().text, S("保存成功！单号：") + b.DocNo);
  for (const frmRzdjB* w : {&a, &b})
    EXPECT_DOUBLE_EQ(number(S("select sum(应付本金) from PJ_Cjzfjh where 单号=?"), {w->DocNo}), w == &a ? 50000 : 90000);
  // Two edits of one record: the second is refused; an edit of the remark keeps the journal as it was.
  const auto journalNow = [] { return Db().query(S("select 编号,时间,金额,余额,对应ID from PJ_Liushui order by 编号")).rows; };
  const auto journalBefore = journalNow();
  frmRzdjB first, second;
  openEdit(first, a.DocNo);
  openEdit(second, a.DocNo);
  first.txtDkdj[5]->setText(S("先"));
  second.txtDkdj[5]->setText(S("后"));
  first.pbCDkgh_Click(0);
  EXPECT_EQ(recordText("备注", a.DocNo), S("先"));
  EXPECT_EQ(journalNow(), journalBefore);
  const QStringList before = everything({"PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui"});
  responder_.clear();
  second.pbCDkgh_Click(0);
  EXPECT_EQ(responder_.texts(), QStringList{DocumentChangedMessage()});
  EXPECT_EQ(everything({"PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui"}), before);
  // Leaving the changed window asks first.
  responder_.answer(Mb::Yes);
  second.reject();
  EXPECT_TRUE(responder_.saw(S("单据已修改，是否放弃修改并退出？")));
}

TEST_F(Registration, AnInvestorDeletedSinceThePickOrARecordChangedSinceTheOpenRefusesTheSaveFirst) {
  const auto all = [] { return everything({"PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui", "PJ_Djxh"}); };
  const QString stored = record(btn一次性支付本息, terms());
  struct Case {
    const char* what;
    bool edit;
    const char* meanwhile;
    QString message;
    const char* amount = nullptr;  // typed over the edit's amount, with no new plan
  };
  // What the window cannot mend is said before what it could.
  const Case cases[] = {
      {"investor deleted after the pick", false, "delete from PJ_Gd", S("投资人已被删除，请重新选择！")},
      {"record deleted after the edit opened", true, "delete from PJ_Cjjl", DocumentChangedMessage()},
      {"record saved elsewhere, plan not rebuilt", true, "update PJ_Cjjl set 版本=版本+1", DocumentChangedMessage(), "60000"},
      {"investor deleted, amount a plan no longer fits", false, "delete from PJ_Gd", S("投资人已被删除，请重新选择！"), "60000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    frmRzdjB w;
    if (c.edit) {
      openEdit(w, stored);
      w.txtDkdj[5]->setText(S("改"));
    } else {
      fill(w);
      w.pbCDkdj_Click(btn一次性先付利息);
    }
    if (c.amount) w.txtDkdj[0]->setText(S(c.amount));
    Db().Execute(S(c.meanwhile));
    const QStringList before = all();
    responder_.clear();
    w.pbCDkgh_Click(0);
    EXPECT_EQ(responder_.texts(), QStringList{c.message});
    EXPECT_EQ(all(), before);
  }
}

TEST_F(Registration, AnEditKeepsItsJournalAccountsUnlessTheUserChangesThem) {
  ExpectEditsKeepJournalAccounts(modal_, {[this] { return record(btn一次性先付利息, terms()); },
                                          [this](const QString& doc) {
                                            frmRzdjB e;
                                            openEdit(e, doc);
                                            e.txtDkdj[0]->setText(S("60000"));
                                            e.pbCDkdj_Click(btn一次性先付利息);
                                            responder_.clear();
                                            e.pbCDkgh_Click(0);
                                            return responder_.saw(S("保存成功！")) &&
                                                   recordNumber("本金", doc) == 60000;
                                          }});
  expectBalancesRun();
}

}  // namespace
