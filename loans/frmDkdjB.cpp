#include "loans/frmDkdjB.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/Ledger.h"
#include "app/services/SettingsList.h"
#include "app/services/TextLimits.h"
#include "control/pbCommand.h"
#include "loans/LoanPresets.h"
#include "loans/LoanStore.h"
#include "loans/PlanGrid.h"
#include "loans/frmDkJh.h"
#include "loans/frmXjyh.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "platform/TextStart.h"

using namespace LoanCalc;

namespace {
const QString kPerson = QStringLiteral("个人");
const QString kPresetHint = QStringLiteral("仅作快捷辅助，以后面的实际数值为准。");

const char* const kOccupations[] = {"管理人员", "技术人员", "职员", "农民", "军人", "无业人员", "学生", "个体户", "其他"};

int methodOfButton(int button) {
  for (int m = 1; m <= 5; ++m)
    if (ButtonOfMethod(m) == button) return m;
  return 0;
}

// 检查输入 without the checks of a plan's dates and periods.
constexpr int kFieldsOnly = -1;

QString rateText(double v) { return Money::format(v, QStringLiteral("0.0000")); }
}  // namespace

bool frmDkdjB::OpenNew(QWidget* owner, const SavedCallback& afterSave) { return OpenExisting(owner, QString(), afterSave); }

bool frmDkdjB::OpenExisting(QWidget* owner, const QString& docNo, const SavedCallback& afterSave) {
  frmDkdjB w(owner);
  w.EditDocNo = docNo;
  w.AfterSave = afterSave;
  w.Form_Load();
  RunModal(&w);
  return w.Saved;
}

