#pragma once
// The one source of today's date and the time of day, so that tests can fix them.
#include <QDate>
#include <QDateTime>

namespace Clock {
QDate today();
QDateTime now();
// Tests: freeze the clock at `at`; an invalid value returns to the system clock.
void setFixed(const QDateTime& at);
// A payment is never dated after today: caption + "不能晚于今天！" for such a date, else "".
QString futureDateRefusal(const QString& caption, const QDate& date);
}

// Date and time texts of the whole program. Windows set these formats machine-wide at start-up;
// here they hold inside the program only and the user's settings are never touched.
QString DateText(const QDate& d);          // "yyyy-MM-dd"
QString TimeText(const QTime& t);          // "HH:mm:ss"
QString DateTimeText(const QDateTime& dt); // "yyyy-MM-dd HH:mm:ss"; a value at midnight prints the date only
QString ChineseDateText(const QDate& d);   // "yyyy年MM月dd日", the date of printed documents
// Reads "yyyy-MM-dd" (also "yyyy/MM/dd" and a trailing time); an invalid QDate for anything else.
QDate ParseDateText(const QString& text);
