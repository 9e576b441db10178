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

// A track number typed as text: a whole decimal number (blanks around it allowed), before a
// "/total" where one follows, in its low 8 bits; 0, no track, for anything that is not a number or
// is 0 or less.
uint8_t TrackOfText(const QString& text);
// The "/12" of a track typed as "4/12" (a whole number above 0 after the slash); empty without.
QString TrackTotalOfText(const QString& text);

// --- The panel

// The values of one tag as the panel's controls hold them.
struct TTagFields {
  QString Title;
  QString Artist;
  QString Album;
  QString Track;
  QString Year;
  QString Comment;
  int GenrePosition = -1;  // in the genre choice list; -1 = nothing chosen
  // A genre that is not in the list, offered as the choice kOtherGenrePosition.
  QString OtherGenre;
};

// The position after the list's genres that stands for a tag's own genre (TTagFields::OtherGenre).
inline constexpr int kOtherGenrePosition = tags::kGenreCount + 1;
// The genre the fields choose: a list name, the tag's own genre, or empty.
QString GenreOfFields(const TTagFields& fields);

// What the panel shows of a tag that was read.
struct TTagView {
  bool Exists = false;
  QString ExistsText;   // "Yes" / "No"
  QString VersionText;  // "1.0", "1.1", "2.3" ...; empty without a tag
  QString SizeText;     // "N bytes" for an ID3v2 tag; empty otherwise
  TTagFields Fields;    // empty without a tag
};

// ID3v1: the track also when it is 0; a genre index of 148 or more chooses nothing.
TTagView ViewOf(const TID3v1& tag);
// ID3v2: the track only above 0; a genre name not in the list chooses the empty entry.
TTagView ViewOf(const TID3v2& tag);

// "【" + artist + "】" + album, the album title the renaming offers; empty unless both are given.
QString AlbumTitleOf(const QString& artist, const QString& album);

// Puts the panel's values into the tag, ready for WriteToFile. ID3v1 texts are cut at the last
// whole character that fits their field (the comment at 28 bytes when a track is given); the
// setters then drop trailing blanks and control bytes.
void SetFromFields(TID3v1& tag, const TTagFields& fields);
void SetFromFields(TID3v2& tag, const TTagFields& fields);

// --- Batch passes

// What a batch pass writes into every file: a value for each ticked field; the fields left
// unset keep each file's old value.
struct TBatchChoices {
  bool TitleFromList = false;  // the title list gives file i its line i
  std::optional<QString> Artist;
  std::optional<QString> Album;
  bool NumberTracks = false;     // file i gets track i + 1
  std::optional<uint8_t> Track;  // every file gets this track (0: none) unless NumberTracks
  QString TrackTotal;            // "/12" given with that track (TrackTotalOfText)
  std::optional<QString> Year;
  std::optional<int> GenrePosition;  // in the genre choice list
  std::optional<QString> Comment;
  // The JPEG or PNG image that becomes the front cover of the ID3v2 tag (the ID3v1 tag has no
  // pictures).
  std::optional<QByteArray> FrontCover;
};

// The track a pass gives the file at list position `position`: position + 1 in its low 8 bits,
// so the 256th file gets 0, no track.
uint8_t BatchTrack(int position);

// Reads the file's old tag into `tag` (empty values when it cannot be read, has no tag, or, for
// ID3v2, has a tag of another version than 2.3) and puts the pass's values over it; the tag is
// then ready for WriteToFile. ID3v1 texts are cut as SetFromFields cuts them.
void SetBatchValues(TID3v1& tag, const QByteArray& path, const TBatchChoices& choices,
                    const QString& titleLine, int position);
void SetBatchValues(TID3v2& tag, const QByteArray& path, const TBatchChoices& choices,
                    const QString& titleLine, int position);

}  // namespace melotag::editor
