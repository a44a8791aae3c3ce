// The loan list: its filters (periods, status, literal search, amount bands, department scope) as
// the user sets them, the totals, and its commands with their rights, questions and refusals.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "LoanRecordsFixture.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "loans/LoanLinks.h"
#include "loans/LoanListQuery.h"
#include "loans/LoanRecords.h"
#include "loans/LoanStore.h"
#include "control/pbCommand.h"
#include "loans/frmDkjl.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

namespace {

class LoanListTest : public LoanRecordsFixture {
 protected:
  // Loans registered this month (the clock stands on 2024-03-01).
  void addLoans() {
    struct L {
      const char* docNo;
      const char* borrower;
      double principal;
      const char* dept;
    };
    const L loans[] = {{"D01", "甲", 49999.99, "综合部"}, {"D02", "O'Brien", 50000, "综合部"}, {"D03", "50%利", 100000, "二部"},
                       {"D04", "a_b", 199999, "二部"},   {"D05", "axb", 1000000, "三部"}};
    for (const L& l : loans)
      addLoan({.docNo = QString::fromUtf8(l.docNo), .borrower = QString::fromUtf8(l.borrower), .principal = l.principal,
               .registered = QDate(2024, 3, 1), .dept = QString::fromUtf8(l.dept)});
  }
  std::unique_ptr<frmDkjl> openList() {
    auto w = std::make_unique<frmDkjl>();
    w->Form_Load();
    return w;
  }
  static void setFilter(frmDkjl& w, int field, int op, const QString& text, int band, const QString& status) {
    w.comJd[2]->setCurrentIndex(field);
    w.comJd[3]->setCurrentIndex(op);
    w.txtJd->setText(text);
    w.comJd[4]->setCurrentIndex(band);
    w.comJd[5]->setCurrentText(status);
  }
  static QStringList listed(const frmDkjl& w) { return column(w.Fg, frmDkjl::colDocNo); }
};

TEST_F(LoanListTest, SearchTextsAndBandsSelectTheRightLoans) {
  addLoans();
  auto w = openList();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("贷款记录"));
  EXPECT_EQ(w->comJd[1]->currentText(), QStringLiteral("本月"));
  EXPECT_EQ(w->comJd[5]->currentText(), QStringLiteral("未还"));
  EXPECT_EQ(listed(*w), (QStringList{"D05", "D04", "D03", "D02", "D01"})) << "newest first";

  struct Case {
    int field, op;
    QString text;
    int band;
    QStringList expected;
  };
  const Case cases[] = {
      {2, 0, QStringLiteral("O'Brien"), 0, {"D02"}},
      {2, 0, QStringLiteral(" O'Brien "), 0, {"D02"}},                // trimmed
      {2, 1, QStringLiteral("O'Brien"), 0, {"D05", "D04", "D03", "D01"}},
      {2, 2, QStringLiteral("%"), 0, {"D03"}},                        // a literal percent sign
      {2, 2, QStringLiteral("_"), 0, {"D04"}},                        // a literal underscore
      {2, 2, QStringLiteral("'"), 0, {"D02"}},
      {0, 0, QStringLiteral("甲"), 0, {"D05", "D04", "D03", "D02", "D01"}},  // no field: ignored
      {2, 0, QString(), 0, {"D05", "D04", "D03", "D02", "D01"}},             // no text: ignored
      {1, 0, QStringLiteral("D03"), 0, {"D03"}},
      {0, 0, QString(), 1, {"D01"}},                                  // below 5万
      {0, 0, QString(), 2, {"D02"}},                                  // 50000 is in 5万-10万
      {0, 0, QString(), 3, {"D04", "D03"}},                           // 100000 is in 10万-20万
      {0, 0, QString(), 4, {}},
      {0, 0, QString(), 6, {"D05"}},                                  // 1000000 is in 100万以上
      {2, 2, QStringLiteral("b"), 3, {"D04"}},
  };
  for (const Case& c : cases) {
    setFilter(*w, c.field, c.op, c.text, c.band, QStringLiteral("忽略"));
    w->刷新();
    EXPECT_EQ(listed(*w), c.expected) << c.field << "/" << c.op << " " << c.text.toStdString() << " band " << c.band;
  }
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
  // The search text travels as a bound value.
  setFilter(*w, 2, 0, QStringLiteral("O'Brien"), 0, QStringLiteral("忽略"));
  w->刷新();
  EXPECT_FALSE(w->LastListSql().contains(QStringLiteral("O'Brien")));
  // So do the band's limits.
  setFilter(*w, 0, 0, QString(), 3, QStringLiteral("忽略"));
  w->刷新();
  EXPECT_FALSE(w->LastListSql().contains(QStringLiteral("100000")));
}

