#pragma once
// The shared query variables and the procedures every window uses to read and write the database.
// Callers put the SQL text (with "?" for each value) into gCurrentSql and the values into
// gCurrentParams, open gMainRecordset with OpenMainQuery, read it and close it with CloseRecordset.
#include <QString>
#include <QVariantList>

#include <functional>

#include "app/data/Database.h"


extern QString gCurrentSql;
extern QVariantList gCurrentParams;
extern Recordset gMainRecordset;
extern Recordset gAuxRecordset;
// The connection of the current storage mode; use its Execute for insert, update and delete.
extern ConnectionPtr gMainConnection;
// The connection the Excel import and CreateTableQuietly use.
extern ConnectionPtr gExcelConnection;

// A description of how to reach the database of a storage mode (for messages and the ODBC driver).
QString BuildConnectionString(int mode);
// Opens `sql` into `rs` on the connection of `mode`. A failure asks whether to end the program;
// No leaves `rs` as nothing. Inside a transaction a failure is thrown instead.
void OpenConnectionAndRecordset(Recordset& rs, const QString& sql, int mode, const QVariantList& params = {});
// Opens gCurrentSql with gCurrentParams into gMainRecordset (the values are used up).
void OpenMainQuery();
void OpenMainQuery(const QString& sql, const QVariantList& params = {});
// Opens a second result on the current connection; an empty text means gCurrentSql and gCurrentParams.
void OpenRecordset(Recordset& rs, const QString& sql = QString(), const QVariantList& params = {});
void CloseRecordset(Recordset& rs);
// Closes the connection of the current mode; the next query opens it again. Recordsets stay readable.
void CloseDatabase();
// The connection of a storage mode, opened on first use and kept for the run.
Connection& Db(int mode);
// The connection of the current storage mode (gDatabaseType).
Connection& Db();
ConnectionPtr DbPtr(int mode);
// The dialect of a storage mode, without opening anything.
const SqlDialect& DialectFor(int mode);
const SqlDialect& CurrentDialect();
// Tests and tools: use this connection for a storage mode instead of the one the settings give
// (an empty pointer returns to the settings).
void SetConnectionOverride(int mode, ConnectionPtr conn);
// Forgets every open connection (after the database file was replaced, or between tests).
void ResetConnections();

// "select * from T" with a where clause on the key when `key` is not 0; the key travels as a bound value.
struct SqlWithParams {
  QString sql;
  QVariantList params;
};
SqlWithParams BuildSelectByKeySql(const QString& table, const QVariant& key, const QString& keyField = QString(), int quoted = 0);
// A condition that a date field lies in a range of days (either end may be empty).
QString sqlDate(const QString& field, const QString& fromDate, const QString& toDate);
// A null-safe sum rounded to two decimals, as a select-list item.
QString SumColumnSql(const QString& field, const QString& alias);
// The first column of a query as a quoted list ("'a','b'"), or "'0'" for no rows. gMainRecordset stays open.
QString sqlCont(const QString& sql, int mode, const QVariantList& params = {});
// Creates a table, ignoring every error (the table may exist).
void CreateTableQuietly(const QString& table, const QString& columns);

// Saves call this right after the locked read that decided their name, code or number is free;
// tests set a hook there to run a second workstation's save at that moment.
void UniquenessChecked();
void SetUniquenessCheckedHook(std::function<void()> hook);

// All or nothing: a transaction on the current mode's connection, rolled back unless committed.
class Transaction {
 public:
  Transaction();
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  ConnectionPtr conn_;
  bool done_ = false;
};
// Rolls back whatever transaction is open on any connection (the event guard calls it).
void RollbackOpenTransactions();
