#pragma once
// 资金日报: one summary of the business's money on a base date: own and borrowed capital, the loans
// out (total, due, collected, open, balance) and the financing taken in (total, repaid, balance).
#include <QDialog>

#include "output/ReportQueries.h"

class ButtonArray;
class DateBox;
class Grid;

class frmTjZjrb : public QDialog {
  Q_OBJECT
 public:
  explicit frmTjZjrb(QWidget* parent = nullptr);
  // Computes the report for the base date, keeps it in PJ_TjZjrb and shows it.
  void 刷新();
  // 统计 (0; refuses a base date before today), 导出 (1), 打印 (2).
  void pbCTj_Click(int index);

  DateBox* DTPicker1;
  Grid* Fg;
  ButtonArray* pbCTj;
};
