// The registration window: defaults and presets, borrowers and guarantors, plans of every button,
// the save with its records and journal rows, edits, bad input and abandoned documents.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "EditAccounts.h"
#include "LoanFixture.h"
#include "app/data/DataAccess.h"
#include "app/services/DocumentClaim.h"
#include "app/services/DocumentNumbers.h"
#include "app/services/Ledger.h"
#include "financing/frmRzTqzf.h"
#include "financing/frmRzdjB.h"
#include "loans/LoanStore.h"
#include "loans/frmDkgh.h"
#include "loans/frmXjyh.h"
#include "parties/frmYg.h"

using LoanCalc::Button;

namespace {

// A cell elides its text unless the column leaves this much (pixels) beside it.
constexpr int kCellMargins = 8;
const QDate kToday(2026, 12, 8);
QDate D(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }

// The ways a text reaches a box from the clipboard or a drag.
enum class Into { CtrlV, ShiftInsert, Menu, Drop };
const char* IntoText(Into path) {
  const char* const names[] = {"Ctrl+V", "Shift+Insert", "context menu", "drop"};
  return names[static_cast<int>(path)];
}

// Puts `text` into the box by `path` as the desktop does; a drop lands past the end of the text.
void PutInto(QLineEdit* box, Into path, const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  switch (path) {
    case Into::CtrlV: QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier); break;
    case Into::ShiftInsert: QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier); break;
    case Into::Menu: {
      const QPoint at(4, box->height() / 2);
      QContextMenuEvent event(QContextMenuEvent::Mouse, at, box->mapToGlobal(at));
      QCoreApplication::sendEvent(box, &event);
      QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr) << "no context menu";
      // The command that shows the paste key beside it.
      const QString key = QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
      const QList<QAction*> actions = menu->actions();
      const auto paste = std::find_if(actions.begin(), actions.end(), [&](QAction* a) { return a->text().endsWith(key); });
      ASSERT_NE(paste, actions.end()) << "no paste in the context menu";
      EXPECT_TRUE((*paste)->isEnabled());
      (*paste)->trigger();
      delete menu;
      break;
    }
    case Into::Drop: {
      QMimeData mime;
      mime.setText(text);
      const QPointF at(box->width() - 2, box->height() / 2);
      QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(box, &enter);
      QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(box, &drop);
      break;
    }
  }
  QCoreApplication::processEvents();
}

// The account picker answers OK; `shown` gets the counterparty's account it offered.
std::function<int(QDialog*)> AcceptAccounts(QString* shown = nullptr) {
  return [shown](QDialog* d) {
    auto* p = qobject_cast<frmXjyh*>(d);
    if (shown) *shown = p->cmbJz[5]->currentText();
    QTest::mouseClick(p->eButOK, Qt::LeftButton);
    return p->result();
  };
}
}  // namespace

TEST_F(LoanFormFixture, NewFormShowsItsNumberAndDefaults) {
  frmDkdjB w;
  w.Form_Load();
  EXPECT_EQ(w.lblJkdj->text(), QStringLiteral("借贷单号：D001000120261208001"));
  EXPECT_EQ(w.txtDkdj[0]->text(), QStringLiteral("50000"));
  EXPECT_EQ(w.txtDkdj[1]->text(), QStringLiteral("0.1000"));
  EXPECT_EQ(w.txtDkdj[2]->text(), QStringLiteral("0.1500"));
  EXPECT_EQ(w.comJkzl[1]->currentText(), QStringLiteral("日"));
  EXPECT_EQ(w.comJkzl[2]->count(), 100);
  EXPECT_EQ(w.comJkzl[2]->itemText(99), QStringLiteral("100天"));
  EXPECT_EQ(w.cmbJkkh[0]->currentText(), QStringLiteral("个人"));
  for (DateBox* d : w.dtpDjrq) EXPECT_EQ(d->date(), kToday);
  EXPECT_EQ(w.SSTab1->tabText(3), QStringLiteral("相关附件"));

  // A number left by an abandoned plan is not given again.
  Db().Execute(QStringLiteral("insert into PJ_Hdjh (单号,还贷期次) values ('D001000120261208004',1)"));
  frmDkdjB next;
  next.Form_Load();
  EXPECT_EQ(next.单号, QStringLiteral("D001000120261208005"));
}

TEST_F(LoanFormFixture, PresetsFillTheBoxesThatCount) {
  frmDkdjB w;
  w.Form_Load();
  const auto pick = [&w](int box, int index) {
    w.comJkzl[box]->setCurrentIndex(index);
    w.comJkzl_Click(box);
  };
  for (const auto& [preset, rate, overdue] : {std::array{"九厘", "0.9000", "1.3500"}, std::array{"一分", "1.0000", "1.5000"},
                                              std::array{"二分", "2.0000", "3.0000"}, std::array{"一角", "10.0000", "15.0000"}}) {
    pick(0, w.comJkzl[0]->findText(QString::fromUtf8(preset)));
    EXPECT_EQ(w.txtDkdj[1]->text(), QString::fromLatin1(rate)) << preset;
    EXPECT_EQ(w.txtDkdj[2]->text(), QString::fromLatin1(overdue)) << preset;
  }
  pick(3, 6);
  EXPECT_EQ(w.txtDkdj[0]->text(), QStringLiteral("150000"));
  pick(1, 1);
  EXPECT_EQ(w.comJkzl[2]->count(), 12);
  w.dtpDjrq[1]->setDateValue(D("2024-01-31"));
  pick(2, 2);
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-04-30"));
  w.Check1->click();
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-04-29"));
  w.Check1->click();
  EXPECT_EQ(w.dtpDjrq[2]->date(), D("2024-04-30"));

  // Amount and rate boxes take digits and one "." only.
  w.txtDkdj[0]->clear();
  QTest::keyClicks(w.txtDkdj[0], QStringLiteral("5a0,0.0.1"));
  EXPECT_EQ(w.txtDkdj[0]->text(), QStringLiteral("500.01"));
}

// The eight money boxes of the registration and payment windows take at most two decimals, typed
// or pasted; the rate boxes keep theirs. What a box shows is what its save reads.
TEST_F(LoanFormFixture, MoneyBoxesTakeAtMostTwoDecimalsAndSaveWhatTheyShow) {
  frmDkdjB loan;
  frmRzdjB financing;
  frmDkgh repayment;
  frmRzTqzf early;
  struct Box {
    const char* name;
    QLineEdit* box;
    bool money;
  };
  const Box boxes[] = {
      {"借款金额", loan.txtDkdj[0], true},        {"拆借金额", financing.txtDkdj[0], true}, {"归还本金", repayment.Text1[0], true},
      {"归还利息", repayment.Text1[1], true},     {"逾期手续费", repayment.Text1[2], true}, {"支付本金", early.Text1[0], true},
      {"支付利息", early.Text1[1], true},         {"扣除利息", early.Text1[2], true},       {"利率", loan.txtDkdj[1], false},
      {"提前支取利率", financing.txtDkdj[6], false},
  };
  struct Typed {
    const char* keys;
    const char* money;  // what a money box shows
    const char* rate;   // what a rate box shows
  };
  const Typed typed[] = {{"0.001", "0.00", "0.001"},       {"0.004", "0.00", "0.004"},   {"100.999", "100.99", "100.999"},
                         {"12.345.6", "12.34", "12.3456"}, {"999999999.99", "999999999.99", "999999999.99"}};
  struct Pasted {
    const char* before;
    const char* clip;
    const char* money;  // what a money box shows, nullptr: refused aloud
    const char* rate;   // what a rate box shows
  };
  const Pasted pasted[] = {{"5", "1.23", "51.23", "51.23"},       {"5", "1.234", nullptr, "51.234"},
                           {"", "1,000.00", "1000.00", ""},       {"", " 894.72 ", "894.72", ""},
                           {"", "60 000", "60000", ""},           {"", "1，234，567.8", "1234567.8", ""},
                           {"", "１２３．４５", "123.45", ""},    {"7", "０", "70", "7"},
                           {"", "1,5", nullptr, ""},              {"", "12,34", nullptr, ""},
                           {"", "1,000 000", nullptr, ""},        {"", "1,000.005", nullptr, ""}};
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.name);
    for (const Typed& t : typed) {
      b.box->clear();
      QTest::keyClicks(b.box, QString::fromUtf8(t.keys));
      EXPECT_EQ(b.box->text(), QString::fromUtf8(b.money ? t.money : t.rate)) << t.keys;
    }
    // A money box reads a paste as the clerk meant it, or refuses it aloud and keeps its text; a rate
    // box takes only what its rule allows, as typed. Pastes come by the menu's command and by Ctrl+V in turn.
    bool byKey = false;
    for (const Pasted& p : pasted) {
      SCOPED_TRACE(p.clip);
      b.box->setText(QString::fromUtf8(p.before));
      b.box->end(false);
      responder_.clear();
      PutInto(b.box, (byKey = !byKey) ? Into::CtrlV : Into::Menu, QString::fromUtf8(p.clip));
      const char* shown = b.money ? (p.money ? p.money : p.before) : p.rate;
      EXPECT_EQ(b.box->text(), QString::fromUtf8(shown));
      const bool refused = b.money && !p.money;
      EXPECT_EQ(responder_.texts(), refused ? QStringList{QString::fromUtf8(b.name) + QStringLiteral("输入不合法！")} : QStringList{});
    }
  }

  // The loan form judges and saves the amount it shows.
  struct Saved {
    const char* keys;
    const char* message;  // the refusal, or nullptr for a save of `amount`
    double amount;
  };
  const Saved saves[] = {{"0.001", "借款金额必须大于0！", 0}, {"0.004", "借款金额必须大于0！", 0}, {"100.999", nullptr, 100.99},
                         {"12.345.6", nullptr, 12.34},           {"999999999.99", nullptr, 999999999.99}};
  int n = 0;
  for (const Saved& c : saves) {
    SCOPED_TRACE(c.keys);
    auto w = newLoan(person(QStringLiteral("金额%1").arg(++n)));
    w->txtDkdj[0]->clear();
    QTest::keyClicks(w->txtDkdj[0], QString::fromUtf8(c.keys));
    responder_.clear();
    click(w->pbCDkdj->at(Button::OnceAll));
    const QString doc = w->单号;
    if (c.message) {
      EXPECT_EQ(responder_.texts(), QStringList{QString::fromUtf8(c.message)});
      EXPECT_TRUE(marked(w->txtDkdj[0]));
      EXPECT_EQ(count(QStringLiteral("PJ_Hdjh"), QStringLiteral("单号=?"), {doc}), 0);
      continue;
    }
    ASSERT_TRUE(responder_.texts().isEmpty()) << responder_.texts().join('|').toStdString();
    save(*w);
    EXPECT_TRUE(responder_.saw(QStringLiteral("保存成功！")));
    EXPECT_DOUBLE_EQ(field(QStringLiteral("本金"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), c.amount);
    EXPECT_DOUBLE_EQ(sum(QStringLiteral("应还本金"), QStringLiteral("PJ_Hdjh"), doc), c.amount);
    EXPECT_DOUBLE_EQ(sum(QStringLiteral("金额"), QStringLiteral("PJ_Liushui"), doc), -c.amount);
  }
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 3);
}

