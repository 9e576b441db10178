#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "CodePage.h"
#include "EnvScope.h"
#include "Exception.h"

namespace {

QString U(const char16_t* s) {
  return QString::fromUtf16(s);
}

// The escape characters of bytes that do not decode.
QString E(std::initializer_list<int> bytes) {
  QString s;
  for (int b : bytes) s += QChar(0xDC00 + b);
  return s;
}

}  // namespace

TEST(CodePage, LocaleLanguageGivesTheAnsiCodePage) {
  struct {
    const char* locale;
    int cp;
  } cases[] = {
      {"zh_TW.UTF-8", 950},   {"zh_HK.Big5-HKSCS", 950}, {"zh_MO", 950},
      {"zh_CN.GB18030", 936}, {"zh_SG.UTF-8", 936},      {"ja_JP.UTF-8", 932},
      {"ko_KR.EUC-KR", 949},  {"ru_RU.UTF-8", 1251},     {"uk_UA", 1251},
      {"sr_RS@latin", 1250},  {"pl_PL.UTF-8", 1250},     {"cs_CZ", 1250},
      {"el_GR.UTF-8", 1253},  {"tr_TR.UTF-8", 1254},     {"he_IL.UTF-8", 1255},
      {"ar_EG.UTF-8", 1256},  {"lt_LT.UTF-8", 1257},     {"lv_LV", 1257},
      {"et_EE", 1257},        {"vi_VN", 1258},           {"th_TH.UTF-8", 874},
      {"en_US.UTF-8", 1252},  {"de_DE@euro", 1252},      {"C", 1252},
      {"POSIX", 1252},        {"C.UTF-8", 1252},         {"", 1252},
  };
  for (const auto& c : cases) EXPECT_EQ(CodePageOfLocale(c.locale), c.cp) << c.locale;
}

TEST(CodePage, GetACPPrefersTheVariableThenLcAllLcCtypeLang) {
  TEnvScope all("LC_ALL", nullptr);
  TEnvScope ctype("LC_CTYPE", "ja_JP.UTF-8");
  TEnvScope lang("LANG", "ru_RU.UTF-8");
  {
    TEnvScope cp("MELOTAG_CODEPAGE", "65001");
    EXPECT_EQ(GetACP(), 65001);
  }
  {
    TEnvScope cp("MELOTAG_CODEPAGE", nullptr);
    EXPECT_EQ(GetACP(), 932);
    TEnvScope all2("LC_ALL", "zh_TW.UTF-8");
    EXPECT_EQ(GetACP(), 950);
    EXPECT_TRUE(IsDBCSLeadByte(0xA4));
  }
  {
    TEnvScope cp("MELOTAG_CODEPAGE", "not a number");
    TEnvScope ctype2("LC_CTYPE", nullptr);
    EXPECT_EQ(GetACP(), 1251);
    EXPECT_FALSE(IsDBCSLeadByte(0xA4));
  }
}

