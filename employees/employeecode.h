// The identification code as the badge needs it: which characters a Code 39 barcode can draw, and what
// the operator reads about a code that will not scan as typed. Checked when a code is saved, so the
// fault is met at the keyboard, not at the printer. Knows nothing of windows or the database.
#pragma once

#include <QString>

namespace employees {

// Code 39's data characters; letters are drawn in upper case, so lower case counts as well.
QString code39Characters();

// Each character of the code, once, in order of appearance, that Code 39 cannot draw at all. "*" is
// not among them: the barcode draws it, but a reader stops there.
QString undrawableCodeCharacters(const QString& code);

// "The identification code "X" holds characters that a Code 39 barcode cannot draw: "_", "é". ..."
// naming them and listing the characters allowed. Empty when every character can be drawn.
QString undrawableCodeMessage(const QString& code);

// The warning for a code holding "*": it is drawn, but readers stop at it. Empty when there is none.
QString startStopInCodeMessage(const QString& code);

} // namespace employees
