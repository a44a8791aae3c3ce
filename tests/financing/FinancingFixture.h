#pragma once
// What the financing tests share: a logged-in administrator on a fixed day, the account step off,
// an investor with bank data, records made through the same procedures the windows call, and the
// journal's running balances checked against its amounts.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/BankInfo.h"
#include "app/services/SettingsList.h"
#include "financing/FinancingCalc.h"
#include "financing/FinancingData.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"
#include "platform/Money.h"

class FinancingFixture : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    setNow(QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
    gSystemSettings[5] = QStringLiteral("0");
    Db().Execute(QStringLiteral("insert into PJ_Gd (姓名,助记符,开户行,开户名,银行账号) values (?,?,?,?,?)"),
                 {QStringLiteral("王投资"), QStringLiteral("wtz"), QStringLiteral("工商银行"), QStringLiteral("王投资"),
                  QStringLiteral("6222000011112222")});
    investor_ = static_cast<qint32>(Db().lastInsertId());
  }

  static QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }
  static QString S(const char* s) { return QString::fromUtf8(s); }

  FinancingTerms terms(double principal = 100000, double rate = 0.1, const char* kind = "日") const {
    FinancingTerms t;
    t.本金 = principal;
    t.利率 = rate;
    t.利率类别 = S(kind);
    t.提前支取利率 = 0.075;
    t.登记日期 = D("2024-03-01");
    t.起息日期 = D("2024-03-01");
    t.止息日期 = D("2024-03-31");
    t.客户名称 = S("王投资");
    t.业务经办 = S("李经办");
    return t;
  }
  // A saved record with the plan of `button`, as the registration form saves it.
  QString record(int button, const FinancingTerms& t, const InstalmentOptions* o = nullptr, const QString& dept = QString()) {
    FinancingDocument doc;
    doc.plan = BuildFinancingPlan(t, button, o);
    const FinancingPlan& p = doc.plan;
    FinancingRecordInput& in = doc.record;
    in.setTerms(t);
    in.止息日期 = p.止息日期;  // as the plan fixed them
    in.利率类别 = p.利率类别;
    in.拆借类别 = S("外拆");
    in.部门 = dept.isEmpty() ? S("综合部") : dept;
    in.支付计划 = p.支付计划;
    in.客户ID = investor_;
    return SaveFinancingDocument(doc);
  }

  static qint64 count(const QString& sql, const QVariantList& params = {}) {
    return static_cast<qint64>(VariantNumber(Db().scalar(QStringLiteral("select count(*) from ") + sql, params)));
  }
  static double number(const QString& sql, const QVariantList& params = {}) { return VariantNumber(Db().scalar(sql, params)); }
  static QString text(const QString& sql, const QVariantList& params = {}) { return VariantText(Db().scalar(sql, params)); }
  static std::vector<qint32> planIds(const QString& docNo) {
    std::vector<qint32> ids;
    for (const auto& r : Db().query(QStringLiteral("select 编号 from PJ_Cjzfjh where 单号=? order by 支付期次,编号"), {docNo}).rows)
      ids.push_back(static_cast<qint32>(VariantNumber(r[0])));
    return ids;
  }
  // The journal of a document: (摘要, 金额) in order.
  static std::vector<std::pair<QString, double>> journal(const QString& docNo) {
    std::vector<std::pair<QString, double>> out;
    for (const auto& r : Db().query(QStringLiteral("select 摘要,金额 from PJ_Liushui where 单号=? order by 编号"), {docNo}).rows)
      out.emplace_back(VariantText(r[0]), VariantNumber(r[1]));
    return out;
  }
  // Every row's 余额 is the sum of 金额 up to it.
  static void expectBalancesRun() {
    double sum = 0;
    for (const auto& r : Db().query(QStringLiteral("select 金额,余额 from PJ_Liushui order by 编号")).rows) {
      sum = Money::round(sum + VariantNumber(r[0]), 2);
      EXPECT_DOUBLE_EQ(VariantNumber(r[1]), sum);
    }
  }
  // The grid row whose column holds `text`, or -1.
  static int rowWith(const Grid* g, int col, const QString& text) {
    for (int r = g->fixedRows(); r < g->rows(); ++r)
      if (g->textMatrix(r, col) == text) return r;
    return -1;
  }

  qint32 investor_ = 0;
};
