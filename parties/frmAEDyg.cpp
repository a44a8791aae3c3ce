#include "parties/frmAEDyg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/Pinyin.h"
#include "app/services/TextLimits.h"
#include "control/pbCommand.h"
#include "parties/StaffAccounts.h"
#include "parties/frmYg.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"

namespace {
QLabel* makeLabel(const QString& caption, int index, QWidget* parent) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(QStringLiteral("lblEd_%1").arg(index));
  return l;
}

QStringList offeredItems(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

QStringList tickedItems(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->checkState() == Qt::Checked) items << list->item(i)->text();
  return items;
}

void addCheckItems(QListWidget* list, const QStringList& texts) {
  for (const QString& t : texts) {
    auto* item = new QListWidgetItem(t, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
}

QStringList lookupNames(int category) {
  QStringList names;
  const QueryResult r = Db().query(
      QStringLiteral("select 名称,编号 from PJ_Zaxiang where 类别=?  order by 排序"), {category});
  for (const QVariantList& row : r.rows) {
    const QString name = VariantText(row.value(0));
    if (!name.trimmed().isEmpty()) names << name;
  }
  return names;
}
}  // namespace

frmAEDyg::frmAEDyg(QWidget* owner, frmYg* list) : QDialog(owner), list_(list) {
  setObjectName(QStringLiteral("frmAEDyg"));
  setWindowTitle(QStringLiteral("权限"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  SSTab1 = new QTabWidget(this);
  SSTab1->setObjectName(QStringLiteral("SSTab1"));

  // Page 基本信息.
  auto* basic = new QWidget(SSTab1);
  for (int i = 0; i < 5; ++i) {
    txtQx[i] = new QLineEdit(basic);
    txtQx[i]->setObjectName(QStringLiteral("txtQx_%1").arg(i));
    QLineEdit* box = txtQx[i];
    connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  }
  txtQx[1]->setEchoMode(QLineEdit::Password);
  LimitTextBox(txtQx[0], QStringLiteral("PJ_Admin"), QStringLiteral("登录账号"), QStringLiteral("登录帐号"));
  LimitTextBox(txtQx[2], QStringLiteral("PJ_Admin"), QStringLiteral("姓名"), QStringLiteral("姓名"));
  LimitTextBox(txtQx[3], QStringLiteral("PJ_Admin"), QStringLiteral("助记符"), QStringLiteral("助记符"));
  LimitTextBox(txtQx[4], QStringLiteral("PJ_Admin"), QStringLiteral("手机"), QStringLiteral("手机"));
  CobQx[0] = new QComboBox(basic);
  CobQx[0]->setObjectName(QStringLiteral("CobQx_0"));
  CobQx[2] = new QComboBox(basic);
  CobQx[2]->setObjectName(QStringLiteral("CobQx_2"));
  lblEd[0] = makeLabel(QStringLiteral("登录帐号"), 0, basic);
  lblEd[1] = makeLabel(QStringLiteral("帐号级别"), 1, basic);
  lblEd[2] = makeLabel(QStringLiteral("登录密码"), 2, basic);
  lblEd[3] = makeLabel(QStringLiteral("姓名"), 3, basic);
  lblEd[4] = makeLabel(QStringLiteral("助记符"), 4, basic);
  lblEd[6] = makeLabel(QStringLiteral("科室"), 6, basic);
  lblEd[7] = makeLabel(QStringLiteral("手机"), 7, basic);
  auto* g = new QGridLayout(basic);
  const auto row = [g](int r, QLabel* label, QWidget* box) {
    g->addWidget(label, r, 0, Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(box, r, 1);
  };
  row(0, lblEd[0], txtQx[0]);
  row(1, lblEd[2], txtQx[1]);
  row(2, lblEd[1], CobQx[0]);
  row(3, lblEd[3], txtQx[2]);
  row(4, lblEd[4], txtQx[3]);
  row(5, lblEd[7], txtQx[4]);
  row(6, lblEd[6], CobQx[2]);
  g->setRowStretch(7, 1);
  g->setColumnStretch(1, 1);
  g->setHorizontalSpacing(12);
  g->setVerticalSpacing(10);
  g->setContentsMargins(24, 18, 36, 12);
  SSTab1->addTab(basic, QStringLiteral("基本信息"));

  pbCQx = new ButtonArray(this);
  // Pages 科室权限 and 模块权限: a check list with its buttons underneath.
  const auto rightsPage = [this](int listIndex, const QList<int>& buttons, const QStringList& captions) {
    auto* page = new QWidget(SSTab1);
    LstQx[listIndex] = new QListWidget(page);
    LstQx[listIndex]->setObjectName(QStringLiteral("LstQx_%1").arg(listIndex));
    auto* v = new QVBoxLayout(page);
    v->addWidget(LstQx[listIndex], 1);
    auto* h = new QHBoxLayout;
    h->addStretch(1);
    for (int i = 0; i < buttons.size(); ++i) {
      pbCommand* b = pbCQx->add(buttons[i], captions[i], page);
      b->setObjectName(QStringLiteral("pbCQx_%1").arg(buttons[i]));
      h->addWidget(b);
    }
    v->addLayout(h);
    return page;
  };
  SSTab1->addTab(rightsPage(1, {1}, {QStringLiteral("全选")}), QStringLiteral("科室权限"));
  SSTab1->addTab(rightsPage(2, {2, 3}, {QStringLiteral("全选"), QStringLiteral("推荐")}), QStringLiteral("模块权限"));

  eCmdzx = new ButtonArray(this);
  pbCommand* ok = eCmdzx->add(0, QStringLiteral("确定(&A)"), this);
  ok->setObjectName(QStringLiteral("eCmdzx_0"));
  pbCommand* exit = eCmdzx->add(1, QStringLiteral("退出(&S)"), this);
  exit->setObjectName(QStringLiteral("eCmdzx_1"));
  auto* buttons = RightAlignedButtons({ok, exit});

  auto* root = new QVBoxLayout(this);
  root->addWidget(SSTab1, 1);
  root->addLayout(buttons);
  root->setContentsMargins(12, 12, 12, 12);
  resize(460, 420);

  connect(txtQx[2], &QLineEdit::textEdited, this, [this](const QString& name) {
    Guarded(QString(), this, [&] { txtQx[3]->setText(GetPinyinInitials(name)); });
  });
  connect(pbCQx, &ButtonArray::clicked, this, [this](int i) {
    Guarded(QString(), this, [&] {
      if (i == 1 || i == 2) 全选(LstQx[i]);
      if (i == 3) 推荐();
    });
  });
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) {
    if (i == 0) 增修(EditMode);
    if (i == 1) reject();
  });
}

void frmAEDyg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!loaded_) Form_Load();
}