frmDkdjB::frmDkdjB(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkdjB"));
  setWindowTitle(QStringLiteral("贷款登记"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  lblJkdj = new QLabel(QStringLiteral("借贷单号："), this);
  lblJkdj->setObjectName(QStringLiteral("lblJkdj_0"));
  QFont big = lblJkdj->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.2);
  lblJkdj->setFont(big);

  // ---- the borrower and the parties around the loan
  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  pbCJkzl = new ButtonArray(this);

  auto* borrower = new QWidget;
  auto* bl = new QGridLayout(borrower);
  for (int i = 0; i < 2; ++i) {
    cmbJkkh[i] = new QComboBox(borrower);
    cmbJkkh[i]->setObjectName(QStringLiteral("cmbJkkh_%1").arg(i));
  }
  cmbJkkh[0]->addItems({kPerson, QStringLiteral("企业")});
  for (const char* o : kOccupations) cmbJkkh[1]->addItem(QString::fromUtf8(o));
  const QStringList partyCaptions = {QStringLiteral("名称"), QStringLiteral("证件号码"), QStringLiteral("手机"),
                                     QStringLiteral("联系地址"), QStringLiteral("银行账号")};
  for (int i = 0; i < 5; ++i) {
    txtJkkh[i] = new QLineEdit(borrower);
    txtJkkh[i]->setObjectName(QStringLiteral("txtJkkh_%1").arg(i));
    txtJkkh[i]->setReadOnly(true);
    ShowTextStart(txtJkkh[i]);
  }
  FitIdentityNumber(txtJkkh[1]);
  txtJkkh[0]->installEventFilter(this);
  txtJkkh[0]->setPlaceholderText(QStringLiteral("点击选择借款客户"));
  pbCommand* pick = pbCJkzl->add(5, QStringLiteral("..."), borrower);
  pick->setObjectName(QStringLiteral("pbCJkzl_5"));
  pick->setToolTip(QStringLiteral("选择借款客户"));
  pick->setFixedWidth(36);
  bl->addWidget(new QLabel(QStringLiteral("客户类别")), 0, 0);
  bl->addWidget(cmbJkkh[0], 0, 1);
  bl->addWidget(new QLabel(QStringLiteral("职业")), 0, 2);
  bl->addWidget(cmbJkkh[1], 0, 3, 1, 2);
  bl->addWidget(new QLabel(partyCaptions[0]), 1, 0);
  bl->addWidget(txtJkkh[0], 1, 1, 1, 3);
  bl->addWidget(pick, 1, 4);
  bl->addWidget(new QLabel(partyCaptions[1]), 2, 0);
  bl->addWidget(txtJkkh[1], 2, 1);
  bl->addWidget(new QLabel(partyCaptions[2]), 2, 2);
  bl->addWidget(txtJkkh[2], 2, 3, 1, 2);
  bl->addWidget(new QLabel(partyCaptions[3]), 3, 0);
  bl->addWidget(txtJkkh[3], 3, 1, 1, 4);
  bl->addWidget(new QLabel(partyCaptions[4]), 4, 0);
  bl->addWidget(txtJkkh[4], 4, 1, 1, 4);
  bl->setColumnStretch(1, 1);
  bl->setColumnStretch(3, 1);
  bl->setRowStretch(5, 1);
  SSTab1->addTab(borrower, QStringLiteral("贷款人"));

  auto gridPage = [this](Grid*& grid, const QString& name, std::initializer_list<std::pair<int, const char*>> buttons) {
    auto* page = new QWidget;
    auto* l = new QHBoxLayout(page);
    grid = new Grid(page);
    grid->setObjectName(name);
    ApplyGridLook(grid);
    l->addWidget(grid, 1);
    auto* col = new QVBoxLayout;
    for (const auto& [index, caption] : buttons) {
      pbCommand* b = pbCJkzl->add(index, QString::fromUtf8(caption), page);
      b->setObjectName(QStringLiteral("pbCJkzl_%1").arg(index));
      b->setMinimumSize(90, 28);
      col->addWidget(b);
    }
    col->addStretch(1);
    l->addLayout(col);
    return page;
  };
  SSTab1->addTab(gridPage(Fg2, QStringLiteral("Fg2"), {{0, "增加"}, {2, "删除"}}), QStringLiteral("个人担保"));
  SSTab1->addTab(gridPage(Fg3, QStringLiteral("Fg3"), {{6, "增加"}, {7, "删除"}}), QStringLiteral("企业担保"));
  SSTab1->addTab(gridPage(Fg1, QStringLiteral("Fg1"), {{1, "新增文档"}, {3, "查    看"}, {4, "删    除"}}), QStringLiteral("相关附件"));

  // ---- the loan's terms
  auto* terms = new QGroupBox(QStringLiteral("借款信息"), this);
  terms->setObjectName(QStringLiteral("FrameTerms"));
  auto* tl = new QGridLayout(terms);
  const QStringList dateCaptions = {QStringLiteral("登记日期"), QStringLiteral("起 息 日"), QStringLiteral("止 息 日")};
  for (int i = 0; i < 3; ++i) {
    dtpDjrq[i] = new DateBox(terms);
    dtpDjrq[i]->setObjectName(QStringLiteral("dtpDjrq_%1").arg(i));
  }
  for (int i = 0; i < 4; ++i) {
    comJkzl[i] = new QComboBox(terms);
    comJkzl[i]->setObjectName(QStringLiteral("comJkzl_%1").arg(i));
  }
  FillRatePresets(comJkzl[0]);
  comJkzl[1]->addItems({kDaily, kMonthly});
  FillAmountPresets(comJkzl[3]);
  for (int i : {0, 2, 3}) comJkzl[i]->setToolTip(kPresetHint);
  const QStringList fieldCaptions = {QStringLiteral("借款金额"), QStringLiteral("利率"),     QStringLiteral("逾期利率"),
                                     QStringLiteral("贷款用途"), QStringLiteral("所属行业"), QStringLiteral("抵押资产"),
                                     QStringLiteral("业务经办"), QStringLiteral("备注")};
  for (int i = 0; i < 8; ++i) {
    txtDkdj[i] = new QLineEdit(terms);
    txtDkdj[i]->setObjectName(QStringLiteral("txtDkdj_%1").arg(i));
    QLineEdit* box = txtDkdj[i];
    connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  }
  MakeMoneyBox(txtDkdj[0], QStringLiteral("借款金额"));
  for (int i = 1; i < 3; ++i) MakeAmountBox(txtDkdj[i]);
  for (int i = 3; i < 8; ++i) LimitTextBox(txtDkdj[i], QStringLiteral("PJ_Dkjl"), fieldCaptions[i], fieldCaptions[i]);
  txtDkdj[6]->installEventFilter(this);
  txtDkdj[6]->setPlaceholderText(QStringLiteral("点击选择员工"));
  Check1 = new QCheckBox(QStringLiteral("首尾计息"), terms);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setToolTip(QStringLiteral("选择该项，则今日借，明日还，将计算为2个计息日。"));

  auto label = [terms](const QString& text) {
    auto* l = new QLabel(text, terms);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  tl->addWidget(label(dateCaptions[0]), 0, 0);
  tl->addWidget(dtpDjrq[0], 0, 1);
  tl->addWidget(label(fieldCaptions[0]), 0, 2);
  tl->addWidget(txtDkdj[0], 0, 3);
  tl->addWidget(comJkzl[3], 0, 4);
  tl->addWidget(label(dateCaptions[1]), 1, 0);
  tl->addWidget(dtpDjrq[1], 1, 1);
  tl->addWidget(label(fieldCaptions[1]), 1, 2);
  tl->addWidget(txtDkdj[1], 1, 3);
  tl->addWidget(comJkzl[0], 1, 4);
  tl->addWidget(label(dateCaptions[2]), 2, 0);
  tl->addWidget(dtpDjrq[2], 2, 1);
  tl->addWidget(label(fieldCaptions[2]), 2, 2);
  tl->addWidget(txtDkdj[2], 2, 3);
  tl->addWidget(Check1, 2, 4);
  tl->addWidget(label(QStringLiteral("期限")), 3, 0);
  tl->addWidget(comJkzl[2], 3, 1);
  tl->addWidget(label(QStringLiteral("利率类别")), 3, 2);
  tl->addWidget(comJkzl[1], 3, 3);
  for (int i = 3; i <= 6; ++i) {
    const int row = 4 + (i - 3) / 2, col = ((i - 3) % 2) * 2;
    tl->addWidget(label(fieldCaptions[i]), row, col);
    tl->addWidget(txtDkdj[i], row, col + 1, 1, col == 2 ? 2 : 1);
  }
  tl->addWidget(label(fieldCaptions[7]), 6, 0);
  tl->addWidget(txtDkdj[7], 6, 1, 1, 4);
  tl->setColumnStretch(1, 1);
  tl->setColumnStretch(3, 1);

  // ---- the plan
  auto* planButtons = new QGroupBox(QStringLiteral("设置还款计划"), this);
  planButtons->setObjectName(QStringLiteral("FramePlanButtons"));
  auto* pbl = new QGridLayout(planButtons);
  pbCDkdj = new ButtonArray(this);
  for (int i = 0; i < 8; ++i) {
    pbCommand* b = pbCDkdj->add(i, ButtonCaption(i), planButtons);
    b->setObjectName(QStringLiteral("pbCDkdj_%1").arg(i));
    b->setMinimumSize(110, 30);
    pbl->addWidget(b, i / 4, i % 4);
  }
  auto* planFrame = new QGroupBox(QStringLiteral("还款计划"), this);
  planFrame->setObjectName(QStringLiteral("FramePlan"));
  auto* pfl = new QVBoxLayout(planFrame);
  Fg = new Grid(planFrame);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  pfl->addWidget(Fg);

  pbCDkgh = new ButtonArray(this);
  pbCommand* save = pbCDkgh->add(0, QStringLiteral("保存(&A)"), this);
  save->setObjectName(QStringLiteral("pbCDkgh_0"));
  pbCommand* close = pbCDkgh->add(1, QStringLiteral("关闭(&E)"), this);
  close->setObjectName(QStringLiteral("pbCDkgh_1"));
  for (pbCommand* b : {save, close}) b->setMinimumSize(100, 32);

  auto* left = new QVBoxLayout;
  left->addWidget(SSTab1, 1);
  left->addWidget(terms);
  auto* right = new QVBoxLayout;
  right->addWidget(planButtons);
  right->addWidget(planFrame, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(left, 5);
  body->addLayout(right, 6);
  auto* root = new QVBoxLayout(this);
  root->addWidget(lblJkdj);
  root->addLayout(body, 1);
  root->addLayout(RightAlignedButtons({save, close}));
  root->setContentsMargins(10, 8, 10, 10);
  resize(1180, 680);

  for (int i = 0; i < 4; ++i) connect(comJkzl[i], &QComboBox::activated, this, [this, i] { comJkzl_Click(i); });
  connect(cmbJkkh[0], &QComboBox::activated, this, [this] { cmbJkkh_Click(0); });
  connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
  connect(pbCJkzl, &ButtonArray::clicked, this, [this](int i) { pbCJkzl_Click(i); });
  connect(pbCDkdj, &ButtonArray::clicked, this, [this](int i) { pbCDkdj_Click(i); });
  connect(pbCDkgh, &ButtonArray::clicked, this, [this](int i) { pbCDkgh_Click(i); });
}

// ---- loading

void frmDkdjB::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!loaded_) Form_Load();
}

void frmDkdjB::Form_Load() {
  loaded_ = true;
  Guarded(QString(), this, [this] {
    窗体载入();
    刷新约定();
    刷新附件();
    loadedState_ = editedState();
  });
}

void frmDkdjB::fillTermList() {
  FillTermPresets(comJkzl[2], comJkzl[1]->currentIndex() == 0);
}

void frmDkdjB::setRateTypeIndex(int index) {
  QSignalBlocker block(comJkzl[1]);
  comJkzl[1]->setCurrentIndex(index);
  fillTermList();
}

void frmDkdjB::窗体载入() {
  Saved = false;
  for (QComboBox* c : comJkzl) c->blockSignals(true);
  Check1->blockSignals(true);
  comJkzl[0]->setCurrentIndex(0);
  comJkzl[3]->setCurrentIndex(0);
  Plan = {};
  NewPlan = false;
  if (!EditDocNo.isEmpty()) {
    单号 = EditDocNo;
    lblJkdj->setText(QStringLiteral("借贷单号：") + 单号);
    OpenMainQuery(QStringLiteral("select * from PJ_Dkjl where 单号=?"), {单号});
    if (gMainRecordset.isNothing() || gMainRecordset.Eof()) {
      CloseRecordset(gMainRecordset);
      for (QComboBox* c : comJkzl) c->blockSignals(false);
      Check1->blockSignals(false);
      throw AppError(Err::NoCurrentRecord, QStringLiteral("借贷单据") + 单号 + QStringLiteral("已不存在。"));
    }
    Recordset& rs = gMainRecordset;
    dtpDjrq[0]->setDateText(rs.text(QStringLiteral("登记日期")));
    SelectComboItemByText(cmbJkkh[0], rs.text(QStringLiteral("客户性质")));
    txtJkkh[0]->setText(rs.text(QStringLiteral("客户名称")));
    dtpDjrq[1]->setDateText(rs.text(QStringLiteral("起息日期")));
    txtDkdj[0]->setText(Money::format(rs.number(QStringLiteral("本金")), QStringLiteral("0.00")));
    SelectComboItemByText(comJkzl[1], rs.text(QStringLiteral("利率类别")));
    fillTermList();
    Check1->setChecked(rs.integer(QStringLiteral("首尾计息")) == 1);
    // The stored end date, after the boxes whose clicks would move it.
    dtpDjrq[2]->setDateText(rs.text(QStringLiteral("止息日期")));
    txtDkdj[1]->setText(rateText(rs.number(QStringLiteral("利率"))));
    txtDkdj[2]->setText(rateText(rs.number(QStringLiteral("逾期利率"))));
    const QStringList cols = {QStringLiteral("贷款用途"), QStringLiteral("所属行业"), QStringLiteral("抵押资产"), QStringLiteral("业务经办"),
                              QStringLiteral("备注")};
    for (int i = 0; i < cols.size(); ++i) txtDkdj[3 + i]->setText(rs.text(cols[i]));
    CustomerId = static_cast<qint32>(rs.integer(QStringLiteral("客户ID")));
    GuarantorIds = LoanStore::ParseIdList(rs.text(QStringLiteral("保证人")));
    CompanyIds = LoanStore::ParseIdList(rs.text(QStringLiteral("担保企业")));
    BusinessDept = rs.text(QStringLiteral("部门"));
    // What an edit saves again unless a plan button builds anew.
    还款计划 = rs.text(QStringLiteral("还款计划"));
    Working.dailyRate = rs.number(QStringLiteral("日利率"));
    Working.factor = static_cast<int>(rs.integer(QStringLiteral("利率系数")));
    Working.overdueDailyRate = rs.number(QStringLiteral("逾期日利率"));
    Working.days = static_cast<int>(rs.integer(QStringLiteral("计息天数")));
    Working.interest = rs.number(QStringLiteral("利息"));
    // The 版本 of the row shown: an edit saved elsewhere after this read makes this window's save stale.
    Version = rs.integer(QStringLiteral("版本"));
    CloseRecordset(gMainRecordset);
    // The interest the kept plan took at registration, as its rows hold it.
    PrepaidInterest = LoanStore::StoredPrepaid(单号);
    Attachments = LoanStore::StoredAttachments(单号);
    取客户资料(false);
    planTerms_ = Terms();
    loadedAmount_ = Money::round(Terms().amount, 2);
    loadedPrepaid_ = Money::round(PrepaidInterest, 2);
  } else {
    单号 = LoanStore::NewLoanNumber();
    lblJkdj->setText(QStringLiteral("借贷单号：") + 单号);
    GuarantorIds.clear();
    CompanyIds.clear();
    PickedPartyId = 0;
    CustomerId = 0;
    还款计划.clear();
    PrepaidInterest = 0;
    Working = {};
    planTerms_.reset();
    Attachments.clear();
    for (int i = 0; i <= 6; ++i) txtDkdj[i]->clear();
    for (QLineEdit* t : txtJkkh) t->clear();
    const QDate today = Clock::today();
    for (DateBox* d : dtpDjrq) d->setDateValue(today);
    comJkzl[1]->setCurrentIndex(0);
    fillTermList();
    cmbJkkh[0]->setCurrentIndex(0);
    cmbJkkh[1]->setCurrentIndex(0);
    Check1->setChecked(false);
    // The presets' first items: 一厘 and 五万.
    comJkzl_Click(0);
    comJkzl_Click(3);
  }
  for (QComboBox* c : comJkzl) c->blockSignals(false);
  Check1->blockSignals(false);
  保证人();
  企业担保();
}

bool frmDkdjB::取客户资料(bool check) {
  if (CustomerId == 0) return false;
  const bool person = cmbJkkh[0]->currentIndex() == 0;
  if (check) {
    const LoanStore::Freeze f = LoanStore::BorrowerFreeze(person, CustomerId, 单号);
    if (f != LoanStore::Freeze::None) {
      MsgBox(LoanStore::FreezeMessage(f), Mb::Critical);
      return false;
    }
  }
  if (person)
    OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 编号= ?"), {CustomerId});
  else
    OpenMainQuery(QStringLiteral("select * from PJ_Kehu_Gs where 编号= ?"), {CustomerId});
  if (gMainRecordset.isNothing() || gMainRecordset.Eof()) {
    CloseRecordset(gMainRecordset);
    return false;
  }
  const Recordset& rs = gMainRecordset;
  const QStringList cols = person ? QStringList{QStringLiteral("姓名"), QStringLiteral("身份证号"), QStringLiteral("手机"),
                                                QStringLiteral("家庭住址"), QStringLiteral("银行帐号")}
                                  : QStringList{QStringLiteral("公司名称"), QStringLiteral("营业执照注册号"), QStringLiteral("手机"),
                                                QStringLiteral("住所地"), QStringLiteral("银行帐号")};
  for (int i = 0; i < 5; ++i) {
    txtJkkh[i]->setText(rs.text(cols[i]));
    ClearInputMark(txtJkkh[i]);
  }
  SelectComboItemByText(cmbJkkh[1], rs.text(person ? QStringLiteral("职业") : QStringLiteral("法人职务")));
  CloseRecordset(gMainRecordset);
  return true;
}

void frmDkdjB::reloadPartyGrid(bool company) {
  QList<qint32>& ids = company ? CompanyIds : GuarantorIds;
  if (PickedPartyId != 0) {
    if (LoanStore::IsOwnGuarantor(cmbJkkh[0]->currentIndex() == 0, CustomerId, company, PickedPartyId))
      MsgBox(LoanStore::OwnGuarantorMessage(), Mb::Critical);
    else if (!ids.contains(PickedPartyId))
      ids.prepend(PickedPartyId);
    PickedPartyId = 0;
  }
  const QString select = company ? QStringLiteral("select 编号,公司名称,法人姓名,营业执照注册号,手机,住所地 from PJ_Kehu_Gs where ")
                                 : QStringLiteral("select 编号,姓名,性别,身份证号,手机,家庭住址 from PJ_Kehu where ");
  QVariantList params;
  QString sql;
  if (ids.isEmpty()) {
    sql = select + QStringLiteral("编号=0");
  } else {
    QStringList marks;
    for (qint32 id : ids) {
      marks << QStringLiteral("?");
      params << id;
    }
    sql = select + QStringLiteral("编号 in (") + marks.join(QLatin1Char(',')) + QStringLiteral(")");
  }
  const QueryResult found = Db().query(sql, params);
  std::vector<QVariantList> rows = found.rows;
  // A party deleted since the loan named it stays listed, so that it can be seen and removed.
  for (qint32 id : ids) {
    const bool present = std::any_of(found.rows.begin(), found.rows.end(),
                                     [id](const QVariantList& r) { return static_cast<qint32>(VariantNumber(r.value(0))) == id; });
    if (!present) rows.push_back({id, QStringLiteral("（已删除）"), QVariant(), QVariant(), QVariant(), QVariant()});
  }
  Grid* grid = company ? Fg3 : Fg2;
  LoadGridFromRows(grid, found.columns, rows, false, QString());
  grid->setColHidden(0, false);
}

QMap<qint32, QString> frmDkdjB::listedNames(bool company) const {
  QMap<qint32, QString> names;
  const Grid* grid = company ? Fg3 : Fg2;
  for (int r = grid->fixedRows(); r < grid->rows(); ++r) names.insert(grid->textMatrix(r, 0).toInt(), grid->textMatrix(r, 1));
  return names;
}

void frmDkdjB::保证人() { reloadPartyGrid(false); }
void frmDkdjB::企业担保() { reloadPartyGrid(true); }

void frmDkdjB::刷新约定() {
  static const QStringList columns = {QStringLiteral("编号"),   QStringLiteral("期次"),     QStringLiteral("约定归还日期"),
                                      QStringLiteral("间隔天数"), QStringLiteral("贷款本金"), QStringLiteral("应还本金"),
                                      QStringLiteral("应还利息"), QStringLiteral("已还金额"), QStringLiteral("归还状态"),
                                      QStringLiteral("延期利息"), QStringLiteral("逾期手续费"), QStringLiteral("归还日期"),
                                      QStringLiteral("备注")};
  if (!NewPlan && !EditDocNo.isEmpty()) {
    // The saved plan, as stored.
    LoadPlanGrid(Fg,
                 QStringLiteral("select 编号,(还贷期次) as 期次,约定归还日期,(计息天数) as  间隔天数,贷款本金,应还本金,应还利息,"
                                "(已还本金+已还利息)as 已还金额,归还状态,延期利息,逾期手续费,归还日期,备注 from PJ_Hdjh where 单号=? "
                                "order by 还贷期次,编号"),
                 {单号}, QStringLiteral("应还"), {4, 5, 6, 7, 9});
    return;
  }
  std::vector<QVariantList> rows;
  for (const PlanRow& r : Plan.rows)
    rows.push_back({0, r.period, DateText(r.due), r.days, r.principalBase, r.principalDue, r.interestDue, r.paidPrincipal + r.paidInterest,
                    r.status, 0.0, 0.0, QVariant(), QVariant()});
  LoadPlanGridRows(Fg, columns, rows, QStringLiteral("应还"), {4, 5, 6, 7, 9});
}

void frmDkdjB::刷新附件() {
  std::vector<QVariantList> rows;
  // A copy not saved yet has no 编号; its row shows "新".
  for (const LoanStore::Attachment& a : Attachments) rows.push_back({a.id ? QVariant(a.id) : QVariant(QStringLiteral("新")), a.name, a.type});
  LoadGridFromRows(Fg1, {QStringLiteral("编号"), QStringLiteral("附件名称"), QStringLiteral("文件类型")}, rows, false, QString());
}

void frmDkdjB::添加附件(const QString& path) {
  if (path.isEmpty()) return;
  QString details;
  if (const QString failure = LoanStore::AddAttachmentCopy(path, &Attachments, &details); !failure.isEmpty())
    MsgBox(failure, Mb::Critical, QString(), details);
  刷新附件();
}

// ---- presets and boxes

void frmDkdjB::comJkzl_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case 0: {
        const int k = comJkzl[0]->currentIndex();
        if (k < 0) return;
        const double rate = k <= 9 ? (k + 1) * 0.1 : k - 8;
        txtDkdj[1]->setText(rateText(rate));
        txtDkdj[2]->setText(rateText(rate * 1.5));
        ClearInputMark(txtDkdj[1]);
        ClearInputMark(txtDkdj[2]);
        break;
      }
      case 1:
        fillTermList();
        comJkzl_Click(2);
        break;
      case 2: {
        const int k = comJkzl[2]->currentIndex();
        if (k < 0) return;
        const QDate start = dtpDjrq[1]->date();
        dtpDjrq[2]->setDateValue(comJkzl[1]->currentIndex() != 0 ? start.addMonths(k + 1) : start.addDays(k + 1));
        break;
      }
      case 3: {
        const int k = comJkzl[3]->currentIndex();
        if (const QString amount = AmountPresetValue(k); !amount.isEmpty()) txtDkdj[0]->setText(amount);
        ClearInputMark(txtDkdj[0]);
        break;
      }
      default:
        break;
    }
  });
}

