// The settings window: loading, the switches that grey their boxes, saving with a completed list,
// commas refused or turned into full stops, and the SMS account check against a local gateway.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/Installation.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "shell/frmMain.h"
#include "control/pbCommand.h"
#include "parties/admin/frmXtsz.h"
#include "platform/Gbk.h"
#include "platform/StatusPanel.h"

namespace {

const QString kDunningDefault = QStringLiteral("尊敬的[客户名称]你于[约定日期]应还款金额[还贷金额]避免产生利息及违约金.请及时归还.如已还款无需理会.");
const QString kRemittanceDefault = QStringLiteral("尊敬的[客户名称].[短信签名]已于[汇款日期]给您汇去一笔汇款[借款金额]请注意查收.");

class SettingsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    // The settings as the login reads them from this workstation's row.
    ConvertSettingsList(storedList(), QStringLiteral("读"));
    gUnitName = Db().scalar(QStringLiteral("select 单位名称 from PJ_Jq where 机器ID=1")).toString();
  }
  static QString storedList() { return Db().scalar(QStringLiteral("select 参数 from PJ_Jq where 机器ID=1")).toString(); }
  static void store(const QString& list) {
    Db().Execute(QStringLiteral("update PJ_Jq set 参数=? where 机器ID=1"), {list});
    ConvertSettingsList(list, QStringLiteral("读"));
  }
  static void save(frmXtsz& w) { QTest::mouseClick(w.eButOK, Qt::LeftButton); }

  LocalHttpServer server_;
  GatewayOnLoopback gateway_{server_};
};

}  // namespace

TEST_F(SettingsTest, LoadFillsEveryBoxAndTheSwitchesGreyTheirFields) {
  store(QStringLiteral("9,李四,1,1,0,1,acc,pw,签名,0,催款,汇款,1,0,0"));
  frmXtsz w(nullptr);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("参数设置"));
  EXPECT_EQ(w.txt[0]->text(), gUnitName);
  const QStringList texts = {w.txt[1]->text(), w.txt[2]->text(), w.txt[3]->text(), w.txt[4]->text(),
                             w.txt[5]->text(), w.txt[6]->text(), w.txt[7]->text()};
  EXPECT_EQ(texts, (QStringList{"9", "李四", "acc", "pw", "签名", "催款", "汇款"}));
  EXPECT_TRUE(w.Check3->isChecked());
  EXPECT_TRUE(w.Check1->isChecked());
  EXPECT_FALSE(w.Check2->isChecked());
  EXPECT_TRUE(w.Check4->isChecked());
  EXPECT_FALSE(w.Check5->isChecked());
  EXPECT_TRUE(w.Check6->isChecked());
  EXPECT_EQ(w.Check4->toolTip(), QStringLiteral("启用该选项后，所有贷款、融资操作必须指定转入、转出银行账号。"));

  EXPECT_FALSE(w.txt[2]->isEnabled()) << "the handling staff member is the creditor";
  EXPECT_TRUE(w.txt[1]->isEnabled());
  for (int i = 3; i <= 7; ++i) EXPECT_FALSE(w.txt[i]->isEnabled()) << i;
  for (QLabel* l : w.lbl) EXPECT_FALSE(l->isEnabled());

  w.Check5->click();
  for (int i = 3; i <= 7; ++i) EXPECT_TRUE(w.txt[i]->isEnabled()) << i;
  for (QLabel* l : w.lbl) EXPECT_TRUE(l->isEnabled());
  w.Check3->click();
  EXPECT_TRUE(w.txt[2]->isEnabled());
  EXPECT_EQ(w.txt[2]->text(), QStringLiteral("李四"));
  w.Check6->click();
  EXPECT_FALSE(w.txt[1]->isEnabled());
}

