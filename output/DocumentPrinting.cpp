#include "output/DocumentPrinting.h"

#include "app/data/AppError.h"
#include "app/data/DataAccess.h"
#include "app/services/ChineseAmount.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "output/MyFastReport.h"
#include "platform/Grid.h"
#include "platform/Money.h"

namespace {
[[noreturn]] void notFound(const QString& what, const QString& key) {
  throw AppError(Err::NoCurrentRecord, QStringLiteral("找不到要打印的%1：%2").arg(what, key));
}

qint64 recordNumber(const QString& key) {
  bool ok = false;
  const qint64 n = key.trimmed().toLongLong(&ok);
  if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("记录编号不是整数：") + key);
  return n;
}

QString capitals(double amount) { return AmountToChineseUppercase(Money::round(amount, 2)); }
// An amount as two variables: `name` in figures and `name`大写 in capitals.
void addAmount(const QString& name, double amount) {
  gReport.MAddV(name, FormatNumber(Money::round(amount, 2), QStringLiteral("Currency")));
  gReport.MAddV(name + QStringLiteral("大写"), capitals(amount));
}

struct LoanBits {
  QString handler;
  double principal = 0;
  bool person = true;
};
// Binds the loan and its borrower (a person or a company) in two slots from `loanSlot` on.
LoanBits bindLoan(int loanSlot, const QString& docNo) {
  if (BindReportQuery(loanSlot, QStringLiteral("贷款信息"), QStringLiteral("select * from PJ_Dkjl where 单号=?"), {docNo}) == 0)
    notFound(QStringLiteral("贷款"), docNo);
  const bool person = gMainRecordset.text(QStringLiteral("客户性质")) == QStringLiteral("个人");
  const qint64 customer = gMainRecordset.integer(QStringLiteral("客户ID"));
  LoanBits bits{gMainRecordset.text(QStringLiteral("业务经办")), gMainRecordset.number(QStringLiteral("本金")), person};
  BindReportQuery(loanSlot + 1, QStringLiteral("客户信息"),
                  person ? QStringLiteral("select * from PJ_Kehu where 编号=?") : QStringLiteral("select * from PJ_Kehu_Gs where 编号=?"),
                  {customer});
  return bits;
}
}  // namespace

bool IsPrintKind(int kind) { return kind == 2 || kind == 3 || kind == 4 || kind == 5 || kind == 7 || kind == 8; }

QString CreditorName(const QString& loanHandler) {
  double slot2 = 0;
  if (Money::parse(gSystemSettings[2].trimmed(), &slot2) && slot2 == 1) return loanHandler;
  return gSystemSettings[1];
}

QString PrepareDocument(int kind, const QString& key) {
  QString templ;
  switch (kind) {
    case 2: {
      const LoanBits loan = bindLoan(1, key);
      BindReportQuery(3, QStringLiteral("还贷计划"),
                      QStringLiteral("select 还贷期次,计息天数,贷款本金,应还本金,应还利息,开始日期,约定归还日期,备注 from PJ_Hdjh "
                                     "where 单号=? order by 还贷期次,编号"),
                      {key});
      gReport.MAddV(QStringLiteral("大写"), capitals(loan.principal));
      gReport.MAddV(QStringLiteral("年龄"), QString());
      gReport.MAddV(QStringLiteral("债权人"), CreditorName(loan.handler));
      gReport.MAddV(QStringLiteral("抬头"), gUnitName);
      templ = loan.person ? QStringLiteral("JJ.FR3") : QStringLiteral("JJ2.FR3");
      break;
    }
    case 3:
    case 4: {
      if (BindReportQuery(1, QStringLiteral("回款记录"), QStringLiteral("select * from PJ_Hkjl where 编号=?"), {recordNumber(key)}) == 0)
        notFound(QStringLiteral("回款记录"), key);
      const double amount = gMainRecordset.number(QStringLiteral("本金")) + gMainRecordset.number(QStringLiteral("利息"));
      const double received = amount + gMainRecordset.number(QStringLiteral("手续费"));
      const QString docNo = gMainRecordset.text(QStringLiteral("单号"));
      const qint64 planId = gMainRecordset.integer(QStringLiteral("计划ID"));
      bindLoan(2, docNo);
      BindReportQuery(4, QStringLiteral("还贷计划"),
                      QStringLiteral("select 贷款本金,应还本金,应还利息,已还本金,已还利息,归还状态,逾期手续费,开始日期,约定归还日期,归还日期,备注 "
                                     "from PJ_Hdjh where 编号=?"),
                      {planId});
      gReport.MAddV(QStringLiteral("大写"), capitals(amount));
      addAmount(QStringLiteral("实收"), received);
      gReport.MAddV(QStringLiteral("抬头"), gUnitName);
      templ = QStringLiteral("JJ3.FR3");
      break;
    }
    case 5: {
      if (BindReportQuery(1, QStringLiteral("融资信息"), QStringLiteral("select * from PJ_Cjjl where 单号=?"), {key}) == 0)
        notFound(QStringLiteral("拆借记录"), key);
      const double principal = gMainRecordset.number(QStringLiteral("本金"));
      const qint64 investor = gMainRecordset.integer(QStringLiteral("客户ID"));
      BindReportQuery(2, QStringLiteral("客户信息"), QStringLiteral("select * from PJ_Gd where 编号=?"), {investor});
      gReport.MAddV(QStringLiteral("大写"), capitals(principal));
      gReport.MAddV(QStringLiteral("抬头"), gUnitName);
      templ = QStringLiteral("JJ5.FR3");
      break;
    }
    case 7:
    case 8: {
      if (BindReportQuery(1, QStringLiteral("支付记录"), QStringLiteral("select * from PJ_Cjzfjl where 编号=?"), {recordNumber(key)}) == 0)
        notFound(QStringLiteral("支付记录"), key);
      const double amount = gMainRecordset.number(QStringLiteral("本金")) + gMainRecordset.number(QStringLiteral("利息"));
      const double paid = amount - gMainRecordset.number(QStringLiteral("提前支取扣款"));
      const QString docNo = gMainRecordset.text(QStringLiteral("单号"));
      const qint64 planId = gMainRecordset.integer(QStringLiteral("计划ID"));
      if (BindReportQuery(2, QStringLiteral("融资信息"), QStringLiteral("select * from PJ_Cjjl where 单号=?"), {docNo}) == 0)
        notFound(QStringLiteral("拆借记录"), docNo);
      const qint64 investor = gMainRecordset.integer(QStringLiteral("客户ID"));
      BindReportQuery(3, QStringLiteral("客户信息"), QStringLiteral("select * from PJ_Gd where 编号=?"), {investor});
      BindReportQuery(4, QStringLiteral("支付计划"),
                      QStringLiteral("select 拆借本金,应付本金,应付利息,已付本金,已付利息,结算状态,开始日期,约定支付日期,支付日期,备注 "
                                     "from PJ_Cjzfjh where 编号=?"),
                      {planId});
      gReport.MAddV(QStringLiteral("大写"), capitals(amount));
      addAmount(QStringLiteral("实付"), paid);
      gReport.MAddV(QStringLiteral("抬头"), gUnitName);
      templ = QStringLiteral("JJ7.FR3");
      break;
    }
    default:
      return QString();
  }
  CloseRecordset(gMainRecordset);
  return templ;
}
