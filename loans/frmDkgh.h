#pragma once
// 贷款归还: one payment on a due instalment, with the overdue interest proposed.
#include <QString>

#include "loans/RepaymentWindow.h"

class QComboBox;
class QLineEdit;

class frmDkgh : public RepaymentWindow {
  Q_OBJECT
 public:
  explicit frmDkgh(QWidget* owner = nullptr);

  // Totals the boxes and shows the status they give.
  void 归还总额();
  // The user picked a status: only 已还 with the principal paid and interest open is taken, as the
  // waiver of that interest once the user agrees; any other choice goes back to the amounts' status.
  void Combo1_Click(int index);

  std::map<int, QLineEdit*> Text1;  // 0 principal, 1 interest, 2 overdue fee, 3 remark
  QComboBox* Combo1 = nullptr;      // 归还状态
  QLabel* lblze = nullptr;

 protected:
  void showProposal() override;
  bool readEntry(RepaymentEntry* entry) override;

 private:
  // The amounts in the three boxes (an invalid text counts 0).
  double typed(int box) const;
  // The interest this payment leaves open on the row.
  double interestLeft() const;
  bool waived_ = false;  // 已还 chosen over open interest, agreed to
};
