// Staff accounts: the list's scope by level and department rights, search, the reserved account,
// locking and deleting, the editor's rules (unique login names, passwords as typed, levels, rights
// kept and ticked by whole names), the pick hand-backs and the main window's menu.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "control/pbCommand.h"
#include "parties/StaffAccounts.h"
#include "parties/frmAEDyg.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/Grid.h"

namespace {

class StaffTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    for (const char* d : {"销售", "销售二部", "财务部"}) dept(QString::fromUtf8(d));
  }

  static qint64 dept(const QString& name) {
    Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称,类别,代码,排序) values (?,9,0,0)"), {name});
    return Db().lastInsertId();
  }
  static qint32 account(const QString& login, int level, const QString& department, const QString& rights = QString(),
                        const QString& deptRights = QString()) {
    Db().Execute(QStringLiteral("insert into PJ_Admin (登录账号,登录密码,姓名,助记符,科室,账号级别,账号属性,锁定,模块权限,科室权限)"
                                " values (?,?,?,?,?,?,?,?,?,?)"),
                 {login, QStringLiteral("NjE3Mw=="), login + QStringLiteral("名"), login.toUpper(), department,
                  LevelEntries().value(level), level, QStringLiteral("否"), rights, deptRights});
    return static_cast<qint32>(Db().lastInsertId());
  }
  static void loginAs(int role, const QString& deptRights, const QString& rights, qint32 id = 9999) {
    gCurrentUserRole = role;
    gDeptRights = deptRights;
    gCurrentUserRights = rights;
    gCurrentUserId = id;
  }
  static QString field(qint32 id, const QString& column) {
    return VariantText(Db().scalar(QStringLiteral("select ") + column + QStringLiteral(" from PJ_Admin where 编号=?"), {id}));
  }
  static QStringList listed(const frmYg& w) {
    QStringList logins;
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (!w.Fg->isTotalsRow(r)) logins << w.Fg->textMatrix(r, 1);
    return logins;
  }
  static void select(frmYg& w, const QString& login) {
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (w.Fg->textMatrix(r, 1) == login) return w.Fg->setRow(r);
    FAIL() << "not listed: " << login.toStdString();
  }
  static QListWidgetItem* item(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
  }
  static QStringList ticked(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->checkState() == Qt::Checked) out << list->item(i)->text();
    return out;
  }
};

// ---- scope and search

TEST_F(StaffTest, ScopeFollowsLevelAndWholeDepartmentNames) {
  account(QStringLiteral("s0"), 0, QStringLiteral("销售"));
  account(QStringLiteral("s2"), 2, QStringLiteral("销售二部"));
  account(QStringLiteral("c1"), 1, QStringLiteral("财务部"));
  account(QStringLiteral("top"), 3, QStringLiteral("销售"));

  frmYg all;
  all.Form_Load();
  EXPECT_EQ(listed(all), (QStringList{kReservedAccount, "s0", "s2", "c1", "top"})) << "a super administrator sees every account";
  EXPECT_EQ(all.Fg->textMatrix(all.Fg->rows() - 1, 0), QStringLiteral("记录：5"));

  loginAs(2, QStringLiteral("销售, 财务部"), QString());
  frmYg regional;
  regional.Form_Load();
  EXPECT_EQ(listed(regional), (QStringList{"s0", "c1"})) << "not 销售二部, not level 3";

  loginAs(1, QStringLiteral("销售二部"), QString());
  frmYg company;
  company.Form_Load();
  EXPECT_TRUE(listed(company).isEmpty()) << "the level-2 account of 销售二部 is above a company administrator";

  EXPECT_TRUE(StaffInScope(1, QStringLiteral("销售二部")));
  EXPECT_FALSE(StaffInScope(1, QStringLiteral("销售")));
  EXPECT_FALSE(StaffInScope(2, QStringLiteral("销售二部")));
}

