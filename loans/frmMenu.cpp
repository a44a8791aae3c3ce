#include "loans/frmMenu.h"

#include <QAction>
#include <QMenu>
#include <QProxyStyle>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "loans/CollectionSchedule.h"
#include "loans/LoanLinks.h"
#include "loans/frmDkhk.h"
#include "platform/Dialogs.h"

std::function<void(QWidget*, int, const QString&)> gShowLoanPrint;
std::function<void(QWidget*, const QString&, const QVariantList&)> gPrintLoanList;
std::function<void(QWidget*, const QString&)> gShowLoanSms;
std::function<void(const QString&)> gMakeLoanContract;
std::function<void(QWidget*, const QString&)> gShowPaymentView;

namespace {
// A busy day has more instalments than the screen is high: the popup scrolls rather than spreading
// into columns past the screen's edge.
class ScrollingMenuStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* ret) const override {
    if (hint == SH_Menu_Scrollable) return 1;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};
}  // namespace

frmMenu::frmMenu(QWidget* owner) : QObject(owner), owner_(owner) {
  setObjectName(QStringLiteral("frmMenu"));
  mnu_ls = new QMenu(QStringLiteral("临时"), owner);
  mnu_ls->setObjectName(QStringLiteral("mnu_ls"));
  auto* scrolling = new ScrollingMenuStyle;
  scrolling->setParent(mnu_ls);
  mnu_ls->setStyle(scrolling);
}

frmMenu::~frmMenu() = default;

void frmMenu::fill(const std::vector<PopupItem>& items) {
  mnu_ls->clear();
  mnu_lss.clear();
  itemDocNos.clear();
  for (size_t k = 0; k < items.size(); ++k) {
    QAction* a = mnu_ls->addAction(items[k].caption);
    a->setObjectName(QStringLiteral("mnu_lss_%1").arg(k));
    const int index = static_cast<int>(k);
    connect(a, &QAction::triggered, this, [this, index] { mnu_lss_Click(index); });
    mnu_lss.push_back(a);
    itemDocNos.push_back(items[k].docNo);
    ++ItemCount;
  }
}

void frmMenu::催款日程_点击Fg(const QString& idList) {
  try {
    fill(CollectionPopupItems(idList));
  } catch (const AppError&) {
    // The popup keeps its items; the next click fills it again.
  }
}

void frmMenu::支付日程_点击Fg(const QString& idList) {
  try {
    fill(PaymentPopupItems(idList));
  } catch (const AppError&) {
  }
}

void frmMenu::popup(const QPoint& globalPos) {
  if (!mnu_lss.empty()) mnu_ls->popup(globalPos);
}

void frmMenu::mnu_lss_Click(int index) {
  if (index < 0 || index >= static_cast<int>(itemDocNos.size())) return;
  const QString docNo = itemDocNos[static_cast<size_t>(index)];
  Guarded(QString(), owner_, [this, &docNo] {
    // The same way in as the list's own command: its right, and a document in force.
    if (Mode == QStringLiteral("支付")) {
      if (!CheckUserRight(QStringLiteral("支付利息确认"))) return;
      const QVariant state = Db().scalar(QStringLiteral("select 业务状态 from PJ_Cjjl where 单号=?"), {docNo});
      if (!state.isValid()) return;
      if (state.toString() == QStringLiteral("废弃")) {
        MsgBox(QStringLiteral("该单据已废弃！"), Mb::Critical);
      } else if (state.toString() == QStringLiteral("未审核")) {
        MsgBox(QStringLiteral("该单据未审核！"), Mb::Critical);
      } else {
        RunLoanLink(gShowPaymentView, owner_, docNo);
      }
      return;
    }
    if (!CheckUserRight(QStringLiteral("借贷回款"))) return;
    const QVariant approval = Db().scalar(QStringLiteral("select 业务状态 from PJ_Dkjl where 单号=?"), {docNo});
    if (!approval.isValid()) return;
    if (approval.toString() == QStringLiteral("未审核")) {
      MsgBox(QStringLiteral("该笔业务还未生效！请进行审核。"), Mb::Critical);
      return;
    }
    frmDkhk view(owner_);
    view.DocNo = docNo;
    RunModal(&view);
  });
}
