#pragma once
// 流水账: the cash journal of a period, optionally narrowed by one field condition, with group
// headers, a signed totals row, expenditure rows in red, print and export.
#include <QDialog>

class ButtonArray;
class DateBox;
class Grid;
class QComboBox;
class QGroupBox;
class QLineEdit;
class pbCommand;

class frmTjLs : public QDialog {
  Q_OBJECT
 public:
  explicit frmTjLs(QWidget* parent = nullptr);
  // Runs the query for the period and the condition and fills the grid.
  void 刷新();
  // The period preset (index 0) sets the two dates; the grid waits for 查询.
  void comJd_Click(int index);
  // 打印 (0) and 导出 (1).
  void pbcHk_Click(int index);

  QGroupBox* Frame1;
  QComboBox* comJd[3];
  DateBox* DTPstr;
  DateBox* DTPovr;
  QLineEdit* txtJd;
  pbCommand* eButton1;
  ButtonArray* pbcHk;
  Grid* Fg;
};
