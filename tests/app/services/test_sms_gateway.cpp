// The SMS gateway client against a local HTTP server.
#include <QElapsedTimer>
#include <QRegularExpression>

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/Installation.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "app/services/SmsGateway.h"
#include "platform/Gbk.h"
#include "platform/HttpPost.h"

namespace {
const QString kUnreadable = QStringLiteral("短信网关的回复无法识别，短信可能没有发出，没有记入短信记录。");

class SmsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    gSystemSettings[6] = QStringLiteral("test");
    gSystemSettings[7] = QStringLiteral("470215938");
    gSystemSettings[8] = QStringLiteral("某某");
  }
  int historyRows() { return Db().scalar(QStringLiteral("select count(*) from PJ_Duanxin")).toInt(); }
  static SmsReply send(const QString& text = QStringLiteral("你好")) { return SendSmsMessage(text, QStringLiteral("13900000000")); }
  const MessageRequest& box(size_t i = 0) const { return responder_.messages.at(i); }
  LocalHttpServer server_;
  GatewayOnLoopback gateway_{server_};
};
}  // namespace

TEST(SmsInstallation, TheDefaultsAreOneConstantPlaceWithFifteenSeconds) {
  EXPECT_EQ(kSmsTimeoutMs, 15000);
  EXPECT_EQ(gSmsTimeoutMs, 15000);
  EXPECT_TRUE(SmsGatewayAddress().endsWith(QStringLiteral("/msg.asp")));
  const QString saved = gSmsGatewayServer;
  gSmsGatewayServer = QStringLiteral(" http://127.0.0.1:8/gw ");
  EXPECT_EQ(SmsGatewayAddress(), QStringLiteral("http://127.0.0.1:8/gw/msg.asp"));
  gSmsGatewayServer = saved;
}

TEST_F(SmsTest, UrlEncodingWorksOnGbkBytesAndEncodesEveryReservedByte) {
  const std::pair<const char*, const char*> cases[] = {{"中", "%D6%D0"}, {"【】", "%A1%BE%A1%BF"}, {"a b", "a%20b"}, {"&=+%#?/,", "%26%3D%2B%25%23%3F%2F%2C"},
                                                       {"AZaz09-_.~", "AZaz09-_.~"}, {"第1行\r\n", "%B5%DA1%D0%D0%0D%0A"}, {nullptr, ""},
                                                       {"😀", "%3F"}};  // not in GBK: sent as ?
  for (const auto& [text, encoded] : cases) EXPECT_EQ(UrlEncodeGbk(QString::fromUtf8(text)), QString::fromLatin1(encoded)) << text;
}

TEST_F(SmsTest, RequestBodiesHoldEveryValueEncoded) {
  EXPECT_EQ(BuildSmsRequestBody(QStringLiteral("你好"), QStringLiteral("13900000000")),
            QStringLiteral("user=test&psw=470215938&mob=13900000000&msg=%C4%E3%BA%C3%A1%BE%C4%B3%C4%B3%A1%BF"));
  gSystemSettings[6] = QStringLiteral("张 a&b");
  gSystemSettings[7] = QStringLiteral("p&w=1+%");
  EXPECT_EQ(BuildSmsRequestBody(QStringLiteral("还款 & 利息+1%"), QStringLiteral("13900000000,13800000000")),
            QStringLiteral("user=%D5%C5%20a%26b&psw=p%26w%3D1%2B%25&mob=13900000000%2C13800000000"
                           "&msg=%BB%B9%BF%EE%20%26%20%C0%FB%CF%A2%2B1%25%A1%BE%C4%B3%C4%B3%A1%BF"));
  EXPECT_EQ(BuildAccountCheckBody(QStringLiteral("test"), QStringLiteral("470215938")), QStringLiteral("ye=ye&user=test&psw=470215938"));
  EXPECT_EQ(BuildAccountCheckBody(QStringLiteral("a&psw=x"), QStringLiteral("1 2")), QStringLiteral("ye=ye&user=a%26psw%3Dx&psw=1%202"));
}

