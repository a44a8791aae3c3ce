#include "shell/Main.h"
#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/PBclass.h"

bool gSettingsUnread = false;

void SetSystemDateFormat() {
  // Every date and time text of the program already goes through DateText/TimeText; nothing of the
  // user's own system settings is changed.
}

void LoadDatabaseSettings() {
  gDbPassword = PBclass().mySys(1).toString();
  gSettingsUnread = false;
  try {
    Recordset rs;
    OpenConnectionAndRecordset(rs, QStringLiteral("select * from PJ_Sys where 编号=1"), 0);
    if (rs.isNothing()) {  // the user chose to go on without a database
      gSettingsUnread = true;
      return;
    }
    gSqlIp = rs.text(QStringLiteral("SqlIP"));
    gDbInstance = rs.text(QStringLiteral("数据库实例"));
    gDbPort = rs.text(QStringLiteral("数据库端口"));
    gSqlName = rs.text(QStringLiteral("SqlName"));
    gSqlUser = rs.text(QStringLiteral("SqlUser"));
    gSqlPass = rs.text(QStringLiteral("SqlPass"));
    qint64 mode = rs.integer(QStringLiteral("数据库类型"));
    gMachineId = static_cast<qint16>(rs.integer(QStringLiteral("机器ID")));
    if (mode != 0 && mode != 1)
      throw AppError(Err::InvalidCall, QStringLiteral("数据库类型只能是 0（本地文件）或 1（SQL Server），现为 %1。").arg(mode));
    gDatabaseType = static_cast<qint16>(mode);
    CloseRecordset(rs);
  } catch (const ProgramEnded&) {
    throw;
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("初置数据库"), nullptr, e);
    return;
  }
  SetSystemDateFormat();
}
