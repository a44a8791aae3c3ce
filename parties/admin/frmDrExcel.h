#pragma once
// The import window: opens a workbook, shows its sheet "Sheet1", binds fields of the target table to
// column numbers and appends the sheet's rows to the target (customers, companies, investors or the
// items of one lookup list).
#include <QDialog>

#include <vector>

#include "parties/admin/ExcelImport.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class Grid;
class pbCommand;

class frmDrExcel : public QDialog {
  Q_OBJECT
 public:
  explicit frmDrExcel(QWidget* owner = nullptr);
  ~frmDrExcel() override;

  // Set by the opener before the window is shown: 3 lookup items, 4 individual customers,
  // 5 corporate customers, 6 investors; for 3 also the list's extra-value number and category.
  qint16 TargetKind = 0;
  qint16 ParamNumber = 0;
  qint16 Category = 0;

  pbCommand* eButton1 = nullptr;  // 打开Excel文件
  pbCommand* eButton2 = nullptr;  // 绑定
  pbCommand* eButton3 = nullptr;  // 导入
  Grid* Fg = nullptr;             // the sheet
  Grid* Fg2 = nullptr;            // the bindings
  QComboBox* Combo1 = nullptr;    // fields of the target
  QLineEdit* Text1 = nullptr;     // Excel column number
  QProgressBar* Prg = nullptr;
  QLabel* Label4 = nullptr;       // 下载视频教程
  QLabel* lblFile = nullptr;      // the open workbook's path

  // Runs once, from the first show (tests may call it directly).
  void Form_Load();
  // Offers the fields of the target and forgets every binding.
  void 载入项(qint16 kind);
  void 绑定();
  void 刷新();

  void eButton1_Click();
  void eButton2_Click();
  void eButton3_Click();
  void Fg2_DblClick();
  void Label4_Click();

  // The workbook on show and the bindings made so far.
  const QString& WorkbookPath() const { return workbookPath_; }
  const std::vector<FieldBinding>& Bindings() const { return bindings_; }
  // Opens a workbook as "打开Excel文件" does after the file chooser.
  bool OpenWorkbook(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showSheet();
  void suggestColumn();

  bool loaded_ = false;
  QString workbookPath_;
  ExcelSheet sheet_;
  ImportTarget target_;
  std::vector<FieldBinding> bindings_;
};
