// The local database file: SQLCipher's C API, keyed with PRAGMA key right after opening.
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/data/ConnectionSettings.h"
#include "app/data/Database.h"
#include "platform/SafeFiles.h"

namespace {

constexpr int kPageSize = 4096;
constexpr int kOldPageSize = 1024;

// SQLite opens more than the file it is pointed at: the journal, -wal and -shm beside it, attached
// files, the folder (to sync it). Those names lie in folders other accounts may write, so none of
// them is opened through a link (nor is a link in a name resolved first, which SQLite does for the
// files it is given), nor is a FIFO planted there waited on. Only the files open connections were
// pointed at, and their folders, are taken as named.
std::mutex gNamedMutex;
std::multiset<std::string>& namedFiles() {
  // Never destroyed: connections kept in statics close after function statics are gone.
  static auto* names = new std::multiset<std::string>;
  return *names;
}

// A relative name is taken from the working folder, as SQLite does.
std::string fullName(const std::string& name) {
  char cwd[PATH_MAX];
  if ((!name.empty() && name[0] == '/') || !::getcwd(cwd, sizeof cwd)) return name;
  return std::string(cwd) + '/' + name;
}

bool isNamed(const char* name) {
  const std::string full = fullName(name);
  std::lock_guard<std::mutex> guard(gNamedMutex);
  return namedFiles().count(full) > 0;
}

ssize_t readLinkOfNamedOnly(const char* name, char* buffer, size_t size) {
  if (isNamed(name)) return ::readlink(name, buffer, size);
  errno = ELOOP;
  return -1;
}

// The last file other than a named one that SQLite could not open on this thread, or that was
// refused: its name, not SQLite's code, tells the user what is wrong.
thread_local std::string tFailedSideFile;

// A side file is used only as a regular file with one link: a second name could be another account's
// file elsewhere (two names at -wal and -shm would even pass for a WAL), and a FIFO or device blocks
// or reads as anything. Nothing is written, truncated or re-moded before the descriptor is judged.
// The folder SQLite opens read-only to sync it, and /dev/null, are opened as they are.
int openWithoutFollowing(const char* name, int flags, int mode) {
  if (isNamed(name)) return ::open(name, flags, mode);
  const int fd = ::open(name, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK, mode);
  const auto refuse = [&](int err) {
    if (fd >= 0) ::close(fd);
    tFailedSideFile = name;
    errno = err;
    return -1;
  };
  if (fd < 0) return refuse(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return refuse(errno);
  const bool syncedFolder = S_ISDIR(st.st_mode) && (flags & O_ACCMODE) == O_RDONLY;
  const bool nullDevice = std::strcmp(name, "/dev/null") == 0 && S_ISCHR(st.st_mode);
  if (!(S_ISREG(st.st_mode) && st.st_nlink == 1) && !syncedFolder && !nullDevice) return refuse(S_ISREG(st.st_mode) ? EMLINK : ENXIO);
  if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) return refuse(errno);
  if (!(flags & O_NONBLOCK)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Why a side file beside `database`, or the one SQLite last failed to open, stops a step; "" when
// none of them does. `details` gets the system's text where it tells more than SQLite's.
QString sideFileProblem(const QString& database, QString* details) {
  const QString failed = QFile::decodeName(QByteArray::fromStdString(tFailedSideFile));
  if (!failed.isEmpty() && NameTaken(failed) && !IsSingleLinkFile(failed)) return DbFailure::unsafeSideFile(QDir::toNativeSeparators(failed));
  if (const QString beside = UnsafeSideFileMessage(database); !beside.isEmpty()) return beside;
  if (failed.isEmpty() || failed == QLatin1String("/dev/null")) return {};
  if (!NameTaken(failed)) return DbFailure::readOnly();
  const int fd = ::open(QFile::encodeName(failed).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return {};
  }
  if (errno != EACCES && errno != EPERM) return {};
  const int err = errno;
  *details = DbFailure::details(err, QDir::toNativeSeparators(failed) + QStringLiteral("：") + QString::fromLocal8Bit(std::strerror(err)));
  return DbFailure::sideFileInaccessible(QDir::toNativeSeparators(failed));
}

// Before the first connection: every unix VFS of SQLite opens through this.
void installOpenWithoutFollowing() {
  static std::once_flag once;
  std::call_once(once, [] {
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall) return;
    vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&openWithoutFollowing));
    vfs->xSetSystemCall(vfs, "readlink", reinterpret_cast<sqlite3_syscall_ptr>(&readLinkOfNamedOnly));
  });
}

