#pragma once
// Loan contracts: the template "gr.docx" (a person borrower) or "gs.docx" (a company) of the
// program's template folder, filled with the loan's data and saved as 合同/<单号>.docx.
#include <QString>

#include "platform/ContractWriter.h"

// One line per customer of the 编号 list ("3,5"; "0" or "" for none), in 编号 order:
// "姓名：…，性别，yyyy年MM月dd日出生，身份证号：…，手机：…，住址：…" and a line break.
QString DescribeParties(const QString& idList);
// The placeholders and values of a loan's contract and the template to use ("gr.docx"/"gs.docx").
// Throws AppError naming what is missing: the loan, the handling staff member, the company.
struct LoanContractData {
  QString templateName;
  ContractValues values;
};
LoanContractData BuildLoanContract(const QString& docNo);
// Builds, writes and opens the contract; says where it was saved, or why it could not be made.
// Returns the contract's path, or "" when nothing was written.
QString GenerateLoanContract(const QString& docNo);
