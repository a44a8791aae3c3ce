#pragma once
// 支付日程: one month of open instalments of live financing records, each day naming who is to be
// paid and how much; a click on a day pops up its instalments, and choosing one opens the record.
#include <QDialog>
#include <QStringList>

#include <vector>

class ButtonArray;
class MonthCalendar;
class frmMenu;
class QComboBox;

class frmRzZfrc : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzZfrc(QWidget* owner = nullptr);

  QComboBox* Combo1 = nullptr;  // 1900 to 2100
  QComboBox* Combo2 = nullptr;  // 1 to 12
  ButtonArray* pbCommand1 = nullptr;  // 前一月, 后一月, 本月, 刷新
  MonthCalendar* Fg = nullptr;
  // The popup of the day's instalments, in mode "支付".
  frmMenu* Menu = nullptr;

  // The open plan rows (编号) due on each day of the shown month; index 0 unused.
  std::vector<QList<qint64>> DayLists;

  void Form_Load();
  void pbCommand1_Click(int index);
  void 日历过程(int year, int month);
  void 预处理(int year, int month, int days);
  // The text of one day: "客户名称→应付" per instalment.
  QString 未还贷款(const QList<qint64>& ids);
  // A click on a day's text: the popup of that day's instalments.
  void Fg_Click(int day, const QPoint& at);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool loaded_ = false;
};

// The record view of a financing record as the calendars' popup opens it (the popup has checked the
// right and the approval, as the financing list does).
void OpenFinancingPaymentView(QWidget* owner, const QString& docNo);
