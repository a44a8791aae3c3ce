#include "app/data/Database.h"

#include "platform/Money.h"

#include <QRegularExpression>

#include <cmath>

// ---------------------------------------------------------------------------------------------
// Dialect

QString SqlDialect::quote(const QString& text) const {
  QString t = text;
  t.replace(QLatin1Char('\''), QStringLiteral("''"));
  return (isServer() ? QStringLiteral("N'") : QStringLiteral("'")) + t + QLatin1Char('\'');
}

QString SqlDialect::sumColumn(const QString& field, const QString& alias) const {
  const QString fn = isServer() ? QStringLiteral("isnull") : QStringLiteral("ifnull");
  return QStringLiteral(" %1(round(sum(%2),2),0) as %3 ").arg(fn, field, alias);
}

QString SqlDialect::selectTop(int n, const QString& rest) const {
  if (isServer()) return QStringLiteral("select top %1 %2").arg(n).arg(rest);
  return QStringLiteral("select %1 limit %2").arg(rest).arg(n);
}

QString SqlDialect::lockedTable(const QString& table) const {
  return isServer() ? table + QStringLiteral(" with (updlock, holdlock)") : table;
}

QString SqlDialect::lastIdSql() const {
  return isServer() ? QStringLiteral("select cast(@@IDENTITY as bigint)") : QStringLiteral("select last_insert_rowid()");
}

QString SqlDialect::nowExpr() const {
  return isServer() ? QStringLiteral("SYSDATETIME()") : QStringLiteral("(datetime('now','localtime'))");
}

QString SqlDialect::escapeLike(const QString& text) const {
  QString out;
  out.reserve(text.size() * 2);
  for (QChar c : text) {
    if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_') ||
        (isServer() && c == QLatin1Char('[')))
      out += QLatin1Char('\\');
    out += c;
  }
  return out;
}

QString SqlDialect::likeContains(const QString& text) const {
  return QLatin1Char('%') + escapeLike(text) + QLatin1Char('%');
}

QString SqlDialect::likeStartsWith(const QString& text) const { return escapeLike(text) + QLatin1Char('%'); }

// ---------------------------------------------------------------------------------------------
// Literals

namespace {
bool g_refuseNonAsciiLiterals = false;
}

void RefuseQuotedNonAsciiLiterals(bool on) { g_refuseNonAsciiLiterals = on; }

QString QuotedNonAsciiLiteral(const QString& sql) {
  const qsizetype n = sql.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = sql[i];
    if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
      // A quoted identifier ("]]" or doubled quotes inside it) is a name, not a value.
      const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
      for (++i; i < n; ++i)
        if (sql[i] == close) {
          if (i + 1 < n && sql[i + 1] == close) ++i;
          else break;
        }
      continue;
    }
    if (c != QLatin1Char('\'')) continue;
    const bool national = i > 0 && (sql[i - 1] == QLatin1Char('N') || sql[i - 1] == QLatin1Char('n')) &&
                          (i < 2 || !(sql[i - 2].isLetterOrNumber() || sql[i - 2] == QLatin1Char('_')));
    bool beyondAscii = false;
    qsizetype j = i + 1;
    for (; j < n; ++j) {
      if (sql[j] == QLatin1Char('\'')) {
        if (j + 1 < n && sql[j + 1] == QLatin1Char('\'')) {
          ++j;
          continue;
        }
        break;
      }
      if (sql[j].unicode() > 0x7f) beyondAscii = true;
    }
    if (beyondAscii && !national) return sql.mid(i, j - i + 1);
    i = j;
  }
  return {};
}

