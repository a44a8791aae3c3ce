#pragma once
// 编辑计划: the count, period and first payment date of an instalment plan. Choosing the period
// that is not the record's rate type asks first, since the rate is then read in the other unit.
// The first date starts where the plan covers exactly the chosen term from 起息日期; another date is
// built only after a question.
#include <QDialog>

#include <optional>

#include "financing/FinancingCalc.h"

class DateBox;
class QComboBox;
class pbCommand;

class frmrzZfjh : public QDialog {
  Q_OBJECT
 public:
  // `method`: the plan button; `rateKindIndex`: 0 "日", 1 "月" (the registration's rate type);
  // `start`: the record's 起息日期.
  frmrzZfjh(int method, int rateKindIndex, const QDate& start, QWidget* owner = nullptr);

  int Method = 0;
  int RateKindIndex = 0;
  QDate StartDate;
  // What the user chose; empty when the window was closed without building.
  std::optional<InstalmentOptions> Chosen;

  DateBox* DTPicker1 = nullptr;  // 首次支付日期
  QComboBox* Combo1 = nullptr;   // 支付周期: 日, 月
  QComboBox* Combo2 = nullptr;   // 分期数: 1 to 999
  pbCommand* pbCommand1 = nullptr;

  void pbCommand1_Click();
};
