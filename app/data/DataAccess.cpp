#include "app/data/DataAccess.h"

#include <QDir>
#include <map>

#include "app/data/ConnectionSettings.h"
#include "app/data/RuntimeError.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

QString gCurrentSql;
QVariantList gCurrentParams;
Recordset gMainRecordset;
Recordset gAuxRecordset;
ConnectionPtr gMainConnection;
ConnectionPtr gExcelConnection;

namespace {
std::map<int, ConnectionPtr> g_connections;  // by storage mode: 0 local, 1 server
std::map<int, ConnectionPtr> g_overrides;

int modeKey(int mode) { return mode == 0 ? 0 : 1; }

const SqlDialect kSqlite{DialectKind::Sqlite};
const SqlDialect kServer{DialectKind::SqlServer};

QString odbcValue(const QString& v) {
  // ODBC connection string values with ; or braces must be wrapped in braces.
  if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('{')) || v.contains(QLatin1Char('}'))) {
    QString t = v;
    t.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + t + QLatin1Char('}');
  }
  return v;
}
}  // namespace

QString BuildConnectionString(int mode) {
  SetAppDir(gAppDir);
  if (mode != 0) {
    QString s = QStringLiteral("DRIVER={FreeTDS};SERVER=") + odbcValue(gSqlIp);
    if (!gDbPort.trimmed().isEmpty()) s += QStringLiteral(";PORT=") + odbcValue(gDbPort.trimmed());
    s += QStringLiteral(";UID=") + odbcValue(gSqlUser) + QStringLiteral(";PWD=") + odbcValue(gSqlPass) +
         QStringLiteral(";DATABASE=") + odbcValue(gSqlName) + QStringLiteral(";TDS_Version=7.4;ClientCharset=UTF-8");
    return s;
  }
  return LocalDatabasePath();
}

ConnectionPtr DbPtr(int mode) {
  int k = modeKey(mode);
  if (auto it = g_overrides.find(k); it != g_overrides.end() && it->second) return it->second;
  auto& c = g_connections[k];
  if (!c) {
    if (k == 0)
      c = std::make_shared<Connection>(MakeSqlCipherBackend(BuildConnectionString(0), gDbPassword), kSqlite);
    else
      c = std::make_shared<Connection>(MakeOdbcBackend(BuildConnectionString(1), true), kServer);
  }
  return c;
}

Connection& Db(int mode) {
  ConnectionPtr c = DbPtr(mode);
  c->ensureOpen();
  gMainConnection = c;
  return *c;
}

Connection& Db() { return Db(gDatabaseType); }

const SqlDialect& DialectFor(int mode) {
  int k = modeKey(mode);
  if (auto it = g_overrides.find(k); it != g_overrides.end() && it->second) return it->second->dialect();
  return k == 0 ? kSqlite : kServer;
}

const SqlDialect& CurrentDialect() { return DialectFor(gDatabaseType); }

void SetConnectionOverride(int mode, ConnectionPtr conn) { g_overrides[modeKey(mode)] = std::move(conn); }

void ResetConnections() {
  for (auto& [k, c] : g_connections)
    if (c) c->close();
  g_connections.clear();
  gMainConnection.reset();
  gExcelConnection.reset();
}

void OpenConnectionAndRecordset(Recordset& rs, const QString& sql, int mode, const QVariantList& params) {
  rs = Recordset();
  ConnectionPtr conn = DbPtr(mode);
  try {
    conn->ensureOpen();
    gMainConnection = conn;
    rs = Recordset::open(conn, sql, params);
  } catch (const AppError& e) {
    // Inside a save the failure must undo the save: let the handler roll back and report it.
    if (conn->inTransaction()) throw;
    // A file found damaged or not the system's is let go: the next query opens whatever file is
    // there by then (the user may have put a backup in its place).
    if (!e.details.isEmpty()) conn->close();
    // The description is the question's description line; the number (and the driver's words) stay
    // in the details.
    const QString details = e.details.isEmpty() ? DbFailure::details(e.number, e.description) : e.details;
    int answer = MsgBox(QStringLiteral("连接数据库出现错误！\r\n%1\r\n现在退出程序吗？").arg(e.description), Mb::YesNo + Mb::Question, QString(), details);
    if (answer == Mb::Yes) EndProgram();
  }
}

void OpenMainQuery() {
  QVariantList params = gCurrentParams;
  gCurrentParams.clear();
  gMainRecordset = Recordset();
  OpenConnectionAndRecordset(gMainRecordset, gCurrentSql, gDatabaseType, params);
}

void OpenMainQuery(const QString& sql, const QVariantList& params) {
  gCurrentSql = sql;
  gCurrentParams = params;
  OpenMainQuery();
}

