#pragma once
// The documents of the printing window by kind: which template, which datasets (from which queries)
// and which variables go to the report engine for one record.
#include <QString>

// 2 loan voucher (IOU), 3 and 4 repayment receipt, 5 financing voucher, 7 and 8 payment voucher.
bool IsPrintKind(int kind);
// Binds the datasets and variables of the document `key` of `kind` into gReport (after BeginReport)
// and returns the template's file name. A key that finds no record, or that is not a whole number
// where a record number is expected, throws AppError with a message naming it.
QString PrepareDocument(int kind, const QString& key);
// The creditor printed on a loan: the loan's handler when settings item 2 is 1, else item 1.
QString CreditorName(const QString& loanHandler);
