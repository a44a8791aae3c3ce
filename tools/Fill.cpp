#include "tools/Fill.h"

#include <QDateTime>
#include <QStringList>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/data/DefaultSettings.h"
#include "app/services/BankInfo.h"
#include "app/services/LoginState.h"
#include "app/services/Pinyin.h"
#include "app/services/SettingsList.h"
#include "financing/FinancingCalc.h"
#include "financing/FinancingData.h"
#include "loans/LoanCalc.h"
#include "loans/LoanRecords.h"
#include "loans/LoanStore.h"
#include "loans/RepaymentCalc.h"
#include "platform/Clock.h"
#include "platform/Money.h"

InstalmentState ReadInstalment(const QVariantList& v, int at) {
  InstalmentState s;
  s.period = static_cast<int>(VariantNumber(v.value(at)));
  s.loanPrincipal = VariantNumber(v.value(at + 1));
  s.duePrincipal = VariantNumber(v.value(at + 2));
  s.dueInterest = VariantNumber(v.value(at + 3));
  s.paidPrincipal = VariantNumber(v.value(at + 4));
  s.paidInterest = VariantNumber(v.value(at + 5));
  s.status = VariantText(v.value(at + 6));
  s.start = QDate::fromString(VariantText(v.value(at + 7)), Qt::ISODate);
  s.due = QDate::fromString(VariantText(v.value(at + 8)), Qt::ISODate);
  s.lastPaid = QDate::fromString(VariantText(v.value(at + 9)), Qt::ISODate);
  return s;
}

qint64 FillCounts::total() const {
  return persons + companies + investors + staff + loans + planRows + repayments + financings + financingRows + payments +
         journal;
}

void FillLoginState() {
  gLoginAccount = QStringLiteral("超级管理员");
  gCurrentUserId = 1;
  gUserName = QStringLiteral("管理员");
  gCurrentUserRole = 3;
  gUserDept = QStringLiteral("综合部");
  gDeptRights = QStringLiteral("综合部");
  gUserDeptId = 1;
  gMachineId = 1;
  ConvertSettingsList(DefaultSettingsList(QStringLiteral("管理员")), QStringLiteral("读"));
}

namespace {

// A small generator of our own, so the same seed gives the same business on every machine.
class Dice {
 public:
  explicit Dice(quint64 seed) : g_(seed) {}
  // A whole number from lo to hi, both included.
  int between(int lo, int hi) { return lo + static_cast<int>(g_() % static_cast<quint64>(hi - lo + 1)); }
  // True with the given chance in percent.
  bool percent(int p) { return between(1, 100) <= p; }
  template <class T>
  const T& of(const std::vector<T>& v) { return v[static_cast<size_t>(between(0, static_cast<int>(v.size()) - 1))]; }
  QString digits(int n) {
    QString s;
    for (int i = 0; i < n; ++i) s += QChar(u'0' + between(0, 9));
    return s;
  }

 private:
  std::mt19937_64 g_;
};

const std::vector<QString>& surnames() {
  static const std::vector<QString> v = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱",
                                         "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯"};
  return v;
}
const std::vector<QString>& givenChars() {
  static const std::vector<QString> v = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟",
                                         "涛", "明", "超", "秀", "霞", "平", "刚", "桂", "英", "华", "文", "建", "国", "红"};
  return v;
}
const std::vector<QString>& banks() {
  static const std::vector<QString> v = {"中国工商银行", "中国农业银行", "中国银行", "中国建设银行", "交通银行", "招商银行",
                                         "农村信用社"};
  return v;
}

QString personName(Dice& d) {
  QString n = d.of(surnames()) + d.of(givenChars());
  if (d.percent(70)) n += d.of(givenChars());
  return n;
}

QString companyName(Dice& d) {
  static const std::vector<QString> places = {"江南", "华东", "新城", "东湖", "金山", "云海", "南岭", "北辰", "西江"};
  static const std::vector<QString> trades = {"建材", "商贸", "物流", "食品", "纺织", "机械", "电子", "农业", "装饰"};
  return d.of(places) + d.of(givenChars()) + d.of(trades) + QStringLiteral("有限公司");
}

