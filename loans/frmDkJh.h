#pragma once
// 编辑计划: the small dialog of the instalment plan buttons. It asks for the number of periods, the
// period unit and the first date; its OK hands them back (Chosen) and the registration builds the
// plan. A unit other than the loan's rate type changes the rate type, so it asks first. The first
// date starts where the plan covers exactly the chosen term from 起息日期, and follows the unit until
// the clerk changes it; another date is built only after a question.
#include <QDialog>

#include <optional>

#include "loans/LoanCalc.h"

class DateBox;
class QComboBox;
class QLabel;
class pbCommand;

class frmDkJh : public QDialog {
  Q_OBJECT
 public:
  explicit frmDkJh(QWidget* owner = nullptr);

  // Set by the opener before the modal show.
  qint16 PlanMethod = 0;  // 1 to 5
  qint16 UnitIndex = 0;   // the loan's rate type: 0 "日", 1 "月"; the unit starts there
  QDate StartDate;        // the loan's 起息日期

  // What OK chose; empty when the dialog was closed otherwise.
  std::optional<LoanCalc::Instalments> Chosen;

  QComboBox* Combo2 = nullptr;   // 分期数: "1" to "999"
  QComboBox* Combo1 = nullptr;   // 还贷周期: "日", "月"
  DateBox* DTPicker1 = nullptr;  // 首次归还日期
  pbCommand* pbCommand1 = nullptr;

  // Unit at the rate type, one period, the first date that follows from 起息日期.
  void Form_Load();
  void pbCommand1_Click();
  // The first date that ends the plan on 起息日期 plus the chosen periods, in the unit chosen.
  QDate DefaultFirstDate() const;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool loaded_ = false;
  bool dateByHand_ = false;  // the clerk changed the first date: it no longer follows the unit
  bool settingDate_ = false;
  void followUnit();
};
