#include "parties/admin/frmKhdgl.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/SettingsList.h"
#include "app/services/TextLimits.h"
#include "parties/OptionFrame.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Grid.h"

qint16 NextMachineId() {
  const qint64 next =
      static_cast<qint64>(VariantNumber(Db().scalar(QStringLiteral("select max(机器ID) from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Jq"))))) + 1;
  UniquenessChecked();
  if (next > 32767) throw AppError(6, QStringLiteral("溢出：客户端编号已超过 32767。"));
  return static_cast<qint16>(next);
}

frmKhdgl::frmKhdgl(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmKhdgl"));
  setWindowTitle(QStringLiteral("客户端管理"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  Fg->setMinimumSize(340, 260);

  Frame1 = new QGroupBox(QStringLiteral("操作选项"), this);
  BuildOptionFrame(Frame1, {QStringLiteral("浏览"), QStringLiteral("新增"), QStringLiteral("修改"), QStringLiteral("删除")}, optGn,
                   this, [this](int i) { optGn_Click(i); });

  const char* const labels[] = {"单位名称", "客户端名称"};
  auto* boxes = new QGridLayout;
  for (int i = 0; i < 2; ++i) {
    lblLb[i] = new QLabel(QString::fromUtf8(labels[i]), this);
    lblLb[i]->setObjectName(QStringLiteral("lblLb_%1").arg(i));
    txtCz[i] = new QLineEdit(this);
    txtCz[i]->setObjectName(QStringLiteral("txtCz_%1").arg(i));
    txtCz[i]->setMinimumWidth(220);
    txtCz[i]->installEventFilter(this);
    boxes->addWidget(lblLb[i], i, 0, Qt::AlignRight);
    boxes->addWidget(txtCz[i], i, 1);
    LimitTextBox(txtCz[i], QStringLiteral("PJ_Jq"), QString::fromUtf8(labels[i]), QString::fromUtf8(labels[i]));
  }
  boxes->setVerticalSpacing(8);

  eCmdzx = new ButtonArray(this);
  auto* buttons = RightAlignedButtons({eCmdzx->add(0, QStringLiteral("确定(&A)"), this), eCmdzx->add(1, QStringLiteral("退出(&S)"), this)});
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });

  auto* right = new QVBoxLayout;
  right->addWidget(Frame1);
  right->addSpacing(6);
  right->addLayout(boxes);
  right->addStretch(1);
  right->addLayout(buttons);
  auto* root = new QHBoxLayout(this);
  root->addWidget(Fg, 1);
  root->addSpacing(8);
  root->addLayout(right);
  root->setContentsMargins(12, 12, 12, 12);
  resize(690, 330);

  connect(Fg, &Grid::cellClicked, this, [this] { Fg_Click(); });
  connect(Fg, &Grid::cellDoubleClicked, this, [this] { Fg_DblClick(); });

  Guarded(QString(), this, [this] { 刷新列表(); });
  SetEditState(0);
}

bool frmKhdgl::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < 2; ++i) {
    if (watched != txtCz[i]) continue;
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter moves on to the next box; in the last box it does nothing.
        if (i == 0) txtCz[1]->setFocus();
        return true;
      }
    } else if (event->type() == QEvent::FocusIn) {
      QLineEdit* box = txtCz[i];
      QTimer::singleShot(0, box, [box] { box->selectAll(); });
    }
  }
  return QDialog::eventFilter(watched, event);
}

int frmKhdgl::SelectedMode() const {
  for (int i = 0; i < 4; ++i)
    if (optGn[i]->isChecked()) return i;
  return Browse;
}

void frmKhdgl::刷新列表() {
  gCurrentSql = QStringLiteral("select 编号,单位名称,客户端名称 from PJ_Jq where 主控权限=? order by 编号");
  gCurrentParams = {QStringLiteral("否")};
  LoadGridFromQuery(Fg, false, QString());
  CloseRecordset(gMainRecordset);
}

void frmKhdgl::SetEditState(int mode) {
  const bool on = mode != 0;
  for (int i = 0; i < 2; ++i) {
    txtCz[i]->setEnabled(on);
    lblLb[i]->setEnabled(on);
    if (mode == 2) txtCz[i]->clear();
  }
}