TEST_F(StaffTest, SearchIsLiteralWithinScopeAndPickListStopsAtFifty) {
  for (int i = 0; i < 55; ++i) account(QStringLiteral("u%1").arg(i, 2, 10, QLatin1Char('0')), 0, QStringLiteral("销售"));
  account(QStringLiteral("a%b"), 0, QStringLiteral("销售"));
  account(QStringLiteral("axb"), 0, QStringLiteral("销售"));
  account(QStringLiteral("u%x"), 0, QStringLiteral("财务部"));

  frmYg pick;
  pick.PickMode = 2;
  pick.Form_Load();
  EXPECT_EQ(listed(pick).size(), 50);
  EXPECT_EQ(pick.cmdMLr->at(6)->Caption(), QStringLiteral("引用"));

  pick.Combo1->setCurrentIndex(3);  // 登录账号
  pick.txtCzxx->setText(QStringLiteral("u"));
  EXPECT_EQ(listed(pick).size(), 50) << "one character searches nothing";
  pick.txtCzxx->setText(QStringLiteral("u4"));
  EXPECT_EQ(listed(pick), (QStringList{"u40", "u41", "u42", "u43", "u44", "u45", "u46", "u47", "u48", "u49"}));
  EXPECT_EQ(pick.Fg->textMatrix(pick.Fg->rows() - 1, 0), QStringLiteral("员工记录数：10"));
  Db().Execute(QStringLiteral("update PJ_Admin set 助记符='YG' where 登录账号 like 'u%'"));
  pick.Combo1->setCurrentIndex(0);  // 助记符
  pick.txtCzxx->setText(QStringLiteral("yg"));
  EXPECT_EQ(listed(pick).size(), 56) << "a search lists every match, also in pick mode";

  loginAs(2, QStringLiteral("销售"), QString());
  frmYg scoped;
  scoped.Form_Load();
  EXPECT_EQ(scoped.cmdMLr->at(6)->Caption(), QStringLiteral("退出"));
  scoped.Combo1->setCurrentIndex(3);
  scoped.txtCzxx->setText(QStringLiteral("%b"));
  EXPECT_EQ(listed(scoped), (QStringList{"a%b"})) << "% is matched literally";
  scoped.txtCzxx->setText(QStringLiteral("u%"));
  EXPECT_TRUE(listed(scoped).isEmpty()) << "u%x is outside the scope";
  scoped.txtCzxx->setText(QStringLiteral("' or 1=1 or '"));
  EXPECT_TRUE(listed(scoped).isEmpty());
  scoped.txtCzxx->clear();
  EXPECT_EQ(listed(scoped).size(), 57) << "an emptied search shows the whole list again";
}

// ---- list commands

TEST_F(StaffTest, ReservedAccountIsRefusedAsTheListProtectsIt) {
  frmYg w;
  w.Form_Load();
  select(w, kReservedAccount);
  for (int command : {2, 3}) {
    responder_.clear();
    w.cmdMLr_Click(command);
    EXPECT_TRUE(responder_.saw(QStringLiteral("此帐号为系统保留，不可更改其权限！"))) << command;
  }
  EXPECT_EQ(field(1, QStringLiteral("锁定")), QStringLiteral("否"));
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Admin")).toInt(), 1);

  w.cmdMLr_Click(1);
  ASSERT_EQ(modal_.shown.size(), 1u) << "a super administrator may modify it";
  EXPECT_EQ(modal_.shown[0], QStringLiteral("frmAEDyg"));

  // The protection holds in the editor too: its login name cannot be renamed away.
  frmAEDyg editor(nullptr, nullptr);
  editor.EditMode = 1;
  editor.AccountId = 1;
  editor.Form_Load();
  EXPECT_TRUE(editor.txtQx[0]->isReadOnly());
  EXPECT_FALSE(editor.CobQx[0]->isEnabled());

  loginAs(2, QStringLiteral("综合部"), QString());
  Db().Execute(QStringLiteral("update PJ_Admin set 账号属性=2 where 编号=1"));  // make it visible to a level-2 user
  frmYg lower;
  lower.Form_Load();
  select(lower, kReservedAccount);
  responder_.clear();
  lower.cmdMLr_Click(1);
  EXPECT_TRUE(responder_.saw(QStringLiteral("此帐号为系统保留，不可更改其权限！")));
  EXPECT_EQ(modal_.shown.size(), 1u) << "no editor for a user below level 3";
}

