#include "output/frmTjZjrb.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "output/ReportLayout.h"
#include "output/frmPrint.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

frmTjZjrb::frmTjZjrb(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTjZjrb"));
  setWindowTitle(QStringLiteral("资金日报"));
  resize(720, 760);
  DTPicker1 = new DateBox(this);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  pbCTj = new ButtonArray(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("到期基准日期"), this));
  top->addWidget(DTPicker1);
  auto* hint = new QLabel(QStringLiteral("提示：基准日期不能小于当前日期！"), this);
  hint->setStyleSheet(QStringLiteral("color:#B00000"));
  top->addWidget(hint);
  Fg = LayoutReportWindow(this, top, pbCTj, QStringLiteral("pbCTj"),
                          {QStringLiteral("统计(&A)"), QStringLiteral("导出(&S)"), QStringLiteral("打印(&D)")});
  connect(pbCTj, &ButtonArray::clicked, this, [this](int i) { pbCTj_Click(i); });
  DTPicker1->setDateValue(Clock::today());
  刷新();
}

void frmTjZjrb::刷新() {
  Guarded(QString(), nullptr, [&] {
    const FundsReport r = ComputeFundsReport(DTPicker1->date());
    SaveFundsReport(r);
    // The grid shows the figures just computed, one name/value row each.
    ApplyGridLook(Fg);
    Fg->setFixedRows(0);
    Fg->clearData();
    Fg->setCols(2);
    Fg->setRows(int(FundsReport::kNames.size()));
    Fg->setColAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    Fg->setColAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    for (int i = 0; i < int(FundsReport::kNames.size()); ++i) {
      Fg->setRowHeight(i, 400);
      Fg->setTextMatrix(i, 0, QString::fromUtf8(FundsReport::kNames[size_t(i)]));
      Fg->setValue(i, 1, r.values[size_t(i)]);
    }
    Fg->setCellBackColor(0, 0, Fg->rows() - 1, 0, VbColor(0xF7F4EA));
    Fg->setColFormat(1, QStringLiteral("Currency"));
    FitColumnsAtLeast(Fg, {{0, 2500}, {1, 5000}});
  });
}

void frmTjZjrb::pbCTj_Click(int index) {
  Guarded(QString(), this, [&] {
    switch (index) {
      case 0:
        if (DTPicker1->date().daysTo(Clock::today()) > 0) {
          MsgBox(QStringLiteral("基准日期不能小于当前日期！"), Mb::Critical);
          return;
        }
        刷新();
        break;
      case 1:
        ExportGridToExcel(Fg, QStringLiteral("TjZjrb"), this);
        WriteOperationLog(QStringLiteral("导出资金日报"));
        break;
      case 2: {
        frmPrint p(this);
        p.PrintFg(gUnitName + QStringLiteral("资金日报"), Fg, false, QStringLiteral("基准日期：") + DTPicker1->dateText());
        WriteOperationLog(QStringLiteral("打印预览资金日报"));
        break;
      }
      default:
        break;
    }
  });
}
