#pragma once
// Money and rate arithmetic of the whole program: double precision, rounded only where the business
// rounds, halves away from zero. No window rounds or formats amounts on its own.
#include <QString>

namespace Money {
// Rounds to `places` decimals, halves away from zero (0.005 -> 0.01, -0.005 -> -0.01).
double round(double value, int places = 2);
// Formats with a mask of the form "0", "0.00", "0.0000" (digits after the point = places).
QString format(double value, const QString& mask = QStringLiteral("0.00"));
// The characters format() writes for `places` decimals, into buf; their count, or -1 when they do not
// fit in `size`.
int formatChars(double value, int places, char* buf, int size);
// The strict number syntax of amount and rate boxes: ASCII digits with at most one ".", at least one
// digit, nothing else (no sign, separator, exponent or blank). Validation and calculation both use it.
bool isStrictNumber(const QString& text);
// Parses a strict number; returns false (and leaves *out at 0) for anything else.
bool parse(const QString& text, double* out);
// The value of a box for calculation: the strict number, or 0 when the text is not one.
double valueOf(const QString& text);
}

class QVariant;
// Whether a value holds a number (as opposed to text that may read as one).
bool IsNumberVariant(const QVariant& v);
