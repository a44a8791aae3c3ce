#include "shell/frmLogin.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "shell/AppPictures.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "shell/frmMain.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"

frmLogin::frmLogin(frmMain* owner) : QDialog(owner), main_(owner) {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("登录"));
  // No close command: the title bar keeps only its caption.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);

  auto* frame = new QGroupBox(QStringLiteral("登录信息"), this);
  Image1 = new QLabel(frame);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(AppEmblem(72));
  Image1->setFixedSize(80, 80);
  Image1->setAlignment(Qt::AlignCenter);

  Combo1 = new QComboBox(frame);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setEditable(true);
  Combo1->setMinimumWidth(200);
  txtKl = new QLineEdit(frame);
  txtKl->setObjectName(QStringLiteral("txtKl"));
  txtKl->setEchoMode(QLineEdit::Password);
  txtKl->installEventFilter(this);
  hint_ = new QLabel(QStringLiteral("*默认登录密码为6173"), frame);
  hint_->setStyleSheet(QStringLiteral("color: #C00000;"));
  lblState = new QLabel(QStringLiteral("未连接数据库"), frame);
  lblState->setObjectName(QStringLiteral("lblState"));
  lblState->setStyleSheet(QStringLiteral("color: #C00000; font-weight: bold;"));
  lblState->hide();

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("登录帐号："), frame), 0, 0);
  grid->addWidget(Combo1, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("登录密码："), frame), 1, 0);
  grid->addWidget(txtKl, 1, 1);
  grid->addWidget(hint_, 2, 1);
  grid->addWidget(lblState, 3, 0, 1, 2);
  grid->setVerticalSpacing(10);
  auto* inner = new QHBoxLayout(frame);
  inner->addWidget(Image1, 0, Qt::AlignTop);
  inner->addSpacing(8);
  inner->addLayout(grid, 1);

  eButOK = MakeButton(QStringLiteral("登录(&Z)"), this);
  eButOK->setObjectName(QStringLiteral("eButOK"));
  eButExit = MakeButton(QStringLiteral("放弃(&Esc)"), this);
  eButExit->setObjectName(QStringLiteral("eButExit"));
  MarkDefaultButton(eButOK);
  auto* buttons = RightAlignedButtons({eButOK, eButExit});

  auto* root = new QVBoxLayout(this);
  root->addWidget(frame);
  root->addLayout(buttons);
  root->setContentsMargins(14, 12, 14, 12);

  connect(eButOK, &pbCommand::Click, this, [this] { eButOK_Click(); });
  connect(eButExit, &pbCommand::Click, this, [this] { eButExit_Click(); });
  Form_Load();
}

frmLogin::~frmLogin() = default;

void frmLogin::Form_Load() {
  Guarded(QString(), this, [this] {
    Combo1->clear();
    // Start-up has just asked about the failed connection; the user answered to go on without it.
    if (gSettingsUnread) return setConnected(false);
    OpenMainQuery(QStringLiteral("select 登录账号,编号 from PJ_Admin  order by 编号"));
    if (gMainRecordset.isNothing()) return setConnected(false);
    setConnected(true);
    for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) Combo1->addItem(gMainRecordset.text(QStringLiteral("登录账号")));
    if (Combo1->count() > 0) Combo1->setCurrentIndex(0);
    CloseRecordset(gMainRecordset);
    txtKl->setFocus();
  });
}

void frmLogin::setConnected(bool on) {
  connected_ = on;
  lblState->setVisible(!on);
  Combo1->setEnabled(on);
  txtKl->setEnabled(on);
  hint_->setText(on ? QStringLiteral("*默认登录密码为6173") : QStringLiteral("请检查数据库后按“登录”重新连接，或按“放弃”退出。"));
  if (on) txtKl->setFocus();
}

void frmLogin::refuse(const QString& message) {
  MsgBox(message, Mb::Critical);
  txtKl->clear();
  MarkInputInvalid(txtKl);
  if (!gMainRecordset.isNothing()) CloseRecordset(gMainRecordset);
}

