#pragma once
// Loans as the registration leaves them, written straight into a fresh database, and what the
// tests read back: rows, journal balances, the texts of grids.
#include <QDate>
#include <QString>

#include "TestSupport.h"

class Grid;

class LoanRecordsFixture : public ProgramTest {
 protected:
  void SetUp() override;

  struct LoanSpec {
    QString docNo;
    QString borrower = QStringLiteral("张三");
    qint32 customerId = 0;        // 0: a new person named `borrower`
    QString kind = QStringLiteral("个人");
    double principal = 10000;
    QString rateType = QStringLiteral("日");
    double rate = 0.1;            // percent
    double overdueDailyRate = 0.0015;
    QDate registered = QDate(2024, 1, 1);
    QDate start = QDate(2024, 1, 1);
    QDate lastDue = QDate(2024, 3, 1);
    QString approval = QStringLiteral("已审核");
    QString settlement = QStringLiteral("未还");
    QString dept = QStringLiteral("综合部");
    QString handler = QStringLiteral("李经办");
    QString guarantors = QStringLiteral("0");
    double interest = 300;
  };
  // Adds the loan row (and its borrower when none is given); returns the borrower's 编号.
  qint32 addLoan(LoanSpec spec);
  // Adds a plan row; returns its 编号.
  qint32 addPlanRow(const QString& docNo, int period, double base, double principal, double interest, const QDate& start,
                    const QDate& due, const QString& status = QStringLiteral("未还"), double paidPrincipal = 0,
                    double paidInterest = 0);
  qint32 addPerson(const QString& name, const QString& mobile = QStringLiteral("13912345678"));
  qint32 addCompany(const QString& name, const QString& mobile);
  // A journal row written the way the registration writes them.
  void addJournal(const QString& docNo, double amount, const QString& summary, const QString& direction);

  // One value of a row found by a condition with bound values.
  QVariant value(const QString& sql, const QVariantList& params = {});
  qint64 count(const QString& table, const QString& where = QString(), const QVariantList& params = {});
  // Every journal row as "单号 摘要 方向 金额 余额", in order.
  QStringList journal();
  // The texts of column `col` of the data rows (totals rows left out).
  static QStringList column(const Grid* g, int col);
  // Makes the row whose column `col` reads `text` current; false when there is none.
  static bool selectRow(Grid* g, int col, const QString& text);
  // A user of role 0 with the given rights and department rights.
  void loginAsClerk(const QString& rights, const QString& depts);
};
