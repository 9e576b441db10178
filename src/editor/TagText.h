// The tags of one file as text: the seven values of an ID3v1 or ID3v2 tag crossing to and from
// QString through the code-page codec, the texts of the tag panel, and the values a batch pass
// writes. A value nobody changed goes back to the file byte for byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>

#include "Fields.h"
#include "ID3v1.h"
#include "ID3v2.h"

namespace melotag::editor {

// --- Files

// The path bytes as the tag classes take them, unchanged. A path holding a zero byte would name
// another file there: check IsUsablePath (or IsFile) first.
inline std::string TagPath(const QByteArray& path) {
  return path.toStdString();
}
// Something other than a folder exists at the path, links followed: the file a tag is read from
// or written to. A device or pipe passes; the tag classes refuse it themselves.
bool FileExists(const QByteArray& path);
// No write permission for the owner (IsReadOnlyPath); a path whose status cannot be read (a file
// that vanished, a dangling link, a path holding a zero byte) counts as read-only too.
bool IsReadOnlyFile(const QByteArray& path);

// --- ID3v1 field widths

inline constexpr int kV1TextWidth = 30;
inline constexpr int kV1YearWidth = 4;
// A trailer with a track number keeps only 28 bytes of comment.
inline constexpr int kV1ShortCommentWidth = 28;

// The longest start of `bytes` of at most `width` bytes that ends on a whole character of the
// code page: a double-byte character of 932, 936, 949 or 950, or a UTF-8 sequence under 65001,
// is never split. Other code pages cut bytes.
std::string CutAtCharacter(const std::string& bytes, int width, int codePage);

// --- Genres

// The genre choice list: an empty entry, then the genre names in table order, so that position
// p stands for genre index p - 1 and position 0 for none.
QStringList GenreChoices();
// The position that shows an ID3v1 genre index; -1 (nothing chosen) for an index that names no
// genre.
int GenrePositionOfIndex(uint8_t index);
// The position of an ID3v2 genre name in the choice list, letter case ignored; 0 (the empty
// entry) when no genre has that name.
int GenrePositionOfName(const std::string& genre);
// The ID3v1 genre index a position stands for: 255 for the empty entry or no choice (-1).
uint8_t GenreIndexOfPosition(int position);
// The ID3v2 genre name a position stands for: empty for the empty entry or no choice.
std::string GenreNameOfPosition(int position);

// --- Track numbers

// A track as the exact write takes it: a whole decimal number (blanks around it allowed), before a
// "/total" where one follows, in its low 8 bits; 0, no track, for anything else.
uint8_t ExactTrackOf(const QString& text);
// The ID3v1 track of a track as typed ("3", "3/12"): its number when that is from 1 to 255, the
// most a trailer holds; 0, no track, otherwise.
uint8_t V1TrackOf(const QString& text);

// --- The panel

// What the panel shows of a tag that was read.
struct TTagView {
  bool Exists = false;
  QString ExistsText;   // "Yes" / "No"
  QString VersionText;  // "1.0", "1.1", "2.3" ...; empty without a tag
  QString SizeText;     // "N bytes" for an ID3v2 tag; empty otherwise
  TFieldValues Fields;  // every field given (an empty text for an empty field); none without a tag
};

// ID3v1: the track also when it is 0; a genre index of 148 or more gives no genre.
TTagView ViewOf(const TID3v1& tag);
// ID3v2 as the tag class reads it: the track only above 0.
TTagView ViewOf(const TID3v2& tag);

// "【" + artist + "】" + album, the album title the renaming offers; empty unless both are given.
QString AlbumTitleOf(const QString& artist, const QString& album);

// Puts the given values of the fields the trailer holds into the tag, ready for WriteToFile; the
// others keep what the tag holds. ID3v1 texts are cut at the last whole character that fits
// their field (the comment at 28 bytes when a track is given); the setters then drop trailing
// blanks and control bytes. A genre outside the list gives 255 (none), a track beyond 255 none
// (the exact write: its low 8 bits).
void SetFromFields(TID3v1& tag, const TFieldValues& fields, bool exact = false);

// --- Batch passes

// What a batch pass writes into every file: a value for each ticked field; the fields left
// unset keep each file's old value.
struct TBatchChoices {
  bool TitleFromList = false;  // the title list gives file i its line i
  bool NumberTracks = false;   // file i gets track i + 1
  // The ticked fields' values (a track "3/12"; NumberTracks and TitleFromList go first).
  TFieldValues Values;
  // The JPEG or PNG image that becomes the front cover of the ID3v2 tag (the ID3v1 tag has no
  // pictures).
  std::optional<QByteArray> FrontCover;
};

// The track a pass gives the file at list position `position`: position + 1. The exact write
// keeps its low 8 bits (the 256th file gets 0, no track).
int BatchTrack(int position);
uint8_t ExactBatchTrack(int position);

// The values a pass gives the file at list position `position`: the ticked ones, the title line
// and the running number.
// The exact write's running number keeps its low 8 bits (ExactBatchTrack).
TFieldValues BatchValuesOf(const TBatchChoices& choices, const QString& titleLine, int position,
                           bool exact = false);

// Reads the file's old trailer into `tag` (empty values when it cannot be read or has none) and
// puts the pass's values over it; the tag is then ready for WriteToFile. ID3v1 texts are cut as
// SetFromFields cuts them.
// By default a trailer whose texts are another code page's keeps them (TrailerValues).
void SetBatchValues(TID3v1& tag, const QByteArray& path, const TBatchChoices& choices,
                    const QString& titleLine, int position, bool exact = false,
                    bool* keptTexts = nullptr);
// The same over the trailer as `tag` holds it (TID3v1::EditFile's edit).
void PutBatchValues(TID3v1& tag, const TBatchChoices& choices, const QString& titleLine,
                    int position, bool exact, bool* keptTexts);

// The values an existing trailer takes: `values` without its texts (title, artist, album, year,
// comment) when they read in another double-byte code page (ReadInAnotherCodePage), which has no
// place for them as the current code page's bytes: those keep their bytes, and `kept` is set
// when a text was given.
TFieldValues TrailerValues(const TID3v1& tag, TFieldValues values, bool* kept);

}  // namespace melotag::editor
