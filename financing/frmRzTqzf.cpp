#include "financing/frmRzTqzf.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/TextLimits.h"
#include "financing/AccountStep.h"
#include "financing/FinancingData.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"

namespace {
// The amount boxes by their caption; an empty box is 0.
const char* const kBoxCaptions[] = {"支付本金", "支付利息", "扣除利息"};
}

frmRzTqzf::frmRzTqzf(QWidget* owner) : PaymentForm(owner, kAccountCallerEarlyPayment) {
  setObjectName(QStringLiteral("frmRzTqzf"));
  setWindowTitle(QStringLiteral("提前支付"));
  for (int i : {0, 1, 2, 5, 6, 7, 8, 9, 10}) {
    lbltqhdr[i] = new QLabel(this);
    lbltqhdr[i]->setObjectName(QStringLiteral("lbltqhdr_%1").arg(i));
    lbltqhdr[i]->setStyleSheet(QStringLiteral("color: #1F4E79; font-weight: bold;"));
  }
  for (int i = 0; i < 4; ++i) {
    Text1[i] = new QLineEdit(this);
    Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
    QLineEdit* box = Text1[i];
    connect(box, &QLineEdit::textEdited, this, [this, box] {
      ClearInputMark(box);
      归还总额();
    });
  }
  for (int i = 0; i < 3; ++i) MakeMoneyBox(Text1[i], QString::fromUtf8(kBoxCaptions[i]));
  LimitTextBox(Text1[3], QStringLiteral("PJ_Cjzfjl"), QStringLiteral("备注"), QStringLiteral("备注"));
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("已付"), QStringLiteral("支付部分")});
  Combo1->setEnabled(false);
  lblze = new QLabel(QStringLiteral("归还总额："), this);
  lblze->setObjectName(QStringLiteral("lblze"));
  lblze->setStyleSheet(QStringLiteral("color: #C00000; font-weight: bold; font-size: 14px;"));

  auto* g = new QGridLayout;
  auto cell = [this, g](const QString& caption, QWidget* w, int row, int col) {
    g->addWidget(new QLabel(caption + QStringLiteral("："), this), row, col * 2, Qt::AlignRight);
    g->addWidget(w, row, col * 2 + 1);
  };
  cell(QStringLiteral("单号"), lbltqhdr[0], 0, 0);
  cell(QStringLiteral("支付期次"), lbltqhdr[1], 0, 1);
  cell(QStringLiteral("约定支付日期"), lbltqhdr[2], 0, 2);
  cell(QStringLiteral("应付本金"), lbltqhdr[5], 1, 0);
  cell(QStringLiteral("应付利息"), lbltqhdr[6], 1, 1);
  cell(QStringLiteral("拆借天数"), lbltqhdr[7], 1, 2);
  cell(QStringLiteral("约定日利息"), lbltqhdr[9], 2, 0);
  cell(QStringLiteral("提前支取日利息"), lbltqhdr[8], 2, 1);
  cell(QStringLiteral("扣除利息"), lbltqhdr[10], 2, 2);
  cell(QStringLiteral("支付本金"), Text1[0], 3, 0);
  cell(QStringLiteral("支付利息"), Text1[1], 3, 1);
  cell(QStringLiteral("扣除利息"), Text1[2], 3, 2);
  cell(QStringLiteral("支付日期"), DTPicker1, 4, 0);
  cell(QStringLiteral("结算状态"), Combo1, 4, 1);
  g->addWidget(new QLabel(QStringLiteral("备注："), this), 5, 0, Qt::AlignRight);
  g->addWidget(Text1[3], 5, 1, 1, 5);
  auto* root = new QVBoxLayout(this);
  root->addLayout(g);
  root->addWidget(lblze);
  root->addStretch(1);
  root->addLayout(RightAlignedButtons({pbCDkgh->at(0), pbCDkgh->at(1)}));
  resize(720, 280);

  // A new date replaces the amounts typed before.
  connect(DTPicker1, &QDateEdit::dateChanged, this, [this] {
    if (!ready_) return;
    计算利息();
    归还总额();
  });
}

void frmRzTqzf::load() {
  DTPicker1->setDateValue(Clock::today());
  ready_ = true;
  计算利息();
  归还总额();
}

