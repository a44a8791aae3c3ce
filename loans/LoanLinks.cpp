#include "loans/LoanLinks.h"

std::function<void(QWidget*, int, const QString&)> gShowLoanPrint;
std::function<void(QWidget*, const QString&)> gShowLoanSms;