TEST_F(StaffTest, LockTogglesAfterYesAndOwnAccountIsRefused) {
  const qint32 id = account(QStringLiteral("zs"), 0, QStringLiteral("销售"));
  frmYg w;
  w.Form_Load();
  select(w, QStringLiteral("zs"));
  w.cmdMLr_Click(3);  // answered No
  EXPECT_TRUE(responder_.saw(QStringLiteral("您确认要锁定该帐号吗？")));
  EXPECT_EQ(field(id, QStringLiteral("锁定")), QStringLiteral("否"));

  responder_.answer(Mb::Yes);
  w.cmdMLr_Click(3);
  EXPECT_EQ(field(id, QStringLiteral("锁定")), QStringLiteral("是"));
  select(w, QStringLiteral("zs"));
  EXPECT_EQ(w.Fg->textMatrix(w.Fg->row(), 6), QStringLiteral("是")) << "the list was refreshed";

  // A locked account cannot log in.
  frmLogin login(nullptr);
  login.Combo1->setCurrentText(QStringLiteral("zs"));
  login.txtKl->setText(QStringLiteral("6173"));
  login.eButOK_Click();
  EXPECT_TRUE(responder_.saw(QStringLiteral("您的账号被锁定，请联系管理员！")));

  responder_.answer(Mb::Yes);
  select(w, QStringLiteral("zs"));
  w.cmdMLr_Click(3);
  EXPECT_TRUE(responder_.saw(QStringLiteral("您确认要解锁该帐号吗？")));
  EXPECT_EQ(field(id, QStringLiteral("锁定")), QStringLiteral("否"));

  loginAs(2, QStringLiteral("销售"), QString(), id);
  frmYg own;
  own.Form_Load();
  select(own, QStringLiteral("zs"));
  responder_.clear();
  own.cmdMLr_Click(3);
  own.cmdMLr_Click(2);
  EXPECT_EQ(responder_.texts(), (QStringList{"不能锁定当前登录的帐号！", "不能删除当前登录的帐号！"}));
  EXPECT_EQ(field(id, QStringLiteral("锁定")), QStringLiteral("否"));
}

TEST_F(StaffTest, DeleteAsksNamingTheAccountAndNeverTakesTheTotalsRow) {
  const qint32 zs = account(QStringLiteral("zs"), 0, QStringLiteral("销售"));
  const qint32 ls = account(QStringLiteral("ls"), 0, QStringLiteral("销售"));
  frmYg w;
  w.Form_Load();
  w.Fg->setRow(w.Fg->rows() - 1);  // the totals row
  w.cmdMLr_Click(2);
  EXPECT_TRUE(responder_.messages.empty());

  select(w, QStringLiteral("zs"));
  w.cmdMLr_Click(2);  // No
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(responder_.messages[0].text, QStringLiteral("会一同删除该登录配置信息，您确认要删除帐号“zs名（zs）”吗？"));
  EXPECT_FALSE(field(zs, QStringLiteral("登录账号")).isEmpty());

  responder_.answer(Mb::Yes);
  w.cmdMLr_Click(2);
  EXPECT_TRUE(responder_.saw(QStringLiteral("删除成功！")));
  EXPECT_TRUE(field(zs, QStringLiteral("登录账号")).isEmpty());
  EXPECT_EQ(field(ls, QStringLiteral("登录账号")), QStringLiteral("ls"));
  EXPECT_EQ(listed(w), (QStringList{kReservedAccount, "ls"}));
}

// ---- the editor

