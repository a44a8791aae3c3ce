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

  // Totals the boxes and proposes the status.
  void 归还总额();

  std::map<int, QLineEdit*> Text1;  // 0 principal, 1 interest, 2 overdue fee, 3 remark
  QComboBox* Combo1 = nullptr;      // 归还状态
  QLabel* lblze = nullptr;

 protected:
  void showProposal() override;
  bool readEntry(RepaymentEntry* entry) override;
};
