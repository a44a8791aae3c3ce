#pragma once
// 提前支付: one plan row paid before it is due: interest to the chosen date at the agreed rate, less
// the early-withdrawal deduction; the user may change the amounts and the status before saving.
#include <array>
#include <map>

#include "financing/PaymentForm.h"

class QComboBox;
class QLabel;
class QLineEdit;

class frmRzTqzf : public PaymentForm {
  Q_OBJECT
 public:
  explicit frmRzTqzf(QWidget* owner = nullptr);

  PaymentProposal Proposal;  // of the chosen date, its principal held to what the record still owes
  std::map<int, QLabel*> lbltqhdr;  // 0, 1, 2, 5 to 10
  std::array<QLineEdit*, 4> Text1{};  // 支付本金, 支付利息, 扣除利息, 备注
  QComboBox* Combo1 = nullptr;       // 已付, 支付部分: the amounts' status, shown only
  QLabel* lblze = nullptr;

  // The proposal of the chosen date into the labels and the three amount boxes.
  void 计算利息();
  // The amount entered and the status it gives.
  void 归还总额();

 protected:
  void load() override;
  // Every amount box holds a number (empty is 0), none more than is open or proposed, the date not
  // after the due date, and together they pay something unless they settle the row. All the
  // principal with less interest than proposed asks whether the rest is waived.
  bool checkInput() override;
  bool askBeforeSave() override;
  void fillPosting(PaymentPosting& post) override;

 private:
  double typed(int box) const;
  PlanRowState row_;
  FinancingRates rates_;
  double recordOpen_ = 0;  // the record's 本金 - 已付本金
  double waived_ = 0;      // interest agreed to be waived at the last 确认, 0 when none
  bool ready_ = false;  // the date's first setting computes nothing twice
};
