#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTreeView>
#include <QUrl>

#include <cstdlib>

const QString kAppTitle = QStringLiteral("Varnel民间借贷管理");

namespace {
MessageHandler g_message;
ModalHandler g_modal;
ChooserHandler g_chooser;
OpenFileHandler g_open;
EndProgramHandler g_end;

int showRealMessage(const MessageRequest& r) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(r.title);
  // The program's texts break lines with CR LF, as their users' documents do; the box wants LF.
  QString text = r.text;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // Texts are shown as they are: a gateway's "<b>" is two brackets and a letter, not bold.
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  if (!r.details.isEmpty()) box.setDetailedText(r.details);
  switch (r.style & 0x70) {
    case Mb::Critical: box.setIcon(QMessageBox::Critical); break;
    case Mb::Question: box.setIcon(QMessageBox::Question); break;
    case Mb::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Mb::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  struct B { QMessageBox::StandardButton b; int answer; };
  std::vector<B> buttons;
  switch (r.style & 0x7) {
    case Mb::OkCancel: buttons = {{QMessageBox::Ok, Mb::Ok}, {QMessageBox::Cancel, Mb::Cancel}}; break;
    case Mb::AbortRetryIgnore: buttons = {{QMessageBox::Abort, Mb::Abort}, {QMessageBox::Retry, Mb::Retry}, {QMessageBox::Ignore, Mb::Ignore}}; break;
    case Mb::YesNoCancel: buttons = {{QMessageBox::Yes, Mb::Yes}, {QMessageBox::No, Mb::No}, {QMessageBox::Cancel, Mb::Cancel}}; break;
    case Mb::YesNo: buttons = {{QMessageBox::Yes, Mb::Yes}, {QMessageBox::No, Mb::No}}; break;
    case Mb::RetryCancel: buttons = {{QMessageBox::Retry, Mb::Retry}, {QMessageBox::Cancel, Mb::Cancel}}; break;
    default: buttons = {{QMessageBox::Ok, Mb::Ok}}; break;
  }
  QMessageBox::StandardButtons set;
  for (const auto& b : buttons) set |= b.b;
  box.setStandardButtons(set);
  const size_t defaultAt = (r.style & Mb::DefaultButton3) ? 2 : (r.style & Mb::DefaultButton2) ? 1 : 0;
  if (defaultAt < buttons.size()) box.setDefaultButton(buttons[defaultAt].b);
  // Chinese captions for the standard buttons, as the users' Windows showed them.
  static const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
      {QMessageBox::Ok, "确定"}, {QMessageBox::Cancel, "取消"}, {QMessageBox::Yes, "是(&Y)"},
      {QMessageBox::No, "否(&N)"}, {QMessageBox::Abort, "中止"}, {QMessageBox::Retry, "重试"},
      {QMessageBox::Ignore, "忽略"}};
  for (const auto& [b, text] : captions)
    if (auto* btn = box.button(b)) btn->setText(QString::fromUtf8(text));
  box.exec();
  auto* clicked = box.clickedButton();
  for (const auto& b : buttons)
    if (clicked == box.button(b.b)) return b.answer;
  // Closed with Esc or the window's close: Cancel where offered, else the last button (No / OK).
  for (const auto& b : buttons)
    if (b.answer == Mb::Cancel) return Mb::Cancel;
  return buttons.back().answer;
}
}  // namespace

int MsgBox(const QString& text, int style, const QString& title, const QString& details) {
  MessageRequest r{text, style, title.isEmpty() ? kAppTitle : title, details};
  if (g_message) return g_message(r);
  return showRealMessage(r);
}
void SetMessageHandler(MessageHandler handler) { g_message = std::move(handler); }

int RunModal(QDialog* dialog) {
  if (g_modal) return g_modal(dialog);
  return dialog->exec();
}
void SetModalHandler(ModalHandler handler) { g_modal = std::move(handler); }

namespace {
// The file list's type and date columns as a Chinese desk reads them: Qt leaves "Folder" untranslated
// and writes dates in the machine's LANG ("9 Dec 2026"); here folders are "文件夹" and dates
// "yyyy-MM-dd HH:mm", the program's own form.
class ChineseFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole && (index.column() == 2 || index.column() == 3)) {
      const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
      const QModelIndex source = mapToSource(index);
      if (files && index.column() == 2 && files->isDir(source)) return QStringLiteral("文件夹");
      if (files && index.column() == 3) return files->lastModified(source).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    return QIdentityProxyModel::data(index, role);
  }
};

