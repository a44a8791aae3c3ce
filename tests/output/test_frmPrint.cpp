// Grid printing: the document the preview shows, printed to PDF and read back as text.
#include <QAction>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "loans/frmDkhkjl.h"
#include "output/frmPrint.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
QString pdfText(const QString& pdf) { return ToolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}); }
// Words of the PDF that overlap a neighbour on their line: a cell's text wider than its cell runs
// under the next one (the clip hides it on paper, the text stays in the file).
QStringList overlappingWords(const QString& pdf) {
  const QString xml = ToolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  static const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">([^<]*)</word>|<page "));
  struct Word {
    double x0, x1;
    QString text;
  };
  std::map<std::pair<int, long>, std::vector<Word>> lines;  // (page, line top) -> words
  int page = 0;
  for (auto it = word.globalMatch(xml); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.captured(1).isEmpty()) {
      ++page;
      continue;
    }
    lines[{page, std::lround(m.captured(2).toDouble())}].push_back({m.captured(1).toDouble(), m.captured(3).toDouble(), m.captured(4)});
  }
  QStringList out;
  for (auto& [key, words] : lines) {
    std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) { return a.x0 < b.x0; });
    for (size_t i = 1; i < words.size(); ++i)
      if (words[i - 1].x1 > words[i].x0 + 0.5) out << words[i - 1].text + QStringLiteral(" / ") + words[i].text;
  }
  return out;
}

class PrintTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    setNow(QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
  }
  // A list like the daily reports: two header rows, money columns, a red totals row.
  void fill(int dataRows, int extraColumns = 0) {
    grid_.setFixedRows(2);
    QStringList names = {QStringLiteral("客户名称"), QStringLiteral("本金总额"), QStringLiteral("到期本金")};
    for (int i = 0; i < extraColumns; ++i) names << QStringLiteral("附加列%1").arg(i);
    std::vector<QVariantList> rows;
    for (int r = 0; r < dataRows; ++r) {
      QVariantList v = {QStringLiteral("客户%1").arg(r + 1), 1000.0 * (r + 1), 12.5};
      for (int i = 0; i < extraColumns; ++i) v << QStringLiteral("值%1").arg(i);
      rows.push_back(v);
    }
    grid_.loadData(names, rows);
    grid_.setTextMatrix(0, 1, QStringLiteral("本金"));
    grid_.setTextMatrix(0, 2, QStringLiteral("本金"));
    grid_.setMergeRow(0, true);
    grid_.setMergeRow(1, true);
    grid_.setMergeCol(0, true);
    for (int i = 0; i < extraColumns; ++i) grid_.setMergeCol(3 + i, true);
    grid_.setColFormat(1, QStringLiteral("Currency"));
    grid_.autoSizeColumns();
  }
  // Prints through PrintFg; the preview window writes its document to `pdf`.
  void printFg(const QString& title, bool landscape, const QString& subtitle, const QString& pdf) {
    modal_.handlers.push_back([&](QDialog* d) {
      auto* form = qobject_cast<frmPrint*>(d);
      EXPECT_NE(form, nullptr);
      if (!form) return 0;
      EXPECT_EQ(form->windowTitle(), QStringLiteral("表格打印"));
      // The preview itself renders every page, without a printer.
      auto* preview = form->findChild<QPrintPreviewWidget*>();
      EXPECT_NE(preview, nullptr);
      if (preview) {
        preview->updatePreview();
        previewPages_ = preview->pageCount();
      }
      // The preview's own PDF export writes the file (".pdf" added to the chosen name).
      SetChooserHandler([&](ChooserKind kind, const QString&) { return kind == ChooserKind::SaveFile ? pdf.chopped(4) : QString(); });
      auto* exportPdf = form->findChild<QAction*>(QStringLiteral("actPdf"));
      EXPECT_NE(exportPdf, nullptr);
      if (exportPdf) exportPdf->trigger();
      EXPECT_TRUE(QFileInfo(pdf).isFile()) << pdf.toStdString();
      return 0;
    });
    frmPrint form;
    form.PrintFg(title, &grid_, landscape, subtitle);
    pages_ = form.document().pageCount();
  }
  QString pdfPath(const QString& name) const { return dir_.filePath(name); }

  Grid grid_;
  int previewPages_ = -1;
  int pages_ = -1;
};
}  // namespace

