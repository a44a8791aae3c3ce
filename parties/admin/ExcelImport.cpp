#include "parties/admin/ExcelImport.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <freexl.h>

#include <cmath>

#include "app/data/DataAccess.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/LoginState.h"
#include "app/services/Pinyin.h"
#include "app/services/TextLimits.h"
#include "parties/PartyData.h"
#include "parties/admin/XlsSharedStrings.h"
#include "parties/admin/XlsxReader.h"

namespace {

// Spreadsheets keep 15 significant digits of a number; a whole number of 16 digits or more has lost
// its end.
constexpr double kExactDigitsLimit = 1e15;

const QString kBirthdayField = QStringLiteral("生日");

struct WorkbookHandle {
  const void* h = nullptr;
  ~WorkbookHandle() {
    if (h) freexl_close(h);
  }
};

QString unreadable(const QString& path) {
  return QStringLiteral("无法读取“%1”：它不是Excel工作簿（.xls 或 .xlsx），或文件已损坏。\n"
                        "请在表格程序中把它另存为 .xls 或 .xlsx 后再导入。")
      .arg(QFileInfo(path).fileName());
}

ExcelSheet readXlsx(const QString& path) {
  ExcelSheet sheet;
  switch (ReadXlsxFirstSheet(path, &sheet)) {
    case XlsxRead::Done:
      return sheet;
    case XlsxRead::NotAWorkbook:
      throw ImportRefused(QStringLiteral("只能导入 Excel 工作簿（.xls 或 .xlsx），请在表格程序中另存为 .xls 或 .xlsx 后再导入：") +
                          QFileInfo(path).fileName());
    case XlsxRead::TooLarge:
      throw ImportRefused(QStringLiteral("“%1”的工作表超过%2MB，太大，无法导入。请把数据分成几个工作簿后再导入。")
                              .arg(QFileInfo(path).fileName())
                              .arg(kXlsxPartLimit >> 20));
    case XlsxRead::Damaged:
      break;
  }
  throw ImportRefused(unreadable(path));
}

ImportRefused encrypted(const QString& path) {
  return ImportRefused(QStringLiteral("工作簿已加密，请在表格程序中取消密码后再导入：") + QFileInfo(path).fileName());
}

ExcelCell cellFrom(const FreeXL_CellValue& v, const QString& emptyMarker) {
  ExcelCell c;
  switch (v.type) {
    case FREEXL_CELL_INT:
      c.kind = ExcelCell::Number;
      c.number = v.value.int_value;
      break;
    case FREEXL_CELL_DOUBLE:
      c.kind = ExcelCell::Number;
      c.number = v.value.double_value;
      break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      c.text = QString::fromUtf8(v.value.text_value);
      // A text of no characters is as empty as a cell without a value.
      c.kind = !emptyMarker.isEmpty() && c.text == emptyMarker ? ExcelCell::Empty : ExcelCell::Text;
      if (c.kind == ExcelCell::Empty) c.text.clear();
      break;
    case FREEXL_CELL_DATE:
      c.kind = ExcelCell::Date;
      c.text = QString::fromUtf8(v.value.text_value);
      break;
    case FREEXL_CELL_DATETIME:
      c.kind = ExcelCell::DateTime;
      c.text = QString::fromUtf8(v.value.text_value);
      break;
    case FREEXL_CELL_TIME:
      c.kind = ExcelCell::Time;
      c.text = QString::fromUtf8(v.value.text_value);
      break;
    default:
      break;
  }
  return c;
}

QString cancelled(const QString& reason) { return reason + QStringLiteral("\n导入已取消，没有导入任何数据。"); }

bool blank(const ExcelCell& c) {
  if (c.kind == ExcelCell::Empty) return true;
  if (c.kind != ExcelCell::Text) return false;
  const QString t = c.text.trimmed();
  return t.isEmpty() || t == QLatin1String("'");
}

}  // namespace

const ExcelCell& ExcelSheet::cell(int row, int column) const {
  static const ExcelCell empty;
  if (row < 0 || row >= static_cast<int>(rows.size())) return empty;
  const auto& r = rows[static_cast<size_t>(row)];
  if (column < 0 || column >= static_cast<int>(r.size())) return empty;
  return r[static_cast<size_t>(column)];
}

QString ExcelSheet::title(int column) const { return ExcelCellText(cell(0, column)).trimmed(); }

