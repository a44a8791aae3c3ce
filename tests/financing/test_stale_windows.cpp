// Two windows on one document: the first one's save wins, the second one, still showing what it
// read before, is refused with the stale-window message and writes nothing. Run on the local file
// and through ODBC with one connection per window (two workstations on one database).
#include <QComboBox>
#include <QLineEdit>

#include "LoanRecordsFixture.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/DatabaseBuilder.h"
#include "app/services/DocumentClaim.h"
#include "app/services/PBclass.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzdjB.h"
#include "financing/frmRzjl.h"
#include "financing/frmRzzfqr.h"
#include "loans/frmDkdjB.h"
#include "loans/frmDkgh.h"
#include "loans/frmDkjl.h"
#include "loans/frmDktqhd.h"
#include "platform/Clock.h"
#include "platform/Grid.h"

#include <QFile>

// Test messages show Chinese texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

enum class Backend { SqlCipher, Odbc };

class StaleWindows : public LoanRecordsFixture, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    if (GetParam() == Backend::Odbc) {
      const QString file = appDir() + QStringLiteral("data/odbc.db");
      for (int i = 0; i < 2; ++i) {
        conns_[i] = std::make_shared<Connection>(MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Database=") + file, false),
                                                 SqlDialect{DialectKind::Sqlite});
        if (i == 0) {
          QFile seed(QStringLiteral(VRN_SOURCE_DIR "/db/seed.json"));
          ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
          BuildDatabase(*conns_[0], LoadSchemaFile(QStringLiteral(VRN_SOURCE_DIR "/db/schema.txt")), seed.readAll(), BuildOptions{false});
        }
      }
      gDatabaseType = 1;
    }
    SetUpDocuments();
  }
  // The documents every test starts from (again, after a test deleted them).
  void SetUpDocuments() {
    window(0);
    for (const char* t : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui", "PJ_Gd"})
      Db().Execute(QStringLiteral("delete from ") + QString::fromLatin1(t));
    // A daily loan in two rows and a financing record in two rows, both approved; a loan and a
    // financing record waiting for approval.
    addLoan({.docNo = QStringLiteral("D1")});
    loanRows_[0] = addPlanRow(QStringLiteral("D1"), 1, 10000, 4000, 150, QDate(2024, 1, 1), QDate(2024, 2, 1));
    loanRows_[1] = addPlanRow(QStringLiteral("D1"), 2, 6000, 6000, 150, QDate(2024, 2, 1), QDate(2024, 3, 1));
    addLoan({.docNo = QStringLiteral("D2"), .borrower = QStringLiteral("赵六"), .registered = QDate(2024, 3, 1), .approval = QStringLiteral("未审核")});
    Db().Execute(QStringLiteral("insert into PJ_Gd (姓名,开户行,开户名,银行账号) values (?,?,?,'6222000011112222')"), {QStringLiteral("王投资"), QStringLiteral("工商银行"), QStringLiteral("王投资")});
    const qint64 investor = Db().lastInsertId();
    for (const char* doc : {"C1", "C2"})
      Db().Execute(QStringLiteral("insert into PJ_Cjjl (单号,登记日期,客户ID,客户名称,拆借类别,本金,利率类别,利率,利率系数,日利率,提前支取利率,"
                                  "提前支取日利率,利息,起息日期,止息日期,支付计划,业务经办,部门,结算状态,业务状态,提成比例) values (?,'2024-01-01',?,"
                                  "?,?,10000,?,0.1,1,0.001,0.05,0.0005,300,'2024-01-01','2024-03-01',?,?,?,?,?,0)"),
                   {QString::fromLatin1(doc), investor, QStringLiteral("王投资"), QStringLiteral("外拆"), QStringLiteral("日"),
                    QStringLiteral("等额本金"), QStringLiteral("李经办"), QStringLiteral("综合部"), QStringLiteral("未付"),
                    QString::fromLatin1(doc) == QLatin1String("C1") ? QStringLiteral("已审核") : QStringLiteral("未审核")});
    for (int i = 0; i < 2; ++i) {
      Db().Execute(QStringLiteral("insert into PJ_Cjzfjh (单号,支付期次,拆借本金,应付本金,应付利息,结算状态,开始日期,约定支付日期,计息天数,"
                                  "客户名称,经办人) values ('C1',?,?,5000,150,?,?,?,30,?,?)"),
                   {i + 1, 10000 - 5000 * i, QStringLiteral("未付"), i ? QStringLiteral("2024-02-01") : QStringLiteral("2024-01-01"),
                    i ? QStringLiteral("2024-03-01") : QStringLiteral("2024-02-01"), QStringLiteral("王投资"), QStringLiteral("李经办")});
      financingRows_[i] = static_cast<qint32>(Db().lastInsertId());
    }
  }
  void TearDown() override {
    gDatabaseType = 0;
    LoanRecordsFixture::TearDown();
  }

  // The database the next window reads and writes through: on the server each window is its own
  // workstation; the local file has one connection for the program.
  void window(int i) {
    if (GetParam() == Backend::Odbc) SetConnectionOverride(1, conns_[i]);
  }
  // Every row a payment, approval or voiding could write.
  static QString snapshot() {
    QString out;
    for (const char* t : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui"})
      for (const QVariantList& r : Db().query(QStringLiteral("select * from ") + QString::fromLatin1(t) + QStringLiteral(" order by 编号")).rows) {
        QStringList cells;
        for (const QVariant& v : r) cells << VariantText(v);
        out += QString::fromLatin1(t) + QLatin1Char(':') + cells.join(QLatin1Char('|')) + QLatin1Char('\n');
      }
    return out;
  }
  void confirm(const std::function<void()>& click) {
    responder_.answer(Mb::Yes);
    click();
  }

 public:
  ConnectionPtr conns_[2];
  qint32 loanRows_[2] = {};
  qint32 financingRows_[2] = {};
};

// A window that shows its proposal when opened and saves it with 确认 and Yes.
struct PaymentCase {
  const char* name;
  const char* today;
  std::function<std::function<void()>(StaleWindows&)> open;
  const char* doc = "";  // the document the window saves
};

// The four payment windows, each on a row it can pay on `today`.
std::vector<PaymentCase> PaymentWindows() {
  std::vector<PaymentCase> windows = {
      {"回款确认", "2024-02-01",
       [](StaleWindows& t) -> std::function<void()> {
         auto w = std::make_shared<frmDkgh>();
         w->PlanId = t.loanRows_[0];
         w->Form_Load();
         return [w] { w->pbCDkgh_Click(RepaymentWindow::cmdConfirm); };
       },
       "D1"},
      {"提前还贷", "2024-02-10",
       [](StaleWindows& t) -> std::function<void()> {
         auto w = std::make_shared<frmDktqhd>();
         w->PlanId = t.loanRows_[1];
         w->Form_Load();
         return [w] { w->pbCDkgh_Click(RepaymentWindow::cmdConfirm); };
       },
       "D1"},
      {"支付确认", "2024-02-01",
       [](StaleWindows& t) -> std::function<void()> {
         auto w = std::make_shared<frmRzzfqr>();
         w->PlanRowId = t.financingRows_[0];
         w->Form_Load();
         return [w] { w->pbCDkgh_Click(0); };
       },
       "C1"},
      {"提前支取", "2024-02-10",
       [](StaleWindows& t) -> std::function<void()> {
         auto w = std::make_shared<frmRzTqzf>();
         w->PlanRowId = t.financingRows_[1];
         w->Form_Load();
         return [w] { w->pbCDkgh_Click(0); };
       },
       "C1"},
  };
  return windows;
}

TEST_P(StaleWindows, TheSecondPaymentWindowOnOneRowIsRefusedAndWritesNothing) {
  const std::vector<PaymentCase> cases = PaymentWindows();
  for (const PaymentCase& c : cases) {
    SCOPED_TRACE(c.name);
    setNow(QDateTime(QDate::fromString(QString::fromLatin1(c.today), Qt::ISODate), QTime(9, 0)));
    window(0);
    const auto first = c.open(*this);
    window(1);
    const auto second = c.open(*this);
    window(0);
    const QString before = snapshot();
    responder_.clear();
    confirm(first);
    EXPECT_TRUE(responder_.saw(QStringLiteral("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】"))) << responder_.texts().join('|').toStdString();
    const QString saved = snapshot();
    EXPECT_NE(saved, before);
    window(1);
    responder_.clear();
    confirm(second);
    EXPECT_EQ(responder_.texts().last(), DocumentChangedMessage());
    EXPECT_EQ(snapshot(), saved);
  }
}

// Approval and voiding read the document's 版本 when the command starts; an edit saved by another
// workstation while the question is open wins, and the command writes nothing.
TEST_P(StaleWindows, ApprovalAndVoidingAgainstAnEditSavedMeanwhileAreRefused) {
  setNow(QDateTime(QDate(2024, 3, 1), QTime(9, 0)));
  struct Case {
    const char* table;
    const char* doc;
    std::function<void()> command;
  };
  frmDkjl loans;
  frmRzjl financing;
  window(0);
  loans.Form_Load();
  financing.Form_Load();
  financing.comJd[0]->setCurrentIndex(2);
  financing.comJd[4]->setCurrentIndex(2);
  financing.comJd[5]->setCurrentIndex(0);
  auto pick = [](Grid* g, const char* doc) {
    for (int r = g->fixedRows(); r < g->rows(); ++r)
      if (g->textMatrix(r, 0) == QString::fromLatin1(doc)) return g->setRow(r), true;
    return false;
  };
  const Case cases[] = {
      {"PJ_Dkjl", "D2", [&] { loans.pbCJd_Click(frmDkjl::cmdApprove); }},
      {"PJ_Cjjl", "C2", [&] { financing.pbCJd_Click(10); }},
      {"PJ_Cjjl", "C1", [&] { financing.pbCJd_Click(8); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc);
    const QString table = QString::fromLatin1(c.table), doc = QString::fromLatin1(c.doc);
    window(0);
    loans.刷新();
    financing.刷新();
    ASSERT_TRUE(pick(table == QLatin1String("PJ_Dkjl") ? loans.Fg : financing.Fg, c.doc));
    const QString state = VariantText(Db().scalar(QStringLiteral("select 业务状态 from ") + table + QStringLiteral(" where 单号=?"), {doc}));
    QStringList shown;
    SetMessageHandler([&](const MessageRequest& m) {
      shown << m.text;
      if (!m.text.startsWith(QStringLiteral("您确认要"))) return int(Mb::Ok);
      // The other workstation saves an edit of the same document while this question is open.
      window(1);
      {
        Transaction t;
        ClaimDocument(table, doc, DocumentVersion(table, doc));
        Db().Execute(QStringLiteral("update ") + table + QStringLiteral(" set 备注=? where 单号=?"), {QStringLiteral("改"), doc});
        t.Commit();
      }
      window(0);
      return int(Mb::Yes);
    });
    c.command();
    responder_.install();
    ASSERT_EQ(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_EQ(shown.last(), DocumentChangedMessage());
    EXPECT_EQ(VariantText(Db().scalar(QStringLiteral("select 业务状态 from ") + table + QStringLiteral(" where 单号=?"), {doc})), state);
    EXPECT_EQ(VariantText(Db().scalar(QStringLiteral("select 备注 from ") + table + QStringLiteral(" where 单号=?"), {doc})), QStringLiteral("改"));
    // Unchanged since, the same command goes through.
    responder_.answer(Mb::Yes);
    ASSERT_TRUE(pick(table == QLatin1String("PJ_Dkjl") ? loans.Fg : financing.Fg, c.doc));
    c.command();
    EXPECT_NE(VariantText(Db().scalar(QStringLiteral("select 业务状态 from ") + table + QStringLiteral(" where 单号=?"), {doc})), state);
  }
}

// Every window that saves a document, opened and then left behind by another workstation's delete
// of the document: 确认 or 保存 says the document changed, and nothing else, and writes nothing.
TEST_P(StaleWindows, WindowsOnADocumentDeletedMeanwhileSaySoAndWriteNothing) {
  std::vector<PaymentCase> cases = PaymentWindows();
  cases.push_back({"贷款登记 修改", "2024-02-01",
                   [](StaleWindows&) -> std::function<void()> {
                     auto w = std::make_shared<frmDkdjB>();
                     w->EditDocNo = QStringLiteral("D1");
                     w->Form_Load();
                     w->txtDkdj[7]->setText(QStringLiteral("改"));
                     return [w] { w->pbCDkgh_Click(0); };
                   },
                   "D1"});
  cases.push_back({"融资登记 修改", "2024-02-01",
                   [](StaleWindows&) -> std::function<void()> {
                     auto w = std::make_shared<frmRzdjB>();
                     w->EditDocNo = QStringLiteral("C1");
                     w->Form_Load();
                     w->txtDkdj[5]->setText(QStringLiteral("改"));
                     return [w] { w->pbCDkgh_Click(0); };
                   },
                   "C1"});
  for (const PaymentCase& c : cases) {
    SCOPED_TRACE(c.name);
    setNow(QDateTime(QDate::fromString(QString::fromLatin1(c.today), Qt::ISODate), QTime(9, 0)));
    window(0);
    const auto confirmOnStaleWindow = c.open(*this);
    // The other workstation deletes the document with its rows.
    window(1);
    const bool loan = QString::fromLatin1(c.doc).startsWith(QLatin1Char('D'));
    {
      Transaction t;
      for (const QString& table : loan ? QStringList{QStringLiteral("PJ_Dkjl"), QStringLiteral("PJ_Hdjh")}
                                       : QStringList{QStringLiteral("PJ_Cjjl"), QStringLiteral("PJ_Cjzfjh")})
        Db().Execute(QStringLiteral("delete from ") + table + QStringLiteral(" where 单号=?"), {QString::fromLatin1(c.doc)});
      t.Commit();
    }
    window(0);
    const QString before = snapshot();
    responder_.clear();
    confirm(confirmOnStaleWindow);
    ASSERT_FALSE(responder_.texts().isEmpty());
    EXPECT_EQ(responder_.texts().last(), DocumentChangedMessage());
    for (const QString& shown : responder_.texts()) EXPECT_FALSE(shown.contains(QStringLiteral("程序出现异常"))) << shown.toStdString();
    EXPECT_EQ(snapshot(), before);
    SetUpDocuments();
  }
}

// A payment on a document whose borrower or investor was deleted since: the journal rows carry no
// bank data of that side, and the save goes through.
TEST_P(StaleWindows, PaymentsWhosePartyIsGoneSaveWithThatSidesBankDataEmpty) {
  for (const PaymentCase& c : PaymentWindows()) {
    SCOPED_TRACE(c.name);
    setNow(QDateTime(QDate::fromString(QString::fromLatin1(c.today), Qt::ISODate), QTime(9, 0)));
    window(0);
    Db().Execute(QStringLiteral("delete from PJ_Kehu"));
    Db().Execute(QStringLiteral("delete from PJ_Gd"));
    const QVariant lastBefore = Db().scalar(QStringLiteral("select coalesce(max(编号),0) from PJ_Liushui"));
    const auto save = c.open(*this);
    responder_.clear();
    confirm(save);
    EXPECT_TRUE(responder_.saw(QStringLiteral("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】"))) << responder_.texts().join('|').toStdString();
    const QueryResult added = Db().query(QStringLiteral("select 对方开户行,对方开户名,对方账号 from PJ_Liushui where 编号>?"), {lastBefore});
    ASSERT_FALSE(added.rows.empty());
    for (const QVariantList& r : added.rows) EXPECT_EQ(VariantText(r[0]) + VariantText(r[1]) + VariantText(r[2]), QString());
    SetUpDocuments();
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, StaleWindows, ::testing::Values(Backend::SqlCipher, Backend::Odbc),
                         [](const auto& info) { return info.param == Backend::Odbc ? "Odbc" : "SqlCipher"; });

// A workstation's connection that lets the test act right after a given read, as another
// workstation's save can fall between two statements of a window.
class HookedBackend : public DbBackend {
 public:
  explicit HookedBackend(std::unique_ptr<DbBackend> inner) : inner_(std::move(inner)) {}
  // Runs `hook` once, right after the first query whose text starts with `prefix`.
  void after(const QString& prefix, std::function<void()> hook) {
    prefix_ = prefix;
    hook_ = std::move(hook);
  }
  void open() override { inner_->open(); }
  bool isOpen() const override { return inner_->isOpen(); }
  void close() override { inner_->close(); }
  QueryResult query(const QString& sql, const QVariantList& params) override {
    QueryResult r = inner_->query(sql, params);
    if (hook_ && sql.startsWith(prefix_)) std::exchange(hook_, {})();
    return r;
  }
  qint64 exec(const QString& sql, const QVariantList& params) override { return inner_->exec(sql, params); }
  void begin() override { inner_->begin(); }
  void commit() override { inner_->commit(); }
  void rollback() override { inner_->rollback(); }

 private:
  std::unique_ptr<DbBackend> inner_;
  QString prefix_;
  std::function<void()> hook_;
};

// Two workstations on the server: the other one saves an edit of the document right after this
// window has read the document's row, before anything else the window loads. The window's own
// save, which would put the old values back, is refused.
class RacedEdit : public StaleWindows {};
TEST_P(RacedEdit, AnEditSavedRightAfterTheWindowReadTheDocumentMakesItsSaveStale) {
  struct Case {
    const char* table;
    const char* doc;
    std::function<std::function<void()>()> open;
  };
  const Case cases[] = {
      {"PJ_Dkjl", "D1",
       []() -> std::function<void()> {
         auto w = std::make_shared<frmDkdjB>();
         w->EditDocNo = QStringLiteral("D1");
         w->Form_Load();
         w->txtDkdj[7]->setText(QStringLiteral("只改备注"));
         return [w] { w->pbCDkgh_Click(0); };
       }},
      {"PJ_Cjjl", "C1",
       []() -> std::function<void()> {
         auto w = std::make_shared<frmRzdjB>();
         w->EditDocNo = QStringLiteral("C1");
         w->Form_Load();
         w->txtDkdj[5]->setText(QStringLiteral("只改备注"));
         return [w] { w->pbCDkgh_Click(0); };
       }},
  };
  setNow(QDateTime(QDate(2024, 2, 1), QTime(9, 0)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc);
    const QString table = QString::fromLatin1(c.table), doc = QString::fromLatin1(c.doc);
    auto backend = std::make_unique<HookedBackend>(
        MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Database=") + appDir() + QStringLiteral("data/odbc.db"), false));
    HookedBackend* hooked = backend.get();
    auto connection = std::make_shared<Connection>(std::move(backend), SqlDialect{DialectKind::Sqlite});
    hooked->after(QStringLiteral("select * from ") + table + QStringLiteral(" where 单号=?"), [this, weak = std::weak_ptr<Connection>(connection), table, doc] {
      window(1);
      {
        Transaction t;
        ClaimDocument(table, doc, DocumentVersion(table, doc));
        Db().Execute(QStringLiteral("update ") + table + QStringLiteral(" set 利率=0.2 where 单号=?"), {doc});
        t.Commit();
      }
      SetConnectionOverride(1, weak.lock());
    });
    SetConnectionOverride(1, connection);
    const auto save = c.open();
    responder_.clear();
    save();
    window(0);
    EXPECT_EQ(responder_.texts(), QStringList{DocumentChangedMessage()});
    EXPECT_DOUBLE_EQ(VariantNumber(Db().scalar(QStringLiteral("select 利率 from ") + table + QStringLiteral(" where 单号=?"), {doc})), 0.2);
    EXPECT_NE(VariantText(Db().scalar(QStringLiteral("select 备注 from ") + table + QStringLiteral(" where 单号=?"), {doc})),
              QStringLiteral("只改备注"));
  }
}
INSTANTIATE_TEST_SUITE_P(Server, RacedEdit, ::testing::Values(Backend::Odbc), [](const auto&) { return "Odbc"; });

// On SQL Server the claim is the statement the server gets first; there it also holds the row lock.
using DocumentClaimSql = LoanRecordsFixture;
TEST_F(DocumentClaimSql, TheServerGetsTheClaimingStatementAndNothingAfterARefusal) {
  // No SQL Server runs here: a server-dialect connection on the local file shows the text sent.
  auto server = std::make_shared<Connection>(MakeSqlCipherBackend(LocalDatabasePath(), PBclass().mySys(1).toString()),
                                             SqlDialect{DialectKind::SqlServer});
  SetConnectionOverride(1, server);
  gDatabaseType = 1;
  for (const char* table : {"PJ_Dkjl", "PJ_Cjjl"}) {
    const QString t = QString::fromLatin1(table);
    gCurrentSql.clear();
    EXPECT_THROW(SetDocumentState(t, QStringLiteral("X1"), 0, QStringLiteral("已审核")), DocumentChanged);
    EXPECT_EQ(gCurrentSql, QStringLiteral("update %1 set 版本=版本+1 where 单号=? and 版本=?").arg(t));
    EXPECT_FALSE(server->inTransaction());
  }
  gDatabaseType = 0;
}

}  // namespace