TEST_F(StaffTest, AddStoresThePasswordAsTypedAndTheChosenLevel) {
  frmYg list;
  list.Form_Load();
  frmAEDyg w(nullptr, &list);
  w.Form_Load();
  EXPECT_EQ(w.CobQx[0]->count(), 3) << "a super administrator gives levels up to 区域管理员";
  EXPECT_EQ(w.CobQx[0]->currentText(), QStringLiteral("普通账户"));
  EXPECT_TRUE(w.SSTab1->isTabEnabled(1));
  EXPECT_EQ(w.LstQx[2]->count(), 26);

  w.txtQx[0]->setText(QStringLiteral(" wang "));
  w.txtQx[1]->setText(QStringLiteral("中文ab"));
  w.txtQx[2]->insert(QStringLiteral("王五"));  // as typed
  EXPECT_EQ(w.txtQx[3]->text(), QStringLiteral("WW")) << "the mnemonic follows the name";
  w.CobQx[0]->setCurrentText(QStringLiteral("区域管理员"));
  w.CobQx[2]->setCurrentText(QStringLiteral("销售二部"));
  item(w.LstQx[1], QStringLiteral("销售"))->setCheckState(Qt::Checked);
  QTest::mouseClick(w.eCmdzx->at(0), Qt::LeftButton);

  EXPECT_TRUE(responder_.saw(QStringLiteral("添加成功！")));
  const qint32 id = Db().scalar(QStringLiteral("select 编号 from PJ_Admin where 登录账号='wang'")).toInt();
  ASSERT_GT(id, 1);
  EXPECT_EQ(field(id, QStringLiteral("登录密码")), QStringLiteral("1tDOxGFi")) << "Base64 of the GBK bytes";
  EXPECT_EQ(field(id, QStringLiteral("账号级别")), QStringLiteral("区域管理员"));
  EXPECT_EQ(field(id, QStringLiteral("账号属性")), QStringLiteral("2")) << "also when a super administrator creates it";
  EXPECT_EQ(field(id, QStringLiteral("锁定")), QStringLiteral("否"));
  EXPECT_EQ(field(id, QStringLiteral("科室权限")), QStringLiteral("销售"));
  EXPECT_EQ(field(id, QStringLiteral("模块权限")), QStringLiteral(",")) << "nothing ticked grants nothing";
  EXPECT_EQ(field(id, QStringLiteral("对应科室ID")),
            VariantText(Db().scalar(QStringLiteral("select 编号 from PJ_Zaxiang where 名称=? and 类别=9"), {QStringLiteral("销售二部")})));
  EXPECT_EQ(field(id, QStringLiteral("客户端权限")), gUnitName);
  EXPECT_TRUE(listed(list).contains(QStringLiteral("wang"))) << "the list was refreshed";

  // Blanks are part of a password: the one stored is the one the login compares.
  frmAEDyg blanks(nullptr, nullptr);
  blanks.Form_Load();
  blanks.txtQx[0]->setText(QStringLiteral("blank"));
  blanks.txtQx[1]->setText(QStringLiteral(" ab "));
  blanks.txtQx[2]->setText(QStringLiteral("B"));
  blanks.txtQx[3]->setText(QStringLiteral("B"));
  ASSERT_TRUE(blanks.增修(0));
  EXPECT_EQ(VariantText(Db().scalar(QStringLiteral("select 登录密码 from PJ_Admin where 登录账号='blank'"))),
            QStringLiteral("IGFiIA=="));
}

