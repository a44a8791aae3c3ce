#include "platform/DateBox.h"

#include <QAction>
#include <QBoxLayout>
#include <QCalendarWidget>
#include <QClipboard>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Money.h"

namespace {
// What may stand in a typed date.
const QRegularExpression& typedChars() {
  static const QRegularExpression re(QStringLiteral("^[0-9./-]*$"));
  return re;
}

// The label just before the item `at` of `layout`: the cell to its left in a grid, the item before
// it in a row.
QLabel* labelBefore(QLayout* layout, int at) {
  QLayoutItem* before = nullptr;
  if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
    int row = 0, col = 0, rows = 0, cols = 0;
    grid->getItemPosition(at, &row, &col, &rows, &cols);
    if (col > 0) before = grid->itemAtPosition(row, col - 1);
  } else if (qobject_cast<QBoxLayout*>(layout) && at > 0) {
    before = layout->itemAt(at - 1);
  }
  return before ? qobject_cast<QLabel*>(before->widget()) : nullptr;
}

// Finds `w` in `layout` or one of its inner layouts and sets *label to the label beside it. A box
// that leads an inner layout (a date box with its preset list in one cell) takes the label beside
// that layout. *leads tells the caller that `w` is the first item of the layout searched.
bool findLabel(QLayout* layout, QWidget* w, QLabel** label, bool* leads) {
  if (!layout) return false;
  const int at = layout->indexOf(w);
  if (at >= 0) {
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
      *label = qobject_cast<QLabel*>(form->labelForField(w));
      *leads = false;
    } else {
      *label = labelBefore(layout, at);
      *leads = at == 0;
    }
    return true;
  }
  for (int i = 0; i < layout->count(); ++i) {
    if (!findLabel(layout->itemAt(i)->layout(), w, label, leads)) continue;
    if (!*label && *leads) {
      *label = labelBefore(layout, i);
      *leads = i == 0;
    } else {
      *leads = false;
    }
    return true;
  }
  return false;
}

QLabel* labelBeside(QLayout* layout, QWidget* w) {
  QLabel* label = nullptr;
  bool leads = false;
  findLabel(layout, w, &label, &leads);
  return label;
}

// A caption as a message names it: without the blanks that align it, its colon and mnemonic.
QString captionOf(const QLabel* l) {
  if (!l) return {};
  QString t = l->text();
  t.remove(QLatin1Char('&'));
  t.remove(QRegularExpression(QStringLiteral("[\\s\u3000]")));
  while (t.endsWith(QChar(0xFF1A)) || t.endsWith(QLatin1Char(':'))) t.chop(1);
  // A connective such as "至" between the two boxes of a range names neither of them.
  return t.size() >= 2 ? t : QString();
}
}  // namespace

