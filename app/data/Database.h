#pragma once
// Data access for both storage modes: the local SQLCipher file and SQL Server through ODBC.
// A backend runs statements with bound values; a dialect writes the SQL fragments that differ by
// engine; a connection pairs the two and stays open for the run.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

#include "app/data/AppError.h"

enum class DialectKind { Sqlite, SqlServer };

// SQL fragments that differ between SQLite and SQL Server.
struct SqlDialect {
  DialectKind kind = DialectKind::Sqlite;

  bool isServer() const { return kind == DialectKind::SqlServer; }
  // A quoted string literal ('' doubled; N'...' on SQL Server so Chinese survives).
  QString quote(const QString& text) const;
  // A date literal from "yyyy-MM-dd" text.
  QString dateLiteral(const QString& isoDate) const { return QLatin1Char('\'') + isoDate + QLatin1Char('\''); }
  // " ifnull(round(sum(x),2),0) as alias " / " isnull(round(sum(x),2),0) as alias ".
  QString sumColumn(const QString& field, const QString& alias) const;
  // "select top n <rest>" / "select <rest> limit n"; rest is everything after "select".
  QString selectTop(int n, const QString& rest) const;
  // A table in the FROM clause of a read that decides what a save may write (a name, a code, a
  // number, a party that must still exist): on SQL Server what it read stays locked until the
  // transaction ends, so a second workstation making the same read waits and then sees this one's
  // rows, and a save and a delete of one party cannot cross. The local file's transactions are
  // exclusive anyway.
  QString lockedTable(const QString& table) const;
  // The key of the row the connection inserted last.
  QString lastIdSql() const;
  // The database's local time expression, for columns it stamps.
  QString nowExpr() const;
  // A LIKE pattern that matches `text` literally anywhere; pair it with likeEscape().
  QString likeContains(const QString& text) const;
  QString likeStartsWith(const QString& text) const;
  QString escapeLike(const QString& text) const;
  // The ESCAPE clause that goes after "like ?".
  QString likeEscape() const { return QStringLiteral(" escape '\\' "); }
};