qint16 frmAEDyg::账户属性(const QString& levelText) { return LevelNumber(levelText); }

void frmAEDyg::fillRightsLists() {
  LstQx[1]->clear();
  LstQx[2]->clear();
  if (gCurrentUserRole >= 3) {
    addCheckItems(LstQx[1], lookupNames(9));
    addCheckItems(LstQx[2], lookupNames(5));
  } else {
    // A user can hand on only the departments and rights he holds himself.
    addCheckItems(LstQx[1], SplitRights(gDeptRights));
    addCheckItems(LstQx[2], SplitRights(gCurrentUserRights));
  }
}

void frmAEDyg::增加初始项() {
  Guarded(QStringLiteral("增加初始项 "), this, [this] {
    CobQx[0]->clear();
    CobQx[0]->addItems(LevelEntriesFor(gCurrentUserRole));
    CobQx[2]->clear();
    FillComboWithLookupItems(CobQx[2], QStringLiteral("部门"), QString());
    if (CobQx[2]->count() > 0) CobQx[2]->setCurrentIndex(0);
    fillRightsLists();
  });
}

void frmAEDyg::refuseLoad(const QString& message) {
  loadedOk_ = false;
  eCmdzx->at(0)->setEnabled(false);
  MsgBox(message, Mb::Critical);
  // Closing from inside the show would leave the modal loop running; close once it runs.
  QTimer::singleShot(0, this, [this] { reject(); });
}

