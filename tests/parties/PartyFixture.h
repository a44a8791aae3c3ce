#pragma once
// What the tests of the party lists share: a logged-in administrator, rows put straight into the
// tables, the grid and option moves a user makes, and files written and read whole.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "control/pbCommand.h"
#include "parties/PartyListBase.h"
#include "platform/Buttons.h"
#include "platform/Grid.h"

// Whether `bytes` were written whole to the file at `path`, in place of what it held.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
// What the file at `path` holds; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PartyFixture : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    loginAsSuperAdmin();
  }

  static qint32 insertRow(const QString& table, const QStringList& columns, const QVariantList& values) {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    Db().Execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns.join(','), marks.join(',')), values);
    return static_cast<qint32>(Db().lastInsertId());
  }
  static qint32 person(const QString& name, const QString& mnemonic) {
    return insertRow(QStringLiteral("PJ_Kehu"), {QStringLiteral("姓名"), QStringLiteral("助记符"), QStringLiteral("手机")},
                     {name, mnemonic, QStringLiteral("13800000000")});
  }
  static qint32 company(const QString& name, const QString& mnemonic) {
    return insertRow(QStringLiteral("PJ_Kehu_Gs"), {QStringLiteral("公司名称"), QStringLiteral("助记符")}, {name, mnemonic});
  }
  static qint32 investor(const QString& name, const QString& mnemonic) {
    return insertRow(QStringLiteral("PJ_Gd"), {QStringLiteral("姓名"), QStringLiteral("助记符"), QStringLiteral("身份证号")},
                     {name, mnemonic, QStringLiteral("110101198001010011")});
  }
  // A loan of `kind` ("个人" or "企业") to `borrower` with guarantor and guarantee-company lists.
  static void loan(const QString& kind, qint32 borrower, const QString& guarantors = QStringLiteral("0"),
                   const QString& companies = QStringLiteral("0")) {
    static int n = 0;
    insertRow(QStringLiteral("PJ_Dkjl"),
              {QStringLiteral("单号"), QStringLiteral("客户性质"), QStringLiteral("客户ID"), QStringLiteral("保证人"),
               QStringLiteral("担保企业"), QStringLiteral("结算状态")},
              {QStringLiteral("D0010001202401010%1").arg(++n, 2, 10, QLatin1Char('0')), kind, borrower, guarantors, companies,
               QStringLiteral("未还")});
  }
  static void financing(qint32 investorId, const QString& name) {
    static int n = 0;
    insertRow(QStringLiteral("PJ_Cjjl"), {QStringLiteral("单号"), QStringLiteral("客户ID"), QStringLiteral("客户名称")},
              {QStringLiteral("C0010001202401010%1").arg(++n, 2, 10, QLatin1Char('0')), investorId, name});
  }
  static qint64 count(const QString& table) {
    return Db().scalar(QStringLiteral("select count(*) from ") + table).toLongLong();
  }
  static QString column(const QString& table, const QString& col, qint32 id) {
    return VariantText(Db().scalar(QStringLiteral("select %1 from %2 where 编号=?").arg(col, table), {id}));
  }

  // The grid row that shows `id`, or -1.
  static int rowOf(const PartyListBase& w, qint32 id) {
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r)
      if (w.Fg->textMatrix(r, 0) == QString::number(id)) return r;
    return -1;
  }
  // The 编号 values the grid lists, in order.
  static QList<qint32> listed(const PartyListBase& w) {
    QList<qint32> ids;
    for (int r = w.Fg->fixedRows(); r < w.Fg->rows(); ++r) ids << w.Fg->textMatrix(r, 0).toInt();
    return ids;
  }
  // A click on the row of `id`.
  static void clickRow(PartyListBase& w, qint32 id) {
    const int r = rowOf(w, id);
    ASSERT_GE(r, 0) << "row of " << id << " not listed";
    w.Fg->setRow(r);
    w.Fg_Click();
  }
  static void option(PartyListBase& w, int index) { w.optGn[index]->click(); }
  static void confirm(PartyListBase& w) { QTest::mouseClick(w.eCmdzx->at(PartyListBase::cmdOk), Qt::LeftButton); }
  static bool marked(QWidget* box) { return box->styleSheet().contains(QStringLiteral("#00FFFF")); }
};
