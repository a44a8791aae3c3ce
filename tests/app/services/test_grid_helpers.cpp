// The list helpers on the shipped database: filling grids with grouped headers, totals rows, the
// data-row test, name/value lists, combos, the department scope and the Excel export.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTableView>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "platform/Grid.h"

namespace {
QString unzipMember(const QString& xlsx, const QString& member) {
  return ToolOutput(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, member});
}

class GridHelpersTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    Db().Execute(QStringLiteral("create table 测试清单 (编号 integer primary key, 客户 text, 单号 text, 状态 text, "
                                "本金 real, 利息 real, 应还本金 real, 应还利息 real, 备注 text)"));
  }
  void addRow(const QString& name, const QString& state, const QVariant& principal, const QVariant& interest,
              const QVariant& due = 0.0, const QString& note = QString()) {
    Db().Execute(QStringLiteral("insert into 测试清单 (客户, 单号, 状态, 本金, 利息, 应还本金, 应还利息, 备注) values (?,?,?,?,?,?,?,?)"),
                 {name, QStringLiteral("D%1").arg(++rows_), state, principal, interest, due, 0.0, note});
  }
  // Eight columns: 0 客户 ... 5 应还本金, 6 应还利息, 7 备注.
  void load(bool twoRows, const QString& groups) {
    gCurrentSql = QStringLiteral("select 客户, 单号, 状态, 本金, 利息, 应还本金, 应还利息, 备注 from 测试清单 order by 编号");
    LoadGridFromQuery(&grid_, twoRows, groups);
  }
  Grid grid_;
  int rows_ = 0;
};
}  // namespace

TEST_F(GridHelpersTest, TwoHeaderRowsGroupTheNamedColumnsAndMergeTheOthersDown) {
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, 10.0);
  addRow(QStringLiteral("李四"), QStringLiteral("已还"), 2000.0, 20.0);
  load(true, QStringLiteral("5@应还,6@应还,7@应还"));
  ASSERT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(grid_.fixedRows(), 2);
  EXPECT_EQ(grid_.cols(), 8);
  EXPECT_EQ(grid_.rows(), 4);
  EXPECT_EQ(grid_.row(), 2) << "the first data row is current after a fill";
  for (int c = 5; c <= 7; ++c) {
    EXPECT_EQ(grid_.textMatrix(0, c), QStringLiteral("应还"));
    EXPECT_EQ(grid_.mergedRange(0, c), (Grid::CellRange{0, 5, 0, 7})) << c;
  }
  EXPECT_EQ(grid_.textMatrix(1, 5), QStringLiteral("应还本金"));
  EXPECT_EQ(grid_.textMatrix(1, 7), QStringLiteral("备注"));
  for (int c = 0; c <= 4; ++c) {
    EXPECT_EQ(grid_.textMatrix(0, c), grid_.textMatrix(1, c));
    EXPECT_EQ(grid_.mergedRange(1, c), (Grid::CellRange{0, c, 1, c})) << c;
  }
  EXPECT_EQ(grid_.textMatrix(2, 0), QStringLiteral("张三"));
  EXPECT_EQ(grid_.value(3, 3).toDouble(), 2000.0);
  EXPECT_TRUE(gMainRecordset.isOpen()) << "the fill leaves the recordset to its caller";
  EXPECT_EQ(grid_.gridColor(), VbColor(0x87A242));

  // Two groups side by side stay apart.
  load(true, QStringLiteral("3@甲组,4@乙组"));
  EXPECT_EQ(grid_.mergedRange(0, 3), (Grid::CellRange{0, 3, 0, 3}));
  EXPECT_EQ(grid_.mergedRange(0, 4), (Grid::CellRange{0, 4, 0, 4}));
  EXPECT_EQ(grid_.textMatrix(0, 4), QStringLiteral("乙组"));
  EXPECT_EQ(grid_.textMatrix(1, 4), QStringLiteral("利息"));

  load(false, QString());
  EXPECT_EQ(grid_.fixedRows(), 1);
  EXPECT_EQ(grid_.textMatrix(0, 5), QStringLiteral("应还本金"));
}

