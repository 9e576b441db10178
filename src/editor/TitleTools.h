// The title list's tools on a list of lines, and reading a title-list file. A line is text; its
// bytes are those of the code page (CodePage.h), escapes included, so a tool that works on whole
// characters of the text never splits a double-byte character or a UTF-8 sequence.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace melotag::editor {

// "0" in front of the text while the text without blanks and control characters at either end
// is shorter than `width`: ZeroPad("7", 2) == "07", ZeroPad("123", 2) == "123".
QString ZeroPad(const QString& text, int width);

// Line i (from 0) with ZeroPad(i + 1, 2) in front: 01 ... 99, 100 ...
QStringList AddItemNumbers(const QStringList& lines);
// Each line with `mark` in front, as entered.
QStringList AddMark(const QStringList& lines, const QString& mark);
// Each line without its first, respectively last, character: a whole character (a surrogate
// pair together; a byte that did not decode is one character). An empty line stays empty.
QStringList DeleteFirstCharacter(const QStringList& lines);
QStringList DeleteLastCharacter(const QStringList& lines);

// The title a file list caption gives: the text before its first ".mp3" (any letter case);
// none when the caption holds no ".mp3".
std::optional<QString> TitleOfCaption(const QString& caption);
// The titles of the captions in order; a caption without ".mp3" gives no line.
QStringList TitlesOfCaptions(const QStringList& captions);

// The GBK/Big5 conversion of the lines under a code page. On 950 and 936 the lines are code-page
// bytes: each line is converted byte by byte (Big5Gbk.h) and read back by the code page. On any
// other code page each character that Big5 (for Big5ToGbk), respectively GBK, encodes as a
// double-byte code the table knows becomes the partner read as GBK, respectively Big5; every
// other character stays.
enum class TChineseConversion { Big5ToGbk, GbkToBig5 };
QStringList ConvertLines(const QStringList& lines, TChineseConversion conversion, int codePage);

// The lines of a title-list file: bytes in the code page, decoded with the current codec; lines
// end with CR LF, CR or LF; reading stops at the first zero byte. `Error` is an errno value (0
// when the file was read; EFBIG when its text passes kMaxTitleFileBytes); no lines on an error.
struct TTitleFile {
  QStringList Lines;
  int Error = 0;
};
inline constexpr qint64 kMaxTitleFileBytes = 256 * 1024 * 1024;
TTitleFile ReadTitleFile(const QByteArray& path);

}  // namespace melotag::editor
