#include "financing/frmRzjl.h"

#include "app/services/DocumentClaim.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/ErrorReport.h"
#include "app/services/GridHelpers.h"
#include "app/services/LoginState.h"
#include "financing/FinancingData.h"
#include "financing/FinancingLinks.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzdjB.h"
#include "platform/Buttons.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "platform/Money.h"

namespace {
struct ButtonSpec {
  int index;
  const char* caption;
  const char* key;
};
// Top to bottom as the bar stacks them.
const ButtonSpec kButtons[] = {{0, "增加(&A)", "A"},     {1, "修改(&S)", "S"},       {2, "删除(&D)", "D"},
                               {10, "审核(&W)", "W"},    {9, "支付利息确认(&Q)", "Q"}, {8, "废弃(&G)", "G"},
                               {3, "生成合同(&F)", "F"}, {4, "打印凭证(&Z)", "Z"},    {5, "打印列表(&X)", "X"},
                               {6, "导出列表(&C)", "C"}, {7, "退出(&V)", "V"}};
const int kWidths[] = {2, 900, 1000, 1300, 800, 800, 1300, 1300, 1500, 1500, 1500, 1500, 1000, 1000, 1000, 1000};
// The search fields a user may pick; only these names reach the SQL text.
const QStringList kSearchFields = {QStringLiteral("单号"), QStringLiteral("客户名称"), QStringLiteral("业务经办"),
                                   QStringLiteral("结算状态"), QStringLiteral("备注")};
const QString kVoid = QStringLiteral("废弃");
const QString kIgnore = QStringLiteral("忽略");
}  // namespace

