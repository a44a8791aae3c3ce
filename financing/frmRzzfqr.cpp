#include "financing/frmRzzfqr.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "financing/AccountStep.h"
#include "financing/FinancingData.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"

namespace {
const char* const kCaptions[] = {"支付期次", "应付本金", "应付利息", "本次应付", "约定支付日期", "支付日期", "支付金额", "计息天数"};
}

frmRzzfqr::frmRzzfqr(QWidget* owner) : PaymentForm(owner, kAccountCallerConfirmation) {
  setObjectName(QStringLiteral("frmRzzfqr"));
  setWindowTitle(QStringLiteral("支付确认"));
  for (int i = 0; i < 8; ++i) {
    lbltqhdr[i] = new QLabel(this);
    lbltqhdr[i]->setObjectName(QStringLiteral("lbltqhdr_%1").arg(i));
    lbltqhdr[i]->setStyleSheet(QStringLiteral("color: #1F4E79; font-weight: bold;"));
  }
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setReadOnly(true);  // the amount is always the instalment's

  auto* g = new QGridLayout;
  const QList<QWidget*> values = {lbltqhdr[1], lbltqhdr[5], lbltqhdr[6], lbltqhdr[7], lbltqhdr[2], DTPicker1, Text1, lbltqhdr[3]};
  g->addWidget(new QLabel(QStringLiteral("单号："), this), 0, 0, Qt::AlignRight);
  g->addWidget(lbltqhdr[0], 0, 1, 1, 3);
  g->addWidget(new QLabel(QStringLiteral("利率："), this), 0, 4, Qt::AlignRight);
  g->addWidget(lbltqhdr[4], 0, 5);
  for (int i = 0; i < 8; ++i) {
    g->addWidget(new QLabel(QString::fromUtf8(kCaptions[i]) + QStringLiteral("："), this), 1 + i / 2, (i % 2) * 3, Qt::AlignRight);
    g->addWidget(values[i], 1 + i / 2, (i % 2) * 3 + 1, 1, 2);
  }
  auto* root = new QVBoxLayout(this);
  root->addLayout(g);
  root->addStretch(1);
  root->addLayout(RightAlignedButtons({pbCDkgh->at(0), pbCDkgh->at(1)}));
  resize(560, 240);
}

void frmRzzfqr::load() {
  Guarded(QString(), this, [this] {
    Seen = ReadPlanRow(PlanRowId);
    DocNo = Seen.docNo;
    const PlanRowState& row = Seen.row;
    DTPicker1->setDateValue(Clock::today());
    const PaymentProposal p = PaymentRules::CappedToRecord(ProposePayment(row, Clock::today()), row, RecordOpenPrincipal(DocNo));
    lbltqhdr[0]->setText(DocNo);
    lbltqhdr[1]->setText(QString::number(row.支付期次));
    lbltqhdr[2]->setText(ChineseDateText(row.约定支付日期));
    lbltqhdr[3]->setText(QString::number(row.计息天数));
    lbltqhdr[5]->setText(Money::format(p.本金));
    lbltqhdr[6]->setText(Money::format(p.利息));
    lbltqhdr[7]->setText(Money::format(p.应付总额));
    Text1->setText(FormatNumber(p.应付总额, QStringLiteral("Currency")));
    const double rate = VariantNumber(Db().scalar(QStringLiteral("select 利率 from PJ_Cjjl where 单号=?"), {DocNo}));
    lbltqhdr[4]->setText(Money::format(rate, QStringLiteral("0.00")) + QStringLiteral("%"));
  });
}

void frmRzzfqr::fillPosting(PaymentPosting& post) {
  // The row as the window read it (a row changed since is refused by the save); a proposal of 0
  // settles the row with a record of 0.
  const PlanRowState& row = Seen.row;
  const PaymentProposal p = PaymentRules::CappedToRecord(ProposePayment(row, post.date), row, RecordOpenPrincipal(Seen.docNo));
  post.本金 = p.本金;
  post.利息 = p.利息;
  post.付款状态 = FinancingRowStatus(p.本金, p.本金, p.利息, p.利息);
}
