#include "financing/frmrzZfjh.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/services/ErrorReport.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"

frmrzZfjh::frmrzZfjh(int method, int rateKindIndex, const QDate& start, QWidget* owner)
    : QDialog(owner), Method(method), RateKindIndex(rateKindIndex), StartDate(start) {
  setObjectName(QStringLiteral("frmrzZfjh"));
  setWindowTitle(QStringLiteral("编辑计划"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  DTPicker1 = new DateBox(this);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  DTPicker1->setDateValue(DefaultFirstPaymentDate(start));
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("日"), QStringLiteral("月")});
  Combo1->setCurrentIndex(rateKindIndex == 1 ? 1 : 0);
  Combo2 = new QComboBox(this);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  for (int i = 1; i <= 999; ++i) Combo2->addItem(QString::number(i));
  Combo2->setCurrentIndex(0);
  Combo2->setMaxVisibleItems(15);
  pbCommand1 = MakeButton(QStringLiteral("确定(&A)"), this);
  pbCommand1->setObjectName(QStringLiteral("pbCommand1"));
  MarkDefaultButton(pbCommand1);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("首次支付日期："), DTPicker1);
  form->addRow(QStringLiteral("支付周期："), Combo1);
  form->addRow(QStringLiteral("分期数："), Combo2);
  auto* root = new QVBoxLayout(this);
  root->addWidget(new QLabel(QStringLiteral("计划：") + PlanButtonCaption(method), this));
  root->addLayout(form);
  root->addLayout(RightAlignedButtons({pbCommand1}));
  resize(300, 170);
  connect(pbCommand1, &pbCommand::Click, this, [this] { pbCommand1_Click(); });
}

void frmrzZfjh::pbCommand1_Click() {
  Guarded(QString(), this, [this] {
    const int unitIndex = Combo1->currentIndex();
    // The rate stays as typed: a daily rate must not silently become a monthly one.
    if (unitIndex != RateKindIndex) {
      const QString kind = unitIndex == 0 ? QStringLiteral("日") : QStringLiteral("月");
      if (MsgBox(QStringLiteral("利率类别将改为") + kind + QStringLiteral("，利率不变，是否继续？"), Mb::YesNo + Mb::Question) != Mb::Yes)
        return;
    }
    // The plan steps from the box as it stands: a date other than the one that fits 起息日期 moves
    // every due date off the term chosen, so it is built only when confirmed.
    const QDate first = DTPicker1->date(), fitting = DefaultFirstPaymentDate(StartDate);
    if (first != fitting &&
        MsgBox(QStringLiteral("首次支付日期") + DateText(first) + QStringLiteral("与按起息日期") + DateText(StartDate) +
                   QStringLiteral("推算的") + DateText(fitting) + QStringLiteral("不同，确认按此生成支付计划吗？"),
               Mb::YesNo + Mb::Question) != Mb::Yes)
      return;
    InstalmentOptions o;
    o.unit = unitIndex == 0 ? QLatin1Char('D') : QLatin1Char('M');
    o.分期数 = Combo2->currentIndex() + 1;
    o.首次支付日期 = first;
    Chosen = o;
    accept();
  });
}