void frmRzTqzf::计算利息() {
  Guarded(QString(), this, [this] {
    Seen = ReadPlanRow(PlanRowId);
    DocNo = Seen.docNo;
    row_ = Seen.row;
    const PlanRowState& row = row_;
    recordOpen_ = RecordOpenPrincipal(DocNo);
    rates_ = LoadFinancingRates(DocNo);
    Proposal = PaymentRules::CappedToRecord(ProposeEarlyPayment(rates_, row, DTPicker1->date()), row, recordOpen_);
    lbltqhdr[0]->setText(DocNo);
    lbltqhdr[1]->setText(QString::number(row.支付期次));
    lbltqhdr[2]->setText(DateText(row.约定支付日期));
    lbltqhdr[5]->setText(Money::format(Proposal.本金));
    lbltqhdr[6]->setText(Money::format(Proposal.利息));
    lbltqhdr[7]->setText(QString::number(Proposal.天数));
    lbltqhdr[8]->setText(Money::format(Proposal.提前支取日利息));
    lbltqhdr[9]->setText(Money::format(Proposal.日利息));
    lbltqhdr[10]->setText(Money::format(Proposal.提前支取扣款));
    Text1[0]->setText(Money::format(Proposal.本金));
    Text1[1]->setText(Money::format(Proposal.利息));
    Text1[2]->setText(Money::format(Proposal.提前支取扣款));
  });
}

double frmRzTqzf::typed(int box) const { return Money::round(Money::valueOf(Text1[static_cast<size_t>(box)]->text()), 2); }

void frmRzTqzf::归还总额() {
  const double entered = Money::round(typed(0) + typed(1) - typed(2), 2);
  Combo1->setCurrentIndex(FinancingRowStatus(typed(0), Proposal.本金, typed(1), Proposal.利息) == QStringLiteral("已付") ? 0 : 1);
  lblze->setText(QStringLiteral("归还总额：") + Money::format(entered));
}

bool frmRzTqzf::checkInput() {
  for (int i = 0; i < 3; ++i) {
    if (Text1[i]->text().isEmpty()) continue;
    if (!ValidateTextInput(Text1[i], QString::fromUtf8(kBoxCaptions[i]), kMoneyInput)) return false;
  }
  const QString late = FinancingEarlyDateRefusal(row_, DTPicker1->date());
  if (!late.isEmpty()) {
    MsgBox(late, Mb::Critical);
    return false;
  }
  const struct {
    int box;
    double cap;
    const char* message;
  } caps[] = {{0, Money::round(row_.应付本金 - row_.已付本金, 2), "支付本金不能大于未付本金！"},
              {0, recordOpen_, "支付本金不能大于该笔融资的未付本金！"},
              {1, Proposal.利息, "支付利息不能大于应付利息！"},
              {2, Proposal.提前支取扣款, "扣除利息不能大于应扣利息！"}};
  for (const auto& c : caps) {
    if (typed(c.box) <= std::max(0.0, c.cap) + 0.005) continue;
    MsgBox(QString::fromUtf8(c.message), Mb::Critical);
    MarkInputInvalid(Text1[static_cast<size_t>(c.box)]);
    return false;
  }
  return true;
}

bool frmRzTqzf::askBeforeSave() {
  // The row's principal all paid with less interest than proposed: the rest may be waived, which
  // settles the row.
  waived_ = 0;
  const double waivable = EarlyPaymentWaivable(rates_, row_, Proposal, DTPicker1->date(), typed(0), typed(1), typed(2));
  if (waivable > 0.005 &&
      MsgBox(QStringLiteral("本期尚有未付利息%1元，确认减免并结清该期吗？").arg(Money::format(waivable)), Mb::YesNo + Mb::Question) == Mb::Yes)
    waived_ = waivable;
  // The note the waiver adds to the remark must fit beside it.
  if (waived_ > 0 && !CheckRoomForNote(Text1[3], WaiverNote(waived_))) return false;
  // The deduction is kept back from the investor: on its own it pays out nothing. A row with
  // nothing left to pay is settled with a record of 0.
  const bool settles = waived_ > 0 || FinancingRowStatus(typed(0), Proposal.本金, typed(1), Proposal.利息) == QStringLiteral("已付");
  Combo1->setCurrentIndex(settles ? 0 : 1);
  if (Money::round(typed(0) + typed(1) - typed(2), 2) <= 0 && !settles) {
    MsgBox(QStringLiteral("支付金额不能为零！"), Mb::Critical);
    MarkInputInvalid(Text1[0]);
    return false;
  }
  return true;
}

void frmRzTqzf::fillPosting(PaymentPosting& post) {
  post.本金 = Money::valueOf(Text1[0]->text());
  post.利息 = Money::valueOf(Text1[1]->text());
  post.提前支取扣款 = Money::valueOf(Text1[2]->text());
  post.付款状态 = waived_ > 0 ? QStringLiteral("已付") : FinancingRowStatus(post.本金, Proposal.本金, post.利息, Proposal.利息);
  post.备注 = waived_ > 0 ? RemarkWithNote(Text1[3]->text(), WaiverNote(waived_)) : Text1[3]->text();
  post.early = true;
}
