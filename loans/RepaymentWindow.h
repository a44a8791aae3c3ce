#pragma once
// What the repayment and the early-repayment windows share: the instalment and the loan they read,
// the labels of the proposal, the payment date, the confirmation with the account picker, the
// save's message and the refreshes after it.
#include <QDialog>
#include <QString>

#include <map>

#include "loans/RepaymentCalc.h"
#include "loans/LoanRecords.h"

class ButtonArray;
class DateBox;
class QGridLayout;
class QLabel;
class frmDkhk;

class RepaymentWindow : public QDialog {
  Q_OBJECT
 public:
  // Set by the opener before the window loads.
  qint32 PlanId = 0;
  QString Handler;          // the loan's 业务经办
  frmDkhk* View = nullptr;  // the loan view to refresh after the save

  enum Command { cmdConfirm = 0, cmdCancel = 1 };

  void Form_Load();
  // Reads the instalment and the loan and shows the proposal for the date in DTPicker1.
  void 计算利息();
  // Writes the payment (after the confirmation, or from the account picker).
  void 保存单据();
  void pbCDkgh_Click(int index);

  std::map<int, QLabel*> lbltqhdr;
  DateBox* DTPicker1 = nullptr;
  ButtonArray* pbCDkgh = nullptr;

  const QString& docNo() const { return docNo_; }
  const RepaymentProposal& proposal() const { return proposal_; }

 protected:
  RepaymentWindow(const QString& title, bool early, QWidget* owner);
  void showEvent(QShowEvent* e) override;

  // The grid of captions and labels; windows add their boxes to it.
  QGridLayout* form_ = nullptr;
  // Adds a caption and its label lbltqhdr(index) at a cell of the form.
  void addLabel(int index, const QString& caption, int row, int col);
  // The boxes of the window after a new proposal.
  virtual void showProposal() = 0;
  // The payment the boxes hold; false (after saying why) when they hold no valid payment.
  virtual bool readEntry(RepaymentEntry* entry) = 0;

  LoanRateTerms terms_;
  InstalmentState row_;
  InstalmentRead seen_;
  RepaymentProposal proposal_;

 private:
  bool fillEntry(RepaymentEntry* entry);
  bool early_;
  QDate proposalDate_;
  QString docNo_;
  bool loaded_ = false;
};
