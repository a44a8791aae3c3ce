#include "loans/LoanStore.h"
#include "loans/AttachmentCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/BookStart.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "platform/Clock.h"
#include "platform/Money.h"
#include "platform/SafeFiles.h"
#include "platform/WaitCursor.h"

namespace LoanStore {

namespace {
const QString kOpen = QStringLiteral("未还");
const QString kPrepaidRemark = QStringLiteral("提前扣除利息");

bool anyListHolds(const QString& column, qint32 id, const QString& ownDocNo) {
  // Every save asks this of tens of thousands of open loans. The index by status holds the lists in
  // order: the run of "0" (none) is stepped over by reading the lists on either side of it, and of
  // those only the ones holding the number's digits come back for the list parser to decide.
  const SqlDialect& d = CurrentDialect();
  const QString side = QStringLiteral("select %1 from PJ_Dkjl where 结算状态=? and %1%2? and %1 like ?%3and 单号<>?");
  const QString none = QStringLiteral("0");
  const QString digits = d.likeContains(QString::number(id));
  const QueryResult r = Db().query(side.arg(column, QStringLiteral(">"), d.likeEscape()) + QStringLiteral(" union all ") +
                                       side.arg(column, QStringLiteral("<"), d.likeEscape()),
                                   {kOpen, none, digits, ownDocNo, kOpen, none, digits, ownDocNo});
  for (const QVariantList& row : r.rows)
    if (ParseIdList(VariantText(row.value(0))).contains(id)) return true;
  return false;
}

const QStringList kNumberTables = {QStringLiteral("PJ_Dkjl"), QStringLiteral("PJ_Hdjh"), QStringLiteral("PJ_DkFj")};
const QString kPrincipalSummary = QStringLiteral("贷款本金支出");
const QString kInterestSummary = QStringLiteral("贷款利息收入");
}  // namespace

Freeze BorrowerFreeze(bool person, qint32 customerId, const QString& ownDocNo) {
  const QString kindTest = person ? QStringLiteral("客户性质=?") : QStringLiteral("客户性质<>?");
  const QVariant open = Db().scalar(
      QStringLiteral("select count(*) from PJ_Dkjl where 结算状态=? and ") + kindTest + QStringLiteral(" and 客户ID=? and 单号<>?"),
      {kOpen, QStringLiteral("个人"), customerId, ownDocNo});
  if (open.toLongLong() > 0) return Freeze::OpenLoan;
  if (anyListHolds(person ? QStringLiteral("保证人") : QStringLiteral("担保企业"), customerId, ownDocNo)) return Freeze::Guarantor;
  return Freeze::None;
}

QString FreezeMessage(Freeze f) {
  switch (f) {
    case Freeze::OpenLoan: return QStringLiteral("该用户有未完结借款，临时被冻结。");
    case Freeze::Guarantor: return QStringLiteral("该用户目前在担保期间，临时被冻结。");
    default: return {};
  }
}

bool IsOwnGuarantor(bool person, qint32 borrowerId, bool company, qint32 partyId) {
  return borrowerId != 0 && person != company && partyId == borrowerId;
}

QString OwnGuarantorMessage() { return QStringLiteral("借款人不能作为本笔借款的保证人！"); }

QList<qint32> ParseIdList(const QString& text) {
  QList<qint32> ids;
  for (const QString& part : text.split(QLatin1Char(','))) {
    bool ok = false;
    const qint32 id = part.trimmed().toInt(&ok);
    if (ok && id != 0 && !ids.contains(id)) ids << id;
  }
  return ids;
}

QString IdListText(const QList<qint32>& ids) {
  if (ids.isEmpty()) return QStringLiteral("0");
  QStringList parts;
  for (qint32 id : ids) parts << QString::number(id);
  return parts.join(QLatin1Char(','));
}

QString NewLoanNumber() { return PeekDocumentNumber(QStringLiteral("D"), kNumberTables); }

qint64 RepaymentRecordCount(const QString& docNo) {
  return Db().scalar(QStringLiteral("select count(*) from PJ_Hkjl where 单号=? and (备注 is null or 备注<>?)"), {docNo, kPrepaidRemark})
      .toLongLong();
}

bool HasRepayments(const QString& docNo) {
  if (RepaymentRecordCount(docNo) > 0) return true;
  // A row created paid has its interest paid and no repayment date; anything else paid came later.
  const qint64 rows =
      Db().scalar(QStringLiteral("select count(*) from PJ_Hdjh where 单号=? and (已还本金<>0 or 归还状态=? or "
                                 "(已还利息<>0 and 归还日期 is not null and 归还日期<>''))"),
                  {docNo, QStringLiteral("归还部分")})
          .toLongLong();
  return rows > 0;
}

void ReplacePlan(const QString& docNo, const LoanCalc::Plan& plan, const QString& handler, const QString& customer) {
  Transaction tx;
  Db().Execute(QStringLiteral("delete from PJ_Hdjh where 单号=?"), {docNo});
  const QString sql = QStringLiteral(
      "insert into PJ_Hdjh (单号,还贷期次,贷款本金,应还本金,应还利息,已还本金,已还利息,归还状态,开始日期,约定归还日期,"
      "业务日期,经办人,计息天数,客户名称) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  for (const LoanCalc::PlanRow& r : plan.rows) {
    Db().Execute(sql, {docNo, r.period, r.principalBase, r.principalDue, r.interestDue, r.paidPrincipal, r.paidInterest, r.status,
                       DateText(r.start), DateText(r.due), DateText(r.businessDate), handler, r.days, customer});
  }
  tx.Commit();
}

QList<StoredRow> PlanRows(const QString& docNo) {
  QList<StoredRow> rows;
  const QueryResult r = Db().query(
      QStringLiteral("select 编号,还贷期次,应还本金,应还利息,计息天数,归还状态 from PJ_Hdjh where 单号=? order by 还贷期次,编号"), {docNo});
  for (const QVariantList& v : r.rows) {
    StoredRow s;
    s.id = static_cast<qint64>(VariantNumber(v[0]));
    s.period = static_cast<int>(VariantNumber(v[1]));
    s.principalDue = VariantNumber(v[2]);
    s.interestDue = VariantNumber(v[3]);
    s.days = static_cast<int>(VariantNumber(v[4]));
    s.status = VariantText(v[5]);
    rows << s;
  }
  return rows;
}

double StoredPrepaid(const QString& docNo) {
  const QVariant sum = Db().scalar(QStringLiteral("select sum(应还利息) from PJ_Hdjh where 单号=? and 归还状态=? and "
                                                  "(归还日期 is null or 归还日期='')"),
                                   {docNo, QStringLiteral("已还")});
  return Money::round(VariantNumber(sum), 2);
}

namespace {
// The plan the save writes or keeps: the window's new plan, or (an edit keeping it) the stored rows.
struct PlanTotals {
  int rows = 0;
  double principal = 0, interest = 0;
  int days = 0;
};
PlanTotals totalsOf(const LoanDocument& doc) {
  PlanTotals t;
  if (doc.newPlan || !doc.editing) {
    for (const LoanCalc::PlanRow& r : doc.plan.rows) {
      ++t.rows;
      t.principal += r.principalDue;
      t.interest += r.interestDue;
      t.days += r.days;
    }
    return t;
  }
  for (const StoredRow& r : PlanRows(doc.record.docNo)) {
    ++t.rows;
    t.principal += r.principalDue;
    t.interest += r.interestDue;
    t.days += r.days;
  }
  return t;
}

void writeLoanRow(const LoanRecord& rec, const PlanTotals& plan, bool editing, bool needsReview) {
  Recordset rs;
  if (editing)
    OpenRecordset(rs, QStringLiteral("select * from PJ_Dkjl where 单号=?"), {rec.docNo});
  else
    OpenRecordset(rs, QStringLiteral("select * from PJ_Dkjl where 编号=0"));
  if (editing && rs.Eof()) throw AppError(Err::NoCurrentRecord, QStringLiteral("借贷单据") + rec.docNo + QStringLiteral("已不存在。"));
  if (!editing) rs.AddNew();
  rs.setValue(QStringLiteral("单号"), rec.docNo);
  rs.setValue(QStringLiteral("登记日期"), DateText(rec.registered));
  rs.setValue(QStringLiteral("利率类别"), rec.rateType);
  rs.setValue(QStringLiteral("利率"), rec.rate);
  rs.setValue(QStringLiteral("逾期利率"), rec.overdueRate);
  rs.setValue(QStringLiteral("利息"), Money::round(plan.interest, 2));
  rs.setValue(QStringLiteral("利率系数"), rec.working.factor);
  rs.setValue(QStringLiteral("计息天数"), plan.days);
  rs.setValue(QStringLiteral("本金"), Money::round(rec.amount, 2));
  rs.setValue(QStringLiteral("日利率"), rec.working.dailyRate);
  rs.setValue(QStringLiteral("逾期日利率"), rec.working.overdueDailyRate);
  rs.setValue(QStringLiteral("贷款用途"), rec.purpose.trimmed());
  rs.setValue(QStringLiteral("所属行业"), rec.industry.trimmed());
  rs.setValue(QStringLiteral("客户性质"), rec.customerKind);
  rs.setValue(QStringLiteral("客户名称"), rec.customerName.trimmed());
  rs.setValue(QStringLiteral("抵押资产"), rec.collateral.trimmed());
  rs.setValue(QStringLiteral("首尾计息"), rec.bothEnds ? 1 : 0);
  rs.setValue(QStringLiteral("业务经办"), rec.handler.trimmed());
  rs.setValue(QStringLiteral("约定还款日期"), DateText(rec.end));
  rs.setValue(QStringLiteral("起息日期"), DateText(rec.start));
  rs.setValue(QStringLiteral("止息日期"), DateText(rec.end));
  rs.setValue(QStringLiteral("客户ID"), rec.customerId);
  rs.setValue(QStringLiteral("备注"), rec.remark.trimmed());
  rs.setValue(QStringLiteral("保证人"), IdListText(rec.guarantors));
  rs.setValue(QStringLiteral("担保企业"), IdListText(rec.companies));
  rs.setValue(QStringLiteral("操作员"), gUserName);
  rs.setValue(QStringLiteral("部门"), rec.dept);
  rs.setValue(QStringLiteral("机器ID"), static_cast<int>(gMachineId));
  rs.setValue(QStringLiteral("科室ID"), gUserDeptId);
  rs.setValue(QStringLiteral("还款计划"), rec.planName);
  // Without repayments (an edit has none) what was repaid is what was taken at registration.
  rs.setValue(QStringLiteral("已还利息"), Money::round(rec.prepaid, 2));
  if (!editing) {
    rs.setValue(QStringLiteral("结算状态"), kOpen);
    rs.setValue(QStringLiteral("放弃标记"), QStringLiteral("正常"));
    rs.setValue(QStringLiteral("业务状态"), needsReview ? QStringLiteral("未审核") : QStringLiteral("已审核"));
    rs.setValue(QStringLiteral("版本"), 0);
  }
  rs.Update();
  rs.Close();
}

// The plan row created paid (the prepaid interest's) and the first row, as stored now.
struct PrepaidTarget {
  qint64 rowId = 0;
  int period = 0;
};
PrepaidTarget prepaidTarget(const QString& docNo) {
  const QList<StoredRow> rows = PlanRows(docNo);
  PrepaidTarget t;
  if (rows.isEmpty()) return t;
  t.period = rows.front().period;
  t.rowId = rows.front().id;
  for (const StoredRow& r : rows)
    if (r.status == QStringLiteral("已还")) {
      t.rowId = r.id;
      break;
    }
  return t;
}

void insertPrepaidRecord(const QString& docNo, const PrepaidTarget& t, double prepaid) {
  Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,本金,利息,手续费,还款状态,备注,操作员,计划ID,机器ID,科室ID) "
                              "values (?,?,0,?,0,?,?,?,?,?,?)"),
               {docNo, t.period, prepaid, QStringLiteral("已还"), kPrepaidRemark, gUserName, t.rowId, static_cast<int>(gMachineId),
                gUserDeptId});
}

