#include "parties/frmZxglb.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "app/data/DataAccess.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/TextLimits.h"
#include "app/services/LoginState.h"
#include "control/pbCommand.h"
#include "parties/admin/frmDrExcel.h"
#include "parties/OptionFrame.h"
#include "parties/PartyData.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
enum Option { OptBrowse = 0, OptAdd, OptModify, OptDelete };
enum Command { CmdOk = 0, CmdImport, CmdExport, CmdClose };
constexpr int kDepartments = 9;

// A rights or department list with one whole item renamed.
QString renameItem(const QString& list, const QString& from, const QString& to) {
  QStringList parts = list.split(QLatin1Char(','));
  for (QString& p : parts)
    if (p.trimmed() == from) p = to;
  return parts.join(QLatin1Char(','));
}
}  // namespace

frmZxglb::frmZxglb(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmZxglb"));
  setWindowTitle(QStringLiteral("常用数值"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  List1 = new QListWidget(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setFixedWidth(150);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);

  Label1 = new QLabel(QStringLiteral("名称"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text2 = new QLineEdit(this);
  Text2->setObjectName(QStringLiteral("Text2"));
  for (QLineEdit* box : {Text1, Text2}) connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  // 参数1 and 参数2 have one length, so Text2 takes it whichever list it serves.
  LimitTextBox(Text1, QStringLiteral("PJ_Zaxiang"), QStringLiteral("名称"), QStringLiteral("名称"));
  LimitTextBox(Text2, QStringLiteral("PJ_Zaxiang"), QStringLiteral("参数1"), QString());
  auto* boxes = new QGridLayout;
  boxes->addWidget(Label1, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
  boxes->addWidget(Text1, 0, 1);
  boxes->addWidget(Label2, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
  boxes->addWidget(Text2, 1, 1);
  boxes->setColumnStretch(1, 1);

  Frame2 = new QGroupBox(QStringLiteral("操作选项"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  BuildOptionFrame(Frame2, {QStringLiteral("浏览"), QStringLiteral("增加"), QStringLiteral("修改"), QStringLiteral("删除")}, optGn,
                   this, [this](int i) { optGn_Click(i); });

  eCmdzx = new ButtonArray(this);
  const QStringList captions = {QStringLiteral("确定(&X)"), QStringLiteral("导入(&Q)"), QStringLiteral("导出(&W)"),
                                QStringLiteral("退出(&E)")};
  auto* buttons = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    pbCommand* b = eCmdzx->add(i, captions[i], this);
    b->setObjectName(QStringLiteral("eCmdzx_%1").arg(i));
    b->setMinimumHeight(30);
    buttons->addWidget(b, i / 2, i % 2);
  }

  auto* side = new QVBoxLayout;
  side->addLayout(boxes);
  side->addWidget(Frame2);
  side->addLayout(buttons);
  side->addStretch(1);
  auto* sideWidget = new QWidget(this);
  sideWidget->setLayout(side);
  sideWidget->setFixedWidth(250);
  side->setContentsMargins(0, 0, 0, 0);

  auto* root = new QHBoxLayout(this);
  root->addWidget(List1);
  root->addWidget(Fg, 1);
  root->addWidget(sideWidget);
  root->setContentsMargins(10, 10, 10, 10);
  root->setSpacing(10);
  resize(780, 460);

  connect(List1, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row != current_) List1_Click(row);
  });
  connect(Fg, &Grid::cellClicked, this, [this](int row, int) { Fg_Click(row); });
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });

  Form_Load();
}

bool frmZxglb::IsReservedName(const QString& name) {
  return name == QStringLiteral("中药费") || name == QStringLiteral("西药费") || name == QStringLiteral("材料费");
}

const frmZxglb::LookupList* frmZxglb::list() const {
  if (current_ < 0 || current_ >= static_cast<int>(lists_.size())) return nullptr;
  return &lists_[static_cast<size_t>(current_)];
}

int frmZxglb::selectedOption() const {
  for (int i = 0; i < 4; ++i)
    if (optGn[i]->isChecked()) return i;
  return OptBrowse;
}

void frmZxglb::Form_Load() {
  Guarded(QString(), this, [this] {
    lists_.clear();
    List1->clear();
    const QueryResult r =
        Db().query(QStringLiteral("select 名称,类别,参数,参数名,编号 from PJ_Zxlb where 显示=1 order by 编号"));
    for (const QVariantList& row : r.rows) {
      LookupList l;
      l.Name = VariantText(row.value(0));
      l.Category = static_cast<qint16>(VariantNumber(row.value(1)));
      l.Param = static_cast<qint16>(VariantNumber(row.value(2)));
      l.ParamName = VariantText(row.value(3));
      lists_.push_back(l);
    }
    {
      const QSignalBlocker block(List1);
      for (const LookupList& l : lists_) List1->addItem(l.Name);
    }
    const bool any = !lists_.empty();
    for (int i : {CmdOk, CmdImport, CmdExport}) eCmdzx->at(i)->setEnabled(any);
    Frame2->setEnabled(any);
    if (any) {
      List1_Click(0);
    } else {
      current_ = -1;
      setBoxesEnabled();
    }
  });
}

void frmZxglb::List1_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index < 0 || index >= static_cast<int>(lists_.size())) return;
    current_ = index;
    {
      const QSignalBlocker block(List1);
      List1->setCurrentRow(index);
    }
    // An item clicked in another list is no item of this one.
    itemId_ = 0;
    itemName_.clear();
    LoadItems();
    clearBoxes();
    setBoxesEnabled();
  });
}

