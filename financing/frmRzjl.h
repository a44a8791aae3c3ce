#pragma once
// 拆借融资记录: the list of financing records with its filters, and the hub of the financing work:
// add, modify, delete, approve, pay (the record view), print and export.
#include <QDialog>
#include <QVariantList>

#include <array>

class ButtonArray;
class DateBox;
class Grid;
class QComboBox;
class QGroupBox;
class QLineEdit;
class pbCommand;

class frmRzjl : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzjl(QWidget* owner = nullptr);

  // Set before the show: non-zero lists one investor's records (QueryText), once.
  int QueryMode = 0;
  QString QueryText;

  QGroupBox* Frame1 = nullptr;
  std::array<QComboBox*, 6> comJd{};
  DateBox* DTPstr = nullptr;
  DateBox* DTPovr = nullptr;
  QLineEdit* txtJd = nullptr;
  pbCommand* eButton1 = nullptr;
  ButtonArray* pbCJd = nullptr;
  Grid* Fg = nullptr;

  void Form_Load();
  // Rewrites the outstanding amounts of the records in the date range and lists the records.
  void 刷新();
  void comJd_Click(int index);
  void pbCJd_Click(int index);

  // The last list query, for the list print.
  QString listSql() const { return listSql_; }
  QVariantList listParams() const { return listParams_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  // The 单号 of the current row when it is a record row, else "".
  QString currentDocNo() const;
  void openRegistration(const QString& docNo);

  bool loaded_ = false;
  // A drill-down lists every date until the user picks a period.
  bool anyDate_ = false;
  QString listSql_;
  QVariantList listParams_;
};