TEST_F(GridHelpersTest, AColumnEveryGroupNamesKeepsItsOwnCaptionAndNoGroupsMergeEveryColumnDown) {
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, 10.0);
  struct Case {
    const char* groups;
    int groupedColumn;  // -1: none
    const char* caption;
  };
  const Case cases[] = {{"5@甲,5@乙", 5, "乙"}, {"", -1, ""}, {"6@丙", 6, "丙"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.groups);
    load(true, QString::fromUtf8(k.groups));
    ASSERT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
    for (int c = 0; c < grid_.cols(); ++c) {
      if (c == k.groupedColumn) {
        EXPECT_EQ(grid_.textMatrix(0, c), QString::fromUtf8(k.caption));
        EXPECT_NE(grid_.textMatrix(1, c), grid_.textMatrix(0, c));
      } else {
        EXPECT_EQ(grid_.textMatrix(0, c), grid_.textMatrix(1, c)) << c;
      }
      // Only a column that every group names stays unmerged.
      EXPECT_EQ(grid_.mergeCol(c), c != k.groupedColumn) << c;
      const Grid::CellRange expected = c == k.groupedColumn ? Grid::CellRange{1, c, 1, c} : Grid::CellRange{0, c, 1, c};
      EXPECT_EQ(grid_.mergedRange(1, c), expected) << c;
    }
  }
}

TEST_F(GridHelpersTest, ABadHeaderItemIsReportedAndTheDataStays) {
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, 10.0);
  for (const char* groups : {"5应还", "x@应还"}) {
    responder_.clear();
    load(true, QString::fromUtf8(groups));
    ASSERT_EQ(responder_.messages.size(), 1u) << groups;
    EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("程序出现异常！")));
    EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
    EXPECT_EQ(grid_.textMatrix(2, 0), QStringLiteral("张三"));
    EXPECT_EQ(grid_.mergedRange(0, 5), (Grid::CellRange{0, 5, 1, 5})) << "captions still show once";
  }
}

TEST_F(GridHelpersTest, TotalsRowCountsSumsLeadingNumbersAndPaintsFlaggedRows) {
  addRow(QStringLiteral("甲"), QStringLiteral("支出"), 10.5, 1.0, 0.0, QStringLiteral("7.5元"));
  addRow(QStringLiteral("乙"), QStringLiteral("收入"), QStringLiteral("abc"), 2.0);
  addRow(QStringLiteral("丙"), QStringLiteral("支出"), 2.0, 0.25);
  load(false, QString());
  AddGridTotalRowEx(&grid_, QStringLiteral("3,4,7"), QStringLiteral("合计"), 0, 350, 2, QStringLiteral("支出"), 1);
  ASSERT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
  ASSERT_EQ(grid_.rows(), 5);
  const int t = 4;
  EXPECT_EQ(grid_.textMatrix(t, 0), QStringLiteral("记录：3"));
  EXPECT_EQ(grid_.textMatrix(t, 3), QStringLiteral("12.5")) << "10.5 + abc + 2";
  EXPECT_EQ(grid_.textMatrix(t, 4), QStringLiteral("3.25"));
  EXPECT_EQ(grid_.textMatrix(t, 7), QStringLiteral("7.5"));
  EXPECT_EQ(grid_.textMatrix(t, 1), QString());
  EXPECT_TRUE(grid_.isTotalsRow(t));
  for (int c = 0; c < grid_.cols(); ++c) EXPECT_EQ(grid_.cellForeColor(t, c), QColor(Qt::red)) << c;
  EXPECT_EQ(grid_.cellForeColor(1, 0), QColor(Qt::red)) << "flag column 2 holds 支出";
  EXPECT_EQ(grid_.cellForeColor(1, 7), QColor(Qt::red));
  EXPECT_EQ(grid_.cellForeColor(2, 0), QColor(Qt::black));
  EXPECT_EQ(grid_.cellForeColor(3, 5), QColor(Qt::red));
  EXPECT_EQ(grid_.rowHeight(1), 345) << "350 twips, whole pixels";
  EXPECT_EQ(grid_.rowHeight(3), 345);

  // A format set afterwards shows the sum like the column.
  grid_.setColFormat(3, QStringLiteral("Currency"));
  EXPECT_EQ(grid_.displayText(t, 3), QStringLiteral("12.50"));
}