void frmZxglb::LoadItems() {
  Guarded(QString(), this, [this] {
    const LookupList* l = list();
    if (!l) return;
    setWindowTitle(l->Name);
    Label2->setText(l->ParamName);
    SetTextLimitLabel(Text2, l->ParamName);
    QString extra;
    if (l->Param == 1) extra = QStringLiteral("参数1,");
    if (l->Param >= 2) extra = QStringLiteral("参数2,");
    gCurrentSql = QStringLiteral("select 名称,") + extra + QStringLiteral("编号 from PJ_Zaxiang where 类别=? order by 编号 ");
    gCurrentParams = {l->Category};
    LoadGridFromQuery(Fg, false, QString());
    CloseRecordset(gMainRecordset);
    if (Fg->cols() == 0) return;
    // The caption of the extra value is the list's own; 编号 is kept only to act on the right row.
    if (!extra.isEmpty()) Fg->setTextMatrix(0, 1, l->ParamName.isEmpty() ? extra.chopped(1) : l->ParamName);
    Fg->setColHidden(Fg->cols() - 1, true);
    Fg->autoSizeColumns();
    itemId_ = 0;
    itemName_.clear();
  });
}

void frmZxglb::setBoxesEnabled() {
  const LookupList* l = list();
  const int option = selectedOption();
  const bool editing = l && (option == OptAdd || option == OptModify);
  Text1->setEnabled(editing);
  Text2->setEnabled(editing && (l->Param == 1 || l->Param == 2));
  Label2->setEnabled(Text2->isEnabled());
  // A list without an extra value shows no box for one.
  const bool hasExtra = l && l->Param > 0;
  Text2->setVisible(hasExtra);
  Label2->setVisible(hasExtra);
}

void frmZxglb::clearBoxes() {
  Text1->clear();
  Text2->clear();
  ClearInputMark(Text1);
  ClearInputMark(Text2);
}

void frmZxglb::Fg_Click(int row) {
  Guarded(QString(), this, [this, row] {
    setBoxesEnabled();
    const LookupList* l = list();
    if (!l || row < Fg->fixedRows() || row >= Fg->rows()) return;
    itemName_ = Fg->textMatrix(row, 0);
    itemId_ = Fg->textMatrix(row, Fg->cols() - 1).toLongLong();
    Text1->setText(itemName_);
    // A list whose extra value is shown read-only (参数 3) loads only the name.
    if (l->Param == 1 || l->Param == 2) Text2->setText(Fg->textMatrix(row, 1));
  });
}

