#include "Fields.h"

#include <algorithm>

#include "ID3v1.h"

namespace melotag::editor {

namespace {

using enum TField;
using K = TFieldKind;
using S = TV1Slot;

const std::array<TFieldRow, kFieldCount> kTable = {{
    {Title, K::Text, "TIT2", "TT2", "TIT2", S::Title, true, "--title", "T", "the title", "title",
     "title", "Title", "TitleEdit", "cbxTitle", nullptr},
    {Artist, K::Text, "TPE1", "TP1", "TPE1", S::Artist, true, "--artist", "A", "the artist",
     "artist", "artist", "Artist", "ArtistEdit", "cbxArtist", "edtArtist"},
    {Album, K::Text, "TALB", "TAL", "TALB", S::Album, true, "--album", "L", "the album", "album",
     "album", "Album", "AlbumEdit", "cbxAlbum", "edtAlbum"},
    {AlbumArtist, K::Text, "TPE2", "TP2", "TPE2", S::None, false, "--album-artist", "A",
     "the album artist (the artist of the whole album, of a compilation: \"Various Artists\")",
     "album_artist", "albumartist", "Album Artist", "AlbumArtistEdit", "cbxAlbumArtist",
     "edtAlbumArtist"},
    {Year, K::Year, "TYER", "TYE", "TDRC", S::Year, true, "--year", "Y",
     "the year (in an ID3v2.4 tag the year of the recording time, its month and day kept)", "year",
     "year", "Year", "YearEdit", "cbxYear", "edtYear"},
    {Track, K::Number, "TRCK", "TRK", "TRCK", S::Track, true, "--track", "N[/M]",
     "the track number from 1 to 9999, with the album's track total after a \"/\" (\"3/12\"); "
     "\"/12\" sets the total alone, a number alone keeps the file's total; empty or 0: none",
     "track", "track", "Track", "TrackEdit", nullptr, nullptr},
    {Disc, K::Number, "TPOS", "TPA", "TPOS", S::None, false, "--disc", "N[/M]",
     "the disc number, with the album's disc total after a \"/\" (\"1/2\"), as --track takes it",
     "disc", "disc", "Disc", "DiscEdit", "cbxDisc", "edtDisc"},
    {Genre, K::Genre, "TCON", "TCO", "TCON", S::Genre, true, "--genre", "G",
     "the genre: a name of the ID3v1 list (letter case ignored) or its number gives that genre; "
     "any other text is written as it is into ID3v2, and ID3v1 gets no genre; empty for none",
     "genre", "genre", "Genre", "GenreComboBox", "cbxGenre", "cboGenre"},
    {Composer, K::Text, "TCOM", "TCM", "TCOM", S::None, false, "--composer", "C", "the composer",
     "composer", "composer", "Composer", "ComposerEdit", "cbxComposer", "edtComposer"},
    {Comment, K::Described, "COMM", "COM", "COMM", S::Comment, true, "--comment", "C",
     "the comment", "comment", "comment", "Comment", "CommentEdit", "cbxComment", "edtComment"},
    {Lyrics, K::Described, "USLT", "ULT", "USLT", S::None, false, "--lyrics", "TEXT",
     "the lyrics, lines separated by line breaks", "lyrics", nullptr, "Lyrics", "LyricsEdit",
     nullptr, nullptr},
}};

bool IsDigits(QStringView text) {
  return !text.isEmpty() &&
         std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A whole number from 1 to kMaxNumber; 0 for an empty text; -1 for anything else.
int NumberOf(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty()) return 0;
  if (!IsDigits(text) || text.size() > 9) return -1;
  const int number = text.toInt();
  return number >= 1 && number <= kMaxNumber ? number : -1;
}

// The leading digits' number when it lies within 1 and kMaxNumber; else 0.
int LeadingNumber(QStringView text) {
  text = text.trimmed();
  qsizetype digits = 0;
  while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9') ++digits;
  if (digits == 0 || digits > 9) return 0;
  const int number = text.left(digits).toInt();
  return number >= 1 && number <= kMaxNumber ? number : 0;
}

QString GenreName(int index) {
  const std::string_view name = tags::GenreNames[index];
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// The list's index of a genre name or number; -1 for none.
int ListIndexOf(const QString& value) {
  const QString text = value.trimmed();
  for (int i = 0; i < tags::kGenreCount; ++i)
    if (text.compare(GenreName(i), Qt::CaseInsensitive) == 0) return i;
  if (IsDigits(text) && text.size() <= 3 && text.toInt() < tags::kGenreCount) return text.toInt();
  return -1;
}

}  // namespace

const std::array<TFieldRow, kFieldCount>& FieldTable() {
  return kTable;
}

const TFieldRow& RowOf(TField field) {
  return kTable[static_cast<int>(field)];
}

std::optional<TField> FieldOfPattern(QStringView name) {
  for (const TFieldRow& row : kTable)
    if (row.Pattern && name.compare(QLatin1String(row.Pattern), Qt::CaseInsensitive) == 0)
      return row.Field;
  return std::nullopt;
}

TFieldValues::TFieldValues(std::initializer_list<std::pair<TField, QString>> values) {
  for (const auto& [field, value] : values) (*this)[field] = value;
}

bool TFieldValues::Any() const {
  return std::any_of(FValues.begin(), FValues.end(), [](const auto& v) { return v.has_value(); });
}

std::optional<TNumberPair> ParseNumberPair(const QString& text) {
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  const QStringView whole(text);
  const int number = NumberOf(slash < 0 ? whole : whole.left(slash));
  if (number < 0) return std::nullopt;
  if (slash < 0) return TNumberPair{number, 0};
  const int total = NumberOf(whole.mid(slash + 1));
  // "3/" and "/" give no total: refused as a typing slip rather than read as no total.
  if (total <= 0) return std::nullopt;
  return TNumberPair{number, total};
}

TNumberPair ReadNumberPair(const QString& text) {
  if (const std::optional<TNumberPair> exact = ParseNumberPair(text)) return *exact;
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  const QStringView whole(text);
  return {LeadingNumber(slash < 0 ? whole : whole.left(slash)),
          slash < 0 ? 0 : LeadingNumber(whole.mid(slash + 1))};
}

QString NumberPairText(const TNumberPair& pair) {
  QString text = pair.Number > 0 ? QString::number(pair.Number) : QString();
  if (pair.Total > 0) text += QLatin1Char('/') + QString::number(pair.Total);
  return text;
}

TNumberPair MergedNumberPair(const TNumberPair& old, const TNumberPair& given, bool emptyText) {
  if (emptyText) return {};
  return {given.Number > 0 ? given.Number : old.Number, given.Total > 0 ? given.Total : old.Total};
}

QString GenreOfValue(const QString& value) {
  const int index = ListIndexOf(value);
  return index >= 0 ? GenreName(index) : value.trimmed();
}

uint8_t GenreIndexOfValue(const QString& value) {
  const int index = ListIndexOf(value);
  return index >= 0 ? static_cast<uint8_t>(index) : uint8_t{255};
}

bool IsListGenre(const QString& value) {
  return value.trimmed().isEmpty() || ListIndexOf(value) >= 0;
}

QString RefusalOf(TField field, const QString& value) {
  const TFieldRow& row = RowOf(field);
  if (row.Kind == TFieldKind::Number && !ParseNumberPair(value))
    return QStringLiteral("the %1 \"%2\" is not a number from 1 to %3, alone or as N/M")
        .arg(QString::fromLatin1(row.Label).toLower(), value)
        .arg(kMaxNumber);
  return QString();
}

}  // namespace melotag::editor
