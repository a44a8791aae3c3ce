// The financing list (filters as bound values, scope, totals row, commands and delete), the
// payment calendar (live documents only) and the payment records, and how the main window opens them.
#include <QAction>
#include <QMenu>
#include <QTest>

#include "FinancingFixture.h"
#include "shell/frmMain.h"
#include "output/OutputLinks.h"
#include "output/frmPrintFr3.h"
#include "app/services/ChineseAmount.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "control/pbCommand.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzZfmx.h"
#include "financing/frmRzZfrc.h"
#include "financing/frmRzjl.h"
#include "loans/LoanLinks.h"
#include "loans/LoanStore.h"
#include "loans/frmMenu.h"
#include "platform/Buttons.h"
#include "platform/MonthCalendar.h"

namespace {

class Lists : public FinancingFixture {
 protected:
  // The 单号 values the list shows, in order (the totals row left out).
  static QStringList listed(const frmRzjl& w) {
    QStringList out;
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (!w.Fg->isTotalsRow(r)) out << w.Fg->textMatrix(r, 0);
    return out;
  }
  // A loaded list with every filter open.
  void openAll(frmRzjl& w) {
    w.Form_Load();
    w.comJd[0]->setCurrentIndex(2);
    w.comJd[4]->setCurrentIndex(2);
    w.comJd[5]->setCurrentIndex(0);
  }
  void search(frmRzjl& w, int field, int op, const QString& text) {
    w.comJd[2]->setCurrentIndex(field);
    w.comJd[3]->setCurrentIndex(op);
    w.txtJd->setText(text);
    w.刷新();
  }
};

TEST_F(Lists, FiltersAreValuesNotSql) {
  FinancingTerms t = terms();
  t.客户名称 = S("O'Brien 100%");
  const QString a = record(btn一次性支付本息, t);
  const QString b = record(btn一次性支付本息, terms(5000));
  const QString c = record(btn一次性支付本息, terms(7000));
  Db().Execute(S("update PJ_Cjjl set 拆借类别=?, 备注='a_b' where 单号=?"), {S("自有"), c});
  frmRzjl w;
  w.Form_Load();
  // The first list: this month's 外拆 records still to pay, newest first.
  EXPECT_EQ(listed(w), (QStringList{b, a}));
  openAll(w);
  struct Case {
    int field, op;
    const char* text;
    QStringList expected;
  };
  const std::vector<Case> cases = {
      {2, 0, "O'Brien 100%", {a}},
      {2, 2, "100%", {a}},
      {2, 2, "%", {a}},
      {2, 1, "O'Brien 100%", {c, b}},
      {5, 2, "_", {c}},
      {1, 0, "x' or '1'='1", {}},
      {0, 0, "O'Brien 100%", {c, b, a}},
  };
  for (const Case& k : cases) {
    search(w, k.field, k.op, S(k.text));
    EXPECT_EQ(listed(w), k.expected) << k.text;
  }
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(Lists, QueryModeListsOneInvestorOnce) {
  const QString a = record(btn一次性支付本息, terms(1000));
  FinancingTerms t = terms(2000);
  t.客户名称 = S("赵敏");
  record(btn一次性支付本息, t);
  Db().Execute(S("update PJ_Cjjl set 拆借类别=?, 结算状态=?, 登记日期='2023-05-01' where 单号=?"), {S("自有"), S("已完结"), a});
  frmRzjl w;
  w.QueryMode = 1;
  w.QueryText = S("王投资");
  w.Form_Load();
  EXPECT_EQ(listed(w), QStringList{a});
  EXPECT_EQ(w.QueryMode, 0);
  EXPECT_EQ(w.comJd[2]->currentText(), S("客户名称"));

  // Interest from before the book start or after today still shows in a drill-down.
  gBookStartDate = S("2024-01-01");
  const QString early = record(btn一次性支付本息, terms(3000));
  const QString late = record(btn一次性支付本息, terms(4000));
  Db().Execute(S("update PJ_Cjjl set 起息日期='2019-05-01', 登记日期='2019-05-01' where 单号=?"), {early});
  Db().Execute(S("update PJ_Cjjl set 起息日期='2099-05-01', 登记日期='2099-05-01' where 单号=?"), {late});
  frmRzjl all;
  all.QueryMode = 1;
  all.QueryText = S("王投资");
  all.Form_Load();
  QStringList docs = listed(all), expected{a, early, late};
  docs.sort();
  expected.sort();
  EXPECT_EQ(docs, expected);
}

TEST_F(Lists, VoidedRecordsScopeAndTotals) {
  const QString a = record(btn一次性支付本息, terms(1000));
  const QString b = record(btn一次性支付本息, terms(2000), nullptr, S("业务二部"));
  Db().Execute(S("update PJ_Cjjl set 业务状态=? where 单号=?"), {S("废弃"), a});
  frmRzjl w;
  openAll(w);
  w.刷新();
  EXPECT_EQ(listed(w), QStringList{b});
  // "废弃" as the search text lifts the filter, even with the field "忽略"; the voided row is red.
  search(w, 0, 0, S("废弃"));
  EXPECT_EQ(listed(w), (QStringList{b, a}));
  const int last = w.Fg->rows() - 1;
  ASSERT_TRUE(w.Fg->isTotalsRow(last));
  EXPECT_EQ(w.Fg->textMatrix(last, 0), S("记录：2"));
  EXPECT_DOUBLE_EQ(w.Fg->number(last, 8), 3000);
  // The totals row is no record: modify and delete do nothing from it.
  w.Fg->setRow(last);
  w.pbCJd_Click(2);
  EXPECT_TRUE(responder_.messages.empty());
  // A voided record is refused by modify, pay and approve.
  w.Fg->setRow(rowWith(w.Fg, 0, a));
  for (int button : {1, 9, 10}) w.pbCJd_Click(button);
  EXPECT_EQ(responder_.texts(), QStringList(3, S("该单据已废弃！")));
  // Below role 3 the list keeps to the user's departments.
  gCurrentUserRole = 1;
  gDeptRights = S("业务二部");
  gCurrentUserRights = S("增加拆借记录");
  search(w, 0, 0, QString());
  EXPECT_EQ(listed(w), QStringList{b});
}

TEST_F(Lists, RefreshCorrectsStaleAmountsToPayAndWritesNothingWhenNoneIsStale) {
  // One record with its interest prepaid, so that both amounts to pay are differences.
  const QString a = record(btn一次性先付利息, terms(10000));
  const QString b = record(btn一次性支付本息, terms(5000));
  frmRzjl w;
  openAll(w);
  w.刷新();
  auto rowsWritten = [] { return static_cast<qint64>(number(S("select total_changes()"))); };
  auto owed = [](const QString& doc) {
    const auto r = Db().query(S("select 本金,已付本金,利息,已付利息 from PJ_Cjjl where 单号=?"), {doc}).rows.at(0);
    return std::pair{Money::round(VariantNumber(r[0]) - VariantNumber(r[1]), 2),
                     Money::round(VariantNumber(r[2]) - VariantNumber(r[3]), 2)};
  };
  const auto [principalA, interestA] = owed(a);
  ASSERT_GT(principalA, 0);
  ASSERT_GT(VariantNumber(Db().scalar(S("select 已付利息 from PJ_Cjjl where 单号=?"), {a})), 0);
  const char* stale[] = {"待付本金=0", "待付利息=待付利息+1", "待付本金=null", "待付利息=null",
                         "待付本金=待付本金+0.01, 待付利息=-1"};
  for (const char* change : stale) {
    SCOPED_TRACE(change);
    Db().Execute(S("update PJ_Cjjl set ") + S(change) + S(" where 单号=?"), {a});
    qint64 before = rowsWritten();
    w.刷新();
    EXPECT_EQ(rowsWritten() - before, 1) << "only the stale record is written";
    EXPECT_DOUBLE_EQ(number(S("select 待付本金 from PJ_Cjjl where 单号=?"), {a}), principalA);
    EXPECT_DOUBLE_EQ(number(S("select 待付利息 from PJ_Cjjl where 单号=?"), {a}), interestA);
    const int row = rowWith(w.Fg, 0, a);
    ASSERT_GE(row, 0);
    EXPECT_DOUBLE_EQ(w.Fg->number(row, 10), principalA);
    EXPECT_DOUBLE_EQ(w.Fg->number(row, 11), interestA);
    before = rowsWritten();
    w.刷新();
    EXPECT_EQ(rowsWritten() - before, 0) << "a refresh that changes nothing writes nothing";
  }
  const auto [principalB, interestB] = owed(b);
  EXPECT_DOUBLE_EQ(number(S("select 待付本金 from PJ_Cjjl where 单号=?"), {b}), principalB);
  EXPECT_DOUBLE_EQ(number(S("select 待付利息 from PJ_Cjjl where 单号=?"), {b}), interestB);
}

TEST_F(Lists, ApproveThenPayFromTheList) {
  gSystemSettings[4] = S("1");
  const QString doc = record(btn一次性支付本息, terms());
  frmRzjl w;
  openAll(w);
  w.刷新();
  w.Fg->setRow(rowWith(w.Fg, 0, doc));
  w.pbCJd_Click(9);
  EXPECT_TRUE(responder_.saw(S("该单据未审核！")));
  responder_.answer(Mb::Yes);
  w.pbCJd_Click(10);
  EXPECT_TRUE(responder_.saw(S("您确认要审核 【王投资】 的融资登记吗？")));
  EXPECT_EQ(text(S("select 业务状态 from PJ_Cjjl where 单号=?"), {doc}), S("已审核"));
  w.Fg->setRow(rowWith(w.Fg, 0, doc));
  w.pbCJd_Click(10);
  EXPECT_TRUE(responder_.saw(S("该单据已审核生效！")));
  modal_.shown.clear();
  w.pbCJd_Click(9);
  ASSERT_EQ(modal_.shown, std::vector<QString>{S("frmRzLxzf")});
  // Without the right nothing opens.
  gCurrentUserRole = 1;
  gCurrentUserRights = S("增加拆借记录,审核拆借");
  responder_.clear();
  w.pbCJd_Click(9);
  EXPECT_TRUE(responder_.saw(S("权限不足！")));
  EXPECT_EQ(modal_.shown.size(), 1u);
}

TEST_F(Lists, DeleteTakesEverythingInOneGoAndBalancesFollow) {
  const QString a = record(btn一次性先付利息, terms(10000));
  const QString b = record(btn一次性支付本息, terms(5000));
  PaymentPosting post;
  post.planRowId = planIds(a)[1];
  post.date = D("2024-03-31");
  post.本金 = 10000;
  post.付款状态 = S("已付");
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  const QString source = appDir() + S("a.pdf");
  QFile(source).open(QIODevice::WriteOnly);
  LoanStore::Attachment attachment;
  ASSERT_TRUE(LoanStore::CopyAttachment(source, &attachment).isEmpty());
  LoanStore::SaveAttachmentRows(a, {attachment});
  frmRzjl w;
  openAll(w);
  w.刷新();
  w.Fg->setRow(rowWith(w.Fg, 0, a));
  responder_.answer(Mb::No);
  w.pbCJd_Click(2);
  EXPECT_TRUE(responder_.saw(S("您确认要删除 【王投资】 的融资记录吗？")));
  EXPECT_EQ(count(S("PJ_Cjjl where 单号=?"), {a}), 1);
  // A failure half way leaves the record whole (the record has a payment: a second question).
  Db().Execute(S("alter table PJ_Liushui rename to PJ_Liushui_away"));
  responder_.answer(Mb::Yes);
  responder_.answer(Mb::Yes);
  w.pbCJd_Click(2);
  Db().Execute(S("alter table PJ_Liushui_away rename to PJ_Liushui"));
  EXPECT_TRUE(responder_.texts().join(QString()).contains(S("程序出现异常！")));
  for (const char* table : {"PJ_Cjjl", "PJ_Cjzfjh", "PJ_DkFj", "PJ_Cjzfjl", "PJ_Liushui"})
    EXPECT_GT(count(S(table) + S(" where 单号=?"), {a}), 0) << table;
  w.Fg->setRow(rowWith(w.Fg, 0, a));
  responder_.clear();
  responder_.answer(Mb::Yes);
  w.pbCJd_Click(2);
  EXPECT_TRUE(responder_.saw(S("该单据已有1笔支付记录，删除后这些记录及其流水账将一并删除且不能恢复，是否继续？")));
  EXPECT_EQ(count(S("PJ_Cjjl where 单号=?"), {a}), 1) << "No, the default, keeps it";
  w.Fg->setRow(rowWith(w.Fg, 0, a));
  responder_.answer(Mb::Yes);
  responder_.answer(Mb::Yes);
  w.pbCJd_Click(2);
  for (const char* table : {"PJ_Cjjl", "PJ_Cjzfjh", "PJ_DkFj", "PJ_Cjzfjl", "PJ_Liushui"})
    EXPECT_EQ(count(S(table) + S(" where 单号=?"), {a}), 0) << table;
  EXPECT_TRUE(QFile::exists(attachment.path)) << "the file stays for a backup restored after a mistaken delete";
  EXPECT_EQ(listed(w), QStringList{b});
  // What is left of the journal runs from 0 again.
  expectBalancesRun();
  EXPECT_DOUBLE_EQ(number(S("select 余额 from PJ_Liushui where 单号=?"), {b}), 5000);
}

TEST_F(Lists, PaymentCalendarShowsOpenRowsOfLiveDocuments) {
  InstalmentOptions o{2, QLatin1Char('M'), D("2024-02-10")};  // due 10 March and 10 April
  const QString live = record(btn分期付息后息, terms(24000, 1, "月"), &o);
  FinancingTerms t2 = terms(12000, 1, "月");
  t2.客户名称 = S("赵敏");
  const QString second = record(btn分期付息后息, t2, &o);
  const QString voided = record(btn分期付息后息, terms(1000, 1, "月"), &o);
  Db().Execute(S("update PJ_Cjjl set 业务状态=? where 单号=?"), {S("废弃"), voided});
  // An abandoned plan without its record.
  ReplaceFinancingPlan(S("C999"), BuildFinancingPlan(terms(), btn等额本息, &o), S("无主"), S("李经办"));
  // A paid row drops out.
  Db().Execute(S("update PJ_Cjzfjh set 结算状态=? where 单号=? and 支付期次=2"), {S("已付"), second});
  // A part-paid row shows what is still open of it: 24000 + 240 less 10000 + 240 paid.
  Db().Execute(S("update PJ_Cjzfjh set 已付本金=10000,已付利息=240,结算状态=? where 单号=? and 支付期次=2"), {S("支付部分"), live});

  frmRzZfrc cal;
  cal.Form_Load();
  EXPECT_EQ(cal.Fg->year(), 2024);
  EXPECT_EQ(cal.Fg->month(), 3);
  EXPECT_EQ(cal.Fg->dayText(10), S("王投资→240.00\r\n赵敏→120.00\r\n"));
  EXPECT_EQ(cal.DayLists[10].size(), 2);
  cal.pbCommand1_Click(1);
  EXPECT_EQ(cal.Fg->month(), 4);
  EXPECT_EQ(cal.Fg->dayText(10), S("王投资→14000.00\r\n"));
  // Its popup says the same amount.
  const QPoint april = MonthLayout::cellOf(2024, 4, 10);
  cal.Fg->clickCell(april.x(), april.y() + 1);
  ASSERT_EQ(cal.Menu->mnu_lss.size(), 1u);
  EXPECT_TRUE(cal.Menu->mnu_lss[0]->text().contains(S("：") + AmountToChineseUppercase(14000) + S("  单号："))) << cal.Menu->mnu_lss[0]->text().toStdString();
  cal.Menu->mnu_ls->close();
  // December turns into January; the ends of the year list are kept.
  cal.Combo1->setCurrentIndex(2100 - 1900);
  cal.Combo2->setCurrentIndex(11);
  cal.pbCommand1_Click(1);
  EXPECT_EQ(cal.Combo1->currentText(), S("2100"));
  cal.Combo1->setCurrentIndex(2023 - 1900);
  cal.pbCommand1_Click(1);
  EXPECT_EQ(cal.Fg->year(), 2024);
  EXPECT_EQ(cal.Fg->month(), 1);
  cal.pbCommand1_Click(2);
  EXPECT_EQ(cal.Fg->month(), 3);

  // The popup lists the day's rows; choosing one opens that record's view.
  gShowPaymentView = &OpenFinancingPaymentView;
  QString opened;
  modal_.handlers.push_back([&opened](QDialog* d) {
    opened = qobject_cast<frmRzLxzf*>(d)->DocNo;
    return 0;
  });
  const QPoint cell = MonthLayout::cellOf(2024, 3, 10);
  cal.Fg->clickCell(cell.x(), cell.y() + 1);
  EXPECT_EQ(cal.Menu->Mode, S("支付"));
  ASSERT_EQ(cal.Menu->mnu_lss.size(), 2u);
  EXPECT_TRUE(cal.Menu->mnu_lss[1]->text().endsWith(S("单号：") + second));
  cal.Menu->mnu_lss_Click(1);
  EXPECT_EQ(opened, second);
  // A record not yet approved is refused, as the list refuses it.
  Db().Execute(S("update PJ_Cjjl set 业务状态=? where 单号=?"), {S("未审核"), second});
  cal.Menu->mnu_lss_Click(1);
  EXPECT_TRUE(responder_.saw(S("该单据未审核！")));
  // A day-number cell adds nothing to the popup.
  const int items = cal.Menu->ItemCount;
  cal.Fg->clickCell(cell.x(), cell.y());
  EXPECT_EQ(cal.Menu->ItemCount, items);
  gShowPaymentView = nullptr;
}

TEST_F(Lists, PaymentRecordsFilterByStatusAndNames) {
  const QString a = record(btn一次性支付本息, terms(1000));
  FinancingTerms t = terms(2000);
  t.客户名称 = S("赵'敏");
  const QString b = record(btn一次性支付本息, t);
  PaymentPosting post;
  post.date = D("2024-03-31");
  post.planRowId = planIds(a)[0];
  post.本金 = 400;
  post.付款状态 = S("支付部分");
  post.early = true;
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  post.planRowId = planIds(b)[0];
  post.本金 = 2000;
  post.利息 = 60;
  post.付款状态 = S("已付");
  post.seen = ReadPlanRow(post.planRowId);
  PostFinancingPayment(post);
  // The records are stamped by the database's clock; put them into the test's month.
  Db().Execute(S("update PJ_Cjzfjl set 日期='2024-03-01 09:30:00'"));

  frmRzZfmx w;
  w.Form_Load();
  auto docs = [&w] {
    QStringList out;
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (!w.Fg->isTotalsRow(r)) out << w.Fg->textMatrix(r, 1);
    return out;
  };
  EXPECT_EQ(docs(), (QStringList{b, a}));
  EXPECT_DOUBLE_EQ(w.Fg->number(w.Fg->rows() - 1, 6), 2400);
  w.comJd[1]->setCurrentIndex(2);
  w.刷新();
  EXPECT_EQ(docs(), QStringList{a});
  w.comJd[1]->setCurrentIndex(0);
  w.txtHk[0]->setText(S("赵'敏"));
  w.刷新();
  EXPECT_EQ(docs(), QStringList{b});
  w.txtHk[0]->setText(S("赵"));
  w.刷新();
  EXPECT_TRUE(docs().isEmpty()) << "names match whole";
  EXPECT_FALSE(w.pbcHk->at(5)->isVisibleTo(&w));
  EXPECT_TRUE(responder_.messages.empty());
  // The list prints through the print preview with the company's title.
  modal_.shown.clear();
  QString title;
  modal_.handlers.push_back([&title](QDialog* d) {
    title = d->objectName();
    return 0;
  });
  w.pbcHk_Click(1);
  EXPECT_EQ(title, S("frmPrint"));
  // The voucher and the SMS ignore the totals row.
  w.Fg->setRow(w.Fg->rows() - 1);
  w.pbcHk_Click(4);
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(Lists, TheShellLinksPrintingAndTheDailyReportToTheFinancingWindows) {
  const QString doc = record(btn一次性支付本息, terms());
  frmMain main;
  frmRzjl w;
  openAll(w);
  w.刷新();
  w.Fg->setRow(rowWith(w.Fg, 0, doc));
  QString kind;
  modal_.handlers.push_back([&kind](QDialog* d) {
    kind = QString::number(qobject_cast<frmPrintFr3*>(d)->PrintKind) + qobject_cast<frmPrintFr3*>(d)->PrintKey;
    return 0;
  });
  w.pbCJd_Click(4);
  EXPECT_EQ(kind, S("5") + doc);
  // The financing daily report's way to one investor's records.
  ASSERT_TRUE(gShowFinancingListFor);
  QStringList shown;
  modal_.handlers.push_back([&shown](QDialog* d) {
    auto* list = qobject_cast<frmRzjl*>(d);
    list->Form_Load();
    shown = listed(*list);
    return 0;
  });
  gShowFinancingListFor(nullptr, S("王投资"));
  EXPECT_EQ(shown, QStringList{doc});
}

TEST_F(Lists, MainWindowOpensTheFinancingWindowsBehindTheirRights) {
  frmMain main;
  struct Cmd {
    const char* name;
    int toolbar;
    const char* right;
    const char* window;
  };
  for (const Cmd& c : {Cmd{"mnu_cjrzdj", 3, "增加拆借记录", "frmRzjl"}, Cmd{"mnu_zfrc", 4, "支付日程", "frmRzZfrc"},
                       Cmd{"mnu_zfmx", 5, "支付明细", "frmRzZfmx"}}) {
    gCurrentUserRole = 3;
    modal_.shown.clear();
    main.RunCommand(S(c.name));
    main.pbMnu_Click(c.toolbar);
    EXPECT_EQ(modal_.shown, (std::vector<QString>{S(c.window), S(c.window)})) << c.name;
    gCurrentUserRole = 0;
    gCurrentUserRights = S("流水账");
    responder_.clear();
    modal_.shown.clear();
    main.RunCommand(S(c.name));
    EXPECT_TRUE(responder_.saw(S("权限不足！")));
    EXPECT_TRUE(modal_.shown.empty());
    gCurrentUserRights = S(c.right);
    main.RunCommand(S(c.name));
    EXPECT_EQ(modal_.shown.size(), 1u);
  }
}

}  // namespace
