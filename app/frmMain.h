#pragma once
// The main window: menus, toolbar and status bar from which every window of the program opens.
#include <QMainWindow>

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
};
