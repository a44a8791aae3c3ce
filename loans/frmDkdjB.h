#pragma once
// 贷款登记: registers a new loan or edits one by its document number: the borrower (a person or a
// company, picked from the customer lists), amount, rates, dates and terms, guarantors, guarantee
// companies, attachments, the repayment plan (eight plan buttons, the plan dialog for instalments)
// and the save, which writes the loan, its prepaid-interest record and its journal rows at once.
//
// How the loan list opens it:
//   frmDkdjB::OpenNew(this, [this](const QString&) { 刷新(); });            // 增加
//   frmDkdjB::OpenExisting(this, docNo, [this](const QString&) { 刷新(); }); // 修改
// Both show the window modally and return true when the loan was saved; the callback (optional)
// runs right after a successful save, with the document number, as the list's refresh.
#include <QDialog>
#include <QList>
#include <QMap>

#include <array>
#include <functional>
#include <optional>

#include "loans/LoanCalc.h"
#include "loans/LoanStore.h"

class ButtonArray;
class DateBox;
class Grid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTabWidget;

class frmDkdjB : public QDialog {
  Q_OBJECT
 public:
  using SavedCallback = std::function<void(const QString& docNo)>;

  explicit frmDkdjB(QWidget* owner = nullptr);

  static bool OpenNew(QWidget* owner, const SavedCallback& afterSave = {});
  static bool OpenExisting(QWidget* owner, const QString& docNo, const SavedCallback& afterSave = {});

  // ---- public values (set before Form_Load, or by the pickers' hand-backs)
  QString EditDocNo;        // the loan to edit; empty for a new loan; the save sets it
  qint32 CustomerId = 0;    // the borrower in PJ_Kehu ("个人") or PJ_Kehu_Gs
  qint32 PickedPartyId = 0; // a guarantor or guarantee company just picked
  QString BusinessDept;     // the handler's department, written to 部门
  SavedCallback AfterSave;  // runs after a successful save

  // ---- kept by the form
  QString 单号;
  QList<qint32> GuarantorIds;  // 保证人
  QList<qint32> CompanyIds;    // 担保企业
  QString 还款计划;
  double PrepaidInterest = 0;
  LoanCalc::Interest Working;  // the working values of the last interest calculation
  bool Saved = false;
  // What the save writes, held here until then: a plan built in this window, the attachment list.
  LoanCalc::Plan Plan;
  bool NewPlan = false;
  QList<LoanStore::Attachment> Attachments;
  qint64 Version = 0;  // 版本 of the loan as loaded

  // ---- controls
  QLabel* lblJkdj = nullptr;                 // "借贷单号：" + 单号
  std::array<QComboBox*, 2> cmbJkkh{};       // 0 客户类别, 1 职业
  std::array<QLineEdit*, 5> txtJkkh{};       // 名称, 证件号码, 手机, 联系地址, 银行账号
  std::array<DateBox*, 3> dtpDjrq{};         // 登记日期, 起息日, 止息日
  std::array<QComboBox*, 4> comJkzl{};       // 0 rate preset, 1 利率类别, 2 term preset, 3 amount preset
  std::array<QLineEdit*, 8> txtDkdj{};       // 借款金额, 利率, 逾期利率, 贷款用途, 所属行业, 抵押资产, 业务经办, 备注
  QCheckBox* Check1 = nullptr;               // 首尾计息
  QTabWidget* SSTab1 = nullptr;              // 贷款人, 个人担保, 企业担保, 相关附件
  Grid* Fg = nullptr;                        // plan
  Grid* Fg1 = nullptr;                       // attachments
  Grid* Fg2 = nullptr;                       // guarantors
  Grid* Fg3 = nullptr;                       // guarantee companies
  ButtonArray* pbCJkzl = nullptr;            // 0/2 guarantor add/remove, 1/3/4 attachment add/open/delete, 5 borrower, 6/7 companies
  ButtonArray* pbCDkdj = nullptr;            // the eight plan buttons
  ButtonArray* pbCDkgh = nullptr;            // 0 "保存(&A)", 1 "关闭(&E)"

  // ---- procedures
  // 窗体载入, 刷新约定 and 刷新附件, once (the first show runs it too).
  void Form_Load();
  void 窗体载入();
  // Checks the borrower CustomerId (unless `check` is false: loading a stored loan) and fills the
  // borrower's boxes. False when refused; the boxes then stay as they were.
  bool 取客户资料(bool check = true);
  void 保证人();
  void 企业担保();
  void 刷新约定();
  void 刷新附件();
  void 添加附件(const QString& path);
  // The fields of the plan buttons and the save, in the order the window checks them; false after
  // the first failure (said and marked). `button` selects the date checks of the plan.
  bool 检查输入(int button, const LoanCalc::Instalments& inst = {});
  // The terms as the boxes hold them.
  LoanCalc::LoanTerms Terms() const;
  void 打开计划窗体(int method);
  // Builds an instalment plan (kept in the window): method 1 to 5, count, unit "D" or "M", first date.
  void 分期计划(int method, int count, const QString& unit, const QString& firstDate);
  void 保存单据();

  // ---- event handlers
  void comJkzl_Click(int index);
  void cmbJkkh_Click(int index);
  void Check1_Click();
  void pbCJkzl_Click(int index);
  void pbCDkdj_Click(int index);
  void pbCDkgh_Click(int index);
  // A click into 业务经办 picks a staff member.
  void 选择业务经办();

 protected:
  void showEvent(QShowEvent* e) override;
  void done(int r) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void applyPlan(const LoanCalc::Plan& plan);
  void setRateTypeIndex(int index);
  void fillTermList();
  void pickBorrower();
  void pickParty(bool company);
  void reloadPartyGrid(bool company);
  // The guarantors (or guarantee companies) by 编号 with the names the grid shows.
  QMap<qint32, QString> listedNames(bool company) const;
  bool refuseRebuild();
  // Whether amount, rate, rate type, 首尾计息 (and a one-time plan's dates) are those the plan was
  // built (or the loan loaded) with.
  bool termsMatchPlan() const;
  int currentAttachment() const;  // index into Attachments, -1 for none
  // The window's values and lists as one text, to tell an edit that changed from one that did not.
  QString editedState() const;
  LoanStore::LoanDocument document() const;
  void markBox(LoanCalc::Field f);

  bool loaded_ = false;
  std::optional<LoanCalc::LoanTerms> planTerms_;
  QString loadedState_;
  double loadedAmount_ = 0, loadedPrepaid_ = 0;
  bool accountsChosen_ = false;
};
