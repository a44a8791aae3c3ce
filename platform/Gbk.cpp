#include "platform/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace {

// Converts `in` from one charset to another; unconvertible input is replaced by `replacement`
// and conversion goes on, so a single bad character never loses the rest of the text.
QByteArray convert(const char* to, const char* from, const QByteArray& in, const QByteArray& replacement,
                   int unitSize, bool* ok) {
  if (ok) *ok = true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (ok) *ok = false;
    return {};
  }
  QByteArray out;
  std::vector<char> buf(4 * static_cast<size_t>(in.size()) + 16);
  char* src = const_cast<char*>(in.constData());
  size_t srcLeft = static_cast<size_t>(in.size());
  while (srcLeft > 0) {
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf.data(), static_cast<qsizetype>(buf.size() - dstLeft));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one input unit and put the replacement in its place.
      if (ok) *ok = false;
      out.append(replacement);
      size_t skip = std::min<size_t>(static_cast<size_t>(unitSize), srcLeft);
      src += skip;
      srcLeft -= skip;
    }
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv_close(cd);
  return out;
}

}  // namespace

namespace Gbk {

QByteArray encode(const QString& text, bool* ok) {
  // Work in UTF-32 so that one input unit is always one character (surrogate pairs included).
  QList<uint> ucs4 = text.toUcs4();
  QByteArray in(reinterpret_cast<const char*>(ucs4.constData()), ucs4.size() * 4);
  return convert("GBK", "UTF-32LE", in, "?", 4, ok);
}

QString unencodable(const QString& text) {
  QString out;
  for (const uint code : text.toUcs4()) {
    const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    bool ok = true;
    encode(ch, &ok);
    if (!ok && !out.contains(ch)) out += ch;
  }
  return out;
}

QString decode(const QByteArray& bytes) {
  QByteArray utf8 = convert("UTF-8", "GB18030", bytes, "\xEF\xBF\xBD", 1, nullptr);
  return QString::fromUtf8(utf8);
}

int ansiCode(QChar ch) {
  bool ok = false;
  QByteArray b = encode(QString(ch), &ok);
  if (!ok || b.isEmpty()) return 0;
  if (b.size() == 1) return static_cast<unsigned char>(b[0]);
  int code = (static_cast<unsigned char>(b[0]) << 8) | static_cast<unsigned char>(b[1]);
  return code - 65536;
}

}  // namespace Gbk
