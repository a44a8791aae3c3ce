#pragma once
// 拆借登记: one amount taken in from an investor, with its payment plan, attachments and the save
// that writes the record, its prepaid-interest record and its journal rows.
#include <QDialog>

#include <array>
#include <functional>

#include "financing/FinancingCalc.h"
#include "financing/FinancingData.h"

class ButtonArray;
class DateBox;
class Grid;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class frmRzdjB : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzdjB(QWidget* owner = nullptr);

  // Set by the opener before the show: "" for a new document, else the 单号 to edit.
  QString EditDocNo;
  // The picked investor (PJ_Gd.编号) and the handling staff member's department.
  qint32 InvestorId = 0;
  QString HandlerDept;
  // The opener's refresh, run after a save.
  std::function<void()> onSaved;

  QString DocNo;
  // What the last plan build set (or the stored record, when editing).
  QString PlanKind;
  double PrepaidInterest = 0;
  double DailyRate = 0;
  int RateFactor = 1;
  double EarlyDailyRate = 0;
  // What the save writes, held here until then.
  FinancingPlan Plan;
  bool NewPlan = false;
  QList<LoanStore::Attachment> Attachments;
  qint64 Version = 0;  // 版本 of the record as loaded

  std::array<QLineEdit*, 7> txtDkdj{};
  std::array<QComboBox*, 5> comJkzl{};
  std::array<DateBox*, 3> dtpDjrq{};
  QCheckBox* Check1 = nullptr;
  Grid* Fg = nullptr;   // plan
  Grid* Fg1 = nullptr;  // attachments
  QLabel* lblJkdj0 = nullptr;
  ButtonArray* pbCDkgh = nullptr;  // 0 save, 1 close
  ButtonArray* pbCJkzl = nullptr;  // attachments: 0 add, 1 open, 2 delete
  ButtonArray* pbCDkdj = nullptr;  // the seven plan buttons

  // Defaults, then a new number or the stored record; the plan and attachment grids. Once.
  void Form_Load();
  void 窗体载入();
  void 刷新约定();
  void 刷新附件();
  // The save proper (after the account picker, or at once when it is not used).
  void 保存单据();
  void 添加附件(const QString& path);

  void pbCDkdj_Click(int index);
  void pbCDkgh_Click(int index);
  void pbCJkzl_Click(int index);
  void comJkzl_Click(int index);
  void Check1_Click();
  void txtDkdj_Click(int index);

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
 public:
  // Closing asks about a new document's plan and attachments; No keeps the window open.
  void reject() override;

 private:
  bool validateBoxes();
  FinancingTerms terms() const;
  // The values a plan was built from; a save with other values needs a new plan.
  QString planBasis() const;
  QString editedState() const;
  FinancingDocument document() const;
  void setRateKind(int index);

  bool loaded_ = false;
  QString basis_;
  QString loadedState_;
  double loadedAmount_ = 0, loadedPrepaid_ = 0;
  bool accountsChosen_ = false;  // the kept journal rows take gBankInfo's accounts (changed in the picker)
};
