// Login, main window, reminder, password change and about box, driven through their controls.
#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QStatusBar>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <sqlcipher/sqlite3.h>

#include "TestSupport.h"
#include "shell/BusinessReminder.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmPass.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/StatusPanel.h"

namespace {
void addStaff(const QString& account, const QString& password, int role, const QString& rights, const QString& locked = QStringLiteral("否"),
              const QString& deptRights = QStringLiteral("综合部"), const QString& dept = QStringLiteral("综合部"), int deptId = 1) {
  Db().Execute(QStringLiteral("insert into PJ_Admin (登录账号,登录密码,姓名,科室,对应科室ID,账号属性,锁定,模块权限,科室权限) values (?,?,?,?,?,?,?,?,?)"),
               {account, PBclass().Base64Encode(password), account + QStringLiteral("名"), dept, deptId, role, locked, rights, deptRights});
}

// Answers the next login window by typing an account and a password and pressing the OK button.
std::function<int(QDialog*)> typeLogin(const QString& account, const QString& password) {
  return [account, password](QDialog* d) {
    auto* login = qobject_cast<frmLogin*>(d);
    EXPECT_NE(login, nullptr);
    if (!login) return int(QDialog::Rejected);
    login->Combo1->setEditText(account);
    login->txtKl->setText(password);
    QTest::mouseClick(login->eButOK, Qt::LeftButton);
    return login->result();
  };
}
}  // namespace

class LoginTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    setNow(QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0)));
  }
  // A main window that reached its load with the login answered by `answer`.
  std::unique_ptr<frmMain> start(std::function<int(QDialog*)> answer) {
    modal_.handlers.push_back(std::move(answer));
    auto w = std::make_unique<frmMain>();
    w->Form_Load();
    return w;
  }
};

