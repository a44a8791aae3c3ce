#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
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
  box.setText(text);
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

int MsgBox(const QString& text, int style, const QString& title) {
  MessageRequest r{text, style, title.isEmpty() ? kAppTitle : title};
  if (g_message) return g_message(r);
  return showRealMessage(r);
}
void SetMessageHandler(MessageHandler handler) { g_message = std::move(handler); }

int RunModal(QDialog* dialog) {
  if (g_modal) return g_modal(dialog);
  return dialog->exec();
}
void SetModalHandler(ModalHandler handler) { g_modal = std::move(handler); }

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startDir) {
  if (g_chooser) return g_chooser(ChooserKind::OpenFile, caption);
  return QFileDialog::getOpenFileName(parent, caption, startDir, filter);
}
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startPath) {
  if (g_chooser) return g_chooser(ChooserKind::SaveFile, caption);
  return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startDir) {
  if (g_chooser) return g_chooser(ChooserKind::Folder, caption);
  return QFileDialog::getExistingDirectory(parent, caption, startDir);
}
void SetChooserHandler(ChooserHandler handler) { g_chooser = std::move(handler); }

bool OpenWithDesktop(const QString& path) {
  if (g_open) return g_open(path);
  // Web addresses open in the browser, anything else as a local file or folder.
  if (path.contains(QStringLiteral("://"))) return QDesktopServices::openUrl(QUrl(path));
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
