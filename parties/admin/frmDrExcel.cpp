#include "parties/admin/frmDrExcel.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/Installation.h"
#include "app/services/Pinyin.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {

// Enough rows to recognise the sheet; the import itself reads them all.
constexpr int kPreviewRows = 1000;

// Runs a handler: a refusal is shown as it stands, anything else goes to the error report.
template <class F>
void RunImportHandler(QWidget* form, F&& handler) {
  Guarded(QString(), form, [&] {
    try {
      handler();
    } catch (const ImportRefused& r) {
      MsgBox(r.message, Mb::Critical);
    }
  });
}

}  // namespace

frmDrExcel::frmDrExcel(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDrExcel"));
  setWindowTitle(QStringLiteral("数据导入"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  auto* warning = new QLabel(QStringLiteral("注意：导入前请做好数据备份，以免发生错误。"), this);
  warning->setStyleSheet(QStringLiteral("color: #C00000; font-weight: bold;"));

  // Step 1: the workbook and its sheet.
  auto* step1 = new QGroupBox(QStringLiteral("第一步 打开文件"), this);
  eButton1 = MakeButton(QStringLiteral("打开Excel文件"), step1);
  eButton1->setObjectName(QStringLiteral("eButton1"));
  lblFile = new QLabel(QStringLiteral("请打开要导入的Excel文件（*.xls 或 *.xlsx），数据取自工作表“Sheet1”（.xlsx 取第一个工作表），第一行为标题。"), step1);
  lblFile->setObjectName(QStringLiteral("lblFile"));
  lblFile->setWordWrap(true);
  Fg = new Grid(step1);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  Fg->setMinimumSize(520, 300);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(eButton1);
  fileRow->addWidget(lblFile, 1);
  auto* step1Layout = new QVBoxLayout(step1);
  step1Layout->addLayout(fileRow);
  step1Layout->addWidget(Fg, 1);

  // Step 2: database fields to column numbers.
  auto* step2 = new QGroupBox(QStringLiteral("第二步 绑定字段"), this);
  auto* lblField = new QLabel(QStringLiteral("数据库表格字段"), step2);
  Combo1 = new QComboBox(step2);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setEditable(false);
  auto* lblColumn = new QLabel(QStringLiteral("对应的Excel列"), step2);
  Text1 = new QLineEdit(step2);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setPlaceholderText(QStringLiteral("列号，1 为第一列"));
  eButton2 = MakeButton(QStringLiteral("绑定"), step2);
  eButton2->setObjectName(QStringLiteral("eButton2"));
  Fg2 = new Grid(step2);
  Fg2->setObjectName(QStringLiteral("Fg2"));
  ApplyGridLook(Fg2);
  Fg2->setMinimumWidth(250);
  auto* hint = new QLabel(QStringLiteral("双击列表中信息可以删除"), step2);
  hint->setStyleSheet(QStringLiteral("color: #606060;"));
  auto* form = new QGridLayout;
  form->addWidget(lblField, 0, 0);
  form->addWidget(Combo1, 0, 1);
  form->addWidget(lblColumn, 1, 0);
  form->addWidget(Text1, 1, 1);
  form->setColumnStretch(1, 1);
  auto* bindRow = new QHBoxLayout;
  bindRow->addStretch(1);
  bindRow->addWidget(eButton2);
  auto* step2Layout = new QVBoxLayout(step2);
  step2Layout->addLayout(form);
  step2Layout->addLayout(bindRow);
  step2Layout->addWidget(Fg2, 1);
  step2Layout->addWidget(hint);

  auto* middle = new QHBoxLayout;
  middle->addWidget(step1, 3);
  middle->addWidget(step2, 1);

  Prg = new QProgressBar(this);
  Prg->setObjectName(QStringLiteral("Prg"));
  Prg->setVisible(false);
  Prg->setMinimumWidth(300);
  Label4 = new QLabel(QStringLiteral("下载视频教程"), this);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setStyleSheet(QStringLiteral("color: #0000C0; text-decoration: underline;"));
  Label4->setCursor(Qt::PointingHandCursor);
  Label4->installEventFilter(this);
  eButton3 = MakeButton(QStringLiteral("导入"), this);
  eButton3->setObjectName(QStringLiteral("eButton3"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label4);
  bottom->addSpacing(16);
  bottom->addWidget(Prg, 1);
  bottom->addStretch(0);
  bottom->addWidget(eButton3);

  auto* root = new QVBoxLayout(this);
  root->addWidget(warning);
  root->addLayout(middle, 1);
  root->addLayout(bottom);
  root->setContentsMargins(12, 10, 12, 10);
  resize(900, 560);

  connect(eButton1, &pbCommand::Click, this, [this] { eButton1_Click(); });
  connect(eButton2, &pbCommand::Click, this, [this] { eButton2_Click(); });
  connect(eButton3, &pbCommand::Click, this, [this] { eButton3_Click(); });
  connect(Fg2, &Grid::cellDoubleClicked, this, [this] { Fg2_DblClick(); });
  // Clicking a column of the sheet, or choosing a field whose title the sheet has, fills in the number.
  connect(Fg, &Grid::cellClicked, this, [this](int, int col) {
    if (!sheet_.isEmpty() && col >= 0) Text1->setText(QString::number(col + 1));
  });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { suggestColumn(); });
}

frmDrExcel::~frmDrExcel() = default;

void frmDrExcel::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!loaded_) Form_Load();
}

