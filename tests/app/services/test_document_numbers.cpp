// Document numbers and lookup codes.
#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/LoginState.h"

namespace {
class DocumentNumberTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    gMachineId = 3;
    gCurrentUserId = 12;
    setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
  }
  void addLoan(const QString& no) { Db().Execute(QStringLiteral("insert into PJ_Dkjl (单号) values (?)"), {no}); }
  void deleteLoan(const QString& no) { Db().Execute(QStringLiteral("delete from PJ_Dkjl where 单号=?"), {no}); }
};
}  // namespace

TEST_F(DocumentNumberTest, FirstAndSecondLoanOfTheDay) {
  const QString first = NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D"));
  EXPECT_EQ(first, QStringLiteral("D003001220261208001"));
  EXPECT_EQ(first.size(), 19);
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), first) << "nothing is reserved";
  addLoan(first);
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D003001220261208002"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D"), QStringLiteral("单号")), QStringLiteral("D003001220261208002"));
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(DocumentNumberTest, OtherUsersWorkstationsDaysAndPrefixesDoNotCount) {
  addLoan(QStringLiteral("D003001320261208001"));  // user 13
  addLoan(QStringLiteral("D004001220261208001"));  // workstation 4
  addLoan(QStringLiteral("D003001220261207005"));  // the day before
  addLoan(QStringLiteral("C003001220261208007"));  // a financing prefix in the loan table
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D003001220261208001"));
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号) values ('C003001220261208001')"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Cjjl"), QStringLiteral("C")), QStringLiteral("C003001220261208002"));
}

TEST_F(DocumentNumberTest, ADeletedNumberInTheMiddleNeverComesBack) {
  addLoan(QStringLiteral("D003001220261208001"));
  addLoan(QStringLiteral("D003001220261208002"));
  addLoan(QStringLiteral("D003001220261208003"));
  deleteLoan(QStringLiteral("D003001220261208001"));
  // Count + 1 would give 003, a number still in use.
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D003001220261208004"));
  deleteLoan(QStringLiteral("D003001220261208002"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D003001220261208004"));
  addLoan(QStringLiteral("D003001220261208004"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D003001220261208005"));
}

TEST_F(DocumentNumberTest, LongNumbersPastTheFieldWidths) {
  addLoan(QStringLiteral("D003001220261208999"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D0030012202612081000"));
  addLoan(QStringLiteral("D0030012202612081000"));
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D")), QStringLiteral("D0030012202612081001"));
  gCurrentUserId = 12345;
  const QString n = NewDocumentNumber(QStringLiteral("PJ_Dkjl"), QStringLiteral("D"));
  EXPECT_EQ(n, QStringLiteral("D00312345202612080" "01"));
  EXPECT_EQ(n.size(), 20);
}

TEST_F(DocumentNumberTest, AFailureIsReportedAndGivesAnEmptyNumber) {
  EXPECT_EQ(NewDocumentNumber(QStringLiteral("PJ_Nichts"), QStringLiteral("D")), QString());
  ASSERT_FALSE(responder_.messages.empty());
  EXPECT_TRUE(responder_.messages.back().text.contains(QStringLiteral("程序出现异常！")));
  EXPECT_EQ(responder_.messages.back().style & 0x70, Mb::Critical);
}

TEST_F(DocumentNumberTest, NextCodeNumberFollowsTheHighestCode) {
  // The shipped lookup items carry codes 1 to 27.
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 28);
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang"), QStringLiteral("代码")), 28);
  Db().Execute(QStringLiteral("delete from PJ_Zaxiang"));
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 1) << "an empty list starts at 1";
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称, 类别, 代码) values (?, 9, 7)"), {QStringLiteral("甲")});
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 8);
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称, 类别, 代码) values (?, 9, 8), (?, 9, 9)"), {QStringLiteral("乙"), QStringLiteral("丙")});
  Db().Execute(QStringLiteral("delete from PJ_Zaxiang where 代码=8"));
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 10);
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(DocumentNumberTest, ACodeThatIsNotANumberIsReportedAndGivesZero) {
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称, 类别, 代码) values (?, 9, null)"), {QStringLiteral("空")});
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 0);
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("程序出现异常！")));
  Db().Execute(QStringLiteral("delete from PJ_Zaxiang where 代码 is null"));
  Db().Execute(QStringLiteral("insert into PJ_Zaxiang (名称, 类别, 代码) values (?, 9, 32767)"), {QStringLiteral("大")});
  EXPECT_EQ(NextCodeNumber(QStringLiteral("PJ_Zaxiang")), 0) << "past a 16-bit code";
  EXPECT_EQ(responder_.messages.size(), 2u);
}

// A claim succeeds once per version read: a second window that read the same version is refused
// and its transaction writes nothing; a missing document is refused too.
TEST_F(DocumentNumberTest, ClaimsTakeTheVersionTheWindowRead) {
  addLoan(QStringLiteral("D003001220261208001"));
  Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号) values ('C003001220261208001')"));
  for (const QString table : {QStringLiteral("PJ_Dkjl"), QStringLiteral("PJ_Cjjl")}) {
    SCOPED_TRACE(table.toStdString());
    const QString no = table == QStringLiteral("PJ_Dkjl") ? QStringLiteral("D003001220261208001") : QStringLiteral("C003001220261208001");
    const qint64 seen = DocumentVersion(table, no);
    EXPECT_EQ(seen, 0) << "a new document starts at 0";
    {
      Transaction t;
      ClaimDocument(table, no, seen);
      t.Commit();
    }
    EXPECT_EQ(DocumentVersion(table, no), 1);
    {
      Transaction t;
      EXPECT_THROW(ClaimDocument(table, no, seen), DocumentChanged);
      Db().Execute(QStringLiteral("update ") + table + QStringLiteral(" set 备注='stale' where 单号=?"), {no});
      // not committed: the stale window's transaction rolls back
    }
    Recordset rs;
    OpenRecordset(rs, QStringLiteral("select 版本, 备注 from ") + table + QStringLiteral(" where 单号=?"), {no});
    EXPECT_EQ(rs.value(0).toLongLong(), 1);
    EXPECT_NE(rs.text(1), QStringLiteral("stale"));
    EXPECT_EQ(DocumentVersion(table, QStringLiteral("X")), -1);
    EXPECT_THROW(ClaimDocument(table, QStringLiteral("X"), 0), DocumentChanged);
  }
  try {
    throw DocumentChanged();
  } catch (const DocumentChanged& e) {
    EXPECT_EQ(e.message, QStringLiteral("该单据已被其他用户修改，请关闭窗口后重新打开！"));
  }
}
