// The cash journal writer and the bank-information record.
#include <QDialog>

#include <cmath>
#include <functional>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/DocumentClaim.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "loans/LoanRecords.h"
#include "platform/Money.h"
#include "platform/WaitCursor.h"

namespace {

struct JournalRow {
  QString docNo;
  double amount;
  QString direction;
  double balance;
};

std::vector<JournalRow> journal() {
  std::vector<JournalRow> rows;
  QueryResult r = Db().query(QStringLiteral("select 单号, 金额, 方向, 余额 from PJ_Liushui order by 编号"));
  for (const QVariantList& row : r.rows)
    rows.push_back({VariantText(row[0]), VariantNumber(row[1]), VariantText(row[2]), VariantNumber(row[3])});
  return rows;
}

// Each row's balance is the sum of 金额 up to and including it.
void expectBalancesConsistent() {
  double sum = 0;
  for (const JournalRow& row : journal()) {
    sum += row.amount;
    EXPECT_NEAR(row.balance, sum, 0.001) << row.docNo.toStdString();
  }
}

class LedgerTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    gMachineId = 2;
    gUserDeptId = 7;
    for (auto& v : gBankInfo) v = QVariant();
  }

  // Writes one entry and returns the amount variable after the call.
  double write(const QString& docNo, double amount, const QString& summary, const QString& direction, qint32 id = 0) {
    double a = amount;
    WriteLedgerEntry(docNo, a, summary, direction, QStringLiteral("张经办"), id);
    return a;
  }
};

}  // namespace

TEST_F(LedgerTest, FirstIncomeThenExpenseGiveTheRunningBalances) {
  ASSERT_TRUE(journal().empty()) << "the shipped journal is empty";
  EXPECT_EQ(write(QStringLiteral("D001"), 1000, QStringLiteral("贷款利息收入"), QStringLiteral("收入")), 1000);
  EXPECT_EQ(write(QStringLiteral("D001"), 300, QStringLiteral("贷款本金支出"), QStringLiteral("支出")), -300)
      << "the caller's variable holds the negative amount";
  auto rows = journal();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].amount, 1000);
  EXPECT_EQ(rows[0].balance, 1000);
  EXPECT_EQ(rows[1].amount, -300);
  EXPECT_EQ(rows[1].balance, 700);
  EXPECT_EQ(rows[1].direction, QStringLiteral("支出"));
}

TEST_F(LedgerTest, BalancesRunOverIncomesAndExpensesInBothDirectionsWithExactCents) {
  struct Step {
    double amount;
    const char* direction;
  };
  const Step steps[] = {{5000000, "支出"},   {1234567.89, "收入"}, {0.01, "收入"},      {12345678.91, "收入"},
                        {250.55, "支出"},    {99999.99, "收入"},   {3000000.5, "支出"}, {0.3, "收入"},
                        {7654321.09, "支出"}};
  double expected = 0;
  for (const Step& s : steps) {
    const QString dir = QString::fromUtf8(s.direction);
    const double after = write(QStringLiteral("C0020001"), s.amount, QStringLiteral("摘要"), dir);
    EXPECT_EQ(after, dir == QStringLiteral("支出") ? -s.amount : s.amount);
    expected += after;
    EXPECT_NEAR(journal().back().balance, expected, 1e-6);
  }
  expectBalancesConsistent();
  // Cents survive amounts of millions: the stored balance is the exact decimal sum.
  EXPECT_NEAR(journal().back().balance, -1974325.04, 1e-9);
  EXPECT_EQ(QString::number(journal().back().balance, 'f', 2), QStringLiteral("-1974325.04"));
}

