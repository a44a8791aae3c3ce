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

void MakeAmountBox(QLineEdit* box) {
  static const QRegularExpression re(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
  box->setValidator(new QRegularExpressionValidator(re, box));
}
