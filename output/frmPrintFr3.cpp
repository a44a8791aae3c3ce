#include "output/frmPrintFr3.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/data/RuntimeError.h"
#include "output/DocumentPrinting.h"
#include "output/MyFastReport.h"
#include "platform/Buttons.h"

frmPrintFr3::frmPrintFr3(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPrintFr3"));
  setWindowTitle(QStringLiteral("打印"));
  Frame1 = new QGroupBox(QStringLiteral("打印选项"), this);
  auto* opts = new QHBoxLayout(Frame1);
  const char* captions[] = {"预览", "打印", "设计"};
  for (int i = 0; i < 3; ++i) {
    OptDy[i] = new QRadioButton(QString::fromUtf8(captions[i]), Frame1);
    OptDy[i]->setObjectName(QStringLiteral("OptDy_%1").arg(i));
    opts->addWidget(OptDy[i]);
  }
  OptDy[0]->setChecked(true);
  Label1 = new QLabel(QStringLiteral("指定打印机："), this);
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setMinimumWidth(260);
  // The installed printers in the system's order, the first selected; none leaves the list empty.
  Combo1->addItems(QPrinterInfo::availablePrinterNames());
  if (Combo1->count() > 0) Combo1->setCurrentIndex(0);

  eCmdzx = new ButtonArray(this);
  auto* ok = eCmdzx->add(0, QStringLiteral("确定(&A)"), this);
  ok->setToolTip(QStringLiteral("快捷键：Alt+A"));
  auto* quit = eCmdzx->add(1, QStringLiteral("退出(&S)"), this);
  quit->setToolTip(QStringLiteral("快捷键：Alt+S或Esc"));
  MarkDefaultButton(ok);
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });

  auto* printerRow = new QHBoxLayout;
  printerRow->addWidget(Label1);
  printerRow->addWidget(Combo1, 1);
  auto* v = new QVBoxLayout(this);
  v->addWidget(Frame1);
  v->addLayout(printerRow);
  v->addLayout(RightAlignedButtons({ok, quit}));
}

int frmPrintFr3::mode() const {
  for (int i = 0; i < 3; ++i)
    if (OptDy[i]->isChecked()) return i;
  return 0;
}

void frmPrintFr3::eCmdzx_Click(int index) {
  if (index == 1) {
    reject();
    return;
  }
  if (index != 0) return;
  if (!IsPrintKind(PrintKind)) {
    accept();
    return;
  }
  // A failure leaves the window open, so the user may try again or leave.
  bool printed = false;
  Guarded(QStringLiteral("报表打印"), this, [&] {
    BeginReport();
    const QString templ = PrepareDocument(PrintKind, PrintKey);
    printed = RunReportTemplate(templ, mode(), Combo1->currentText(), this);
  });
  if (printed) accept();
}

void ShowDocumentPrint(QWidget* owner, int kind, const QString& key) {
  frmPrintFr3 w(owner);
  w.PrintKind = qint16(kind);
  w.PrintKey = key;
  RunModal(&w);
}
