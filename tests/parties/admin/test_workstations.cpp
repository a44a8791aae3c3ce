// The workstation window: the master row stays out of the list, new rows get a unique number with
// the default settings, changes go to the row taken into the boxes, deletes ask and are refused
// for this computer's own row and for workstations with journal rows.
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/SettingsList.h"
#include "shell/frmMain.h"
#include "parties/admin/frmKhdgl.h"
#include "platform/Grid.h"

namespace {

class WorkstationTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
  }

  static void addRow(qint16 machine, const QString& name) {
    Db().Execute(QStringLiteral("insert into PJ_Jq (机器ID,单位名称,客户端名称,主控权限,建账日期,参数) values (?,?,?,?,'No','7')"),
                 {machine, QStringLiteral("分公司"), name, QStringLiteral("否")});
  }
  static QList<qint64> machineIds() {
    QList<qint64> ids;
    for (const auto& r : Db().query(QStringLiteral("select 机器ID from PJ_Jq order by 机器ID")).rows) ids << r.value(0).toLongLong();
    return ids;
  }
  static void choose(frmKhdgl& w, int mode) {
    w.optGn[mode]->setChecked(true);
    w.optGn_Click(mode);
  }
  // Makes the grid row showing `name` current and clicks it.
  static bool pick(frmKhdgl& w, const QString& name) {
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r) {
      if (w.Fg->textMatrix(r, 2) == name) {
        w.Fg->setRow(r);
        w.Fg_Click();
        return true;
      }
    }
    return false;
  }
  static QStringList listed(frmKhdgl& w) {
    QStringList names;
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r) names << w.Fg->textMatrix(r, 2);
    return names;
  }
  void addThroughWindow(frmKhdgl& w, const QString& unit, const QString& name) {
    choose(w, frmKhdgl::Add);
    w.txtCz[0]->setText(unit);
    w.txtCz[1]->setText(name);
    w.eCmdzx_Click(0);
  }
};

}  // namespace

TEST_F(WorkstationTest, TheMasterRowIsNeverListed) {
  addRow(2, QStringLiteral("前台"));
  addRow(3, QStringLiteral("财务室"));
  frmKhdgl w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("客户端管理"));
  EXPECT_EQ(listed(w), (QStringList{QStringLiteral("前台"), QStringLiteral("财务室")}));
  EXPECT_EQ(w.Fg->textMatrix(0, 1), QStringLiteral("单位名称"));
  // The boxes start disabled in 浏览.
  EXPECT_TRUE(w.optGn[0]->isChecked());
  EXPECT_FALSE(w.txtCz[0]->isEnabled());
  EXPECT_FALSE(w.lblLb[1]->isEnabled());
}

TEST_F(WorkstationTest, ANewWorkstationGetsTheDefaultSettingsAndNoBookStart) {
  frmKhdgl w;
  addThroughWindow(w, QStringLiteral("示范借贷有限公司"), QStringLiteral("二号机"));
  const QueryResult r = Db().query(QStringLiteral("select 机器ID,单位名称,主控权限,建账日期,参数 from PJ_Jq where 客户端名称=?"), {QStringLiteral("二号机")});
  ASSERT_EQ(r.rows.size(), 1u);
  const QVariantList& row = r.rows.front();
  EXPECT_EQ(row.value(0).toLongLong(), 2);
  EXPECT_EQ(VariantText(row.value(1)), QStringLiteral("示范借贷有限公司"));
  EXPECT_EQ(VariantText(row.value(2)), QStringLiteral("否"));
  EXPECT_EQ(VariantText(row.value(3)), "No");
  const QStringList items = VariantText(row.value(4)).split(',');
  ASSERT_EQ(items.size(), 94);
  EXPECT_EQ(items[0], "7");
  EXPECT_EQ(items[1], QStringLiteral("管理员")) << "this workstation's designated creditor";
  EXPECT_EQ(items[5], "1");
  EXPECT_EQ(items[6], "test");
  EXPECT_EQ(items[8], QStringLiteral("Tervane软件"));
  EXPECT_EQ(items[12], "0");
  EXPECT_EQ(items[93], "0");
  EXPECT_EQ(listed(w), QStringList{QStringLiteral("二号机")});
}

TEST_F(WorkstationTest, NumbersStayUniqueAfterDeletions) {
  frmKhdgl w;
  for (const char* n : {"A", "B", "C"}) addThroughWindow(w, QStringLiteral("分公司"), QString::fromUtf8(n));
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2, 3, 4}));
  choose(w, frmKhdgl::Remove);
  ASSERT_TRUE(pick(w, "B"));
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2, 4}));
  // A count of the rows plus one would give 4 again.
  addThroughWindow(w, QStringLiteral("分公司"), "D");
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2, 4, 5}));
  EXPECT_EQ(NextMachineId(), 6);
}

