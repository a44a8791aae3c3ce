#include "platform/TextStart.h"

#include <QComboBox>
#include <QLineEdit>

void ShowTextStart(QLineEdit* box) {
  // Setting a box to the text it already holds moves the caret to the end without a textChanged,
  // so the caret itself is watched. A text the user typed or pasted (modified) keeps its caret.
  const auto toStart = [box] {
    if (!box->hasFocus() && !box->isModified() && box->cursorPosition() != 0) box->setCursorPosition(0);
  };
  QObject::connect(box, &QLineEdit::textChanged, box, toStart);
  QObject::connect(box, &QLineEdit::cursorPositionChanged, box, toStart);
  box->setCursorPosition(0);
}

void ShowTextStart(QComboBox* box) {
  if (QLineEdit* edit = box->lineEdit()) ShowTextStart(edit);
}
