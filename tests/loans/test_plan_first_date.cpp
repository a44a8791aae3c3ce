// The plan dialogs of loans and financing open on the first date that ends the plan on 起息日期 plus
// the chosen periods, follow the unit until the clerk sets the date, and ask before building from
// another date.
#include <QComboBox>
#include <QLineEdit>

#include "LoanFixture.h"
#include "financing/frmRzdjB.h"
#include "financing/frmrzZfjh.h"

namespace {

QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }
QString unitText(bool monthly) { return monthly ? QStringLiteral("月") : QStringLiteral("日"); }

// The controls the two plan dialogs share by name.
struct PlanDialog {
  QComboBox* count;
  QComboBox* unit;
  DateBox* first;
  pbCommand* ok;
  std::function<bool()> took;  // whether OK took the choice (else the dialog stays)
};
template <class Dialog>
PlanDialog controls(Dialog* d) {
  return {d->Combo2, d->Combo1, d->DTPicker1, d->pbCommand1, [d] { return d->Chosen.has_value() && d->result() == QDialog::Accepted; }};
}
PlanDialog controls(QDialog* d) {
  if (auto* l = qobject_cast<frmDkJh*>(d)) return controls(l);
  return controls(qobject_cast<frmrzZfjh*>(d));
}

// A loan or a financing registration, driven through its plan buttons.
struct Registration {
  std::unique_ptr<frmDkdjB> loan;
  std::unique_ptr<frmRzdjB> financing;

  // Runs `f` on whichever window this is.
  template <class F>
  auto with(F f) const { return loan ? f(*loan) : f(*financing); }
  void setRateType(bool monthly) {
    with([monthly](auto& w) {
      w.comJkzl[1]->setCurrentIndex(monthly ? 1 : 0);
      w.comJkzl_Click(1);
    });
  }
  void click(int button) { with([button](auto& w) { QTest::mouseClick(w.pbCDkdj->at(button), Qt::LeftButton); }); }
  QString rateType() const { return with([](auto& w) { return w.comJkzl[1]->currentText(); }); }
  // (开始日期, due date) of each plan row.
  std::vector<std::pair<QDate, QDate>> plan() const {
    std::vector<std::pair<QDate, QDate>> rows;
    if (loan)
      for (const LoanCalc::PlanRow& r : loan->Plan.rows) rows.emplace_back(r.start, r.due);
    else
      for (const FinancingPlanRow& r : financing->Plan.rows) rows.emplace_back(r.开始日期, r.约定支付日期);
    return rows;
  }
};

class PlanDialogs : public LoanFormFixture {
 protected:
  Registration open(bool loan, bool monthly, const QDate& start) {
    Registration r;
    if (loan) {
      r.loan = newLoan(person(QStringLiteral("计划客户")));
      setTerms(*r.loan, QStringLiteral("12000"), monthly ? QStringLiteral("2") : QStringLiteral("0.05"), monthly, start, start.addMonths(1));
      return r;
    }
    Db().Execute(QStringLiteral("insert into PJ_Gd (姓名,助记符) values (?,?)"), {QStringLiteral("王投资"), QStringLiteral("wtz")});
    r.financing = std::make_unique<frmRzdjB>();
    frmRzdjB& w = *r.financing;
    w.Form_Load();
    w.InvestorId = static_cast<qint32>(Db().lastInsertId());
    w.txtDkdj[2]->setText(QStringLiteral("王投资"));
    w.txtDkdj[3]->setText(QStringLiteral("李经办"));
    w.HandlerDept = QStringLiteral("综合部");
    w.txtDkdj[0]->setText(QStringLiteral("12000"));
    w.dtpDjrq[0]->setDateValue(start);
    w.dtpDjrq[1]->setDateValue(start);
    r.setRateType(monthly);
    return r;
  }
  // The next plan dialog chooses `count` periods, lets `act` work on it, and ends as it then stands.
  void onDialog(int count, std::function<void(PlanDialog&)> act) {
    modal_.handlers.push_back([count, act](QDialog* d) {
      PlanDialog c = controls(d);
      c.count->setCurrentIndex(count - 1);
      act(c);
      return d->result();
    });
  }
  static void ok(PlanDialog& c) { QTest::mouseClick(c.ok, Qt::LeftButton); }
};

