#pragma once
// Text boxes hold no more than their column does on SQL Server, in both storage modes, so a save
// never fails on one workstation and passes on another. A text the program loads is never cut: a
// longer stored text shows whole and is saved unchanged unless the user edits that box.
#include <QString>

class QLineEdit;
class QWidget;

// The length of a text column as the schema gives it (255 where none is given); 0 for a column
// without a limit (long texts) or one that is not text.
int TextColumnLength(const QString& table, const QString& column);

// Binds `box` to table.column: typing stops at the column's length, and a longer paste is refused
// with `label` + "不能超过N个字！". `label` may end with "：" (it is left out of the message).
void LimitTextBox(QLineEdit* box, const QString& table, const QString& column, const QString& label);
// A box whose label changes with what it shows (the lookup list's parameter box).
void SetTextLimitLabel(QLineEdit* box, const QString& label);
// The limit a box was given (0 for none).
int TextBoxLimit(const QLineEdit* box);

// Before a save: a limited box under `form` that the user edited and that still holds more than its
// length is said (label + "不能超过N个字！"), marked, and false is returned.
bool CheckTextLimits(QWidget* form);

// Before a save that adds `note` to the remark typed in a limited `box` (after "；" when the box holds
// text): when the two together would pass the box's length, says label + "不能超过N个字！" (N: what
// the note leaves), marks the box and returns false.
bool CheckRoomForNote(QLineEdit* box, const QString& note);
// "减免利息X元": the note a waiver adds to the record's remark.
QString WaiverNote(double waived);
// The remark with `note` after it, "；" between them when the remark holds text.
QString RemarkWithNote(const QString& remark, const QString& note);

// The message for a text over its column's length.
QString TextTooLongMessage(const QString& label, int length);
