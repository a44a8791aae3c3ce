#pragma once
// 帐号权限: the staff accounts the logged-in user may manage (his level and below, in his
// departments), with quick search, add, modify, delete, lock, export and print. Other windows open
// it in a pick mode to choose a staff member.
//
// Picking: the opener calls PickStaff(this, mode) (or sets PickMode and shows the window modally)
// and, when a row was chosen, runs its own hand-back with the result:
//   2 loan registration      name -> its 业务经办 box, department -> its business department
//   3 repayment records      name -> its 业务经办 filter box
//   4 financing registration name -> its handler box, department -> its handler department
//   5 payment records        name -> its 业务经办 filter box
// Any other non-zero mode shows the pick list but hands nothing back.
#include <QDialog>

#include <optional>

#include "app/data/DataAccess.h"

class ButtonArray;
class Grid;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

// The chosen staff member, taken from the grid's current row.
struct StaffPick {
  qint32 Id = 0;      // 编号
  QString LoginName;  // 登录账号
  QString Name;       // 姓名
  QString Dept;       // 科室
};

class frmYg : public QDialog {
  Q_OBJECT
 public:
  explicit frmYg(QWidget* owner = nullptr);

  // 0 manage; 2 to 5 pick for the receivers above. Set before the modal show; 0 again once closed.
  qint16 PickMode = 0;
  // The row handed back in pick modes 2 to 5; empty when the window closed without a choice.
  std::optional<StaffPick> Picked;

  // Opens the list modally over `opener` in `mode` and returns the chosen staff member, if any.
  static std::optional<StaffPick> PickStaff(QWidget* opener, qint16 mode);
  // Whether a pick mode hands a row back to a receiver.
  static bool HandsBack(int mode) { return mode >= 2 && mode <= 5; }

  QGroupBox* framML = nullptr;     // the search panel
  QGroupBox* framRight = nullptr;  // "员工档案信息"
  QLabel* labSpxx = nullptr;       // "查找："
  QComboBox* Combo1 = nullptr;     // search field: 助记符, 姓名, 手机, 登录账号
  QLineEdit* txtCzxx = nullptr;    // search text
  Grid* Fg = nullptr;              // 编号, 登录账号, 姓名, 账号级别, 科室, 手机, 锁定
  // 0 增加, 1 修改, 2 删除, 3 锁/解, 4 导出, 5 打印, 6 退出 or 引用.
  ButtonArray* cmdMLr = nullptr;

  // Builds the scope from the login state and fills the list (once, when the window first shows).
  void Form_Load();
  // Reloads the list: the first 50 accounts in a pick mode, all of them otherwise.
  void 刷新列表();
  // Pick modes 2 to 5 hand the current row back and close; mode 0 modifies the account.
  void Fg_DblClick();
  void cmdMLr_Click(int index);
  // Searches from 2 characters on; an emptied box shows the whole list again.
  void txtCzxx_Change();

 protected:
  void showEvent(QShowEvent* e) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void modifyAccount();
  void deleteAccount();
  void toggleLock();
  void finishList(bool search);
  // Refuses the reserved account with the list's message; true when refused.
  bool refuseReserved(const QString& loginName);
  // 编号 of the current row for delete and lock; 0 when it is the reserved account or the user's
  // own (refused with `ownRefusal`).
  qint64 accountToChange(const QString& ownRefusal);

  SqlWithParams scope_;
  bool loaded_ = false;
};
