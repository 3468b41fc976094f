#pragma once

#include <QString>
#include <optional>

// Number texts as the counter shows and reads them: a comma as decimal separator.

// The general format: rounded to 15 significant digits, trailing zeros dropped, no thousands
// separator, a comma as decimal separator ("13,5", "22", "-20").
QString generalformat(double value);
// Reads a number typed with a decimal comma: an optional sign, digits with at most one comma
// (",5" and "5," read), an optional exponent, blanks around allowed. None when it is not one.
std::optional<double> readfloat(const QString& text);
// True when every character is a digit "0" to "9", a comma or a point; the empty text passes.
// The lookup reads such a search text as a card number.
bool isnumeric(const QString& text);
