// The Excel import: reading real .xls and .xlsx workbooks, converting cells, importing each kind of target in
// one transaction, refusing bad workbooks and rows with nothing written, and the import window.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

#include <zip.h>

#include <tuple>

#include "../PartyFixture.h"
#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "parties/admin/ExcelImport.h"
#include "parties/admin/XlsxReader.h"
#include "parties/admin/frmDrExcel.h"
#include "platform/ExcelExport.h"
#include "platform/Grid.h"

namespace {

QString fixture(const char* name) { return QStringLiteral(VRN_FIXTURES "/import/") + QString::fromUtf8(name); }

ExcelCell number(double v) { return {ExcelCell::Number, {}, v}; }
ExcelCell text(const QString& t, ExcelCell::Kind kind = ExcelCell::Text) { return {kind, t}; }

// The refusal `step` meets, or "" when it goes through.
template <class Step>
QString refusalOf(Step&& step) {
  try {
    step();
  } catch (const ImportRefused& r) {
    return r.message;
  }
  return {};
}
QString readRefusal(const QString& path) { return refusalOf([&] { ReadExcelSheet(path); }); }


// Binds every field of the target whose title is a column of the sheet.
std::vector<FieldBinding> bindByTitle(const ExcelSheet& sheet, const ImportTarget& target) {
  std::vector<FieldBinding> out;
  for (const QString& f : target.fields)
    for (int c = 0; c < sheet.columns; ++c)
      if (sheet.title(c) == f) out.push_back({f, c + 1});
  return out;
}
// The lookup sheets title their extra value "参数"; the list keeps it in 参数1.
const std::vector<FieldBinding> kLookupBindings = {{QStringLiteral("名称"), 1}, {QStringLiteral("参数1"), 2}};

qint64 count(const QString& table) { return Db().scalar(QStringLiteral("select count(*) from ") + table).toLongLong(); }

// The one row of `table` whose name column holds `name` has the texts `want` in its columns ("<null>"
// marks NULL).
void expectRow(const QString& table, const QString& nameField, const QString& name, const QMap<QString, QString>& want) {
  const QueryResult r = Db().query(QStringLiteral("select * from %1 where %2=?").arg(table, nameField), {name});
  ASSERT_EQ(r.rows.size(), 1u) << name.toStdString() << " is not there once";
  for (auto it = want.cbegin(); it != want.cend(); ++it) {
    const qsizetype at = r.columns.indexOf(it.key());
    ASSERT_GE(at, 0) << it.key().toStdString();
    const QVariant v = r.rows.front().value(at);
    EXPECT_EQ((v.isNull() ? QStringLiteral("<null>") : VariantText(v)).toStdString(), it.value().toStdString())
        << name.toStdString() << " " << it.key().toStdString();
  }
}

class ImportTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
  }

  // Imports a fixture with every field bound by title; returns the rows added.
  int importAll(const char* file, qint16 kind, qint16 param = 0, qint16 category = 0, const ImportProgress& progress = {}) {
    const ExcelSheet sheet = ReadExcelSheet(fixture(file));
    const ImportTarget target = TargetForKind(kind, param);
    return ImportSheet(sheet, {target, category, bindByTitle(sheet, target)}, progress);
  }
  // The refusal text of an import, or "" when it went through.
  static QString refusal(const ExcelSheet& sheet, qint16 kind, std::vector<FieldBinding> bindings, qint16 param = 0) {
    return refusalOf([&] { ImportSheet(sheet, {TargetForKind(kind, param), 0, std::move(bindings)}); });
  }

  // The import window for `kind`, with `file` chosen in it unless that is "".
  static void load(frmDrExcel& w, qint16 kind, const QString& file = {}) {
    w.TargetKind = kind;
    w.Form_Load();
    if (!file.isEmpty()) choose(w, file);
  }
  static void choose(frmDrExcel& w, const QString& file) {
    SetChooserHandler([file](ChooserKind, const QString&) { return file; });
    w.eButton1_Click();
  }
  // Binds each field to the column the window proposes for it.
  static void bind(frmDrExcel& w, std::initializer_list<const char*> fields) {
    for (const char* field : fields) {
      w.Combo1->setCurrentText(QString::fromUtf8(field));
      w.eButton2_Click();
    }
  }
};

}  // namespace

TEST(ImportCells, NumbersBecomeTextWithoutLosingDigits) {
  // What the preview shows and what a text field imports, for cells of either reader.
  const struct {
    double value;
    QString shown;
    QString imported;  // "" when refused
  } cases[] = {
      {13800138000.0, "13800138000", "13800138000"},
      {110101900307123.0, "110101900307123", "110101900307123"},
      {999999999999999.0, "999999999999999", "999999999999999"},
      {150000.0, "150000", "150000"},
      {-42.0, "-42", "-42"},
      {80000.5, "80000.5", "80000.5"},
      {0.1 + 0.2, "0.3", "0.3"},
      // 16 digits and more: the spreadsheet has already turned the digits past the fifteenth to 0.
      {1e15, "1000000000000000", ""},
      {110101199003071234.0, "110101199003071000", ""},
      {6217000010001234567.0, "6217000010001230000", ""},
      {-6217000010001234567.0, "-6217000010001230000", ""},
      {1234567890123456.5e3, "1234567890123460000", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown.toStdString());
    EXPECT_EQ(ExcelCellText(number(c.value)), c.shown);
    QString imported;
    const QString refused = refusalOf([&] { imported = ImportCellText(number(c.value), QStringLiteral("银行帐号"), 7); });
    EXPECT_EQ(imported, c.imported);
    EXPECT_EQ(refused, c.imported.isEmpty() ? QStringLiteral("银行帐号的数字超过15位，表格程序已改动其末位，请把该列设为文本后重新导入（第7行）") : QString());
  }
  EXPECT_THROW(ImportCellText(number(std::nan("")), "x", 2), ImportRefused);
}

