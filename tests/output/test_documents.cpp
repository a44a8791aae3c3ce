// Document printing: each kind's template, datasets and variables, the shipped templates rendered
// to PDF and read back, the printing window's failures; loan contracts from the shipped templates.
#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "OutputFixture.h"
#include "output/DocumentPrinting.h"
#include "output/LoanContract.h"
#include "output/MyFastReport.h"
#include "output/frmPrintFr3.h"
#include "platform/ContractWriter.h"

namespace {
class DocumentsTest : public OutputFixture {
 protected:
  void SetUp() override {
    OutputFixture::SetUp();
    copyShippedTemplates();
    gUnitName = QStringLiteral("示范民间借贷公司");
    gSystemSettings[1] = QStringLiteral("指定债权人甲");
    gSystemSettings[2] = QStringLiteral("0");
    fillBook();
    // A repayment on D1's second row and a payment on C1's first row.
    repayment_ = insertRow(QStringLiteral("PJ_Hkjl"), cols("单号,期次,日期,本金,利息,手续费,还款状态,计划ID,操作员"),
                           {QStringLiteral("D1"), 2, QStringLiteral("2024-03-05 09:00:00"), 400.0, 0.25, 0.0, QStringLiteral("归还部分"),
                            planRowOf(QStringLiteral("PJ_Hdjh"), QStringLiteral("D1"), 2), QStringLiteral("admin")});
    payment_ = insertRow(QStringLiteral("PJ_Cjzfjl"), cols("单号,期次,日期,本金,利息,提前支取扣款,付款状态,计划ID,操作员"),
                         {QStringLiteral("C1"), 1, QStringLiteral("2024-02-01 09:00:00"), 2000.0, 300.0, 0.0, QStringLiteral("已付"),
                          planRowOf(QStringLiteral("PJ_Cjzfjh"), QStringLiteral("C1"), 1), QStringLiteral("admin")});
  }
  static qint64 planRowOf(const QString& table, const QString& no, int n) {
    const QString col = table == QLatin1String("PJ_Hdjh") ? QStringLiteral("还贷期次") : QStringLiteral("支付期次");
    return Db().scalar(QStringLiteral("select 编号 from %1 where 单号=? and %2=?").arg(table, col), {no, n}).toLongLong();
  }
  // Prepares a document and returns the template with "dataset:rows" of every slot and the variables.
  QString describe(int kind, const QString& key) {
    BeginReport();
    const QString templ = PrepareDocument(kind, key);
    QStringList parts{templ};
    for (const auto& [slot, d] : gReport.datasets()) parts << QStringLiteral("%1%2:%3").arg(slot).arg(d.name).arg(d.rows.size());
    for (const auto& [n, v] : gReport.variables()) parts << n + QLatin1Char('=') + v;
    return parts.join(QLatin1Char('|'));
  }
  QString pdfOf(const QString& templ) {
    const QString pdf = dir_.filePath(templ + QStringLiteral(".pdf"));
    EXPECT_TRUE(gReport.printToPdf(ReportTemplatePath(templ), pdf)) << templ.toStdString();
    return ToolOutput(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).simplified();
  }
  qint64 repayment_ = 0, payment_ = 0;
};
}  // namespace

