// Pinyin initials.
#include "TestSupport.h"
#include "app/services/Pinyin.h"
#include "platform/Gbk.h"

namespace {
class PinyinTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    InitPinyinTables();
  }
};

QString charOfGbk(int lead, int trail) {
  QByteArray b;
  b.append(static_cast<char>(lead));
  b.append(static_cast<char>(trail));
  return Gbk::decode(b);
}
}  // namespace

TEST_F(PinyinTest, NamesDigitsAndLetters) {
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("张三")), QStringLiteral("ZS"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("张三丰")), QStringLiteral("ZSF"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("李4号")), QStringLiteral("L4H"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("王 小-明")), QStringLiteral("WXM"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("abc")), QStringLiteral("ABC"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("123")), QStringLiteral("123"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("Tom 李")), QStringLiteral("TOML"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("示范借贷有限公司")), QStringLiteral("SFJDYXGS"));
  EXPECT_EQ(GetPinyinInitials(QString()), QString());
  EXPECT_EQ(GetPinyinInitials(QStringLiteral(" ,.-_()@#&")), QString());
  EXPECT_TRUE(responder_.messages.empty());
}

TEST_F(PinyinTest, LevelOneRangesAndTheirBoundaries) {
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("啊")), QStringLiteral("a"));  // B0A1
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("澳")), QStringLiteral("a"));  // B0C4
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("芭")), QStringLiteral("b"));  // B0C5
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("怖")), QStringLiteral("b"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("哦")), QStringLiteral("o"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("沤")), QStringLiteral("o"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("迅")), QStringLiteral("x"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("座")), QStringLiteral("z"));  // D7F9
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("甄")), QStringLiteral("z"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("琳")), QStringLiteral("l"));
  // Every level-1 character has an initial, and the initials never go back in the alphabet.
  QChar previous = QLatin1Char('a');
  for (int lead = 0xB0; lead <= 0xD7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead == 0xD7 && trail > 0xF9) break;
      const QString ch = charOfGbk(lead, trail);
      const QString letter = PinyinInitialOfChar(ch);
      ASSERT_EQ(letter.size(), 1) << std::hex << lead << trail;
      EXPECT_GE(letter.at(0), previous) << std::hex << lead << trail;
      previous = letter.at(0);
    }
  }
}

TEST_F(PinyinTest, LevelTwoFromTheGeneratedTable) {
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("亍")), QStringLiteral("c"));  // D8A1, the first entry
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("丌")), QStringLiteral("j"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("兀")), QStringLiteral("w"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("丐")), QStringLiteral("g"));
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("齄")), QStringLiteral("z"));  // F7FE, the last entry
  EXPECT_EQ(charOfGbk(0xF7, 0xFE), QStringLiteral("齄"));
  const std::pair<const char*, const char*> names[] = {
      {"鑫", "X"}, {"淼", "M"}, {"琪", "Q"}, {"瑜", "Y"}, {"晟", "C"}, {"昊", "H"}, {"骞", "Q"}, {"邝", "K"},
      {"闫", "Y"}, {"亓", "Q"}, {"蔺", "L"}, {"婕", "J"}, {"璐", "L"}, {"芮", "R"}, {"曦", "X"}, {"楠", "N"},
  };
  // Characters with several readings take Unihan's kMandarin reading: 晟 is chéng there.
  for (const auto& [ch, initial] : names)
    EXPECT_EQ(GetPinyinInitials(QString::fromUtf8(ch)), QString::fromUtf8(initial)) << ch;
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("邝鑫淼")), QStringLiteral("KXM"));
  // The table gives all 3008 characters a letter.
  QString first, last;
  for (int lead = 0xD8; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const QString letter = PinyinInitialOfChar(charOfGbk(lead, trail));
      ASSERT_EQ(letter.size(), 1) << std::hex << lead << trail;
      ASSERT_TRUE(letter.at(0) >= QLatin1Char('a') && letter.at(0) <= QLatin1Char('z')) << std::hex << lead << trail;
      if (lead == 0xD8 && trail < 0xA1 + 12) first += letter;
      if (lead == 0xF7 && trail > 0xFE - 3) last += letter;
    }
  }
  EXPECT_EQ(first.toUpper(), QStringLiteral("CJWGNSPGCGNE"));
  EXPECT_EQ(last.toUpper(), QStringLiteral("QHZ"));
}

TEST_F(PinyinTest, DoubleByteCodesOutsideBothLevelsAddNothing) {
  // GBK extension characters whose codes fall numerically inside a level's range.
  EXPECT_EQ(Gbk::ansiCode(QChar(0x794E)), 0xB574 - 65536);  // 祎
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("祎")), QString());
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("赟")), QString());  // DA53
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("禤")), QString());  // B650
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("翀")), QString());  // C188
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("堃")), QString());  // 88D2
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("彧")), QString());  // 8FAA
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("王祎赟")), QStringLiteral("W"));
  // Full-width digits, letters and punctuation (A1A1 to A9FE), pinyin letters, the gap D7FA-D8A0.
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("１２３ＡＢｃ，。、（）")), QString());
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("é")), QString());
  for (int trail = 0xFA; trail <= 0xFE; ++trail) EXPECT_EQ(PinyinInitialOfCode(((0xD7 << 8) | trail) - 65536), QString());
  EXPECT_EQ(PinyinInitialOfCode(((0xD8 << 8) | 0xA0) - 65536), QString());
  EXPECT_EQ(PinyinInitialOfCode(((0xF8 << 8) | 0xA1) - 65536), QString());
  EXPECT_EQ(PinyinInitialOfCode(((0xB0 << 8) | 0xFF) - 65536), QString());
  EXPECT_EQ(PinyinInitialOfCode(65), QString());
}

TEST_F(PinyinTest, CharactersOutsideGbkAddNothing) {
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("张😀三")), QStringLiteral("ZS"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("𠮷野家")), QStringLiteral("YJ"));
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("한국")), QString());
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("€")), QString());
  EXPECT_EQ(PinyinInitialOfChar(QStringLiteral("😀")), QString());
  EXPECT_EQ(PinyinInitialOfChar(QString()), QString());
}

TEST_F(PinyinTest, InitialsWorkBeforeTheTablesAreFilledAndAfterRefilling) {
  InitPinyinTables();
  InitPinyinTables();
  EXPECT_EQ(GetPinyinInitials(QStringLiteral("齄啊")), QStringLiteral("ZA"));
  EXPECT_TRUE(responder_.messages.empty());
}
