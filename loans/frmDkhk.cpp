#include "loans/frmDkhk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "control/pbCommand.h"
#include "loans/LoanLinks.h"
#include "loans/LoanPresets.h"
#include "loans/LoanRecords.h"
#include "loans/PlanGrid.h"
#include "loans/frmDkck.h"
#include "loans/frmDkgh.h"
#include "loans/frmDktqhd.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "platform/TextStart.h"


namespace {
QLineEdit* readOnlyBox(QWidget* parent, const QString& name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setReadOnly(true);
  ShowTextStart(e);
  return e;
}

void addPair(QGridLayout* grid, int row, int col, const QString& caption, QWidget* box, int span = 1) {
  auto* l = new QLabel(caption, box->parentWidget());
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(l, row, col * 2);
  grid->addWidget(box, row, col * 2 + 1, 1, span * 2 - 1);
}

Grid* makeGrid(QWidget* parent, const QString& name) {
  auto* g = new Grid(parent);
  g->setObjectName(name);
  ApplyGridLook(g);
  return g;
}
}  // namespace

frmDkhk::frmDkhk(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkhk"));
  setWindowTitle(QStringLiteral("回款"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  lblJkdj = new QLabel(this);
  lblJkdj->setObjectName(QStringLiteral("lblJkdj_0"));
  lblJkdj->setStyleSheet(QStringLiteral("font-weight: bold; color: #1F4E79;"));

  // The loan as the registration shows it, without any way to change it.
  auto* terms = new QGroupBox(QStringLiteral("借贷信息"), this);
  auto* tg = new QGridLayout(terms);
  for (int i = 0; i < 3; ++i) {
    dtpDjrq[i] = new DateBox(terms);
    dtpDjrq[i]->setObjectName(QStringLiteral("dtpDjrq_%1").arg(i));
    dtpDjrq[i]->setReadOnly(true);
    dtpDjrq[i]->setButtonSymbols(QAbstractSpinBox::NoButtons);
  }
  for (int i = 0; i < 8; ++i) txtDkdj[i] = readOnlyBox(terms, QStringLiteral("txtDkdj_%1").arg(i));
  for (int i = 0; i < 4; ++i) {
    comJkzl[i] = new QComboBox(terms);
    comJkzl[i]->setObjectName(QStringLiteral("comJkzl_%1").arg(i));
    comJkzl[i]->setEnabled(false);
  }
  FillRatePresets(comJkzl[0]);
  comJkzl[1]->addItems({QStringLiteral("日"), QStringLiteral("月")});
  FillTermPresets(comJkzl[2], true);
  FillAmountPresets(comJkzl[3]);
  Check1 = new QCheckBox(QStringLiteral("首尾计息"), terms);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setEnabled(false);
  addPair(tg, 0, 0, QStringLiteral("登记日期"), dtpDjrq[0]);
  addPair(tg, 0, 1, QStringLiteral("借款金额"), txtDkdj[0]);
  addPair(tg, 0, 2, QStringLiteral("金额选择"), comJkzl[3]);
  addPair(tg, 0, 3, QStringLiteral("业务经办"), txtDkdj[6]);
  addPair(tg, 1, 0, QStringLiteral("起息日期"), dtpDjrq[1]);
  addPair(tg, 1, 1, QStringLiteral("利率类别"), comJkzl[1]);
  addPair(tg, 1, 2, QStringLiteral("利率(%)"), txtDkdj[1]);
  addPair(tg, 1, 3, QStringLiteral("利率选择"), comJkzl[0]);
  addPair(tg, 2, 0, QStringLiteral("止息日期"), dtpDjrq[2]);
  addPair(tg, 2, 1, QStringLiteral("期限选择"), comJkzl[2]);
  addPair(tg, 2, 2, QStringLiteral("逾期利率(%)"), txtDkdj[2]);
  tg->addWidget(Check1, 2, 7);
  addPair(tg, 3, 0, QStringLiteral("贷款用途"), txtDkdj[3]);
  addPair(tg, 3, 1, QStringLiteral("所属行业"), txtDkdj[4]);
  addPair(tg, 3, 2, QStringLiteral("抵押资产"), txtDkdj[5], 2);
  addPair(tg, 4, 0, QStringLiteral("备注"), txtDkdj[7], 4);

  // The parties and attachments.
  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  auto* borrower = new QWidget(SSTab1);
  auto* bg = new QGridLayout(borrower);
  for (int i = 0; i < 2; ++i) {
    cmbJkkh[i] = new QComboBox(borrower);
    cmbJkkh[i]->setObjectName(QStringLiteral("cmbJkkh_%1").arg(i));
    cmbJkkh[i]->setEnabled(false);
  }
  cmbJkkh[0]->addItems({QStringLiteral("个人"), QStringLiteral("企业")});
  for (int i = 0; i < 5; ++i) txtJkkh[i] = readOnlyBox(borrower, QStringLiteral("txtJkkh_%1").arg(i));
  FitIdentityNumber(txtJkkh[1]);
  addPair(bg, 0, 0, QStringLiteral("客户类别"), cmbJkkh[0]);
  addPair(bg, 0, 1, QStringLiteral("名称"), txtJkkh[0]);
  addPair(bg, 1, 0, QStringLiteral("证件号码"), txtJkkh[1]);
  addPair(bg, 1, 1, QStringLiteral("手机"), txtJkkh[2]);
  addPair(bg, 2, 0, QStringLiteral("联系地址"), txtJkkh[3], 2);
  addPair(bg, 3, 0, QStringLiteral("银行账号"), txtJkkh[4]);
  addPair(bg, 3, 1, QStringLiteral("备注"), cmbJkkh[1]);
  bg->setColumnStretch(1, 1);
  bg->setColumnStretch(3, 1);
  bg->setRowStretch(4, 1);
  pbCJkzl = new ButtonArray(this);
  // The registration form's buttons on the pages stay where it has them; nothing here changes the
  // loan, so they are shown disabled.
  auto inactive = [this](QWidget* page, std::initializer_list<std::pair<int, const char*>> buttons) {
    auto* column = new QVBoxLayout;
    for (const auto& [index, caption] : buttons) {
      pbCommand* b = pbCJkzl->add(index, QString::fromUtf8(caption), page);
      b->setEnabled(false);
      column->addWidget(b);
    }
    column->addStretch(1);
    return column;
  };
  bg->addLayout(inactive(borrower, {{5, ""}}), 0, 4, 5, 1);
  SSTab1->addTab(borrower, QStringLiteral("贷款人"));
  auto gridPage = [&](Grid*& grid, const QString& name, std::initializer_list<std::pair<int, const char*>> buttons) {
    auto* page = new QWidget(SSTab1);
    auto* l = new QHBoxLayout(page);
    l->setContentsMargins(0, 0, 0, 0);
    grid = makeGrid(page, name);
    l->addWidget(grid, 1);
    l->addLayout(inactive(page, buttons));
    return page;
  };
  SSTab1->addTab(gridPage(Fg2, QStringLiteral("Fg2"), {{0, "增加"}, {2, "删除"}}), QStringLiteral("个人担保"));
  SSTab1->addTab(gridPage(Fg4, QStringLiteral("Fg4"), {{8, "增加"}, {9, "删除"}}), QStringLiteral("企业担保"));
  SSTab1->addTab(gridPage(Fg1, QStringLiteral("Fg1"), {{10, "新增文档"}, {11, "查    看"}, {12, "删    除"}}),
                 QStringLiteral("相关附件"));

  // The plan and the repayment records.
  SSTab2 = new QTabWidget(this);
  SSTab2->setObjectName(QStringLiteral("SSTab2"));
  SSTab2->addTab(gridPage(Fg, QStringLiteral("Fg"), {{13, "借贷展期"}}), QStringLiteral("还款计划"));
  auto* records = new QWidget(SSTab2);
  Fg3 = makeGrid(records, QStringLiteral("Fg3"));
  auto* rl = new QVBoxLayout(records);
  rl->setContentsMargins(0, 0, 0, 0);
  rl->addWidget(Fg3, 1);
  rl->addLayout(RightAlignedButtons({pbCJkzl->add(cmdReceipt, QStringLiteral("打印收条"), records)}));
  SSTab2->addTab(records, QStringLiteral("还款记录"));

  const std::pair<int, const char*> commands[] = {
      {cmdDun, "跟踪催款"}, {cmdRepay, "回款确认"}, {cmdEarly, "提前还贷"}, {cmdClose, "关闭"}};
  for (const auto& [index, caption] : commands) pbCJkzl->add(index, QString::fromUtf8(caption), this);
  for (int i : pbCJkzl->indexes()) {
    pbCJkzl->at(i)->setObjectName(QStringLiteral("pbCJkzl_%1").arg(i));
    pbCJkzl->at(i)->setMinimumSize(96, 32);
  }
  connect(pbCJkzl, &ButtonArray::clicked, this, [this](int i) { pbCJkzl_Click(i); });

  auto* upper = new QHBoxLayout;
  upper->addWidget(terms, 3);
  upper->addWidget(SSTab1, 2);
  SSTab1->setMinimumWidth(460);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(10, 8, 10, 8);
  root->addWidget(lblJkdj);
  root->addLayout(upper);
  root->addWidget(SSTab2, 1);
  root->addLayout(RightAlignedButtons({pbCJkzl->at(cmdDun), pbCJkzl->at(cmdRepay), pbCJkzl->at(cmdEarly), pbCJkzl->at(cmdClose)}));
  resize(1180, 720);
}

void frmDkhk::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void frmDkhk::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    comJkzl[2]->setCurrentIndex(0);
    comJkzl[3]->setCurrentIndex(0);
    comJkzl[0]->setCurrentIndex(0);
    lblJkdj->setText(QStringLiteral("借贷单号：") + DocNo);
    Recordset rs;
    OpenRecordset(rs, QStringLiteral("select * from PJ_Dkjl where 单号=?"), {DocNo});
    if (rs.Eof()) {
      CloseRecordset(rs);
      MsgBox(QStringLiteral("找不到该笔借贷记录！"), Mb::Critical);
      return;
    }
    dtpDjrq[0]->setDateText(rs.text(QStringLiteral("登记日期")));
    SelectComboItemByText(cmbJkkh[0], rs.text(QStringLiteral("客户性质")));
    txtJkkh[0]->setText(rs.text(QStringLiteral("客户名称")));
    dtpDjrq[1]->setDateText(rs.text(QStringLiteral("起息日期")));
    dtpDjrq[2]->setDateText(rs.text(QStringLiteral("止息日期")));
    txtDkdj[0]->setText(Money::format(rs.number(QStringLiteral("本金"))));
    SelectComboItemByText(comJkzl[1], rs.text(QStringLiteral("利率类别")));
    // The term list follows the rate type, as the registration form fills it.
    FillTermPresets(comJkzl[2], comJkzl[1]->currentIndex() == 0);
    Check1->setChecked(rs.integer(QStringLiteral("首尾计息")) != 0);
    txtDkdj[1]->setText(Money::format(rs.number(QStringLiteral("利率")), QStringLiteral("0.0000")));
    txtDkdj[2]->setText(Money::format(rs.number(QStringLiteral("逾期利率")), QStringLiteral("0.0000")));
    const char* const texts[] = {"贷款用途", "所属行业", "抵押资产", "业务经办", "备注"};
    for (int i = 0; i < 5; ++i) txtDkdj[3 + i]->setText(rs.text(QString::fromUtf8(texts[i])));
    customerId_ = static_cast<qint32>(rs.integer(QStringLiteral("客户ID")));
    guarantors_ = rs.text(QStringLiteral("保证人"));
    companies_ = rs.text(QStringLiteral("担保企业"));
    dept_ = rs.text(QStringLiteral("部门"));
    CloseRecordset(rs);
    取客户资料();
    刷新约定();
    保证人();
    刷新回款();
    刷新附件();
    企业担保();
    Fg->setFocus();
  });
}