void frmLogin::eButOK_Click() {
  if (!connected_) {
    // Without a database the button connects again: the settings first if start-up could not read them.
    if (gSettingsUnread) Guarded(QString(), this, [] { LoadDatabaseSettings(); });
    if (!gSettingsUnread) Form_Load();
    return;
  }
  Guarded(QStringLiteral("eButOK_Click"), this, [this] {
    if (txtKl->text().isEmpty()) {
      MsgBox(QStringLiteral("请输入您的登录密码。"), Mb::Critical);
      txtKl->setFocus();
      return;
    }
    gLoginAccount = Combo1->currentText().trimmed();
    // The account travels as a bound value: nothing typed here can change the query.
    OpenMainQuery(QStringLiteral("select * from PJ_Admin where 登录账号=?"), {gLoginAccount});
    if (gMainRecordset.isNothing()) return setConnected(false);
    if (gMainRecordset.Eof()) return refuse(QStringLiteral("账号信息错误！"));
    if (gMainRecordset.text(QStringLiteral("登录密码")) != PBclass().Base64Encode(txtKl->text()))
      return refuse(QStringLiteral("密码错误，请重新输入！"));
    if (gMainRecordset.text(QStringLiteral("锁定")) == QStringLiteral("是")) return refuse(QStringLiteral("您的账号被锁定，请联系管理员！"));

    const qint32 id = static_cast<qint32>(gMainRecordset.integer(QStringLiteral("编号")));
    const QString name = gMainRecordset.text(QStringLiteral("姓名"));
    const QString rights = gMainRecordset.text(QStringLiteral("模块权限"));
    QString deptRights = gMainRecordset.text(QStringLiteral("科室权限"));
    const QString dept = gMainRecordset.text(QStringLiteral("科室"));
    const qint32 role = static_cast<qint32>(gMainRecordset.integer(QStringLiteral("账号属性")));
    const qint32 deptId = static_cast<qint32>(gMainRecordset.integer(QStringLiteral("对应科室ID")));
    CloseRecordset(gMainRecordset);
    // "0" stands for the user's own department; every scope filter compares department names.
    if (deptRights == QStringLiteral("0")) deptRights = dept;

    OpenMainQuery(QStringLiteral("select * from PJ_Jq where 机器ID=?"), {static_cast<int>(gMachineId)});
    if (gMainRecordset.isNothing()) return setConnected(false);
    if (gMainRecordset.Eof()) {
      CloseRecordset(gMainRecordset);
      MsgBox(QStringLiteral("本机（机器ID：%1）没有登记为客户端，不能登录！\r\n请联系管理员在“客户端管理”中添加本机。").arg(gMachineId), Mb::Critical);
      return;
    }
    const QString unit = gMainRecordset.text(QStringLiteral("单位名称"));
    QString bookStart = gMainRecordset.text(QStringLiteral("建账日期"));
    const QString settings = gMainRecordset.text(QStringLiteral("参数"));
    CloseRecordset(gMainRecordset);
    ConvertSettingsList(settings, QStringLiteral("读"));

    if (bookStart == QStringLiteral("No")) {
      bookStart = DateText(Clock::today());
      Db().Execute(QStringLiteral("Update PJ_Jq set 建账日期=? where 机器ID=?"), {bookStart, static_cast<int>(gMachineId)});
    }

    // The whole state changes together, only once everything above has succeeded.
    gCurrentUserId = id;
    gUserName = name;
    gCurrentUserRights = rights;
    gDeptRights = deptRights;
    gUserDept = dept;
    gCurrentUserRole = role;
    gUserDeptId = deptId;
    gUnitName = unit;
    gBookStartDate = bookStart;

    accept();
    CloseDatabase();
    if (main_) {
      main_->EnableTimer1();
      main_->初始参数();
    }
  });
}

void frmLogin::eButExit_Click() {
  Guarded(QString(), this, [this] {
    if (main_) main_->hide();
    EndProgram();
  });
}

void frmLogin::reject() {
  // Closing the window is not a way out of the login; Esc is handled as the exit button.
}

void frmLogin::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    e->accept();
    eButExit_Click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void frmLogin::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!main_ || !main_->isVisible()) return;
  // The main window's frame may not be known yet at the first show; its own geometry is.
  QRect frame = frameGeometry();
  frame.moveCenter(main_->geometry().center());
  move(frame.topLeft());
}

void frmLogin::closeEvent(QCloseEvent* e) {
  if (result() == QDialog::Accepted) {
    e->accept();
    return;
  }
  e->ignore();
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtKl && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      if (!txtKl->text().isEmpty()) {
        eButOK_Click();
      } else {
        MsgBox(QStringLiteral("请输入您的登录密码。"), Mb::Critical);
        txtKl->setFocus();
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