void frmDkdjB::cmbJkkh_Click(int index) {
  if (index != 0) return;
  // Another kind of borrower: the one picked before is of the other kind.
  CustomerId = 0;
  for (QLineEdit* t : txtJkkh) t->clear();
}

void frmDkdjB::Check1_Click() {
  dtpDjrq[2]->setDateValue(dtpDjrq[2]->date().addDays(Check1->isChecked() ? -1 : 1));
}

bool frmDkdjB::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    if (watched == txtJkkh[0]) {
      pbCJkzl_Click(5);
      return true;
    }
    if (watched == txtDkdj[6]) {
      选择业务经办();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void frmDkdjB::选择业务经办() {
  Guarded(QString(), this, [this] {
    const auto staff = frmYg::PickStaff(this, 2);
    if (!staff) return;
    txtDkdj[6]->setText(staff->Name);
    BusinessDept = staff->Dept;
    ClearInputMark(txtDkdj[6]);
  });
}

// ---- parties and attachments

// Opens a customer list in a pick mode and returns the 编号 chosen, if any.
static std::optional<qint32> pickCustomer(QWidget* opener, bool company, qint16 mode) {
  auto run = [mode](PartyListBase& list) -> std::optional<qint32> {
    list.PickMode = mode;
    if (RunModal(&list) == QDialog::Accepted && list.Picked.id != 0) return list.Picked.id;
    return std::nullopt;
  };
  if (company) {
    frmKhgs w(opener);
    return run(w);
  }
  frmKhgr w(opener);
  return run(w);
}

void frmDkdjB::pickBorrower() {
  const bool company = cmbJkkh[0]->currentIndex() != 0;
  const auto picked = pickCustomer(this, company, static_cast<qint16>(company ? qint16(frmKhgs::PickBorrower) : qint16(frmKhgr::PickBorrower)));
  if (!picked) return;
  const qint32 before = CustomerId;
  CustomerId = *picked;
  if (!取客户资料()) CustomerId = before;
}

void frmDkdjB::pickParty(bool company) {
  const auto picked = pickCustomer(this, company, static_cast<qint16>(company ? qint16(frmKhgs::PickGuarantee) : qint16(frmKhgr::PickGuarantor)));
  if (!picked) return;
  PickedPartyId = *picked;
  company ? 企业担保() : 保证人();
}

int frmDkdjB::currentAttachment() const {
  if (!IsGridDataRow(Fg1)) return -1;
  const int i = Fg1->row() - Fg1->fixedRows();
  return i >= 0 && i < Attachments.size() ? i : -1;
}

void frmDkdjB::pbCJkzl_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case 0: pickParty(false); break;
      case 6: pickParty(true); break;
      case 2:
      case 7: {
        Grid* grid = index == 2 ? Fg2 : Fg3;
        if (!IsGridDataRow(grid)) return;
        (index == 2 ? GuarantorIds : CompanyIds).removeAll(grid->textMatrix(grid->row(), 0).toInt());
        index == 2 ? 保证人() : 企业担保();
        break;
      }
      case 1:
        添加附件(ChooseOpenFile(this, QStringLiteral("选择附件"), QStringLiteral("所有文件 (*)")));
        break;
      case 3: {
        // A missing file is not this window's concern.
        const int i = currentAttachment();
        if (i >= 0) OpenWithDesktop(Attachments[i].path);
        break;
      }
      case 4: {
        // A copy no save recorded goes now; a stored one goes with the save.
        const int i = currentAttachment();
        if (i < 0) return;
        LoanStore::DiscardCopies({Attachments[i]});
        Attachments.removeAt(i);
        刷新附件();
        break;
      }
      case 5: pickBorrower(); break;
      default: break;
    }
  });
}

