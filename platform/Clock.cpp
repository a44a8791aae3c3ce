#include "platform/Clock.h"

#include <QRegularExpression>

namespace {
QDateTime g_fixed;
}

namespace Clock {
QDate today() { return now().date(); }
QDateTime now() { return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime(); }
void setFixed(const QDateTime& at) { g_fixed = at; }
QString futureDateRefusal(const QString& caption, const QDate& date) {
  return date.isValid() && date > today() ? caption + QStringLiteral("不能晚于今天！") : QString();
}
}  // namespace Clock

QString DateText(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString(); }
QString TimeText(const QTime& t) { return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString(); }

QString DateTimeText(const QDateTime& dt) {
  if (!dt.isValid()) return {};
  if (dt.time() == QTime(0, 0)) return DateText(dt.date());
  return DateText(dt.date()) + QLatin1Char(' ') + TimeText(dt.time());
}

QString ChineseDateText(const QDate& d) {
  return d.isValid() ? d.toString(QStringLiteral("yyyy年MM月dd日")) : QString();
}

QDate ParseDateText(const QString& text) {
  static const QRegularExpression re(QStringLiteral("^\\s*(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T].*)?$"));
  auto m = re.match(text);
  if (!m.hasMatch()) return {};
  return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}
