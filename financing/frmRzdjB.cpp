#include "financing/frmRzdjB.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/Ledger.h"
#include "app/services/TextLimits.h"
#include "financing/AccountStep.h"
#include "financing/FinancingData.h"
#include "financing/FinancingGrids.h"
#include "financing/frmrzZfjh.h"
#include "loans/LoanStore.h"
#include "loans/PlanGrid.h"
#include "loans/frmXjyh.h"
#include "parties/frmTzr.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"

namespace {
const char* const kRatePresets[] = {"一厘", "二厘", "三厘", "四厘", "五厘", "六厘", "七厘", "八厘", "九厘", "一分",
                                    "二分", "三分", "四分", "五分", "六分", "七分", "八分", "九分", "一角"};
const char* const kAmountPresets[] = {"五万", "六万", "七万", "八万", "九万", "十万", "十五万",
                                      "二十万", "三十万", "五十万", "一百万", "二百万", "五百万"};
const int kAmounts[] = {50000, 60000, 70000, 80000, 90000, 100000, 150000, 200000, 300000, 500000, 1000000, 2000000, 5000000};
const QString kPresetTip = QStringLiteral("仅作快捷辅助，以后面的实际数值为准。");

QString rateText(double v) { return Money::format(v, QStringLiteral("0.0000")); }
}  // namespace