TEST_F(LoanListTest, PeriodsStatusesAndOverdueLoans) {
  // Registered in January; the list opens on this month (March) and so shows none of them.
  addLoan({.docNo = QStringLiteral("D11"), .lastDue = QDate(2024, 2, 20)});                    // past its last due date
  addLoan({.docNo = QStringLiteral("D12"), .lastDue = QDate(2024, 6, 1)});                     // an instalment overdue
  addPlanRow(QStringLiteral("D12"), 1, 10000, 5000, 100, QDate(2024, 1, 1), QDate(2024, 2, 15));
  addPlanRow(QStringLiteral("D12"), 2, 5000, 5000, 100, QDate(2024, 2, 15), QDate(2024, 6, 1));
  addLoan({.docNo = QStringLiteral("D13"), .lastDue = QDate(2024, 6, 1)});                     // nothing due yet
  addPlanRow(QStringLiteral("D13"), 1, 10000, 10000, 100, QDate(2024, 1, 1), QDate(2024, 6, 1));
  addLoan({.docNo = QStringLiteral("D14"), .lastDue = QDate(2024, 2, 1), .settlement = QStringLiteral("已完结")});
  auto w = openList();
  EXPECT_EQ(listed(*w), (QStringList{"D13", "D12", "D11"})) << "未还 looks back to the book start";
  EXPECT_EQ(w->DTPstr->dateText(), QStringLiteral("2024-01-01"));

  struct Case {
    int dateField;
    int period;
    QString status;
    QStringList expected;
  };
  const Case cases[] = {
      {0, 2, QStringLiteral("忽略"), {}},                                  // none registered this month
      {0, 3, QStringLiteral("忽略"), {"D14", "D13", "D12", "D11"}},
      {0, 2, QStringLiteral("逾期"), {"D12", "D11"}},                      // whatever the period
      {0, 3, QStringLiteral("已完结"), {"D14"}},
      {2, 0, QStringLiteral("忽略"), {"D14", "D13", "D12", "D11"}},        // 起息日期 since the book start
      {0, 3, QStringLiteral("呆坏账"), {}},
  };
  for (const Case& c : cases) {
    w->comJd[0]->setCurrentIndex(c.dateField);
    w->comJd[1]->setCurrentIndex(c.period);
    w->comJd_Click(1);
    w->comJd[5]->setCurrentText(c.status);
    w->刷新();
    EXPECT_EQ(listed(*w), c.expected) << c.dateField << " " << c.period << " " << c.status.toStdString();
  }
}

TEST_F(LoanListTest, TotalsRowAndDepartmentScope) {
  addLoans();
  auto w = openList();
  const int t = w->Fg->rows() - 1;
  ASSERT_TRUE(w->Fg->isTotalsRow(t));
  EXPECT_EQ(w->Fg->textMatrix(t, 0), QStringLiteral("记录：5"));
  EXPECT_DOUBLE_EQ(w->Fg->number(t, 3), 1399998.99);
  EXPECT_DOUBLE_EQ(w->Fg->number(t, 17), -1399998.99) << "实际利润 while nothing is repaid";
  EXPECT_EQ(w->Fg->textMatrix(0, 2), QStringLiteral("基本情况"));
  EXPECT_EQ(w->Fg->textMatrix(1, 2), QStringLiteral("起息日期"));
  EXPECT_EQ(w->Fg->textMatrix(0, 9), QStringLiteral("待还"));
  EXPECT_EQ(w->Fg->textMatrix(1, 1), QStringLiteral("借款人"));

  loginAsClerk(QStringLiteral("增加借贷登记"), QStringLiteral("综合部,三部"));
  w->刷新();
  EXPECT_EQ(listed(*w), (QStringList{"D05", "D02", "D01"}));
  loginAsClerk(QStringLiteral("增加借贷登记"), QStringLiteral("四部"));
  w->刷新();
  EXPECT_EQ(w->Fg->dataRowCount(), 0) << "an empty list has no totals row";
}

