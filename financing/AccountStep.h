#pragma once
// The account step of the financing saves that move money: with the workstation's cash and bank
// accounts in use, the account picker chooses both sides' accounts and then runs the save; without
// it the save runs at once with our side empty and the investor's bank data on the other.
#include <QString>

#include <functional>

class QWidget;

// The account picker's caller codes of the financing windows (those of frmXjyh).
inline constexpr int kAccountCallerRegistration = 4;
inline constexpr int kAccountCallerEarlyPayment = 5;
inline constexpr int kAccountCallerConfirmation = 6;

// The caller has put the investor's bank data into gBankInfo items 3 to 5. Runs `save` after the
// picker's OK, or at once when the accounts are not in use; closing the picker runs nothing.
void RunMoneySave(QWidget* owner, int callerCode, const std::function<void()>& save);

class QDialog;
struct PaymentPosting;
// The payment windows' confirm button: asks "您确认保存该笔业务的操作吗？"; on Yes the investor of
// `docNo` is the counterparty and the account step runs `save`.
void ConfirmPaymentSave(QWidget* owner, const QString& docNo, int callerCode, const std::function<void()>& save);
// The payment windows' save: posts the payment, says so, closes the window and runs `onSaved`; a
// refusal is shown and the window stays.
void PostPaymentFrom(QDialog* window, const PaymentPosting& post, const std::function<void()>& onSaved);
