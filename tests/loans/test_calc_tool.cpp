// The calculation tool's "贷款计划": the same plan as the window, keyed by the tables' columns.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tools/CalcTool.h"

namespace {

QJsonObject request(std::initializer_list<std::pair<QString, QJsonValue>> changes) {
  QJsonObject o{{QStringLiteral("计算"), QStringLiteral("贷款计划")},
                {QStringLiteral("本金"), 12000},
                {QStringLiteral("利率"), 1},
                {QStringLiteral("利率类别"), QStringLiteral("月")},
                {QStringLiteral("逾期利率"), 1.5},
                {QStringLiteral("首尾计息"), 0},
                {QStringLiteral("登记日期"), QStringLiteral("2024-01-10")},
                {QStringLiteral("起息日期"), QStringLiteral("2024-01-10")},
                {QStringLiteral("止息日期"), QStringLiteral("2024-04-10")},
                {QStringLiteral("客户名称"), QStringLiteral("张三")},
                {QStringLiteral("业务经办"), QStringLiteral("李四")},
                {QStringLiteral("还款计划"), QStringLiteral("一次性归还本息")}};
  for (const auto& [k, v] : changes) {
    if (v.isUndefined()) o.remove(k);
    else o.insert(k, v);
  }
  return o;
}

struct Answer {
  int status;
  QJsonObject out;
  QString err;
};
Answer run(const QJsonObject& in) {
  QByteArray out;
  QString err;
  const int status = RunCalculation(QJsonDocument(in).toJson(), &out, &err);
  return {status, QJsonDocument::fromJson(out).object(), err};
}

}  // namespace

