// Times each list and report as the user opens it on a filled database (vrnjd_fill), beside the
// bare query that returns the same rows, and one loan save, repayment and journal entry.
//   vrnjd_bench FOLDER [--odbc] [--runs N]
// FOLDER is a program folder made by vrnjd_fill. With --odbc the database is first copied to a plain
// SQLite file and read through unixODBC and the SQLite ODBC driver with the SQLite dialect. The
// saves run inside a transaction that is rolled back, so the database stays as filled.
// Windows run offscreen; not run by CI.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

#include "shell/BusinessReminder.h"
#include "app/data/ConnectionSettings.h"
#include "app/services/LocalDatabaseLock.h"
#include "app/data/DataAccess.h"
#include "shell/frmMain.h"
#include "app/services/GridHelpers.h"
#include "app/services/Ledger.h"
#include "app/services/LoginState.h"
#include "app/services/PBclass.h"
#include "app/services/SettingsList.h"
#include "financing/frmRzZfmx.h"
#include "financing/frmRzZfrc.h"
#include "financing/frmRzjl.h"
#include "loans/CollectionSchedule.h"
#include "loans/LoanCalc.h"
#include "loans/LoanListQuery.h"
#include "loans/LoanRecords.h"
#include "loans/LoanStore.h"
#include "loans/RepaymentCalc.h"
#include "loans/frmCkrc.h"
#include "loans/frmDkhkjl.h"
#include "loans/frmDkjl.h"
#include "output/ReportQueries.h"
#include "output/frmTjDkbb.h"
#include "output/frmTjLs.h"
#include "output/frmTjZjrb.h"
#include "platform/Clock.h"
#include "platform/DateBox.h"
#include "platform/Dialogs.h"
#include "platform/Grid.h"
#include "tools/Fill.h"

