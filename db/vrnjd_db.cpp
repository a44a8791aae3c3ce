// Builds the shipped database file, or the same tables and seed rows in a SQL Server database, and
// brings an existing database up to the schema.
//   vrnjd_db --schema db/schema.txt --seed db/seed.json --sqlite build/bin/data/data.pbb
//     makes the file when there is none; an existing file is never replaced: what it lacks of the
//     schema is added to it, after a copy of it has been saved into Databackup/ beside its folder.
//   vrnjd_db --schema db/schema.txt --seed db/seed.json --odbc "DRIVER={FreeTDS};SERVER=...;DATABASE=...;UID=...;PWD=...;TDS_Version=7.4;ClientCharset=UTF-8" [--upgrade]
//     creates the tables in an empty database, or with --upgrade adds what an existing one lacks.
//   vrnjd_db --schema db/schema.txt --ddl sqlserver
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/data/ConnectionSettings.h"
#include "app/data/DatabaseBuilder.h"
#include "app/services/LocalDatabaseLock.h"
#include "app/services/PBclass.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "platform/FileLock.h"
#include "platform/SafeFiles.h"

namespace {
int usage() {
  std::fprintf(stderr,
               "usage: vrnjd_db --schema FILE [--seed FILE] (--sqlite FILE [--key KEY] | --odbc CONNSTR [--dialect sqlserver|sqlite] [--upgrade] | --ddl sqlite|sqlserver)\n");
  return 2;
}
QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw AppError(Err::InvalidCall, QStringLiteral("cannot read %1").arg(path));
  return f.readAll();
}

void tell(const QString& where, const QStringList& added, const QStringList& corrected) {
  for (const QString& a : added) std::printf("vrnjd_db: %s: added %s\n", where.toUtf8().constData(), a.toUtf8().constData());
  for (const QString& c : corrected) std::printf("vrnjd_db: %s: %s\n", where.toUtf8().constData(), c.toUtf8().constData());
}

// A copy of the real file of `db` in Databackup/ beside the folder of its name (the program folder's
// backup folder, never one beside the real file behind a link), byte for byte. Made through a part
// file as backups are, so a killed run leaves a name the next start removes; a name anything stands
// at, a link too, is taken, and the copy never replaces a file.
QString backupCopyOf(const DatabaseFile& db) {
  QDir folder = QFileInfo(db.name).absoluteDir();
  folder.cdUp();
  const QString dir = folder.absoluteFilePath(QStringLiteral("Databackup"));
  if (!QDir().mkpath(dir)) throw AppError(Err::InvalidCall, QStringLiteral("cannot create %1").arg(dir));
  const QString stem = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")) + QStringLiteral("_升级前");
  return MakeBackupFile(dir, stem, [&db](const QString& part) {
    if (const AppError failed = CopyBackupFile(db.real, part, MaskedMode(0666)); failed.number != 0) throw failed;
  });
}

// The program holds data.pbb.lock beside its file (and beside the real file, where the name is a
// link) while it runs. The tool checks a file without them and takes them only once it has
// something to write, so a running program blocks only a real change.
void takeProgramLock(const DatabaseFile& db) {
  for (const QString& lock : DatabaseLockFiles(db)) {
    // A lock file another account made and this one cannot open at all may be held: treated as held.
    const FileLockState s = AcquireFileLock(lock);
    if (s == FileLockState::Busy || s == FileLockState::Inaccessible)
      throw AppError(Err::InvalidCall, QStringLiteral("程序正在使用数据库，请先退出程序再升级。"));
    // A link or a FIFO at the lock's name is nobody's lock, and a second name of it may be anybody's:
    // nothing is changed beside it.
    if (s == FileLockState::NotRegular || s == FileLockState::MultipleLinks) throw AppError(Err::InvalidCall, LockRefusalMessage(s, lock));
  }
}