TEST_F(StaffTest, RequiredFieldsUniqueLoginNamesAndKnownDepartments) {
  account(QStringLiteral("zs"), 0, QStringLiteral("销售"));
  const qint32 ls = account(QStringLiteral("ls"), 0, QStringLiteral("销售"));
  const qint64 before = Db().scalar(QStringLiteral("select count(*) from PJ_Admin")).toLongLong();

  frmAEDyg add(nullptr, nullptr);
  add.Form_Load();
  add.txtQx[0]->setText(QStringLiteral("   "));
  EXPECT_FALSE(add.增修(0));
  EXPECT_TRUE(responder_.saw(QStringLiteral("登录帐号不能为空！")));
  add.txtQx[0]->setText(QStringLiteral("new"));
  EXPECT_FALSE(add.增修(0));
  EXPECT_TRUE(responder_.saw(QStringLiteral("登录密码不能为空！")));
  add.txtQx[1]->setText(QStringLiteral("1"));
  add.txtQx[2]->setText(QStringLiteral("N"));
  add.txtQx[3]->clear();
  EXPECT_FALSE(add.增修(0));
  EXPECT_TRUE(responder_.saw(QStringLiteral("助记符不能为空！")));
  add.txtQx[3]->setText(QStringLiteral("N"));
  add.txtQx[0]->setText(QStringLiteral("zs "));
  EXPECT_FALSE(add.增修(0));
  EXPECT_TRUE(responder_.saw(QStringLiteral("该账户已存在，请重新输入！")));

  // A department that is no longer in the list is kept on show but cannot be saved.
  add.txtQx[0]->setText(QStringLiteral("new"));
  add.CobQx[2]->addItem(QStringLiteral("已撤销部门"));
  add.CobQx[2]->setCurrentText(QStringLiteral("已撤销部门"));
  EXPECT_FALSE(add.增修(0));
  EXPECT_TRUE(responder_.saw(QStringLiteral("科室“已撤销部门”不在部门列表中，请重新选择！")));
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Admin")).toLongLong(), before);

  frmAEDyg edit(nullptr, nullptr);
  edit.EditMode = 1;
  edit.AccountId = ls;
  edit.Form_Load();
  EXPECT_TRUE(edit.txtQx[1]->text().isEmpty());
  edit.txtQx[0]->setText(QStringLiteral("zs"));
  responder_.clear();
  EXPECT_FALSE(edit.增修(1)) << "renaming onto another account's login name";
  EXPECT_TRUE(responder_.saw(QStringLiteral("该账户已存在，请重新输入！")));
  edit.txtQx[0]->setText(QStringLiteral("ls"));
  edit.txtQx[4]->setText(QStringLiteral("13900000000"));
  EXPECT_TRUE(edit.增修(1)) << "keeping its own name";
  EXPECT_TRUE(responder_.saw(QStringLiteral("修改成功！")));
  EXPECT_EQ(field(ls, QStringLiteral("手机")), QStringLiteral("13900000000"));
  EXPECT_EQ(field(ls, QStringLiteral("登录密码")), QStringLiteral("NjE3Mw==")) << "an empty password box keeps the password";
}

TEST_F(StaffTest, RightsTheEditorDoesNotHoldAreKeptAndTicksMatchWholeNames) {
  const qint32 id = account(QStringLiteral("zs"), 0, QStringLiteral("销售二部"),
                            QStringLiteral("系统设置,个人客户,企业客户"), QStringLiteral("销售二部,财务部"));
  loginAs(2, QStringLiteral("销售,销售二部"), QStringLiteral("个人客户,企业客户,帐号权限,贷款日报"));

  frmAEDyg w(nullptr, nullptr);
  w.EditMode = 1;
  w.AccountId = id;
  w.Form_Load();
  ASSERT_TRUE(w.loadedOk());
  EXPECT_EQ(ticked(w.LstQx[1]), (QStringList{"销售二部"})) << "销售 is inside 销售二部 but is not the same department";
  EXPECT_EQ(ticked(w.LstQx[2]), (QStringList{"个人客户", "企业客户"}));

  item(w.LstQx[2], QStringLiteral("企业客户"))->setCheckState(Qt::Unchecked);
  item(w.LstQx[2], QStringLiteral("贷款日报"))->setCheckState(Qt::Checked);
  ASSERT_TRUE(w.增修(1));
  EXPECT_EQ(field(id, QStringLiteral("模块权限")), QStringLiteral("个人客户,贷款日报,系统设置"))
      << "系统设置 is not the editor's to take away";
  EXPECT_EQ(field(id, QStringLiteral("科室权限")), QStringLiteral("销售二部,财务部"));

  EXPECT_EQ(MergeRights(QStringLiteral(",a, b ,"), {"b", "c"}, {}), QStringLiteral("a"));
  EXPECT_EQ(MergeRights(QString(), {"b", "c"}, {}), QStringLiteral(","));
}