TEST_F(SmsTest, MobileNumbers) {
  for (const char* ok : {"13900000000", "13412345678", "17012345678", "18912345678", "14712345678", "15512345678"})
    EXPECT_TRUE(IsMobileNumber(QString::fromLatin1(ok))) << ok;
  for (const char* bad : {"19900000000", "1390000000", "1390000000a", "139000000000", "", "139.0000000", "1390000000.",
                          " 13900000000", "+8613900000000", "13900000000 ", "16612345678", "12012345678", "3413900000000"})
    EXPECT_FALSE(IsMobileNumber(QString::fromLatin1(bad))) << bad;
  EXPECT_FALSE(IsMobileNumber(QStringLiteral("１３９００００００００"))) << "full-width digits are not digits here";
  EXPECT_EQ(kMobilePrefixes.split(QLatin1Char(' ')).size(), 36);
}

TEST_F(SmsTest, AnAcceptedMessageIsPostedAsGbkFormAndLogged) {
  server_.answer(200, Gbk::encode(QStringLiteral("发送成功，共1条")));
  const SmsReply r = SendSmsMessage(QStringLiteral("尊敬的张三 & 李四"), QStringLiteral("13900000000,13800000000"));
  EXPECT_TRUE(r.accepted());
  EXPECT_EQ(r.text, QStringLiteral("发送成功，共1条"));
  EXPECT_EQ(r.httpStatus, 200);
  EXPECT_TRUE(responder_.messages.empty()) << "the sender shows the answer with its own title";
  ASSERT_EQ(server_.requests().size(), 1u);
  const auto req = server_.requests()[0];
  EXPECT_EQ(req.method, QByteArray("POST"));
  EXPECT_EQ(req.path, QByteArray("/msg.asp"));
  EXPECT_EQ(req.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
  const QByteArray expected = "user=test&psw=470215938&mob=13900000000%2C13800000000"
                              "&msg=%D7%F0%BE%B4%B5%C4%D5%C5%C8%FD%20%26%20%C0%EE%CB%C4%A1%BE%C4%B3%C4%B3%A1%BF";
  EXPECT_EQ(req.body, expected);
  EXPECT_EQ(req.header("content-length"), QByteArray::number(expected.size()));
  OpenMainQuery(QStringLiteral("select * from PJ_Duanxin"));
  ASSERT_EQ(gMainRecordset.RecordCount(), 1);
  for (const auto& [field, value] : {std::pair{"手机", "13900000000,13800000000"}, {"内容", "尊敬的张三 & 李四"}, {"发信人", "管理员"}, {"部门", ""}})
    EXPECT_EQ(gMainRecordset.text(field), QString::fromUtf8(value)) << field;
  EXPECT_FALSE(gMainRecordset.text("时间").isEmpty());
  CloseRecordset(gMainRecordset);
}

TEST_F(SmsTest, TheGatewaysRefusalIsAFailureShownAndNotLogged) {
  server_.answer(200, "-1");
  EXPECT_EQ(send().outcome, SmsReply::Outcome::Refused);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(box().text.startsWith(QStringLiteral("短信发送失败：短信网关拒绝了请求（应答 -1）。")));
  EXPECT_TRUE(box().text.contains(QStringLiteral("没有记入短信记录")));
  EXPECT_EQ(box().style, Mb::Critical);
  EXPECT_EQ(historyRows(), 0);
}

// Bytes that are no GBK text may say anything, "sent" included: the message is not logged as sent,
// and HttpPostForm reports the failure and answers "".
TEST_F(SmsTest, AnAnswerThatIsNoGbkTextIsAFailureAndNothingIsLogged) {
  const std::pair<const char*, QByteArray> replies[] = {
      {"a byte no GBK character starts with", QByteArray("\xFF\xFE" "1", 3)}, {"a lead byte cut off at the end", QByteArray("OK\xD6")},
      {"a lead byte with a blank after it", QByteArray("\x81 ok")}, {"a single high byte", QByteArray("\x80")},
  };
  for (const auto& [what, bytes] : replies) {
    SCOPED_TRACE(what);
    responder_.clear();
    server_.answer(200, bytes);
    const SmsReply r = send();
    EXPECT_EQ(r.outcome, SmsReply::Outcome::Undecodable);
    EXPECT_FALSE(r.accepted());
    ASSERT_EQ(responder_.messages.size(), 1u);
    EXPECT_EQ(box().text, kUnreadable);
    EXPECT_EQ(box().style, Mb::Critical);
    EXPECT_TRUE(box().details.contains(QString::fromLatin1(bytes.left(1).toHex()))) << "the bytes go to the details";
    EXPECT_EQ(historyRows(), 0);
    EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("x=1")), QString());
    EXPECT_EQ(responder_.messages.size(), 2u) << "reported as a run-time error";
  }
  // A GBK answer beside them is read and logged.
  server_.answer(200, Gbk::encode(QStringLiteral("成功<br>")));
  EXPECT_EQ(send().text, QStringLiteral("成功<br>"));
  EXPECT_EQ(historyRows(), 1);
}

