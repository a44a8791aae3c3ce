#pragma once
// The date entry of every window: a date edit with a calendar pop-up showing "yyyy-MM-dd", and, where
// a window allows it, an explicit empty state (shown blank, read as an empty text). A whole date or a
// year alone may be typed over the selected text; it is taken on Enter or when the box loses the focus.
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

  static QDate firstDate() { return {1900, 1, 1}; }
  static QDate lastDate() { return {2100, 12, 31}; }
  // What a typed text makes of `current`: a whole date ("2027-03-09", "2027/3/9", "20270309") or a
  // year alone ("2027", the month and day kept). Invalid for anything else, an impossible date or one
  // outside firstDate()..lastDate().
  static QDate parseTyped(const QString& text, const QDate& current);
  // The caption that names the box in its messages: the one set, else the label beside it (its
  // buddy, or the label left of it in the layout), else "日期".
  void setLabel(const QString& label) { label_ = label; }
  QString label() const;
  // Whether a typed text waits to be taken.
  bool isTyping() const { return typing_; }

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  QString textFromDateTime(const QDateTime& dt) const override;
  QValidator::State validate(QString& input, int& pos) const override;

 private:
  bool allowEmpty_ = false;
  bool empty_ = false;
  bool typing_ = false;
  bool wholeSelected_ = false;
  QString label_;
  QPointer<QCalendarWidget> connectedCalendar_;
  void connectCalendar(QCalendarWidget* calendar);
  // Takes the typed text, or says why not and shows the old value again.
  void commitTyped();
};

class QLineEdit;
// Makes a text box accept only what a rate may hold: digits and one ".".
void MakeAmountBox(QLineEdit* box);
// Makes a text box accept only what an amount of money may hold: digits, one "." and at most two
// decimals, and no input method. A text pasted or dropped is read alone (full-width digits taken,
// separators of whole thousands dropped) and put where Qt would put it; when the box's text would then
// not fit, it is refused with `label` + "输入不合法！" and the box keeps its text.
void MakeMoneyBox(QLineEdit* box, const QString& label);