TEST_F(GridHelpersTest, TotalsRowLabelsOfBothModesAndOfThePlanGrids) {
  addRow(QStringLiteral("甲"), QStringLiteral("未还"), 100.0, 1.0);
  addRow(QStringLiteral("乙"), QStringLiteral("未还"), 200.0, 2.0);
  load(false, QString());
  AddGridTotalRowEx(&grid_, QStringLiteral("3"), QString(), 0, 0, 0, QString(), 0);
  EXPECT_EQ(grid_.textMatrix(3, 0), QStringLiteral("合计(记录数：2)"));
  EXPECT_EQ(grid_.mergedRange(3, 1), (Grid::CellRange{3, 0, 3, 1})) << "the label spans columns 0 and 1";
  EXPECT_EQ(grid_.textMatrix(3, 3), QStringLiteral("300"));
  EXPECT_EQ(grid_.rowHeight(1), 300);

  load(false, QString());
  AddGridTotalRowEx(&grid_, QStringLiteral("3,4"), QString(), 2, 0, 0, QString(), 1);
  EXPECT_EQ(grid_.textMatrix(3, 0), QStringLiteral("记录：1")) << "totals start at the given first row";
  EXPECT_EQ(grid_.textMatrix(3, 3), QStringLiteral("200"));

  load(false, QString());
  AddGridTotalRow(&grid_, QStringLiteral("3,4"), QStringLiteral("无用"), 0);
  EXPECT_EQ(grid_.textMatrix(3, 0), QStringLiteral("合计(记录数：2)"));
  EXPECT_EQ(grid_.textMatrix(3, 1), QStringLiteral("合计(记录数：2)"));
  EXPECT_EQ(grid_.textMatrix(3, 4), QStringLiteral("3"));
  EXPECT_EQ(grid_.rowHeight(2), 345);
  EXPECT_EQ(grid_.cellForeColor(3, 6), QColor(Qt::red));

  load(false, QString());
  AddGridTotalRow(&grid_, QStringLiteral("0"), QStringLiteral("短信"), 0);
  for (int c = 0; c < grid_.cols(); ++c) EXPECT_EQ(grid_.textMatrix(3, c), QStringLiteral("短信记录数：2"));
  EXPECT_EQ(grid_.mergedRange(3, 4), (Grid::CellRange{3, 0, 3, 7}));
  EXPECT_EQ(grid_.rowHeight(1), 300) << "no sums, no height";

  // A grid with two header rows never totals its second header row.
  load(true, QStringLiteral("3@金额,4@金额"));
  AddGridTotalRow(&grid_, QStringLiteral("3"), QString(), 0);
  EXPECT_EQ(grid_.textMatrix(4, 0), QStringLiteral("合计(记录数：2)"));
  EXPECT_EQ(grid_.textMatrix(4, 3), QStringLiteral("300"));
}

TEST_F(GridHelpersTest, DataRowTestRejectsHeadersTotalsAndEmptyRowsWhateverTheLabel) {
  addRow(QStringLiteral("甲"), QStringLiteral("未还"), 100.0, 1.0);
  addRow(QStringLiteral("乙"), QStringLiteral("未还"), 200.0, 2.0);
  for (int mode : {0, 1}) {
    load(true, QStringLiteral("3@金额"));
    grid_.setRow(2);
    EXPECT_TRUE(IsGridDataRow(&grid_));
    AddGridTotalRowEx(&grid_, QStringLiteral("3"), QString(), 0, 0, 0, QString(), mode);
    grid_.setRow(4);
    EXPECT_FALSE(IsGridDataRow(&grid_)) << "label mode " << mode << ": " << grid_.textMatrix(4, 0).toStdString();
  }
  load(false, QString());
  AddGridTotalRow(&grid_, QStringLiteral("3"), QString(), 0);
  grid_.setRow(3);
  EXPECT_FALSE(IsGridDataRow(&grid_));
  // The mark decides, not the caption: a totals row with any label is no data row.
  grid_.setTextMatrix(3, 0, QStringLiteral("总计"));
  EXPECT_FALSE(IsGridDataRow(&grid_));
  grid_.setTotalsRow(3, false);
  EXPECT_TRUE(IsGridDataRow(&grid_));
  // Captions of hand-made totals still count.
  grid_.setTextMatrix(3, 0, QStringLiteral("合计：5"));
  EXPECT_FALSE(IsGridDataRow(&grid_));
  grid_.setTextMatrix(3, 0, QString());
  EXPECT_FALSE(IsGridDataRow(&grid_)) << "an empty first cell";
  grid_.setRow(0);
  EXPECT_FALSE(IsGridDataRow(&grid_)) << "no current data row";
}