// ---- plans

LoanTerms frmDkdjB::Terms() const {
  LoanTerms t;
  // The amount as it will be stored, so the checks judge what the save writes.
  t.amount = Money::round(Money::valueOf(txtDkdj[0]->text().trimmed()));
  t.rate = Money::valueOf(txtDkdj[1]->text().trimmed());
  t.overdueRate = Money::valueOf(txtDkdj[2]->text().trimmed());
  t.rateType = comJkzl[1]->currentText();
  t.bothEnds = Check1->isChecked();
  t.registered = dtpDjrq[0]->date();
  t.start = dtpDjrq[1]->date();
  t.end = dtpDjrq[2]->date();
  t.customer = CustomerId != 0 ? txtJkkh[0]->text() : QString();
  t.handler = txtDkdj[6]->text();
  return t;
}

void frmDkdjB::markBox(Field f) {
  switch (f) {
    case Field::Borrower: MarkInputInvalid(txtJkkh[0]); break;
    case Field::Amount: MarkInputInvalid(txtDkdj[0]); break;
    case Field::Rate: MarkInputInvalid(txtDkdj[1]); break;
    case Field::OverdueRate: MarkInputInvalid(txtDkdj[2]); break;
    case Field::Handler: MarkInputInvalid(txtDkdj[6]); break;
    case Field::EndDate: MarkInputInvalid(dtpDjrq[2]); break;
    default: break;
  }
}

