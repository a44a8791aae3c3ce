// Builds the shipped database file, or the same tables and seed rows in a SQL Server database.
//   vrnjd_db --schema db/schema.txt --seed db/seed.json --sqlite build/bin/data/data.pbb
//   vrnjd_db --schema db/schema.txt --seed db/seed.json --odbc "DRIVER={FreeTDS};SERVER=...;DATABASE=...;UID=...;PWD=...;TDS_Version=7.4;ClientCharset=UTF-8"
//   vrnjd_db --schema db/schema.txt --ddl sqlserver
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <cstdio>

#include "app/data/DatabaseBuilder.h"
#include "app/services/PBclass.h"

namespace {
int usage() {
  std::fprintf(stderr,
               "usage: vrnjd_db --schema FILE [--seed FILE] (--sqlite OUT [--key KEY] | --odbc CONNSTR [--dialect sqlserver|sqlite] | --ddl sqlite|sqlserver)\n");
  return 2;
}
QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw AppError(Err::InvalidCall, QStringLiteral("cannot read %1").arg(path));
  return f.readAll();
}
}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  QString schemaPath, seedPath, sqlitePath, odbc, ddl, dialectName = QStringLiteral("sqlserver");
  QString key = PBclass().mySys(1).toString();
  for (int i = 1; i < args.size(); ++i) {
    auto next = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
    if (args[i] == QLatin1String("--schema")) schemaPath = next();
    else if (args[i] == QLatin1String("--seed")) seedPath = next();
    else if (args[i] == QLatin1String("--sqlite")) sqlitePath = next();
    else if (args[i] == QLatin1String("--key")) key = next();
    else if (args[i] == QLatin1String("--odbc")) odbc = next();
    else if (args[i] == QLatin1String("--dialect")) dialectName = next();
    else if (args[i] == QLatin1String("--ddl")) ddl = next();
    else return usage();
  }
  if (schemaPath.isEmpty()) return usage();
  try {
    Schema schema = LoadSchemaFile(schemaPath);
    if (!ddl.isEmpty()) {
      SqlDialect d{ddl == QLatin1String("sqlserver") ? DialectKind::SqlServer : DialectKind::Sqlite};
      for (const auto& t : schema.tables)
        for (const QString& s : TableDdl(t, d)) std::printf("%s;\n", s.toUtf8().constData());
      return 0;
    }
    QByteArray seed = seedPath.isEmpty() ? QByteArray("[]") : readFile(seedPath);
    if (!sqlitePath.isEmpty()) {
      // Built whole beside the target, then moved into place: a failed build leaves no half file.
      QFileInfo target(sqlitePath);
      QDir().mkpath(target.absolutePath());
      QString tmp = target.absoluteFilePath() + QStringLiteral(".tmp");
      QFile::remove(tmp);
      {
        Connection conn(MakeSqlCipherBackend(tmp, key, true), SqlDialect{DialectKind::Sqlite});
        BuildDatabase(conn, schema, seed, BuildOptions{true});
        conn.close();
      }
      QFile::remove(target.absoluteFilePath());
      if (!QFile::rename(tmp, target.absoluteFilePath())) throw AppError(Err::InvalidCall, QStringLiteral("cannot write %1").arg(sqlitePath));
      return 0;
    }
    if (!odbc.isEmpty()) {
      SqlDialect d{dialectName == QLatin1String("sqlite") ? DialectKind::Sqlite : DialectKind::SqlServer};
      Connection conn(MakeOdbcBackend(odbc, d.isServer()), d);
      BuildDatabase(conn, schema, seed, BuildOptions{false});
      return 0;
    }
    return usage();
  } catch (const AppError& e) {
    std::fprintf(stderr, "vrnjd_db: %s (%d)\n", e.description.toUtf8().constData(), e.number);
    return 1;
  }
}
