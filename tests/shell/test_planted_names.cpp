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
#include "platform/SafeFiles.h"

using PlantedNamesTest = ProgramTest;

TEST_F(PlantedNamesTest, WhatIsPlantedAtANameTheProgramUsesNeverReachesAnotherFile) {
  setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)));
  const QString folder = LoanStore::AttachmentFolder();
  const QString list = folder + QStringLiteral(".pending");
  const QString userFile = dir_.path() + QStringLiteral("/借据.pdf");
  {
    QFile f(userFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4 借据");
  }
  const auto save = [] {
    try {
      Db().Execute(QStringLiteral("update PJ_Sys set 数据库类型=0 where 编号=1"));
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
  QList<LoanStore::Attachment> added;
  const auto addCopy = [&] { return LoanStore::AddAttachmentCopy(userFile, &added); };
  const QString listRefused = QStringLiteral("附件清单不是普通文件，为安全起见没有使用，请删除它后重试：") + list;
  struct Case {
    const char* name;
    QString at;
    std::function<QString()> step;  // "" when done, else the sentence it stopped with
    QString refusal;
    std::function<void()> after;  // what the step left, checked and tidied
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
      {"the database's journal", LocalDatabasePath() + QStringLiteral("-journal"), save, QStringLiteral("数据库文件是只读的，不能保存。"), {}},
  };
  ::alarm(120);  // a step that waits on a FIFO fails the test
  for (const Case& c : cases) {
    for (const Plant how : kEveryPlant) {
      SCOPED_TRACE(std::string(c.name) + ", " + PlantText(how));
      const PlantedName planted(how, c.at, dir_.path() + QStringLiteral("/另一账户"));
      EXPECT_EQ(c.step(), c.refusal);
      if (!c.refusal.isEmpty()) EXPECT_TRUE(NameTaken(c.at) && !IsPlainFile(c.at)) << "what was planted stays";
      if (c.after) c.after();
      EXPECT_TRUE(planted.othersUntouched());
      EXPECT_TRUE(IsPlainFile(LocalDatabasePath()));
      ::unlink(QFile::encodeName(c.at).constData());
      EXPECT_EQ(save(), QString()) << "the database saves again once the name is free";
    }
  }
  ::alarm(0);
}