// An edit's registration records, where they are: the principal row, then the prepaid record and
// its journal row updated, added (a new movement) or dropped.
void updateRegistrationInPlace(const LoanDocument& doc, const PrepaidTarget& t, double prepaid) {
  const LoanRecord& rec = doc.record;
  const QString handler = rec.handler.trimmed();
  if (const auto row = FindLedgerRow(rec.docNo, kPrincipalSummary)) {
    UpdateLedgerRow(*row, -Money::round(rec.amount, 2), handler, 0);
    if (doc.accountsChosen) UpdateLedgerAccounts(row->id);
  } else {
    double principal = Money::round(rec.amount, 2);
    WriteLedgerEntry(rec.docNo, principal, kPrincipalSummary, QStringLiteral("支出"), handler, 0);
  }
  const QVariant recordId =
      Db().scalar(QStringLiteral("select min(编号) from PJ_Hkjl where 单号=? and 备注=?"), {rec.docNo, kPrepaidRemark});
  const bool hadRecord = recordId.isValid() && !recordId.isNull();
  const auto incomeRow = FindLedgerRow(rec.docNo, kInterestSummary);
  if (prepaid > 0) {
    if (hadRecord)
      Db().Execute(QStringLiteral("update PJ_Hkjl set 期次=?, 利息=?, 计划ID=? where 编号=?"), {t.period, prepaid, t.rowId, recordId});
    else
      insertPrepaidRecord(rec.docNo, t, prepaid);
    if (incomeRow) {
      UpdateLedgerRow(*incomeRow, prepaid, handler, static_cast<qint32>(t.rowId));
      if (doc.accountsChosen) UpdateLedgerAccounts(incomeRow->id);
    } else {
      double income = prepaid;
      WriteLedgerEntry(rec.docNo, income, kInterestSummary, QStringLiteral("收入"), handler, static_cast<qint32>(t.rowId));
    }
    return;
  }
  if (hadRecord) Db().Execute(QStringLiteral("delete from PJ_Hkjl where 编号=?"), {recordId});
  if (incomeRow) DeleteLedgerRow(incomeRow->id);
}

