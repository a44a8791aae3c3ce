#include "platform/TextStart.h"

#include <QComboBox>
#include <QLineEdit>

void ShowTextStart(QLineEdit* box) {
  QObject::connect(box, &QLineEdit::textChanged, box, [box] {
    if (!box->hasFocus()) box->setCursorPosition(0);
  });
  box->setCursorPosition(0);
}

void ShowTextStart(QComboBox* box) {
  if (QLineEdit* edit = box->lineEdit()) ShowTextStart(edit);
}
