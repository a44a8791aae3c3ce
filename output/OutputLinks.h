#pragma once
// Windows of other subsystems that the report windows open; the shell fills these in, so the
// report windows do not include those windows themselves.
#include <QString>

#include <functional>

class QWidget;

// Opens the loan records list (financing: the financing records list) modally, searched for one
// customer (investor) name: the list's query mode. Unset, the command says so.
extern std::function<void(QWidget* owner, const QString& name)> gShowLoanListFor;
extern std::function<void(QWidget* owner, const QString& name)> gShowFinancingListFor;