bool frmDkdjB::检查输入(int button, const Instalments& inst) {
  if (CustomerId == 0 || txtJkkh[0]->text().isEmpty()) {
    MsgBox(QStringLiteral("请先选择借款客户！"), Mb::Critical);
    markBox(Field::Borrower);
    return false;
  }
  if (!ValidateTextInput(txtDkdj[0], QStringLiteral("借款金额"), kMoneyInput)) return false;
  if (!ValidateTextInput(txtDkdj[1], QStringLiteral("利率"), kRateInput)) return false;
  if (!ValidateTextInput(txtDkdj[2], QStringLiteral("逾期利率"), kRateInput)) return false;
  if (!ValidateTextInput(txtDkdj[6], QStringLiteral("业务经办"), 0)) return false;
  if (const auto problem = CheckTerms(Terms(), button, inst)) {
    MsgBox(problem->message, Mb::Critical);
    markBox(problem->field);
    return false;
  }
  ClearInputMark(dtpDjrq[2]);
  return true;
}

bool frmDkdjB::refuseRebuild() {
  if (EditDocNo.isEmpty() || !LoanStore::HasRepayments(单号)) return false;
  MsgBox(QStringLiteral("该单据已有还款记录，不能重新生成计划！"), Mb::Critical);
  return true;
}

