#include "parties/frmYg.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "control/pbCommand.h"
#include "output/frmPrint.h"
#include "parties/StaffAccounts.h"
#include "parties/frmAEDyg.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
const QString kColumns = QStringLiteral("编号,登录账号,姓名,账号级别,科室,手机,锁定");
// The search fields in the order of the combo; the column is taken from here, never from the box.
const QStringList kSearchFields = {QStringLiteral("助记符"), QStringLiteral("姓名"), QStringLiteral("手机"),
                                   QStringLiteral("登录账号")};
enum Column { ColId = 0, ColLogin = 1, ColName = 2, ColLevel = 3, ColDept = 4, ColMobile = 5, ColLocked = 6 };
enum Command { CmdAdd = 0, CmdModify, CmdDelete, CmdLock, CmdExport, CmdPrint, CmdClose };
}  // namespace

frmYg::frmYg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmYg"));
  setWindowTitle(QStringLiteral("帐号权限"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  framML = new QGroupBox(this);
  framML->setObjectName(QStringLiteral("framML"));
  labSpxx = new QLabel(QStringLiteral("查找："), framML);
  labSpxx->setObjectName(QStringLiteral("labSpxx"));
  Combo1 = new QComboBox(framML);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->addItems(kSearchFields);
  txtCzxx = new QLineEdit(framML);
  txtCzxx->setObjectName(QStringLiteral("txtCzxx"));
  txtCzxx->setPlaceholderText(QStringLiteral("输入2位字符快速查找"));
  txtCzxx->setToolTip(QStringLiteral("在这里输入字符可快速查找到客户，支持模糊搜索。"));
  txtCzxx->installEventFilter(this);

  cmdMLr = new ButtonArray(this);
  const QStringList captions = {QStringLiteral("增加(&A)"), QStringLiteral("修改(&E)"), QStringLiteral("删除(&D)"),
                                QStringLiteral("锁/解(&V)"), QStringLiteral("导出(&S)"), QStringLiteral("打印(&P)"),
                                QStringLiteral("退出")};
  const QStringList tips = {QStringLiteral("快捷键：Alt+A"), QStringLiteral("快捷键：Alt+E"), QStringLiteral("快捷键：Alt+D"),
                            QStringLiteral("快捷键：Alt+V"), QStringLiteral("快捷键：Alt+S"), QStringLiteral("快捷键：Alt+P"),
                            QStringLiteral("快捷键：Alt+C或Esc")};
  auto* panel = new QVBoxLayout(framML);
  panel->addWidget(labSpxx);
  panel->addWidget(Combo1);
  panel->addWidget(txtCzxx);
  panel->addSpacing(14);
  for (int i = 0; i < captions.size(); ++i) {
    pbCommand* b = cmdMLr->add(i, captions[i], framML);
    b->setObjectName(QStringLiteral("cmdMLr_%1").arg(i));
    b->setToolTip(tips[i]);
    b->setMinimumHeight(30);
    if (i == CmdClose) panel->addSpacing(10);
    panel->addWidget(b);
  }
  panel->addStretch(1);
  framML->setFixedWidth(170);
  // The close button's caption carries no access key of its own.
  auto* altC = new QShortcut(QKeySequence(QStringLiteral("Alt+C")), this);
  connect(altC, &QShortcut::activated, this, [this] { cmdMLr_Click(CmdClose); });

  framRight = new QGroupBox(QStringLiteral("员工档案信息"), this);
  framRight->setObjectName(QStringLiteral("framRight"));
  Fg = new Grid(framRight);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  auto* right = new QVBoxLayout(framRight);
  right->addWidget(Fg);

  auto* root = new QHBoxLayout(this);
  root->addWidget(framML);
  root->addWidget(framRight, 1);
  root->setContentsMargins(10, 10, 10, 10);
  resize(900, 560);

  connect(cmdMLr, &ButtonArray::clicked, this, [this](int i) { cmdMLr_Click(i); });
  connect(txtCzxx, &QLineEdit::textChanged, this, [this] { txtCzxx_Change(); });
  connect(Fg, &Grid::cellDoubleClicked, this, [this](int row, int) {
    if (row < Fg->fixedRows()) return;
    Fg->setRow(row);
    Fg_DblClick();
  });
}

std::optional<StaffPick> frmYg::PickStaff(QWidget* opener, qint16 mode) {
  frmYg w(opener);
  w.PickMode = mode;
  RunModal(&w);
  return w.Picked;
}

void frmYg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!loaded_) Form_Load();
}

