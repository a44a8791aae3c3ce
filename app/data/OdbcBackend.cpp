// SQL Server (and, in tests, any ODBC source) through unixODBC. Text crosses as UTF-8 through the
// narrow calls: FreeTDS converts it with ClientCharset=UTF-8, and the SQLite driver stores it as is.
#include <sql.h>
#include <sqlext.h>

#include <QRegularExpression>

#include <cstring>
#include <vector>

#include "app/data/Database.h"

namespace {

class OdbcBackend : public DbBackend {
 public:
  OdbcBackend(QString connStr, bool wideText, int timeout)
      : connStr_(std::move(connStr)), wideText_(wideText), timeout_(timeout) {}
  ~OdbcBackend() override { close(); }

  void open() override {
    if (dbc_) return;
    // A connection lost inside a transaction took the transaction with it: the save must end (roll
    // back) before anything runs again, or its later statements would commit one by one.
    if (tranLost_) throw OdbcFailure(0, QStringLiteral("08S01"), QStringLiteral("connection lost inside a transaction"));
    if (!env_) {
      check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_HANDLE_ENV, env_);
      check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), SQL_HANDLE_ENV, env_);
    }
    SQLHDBC dbc = SQL_NULL_HDBC;
    check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc), SQL_HANDLE_ENV, env_);
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    SQLSetConnectAttr(dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
    QByteArray cs = connStr_.toUtf8();
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      const Diag d = diag(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      // The driver explains in its own language; the user first reads what to check.
      throw AppError(d.native != 0 ? d.native : Err::Database,
                     QStringLiteral("无法连接数据库服务器，请检查服务器地址、数据库名、登录名和密码，以及网络是否连通。\r\n") + d.text);
    }
    dbc_ = dbc;
  }

  bool isOpen() const override { return dbc_ != SQL_NULL_HDBC; }

  void close() override {
    dropConnection();
    inTran_ = false;
    tranLost_ = false;
    if (env_) {
      SQLFreeHandle(SQL_HANDLE_ENV, env_);
      env_ = SQL_NULL_HENV;
    }
  }

  QueryResult query(const QString& sql, const QVariantList& params) override {
    Stmt st(this);
    Bound b = run(st.h, sql, params);
    QueryResult r;
    SQLSMALLINT ncols = 0;
    check(SQLNumResultCols(st.h, &ncols), SQL_HANDLE_STMT, st.h);
    std::vector<SQLSMALLINT> types(static_cast<size_t>(ncols));
    std::vector<SQLSMALLINT> scales(static_cast<size_t>(ncols));
    for (SQLUSMALLINT i = 1; i <= ncols; ++i) {
      SQLCHAR name[512];
      SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      check(SQLDescribeCol(st.h, i, name, sizeof name, &nameLen, &type, &size, &digits, &nullable), SQL_HANDLE_STMT, st.h);
      r.columns << QString::fromUtf8(reinterpret_cast<const char*>(name), std::min<int>(nameLen, sizeof name - 1));
      types[i - 1] = type;
      scales[i - 1] = digits;
    }
    for (;;) {
      SQLRETURN rc = SQLFetch(st.h);
      if (rc == SQL_NO_DATA) break;
      check(rc, SQL_HANDLE_STMT, st.h);
      QVariantList row;
      for (SQLUSMALLINT i = 1; i <= ncols; ++i) row << fetchValue(st.h, i, types[i - 1], scales[i - 1]);
      r.rows.push_back(std::move(row));
    }
    return r;
  }

  qint64 exec(const QString& sql, const QVariantList& params) override {
    Stmt st(this);
    Bound b = run(st.h, sql, params);
    SQLLEN count = 0;
    SQLRowCount(st.h, &count);
    // Read every further result: SQL Server sends the progress of a backup or restore as results,
    // and freeing the statement before the last one cancels the work; a later error shows up here.
    for (;;) {
      SQLRETURN rc = SQLMoreResults(st.h);
      if (rc == SQL_NO_DATA) break;
      check(rc, SQL_HANDLE_STMT, st.h);
    }
    return count;
  }

  void begin() override {
    check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0), SQL_HANDLE_DBC, dbc_);
    inTran_ = true;
  }
  void commit() override { endTran(SQL_COMMIT); }
  void rollback() override { endTran(SQL_ROLLBACK); }
  void* nativeHandle() const override { return dbc_; }

 private:
  struct Stmt {
    SQLHSTMT h = SQL_NULL_HSTMT;
    explicit Stmt(OdbcBackend* b) {
      if (!b->dbc_) throw AppError(Err::ObjectNotSet, QStringLiteral("数据库连接未打开。"));
      b->check(SQLAllocHandle(SQL_HANDLE_STMT, b->dbc_, &h), SQL_HANDLE_DBC, b->dbc_);
      b_ = b;
      SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(b->timeout_)), 0);
    }
    ~Stmt() {
      SQLFreeHandle(SQL_HANDLE_STMT, h);
      // A statement that found the connection gone lets it go once the statement is freed.
      if (b_->lost_) b_->dropConnection();
    }
    OdbcBackend* b_ = nullptr;
  };

  // Buffers of bound values; they must live until the statement has run.
  struct Bound {
    std::vector<QByteArray> texts;
    std::vector<SQLBIGINT> ints;
    std::vector<double> doubles;
    std::vector<SQLLEN> lens;
  };

  Bound run(SQLHSTMT h, const QString& sql, const QVariantList& params) {
    Bound b;
    b.texts.resize(static_cast<size_t>(params.size()));
    b.ints.resize(static_cast<size_t>(params.size()));
    b.doubles.resize(static_cast<size_t>(params.size()));
    b.lens.resize(static_cast<size_t>(params.size()));
    QByteArray text = sql.toUtf8();
    check(SQLPrepare(h, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT, h);
    for (int i = 0; i < params.size(); ++i) {
      const QVariant& v = params[i];
      auto idx = static_cast<SQLUSMALLINT>(i + 1);
      size_t k = static_cast<size_t>(i);
      SQLRETURN rc;
      switch (ClassifyBound(v)) {
        case BoundKind::Null:
          b.lens[k] = SQL_NULL_DATA;
          rc = SQLBindParameter(h, idx, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &b.lens[k]);
          break;
        case BoundKind::Integer:
          b.ints[k] = v.toLongLong();
          b.lens[k] = 0;
          rc = SQLBindParameter(h, idx, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b.ints[k], 0, &b.lens[k]);
          break;
        case BoundKind::Real:
          b.doubles[k] = v.toDouble();
          b.lens[k] = 0;
          rc = SQLBindParameter(h, idx, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &b.doubles[k], 0, &b.lens[k]);
          break;
        case BoundKind::Blob:
          b.texts[k] = v.toByteArray();
          b.lens[k] = b.texts[k].size();
          rc = SQLBindParameter(h, idx, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, std::max<SQLULEN>(1, static_cast<SQLULEN>(b.texts[k].size())), 0,
                                b.texts[k].data(), b.lens[k], &b.lens[k]);
          break;
        case BoundKind::Text: {
          const QString s = BoundText(v);
          b.texts[k] = s.toUtf8();
          b.lens[k] = b.texts[k].size();
          SQLULEN colSize = std::max<SQLULEN>(1, static_cast<SQLULEN>(s.size()));
          rc = SQLBindParameter(h, idx, SQL_PARAM_INPUT, SQL_C_CHAR, wideText_ ? SQL_WVARCHAR : SQL_VARCHAR, colSize, 0,
                                b.texts[k].data(), b.lens[k], &b.lens[k]);
          break;
        }
      }
      check(rc, SQL_HANDLE_STMT, h);
    }
    SQLRETURN rc = SQLExecute(h);
    if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, h);
    return b;
  }

  QVariant fetchValue(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT type, SQLSMALLINT scale) {
    SQLLEN ind = 0;
    switch (type) {
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_BIGINT:
      case SQL_BIT: {
        SQLBIGINT v = 0;
        check(SQLGetData(h, col, SQL_C_SBIGINT, &v, 0, &ind), SQL_HANDLE_STMT, h);
        return ind == SQL_NULL_DATA ? QVariant() : QVariant(static_cast<qint64>(v));
      }
      case SQL_NUMERIC:
      case SQL_DECIMAL:
        if (scale == 0) {
          SQLBIGINT v = 0;
          check(SQLGetData(h, col, SQL_C_SBIGINT, &v, 0, &ind), SQL_HANDLE_STMT, h);
          return ind == SQL_NULL_DATA ? QVariant() : QVariant(static_cast<qint64>(v));
        }
        [[fallthrough]];
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE: {
        double v = 0;
        check(SQLGetData(h, col, SQL_C_DOUBLE, &v, 0, &ind), SQL_HANDLE_STMT, h);
        return ind == SQL_NULL_DATA ? QVariant() : QVariant(v);
      }
      default: {
        // Text, dates and anything else as UTF-8 text, read in pieces of any length.
        QByteArray out;
        char buf[4096];
        for (;;) {
          SQLRETURN rc = SQLGetData(h, col, SQL_C_CHAR, buf, sizeof buf, &ind);
          if (rc == SQL_NO_DATA) break;
          check(rc, SQL_HANDLE_STMT, h);
          if (ind == SQL_NULL_DATA) return QVariant();
          size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf)) ? sizeof buf - 1 : static_cast<size_t>(ind);
          out.append(buf, static_cast<qsizetype>(got));
          if (rc == SQL_SUCCESS) break;
        }
        return OdbcColumnText(type, QString::fromUtf8(out));
      }
    }
  }

  // Ends the transaction. The connection stays in manual-commit mode until the end has succeeded:
  // a COMMIT that fails is rolled back there and then, so nothing of the failed save stays pending
  // for the next save to commit. When even the rollback fails the connection is closed (the server
  // rolls back) and the next statement opens it again.
  void endTran(SQLSMALLINT how) {
    if (!inTran_ || !dbc_) {
      const bool lost = tranLost_;
      inTran_ = false;
      tranLost_ = false;
      if (lost && how == SQL_COMMIT) throw OdbcFailure(0, QStringLiteral("08S01"), QStringLiteral("connection lost inside a transaction"));
      return;
    }
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
    if (SQL_SUCCEEDED(rc)) {
      inTran_ = false;
      autocommitOn();
      return;
    }
    const Diag d = diag(SQL_HANDLE_DBC, dbc_);
    bool drop = true;
    if (!IsLostConnectionState(d.state) && how == SQL_COMMIT) drop = !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK));
    inTran_ = false;
    if (drop) dropConnection();
    else autocommitOn();
    throw OdbcFailure(d.native, d.state, d.text, how == SQL_COMMIT);
  }

  void autocommitOn() {
    // A connection whose mode cannot be set back would run the next save's statements as part of
    // nothing the program knows of: let it go and open a fresh one.
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0))) dropConnection();
  }

  void dropConnection() {
    lost_ = false;
    if (!dbc_) return;
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }

  struct Diag {
    int native = 0;
    QString state;
    QString text;
  };

  Diag diag(SQLSMALLINT type, SQLHANDLE h) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR msg[2048] = {0};
    SQLSMALLINT len = 0;
    Diag d;
    for (SQLSMALLINT i = 1; SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, state, &native, msg, sizeof msg, &len)); ++i) {
      const QString st = QString::fromLatin1(reinterpret_cast<const char*>(state));
      // The first record says what happened; a later one may carry the number the first lacks.
      if (d.state.isEmpty()) d.state = st;
      if (d.native == 0) d.native = native;
      if (!d.text.isEmpty()) d.text += QLatin1Char('\n');
      d.text += QString::fromUtf8(reinterpret_cast<const char*>(msg)) + QStringLiteral(" [%1]").arg(st);
    }
    if (d.text.isEmpty()) d.text = QStringLiteral("ODBC 调用失败。");
    return d;
  }

  void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    if (SQL_SUCCEEDED(rc)) return;
    const Diag d = diag(type, h);
    if (IsLostConnectionState(d.state)) {
      if (inTran_) tranLost_ = true;
      inTran_ = false;
      // A statement's handle is freed first; a failure of the connection itself lets it go now.
      if (type == SQL_HANDLE_STMT) lost_ = true;
      else dropConnection();
    }
    throw OdbcFailure(d.native, d.state, d.text);
  }

  QString connStr_;
  bool wideText_;
  int timeout_;
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool inTran_ = false;
  bool tranLost_ = false;  // the connection went while a transaction was open
  bool lost_ = false;      // a statement found the connection gone; it goes when the statement is freed
};

}  // namespace

