#pragma once
// The settings of this workstation: its company name and the items of its settings list.
#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class pbCommand;

class frmXtsz : public QDialog {
  Q_OBJECT
 public:
  explicit frmXtsz(QWidget* owner);

  // 0 company name, 1 reminder days, 2 designated creditor, 3 SMS account, 4 SMS password,
  // 5 SMS signature, 6 dunning message format, 7 remittance message format.
  std::array<QLineEdit*, 8> txt{};
  std::array<QLabel*, 6> labMz{};  // 1 "指定债权人", 5 "公司名称"
  std::array<QLabel*, 6> lbl{};    // the SMS group's labels and its hint
  QCheckBox* Check1 = nullptr;     // loans need approval (item 3)
  QCheckBox* Check2 = nullptr;     // financing needs approval (item 4)
  QCheckBox* Check3 = nullptr;     // handling staff member is the creditor (item 2)
  QCheckBox* Check4 = nullptr;     // cash and bank accounts (item 5)
  QCheckBox* Check5 = nullptr;     // SMS centre (item 9)
  QCheckBox* Check6 = nullptr;     // start-up reminder (item 12)
  pbCommand* eButOK = nullptr;
  pbCommand* eButExit = nullptr;
  // Run after a successful save; the main window sets it to re-read its captions and menus.
  std::function<void()> onSaved;

  void Form_Load();
  // Enables the SMS fields exactly when the SMS centre is switched on.
  void 短信中心状态();
  void eButOK_Click();
  void eButExit_Click();

  // The items the form edits, 0 to 12, from the current settings; a shorter list is completed with
  // the defaults of a new workstation.
  static QStringList EditedItems();

 private:
  void save();
  bool refuseComma(QLineEdit* box, const QString& caption);
};
