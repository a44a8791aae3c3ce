#pragma once
// Every modal piece of the user interface goes through here: message boxes, modal windows, file and
// folder choosers and ending the program. Each has a handler that tests replace, so no test blocks.
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

class QDialog;
class QWidget;

// Buttons and icons of a message box, combined by adding, as the program's message texts give them.
namespace Mb {
enum : int {
  OkOnly = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5,
  Critical = 16, Question = 32, Exclamation = 48, Information = 64,
  // The second (third) button is the default one, as for a question whose safe answer is No.
  DefaultButton2 = 256, DefaultButton3 = 512,
};
// Answers.
enum : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
}

// The title of message boxes that have none of their own.
extern const QString kAppTitle;

struct MessageRequest {
  QString text;
  int style = 0;  // buttons + icon
  QString title;  // already defaulted to kAppTitle when the caller gave none
  QString details;  // technical particulars (addresses, what the network or driver said), behind "显示详细信息"
};

// Shows a message box and returns the answer (Mb::Ok, Mb::Yes, ...).
int MsgBox(const QString& text, int style = Mb::OkOnly, const QString& title = QString(), const QString& details = QString());
using MessageHandler = std::function<int(const MessageRequest&)>;
// Replaces how message boxes are shown; an empty handler restores the real ones.
void SetMessageHandler(MessageHandler handler);

// Shows a window modally and returns its result code. Every modal window of the program goes through here.
int RunModal(QDialog* dialog);
using ModalHandler = std::function<int(QDialog*)>;
void SetModalHandler(ModalHandler handler);

// File and folder choosers. An empty result means the user cancelled. They are Qt's own dialogs (so
// they speak the program's Chinese), shown through RunModal, listing files with whole names and sizes;
// an empty caption gets a Chinese one ("打开文件", "保存文件", "选择文件夹").
QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startDir = QString());
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startPath = QString());
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startDir = QString());
enum class ChooserKind { OpenFile, SaveFile, Folder };
using ChooserHandler = std::function<QString(ChooserKind, const QString& caption)>;
void SetChooserHandler(ChooserHandler handler);

// Opens a file or folder with the desktop's default program (exported workbooks, contracts, attachments),
// or a web address (one with "://") in the browser. When the file is missing or no program can open it,
// says so in a message box and returns false.
bool OpenWithDesktop(const QString& path);
// The opener behind OpenWithDesktop: true when a program took the file. Tests replace it.
using OpenFileHandler = std::function<bool(const QString&)>;
void SetOpenFileHandler(OpenFileHandler handler);

// Ends the program at once. It never returns: after the handler it throws ProgramEnded, which the
// event guard swallows, so no code after the call runs. The real handler exits the process.
struct ProgramEnded : std::runtime_error {
  ProgramEnded() : std::runtime_error("program ended") {}
};
[[noreturn]] void EndProgram();
using EndProgramHandler = std::function<void()>;
void SetEndProgramHandler(EndProgramHandler handler);
