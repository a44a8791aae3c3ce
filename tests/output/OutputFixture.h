#pragma once
// What the tests of the report windows share: a logged-in administrator at a fixed date, and loan,
// financing, plan and journal rows put straight into the tables.
#include <QDir>
#include <QFile>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"

class OutputFixture : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    setNow(QDateTime(QDate(2024, 3, 5), QTime(10, 0)));
  }

  // The shipped report and contract templates in the test's program folder.
  void copyShippedTemplates() const {
    QDir().mkpath(appDir() + QStringLiteral("template"));
    for (const QString& f : QDir(QStringLiteral(VRN_TEMPLATES)).entryList(QDir::Files))
      QFile::copy(QStringLiteral(VRN_TEMPLATES "/") + f, appDir() + QStringLiteral("template/") + f);
  }

  static qint64 insertRow(const QString& table, const QStringList& columns, const QVariantList& values) {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    Db().Execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns.join(','), marks.join(',')), values);
    return Db().lastInsertId();
  }
  static QStringList cols(const char* names) { return QString::fromUtf8(names).split(QLatin1Char(',')); }

  static qint64 person(const QString& name, const QString& mobile = QStringLiteral("13800138000")) {
    return insertRow(QStringLiteral("PJ_Kehu"), cols("姓名,性别,生日,身份证号,手机,家庭住址,开户行,银行帐号"),
                     {name, QStringLiteral("男"), QStringLiteral("1980-05-06"), QStringLiteral("110101198005060011"), mobile,
                      QStringLiteral("北京市东城区1号"), QStringLiteral("工商银行"), QStringLiteral("6222000011112222")});
  }
  static qint64 company(const QString& name, const QString& mobile = QStringLiteral("13900139000")) {
    return insertRow(QStringLiteral("PJ_Kehu_Gs"), cols("公司名称,法人姓名,法人职务,营业执照注册号,住所地,手机,开户行,银行帐号"),
                     {name, QStringLiteral("王法人"), QStringLiteral("董事长"), QStringLiteral("91110000123"), QStringLiteral("上海市浦东新区"),
                      mobile, QStringLiteral("建设银行"), QStringLiteral("6227000033334444")});
  }
  static qint64 investor(const QString& name, const QString& mobile = QStringLiteral("13700137000")) {
    return insertRow(QStringLiteral("PJ_Gd"), cols("姓名,性别,身份证号,手机,家庭住址,开户行,开户名,银行账号"),
                     {name, QStringLiteral("女"), QStringLiteral("310101197001010022"), mobile, QStringLiteral("上海"),
                      QStringLiteral("农业银行"), name, QStringLiteral("6228000055556666")});
  }
  // A loan document; `kind` "个人" or "企业".
  static void loan(const QString& no, const QString& kind, qint64 customer, const QString& name, double principal,
                   const QString& approval, const QString& settled, const QString& handler = QStringLiteral("管理员")) {
    insertRow(QStringLiteral("PJ_Dkjl"),
              cols("单号,登记日期,客户性质,客户ID,客户名称,本金,利率类别,利率,逾期利率,利息,计息天数,起息日期,止息日期,约定还款日期,"
                   "还款计划,业务经办,保证人,担保企业,业务状态,结算状态,已还本金,已还利息"),
              {no, QStringLiteral("2024-01-01"), kind, customer, name, principal, QStringLiteral("月"), 1.5, 2.0, 300.0, 90,
               QStringLiteral("2024-01-01"), QStringLiteral("2024-04-01"), QStringLiteral("2024-04-01"), QStringLiteral("等额本金 - 后付"),
               handler, QStringLiteral("0"), QStringLiteral("0"), approval, settled, 0.0, 0.0});
  }
  static qint64 loanRow(const QString& no, int n, const QString& name, double principal, double interest, double paidP, double paidI,
                        const QString& state, const QString& due) {
    return insertRow(QStringLiteral("PJ_Hdjh"),
                     cols("单号,还贷期次,贷款本金,应还本金,应还利息,已还本金,已还利息,归还状态,开始日期,约定归还日期,计息天数,客户名称"),
                     {no, n, 3000.0, principal, interest, paidP, paidI, state, QStringLiteral("2024-01-01"), due, 30, name});
  }
  static void financing(const QString& no, qint64 investorId, const QString& name, const QString& kind, double principal, double paid,
                        const QString& approval, const QString& settled) {
    insertRow(QStringLiteral("PJ_Cjjl"),
              cols("单号,登记日期,客户ID,客户名称,拆借类别,本金,利率类别,利率,利息,起息日期,止息日期,支付计划,业务经办,业务状态,结算状态,已付本金"),
              {no, QStringLiteral("2024-01-02"), investorId, name, kind, principal, QStringLiteral("月"), 1.0, 600.0,
               QStringLiteral("2024-01-02"), QStringLiteral("2024-07-02"), QStringLiteral("一次性支付本息"), QStringLiteral("管理员"),
               approval, settled, paid});
  }
  static qint64 financingRow(const QString& no, int n, const QString& name, double principal, double interest, double paidP,
                             double paidI, const QString& state, const QString& due) {
    return insertRow(QStringLiteral("PJ_Cjzfjh"),
                     cols("单号,支付期次,拆借本金,应付本金,应付利息,已付本金,已付利息,结算状态,开始日期,约定支付日期,计息天数,客户名称"),
                     {no, n, principal, principal, interest, paidP, paidI, state, QStringLiteral("2024-01-02"), due, 30, name});
  }
  static void journal(const QString& at, const QString& no, double amount, const QString& operatorName,
                      const QString& counterparty = QString()) {
    insertRow(QStringLiteral("PJ_Liushui"), cols("时间,单号,金额,摘要,方向,经办人,操作员,对方开户名,余额"),
              {at, no, amount, amount < 0 ? QStringLiteral("贷款本金支出") : QStringLiteral("贷款本金收入"),
               amount < 0 ? QStringLiteral("支出") : QStringLiteral("收入"), QStringLiteral("管理员"), operatorName, counterparty, 0.0});
  }

  // The book used by the figure tests (base date 2024-03-05):
  // loans  D1 张三 已审核/未还: paid row due 02-01, part-paid row due on the base date, row due later;
  //        D2 某公司 未审核, due 03-01; D3 李四 已完结, paid, due 01-01; D4 王五 已审核/未还, due later only.
  // financing C1 赵六 自有 已审核/未付 (paid row, later row); C2 钱七 外拆 due on the base date;
  //        C3 孙八 未审核; C4 周九 已完结.
  void fillBook() {
    const qint64 p1 = person(QStringLiteral("张三"));
    const qint64 c1 = company(QStringLiteral("某公司"));
    loan(QStringLiteral("D1"), QStringLiteral("个人"), p1, QStringLiteral("张三"), 3000, QStringLiteral("已审核"), QStringLiteral("未还"));
    loanRow(QStringLiteral("D1"), 1, QStringLiteral("张三"), 1000, 100, 1000, 100, QStringLiteral("已还"), QStringLiteral("2024-02-01"));
    loanRow(QStringLiteral("D1"), 2, QStringLiteral("张三"), 1000, 100, 400, 0, QStringLiteral("归还部分"), QStringLiteral("2024-03-05"));
    loanRow(QStringLiteral("D1"), 3, QStringLiteral("张三"), 1000, 100, 0, 0, QStringLiteral("未还"), QStringLiteral("2024-04-01"));
    loan(QStringLiteral("D2"), QStringLiteral("企业"), c1, QStringLiteral("某公司"), 500, QStringLiteral("未审核"), QStringLiteral("未还"));
    loanRow(QStringLiteral("D2"), 1, QStringLiteral("某公司"), 500, 50, 0, 0, QStringLiteral("未还"), QStringLiteral("2024-03-01"));
    loan(QStringLiteral("D3"), QStringLiteral("个人"), p1, QStringLiteral("李四"), 300, QStringLiteral("已审核"), QStringLiteral("已完结"));
    loanRow(QStringLiteral("D3"), 1, QStringLiteral("李四"), 300, 30, 300, 30, QStringLiteral("已还"), QStringLiteral("2024-01-01"));
    loan(QStringLiteral("D4"), QStringLiteral("个人"), p1, QStringLiteral("王五"), 2000, QStringLiteral("已审核"), QStringLiteral("未还"));
    loanRow(QStringLiteral("D4"), 1, QStringLiteral("王五"), 2000, 200, 0, 0, QStringLiteral("未还"), QStringLiteral("2024-05-01"));

    const qint64 i1 = investor(QStringLiteral("赵六"));
    financing(QStringLiteral("C1"), i1, QStringLiteral("赵六"), QStringLiteral("自有"), 10000, 2000, QStringLiteral("已审核"), QStringLiteral("未付"));
    financingRow(QStringLiteral("C1"), 1, QStringLiteral("赵六"), 2000, 300, 2000, 300, QStringLiteral("已付"), QStringLiteral("2024-02-01"));
    financingRow(QStringLiteral("C1"), 2, QStringLiteral("赵六"), 8000, 300, 0, 0, QStringLiteral("未付"), QStringLiteral("2024-06-01"));
    financing(QStringLiteral("C2"), i1, QStringLiteral("钱七"), QStringLiteral("外拆"), 5000, 0, QStringLiteral("已审核"), QStringLiteral("未付"));
    financingRow(QStringLiteral("C2"), 1, QStringLiteral("钱七"), 5000, 100, 0, 0, QStringLiteral("未付"), QStringLiteral("2024-03-05"));
    financing(QStringLiteral("C3"), i1, QStringLiteral("孙八"), QStringLiteral("外拆"), 7000, 0, QStringLiteral("未审核"), QStringLiteral("未付"));
    financingRow(QStringLiteral("C3"), 1, QStringLiteral("孙八"), 7000, 70, 0, 0, QStringLiteral("未付"), QStringLiteral("2024-01-15"));
    financing(QStringLiteral("C4"), i1, QStringLiteral("周九"), QStringLiteral("自有"), 1000, 1000, QStringLiteral("已审核"), QStringLiteral("已完结"));
    financingRow(QStringLiteral("C4"), 1, QStringLiteral("周九"), 1000, 10, 1000, 10, QStringLiteral("已付"), QStringLiteral("2024-01-10"));
  }
};
