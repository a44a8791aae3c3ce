#include "loans/frmDktqhd.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"

frmDktqhd::frmDktqhd(QWidget* owner) : RepaymentWindow(QStringLiteral("提前还贷"), true, owner) {
  setObjectName(QStringLiteral("frmDktqhd"));
  addLabel(0, QStringLiteral("借贷单号"), 0, 0);
  addLabel(1, QStringLiteral("还贷期次"), 0, 1);
  addLabel(2, QStringLiteral("约定还款日期"), 1, 0);
  addLabel(3, QStringLiteral("计息天数"), 1, 1);
  addLabel(4, QStringLiteral("日 利 率"), 2, 0);
  addLabel(5, QStringLiteral("应还本金"), 2, 1);
  addLabel(6, QStringLiteral("应还利息"), 3, 0);
  addLabel(10, QStringLiteral("本次应还"), 3, 1);
  QWidget* frame = form_->parentWidget();
  auto* dateCaption = new QLabel(QStringLiteral("归还日期"), frame);
  dateCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form_->addWidget(dateCaption, 4, 0);
  form_->addWidget(DTPicker1, 4, 1);
  auto* amountCaption = new QLabel(QStringLiteral("归还金额"), frame);
  amountCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Text1 = new QLineEdit(frame);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setReadOnly(true);
  Text1->setStyleSheet(QStringLiteral("font-weight: bold; color: #B22222;"));
  form_->addWidget(amountCaption, 4, 2);
  form_->addWidget(Text1, 4, 3);
  auto* note = new QLabel(QStringLiteral("注：提前还贷必须按系统计算金额还款。"), frame);
  note->setStyleSheet(QStringLiteral("color: #B22222;"));
  form_->addWidget(note, 5, 0, 1, 4);
  resize(600, 300);
}

void frmDktqhd::showProposal() {
  lbltqhdr[3]->setText(QString::number(proposal_.days));
  lbltqhdr[4]->setText(Money::format(RepaymentCalc::DailyFraction(terms_) * 100, QStringLiteral("0.0000")) + QStringLiteral("%"));
  lbltqhdr[5]->setText(Money::format(proposal_.principal));
  lbltqhdr[6]->setText(Money::format(proposal_.interest));
  Text1->setText(Money::format(proposal_.amountDue));
}

bool frmDktqhd::readEntry(RepaymentEntry* entry) {
  // The amounts of the proposal for the date now in the box, whatever the box showed before.
  entry->principal = proposal_.principal;
  entry->interest = proposal_.interest;
  // A proposal of 0 (nothing left by the formula, or a row of no principal) settles the row with a
  // record of 0; the interest not charged is then no longer owed.
  entry->status = QStringLiteral("已还");
  const QString refusal = RepaymentCalc::EarlyDateRefusal(row_, entry->date);
  if (!refusal.isEmpty()) {
    MsgBox(refusal, Mb::Critical);
    return false;
  }
  return true;
}