TEST_F(LoginTest, SuccessFillsTheStateAndWritesTheBookStartOnce) {
  auto w = start(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  EXPECT_TRUE(responder_.messages.empty()) << responder_.texts().join("|").toStdString();
  EXPECT_EQ(gLoginAccount, QStringLiteral("超级管理员"));
  EXPECT_EQ(gCurrentUserId, 1);
  EXPECT_EQ(gUserName, QStringLiteral("管理员"));
  EXPECT_EQ(gCurrentUserRole, 3);
  EXPECT_EQ(gUserDept, QStringLiteral("综合部"));
  EXPECT_EQ(gUserDeptId, 1);
  EXPECT_EQ(gUnitName, QStringLiteral("示范借贷有限公司"));
  EXPECT_EQ(gSettingCount, 94);
  EXPECT_EQ(gBookStartDate, QStringLiteral("2024-03-05"));
  EXPECT_EQ(Db().scalar(QStringLiteral("select 建账日期 from PJ_Jq where 机器ID=1")).toString(), QStringLiteral("2024-03-05"));
  EXPECT_TRUE(w->timer1()->isActive());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Varnel民间借贷管理 V") + frmMain::VersionText());
  EXPECT_EQ(w->panel(1)->text(), QStringLiteral("软件使用单位：示范借贷有限公司 系统建账日期：2024年03月05日  数据连接模式：单机版"));

  // A later login keeps the first date.
  setNow(QDateTime(QDate(2024, 4, 1), QTime(8, 0)));
  modal_.handlers.push_back(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  w->pbMnu_Click(10);
  EXPECT_EQ(gBookStartDate, QStringLiteral("2024-03-05"));
}

TEST_F(LoginTest, RefusalsKeepTheWindowOpenAndWriteNothing) {
  addStaff(QStringLiteral("锁定者"), QStringLiteral("pw"), 0, QString(), QStringLiteral("是"));
  struct Case { QString account, password, message; };
  const Case cases[] = {
      {QStringLiteral("无此人"), QStringLiteral("6173"), QStringLiteral("账号信息错误！")},
      {QStringLiteral("超级管理员"), QStringLiteral("617"), QStringLiteral("密码错误，请重新输入！")},
      {QStringLiteral("锁定者"), QStringLiteral("wrong"), QStringLiteral("密码错误，请重新输入！")},
      {QStringLiteral("锁定者"), QStringLiteral("pw"), QStringLiteral("您的账号被锁定，请联系管理员！")},
      {QStringLiteral("x' or '1'='1"), QStringLiteral("6173"), QStringLiteral("账号信息错误！")},
      {QStringLiteral("' union select 1,'超级管理员','NjE3Mw==','x','x','','综合部',1,'超级管理员',3,'否','','','','' --"),
       QStringLiteral("6173"), QStringLiteral("账号信息错误！")},
  };
  auto w = std::make_unique<frmMain>();
  for (const Case& c : cases) {
    responder_.clear();
    frmLogin login(w.get());
    login.Combo1->setEditText(c.account);
    login.txtKl->setText(c.password);
    QTest::mouseClick(login.eButOK, Qt::LeftButton);
    ASSERT_EQ(responder_.messages.size(), 1u) << c.account.toStdString();
    EXPECT_EQ(responder_.messages[0].text, c.message) << c.account.toStdString();
    EXPECT_EQ(responder_.messages[0].style, Mb::Critical);
    EXPECT_NE(login.result(), QDialog::Accepted);
    EXPECT_TRUE(login.txtKl->text().isEmpty()) << "the password box is emptied";
    EXPECT_EQ(gCurrentUserRole, 0) << "nobody is logged in";
  }
  EXPECT_EQ(Db().scalar(QStringLiteral("select 建账日期 from PJ_Jq where 机器ID=1")).toString(), QStringLiteral("No"));
  EXPECT_FALSE(w->timer1()->isActive());
}

TEST_F(LoginTest, AnEmptyPasswordAsksForOneWithoutQuerying) {
  auto w = std::make_unique<frmMain>();
  frmLogin login(w.get());
  ResetConnections();
  QFile::remove(LocalDatabasePath());  // any query would now ask the connection question
  login.txtKl->clear();
  QTest::keyClick(login.txtKl, Qt::Key_Return);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("请输入您的登录密码。"));
  QTest::mouseClick(login.eButOK, Qt::LeftButton);
  EXPECT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(responder_.messages[1].text, QStringLiteral("请输入您的登录密码。"));
}

TEST_F(LoginTest, EnterInThePasswordBoxLogsIn) {
  auto w = std::make_unique<frmMain>();
  frmLogin login(w.get());
  login.txtKl->setText(QStringLiteral("6173"));
  QTest::keyClick(login.txtKl, Qt::Key_Return);
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(gCurrentUserRole, 3);
}

TEST_F(LoginTest, EscAndTheExitButtonEndTheProgramTheCloseBoxDoesNot) {
  struct Way {
    const char* name;
    std::function<void(frmLogin&)> act;
    int endsProgram;
  };
  const Way ways[] = {
      {"Esc", [](frmLogin& l) { QTest::keyClick(&l, Qt::Key_Escape); }, 1},
      {"Esc in the password box", [](frmLogin& l) { QTest::keyClick(l.txtKl, Qt::Key_Escape); }, 1},
      {"放弃(&Esc)", [](frmLogin& l) { QTest::mouseClick(l.eButExit, Qt::LeftButton); }, 1},
      {"close box", [](frmLogin& l) { EXPECT_FALSE(l.close()); }, 0},
      {"Shift+Esc", [](frmLogin& l) { QTest::keyClick(&l, Qt::Key_Escape, Qt::ShiftModifier); }, 0},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    ended_.calls = 0;
    auto w = std::make_unique<frmMain>();
    w->show();
    frmLogin login(w.get());
    login.show();
    way.act(login);
    EXPECT_EQ(ended_.calls, way.endsProgram);
    // Left only by ending the program (the main window goes first): otherwise both stay up.
    EXPECT_EQ(w->isVisible(), way.endsProgram == 0);
    if (way.endsProgram == 0) EXPECT_TRUE(login.isVisible());
  }
}

TEST_F(LoginTest, DepartmentRightsZeroBecomeTheOwnDepartmentName) {
  addStaff(QStringLiteral("张三"), QStringLiteral("1"), 0, QStringLiteral("个人客户"), QStringLiteral("否"), QStringLiteral("0"),
           QStringLiteral("信贷部"), 12);
  auto w = start(typeLogin(QStringLiteral("张三"), QStringLiteral("1")));
  EXPECT_EQ(gDeptRights, QStringLiteral("信贷部"));
  EXPECT_EQ(gUserDeptId, 12);
  EXPECT_EQ(gCurrentUserRights, QStringLiteral("个人客户"));
}

TEST_F(LoginTest, AWorkstationWithoutItsRowCannotLogIn) {
  gMachineId = 9;
  auto w = start(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("机器ID：9")));
  EXPECT_EQ(gCurrentUserRole, 0);
  EXPECT_FALSE(w->timer1()->isActive());
}

