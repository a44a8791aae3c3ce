#include "parties/admin/DatabaseMaintenance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/data/BuiltInSchema.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/LocalDatabaseLock.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileLock.h"
#include "platform/SafeFiles.h"

bool gBackupOk = false;

namespace {

// The run-time error number of a path that cannot be reached or written.
constexpr int kPathAccessError = 75;

const QString kRestoreTitle = QStringLiteral("数据库恢复情况");

void report(const ProgressFn& progress, int percent) {
  if (progress) progress(percent);
}

QString cleanFolder(const QString& path) { return QDir::cleanPath(QDir::fromNativeSeparators(path.trimmed())); }

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Creates the folder when missing and proves that a file can be written in it; returns what is wrong
// in words the user understands (the system's own text in the details), or number 0.
AppError backupFolderProblem(const QString& folder) {
  const QString shown = QDir::toNativeSeparators(folder);
  if (!QDir().mkpath(folder))
    return AppError(kPathAccessError, QStringLiteral("无法创建备份目录“%1”，请检查路径是否正确、是否有写入权限！").arg(shown));
  QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.vrnjd-XXXXXX"));
  const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return AppError(kPathAccessError, QStringLiteral("备份目录“%1”不能写入，请选择其他目录！").arg(shown),
                    DbFailure::details(err, shown + QStringLiteral("：") + systemText(err)));
  }
  ::close(fd);
  ::unlink(probe.constData());
  return AppError(0, QString());
}

// Removes a work file of ours and the journal SQLite keeps beside it; a journal left by a killed run
// would otherwise be played back into the next file made under that name.
void removeWorkFile(const QString& path) {
  RemoveName(path);
  RemoveName(path + QStringLiteral("-journal"));
}

// A consistent copy of the database behind `conn`, keyed with `key`, into the new file `target`,
// made with `mode` whatever stood at its name.
void exportInto(Connection& conn, const QString& target, const QString& key, mode_t mode) {
  if (conn.inTransaction()) throw AppError(Err::InvalidCall, QStringLiteral("数据正在保存，请稍后再试。"));
  // The connection may open files but not create them: an empty file is an empty database to it.
  RemoveName(target + QStringLiteral("-journal"));
  if (!MakeFreshFile(target, mode)) {
    const int err = errno;
    throw AppError(kPathAccessError, QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(target), systemText(err)));
  }
  try {
    AttachExportTarget(conn, target, QStringLiteral("vrn_copy"), key);
  } catch (...) {
    removeWorkFile(target);
    throw;
  }
  try {
    conn.query(QStringLiteral("SELECT sqlcipher_export('vrn_copy')"));
    conn.Execute(QStringLiteral("DETACH DATABASE vrn_copy"));
  } catch (...) {
    try {
      conn.Execute(QStringLiteral("DETACH DATABASE vrn_copy"));
    } catch (...) {
    }
    removeWorkFile(target);
    throw;
  }
}

// Syncs a file or folder of ours, giving a file first the owner, group and permission bits of `like`
// when given; a link or a special file at the name is left alone.
void syncFile(const QString& path, const struct stat* like = nullptr) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
    if (like && S_ISREG(st.st_mode)) {
      // Whoever replaces the file (root compacting, another account restoring) leaves it to those
      // who could write it: its owner and group where the system allows it, else its group alone
      // (an account in that group); a refusal leaves ours. The bits come after, as a change of
      // owner may clear some.
      if (::fchown(fd, like->st_uid, like->st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), like->st_gid);
      ::fchmod(fd, like->st_mode & 07777);
    }
    ::fsync(fd);
  }
  ::close(fd);
}

// A database file is replaced only by the process that holds its lock (the program's own, or taken
// here for another file), never under another program's feet. "" when held; else why not: a lock
// file that is missing and cannot be made is a read-only folder, not another program.
QString databaseLockRefusal(const QString& database) { return LockDatabaseFile(ResolvedDatabaseFile(database), true); }