TEST_F(StaffTest, PresetTicksOnlyOfferedRightsAndNeverUnticks) {
  loginAs(1, QStringLiteral("销售"), QStringLiteral("个人客户,常用数值,帐号权限,投资人"));
  frmAEDyg w(nullptr, nullptr);
  w.Form_Load();
  EXPECT_EQ(w.CobQx[0]->count(), 1);
  EXPECT_FALSE(w.SSTab1->isTabEnabled(1)) << "department rights need level 2";
  item(w.LstQx[2], QStringLiteral("投资人"))->setCheckState(Qt::Checked);
  w.pbCQx->at(3)->PerformClick();
  EXPECT_EQ(ticked(w.LstQx[2]), (QStringList{"个人客户", "常用数值", "投资人"}))
      << "P0 names the user does not hold are not offered; 投资人 stays ticked";
  w.pbCQx->at(2)->PerformClick();
  EXPECT_EQ(ticked(w.LstQx[2]).size(), 4);
  EXPECT_EQ(PresetRights(QStringLiteral("区域管理员")), ModuleRightNames().join(','));
  EXPECT_EQ(SplitRights(PresetRights(QStringLiteral("公司管理员"))).size(), 14);
}

TEST_F(StaffTest, LevelChangesOnlyBelowTheEditorAndNeverAbove) {
  const qint32 peer = account(QStringLiteral("peer"), 2, QStringLiteral("销售"));
  const qint32 clerk = account(QStringLiteral("clerk"), 0, QStringLiteral("销售"));
  const qint32 boss = account(QStringLiteral("boss"), 3, QStringLiteral("销售"));
  const qint32 self = account(QStringLiteral("self"), 2, QStringLiteral("销售"));
  loginAs(2, QStringLiteral("销售"), QString(), self);

  frmAEDyg p(nullptr, nullptr);
  p.EditMode = 1;
  p.AccountId = peer;
  p.Form_Load();
  EXPECT_FALSE(p.CobQx[0]->isEnabled());
  EXPECT_EQ(p.CobQx[0]->currentText(), QStringLiteral("区域管理员"));
  ASSERT_TRUE(p.增修(1));
  EXPECT_EQ(field(peer, QStringLiteral("账号属性")), QStringLiteral("2")) << "saving a peer never demotes him";
  EXPECT_EQ(field(peer, QStringLiteral("账号级别")), QStringLiteral("区域管理员"));

  frmAEDyg own(nullptr, nullptr);
  own.EditMode = 1;
  own.AccountId = self;
  own.Form_Load();
  EXPECT_FALSE(own.CobQx[0]->isEnabled());

  frmAEDyg c(nullptr, nullptr);
  c.EditMode = 1;
  c.AccountId = clerk;
  c.Form_Load();
  EXPECT_TRUE(c.CobQx[0]->isEnabled());
  EXPECT_EQ(c.CobQx[0]->count(), 2);
  c.CobQx[0]->setCurrentText(QStringLiteral("公司管理员"));
  ASSERT_TRUE(c.增修(1));
  EXPECT_EQ(field(clerk, QStringLiteral("账号属性")), QStringLiteral("1"));
  EXPECT_EQ(field(clerk, QStringLiteral("账号级别")), QStringLiteral("公司管理员"));

  frmAEDyg b(nullptr, nullptr);
  b.EditMode = 1;
  b.AccountId = boss;
  b.Form_Load();
  EXPECT_FALSE(b.loadedOk());
  EXPECT_TRUE(responder_.saw(QStringLiteral("您无权修改该帐号！")));
  b.txtQx[0]->setText(QStringLiteral("boss"));
  b.txtQx[2]->setText(QStringLiteral("x"));
  b.txtQx[3]->setText(QStringLiteral("x"));
  EXPECT_FALSE(b.增修(1));
  EXPECT_EQ(field(boss, QStringLiteral("姓名")), QStringLiteral("boss名"));

  EXPECT_EQ(frmAEDyg::账户属性(QStringLiteral("普通账户")), 0);
  EXPECT_EQ(frmAEDyg::账户属性(QStringLiteral("区域管理员")), 2);
  EXPECT_EQ(frmAEDyg::账户属性(QStringLiteral("别的")), 0);
}

// ---- picking a staff member

// The four receivers and what each does with the chosen row.
struct Receiver {
  std::array<QString, 7> txtDkdj;  // loan and financing registration boxes
  std::array<QString, 2> txtHk;    // filter boxes of the record lists
  QString Dept;                    // BusinessDept / HandlerDept

