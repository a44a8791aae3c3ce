#pragma once
// 催款日程: the month calendar of the instalments to collect, with the popup into the loan view.
#include <QDialog>
#include <QStringList>

class ButtonArray;
class Grid;
class MonthCalendar;
class QComboBox;
class frmMenu;

class frmCkrc : public QDialog {
  Q_OBJECT
 public:
  enum Command { cmdPrevious = 0, cmdNext = 1, cmdThisMonth = 2, cmdRefresh = 3 };
  static constexpr int kFirstYear = 1900;
  static constexpr int kLastYear = 2100;

  explicit frmCkrc(QWidget* owner = nullptr);
  ~frmCkrc() override;

  void Form_Load();
  // Redraws the grid for the month.
  void 日历过程(int year, int month);
  // Fills the day lists of the month.
  void 预处理(int year, int month);
  // The cell text of a day list.
  QString 未还贷款(const QString& idList);
  void pbCommand1_Click(int index);
  // A click on the text of a day: the popup of its instalments.
  void Fg_Click(int day, const QPoint& globalPos);

  int shownYear() const;
  int shownMonth() const;
  // The 编号 lists per day of the shown month (index = day).
  const QStringList& dayLists() const { return dayLists_; }

  QComboBox* Combo1 = nullptr;  // year
  QComboBox* Combo2 = nullptr;  // month
  MonthCalendar* Calendar = nullptr;
  Grid* Fg = nullptr;
  ButtonArray* pbCommand1 = nullptr;
  frmMenu* Menu = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  QStringList dayLists_;
  bool loaded_ = false;
};
