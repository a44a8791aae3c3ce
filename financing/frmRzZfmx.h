#pragma once
// 支付明细: the payments made to investors, with their plan rows, filtered by payment date, status,
// investor and staff member; print, export, the payment voucher and the remittance SMS.
#include <QDialog>

#include <array>

class ButtonArray;
class DateBox;
class Grid;
class QComboBox;
class QLineEdit;

class frmRzZfmx : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzZfmx(QWidget* owner = nullptr);

  DateBox* DTPstr = nullptr;
  DateBox* DTPovr = nullptr;
  std::array<QComboBox*, 2> comJd{};  // date preset, status
  std::array<QLineEdit*, 2> txtHk{};   // investor, staff member (picked)
  // 0 查询, 1 打印列表, 2 导出, 3 关闭, 4 打印凭证, 5 汇款短信提醒
  ButtonArray* pbcHk = nullptr;
  Grid* Fg = nullptr;
  // The investor picked into txtHk(0).
  qint32 InvestorId = 0;

  void Form_Load();
  void 刷新();
  void pbcHk_Click(int index);
  void txtHk_Click(int index);

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool loaded_ = false;
};