TEST_F(LoanListTest, OpenedForOneCustomer) {
  addLoans();
  frmDkjl w;
  w.QueryMode = 1;
  w.QueryText = QStringLiteral("a_b");
  w.Form_Load();
  EXPECT_EQ(listed(w), QStringList{"D04"});
  EXPECT_EQ(w.QueryMode, 0);
  EXPECT_EQ(w.comJd[2]->currentText(), QStringLiteral("客户名称"));

  // A drill-down sees every date and status: before the book start, after today, settled.
  gBookStartDate = QStringLiteral("2024-01-01");
  addLoan({.docNo = QStringLiteral("D31"), .borrower = QStringLiteral("a_b"), .registered = QDate(2019, 5, 1),
           .start = QDate(2019, 5, 1), .settlement = QStringLiteral("已完结")});
  addLoan({.docNo = QStringLiteral("D32"), .borrower = QStringLiteral("a_b"), .registered = QDate(2099, 5, 1),
           .start = QDate(2099, 5, 1)});
  frmDkjl all;
  all.QueryMode = 1;
  all.QueryText = QStringLiteral("a_b");
  all.Form_Load();
  QStringList docs = listed(all);
  docs.sort();
  EXPECT_EQ(docs, (QStringList{"D04", "D31", "D32"}));
  // Once the user picks a period, it bounds the list again.
  all.comJd_Click(1);
  all.刷新();
  EXPECT_FALSE(listed(all).contains(QStringLiteral("D31")));
}

TEST_F(LoanListTest, ApproveViewAndCommandsOnHeaderOrTotals) {
  addLoan({.docNo = QStringLiteral("D21"), .borrower = QStringLiteral("赵六"), .registered = QDate(2024, 3, 1), .approval = QStringLiteral("未审核")});
  auto w = openList();
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D21")));
  w->pbCJd_Click(frmDkjl::cmdView);
  w->pbCJd_Click(frmDkjl::cmdContract);
  EXPECT_EQ(responder_.texts(), (QStringList{"该笔业务还未生效！请进行审核。", "单据未审核！"}));
  responder_.clear();
  responder_.answer(Mb::No);
  w->pbCJd_Click(frmDkjl::cmdApprove);
  EXPECT_EQ(responder_.texts(), QStringList{"您确认要审核 【赵六】 的借款登记吗？"});
  EXPECT_EQ(value(QStringLiteral("select 业务状态 from PJ_Dkjl")).toString(), QStringLiteral("未审核"));
  responder_.answer(Mb::Yes);
  w->pbCJd_Click(frmDkjl::cmdApprove);
  EXPECT_EQ(value(QStringLiteral("select 业务状态 from PJ_Dkjl")).toString(), QStringLiteral("已审核"));
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D21")));
  EXPECT_EQ(w->Fg->textMatrix(w->Fg->row(), frmDkjl::colApproval), QStringLiteral("已审核")) << "the list was refreshed";
  responder_.clear();
  w->pbCJd_Click(frmDkjl::cmdApprove);
  EXPECT_EQ(responder_.texts(), QStringList{"该单据已审核生效！"});
  w->pbCJd_Click(frmDkjl::cmdView);
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmDkhk")});

  // Header and totals rows: nothing happens, nothing is asked.
  responder_.clear();
  modal_.shown.clear();
  for (int row : {0, 1, w->Fg->rows() - 1}) {
    w->Fg->setRow(row);
    for (int c : {1, 2, 3, 4, 9, 10, 11}) w->pbCJd_Click(c);
  }
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join('|').toStdString();
  EXPECT_TRUE(modal_.shown.empty());
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 1);
}

TEST_F(LoanListTest, RightsOfTheCommands) {
  addLoan({.docNo = QStringLiteral("D31"), .registered = QDate(2024, 3, 1)});
  loginAsClerk(QStringLiteral("增加借贷登记"), QStringLiteral("综合部"));
  auto w = openList();
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D31")));
  for (int c : {frmDkjl::cmdEdit, frmDkjl::cmdDelete, frmDkjl::cmdApprove, frmDkjl::cmdView}) {
    responder_.clear();
    responder_.answer(Mb::Yes);
    w->pbCJd_Click(c);
    EXPECT_EQ(responder_.texts(), QStringList{"权限不足！"}) << c;
  }
  // The delete right is the one the staff editor hands out.
  loginAsClerk(QStringLiteral("删除借贷登记"), QStringLiteral("综合部"));
  responder_.clear();
  w->pbCJd_Click(frmDkjl::cmdDelete);
  EXPECT_EQ(responder_.texts(), QStringList{"权限不足！"});
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 1);
}

