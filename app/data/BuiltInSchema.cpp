#include "app/data/BuiltInSchema.h"

const Schema& BuiltInSchema() {
  static const Schema schema = ParseSchema(QString::fromUtf8(BuiltInSchemaText()));
  return schema;
}

QStringList UpgradeToBuiltInSchema(Connection& conn, const BuildOptions& options) {
  return UpgradeDatabase(conn, BuiltInSchema(), BuiltInSeedJson(), options);
}