TEST(ImportCells, TextIsTrimmedAndDatesKeepTheirDay) {
  EXPECT_EQ(ImportCellText(text(QStringLiteral("  南京市玄武区  ")), "x", 2), QStringLiteral("南京市玄武区"));
  EXPECT_EQ(ImportCellText(text(QStringLiteral("\u3000张三\u3000")), "x", 2), QStringLiteral("张三"));
  EXPECT_EQ(ImportCellText(text(QStringLiteral("'")), "x", 2), QString());
  EXPECT_EQ(ImportCellText(ExcelCell(), "x", 2), QString());
  EXPECT_EQ(ImportCellText(text("1990-03-07", ExcelCell::Date), "x", 2), "1990-03-07");
  EXPECT_EQ(ImportCellText(text("1990-03-07 00:00:00", ExcelCell::DateTime), "x", 2), "1990-03-07");
  EXPECT_EQ(ImportCellText(text("1990-03-07 08:30:00", ExcelCell::DateTime), "x", 2), "1990-03-07 08:30:00");
}

TEST(ImportCells, BirthdaysAcceptCommonDateWritingsAndRefuseTheRest) {
  EXPECT_EQ(ImportDateText(text("1985-12-25", ExcelCell::Date), "x"), "1985-12-25");
  EXPECT_EQ(ImportDateText(text("1985-12-25 10:00:00", ExcelCell::DateTime), "x"), "1985-12-25");
  EXPECT_EQ(ImportDateText(text("1978/6/1"), "x"), "1978-06-01");
  EXPECT_EQ(ImportDateText(text(" 1978.06.01 "), "x"), "1978-06-01");
  EXPECT_EQ(ImportDateText(text(QStringLiteral("1978年6月1日")), "x"), "1978-06-01");
  EXPECT_EQ(ImportDateText(text("19780601"), "x"), "1978-06-01");
  EXPECT_EQ(ImportDateText(number(19780601), "x"), "1978-06-01");
  EXPECT_EQ(ImportDateText(text("'"), "x"), QString());
  EXPECT_EQ(ImportDateText(ExcelCell(), "x"), QString());
  for (const QString& bad : {QStringLiteral("不详"), QStringLiteral("2023-02-30"), QStringLiteral("1978/13/1"), QStringLiteral("78-6-1")})
    EXPECT_THROW(ImportDateText(text(bad), "x"), ImportRefused) << bad.toStdString();
  EXPECT_THROW(ImportDateText(number(32000), "x"), ImportRefused);
  EXPECT_THROW(ImportDateText(text("08:00:00", ExcelCell::Time), "x"), ImportRefused);
}

TEST(ImportTargets, KindsOfferTheirFieldsAndOnlyRealExtraValues) {
  EXPECT_EQ(TargetForKind(4, 0).table, "PJ_Kehu");
  EXPECT_EQ(TargetForKind(4, 0).fields.size(), 13);
  EXPECT_EQ(TargetForKind(5, 0).table, "PJ_Kehu_Gs");
  EXPECT_EQ(TargetForKind(5, 0).nameField, QStringLiteral("公司名称"));
  EXPECT_EQ(TargetForKind(6, 0).fields.join(','), QStringLiteral("姓名,性别,家庭住址,手机,身份证号,银行账号,备注"));
  EXPECT_EQ(TargetForKind(3, 1).fields, (QStringList{QStringLiteral("名称"), QStringLiteral("参数1")}));
  EXPECT_EQ(TargetForKind(3, 2).fields, (QStringList{QStringLiteral("名称"), QStringLiteral("参数2")}));
  // No column "参数0" or "参数3" exists.
  EXPECT_EQ(TargetForKind(3, 0).fields, QStringList{QStringLiteral("名称")});
  EXPECT_EQ(TargetForKind(3, 3).fields, QStringList{QStringLiteral("名称")});
  EXPECT_THROW(TargetForKind(0, 0), ImportRefused);
  EXPECT_THROW(TargetForKind(7, 0), ImportRefused);
}

TEST_F(ImportTest, ReadsRealWorkbooksBySheetName) {
  const ExcelSheet s = ReadExcelSheet(fixture("customers.xls"));
  EXPECT_EQ(s.name, "Sheet1");
  EXPECT_EQ(s.columns, 10);
  ASSERT_EQ(s.rows.size(), 5u);
  EXPECT_EQ(s.title(0), QStringLiteral("姓名"));
  EXPECT_EQ(s.cell(1, 0).text, QStringLiteral("张三"));
  EXPECT_EQ(s.cell(1, 2).kind, ExcelCell::Number);
  EXPECT_EQ(s.cell(1, 2).number, 13800138000.0);
  EXPECT_EQ(s.cell(1, 8).kind, ExcelCell::Date);
  EXPECT_EQ(s.cell(1, 8).text, "1990-03-07");
  EXPECT_EQ(s.cell(2, 3).kind, ExcelCell::Empty);
  EXPECT_EQ(s.cell(99, 99).kind, ExcelCell::Empty);
  // "Sheet1" is found where it stands, not taken as the first sheet.
  const ExcelSheet c = ReadExcelSheet(fixture("companies.xls"));
  EXPECT_EQ(c.title(0), QStringLiteral("公司名称"));
  EXPECT_EQ(c.rows.size(), 4u);
}