void frmDkhk::取客户资料() {
  Guarded(QString(), this, [this] {
    const bool person = cmbJkkh[0]->currentIndex() == 0;
    Recordset rs;
    OpenRecordset(rs, person ? QStringLiteral("select * from PJ_Kehu where 编号=?") : QStringLiteral("select * from PJ_Kehu_Gs where 编号=?"),
                  {customerId_});
    if (!rs.Eof()) {
      const QStringList fields = person ? QStringList{"姓名", "身份证号", "手机", "家庭住址", "银行帐号", "职业"}
                                        : QStringList{"公司名称", "营业执照注册号", "手机", "住所地", "银行帐号", "法人职务"};
      for (int i = 0; i < 5; ++i) txtJkkh[i]->setText(rs.text(fields[i]));
      cmbJkkh[1]->clear();
      cmbJkkh[1]->addItem(rs.text(fields[5]));
    }
    CloseRecordset(rs);
  });
}

void frmDkhk::fillGrid(Grid* grid, const QString& sql, const QVariantList& params) {
  gCurrentSql = sql;
  gCurrentParams = params;
  LoadGridFromQuery(grid, false, QString());
  CloseRecordset(gMainRecordset);
}

void frmDkhk::刷新约定() {
  Guarded(QString(), this, [this] {
    LoadPlanGrid(Fg,
                 QStringLiteral("select 编号,(还贷期次) as 期次,约定归还日期,(计息天数) as  间隔天数,贷款本金,应还本金,应还利息,"
                                "(已还本金+已还利息)as 已还金额,归还状态,延期利息,逾期手续费,归还日期,备注 from PJ_Hdjh where 单号=? "
                                "order by 还贷期次,编号"),
                 {DocNo}, QStringLiteral("应还"), {4, 5, 6, 7, 9, 10});
  });
}

