#pragma once
// The two books of plan rows, loans (PJ_Hdjh under PJ_Dkjl) and financing (PJ_Cjzfjh under
// PJ_Cjjl), by the names of their tables and columns.
enum class PlanBook { Loans, Financing };

struct PlanColumns {
  const char* table;
  const char* document;  // the documents' table
  const char* due;       // the due date
  const char* principal;
  const char* interest;
  const char* paidPrincipal;
  const char* paidInterest;
  const char* number;   // the instalment number
  const char* status;
  const char* settled;  // the status of a settled row
};

inline PlanColumns PlanColumnsOf(PlanBook book) {
  if (book == PlanBook::Loans)
    return {"PJ_Hdjh", "PJ_Dkjl", "约定归还日期", "应还本金", "应还利息", "已还本金", "已还利息", "还贷期次", "归还状态", "已还"};
  return {"PJ_Cjzfjh", "PJ_Cjjl", "约定支付日期", "应付本金", "应付利息", "已付本金", "已付利息", "支付期次", "结算状态", "已付"};
}
