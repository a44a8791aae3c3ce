#include "financing/FinancingGrids.h"

#include "app/data/DataAccess.h"
#include "app/services/GridHelpers.h"
#include "loans/PlanGrid.h"
#include "platform/Grid.h"

void LoadFinancingPlanGrid(Grid* grid, const QString& docNo) {
  LoadPlanGrid(grid,
               QStringLiteral("select 编号,(支付期次) as 期次,约定支付日期,(计息天数) as 间隔天数,拆借本金,应付本金,应付利息,"
                              "(已付本金+已付利息) as 已付金额,结算状态,支付日期,备注 from PJ_Cjzfjh where 单号=? order by 支付期次,编号"),
               {docNo}, QStringLiteral("应付"), {4, 5, 6, 7});
}

void LoadAttachmentGrid(Grid* grid, const QString& docNo) {
  gCurrentSql = QStringLiteral("select 编号,附件名称,文件类型 from PJ_DkFj where 单号=? order by 编号");
  gCurrentParams = {docNo};
  LoadGridFromQuery(grid, false, QString());
  CloseRecordset(gMainRecordset);
  grid->setColHidden(0, true);
}

void LoadPaymentGrid(Grid* grid, const QString& docNo) {
  gCurrentSql = QStringLiteral("select 编号,单号,期次,日期,本金,利息,操作员,备注 from PJ_Cjzfjl where 单号=? order by 编号");
  gCurrentParams = {docNo};
  LoadGridFromQuery(grid, false, QString());
  CloseRecordset(gMainRecordset);
  for (int c : {4, 5}) grid->setColFormat(c, QStringLiteral("Currency"));
  FitColumnsAtLeast(grid, {{4, 1400}, {5, 1400}});
}
