#pragma once
// The compaction window: rewrites the local database file without its unused space.
#include <QDialog>

class QLabel;
class QProgressBar;
class pbCommand;

class frmSjys : public QDialog {
  Q_OBJECT
 public:
  explicit frmSjys(QWidget* owner);

  QLabel* lblNote = nullptr;
  pbCommand* cmdYs = nullptr;  // "压缩数据"
  QProgressBar* Prg = nullptr;

  void cmdYs_Click();
};
