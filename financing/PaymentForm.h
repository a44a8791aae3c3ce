#pragma once
// What the two payment windows share: the plan row and handler their opener sets, the payment date,
// the confirm and cancel buttons, and the way a confirmed payment is saved (question, account step,
// posting, message, close and the opener's refresh).
#include <QDialog>

#include <functional>

#include "financing/FinancingData.h"

// The window-side rules of a payment, functions of their inputs only.
namespace PaymentRules {
// A proposal with its principal held to what the row and the record still owe (OpenRowPrincipal)
// and its total to match.
PaymentProposal CappedToRecord(PaymentProposal p, const PlanRowState& row, double recordOpenPrincipal);
}  // namespace PaymentRules

// The record's 本金 - 已付本金 as stored.
double RecordOpenPrincipal(const QString& docNo);

class ButtonArray;
class DateBox;

class PaymentForm : public QDialog {
  Q_OBJECT
 public:
  // Set by the opener before the show.
  qint32 PlanRowId = 0;
  QString HandlerName;
  // The opener's refresh after a save (the record view's grids and the financing list).
  std::function<void()> onSaved;

  QString DocNo;
  // The plan row and record 版本 the window's proposal came from (set by the load).
  PlanRowRead Seen;
  DateBox* DTPicker1 = nullptr;    // 支付日期
  ButtonArray* pbCDkgh = nullptr;  // 0 确认, 1 取消

  // The load work, once (the first show runs it).
  void Form_Load();
  // 0: the window's checks, "您确认保存该笔业务的操作吗？", then the account step and 保存单据;
  // 1: closes, saving nothing.
  void pbCDkgh_Click(int index);
  // Posts the payment the window shows (called by the confirm button or after the account picker).
  void 保存单据();

 protected:
  PaymentForm(QWidget* owner, int callerCode);
  void showEvent(QShowEvent* e) override;
  virtual void load() = 0;
  // The window's own checks before the question; false stops the save.
  virtual bool checkInput() { return true; }
  // After every check has passed: the window's own questions before the confirmation (false: the
  // user stopped there).
  virtual bool askBeforeSave() { return true; }
  // The payment to post; `post` comes with the row, date and handler filled in.
  virtual void fillPosting(PaymentPosting& post) = 0;

 private:
  int callerCode_;
  bool loaded_ = false;
};