bool partyExists(const QString& table, qint32 id) {
  return !Db().query(QStringLiteral("select 编号 from ") + CurrentDialect().lockedTable(table) + QStringLiteral(" where 编号=?"), {id})
              .rows.empty();
}

QString shownName(const QMap<qint32, QString>& names, qint32 id) { return names.value(id, QString::number(id)); }

bool isPerson(const LoanRecord& rec) { return rec.customerKind == QStringLiteral("个人"); }

// The first party of the window deleted since, "" when all are there (a borrower not picked yet is
// the window's own check).
QString goneParty(const LoanDocument& doc) {
  const LoanRecord& rec = doc.record;
  if (rec.customerId != 0 && !partyExists(isPerson(rec) ? QStringLiteral("PJ_Kehu") : QStringLiteral("PJ_Kehu_Gs"), rec.customerId))
    return QStringLiteral("借款客户已被删除，请重新选择！");
  for (qint32 id : rec.guarantors)
    if (!partyExists(QStringLiteral("PJ_Kehu"), id))
      return QStringLiteral("保证人“%1”已被删除，请重新选择！").arg(shownName(doc.guarantorNames, id));
  for (qint32 id : rec.companies)
    if (!partyExists(QStringLiteral("PJ_Kehu_Gs"), id))
      return QStringLiteral("担保企业“%1”已被删除，请重新选择！").arg(shownName(doc.companyNames, id));
  return {};
}