frmRzdjB::frmRzdjB(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmRzdjB"));
  setWindowTitle(QStringLiteral("拆借登记"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  for (int i = 0; i < 7; ++i) {
    txtDkdj[i] = new QLineEdit(this);
    txtDkdj[i]->setObjectName(QStringLiteral("txtDkdj_%1").arg(i));
    QLineEdit* box = txtDkdj[i];
    connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  }
  MakeMoneyBox(txtDkdj[0], QStringLiteral("拆借金额"));
  for (int i : {1, 4, 6}) MakeAmountBox(txtDkdj[i]);
  LimitTextBox(txtDkdj[5], QStringLiteral("PJ_Cjjl"), QStringLiteral("备注"), QStringLiteral("备注"));
  // Investor and handler come from their lists only, so the record always names a known party.
  for (int i : {2, 3}) {
    txtDkdj[i]->setReadOnly(true);
    txtDkdj[i]->setPlaceholderText(QStringLiteral("点击选择"));
    txtDkdj[i]->installEventFilter(this);
  }
  for (int i = 0; i < 5; ++i) {
    comJkzl[i] = new QComboBox(this);
    comJkzl[i]->setObjectName(QStringLiteral("comJkzl_%1").arg(i));
    connect(comJkzl[i], &QComboBox::activated, this, [this, i] { comJkzl_Click(i); });
  }
  for (const char* p : kRatePresets) comJkzl[0]->addItem(QString::fromUtf8(p));
  comJkzl[1]->addItems({QStringLiteral("日"), QStringLiteral("月")});
  for (const char* p : kAmountPresets) comJkzl[3]->addItem(QString::fromUtf8(p));
  comJkzl[4]->addItems({QStringLiteral("外拆"), QStringLiteral("自有")});
  for (int i : {0, 2, 3}) comJkzl[i]->setToolTip(kPresetTip);
  for (int i = 0; i < 3; ++i) {
    dtpDjrq[i] = new DateBox(this);
    dtpDjrq[i]->setObjectName(QStringLiteral("dtpDjrq_%1").arg(i));
  }
  Check1 = new QCheckBox(QStringLiteral("首尾计息"), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setToolTip(QStringLiteral("选择该项，则今日借，明日还，将计算为2个计息日。"));
  connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });

  lblJkdj0 = new QLabel(QStringLiteral("拆借单号："), this);
  lblJkdj0->setObjectName(QStringLiteral("lblJkdj_0"));
  lblJkdj0->setStyleSheet(QStringLiteral("font-weight: bold; color: #1F4E79;"));

  auto* info = new QGroupBox(QStringLiteral("拆借信息"), this);
  auto* g = new QGridLayout(info);
  auto label = [info](const QString& text) {
    auto* l = new QLabel(text, info);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  auto pair = [](QWidget* a, QWidget* b) {
    auto* h = new QHBoxLayout;
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(a, 3);
    h->addWidget(b, 2);
    return h;
  };
  g->addWidget(label(QStringLiteral("客户")), 0, 0);
  g->addWidget(txtDkdj[2], 0, 1);
  g->addWidget(label(QStringLiteral("经办人")), 0, 2);
  g->addWidget(txtDkdj[3], 0, 3);
  g->addWidget(label(QStringLiteral("拆借类别")), 0, 4);
  g->addWidget(comJkzl[4], 0, 5);
  g->addWidget(label(QStringLiteral("拆借金额")), 1, 0);
  // The two preset lists carry the label "闪填" between the box and the list they fill it from.
  auto flashPair = [&pair, info](QWidget* box, QComboBox* presets) {
    QHBoxLayout* h = pair(box, presets);
    h->insertWidget(1, new QLabel(QStringLiteral("闪填"), info));
    return h;
  };
  g->addLayout(flashPair(txtDkdj[0], comJkzl[3]), 1, 1);
  g->addWidget(label(QStringLiteral("利率(%)")), 1, 2);
  g->addLayout(flashPair(txtDkdj[1], comJkzl[0]), 1, 3);
  g->addWidget(label(QStringLiteral("利率类别")), 1, 4);
  g->addWidget(comJkzl[1], 1, 5);
  g->addWidget(label(QStringLiteral("登记日期")), 2, 0);
  g->addWidget(dtpDjrq[0], 2, 1);
  g->addWidget(label(QStringLiteral("起 息 日")), 2, 2);
  g->addWidget(dtpDjrq[1], 2, 3);
  g->addWidget(label(QStringLiteral("止 息 日")), 2, 4);
  g->addLayout(pair(dtpDjrq[2], comJkzl[2]), 2, 5);
  g->addWidget(label(QStringLiteral("提前支取利率(%)")), 3, 0);
  g->addWidget(txtDkdj[6], 3, 1);
  g->addWidget(label(QStringLiteral("提成比例(%)")), 3, 2);
  g->addWidget(txtDkdj[4], 3, 3);
  g->addWidget(Check1, 3, 5);
  g->addWidget(label(QStringLiteral("备注")), 4, 0);
  g->addWidget(txtDkdj[5], 4, 1, 1, 5);
  for (int c : {1, 3, 5}) g->setColumnStretch(c, 1);

  auto* planBox = new QGroupBox(QStringLiteral("支付计划"), this);
  auto* pv = new QVBoxLayout(planBox);
  pbCDkdj = new ButtonArray(this);
  auto* planButtons = new QHBoxLayout;
  for (int i = 0; i < kFinancingPlanButtons; ++i) {
    pbCommand* b = pbCDkdj->add(i, PlanButtonCaption(i), planBox);
    b->setObjectName(QStringLiteral("pbCDkdj_%1").arg(i));
    b->setMinimumHeight(28);
    planButtons->addWidget(b);
  }
  Fg = new Grid(planBox);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  pv->addLayout(planButtons);
  pv->addWidget(Fg, 1);

  auto* attachBox = new QGroupBox(QStringLiteral("相关附件"), this);
  auto* av = new QHBoxLayout(attachBox);
  Fg1 = new Grid(attachBox);
  Fg1->setObjectName(QStringLiteral("Fg1"));
  ApplyGridLook(Fg1);
  pbCJkzl = new ButtonArray(this);
  auto* ab = new QVBoxLayout;
  const QStringList attachCaptions = {QStringLiteral("新增文档"), QStringLiteral("查    看"), QStringLiteral("删    除")};
  for (int i = 0; i < 3; ++i) {
    pbCommand* b = pbCJkzl->add(i, attachCaptions[i], attachBox);
    b->setObjectName(QStringLiteral("pbCJkzl_%1").arg(i));
    ab->addWidget(b);
  }
  ab->addStretch(1);
  av->addWidget(Fg1, 1);
  av->addLayout(ab);
  Fg1->setMaximumHeight(90);

  pbCDkgh = new ButtonArray(this);
  pbCommand* save = pbCDkgh->add(0, QStringLiteral("保存(&A)"), this);
  save->setObjectName(QStringLiteral("pbCDkgh_0"));
  pbCommand* close = pbCDkgh->add(1, QStringLiteral("关闭(&E)"), this);
  close->setObjectName(QStringLiteral("pbCDkgh_1"));
  for (pbCommand* b : {save, close}) b->setMinimumSize(90, 30);

  auto* root = new QVBoxLayout(this);
  root->addWidget(lblJkdj0);
  root->addWidget(info);
  root->addWidget(planBox, 1);
  root->addWidget(attachBox);
  root->addLayout(RightAlignedButtons({save, close}));
  resize(1000, 700);

  connect(pbCDkdj, &ButtonArray::clicked, this, [this](int i) { pbCDkdj_Click(i); });
  connect(pbCDkgh, &ButtonArray::clicked, this, [this](int i) { pbCDkgh_Click(i); });
  connect(pbCJkzl, &ButtonArray::clicked, this, [this](int i) { pbCJkzl_Click(i); });
}

void frmRzdjB::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

void frmRzdjB::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  窗体载入();
  刷新约定();
  刷新附件();
  loadedState_ = editedState();
}

bool frmRzdjB::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress) {
    for (int i : {2, 3})
      if (watched == txtDkdj[i]) txtDkdj_Click(i);
  }
  return QDialog::eventFilter(watched, e);
}

