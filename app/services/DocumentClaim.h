#pragma once
// A document changes only as its window saw it. Every save, payment, approval, voiding or delete of a
// loan (PJ_Dkjl) or financing record (PJ_Cjjl) starts its transaction by claiming the document at
// the 版本 the window read with its data; when another window or workstation saved the document
// since, nothing is written and the user is told to reopen. The claim is the transaction's first
// statement, so on SQL Server it also holds the document row's lock to the commit and two
// workstations' saves of one document run one after the other.
#include <QString>

#include <stdexcept>

// The refusal of a stale window, with the message to show.
struct DocumentChanged : std::runtime_error {
  DocumentChanged();
  QString message;
};

// "该单据已被其他用户修改，请关闭窗口后重新打开！"
QString DocumentChangedMessage();

// The 版本 of the document `docNo` in `table` ("PJ_Dkjl" or "PJ_Cjjl", from the code) as stored now;
// -1 when there is no such document.
qint64 DocumentVersion(const QString& table, const QString& docNo);

// Inside the caller's transaction, as its first statement: raises 版本 by one where it is still
// `version`. Throws DocumentChanged when no row changed (the document was saved, deleted or never
// existed); the caller's transaction then rolls back with nothing written.
void ClaimDocument(const QString& table, const QString& docNo, qint64 version);

// Approval and voiding: claims the document at `version` (read by 单号 when the command started)
// and sets its 业务状态, in one transaction.
void SetDocumentState(const QString& table, const QString& docNo, qint64 version, const QString& state);
