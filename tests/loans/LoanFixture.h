#pragma once
// What the loan tests share: a logged-in administrator on a fresh database and rows put straight
// into the tables.
#include <QComboBox>
#include <QTest>

#include <memory>
#include <ostream>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/BankInfo.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"

// Test messages show Chinese texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QDate& d, std::ostream* os) { *os << d.toString(Qt::ISODate).toStdString(); }

class LoanFixture : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
    for (auto& v : gBankInfo) v = QVariant();
  }

  static qint32 insertRow(const QString& table, const QStringList& columns, const QVariantList& values) {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    Db().Execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns.join(','), marks.join(',')), values);
    return static_cast<qint32>(Db().lastInsertId());
  }
  static qint32 ownAccount(const QString& bank, const QString& name, const QString& number, int kind = 0) {
    return insertRow(QStringLiteral("PJ_Yhzh"), {QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("账号"), QStringLiteral("类别")},
                     {bank, name, number, kind});
  }
  static qint64 count(const QString& table, const QString& where = QString(), const QVariantList& params = {}) {
    return Db().scalar(QStringLiteral("select count(*) from ") + table + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where), params)
        .toLongLong();
  }
  static QStringList items(const QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i) l << box->itemText(i);
    return l;
  }
  // Chooses an item as the user does: the box shows it and reports the choice.
  static void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
};

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

#include <functional>

#include "control/pbCommand.h"
#include "loans/frmDkJh.h"
#include "loans/frmDkdjB.h"
#include "parties/frmKhgr.h"
#include "parties/frmKhgs.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Grid.h"