// A reply declared UTF-8 is read strictly so; otherwise (a GB charset too) as UTF-8 when it is valid
// UTF-8 with a multi-byte sequence, else as GBK; "密码错误" counts in either reading. The same reading
// serves sending and the account query, so a refusal is never logged as a sent message.
TEST_F(SmsTest, RepliesAreReadByTheirCharsetWhenSendingAndQueryingTheAccount) {
  using O = SmsReply::Outcome;
  const QString ok = QStringLiteral("提交成功"), wrong = QStringLiteral("密码错误");
  const QByteArray utf8Ok = ok.toUtf8(), gbkOk = Gbk::encode(ok), utf8Wrong = wrong.toUtf8(), gbkWrong = Gbk::encode(wrong);
  const QString sendWrong = QStringLiteral("短信发送失败：短信账号或密码错误"), sendWrongSaid = sendWrong + QStringLiteral("（网关应答：密码错误）");
  struct Case {
    const char* what;
    QByteArray body, contentType;
    O outcome;
    QString text;          // the reply as read ("" when unreadable)
    QString sendMessage;   // the start of the box the send shows ("" for none)
  };
  const Case cases[] = {
      {"GBK declared gb2312", gbkOk, "text/html; charset=gb2312", O::Accepted, ok, {}},
      {"GBK declared GBK in quotes", gbkOk, "text/plain; charset=\"GBK\"", O::Accepted, ok, {}},
      {"UTF-8 declared utf-8", utf8Ok, "text/html; charset=UTF-8", O::Accepted, ok, {}}, {"UTF-8 without a charset", utf8Ok, "text/html", O::Accepted, ok, {}},
      {"UTF-8 without a content type", utf8Ok, "", O::Accepted, ok, {}}, {"GBK without a content type", gbkOk, "", O::Accepted, ok, {}},
      {"GBK declared ISO-8859-1", gbkOk, "text/html; charset=ISO-8859-1", O::Accepted, ok, {}},
      {"UTF-8 wrong password without a charset", utf8Wrong, "text/html", O::WrongAccount, wrong, sendWrongSaid},
      {"UTF-8 wrong password declared utf-8", utf8Wrong, "text/html; charset=utf-8", O::WrongAccount, wrong, sendWrong},
      {"GBK wrong password declared ISO-8859-1", gbkWrong, "text/html; charset=ISO-8859-1", O::WrongAccount, wrong, sendWrong},
      {"UTF-8 declared gbk", utf8Ok, "text/html; charset=gbk", O::Accepted, ok, {}},
      {"a number declared gbk", "100", "text/html; charset=gbk", O::Accepted, QStringLiteral("100"), {}},
      {"UTF-8 wrong password declared gbk", utf8Wrong, "text/html; charset=gbk", O::WrongAccount, wrong, sendWrongSaid},
      {"GBK wrong password declared gbk", gbkWrong, "text/html; charset=gbk", O::WrongAccount, wrong, sendWrong},
      {"GBK wrong password declared utf-8", gbkWrong, "text/html; charset=utf-8", O::WrongAccount, wrong, sendWrong},
      {"-1 declared utf-8", "-1", "text/html; charset=utf-8", O::Refused, QStringLiteral("-1"), QStringLiteral("短信发送失败：短信网关拒绝了请求（应答 -1）。")},
      {"GBK declared utf-8", gbkOk, "text/html; charset=utf-8", O::Undecodable, QString(), kUnreadable},
      {"bytes no GB text has, declared gb2312", QByteArray("OK\xFF"), "text/html; charset=gb2312", O::Undecodable, QString(), kUnreadable},
      {"bytes neither reads, no charset", QByteArray("\xFF\xFE\xFD"), "", O::Undecodable, QString(), kUnreadable},
      {"bytes neither reads, another charset", QByteArray("ok\xFF"), "text/html; charset=ISO-8859-1", O::Undecodable, QString(), kUnreadable},
      {"a reply of 64 KB", QByteArray(64 * 1024, '7'), "text/plain", O::Accepted, QString(64 * 1024, QLatin1Char('7')), {}},
      {"a reply a byte past 64 KB", QByteArray(64 * 1024 + 1, '7'), "text/plain", O::Undecodable, QString(), kUnreadable},
  };
  int logged = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server_.answer(200, c.body, c.contentType);
    responder_.clear();
    const SmsReply sent = send();
    EXPECT_EQ(sent.outcome, c.outcome);
    EXPECT_EQ(sent.text.trimmed(), c.text);
    if (c.sendMessage.isEmpty()) {
      EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
      ++logged;
    } else {
      ASSERT_EQ(responder_.messages.size(), 1u);
      EXPECT_TRUE(box().text.startsWith(c.sendMessage)) << box().text.toStdString();
      EXPECT_EQ(box().style, Mb::Critical);
    }
    EXPECT_EQ(historyRows(), logged) << "only an accepted message is logged";
    // The balance query and the settings form's account check read the reply the same way.
    responder_.clear();
    const SmsReply account = QuerySmsAccount(QStringLiteral("test"), QStringLiteral("470215938"));
    EXPECT_EQ(account.outcome, c.outcome);
    EXPECT_EQ(account.text.trimmed(), c.text);
    EXPECT_EQ(responder_.messages.size(), c.outcome == O::Accepted || c.outcome == O::WrongAccount ? 0u : 1u) << "else the caller shows it";
    EXPECT_EQ(account.failure.startsWith(QStringLiteral("短信账号查询失败：短信账号或密码错误")), c.outcome == O::WrongAccount);
    if (c.outcome == O::Undecodable)
      EXPECT_TRUE(box().text.startsWith(QStringLiteral("短信账号查询失败：短信网关的回复无法识别。")));
    // HttpPostForm with no charset of its own reads the same way; unreadable bytes are reported and give "".
    EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("a=1")).trimmed(), c.text);
    EXPECT_EQ(historyRows(), logged);
  }
}