void frmRzdjB::setRateKind(int index) {
  comJkzl[1]->setCurrentIndex(index);
  comJkzl[2]->clear();
  if (index == 0)
    for (int n = 1; n <= 100; ++n) comJkzl[2]->addItem(QString::number(n) + QStringLiteral("天"));
  else
    for (int n = 1; n <= 12; ++n) comJkzl[2]->addItem(QString::number(n) + QStringLiteral("个月"));
  comJkzl[2]->setCurrentIndex(0);
}

void frmRzdjB::窗体载入() {
  Guarded(QString(), this, [this] {
    for (int i = 0; i < 3; ++i) dtpDjrq[i]->setDateValue(Clock::today());
    comJkzl[0]->setCurrentIndex(0);
    comJkzl_Click(0);
    setRateKind(0);
    comJkzl[3]->setCurrentIndex(0);
    comJkzl_Click(3);
    comJkzl[4]->setCurrentIndex(0);
    Plan = {};
    NewPlan = false;
    Attachments.clear();
    if (!EditDocNo.isEmpty()) {
      DocNo = EditDocNo;
      lblJkdj0->setText(QStringLiteral("拆借单号：") + DocNo);
      const QueryResult r = Db().query(QStringLiteral("select * from PJ_Cjjl where 单号=?"), {DocNo});
      if (r.rows.empty()) throw AppError(Err::ObjectNotSet, QStringLiteral("拆借记录%1已不存在。").arg(DocNo));
      auto v = [&r](const char* column) { return r.rows.front().value(r.columns.indexOf(QString::fromUtf8(column))); };
      auto t = [&v](const char* column) { return VariantText(v(column)); };
      dtpDjrq[0]->setDateText(t("登记日期"));
      txtDkdj[2]->setText(t("客户名称"));
      dtpDjrq[1]->setDateText(t("起息日期"));
      dtpDjrq[2]->setDateText(t("止息日期"));
      txtDkdj[0]->setText(t("本金"));
      const QString kind = t("利率类别");
      setRateKind(kind == QStringLiteral("日") ? 0 : 1);
      SelectComboItemByText(comJkzl[1], kind);
      Check1->setChecked(VariantNumber(v("首尾计息")) == 1);
      txtDkdj[1]->setText(rateText(VariantNumber(v("利率"))));
      txtDkdj[3]->setText(t("业务经办"));
      txtDkdj[4]->setText(t("提成比例"));
      txtDkdj[5]->setText(t("备注"));
      txtDkdj[6]->setText(rateText(VariantNumber(v("提前支取利率"))));
      SelectComboItemByText(comJkzl[4], t("拆借类别"));
      InvestorId = static_cast<qint32>(VariantNumber(v("客户ID")));
      HandlerDept = t("部门");
      // The stored plan stands until a new one is built.
      PlanKind = t("支付计划");
      DailyRate = VariantNumber(v("日利率"));
      RateFactor = static_cast<int>(VariantNumber(v("利率系数")));
      EarlyDailyRate = VariantNumber(v("提前支取日利率"));
      PrepaidInterest = VariantNumber(v("已付利息"));
      basis_ = planBasis();
      // The 版本 of the row shown: an edit saved elsewhere after this read makes this window's save stale.
      Version = static_cast<qint64>(VariantNumber(v("版本")));
      Attachments = LoanStore::StoredAttachments(DocNo);
      loadedAmount_ = Money::round(terms().本金, 2);
      loadedPrepaid_ = Money::round(PrepaidInterest, 2);
    } else {
      txtDkdj[4]->setText(QStringLiteral("0"));
      DocNo = NewFinancingNumber();
      lblJkdj0->setText(QStringLiteral("拆借单号：") + DocNo);
    }
  });
}