// A new file is built whole beside the target and then moved into place, so a failed build leaves
// no half file; the move never replaces a file that appeared in the meantime.
void createFile(const QString& path, const QString& key, const Schema& schema, const QByteArray& seed) {
  QFileInfo target(path);
  QDir().mkpath(target.absolutePath());
  takeProgramLock(ResolvedDatabaseFile(target.absoluteFilePath()));
  const QString tmp = target.absoluteFilePath() + QStringLiteral(".tmp");
  // Made anew, whatever stood at the name: SQLite would follow a link there.
  RemoveName(tmp + QStringLiteral("-journal"));
  if (!MakeFreshFile(tmp, MaskedMode(0644))) throw AppError(Err::InvalidCall, QStringLiteral("cannot write %1").arg(tmp));
  {
    Connection conn(MakeSqlCipherBackend(tmp, key, true), SqlDialect{DialectKind::Sqlite});
    BuildDatabase(conn, schema, seed, BuildOptions{true});
    conn.close();
  }
  if (!RenameNoReplace(tmp, target.absoluteFilePath())) {
    const int err = errno;
    RemoveName(tmp);
    throw AppError(Err::InvalidCall, QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
  }
}

// An existing file gets what it lacks, after a copy of it is saved; the copy is taken under the
// upgrade's write lock, so nobody changes the file between the copy and the upgrade. A file of
// earlier versions' 1024-byte pages is then rewritten in this version's pages, from the closed file
// after that copy; when that fails the file stays as it was (it still opens) and the build goes on.
// `db` is opened, copied, converted and replaced by its real file, so a link to it stays a link.
void upgradeFile(const DatabaseFile& db, const QString& key, const Schema& schema, const QByteArray& seed) {
  const QString& path = db.name;
  Connection conn(MakeSqlCipherBackend(db.real, key), SqlDialect{DialectKind::Sqlite});
  conn.ensureOpen();
  const bool oldPages = DatabasePageSize(conn) == kSqlCipherOldPageSize;
  QString copy;
  QStringList corrected;
  auto takeCopy = [&] {
    if (!copy.isEmpty()) return;
    takeProgramLock(db);
    copy = backupCopyOf(db);
  };
  const QStringList added = UpgradeDatabase(conn, schema, seed, BuildOptions{true}, takeCopy, &corrected);
  conn.close();
  if (oldPages) takeCopy();
  if (!copy.isEmpty()) std::printf("vrnjd_db: %s: saved a copy as %s\n", path.toUtf8().constData(), copy.toUtf8().constData());
  if (oldPages) {
    QString reason;
    if (ConvertDatabaseFile(db.real, key, &reason, db.name))
      corrected << QStringLiteral("rewritten in pages of %1 bytes (was %2)").arg(kSqlCipherPageSize).arg(kSqlCipherOldPageSize);
    else
      std::fprintf(stderr, "vrnjd_db: %s: not rewritten in pages of %d bytes, left as it was (it still opens): %s\n",
                   path.toUtf8().constData(), kSqlCipherPageSize, reason.toUtf8().constData());
  }
  tell(path, added, corrected);
}
}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  QString schemaPath, seedPath, sqlitePath, odbc, ddl, dialectName = QStringLiteral("sqlserver");
  QString key = PBclass().mySys(1).toString();
  bool upgrade = false;
  for (int i = 1; i < args.size(); ++i) {
    auto next = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
    if (args[i] == QLatin1String("--schema")) schemaPath = next();
    else if (args[i] == QLatin1String("--seed")) seedPath = next();
    else if (args[i] == QLatin1String("--sqlite")) sqlitePath = next();
    else if (args[i] == QLatin1String("--key")) key = next();
    else if (args[i] == QLatin1String("--odbc")) odbc = next();
    else if (args[i] == QLatin1String("--dialect")) dialectName = next();
    else if (args[i] == QLatin1String("--ddl")) ddl = next();
    else if (args[i] == QLatin1String("--upgrade")) upgrade = true;
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
      // A name that is a link is resolved once, here, and used by its real file from then on; a link
      // of another account, or one that leads nowhere, is refused with nothing made or changed.
      const DatabaseFile db = ResolvedDatabaseFile(QFileInfo(sqlitePath).absoluteFilePath());
      if (db.link == DatabaseFile::Foreign || db.link == DatabaseFile::Dangling) throw AppError(Err::InvalidCall, db.refusal);
      // What SQLite would roll back from or write through beside the file is judged before it opens.
      if (const QString refusal = UnsafeSideFileMessage(db.real); !refusal.isEmpty()) throw AppError(Err::InvalidCall, refusal);
      if (QFileInfo::exists(db.real)) upgradeFile(db, key, schema, seed);
      else createFile(sqlitePath, key, schema, seed);
      return 0;
    }
    if (!odbc.isEmpty()) {
      SqlDialect d{dialectName == QLatin1String("sqlite") ? DialectKind::Sqlite : DialectKind::SqlServer};
      Connection conn(MakeOdbcBackend(odbc, d.isServer(), 0), d);
      if (upgrade) {
        QStringList corrected;
        const QStringList added = UpgradeDatabase(conn, schema, seed, BuildOptions{false}, {}, &corrected);
        tell(QStringLiteral("database"), added, corrected);
      }
      else BuildDatabase(conn, schema, seed, BuildOptions{false});
      return 0;
    }
    return usage();
  } catch (const AppError& e) {
    std::fprintf(stderr, "vrnjd_db: %s (%d)\n", e.description.toUtf8().constData(), e.number);
    return 1;
  }
}
