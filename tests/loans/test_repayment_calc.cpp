// The repayment and early-repayment proposals, directly and through the calculation tool.
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "loans/RepaymentCalc.h"
#include "tools/CalcTool.h"

namespace {

InstalmentState row(double base, double principal, double interest, const QString& due) {
  InstalmentState r;
  r.period = 1;
  r.loanPrincipal = base;
  r.duePrincipal = principal;
  r.dueInterest = interest;
  r.status = QStringLiteral("未还");
  r.start = QDate(2024, 1, 1);
  r.due = QDate::fromString(due, Qt::ISODate);
  return r;
}

TEST(RepaymentProposalTest, OpenAmountsOverdueDaysAndInterest) {
  const LoanRateTerms terms{QStringLiteral("日"), 0.1, 0.0015};
  struct Case {
    const char* what;
    InstalmentState row;
    QString pay;
    double principal, interest, fee;
    int days;
  };
  InstalmentState partly = row(10000, 10000, 300, "2024-03-01");
  partly.paidPrincipal = 4000.5;
  partly.paidInterest = 100;
  partly.status = QStringLiteral("归还部分");
  partly.lastPaid = QDate(2024, 3, 5);
  InstalmentState partlyEarlier = partly;
  partlyEarlier.lastPaid = QDate(2024, 2, 20);  // paid before the due date: overdue counts from the due date
  const Case cases[] = {
      {"on the due date", row(10000, 10000, 300, "2024-03-01"), "2024-03-01", 10000, 300, 0, 0},
      {"before the due date", row(10000, 10000, 300, "2024-03-01"), "2024-02-10", 10000, 300, 0, 0},
      {"ten days late", row(10000, 10000, 300, "2024-03-01"), "2024-03-11", 10000, 300, 150, 10},
      {"partly paid: from the last payment", partly, "2024-03-08", 5999.5, 200, 45, 3},
      {"partly paid before due", partlyEarlier, "2024-03-08", 5999.5, 200, 105, 7},
      {"cents kept", row(3333.33, 3333.33, 41.67, "2024-03-01"), "2024-03-08", 3333.33, 41.67, 35, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto p = RepaymentCalc::ProposeRepayment(terms, c.row, QDate::fromString(c.pay, Qt::ISODate));
    EXPECT_DOUBLE_EQ(p.principal, c.principal);
    EXPECT_DOUBLE_EQ(p.interest, c.interest);
    EXPECT_DOUBLE_EQ(p.fee, c.fee);
    EXPECT_EQ(p.days, c.days);
    EXPECT_DOUBLE_EQ(p.amountDue, c.principal + c.interest + c.fee);
    EXPECT_EQ(p.status, QStringLiteral("已还"));
  }
  // Overdue interest to the cent: 3333.33 x 7 x 0.0012345 = 28.8048...
  const auto p = RepaymentCalc::ProposeRepayment({QStringLiteral("日"), 0.1, 0.0012345}, row(3333.33, 3333.33, 0, "2024-03-01"),
                                                 QDate(2024, 3, 8));
  EXPECT_DOUBLE_EQ(p.fee, 28.80);
}

TEST(RepaymentProposalTest, StatusCoversWithinHalfACent) {
  struct Case {
    double total, due;
    const char* status;
  };
  const Case cases[] = {{100, 100, "已还"},     {100, 100.004, "已还"}, {99.99, 100, "归还部分"},
                        {120, 100, "已还"},     {0, 0.01, "归还部分"},  {0, 0, "已还"}};
  for (const Case& c : cases)
    EXPECT_EQ(RepaymentCalc::StatusFor(c.total, c.due), QString::fromUtf8(c.status)) << c.total << " of " << c.due;
}

TEST(EarlyRepaymentProposalTest, InterestToTheChosenDay) {
  struct Case {
    const char* what;
    LoanRateTerms terms;
    InstalmentState row;
    QString pay;
    double principal, interest;
    int days;
  };
  const LoanRateTerms daily{QStringLiteral("日"), 0.1, 0.0015};
  InstalmentState prepaid = row(10000, 10000, 0, "2024-04-01");
  InstalmentState interestPaid = row(10000, 10000, 300, "2024-04-01");
  interestPaid.paidInterest = 300;
  InstalmentState partly = row(10000, 10000, 300, "2024-04-01");
  partly.paidPrincipal = 4000;
  partly.paidInterest = 50;
  partly.status = QStringLiteral("归还部分");
  const Case cases[] = {
      {"daily loan", daily, row(10000, 10000, 300, "2024-04-01"), "2024-01-21", 10000, 200, 20},
      // The monthly fraction from the rate, not the stored months-multiplied 日利率.
      {"monthly loan", {QStringLiteral("月"), 1.5, 0}, row(10000, 10000, 450, "2024-04-01"), "2024-01-21", 10000, 100, 20},
      {"monthly rate at six decimals", {QStringLiteral("月"), 2, 0}, row(10000, 10000, 600, "2024-04-01"), "2024-01-31", 10000, 200.1, 30},
      {"prepaid row accrues nothing", daily, prepaid, "2024-02-15", 10000, 0, 45},
      {"interest already paid", daily, interestPaid, "2024-02-15", 10000, 0, 45},
      {"partly paid row", daily, partly, "2024-01-21", 6000, 150, 20},
      {"before the start", daily, row(10000, 10000, 300, "2024-04-01"), "2023-12-25", 10000, 0, 0},
      {"on the start", daily, row(10000, 10000, 300, "2024-04-01"), "2024-01-01", 10000, 0, 0},
      {"paid interest above what accrued", daily, partly, "2024-01-03", 6000, 0, 2},
      // 900 to the day, but never more than the row planned.
      {"at most the planned interest", daily, row(10000, 10000, 300, "2024-04-01"), "2024-03-31", 10000, 300, 90},
      {"at most the planned interest, less what was paid", daily, partly, "2024-03-31", 6000, 250, 90},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto p = RepaymentCalc::ProposeEarlyRepayment(c.terms, c.row, QDate::fromString(c.pay, Qt::ISODate));
    EXPECT_DOUBLE_EQ(p.principal, c.principal);
    EXPECT_DOUBLE_EQ(p.interest, c.interest);
    EXPECT_EQ(p.days, c.days);
    EXPECT_DOUBLE_EQ(p.fee, 0);
    EXPECT_EQ(p.status, QStringLiteral("已还"));
  }
}

TEST(RepaymentProposalTest, RefusalsDatesAndStatusFromTheAmounts) {
  const InstalmentState owing = row(20000, 20000, 500, "2024-03-01");
  struct Case { double principal, interest; const char* message; };
  for (const Case& c : {Case{20000, 500, ""}, Case{25000, 0, "归还本金不能大于未还本金！"}, Case{0, 500.01, "归还利息不能大于未还利息！"},
                        Case{0, 0, ""}})
    EXPECT_EQ(RepaymentCalc::RepaymentRefusal(owing, c.principal, c.interest), QString::fromUtf8(c.message)) << c.principal;
  EXPECT_EQ(RepaymentCalc::EarlyDateRefusal(owing, QDate(2024, 3, 2)), QStringLiteral("提前还贷日期不能晚于约定归还日期！"));
  EXPECT_EQ(RepaymentCalc::EarlyDateRefusal(owing, QDate(2024, 3, 1)), QString());
  // A surplus in one part never closes the other; a zero row is settled.
  EXPECT_EQ(RepaymentCalc::RowStatus(10000, 20000, 50000, 500), QStringLiteral("归还部分"));
  EXPECT_EQ(RepaymentCalc::RowStatus(20000, 20000, 499.99, 500), QStringLiteral("归还部分"));
  EXPECT_EQ(RepaymentCalc::RowStatus(19999.996, 20000, 500, 500), QStringLiteral("已还"));
  EXPECT_EQ(RepaymentCalc::RowStatus(0, 0, 0, 0), QStringLiteral("已还"));
}

// ---- the calculation tool

QJsonObject run(const QByteArray& request, int* status, QString* err) {
  QByteArray out;
  *status = RunCalculation(request, &out, err);
  return QJsonDocument::fromJson(out).object();
}

TEST(RepaymentCalcToolTest, AnswersAsTheRecordStoresIt) {
  int status = 0;
  QString err;
  const QByteArray loan = R"("贷款":{"利率类别":"日","利率":0.1,"逾期日利率":0.0015})";
  const QByteArray plan =
      R"("计划行":{"还贷期次":2,"贷款本金":10000,"应还本金":10000,"应还利息":300,"已还本金":0,"已还利息":0,"归还状态":"未还","开始日期":"2024-01-01","约定归还日期":"2024-03-01"})";
  QJsonObject a = run("{\"计算\":\"还款\"," + loan + "," + plan + R"(,"还款日期":"2024-03-11"})", &status, &err);
  ASSERT_EQ(status, 0) << err.toStdString();
  EXPECT_EQ(a, (QJsonObject{{"本金", 10000}, {"利息", 300}, {"手续费", 150}, {"还款状态", "已还"}, {"天数", 10}}));

  a = run("{\"计算\":\"提前还贷\"," + loan + "," + plan + R"(,"还款日期":"2024-01-21"})", &status, &err);
  ASSERT_EQ(status, 0) << err.toStdString();
  EXPECT_EQ(a, (QJsonObject{{"本金", 10000}, {"利息", 200}, {"手续费", 0}, {"还款状态", "已还"}, {"天数", 20}}));
}

TEST(RepaymentCalcToolTest, RefusesWhatTheWindowRefuses) {
  struct Case {
    QByteArray request;
    QString message;
  };
  const QByteArray loan = R"("贷款":{"利率类别":"日","利率":0.1,"逾期日利率":0.0015})";
  const Case cases[] = {
      {"{\"计算\":\"还款\"," + loan +
           R"(,"计划行":{"贷款本金":10000,"应还本金":10000,"应还利息":0,"归还状态":"已还","约定归还日期":"2024-03-01"},"还款日期":"2024-03-01"})",
       QStringLiteral("该期次借款已还清！")},
      {"{\"计算\":\"还款\"," + loan +
           R"(,"计划行":{"贷款本金":10000,"应还本金":-5,"应还利息":0,"约定归还日期":"2024-03-01"},"还款日期":"2024-03-01"})",
       QStringLiteral("计划行的“应还本金”输入不合法！")},
      {"{\"计算\":\"还款\"," + loan + R"(,"计划行":{"贷款本金":10000,"应还利息":0,"约定归还日期":"2024-03-01"},"还款日期":"2024-03-01"})",
       QStringLiteral("计划行缺少“应还本金”！")},
      {"{\"计算\":\"提前还贷\"," + loan +
           R"(,"计划行":{"贷款本金":1,"应还本金":1,"应还利息":0,"开始日期":"2024-01-01","约定归还日期":"2024-03-01"},"还款日期":"昨天"})",
       QStringLiteral("请求的“还款日期”不是有效的日期！")},
      {R"({"计算":"提前还贷","贷款":{"利率类别":"年","利率":1},"计划行":{"贷款本金":1,"应还本金":1,"应还利息":0,"开始日期":"2024-01-01","约定归还日期":"2024-03-01"},"还款日期":"2024-02-01"})",
       QStringLiteral("贷款的“利率类别”必须是“日”或“月”！")},
      {"{\"计算\":\"提前还贷\"," + loan +
           R"(,"计划行":{"贷款本金":1,"应还本金":1,"应还利息":0,"开始日期":"2024-01-01","约定归还日期":"2024-03-01"},"还款日期":"2024-03-02"})",
       QStringLiteral("提前还贷日期不能晚于约定归还日期！")},
      {R"({"计算":"提前还贷","贷款":{"利率类别":"日","利率":101},"计划行":{"贷款本金":1,"应还本金":1,"应还利息":0,"开始日期":"2024-01-01","约定归还日期":"2024-03-01"},"还款日期":"2024-02-01"})",
       QStringLiteral("利率输入不合法！")},
  };
  for (const Case& c : cases) {
    int status = 0;
    QString err;
    QByteArray out;
    status = RunCalculation(c.request, &out, &err);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(err, c.message);
    EXPECT_TRUE(out.isEmpty());
  }
}

}  // namespace
