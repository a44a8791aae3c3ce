#include "loans/frmDkjl.h"

#include "app/services/DocumentClaim.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <set>

#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "loans/LoanLinks.h"
#include "loans/LoanListQuery.h"
#include "loans/LoanStore.h"
#include "loans/frmDkdjB.h"
#include "loans/LoanRecords.h"
#include "loans/frmDkhk.h"
#include "platform/Buttons.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"

namespace {
frmDkjl* gOpenList = nullptr;

// Widths (twips) and formats of the columns.
struct ColumnLook {
  int width;
  const char* format;
};
const ColumnLook kColumns[] = {
    {2, ""},       {1200, ""},       {1000, ""},       {1500, "Currency"}, {800, ""},         {1000, "0.00"},
    {800, ""},     {1500, "Currency"}, {1500, "Currency"}, {1500, "Currency"}, {1500, "Currency"}, {1200, ""},
    {1500, "Currency"}, {1500, "Currency"}, {1000, "Currency"}, {800, ""},  {1200, "Currency"}, {1500, "Currency"},
    {1500, ""},    {1300, ""},       {1300, ""},       {1300, ""},         {1300, ""},        {1300, ""},
    {1300, ""},    {1300, ""},       {1300, ""}};
}  // namespace

frmDkjl::frmDkjl(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmDkjl"));
  setWindowTitle(QStringLiteral("贷款记录"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
  gOpenList = this;

  Frame1 = new QGroupBox(QStringLiteral("查询选项"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  auto* filters = new QGridLayout(Frame1);
  filters->setHorizontalSpacing(6);
  const QStringList items[] = {LoanListItems::dateFields(), LoanListItems::periods(),  LoanListItems::searchFields(),
                               LoanListItems::operators(),  LoanListItems::bands(),    LoanListItems::statuses()};
  for (int i = 0; i < 6; ++i) {
    auto* c = new QComboBox(Frame1);
    c->setObjectName(QStringLiteral("comJd_%1").arg(i));
    c->addItems(items[i]);
    comJd[i] = c;
    connect(c, &QComboBox::activated, this, [this, i] { comJd_Click(i); });
  }
  const char* const labels[] = {"至", "业务状态", "额度", "条件", "日期"};
  for (int i = 0; i < 5; ++i) {
    LabJd[i] = new QLabel(QString::fromUtf8(labels[i]), Frame1);
    LabJd[i]->setObjectName(QStringLiteral("LabJd_%1").arg(i));
  }
  DTPstr = new DateBox(Frame1);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(Frame1);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  txtJd = new QLineEdit(Frame1);
  txtJd->setObjectName(QStringLiteral("txtJd"));
  txtJd->setMinimumWidth(140);
  eButton1 = MakeButton(QStringLiteral("查询"), Frame1);
  eButton1->setObjectName(QStringLiteral("eButton1"));
  eButton1->setMinimumWidth(80);
  connect(eButton1, &pbCommand::Click, this, [this] { Guarded(QString(), this, [this] { 刷新(); }); });
  filters->addWidget(LabJd[4], 0, 0);
  filters->addWidget(comJd[0], 0, 1);
  filters->addWidget(comJd[1], 0, 2);
  filters->addWidget(DTPstr, 0, 3);
  filters->addWidget(LabJd[0], 0, 4);
  filters->addWidget(DTPovr, 0, 5);
  filters->addWidget(LabJd[1], 0, 6);
  filters->addWidget(comJd[5], 0, 7);
  filters->addWidget(LabJd[3], 1, 0);
  filters->addWidget(comJd[2], 1, 1);
  filters->addWidget(comJd[3], 1, 2);
  filters->addWidget(txtJd, 1, 3, 1, 3);
  filters->addWidget(LabJd[2], 1, 6);
  filters->addWidget(comJd[4], 1, 7);
  filters->addWidget(eButton1, 0, 8, 2, 1);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);
  connect(Fg, &Grid::cellDoubleClicked, this, [this] { pbCJd_Click(cmdView); });

  Frame2 = new QGroupBox(this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  auto* commands = new QVBoxLayout(Frame2);
  pbCJd = new ButtonArray(this);
  const std::pair<int, const char*> buttons[] = {
      {cmdAdd, "增加(&A)"},       {cmdEdit, "修改(&S)"},        {cmdDelete, "删除(&D)"},     {cmdApprove, "审核(&W)"},
      {cmdView, "回款/催款(&Q)"},  {cmdSms, "汇款短信提醒(&G)"}, {cmdContract, "生成合同(&F)"}, {cmdVoucher, "打印借据(&Z)"},
      {cmdPrint, "打印列表(&X)"},  {cmdExport, "导出列表(&C)"},  {cmdClose, "退出(&V)"}};
  for (const auto& [index, caption] : buttons) {
    pbCommand* b = pbCJd->add(index, QString::fromUtf8(caption), Frame2);
    b->setObjectName(QStringLiteral("pbCJd_%1").arg(index));
    b->setMinimumSize(130, 34);
    commands->addWidget(b);
  }
  commands->addStretch(1);
  connect(pbCJd, &ButtonArray::clicked, this, [this](int i) { pbCJd_Click(i); });

  auto* top = new QHBoxLayout;
  top->addStretch(1);
  top->addWidget(Frame1);
  auto* body = new QHBoxLayout;
  body->addWidget(Fg, 1);
  body->addWidget(Frame2);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 8, 8, 8);
  root->addLayout(top);
  root->addLayout(body, 1);
  resize(1280, 720);
}

frmDkjl::~frmDkjl() {
  if (gOpenList == this) gOpenList = nullptr;
}

frmDkjl* frmDkjl::OpenList() { return gOpenList; }

void frmDkjl::showEvent(QShowEvent* e) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(e);
}

void frmDkjl::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    if (QueryMode == 0) {
      for (int i = 0; i < 5; ++i) comJd[i]->setCurrentIndex(0);
      comJd[1]->setCurrentIndex(2);
      comJd_Click(1);
      comJd[5]->setCurrentIndex(1);
      刷新();
    } else if (QueryMode == 1) {
      txtJd->setText(QueryText);
      comJd[3]->setCurrentIndex(0);
      comJd[4]->setCurrentIndex(0);
      comJd[0]->setCurrentIndex(0);
      comJd[1]->setCurrentIndex(4);
      comJd_Click(1);
      comJd[5]->setCurrentIndex(0);
      comJd[2]->setCurrentIndex(2);
      anyDate_ = true;
      刷新();
      QueryMode = 0;
    }
    pbCJd->at(cmdSms)->setEnabled(SettingOn(9));
  });
}

