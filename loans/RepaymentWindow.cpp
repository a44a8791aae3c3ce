#include "loans/RepaymentWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/Ledger.h"
#include "app/services/TextLimits.h"
#include "loans/frmDkhk.h"
#include "loans/frmDkjl.h"
#include "loans/frmXjyh.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"

RepaymentWindow::RepaymentWindow(const QString& title, bool early, QWidget* owner) : QDialog(owner), early_(early) {
  setWindowTitle(title);
  auto* frame = new QWidget(this);
  form_ = new QGridLayout(frame);
  form_->setHorizontalSpacing(10);
  form_->setVerticalSpacing(10);
  DTPicker1 = new DateBox(frame);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  // A date chosen in the box (from the calendar or typed) is a new proposal. The box also reports
  // when it merely loses the focus: the amounts typed since stay when the date is the same.
  connect(DTPicker1, &QDateEdit::editingFinished, this, [this] {
    if (DTPicker1->date() != proposalDate_) 计算利息();
  });
  pbCDkgh = new ButtonArray(this);
  pbCommand* ok = pbCDkgh->add(cmdConfirm, QStringLiteral("确认(&A)"), this);
  pbCommand* cancel = pbCDkgh->add(cmdCancel, QStringLiteral("取消(&E)"), this);
  ok->setObjectName(QStringLiteral("pbCDkgh_0"));
  cancel->setObjectName(QStringLiteral("pbCDkgh_1"));
  ok->setMinimumSize(96, 32);
  cancel->setMinimumSize(96, 32);
  connect(pbCDkgh, &ButtonArray::clicked, this, [this](int i) { pbCDkgh_Click(i); });
  auto* root = new QVBoxLayout(this);
  root->addWidget(frame);
  root->addStretch(1);
  root->addLayout(RightAlignedButtons({ok, cancel}));
}

void RepaymentWindow::addLabel(int index, const QString& caption, int row, int col) {
  auto* c = new QLabel(caption, form_->parentWidget());
  c->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* l = new QLabel(form_->parentWidget());
  l->setObjectName(QStringLiteral("lbltqhdr_%1").arg(index));
  l->setMinimumWidth(130);
  l->setStyleSheet(QStringLiteral("QLabel { border: 1px solid #B8C7D3; background: #F7FAFC; padding: 2px 4px; }"));
  lbltqhdr[index] = l;
  form_->addWidget(c, row, col * 2);
  form_->addWidget(l, row, col * 2 + 1);
}

void RepaymentWindow::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void RepaymentWindow::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  DTPicker1->setDateValue(Clock::today());
  计算利息();
}

void RepaymentWindow::计算利息() {
  Guarded(QString(), this, [this] {
    // The row and its loan's 版本 in one read: the save claims the loan as this proposal saw it.
    seen_ = ReadInstalmentRow(PlanId);
    docNo_ = seen_.docNo;
    row_ = seen_.row;
    terms_ = seen_.terms;
    const QDate day = DTPicker1->date();
    proposalDate_ = day;
    proposal_ = early_ ? RepaymentCalc::ProposeEarlyRepayment(terms_, row_, day) : RepaymentCalc::ProposeRepayment(terms_, row_, day);
    lbltqhdr[0]->setText(docNo_);
    lbltqhdr[1]->setText(QString::number(row_.period));
    lbltqhdr[2]->setText(ChineseDateText(row_.due));
    lbltqhdr[10]->setText(Money::format(proposal_.amountDue));
    showProposal();
  });
}

void RepaymentWindow::pbCDkgh_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == cmdCancel) {
      reject();
      return;
    }
    if (index != cmdConfirm) return;
    RepaymentEntry entry;
    if (!fillEntry(&entry)) return;
    gAnswer = MsgBox(QStringLiteral("您确认保存该笔业务的操作吗？"), Mb::YesNo + Mb::Question);
    if (gAnswer != Mb::Yes) return;
    // The journal rows carry the borrower's bank data, and ours when the account picker is used.
    try {
      LoadBorrowerBankInfo(docNo_);
    } catch (const DocumentChanged& changed) {
      MsgBox(changed.message, Mb::Exclamation);
      return;
    }
    // Closing the picker without its OK saves nothing.
    if (frmXjyh::InUse() && !frmXjyh::ChooseAccounts(this, early_ ? frmXjyh::EarlyRepayment : frmXjyh::Repayment)) return;
    保存单据();
  });
}

bool RepaymentWindow::fillEntry(RepaymentEntry* entry) {
  if (!CheckTextLimits(this)) return false;
  entry->planId = PlanId;
  entry->date = DTPicker1->date();
  entry->handler = Handler;
  entry->early = early_;
  // Early repayment pays exactly the system's amounts for the date now chosen.
  if (early_ && DTPicker1->date() != proposalDate_) 计算利息();
  entry->seen = seen_;
  if (!readEntry(entry)) return false;
  // A payment dated ahead would stop the row's overdue days until that day.
  if (const QString late = Clock::futureDateRefusal(QStringLiteral("归还日期"), entry->date); !late.isEmpty()) {
    MsgBox(late, Mb::Critical);
    DTPicker1->setFocus();
    return false;
  }
  return true;
}

void RepaymentWindow::保存单据() {
  Guarded(QString(), this, [this] {
    RepaymentEntry entry;
    if (!fillEntry(&entry)) return;
    RepaymentSaved saved;
    try {
      // Without the account picker the journal gets the borrower's bank data and none of ours.
      if (!frmXjyh::InUse()) LoadBorrowerBankInfo(docNo_);
      saved = SaveRepayment(entry);
    } catch (const DocumentChanged& changed) {
      MsgBox(changed.message, Mb::Exclamation);
      return;
    }
    switch (saved) {
      case RepaymentSaved::AlreadyPaid:
        MsgBox(QStringLiteral("该期次借款已还清！"), Mb::Exclamation);
        return;
      case RepaymentSaved::Missing:
        MsgBox(QStringLiteral("该期还款计划已不存在，未能保存！"), Mb::Critical);
        return;
      case RepaymentSaved::Saved: break;
    }
    MsgBox(QStringLiteral("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】"), Mb::Information);
    if (frmDkjl* list = frmDkjl::OpenList()) list->刷新();
    if (View) {
      View->刷新约定();
      View->刷新回款();
      View->SSTab2->setCurrentIndex(1);
    }
    accept();
  });
}