QString chooseWithDialog(QWidget* parent, ChooserKind kind, const QString& caption, const QString& filter, const QString& start) {
  static const char* const kCaptions[] = {"打开文件", "保存文件", "选择文件夹"};
  QFileDialog dialog(parent, caption.isEmpty() ? QString::fromUtf8(kCaptions[static_cast<int>(kind)]) : caption, start, filter);
  dialog.setObjectName(QStringLiteral("FileChooser"));
  // Qt's own dialog on every desktop: it speaks the program's Chinese and looks the same everywhere.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  switch (kind) {
    case ChooserKind::OpenFile: dialog.setFileMode(QFileDialog::ExistingFile); break;
    case ChooserKind::SaveFile:
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      break;
    case ChooserKind::Folder:
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly);
      break;
  }
  // Names and sizes are read whole: the detail list rather than the icon list, which cuts names and
  // shows no sizes, and every column as wide as its texts, the name column too, even past the dialog's
  // width (a scroll bar then shows it). Set after Qt restored what it remembers of an earlier dialog
  // (a view, a narrow name column), so a first run and the hundredth look the same.
  dialog.setViewMode(QFileDialog::Detail);
  dialog.setProxyModel(new ChineseFileColumns(&dialog));
  if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    list->header()->setStretchLastSection(false);
    for (int column = 0; column <= 3; ++column) list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  dialog.resize(860, 520);
  if (RunModal(&dialog) != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}
}  // namespace

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startDir) {
  if (g_chooser) return g_chooser(ChooserKind::OpenFile, caption);
  return chooseWithDialog(parent, ChooserKind::OpenFile, caption, filter, startDir);
}
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startPath) {
  if (g_chooser) return g_chooser(ChooserKind::SaveFile, caption);
  return chooseWithDialog(parent, ChooserKind::SaveFile, caption, filter, startPath);
}
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startDir) {
  if (g_chooser) return g_chooser(ChooserKind::Folder, caption);
  return chooseWithDialog(parent, ChooserKind::Folder, caption, QString(), startDir);
}
void SetChooserHandler(ChooserHandler handler) { g_chooser = std::move(handler); }

namespace {
bool isWebAddress(const QString& path) { return path.contains(QStringLiteral("://")); }

bool openReally(const QString& path) {
  const bool web = isWebAddress(path);
  const QUrl url = web ? QUrl(path) : QUrl::fromLocalFile(path);
  // Without a program registered for the type the desktop accepts the request and then does nothing,
  // so ask first which program it would use.
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (!xdgMime.isEmpty()) {
    const QString type = web ? QStringLiteral("x-scheme-handler/") + url.scheme() : QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit && query.readAllStandardOutput().trimmed().isEmpty())
      return false;
  }
  return QDesktopServices::openUrl(url);
}
}  // namespace

bool OpenWithDesktop(const QString& path) {
  const bool web = isWebAddress(path);
  if (!web && !QFileInfo::exists(path)) {
    MsgBox(QStringLiteral("找不到文件“%1”，无法打开！").arg(QDir::toNativeSeparators(path)), Mb::Exclamation);
    return false;
  }
  if (g_open ? g_open(path) : openReally(path)) return true;
  if (web)
    MsgBox(QStringLiteral("本机没有可以打开网址的浏览器。\r\n网址：%1").arg(path), Mb::Exclamation);
  else
    MsgBox(QStringLiteral("本机没有可以打开这个文件的程序。\r\n文件已保存在：%1\r\n请安装能打开此类文件的软件（如 WPS Office 或 LibreOffice）后再打开它。")
               .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())),
           Mb::Exclamation);
  return false;
}
void SetOpenFileHandler(OpenFileHandler handler) { g_open = std::move(handler); }

void EndProgram() {
  if (g_end) {
    g_end();
  } else {
    std::exit(0);
  }
  throw ProgramEnded();
}
void SetEndProgramHandler(EndProgramHandler handler) { g_end = std::move(handler); }