QString mobile(Dice& d) { return QStringLiteral("13") + d.digits(9); }

struct Party {
  qint32 id = 0;
  QString name, bank, holder, account;
};

// The plan shapes a business uses, with how often (percent) each button is pressed.
struct Shape {
  int button;
  int weight;
};
const std::vector<Shape> kLoanShapes = {
    {LoanCalc::OnceAll, 18},
    {LoanCalc::OncePrepaid, 10},
    {LoanCalc::EqualPrincipalAhead, 12},
    {LoanCalc::EqualPrincipalArrears, 15},
    {LoanCalc::EqualInstalment, 25},
    {LoanCalc::InterestAhead, 8},
    {LoanCalc::InterestArrears, 12},
};

int pickShape(Dice& d, const std::vector<Shape>& shapes) {
  int roll = d.between(1, 100);
  for (const Shape& s : shapes) {
    if (roll <= s.weight) return s.button;
    roll -= s.weight;
  }
  return shapes.back().button;
}

// What the fill has still to do on one day: a new document, or a payment on a plan row.
enum class Job { Loan, Financing, Repay, Pay };
enum class Way { OnTime, Late, Partial, Early };
struct Task {
  Job job;
  Way way = Way::OnTime;
  qint32 ref = 0;  // index of the document spec, or the plan row's 编号
  qint32 doc = 0;  // index of the document spec (payments)
};

struct LoanSpec {
  QDate day;
  bool company = false;
  qint32 party = 0;  // index into persons or companies
  QString handler;
  bool review = false;
};
struct FinancingSpec {
  QDate day;
  qint32 investor = 0;
  QString handler;
};

class Filler {
 public:
  Filler(const FillOptions& o, const std::function<void(const QString&)>& progress)
      : o_(o), d_(o.seed), progress_(progress) {}

  FillCounts run() {
    first_ = o_.lastDay.addYears(-5).addDays(1);
    parties();
    plan();
    days();
    return c_;
  }

 private:
  qint64 scaled(double full) const { return std::max<qint64>(1, std::llround(full * o_.scale)); }

  void say(const QString& line) {
    if (progress_) progress_(line);
  }

  // ---- people

  // A party with its own bank account in its name.
  Party party(const QString& name, const char* accountPrefix) {
    Party p;
    p.name = name;
    p.bank = d_.of(banks());
    p.holder = name;
    p.account = QString::fromUtf8(accountPrefix) + d_.digits(15);
    return p;
  }
  void keep(std::vector<Party>& list, qint64& counter, Party& p) {
    p.id = static_cast<qint32>(Db().lastInsertId());
    list.push_back(p);
    ++counter;
  }

  // A new customer (a person, or a company); its index in its list.
  qint32 addCustomer(bool company) {
    Connection& db = Db();
    if (!company) {
      Party p = party(personName(d_), "6228");
      db.Execute(QStringLiteral("insert into PJ_Kehu (姓名,助记符,性别,生日,手机,身份证号,家庭住址,职业,开户行,开户名,银行帐号,"
                                "不良贷款记录,建档人) values (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                 {p.name, GetPinyinInitials(p.name), d_.percent(55) ? QStringLiteral("男") : QStringLiteral("女"),
                  QDate(d_.between(1955, 2000), d_.between(1, 12), d_.between(1, 28)).toString(Qt::ISODate), mobile(d_),
                  QStringLiteral("3301") + d_.digits(14), QStringLiteral("幸福路%1号").arg(d_.between(1, 999)),
                  QStringLiteral("个体经营"), p.bank, p.holder, p.account, d_.percent(5) ? QStringLiteral("有") : QStringLiteral("无"),
                  gUserName});
      keep(persons_, c_.persons, p);
      return static_cast<qint32>(persons_.size()) - 1;
    }
    Party p = party(companyName(d_), "3301");
    db.Execute(QStringLiteral("insert into PJ_Kehu_Gs (公司名称,助记符,法人姓名,法人职务,营业执照注册号,住所地,开户行,开户名,"
                              "银行帐号,不良贷款记录,手机,建档人) values (?,?,?,?,?,?,?,?,?,?,?,?)"),
               {p.name, GetPinyinInitials(p.name), personName(d_), QStringLiteral("总经理"), d_.digits(15),
                QStringLiteral("工业园区%1号").arg(d_.between(1, 500)), p.bank, p.holder, p.account, QStringLiteral("无"),
                mobile(d_), gUserName});
    keep(companies_, c_.companies, p);
    return static_cast<qint32>(companies_.size()) - 1;
  }