TEST_F(SmsTest, ATextGbkCannotCarryIsRefusedBeforeAnyRequest) {
  server_.answer(200, Gbk::encode(QStringLiteral("提交成功")));
  for (const auto& [text, named] : {std::pair{QStringLiteral("还款提醒😀请查收😀"), QStringLiteral("😀")},
                                     {QStringLiteral("𠀀先生🎉您好"), QStringLiteral("𠀀🎉")}}) {
    SCOPED_TRACE(text.toStdString());
    responder_.clear();
    const SmsReply r = send(text);
    EXPECT_EQ(r.outcome, SmsReply::Outcome::Unsendable);
    EXPECT_FALSE(r.accepted());
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("短信内容中的“") + named + QStringLiteral("”无法发送，请修改后再发送。")});
    EXPECT_EQ(box().title, QStringLiteral("Varnel民间借贷管理"));
  }
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_EQ(historyRows(), 0);
  // Rare characters that GBK has still go.
  EXPECT_TRUE(send(QStringLiteral("喆镕先生")).accepted());
  EXPECT_EQ(historyRows(), 1);
}

TEST_F(SmsTest, AnHttpErrorIsAFailureAndHttpPostFormSaysSmsError) {
  server_.answer(500, "<html>Internal error</html>");
  EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("user=test"), QString()), QStringLiteral("sms error"));
  EXPECT_TRUE(responder_.messages.empty()) << "an answered request reports nothing";
  const SmsReply r = send();
  EXPECT_EQ(r.outcome, SmsReply::Outcome::HttpError);
  EXPECT_EQ(r.httpStatus, 500);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(box().text.contains(QStringLiteral("HTTP 状态 500")));
  EXPECT_EQ(historyRows(), 0);
  server_.answer(404, "");
  EXPECT_EQ(send().outcome, SmsReply::Outcome::HttpError);
  EXPECT_EQ(historyRows(), 0);
}