void frmKhdgl::optGn_Click(int index) {
  Guarded(QString(), this, [&] {
    switch (index) {
      case Browse:
        SetEditState(0);
        Fg_Click();
        break;
      case Add:
        SetEditState(2);
        txtCz[0]->setFocus();
        break;
      case Modify:
        SetEditState(1);
        Fg_Click();
        break;
      default:
        break;
    }
  });
}

void frmKhdgl::Fg_Click() {
  Guarded(QString(), this, [this] {
    if (SelectedMode() == Add || !IsGridDataRow(Fg)) return;
    const int r = Fg->row();
    CurrentId = Fg->textMatrix(r, 0).toInt();
    txtCz[0]->setText(Fg->textMatrix(r, 1));
    txtCz[1]->setText(Fg->textMatrix(r, 2));
  });
}

void frmKhdgl::Fg_DblClick() { eCmdzx_Click(0); }

void frmKhdgl::eCmdzx_Click(int index) {
  if (index != 0) {
    reject();
    return;
  }
  Guarded(QString(), this, [this] {
    const int mode = SelectedMode();
    if (mode == Add || mode == Modify) {
      if (!CheckTextLimits(this)) return;
      for (int i = 0; i < 2; ++i)
        if (!ValidateTextInput(txtCz[i], lblLb[i]->text(), 0)) return;
      save(mode);
      刷新列表();
    } else if (mode == Remove) {
      deleteCurrentRow();
    }
  });
}

void frmKhdgl::save(int mode) {
  const QString unit = txtCz[0]->text();
  const QString name = txtCz[1]->text();
  if (mode == Add) {
    // The default creditor of a new workstation is the one this workstation uses.
    const QString creditor = gSettingCount > 1 ? QString(gSystemSettings[1]).remove(QLatin1Char(',')) : QString();
    Transaction t;
    const qint16 id = NextMachineId();
    Db().Execute(QStringLiteral("insert into PJ_Jq (机器ID,单位名称,客户端名称,主控权限,建账日期,参数) values (?,?,?,?,?,?)"),
                 {id, unit, name, QStringLiteral("否"), QStringLiteral("No"), DefaultSettingsList(creditor)});
    t.Commit();
    SetEditState(2);
    txtCz[0]->setFocus();
    return;
  }
  // A change goes to the row whose values were taken into the boxes.
  if (CurrentId <= 0) {
    MsgBox(QStringLiteral("请先在列表中选择要修改的客户端。"), Mb::Critical);
    return;
  }
  const qint64 changed = Db().Execute(QStringLiteral("update PJ_Jq set 单位名称=?,客户端名称=? where 编号=? and 主控权限=?"), {unit, name, CurrentId, QStringLiteral("否")});
  if (changed == 0) MsgBox(QStringLiteral("要修改的客户端已不存在。"), Mb::Critical);
}

void frmKhdgl::deleteCurrentRow() {
  if (!IsGridDataRow(Fg)) {
    MsgBox(QStringLiteral("请先在列表中选择要删除的客户端。"), Mb::Critical);
    return;
  }
  const int r = Fg->row();
  const qint32 id = Fg->textMatrix(r, 0).toInt();
  const QueryResult row = Db().query(QStringLiteral("select 机器ID,客户端名称 from PJ_Jq where 编号=? and 主控权限=?"), {id, QStringLiteral("否")});
  if (row.rows.empty()) {
    刷新列表();
    return;
  }
  const qint64 machine = static_cast<qint64>(VariantNumber(row.rows.front().value(0)));
  const QString name = VariantText(row.rows.front().value(1));
  // Without its row this computer could not log in again.
  if (machine == gMachineId) {
    MsgBox(QStringLiteral("“%1”是本机正在使用的客户端，不能删除。").arg(name), Mb::Critical);
    return;
  }
  const bool used = VariantNumber(Db().scalar(QStringLiteral("select count(*) from PJ_Liushui where 机器ID=?"), {machine})) > 0;
  if (used) {
    MsgBox(QStringLiteral("该客户端已发生业务，程序拒绝删除！"), Mb::Critical);
    return;
  }
  if (MsgBox(QStringLiteral("确定要删除客户端“%1”（%2）吗？").arg(name, Fg->textMatrix(r, 1)), Mb::YesNo + Mb::Question) != Mb::Yes) return;
  Db().Execute(QStringLiteral("delete from  PJ_Jq  where 编号=? and 主控权限=?"), {id, QStringLiteral("否")});
  if (CurrentId == id) CurrentId = 0;
  刷新列表();
}