void frmDkdjB::applyPlan(const LoanCalc::Plan& plan) {
  Plan = plan;
  NewPlan = true;
  还款计划 = plan.name;
  PrepaidInterest = plan.prepaid;
  Working = plan.working;
  if (plan.rateType != comJkzl[1]->currentText()) setRateTypeIndex(IsDaily(plan.rateType) ? 0 : 1);
  dtpDjrq[2]->setDateValue(plan.end);
  planTerms_ = Terms();
  刷新约定();
}

bool frmDkdjB::termsMatchPlan() const {
  if (!planTerms_) return true;  // no plan: the save says so itself
  const LoanTerms now = Terms(),& was = *planTerms_;
  const int button = ButtonOfPlanName(还款计划);
  const bool datesCount = button == OnceAll || button == OncePrepaid;
  return Money::round(now.amount, 2) == Money::round(was.amount, 2) && now.rate == was.rate && now.rateType == was.rateType &&
         now.bothEnds == was.bothEnds && (!datesCount || (now.start == was.start && now.end == was.end));
}

void frmDkdjB::pbCDkdj_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == Extension || index < 0 || index > Extension) return;
    if (!检查输入(IsInstalment(index) ? kFieldsOnly : index)) return;
    if (refuseRebuild()) return;
    if (IsInstalment(index)) {
      打开计划窗体(methodOfButton(index));
      return;
    }
    applyPlan(BuildPlan(index, Terms()));
  });
}

