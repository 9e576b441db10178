// The fields a user edits, in one table: for each field its ID3v2 frame (with its 2.2 and 2.4
// forms), its place in the ID3v1 trailer, the tool's option and JSON key, its name in file-name
// patterns, its caption, the widgets that edit it, and how its values are read and checked.
// Everything that works on fields loops over this table; a new text field is one row.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <initializer_list>
#include <optional>
#include <utility>

namespace melotag::editor {

enum class TField {
  Title,
  Artist,
  Album,
  AlbumArtist,
  Year,
  Track,
  Disc,
  Genre,
  Composer,
  Comment,
  Lyrics,
};
inline constexpr int kFieldCount = 11;

// How a field's value lives in a tag.
enum class TFieldKind {
  Text,       // one text frame
  Number,     // a text frame of "N" or "N/M" (a number and its total)
  Year,       // the year: TYER in 2.3, the start of the recording time TDRC in 2.4
  Genre,      // TCON: a name of the genre list, or any text
  Described,  // COMM or USLT: language, description and text
};

// Where a field stands in the ID3v1 trailer.
enum class TV1Slot { None, Title, Artist, Album, Year, Track, Genre, Comment };

struct TFieldRow {
  TField Field;
  TFieldKind Kind;
  const char* Frame;    // the ID3v2.3 frame
  const char* Frame22;  // the ID3v2.2 frame a 2.2 tag holds it in
  const char* Frame24;  // the ID3v2.4 frame
  TV1Slot V1;
  bool Exact;           // one of the seven fields the exact write writes
  const char* Option;   // melotag-cli set's option
  const char* Value;    // the name of the option's value in the help
  const char* Help;     // the option's help
  const char* Json;     // the key of show --json
  const char* Pattern;  // the name of file-name patterns (%name%); none for a field no name holds
  const char* Label;    // the caption, a word of the language file
  const char* PanelWidget;  // the panel's box
  const char* BatchCheck;   // the batch page's tick box; none for a field the page does not write
  const char* BatchValue;   // the batch page's value box
};

// The rows in the order the fields are shown.
const std::array<TFieldRow, kFieldCount>& FieldTable();
const TFieldRow& RowOf(TField field);
// The field of a pattern name ("albumartist"), letter case ignored.
std::optional<TField> FieldOfPattern(QStringView name);

// A value for each field, or none: the field is not given (a write leaves it as it is). An empty
// value empties the field.
class TFieldValues {
 public:
  TFieldValues() = default;
  TFieldValues(std::initializer_list<std::pair<TField, QString>> values);
  std::optional<QString>& operator[](TField field) { return FValues[static_cast<int>(field)]; }
  const std::optional<QString>& operator[](TField field) const {
    return FValues[static_cast<int>(field)];
  }
  // The value, empty when not given.
  QString Text(TField field) const { return (*this)[field].value_or(QString()); }
  bool Has(TField field) const { return (*this)[field].has_value(); }
  bool Any() const;
  bool operator==(const TFieldValues&) const = default;

 private:
  std::array<std::optional<QString>, kFieldCount> FValues;
};

// --- Numbers with a total: tracks and discs

inline constexpr int kMaxNumber = 9999;
struct TNumberPair {
  int Number = 0;  // 0: none
  int Total = 0;   // 0: none
  bool operator==(const TNumberPair&) const = default;
};
// A number as typed: "3", "03", "3/12", " 3 / 12 ", "/12" (the total alone), empty (none); numbers
// from 1 to kMaxNumber. None for anything else ("x", "3/0", "3/", "10000").
std::optional<TNumberPair> ParseNumberPair(const QString& text);
// A frame's number read leniently: what ParseNumberPair takes, and of anything else the leading
// digits of each part ("3 of 12" is 3); numbers beyond kMaxNumber or below 1 are none.
TNumberPair ReadNumberPair(const QString& text);
// "3/12", "3", "/12" or empty.
QString NumberPairText(const TNumberPair& pair);
// `given` over the file's `old` pair: a number alone keeps the old total, a total alone the old
// number; an empty text (none, none) empties both.
TNumberPair MergedNumberPair(const TNumberPair& old, const TNumberPair& given, bool emptyText);

// --- Genres

// A genre as given: a name of the genre list (letter case ignored) or its number gives the
// list's name; any other text stays as it is (trimmed).
QString GenreOfValue(const QString& value);
// The ID3v1 genre index of a genre: its place in the list, 255 (none) for a text outside it.
uint8_t GenreIndexOfValue(const QString& value);
// True when the genre is a name of the list, or empty.
bool IsListGenre(const QString& value);

// --- Checks

// Why the value cannot be written into the field ("the track \"3/0\" is ..."), naming both;
// empty when it can.
QString RefusalOf(TField field, const QString& value);

}  // namespace melotag::editor