TEST_F(GridHelpersTest, EmptyResultGetsNoTotalsButExportsAndAnEmptySumListIsRefused) {
  load(true, QStringLiteral("5@应还,6@应还"));
  EXPECT_EQ(grid_.rows(), 2);
  AddGridTotalRowEx(&grid_, QStringLiteral("3"), QString(), 0, 0, 0, QString(), 1);
  AddGridTotalRow(&grid_, QStringLiteral("3"), QString(), 0);
  EXPECT_EQ(grid_.rows(), 2);
  EXPECT_FALSE(IsGridDataRow(&grid_));
  EXPECT_TRUE(responder_.messages.empty());

  AddGridTotalRowEx(&grid_, QString(), QString(), 0, 0, 0, QString(), 1);
  AddGridTotalRow(&grid_, QString(), QString(), 0);
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("参数错误！"));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("参数错误！"));

  responder_.clear();
  const QString path = ExportGridToExcel(&grid_, QStringLiteral("空表"), nullptr);
  ASSERT_FALSE(path.isEmpty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
  EXPECT_TRUE(unzipMember(path, QStringLiteral("xl/sharedStrings.xml")).contains(QStringLiteral("应还本金")));
}

TEST_F(GridHelpersTest, ExportWritesTheWorkbookAsksAndOpensOnYes) {
  setNow(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, 10.0);
  addRow(QStringLiteral("李四"), QStringLiteral("已还"), 2000.0, 20.0);
  load(true, QStringLiteral("5@应还,6@应还"));
  AddGridTotalRowEx(&grid_, QStringLiteral("3"), QString(), 0, 0, 0, QString(), 1);
  QDir(appDir()).rmdir(QStringLiteral("报表"));
  QStringList opened;
  SetOpenFileHandler([&](const QString& p) {
    opened << p;
    return true;
  });

  const QString path = ExportGridToExcel(&grid_, QStringLiteral("客户列表"), nullptr);
  EXPECT_EQ(path, appDir() + QStringLiteral("报表/客户列表20240305070809.xlsx"));
  ASSERT_TRUE(QFileInfo::exists(path));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text,
            QStringLiteral("数据导出成功，格式为Excel，地址：\r\n") + path + QStringLiteral("\r\n现在是否打开？"));
  EXPECT_EQ(responder_.messages[0].title, QStringLiteral("导出数据生成EXCEL"));
  EXPECT_EQ(responder_.messages[0].style, 36);
  EXPECT_EQ(gAnswer, Mb::No);
  EXPECT_TRUE(opened.isEmpty());

  const QString strings = unzipMember(path, QStringLiteral("xl/sharedStrings.xml"));
  const QString sheet = unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"));
  for (const char* s : {"客户", "应还", "应还本金", "应还利息", "张三", "李四", "D2", "2000", "记录：2", "3000"})
    EXPECT_TRUE(strings.contains(QString::fromUtf8(s))) << s;
  EXPECT_TRUE(sheet.contains(QStringLiteral("<mergeCell ref=\"F1:G1\"/>"))) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains(QStringLiteral("<mergeCell ref=\"A1:A2\"/>")));
  EXPECT_EQ(grid_.cellBackColor(2, 3), QColor(Qt::white));

  // The same second again: a new file, the first one kept; Yes opens it.
  responder_.answer(Mb::Yes);
  const QString second = ExportGridToExcel(&grid_, QStringLiteral("客户列表"), nullptr);
  EXPECT_NE(second, path);
  EXPECT_TRUE(QFileInfo::exists(path));
  EXPECT_EQ(gAnswer, Mb::Yes);
  EXPECT_EQ(opened, QStringList{second});

  // A title never leads out of the reports folder.
  const QString odd = ExportGridToExcel(&grid_, QStringLiteral("../甲/乙"), nullptr);
  EXPECT_EQ(QFileInfo(odd).absolutePath(), QFileInfo(path).absolutePath());
}

TEST_F(GridHelpersTest, AnExportThatCannotBeWrittenIsReportedWithoutAQuestion) {
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, 10.0);
  load(false, QString());
  QDir(appDir()).rmdir(QStringLiteral("报表"));
  QFile blocker(appDir() + QStringLiteral("报表"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_EQ(ExportGridToExcel(&grid_, QStringLiteral("客户列表"), nullptr), QString());
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("程序出现异常！")));
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("代码：75")));
}

