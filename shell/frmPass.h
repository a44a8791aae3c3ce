#pragma once
// The logged-in staff member changes the own login password.
#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class ButtonArray;

class frmPass : public QDialog {
  Q_OBJECT
 public:
  explicit frmPass(QWidget* owner);

  std::array<QLineEdit*, 3> txtCz{};
  std::array<QLabel*, 3> lblLb{};
  ButtonArray* eCmdzx = nullptr;

  void eCmdzx_Click(int index);

 private:
  void changePassword();
};
