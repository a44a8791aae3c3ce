// Dunning a late borrower: the notes of the loan, the template filled from the instalment, and the
// reminder SMS through the gateway (a local test server), with failures neither logged nor noted.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <functional>

#include "LoanRecordsFixture.h"
#include "app/data/DataAccess.h"
#include "app/services/SettingsList.h"
#include "control/pbCommand.h"
#include "loans/frmDkck.h"
#include "output/frmMsm.h"
#include "output/frmMsmFr.h"
#include "parties/admin/frmXtsz.h"
#include "platform/Gbk.h"
#include "platform/Grid.h"
#include "LocalHttpServer.h"

namespace {

class DunningTest : public LoanRecordsFixture {
 protected:
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    guarantor_ = addPerson(QStringLiteral("保人甲"), QStringLiteral("13700000001"));
    addLoan({.docNo = QStringLiteral("D1"), .borrower = QStringLiteral("张三"), .guarantors = QString::number(guarantor_)});
    row_ = addPlanRow(QStringLiteral("D1"), 1, 10000, 1000, 50, QDate(2024, 1, 1), QDate(2024, 2, 15), QStringLiteral("归还部分"), 400, 0);
    other_ = addPlanRow(QStringLiteral("D1"), 2, 9000, 9000, 50, QDate(2024, 2, 15), QDate(2024, 3, 15));
  }
  std::unique_ptr<frmDkck> open(const QString& docNo, qint32 planId) {
    auto w = std::make_unique<frmDkck>();
    w->DocNo = docNo;
    w->PlanId = planId;
    w->Form_Load();
    return w;
  }
  qint32 guarantor_ = 0, row_ = 0, other_ = 0;
};

TEST_F(DunningTest, ShowsTheBorrowerTheOpenAmountsAndTheFilledTemplate) {
  gSystemSettings[9] = QStringLiteral("1");
  auto w = open(QStringLiteral("D1"), row_);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("催款"));
  EXPECT_EQ(w->txtCk[0]->text(), QStringLiteral("张三"));
  EXPECT_EQ(w->txtCk[1]->text(), QStringLiteral("13912345678"));
  EXPECT_EQ(w->txtCk[2]->text(), QStringLiteral("南京市中山路1号"));
  EXPECT_EQ(w->Label1->text(), QStringLiteral("其中未还本金：600 未还利息：50"));
  EXPECT_EQ(w->txtNote->toPlainText(),
            QStringLiteral("尊敬的张三你于2024年02月15日应还款金额650避免产生利息及违约金.请及时归还.如已还款无需理会."));
  EXPECT_TRUE(w->PbC->isEnabled());
  EXPECT_EQ(column(w->Fg2, 1), QStringList{"保人甲"});

  // With the SMS switch off: no template, no SMS.
  gSystemSettings[9] = QStringLiteral("0");
  w = open(QStringLiteral("D1"), row_);
  EXPECT_TRUE(w->txtNote->toPlainText().isEmpty());
  EXPECT_FALSE(w->PbC->isEnabled());
}

TEST_F(DunningTest, NotesBelongToTheLoanAndAnEmptyNoteIsRefused) {
  auto w = open(QStringLiteral("D1"), row_);
  w->pbCommand1_Click();
  EXPECT_EQ(responder_.texts(), QStringList{"跟踪内容不能为空！"});
  EXPECT_EQ(count(QStringLiteral("PJ_Dxck")), 0);
  w->txtNote->setPlainText(QStringLiteral("电话已通知，答应周五还款"));
  w->pbCommand1_Click();
  EXPECT_EQ(column(w->Fg, 1), QStringList{"电话已通知，答应周五还款"});
  // The note shows from another instalment of the same loan too.
  auto other = open(QStringLiteral("D1"), other_);
  EXPECT_EQ(column(other->Fg, 1), QStringList{"电话已通知，答应周五还款"});
}

