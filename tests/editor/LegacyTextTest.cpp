// Legacy texts: strict decoding and the guess of the code page they were written in.
#include <gtest/gtest.h>

#include <string>

#include "CodePage.h"
#include "EnvScope.h"
#include "LegacyText.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

QString Q(const char16_t* text) {
  return QString::fromUtf16(text);
}

std::string Encoded(const QString& text, int codePage) {
  return TCodePageCodec(codePage).Encode(text);
}

TEST(LegacyText, DecodesStrictly) {
  EXPECT_EQ(DecodeLegacy(Encoded(Q(u"七里香"), 950), 950), Q(u"七里香"));
  EXPECT_EQ(DecodeLegacy(Encoded(Q(u"后来"), 936), 936), Q(u"后来"));
  EXPECT_EQ(DecodeLegacy("caf\xE9", 1252), Q(u"café"));
  // A lead byte without its trail byte, a pair without a character, an undefined byte.
  EXPECT_EQ(DecodeLegacy("\xA4", 950), std::nullopt);
  EXPECT_EQ(DecodeLegacy("a\x81\x30", 950), std::nullopt);
  EXPECT_EQ(DecodeLegacy("\x81", 1252), std::nullopt);
  EXPECT_TRUE(IsLegacyText("caf\xE9"));
  EXPECT_FALSE(IsLegacyText("Cafe del Mar"));
}

// What the guess makes of song texts written in each code page, whatever the system's own code
// page is (a tie would go to it).
TEST(LegacyText, GuessesTheCodePageOfSongTexts) {
  struct Case {
    int codePage;
    std::vector<QString> texts;
  } cases[] = {
      {936, {Q(u"月亮代表我的心"), Q(u"邓丽君"), Q(u"甜蜜蜜")}},
      {936, {Q(u"后来"), Q(u"刘若英")}},
      {936, {Q(u"青花瓷"), Q(u"周杰伦"), Q(u"我很忙")}},
      {936, {Q(u"十年"), Q(u"陈奕迅"), Q(u"黑白灰")}},
      {936, {Q(u"童话")}},
      {950, {Q(u"月亮代表我的心"), Q(u"鄧麗君"), Q(u"甜蜜蜜")}},
      {950, {Q(u"七里香"), Q(u"周杰倫")}},
      {950, {Q(u"愛情買賣"), Q(u"說好的幸福呢")}},
      {950, {Q(u"晴天"), Q(u"葉惠美")}},
      {950, {Q(u"中文歌曲")}},
      {932, {Q(u"さくらさくら"), Q(u"日本の歌")}},
      {932, {Q(u"ハナミズキ"), Q(u"一青窈")}},
      {932, {Q(u"千本桜"), Q(u"初音ミク")}},
      {1252, {Q(u"Café del Mar"), Q(u"Björk")}},
      {1252, {Q(u"Sinéad O'Connor")}},
      {1251, {Q(u"Кино"), Q(u"Группа крови")}},
      {1253, {Q(u"Καλημέρα")}},
      {1250, {Q(u"Łódź"), Q(u"Wrocław")}},
  };
  for (const char* system : {"950", "936", "1252"}) {
    TEnvScope codePage("MELOTAG_CODEPAGE", system);
    for (const Case& c : cases) {
      std::vector<std::string> bytes;
      for (const QString& text : c.texts) bytes.push_back(Encoded(text, c.codePage));
      std::vector<std::string_view> views(bytes.begin(), bytes.end());
      const TReading reading = GuessCodePage(views);
      EXPECT_EQ(reading.CodePage, c.codePage)
          << c.texts.front().toStdString() << " under " << system;
      EXPECT_EQ(reading.Failed, 0);
    }
  }
}

TEST(LegacyText, GuessCountsTextsNoCodePageReads) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "936");
  // No texts: the system's code page.
  EXPECT_EQ(GuessCodePage({}).CodePage, 936);
  // A lone lead byte fails every double-byte code page: a page that reads both texts wins over
  // one that reads the Chinese text well and fails the other.
  const std::string chinese = Encoded(Q(u"七里香"), 950);
  const TReading reading = GuessCodePage({chinese, std::string_view("\xA4", 1)});
  EXPECT_EQ(reading.Failed, 0);
  EXPECT_GE(reading.CodePage, 1250);
  EXPECT_GT(reading.Rare, 0);
}

}  // namespace
