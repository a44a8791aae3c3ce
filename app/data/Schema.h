#pragma once
// The tables of the system, read from the one schema source (db/schema.txt), and the DDL of each
// engine written from it.
#include <QString>
#include <QStringList>

#include <vector>

#include "app/data/Database.h"

struct SchemaColumn {
  QString name;
  QString type;  // key, text, longtext, int, small, check, money, rate, real, date, stamp
  int length = 0;
  QString defaultValue;  // as written: a number, a quoted text or "now"; empty for none
  bool notNull = false;
};

struct SchemaTable {
  QString name;
  std::vector<SchemaColumn> columns;
  QStringList indexes;  // see IndexColumns
  QStringList uniques;
  const SchemaColumn* column(const QString& name) const;
};

struct Schema {
  std::vector<SchemaTable> tables;
  const SchemaTable* table(const QString& name) const;
};

// Parses the schema text; throws AppError with the line number on a malformed line.
Schema ParseSchema(const QString& text);
Schema LoadSchemaFile(const QString& path);
// CREATE TABLE and CREATE INDEX statements for one table in the given dialect.
QStringList TableDdl(const SchemaTable& table, const SqlDialect& dialect);
// An index as the schema lists it ("a,b" or, with carried columns, "a,b;c,d"): all its columns in
// order, and the column list of its CREATE INDEX statement.
QString IndexColumns(const QString& spec);
QString IndexColumnsDdl(const QString& spec, const SqlDialect& dialect);
// The statement that adds a column to an existing table with rows: the rows get the column's
// default. A default the engine cannot give to existing rows (SQLite's "now") is left out, and so is
// "not null" without a default, which neither engine can add to a table with rows.
QString AddColumnDdl(const SchemaTable& table, const SchemaColumn& column, const SqlDialect& dialect);