void Connection::checkText(const QString& sql) const {
  if (!g_refuseNonAsciiLiterals) return;
  const QString head = sql.trimmed().left(6).toLower();
  if (head == QLatin1String("create") || head == QLatin1String("alter ")) return;
  const QString literal = QuotedNonAsciiLiteral(sql);
  if (!literal.isEmpty())
    throw AppError(Err::InvalidCall, QStringLiteral("语句中的值 %1 应作为绑定值传递：%2").arg(literal, sql));
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection::Connection(std::unique_ptr<DbBackend> backend, SqlDialect dialect)
    : backend_(std::move(backend)), dialect_(dialect) {}

Connection::~Connection() {
  try {
    if (depth_ > 0) backend_->rollback();
    backend_->close();
  } catch (...) {
  }
}

void Connection::ensureOpen() {
  if (!backend_->isOpen()) backend_->open();
}

void Connection::close() {
  if (depth_ > 0) {
    afterCommit_.clear();
    backend_->rollback();
    depth_ = 0;
    failed_ = false;
  }
  backend_->close();
}

QueryResult Connection::query(const QString& sql, const QVariantList& params) {
  checkText(sql);
  ensureOpen();
  return backend_->query(sql, params);
}

qint64 Connection::Execute(const QString& sql, const QVariantList& params) {
  checkText(sql);
  ensureOpen();
  return backend_->exec(sql, params);
}

QVariant Connection::scalar(const QString& sql, const QVariantList& params) {
  QueryResult r = query(sql, params);
  if (r.rows.empty() || r.rows.front().isEmpty()) return {};
  return r.rows.front().front();
}

qint64 Connection::lastInsertId() { return scalar(dialect_.lastIdSql()).toLongLong(); }

void Connection::begin() {
  ensureOpen();
  if (depth_ == 0) {
    backend_->begin();
    failed_ = false;
  }
  ++depth_;
}

void Connection::commit() {
  if (depth_ == 0) throw AppError(Err::InvalidCall, QStringLiteral("没有打开的事务。"));
  if (depth_ > 1) {
    --depth_;
    return;
  }
  // The count only drops once the backend has ended the transaction one way or the other, so that
  // the program never believes a transaction closed that the database still holds open.
  auto endWithRollback = [this] {
    depth_ = 0;
    failed_ = false;
    afterCommit_.clear();
    try {
      backend_->rollback();
    } catch (...) {
    }
  };
  if (failed_) {
    endWithRollback();
    throw AppError(Err::InvalidCall, QStringLiteral("事务的一部分已回滚，全部未保存。"));
  }
  try {
    backend_->commit();
  } catch (...) {
    // A commit the database refused ("database is locked") leaves the transaction open there.
    endWithRollback();
    throw;
  }
  depth_ = 0;
  const auto actions = std::move(afterCommit_);
  afterCommit_.clear();
  for (const auto& action : actions) action();
}

void Connection::afterCommit(std::function<void()> action) {
  if (depth_ == 0) action();
  else afterCommit_.push_back(std::move(action));
}

void Connection::rollback() {
  if (depth_ == 0) return;
  if (--depth_ > 0) {
    failed_ = true;
    return;
  }
  failed_ = false;
  afterCommit_.clear();
  backend_->rollback();
}

// ---------------------------------------------------------------------------------------------
// Values

BoundKind ClassifyBound(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return BoundKind::Null;
  switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
      return BoundKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
      return BoundKind::Real;
    case QMetaType::QByteArray:
      return BoundKind::Blob;
    default:
      return BoundKind::Text;
  }
}

QString BoundText(const QVariant& v) {
  if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
  if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  return v.toString();
}

QString VariantText(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return {};
  switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
      double d = v.toDouble();
      if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return QString::number(static_cast<qint64>(d));
      return QString::number(d, 'g', 15);
    }
    default:
      return v.toString();
  }
}

double VariantNumber(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return 0;
  if (IsNumberVariant(v)) return v.toDouble();
  bool ok = false;
  double d = v.toString().trimmed().toDouble(&ok);
  return ok ? d : 0;
}

// ---------------------------------------------------------------------------------------------
// Recordset

struct Recordset::Data {
  ConnectionPtr conn;
  QString sql;
  QStringList columns;
  std::vector<QVariantList> rows;
  qint64 pos = 0;  // index of the current row; rows.size() = EOF; -1 = BOF
  bool open = false;
  QString table;    // editable when not empty
  int keyColumn = -1;
  // Editing state of the current row.
  bool adding = false;
  QVariantList pending;
  std::vector<bool> changed;
};

