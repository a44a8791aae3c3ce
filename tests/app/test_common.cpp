// Error report, rights, input checks, settings list, password encoding, money and the modal plumbing.
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "app/services/ErrorReport.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "platform/Gbk.h"
#include "platform/Money.h"

using CommonTest = ProgramTest;

TEST_F(CommonTest, RuntimeErrorHasThreeLinesWithoutAWindowAndFourWithOne) {
  ReportRuntimeError(QString(), nullptr, AppError(0, QStringLiteral("无")));
  EXPECT_TRUE(responder_.messages.empty()) << "error number 0 shows nothing";

  ReportRuntimeError(QString(), nullptr, AppError(3021, QStringLiteral("无当前记录")));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("程序出现异常！\r\n代码：3021\r\n描述：无当前记录"));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
  EXPECT_EQ(responder_.messages[0].title, kAppTitle);

  QDialog w;
  w.setWindowTitle(QStringLiteral("个人客户"));
  ReportRuntimeError(QStringLiteral("eButOK_Click"), &w, AppError(-5, QStringLiteral("x")));
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("eButOK_Click程序出现异常！\r\n代码：-5\r\n描述：x\r\n窗口：个人客户"));

  // A failure in the system's own words stands alone, whatever the context; the driver's number and
  // text only behind the details button.
  ReportRuntimeError(QStringLiteral("备份恢复数据库"), nullptr,
                     AppError(8, DbFailure::readOnly(), DbFailure::details(8, QStringLiteral("attempt to write a readonly database"))));
  ASSERT_EQ(responder_.messages.size(), 3u);
  EXPECT_EQ(responder_.messages[2].text, QStringLiteral("数据库文件是只读的，不能保存。"));
  EXPECT_EQ(responder_.messages[2].details, QStringLiteral("代码：8\r\n描述：attempt to write a readonly database"));
}

TEST_F(CommonTest, GuardReportsHandlerErrorsAndSwallowsTheEndOfTheProgram) {
  QDialog w;
  w.setWindowTitle(QStringLiteral("窗口甲"));
  EXPECT_FALSE(Guarded(QStringLiteral("ctx"), &w, [] { throw AppError(13, QStringLiteral("类型不匹配")); }));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.endsWith(QStringLiteral("窗口：窗口甲")));
  EXPECT_FALSE(Guarded(QString(), nullptr, [] { EndProgram(); }));
  EXPECT_EQ(ended_.calls, 1);
  EXPECT_EQ(responder_.messages.size(), 1u) << "ending the program is not an error";
  EXPECT_TRUE(Guarded(QString(), nullptr, [] {}));
}

TEST_F(CommonTest, RightsForTheSuperAdministratorAndForListedRights) {
  gCurrentUserRole = 3;
  gCurrentUserRights.clear();
  EXPECT_TRUE(CheckUserRight(QStringLiteral("客户端管理")));
  EXPECT_TRUE(CheckUserRight(QStringLiteral("数据恢复")));
  EXPECT_TRUE(responder_.messages.empty());

  gCurrentUserRole = 0;
  gCurrentUserRights = QStringLiteral("个人客户,企业客户");
  EXPECT_TRUE(CheckUserRight(QStringLiteral("个人客户")));
  EXPECT_TRUE(CheckUserRight(QStringLiteral("企业客户")));
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_FALSE(CheckUserRight(QStringLiteral("投资人")));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("权限不足！"));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);

  // A right inside a longer name grants nothing; nor does a part of a name.
  gCurrentUserRights = QStringLiteral("增加借贷登记管理,流水账");
  EXPECT_FALSE(CheckUserRight(QStringLiteral("增加借贷登记")));
  EXPECT_FALSE(CheckUserRight(QStringLiteral("流水")));
  EXPECT_TRUE(CheckUserRight(QStringLiteral("流水账")));
  gCurrentUserRole = 2;
  gCurrentUserRights.clear();
  EXPECT_FALSE(CheckUserRight(QStringLiteral("客户端管理")));
}

TEST_F(CommonTest, RequiredAndNumericFieldChecks) {
  QLineEdit box;
  box.setText(QStringLiteral(" "));
  EXPECT_TRUE(ValidateTextInput(&box, QStringLiteral("姓名"), 0)) << "a blank counts as content";
  box.setText(QString());
  EXPECT_FALSE(ValidateTextInput(&box, QStringLiteral("姓名"), 0));
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("姓名不能为空！"));
  EXPECT_TRUE(box.styleSheet().contains(QStringLiteral("#00FFFF")));

  struct Case { const char* text; bool ok; };
  for (Case c : {Case{"12.5", true}, Case{"0", true}, Case{"007", true}, Case{".5", true}, Case{"", false}, Case{"12a", false},
                 Case{"1,000", false}, Case{"1e3", false}, Case{"-5", false}, Case{"1.2.3", false}, Case{" 5", false}, Case{".", false}}) {
    QLineEdit b;
    b.setText(QString::fromUtf8(c.text));
    responder_.clear();
    EXPECT_EQ(ValidateTextInput(&b, QStringLiteral("本金"), 1), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(responder_.messages.back().text, QStringLiteral("本金输入不合法！")) << c.text;
      EXPECT_EQ(b.text(), QStringLiteral("0")) << "a bad number is reset to 0";
    } else {
      EXPECT_TRUE(responder_.messages.empty());
      EXPECT_EQ(b.text(), QString::fromUtf8(c.text));
    }
  }
}