void frmYg::Form_Load() {
  loaded_ = true;
  Guarded(QStringLiteral("关闭基础输出"), nullptr, [this] {
    Combo1->setCurrentIndex(0);
    scope_ = StaffScopeCondition();
    刷新列表();
  });
}

void frmYg::刷新列表() {
  Guarded(QStringLiteral("关闭基础输出"), nullptr, [this] {
    if (scope_.sql.isEmpty()) scope_ = StaffScopeCondition();
    const QString rest = QLatin1Char(' ') + kColumns + QStringLiteral("  from PJ_Admin  where ") + scope_.sql;
    if (PickMode != 0) {
      gCurrentSql = CurrentDialect().selectTop(50, rest);
      cmdMLr->at(CmdClose)->setCaption(QStringLiteral("引用"));
    } else {
      gCurrentSql = QStringLiteral("select") + rest;
      cmdMLr->at(CmdClose)->setCaption(QStringLiteral("退出"));
    }
    gCurrentParams = scope_.params;
    finishList(false);
  });
}

void frmYg::finishList(bool search) {
  LoadGridFromQuery(Fg, false, QString());
  CloseRecordset(gMainRecordset);
  if (search) {
    AddGridTotalRow(Fg, QStringLiteral("0"), QStringLiteral("员工"), 0);
  } else {
    AddGridTotalRowEx(Fg, QStringLiteral("0"), QString(), 0, 350, 0, QString(), 1);
  }
}

void frmYg::txtCzxx_Change() {
  Guarded(QString(), this, [this] {
    const QString text = txtCzxx->text();
    if (text.isEmpty()) {
      // The search was cleared: back to the whole list.
      if (loaded_) 刷新列表();
      return;
    }
    if (text.size() < 2) return;
    if (scope_.sql.isEmpty()) scope_ = StaffScopeCondition();
    const QString field = kSearchFields.value(Combo1->currentIndex(), kSearchFields.first());
    const SqlDialect& d = CurrentDialect();
    gCurrentSql = QStringLiteral("select ") + kColumns + QStringLiteral(" from PJ_Admin where ") + field +
                  QStringLiteral(" like ?") + d.likeEscape() + QStringLiteral("and ") + scope_.sql;
    gCurrentParams = QVariantList{d.likeContains(text)} + scope_.params;
    finishList(true);
  });
}

bool frmYg::eventFilter(QObject* watched, QEvent* e) {
  // A click into the search box starts a new search.
  if (watched == txtCzxx && e->type() == QEvent::MouseButtonPress) txtCzxx->clear();
  return QDialog::eventFilter(watched, e);
}

bool frmYg::refuseReserved(const QString& loginName) {
  if (loginName != kReservedAccount) return false;
  MsgBox(QStringLiteral("此帐号为系统保留，不可更改其权限！"), Mb::Exclamation);
  return true;
}

