#pragma once
// The book starts with the earliest business: a document dated before this workstation's book start
// date moves it back, so a business entering the loans it already had sees them in the lists'
// default view.
#include <QDate>

#include <functional>

// When the earlier of `registered` and `start` lies before gBookStartDate: this workstation's
// 建账日期 becomes that date (on the current connection, inside the caller's transaction); once the
// transaction has committed, so do gBookStartDate and the status bar. Call it inside the save.
void MoveBookStartBack(const QDate& registered, const QDate& start);
// What runs after the book start moved (the main window shows the new date in its status bar).
void SetBookStartListener(std::function<void()> listener);