TEST_F(CommonTest, MoneyAndRateBoxesHaveACeilingAndAmountsWholeCents) {
  struct Case { int mode; const char* text; bool ok; };
  for (Case c : {Case{kMoneyInput, "999999999.99", true}, Case{kMoneyInput, "1000000000", false},
                 Case{kMoneyInput, "98765432109876", false}, Case{kMoneyInput, "0", true}, Case{kMoneyInput, "1e3", false},
                 Case{kMoneyInput, "0.001", false}, Case{kMoneyInput, "100.999", false}, Case{kMoneyInput, "12.345.6", false},
                 Case{kMoneyInput, "100.10", true}, Case{kMoneyInput, "0.5", true}, Case{kMoneyInput, "7.", true},
                 Case{kRateInput, "0.123456", true}, Case{kNumberInput, "0.001", true},
                 Case{kRateInput, "100", true}, Case{kRateInput, "101", false}, Case{kRateInput, "100.01", false},
                 Case{kRateInput, "0.05", true}, Case{kNumberInput, "1000000000", true}}) {
    QLineEdit b;
    b.setText(QString::fromUtf8(c.text));
    responder_.clear();
    EXPECT_EQ(ValidateTextInput(&b, QStringLiteral("借款金额"), c.mode), c.ok) << c.mode << " " << c.text;
    if (c.ok) {
      EXPECT_TRUE(responder_.messages.empty()) << c.text;
    } else {
      ASSERT_FALSE(responder_.messages.empty()) << c.text;
      EXPECT_EQ(responder_.messages.back().text, QStringLiteral("借款金额输入不合法！")) << c.text;
      EXPECT_EQ(b.text(), QStringLiteral("0"));
    }
  }
}

TEST_F(CommonTest, CurrentLineSelection) {
  const QString t = QStringLiteral("第一行\n第二行\n末行");
  EXPECT_EQ(CurrentLineRange(t, t.size()), std::make_pair(8, 2)) << "caret at the end: the last line";
  EXPECT_EQ(CurrentLineRange(QStringLiteral("abc"), 1), std::make_pair(0, 3)) << "one line: all of it";
  EXPECT_EQ(CurrentLineRange(t, 5), std::make_pair(4, 4)) << "a middle line, up to its line feed";
  QPlainTextEdit e;
  e.setPlainText(t);
  QTextCursor c = e.textCursor();
  c.setPosition(t.size());
  e.setTextCursor(c);
  SelectCurrentLine(&e);
  EXPECT_EQ(e.textCursor().selectedText(), QStringLiteral("末行"));
}

TEST_F(CommonTest, SettingsListReadsAndWritesByPosition) {
  ConvertSettingsList(DefaultSettingsList(QStringLiteral("李四")), QStringLiteral("读"));
  EXPECT_EQ(gSettingCount, 94);
  EXPECT_EQ(gSystemSettings[0], QStringLiteral("7"));
  EXPECT_EQ(gSystemSettings[1], QStringLiteral("李四"));
  EXPECT_EQ(gSystemSettings[7], QStringLiteral("470215938"));
  EXPECT_EQ(gSystemSettings[12], QStringLiteral("0"));
  EXPECT_TRUE(SettingOn(5));
  EXPECT_FALSE(SettingOn(12));

  const QString thirteen = QStringLiteral("3,,1,0,0,1,acc,pw, 签名 ,1,a[客户名称],b,1");
  EXPECT_EQ(ConvertSettingsList(thirteen, QStringLiteral("读")), QString());
  EXPECT_EQ(gSettingCount, 13);
  EXPECT_EQ(gSystemSettings[1], QString()) << "an empty item keeps its place";
  EXPECT_EQ(gSystemSettings[8], QStringLiteral(" 签名 ")) << "blanks are kept";
  EXPECT_EQ(ConvertSettingsList(QString(), QStringLiteral("写")), thirteen);

  ConvertSettingsList(QString(), QStringLiteral("读"));
  EXPECT_EQ(gSettingCount, 0);
  EXPECT_EQ(ConvertSettingsList(QString(), QStringLiteral("写")), QString());

  QStringList many;
  for (int i = 0; i < 121; ++i) many << QString::number(i);
  ConvertSettingsList(many.join(','), QStringLiteral("读"));
  EXPECT_EQ(gSettingCount, 121);
  many << QStringLiteral("121");
  EXPECT_THROW(ConvertSettingsList(many.join(','), QStringLiteral("读")), AppError);
}