TEST_F(DocumentsTest, EveryKindBindsItsDatasetsAndVariables) {
  const QString r = QString::number(repayment_), p = QString::number(payment_);
  struct Case {
    int kind;
    QString key;
    QString expected;
  } cases[] = {
      {2, QStringLiteral("D1"), QStringLiteral("JJ.FR3|1贷款信息:1|2客户信息:1|3还贷计划:3|大写=叁仟圆整|年龄=|债权人=指定债权人甲|抬头=示范民间借贷公司")},
      {2, QStringLiteral("D2"), QStringLiteral("JJ2.FR3|1贷款信息:1|2客户信息:1|3还贷计划:1|大写=伍佰圆整|年龄=|债权人=指定债权人甲|抬头=示范民间借贷公司")},
      {3, r, QStringLiteral("JJ3.FR3|1回款记录:1|2贷款信息:1|3客户信息:1|4还贷计划:1|大写=肆佰圆贰角伍分|实收=400.25|实收大写=肆佰圆贰角伍分|抬头=示范民间借贷公司")},
      {4, r, QStringLiteral("JJ3.FR3|1回款记录:1|2贷款信息:1|3客户信息:1|4还贷计划:1|大写=肆佰圆贰角伍分|实收=400.25|实收大写=肆佰圆贰角伍分|抬头=示范民间借贷公司")},
      {5, QStringLiteral("C1"), QStringLiteral("JJ5.FR3|1融资信息:1|2客户信息:1|大写=壹万圆整|抬头=示范民间借贷公司")},
      {7, p, QStringLiteral("JJ7.FR3|1支付记录:1|2融资信息:1|3客户信息:1|4支付计划:1|大写=贰仟叁佰圆整|实付=2,300.00|实付大写=贰仟叁佰圆整|抬头=示范民间借贷公司")},
      {8, p, QStringLiteral("JJ7.FR3|1支付记录:1|2融资信息:1|3客户信息:1|4支付计划:1|大写=贰仟叁佰圆整|实付=2,300.00|实付大写=贰仟叁佰圆整|抬头=示范民间借贷公司")},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(c.kind, c.key), c.expected) << c.kind;
  // The company loan's customer data come from the company table.
  describe(2, QStringLiteral("D2"));
  EXPECT_EQ(gReport.render(QStringLiteral("{{客户信息.公司名称}}")), QStringLiteral("某公司"));
  // Settings item 2 = 1 makes the loan's handler the creditor.
  gSystemSettings[2] = QStringLiteral("1");
  EXPECT_TRUE(describe(2, QStringLiteral("D1")).contains(QStringLiteral("债权人=管理员")));
  // Keys that find nothing or are not record numbers are refused with their reason.
  for (auto [kind, key] : {std::pair{2, QStringLiteral("D404")}, {3, QStringLiteral("abc")}, {7, QStringLiteral("99999")}, {5, QStringLiteral("'")}}) {
    BeginReport();
    EXPECT_THROW(PrepareDocument(kind, key), AppError) << kind << key.toStdString();
  }
}

TEST_F(DocumentsTest, ShippedTemplatesPrintTheDocuments) {
  struct Case {
    int kind;
    QString key;
    QStringList shows;
  } cases[] = {
      {2, QStringLiteral("D1"), {"示范民间借贷公司", "借据", "张三", "110101198005060011", "叁仟圆整", "3,000.00", "指定债权人甲", "2024-04-01", "借款人（签字并按手印）"}},
      {2, QStringLiteral("D2"), {"借据", "某公司", "王法人", "91110000123", "伍佰圆整", "借款单位（盖章）"}},
      {3, QString::number(repayment_), {"还款收条", "张三", "400.00", "0.25", "本息合计（大写）", "肆佰圆贰角伍分", "实收合计 ¥400.25", "归还部分", "交款人（签字）"}},
      {5, QStringLiteral("C1"), {"拆借资金凭证", "赵六", "壹万圆整", "10,000.00", "自有", "出借人（签字）"}},
      {7, QString::number(payment_), {"拆借支付凭证", "赵六", "2,000.00", "300.00", "贰仟叁佰圆整", "实付金额 ¥2,300.00", "收款人（签字）"}},
  };
  for (const Case& c : cases) {
    BeginReport();
    const QString text = pdfOf(PrepareDocument(c.kind, c.key));
    for (const QString& s : c.shows) EXPECT_TRUE(text.contains(s.simplified())) << c.kind << ": " << s.toStdString() << " in\n" << text.toStdString();
  }
  // The two list templates with the lists' columns, with rows and with none.
  for (bool deleteAfterBinding : {false, true}) {
    BeginReport();
    BindReportQuery(1, QStringLiteral("贷款记录"),
                    QStringLiteral("select 单号,客户名称 as 借款人,起息日期,本金 as 借款金额,利率类别,利率 as 利率百分比,利息,"
                                   "本金-已还本金 as 待还本金,利息-已还利息 as 待还利息,约定还款日期,结算状态,业务状态,业务经办 from PJ_Dkjl where 单号<>?"),
                    {deleteAfterBinding ? QStringLiteral("x' or 1=1") : QStringLiteral("D9")});
    if (deleteAfterBinding) Db().Execute(QStringLiteral("delete from PJ_Dkjl"));
    gReport.MAddV(QStringLiteral("抬头"), gUnitName);
    const QString loans = pdfOf(QStringLiteral("JJ4.fr3"));
    EXPECT_TRUE(loans.contains(QStringLiteral("示范民间借贷公司贷款记录")));
    EXPECT_TRUE(loans.contains(QStringLiteral("5,800.00"))) << loans.toStdString();  // 3000 + 500 + 300 + 2000
  }
  BeginReport();
  BindReportQuery(1, QStringLiteral("融资记录"), QStringLiteral("select * from PJ_Cjjl where 单号='none'"));
  gReport.MAddV(QStringLiteral("抬头"), gUnitName);
  EXPECT_TRUE(pdfOf(QStringLiteral("JJ6.fr3")).contains(QStringLiteral("没有拆借记录")));
}

