#include "parties/PartyListBase.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/Pinyin.h"
#include "app/services/TextLimits.h"
#include "platform/TextStart.h"
#include "control/pbCommand.h"
#include "output/frmPrint.h"
#include "parties/OptionFrame.h"
#include "parties/admin/frmDrExcel.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
const QString kChecked = QStringLiteral("有");
const QString kUnchecked = QStringLiteral("无");

QVariant fieldValue(QWidget* box) {
  if (auto* e = qobject_cast<QLineEdit*>(box)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(box)) return c->currentText();
  if (auto* d = qobject_cast<DateBox*>(box)) {
    const QString t = d->dateText();
    return t.isEmpty() ? QVariant() : QVariant(t);  // an unknown birthday stays unknown
  }
  if (auto* k = qobject_cast<QCheckBox*>(box)) return k->isChecked() ? kChecked : kUnchecked;
  return {};
}

void setFieldText(QWidget* box, const QString& v) {
  if (auto* e = qobject_cast<QLineEdit*>(box)) {
    e->setText(v);
  } else if (auto* c = qobject_cast<QComboBox*>(box)) {
    if (c->isEditable()) {
      c->setCurrentText(v);
    } else if (v.isEmpty()) {
      c->setCurrentIndex(-1);  // shown blank and saved blank, not as the first item
    } else {
      SelectComboItemByText(c, v);
    }
  } else if (auto* d = qobject_cast<DateBox*>(box)) {
    d->setDateText(v);
  } else if (auto* k = qobject_cast<QCheckBox*>(box)) {
    k->setChecked(v == kChecked);
  }
}

void clearField(QWidget* box) {
  ClearInputMark(box);
  if (auto* e = qobject_cast<QLineEdit*>(box)) {
    e->clear();
  } else if (auto* c = qobject_cast<QComboBox*>(box)) {
    c->setCurrentIndex(c->count() > 0 ? 0 : -1);
  } else if (auto* d = qobject_cast<DateBox*>(box)) {
    d->setEmpty();
  } else if (auto* k = qobject_cast<QCheckBox*>(box)) {
    k->setChecked(false);
  }
}

bool isEnter(QEvent* e) {
  if (e->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(e)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}
}  // namespace

