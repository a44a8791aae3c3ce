#include "financing/AccountStep.h"

#include <QDialog>

#include "app/services/BankInfo.h"
#include "app/services/DocumentClaim.h"
#include "app/services/GridHelpers.h"
#include "app/services/Ledger.h"
#include "financing/FinancingData.h"
#include "loans/frmXjyh.h"
#include "platform/Dialogs.h"

void RunMoneySave(QWidget* owner, int callerCode, const std::function<void()>& save) {
  gBankInfo[50] = callerCode;
  if (frmXjyh::InUse()) {
    // Closing the picker chooses nothing and saves nothing.
    if (!frmXjyh::ChooseAccounts(owner, callerCode)) return;
  } else {
    // No account choice: our side stays empty rather than carrying the last movement's accounts.
    for (int i = 0; i <= 2; ++i) gBankInfo[static_cast<size_t>(i)] = QString();
  }
  save();
}

void ConfirmPaymentSave(QWidget* owner, const QString& docNo, int callerCode, const std::function<void()>& save) {
  gAnswer = MsgBox(QStringLiteral("您确认保存该笔业务的操作吗？"), Mb::YesNo + Mb::Question);
  if (gAnswer != Mb::Yes) return;
  try {
    LoadInvestorBankInfo(docNo);
  } catch (const DocumentChanged& changed) {
    MsgBox(changed.message, Mb::Exclamation);
    return;
  }
  RunMoneySave(owner, callerCode, save);
}

void PostPaymentFrom(QDialog* window, const PaymentPosting& post, const std::function<void()>& onSaved) {
  try {
    PostFinancingPayment(post);
  } catch (const FinancingInputError& e) {
    MsgBox(e.message(), Mb::Critical);
    return;
  } catch (const DocumentChanged& changed) {
    MsgBox(changed.message, Mb::Exclamation);
    return;
  }
  MsgBox(PaymentSavedMessage(), Mb::Information);
  window->accept();
  if (onSaved) onSaved();
}