namespace {

void say(const QString& s) { std::fprintf(stdout, "%s\n", s.toUtf8().constData()); std::fflush(stdout); }

int gRuns = 3;
// --only N: measure only the N-th list (from 1), to look at one window closely.
int gOnly = 0;
int gBlock = 0;
// --first-reads: only the first reads after a fresh start, to compare two files quickly.
bool gFirstReadsOnly = false;
bool want() { return gOnly == 0 || ++gBlock == gOnly; }

// The best of the runs, in milliseconds; `work` returns the rows it produced.
struct Timing {
  qint64 rows = 0;
  double ms = 0;
};
Timing measure(const std::function<qint64()>& work) {
  Timing t;
  t.ms = 1e18;
  for (int i = 0; i < gRuns; ++i) {
    QElapsedTimer timer;
    timer.start();
    t.rows = work();
    t.ms = std::min(t.ms, timer.nsecsElapsed() / 1e6);
  }
  return t;
}

qint64 bare(const QString& sql, const QVariantList& params) { return static_cast<qint64>(Db().query(sql, params).rows.size()); }

struct Line {
  QString window;
  Timing shown, bareQuery;
  bool hasBare = true;
};
std::vector<Line> gLines;

void report(const QString& window, const Timing& shown, const Timing& bareQuery) {
  gLines.push_back({window, shown, bareQuery, true});
  say(QStringLiteral("  %1: %2 rows, %3 ms (bare %4 ms)").arg(window).arg(shown.rows).arg(shown.ms, 0, 'f', 1).arg(bareQuery.ms, 0, 'f', 1));
}
void reportSave(const QString& what, const Timing& t) {
  gLines.push_back({what, t, {}, false});
  say(QStringLiteral("  %1: %2 ms").arg(what).arg(t.ms, 0, 'f', 1));
}

// A window shown offscreen as the user opens it, with everything it does on its way up.
template <class W>
qint64 openWindow(const std::function<Grid*(W&)>& grid, const std::function<void(W&)>& after = {}) {
  W w;
  w.show();
  QApplication::processEvents();
  if (after) after(w);
  QApplication::processEvents();
  return grid(w)->dataRowCount();
}

LoanListFilter loanFilter(frmDkjl& w) {
  LoanListFilter f;
  f.dateField = w.comJd[0]->currentIndex();
  f.status = w.comJd[5]->currentText();
  f.from = w.DTPstr->dateText();
  f.to = w.DTPovr->dateText();
  f.searchField = w.comJd[2]->currentIndex();
  f.op = w.comJd[3]->currentIndex();
  f.searchText = w.txtJd->text();
  f.band = w.comJd[4]->currentIndex();
  f.deptScope = gDeptRights;
  f.today = Clock::today();
  return f;
}

void benchLists(const QDate& today) {
  // Loan list as it opens (this month), then for all loans.
  if (want()) {
    LoanListFilter f;
    const Timing shown = measure([&] {
      return openWindow<frmDkjl>([](frmDkjl& w) { return w.Fg; }, [&](frmDkjl& w) { f = loanFilter(w); });
    });
    const SqlWithParams q = BuildLoanListSql(f);
    report(QStringLiteral("贷款列表（本月）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  if (want()) {
    frmDkjl w;
    w.show();
    QApplication::processEvents();
    w.comJd[1]->setCurrentIndex(4);
    w.comJd_Click(1);
    w.comJd[5]->setCurrentIndex(0);
    const Timing shown = measure([&] {
      w.刷新();
      QApplication::processEvents();
      return static_cast<qint64>(w.Fg->dataRowCount());
    });
    const SqlWithParams q = BuildLoanListSql(loanFilter(w));
    report(QStringLiteral("贷款列表（全部）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  // Repayment records of this month.
  if (want()) {
    RepaymentRecordFilter f;
    const Timing shown = measure([&] {
      return openWindow<frmDkhkjl>([](frmDkhkjl& w) { return w.Fg; }, [&](frmDkhkjl& w) {
        f.from = w.DTPstr->dateText();
        f.to = w.DTPovr->dateText();
        f.status = w.comJd[1]->currentText();
      });
    });
    const SqlWithParams q = BuildRepaymentRecordSql(f);
    report(QStringLiteral("还款记录（本月）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  // Financing list as it opens.
  if (want()) {
    QString sql;
    QVariantList params;
    const Timing shown = measure([&] {
      return openWindow<frmRzjl>([](frmRzjl& w) { return w.Fg; }, [&](frmRzjl& w) {
        sql = w.listSql();
        params = w.listParams();
      });
    });
    report(QStringLiteral("拆借列表"), shown, measure([&] { return bare(sql, params); }));
  }
  // Payment records of this month.
  if (want()) {
    QString from, to;
    const Timing shown = measure([&] {
      return openWindow<frmRzZfmx>([](frmRzZfmx& w) { return w.Fg; }, [&](frmRzZfmx& w) {
        from = w.DTPstr->dateText();
        to = w.DTPovr->dateText();
      });
    });
    const QString sql = QStringLiteral(
                            "select b.客户名称,a.单号,b.经办人,a.期次,b.约定支付日期,(a.日期) as 支付日期,a.本金,a.利息,a.付款状态,a.编号,a.备注 "
                            "from PJ_Cjzfjl a,PJ_Cjzfjh b where ") +
                        sqlDate(QStringLiteral("a.日期"), from, to) + QStringLiteral(" and b.编号=a.计划ID order by a.编号 desc");
    report(QStringLiteral("支付记录（本月）"), shown, measure([&] { return bare(sql, {}); }));
  }
  // The collection calendar of this month: every open instalment due in it, with its text.
  if (want()) {
    const Timing shown = measure([&] {
      frmCkrc w;
      w.show();
      QApplication::processEvents();
      qint64 n = 0;
      for (const QString& day : w.dayLists())
        if (!day.isEmpty()) n += day.count(QLatin1Char(',')) + 1;
      return n;
    });
    const QDate first(today.year(), today.month(), 1);
    const SqlWithParams q = OpenInstalmentsSql(first.toString(Qt::ISODate), first.addMonths(1).addDays(-1).toString(Qt::ISODate));
    report(QStringLiteral("催款日程（本月）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  // The payment calendar of this month: the open payment rows due in it, with their day texts.
  if (want()) {
    const Timing shown = measure([&] {
      frmRzZfrc w;
      w.show();
      QApplication::processEvents();
      qint64 n = 0;
      for (const QList<qint64>& day : w.DayLists) n += day.size();
      return n;
    });
    const QDate first(today.year(), today.month(), 1);
    const SqlWithParams open = OpenPaymentRowsFrom(DateText(first), DateText(first.addMonths(1).addDays(-1)));
    const QString sql = QStringLiteral("select a.编号,a.约定支付日期,a.客户名称,") + OpenPaymentAmountSql() + QStringLiteral(" as 应付") +
                        open.sql + QStringLiteral(" order by a.约定支付日期,a.编号");
    report(QStringLiteral("支付日程（本月）"), shown, measure([&] { return bare(sql, open.params); }));
  }
  // Daily reports on today's base date.
  if (want()) {
    const Timing shown = measure([&] { return openWindow<frmTjDkbb>([](frmTjDkbb& w) { return w.Fg; }); });
    const ReportSql q = DailyReportSql(PlanBook::Loans, today, QString());
    report(QStringLiteral("贷款日报"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  if (want()) {
    const Timing shown = measure([&] { return openWindow<frmTjCjrb>([](frmTjCjrb& w) { return w.Fg; }); });
    const ReportSql q = DailyReportSql(PlanBook::Financing, today, QString());
    report(QStringLiteral("拆借日报"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  if (want()) {
    const Timing shown = measure([&] { return openWindow<frmTjZjrb>([](frmTjZjrb& w) { return w.Fg; }); });
    // Its bare part: the report's own sums, without the grid and without keeping the result.
    report(QStringLiteral("资金日报"), shown, measure([&] {
             ComputeFundsReport(today);
             return qint64(18);
           }));
  }
  // The cash journal as it opens (this month), then for the year so far, asked for in the open window.
  if (want()) {
    const Timing shown = measure([&] { return openWindow<frmTjLs>([](frmTjLs& w) { return w.Fg; }); });
    const ReportSql q = BuildJournalQuery(QDate(today.year(), today.month(), 1), today, QStringLiteral("忽略"), QStringLiteral("等于"), QString());
    report(QStringLiteral("现金日记账（本月）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  if (want()) {
    frmTjLs w;
    w.show();
    QApplication::processEvents();
    const QDate from(today.year(), 1, 1);
    w.DTPstr->setDate(from);
    w.DTPovr->setDate(today);
    const Timing shown = measure([&] {
      w.刷新();
      QApplication::processEvents();
      return static_cast<qint64>(w.Fg->dataRowCount());
    });
    const ReportSql q = BuildJournalQuery(from, today, QStringLiteral("忽略"), QStringLiteral("等于"), QString());
    report(QStringLiteral("现金日记账（本年）"), shown, measure([&] { return bare(q.sql, q.params); }));
  }
  // Login to the main window with the business reminder on.
  if (want()) {
    const int days = gSystemSettings[0].trimmed().toInt();
    const Timing shown = measure([&] {
      frmMain w;
      w.初始参数();
      w.show();
      QApplication::processEvents();
      w.Timer1_Timer();
      const ReminderCounts c = CountBusinessReminders(today, days);
      return qint64(c.overdueLoans + c.soonLoans + c.overdueFinancing + c.soonFinancing);
    });
    const QString soon = today.addDays(days).toString(Qt::ISODate);
    // Its bare part: the open instalments of both books due up to the reminder's horizon.
    const Timing bareCounts = measure([&] {
      const SqlWithParams loans = OpenInstalmentsSql(QString(), soon);
      const SqlWithParams financing = OpenPaymentRowsFrom(QString(), soon);
      return bare(loans.sql, loans.params) + bare(QStringLiteral("select a.编号") + financing.sql, financing.params);
    });
    report(QStringLiteral("登录主窗口与业务提醒"), shown, bareCounts);
  }
}

// The first read after a fresh start: every run opens a new connection (keyed, its page cache
// empty), so each page the query needs is read from the file and decrypted once. The key is derived
// before the clock starts; the file's pages may be in the system's file cache, as after a restart of
// the program.
void benchFirstReads(const QDate& today) {
  struct Query {
    QString name;
    QString sql;
    QVariantList params;
  };
  const ReportSql daily = DailyReportSql(PlanBook::Loans, today, QString());
  const ReportSql year = BuildJournalQuery(QDate(today.year(), 1, 1), today, QStringLiteral("忽略"), QStringLiteral("等于"), QString());
  // The plan index grouped by document alone: the same pages the daily report reads, without its
  // sums, roundings and rows handed over, so that the two lines split reading from working.
  const QString planIndex = QStringLiteral("select 单号, count(*) from PJ_Hdjh group by 单号");
  for (const Query& q : {Query{QStringLiteral("首次读取：贷款日报查询"), daily.sql, daily.params},
                         Query{QStringLiteral("首次读取：贷款计划索引扫描"), planIndex, {}},
                         Query{QStringLiteral("首次读取：现金日记账（本年）查询"), year.sql, year.params}}) {
    Timing best;
    best.ms = 1e18;
    for (int i = 0; i < gRuns; ++i) {
      ResetConnections();
      Db().scalar(QStringLiteral("select count(*) from sqlite_master"));
      QElapsedTimer timer;
      timer.start();
      best.rows = bare(q.sql, q.params);
      best.ms = std::min(best.ms, timer.nsecsElapsed() / 1e6);
    }
    reportSave(q.name, best);
  }
}

void benchSaves(const QDate& today) {
  // A loan of twelve monthly instalments, as the registration window saves it, for a customer the
  // save accepts (one without an open loan).
  const qint32 borrower = static_cast<qint32>(VariantNumber(Db().scalar(
      QStringLiteral("select min(编号) from PJ_Kehu where 编号 not in (select 客户ID from PJ_Dkjl where 结算状态=? and 客户性质=?)"),
      {QStringLiteral("未还"), QStringLiteral("个人")})));
  reportSave(QStringLiteral("贷款保存（12期计划）"), measure([&] {
               Transaction keep;  // rolled back: the database stays as filled
               LoanCalc::LoanTerms t;
               t.amount = 120000;
               t.rate = 1.5;
               t.overdueRate = 2;
               t.rateType = LoanCalc::kMonthly;
               t.registered = today;
               t.start = today;
               t.end = today.addMonths(12);
               t.customer = QStringLiteral("测试客户");
               t.handler = gUserName;
               LoanCalc::Instalments inst{12, true, today.addMonths(1)};
               LoanStore::LoanDocument doc;
               doc.plan = LoanCalc::BuildPlan(LoanCalc::EqualInstalment, t, inst);
               const LoanCalc::Plan& plan = doc.plan;
               LoanStore::LoanRecord& rec = doc.record;
               rec.registered = today;
               rec.customerKind = QStringLiteral("个人");
               rec.customerId = borrower;
               rec.customerName = t.customer;
               rec.amount = t.amount;
               rec.rateType = plan.rateType;
               rec.rate = t.rate;
               rec.overdueRate = t.overdueRate;
               rec.working = plan.working;
               rec.start = today;
               rec.end = plan.end;
               rec.planName = plan.name;
               rec.prepaid = plan.prepaid;
               rec.handler = t.handler;
               if (!LoanStore::SaveRefusal(doc).isEmpty()) throw AppError(Err::InvalidCall, QStringLiteral("bench: loan refused"));
               LoanStore::SaveLoanDocument(doc);
               return qint64(plan.rows.size());
             }));
  // A repayment of the oldest open instalment that is due.
  const QueryResult open = Db().query(
      CurrentDialect().selectTop(1, QStringLiteral(" h.编号,h.还贷期次,h.贷款本金,h.应还本金,h.应还利息,h.已还本金,h.已还利息,h.归还状态,h.开始日期,"
                                                   "h.约定归还日期,h.归还日期,d.利率类别,d.利率,d.逾期日利率 from PJ_Hdjh h join PJ_Dkjl d on "
                                                   "d.单号=h.单号 where h.归还状态=? and h.约定归还日期<=? and d.业务状态=? "
                                                   "order by h.约定归还日期 desc")),
      {QStringLiteral("未还"), today.toString(Qt::ISODate), QStringLiteral("已审核")});
  if (!open.rows.empty()) {
    const QVariantList& v = open.rows.front();
    const InstalmentState s = ReadInstalment(v, 1);
    const LoanRateTerms terms{VariantText(v[11]), VariantNumber(v[12]), VariantNumber(v[13])};
    reportSave(QStringLiteral("还款"), measure([&] {
                 Transaction keep;
                 const RepaymentProposal p = RepaymentCalc::ProposeRepayment(terms, s, today);
                 RepaymentEntry e;
                 e.planId = static_cast<qint32>(VariantNumber(v[0]));
                 e.seen = ReadInstalmentRow(e.planId);
                 e.principal = p.principal;
                 e.interest = p.interest;
                 e.fee = p.fee;
                 e.status = p.status;
                 e.date = today;
                 e.handler = gUserName;
                 return qint64(SaveRepayment(e) == RepaymentSaved::Saved ? 1 : 0);
               }));
  }
  // The delete of the oldest loan: every later journal balance is recomputed (rolled back).
  const QString oldest = VariantText(Db().scalar(
      CurrentDialect().selectTop(1, QStringLiteral(" 单号 from PJ_Dkjl order by 登记日期, 编号"))));
  if (!oldest.isEmpty()) {
    reportSave(QStringLiteral("删除最早的贷款"), measure([&] {
                 Transaction keep;
                 const qint64 later = Db().scalar(QStringLiteral("select count(*) from PJ_Liushui where 编号>(select min(编号) from "
                                                                 "PJ_Liushui where 单号=?)"),
                                                  {oldest})
                                          .toLongLong();
                 DeleteLoan(oldest);
                 return later;
               }));
    const Line& del = gLines.back();
    if (del.shown.rows > 0) say(QStringLiteral("  %1 µs per later journal row").arg(del.shown.ms * 1000.0 / del.shown.rows, 0, 'f', 2));
  }
  reportSave(QStringLiteral("流水账记账"), measure([&] {
               Transaction keep;
               double amount = 100;
               WriteLedgerEntry(QStringLiteral("D-bench"), amount, QStringLiteral("贷款利息收入"), QStringLiteral("收入"), gUserName, 0);
               return qint64(1);
             }));
}

QString machine() {
  QString cpu;
  QFile f(QStringLiteral("/proc/cpuinfo"));
  if (f.open(QIODevice::ReadOnly))
    for (const QByteArray& line : f.readAll().split('\n'))
      if (line.startsWith("model name")) {
        cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
        break;
      }
  return QStringLiteral("%1, %2 CPUs (nproc %3)").arg(cpu).arg(QThread::idealThreadCount()).arg(QThread::idealThreadCount());
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString folder;
  bool odbc = false;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--odbc")) odbc = true;
    else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) gRuns = std::max(1, args[++i].toInt());
    else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) gOnly = std::max(0, args[++i].toInt());
    else if (args[i] == QLatin1String("--first-reads")) gFirstReadsOnly = true;
    else folder = args[i];
  }
  if (folder.isEmpty()) {
    std::fprintf(stderr, "usage: vrnjd_bench FOLDER [--odbc] [--runs N] [--only N] [--first-reads]\n");
    return 2;
  }
  SetAppDir(QDir(folder).absolutePath());
  if (const QString refusal = LockLocalDatabase(); !refusal.isEmpty()) {
    std::fprintf(stderr, "vrnjd_bench: %s\n", refusal.toUtf8().constData());
    return 1;
  }
  gDatabaseType = 0;
  gDbPassword = PBclass().mySys(1).toString();
  FillLoginState();
  gUnitName = QStringLiteral("示范借贷有限公司");
  gBookStartDate = QStringLiteral("2021-01-01");
  SetMessageHandler([](const MessageRequest&) { return int(Mb::Ok); });
  SetModalHandler([](QDialog*) { return int(QDialog::Rejected); });

  try {
    const QDate today = QDate::fromString(VariantText(Db().scalar(QStringLiteral("select max(登记日期) from PJ_Dkjl"))), Qt::ISODate);
    if (!today.isValid()) throw AppError(Err::InvalidCall, QStringLiteral("no loans: fill the folder with vrnjd_fill first"));
    Clock::setFixed(QDateTime(today, QTime(16, 0)));
    if (odbc) {
      // The SQLite ODBC driver cannot key a file: it reads a plain copy.
      const QString plain = QDir(folder).absoluteFilePath(QStringLiteral("bench-plain.db"));
      QFile::remove(plain);
      // The file is opened without the right to create files, and so is what it attaches: an
      // empty file is an empty database.
      QFile empty(plain);
      if (!empty.open(QIODevice::WriteOnly)) throw AppError(Err::InvalidCall, QStringLiteral("cannot write ") + plain);
      empty.close();
      AttachExportTarget(Db(), plain, QStringLiteral("plain"), QString());
      Db().query(QStringLiteral("SELECT sqlcipher_export('plain')"));
      Db().Execute(QStringLiteral("DETACH DATABASE plain"));
      ResetConnections();
      SetConnectionOverride(0, std::make_shared<Connection>(MakeOdbcBackend(QStringLiteral("DRIVER=SQLite3;Database=") + plain, false),
                                                            SqlDialect{DialectKind::Sqlite}));
    }
    say(QStringLiteral("vrnjd_bench on %1 (%2), business day %3, %4 journal rows, best of %5")
            .arg(folder, odbc ? QStringLiteral("ODBC, SQLite dialect") : QStringLiteral("mode 0, SQLCipher"))
            .arg(today.toString(Qt::ISODate))
            .arg(Db().scalar(QStringLiteral("select count(*) from PJ_Liushui")).toLongLong())
            .arg(gRuns));
    say(QStringLiteral("machine: ") + machine());
    if (!odbc) {
      say(QStringLiteral("pages of %1 bytes").arg(Db().scalar(QStringLiteral("PRAGMA page_size")).toLongLong()));
      if (gOnly == 0) benchFirstReads(today);
    }
    if (!gFirstReadsOnly) {
      benchLists(today);
      if (gOnly == 0) benchSaves(today);
    }
  } catch (const AppError& e) {
    std::fprintf(stderr, "vrnjd_bench: %d %s\n", e.number, e.description.toUtf8().constData());
    return 1;
  }

  say(QString());
  say(QStringLiteral("| window | rows | time (ms) | bare query (ms) | ratio |"));
  say(QStringLiteral("|---|---:|---:|---:|---:|"));
  for (const Line& l : gLines) {
    if (l.hasBare)
      say(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
              .arg(l.window)
              .arg(l.shown.rows)
              .arg(l.shown.ms, 0, 'f', 1)
              .arg(l.bareQuery.ms, 0, 'f', 1)
              .arg(l.bareQuery.ms > 0 ? l.shown.ms / l.bareQuery.ms : 0.0, 0, 'f', 2));
    else
      say(QStringLiteral("| %1 | %2 | %3 | – | – |").arg(l.window).arg(l.shown.rows).arg(l.shown.ms, 0, 'f', 1));
  }
  ResetConnections();
  return 0;
}
