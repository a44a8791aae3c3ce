#include "loans/frmDkJh.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/services/ErrorReport.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"

frmDkJh::frmDkJh(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkJh"));
  setWindowTitle(QStringLiteral("编辑计划"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Combo2 = new QComboBox(this);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  Combo2->setMaxVisibleItems(20);
  for (int i = 1; i <= 999; ++i) Combo2->addItem(QString::number(i));
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({LoanCalc::kDaily, LoanCalc::kMonthly});
  DTPicker1 = new DateBox(this);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  pbCommand1 = MakeButton(QStringLiteral("确定(&O)"), this);
  pbCommand1->setObjectName(QStringLiteral("pbCommand1"));
  pbCommand1->setMinimumSize(90, 30);
  MarkDefaultButton(pbCommand1);
  connect(pbCommand1, &pbCommand::Click, this, [this] { pbCommand1_Click(); });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { followUnit(); });
  connect(DTPicker1, &QDateEdit::dateChanged, this, [this] {
    if (!settingDate_) dateByHand_ = true;
  });

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("分期数："), Combo2);
  form->addRow(QStringLiteral("还贷周期："), Combo1);
  form->addRow(QStringLiteral("首次归还日期："), DTPicker1);
  auto* root = new QVBoxLayout(this);
  root->addLayout(form);
  root->addLayout(RightAlignedButtons({pbCommand1}));
  resize(300, 160);
}

void frmDkJh::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!loaded_) Form_Load();
}

void frmDkJh::Form_Load() {
  loaded_ = true;
  dateByHand_ = false;
  Combo1->setCurrentIndex(UnitIndex == 0 ? 0 : 1);
  Combo2->setCurrentIndex(0);
  followUnit();
}

QDate frmDkJh::DefaultFirstDate() const {
  return LoanCalc::DefaultFirstDate(LoanCalc::ButtonOfMethod(PlanMethod), StartDate, Combo1->currentIndex() != 0);
}

void frmDkJh::followUnit() {
  if (dateByHand_) return;
  settingDate_ = true;
  DTPicker1->setDateValue(DefaultFirstDate());
  settingDate_ = false;
}

void frmDkJh::pbCommand1_Click() {
  Guarded(QString(), this, [this] {
    const int unit = Combo1->currentIndex() == 0 ? 0 : 1;
    if (unit != (UnitIndex == 0 ? 0 : 1)) {
      // The rate stays as typed; only its type follows the unit, so say so before building.
      const QString type = unit == 0 ? LoanCalc::kDaily : LoanCalc::kMonthly;
      if (MsgBox(QStringLiteral("利率类别将改为") + type + QStringLiteral("，利率不变，是否继续？"), Mb::YesNo + Mb::Question) != Mb::Yes)
        return;
    }
    // The plan steps from the box as it stands: a date other than the one that fits 起息日期 moves
    // every due date off the term chosen, so it is built only when confirmed.
    const QDate first = DTPicker1->date(), fitting = DefaultFirstDate();
    if (first != fitting &&
        MsgBox(QStringLiteral("首次归还日期") + DateText(first) + QStringLiteral("与按起息日期") + DateText(StartDate) +
                   QStringLiteral("推算的") + DateText(fitting) + QStringLiteral("不同，确认按此生成还款计划吗？"),
               Mb::YesNo + Mb::Question) != Mb::Yes)
      return;
    LoanCalc::Instalments inst;
    inst.count = Combo2->currentIndex() + 1;
    inst.monthly = unit == 1;
    inst.first = first;
    Chosen = inst;
    accept();
  });
}
