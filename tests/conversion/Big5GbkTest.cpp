#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Big5Gbk.h"
#include "CodeTables.h"

using namespace std::string_literals;

namespace {

enum Direction { FromBig5, FromGbk };

std::string Convert(Direction d, const std::string& text) {
  return d == FromBig5 ? Big5ToGbk(text) : GbkToBig5(text);
}

struct ConversionCase {
  const char* what;
  Direction direction;
  std::string in;
  std::string out;
};

}  // namespace

TEST(Big5Gbk, ConvertsByteStrings) {
  const ConversionCase cases[] = {
      {"empty", FromBig5, "", ""},
      {"empty", FromGbk, "", ""},
      {"all ASCII", FromBig5, "Track 01 - Hello? ~\t\x7F", "Track 01 - Hello? ~\t\x7F"},
      {"all ASCII", FromGbk, "Track 01 - Hello? ~\t\x7F", "Track 01 - Hello? ~\t\x7F"},
      {"characters among ASCII", FromBig5, "01 \xA4\x40\xA4\xA4.mp3", "01 \xD2\xBB\xD6\xD0.mp3"},
      {"characters among ASCII", FromGbk, "01 \xD2\xBB\xD6\xD0.mp3", "01 \xA4\x40\xA4\xA4.mp3"},
      {"unmapped Big5 code becomes ??", FromBig5, "a\xF9\xD6z", "a??z"},
      {"?? stays ASCII", FromGbk, "a??z", "a??z"},
      {"lone last lead byte dropped", FromBig5, "\xA4\x40\xA4", "\xD2\xBB"},
      {"lone last lead byte dropped", FromGbk, "abc\xB2", "abc"},
      {"only a lead byte", FromBig5, "\x81", ""},
      {"only a lead byte", FromGbk, "\xFF", ""},
      {"ASCII trail byte is looked up", FromBig5,
       "\xA4"
       "A",
       "\xD2\xD2"},
      {"absent pair with ASCII trail kept", FromGbk,
       "\xA4"
       "A!",
       "\xA4"
       "A!"},
      {"NUL trail byte kept when absent", FromBig5, "\xA4\0x"s, "\xA4\0x"s},
      {"NUL passes", FromGbk, "a\0b"s, "a\0b"s},
      {"0x80 is a lead byte", FromBig5, "\x80\x80\x80", "\x80\x80"},
      {"0x80 is a lead byte", FromGbk,
       "\x80"
       "A",
       "\x80"
       "A"},
      {"a lead byte takes a lead byte as trail", FromBig5, "\xA4\xA4\xA4", "\xD6\xD0"},
      {"shared partner yields the first of its run", FromGbk, "\xB2\xA2", "\xA8\xC3"},
      {"all three forms become one", FromBig5, "\xA8\xC3\xA6\x7D\xA8\xD6",
       "\xB2\xA2\xB2\xA2\xB2\xA2"},
      {"symbol run", FromGbk, "\xA1\xA5", "\xA1\xC2"},
      {"ideographic space", FromBig5, "\xA1\x40", "\xA1\xA1"},
  };
  for (const ConversionCase& c : cases) {
    EXPECT_EQ(Convert(c.direction, c.in), c.out)
        << c.what << (c.direction == FromBig5 ? " (Big5ToGbk)" : " (GbkToBig5)");
  }
}

TEST(Big5Gbk, RoundTripThroughASharedPartnerCanChangeACharacter) {
  EXPECT_EQ(GbkToBig5(Big5ToGbk("\xA6\x7D")), "\xA8\xC3");
  EXPECT_EQ(GbkToBig5(Big5ToGbk("\xA4\x40\xA4\xA4")), "\xA4\x40\xA4\xA4");
}

TEST(Big5Gbk, CodeLookUpGivesTwoBytesHighFirst) {
  const struct {
    int code;
    std::string big5ToGbk, gbkToBig5;
  } cases[] = {
      {0xA440, "\xD2\xBB", "\xA4\x40"},  // known to Big5 only
      {0x8144, "\x81\x44", "\xC9\x4D"},  // known to GBK only
      {0x4142, "AB", "AB"},              // unknown: its own bytes
      {0x0000, "\0\0"s, "\0\0"s},
      {0x1A440, "\xA4\x40", "\xA4\x40"},  // beyond 16 bits: low 16 bits, never an index overrun
      {-1, "\xFF\xFF", "\xFF\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Big5ToGbkCode(c.code), c.big5ToGbk) << std::hex << c.code;
    EXPECT_EQ(GbkToBig5Code(c.code), c.gbkToBig5) << std::hex << c.code;
  }
}

// The conversion exactly as defined: a byte of 0x80 or more waits for the next byte, any byte,
// and the pair is searched in the table; a lead byte left at the end is dropped.
static std::string ReferenceConvert(const TCodeTable& table, const std::string& text) {
  std::string out;
  int pending = -1;
  for (char ch : text) {
    int b = static_cast<unsigned char>(ch);
    if (pending >= 0) {
      int partner = SearchCodeTable(table, pending * 256 + b);
      out += static_cast<char>(partner / 256);
      out += static_cast<char>(partner % 256);
      pending = -1;
    } else if (b >= 0x80) {
      pending = b;
    } else {
      out += ch;
    }
  }
  return out;
}

TEST(Big5Gbk, ArbitraryBytesConvertAsTheBinarySearchDefinesIt) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> length(0, 40), byte(0, 255), kind(0, 3);
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) {
      // Mostly high bytes, so that pairs and lone lead bytes both occur.
      text += static_cast<char>(kind(random) == 0 ? byte(random) & 0x7F : byte(random) | 0x80);
    }
    ASSERT_EQ(Big5ToGbk(text), ReferenceConvert(Big5GbkTable, text));
    ASSERT_EQ(GbkToBig5(text), ReferenceConvert(GbkBig5Table, text));
  }
}
