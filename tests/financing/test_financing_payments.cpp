// Payments through the record view: confirmation of a due row, early payment with its deduction,
// part payments, the record closing only when every row is paid, the journal, and the refusals.
#include <QTabWidget>

#include <memory>

#include "FinancingFixture.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzdjB.h"
#include "financing/frmRzzfqr.h"
#include "loans/frmXjyh.h"
#include "output/ReportQueries.h"
#include "platform/Clock.h"

namespace {

class Payments : public FinancingFixture {
 protected:
  // 90000 over three monthly rows of 30000 at 1 % a month, first due 2024-04-01.
  QString threeRows() {
    InstalmentOptions o{3, QLatin1Char('M'), D("2024-03-01")};
    return record(btn等额本金后付, terms(90000, 1, "月"), &o);
  }
  void at(const char* iso) { setNow(QDateTime(D(iso), QTime(9, 0))); }
  // The view of `doc` with its plan grid on the row of plan row `id`.
  void selectPlanRow(frmRzLxzf& v, qint32 id) {
    v.Form_Load();
    const int r = rowWith(v.Fg, 0, QString::number(id));
    ASSERT_GE(r, 0);
    v.Fg->setRow(r);
  }
  std::unique_ptr<frmRzLxzf> view(const QString& doc, qint32 id) {
    auto v = std::make_unique<frmRzLxzf>();
    v->DocNo = doc;
    selectPlanRow(*v, id);
    return v;
  }
  // A payment window of type W loaded on plan row `id`.
  template <class W>
  static std::unique_ptr<W> form(qint32 id) {
    auto w = std::make_unique<W>();
    w->PlanRowId = id;
    w->Form_Load();
    return w;
  }
  // Confirms a payment form of type W when it opens, after `user` acted on it.
  template <class W>
  void answerPayment(const std::function<void(W&)>& user = {}) {
    modal_.handlers.push_back([user](QDialog* d) {
      auto* w = qobject_cast<W*>(d);
      EXPECT_NE(w, nullptr);
      if (!w) return 0;
      w->Form_Load();
      if (user) user(*w);
      w->pbCDkgh_Click(0);
      return w->result();
    });
  }
  // Nothing of a refused payment is written: no payment, the journal's one registration row, the row open.
  static void expectNothingPaid(const QString& doc, qint32 id) {
    EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=?"), {doc}), 0);
    EXPECT_EQ(count(S("PJ_Liushui where 单号=?"), {doc}), 1);
    EXPECT_EQ(status(id), S("未付"));
  }
  static QString status(qint32 id) { return text(S("select 结算状态 from PJ_Cjzfjh where 编号=?"), {id}); }
  static QString recordStatus(const QString& doc) { return text(S("select 结算状态 from PJ_Cjjl where 单号=?"), {doc}); }
  static double recordNumber(const char* column, const QString& doc) {
    return number(S("select %1 from PJ_Cjjl where 单号=?").arg(S(column)), {doc});
  }
  static double rowNumber(const char* column, qint32 id) { return number(S("select %1 from PJ_Cjzfjh where 编号=?").arg(S(column)), {id}); }
  // The journal of `doc` holds `total` rows, those from `from` on being `rows`.
  static void expectJournal(const QString& doc, size_t from, const std::vector<std::pair<const char*, double>>& rows, size_t total = 0) {
    const auto j = journal(doc);
    ASSERT_EQ(j.size(), total ? total : from + rows.size());
    for (size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(j[from + k], std::make_pair(S(rows[k].first), rows[k].second));
  }
};

TEST_F(Payments, ConfirmationOfEachRowClosesTheRecordAtTheLast) {
  const QString doc = threeRows();
  const auto ids = planIds(doc);
  ASSERT_EQ(ids.size(), 3u);
  const char* days[] = {"2024-04-01", "2024-05-02", "2024-06-01"};
  const char* shown[] = {"30,900.00", "30,600.00", "30,300.00"};
  for (size_t i = 0; i < ids.size(); ++i) {
    at(days[i]);
    bool refreshed = false;
    auto v = view(doc, ids[i]);
    v->onPaid = [&refreshed] { refreshed = true; };
    responder_.answer(Mb::Yes);
    answerPayment<frmRzzfqr>([s = shown[i]](frmRzzfqr& w) { EXPECT_EQ(w.Text1->text(), S(s)); });
    v->pbCJkzl_Click(1);
    ASSERT_TRUE(responder_.saw(S("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】")));
    responder_.clear();
    EXPECT_TRUE(refreshed);
    EXPECT_EQ(v->SSTab1->currentIndex(), 1);
    EXPECT_EQ(v->Fg2->dataRowCount(), int(i) + 1);
    EXPECT_EQ(status(ids[i]), S("已付"));
    EXPECT_EQ(recordStatus(doc), i + 1 < ids.size() ? S("未付") : S("已完结"));
  }
  EXPECT_DOUBLE_EQ(recordNumber("已付本金", doc), 90000);
  EXPECT_DOUBLE_EQ(recordNumber("已付利息", doc), 1800);
  // Principal out and interest out per row, 对应ID the plan row.
  expectJournal(doc, 1, {{"拆借支取支出", -30000}, {"拆借利息支取支出", -900}}, 7);
  EXPECT_EQ(count(S("PJ_Liushui where 单号=? and 对应ID=?"), {doc, ids[2]}), 2);
  expectBalancesRun();
  // Paid rows are refused by both buttons.
  view(doc, ids[0])->pbCJkzl_Click(2);
  EXPECT_TRUE(responder_.saw(S("该期次拆借已付清！")));
  EXPECT_TRUE(modal_.handlers.empty());
}

TEST_F(Payments, ViewSendsEachRowToItsWindowByDueDate) {
  const QString doc = threeRows();
  const qint32 first = planIds(doc)[0];  // due 2024-04-01
  struct Case {
    const char* today;
    int button;
    const char* refusal;  // "" when the payment window opens
  };
  for (const Case& c : {Case{"2024-03-31", 1, "请使用【提前支取】进行回款操作！"}, Case{"2024-04-02", 2, "请使用【取款确认】进行回款操作！"},
                        Case{"2024-04-01", 1, ""}, Case{"2024-04-01", 2, ""}, Case{"2024-03-31", 2, ""}}) {
    SCOPED_TRACE(c.today);
    at(c.today);
    responder_.clear();
    modal_.shown.clear();
    view(doc, first)->pbCJkzl_Click(c.button);
    if (*c.refusal) {
      EXPECT_TRUE(responder_.saw(S(c.refusal)));
      EXPECT_TRUE(modal_.shown.empty());
    } else {
      ASSERT_EQ(modal_.shown.size(), 1u);
      EXPECT_EQ(modal_.shown[0], c.button == 1 ? S("frmRzzfqr") : S("frmRzTqzf"));
    }
  }
  // The totals row is no plan row.
  frmRzLxzf v;
  v.DocNo = doc;
  v.Form_Load();
  v.Fg->setRow(v.Fg->rows() - 1);
  modal_.shown.clear();
  v.pbCJkzl_Click(1);
  EXPECT_TRUE(modal_.shown.empty());
}

TEST_F(Payments, EarlyPartThenConfirmationSettlesInCents) {
  // Daily rate 0.05 %, early-withdrawal rate 0.03 %, one row over March.
  FinancingTerms t = terms(100000, 0.05, "日");
  t.提前支取利率 = 0.03;
  const QString doc = record(btn一次性支付本息, t);
  const qint32 id = planIds(doc)[0];
  at("2024-03-11");
  // Ten days: interest 500, deduction 200; the user pays 40000.50 of the principal.
  responder_.answer(Mb::Yes);
  answerPayment<frmRzTqzf>([](frmRzTqzf& w) {
    EXPECT_EQ(w.Text1[0]->text(), S("100000.00"));
    EXPECT_EQ(w.Text1[1]->text(), S("500.00"));
    EXPECT_EQ(w.Text1[2]->text(), S("200.00"));
    EXPECT_EQ(w.Combo1->currentText(), S("已付"));
    w.Text1[0]->setText(S("40000.50"));
    w.归还总额();
    EXPECT_EQ(w.Combo1->currentText(), S("支付部分"));
    EXPECT_EQ(w.lblze->text(), S("归还总额：40300.50"));
    w.Text1[3]->setText(S("投资人急用"));
  });
  view(doc, id)->pbCJkzl_Click(2);
  ASSERT_TRUE(responder_.saw(PaymentSavedMessage()));
  EXPECT_EQ(status(id), S("支付部分"));
  EXPECT_EQ(recordStatus(doc), S("未付")) << "a part-paid row keeps the record open";
  EXPECT_DOUBLE_EQ(rowNumber("已付本金", id), 40000.5);
  EXPECT_DOUBLE_EQ(recordNumber("提前支取扣款", doc), 200);
  EXPECT_EQ(text(S("select 备注 from PJ_Cjzfjl where 计划ID=?"), {id}), S("投资人急用"));
  expectJournal(doc, 1, {{"拆借支取支出", -40000.5}, {"拆借利息支取支出", -500}, {"拆借提前支取扣款收入", 200}});
  // On the due date the remainder is confirmed: 59999.50 and the interest not yet paid.
  at("2024-03-31");
  responder_.clear();
  responder_.answer(Mb::Yes);
  answerPayment<frmRzzfqr>([](frmRzzfqr& w) { EXPECT_EQ(w.lbltqhdr[5]->text(), S("59999.50")); });
  view(doc, id)->pbCJkzl_Click(1);
  ASSERT_TRUE(responder_.saw(PaymentSavedMessage()));
  EXPECT_EQ(status(id), S("已付"));
  EXPECT_EQ(recordStatus(doc), S("已完结"));
  const double planned = rowNumber("应付利息", id);
  EXPECT_DOUBLE_EQ(recordNumber("已付本金", doc), 100000);
  EXPECT_DOUBLE_EQ(recordNumber("已付利息", doc), planned);
  expectJournal(doc, 4, {{"拆借支取支出", -59999.5}, {"拆借利息支取支出", -(planned - 500)}});
  expectBalancesRun();
}

TEST_F(Payments, EarlyPaymentRefusesBadAmountsBeforeAsking) {
  // 100000 at 0.1 % a day due 2024-03-31; on day 10: interest 1000, deduction 10 x (100 - 75) = 250.
  const QString doc = record(btn一次性支付本息, terms());
  const qint32 id = planIds(doc)[0];
  at("2024-03-11");
  struct Case {
    const char *p, *i, *d, *message;
    double recordPaid = 0;       // 已付本金 of the record, as another row left it
    const char* date = nullptr;  // the payment date, else today
    int remark = 0;              // characters typed into 备注; with interest short, the waiver is agreed to
  };
  const Case cases[] = {
      {"1.2.3", "0", "0", "支付本金输入不合法！"},
      {"10", "5", "x", "扣除利息输入不合法！"},
      {"", "", "", "支付金额不能为零！"},
      {"0", "0", "50", "支付金额不能为零！"},
      {"100000.01", "0", "0", "支付本金不能大于未付本金！"},
      {"1000.01", "0", "0", "支付本金不能大于该笔融资的未付本金！", 99000},
      {"0", "1000.01", "0", "支付利息不能大于应付利息！"},
      {"10000", "50000", "0", "支付利息不能大于应付利息！"},
      {"0", "100", "250.01", "扣除利息不能大于应扣利息！"},
      {"100000", "1000", "250", "提前支取日期不能晚于约定支付日期！", 0, "2024-04-01"},
      {"100000", "1000", "250", "支付日期不能晚于今天！", 0, "2024-03-12"},
      {"1000000000", "0", "0", "支付本金输入不合法！"},
      {"0", "100.999", "0", "支付利息输入不合法！"},
      {"0", "100", "0.001", "扣除利息输入不合法！"},
      {"100000", "900", "250", "备注不能超过243个字！", 0, nullptr, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Db().Execute(S("update PJ_Cjjl set 已付本金=? where 单号=?"), {c.recordPaid, doc});
    responder_.clear();
    auto w = form<frmRzTqzf>(id);
    if (c.date) w->DTPicker1->setDateValue(D(c.date));
    w->Text1[0]->setText(S(c.p));
    w->Text1[1]->setText(S(c.i));
    w->Text1[2]->setText(S(c.d));
    w->Text1[3]->setText(S("满").repeated(c.remark));
    responder_.answer(Mb::Yes);
    w->pbCDkgh_Click(0);
    QStringList said{S(c.message)};
    if (c.remark) said.prepend(S("本期尚有未付利息100.00元，确认减免并结清该期吗？"));
    EXPECT_EQ(responder_.texts(), said) << "refused before the question";
    EXPECT_EQ(count(S("PJ_Cjzfjl")), 0);
    expectNothingPaid(doc, id);
  }
  // Answering No writes nothing either.
  Db().Execute(S("update PJ_Cjjl set 已付本金=0 where 单号=?"), {doc});
  auto w = form<frmRzTqzf>(id);
  responder_.answer(Mb::No);
  w->pbCDkgh_Click(0);
  EXPECT_EQ(count(S("PJ_Cjzfjl")), 0);
}

// Neither payment window takes a 支付日期 after today; today and yesterday are taken.
TEST_F(Payments, APaymentDatedAfterTodayIsRefusedInBothWindows) {
  // A record of 100000 from 2024-03-01, due 2024-03-31: 取款确认 on 2024-04-05, 提前支取 on 2024-03-11.
  struct Case {
    bool early;
    int offset;  // days from today
    bool saved;
  };
  const Case cases[] = {{false, 1, false}, {false, 0, true}, {false, -1, true}, {true, 1, false}, {true, 0, true}, {true, -1, true}};
  for (const Case& c : cases) {
    at("2024-03-01");
    const QString doc = record(btn一次性支付本息, terms());
    const qint32 id = planIds(doc)[0];
    const QDate today = c.early ? D("2024-03-11") : D("2024-04-05");
    const QDate day = today.addDays(c.offset);
    SCOPED_TRACE((c.early ? "提前支取 " : "取款确认 ") + DateText(day).toStdString());
    setNow(QDateTime(today, QTime(9, 0)));
    const std::unique_ptr<PaymentForm> w = c.early ? std::unique_ptr<PaymentForm>(form<frmRzTqzf>(id)) : form<frmRzzfqr>(id);
    w->DTPicker1->setDateValue(day);
    responder_.clear();
    responder_.answer(Mb::Yes);
    w->pbCDkgh_Click(0);
    if (!c.saved) {
      EXPECT_EQ(responder_.texts(), QStringList{S("支付日期不能晚于今天！")}) << "refused before the question";
      expectNothingPaid(doc, id);
      EXPECT_EQ(recordNumber("已付本金", doc), 0);
      continue;
    }
    ASSERT_FALSE(responder_.texts().isEmpty());
    EXPECT_EQ(responder_.texts().front(), S("您确认保存该笔业务的操作吗？"));
    EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=?"), {doc}), 1);
    EXPECT_EQ(text(S("select 支付日期 from PJ_Cjzfjh where 编号=?"), {id}), DateText(day));
    EXPECT_EQ(status(id), S("已付"));
  }
}

TEST_F(Payments, EarlyStatusFollowsTheAmountsAndTheUnchargedInterestIsNotOwed) {
  const QString doc = record(btn一次性支付本息, terms());
  const qint32 id = planIds(doc)[0];
  const double planned = rowNumber("应付利息", id);
  at("2024-03-11");
  auto w = form<frmRzTqzf>(id);
  EXPECT_FALSE(w->Combo1->isEnabled()) << "the status is the amounts'";
  EXPECT_EQ(w->Combo1->currentText(), S("已付"));
  // All the interest with principal short: the row stays open.
  for (const auto& [principal, shown] : {std::pair{"99999.99", "支付部分"}, std::pair{"100000", "已付"}}) {
    w->Text1[0]->setText(S(principal));
    w->归还总额();
    EXPECT_EQ(w->Combo1->currentText(), S(shown));
  }
  responder_.answer(Mb::Yes);
  w->pbCDkgh_Click(0);
  EXPECT_EQ(status(id), S("已付"));
  EXPECT_EQ(recordStatus(doc), S("已完结"));
  // Interest is planned as paid: 1000 before the deduction, which stays in 提前支取扣款.
  EXPECT_DOUBLE_EQ(rowNumber("应付利息", id), 1000);
  EXPECT_DOUBLE_EQ(recordNumber("利息", doc), 1000);
  EXPECT_DOUBLE_EQ(rowNumber("提前支取扣款", id), 250);
  EXPECT_GT(planned, 1000);
  // The daily report owes nothing on the settled record.
  const auto report = ComputeDailyReport(PlanBook::Financing, D("2024-03-31"), QString());
  ASSERT_EQ(report.size(), 1u);
  EXPECT_DOUBLE_EQ(report[0].openPrincipal + report[0].openInterest, 0);
}

TEST_F(Payments, APlanWithANegativeRowPaysExactlyThePrincipalAndEnds) {
  // A plan the old builder made: 3 over three rows as 3.00, 1.00 and -1.00, no interest.
  InstalmentOptions o{3, QLatin1Char('M'), D("2024-03-01")};
  const QString doc = record(btn等额本金后付, terms(3, 1, "月"), &o);
  const auto ids = planIds(doc);
  ASSERT_EQ(ids.size(), 3u);
  const double principals[] = {3, 1, -1};
  for (size_t i = 0; i < 3; ++i)
    Db().Execute(S("update PJ_Cjzfjh set 应付本金=?,应付利息=0 where 编号=?"), {principals[i], ids[i]});
  Db().Execute(S("update PJ_Cjjl set 利息=0 where 单号=?"), {doc});
  // Row 1 and row 2 through the confirmation (row 2 has nothing left: a record of 0), row 3 early.
  struct Step {
    const char* day;
    bool early;
    double paid;
  };
  const Step steps[] = {{"2024-04-01", false, 3}, {"2024-05-01", false, 0}, {"2024-05-15", true, 0}};
  for (size_t i = 0; i < 3; ++i) {
    at(steps[i].day);
    responder_.clear();
    responder_.answer(Mb::Yes);
    if (steps[i].early) {
      auto w = form<frmRzTqzf>(ids[i]);
      EXPECT_EQ(w->Text1[0]->text(), S("0.00"));
      w->pbCDkgh_Click(0);
    } else {
      form<frmRzzfqr>(ids[i])->pbCDkgh_Click(0);
    }
    EXPECT_TRUE(responder_.saw(PaymentSavedMessage())) << steps[i].day << " " << responder_.texts().join(QStringLiteral("/")).toStdString();
    EXPECT_EQ(status(ids[i]), S("已付"));
    EXPECT_DOUBLE_EQ(number(S("select 本金 from PJ_Cjzfjl where 计划ID=?"), {ids[i]}), steps[i].paid);
  }
  EXPECT_EQ(recordStatus(doc), S("已完结"));
  EXPECT_DOUBLE_EQ(recordNumber("已付本金", doc), 3);
  EXPECT_DOUBLE_EQ(number(S("select sum(金额) from PJ_Liushui where 单号=? and 摘要=?"), {doc, S("拆借支取支出")}), -3);
}

TEST_F(Payments, PaymentsLockTheDocument) {
  const QString doc = threeRows();
  const qint32 id = planIds(doc)[0];
  PaymentPosting post{.planRowId = id, .date = D("2024-04-01"), .本金 = 30000, .利息 = 900, .付款状态 = S("已付"), .seen = ReadPlanRow(id)};
  PostFinancingPayment(post);
  // A row already settled is not paid twice.
  post.seen = ReadPlanRow(post.planRowId);
  EXPECT_THROW(PostFinancingPayment(post), FinancingInputError);
  EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=?"), {doc}), 1);
  EXPECT_TRUE(HasFinancingPayments(doc));
  // Neither a new plan nor an edit.
  frmRzdjB w;
  w.EditDocNo = doc;
  w.Form_Load();
  w.pbCDkdj_Click(btn一次性支付本息);
  EXPECT_TRUE(responder_.saw(S("该单据已有支付记录，不能重新生成计划！")));
  EXPECT_EQ(planIds(doc).size(), 3u);
  w.pbCDkgh_Click(0);
  EXPECT_TRUE(responder_.saw(S("该单据已有支付记录，不能修改！")));
  EXPECT_EQ(journal(doc).size(), 3u);
}

TEST_F(Payments, AccountPickerChoosesTheAccountsOrNothingIsSaved) {
  const QString doc = threeRows();
  const qint32 id = planIds(doc)[0];
  gSystemSettings[5] = S("1");
  Db().Execute(S("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,'6228001',0)"), {S("农业银行"), S("示范借贷有限公司")});
  at("2024-04-01");
  auto pay = [&] { view(doc, id)->pbCJkzl_Click(1); };
  // The picker closed: nothing at all.
  responder_.answer(Mb::Yes);
  answerPayment<frmRzzfqr>();
  pay();
  EXPECT_EQ(modal_.shown, (std::vector<QString>{S("frmRzzfqr"), S("frmXjyh")}));
  EXPECT_EQ(status(id), S("未付"));
  EXPECT_EQ(journal(doc).size(), 1u);
  // The picker confirmed: our account and the investor's on both journal rows.
  responder_.answer(Mb::Yes);
  answerPayment<frmRzzfqr>();
  modal_.handlers.push_back([](QDialog* d) {
    auto* picker = qobject_cast<frmXjyh*>(d);
    EXPECT_EQ(gBankInfo[50].toInt(), 6);
    picker->eButOK_Click();
    return picker->result();
  });
  pay();
  EXPECT_EQ(status(id), S("已付"));
  EXPECT_EQ(count(S("PJ_Liushui where 单号=? and 我方账号='6228001' and 对方账号='6222000011112222'"), {doc}), 2);
}

TEST_F(Payments, PrincipalReturnedEarlyStopsEarningThroughTheWindows) {
  // One step: the window of the day (the test clock set to it), the amounts typed over the proposal
  // (nullptr keeps it), the answer to the waiver question (0: none asked), then the proposal shown,
  // the row, the record's 利息 and the journal rows the save adds.
  struct Step {
    const char* date;
    bool early;
    const char *principal, *interest, *deduction;
    int waiver;
    const char *shownPrincipal, *shownInterest, *shownDeduction;  // the last early only
    double planned, paidPrincipal, paidInterest, withheld;
    const char* status;
    double recordInterest;
    std::vector<std::pair<const char*, double>> journal;
    const char* remark;
    int typed = 0;  // characters typed into 备注 (early only), kept before the remark the save adds
  };
  // 100000 at 0.05 %/day, early rate 0.025, 03-01 to 04-30 (3000 planned) unless a row says otherwise.
  struct Scenario {
    const char* name;
    std::vector<Step> steps;
    double principal = 100000, rate = 0.05;
    const char* kind = "日";
    double earlyRate = 0.025;
    const char* end = "2024-04-30";
    const char* registered = "2024-03-01";
    const char* start = "2024-03-01";  // 起息日期
    bool bothEnds = false;
  };
  const Step returns60000{"2024-03-21", true, "60000", nullptr, nullptr, 0, "100000.00", "1000.00", "500.00", 1800, 60000, 1000, 500,
                          "支付部分", 1800, {{"拆借支取支出", -60000}, {"拆借利息支取支出", -1000}, {"拆借提前支取扣款收入", 500}}, ""};
  const std::vector<Scenario> scenarios = {
      {"rest_early", {returns60000,
        {"2024-04-10", true, nullptr, nullptr, nullptr, 0, "40000.00", "400.00", "200.00", 1400, 100000, 1400, 700, "已付", 1400,
         {{"拆借支取支出", -40000}, {"拆借利息支取支出", -400}, {"拆借提前支取扣款收入", 200}}, ""}}},
      {"rest_confirmed", {returns60000,
        {"2024-04-30", false, nullptr, nullptr, nullptr, 0, "40000.00", "800.00", nullptr, 1800, 100000, 1800, 500, "已付", 1800,
         {{"拆借支取支出", -40000}, {"拆借利息支取支出", -800}}, nullptr}}},
      {"rest_early_on_the_due_date", {returns60000,
        {"2024-04-30", true, nullptr, nullptr, nullptr, 0, "40000.00", "800.00", "0.00", 1800, 100000, 1800, 500, "已付", 1800,
         {{"拆借支取支出", -40000}, {"拆借利息支取支出", -800}}, ""}}},
      {"waiver_yes", {{"2024-03-21", true, "100000", "900", "500", Mb::Yes, "100000.00", "1000.00", "500.00", 900, 100000, 900, 500, "已付", 900,
         {{"拆借支取支出", -100000}, {"拆借利息支取支出", -900}, {"拆借提前支取扣款收入", 500}}, "减免利息100.00元"}}},
      {"waiver_after_a_remark_that_leaves_it_room", {{"2024-03-21", true, "100000", "900", "500", Mb::Yes, "100000.00", "1000.00", "500.00", 900, 100000, 900, 500, "已付", 900,
         {{"拆借支取支出", -100000}, {"拆借利息支取支出", -900}, {"拆借提前支取扣款收入", 500}}, "；减免利息100.00元", 243}}},
      {"waiver_no", {{"2024-03-21", true, "100000", "900", "500", Mb::No, "100000.00", "1000.00", "500.00", 1000, 100000, 900, 500, "支付部分", 1000,
         {{"拆借支取支出", -100000}, {"拆借利息支取支出", -900}, {"拆借提前支取扣款收入", 500}}, ""},
        {"2024-04-30", false, nullptr, nullptr, nullptr, 0, "0.00", "100.00", nullptr, 1000, 100000, 1000, 500, "已付", 1000,
         {{"拆借利息支取支出", -100}}, nullptr}}},
      // 90000 at 1.5 %/month over three plan months (4050; 92 days at 0.05 % a day).
      {"monthly_two_returns", {{"2024-03-21", true, "30000", nullptr, nullptr, 0, "90000.00", "900.00", "360.00", 2970, 30000, 900, 360, "支付部分", 2970,
         {{"拆借支取支出", -30000}, {"拆借利息支取支出", -900}, {"拆借提前支取扣款收入", 360}}, ""},
        {"2024-04-20", true, "30000", nullptr, nullptr, 0, "60000.00", "810.00", "324.00", 2340, 60000, 1710, 684, "支付部分", 2340,
         {{"拆借支取支出", -30000}, {"拆借利息支取支出", -810}, {"拆借提前支取扣款收入", 324}}, ""},
        {"2024-06-01", false, nullptr, nullptr, nullptr, 0, "30000.00", "630.00", nullptr, 2340, 90000, 2340, 684, "已付", 2340,
         {{"拆借支取支出", -30000}, {"拆借利息支取支出", -630}}, nullptr}},
       90000, 1.5, "月", 0.9, "2024-06-01"},
      // Returned before the period begins: nothing proposed, the whole share of the 300 taken off.
      {"monthly_before_the_period", {{"2027-01-10", true, "10000", nullptr, nullptr, 0, "30000.00", "0.00", "0.00", 200, 10000, 0, 0, "支付部分", 200,
         {{"拆借支取支出", -10000}}, ""},
        {"2027-01-15", true, nullptr, nullptr, nullptr, 0, "20000.00", "0.00", "0.00", 0, 30000, 0, 0, "已付", 0,
         {{"拆借支取支出", -20000}}, ""}},
       30000, 1, "月", 0.5, "2027-03-01", "2027-01-01", "2027-02-01"},
      // 首尾计息: 61 days, 3050; each share is of the 3050, what came off before included.
      {"daily_both_ends_before_the_period", {{"2024-02-20", true, "40000", nullptr, nullptr, 0, "100000.00", "0.00", "0.00", 1830, 40000, 0, 0, "支付部分", 1830,
         {{"拆借支取支出", -40000}}, ""},
        {"2024-02-22", true, "30000", nullptr, nullptr, 0, "60000.00", "0.00", "0.00", 915, 70000, 0, 0, "支付部分", 915,
         {{"拆借支取支出", -30000}}, ""},
        {"2024-02-25", true, nullptr, nullptr, nullptr, 0, "30000.00", "0.00", "0.00", 0, 100000, 0, 0, "已付", 0,
         {{"拆借支取支出", -30000}}, ""}},
       100000, 0.05, "日", 0.025, "2024-04-30", "2024-02-01", "2024-03-01", true},
  };
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    at(sc.registered);
    FinancingTerms t = terms(sc.principal, sc.rate, sc.kind);
    t.提前支取利率 = sc.earlyRate;
    t.登记日期 = D(sc.registered);
    t.起息日期 = D(sc.start);
    t.止息日期 = D(sc.end);
    t.首尾计息 = sc.bothEnds;
    const QString doc = record(btn一次性支付本息, t);
    const qint32 id = planIds(doc)[0];
    for (const Step& st : sc.steps) {
      SCOPED_TRACE(st.date);
      at(st.date);
      const size_t before = journal(doc).size();
      responder_.clear();
      if (st.waiver) responder_.answer(st.waiver);
      responder_.answer(Mb::Yes);
      if (st.early) {
        auto w = form<frmRzTqzf>(id);
        const char* shown[] = {st.shownPrincipal, st.shownInterest, st.shownDeduction};
        const char* typed[] = {st.principal, st.interest, st.deduction};
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(w->Text1[i]->text(), S(shown[i]));
        for (size_t i = 0; i < 3; ++i)
          if (typed[i]) w->Text1[i]->setText(S(typed[i]));
        w->Text1[3]->setText(S("长").repeated(st.typed));
        w->归还总额();
        w->pbCDkgh_Click(0);
      } else {
        auto w = form<frmRzzfqr>(id);
        EXPECT_EQ(w->lbltqhdr[5]->text(), S(st.shownPrincipal));
        EXPECT_EQ(w->lbltqhdr[6]->text(), S(st.shownInterest));
        w->pbCDkgh_Click(0);
      }
      const QString question = S("本期尚有未付利息100.00元，确认减免并结清该期吗？");
      EXPECT_EQ(responder_.saw(question), st.waiver != 0) << responder_.texts().join(S("/")).toStdString();
      ASSERT_TRUE(responder_.saw(PaymentSavedMessage())) << responder_.texts().join(S("/")).toStdString();
      const QueryResult r = Db().query(S("select 应付利息,已付本金,已付利息,提前支取扣款,结算状态 from PJ_Cjzfjh where 编号=?"), {id});
      ASSERT_EQ(r.rows.size(), 1u);
      // The record owes what its rows plan, and has paid what its rows have.
      const char* recordColumns[] = {"利息", "已付本金", "已付利息", "提前支取扣款"};
      const double expected[] = {st.planned, st.paidPrincipal, st.paidInterest, st.withheld};
      for (size_t k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(VariantNumber(r.rows[0][k]), expected[k]) << k;
        EXPECT_DOUBLE_EQ(recordNumber(recordColumns[k], doc), k ? expected[k] : st.recordInterest) << recordColumns[k];
      }
      EXPECT_EQ(VariantText(r.rows[0][4]), S(st.status));
      EXPECT_EQ(recordStatus(doc), S(st.status) == S("已付") ? S("已完结") : S("未付"));
      if (st.remark)
        EXPECT_EQ(text(S("select 备注 from PJ_Cjzfjl where 计划ID=? order by 编号 desc limit 1"), {id}), S("长").repeated(st.typed) + S(st.remark));
      expectJournal(doc, before, st.journal);
    }
  }
  expectBalancesRun();
}

TEST_F(Payments, PrepaidRowDoesNotCountAsAPayment) {
  InstalmentOptions o{2, QLatin1Char('M'), D("2024-04-01")};
  const QString doc = record(btn分期付息先息, terms(20000, 2, "月"), &o);
  EXPECT_FALSE(HasFinancingPayments(doc));
  EXPECT_DOUBLE_EQ(recordNumber("已付利息", doc), 400);
  // The interest paid out at registration points at the prepaid row.
  const qint32 prepaidRow = planIds(doc)[0];
  EXPECT_EQ(count(S("PJ_Liushui where 单号=? and 摘要=? and 对应ID=? and 金额=-400"), {doc, S("拆借利息支出"), prepaidRow}), 1);
  EXPECT_EQ(count(S("PJ_Cjzfjl where 单号=? and 计划ID=?"), {doc, prepaidRow}), 1);
}

}  // namespace