TEST_F(SettingsTest, SaveStoresTheEditedItemsAndKeepsTheRest) {
  const QStringList before = storedList().split(',');
  ASSERT_EQ(before.size(), 94);
  frmMain main;
  main.初始参数();
  frmXtsz w(&main);
  w.onSaved = [&] { main.初始参数(); };  // as the main window wires it
  w.txt[0]->setText(QStringLiteral("新的公司"));
  if (w.Check3->isChecked()) w.Check3->click();
  w.txt[2]->setText(QStringLiteral("王五"));
  w.Check1->setChecked(true);
  w.Check2->setChecked(true);
  w.Check4->setChecked(false);
  w.Check6->setChecked(true);
  w.txt[1]->setText(QStringLiteral("15"));
  // Switched off, the SMS fields are neither required nor checked with the gateway.
  w.Check5->setChecked(false);
  w.txt[3]->clear();
  w.txt[5]->setText(QStringLiteral(" 带空格 "));
  w.txt[6]->setText(QStringLiteral("尊敬的[客户名称],请于[约定日期]还款,谢谢"));
  w.txt[7]->setText(QStringLiteral("[客户名称],已汇款[借款金额]"));
  save(w);

  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
  EXPECT_EQ(w.result(), int(QDialog::Accepted));
  EXPECT_TRUE(server_.requests().empty());
  const QStringList after = storedList().split(',');
  ASSERT_EQ(after.size(), 94);
  EXPECT_EQ(after.mid(0, 13), (QStringList{"15", "王五", "0", "1", "1", "0", "", before[7], " 带空格 ", "0",
                                           "尊敬的[客户名称].请于[约定日期]还款.谢谢", "[客户名称].已汇款[借款金额]", "1"}));
  EXPECT_EQ(after.mid(13), before.mid(13));
  EXPECT_EQ(Db().scalar(QStringLiteral("select 单位名称 from PJ_Jq where 机器ID=1")).toString(), QStringLiteral("新的公司"));
  EXPECT_EQ(gUnitName, QStringLiteral("新的公司"));
  EXPECT_EQ(gSystemSettings[1], QStringLiteral("王五"));
  EXPECT_EQ(gSettingCount, 94);
  EXPECT_TRUE(main.panel(1)->text().startsWith(QStringLiteral("软件使用单位：新的公司 "))) << main.panel(1)->text().toStdString();
  EXPECT_FALSE(main.action(QStringLiteral("mnu_dxgl"))->isVisible());
}

TEST_F(SettingsTest, AShortListIsCompletedWithTheDefaultsBeforeItIsWritten) {
  store(QStringLiteral("5,张三,0,1,0"));
  ASSERT_EQ(gSettingCount, 5);
  frmXtsz w(nullptr);
  EXPECT_EQ(w.txt[6]->text(), kDunningDefault);
  EXPECT_EQ(w.txt[7]->text(), kRemittanceDefault);
  EXPECT_EQ(w.txt[3]->text(), QStringLiteral("test"));
  EXPECT_TRUE(w.Check4->isChecked());
  EXPECT_FALSE(w.Check6->isChecked());
  save(w);
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
  EXPECT_EQ(storedList(), QStringLiteral("5,张三,0,1,0,1,test,470215938,Tervane软件,0,") + kDunningDefault + QLatin1Char(',') +
                              kRemittanceDefault + QStringLiteral(",0"));
  EXPECT_EQ(gSettingCount, 13);
}

