#include "parties/admin/XlsxReader.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <zip.h>

#include <cmath>
#include <vector>

namespace {

const QString kWorkbookType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
// Excel's largest sheet.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

// One entry of the archive as a device the XML reader pulls from, a block at a time; it stops
// with an error once the entry gives more than the bound, whatever its header declared.
class EntryDevice : public QIODevice {
 public:
  explicit EntryDevice(zip_file_t* file) : file_(file) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
  ~EntryDevice() override { zip_fclose(file_); }
  bool isSequential() const override { return true; }
  bool tooLarge = false;
  bool failed = false;

 protected:
  qint64 readData(char* data, qint64 max) override {
    if (tooLarge || failed) return -1;
    const zip_int64_t got = zip_fread(file_, data, zip_uint64_t(max));
    if (got < 0) {
      failed = true;
      return -1;
    }
    total_ += got;
    if (total_ > kXlsxPartLimit) {
      tooLarge = true;
      return -1;
    }
    return got;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  zip_file_t* file_;
  qint64 total_ = 0;
};

enum class Part { Read, Missing, Damaged, TooLarge };

XlsxRead outcome(Part p) {
  switch (p) {
    case Part::Read:
      return XlsxRead::Done;
    case Part::Missing:
    case Part::Damaged:
      return XlsxRead::Damaged;
    case Part::TooLarge:
      return XlsxRead::TooLarge;
  }
  return XlsxRead::Damaged;
}

// Streams the part `name` ("/xl/workbook.xml") of the package through `parse`, which returns
// false for content it cannot use.
template <class F>
Part readPart(zip_t* zip, const QString& name, F&& parse) {
  const QByteArray entry = (name.startsWith(QLatin1Char('/')) ? name.mid(1) : name).toUtf8();
  const zip_int64_t index = zip_name_locate(zip, entry.constData(), ZIP_FL_NOCASE);
  if (index < 0) return Part::Missing;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip, zip_uint64_t(index), 0, &st) != 0) return Part::Damaged;
  if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(kXlsxPartLimit)) return Part::TooLarge;
  zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(index), 0);
  if (!file) return Part::Damaged;
  EntryDevice device(file);
  QXmlStreamReader xml(&device);
  const bool usable = parse(xml);
  if (device.tooLarge) return Part::TooLarge;
  if (device.failed || xml.hasError() || !usable) return Part::Damaged;
  return Part::Read;
}

// The text of a shared or inline string: its runs joined, its phonetic runs left out. Called at
// the start of the element that holds it; returns after its end.
QString richText(QXmlStreamReader& xml) {
  QString out;
  int depth = 1;
  int phonetic = 0;
  while (depth > 0 && !xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == u"t" && phonetic == 0) {
        out += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        continue;  // its end is read
      }
      if (xml.name() == u"rPh") ++phonetic;
      ++depth;
    } else if (xml.isEndElement()) {
      if (xml.name() == u"rPh") --phonetic;
      --depth;
    }
  }
  return out;
}

// The relationship id of an element (r:id in whatever prefix and namespace version).
QString relationshipId(const QXmlStreamReader& xml) {
  for (const QXmlStreamAttribute& a : xml.attributes())
    if (a.name() == u"id" && !a.namespaceUri().isEmpty()) return a.value().toString();
  return {};
}

// A relationship's target as a part name: absolute ones as they stand, relative ones against the
// folder of the part that holds them.
QString resolve(const QString& sourcePart, const QString& target) {
  QStringList path;
  if (!target.startsWith(QLatin1Char('/'))) {
    path = sourcePart.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!path.isEmpty()) path.removeLast();
  }
  for (const QString& step : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (step == QLatin1String("..")) {
      if (!path.isEmpty()) path.removeLast();
    } else if (step != QLatin1String(".")) {
      path << step;
    }
  }
  return QLatin1Char('/') + path.join(QLatin1Char('/'));
}

// How a number format shows a value: as a number or as a date, a time or both.
enum class Shown { Number, Date, DateTime, Time };