  bool pick(qint16 mode) {
    const auto p = frmYg::PickStaff(nullptr, mode);
    if (!p) return false;
    switch (mode) {
      case 2: txtDkdj[6] = p->Name; Dept = p->Dept; break;
      case 3: txtHk[1] = p->Name; break;
      case 4: txtDkdj[3] = p->Name; Dept = p->Dept; break;
      case 5: txtHk[1] = p->Name; break;
      default: break;
    }
    return true;
  }
};

TEST_F(StaffTest, EachPickModeHandsTheCurrentRowBack) {
  account(QStringLiteral("zs"), 0, QStringLiteral("销售"));
  account(QStringLiteral("ls"), 1, QStringLiteral("财务部"));
  // Pick by double-click (mode 2, 3) or by the 引用 button (mode 4, 5).
  const auto choose = [this](const QString& login, bool byButton) {
    modal_.handlers.push_back([login, byButton](QDialog* d) {
      auto* w = qobject_cast<frmYg*>(d);
      w->Form_Load();
      select(*w, login);
      if (byButton) w->cmdMLr->at(6)->PerformClick(); else w->Fg_DblClick();
      EXPECT_EQ(w->PickMode, 0) << "a closed list is back in manage mode";
      return d->result();
    });
  };
  Receiver r;
  choose(QStringLiteral("zs"), false);
  ASSERT_TRUE(r.pick(2));
  EXPECT_EQ(r.txtDkdj[6], QStringLiteral("zs名"));
  EXPECT_EQ(r.Dept, QStringLiteral("销售"));
  choose(QStringLiteral("ls"), false);
  ASSERT_TRUE(r.pick(3));
  EXPECT_EQ(r.txtHk[1], QStringLiteral("ls名"));
  choose(QStringLiteral("ls"), true);
  ASSERT_TRUE(r.pick(4));
  EXPECT_EQ(r.txtDkdj[3], QStringLiteral("ls名"));
  EXPECT_EQ(r.Dept, QStringLiteral("财务部"));
  choose(QStringLiteral("zs"), true);
  ASSERT_TRUE(r.pick(5));
  EXPECT_EQ(r.txtHk[1], QStringLiteral("zs名"));

  // Modes without a receiver hand nothing back, and a double-click leaves their window open; the
  // totals row is no staff member.
  const auto nothing = [this](int row) {
    modal_.handlers.push_back([row](QDialog* d) {
      auto* w = qobject_cast<frmYg*>(d);
      w->Form_Load();
      w->Fg->setRow(row < 0 ? w->Fg->rows() - 1 : row);
      w->Fg_DblClick();
      EXPECT_FALSE(w->Picked);
      w->cmdMLr_Click(6);
      return d->result();
    });
  };
  nothing(2);
  EXPECT_FALSE(r.pick(1));
  nothing(2);
  EXPECT_FALSE(r.pick(6));
  nothing(-1);
  EXPECT_FALSE(r.pick(2));
}

TEST_F(StaffTest, MainWindowOpensTheStaffListOnlyWithItsRight) {
  frmMain main;
  main.RunCommand(QStringLiteral("mnu_zhqx"));
  ASSERT_EQ(modal_.shown.size(), 1u);
  EXPECT_EQ(modal_.shown[0], QStringLiteral("frmYg"));

  loginAs(1, QStringLiteral("综合部"), QStringLiteral("个人客户"));
  main.RunCommand(QStringLiteral("mnu_zhqx"));
  main.RunCommand(QStringLiteral("mnu_cysz"));
  EXPECT_EQ(modal_.shown.size(), 1u);
  EXPECT_EQ(responder_.texts(), (QStringList{"权限不足！", "权限不足！"}));
  main.RunCommand(QStringLiteral("mnu_yhzh"));
  ASSERT_EQ(modal_.shown.size(), 2u) << "the bank accounts need no right";
  EXPECT_EQ(modal_.shown[1], QStringLiteral("frmYhzh"));
}

}  // namespace