// A text pasted or dropped into a money box is read alone, whatever the box held, and put where Qt
// puts it: over the selection for a paste (the whole text selected first, as a clerk replacing the
// proposal does), at the cursor without one, at the drop point for a drop. A box takes no input method.
TEST_F(LoanFormFixture, PasteOverAMoneyBoxReadsThePasteAloneWhateverTheBoxHeld) {
  frmDkdjB loan;
  frmRzdjB financing;
  frmDkgh repayment;
  frmRzTqzf early;
  const std::pair<const char*, QLineEdit*> boxes[] = {
      {"借款金额", loan.txtDkdj[0]},  {"拆借金额", financing.txtDkdj[0]}, {"归还本金", repayment.Text1[0]}, {"归还利息", repayment.Text1[1]},
      {"逾期手续费", repayment.Text1[2]}, {"支付本金", early.Text1[0]}, {"支付利息", early.Text1[1]},       {"扣除利息", early.Text1[2]},
  };
  const char* const held[] = {"", "1", "15", "240.00", "1000.00", "4000", "12000", "100000.00", "30000.00"};
  struct Row {
    const char* held;   // nullptr: each of `held`, the whole text selected
    const char* clip;
    const char* taken;  // what the box shows, nullptr: refused aloud, the box keeps its text
  };
  const Row rows[] = {
      {nullptr, "4,000.00", "4000.00"},   {nullptr, "12,000.00", "12000.00"}, {nullptr, "1,000.00", "1000.00"},
      {nullptr, "60 000", "60000"},       {nullptr, "10,000.00", "10000.00"}, {nullptr, "1 5", nullptr},
      {nullptr, "1,5", nullptr},          {nullptr, "0,500", nullptr},
      // No selection: at the cursor, the end of the text, as Qt inserts; a drop lands there whatever is selected.
      {"4000", "1,000", "40001000"},      {"4000", "4,000.00", "40004000.00"}, {"240.00", "1,000", nullptr},
      {"15", "1 5", nullptr},             {"12", "．５", "12.5"},               {"100000.00", "60 000", nullptr},
      {"", "0,500", nullptr},             {"", "60 000", "60000"},
  };
  for (const auto& [name, box] : boxes) {
    SCOPED_TRACE(name);
    box->resize(400, box->sizeHint().height());
    const QStringList refused{QString::fromUtf8(name) + QStringLiteral("输入不合法！")};
    for (const Row& r : rows) {
      const bool over = r.held == nullptr;
      const std::vector<const char*> befores = over ? std::vector<const char*>(std::begin(held), std::end(held)) : std::vector{r.held};
      for (const Into path : {Into::CtrlV, Into::ShiftInsert, Into::Menu, Into::Drop}) {
        for (const char* before : befores) {
          if (over && path == Into::Drop && *before) continue;  // a drop never replaces the selection
          box->setText(QString::fromUtf8(before));
          if (over || path == Into::Drop)
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
          else
            box->end(false);
          responder_.clear();
          PutInto(box, path, QString::fromUtf8(r.clip));
          const QString trace =
              QStringLiteral("%1 \"%2\" over \"%3\"").arg(QString::fromUtf8(IntoText(path)), QString::fromUtf8(r.clip), QString::fromUtf8(before));
          EXPECT_EQ(box->text(), QString::fromUtf8(r.taken ? r.taken : before)) << trace.toStdString();
          EXPECT_EQ(responder_.texts(), r.taken ? QStringList() : refused) << trace.toStdString();
        }
      }
    }
    // An input method never reaches the box: "１２。５" from one in its full-width mode changes nothing.
    box->clear();
    EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled));
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(box, &query);
    EXPECT_FALSE(query.value(Qt::ImEnabled).toBool());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("１２。５"));
    QCoreApplication::sendEvent(box, &commit);
    EXPECT_EQ(box->text(), QString());
  }
}