void frmDkhk::刷新回款() {
  fillGrid(Fg3, QStringLiteral("select 编号,单号,期次,日期,本金,利息,手续费,操作员,备注 from PJ_Hkjl where 单号=? order by 编号"), {DocNo});
  for (int c : {4, 5, 6}) Fg3->setColFormat(c, QStringLiteral("0.00"));
  // The formatted amounts are wider than the stored ones the columns were sized by.
  Fg3->autoSizeColumns();
}

void frmDkhk::保证人() {
  const KeyListCondition k = KeyListIn(QStringLiteral("编号"), guarantors_);
  fillGrid(Fg2, QStringLiteral("select 编号,姓名,性别,身份证号,手机,家庭住址 from PJ_Kehu where ") + k.sql, k.params);
}

void frmDkhk::企业担保() {
  const KeyListCondition k = KeyListIn(QStringLiteral("编号"), companies_);
  fillGrid(Fg4, QStringLiteral("select 编号,公司名称,法人姓名,营业执照注册号,手机,住所地 from PJ_Kehu_Gs where ") + k.sql, k.params);
}

void frmDkhk::刷新附件() {
  fillGrid(Fg1, QStringLiteral("select 编号,附件名称,文件类型 from PJ_DkFj where 单号=?"), {DocNo});
}