TEST_F(ImportTest, WorkbooksThatCannotBeReadAreRefusedWithAClearMessage) {
  QString m = readRefusal(fixture("no-sheet1.xls"));
  EXPECT_TRUE(m.contains(QStringLiteral("没有名为“Sheet1”的工作表"))) << m.toStdString();
  EXPECT_TRUE(m.contains(QStringLiteral("客户名单"))) << "names the sheets it has";
  ASSERT_TRUE(writeFile(appDir() + "not-a-workbook.xls", "姓名,手机\n张三,13800138000\n"));
  m = readRefusal(appDir() + "not-a-workbook.xls");
  EXPECT_TRUE(m.contains(QStringLiteral("无法读取“not-a-workbook.xls”"))) << m.toStdString();
  // A shared-string table that claims more strings than it holds: the file is damaged, and said so.
  QByteArray bytes = readFile(fixture("empty-text.xls"));
  const qsizetype sst = bytes.indexOf(QByteArray("\xFC\x00", 2), 1024);
  ASSERT_GT(sst, 0);
  bytes[sst + 8] = char(50);
  ASSERT_TRUE(writeFile(appDir() + "damaged.xls", bytes));
  m = readRefusal(appDir() + "damaged.xls");
  EXPECT_TRUE(m.contains(QStringLiteral("无法读取“damaged.xls”"))) << m.toStdString();
  // A ZIP header and nothing after it is a damaged file, whatever it is named.
  for (const char* name : {"导出.xlsx", "macro.XLSM", "calc.ods"}) {
    ASSERT_TRUE(writeFile(appDir() + QString::fromUtf8(name), "PK\x03\x04"));
    m = readRefusal(appDir() + QString::fromUtf8(name));
    EXPECT_TRUE(m.startsWith(QStringLiteral("无法读取“") + QString::fromUtf8(name) + QStringLiteral("”"))) << name << ": " << m.toStdString();
  }
  m = readRefusal(appDir() + "missing.xls");
  EXPECT_TRUE(m.startsWith(QStringLiteral("找不到文件"))) << m.toStdString();
}

TEST_F(ImportTest, IndividualCustomersGetMnemonicsAndNothingCarriesOver) {
  const qint64 before = count("PJ_Kehu");
  std::vector<std::pair<int, int>> steps;
  EXPECT_EQ(importAll("customers.xls", 4, 0, 0, [&](int d, int t) { steps.push_back({d, t}); }), 4);
  EXPECT_EQ(count("PJ_Kehu"), before + 4);
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back(), std::make_pair(4, 4));
  for (size_t i = 1; i < steps.size(); ++i) EXPECT_EQ(steps[i].first, steps[i - 1].first + 1);
  expectRow("PJ_Kehu", "姓名", "张三",
            {{"助记符", "ZS"}, {"手机", "13800138000"}, {"座机", "010-62345678"}, {"身份证号", "110101199003071234"},
             {"银行帐号", "6222020200112233445"}, {"生日", "1990-03-07"}, {"年收入", "150000"}, {"建档人", "管理员"}});
  // Empty cells stay empty: nothing from 张三's row above.
  expectRow("PJ_Kehu", "姓名", "李四",
            {{"座机", ""}, {"职业", ""}, {"银行帐号", ""}, {"家庭住址", "南京市玄武区"}, {"年收入", "80000.5"}, {"助记符", "LS"}});
  expectRow("PJ_Kehu", "姓名", "王小明", {{"身份证号", "110101900307123"}, {"生日", "1978-06-01"}, {"年收入", "十万"}, {"助记符", "WXM"}});
  // A lone apostrophe in 家庭住址 is an empty cell.
  expectRow("PJ_Kehu", "姓名", "欧阳娜娜", {{"手机", ""}, {"家庭住址", ""}, {"生日", "<null>"}, {"助记符", "OYNN"}});
}

TEST_F(ImportTest, CorporateCustomersAndInvestors) {
  EXPECT_EQ(importAll("companies.xls", 5), 3);
  expectRow("PJ_Kehu_Gs", "公司名称", "北京华信贸易有限公司",
            {{"营业执照注册号", "110108012345678"}, {"手机", "13511112222"}, {"银行帐号", "0200001234567890123"}, {"助记符", "BJHXMYYXGS"}});
  expectRow("PJ_Kehu_Gs", "公司名称", "上海浦江实业有限公司", {{"营业执照注册号", "91310000MA1FL12345"}, {"手机", ""}});
  expectRow("PJ_Kehu_Gs", "公司名称", "深圳鹏城科技有限公司", {{"法人姓名", ""}, {"不良贷款记录", ""}, {"手机", "18912345678"}});
  EXPECT_EQ(importAll("investors.xls", 6), 3);
  expectRow("PJ_Gd", "姓名", "孙丽", {{"手机", "18628001234"}, {"银行账号", "6228480012345678901"}, {"助记符", "SL"}});
  expectRow("PJ_Gd", "姓名", "周伟", {{"家庭住址", ""}, {"备注", ""}});
  expectRow("PJ_Gd", "姓名", "吴芳", {{"身份证号", "50010319800808002X"}, {"备注", "介绍人：孙丽"}});
}

