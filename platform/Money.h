#pragma once
// Money and rate arithmetic of the whole program: double precision, rounded only where the business
// rounds, halves away from zero. No window rounds or formats amounts on its own.
#include <QString>

#include <cstddef>

namespace Money {
// Rounds to `places` decimals, halves away from zero (0.005 -> 0.01, -0.005 -> -0.01).
// Halves just below by binary representation count as halves; a value never moves by more than
// half a unit of the last place kept, whatever its size; one that is not finite comes back unchanged.
double round(double value, int places = 2);
// The amount in whole cents (rounded to the cent first).
long long toCents(double value);
// A sum that adds whole cents: each value rounded to the cent, the total exact to the cent.
double sumCents(const double* values, size_t count);
// The largest amount a money box or a plan's total interest may hold, and the largest rate (percent).
inline constexpr double kMaxAmount = 999999999.99;
inline constexpr double kMaxRate = 100;
// Whether a value is a finite number from 0 to `ceiling` (to within half a cent above it).
bool withinCeiling(double value, double ceiling = kMaxAmount);
// The principal a plan row takes: never more than is still outstanding nor below 0, and the last
// principal-bearing row takes all that is left, so a plan adds up and has no negative row.
double rowPrincipal(double wanted, double outstanding, bool last);
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
// What a paste into a money box reads as: full-width digits and "．" as their ASCII forms, spaces at
// its ends dropped, and ",", "，" or a space dropped where they group whole thousands ("1,000.00",
// "60 000"; not "1,5" nor "0,500"). Anything else is left as pasted, for the box's rule to judge.
QString fromPaste(const QString& pasted);
// The value of a box for calculation: the strict number, or 0 when the text is not one.
double valueOf(const QString& text);
// The decimals an amount may carry: whole cents.
inline constexpr int kAmountPlaces = 2;
// Whether a strict number has at most `places` digits after its point.
bool hasAtMostPlaces(const QString& text, int places = kAmountPlaces);
// Whether a number, as its shortest decimal form writes it, has at most `places` decimals
// (0.1 + 0.2 has more; 999999999.99 has two).
bool hasAtMostPlaces(double value, int places = kAmountPlaces);
}

class QVariant;
// Whether a value holds a number (as opposed to text that may read as one).
bool IsNumberVariant(const QVariant& v);