namespace {
// The table of a single-table select, or "" when the text is anything else.
QString editableTable(const QString& sql, const QStringList& columns, int* keyColumn) {
  static const QRegularExpression re(
      QStringLiteral("^\\s*select\\s+(?:top\\s+\\d+\\s+)?(.+?)\\s+from\\s+\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?"
                     "(\\s+(where|order)\\b.*|\\s*)$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  auto m = re.match(sql);
  if (!m.hasMatch()) return {};
  QString rest = m.captured(3);
  static const QRegularExpression joins(QStringLiteral("\\b(join|union)\\b"), QRegularExpression::CaseInsensitiveOption);
  if (rest.contains(joins)) return {};
  int k = static_cast<int>(columns.indexOf(QStringLiteral("编号")));
  if (k < 0) return {};
  *keyColumn = k;
  return m.captured(2);
}
}  // namespace

Recordset Recordset::open(const ConnectionPtr& conn, const QString& sql, const QVariantList& params) {
  if (!conn) throw AppError(Err::ObjectNotSet, QStringLiteral("数据库连接未打开。"));
  QueryResult r = conn->query(sql, params);
  Recordset rs;
  rs.d_ = std::make_shared<Data>();
  Data& d = *rs.d_;
  d.conn = conn;
  d.sql = sql;
  d.columns = r.columns;
  d.rows = std::move(r.rows);
  d.open = true;
  d.pos = 0;
  d.table = editableTable(sql, d.columns, &d.keyColumn);
  return rs;
}

Recordset::Data& Recordset::data() const {
  if (!d_) throw AppError(Err::ObjectNotSet, QStringLiteral("对象变量或 With 块变量未设置"));
  return *d_;
}

Recordset::Data& Recordset::openData() const {
  Data& d = data();
  if (!d.open) throw AppError(Err::ClosedObject, QStringLiteral("对象关闭时，不允许操作。"));
  return d;
}

bool Recordset::isOpen() const { return d_ && d_->open; }

void Recordset::Close() {
  Data& d = openData();
  d.open = false;
  d.rows.clear();
  d.adding = false;
}

bool Recordset::Eof() const {
  const Data& d = openData();
  return d.pos >= static_cast<qint64>(d.rows.size()) && !d.adding;
}

bool Recordset::Bof() const {
  const Data& d = openData();
  return d.pos < 0 || d.rows.empty();
}

qint64 Recordset::RecordCount() const { return static_cast<qint64>(openData().rows.size()); }

qint64 Recordset::AbsolutePosition() const {
  const Data& d = openData();
  if (d.pos < 0 || d.pos >= static_cast<qint64>(d.rows.size())) return 0;
  return d.pos + 1;
}

void Recordset::MoveNext() {
  Data& d = openData();
  if (d.pos >= static_cast<qint64>(d.rows.size()))
    throw AppError(Err::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
  CancelUpdate();
  ++d.pos;
}

void Recordset::MovePrevious() {
  Data& d = openData();
  if (d.pos < 0) throw AppError(Err::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
  CancelUpdate();
  --d.pos;
}

void Recordset::MoveFirst() {
  Data& d = openData();
  CancelUpdate();
  d.pos = 0;
}

void Recordset::MoveLast() {
  Data& d = openData();
  CancelUpdate();
  d.pos = d.rows.empty() ? 0 : static_cast<qint64>(d.rows.size()) - 1;
}

int Recordset::FieldCount() const { return static_cast<int>(openData().columns.size()); }

QString Recordset::FieldName(int index) const {
  const Data& d = openData();
  if (index < 0 || index >= d.columns.size()) throw AppError(Err::ItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
  return d.columns.at(index);
}

const QStringList& Recordset::columns() const { return openData().columns; }

bool Recordset::hasField(const QString& name) const { return openData().columns.contains(name, Qt::CaseInsensitive); }

int Recordset::columnIndex(const QString& name) const {
  const Data& d = openData();
  int i = static_cast<int>(d.columns.indexOf(name));
  if (i < 0) {
    for (int j = 0; j < d.columns.size(); ++j)
      if (d.columns[j].compare(name, Qt::CaseInsensitive) == 0) return j;
    throw AppError(Err::ItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。(%1)").arg(name));
  }
  return i;
}

QVariant Recordset::value(int index) const {
  const Data& d = openData();
  if (index < 0 || index >= d.columns.size()) throw AppError(Err::ItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
  if (d.adding || !d.pending.isEmpty()) return d.pending.value(index);
  if (d.pos < 0 || d.pos >= static_cast<qint64>(d.rows.size()))
    throw AppError(Err::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
  return d.rows[static_cast<size_t>(d.pos)].value(index);
}

const std::vector<QVariantList>& Recordset::rows() const { return openData().rows; }

QVariant Recordset::value(const QString& name) const { return value(columnIndex(name)); }
QString Recordset::text(const QString& name) const { return VariantText(value(name)); }
QString Recordset::text(int index) const { return VariantText(value(index)); }
double Recordset::number(const QString& name) const { return VariantNumber(value(name)); }
qint64 Recordset::integer(const QString& name) const { return static_cast<qint64>(std::llround(number(name))); }

bool Recordset::editable() const { return !openData().table.isEmpty(); }
QString Recordset::tableName() const { return openData().table; }

void Recordset::setValue(const QString& name, const QVariant& v) {
  Data& d = openData();
  int i = columnIndex(name);
  if (d.table.isEmpty()) throw AppError(Err::NotUpdatable, QStringLiteral("当前记录集不支持更新。"));
  if (i == d.keyColumn) throw AppError(Err::NotUpdatable, QStringLiteral("字段“编号”由数据库分配，不能写入。"));
  if (!d.adding && d.pending.isEmpty()) {
    if (d.pos < 0 || d.pos >= static_cast<qint64>(d.rows.size()))
      throw AppError(Err::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
    d.pending = d.rows[static_cast<size_t>(d.pos)];
    d.changed.assign(static_cast<size_t>(d.columns.size()), false);
  }
  d.pending[i] = v;
  d.changed[static_cast<size_t>(i)] = true;
}

void Recordset::AddNew() {
  Data& d = openData();
  if (d.table.isEmpty()) throw AppError(Err::NotUpdatable, QStringLiteral("当前记录集不支持更新。"));
  d.adding = true;
  d.pending = QVariantList();
  for (int i = 0; i < d.columns.size(); ++i) d.pending.append(QVariant());
  d.changed.assign(static_cast<size_t>(d.columns.size()), false);
}

void Recordset::CancelUpdate() {
  Data& d = openData();
  d.adding = false;
  d.pending.clear();
  d.changed.clear();
}

void Recordset::Update() {
  Data& d = openData();
  if (d.table.isEmpty()) throw AppError(Err::NotUpdatable, QStringLiteral("当前记录集不支持更新。"));
  if (!d.adding && d.pending.isEmpty()) return;  // nothing changed
  QStringList names;
  QVariantList values;
  for (int i = 0; i < d.columns.size(); ++i) {
    if (!d.changed[static_cast<size_t>(i)]) continue;
    names << d.columns[i];
    values << d.pending[i];
  }
  auto& conn = *d.conn;
  qint64 key = 0;
  if (d.adding) {
    QString sql;
    if (names.isEmpty()) {
      sql = QStringLiteral("insert into %1 default values").arg(d.table);
    } else {
      QStringList marks;
      for (int i = 0; i < names.size(); ++i) marks << QStringLiteral("?");
      sql = QStringLiteral("insert into %1 (%2) values (%3)").arg(d.table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    }
    conn.Execute(sql, values);
    key = conn.lastInsertId();
  } else {
    key = d.rows[static_cast<size_t>(d.pos)].value(d.keyColumn).toLongLong();
    if (!names.isEmpty()) {
      QStringList sets;
      for (const QString& n : names) sets << n + QStringLiteral("=?");
      values << key;
      conn.Execute(QStringLiteral("update %1 set %2 where 编号=?").arg(d.table, sets.join(QLatin1Char(','))), values);
    }
  }
  // Read the row back, so that the key and whatever the database stamped are visible.
  QueryResult r = conn.query(QStringLiteral("select %1 from %2 where 编号=?").arg(d.columns.join(QLatin1Char(',')), d.table), {key});
  QVariantList row = r.rows.empty() ? d.pending : r.rows.front();
  if (d.adding) {
    d.rows.push_back(row);
    d.pos = static_cast<qint64>(d.rows.size()) - 1;
  } else {
    d.rows[static_cast<size_t>(d.pos)] = row;
  }
  d.adding = false;
  d.pending.clear();
  d.changed.clear();
}

void Recordset::Delete() {
  Data& d = openData();
  if (d.table.isEmpty()) throw AppError(Err::NotUpdatable, QStringLiteral("当前记录集不支持更新。"));
  if (d.pos < 0 || d.pos >= static_cast<qint64>(d.rows.size()))
    throw AppError(Err::NoCurrentRecord, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除。"));
  qint64 key = d.rows[static_cast<size_t>(d.pos)].value(d.keyColumn).toLongLong();
  d.conn->Execute(QStringLiteral("delete from %1 where 编号=?").arg(d.table), {key});
  d.rows.erase(d.rows.begin() + d.pos);
  CancelUpdate();
}
