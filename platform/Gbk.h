#pragma once
// Code page 936 text: the system's stored passwords, pinyin codes and the SMS gateway speak GBK.
#include <QByteArray>
#include <QList>
#include <QString>

namespace Gbk {
// Unicode text to GBK bytes. Characters GBK cannot hold become "?" (as the Windows conversion did);
// `ok` (when given) tells whether every character converted.
QByteArray encode(const QString& text, bool* ok = nullptr);
// The characters of the text that GBK cannot hold, each once, in the order they first appear.
QString unencodable(const QString& text);
// GBK (read as GB18030, its superset) bytes to Unicode text; undecodable bytes become U+FFFD.
QString decode(const QByteArray& bytes);
// The signed 16-bit code of one character as the Windows `Asc` gave it on code page 936:
// ASCII gives its code, a double-byte character (lead << 8 | trail) - 65536. 0 when not in GBK.
int ansiCode(QChar ch);
}