Shown builtInFormat(int id) {
  switch (id) {
    case 14: case 15: case 16: case 17:
    case 27: case 28: case 29: case 30: case 31: case 36:
    case 50: case 51: case 52: case 53: case 54: case 57: case 58:
      return Shown::Date;
    case 22:
      return Shown::DateTime;
    case 18: case 19: case 20: case 21: case 45: case 46: case 47:
    case 32: case 33: case 34: case 35: case 55: case 56:
      return Shown::Time;
    default:
      return Shown::Number;
  }
}

// A custom format is a date when it holds y, m or d outside quoted text, brackets and escaped
// characters; an "m" beside hours or seconds counts minutes.
Shown customFormat(const QString& code) {
  bool y = false, m = false, d = false, h = false, s = false;
  for (qsizetype i = 0; i < code.size(); ++i) {
    const QChar c = code[i];
    if (c == QLatin1Char('"')) {
      i = code.indexOf(QLatin1Char('"'), i + 1);
      if (i < 0) break;
    } else if (c == QLatin1Char('[')) {
      i = code.indexOf(QLatin1Char(']'), i + 1);
      if (i < 0) break;
    } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
      ++i;
    } else {
      switch (c.toLower().unicode()) {
        case 'y': y = true; break;
        case 'm': m = true; break;
        case 'd': d = true; break;
        case 'h': h = true; break;
        case 's': s = true; break;
        default: break;
      }
    }
  }
  const bool time = h || s;
  const bool date = y || d || (m && !time);
  if (date) return time ? Shown::DateTime : Shown::Date;
  return time ? Shown::Time : Shown::Number;
}

