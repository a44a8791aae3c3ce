#include "parties/frmKhgr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "platform/DateBox.h"

frmKhgr::frmKhgr(QWidget* owner)
    : PartyListBase(PartyKind::Person,
                    {QStringLiteral("个人客户"), QStringLiteral("客户信息"), QStringLiteral("个人客户"),
                     QStringLiteral("客户列表"), QStringLiteral("导出客户列表"), QStringLiteral("打印预览客户列表")},
                    owner) {
  setObjectName(QStringLiteral("frmKhgr"));

  addText(0, makeLabel(0, QStringLiteral("姓名：")), QStringLiteral("姓名"), 0, 0);
  addText(1, makeLabel(1, QStringLiteral("助记符：")), QStringLiteral("助记符"), 0, 1);
  Combo2 = new QComboBox(Frame3);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  Combo2->addItems({QStringLiteral("男"), QStringLiteral("女")});
  addField(Combo2, makeLabel(2, QStringLiteral("性别：")), QStringLiteral("性别"), 0, 2);

  dtpCs = new DateBox(Frame3);
  dtpCs->setObjectName(QStringLiteral("dtpCs"));
  dtpCs->setAllowEmpty(true);
  dtpCs->setToolTip(QStringLiteral("按 Delete 键清除生日"));
  addField(dtpCs, makeLabel(3, QStringLiteral("生日：")), QStringLiteral("生日"), 1, 0);
  addText(3, makeLabel(4, QStringLiteral("手机：")), QStringLiteral("手机"), 1, 1);
  addText(4, makeLabel(5, QStringLiteral("座机：")), QStringLiteral("座机"), 1, 2);

  addText(5, makeLabel(6, QStringLiteral("身份证号：")), QStringLiteral("身份证号"), 2, 0);
  Combo1 = new QComboBox(Frame3);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems({QStringLiteral("管理人员"), QStringLiteral("技术人员"), QStringLiteral("职员"), QStringLiteral("农民"),
                    QStringLiteral("军人"), QStringLiteral("无业人员"), QStringLiteral("学生"), QStringLiteral("个体户"),
                    QStringLiteral("其他")});
  addField(Combo1, makeLabel(8, QStringLiteral("职业：")), QStringLiteral("职业"), 2, 1);
  Check1 = new QCheckBox(QStringLiteral("有"), Frame3);
  Check1->setObjectName(QStringLiteral("Check1"));
  addField(Check1, makeLabel(11, QStringLiteral("不良贷款记录：")), QStringLiteral("不良贷款记录"), 2, 2);

  addText(6, makeLabel(7, QStringLiteral("家庭住址：")), QStringLiteral("家庭住址"), 3, 0, 3);

  addText(8, makeLabel(9, QStringLiteral("开户行：")), QStringLiteral("开户行"), 4, 0);
  addText(10, makeLabel(14, QStringLiteral("开户名：")), QStringLiteral("开户名"), 4, 1);
  addText(13, makeLabel(15, QStringLiteral("账号：")), QStringLiteral("银行帐号"), 4, 2);

  addText(9, makeLabel(10, QStringLiteral("健康状况：")), QStringLiteral("健康状况"), 5, 0);
  addText(11, makeLabel(12, QStringLiteral("年收入：")), QStringLiteral("年收入"), 5, 1);
  addText(12, makeLabel(13, QStringLiteral("资产描述：")), QStringLiteral("资产描述"), 6, 0, 3);

  markRequired({labZX.at(0), labZX.at(4), labZX.at(6), labZX.at(7), labZX.at(9), labZX.at(14), labZX.at(15)});
  digitsOnly(txtZX.at(3));
  followNameWithMnemonic(txtZX.at(0));
  setEnterMoves(txtZX.at(0), txtZX.at(1));
  setEnterMoves(txtZX.at(3), txtZX.at(4));
  setEnterMoves(txtZX.at(4), txtZX.at(5));
  setEnterMoves(txtZX.at(5), txtZX.at(6));
  setEnterMoves(txtZX.at(8), txtZX.at(10));
  setEnterMoves(txtZX.at(10), txtZX.at(13));
  setEnterMoves(txtZX.at(13), txtZX.at(9));
  setEnterMoves(txtZX.at(9), Check1);
  setEnterMoves(txtZX.at(11), txtZX.at(12));
  清空();
}

void frmKhgr::InitPartyList() {
  Combo1->setCurrentIndex(0);
  Combo2->setCurrentIndex(0);
  ListColumns = QStringLiteral("编号,姓名,助记符,性别,手机,座机,身份证号,家庭住址,职业,银行帐号,健康状况,年收入,资产描述,生日");
  PartyListBase::InitPartyList();
}

void frmKhgr::SetEditMode(int mode) {
  PartyListBase::SetEditMode(mode);
  if (mode != 0 && mode != 1) 清空();
}

void frmKhgr::清空() { clearFields(); }

bool frmKhgr::checkRequired(bool) {
  // 姓名, 手机, 身份证号, 家庭住址, 开户行, 开户名, 账号.
  return requireFilled({{0, 0}, {3, 4}, {5, 6}, {6, 7}, {8, 9}, {10, 14}, {13, 15}});
}

void frmKhgr::afterSave(bool added, qint32 id) {
  reloadShowing(id);
  if (added) {
    // In pick mode the new person is current in "浏览", ready to be handed back.
    if (PickMode > 0) SelectOption(optBrowse);
    SetEditMode(0);
  } else {
    SetEditMode(1);
    if (PickMode > 0) SelectOption(optBrowse);
  }
}