TEST(CalcLoanPlan, AnswersEveryPlanType) {
  struct Case {
    const char* plan;
    int rows;
    double prepaid;
    double interest;
    const char* end;
  };
  const Case cases[] = {
      {"一次性归还本息", 1, 0, 360, "2024-04-10"},
      {"一次性先付利息", 2, 360, 360, "2024-04-10"},
      {"等额本金 - 先付", 4, 120, 320, "2024-05-10"},
      {"等额本金 - 后付", 3, 0, 240, "2024-04-10"},
      {"等额本息", 3, 0, 0, "2024-04-10"},
      {"分期付息-先息", 4, 120, 360, "2024-04-10"},
      {"分期付息-后息", 3, 0, 360, "2024-04-10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plan);
    const Answer a = run(request({{QStringLiteral("还款计划"), QString::fromUtf8(c.plan)},
                                  {QStringLiteral("分期数"), 3},
                                  {QStringLiteral("周期"), QStringLiteral("月")},
                                  {QStringLiteral("首次归还日期"), QStringLiteral("2024-01-10")}}));
    ASSERT_EQ(a.status, 0) << a.err.toStdString();
    EXPECT_EQ(a.out.value(QStringLiteral("还款计划")).toString(), QString::fromUtf8(c.plan));
    const QJsonArray rows = a.out.value(QStringLiteral("计划行")).toArray();
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_DOUBLE_EQ(a.out.value(QStringLiteral("已还利息")).toDouble(), c.prepaid);
    EXPECT_EQ(a.out.value(QStringLiteral("止息日期")).toString(), QString::fromLatin1(c.end));
    double principal = 0, interest = 0;
    int days = 0;
    for (const QJsonValue& v : rows) {
      const QJsonObject r = v.toObject();
      principal += r.value(QStringLiteral("应还本金")).toDouble();
      interest += r.value(QStringLiteral("应还利息")).toDouble();
      days += r.value(QStringLiteral("计息天数")).toInt();
      EXPECT_EQ(r.value(QStringLiteral("业务日期")).toString(), QStringLiteral("2024-01-10"));
    }
    EXPECT_NEAR(principal, 12000, 1e-6);
    EXPECT_NEAR(a.out.value(QStringLiteral("利息")).toDouble(), interest, 1e-6);
    if (c.interest > 0) EXPECT_NEAR(interest, c.interest, 1e-6);
    EXPECT_EQ(a.out.value(QStringLiteral("计息天数")).toInt(), days);
    EXPECT_EQ(a.out.value(QStringLiteral("利率类别")).toString(), QStringLiteral("月"));
  }
}

TEST(CalcLoanPlan, BadInputGetsTheWindowsMessageAndNoAnswer) {
  struct Case {
    const char* what;
    QJsonObject in;
    const char* message;
  };
  const Case cases[] = {
      {"no borrower", request({{QStringLiteral("客户名称"), QJsonValue()}}), "请先选择借款客户！"},
      {"amount as Chinese text", request({{QStringLiteral("本金"), QStringLiteral("5万")}}), "借款金额输入不合法！"},
      {"negative amount", request({{QStringLiteral("本金"), -1}}), "借款金额必须大于0！"},
      {"no overdue rate", request({{QStringLiteral("逾期利率"), QJsonValue()}}), "逾期利率输入不合法！"},
      {"no handler", request({{QStringLiteral("业务经办"), QString()}}), "业务经办不能为空！"},
      {"end before start", request({{QStringLiteral("止息日期"), QStringLiteral("2024-01-09")}}), "止息日期必须晚于起息日期！"},
      {"monthly, under a month", request({{QStringLiteral("止息日期"), QStringLiteral("2024-01-31")}}),
       "按月计息的期限不足一个月，请调整止息日期！"},
      {"an unknown plan", request({{QStringLiteral("还款计划"), QStringLiteral("展期")}}), "不认识的还款计划：\"展期\""},
      {"a unit that is neither day nor month",
       request({{QStringLiteral("还款计划"), QStringLiteral("等额本息")}, {QStringLiteral("分期数"), 2}, {QStringLiteral("周期"), QStringLiteral("年")}}),
       "还贷周期输入不合法！"},
      {"1000 periods",
       request({{QStringLiteral("还款计划"), QStringLiteral("等额本息")}, {QStringLiteral("分期数"), 1000}, {QStringLiteral("周期"), QStringLiteral("日")},
                {QStringLiteral("首次归还日期"), QStringLiteral("2024-01-10")}}),
       "分期数必须在1到999之间！"},
      {"a bad date", request({{QStringLiteral("起息日期"), QStringLiteral("2024-02-30")}}), "起息日期输入不合法！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Answer a = run(c.in);
    EXPECT_EQ(a.status, 2);
    EXPECT_TRUE(a.out.isEmpty());
    EXPECT_EQ(a.err, QString::fromUtf8(c.message));
  }
}

// Both plan requests take an amount as the amount box does: whole cents up to 999999999.99; more
// decimals are refused rather than rounded into another amount.
TEST(CalcLoanPlan, AmountsOfBothPlanRequestsAreWholeCents) {
  const QJsonObject financing{{QStringLiteral("计算"), QStringLiteral("拆借计划")},
                              {QStringLiteral("利率"), 0.01},
                              {QStringLiteral("利率类别"), QStringLiteral("日")},
                              {QStringLiteral("提前支取利率"), 0},
                              {QStringLiteral("提成比例"), 0},
                              {QStringLiteral("首尾计息"), 0},
                              {QStringLiteral("登记日期"), QStringLiteral("2024-01-10")},
                              {QStringLiteral("起息日期"), QStringLiteral("2024-01-10")},
                              {QStringLiteral("止息日期"), QStringLiteral("2024-02-09")},
                              {QStringLiteral("客户名称"), QStringLiteral("王投资")},
                              {QStringLiteral("业务经办"), QStringLiteral("李四")},
                              {QStringLiteral("支付计划"), QStringLiteral("一次性支付本息")}};
  const struct {
    const char* kind;
    QJsonObject base;
    const char* principalColumn;
  } requests[] = {{"贷款计划", request({}), "应还本金"}, {"拆借计划", financing, "应付本金"}};
  const struct {
    QJsonValue amount;
    double saved;  // < 0: refused with "借款金额输入不合法！"
  } cases[] = {{0.001, -1},
               {0.004, -1},
               {100.999, -1},
               {QStringLiteral("100.999"), -1},
               {QStringLiteral("12.345.6"), -1},
               {QStringLiteral("0.001"), -1},
               {999999999.99, 999999999.99},
               {QStringLiteral("100.10"), 100.10},
               {12345.6, 12345.6}};
  for (const auto& r : requests) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(r.kind) + " " + QJsonDocument(QJsonArray{c.amount}).toJson(QJsonDocument::Compact).toStdString());
      QJsonObject in = r.base;
      in.insert(QStringLiteral("本金"), c.amount);
      const Answer a = run(in);
      if (c.saved < 0) {
        EXPECT_EQ(a.status, 2);
        EXPECT_EQ(a.err, QStringLiteral("借款金额输入不合法！"));
        continue;
      }
      ASSERT_EQ(a.status, 0) << a.err.toStdString();
      double principal = 0;
      for (const QJsonValue& v : a.out.value(QStringLiteral("计划行")).toArray())
        principal += v.toObject().value(QString::fromUtf8(r.principalColumn)).toDouble();
      EXPECT_DOUBLE_EQ(principal, c.saved);
    }
  }
}