PartyListBase::PartyListBase(PartyKind kind, const Texts& texts, QWidget* owner)
    : QDialog(owner), kind_(kind), texts_(texts), table_(PartyTable(kind)), importKind_(PartyImportKind(kind)) {
  setWindowTitle(texts.title);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  Frame3 = new QGroupBox(QStringLiteral("数据"), this);
  Frame3->setObjectName(QStringLiteral("Frame3"));
  fields_ = new QGridLayout(Frame3);
  fields_->setHorizontalSpacing(8);
  fields_->setVerticalSpacing(8);

  auto* options = new QGroupBox(QStringLiteral("操作选项"), this);
  options->setObjectName(QStringLiteral("Frame1"));
  // A click runs the option's work also when it is already selected (to start another new entry).
  BuildOptionFrame(options, {QStringLiteral("浏览"), QStringLiteral("新增"), QStringLiteral("修改"), QStringLiteral("删除")},
                   optGn, this, [this](int i) { optGn_Click(i); });
  static_cast<QGridLayout*>(options->layout())->setRowStretch(2, 1);

  auto* list = new QGroupBox(texts.listCaption, this);
  list->setObjectName(QStringLiteral("Frame2"));
  auto* search = new QLabel(QStringLiteral("快速查找"), list);
  txtCzxx = new QLineEdit(list);
  txtCzxx->setObjectName(QStringLiteral("txtCzxx"));
  txtCzxx->setToolTip(QStringLiteral("输入助记符可快速查找"));
  txtCzxx->setPlaceholderText(QStringLiteral("输入助记符可快速查找"));
  txtCzxx->setMaximumWidth(260);
  txtCzxx->installEventFilter(this);
  connect(txtCzxx, &QLineEdit::textChanged, this, [this] { txtCzxx_Change(); });
  Fg = new Grid(list);
  Fg->setObjectName(QStringLiteral("Fg"));
  Fg->setMinimumHeight(220);
  connect(Fg, &Grid::cellClicked, this, [this] { Fg_Click(); });
  connect(Fg, &Grid::cellDoubleClicked, this, [this] { Fg_DblClick(); });
  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(search);
  searchRow->addWidget(txtCzxx, 1);
  searchRow->addStretch(2);
  auto* listLayout = new QVBoxLayout(list);
  listLayout->addLayout(searchRow);
  listLayout->addWidget(Fg, 1);

  eCmdzx = new ButtonArray(this);
  const QStringList captions = {QStringLiteral("确定(&R)"), QStringLiteral("导入(&Q)"), QStringLiteral("导出(&W)"),
                                QStringLiteral("退出(&E)"), QStringLiteral("打印(&S)")};
  for (int i = 0; i < captions.size(); ++i) {
    pbCommand* b = eCmdzx->add(i, captions[i], this);
    b->setObjectName(QStringLiteral("eCmdzx_%1").arg(i));
    b->setMinimumWidth(96);
  }
  connect(eCmdzx, &ButtonArray::clicked, this, [this](int i) { eCmdzx_Click(i); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (int i : {cmdOk, cmdImport, cmdExport, cmdPrint, cmdExit}) buttons->addWidget(eCmdzx->at(i));

  auto* top = new QHBoxLayout;
  top->addWidget(Frame3, 1);
  top->addWidget(options);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(12, 10, 12, 10);
  root->setSpacing(8);
  root->addLayout(top);
  root->addWidget(list, 1);
  root->addLayout(buttons);
  resize(1000, 680);
}

// ---- building the edit frame

QLabel* PartyListBase::makeLabel(int index, const QString& caption) {
  auto* l = new QLabel(caption, Frame3);
  l->setObjectName(QStringLiteral("labZX_%1").arg(index));
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  labZX[index] = l;
  return l;
}

QLineEdit* PartyListBase::addText(int index, QLabel* label, const QString& column, int row, int col, int span) {
  auto* box = new QLineEdit(Frame3);
  box->setObjectName(QStringLiteral("txtZX_%1").arg(index));
  connect(box, &QLineEdit::textEdited, box, [box] { ClearInputMark(box); });
  txtZX[index] = box;
  LimitTextBox(box, table_, column, label->text());
  // A record loaded for editing shows each text from its start, as the user reads it.
  ShowTextStart(box);
  addField(box, label, column, row, col, span);
  return box;
}

void PartyListBase::addField(QWidget* box, QLabel* label, const QString& column, int row, int col, int span) {
  if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
    LimitTextBox(combo->lineEdit(), table_, column, label->text());
  fields_->addWidget(label, row, col * 2);
  fields_->addWidget(box, row, col * 2 + 1, 1, span * 2 - 1);
  // Label columns of one width, so the boxes of a column line up under each other.
  labelWidth_ = std::max(labelWidth_, label->sizeHint().width());
  for (int c = 0; c < fields_->columnCount(); c += 2) fields_->setColumnMinimumWidth(c, labelWidth_);
  fields_->setColumnStretch(col * 2 + 1, 1);
  label->setBuddy(box);
  box->installEventFilter(this);
  bound_.push_back({column, box});
}

void PartyListBase::setEnterMoves(QWidget* from, QWidget* to) { enterNext_[from] = to; }

void PartyListBase::markRequired(const std::vector<QLabel*>& labels) {
  for (QLabel* l : labels) l->setStyleSheet(QStringLiteral("QLabel:enabled { color: #B22222; }"));
}

void PartyListBase::digitsOnly(QLineEdit* box) {
  static const QRegularExpression re(QStringLiteral("^[0-9.]*$"));
  box->setValidator(new QRegularExpressionValidator(re, box));
}

void PartyListBase::followNameWithMnemonic(QLineEdit* box) {
  connect(box, &QLineEdit::textChanged, this, [this] { updateMnemonic(); });
}

void PartyListBase::updateMnemonic() {
  if (settingMnemonic_) return;
  settingMnemonic_ = true;
  txtZX.at(1)->setText(GetPinyinInitials(txtZX.at(0)->text()));
  settingMnemonic_ = false;
}

// ---- load and list

void PartyListBase::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void PartyListBase::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Picked = {};
  Guarded(QString(), this, [this] {
    InitPartyList();
    InitPinyinTables();
  });
}

void PartyListBase::InitPartyList() {
  const SqlWithParams q = PartyListSql(table_, ListColumns, QString());
  LoadPartyList(q.sql, q.params);
}

void PartyListBase::LoadPartyList(const QString& sql, const QVariantList& params) {
  gCurrentSql = sql;
  gCurrentParams = params;
  LoadGridFromQuery(Fg, false, QString());
  CloseRecordset(gMainRecordset);
  if (SelectedOption() == optBrowse) SetEditMode(0);
}

void PartyListBase::SetEditMode(int mode) { Frame3->setEnabled(mode != 0); }

void PartyListBase::reloadShowing(qint32 id) {
  {
    const QSignalBlocker quiet(txtCzxx);
    txtCzxx->clear();
  }
  const SqlWithParams q = PartyListSql(table_, ListColumns, QString());
  LoadPartyList(q.sql, q.params);
  for (int r = Fg->fixedRows(); r < Fg->rows(); ++r) {
    if (!Fg->isTotalsRow(r) && Fg->textMatrix(r, 0) == QString::number(id)) {
      Fg->setRow(r);
      break;
    }
  }
}

qint32 PartyListBase::currentRowId() const { return Fg->textMatrix(Fg->row(), 0).toInt(); }

void PartyListBase::txtCzxx_Change() {
  Guarded(QString(), this, [this] {
    const SqlWithParams q = PartyListSql(table_, ListColumns, txtCzxx->text());
    LoadPartyList(q.sql, q.params);
  });
}

// ---- the boxes

void PartyListBase::clearFields() {
  for (const Field& f : bound_) clearField(f.box);
  CurrentId = 0;
}

void PartyListBase::loadRecord(qint32 id) {
  clearFields();
  Recordset rs;
  OpenRecordset(rs, QStringLiteral("select * from ") + table_ + QStringLiteral(" where 编号=?"), {id});
  if (!rs.Eof()) {
    // In the order of the frame: the name before the stored mnemonic, which the name's change would replace.
    for (const Field& f : bound_) setFieldText(f.box, rs.text(f.column));
    CurrentId = id;
  }
  CloseRecordset(rs);
}

qint32 PartyListBase::增修() {
  const bool adding = SelectedOption() == optAdd;
  Recordset rs;
  OpenRecordset(rs, QStringLiteral("select * from ") + table_ + QStringLiteral(" where 编号=?"),
                {adding ? qint32(0) : CurrentId});
  if (adding) {
    rs.AddNew();
  } else if (rs.Eof()) {
    CloseRecordset(rs);
    MsgBox(QStringLiteral("该记录已被删除，未能保存！"), Mb::Critical);
    CurrentId = 0;
    return 0;
  }
  for (const Field& f : bound_) rs.setValue(f.column, fieldValue(f.box));
  rs.setValue(QStringLiteral("建档人"), gUserName);
  rs.Update();
  const auto id = static_cast<qint32>(rs.integer(QStringLiteral("编号")));
  CloseRecordset(rs);
  CurrentId = id;
  return id;
}

bool PartyListBase::requireFilled(std::initializer_list<std::pair<int, int>> boxAndLabel) {
  for (auto [box, label] : boxAndLabel)
    if (!ValidateTextInput(txtZX.at(box), labZX.at(label)->text(), 0)) return false;
  return true;
}

// ---- options and grid

int PartyListBase::SelectedOption() const {
  for (int i = 0; i < 4; ++i)
    if (optGn[i]->isChecked()) return i;
  return optBrowse;
}

void PartyListBase::SelectOption(int index) {
  optGn[index]->setChecked(true);
  optGn_Click(index);
}

void PartyListBase::optGn_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case optBrowse:
        SetEditMode(0);
        rowLoad();
        break;
      case optAdd:
        SetEditMode(2);
        txtZX.at(0)->setFocus();
        break;
      case optModify:
        SetEditMode(1);
        rowLoad();
        break;
      default:
        break;
    }
  });
}