// A registration window driven as a user drives it.
class LoanFormFixture : public LoanFixture {
 protected:
  void SetUp() override {
    LoanFixture::SetUp();
    setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)));
    gSystemSettings[3] = QStringLiteral("0");
    gSystemSettings[5] = QStringLiteral("0");
  }

  static qint32 person(const QString& name, const QString& account = QStringLiteral("6214-0001")) {
    return insertRow(QStringLiteral("PJ_Kehu"),
                     {QStringLiteral("姓名"), QStringLiteral("身份证号"), QStringLiteral("手机"), QStringLiteral("家庭住址"), QStringLiteral("职业"),
                      QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("银行帐号")},
                     {name, QStringLiteral("110101199001011234"), QStringLiteral("13800001111"), QStringLiteral("北京市东城区"),
                      QStringLiteral("个体户"), QStringLiteral("招商银行"), name, account});
  }
  static qint32 company(const QString& name) {
    return insertRow(QStringLiteral("PJ_Kehu_Gs"),
                     {QStringLiteral("公司名称"), QStringLiteral("营业执照注册号"), QStringLiteral("手机"), QStringLiteral("住所地"),
                      QStringLiteral("法人职务"), QStringLiteral("开户行"), QStringLiteral("开户名"), QStringLiteral("银行帐号")},
                     {name, QStringLiteral("91110000"), QStringLiteral("13900002222"), QStringLiteral("上海市"), QStringLiteral("董事长"),
                      QStringLiteral("浦发银行"), name, QStringLiteral("7788")});
  }
  // A loan row as another registration left it.
  static void storedLoan(const QString& docNo, const QString& kind, qint32 borrower, const QString& guarantors,
                         const QString& companies, const QString& state = QStringLiteral("未还")) {
    insertRow(QStringLiteral("PJ_Dkjl"),
              {QStringLiteral("单号"), QStringLiteral("客户性质"), QStringLiteral("客户ID"), QStringLiteral("保证人"), QStringLiteral("担保企业"),
               QStringLiteral("结算状态")},
              {docNo, kind, borrower, guarantors, companies, state});
  }

  // The modal show of a customer list answers with the row `id`.
  void answerPick(qint32 id) {
    modal_.handlers.push_back([id](QDialog* d) {
      auto* list = qobject_cast<PartyListBase*>(d);
      list->Picked.id = id;
      list->Picked.mode = list->PickMode;
      return int(QDialog::Accepted);
    });
  }
  // The plan dialog answers with `count` periods of the unit from `first`.
  void answerPlan(int count, bool monthly, const QDate& first) {
    modal_.handlers.push_back([=](QDialog* d) {
      auto* dlg = qobject_cast<frmDkJh*>(d);
      dlg->Combo2->setCurrentIndex(count - 1);
      dlg->Combo1->setCurrentIndex(monthly ? 1 : 0);
      dlg->DTPicker1->setDateValue(first);
      QTest::mouseClick(dlg->pbCommand1, Qt::LeftButton);
      return dlg->result();
    });
  }

  // A new window with borrower `id` picked and the handler filled in.
  std::unique_ptr<frmDkdjB> newLoan(qint32 id, const QString& kind = QStringLiteral("个人")) {
    auto w = std::make_unique<frmDkdjB>();
    w->Form_Load();
    if (kind != w->cmbJkkh[0]->currentText()) {
      w->cmbJkkh[0]->setCurrentIndex(w->cmbJkkh[0]->findText(kind));
      w->cmbJkkh_Click(0);
    }
    answerPick(id);
    click(w->pbCJkzl->at(5));
    w->txtDkdj[6]->setText(QStringLiteral("王经办"));
    w->BusinessDept = QStringLiteral("业务一部");
    w->dtpDjrq[2]->setDateValue(Clock::today().addDays(30));
    return w;
  }

  // A window with something to lose on closing: the saved loan `docNo` opened with its amount changed,
  // or (docNo empty) a new loan of `borrower` with its amount typed and a plan built.
  std::unique_ptr<frmDkdjB> loanToClose(const QString& docNo, qint32 borrower) {
    auto w = docNo.isEmpty() ? newLoan(borrower) : opened(docNo);
    w->txtDkdj[0]->setText(QStringLiteral("80000"));
    if (docNo.isEmpty()) click(w->pbCDkdj->at(LoanCalc::OnceAll));
    return w;
  }
  static void setTerms(frmDkdjB& w, const QString& amount, const QString& rate, bool monthly, const QDate& start,
                       const QDate& end) {
    w.txtDkdj[0]->setText(amount);
    w.txtDkdj[1]->setText(rate);
    w.txtDkdj[2]->setText(rate);
    w.comJkzl[1]->setCurrentIndex(monthly ? 1 : 0);
    w.comJkzl_Click(1);
    w.dtpDjrq[0]->setDateValue(start);
    w.dtpDjrq[1]->setDateValue(start);
    w.dtpDjrq[2]->setDateValue(end);
  }
  // The saved loan `docNo` opened in a window.
  static std::unique_ptr<frmDkdjB> opened(const QString& docNo) {
    auto w = std::make_unique<frmDkdjB>();
    w->EditDocNo = docNo;
    w->Form_Load();
    return w;
  }
  // A file the user picks, outside the program folder; it holds its own name.
  QString userFile(const QString& name) {
    const QString path = dir_.path() + QStringLiteral("/") + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(name.toUtf8());
    return path;
  }
  // A loan of borrower `id` saved through a new window with the plan of `button`, built after
  // `prepare`; its number.
  QString savedLoan(qint32 id, int button, const std::function<void(frmDkdjB&)>& prepare = {}) {
    auto w = newLoan(id);
    if (prepare) prepare(*w);
    click(w->pbCDkdj->at(button));
    save(*w);
    return w->单号;
  }
  static void click(pbCommand* b) { QTest::mouseClick(b, Qt::LeftButton); }
  static void save(frmDkdjB& w) { click(w.pbCDkgh->at(0)); }
  static bool marked(QWidget* box) { return box->styleSheet().contains(QStringLiteral("#00FFFF")); }
  static double sum(const QString& column, const QString& table, const QString& docNo) {
    return Db().scalar(QStringLiteral("select sum(%1) from %2 where 单号=?").arg(column, table), {docNo}).toDouble();
  }
  static QVariant field(const QString& column, const QString& table, const QString& docNo) {
    return Db().scalar(QStringLiteral("select %1 from %2 where 单号=? order by 编号").arg(column, table), {docNo});
  }
};