// A serial day number as the cell kind and text the .xls reader gives.
ExcelCell dateCell(double serial, bool date1904, Shown shown) {
  ExcelCell c;
  if (!std::isfinite(serial) || serial < 0 || serial >= 2958466) {  // beyond 9999-12-31: a number
    c.kind = ExcelCell::Number;
    c.number = serial;
    return c;
  }
  auto days = static_cast<qint64>(std::floor(serial));
  qint64 seconds = std::llround((serial - double(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  // The 1900 system counts a 29 February 1900 that never was: days before it start a day later.
  const QDate base = date1904 ? QDate(1904, 1, 1) : (days < 61 ? QDate(1899, 12, 31) : QDate(1899, 12, 30));
  const QDateTime at(base.addDays(days), QTime(0, 0).addSecs(int(seconds)));
  switch (shown) {
    case Shown::Time:
      c.kind = ExcelCell::Time;
      c.text = at.toString(QStringLiteral("HH:mm:ss"));
      break;
    case Shown::DateTime:
      c.kind = ExcelCell::DateTime;
      c.text = at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      break;
    default:
      c.kind = ExcelCell::Date;
      c.text = at.toString(QStringLiteral("yyyy-MM-dd"));
      break;
  }
  return c;
}

// "AB12" as a column and a row from 0; false for anything else.
bool cellReference(QStringView ref, int* column, int* row) {
  qsizetype i = 0;
  int col = 0;
  while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
    col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
    if (col > kMaxColumns) return false;
    ++i;
  }
  bool ok = false;
  const int r = ref.mid(i).toInt(&ok);
  if (i == 0 || !ok || r < 1 || r > kMaxRows) return false;
  *column = col - 1;
  *row = r - 1;
  return true;
}

struct Workbook {
  QString sheetName;
  QString sheetPart;
  QString stringsPart;
  QString stylesPart;
  bool date1904 = false;
};

struct SheetParser {
  const QStringList& strings;
  const std::vector<Shown>& styles;
  bool date1904;
  ExcelSheet& sheet;

  bool place(int row, int column, ExcelCell&& cell) {
    if (cell.kind == ExcelCell::Empty) return true;
    if (row >= static_cast<int>(sheet.rows.size())) sheet.rows.resize(static_cast<size_t>(row) + 1);
    auto& r = sheet.rows[static_cast<size_t>(row)];
    if (column >= static_cast<int>(r.size())) r.resize(static_cast<size_t>(column) + 1);
    r[static_cast<size_t>(column)] = std::move(cell);
    sheet.columns = std::max(sheet.columns, column + 1);
    return true;
  }

  // Reads one <c> element; returns after its end.
  bool cell(QXmlStreamReader& xml, int row, int column) {
    const QString type = xml.attributes().value(QLatin1String("t")).toString();
    const int style = xml.attributes().value(QLatin1String("s")).toInt();
    QString value;
    bool hasValue = false;
    QString inlineText;
    bool hasInline = false;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
      xml.readNext();
      if (xml.isStartElement()) {
        if (depth == 1 && xml.name() == u"v") {
          value = xml.readElementText();
          hasValue = true;
          continue;
        }
        if (depth == 1 && xml.name() == u"is") {
          inlineText = richText(xml);
          hasInline = true;
          continue;
        }
        ++depth;
      } else if (xml.isEndElement()) {
        --depth;
      }
    }
    ExcelCell c;
    const auto text = [&c](const QString& t) {
      // A text of no characters is as empty as a cell without a value.
      if (t.isEmpty()) return;
      c.kind = ExcelCell::Text;
      c.text = t;
    };
    if (type == u"inlineStr") {
      if (hasInline) text(inlineText);
    } else if (!hasValue) {
      // a cell with a format only
    } else if (type == u"s") {
      bool ok = false;
      const int index = value.trimmed().toInt(&ok);
      if (!ok || index < 0 || index >= strings.size()) return false;
      text(strings[index]);
    } else if (type == u"str") {
      text(value);
    } else if (type == u"b") {
      c.kind = ExcelCell::Number;
      c.number = value.trimmed() == u"1" || value.trimmed() == u"true" ? 1 : 0;
    } else if (type == u"e") {
      // an error value (#N/A, #DIV/0!) reads as an empty cell
    } else if (type.isEmpty() || type == u"n") {
      bool ok = false;
      const double number = value.trimmed().toDouble(&ok);
      if (!ok) return false;
      const Shown shown = style >= 0 && style < static_cast<int>(styles.size()) ? styles[static_cast<size_t>(style)] : Shown::Number;
      if (shown == Shown::Number) {
        c.kind = ExcelCell::Number;
        c.number = number;
      } else {
        c = dateCell(number, date1904, shown);
      }
    } else {
      text(value);
    }
    return place(row, column, std::move(c));
  }

  bool parse(QXmlStreamReader& xml) {
    int row = -1;
    int column = -1;
    while (!xml.atEnd()) {
      xml.readNext();
      if (!xml.isStartElement()) continue;
      if (xml.name() == u"row") {
        const QStringView r = xml.attributes().value(QLatin1String("r"));
        bool ok = true;
        row = r.isEmpty() ? row + 1 : r.toInt(&ok) - 1;
        if (!ok || row < 0 || row >= kMaxRows) return false;
        column = -1;
      } else if (xml.name() == u"c") {
        const QStringView ref = xml.attributes().value(QLatin1String("r"));
        if (ref.isEmpty()) {
          row = std::max(row, 0);
          ++column;
          if (column >= kMaxColumns) return false;
        } else if (!cellReference(ref, &column, &row)) {
          return false;
        }
        if (!cell(xml, row, column)) return false;
      }
    }
    return true;
  }
};

}  // namespace