void PartyListBase::rowLoad() {
  if (!IsGridDataRow(Fg)) return;
  if (modifyOnRowClickInAdd_ && SelectedOption() == optAdd) {
    SelectOption(optModify);  // its click loads the row
    return;
  }
  loadRecord(currentRowId());
}

void PartyListBase::Fg_Click() {
  Guarded(QString(), this, [this] { rowLoad(); });
}

void PartyListBase::Fg_DblClick() {
  Guarded(QString(), this, [this] {
    rowLoad();
    // Under "新增" a double click only takes the row as the starting values; adding it at once
    // would store a copy of the clicked person.
    if (SelectedOption() != optAdd) confirm();
  });
}

// ---- commands

void PartyListBase::eCmdzx_Click(int index) {
  Guarded(QString(), this, [this, index] {
    switch (index) {
      case cmdOk: confirm(); break;
      case cmdImport: importList(); break;
      case cmdExport: exportList(); break;
      case cmdPrint: printList(); break;
      case cmdExit: reject(); break;
      default: break;
    }
  });
}

void PartyListBase::confirm() {
  switch (SelectedOption()) {
    case optBrowse:
      confirmBrowse();
      break;
    case optAdd: {
      if (!CheckTextLimits(Frame3) || !checkRequired(true)) return;
      const qint32 id = 增修();
      afterSave(true, id);
      break;
    }
    case optModify: {
      if (CurrentId == 0) return;  // no record loaded: nothing to modify
      if (!CheckTextLimits(Frame3) || !checkRequired(false)) return;
      const qint32 id = 增修();
      if (id == 0) {
        reloadShowing(0);
        return;
      }
      afterSave(false, id);
      break;
    }
    case optDelete:
      deleteCurrentRow();
      break;
  }
}