TEST_F(ImportTest, LookupItemsGetTheCategoryTheNextCodesAndPositions) {
  const qint64 highestCode = Db().scalar("select max(代码) from PJ_Zaxiang").toLongLong();
  const qint64 lastPosition = Db().scalar("select max(排序) from PJ_Zaxiang where 类别=9").toLongLong();
  EXPECT_EQ(ImportSheet(ReadExcelSheet(fixture("lookup.xls")), {TargetForKind(3, 1), 9, kLookupBindings}), 3);
  const QueryResult r = Db().query("select 名称,参数1,代码,排序 from PJ_Zaxiang where 类别=9 order by 排序");
  QStringList names;
  for (const auto& row : r.rows) names << VariantText(row.value(0));
  EXPECT_EQ(names.mid(names.size() - 3), (QStringList{QStringLiteral("技术部"), QStringLiteral("财务部"), QStringLiteral("市场部")}));
  const auto code = [&](int n) { return QString::number(highestCode + n); };
  const auto position = [&](int n) { return QString::number(lastPosition + n); };
  expectRow("PJ_Zaxiang", "名称", "技术部", {{"类别", "9"}, {"参数1", "10"}, {"代码", code(1)}, {"排序", position(1)}});
  expectRow("PJ_Zaxiang", "名称", "财务部", {{"参数1", ""}, {"代码", code(2)}});
  expectRow("PJ_Zaxiang", "名称", "市场部", {{"参数1", "0.5"}, {"排序", position(3)}});
  // The same names again: the list already holds them, and nothing is added.
  const qint64 items = count("PJ_Zaxiang");
  const QString m = refusalOf([&] { importAll("lookup.xls", 3, 1, 9); });
  EXPECT_TRUE(m.contains(QStringLiteral("技术部"))) << "duplicate lookup items were imported: " << m.toStdString();
  EXPECT_EQ(count("PJ_Zaxiang"), items);
  // Another list may hold the same names.
  EXPECT_EQ(importAll("lookup.xls", 3, 1, 77), 3);
}

// The import keeps the lookup form's rule: a department or right name holds no ",", since the
// accounts keep those names in comma lists; the refusal names the row and the field.
TEST_F(ImportTest, LookupNamesWithACommaAreRefusedWhereTheFormRefusesThem) {
  const ExcelSheet sheet{QStringLiteral("Sheet1"), 1, {{text(QStringLiteral("名称"))}, {text(QStringLiteral("技术部"))}, {text(QStringLiteral("财务,审计"))}}};
  const QString comma = QStringLiteral("第3行的“名称”含有英文逗号“,”，这一行无法导入。\n导入已取消，没有导入任何数据。");
  const struct {
    qint16 category;
    QString refusal;  // "" when imported
  } cases[] = {{9, comma}, {5, comma}, {77, QString()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.category);
    const qint64 before = count("PJ_Zaxiang");
    const QString refused = refusalOf([&] { EXPECT_EQ(ImportSheet(sheet, {TargetForKind(3, 0), c.category, {{QStringLiteral("名称"), 1}}}), 2); });
    EXPECT_EQ(refused, c.refusal);
    EXPECT_EQ(count("PJ_Zaxiang"), before + (c.refusal.isEmpty() ? 2 : 0)) << "all or nothing";
  }
}

// A workbook whose shared-string table holds an empty string (a text cell of no characters) is
// sound: the empty text reads as an empty cell and the rows import.
TEST_F(ImportTest, AnEmptyTextCellReadsAsAnEmptyCell) {
  const ExcelSheet sheet = ReadExcelSheet(fixture("empty-text.xls"));
  ASSERT_EQ(sheet.rows.size(), 3u);
  EXPECT_EQ(sheet.title(0), QStringLiteral("名称"));
  EXPECT_EQ(sheet.cell(1, 0).text, QStringLiteral("审计部"));
  EXPECT_EQ(sheet.cell(1, 1).kind, ExcelCell::Empty);
  EXPECT_EQ(sheet.cell(1, 1).text, QString());
  EXPECT_EQ(sheet.cell(2, 0).text, QStringLiteral("后勤部"));
  EXPECT_EQ(sheet.cell(2, 1).kind, ExcelCell::Number);
  EXPECT_EQ(sheet.cell(2, 1).number, 3.0);
  EXPECT_EQ(ImportSheet(sheet, {TargetForKind(3, 1), 9, kLookupBindings}), 2);
  expectRow("PJ_Zaxiang", "名称", "审计部", {{"参数1", ""}});
  expectRow("PJ_Zaxiang", "名称", "后勤部", {{"参数1", "3"}});
}

TEST_F(ImportTest, AFailureInTheMiddleLeavesNothing) {
  // The database refuses the third row after two have been written.
  Db().Execute(QStringLiteral("create trigger refuse_third before insert on PJ_Kehu when new.姓名='王小明' "
                              "begin select raise(abort, 'refused by test'); end"));
  const qint64 before = count("PJ_Kehu");
  int reached = 0;
  EXPECT_THROW(importAll("customers.xls", 4, 0, 0, [&](int d, int) { reached = d; }), AppError);
  EXPECT_EQ(reached, 2) << "the failure came after rows were written";
  EXPECT_EQ(count("PJ_Kehu"), before);
  EXPECT_FALSE(Db().inTransaction());
  // The connection works on afterwards.
  Db().Execute(QStringLiteral("drop trigger refuse_third"));
  EXPECT_EQ(importAll("customers.xls", 4), 4);
}