TEST_F(SmsTest, EmptyAndWrongAccountAnswersAreFailures) {
  server_.answer(200, "");
  EXPECT_EQ(send().outcome, SmsReply::Outcome::EmptyAnswer);
  EXPECT_TRUE(responder_.messages.back().text.contains(QStringLiteral("没有返回任何内容")));
  server_.answer(200, Gbk::encode(QStringLiteral("用户名或密码错误")));
  EXPECT_EQ(send().outcome, SmsReply::Outcome::WrongAccount);
  EXPECT_TRUE(responder_.messages.back().text.contains(QStringLiteral("短信账号或密码错误")));
  EXPECT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(historyRows(), 0);
}

TEST_F(SmsTest, AHangingGatewayTimesOutWithoutFreezingPastTheTimeOut) {
  server_.hang();
  gSmsTimeoutMs = 600;
  QElapsedTimer clock;
  clock.start();
  const SmsReply r = send();
  const qint64 waited = clock.elapsed();
  EXPECT_EQ(r.outcome, SmsReply::Outcome::TimedOut);
  EXPECT_GE(waited, 550);
  EXPECT_LT(waited, 3000);
  ASSERT_EQ(responder_.messages.size(), 1u);
  for (const QString& s : {QStringLiteral("秒内没有应答"), QStringLiteral("没有记入短信记录")}) EXPECT_TRUE(box().text.contains(s)) << s.toStdString();
  EXPECT_FALSE(box().text.contains(QStringLiteral("127.0.0.1")));
  EXPECT_TRUE(box().details.contains(QStringLiteral("127.0.0.1")));
  EXPECT_EQ(historyRows(), 0);
  EXPECT_EQ(server_.requests().size(), 1u) << "the request did reach the gateway";
  // The post reports it as a run-time error and gives "".
  clock.restart();
  EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("user=test"), QString()), QString());
  EXPECT_LT(clock.elapsed(), 3000);
  ASSERT_EQ(responder_.messages.size(), 2u);
  EXPECT_TRUE(box(1).text.startsWith(QStringLiteral("程序出现异常！\r\n代码：-2147012894\r\n描述：短信网关")));
}

TEST_F(SmsTest, ARefusedConnectionIsAFailureShownAndNotLogged) {
  gSmsGatewayServer = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::refusingPort());
  QElapsedTimer clock;
  clock.start();
  const SmsReply r = send();
  EXPECT_LT(clock.elapsed(), 3000);
  EXPECT_EQ(r.outcome, SmsReply::Outcome::Unreachable);
  ASSERT_EQ(responder_.messages.size(), 1u);
  // The sentence is the system's own; the address and the network's words stay in the details.
  EXPECT_TRUE(box().text.startsWith(QStringLiteral("短信发送失败：无法连接短信网关，请检查本机的网络连接")));
  EXPECT_TRUE(box().text.contains(QStringLiteral("没有发出")));
  EXPECT_FALSE(box().text.contains(QStringLiteral("127.0.0.1")));
  EXPECT_FALSE(box().text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}")))) << box().text.toStdString();
  EXPECT_TRUE(box().details.startsWith(QStringLiteral("短信网关地址：http://127.0.0.1:")));
  EXPECT_TRUE(box().details.contains(QStringLiteral("\n网络：")));
  EXPECT_EQ(historyRows(), 0);
  EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("user=test"), QString()), QString());
  ASSERT_EQ(responder_.messages.size(), 2u);
  for (const QString& s : {QStringLiteral("代码：-2147012867"), QStringLiteral("无法连接短信网关")}) EXPECT_TRUE(box(1).text.contains(s)) << s.toStdString();
}

TEST_F(SmsTest, AConnectionClosedWithoutAnAnswerOrABadAddressIsAFailure) {
  server_.closeWithoutAnswer();
  EXPECT_EQ(send().outcome, SmsReply::Outcome::Unreachable);
  gSmsGatewayServer = QStringLiteral("not an address");
  EXPECT_EQ(send().outcome, SmsReply::Outcome::Unreachable);
  EXPECT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(historyRows(), 0);
}