XlsxRead ReadXlsxFirstSheet(const QString& path, ExcelSheet* sheet) {
  int error = 0;
  zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
  if (!zip) return XlsxRead::Damaged;
  struct Close {
    zip_t* z;
    ~Close() { zip_discard(z); }
  } close{zip};

  // The package says which part is the workbook; a macro-enabled one or another kind of document
  // declares another type, and an OpenDocument file has no such list at all.
  QString workbookPart;
  Part p = readPart(zip, QStringLiteral("/[Content_Types].xml"), [&](QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
      xml.readNext();
      if (xml.isStartElement() && xml.name() == u"Override" && workbookPart.isEmpty() &&
          xml.attributes().value(QLatin1String("ContentType")).trimmed() == kWorkbookType)
        workbookPart = xml.attributes().value(QLatin1String("PartName")).toString();
    }
    return true;
  });
  if (p == Part::Missing) return XlsxRead::NotAWorkbook;
  if (p != Part::Read) return outcome(p);
  if (workbookPart.isEmpty()) return XlsxRead::NotAWorkbook;
  if (!workbookPart.startsWith(QLatin1Char('/'))) workbookPart.prepend(QLatin1Char('/'));

  Workbook book;
  QString firstSheetId;
  p = readPart(zip, workbookPart, [&](QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
      xml.readNext();
      if (!xml.isStartElement()) continue;
      if (xml.name() == u"workbookPr") {
        const QStringView v = xml.attributes().value(QLatin1String("date1904"));
        book.date1904 = v == u"1" || v == u"true";
      } else if (xml.name() == u"sheet" && firstSheetId.isEmpty()) {
        book.sheetName = xml.attributes().value(QLatin1String("name")).toString();
        firstSheetId = relationshipId(xml);
      }
    }
    return !firstSheetId.isEmpty();
  });
  if (p != Part::Read) return outcome(p);

  const qsizetype slash = workbookPart.lastIndexOf(QLatin1Char('/'));
  const QString relsPart = workbookPart.left(slash) + QStringLiteral("/_rels/") + workbookPart.mid(slash + 1) + QStringLiteral(".rels");
  p = readPart(zip, relsPart, [&](QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
      xml.readNext();
      if (!xml.isStartElement() || xml.name() != u"Relationship") continue;
      const auto a = xml.attributes();
      if (a.value(QLatin1String("TargetMode")) == u"External") continue;
      const QString target = resolve(workbookPart, a.value(QLatin1String("Target")).toString());
      const QStringView type = a.value(QLatin1String("Type"));
      if (a.value(QLatin1String("Id")) == firstSheetId) book.sheetPart = target;
      else if (type.endsWith(u"/sharedStrings")) book.stringsPart = target;
      else if (type.endsWith(u"/styles")) book.stylesPart = target;
    }
    return !book.sheetPart.isEmpty();
  });
  if (p != Part::Read) return outcome(p);

  QStringList strings;
  if (!book.stringsPart.isEmpty()) {
    p = readPart(zip, book.stringsPart, [&](QXmlStreamReader& xml) {
      while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si") strings << richText(xml);
      }
      return true;
    });
    if (p != Part::Read) return outcome(p);
  }

  std::vector<Shown> styles;
  if (!book.stylesPart.isEmpty()) {
    QHash<int, QString> custom;
    std::vector<int> formats;
    p = readPart(zip, book.stylesPart, [&](QXmlStreamReader& xml) {
      bool cellFormats = false;
      while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"cellXfs") cellFormats = false;
        if (!xml.isStartElement()) continue;
        const auto a = xml.attributes();
        if (xml.name() == u"numFmt") custom.insert(a.value(QLatin1String("numFmtId")).toInt(), a.value(QLatin1String("formatCode")).toString());
        else if (xml.name() == u"cellXfs") cellFormats = true;
        else if (cellFormats && xml.name() == u"xf") formats.push_back(a.value(QLatin1String("numFmtId")).toInt());
      }
      return true;
    });
    if (p != Part::Read) return outcome(p);
    for (int id : formats) styles.push_back(custom.contains(id) ? customFormat(custom.value(id)) : builtInFormat(id));
  }

  ExcelSheet read;
  read.name = book.sheetName;
  SheetParser parser{strings, styles, book.date1904, read};
  p = readPart(zip, book.sheetPart, [&](QXmlStreamReader& xml) { return parser.parse(xml); });
  if (p != Part::Read) return outcome(p);
  *sheet = std::move(read);
  return XlsxRead::Done;
}
