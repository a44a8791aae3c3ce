#pragma once
// 支付确认: one due plan row paid to the investor in full: what is still open on it, the date, and
// the save that posts the payment to the plan row, the record, the payment records and the journal.
#include <array>

#include "financing/PaymentForm.h"

class QLabel;
class QLineEdit;

class frmRzzfqr : public PaymentForm {
  Q_OBJECT
 public:
  explicit frmRzzfqr(QWidget* owner = nullptr);

  std::array<QLabel*, 8> lbltqhdr{};
  QLineEdit* Text1 = nullptr;  // the amount, shown only

 protected:
  void load() override;
  // What is open on the row at the moment of saving.
  void fillPosting(PaymentPosting& post) override;
};