TEST_F(ImportTest, GarbageRowsAreRefusedByRowAndBlankRowsSkipped) {
  const ExcelSheet sheet = ReadExcelSheet(fixture("garbage.xls"));
  const qint64 before = count("PJ_Kehu");
  const ImportTarget t = TargetForKind(4, 0);
  // Every column bound: the birthday "不详" of sheet row 4 stops everything.
  QString m = refusal(sheet, 4, bindByTitle(sheet, t));
  EXPECT_TRUE(m.contains(QStringLiteral("第4行“生日”"))) << m.toStdString();
  EXPECT_TRUE(m.contains(QStringLiteral("没有导入任何数据"))) << m.toStdString();
  // Without the birthday: row 5 has data but no name.
  m = refusal(sheet, 4, {{QStringLiteral("姓名"), 1}, {QStringLiteral("手机"), 3}});
  EXPECT_TRUE(m.contains(QStringLiteral("第5行的“姓名”是空的"))) << m.toStdString();
  EXPECT_EQ(count("PJ_Kehu"), before);
  // Only names bound: the blank row and the nameless row carry nothing to import.
  EXPECT_EQ(refusal(sheet, 4, {{QStringLiteral("姓名"), 1}}), QString());
  EXPECT_EQ(count("PJ_Kehu"), before + 3);
}

TEST_F(ImportTest, BindingsThatDoNotFitAreRefusedBeforeAnythingIsWritten) {
  const qint64 before = count("PJ_Kehu");
  const ExcelSheet narrow = ReadExcelSheet(fixture("missing-columns.xls"));
  QString m = refusal(narrow, 4, {{QStringLiteral("姓名"), 1}, {QStringLiteral("身份证号"), 5}});
  EXPECT_TRUE(m.contains(QStringLiteral("第5列不在工作表中"))) << m.toStdString();
  EXPECT_TRUE(m.contains(QStringLiteral("共有2列"))) << m.toStdString();
  EXPECT_TRUE(refusal(narrow, 4, {}).contains(QStringLiteral("请先绑定")));
  EXPECT_TRUE(refusal(narrow, 4, {{QStringLiteral("手机"), 2}}).contains(QStringLiteral("请绑定“姓名”字段")));
  // A field name that is not the target's never reaches the SQL.
  EXPECT_TRUE(refusal(narrow, 4, {{QStringLiteral("姓名) values (1); drop table PJ_Kehu; --"), 1}}).contains(QStringLiteral("不能导入")));
  EXPECT_TRUE(refusal(narrow, 4, {{QStringLiteral("姓名"), 1}, {QStringLiteral("姓名"), 2}}).contains(QStringLiteral("两次")));
  // Numbers of more than 15 digits stored as numbers: their last digits are already lost.
  const struct {
    const char* file;
    const char* field;
    QString refusal;
  } numbers[] = {
      {"id-as-number.xls", "身份证号", QStringLiteral("身份证号的数字超过15位，表格程序已改动其末位，请把该列设为文本后重新导入（第2行）")},
      {"account-as-number.xls", "银行帐号", QStringLiteral("银行帐号的数字超过15位，表格程序已改动其末位，请把该列设为文本后重新导入（第2行）")},
  };
  for (const auto& n : numbers) {
    SCOPED_TRACE(n.file);
    const ExcelSheet ids = ReadExcelSheet(fixture(n.file));
    EXPECT_EQ(refusal(ids, 4, {{QStringLiteral("姓名"), 1}, {QString::fromUtf8(n.field), 2}}), n.refusal);
    EXPECT_EQ(count("PJ_Kehu"), before);
  }
  // The narrow sheet itself imports once its bindings fit.
  EXPECT_EQ(refusal(narrow, 4, {{QStringLiteral("姓名"), 1}, {QStringLiteral("手机"), 2}}), QString());
  expectRow("PJ_Kehu", "姓名", "郑二", {{"手机", "13700000002"}});
}

// ---- the window

TEST_F(ImportTest, WindowOffersTheTargetsFieldsAndKeepsBindingsUnique) {
  frmDrExcel w;
  load(w, 5);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("数据导入"));
  EXPECT_EQ(w.Combo1->count(), 8);
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("公司名称"));
  w.Text1->setText("1");
  w.eButton2_Click();
  ASSERT_EQ(w.Bindings().size(), 1u);
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("法人姓名")) << "moves on to the next field";
  w.Combo1->setCurrentIndex(0);
  w.Text1->setText("3");
  w.eButton2_Click();
  EXPECT_TRUE(responder_.saw(QStringLiteral("不能重复！")));
  EXPECT_EQ(w.Bindings().size(), 1u);
  w.Combo1->setCurrentIndex(1);
  for (const char* bad : {"abc", "0", "2.5", ""}) {
    responder_.clear();
    w.Text1->setText(bad);
    w.eButton2_Click();
    EXPECT_EQ(responder_.messages.size(), 1u) << bad;
    EXPECT_EQ(w.Bindings().size(), 1u) << bad;
  }
  w.Text1->setText("2");
  w.eButton2_Click();
  ASSERT_EQ(w.Bindings().size(), 2u);
  EXPECT_EQ(w.Fg2->dataRowCount(), 2);
  // A double-click on a binding removes it.
  w.Fg2->setRow(w.Fg2->fixedRows());
  w.Fg2_DblClick();
  ASSERT_EQ(w.Bindings().size(), 1u);
  EXPECT_EQ(w.Bindings().front().field, QStringLiteral("法人姓名"));
  // A lookup list without an extra value offers only its name.
  frmDrExcel lookup;
  lookup.ParamNumber = 0;
  load(lookup, 3);
  EXPECT_EQ(lookup.Combo1->count(), 1);
}