TEST_F(WorkstationTest, DeletingAsksNamesTheRowAndRespectsTheAnswer) {
  addRow(2, QStringLiteral("前台"));
  addRow(3, QStringLiteral("财务室"));
  frmKhdgl w;
  choose(w, frmKhdgl::Remove);
  ASSERT_TRUE(pick(w, QStringLiteral("财务室")));
  responder_.answer(Mb::No);
  w.Fg_DblClick();
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("财务室")));
  EXPECT_EQ(responder_.messages[0].style, Mb::YesNo + Mb::Question);
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2, 3}));

  // A double-click in 删除 deletes the clicked row once the question is answered Yes.
  responder_.answer(Mb::Yes);
  w.Fg_DblClick();
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2}));
  EXPECT_EQ(listed(w), QStringList{QStringLiteral("前台")});
}

TEST_F(WorkstationTest, OwnRowAndWorkstationsWithBusinessAreNotDeleted) {
  addRow(2, QStringLiteral("前台"));
  addRow(3, QStringLiteral("财务室"));
  Db().Execute(QStringLiteral("insert into PJ_Liushui (机器ID) values (3)"));
  gMachineId = 2;  // this computer is 前台
  frmKhdgl w;
  choose(w, frmKhdgl::Remove);

  ASSERT_TRUE(pick(w, QStringLiteral("前台")));
  responder_.answer(Mb::Yes);
  w.eCmdzx_Click(0);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("本机正在使用")));
  EXPECT_EQ(responder_.messages[0].style, Mb::Critical);

  responder_.clear();
  ASSERT_TRUE(pick(w, QStringLiteral("财务室")));
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("该客户端已发生业务，程序拒绝删除！")});
  EXPECT_EQ(machineIds(), (QList<qint64>{1, 2, 3}));
}

TEST_F(WorkstationTest, AChangeGoesToTheRowTakenIntoTheBoxes) {
  addRow(2, QStringLiteral("前台"));
  addRow(3, QStringLiteral("财务室"));
  frmKhdgl w;
  choose(w, frmKhdgl::Modify);
  EXPECT_TRUE(w.txtCz[0]->isEnabled());
  ASSERT_TRUE(pick(w, QStringLiteral("前台")));
  EXPECT_EQ(w.txtCz[1]->text(), QStringLiteral("前台"));
  w.txtCz[0]->setText(QStringLiteral("新单位"));
  w.txtCz[1]->setText(QStringLiteral("收银台"));
  // The grid's current row moves without a click before 确定.
  w.Fg->setRow(w.Fg->fixedRows() + 1);
  w.eCmdzx_Click(0);
  const auto rows = Db().query(QStringLiteral("select 机器ID,单位名称,客户端名称 from PJ_Jq order by 机器ID")).rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(VariantText(rows[1].value(1)), QStringLiteral("新单位"));
  EXPECT_EQ(VariantText(rows[1].value(2)), QStringLiteral("收银台"));
  EXPECT_EQ(VariantText(rows[2].value(2)), QStringLiteral("财务室"));
  EXPECT_EQ(VariantText(rows[0].value(2)), QStringLiteral("主控机"));
}

TEST_F(WorkstationTest, EmptyBoxesAndMissingChoicesWriteNothing) {
  frmKhdgl w;
  choose(w, frmKhdgl::Add);
  w.txtCz[0]->setText(QStringLiteral("分公司"));
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("客户端名称不能为空！")});
  EXPECT_EQ(machineIds(), QList<qint64>{1});

  // 修改 and 删除 with nothing listed to choose.
  responder_.clear();
  choose(w, frmKhdgl::Modify);
  w.txtCz[0]->setText("x");
  w.txtCz[1]->setText("y");
  w.eCmdzx_Click(0);
  choose(w, frmKhdgl::Remove);
  w.eCmdzx_Click(0);
  EXPECT_EQ(responder_.messages.size(), 2u);
  EXPECT_EQ(Db().scalar(QStringLiteral("select 客户端名称 from PJ_Jq")).toString(), QStringLiteral("主控机"));
}

TEST_F(WorkstationTest, TheMainWindowOpensIt) {
  frmMain main;
  main.RunCommand(QStringLiteral("mnu_khd"));
  EXPECT_EQ(modal_.shown, std::vector<QString>{QStringLiteral("frmKhdgl")});
}
