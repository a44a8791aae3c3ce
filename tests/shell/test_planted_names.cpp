// Names the program keeps or makes in the folders other system accounts may write: whatever such an
// account plants there (a link to a private file of the account running the program, a dangling
// link, a FIFO) never makes the program write, truncate, re-mode or make a file elsewhere, nor hang.
#include <QDir>
#include <QFile>

#include <functional>

#include <unistd.h>

#include "TestSupport.h"
#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "loans/AttachmentCopies.h"
#include "loans/LoanStore.h"
#include "platform/ContractWriter.h"
#include "platform/ReportEngine.h"
#include "platform/SafeFiles.h"

using PlantedNamesTest = ProgramTest;

TEST_F(PlantedNamesTest, WhatIsPlantedAtANameTheProgramUsesNeverReachesAnotherFile) {
  setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)));
  const QString folder = LoanStore::AttachmentFolder();
  const QString list = folder + QStringLiteral(".pending");
  const QString userFile = dir_.path() + QStringLiteral("/借据.pdf");
  QFile user(userFile);
  ASSERT_TRUE(user.open(QIODevice::WriteOnly) && user.write("%PDF-1.4 借据") > 0);
  user.close();
  // Each save writes a value of its own: one that was refused is nowhere in the file.
  int saves = 0;
  const auto saved = [] { return Db().scalar(QStringLiteral("select SqlIP from PJ_Sys where 编号=1")).toString(); };
  const auto save = [&] {
    try {
      Db().Execute(QStringLiteral("update PJ_Sys set SqlIP=? where 编号=1"), {QStringLiteral("第%1次保存").arg(++saves)});
      return QString();
    } catch (const AppError& e) {
      return e.description;
    }
  };
  const auto start = [this] {
    responder_.clear();
    ClaimLocalDatabase();
    return responder_.texts().join(QLatin1Char('|'));
  };
  // The start from the beginning: what is judged before the first connection opens nothing.
  const auto startAnew = [this] {
    ResetConnections();
    responder_.clear();
    try {
      delete Main();
    } catch (const ProgramEnded&) {
    }
    EXPECT_FALSE(DbPtr(0)->isOpen()) << "nothing opened";
    return responder_.texts().join(QLatin1Char('|'));
  };
  const QString journal = LocalDatabasePath() + QStringLiteral("-journal");
  const QString wal = LocalDatabasePath() + QStringLiteral("-wal");
  const QString shm = LocalDatabasePath() + QStringLiteral("-shm");
  const auto unsafe = [](const QString& side) { return DbFailure::unsafeSideFile(side); };
  QList<LoanStore::Attachment> added;
  const auto addCopy = [&] { return LoanStore::AddAttachmentCopy(userFile, &added); };
  const QString listRefused = QStringLiteral("附件清单不是普通文件，为安全起见没有使用，请删除它后重试：") + list;
  // Templates are only read: the preview and the designer of a report, the filling of a contract.
  const QString report = folder + QStringLiteral("借据.FR3"), contract = folder + QStringLiteral("gr.docx");
  const QString contractMade = gAppDir + QStringLiteral("合同/D001.docx");
  const auto reportIn = [&report](int mode) {
    return [&report, mode] {
      try {
        ReportEngine().MPrintReport(mode, report, QString());
        return QString();
      } catch (const ReportTemplateError& e) {
        return e.message;
      }
    };
  };
  const QString templateRefused = QStringLiteral("模板文件不是普通文件，为安全起见没有使用，请删除它并放回正确的模板后重试：");
  struct Case {
    const char* name;
    QString at;
    std::function<QString()> step;  // "" when done, else the sentence it stopped with
    QString refusal;
    std::function<void()> after;  // what the step left, checked and tidied
    QString alsoAt = {};  // a second name of what was planted
    // SQLite takes up a -wal only where it finds one with content: a dangling link or a FIFO there
    // is never opened, and the step goes on as if nothing were there.
    bool onlyWithContent = false;
    // Templates are only read and replaced by rename: a second name of one is no danger (a snapshot).
    bool severalLinksAllowed = false;
  };
  const std::vector<Case> cases = {
      {"the pending list, at the start's clean-up", list, start, listRefused, {}},
      {"the pending list, when a copy is noted", list, addCopy, QStringLiteral("附件复制失败：") + listRefused,
       [&] { EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty()) << "no copy made"; }},
      {"the list's old place beside template/", gAppDir + QStringLiteral("template.pending"), start, QString(),
       [&] { EXPECT_FALSE(NameTaken(gAppDir + QStringLiteral("template.pending"))) << "unlinked"; }},
      {"an attachment copy's name", folder + QStringLiteral("20261208093000.pdf"), addCopy, QString(),
       [&] {
         ASSERT_EQ(added.size(), 1);
         EXPECT_EQ(added[0].path, folder + QStringLiteral("20261208093000_1.pdf")) << "the next name";
         EXPECT_EQ(LoanStore::PendingCopies(), QStringList{QStringLiteral("20261208093000_1.pdf")});
         QFile copy(added[0].path);
         ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
         EXPECT_EQ(copy.readAll(), QByteArray("%PDF-1.4 借据"));
         LoanStore::DiscardCopies(added);
         added.clear();
       }},
      {"a report template, at its preview", report, reportIn(0), templateRefused + report, {}, {}, false, true},
      {"a report template, in the designer", report, reportIn(2), templateRefused + report,
       [&] { EXPECT_TRUE(modal_.shown.empty()) << "the designer is not opened"; }, {}, false, true},
      {"a contract template", contract, [&] { return WriteContract(contract, contractMade, {}); }, templateRefused + contract,
       [&] { EXPECT_FALSE(NameTaken(contractMade)); }, {}, false, true},
      // Planted after the start (a journal with content is a hot one to SQLite): the save is refused.
      {"the database's journal", journal, save, unsafe(journal), {}},
      {"the database's -wal", wal, save, unsafe(wal), {}, {}, true},
      {"the database's -shm alone, never opened without a -wal", shm, save, QString(), {}},
      {"the database's -wal and -shm, two names of one", wal, save, unsafe(wal), {}, shm, true},
      // Planted before the start: the start ends before SQLite opens anything.
      {"the database's journal, before the start", journal, startAnew, unsafe(journal), {}},
      {"the database's -wal, before the start", wal, startAnew, unsafe(wal), {}},
      {"the database's -shm, before the start", shm, startAnew, unsafe(shm), {}},
      {"the database's -wal and -shm, before the start", wal, startAnew, unsafe(wal), {}, shm},
  };
  ::alarm(120);  // a step that waits on a FIFO fails the test
  for (const Case& c : cases) {
    for (const Plant how : kEveryPlant) {
      if (c.severalLinksAllowed && how == Plant::HardLink) continue;
      SCOPED_TRACE(std::string(c.name) + ", " + PlantText(how));
      const QString before = saved();
      const PlantedName planted(how, c.at, dir_.path() + QStringLiteral("/另一账户"));
      if (!c.alsoAt.isEmpty()) ASSERT_EQ(::link(QFile::encodeName(c.at).constData(), QFile::encodeName(c.alsoAt).constData()), 0);
      const QString refusal = c.onlyWithContent && (how == Plant::DanglingLink || how == Plant::Fifo) ? QString() : c.refusal;
      EXPECT_EQ(c.step(), refusal);
      const auto unplant = [&c] { for (const QString& name : {c.at, c.alsoAt}) ::unlink(QFile::encodeName(name).constData()); };
      if (!refusal.isEmpty()) {
        EXPECT_TRUE(planted.stillPlanted()) << "what was planted stays";
        ResetConnections();
        unplant();
        EXPECT_EQ(saved(), before) << "nothing of a refused step written";
      }
      if (c.after) c.after();
      EXPECT_TRUE(planted.othersUntouched());
      EXPECT_TRUE(IsPlainFile(LocalDatabasePath()));
      unplant();
      EXPECT_EQ(save(), QString()) << "the database saves again once the name is free";
      EXPECT_EQ(saved(), QStringLiteral("第%1次保存").arg(saves));
    }
  }
  ::alarm(0);
}
