#pragma once
// 短信管理: one text to a list of mobile numbers through the SMS gateway, the account balance, and
// the history of the messages sent.
#include <QDialog>

class DateBox;
class Grid;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;
class pbCommand;

// The number box after adding one number: the number alone, or appended after one ",".
QString AppendMobileNumber(const QString& box, const QString& number);
// The numbers of a recipient list joined by ",", rows without a number skipped.
QString JoinMobileNumbers(const QStringList& numbers);

class frmMsm : public QDialog {
  Q_OBJECT
 public:
  explicit frmMsm(QWidget* parent = nullptr);

  // The recipients of the chosen source: staff or individual customers.
  void 刷新();
  // The history of the period, searched by 手机 or 发信人, newest first, with its count row.
  void 刷新记录();
  void AddSelected();  // 添加选中 and double-click on the recipient grid
  void AddAll();       // 添加全部
  void Send();         // 发送
  void QueryBalance(); // 查询余额

  QTabWidget* SSTab1;
  QRadioButton* optXz[2];
  Grid* Fg;
  pbCommand* eButton1;
  pbCommand* eButton2;
  pbCommand* eButton3;
  pbCommand* eButton4;
  pbCommand* eButton5;
  pbCommand* eButton6;
  QLineEdit* txtShouji;
  QPlainTextEdit* txtNeirong;
  DateBox* DTPstr;
  DateBox* DTPovr;
  QComboBox* Combo1;
  QComboBox* Combo2;
  QLineEdit* Text1;
  Grid* Fg2;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
