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
  // "未连接数据库" while the database cannot be reached; hidden otherwise.
  QLabel* lblState = nullptr;
  bool connected() const { return connected_; }

  // The login (the OK button and Enter in the password box).
  void eButOK_Click();
  void eButExit_Click();

 protected:
  // The window can be left only through its two buttons.
  void reject() override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc does what "放弃(&Esc)" does.
  void keyPressEvent(QKeyEvent* e) override;
  // Centred on the main window, the first time as every later time.
  void showEvent(QShowEvent* e) override;

 private:
  void Form_Load();
  void refuse(const QString& message);
  void setConnected(bool on);
  frmMain* main_;
  QLabel* hint_ = nullptr;
  bool connected_ = true;
};
