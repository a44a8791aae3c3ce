// The daily reports, the funds report and the cash journal view on a book with known figures.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include "OutputFixture.h"
#include "shell/frmMain.h"
#include "app/services/GridHelpers.h"
#include "control/pbCommand.h"
#include "output/OutputLinks.h"
#include "output/ReportQueries.h"
#include "output/frmTjDkbb.h"
#include "output/frmTjLs.h"
#include "output/frmTjZjrb.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

namespace {
using Figures = std::array<double, 8>;  // 本金总额 到期本金 已还 未还 利息总额 到期利息 已还 未还
Figures figuresOf(const DailyReportRow& r) {
  return {r.principal, r.duePrincipal, r.paidPrincipal, r.openPrincipal, r.interest, r.dueInterest, r.paidInterest, r.openInterest};
}
class ReportsTest : public OutputFixture {};
}  // namespace

TEST_F(ReportsTest, DailyReportsCountDueRowsOfEveryDocument) {
  fillBook();
  struct Case {
    PlanBook book;
    QString name;
    QDate base;
    std::vector<std::pair<QString, Figures>> rows;
  } cases[] = {
      {PlanBook::Loans, {}, QDate(2024, 3, 5),
       {{"D1", {3000, 2000, 1400, 600, 300, 200, 100, 100}},  // the row due on the base date counts, part paid
        {"D2", {500, 500, 0, 500, 50, 50, 0, 50}},            // not approved: counted all the same
        {"D3", {300, 300, 300, 0, 30, 30, 30, 0}}}},          // settled: counted; D4 has nothing due
      {PlanBook::Loans, {}, QDate(2024, 3, 4),
       {{"D1", {3000, 1000, 1000, 0, 300, 100, 100, 0}}, {"D2", {500, 500, 0, 500, 50, 50, 0, 50}}, {"D3", {300, 300, 300, 0, 30, 30, 30, 0}}}},
      {PlanBook::Loans, QStringLiteral("张三"), QDate(2024, 3, 5), {{"D1", {3000, 2000, 1400, 600, 300, 200, 100, 100}}}},
      {PlanBook::Loans, QStringLiteral(" 张三"), QDate(2024, 3, 5), {}},
      {PlanBook::Loans, QStringLiteral("x' or '1'='1"), QDate(2024, 3, 5), {}},
      {PlanBook::Loans, {}, QDate(2023, 12, 31), {}},
      {PlanBook::Financing, {}, QDate(2024, 3, 5),
       {{"C1", {10000, 2000, 2000, 0, 600, 300, 300, 0}},
        {"C2", {5000, 5000, 0, 5000, 100, 100, 0, 100}},
        {"C3", {7000, 7000, 0, 7000, 70, 70, 0, 70}},
        {"C4", {1000, 1000, 1000, 0, 10, 10, 10, 0}}}},
  };
  for (const Case& c : cases) {
    const auto rows = ComputeDailyReport(c.book, c.base, c.name);
    ASSERT_EQ(rows.size(), c.rows.size()) << c.name.toStdString() << " " << c.base.toString().toStdString();
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].docNo, c.rows[i].first);
      EXPECT_EQ(figuresOf(rows[i]), c.rows[i].second) << rows[i].docNo.toStdString();
      EXPECT_DOUBLE_EQ(rows[i].openTotal(), rows[i].openPrincipal + rows[i].openInterest);
    }
  }
}

