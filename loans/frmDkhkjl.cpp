#include "loans/frmDkhkjl.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "loans/LoanLinks.h"
#include "loans/LoanListQuery.h"
#include "output/frmPrint.h"
#include "parties/frmKhgr.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

frmDkhkjl::frmDkhkjl(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkhkjl"));
  setWindowTitle(QStringLiteral("回款记录"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  Frame1 = new QGroupBox(QStringLiteral("查询条件"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  auto* fl = new QHBoxLayout(Frame1);
  for (int i = 0; i < 2; ++i) {
    comJd[i] = new QComboBox(Frame1);
    comJd[i]->setObjectName(QStringLiteral("comJd_%1").arg(i));
    connect(comJd[i], &QComboBox::activated, this, [this, i] { comJd_Click(i); });
  }
  comJd[0]->addItems(LoanListItems::periods());
  comJd[1]->addItems({QStringLiteral("忽略"), QStringLiteral("已还"), QStringLiteral("归还部分")});
  DTPstr = new DateBox(Frame1);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(Frame1);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  for (int i = 0; i < 2; ++i) {
    txtHk[i] = new QLineEdit(Frame1);
    txtHk[i]->setObjectName(QStringLiteral("txtHk_%1").arg(i));
    txtHk[i]->setPlaceholderText(QStringLiteral("点击选择"));
    txtHk[i]->setClearButtonEnabled(true);
    txtHk[i]->installEventFilter(this);
  }
  auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), Frame1); };
  fl->addWidget(label("还款时间在"));
  fl->addWidget(comJd[0]);
  fl->addWidget(DTPstr);
  fl->addWidget(label("至"));
  fl->addWidget(DTPovr);
  fl->addWidget(label("客户名称"));
  fl->addWidget(txtHk[0]);
  fl->addWidget(label("业务经办"));
  fl->addWidget(txtHk[1]);
  fl->addWidget(label("回款状态"));
  fl->addWidget(comJd[1]);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);

  Frame2 = new QGroupBox(this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  pbcHk = new ButtonArray(this);
  const char* const captions[] = {"查询(&A)", "打印列表(&S)", "导出(&D)", "关闭(&F)", "打印凭证(&A)"};
  auto* bl = new QHBoxLayout(Frame2);
  bl->addStretch(1);
  for (int i : {cmdQuery, cmdReceipt, cmdPrint, cmdExport, cmdClose}) {
    pbCommand* b = pbcHk->add(i, QString::fromUtf8(captions[i]), Frame2);
    b->setObjectName(QStringLiteral("pbcHk_%1").arg(i));
    b->setMinimumSize(100, 32);
    bl->addWidget(b);
  }
  connect(pbcHk, &ButtonArray::clicked, this, [this](int i) { pbcHk_Click(i); });

  auto* root = new QVBoxLayout(this);
  root->addWidget(Frame1);
  root->addWidget(Fg, 1);
  root->addWidget(Frame2);
  resize(1200, 680);
}

void frmDkhkjl::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void frmDkhkjl::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  comJd[0]->setCurrentIndex(2);
  comJd_Click(0);
  comJd[1]->setCurrentIndex(0);
  Guarded(QString(), this, [this] { 刷新(); });
}

void frmDkhkjl::comJd_Click(int index) {
  if (index == 0) cxSjkj(DTPstr, DTPovr, comJd[0]->currentIndex());
}

void frmDkhkjl::刷新() {
  RepaymentRecordFilter f;
  f.from = DTPstr->dateText();
  f.to = DTPovr->dateText();
  f.customer = txtHk[0]->text();
  f.staff = txtHk[1]->text();
  f.status = comJd[1]->currentText();
  const SqlWithParams q = BuildRepaymentRecordSql(f);
  gCurrentSql = q.sql;
  gCurrentParams = q.params;
  LoadGridFromQuery(Fg, true, QStringLiteral("7@本期归还,8@本期归还,9@本期归还"));
  CloseRecordset(gMainRecordset);
  // The record's stamp shows its day, and is measured (on screen and in print) as it shows.
  if (Fg->cols() > 6)
    for (int r = Fg->fixedRows(); r < Fg->rows(); ++r) Fg->setTextMatrix(r, 6, Fg->textMatrix(r, 6).left(10));
  AddGridTotalRowEx(Fg, QStringLiteral("9"), QStringLiteral("共计"), 0, 350, 0, QString(), 1);
  // Formats first, then the widths fitted to the shown amounts, totals included.
  if (Fg->cols() > 10)
    for (int c : {7, 8, 9, 10}) Fg->setColFormat(c, QStringLiteral("Currency"));
  FitColumnsAtLeast(Fg, {{1, 900}, {3, 900}, {4, 800}, {5, 1200}, {6, 1200}, {7, 1500}, {8, 1500}, {9, 1500}, {10, 1000}, {11, 900}});
}

void frmDkhkjl::txtHk_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == 0) {
      frmKhgr list(this);
      list.PickMode = frmKhgr::PickFilter;
      if (RunModal(&list) == QDialog::Accepted && list.Picked.mode == frmKhgr::PickFilter) txtHk[0]->setText(list.Picked.name);
    } else if (auto picked = frmYg::PickStaff(this, 3)) {
      txtHk[1]->setText(picked->Name);
    }
  });
}

void frmDkhkjl::pbcHk_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case cmdQuery: 刷新(); break;
      case cmdPrint: {
        if (!IsGridDataRow(Fg)) return;
        frmPrint preview(this);
        preview.PrintFg(gUnitName + QStringLiteral("回款明细"), Fg, true, QString());
        WriteOperationLog(QStringLiteral("打印预览回款明细"));
        break;
      }
      case cmdExport:
        ExportGridToExcel(Fg, QStringLiteral("Hkmxr"), this);
        WriteOperationLog(QStringLiteral("导出回款明细"));
        break;
      case cmdClose: reject(); break;
      case cmdReceipt:
        if (!IsGridDataRow(Fg)) return;
        RunLoanLink(gShowLoanPrint, this, 4, Fg->textMatrix(Fg->row(), 0));
        break;
      default: break;
    }
  });
}

bool frmDkhkjl::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease) {
    for (auto [i, box] : txtHk)
      if (watched == box) txtHk_Click(i);
  }
  return QDialog::eventFilter(watched, e);
}
