// The report engine: fields, variables, repeats with none and many rows, formats, capitals and
// escaping, read back from the PDF it prints; the designer's field list; bad templates.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QTextBrowser>

#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "control/pbCommand.h"
#include "platform/ReportEngine.h"
#include "platform/SafeFiles.h"

namespace {
ReportDataset plan(int rows) {
  ReportDataset d;
  d.columns = {QStringLiteral("期次"), QStringLiteral("应还本金"), QStringLiteral("约定归还日期")};
  for (int i = 1; i <= rows; ++i) d.rows.push_back({i, 1000.5 * i, QStringLiteral("2024-0%1-15").arg(i)});
  return d;
}

class ReportEngineTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    setNow(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    ReportEngine::setCapitalsFormatter([](double v) { return QStringLiteral("大写%1").arg(v, 0, 'f', 2); });
    e_.MCreate(0);
    ReportDataset loan;
    loan.columns = {QStringLiteral("单号"), QStringLiteral("本金"), QStringLiteral("登记日期"), QStringLiteral("备注")};
    loan.rows.push_back({QStringLiteral("D001"), 1234567.895, QStringLiteral("2024-03-01"), QStringLiteral("a<b & {c}")});
    e_.MSetData(1, loan, QStringLiteral("贷款信息"));
    e_.MAddV(QStringLiteral("抬头"), QStringLiteral("示范公司<&>"));
  }
  QString writeTemplate(const QString& text) {
    const QString path = dir_.filePath(QStringLiteral("t.FR3"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    return path;
  }
  ReportEngine e_;
};
}  // namespace

TEST_F(ReportEngineTest, FieldsFormatsAndVariablesRender) {
  const std::pair<const char*, const char*> cases[] = {
      {"{{贷款信息.单号}}", "D001"}, {"{{ 贷款信息.本金 | 0.00 }}", "1234567.90"}, {"{{贷款信息.本金|Currency}}", "1,234,567.90"},
      {"{{贷款信息.本金|0}}", "1234568"}, {"{{贷款信息.本金|大写}}", "大写1234567.90"}, {"{{贷款信息.登记日期|yyyy年MM月dd日}}", "2024年03月01日"},
      {"{{today|yyyy-MM-dd}}", "2024-03-05"}, {"{{抬头}}", "示范公司&lt;&amp;&gt;"}, {"{{贷款信息.备注}}", "a&lt;b &amp; {c}"},
      {"<b>{{count:贷款信息}}</b>", "<b>1</b>"},
      {"{{贷款信息.登记日期|0.00}}", "2024-03-01"},  // a text that is no number stays as it is
  };
  for (const auto& [templ, expected] : cases) EXPECT_EQ(e_.render(QString::fromUtf8(templ)), QString::fromUtf8(expected)) << templ;
}

TEST_F(ReportEngineTest, RepeatsShowEveryRowOrTheEmptyPart) {
  const QString templ = QStringLiteral("[{{#还贷计划}}{{rownum}}:{{还贷计划.期次}}={{还贷计划.应还本金|0.00}};{{/还贷计划}}"
                                       "{{^还贷计划}}无{{/还贷计划}}|{{sum:还贷计划.应还本金|0.00}}]");
  for (int rows : {0, 1, 3}) {
    e_.MSetData(2, plan(rows), QStringLiteral("还贷计划"));
    QString expected = QStringLiteral("[");
    for (int i = 1; i <= rows; ++i) expected += QStringLiteral("%1:%1=%2;").arg(i).arg(1000.5 * i, 0, 'f', 2);
    if (rows == 0) expected += QStringLiteral("无");
    expected += QStringLiteral("|%1]").arg(1000.5 * rows * (rows + 1) / 2, 0, 'f', 2);
    EXPECT_EQ(e_.render(templ), expected) << rows << " rows";
  }
  // Outside a repeat a field reads the first row; a bound dataset is a copy, taken when bound.
  ReportDataset d = plan(2);
  e_.MSetData(2, d, QStringLiteral("还贷计划"));
  d.rows.clear();
  EXPECT_EQ(e_.render(QStringLiteral("{{还贷计划.约定归还日期}}")), QStringLiteral("2024-01-15"));
}

TEST_F(ReportEngineTest, BadTemplatesSayWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {  // a template, and what its error says
      {"abc {{贷款信息.单号", "没有对应"}, {"{{#贷款信息}}x", "没有结束标记"}, {"{{#贷款信息}}x{{/还贷计划}}", "不对应"},
      {"{{/贷款信息}}", "多余的结束标记"}, {"{{没有的变量}}", "没有名为 没有的变量 的变量"}, {"{{无此数据集.x}}", "没有名为 无此数据集 的数据集"},
      {"{{贷款信息.无此字段}}", "没有字段 无此字段"}, {"{{贷款信息.本金|###}}", "未知的格式"}, {"{{rownum}}", "重复区"}, {"line1\n{{}}", "第2行"},
  };
  for (const auto& [templ, says] : cases) {
    try {
      e_.render(QString::fromUtf8(templ));
      ADD_FAILURE() << "no error for " << templ;
    } catch (const ReportTemplateError& err) {
      EXPECT_TRUE(err.message.contains(QString::fromUtf8(says))) << templ << " -> " << err.message.toStdString();
    }
  }
  try {
    ReportEngine::readTemplate(dir_.filePath(QStringLiteral("none.FR3")));
    ADD_FAILURE() << "a missing template was read";
  } catch (const ReportTemplateError& err) {
    EXPECT_TRUE(err.message.startsWith(QStringLiteral("找不到报表模板：")));
  }
  EXPECT_THROW(e_.MSetData(5, plan(1), QStringLiteral("x")), ReportTemplateError);
}

TEST_F(ReportEngineTest, PdfHoldsTheFilledDocument) {
  e_.MSetData(2, plan(3), QStringLiteral("还贷计划"));
  const QString path = writeTemplate(QStringLiteral(
      "<html><body><h1>{{抬头}}借据</h1><p>金额：{{贷款信息.本金|Currency}} {{贷款信息.本金|大写}}</p>"
      "<table border=1>{{#还贷计划}}<tr><td>第{{还贷计划.期次}}期</td><td>{{还贷计划.应还本金|Currency}}</td></tr>{{/还贷计划}}</table>"
      "<p>备注：{{贷款信息.备注}}</p></body></html>"));
  // A template with a second hard link (a snapshot of the folder made with cp -al) still prints.
  ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir_.filePath(QStringLiteral("快照.FR3"))).constData()), 0);
  const QString pdf = dir_.filePath(QStringLiteral("out.pdf"));
  const auto holdsTheDocument = [](const QString& file) {
    const QString text = ToolOutput(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    for (const QString& s : {QStringLiteral("示范公司<&>借据"), QStringLiteral("1,234,567.90"), QStringLiteral("大写1234567.90"),
                             QStringLiteral("第1期"), QStringLiteral("第3期"), QStringLiteral("3,001.50"), QStringLiteral("a<b & {c}")})
      EXPECT_TRUE(text.contains(s)) << s.toStdString() << " not in:\n" << text.toStdString();
  };
  ASSERT_TRUE(e_.printToPdf(path, pdf));
  holdsTheDocument(pdf);
  // Another account that may write the chosen folder planted something at the name: the PDF, written
  // under a name of its own and renamed, is a whole file there, written nowhere else.
  const QString folder = dir_.filePath(QStringLiteral("报表"));
  const auto entries = [&] { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); };
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    const PlantedName planted(kind, folder + QStringLiteral("/借据.pdf"), dir_.path());
    ASSERT_TRUE(e_.printToPdf(path, planted.path));
    EXPECT_TRUE(IsPlainFile(planted.path));
    holdsTheDocument(planted.path);
    EXPECT_TRUE(planted.othersUntouched());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("借据.pdf")});
  }
  // A name that cannot take the file (a folder stands there): a failure, and no file left beside it.
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/目录.pdf")));
  EXPECT_FALSE(e_.printToPdf(path, folder + QStringLiteral("/目录.pdf")));
  EXPECT_EQ(entries(), (QStringList{QStringLiteral("借据.pdf"), QStringLiteral("目录.pdf")}));
}

