#pragma once
// 贷款日报 and 拆借日报: per document, what of its plan fell due up to a base date, what of it is paid
// and what is still open. The two windows share everything but their words and their plan table.
#include <QDialog>

#include "output/ReportQueries.h"

class ButtonArray;
class DateBox;
class Grid;
class QLabel;
class QLineEdit;

class DailyReportWindow : public QDialog {
  Q_OBJECT
 public:
  // Rebuilds the grid for the base date and the name filter.
  void 刷新();
  // 统计 (0), 导出 (1), 打印 (2), 查看明细 (3).
  void pbCTj_Click(int index);

  QLineEdit* Text1;
  DateBox* DTPicker1;
  Grid* Fg;
  ButtonArray* pbCTj;

 protected:
  DailyReportWindow(PlanBook book, QWidget* parent);

 private:
  PlanBook book_;
  QLabel* nameLabel_;
};

class frmTjDkbb : public DailyReportWindow {
  Q_OBJECT
 public:
  explicit frmTjDkbb(QWidget* parent = nullptr);
};

class frmTjCjrb : public DailyReportWindow {
  Q_OBJECT
 public:
  explicit frmTjCjrb(QWidget* parent = nullptr);
};
