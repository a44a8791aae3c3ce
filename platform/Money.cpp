#include "platform/Money.h"

#include <QLocale>
#include <QRegularExpression>
#include <QVariant>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <cmath>
#include <cstdio>

namespace Money {

double round(double value, int places) {
  if (!std::isfinite(value)) return value;
  static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  const double scale = places >= 0 && places <= 8 ? kPowers[places] : std::pow(10.0, places);
  const double scaled = value * scale;
  // Beyond 2^52 units every double is a whole number of them already.
  if (!(std::fabs(scaled) < 4503599627370496.0)) return value;
  // Nudge by a few units in the last place so that binary representations just below a half
  // (2.675 is 2.67499999...) round up as a person computing with the decimal text would expect.
  // The nudge is capped far below a unit, so a large value never moves by more than the rounding asks.
  const double nudge = std::min(std::fabs(scaled) * 8 * DBL_EPSILON, 1.0 / (1 << 20));
  const double nudged = scaled + std::copysign(nudge, scaled);
  double r = std::trunc(nudged + std::copysign(0.5, nudged));
  if (r == 0) r = 0;  // no "-0"
  return r / scale;
}

bool withinCeiling(double value, double ceiling) { return std::isfinite(value) && value >= 0 && value < ceiling + 0.005; }

double rowPrincipal(double wanted, double outstanding, bool last) {
  const double open = std::max(0.0, round(outstanding, 2));
  return last ? open : std::clamp(round(wanted, 2), 0.0, open);
}

long long toCents(double value) { return std::llround(round(value, 2) * 100); }

double sumCents(const double* values, size_t count) {
  long long c = 0;
  for (size_t i = 0; i < count; ++i) c += toCents(values[i]);
  return static_cast<double>(c) / 100;
}

int formatChars(double value, int places, char* buf, int size) {
  const auto done = std::to_chars(buf, buf + size, round(value, places), std::chars_format::fixed, places);
  if (done.ec != std::errc()) return -1;
  int n = static_cast<int>(done.ptr - buf);
  // An amount that rounds to nothing shows without its sign.
  if (buf[0] == '-' && std::all_of(buf + 1, buf + n, [](char ch) { return ch == '0' || ch == '.'; })) {
    std::memmove(buf, buf + 1, static_cast<size_t>(n - 1));
    --n;
  }
  return n;
}

QString format(double value, const QString& mask) {
  int places = 0;
  int dot = mask.indexOf(QLatin1Char('.'));
  if (dot >= 0) places = static_cast<int>(mask.size() - dot - 1);
  char buf[512];
  const int n = formatChars(value, places, buf, sizeof buf);
  return n < 0 ? QString() : QString::fromLatin1(buf, n);
}

bool isStrictNumber(const QString& text) {
  if (text.isEmpty()) return false;
  int dots = 0, digits = 0;
  for (QChar c : text) {
    if (c == QLatin1Char('.')) {
      if (++dots > 1) return false;
    } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
      ++digits;
    } else {
      return false;
    }
  }
  return digits > 0;
}

bool parse(const QString& text, double* out) {
  if (out) *out = 0;
  if (!isStrictNumber(text)) return false;
  bool ok = false;
  QString t = text;
  if (t.startsWith(QLatin1Char('.'))) t.prepend(QLatin1Char('0'));
  if (t.endsWith(QLatin1Char('.'))) t.append(QLatin1Char('0'));
  double v = t.toDouble(&ok);
  if (!ok) return false;
  if (out) *out = v;
  return true;
}

QString fromPaste(const QString& pasted) {
  QString t;
  t.reserve(pasted.size());
  for (const QChar c : pasted) {
    if (c >= QChar(0xFF10) && c <= QChar(0xFF19))
      t += QChar(u'0' + (c.unicode() - 0xFF10));
    else if (c == QChar(0xFF0E))
      t += QLatin1Char('.');
    else
      t += c;
  }
  t = t.trimmed();
  // One separator throughout, every group after the first of exactly three digits, and a first group
  // that starts with no 0 ("0,500" groups nothing).
  static const QRegularExpression grouped(QStringLiteral("^[1-9][0-9]{0,2}([,， ])[0-9]{3}(\\1[0-9]{3})*(\\.[0-9]*)?$"));
  if (const QRegularExpressionMatch m = grouped.match(t); m.hasMatch()) t.remove(m.captured(1));
  return t;
}

double valueOf(const QString& text) {
  double v = 0;
  parse(text, &v);
  return v;
}

bool hasAtMostPlaces(const QString& text, int places) {
  if (!isStrictNumber(text)) return false;
  const qsizetype dot = text.indexOf(QLatin1Char('.'));
  return dot < 0 || text.size() - dot - 1 <= places;
}

bool hasAtMostPlaces(double value, int places) {
  if (!std::isfinite(value)) return false;
  // The shortest text that reads back as the same double: what the user or the request wrote.
  const QString text = QString::number(std::fabs(value), 'f', QLocale::FloatingPointShortest);
  return hasAtMostPlaces(text, places);
}

}  // namespace Money

bool IsNumberVariant(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}
