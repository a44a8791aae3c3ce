#pragma once
// 贷款记录: the working list of all loans with its filters, totals and commands.
#include <QDialog>
#include <QString>

#include <map>

class ButtonArray;
class DateBox;
class Grid;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class pbCommand;

class frmDkjl : public QDialog {
  Q_OBJECT
 public:
  // Set before the window loads: 1 lists the loans of QueryText (a customer name); any value but 0
  // and 1 loads without filters or query. Back to 0 after the load.
  qint16 QueryMode = 0;
  QString QueryText;

  // Buttons of pbCJd, by index.
  enum Command {
    cmdAdd = 0, cmdEdit = 1, cmdDelete = 2, cmdContract = 3, cmdVoucher = 4, cmdPrint = 5, cmdExport = 6, cmdClose = 7,
    cmdView = 9, cmdApprove = 10, cmdSms = 11,
  };
  // Columns read by the commands.
  static constexpr int colDocNo = 0, colBorrower = 1, colApproval = 19;

  explicit frmDkjl(QWidget* owner = nullptr);
  ~frmDkjl() override;

  // The list window that is open, if any (the repayment saves refresh it).
  static frmDkjl* OpenList();

  void Form_Load();
  // Rebuilds the query from the filters and refills the grid.
  void 刷新();
  // The complete query of the last refresh.
  const QString& LastListSql() const { return LastListSql_; }

  void comJd_Click(int index);
  void pbCJd_Click(int index);

  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  std::map<int, QComboBox*> comJd;
  std::map<int, QLabel*> LabJd;
  DateBox* DTPstr = nullptr;
  DateBox* DTPovr = nullptr;
  QLineEdit* txtJd = nullptr;
  pbCommand* eButton1 = nullptr;
  Grid* Fg = nullptr;
  ButtonArray* pbCJd = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void addLoan();
  void editLoan(const QString& docNo);
  void deleteLoan(const QString& docNo, const QString& borrower);
  void approveLoan(const QString& docNo, const QString& borrower);
  void viewLoan(const QString& docNo);

  QString LastListSql_;
  QVariantList lastListParams_;
  bool loaded_ = false;
  // A drill-down lists every date until the user picks a period.
  bool anyDate_ = false;
};