void frmRzdjB::comJkzl_Click(int index) {
  Guarded(QString(), this, [this, index] {
    const int k = comJkzl[index]->currentIndex();
    if (k < 0) return;
    switch (index) {
      case 0: {
        const double rate = k <= 9 ? (k + 1) * 0.1 : k - 8;
        const double early = k <= 9 ? (k + 1) * 0.075 : k - 8;
        txtDkdj[1]->setText(rateText(rate));
        txtDkdj[6]->setText(rateText(early));
        break;
      }
      case 1:
        // The term list starts again at its first term, and the end date follows it.
        setRateKind(k);
        comJkzl_Click(2);
        break;
      case 2: {
        const QDate start = dtpDjrq[1]->date();
        dtpDjrq[2]->setDateValue(comJkzl[1]->currentIndex() == 0 ? start.addDays(k + 1) : start.addMonths(k + 1));
        break;
      }
      case 3:
        txtDkdj[0]->setText(QString::number(kAmounts[k]));
        break;
      default:
        break;
    }
  });
}

void frmRzdjB::Check1_Click() {
  // The number of interest days stays: counting both ends, the end moves a day earlier.
  dtpDjrq[2]->setDateValue(dtpDjrq[2]->date().addDays(Check1->isChecked() ? -1 : 1));
}

void frmRzdjB::txtDkdj_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == 2) {
      frmTzr list(this);
      list.PickMode = frmTzr::PickFinancing;
      if (RunModal(&list) == QDialog::Accepted && list.Picked.id > 0) {
        InvestorId = list.Picked.id;
        txtDkdj[2]->setText(list.Picked.name);
        ClearInputMark(txtDkdj[2]);
      }
    } else if (index == 3) {
      if (const auto staff = frmYg::PickStaff(this, 4)) {
        HandlerDept = staff->Dept;
        txtDkdj[3]->setText(staff->Name);
        ClearInputMark(txtDkdj[3]);
      }
    }
  });
}

bool frmRzdjB::validateBoxes() {
  if (!CheckTextLimits(this)) return false;
  if (!ValidateTextInput(txtDkdj[2], QStringLiteral("客户名称"), 0)) return false;
  if (!ValidateTextInput(txtDkdj[0], QStringLiteral("借款金额"), kMoneyInput)) return false;
  if (!ValidateTextInput(txtDkdj[1], QStringLiteral("利率"), kRateInput)) return false;
  if (!ValidateTextInput(txtDkdj[4], QStringLiteral("提成比例"), 1)) return false;
  if (!ValidateTextInput(txtDkdj[3], QStringLiteral("业务经办"), 0)) return false;
  // The early-withdrawal rate may be empty (no deduction) but not anything else.
  if (!txtDkdj[6]->text().isEmpty() && !ValidateTextInput(txtDkdj[6], QStringLiteral("提前支取利率"), kRateInput)) return false;
  if (InvestorId <= 0) {
    MsgBox(QStringLiteral("请先选择投资人！"), Mb::Critical);
    MarkInputInvalid(txtDkdj[2]);
    return false;
  }
  return true;
}

FinancingTerms frmRzdjB::terms() const {
  FinancingTerms t;
  // The amount as it will be stored, so the checks judge what the save writes.
  t.本金 = Money::round(Money::valueOf(txtDkdj[0]->text()));
  t.利率 = Money::valueOf(txtDkdj[1]->text());
  t.利率类别 = comJkzl[1]->currentText();
  t.提前支取利率 = Money::valueOf(txtDkdj[6]->text());
  t.提成比例 = Money::valueOf(txtDkdj[4]->text());
  t.首尾计息 = Check1->isChecked();
  t.登记日期 = dtpDjrq[0]->date();
  t.起息日期 = dtpDjrq[1]->date();
  t.止息日期 = dtpDjrq[2]->date();
  t.客户名称 = txtDkdj[2]->text().trimmed();
  t.业务经办 = txtDkdj[3]->text().trimmed();
  return t;
}

QString frmRzdjB::planBasis() const {
  const FinancingTerms t = terms();
  return QStringList{Money::format(t.本金), Money::format(t.利率, QStringLiteral("0.000000")), t.利率类别,
                     Money::format(t.提前支取利率, QStringLiteral("0.000000")), QString::number(t.首尾计息), DateText(t.登记日期),
                     DateText(t.起息日期), DateText(t.止息日期)}
      .join(QLatin1Char('|'));
}

