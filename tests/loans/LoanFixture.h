#pragma once
// What the loan tests share: a logged-in administrator on a fresh database and rows put straight
// into the tables.
#include <QComboBox>
#include <QTest>

#include "TestSupport.h"
#include "app/data/DataAccess.h"
#include "app/services/BankInfo.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"

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
