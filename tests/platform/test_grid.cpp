// The list grid, its workbook export and the print document, without the database.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <set>

#include "TestSupport.h"
#include "platform/ExcelExport.h"
#include "platform/Grid.h"
#include "platform/PrintPreview.h"
#include "platform/SafeFiles.h"

namespace {
// A grid with two header rows: columns 0-1 alone, 2-3 under the group "应还".
void fillGroupedGrid(Grid& g, int dataRows) {
  g.setFixedRows(2);
  std::vector<QVariantList> rows;
  for (int i = 0; i < dataRows; ++i) rows.push_back({QStringLiteral("客户%1").arg(i), QStringLiteral("D%1").arg(i), 100.5 * (i + 1), i});
  g.loadData({QStringLiteral("客户名称"), QStringLiteral("单号"), QStringLiteral("应还本金"), QStringLiteral("应还利息")}, rows);
  for (int i : {0, 1}) {
    g.setTextMatrix(0, 2 + i, QStringLiteral("应还"));
    g.setMergeRow(i, true);
    g.setMergeCol(i, true);
  }
}

QString unzipMember(const QString& xlsx, const QString& member) {
  return ToolOutput(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, member});
}

QStringList entries(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

void print(PrintDocument& doc, const Grid& g) { doc.startDoc(); doc.renderGrid(g); doc.endDoc(); }
}  // namespace

TEST(GridTest, ColoursAreReadBlueGreenRed) {
  EXPECT_EQ(VbColor(255), QColor(255, 0, 0));
  EXPECT_EQ(VbColor(0x87A242), QColor(0x42, 0xA2, 0x87));
  EXPECT_EQ(VbColor(0xF7F4EA), QColor(0xEA, 0xF4, 0xF7));
  EXPECT_EQ(VbColor(0x80000010), QColor(160, 160, 160)) << "system colour: button shadow";
}

TEST(GridTest, LeadingNumbersAndColumnFormats) {
  const std::pair<QString, double> leading[] = {{QStringLiteral("10.5"), 10.5}, {QStringLiteral(" 12.5元"), 12.5}, {QStringLiteral("-3."), -3},
                                                 {QStringLiteral("abc"), 0}, {QStringLiteral("1,234.5"), 1}, {QString(), 0}};
  for (const auto& [text, n] : leading) EXPECT_EQ(LeadingNumber(text), n) << text.toStdString();
  const std::tuple<double, const char*, const char*> formats[] = {{1234567.5, "Currency", "1,234,567.50"}, {-1234.005, "Currency", "-1,234.01"},
                                                                  {999, "Currency", "999.00"}, {2, "0.00", "2.00"}, {0.12345, "0.0000", "0.1235"},
                                                                  {1234.5, "#,##0.0", "1,234.5"}};
  for (const auto& [v, format, shown] : formats) EXPECT_EQ(FormatNumber(v, QString::fromLatin1(format)), QString::fromLatin1(shown)) << v << " " << format;
}

TEST(GridTest, FormatsChangeWhatIsShownButNotTheValue) {
  Grid g;
  g.loadData({QStringLiteral("金额"), QStringLiteral("备注")}, {{1234.5, QStringLiteral("12")}, {QStringLiteral("abc"), QStringLiteral("x")}});
  g.setColFormat(0, QStringLiteral("Currency"));
  g.setColFormat(1, QStringLiteral("0.00"));
  EXPECT_EQ(g.displayText(1, 0), QStringLiteral("1,234.50"));
  EXPECT_EQ(g.textMatrix(1, 0), QStringLiteral("1234.5"));
  EXPECT_EQ(g.value(1, 0).toDouble(), 1234.5);
  EXPECT_EQ(g.displayText(1, 1), QStringLiteral("12.00")) << "a number stored as text is formatted too";
  EXPECT_EQ(g.displayText(2, 0), QStringLiteral("abc"));
  EXPECT_EQ(g.number(1, 0), 1234.5);
  EXPECT_EQ(g.number(2, 0), 0) << "text without a leading number";
  EXPECT_EQ(g.number(1, 1), 12) << "a number stored as text";
  EXPECT_TRUE(g.cellAlignment(1, 0) & Qt::AlignRight);
  EXPECT_TRUE(g.cellAlignment(2, 1) & Qt::AlignLeft);
  // Colours leave values alone: a formatted amount stays a number, shown on the right.
  g.setCellBackColor(1, 0, 2, 1, Qt::white);
  g.setRowForeColor(1, Qt::red);
  EXPECT_EQ(g.value(1, 0).typeId(), QMetaType::Double);
  EXPECT_EQ(g.displayText(1, 0), QStringLiteral("1,234.50"));
  EXPECT_TRUE(g.cellAlignment(1, 0) & Qt::AlignRight);
  g.setColFormat(0, QString());
  EXPECT_EQ(g.displayText(1, 0), QStringLiteral("1234.5"));
}

