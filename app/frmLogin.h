#pragma once
// The login window: identifies the staff member at this workstation and fills the login state.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QLabel;
class pbCommand;
class frmMain;

class frmLogin : public QDialog {
  Q_OBJECT
 public:
  explicit frmLogin(frmMain* owner);
  ~frmLogin() override;

  QComboBox* Combo1 = nullptr;
  QLineEdit* txtKl = nullptr;
  QLabel* Image1 = nullptr;
  pbCommand* eButOK = nullptr;
  pbCommand* eButExit = nullptr;

  // The login (the OK button and Enter in the password box).
  void eButOK_Click();
  void eButExit_Click();

 protected:
  // The window can be left only through its two buttons.
  void reject() override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void refuse(const QString& message);
  frmMain* main_;
};
