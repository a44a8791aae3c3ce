#include "app/data/DatabaseBuilder.h"

#include "app/data/SettledInterest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QMap>
#include <QSet>

#include <cmath>

#include "app/data/DefaultSettings.h"

namespace {
const QString kLocalOnlyTable = QStringLiteral("PJ_Sys");

QVariant seedValue(const QJsonValue& v) {
  if (v.isDouble()) {
    double d = v.toDouble();
    if (d == std::floor(d) && std::fabs(d) < 9e15) return QVariant(static_cast<qint64>(d));
    return QVariant(d);
  }
  if (v.isNull()) return {};
  QString s = v.toString();
  // The default settings list is written out by the program's own definition of it.
  static const QString token = QStringLiteral("@default-settings:");
  if (s.startsWith(token)) return DefaultSettingsList(s.mid(token.size()));
  return s;
}
}  // namespace

namespace {
QJsonArray seedBlocks(const QByteArray& seedJson) {
  QJsonParseError err{};
  QJsonDocument doc = QJsonDocument::fromJson(seedJson, &err);
  if (err.error != QJsonParseError::NoError || !doc.isArray())
    throw AppError(Err::InvalidCall, QStringLiteral("seed rows: %1").arg(err.errorString()));
  return doc.array();
}

// Inserts the seed rows of every table `wanted` accepts.
void insertSeedRows(Connection& conn, const Schema& schema, const QJsonArray& blocks, const BuildOptions& options,
                    const std::function<bool(const QString&)>& wanted) {
  for (const QJsonValue& block : blocks) {
    QJsonObject b = block.toObject();
    QString table = b.value(QStringLiteral("table")).toString();
    if (b.value(QStringLiteral("localOnly")).toBool() && !options.localFile) continue;
    const SchemaTable* st = schema.table(table);
    if (!st) throw AppError(Err::InvalidCall, QStringLiteral("seed rows for unknown table %1").arg(table));
    if (!wanted(st->name)) continue;
    for (const QJsonValue& rowValue : b.value(QStringLiteral("rows")).toArray()) {
      QJsonObject row = rowValue.toObject();
      QStringList names, marks;
      QVariantList values;
      for (auto it = row.begin(); it != row.end(); ++it) {
        if (!st->column(it.key())) throw AppError(Err::InvalidCall, QStringLiteral("seed column %1.%2 is not in the schema").arg(table, it.key()));
        names << it.key();
        marks << QStringLiteral("?");
        values << seedValue(it.value());
      }
      conn.Execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))), values);
    }
  }
}

bool skipped(const SchemaTable& t, const BuildOptions& options) { return !options.localFile && t.name == kLocalOnlyTable; }

// Runs `work` in one transaction of its own: all or nothing.
void inOneTransaction(Connection& conn, const std::function<void()>& work) {
  conn.begin();
  try {
    work();
    conn.commit();
  } catch (...) {
    conn.rollback();
    throw;
  }
}

QString key(const QString& name) { return name.toLower(); }

// What a database already has: its tables, their columns, and the columns of each index in order,
// joined by "," ("u:" for a unique index, "i:" for any index), all in lower case.
struct Catalogue {
  QSet<QString> tables;
  QHash<QString, QSet<QString>> columns;
  QHash<QString, QSet<QString>> indexes;
};