struct QueryResult {
  QStringList columns;
  std::vector<QVariantList> rows;
  // The index of a column by name, in any case; -1 when there is none.
  int columnIndex(const QString& name) const {
    for (int i = 0; i < columns.size(); ++i)
      if (columns[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
  }
};

class DbBackend {
 public:
  virtual ~DbBackend() = default;
  virtual void open() = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;
  virtual QueryResult query(const QString& sql, const QVariantList& params) = 0;
  // Runs a statement; returns the number of rows it changed.
  virtual qint64 exec(const QString& sql, const QVariantList& params) = 0;
  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  // The driver's own connection handle (the ODBC connection handle), for a test that cuts the
  // connection underneath the backend; nullptr where there is none.
  virtual void* nativeHandle() const { return nullptr; }
};

// The SQLCipher file, keyed with the given password. It is read and written in pages of
// kSqlCipherPageSize bytes; a file of earlier versions, in pages of kSqlCipherOldPageSize, is read at
// its own size (`PRAGMA page_size` tells which a connection has).
extern const int kSqlCipherPageSize;
extern const int kSqlCipherOldPageSize;
std::unique_ptr<DbBackend> MakeSqlCipherBackend(const QString& path, const QString& key, bool create = false);
// Before the first connection to the local file `database`: the sentence that stops the start (or
// the tool) when a -journal, -wal or -shm beside it is other than a regular file with one link; "".
QString UnsafeSideFileMessage(const QString& database);
// Whether a failure of the local file is about reaching or writing files (a side file, a read-only
// folder, a full disk, an I/O error) rather than about what the file holds.
bool IsFileAccessFailure(const AppError& e);
class Connection;
// Attaches the file `path` to the SQLCipher connection `conn` as `alias`, keyed with `key`, for a
// sqlcipher_export into it: the copy is written in pages of kSqlCipherPageSize bytes whatever the
// pages of the file it copies.
void AttachExportTarget(Connection& conn, const QString& path, const QString& alias, const QString& key);
// An ODBC data source given by a connection string. `wideText` binds text as national characters
// (for SQL Server's nvarchar columns). A statement may run `queryTimeoutSeconds` (0: no limit; a
// server backup or restore takes as long as it takes).
std::unique_ptr<DbBackend> MakeOdbcBackend(const QString& connectionString, bool wideText, int queryTimeoutSeconds = 30);

// How an ODBC failure reads to the user, by the server's native error number and the ODBC state: the
// failures two workstations meet get the system's sentence (the number and the driver's words in the
// details); anything else keeps the driver's words. `duringCommit`: the failure ended a COMMIT.
AppError OdbcFailure(int native, const QString& sqlState, const QString& driverText, bool duringCommit = false);
// The ODBC states that say the connection to the server is gone.
bool IsLostConnectionState(const QString& sqlState);

// How a value an ODBC driver hands over as text reads in the program, by the column type the driver
// reports: date and time types lose the fraction of their seconds, every other text stays whole.
QString OdbcColumnText(int odbcType, const QString& text);

// The first quoted literal of `sql` holding a character beyond ASCII that is not SQL Server's
// national N'...' form; "" when there is none. Such a literal takes the server database's code page
// (status words would match nothing on a database without a Chinese collation): values are bound.
QString QuotedNonAsciiLiteral(const QString& sql);
// When on, every connection refuses a statement (other than DDL, whose defaults cannot be bound)
// that holds such a literal. The test build turns it on, so the whole suite enforces it.
void RefuseQuotedNonAsciiLiterals(bool on);

class Connection {
 public:
  Connection(std::unique_ptr<DbBackend> backend, SqlDialect dialect);
  ~Connection();

  const SqlDialect& dialect() const { return dialect_; }
  DbBackend& backend() { return *backend_; }
  bool isOpen() const { return backend_->isOpen(); }
  void ensureOpen();
  void close();

  QueryResult query(const QString& sql, const QVariantList& params = {});
  // Runs an insert, update, delete or DDL statement.
  qint64 Execute(const QString& sql, const QVariantList& params = {});
  // One value of the first row, or an invalid QVariant when there is none.
  QVariant scalar(const QString& sql, const QVariantList& params = {});
  qint64 lastInsertId();

  // Transactions nest by counting; only the outermost begins and ends one.
  void begin();
  void commit();
  void rollback();
  bool inTransaction() const { return depth_ > 0; }
  // Runs `action` once the transaction open now has committed (at once when none is open); a
  // rollback drops it. What the program shows of a save follows the database, never ahead of it.
  void afterCommit(std::function<void()> action);

 private:
  void checkText(const QString& sql) const;

  std::unique_ptr<DbBackend> backend_;
  SqlDialect dialect_;
  int depth_ = 0;
  bool failed_ = false;  // an inner level rolled back: the outer commit must not commit
  std::vector<std::function<void()>> afterCommit_;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// A client-side result set: every row is fetched when it opens. A recordset opened from a
// single-table select that includes 编号 (or select *) can add, change and delete rows.
// A default-constructed recordset is "nothing": every access fails with an AppError.
class Recordset {
 public:
  Recordset() = default;
  static Recordset open(const ConnectionPtr& conn, const QString& sql, const QVariantList& params = {});

  bool isNothing() const { return !d_; }
  bool isOpen() const;
  void Close();

  bool Eof() const;
  bool Bof() const;
  qint64 RecordCount() const;
  qint64 AbsolutePosition() const;  // 1-based; 0 when at BOF/EOF
  void MoveNext();
  void MovePrevious();
  void MoveFirst();
  void MoveLast();

  int FieldCount() const;
  QString FieldName(int index) const;
  bool hasField(const QString& name) const;
  QVariant value(const QString& name) const;
  QVariant value(int index) const;
  // The value as text: "" for NULL; whole numbers without ".0".
  QString text(const QString& name) const;
  QString text(int index) const;
  double number(const QString& name) const;  // 0 for NULL or non-numeric text
  qint64 integer(const QString& name) const;
  void setValue(const QString& name, const QVariant& v);

  bool editable() const;
  QString tableName() const;
  void AddNew();
  // Writes the new or changed row; a new row then holds its 编号 and the values the database stamped.
  void Update();
  // Deletes the current row; the recordset then stands on the next row.
  void Delete();
  // Drops unsaved changes of the current row.
  void CancelUpdate();

  const QStringList& columns() const;
  // Every fetched row in order, one value per column, for a reader that takes them all at once.
  const std::vector<QVariantList>& rows() const;

 private:
  struct Data;
  std::shared_ptr<Data> d_;
  Data& data() const;
  Data& openData() const;
  int columnIndex(const QString& name) const;
};

// How a bound value travels to a backend; dates and times travel as the program's date texts.
enum class BoundKind { Null, Integer, Real, Blob, Text };
BoundKind ClassifyBound(const QVariant& v);
// The text of a Text value ("yyyy-MM-dd" for dates, "yyyy-MM-dd HH:mm:ss" for times).
QString BoundText(const QVariant& v);

// Turns any value into the text a grid or a box shows: "" for NULL, whole doubles without decimals.
QString VariantText(const QVariant& v);
// A number from any value: numbers as they are, text parsed leniently (stored text numbers), else 0.
double VariantNumber(const QVariant& v);
