#pragma once
// 催款: dunning notes on a loan and the reminder SMS to its borrower.
#include <QDialog>
#include <QString>

#include <map>

class Grid;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class pbCommand;

class frmDkck : public QDialog {
  Q_OBJECT
 public:
  // Set by the opener before the window loads.
  QString DocNo;
  qint32 PlanId = 0;

  explicit frmDkck(QWidget* owner = nullptr);

  void Form_Load();
  // Stores the note of txtCk(4) and shows the notes again.
  void pbCommand1_Click();
  // Sends the note as SMS to the borrower's mobile and, once the gateway took it, stores it.
  void PbC_Click();

  std::map<int, QLineEdit*> txtCk;  // 0 name, 1 mobile, 2 address, 3 id number
  QPlainTextEdit* txtNote = nullptr;  // txtCk(4): the note
  QLabel* Label1 = nullptr;
  Grid* Fg = nullptr;   // notes
  Grid* Fg2 = nullptr;  // guarantors
  QTabWidget* SSTab1 = nullptr;
  pbCommand* pbCommand1 = nullptr;
  pbCommand* PbC = nullptr;

  double OutstandingPrincipal() const { return principal_; }
  double OutstandingInterest() const { return interest_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool noteGiven();
  bool saveNote();
  void loadNotes();

  QString guarantors_ = QStringLiteral("0");
  double principal_ = 0;
  double interest_ = 0;
  QString due_;
  bool loaded_ = false;
};

// The dunning text of the settings with the borrower's name, the due date and the amount put in.
QString FillDunningTemplate(const QString& templ, const QString& name, const QDate& due, double amount);