void frmAEDyg::Form_Load() {
  loaded_ = true;
  Guarded(QStringLiteral("Form_Load "), this, [this] {
    InitPinyinTables();
    buffer_ = LevelEntries().join(QLatin1Char(','));
    if (EditMode != 1) {
      增加初始项();
      if (CobQx[0]->count() > 0) CobQx[0]->setCurrentIndex(0);
    } else {
      CobQx[2]->clear();
      FillComboWithLookupItems(CobQx[2], QStringLiteral("部门"), QString());
      fillRightsLists();

      const QueryResult r = Db().query(QStringLiteral("select * from PJ_Admin where 编号=?"), {AccountId});
      if (r.rows.empty()) return refuseLoad(QStringLiteral("该帐号已不存在！"));
      const auto field = [&r](const char* name) {
        return VariantText(r.rows.front().value(static_cast<int>(r.columns.indexOf(QString::fromUtf8(name)))));
      };
      const int level = field("账号属性").toInt();
      const QString dept = field("科室");
      // The list shows only accounts within the user's scope; an account outside it is not his.
      if (!StaffInScope(level, dept)) return refuseLoad(QStringLiteral("您无权修改该帐号！"));

      ownAccount_ = AccountId == gCurrentUserId;
      reserved_ = field("登录账号") == kReservedAccount;
      txtQx[0]->setText(field("登录账号"));
      txtQx[2]->setText(field("姓名"));
      txtQx[3]->setText(field("助记符"));
      txtQx[4]->setText(field("手机"));
      txtQx[1]->clear();
      // Renaming the reserved account would take away its protection.
      txtQx[0]->setReadOnly(reserved_);

      storedLevelWord_ = field("账号级别");
      storedDeptRights_ = field("科室权限");
      storedModuleRights_ = field("模块权限");
      // The level can be changed only for another account below the user's own level, so that
      // saving a peer's phone number never demotes him.
      levelChangeable_ = gCurrentUserRole >= 2 && !ownAccount_ && level < gCurrentUserRole;
      CobQx[0]->clear();
      if (levelChangeable_) {
        CobQx[0]->addItems(LevelEntriesFor(gCurrentUserRole));
        SelectComboItemByText(CobQx[0], storedLevelWord_);
      } else {
        CobQx[0]->addItem(storedLevelWord_);
        CobQx[0]->setCurrentIndex(0);
        CobQx[0]->setEnabled(false);
      }

      绑定权限(LstQx[1], storedDeptRights_);
      绑定权限(LstQx[2], storedModuleRights_);
      SelectComboItemByText(CobQx[2], dept);
    }
    SSTab1->setTabEnabled(1, gCurrentUserRole >= 2);
  });
}

void frmAEDyg::绑定权限(QListWidget* list, const QString& stored) {
  for (int i = 0; i < list->count(); ++i)
    if (ListHasItem(stored, list->item(i)->text())) list->item(i)->setCheckState(Qt::Checked);
}

QString frmAEDyg::选定权限(QListWidget* list) {
  const QStringList ticked = tickedItems(list);
  return ticked.isEmpty() ? QStringLiteral(",") : ticked.join(QLatin1Char(','));
}

void frmAEDyg::全选(QListWidget* list) {
  for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
}

void frmAEDyg::推荐() {
  const QString preset = PresetRights(CobQx[0]->currentText());
  if (!preset.isEmpty()) buffer_ = preset;
  绑定权限(LstQx[2], buffer_);
}

bool frmAEDyg::checkedValidate(QLineEdit* box, const QString& caption) {
  if (ValidateTextInput(box, caption, 0)) return true;
  // The message names a field of the first page: show it.
  SSTab1->setCurrentIndex(0);
  box->setFocus();
  return false;
}

