#include "app/services/TextLimits.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "app/data/BuiltInSchema.h"
#include "app/services/ErrorReport.h"
#include "platform/Money.h"

namespace {

const char* const kLimitProperty = "vrnTextLimit";
const char* const kLabelProperty = "vrnTextLabel";
const char* const kEditedProperty = "vrnTextEdited";

QString bareLabel(QString label) {
  label = label.trimmed();
  while (label.endsWith(QChar(0xFF1A)) || label.endsWith(QLatin1Char(':'))) label.chop(1);
  return label.remove(QLatin1Char(' ')).remove(QChar(0x3000));
}

// What a limited box knows between its signals. textEdited comes before textChanged for one edit,
// and a text put back from inside textEdited is followed by the edit's own (stale) textChanged.
struct LimitState {
  QString current;     // the box's text after the last change
  int ownChanges = 0;  // textChanged emissions still to come from an edit or a put-back
};

}  // namespace

int TextColumnLength(const QString& table, const QString& column) {
  const SchemaTable* t = BuiltInSchema().table(table);
  const SchemaColumn* c = t ? t->column(column) : nullptr;
  if (!c || c->type != QLatin1String("text")) return 0;
  return c->length > 0 ? c->length : 255;
}

QString TextTooLongMessage(const QString& label, int length) {
  return bareLabel(label) + QStringLiteral("不能超过") + QString::number(length) + QStringLiteral("个字！");
}

void LimitTextBox(QLineEdit* box, const QString& table, const QString& column, const QString& label) {
  const int limit = TextColumnLength(table, column);
  if (!box || limit <= 0) return;
  const QString name = bareLabel(label);
  box->setProperty(kLimitProperty, limit);
  box->setProperty(kLabelProperty, name);
  box->setProperty(kEditedProperty, false);
  auto state = std::make_shared<LimitState>();
  state->current = box->text();
  QObject::connect(box, &QLineEdit::textEdited, box, [box, state, limit](const QString& text) {
    const qsizetype grown = text.size() - state->current.size();
    if (text.size() > limit && grown > 0) {
      // Typing stops at the limit; a loaded longer text may still be shortened.
      const int caret = box->cursorPosition() - int(grown);
      state->ownChanges += 2;
      box->setText(state->current);
      box->setCursorPosition(caret < 0 ? 0 : caret);
      if (grown > 1) {
        // A paste: said once the edit is over, not from inside it.
        QPointer<QLineEdit> guard = box;
        QTimer::singleShot(0, box, [guard, limit]() {
          if (guard) MsgBox(TextTooLongMessage(guard->property(kLabelProperty).toString(), limit), Mb::Exclamation);
        });
      }
      return;
    }
    ++state->ownChanges;
    box->setProperty(kEditedProperty, true);
  });
  QObject::connect(box, &QLineEdit::textChanged, box, [box, state]() {
    if (state->ownChanges > 0)
      --state->ownChanges;
    else
      box->setProperty(kEditedProperty, false);  // the program set the text
    state->current = box->text();
  });
}

void SetTextLimitLabel(QLineEdit* box, const QString& label) {
  if (box) box->setProperty(kLabelProperty, bareLabel(label));
}

int TextBoxLimit(const QLineEdit* box) { return box ? box->property(kLimitProperty).toInt() : 0; }

bool CheckRoomForNote(QLineEdit* box, const QString& note) {
  const int limit = TextBoxLimit(box);
  const qsizetype separator = box->text().isEmpty() ? 0 : 1;
  if (limit <= 0 || box->text().size() + separator + note.size() <= limit) return true;
  MsgBox(TextTooLongMessage(box->property(kLabelProperty).toString(), limit - int(note.size()) - 1), Mb::Exclamation);
  MarkInputInvalid(box);
  return false;
}

QString WaiverNote(double waived) { return QStringLiteral("减免利息%1元").arg(Money::format(waived)); }

QString RemarkWithNote(const QString& remark, const QString& note) {
  return remark.isEmpty() ? note : remark + QStringLiteral("；") + note;
}

bool CheckTextLimits(QWidget* form) {
  if (!form) return true;
  for (QLineEdit* box : form->findChildren<QLineEdit*>()) {
    const int limit = TextBoxLimit(box);
    if (limit <= 0 || !box->property(kEditedProperty).toBool() || box->text().size() <= limit) continue;
    MsgBox(TextTooLongMessage(box->property(kLabelProperty).toString(), limit), Mb::Exclamation);
    MarkInputInvalid(box);
    return false;
  }
  return true;
}