TEST(GridTest, AnEditStartsFromTheValueAndStoresTheTypedText) {
  Grid g;
  g.loadData({QStringLiteral("金额")}, {{1234.5}});
  g.setColFormat(0, QStringLiteral("Currency"));
  g.setEditable(true);
  std::vector<std::pair<int, int>> edited;
  QObject::connect(&g, &Grid::cellEdited, [&](int r, int c) { edited.emplace_back(r, c); });
  QTableView* t = g.table();
  t->openPersistentEditor(t->model()->index(0, 0));
  auto* editor = t->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QStringLiteral("1234.5")) << "not the formatted text";
  editor->setText(QStringLiteral("88"));
  t->itemDelegate()->setModelData(editor, t->model(), t->model()->index(0, 0));
  EXPECT_EQ(g.textMatrix(1, 0), QStringLiteral("88"));
  EXPECT_EQ(g.displayText(1, 0), QStringLiteral("88.00"));
  EXPECT_EQ(edited, (std::vector<std::pair<int, int>>{{1, 0}}));
}

TEST(GridTest, RowsCountHeaderRowsAndKeepTheirMarksWhenRowsMove) {
  Grid g;
  g.setFixedRows(2);
  g.setCols(2);
  EXPECT_EQ(g.rows(), 2);
  EXPECT_EQ(g.row(), -1);
  const int a = g.addRow({QStringLiteral("甲"), QStringLiteral("1")});
  EXPECT_EQ(a, 2);
  EXPECT_EQ(g.addRow({QStringLiteral("乙"), QStringLiteral("2")}), 3);
  g.setTotalsRow(g.addRow({QStringLiteral("合计"), QStringLiteral("3")}), true);
  g.removeRow(a);
  EXPECT_EQ(g.textMatrix(3, 0), QStringLiteral("合计"));
  EXPECT_TRUE(g.isTotalsRow(3)) << "the mark moves with its row";
  EXPECT_FALSE(g.isTotalsRow(2));
  EXPECT_FALSE(g.isTotalsRow(0)) << "a header row is never a totals row";
  EXPECT_THROW(g.setTotalsRow(1, true), std::out_of_range);
  EXPECT_THROW(g.textMatrix(9, 0), std::out_of_range);
  g.setCurrentCell(3, 1);
  EXPECT_EQ(g.row(), 3);
  EXPECT_EQ(g.col(), 1);
  // Fewer header rows turn the last header row back into a data row, with its texts.
  g.setTextMatrix(1, 0, QStringLiteral("姓名"));
  g.setFixedRows(1);
  EXPECT_EQ(g.rows(), 4);
  EXPECT_EQ(g.textMatrix(1, 0), QStringLiteral("姓名"));
  EXPECT_EQ(g.textMatrix(2, 0), QStringLiteral("乙"));
}

TEST(GridTest, HeaderCaptionsMergeAcrossGroupsAndDownSingleColumns) {
  Grid g;
  fillGroupedGrid(g, 3);
  EXPECT_EQ(g.mergedRange(0, 2), (Grid::CellRange{0, 2, 0, 3})) << "the group caption spans its columns";
  EXPECT_EQ(g.mergedRange(0, 3), (Grid::CellRange{0, 2, 0, 3}));
  EXPECT_EQ(g.mergedRange(1, 2), (Grid::CellRange{1, 2, 1, 2})) << "own captions stay apart under the group";
  EXPECT_EQ(g.mergedRange(0, 0), (Grid::CellRange{0, 0, 1, 0})) << "a column outside groups shows one caption over both rows";
  EXPECT_EQ(g.mergedRange(1, 1), (Grid::CellRange{0, 1, 1, 1}));
  EXPECT_EQ(g.mergedRange(2, 0), (Grid::CellRange{2, 0, 2, 0}));
  // Equal neighbours of a data row merge only when the row asks for it.
  int t = g.addRow({QStringLiteral("合计"), QStringLiteral("合计"), QStringLiteral("1")});
  EXPECT_EQ(g.mergedRange(t, 1), (Grid::CellRange{t, 1, t, 1}));
  g.setMergeRow(t, true);
  EXPECT_EQ(g.mergedRange(t, 1), (Grid::CellRange{t, 0, t, 1}));
  g.setTextMatrix(t, 1, QStringLiteral("9"));
  EXPECT_EQ(g.mergedRange(t, 0), (Grid::CellRange{t, 0, t, 0})) << "different texts no longer merge";
}

