// The SMS window and the single notice against a local gateway: numbers, bodies, replies, logging.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "LocalHttpServer.h"
#include "OutputFixture.h"
#include "app/services/Installation.h"
#include "app/services/SmsGateway.h"
#include "control/pbCommand.h"
#include "output/frmMsm.h"
#include "output/frmMsmFr.h"
#include "platform/DateBox.h"
#include "platform/Gbk.h"
#include "platform/Grid.h"

namespace {
class SmsTest : public OutputFixture {
 protected:
  void SetUp() override {
    OutputFixture::SetUp();
    gSystemSettings[6] = QStringLiteral("acct");
    gSystemSettings[7] = QStringLiteral("pw");
    gSystemSettings[8] = QStringLiteral("示范公司");
    gSystemSettings[11] = QStringLiteral("尊敬的[客户名称].[短信签名]已于[汇款日期]给您汇去一笔汇款[借款金额]请注意查收.");
  }
  static qint64 smsCount() { return Db().scalar(QStringLiteral("select count(*) from PJ_Duanxin")).toLongLong(); }
  LocalHttpServer server_;
  GatewayOnLoopback gateway_{server_};
};
}  // namespace

TEST_F(SmsTest, NoticesArePreparedForLoansAndPayments) {
  const qint64 p = person(QStringLiteral("张三"), QStringLiteral("13800138000"));
  const qint64 c = company(QStringLiteral("某公司"), QStringLiteral("13900139000"));
  const qint64 i = investor(QStringLiteral("赵六"), QStringLiteral("13700137000"));
  loan(QStringLiteral("D1"), QStringLiteral("个人"), p, QStringLiteral("张三"), 10000, QStringLiteral("已审核"), QStringLiteral("未还"));
  Db().Execute(QStringLiteral("update PJ_Dkjl set 已还利息=500 where 单号='D1'"));
  // The company shares its key with the person: the notice must reach the company all the same.
  loan(QStringLiteral("D2"), QStringLiteral("企业"), c, QStringLiteral("某公司"), 2000.5, QStringLiteral("已审核"), QStringLiteral("未还"));
  ASSERT_EQ(c, p);
  financing(QStringLiteral("C1"), i, QStringLiteral("赵六"), QStringLiteral("外拆"), 10000, 0, QStringLiteral("已审核"), QStringLiteral("未付"));
  const auto record = [&](double principal, double interest, double deduction) {
    return insertRow(QStringLiteral("PJ_Cjzfjl"), cols("单号,期次,日期,本金,利息,提前支取扣款,付款状态"),
                     {QStringLiteral("C1"), 1, QStringLiteral("2024-02-03 10:00:00"), principal, interest, deduction, QStringLiteral("已付")});
  };
  const qint64 r1 = record(0, 300, 0), r2 = record(10000, 200, 50);
  struct Case {
    int kind;
    QString doc;
    qint64 id;
    QString name, mobile, date, amount;  // the text names the date and the amount sent
  } cases[] = {
      {1, QStringLiteral("D1"), 0, QStringLiteral("张三"), QStringLiteral("13800138000"), QStringLiteral("2024年01月01日"), QStringLiteral("9500.00")},
      {1, QStringLiteral("D2"), 0, QStringLiteral("某公司"), QStringLiteral("13900139000"), QStringLiteral("2024年01月01日"), QStringLiteral("2000.50")},
      {2, QString(), r1, QStringLiteral("赵六"), QStringLiteral("13700137000"), QStringLiteral("2024年02月03日"), QStringLiteral("300.00")},
      {2, QString(), r2, QStringLiteral("赵六"), QStringLiteral("13700137000"), QStringLiteral("2024年02月03日"), QStringLiteral("10150.00")},
  };
  for (const Case& k : cases) {
    frmMsmFr w;
    w.NoticeKind = qint16(k.kind);
    w.NoticeDocNo = k.doc;
    w.NoticeRecordId = k.id;
    w.Form_Load();
    EXPECT_EQ(w.lbl[1]->text(), k.name);
    EXPECT_EQ(w.Text1->text(), k.mobile);
    EXPECT_EQ(w.txtText1->toPlainText(), QStringLiteral("尊敬的%1.示范公司已于%2给您汇去一笔汇款%3请注意查收.").arg(k.name, k.date, k.amount));
  }
  EXPECT_FALSE(PrepareSmsNotice(1, QStringLiteral("D404"), 0).found);
  EXPECT_FALSE(PrepareSmsNotice(3, QStringLiteral("D1"), 0).found);
  EXPECT_EQ(FillRemittanceText(QStringLiteral("[客户名称][客户名称] 无占位"), QStringLiteral("甲"), QString(), 1), QStringLiteral("甲甲 无占位"));
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(SmsTest, NoticeSendsOnlyGoodInputAndLogsOnlyWhatWasAccepted) {
  frmMsmFr w;
  // Letters cannot be typed into the number.
  QTest::keyClicks(w.Text1, QStringLiteral("13a8b0"));
  EXPECT_EQ(w.Text1->text(), QStringLiteral("1380"));
  w.txtText1->setPlainText(QStringLiteral("汇款通知 & 100%"));
  w.PbCZ->Click();
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("手机号码填写有误，请检查!")});
  w.Text1->setText(QStringLiteral("13800138000"));
  w.txtText1->clear();
  w.PbCZ->Click();
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("短信内容不能为空！"));
  EXPECT_TRUE(server_.requests().empty());
  w.txtText1->setPlainText(QStringLiteral("汇款通知 & 100%"));
  server_.answer(200, "-1");
  w.PbCZ->Click();
  EXPECT_EQ(smsCount(), 0);
  EXPECT_NE(w.result(), QDialog::Accepted);
  server_.answer(200, "1");
  w.PbCZ->Click();
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("1"));
  ASSERT_EQ(server_.requests().size(), 2u);
  EXPECT_EQ(server_.requests()[1].path, QByteArray("/msg.asp"));
  EXPECT_TRUE(server_.requests()[1].body.contains("&mob=13800138000&msg=%BB%E3%BF%EE%CD%A8%D6%AA%20%26%20100%25")) << server_.requests()[1].body.toStdString();
  EXPECT_EQ(smsCount(), 1);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 内容 from PJ_Duanxin")).toString(), QStringLiteral("汇款通知 & 100%"));
}

