// Texts written in a legacy code page on another system: decoding them strictly through a chosen
// code page, and guessing the code page a file's texts were written in.
//
// The guess decodes the texts through every offered code page. A code page that cannot decode a
// text (a byte sequence without a character) fails it; among the code pages that fail the fewest
// texts, the one whose texts hold the fewest rare characters wins, and a tie goes to the system's
// own code page, then to the order of LegacyCodePages().
//
// A character counts as rare unless it is what text in that code page is made of:
// - everywhere: ASCII, the common Chinese characters (the 3,755 of GB 2312 level 1 and the 5,401
//   frequent ones of Big5), CJK and full-width punctuation;
// - 932: hiragana and full-width katakana; 949: Hangul syllables;
// - 1251: Cyrillic letters; 1253: Greek; 1255: Hebrew; 1256: Arabic;
// - the Latin code pages: a letter with a diacritic next to an ASCII letter ("café", "Müller").
// So Chinese text read through the wrong Chinese code page shows kana, symbols, private-use and
// rare characters; read through a single-byte code page it shows runs of accented capitals and
// symbols ("ÖÐÎÄ"); both score worse than the right reading.
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

namespace melotag::editor {

// The code pages a repair offers: 950, 936, 932, 949, then 1252, 1250, 1251, 1253 ... 1258.
const QList<int>& LegacyCodePages();
// The choice "Guess" in place of a code page.
inline constexpr int kGuessCodePage = 0;

// Holds a byte above 0x7F: text that is not plain ASCII.
bool IsLegacyText(std::string_view bytes);

// The text of the bytes in the code page; none when a byte or byte pair has no character there.
// Throws Exception when the system has no converter for the code page.
std::optional<QString> DecodeLegacy(std::string_view bytes, int codePage);

// The rare characters of a text decoded from the code page (see above).
int RareCount(const QString& text, int codePage);

// How well a code page reads a file's texts.
struct TReading {
  int CodePage = 0;
  int Failed = 0;  // texts it cannot decode
  int Rare = 0;    // rare characters in the texts it decodes
};
// The best reading of the texts among LegacyCodePages(). With no texts: the system's code page
// when it is offered, otherwise the first one.
TReading GuessCodePage(const std::vector<std::string_view>& texts);

// True when the texts read best in another double-byte code page than the current one, every text
// decoding there (GuessCodePage): a write then never mixes bytes of the current code page into
// them. Texts read best as 1252, or broken in the current code page alone, give false.
bool ReadInAnotherCodePage(const std::vector<std::string_view>& texts);

}  // namespace melotag::editor