TEST(CodePage, LeadBytesOfTheDoubleByteCodePages) {
  struct {
    int cp;
    unsigned char b;
    bool lead;
  } cases[] = {
      {950, 0x80, false},  {950, 0x81, true},    {950, 0xA4, true}, {950, 0xFE, true},
      {950, 0xFF, false},  {950, 0x41, false},   {936, 0x81, true}, {936, 0xD6, true},
      {949, 0xB0, true},   {932, 0x81, true},    {932, 0x9F, true}, {932, 0xA0, false},
      {932, 0xDF, false},  {932, 0xE0, true},    {932, 0xFC, true}, {932, 0xFD, false},
      {1252, 0xA4, false}, {65001, 0xE4, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsDBCSLeadByteEx(c.cp, c.b), c.lead) << c.cp << " " << int(c.b);
}

TEST(CodePage, DecodesAndEncodesEachCodePage) {
  struct {
    int cp;
    std::string bytes;
    QString text;
  } cases[] = {
      {950, "\xA4\xA4\xA4\xE5 MP3", U(u"\u4E2D\u6587 MP3")},
      {950, "\xA6\xD1\xAA\xE1", U(u"\u8001\u82B1")},
      {936, "\xD6\xD0\xCE\xC4", U(u"\u4E2D\u6587")},
      {949, "\xC7\xD1\xB1\xDB", U(u"\uD55C\uAE00")},
      {932, "\x93\xFA\x96\x7B", U(u"\u65E5\u672C")},
      {1252, "Caf\xE9 \x80", U(u"Caf\u00E9 \u20AC")},
      {1251, "\xCF\xF0\xE8", U(u"\u041F\u0440\u0438")},
      {65001, "Caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x8E\xB5", U(u"Caf\u00E9 \u4E2D \U0001F3B5")},
  };
  for (const auto& c : cases) {
    TCodePageCodec codec(c.cp);
    EXPECT_EQ(codec.Decode(c.bytes), c.text) << c.cp;
    EXPECT_EQ(codec.Encode(c.text), c.bytes) << c.cp;
  }
}

TEST(CodePage, BrokenSequencesTravelAsEscapesAndComeBackByteForByte) {
  struct {
    int cp;
    std::string bytes;
    QString text;
  } cases[] = {
      {950, "\xA4", E({0xA4})},           // lead byte at the end
      {950, "\xA4 x", E({0xA4}) + " x"},  // lead byte without a trail byte
      {950, "\xFF", E({0xFF})},           // never characters
      {936, "\xD6", E({0xD6})},
      {1252, "\x81\x8D\x8F\x90\x9D", E({0x81, 0x8D, 0x8F, 0x90, 0x9D})},
      {65001, "\xC3", E({0xC3})},                      // truncated
      {65001, "\xC0\x80", E({0xC0, 0x80})},            // overlong
      {65001, "\xED\xA0\x80", E({0xED, 0xA0, 0x80})},  // an encoded surrogate
      {65001,
       "a\xFF"
       "b",
       "a" + E({0xFF}) + "b"},
  };
  for (const auto& c : cases) {
    TCodePageCodec codec(c.cp);
    EXPECT_EQ(codec.Decode(c.bytes), c.text) << c.cp;
    EXPECT_EQ(codec.Encode(c.text), c.bytes) << c.cp;
  }
}

TEST(CodePage, EveryByteSequenceRoundTrips) {
  std::mt19937 random(4711);
  for (int cp : {950, 936, 949, 932, 1252, 1251, 1255, 1258, 874, 65001}) {
    TCodePageCodec codec(cp);
    for (int round = 0; round < 300; ++round) {
      std::string bytes(random() % 40, '\0');
      for (char& b : bytes)
        b = static_cast<char>(random() % 4 ? 0x80 + random() % 0x80 : random() % 0x100);
      ASSERT_EQ(codec.Encode(codec.Decode(bytes)), bytes) << cp;
    }
  }
}

TEST(CodePage, UnencodableCharactersBecomeQuestionMarks) {
  struct {
    int cp;
    QString text;
    std::string bytes;
  } cases[] = {
      {1252, U(u"a\u4E2Db"), "a?b"},
      {1252, U(u"\U0001F3B5"), "?"},  // one mark for a surrogate pair
      {950, U(u"\u0E01"), "?"},
      {65001, "x" + QString(QChar(0xD800)) + "y", "x?y"},  // a lone surrogate outside the escapes
  };
  for (const auto& c : cases) EXPECT_EQ(TCodePageCodec(c.cp).Encode(c.text), c.bytes) << c.cp;
}

TEST(CodePage, ACodePageWithoutConverterFailsLoudly) {
  EXPECT_THROW(TCodePageCodec(4242), Exception);
  TEnvScope cp("MELOTAG_CODEPAGE", "4242");
  EXPECT_THROW(CheckCodePage(), Exception);
}

TEST(CodePage, TheCurrentCodecFollowsTheCodePage) {
  {
    TEnvScope cp("MELOTAG_CODEPAGE", "950");
    EXPECT_EQ(DecodeText("\xA4\xA4"), U(u"\u4E2D"));
    EXPECT_EQ(EncodeText(U(u"\u4E2D")), "\xA4\xA4");
  }
  TEnvScope cp("MELOTAG_CODEPAGE", "936");
  EXPECT_EQ(DecodeText("\xD6\xD0"), U(u"\u4E2D"));
}

TEST(CodePage, LstrcmpAComparesLikeAPersonButKeepsLetterCase) {
  TEnvScope cp("MELOTAG_CODEPAGE", "1252");
  struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {{"a", "B", -1},           {"B", "c", -1}, {"abc", "abc", 0},      {"a", "A", 0},
               {"track2", "track10", 0}, {"", "a", -1},  {"\xE9t\xE9", "ete", 1}};
  for (const auto& c : cases) {
    int r = lstrcmpA(c.a, c.b);
    if (c.sign == 0 && std::string(c.a) != c.b)
      EXPECT_NE(r, 0) << c.a << " " << c.b;  // different texts never compare equal
    else
      EXPECT_EQ(r, c.sign) << c.a << " " << c.b;
    EXPECT_EQ(lstrcmpA(c.b, c.a), -r) << c.a << " " << c.b;
  }
}
