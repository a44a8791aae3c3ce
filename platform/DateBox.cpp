#include "platform/DateBox.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "platform/Clock.h"

DateBox::DateBox(QWidget* parent) : QDateEdit(parent) {
  setCalendarPopup(true);
  setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  setDate(Clock::today());
  connect(this, &QDateEdit::dateChanged, this, [this] {
    if (empty_) {
      empty_ = false;
      update();
    }
  });
  // No calendar here: building one costs more than the rest of the box and most boxes are never
  // opened, so it is connected when first reached (calendarWidget, or its pop-up about to show).
}

QCalendarWidget* DateBox::calendarWidget() const {
  QCalendarWidget* calendar = QDateEdit::calendarWidget();
  const_cast<DateBox*>(this)->connectCalendar(calendar);
  return calendar;
}

void DateBox::connectCalendar(QCalendarWidget* calendar) {
  if (!calendar || calendar == connectedCalendar_) return;
  connectedCalendar_ = calendar;
  // A day picked in the calendar fills an empty box, also the day the box kept hidden.
  connect(calendar, &QCalendarWidget::clicked, this, [this] {
    if (!empty_) return;
    empty_ = false;
    lineEdit()->setText(textFromDateTime(dateTime()));
  });
}

bool DateBox::event(QEvent* e) {
  // The pop-up is polished just before it first shows, whatever opened it (a key, the mouse, code).
  // Looking for its calendar builds nothing when there is none yet.
  if (e->type() == QEvent::ChildPolished) {
    QObject* child = static_cast<QChildEvent*>(e)->child();
    if (child->isWidgetType() && static_cast<QWidget*>(child)->isWindow()) connectCalendar(findChild<QCalendarWidget*>());
  }
  return QDateEdit::event(e);
}

void DateBox::setAllowEmpty(bool allow) {
  allowEmpty_ = allow;
  if (!allow && empty_) {
    empty_ = false;
    lineEdit()->setText(textFromDateTime(dateTime()));
  }
}

void DateBox::setEmpty() {
  if (!allowEmpty_) return;
  empty_ = true;
  // Quietly: the edit would read the blank text as a date and leave the empty state.
  const QSignalBlocker quiet(lineEdit());
  lineEdit()->clear();
}

QString DateBox::dateText() const { return empty_ ? QString() : DateText(date()); }

void DateBox::setDateText(const QString& text) {
  QDate d = ParseDateText(text);
  if (d.isValid()) {
    setDateValue(d);
  } else if (allowEmpty_) {
    setEmpty();
  }
}

void DateBox::setDateValue(const QDate& d) {
  bool wasEmpty = empty_;
  empty_ = false;
  setDate(d);
  if (wasEmpty) lineEdit()->setText(textFromDateTime(dateTime()));
}

void DateBox::keyPressEvent(QKeyEvent* e) {
  // Delete or Backspace on an optional date empties it.
  if (allowEmpty_ && (e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace)) {
    setEmpty();
    return;
  }
  if (empty_) {
    empty_ = false;
    lineEdit()->setText(textFromDateTime(dateTime()));
  }
  QDateEdit::keyPressEvent(e);
}

QString DateBox::textFromDateTime(const QDateTime& dt) const {
  if (empty_) return QString();
  return QDateEdit::textFromDateTime(dt);
}

QValidator::State DateBox::validate(QString& input, int& pos) const {
  // The blank text of an empty box is its value, not a typing mistake to undo.
  if (empty_ && input.isEmpty()) return QValidator::Acceptable;
  return QDateEdit::validate(input, pos);
}

void MakeAmountBox(QLineEdit* box) {
  static const QRegularExpression re(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
  box->setValidator(new QRegularExpressionValidator(re, box));
}