// The file a connection is pointed at, and its folder, opened as named while the connection lives.
class NamedFile {
 public:
  explicit NamedFile(const QString& path) : file_(fullName(QFile::encodeName(path).toStdString())) {
    const size_t cut = file_.rfind('/');
    folder_ = cut == std::string::npos ? std::string(".") : cut == 0 ? std::string("/") : file_.substr(0, cut);
    std::lock_guard<std::mutex> guard(gNamedMutex);
    namedFiles().insert(file_);
    namedFiles().insert(folder_);
  }
  ~NamedFile() {
    std::lock_guard<std::mutex> guard(gNamedMutex);
    namedFiles().erase(namedFiles().find(file_));
    namedFiles().erase(namedFiles().find(folder_));
  }
  NamedFile(const NamedFile&) = delete;
  NamedFile& operator=(const NamedFile&) = delete;

 private:
  std::string file_, folder_;
};

// The last few distinct texts of one column, with their UTF-8 bytes.
class RecentTexts {
 public:
  QString text(const char* utf8, int size) {
    const std::string_view bytes(utf8, static_cast<size_t>(size));
    for (Slot& s : slots_)
      if (s.used && s.bytes == bytes) return s.text;
    Slot& s = slots_[next_];
    next_ = (next_ + 1) % kSlots;
    s.used = true;
    s.bytes.assign(bytes);
    s.text = QString::fromUtf8(utf8, size);
    return s.text;
  }

 private:
  static constexpr size_t kSlots = 4;
  struct Slot {
    bool used = false;
    std::string bytes;
    QString text;
  };
  std::array<Slot, kSlots> slots_;
  size_t next_ = 0;
};

class SqlCipherBackend : public DbBackend {
 public:
  SqlCipherBackend(QString path, QString key, bool create) : path_(std::move(path)), key_(std::move(key)), create_(create) {}
  ~SqlCipherBackend() override { close(); }

