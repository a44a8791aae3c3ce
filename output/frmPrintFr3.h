#pragma once
// 打印: prints one business document through a report template, as preview, on a printer, or in the
// template designer. The opener sets PrintKind and PrintKey, then shows the window modally.
#include <QDialog>

class ButtonArray;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

class frmPrintFr3 : public QDialog {
  Q_OBJECT
 public:
  explicit frmPrintFr3(QWidget* parent = nullptr);

  // 2 loan voucher, 3/4 repayment receipt, 5 financing voucher, 7/8 payment voucher; 0 until set.
  qint16 PrintKind = 0;
  // The document's 单号 (kinds 2, 5) or the record's 编号 (kinds 3, 4, 7, 8).
  QString PrintKey;

  // 确定 (0) and 退出 (1).
  void eCmdzx_Click(int index);
  // The selected mode: 0 preview, 1 print, 2 design.
  int mode() const;

  QGroupBox* Frame1;
  QRadioButton* OptDy[3];
  QLabel* Label1;
  QComboBox* Combo1;
  ButtonArray* eCmdzx;
};

// Opens the printing window for one document, owned by `owner`, as the lists and views do.
void ShowDocumentPrint(QWidget* owner, int kind, const QString& key);
