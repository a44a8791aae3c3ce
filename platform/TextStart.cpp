#include "platform/TextStart.h"

#include <QComboBox>
#include <QLineEdit>

void ShowTextStart(QLineEdit* box) {
  // Setting a box to the text it already holds moves the caret to the end without a textChanged,
  // so the caret itself is watched: a box the user is not in keeps it at the start.
  const auto toStart = [box] {
    if (!box->hasFocus() && box->cursorPosition() != 0) box->setCursorPosition(0);
  };
  QObject::connect(box, &QLineEdit::textChanged, box, toStart);
  QObject::connect(box, &QLineEdit::cursorPositionChanged, box, toStart);
  box->setCursorPosition(0);
}

void ShowTextStart(QComboBox* box) {
  if (QLineEdit* edit = box->lineEdit()) ShowTextStart(edit);
}
