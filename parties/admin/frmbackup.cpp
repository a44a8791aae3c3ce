#include "parties/admin/frmbackup.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/data/ConnectionSettings.h"
#include "app/services/ErrorReport.h"
#include "control/pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"

frmbackup::frmbackup(QWidget* owner, qint16 windowMode) : QDialog(owner), WindowMode(windowMode) {
  setObjectName(QStringLiteral("frmbackup"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Frame1 = new QGroupBox(QStringLiteral("备份目录"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  txtPath = new QLineEdit(Frame1);
  txtPath->setObjectName(QStringLiteral("txtPath"));
  txtPath->setMinimumWidth(380);
  cmdPath = MakeButton(QStringLiteral("文件路径"), Frame1);
  cmdPath->setObjectName(QStringLiteral("cmdPath"));
  SetButtonPicture(cmdPath, style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16).toImage());
  lblServer = new QLabel(Frame1);
  lblServer->setObjectName(QStringLiteral("lblServer"));
  lblServer->setWordWrap(true);
  lblServer->setStyleSheet(QStringLiteral("color: #7A4A00;"));
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(txtPath, 1);
  pathRow->addWidget(cmdPath);
  auto* frameLayout = new QVBoxLayout(Frame1);
  frameLayout->addLayout(pathRow);
  frameLayout->addWidget(lblServer);

  Prg = MakeWorkProgressBar(this);

  cmbDk = new ButtonArray(this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmbDk->add(0, QString(), this));
  buttons->addWidget(cmbDk->add(1, QStringLiteral("退出"), this));
  cmbDk->at(0)->setObjectName(QStringLiteral("cmbDk_0"));
  cmbDk->at(1)->setObjectName(QStringLiteral("cmbDk_1"));
  MarkDefaultButton(cmbDk->at(0));

  auto* root = new QVBoxLayout(this);
  root->addWidget(Frame1);
  root->addWidget(Prg);
  root->addLayout(buttons);
  root->setContentsMargins(14, 12, 14, 12);
  root->setSpacing(10);

  connect(cmdPath, &pbCommand::Click, this, [this] { Guarded(QString(), this, [this] { cmdPath_Click(); }); });
  connect(cmbDk, &ButtonArray::clicked, this, [this](int i) { cmbDk_Click(i); });
  Form_Load();
}

void frmbackup::Form_Load() {
  const bool server = gDatabaseType != 0;
  if (WindowMode == 0) {
    setWindowTitle(QStringLiteral("备份数据库"));
    cmbDk->at(0)->setCaption(QStringLiteral("数据备份"));
    // On the server the folder is one the server writes into; the program's own folder means nothing there.
    txtPath->setText(server ? QString() : QDir::toNativeSeparators(DefaultBackupFolder()));
    lblServer->setText(QStringLiteral("网络版：请填写数据库服务器上的备份目录，备份文件由SQL Server写入该目录。"));
  } else {
    setWindowTitle(QStringLiteral("恢复数据库"));
    cmbDk->at(0)->setCaption(QStringLiteral("恢复数据库"));
    txtPath->clear();
    lblServer->setText(QStringLiteral("网络版：请填写数据库服务器上的备份文件路径。"));
  }
  lblServer->setVisible(server);
  txtPath->setPlaceholderText(WindowMode == 0 ? QStringLiteral("备份文件保存到的目录") : QStringLiteral("要恢复的备份文件（*.bak）"));
}

void frmbackup::cmdPath_Click() {
  if (WindowMode == 0) {
    const QString start = txtPath->text().trimmed().isEmpty() ? DefaultBackupFolder() : txtPath->text().trimmed();
    const QString folder = ChooseFolder(this, QStringLiteral("选择备份目录"), start);
    // The chosen folder is where the backup goes; the file name is added when it is written.
    if (!folder.isEmpty()) txtPath->setText(QDir::toNativeSeparators(folder));
  } else {
    const QString file = ChooseOpenFile(this, QStringLiteral("恢复数据库"), QStringLiteral("数据库备份文件 (*.bak)"), DefaultBackupFolder());
    if (!file.isEmpty()) txtPath->setText(QDir::toNativeSeparators(file));
  }
}

void frmbackup::cmbDk_Click(int index) {
  if (index != 0) {
    reject();
    return;
  }
  Guarded(QStringLiteral("备份恢复数据库"), nullptr, [this] { run(); });
}

void frmbackup::run() {
  struct Idle {
    frmbackup* w;
    ~Idle() { w->setBusy(false); }
  } idle{this};
  setBusy(true);
  const bool local = gDatabaseType == 0;
  const qint16 operation = WindowMode == 0 ? (local ? 0 : 2) : (local ? 1 : 3);
  BackupOrRestoreDatabase(operation, txtPath->text(), ShowProgressIn(Prg));
  if (!gBackupOk) return;
  if (WindowMode == 0)
    accept();
  else
    EndProgram();  // the restored data is used from the next start on
}

void frmbackup::setBusy(bool busy) {
  Frame1->setEnabled(!busy);
  for (int i : cmbDk->indexes()) cmbDk->at(i)->setEnabled(!busy);
  if (!busy && !gBackupOk) Prg->setValue(0);
  if (busy) Prg->setValue(0);
}

QProgressBar* MakeWorkProgressBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(QStringLiteral("Prg"));
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setFixedHeight(14);
  return bar;
}

ProgressFn ShowProgressIn(QProgressBar* bar) {
  return [bar](int percent) {
    bar->setValue(percent);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
}