// Moves `from` over the database file `to` (the real file, so a link to it stays a link) in one step,
// under the locks of `database` (`to` itself when ""); the connections must be closed. A journal left
// beside the old file would otherwise be played back into the new one. The file keeps the owner,
// group and permission bits it had (another user of a shared program folder may need to write it).
void replaceDatabaseFile(const QString& from, const QString& to, const QString& database = {}) {
  if (const QString refused = databaseLockRefusal(database.isEmpty() ? to : database); !refused.isEmpty())
    throw AppError(kPathAccessError, refused);
  struct stat old {};
  syncFile(from, ::stat(QFile::encodeName(to).constData(), &old) == 0 ? &old : nullptr);
  for (const char* suffix : {"-journal", "-wal", "-shm"}) RemoveName(to + QLatin1String(suffix));
  if (!RenameReplacing(from, to))
    throw AppError(kPathAccessError, QStringLiteral("无法替换数据库文件“%1”：%2").arg(QDir::toNativeSeparators(to), systemText(errno)));
  syncFile(QFileInfo(to).absolutePath());
}

QString quoteIdent(const QString& name) {
  QString n = name;
  n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + n + QLatin1Char('"');
}

// This workstation's connection settings stay what they are: the row of the open database goes into
// the file about to replace it.
void keepWorkstationRow(const QString& file, const QString& key) {
  const QueryResult current = Db(0).query(QStringLiteral("select * from PJ_Sys where 编号=1"));
  if (current.rows.empty()) return;
  Connection target(MakeSqlCipherBackend(file, key), SqlDialect{DialectKind::Sqlite});
  target.ensureOpen();
  const QStringList targetColumns = target.query(QStringLiteral("select * from PJ_Sys where 0")).columns;
  QStringList names, marks;
  QVariantList values;
  for (int i = 0; i < current.columns.size(); ++i) {
    if (!targetColumns.contains(current.columns[i])) continue;
    names << quoteIdent(current.columns[i]);
    marks << QStringLiteral("?");
    values << current.rows.front()[i];
  }
  target.begin();
  try {
    target.Execute(QStringLiteral("delete from PJ_Sys where 编号=1"));
    target.Execute(QStringLiteral("insert into PJ_Sys (%1) values (%2)").arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))), values);
    target.commit();
  } catch (...) {
    target.rollback();
    throw;
  }
  target.close();
}

// Row counts of every table, to prove that a copy lost nothing.
QMap<QString, qint64> rowCounts(Connection& conn) {
  QMap<QString, qint64> out;
  const QueryResult tables = conn.query(QStringLiteral("select name from sqlite_master where type='table'"));
  for (const auto& row : tables.rows) {
    const QString name = row[0].toString();
    out[name] = conn.scalar(QStringLiteral("select count(*) from ") + quoteIdent(name)).toLongLong();
  }
  return out;
}

QString timeStampNow() { return BackupTimeStamp(Clock::now()); }

// The server restore takes the database from every workstation at once: its question says so.
bool askRestore(const QString& file, bool server) {
  return MsgBox(QStringLiteral("恢复数据库将用备份文件“%1”中的数据替换当前的全部数据，当前数据会先备份到备份目录中。\r\n"
                               "恢复完成后程序将退出，请重新启动。%2确定要恢复吗？")
                    .arg(file, server ? QStringLiteral("其他工作站将被断开，") : QString()),
                Mb::YesNo + Mb::Question, kRestoreTitle) == Mb::Yes;
}

// Why an upgrade failed, in the system's words: a failure the data layer words itself stands as it
// is; any other (the driver's text, in English) is said as a structure that cannot be brought up to
// date, with the driver's number and text in the details.
AppError UpgradeFailure(const AppError& e) {
  if (!e.details.isEmpty()) return e;
  return AppError(e.number, QStringLiteral("数据表结构与当前版本冲突，无法自动升级。"), DbFailure::details(e.number, e.description));
}

// An older backup gets what the current version has and it lacks, on the staging copy only.
bool upgradeStaging(const QString& staging, const QString& key) {
  try {
    Connection conn(MakeSqlCipherBackend(staging, key), SqlDialect{DialectKind::Sqlite});
    conn.ensureOpen();
    UpgradeToBuiltInSchema(conn, BuildOptions{true});
    conn.close();
  } catch (const AppError& e) {
    const AppError why = UpgradeFailure(e);
    MsgBox(QStringLiteral("备份文件无法升级到当前版本，没有恢复：") + why.description, Mb::Critical, kRestoreTitle, why.details);
    return false;
  }
  return true;
}

}  // namespace