bool frmAEDyg::增修(qint16 editMode) {
  bool saved = false;
  Guarded(QString(), this, [&] {
    if (!loadedOk_) return;
    const bool add = editMode != 1;
    if (!CheckTextLimits(this)) return;
    // Names are stored trimmed; a box of blanks is as empty as an empty one.
    for (int i : {0, 2, 3, 4}) txtQx[i]->setText(txtQx[i]->text().trimmed());
    if (!checkedValidate(txtQx[0], QStringLiteral("登录帐号"))) return;
    if (add && !checkedValidate(txtQx[1], QStringLiteral("登录密码"))) return;
    if (!checkedValidate(txtQx[2], QStringLiteral("姓名"))) return;
    if (!checkedValidate(txtQx[3], QStringLiteral("助记符"))) return;

    const QString login = txtQx[0]->text();
    const QString dept = CobQx[2]->currentText();
    const QVariant deptId =
        Db().scalar(QStringLiteral("Select 编号 from PJ_Zaxiang where 名称=? and 类别=9"), {dept});

    // Two accounts with one login name would log in against each other's row. The name is read and
    // the row written in one transaction; on SQL Server the read holds the name until it ends, so two
    // workstations cannot add the same one.
    std::optional<Transaction> tx(std::in_place);
    const QString readName = QStringLiteral("select 编号 from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Admin")) +
                             QStringLiteral(" where 登录账号=?");
    const QVariant taken = add ? Db().scalar(readName, {login})
                               : Db().scalar(readName + QStringLiteral(" and 编号<>?"), {login, AccountId});
    UniquenessChecked();
    if (taken.isValid()) {
      tx.reset();
      MsgBox(QStringLiteral("该账户已存在，请重新输入！"), Mb::Critical);
      MarkInputInvalid(txtQx[0]);
      SSTab1->setCurrentIndex(0);
      return;
    }
    if (!deptId.isValid()) {
      tx.reset();
      MsgBox(dept.isEmpty() ? QStringLiteral("科室不能为空！请先在“常用数值”的“部门”中添加科室。")
                            : QStringLiteral("科室“") + dept + QStringLiteral("”不在部门列表中，请重新选择！"),
             Mb::Critical);
      SSTab1->setCurrentIndex(0);
      CobQx[2]->setFocus();
      return;
    }

    QStringList columns = {QStringLiteral("登录账号"), QStringLiteral("姓名"), QStringLiteral("助记符"),
                           QStringLiteral("科室"), QStringLiteral("手机"), QStringLiteral("科室权限"),
                           QStringLiteral("模块权限"), QStringLiteral("对应科室ID")};
    QVariantList values = {login, txtQx[2]->text(), txtQx[3]->text(), dept, txtQx[4]->text(),
                           MergeRights(add ? QString() : storedDeptRights_, offeredItems(LstQx[1]), tickedItems(LstQx[1])),
                           MergeRights(add ? QString() : storedModuleRights_, offeredItems(LstQx[2]), tickedItems(LstQx[2])),
                           deptId};
    // Passwords are kept exactly as typed; an empty box on modify keeps the old one.
    if (add || !txtQx[1]->text().isEmpty()) {
      columns << QStringLiteral("登录密码");
      values << PBclass().Base64Encode(txtQx[1]->text());
    }
    const QString level = CobQx[0]->currentText();
    if (add || (levelChangeable_ && level != storedLevelWord_)) {
      columns << QStringLiteral("账号级别") << QStringLiteral("账号属性");
      values << level << int(账户属性(level));
    }

    if (add) {
      columns << QStringLiteral("锁定") << QStringLiteral("客户端权限");
      values << QStringLiteral("否") << gUnitName;
      QStringList marks;
      for (qsizetype i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
      Db().Execute(QStringLiteral("insert into PJ_Admin (") + columns.join(QLatin1Char(',')) + QStringLiteral(") values (") +
                       marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                   values);
    } else {
      // The account may have been changed by someone else meanwhile: check it is still this user's.
      const QueryResult now =
          Db().query(QStringLiteral("select 账号属性,科室 from PJ_Admin where 编号=?"), {AccountId});
      if (now.rows.empty()) {
        tx.reset();
        MsgBox(QStringLiteral("该帐号已不存在！"), Mb::Critical);
        return;
      }
      if (!StaffInScope(VariantText(now.rows.front().value(0)).toInt(), VariantText(now.rows.front().value(1)))) {
        tx.reset();
        MsgBox(QStringLiteral("您无权修改该帐号！"), Mb::Critical);
        return;
      }
      QStringList sets;
      for (const QString& c : columns) sets << c + QStringLiteral("=?");
      values << AccountId;
      Db().Execute(QStringLiteral("update PJ_Admin set ") + sets.join(QLatin1Char(',')) + QStringLiteral(" where 编号=?"),
                   values);
    }
    tx->Commit();
    saved = true;
    MsgBox(add ? QStringLiteral("添加成功！") : QStringLiteral("修改成功！"), Mb::Exclamation);
    if (list_) list_->刷新列表();
    accept();
  });
  return saved;
}