TEST_F(DunningTest, ACompanyBorrowerIsReachedThroughItsOwnRecord) {
  // A person and a company with the same key: the company's loan must reach the company.
  const qint32 company = addCompany(QStringLiteral("示范贸易公司"), QStringLiteral("13600000009"));
  Db().Execute(QStringLiteral("delete from PJ_Kehu where 编号=?"), {company});
  Db().Execute(QStringLiteral("insert into PJ_Kehu (编号,姓名,手机) values (?,?,'13500000000')"), {company, QStringLiteral("无关的人")});
  addLoan({.docNo = QStringLiteral("D2"), .borrower = QStringLiteral("示范贸易公司"), .customerId = company, .kind = QStringLiteral("企业")});
  const qint32 row = addPlanRow(QStringLiteral("D2"), 1, 5000, 5000, 0, QDate(2024, 1, 1), QDate(2024, 2, 1));
  auto w = open(QStringLiteral("D2"), row);
  EXPECT_EQ(w->txtCk[1]->text(), QStringLiteral("13600000009"));
  EXPECT_EQ(w->txtCk[2]->text(), QStringLiteral("苏州市工业园区星湖街1号"));
  EXPECT_EQ(w->Fg2->dataRowCount(), 0) << "guarantor list \"0\": an empty grid";
}

class DunningSmsTest : public DunningTest {
 protected:
  LocalHttpServer server_;
  GatewayOnLoopback gateway_{server_, 3000};
};

TEST_F(DunningSmsTest, AnAcceptedMessageIsLoggedAndNoted) {
  gSystemSettings[9] = QStringLiteral("1");
  server_.answer(200, Gbk::encode(QStringLiteral("发送成功，共1条")));
  auto w = open(QStringLiteral("D1"), row_);
  w->txtNote->setPlainText(QStringLiteral("请于本周还款 & 联系我们"));
  w->PbC_Click();
  ASSERT_EQ(server_.requests().size(), 1u);
  const QByteArray body = server_.requests()[0].body;
  EXPECT_TRUE(body.contains("mob=13912345678")) << body.constData();
  EXPECT_TRUE(body.contains("%26")) << "the & of the note stays inside the message";
  EXPECT_EQ(responder_.texts(), QStringList{"发送成功，共1条"});
  EXPECT_EQ(count(QStringLiteral("PJ_Duanxin"), QStringLiteral("手机='13912345678'")), 1);
  EXPECT_EQ(column(w->Fg, 1), QStringList{"请于本周还款 & 联系我们"});
  // A send id under a declared GBK is accepted all the same.
  server_.answer(200, "100", "text/html; charset=gbk");
  w->PbC_Click();
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("100"));
  EXPECT_EQ(count(QStringLiteral("PJ_Dxck")), 2);
}

TEST_F(DunningSmsTest, AFailedSendIsShownAndNeitherLoggedNorNoted) {
  gSystemSettings[9] = QStringLiteral("1");
  const std::pair<int, QByteArray> cases[] = {
      {200, "-1"}, {200, ""}, {500, "error"}, {200, QStringLiteral("密码错误").toUtf8()}, {200, Gbk::encode(QStringLiteral("密码错误"))}};
  for (const auto& [status, body] : cases) {
    responder_.clear();
    server_.answer(status, body, "text/html; charset=gbk");
    auto w = open(QStringLiteral("D1"), row_);
    w->PbC_Click();
    EXPECT_FALSE(responder_.messages.empty()) << "a failure is shown: " << body.constData();
    EXPECT_EQ(count(QStringLiteral("PJ_Duanxin")), 0);
    EXPECT_EQ(count(QStringLiteral("PJ_Dxck")), 0);
  }
  // Bad numbers never reach the gateway.
  const size_t asked = server_.requests().size();
  auto w = open(QStringLiteral("D1"), row_);
  for (const QString& mobile : {QString(), QStringLiteral("1391234567"), QStringLiteral("23912345678")}) {
    responder_.clear();
    w->txtCk[1]->setText(mobile);
    w->PbC_Click();
    EXPECT_EQ(responder_.texts().size(), 1) << mobile.toStdString();
  }
  EXPECT_EQ(server_.requests().size(), asked);
  EXPECT_EQ(count(QStringLiteral("PJ_Dxck")), 0);
}

