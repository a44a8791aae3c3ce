#include "app/data/ConnectionSettings.h"

#include <QDir>

QString gSqlIp;
QString gDbInstance;
QString gDbPort;
QString gSqlName;
QString gSqlUser;
QString gSqlPass;
qint16 gDatabaseType = 0;
qint16 gMachineId = 0;
QString gDbPassword;
QString gAppDir;

void SetAppDir(const QString& dir) {
  QString d = QDir::fromNativeSeparators(dir.trimmed());
  if (d.isEmpty()) return;
  if (!d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
  if (d != gAppDir) {
    gAppDir = d;
    // The folders the program writes into, made when missing.
    QDir root(gAppDir);
    for (const char* sub : {"data", "template", "报表", "合同", "Databackup"}) root.mkpath(QString::fromUtf8(sub));
  }
}

QString LocalDatabasePath() { return gAppDir + QStringLiteral("data/data.pbb"); }
