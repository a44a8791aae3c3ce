#pragma once
// The date entry of every window: a date edit with a calendar pop-up showing "yyyy-MM-dd", and, where
// a window allows it, an explicit empty state (shown blank, read as an empty text).
#include <QCalendarWidget>
#include <QDateEdit>
#include <QPointer>

class DateBox : public QDateEdit {
  Q_OBJECT
 public:
  explicit DateBox(QWidget* parent = nullptr);
  // Whether the box may be empty; an empty box reads "" from dateText().
  void setAllowEmpty(bool allow);
  bool allowEmpty() const { return allowEmpty_; }
  bool isEmpty() const { return empty_; }
  void setEmpty();
  // "yyyy-MM-dd", or "" when empty.
  QString dateText() const;
  // Sets from a date text; an empty or invalid text empties the box when allowed, else keeps the date.
  void setDateText(const QString& text);
  void setDateValue(const QDate& d);
  // The calendar of the pop-up, built on first use; hides QDateEdit's so that a day picked in it
  // is seen by the box however the calendar was reached.
  QCalendarWidget* calendarWidget() const;

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  QString textFromDateTime(const QDateTime& dt) const override;
  QValidator::State validate(QString& input, int& pos) const override;

 private:
  bool allowEmpty_ = false;
  bool empty_ = false;
  QPointer<QCalendarWidget> connectedCalendar_;
  void connectCalendar(QCalendarWidget* calendar);
};

class QLineEdit;
// Makes a text box accept only what an amount or rate may hold: digits and one ".".
void MakeAmountBox(QLineEdit* box);
