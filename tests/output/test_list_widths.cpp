// The lists of a busy business: amounts of twelve digits and their totals show whole in every list
// (formats first, then widths fitted to the shown text), and a cut text keeps its whole text as tip.
#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QTableView>

#include "OutputFixture.h"
#include "financing/frmRzLxzf.h"
#include "financing/frmRzjl.h"
#include "loans/frmDkhkjl.h"
#include "loans/frmDkjl.h"
#include "platform/Grid.h"

namespace {

constexpr int kCellMargins = 8;
constexpr double kBig = 499999999.99;

class ListWidthsTest : public OutputFixture {
 protected:
  void SetUp() override {
    OutputFixture::SetUp();
    gBookStartDate = QStringLiteral("2023-01-01");
    const qint64 p = person(QStringLiteral("大户"));
    const qint64 i = investor(QStringLiteral("大户"));
    for (int n = 1; n <= 3; ++n) {
      const QString d = QStringLiteral("D%1").arg(n), c = QStringLiteral("C%1").arg(n);
      loan(d, QStringLiteral("个人"), p, QStringLiteral("大户"), kBig, QStringLiteral("已审核"), QStringLiteral("未还"));
      Db().Execute(QStringLiteral("update PJ_Dkjl set 利息=?, 已还本金=?, 已还利息=? where 单号=?"), {kBig, kBig, kBig, d});
      insertRow(QStringLiteral("PJ_Hkjl"), cols("单号,期次,日期,本金,利息,手续费,还款状态,备注"),
                {d, 1, QStringLiteral("2024-03-05 09:00:00"), kBig, kBig, kBig, QStringLiteral("已还"), longNote()});
      financing(c, i, QStringLiteral("大户"), QStringLiteral("自有"), kBig, 0, QStringLiteral("已审核"), QStringLiteral("未付"));
      Db().Execute(QStringLiteral("update PJ_Cjjl set 利息=?, 待付本金=?, 待付利息=? where 单号=?"), {kBig, kBig, kBig, c});
      insertRow(QStringLiteral("PJ_Cjzfjl"), cols("单号,期次,日期,本金,利息,提前支取扣款,付款状态"),
                {QStringLiteral("C1"), n, QStringLiteral("2024-03-05 09:00:00"), kBig * 2, kBig * 2, 0.0, QStringLiteral("已付")});
    }
  }
  static QString longNote() { return QStringLiteral("客户分三次归还，").repeated(30) + QStringLiteral("完"); }

  // Every cell of a money column, data and totals rows, shows its whole text.
  static int checkMoneyFits(const Grid* g, const char* list) {
    const QFontMetrics fm(g->table()->font());
    int checked = 0;
    for (int c = 0; c < g->cols(); ++c) {
      if (g->colFormat(c) != QLatin1String("Currency") || g->colHidden(c)) continue;
      for (int r = g->fixedRows(); r < g->rows(); ++r) {
        const QString shown = g->displayText(r, c);
        EXPECT_GE(g->colWidth(c) / kTwipsPerPixel, fm.horizontalAdvance(shown) + kCellMargins)
            << list << " row " << r << " column " << c << " " << shown.toStdString();
        ++checked;
      }
    }
    return checked;
  }
  // The totals row's text in the column captioned `caption` (the last header row).
  static QString total(const Grid* g, const QString& caption) {
    for (int c = 0; c < g->cols(); ++c)
      if (g->textMatrix(g->fixedRows() - 1, c) == caption) return g->displayText(g->rows() - 1, c);
    return QStringLiteral("<no column ") + caption + QStringLiteral(">");
  }
};

}  // namespace

TEST_F(ListWidthsTest, TwelveDigitAmountsAndTotalsShowWholeInEveryList) {
  frmDkjl loans;
  loans.QueryMode = 1;
  loans.QueryText = QStringLiteral("大户");
  loans.Form_Load();
  frmDkhkjl repayments;
  repayments.Form_Load();
  frmRzjl financing;
  financing.QueryMode = 1;
  financing.QueryText = QStringLiteral("大户");
  financing.Form_Load();
  frmRzLxzf view;
  view.DocNo = QStringLiteral("C1");
  view.Form_Load();

  const struct {
    const char* list;
    const Grid* grid;
    int moneyColumns;
    QString column, total;  // a totals cell that must read whole ("" where the list has no totals)
  } lists[] = {
      {"贷款记录", loans.Fg, 10, QStringLiteral("借款金额"), QStringLiteral("1,499,999,999.97")},
      {"回款明细", repayments.Fg, 4, QStringLiteral("合计"), QStringLiteral("2,999,999,999.94")},
      {"拆借融资记录", financing.Fg, 4, QStringLiteral("本金"), QStringLiteral("1,499,999,999.97")},
      {"支付记录", view.Fg2, 2, QString(), QString()},
  };
  for (const auto& l : lists) {
    SCOPED_TRACE(l.list);
    ASSERT_EQ(l.grid->dataRowCount(), l.total.isEmpty() ? 3 : 4) << "three records and the totals row";
    int money = 0;
    for (int c = 0; c < l.grid->cols(); ++c) money += l.grid->colFormat(c) == QLatin1String("Currency") && !l.grid->colHidden(c);
    EXPECT_EQ(money, l.moneyColumns);
    EXPECT_EQ(checkMoneyFits(l.grid, l.list), l.moneyColumns * l.grid->dataRowCount());
    if (l.total.isEmpty()) continue;
    EXPECT_EQ(total(l.grid, l.column), l.total);
    // The count of the totals row shows in a column wide enough for it.
    bool countShown = false;
    for (int c = 0; c < l.grid->cols(); ++c)
      countShown = countShown || (l.grid->textMatrix(l.grid->rows() - 1, c) == QStringLiteral("记录：3") && !l.grid->colHidden(c) &&
                                  l.grid->colWidth(c) / kTwipsPerPixel >= QFontMetrics(l.grid->table()->font()).horizontalAdvance(QStringLiteral("记录：3")));
    EXPECT_TRUE(countShown);
  }
  EXPECT_EQ(view.Fg2->displayText(view.Fg2->fixedRows(), 4), QStringLiteral("999,999,999.98"));

  // A note wider than a third of the window is cut on screen and shown whole as the cell's tip.
  const Grid* g = repayments.Fg;
  const int note = g->cols() - 1;
  ASSERT_EQ(g->textMatrix(g->fixedRows() - 1, note), QStringLiteral("备注"));
  EXPECT_LT(g->colWidth(note) / kTwipsPerPixel, QFontMetrics(g->table()->font()).horizontalAdvance(longNote()));
  EXPECT_EQ(g->table()->model()->index(0, note).data(Qt::ToolTipRole).toString(), longNote());
}
