#pragma once
// 企业客户: the corporate customers (PJ_Kehu_Gs), and the company picker of the loan registration
// (borrower of a company loan, guarantee company).
#include "parties/PartyListBase.h"

class QCheckBox;

class frmKhgs : public PartyListBase {
  Q_OBJECT
 public:
  // PickMode values; the opener reads Picked after an Accepted modal show.
  enum : qint16 {
    PickNone = 0,
    PickBorrower = 1,   // loan registration: CustomerId := Picked.id, then its 取客户资料
    PickGuarantee = 2,  // loan registration: PickedPartyId := Picked.id, then its 企业担保
  };

  explicit frmKhgs(QWidget* owner = nullptr);

  QCheckBox* Check1 = nullptr;  // 不良贷款记录 "有"

  // In pick mode the confirm button reads "引用(&R)".
  void InitPartyList() override;
  // Empties txtZX(0) to txtZX(9) and clears Check1.
  void 清空();

 protected:
  bool checkRequired(bool adding) override;
  void afterSave(bool added, qint32 id) override;
  bool handsBack(int mode) const override { return mode == PickBorrower || mode == PickGuarantee; }
};
