// Fills a copy of the shipped database with a busy business's five years of data, reproducibly
// from a seed, for measuring the windows at that size (vrnjd_bench).
//   vrnjd_fill [--seed N] [--scale X] [--last-day yyyy-MM-dd] FOLDER
// makes FOLDER a program folder whose data/data.pbb is the filled copy; a database already there
// is never overwritten.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <clocale>
#include <cstdio>

#include "app/data/ConnectionSettings.h"
#include "app/services/LocalDatabaseLock.h"
#include "app/data/DataAccess.h"
#include "app/services/PBclass.h"
#include "tools/Fill.h"
#include "parties/admin/DatabaseMaintenance.h"
#include "platform/SafeFiles.h"

namespace {
void say(const QString& s) { std::fprintf(stderr, "%s\n", s.toUtf8().constData()); }
int usage() {
  say(QStringLiteral("usage: vrnjd_fill [--seed N] [--scale X] [--last-day yyyy-MM-dd] FOLDER"));
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QCoreApplication app(argc, argv);
  FillOptions o;
  QString folder;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    bool ok = true;
    if (a == QLatin1String("--seed") && hasValue) o.seed = args[++i].toULongLong(&ok);
    else if (a == QLatin1String("--scale") && hasValue) o.scale = args[++i].toDouble(&ok), ok = ok && o.scale > 0 && o.scale <= 10;
    else if (a == QLatin1String("--last-day") && hasValue) o.lastDay = QDate::fromString(args[++i], Qt::ISODate), ok = o.lastDay.isValid();
    else if (!a.startsWith(QLatin1String("--")) && folder.isEmpty()) folder = a;
    else return usage();
    if (!ok) return usage();
  }
  if (folder.isEmpty()) return usage();

  const QString shipped = app.applicationDirPath() + QStringLiteral("/data/data.pbb");
  SetAppDir(QDir(folder).absolutePath());
  const QString target = LocalDatabasePath();
  if (const QString refusal = LockLocalDatabase(); !refusal.isEmpty()) {
    say(QStringLiteral("vrnjd_fill: ") + refusal);
    return 1;
  }
  // Whatever stands at the name, a link too, is never overwritten.
  if (NameTaken(target)) {
    say(QStringLiteral("vrnjd_fill: %1 exists; give an empty folder").arg(target));
    return 1;
  }
  if (!QFile::copy(shipped, target)) {
    say(QStringLiteral("vrnjd_fill: cannot copy %1 to %2").arg(shipped, target));
    return 1;
  }
  QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  gDatabaseType = 0;
  gDbPassword = PBclass().mySys(1).toString();
  // A program folder the build has not upgraded yet may hold a file of earlier versions' pages.
  QString reason;
  if (!ConvertDatabaseFile(target, gDbPassword, &reason)) {
    say(QStringLiteral("vrnjd_fill: ") + reason);
    return 1;
  }
  FillLoginState();

  QElapsedTimer timer;
  timer.start();
  try {
    const FillCounts c = FillDatabase(o, [&](const QString& line) {
      say(QStringLiteral("[%1 s] ").arg(timer.elapsed() / 1000) + line);
    });
    say(QStringLiteral("done in %1 s: %2 rows (customers %3 + %4, investors %5, loans %6 with %7 plan rows, %8 repayments, "
                       "financings %9 with %10 plan rows, %11 payments, journal %12)")
            .arg(timer.elapsed() / 1000)
            .arg(c.total())
            .arg(c.persons)
            .arg(c.companies)
            .arg(c.investors)
            .arg(c.loans)
            .arg(c.planRows)
            .arg(c.repayments)
            .arg(c.financings)
            .arg(c.financingRows)
            .arg(c.payments)
            .arg(c.journal));
  } catch (const AppError& e) {
    say(QStringLiteral("vrnjd_fill: %1 %2").arg(e.number).arg(e.description));
    return 1;
  }
  ResetConnections();
  return 0;
}
