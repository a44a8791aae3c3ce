#pragma once
// What the loan registration reads and writes, without widgets: the borrower freeze checks, the
// guarantor lists, the plan rows (replaced whole in one transaction), the save of the loan with its
// prepaid-interest record and journal rows (one transaction), attachments and the clean-up of an
// abandoned new document. Windows read their boxes into these values and report what comes back.
#include <QDate>
#include <QList>
#include <QString>

#include "loans/LoanCalc.h"

namespace LoanStore {

// ---- borrowers and guarantors

// Why a party may not borrow: it has an open loan, or it guarantees one. `ownDocNo` is the document
// being edited, which never refuses its own borrower or guarantors.
enum class Freeze { None, OpenLoan, Guarantor };
Freeze BorrowerFreeze(bool person, qint32 customerId, const QString& ownDocNo);
// The message of a refusal ("" for None).
QString FreezeMessage(Freeze f);

// A guarantor (guarantee-company) list as stored: 编号 values joined by ",", "0" when there is none.
// Reading skips empty, "0" and repeated elements; writing gives "0" for an empty list.
QList<qint32> ParseIdList(const QString& text);
QString IdListText(const QList<qint32>& ids);

// ---- document numbers

// A new loan number: one more than the highest sequence of today's stem in the loans, their plan
// rows and their attachments, so a number left by an abandoned plan is never given again.
QString NewLoanNumber();

// ---- plan rows

// Whether the loan has money records beyond the interest taken at registration: a plan row repaid
// (other than the row created paid) or a repayment record other than the prepaid one.
bool HasRepayments(const QString& docNo);
// Replaces the document's plan rows with `plan` in one transaction. 经办人 and 客户名称 are stamped
// on every row.
void ReplacePlan(const QString& docNo, const LoanCalc::Plan& plan, const QString& handler, const QString& customer);
// The document's plan rows as the save and the reports read them (ordered by 还贷期次).
struct StoredRow {
  qint64 id = 0;
  int period = 0;
  double principalDue = 0, interestDue = 0;
  int days = 0;
  QString status;
};
QList<StoredRow> PlanRows(const QString& docNo);

// ---- the loan

// The PJ_Dkjl columns the registration writes, as read from the window.
struct LoanRecord {
  QString docNo;           // 单号
  QDate registered;        // 登记日期
  QString customerKind;    // 客户性质 "个人" / "企业"
  qint32 customerId = 0;   // 客户ID
  QString customerName;    // 客户名称
  double amount = 0;       // 本金
  QString rateType;        // 利率类别
  double rate = 0;         // 利率
  double overdueRate = 0;  // 逾期利率
  LoanCalc::Interest working;  // 利率系数, 日利率, 逾期日利率
  bool bothEnds = false;   // 首尾计息
  QDate start, end;        // 起息日期, 止息日期 (= 约定还款日期)
  QString planName;        // 还款计划
  double prepaid = 0;      // interest taken at registration: 已还利息, the prepaid record, a journal row
  QString purpose, industry, collateral, handler, remark;  // 贷款用途, 所属行业, 抵押资产, 业务经办, 备注
  QList<qint32> guarantors, companies;  // 保证人, 担保企业
  QString dept;            // 部门 (the handler's department)
};

// What stops a save before anything is written; "" when the loan may be saved.
//   "还没有添加还款计划！"            no plan rows
//   "该单据已有还款记录，不能修改！"    an edit of a loan with repayments
//   "还款计划与借款金额不符，请重新生成还款计划！"   the plan repays another amount
QString SaveRefusal(const LoanRecord& rec, bool editing);
// Writes the loan in one transaction: the PJ_Dkjl row (inserted with 结算状态 "未还", 放弃标记 "正常"
// and 业务状态 "未审核" when `needsReview`, else "已审核"; an edit keeps those), 利息 and 计息天数 as
// the plan's totals; on an edit the registration's earlier prepaid record and journal rows are
// removed (later balances recomputed); then the prepaid record (when there is prepaid interest) and
// the journal rows "贷款本金支出" and "贷款利息收入" with the bank data in gBankInfo. Throws on a
// failure, with nothing written.
void SaveLoan(const LoanRecord& rec, bool editing, bool needsReview);

// ---- attachments and abandoned documents

// The folder the attachment copies go to ("template/" in the program folder), created when missing.
QString AttachmentFolder();
// The text after the last "\" or "/" of a path (the whole path when it has none).
QString StripPath(const QString& path);
// Copies the file into the attachment folder under a name of its own (the time "yyyyMMddHHmmss",
// a counter when that name is taken, and the file's extension in lower case), then adds its
// PJ_DkFj row. Returns "" on success, else the message to show (nothing added).
QString AddAttachment(const QString& docNo, const QString& path);
// The copied files of a document's attachments, read before its rows are deleted, and their removal
// once the delete is saved.
QStringList AttachmentFiles(const QString& docNo);
void RemoveAttachmentFiles(const QStringList& files);
// Deletes the attachment row and its file; a missing row or file is ignored.
void DeleteAttachment(qint64 id);
// The stored copy of an attachment, "" when the row is gone.
QString AttachmentPath(qint64 id);
// Removes the plan rows, attachment rows and attachment files of a document that was never saved.
void DiscardNewDocument(const QString& docNo);

}  // namespace LoanStore
