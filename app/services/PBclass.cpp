#include "app/services/PBclass.h"

#include "platform/Gbk.h"

QString PBclass::Base64Encode(const QString& text) const {
  return QString::fromLatin1(Gbk::encode(text).toBase64());
}

QVariant PBclass::mySys(int index) const {
  if (index == 1) return QStringLiteral("kt83025716492");
  return {};
}