void frmDkdjB::打开计划窗体(int method) {
  frmDkJh dlg(this);
  dlg.PlanMethod = static_cast<qint16>(method);
  dlg.UnitIndex = static_cast<qint16>(comJkzl[1]->currentIndex() == 0 ? 0 : 1);
  dlg.StartDate = dtpDjrq[1]->date();
  dlg.Form_Load();
  if (RunModal(&dlg) != QDialog::Accepted || !dlg.Chosen) return;
  分期计划(method, dlg.Chosen->count, dlg.Chosen->monthly ? QStringLiteral("M") : QStringLiteral("D"), DateText(dlg.Chosen->first));
}

void frmDkdjB::分期计划(int method, int count, const QString& unit, const QString& firstDate) {
  Guarded(QString(), this, [&] {
    const int button = ButtonOfMethod(method);
    if (button < 0) return;
    Instalments inst;
    inst.count = count;
    inst.monthly = unit != QStringLiteral("D");
    inst.first = ParseDateText(firstDate);
    if (!检查输入(button, inst)) return;
    if (refuseRebuild()) return;
    applyPlan(BuildPlan(button, Terms(), inst));
  });
}

// ---- saving and closing

LoanStore::LoanDocument frmDkdjB::document() const {
  LoanStore::LoanDocument doc;
  LoanStore::LoanRecord& rec = doc.record;
  rec.docNo = EditDocNo;
  rec.registered = dtpDjrq[0]->date();
  rec.customerKind = cmbJkkh[0]->currentText();
  rec.customerId = CustomerId;
  rec.customerName = txtJkkh[0]->text();
  rec.amount = Terms().amount;
  rec.rateType = comJkzl[1]->currentText();
  rec.rate = Money::valueOf(txtDkdj[1]->text().trimmed());
  rec.overdueRate = Money::valueOf(txtDkdj[2]->text().trimmed());
  rec.working = Working;
  // The overdue rate does not enter the plan; its daily fraction follows the box.
  rec.working.overdueDailyRate = DailyFraction(rec.rateType, rec.overdueRate);
  rec.bothEnds = Check1->isChecked();
  rec.start = dtpDjrq[1]->date();
  rec.end = dtpDjrq[2]->date();
  rec.planName = 还款计划;
  rec.prepaid = PrepaidInterest;
  rec.purpose = txtDkdj[3]->text();
  rec.industry = txtDkdj[4]->text();
  rec.collateral = txtDkdj[5]->text();
  rec.handler = txtDkdj[6]->text();
  rec.remark = txtDkdj[7]->text();
  rec.guarantors = GuarantorIds;
  rec.companies = CompanyIds;
  rec.dept = BusinessDept;
  doc.editing = !EditDocNo.isEmpty();
  doc.version = Version;
  // 贷款单据需要审核: any number but 0 (an empty or unreadable item counts as 0).
  doc.needsReview = gSystemSettings[3].trimmed().toDouble() != 0;
  doc.newPlan = NewPlan;
  doc.plan = Plan;
  doc.attachments = Attachments;
  doc.guarantorNames = listedNames(false);
  doc.companyNames = listedNames(true);
  return doc;
}