TEST_F(LedgerTest, RowCarriesStampsAndBothSidesBankData) {
  gLoginAccount = QStringLiteral("zhangsan");
  gUserName = QStringLiteral("张三");
  const char* bank[] = {"工商银行城东支行", "示范借贷有限公司", "6222000011112222", "建设银行", "李四", "6217000033334444"};
  for (int i = 0; i < 6; ++i) gBankInfo[static_cast<size_t>(i)] = QString::fromUtf8(bank[i]);
  write(QStringLiteral("D0020001202612080001"), 88.8, QStringLiteral("逾期手续费收入"), QStringLiteral("收入"), 42);

  OpenMainQuery(QStringLiteral("select * from PJ_Liushui"));
  ASSERT_EQ(gMainRecordset.RecordCount(), 1);
  EXPECT_EQ(gMainRecordset.text("单号"), QStringLiteral("D0020001202612080001"));
  EXPECT_EQ(gMainRecordset.text("摘要"), QStringLiteral("逾期手续费收入"));
  EXPECT_EQ(gMainRecordset.text("方向"), QStringLiteral("收入"));
  EXPECT_EQ(gMainRecordset.text("经办人"), QStringLiteral("张经办"));
  EXPECT_EQ(gMainRecordset.text("操作员"), QStringLiteral("zhangsan")) << "the login account, not the name";
  EXPECT_EQ(gMainRecordset.text("我方开户行"), QStringLiteral("工商银行城东支行"));
  EXPECT_EQ(gMainRecordset.text("我方开户名"), QStringLiteral("示范借贷有限公司"));
  EXPECT_EQ(gMainRecordset.text("我方账号"), QStringLiteral("6222000011112222"));
  EXPECT_EQ(gMainRecordset.text("对方开户行"), QStringLiteral("建设银行"));
  EXPECT_EQ(gMainRecordset.text("对方开户名"), QStringLiteral("李四"));
  EXPECT_EQ(gMainRecordset.text("对方账号"), QStringLiteral("6217000033334444"));
  EXPECT_EQ(gMainRecordset.integer("对应ID"), 42);
  EXPECT_EQ(gMainRecordset.integer("机器ID"), 2);
  EXPECT_EQ(gMainRecordset.integer("科室ID"), 7);
  EXPECT_DOUBLE_EQ(gMainRecordset.number("余额"), 88.8);
  EXPECT_FALSE(gMainRecordset.text("时间").isEmpty()) << "the database stamps the time";
  CloseRecordset(gMainRecordset);
}