// The parties as they are now, inside the save's transaction: each read holds its row on SQL Server,
// so a delete of the party waits for this save (and this save for it), and two saves for one
// borrower run one after the other, the second seeing the first's loan in its freeze check.
void checkParties(const LoanDocument& doc, const QString& docNo) {
  const LoanRecord& rec = doc.record;
  const bool person = isPerson(rec);
  if (const QString gone = goneParty(doc); !gone.isEmpty()) throw SaveRefused(gone);
  bool borrowerChanged = !doc.editing;
  if (doc.editing) {
    const QueryResult stored = Db().query(QStringLiteral("select 客户性质,客户ID from PJ_Dkjl where 单号=?"), {docNo});
    borrowerChanged = stored.rows.empty() || VariantText(stored.rows.front().value(0)) != rec.customerKind ||
                      static_cast<qint32>(VariantNumber(stored.rows.front().value(1))) != rec.customerId;
  }
  if (!borrowerChanged) return;
  const Freeze f = BorrowerFreeze(person, rec.customerId, docNo);
  if (f != Freeze::None) throw SaveRefused(FreezeMessage(f));
}

}  // namespace

QStringList SaveAttachmentRows(const QString& docNo, const QList<Attachment>& list) {
  QStringList dropped;
  QSet<qint64> kept;
  for (const Attachment& a : list)
    if (a.id) kept.insert(a.id);
  const QueryResult stored = Db().query(QStringLiteral("select 编号,路径,机器ID from PJ_DkFj where 单号=? order by 编号"), {docNo});
  for (const QVariantList& r : stored.rows) {
    const qint64 id = static_cast<qint64>(VariantNumber(r[0]));
    if (kept.contains(id)) continue;
    Db().Execute(QStringLiteral("delete from PJ_DkFj where 编号=?"), {id});
    // On SQL Server another workstation's row names a file in its own folder, not in ours.
    if (gDatabaseType == 0 || static_cast<qint64>(VariantNumber(r[2])) == gMachineId) dropped << VariantText(r[1]);
  }
  for (const Attachment& a : list)
    if (!a.id)
      Db().Execute(QStringLiteral("insert into PJ_DkFj (单号,附件名称,文件类型,路径,机器ID,科室ID) values (?,?,?,?,?,?)"),
                   {docNo, a.name, a.type, a.path, static_cast<int>(gMachineId), gUserDeptId});
  return dropped;
}