AppError CopyBackupFile(const QString& source, const QString& target, mode_t mode) {
  const QString shownSource = QDir::toNativeSeparators(source);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly))
    return AppError(kPathAccessError, QStringLiteral("无法读取备份文件“%1”：%2").arg(shownSource, in.errorString()));
  // The backup reads: what fails from here on is the database folder, a read-only one or a full disk
  // (written through the system calls, whose answers say which). The copy is a new file of our own,
  // whatever stood at its name.
  const QByteArray path = QFile::encodeName(target);
  const int fd = CreateFreshFile(target, mode);
  auto cannotWrite = [&](int err, const QString& sentence) {
    if (fd >= 0) {
      ::close(fd);
      ::unlink(path.constData());
    }
    return AppError(kPathAccessError, sentence,
                    DbFailure::details(err, QDir::toNativeSeparators(target) + QStringLiteral("：") + QString::fromLocal8Bit(std::strerror(err))));
  };
  if (fd < 0) return cannotWrite(errno, errno == ENOSPC || errno == EDQUOT ? DbFailure::diskFull() : DbFailure::readOnly());
  for (QByteArray chunk; !(chunk = in.read(1 << 20)).isEmpty();) {
    if (!WriteWhole(fd, chunk)) {
      const int err = errno;
      return cannotWrite(err, err == EROFS || err == EACCES || err == EPERM ? DbFailure::readOnly() : DbFailure::diskFull());
    }
  }
  if (in.error() != QFileDevice::NoError) {
    const QString why = in.errorString();
    cannotWrite(EIO, QString());
    return AppError(kPathAccessError, QStringLiteral("无法读取备份文件“%1”：%2").arg(shownSource, why));
  }
  // A device that takes no sync (EINVAL) has nothing to lose; any other failure left the copy short.
  if (::fsync(fd) != 0 && errno != EINVAL) return cannotWrite(errno, DbFailure::diskFull());
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(path.constData());
    return AppError(kPathAccessError, DbFailure::diskFull(),
                    DbFailure::details(err, QDir::toNativeSeparators(target) + QStringLiteral("：") + QString::fromLocal8Bit(std::strerror(err))));
  }
  return AppError(0, QString());
}

