#pragma once
// Backup, restore and compaction of the whole database, without windows: frmbackup and frmSjys call
// these and show the progress they report.
//
// The local file is copied through SQLCipher itself (sqlcipher_export into a new file keyed with the
// same key), never by copying the open file. A file to restore is copied beside the database, checked
// (it must open with the key, pass SQLite's quick check and hold the system's tables), given this
// workstation's PJ_Sys row, and only then moved over the database in one rename, after the current
// data has been saved into the backup folder. On SQL Server the statements run on `master` through a
// connection of their own, and a backup is restored only once it has shown, under a scratch name, that
// it holds this system's database.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

#include "app/data/Database.h"

// Set to false when a backup or restore starts, to true when it has finished.
extern bool gBackupOk;

// Progress of the running step, 0 to 100.
using ProgressFn = std::function<void(int percent)>;

// Operation 0 backup of the local file into the folder `path`, 1 restore of the local file from the
// backup file `path`, 2 backup of the server database into the server folder `path`, 3 restore of the
// server database from the server file `path`. Other values do nothing. The result is in gBackupOk;
// failures are shown to the user (a refused file, an unwritable folder) or thrown as AppError for the
// caller's handler.
void BackupOrRestoreDatabase(qint16 operation, const QString& path, const ProgressFn& progress = {});

// Compacts the local database file `source` (a name, followed to its real file as the program resolved
// it) through the work file, keeping `password` as its key.
// Shows the outcome; false when the user kept an existing work file or the compaction failed, in
// which case `source` is unchanged.
bool CompactDatabaseFile(const QString& source, const QString& workFile, const QString& password,
                         const ProgressFn& progress = {});

// The export-check-replace of compaction and conversion: the closed file `source` is copied through
// SQLCipher into `workFile` (pages of kSqlCipherPageSize bytes), the copy must pass integrity_check,
// hold the system's tables and every table's row count, and then replaces `source` with its owner,
// group and permission bits, only while this process holds the locks of `database` (the name of the
// database file that `source` is, or is about to replace; "" for `source` itself). `what` names the operation in the
// messages ("压缩"). Throws AppError; `source` is then left as it was and the work file removed.
void RewriteDatabaseFile(const QString& source, const QString& workFile, const QString& key, const QString& what,
                         const QString& database = {});
// The page size the connection reads its main file in.
int DatabasePageSize(Connection& conn);
// Rewrites a file of kSqlCipherOldPageSize-byte pages (`path`: the real file, never a link to it) in
// pages of kSqlCipherPageSize through the work file path + ".convert" (one a killed run left is
// removed first); a file already in the new
// pages is left alone. False, with `reason`, when it could not: the file is then left byte for byte
// and still opens. `database` as for RewriteDatabaseFile.
bool ConvertDatabaseFile(const QString& path, const QString& key, QString* reason = nullptr, const QString& database = {});

// gAppDir + "Databackup/".
QString DefaultBackupFolder();
// The compaction work file: "text.bak" beside the real database file (LocalDatabaseRealPath()).
QString CompactionWorkFile();
// The restore's staging copy: "restore.tmp" beside the real database file.
QString RestoreStagingFile();
// Removes, by name, the work files a failed or killed compaction, conversion, restore or backup left:
// beside the real database file its ".convert" and journal, "restore.tmp" with its journal, ".convert",
// journal and ".lock", "text.bak" and its journal; in the default backup folder the ".part" files (and
// their journals) of the program's own backups, by their names. Each is unlinked when it is a file, a
// link or a FIFO, never a folder. Only for a process that holds the database's locks; a name that
// cannot be removed is left.
void RemoveLeftoverWorkFiles();
// "yyyyMMddHHmmss": sorts by time and never gives two moments the same name.
QString BackupTimeStamp(const QDateTime& at);
// folder/stem.bak, or folder/stem-2.bak, -3, ... when that name is taken.
QString UniqueBackupFileName(const QString& folder, const QString& stem);

// Whether a file is a database of this system: opens with `key`, passes the quick check and holds
// the system's tables. `reason` says why not.
bool IsSystemDatabaseFile(const QString& path, const QString& key, QString* reason = nullptr);
// The tables a database of this system must hold.
const QStringList& RequiredSystemTables();

// Copies a backup file byte for byte to `target` (a restore's staging copy, a backup's part file), made
// new with `mode`. Number 0 when it is copied; a backup that cannot be read says so; a target that
// cannot be written gives the read-only or the full-disk sentence, the system error in the details,
// and leaves no target behind.
AppError CopyBackupFile(const QString& source, const QString& target, mode_t mode = 0600);

// Writes a consistent, keyed copy of the open local database to folder/stem.bak (made unique, never
// replacing anything) and returns its path. An unwritable folder throws with a message that names it.
QString ExportLocalDatabase(const QString& folder, const QString& stem);
// Makes the backup folder/stem.bak (made unique) through its part file folder/stem.bak.part, which
// `write` makes and fills (throwing AppError when it cannot, the part removed); the part is then
// synced and renamed to a name nothing stands at, never replacing a file. Returns the path made.
QString MakeBackupFile(const QString& folder, const QString& stem, const std::function<void(const QString& part)>& write);

// --- SQL Server ------------------------------------------------------------------------------

// [name] with "]" doubled.
QString ServerName(const QString& name);
// N'text' with "'" doubled.
QString ServerText(const QString& text);
// A server folder and a file name joined with the folder's own separator ("\" or "/").
QString ServerPath(const QString& folder, const QString& fileName);
QString ServerBackupSql(const QString& database, const QString& file);
// The restore: the backup is verified first, the database is taken to single use, saved into
// `safetyFile`, restored and opened to all again.
QStringList ServerRestoreSql(const QString& database, const QString& file, const QString& safetyFile);
// What must run when the restore fails part-way: the database opened to all again.
QStringList ServerRestoreUndoSql(const QString& database);
// The connection string of the server's master database, otherwise as the program connects.
QString MasterConnectionString();

// Runs statements one after another on the master database; when one fails, runs `undo` (its own
// failures ignored) and throws the first failure.
using MasterRunner = std::function<void(const QStringList& statements, const QStringList& undo)>;
// Tests: record the statements instead of reaching a server; an empty runner restores the real one.
void SetMasterRunner(MasterRunner runner);
// Reads rows on the master database (RESTORE HEADERONLY, catalogue queries); throws AppError.
using MasterQuery = std::function<QueryResult(const QString& sql)>;
// Tests: answer from a fake server; an empty function restores the real one.
void SetMasterQuery(MasterQuery query);

// Whether the server backup `file` holds this system's database, before anything is replaced: it must
// be a full backup of the database the program uses (RESTORE HEADERONLY), and restored under a
// scratch name beside that database's files it must hold the system's tables; the scratch database
// is dropped again whatever the outcome. `reason` says why not.
bool IsSystemServerBackup(const QString& file, QString* reason = nullptr);
// The name the check restores a backup under.
QString ServerScratchDatabase(const QString& database);
