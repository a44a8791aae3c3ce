#include "output/frmTjLs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "output/ReportQueries.h"
#include "output/frmPrint.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

frmTjLs::frmTjLs(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTjLs"));
  setWindowTitle(QStringLiteral("流水账"));
  resize(1280, 680);
  Frame1 = new QGroupBox(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  for (int i = 0; i < 3; ++i) {
    comJd[i] = new QComboBox(Frame1);
    comJd[i]->setObjectName(QStringLiteral("comJd_%1").arg(i));
  }
  comJd[0]->addItems({QStringLiteral("今日"), QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本年")});
  comJd[1]->addItems(kJournalConditionFields);
  comJd[2]->addItems({QStringLiteral("等于"), QStringLiteral("不等于"), QStringLiteral("包含")});
  DTPstr = new DateBox(Frame1);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(Frame1);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  txtJd = new QLineEdit(Frame1);
  txtJd->setObjectName(QStringLiteral("txtJd"));
  txtJd->setFixedWidth(150);
  eButton1 = MakeButton(QStringLiteral("查询"), Frame1);
  eButton1->setObjectName(QStringLiteral("eButton1"));
  MarkDefaultButton(eButton1);
  auto* f = new QHBoxLayout(Frame1);
  f->addWidget(comJd[0]);
  f->addWidget(new QLabel(QStringLiteral("时间在"), Frame1));
  f->addWidget(DTPstr);
  f->addWidget(new QLabel(QStringLiteral("至"), Frame1));
  f->addWidget(DTPovr);
  f->addSpacing(12);
  f->addWidget(comJd[1]);
  f->addWidget(comJd[2]);
  f->addWidget(txtJd);
  f->addWidget(eButton1);

  pbcHk = new ButtonArray(this);
  auto* print = pbcHk->add(0, QStringLiteral("打印(&S)"), this);
  auto* exportButton = pbcHk->add(1, QStringLiteral("导出(&D)"), this);
  print->setObjectName(QStringLiteral("pbcHk_0"));
  exportButton->setObjectName(QStringLiteral("pbcHk_1"));
  auto* top = new QHBoxLayout;
  top->addWidget(print, 0, Qt::AlignVCenter);
  top->addWidget(exportButton, 0, Qt::AlignVCenter);
  top->addStretch(1);
  top->addWidget(Frame1);
  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addWidget(Fg, 1);

  connect(comJd[0], &QComboBox::activated, this, [this] { comJd_Click(0); });
  connect(eButton1, &pbCommand::Click, this, [this] { 刷新(); });
  connect(pbcHk, &ButtonArray::clicked, this, [this](int i) { pbcHk_Click(i); });

  comJd[0]->setCurrentIndex(2);
  comJd_Click(0);
  comJd[1]->setCurrentIndex(0);
  comJd[2]->setCurrentIndex(0);
  刷新();
}

void frmTjLs::comJd_Click(int index) {
  if (index != 0) return;
  cxSjkj(DTPstr, DTPovr, comJd[0]->currentIndex());
}

void frmTjLs::刷新() {
  Guarded(QString(), nullptr, [&] {
    const ReportSql q = BuildJournalQuery(DTPstr->date(), DTPovr->date(), comJd[1]->currentText(), comJd[2]->currentText(), txtJd->text());
    gCurrentSql = q.sql;
    gCurrentParams = q.params;
    LoadGridFromQuery(Fg, true,
                      QStringLiteral("2@单据信息,3@单据信息,4@单据信息,8@我方账户,9@我方账户,10@我方账户,11@对方账户,12@对方账户,13@对方账户"));
    AddGridTotalRowEx(Fg, QStringLiteral("3"), QStringLiteral("合计"), 0, 350, 14, QStringLiteral("支出"), 1, true);
    CloseRecordset(gMainRecordset);
    if (Fg->cols() < 15) return;
    Fg->setColFormat(3, QStringLiteral("Currency"));
    Fg->setColFormat(5, QStringLiteral("Currency"));
    FitColumnsAtLeast(Fg, {{3, 1500}, {5, 1800}, {6, 900}, {7, 900}});
    Fg->setColWidth(14, 1);
  });
}

void frmTjLs::pbcHk_Click(int index) {
  Guarded(QString(), this, [&] {
    if (index == 0) {
      frmPrint p(this);
      p.PrintFg(gUnitName + QStringLiteral("流水账"), Fg, true,
                QStringLiteral("时间：") + DTPstr->dateText() + QStringLiteral(" - ") + DTPovr->dateText());
    } else {
      ExportGridToExcel(Fg, QStringLiteral("Tjls"), this);
    }
  });
}
