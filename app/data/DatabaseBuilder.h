#pragma once
// Creates the system's tables and seed rows in an empty database (the shipped file, or a SQL Server
// database being set up), and brings an existing database up to the schema by adding what it lacks.
#include <QString>
#include <QStringList>

#include <functional>

#include "app/data/Database.h"
#include "app/data/Schema.h"

struct BuildOptions {
  bool localFile = true;  // the local file also holds the connection settings table PJ_Sys
};

// Runs the DDL of every table and inserts the seed rows (JSON text: [{table, localOnly?, rows:[{col: value}]}]),
// all in one transaction.
void BuildDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options);

// Adds to an existing database what the schema has and it lacks: missing tables (with their seed
// rows), missing columns (existing rows get the column's default) and missing indexes. Nothing is
// dropped, renamed or rewritten; columns and tables the schema no longer lists stay. Everything runs
// in one transaction, which holds the write lock from the first look at the tables: `beforeChange`
// runs inside it (a backup copy of a file is consistent then), and only when something is to be added.
// Returns what was added, one line each ("table T", "column T.C", "index T(C)"); empty when the
// database already had it all. The one exception to adding only: data older versions left (see
// CorrectOldData) is corrected in the same transaction, what changed into *corrected.
QStringList UpgradeDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options,
                            const std::function<void()>& beforeChange = {}, QStringList* corrected = nullptr);