TEST(GridTest, WorkbookHoldsEveryShownCellAsTextWithMergedHeaders) {
  QTemporaryDir dir;
  Grid g;
  fillGroupedGrid(g, 2);
  g.setColFormat(2, QStringLiteral("0.00"));
  g.setTotalsRow(g.addRow({QStringLiteral("记录：2"), QString(), QStringLiteral("301.5")}), true);
  g.setCols(5);
  g.setTextMatrix(0, 4, QStringLiteral("编号"));
  g.setTextMatrix(1, 4, QStringLiteral("编号"));
  g.setTextMatrix(2, 4, QStringLiteral("隐藏的值"));
  g.setColHidden(4, true);
  const QString path = dir.filePath(QStringLiteral("表.xlsx"));
  ASSERT_EQ(SaveGridAsWorkbook(g, path), QString());
  const QString strings = unzipMember(path, QStringLiteral("xl/sharedStrings.xml"));
  const QString sheet = unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"));
  for (const char* s : {"客户名称", "单号", "应还", "应还本金", "应还利息", "客户0", "D1", "100.50", "201.00", "记录：2", "301.50"})
    EXPECT_TRUE(strings.contains(QString::fromUtf8(s))) << s;
  EXPECT_FALSE(strings.contains(QStringLiteral("隐藏的值"))) << "hidden columns are not exported";
  EXPECT_FALSE(strings.contains(QStringLiteral("100.5<"))) << "cells hold the shown text";
  for (const char* s : {"<mergeCell ref=\"C1:D1\"/>", "<mergeCell ref=\"A1:A2\"/>", "t=\"s\""})
    EXPECT_TRUE(sheet.contains(QString::fromLatin1(s))) << s << " not in " << sheet.toStdString();
  static const QRegularExpression numberCell(QStringLiteral("<c r=\"[A-Z]+[0-9]+\"(?: s=\"[0-9]+\")?><v>"));
  EXPECT_FALSE(sheet.contains(numberCell)) << "no cell is written as a number";
  EXPECT_FALSE(sheet.contains(QStringLiteral("E1"))) << "the hidden column leaves no gap";
  EXPECT_NE(SaveGridAsWorkbook(g, dir.filePath(QStringLiteral("没有的文件夹/表.xlsx"))), QString());
  // Another account that may write 报表/ planted something at the name: the workbook is a file of
  // its own there, written nowhere else.
  for (Plant kind : kEveryPlant) {
    SCOPED_TRACE(PlantText(kind));
    const PlantedName planted(kind, dir.filePath(QStringLiteral("报表/表.xlsx")), dir.path());
    ASSERT_EQ(SaveGridAsWorkbook(g, planted.path), QString());
    EXPECT_TRUE(IsPlainFile(planted.path));
    EXPECT_TRUE(unzipMember(planted.path, QStringLiteral("xl/sharedStrings.xml")).contains(QStringLiteral("客户0")));
    EXPECT_TRUE(planted.othersUntouched());
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("报表"))), QStringList{QStringLiteral("表.xlsx")}) << "written under a name of its own, renamed when whole";
  }
  // A name that cannot take the workbook (a folder stands there): said, and no file left beside it.
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("报表/目录.xlsx"))));
  EXPECT_EQ(SaveGridAsWorkbook(g, dir.filePath(QStringLiteral("报表/目录.xlsx"))),
            QStringLiteral("无法创建文件：") + dir.filePath(QStringLiteral("报表/目录.xlsx")));
  EXPECT_EQ(entries(dir.filePath(QStringLiteral("报表"))), (QStringList{QStringLiteral("目录.xlsx"), QStringLiteral("表.xlsx")}));
}