TEST_F(SmsTest, AnUnreadableReplyKeepsTheNoticeOpenAndAReplyIsShownAsItCame) {
  frmMsmFr w;
  w.Text1->setText(QStringLiteral("13800138000"));
  w.txtText1->setPlainText(QStringLiteral("汇款通知"));
  server_.answer(200, QByteArray("\xFF\xFF\xFF"));
  w.PbCZ->Click();
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("短信网关的回复无法识别，短信可能没有发出，没有记入短信记录。")});
  EXPECT_NE(w.result(), QDialog::Accepted);
  EXPECT_EQ(smsCount(), 0);
  // The real box, not the scripted one: the gateway's markup stays text.
  SetMessageHandler({});
  QString shown;
  Qt::TextFormat format = Qt::RichText;
  // Looked for until it shows: the post waits for the gateway in an event loop of its own first.
  QTimer watch;
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    watch.stop();
    shown = box->text();
    format = box->textFormat();
    box->accept();
  });
  watch.start();
  server_.answer(200, Gbk::encode(QStringLiteral("发送<b>成功</b><br>")));
  w.PbCZ->Click();
  responder_.install();
  EXPECT_EQ(shown, QStringLiteral("发送<b>成功</b><br>"));
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(smsCount(), 1);
}

TEST_F(SmsTest, SmsWindowCollectsNumbersSendsAndShowsTheHistory) {
  for (const auto& [name, mobile] : {std::pair{"甲", "13800000001"}, {"乙", nullptr}, {"丙", "13800000003"}})
    person(QString::fromUtf8(name), QString::fromLatin1(mobile));  // 乙 has no number
  frmMsm w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("短信管理"));
  EXPECT_EQ(w.Combo1->currentText(), QStringLiteral("本周"));
  EXPECT_EQ(w.DTPstr->date(), QDate(2024, 3, 4));  // Monday of the week of 2024-03-05
  EXPECT_EQ(w.Fg2->rows(), w.Fg2->fixedRows());    // no history: header only
  w.optXz[1]->click();
  ASSERT_EQ(w.Fg->dataRowCount(), 3);
  w.eButton5->Click();
  EXPECT_EQ(w.txtShouji->text(), QStringLiteral("13800000001,13800000003"));
  w.eButton3->Click();
  EXPECT_EQ(w.txtShouji->text(), QString());
  w.Fg->setRow(w.Fg->fixedRows() + 2);
  w.eButton4->Click();
  w.Fg->setRow(w.Fg->fixedRows());
  w.eButton4->Click();
  EXPECT_EQ(w.txtShouji->text(), QStringLiteral("13800000003,13800000001"));
  // A list with one bad number sends nothing.
  w.txtNeirong->setPlainText(QStringLiteral("通知"));
  w.txtShouji->setText(QStringLiteral("13800000003,12345"));
  w.eButton1->Click();
  EXPECT_TRUE(responder_.texts().last().startsWith(QStringLiteral("手机号码填写有误")));
  EXPECT_TRUE(server_.requests().empty());
  // An unreachable gateway is said and nothing is logged.
  gSmsGatewayServer = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::refusingPort());
  w.txtShouji->setText(QStringLiteral("13800000003"));
  w.eButton1->Click();
  EXPECT_TRUE(responder_.texts().last().startsWith(QStringLiteral("短信发送失败"))) << responder_.texts().last().toStdString();
  EXPECT_EQ(smsCount(), 0);
  gSmsGatewayServer = server_.baseUrl();
  server_.answer(200, "100");
  w.txtShouji->setText(QStringLiteral("13800000003,13800000001"));
  w.eButton1->Click();
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("100"));
  EXPECT_EQ(smsCount(), 1);
  // The database stamps the real time; the history is searched at the test's date.
  Db().Execute(QStringLiteral("update PJ_Duanxin set 时间='2024-03-05 10:00:00'"));
  w.eButton6->Click();
  ASSERT_EQ(w.Fg2->dataRowCount(), 2);  // the message and the count row
  EXPECT_EQ(w.Fg2->textMatrix(w.Fg2->fixedRows(), 2), QStringLiteral("13800000003,13800000001"));
  EXPECT_TRUE(w.Fg2->isTotalsRow(w.Fg2->rows() - 1));
  // Searching by sender with a text that matches nothing, then by a part of the number.
  for (const auto& [by, text, rows] : {std::tuple{1, "%", 0}, {0, "0003,1", 2}}) {
    w.Combo2->setCurrentIndex(by);
    w.Text1->setText(QString::fromUtf8(text));
    w.eButton6->Click();
    EXPECT_EQ(w.Fg2->dataRowCount(), rows) << text;
  }
  server_.answer(200, "balance=88");
  w.eButton2->Click();
  EXPECT_EQ(responder_.texts().last(), QStringLiteral("balance=88"));
  EXPECT_EQ(server_.requests().back().body, QByteArray("ye=ye&user=acct&psw=pw"));
}