  void parties() {
    Connection& db = Db();
    Transaction tx;
    // A few staff members handle the business, in the one department of a new database.
    for (int i = 0; i < 8; ++i) {
      const QString name = personName(d_);
      handlers_.push_back(name);
      db.Execute(QStringLiteral("insert into PJ_Admin (登录账号,登录密码,姓名,助记符,手机,科室,对应科室ID,账号级别,账号属性,锁定,"
                                "模块权限,科室权限,客户端权限,性别) values (?,?,?,?,?,?,1,?,0,?,?,?,?,?)"),
                 {QStringLiteral("staff%1").arg(i + 1), QStringLiteral("MTIz"), name, GetPinyinInitials(name), mobile(d_),
                  QStringLiteral("综合部"), QStringLiteral("普通账户"), QStringLiteral("否"), QString(), QStringLiteral("综合部"),
                  QString(), d_.percent(50) ? QStringLiteral("男") : QStringLiteral("女")});
      ++c_.staff;
    }
    // The business's own accounts, which the account picker offers for every movement.
    for (int i = 0; i < 3; ++i) {
      Party own;
      own.bank = banks()[static_cast<size_t>(i)];
      own.holder = QStringLiteral("示范借贷有限公司");
      own.account = QStringLiteral("6222") + d_.digits(15);
      db.Execute(QStringLiteral("insert into PJ_Yhzh (开户行,开户名,账号,类别) values (?,?,?,0)"), {own.bank, own.holder, own.account});
      ownAccounts_.push_back(own);
    }
    const qint64 companies = scaled(6000), persons = scaled(20000) - companies, investors = scaled(2000);
    for (qint64 i = 0; i < persons; ++i) addCustomer(false);
    for (qint64 i = 0; i < companies; ++i) addCustomer(true);
    for (qint64 i = 0; i < investors; ++i) {
      Party p = party(personName(d_), "6217");
      db.Execute(QStringLiteral("insert into PJ_Gd (姓名,助记符,性别,家庭住址,手机,身份证号,开户行,开户名,银行账号,备注,建档人) "
                                "values (?,?,?,?,?,?,?,?,?,?,?)"),
                 {p.name, GetPinyinInitials(p.name), d_.percent(50) ? QStringLiteral("男") : QStringLiteral("女"),
                  QStringLiteral("和平街%1号").arg(d_.between(1, 999)), mobile(d_), QStringLiteral("3302") + d_.digits(14), p.bank,
                  p.holder, p.account, QString(), gUserName});
      keep(investors_, c_.investors, p);
    }
    tx.Commit();
    say(QStringLiteral("customers %1, companies %2, investors %3").arg(c_.persons).arg(c_.companies).arg(c_.investors));
  }

  // ---- the documents of the five years, each on its day

  void plan() {
    const int span = static_cast<int>(first_.daysTo(o_.lastDay));
    const qint64 loans = scaled(100000), financings = scaled(10000);
    for (qint64 i = 0; i < loans; ++i) {
      LoanSpec s;
      s.day = first_.addDays(d_.between(0, span));
      s.company = d_.percent(25);
      s.party = d_.between(0, static_cast<int>((s.company ? companies_ : persons_).size()) - 1);
      s.handler = d_.of(handlers_);
      // The last weeks' loans are partly still waiting for approval.
      s.review = s.day.daysTo(o_.lastDay) < 60 && d_.percent(50);
      loans_.push_back(s);
      schedule(s.day, {Job::Loan, Way::OnTime, static_cast<qint32>(i), static_cast<qint32>(i)});
    }
    for (qint64 i = 0; i < financings; ++i) {
      FinancingSpec s;
      s.day = first_.addDays(d_.between(0, span));
      s.investor = d_.between(0, static_cast<int>(investors_.size()) - 1);
      s.handler = d_.of(handlers_);
      financings_.push_back(s);
      schedule(s.day, {Job::Financing, Way::OnTime, static_cast<qint32>(i), static_cast<qint32>(i)});
    }
  }

