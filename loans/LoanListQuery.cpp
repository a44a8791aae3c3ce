#include "loans/LoanListQuery.h"

#include "app/services/GridHelpers.h"
#include "platform/Clock.h"

namespace LoanListItems {
QStringList dateFields() { return {QStringLiteral("登记日期"), QStringLiteral("起息日期"), QStringLiteral("忽略")}; }
QStringList periods() {
  return {QStringLiteral("今日"), QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本年"), QStringLiteral("忽略")};
}
QStringList searchFields() {
  return {QStringLiteral("忽略"), QStringLiteral("单号"),   QStringLiteral("客户名称"), QStringLiteral("贷款用途"),
          QStringLiteral("业务经办"), QStringLiteral("操作员"), QStringLiteral("备注")};
}
QStringList operators() { return {QStringLiteral("等于"), QStringLiteral("不等于"), QStringLiteral("包含")}; }
QStringList bands() {
  return {QStringLiteral("忽略"),    QStringLiteral("5万元以下"), QStringLiteral("5万-10万"),  QStringLiteral("10万-20万"),
          QStringLiteral("20万-50万"), QStringLiteral("50万-100万"), QStringLiteral("100万以上")};
}
QStringList statuses() {
  return {QStringLiteral("忽略"), QStringLiteral("未还"), QStringLiteral("已完结"), QStringLiteral("逾期"), QStringLiteral("呆坏账")};
}
}  // namespace LoanListItems

QString LoanListColumns() {
  return QStringLiteral(
      "单号,(客户名称) as 借款人,起息日期,(本金) as 借款金额,利率类别,(利率) as 利率百分比,计息天数,利息,"
      "(已还本金+已还利息) as 已还金额,(本金-已还本金) as 待还本金,(利息-已还利息) as 待还利息,约定还款日期,"
      "(本金+利息-已还本金-已还利息) as 应归还,逾期利息,手续费,结算状态,(利息) as 预估毛利,"
      "((已还本金-本金)+已还利息+逾期利息) as 实际利润,还款计划,业务状态,贷款用途,所属行业,信用状态,抵押资产,业务经办,操作员,备注");
}

QString LoanListHeaderGroups() {
  return QStringLiteral(
      "2@基本情况,3@基本情况,4@基本情况,5@基本情况,6@基本情况,7@基本情况,9@待还,10@待还,11@最近应还,12@最近应还,13@最近应还,"
      "16@利润,17@利润,20@其他,21@其他,22@其他,23@其他,24@经手人,25@经手人");
}

SqlWithParams BuildLoanListSql(const LoanListFilter& f) {
  const SqlDialect& d = CurrentDialect();
  QVariantList params;
  QString where;
  // Period: on the chosen date field, or 起息日期 when the field is ignored. An overdue loan is one
  // still open whose last due date, or one of whose open instalments, has come.
  const QString todayText = DateText(f.today);
  if (f.status == QStringLiteral("逾期") && f.dateField != 2) {
    where = QStringLiteral("(") + sqlDate(QStringLiteral("约定还款日期"), QString(), todayText) +
            QStringLiteral(" or exists (select 1 from PJ_Hdjh h where h.单号=PJ_Dkjl.单号 and h.归还状态 in (?,?) and ") +
            sqlDate(QStringLiteral("h.约定归还日期"), QString(), todayText) + QStringLiteral(")) ");
    params << QStringLiteral("未还") << QStringLiteral("归还部分");
  } else if (!f.anyDate) {
    const QString field = f.dateField == 2 ? QStringLiteral("起息日期") : LoanListItems::dateFields().value(f.dateField);
    where = sqlDate(field, f.from, f.to) + QLatin1Char(' ');
  }
  if (where.trimmed().isEmpty()) where = QStringLiteral("1=1 ");
  // Status.
  if (f.status == QStringLiteral("逾期")) {
    where += QStringLiteral(" and 结算状态 in (?)");
    params << QStringLiteral("未还");
  } else if (!f.status.isEmpty() && f.status != QStringLiteral("忽略")) {
    where += QStringLiteral(" and 结算状态 in (?)");
    params << f.status;
  }
  // Search, matched literally.
  const QString search = f.searchText.trimmed();
  if (f.searchField > 0 && f.searchField < LoanListItems::searchFields().size() && !search.isEmpty()) {
    const QString field = LoanListItems::searchFields().at(f.searchField);
    switch (f.op) {
      case 1:
        where += QStringLiteral(" and ") + field + QStringLiteral(" not in (?)");
        params << search;
        break;
      case 2:
        where += QStringLiteral(" and ") + field + QStringLiteral(" like ?") + d.likeEscape();
        params << d.likeContains(search);
        break;
      default:
        where += QStringLiteral(" and ") + field + QStringLiteral(" in (?)");
        params << search;
        break;
    }
  }
  // Amount bands, half-open: 50000 belongs to 5万-10万.
  static const double kBandEdges[] = {0, 50000, 100000, 200000, 500000, 1000000};
  if (f.band == 1) {
    where += QStringLiteral(" and 本金<? ");
    params << kBandEdges[1];
  } else if (f.band >= 2 && f.band <= 5) {
    where += QStringLiteral(" and 本金>=? and 本金<? ");
    params << kBandEdges[f.band - 1] << kBandEdges[f.band];
  } else if (f.band == 6) {
    where += QStringLiteral(" and 本金>=? ");
    params << kBandEdges[5];
  }
  where += BuildScopeInFilter(f.deptScope, QStringLiteral("部门"), QStringLiteral("and"), params);
  return {QStringLiteral(" select ") + LoanListColumns() + QStringLiteral(" from PJ_Dkjl where ") + where +
              QStringLiteral(" order by 编号 desc"),
          params};
}

SqlWithParams BuildRepaymentRecordSql(const RepaymentRecordFilter& f) {
  QVariantList params;
  QString cond = sqlDate(QStringLiteral("a.日期"), f.from, f.to);
  if (cond.trimmed().isEmpty()) cond = QStringLiteral("1=1 ");
  if (!f.customer.isEmpty()) {
    cond += QStringLiteral(" and b.客户名称=?");
    params << f.customer;
  }
  if (!f.staff.isEmpty()) {
    cond += QStringLiteral(" and b.业务经办=?");
    params << f.staff;
  }
  QString status = QStringLiteral(" ");
  if (!f.status.trimmed().isEmpty() && f.status.trimmed() != QStringLiteral("忽略")) {
    status = QStringLiteral(" and a.还款状态=?");
    params << f.status.trimmed();
  }
  // A record joins its own plan row by 计划ID; one whose plan row is gone still lists.
  return {QStringLiteral("select a.编号,b.客户名称,a.单号,b.业务经办,a.期次,c.约定归还日期,(a.日期) as 归还日期,a.本金,a.利息,"
                         "(a.本金+a.利息) as 合计,(a.手续费) as 逾期手续费,a.还款状态,a.备注 "
                         "from PJ_Hkjl a inner join PJ_Dkjl b on b.单号=a.单号 left join PJ_Hdjh c on c.编号=a.计划ID where ") +
              cond + status + QStringLiteral(" order by a.编号 desc"),
          params};
}
