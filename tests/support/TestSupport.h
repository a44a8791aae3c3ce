#pragma once
// What every test of the program shares: scripted answers for message boxes and modal windows, a
// fresh copy of the shipped database in a temporary program folder, and a frozen clock.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

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

// What another system account sharing the program folder may plant at a name the program uses: a
// link to a private file of the account that runs the program, a link to a name not there yet (in
// a folder that account could write), or a FIFO of mode 0444.
enum class Plant { LinkToPrivateFile, DanglingLink, Fifo };
struct PlantedNames {
  // The private file (0600, of the account the tests' children switch to when the tests run as root,
  // else of this one) and the dangling links' target live in `folder`.
  explicit PlantedNames(const QString& folder);
  void plant(const QString& at, Plant how) const;
  // The private file byte for byte with its owner and mode, and nothing made where a link pointed.
  ::testing::AssertionResult untouched() const;
  QString privateFile, danglingTarget;
};
