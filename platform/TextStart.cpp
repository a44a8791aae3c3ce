#include "platform/TextStart.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

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

void FitIdentityNumber(QLineEdit* box) {
  box->ensurePolished();
  const QFontMetrics fm(box->font());
  // The widest an identity number writes: 17 digits and the check character "X". Beside its text a
  // box keeps 2 pixels a side, a pixel for the caret, its text margins, and what its style draws around.
  const int text = fm.horizontalAdvance(QStringLiteral("00000000000000000X"));
  const QMargins m = box->textMargins();
  QStyleOptionFrame frame;
  frame.initFrom(box);
  frame.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box) : 0;
  const QSize inner(text + 2 * 2 + 1 + m.left() + m.right(), fm.height());
  box->setMinimumWidth(box->style()->sizeFromContents(QStyle::CT_LineEdit, &frame, inner, box).width());
}