  void open() override {
    if (db_) return;
    // A name that is a link is opened by its real path, once its chain may be followed: SQLite then
    // meets no link, and its journal lies beside the real file.
    const QString file = realFile();
    real_ = file;
    struct stat st {};
    if (!create_ && ::stat(QFile::encodeName(file).constData(), &st) != 0) {
      const int err = errno;
      const QString details = DbFailure::details(Err::Database, QDir::toNativeSeparators(file) + QStringLiteral("：") + QString::fromLocal8Bit(std::strerror(err)));
      // A folder this account may not enter hides whether the file is there.
      if (err == EACCES)
        throw AppError(Err::Database, DbFailure::folderNotEntered(QDir::toNativeSeparators(QFileInfo(file).absolutePath())), details);
      throw AppError(Err::Database, QStringLiteral("找不到数据库文件“%1”。").arg(path_), details);
    }
    // A connection is only ever used by the thread that opened it: no lock around every call.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create_ ? SQLITE_OPEN_CREATE : 0);
    installOpenWithoutFollowing();
    named_ = std::make_unique<NamedFile>(file);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
      const QString driverText = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
      sqlite3_close(db);
      named_.reset();
      throw AppError(rc, QStringLiteral("无法打开数据库文件“%1”，请检查文件是否存在、是否有读写权限。").arg(path_), DbFailure::details(rc, driverText));
    }
    db_ = db;
    try {
      QString k = key_;
      k.replace(QLatin1Char('\''), QStringLiteral("''"));
      execRaw(QStringLiteral("PRAGMA key = '%1'").arg(k));
      // Pages of 4096 bytes: a list or report reads a quarter of the pages (each decrypted and
      // checked) that 1024-byte pages cost. The key and the page size are only checked at the first
      // read: a wrong key, a plain or a cut file fails there. A file written with 1024-byte pages
      // (earlier versions) fails at 4096 as not a database and is read again at its own size.
      execRaw(QStringLiteral("PRAGMA cipher_page_size = %1").arg(kPageSize));
      if (sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) == SQLITE_NOTADB) {
        execRaw(QStringLiteral("PRAGMA cipher_page_size = %1").arg(kOldPageSize));
      }
      execRaw(QStringLiteral("select count(*) from sqlite_master"));
      sqlite3_busy_timeout(db_, 5000);
      execRaw(QStringLiteral("PRAGMA foreign_keys = OFF"));
      // Every page read from the file is decrypted: a busy business's lists read the same pages
      // again and again, so they stay decrypted in up to 128 MB (taken only as pages are read),
      // and sorts stay in memory rather than in encrypted scratch files.
      execRaw(QStringLiteral("PRAGMA cache_size = -131072"));
      execRaw(QStringLiteral("PRAGMA temp_store = MEMORY"));
    } catch (...) {
      sqlite3_close(db_);
      db_ = nullptr;
      named_.reset();
      throw;
    }
  }

  bool isOpen() const override { return db_ != nullptr; }

  void close() override {
    if (!db_) return;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    named_.reset();
  }

  QueryResult query(const QString& sql, const QVariantList& params) override {
    Stmt st(this, sql, params);
    QueryResult r;
    int n = sqlite3_column_count(st.s);
    for (int i = 0; i < n; ++i) r.columns << QString::fromUtf8(sqlite3_column_name(st.s, i));
    // Lists repeat their texts down a column (states, names, accounts, days): a text equal to one of
    // the column's last few shares that string instead of converting and allocating it again.
    std::vector<RecentTexts> recent(static_cast<size_t>(n));
    for (;;) {
      int rc = sqlite3_step(st.s);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) fail(rc);
      QVariantList row;
      row.reserve(n);
      for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(st.s, i)) {
          case SQLITE_INTEGER: row.emplaceBack(static_cast<qint64>(sqlite3_column_int64(st.s, i))); break;
          case SQLITE_FLOAT: row.emplaceBack(sqlite3_column_double(st.s, i)); break;
          case SQLITE_NULL: row.emplaceBack(); break;
          case SQLITE_BLOB: {
            const void* b = sqlite3_column_blob(st.s, i);
            row.emplaceBack(QByteArray(static_cast<const char*>(b), sqlite3_column_bytes(st.s, i)));
            break;
          }
          default: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st.s, i));
            row.emplaceBack(recent[static_cast<size_t>(i)].text(text, sqlite3_column_bytes(st.s, i)));
          }
        }
      }
      r.rows.push_back(std::move(row));
    }
    return r;
  }

  qint64 exec(const QString& sql, const QVariantList& params) override {
    Stmt st(this, sql, params);
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(rc, true);
    return sqlite3_changes(db_);
  }

  void begin() override {
    saving_ = true;
    try {
      execRaw(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (...) {
      saving_ = false;
      throw;
    }
  }
  void commit() override {
    execRaw(QStringLiteral("COMMIT"));
    saving_ = false;
  }
  void rollback() override {
    saving_ = false;
    if (db_ && !sqlite3_get_autocommit(db_)) execRaw(QStringLiteral("ROLLBACK"));
  }

 private:
  struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(SqlCipherBackend* b, const QString& sql, const QVariantList& params) {
      if (!b->db_) throw AppError(Err::ObjectNotSet, QStringLiteral("数据库连接未打开。"));
      tFailedSideFile.clear();
      QByteArray text = sql.toUtf8();
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(b->db_, text.constData(), static_cast<int>(text.size()), &s, &tail);
      if (rc != SQLITE_OK) b->fail(rc);
      if (sqlite3_bind_parameter_count(s) != params.size()) {
        sqlite3_finalize(s);
        throw AppError(Err::InvalidCall, QStringLiteral("参数个数不符：语句需要 %1 个，给了 %2 个。").arg(sqlite3_bind_parameter_count(s)).arg(params.size()));
      }
      for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int idx = i + 1;
        switch (ClassifyBound(v)) {
          case BoundKind::Null: rc = sqlite3_bind_null(s, idx); break;
          case BoundKind::Integer: rc = sqlite3_bind_int64(s, idx, v.toLongLong()); break;
          case BoundKind::Real: rc = sqlite3_bind_double(s, idx, v.toDouble()); break;
          case BoundKind::Blob: {
            QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob(s, idx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
          }
          case BoundKind::Text: {
            QByteArray t = BoundText(v).toUtf8();
            rc = sqlite3_bind_text(s, idx, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            break;
          }
        }
        if (rc != SQLITE_OK) {
          sqlite3_finalize(s);
          b->fail(rc);
        }
      }
    }
    ~Stmt() { sqlite3_finalize(s); }
  };

  void execRaw(const QString& sql) {
    tFailedSideFile.clear();
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
      QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
      sqlite3_free(err);
      raise(db_ ? sqlite3_extended_errcode(db_) : rc, msg);
    }
  }

  // `writing`: the statement writes (a change outside a transaction counts as a save too).
  [[noreturn]] void fail(int rc, bool writing = false) {
    QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
    raise(db_ ? sqlite3_extended_errcode(db_) : rc, msg, writing);
  }

  // The failures a user can act on are told in the system's words, by SQLite's result code; the
  // code and the driver's text go into the details.
  [[noreturn]] void raise(int code, const QString& driverText, bool writing = false) {
    const QString file = QDir::toNativeSeparators(path_);
    QString sentence;
    // sqlcipher_export hands an attached file's failure on as a plain error with the code's own text.
    if (code == SQLITE_ERROR)
      for (int inner : {SQLITE_FULL, SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_READONLY, SQLITE_CANTOPEN, SQLITE_IOERR})
        if (driverText == QLatin1String(sqlite3_errstr(inner))) code = inner;
    QString details = DbFailure::details(code, driverText);
    const int primary = code & 0xff;
    // A side file that cannot be opened or is refused is named by what stands at its name.
    if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR) sentence = sideFileProblem(real_.isEmpty() ? path_ : real_, &details);
    if (!sentence.isEmpty()) throw AppError(code, sentence, details);
    switch (primary) {
      case SQLITE_CORRUPT: sentence = DbFailure::damaged(file); break;
      case SQLITE_NOTADB: sentence = DbFailure::unreadable(file); break;
      case SQLITE_FULL: sentence = DbFailure::diskFull(); break;
      // A journal (or an attached file) that cannot be made or opened: a read-only folder, or
      // something planted at its name that is not followed.
      case SQLITE_READONLY:
      case SQLITE_CANTOPEN: sentence = DbFailure::readOnly(); break;
      case SQLITE_IOERR: sentence = DbFailure::readWriteError(writing || saving_); break;
      case SQLITE_ERROR:
        // SQLite has no code of its own for a missing table.
        if (driverText.startsWith(QLatin1String("no such table")) && !hasSettingsTable()) sentence = DbFailure::noSystemTables(file);
        break;
      default: break;
    }
    if (sentence.isEmpty()) throw AppError(code, driverText);
    throw AppError(code, sentence, details);
  }

  QString realFile() const {
    struct stat st {};
    if (::lstat(QFile::encodeName(path_).constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path_;
    const DatabaseFile f = ResolvedDatabaseFile(path_);
    if (f.link == DatabaseFile::Foreign || f.link == DatabaseFile::Dangling)
      throw AppError(Err::Database, f.refusal, QDir::toNativeSeparators(path_));
    return f.real;
  }

  // Every file of the system holds PJ_Sys; one without it (an empty file too) is not the system's.
  bool hasSettingsTable() {
    if (!db_) return true;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, "select 1 from sqlite_master where type='table' and name='PJ_Sys'", -1, &s, nullptr) != SQLITE_OK) {
      sqlite3_finalize(s);
      return true;
    }
    const int rc = sqlite3_step(s);
    sqlite3_finalize(s);
    return rc != SQLITE_DONE;
  }

  QString path_;
  QString real_;  // the file SQLite was given: path_, or the end of its chain of links
  QString key_;
  bool create_;
  sqlite3* db_ = nullptr;
  bool saving_ = false;  // inside a transaction begun here
  std::unique_ptr<NamedFile> named_;
};

}  // namespace

const int kSqlCipherPageSize = kPageSize;
const int kSqlCipherOldPageSize = kOldPageSize;

std::unique_ptr<DbBackend> MakeSqlCipherBackend(const QString& path, const QString& key, bool create) {
  return std::make_unique<SqlCipherBackend>(path, key, create);
}

QString UnsafeSideFileMessage(const QString& database) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const QString name = database + QLatin1String(suffix);
    if (NameTaken(name) && !IsSingleLinkFile(name)) return DbFailure::unsafeSideFile(QDir::toNativeSeparators(name));
  }
  return {};
}

bool IsFileAccessFailure(const AppError& e) {
  if (e.details.isEmpty()) return false;
  const int primary = e.number & 0xff;
  return e.number > 0 && (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR || primary == SQLITE_FULL);
}

void AttachExportTarget(Connection& conn, const QString& path, const QString& alias, const QString& key) {
  conn.Execute(QStringLiteral("ATTACH DATABASE ? AS %1 KEY ?").arg(alias), {path, key});
  conn.Execute(QStringLiteral("PRAGMA %1.cipher_page_size = %2").arg(alias).arg(kPageSize));
}