bool frmDkhk::instalmentMayBeRepaid(bool early) {
  if (!IsGridDataRow(Fg)) return false;
  const int r = Fg->row();
  if (Fg->textMatrix(r, colStatus) == QStringLiteral("已还")) {
    MsgBox(QStringLiteral("该期次借款已还清！"), Mb::Exclamation);
    return false;
  }
  const QDate due = ParseDateText(Fg->textMatrix(r, colDue));
  const qint64 d = due.isValid() ? due.daysTo(Clock::today()) : 0;
  if (!early && d < 0) {
    MsgBox(QStringLiteral("请使用【提前还贷】进行回款操作！"), Mb::Critical);
    return false;
  }
  if (early && d >= 0) {
    MsgBox(QStringLiteral("请使用【回款确认】进行回款操作！"), Mb::Critical);
    return false;
  }
  PlanId = Fg->textMatrix(r, colPlanId).toInt();
  return true;
}

void frmDkhk::pbCJkzl_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case cmdDun: {
        if (!IsGridDataRow(Fg)) return;
        if (Fg->textMatrix(Fg->row(), colStatus) == QStringLiteral("已还")) {
          MsgBox(QStringLiteral("改期借款已归还！"), Mb::Critical);
          return;
        }
        frmDkck w(this);
        w.DocNo = DocNo;
        w.PlanId = Fg->textMatrix(Fg->row(), colPlanId).toInt();
        RunModal(&w);
        break;
      }
      case cmdRepay: {
        if (!instalmentMayBeRepaid(false)) return;
        frmDkgh w(this);
        w.PlanId = PlanId;
        w.Handler = txtDkdj[6]->text();
        w.View = this;
        RunModal(&w);
        break;
      }
      case cmdEarly: {
        if (!instalmentMayBeRepaid(true)) return;
        frmDktqhd w(this);
        w.PlanId = PlanId;
        w.Handler = txtDkdj[6]->text();
        w.View = this;
        RunModal(&w);
        break;
      }
      case cmdClose: reject(); break;
      case cmdReceipt:
        if (!IsGridDataRow(Fg3)) return;
        RunLoanLink(gShowLoanPrint, this, 3, Fg3->textMatrix(Fg3->row(), 0));
        break;
      default: break;
    }
  });
}
