#pragma once
// The shared procedures every window leans on: the rights check and input checks, with the error
// report and the handler guard (from the data layer) that keep errors from crossing the event loop.
#include <QString>

#include "app/data/RuntimeError.h"
#include "platform/Dialogs.h"

class QWidget;
class QLineEdit;
class QPlainTextEdit;

// True when the logged-in user holds the right (role 3 holds all); else says "权限不足！".
bool CheckUserRight(const QString& right);
// Whether a comma list holds `item` as a whole element (blanks around elements ignored).
bool ListHasItem(const QString& commaList, const QString& item);

// The modes of ValidateTextInput that check a number: any number, an amount (at most 999999999.99,
// whole cents), a rate in percent (at most 100). Any other mode: the text must not be empty.
inline constexpr int kNumberInput = 1, kMoneyInput = 2, kRateInput = 3;
// The number modes: the text must be a number (digits and one ".") within the mode's ceiling, else
// caption + "输入不合法！"; other modes: caption + "不能为空！". A failure marks the box (and a bad
// number is reset to "0").
bool ValidateTextInput(QLineEdit* box, const QString& caption, int mode);
// Focus and the cyan background that marks a field to correct.
void MarkInputInvalid(QWidget* box);
// Removes the mark.
void ClearInputMark(QWidget* box);
// Selects the whole line around the caret of a multi-line box.
void SelectCurrentLine(QPlainTextEdit* box);
// The range SelectCurrentLine selects: start and length for caret position `caret`.
std::pair<int, int> CurrentLineRange(const QString& text, int caret);
// The program keeps no operation log; callers say what they did and nothing is stored.
void WriteOperationLog(const QString& description);
