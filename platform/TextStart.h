#pragma once
// Boxes the program fills show the start of their text: a box narrower than its text would
// otherwise scroll to the end, and an 18-digit ID number loses its first digits, a name its surname.
class QComboBox;
class QLineEdit;

// From now on, a text set while the box does not have the focus is shown from its first character;
// what the user types scrolls as usual.
void ShowTextStart(QLineEdit* box);
// The same for an editable combo's text.
void ShowTextStart(QComboBox* box);
// A box that shows an identity number is never too narrow for its 18 characters.
void FitIdentityNumber(QLineEdit* box);