void PartyListBase::confirmBrowse() {
  if (!handsBack(PickMode)) {
    if (closeWhenNothingToPick_) reject();
    return;
  }
  if (!IsGridDataRow(Fg)) return;
  Picked.mode = PickMode;
  Picked.id = currentRowId();
  Picked.name = Fg->textMatrix(Fg->row(), 1);
  accept();
}

void PartyListBase::deleteCurrentRow() {
  if (!IsGridDataRow(Fg)) return;
  const qint32 id = currentRowId();
  const QString name = Fg->textMatrix(Fg->row(), 1);
  if (MsgBox(QStringLiteral("确定要删除%1“%2”（编号%3）吗？").arg(texts_.partyWord, name).arg(id), Mb::YesNo + Mb::Question) !=
      Mb::Yes)
    return;
  bool inBusiness = false;
  {
    // The check and the delete together, so no loan can name the party in between.
    Transaction t;
    // The party row first: a save that names it reads the same row the same way and waits for us.
    Db().query(QStringLiteral("select 编号 from ") + CurrentDialect().lockedTable(table_) + QStringLiteral(" where 编号=?"), {id});
    inBusiness = PartyHasBusiness(kind_, id);
    if (!inBusiness) Db().Execute(QStringLiteral("delete from ") + table_ + QStringLiteral(" where 编号=?"), {id});
    t.Commit();
  }
  if (inBusiness) {
    MsgBox(QStringLiteral("该客户已发生业务，程序拒绝删除！"), Mb::Critical);
    return;
  }
  MsgBox(QStringLiteral("删除成功！"), Mb::Question);
  if (CurrentId == id) CurrentId = 0;
  reloadShowing(0);
  SetEditMode(0);
}

void PartyListBase::exportList() {
  ExportGridToExcel(Fg, QStringLiteral("Khgr"), this);
  WriteOperationLog(texts_.exportLog);
}

void PartyListBase::printList() {
  frmPrint preview(this);
  preview.PrintFg(gUnitName + texts_.printTitle, Fg, false, QString());
  WriteOperationLog(texts_.printLog);
}

void PartyListBase::importList() {
  frmDrExcel w(this);
  w.TargetKind = importKind_;
  RunModal(&w);
  // The imported rows show at once.
  reloadShowing(CurrentId);
}

// ---- window

void PartyListBase::done(int r) {
  PickMode = 0;
  QDialog::done(r);
}

bool PartyListBase::eventFilter(QObject* watched, QEvent* e) {
  if (isEnter(e)) {
    auto it = enterNext_.find(watched);
    if (it != enterNext_.end()) it->second->setFocus();
    return true;  // Enter never closes the window nor confirms from a box
  }
  return QDialog::eventFilter(watched, e);
}
