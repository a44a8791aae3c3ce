#pragma once
// 支付日程: one month of open instalments of live financing records, each day naming who is to be
// paid and how much; a click on a day pops up its instalments, and choosing one opens the record.
#include <QDialog>
#include <QStringList>

#include <functional>
#include <vector>

class ButtonArray;
class MonthCalendar;
class QComboBox;

// One item of a day's popup: the caption the user sees and the record it opens.
struct PaymentPopupItem {
  QString caption;
  QString docNo;
};

class frmRzZfrc : public QDialog {
  Q_OBJECT
 public:
  explicit frmRzZfrc(QWidget* owner = nullptr);

  QComboBox* Combo1 = nullptr;  // 1900 to 2100
  QComboBox* Combo2 = nullptr;  // 1 to 12
  ButtonArray* pbCommand1 = nullptr;  // 前一月, 后一月, 本月, 刷新
  MonthCalendar* Fg = nullptr;

  // The open plan rows (编号) due on each day of the shown month; index 0 unused.
  std::vector<QList<qint64>> DayLists;

  // Shows the popup and returns the chosen item's index, -1 for none. Tests answer it.
  std::function<int(const QStringList& captions, const QPoint& at)> ChooseFromPopup;

  void Form_Load();
  void pbCommand1_Click(int index);
  void 日历过程(int year, int month);
  void 预处理(int year, int month, int days);
  // The text of one day: "客户名称→应付" per instalment.
  QString 未还贷款(const QList<qint64>& ids);
  // The popup items of a day's instalments, in 编号 order.
  std::vector<PaymentPopupItem> 支付日程_点击Fg(const QList<qint64>& ids);
  // A click on a day's text: the popup, then the chosen record's view.
  void Fg_Click(int day, const QPoint& at);
  // Opens the record view as the financing list does, with its rights and approval checks.
  void OpenDocument(const QString& docNo);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  bool loaded_ = false;
};
