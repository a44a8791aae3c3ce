#pragma once
// Creates the system's tables and seed rows in an empty database (the shipped file, or a SQL Server
// database being set up).
#include <QString>

#include "app/data/Database.h"
#include "app/data/Schema.h"

struct BuildOptions {
  bool localFile = true;  // the local file also holds the connection settings table PJ_Sys
};

// Runs the DDL of every table and inserts the seed rows (JSON text: [{table, localOnly?, rows:[{col: value}]}]),
// all in one transaction.
void BuildDatabase(Connection& conn, const Schema& schema, const QByteArray& seedJson, const BuildOptions& options);