TEST_F(ReportsTest, DailyReportWindowsShowTheFiguresAndTheirTotals) {
  fillBook();
  frmTjDkbb loans;
  EXPECT_EQ(loans.windowTitle(), QStringLiteral("贷款日报"));
  Grid* g = loans.Fg;
  ASSERT_EQ(g->fixedRows(), 2);
  ASSERT_EQ(g->rows(), 2 + 3 + 1);  // three documents and the totals row
  EXPECT_EQ(g->textMatrix(0, 1), QStringLiteral("本金"));
  EXPECT_EQ(g->textMatrix(1, 1), QStringLiteral("本金总额"));
  EXPECT_EQ(g->textMatrix(0, 6), QStringLiteral("利息"));
  EXPECT_EQ(g->textMatrix(1, 10), QStringLiteral("已还总计"));
  EXPECT_EQ(g->textMatrix(2, 0), QStringLiteral("张三"));
  EXPECT_EQ(g->displayText(2, 11), QStringLiteral("700.00"));
  EXPECT_TRUE(g->colHidden(12));
  const int total = g->rows() - 1;
  EXPECT_TRUE(g->isTotalsRow(total));
  EXPECT_EQ(g->displayText(total, 1), QStringLiteral("3,800.00"));
  EXPECT_EQ(g->displayText(total, 4), QStringLiteral("1,100.00"));
  EXPECT_EQ(g->displayText(total, 11), QStringLiteral("1,250.00"));

  // 查看明细 opens the records list searched for the row's name.
  QString asked;
  gShowLoanListFor = [&](QWidget*, const QString& name) { asked = name; };
  g->setRow(3);
  loans.pbCTj_Click(3);
  EXPECT_EQ(asked, QStringLiteral("某公司"));
  gShowLoanListFor = nullptr;
  // A name filter and a new base date through the boxes.
  loans.Text1->setText(QStringLiteral("某公司"));
  loans.DTPicker1->setDateValue(QDate(2024, 2, 29));
  loans.pbCTj_Click(0);
  // Nothing of 某公司 was due by then: the header and a totals row of zero sums.
  ASSERT_EQ(g->rows(), 3);
  EXPECT_TRUE(g->isTotalsRow(2));
  EXPECT_EQ(g->textMatrix(2, 0), QStringLiteral("记录：0"));
  for (int c = 1; c <= 11; ++c) EXPECT_EQ(g->displayText(2, c), QStringLiteral("0.00")) << c;

  frmTjCjrb financing;
  EXPECT_EQ(financing.windowTitle(), QStringLiteral("拆借日报"));
  EXPECT_EQ(financing.Fg->textMatrix(1, 11), QStringLiteral("未付总计"));
  EXPECT_EQ(financing.Fg->rows(), 2 + 4 + 1);
  EXPECT_EQ(financing.Fg->displayText(financing.Fg->rows() - 1, 2), QStringLiteral("15,000.00"));
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
}

TEST_F(ReportsTest, FundsReportTakesOpenDocumentsOnly) {
  fillBook();
  const FundsReport r = ComputeFundsReport(QDate(2024, 3, 5));
  const std::vector<std::pair<const char*, double>> expected = {
      {"自有资金", 8000},          {"拆借资金", 5000},          {"外放本金总额", 5000},  {"外放到期本金", 2000},
      {"外放到期已收回本金", 1400}, {"外放到期未收回本金", 600}, {"外放本金余额", 3600},  {"外放利息总额", 500},
      {"外放到期利息", 200},        {"外放到期已收回利息", 100}, {"外放到期未收回利息", 100}, {"外放利息余额", 400},
      {"拆借资金总额", 15000},      {"已偿还拆借资金", 2000},    {"拆借资金余额", 13000}, {"拆借利息总额", 700},
      {"已偿还拆借利息", 300},      {"拆借利息余额", 400}};
  for (const auto& [name, value] : expected) EXPECT_DOUBLE_EQ(r.value(QString::fromUtf8(name)), value) << name;

  // No open document at all: every figure is 0.
  Db().Execute(QStringLiteral("update PJ_Dkjl set 结算状态=?"), {QStringLiteral("已完结")});
  Db().Execute(QStringLiteral("update PJ_Cjjl set 业务状态=?"), {QStringLiteral("未审核")});
  for (double v : ComputeFundsReport(QDate(2024, 3, 5)).values) EXPECT_EQ(v, 0);
}

// The 到期 lines take only rows due by the base date; the balances take everything collected.
TEST_F(ReportsTest, FundsReportDueLinesCountOnlyRowsDue) {
  // One 等额本金 loan of 30000 whose next-month row of 10000 was repaid early, nothing else due.
  loan(QStringLiteral("D1"), QStringLiteral("个人"), person(QStringLiteral("张三")), QStringLiteral("张三"), 30000, QStringLiteral("已审核"),
       QStringLiteral("未还"));
  loanRow(QStringLiteral("D1"), 1, QStringLiteral("张三"), 10000, 150, 10000, 150, QStringLiteral("已还"), QStringLiteral("2024-04-01"));
  loanRow(QStringLiteral("D1"), 2, QStringLiteral("张三"), 10000, 300, 0, 0, QStringLiteral("未还"), QStringLiteral("2024-05-01"));
  loanRow(QStringLiteral("D1"), 3, QStringLiteral("张三"), 10000, 150, 0, 0, QStringLiteral("未还"), QStringLiteral("2024-06-01"));
  const FundsReport r = ComputeFundsReport(QDate(2024, 3, 5));
  const std::vector<std::pair<const char*, double>> expected = {
      {"外放本金总额", 30000}, {"外放到期本金", 0},       {"外放到期已收回本金", 0}, {"外放到期未收回本金", 0},
      {"外放本金余额", 20000}, {"外放利息总额", 600},     {"外放到期利息", 0},       {"外放到期已收回利息", 0},
      {"外放到期未收回利息", 0}, {"外放利息余额", 450}};
  for (const auto& [name, value] : expected) EXPECT_DOUBLE_EQ(r.value(QString::fromUtf8(name)), value) << name;

  // On the filled book, at every base date, each 到期 line is its 已收回 plus its 未收回.
  Db().Execute(QStringLiteral("delete from PJ_Hdjh"));
  Db().Execute(QStringLiteral("delete from PJ_Dkjl"));
  fillBook();
  for (const QDate& base : {QDate(2024, 1, 1), QDate(2024, 2, 1), QDate(2024, 3, 5), QDate(2024, 4, 1), QDate(2024, 5, 1)}) {
    SCOPED_TRACE(base.toString(Qt::ISODate).toStdString());
    const FundsReport f = ComputeFundsReport(base);
    for (const char* part : {"本金", "利息"}) {
      const auto v = [&](const char* line) { return f.value(QStringLiteral("外放") + QString::fromUtf8(line) + QString::fromUtf8(part)); };
      EXPECT_NEAR(v("到期"), v("到期已收回") + v("到期未收回"), 0.001) << part;
    }
    EXPECT_DOUBLE_EQ(f.value(QStringLiteral("外放本金余额")), 3600) << "总额 5000 less all 1400 collected";
  }
}