TEST(GridTest, PrintDocumentBreaksRowsOverPagesUnderRepeatedHeaders) {
  Grid g;
  fillGroupedGrid(g, 100);
  for (int c = 0; c < g.cols(); ++c) g.setColWidth(c, 1500);
  PrintDocument doc;
  doc.setMargins(2000, 1400, 2000, 1000);
  print(doc, g);
  // 16838 - 1400 - 1000 twips, less two header rows of 300, hold 46 rows of 300.
  ASSERT_EQ(doc.pageCount(), 3);
  EXPECT_EQ(doc.rowsOnPage(1).size(), 46u);
  EXPECT_EQ(doc.rowsOnPage(2).front(), 2 + 46);
  EXPECT_EQ(doc.rowsOnPage(3).back(), 101);
  EXPECT_EQ(doc.rowsOnPage(1).size() + doc.rowsOnPage(2).size() + doc.rowsOnPage(3).size(), 100u);
  EXPECT_EQ(doc.gridScale(), 1.0);
  EXPECT_EQ(doc.gridLeft(), 2000);
  doc.setLandscape(true);
  print(doc, g);
  EXPECT_EQ(doc.pageWidth(), PrintDocument::kA4Height);
  EXPECT_EQ(doc.rowsOnPage(1).size(), 29u) << "(11906 - 2400 - 600) / 300";
}

