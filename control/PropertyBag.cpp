#include "PropertyBag.h"

#include <QJsonDocument>

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const {
  readLog_ << key;
  auto it = values_.constFind(key);
  return it == values_.constEnd() ? defaultValue : it.value();
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue) {
  writeLog_ << key;
  if (defaultValue.isValid() && value == defaultValue) {
    values_.remove(key);
    return;
  }
  // Stored in the JSON shape at once, so that what a reader sees does not depend on whether
  // the bag went through text in between.
  values_.insert(key, QJsonValue::fromVariant(value).toVariant());
}

QJsonObject PropertyBag::toJson() const { return QJsonObject::fromVariantMap(values_); }

PropertyBag PropertyBag::fromJson(const QJsonObject& object) {
  PropertyBag bag;
  bag.values_ = object.toVariantMap();
  return bag;
}

QByteArray PropertyBag::toJsonText() const { return QJsonDocument(toJson()).toJson(QJsonDocument::Indented); }

PropertyBag PropertyBag::fromJsonText(const QByteArray& text) {
  const QJsonDocument doc = QJsonDocument::fromJson(text);
  return doc.isObject() ? fromJson(doc.object()) : PropertyBag();
}