TEST_F(ReportsTest, FundsReportWindowKeepsOneRowAndRefusesAnEarlierBaseDate) {
  fillBook();
  frmTjZjrb w;
  EXPECT_EQ(w.Fg->rows(), 18);
  EXPECT_EQ(w.Fg->textMatrix(6, 0), QStringLiteral("外放本金余额"));
  EXPECT_EQ(w.Fg->displayText(6, 1), QStringLiteral("3,600.00"));
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_TjZjrb")).toInt(), 1);
  EXPECT_DOUBLE_EQ(Db().scalar(QStringLiteral("select 拆借资金余额 from PJ_TjZjrb")).toDouble(), 13000);
  // Plan rows are not written to compute the report.
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Hdjh where 统计基准日 is not null")).toInt(), 0);

  w.DTPicker1->setDateValue(QDate(2024, 3, 4));
  w.pbCTj_Click(0);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("基准日期不能小于当前日期！"));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
  w.DTPicker1->setDateValue(QDate(2024, 4, 1));
  w.pbCTj_Click(0);
  EXPECT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(w.Fg->displayText(3, 1), QStringLiteral("3,000.00"));  // 外放到期本金: every D1 row is due by 04-01
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_TjZjrb")).toInt(), 1);
}

TEST_F(ReportsTest, JournalConditionsAreBoundAndTheTotalIsSigned) {
  journal(QStringLiteral("2024-03-01 10:00:00"), QStringLiteral("D1"), 1000, QStringLiteral("admin"));
  journal(QStringLiteral("2024-03-02 11:00:00"), QStringLiteral("D1"), -300, QStringLiteral("bob"));
  journal(QStringLiteral("2024-03-04 09:00:00"), QStringLiteral("C1"), -50.5, QStringLiteral("admin"), QStringLiteral("O'Brien%_x"));
  journal(QStringLiteral("2024-02-28 09:00:00"), QStringLiteral("D9"), 99, QStringLiteral("admin"));
  journal(QStringLiteral("2024-03-05 23:59:59"), QStringLiteral("D2"), 10, QStringLiteral("carol"), QStringLiteral("Obrien"));
  struct Case {
    QDate from, to;
    QString field, op, value;
    QStringList docs;
  } cases[] = {
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("忽略"), QStringLiteral("等于"), QStringLiteral("D1"), {"D1", "D1", "C1", "D2"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("单号"), QStringLiteral("等于"), QStringLiteral(" D1 "), {"D1", "D1"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("操作员"), QStringLiteral("不等于"), QStringLiteral("admin"), {"D1", "D2"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("对方开户名"), QStringLiteral("包含"), QStringLiteral("'Brien%_"), {"C1"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("对方开户名"), QStringLiteral("包含"), QStringLiteral("brien"), {"C1", "D2"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("单号"), QStringLiteral("等于"), QStringLiteral("   "), {}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("单号"), QStringLiteral("等于"), QString(), {"D1", "D1", "C1", "D2"}},
      {QDate(2024, 3, 1), QDate(2024, 3, 5), QStringLiteral("余额 or 1=1 --"), QStringLiteral("等于"), QStringLiteral("x"), {"D1", "D1", "C1", "D2"}},
      {QDate(2024, 3, 5), QDate(2024, 3, 1), QStringLiteral("忽略"), QStringLiteral("等于"), QString(), {}},
  };
  for (const Case& c : cases) {
    const ReportSql q = BuildJournalQuery(c.from, c.to, c.field, c.op, c.value);
    OpenMainQuery(q.sql, q.params);
    QStringList docs;
    for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) docs << gMainRecordset.text(QStringLiteral("单号"));
    EXPECT_EQ(docs, c.docs) << c.field.toStdString() << " " << c.op.toStdString() << " [" << c.value.toStdString() << "]";
  }

  frmTjLs w;  // this month up to today, no condition
  EXPECT_EQ(w.DTPstr->date(), QDate(2024, 3, 1));
  EXPECT_EQ(w.DTPovr->date(), QDate(2024, 3, 5));
  Grid* g = w.Fg;
  ASSERT_EQ(g->rows(), 2 + 4 + 1);
  EXPECT_EQ(g->textMatrix(0, 2), QStringLiteral("单据信息"));
  EXPECT_EQ(g->textMatrix(0, 11), QStringLiteral("对方账户"));
  const int total = g->rows() - 1;
  EXPECT_TRUE(g->isTotalsRow(total));
  EXPECT_EQ(g->displayText(total, 3), QStringLiteral("659.50"));
  EXPECT_EQ(g->cellForeColor(3, 2), QColor(Qt::red));  // the expenditure row is marked
  EXPECT_NE(g->cellForeColor(2, 2), QColor(Qt::red));
  w.comJd[1]->setCurrentText(QStringLiteral("操作员"));
  w.comJd[2]->setCurrentText(QStringLiteral("不等于"));
  w.txtJd->setText(QStringLiteral("admin"));
  w.eButton1->Click();
  EXPECT_EQ(g->displayText(g->rows() - 1, 3), QStringLiteral("-290.00"));
  // An end date before the start: no rows, only the totals row.
  w.DTPstr->setDateValue(QDate(2024, 3, 5));
  w.DTPovr->setDateValue(QDate(2024, 3, 1));
  w.eButton1->Click();
  ASSERT_EQ(g->rows(), 3);
  EXPECT_EQ(g->textMatrix(2, 0), QStringLiteral("记录：0"));
  EXPECT_EQ(g->displayText(2, 3), QStringLiteral("0.00"));
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
}

TEST_F(ReportsTest, MainWindowCommandsOpenTheReportAndSmsWindows) {
  frmMain w;
  gCurrentUserRole = 0;
  gCurrentUserRights = QStringLiteral("贷款日报,拆借日报,资金日报,流水账");
  const std::pair<const char*, const char*> commands[] = {{"mnu_dkrb", "frmTjDkbb"}, {"mnu_cjrb", "frmTjCjrb"}, {"mnu_zjrb", "frmTjZjrb"},
                                                          {"mnu_lsz", "frmTjLs"},    {"mnu_dxgl", "frmMsm"}};
  for (const auto& [command, window] : commands) {
    modal_.shown.clear();
    w.RunCommand(QString::fromUtf8(command));
    EXPECT_EQ(modal_.shown, std::vector<QString>{QString::fromUtf8(window)}) << command;
  }
  // The toolbar's report buttons run the same commands.
  modal_.shown.clear();
  w.pbMnu_Click(8);
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmTjZjrb")});
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
}

TEST_F(ReportsTest, EveryReportWindowExportsAndPrintsWhatItShows) {
  fillBook();
  journal(QStringLiteral("2024-03-01 10:00:00"), QStringLiteral("D1"), 1000, QStringLiteral("admin"));
  frmTjDkbb loans;
  frmTjCjrb financing;
  frmTjZjrb funds;
  frmTjLs cash;
  struct Case {
    std::function<void(int)> click;
    int exportIndex, printIndex;
    QString file;
  } cases[] = {
      {[&](int i) { loans.pbCTj_Click(i); }, 1, 2, QStringLiteral("Tjdkbb")},
      {[&](int i) { financing.pbCTj_Click(i); }, 1, 2, QStringLiteral("Tjdkbb")},
      {[&](int i) { funds.pbCTj_Click(i); }, 1, 2, QStringLiteral("TjZjrb")},
      {[&](int i) { cash.pbcHk_Click(i); }, 1, 0, QStringLiteral("Tjls")},
  };
  for (const Case& c : cases) {
    QDir(appDir() + QStringLiteral("报表")).removeRecursively();
    responder_.clear();
    modal_.shown.clear();
    c.click(c.exportIndex);
    const QStringList files = QDir(appDir() + QStringLiteral("报表")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << c.file.toStdString();
    EXPECT_TRUE(files[0].startsWith(c.file) && files[0].endsWith(QStringLiteral(".xlsx"))) << files[0].toStdString();
    EXPECT_TRUE(responder_.texts().value(0).startsWith(QStringLiteral("数据导出成功"))) << responder_.texts().join('|').toStdString();
    c.click(c.printIndex);
    EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmPrint")}) << c.file.toStdString();
  }
}
