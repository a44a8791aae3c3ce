#include "loans/frmDkgh.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/services/ErrorReport.h"
#include "app/services/TextLimits.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"

frmDkgh::frmDkgh(QWidget* owner) : RepaymentWindow(QStringLiteral("贷款归还"), false, owner) {
  setObjectName(QStringLiteral("frmDkgh"));
  addLabel(0, QStringLiteral("借贷单号"), 0, 0);
  addLabel(1, QStringLiteral("还贷期次"), 0, 1);
  addLabel(2, QStringLiteral("约定还款日期"), 1, 0);
  addLabel(5, QStringLiteral("应还本金"), 1, 1);
  addLabel(6, QStringLiteral("应还利息"), 2, 0);
  addLabel(7, QStringLiteral("逾期天数"), 2, 1);
  addLabel(8, QStringLiteral("逾期日利率"), 3, 0);
  addLabel(9, QStringLiteral("逾期利息"), 3, 1);
  addLabel(10, QStringLiteral("本次应还"), 4, 0);
  lbltqhdr[10]->setStyleSheet(lbltqhdr[10]->styleSheet() + QStringLiteral("QLabel { color: #B22222; font-weight: bold; }"));
  QWidget* frame = form_->parentWidget();
  auto caption = [frame](const QString& text) {
    auto* l = new QLabel(text, frame);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  form_->addWidget(caption(QStringLiteral("归还日期")), 4, 2);
  form_->addWidget(DTPicker1, 4, 3);
  const char* const captions[] = {"归还本金", "归还利息", "逾期手续费", "备注"};
  for (int i = 0; i < 4; ++i) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(QStringLiteral("Text1_%1").arg(i));
    if (i < 3) {
      MakeMoneyBox(box, QString::fromUtf8(captions[i]));
      // A box left with a text totals again; the user may then change the status.
      connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
      connect(box, &QLineEdit::textChanged, this, [this, box] {
        if (!box->text().isEmpty()) 归还总额();
      });
    }
    Text1[i] = box;
  }
  LimitTextBox(Text1[3], QStringLiteral("PJ_Hkjl"), QStringLiteral("备注"), QStringLiteral("备注"));
  form_->addWidget(caption(QString::fromUtf8(captions[0])), 5, 0);
  form_->addWidget(Text1[0], 5, 1);
  form_->addWidget(caption(QString::fromUtf8(captions[1])), 5, 2);
  form_->addWidget(Text1[1], 5, 3);
  form_->addWidget(caption(QString::fromUtf8(captions[2])), 6, 0);
  form_->addWidget(Text1[2], 6, 1);
  Combo1 = new QComboBox(frame);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("已还"), QStringLiteral("归还部分")});
  connect(Combo1, &QComboBox::activated, this, [this](int i) { Combo1_Click(i); });
  form_->addWidget(caption(QStringLiteral("归还状态")), 6, 2);
  form_->addWidget(Combo1, 6, 3);
  form_->addWidget(caption(QString::fromUtf8(captions[3])), 7, 0);
  form_->addWidget(Text1[3], 7, 1, 1, 3);
  lblze = new QLabel(frame);
  lblze->setObjectName(QStringLiteral("lblze"));
  lblze->setStyleSheet(QStringLiteral("font-weight: bold; color: #1F4E79;"));
  form_->addWidget(lblze, 8, 1, 1, 3);
  resize(620, 380);
}

void frmDkgh::showProposal() {
  lbltqhdr[5]->setText(Money::format(row_.duePrincipal));
  lbltqhdr[6]->setText(Money::format(proposal_.interest));
  lbltqhdr[7]->setText(QString::number(proposal_.days));
  lbltqhdr[8]->setText(Money::format(terms_.overdueDailyRate * 100, QStringLiteral("0.0000")) + QStringLiteral("%"));
  lbltqhdr[9]->setText(Money::format(proposal_.fee));
  // The proposal replaces whatever was typed.
  Text1[0]->setText(Money::format(proposal_.principal));
  Text1[1]->setText(Money::format(proposal_.interest));
  Text1[2]->setText(Money::format(proposal_.fee));
  归还总额();
}