void frmZxglb::optGn_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == OptDelete) {
      setBoxesEnabled();
      return;
    }
    if (IsGridDataRow(Fg)) Fg_Click(Fg->row());
    setBoxesEnabled();
    if (index == OptAdd) {
      clearBoxes();
      Text1->setFocus();
    }
  });
}

void frmZxglb::eCmdzx_Click(int index) {
  Guarded(QString(), this, [this, index] {
    const LookupList* l = list();
    switch (index) {
      case CmdOk:
        if (!l) return;
        switch (selectedOption()) {
          case OptAdd: addItem(); break;
          case OptModify: modifyItem(); break;
          case OptDelete: deleteItem(); break;
          default: break;
        }
        break;
      case CmdImport:
        if (l) importItems();
        break;
      case CmdExport:
        if (!l) return;
        ExportGridToExcel(Fg, l->Name, this);
        WriteOperationLog(QStringLiteral("导出") + l->Name);
        break;
      case CmdClose:
        reject();
        break;
      default:
        break;
    }
  });
}

void frmZxglb::importItems() {
  const LookupList* l = list();
  frmDrExcel w(this);
  w.TargetKind = 3;
  w.ParamNumber = l->Param;
  w.Category = l->Category;
  RunModal(&w);
  LoadItems();
}

bool frmZxglb::validate() {
  const LookupList* l = list();
  // A name of blanks only is as empty as an empty one.
  if (Text1->text().trimmed().isEmpty()) Text1->clear();
  if (!CheckTextLimits(this)) return false;
  if (!ValidateTextInput(Text1, QStringLiteral("名称"), 0)) return false;
  if ((l->Param == 1 || l->Param == 2) && !ValidateTextInput(Text2, l->ParamName, 0)) return false;
  if (LookupNameRefusesComma(l->Category) && Text1->text().contains(QLatin1Char(','))) {
    // These names are stored in comma lists on the accounts; a comma would split one into two.
    MsgBox(QStringLiteral("名称中不能含有英文逗号“,”！"), Mb::Critical);
    MarkInputInvalid(Text1);
    return false;
  }
  return true;
}

void frmZxglb::addItem() {
  const LookupList* l = list();
  if (!validate()) return;
  const QString name = Text1->text();
  // The name and the code are read and the row added in one transaction; on SQL Server the reads
  // hold what they read until it ends, so two workstations cannot add the same name or code.
  std::optional<Transaction> tx(std::in_place);
  const bool taken = Db().scalar(QStringLiteral("select 编号 from ") + CurrentDialect().lockedTable(QStringLiteral("PJ_Zaxiang")) +
                                     QStringLiteral(" where 类别=? and 名称=?"),
                                 {l->Category, name})
                         .isValid();
  UniquenessChecked();
  if (taken) {
    tx.reset();
    MsgBox(QStringLiteral("不能重复！"), Mb::Critical);
    return;
  }
  const qint16 code = NextCodeNumber(QStringLiteral("PJ_Zaxiang"), QStringLiteral("代码"));
  if (code == 0) return;  // reported by NextCodeNumber
  // The next position after the highest one, so that a delete never makes two items share one.
  const QueryResult pos = Db().query(
      QStringLiteral("select max(排序), count(*) from PJ_Zaxiang where 类别=?"), {l->Category});
  const qint64 highest = static_cast<qint64>(VariantNumber(pos.rows.front().value(0)));
  const qint64 count = static_cast<qint64>(VariantNumber(pos.rows.front().value(1)));
  const qint64 order = std::max(highest, count) + 1;

  QString columns = QStringLiteral("名称,类别,代码,排序");
  QVariantList values = {name, l->Category, code, order};
  if (l->Param == 1 || l->Param == 2) {
    columns += l->Param == 1 ? QStringLiteral(",参数1") : QStringLiteral(",参数2");
    values << Text2->text();
  }
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (") + columns + QStringLiteral(") values (?,?,?,?") +
                   (values.size() > 4 ? QStringLiteral(",?)") : QStringLiteral(")")),
               values);
  tx->Commit();
  clearBoxes();
  LoadItems();
}