TEST_F(LoginTest, MenusByRoleStorageModeAndSettings) {
  auto w = std::make_unique<frmMain>();
  loginAsSuperAdmin();
  struct Case { int mode, role; bool khd; };
  for (Case c : {Case{1, 3, true}, Case{0, 3, false}, Case{1, 1, false}, Case{1, 2, false}}) {
    gDatabaseType = static_cast<qint16>(c.mode);
    gCurrentUserRole = c.role;
    w->初始参数();
    EXPECT_EQ(w->action("mnu_khd")->isVisible(), c.khd) << c.mode << "/" << c.role;
  }
  EXPECT_TRUE(w->panel(1)->text().endsWith(QStringLiteral("网络版")));
  gDatabaseType = 0;
  gSystemSettings[9] = QStringLiteral("0");
  w->初始参数();
  EXPECT_FALSE(w->action("mnu_dxgl")->isVisible());
  gSystemSettings[9] = QStringLiteral("1");
  w->初始参数();
  EXPECT_TRUE(w->action("mnu_dxgl")->isVisible());
  EXPECT_FALSE(w->panel(3)->text().isEmpty());
}

TEST_F(LoginTest, EveryGuardedCommandChecksItsRightAndARefusalOpensNothing) {
  auto w = std::make_unique<frmMain>();
  gCurrentUserRole = 0;
  gCurrentUserRights = QStringLiteral("个人客户");
  const QStringList guarded = {"mnu_xtsz", "mnu_cysz", "mnu_zhqx", "mnu_qykh", "mnu_tzr", "mnu_khd", "mnu_jddj", "mnu_ckrc",
                               "mnu_hkjl", "mnu_cjrzdj", "mnu_zfrc", "mnu_zfmx", "mnu_dkrb", "mnu_cjrb", "mnu_zjrb", "mnu_lsz",
                               "mnu_sjbf", "mnu_sjhf"};
  for (const QString& c : guarded) {
    responder_.clear();
    modal_.shown.clear();
    w->RunCommand(c);
    ASSERT_EQ(responder_.messages.size(), 1u) << c.toStdString();
    EXPECT_EQ(responder_.messages[0].text, QStringLiteral("权限不足！")) << c.toStdString();
    EXPECT_TRUE(modal_.shown.empty()) << c.toStdString();
  }
  // The toolbar runs the same commands: button 0 is the loan list's right.
  responder_.clear();
  w->pbMnu_Click(0);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("权限不足！")});
  responder_.clear();
  w->pbMnu_Click(11);
  EXPECT_TRUE(responder_.messages.empty()) << "an index outside 0 to 10 does nothing";

  // With the right, the command goes past the check.
  responder_.clear();
  w->RunCommand(QStringLiteral("mnu_grkh"));
  EXPECT_FALSE(responder_.saw(QStringLiteral("权限不足！")));
}