TEST_F(PrintTest, EveryPageHasTitleSubtitlePageNumberAndDate) {
  fill(100);
  const QColor back = grid_.backColor();
  const QColor lines = VbColor(0x87A242);
  grid_.setGridColor(lines);
  const QString pdf = pdfPath(QStringLiteral("list.pdf"));
  printFg(QStringLiteral("示范借贷有限公司贷款日报"), false, QStringLiteral("基准日期：2024-03-05"), pdf);
  ASSERT_EQ(modal_.shown.size(), 1u);
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
  // 16838 - 1400 - 1000 twips less two header rows hold 46 rows of 300 twips: 46 + 46 + 8.
  EXPECT_EQ(pages_, 3);
  EXPECT_EQ(previewPages_, pages_);

  const QString text = pdfText(pdf);
  const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), pages_) << text.toStdString();
  for (int p = 1; p <= pages_; ++p) {
    const QString& page = pages[p - 1];
    EXPECT_TRUE(page.contains(QStringLiteral("示范借贷有限公司贷款日报"))) << p;
    EXPECT_TRUE(page.contains(QStringLiteral("基准日期：2024-03-05"))) << p;
    EXPECT_TRUE(page.contains(QStringLiteral("%1/%2").arg(p).arg(pages_))) << p;
    EXPECT_TRUE(page.contains(QStringLiteral("打印日期：2024年03月05日"))) << p;
    EXPECT_TRUE(page.contains(QStringLiteral("客户名称"))) << "header rows repeat on page " << p;
    EXPECT_TRUE(page.contains(QStringLiteral("到期本金"))) << p;
  }
  EXPECT_TRUE(pages[0].contains(QStringLiteral("1,000.00"))) << "cells print as shown";
  EXPECT_TRUE(pages.back().contains(QStringLiteral("客户100")));
  EXPECT_FALSE(pages[0].contains(QStringLiteral("客户100")));
  static const QRegularExpression portrait(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)"));
  EXPECT_TRUE(ToolOutput(QStringLiteral("pdfinfo"), {pdf}).contains(portrait));

  // The screen keeps its colours; the data cells stay white.
  EXPECT_EQ(grid_.backColor(), back);
  EXPECT_EQ(grid_.gridColor(), lines);
  EXPECT_EQ(grid_.cellBackColor(50, 2), QColor(Qt::white));
}

TEST_F(PrintTest, LandscapeAndAGridThatFitsOnePage) {
  fill(3);
  const QString pdf = pdfPath(QStringLiteral("one.pdf"));
  printFg(QStringLiteral("回款明细"), true, QString(), pdf);
  EXPECT_EQ(pages_, 1);
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.contains(QStringLiteral("1/1")));
  EXPECT_TRUE(text.contains(QStringLiteral("回款明细")));
  static const QRegularExpression landscape(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"));
  const QString info = ToolOutput(QStringLiteral("pdfinfo"), {pdf});
  EXPECT_TRUE(info.contains(landscape)) << info.toStdString();
}

TEST_F(PrintTest, AGridWiderThanThePaperIsShrunkSoNoColumnIsCutOff) {
  fill(5, 22);
  for (int c = 0; c < grid_.cols(); ++c) grid_.setColWidth(c, 1400);
  const QString pdf = pdfPath(QStringLiteral("wide.pdf"));
  printFg(QStringLiteral("流水账"), true, QStringLiteral("时间：2024-03-01至2024-03-05"), pdf);
  EXPECT_GT(grid_.colWidth(0) * grid_.cols(), 16838) << "the grid must really be wider than the paper";
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.contains(QStringLiteral("附加列0")));
  EXPECT_TRUE(text.contains(QStringLiteral("附加列21"))) << "the last column is on the page";
  EXPECT_TRUE(text.contains(QStringLiteral("值21")));
}

TEST_F(PrintTest, AGridWithoutDataRowsPrintsItsHeader) {
  fill(0);
  const QString pdf = pdfPath(QStringLiteral("empty.pdf"));
  printFg(QStringLiteral("客户列表"), false, QString(), pdf);
  EXPECT_TRUE(responder_.messages.empty());
  const QString text = pdfText(pdf);
  EXPECT_TRUE(text.contains(QStringLiteral("客户列表")));
  EXPECT_TRUE(text.contains(QStringLiteral("客户名称")));
  EXPECT_TRUE(text.contains(QStringLiteral("1/1")));
}

