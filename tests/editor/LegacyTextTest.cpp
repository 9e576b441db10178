// Legacy texts: strict decoding and the guess of the code page they were written in.
#include <gtest/gtest.h>

#include <string>

#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "LegacyText.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

TEST(LegacyText, DecodesStrictly) {
  EXPECT_EQ(DecodeLegacy(Cp(U(u"七里香"), 950), 950), U(u"七里香"));
  EXPECT_EQ(DecodeLegacy(Cp(U(u"后来"), 936), 936), U(u"后来"));
  EXPECT_EQ(DecodeLegacy("caf\xE9", 1252), U(u"café"));
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
      {936, {U(u"月亮代表我的心"), U(u"邓丽君"), U(u"甜蜜蜜")}},
      {936, {U(u"后来"), U(u"刘若英")}},
      {936, {U(u"青花瓷"), U(u"周杰伦"), U(u"我很忙")}},
      {936, {U(u"十年"), U(u"陈奕迅"), U(u"黑白灰")}},
      {936, {U(u"童话")}},
      {950, {U(u"月亮代表我的心"), U(u"鄧麗君"), U(u"甜蜜蜜")}},
      {950, {U(u"七里香"), U(u"周杰倫")}},
      {950, {U(u"愛情買賣"), U(u"說好的幸福呢")}},
      {950, {U(u"晴天"), U(u"葉惠美")}},
      {950, {U(u"中文歌曲")}},
      {932, {U(u"さくらさくら"), U(u"日本の歌")}},
      {932, {U(u"ハナミズキ"), U(u"一青窈")}},
      {932, {U(u"千本桜"), U(u"初音ミク")}},
      {1252, {U(u"Café del Mar"), U(u"Björk")}},
      {1252, {U(u"Sinéad O'Connor")}},
      {1251, {U(u"Кино"), U(u"Группа крови")}},
      {1253, {U(u"Καλημέρα")}},
      {1250, {U(u"Łódź"), U(u"Wrocław")}},
  };
  for (const char* system : {"950", "936", "1252"}) {
    TEnvScope codePage("MELOTAG_CODEPAGE", system);
    for (const Case& c : cases) {
      std::vector<std::string> bytes;
      for (const QString& text : c.texts) bytes.push_back(Cp(text, c.codePage));
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
  const std::string chinese = Cp(U(u"七里香"), 950);
  const TReading reading = GuessCodePage({chinese, std::string_view("\xA4", 1)});
  EXPECT_EQ(reading.Failed, 0);
  EXPECT_GE(reading.CodePage, 1250);
  EXPECT_GT(reading.Rare, 0);
}

}  // namespace