TEST_F(DocumentsTest, PrintingWindowRunsTheChosenModeAndReportsFailures) {
  std::vector<std::pair<int, QString>> shown;
  ReportEngine::setShowHandler([&](const ReportEngine& engine, int mode, const QString& path) {
    shown.push_back({mode, QFileInfo(path).fileName() + QLatin1Char(' ') + engine.title()});
    return true;
  });
  {
    frmPrintFr3 w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("打印"));
    EXPECT_TRUE(w.OptDy[0]->isChecked());
    w.PrintKind = 2;
    w.PrintKey = QStringLiteral("D2");
    w.OptDy[2]->setChecked(true);
    w.eCmdzx_Click(0);
    EXPECT_EQ(w.result(), QDialog::Accepted);
  }
  {
    // A record that does not exist: the message names the print run, and the window stays.
    frmPrintFr3 w;
    w.PrintKind = 3;
    w.PrintKey = QStringLiteral("12345");
    w.eCmdzx_Click(0);
    EXPECT_NE(w.result(), QDialog::Accepted);
    ASSERT_EQ(responder_.messages.size(), 1u);
    EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("报表打印"))) << responder_.messages[0].text.toStdString();
  }
  {
    // A printer that cannot print: said, and the window stays for another try.
    frmPrintFr3 w;
    w.PrintKind = 5;
    w.PrintKey = QStringLiteral("C1");
    w.OptDy[1]->setChecked(true);
    w.Combo1->addItem(QStringLiteral("无此打印机"));
    w.Combo1->setCurrentText(QStringLiteral("无此打印机"));
    responder_.clear();
    w.eCmdzx_Click(0);
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("打印机未准备好或发生错误！")});
  }
  {
    // No kind set: nothing printed, the window closes.
    frmPrintFr3 w;
    w.eCmdzx_Click(0);
    EXPECT_EQ(w.result(), QDialog::Accepted);
  }
  ReportEngine::setShowHandler({});
  EXPECT_EQ(shown, (std::vector<std::pair<int, QString>>{{2, QStringLiteral("JJ2.FR3 借据")}}));

  // A template that is gone or broken is said plainly.
  responder_.clear();
  QFile::remove(ReportTemplatePath(QStringLiteral("JJ5.FR3")));
  {
    frmPrintFr3 w;
    w.PrintKind = 5;
    w.PrintKey = QStringLiteral("C1");
    w.eCmdzx_Click(0);
    EXPECT_NE(w.result(), QDialog::Accepted);
  }
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("找不到报表模板："))) << responder_.messages[0].text.toStdString();
}

namespace {
QString documentText(const QString& docx) {
  for (const auto& [name, data] : ReadDocxParts(docx)) {
    if (name != QLatin1String("word/document.xml")) continue;
    QXmlStreamReader r(data);
    QString out;
    while (!r.atEnd()) {
      r.readNext();
      if (r.isStartElement() && r.name() == QLatin1String("t")) out += r.readElementText();
      if (r.isStartElement() && r.name() == QLatin1String("br")) out += QLatin1Char('/');
    }
    EXPECT_FALSE(r.hasError());
    return out;
  }
  return {};
}
}  // namespace

