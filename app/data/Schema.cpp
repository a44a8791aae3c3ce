#include "app/data/Schema.h"

#include <QFile>
#include <QRegularExpression>

const SchemaColumn* SchemaTable::column(const QString& n) const {
  for (const auto& c : columns)
    if (c.name == n) return &c;
  return nullptr;
}

const SchemaTable* Schema::table(const QString& n) const {
  for (const auto& t : tables)
    if (t.name.compare(n, Qt::CaseInsensitive) == 0) return &t;
  return nullptr;
}

namespace {
const QStringList kTypes = {QStringLiteral("key"), QStringLiteral("text"), QStringLiteral("longtext"),
                            QStringLiteral("int"), QStringLiteral("small"), QStringLiteral("check"),
                            QStringLiteral("money"), QStringLiteral("rate"), QStringLiteral("real"),
                            QStringLiteral("date"), QStringLiteral("stamp")};

// Removes a trailing "# comment" that is not inside a quoted default.
QString stripComment(const QString& line) {
  bool quoted = false;
  for (int i = 0; i < line.size(); ++i) {
    if (line[i] == QLatin1Char('\'')) quoted = !quoted;
    if (line[i] == QLatin1Char('#') && !quoted) return line.left(i);
  }
  return line;
}

AppError bad(int lineNo, const QString& why) {
  return AppError(Err::InvalidCall, QStringLiteral("schema line %1: %2").arg(lineNo).arg(why));
}
}  // namespace

Schema ParseSchema(const QString& text) {
  Schema s;
  const QStringList lines = text.split(QLatin1Char('\n'));
  static const QRegularExpression ws(QStringLiteral("\\s+"));
  for (int i = 0; i < lines.size(); ++i) {
    const int lineNo = i + 1;
    QString line = stripComment(lines[i]).trimmed();
    if (line.isEmpty()) continue;
    QStringList words = line.split(ws, Qt::SkipEmptyParts);
    if (words[0] == QLatin1String("table")) {
      if (words.size() != 2) throw bad(lineNo, QStringLiteral("table takes one name"));
      if (s.table(words[1])) throw bad(lineNo, QStringLiteral("table %1 twice").arg(words[1]));
      s.tables.push_back(SchemaTable{words[1], {}, {}, {}});
      continue;
    }
    if (s.tables.empty()) throw bad(lineNo, QStringLiteral("column before any table"));
    SchemaTable& t = s.tables.back();
    if (words[0] == QLatin1String("index") || words[0] == QLatin1String("unique")) {
      // "index a,b" indexes several columns in that order; "index a,b with c,d" also keeps c and d in
      // the index, so that a query of those columns reads the index alone.
      const bool with = words.size() == 4 && words[2] == QLatin1String("with");
      if (words.size() != 2 && !with) throw bad(lineNo, QStringLiteral("index of an unknown column"));
      const QString spec = with ? words[1] + QLatin1Char(';') + words[3] : words[1];
      for (const QString& part : IndexColumns(spec).split(QLatin1Char(',')))
        if (!t.column(part)) throw bad(lineNo, QStringLiteral("index of an unknown column"));
      (words[0] == QLatin1String("index") ? t.indexes : t.uniques) << spec;
      continue;
    }
    if (words.size() < 2 || !kTypes.contains(words[1])) throw bad(lineNo, QStringLiteral("unknown type"));
    if (t.column(words[0])) throw bad(lineNo, QStringLiteral("column %1 twice").arg(words[0]));
    SchemaColumn c;
    c.name = words[0];
    c.type = words[1];
    int k = 2;
    if (c.type == QLatin1String("text") && k < words.size()) {
      bool ok = false;
      int n = words[k].toInt(&ok);
      if (ok) {
        c.length = n;
        ++k;
      }
    }
    for (; k < words.size(); ++k) {
      if (words[k] == QLatin1String("notnull")) {
        c.notNull = true;
      } else if (words[k] == QLatin1String("default") && k + 1 < words.size()) {
        c.defaultValue = words[++k];
      } else {
        throw bad(lineNo, QStringLiteral("unknown word %1").arg(words[k]));
      }
    }
    t.columns.push_back(c);
  }
  for (const auto& t : s.tables)
    if (t.columns.empty() || t.columns.front().type != QLatin1String("key"))
      throw AppError(Err::InvalidCall, QStringLiteral("table %1 must start with its key 编号").arg(t.name));
  return s;
}

Schema LoadSchemaFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw AppError(Err::InvalidCall, QStringLiteral("cannot read %1").arg(path));
  return ParseSchema(QString::fromUtf8(f.readAll()));
}

