#pragma once
// 利息支付: one financing record shown read-only with its plan, its payments and its attachments;
// payments of one plan row start here (on the due day or after it: 取款确认; before it: 提前支取).
#include <QDialog>

#include <array>
#include <functional>

class ButtonArray;
class DateBox;
class Grid;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

class frmRzLxzf : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzLxzf(QWidget* owner = nullptr);

  // Set by the opener before the show.
  QString DocNo;
  // The opener's refresh after a payment (the financing list).
  std::function<void()> onPaid;

  QLabel* lblJkdj0 = nullptr;
  std::array<DateBox*, 3> dtpDjrq{};
  std::array<QLineEdit*, 7> txtDkdj{};
  std::array<QComboBox*, 5> comJkzl{};
  QCheckBox* Check1 = nullptr;
  QTabWidget* SSTab1 = nullptr;
  Grid* Fg = nullptr;   // plan
  Grid* Fg2 = nullptr;  // payments
  Grid* Fg1 = nullptr;  // attachments
  ButtonArray* pbCJkzl = nullptr;  // 0 查看, 1 取款确认, 2 提前支取, 3 关闭
  ButtonArray* pbCDkdj = nullptr;  // 0 打印凭证

  void Form_Load();
  void 刷新约定();
  void 刷新支付();
  void 刷新附件();
  void pbCJkzl_Click(int index);
  void pbCDkdj_Click(int index);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  // After a payment window saved: both grids again, the payments tab, and the opener's list.
  void afterPayment();
  bool loaded_ = false;
};