TEST_F(LoanFormFixture, BorrowersBoundByAnOpenLoanAreRefused) {
  const qint32 borrower = person(QStringLiteral("欠款人"));
  const qint32 guarantor = person(QStringLiteral("担保人"));
  const qint32 free = person(QStringLiteral("自由人"));
  const qint32 firm = company(QStringLiteral("担保公司"));
  company(QStringLiteral("无关公司"));
  const qint32 debtorFirm = company(QStringLiteral("欠款公司"));
  ASSERT_EQ(debtorFirm, free);
  storedLoan(QStringLiteral("D9"), QStringLiteral("个人"), borrower, QStringLiteral("55,%1").arg(guarantor), QString::number(firm));
  storedLoan(QStringLiteral("D8"), QStringLiteral("企业"), debtorFirm, QStringLiteral("0"), QStringLiteral("0"));
  struct Case {
    const char* what;
    const char* kind;
    qint32 id;
    const char* message;
  };
  const Case cases[] = {
      {"borrower of an open loan", "个人", borrower, "该用户有未完结借款，临时被冻结。"},
      {"guarantor of an open loan", "个人", guarantor, "该用户目前在担保期间，临时被冻结。"},
      {"company borrower of an open loan", "企业", debtorFirm, "该用户有未完结借款，临时被冻结。"},
      {"guarantee company of an open loan", "企业", firm, "该用户目前在担保期间，临时被冻结。"},
      {"a person with the number of an open company loan", "个人", free, ""},
      {"a free person", "个人", free, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    responder_.clear();
    auto w = newLoan(c.id, QString::fromUtf8(c.kind));
    const bool refused = *c.message != 0;
    EXPECT_EQ(responder_.texts(), refused ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
    EXPECT_EQ(w->CustomerId, refused ? 0 : c.id);
    EXPECT_EQ(w->txtJkkh[0]->text().isEmpty(), refused);
  }

  // A settled loan frees its borrower and guarantors.
  Db().Execute(QStringLiteral("update PJ_Dkjl set 结算状态=? where 单号='D9'"), {QStringLiteral("已完结")});
  auto w = newLoan(guarantor);
  EXPECT_EQ(w->txtJkkh[0]->text(), QStringLiteral("担保人"));
  EXPECT_EQ(w->txtJkkh[4]->text(), QStringLiteral("6214-0001"));
  EXPECT_EQ(w->cmbJkkh[1]->currentText(), QStringLiteral("个体户"));

  // The loan being edited never refuses its own borrower or guarantors.
  Db().Execute(QStringLiteral("update PJ_Dkjl set 结算状态=? where 单号='D9'"), {QStringLiteral("未还")});
  EXPECT_EQ(LoanStore::BorrowerFreeze(true, borrower, QStringLiteral("D9")), LoanStore::Freeze::None);
  EXPECT_EQ(LoanStore::BorrowerFreeze(true, borrower, QStringLiteral("D1")), LoanStore::Freeze::OpenLoan);
  EXPECT_EQ(LoanStore::BorrowerFreeze(true, guarantor, QStringLiteral("D9")), LoanStore::Freeze::None);
  EXPECT_EQ(LoanStore::BorrowerFreeze(true, guarantor, QStringLiteral("D1")), LoanStore::Freeze::Guarantor);

  // Another kind of borrower drops the one picked.
  w->cmbJkkh[0]->setCurrentIndex(1);
  w->cmbJkkh_Click(0);
  EXPECT_EQ(w->CustomerId, 0);
  EXPECT_TRUE(w->txtJkkh[0]->text().isEmpty());
}

// The open loans' lists are narrowed by the number's digits before they are parsed: a number inside
// another, or written with spaces or a leading zero, must still be told apart.
TEST_F(LoanFormFixture, GuaranteeListsHoldWholeNumbersOnly) {
  const qint32 borrower = person(QStringLiteral("欠款人"));
  storedLoan(QStringLiteral("D9"), QStringLiteral("个人"), borrower, QStringLiteral("0"), QStringLiteral("0"));
  struct Case {
    bool person;
    const char* list;
    qint32 id;
    bool held;
  };
  const Case cases[] = {
      {true, "12", 12, true},     {true, "5,12", 12, true},  {true, "5, 12 ", 12, true}, {true, "7,012", 12, true},
      {true, " 12", 12, true},    {true, "112,5", 12, false}, {true, "5,121", 12, false}, {true, "1,2", 12, false},
      {true, "0", 12, false},
      {false, "30,4", 4, true},   {false, "34,40", 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " / " + std::to_string(c.id));
    const QString column = c.person ? QStringLiteral("保证人") : QStringLiteral("担保企业");
    const QString other = c.person ? QStringLiteral("担保企业") : QStringLiteral("保证人");
    Db().Execute(QStringLiteral("update PJ_Dkjl set %1=?, %2=? where 单号=?").arg(column, other),
                 {QString::fromUtf8(c.list), QStringLiteral("0"), QStringLiteral("D9")});
    EXPECT_EQ(LoanStore::BorrowerFreeze(c.person, c.id, QStringLiteral("D1")), c.held ? LoanStore::Freeze::Guarantor : LoanStore::Freeze::None);
    // Its own loan never holds a borrower.
    EXPECT_EQ(LoanStore::BorrowerFreeze(c.person, c.id, QStringLiteral("D9")), LoanStore::Freeze::None);
  }
}

TEST_F(LoanFormFixture, GuarantorListsHoldEachPartyOnce) {
  const qint32 a = person(QStringLiteral("甲")), b = person(QStringLiteral("乙")), c = company(QStringLiteral("丙公司"));
  EXPECT_EQ(LoanStore::ParseIdList(QStringLiteral(",12,,1,12,0")), (QList<qint32>{12, 1}));
  EXPECT_EQ(LoanStore::IdListText({}), QStringLiteral("0"));
  EXPECT_EQ(LoanStore::IdListText({12, 1}), QStringLiteral("12,1"));

  auto w = newLoan(person(QStringLiteral("借款人")));
  for (qint32 id : {a, b, a}) {
    answerPick(id);
    click(w->pbCJkzl->at(0));
  }
  EXPECT_EQ(w->GuarantorIds, (QList<qint32>{b, a}));
  EXPECT_EQ(w->Fg2->dataRowCount(), 2);
  answerPick(c);
  click(w->pbCJkzl->at(6));
  EXPECT_EQ(w->CompanyIds, (QList<qint32>{c}));
  EXPECT_EQ(w->Fg3->textMatrix(1, 1), QStringLiteral("丙公司"));

  // Removing takes the current row's party as a whole element; the grid's header is never removed.
  w->Fg2->setRow(0);
  click(w->pbCJkzl->at(2));
  EXPECT_EQ(w->GuarantorIds.size(), 2);
  for (int r = 1; r < w->Fg2->rows(); ++r)
    if (w->Fg2->textMatrix(r, 0) == QString::number(a)) w->Fg2->setRow(r);
  click(w->pbCJkzl->at(2));
  EXPECT_EQ(w->GuarantorIds, (QList<qint32>{b}));
  w->Fg3->setRow(1);
  click(w->pbCJkzl->at(7));
  EXPECT_TRUE(w->CompanyIds.isEmpty());
  EXPECT_EQ(w->Fg3->dataRowCount(), 0);

  click(w->pbCDkdj->at(Button::OnceAll));
  save(*w);
  EXPECT_EQ(field(QStringLiteral("保证人"), QStringLiteral("PJ_Dkjl"), w->单号).toString(), QString::number(b));
  EXPECT_EQ(field(QStringLiteral("担保企业"), QStringLiteral("PJ_Dkjl"), w->单号).toString(), QStringLiteral("0"));
}

TEST_F(LoanFormFixture, EveryPlanTypeSavesRowsThatReconcile) {
  struct Case {
    int button;
    bool monthly;
    int count;
    int rows;
    bool prepaid;
  };
  const Case cases[] = {
      {Button::OnceAll, true, 0, 1, false},          {Button::OncePrepaid, true, 0, 2, true},
      {Button::EqualPrincipalAhead, true, 3, 4, true}, {Button::EqualPrincipalArrears, false, 7, 7, false},
      {Button::EqualInstalment, true, 12, 12, false},  {Button::InterestAhead, true, 2, 3, true},
      {Button::InterestArrears, false, 30, 30, false},
  };
  double journal = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(LoanCalc::PlanName(c.button).toStdString());
    auto w = newLoan(person(QStringLiteral("客户%1").arg(c.button)));
    setTerms(*w, QStringLiteral("120000"), c.monthly ? QStringLiteral("1.5") : QStringLiteral("0.05"), c.monthly, D("2026-12-08"),
             D("2027-03-08"));
    if (LoanCalc::IsInstalment(c.button)) {
      answerPlan(c.count, c.monthly, D("2027-01-08"));
      responder_.answer(Mb::Yes);  // a first date of the clerk's own
    }
    click(w->pbCDkdj->at(c.button));
    ASSERT_EQ(w->Fg->dataRowCount(), c.rows + 1) << "plan rows and the totals row";
    EXPECT_TRUE(w->Fg->isTotalsRow(w->Fg->rows() - 1));
    // Each total stands in its own column, also beside an equal one (prepaid interest = paid).
    for (int col : {3, 5, 6, 7}) {
      const Grid::CellRange cell = w->Fg->mergedRange(w->Fg->rows() - 1, col);
      EXPECT_EQ(cell.left, col);
      EXPECT_EQ(cell.right, col);
    }
    const double gridInterest = w->Fg->number(w->Fg->rows() - 1, 6);
    const double gridDays = w->Fg->number(w->Fg->rows() - 1, 3);
    const QString doc = w->单号;

    save(*w);
    EXPECT_TRUE(responder_.saw(QStringLiteral("保存成功！")));
    EXPECT_FALSE(responder_.saw(QStringLiteral("有未保存还款计划，是否删除并退出？")));
    EXPECT_TRUE(w->Saved);
    EXPECT_EQ(w->EditDocNo, doc);
    EXPECT_EQ(field(QStringLiteral("还款计划"), QStringLiteral("PJ_Dkjl"), doc).toString(), LoanCalc::PlanName(c.button));
    EXPECT_EQ(count(QStringLiteral("PJ_Hdjh"), QStringLiteral("单号=?"), {doc}), c.rows);
    EXPECT_NEAR(sum(QStringLiteral("应还本金"), QStringLiteral("PJ_Hdjh"), doc), 120000, 1e-6);
    EXPECT_NEAR(field(QStringLiteral("利息"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), gridInterest, 1e-6);
    EXPECT_NEAR(field(QStringLiteral("计息天数"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), gridDays, 1e-6);
    EXPECT_EQ(field(QStringLiteral("利率类别"), QStringLiteral("PJ_Dkjl"), doc).toString(), c.monthly ? QStringLiteral("月") : QStringLiteral("日"));
    EXPECT_EQ(field(QStringLiteral("止息日期"), QStringLiteral("PJ_Dkjl"), doc),
              field(QStringLiteral("max(约定归还日期)"), QStringLiteral("PJ_Hdjh"), doc));
    const double prepaid = c.prepaid ? field(QStringLiteral("应还利息"), QStringLiteral("PJ_Hdjh"), doc).toDouble() : 0;
    EXPECT_NEAR(field(QStringLiteral("已还利息"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), prepaid, 1e-6);
    EXPECT_EQ(count(QStringLiteral("PJ_Hkjl"), QStringLiteral("单号=?"), {doc}), c.prepaid ? 1 : 0);
    EXPECT_EQ(count(QStringLiteral("PJ_Liushui"), QStringLiteral("单号=?"), {doc}), c.prepaid ? 2 : 1);
    EXPECT_NEAR(sum(QStringLiteral("金额"), QStringLiteral("PJ_Liushui"), doc), prepaid - 120000, 1e-6);
    journal += prepaid - 120000;
    const double lastBalance = Db().scalar(QStringLiteral("select 余额 from PJ_Liushui order by 编号 desc")).toDouble();
    EXPECT_NEAR(lastBalance, journal, 1e-6);
    EXPECT_EQ(field(QStringLiteral("业务状态"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("已审核"));
  }
}

TEST_F(LoanFormFixture, PlanAmountsAreReadableWhole) {
  // Amounts, totals and the totals label fit their columns, also for loans of ten million and more.
  for (const char* amount : {"120000", "12345678.91", "99999999.99"}) {
    SCOPED_TRACE(amount);
    auto w = newLoan(person(QString::fromLatin1(amount)));
    setTerms(*w, QString::fromLatin1(amount), QStringLiteral("1.5"), true, D("2026-12-08"), D("2027-12-08"));
    answerPlan(12, true, D("2026-12-08"));
    click(w->pbCDkdj->at(Button::EqualInstalment));
    ASSERT_EQ(w->Fg->dataRowCount(), 13);
    EXPECT_TRUE(w->Fg->colHidden(0));
    const QFontMetrics fm(w->Fg->font());
    for (int r = w->Fg->fixedRows(); r < w->Fg->rows(); ++r)
      for (int c = 1; c <= 7; ++c)
        EXPECT_GE(w->Fg->colWidth(c) / kTwipsPerPixel, fm.horizontalAdvance(w->Fg->displayText(r, c)) + kCellMargins)
            << "row " << r << " column " << c << " " << w->Fg->displayText(r, c).toStdString();
  }
}

TEST_F(LoanFormFixture, PrepaidLoanWritesItsRecordAndJournalInOrder) {
  gSystemSettings[3] = QStringLiteral("1");
  for (auto& v : gBankInfo) v = QStringLiteral("上一笔的账户");
  const qint32 id = person(QStringLiteral("张三"), QStringLiteral("6214-9999"));
  auto w = newLoan(id);
  setTerms(*w, QStringLiteral("100000"), QStringLiteral("2"), true, D("2026-12-08"), D("2027-03-08"));
  w->txtDkdj[3]->setText(QStringLiteral("进货 'A' 100%_款"));
  w->txtDkdj[7]->setText(QStringLiteral("备注'%_"));
  click(w->pbCDkdj->at(Button::OncePrepaid));
  save(*w);
  const QString doc = w->单号;
  for (const auto& [column, text] : {std::pair{"业务状态", "未审核"}, std::pair{"结算状态", "未还"}, std::pair{"放弃标记", "正常"},
                                     std::pair{"贷款用途", "进货 'A' 100%_款"}, std::pair{"备注", "备注'%_"}, std::pair{"部门", "业务一部"},
                                     std::pair{"操作员", "管理员"}})
    EXPECT_EQ(field(QString::fromUtf8(column), QStringLiteral("PJ_Dkjl"), doc).toString(), QString::fromUtf8(text)) << column;
  EXPECT_NEAR(field(QStringLiteral("已还利息"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), 6000, 1e-9);
  EXPECT_EQ(field(QStringLiteral("利率系数"), QStringLiteral("PJ_Dkjl"), doc).toInt(), 3);
  EXPECT_NEAR(field(QStringLiteral("日利率"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), 0.002, 1e-9);

  const QueryResult hk = Db().query(QStringLiteral("select 期次,本金,利息,手续费,还款状态,备注,计划ID from PJ_Hkjl where 单号=?"), {doc});
  ASSERT_EQ(hk.rows.size(), 1u);
  const qint64 planRow = Db().scalar(QStringLiteral("select 编号 from PJ_Hdjh where 单号=? and 还贷期次=1"), {doc}).toLongLong();
  EXPECT_EQ(hk.rows[0][0].toInt(), 1);
  EXPECT_EQ(hk.rows[0][1].toDouble(), 0);
  EXPECT_NEAR(hk.rows[0][2].toDouble(), 6000, 1e-9);
  EXPECT_EQ(hk.rows[0][4].toString(), QStringLiteral("已还"));
  EXPECT_EQ(hk.rows[0][5].toString(), QStringLiteral("提前扣除利息"));
  EXPECT_EQ(hk.rows[0][6].toLongLong(), planRow);

  const QueryResult j = Db().query(QStringLiteral("select 金额,摘要,方向,余额,对应ID,经办人,操作员,我方开户行,对方开户行,对方开户名,对方账号 "
                                                  "from PJ_Liushui where 单号=? order by 编号"),
                                   {doc});
  ASSERT_EQ(j.rows.size(), 2u);
  EXPECT_NEAR(j.rows[0][0].toDouble(), -100000, 1e-9);
  EXPECT_EQ(j.rows[0][1].toString(), QStringLiteral("贷款本金支出"));
  EXPECT_EQ(j.rows[0][2].toString(), QStringLiteral("支出"));
  EXPECT_NEAR(j.rows[0][3].toDouble(), -100000, 1e-9);
  EXPECT_NEAR(j.rows[1][0].toDouble(), 6000, 1e-9);
  EXPECT_EQ(j.rows[1][1].toString(), QStringLiteral("贷款利息收入"));
  EXPECT_NEAR(j.rows[1][3].toDouble(), -94000, 1e-9);
  EXPECT_EQ(j.rows[1][4].toLongLong(), planRow);
  EXPECT_EQ(j.rows[1][5].toString(), QStringLiteral("王经办"));
  EXPECT_EQ(j.rows[1][6].toString(), QStringLiteral("超级管理员"));
  // Without the account picker our side is empty and the counterparty is the borrower.
  EXPECT_EQ(j.rows[0][7].toString(), QString());
  EXPECT_EQ(j.rows[0][8].toString(), QStringLiteral("招商银行"));
  EXPECT_EQ(j.rows[0][10].toString(), QStringLiteral("6214-9999"));
}

TEST_F(LoanFormFixture, AccountPickerComesBeforeTheSaveAndClosingItSavesNothing) {
  gSystemSettings[5] = QStringLiteral("1");
  ownAccount(QStringLiteral("工商银行"), QStringLiteral("示范公司"), QStringLiteral("6222-001"));
  for (auto& v : gBankInfo) v = QStringLiteral("上一笔");
  auto w = newLoan(person(QStringLiteral("李四"), QStringLiteral("6214-5555")));
  click(w->pbCDkdj->at(Button::OnceAll));
  save(*w);  // the picker is closed
  EXPECT_EQ(modal_.shown.back(), QStringLiteral("frmXjyh"));
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 0);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui")), 0);
  EXPECT_FALSE(w->Saved);

  QString offered;
  modal_.handlers.push_back(AcceptAccounts(&offered));
  save(*w);
  EXPECT_EQ(offered, QStringLiteral("6214-5555"));
  EXPECT_TRUE(w->Saved);
  EXPECT_EQ(gBankInfo[50].toInt(), 1);
  const QueryResult j = Db().query(QStringLiteral("select 我方开户行,我方账号,对方账号 from PJ_Liushui where 单号=?"), {w->单号});
  ASSERT_EQ(j.rows.size(), 1u);
  EXPECT_EQ(j.rows[0][0].toString(), QStringLiteral("工商银行"));
  EXPECT_EQ(j.rows[0][1].toString(), QStringLiteral("6222-001"));
  EXPECT_EQ(j.rows[0][2].toString(), QStringLiteral("6214-5555"));

  // An edit of the remark keeps the accounts without asking; a new amount asks, from the row's accounts.
  Db().Execute(QStringLiteral("update PJ_Liushui set 对方账号=? where 单号=?"), {QStringLiteral("旧账号"), w->单号});
  for (const auto& [amount, asks] : {std::pair{"", false}, std::pair{"60000", true}}) {
    SCOPED_TRACE(asks);
    const auto e = opened(w->单号);
    e->txtDkdj[7]->setText(QStringLiteral("改"));
    if (asks) {
      e->txtDkdj[0]->setText(QString::fromLatin1(amount));
      click(e->pbCDkdj->at(Button::OnceAll));
    }
    modal_.shown.clear();
    QString shownAccount;
    modal_.handlers.push_back(AcceptAccounts(&shownAccount));
    save(*e);
    ASSERT_TRUE(e->Saved);
    EXPECT_EQ(!modal_.shown.empty(), asks);
    if (asks) EXPECT_EQ(shownAccount, QStringLiteral("旧账号"));
    if (!asks) modal_.handlers.clear();
  }
}

TEST_F(LoanFormFixture, EditingAnUnpaidLoanKeepsOneSetOfRegistrationRows) {
  const QString doc = savedLoan(person(QStringLiteral("王五")), Button::EqualPrincipalAhead, [this](frmDkdjB& w) {
    setTerms(w, QStringLiteral("50000"), QStringLiteral("1"), true, D("2026-12-08"), D("2027-06-08"));
    w.Check1->click();
    answerPlan(3, true, D("2027-01-08"));
    responder_.answer(Mb::Yes);  // a first date of the clerk's own
  });
  // A later loan's journal rows follow; their balances must stay right after the edits.
  savedLoan(person(QStringLiteral("赵六")), Button::OnceAll);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const auto w = opened(doc);
    EXPECT_TRUE(responder_.messages.empty() || responder_.messages.back().text == QStringLiteral("保存成功！"));
    EXPECT_EQ(w->txtJkkh[0]->text(), QStringLiteral("王五"));
    EXPECT_EQ(w->txtDkdj[1]->text(), QStringLiteral("1.0000"));
    EXPECT_EQ(w->comJkzl[1]->currentText(), QStringLiteral("月"));
    // Loading sets 首尾计息 and the rate type without moving the stored end date.
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_EQ(w->dtpDjrq[2]->date(), D("2027-05-08"));
    w->txtDkdj[7]->setText(QStringLiteral("第%1次修改").arg(round + 1));
    save(*w);
    EXPECT_TRUE(w->Saved);
  }
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl"), QStringLiteral("单号=?"), {doc}), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl"), QStringLiteral("单号=?"), {doc}), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui"), QStringLiteral("单号=?"), {doc}), 2);
  EXPECT_EQ(field(QStringLiteral("备注"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("第3次修改"));
  EXPECT_EQ(field(QStringLiteral("还款计划"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("等额本金 - 先付"));
  EXPECT_NEAR(field(QStringLiteral("已还利息"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), 500, 1e-9);
  // Every balance is the running sum of the journal up to its row.
  const QueryResult j = Db().query(QStringLiteral("select 金额,余额 from PJ_Liushui order by 编号"));
  double running = 0;
  for (const QVariantList& r : j.rows) {
    running += r[0].toDouble();
    EXPECT_NEAR(r[1].toDouble(), running, 1e-6);
  }
  EXPECT_NEAR(running, -50000 + 500 - 50000, 1e-6);
}

TEST_F(LoanFormFixture, ALoanWithRepaymentsCannotBeEditedOrReplanned) {
  const QString doc = savedLoan(person(QStringLiteral("钱七")), Button::InterestArrears, [this](frmDkdjB&) {
    answerPlan(2, false, D("2026-12-09"));
    responder_.answer(Mb::Yes);  // a first date of the clerk's own
  });
  // A repayment of the first instalment.
  Db().Execute(QStringLiteral("update PJ_Hdjh set 已还利息=应还利息,归还状态=?,归还日期='2026-12-10' where 单号=? and 还贷期次=1"), {QStringLiteral("已还"), doc});
  Db().Execute(QStringLiteral("insert into PJ_Hkjl (单号,期次,本金,利息,还款状态) values (?,1,0,50,?)"), {doc, QStringLiteral("已还")});
  const qint64 rows = count(QStringLiteral("PJ_Hdjh"));
  const qint64 journal = count(QStringLiteral("PJ_Liushui"));

  const auto e = opened(doc);
  responder_.clear();
  click(e->pbCDkdj->at(Button::OnceAll));
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("该单据已有还款记录，不能重新生成计划！")});
  responder_.clear();
  save(*e);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("该单据已有还款记录，不能修改！")});
  EXPECT_FALSE(e->Saved);
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), rows);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui")), journal);
  EXPECT_EQ(count(QStringLiteral("PJ_Hkjl"), QStringLiteral("单号=?"), {doc}), 1);
}

TEST_F(LoanFormFixture, BadInputIsSaidMarkedAndWritesNothing) {
  struct Case {
    const char* what;
    std::function<QWidget*(frmDkdjB&)> change;  // returns the box that must be marked
    int button;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"empty amount", [](frmDkdjB& w) { w.txtDkdj[0]->clear(); return w.txtDkdj[0]; }, Button::OnceAll, "借款金额输入不合法！"},
      {"amount 0", [](frmDkdjB& w) { w.txtDkdj[0]->setText(QStringLiteral("0")); return w.txtDkdj[0]; }, Button::OnceAll, "借款金额必须大于0！"},
      {"rate not a number", [](frmDkdjB& w) { w.txtDkdj[1]->setText(QStringLiteral("1.2.3")); return w.txtDkdj[1]; }, Button::OncePrepaid,
       "利率输入不合法！"},
      {"empty overdue rate", [](frmDkdjB& w) { w.txtDkdj[2]->clear(); return w.txtDkdj[2]; }, Button::EqualInstalment, "逾期利率输入不合法！"},
      {"no handler", [](frmDkdjB& w) { w.txtDkdj[6]->clear(); return w.txtDkdj[6]; }, Button::InterestAhead, "业务经办不能为空！"},
      {"no borrower", [](frmDkdjB& w) { w.cmbJkkh[0]->setCurrentIndex(1); w.cmbJkkh_Click(0); return w.txtJkkh[0]; }, Button::OnceAll,
       "请先选择借款客户！"},
      {"end before start", [](frmDkdjB& w) -> QWidget* { w.dtpDjrq[2]->setDateValue(w.dtpDjrq[1]->date().addDays(-1)); return w.dtpDjrq[2]; },
       Button::OnceAll, "止息日期必须晚于起息日期！"},
      {"a monthly plan of 0 months",
       [](frmDkdjB& w) -> QWidget* {
         w.comJkzl[1]->setCurrentIndex(1);
         w.dtpDjrq[2]->setDateValue(w.dtpDjrq[1]->date().addDays(20));
         return w.dtpDjrq[2];
       },
       Button::OncePrepaid, "按月计息的期限不足一个月，请调整止息日期！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto w = newLoan(person(QStringLiteral("客户")));
    QWidget* const box = c.change(*w);
    responder_.clear();
    click(w->pbCDkdj->at(c.button));
    EXPECT_EQ(responder_.texts(), QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(marked(box));
    EXPECT_TRUE(modal_.shown.empty() || modal_.shown.back() != QStringLiteral("frmDkJh"));
    EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 0);
    modal_.shown.clear();
  }
  // A save without a plan, or with a plan of another amount, writes nothing.
  auto w = newLoan(person(QStringLiteral("客户")));
  responder_.clear();
  save(*w);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("还没有添加还款计划！")});
  click(w->pbCDkdj->at(Button::OnceAll));
  w->txtDkdj[0]->setText(QStringLiteral("60000"));
  responder_.clear();
  save(*w);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("借款条件已改变，请重新生成还款计划！")});
  // Terms that the plan was built with, changed afterwards, need a new plan too.
  const std::vector<std::function<void(frmDkdjB&)>> changes = {
      [](frmDkdjB& w) { w.txtDkdj[1]->setText(QStringLiteral("0.2")); },
      [](frmDkdjB& w) { w.Check1->click(); },
      [](frmDkdjB& w) { w.dtpDjrq[1]->setDateValue(w.dtpDjrq[1]->date().addDays(1)); },
  };
  for (const auto& change : changes) {
    auto v = newLoan(person(QStringLiteral("客户")));
    click(v->pbCDkdj->at(Button::OnceAll));
    change(*v);
    responder_.clear();
    save(*v);
    EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("借款条件已改变，请重新生成还款计划！")});
  }
  // The store itself refuses a plan of another amount.
  LoanStore::LoanDocument other;
  other.plan = w->Plan;
  other.record.amount = 60000;
  EXPECT_EQ(LoanStore::SaveRefusal(other), QStringLiteral("还款计划与借款金额不符，请重新生成还款计划！"));
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 0);
  EXPECT_EQ(count(QStringLiteral("PJ_Liushui")), 0);
}