QString frmDkdjB::editedState() const {
  QStringList parts;
  for (const QLineEdit* t : txtDkdj) parts << t->text();
  for (const QLineEdit* t : txtJkkh) parts << t->text();
  for (const DateBox* d : dtpDjrq) parts << DateText(d->date());
  parts << comJkzl[1]->currentText() << cmbJkkh[0]->currentText() << cmbJkkh[1]->currentText() << QString::number(Check1->isChecked())
        << QString::number(CustomerId) << LoanStore::IdListText(GuarantorIds) << LoanStore::IdListText(CompanyIds)
        << QString::number(NewPlan);
  for (const LoanStore::Attachment& a : Attachments) parts << a.path;
  return parts.join(QChar(0x1f));
}

void frmDkdjB::pbCDkgh_Click(int index) {
  if (index == 1) {
    reject();
    return;
  }
  Guarded(QString(), this, [this] {
    // What the boxes cannot mend is said before anything about them, and before the account picker.
    if (const QString outdated = LoanStore::OutdatedRefusal(document()); !outdated.isEmpty()) {
      MsgBox(outdated, Mb::Critical);
      return;
    }
    if (!检查输入(kFieldsOnly) || !CheckTextLimits(this)) return;
    if (!termsMatchPlan()) {
      MsgBox(QStringLiteral("借款条件已改变，请重新生成还款计划！"), Mb::Critical);
      return;
    }
    const LoanStore::LoanDocument doc = document();
    const QString refusal = LoanStore::SaveRefusal(doc);
    if (!refusal.isEmpty()) {
      MsgBox(refusal, Mb::Critical);
      return;
    }
    // The borrower's bank data are the counterparty's side of the movement, whichever way it goes.
    ClearBankInfo();
    if (cmbJkkh[0]->currentIndex() == 0)
      OpenMainQuery(QStringLiteral("select * from PJ_Kehu where 编号=?"), {CustomerId});
    else
      OpenMainQuery(QStringLiteral("select * from PJ_Kehu_Gs where 编号=?"), {CustomerId});
    if (!gMainRecordset.isNothing() && !gMainRecordset.Eof()) {
      gBankInfo[3] = gMainRecordset.text(QStringLiteral("开户行"));
      gBankInfo[4] = gMainRecordset.text(QStringLiteral("开户名"));
      gBankInfo[5] = gMainRecordset.text(QStringLiteral("银行帐号"));
    }
    CloseRecordset(gMainRecordset);
    // An edit keeps its movements' accounts unless the user changes them in the picker.
    const bool amountsMoved = Money::round(doc.record.amount, 2) != loadedAmount_ || Money::round(doc.record.prepaid, 2) != loadedPrepaid_;
    const auto chosen = frmXjyh::RegistrationAccounts(this, frmXjyh::LoanRegistration, EditDocNo, QStringLiteral("贷款本金支出"), amountsMoved);
    if (!chosen) return;
    accountsChosen_ = *chosen;
    保存单据();
  });
}

void frmDkdjB::保存单据() {
  Guarded(QString(), this, [this] {
    LoanStore::LoanDocument doc = document();
    doc.accountsChosen = accountsChosen_;
    const QString refusal = LoanStore::SaveRefusal(doc);
    if (!refusal.isEmpty()) {
      MsgBox(refusal, Mb::Critical);
      return;
    }
    QString number;
    try {
      number = LoanStore::SaveLoanDocument(doc);
    } catch (const DocumentChanged& e) {
      MsgBox(e.message, Mb::Critical);
      return;
    } catch (const LoanStore::SaveRefused& e) {
      MsgBox(e.message, Mb::Critical);
      return;
    }
    MsgBox(number == 单号 ? QStringLiteral("保存成功！") : QStringLiteral("保存成功！单号：") + number, Mb::Information);
    单号 = number;
    lblJkdj->setText(QStringLiteral("借贷单号：") + 单号);
    EditDocNo = 单号;
    Saved = true;
    accept();
    if (AfterSave) AfterSave(单号);
  });
}

void frmDkdjB::done(int r) {
  if (!Saved) {
    // Nothing is written before the save: leaving asks only about what would be lost.
    const bool isNew = EditDocNo.isEmpty();
    QString question;
    if (isNew && NewPlan)
      question = QStringLiteral("有未保存还款计划，是否删除并退出？");
    else if (!isNew && editedState() != loadedState_)
      question = QStringLiteral("单据已修改，是否放弃修改并退出？");
    // No is the default: Enter keeps the window and what was typed.
    if (!question.isEmpty() && MsgBox(question, Mb::YesNo + Mb::Question + Mb::DefaultButton2) != Mb::Yes) return;
    LoanStore::DiscardCopies(Attachments);
  }
  QDialog::done(r);
}
