#include "tools/CalcTool.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMap>

namespace {
QMap<QString, CalcFunction>& registry() {
  static QMap<QString, CalcFunction> r;
  return r;
}
}  // namespace

CalcRegistration::CalcRegistration(const char* key, CalcFunction fn) { registry().insert(QString::fromUtf8(key), fn); }

CalcFunction FindCalculation(const QString& key) { return registry().value(key, nullptr); }

int RunCalculation(const QByteArray& request, QByteArray* out, QString* err) {
  QJsonParseError pe{};
  const QJsonDocument doc = QJsonDocument::fromJson(request, &pe);
  if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
    *err = QStringLiteral("输入不是一个 JSON 对象：") + pe.errorString();
    return 2;
  }
  const QJsonObject in = doc.object();
  const QString key = in.value(QStringLiteral("计算")).toString();
  CalcFunction fn = FindCalculation(key);
  if (!fn) {
    QStringList known = registry().keys();
    *err = QStringLiteral("不认识的计算：\"%1\"（可用：%2）").arg(key, known.join(QStringLiteral("、")));
    return 2;
  }
  try {
    *out = QJsonDocument(fn(in)).toJson(QJsonDocument::Indented);
    return 0;
  } catch (const CalcInputError& e) {
    *err = QString::fromStdString(e.what());
    return 2;
  }
}
