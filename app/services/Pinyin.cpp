#include "app/services/Pinyin.h"

#include <array>

#include "app/services/ErrorReport.h"
#include "platform/Gbk.h"

// kPinyinLevel2Rows: 32 rows of 94 entries, generated from Unicode's Unihan readings.
#include "app/services/PinyinTable.inc"

namespace {

struct Slot {
  int first = 0;
  int last = 0;
  char letter = 0;  // 0: the slot matches nothing (i, u, v)
};

// The GB2312 level-1 characters (B0A1 to D7F9) are ordered by pinyin: one range per initial.
constexpr std::array<Slot, 26> kLevel1Source = {{
    {-20319, -20284, 'a'}, {-20283, -19776, 'b'}, {-19775, -19219, 'c'}, {-19218, -18711, 'd'},
    {-18710, -18527, 'e'}, {-18526, -18240, 'f'}, {-18239, -17923, 'g'}, {-17922, -17418, 'h'},
    {0, 0, 0},             {-17417, -16475, 'j'}, {-16474, -16213, 'k'}, {-16212, -15641, 'l'},
    {-15640, -15166, 'm'}, {-15165, -14923, 'n'}, {-14922, -14915, 'o'}, {-14914, -14631, 'p'},
    {-14630, -14150, 'q'}, {-14149, -14091, 'r'}, {-14090, -13319, 's'}, {-13318, -12839, 't'},
    {0, 0, 0},             {0, 0, 0},             {-12838, -12557, 'w'}, {-12556, -11848, 'x'},
    {-11847, -11056, 'y'}, {-11055, -10247, 'z'},
}};

constexpr int kLevel2Count = 32 * 94;

struct Tables {
  std::array<Slot, 26> level1{};
  QString level2;  // 3008 entries, upper case or "["
  bool filled = false;
};

Tables& tables() {
  static Tables t;
  return t;
}

void fillTables() {
  Tables& t = tables();
  t.level1 = kLevel1Source;
  QString level2;
  level2.reserve(kLevel2Count);
  for (const char* row : kPinyinLevel2Rows) level2 += QString::fromLatin1(row);
  if (level2.size() != kLevel2Count)
    throw AppError(Err::SubscriptRange, QStringLiteral("拼音二级字表应有 %1 项，实有 %2 项。").arg(kLevel2Count).arg(level2.size()));
  t.level2 = level2;
  t.filled = true;
}

const Tables& readyTables() {
  if (!tables().filled) fillTables();
  return tables();
}

}  // namespace

void InitPinyinTables() {
  try {
    fillTables();
  } catch (const AppError& e) {
    ReportRuntimeError(QStringLiteral("获取拼音简写"), nullptr, e);
  }
}

QString PinyinInitialOfCode(int c) {
  // Only real GB2312 codes count: a GBK extension character whose code falls
  // numerically inside a range (祎 B574, 赟 DA53) has a trail byte below A1 and adds nothing.
  const int code = c + 65536;
  const int lead = code >> 8;
  const int trail = code & 0xFF;
  if (c >= 0 || trail < 0xA1 || trail > 0xFE) return {};
  const Tables& t = readyTables();
  if (c >= -20319 && c <= -10247 && lead >= 0xB0 && lead <= 0xD7) {
    for (const Slot& s : t.level1)
      if (s.letter && s.first <= c && c <= s.last) return QString(QLatin1Char(s.letter));
    return {};
  }
  if (c >= -10079 && c <= -2050 && lead >= 0xD8 && lead <= 0xF7) {
    const int row = (c + 10079) / 256;
    const int index = c + 10080 - row * 162;  // row * 94 + column + 1, counted from 1
    if (index < 1 || index > t.level2.size()) return {};
    return t.level2.mid(index - 1, 1).toLower();
  }
  return {};
}

QString PinyinInitialOfChar(const QString& ch) {
  if (ch.isEmpty()) return {};
  // One character: a pair of surrogates is one character, outside GBK.
  if (ch.at(0).isHighSurrogate()) return {};
  return PinyinInitialOfCode(Gbk::ansiCode(ch.at(0)));
}

QString GetPinyinInitials(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      ++i;  // a character outside the Basic Multilingual Plane: not in GBK, dropped
      continue;
    }
    const ushort u = ch.unicode();
    if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) {
      out += ch;
      continue;
    }
    if (u < 0x80) continue;  // blanks, punctuation and the other single-byte characters
    const int code = Gbk::ansiCode(ch);
    if (code < 0) out += PinyinInitialOfCode(code);
  }
  return out.toUpper();
}
