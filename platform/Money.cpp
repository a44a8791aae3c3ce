#include "platform/Money.h"

#include <QVariant>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <cmath>
#include <cstdio>

namespace Money {

double round(double value, int places) {
  const double scale = std::pow(10.0, places);
  // Nudge by a few units in the last place so that binary representations just below a half
  // (2.675 is 2.67499999...) round up as a person computing with the decimal text would expect.
  double scaled = value * scale;
  double nudged = scaled + std::copysign(std::fabs(scaled) * 8 * DBL_EPSILON, scaled);
  double r = std::trunc(nudged + std::copysign(0.5, nudged));
  if (r == 0) r = 0;  // no "-0"
  return r / scale;
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

double valueOf(const QString& text) {
  double v = 0;
  parse(text, &v);
  return v;
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