QString OutdatedRefusal(const LoanDocument& doc) {
  // A loan saved or deleted since has another plan or none; the user is told what happened.
  if (doc.editing && DocumentVersion(QStringLiteral("PJ_Dkjl"), doc.record.docNo) != doc.version) return DocumentChangedMessage();
  return goneParty(doc);
}

QString SaveRefusal(const LoanDocument& doc) {
  if (const QString outdated = OutdatedRefusal(doc); !outdated.isEmpty()) return outdated;
  const LoanRecord& rec = doc.record;
  for (qint32 id : rec.guarantors)
    if (IsOwnGuarantor(isPerson(rec), rec.customerId, false, id)) return OwnGuarantorMessage();
  for (qint32 id : rec.companies)
    if (IsOwnGuarantor(isPerson(rec), rec.customerId, true, id)) return OwnGuarantorMessage();
  const PlanTotals plan = totalsOf(doc);
  if (plan.rows == 0) return QStringLiteral("还没有添加还款计划！");
  if (doc.editing && HasRepayments(doc.record.docNo)) return QStringLiteral("该单据已有还款记录，不能修改！");
  if (std::fabs(Money::round(plan.principal, 2) - Money::round(doc.record.amount, 2)) >= 0.005)
    return QStringLiteral("还款计划与借款金额不符，请重新生成还款计划！");
  return {};
}

QString SaveLoanDocument(const LoanDocument& doc) {
  LoanRecord rec = doc.record;
  const QString handler = rec.handler.trimmed();
  QStringList droppedFiles;
  WaitCursor busy;
  {
    Transaction tx;
    if (doc.editing) {
      ClaimDocument(QStringLiteral("PJ_Dkjl"), rec.docNo, doc.version);
      if (HasRepayments(rec.docNo)) throw SaveRefused(QStringLiteral("该单据已有还款记录，不能修改！"));
    } else {
      rec.docNo = TakeDocumentNumber(QStringLiteral("D"), kNumberTables);
    }
    checkParties(doc, rec.docNo);
    // A kept plan keeps the interest its rows took at registration, whatever its name says.
    if (doc.editing && !doc.newPlan) rec.prepaid = StoredPrepaid(rec.docNo);
    const double prepaid = Money::round(rec.prepaid, 2);
    const PlanTotals totals = totalsOf(doc);
    writeLoanRow(rec, totals, doc.editing, doc.needsReview);

    if (doc.newPlan || !doc.editing)
      ReplacePlan(rec.docNo, doc.plan, handler, rec.customerName);
    else
      Db().Execute(QStringLiteral("update PJ_Hdjh set 客户名称=?, 经办人=? where 单号=?"), {rec.customerName, handler, rec.docNo});
    const PrepaidTarget target = prepaidTarget(rec.docNo);

    if (doc.editing) {
      updateRegistrationInPlace(doc, target, prepaid);
    } else {
      if (prepaid > 0) insertPrepaidRecord(rec.docNo, target, prepaid);
      double principal = Money::round(rec.amount, 2);
      WriteLedgerEntry(rec.docNo, principal, kPrincipalSummary, QStringLiteral("支出"), handler, 0);
      if (prepaid > 0) {
        double income = prepaid;
        WriteLedgerEntry(rec.docNo, income, kInterestSummary, QStringLiteral("收入"), handler, static_cast<qint32>(target.rowId));
      }
    }
    droppedFiles = SaveAttachmentRows(rec.docNo, doc.attachments);
    MoveBookStartBack(rec.registered, rec.start);
    tx.Commit();
  }
  SettleSavedAttachments(doc.attachments, droppedFiles);
  return rec.docNo;
}

