#pragma once
// The grids the registration form and the record view share: the plan of a document, its
// attachments and its payments.
#include <QString>

class Grid;

// The plan rows: 编号 (hidden), 期次, 约定支付日期, 间隔天数, 拆借本金, 应付本金, 应付利息, 已付金额,
// 结算状态, 支付日期, 备注; "应付" over columns 5 to 7; a totals row over 间隔天数 and the money.
void LoadFinancingPlanGrid(Grid* grid, const QString& docNo);
// 编号 (hidden), 附件名称, 文件类型.
void LoadAttachmentGrid(Grid* grid, const QString& docNo);
// The payment records: 编号, 单号, 期次, 日期, 本金, 利息, 操作员, 备注.
void LoadPaymentGrid(Grid* grid, const QString& docNo);