TEST_F(LoginTest, TheTimerFiresOnceWithTheReminderAndAgainAfterARelogin) {
  auto w = start(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  gSystemSettings[12] = QStringLiteral("1");
  responder_.clear();
  w->Timer1_Timer();
  EXPECT_FALSE(w->timer1()->isActive());
  EXPECT_EQ(w->panel(2)->text(), QStringLiteral("登录时间：2024-03-05 09:30:00  当前用户：超级管理员"));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].title, QStringLiteral("业务提醒"));
  EXPECT_EQ(responder_.messages[0].style, Mb::Information);

  // Logging in again (the settings come back from the database: the reminder is off there).
  modal_.handlers.push_back(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  w->pbMnu_Click(10);
  EXPECT_TRUE(w->timer1()->isActive());
  responder_.clear();
  w->Timer1_Timer();
  EXPECT_TRUE(responder_.messages.empty()) << "reminder switch off: nothing shown";
}

class ReminderTest : public ProgramTest {
 protected:
  void plan(const char* table, const char* status, const QDate& due) {
    if (QString::fromUtf8(table) == QLatin1String("PJ_Hdjh"))
      Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号, 归还状态, 约定归还日期) values ('D1', ?, ?)"), {QString::fromUtf8(status), DateText(due)});
    else
      Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号, 结算状态, 约定支付日期) values ('C1', ?, ?)"), {QString::fromUtf8(status), DateText(due)});
  }
};

TEST_F(ReminderTest, CountsOverdueAndSoonDueInstalmentsAtTheBoundaries) {
  const QDate today(2024, 3, 5);
  setNow(QDateTime(today, QTime(9, 0)));
  plan("PJ_Hdjh", "未还", today);                 // due today: soon
  plan("PJ_Hdjh", "归还部分", today.addDays(7));  // in 7 days: soon
  plan("PJ_Hdjh", "未还", today.addDays(8));      // in 8 days: not counted
  plan("PJ_Hdjh", "未还", today.addDays(-1));     // yesterday: overdue
  plan("PJ_Hdjh", "已还", today.addDays(-5));     // settled: not counted
  plan("PJ_Cjzfjh", "支付部分", today.addDays(-30));
  plan("PJ_Cjzfjh", "未付", today.addDays(3));
  plan("PJ_Cjzfjh", "已付", today.addDays(3));
  // The financing record of those rows; the open rows of a voided record, or of none, are not counted.
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号, 业务状态, 结算状态) values ('C1', ?, ?), ('C2', ?, ?)"),
               {QStringLiteral("已审核"), QStringLiteral("未付"), QStringLiteral("废弃"), QStringLiteral("未付")});
  for (const QDate& due : {today.addDays(-2), today.addDays(1)})
    for (const char* doc : {"C2", "C9"})
      Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号, 结算状态, 约定支付日期) values (?, ?, ?)"),
                   {QString::fromLatin1(doc), QStringLiteral("未付"), DateText(due)});
  Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号, 归还状态, 约定归还日期) values ('D2', ?, '')"), {QStringLiteral("未还")});  // no date: left out
  // The loans the rows belong to; a row of a loan never saved is not counted, as the calendar leaves it out.
  Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号, 结算状态) values ('D1', ?), ('D2', ?)"), {QStringLiteral("未还"), QStringLiteral("未还")});
  Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号, 归还状态, 约定归还日期) values ('D9', ?, ?)"), {QStringLiteral("未还"), DateText(today.addDays(-2))});

  ReminderCounts c = CountBusinessReminders(today, 7);
  EXPECT_EQ(c.overdueLoans, 1);
  EXPECT_EQ(c.soonLoans, 2);
  EXPECT_EQ(c.overdueFinancing, 1);
  EXPECT_EQ(c.soonFinancing, 1);

  loginAsSuperAdmin();
  gSystemSettings[12] = QStringLiteral("1");
  ShowBusinessReminder();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text,
            QStringLiteral("逾期贷款：1笔    7日内到期贷款：2笔\r\n逾期拆借：1笔    7日内到期拆借：1笔\r\n\r\n"
                           "您可以点击 “催款日程” 或者 “支付日程” 来查看详细情况。"));
}

