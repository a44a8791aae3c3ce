#include "financing/frmRzZfrc.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "financing/frmRzLxzf.h"
#include "loans/CollectionSchedule.h"
#include "loans/frmMenu.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"
#include "platform/MonthCalendar.h"

namespace {
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2100;

// " in (1,2,3)" of plan row keys: numbers only, read from the database.
QString keyList(const QList<qint64>& ids) {
  QStringList parts;
  for (qint64 id : ids) parts << QString::number(id);
  return parts.join(QLatin1Char(','));
}
}  // namespace

frmRzZfrc::frmRzZfrc(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmRzZfrc"));
  setWindowTitle(QStringLiteral("支付日程"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  for (int y = kFirstYear; y <= kLastYear; ++y) Combo1->addItem(QString::number(y));
  Combo2 = new QComboBox(this);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  for (int m = 1; m <= 12; ++m) Combo2->addItem(QString::number(m));
  pbCommand1 = new ButtonArray(this);
  const QStringList captions = {QStringLiteral("前一月(&A)"), QStringLiteral("后一月(&S)"), QStringLiteral("本月(&D)"),
                                QStringLiteral("刷新(&F)")};
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("年份"), this));
  top->addWidget(Combo1);
  top->addWidget(new QLabel(QStringLiteral("月份"), this));
  top->addWidget(Combo2);
  top->addStretch(1);
  for (int i = 0; i < 4; ++i) {
    pbCommand* b = pbCommand1->add(i, captions[i], this);
    b->setObjectName(QStringLiteral("pbCommand1_%1").arg(i));
    b->setMinimumSize(90, 28);
    top->addWidget(b);
  }
  Fg = new MonthCalendar(this);
  auto* root = new QVBoxLayout(this);
  root->addLayout(top);
  root->addWidget(Fg, 1);
  resize(1000, 640);
  DayLists.resize(32);

  Menu = new frmMenu(this);
  connect(pbCommand1, &ButtonArray::clicked, this, [this](int i) { pbCommand1_Click(i); });
  connect(Fg, &MonthCalendar::dayTextClicked, this, [this](int day, const QPoint& at) { Fg_Click(day, at); });
}

void frmRzZfrc::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

void frmRzZfrc::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  const QDate today = Clock::today();
  Combo1->setCurrentIndex(today.year() - kFirstYear);
  Combo2->setCurrentIndex(today.month() - 1);
  日历过程(today.year(), today.month());
}

void frmRzZfrc::pbCommand1_Click(int index) {
  int year = Combo1->currentIndex() + kFirstYear;
  int month = Combo2->currentIndex() + 1;
  if (index == 0) MonthLayout::previous(&year, &month);
  if (index == 1) MonthLayout::next(&year, &month);
  if (index == 2) {
    year = Clock::today().year();
    month = Clock::today().month();
  }
  // The list of years ends at both sides: a press past it changes nothing.
  if (year < kFirstYear || year > kLastYear) return;
  Combo1->setCurrentIndex(year - kFirstYear);
  Combo2->setCurrentIndex(month - 1);
  日历过程(year, month);
}

void frmRzZfrc::日历过程(int year, int month) {
  Guarded(QString(), this, [&] {
    const int days = MonthLayout::daysInMonth(year, month);
    预处理(year, month, days);
    QStringList texts;
    for (int d = 0; d <= days; ++d) texts << (d > 0 && !DayLists[d].isEmpty() ? 未还贷款(DayLists[d]) : QString());
    Fg->showMonth(year, month, Clock::today(), texts);
  });
}

void frmRzZfrc::预处理(int year, int month, int days) {
  for (auto& list : DayLists) list.clear();
  const SqlWithParams open = OpenPaymentRowsFrom(DateText(QDate(year, month, 1)), DateText(QDate(year, month, days)));
  const QueryResult r =
      Db().query(QStringLiteral("select a.编号,a.约定支付日期") + open.sql + QStringLiteral(" order by a.约定支付日期,a.编号"), open.params);
  for (const QVariantList& row : r.rows) {
    const QDate due = ParseDateText(VariantText(row[1]));
    if (due.isValid() && due.day() < int(DayLists.size())) DayLists[due.day()] << static_cast<qint64>(VariantNumber(row[0]));
  }
}

QString frmRzZfrc::未还贷款(const QList<qint64>& ids) {
  QString lines;
  // What is still to pay, as the day's popup says it.
  const QueryResult r = Db().query(QStringLiteral("select a.客户名称,") + OpenPaymentAmountSql() +
                                   QStringLiteral(" as 应付 from PJ_Cjzfjh a where a.编号 in (") + keyList(ids) +
                                   QStringLiteral(") order by a.编号"));
  for (const QVariantList& row : r.rows)
    lines += VariantText(row[0]) + QStringLiteral("→") + Money::format(VariantNumber(row[1])) + QStringLiteral("\r\n");
  return lines;
}

void frmRzZfrc::Fg_Click(int day, const QPoint& at) {
  Guarded(QString(), this, [&] {
    if (day < 1 || day >= int(DayLists.size()) || DayLists[day].isEmpty()) return;
    Menu->Mode = QStringLiteral("支付");
    Menu->支付日程_点击Fg(keyList(DayLists[day]));
    Menu->popup(at);
  });
}

void OpenFinancingPaymentView(QWidget* owner, const QString& docNo) {
  frmRzLxzf view(owner);
  view.DocNo = docNo;
  RunModal(&view);
}
