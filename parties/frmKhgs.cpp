#include "parties/frmKhgs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "control/pbCommand.h"
#include "platform/Buttons.h"

frmKhgs::frmKhgs(QWidget* owner)
    : PartyListBase(PartyKind::Company,
                    {QStringLiteral("企业客户"), QStringLiteral("客户信息"), QStringLiteral("企业客户"),
                     QStringLiteral("客户列表"), QStringLiteral("导出客户列表"), QStringLiteral("打印预览客户列表")},
                    owner) {
  setObjectName(QStringLiteral("frmKhgs"));
  modifyOnRowClickInAdd_ = true;

  addText(0, makeLabel(1, QStringLiteral("公司名称：")), QStringLiteral("公司名称"), 0, 0, 2);
  addText(1, makeLabel(0, QStringLiteral("助记符：")), QStringLiteral("助记符"), 0, 2);
  addText(2, makeLabel(2, QStringLiteral("法人姓名：")), QStringLiteral("法人姓名"), 1, 0);
  addText(3, makeLabel(3, QStringLiteral("法人职务：")), QStringLiteral("法人职务"), 1, 1);
  addText(4, makeLabel(4, QStringLiteral("营业执照注册号：")), QStringLiteral("营业执照注册号"), 1, 2);
  addText(5, makeLabel(5, QStringLiteral("住所地：")), QStringLiteral("住所地"), 2, 0, 3);
  addText(6, makeLabel(6, QStringLiteral("开户行：")), QStringLiteral("开户行"), 3, 0);
  addText(7, makeLabel(9, QStringLiteral("开户名：")), QStringLiteral("开户名"), 3, 1);
  addText(8, makeLabel(10, QStringLiteral("银行账号：")), QStringLiteral("银行帐号"), 3, 2);
  addText(9, makeLabel(8, QStringLiteral("手机号：")), QStringLiteral("手机"), 4, 0);
  Check1 = new QCheckBox(QStringLiteral("有"), Frame3);
  Check1->setObjectName(QStringLiteral("Check1"));
  addField(Check1, makeLabel(7, QStringLiteral("不良贷款记录：")), QStringLiteral("不良贷款记录"), 4, 1);

  markRequired({labZX.at(1), labZX.at(2), labZX.at(3), labZX.at(4), labZX.at(5)});
  digitsOnly(txtZX.at(8));
  // The quick search goes by mnemonic, so it follows the company name as it is typed; the user may
  // overwrite it.
  followNameWithMnemonic(txtZX.at(0));
  setEnterMoves(txtZX.at(0), txtZX.at(1));
}

void frmKhgs::InitPartyList() {
  ListColumns = QStringLiteral("编号,公司名称,助记符,法人姓名,法人职务,营业执照注册号,住所地,银行帐号,不良贷款记录,手机");
  PartyListBase::InitPartyList();
  if (PickMode > 0) eCmdzx->at(cmdOk)->setCaption(QStringLiteral("引用(&R)"));
}

void frmKhgs::清空() { clearFields(); }

bool frmKhgs::checkRequired(bool) {
  // 公司名称, 法人姓名, 法人职务, 营业执照注册号, 住所地.
  return requireFilled({{0, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
}

void frmKhgs::afterSave(bool, qint32 id) {
  reloadShowing(id);
  if (PickMode > 0) {
    // The saved company is current in "浏览", ready to be handed back.
    SelectOption(optBrowse);
    return;
  }
  // Ready for the next company.
  SetEditMode(2);
  清空();
}