TEST_F(LoanFormFixture, AFailingJournalInsertLeavesNothingOfTheSave) {
  Db().Execute(QStringLiteral("create trigger fail_interest before insert on PJ_Liushui when new.摘要='贷款利息收入' "
                              "begin select raise(abort, 'injected failure'); end"));
  auto w = newLoan(person(QStringLiteral("孙八")));
  setTerms(*w, QStringLiteral("30000"), QStringLiteral("0.1"), false, kToday, kToday.addDays(10));
  click(w->pbCDkdj->at(Button::OncePrepaid));
  responder_.clear();
  save(*w);
  ASSERT_EQ(responder_.messages.size(), 1u);
  // The save passes no context: the report starts with what happened, no procedure name before it.
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("程序出现异常！"))) << responder_.messages[0].text.toStdString();
  EXPECT_FALSE(w->Saved);
  for (const char* table : {"PJ_Dkjl", "PJ_Hkjl", "PJ_Liushui", "PJ_Hdjh"}) EXPECT_EQ(count(QString::fromLatin1(table)), 0) << table;
  EXPECT_EQ(w->Plan.rows.size(), 2u);  // the window keeps the plan for another try
}

TEST_F(LoanFormFixture, ThePlanDialogStartsAtTheRateTypeAndAsksBeforeChangingIt) {
  frmDkJh dlg;
  dlg.UnitIndex = 0;
  dlg.PlanMethod = 5;
  dlg.StartDate = D("2026-11-20");
  dlg.Form_Load();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("编辑计划"));
  EXPECT_EQ(dlg.Combo1->currentText(), QStringLiteral("日"));
  EXPECT_EQ(dlg.Combo2->currentText(), QStringLiteral("1"));
  EXPECT_EQ(dlg.Combo2->count(), 999);
  EXPECT_EQ(dlg.DTPicker1->date(), D("2026-11-20"));

  auto w = newLoan(person(QStringLiteral("周九")));  // a daily rate
  answerPlan(2, true, D("2027-01-08"));           // answered No
  click(w->pbCDkdj->at(Button::InterestArrears));
  EXPECT_TRUE(responder_.saw(QStringLiteral("利率类别将改为月，利率不变，是否继续？")));
  EXPECT_TRUE(w->Plan.rows.empty());

  // Closing the dialog keeps the plan that was there.
  click(w->pbCDkdj->at(Button::OnceAll));
  click(w->pbCDkdj->at(Button::EqualInstalment));
  EXPECT_EQ(w->Plan.rows.size(), 1u);

  responder_.answer(Mb::Yes);
  responder_.answer(Mb::Yes);  // then the first date of the clerk's own
  answerPlan(2, true, D("2027-01-08"));
  click(w->pbCDkdj->at(Button::InterestArrears));
  EXPECT_EQ(w->Plan.rows.size(), 2u);
  EXPECT_EQ(w->Fg->dataRowCount(), 3);  // two rows and the totals
  EXPECT_EQ(w->comJkzl[1]->currentText(), QStringLiteral("月"));
  EXPECT_EQ(w->comJkzl[2]->itemText(0), QStringLiteral("1个月"));
  EXPECT_EQ(w->dtpDjrq[2]->date(), D("2027-03-08"));

  // 展期 changes nothing.
  click(w->pbCDkdj->at(Button::Extension));
  EXPECT_EQ(w->Plan.rows.size(), 2u);
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 0);  // the plan lives in the window until the save
  EXPECT_EQ(w->还款计划, QStringLiteral("分期付息-后息"));
}

