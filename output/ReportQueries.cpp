#include "output/ReportQueries.h"

#include "app/data/DataAccess.h"
#include "platform/Clock.h"
#include "platform/Money.h"

namespace {

// coalesce(sum(...),0) of an expression, over the due rows only when `dueOnly`.
QString sumOf(const QString& expr, const QString& dueCondition, bool dueOnly, const QString& alias) {
  const QString e = dueOnly ? QStringLiteral("case when %1 then %2 else 0 end").arg(dueCondition, expr) : expr;
  return QStringLiteral("coalesce(sum(%1),0) as %2").arg(e, alias);
}
QString nz(const char* column) { return QStringLiteral("coalesce(%1,0)").arg(QString::fromUtf8(column)); }
double money(const QString& field) { return Money::round(gMainRecordset.number(field), 2); }
}  // namespace

double DailyReportRow::dueTotal() const { return Money::round(duePrincipal + dueInterest, 2); }
double DailyReportRow::paidTotal() const { return Money::round(paidPrincipal + paidInterest, 2); }
double DailyReportRow::openTotal() const { return Money::round(openPrincipal + openInterest, 2); }

ReportSql DailyReportSql(PlanBook book, const QDate& baseDate, const QString& name) {
  const PlanColumns c = PlanColumnsOf(book);
  const QString due = sqlDate(QString::fromUtf8(c.due), QString(), DateText(baseDate));
  // One pass over the plan rows grouped by document, which the index already gives in 单号 order:
  // no inner query to sort again.
  const auto sum = [&](const char* column, bool dueOnly) {
    const QString e = dueOnly ? QStringLiteral("case when %1 then %2 else 0 end").arg(due, nz(column)) : nz(column);
    return QStringLiteral("coalesce(sum(%1),0)").arg(e);
  };
  const QString s1 = sum(c.principal, false), s2 = sum(c.principal, true), s3 = sum(c.paidPrincipal, true);
  const QString s5 = sum(c.interest, false), s6 = sum(c.interest, true), s7 = sum(c.paidInterest, true);
  const QString paid = book == PlanBook::Loans ? QStringLiteral("已还总计") : QStringLiteral("已付总计");
  const QString open = book == PlanBook::Loans ? QStringLiteral("未还总计") : QStringLiteral("未付总计");
  const auto col = [](const QString& expr, const QString& alias) { return QStringLiteral("round(%1,2) as %2").arg(expr, alias); };
  const QStringList columns = {
      QStringLiteral("max(客户名称) as 客户名称"),
      col(s1, QStringLiteral("本金总额")),
      col(s2, QStringLiteral("到期本金")),
      col(s3, QStringLiteral("已还本金")),
      col(s2 + QLatin1Char('-') + s3, QStringLiteral("未还本金")),
      col(s5, QStringLiteral("利息总额")),
      col(s6, QStringLiteral("到期利息")),
      col(s7, QStringLiteral("已还利息")),
      col(s6 + QLatin1Char('-') + s7, QStringLiteral("未还利息")),
      col(s2 + QLatin1Char('+') + s6, QStringLiteral("到期总计")),
      col(s3 + QLatin1Char('+') + s7, paid),
      col(s2 + QLatin1Char('-') + s3 + QLatin1Char('+') + s6 + QLatin1Char('-') + s7, open),
      QStringLiteral("单号"),
  };
  ReportSql q;
  q.sql = QStringLiteral("select ") + columns.join(QLatin1Char(',')) + QStringLiteral(" from ") + QString::fromUtf8(c.table);
  if (!name.isEmpty()) {
    q.sql += QStringLiteral(" where 客户名称=?");
    q.params << name;
  }
  q.sql += QStringLiteral(" group by 单号 having sum(case when %1 then 1 else 0 end) > 0 order by 单号").arg(due);
  return q;
}

