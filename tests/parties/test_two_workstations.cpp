// Two workstations adding the same login name, lookup name or workstation number at once: the
// second one's save runs right after the first one's check (a hook), each on its own ODBC
// connection to one SQLite file. One row is added; the other save is refused, in the system's
// words. On SQL Server the check is a locked read.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>

#include "TestSupport.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/DatabaseBuilder.h"
#include "app/services/LoginState.h"
#include "parties/admin/ExcelImport.h"
#include "parties/admin/frmKhdgl.h"
#include "parties/frmAEDyg.h"
#include "parties/frmZxglb.h"

namespace {

// A save of one kind through its window, adding `value`.
using Save = std::function<void(const QString& value)>;

void AddAccount(const QString& login) {
  frmAEDyg w(nullptr, nullptr);
  w.Form_Load();
  w.txtQx[0]->setText(login);
  w.txtQx[1]->setText(QStringLiteral("1"));
  w.txtQx[2]->setText(QStringLiteral("王五"));
  w.txtQx[3]->setText(QStringLiteral("WW"));
  w.CobQx[2]->setCurrentText(QStringLiteral("综合部"));
  w.增修(0);
}

void AddLookupItem(const QString& name) {
  frmZxglb w;
  w.optGn[1]->click();
  w.Text1->setText(name);
  w.eCmdzx_Click(0);
}

void ImportLookupItem(const QString& name) {
  ExcelSheet sheet;
  sheet.columns = 1;
  sheet.rows = {{ExcelCell{ExcelCell::Text, QStringLiteral("名称"), 0}}, {ExcelCell{ExcelCell::Text, name, 0}}};
  ImportRequest request;
  request.target = TargetForKind(3, 0);
  request.category = 9;
  request.bindings = {{QStringLiteral("名称"), 1}};
  try {
    ImportSheet(sheet, request);
  } catch (const ImportRefused&) {
  }
}

void AddWorkstation(const QString& name) {
  frmKhdgl w;
  w.optGn[frmKhdgl::Add]->click();
  w.txtCz[0]->setText(QStringLiteral("分公司"));
  w.txtCz[1]->setText(name);
  w.eCmdzx_Click(0);
}

struct Kind {
  const char* what;
  Save save;
  const char* firstValue;
  const char* secondValue;
  // How many rows hold what must stay unique.
  std::function<int(Connection&)> holders;
  const char* formMessage;  // what the form says when it sees the other's row
};

const Kind kKinds[] = {
    {"login name", AddAccount, "wang", "wang",
     [](Connection& c) { return c.scalar(QStringLiteral("select count(*) from PJ_Admin where 登录账号=?"), {QStringLiteral("wang")}).toInt(); },
     "该账户已存在，请重新输入！"},
    {"lookup name", AddLookupItem, "销售部", "销售部",
     [](Connection& c) { return c.scalar(QStringLiteral("select count(*) from PJ_Zaxiang where 类别=9 and 名称=?"), {QStringLiteral("销售部")}).toInt(); },
     "不能重复！"},
    {"workstation number", AddWorkstation, "前台", "财务室",
     [](Connection& c) {
       return c.scalar(QStringLiteral("select count(*) from PJ_Jq where 机器ID=(select max(机器ID) from PJ_Jq)")).toInt();
     },
     nullptr},
};

class TwoWorkstations : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    file_ = appDir() + QStringLiteral("data/server.db");
    first_ = workstation();
    QFile seed(QStringLiteral(VRN_SOURCE_DIR "/db/seed.json"));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    BuildDatabase(*first_, LoadSchemaFile(QStringLiteral(VRN_SOURCE_DIR "/db/schema.txt")), seed.readAll(), BuildOptions{false});
    second_ = workstation();
    SetConnectionOverride(1, first_);
    gDatabaseType = 1;
    loginAsSuperAdmin();
  }
  void TearDown() override {
    SetUniquenessCheckedHook({});
    SetConnectionOverride(1, nullptr);
    gDatabaseType = 0;
    ProgramTest::TearDown();
  }
  ConnectionPtr workstation() {
    return std::make_shared<Connection>(MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Timeout=300;Database=") + file_, false),
                                        SqlDialect{DialectKind::Sqlite});
  }
  QString file_;
  ConnectionPtr first_, second_;
};