// A grid wider than the paper is shrunk to the page, down to the least print; beyond that its
// columns go on in bands on the following pages, each band starting with the first column. A grid
// that fits at the least print stays in one band: its rounded widths never sum past the page.
TEST(GridTest, PrintDocumentShrinksAWideGridAndContinuesItsColumnsOnMorePages) {
  struct Case {
    const char* what;
    std::vector<int> widths;
    double scale;  // 0: below 1, as the page width gives it
    int pages;
  };
  const int room = PrintDocument::kA4Width - 2 * PrintDocument::kMinSideMargin;
  // Fifteen columns of 675 twips and one of 1095 (whole pixels, as the screen keeps them): 34 twips
  // (0.6 mm) wider than the room, and widths that rounded one by one sum past it.
  std::vector<int> halfMillimetre(15, 675);
  halfMillimetre.push_back(1095);
  const Case cases[] = {
      {"eight columns", std::vector<int>(8, 1500), 0, 1},
      {"thirty columns", std::vector<int>(30, 1500), PrintDocument::kMinPointSize / 9, 4},
      {"half a millimetre too wide", halfMillimetre, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Grid g;
    QFont font = QApplication::font();
    font.setPointSizeF(9);
    g.table()->setFont(font);
    g.setCols(int(c.widths.size()));
    int natural = 0;
    for (int col = 0; col < g.cols(); ++col) {
      g.setTextMatrix(0, col, QStringLiteral("列%1").arg(col));
      g.setColWidth(col, c.widths[size_t(col)]);
      natural += c.widths[size_t(col)];
    }
    PrintDocument doc;
    const int side = (doc.pageWidth() - natural) / 2;
    doc.setMargins(side, 1400, side, 1000);
    print(doc, g);
    if (c.scale > 0) EXPECT_DOUBLE_EQ(doc.gridScale(), c.scale);
    EXPECT_LT(doc.gridScale(), 1.0);
    EXPECT_GE(doc.gridLeft(), PrintDocument::kMinSideMargin);
    EXPECT_LE(doc.gridLeft() + doc.gridWidth(), doc.pageWidth() - PrintDocument::kMinSideMargin);
    if (c.pages == 1) EXPECT_EQ(doc.gridWidth(), room) << "shrunk to the room exactly";
    ASSERT_EQ(doc.pageCount(), c.pages) << "an empty grid still prints its header";
    std::set<int> printed;
    for (int page = 1; page <= doc.pageCount(); ++page) {
      const std::vector<int> cols = doc.columnsOnPage(page);
      ASSERT_FALSE(cols.empty());
      EXPECT_EQ(cols.front(), 0) << "page " << page;
      EXPECT_TRUE(std::is_sorted(cols.begin(), cols.end()));
      printed.insert(cols.begin(), cols.end());
    }
    EXPECT_EQ(int(printed.size()), g.cols()) << "every column is printed";
  }
}

TEST(GridTest, RowHeightsOfARangeAtOnce) {
  // A small body is set row by row, a big one through the body's default: both must leave every
  // row of the range at the height and every other row as it was.
  struct Case {
    int bodyRows, first, last;
  };
  for (const Case c : {Case{5, 1, 3}, Case{5, 1, 5}, Case{200, 1, 199}, Case{200, 0, 200}, Case{200, 50, 120}}) {
    Grid g;
    g.loadData({QStringLiteral("a"), QStringLiteral("b")}, std::vector<QVariantList>(static_cast<size_t>(c.bodyRows), QVariantList{QStringLiteral("x"), 1}));
    const int last = g.rows() - 1;
    g.setRowHeight(last, 600);  // a row of its own height, like a totals row
    const int header = g.rowHeight(0);
    g.setRowHeights(c.first, c.last, 450);
    for (int r = 0; r < g.rows(); ++r) {
      const int expected = r >= c.first && r <= c.last ? 450 : (r == 0 ? header : (r == last ? 600 : kDefaultRowHeightTwips));
      EXPECT_EQ(g.rowHeight(r), expected) << c.bodyRows << " rows, " << c.first << "-" << c.last << ", row " << r;
    }
    // A new load starts again from the default height.
    g.loadData({QStringLiteral("a")}, {QVariantList{1}});
    EXPECT_EQ(g.rowHeight(1), kDefaultRowHeightTwips);
  }
}

TEST(GridTest, TheViewShowsEachCellFromItsValueFormatAndLooks) {
  Grid g;
  g.loadData({QStringLiteral("名称"), QStringLiteral("金额"), QStringLiteral("笔数")},
             {{QStringLiteral("甲"), 1234.5, QStringLiteral("7")}, {QStringLiteral("乙"), QVariant(), 3}});
  g.setFixedCols(1);
  g.setColFormat(1, QStringLiteral("Currency"));
  g.setColFormat(2, QStringLiteral("0.0"));
  g.setCellBackColor(2, 1, 2, 1, Qt::yellow);
  g.setRowForeColor(1, Qt::red);
  QFont bold = g.font();
  bold.setBold(true);
  g.setCellFont(1, 2, bold);
  g.setCellToolTip(2, 2, QStringLiteral("整段文字"));
  const QAbstractItemModel* m = g.table()->model();
  const auto at = [&](int row, int col, int role) { return m->data(m->index(row - g.fixedRows(), col), role); };
  struct Case {
    int row, col, role;
    QVariant expected;
  };
  const int right = Qt::AlignRight | Qt::AlignVCenter, left = Qt::AlignLeft | Qt::AlignVCenter;
  const Case cases[] = {
      {1, 0, Qt::DisplayRole, QStringLiteral("甲")}, {1, 1, Qt::DisplayRole, QStringLiteral("1,234.50")}, {1, 2, Qt::DisplayRole, QStringLiteral("7.0")},
      {2, 1, Qt::DisplayRole, QString()}, {2, 2, Qt::DisplayRole, QStringLiteral("3.0")},
      {1, 1, Qt::TextAlignmentRole, right}, {1, 2, Qt::TextAlignmentRole, right}, {1, 0, Qt::TextAlignmentRole, left},
      {1, 0, Qt::BackgroundRole, g.fixedBackColor()}, {2, 1, Qt::BackgroundRole, QColor(Qt::yellow)}, {2, 2, Qt::BackgroundRole, QVariant()},
      {1, 2, Qt::ForegroundRole, QColor(Qt::red)}, {2, 2, Qt::ForegroundRole, QVariant()},
      {1, 2, Qt::FontRole, bold}, {1, 1, Qt::FontRole, QVariant()},
      {2, 2, Qt::ToolTipRole, QStringLiteral("整段文字")}, {1, 2, Qt::ToolTipRole, QVariant()},
  };
  for (const Case& c : cases) EXPECT_EQ(at(c.row, c.col, c.role), c.expected) << c.row << "," << c.col << " role " << c.role;
  EXPECT_THROW(g.setCellFont(0, 0, bold), std::out_of_range) << "a header row has no cell font";
  EXPECT_THROW(g.setCellToolTip(3, 0, QStringLiteral("x")), std::out_of_range);
}

TEST(GridTest, CellLooksMoveWithTheirRowsAndGoWithTheirColumns) {
  Grid g;
  g.setCols(3);
  for (int i = 0; i < 4; ++i) g.addRow({QStringLiteral("r%1").arg(i), QStringLiteral("x"), QStringLiteral("y")});
  g.setCellBackColor(3, 2, 3, 2, Qt::green);
  g.setCellForeColor(4, 0, 4, 0, Qt::blue);
  g.setCellToolTip(4, 1, QStringLiteral("提示"));
  g.removeRow(1);
  EXPECT_EQ(g.textMatrix(2, 0), QStringLiteral("r2"));
  EXPECT_EQ(g.cellBackColor(2, 2), QColor(Qt::green)) << "the colour moved up with its row";
  EXPECT_EQ(g.cellBackColor(3, 2), g.backColor());
  EXPECT_EQ(g.cellForeColor(3, 0), QColor(Qt::blue));
  EXPECT_EQ(g.cellToolTip(3, 1), QStringLiteral("提示"));
  // A header row made of the first data row and back: the rows below keep their looks.
  for (int fixedRows : {2, 1}) {
    g.setFixedRows(fixedRows);
    EXPECT_EQ(g.cellBackColor(2, 2), QColor(Qt::green)) << fixedRows << " header rows";
  }
  EXPECT_EQ(g.textMatrix(1, 0), QStringLiteral("r1")) << "the header row came back as the first data row";
  // Columns taken away take their cells along; added again they are empty.
  g.setCols(2);
  g.setCols(3);
  EXPECT_EQ(g.textMatrix(2, 2), QString());
  EXPECT_EQ(g.cellBackColor(2, 2), g.backColor());
  EXPECT_EQ(g.cellForeColor(3, 0), QColor(Qt::blue)) << "the columns kept keep their looks";
}

TEST(GridTest, ALoadKeepsColumnWidthsAndHiddenColumnsAndReportsTheCurrentRow) {
  Grid g;
  g.loadData({QStringLiteral("a"), QStringLiteral("b")}, {{1, 2}, {3, 4}});
  g.setColWidth(0, 1500);
  g.setColHidden(1, true);
  g.setCurrentCell(2, 0);
  std::vector<std::pair<int, int>> current;
  QObject::connect(&g, &Grid::currentCellChanged, [&](int r, int c) { current.emplace_back(r, c); });
  g.loadData({QStringLiteral("a"), QStringLiteral("b")}, std::vector<QVariantList>(1000, QVariantList{QStringLiteral("x"), 2.5}));
  EXPECT_EQ(g.dataRowCount(), 1000);
  EXPECT_EQ(g.colWidth(0), 1500);
  EXPECT_TRUE(g.colHidden(1));
  EXPECT_EQ(g.row(), 1);
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.back(), (std::pair<int, int>{1, 0}));
  current.clear();
  g.loadData({QStringLiteral("a"), QStringLiteral("b")}, std::vector<QVariantList>{});
  EXPECT_EQ(g.row(), -1);
  EXPECT_EQ(current, (std::vector<std::pair<int, int>>{{-1, -1}})) << "the rows went, and the current cell with them";
}