TEST_F(PrintTest, FailuresSayThePrinterIsNotReady) {
  frmPrint form;
  form.PrintFg(QStringLiteral("客户列表"), nullptr, false, QString());
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("打印机未准备好或发生错误！"));
  EXPECT_EQ(responder_.messages[0].title, QStringLiteral("警告"));
  EXPECT_EQ(responder_.messages[0].style, 53);
  EXPECT_TRUE(modal_.shown.empty()) << "no preview after a failure";

  // A printer that cannot be opened: the same message.
  fill(2);
  modal_.handlers.push_back([](QDialog* d) {
    EXPECT_FALSE(static_cast<frmPrint*>(d)->PrintToPdf(QStringLiteral("/没有的文件夹/x.pdf")));
    return 0;
  });
  form.PrintFg(QStringLiteral("客户列表"), &grid_, false, QString());
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("打印机未准备好或发生错误！"));
  EXPECT_EQ(responder_.messages[1].style, Mb::Exclamation + Mb::RetryCancel);
}

// A daily report of 2,000 rows: every total and every amount, operator and time is printed whole.
TEST_F(PrintTest, ALongReportPrintsEveryTotalAndTextWhole) {
  grid_.setFixedRows(1);
  const QStringList names = {QStringLiteral("客户名称"), QStringLiteral("本金"), QStringLiteral("待还本金"), QStringLiteral("利息"),
                             QStringLiteral("操作员"), QStringLiteral("支付日期")};
  std::vector<QVariantList> rows;
  for (int r = 0; r < 2000; ++r)
    rows.push_back({QStringLiteral("客户%1").arg(r + 1), 146334.185, 146334.185, 888.88, QStringLiteral("超级管理员"),
                    QStringLiteral("2026-12-09 12:50:00")});
  rows.push_back({QStringLiteral("合计(记录数：2000)"), 292668370.0, 292668370.0, 1777760.0, QString(), QString()});
  grid_.loadData(names, rows);
  for (int c : {1, 2, 3}) grid_.setColFormat(c, QStringLiteral("Currency"));
  grid_.autoSizeColumns();
  for (int c = 1; c < grid_.cols(); ++c) grid_.setColWidth(c, 900);  // narrower than a window may leave them
  const QString pdf = pdfPath(QStringLiteral("long.pdf"));
  printFg(QStringLiteral("贷款日报"), false, QString(), pdf);
  EXPECT_GT(pages_, 40);
  const QString text = pdfText(pdf);
  const std::pair<QString, int> whole[] = {{QStringLiteral(" 292,668,370.00"), 2}, {QStringLiteral(" 1,777,760.00"), 1},
                                            {QStringLiteral("146,334.19"), 4000}, {QStringLiteral("超级管理员"), 2000},
                                            {QStringLiteral("2026-12-09 12:50:00"), 2000}};
  for (const auto& [shown, times] : whole) EXPECT_EQ(text.count(shown), times) << shown.toStdString();
  const QStringList cut = overlappingWords(pdf);
  EXPECT_TRUE(cut.isEmpty()) << cut.size() << " cut, such as " << cut.value(0).toStdString();
}

// One repayment record prints on one landscape page: the return date is measured as it shows (its
// day, not the stamp's hidden time), so the note stays beside it.
TEST_F(PrintTest, AOneRecordRepaymentListPrintsOnOnePage) {
  loginAsSuperAdmin();
  Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号,客户名称,业务经办,本金) values ('D1',?,?,3000)"),
               {QStringLiteral("张三"), QStringLiteral("管理员")});
  Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,日期,本金,利息,手续费,还款状态,备注) "
                              "values ('D1',1,'2024-03-05 09:30:15',1000,100,0,?,?)"),
               {QStringLiteral("已还"), QStringLiteral("按时归还")});
  frmDkhkjl records;
  records.Form_Load();
  ASSERT_EQ(records.Fg->dataRowCount(), 2) << "the record and the totals row";
  EXPECT_EQ(records.Fg->displayText(records.Fg->fixedRows(), 6), QStringLiteral("2024-03-05"));
  records.Fg->setRow(records.Fg->fixedRows());
  int shownColumns = 0;
  for (int c = 0; c < records.Fg->cols(); ++c) shownColumns += !records.Fg->colHidden(c);
  modal_.handlers.push_back([&](QDialog* d) {
    auto* form = qobject_cast<frmPrint*>(d);
    EXPECT_NE(form, nullptr);
    if (!form) return 0;
    pages_ = form->document().pageCount();
    EXPECT_EQ(int(form->document().columnsOnPage(1).size()), shownColumns) << "备注 prints beside the rest";
    return 0;
  });
  records.pbcHk_Click(frmDkhkjl::cmdPrint);
  ASSERT_EQ(modal_.shown.size(), 1u);
  EXPECT_EQ(pages_, 1);
}