TEST_F(PlanDialogs, PlanFirstDate) {
  using namespace LoanCalc;
  struct Row {
    bool loan;
    int button;
    bool monthly;
    int count;
    const char* start;    // 起息日期
    const char* first;    // the date the dialog opens on
    const char* last;     // the plan's last due date from it
    const char* prepaid;  // the due date of the row created paid, "" when none
  };
  const Row rows[] = {
      {true, EqualPrincipalArrears, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {true, EqualPrincipalArrears, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      {true, EqualPrincipalAhead, false, 3, "2026-06-10", "2026-06-09", "2026-06-13", "2026-06-10"},
      {true, EqualPrincipalAhead, true, 3, "2026-06-10", "2026-05-10", "2026-09-10", "2026-06-10"},
      {true, EqualInstalment, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {true, EqualInstalment, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      {true, InterestAhead, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", "2026-06-10"},
      {true, InterestAhead, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", "2026-06-10"},
      {true, InterestArrears, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {true, InterestArrears, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      {false, btn等额本金先付, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", "2026-06-11"},
      {false, btn等额本金先付, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", "2026-07-10"},
      {false, btn等额本金后付, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {false, btn等额本金后付, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      {false, btn等额本息, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {false, btn等额本息, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      {false, btn分期付息先息, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", "2026-06-10"},
      {false, btn分期付息先息, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", "2026-06-10"},
      {false, btn分期付息后息, false, 3, "2026-06-10", "2026-06-10", "2026-06-13", ""},
      {false, btn分期付息后息, true, 3, "2026-06-10", "2026-06-10", "2026-09-10", ""},
      // A month end: stepped back a month it is the previous month's end, and no question is asked.
      {true, EqualPrincipalArrears, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
      {true, EqualPrincipalAhead, true, 1, "2026-01-31", "2025-12-31", "2026-02-28", "2026-01-31"},
      {true, EqualInstalment, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
      {true, InterestAhead, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", "2026-01-31"},
      {true, InterestArrears, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
      {false, btn等额本金先付, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", "2026-02-28"},
      {false, btn等额本金后付, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
      {false, btn等额本息, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
      {false, btn分期付息先息, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", "2026-01-31"},
      {false, btn分期付息后息, true, 1, "2026-01-31", "2026-01-31", "2026-02-28", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(((row.loan ? PlanName(row.button) : PlanKindName(row.button)) + unitText(row.monthly) + QString::fromLatin1(row.start))
                     .toStdString());
    const QDate start = D(row.start), first = D(row.first);
    Registration w = open(row.loan, row.monthly, start);

    // Left as it opens, the date builds without a question.
    QDate opened;
    onDialog(row.count, [&opened](PlanDialog& c) {
      opened = c.first->date();
      ok(c);
    });
    responder_.clear();
    w.click(row.button);
    EXPECT_EQ(opened, first);
    EXPECT_EQ(responder_.texts(), QStringList());
    const auto planned = w.plan();
    ASSERT_FALSE(planned.empty());
    EXPECT_EQ(planned.back().second, D(row.last));
    if (*row.prepaid) EXPECT_EQ(planned.front().second, D(row.prepaid));

    // Another date, chosen after the unit followed the other way: the unit's question, then the
    // date's. No leaves the dialog and the plan that stands; Yes builds from the date chosen.
    const QDate chosen = first.addDays(1);
    const QString unitQuestion = QStringLiteral("利率类别将改为%1，利率不变，是否继续？").arg(unitText(row.monthly));
    const QString dateQuestion =
        (row.loan ? QStringLiteral("首次归还日期%1与按起息日期%2推算的%3不同，确认按此生成还款计划吗？")
                  : QStringLiteral("首次支付日期%1与按起息日期%2推算的%3不同，确认按此生成支付计划吗？"))
            .arg(DateText(chosen), DateText(start), DateText(first));
    w.setRateType(!row.monthly);
    for (const int answer : {Mb::No, Mb::Yes}) {
      SCOPED_TRACE(answer == Mb::Yes ? "Yes" : "No");
      bool returned = false;
      onDialog(row.count, [&](PlanDialog& c) {
        c.unit->setCurrentIndex(row.monthly ? 1 : 0);
        EXPECT_EQ(c.first->date(), first) << "the date follows the unit";
        c.first->setDateValue(chosen);
        c.unit->setCurrentIndex(row.monthly ? 0 : 1);
        c.unit->setCurrentIndex(row.monthly ? 1 : 0);
        EXPECT_EQ(c.first->date(), chosen) << "a date set by hand stays";
        ok(c);
        returned = !c.took();
      });
      responder_.clear();
      responder_.answer(Mb::Yes);
      responder_.answer(answer);
      w.click(row.button);
      EXPECT_EQ(responder_.texts(), (QStringList{unitQuestion, dateQuestion}));
      EXPECT_EQ(returned, answer == Mb::No);
      if (answer == Mb::No) {
        EXPECT_EQ(w.plan(), planned);
        EXPECT_EQ(w.rateType(), unitText(!row.monthly));
        continue;
      }
      // The box is read as the first period's start: every date of the plan comes a day later.
      auto later = planned;
      for (auto& [from, due] : later) from = from.addDays(1), due = due.addDays(1);
      EXPECT_EQ(w.plan(), later);
      EXPECT_EQ(w.rateType(), unitText(row.monthly));
    }
  }
}

}  // namespace