std::vector<DailyReportRow> ComputeDailyReport(PlanBook book, const QDate& baseDate, const QString& name) {
  const ReportSql q = DailyReportSql(book, baseDate, name);
  OpenMainQuery(q.sql, q.params);
  std::vector<DailyReportRow> out;
  for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
    DailyReportRow r;
    r.docNo = gMainRecordset.text(QStringLiteral("单号"));
    r.name = gMainRecordset.text(QStringLiteral("客户名称"));
    r.principal = money(QStringLiteral("本金总额"));
    r.duePrincipal = money(QStringLiteral("到期本金"));
    r.paidPrincipal = money(QStringLiteral("已还本金"));
    r.openPrincipal = money(QStringLiteral("未还本金"));
    r.interest = money(QStringLiteral("利息总额"));
    r.dueInterest = money(QStringLiteral("到期利息"));
    r.paidInterest = money(QStringLiteral("已还利息"));
    r.openInterest = money(QStringLiteral("未还利息"));
    out.push_back(r);
  }
  CloseRecordset(gMainRecordset);
  return out;
}

const std::array<const char*, 18> FundsReport::kNames = {
    "自有资金", "拆借资金", "外放本金总额", "外放到期本金", "外放到期已收回本金", "外放到期未收回本金",
    "外放本金余额", "外放利息总额", "外放到期利息", "外放到期已收回利息", "外放到期未收回利息", "外放利息余额",
    "拆借资金总额", "已偿还拆借资金", "拆借资金余额", "拆借利息总额", "已偿还拆借利息", "拆借利息余额"};

double FundsReport::value(const QString& name) const {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (name == QString::fromUtf8(kNames[i])) return values[i];
  return 0;
}

FundsReport ComputeFundsReport(const QDate& baseDate) {
  FundsReport r;
  auto& v = r.values;
  // Capital still committed in open financing documents, by kind.
  for (int i = 0; i < 2; ++i) {
    OpenMainQuery(QStringLiteral("select coalesce(sum(本金-coalesce(已付本金,0)),0) as 金额 from PJ_Cjjl "
                                 "where 业务状态=? and 结算状态=? and 拆借类别=?"),
                  {QStringLiteral("已审核"), QStringLiteral("未付"), i == 0 ? QStringLiteral("自有") : QStringLiteral("外拆")});
    v[size_t(i)] = money(QStringLiteral("金额"));
  }
  // Loans out: every plan row of the open loans; due = on or before the base date. The 到期 lines take
  // the due rows only (each is its 已收回 plus its 未收回); the balances take everything collected,
  // early repayments of rows not yet due included.
  const QString due = sqlDate(QStringLiteral("约定归还日期"), QString(), DateText(baseDate));
  OpenMainQuery(QStringLiteral("select ") +
                QStringList{sumOf(nz("应还本金"), due, false, QStringLiteral("本金总额")),
                            sumOf(nz("应还本金"), due, true, QStringLiteral("到期本金")),
                            sumOf(nz("已还本金"), due, true, QStringLiteral("已收回本金")),
                            sumOf(QStringLiteral("coalesce(应还本金,0)-coalesce(已还本金,0)"), due, true, QStringLiteral("未收回本金")),
                            sumOf(nz("已还本金"), due, false, QStringLiteral("全部已收回本金")),
                            sumOf(nz("应还利息"), due, false, QStringLiteral("利息总额")),
                            sumOf(nz("应还利息"), due, true, QStringLiteral("到期利息")),
                            sumOf(nz("已还利息"), due, true, QStringLiteral("已收回利息")),
                            sumOf(QStringLiteral("coalesce(应还利息,0)-coalesce(已还利息,0)"), due, true, QStringLiteral("未收回利息")),
                            sumOf(nz("已还利息"), due, false, QStringLiteral("全部已收回利息"))}
                    .join(QLatin1Char(',')) +
                QStringLiteral(" from PJ_Hdjh where 单号 in (select 单号 from PJ_Dkjl where 结算状态=? and 业务状态=?)"),
                {QStringLiteral("未还"), QStringLiteral("已审核")});
  v[2] = money(QStringLiteral("本金总额"));
  v[3] = money(QStringLiteral("到期本金"));
  v[4] = money(QStringLiteral("已收回本金"));
  v[5] = money(QStringLiteral("未收回本金"));
  v[6] = Money::round(v[2] - money(QStringLiteral("全部已收回本金")), 2);
  v[7] = money(QStringLiteral("利息总额"));
  v[8] = money(QStringLiteral("到期利息"));
  v[9] = money(QStringLiteral("已收回利息"));
  v[10] = money(QStringLiteral("未收回利息"));
  v[11] = Money::round(v[7] - money(QStringLiteral("全部已收回利息")), 2);
  // Financing taken in: every plan row of the open financing documents.
  OpenMainQuery(QStringLiteral("select ") +
                QStringList{sumOf(nz("应付本金"), {}, false, QStringLiteral("拆借总额")),
                            sumOf(nz("已付本金"), {}, false, QStringLiteral("已付本金")),
                            sumOf(nz("应付利息"), {}, false, QStringLiteral("利息总额")),
                            sumOf(nz("已付利息"), {}, false, QStringLiteral("已付利息"))}
                    .join(QLatin1Char(',')) +
                QStringLiteral(" from PJ_Cjzfjh where 单号 in (select 单号 from PJ_Cjjl where 结算状态=? and 业务状态=?)"),
                {QStringLiteral("未付"), QStringLiteral("已审核")});
  v[12] = money(QStringLiteral("拆借总额"));
  v[13] = money(QStringLiteral("已付本金"));
  v[14] = Money::round(v[12] - v[13], 2);
  v[15] = money(QStringLiteral("利息总额"));
  v[16] = money(QStringLiteral("已付利息"));
  v[17] = Money::round(v[15] - v[16], 2);
  CloseRecordset(gMainRecordset);
  return r;
}

