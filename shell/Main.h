#pragma once
class frmMain;
// Program start: reads the connection settings and shows the main window. Returns the main window.
frmMain* Main();

// Before the first connection: a -journal, -wal or -shm beside the local file that is no regular file
// with one link is told (DbFailure::unsafeSideFile) and ends the program, nothing opened.
void RefuseUnsafeSideFiles();

// The start on the local file (storage mode 0; nothing on SQL Server): takes its lock, or says
// "数据库文件正被另一个程序使用，不能同时打开。" and ends the program; holding it, removes the attachment
// copies that windows of a killed program listed and no row names.
void ClaimLocalDatabase();

// Fills the connection settings (ConnectionSettings.h) from PJ_Sys row 1, then sets the program's date and time formats.
void LoadDatabaseSettings();
// True after LoadDatabaseSettings could not reach the database and the user chose to go on: the
// login then starts unconnected instead of asking the same question again.
extern bool gSettingsUnread;
// The date and time texts of the program are "yyyy-MM-dd" and "HH:mm:ss" (Clock.h); the user's own
// system settings are left alone.
void SetSystemDateFormat();