  void schedule(const QDate& day, const Task& t) {
    if (day > o_.lastDay) return;
    // Nothing is done on a day already past: it waits for the day being filled.
    agenda_[today_.isValid() && day < today_ ? today_ : day].push_back(t);
  }

  void days() {
    Connection& db = Db();
    const QString stampLast = QStringLiteral("select max(编号) from %1");
    int dayNo = 0;
    const int total = static_cast<int>(first_.daysTo(o_.lastDay)) + 1;
    while (!agenda_.empty()) {
      auto it = agenda_.begin();
      const QDate day = it->first;
      today_ = day;
      Clock::setFixed(QDateTime(day, QTime(9, 30)));
      const qint64 journalFrom = db.scalar(stampLast.arg(QStringLiteral("PJ_Liushui"))).toLongLong();
      const qint64 repaidFrom = db.scalar(stampLast.arg(QStringLiteral("PJ_Hkjl"))).toLongLong();
      const qint64 paidFrom = db.scalar(stampLast.arg(QStringLiteral("PJ_Cjzfjl"))).toLongLong();
      Transaction tx;
      // Tasks of the day may add tasks of the same day (a row due at once); take them as they come.
      for (size_t i = 0; i < it->second.size(); ++i) {
        const Task t = it->second[i];
        switch (t.job) {
          case Job::Loan: newLoan(t.ref); break;
          case Job::Financing: newFinancing(t.ref); break;
          case Job::Repay: repay(t, day); break;
          case Job::Pay: pay(t, day); break;
        }
      }
      // The rows the database stamped now were written on this business day.
      const QString stamp = day.toString(Qt::ISODate) + QStringLiteral(" 10:00:00");
      db.Execute(QStringLiteral("update PJ_Liushui set 时间=? where 编号>?"), {stamp, journalFrom});
      db.Execute(QStringLiteral("update PJ_Hkjl set 日期=? where 编号>?"), {stamp, repaidFrom});
      db.Execute(QStringLiteral("update PJ_Cjzfjl set 日期=? where 编号>?"), {stamp, paidFrom});
      tx.Commit();
      agenda_.erase(it);
      if (++dayNo % 30 == 0 || agenda_.empty()) {
        c_.journal = db.scalar(QStringLiteral("select count(*) from PJ_Liushui")).toLongLong();
        say(QStringLiteral("%1  day %2/%3  loans %4  plan rows %5  repayments %6  financings %7  payments %8  journal %9")
                .arg(day.toString(Qt::ISODate))
                .arg(std::min(dayNo, total))
                .arg(total)
                .arg(c_.loans)
                .arg(c_.planRows)
                .arg(c_.repayments)
                .arg(c_.financings)
                .arg(c_.payments)
                .arg(c_.journal));
      }
    }
    Clock::setFixed(QDateTime());
  }

  // Our side of a movement: one of the business's accounts, as the account picker gives it.
  void bankData(const Party& counterparty) {
    const Party& own = d_.of(ownAccounts_);
    gBankInfo[0] = own.bank;
    gBankInfo[1] = own.holder;
    gBankInfo[2] = own.account;
    gBankInfo[3] = counterparty.bank;
    gBankInfo[4] = counterparty.holder;
    gBankInfo[5] = counterparty.account;
  }

  // ---- loans

