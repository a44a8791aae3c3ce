#include "loans/frmCkrc.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/services/ErrorReport.h"
#include "loans/CollectionSchedule.h"
#include "loans/frmMenu.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/MonthCalendar.h"

frmCkrc::frmCkrc(QWidget* owner) : QDialog(owner), dayLists_(32) {
  setObjectName(QStringLiteral("frmCkrc"));
  setWindowTitle(QStringLiteral("催款日程"));
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo2 = new QComboBox(this);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  for (int m = 1; m <= 12; ++m) Combo2->addItem(QString::number(m));
  Calendar = new MonthCalendar(this);
  Fg = Calendar->grid();
  connect(Calendar, &MonthCalendar::dayTextClicked, this, [this](int day, const QPoint& pos) { Fg_Click(day, pos); });
  Menu = new frmMenu(this);
  pbCommand1 = new ButtonArray(this);
  const char* const captions[] = {"前一月(&A)", "后一月(&S)", "本月(&D)", "刷新(&F)"};
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("年份"), this));
  top->addWidget(Combo1);
  top->addWidget(new QLabel(QStringLiteral("月份"), this));
  top->addWidget(Combo2);
  top->addStretch(1);
  for (int i = 0; i < 4; ++i) {
    pbCommand* b = pbCommand1->add(i, QString::fromUtf8(captions[i]), this);
    b->setObjectName(QStringLiteral("pbCommand1_%1").arg(i));
    b->setMinimumSize(100, 32);
    top->addWidget(b);
  }
  connect(pbCommand1, &ButtonArray::clicked, this, [this](int i) { pbCommand1_Click(i); });
  auto* root = new QVBoxLayout(this);
  root->addLayout(top);
  root->addWidget(Calendar, 1);
  resize(1020, 640);
}

frmCkrc::~frmCkrc() = default;

void frmCkrc::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

int frmCkrc::shownYear() const { return kFirstYear + Combo1->currentIndex(); }
int frmCkrc::shownMonth() const { return Combo2->currentIndex() + 1; }

void frmCkrc::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  for (int y = kFirstYear; y <= kLastYear; ++y) Combo1->addItem(QString::number(y));
  const QDate today = Clock::today();
  Combo1->setCurrentIndex(today.year() - kFirstYear);
  Combo2->setCurrentIndex(today.month() - 1);
  日历过程(shownYear(), shownMonth());
}

void frmCkrc::pbCommand1_Click(int index) {
  int year = shownYear(), month = shownMonth();
  switch (index) {
    case cmdPrevious: MonthLayout::previous(&year, &month); break;
    case cmdNext: MonthLayout::next(&year, &month); break;
    case cmdThisMonth:
      year = Clock::today().year();
      month = Clock::today().month();
      break;
    case cmdRefresh: break;
    default: return;
  }
  // The year list ends at 1900 and 2100; the buttons stop there.
  if (year < kFirstYear || year > kLastYear) return;
  Combo1->setCurrentIndex(year - kFirstYear);
  Combo2->setCurrentIndex(month - 1);
  日历过程(year, month);
}

void frmCkrc::日历过程(int year, int month) {
  Guarded(QString(), this, [&] {
    预处理(year, month);
    QStringList texts(32);
    for (int d = 1; d <= 31; ++d)
      if (!dayLists_[d].isEmpty()) texts[d] = 未还贷款(dayLists_[d]);
    Calendar->showMonth(year, month, Clock::today(), texts);
  });
}

void frmCkrc::预处理(int year, int month) { dayLists_ = InstalmentDayLists(year, month); }

QString frmCkrc::未还贷款(const QString& idList) { return DueInstalmentsText(idList); }

void frmCkrc::Fg_Click(int day, const QPoint& globalPos) {
  if (day < 1 || day > 31 || dayLists_[day].isEmpty()) return;
  Menu->Mode = QStringLiteral("催款");
  Menu->催款日程_点击Fg(dayLists_[day]);
  Menu->popup(globalPos);
}
