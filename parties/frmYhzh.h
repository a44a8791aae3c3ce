#pragma once
// 银行账号: the business's own bank accounts (bank, account name, account number), offered by the
// account picker as our side of every money movement. Counterparty accounts are not shown here.
#include <QDialog>

#include <array>

class ButtonArray;
class Grid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class frmYhzh : public QDialog {
  Q_OBJECT
 public:
  explicit frmYhzh(QWidget* owner = nullptr);

  Grid* Fg = nullptr;                     // 编号, 开户行, 开户名, 账号
  QGroupBox* Frame1 = nullptr;
  std::array<QLineEdit*, 3> txtCz{};      // 0 bank, 1 account name, 2 account number
  std::array<QLabel*, 3> lblLb{};         // "开户行", "开户名", "帐号"
  QGroupBox* Frame2 = nullptr;            // "操作选项"
  std::array<QRadioButton*, 4> optGn{};   // 0 浏览, 1 新增, 2 修改, 3 删除
  ButtonArray* eCmdzx = nullptr;          // 0 "确定(&A)", 1 "退出(&S)"

  // 编号 of the account last clicked (0 until a row is clicked): the row 修改 saves to.
  qint64 clickedId() const { return clickedId_; }

  void 刷新列表();
  // 0 boxes disabled; 1 enabled; 2 enabled and emptied.
  void SetEditState(int mode);
  void Fg_Click();
  void optGn_Click(int index);
  // Runs the selected option: add, save the clicked account, or delete the current row.
  void eCmdzx_Click(int index);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  int selectedOption() const;
  void save(bool add);
  void deleteCurrent();

  qint64 clickedId_ = 0;
};