  void newLoan(qint32 index) {
    LoanSpec& s = loans_[static_cast<size_t>(index)];
    // A customer with an open loan is refused by the save, as by the window: a new customer borrows.
    if (LoanStore::BorrowerFreeze(!s.company, (s.company ? companies_ : persons_)[static_cast<size_t>(s.party)].id, QString()) !=
        LoanStore::Freeze::None)
      s.party = addCustomer(s.company);
    const Party& who = (s.company ? companies_ : persons_)[static_cast<size_t>(s.party)];
    const int button = pickShape(d_, kLoanShapes);
    LoanCalc::LoanTerms t;
    t.amount = d_.between(1, 300) * 1000.0 + (d_.percent(20) ? d_.between(1, 99) * 10.0 : 0.0);
    t.rateType = d_.percent(60) ? LoanCalc::kMonthly : LoanCalc::kDaily;
    t.rate = t.rateType == LoanCalc::kDaily ? d_.between(3, 10) / 100.0 : d_.between(10, 30) / 10.0;
    t.overdueRate = t.rate * 1.5;
    t.bothEnds = d_.percent(10);
    t.registered = s.day;
    t.start = s.day;
    t.end = s.day.addMonths(d_.between(1, 12));
    t.customer = who.name;
    t.handler = s.handler;
    LoanCalc::Instalments inst;
    if (LoanCalc::IsInstalment(button)) {
      static const std::vector<int> counts = {3, 6, 6, 6, 9, 12, 12, 12};
      inst.monthly = d_.percent(85);
      inst.count = inst.monthly ? d_.of(counts) : d_.between(2, 6);
      inst.first = inst.monthly ? s.day.addMonths(1) : s.day.addDays(30);
    }
    if (const auto problem = LoanCalc::CheckTerms(t, button, inst))
      throw AppError(Err::InvalidCall, QStringLiteral("fill: ") + problem->message);

    const LoanCalc::Plan plan = LoanCalc::BuildPlan(button, t, inst);

    LoanStore::LoanDocument doc;
    doc.plan = plan;
    doc.needsReview = s.review;
    LoanStore::LoanRecord& rec = doc.record;
    rec.registered = s.day;
    rec.customerKind = s.company ? QStringLiteral("企业") : QStringLiteral("个人");
    rec.customerId = who.id;
    rec.customerName = who.name;
    rec.amount = t.amount;
    rec.rateType = plan.rateType;
    rec.rate = t.rate;
    rec.overdueRate = t.overdueRate;
    rec.working = plan.working;
    rec.bothEnds = t.bothEnds;
    rec.start = t.start;
    rec.end = plan.end;
    rec.planName = plan.name;
    rec.prepaid = plan.prepaid;
    rec.purpose = QStringLiteral("经营周转");
    rec.industry = s.company ? QStringLiteral("制造业") : QStringLiteral("个体经营");
    rec.handler = s.handler;
    rec.dept = QStringLiteral("综合部");
    const QString refusal = LoanStore::SaveRefusal(doc);
    if (!refusal.isEmpty()) throw AppError(Err::InvalidCall, QStringLiteral("fill: ") + refusal);
    bankData(who);
    const QString docNo = LoanStore::SaveLoanDocument(doc);
    ++c_.loans;
    c_.planRows += static_cast<qint64>(plan.rows.size());
    if (s.review) return;  // not approved yet: nothing is collected on it

    terms_[docNo] = {rec.rateType, rec.rate, rec.working.overdueDailyRate};
    for (const LoanStore::StoredRow& r : LoanStore::PlanRows(docNo)) {
      if (r.status == QStringLiteral("已还")) continue;
      const LoanCalc::PlanRow* built = nullptr;
      for (const auto& b : plan.rows)
        if (b.period == r.period) built = &b;
      if (!built) continue;
      const int roll = d_.between(1, 100);
      Task task{Job::Repay, Way::OnTime, static_cast<qint32>(r.id), index};
      if (roll <= 8) continue;  // never repaid: it stays open in the reports and the calendar
      QDate when = built->due;
      if (roll <= 22) {
        task.way = Way::Late;
        when = built->due.addDays(d_.between(1, 75));
      } else if (roll <= 30) {
        task.way = Way::Partial;
      } else if (roll <= 36 && built->start < built->due) {
        task.way = Way::Early;
        when = built->start.addDays(d_.between(0, static_cast<int>(built->start.daysTo(built->due)) - 1));
        if (when < s.day) when = s.day;
      }
      schedule(when, task);
    }
  }

