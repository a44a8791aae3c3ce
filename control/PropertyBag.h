#pragma once
// Where a button keeps its design: values under short upper-case keys, saved with the window's
// design as JSON. Values are kept in their JSON shape (numbers, booleans, strings, objects), so a
// bag read back from text is the same bag.
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class PropertyBag {
public:
  PropertyBag() = default;

  // The stored value, or `defaultValue` when the key is missing.
  QVariant ReadProperty(const QString& key, const QVariant& defaultValue = QVariant()) const;
  // Stores the value; when it equals `defaultValue` (and a default is given) the key is dropped, so
  // defaults are not stored.
  void WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue = QVariant());

  bool contains(const QString& key) const { return values_.contains(key); }
  void remove(const QString& key) { values_.remove(key); }
  QStringList keys() const { return values_.keys(); }
  const QVariantMap& values() const { return values_; }

  // Keys in the order they were read and written, for checking a control's persistence order.
  const QStringList& readLog() const { return readLog_; }
  const QStringList& writeLog() const { return writeLog_; }
  void clearLogs() { readLog_.clear(); writeLog_.clear(); }

  QJsonObject toJson() const;
  static PropertyBag fromJson(const QJsonObject& object);
  QByteArray toJsonText() const;
  // An unreadable text gives an empty bag.
  static PropertyBag fromJsonText(const QByteArray& text);

private:
  QVariantMap values_;
  mutable QStringList readLog_;
  QStringList writeLog_;
};