DateBox::DateBox(QWidget* parent) : QDateEdit(parent) {
  setCalendarPopup(true);
  setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  setDateRange(firstDate(), lastDate());
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

QDate DateBox::parseTyped(const QString& text, const QDate& current) {
  static const QRegularExpression year(QStringLiteral("^(\\d{4})$"));
  static const QRegularExpression whole(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
  static const QRegularExpression digits(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
  const QString t = text.trimmed();
  QDate d;
  if (const QRegularExpressionMatch y = year.match(t); y.hasMatch()) {
    d = QDate(y.captured(1).toInt(), current.month(), current.day());
  } else {
    QRegularExpressionMatch m = whole.match(t);
    if (!m.hasMatch()) m = digits.match(t);
    if (m.hasMatch()) d = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  }
  if (!d.isValid() || d < firstDate() || d > lastDate()) return {};
  return d;
}

QString DateBox::label() const {
  if (!label_.isEmpty()) return label_;
  QString found;
  if (const QWidget* top = window())
    for (const QLabel* l : top->findChildren<QLabel*>())
      if (l->buddy() == this) found = captionOf(l);
  if (found.isEmpty() && parentWidget()) found = captionOf(labelBeside(parentWidget()->layout(), const_cast<DateBox*>(this)));
  return found.isEmpty() ? QStringLiteral("日期") : found;
}

void DateBox::commitTyped() {
  if (!typing_) return;
  typing_ = false;
  const QString text = lineEdit()->text().trimmed();
  if (text.isEmpty() && allowEmpty_) {
    setEmpty();
    return;
  }
  const QDate d = parseTyped(text, date());
  if (d.isValid()) {
    setDateValue(d);
    // The same date typed again leaves no date change to redraw the text.
    lineEdit()->setText(textFromDateTime(dateTime()));
    return;
  }
  // The old value again, then the message: the box must not show the wrong text behind it.
  if (empty_) {
    setEmpty();
  } else {
    lineEdit()->setText(textFromDateTime(dateTime()));
  }
  MsgBox(label() + QStringLiteral("输入不合法！"), Mb::Exclamation);
}

void DateBox::focusOutEvent(QFocusEvent* e) {
  wholeSelected_ = false;
  commitTyped();
  QDateEdit::focusOutEvent(e);
}

void DateBox::keyPressEvent(QKeyEvent* e) {
  // Typing over the whole text (after Ctrl+A, or into an empty box) is a date or a year of its own,
  // edited as plain text: the sections would take the digits one field at a time.
  const QString typed = e->text();
  const bool plainKey = !(e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
  const bool charKey = plainKey && !typed.isEmpty() && typedChars().match(typed).hasMatch();
  if (typing_) {
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        commitTyped();
        QDateEdit::keyPressEvent(e);
        return;
      case Qt::Key_Escape:
        typing_ = false;
        if (empty_) setEmpty(); else lineEdit()->setText(textFromDateTime(dateTime()));
        return;
      case Qt::Key_Backspace:
      case Qt::Key_Delete:
      case Qt::Key_Left:
      case Qt::Key_Right:
      case Qt::Key_Home:
      case Qt::Key_End:
        QCoreApplication::sendEvent(lineEdit(), e);
        return;
      default:
        if (charKey) {
          lineEdit()->insert(typed);
          return;
        }
        if (plainKey && !typed.isEmpty() && typed.at(0).isPrint()) return;  // not part of a date
        QDateEdit::keyPressEvent(e);
        return;
    }
  }
  // Ctrl+A is remembered here: the sections would narrow the selection to one of them at once.
  if (e->matches(QKeySequence::SelectAll)) {
    lineEdit()->selectAll();
    wholeSelected_ = true;
    return;
  }
  const bool whole = wholeSelected_ || empty_ || lineEdit()->text().isEmpty();
  wholeSelected_ = false;
  if (charKey && whole) {
    typing_ = true;
    lineEdit()->setText(typed);
    return;
  }
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
  // A redraw while a date is typed keeps what was typed.
  if (typing_) return lineEdit()->text();
  if (empty_) return QString();
  return QDateEdit::textFromDateTime(dt);
}

QValidator::State DateBox::validate(QString& input, int& pos) const {
  // The blank text of an empty box is its value, not a typing mistake to undo.
  if (empty_ && input.isEmpty()) return QValidator::Acceptable;
  // A typed text is read when it is taken, not while it grows.
  if (typing_) return typedChars().match(input).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
  return QDateEdit::validate(input, pos);
}

void MakeAmountBox(QLineEdit* box) {
  static const QRegularExpression re(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
  box->setValidator(new QRegularExpressionValidator(re, box));
}

namespace {
// The money box's rule: digits, one "." and at most two decimals. A key that would break it is not
// taken: what is shown is what is saved.
const QRegularExpression& moneyRule() {
  static const QRegularExpression re(QStringLiteral("^[0-9]*\\.?[0-9]{0,2}$"));
  return re;
}

// The paste command of a line edit's standard context menu.
QAction* pasteAction(const QMenu* menu) {
  // The line edit's own menu names its paste by this text (translated), with the shortcut after a tab.
  const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
  for (QAction* action : menu->actions())
    if (action->text().section(QLatin1Char('\t'), 0, 0) == paste) return action;
  return nullptr;
}

// A text pasted or dropped into a money box is read alone, as the clerk meant it (Money::fromPaste),
// and put where Qt puts it: over the selection for a paste, at the drop point for a drop, at the
// cursor for a middle-click. Each path is taken here, where its text is known: the validator sees
// only the whole new text, and guessing the pasted piece from it misreads "4,000.00" pasted over
// "4000". A reading that leaves the box's text against its rule is said, never dropped without a word.
class MoneyPaste : public QObject {
 public:
  MoneyPaste(QLineEdit* box, const QString& label) : QObject(box), box_(box), label_(label) {
    // A Chinese input method in its punctuation mode would turn a typed "." into "。".
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    box->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != box_) return false;
    if (e->type() == QEvent::InputMethodQuery) {
      // The line edit says it takes input whatever the attribute says; the input method asks this.
      auto* query = static_cast<QInputMethodQueryEvent*>(e);
      const auto asked = uint(query->queries().toInt());
      for (int bit = 0; bit < 32; ++bit)
        if (const auto q = Qt::InputMethodQuery(asked & (1u << bit)))
          query->setValue(q, q == Qt::ImEnabled ? QVariant(false) : box_->inputMethodQuery(q));
      query->accept();
      return true;
    }
    if (box_->isReadOnly()) return false;
    switch (e->type()) {
      case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (!key->matches(QKeySequence::Paste)) return false;
        // Ctrl+Shift+Insert pastes the selection where the desktop has one, as Qt does.
        const bool selection = key->key() == Qt::Key_Insert && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) &&
                               QGuiApplication::clipboard()->supportsSelection();
        paste(selection ? QClipboard::Selection : QClipboard::Clipboard);
        return true;
      }
      case QEvent::ContextMenu: {
        QMenu* menu = box_->createStandardContextMenu();
        if (QAction* action = pasteAction(menu)) {
          disconnect(action, &QAction::triggered, box_, nullptr);
          connect(action, &QAction::triggered, this, [this] { paste(QClipboard::Clipboard); });
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
      }
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(e)->button() != Qt::MiddleButton || !QGuiApplication::clipboard()->supportsSelection())
          return false;
        box_->deselect();
        paste(QClipboard::Selection);
        return true;
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(e);
        // A move inside the box is no new text; the box's own drop handles it.
        if (forwarding_ || drop->source() == box_ || !drop->mimeData()->hasText()) return false;
        const QString read = Money::fromPaste(drop->mimeData()->text());
        const int at = box_->cursorPositionAt(drop->position().toPoint());
        if (!keepsRule(box_->text().left(at) + read + box_->text().mid(at))) {
          drop->ignore();
          refuse();
          return true;
        }
        // The box's own drop puts the reading at the drop point, as it would the text dropped.
        QMimeData reading;
        reading.setText(read);
        QDropEvent again(drop->position(), drop->possibleActions(), &reading, drop->buttons(), drop->modifiers());
        again.setDropAction(drop->dropAction());
        forwarding_ = true;
        QCoreApplication::sendEvent(box_, &again);
        forwarding_ = false;
        drop->setDropAction(again.dropAction());
        drop->setAccepted(again.isAccepted());
        return true;
      }
      default: return false;
    }
  }

 private:
  void paste(QClipboard::Mode mode) {
    const QString pasted = QGuiApplication::clipboard()->text(mode);
    if (pasted.isEmpty()) return;
    const QString read = Money::fromPaste(pasted);
    const QString text = box_->text();
    const int from = box_->hasSelectedText() ? box_->selectionStart() : box_->cursorPosition();
    const int to = box_->hasSelectedText() ? box_->selectionEnd() : from;
    if (!keepsRule(text.left(from) + read + text.mid(to))) {
      refuse();
      return;
    }
    box_->insert(read);
  }

  bool keepsRule(QString whole) const {
    int pos = 0;
    return whole.size() <= box_->maxLength() && box_->validator()->validate(whole, pos) != QValidator::Invalid;
  }

  void refuse() {
    // Said once the event is over: a drop is still in the middle of the drag.
    QTimer::singleShot(0, box_, [box = QPointer<QLineEdit>(box_), label = label_] {
      if (box) MsgBox(label + QStringLiteral("输入不合法！"), Mb::Critical);
    });
  }

  QLineEdit* box_;
  QString label_;
  bool forwarding_ = false;  // the drop of the reading is on its way to the box
};
}  // namespace

void MakeMoneyBox(QLineEdit* box, const QString& label) {
  box->setValidator(new QRegularExpressionValidator(moneyRule(), box));
  new MoneyPaste(box, label);
}