Catalogue readCatalogue(Connection& conn, const Schema& schema) {
  Catalogue c;
  const bool server = conn.dialect().isServer();
  for (const auto& row : conn.query(server ? QStringLiteral("select name from sys.tables")
                                           : QStringLiteral("select name from sqlite_master where type='table'")).rows)
    c.tables << key(row.value(0).toString());
  for (const auto& t : schema.tables) {
    const QString k = key(t.name);
    if (!c.tables.contains(k)) continue;
    auto& cols = c.columns[k];
    auto& idx = c.indexes[k];
    if (server) {
      for (const auto& row : conn.query(QStringLiteral("select name from sys.columns where object_id = object_id(?)"), {t.name}).rows)
        cols << key(row.value(0).toString());
      // Key columns in key order, then the carried ones: the order the schema lists them in.
      QMap<int, QStringList> keys;
      QSet<int> uniqueIds;
      for (const auto& row : conn.query(QStringLiteral("select i.index_id, c.name, i.is_unique from sys.indexes i "
                                                       "join sys.index_columns ic on ic.object_id = i.object_id and ic.index_id = i.index_id "
                                                       "join sys.columns c on c.object_id = ic.object_id and c.column_id = ic.column_id "
                                                       "where i.object_id = object_id(?) "
                                                       "order by i.index_id, ic.is_included_column, ic.key_ordinal, ic.index_column_id"),
                                        {t.name}).rows) {
        keys[row.value(0).toInt()] << key(row.value(1).toString());
        if (row.value(2).toInt() != 0) uniqueIds << row.value(0).toInt();
      }
      for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        idx << QStringLiteral("i:") + it.value().join(QLatin1Char(','));
        if (uniqueIds.contains(it.key())) idx << QStringLiteral("u:") + it.value().join(QLatin1Char(','));
      }
      continue;
    }
    const QString quoted = QLatin1Char('"') + QString(t.name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    const QueryResult info = conn.query(QStringLiteral("PRAGMA table_info(%1)").arg(quoted));
    for (const auto& row : info.rows) cols << key(row.value(info.columnIndex(QStringLiteral("name"))).toString());
    const QueryResult list = conn.query(QStringLiteral("PRAGMA index_list(%1)").arg(quoted));
    for (const auto& row : list.rows) {
      const QString name = row.value(list.columnIndex(QStringLiteral("name"))).toString();
      const bool unique = row.value(list.columnIndex(QStringLiteral("unique"))).toInt() != 0;
      const QueryResult parts = conn.query(QStringLiteral("PRAGMA index_info(\"%1\")").arg(QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
      QMap<int, QString> columns;
      for (const auto& col : parts.rows)
        columns[col.value(parts.columnIndex(QStringLiteral("seqno"))).toInt()] = key(col.value(parts.columnIndex(QStringLiteral("name"))).toString());
      const QString joined = QStringList(columns.values()).join(QLatin1Char(','));
      idx << QStringLiteral("i:") + joined;
      if (unique) idx << QStringLiteral("u:") + joined;
    }
  }
  return c;
}
}  // namespace

void BuildDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options) {
  const QJsonArray blocks = seedBlocks(seedJson);
  inOneTransaction(conn, [&] {
    for (const auto& t : schema.tables) {
      if (skipped(t, options)) continue;
      for (const QString& sql : TableDdl(t, conn.dialect())) conn.Execute(sql);
    }
    insertSeedRows(conn, schema, blocks, options, [](const QString&) { return true; });
  });
}

QStringList UpgradeDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options,
                            const std::function<void()>& beforeChange, QStringList* corrected) {
  const QJsonArray blocks = seedBlocks(seedJson);
  QStringList added;
  inOneTransaction(conn, [&] {
    const Catalogue have = readCatalogue(conn, schema);
    QStringList statements;
    QSet<QString> newTables;
    for (const auto& t : schema.tables) {
      if (skipped(t, options)) continue;
      const QString k = key(t.name);
      if (!have.tables.contains(k)) {
        statements << TableDdl(t, conn.dialect());
        newTables << t.name;
        added << QStringLiteral("table ") + t.name;
        continue;
      }
      for (const auto& c : t.columns) {
        if (have.columns.value(k).contains(key(c.name))) continue;
        statements << AddColumnDdl(t, c, conn.dialect());
        added << QStringLiteral("column %1.%2").arg(t.name, c.name);
      }
      auto addIndex = [&](const QString& spec, bool unique) {
        const QString columns = IndexColumns(spec);
        if (have.indexes.value(k).contains((unique ? QStringLiteral("u:") : QStringLiteral("i:")) + key(columns))) return;
        statements << QStringLiteral("CREATE %1INDEX %2_%3_%4 ON %3 %5")
                          .arg(unique ? QStringLiteral("UNIQUE ") : QString(), unique ? QStringLiteral("UX") : QStringLiteral("IX"), t.name,
                               QString(columns).replace(QLatin1Char(','), QLatin1Char('_')), IndexColumnsDdl(spec, conn.dialect()));
        added << QStringLiteral("index %1(%2)").arg(t.name, columns);
      };
      for (const QString& c : t.indexes) addIndex(c, false);
      for (const QString& c : t.uniques) addIndex(c, true);
    }
    bool backedUp = false;
    auto once = [&] {
      if (!backedUp && beforeChange) beforeChange();
      backedUp = true;
    };
    if (!statements.isEmpty()) {
      once();
      for (const QString& sql : statements) conn.Execute(sql);
      insertSeedRows(conn, schema, blocks, options, [&newTables](const QString& t) { return newTables.contains(t); });
    }
    const QStringList fixed = CorrectOldData(conn, once);
    if (corrected) *corrected = fixed;
  });
  return added;
}