void frmZxglb::modifyItem() {
  const LookupList* l = list();
  if (itemId_ == 0) {
    MsgBox(QStringLiteral("请先在列表中选择要修改的项目！"), Mb::Exclamation);
    return;
  }
  if (!validate()) return;
  const QString name = Text1->text();
  if (IsReservedName(itemName_) && name != itemName_) {
    MsgBox(QStringLiteral("“ ") + itemName_ + QStringLiteral("”为系统保留值，只允许修改其补偿百分比的值！"), Mb::Critical);
    return;
  }
  if (name != itemName_ &&
      Db().scalar(QStringLiteral("select 编号 from PJ_Zaxiang where 类别=? and 名称=? and 编号<>?"),
                  {l->Category, name, itemId_})
          .isValid()) {
    MsgBox(QStringLiteral("不能重复！"), Mb::Critical);
    return;
  }

  QString sets = QStringLiteral("名称=?");
  QVariantList values = {name};
  if (l->Param == 1 || l->Param == 2) {
    sets += l->Param == 1 ? QStringLiteral(",参数1=?") : QStringLiteral(",参数2=?");
    values << Text2->text();
  }
  values << itemId_ << l->Category;
  Transaction tx;
  if (Db().Execute(QStringLiteral("update PJ_Zaxiang set ") + sets + QStringLiteral(" where 编号=? and 类别=?"), values) == 0) {
    MsgBox(QStringLiteral("该项目已不存在！"), Mb::Exclamation);
    return;
  }
  const QString oldName = itemName_;
  if (l->Category == kDepartments && name != oldName) {
    // Accounts name their departments by text: they follow the rename, or they would lose them.
    Db().Execute(QStringLiteral("update PJ_Admin set 科室=? where 科室=?"), {name, oldName});
    const QueryResult accounts = Db().query(QStringLiteral("select 编号,科室权限 from PJ_Admin"));
    for (const QVariantList& row : accounts.rows) {
      const QString rights = VariantText(row.value(1));
      if (ListHasItem(rights, oldName))
        Db().Execute(QStringLiteral("update PJ_Admin set 科室权限=? where 编号=?"), {renameItem(rights, oldName, name), row.value(0)});
    }
  }
  tx.Commit();
  if (l->Category == kDepartments && name != oldName) {
    if (gUserDept == oldName) gUserDept = name;
    if (ListHasItem(gDeptRights, oldName)) gDeptRights = renameItem(gDeptRights, oldName, name);
  }
  clearBoxes();
  LoadItems();
}

bool frmZxglb::departmentInUse(const QString& name) {
  if (Db().scalar(QStringLiteral("select 编号 from PJ_Admin where 科室=? or 对应科室ID=?"), {name, itemId_}).isValid())
    return true;
  const QueryResult accounts = Db().query(QStringLiteral("select 科室权限 from PJ_Admin"));
  return std::any_of(accounts.rows.begin(), accounts.rows.end(),
                     [&name](const QVariantList& row) { return ListHasItem(VariantText(row.value(0)), name); });
}

void frmZxglb::deleteItem() {
  const LookupList* l = list();
  if (itemId_ == 0) {
    MsgBox(QStringLiteral("请先在列表中选择要删除的项目！"), Mb::Exclamation);
    return;
  }
  if (l->Category == kDepartments && departmentInUse(itemName_)) {
    MsgBox(QStringLiteral("部门“") + itemName_ + QStringLiteral("”正在被帐号使用，不能删除！"), Mb::Exclamation);
    return;
  }
  if (MsgBox(QStringLiteral("确认要删除“") + itemName_ + QStringLiteral("”吗？"), Mb::YesNo + Mb::Question) != Mb::Yes) return;
  Db().Execute(QStringLiteral("delete from PJ_Zaxiang where 编号=? and 类别=?"), {itemId_, l->Category});
  clearBoxes();
  LoadItems();
}
