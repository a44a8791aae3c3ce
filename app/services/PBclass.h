#pragma once
// Built-in values and the encoding of staff passwords.
#include <QString>
#include <QVariant>

class PBclass {
 public:
  // Base64 (RFC 4648, with padding) of the text's GBK bytes: how passwords are stored and compared.
  QString Base64Encode(const QString& text) const;
  // Built-in values by index; 1 is the key of the local database file.
  QVariant mySys(int index) const;
};
