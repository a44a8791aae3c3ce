#include "financing/PaymentForm.h"

#include <algorithm>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/TextLimits.h"
#include "financing/AccountStep.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Money.h"

namespace PaymentRules {
PaymentProposal CappedToRecord(PaymentProposal p, const PlanRowState& row, double recordOpenPrincipal) {
  p.本金 = std::min(p.本金, OpenRowPrincipal(row, recordOpenPrincipal));
  p.应付总额 = Money::round(p.本金 + p.利息 - p.提前支取扣款, 2);
  return p;
}

}  // namespace PaymentRules

double RecordOpenPrincipal(const QString& docNo) {
  return VariantNumber(Db().scalar(QStringLiteral("select coalesce(本金,0)-coalesce(已付本金,0) from PJ_Cjjl where 单号=?"), {docNo}));
}

PaymentForm::PaymentForm(QWidget* owner, int callerCode) : QDialog(owner), callerCode_(callerCode) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  DTPicker1 = new DateBox(this);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  pbCDkgh = new ButtonArray(this);
  pbCDkgh->add(0, QStringLiteral("确认(&A)"), this)->setObjectName(QStringLiteral("pbCDkgh_0"));
  pbCDkgh->add(1, QStringLiteral("取消(&E)"), this)->setObjectName(QStringLiteral("pbCDkgh_1"));
  connect(pbCDkgh, &ButtonArray::clicked, this, [this](int i) { pbCDkgh_Click(i); });
}

void PaymentForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

void PaymentForm::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  load();
}

void PaymentForm::pbCDkgh_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index != 0) {
      reject();
      return;
    }
    if (!CheckTextLimits(this) || !checkInput()) return;
    // Money is paid out today or was paid before; a later date is a typing mistake.
    if (const QString late = Clock::futureDateRefusal(QStringLiteral("支付日期"), DTPicker1->date()); !late.isEmpty()) {
      MsgBox(late, Mb::Critical);
      DTPicker1->setFocus();
      return;
    }
    if (!askBeforeSave()) return;
    ConfirmPaymentSave(this, DocNo, callerCode_, [this] { 保存单据(); });
  });
}

void PaymentForm::保存单据() {
  Guarded(QString(), this, [this] {
    PaymentPosting post;
    post.planRowId = PlanRowId;
    post.date = DTPicker1->date();
    post.handler = HandlerName;
    fillPosting(post);
    post.seen = Seen;
    PostPaymentFrom(this, post, onSaved);
  });
}
