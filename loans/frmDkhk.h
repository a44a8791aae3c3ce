#pragma once
// 回款: one loan with its borrower, guarantors, guarantee companies, attachments, plan and
// repayment records; repayment, early repayment, dunning and receipts start here.
#include <QDialog>
#include <QString>

#include <map>

class ButtonArray;
class DateBox;
class Grid;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

class frmDkhk : public QDialog {
  Q_OBJECT
 public:
  // Set by the opener before the window loads.
  QString DocNo;

  // Buttons of pbCJkzl that do something here.
  enum Command { cmdDun = 1, cmdRepay = 3, cmdEarly = 4, cmdClose = 6, cmdReceipt = 7 };
  // Columns of the plan grid the commands read.
  static constexpr int colPlanId = 0, colDue = 2, colStatus = 8;

  explicit frmDkhk(QWidget* owner = nullptr);

  void Form_Load();
  void 取客户资料();
  void 刷新约定();
  void 刷新回款();
  void 保证人();
  void 企业担保();
  void 刷新附件();
  void pbCJkzl_Click(int index);

  // The plan-row 编号 last sent to repayment or early repayment.
  qint32 PlanId = 0;

  QLabel* lblJkdj = nullptr;
  std::map<int, DateBox*> dtpDjrq;
  std::map<int, QComboBox*> cmbJkkh;
  std::map<int, QLineEdit*> txtJkkh;
  std::map<int, QLineEdit*> txtDkdj;
  std::map<int, QComboBox*> comJkzl;
  QCheckBox* Check1 = nullptr;
  QTabWidget* SSTab1 = nullptr;
  QTabWidget* SSTab2 = nullptr;
  Grid* Fg = nullptr;   // plan
  Grid* Fg1 = nullptr;  // attachments
  Grid* Fg2 = nullptr;  // guarantors
  Grid* Fg3 = nullptr;  // repayment records
  Grid* Fg4 = nullptr;  // guarantee companies
  ButtonArray* pbCJkzl = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  // Whether the selected plan row may go to repayment (`early` false) or early repayment.
  bool instalmentMayBeRepaid(bool early);
  void fillGrid(Grid* grid, const QString& sql, const QVariantList& params);

  qint32 customerId_ = 0;
  QString guarantors_ = QStringLiteral("0");
  QString companies_ = QStringLiteral("0");
  QString dept_;
  bool loaded_ = false;
};
