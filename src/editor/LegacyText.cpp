#include "LegacyText.h"

#include <bitset>
#include <map>
#include <memory>
#include <mutex>

#include "CodePage.h"

namespace melotag::editor {

namespace {

// The codec of each code page, made at its first use and kept.
const TCodePageCodec& CodecOf(int codePage) {
  static std::mutex lock;
  static std::map<int, std::unique_ptr<TCodePageCodec>> codecs;
  std::lock_guard guard(lock);
  std::unique_ptr<TCodePageCodec>& codec = codecs[codePage];
  if (!codec) codec = std::make_unique<TCodePageCodec>(codePage);
  return *codec;
}

bool IsEscape(char16_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

// The characters of a double-byte range: lead bytes [firstLead, lastLead], trail bytes in the
// given ranges, up to the pair `last`.
void AddPairs(std::bitset<0x10000>& set, int codePage, int firstLead, int lastLead,
              std::initializer_list<std::pair<int, int>> trails, int last) {
  const TCodePageCodec& codec = CodecOf(codePage);
  for (int lead = firstLead; lead <= lastLead; ++lead)
    for (auto [first, end] : trails)
      for (int trail = first; trail <= end && (lead << 8 | trail) <= last; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const QString c = codec.Decode(std::string_view(pair, 2));
        if (c.size() == 1 && !IsEscape(c[0].unicode())) set.set(c[0].unicode());
      }
}

// The characters that are common whatever the code page.
const std::bitset<0x10000>& CommonCharacters() {
  static const std::bitset<0x10000> set = [] {
    std::bitset<0x10000> s;
    for (int c = 0x20; c < 0x7F; ++c) s.set(c);
    // GB 2312 level 1 and the frequent characters of Big5.
    AddPairs(s, 936, 0xB0, 0xD7, {{0xA1, 0xFE}}, 0xD7F9);
    AddPairs(s, 950, 0xA4, 0xC6, {{0x40, 0x7E}, {0xA1, 0xFE}}, 0xC67E);
    // CJK and full-width punctuation, quotes, dashes, the ellipsis and the middle dot.
    for (int c = 0x3000; c <= 0x301F; ++c) s.set(c);
    for (int c = 0xFF01; c <= 0xFF5E; ++c) s.set(c);
    for (int c = 0x2013; c <= 0x2026; ++c) s.set(c);
    s.set(0x00B7);
    return s;
  }();
  return set;
}

bool In(char16_t c, char16_t first, char16_t last) {
  return c >= first && c <= last;
}

bool IsAsciiLetter(QChar c) {
  return In(c.unicode(), 'A', 'Z') || In(c.unicode(), 'a', 'z');
}

// How the letters of a code page's script sit in words: Latin letters with diacritics among
// ASCII letters, cased Cyrillic or Greek letters on their own; other scripts anywhere.
enum class TScript { Other, Latin, Cased };

TScript ScriptOf(int codePage) {
  switch (codePage) {
    case 1250:
    case 1252:
    case 1254:
    case 1257:
    case 1258:
      return TScript::Latin;
    case 1251:
    case 1253:
      return TScript::Cased;
    default:
      return TScript::Other;
  }
}

bool IsScriptLetter(char16_t c, int codePage) {
  switch (codePage) {
    case 932:
      return In(c, 0x3041, 0x309F) || In(c, 0x30A0, 0x30FF);
    case 949:
      return In(c, 0xAC00, 0xD7A3);
    case 1251:
      return In(c, 0x0400, 0x045F) || c == 0x0490 || c == 0x0491;
    case 1253:
      return In(c, 0x0384, 0x03CE);
    case 1255:
      return In(c, 0x05B0, 0x05EA);
    case 1256:
      return In(c, 0x0600, 0x06FF);
    default:
      return ScriptOf(codePage) == TScript::Latin &&
             ((In(c, 0x00C0, 0x024F) && c != 0x00D7 && c != 0x00F7) || In(c, 0x0300, 0x036F));
  }
}

bool IsWordCharacter(QChar c) {
  return c.isLetter() || c.isMark();
}

// A letter of the code page's script at position i of a word that starts at `start` and holds
// an ASCII letter or not: Latin letters with diacritics sit in words with ASCII letters; Cyrillic
// and Greek words hold no ASCII letter and no capital after a small letter.
bool IsExpectedLetter(const QString& text, qsizetype i, qsizetype start, bool asciiWord,
                      int codePage) {
  if (!IsScriptLetter(text[i].unicode(), codePage)) return false;
  switch (ScriptOf(codePage)) {
    case TScript::Latin:
      return asciiWord;
    case TScript::Cased:
      return !asciiWord && !(i > start && text[i].isUpper() && text[i - 1].isLower());
    default:
      return true;
  }
}

}  // namespace

const QList<int>& LegacyCodePages() {
  static const QList<int> pages = {950,  936,  932,  949,  1252, 1250, 1251,
                                   1253, 1254, 1255, 1256, 1257, 1258};
  return pages;
}

bool IsLegacyText(std::string_view bytes) {
  for (char b : bytes)
    if (static_cast<unsigned char>(b) > 0x7F) return true;
  return false;
}

std::optional<QString> DecodeLegacy(std::string_view bytes, int codePage) {
  QString text = CodecOf(codePage).Decode(bytes);
  for (QChar c : text)
    if (IsEscape(c.unicode())) return std::nullopt;
  return text;
}

int RareCount(const QString& text, int codePage) {
  const std::bitset<0x10000>& common = CommonCharacters();
  int rare = 0;
  qsizetype start = 0, end = 0;  // the word around position i
  bool asciiWord = false;        // it holds an ASCII letter
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (common.test(text[i].unicode())) continue;
    if (i >= end) {
      for (start = i; start > 0 && IsWordCharacter(text[start - 1]);) --start;
      for (end = i + 1; end < text.size() && IsWordCharacter(text[end]);) ++end;
      asciiWord = false;
      for (qsizetype j = start; j < end; ++j) asciiWord = asciiWord || IsAsciiLetter(text[j]);
    }
    if (!IsExpectedLetter(text, i, start, asciiWord, codePage)) ++rare;
  }
  return rare;
}

TReading GuessCodePage(const std::vector<std::string_view>& texts) {
  QList<int> order = LegacyCodePages();
  if (order.removeOne(GetACP())) order.prepend(GetACP());
  std::optional<TReading> best;
  for (int codePage : order) {
    TReading reading{codePage, 0, 0};
    for (std::string_view bytes : texts) {
      if (std::optional<QString> text = DecodeLegacy(bytes, codePage))
        reading.Rare += RareCount(*text, codePage);
      else
        ++reading.Failed;
    }
    if (!best || reading.Failed < best->Failed ||
        (reading.Failed == best->Failed && reading.Rare < best->Rare))
      best = reading;
  }
  return *best;
}

bool ReadInAnotherCodePage(const std::vector<std::string_view>& texts) {
  if (texts.empty()) return false;
  const TReading best = GuessCodePage(texts);
  const bool doubleByte =
      best.CodePage == 932 || best.CodePage == 936 || best.CodePage == 949 || best.CodePage == 950;
  return best.CodePage != GetACP() && doubleByte && best.Failed == 0;
}

}  // namespace melotag::editor