TEST_F(ReportEngineTest, PreviewAndDesignerGetTheBoundData) {
  const QString path = writeTemplate(QStringLiteral("{{贷款信息.单号}}"));
  std::vector<int> modes;
  ReportEngine::setShowHandler([&](const ReportEngine& e, int mode, const QString& p) {
    modes.push_back(mode);
    EXPECT_EQ(p, path);
    EXPECT_EQ(e.render(QStringLiteral("{{抬头}}")), QStringLiteral("示范公司&lt;&amp;&gt;"));
    return true;
  });
  for (int mode : {0, 2}) EXPECT_TRUE(e_.MPrintReport(mode, path, QString())) << mode;
  ReportEngine::setShowHandler({});
  EXPECT_EQ(modes, (std::vector<int>{0, 2}));
  for (const QString& field : {QStringLiteral("{{贷款信息.本金}}"), QStringLiteral("{{抬头}}")}) EXPECT_TRUE(e_.fieldList().contains(field)) << field.toStdString();
  // A printer that does not exist is a failure the caller reports, not a crash.
  EXPECT_FALSE(e_.MPrintReport(1, path, QStringLiteral("没有这台打印机")));
  // A template with an error is refused before anything is shown or printed.
  const QString bad = writeTemplate(QStringLiteral("{{#贷款信息}}"));
  EXPECT_THROW(e_.MPrintReport(1, bad, QString()), ReportTemplateError);
  e_.MClose();
  EXPECT_TRUE(e_.datasets().empty());
}

