#pragma once
// 支付确认: one due plan row paid to the investor in full: what is still open on it, the date, and
// the save that posts the payment to the plan row, the record, the payment records and the journal.
#include <QDialog>

#include <array>
#include <functional>

#include "financing/FinancingCalc.h"

class ButtonArray;
class DateBox;
class QLabel;
class QLineEdit;

class frmRzzfqr : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzzfqr(QWidget* owner = nullptr);

  // Set by the opener before the show.
  qint32 PlanRowId = 0;
  QString HandlerName;
  std::function<void()> onSaved;

  QString DocNo;
  std::array<QLabel*, 8> lbltqhdr{};
  QLineEdit* Text1 = nullptr;  // the amount, shown only
  DateBox* DTPicker1 = nullptr;
  ButtonArray* pbCDkgh = nullptr;  // 0 确认, 1 取消

  void Form_Load();
  void pbCDkgh_Click(int index);
  void 保存单据();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool loaded_ = false;
};