TEST_F(TwoWorkstations, AddingTheSameNameOrNumberAtOnceKeepsOneRow) {
  const QString busy = QStringLiteral("其他工作站正在使用这些数据，本次操作没有保存任何数据，请稍后重试。");
  const QString duplicate = QStringLiteral("该记录已被其他工作站添加，请刷新后重试。");
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.what);
    responder_.clear();
    const int before = k.holders(*first_);
    bool secondRan = false;
    SetUniquenessCheckedHook([&] {
      SetUniquenessCheckedHook({});  // the second save's own check runs no one else
      SetConnectionOverride(1, second_);
      k.save(QString::fromUtf8(k.secondValue));
      SetConnectionOverride(1, first_);
      secondRan = true;
    });
    k.save(QString::fromUtf8(k.firstValue));
    ASSERT_TRUE(secondRan);
    EXPECT_FALSE(first_->inTransaction());
    EXPECT_FALSE(second_->inTransaction());
    auto fresh = workstation();
    EXPECT_EQ(k.holders(*fresh), before == 0 ? 1 : before) << "one row, never two";
    const QStringList said = responder_.texts();
    const bool refused = std::any_of(said.begin(), said.end(), [&](const QString& t) {
      return t.contains(busy) || t.contains(duplicate) || (k.formMessage && t == QString::fromUtf8(k.formMessage));
    });
    EXPECT_TRUE(refused) << said.join(QLatin1Char('|')).toStdString();
  }
}

// What the saves send a SQL Server: the reads that decide take their locks.
class RecordingBackend : public DbBackend {
 public:
  explicit RecordingBackend(QStringList* sent) : sent_(sent) {}
  void open() override { open_ = true; }
  bool isOpen() const override { return open_; }
  void close() override { open_ = false; }
  QueryResult query(const QString& sql, const QVariantList&) override {
    *sent_ << sql;
    // One row of nothing: every read finds no value.
    return QueryResult{{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, {{QVariant(), QVariant(), QVariant()}}};
  }
  qint64 exec(const QString& sql, const QVariantList&) override {
    *sent_ << sql;
    return 1;
  }
  void begin() override {}
  void commit() override {}
  void rollback() override {}

 private:
  QStringList* sent_;
  bool open_ = false;
};

TEST_F(TwoWorkstations, TheServerReadsTheNameOrNumberWithUpdateAndHoldLocks) {
  QStringList sent;
  SetConnectionOverride(1, std::make_shared<Connection>(std::make_unique<RecordingBackend>(&sent), SqlDialect{DialectKind::SqlServer}));
  const struct {
    Save save;
    QString value;
    QStringList reads;
  } cases[] = {
      {AddAccount, QStringLiteral("wang"), {QStringLiteral("select 编号 from PJ_Admin with (updlock, holdlock) where 登录账号=?")}},
      {AddLookupItem, QStringLiteral("销售部"),
       {QStringLiteral("select 编号 from PJ_Zaxiang with (updlock, holdlock) where 类别=? and 名称=?"),
        QStringLiteral("select 代码 from PJ_Zaxiang with (updlock, holdlock) order by 编号")}},
      {AddWorkstation, QStringLiteral("前台"), {QStringLiteral("select max(机器ID) from PJ_Jq with (updlock, holdlock)")}},
      {ImportLookupItem, QStringLiteral("销售部"), {QStringLiteral("select 名称 from PJ_Zaxiang with (updlock, holdlock) where 类别=?")}},
  };
  for (const auto& c : cases) {
    sent.clear();
    c.save(c.value);
    for (const QString& read : c.reads) EXPECT_TRUE(sent.contains(read)) << read.toStdString() << "\n" << sent.join("\n").toStdString();
  }
}

}  // namespace
