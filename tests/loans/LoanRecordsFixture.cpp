#include "LoanRecordsFixture.h"

#include "app/data/DataAccess.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "platform/Clock.h"
#include "platform/Grid.h"
#include "platform/Money.h"

void LoanRecordsFixture::SetUp() {
  ProgramTest::SetUp();
  loginAsSuperAdmin();
  gSystemSettings[5] = QStringLiteral("0");  // no account picker unless a test asks for it
  setNow(QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
}

qint32 LoanRecordsFixture::addPerson(const QString& name, const QString& mobile) {
  Db().Execute(QStringLiteral("insert into PJ_Kehu (姓名,手机,身份证号,家庭住址,开户行,开户名,银行帐号) values (?,?,?,?,?,?,?)"),
               {name, mobile, QStringLiteral("320102199001011234"), QStringLiteral("南京市中山路1号"), QStringLiteral("工商银行"), name,
                QStringLiteral("6222000011112222")});
  return static_cast<qint32>(Db().lastInsertId());
}

qint32 LoanRecordsFixture::addCompany(const QString& name, const QString& mobile) {
  Db().Execute(QStringLiteral("insert into PJ_Kehu_Gs (公司名称,手机,住所地,营业执照注册号,开户行,开户名,银行帐号) values (?,?,?,?,?,?,?)"),
               {name, mobile, QStringLiteral("苏州市工业园区星湖街1号"), QStringLiteral("91320500MA1X"), QStringLiteral("建设银行"), name,
                QStringLiteral("6227000033334444")});
  return static_cast<qint32>(Db().lastInsertId());
}

qint32 LoanRecordsFixture::addLoan(LoanSpec s) {
  if (s.customerId == 0) s.customerId = s.kind == QStringLiteral("个人") ? addPerson(s.borrower) : addCompany(s.borrower, QStringLiteral("13812345678"));
  Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号,登记日期,客户性质,客户ID,客户名称,本金,利率类别,利率,逾期利率,日利率,逾期日利率,利息,"
                              "计息天数,首尾计息,起息日期,止息日期,约定还款日期,还款计划,业务经办,保证人,担保企业,结算状态,业务状态,部门,操作员,"
                              "贷款用途) values (?,?,?,?,?,?,?,?,?,?,?,?,60,0,?,?,?,?,?,?,'0',?,?,?,?,?)"),
               {s.docNo, DateText(s.registered), s.kind, s.customerId, s.borrower, s.principal, s.rateType, s.rate,
                s.overdueDailyRate * 100, s.rate / 100, s.overdueDailyRate, s.interest, DateText(s.start), DateText(s.lastDue),
                DateText(s.lastDue), QStringLiteral("一次性归还本息"), s.handler, s.guarantors, s.settlement, s.approval, s.dept,
                QStringLiteral("管理员"), QStringLiteral("经营周转")});
  return s.customerId;
}

qint32 LoanRecordsFixture::addPlanRow(const QString& docNo, int period, double base, double principal, double interest, const QDate& start,
                               const QDate& due, const QString& status, double paidPrincipal, double paidInterest) {
  Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号,还贷期次,贷款本金,应还本金,应还利息,已还本金,已还利息,归还状态,开始日期,约定归还日期,"
                              "计息天数,客户名称) values (?,?,?,?,?,?,?,?,?,?,?,(select 客户名称 from PJ_Dkjl where 单号=?))"),
               {docNo, period, base, principal, interest, paidPrincipal, paidInterest, status, DateText(start), DateText(due),
                start.daysTo(due), docNo});
  return static_cast<qint32>(Db().lastInsertId());
}

void LoanRecordsFixture::addJournal(const QString& docNo, double amount, const QString& summary, const QString& direction) {
  ClearBankInfo();
  WriteLedgerEntry(docNo, amount, summary, direction, QStringLiteral("李经办"), 0);
}

QVariant LoanRecordsFixture::value(const QString& sql, const QVariantList& params) { return Db().scalar(sql, params); }

qint64 LoanRecordsFixture::count(const QString& table, const QString& where, const QVariantList& params) {
  return Db().scalar(QStringLiteral("select count(*) from ") + table + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where), params)
      .toLongLong();
}

QStringList LoanRecordsFixture::journal() {
  QStringList out;
  const QueryResult r = Db().query(QStringLiteral("select 单号,摘要,方向,金额,余额 from PJ_Liushui order by 编号"));
  for (const QVariantList& row : r.rows)
    out << QStringLiteral("%1 %2 %3 %4 %5")
               .arg(row[0].toString(), row[1].toString(), row[2].toString(), Money::format(row[3].toDouble()),
                    Money::format(row[4].toDouble()));
  return out;
}

QStringList LoanRecordsFixture::column(const Grid* g, int col) {
  QStringList out;
  for (int r = g->fixedRows(); r < g->rows(); ++r)
    if (!g->isTotalsRow(r)) out << g->textMatrix(r, col);
  return out;
}

bool LoanRecordsFixture::selectRow(Grid* g, int col, const QString& text) {
  for (int r = g->fixedRows(); r < g->rows(); ++r)
    if (!g->isTotalsRow(r) && g->textMatrix(r, col) == text) {
      g->setRow(r);
      return true;
    }
  return false;
}

void LoanRecordsFixture::loginAsClerk(const QString& rights, const QString& depts) {
  gCurrentUserRole = 0;
  gCurrentUserRights = rights;
  gDeptRights = depts;
  gUserName = QStringLiteral("职员");
  gLoginAccount = QStringLiteral("clerk");
}