TEST_F(CommonTest, PasswordsAreBase64OfTheirGbkBytes) {
  PBclass pb;
  EXPECT_EQ(pb.Base64Encode(QString()), QString());
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("a")), QStringLiteral("YQ=="));
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("ab")), QStringLiteral("YWI="));
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("abc")), QStringLiteral("YWJj"));
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("6173")), QStringLiteral("NjE3Mw=="));
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("中")), QStringLiteral("1tA="));
  EXPECT_EQ(pb.Base64Encode(QStringLiteral("管理员")), QStringLiteral("udzA7dSx"));
  EXPECT_EQ(pb.mySys(1).toString(), QStringLiteral("kt83025716492"));
}

TEST_F(CommonTest, GbkConversionAndAnsiCodes) {
  EXPECT_EQ(Gbk::encode(QStringLiteral("中a")), QByteArray("\xD6\xD0" "a"));
  EXPECT_EQ(Gbk::decode(QByteArray("\xD6\xD0\xCE\xC4")), QStringLiteral("中文"));
  bool ok = true;
  QByteArray b = Gbk::encode(QStringLiteral("a😀b"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(b, QByteArray("a?b")) << "a character GBK lacks becomes ? and the rest survives";
  EXPECT_EQ(Gbk::ansiCode(QChar(u'啊')), 0xB0A1 - 65536);
  EXPECT_EQ(Gbk::ansiCode(QChar(u'A')), 65);
}

TEST_F(CommonTest, MoneyRoundsHalvesAwayFromZeroAndParsesStrictly) {
  EXPECT_DOUBLE_EQ(Money::round(2.675), 2.68);
  EXPECT_DOUBLE_EQ(Money::round(0.005), 0.01);
  EXPECT_DOUBLE_EQ(Money::round(-0.005), -0.01);
  EXPECT_DOUBLE_EQ(Money::round(1234567.125), 1234567.13) << "no single-precision loss of cents";
  EXPECT_DOUBLE_EQ(Money::round(2.5, 0), 3);
  EXPECT_EQ(Money::format(1234.5), QStringLiteral("1234.50"));
  EXPECT_EQ(Money::format(0.5, "0"), QStringLiteral("1"));
  EXPECT_EQ(Money::format(-0.001), QStringLiteral("0.00"));
  EXPECT_EQ(Money::format(12.3456789, "0.0000"), QStringLiteral("12.3457"));
  EXPECT_EQ(Money::format(123456789012.34), QStringLiteral("123456789012.34"));
  double v = -1;
  EXPECT_TRUE(Money::parse(QStringLiteral("10.5"), &v));
  EXPECT_DOUBLE_EQ(v, 10.5);
  EXPECT_FALSE(Money::parse(QStringLiteral("1,000"), &v));
  EXPECT_EQ(v, 0);
  EXPECT_DOUBLE_EQ(Money::valueOf(QStringLiteral("5.")), 5);
}

TEST_F(CommonTest, ModalWindowsAndQuestionsNeverBlock) {
  bool clicked = false;
  modal_.handlers.push_back([&](QDialog* d) {
    auto* ok = d->findChild<QPushButton*>(QStringLiteral("ok"));
    ok->click();
    clicked = true;
    return d->result();
  });
  QDialog dlg;
  dlg.setObjectName(QStringLiteral("frmProbe"));
  auto* ok = new QPushButton(QStringLiteral("确定"), &dlg);
  ok->setObjectName(QStringLiteral("ok"));
  QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
  EXPECT_EQ(RunModal(&dlg), QDialog::Accepted);
  EXPECT_TRUE(clicked);
  ASSERT_EQ(modal_.shown.size(), 1u);
  EXPECT_EQ(modal_.shown[0], QStringLiteral("frmProbe"));

  responder_.answer(Mb::Yes);
  EXPECT_EQ(MsgBox(QStringLiteral("删除吗？"), Mb::YesNo + Mb::Question, QStringLiteral("警告")), Mb::Yes);
  EXPECT_EQ(MsgBox(QStringLiteral("再删？"), Mb::YesNo + Mb::Question), Mb::No) << "no queued answer: No";
  EXPECT_EQ(responder_.messages[0].title, QStringLiteral("警告"));
}

// Each test process gets a profile of its own, so nothing a desktop or an earlier run left in the
// user's home (Qt's remembered dialogs, settings) reaches a test.
TEST(TestProfile, EveryProcessRunsInAnEmptyHomeOfItsOwn) {
  const QString home = QDir::homePath();
  EXPECT_TRUE(home.contains(QStringLiteral("vrn-test-profile-"))) << home.toStdString();
  for (const auto where : {QStandardPaths::GenericConfigLocation, QStandardPaths::GenericDataLocation,
                           QStandardPaths::GenericCacheLocation, QStandardPaths::RuntimeLocation, QStandardPaths::TempLocation})
    EXPECT_TRUE(QStandardPaths::writableLocation(where).startsWith(QFileInfo(home).path())) << int(where);
  EXPECT_FALSE(QFileInfo::exists(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/QtProject.conf")));
}