void frmDkjl::comJd_Click(int index) {
  if (index == 0 || index == 1) anyDate_ = false;
  if (index == 1) cxSjkj(DTPstr, DTPovr, comJd[1]->currentIndex());
}

void frmDkjl::刷新() {
  LoanListFilter f;
  f.dateField = comJd[0]->currentIndex();
  f.status = comJd[5]->currentText();
  // "忽略" and "未还" look back to the book start.
  if (f.dateField == 2 || f.status == QStringLiteral("未还")) cxSjkj(DTPstr, DTPovr, 4);
  f.from = DTPstr->dateText();
  f.to = DTPovr->dateText();
  f.searchField = comJd[2]->currentIndex();
  f.op = comJd[3]->currentIndex();
  f.searchText = txtJd->text();
  f.band = comJd[4]->currentIndex();
  f.deptScope = gDeptRights;
  f.today = Clock::today();
  f.anyDate = anyDate_;
  const SqlWithParams q = BuildLoanListSql(f);
  LastListSql_ = q.sql;
  lastListParams_ = q.params;
  gCurrentSql = q.sql;
  gCurrentParams = q.params;
  LoadGridFromQuery(Fg, true, LoanListHeaderGroups());
  CloseRecordset(gMainRecordset);
  AddGridTotalRowEx(Fg, QStringLiteral("3,7,9,10,12,13,17"), QStringLiteral("共计"), 0, 350, 18, QStringLiteral("逾期"), 1);
  // The count of the totals row stands where it can be seen, under the borrowers.
  const int last = Fg->rows() - 1;
  if (last >= Fg->fixedRows() && Fg->isTotalsRow(last)) Fg->setTextMatrix(last, colBorrower, Fg->textMatrix(last, colDocNo));
  // Formats first, then the widths fitted to the shown texts; the window's widths are minimums.
  const int n = std::min<int>(Fg->cols(), static_cast<int>(std::size(kColumns)));
  std::vector<std::pair<int, int>> least;
  for (int c = 0; c < n; ++c) {
    Fg->setColFormat(c, QString::fromUtf8(kColumns[c].format));
    least.push_back({c, kColumns[c].width});
  }
  FitColumnsAtLeast(Fg, least);
  Fg->setColHidden(colDocNo, true);
}

