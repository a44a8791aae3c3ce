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
// The local database file, by the name the program is pointed at (data/data.pbb).
QString LocalDatabasePath();

// The file a database name leads to. An administrator may keep the data elsewhere and make the name
// a link, or a chain of links; each link is followed only when it belongs to root or to the owner of
// the folder that holds it (the kernel's own rule for links in shared folders), since another account
// that may write data/ could otherwise point the name at a file of the clerk's.
struct DatabaseFile {
  enum Link {
    None,      // the name is no link (or nothing stands at it)
    Followed,  // a chain of acceptable links, ending at `real`
    Foreign,   // a link of another account: not followed, nothing done beside its target
    Dangling,  // a chain of acceptable links that ends nowhere
  };
  QString name;     // as given
  QString real;     // the file to open and replace: the name itself, or realpath of the chain
  Link link = None;
  QString refusal;  // why a Foreign or Dangling name is not used, in the system's words
};
// Resolves `name` the first time it is asked for in this run and gives the same answer after, so that
// every step of the run (opens, locks, work files, replaces) uses one real path.
DatabaseFile ResolvedDatabaseFile(const QString& name);
// Resolves LocalDatabasePath() anew, as the start does; returns the refusal of a link of another
// account ("" otherwise: a chain that ends nowhere is said when the file is opened).
QString ResolveLocalDatabase();
// The real file behind LocalDatabasePath(): where SQLite opens it, its work files lie and replaces
// rename over it. The name itself when it is no link or is not followed.
QString LocalDatabaseRealPath();