TEST_F(ReportEngineTest, DesignerEditsPreviewsAndSavesTheTemplate) {
  const QString path = writeTemplate(QStringLiteral("<p>{{贷款信息.单号}}</p>"));
  // The save replaces the template whole, with its permission bits: a second hard link of it (a
  // snapshot) keeps the old text.
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  const QString snapshot = dir_.filePath(QStringLiteral("快照.FR3"));
  ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(snapshot).constData()), 0);
  const QStringList filesBefore = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  modal_.handlers.push_back([&](QDialog* d) {
    auto* editor = d->findChild<QPlainTextEdit*>(QStringLiteral("txtTemplate"));
    auto* preview = d->findChild<QTextBrowser*>(QStringLiteral("txtPreview"));
    auto* fields = d->findChild<QListWidget*>(QStringLiteral("lstFields"));
    EXPECT_TRUE(editor && preview && fields);
    if (!editor || !preview || !fields) return 0;
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("<p>{{贷款信息.单号}}</p>"));
    EXPECT_TRUE(preview->toPlainText().contains(QStringLiteral("D001")));
    editor->setPlainText(QStringLiteral("{{#贷款信息}}"));
    EXPECT_TRUE(preview->toPlainText().contains(QStringLiteral("没有结束标记")));
    editor->setPlainText(QStringLiteral("<p>{{抬头}}</p>"));
    EXPECT_TRUE(preview->toPlainText().contains(QStringLiteral("示范公司<&>")));
    d->findChild<pbCommand*>(QStringLiteral("cmdSave"))->Click();
    // Unsaved changes are asked about on closing: Cancel stays, No closes without saving them.
    int closed = 0;
    QObject::connect(d, &QDialog::finished, [&closed] { ++closed; });
    editor->setPlainText(QStringLiteral("<p>丢弃</p>"));
    for (const int answer : {Mb::Cancel, Mb::No}) {
      responder_.answer(answer);
      d->findChild<pbCommand*>(QStringLiteral("cmdClose"))->Click();
      EXPECT_EQ(closed, answer == Mb::No ? 1 : 0);
    }
    return 0;
  });
  EXPECT_TRUE(e_.MPrintReport(2, path, QString()));
  EXPECT_EQ(ReportEngine::readTemplate(path), QStringLiteral("<p>{{抬头}}</p>"));
  EXPECT_EQ(ReportEngine::readTemplate(snapshot), QStringLiteral("<p>{{贷款信息.单号}}</p>"));
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_nlink, 1u);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), filesBefore) << "no file left beside it";
  EXPECT_EQ(responder_.texts(), (QStringList{QStringLiteral("报表模板已修改，是否保存？"), QStringLiteral("报表模板已修改，是否保存？")}));
}

TEST_F(ReportEngineTest, PreviewExportsThePdf) {
  const QString path = writeTemplate(QStringLiteral("<meta name=\"orientation\" content=\"landscape\"><p>{{抬头}} {{贷款信息.本金|Currency}}</p>"));
  const QString pdf = dir_.filePath(QStringLiteral("preview"));
  SetChooserHandler([&](ChooserKind kind, const QString&) { return kind == ChooserKind::SaveFile ? pdf : QString(); });
  int pages = -1;
  modal_.handlers.push_back([&](QDialog* d) {
    auto* preview = d->findChild<QPrintPreviewWidget*>();
    if (preview) {
      preview->updatePreview();
      pages = preview->pageCount();
    }
    auto* pdfAction = d->findChild<QAction*>(QStringLiteral("actPdf"));
    EXPECT_NE(pdfAction, nullptr);
    if (pdfAction) pdfAction->trigger();
    return 0;
  });
  EXPECT_TRUE(e_.MPrintReport(0, path, QString()));
  EXPECT_EQ(pages, 1);
  const QString text = ToolOutput(QStringLiteral("pdftotext"), {pdf + QStringLiteral(".pdf"), QStringLiteral("-")});
  EXPECT_TRUE(text.contains(QStringLiteral("示范公司<&> 1,234,567.90"))) << text.toStdString();
  const QString info = ToolOutput(QStringLiteral("pdfinfo"), {pdf + QStringLiteral(".pdf")});
  EXPECT_TRUE(info.contains(QStringLiteral("842 x 595"))) << info.toStdString();  // A4 landscape
}