  void repay(const Task& t, const QDate& day) {
    // Read as the repayment window reads it: the row with its loan's 版本, which the save claims.
    const InstalmentRead seen = ReadInstalmentRow(t.ref);
    const QString& docNo = seen.docNo;
    const InstalmentState& row = seen.row;
    if (row.status == QStringLiteral("已还")) return;
    const LoanRateTerms& terms = terms_.at(docNo);
    const bool early = t.way == Way::Early && day < row.due;
    RepaymentProposal p = early ? RepaymentCalc::ProposeEarlyRepayment(terms, row, day)
                                : RepaymentCalc::ProposeRepayment(terms, row, day);
    RepaymentEntry e;
    e.planId = t.ref;
    e.seen = seen;
    e.date = day;
    e.handler = loans_[static_cast<size_t>(t.doc)].handler;
    e.early = early;
    e.principal = p.principal;
    e.interest = p.interest;
    e.fee = p.fee;
    e.status = p.status;
    if (t.way == Way::Partial) {
      // The borrower brings part of it: the interest and half of the principal; the rest later or never.
      e.principal = Money::round(p.principal / 2, 2);
      e.fee = 0;
      e.status = RepaymentCalc::StatusFor(e.principal + e.interest, p.amountDue);
      if (d_.percent(70)) schedule(day.addDays(d_.between(5, 60)), {Job::Repay, Way::Late, t.ref, t.doc});
    }
    if (e.principal + e.interest + e.fee <= 0) return;
    const LoanSpec& s = loans_[static_cast<size_t>(t.doc)];
    bankData((s.company ? companies_ : persons_)[static_cast<size_t>(s.party)]);
    if (SaveRepayment(e) == RepaymentSaved::Saved) ++c_.repayments;
  }

  // ---- financing

  void newFinancing(qint32 index) {
    const FinancingSpec& s = financings_[static_cast<size_t>(index)];
    const Party& who = investors_[static_cast<size_t>(s.investor)];
    static const std::vector<Shape> shapes = {{btn一次性支付本息, 30}, {btn一次性先付利息, 10}, {btn等额本金先付, 10},
                                              {btn等额本金后付, 15},  {btn等额本息, 15},      {btn分期付息先息, 5},
                                              {btn分期付息后息, 15}};
    const int button = pickShape(d_, shapes);
    FinancingTerms t;
    t.本金 = d_.between(10, 500) * 1000.0;
    t.利率类别 = d_.percent(70) ? QStringLiteral("月") : QStringLiteral("日");
    t.利率 = t.利率类别 == QStringLiteral("日") ? d_.between(2, 6) / 100.0 : d_.between(6, 18) / 10.0;
    t.提前支取利率 = t.利率 / 2;
    t.提成比例 = 0;
    t.首尾计息 = d_.percent(10);
    t.登记日期 = s.day;
    t.起息日期 = s.day;
    t.止息日期 = s.day.addMonths(d_.between(3, 24));
    t.客户名称 = who.name;
    t.业务经办 = s.handler;
    InstalmentOptions options;
    if (IsInstalmentButton(button)) {
      options.分期数 = d_.between(3, 12);
      options.unit = QLatin1Char('M');
      options.首次支付日期 = s.day.addMonths(1);
    }
    const FinancingPlan plan = BuildFinancingPlan(t, button, &options);

    FinancingDocument doc;
    doc.plan = plan;
    FinancingRecordInput& in = doc.record;
    in.登记日期 = s.day;
    in.起息日期 = t.起息日期;
    in.止息日期 = plan.止息日期.isValid() ? plan.止息日期 : t.止息日期;
    in.利率类别 = plan.利率类别.isEmpty() ? t.利率类别 : plan.利率类别;
    in.客户名称 = who.name;
    in.业务经办 = s.handler;
    in.拆借类别 = d_.percent(80) ? QStringLiteral("外拆") : QStringLiteral("自有");
    in.部门 = QStringLiteral("综合部");
    in.支付计划 = plan.支付计划;
    in.本金 = t.本金;
    in.利率 = t.利率;
    in.提前支取利率 = t.提前支取利率;
    in.提成比例 = t.提成比例;
    in.日利率 = plan.日利率;
    in.提前支取日利率 = plan.提前支取日利率;
    in.利率系数 = plan.利率系数;
    in.首尾计息 = t.首尾计息;
    in.客户ID = who.id;
    bankData(who);
    const QString docNo = SaveFinancingDocument(doc);
    ++c_.financings;
    c_.financingRows += static_cast<qint64>(plan.rows.size());

    const QueryResult rows = Db().query(
        QStringLiteral("select 编号,结算状态,开始日期,约定支付日期 from PJ_Cjzfjh where 单号=? order by 支付期次"), {docNo});
    for (const QVariantList& r : rows.rows) {
      if (VariantText(r[1]) == QStringLiteral("已付")) continue;
      const QDate start = QDate::fromString(VariantText(r[2]), Qt::ISODate);
      const QDate due = QDate::fromString(VariantText(r[3]), Qt::ISODate);
      Task task{Job::Pay, Way::OnTime, static_cast<qint32>(VariantNumber(r[0])), index};
      QDate when = due;
      const int roll = d_.between(1, 100);
      if (roll <= 8 && start < due) {
        task.way = Way::Early;  // the investor takes the money back before the date
        when = start.addDays(d_.between(0, static_cast<int>(start.daysTo(due)) - 1));
      } else if (roll <= 15) {
        when = due.addDays(d_.between(1, 20));
      }
      schedule(when, task);
    }
  }

