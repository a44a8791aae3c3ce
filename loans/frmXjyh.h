#pragma once
// 记账: the account picker that every money-moving save passes through when the workstation keeps
// cash and bank accounts (settings item 5 "是否启用现金银行" equals 1). It asks for our bank, account
// name and account number (from our own accounts in PJ_Yhzh, cascading bank -> name -> number) and
// the counterparty's (pre-filled from gBankInfo items 3 to 5, which the opener loaded from the
// party), each side either "转账结算" (transfer: all three texts required) or "现金结算" (cash).
//
// The picker never saves anything itself: it hands the chosen accounts back and its opener saves.
// Closing it without its OK button chooses nothing, leaves gBankInfo as it was and saves nothing.
//
// How an opener uses it (loan registration, repayment, early repayment and the financing windows
// alike; the caller codes are those of CallerCode):
//
//   ClearBankInfo();                       // or LoadBorrowerBankInfo(docNo) / LoadInvestorBankInfo(docNo)
//   gBankInfo[3] = ...; gBankInfo[4] = ...; gBankInfo[5] = ...;   // the counterparty's bank data
//   if (frmXjyh::InUse()) {
//     if (!frmXjyh::ChooseAccounts(this, frmXjyh::LoanRegistration)) return;  // closed: no save
//   }                                      // accepted: gBankInfo items 0 to 5 now hold the choice
//   保存单据();                             // WriteLedgerEntry takes the accounts from gBankInfo
//
// Without the picker (InUse() false) items 0 to 2 stay empty, as the opener's ClearBankInfo left them.
#include <QDialog>
#include <QString>

#include <array>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class pbCommand;

// Both sides of a money movement as the journal stores them.
struct BankAccounts {
  QString ourBank, ourName, ourAccount;        // gBankInfo items 0, 1, 2
  QString theirBank, theirName, theirAccount;  // gBankInfo items 3, 4, 5
};

class frmXjyh : public QDialog {
  Q_OBJECT
 public:
  // Who opened the picker (kept in gBankInfo item 50 while it is open).
  enum CallerCode : int {
    LoanRegistration = 1,
    EarlyRepayment = 2,
    Repayment = 3,
    FinancingRegistration = 4,
    EarlyPayment = 5,
    PaymentConfirmation = 6,
  };

  // What the boxes show when the picker opens: our first account and the counterparty of gBankInfo
  // items 3 to 5 (a new movement), or both sides as gBankInfo items 0 to 5 hold them (an edit's
  // rows: "现金" selects 现金结算, an empty text leaves its box empty).
  enum class Shown { FirstAccount, Given };
  explicit frmXjyh(QWidget* owner = nullptr, Shown shown = Shown::FirstAccount);

  // Whether money-moving saves go through the picker: settings item 5 read as a number equals 1.
  static bool InUse();
  // Shows the picker modally over `opener` with the counterparty pre-filled from gBankInfo items 3
  // to 5. On OK the choice is written to gBankInfo items 0 to 5 and returned; closed any other way
  // it returns nothing and gBankInfo items 0 to 5 keep their values.
  static std::optional<BankAccounts> ChooseAccounts(QWidget* opener, int callerCode, Shown shown = Shown::FirstAccount);
  // The account step of a registration save (loans and financing alike), with gBankInfo items 3 to
  // 5 holding the counterparty's bank data and items 0 to 2 empty. A new document picks its
  // accounts when the picker is in use. An edit keeps its journal rows' accounts; only when an
  // amount moved and the picker is in use does the picker come up, showing the accounts of the row
  // `principalSummary` of `editDocNo`. Returns nothing when the picker was closed (no save), else
  // whether the kept rows take gBankInfo's accounts: only when the user changed what was shown.
  static std::optional<bool> RegistrationAccounts(QWidget* opener, int callerCode, const QString& editDocNo,
                                                  const QString& principalSummary, bool amountsMoved);

  // The choice once OK was accepted; empty until then.
  std::optional<BankAccounts> Chosen;

  std::array<QGroupBox*, 2> Frame2{};       // 0 "我方账户信息", 1 "对方账户信息"
  std::array<QRadioButton*, 2> optwf{};     // our side: 0 "转账结算", 1 "现金结算"
  std::array<QRadioButton*, 2> optDf{};     // counterparty: 0 "转账结算", 1 "现金结算"
  // 0 our bank, 2 our name, 3 our number; 1 their bank, 4 their name, 5 their number.
  std::array<QComboBox*, 6> cmbJz{};
  // 0-2 our "开户行", "开户名", "账  号"; 5, 4, 3 the counterparty's.
  std::array<QLabel*, 6> lbljz{};
  pbCommand* eButOK = nullptr;              // "保存(&S)"

  // Fills the bank list of a side (0 ours, 1 the counterparty's) from PJ_Yhzh and selects the first
  // bank of each list that has one, which lists that bank's names and numbers.
  void 取开户行(int side);
  void 取开户名(const QString& bank, int side);
  void 取账号(const QString& bank, const QString& name, int side);
  // True when the box holds a text; otherwise marks it, says "信息填写不完整！" and returns false.
  bool 看下拉框是否为空(QComboBox* box);
  // Keeps one side's texts in the choice (side 0 ours, else the counterparty's).
  void 存账户信息(const QString& bank, const QString& name, const QString& account, int side);

  // A choice in a box of the cascade (by its index), as the user's selection runs it.
  void cmbJz_Click(int index);
  // Transfer enables a side's boxes, cash disables them (their texts stay).
  void optwf_Click(int index);
  void optDf_Click(int index);
  // Checks the transfer sides, keeps both sides and closes with Accepted.
  void eButOK_Click();

 private:
  void enableSide(int side, bool on);
  // One side's boxes as a stored row holds them (side 0 ours, else the counterparty's).
  void showSide(int side, const QString& bank, const QString& name, const QString& account);
  BankAccounts pending_;
};