bool frmDrExcel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label4 && event->type() == QEvent::MouseButtonRelease) {
    Label4_Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void frmDrExcel::Form_Load() {
  loaded_ = true;
  RunImportHandler(this, [this] {
    InitPinyinTables();
    载入项(TargetKind);
  });
  刷新();
}

void frmDrExcel::载入项(qint16 kind) {
  target_ = ImportTarget();
  bindings_.clear();
  Combo1->clear();
  target_ = TargetForKind(kind, ParamNumber);
  绑定();
}

void frmDrExcel::绑定() {
  Combo1->clear();
  Combo1->addItems(target_.fields);
  if (Combo1->count() > 0) Combo1->setCurrentIndex(0);
}

void frmDrExcel::刷新() {
  Fg2->setFixedRows(1);
  std::vector<QVariantList> rows;
  for (const FieldBinding& b : bindings_)
    rows.push_back({b.field, b.column, sheet_.isEmpty() ? QString() : sheet_.title(b.column - 1)});
  Fg2->loadData({QStringLiteral("数据库字段"), QStringLiteral("对应的Excel列"), QStringLiteral("Excel列标题")}, rows);
  Fg2->autoSizeColumns();
}

bool frmDrExcel::OpenWorkbook(const QString& path) {
  bool ok = false;
  RunImportHandler(this, [&] {
    ExcelSheet sheet = ReadExcelSheet(path);
    workbookPath_ = path;
    sheet_ = std::move(sheet);
    showSheet();
    刷新();
    suggestColumn();
    ok = true;
  });
  return ok;
}

void frmDrExcel::showSheet() {
  QStringList titles;
  for (int c = 0; c < sheet_.columns; ++c) titles << sheet_.title(c);
  std::vector<QVariantList> rows;
  const int last = std::min(static_cast<int>(sheet_.rows.size()), kPreviewRows + 1);
  for (int r = 1; r < last; ++r) {
    QVariantList values;
    for (int c = 0; c < sheet_.columns; ++c) values << ExcelCellText(sheet_.cell(r, c));
    rows.push_back(values);
  }
  // Two header rows: the column number to bind, over the column's title.
  Fg->setFixedRows(2);
  Fg->loadData(titles, rows);
  for (int c = 0; c < sheet_.columns; ++c) Fg->setTextMatrix(0, c, QStringLiteral("第%1列").arg(c + 1));
  Fg->autoSizeColumns();
  const int dataRows = std::max(0, static_cast<int>(sheet_.rows.size()) - 1);
  QString text = QStringLiteral("%1    工作表“%2”：%3列，%4行数据").arg(QFileInfo(workbookPath_).fileName(), sheet_.name).arg(sheet_.columns).arg(dataRows);
  if (dataRows > kPreviewRows) text += QStringLiteral("（预览前%1行）").arg(kPreviewRows);
  lblFile->setText(text);
  lblFile->setToolTip(workbookPath_);
}

void frmDrExcel::suggestColumn() {
  if (sheet_.isEmpty()) return;
  const QString field = Combo1->currentText();
  for (int c = 0; c < sheet_.columns; ++c) {
    if (!field.isEmpty() && sheet_.title(c) == field) {
      Text1->setText(QString::number(c + 1));
      return;
    }
  }
}

void frmDrExcel::eButton1_Click() {
  Guarded(QStringLiteral("连接Excel"), nullptr, [this] {
    const QString path = ChooseOpenFile(this, QStringLiteral("打开Excel文件"), QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"));
    if (path.isEmpty()) return;
    OpenWorkbook(path);
  });
}

void frmDrExcel::eButton2_Click() {
  RunImportHandler(this, [this] {
    const QString field = Combo1->currentText();
    if (field.isEmpty()) return;
    for (const FieldBinding& b : bindings_) {
      if (b.field == field) {
        MsgBox(QStringLiteral("不能重复！"), Mb::Critical);
        return;
      }
    }
    // Before a workbook is open, as many columns as an .xlsx sheet may have.
    const int maxColumn = sheet_.isEmpty() ? 16384 : sheet_.columns;
    bool ok = false;
    const int column = Text1->text().trimmed().toInt(&ok);
    if (!ok || column < 1 || column > maxColumn) {
      MsgBox(QStringLiteral("对应的Excel列必须是1到%1之间的整数（1为第一列）。").arg(maxColumn), Mb::Critical);
      MarkInputInvalid(Text1);
      return;
    }
    ClearInputMark(Text1);
    bindings_.push_back({field, column});
    刷新();
    // On to the next field that is not bound yet.
    for (int i = Combo1->currentIndex() + 1; i < Combo1->count(); ++i) {
      const QString next = Combo1->itemText(i);
      if (std::none_of(bindings_.begin(), bindings_.end(), [&](const FieldBinding& b) { return b.field == next; })) {
        Text1->clear();
        Combo1->setCurrentIndex(i);
        break;
      }
    }
  });
}

void frmDrExcel::Fg2_DblClick() {
  Guarded(QString(), this, [this] {
    if (!IsGridDataRow(Fg2)) return;
    const QString field = Fg2->textMatrix(Fg2->row(), 0);
    std::erase_if(bindings_, [&](const FieldBinding& b) { return b.field == field; });
    刷新();
  });
}

void frmDrExcel::eButton3_Click() {
  RunImportHandler(this, [this] {
    if (workbookPath_.isEmpty()) {
      MsgBox(QStringLiteral("请先打开要导入的Excel文件。"), Mb::Information);
      return;
    }
    // The workbook is read again, so that changes saved since it was opened are imported.
    sheet_ = ReadExcelSheet(workbookPath_);
    showSheet();
    ImportRequest request;
    request.target = target_;
    request.category = Category;
    request.bindings = bindings_;
    {
      struct HideProgress {
        QProgressBar* bar;
        ~HideProgress() {
          bar->setValue(0);
          bar->setVisible(false);
        }
      } hide{Prg};
      Prg->setValue(0);
      Prg->setVisible(true);
      ImportSheet(sheet_, request, [this](int done, int total) {
        Prg->setMaximum(std::max(total, 1));
        Prg->setValue(done);
        Prg->repaint();
      });
    }
    MsgBox(QStringLiteral("导入完成！"), Mb::Information);
    accept();
  });
}

void frmDrExcel::Label4_Click() {
  Guarded(QString(), this, [] { OpenWithDesktop(Installation::kDemoVideoAddress); });
}
