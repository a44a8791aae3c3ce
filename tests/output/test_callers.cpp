// The commands of the loan and financing windows that print, make contracts and send notices, and
// the daily reports' 查看明细, as the shell connects them.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "OutputFixture.h"
#include "shell/frmMain.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzZfmx.h"
#include "financing/frmRzjl.h"
#include "loans/frmDkhk.h"
#include "loans/frmDkhkjl.h"
#include "loans/frmDkjl.h"
#include "output/frmMsmFr.h"
#include "output/frmPrintFr3.h"
#include "output/frmTjDkbb.h"
#include "platform/Grid.h"
#include "platform/ReportEngine.h"

namespace {
class CallersTest : public OutputFixture {
 protected:
  void SetUp() override {
    OutputFixture::SetUp();
    copyShippedTemplates();
    gBookStartDate = QStringLiteral("2023-01-01");
    gSystemSettings[9] = QStringLiteral("1");
    gSystemSettings[11] = QStringLiteral("[客户名称]:[借款金额]");
    fillBook();
    repayment_ = insertRow(QStringLiteral("PJ_Hkjl"), cols("单号,期次,日期,本金,利息,还款状态,计划ID"),
                           {QStringLiteral("D1"), 1, QStringLiteral("2024-03-05 09:00:00"), 1000.0, 100.0, QStringLiteral("已还"), 1});
    payment_ = insertRow(QStringLiteral("PJ_Cjzfjl"), cols("单号,期次,日期,本金,利息,提前支取扣款,付款状态,计划ID"),
                         {QStringLiteral("C1"), 1, QStringLiteral("2024-03-05 09:00:00"), 2000.0, 300.0, 0.0, QStringLiteral("已付"), 1});
    main_ = std::make_unique<frmMain>();  // connects the subsystems' links
    ReportEngine::setShowHandler([this](const ReportEngine& e, int mode, const QString& path) {
      shown_ << QStringLiteral("%1:%2:%3").arg(mode).arg(QFileInfo(path).fileName()).arg(e.datasets().begin()->second.rows.size());
      return true;
    });
    // Every window the commands open is recorded by what it was opened for.
    modal_.handlers.assign(20, [this](QDialog* d) {
      if (auto* p = qobject_cast<frmPrintFr3*>(d)) opened_ << QStringLiteral("打印 %1 %2").arg(p->PrintKind).arg(p->PrintKey);
      if (auto* s = qobject_cast<frmMsmFr*>(d))
        opened_ << QStringLiteral("短信 %1 %2 %3 %4").arg(s->NoticeKind).arg(s->NoticeDocNo).arg(s->NoticeRecordId).arg(s->txtText1->toPlainText());
      if (auto* l = qobject_cast<frmDkjl*>(d)) opened_ << QStringLiteral("贷款记录 ") + l->QueryText;
      if (auto* l = qobject_cast<frmRzjl*>(d)) opened_ << QStringLiteral("拆借记录 ") + l->QueryText;
      return 0;
    });
  }
  void TearDown() override {
    ReportEngine::setShowHandler({});
    main_.reset();
    OutputFixture::TearDown();
  }
  static void selectRow(Grid* g, int col, const QString& text) {
    for (int r = g->fixedRows(); r < g->rows(); ++r)
      if (g->textMatrix(r, col) == text) {
        g->setRow(r);
        return;
      }
    ADD_FAILURE() << "no row " << text.toStdString();
  }
  std::unique_ptr<frmMain> main_;
  QStringList opened_, shown_;
  qint64 repayment_ = 0, payment_ = 0;
};
}  // namespace