QString AttachmentFolder() {
  const QString folder = gAppDir + QStringLiteral("template/");
  QDir().mkpath(folder);
  return folder;
}

QString StripPath(const QString& path) {
  const int cut = static_cast<int>(std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/'))));
  return cut < 0 ? path : path.mid(cut + 1);
}

namespace {
// The user's file into the new copy's descriptor, which is closed here.
bool writeCopy(QFile& source, int fd) {
  QFile out;
  if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  char buffer[65536];
  for (;;) {
    const qint64 n = source.read(buffer, sizeof buffer);
    if (n <= 0) return n == 0 && out.flush();
    if (out.write(buffer, n) != n) return false;
  }
}
}  // namespace

QString CopyAttachment(const QString& path, Attachment* copied, QString* details) {
  if (path.isEmpty()) return {};
  const QString failed = QStringLiteral("附件复制失败：");
  const QString name = StripPath(path);
  const QString ext = QFileInfo(name).suffix().toLower();
  const QString folder = AttachmentFolder();
  const QString stamp = Clock::now().toString(QStringLiteral("yyyyMMddHHmmss"));
  QFile source(path);
  struct stat st {};
  if (!source.open(QIODevice::ReadOnly) || ::fstat(source.handle(), &st) != 0) return failed + path;
  for (int n = 0;; ++n) {
    const QString copyName = stamp + (n ? QStringLiteral("_%1").arg(n) : QString()) + (ext.isEmpty() ? QString() : QStringLiteral(".") + ext);
    const QString target = folder + copyName;
    // Whatever stands at a name (a file, a link, a FIFO) is never written through: the next name.
    if (NameTaken(target)) continue;
    // Noted first: a program killed after the copy still leaves a name the next start can act on.
    if (const QString why = NotePendingCopy(copyName, details); !why.isEmpty()) return failed + why;
    const int fd = CreateNewFile(target, st.st_mode & 0777);
    if (fd < 0) {
      const bool taken = errno == EEXIST;
      ForgetPendingCopies({copyName});
      if (taken) continue;
      return failed + path;
    }
    if (!writeCopy(source, fd)) {
      RemoveName(target);
      ForgetPendingCopies({copyName});
      return failed + path;
    }
    *copied = Attachment{0, name, ext, target};
    return {};
  }
}

QString AddAttachmentCopy(const QString& path, QList<Attachment>* list, QString* details) {
  Attachment copied;
  const QString failure = CopyAttachment(path, &copied, details);
  if (failure.isEmpty() && !path.isEmpty()) *list << copied;
  return failure;
}

QList<Attachment> StoredAttachments(const QString& docNo) {
  QList<Attachment> list;
  for (const QVariantList& r : Db().query(QStringLiteral("select 编号,附件名称,文件类型,路径 from PJ_DkFj where 单号=? order by 编号"), {docNo}).rows)
    list << Attachment{static_cast<qint64>(VariantNumber(r[0])), VariantText(r[1]), VariantText(r[2]), VariantText(r[3])};
  return list;
}

QString AttachmentPath(qint64 id) { return VariantText(Db().scalar(QStringLiteral("select 路径 from PJ_DkFj where 编号=?"), {id})); }

void DiscardCopies(const QList<Attachment>& attachments) {
  QStringList gone;
  for (const Attachment& a : attachments) {
    if (a.id || a.path.isEmpty()) continue;
    const QString name = StripPath(a.path);
    // Without the database to ask, the copy stays listed for the next start to decide.
    bool named = true;
    try {
      named = NamedByAnyRow(name);
    } catch (const AppError&) {
      continue;
    }
    if (!named) RemoveName(a.path);
    gone << name;
  }
  ForgetPendingCopies(gone);
}

}  // namespace LoanStore