TEST_F(LedgerTest, InsideASaveTheEntryWaitsForTheSavesCommit) {
  write(QStringLiteral("D1"), 1000, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  // A second workstation's view of the same file.
  Connection other(MakeSqlCipherBackend(LocalDatabasePath(), PBclass().mySys(1).toString()), SqlDialect{});
  other.Execute(QStringLiteral("PRAGMA busy_timeout = 0"));
  {
    Transaction save;
    write(QStringLiteral("D2"), 400, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
    write(QStringLiteral("D2"), 50, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
    EXPECT_EQ(journal().size(), 3u) << "the save sees its own rows";
    EXPECT_EQ(other.scalar(QStringLiteral("select count(*) from PJ_Liushui")).toInt(), 1)
        << "the writer must not commit the save's transaction on its own";
    EXPECT_THROW(other.begin(), AppError) << "no other writer can add journal rows while the save holds the journal";
    save.Commit();
  }
  EXPECT_EQ(other.scalar(QStringLiteral("select count(*) from PJ_Liushui")).toInt(), 3);
  EXPECT_DOUBLE_EQ(journal().back().balance, 650);
  expectBalancesConsistent();
}

TEST_F(LedgerTest, AfterARollbackTheBalanceContinuesFromTheLastCommittedRow) {
  write(QStringLiteral("D1"), 1000, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  write(QStringLiteral("D1"), 200, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  {
    Transaction save;  // abandoned: never committed
    write(QStringLiteral("D2"), 5000, QStringLiteral("拆借本金收入"), QStringLiteral("收入"));
    write(QStringLiteral("D2"), 70, QStringLiteral("拆借利息支出"), QStringLiteral("支出"));
  }
  ASSERT_EQ(journal().size(), 2u);

  // A save that fails after writing its journal rows: the handler's guard rolls everything back.
  QDialog w;
  w.setWindowTitle(QStringLiteral("贷款登记"));
  EXPECT_FALSE(Guarded(QStringLiteral("保存单据"), &w, [&] {
    Transaction save;
    write(QStringLiteral("D3"), 999, QStringLiteral("回款本金收入"), QStringLiteral("收入"));
    throw AppError(Err::Database, QStringLiteral("磁盘已满"));
  }));
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.contains(QStringLiteral("磁盘已满")));
  ASSERT_EQ(journal().size(), 2u) << "nothing of the failed save remains";

  write(QStringLiteral("D4"), 300, QStringLiteral("存款本金收入"), QStringLiteral("收入"));
  auto rows = journal();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.back().balance, 1100) << "1000 - 200 + 300: the rolled-back rows count for nothing";
  expectBalancesConsistent();
}

TEST_F(LedgerTest, AFailedWriteInsideASaveUndoesTheWholeSave) {
  Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号) values ('D9')"));
  EXPECT_FALSE(Guarded(QString(), nullptr, [&] {
    Transaction save;
    Db().Execute(QStringLiteral("delete from PJ_Hdjh where 单号='D9'"));
    write(QStringLiteral("D9"), 10, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
    Db().Execute(QStringLiteral("drop table PJ_Liushui"));  // the journal vanishes: the next write fails
    write(QStringLiteral("D9"), 20, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
    save.Commit();
  }));
  EXPECT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(Db().scalar(QStringLiteral("select count(*) from PJ_Hdjh where 单号='D9'")).toInt(), 1);
  EXPECT_TRUE(journal().empty());
  EXPECT_FALSE(Db().inTransaction());
}

TEST_F(LedgerTest, ClearBankInfoEmptiesItemsZeroToFiveOnly) {
  for (int i = 0; i <= 50; ++i) gBankInfo[static_cast<size_t>(i)] = QStringLiteral("v%1").arg(i);
  gBankInfo[50] = 3;
  ClearBankInfo();
  for (int i = 0; i <= 5; ++i) {
    EXPECT_EQ(gBankInfo[static_cast<size_t>(i)].typeId(), QMetaType::QString);
    EXPECT_EQ(gBankInfo[static_cast<size_t>(i)].toString(), QString());
  }
  EXPECT_EQ(gBankInfo[6].toString(), QStringLiteral("v6"));
  EXPECT_EQ(gBankInfo[49].toString(), QStringLiteral("v49"));
  EXPECT_EQ(gBankInfo[50].toInt(), 3) << "the caller code stays";
}

TEST_F(LedgerTest, BorrowerBankDataComeFromTheCustomerTableOfTheLoansKind) {
  Connection& db = Db();
  db.Execute(QStringLiteral("insert into PJ_Kehu (编号, 姓名, 开户行, 开户名, 银行帐号) values (5, ?, ?, ?, '622848')"), {QStringLiteral("王五"), QStringLiteral("农业银行"), QStringLiteral("王五")});
  db.Execute(QStringLiteral("insert into PJ_Kehu_Gs (编号, 公司名称, 开户行, 开户名, 银行帐号) values (5, ?, ?, ?, '104100')"), {QStringLiteral("某公司"), QStringLiteral("中国银行"), QStringLiteral("某公司")});
  db.Execute(QStringLiteral("insert into PJ_Dkjl (单号, 客户性质, 客户ID) values ('DP', ?, 5), ('DE', ?, 5), ('DX', '', 5)"), {QStringLiteral("个人"), QStringLiteral("企业")});

  gBankInfo[0] = QStringLiteral("our bank");
  gBankInfo[50] = 3;
  LoadBorrowerBankInfo(QStringLiteral("DP"));
  EXPECT_EQ(gBankInfo[0].toString(), QString()) << "our side is empty until the account picker fills it";
  EXPECT_EQ(gBankInfo[1].toString(), QString());
  EXPECT_EQ(gBankInfo[2].toString(), QString());
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("农业银行"));
  EXPECT_EQ(gBankInfo[4].toString(), QStringLiteral("王五"));
  EXPECT_EQ(gBankInfo[5].toString(), QStringLiteral("622848"));
  EXPECT_EQ(gBankInfo[50].toInt(), 3);

  LoadBorrowerBankInfo(QStringLiteral("DE"));
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("中国银行"));
  EXPECT_EQ(gBankInfo[5].toString(), QStringLiteral("104100"));
  LoadBorrowerBankInfo(QStringLiteral("DX"));
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("中国银行")) << "anything but 个人 reads the company table";

  // A borrower deleted since leaves the side empty; a loan deleted since is the stale-window refusal.
  db.Execute(QStringLiteral("delete from PJ_Kehu_Gs where 编号=5"));
  LoadBorrowerBankInfo(QStringLiteral("DE"));
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(gBankInfo[i].toString(), QString()) << i;
  LoadBorrowerBankInfo(QStringLiteral("DP"));
  EXPECT_THROW(LoadBorrowerBankInfo(QStringLiteral("NONE")), DocumentChanged);
  EXPECT_EQ(gBankInfo[3].toString(), QString()) << "cleared before the refusal";
}

TEST_F(LedgerTest, InvestorBankDataComeFromTheInvestorTable) {
  Connection& db = Db();
  db.Execute(QStringLiteral("insert into PJ_Gd (编号, 姓名, 开户行, 开户名, 银行账号) values (9, ?, ?, ?, '6225880')"), {QStringLiteral("赵六"), QStringLiteral("招商银行"), QStringLiteral("赵六")});
  db.Execute(QStringLiteral("insert into PJ_Cjjl (单号, 客户ID) values ('C1', 9), ('C2', 99)"));
  LoadInvestorBankInfo(QStringLiteral("C1"));
  EXPECT_EQ(gBankInfo[3].toString(), QStringLiteral("招商银行"));
  EXPECT_EQ(gBankInfo[4].toString(), QStringLiteral("赵六"));
  EXPECT_EQ(gBankInfo[5].toString(), QStringLiteral("6225880"));
  LoadInvestorBankInfo(QStringLiteral("C2"));  // its investor deleted since
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(gBankInfo[i].toString(), QString()) << i;
  EXPECT_THROW(LoadInvestorBankInfo(QStringLiteral("C3")), DocumentChanged) << "the financing row is missing";
}

TEST_F(LedgerTest, DeletingADocumentsRowsRecomputesTheLaterBalances) {
  write(QStringLiteral("D1"), 1000, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  write(QStringLiteral("D2"), 300, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  write(QStringLiteral("D3"), 50, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  write(QStringLiteral("D2"), 20, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  write(QStringLiteral("D4"), 5, QStringLiteral("贷款利息收入"), QStringLiteral("收入"));
  {
    Transaction save;
    EXPECT_EQ(DeleteLedgerEntries(QStringLiteral("D2")), 2);
    save.Commit();
  }
  auto rows = journal();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].balance, 1000);
  EXPECT_EQ(rows[1].balance, 1050);
  EXPECT_EQ(rows[2].balance, 1055);
  EXPECT_EQ(DeleteLedgerEntries(QStringLiteral("none")), 0);
  write(QStringLiteral("D5"), 55, QStringLiteral("贷款本金支出"), QStringLiteral("支出"));
  EXPECT_EQ(journal().back().balance, 1000);
  expectBalancesConsistent();
}

TEST_F(LedgerTest, TheTotalIsTheNewestRowsBalanceNotASumOfTheWholeJournal) {
  // The writer keeps each 余额 the sum up to its row, so the newest row's balance is the total; a
  // sum over the table would give 30 here, the newest balance says 1000.
  Db().Execute(QStringLiteral("insert into PJ_Liushui (单号,金额,余额) values ('D0',10,10),('D0',20,1000)"));
  double amount = 5;
  WriteLedgerEntry(QStringLiteral("D1"), amount, QStringLiteral("贷款利息收入"), QStringLiteral("收入"), QStringLiteral("张经办"), 0);
  EXPECT_DOUBLE_EQ(journal().back().balance, 1005);
  // A delete moves the later balances by the amount deleted, whatever they hold.
  Db().Execute(QStringLiteral("update PJ_Liushui set 单号='D2' where 编号=(select min(编号) from PJ_Liushui where 单号='D0')+1"));
  EXPECT_EQ(DeleteLedgerEntries(QStringLiteral("D2")), 1);
  EXPECT_DOUBLE_EQ(journal().back().balance, 985) << "1005 less the 20 deleted";
}

TEST_F(LedgerTest, OnSqlServerTheTotalIsReadUnderATableLock) {
  // No SQL Server runs here: a server-dialect connection on the local file shows the SQL text the
  // writer sends (the file itself cannot run it).
  auto server = std::make_shared<Connection>(MakeSqlCipherBackend(LocalDatabasePath(), PBclass().mySys(1).toString()),
                                             SqlDialect{DialectKind::SqlServer});
  SetConnectionOverride(1, server);
  gDatabaseType = 1;
  double amount = 10;
  EXPECT_THROW(WriteLedgerEntry(QStringLiteral("D1"), amount, QStringLiteral("贷款利息收入"), QStringLiteral("收入"),
                                QStringLiteral("张经办"), 0),
               AppError);
  EXPECT_EQ(gCurrentSql, QStringLiteral("select top 1 余额 as 总余额 from PJ_Liushui with (tablockx, holdlock) order by 编号 desc"));
  EXPECT_FALSE(server->inTransaction()) << "the failed write leaves no transaction open";
  EXPECT_EQ(amount, 10) << "nothing changed before the failure";
  gDatabaseType = 0;
  EXPECT_TRUE(journal().empty());
}

namespace {

// The program's connection to the local file, counting the statements the writers send through it
// and noting whether each ran under the wait cursor.
class CountingBackend : public DbBackend {
 public:
  CountingBackend(std::unique_ptr<DbBackend> inner, int* count, bool* allWaiting)
      : inner_(std::move(inner)), count_(count), allWaiting_(allWaiting) {}
  void open() override { inner_->open(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void close() override { inner_->close(); }
  QueryResult query(const QString& sql, const QVariantList& params) override {
    note();
    return inner_->query(sql, params);
  }
  qint64 exec(const QString& sql, const QVariantList& params) override {
    note();
    return inner_->exec(sql, params);
  }
  void begin() override { inner_->begin(); }
  void commit() override { inner_->commit(); }
  void rollback() override { inner_->rollback(); }

 private:
  void note() {
    ++*count_;
    *allWaiting_ = *allWaiting_ && WaitCursor::shown();
  }
  std::unique_ptr<DbBackend> inner_;
  int* count_;
  bool* allWaiting_;
};

// `count` rows of 12.34 each, in one statement, continuing the running balance `balance`.
void addFiller(qint64 count, double& balance) {
  Db().Execute(QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i<?) "
                              "insert into PJ_Liushui (单号,金额,摘要,方向,余额) "
                              "select 'F', 12.34, ?, ?, round(?+12.34*i,2) from n"),
               {count, QStringLiteral("贷款利息收入"), QStringLiteral("收入"), balance});
  balance = Money::round(balance + 12.34 * static_cast<double>(count), 2);
}

void addRow(const QString& docNo, double amount, double& balance) {
  balance = Money::round(balance + amount, 2);
  Db().Execute(QStringLiteral("insert into PJ_Liushui (单号,金额,摘要,方向,余额) values (?,?,?,?,?)"),
               {docNo, amount, QStringLiteral("贷款本金支出"), amount < 0 ? QStringLiteral("支出") : QStringLiteral("收入"), balance});
}

// The first row whose 余额 is not the sum of 金额 up to it (by the cent), or -1.
qint64 firstWrongBalance() {
  const QueryResult r = Db().query(QStringLiteral("select 编号, 金额, 余额 from PJ_Liushui order by 编号"));
  double sum = 0;
  for (const QVariantList& row : r.rows) {
    sum = Money::round(sum + VariantNumber(row[1]), 2);
    if (std::abs(VariantNumber(row[2]) - sum) > 0.001) return row[0].toLongLong();
  }
  return -1;
}

}  // namespace

TEST_F(LedgerTest, ChangingAnOldDocumentCostsTheSameStatementsHoweverLongTheJournalAfterIt) {
  struct Case {
    const char* name;
    bool throughTheLoanDelete;  // a window's delete: it runs under the wait cursor
    qint64 rowsRemoved;
    double totalMoves;  // what the journal's total changes by
    std::function<void()> change;
  };
  const Case cases[] = {
      {"a loan deleted, its rows spread among the others", true, 4, 5000.55 - 123.45 * 6, [] { DeleteLoan(QStringLiteral("OLD")); }},
      {"the amount of an old loan changed", false, 0, -7654.32 + 5000.55,
       [] {
         Transaction save;
         const auto row = FindLedgerRow(QStringLiteral("OLD"), QStringLiteral("贷款本金支出"));
         ASSERT_TRUE(row.has_value());
         UpdateLedgerRow(*row, -7654.32, QStringLiteral("李经办"), 0);
         save.Commit();
       }},
      {"a prepaid row dropped", false, 1, 5000.55,
       [] {
         Transaction save;
         DeleteLedgerRow(FindLedgerRow(QStringLiteral("OLD"), QStringLiteral("贷款本金支出"))->id);
         save.Commit();
       }},
  };
  const QString key = PBclass().mySys(1).toString();
  for (const Case& c : cases) {
    int statements[2] = {0, 0};
    const qint64 sizes[2] = {1000, 100000};
    for (int k = 0; k < 2; ++k) {
      SCOPED_TRACE(std::string(c.name) + ", later rows: " + std::to_string(sizes[k]));
      ResetConnections();
      Db().Execute(QStringLiteral("delete from PJ_Liushui"));
      double balance = 0;
      {
        Transaction fill;
        addFiller(3, balance);
        // The old document: four rows, the later journal between them.
        for (int part = 0; part < 4; ++part) {
          addRow(QStringLiteral("OLD"), part == 0 ? -5000.55 : 123.45 * part, balance);
          addFiller(sizes[k] / 4, balance);
        }
        fill.Commit();
      }
      ASSERT_EQ(firstWrongBalance(), -1) << "the filled journal adds up";
      const qint64 rowsBefore = Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toLongLong();
      const double totalBefore = journal().back().balance;

      int count = 0;
      bool allWaiting = true;
      SetConnectionOverride(0, std::make_shared<Connection>(
                                   std::make_unique<CountingBackend>(MakeSqlCipherBackend(LocalDatabasePath(), key), &count, &allWaiting),
                                   SqlDialect{DialectKind::Sqlite}));
      c.change();
      statements[k] = count;
      EXPECT_GT(count, 0);
      if (c.throughTheLoanDelete) EXPECT_TRUE(allWaiting) << "the wait cursor shows while the delete runs";
      EXPECT_FALSE(WaitCursor::shown()) << "and goes when it ends";
      ResetConnections();
      SetConnectionOverride(0, nullptr);

      EXPECT_EQ(firstWrongBalance(), -1) << "every balance equals a recomputation from the first row";
      const qint64 rowsAfter = Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toLongLong();
      EXPECT_EQ(rowsBefore - rowsAfter, c.rowsRemoved);
      EXPECT_NEAR(journal().back().balance - totalBefore, c.totalMoves, 0.001);
    }
    EXPECT_EQ(statements[0], statements[1]) << c.name << ": statements at 1,000 and at 100,000 later rows";
  }
}
