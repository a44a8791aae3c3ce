// Lookup lists (items by category: add, rename and delete by key, duplicates, codes and order,
// reserved names, departments in use) and the business's own bank accounts.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "parties/frmYhzh.h"
#include "parties/frmZxglb.h"
#include "platform/Buttons.h"
#include "platform/Grid.h"

namespace {

class LookupTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    // A second shown list whose items carry an extra value.
    Db().Execute(QStringLiteral("insert into PJ_Zxlb (名称,类别,参数,参数名,显示) values (?,20,1,?,1)"), {QStringLiteral("费用类别"), QStringLiteral("补偿百分比")});
    Db().Execute(QStringLiteral("insert into PJ_Zxlb (名称,类别,参数,参数名,显示) values (?,21,0,'',0)"), {QStringLiteral("隐藏")});
  }
  static QStringList items(int category) {
    QStringList out;
    for (const auto& row : Db().query(QStringLiteral("select 名称 from PJ_Zaxiang where 类别=? order by 编号"), {category}).rows)
      out << VariantText(row.value(0));
    return out;
  }
  static QString value(const QString& sql, const QVariantList& params = {}) { return VariantText(Db().scalar(sql, params)); }
  static void clickItem(frmZxglb& w, const QString& name) {
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (w.Fg->textMatrix(r, 0) == name) {
        w.Fg->setRow(r);
        return w.Fg_Click(r);
      }
    FAIL() << "not listed: " << name.toStdString();
  }
  static void add(frmZxglb& w, const QString& name, const QString& extra = QString()) {
    w.optGn[1]->click();
    w.Text1->setText(name);
    w.Text2->setText(extra);
    w.eCmdzx_Click(0);
  }
};

TEST_F(LookupTest, ShownListsAndTheirItemColumns) {
  frmZxglb w;
  ASSERT_EQ(w.List1->count(), 2) << "hidden lists stay out";
  EXPECT_EQ(w.windowTitle(), QStringLiteral("部门"));
  EXPECT_EQ(w.Fg->textMatrix(w.Fg->fixedRows(), 0), QStringLiteral("综合部"));
  EXPECT_FALSE(w.Text1->isEnabled()) << "浏览 edits nothing";
  w.optGn[1]->click();
  EXPECT_TRUE(w.Text1->isEnabled());
  EXPECT_FALSE(w.Text2->isEnabled()) << "部门 has no extra value";

  w.List1->setCurrentRow(1);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("费用类别"));
  EXPECT_EQ(w.Label2->text(), QStringLiteral("补偿百分比"));
  EXPECT_EQ(w.Fg->textMatrix(0, 1), QStringLiteral("补偿百分比"));
  EXPECT_TRUE(w.Text2->isEnabled());
  EXPECT_TRUE(w.Fg->colHidden(w.Fg->cols() - 1)) << "the key column is not shown";
}

TEST_F(LookupTest, AddChecksDuplicatesPerCategoryAndNumbersCodesAndOrder) {
  frmZxglb w;
  const int highestCode = value(QStringLiteral("select max(代码) from PJ_Zaxiang")).toInt();
  add(w, QStringLiteral("销售部"));
  add(w, QStringLiteral("财务部"));
  EXPECT_EQ(items(9), (QStringList{"综合部", "销售部", "财务部"}));
  EXPECT_EQ(value(QStringLiteral("select 代码 from PJ_Zaxiang where 名称=?"), {QStringLiteral("财务部")}).toInt(), highestCode + 2);
  EXPECT_EQ(value(QStringLiteral("select 排序 from PJ_Zaxiang where 名称=?"), {QStringLiteral("财务部")}), QStringLiteral("3"));

  add(w, QStringLiteral("销售部"));
  EXPECT_TRUE(responder_.saw(QStringLiteral("不能重复！")));
  add(w, QStringLiteral("销售部 "));
  EXPECT_EQ(items(9).size(), 4) << "a name with a trailing blank is another item";
  add(w, QStringLiteral("A,B"));
  EXPECT_TRUE(responder_.saw(QStringLiteral("名称中不能含有英文逗号“,”！"))) << "departments live in comma lists";
  add(w, QStringLiteral("   "));
  EXPECT_TRUE(responder_.saw(QStringLiteral("名称不能为空！")));

  // After a delete the next item still gets a position of its own.
  clickItem(w, QStringLiteral("销售部"));
  w.optGn[3]->click();
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  add(w, QStringLiteral("后勤部"));
  EXPECT_EQ(value(QStringLiteral("select count(distinct 排序) from PJ_Zaxiang where 类别=9")),
            value(QStringLiteral("select count(*) from PJ_Zaxiang where 类别=9")));

  w.List1->setCurrentRow(1);
  add(w, QStringLiteral("销售部"));
  EXPECT_TRUE(responder_.saw(QStringLiteral("补偿百分比不能为空！")));
  add(w, QStringLiteral("销售部"), QStringLiteral("15"));
  EXPECT_EQ(items(20), (QStringList{"销售部"})) << "the same name in another category";
  EXPECT_EQ(value(QStringLiteral("select 参数1 from PJ_Zaxiang where 类别=20")), QStringLiteral("15"));
}

