#include "financing/frmRzZfmx.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "financing/FinancingLinks.h"
#include "output/frmPrint.h"
#include "parties/frmTzr.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
const char* const kCaptions[] = {"查询(&A)", "打印列表(&S)", "导出(&D)", "关闭(&F)", "打印凭证(&D)", "汇款短信提醒(&X)"};
}

frmRzZfmx::frmRzZfmx(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmRzZfmx"));
  setWindowTitle(QStringLiteral("支付明细"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  auto* filters = new QGroupBox(QStringLiteral("查询条件"), this);
  DTPstr = new DateBox(filters);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(filters);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  const QList<QStringList> items = {
      {QStringLiteral("今日"), QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本年"), QStringLiteral("忽略")},
      {QStringLiteral("忽略"), QStringLiteral("已付"), QStringLiteral("支付部分")}};
  for (int i = 0; i < 2; ++i) {
    comJd[i] = new QComboBox(filters);
    comJd[i]->setObjectName(QStringLiteral("comJd_%1").arg(i));
    comJd[i]->addItems(items[i]);
    txtHk[i] = new QLineEdit(filters);
    txtHk[i]->setObjectName(QStringLiteral("txtHk_%1").arg(i));
    txtHk[i]->setPlaceholderText(QStringLiteral("点击选择"));
    txtHk[i]->installEventFilter(this);
    // A filter is picked from its list or cleared; the clear button empties it.
    txtHk[i]->setReadOnly(true);
    txtHk[i]->setClearButtonEnabled(true);
  }
  connect(comJd[0], &QComboBox::activated, this, [this] {
    Guarded(QString(), this, [this] { cxSjkj(DTPstr, DTPovr, comJd[0]->currentIndex()); });
  });
  auto* f = new QHBoxLayout(filters);
  f->addWidget(new QLabel(QStringLiteral("支付时间在"), filters));
  f->addWidget(comJd[0]);
  f->addWidget(DTPstr);
  f->addWidget(new QLabel(QStringLiteral("至"), filters));
  f->addWidget(DTPovr);
  f->addWidget(new QLabel(QStringLiteral("  结算状态"), filters));
  f->addWidget(comJd[1]);
  f->addWidget(new QLabel(QStringLiteral("  出借人"), filters));
  f->addWidget(txtHk[0], 1);
  f->addWidget(new QLabel(QStringLiteral("  业务经办"), filters));
  f->addWidget(txtHk[1], 1);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  pbcHk = new ButtonArray(this);
  auto* bar = new QVBoxLayout;
  for (int i = 0; i < 6; ++i) {
    pbCommand* b = pbcHk->add(i, QString::fromUtf8(kCaptions[i]), this);
    b->setObjectName(QStringLiteral("pbcHk_%1").arg(i));
    b->setMinimumSize(120, 30);
    bar->addWidget(b);
  }
  bar->addStretch(1);
  auto* body = new QHBoxLayout;
  body->addWidget(Fg, 1);
  body->addLayout(bar);
  auto* root = new QVBoxLayout(this);
  root->addWidget(filters);
  root->addLayout(body, 1);
  resize(1200, 640);
  connect(pbcHk, &ButtonArray::clicked, this, [this](int i) { pbcHk_Click(i); });
}

void frmRzZfmx::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

bool frmRzZfmx::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick || e->type() == QEvent::MouseButtonPress) {
    for (int i = 0; i < 2; ++i)
      if (watched == txtHk[i] && e->type() == QEvent::MouseButtonPress) txtHk_Click(i);
  }
  return QDialog::eventFilter(watched, e);
}

void frmRzZfmx::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    comJd[0]->setCurrentIndex(2);
    cxSjkj(DTPstr, DTPovr, 2);
    comJd[1]->setCurrentIndex(0);
    pbcHk->at(5)->setVisible(SettingOn(9));
  });
  刷新();
}

void frmRzZfmx::txtHk_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == 0) {
      frmTzr list(this);
      list.PickMode = frmTzr::PickFilter;
      if (RunModal(&list) == QDialog::Accepted && list.Picked.id > 0) {
        InvestorId = list.Picked.id;
        txtHk[0]->setText(list.Picked.name);
      }
    } else if (const auto staff = frmYg::PickStaff(this, 5)) {
      txtHk[1]->setText(staff->Name);
    }
  });
}

void frmRzZfmx::刷新() {
  Guarded(QString(), this, [this] {
    QString where = sqlDate(QStringLiteral("a.日期"), DTPstr->dateText(), DTPovr->dateText());
    if (where.isEmpty()) where = QStringLiteral(" 1=1 ");
    QVariantList params;
    const QString status = comJd[1]->currentText().trimmed();
    if (status != QStringLiteral("忽略")) {
      where += QStringLiteral(" and a.付款状态=? ");
      params << status;
    }
    where += QStringLiteral(" and b.编号=a.计划ID ");
    if (!txtHk[0]->text().isEmpty()) {
      where += QStringLiteral(" and b.客户名称=? ");
      params << txtHk[0]->text();
    }
    if (!txtHk[1]->text().isEmpty()) {
      where += QStringLiteral(" and b.经办人=? ");
      params << txtHk[1]->text();
    }
    gCurrentSql = QStringLiteral(
                      "select b.客户名称,a.单号,b.经办人,a.期次,b.约定支付日期,(a.日期) as 支付日期,a.本金,a.利息,a.付款状态,a.编号,a.备注 "
                      "from PJ_Cjzfjl a,PJ_Cjzfjh b where ") +
                  where + QStringLiteral(" order by a.编号 desc");
    gCurrentParams = params;
    LoadGridFromQuery(Fg, true, QStringLiteral("5@本期支付,6@本期支付,7@本期支付"));
    CloseRecordset(gMainRecordset);
    AddGridTotalRowEx(Fg, QStringLiteral("6"), QStringLiteral("共计"), -1, 350, 0, QString(), 1);
    Fg->setColFormat(6, QStringLiteral("Currency"));
    Fg->setColFormat(7, QStringLiteral("Currency"));
    FitColumnsAtLeast(Fg, {{2, 900}, {3, 800}, {4, 1200}, {5, 1900}, {6, 1500}, {7, 1500}, {8, 900}});
    Fg->setColHidden(9, true);
  });
}

void frmRzZfmx::pbcHk_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case 0:
        刷新();
        return;
      case 1: {
        frmPrint preview(this);
        preview.PrintFg(gUnitName + QStringLiteral("支付明细"), Fg, true, QString());
        WriteOperationLog(QStringLiteral("打印预览支付明细"));
        return;
      }
      case 2:
        ExportGridToExcel(Fg, QStringLiteral("ZFmxr"), this);
        WriteOperationLog(QStringLiteral("导出支付明细"));
        return;
      case 3:
        close();
        return;
      default:
        break;
    }
    if (!IsGridDataRow(Fg) || Fg->textMatrix(Fg->row(), 0).startsWith(QStringLiteral("记录："))) return;
    const QString id = Fg->textMatrix(Fg->row(), 9);
    if (index == 4) RunFinancingLink(gShowFinancingPrint, this, 7, id);
    if (index == 5) RunFinancingLink(gShowFinancingSms, this, 2, Fg->textMatrix(Fg->row(), 1), id.toInt());
  });
}
