#pragma once
// The schema and seed rows the program was built with (db/schema.txt and db/seed.json, compiled in),
// so a database can be brought up to date where the source files are not at hand.
#include <QByteArray>
#include <QStringList>

#include "app/data/DatabaseBuilder.h"

QByteArray BuiltInSchemaText();
QByteArray BuiltInSeedJson();
const Schema& BuiltInSchema();

// The upgrade the database tool gives, from the built-in schema and seed rows; what it added.
QStringList UpgradeToBuiltInSchema(Connection& conn, const BuildOptions& options);