double frmDkgh::typed(int box) const { return Money::round(Money::valueOf(Text1.at(box)->text())); }

double frmDkgh::interestLeft() const { return Money::round(proposal_.interest - typed(1)); }

void frmDkgh::归还总额() {
  const double total = Money::round(typed(0) + typed(1) + typed(2));
  // New amounts undo an agreed waiver: the question is asked again for what they leave open.
  waived_ = false;
  const QString status = RepaymentCalc::RowStatus(typed(0), proposal_.principal, typed(1), proposal_.interest);
  Combo1->setCurrentIndex(status == QStringLiteral("已还") ? 0 : 1);
  lblze->setText(QStringLiteral("归还总额：") + Money::format(total));
}

void frmDkgh::Combo1_Click(int index) {
  const bool amountsSettle = RepaymentCalc::RowStatus(typed(0), proposal_.principal, typed(1), proposal_.interest) == QStringLiteral("已还");
  const bool waivable = index == 0 && !amountsSettle && RepaymentCalc::Covers(typed(0), proposal_.principal) &&
                        typed(0) <= proposal_.principal + 0.005 && interestLeft() > 0.005;
  if (waivable) {
    const QString question = QStringLiteral("本期尚有未还利息%1元，确认减免并结清该期吗？").arg(Money::format(interestLeft()));
    waived_ = MsgBox(question, Mb::YesNo + Mb::Question) == Mb::Yes;
  } else if (index == 0 || amountsSettle) {
    waived_ = false;
  }
  Combo1->setCurrentIndex(amountsSettle || waived_ ? 0 : 1);
}

bool frmDkgh::readEntry(RepaymentEntry* entry) {
  const char* const captions[] = {"归还本金", "归还利息", "逾期手续费"};
  double amounts[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (!ValidateTextInput(Text1[i], QString::fromUtf8(captions[i]), 0)) return false;
    if (!ValidateTextInput(Text1[i], QString::fromUtf8(captions[i]), kMoneyInput)) return false;
    Money::parse(Text1[i]->text().trimmed(), &amounts[i]);
    amounts[i] = Money::round(amounts[i]);
  }
  // Never more than is open on the row; the overdue fee stays free.
  const struct {
    double amount, open;
    const char* message;
  } caps[] = {{amounts[0], proposal_.principal, "归还本金不能大于未还本金！"}, {amounts[1], proposal_.interest, "归还利息不能大于未还利息！"}};
  for (int i = 0; i < 2; ++i) {
    if (caps[i].amount <= caps[i].open + 0.005) continue;
    MsgBox(QString::fromUtf8(caps[i].message), Mb::Critical);
    MarkInputInvalid(Text1[i]);
    return false;
  }
  const bool waiver = waived_ && RepaymentCalc::Covers(amounts[0], proposal_.principal);
  const QString status = waiver ? QStringLiteral("已还") : RepaymentCalc::RowStatus(amounts[0], proposal_.principal, amounts[1], proposal_.interest);
  // Nothing paid is refused, except where it settles the row: nothing open on it (a record of 0
  // closes it), or the open interest waived.
  if (amounts[0] + amounts[1] + amounts[2] <= 0 && status != QStringLiteral("已还")) {
    MsgBox(QStringLiteral("归还总额必须大于0！"), Mb::Critical);
    Text1[0]->setFocus();
    return false;
  }
  entry->principal = amounts[0];
  entry->interest = amounts[1];
  entry->fee = amounts[2];
  entry->status = status;
  entry->remark = Text1[3]->text();
  if (waiver) {
    const QString note = WaiverNote(Money::round(proposal_.interest - amounts[1]));
    if (!CheckRoomForNote(Text1[3], note)) return false;
    entry->remark = RemarkWithNote(entry->remark, note);
  }
  return true;
}