namespace {
QString columnType(const SchemaColumn& c, bool server) {
  const QString& t = c.type;
  if (!server) {
    if (t == QLatin1String("int") || t == QLatin1String("small") || t == QLatin1String("check")) return QStringLiteral("INTEGER");
    if (t == QLatin1String("money") || t == QLatin1String("rate") || t == QLatin1String("real")) return QStringLiteral("REAL");
    return QStringLiteral("TEXT");
  }
  if (t == QLatin1String("text")) return QStringLiteral("nvarchar(%1) COLLATE Chinese_PRC_CI_AS").arg(c.length > 0 ? c.length : 255);
  if (t == QLatin1String("longtext")) return QStringLiteral("nvarchar(max) COLLATE Chinese_PRC_CI_AS");
  if (t == QLatin1String("int")) return QStringLiteral("int");
  if (t == QLatin1String("small") || t == QLatin1String("check")) return QStringLiteral("smallint");
  if (t == QLatin1String("rate")) return QStringLiteral("decimal(19,8)");
  if (t == QLatin1String("money") || t == QLatin1String("real")) return QStringLiteral("decimal(19,4)");
  if (t == QLatin1String("date")) return QStringLiteral("date");
  return QStringLiteral("datetime2(0)");
}
// "name type [DEFAULT v] [NOT NULL]"; `existingRows` leaves out what cannot be added to a table that
// already has rows.
QString columnDdl(const SchemaColumn& c, const SqlDialect& dialect, bool existingRows) {
  const bool server = dialect.isServer();
  QString def = c.name + QLatin1Char(' ') + columnType(c, server);
  bool hasDefault = false;
  if (!c.defaultValue.isEmpty()) {
    QString v = c.defaultValue;
    const bool now = v == QLatin1String("now");
    if (now) v = dialect.nowExpr();
    else if (server && v.startsWith(QLatin1Char('\''))) v.prepend(QLatin1Char('N'));
    if (!(existingRows && now && !server)) {
      def += QStringLiteral(" DEFAULT ") + v;
      hasDefault = true;
    }
  }
  if (c.notNull && (hasDefault || !existingRows)) def += QStringLiteral(" NOT NULL");
  return def;
}
}  // namespace

QString AddColumnDdl(const SchemaTable& table, const SchemaColumn& column, const SqlDialect& dialect) {
  const QString def = columnDdl(column, dialect, true);
  if (!dialect.isServer()) return QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table.name, def);
  // Without WITH VALUES SQL Server leaves a nullable column NULL in the rows already there.
  const bool fill = def.contains(QStringLiteral(" DEFAULT ")) && !def.endsWith(QStringLiteral(" NOT NULL"));
  return QStringLiteral("ALTER TABLE %1 ADD %2%3").arg(table.name, def, fill ? QStringLiteral(" WITH VALUES") : QString());
}

QStringList TableDdl(const SchemaTable& table, const SqlDialect& dialect) {
  const bool server = dialect.isServer();
  QStringList cols;
  for (const auto& c : table.columns) {
    if (c.type == QLatin1String("key")) {
      cols << c.name + (server ? QStringLiteral(" int IDENTITY(1,1) PRIMARY KEY") : QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"));
      continue;
    }
    cols << columnDdl(c, dialect, false);
  }
  QStringList out;
  out << QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, cols.join(QStringLiteral(", ")));
  int n = 0;
  for (const auto& c : table.indexes)
    out << QStringLiteral("CREATE INDEX IX_%1_%2 ON %1 %3").arg(table.name).arg(++n).arg(IndexColumnsDdl(c, dialect));
  for (const auto& c : table.uniques)
    out << QStringLiteral("CREATE UNIQUE INDEX UX_%1_%2 ON %1 %3").arg(table.name).arg(++n).arg(IndexColumnsDdl(c, dialect));
  return out;
}

QString IndexColumns(const QString& spec) { return QString(spec).replace(QLatin1Char(';'), QLatin1Char(',')); }

QString IndexColumnsDdl(const QString& spec, const SqlDialect& dialect) {
  const qsizetype with = spec.indexOf(QLatin1Char(';'));
  // SQL Server keeps the carried columns out of the key, whose length it limits.
  if (with >= 0 && dialect.isServer()) return QStringLiteral("(%1) INCLUDE (%2)").arg(spec.left(with), spec.mid(with + 1));
  return QStringLiteral("(%1)").arg(IndexColumns(spec));
}
