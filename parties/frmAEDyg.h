#pragma once
// 权限: adds or modifies one staff account: login name, password, name, mnemonic, mobile,
// department, level, the departments whose staff it may see and its module rights. The staff list
// opens it; a successful save refreshes that list and closes.
//
// An administrator hands on only the departments and rights he holds himself; on an edited account
// the items he does not hold are kept as they were. He cannot change an account above his level,
// and cannot change the level of his own account or of an account of his own level.
#include <QDialog>

#include <array>

class ButtonArray;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class frmYg;

class frmAEDyg : public QDialog {
  Q_OBJECT
 public:
  // `list` is the staff list to refresh after a save (may be null).
  explicit frmAEDyg(QWidget* owner = nullptr, frmYg* list = nullptr);

  // 0 add, 1 modify. Set by the opener before the modal show.
  qint16 EditMode = 0;
  // 编号 of the account to modify.
  qint32 AccountId = 0;

  QTabWidget* SSTab1 = nullptr;            // "基本信息", "科室权限", "模块权限"
  std::array<QLineEdit*, 5> txtQx{};       // 0 login name, 1 password, 2 name, 3 mnemonic, 4 mobile
  std::array<QComboBox*, 3> CobQx{};       // 0 level, 2 department
  std::array<QLabel*, 8> lblEd{};          // 0 登录帐号, 1 帐号级别, 2 登录密码, 3 姓名, 4 助记符, 6 科室, 7 手机
  std::array<QListWidget*, 3> LstQx{};     // 1 departments, 2 module rights (ticked = granted)
  ButtonArray* pbCQx = nullptr;            // 1 and 2 "全选", 3 "推荐"
  ButtonArray* eCmdzx = nullptr;           // 0 "确定(&A)", 1 "退出(&S)"

  // Fills the boxes and lists for the edit mode (once, when the window first shows). An account the
  // user may not change is refused with a message and the window closes.
  void Form_Load();
  // False when the load refused the account (nothing can be saved then).
  bool loadedOk() const { return loadedOk_; }

  // The level number of a level text (普通账户 and any unknown text: 0).
  static qint16 账户属性(const QString& levelText);
  // Validates, writes the account, reports, refreshes the list and closes. True when saved.
  bool 增修(qint16 editMode);
  // Level box, department box and both rights lists for a new account.
  void 增加初始项();
  // Ticks every item whose text is a whole item of `stored`; never clears a tick.
  static void 绑定权限(QListWidget* list, const QString& stored);
  // The ticked items joined by "," in list order; "," when none is ticked.
  static QString 选定权限(QListWidget* list);
  static void 全选(QListWidget* list);
  // Ticks, in addition, the preset rights of the level in the level box.
  void 推荐();
  // Whether the level box may be changed for this account.
  bool levelChangeable() const { return levelChangeable_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void fillRightsLists();
  void refuseLoad(const QString& message);
  bool checkedValidate(QLineEdit* box, const QString& caption);

  frmYg* list_ = nullptr;
  bool loaded_ = false;
  bool loadedOk_ = true;
  bool ownAccount_ = false;
  bool levelChangeable_ = true;
  bool reserved_ = false;
  QString buffer_;  // the level list at load, then the last preset 推荐 applied
  QString storedLevelWord_;
  QString storedDeptRights_;
  QString storedModuleRights_;
};
