#include "app/services/DocumentClaim.h"

#include "app/data/DataAccess.h"

QString DocumentChangedMessage() { return QStringLiteral("该单据已被其他用户修改，请关闭窗口后重新打开！"); }

DocumentChanged::DocumentChanged() : std::runtime_error(DocumentChangedMessage().toStdString()), message(DocumentChangedMessage()) {}

qint64 DocumentVersion(const QString& table, const QString& docNo) {
  Recordset rs;
  OpenRecordset(rs, QStringLiteral("select 版本 from ") + table + QStringLiteral(" where 单号=?"), {docNo});
  const qint64 version = rs.Eof() ? -1 : rs.value(0).toLongLong();
  CloseRecordset(rs);
  return version;
}

void ClaimDocument(const QString& table, const QString& docNo, qint64 version) {
  gCurrentSql = QStringLiteral("update ") + table + QStringLiteral(" set 版本=版本+1 where 单号=? and 版本=?");
  const qint64 changed = Db().Execute(gCurrentSql, {docNo, version});
  if (changed != 1) throw DocumentChanged();
}

void SetDocumentState(const QString& table, const QString& docNo, qint64 version, const QString& state) {
  Transaction t;
  ClaimDocument(table, docNo, version);
  Db().Execute(QStringLiteral("update ") + table + QStringLiteral(" set 业务状态=? where 单号=?"), {state, docNo});
  t.Commit();
}