TEST_F(GridHelpersTest, NameValueListShowsTheFirstRecordAndClosesTheQuery) {
  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1000.0, QVariant());
  addRow(QStringLiteral("李四"), QStringLiteral("已还"), 2000.0, 20.0);
  ShowRecordAsNameValueGrid(&grid_, QStringLiteral("select 客户, 本金, 利息 from 测试清单 where 单号=?"), 0, {QStringLiteral("D1")});
  ASSERT_TRUE(responder_.messages.empty()) << responder_.texts().join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(grid_.fixedRows(), 0);
  EXPECT_EQ(grid_.rows(), 3);
  EXPECT_EQ(grid_.cols(), 2);
  EXPECT_EQ(grid_.rowTexts(0), (QStringList{QStringLiteral("客户"), QStringLiteral("张三")}));
  EXPECT_EQ(grid_.textMatrix(1, 1), QStringLiteral("1000"));
  EXPECT_EQ(grid_.textMatrix(2, 1), QStringLiteral(" ")) << "a null value shows a blank";
  EXPECT_EQ(grid_.cellBackColor(1, 0), VbColor(0xF7F4EA));
  EXPECT_EQ(grid_.cellBackColor(1, 1), QColor(Qt::white));
  EXPECT_EQ(grid_.colWidth(0), 1995);
  EXPECT_EQ(grid_.rowHeight(2), 300);
  EXPECT_FALSE(gMainRecordset.isOpen());

  ShowRecordAsNameValueGrid(&grid_, QStringLiteral("select 客户, 本金 from 测试清单 where 单号='none'"), 450);
  EXPECT_TRUE(responder_.messages.empty()) << "no record: blanks, no error";
  EXPECT_EQ(grid_.rows(), 2);
  EXPECT_EQ(grid_.textMatrix(0, 1), QStringLiteral(" "));
  EXPECT_EQ(grid_.rowHeight(1), 450);
}

TEST_F(GridHelpersTest, CombosAndListsFillFromQueries) {
  QComboBox combo;
  gCurrentSql = QStringLiteral("select 客户 from 测试清单");
  FillComboFromQuery(&combo, QStringLiteral("全部"));
  EXPECT_EQ(combo.count(), 1);
  EXPECT_EQ(combo.currentIndex(), -1) << "an empty query selects nothing";

  addRow(QStringLiteral("张三"), QStringLiteral("未还"), 1.0, 1.0);
  addRow(QStringLiteral("李四"), QStringLiteral("未还"), 1.0, 1.0);
  gCurrentSql = QStringLiteral("select 客户 from 测试清单 order by 编号");
  FillComboFromQuery(&combo, QStringLiteral("全部"));
  EXPECT_EQ(combo.count(), 3);
  EXPECT_EQ(combo.currentText(), QStringLiteral("全部"));
  EXPECT_EQ(combo.itemText(2), QStringLiteral("李四"));

  FillComboWithLookupItems(&combo, QStringLiteral("部门"), QString());
  ASSERT_GE(combo.count(), 1);
  EXPECT_EQ(combo.itemText(0), QStringLiteral("综合部"));
  FillComboWithLookupItems(&combo, QStringLiteral("模块权限"), QStringLiteral("全部"));
  EXPECT_EQ(combo.count(), 27);
  EXPECT_EQ(combo.itemText(1), QStringLiteral("系统设置")) << "items in their order";
  FillComboWithLookupItems(&combo, QStringLiteral("部门' or '1'='1"), QString());
  EXPECT_EQ(combo.count(), 0) << "the list name is a value, not SQL";
  EXPECT_TRUE(responder_.messages.empty());

  QListWidget list;
  gCurrentSql = QStringLiteral("select 单号 from 测试清单 order by 编号");
  FillListFromQuery(&list);
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(1)->text(), QStringLiteral("D2"));
}