namespace {

// --- the four operations ---------------------------------------------------------------------

void backupLocal(const QString& path, const ProgressFn& progress) {
  const QString folder = cleanFolder(path);
  if (path.trimmed().isEmpty()) {
    MsgBox(QStringLiteral("备份目录不能为空!"), Mb::Critical);
    return;
  }
  report(progress, 10);
  if (const AppError problem = backupFolderProblem(folder); problem.number != 0) {
    MsgBox(problem.description, Mb::Critical, QString(), problem.details);
    return;
  }
  report(progress, 30);
  const QString file = ExportLocalDatabase(folder, timeStampNow());
  report(progress, 100);
  MsgBox(QStringLiteral("恭喜，数据已成功备份为‘") + QDir::toNativeSeparators(file) + QStringLiteral("’!"), Mb::Information);
  gBackupOk = true;
  WriteOperationLog(QStringLiteral("数据备份成功"));
}

void restoreLocal(const QString& path, const ProgressFn& progress) {
  if (path.trimmed().isEmpty()) {
    MsgBox(QStringLiteral("备份目录不能为空!"), Mb::Critical);
    return;
  }
  const QString source = QDir::fromNativeSeparators(path.trimmed());
  const QString shown = QDir::toNativeSeparators(source);
  if (!QFileInfo(source).isFile()) {
    MsgBox(QStringLiteral("找不到备份文件“%1”！").arg(shown), Mb::Critical);
    return;
  }
  if (const QString refused = databaseLockRefusal(LocalDatabasePath()); !refused.isEmpty()) {
    MsgBox(refused, Mb::Critical, kRestoreTitle);
    return;
  }
  report(progress, 5);
  // Everything is checked and prepared on a copy beside the database, which then replaces it whole.
  const QString staging = RestoreStagingFile();
  struct RemoveStaging {
    QString path;
    ~RemoveStaging() { removeWorkFile(path); }
  } cleanup{staging};
  removeWorkFile(staging);
  if (const AppError failed = CopyBackupFile(source, staging); failed.number != 0) {
    if (failed.details.isEmpty()) throw failed;
    MsgBox(failed.description, Mb::Critical, kRestoreTitle, failed.details);
    return;
  }
  report(progress, 25);
  QString reason;
  if (!IsSystemDatabaseFile(staging, gDbPassword, &reason)) {
    MsgBox(QStringLiteral("“%1”不是本系统的数据库备份文件，不能恢复！\r\n%2").arg(shown, reason), Mb::Critical, kRestoreTitle);
    return;
  }
  report(progress, 35);
  if (!upgradeStaging(staging, gDbPassword)) return;
  // A backup of an earlier version gets this version's pages as the tool's upgrade gives them; one
  // that cannot be converted (a full disk) is restored as it is, and still opens.
  ConvertDatabaseFile(staging, gDbPassword, nullptr, LocalDatabasePath());
  report(progress, 40);
  if (!askRestore(shown, false)) return;
  ExportLocalDatabase(DefaultBackupFolder(), timeStampNow() + QStringLiteral("_恢复前"));
  report(progress, 65);
  keepWorkstationRow(staging, gDbPassword);
  report(progress, 80);
  ResetConnections();
  replaceDatabaseFile(staging, LocalDatabaseRealPath(), LocalDatabasePath());
  report(progress, 100);
  MsgBox(QStringLiteral("数据恢复已经完成，请重启本软件！"), Mb::Information, kRestoreTitle);
  gBackupOk = true;
  WriteOperationLog(QStringLiteral("数据恢复成功"));
}

void runOnMaster(const QStringList& statements, const QStringList& undo) {
  Connection conn(MakeOdbcBackend(MasterConnectionString(), true, 0), SqlDialect{DialectKind::SqlServer});
  conn.ensureOpen();
  try {
    for (const QString& s : statements) conn.Execute(s);
  } catch (...) {
    for (const QString& u : undo) {
      try {
        conn.Execute(u);
      } catch (...) {
      }
    }
    conn.close();
    throw;
  }
  conn.close();
}

MasterRunner g_masterRunner;
MasterQuery g_masterQuery;

void onMaster(const QStringList& statements, const QStringList& undo) {
  if (g_masterRunner)
    g_masterRunner(statements, undo);
  else
    runOnMaster(statements, undo);
}

QueryResult queryMaster(const QString& sql) {
  if (g_masterQuery) return g_masterQuery(sql);
  Connection conn(MakeOdbcBackend(MasterConnectionString(), true, 0), SqlDialect{DialectKind::SqlServer});
  QueryResult r = conn.query(sql);
  conn.close();
  return r;
}

QString cell(const QueryResult& r, size_t row, const QString& column) {
  const int i = r.columnIndex(column);
  return i < 0 || row >= r.rows.size() ? QString() : r.rows[row].value(i).toString().trimmed();
}

// The folder of a server path, with its separator; "" when it has none.
QString serverFolder(const QString& path) {
  const int cut = static_cast<int>(std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/'))));
  return cut >= 0 ? path.left(cut + 1) : QString();
}

// The RESTORE of `file` under the scratch name, each file of the backup moved beside the data files
// of `database`; "" with `reason` set when the server's answers do not allow one.
QString scratchRestoreSql(const QString& database, const QString& file, QString* reason) {
  const QueryResult files = queryMaster(QStringLiteral("RESTORE FILELISTONLY FROM DISK = %1").arg(ServerText(file)));
  const QueryResult here = queryMaster(
      QStringLiteral("select physical_name from sys.master_files where database_id = db_id(%1) and type = 0").arg(ServerText(database)));
  const QString folder = serverFolder(cell(here, 0, QStringLiteral("physical_name")));
  if (files.rows.empty() || folder.isEmpty()) {
    *reason = QStringLiteral("无法读取备份文件中的文件列表。");
    return {};
  }
  const QString scratch = ServerScratchDatabase(database);
  QStringList moves;
  for (size_t i = 0; i < files.rows.size(); ++i) {
    const QString type = cell(files, i, QStringLiteral("Type"));
    const QString ext = type == QLatin1String("L") ? QStringLiteral(".ldf") : i == 0 ? QStringLiteral(".mdf") : QStringLiteral(".ndf");
    moves << QStringLiteral("MOVE %1 TO %2").arg(ServerText(cell(files, i, QStringLiteral("LogicalName"))),
                                                  ServerText(folder + scratch + QStringLiteral("_%1").arg(i + 1) + ext));
  }
  return QStringLiteral("RESTORE DATABASE %1 FROM DISK = %2 WITH %3, REPLACE, RECOVERY")
      .arg(ServerName(scratch), ServerText(file), moves.join(QStringLiteral(", ")));
}

void backupServer(const QString& path, const ProgressFn& progress) {
  if (path.trimmed().isEmpty()) {
    MsgBox(QStringLiteral("备份目录不能为空!"), Mb::Critical);
    return;
  }
  const QString file = ServerPath(path.trimmed(), timeStampNow() + QStringLiteral(".bak"));
  report(progress, 20);
  onMaster({ServerBackupSql(gSqlName, file)}, {});
  report(progress, 100);
  MsgBox(QStringLiteral("恭喜，数据已成功备份为‘") + file + QStringLiteral("’!"), Mb::Information);
  gBackupOk = true;
  WriteOperationLog(QStringLiteral("数据备份成功"));
}

void restoreServer(const QString& path, const ProgressFn& progress) {
  const QString file = path.trimmed();
  if (file.isEmpty()) {
    MsgBox(QStringLiteral("备份目录不能为空!"), Mb::Critical);
    return;
  }
  report(progress, 5);
  QString reason;
  if (!IsSystemServerBackup(file, &reason)) {
    MsgBox(QStringLiteral("“%1”不是本系统的数据库备份文件，不能恢复！\r\n%2").arg(file, reason), Mb::Critical, kRestoreTitle);
    return;
  }
  report(progress, 15);
  if (!askRestore(file, true)) return;
  const QString safety = ServerPath(serverFolder(file), timeStampNow() + QStringLiteral("_恢复前.bak"));
  report(progress, 20);
  // The program's own connection uses the database; it must not stand in the way of the restore.
  ResetConnections();
  onMaster(ServerRestoreSql(gSqlName, file, safety), ServerRestoreUndoSql(gSqlName));
  report(progress, 90);
  // The restored database is brought up to this version before the program ends.
  try {
    UpgradeToBuiltInSchema(Db(1), BuildOptions{false});
    ResetConnections();
  } catch (const AppError& e) {
    ResetConnections();
    const AppError why = UpgradeFailure(e);
    MsgBox(QStringLiteral("数据已恢复，但无法升级到当前版本，请用数据库工具升级：") + why.description, Mb::Critical, kRestoreTitle, why.details);
  }
  report(progress, 100);
  MsgBox(QStringLiteral("数据恢复已经完成，请重启本软件！"), Mb::Information, kRestoreTitle);
  gBackupOk = true;
  WriteOperationLog(QStringLiteral("数据恢复成功"));
}

}  // namespace

QString DefaultBackupFolder() { return gAppDir + QStringLiteral("Databackup/"); }

namespace {
// The folder of the real database file, with its "/": the work files lie there, on its file system
// and in the folder an account that may write data/ can write.
QString realDatabaseFolder() { return QFileInfo(LocalDatabaseRealPath()).absolutePath() + QLatin1Char('/'); }
}  // namespace

QString CompactionWorkFile() { return realDatabaseFolder() + QStringLiteral("text.bak"); }

QString RestoreStagingFile() { return realDatabaseFolder() + QStringLiteral("restore.tmp"); }

void RemoveLeftoverWorkFiles() {
  QStringList names;
  const QString real = LocalDatabaseRealPath();
  names << real + QStringLiteral(".convert") << real + QStringLiteral(".convert-journal");
  for (const char* work : {"restore.tmp", "restore.tmp-journal", "restore.tmp.convert", "restore.tmp.convert-journal", "restore.tmp.lock",
                           "text.bak", "text.bak-journal"})
    names << realDatabaseFolder() + QString::fromUtf8(work);
  // Only the part files of the program's own backups: a user's "手工备份.part" or a download's
  // "x.pdf.part" in the same folder stays.
  static const QRegularExpression ownPart(QStringLiteral("^[0-9]{14}(_恢复前|_升级前)?(-[1-9][0-9]*)?\\.bak\\.part(-journal)?$"));
  const QDir backups(DefaultBackupFolder());
  for (const QString& name : backups.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
    if (ownPart.match(name).hasMatch()) names << backups.filePath(name);
  // A file, a link (never what it points to) or a FIFO; never a folder, nor a device or socket.
  for (const QString& name : names) {
    struct stat st {};
    if (::lstat(QFile::encodeName(name).constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) || S_ISFIFO(st.st_mode)))
      RemoveName(name);
  }
}

QString BackupTimeStamp(const QDateTime& at) { return at.toString(QStringLiteral("yyyyMMddHHmmss")); }

QString UniqueBackupFileName(const QString& folder, const QString& stem) {
  const QString base = cleanFolder(folder) + QLatin1Char('/') + stem;
  QString name = base + QStringLiteral(".bak");
  // Whatever stands at a name takes it, a link that leads nowhere too.
  auto taken = [](const QString& n) { return QFileInfo(n).exists() || QFileInfo(n).isSymLink(); };
  for (int n = 2; taken(name) || taken(name + QStringLiteral(".part")); ++n) name = base + QStringLiteral("-%1.bak").arg(n);
  return name;
}

const QStringList& RequiredSystemTables() {
  static const QStringList tables = {
      QStringLiteral("PJ_Sys"),    QStringLiteral("PJ_Jq"),      QStringLiteral("PJ_Admin"), QStringLiteral("PJ_Zxlb"),
      QStringLiteral("PJ_Zaxiang"), QStringLiteral("PJ_Kehu"),   QStringLiteral("PJ_Kehu_Gs"), QStringLiteral("PJ_Gd"),
      QStringLiteral("PJ_Yhzh"),   QStringLiteral("PJ_Dkjl"),    QStringLiteral("PJ_Hdjh"),  QStringLiteral("PJ_Hkjl"),
      QStringLiteral("PJ_Cjjl"),   QStringLiteral("PJ_Cjzfjh"),  QStringLiteral("PJ_Cjzfjl"), QStringLiteral("PJ_Liushui"),
  };
  return tables;
}

bool IsSystemDatabaseFile(const QString& path, const QString& key, QString* reason) {
  auto fail = [&](const QString& why) {
    if (reason) *reason = why;
    return false;
  };
  const QFileInfo info(path);
  if (!info.isFile()) return fail(QStringLiteral("文件不存在。"));
  if (info.size() == 0) return fail(QStringLiteral("文件是空的。"));
  try {
    Connection conn(MakeSqlCipherBackend(path, key), SqlDialect{DialectKind::Sqlite});
    try {
      conn.ensureOpen();
    } catch (const AppError& e) {
      // A side file planted beside the copy, a read-only folder: said as what they are, never as a
      // file that is not the system's.
      if (IsFileAccessFailure(e)) throw;
      // The driver's own words ("file is not a database") mean nothing to the user.
      return fail(QStringLiteral("文件不能用本系统的密码打开，或者不是数据库文件。"));
    }
    const QueryResult check = conn.query(QStringLiteral("PRAGMA quick_check"));
    if (check.rows.empty() || check.rows.front().value(0).toString() != QLatin1String("ok"))
      return fail(QStringLiteral("数据库文件已损坏。"));
    QSet<QString> present;
    for (const auto& row : conn.query(QStringLiteral("select name from sqlite_master where type='table'")).rows) present << row.value(0).toString();
    QStringList missing;
    for (const QString& t : RequiredSystemTables())
      if (!present.contains(t)) missing << t;
    if (!missing.isEmpty()) return fail(QStringLiteral("文件中缺少本系统的 %1 张数据表。").arg(missing.size()));
  } catch (const AppError& e) {
    if (IsFileAccessFailure(e)) throw;
    return fail(QStringLiteral("数据库文件已损坏。"));
  }
  return true;
}

QString ExportLocalDatabase(const QString& folder, const QString& stem) {
  const QString dir = cleanFolder(folder);
  if (AppError problem = backupFolderProblem(dir); problem.number != 0) throw problem;
  return MakeBackupFile(dir, stem, [](const QString& part) {
    exportInto(Db(0), part, gDbPassword, MaskedMode(0666));
    QString reason;
    if (!IsSystemDatabaseFile(part, gDbPassword, &reason)) {
      removeWorkFile(part);
      throw AppError(Err::Database, QStringLiteral("备份文件检查未通过：%1").arg(reason));
    }
  });
}

QString MakeBackupFile(const QString& folder, const QString& stem, const std::function<void(const QString& part)>& write) {
  const QString dir = cleanFolder(folder);
  QString target = UniqueBackupFileName(dir, stem);
  const QString part = target + QStringLiteral(".part");
  write(part);
  syncFile(part);
  // A backup never replaces a file: a name taken meanwhile gives way to the next.
  while (!RenameNoReplace(part, target)) {
    if (errno != EEXIST) {
      const int err = errno;
      removeWorkFile(part);
      const QString shown = QDir::toNativeSeparators(target);
      throw AppError(kPathAccessError, QStringLiteral("无法写入备份文件“%1”。").arg(shown), DbFailure::details(err, shown + QStringLiteral("：") + systemText(err)));
    }
    target = UniqueBackupFileName(dir, stem);
  }
  return target;
}

void BackupOrRestoreDatabase(qint16 operation, const QString& path, const ProgressFn& progress) {
  gBackupOk = false;
  switch (operation) {
    case 0: backupLocal(path, progress); break;
    case 1: restoreLocal(path, progress); break;
    case 2: backupServer(path, progress); break;
    case 3: restoreServer(path, progress); break;
    default: break;
  }
}

void RewriteDatabaseFile(const QString& source, const QString& workFile, const QString& key, const QString& what,
                         const QString& database) {
  bool madeWorkFile = false;
  try {
    {
      Connection from(MakeSqlCipherBackend(source, key), SqlDialect{DialectKind::Sqlite});
      from.ensureOpen();
      madeWorkFile = true;
      // Private until it replaces the file, which then gives it that file's permission bits.
      exportInto(from, workFile, key, 0600);
      Connection to(MakeSqlCipherBackend(workFile, key), SqlDialect{DialectKind::Sqlite});
      to.ensureOpen();
      const QueryResult check = to.query(QStringLiteral("PRAGMA integrity_check"));
      if (check.rows.size() != 1 || check.rows.front().value(0).toString() != QLatin1String("ok"))
        throw AppError(Err::Database, QStringLiteral("%1后的文件检查未通过：数据库文件已损坏。").arg(what));
      if (rowCounts(from) != rowCounts(to))
        throw AppError(Err::Database, QStringLiteral("%1后的数据与原数据的记录数不一致，已放弃%1。").arg(what));
      to.close();
      from.close();
    }
    QString reason;
    if (!IsSystemDatabaseFile(workFile, key, &reason)) throw AppError(Err::Database, QStringLiteral("%1后的文件检查未通过：%2").arg(what, reason));
    // The file is replaced only by the program that holds it (a compaction in the program, the tool
    // once it has taken the lock): never from under another program.
    replaceDatabaseFile(workFile, source, database);
  } catch (...) {
    if (madeWorkFile) removeWorkFile(workFile);
    throw;
  }
}

int DatabasePageSize(Connection& conn) { return static_cast<int>(conn.scalar(QStringLiteral("PRAGMA page_size")).toLongLong()); }

bool ConvertDatabaseFile(const QString& path, const QString& key, QString* reason, const QString& database) {
  const QString workFile = path + QStringLiteral(".convert");
  try {
    // A work file of a run that was killed may be half written: it is never taken for the result,
    // as the rewrite makes its work file anew.
    {
      Connection conn(MakeSqlCipherBackend(path, key), SqlDialect{DialectKind::Sqlite});
      conn.ensureOpen();
      if (DatabasePageSize(conn) != kSqlCipherOldPageSize) return true;
    }
    RewriteDatabaseFile(path, workFile, key, QStringLiteral("转换"), database);
  } catch (const AppError& e) {
    if (reason) *reason = e.details.isEmpty() ? e.description : e.description + QStringLiteral("（") + e.details + QStringLiteral("）");
    return false;
  }
  return true;
}

bool CompactDatabaseFile(const QString& source, const QString& workFile, const QString& password, const ProgressFn& progress) {
  try {
    if (QFileInfo::exists(workFile)) {
      if (MsgBox(QStringLiteral("此压缩文件已存在是否将其覆盖？"), Mb::YesNo + Mb::Question, QStringLiteral("压缩工程数据文件")) != Mb::Yes)
        return false;
      if (!RemoveName(workFile)) throw AppError(kPathAccessError, QStringLiteral("无法删除文件“%1”。").arg(QDir::toNativeSeparators(workFile)));
    }
    if (const QString refused = databaseLockRefusal(source); !refused.isEmpty()) throw AppError(kPathAccessError, refused);
    report(progress, 5);
    // The program's connection is closed first; the compaction reads the file through its own.
    ResetConnections();
    report(progress, 15);
    // The real file is rewritten and replaced: a link to it stays a link.
    RewriteDatabaseFile(ResolvedDatabaseFile(source).real, workFile, password, QStringLiteral("压缩"), source);
    report(progress, 100);
  } catch (const AppError& e) {
    MsgBox(e.description, Mb::OkOnly, QString(), e.details);
    return false;
  }
  MsgBox(QStringLiteral("数据压缩") + QStringLiteral("成功！"), Mb::Information, QStringLiteral("数据压缩"));
  return true;
}

// --- SQL Server --------------------------------------------------------------------------------

QString ServerName(const QString& name) {
  QString n = name;
  n.replace(QLatin1Char(']'), QStringLiteral("]]"));
  return QLatin1Char('[') + n + QLatin1Char(']');
}

QString ServerText(const QString& text) {
  QString t = text;
  t.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QStringLiteral("N'") + t + QLatin1Char('\'');
}

QString ServerPath(const QString& folder, const QString& fileName) {
  if (folder.isEmpty()) return fileName;
  if (folder.endsWith(QLatin1Char('\\')) || folder.endsWith(QLatin1Char('/'))) return folder + fileName;
  return folder + (folder.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/')) + fileName;
}

QString ServerBackupSql(const QString& database, const QString& file) {
  return QStringLiteral("BACKUP DATABASE %1 TO DISK = %2").arg(ServerName(database), ServerText(file));
}

QStringList ServerRestoreSql(const QString& database, const QString& file, const QString& safetyFile) {
  const QString db = ServerName(database);
  // The safety backup is taken while the database still serves everyone; single use, the restore
  // and multi use then go in one batch, so no other client can take the one connection in between.
  return {
      QStringLiteral("RESTORE VERIFYONLY FROM DISK = %1").arg(ServerText(file)),
      ServerBackupSql(database, safetyFile),
      QStringLiteral("ALTER DATABASE %1 SET SINGLE_USER WITH ROLLBACK IMMEDIATE;\n"
                     "RESTORE DATABASE %1 FROM DISK = %2 WITH REPLACE;\n"
                     "ALTER DATABASE %1 SET MULTI_USER")
          .arg(db, ServerText(file)),
  };
}

QStringList ServerRestoreUndoSql(const QString& database) {
  return {QStringLiteral("ALTER DATABASE %1 SET MULTI_USER").arg(ServerName(database))};
}

QString MasterConnectionString() {
  // The same string the program connects with, naming the master database instead of its own.
  struct Restore {
    QString name;
    ~Restore() { gSqlName = name; }
  } restore{gSqlName};
  gSqlName = QStringLiteral("master");
  return BuildConnectionString(1);
}

void SetMasterRunner(MasterRunner runner) { g_masterRunner = std::move(runner); }

void SetMasterQuery(MasterQuery query) { g_masterQuery = std::move(query); }

QString ServerScratchDatabase(const QString& database) { return database + QStringLiteral("_恢复检查"); }

bool IsSystemServerBackup(const QString& file, QString* reason) {
  auto fail = [&](const QString& w) {
    if (reason) *reason = w;
    return false;
  };
  QueryResult head;
  try {
    head = queryMaster(QStringLiteral("RESTORE HEADERONLY FROM DISK = %1").arg(ServerText(file)));
  } catch (const AppError& e) {
    return fail(QStringLiteral("服务器不能读取该备份文件（%1）。").arg(e.description));
  }
  // RESTORE takes the first backup set of a file: that is the one that must fit.
  if (head.rows.empty()) return fail(QStringLiteral("文件中没有数据库备份。"));
  if (cell(head, 0, QStringLiteral("BackupType")) != QLatin1String("1")) return fail(QStringLiteral("这不是完整的数据库备份。"));
  const QString backedUp = cell(head, 0, QStringLiteral("DatabaseName"));
  if (backedUp.compare(gSqlName, Qt::CaseInsensitive) != 0)
    return fail(QStringLiteral("备份的是数据库“%1”，不是本系统的数据库“%2”。").arg(backedUp, gSqlName));

  const QString scratch = ServerScratchDatabase(gSqlName);
  const QString drop = QStringLiteral("IF DB_ID(%1) IS NOT NULL DROP DATABASE %2").arg(ServerText(scratch), ServerName(scratch));
  QStringList tables;
  try {
    QString why;
    const QString restore = scratchRestoreSql(gSqlName, file, &why);
    if (restore.isEmpty()) return fail(why);
    onMaster({restore}, {drop});
    try {
      for (const auto& row : queryMaster(QStringLiteral("select name from %1.sys.tables").arg(ServerName(scratch))).rows) tables << row.value(0).toString();
    } catch (...) {
      onMaster({drop}, {});
      throw;
    }
    onMaster({drop}, {});
  } catch (const AppError& e) {
    return fail(QStringLiteral("备份文件不能还原检查（%1）。").arg(e.description));
  }
  QStringList missing;
  for (const QString& t : RequiredSystemTables())
    if (t != QLatin1String("PJ_Sys") && !tables.contains(t, Qt::CaseInsensitive)) missing << t;  // PJ_Sys stays local
  if (!missing.isEmpty()) return fail(QStringLiteral("备份中缺少本系统的数据表：%1。").arg(missing.join(QStringLiteral("、"))));
  return true;
}