TEST_F(DocumentsTest, ContractsFillTheShippedTemplates) {
  const qint64 g1 = person(QStringLiteral("保证人甲"), QStringLiteral("13600000001"));
  const qint64 g2 = person(QStringLiteral("保证人乙<&>"), QStringLiteral("13600000002"));
  Db().Execute(QStringLiteral("update PJ_Dkjl set 保证人=? where 单号='D1'"), {QStringLiteral("%1,%2").arg(g1).arg(g2)});
  Db().Execute(QStringLiteral("update PJ_Admin set 性别=? where 姓名=?"), {QStringLiteral("男"), QStringLiteral("管理员")});
  QDir(appDir() + QStringLiteral("合同")).removeRecursively();
  QStringList opened;
  SetOpenFileHandler([&](const QString& p) {
    opened << p;
    return true;
  });
  const QString person = GenerateLoanContract(QStringLiteral("D1"));
  EXPECT_EQ(person, appDir() + QStringLiteral("合同/D1.docx"));
  EXPECT_EQ(opened, QStringList{person});
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("合同已生成并保存至") + person);
  const QString text = documentText(person);
  for (const QString& s : {QStringLiteral("姓名：张三，男，1980年05月06日出生，身份证号：110101198005060011，手机：13800138000，住址：北京市东城区1号"),
                           QStringLiteral("姓名：管理员，男，住址："), QStringLiteral("保证人甲"), QStringLiteral("保证人乙<&>"),
                           QStringLiteral("叁仟圆整"), QStringLiteral("¥3,000.00"), QStringLiteral("2024年01月01日起至2024年04月01日止"),
                           QStringLiteral("计息天数共90天"), QStringLiteral("月利率1.5000%"), QStringLiteral("等额本金 - 后付")})
    EXPECT_TRUE(text.contains(s)) << s.toStdString() << "\n" << text.toStdString();
  EXPECT_FALSE(text.contains(QLatin1Char('{'))) << text.toStdString();
  // The number is a blank to fill in; the date is printed once, on its own line.
  EXPECT_TRUE(text.startsWith(QStringLiteral("借款合同合同编号：____"))) << text.toStdString();
  EXPECT_EQ(text.count(QStringLiteral("签订")), 1) << text.toStdString();
  for (const auto& [name, data] : ReadDocxParts(person)) {
    QXmlStreamReader r(data);
    while (!r.atEnd()) r.readNext();
    EXPECT_FALSE(r.hasError()) << name.toStdString();
  }

  const QString company = GenerateLoanContract(QStringLiteral("D2"));
  const QString ctext = documentText(company);
  for (const QString& s : {QStringLiteral("某公司，企业营业执照注册号：91110000123，住所地：上海市浦东新区"), QStringLiteral("法定代表人：王法人，职务：董事长"),
                           QStringLiteral("甲方（某公司）"), QStringLiteral("伍佰圆整")})
    EXPECT_TRUE(ctext.contains(s)) << s.toStdString() << "\n" << ctext.toStdString();

  // Failures name their cause and write nothing.
  responder_.clear();
  Db().Execute(QStringLiteral("update PJ_Dkjl set 业务经办=? where 单号='D4'"), {QStringLiteral("无此人")});
  EXPECT_EQ(GenerateLoanContract(QStringLiteral("D4")), QString());
  EXPECT_EQ(GenerateLoanContract(QStringLiteral("D404")), QString());
  QFile::remove(appDir() + QStringLiteral("template/gr.docx"));
  EXPECT_EQ(GenerateLoanContract(QStringLiteral("D3")), QString());
  EXPECT_EQ(responder_.texts(), (QStringList{QStringLiteral("找不到业务经办的员工资料：无此人"), QStringLiteral("找不到贷款：D404"),
                                             QStringLiteral("找不到合同模板：") + appDir() + QStringLiteral("template/gr.docx")}));
  EXPECT_FALSE(QFile::exists(appDir() + QStringLiteral("合同/D4.docx")));
  EXPECT_FALSE(QFile::exists(appDir() + QStringLiteral("合同/D3.docx")));
  EXPECT_EQ(DescribeParties(QStringLiteral("0")), QString());
  EXPECT_THROW(DescribeParties(QStringLiteral("1) or (1=1")), AppError);
}

// A value the record lacks leaves out its whole phrase: no "，，", no "出生" without a date, no label
// without its value (but the lender's "住址：", a blank the contract leaves to be written in).
TEST_F(DocumentsTest, ContractSentencesLeaveOutThePhraseOfAMissingValue) {
  SetOpenFileHandler([](const QString&) { return true; });
  struct Case {
    const char* what;
    const char* sql;  // what the record lacks
    QVariantList values;
    const char* docNo;
    QString expected;  // the sentence in the contract
  };
  const QString zhang = QStringLiteral("张三");
  const Case cases[] = {
      {"borrower without a birthday", "update PJ_Kehu set 生日='' where 姓名=?", {zhang}, "D1",
       QStringLiteral("姓名：张三，男，身份证号：110101198005060011，手机：13800138000，住址：北京市东城区1号/")},
      {"borrower without a sex or an address", "update PJ_Kehu set 性别='', 家庭住址=null, 生日='1980-05-06' where 姓名=?", {zhang}, "D1",
       QStringLiteral("姓名：张三，1980年05月06日出生，身份证号：110101198005060011，手机：13800138000/")},
      {"borrower without an ID number or a mobile", "update PJ_Kehu set 性别=?, 家庭住址=?, 身份证号='', 手机='' where 姓名=?",
       {QStringLiteral("男"), QStringLiteral("北京"), zhang}, "D1", QStringLiteral("姓名：张三，男，1980年05月06日出生，住址：北京/")},
      {"lender without a sex", "update PJ_Admin set 性别='' where 姓名=?", {QStringLiteral("管理员")}, "D1", QStringLiteral("姓名：管理员，住址：")},
      {"company without a registration number", "update PJ_Kehu_Gs set 营业执照注册号='' where 公司名称=?", {QStringLiteral("某公司")}, "D2",
       QStringLiteral("某公司，住所地：上海市浦东新区")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Db().Execute(QString::fromUtf8(c.sql), c.values);
    const QString file = GenerateLoanContract(QString::fromUtf8(c.docNo));
    ASSERT_FALSE(file.isEmpty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
    const QString text = documentText(file);
    EXPECT_TRUE(text.contains(c.expected)) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("，，"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("(^|[^日])出生")))) << text.toStdString();
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("：[，/]")))) << text.toStdString();
  }
}