TEST_F(LoanListTest, DeleteRemovesEverythingInOneGoAndRecomputesLaterBalances) {
  addLoan({.docNo = QStringLiteral("D41"), .borrower = QStringLiteral("钱七"), .registered = QDate(2024, 3, 1)});
  addLoan({.docNo = QStringLiteral("D42"), .borrower = QStringLiteral("孙八"), .registered = QDate(2024, 3, 1)});
  addJournal(QStringLiteral("D41"), 10000, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  addJournal(QStringLiteral("D42"), 5000, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  const qint32 r = addPlanRow(QStringLiteral("D41"), 1, 10000, 10000, 300, QDate(2024, 1, 1), QDate(2024, 3, 1));
  RepaymentEntry e;
  e.planId = r;
  e.principal = 2000;
  e.status = QStringLiteral("归还部分");
  e.date = QDate(2024, 3, 1);
  e.seen = ReadInstalmentRow(e.planId);
  ASSERT_EQ(SaveRepayment(e), RepaymentSaved::Saved);
  addJournal(QStringLiteral("D42"), 800, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  const QString source = appDir() + QStringLiteral("合同.pdf");
  QFile(source).open(QIODevice::WriteOnly);
  LoanStore::Attachment attachment;
  ASSERT_TRUE(LoanStore::CopyAttachment(source, &attachment).isEmpty());
  LoanStore::SaveAttachmentRows(QStringLiteral("D41"), {attachment});
  const QString copied = VariantText(Db().scalar(QStringLiteral("select 路径 from PJ_DkFj where 单号='D41'")));
  ASSERT_TRUE(QFile::exists(copied));
  Db().Execute(QStringLiteral("insert into PJ_Dxck (单号,内容) values ('D41',?)"), {QStringLiteral("已电话催收")});
  const qint64 customers = count(QStringLiteral("PJ_Kehu"));

  auto w = openList();
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D41")));
  // An edit of a loan with repayments is refused before the registration opens.
  w->pbCJd_Click(frmDkjl::cmdEdit);
  EXPECT_EQ(responder_.texts(), QStringList{"该单据已有还款记录，不能修改！"});
  EXPECT_TRUE(modal_.shown.empty());
  responder_.clear();
  responder_.answer(Mb::No);
  w->pbCJd_Click(frmDkjl::cmdDelete);
  EXPECT_EQ(responder_.texts(), QStringList{"您确认要删除 【钱七】 的借款记录吗？"});
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 2);
  // With repayment records a second question, No by default, comes before anything goes.
  responder_.clear();
  responder_.answer(Mb::Yes);
  w->pbCJd_Click(frmDkjl::cmdDelete);
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("该单据已有1笔还款记录，删除后这些记录及其流水账将一并删除且不能恢复，是否继续？"));
  EXPECT_TRUE(responder_.messages[1].style & Mb::DefaultButton2);
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 2);
  responder_.answer(Mb::Yes);
  responder_.answer(Mb::Yes);
  w->pbCJd_Click(frmDkjl::cmdDelete);
  for (const char* table : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_DkFj", "PJ_Dxck", "PJ_Liushui"})
    EXPECT_EQ(count(QString::fromUtf8(table), QStringLiteral("单号='D41'")), 0) << table;
  EXPECT_EQ(count(QStringLiteral("PJ_Kehu")), customers) << "the customer stays";
  EXPECT_TRUE(QFile::exists(copied)) << "the file stays for a backup restored after a mistaken delete";
  EXPECT_TRUE(QFile::exists(source));
  EXPECT_EQ(journal(), (QStringList{"D42 贷款本金支出 支出 -5000.00 -5000.00", "D42 贷款利息收入 收入 800.00 -4200.00"}));
  EXPECT_EQ(listed(*w), QStringList{"D42"});
}

TEST_F(LoanListTest, AFailingDeleteLeavesEverythingInPlace) {
  addLoan({.docNo = QStringLiteral("D51"), .registered = QDate(2024, 3, 1)});
  addPlanRow(QStringLiteral("D51"), 1, 10000, 10000, 300, QDate(2024, 1, 1), QDate(2024, 3, 1));
  addJournal(QStringLiteral("D51"), 10000, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  const QString source = appDir() + QStringLiteral("借据.jpg");
  QFile(source).open(QIODevice::WriteOnly);
  LoanStore::Attachment attachment;
  ASSERT_TRUE(LoanStore::CopyAttachment(source, &attachment).isEmpty());
  LoanStore::SaveAttachmentRows(QStringLiteral("D51"), {attachment});
  const QString copied = VariantText(Db().scalar(QStringLiteral("select 路径 from PJ_DkFj where 单号='D51'")));
  // The journal cannot be written: the delete of the loan must not stay half done.
  Db().Execute(QStringLiteral("create trigger no_journal_delete before delete on PJ_Liushui begin select raise(abort, 'locked'); end"));
  auto w = openList();
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D51")));
  responder_.answer(Mb::Yes);
  w->pbCJd_Click(frmDkjl::cmdDelete);
  EXPECT_TRUE(responder_.texts().last().contains(QStringLiteral("程序出现异常！")));
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui")), 1);
  EXPECT_TRUE(QFile::exists(copied)) << "an attachment stays while its loan does";
}

TEST_F(LoanListTest, ExportWritesTheListAndCloseCloses) {
  addLoans();
  auto w = openList();
  w->pbCJd_Click(frmDkjl::cmdExport);
  const QStringList files = QDir(appDir() + QStringLiteral("报表")).entryList({QStringLiteral("Dkjl*.xlsx")});
  EXPECT_EQ(files.size(), 1);
  w->pbCJd_Click(frmDkjl::cmdClose);
  EXPECT_EQ(w->result(), QDialog::Rejected);
}

TEST_F(LoanListTest, CommandsOpenTheirWindows) {
  addLoans();
  auto w = openList();
  // Add and edit open the registration; its save refreshes the list.
  w->pbCJd_Click(frmDkjl::cmdAdd);
  ASSERT_TRUE(selectRow(w->Fg, 0, QStringLiteral("D03")));
  w->pbCJd_Click(frmDkjl::cmdEdit);
  EXPECT_EQ(modal_.shown, (std::vector<QString>{QStringLiteral("frmDkdjB"), QStringLiteral("frmDkdjB")}));

  // The windows of printing, contracts and SMS, each with the loan of the row.
  QStringList calls;
  gShowLoanPrint = [&](QWidget*, int kind, const QString& key) { calls << QStringLiteral("print %1 %2").arg(kind).arg(key); };
  gMakeLoanContract = [&](const QString& docNo) { calls << QStringLiteral("contract ") + docNo; };
  gShowLoanSms = [&](QWidget*, const QString& docNo) { calls << QStringLiteral("sms ") + docNo; };
  QString printedSql;
  QVariantList printedParams;
  gPrintLoanList = [&](QWidget*, const QString& sql, const QVariantList& params) {
    printedSql = sql;
    printedParams = params;
  };
  EXPECT_FALSE(w->pbCJd->at(frmDkjl::cmdSms)->isEnabled()) << "the SMS switch is off";
  for (int c : {frmDkjl::cmdVoucher, frmDkjl::cmdContract, frmDkjl::cmdSms}) w->pbCJd_Click(c);
  EXPECT_EQ(calls, (QStringList{"print 2 D03", "contract D03", "sms D03"}));
  // The list print runs the query of the last refresh, not the filters changed since.
  w->comJd[2]->setCurrentIndex(2);
  w->txtJd->setText(QStringLiteral("甲"));
  w->刷新();
  w->txtJd->setText(QStringLiteral("乙"));
  w->pbCJd_Click(frmDkjl::cmdPrint);
  EXPECT_EQ(printedSql, w->LastListSql());
  EXPECT_TRUE(printedParams.contains(QStringLiteral("甲")));
  gShowLoanPrint = nullptr;
  gMakeLoanContract = nullptr;
  gShowLoanSms = nullptr;
  gPrintLoanList = nullptr;
  responder_.clear();
  w->pbCJd_Click(frmDkjl::cmdPrint);
  EXPECT_EQ(responder_.texts(), QStringList{"此功能尚未安装。"});
}

}  // namespace
