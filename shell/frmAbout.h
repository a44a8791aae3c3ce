#pragma once
// The about box: program name, version, contact lines and the product's web address.
#include <QDialog>
#include <QVector>

class QLabel;

class frmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget* owner);

  QVector<QLabel*> lblGy;
  QLabel* Label4 = nullptr;

  void Label4_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