// The windows' reply boxes carry the program's title ("提醒" for the notice), whatever charset the
// gateway answers in or declares; a refusal in either is shown as a failure and not logged; a text
// the gateway cannot carry is refused before anything is posted.
TEST_F(SmsTest, WindowsShowRepliesInEitherCharsetUnderTheirTitlesAndLogOnlyWhatWasSent) {
  const QString appTitle = QStringLiteral("Varnel民间借贷管理");
  const QString ok = QStringLiteral("提交成功"), wrong = QStringLiteral("密码错误"), sendWrong = QStringLiteral("短信发送失败：短信账号或密码错误");
  struct Reply {
    QByteArray body, contentType;
    QString shown;  // the box's text, or its start for a failure
    bool ok;        // sent, or a balance read: an information box
  };
  // Answers with `r`, does `act` and checks the one box it shows: its text, its title (`title` when ok) and its icon.
  const auto oneBox = [&](const Reply& r, const std::function<void()>& act, const QString& title) {
    SCOPED_TRACE(r.shown.toStdString());
    server_.answer(200, r.body, r.contentType);
    responder_.clear();
    act();
    ASSERT_EQ(responder_.messages.size(), 1u);
    EXPECT_TRUE(responder_.messages[0].text.startsWith(r.shown)) << responder_.messages[0].text.toStdString();
    EXPECT_EQ(responder_.messages[0].title, r.ok ? title : appTitle);
    EXPECT_EQ(responder_.messages[0].style & 0xF0, r.ok ? int(Mb::Information) : int(Mb::Critical));
  };
  frmMsm sms;
  sms.txtShouji->setText(QStringLiteral("13800000003"));
  // Each window, how it sends a text, and the title of its reply box.
  const std::tuple<const char*, std::function<void(const QString&)>, QString> senders[] = {
      {"短信管理", [&](const QString& t) { sms.txtNeirong->setPlainText(t); sms.eButton1->Click(); }, appTitle},
      {"短信发送", [&](const QString& t) { frmMsmFr n; n.Text1->setText(QStringLiteral("13800138000")); n.txtText1->setPlainText(t); n.PbCZ->Click(); },
       QStringLiteral("提醒")},
  };
  qint64 logged = 0;
  for (const auto& [what, send, title] : senders) {
    SCOPED_TRACE(what);
    const Reply replies[] = {
        {ok.toUtf8(), "text/html", ok, true}, {ok.toUtf8(), "text/html; charset=utf-8", ok, true},
        {Gbk::encode(ok), "text/html; charset=ISO-8859-1", ok, true}, {wrong.toUtf8(), "", sendWrong, false},
        {Gbk::encode(ok), "text/html; charset=utf-8", QStringLiteral("短信网关的回复无法识别，短信可能没有发出，没有记入短信记录。"), false},
        {wrong.toUtf8(), "text/html; charset=gbk", sendWrong, false}, {Gbk::encode(wrong), "text/html; charset=gbk", sendWrong, false},
        {"100", "text/html; charset=gbk", QStringLiteral("100"), true},
    };
    for (const auto& r : replies) {
      oneBox(r, [&] { send(QStringLiteral("还款提醒")); }, title);
      logged += r.ok ? 1 : 0;
      EXPECT_EQ(smsCount(), logged);
    }
    const size_t requests = server_.requests().size();
    responder_.clear();
    send(QStringLiteral("还款提醒😀"));
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("短信内容中的“😀”无法发送，请修改后再发送。")});
    EXPECT_EQ(server_.requests().size(), requests) << "nothing was posted";
    EXPECT_EQ(smsCount(), logged);
  }
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Duanxin where 内容=?"), {QStringLiteral("还款提醒")}).toLongLong(), logged);
  // 查询余额: a balance is shown as it reads, whatever the declared charset; "密码错误" is a failure.
  const QString wrongAccount = QStringLiteral("短信账号查询失败：短信账号或密码错误"), balance = QStringLiteral("余额：88条");
  const Reply balances[] = {
      {balance.toUtf8(), "text/plain", balance, true}, {balance.toUtf8(), "text/html; charset=gbk", balance, true}, {"100", "text/html; charset=gbk", QStringLiteral("100"), true},
      {wrong.toUtf8(), "text/plain", wrongAccount, false}, {wrong.toUtf8(), "text/html; charset=gbk", wrongAccount, false},
      {Gbk::encode(wrong), "text/html; charset=gbk", wrongAccount, false},
  };
  for (const Reply& b : balances) oneBox(b, [&] { sms.eButton2->Click(); }, appTitle);
}
