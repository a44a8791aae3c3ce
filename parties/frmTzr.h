#pragma once
// 投资人: the investors (PJ_Gd) the business takes funds in from, and the investor picker of the
// financing registration and of the payment records.
#include "parties/PartyListBase.h"

class QComboBox;

class frmTzr : public PartyListBase {
  Q_OBJECT
 public:
  // PickMode values; the opener reads Picked after an Accepted modal show.
  enum : qint16 {
    PickNone = 0,        // "浏览" + 确定 closes the window
    PickFinancing = 1,   // financing registration: investor key := Picked.id, txtDkdj(2) := Picked.name
    PickFilter = 2,      // payment records: txtHk(0) := Picked.name
  };

  explicit frmTzr(QWidget* owner = nullptr);

  QComboBox* Combo1 = nullptr;  // 性别, editable

  void InitPartyList() override;

 protected:
  bool checkRequired(bool adding) override;
  void afterSave(bool added, qint32 id) override;
  bool handsBack(int mode) const override { return mode == PickFinancing || mode == PickFilter; }
};