// The IOUs' label cells are wide enough for their labels: none of them is broken over two lines.
TEST_F(DocumentsTest, IouLabelsStayOnOneLine) {
  struct Case {
    const char* docNo;
    QStringList labels;
  };
  const Case cases[] = {
      {"D1", {QStringLiteral("约定还款日"), QStringLiteral("身份证号"), QStringLiteral("借款期限"), QStringLiteral("逾期利率"),
              QStringLiteral("还款方式")}},
      {"D2", {QStringLiteral("营业执照注册号"), QStringLiteral("法定代表人"), QStringLiteral("联系电话"), QStringLiteral("银行帐号")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.docNo);
    BeginReport();
    const QString pdf = dir_.filePath(QString::fromUtf8(c.docNo) + QStringLiteral("-labels.pdf"));
    ASSERT_TRUE(gReport.printToPdf(ReportTemplatePath(PrepareDocument(2, QString::fromUtf8(c.docNo))), pdf));
    // Lines as pdftotext reads them: a label wrapped in its cell comes out in two pieces.
    const QString text = ToolOutput(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    for (const QString& label : c.labels) EXPECT_TRUE(text.contains(label)) << label.toStdString() << "\n" << text.toStdString();
  }
}

// Long plans: a 13-row IOU keeps everything on one page; with 40 rows the plan's header is repeated
// on every page and the totals with the signatures stay together on the last one.
TEST_F(DocumentsTest, IouPagesRepeatTheHeaderAndKeepTheSignaturesWhole) {
  const qint64 p = person(QStringLiteral("分页人"), QStringLiteral("13600000009"));
  for (int rows : {13, 40}) {
    const QString no = QStringLiteral("P%1").arg(rows);
    loan(no, QStringLiteral("个人"), p, QStringLiteral("分页人"), 120000, QStringLiteral("已审批"), QStringLiteral("未还"));
    for (int n = 1; n <= rows; ++n)
      loanRow(no, n, QStringLiteral("分页人"), 9230.77, 1234.56, 0, 0, QStringLiteral("未还"), QDate(2024, 1, 1).addMonths(n).toString(Qt::ISODate));
    BeginReport();
    const QString pdf = dir_.filePath(no + QStringLiteral(".pdf"));
    ASSERT_TRUE(gReport.printToPdf(ReportTemplatePath(PrepareDocument(2, no)), pdf));
    const QString info = ToolOutput(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    ASSERT_TRUE(m.hasMatch()) << info.toStdString();
    const int pages = m.captured(1).toInt();
    if (rows == 13) EXPECT_EQ(pages, 1);
    else ASSERT_GE(pages, 2);
    for (int page = 1; page <= pages; ++page) {
      const QString text = ToolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                                   QString::number(page), pdf, QStringLiteral("-")});
      EXPECT_TRUE(text.contains(QStringLiteral("约定归还日期"))) << rows << " rows, page " << page;
      // The totals line and every signature line are on the last page, none on an earlier one.
      for (const QString& s : {QStringLiteral("合计（%1期）").arg(rows), QStringLiteral("借款人（签字并按手印）"), QStringLiteral("出借人（签字）"),
                               QStringLiteral("打印日期")})
        EXPECT_EQ(text.contains(s), page == pages) << rows << " rows, page " << page << ": " << s.toStdString();
    }
  }
}