ExcelSheet ReadExcelSheet(const QString& path, const QString& sheetName) {
  if (!QFileInfo(path).isFile()) throw ImportRefused(QStringLiteral("找不到文件“%1”。").arg(path));
  // What the file holds decides how it is read, not its name: a ZIP is an .xlsx or no workbook at
  // all; a compound file is an .xls, or the encrypted package of a workbook with a password.
  {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) throw ImportRefused(unreadable(path));
    const QByteArray start = probe.read(8);
    if (start.startsWith("PK")) return readXlsx(path);
    if (start == QByteArray::fromHex("D0CF11E0A1B11AE1") && IsEncryptedPackage(probe.seek(0) ? probe.readAll() : QByteArray()))
      throw encrypted(path);
  }
  // FreeXL cannot read a shared-string table that holds an empty string; such a workbook is read
  // from a copy that holds a marker in its place.
  QTemporaryDir scratch;
  QString readable = path;
  QString emptyMarker;
  if (scratch.isValid() && CopyWithMarkedEmptyStrings(path, scratch.filePath(QStringLiteral("workbook.xls")), &emptyMarker))
    readable = scratch.filePath(QStringLiteral("workbook.xls"));
  WorkbookHandle wb;
  if (freexl_open(QFile::encodeName(readable).constData(), &wb.h) != FREEXL_OK) throw ImportRefused(unreadable(path));

  unsigned int info = 0;
  if (freexl_get_info(wb.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
    throw encrypted(path);
  unsigned int sheets = 0;
  // A workbook has at least one sheet; none read means the file could not be read.
  if (freexl_get_info(wb.h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) throw ImportRefused(unreadable(path));

  QStringList names;
  int found = -1;
  for (unsigned int i = 0; i < sheets && i < 0xFFFF; ++i) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(wb.h, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name) continue;
    names << QString::fromUtf8(name);
    if (found < 0 && names.last().compare(sheetName, Qt::CaseInsensitive) == 0) found = static_cast<int>(i);
  }
  if (found < 0)
    throw ImportRefused(QStringLiteral("工作簿中没有名为“%1”的工作表（现有工作表：%2）。\n请把要导入的数据放在名为“%1”的工作表中。")
                            .arg(sheetName, names.isEmpty() ? QStringLiteral("无") : names.join(QStringLiteral("、"))));

  ExcelSheet sheet;
  sheet.name = names.value(found);
  unsigned int rows = 0;
  unsigned short cols = 0;
  if (freexl_select_active_worksheet(wb.h, static_cast<unsigned short>(found)) != FREEXL_OK ||
      freexl_worksheet_dimensions(wb.h, &rows, &cols) != FREEXL_OK)
    throw ImportRefused(unreadable(path));
  sheet.columns = cols;
  sheet.rows.resize(rows);
  for (unsigned int r = 0; r < rows; ++r) {
    auto& row = sheet.rows[r];
    row.resize(cols);
    for (unsigned short c = 0; c < cols; ++c) {
      FreeXL_CellValue v;
      if (freexl_get_cell_value(wb.h, r, c, &v) != FREEXL_OK)
        throw ImportRefused(QStringLiteral("工作表“%1”第%2行第%3列无法读取，文件可能已损坏。").arg(sheet.name).arg(r + 1).arg(c + 1));
      row[c] = cellFrom(v, emptyMarker);
    }
  }
  return sheet;
}

QString ExcelCellText(const ExcelCell& cell) {
  if (cell.kind != ExcelCell::Number) return cell.text;
  const double v = cell.number;
  if (!std::isfinite(v) || v != std::floor(v)) return QString::number(v, 'g', 15);
  if (std::fabs(v) < kExactDigitsLimit) return QString::number(v, 'f', 0);
  // The 15 digits kept, then zeros to the number's length.
  const QString e = QString::number(v, 'e', 14);  // "-6.21700001000123e+18"
  const qsizetype mark = e.indexOf(QLatin1Char('e'));
  QString digits = e.left(mark).remove(QLatin1Char('.'));
  const bool negative = digits.startsWith(QLatin1Char('-'));
  if (negative) digits.remove(0, 1);
  const int length = e.mid(mark + 1).toInt() + 1;
  return (negative ? QStringLiteral("-") : QString()) + digits.leftJustified(length, QLatin1Char('0'), true);
}

QString ImportCellText(const ExcelCell& cell, const QString& field, int line) {
  switch (cell.kind) {
    case ExcelCell::Empty:
      return {};
    case ExcelCell::Text: {
      const QString t = cell.text.trimmed();
      return t == QLatin1String("'") ? QString() : t;
    }
    case ExcelCell::Number: {
      const double v = cell.number;
      if (!std::isfinite(v)) throw ImportRefused(cancelled(QStringLiteral("第%1行“%2”不是有效的数字。").arg(line).arg(field)));
      if (std::fabs(v) >= kExactDigitsLimit)
        throw ImportRefused(QStringLiteral("%1的数字超过15位，表格程序已改动其末位，请把该列设为文本后重新导入（第%2行）").arg(field).arg(line));
      return ExcelCellText(cell);
    }
    case ExcelCell::DateTime:
      return cell.text.endsWith(QLatin1String(" 00:00:00")) ? cell.text.left(10) : cell.text;
    case ExcelCell::Date:
    case ExcelCell::Time:
      return cell.text;
  }
  return {};
}

QString ImportDateText(const ExcelCell& cell, const QString& where) {
  auto refuse = [&](const QString& shown) {
    return ImportRefused(cancelled(where + QStringLiteral("的“%1”不是日期（例如 1990-03-07）。").arg(shown)));
  };
  auto fromParts = [](int y, int m, int d) {
    const QDate date(y, m, d);
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
  };
  switch (cell.kind) {
    case ExcelCell::Empty:
      return {};
    case ExcelCell::Date:
    case ExcelCell::DateTime:
      return cell.text.left(10);
    case ExcelCell::Number: {
      // A date typed as digits, 19900307.
      const double v = cell.number;
      if (v == std::floor(v) && v >= 10000101 && v <= 99991231) {
        const auto n = static_cast<int>(v);
        const QString s = fromParts(n / 10000, n / 100 % 100, n % 100);
        if (!s.isEmpty()) return s;
      }
      throw refuse(ExcelCellText(cell));
    }
    case ExcelCell::Time:
      throw refuse(cell.text);
    case ExcelCell::Text:
      break;
  }
  const QString t = cell.text.trimmed();
  if (t.isEmpty() || t == QLatin1String("'")) return {};
  static const QRegularExpression separated(QStringLiteral(R"(^(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?$)"));
  static const QRegularExpression compact(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})$)"));
  for (const QRegularExpression* re : {&separated, &compact}) {
    const QRegularExpressionMatch m = re->match(t);
    if (!m.hasMatch()) continue;
    const QString s = fromParts(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!s.isEmpty()) return s;
  }
  throw refuse(t);
}

