#include "output/LoanContract.h"

#include <QDir>

#include "app/data/AppError.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ChineseAmount.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"

namespace {
QString chineseDate(const QString& text) {
  const QDate d = ParseDateText(text);
  return d.isValid() ? ChineseDateText(d) : QString();
}

// A sentence of the phrases that have a value, joined by "，": a value the record lacks leaves out
// its whole phrase, so no "，，" and no "出生" without a date.
QString sentenceOf(const std::initializer_list<std::pair<QString, QString>> phrases) {
  QStringList kept;
  for (const auto& [value, phrase] : phrases)
    if (!value.trimmed().isEmpty()) kept << phrase;
  return kept.join(QStringLiteral("，"));
}

// The 编号 values of a list as bound numbers; anything that is not a whole number is refused.
QVariantList idsOf(const QString& idList) {
  QVariantList ids;
  for (const QString& part : idList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool ok = false;
    const qint64 id = part.trimmed().toLongLong(&ok);
    if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("客户编号列表有误：") + idList);
    if (id != 0) ids << id;
  }
  return ids;
}
}  // namespace

QString DescribeParties(const QString& idList) {
  const QVariantList ids = idsOf(idList);
  if (ids.isEmpty()) return QString();
  QStringList marks;
  for (qsizetype i = 0; i < ids.size(); ++i) marks << QStringLiteral("?");
  Recordset rs;
  OpenRecordset(rs, QStringLiteral("select * from PJ_Kehu where 编号 in (%1) order by 编号").arg(marks.join(QLatin1Char(','))), ids);
  QString out;
  for (; !rs.Eof(); rs.MoveNext()) {
    const auto v = [&](const char* field) { return rs.text(QString::fromUtf8(field)); };
    const QString born = chineseDate(v("生日"));
    out += sentenceOf({{v("姓名"), QStringLiteral("姓名：") + v("姓名")},
                       {v("性别"), v("性别")},
                       {born, born + QStringLiteral("出生")},
                       {v("身份证号"), QStringLiteral("身份证号：") + v("身份证号")},
                       {v("手机"), QStringLiteral("手机：") + v("手机")},
                       {v("家庭住址"), QStringLiteral("住址：") + v("家庭住址")}}) +
           QStringLiteral("\r\n");
  }
  CloseRecordset(rs);
  return out;
}

LoanContractData BuildLoanContract(const QString& docNo) {
  OpenMainQuery(QStringLiteral("select * from PJ_Dkjl where 单号=?"), {docNo});
  if (gMainRecordset.Eof()) throw AppError(Err::NoCurrentRecord, QStringLiteral("找不到贷款：") + docNo);
  const Recordset loan = gMainRecordset;
  const auto text = [&](const char* f) { return loan.text(QString::fromUtf8(f)); };
  const bool person = text("客户性质") == QStringLiteral("个人");
  const double principal = loan.number(QStringLiteral("本金"));
  const QString handler = text("业务经办");
  const QString customerId = text("客户ID");

  Recordset staff;
  OpenRecordset(staff, QStringLiteral("select 姓名,性别 from PJ_Admin where 姓名=?"), {handler});
  if (staff.Eof()) throw AppError(Err::NoCurrentRecord, QStringLiteral("找不到业务经办的员工资料：") + handler);
  // The address label stays as the sentence's end: the address is written in by hand.
  const QString lender = sentenceOf({{staff.text(QStringLiteral("姓名")), QStringLiteral("姓名：") + staff.text(QStringLiteral("姓名"))},
                                     {staff.text(QStringLiteral("性别")), staff.text(QStringLiteral("性别"))},
                                     {QStringLiteral("住址："), QStringLiteral("住址：")}});
  CloseRecordset(staff);

  LoanContractData c;
  c.values = {
      {QStringLiteral("{乙方}"), lender},
      {QStringLiteral("{丙方}"), DescribeParties(text("保证人"))},
      {QStringLiteral("{天数}"), text("计息天数")},
      {QStringLiteral("{大写}"), AmountToChineseUppercase(Money::round(principal, 2))},
      {QStringLiteral("{小写}"), QStringLiteral("¥") + FormatNumber(principal, QStringLiteral("Currency"))},
      {QStringLiteral("{开始}"), chineseDate(text("起息日期"))},
      {QStringLiteral("{结束}"), chineseDate(text("约定还款日期"))},
      {QStringLiteral("{日期}"), chineseDate(text("登记日期"))},
      {QStringLiteral("{利率}"), text("利率类别") + QStringLiteral("利率") + Money::format(loan.number(QStringLiteral("利率")), QStringLiteral("0.0000")) + QStringLiteral("%")},
      {QStringLiteral("{付息方式}"), text("还款计划")},
  };
  if (person) {
    c.templateName = QStringLiteral("gr.docx");
    c.values.push_back({QStringLiteral("{甲方}"), DescribeParties(customerId)});
  } else {
    c.templateName = QStringLiteral("gs.docx");
    Recordset co;
    OpenRecordset(co, QStringLiteral("select * from PJ_Kehu_Gs where 编号=?"), {loan.integer(QStringLiteral("客户ID"))});
    if (co.Eof()) throw AppError(Err::NoCurrentRecord, QStringLiteral("找不到借款企业的资料：") + text("客户名称"));
    c.values.push_back({QStringLiteral("{法人}"), co.text(QStringLiteral("法人姓名"))});
    c.values.push_back({QStringLiteral("{职务}"), co.text(QStringLiteral("法人职务"))});
    const auto v = [&](const char* field) { return co.text(QString::fromUtf8(field)); };
    c.values.push_back({QStringLiteral("{甲方}"), sentenceOf({{v("公司名称"), v("公司名称")},
                                                               {v("营业执照注册号"), QStringLiteral("企业营业执照注册号：") + v("营业执照注册号")},
                                                               {v("住所地"), QStringLiteral("住所地：") + v("住所地")}})});
    c.values.push_back({QStringLiteral("{公司}"), co.text(QStringLiteral("公司名称"))});
    CloseRecordset(co);
  }
  CloseRecordset(gMainRecordset);
  return c;
}

QString GenerateLoanContract(const QString& docNo) {
  LoanContractData c;
  try {
    c = BuildLoanContract(docNo);
  } catch (const AppError& e) {
    MsgBox(e.description, Mb::Exclamation, QStringLiteral("提示"));
    return QString();
  }
  // The document number names the file: it must not reach outside the contract folder.
  if (docNo.isEmpty() || docNo.contains(QLatin1Char('/')) || docNo.contains(QLatin1Char('\\')) || docNo.startsWith(QLatin1Char('.'))) {
    MsgBox(QStringLiteral("单号不能用作文件名：") + docNo, Mb::Exclamation, QStringLiteral("提示"));
    return QString();
  }
  QString dir = gAppDir;
  if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  QDir().mkpath(dir + QStringLiteral("合同"));
  const QString result = dir + QStringLiteral("合同/") + docNo + QStringLiteral(".docx");
  const QString failure = WriteContract(dir + QStringLiteral("template/") + c.templateName, result, c.values);
  if (!failure.isEmpty()) {
    MsgBox(failure, Mb::Exclamation, QStringLiteral("提示"));
    return QString();
  }
  MsgBox(QStringLiteral("合同已生成并保存至") + result, Mb::Information);
  OpenWithDesktop(result);
  return result;
}
