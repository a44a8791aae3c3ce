#pragma once
// 提前支付: one plan row paid before it is due: interest to the chosen date at the agreed rate, less
// the early-withdrawal deduction; the user may change the amounts and the status before saving.
#include <QDialog>

#include <array>
#include <functional>
#include <map>

#include "financing/FinancingCalc.h"

class ButtonArray;
class DateBox;
class QComboBox;
class QLabel;
class QLineEdit;

class frmRzTqzf : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzTqzf(QWidget* owner = nullptr);

  qint32 PlanRowId = 0;
  QString HandlerName;
  std::function<void()> onSaved;

  QString DocNo;
  PaymentProposal Proposal;  // of the chosen date
  std::map<int, QLabel*> lbltqhdr;  // 0, 1, 2, 5 to 10
  std::array<QLineEdit*, 4> Text1{};  // 支付本金, 支付利息, 扣除利息, 备注
  QComboBox* Combo1 = nullptr;       // 已付, 支付部分
  DateBox* DTPicker1 = nullptr;
  QLabel* lblze = nullptr;
  ButtonArray* pbCDkgh = nullptr;  // 0 确认, 1 取消

  void Form_Load();
  // The proposal of the chosen date into the labels and the three amount boxes.
  void 计算利息();
  // The amount entered and the status it gives.
  void 归还总额();
  void pbCDkgh_Click(int index);
  void 保存单据();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool loaded_ = false;
};
