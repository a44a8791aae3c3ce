// Amounts in Chinese capitals.
#include <random>

#include "TestSupport.h"
#include "app/services/ChineseAmount.h"

namespace {

// An independent writer of capitals by the bank rules: groups of four digits with
// 亿 and 万; one 零 for a run of zeros inside the number, none for zeros that end a group when the
// next group starts with its thousands digit; "整" after whole 圆 or 角; "零" before lone 分.
QString referenceCapitals(qint64 fen) {
  static const QString digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
  static const QString inner[4] = {QStringLiteral("仟"), QStringLiteral("佰"), QStringLiteral("拾"), QString()};
  static const QString group[3] = {QString(), QStringLiteral("万"), QStringLiteral("亿")};
  const qint64 yuan = fen / 100;
  const int jiao = static_cast<int>(fen / 10 % 10);
  const int f = static_cast<int>(fen % 10);
  QString out;
  bool written = false;
  const qint64 groups[3] = {yuan % 10000, yuan / 10000 % 10000, yuan / 100000000};
  for (int g = 2; g >= 0; --g) {
    const qint64 value = groups[g];
    if (value == 0) continue;
    bool pendingZero = false;
    bool started = false;
    const int d[4] = {int(value / 1000), int(value / 100 % 10), int(value / 10 % 10), int(value % 10)};
    for (int k = 0; k < 4; ++k) {
      if (d[k] == 0) {
        if (started || written) pendingZero = true;
      } else {
        if (pendingZero) out += QStringLiteral("零");
        pendingZero = false;
        out += digits.at(d[k]) + inner[k];
        started = true;
      }
    }
    out += group[g];
    written = true;
  }
  if (yuan > 0) out += QStringLiteral("圆");
  if (jiao == 0 && f == 0) return yuan > 0 ? out + QStringLiteral("整") : QStringLiteral("零");
  if (jiao == 0) return out + QStringLiteral("零") + digits.at(f) + QStringLiteral("分");
  out += digits.at(jiao) + QStringLiteral("角");
  return f == 0 ? out + QStringLiteral("整") : out + digits.at(f) + QStringLiteral("分");
}

}  // namespace

using ChineseAmountTest = ProgramTest;

// Zeros between units, the units up to 仟亿, rounding to the fen, negative amounts and the limit of
// twelve whole digits.
TEST_F(ChineseAmountTest, AmountsAreSpelledFromTheFenToTwelveWholeDigits) {
  const std::pair<double, const char*> cases[] = {
      {0, "零"},
      {0.01, "零壹分"},
      {0.05, "零伍分"},
      {0.1, "壹角整"},
      {0.15, "壹角伍分"},
      {0.5, "伍角整"},
      {1, "壹圆整"},
      {1.234, "壹圆贰角叁分"},
      {10, "壹拾圆整"},
      {10.05, "壹拾圆零伍分"},
      {10.10, "壹拾圆壹角整"},
      {20.1, "贰拾圆壹角整"},
      {100, "壹佰圆整"},
      {1001, "壹仟零壹圆整"},
      {1234.56, "壹仟贰佰叁拾肆圆伍角陆分"},
      {10010, "壹万零壹拾圆整"},
      {100000, "壹拾万圆整"},
      {120000.5, "壹拾贰万圆伍角整"},
      {1000000, "壹佰万圆整"},
      {1002003.45, "壹佰万贰仟零叁圆肆角伍分"},
      {10000001, "壹仟万零壹圆整"},
      {100000000, "壹亿圆整"},
      {100000001, "壹亿零壹圆整"},
      {100010000, "壹亿零壹万圆整"},
      {101000000, "壹亿零壹佰万圆整"},
      {999999999.99, "玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖圆玖角玖分"},
      {999999999.999, "壹拾亿圆整"},   // rounded to the fen first
      {1000000000, "壹拾亿圆整"},
      {2000000000, "贰拾亿圆整"},
      {100000000000, "壹仟亿圆整"},
      {200000050000, "贰仟亿零伍万圆整"},
      {999999999999.99, "玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖圆玖角玖分"},
      {1000000000000, "0"},            // thirteen whole digits
      {999999999999.995, "0"},
      {0.1 + 0.2, "叁角整"},           // 0.30000000000000004 is 0.3 as a currency value
      {1.0004, "壹圆整"},
      {1.005, "壹圆零壹分"},
      {-5, "负伍圆整"},
  };
  for (const auto& [amount, words] : cases)
    EXPECT_EQ(AmountToChineseUppercase(amount), QString::fromUtf8(words)) << amount;
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(ChineseAmountTest, EveryPatternOfZerosUpToTwelveDigitsMatchesTheBankRules) {
  // Every choice of zero and non-zero digits in twelve places, with each kind of decimals.
  std::mt19937 rng(936);
  std::uniform_int_distribution<int> nonZero(1, 9);
  const int decimals[] = {0, 50, 5, 15, 90, 1};  // in fen: none, .5, .05, .15, .9, .01
  int checked = 0;
  for (int mask = 0; mask < 4096; ++mask) {
    qint64 yuan = 0;
    for (int place = 11; place >= 0; --place) yuan = yuan * 10 + ((mask >> place) & 1 ? nonZero(rng) : 0);
    for (int dec : decimals) {
      const qint64 fen = yuan * 100 + dec;
      const double amount = static_cast<double>(fen) / 100.0;
      ASSERT_EQ(AmountToChineseUppercase(amount), referenceCapitals(fen)) << amount;
      ++checked;
    }
  }
  // And random amounts to the fen over the whole range.
  std::uniform_int_distribution<qint64> any(1, 99999999999999LL);
  for (int i = 0; i < 20000; ++i) {
    const qint64 fen = any(rng);
    ASSERT_EQ(AmountToChineseUppercase(static_cast<double>(fen) / 100.0), referenceCapitals(fen)) << fen;
    ++checked;
  }
  EXPECT_GT(checked, 44000);
}

TEST_F(ChineseAmountTest, ANonNumberIsReportedAndGivesEmptyText) {
  EXPECT_EQ(AmountToChineseUppercase(std::nan("")), QString());
  ASSERT_EQ(responder_.messages.size(), 1u);
  EXPECT_TRUE(responder_.messages[0].text.startsWith(QStringLiteral("程序出现异常！")));
}
