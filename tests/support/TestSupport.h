#pragma once
// What every test of the program shares: scripted answers for message boxes and modal windows, a
// fresh copy of the shipped database in a temporary program folder, and a frozen clock.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include <sys/types.h>

#include <deque>
#include <functional>
#include <vector>

#include "platform/Dialogs.h"

// Records every message box and answers from a queue. With an empty queue it answers OK to
// OK-only boxes and No to questions, so a forgotten answer never says Yes to anything.
struct ScriptedResponder {
  std::vector<MessageRequest> messages;
  std::deque<int> answers;

  void install();
  void answer(int a) { answers.push_back(a); }
  // The texts shown so far.
  QStringList texts() const;
  bool saw(const QString& text) const;
  void clear() { messages.clear(); }
};

// Records how often the program asked to end.
struct EndCatcher {
  int calls = 0;
  void install();
};

// Answers modal windows: each window goes to the queued handler; with none queued the window is
// rejected at once (as if closed) and recorded.
struct ModalScript {
  std::vector<QString> shown;  // object names (or titles) of the windows shown
  std::deque<std::function<int(QDialog*)>> handlers;
  void install();
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The program folder of this test (with a trailing "/").
  QString appDir() const;
  // Fixes today's date and time.
  void setNow(const QDateTime& at);
  // Logs in the reserved super administrator's state without the login window.
  void loginAsSuperAdmin();
  // Runs `action` with the real message boxes, pressing `key` on each one as it shows; the texts of
  // the boxes, in order. The scripted answers are back afterwards.
  QStringList pressOnRealMessageBoxes(const std::function<void()>& action, int key);

  QTemporaryDir dir_;
  ScriptedResponder responder_;
  EndCatcher ended_;
  ModalScript modal_;
};

// Path of the shipped database the build made.
QString ShippedDatabasePath();
// A fresh copy of the shipped database at `path`.
void CopyShippedDatabase(const QString& path);
// The database `from` copied to `to` in 1024-byte pages, as earlier versions wrote their files.
void WriteOldPageCopy(const QString& from, const QString& to, const QString& key);
// The page size of a keyed file, as a connection of the program reads it.
int FilePageSize(const QString& path, const QString& key);
// Runs a command-line tool (unzip, pdftotext, ...) and returns what it printed; "" when it does not
// finish within 30 seconds.
QString ToolOutput(const QString& program, const QStringList& args);

// Every entry of a folder (not below it) with what it holds, its mode, owner and size.
QStringList FolderState(const QString& folder);
// Moves the database file `name` to `real` and makes `name` a link to it, through the links `via`
// in turn (name -> via[0] -> ... -> real), as an administrator keeping the data elsewhere does. With
// `lastByAnotherAccount` the last link of the chain is given to uid 65534 (root only). False when
// any step fails.
bool LinkDatabase(const QString& name, const QStringList& via, const QString& real, bool lastByAnotherAccount = false);
// Whether a row that needs a link of another account cannot run here (only root can give one); it
// then says so, naming the row.
bool CannotLinkAsAnotherAccount(const char* row);
// Whether a symbolic link stands at `path`.
bool IsLink(const QString& path);

// What another system account may plant at a name in a folder it shares with the program.
enum class Plant {
  LinkToOthersFile,  // a link to that account's private file (0600, owned by uid 65534 when run as root)
  DanglingLink,      // a link to a name in that account's folder where nothing is yet
  Fifo,              // a named pipe of mode 0444: whoever opens it waits for the other end
  HardLink,          // a second name of that account's private file: a plain file to lstat
};
inline constexpr Plant kEveryPlant[] = {Plant::LinkToOthersFile, Plant::DanglingLink, Plant::Fifo, Plant::HardLink};
const char* PlantText(Plant kind);

// Plants `kind` at `path`; a link (or the file a hard link names) lies in a folder of its own under
// `elsewhere`.
class PlantedName {
 public:
  PlantedName(Plant kind, const QString& path, const QString& elsewhere);
  // The other account's folder as it was planted: the linked file byte for byte, with its mode and
  // owner, and nothing made where a link points.
  ::testing::AssertionResult othersUntouched() const;
  // Whether the name still holds what was planted.
  bool stillPlanted() const;
  // The other account's folder (writable by every account, so a create through a link would succeed).
  const QString& folder() const { return folder_; }

  Plant kind;
  QString path;

 private:
  QString folder_;
  QStringList snapshot_;
};


// Another process holding an exclusive flock on `path` (opened read-only, as any account can open a
// 0666 file): until this is destroyed, or for `seconds` when that is not negative. `pid` is -1 when
// the lock could not be taken.
struct FlockHolder {
  explicit FlockHolder(const QString& path, int seconds = -1);
  ~FlockHolder();
  FlockHolder(const FlockHolder&) = delete;
  FlockHolder& operator=(const FlockHolder&) = delete;
  pid_t pid = -1;
};