ImportTarget TargetForKind(qint16 kind, qint16 paramNumber) {
  ImportTarget t;
  t.kind = kind;
  switch (kind) {
    case 3:
      t.table = QStringLiteral("PJ_Zaxiang");
      t.fields = QStringList{QStringLiteral("名称")};
      // Only lists with an extra value in 参数1 or 参数2 have one to import.
      if (paramNumber == 1 || paramNumber == 2) t.fields << QStringLiteral("参数") + QString::number(paramNumber);
      t.nameField = QStringLiteral("名称");
      break;
    case 4:
      t.table = QStringLiteral("PJ_Kehu");
      t.fields = QStringLiteral("姓名,性别,手机,座机,身份证号,家庭住址,职业,银行帐号,健康状况,不良贷款记录,年收入,资产描述,生日").split(QLatin1Char(','));
      t.nameField = QStringLiteral("姓名");
      t.mnemonic = true;
      break;
    case 5:
      t.table = QStringLiteral("PJ_Kehu_Gs");
      t.fields = QStringLiteral("公司名称,法人姓名,法人职务,营业执照注册号,住所地,银行帐号,不良贷款记录,手机").split(QLatin1Char(','));
      t.nameField = QStringLiteral("公司名称");
      t.mnemonic = true;
      break;
    case 6:
      t.table = QStringLiteral("PJ_Gd");
      t.fields = QStringLiteral("姓名,性别,家庭住址,手机,身份证号,银行账号,备注").split(QLatin1Char(','));
      t.nameField = QStringLiteral("姓名");
      t.mnemonic = true;
      break;
    default:
      throw ImportRefused(QStringLiteral("没有指定导入的对象（%1），无法导入。").arg(kind));
  }
  return t;
}

