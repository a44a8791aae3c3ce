#include "parties/StaffAccounts.h"

#include <algorithm>

#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"

QStringList LevelEntries() {
  return {QStringLiteral("普通账户"), QStringLiteral("公司管理员"), QStringLiteral("区域管理员"), QStringLiteral("超级管理员")};
}

QStringList LevelEntriesFor(int role) {
  const QStringList all = LevelEntries();
  return all.mid(0, std::clamp(role, 0, static_cast<int>(all.size())));
}

qint16 LevelNumber(const QString& levelText) {
  const qsizetype i = LevelEntries().indexOf(levelText);
  return i < 0 ? qint16(0) : static_cast<qint16>(i);
}

QStringList ModuleRightNames() {
  return QStringLiteral(
             "系统设置,常用数值,帐号权限,个人客户,企业客户,投资人,增加借贷登记,修改借贷登记,删除借贷信息,审核借贷,"
             "借贷回款,催款日程,回款明细,增加拆借记录,修改拆借记录,删除拆借记录,审核拆借,支付利息确认,支付日程,"
             "支付明细,贷款日报,拆借日报,资金日报,流水账,数据备份,数据恢复")
      .split(QLatin1Char(','));
}

QString PresetRights(const QString& levelText) {
  if (levelText == QStringLiteral("普通账户"))
    return QStringLiteral("个人客户,企业客户,增加借贷登记,修改借贷登记,催款日程,回款明细,贷款日报,常用数值");
  if (levelText == QStringLiteral("公司管理员"))
    return QStringLiteral(
        "常用数值,帐号权限,个人客户,企业客户,增加借贷登记,修改借贷登记,删除借贷信息,审核借贷,借贷回款,催款日程,"
        "回款明细,贷款日报,数据备份,数据恢复");
  if (levelText == QStringLiteral("区域管理员")) return ModuleRightNames().join(QLatin1Char(','));
  return {};
}

SqlWithParams StaffScopeCondition() {
  // The role is a number of the login state and the department names are bound, so nothing typed
  // by a user reaches the text.
  SqlWithParams c;
  c.sql = QStringLiteral(" 账号属性 <=") + QString::number(gCurrentUserRole) +
          BuildScopeInFilter(gDeptRights, QStringLiteral("科室"), QStringLiteral("and"), c.params) + QStringLiteral("  order by 编号");
  return c;
}

bool StaffInScope(int level, const QString& dept) {
  if (gCurrentUserRole >= 3) return true;
  return level <= gCurrentUserRole && ListHasItem(gDeptRights, dept);
}

QStringList SplitRights(const QString& list) {
  QStringList items;
  for (const QString& part : list.split(QLatin1Char(','))) {
    const QString t = part.trimmed();
    if (!t.isEmpty()) items << t;
  }
  return items;
}

QString MergeRights(const QString& stored, const QStringList& offered, const QStringList& ticked) {
  QStringList out;
  const auto add = [&out](const QString& item) {
    const QString t = item.trimmed();
    if (!t.isEmpty() && !out.contains(t)) out << t;
  };
  for (const QString& item : offered)
    if (ticked.contains(item)) add(item);
  QStringList offeredTrimmed;
  for (const QString& item : offered) offeredTrimmed << item.trimmed();
  for (const QString& item : SplitRights(stored))
    if (!offeredTrimmed.contains(item)) add(item);
  return out.isEmpty() ? QStringLiteral(",") : out.join(QLatin1Char(','));
}
