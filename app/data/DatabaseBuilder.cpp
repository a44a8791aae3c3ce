#include "app/data/DatabaseBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

void BuildDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options) {
  QJsonParseError err{};
  QJsonDocument doc = QJsonDocument::fromJson(seedJson, &err);
  if (err.error != QJsonParseError::NoError || !doc.isArray())
    throw AppError(Err::InvalidCall, QStringLiteral("seed rows: %1").arg(err.errorString()));

  conn.begin();
  try {
    for (const auto& t : schema.tables) {
      if (!options.localFile && t.name == kLocalOnlyTable) continue;
      for (const QString& sql : TableDdl(t, conn.dialect())) conn.Execute(sql);
    }
    for (const QJsonValue& block : doc.array()) {
      QJsonObject b = block.toObject();
      QString table = b.value(QStringLiteral("table")).toString();
      if (b.value(QStringLiteral("localOnly")).toBool() && !options.localFile) continue;
      const SchemaTable* st = schema.table(table);
      if (!st) throw AppError(Err::InvalidCall, QStringLiteral("seed rows for unknown table %1").arg(table));
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
    conn.commit();
  } catch (...) {
    conn.rollback();
    throw;
  }
}