frmRzjl::frmRzjl(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmRzjl"));
  setWindowTitle(QStringLiteral("拆借融资记录"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  Frame1 = new QGroupBox(QStringLiteral("查询选项"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  const QList<QStringList> items = {
      {QStringLiteral("登记日期"), QStringLiteral("起息日期"), kIgnore},
      {QStringLiteral("今日"), QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本年"), kIgnore},
      QStringList{kIgnore} + kSearchFields,
      {QStringLiteral("等于"), QStringLiteral("不等于"), QStringLiteral("包含")},
      {QStringLiteral("外拆"), QStringLiteral("自有"), kIgnore},
      {kIgnore, QStringLiteral("未付"), QStringLiteral("已完结")}};
  for (int i = 0; i < 6; ++i) {
    comJd[i] = new QComboBox(Frame1);
    comJd[i]->setObjectName(QStringLiteral("comJd_%1").arg(i));
    comJd[i]->addItems(items[i]);
    connect(comJd[i], &QComboBox::activated, this, [this, i] { comJd_Click(i); });
  }
  DTPstr = new DateBox(Frame1);
  DTPstr->setObjectName(QStringLiteral("DTPstr"));
  DTPovr = new DateBox(Frame1);
  DTPovr->setObjectName(QStringLiteral("DTPovr"));
  txtJd = new QLineEdit(Frame1);
  txtJd->setObjectName(QStringLiteral("txtJd"));
  eButton1 = MakeButton(QStringLiteral("查询"), Frame1);
  eButton1->setObjectName(QStringLiteral("eButton1"));
  auto* q = new QHBoxLayout(Frame1);
  auto add = [q, this](const QString& label, QWidget* w, int stretch = 0) {
    if (!label.isEmpty()) q->addWidget(new QLabel(label, Frame1));
    q->addWidget(w, stretch);
  };
  add(QString(), comJd[0]);
  add(QString(), comJd[1]);
  add(QString(), DTPstr);
  add(QStringLiteral("至"), DTPovr);
  add(QStringLiteral("  查询"), comJd[2]);
  add(QString(), comJd[3]);
  add(QString(), txtJd, 1);
  add(QStringLiteral("  拆借类别"), comJd[4]);
  add(QStringLiteral("  结算状态"), comJd[5]);
  q->addWidget(eButton1);

  Fg = new Grid(this);
  Fg->setObjectName(QStringLiteral("Fg"));
  ApplyGridLook(Fg);

  auto* Frame2 = new QGroupBox(this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  auto* bar = new QVBoxLayout(Frame2);
  pbCJd = new ButtonArray(this);
  for (const ButtonSpec& b : kButtons) {
    pbCommand* button = pbCJd->add(b.index, QString::fromUtf8(b.caption), Frame2);
    button->setObjectName(QStringLiteral("pbCJd_%1").arg(b.index));
    button->setMinimumSize(120, 30);
    button->setToolTip(b.index == 7 ? QStringLiteral("快捷键:Alt+V 或 Esc") : QStringLiteral("快捷键:Alt+") + QString::fromLatin1(b.key));
    // No contract for financing, and voiding is not offered from the list.
    button->setVisible(b.index != 3 && b.index != 8);
    bar->addWidget(button);
  }
  bar->addStretch(1);

  auto* body = new QHBoxLayout;
  body->addWidget(Fg, 1);
  body->addWidget(Frame2);
  auto* root = new QVBoxLayout(this);
  root->addWidget(Frame1);
  root->addLayout(body, 1);
  resize(1280, 680);

  connect(eButton1, &pbCommand::Click, this, [this] { 刷新(); });
  connect(pbCJd, &ButtonArray::clicked, this, [this](int i) { pbCJd_Click(i); });
}

void frmRzjl::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Form_Load();
}

void frmRzjl::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Guarded(QString(), this, [this] {
    for (int i = 0; i <= 4; ++i) comJd[i]->setCurrentIndex(0);
    if (QueryMode != 0) {
      txtJd->setText(QueryText);
      comJd[5]->setCurrentIndex(0);
      comJd[0]->setCurrentIndex(2);
      comJd[1]->setCurrentIndex(4);
      comJd[4]->setCurrentIndex(2);
      comJd[2]->setCurrentIndex(2);
      comJd[3]->setCurrentIndex(0);
      anyDate_ = true;
    } else {
      comJd[1]->setCurrentIndex(2);
      comJd[5]->setCurrentIndex(1);
    }
    cxSjkj(DTPstr, DTPovr, comJd[1]->currentIndex());
  });
  刷新();
  QueryMode = 0;
}

void frmRzjl::comJd_Click(int index) {
  if (index == 0 || index == 1) anyDate_ = false;
  if (index != 1) return;
  Guarded(QString(), this, [this] { cxSjkj(DTPstr, DTPovr, comJd[1]->currentIndex()); });
}

void frmRzjl::刷新() {
  Guarded(QString(), this, [this] {
    const QString search = txtJd->text().trimmed();
    QString dates;
    if (anyDate_) {
      // No period at all.
    } else if (comJd[0]->currentText() == kIgnore) {
      cxSjkj(DTPstr, DTPovr, 4);
      dates = sqlDate(QStringLiteral("起息日期"), DTPstr->dateText(), DTPovr->dateText());
    } else {
      const QString field = comJd[0]->currentIndex() == 1 ? QStringLiteral("起息日期") : QStringLiteral("登记日期");
      dates = sqlDate(field, DTPstr->dateText(), DTPovr->dateText());
    }
    if (dates.isEmpty()) dates = QStringLiteral(" 1=1 ");

    // What is still to pay, for the records of the period, before they are listed. Only rows that
    // are out of date are written: a refresh that changes nothing writes nothing to the file.
    static const QString owedPrincipal = QStringLiteral("round(coalesce(本金,0)-coalesce(已付本金,0),2)");
    static const QString owedInterest = QStringLiteral("round(coalesce(利息,0)-coalesce(已付利息,0),2)");
    Db().Execute(QStringLiteral("update PJ_Cjjl set 待付本金=%1, 待付利息=%2 where (%3) and "
                                "(待付本金 is null or 待付利息 is null or 待付本金<>%1 or 待付利息<>%2)")
                     .arg(owedPrincipal, owedInterest, dates));

    QString where = dates;
    QVariantList params;
    if (comJd[5]->currentText() != kIgnore) {
      where += QStringLiteral(" and 结算状态=? ");
      params << comJd[5]->currentText();
    }
    const int field = kSearchFields.indexOf(comJd[2]->currentText());
    if (field >= 0 && !search.isEmpty()) {
      const QString column = kSearchFields[field];
      const SqlDialect& d = CurrentDialect();
      switch (comJd[3]->currentIndex()) {
        case 1:
          where += QStringLiteral(" and coalesce(") + column + QStringLiteral(",'')<>? ");
          params << search;
          break;
        case 2:
          where += QStringLiteral(" and ") + column + QStringLiteral(" like ?") + d.likeEscape();
          params << d.likeContains(search);
          break;
        default:
          where += QStringLiteral(" and ") + column + QStringLiteral("=? ");
          params << search;
          break;
      }
    }
    // Voided records show only when asked for by the search text itself.
    if (search != kVoid) {
      where += QStringLiteral(" and coalesce(业务状态,'')<>? ");
      params << kVoid;
    }
    if (comJd[4]->currentText() != kIgnore) {
      where += QStringLiteral(" and 拆借类别=? ");
      params << comJd[4]->currentText();
    }
    where += BuildScopeInFilter(gDeptRights, QStringLiteral("部门"), QStringLiteral("and"), params);
    listSql_ = QStringLiteral(
                   "select 单号,客户名称,拆借类别,登记日期,利率类别,(利率/100) as 利率,起息日期,止息日期,本金,利息,待付本金,待付利息,"
                   "业务经办,提成比例,结算状态,业务状态,备注 from PJ_Cjjl where ") +
               where + QStringLiteral(" order by 编号 desc");
    listParams_ = params;
    gCurrentSql = listSql_;
    gCurrentParams = params;
    LoadGridFromQuery(Fg, true, QStringLiteral("7@应支付,8@应支付,9@应支付,10@待支付,11@待支付"));
    CloseRecordset(gMainRecordset);
    // Rates as percentages: 利率 comes as a fraction, 提成比例 is stored as a percentage.
    for (int r = Fg->fixedRows(); r < Fg->rows(); ++r) {
      Fg->setTextMatrix(r, 5, Money::format(Fg->number(r, 5) * 100) + QStringLiteral("%"));
      Fg->setTextMatrix(r, 13, Money::format(Fg->number(r, 13)) + QStringLiteral("%"));
    }
    AddGridTotalRowEx(Fg, QStringLiteral("8,9,10,11"), QStringLiteral("合计"), 0, 350, 15, kVoid, 1);
    // The count of the totals row stands where it can be seen, under the investors: the document
    // number column is too narrow to show it.
    const int last = Fg->rows() - 1;
    if (Fg->cols() > 1 && last >= Fg->fixedRows() && Fg->isTotalsRow(last)) Fg->setTextMatrix(last, 1, Fg->textMatrix(last, 0));
    // Formats first, then the widths fitted to the shown texts; the window's widths are minimums.
    std::vector<std::pair<int, int>> least;
    for (int c = 0; c < Fg->cols(); ++c) {
      if (c >= 8 && c <= 11) Fg->setColFormat(c, QStringLiteral("Currency"));
      if (c < int(std::size(kWidths))) least.push_back({c, kWidths[c]});
    }
    FitColumnsAtLeast(Fg, least);
    // The document number column stays as narrow as the window makes it: the number is not shown.
    if (Fg->cols() > 0) Fg->setColWidth(0, kWidths[0]);
  });
}

QString frmRzjl::currentDocNo() const {
  if (!IsGridDataRow(Fg)) return {};
  const QString docNo = Fg->textMatrix(Fg->row(), 0);
  return docNo.startsWith(QStringLiteral("记录：")) ? QString() : docNo;
}

void frmRzjl::openRegistration(const QString& docNo) {
  frmRzdjB w(this);
  w.EditDocNo = docNo;
  w.onSaved = [this] { 刷新(); };
  RunModal(&w);
}

void frmRzjl::pbCJd_Click(int index) {
  Guarded(QString(), this, [this, index] {
    if (index == 0) {
      if (CheckUserRight(QStringLiteral("增加拆借记录"))) openRegistration(QString());
      return;
    }
    if (index == 7) {
      close();
      return;
    }
    if (index == 3) return;
    if (index == 6) {
      if (currentDocNo().isEmpty()) return;
      ExportGridToExcel(Fg, QStringLiteral("PJ_Cjjl"), this);
      WriteOperationLog(QStringLiteral("导出拆借记录"));
      return;
    }
    static const QMap<int, QString> rights = {{1, QStringLiteral("修改拆借记录")},
                                              {2, QStringLiteral("删除拆借记录")},
                                              {9, QStringLiteral("支付利息确认")},
                                              {10, QStringLiteral("审核拆借")}};
    if (rights.contains(index) && !CheckUserRight(rights.value(index))) return;
    const QString docNo = currentDocNo();
    if (docNo.isEmpty()) return;
    const int row = Fg->row();
    const QString name = Fg->textMatrix(row, 1);
    const QString state = Fg->textMatrix(row, 15);
    // Approval and voiding act on the record as it stands now, not as the list last showed it.
    const qint64 version = DocumentVersion(QStringLiteral("PJ_Cjjl"), docNo);
    auto setState = [&](const QString& newState) {
      try {
        SetDocumentState(QStringLiteral("PJ_Cjjl"), docNo, version, newState);
      } catch (const DocumentChanged& changed) {
        MsgBox(changed.message, Mb::Exclamation);
      }
      刷新();
    };
    switch (index) {
      case 1:
        if (state == kVoid) {
          MsgBox(QStringLiteral("该单据已废弃！"), Mb::Critical);
        } else if (HasFinancingPayments(docNo)) {
          MsgBox(QStringLiteral("该单据已有支付记录，不能修改！"), Mb::Critical);
        } else {
          openRegistration(docNo);
        }
        break;
      case 2:
      {
        const qint64 version = DocumentVersion(QStringLiteral("PJ_Cjjl"), docNo);
        gAnswer = MsgBox(QStringLiteral("您确认要删除 【") + name + QStringLiteral("】 的融资记录吗？"), Mb::YesNo + Mb::Question);
        if (gAnswer != Mb::Yes) return;
        const qint64 records = FinancingPaymentRecordCount(docNo);
        if (records > 0 &&
            MsgBox(QStringLiteral("该单据已有%1笔支付记录，删除后这些记录及其流水账将一并删除且不能恢复，是否继续？").arg(records),
                   Mb::YesNo + Mb::Question + Mb::DefaultButton2) != Mb::Yes)
          return;
        try {
          DeleteFinancingRecord(docNo, version);
        } catch (const DocumentChanged& e) {
          MsgBox(e.message, Mb::Critical);
        }
        刷新();
        break;
      }
      case 4:
        RunFinancingLink(gShowFinancingPrint, this, 5, docNo);
        break;
      case 5:
        RunFinancingLink(gPrintFinancingList, this, listSql_, listParams_);
        break;
      case 8:
        if (state == kVoid) {
          MsgBox(QStringLiteral("该单据已废弃！"), Mb::Critical);
          return;
        }
        gAnswer = MsgBox(QStringLiteral("您确认要废弃 【") + name + QStringLiteral("】 的融资登记吗？"), Mb::YesNo + Mb::Question);
        if (gAnswer != Mb::Yes) return;
        setState(kVoid);
        break;
      case 9:
        if (state == kVoid) {
          MsgBox(QStringLiteral("该单据已废弃！"), Mb::Critical);
        } else if (state == QStringLiteral("未审核")) {
          MsgBox(QStringLiteral("该单据未审核！"), Mb::Critical);
        } else {
          frmRzLxzf view(this);
          view.DocNo = docNo;
          view.onPaid = [this] { 刷新(); };
          RunModal(&view);
        }
        break;
      case 10:
        if (state == kVoid) {
          MsgBox(QStringLiteral("该单据已废弃！"), Mb::Critical);
        } else if (state == QStringLiteral("未审核")) {
          gAnswer = MsgBox(QStringLiteral("您确认要审核 【") + name + QStringLiteral("】 的融资登记吗？"), Mb::YesNo + Mb::Question);
          if (gAnswer != Mb::Yes) return;
          setState(QStringLiteral("已审核"));
        } else {
          MsgBox(QStringLiteral("该单据已审核生效！"), Mb::Exclamation);
        }
        break;
      default:
        break;
    }
  });
}
