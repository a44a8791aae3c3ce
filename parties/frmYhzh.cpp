#include "parties/frmYhzh.h"

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

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/TextLimits.h"
#include "control/pbCommand.h"
#include "parties/OptionFrame.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
enum Option { OptBrowse = 0, OptAdd, OptModify, OptDelete };
}  // namespace

frmYhzh::frmYhzh(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmYhzh"));
  setWindowTitle(QStringLiteral("银行账号"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);

  Frame1 = new QGroupBox(QStringLiteral("账号信息"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  auto* boxes = new QGridLayout(Frame1);
  const QStringList captions = {QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("帐号")};
  for (int i = 0; i < 3; ++i) {
    lblLb[i] = new QLabel(captions[i], Frame1);
    lblLb[i]->setObjectName(QStringLiteral("lblLb_%1").arg(i));
    txtCz[i] = new QLineEdit(Frame1);
    txtCz[i]->setObjectName(QStringLiteral("txtCz_%1").arg(i));
    txtCz[i]->installEventFilter(this);
    QLineEdit* box = txtCz[i];
    connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
    boxes->addWidget(lblLb[i], i, 0, Qt::AlignRight | Qt::AlignVCenter);
    boxes->addWidget(txtCz[i], i, 1);
  }
  const QStringList columns = {QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("账号")};
  for (int i = 0; i < 3; ++i) LimitTextBox(txtCz[i], QStringLiteral("PJ_Yhzh"), columns[i], captions[i]);
  boxes->setColumnStretch(1, 1);

  Frame2 = new QGroupBox(QStringLiteral("操作选项"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  BuildOptionFrame(Frame2, {QStringLiteral("浏览"), QStringLiteral("新增"), QStringLiteral("修改"), QStringLiteral("删除")}, optGn,
                   this, [this](int i) { optGn_Click(i); });

  eCmdzx = new ButtonArray(this);
  pbCommand* ok = eCmdzx->add(0, QStringLiteral("确定(&A)"), this);
  ok->setObjectName(QStringLiteral("eCmdzx_0"));
  pbCommand* exit = eCmdzx->add(1, QStringLiteral("退出(&S)"), this);
  exit->setObjectName(QStringLiteral("eCmdzx_1"));
  exit->setToolTip(QStringLiteral("快捷键：Alt+S或Esc"));
  auto* buttons = new QVBoxLayout;
  for (pbCommand* b : {ok, exit}) {
    b->setMinimumHeight(30);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Frame1, 1);
  bottom->addWidget(Frame2);
  bottom->addLayout(buttons);
  auto* root = new QVBoxLayout(this);
  root->addWidget(Fg, 1);
  root->addLayout(bottom);
  root->setContentsMargins(10, 10, 10, 10);
  resize(660, 460);

  connect(Fg, &Grid::cellClicked, this, [this] { Fg_Click(); });
  connect(Fg, &Grid::cellDoubleClicked, this, [this](int row, int) {
    if (row < Fg->fixedRows()) return;
    Fg->setRow(row);
    eCmdzx_Click(0);
  });
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });

  刷新列表();
  SetEditState(0);
}

int frmYhzh::selectedOption() const {
  for (int i = 0; i < 4; ++i)
    if (optGn[i]->isChecked()) return i;
  return OptBrowse;
}

void frmYhzh::刷新列表() {
  Guarded(QString(), this, [this] {
    gCurrentSql = QStringLiteral("select 编号,开户行,开户名,账号 from PJ_Yhzh where 类别=0 order by 编号");
    gCurrentParams.clear();
    LoadGridFromQuery(Fg, false, QString());
    CloseRecordset(gMainRecordset);
  });
}

void frmYhzh::SetEditState(int mode) {
  for (int i = 0; i < 3; ++i) {
    txtCz[i]->setEnabled(mode != 0);
    lblLb[i]->setEnabled(mode != 0);
    if (mode == 2) {
      txtCz[i]->clear();
      ClearInputMark(txtCz[i]);
    }
  }
}

void frmYhzh::Fg_Click() {
  Guarded(QString(), this, [this] {
    if (!IsGridDataRow(Fg)) return;
    const int r = Fg->row();
    clickedId_ = Fg->textMatrix(r, 0).toLongLong();
    for (int i = 0; i < 3; ++i) txtCz[i]->setText(Fg->textMatrix(r, i + 1));
  });
}

void frmYhzh::optGn_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case OptBrowse:
        SetEditState(0);
        Fg_Click();
        break;
      case OptAdd:
        SetEditState(2);
        txtCz[0]->setFocus();
        break;
      case OptModify:
        SetEditState(1);
        Fg_Click();
        break;
      default:
        break;
    }
  });
}

void frmYhzh::eCmdzx_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == 1) {
      reject();
      return;
    }
    switch (selectedOption()) {
      case OptAdd: save(true); break;
      case OptModify: save(false); break;
      case OptDelete: deleteCurrent(); break;
      default: break;
    }
  });
}

void frmYhzh::save(bool add) {
  if (!add && clickedId_ == 0) {
    MsgBox(QStringLiteral("请先在列表中选择要修改的账号！"), Mb::Exclamation);
    return;
  }
  if (!CheckTextLimits(Frame1)) return;
  if (!ValidateTextInput(txtCz[0], QStringLiteral("开户行"), 0)) return;
  if (!ValidateTextInput(txtCz[1], QStringLiteral("开户名"), 0)) return;
  const QVariantList values = {txtCz[0]->text(), txtCz[1]->text(), txtCz[2]->text()};
  if (add) {
    // 类别 0 marks our own accounts; it is written, not left to the column's default.
    Db().Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,?,0)"), values);
    SetEditState(2);
    txtCz[0]->setFocus();
  } else if (Db().Execute(QStringLiteral("update PJ_Yhzh set 开户行=?,开户名=?,账号=? where 编号=? and 类别=0"),
                          QVariantList(values) << clickedId_) == 0) {
    MsgBox(QStringLiteral("该账号已不存在！"), Mb::Exclamation);
  }
  刷新列表();
}

void frmYhzh::deleteCurrent() {
  if (!IsGridDataRow(Fg)) return;
  const int r = Fg->row();
  const qint64 id = Fg->textMatrix(r, 0).toLongLong();
  const QString who = Fg->textMatrix(r, 1) + QLatin1Char(' ') + Fg->textMatrix(r, 2) + QLatin1Char(' ') + Fg->textMatrix(r, 3);
  if (MsgBox(QStringLiteral("确认要删除账号“") + who.trimmed() + QStringLiteral("”吗？"), Mb::YesNo + Mb::Question) != Mb::Yes)
    return;
  Db().Execute(QStringLiteral("delete from PJ_Yhzh where 编号=? and 类别=0"), {id});
  if (id == clickedId_) clickedId_ = 0;
  刷新列表();
}

bool frmYhzh::eventFilter(QObject* watched, QEvent* e) {
  for (int i = 0; i < 3; ++i) {
    if (watched != txtCz[i]) continue;
    if (e->type() == QEvent::FocusIn) {
      // Entering a box selects its text, so typing replaces it.
      QLineEdit* box = txtCz[i];
      QTimer::singleShot(0, box, [box] { box->selectAll(); });
    } else if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (i < 2) txtCz[i + 1]->setFocus();
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, e);
}
