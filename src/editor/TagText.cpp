#include "TagText.h"

#include "CodePage.h"
#include "FilePath.h"
#include "LegacyText.h"

namespace melotag::editor {

namespace {

QString Text(const std::string& bytes) {
  return DecodeText(bytes);
}

std::string Bytes(const QString& text) {
  return EncodeText(text);
}

using TV1Setter = void (TID3v1::*)(const std::string&);

// Code-page bytes of the text, cut at the last whole character within the field.
void SetV1Text(TID3v1& tag, TV1Setter setter, const std::string& bytes, int width) {
  (tag.*setter)(CutAtCharacter(bytes, width, GetACP()));
}

// With a track number the trailer has room for 28 bytes of comment only.
void FitV1Comment(TID3v1& tag) {
  if (tag.Track() > 0) SetV1Text(tag, &TID3v1::SetComment, tag.Comment(), kV1ShortCommentWidth);
}

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Bytes in a UTF-8 sequence starting at `at`: its full length when the lead byte and its
// continuation bytes are all there, otherwise 1.
int Utf8Length(const std::string& bytes, size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 1;
  if (at + length > bytes.size()) return 1;
  for (int i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) return 1;
  return length;
}

}  // namespace

bool FileExists(const QByteArray& path) {
  const auto status = PathStatus(path);
  return status && !S_ISDIR(status->st_mode);
}

bool IsReadOnlyFile(const QByteArray& path) {
  const auto status = PathStatus(path);
  return !status || !(status->st_mode & S_IWUSR);
}

std::string CutAtCharacter(const std::string& bytes, int width, int codePage) {
  const size_t limit = width > 0 ? static_cast<size_t>(width) : 0;
  if (bytes.size() <= limit) return bytes;
  size_t end = 0;
  while (end < bytes.size()) {
    size_t length = 1;
    if (codePage == 65001)
      length = Utf8Length(bytes, end);
    else if (IsDBCSLeadByteEx(codePage, static_cast<unsigned char>(bytes[end])) &&
             end + 1 < bytes.size())
      length = 2;
    if (end + length > limit) break;
    end += length;
  }
  return bytes.substr(0, end);
}

QStringList GenreChoices() {
  QStringList choices{QString()};
  for (std::string_view name : tags::GenreNames) choices << Text(std::string(name));
  return choices;
}

int GenrePositionOfIndex(uint8_t index) {
  return index < tags::kGenreCount ? index + 1 : -1;
}

int GenrePositionOfName(const std::string& genre) {
  if (genre.empty()) return 0;
  for (int i = 0; i < tags::kGenreCount; ++i)
    if (AsciiEqualNoCase(tags::GenreNames[i], genre)) return i + 1;
  return 0;
}

uint8_t GenreIndexOfPosition(int position) {
  return position >= 1 && position <= tags::kGenreCount ? static_cast<uint8_t>(position - 1) : 255;
}

std::string GenreNameOfPosition(int position) {
  return position >= 1 && position <= tags::kGenreCount
             ? std::string(tags::GenreNames[position - 1])
             : std::string();
}

uint8_t ExactTrackOf(const QString& text) {
  const QString trimmed = text.trimmed();
  bool ok = false;
  const qlonglong number =
      trimmed.left(trimmed.indexOf(QLatin1Char('/'))).trimmed().toLongLong(&ok, 10);
  if (!ok || number <= 0) return 0;
  return static_cast<uint8_t>(number & 0xFF);
}

uint8_t V1TrackOf(const QString& text) {
  const std::optional<TNumberPair> pair = ParseNumberPair(text);
  return pair && pair->Number <= 255 ? static_cast<uint8_t>(pair->Number) : uint8_t{0};
}

TTagView ViewOf(const TID3v1& tag) {
  TTagView view;
  view.Exists = tag.Exists();
  view.ExistsText = tag.Exists() ? QStringLiteral("Yes") : QStringLiteral("No");
  if (!tag.Exists()) return view;
  view.VersionText = tag.Version() == 1 ? QStringLiteral("1.0") : QStringLiteral("1.1");
  TFieldValues& f = view.Fields;
  for (const TFieldRow& row : FieldTable()) f[row.Field] = QString();
  f[TField::Title] = Text(tag.Title());
  f[TField::Artist] = Text(tag.Artist());
  f[TField::Album] = Text(tag.Album());
  f[TField::Track] = QString::number(tag.Track());
  f[TField::Year] = Text(tag.Year());
  f[TField::Comment] = Text(tag.Comment());
  if (tag.GenreIndex() < tags::kGenreCount)
    f[TField::Genre] = Text(GenreNameOfPosition(GenrePositionOfIndex(tag.GenreIndex())));
  return view;
}

TTagView ViewOf(const TID3v2& tag) {
  TTagView view;
  view.Exists = tag.Exists();
  view.ExistsText = tag.Exists() ? QStringLiteral("Yes") : QStringLiteral("No");
  if (!tag.Exists()) return view;
  view.VersionText = QStringLiteral("2.") + QString::number(tag.Version());
  view.SizeText = QString::number(tag.Size()) + QStringLiteral(" bytes");
  TFieldValues& f = view.Fields;
  for (const TFieldRow& row : FieldTable()) f[row.Field] = QString();
  f[TField::Title] = Text(tag.Title());
  f[TField::Artist] = Text(tag.Artist());
  f[TField::Album] = Text(tag.Album());
  if (tag.Track() > 0) f[TField::Track] = QString::number(tag.Track());
  f[TField::Year] = Text(tag.Year());
  f[TField::Comment] = Text(tag.Comment());
  f[TField::Genre] = Text(tag.Genre());
  return view;
}

QString AlbumTitleOf(const QString& artist, const QString& album) {
  if (artist.isEmpty() || album.isEmpty()) return QString();
  return QStringLiteral("\u3010") + artist + QStringLiteral("\u3011") + album;
}

void SetFromFields(TID3v1& tag, const TFieldValues& fields, bool exact) {
  using enum TField;
  if (fields.Has(Title)) SetV1Text(tag, &TID3v1::SetTitle, Bytes(fields.Text(Title)), kV1TextWidth);
  if (fields.Has(Artist))
    SetV1Text(tag, &TID3v1::SetArtist, Bytes(fields.Text(Artist)), kV1TextWidth);
  if (fields.Has(Album)) SetV1Text(tag, &TID3v1::SetAlbum, Bytes(fields.Text(Album)), kV1TextWidth);
  if (fields.Has(Year)) SetV1Text(tag, &TID3v1::SetYear, Bytes(fields.Text(Year)), kV1YearWidth);
  if (fields.Has(Track))
    tag.SetTrack(exact ? ExactTrackOf(fields.Text(Track)) : V1TrackOf(fields.Text(Track)));
  if (fields.Has(Genre)) tag.SetGenreIndex(GenreIndexOfValue(fields.Text(Genre)));
  if (fields.Has(Comment))
    SetV1Text(tag, &TID3v1::SetComment, Bytes(fields.Text(Comment)), kV1TextWidth);
  FitV1Comment(tag);
}

int BatchTrack(int position) {
  return position + 1;
}

uint8_t ExactBatchTrack(int position) {
  return static_cast<uint8_t>((position + 1) & 0xFF);
}

TFieldValues BatchValuesOf(const TBatchChoices& choices, const QString& titleLine, int position,
                           bool exact) {
  TFieldValues values = choices.Values;
  if (choices.TitleFromList) values[TField::Title] = titleLine;
  if (choices.NumberTracks)
    values[TField::Track] =
        QString::number(exact ? int{ExactBatchTrack(position)} : BatchTrack(position));
  return values;
}

TFieldValues TrailerValues(const TID3v1& tag, TFieldValues values, bool* kept) {
  if (!tag.Exists()) return values;
  std::vector<std::string_view> texts;
  for (const std::string* text :
       {&tag.Title(), &tag.Artist(), &tag.Album(), &tag.Year(), &tag.Comment()})
    if (IsLegacyText(*text)) texts.push_back(*text);
  if (!ReadInAnotherCodePage(texts)) return values;
  for (const TFieldRow& row : FieldTable()) {
    if (row.V1 == TV1Slot::None || row.V1 == TV1Slot::Track || row.V1 == TV1Slot::Genre ||
        !values.Has(row.Field))
      continue;
    values[row.Field].reset();
    if (kept) *kept = true;
  }
  return values;
}

void SetBatchValues(TID3v1& tag, const QByteArray& path, const TBatchChoices& choices,
                    const QString& titleLine, int position, bool exact, bool* keptTexts) {
  // The old values stay in the tag; a failed read or a file without a trailer leaves it empty.
  if (!IsUsablePath(path) || !tag.LoadFromFile(TagPath(path)) || !tag.Exists()) tag.Clear();
  PutBatchValues(tag, choices, titleLine, position, exact, keptTexts);
}

void PutBatchValues(TID3v1& tag, const TBatchChoices& choices, const QString& titleLine,
                    int position, bool exact, bool* keptTexts) {
  TFieldValues values = BatchValuesOf(choices, titleLine, position, exact);
  if (!exact) values = TrailerValues(tag, std::move(values), keptTexts);
  SetFromFields(tag, values, exact);
}

}  // namespace melotag::editor
