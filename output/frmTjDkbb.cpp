#include "output/frmTjDkbb.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "output/OutputLinks.h"
#include "output/ReportLayout.h"
#include "output/frmPrint.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

std::function<void(QWidget*, const QString&)> gShowLoanListFor;
std::function<void(QWidget*, const QString&)> gShowFinancingListFor;

namespace {
bool loans(PlanBook b) { return b == PlanBook::Loans; }
}  // namespace

DailyReportWindow::DailyReportWindow(PlanBook book, QWidget* parent) : QDialog(parent), book_(book) {
  const bool l = loans(book);
  setObjectName(l ? QStringLiteral("frmTjDkbb") : QStringLiteral("frmTjCjrb"));
  setWindowTitle(l ? QStringLiteral("贷款日报") : QStringLiteral("拆借日报"));
  resize(1280, 640);
  nameLabel_ = new QLabel(l ? QStringLiteral("客户名称") : QStringLiteral("出借人"), this);
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setFixedWidth(160);
  DTPicker1 = new DateBox(this);
  DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
  pbCTj = new ButtonArray(this);
  auto* top = new QHBoxLayout;
  top->addWidget(nameLabel_);
  top->addWidget(Text1);
  top->addSpacing(16);
  top->addWidget(new QLabel(QStringLiteral("到期基准日期"), this));
  top->addWidget(DTPicker1);
  Fg = LayoutReportWindow(this, top, pbCTj, QStringLiteral("pbCTj"),
                          {QStringLiteral("统计(&A)"), QStringLiteral("导出(&S)"), QStringLiteral("打印(&D)"), QStringLiteral("查看明细(&F)")});
  connect(pbCTj, &ButtonArray::clicked, this, [this](int i) { pbCTj_Click(i); });

  DTPicker1->setDateValue(Clock::today());
  刷新();
}

void DailyReportWindow::刷新() {
  Guarded(QString(), nullptr, [&] {
    const ReportSql q = DailyReportSql(book_, DTPicker1->date(), Text1->text());
    gCurrentSql = q.sql;
    gCurrentParams = q.params;
    LoadGridFromQuery(Fg, true, QStringLiteral("1@本金,2@本金,3@本金,4@本金,5@利息,6@利息,7@利息,8@利息"));
    AddGridTotalRowEx(Fg, QStringLiteral("1,2,3,4,5,6,7,8,9,10,11"), QStringLiteral("合计"), 0, 350, 0, QString(), 1, true);
    CloseRecordset(gMainRecordset);
    if (Fg->cols() < 13) return;
    for (int c = 1; c <= 11; ++c) Fg->setColFormat(c, QStringLiteral("Currency"));
    FitColumnsAtLeast(Fg, {{1, 1500}, {2, 1500}, {3, 1500}, {4, 1500}, {5, 1500}, {6, 1500}, {7, 1500}, {8, 1500}, {9, 1500}, {10, 1500}, {11, 1500}});
    // The document number keys the rows but is not a figure of the report.
    Fg->setColHidden(12, true);
  });
}

void DailyReportWindow::pbCTj_Click(int index) {
  const bool l = loans(book_);
  Guarded(QString(), this, [&] {
    switch (index) {
      case 0:
        刷新();
        break;
      case 1:
        if (!IsGridDataRow(Fg)) return;
        ExportGridToExcel(Fg, QStringLiteral("Tjdkbb"), this);
        if (l) WriteOperationLog(QStringLiteral("导出贷款日报"));
        break;
      case 2: {
        if (!IsGridDataRow(Fg)) return;
        frmPrint p(this);
        p.PrintFg(gUnitName + (l ? QStringLiteral("贷款日报") : QStringLiteral("拆借日报")), Fg, true,
                  QStringLiteral("基准日期：") + DTPicker1->dateText());
        if (l) WriteOperationLog(QStringLiteral("打印预览贷款日报"));
        break;
      }
      case 3: {
        if (!IsGridDataRow(Fg)) return;
        const QString name = Fg->textMatrix(Fg->row(), 0);
        const auto& open = l ? gShowLoanListFor : gShowFinancingListFor;
        if (open)
          open(this, name);
        else
          MsgBox(l ? QStringLiteral("贷款记录窗口不可用。") : QStringLiteral("拆借融资记录窗口不可用。"), Mb::Information);
        break;
      }
      default:
        break;
    }
  });
}

frmTjDkbb::frmTjDkbb(QWidget* parent) : DailyReportWindow(PlanBook::Loans, parent) {}
frmTjCjrb::frmTjCjrb(QWidget* parent) : DailyReportWindow(PlanBook::Financing, parent) {}