TEST(GridTest, FittingColumnsAgainFollowsEveryChangeOfTheTexts) {
  Grid g;
  g.loadData({QStringLiteral("a"), QStringLiteral("b")}, {{QStringLiteral("x"), 1.5}, {QStringLiteral("yy"), 2}});
  g.autoSizeColumns();
  const int narrow = g.colWidth(0), amount = g.colWidth(1);
  struct Step {
    const char* what;
    std::function<void()> change;
    bool wider0, wider1;  // than at first
  };
  const QString wide(40, QLatin1Char('W'));
  const Step steps[] = {
      {"an added row", [&] { g.addRow({wide}); }, true, false},
      {"the added row emptied", [&] { g.setTextMatrix(3, 0, QString()); }, false, false},
      {"an earlier row widened", [&] { g.setTextMatrix(1, 0, wide); }, true, false},
      {"that row removed", [&] { g.removeRow(1); }, false, false},
      {"a wider format", [&] { g.setColFormat(1, QStringLiteral("#,##0.000000")); }, false, true},
      {"a new load", [&] { g.loadData({QStringLiteral("a"), QStringLiteral("b")}, {{QStringLiteral("x"), 1.5}}); }, false, false},
  };
  for (const Step& s : steps) {
    s.change();
    g.autoSizeColumns();
    EXPECT_EQ(g.colWidth(0) > narrow, s.wider0) << s.what;
    EXPECT_EQ(g.colWidth(1) > amount, s.wider1) << s.what;
  }
}