void frmRzdjB::pbCDkdj_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (!validateBoxes()) return;
    InstalmentOptions options;
    if (IsInstalmentButton(index)) {
      frmrzZfjh dialog(index, comJkzl[1]->currentIndex(), dtpDjrq[1]->date(), this);
      if (RunModal(&dialog) != QDialog::Accepted || !dialog.Chosen) return;  // closed: the old plan stays
      options = *dialog.Chosen;
    }
    FinancingPlan plan;
    try {
      plan = BuildFinancingPlan(terms(), index, &options);
      if (!EditDocNo.isEmpty() && HasFinancingPayments(DocNo)) {
        MsgBox(QStringLiteral("该单据已有支付记录，不能重新生成计划！"), Mb::Critical);
        return;
      }
    } catch (const FinancingInputError& e) {
      MsgBox(e.message(), Mb::Critical);
      return;
    } catch (const AppError& e) {
      // A failure of the plan build itself carries the build's own hint, without a window.
      ReportRuntimeError(QStringLiteral("请查看您电脑时间短日期是否带有星期参数！"), nullptr, e);
      return;
    }
    if (IsInstalmentButton(index)) {
      setRateKind(plan.利率类别 == QStringLiteral("日") ? 0 : 1);
      dtpDjrq[2]->setDateValue(plan.止息日期);
    }
    PlanKind = plan.支付计划;
    PrepaidInterest = plan.已付利息;
    DailyRate = plan.日利率;
    RateFactor = plan.利率系数;
    EarlyDailyRate = plan.提前支取日利率;
    Plan = plan;
    NewPlan = true;
    basis_ = planBasis();
    刷新约定();
  });
}

void frmRzdjB::刷新约定() {
  Guarded(QString(), this, [this] {
    if (!NewPlan && !EditDocNo.isEmpty()) {
      LoadFinancingPlanGrid(Fg, DocNo);  // the saved plan
      return;
    }
    std::vector<QVariantList> rows;
    for (const FinancingPlanRow& r : Plan.rows)
      rows.push_back({0, r.支付期次, DateText(r.约定支付日期), r.计息天数, r.拆借本金, r.应付本金, r.应付利息, r.已付利息, r.结算状态,
                      QVariant(), QVariant()});
    LoadPlanGridRows(Fg,
                     {QStringLiteral("编号"), QStringLiteral("期次"), QStringLiteral("约定支付日期"), QStringLiteral("间隔天数"),
                      QStringLiteral("拆借本金"), QStringLiteral("应付本金"), QStringLiteral("应付利息"), QStringLiteral("已付金额"),
                      QStringLiteral("结算状态"), QStringLiteral("支付日期"), QStringLiteral("备注")},
                     rows, QStringLiteral("应付"), {4, 5, 6, 7});
  });
}

void frmRzdjB::刷新附件() {
  Guarded(QString(), this, [this] {
    std::vector<QVariantList> rows;
    for (const LoanStore::Attachment& a : Attachments) rows.push_back({a.id ? QVariant(a.id) : QVariant(QStringLiteral("新")), a.name, a.type});
    LoadGridFromRows(Fg1, {QStringLiteral("编号"), QStringLiteral("附件名称"), QStringLiteral("文件类型")}, rows, false, QString());
    Fg1->setColHidden(0, true);
  });
}

void frmRzdjB::pbCDkgh_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index != 0) {
      reject();
      return;
    }
    // What the boxes cannot mend is said before anything about them, and before the account picker.
    if (const QString outdated = OutdatedFinancingRefusal(document()); !outdated.isEmpty()) {
      MsgBox(outdated, Mb::Critical);
      return;
    }
    if (!validateBoxes()) return;
    if (EditDocNo.isEmpty() && Plan.rows.empty()) {
      MsgBox(QStringLiteral("还没有添加拆借计划！"), Mb::Critical);
      return;
    }
    if (planBasis() != basis_) {
      MsgBox(QStringLiteral("拆借金额、利率或日期已改变，请重新生成支付计划！"), Mb::Critical);
      return;
    }
    // The counterparty of the money coming in is the investor; our side is chosen or left empty.
    LoadInvestorBankInfoById(InvestorId);
    // An edit keeps its movements' accounts unless the user changes them in the picker.
    const bool amountsMoved = Money::round(terms().本金, 2) != loadedAmount_ || Money::round(PrepaidInterest, 2) != loadedPrepaid_;
    const auto chosen =
        frmXjyh::RegistrationAccounts(this, kAccountCallerRegistration, EditDocNo, QStringLiteral("拆借本金收入"), amountsMoved);
    if (!chosen) return;
    accountsChosen_ = *chosen;
    保存单据();
  });
}

