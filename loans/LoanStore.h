#pragma once
// What the loan registration reads and writes, without widgets: the borrower freeze checks, the
// guarantor lists, the plan rows (replaced whole in one transaction), the save of the loan with its
// prepaid-interest record and journal rows (one transaction), attachments and the clean-up of an
// abandoned new document. Windows read their boxes into these values and report what comes back.
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <stdexcept>

#include "loans/LoanCalc.h"

namespace LoanStore {

// ---- borrowers and guarantors

// Why a party may not borrow: it has an open loan, or it guarantees one. `ownDocNo` is the document
// being edited, which never refuses its own borrower or guarantors.
enum class Freeze { None, OpenLoan, Guarantor };
Freeze BorrowerFreeze(bool person, qint32 customerId, const QString& ownDocNo);
// The message of a refusal ("" for None).
QString FreezeMessage(Freeze f);

// Whether `partyId`, picked as a guarantor (`company` false) or as a guarantee company, is the
// borrower himself: a person is never his own guarantor, nor a borrowing company its own guarantee
// company.
bool IsOwnGuarantor(bool person, qint32 borrowerId, bool company, qint32 partyId);
// "借款人不能作为本笔借款的保证人！"
QString OwnGuarantorMessage();

// A guarantor (guarantee-company) list as stored: 编号 values joined by ",", "0" when there is none.
// Reading skips empty, "0" and repeated elements; writing gives "0" for an empty list.
QList<qint32> ParseIdList(const QString& text);
QString IdListText(const QList<qint32>& ids);

// ---- document numbers

// The number the next save takes (shown by the window at open); the save takes its own
// (TakeDocumentNumber over the loans, their plan rows and their attachments).
QString NewLoanNumber();

// ---- plan rows

// Whether the loan has money records beyond the interest taken at registration: a plan row repaid
// (other than the row created paid) or a repayment record other than the prepaid one.
bool HasRepayments(const QString& docNo);
// The repayment records beyond the prepaid one.
qint64 RepaymentRecordCount(const QString& docNo);
// Replaces the document's plan rows with `plan` (in the caller's transaction, or one of its own).
// 经办人 and 客户名称 are stamped on every row.
void ReplacePlan(const QString& docNo, const LoanCalc::Plan& plan, const QString& handler, const QString& customer);
// The interest taken at registration as the stored plan holds it: the rows created paid (归还状态
// "已还" without a repayment date).
double StoredPrepaid(const QString& docNo);
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

// An attachment as the window lists it: a stored row (id) or a file copied for the save (id 0).
struct Attachment {
  qint64 id = 0;
  QString name, type, path;  // 附件名称, 文件类型, 路径 (the copy)
};

// Everything the registration window holds, as one save writes it.
struct LoanDocument {
  LoanRecord record;          // record.docNo: "" for a new loan (the save takes the number)
  bool editing = false;
  qint64 version = 0;         // 版本 read with the loan (an edit)
  bool needsReview = false;   // a new loan starts 未审核
  bool newPlan = false;       // `plan` was built in the window; an edit without it keeps its rows
  LoanCalc::Plan plan;
  bool accountsChosen = false;  // gBankInfo holds accounts picked for this save (an edit rewrites its rows')
  QList<Attachment> attachments;
  QMap<qint32, QString> guarantorNames, companyNames;  // the names the window listed, for the refusals
};

// What no correction in the window mends, said before any check of its boxes or plan; "" when none:
//   "该单据已被其他用户修改，请关闭窗口后重新打开！"   an edit of a loan saved or deleted since it was read
//   "借款客户已被删除，请重新选择！", "保证人“X”已被删除，请重新选择！", "担保企业“X”已被删除，请重新选择！"
QString OutdatedRefusal(const LoanDocument& doc);
// What stops a save before anything is written; "" when the loan may be saved.
//   OutdatedRefusal's sentences first
//   "借款人不能作为本笔借款的保证人！"  the borrower among his own guarantors
//   "还没有添加还款计划！"            no plan rows
//   "该单据已有还款记录，不能修改！"    an edit of a loan with repayments
//   "还款计划与借款金额不符，请重新生成还款计划！"   the plan repays another amount
QString SaveRefusal(const LoanDocument& doc);
// A refusal found inside the save's transaction (nothing written), with the message to show.
struct SaveRefused : std::runtime_error {
  explicit SaveRefused(const QString& m) : std::runtime_error(m.toStdString()), message(m) {}
  QString message;
};
// Writes the window's loan in one transaction and returns its number. A new loan takes its number
// and is inserted (版本 0, 结算状态 "未还", 放弃标记 "正常", 业务状态 "未审核" when it needs review,
// else "已审核") with its plan, prepaid record and journal rows "贷款本金支出" / "贷款利息收入".
// An edit claims the loan at `version` (DocumentChanged), is refused when it has repayments
// (SaveRefused). After the claim or the number the parties are read again (held to the commit on SQL
// Server): a borrower, guarantor or guarantee company deleted meanwhile, and for a new loan or a
// changed borrower a borrower frozen meanwhile, refuse the save (SaveRefused). An edit keeps its plan rows (客户名称, 业务经办 updated) or replaces them with a new plan,
// and updates its prepaid record and journal rows in place. Attachment rows follow the list;
// after the commit the copies leave the pending list and the files of dropped rows go
// (SettleSavedAttachments). Throws with nothing written.
QString SaveLoanDocument(const LoanDocument& doc);

// ---- attachments and abandoned documents

// The folder the attachment copies go to ("template/" in the program folder), created when missing.
QString AttachmentFolder();
// The text after the last "\" or "/" of a path (the whole path when it has none).
QString StripPath(const QString& path);
// Copies the file into the attachment folder under a name of its own (the time "yyyyMMddHHmmss",
// a counter when that name is taken, and the file's extension in lower case) for the save to
// record. The name goes on the pending list first (AttachmentCopies.h). Returns "" on success,
// else the message to show, "附件复制失败：" + why (nothing copied), the system's text in `*details`.
QString CopyAttachment(const QString& path, Attachment* copied, QString* details = nullptr);
// The registration windows' 添加: the copy joins `list` (what the window holds until its save);
// returns the failure to show, "" when copied.
QString AddAttachmentCopy(const QString& path, QList<Attachment>* list, QString* details = nullptr);
// The stored attachment rows of a document.
QList<Attachment> StoredAttachments(const QString& docNo);
// The stored copy of an attachment, "" when the row is gone.
QString AttachmentPath(qint64 id);
// In the save's transaction: the document's attachment rows follow the window's list (copies
// inserted, stored rows missing from it deleted). Returns the files of the deleted rows that this
// workstation may remove once the save has committed (SettleSavedAttachments): on SQL Server only
// those of rows this workstation added.
QStringList SaveAttachmentRows(const QString& docNo, const QList<Attachment>& list);
// Removes the files the window copied and no save recorded (id 0), as a window left unsaved does,
// and takes them off the pending list; a file some row names stays.
void DiscardCopies(const QList<Attachment>& attachments);

}  // namespace LoanStore