void OpenRecordset(Recordset& rs, const QString& sql, const QVariantList& params) {
  QString text = sql;
  QVariantList values = params;
  if (text.isEmpty()) {
    text = gCurrentSql;
    values = gCurrentParams;
    gCurrentParams.clear();
  }
  OpenConnectionAndRecordset(rs, text, gDatabaseType, values);
}

void CloseRecordset(Recordset& rs) {
  try {
    rs.Close();
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("关闭数据合集"), nullptr, e);
  }
  rs = Recordset();
}

void CloseDatabase() {
  try {
    auto it = g_connections.find(modeKey(gDatabaseType));
    // A save still in progress keeps its connection: closing would undo it half-way.
    if (it != g_connections.end() && it->second && it->second->isOpen() && !it->second->inTransaction()) it->second->close();
    if (gMainConnection && !gMainConnection->inTransaction()) gMainConnection.reset();
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("关闭数据对象"), nullptr, e);
  }
}

SqlWithParams BuildSelectByKeySql(const QString& table, const QVariant& key, const QString& keyField, int quoted) {
  QString field = keyField.isEmpty() ? QStringLiteral("编号") : keyField;
  bool isZero = key.toString() == QLatin1String("0") || (key.typeId() != QMetaType::QString && key.toDouble() == 0 && key.isValid());
  if (isZero) return {QStringLiteral("select * from ") + table, {}};
  QVariant v = quoted < 1 ? key : QVariant(key.toString());
  return {QStringLiteral("select * from %1 where %2=?").arg(table, field), {v}};
}

QString sqlDate(const QString& field, const QString& fromDate, const QString& toDate) {
  const SqlDialect& d = CurrentDialect();
  QDate from = ParseDateText(fromDate);
  QDate to = ParseDateText(toDate);
  if ((!fromDate.trimmed().isEmpty() && !from.isValid()) || (!toDate.trimmed().isEmpty() && !to.isValid())) {
    ReportRuntimeError(QStringLiteral("函数sqlDate"), nullptr,
                       AppError(Err::TypeMismatch, QStringLiteral("日期“%1”不是有效的日期。").arg(from.isValid() ? toDate : fromDate)));
    return {};
  }
  if (from.isValid() && to.isValid())
    return field + QStringLiteral(" >= ") + d.dateLiteral(DateText(from)) + QStringLiteral(" and  ") + field +
           QStringLiteral("  < ") + d.dateLiteral(DateText(to.addDays(1))) + QStringLiteral(" ");
  if (from.isValid()) return field + QStringLiteral(" >= ") + d.dateLiteral(DateText(from)) + QStringLiteral(" ");
  if (to.isValid()) return field + QStringLiteral("  <= ") + d.dateLiteral(DateText(to)) + QStringLiteral(" ");
  return {};
}

QString SumColumnSql(const QString& field, const QString& alias) { return CurrentDialect().sumColumn(field, alias); }


QString sqlCont(const QString& sql, int mode, const QVariantList& params) {
  Q_UNUSED(mode);  // every caller asks for the same list form
  try {
    OpenMainQuery(sql, params);
    if (gMainRecordset.isNothing()) return {};
    const SqlDialect& d = CurrentDialect();
    QStringList items;
    for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
      items << d.quote(gMainRecordset.text(0));
    }
    if (items.isEmpty()) return QStringLiteral("'0'");
    return items.join(QLatin1Char(','));
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("sqlCont"), nullptr, e);
    return {};
  }
}

void CreateTableQuietly(const QString& table, const QString& columns) {
  try {
    gExcelConnection = DbPtr(gDatabaseType);
    gCurrentSql = QStringLiteral("create table ") + table + QStringLiteral(" (") + columns + QStringLiteral(")");
    gExcelConnection->Execute(gCurrentSql);
  } catch (const AppError&) {
    // The table exists already: nothing to do.
  }
  gExcelConnection.reset();
}

namespace {
std::function<void()>& uniquenessHook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void UniquenessChecked() {
  // A copy: the hook may replace itself while it runs.
  const std::function<void()> hook = uniquenessHook();
  if (hook) hook();
}

void SetUniquenessCheckedHook(std::function<void()> hook) { uniquenessHook() = std::move(hook); }

Transaction::Transaction() : conn_(DbPtr(gDatabaseType)) {
  conn_->begin();
  gMainConnection = conn_;
}

Transaction::~Transaction() {
  if (!done_) {
    try {
      conn_->rollback();
    } catch (...) {
    }
  }
}

void Transaction::Commit() {
  done_ = true;
  conn_->commit();
}

void RollbackOpenTransactions() {
  auto undo = [](const ConnectionPtr& c) {
    try {
      while (c && c->inTransaction()) c->rollback();
    } catch (...) {
    }
  };
  for (auto& [k, c] : g_connections) undo(c);
  for (auto& [k, c] : g_overrides) undo(c);
}
