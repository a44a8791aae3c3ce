#include "shell/frmPass.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"

frmPass::frmPass(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmPass"));
  setWindowTitle(QStringLiteral("修改登录密码"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  const char* const captions[] = {"旧密码", "新密码", "重复新密码"};
  auto* grid = new QGridLayout;
  for (int i = 0; i < 3; ++i) {
    lblLb[i] = new QLabel(QString::fromUtf8(captions[i]), this);
    lblLb[i]->setObjectName(QStringLiteral("lblLb_%1").arg(i));
    txtCz[i] = new QLineEdit(this);
    txtCz[i]->setObjectName(QStringLiteral("txtCz_%1").arg(i));
    txtCz[i]->setEchoMode(QLineEdit::Password);
    txtCz[i]->setMinimumWidth(180);
    grid->addWidget(lblLb[i], i, 0, Qt::AlignRight);
    grid->addWidget(txtCz[i], i, 1);
  }
  grid->setVerticalSpacing(10);
  eCmdzx = new ButtonArray(this);
  auto* buttons = RightAlignedButtons({eCmdzx->add(0, QStringLiteral("确定(&A)"), this), eCmdzx->add(1, QStringLiteral("退出(&S)"), this)});
  MarkDefaultButton(eCmdzx->at(0));
  auto* root = new QVBoxLayout(this);
  root->addLayout(grid);
  root->addSpacing(6);
  root->addLayout(buttons);
  root->setContentsMargins(16, 14, 16, 12);
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });
}

void frmPass::eCmdzx_Click(int index) {
  if (index != 0) {
    reject();
    return;
  }
  Guarded(QString(), this, [this] { changePassword(); });
}

void frmPass::changePassword() {
  for (int i = 0; i < 3; ++i)
    if (!ValidateTextInput(txtCz[i], lblLb[i]->text(), 0)) return;
  OpenMainQuery(QStringLiteral("select * from PJ_Admin where 编号=?"), {gCurrentUserId});
  if (gMainRecordset.isNothing()) return;
  PBclass pb;
  if (gMainRecordset.Eof() || gMainRecordset.text(QStringLiteral("登录密码")) != pb.Base64Encode(txtCz[0]->text())) {
    MsgBox(QStringLiteral("原密码填写错误！"), Mb::Critical);
    txtCz[0]->clear();
    txtCz[0]->setFocus();
    CloseRecordset(gMainRecordset);
    return;
  }
  if (txtCz[1]->text() != txtCz[2]->text()) {
    MsgBox(QStringLiteral("两次密码输入错误，请重新输入！"), Mb::Critical);
    txtCz[1]->clear();
    txtCz[2]->clear();
    txtCz[1]->setFocus();
    CloseRecordset(gMainRecordset);
    return;
  }
  gMainRecordset.setValue(QStringLiteral("登录密码"), pb.Base64Encode(txtCz[2]->text()));
  gMainRecordset.Update();
  CloseRecordset(gMainRecordset);
  MsgBox(QStringLiteral("密码修改成功，请重新登录！"), Mb::Information);
  accept();
}