TEST_F(ImportTest, WindowImportsAChosenWorkbookAndCloses) {
  frmDrExcel w;
  load(w, 4, fixture("customers.xls"));
  EXPECT_EQ(w.WorkbookPath(), fixture("customers.xls"));
  EXPECT_EQ(w.Fg->dataRowCount(), 4);
  EXPECT_EQ(w.Fg->textMatrix(0, 2), QStringLiteral("第3列"));
  EXPECT_EQ(w.Fg->textMatrix(1, 2), QStringLiteral("手机"));
  EXPECT_EQ(w.Fg->textMatrix(2, 2), "13800138000");
  // Choosing a field that the sheet has as a title proposes its column.
  EXPECT_EQ(w.Text1->text(), "1");
  w.eButton2_Click();
  w.Combo1->setCurrentText(QStringLiteral("生日"));
  EXPECT_EQ(w.Text1->text(), "9");
  w.eButton2_Click();
  ASSERT_EQ(w.Bindings().size(), 2u);
  const qint64 before = count("PJ_Kehu");
  w.eButton3_Click();
  EXPECT_TRUE(responder_.saw(QStringLiteral("导入完成！")));
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_FALSE(w.Prg->isVisible());
  EXPECT_EQ(count("PJ_Kehu"), before + 4);
  expectRow("PJ_Kehu", "姓名", "李四", {{"生日", "1985-12-25"}});
}

TEST_F(ImportTest, WindowRefusalsLeaveItOpenAndTheDataUntouched) {
  const qint64 before = count("PJ_Kehu");
  frmDrExcel w;
  load(w, 4);
  w.eButton3_Click();
  EXPECT_TRUE(responder_.saw(QStringLiteral("请先打开要导入的Excel文件。")));
  responder_.clear();
  choose(w, fixture("no-sheet1.xls"));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains("Sheet1"));
  EXPECT_EQ(responder_.messages[0].style & 0x70, Mb::Critical);
  EXPECT_TRUE(w.WorkbookPath().isEmpty());
  choose(w, fixture("garbage.xls"));
  ASSERT_EQ(w.WorkbookPath(), fixture("garbage.xls"));
  w.Text1->setText("1");
  w.eButton2_Click();
  bind(w, {"生日"});
  responder_.clear();
  w.eButton3_Click();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("第4行“生日”")));
  EXPECT_FALSE(responder_.saw(QStringLiteral("导入完成！")));
  EXPECT_NE(w.result(), QDialog::Accepted);
  EXPECT_EQ(count("PJ_Kehu"), before);
}

TEST_F(ImportTest, AValueLongerThanItsColumnIsRefusedByRowAndField) {
  ExcelSheet sheet{QStringLiteral("Sheet1"), 2,
                   {{text(QStringLiteral("姓名")), text(QStringLiteral("家庭住址"))},
                    {text(QStringLiteral("张三")), text(QStringLiteral("北京"))},
                    {text(QStringLiteral("李四")), text(QStringLiteral("路").repeated(256))}}};
  const std::vector<FieldBinding> bindings = {{QStringLiteral("姓名"), 1}, {QStringLiteral("家庭住址"), 2}};
  const qint64 before = count("PJ_Kehu");
  const QString m = refusal(sheet, 4, bindings);
  EXPECT_TRUE(m.startsWith(QStringLiteral("第3行“家庭住址”不能超过255个字"))) << m.toStdString();
  EXPECT_TRUE(m.contains(QStringLiteral("没有导入任何数据"))) << m.toStdString();
  EXPECT_EQ(count("PJ_Kehu"), before);
  // At the length itself the row goes in.
  sheet.rows[2][1] = text(QStringLiteral("路").repeated(255));
  EXPECT_EQ(refusal(sheet, 4, bindings), QString());
  EXPECT_EQ(count("PJ_Kehu"), before + 2);
}

// ---- .xlsx workbooks (fixtures from scripts/make_xlsx_fixtures.py)

namespace {

// A copy of customers.xlsx whose sheet unpacks past the bound: as declared by the ZIP, or with the
// ZIP's sizes of the sheet lowered to 1000 bytes so that only reading finds it out.
QString oversizedWorkbook(const QString& path, bool declared) {
  QFile::remove(path);
  if (!QFile::copy(fixture("customers.xlsx"), path)) return {};
  int error = 0;
  zip_t* z = zip_open(QFile::encodeName(path).constData(), 0, &error);
  if (!z) return {};
  static QByteArray big;
  big = QByteArray("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>") +
        QByteArray(kXlsxPartLimit, ' ') + QByteArray("</sheetData></worksheet>");
  zip_source_t* s = zip_source_buffer(z, big.constData(), zip_uint64_t(big.size()), 0);
  if (!s || zip_file_add(z, "xl/worksheets/sheet1.xml", s, ZIP_FL_OVERWRITE) < 0 || zip_close(z) != 0) return {};
  big.clear();
  if (declared) return path;
  QByteArray bytes = readFile(path);
  const QByteArray name("xl/worksheets/sheet1.xml");
  int patched = 0;
  // The local header keeps the size at 22, the central directory's entry at 24.
  for (const auto& [magic, nameAt, sizeAt] : {std::tuple{QByteArray("PK\x03\x04"), 30, 22}, std::tuple{QByteArray("PK\x01\x02"), 46, 24}}) {
    for (qsizetype at = bytes.indexOf(magic); at >= 0; at = bytes.indexOf(magic, at + 4)) {
      if (bytes.mid(at + nameAt, name.size()) != name) continue;
      const char small[4] = {char(0xE8), char(0x03), 0, 0};
      bytes.replace(at + sizeAt, 4, small, 4);
      ++patched;
    }
  }
  return patched == 2 && writeFile(path, bytes) ? path : QString();
}

}  // namespace

class XlsxImport : public ImportTest {};

