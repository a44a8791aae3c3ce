#pragma once
// Workstations sharing the server database: list, add, rename and delete their rows (the master
// workstation's row is neither listed nor changed here).
#include <QDialog>

#include <array>

class ButtonArray;
class Grid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class frmKhdgl : public QDialog {
  Q_OBJECT
 public:
  explicit frmKhdgl(QWidget* owner = nullptr);

  enum Mode { Browse = 0, Add = 1, Modify = 2, Remove = 3 };

  Grid* Fg = nullptr;  // 编号, 单位名称, 客户端名称
  QGroupBox* Frame1 = nullptr;
  std::array<QRadioButton*, 4> optGn{};  // 浏览, 新增, 修改, 删除
  std::array<QLineEdit*, 2> txtCz{};     // 单位名称, 客户端名称
  std::array<QLabel*, 2> lblLb{};
  ButtonArray* eCmdzx = nullptr;          // 0 确定, 1 退出

  // The 编号 of the row last taken from the list (0: none).
  qint32 CurrentId = 0;

  void 刷新列表();
  // 0 boxes and labels disabled, 1 enabled, 2 enabled and emptied.
  void SetEditState(int mode);
  void optGn_Click(int index);
  void Fg_Click();
  void Fg_DblClick();
  void eCmdzx_Click(int index);
  int SelectedMode() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void save(int mode);
  void deleteCurrentRow();
};

// The number of a new workstation: one more than the highest in use (the master's included).
qint16 NextMachineId();
