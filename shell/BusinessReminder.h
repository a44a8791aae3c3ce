#pragma once
// The reminder shown one second after each login: open instalments overdue or due soon.
#include <QDate>
#include <QString>

struct ReminderCounts {
  int overdueLoans = 0;      // A
  int soonLoans = 0;         // B
  int overdueFinancing = 0;  // C
  int soonFinancing = 0;     // D
};

// Counts open loan and financing instalments against `today` with `daysAhead` days of warning.
ReminderCounts CountBusinessReminders(const QDate& today, int daysAhead);
// The reminder's text; `daysText` is settings item 0 as stored.
QString BusinessReminderText(const ReminderCounts& c, const QString& daysText);
// Shows the reminder when settings item 12 is on (also with four counts of 0); else nothing.
void ShowBusinessReminder();