TEST_F(LoanFormFixture, AttachmentsAreCopiedUnderNamesOfTheirOwn) {
  const QString src = userFile(QStringLiteral("合同.PDF"));
  setNow(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
  frmDkdjB w;
  w.Form_Load();
  EXPECT_EQ(LoanStore::StripPath(QStringLiteral("C:\\docs\\合同.PDF")), QStringLiteral("合同.PDF"));
  EXPECT_EQ(LoanStore::StripPath(QStringLiteral("合同.PDF")), QStringLiteral("合同.PDF"));
  SetChooserHandler([&](ChooserKind, const QString&) { return src; });
  click(w.pbCJkzl->at(1));
  click(w.pbCJkzl->at(1));
  // Copied at once; the rows come with the save.
  const QList<LoanStore::Attachment> r = w.Attachments;
  ASSERT_EQ(r.size(), 2);
  EXPECT_EQ(r[0].name, QStringLiteral("合同.PDF"));
  EXPECT_EQ(r[0].type, QStringLiteral("pdf"));
  EXPECT_EQ(r[0].path, appDir() + QStringLiteral("template/20240506070809.pdf"));
  EXPECT_NE(r[1].path, r[0].path);
  EXPECT_TRUE(QFile::exists(r[1].path));
  EXPECT_EQ(count(QStringLiteral("PJ_DkFj")), 0);
  EXPECT_EQ(w.Fg1->dataRowCount(), 2);

  // A file that cannot be copied adds no row.
  SetChooserHandler([&](ChooserKind, const QString&) { return dir_.path() + QStringLiteral("/没有.doc"); });
  click(w.pbCJkzl->at(1));
  EXPECT_TRUE(responder_.saw(QStringLiteral("附件复制失败：") + dir_.path() + QStringLiteral("/没有.doc")));
  EXPECT_EQ(w.Attachments.size(), 2);

  QString opened;
  SetOpenFileHandler([&](const QString& p) {
    opened = p;
    return true;
  });
  w.Fg1->setRow(1);
  click(w.pbCJkzl->at(3));
  EXPECT_EQ(opened, r[0].path);
  click(w.pbCJkzl->at(4));
  EXPECT_EQ(w.Attachments.size(), 1);
  EXPECT_FALSE(QFile::exists(r[0].path));
}

TEST_F(LoanFormFixture, AnAbandonedNewLoanLeavesNothing) {
  const QString src = userFile(QStringLiteral("a.txt"));
  auto w = newLoan(person(QStringLiteral("吴十")));
  click(w->pbCDkdj->at(Button::OnceAll));
  w->添加附件(src);
  ASSERT_EQ(w->Attachments.size(), 1);
  const QString copy = w->Attachments[0].path;
  ASSERT_TRUE(QFile::exists(copy));
  responder_.answer(Mb::No);
  w->reject();
  EXPECT_TRUE(responder_.saw(QStringLiteral("有未保存还款计划，是否删除并退出？")));
  EXPECT_EQ(w->Plan.rows.size(), 1u);  // still open, nothing lost
  EXPECT_TRUE(QFile::exists(copy));
  responder_.answer(Mb::Yes);
  click(w->pbCDkgh->at(1));
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 0);
  EXPECT_EQ(count(QStringLiteral("PJ_DkFj")), 0);
  EXPECT_FALSE(QFile::exists(copy));
  EXPECT_TRUE(QFile::exists(src));
}

