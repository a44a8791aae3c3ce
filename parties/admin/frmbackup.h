#pragma once
// The backup window: backs the database up into a folder (mode 0) or restores it from a backup
// file (mode 1). The main window sets the mode when it opens the window.
#include <QDialog>

#include "parties/admin/DatabaseMaintenance.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class ButtonArray;
class pbCommand;

class frmbackup : public QDialog {
  Q_OBJECT
 public:
  explicit frmbackup(QWidget* owner, qint16 windowMode = 0);

  // 0 backup, 1 restore.
  qint16 WindowMode = 0;

  QGroupBox* Frame1 = nullptr;  // "备份目录"
  QLineEdit* txtPath = nullptr;
  pbCommand* cmdPath = nullptr;
  ButtonArray* cmbDk = nullptr;  // 0 the command of the mode, 1 "退出"
  QLabel* lblServer = nullptr;   // shown in SQL Server mode: the path is the server's
  QProgressBar* Prg = nullptr;

  // Title, captions and the starting path of the mode.
  void Form_Load();
  void cmdPath_Click();
  void cmbDk_Click(int index);

 private:
  void run();
  void setBusy(bool busy);
};

// The progress bar of the maintenance windows, and the progress function that moves it while the
// work runs (repainting, without taking clicks meanwhile).
QProgressBar* MakeWorkProgressBar(QWidget* parent);
ProgressFn ShowProgressIn(QProgressBar* bar);