TEST_F(GridHelpersTest, SelectingAComboTextNeverLandsOnAnotherItem) {
  QComboBox combo;
  combo.addItems({QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("男士")});
  SelectComboItemByText(&combo, QStringLiteral("女"));
  EXPECT_EQ(combo.currentIndex(), 1);
  SelectComboItemByText(&combo, QStringLiteral("男"));
  EXPECT_EQ(combo.currentIndex(), 0) << "exact match only";
  SelectComboItemByText(&combo, QString());
  EXPECT_EQ(combo.currentIndex(), 0);
  SelectComboItemByText(&combo, QStringLiteral("未知"));
  EXPECT_EQ(combo.currentText(), QStringLiteral("未知")) << "a stored text not in the list is kept";
  EXPECT_EQ(combo.count(), 4);
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(GridHelpersTest, ScopeFilterBindsEveryValueAndIsEmptyForTheSuperAdministrator) {
  struct Case {
    int role;
    QString list, conjunction, sql;
    QVariantList values;
  };
  const Case cases[] = {
      {3, QStringLiteral("a,b"), QStringLiteral("and"), QString(), {}},
      {1, QStringLiteral("a, b"), QStringLiteral("and"), QStringLiteral(" and 部门 in (?,?) "), {QStringLiteral("a"), QStringLiteral("b")}},
      {1, QStringLiteral("综合部"), QStringLiteral("where"), QStringLiteral(" where 部门 in (?) "), {QStringLiteral("综合部")}},
      {1, QString(), QStringLiteral("and"), QStringLiteral(" and 部门 in (?) "), {QString()}},
  };
  for (const Case& c : cases) {
    gCurrentUserRole = c.role;
    QVariantList params = {QStringLiteral("before")};
    EXPECT_EQ(BuildScopeInFilter(c.list, QStringLiteral("部门"), c.conjunction, params), c.sql) << c.list.toStdString();
    EXPECT_EQ(params, QVariantList{QStringLiteral("before")} + c.values) << "values follow the ones already there";
  }

  // A quote inside a department name is a value, never SQL.
  gCurrentUserRole = 1;
  QVariantList params;
  const QString filter = BuildScopeInFilter(QStringLiteral("O'Brien部,' or '1'='1"), QStringLiteral("状态"), QStringLiteral("and"), params);
  addRow(QStringLiteral("甲"), QStringLiteral("O'Brien部"), 1.0, 1.0);
  addRow(QStringLiteral("乙"), QStringLiteral("未还"), 1.0, 1.0);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from 测试清单 where 1=1") + filter, params).toInt(), 1);
}

// Widths fit the widest text of header, data and totals: equal totals side by side and totals longer
// than any amount stay whole; a 10,000-character name is capped at a third of the window (its whole
// text in the tip) and leaves the other captions on screen; a caption is never cut.
TEST_F(GridHelpersTest, ColumnsFitTheirTextsAndTotalsWhileOneLongNameIsCapped) {
  const QString longName(10000, QChar(u'名'));
  addRow(longName, QStringLiteral("未还"), 146334185.0, 146334185.0, 0.0, QStringLiteral("短"));
  addRow(QStringLiteral("乙"), QStringLiteral("未还"), 146334185.0, 146334185.0);
  QWidget window;
  window.resize(1200, 600);
  grid_.setParent(&window);
  load(false, QString());
  grid_.setColFormat(3, QStringLiteral("Currency"));
  AddGridTotalRowEx(&grid_, QStringLiteral("3,4"), QString(), 0, 0, 0, QString(), 0);
  const int totals = grid_.rows() - 1;
  ASSERT_EQ(grid_.displayText(totals, 3), QStringLiteral("292,668,370.00"));
  const QFontMetrics fm(grid_.table()->font());
  const auto px = [&](int col) { return grid_.colWidth(col) / 15; };
  for (int col : {3, 4})
    EXPECT_GT(px(col), fm.horizontalAdvance(grid_.displayText(totals, col))) << col << ": " << grid_.displayText(totals, col).toStdString();
  EXPECT_LE(px(0), 1200 / 3);
  EXPECT_GT(px(0), fm.horizontalAdvance(QStringLiteral("客户")));
  int all = 0;
  for (int c = 0; c < grid_.cols(); ++c) all += px(c);
  EXPECT_LT(all, 1200) << "every caption fits in the window";
  const QModelIndex cut = grid_.table()->model()->index(0, 0);
  EXPECT_EQ(cut.data(Qt::ToolTipRole).toString(), longName);
  EXPECT_FALSE(grid_.table()->model()->index(0, 7).data(Qt::ToolTipRole).isValid()) << "a column that fits has no tip";
  grid_.setParent(nullptr);
}
