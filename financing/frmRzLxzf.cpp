#include "financing/frmRzLxzf.h"

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
#include "financing/FinancingData.h"
#include "financing/FinancingGrids.h"
#include "financing/FinancingLinks.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzzfqr.h"
#include "loans/LoanStore.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"
#include "platform/TextStart.h"

frmRzLxzf::frmRzLxzf(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmRzLxzf"));
  setWindowTitle(QStringLiteral("利息支付"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  lblJkdj0 = new QLabel(QStringLiteral("拆借单号："), this);
  lblJkdj0->setObjectName(QStringLiteral("lblJkdj_0"));
  lblJkdj0->setStyleSheet(QStringLiteral("font-weight: bold; color: #1F4E79;"));
  auto* info = new QGroupBox(QStringLiteral("拆借信息"), this);
  auto* g = new QGridLayout(info);
  for (int i = 0; i < 7; ++i) {
    txtDkdj[i] = new QLineEdit(info);
    txtDkdj[i]->setObjectName(QStringLiteral("txtDkdj_%1").arg(i));
    txtDkdj[i]->setReadOnly(true);
    ShowTextStart(txtDkdj[i]);
  }
  for (int i = 0; i < 3; ++i) {
    dtpDjrq[i] = new DateBox(info);
    dtpDjrq[i]->setObjectName(QStringLiteral("dtpDjrq_%1").arg(i));
    dtpDjrq[i]->setReadOnly(true);
    dtpDjrq[i]->setButtonSymbols(QAbstractSpinBox::NoButtons);
  }
  for (int i = 0; i < 5; ++i) {
    comJkzl[i] = new QComboBox(info);
    comJkzl[i]->setObjectName(QStringLiteral("comJkzl_%1").arg(i));
    comJkzl[i]->setEnabled(false);
  }
  // The presets of the registration form have nothing to preset here.
  for (int i : {0, 2, 3}) comJkzl[i]->hide();
  comJkzl[1]->addItems({QStringLiteral("日"), QStringLiteral("月")});
  comJkzl[4]->addItems({QStringLiteral("外拆"), QStringLiteral("自有")});
  Check1 = new QCheckBox(QStringLiteral("首尾计息"), info);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setEnabled(false);
  auto label = [info](const QString& text) {
    auto* l = new QLabel(text, info);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  const struct {
    const char* caption;
    QWidget* w;
  } cells[] = {{"客户", txtDkdj[2]},        {"经办人", txtDkdj[3]},     {"拆借类别", comJkzl[4]},  {"拆借金额", txtDkdj[0]},
               {"利率(%)", txtDkdj[1]},     {"利率类别", comJkzl[1]},   {"登记日期", dtpDjrq[0]},  {"起 息 日", dtpDjrq[1]},
               {"止 息 日", dtpDjrq[2]},    {"提前支取利率(%)", txtDkdj[6]}, {"提成比例(%)", txtDkdj[4]}, {"", Check1}};
  for (int i = 0; i < int(std::size(cells)); ++i) {
    g->addWidget(label(QString::fromUtf8(cells[i].caption)), i / 3, (i % 3) * 2);
    g->addWidget(cells[i].w, i / 3, (i % 3) * 2 + 1);
  }
  g->addWidget(label(QStringLiteral("备注")), 4, 0);
  g->addWidget(txtDkdj[5], 4, 1, 1, 5);
  for (int c : {1, 3, 5}) g->setColumnStretch(c, 1);

  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  Fg = new Grid(SSTab1);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  Fg2 = new Grid(SSTab1);
  Fg2->setObjectName(QStringLiteral("Fg2"));
  ApplyGridLook(Fg2);
  SSTab1->addTab(Fg, QStringLiteral("支付计划"));
  SSTab1->addTab(Fg2, QStringLiteral("支付记录"));

  auto* attach = new QGroupBox(QStringLiteral("相关附件"), this);
  auto* ah = new QHBoxLayout(attach);
  Fg1 = new Grid(attach);
  Fg1->setObjectName(QStringLiteral("Fg1"));
  ApplyGridLook(Fg1);
  Fg1->setMaximumHeight(100);
  ah->addWidget(Fg1, 1);

  pbCJkzl = new ButtonArray(this);
  pbCDkdj = new ButtonArray(this);
  const QStringList captions = {QStringLiteral("查    看"), QStringLiteral("取款确认"), QStringLiteral("提前支取"), QStringLiteral("关闭")};
  QList<QWidget*> row;
  pbCommand* print = pbCDkdj->add(0, QStringLiteral("打印凭证"), this);
  print->setObjectName(QStringLiteral("pbCDkdj_0"));
  for (int i = 0; i < 4; ++i) {
    pbCommand* b = pbCJkzl->add(i, captions[i], this);
    b->setObjectName(QStringLiteral("pbCJkzl_%1").arg(i));
    b->setMinimumSize(90, 30);
  }
  print->setMinimumSize(90, 30);
  auto* openBox = new QVBoxLayout;
  openBox->addWidget(pbCJkzl->at(0));
  openBox->addStretch(1);
  ah->addLayout(openBox);

  auto* root = new QVBoxLayout(this);
  root->addWidget(lblJkdj0);
  root->addWidget(info);
  root->addWidget(SSTab1, 1);
  root->addWidget(attach);
  root->addLayout(RightAlignedButtons({pbCJkzl->at(1), pbCJkzl->at(2), print, pbCJkzl->at(3)}));
  resize(1000, 700);

  connect(pbCJkzl, &ButtonArray::clicked, this, [this](int i) { pbCJkzl_Click(i); });
  connect(pbCDkdj, &ButtonArray::clicked, this, [this](int i) { pbCDkdj_Click(i); });
}

void frmRzLxzf::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

void frmRzLxzf::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    for (DateBox* d : dtpDjrq) d->setDateValue(Clock::today());
    lblJkdj0->setText(QStringLiteral("拆借单号：") + DocNo);
    const QueryResult r = Db().query(QStringLiteral("select * from PJ_Cjjl where 单号=?"), {DocNo});
    if (r.rows.empty()) throw AppError(Err::ObjectNotSet, QStringLiteral("拆借记录%1已不存在。").arg(DocNo));
    auto t = [&r](const char* column) { return VariantText(r.rows.front().value(r.columns.indexOf(QString::fromUtf8(column)))); };
    dtpDjrq[0]->setDateText(t("登记日期"));
    dtpDjrq[1]->setDateText(t("起息日期"));
    dtpDjrq[2]->setDateText(t("止息日期"));
    txtDkdj[0]->setText(t("本金"));
    txtDkdj[1]->setText(Money::format(VariantNumber(t("利率")), QStringLiteral("0.0000")));
    txtDkdj[2]->setText(t("客户名称"));
    txtDkdj[3]->setText(t("业务经办"));
    txtDkdj[4]->setText(t("提成比例"));
    txtDkdj[5]->setText(t("备注"));
    txtDkdj[6]->setText(Money::format(VariantNumber(t("提前支取利率")), QStringLiteral("0.0000")));
    SelectComboItemByText(comJkzl[1], t("利率类别"));
    SelectComboItemByText(comJkzl[4], t("拆借类别"));
    Check1->setChecked(t("首尾计息") == QLatin1String("1"));
  });
  刷新约定();
  刷新支付();
  刷新附件();
}

