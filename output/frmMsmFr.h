#pragma once
// 短信发送: one remittance notice by SMS to the borrower of a loan (kind 1) or the investor of a
// financing payment record (kind 2), prepared from the settings' remittance text.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class pbCommand;

// What the notice is prepared from: the recipient, the number and the text.
struct SmsNotice {
  bool found = false;
  QString name;
  QString mobile;
  QString text;
};
// Kind 1: the loan `docNo` (a company borrower through PJ_Kehu_Gs); kind 2: the PJ_Cjzfjl record
// `recordId`; any other kind, or no row, gives nothing found.
SmsNotice PrepareSmsNotice(int kind, const QString& docNo, qint64 recordId);
// The remittance text of the settings with its placeholders replaced, every occurrence.
QString FillRemittanceText(const QString& templ, const QString& name, const QString& date, double amount);

class frmMsmFr : public QDialog {
  Q_OBJECT
 public:
  explicit frmMsmFr(QWidget* parent = nullptr);

  qint16 NoticeKind = 0;
  QString NoticeDocNo;
  qint64 NoticeRecordId = 0;

  // Fills the window from the members (the opener sets them first).
  void Form_Load();
  // 发送: checks the text and the number, sends, logs and closes; a failure keeps the window open.
  void PbCZ_Click();

  QLineEdit* Text1;
  QLabel* lbl[2];
  QPlainTextEdit* txtText1;
  pbCommand* PbCZ;
  pbCommand* PbCEsc;
};

// Opens the notice window for a loan (kind 1, `docNo`) or a payment record (kind 2, `recordId`).
void ShowSmsNotice(QWidget* owner, int kind, const QString& docNo, qint64 recordId);