TEST_F(SettingsTest, ACommaWhereItWouldShiftTheListIsRefused) {
  const QString stored = storedList();
  struct Case {
    int box;
    QString caption;
  };
  const Case cases[] = {{1, "提前天数"}, {2, "指定债权人"}, {3, "短信账号"}, {4, "短信密码"}, {5, "短信签名"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption.toStdString());
    responder_.clear();
    frmXtsz w(nullptr);
    w.Check6->setChecked(false);  // with the reminder on, "7,5" already fails as a number
    w.Check3->setChecked(false);
    w.txt[c.box]->setText(QStringLiteral("甲,乙"));
    save(w);
    EXPECT_EQ(responder_.texts(), QStringList{c.caption + QStringLiteral("中不能含有英文逗号“,”，请删除或改用中文逗号“，”！")});
    EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
    EXPECT_NE(w.result(), int(QDialog::Accepted));
    EXPECT_EQ(storedList(), stored);
    EXPECT_EQ(ConvertSettingsList(QString(), QStringLiteral("写")), stored) << "the shared settings are untouched";
  }
  // The full-width comma is ordinary text.
  responder_.clear();
  frmXtsz w(nullptr);
  w.Check3->setChecked(false);
  w.txt[2]->setText(QStringLiteral("张三，李四"));
  save(w);
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(storedList().split(',').value(1), QStringLiteral("张三，李四"));
}

TEST_F(SettingsTest, RequiredAndNumericChecksStopTheSave) {
  const QString stored = storedList();
  frmXtsz w(nullptr);
  w.Check6->setChecked(true);
  w.txt[1]->setText(QStringLiteral("七天"));
  save(w);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("提前天数输入不合法！")});
  EXPECT_EQ(w.txt[1]->text(), QStringLiteral("0"));

  responder_.clear();
  w.txt[1]->setText(QStringLiteral("7"));
  w.Check5->setChecked(true);
  w.txt[5]->clear();
  save(w);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("短信签名不能为空！")});
  EXPECT_TRUE(server_.requests().empty()) << "the gateway is asked only when the fields are complete";
  EXPECT_EQ(storedList(), stored);
  EXPECT_NE(w.result(), int(QDialog::Accepted));
}

TEST_F(SettingsTest, AWrongSmsAccountSavesNothingAndKeepsWhatWasTyped) {
  frmMain main;
  main.初始参数();
  ASSERT_FALSE(main.action(QStringLiteral("mnu_dxgl"))->isVisible());
  const QString stored = storedList();
  server_.answer(200, Gbk::encode(QStringLiteral("用户名或密码错误")));
  frmXtsz w(&main);
  w.onSaved = [&] { main.初始参数(); };  // as the main window wires it
  w.Check5->setChecked(true);
  w.txt[3]->setText(QStringLiteral("我的账号"));
  w.txt[4]->setText(QStringLiteral("p&w 1"));
  w.txt[6]->setText(QStringLiteral("自己写的[客户名称]催款"));
  save(w);

  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0].body, QByteArray("ye=ye&user=%CE%D2%B5%C4%D5%CB%BA%C5&psw=p%26w%201"));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("短信账号或密码错误，请联系") + Installation::kSupportText + QStringLiteral("开户充值！")});
  EXPECT_EQ(responder_.messages[0].style, int(Mb::Critical));
  EXPECT_EQ(w.txt[3]->text(), QStringLiteral("我的账号"));
  EXPECT_EQ(w.txt[6]->text(), QStringLiteral("自己写的[客户名称]催款"));
  EXPECT_EQ(storedList(), stored);
  EXPECT_NE(w.result(), int(QDialog::Accepted));
  EXPECT_FALSE(main.action(QStringLiteral("mnu_dxgl"))->isVisible());

  // A valid account: saved, and the main window now offers the SMS centre.
  responder_.clear();
  server_.answer(200, Gbk::encode(QStringLiteral("余额：100条")));
  save(w);
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
  EXPECT_EQ(w.result(), int(QDialog::Accepted));
  const QStringList after = storedList().split(',');
  EXPECT_EQ(after.mid(6, 4), (QStringList{"我的账号", "p&w 1", gSystemSettings[8], "1"}));
  EXPECT_TRUE(main.action(QStringLiteral("mnu_dxgl"))->isVisible());
}