TEST_F(LookupTest, RenameAndDeleteActOnTheClickedItemOnly) {
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称,类别,代码,排序,参数1) values ('a''b',20,50,1,'1'),('x',20,51,2,'2'),"
                              "(?,20,52,3,'5'),('a''b',21,53,1,'')"),
               {QStringLiteral("中药费")});
  frmZxglb w;
  w.List1->setCurrentRow(1);
  clickItem(w, QStringLiteral("a'b"));
  EXPECT_EQ(w.Text2->text(), QStringLiteral("1"));
  w.optGn[2]->click();
  w.Text1->setText(QStringLiteral("x"));
  w.eCmdzx_Click(0);
  EXPECT_TRUE(responder_.saw(QStringLiteral("不能重复！"))) << "a rename may not create a duplicate either";
  clickItem(w, QStringLiteral("a'b"));
  w.Text1->setText(QStringLiteral("a'c"));
  w.Text2->setText(QStringLiteral("9"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(items(20), (QStringList{"a'c", "x", "中药费"}));
  EXPECT_EQ(value(QStringLiteral("select 参数1 from PJ_Zaxiang where 名称='a''c'")), QStringLiteral("9"));
  EXPECT_EQ(items(21), (QStringList{"a'b"})) << "the other category's item is untouched";

  clickItem(w, QStringLiteral("中药费"));
  w.Text1->setText(QStringLiteral("草药费"));
  w.eCmdzx_Click(0);
  EXPECT_TRUE(responder_.saw(QStringLiteral("“ 中药费”为系统保留值，只允许修改其补偿百分比的值！")));
  w.Text1->setText(QStringLiteral("中药费"));
  w.Text2->setText(QStringLiteral("8"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(value(QStringLiteral("select 参数1 from PJ_Zaxiang where 名称=?"), {QStringLiteral("中药费")}), QStringLiteral("8"));

  clickItem(w, QStringLiteral("x"));
  w.optGn[3]->click();
  w.eCmdzx_Click(0);  // No
  EXPECT_TRUE(responder_.saw(QStringLiteral("确认要删除“x”吗？")));
  EXPECT_EQ(items(20).size(), 3);
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  EXPECT_EQ(items(20), (QStringList{"a'c", "中药费"}));

  // An item clicked in one list is not an item of the next one.
  clickItem(w, QStringLiteral("a'c"));
  w.List1->setCurrentRow(0);
  responder_.clear();
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.texts(), (QStringList{"请先在列表中选择要删除的项目！"}));
  EXPECT_EQ(items(9), (QStringList{"综合部"}));
  EXPECT_EQ(items(20).size(), 2);
}

TEST_F(LookupTest, DepartmentsInUseAreKeptAndRenamesReachTheAccounts) {
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称,类别,代码,排序) values (?,9,60,2),(?,9,61,3)"), {QStringLiteral("销售"), QStringLiteral("销售二部")});
  Db().Execute(QStringLiteral("insert into PJ_Admin (登录账号,登录密码,姓名,助记符,科室,账号属性,科室权限) "
                              "values ('zs','x',?,'ZS',?,0,?)"),
               {QStringLiteral("张三"), QStringLiteral("综合部"), QStringLiteral("销售二部,综合部")});
  gDeptRights = QStringLiteral("综合部,销售二部");
  frmZxglb w;
  clickItem(w, QStringLiteral("销售二部"));
  w.optGn[3]->click();
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  EXPECT_TRUE(responder_.saw(QStringLiteral("部门“销售二部”正在被帐号使用，不能删除！")));
  EXPECT_EQ(items(9).size(), 3);

  clickItem(w, QStringLiteral("销售"));
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  EXPECT_EQ(items(9), (QStringList{"综合部", "销售二部"})) << "an unused department goes";

  clickItem(w, QStringLiteral("综合部"));
  w.optGn[2]->click();
  w.Text1->setText(QStringLiteral("总部"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(value(QStringLiteral("select 科室 from PJ_Admin where 登录账号='zs'")), QStringLiteral("总部"));
  EXPECT_EQ(value(QStringLiteral("select 科室权限 from PJ_Admin where 登录账号='zs'")), QStringLiteral("销售二部,总部"));
  EXPECT_EQ(value(QStringLiteral("select 科室 from PJ_Admin where 编号=1")), QStringLiteral("总部"));
  EXPECT_EQ(gDeptRights, QStringLiteral("总部,销售二部")) << "the logged-in user keeps his scope";
}

// ---- bank accounts

class BankTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,'999',1)"), {QStringLiteral("对方银行"), QStringLiteral("对方")});
  }
  static QStringList rows() {
    QStringList out;
    for (const auto& r : Db().query(QStringLiteral("select 开户行,开户名,账号,类别 from PJ_Yhzh order by 编号")).rows)
      out << QStringLiteral("%1|%2|%3|%4").arg(VariantText(r.value(0)), VariantText(r.value(1)), VariantText(r.value(2)),
                                               VariantText(r.value(3)));
    return out;
  }
  static void fill(frmYhzh& w, const QString& bank, const QString& name, const QString& number) {
    w.txtCz[0]->setText(bank);
    w.txtCz[1]->setText(name);
    w.txtCz[2]->setText(number);
  }
};