TEST_F(ReminderTest, SwitchOffShowsNothingAndOnShowsEvenZeroCounts) {
  loginAsSuperAdmin();
  gSystemSettings[12] = QStringLiteral("0");
  ShowBusinessReminder();
  EXPECT_TRUE(responder_.messages.empty());
  gSystemSettings[12] = QStringLiteral("1");
  ShowBusinessReminder();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("逾期贷款：0笔")));
  gSystemSettings[0] = QStringLiteral("七");
  EXPECT_THROW(ShowBusinessReminder(), AppError) << "a days setting that is no number is an error for the timer to report";
}

class PasswordTest : public ProgramTest {};

TEST_F(PasswordTest, WrongOldPasswordMismatchAndSuccess) {
  loginAsSuperAdmin();
  frmPass w(nullptr);
  auto stored = [] { return Db().scalar(QStringLiteral("select 登录密码 from PJ_Admin where 编号=1")).toString(); };

  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("旧密码不能为空！"));

  w.txtCz[0]->setText(QStringLiteral("0000"));
  w.txtCz[1]->setText(QStringLiteral("新的"));
  w.txtCz[2]->setText(QStringLiteral("新的"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("原密码填写错误！"));
  EXPECT_TRUE(w.txtCz[0]->text().isEmpty());
  EXPECT_EQ(w.txtCz[1]->text(), QStringLiteral("新的")) << "only the first box is cleared";
  EXPECT_EQ(stored(), QStringLiteral("NjE3Mw=="));

  w.txtCz[0]->setText(QStringLiteral("6173"));
  w.txtCz[2]->setText(QStringLiteral("新得"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("两次密码输入错误，请重新输入！"));
  EXPECT_TRUE(w.txtCz[1]->text().isEmpty());
  EXPECT_TRUE(w.txtCz[2]->text().isEmpty());
  EXPECT_EQ(stored(), QStringLiteral("NjE3Mw=="));

  w.txtCz[1]->setText(QStringLiteral("新的"));
  w.txtCz[2]->setText(QStringLiteral("新的"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("密码修改成功，请重新登录！"));
  EXPECT_EQ(responder_.messages.back().style, Mb::Information);
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(stored(), PBclass().Base64Encode(QStringLiteral("新的")));
  EXPECT_EQ(stored(), QStringLiteral("0MK1xA==")) << "GBK bytes of 新的";
}

TEST_F(PasswordTest, AfterAChangeTheLoginWantsTheNewPassword) {
  auto main = std::make_unique<frmMain>();
  loginAsSuperAdmin();
  modal_.handlers.push_back([](QDialog* d) {
    auto* p = qobject_cast<frmPass*>(d);
    p->txtCz[0]->setText(QStringLiteral("6173"));
    p->txtCz[1]->setText(QStringLiteral("abc"));
    p->txtCz[2]->setText(QStringLiteral("abc"));
    p->eCmdzx_Click(0);
    return p->result();
  });
  modal_.handlers.push_back([](QDialog* d) {
    auto* login = qobject_cast<frmLogin*>(d);
    EXPECT_NE(login, nullptr) << "the login follows a successful change";
    login->txtKl->setText(QStringLiteral("6173"));
    QTest::mouseClick(login->eButOK, Qt::LeftButton);
    EXPECT_NE(login->result(), QDialog::Accepted);
    login->txtKl->setText(QStringLiteral("abc"));
    QTest::mouseClick(login->eButOK, Qt::LeftButton);
    return login->result();
  });
  main->pbMnu_Click(9);
  EXPECT_TRUE(responder_.saw(QStringLiteral("密码错误，请重新输入！")));
  EXPECT_EQ(modal_.shown.size(), 2u);
}

TEST_F(PasswordTest, AboutBoxShowsTheVersionAndTheUpdaterIsExplained) {
  frmAbout about(nullptr);
  EXPECT_EQ(about.lblGy[0]->text(), QStringLiteral("Varnel民间借贷管理 V") + frmMain::VersionText());
  QStringList opened;
  SetOpenFileHandler([&](const QString& p) { opened << p; return true; });
  about.Label4_Click();
  EXPECT_EQ(opened.size(), 1);
  EXPECT_TRUE(opened[0].startsWith(QStringLiteral("http")));

  frmMain w;
  w.RunCommand(QStringLiteral("mnu_jcgx"));
  ASSERT_EQ(responder_.messages.size(), 1u) << "no updater ships: the user is told";
  EXPECT_EQ(responder_.messages[0].style, Mb::Information);
  w.RunCommand(QStringLiteral("mnu_gy"));
  EXPECT_EQ(modal_.shown.back(), QStringLiteral("frmAbout"));
}

TEST_F(LoginTest, StatusBarPanelsStayInsideTheWindowAtAnyNameLength) {
  auto w = start(typeLogin(QStringLiteral("超级管理员"), QStringLiteral("6173")));
  w->resize(1200, 760);  // the window's own size; the test screen is smaller
  w->Timer1_Timer();
  QApplication::processEvents();
  const int width = w->width();
  QStatusBar* bar = w->statusBar();
  const auto panelsInside = [&] {
    QApplication::processEvents();
    for (int i = 1; i <= 3; ++i) {
      const QRect r = w->panel(i)->geometry();
      EXPECT_GE(r.left(), 0) << "panel " << i;
      EXPECT_LE(r.right(), bar->width()) << "panel " << i;
    }
  };

  struct Case {
    int nameLength;
    bool cut;  // panel 1 ends in "…"
  };
  for (const Case c : {Case{300, true}, Case{8, false}, Case{300, true}, Case{40, true}, Case{10, false}}) {
    SCOPED_TRACE(c.nameLength);
    gUnitName = QString(c.nameLength, QChar(0x501F));  // 借借借…
    w->初始参数();
    panelsInside();
    EXPECT_EQ(w->width(), width) << "the name never changes the window's width";
    EXPECT_LE(w->minimumSizeHint().width(), width);
    const QString whole = QStringLiteral("软件使用单位：") + gUnitName + QStringLiteral(" 系统建账日期：2024年03月05日  数据连接模式：单机版");
    EXPECT_EQ(w->panel(1)->text(), whole);
    EXPECT_EQ(w->panel(1)->toolTip(), whole) << "the whole text as its tooltip";
    EXPECT_EQ(w->panel(1)->shownText().endsWith(QStringLiteral("…")), c.cut) << w->panel(1)->shownText().toStdString();
    EXPECT_TRUE(w->panel(1)->shownText().startsWith(QStringLiteral("软件使用单位：")));
    // The short panels keep their whole texts beside a long name.
    EXPECT_EQ(w->panel(2)->shownText(), w->panel(2)->text());
    EXPECT_EQ(w->panel(3)->shownText(), w->panel(3)->text());
  }

  // A long name does not hold the window wide either: it can be made narrower, and wider again.
  gUnitName = QString(300, QChar(0x501F));
  w->初始参数();
  w->resize(700, 500);
  QApplication::processEvents();
  EXPECT_EQ(w->width(), 700);
  panelsInside();
  w->resize(1300, 720);
  QApplication::processEvents();
  EXPECT_EQ(w->width(), 1300);
  panelsInside();
  EXPECT_GT(w->panel(1)->width(), 600) << "a wider window gives the long name more room";
}

TEST(ShareWidthsTest, PanelsThatFitKeepTheirWidthOthersShareTheRest) {
  struct Case {
    std::vector<int> wanted;
    int available;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {{100, 200, 300}, 1000, {100, 200, 300}},     // all fit
      {{3000, 300, 250}, 1000, {450, 300, 250}},    // the long one takes what the others leave
      {{3000, 3000, 100}, 1000, {450, 450, 100}},   // two long ones share equally
      {{1000, 1000, 1000}, 1001, {334, 334, 333}},  // the odd pixel goes to the first
      {{400, 350, 300}, 900, {300, 300, 300}},      // the third fits only once the first two are capped
      {{100, 100}, 0, {0, 0}},
      {{100, 100}, -50, {0, 0}},
      {{}, 100, {}},
  };
  for (const Case& c : cases) {
    const std::vector<int> got = ShareWidths(c.wanted, c.available);
    EXPECT_EQ(got, c.expected) << "available " << c.available;
  }
}

TEST_F(LoginTest, AStartWithoutTheDatabaseEndsAtAnUnconnectedLogin) {
  const QString database = LocalDatabasePath();
  const QString kept = database + QStringLiteral(".kept");
  ASSERT_TRUE(QFile::copy(database, kept));
  struct Case {
    const char* name;
    std::function<void()> spoil;
    QString cause;  // the connection question's description line; the number and the driver's words
                    // are behind the details button
  };
  const QString damaged = QStringLiteral("数据库文件已损坏，请从备份恢复：") + database;
  // A file that does not read as a database with the program's key: damaged or another program's.
  const QString unreadable = QStringLiteral("数据库文件已损坏或不是本系统的数据库，请从备份恢复：") + database;
  const QString tableless = QStringLiteral("数据库文件中没有本系统的数据表：") + database;
  auto cutTo = [&](qint64 size) {
    QFile f(database);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(size));
  };
  const Case cases[] = {
      {"missing file", [&] { QFile::remove(database); }, QStringLiteral("找不到数据库文件“%1”。").arg(database)},
      {"not a database",
       [&] {
         QFile f(database);
         f.open(QIODevice::WriteOnly | QIODevice::Truncate);
         f.write(QByteArray(4096, 'x'));
       },
       unreadable},
      {"a plain file without a key",
       [&] {
         QFile::remove(database);
         sqlite3* plain = nullptr;
         ASSERT_EQ(sqlite3_open(database.toUtf8().constData(), &plain), SQLITE_OK);
         EXPECT_EQ(sqlite3_exec(plain, "create table PJ_Sys (编号 integer)", nullptr, nullptr, nullptr), SQLITE_OK);
         sqlite3_close(plain);
       },
       unreadable},
      {"another key",
       [&] {
         QFile::remove(database);
         Connection other(MakeSqlCipherBackend(database, QStringLiteral("别的程序的密码"), true), SqlDialect{});
         other.Execute(QStringLiteral("create table PJ_Sys (编号 integer)"));
         other.close();
       },
       unreadable},
      {"truncated", [&] { cutTo(QFileInfo(kept).size() / 3 + 100); }, damaged},
      {"empty", [&] { cutTo(0); }, tableless},
      {"without the system's tables",
       [&] {
         QFile::remove(database);
         Connection other(MakeSqlCipherBackend(database, PBclass().mySys(1).toString(), true), SqlDialect{});
         other.Execute(QStringLiteral("create table 别的 (a int)"));
         other.close();
       },
       tableless},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetConnections();
    responder_.clear();
    c.spoil();
    // The user answers No to "现在退出程序吗？" each time.
    frmLogin* seen = nullptr;
    bool wasConnected = true;
    QString state;
    modal_.handlers.push_back([&](QDialog* d) {
      seen = qobject_cast<frmLogin*>(d);
      if (!seen) return int(QDialog::Rejected);
      wasConnected = seen->connected();
      state = seen->lblState->isVisibleTo(seen) ? seen->lblState->text() : QString();
      EXPECT_FALSE(seen->txtKl->isEnabled()) << "nothing to log in to";
      EXPECT_TRUE(seen->eButOK->isEnabled() && seen->eButExit->isEnabled());
      // 登录 tries again: still no database, the question once more, the same state.
      QTest::mouseClick(seen->eButOK, Qt::LeftButton);
      EXPECT_FALSE(seen->connected());
      // The database is back: 登录 connects and fills the accounts, without logging anyone in.
      QFile::remove(database);
      EXPECT_TRUE(QFile::copy(kept, database));
      QTest::mouseClick(seen->eButOK, Qt::LeftButton);
      EXPECT_TRUE(seen->connected());
      EXPECT_FALSE(seen->lblState->isVisibleTo(seen));
      EXPECT_TRUE(seen->txtKl->isEnabled());
      EXPECT_EQ(seen->Combo1->currentText(), QStringLiteral("超级管理员"));
      EXPECT_NE(seen->result(), QDialog::Accepted);
      return seen->result();
    });
    gMachineId = 0;
    std::unique_ptr<frmMain> w(Main());
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(wasConnected);
    EXPECT_EQ(state, QStringLiteral("未连接数据库"));
    // Two questions (start-up, the retry), both the connection's own, in the user's words; nothing
    // for a programmer ("代码：91 对象变量或 With 块变量未设置").
    ASSERT_EQ(responder_.messages.size(), 2u) << responder_.texts().join(" | ").toStdString();
    for (const auto& m : responder_.messages) {
      EXPECT_TRUE(m.text.startsWith(QStringLiteral("连接数据库出现错误！"))) << m.text.toStdString();
      EXPECT_EQ(m.text, QStringLiteral("连接数据库出现错误！\r\n") + c.cause + QStringLiteral("\r\n现在退出程序吗？"));
      EXPECT_TRUE(m.details.startsWith(QStringLiteral("代码："))) << m.details.toStdString();
      QString words = m.text;
      words.remove(database);
      EXPECT_FALSE(words.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) << m.text.toStdString();
    }
    EXPECT_FALSE(responder_.texts().join(QString()).contains(QStringLiteral("代码：")));
    EXPECT_EQ(gMachineId, 1) << "the retry read this workstation's settings too";
    EXPECT_EQ(ended_.calls, 0);
  }
}

namespace {
// In the middle of the screen along each side where the window fits, else from the screen's edge
// (the test screen is smaller than the main window).
::testing::AssertionResult placedInScreen(const QRect& frame, const QRect& screen) {
  const auto side = [](int start, int length, int areaStart, int areaLength) {
    // The frame is known only once the window shows: placed before, the window sits up to half of it lower.
    if (length <= areaLength) return std::abs((start + length / 2) - (areaStart + areaLength / 2)) <= 3;
    return start == areaStart;
  };
  if (side(frame.left(), frame.width(), screen.left(), screen.width()) && side(frame.top(), frame.height(), screen.top(), screen.height()))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "window " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height()
                                       << " on screen " << screen.width() << "x" << screen.height();
}
}  // namespace

TEST_F(LoginTest, TheFirstLoginIsCentredOnTheMainWindow) {
  for (const bool placedByCaller : {false, true}) {
    SCOPED_TRACE(placedByCaller);
    QRect login;
    modal_.handlers.push_back([&](QDialog* d) {
      d->show();
      QApplication::processEvents();
      login = d->frameGeometry();
      return int(QDialog::Rejected);
    });
    auto w = std::make_unique<frmMain>();
    if (placedByCaller) w->move(200, 100);
    w->Form_Load();
    const QRect main = w->geometry();
    if (placedByCaller)
      EXPECT_EQ(w->pos(), QPoint(200, 100));
    else
      EXPECT_TRUE(placedInScreen(w->frameGeometry(), w->screen()->availableGeometry()));
    EXPECT_LE((login.center() - main.center()).manhattanLength(), 2) << "login at " << login.x() << "," << login.y();
  }
}
