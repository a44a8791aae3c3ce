#pragma once
// Connection settings of this workstation, read at start-up from PJ_Sys row 1 of the local file.
#include <QString>

extern QString gSqlIp;
extern QString gDbInstance;
extern QString gDbPort;
extern QString gSqlName;
extern QString gSqlUser;
extern QString gSqlPass;
extern qint16 gDatabaseType;  // 0 the local file, 1 SQL Server
extern qint16 gMachineId;     // this workstation's number (its PJ_Jq row)
extern QString gDbPassword;   // key of the local file
// The program folder with a trailing "/": where data/, template/, 报表/ ... live.
extern QString gAppDir;

// Sets gAppDir to `dir` (a trailing "/" is added) and creates the folders the program writes into.
void SetAppDir(const QString& dir);
// The local database file.
QString LocalDatabasePath();
