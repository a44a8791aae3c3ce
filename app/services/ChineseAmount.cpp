#include "app/services/ChineseAmount.h"

#include <cmath>

#include "app/services/ErrorReport.h"
#include "platform/Money.h"

namespace {

const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
const QString kUnits = QStringLiteral("圆拾佰仟万拾佰仟亿拾佰仟");

QString capitals(const QString& digits) {
  QString out;
  for (QChar c : digits) out += kDigits.at(c.unicode() - '0');
  return out;
}

void replaceWhile(QString& s, const QString& from, const QString& to) {
  while (s.contains(from)) s.replace(from, to);
}

// The conversion of an amount >= 0 given in fen.
QString convert(qint64 fen) {
  if (fen == 0) return QStringLiteral("零");
  // Plain decimal text without trailing zeros (1.50 is written 1.5).
  QString intPart = QString::number(fen / 100);
  QString decPart = QStringLiteral("%1").arg(fen % 100, 2, 10, QLatin1Char('0'));
  while (decPart.endsWith(QLatin1Char('0'))) decPart.chop(1);

  if (intPart.size() > 12) return QStringLiteral("0");

  // Every digit followed by its place unit: 壹贰叁 becomes 壹佰贰拾叁圆.
  const QString caps = capitals(intPart);
  const qsizetype n = caps.size();
  QString words;
  for (qsizetype k = 0; k < n; ++k) {
    words += caps.at(k);
    words += kUnits.at(n - 1 - k);
  }

  // Collapse the zeros.
  for (const char* unit : {"拾", "佰", "仟"})
    replaceWhile(words, QStringLiteral("零") + QString::fromUtf8(unit), QStringLiteral("零"));
  for (const char* unit : {"圆", "万", "亿"})
    replaceWhile(words, QStringLiteral("零") + QString::fromUtf8(unit), QString::fromUtf8(unit));
  replaceWhile(words, QStringLiteral("零零"), QStringLiteral("零"));
  words.replace(QStringLiteral("亿万"), QStringLiteral("亿"));

  // The decimal words.
  QString dec;
  const QString decCaps = capitals(decPart);
  if (decCaps.isEmpty())
    dec = QStringLiteral("整");
  else if (decCaps.size() == 1)
    dec = decCaps + QStringLiteral("角整");
  else
    dec = decCaps.at(0) + QStringLiteral("角") + decCaps.at(1) + QStringLiteral("分整");
  dec.replace(QStringLiteral("零角"), QStringLiteral("零"));
  dec.remove(QStringLiteral("零分"));
  dec.replace(QStringLiteral("零整"), QStringLiteral("整"));
  dec.replace(QStringLiteral("分整"), QStringLiteral("分"));

  QString result = words + dec;
  if (result.startsWith(QStringLiteral("零"))) result.remove(0, 1);
  if (result.startsWith(QStringLiteral("圆"))) result.remove(0, 1);
  return result;
}

}  // namespace

QString AmountToChineseUppercase(double amount) {
  try {
    if (!std::isfinite(amount)) throw AppError(Err::TypeMismatch, QStringLiteral("金额不是有效的数值。"));
    // Rounded to the fen first; beyond twelve whole digits the result is "0".
    const double size = Money::round(std::fabs(amount), 2);
    if (size >= 1e12) return QStringLiteral("0");
    const QString words = convert(Money::toCents(size));
    // No caller passes a negative amount; one gets "负" before its size's words (not before the
    // fixed results "零", "0" and "1").
    if (amount < 0 && words.size() > 1) return QStringLiteral("负") + words;
    return words;
  } catch (const AppError& e) {
    ReportRuntimeError(QString(), nullptr, e);
    return {};
  }
}