int ImportSheet(const ExcelSheet& sheet, const ImportRequest& request, const ImportProgress& progress) {
  const ImportTarget& target = request.target;
  if (target.table.isEmpty()) throw ImportRefused(QStringLiteral("没有指定导入的对象，无法导入。"));
  if (request.bindings.empty()) throw ImportRefused(QStringLiteral("请先绑定要导入的字段：选择数据库表格字段，填写对应的Excel列号，再按“绑定”。"));
  if (sheet.isEmpty()) throw ImportRefused(QStringLiteral("工作表“%1”是空的，没有可导入的数据。").arg(sheet.name));

  QSet<QString> seenFields;
  for (const FieldBinding& b : request.bindings) {
    // Field names reach the SQL text, so only the target's own fields pass.
    if (!target.fields.contains(b.field)) throw ImportRefused(QStringLiteral("字段“%1”不能导入到此表。").arg(b.field));
    if (seenFields.contains(b.field)) throw ImportRefused(QStringLiteral("字段“%1”绑定了两次。").arg(b.field));
    seenFields.insert(b.field);
    if (b.column < 1 || b.column > sheet.columns)
      throw ImportRefused(cancelled(QStringLiteral("“%1”绑定的第%2列不在工作表中（工作表“%3”共有%4列）。")
                                        .arg(b.field)
                                        .arg(b.column)
                                        .arg(sheet.name)
                                        .arg(sheet.columns)));
  }
  if (!seenFields.contains(target.nameField))
    throw ImportRefused(QStringLiteral("请绑定“%1”字段：每条导入的记录都需要它。").arg(target.nameField));

  // Every row is converted and checked before anything is written.
  struct Row {
    int line = 0;  // the sheet's row number as Excel shows it
    QVariantList values;
    QString name;
  };
  std::vector<Row> rows;
  for (int r = 1; r < static_cast<int>(sheet.rows.size()); ++r) {
    bool any = false;
    for (const FieldBinding& b : request.bindings) any = any || !blank(sheet.cell(r, b.column - 1));
    if (!any) continue;  // a blank line, or formatted rows below the data
    Row row;
    row.line = r + 1;
    for (const FieldBinding& b : request.bindings) {
      const ExcelCell& c = sheet.cell(r, b.column - 1);
      const QString where = QStringLiteral("第%1行“%2”").arg(r + 1).arg(b.field);
      if (b.field == kBirthdayField) {
        const QString d = ImportDateText(c, where);
        row.values << (d.isEmpty() ? QVariant() : QVariant(d));
      } else {
        const QString t = ImportCellText(c, b.field, r + 1);
        // The server's column would refuse it (and the whole import with it) on save.
        const int limit = TextColumnLength(target.table, b.field);
        if (limit > 0 && t.size() > limit)
          throw ImportRefused(cancelled(where + QStringLiteral("不能超过%1个字，这一行无法导入。").arg(limit)));
        row.values << t;
        if (b.field == target.nameField) row.name = t;
      }
    }
    if (row.name.isEmpty())
      throw ImportRefused(cancelled(QStringLiteral("第%1行的“%2”是空的，这一行无法导入。").arg(r + 1).arg(target.nameField)));
    rows.push_back(std::move(row));
  }
  if (rows.empty()) throw ImportRefused(QStringLiteral("工作表“%1”中没有可导入的数据。").arg(sheet.name));

  QStringList columns;
  for (const FieldBinding& b : request.bindings) columns << b.field;
  const bool lookup = target.kind == 3;
  if (target.mnemonic) columns << QStringLiteral("助记符") << QStringLiteral("建档人");
  if (lookup) columns << QStringLiteral("类别") << QStringLiteral("代码") << QStringLiteral("排序");
  QStringList marks;
  for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
  const QString insert = QStringLiteral("insert into %1 (%2) values (%3)").arg(target.table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));

  Transaction transaction;
  qint64 code = 0;
  qint64 position = 0;
  if (lookup) {
    // A list holds each name once, as adding an item by hand requires.
    QSet<QString> names;
    // Read locked, as adding one item is: a name another workstation adds meanwhile waits or is seen.
    const QueryResult existing =
        Db().query(QStringLiteral("select 名称 from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Zaxiang")) + QStringLiteral(" where 类别=?"),
                   {request.category});
    for (const QVariantList& r : existing.rows) names.insert(VariantText(r.value(0)));
    for (const Row& row : rows) {
      // The lookup form's rule: a name kept in the accounts' comma lists holds no comma.
      if (LookupNameRefusesComma(request.category) && row.name.contains(QLatin1Char(',')))
        throw ImportRefused(cancelled(
            QStringLiteral("第%1行的“%2”含有英文逗号“,”，这一行无法导入。").arg(row.line).arg(target.nameField)));
      if (names.contains(row.name))
        throw ImportRefused(cancelled(QStringLiteral("第%1行的名称“%2”在此列表中已经有了。").arg(row.line).arg(row.name)));
      names.insert(row.name);
    }
    code = NextCodeNumber(QStringLiteral("PJ_Zaxiang"));
    if (code <= 0) throw ImportRefused(cancelled(QStringLiteral("无法取得新的代码。")));
    if (code + static_cast<qint64>(rows.size()) - 1 > 32767) throw ImportRefused(cancelled(QStringLiteral("代码将超过 32767。")));
    position = static_cast<qint64>(VariantNumber(Db().scalar(QStringLiteral("select max(排序) from PJ_Zaxiang where 类别=?"), {request.category}))) + 1;
  }

  const int total = static_cast<int>(rows.size());
  if (progress) progress(0, total);
  int done = 0;
  for (const Row& row : rows) {
    QVariantList params = row.values;
    if (target.mnemonic) params << GetPinyinInitials(row.name) << gUserName;
    if (lookup) params << QVariant(static_cast<int>(request.category)) << QVariant(code++) << QVariant(position++);
    Db().Execute(insert, params);
    ++done;
    if (progress) progress(done, total);
  }
  transaction.Commit();
  return done;
}