TEST_F(LoanFormFixture, TheLoanListOpensItForNewAndExistingLoans) {
  const qint32 id = person(QStringLiteral("郑十一"));
  QStringList refreshed;
  modal_.handlers.push_back([&, id](QDialog* d) {
    auto* w = qobject_cast<frmDkdjB*>(d);
    EXPECT_TRUE(w->EditDocNo.isEmpty());
    answerPick(id);
    click(w->pbCJkzl->at(5));
    w->txtDkdj[6]->setText(QStringLiteral("王经办"));
    w->dtpDjrq[2]->setDateValue(kToday.addDays(10));
    click(w->pbCDkdj->at(Button::OnceAll));
    save(*w);
    return w->result();
  });
  EXPECT_TRUE(frmDkdjB::OpenNew(nullptr, [&](const QString& doc) { refreshed << doc; }));
  ASSERT_EQ(refreshed.size(), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl"), QStringLiteral("单号=?"), {refreshed[0]}), 1);

  modal_.handlers.push_back([&](QDialog* d) {
    auto* w = qobject_cast<frmDkdjB*>(d);
    EXPECT_EQ(w->单号, refreshed[0]);
    EXPECT_EQ(w->txtJkkh[0]->text(), QStringLiteral("郑十一"));
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(frmDkdjB::OpenExisting(nullptr, refreshed[0], [&](const QString& doc) { refreshed << doc; }));
  EXPECT_EQ(refreshed.size(), 1);
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 1);  // closing an existing loan removes nothing
}

TEST_F(LoanFormFixture, ACompanyBorrowerAndAPickedHandler) {
  const qint32 firm = company(QStringLiteral("宏达贸易有限公司"));
  auto w = newLoan(firm, QStringLiteral("企业"));
  EXPECT_EQ(w->txtJkkh[0]->text(), QStringLiteral("宏达贸易有限公司"));
  EXPECT_EQ(w->txtJkkh[1]->text(), QStringLiteral("91110000"));
  EXPECT_EQ(w->cmbJkkh[1]->currentText(), QStringLiteral("董事长"));  // not an occupation of the list: added, kept
  modal_.handlers.push_back([](QDialog* d) {
    auto* list = qobject_cast<frmYg*>(d);
    EXPECT_EQ(list->PickMode, 2);
    list->Picked = StaffPick{7, QStringLiteral("zhao"), QStringLiteral("赵经理"), QStringLiteral("业务二部")};
    return int(QDialog::Accepted);
  });
  QTest::mouseClick(w->txtDkdj[6], Qt::LeftButton);
  EXPECT_EQ(w->txtDkdj[6]->text(), QStringLiteral("赵经理"));
  EXPECT_EQ(w->BusinessDept, QStringLiteral("业务二部"));
  click(w->pbCDkdj->at(Button::OnceAll));
  save(*w);
  const QString doc = w->单号;
  EXPECT_EQ(field(QStringLiteral("客户ID"), QStringLiteral("PJ_Dkjl"), doc).toInt(), firm);
  for (const auto& [table, column, text] :
       {std::array{"PJ_Dkjl", "客户性质", "企业"}, std::array{"PJ_Dkjl", "部门", "业务二部"}, std::array{"PJ_Hdjh", "经办人", "赵经理"},
        std::array{"PJ_Hdjh", "客户名称", "宏达贸易有限公司"}, std::array{"PJ_Liushui", "对方开户行", "浦发银行"},
        std::array{"PJ_Liushui", "对方账号", "7788"}})
    EXPECT_EQ(field(QString::fromUtf8(column), QString::fromUtf8(table), doc).toString(), QString::fromUtf8(text)) << table << column;
}

TEST_F(LoanFormFixture, AFailedRebuildKeepsThePlanThatWasThere) {
  auto w = newLoan(person(QStringLiteral("冯十二")));
  click(w->pbCDkdj->at(Button::OnceAll));
  ASSERT_EQ(w->Plan.rows.size(), 1u);
  responder_.clear();
  w->txtDkdj[6]->clear();  // no handler: refused before any build
  click(w->pbCDkdj->at(Button::EqualPrincipalArrears));
  EXPECT_EQ(responder_.messages.size(), 1u);
  EXPECT_EQ(w->Plan.rows.size(), 1u);
  EXPECT_EQ(w->还款计划, QStringLiteral("一次性归还本息"));
  EXPECT_EQ(count(QStringLiteral("PJ_Hdjh")), 0);
}

// ---- the window holds what it edits until the save

namespace {
// Every row of the tables a registration writes, and the files of the attachment folder.
QStringList everything() {
  QStringList out;
  for (const char* table : {"PJ_Dkjl", "PJ_Hdjh", "PJ_Hkjl", "PJ_DkFj", "PJ_Liushui", "PJ_Djxh"}) {
    const QueryResult r = Db().query(QStringLiteral("select * from %1 order by 编号").arg(QString::fromLatin1(table)));
    for (const QVariantList& row : r.rows) {
      QStringList cells;
      for (const QVariant& v : row) cells << v.toString();
      out << QString::fromLatin1(table) + QLatin1Char(':') + cells.join(QLatin1Char('|'));
    }
  }
  for (const QString& f : QDir(LoanStore::AttachmentFolder()).entryList(QDir::Files)) out << QStringLiteral("file:") + f;
  return out;
}
}  // namespace

TEST_F(LoanFormFixture, TwoWindowsOpenAtOnceSaveTwoLoansEachWithItsPlan) {
  auto a = newLoan(person(QStringLiteral("甲")));
  auto b = newLoan(person(QStringLiteral("乙")));
  ASSERT_EQ(a->单号, b->单号);  // both show the next number
  setTerms(*a, QStringLiteral("262000"), QStringLiteral("1"), false, kToday, kToday.addDays(20));
  setTerms(*b, QStringLiteral("154000"), QStringLiteral("1"), false, kToday, kToday.addDays(20));
  click(a->pbCDkdj->at(Button::OnceAll));
  click(b->pbCDkdj->at(Button::OnceAll));
  const QString shown = a->单号;
  save(*a);
  save(*b);
  ASSERT_TRUE(a->Saved && b->Saved);
  EXPECT_EQ(a->单号, shown);
  EXPECT_NE(b->单号, a->单号);
  EXPECT_EQ(responder_.messages.back().text, QStringLiteral("保存成功！单号：") + b->单号);
  EXPECT_EQ(count(QStringLiteral("PJ_Dkjl")), 2);
  EXPECT_DOUBLE_EQ(sum(QStringLiteral("应还本金"), QStringLiteral("PJ_Hdjh"), a->单号), 262000);
  EXPECT_DOUBLE_EQ(sum(QStringLiteral("应还本金"), QStringLiteral("PJ_Hdjh"), b->单号), 154000);
  EXPECT_EQ(field(QStringLiteral("版本"), QStringLiteral("PJ_Dkjl"), a->单号).toInt(), 0);
}

TEST_F(LoanFormFixture, AbandonedWindowsLeaveEveryTableAndTheAttachmentFolderAsTheyWere) {
  const QString src = userFile(QStringLiteral("借据.jpg"));
  const QString saved = savedLoan(person(QStringLiteral("丙")), Button::OncePrepaid, [](frmDkdjB& w) {
    setTerms(w, QStringLiteral("50000"), QStringLiteral("1"), false, kToday, kToday.addDays(10));
  });
  for (const auto& [edit, question] : {std::pair{false, "有未保存还款计划，是否删除并退出？"}, std::pair{true, "单据已修改，是否放弃修改并退出？"}}) {
    SCOPED_TRACE(edit ? "edit" : "new");
    const QStringList before = everything();
    const auto w = loanToClose(edit ? saved : QString(), person(QStringLiteral("丁")));
    if (edit) click(w->pbCDkdj->at(Button::OnceAll));
    w->添加附件(src);
    ASSERT_EQ(w->Attachments.size(), 1);
    responder_.clear();
    responder_.answer(Mb::Yes);
    click(w->pbCDkgh->at(1));
    EXPECT_EQ(responder_.texts(), QStringList{QString::fromUtf8(question)});
    EXPECT_EQ(everything(), before);
  }
  // An edit left untouched closes without a question.
  const auto w = opened(saved);
  responder_.clear();
  click(w->pbCDkgh->at(1));
  EXPECT_TRUE(responder_.messages.empty());
}

// Enter on a question that would throw away what the clerk typed answers No: the real box keeps the
// window open with the amount typed and writes nothing; only Yes closes it.
TEST_F(LoanFormFixture, DiscardQuestionEnterKeepsTheWindowAndWhatWasTyped) {
  const QString saved = savedLoan(person(QStringLiteral("丙")), Button::OnceAll);
  for (const auto& [question, edit] : {std::pair{"有未保存还款计划，是否删除并退出？", false}, std::pair{"单据已修改，是否放弃修改并退出？", true}}) {
    SCOPED_TRACE(question);
    const QStringList before = everything();
    const auto w = loanToClose(edit ? saved : QString(), person(QStringLiteral("丁")));
    w->show();
    const QStringList asked = pressOnRealMessageBoxes([&] { click(w->pbCDkgh->at(1)); }, Qt::Key_Return);
    EXPECT_EQ(asked, QStringList{QString::fromUtf8(question)});
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->txtDkdj[0]->text(), QStringLiteral("80000"));
    EXPECT_EQ(everything(), before);
    // Yes, by its key, does close it.
    EXPECT_EQ(pressOnRealMessageBoxes([&] { click(w->pbCDkgh->at(1)); }, Qt::Key_Y), asked);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(everything(), before);
  }
}

TEST_F(LoanFormFixture, NumbersNeverComeBackAndCountAboveOlderRows) {
  auto saveOne = [this] { return savedLoan(person(QStringLiteral("戊")), Button::OnceAll); };
  const QString first = saveOne();
  Db().Execute(QStringLiteral("delete from PJ_Dkjl where 单号=?"), {first});
  Db().Execute(QStringLiteral("delete from PJ_Hdjh where 单号=?"), {first});
  const QString second = saveOne();
  EXPECT_GT(second, first);
  // An older database: a higher number of the stem and no sequence row.
  Db().Execute(QStringLiteral("delete from PJ_Djxh"));
  const QString stem = DocumentNumberStem(QStringLiteral("D"));
  Db().Execute(QStringLiteral("update PJ_Hdjh set 单号=? where 单号=?"), {stem + QStringLiteral("041"), second});
  EXPECT_EQ(saveOne(), stem + QStringLiteral("042"));
  EXPECT_EQ(Db().scalar(QStringLiteral("select 序号 from PJ_Djxh where 前缀=?"), {stem}).toInt(), 42);
  // On SQL Server the sequence row stays locked to the commit.
  SqlDialect server;
  server.kind = DialectKind::SqlServer;
  EXPECT_TRUE(DocumentSequenceReadSql(server).contains(QStringLiteral("from PJ_Djxh with (updlock, holdlock) where 前缀=?")));
  EXPECT_FALSE(DocumentSequenceReadSql(SqlDialect{}).contains(QStringLiteral("updlock")));
}

TEST_F(LoanFormFixture, EditsKeepTheJournalRowsWhereTheyAreUnlessThePlanChanges) {
  const QString doc = savedLoan(person(QStringLiteral("己")), Button::OncePrepaid, [](frmDkdjB& w) {
    setTerms(w, QStringLiteral("50000"), QStringLiteral("1"), false, kToday, kToday.addDays(20));
  });
  savedLoan(person(QStringLiteral("庚")), Button::OnceAll);
  Db().Execute(QStringLiteral("update PJ_Liushui set 时间='2026-12-01 09:00:00', 我方账号=? where 单号=?"), {QStringLiteral("现金"), doc});
  const auto journal = [] {
    return Db().query(QStringLiteral("select 编号,单号,时间,金额,余额,我方账号,对方账号 from PJ_Liushui order by 编号")).rows;
  };
  const auto prepaidLinks = [&doc] {
    const QVariant plan = Db().scalar(QStringLiteral("select 计划ID from PJ_Hkjl where 单号=?"), {doc});
    const QVariant related = Db().scalar(QStringLiteral("select 对应ID from PJ_Liushui where 单号=? and 摘要=?"), {doc, QStringLiteral("贷款利息收入")});
    const QVariant paidRow = Db().scalar(QStringLiteral("select 编号 from PJ_Hdjh where 单号=? and 归还状态=?"), {doc, QStringLiteral("已还")});
    return std::tuple{plan.toLongLong(), related.toLongLong(), paidRow.toLongLong()};
  };
  const auto before = journal();
  const auto [planBefore, relatedBefore, rowBefore] = prepaidLinks();
  ASSERT_EQ(relatedBefore, rowBefore);
  for (const auto& [name, newPlan] : {std::pair{"remark", false}, std::pair{"new plan", true}}) {
    SCOPED_TRACE(name);
    const auto w = opened(doc);
    w->txtDkdj[7]->setText(QString::fromUtf8(name));
    if (newPlan) click(w->pbCDkdj->at(Button::OncePrepaid));
    save(*w);
    ASSERT_TRUE(w->Saved);
    EXPECT_EQ(journal(), before);  // same 编号, 时间, accounts and balances; the same amounts
    const auto [plan, related, row] = prepaidLinks();
    EXPECT_EQ(plan, row);
    EXPECT_EQ(related, row);
    if (newPlan)
      EXPECT_NE(row, rowBefore);
    else
      EXPECT_EQ(row, rowBefore);
    if (!newPlan) EXPECT_EQ(plan, planBefore);
  }
}

// The second window is told that its loan changed before anything about its own boxes or plan,
// even where the plan it keeps no longer repays its amount, and likewise when the loan is gone.
TEST_F(LoanFormFixture, AStaleEditIsRefusedAndWritesNothing) {
  struct Case {
    const char* what;
    std::function<void(frmDkdjB&)> first;  // what the first window saves; none: the loan is deleted
  };
  const Case cases[] = {
      {"remark", [](frmDkdjB& w) { w.txtDkdj[7]->setText(QStringLiteral("先")); }},
      {"amount and plan",
       [](frmDkdjB& w) {
         w.txtDkdj[0]->setText(QStringLiteral("60000"));
         click(w.pbCDkdj->at(Button::OnceAll));
       }},
      {"deleted meanwhile", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString doc = savedLoan(person(QString::fromUtf8(c.what)), Button::OnceAll);
    const auto first = opened(doc), second = opened(doc);
    second->txtDkdj[7]->setText(QStringLiteral("后"));
    if (c.first) {
      c.first(*first);
      save(*first);
      ASSERT_TRUE(first->Saved);
    } else {
      Db().Execute(QStringLiteral("delete from PJ_Dkjl where 单号=?"), {doc});
      Db().Execute(QStringLiteral("delete from PJ_Hdjh where 单号=?"), {doc});
    }
    const QStringList before = everything();
    responder_.clear();
    save(*second);
    EXPECT_FALSE(second->Saved);
    EXPECT_EQ(responder_.texts(), QStringList{DocumentChangedMessage()});
    EXPECT_EQ(everything(), before);
  }
}

TEST_F(LoanFormFixture, AStoredRemarkLongerThanItsColumnSurvivesAnEditOfAnotherBox) {
  auto w = newLoan(person(QStringLiteral("辛")));
  click(w->pbCDkdj->at(Button::OnceAll));
  save(*w);
  ASSERT_TRUE(w->Saved);
  const QString doc = w->单号;
  // Stored by the local file, which has no column lengths.
  const QString remark = QStringLiteral("长").repeated(300);
  Db().Execute(QStringLiteral("update PJ_Dkjl set 备注=? where 单号=?"), {remark, doc});

  for (const bool editRemark : {false, true}) {
    SCOPED_TRACE(editRemark ? "remark shortened" : "other box");
    responder_.clear();
    const auto e = opened(doc);
    ASSERT_EQ(e->txtDkdj[7]->text(), remark);
    e->txtDkdj[5]->setFocus();
    QTest::keyClicks(e->txtDkdj[5], QStringLiteral("house"));
    if (editRemark) {
      e->txtDkdj[7]->end(false);
      QTest::keyClick(e->txtDkdj[7], Qt::Key_Backspace);
    }
    save(*e);
    EXPECT_EQ(e->Saved, !editRemark);
    EXPECT_EQ(field(QStringLiteral("备注"), QStringLiteral("PJ_Dkjl"), doc).toString(), remark);
    if (editRemark) {
      EXPECT_TRUE(responder_.saw(QStringLiteral("备注不能超过255个字！")));
      EXPECT_TRUE(marked(e->txtDkdj[7]));
    } else {
      EXPECT_EQ(field(QStringLiteral("抵押资产"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("house"));
    }
  }
}

// ---- the parties as they are when the save runs

TEST_F(LoanFormFixture, PartiesGoneOrFrozenSinceThePickRefuseTheSaveAndWriteNothing) {
  gSystemSettings[5] = QStringLiteral("1");
  ownAccount(QStringLiteral("工商银行"), QStringLiteral("示范公司"), QStringLiteral("6222-001"));
  struct Case {
    const char* what;
    std::function<void(qint32 borrower, qint32 guarantor, qint32 firm)> meanwhile;
    const char* message;
    bool accounts = false;  // 记账 opens first: a party gone is said before it, a freeze found in the save after it
  };
  const Case cases[] = {
      {"borrower deleted", [](qint32 b, qint32, qint32) { Db().Execute(QStringLiteral("delete from PJ_Kehu where 编号=?"), {b}); },
       "借款客户已被删除，请重新选择！"},
      {"guarantor deleted", [](qint32, qint32 g, qint32) { Db().Execute(QStringLiteral("delete from PJ_Kehu where 编号=?"), {g}); },
       "保证人“保人”已被删除，请重新选择！"},
      {"guarantee company deleted",
       [](qint32, qint32, qint32 f) { Db().Execute(QStringLiteral("delete from PJ_Kehu_Gs where 编号=?"), {f}); },
       "担保企业“保证公司”已被删除，请重新选择！"},
      {"borrower given an open loan by another save",
       [](qint32 b, qint32, qint32) { storedLoan(QStringLiteral("D800"), QStringLiteral("个人"), b, QStringLiteral("0"), QStringLiteral("0")); },
       "该用户有未完结借款，临时被冻结。", true},
      {"borrower made guarantor of an open loan by another save",
       [](qint32 b, qint32, qint32) {
         storedLoan(QStringLiteral("D801"), QStringLiteral("个人"), person(QStringLiteral("他人")), QStringLiteral("7,%1").arg(b), QStringLiteral("0"));
       },
       "该用户目前在担保期间，临时被冻结。", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Db().Execute(QStringLiteral("delete from PJ_Dkjl"));
    const qint32 borrower = person(QStringLiteral("借款人")), guarantor = person(QStringLiteral("保人"));
    const qint32 firm = company(QStringLiteral("保证公司"));
    auto w = newLoan(borrower);
    answerPick(guarantor);
    click(w->pbCJkzl->at(0));
    answerPick(firm);
    click(w->pbCJkzl->at(6));
    click(w->pbCDkdj->at(Button::OncePrepaid));
    c.meanwhile(borrower, guarantor, firm);
    const QStringList before = everything();
    responder_.clear();
    modal_.shown.clear();
    modal_.handlers.push_back(AcceptAccounts());
    save(*w);
    EXPECT_FALSE(w->Saved);
    EXPECT_EQ(responder_.texts(), QStringList{QString::fromUtf8(c.message)});
    EXPECT_EQ(modal_.shown, c.accounts ? std::vector<QString>{QStringLiteral("frmXjyh")} : std::vector<QString>{});
    modal_.handlers.clear();
    EXPECT_EQ(everything(), before);
  }
}

// A borrower is never his own guarantor, nor a company its own guarantee company; a person and a
// company of one number are two parties.
TEST_F(LoanFormFixture, ABorrowerIsNeverHisOwnGuarantor) {
  const qint32 id = person(QStringLiteral("自保人"));
  Db().Execute(QStringLiteral("update PJ_Kehu_Gs set 编号=? where 编号=?"), {id, company(QStringLiteral("自保公司"))});
  struct Case {
    const char* kind;
    int pick;  // 保证人 (0) or 企业担保 (6)
    bool refused;
  };
  const Case cases[] = {{"个人", 0, true}, {"个人", 6, false}, {"企业", 6, true}, {"企业", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.pick));
    auto w = newLoan(id, QString::fromUtf8(c.kind));
    ASSERT_EQ(w->CustomerId, id);
    responder_.clear();
    answerPick(id);
    click(w->pbCJkzl->at(c.pick));
    EXPECT_EQ(responder_.texts(), c.refused ? QStringList{LoanStore::OwnGuarantorMessage()} : QStringList{});
    EXPECT_EQ(w->GuarantorIds.size() + w->CompanyIds.size(), c.refused ? 0 : 1);
  }

  // A loan stored with its borrower among its guarantors is refused at the save, with nothing written.
  const QString doc = savedLoan(id, Button::OnceAll);
  Db().Execute(QStringLiteral("update PJ_Dkjl set 保证人=? where 单号=?"), {QString::number(id), doc});
  const auto e = opened(doc);
  e->txtDkdj[7]->setText(QStringLiteral("改"));
  const QStringList before = everything();
  responder_.clear();
  save(*e);
  EXPECT_FALSE(e->Saved);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("借款人不能作为本笔借款的保证人！")});
  EXPECT_EQ(everything(), before);
}

TEST_F(LoanFormFixture, AnEditListsAGuarantorDeletedSinceAndSavesOnceItIsRemoved) {
  const qint32 kept = person(QStringLiteral("留下")), gone = person(QStringLiteral("走了"));
  const qint32 firm = company(QStringLiteral("没了公司"));
  QString doc;
  {
    auto w = newLoan(person(QStringLiteral("借款人")));
    for (qint32 id : {kept, gone}) {
      answerPick(id);
      click(w->pbCJkzl->at(0));
    }
    answerPick(firm);
    click(w->pbCJkzl->at(6));
    click(w->pbCDkdj->at(Button::OnceAll));
    save(*w);
    ASSERT_TRUE(w->Saved);
    doc = w->单号;
  }
  Db().Execute(QStringLiteral("delete from PJ_Kehu where 编号=?"), {gone});
  Db().Execute(QStringLiteral("delete from PJ_Kehu_Gs where 编号=?"), {firm});
  const auto e = opened(doc);
  const auto rowOf = [](Grid* g, qint32 id) {
    for (int r = g->fixedRows(); r < g->rows(); ++r)
      if (g->textMatrix(r, 0) == QString::number(id)) return r;
    return -1;
  };
  ASSERT_EQ(e->Fg2->dataRowCount(), 2);
  ASSERT_GE(rowOf(e->Fg2, gone), 0);
  EXPECT_EQ(e->Fg2->textMatrix(rowOf(e->Fg2, gone), 1), QStringLiteral("（已删除）"));
  EXPECT_EQ(e->Fg2->textMatrix(rowOf(e->Fg2, kept), 1), QStringLiteral("留下"));
  ASSERT_EQ(e->Fg3->dataRowCount(), 1);
  EXPECT_EQ(e->Fg3->textMatrix(1, 1), QStringLiteral("（已删除）"));

  // Saved as it stands, the deleted guarantor is named as the window lists it.
  responder_.clear();
  save(*e);
  EXPECT_FALSE(e->Saved);
  EXPECT_EQ(responder_.texts(), QStringList{QStringLiteral("保证人“（已删除）”已被删除，请重新选择！")});

  e->Fg2->setRow(rowOf(e->Fg2, gone));
  click(e->pbCJkzl->at(2));
  e->Fg3->setRow(1);
  click(e->pbCJkzl->at(7));
  save(*e);
  ASSERT_TRUE(e->Saved);
  EXPECT_EQ(field(QStringLiteral("保证人"), QStringLiteral("PJ_Dkjl"), doc).toString(), QString::number(kept));
  EXPECT_EQ(field(QStringLiteral("担保企业"), QStringLiteral("PJ_Dkjl"), doc).toString(), QStringLiteral("0"));
}

TEST_F(LoanFormFixture, AKeptPlanKeepsTheInterestItsRowsTookWhateverItsNameSays) {
  // Rows of an older version can carry a plan name that does not say the interest was taken.
  for (const char* name : {"一次性归还本息", "等额本金"}) {
    SCOPED_TRACE(name);
    const QString doc = savedLoan(person(QStringLiteral("借款人")), Button::OncePrepaid, [](frmDkdjB& w) {
      setTerms(w, QStringLiteral("50000"), QStringLiteral("1"), false, kToday, kToday.addDays(20));
    });
    Db().Execute(QStringLiteral("update PJ_Dkjl set 还款计划=? where 单号=?"), {QString::fromUtf8(name), doc});
    const double prepaid = sum(QStringLiteral("利息"), QStringLiteral("PJ_Hkjl"), doc);
    ASSERT_GT(prepaid, 0);
    const auto journal = [&doc] { return Db().query(QStringLiteral("select 编号,摘要,金额,余额 from PJ_Liushui where 单号=? order by 编号"), {doc}).rows; };
    const auto rowsBefore = journal();
    const auto e = opened(doc);
    e->txtDkdj[7]->setText(QStringLiteral("只改备注"));
    save(*e);
    ASSERT_TRUE(e->Saved);
    EXPECT_DOUBLE_EQ(field(QStringLiteral("已还利息"), QStringLiteral("PJ_Dkjl"), doc).toDouble(), prepaid);
    EXPECT_DOUBLE_EQ(sum(QStringLiteral("利息"), QStringLiteral("PJ_Hkjl"), doc), prepaid);
    EXPECT_EQ(journal(), rowsBefore);
  }
}

TEST_F(LoanFormFixture, AnEditKeepsItsJournalAccountsUnlessTheUserChangesThem) {
  const qint32 borrower = person(QStringLiteral("借款人"));
  ExpectEditsKeepJournalAccounts(
      modal_, {[&] {
                 Db().Execute(QStringLiteral("update PJ_Dkjl set 结算状态=?"), {QStringLiteral("已完结")});  // frees the borrower for the next loan
                 return savedLoan(borrower, Button::OncePrepaid, [](frmDkdjB& w) {
                   setTerms(w, QStringLiteral("50000"), QStringLiteral("1"), false, kToday, kToday.addDays(20));
                 });
               },
               [](const QString& doc) {
                 const auto e = opened(doc);
                 e->txtDkdj[0]->setText(QStringLiteral("60000"));
                 click(e->pbCDkdj->at(Button::OncePrepaid));
                 save(*e);
                 return e->Saved && field(QStringLiteral("本金"), QStringLiteral("PJ_Dkjl"), doc).toDouble() == 60000;
               }});
}