bool IsLostConnectionState(const QString& sqlState) {
  return sqlState == QLatin1String("08S01") || sqlState == QLatin1String("08003") || sqlState == QLatin1String("08001");
}

AppError OdbcFailure(int native, const QString& sqlState, const QString& driverText, bool duringCommit) {
  QString sentence;
  if (IsLostConnectionState(sqlState)) {
    sentence = duringCommit ? DbFailure::connectionLostAtCommit() : DbFailure::connectionLost();
  } else if (native == 1205 || native == 1222 || sqlState == QLatin1String("HYT00") ||
             ((native == 5 || native == 6) && sqlState == QLatin1String("HY000"))) {
    // A deadlock victim, a lock request time-out, or the statement's own time-out waiting for locks;
    // an ODBC source on SQLite says a lock another connection holds as its busy or locked code
    // (SQL Server has no messages below 21).
    sentence = DbFailure::otherWorkstation();
  } else if (native == 2601 || native == 2627) {
    sentence = DbFailure::addedElsewhere();
  } else if (native == 8152 || native == 2628 || sqlState == QLatin1String("22001")) {
    // Newer servers name the column: "... in table 'x', column '备注'. Truncated value: ...".
    static const QRegularExpression column(QStringLiteral("column '([^']+)'"));
    sentence = DbFailure::textTooLong(column.match(driverText).captured(1));
  }
  const int number = native != 0 ? native : Err::Database;
  if (sentence.isEmpty()) return AppError(number, driverText);
  return AppError(number, sentence, DbFailure::details(number, driverText));
}

QString OdbcColumnText(int odbcType, const QString& text) {
  // SQL Server's own codes for time, datetime2 and datetimeoffset as its drivers report them.
  constexpr int kServerTime = -154, kServerDateTimeOffset = -155;
  const bool timeType = odbcType == SQL_TYPE_TIMESTAMP || odbcType == SQL_TYPE_DATE || odbcType == SQL_TYPE_TIME ||
                        odbcType == SQL_DATETIME || odbcType == SQL_TIMESTAMP || odbcType == SQL_TIME || odbcType == kServerTime || odbcType == kServerDateTimeOffset;
  if (!timeType) return text;
  // "2024-01-05 10:00:00.0000000" -> "2024-01-05 10:00:00": only the fraction of the seconds goes
  // (an offset after it stays).
  static const QRegularExpression fraction(QStringLiteral("(\\d{2}:\\d{2}:\\d{2})\\.\\d+"));
  QString s = text;
  return s.replace(fraction, QStringLiteral("\\1"));
}

std::unique_ptr<DbBackend> MakeOdbcBackend(const QString& connectionString, bool wideText, int queryTimeoutSeconds) {
  return std::make_unique<OdbcBackend>(connectionString, wideText, queryTimeoutSeconds);
}