void frmRzLxzf::刷新约定() {
  Guarded(QString(), this, [this] { LoadFinancingPlanGrid(Fg, DocNo); });
}

void frmRzLxzf::刷新支付() {
  Guarded(QString(), this, [this] { LoadPaymentGrid(Fg2, DocNo); });
}

void frmRzLxzf::刷新附件() {
  Guarded(QString(), this, [this] { LoadAttachmentGrid(Fg1, DocNo); });
}

void frmRzLxzf::afterPayment() {
  刷新约定();
  刷新支付();
  SSTab1->setCurrentIndex(1);
  if (onPaid) onPaid();
}

void frmRzLxzf::pbCJkzl_Click(int index) {
  if (index == 0) {
    // A missing file or path shows nothing from here.
    try {
      if (!IsGridDataRow(Fg1)) return;
      const QString path = LoanStore::AttachmentPath(Fg1->textMatrix(Fg1->row(), 0).toLongLong());
      if (!path.isEmpty()) OpenWithDesktop(path);
    } catch (const AppError&) {
    }
    return;
  }
  if (index == 3) {
    close();
    return;
  }
  Guarded(QString(), this, [this, index] {
    if (!IsGridDataRow(Fg)) return;
    const qint32 id = Fg->textMatrix(Fg->row(), 0).toInt();
    const PlanRowState row = LoadPlanRowState(id, nullptr);
    const QString refusal = PaymentRouteRefusal(row, Clock::today(), index == 2);
    if (!refusal.isEmpty()) {
      MsgBox(refusal, row.结算状态 == QStringLiteral("已付") ? Mb::Exclamation : Mb::Critical);
      return;
    }
    if (index == 1) {
      frmRzzfqr w(this);
      w.PlanRowId = id;
      w.HandlerName = txtDkdj[3]->text();
      w.onSaved = [this] { afterPayment(); };
      RunModal(&w);
    } else {
      frmRzTqzf w(this);
      w.PlanRowId = id;
      w.HandlerName = txtDkdj[3]->text();
      w.onSaved = [this] { afterPayment(); };
      RunModal(&w);
    }
  });
}

void frmRzLxzf::pbCDkdj_Click(int) {
  Guarded(QString(), this, [this] {
    if (!IsGridDataRow(Fg2)) return;
    RunFinancingLink(gShowFinancingPrint, this, 8, Fg2->textMatrix(Fg2->row(), 0));
  });
}