TEST_F(SmsTest, TheAccountCheckPostsItsBodyAndReturnsTheAnswer) {
  server_.answer(200, Gbk::encode(QStringLiteral("余额：120条")));
  SmsReply r = QuerySmsAccount(QStringLiteral("test"), QStringLiteral("470215938"));
  EXPECT_TRUE(r.accepted());
  EXPECT_EQ(r.text, QStringLiteral("余额：120条"));
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0].body, QByteArray("ye=ye&user=test&psw=470215938"));
  server_.answer(200, Gbk::encode(QStringLiteral("密码错误")));
  r = QuerySmsAccount(QStringLiteral("test"), QStringLiteral("x"));
  EXPECT_EQ(r.outcome, SmsReply::Outcome::WrongAccount);
  EXPECT_EQ(r.text, QStringLiteral("密码错误"));
  EXPECT_TRUE(responder_.messages.empty()) << "the caller acts on a wrong account";
  server_.hang();
  gSmsTimeoutMs = 300;
  r = QuerySmsAccount(QStringLiteral("test"), QStringLiteral("470215938"));
  EXPECT_EQ(r.outcome, SmsReply::Outcome::TimedOut);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(box().text.startsWith(QStringLiteral("短信账号查询失败：")));
  EXPECT_EQ(historyRows(), 0) << "an account check is never logged";
}

TEST_F(SmsTest, HttpPostFormDecodesTheAnswerInTheGivenCharacterSet) {
  server_.answer(200, Gbk::encode(QStringLiteral("成功")));
  EXPECT_EQ(HttpPostForm(QStringLiteral("  ") + SmsGatewayAddress() + QStringLiteral(" "), QStringLiteral("  a=1  "), QString()), QStringLiteral("成功"));
  EXPECT_EQ(server_.requests().back().body, QByteArray("a=1")) << "blanks around the body are removed";
  server_.answer(200, QStringLiteral("成功").toUtf8());
  EXPECT_EQ(HttpPostForm(SmsGatewayAddress(), QStringLiteral("a=1"), QStringLiteral("UTF-8")), QStringLiteral("成功"));
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(SmsTest, BytesToTextReadsGb2312AndOtherSetsAndReportsWhatItCannot) {
  EXPECT_EQ(BytesToText(Gbk::encode(QStringLiteral("短信发送成功")), QStringLiteral("GB2312")), QStringLiteral("短信发送成功"));
  EXPECT_EQ(BytesToText(Gbk::encode(QStringLiteral("短信")), QString()), QStringLiteral("短信"));
  EXPECT_EQ(BytesToText(QStringLiteral("短信").toUtf8(), QStringLiteral("utf-8")), QStringLiteral("短信"));
  EXPECT_EQ(BytesToText(QByteArray("ok"), QStringLiteral("ISO-8859-1")), QStringLiteral("ok"));
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(BytesToText(QByteArray("ok"), QStringLiteral("no-such-charset")), QString());
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(box().text.contains(QStringLiteral("no-such-charset")));
  EXPECT_EQ(BytesToText(QByteArray("\xFF\xFE\xFD"), QStringLiteral("UTF-8")), QString());
  EXPECT_EQ(responder_.messages.size(), 2u);
}

TEST_F(SmsTest, SaveSmsRecordWritesOneRow) {
  SaveSmsRecord(QStringLiteral("内容'带引号"), QStringLiteral("13900000000"));
  SaveSmsRecord(QStringLiteral("第二条"), QStringLiteral("13800000000,13700000000"));
  EXPECT_EQ(historyRows(), 2);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 内容 from PJ_Duanxin order by 编号 limit 1")).toString(), QStringLiteral("内容'带引号"));
}

TEST_F(SmsTest, TheHttpStandInReportsStatusBytesAndErrors) {
  server_.answer(503, "busy");
  HttpPostResult r = HttpPostSync(server_.baseUrl() + QStringLiteral("x"), "a=b", "application/x-www-form-urlencoded", 2000);
  EXPECT_EQ(r.outcome, HttpPostResult::Outcome::Answered);
  EXPECT_EQ(r.status, 503);
  EXPECT_EQ(r.body, QByteArray("busy"));
  r = HttpPostSync(QStringLiteral("ftp://127.0.0.1/"), "a", "text/plain", 2000);
  EXPECT_EQ(r.outcome, HttpPostResult::Outcome::Failed);
  EXPECT_FALSE(r.error.isEmpty());
}