// A column is as wide for a value as for the very text the cell shows for it, whatever the format.
TEST(GridTest, FittedWidthOfAValueIsTheWidthOfItsShownText) {
  struct Case {
    QVariant value;
    const char* format;
  };
  const Case cases[] = {
      {123456789.0, ""},           {-42.0, ""},          {1234.5678, ""},           {0.00001234, ""},
      {1e20, ""},                  {qint64(9876543210), ""}, {1234567.891, "Currency"}, {-0.004, "Currency"},
      {-1234.5, "Currency"},       {999999.995, "#,##0.00"}, {12.3456, "0.0000"},     {-7.0, "0"},
      {100.0, "#,##0"},            {0.1 + 0.2, ""},      {QStringLiteral("12345.6"), "Currency"},            {QStringLiteral("客户甲"), ""},
      {QStringLiteral("abc"), "0.00"}, {QVariant(), "Currency"},
  };
  for (const Case& c : cases) {
    Grid valued, texted;
    valued.loadData({QString()}, {{c.value}});
    valued.setColFormat(0, QString::fromLatin1(c.format));
    valued.autoSizeColumns();
    const QString shown = valued.displayText(1, 0);
    texted.loadData({QString()}, {{shown}});
    texted.autoSizeColumns();
    EXPECT_EQ(valued.colWidth(0), texted.colWidth(0)) << c.value.toString().toStdString() << " as " << c.format << " shows " << shown.toStdString();
  }
}

// What a painted cell shows: its fill (selection, own colour, header colour of fixed columns) and its
// text, in its colour, on the side its alignment gives.
TEST(GridTest, CellsPaintTheirFillAndTextWhereTheirLooksSay) {
  Grid g;
  g.resize(640, 200);
  g.loadData({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")},
             {{QStringLiteral("甲"), 12345.5, QStringLiteral("左"), QStringLiteral("左边的字")},
              {QStringLiteral("乙"), 7.0, QStringLiteral("右"), QStringLiteral("x")}});
  g.setFixedCols(1);
  g.setFixedBackColor(QColor(0xF7, 0xF4, 0xEA));
  g.setSelectionColors(QColor(0x42, 0xA2, 0x87), Qt::white);
  g.setCellBackColor(2, 2, 2, 2, QColor(255, 255, 0));
  g.setCellForeColor(2, 1, 2, 1, QColor(255, 0, 0));
  g.setColAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  g.setCurrentCell(1, 1);
  g.show();
  QApplication::processEvents();
  QTableView* t = g.table();
  const QImage shot = t->viewport()->grab().toImage();
  const auto rect = [&](int row, int col) { return t->visualRect(t->model()->index(row, col)).adjusted(1, 1, -2, -2); };
  // How many of a rectangle's pixels are of a kind; the share of them of one colour, and whether any is ink.
  using Ink = std::function<bool(const QColor&)>;
  const auto count = [&](const QRect& r, const Ink& kind) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += kind(shot.pixelColor(x, y));
    return n;
  };
  const auto share = [&](const QRect& r, const QColor& c) { return double(count(r, [&](const QColor& p) { return p == c; })) / (r.width() * r.height()); };
  const auto inks = [&](const QRect& r, const Ink& ink) { return count(r, ink) > 0; };
  const auto dark = [](const QColor& c) { return c.lightness() < 100; };
  const auto red = [](const QColor& c) { return c.red() > 180 && c.green() < 120 && c.blue() < 120; };
  const auto half = [](const QRect& r, bool left) { return left ? r.adjusted(0, 0, -r.width() / 2, 0) : r.adjusted(r.width() / 2, 0, 0, 0); };
  EXPECT_GT(share(rect(0, 1), QColor(0x42, 0xA2, 0x87)), 0.5) << "the selected row";
  EXPECT_GT(share(rect(1, 0), QColor(0xF7, 0xF4, 0xEA)), 0.5) << "a fixed column";
  EXPECT_GT(share(rect(1, 2), QColor(255, 255, 0)), 0.5) << "a cell's own fill";
  EXPECT_TRUE(inks(rect(1, 1), red)) << "a cell's own text colour";
  EXPECT_FALSE(inks(rect(1, 1), dark));
  // A number stands right, a text left unless its column says otherwise.
  for (const auto& [col, ink, left] : {std::tuple<int, Ink, bool>{1, red, false}, {3, dark, true}, {2, dark, false}}) {
    EXPECT_TRUE(inks(half(rect(1, col), left), ink)) << "column " << col;
    EXPECT_FALSE(inks(half(rect(1, col), !left), ink)) << "column " << col;
  }
}
