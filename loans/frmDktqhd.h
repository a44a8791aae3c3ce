#pragma once
// 提前还贷: settles an instalment before its due date with the interest accrued to the chosen day;
// the amounts are the system's and cannot be changed.
#include "loans/RepaymentWindow.h"

class QLineEdit;

class frmDktqhd : public RepaymentWindow {
  Q_OBJECT
 public:
  explicit frmDktqhd(QWidget* owner = nullptr);

  QLineEdit* Text1 = nullptr;  // 归还金额, shown only

 protected:
  void showProposal() override;
  bool readEntry(RepaymentEntry* entry) override;
};