  void pay(const Task& t, const QDate& day) {
    const PlanRowRead seen = ReadPlanRow(t.ref);
    const QString& docNo = seen.docNo;
    const PlanRowState& row = seen.row;
    if (row.结算状态 == QStringLiteral("已付")) return;
    PaymentPosting post;
    post.planRowId = t.ref;
    post.seen = seen;
    post.date = day;
    post.handler = financings_[static_cast<size_t>(t.doc)].handler;
    if (t.way == Way::Early && day < row.约定支付日期) {
      const PaymentProposal p = ProposeEarlyPayment(LoadFinancingRates(docNo), row, day);
      post.本金 = p.本金;
      post.利息 = p.利息;
      post.提前支取扣款 = p.提前支取扣款;
      // Some investors take back only part of the principal; the rest is paid when it falls due.
      if (p.本金 >= 2 && d_.percent(40)) {
        post.本金 = Money::round(p.本金 / 2, 2);
        schedule(row.约定支付日期, Task{Job::Pay, Way::OnTime, t.ref, t.doc});
      }
      post.付款状态 = FinancingRowStatus(post.本金, p.本金, post.利息, p.利息);
      post.备注 = QStringLiteral("提前支取");
      post.early = true;
    } else {
      const PaymentProposal p = ProposePayment(row, day);
      post.本金 = p.本金;
      post.利息 = p.利息;
      post.付款状态 = p.付款状态;
    }
    if (post.本金 + post.利息 <= 0) return;
    bankData(investors_[static_cast<size_t>(financings_[static_cast<size_t>(t.doc)].investor)]);
    PostFinancingPayment(post);
    ++c_.payments;
  }

  FillOptions o_;
  Dice d_;
  std::function<void(const QString&)> progress_;
  QDate first_, today_;
  FillCounts c_;
  std::vector<QString> handlers_;
  std::vector<Party> ownAccounts_, persons_, companies_, investors_;
  std::vector<LoanSpec> loans_;
  std::vector<FinancingSpec> financings_;
  std::map<QDate, std::vector<Task>> agenda_;
  std::map<QString, LoanRateTerms> terms_;
};

}  // namespace

FillCounts FillDatabase(const FillOptions& options, const std::function<void(const QString&)>& progress) {
  InitPinyinTables();
  // A fill that stops half-way is thrown away and made again: it need not wait for the disk at
  // every day's commit.
  if (!CurrentDialect().isServer()) Db().Execute(QStringLiteral("PRAGMA synchronous=OFF"));
  Filler f(options, progress);
  FillCounts c = f.run();
  c.journal = Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toLongLong();
  return c;
}