// The account check reads the reply as sending does: "密码错误" in GBK or UTF-8 refuses the save, a
// reply that cannot be read leaves the choice to the user, an accepted one saves.
TEST_F(SettingsTest, TheAccountCheckRecognisesAWrongPasswordInEitherCharset) {
  const QString wrong = QStringLiteral("短信账号或密码错误，请联系") + Installation::kSupportText + QStringLiteral("开户充值！");
  const struct {
    const char* what;
    QByteArray body, contentType;
    QString firstMessage;  // "" when the save goes through at once
  } cases[] = {
      {"GBK 密码错误", Gbk::encode(QStringLiteral("密码错误")), "text/html; charset=gb2312", wrong},
      {"UTF-8 密码错误 declared", QStringLiteral("密码错误").toUtf8(), "text/html; charset=utf-8", wrong},
      {"UTF-8 密码错误 undeclared", QStringLiteral("密码错误").toUtf8(), "", wrong},
      {"UTF-8 密码错误 declared gbk", QStringLiteral("密码错误").toUtf8(), "text/html; charset=gbk", wrong},
      {"GBK 密码错误 declared utf-8", Gbk::encode(QStringLiteral("密码错误")), "text/html; charset=utf-8", wrong},
      {"GBK 密码错误 declared ISO-8859-1", Gbk::encode(QStringLiteral("密码错误")), "text/html; charset=ISO-8859-1", wrong},
      {"unreadable", QByteArray("\xFF\xFE"), "", QStringLiteral("短信账号查询失败：短信网关的回复无法识别。")},
      {"UTF-8 balance", QStringLiteral("余额：100条").toUtf8(), "text/plain", QString()},
      {"a number declared gbk", "100", "text/html; charset=gbk", QString()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString stored = storedList();
    server_.answer(200, c.body, c.contentType);
    responder_.clear();
    frmXtsz w(nullptr);
    w.Check5->setChecked(true);
    save(w);  // a question is answered No
    if (c.firstMessage.isEmpty()) {
      EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
      EXPECT_EQ(w.result(), int(QDialog::Accepted));
      continue;
    }
    ASSERT_FALSE(responder_.messages.empty());
    EXPECT_TRUE(responder_.messages[0].text.startsWith(c.firstMessage)) << responder_.messages[0].text.toStdString();
    EXPECT_NE(w.result(), int(QDialog::Accepted));
    EXPECT_EQ(storedList(), stored);
  }
}

TEST_F(SettingsTest, AnUnreachableGatewayLetsTheUserDecide) {
  gSmsGatewayServer = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::refusingPort());
  const QString stored = storedList();
  frmXtsz w(nullptr);
  w.Check5->setChecked(true);
  save(w);  // the question is answered No
  ASSERT_EQ(responder_.messages.size(), 2u) << responder_.texts().join("|").toStdString();
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("短信账号未能验证。仍然保存参数设置吗？"));
  EXPECT_EQ(storedList(), stored);

  responder_.clear();
  responder_.answers = {Mb::Ok, Mb::Yes};
  save(w);
  EXPECT_EQ(w.result(), int(QDialog::Accepted));
  EXPECT_EQ(storedList().split(',').value(9), QStringLiteral("1"));
}

TEST_F(SettingsTest, WithoutARowForThisWorkstationNothingChanges) {
  const QString list = ConvertSettingsList(QString(), QStringLiteral("写"));
  const QString unit = gUnitName;
  Db().Execute(QStringLiteral("update PJ_Jq set 机器ID=9 where 机器ID=1"));
  {
    frmXtsz w(nullptr);
    w.txt[0]->setText(QStringLiteral("别的名字"));
    w.Check1->setChecked(!w.Check1->isChecked());
    save(w);
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("没有找到本机（机器ID：1）的客户端记录，参数没有保存！")});
    EXPECT_NE(w.result(), int(QDialog::Accepted));
  }
  EXPECT_EQ(ConvertSettingsList(QString(), QStringLiteral("写")), list);
  EXPECT_EQ(gUnitName, unit);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 单位名称 from PJ_Jq where 机器ID=9")).toString(), unit);
}