TEST_F(BankTest, AddModifyAndDeleteOwnAccounts) {
  frmYhzh w;
  EXPECT_EQ(w.Fg->dataRowCount(), 0) << "counterparty accounts are not ours";
  EXPECT_FALSE(w.txtCz[0]->isEnabled());

  w.optGn[1]->click();
  EXPECT_TRUE(w.txtCz[0]->isEnabled());
  fill(w, QString(), QStringLiteral("公司"), QString());
  w.eCmdzx->at(0)->PerformClick();
  EXPECT_TRUE(responder_.saw(QStringLiteral("开户行不能为空！")));
  fill(w, QStringLiteral("工商银行"), QString(), QString());
  w.eCmdzx->at(0)->PerformClick();
  EXPECT_TRUE(responder_.saw(QStringLiteral("开户名不能为空！")));
  EXPECT_EQ(rows().size(), 1);

  fill(w, QStringLiteral("工商银行'城东"), QStringLiteral("示范公司"), QString());
  w.eCmdzx->at(0)->PerformClick();
  fill(w, QStringLiteral("农业银行"), QStringLiteral("示范公司"), QStringLiteral("6222"));
  w.eCmdzx->at(0)->PerformClick();
  EXPECT_EQ(rows(), (QStringList{"对方银行|对方|999|1", "工商银行'城东|示范公司||0", "农业银行|示范公司|6222|0"}));
  ASSERT_EQ(w.Fg->dataRowCount(), 2);

  // 修改 saves to the row that was clicked.
  w.optGn[2]->click();
  w.Fg->setRow(w.Fg->fixedRows());
  w.Fg_Click();
  EXPECT_EQ(w.txtCz[0]->text(), QStringLiteral("工商银行'城东"));
  w.Fg->setRow(w.Fg->fixedRows() + 1);  // moving the cursor does not change the loaded account
  w.txtCz[2]->setText(QStringLiteral("6212"));
  w.eCmdzx->at(0)->PerformClick();
  EXPECT_EQ(rows(), (QStringList{"对方银行|对方|999|1", "工商银行'城东|示范公司|6212|0", "农业银行|示范公司|6222|0"}));

  w.optGn[3]->click();
  w.Fg->setRow(0);  // the header row
  responder_.clear();
  w.eCmdzx->at(0)->PerformClick();
  EXPECT_TRUE(responder_.messages.empty());
  EXPECT_EQ(rows().size(), 3);
  emit w.Fg->cellDoubleClicked(w.Fg->fixedRows() + 1, 1);  // No
  EXPECT_TRUE(responder_.saw(QStringLiteral("确认要删除账号“农业银行 示范公司 6222”吗？")));
  EXPECT_EQ(rows().size(), 3);
  responder_.answer(Mb::Yes);
  emit w.Fg->cellDoubleClicked(w.Fg->fixedRows() + 1, 1);
  EXPECT_EQ(rows(), (QStringList{"对方银行|对方|999|1", "工商银行'城东|示范公司|6212|0"}));
}

TEST_F(BankTest, ModifyWithoutAClickedRowChangesNothing) {
  Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号) values (?,?,'1')"), {QStringLiteral("建设银行"), QStringLiteral("示范公司")});
  frmYhzh w;
  w.optGn[2]->click();
  w.eCmdzx_Click(0);  // the current row was loaded by the option click
  EXPECT_EQ(w.clickedId(), Db().scalar(QStringLiteral("select 编号 from PJ_Yhzh where 类别=0")).toLongLong());

  frmYhzh empty;
  Db().Execute(QStringLiteral("delete from PJ_Yhzh where 类别=0"));
  empty.刷新列表();
  empty.optGn[2]->click();
  fill(empty, QStringLiteral("x"), QStringLiteral("y"), QString());
  empty.eCmdzx_Click(0);
  EXPECT_TRUE(responder_.saw(QStringLiteral("请先在列表中选择要修改的账号！")));
  EXPECT_EQ(rows(), (QStringList{"对方银行|对方|999|1"}));
}

}  // namespace
