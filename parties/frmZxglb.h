#pragma once
// 常用数值: the items of the lookup lists (departments and the other short lists), grouped by
// category, some with one extra value each. The catalogue of lists is delivered with the database
// and only read here.
#include <QDialog>

#include <array>
#include <vector>

class ButtonArray;
class Grid;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

class frmZxglb : public QDialog {
  Q_OBJECT
 public:
  explicit frmZxglb(QWidget* owner = nullptr);

  // One shown list of the catalogue.
  struct LookupList {
    QString Name;       // 名称: the window's title while it is current
    qint16 Category = 0;  // 类别 of its items
    qint16 Param = 0;   // 参数: 0 no extra value, 1 参数1, 2 参数2 (3 shows 参数2 read-only)
    QString ParamName;  // 参数名: caption of the extra value
  };
  const std::vector<LookupList>& lists() const { return lists_; }
  int currentList() const { return current_; }
  // 编号 and 名称 of the item last clicked in the current list (0 and "" when none).
  qint64 currentItemId() const { return itemId_; }
  QString currentItemName() const { return itemName_; }

  QListWidget* List1 = nullptr;   // the lists
  Grid* Fg = nullptr;             // the items: 名称, the extra value, 编号 (hidden)
  QLabel* Label1 = nullptr;       // "名称"
  QLabel* Label2 = nullptr;       // the list's 参数名
  QLineEdit* Text1 = nullptr;     // item name
  QLineEdit* Text2 = nullptr;     // extra value
  QGroupBox* Frame2 = nullptr;
  std::array<QRadioButton*, 4> optGn{};  // 0 浏览, 1 增加, 2 修改, 3 删除
  ButtonArray* eCmdzx = nullptr;  // 0 确定, 1 导入, 2 导出, 3 退出

  // Reads the catalogue and opens the first list.
  void Form_Load();
  // Makes list `index` current and shows its items.
  void List1_Click(int index);
  // Loads the items of the current list into the grid.
  void LoadItems();
  void Fg_Click(int row);
  void optGn_Click(int index);
  void eCmdzx_Click(int index);

  // The reserved item names: they keep their name, only their extra value may change.
  static bool IsReservedName(const QString& name);

 private:
  int selectedOption() const;
  void setBoxesEnabled();
  void clearBoxes();
  void addItem();
  void modifyItem();
  void deleteItem();
  void importItems();
  bool validate();
  bool departmentInUse(const QString& name);
  const LookupList* list() const;

  std::vector<LookupList> lists_;
  int current_ = -1;
  qint64 itemId_ = 0;
  QString itemName_;
};