void frmDkjl::pbCJd_Click(int index) {
  Guarded(QString(), this, [this, index] {
    static const std::map<int, const char*> kRights = {{cmdAdd, "增加借贷登记"}, {cmdEdit, "修改借贷登记"}, {cmdDelete, "删除借贷信息"},
                                                        {cmdApprove, "审核借贷"},   {cmdView, "借贷回款"}};
    static const std::set<int> kNeedRow = {cmdEdit, cmdDelete, cmdApprove, cmdView, cmdContract, cmdVoucher, cmdSms};
    if (auto r = kRights.find(index); r != kRights.end() && !CheckUserRight(QString::fromUtf8(r->second))) return;
    if (kNeedRow.count(index) && !IsGridDataRow(Fg)) return;
    const int row = Fg->row();
    const QString docNo = kNeedRow.count(index) ? Fg->textMatrix(row, colDocNo) : QString();
    const QString borrower = kNeedRow.count(index) ? Fg->textMatrix(row, colBorrower) : QString();
    const QString approval = kNeedRow.count(index) ? Fg->textMatrix(row, colApproval) : QString();
    switch (index) {
      case cmdAdd: addLoan(); break;
      case cmdEdit: editLoan(docNo); break;
      case cmdDelete: deleteLoan(docNo, borrower); break;
      case cmdApprove: approveLoan(docNo, borrower); break;
      case cmdView: viewLoan(docNo); break;
      case cmdSms: RunLoanLink(gShowLoanSms, this, docNo); break;
      case cmdContract:
        if (approval == QStringLiteral("未审核")) {
          MsgBox(QStringLiteral("单据未审核！"), Mb::Critical);
          return;
        }
        RunLoanLink(gMakeLoanContract, docNo);
        break;
      case cmdVoucher: RunLoanLink(gShowLoanPrint, this, 2, docNo); break;
      case cmdPrint:
        // Exactly the rows of the last refresh, whatever the filters show now.
        if (LastListSql_.isEmpty()) 刷新();
        RunLoanLink(gPrintLoanList, this, LastListSql_, lastListParams_);
        break;
      case cmdExport:
        ExportGridToExcel(Fg, QStringLiteral("Dkjl"), this);
        WriteOperationLog(QStringLiteral("导出贷款记录"));
        break;
      case cmdClose: reject(); break;
      default: break;
    }
  });
}

void frmDkjl::addLoan() {
  frmDkdjB::OpenNew(this, [this](const QString&) { 刷新(); });
}

void frmDkjl::editLoan(const QString& docNo) {
  if (LoanStore::HasRepayments(docNo)) {
    MsgBox(QStringLiteral("该单据已有还款记录，不能修改！"), Mb::Critical);
    return;
  }
  frmDkdjB::OpenExisting(this, docNo, [this](const QString&) { 刷新(); });
}

void frmDkjl::deleteLoan(const QString& docNo, const QString& borrower) {
  const qint64 version = DocumentVersion(QStringLiteral("PJ_Dkjl"), docNo);
  if (MsgBox(QStringLiteral("您确认要删除 【") + borrower + QStringLiteral("】 的借款记录吗？"), Mb::YesNo + Mb::Question) != Mb::Yes)
    return;
  const qint64 records = LoanStore::RepaymentRecordCount(docNo);
  if (records > 0 &&
      MsgBox(QStringLiteral("该单据已有%1笔还款记录，删除后这些记录及其流水账将一并删除且不能恢复，是否继续？").arg(records),
             Mb::YesNo + Mb::Question + Mb::DefaultButton2) != Mb::Yes)
    return;
  try {
    Transaction tx;
    ClaimDocument(QStringLiteral("PJ_Dkjl"), docNo, version);
    DeleteLoan(docNo);
    tx.Commit();
  } catch (const DocumentChanged& e) {
    RollbackOpenTransactions();
    MsgBox(e.message, Mb::Critical);
  }
  刷新();
}

void frmDkjl::approveLoan(const QString& docNo, const QString& borrower) {
  // As the loan stands when the command starts: an edit saved while the question is open wins.
  const qint64 version = DocumentVersion(QStringLiteral("PJ_Dkjl"), docNo);
  if (Fg->textMatrix(Fg->row(), colApproval) != QStringLiteral("未审核")) {
    MsgBox(QStringLiteral("该单据已审核生效！"), Mb::Exclamation);
    return;
  }
  if (MsgBox(QStringLiteral("您确认要审核 【") + borrower + QStringLiteral("】 的借款登记吗？"), Mb::YesNo + Mb::Question) != Mb::Yes)
    return;
  try {
    ApproveLoan(docNo, version);
  } catch (const DocumentChanged& changed) {
    MsgBox(changed.message, Mb::Exclamation);
  }
  刷新();
}

void frmDkjl::viewLoan(const QString& docNo) {
  if (Fg->textMatrix(Fg->row(), colApproval) == QStringLiteral("未审核")) {
    MsgBox(QStringLiteral("该笔业务还未生效！请进行审核。"), Mb::Critical);
    return;
  }
  frmDkhk view(this);
  view.DocNo = docNo;
  RunModal(&view);
}
