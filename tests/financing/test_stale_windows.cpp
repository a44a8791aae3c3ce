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

QString S(const char* s) { return QString::fromUtf8(s); }

enum class Backend { SqlCipher, Odbc };

class StaleWindows : public LoanRecordsFixture, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    LoanRecordsFixture::SetUp();
    if (GetParam() == Backend::Odbc) {
      conns_[0] = serverConnection();
      QFile seed(S(VRN_SOURCE_DIR "/db/seed.json"));
      ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
      BuildDatabase(*conns_[0], LoadSchemaFile(S(VRN_SOURCE_DIR "/db/schema.txt")), seed.readAll(), BuildOptions{false});
      conns_[1] = serverConnection();
      gDatabaseType = 1;
    }
    SetUpDocuments();
  }
  // The documents every test starts from (again, after a test deleted them).
  void SetUpDocuments() {
    window(0);
    for (const char* t : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui", "PJ_Gd"})
      Db().Execute(S("delete from ") + S(t));
    // A daily loan in two rows and a financing record in two rows, both approved; a loan and a
    // financing record waiting for approval.
    addLoan({.docNo = S("D1")});
    loanRows_[0] = addPlanRow(S("D1"), 1, 10000, 4000, 150, QDate(2024, 1, 1), QDate(2024, 2, 1));
    loanRows_[1] = addPlanRow(S("D1"), 2, 6000, 6000, 150, QDate(2024, 2, 1), QDate(2024, 3, 1));
    addLoan({.docNo = S("D2"), .borrower = S("赵六"), .registered = QDate(2024, 3, 1), .approval = S("未审核")});
    Db().Execute(S("insert into PJ_Gd (姓名,开户行,开户名,银行账号) values (?,?,?,'6222000011112222')"), {S("王投资"), S("工商银行"), S("王投资")});
    const qint64 investor = Db().lastInsertId();
    for (const char* doc : {"C1", "C2"})
      Db().Execute(S("insert into PJ_Cjjl (单号,登记日期,客户ID,客户名称,拆借类别,本金,利率类别,利率,利率系数,日利率,提前支取利率,"
                     "提前支取日利率,利息,起息日期,止息日期,支付计划,业务经办,部门,结算状态,业务状态,提成比例) values (?,'2024-01-01',?,"
                     "?,?,10000,?,0.1,1,0.001,0.05,0.0005,300,'2024-01-01','2024-03-01',?,?,?,?,?,0)"),
                   {S(doc), investor, S("王投资"), S("外拆"), S("日"), S("等额本金"), S("李经办"), S("综合部"), S("未付"),
                    S(doc) == S("C1") ? S("已审核") : S("未审核")});
    for (int i = 0; i < 2; ++i) {
      Db().Execute(S("insert into PJ_Cjzfjh (单号,支付期次,拆借本金,应付本金,应付利息,结算状态,开始日期,约定支付日期,计息天数,"
                     "客户名称,经办人) values ('C1',?,?,5000,150,?,?,?,30,?,?)"),
                   {i + 1, 10000 - 5000 * i, S("未付"), S(i ? "2024-02-01" : "2024-01-01"), S(i ? "2024-03-01" : "2024-02-01"),
                    S("王投资"), S("李经办")});
      financingRows_[i] = static_cast<qint32>(Db().lastInsertId());
    }
  }
  void TearDown() override {
    gDatabaseType = 0;
    LoanRecordsFixture::TearDown();
  }

  // The database the next window reads and writes through: on the server each window is its own
  // workstation; the local file has one connection for the program.
  std::unique_ptr<DbBackend> serverBackend() { return MakeOdbcBackend(S("DRIVER=SQLite3;Database=") + appDir() + S("data/odbc.db"), false); }
  ConnectionPtr serverConnection(std::unique_ptr<DbBackend> backend = {}) {
    return std::make_shared<Connection>(backend ? std::move(backend) : serverBackend(), SqlDialect{DialectKind::Sqlite});
  }
  void window(int i) {
    if (GetParam() == Backend::Odbc) SetConnectionOverride(1, conns_[i]);
  }
  void at(const char* iso) { setNow(QDateTime(QDate::fromString(S(iso), Qt::ISODate), QTime(9, 0))); }
  // Every row a payment, approval or voiding could write.
  static QString snapshot() {
    QString out;
    for (const char* t : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_Cjjl", "PJ_Cjzfjh", "PJ_Cjzfjl", "PJ_Liushui"})
      for (const QVariantList& r : Db().query(S("select * from ") + S(t) + S(" order by 编号")).rows) {
        QStringList cells;
        for (const QVariant& v : r) cells << VariantText(v);
        out += S(t) + QLatin1Char(':') + cells.join(QLatin1Char('|')) + QLatin1Char('\n');
      }
    return out;
  }
  static QString field(const QString& column, const QString& table, const QString& doc) {
    return VariantText(Db().scalar(S("select %1 from %2 where 单号=?").arg(column, table), {doc}));
  }
  // The other workstation saves an edit of `doc`, claiming it as a window's save does.
  void editElsewhere(const QString& table, const QString& doc, const char* column, const QVariant& value) {
    window(1);
    Transaction t;
    ClaimDocument(table, doc, DocumentVersion(table, doc));
    Db().Execute(S("update %1 set %2=? where 单号=?").arg(table, S(column)), {value, doc});
    t.Commit();
  }
  void confirm(const std::function<void()>& click) {
    responder_.clear();
    responder_.answer(Mb::Yes);
    click();
  }
  void expectPaymentSaved() {
    EXPECT_TRUE(responder_.saw(S("保存成功！\r\n【请到“回款”窗口-“回款记录”里面打印回款收据】"))) << responder_.texts().join('|').toStdString();
  }

 public:
  ConnectionPtr conns_[2];
  qint32 loanRows_[2] = {};
  qint32 financingRows_[2] = {};
};

// A window opened on a plan row; the returned click saves its proposal with `button`.
template <class W, class Base>
std::function<void()> OpenPayment(qint32 Base::*plan, qint32 id, int button) {
  auto w = std::make_shared<W>();
  (*w).*plan = id;
  w->Form_Load();
  return [w, button] { w->pbCDkgh_Click(button); };
}
// A registration window opened on `doc` with its remark (box `box`) changed; the returned click saves it.
template <class W>
std::function<void()> OpenEdit(const char* doc, int box, const char* remark) {
  auto w = std::make_shared<W>();
  w->EditDocNo = S(doc);
  w->Form_Load();
  w->txtDkdj[box]->setText(S(remark));
  return [w] { w->pbCDkgh_Click(0); };
}

// A window that shows its proposal when opened and saves it with 确认 and Yes.
struct PaymentCase {
  const char* name;
  const char* today;
  std::function<std::function<void()>(StaleWindows&)> open;
  const char* doc = "";  // the document the window saves
};

// The four payment windows, each on a row it can pay on `today`.
std::vector<PaymentCase> PaymentWindows() {
  return {
      {"回款确认", "2024-02-01", [](StaleWindows& t) { return OpenPayment<frmDkgh>(&frmDkgh::PlanId, t.loanRows_[0], RepaymentWindow::cmdConfirm); }, "D1"},
      {"提前还贷", "2024-02-10", [](StaleWindows& t) { return OpenPayment<frmDktqhd>(&frmDktqhd::PlanId, t.loanRows_[1], RepaymentWindow::cmdConfirm); }, "D1"},
      {"支付确认", "2024-02-01", [](StaleWindows& t) { return OpenPayment<frmRzzfqr>(&frmRzzfqr::PlanRowId, t.financingRows_[0], 0); }, "C1"},
      {"提前支取", "2024-02-10", [](StaleWindows& t) { return OpenPayment<frmRzTqzf>(&frmRzTqzf::PlanRowId, t.financingRows_[1], 0); }, "C1"},
  };
}

TEST_P(StaleWindows, TheSecondPaymentWindowOnOneRowIsRefusedAndWritesNothing) {
  for (const PaymentCase& c : PaymentWindows()) {
    SCOPED_TRACE(c.name);
    at(c.today);
    window(0);
    const auto first = c.open(*this);
    window(1);
    const auto second = c.open(*this);
    window(0);
    const QString before = snapshot();
    confirm(first);
    expectPaymentSaved();
    const QString saved = snapshot();
    EXPECT_NE(saved, before);
    window(1);
    confirm(second);
    EXPECT_EQ(responder_.texts().last(), DocumentChangedMessage());
    EXPECT_EQ(snapshot(), saved);
  }
}

// Approval and voiding read the document's 版本 when the command starts; an edit saved by another
// workstation while the question is open wins, and the command writes nothing.
TEST_P(StaleWindows, ApprovalAndVoidingAgainstAnEditSavedMeanwhileAreRefused) {
  setNow(QDateTime(QDate(2024, 3, 1), QTime(9, 0)));
  frmDkjl loans;
  frmRzjl financing;
  window(0);
  loans.Form_Load();
  financing.Form_Load();
  financing.comJd[0]->setCurrentIndex(2);
  financing.comJd[4]->setCurrentIndex(2);
  financing.comJd[5]->setCurrentIndex(0);
  struct Case {
    const char *table, *doc;
    std::function<void()> command;
  };
  const Case cases[] = {
      {"PJ_Dkjl", "D2", [&] { loans.pbCJd_Click(frmDkjl::cmdApprove); }},
      {"PJ_Cjjl", "C2", [&] { financing.pbCJd_Click(10); }},
      {"PJ_Cjjl", "C1", [&] { financing.pbCJd_Click(8); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc);
    const QString table = S(c.table), doc = S(c.doc);
    Grid* grid = table == QLatin1String("PJ_Dkjl") ? loans.Fg : financing.Fg;
    window(0);
    loans.刷新();
    financing.刷新();
    ASSERT_TRUE(selectRow(grid, 0, doc));
    const QString state = field(S("业务状态"), table, doc);
    QStringList shown;
    SetMessageHandler([&](const MessageRequest& m) {
      shown << m.text;
      if (!m.text.startsWith(S("您确认要"))) return int(Mb::Ok);
      editElsewhere(table, doc, "备注", S("改"));  // while this question is open
      window(0);
      return int(Mb::Yes);
    });
    c.command();
    responder_.install();
    ASSERT_EQ(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_EQ(shown.last(), DocumentChangedMessage());
    EXPECT_EQ(field(S("业务状态"), table, doc), state);
    EXPECT_EQ(field(S("备注"), table, doc), S("改"));
    // Unchanged since, the same command goes through.
    responder_.answer(Mb::Yes);
    ASSERT_TRUE(selectRow(grid, 0, doc));
    c.command();
    EXPECT_NE(field(S("业务状态"), table, doc), state);
  }
}

// Every window that saves a document, opened and then left behind by another workstation's delete
// of the document: 确认 or 保存 says the document changed, and nothing else, and writes nothing.
TEST_P(StaleWindows, WindowsOnADocumentDeletedMeanwhileSaySoAndWriteNothing) {
  std::vector<PaymentCase> cases = PaymentWindows();
  cases.push_back({"贷款登记 修改", "2024-02-01", [](StaleWindows&) { return OpenEdit<frmDkdjB>("D1", 7, "改"); }, "D1"});
  cases.push_back({"融资登记 修改", "2024-02-01", [](StaleWindows&) { return OpenEdit<frmRzdjB>("C1", 5, "改"); }, "C1"});
  for (const PaymentCase& c : cases) {
    SCOPED_TRACE(c.name);
    at(c.today);
    window(0);
    const auto confirmOnStaleWindow = c.open(*this);
    // The other workstation deletes the document with its rows.
    window(1);
    {
      Transaction t;
      const bool loan = *c.doc == 'D';
      for (const char* table : {loan ? "PJ_Dkjl" : "PJ_Cjjl", loan ? "PJ_Hdjh" : "PJ_Cjzfjh"})
        Db().Execute(S("delete from ") + S(table) + S(" where 单号=?"), {S(c.doc)});
      t.Commit();
    }
    window(0);
    const QString before = snapshot();
    confirm(confirmOnStaleWindow);
    ASSERT_FALSE(responder_.texts().isEmpty());
    EXPECT_EQ(responder_.texts().last(), DocumentChangedMessage());
    for (const QString& shown : responder_.texts()) EXPECT_FALSE(shown.contains(S("程序出现异常"))) << shown.toStdString();
    EXPECT_EQ(snapshot(), before);
    SetUpDocuments();
  }
}

// A payment on a document whose borrower or investor was deleted since: the journal rows carry no
// bank data of that side, and the save goes through.
TEST_P(StaleWindows, PaymentsWhosePartyIsGoneSaveWithThatSidesBankDataEmpty) {
  for (const PaymentCase& c : PaymentWindows()) {
    SCOPED_TRACE(c.name);
    at(c.today);
    window(0);
    Db().Execute(S("delete from PJ_Kehu"));
    Db().Execute(S("delete from PJ_Gd"));
    const QVariant lastBefore = Db().scalar(S("select coalesce(max(编号),0) from PJ_Liushui"));
    const auto save = c.open(*this);
    confirm(save);
    expectPaymentSaved();
    const QueryResult added = Db().query(S("select 对方开户行,对方开户名,对方账号 from PJ_Liushui where 编号>?"), {lastBefore});
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
    const char *table, *doc;
    std::function<std::function<void()>()> open;
  };
  const Case cases[] = {
      {"PJ_Dkjl", "D1", [] { return OpenEdit<frmDkdjB>("D1", 7, "只改备注"); }},
      {"PJ_Cjjl", "C1", [] { return OpenEdit<frmRzdjB>("C1", 5, "只改备注"); }},
  };
  setNow(QDateTime(QDate(2024, 2, 1), QTime(9, 0)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.doc);
    const QString table = S(c.table), doc = S(c.doc);
    auto backend = std::make_unique<HookedBackend>(serverBackend());
    HookedBackend* hooked = backend.get();
    auto connection = serverConnection(std::move(backend));
    hooked->after(S("select * from ") + table + S(" where 单号=?"), [this, weak = std::weak_ptr<Connection>(connection), table, doc] {
      editElsewhere(table, doc, "利率", 0.2);
      SetConnectionOverride(1, weak.lock());
    });
    SetConnectionOverride(1, connection);
    const auto save = c.open();
    responder_.clear();
    save();
    window(0);
    EXPECT_EQ(responder_.texts(), QStringList{DocumentChangedMessage()});
    EXPECT_DOUBLE_EQ(VariantNumber(field(S("利率"), table, doc)), 0.2);
    EXPECT_NE(field(S("备注"), table, doc), S("只改备注"));
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
    const QString t = S(table);
    gCurrentSql.clear();
    EXPECT_THROW(SetDocumentState(t, S("X1"), 0, S("已审核")), DocumentChanged);
    EXPECT_EQ(gCurrentSql, S("update %1 set 版本=版本+1 where 单号=? and 版本=?").arg(t));
    EXPECT_FALSE(server->inTransaction());
  }
  gDatabaseType = 0;
}

}  // namespace