TEST_F(CallersTest, LoanListPrintsMakesContractsAndSendsNotices) {
  frmDkjl w;
  w.QueryMode = 1;
  w.QueryText = QStringLiteral("张三");
  w.Form_Load();
  selectRow(w.Fg, 0, QStringLiteral("D1"));
  w.pbCJd_Click(frmDkjl::cmdVoucher);
  w.pbCJd_Click(frmDkjl::cmdSms);
  w.pbCJd_Click(frmDkjl::cmdPrint);
  EXPECT_EQ(opened_, (QStringList{QStringLiteral("打印 2 D1"), QStringLiteral("短信 1 D1 0 张三:3000.00")}));
  EXPECT_EQ(shown_, QStringList{QStringLiteral("0:JJ4.fr3:%1").arg(w.Fg->dataRowCount() - 1)});
  w.pbCJd_Click(frmDkjl::cmdContract);
  EXPECT_TRUE(QFile::exists(appDir() + QStringLiteral("合同/D1.docx")));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("合同已生成并保存至") + appDir() + QStringLiteral("合同/D1.docx")});
  // An unapproved loan gets no contract.
  frmDkjl other;
  other.QueryMode = 1;
  other.QueryText = QStringLiteral("某公司");
  other.Form_Load();
  selectRow(other.Fg, 0, QStringLiteral("D2"));
  responder_.clear();
  other.pbCJd_Click(frmDkjl::cmdContract);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("单据未审核！")});
  EXPECT_FALSE(QFile::exists(appDir() + QStringLiteral("合同/D2.docx")));
}

TEST_F(CallersTest, ReceiptsAndVouchersComeFromTheRecordsListsAndViews) {
  frmDkhkjl records;
  records.Form_Load();
  selectRow(records.Fg, 0, QString::number(repayment_));
  records.pbcHk_Click(frmDkhkjl::cmdReceipt);
  frmDkhk view;
  view.DocNo = QStringLiteral("D1");
  view.Form_Load();
  selectRow(view.Fg3, 0, QString::number(repayment_));
  view.pbCJkzl_Click(frmDkhk::cmdReceipt);

  frmRzjl financing;
  financing.QueryMode = 1;
  financing.QueryText = QStringLiteral("赵六");
  financing.Form_Load();
  selectRow(financing.Fg, 0, QStringLiteral("C1"));
  financing.pbCJd_Click(4);
  financing.pbCJd_Click(5);
  frmRzZfmx payments;
  payments.Form_Load();
  selectRow(payments.Fg, 9, QString::number(payment_));
  payments.pbcHk_Click(4);
  payments.pbcHk_Click(5);
  frmRzLxzf paymentView;
  paymentView.DocNo = QStringLiteral("C1");
  paymentView.Form_Load();
  selectRow(paymentView.Fg2, 0, QString::number(payment_));
  paymentView.pbCDkdj_Click(0);

  const QString r = QString::number(repayment_), p = QString::number(payment_);
  EXPECT_EQ(opened_.join(QLatin1Char('|')).toStdString(), QStringList({QStringLiteral("打印 4 ") + r, QStringLiteral("打印 3 ") + r, QStringLiteral("打印 5 C1"),
                                  QStringLiteral("打印 7 ") + p, QStringLiteral("短信 2 C1 %1 赵六:2300.00").arg(p),
                                  QStringLiteral("打印 8 ") + p}).join(QLatin1Char('|')).toStdString());
  EXPECT_EQ(shown_, QStringList{QStringLiteral("0:JJ6.fr3:%1").arg(financing.Fg->dataRowCount() - 1)});
  EXPECT_FALSE(responder_.saw(QStringLiteral("此功能尚未安装。")));
}

TEST_F(CallersTest, DailyReportDetailOpensTheSearchedList) {
  frmTjDkbb loans;
  selectRow(loans.Fg, 0, QStringLiteral("某公司"));
  loans.pbCTj_Click(3);
  frmTjCjrb financing;
  selectRow(financing.Fg, 0, QStringLiteral("钱七"));
  financing.pbCTj_Click(3);
  EXPECT_EQ(opened_, (QStringList{QStringLiteral("贷款记录 某公司"), QStringLiteral("拆借记录 钱七")}));
}

TEST_F(CallersTest, NoCommandOfTheMainWindowIsLeftUninstalled) {
  loginAsSuperAdmin();
  SetOpenFileHandler([](const QString&) { return true; });
  for (QAction* a : main_->findChildren<QAction*>()) {
    if (a->objectName().isEmpty() || a->objectName() == QLatin1String("mnu_end")) continue;
    main_->RunCommand(a->objectName());
  }
  for (int i = 0; i < 11; ++i) main_->pbMnu_Click(i);
  EXPECT_FALSE(responder_.saw(QStringLiteral("此功能尚未安装。"))) << responder_.texts().join('|').toStdString();
  EXPECT_GT(modal_.shown.size(), 20u);
}