FinancingDocument frmRzdjB::document() const {
  FinancingDocument doc;
  FinancingRecordInput& in = doc.record;
  in.docNo = EditDocNo;
  in.editing = !EditDocNo.isEmpty();
  in.setTerms(terms());
  in.备注 = txtDkdj[5]->text();
  in.拆借类别 = comJkzl[4]->currentText();
  in.部门 = HandlerDept;
  in.支付计划 = PlanKind;
  in.日利率 = DailyRate;
  in.提前支取日利率 = EarlyDailyRate;
  in.利率系数 = RateFactor;
  in.客户ID = InvestorId;
  doc.version = Version;
  doc.newPlan = NewPlan;
  doc.plan = Plan;
  doc.attachments = Attachments;
  return doc;
}

QString frmRzdjB::editedState() const {
  QStringList parts;
  for (const QLineEdit* t : txtDkdj) parts << t->text();
  for (const DateBox* d : dtpDjrq) parts << DateText(d->date());
  parts << comJkzl[1]->currentText() << comJkzl[4]->currentText() << QString::number(Check1->isChecked())
        << QString::number(InvestorId) << QString::number(NewPlan);
  for (const LoanStore::Attachment& a : Attachments) parts << a.path;
  return parts.join(QChar(0x1f));
}

void frmRzdjB::保存单据() {
  Guarded(QString(), this, [this] {
    FinancingDocument doc = document();
    doc.accountsChosen = accountsChosen_;
    QString number;
    try {
      number = SaveFinancingDocument(doc);
    } catch (const FinancingInputError& e) {
      MsgBox(e.message(), Mb::Critical);
      return;
    } catch (const AppError& e) {
      // A failure of the plan build itself carries the build's own hint, without a window.
      ReportRuntimeError(QStringLiteral("请查看您电脑时间短日期是否带有星期参数！"), nullptr, e);
      return;
    } catch (const DocumentChanged& e) {
      MsgBox(e.message, Mb::Critical);
      return;
    }
    MsgBox(number == DocNo ? QStringLiteral("保存成功！") : QStringLiteral("保存成功！单号：") + number, Mb::Information);
    DocNo = number;
    lblJkdj0->setText(QStringLiteral("拆借单号：") + DocNo);
    EditDocNo = DocNo;
    accept();
    if (onSaved) onSaved();
  });
}

void frmRzdjB::reject() {
  // Nothing is written before the save: leaving asks only about what would be lost.
  QString question;
  if (EditDocNo.isEmpty() && NewPlan)
    question = QStringLiteral("有未保存还款计划，是否删除并退出？");
  else if (!EditDocNo.isEmpty() && editedState() != loadedState_)
    question = QStringLiteral("单据已修改，是否放弃修改并退出？");
  // No is the default: Enter keeps the window and what was typed.
  if (!question.isEmpty() && MsgBox(question, Mb::YesNo + Mb::Question + Mb::DefaultButton2) != Mb::Yes) return;
  LoanStore::DiscardCopies(Attachments);
  QDialog::reject();
}

void frmRzdjB::添加附件(const QString& path) {
  Guarded(QString(), this, [this, &path] {
    if (path.isEmpty()) return;
    QString details;
    if (const QString failure = LoanStore::AddAttachmentCopy(path, &Attachments, &details); !failure.isEmpty())
      MsgBox(failure, Mb::Critical, QString(), details);
    刷新附件();
  });
}

void frmRzdjB::pbCJkzl_Click(int index) {
  if (index == 0) {
    添加附件(ChooseOpenFile(this, QStringLiteral("选择附件"), QString()));
    return;
  }
  // Opening and deleting an attachment ignore errors, as the record view does.
  try {
    if (!IsGridDataRow(Fg1)) return;
    const int i = Fg1->row() - Fg1->fixedRows();
    if (i < 0 || i >= Attachments.size()) return;
    if (index == 1) {
      OpenWithDesktop(Attachments[i].path);
    } else if (index == 2) {
      // A copy no save recorded goes now; a stored one goes with the save.
      LoanStore::DiscardCopies({Attachments[i]});
      Attachments.removeAt(i);
      刷新附件();
    }
  } catch (const AppError&) {
  }
}