void SaveFundsReport(const FundsReport& report) {
  Transaction t;
  gMainConnection->Execute(QStringLiteral("delete from PJ_TjZjrb"));
  QStringList names, marks;
  QVariantList values;
  for (size_t i = 0; i < FundsReport::kNames.size(); ++i) {
    names << QString::fromUtf8(FundsReport::kNames[i]);
    marks << QStringLiteral("?");
    values << report.values[i];
  }
  gMainConnection->Execute(QStringLiteral("insert into PJ_TjZjrb(%1) values(%2)").arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                           values);
  t.Commit();
}

const QStringList kJournalConditionFields = {
    QStringLiteral("忽略"),      QStringLiteral("单号"),      QStringLiteral("操作员"),   QStringLiteral("经办人"),
    QStringLiteral("我方开户行"), QStringLiteral("我方开户名"), QStringLiteral("我方账号"), QStringLiteral("对方开户行"),
    QStringLiteral("对方开户名"), QStringLiteral("对方账号")};

ReportSql BuildJournalQuery(const QDate& from, const QDate& to, const QString& field, const QString& op, const QString& value) {
  ReportSql q;
  QString condition = QStringLiteral(" ");
  const qsizetype f = kJournalConditionFields.indexOf(field);
  if (!value.isEmpty() && f > 0) {
    const QString v = value.trimmed();
    if (op == QStringLiteral("等于")) {
      condition = QStringLiteral(" and %1 = ? ").arg(field);
      q.params << v;
    } else if (op == QStringLiteral("不等于")) {
      condition = QStringLiteral(" and %1 <> ? ").arg(field);
      q.params << v;
    } else if (op == QStringLiteral("包含")) {
      condition = QStringLiteral(" and %1 like ? %2").arg(field, CurrentDialect().likeEscape());
      q.params << CurrentDialect().likeContains(v);
    }
  }
  // The period's keys come from the time index; the rows are then read in key order, so that a year
  // of entries is not sorted whole.
  q.sql = QStringLiteral("select 编号,时间,单号,金额,摘要,余额,操作员,经办人,我方开户行,我方开户名,我方账号,对方开户行,对方开户名,对方账号,方向 "
                         "from PJ_Liushui where 编号 in (select 编号 from PJ_Liushui where ") +
          sqlDate(QStringLiteral("时间"), DateText(from), DateText(to)) + QStringLiteral(")") + condition + QStringLiteral(" order by 编号");
  return q;
}