// What the .xlsx reader gives, cell by cell, as the preview shows it.
TEST_F(XlsxImport, ReadsTheCellsSpreadsheetProgramsWrite) {
  // The program's own export of a list, read back.
  Grid grid;
  grid.setFixedRows(1);
  grid.loadData({QStringLiteral("姓名"), QStringLiteral("手机"), QStringLiteral("银行帐号")},
                {{QStringLiteral("张三"), QStringLiteral("13800138000"), QStringLiteral("6217000010001234567")}});
  const QString exported = appDir() + "Khgr导出.xlsx";
  ASSERT_EQ(SaveGridAsWorkbook(grid, exported), QString());
  struct Cell {
    int row, column;
    ExcelCell::Kind kind;
    QString shown;
  };
  const struct {
    QString file;
    std::vector<Cell> cells;
  } cases[] = {
      {exported, {{0, 1, ExcelCell::Text, QStringLiteral("手机")}, {1, 2, ExcelCell::Text, "6217000010001234567"}}},
      // LibreOffice's layout, every exported cell text; a row added with a number and a date typed.
      {fixture("exported-customers.xlsx"),
       {{0, 13, ExcelCell::Text, QStringLiteral("生日")}, {2, 4, ExcelCell::Text, "13912340000"}, {2, 5, ExcelCell::Empty, ""},
        {3, 0, ExcelCell::Empty, ""}, {3, 4, ExcelCell::Number, "13600001111"}, {3, 13, ExcelCell::Date, "1995-05-05"}}},
      // Excel's layout: built-in date format 14, numbers without a type.
      {fixture("customers.xlsx"),
       {{1, 2, ExcelCell::Number, "13800138000"}, {1, 8, ExcelCell::Date, "1990-03-07"}, {3, 4, ExcelCell::Number, "110101900307123"},
        {4, 5, ExcelCell::Text, "'"}}},
      {fixture("xlsx-named.xls"), {{2, 5, ExcelCell::Text, QStringLiteral("  南京市玄武区  ")}}},
      // An exponent in the XML; the digits past the fifteenth shown as the spreadsheet keeps them.
      {fixture("account-as-number.xlsx"), {{1, 1, ExcelCell::Number, "6217000010001230000"}}},
      {fixture("account-as-number.xls"), {{1, 1, ExcelCell::Number, "6217000010001230000"}}},
      // The first sheet by the workbook's order, though it is kept in sheet2.xml.
      {fixture("first-sheet-not-sheet1.xlsx"), {{1, 0, ExcelCell::Text, QStringLiteral("韩七")}}},
      // Rich-text runs joined, phonetic runs left out.
      {fixture("rich-text.xlsx"), {{1, 0, ExcelCell::Text, QStringLiteral("欧阳修")}, {1, 1, ExcelCell::Text, QStringLiteral("杭州市")}}},
      // Inline strings, cells and rows without a position, formulas, a boolean, an error.
      {fixture("inline-strings.xlsx"),
       {{0, 3, ExcelCell::Text, QStringLiteral("参数")}, {1, 0, ExcelCell::Text, QStringLiteral("杨八")}, {1, 1, ExcelCell::Number, "13900000008"},
        {1, 2, ExcelCell::Text, QStringLiteral("合作")}, {1, 3, ExcelCell::Number, "1"}, {2, 0, ExcelCell::Text, QStringLiteral("朱九")},
        {2, 3, ExcelCell::Empty, ""}}},
      // The 1904 date system, the Chinese built-in date formats and a custom one.
      {fixture("date1904.xlsx"), {{1, 1, ExcelCell::Date, "1990-03-07"}}},
      {fixture("chinese-dates.xlsx"),
       {{1, 1, ExcelCell::Date, "1980-01-02"}, {2, 1, ExcelCell::Date, "1981-02-03"}, {3, 1, ExcelCell::Date, "1982-03-04"},
        {4, 1, ExcelCell::Date, "1983-04-05"}, {5, 1, ExcelCell::Date, "1984-05-06"}}},
  };
  for (const auto& c : cases) {
    const ExcelSheet sheet = ReadExcelSheet(c.file);
    for (const Cell& cell : c.cells) {
      SCOPED_TRACE(QStringLiteral("%1 (%2,%3)").arg(QFileInfo(c.file).fileName()).arg(cell.row).arg(cell.column).toStdString());
      EXPECT_EQ(sheet.cell(cell.row, cell.column).kind, cell.kind);
      EXPECT_EQ(ExcelCellText(sheet.cell(cell.row, cell.column)), cell.shown);
    }
  }
  const ExcelSheet first = ReadExcelSheet(fixture("first-sheet-not-sheet1.xlsx"));
  EXPECT_EQ(first.name, QStringLiteral("客户"));
  EXPECT_EQ(first.rows.size(), 2u);
  EXPECT_EQ(first.columns, 2);
}

