#pragma once
// 回款记录: the repayment records of all loans by period, borrower, staff member and status, with
// their total, print, export and receipt.
#include <QDialog>

#include <map>

class ButtonArray;
class DateBox;
class Grid;
class QComboBox;
class QGroupBox;
class QLineEdit;

class frmDkhkjl : public QDialog {
  Q_OBJECT
 public:
  enum Command { cmdQuery = 0, cmdPrint = 1, cmdExport = 2, cmdClose = 3, cmdReceipt = 4 };

  explicit frmDkhkjl(QWidget* owner = nullptr);

  void Form_Load();
  void 刷新();
  void comJd_Click(int index);
  void txtHk_Click(int index);
  void pbcHk_Click(int index);

  std::map<int, QComboBox*> comJd;
  DateBox* DTPstr = nullptr;
  DateBox* DTPovr = nullptr;
  std::map<int, QLineEdit*> txtHk;
  Grid* Fg = nullptr;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  ButtonArray* pbcHk = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool loaded_ = false;
};
