#include "parties/frmTzr.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/services/ErrorReport.h"

frmTzr::frmTzr(QWidget* owner)
    : PartyListBase(PartyKind::Investor,
                    {QStringLiteral("投资人"), QStringLiteral("投资人信息"), QStringLiteral("投资人"),
                     QStringLiteral("投资人列表"), QStringLiteral("导出投资人列表"), QStringLiteral("打印预览投资人列表")},
                    owner) {
  setObjectName(QStringLiteral("frmTzr"));
  modifyOnRowClickInAdd_ = true;
  closeWhenNothingToPick_ = true;

  addText(0, makeLabel(0, QStringLiteral("姓名：")), QStringLiteral("姓名"), 0, 0);
  addText(1, makeLabel(1, QStringLiteral("助记符：")), QStringLiteral("助记符"), 0, 1);
  Combo1 = new QComboBox(Frame3);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setEditable(true);
  Combo1->addItems({QStringLiteral("男"), QStringLiteral("女")});
  addField(Combo1, makeLabel(2, QStringLiteral("性别：")), QStringLiteral("性别"), 0, 2);
  addText(3, makeLabel(4, QStringLiteral("手机：")), QStringLiteral("手机"), 1, 0);
  addText(4, makeLabel(5, QStringLiteral("身份证号：")), QStringLiteral("身份证号"), 1, 1, 2);
  addText(2, makeLabel(3, QStringLiteral("住址：")), QStringLiteral("家庭住址"), 2, 0, 3);
  addText(5, makeLabel(6, QStringLiteral("开户行：")), QStringLiteral("开户行"), 3, 0);
  addText(6, makeLabel(8, QStringLiteral("开户名：")), QStringLiteral("开户名"), 3, 1);
  addText(7, makeLabel(9, QStringLiteral("帐号：")), QStringLiteral("银行账号"), 3, 2);
  addText(8, makeLabel(7, QStringLiteral("备注：")), QStringLiteral("备注"), 4, 0, 3);

  markRequired({labZX.at(0), labZX.at(5)});
  // The mnemonic always shows the initials of the name: every box but 开户名 and 备注 renews it.
  for (auto [index, box] : txtZX)
    if (index != 6 && index != 8) followNameWithMnemonic(box);
  setEnterMoves(txtZX.at(0), txtZX.at(1));
}

void frmTzr::InitPartyList() {
  Combo1->setCurrentIndex(0);
  ListColumns = QStringLiteral("编号,姓名,助记符,性别,家庭住址,手机,身份证号,银行账号,备注");
  PartyListBase::InitPartyList();
}

bool frmTzr::checkRequired(bool adding) {
  // Adding names the fields without the colon of their labels.
  if (!ValidateTextInput(txtZX.at(0), adding ? QStringLiteral("姓名") : labZX.at(0)->text(), 0)) return false;
  return ValidateTextInput(txtZX.at(4), adding ? QStringLiteral("身份证号") : labZX.at(5)->text(), 0);
}

void frmTzr::afterSave(bool added, qint32 id) {
  reloadShowing(id);
  // The boxes keep the saved values; "新增" stays selected for a similar investor.
  SetEditMode(added ? 2 : 1);
}