TEST_F(XlsxImport, RefusesWhatItCannotReadWithTheSentenceForIt) {
  const QString notAWorkbook = QStringLiteral("只能导入 Excel 工作簿（.xls 或 .xlsx），请在表格程序中另存为 .xls 或 .xlsx 后再导入：");
  // A ZIP cut short, and one whose sheet's compressed bytes are spoilt.
  const QByteArray bytes = readFile(fixture("customers.xlsx"));
  const QString cut = appDir() + "cut.xlsx", damaged = appDir() + "damaged.xlsx";
  ASSERT_TRUE(writeFile(cut, bytes.left(bytes.size() * 2 / 3)));
  QByteArray spoilt = bytes;
  const qsizetype sheetAt = spoilt.indexOf("xl/worksheets/sheet1.xml");
  ASSERT_GT(sheetAt, 0);
  for (qsizetype i = sheetAt + 40; i < sheetAt + 200; ++i) spoilt[i] = char(spoilt[i] ^ 0x5A);
  ASSERT_TRUE(writeFile(damaged, spoilt));
  const struct {
    QString file;
    QString refusal;
  } cases[] = {
      {fixture("macro.xlsm"), notAWorkbook + "macro.xlsm"},
      {fixture("sheet.ods"), notAWorkbook + "sheet.ods"},
      {fixture("plain-zip.xlsx"), notAWorkbook + "plain-zip.xlsx"},
      {fixture("encrypted.xlsx"), QStringLiteral("工作簿已加密，请在表格程序中取消密码后再导入：encrypted.xlsx")},
      {cut, QStringLiteral("无法读取“cut.xlsx”：它不是Excel工作簿（.xls 或 .xlsx），或文件已损坏。\n请在表格程序中把它另存为 .xls 或 .xlsx 后再导入。")},
      {damaged, QStringLiteral("无法读取“damaged.xlsx”：它不是Excel工作簿（.xls 或 .xlsx），或文件已损坏。\n请在表格程序中把它另存为 .xls 或 .xlsx 后再导入。")},
      {oversizedWorkbook(appDir() + "declared.xlsx", true), QStringLiteral("“declared.xlsx”的工作表超过64MB，太大，无法导入。请把数据分成几个工作簿后再导入。")},
      {oversizedWorkbook(appDir() + "streamed.xlsx", false), QStringLiteral("“streamed.xlsx”的工作表超过64MB，太大，无法导入。请把数据分成几个工作簿后再导入。")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal.toStdString());
    ASSERT_FALSE(c.file.isEmpty());
    EXPECT_EQ(readRefusal(c.file), c.refusal);
  }
}

// Customers, investors and lookup items from an .xlsx give the rows and refusals the same sheets
// give from an .xls.
TEST_F(XlsxImport, ImportsTheSameRowsAndRefusalsAsTheSameSheetsInXls) {
  const struct {
    const char* xls;
    const char* xlsx;
    qint16 kind, param, category;
    int added;  // 0 when refused
  } cases[] = {
      {"customers.xls", "customers.xlsx", 4, 0, 0, 4},
      {"customers.xls", "xlsx-named.xls", 4, 0, 0, 4},
      {"investors.xls", "investors.xlsx", 6, 0, 0, 3},
      {"lookup.xls", "lookup.xlsx", 3, 1, 9, 3},
      {"garbage.xls", "garbage.xlsx", 4, 0, 0, 0},
      {"id-as-number.xls", "id-as-number.xlsx", 4, 0, 0, 0},
      {"account-as-number.xls", "account-as-number.xlsx", 4, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xlsx);
    const ImportTarget target = TargetForKind(c.kind, c.param);
    struct Outcome {
      int added = 0;
      QString refusal;
      std::vector<QVariantList> rows;
    };
    const auto run = [&](const char* file) {
      Outcome o;
      const qint64 last = Db().scalar(QStringLiteral("select ifnull(max(编号),0) from ") + target.table).toLongLong();
      const ExcelSheet sheet = ReadExcelSheet(fixture(file));
      const ImportRequest req{target, c.category, c.kind == 3 ? kLookupBindings : bindByTitle(sheet, target)};
      o.refusal = refusalOf([&] { o.added = ImportSheet(sheet, req); });
      const QueryResult r = Db().query(QStringLiteral("select * from %1 where 编号>? order by 编号").arg(target.table), {last});
      const qsizetype key = r.columns.indexOf(QStringLiteral("编号"));
      for (QVariantList row : r.rows) {
        row.removeAt(key);
        o.rows.push_back(row);
      }
      Db().Execute(QStringLiteral("delete from %1 where 编号>?").arg(target.table), {last});
      return o;
    };
    const Outcome fromXls = run(c.xls);
    const Outcome fromXlsx = run(c.xlsx);
    EXPECT_EQ(fromXls.added, c.added);
    EXPECT_EQ(fromXls.rows.size(), size_t(c.added));
    EXPECT_EQ(c.added == 0, !fromXls.refusal.isEmpty()) << fromXls.refusal.toStdString();
    EXPECT_EQ(fromXlsx.added, fromXls.added);
    EXPECT_EQ(fromXlsx.refusal, fromXls.refusal);
    EXPECT_EQ(fromXlsx.rows, fromXls.rows);
  }
}

// The clerk exports the customer list, corrects it in a spreadsheet program, saves it as .xlsx and
// imports it through the window.
TEST_F(XlsxImport, AnExportedListCorrectedInASpreadsheetComesBack) {
  frmDrExcel w;
  load(w, 4, fixture("exported-customers.xlsx"));
  ASSERT_EQ(w.WorkbookPath(), fixture("exported-customers.xlsx"));
  EXPECT_EQ(w.Fg->dataRowCount(), 3);
  EXPECT_EQ(w.Fg->textMatrix(4, 4), "13600001111");
  EXPECT_EQ(w.Fg->textMatrix(4, 13), "1995-05-05");
  bind(w, {"姓名", "手机", "身份证号", "银行帐号", "生日"});
  ASSERT_EQ(w.Bindings().size(), 5u);
  const qint64 before = count("PJ_Kehu");
  w.eButton3_Click();
  EXPECT_TRUE(responder_.saw(QStringLiteral("导入完成！")));
  EXPECT_EQ(count("PJ_Kehu"), before + 3);
  expectRow("PJ_Kehu", "姓名", "李四", {{"手机", "13912340000"}, {"生日", "<null>"}});
  expectRow("PJ_Kehu", "姓名", "蒋六", {{"手机", "13600001111"}, {"银行帐号", "6228480000000000017"}, {"生日", "1995-05-05"}, {"助记符", "JL"}});
  expectRow("PJ_Kehu", "姓名", "张三", {{"生日", "1990-03-07"}});
}