// A page in place of the gateway's answer (a proxy's error page or a maintenance notice, status 200),
// or a reply past 64 KB, tells nothing of the message: every sender says it failed after one request,
// nothing is logged, no dunning note claims it, the notice stays open and the settings are not saved.
TEST_F(DunningSmsTest, GatewayPageOrAnOverlongReplyFailsEverySenderAndLogsNothing) {
  gSystemSettings[9] = QStringLiteral("1");
  const QString unreadable = QStringLiteral("短信网关的回复无法识别，短信可能没有发出，没有记入短信记录。");
  const QString queryFailed = QStringLiteral("短信账号查询失败：短信网关的回复无法识别。");
  frmMsm centre;
  centre.txtShouji->setText(QStringLiteral("13800000003"));
  centre.txtNeirong->setPlainText(QStringLiteral("还款提醒"));
  auto dunning = open(QStringLiteral("D1"), row_);
  bool closed = false;  // the notice or the settings window closed as done
  const struct {
    const char* what;
    std::function<void()> send;
    QString failure;  // the start of the first box
  } senders[] = {
      {"短信管理", [&] { centre.eButton1->Click(); }, unreadable},
      {"催款", [&] { dunning->PbC_Click(); }, unreadable},
      {"汇款通知",
       [&] {
         frmMsmFr notice;
         notice.Text1->setText(QStringLiteral("13800138000"));
         notice.txtText1->setPlainText(QStringLiteral("汇款通知"));
         notice.PbCZ->Click();
         closed = notice.result() == QDialog::Accepted;
       },
       unreadable},
      {"查询余额", [&] { centre.eButton2->Click(); }, queryFailed},
      {"系统设置",
       [&] {
         frmXtsz settings(nullptr);
         settings.Check5->setChecked(true);
         for (int i = 3; i <= 7; ++i) settings.txt[static_cast<size_t>(i)]->setText(QStringLiteral("短信设置%1").arg(i));
         settings.eButOK->Click();  // the question whether to save all the same is answered No
         closed = settings.result() == QDialog::Accepted;
       },
       queryFailed},
  };
  const struct {
    const char* what;
    QByteArray body, contentType;
  } replies[] = {
      {"an HTML page", "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>", "text/html"},
      {"an HTML page after a byte-order mark and blanks",
       QByteArray("\xEF\xBB\xBF \r\n\t") + QStringLiteral("<!DOCTYPE html><html><body>服务暂停，请稍后再试</body></html>").toUtf8(),
       "text/html; charset=utf-8"},
      {"a GBK page", Gbk::encode(QStringLiteral("  <html><body>服务暂停</body></html>")), "text/html; charset=gbk"},
      {"an XML page", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<error><code>503</code></error>", "text/xml"},
      {"1 MB of text", Gbk::encode(QStringLiteral("提交成功")).repeated(128 * 1024), "text/html; charset=gbk"},
  };
  for (const auto& r : replies) {
    SCOPED_TRACE(r.what);
    server_.answer(200, r.body, r.contentType);
    for (const auto& s : senders) {
      SCOPED_TRACE(s.what);
      responder_.clear();
      closed = false;
      const size_t asked = server_.requests().size();
      QElapsedTimer clock;
      clock.start();
      s.send();
      EXPECT_LT(clock.elapsed(), 2500) << "answered well within the time-out";
      EXPECT_EQ(server_.requests().size(), asked + 1) << "one request, not repeated";
      ASSERT_FALSE(responder_.messages.empty());
      EXPECT_TRUE(responder_.messages[0].text.startsWith(s.failure)) << responder_.messages[0].text.toStdString();
      EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
      EXPECT_FALSE(closed);
      EXPECT_EQ(count(QStringLiteral("PJ_Duanxin")), 0);
      EXPECT_EQ(count(QStringLiteral("PJ_Dxck")), 0);
    }
  }
}

}  // namespace
