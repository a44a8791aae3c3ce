#include "parties/PartyData.h"

#include "app/services/ErrorReport.h"

QString PartyTable(PartyKind kind) {
  switch (kind) {
    case PartyKind::Person: return QStringLiteral("PJ_Kehu");
    case PartyKind::Company: return QStringLiteral("PJ_Kehu_Gs");
    case PartyKind::Investor: return QStringLiteral("PJ_Gd");
  }
  return {};
}

qint16 PartyImportKind(PartyKind kind) {
  switch (kind) {
    case PartyKind::Person: return 4;
    case PartyKind::Company: return 5;
    case PartyKind::Investor: return 6;
  }
  return 0;
}

SqlWithParams PartyListSql(const QString& table, const QString& columns, const QString& search) {
  const QString head = QStringLiteral("select ") + columns + QStringLiteral(" from ") + table;
  const QString order = QStringLiteral(" order by 编号");
  // An empty box lists everyone, also rows that have no mnemonic yet.
  if (search.isEmpty()) return {head + order, {}};
  const SqlDialect& d = CurrentDialect();
  return {head + QStringLiteral(" where 助记符 like ?") + d.likeEscape() + order.trimmed(), {d.likeContains(search)}};
}

namespace {
// Whether `id` is a whole element of the comma list `column` of any loan. The LIKE only narrows the
// rows; the element test keeps 1 from matching 11 or 21.
bool namedInLoanList(const QString& column, qint64 id) {
  const QString key = QString::number(id);
  const QueryResult r = Db().query(QStringLiteral("select ") + column + QStringLiteral(" from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Dkjl")) +
                                       QStringLiteral(" where ") + column +
                                       QStringLiteral(" like ?") + CurrentDialect().likeEscape(),
                                   {CurrentDialect().likeContains(key)});
  for (const QVariantList& row : r.rows)
    if (!row.isEmpty() && ListHasItem(VariantText(row.front()), key)) return true;
  return false;
}

bool anyRow(const QString& sql, const QVariantList& params) { return Db().scalar(sql, params).toLongLong() > 0; }
}  // namespace

bool PartyHasBusiness(PartyKind kind, qint64 id) {
  const QString individual = QStringLiteral("个人");
  // On SQL Server the guard's rows stay locked to the delete's commit, as a save's party reads do.
  const QString loans = QStringLiteral("select count(*) from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Dkjl")) + QStringLiteral(" ");
  switch (kind) {
    case PartyKind::Person:
      return anyRow(loans + QStringLiteral("where 客户ID=? and 客户性质=?"), {id, individual}) ||
             namedInLoanList(QStringLiteral("保证人"), id);
    case PartyKind::Company:
      return anyRow(loans + QStringLiteral("where 客户ID=? and 客户性质<>?"), {id, individual}) ||
             namedInLoanList(QStringLiteral("担保企业"), id);
    case PartyKind::Investor:
      return anyRow(QStringLiteral("select count(*) from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Cjjl")) + QStringLiteral(" where 客户ID=?"), {id});
  }
  return false;
}

bool LookupNameRefusesComma(int category) {
  constexpr int kModuleRights = 5;
  constexpr int kDepartments = 9;
  return category == kDepartments || category == kModuleRights;
}
