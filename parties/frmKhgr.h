#pragma once
// 个人客户: the individual customers (PJ_Kehu), and the person picker of the loan registration
// (borrower, guarantor) and of the repayment records (customer filter).
#include "parties/PartyListBase.h"

class DateBox;
class QCheckBox;
class QComboBox;

class frmKhgr : public PartyListBase {
  Q_OBJECT
 public:
  // PickMode values; the opener reads Picked after an Accepted modal show.
  enum : qint16 {
    PickNone = 0,
    PickBorrower = 1,   // loan registration: CustomerId := Picked.id, then its 取客户资料
    PickGuarantor = 2,  // loan registration: PickedPartyId := Picked.id, then its 保证人
    PickFilter = 3,     // repayment records: txtHk(0) := Picked.name
  };

  explicit frmKhgr(QWidget* owner = nullptr);

  QComboBox* Combo1 = nullptr;  // 职业
  QComboBox* Combo2 = nullptr;  // 性别
  DateBox* dtpCs = nullptr;     // 生日, may be unknown
  QCheckBox* Check1 = nullptr;  // 不良贷款记录 "有"

  void InitPartyList() override;
  // 0 disables the frame, 1 enables it, any other mode enables it and empties the boxes.
  void SetEditMode(int mode) override;
  // Empties the boxes: first item of both combos, no birthday, no bad-loan record.
  void 清空();

 protected:
  bool checkRequired(bool adding) override;
  void afterSave(bool added, qint32 id) override;
  bool handsBack(int mode) const override { return mode >= PickBorrower && mode <= PickFilter; }
};