void frmYg::cmdMLr_Click(int index) {
  Guarded(QStringLiteral("关闭基础输出"), nullptr, [this, index] {
    switch (index) {
      case CmdAdd: {
        frmAEDyg editor(this, this);
        editor.EditMode = 0;
        RunModal(&editor);
        break;
      }
      case CmdModify:
        if (IsGridDataRow(Fg)) modifyAccount();
        break;
      case CmdDelete:
        if (IsGridDataRow(Fg)) deleteAccount();
        break;
      case CmdLock:
        if (IsGridDataRow(Fg)) toggleLock();
        break;
      case CmdExport:
        ExportGridToExcel(Fg, QStringLiteral("Yg"), this);
        break;
      case CmdPrint: {
        frmPrint print(this);
        print.PrintFg(gUnitName + QStringLiteral("帐号权限"), Fg, false, QString());
        break;
      }
      case CmdClose:
        if (PickMode != 0) {
          Fg_DblClick();
          if (Picked) return;  // the hand-back closed the window
        }
        reject();
        break;
      default:
        break;
    }
  });
}

void frmYg::modifyAccount() {
  const int r = Fg->row();
  const QString login = Fg->textMatrix(r, ColLogin);
  if (login == kReservedAccount && gCurrentUserRole < 3) {
    refuseReserved(login);
    return;
  }
  frmAEDyg editor(this, this);
  editor.EditMode = 1;
  editor.AccountId = static_cast<qint32>(Fg->textMatrix(r, ColId).toLongLong());
  RunModal(&editor);
}

qint64 frmYg::accountToChange(const QString& ownRefusal) {
  const int r = Fg->row();
  if (refuseReserved(Fg->textMatrix(r, ColLogin))) return 0;
  const qint64 id = Fg->textMatrix(r, ColId).toLongLong();
  if (id == gCurrentUserId) {
    MsgBox(ownRefusal, Mb::Exclamation);
    return 0;
  }
  return id;
}

void frmYg::deleteAccount() {
  // The account in use cannot vanish under its user.
  const qint64 id = accountToChange(QStringLiteral("不能删除当前登录的帐号！"));
  if (id == 0) return;
  const int r = Fg->row();
  const QString who = Fg->textMatrix(r, ColName) + QStringLiteral("（") + Fg->textMatrix(r, ColLogin) + QStringLiteral("）");
  if (MsgBox(QStringLiteral("会一同删除该登录配置信息，您确认要删除帐号“") + who + QStringLiteral("”吗？"),
             Mb::YesNo + Mb::Question) != Mb::Yes)
    return;
  Db().Execute(QStringLiteral("delete from  PJ_Admin  where 编号=?"), {id});
  MsgBox(QStringLiteral("删除成功！"), Mb::Question + Mb::OkOnly);
  刷新列表();
}

void frmYg::toggleLock() {
  // A user who locks himself out cannot log in again to undo it.
  const qint64 id = accountToChange(QStringLiteral("不能锁定当前登录的帐号！"));
  if (id == 0) return;
  const bool lock = Fg->textMatrix(Fg->row(), ColLocked) == QStringLiteral("否");
  const QString action = lock ? QStringLiteral("锁定") : QStringLiteral("解锁");
  if (MsgBox(QStringLiteral("您确认要") + action + QStringLiteral("该帐号吗？"), Mb::YesNo + Mb::Question) != Mb::Yes) return;
  Db().Execute(QStringLiteral("update PJ_Admin set 锁定=? where 编号=?"),
               {lock ? QStringLiteral("是") : QStringLiteral("否"), id});
  刷新列表();
}

void frmYg::Fg_DblClick() {
  Guarded(QString(), this, [this] {
    if (!IsGridDataRow(Fg)) return;
    if (PickMode == 0) {
      cmdMLr_Click(CmdModify);
      return;
    }
    if (!HandsBack(PickMode)) return;
    const int r = Fg->row();
    StaffPick pick;
    pick.Id = static_cast<qint32>(Fg->textMatrix(r, ColId).toLongLong());
    pick.LoginName = Fg->textMatrix(r, ColLogin);
    pick.Name = Fg->textMatrix(r, ColName);
    pick.Dept = Fg->textMatrix(r, ColDept);
    Picked = pick;
    accept();
  });
}

void frmYg::done(int result) {
  QDialog::done(result);
  PickMode = 0;
  CloseDatabase();
}
