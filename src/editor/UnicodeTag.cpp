#include "UnicodeTag.h"

#include <QStringList>

#include <array>

#include "CodePage.h"
#include "FilePath.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "TagFile.h"

namespace melotag::editor {

using tags::FrameContent;
using tags::TFrame;
using tags::TFrameTag;

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsEscape(char16_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

// UTF-16 in the given byte order; a byte-order mark at the start, or one met later (a string
// that starts anew), decides the order from there on.
QString DecodeUtf16(std::string_view bytes, bool bigEndian) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size() / 2 + 1));
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const char16_t unit =
        bigEndian ? char16_t(p[2 * i] << 8 | p[2 * i + 1]) : char16_t(p[2 * i + 1] << 8 | p[2 * i]);
    if (unit == 0xFEFF) continue;
    if (unit == 0xFFFE) {
      bigEndian = !bigEndian;
      continue;
    }
    if (QChar::isHighSurrogate(unit) && i + 1 < units) {
      const char16_t next = bigEndian ? char16_t(p[2 * i + 2] << 8 | p[2 * i + 3])
                                      : char16_t(p[2 * i + 3] << 8 | p[2 * i + 2]);
      if (QChar::isLowSurrogate(next)) {
        out.append(QChar(unit));
        out.append(QChar(next));
        ++i;
        continue;
      }
    }
    out.append(QChar::isSurrogate(unit) ? QChar(kReplacement) : QChar(unit));
  }
  if (bytes.size() % 2) out.append(QChar(kReplacement));
  return out;
}

// Without a byte-order mark: big-endian when more zero bytes stand first in their pair.
bool LooksBigEndian(std::string_view bytes) {
  int first = 0, second = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    first += bytes[i] == '\0';
    second += bytes[i + 1] == '\0';
  }
  return first > second;
}

QString Trimmed(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin].unicode() <= 0x20) ++begin;
  while (end > begin && text[end - 1].unicode() <= 0x20) --end;
  return text.mid(begin, end - begin);
}

QString TrimmedRight(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text[end - 1].unicode() <= 0x20) --end;
  return text.left(end);
}

// The strings of encoded bytes, separated by terminators; a trailing terminator ends the last.
QString JoinedStrings(uint8_t encoding, std::string_view bytes) {
  QStringList strings;
  while (!bytes.empty()) {
    const size_t length = tags::StringLength(bytes, encoding);
    strings << DecodeFrameString(encoding, bytes.substr(0, length));
    bytes.remove_prefix(std::min(bytes.size(), length + tags::TerminatorSize(encoding)));
  }
  return strings.join(QLatin1Char('/'));
}

QString TrimmedGenre(const QString& text) {
  QString genre = Trimmed(text);
  const qsizetype close = genre.lastIndexOf(QLatin1Char(')'));
  if (close >= 0) genre.remove(0, close + 1);
  return genre;
}

// The last frame of the ID, or null.
const TFrame* LastFrame(const TFrameTag& tag, std::string_view id) {
  for (auto it = tag.Frames.rbegin(); it != tag.Frames.rend(); ++it)
    if (it->Id == id) return &*it;
  return nullptr;
}

QString FrameText(const TFrameTag& tag, std::string_view id) {
  const TFrame* frame = LastFrame(tag, id);
  if (!frame) return QString();
  const std::optional<std::string_view> content = FrameContent(*frame, tag.Version);
  return content ? Trimmed(TextOfTextFrame(*content)) : QString();
}

constexpr std::array<std::string_view, 6> kTextIds = {"TIT2", "TPE1", "TALB",
                                                      "TRCK", "TYER", "TCON"};

// A frame that one of the seven values stands for.
bool IsValueFrame(const TFrame& frame, uint8_t version) {
  for (std::string_view id : kTextIds)
    if (frame.Id == id) return true;
  return version == 4 && frame.Id == "TDRC";
}

// Frame data of a value: encoding 0 and code-page bytes, or 1 and UTF-16 with a byte-order mark
// when asked for and the code page cannot hold the text. Empty when the value is.
struct TEncodedValue {
  uint8_t Encoding = tags::kLatin1;
  std::string Bytes;
};

std::string Utf16Of(const QString& text) {
  std::string out("\xFF\xFE", 2);
  out.reserve(2 + static_cast<size_t>(text.size()) * 2);
  for (qsizetype i = 0; i < text.size(); ++i) {
    char16_t unit = text[i].unicode();
    // An escape stands for a byte of no character, which UTF-16 cannot hold; the low half of a
    // surrogate pair in the same range is a character.
    const bool paired = i > 0 && text[i - 1].isHighSurrogate();
    if (IsEscape(unit) && !paired) unit = kReplacement;
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

TEncodedValue Encoded(const QString& text, bool unicode) {
  TEncodedValue value;
  if (unicode) {
    const QString trimmed = TrimmedRight(text);
    if (!CodePageCanEncode(trimmed)) {
      value.Encoding = tags::kUtf16;
      if (!trimmed.isEmpty()) value.Bytes = Utf16Of(trimmed);
      return value;
    }
  }
  value.Bytes = tagfile::TrimRight(EncodeText(text));
  return value;
}

TFrame TextFrame(std::string_view id, const TEncodedValue& value) {
  TFrame frame;
  frame.Id = id;
  frame.Data.push_back(static_cast<char>(value.Encoding));
  frame.Data += value.Bytes;
  return frame;
}

}  // namespace

QString DecodeFrameString(uint8_t encoding, std::string_view bytes) {
  switch (encoding) {
    case tags::kUtf16: {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
      if (bytes.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF) return DecodeUtf16(bytes, true);
      if (bytes.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE) return DecodeUtf16(bytes, false);
      return DecodeUtf16(bytes, LooksBigEndian(bytes));
    }
    case tags::kUtf16BE:
      return DecodeUtf16(bytes, true);
    case tags::kUtf8:
      if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
      return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    default:
      return DecodeText(bytes);
  }
}

QString TextOfTextFrame(std::string_view content) {
  if (content.empty()) return QString();
  return JoinedStrings(static_cast<uint8_t>(content[0]), content.substr(1));
}

namespace {

// A description with nothing in it but, maybe, a byte-order mark.
bool IsEmptyString(std::string_view bytes) {
  return bytes.empty() || bytes == "\xFF\xFE" || bytes == "\xFE\xFF" || bytes == "\xEF\xBB\xBF";
}

}  // namespace

int ChosenComment(const TFrameTag& tag) {
  int last = -1, plain = -1;
  for (int i = 0; i < static_cast<int>(tag.Frames.size()); ++i) {
    if (tag.Frames[i].Id != "COMM") continue;
    const std::optional<std::string_view> content = FrameContent(tag.Frames[i], tag.Version);
    if (!content) continue;
    const std::optional<tags::TCommentParts> parts = tags::SplitComment(*content);
    last = i;
    if (parts && IsEmptyString(parts->Description)) plain = i;
  }
  return plain >= 0 ? plain : last;
}

TID3v2Text TextOf(const TFrameTag& tag) {
  TID3v2Text text;
  text.Exists = tag.Exists;
  text.Version = tag.Version;
  text.Size = static_cast<int32_t>(tag.TagSize);
  if (tag.Version != 3 && tag.Version != 4) return text;
  text.Title = FrameText(tag, "TIT2");
  text.Artist = FrameText(tag, "TPE1");
  text.Album = FrameText(tag, "TALB");
  text.Track = static_cast<uint8_t>(ParseTrack(FrameText(tag, "TRCK").toStdString()) & 0xFF);
  text.Year = FrameText(tag, "TYER");
  if (tag.Version == 4 && LastFrame(tag, "TDRC")) text.Year = FrameText(tag, "TDRC");
  text.Genre = TrimmedGenre(FrameText(tag, "TCON"));
  if (tag.Version == 4) {
    // 2.4 names an ID3v1 genre by its number alone.
    bool number = false;
    const int index = text.Genre.toInt(&number);
    if (number && index >= 0 && index < kGenreCount && text.Genre[0].isDigit())
      text.Genre = QString::fromLatin1(GenreNames[index].data(),
                                       static_cast<qsizetype>(GenreNames[index].size()));
  }
  const int comment = ChosenComment(tag);
  if (comment >= 0) {
    const auto parts = tags::SplitComment(*FrameContent(tag.Frames[comment], tag.Version));
    if (parts) text.Comment = Trimmed(JoinedStrings(parts->Encoding, parts->Text));
  }
  return text;
}

bool LoadID3v2Text(const std::string& path, TID3v2Text& text) {
  TFrameTag tag;
  const bool ok = tags::ReadFrameTag(path, tag);
  text = ok ? TextOf(tag) : TID3v2Text();
  return ok;
}

bool CodePageCanEncode(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x80 || IsEscape(c)) continue;
    qsizetype length = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      length = 2;
    const QString one = text.mid(i, length);
    if (DecodeText(EncodeText(one)) != one) return false;
    i += length - 1;
  }
  return true;
}

TBuiltTag BuildID3v2Tag(const TID3v2Text& values, const TUnicodeOptions& options, TFrameTag old) {
  const bool unicode = options.WriteUnicode;
  std::vector<TFrame> frames;
  auto add = [&](std::string_view id, const TEncodedValue& value) {
    if (!value.Bytes.empty()) frames.push_back(TextFrame(id, value));
  };
  add("TIT2", Encoded(values.Title, unicode));
  add("TPE1", Encoded(values.Artist, unicode));
  add("TALB", Encoded(values.Album, unicode));
  if (values.Track > 0) add("TRCK", {tags::kLatin1, std::to_string(values.Track)});
  add("TYER", Encoded(values.Year, unicode));
  add("TCON", Encoded(values.Genre, unicode));
  const TEncodedValue comment = Encoded(values.Comment, unicode);
  if (!comment.Bytes.empty()) {
    TFrame frame;
    frame.Id = "COMM";
    frame.Data.push_back(static_cast<char>(comment.Encoding));
    frame.Data += "eng";
    // An empty description, then the text.
    frame.Data +=
        comment.Encoding == tags::kUtf16 ? std::string("\xFF\xFE\0\0", 4) : std::string(1, '\0');
    frame.Data += comment.Bytes;
    frames.push_back(std::move(frame));
  }

  TBuiltTag built;
  if (options.KeepOtherFrames && (old.Version == 3 || old.Version == 4)) {
    const int comment = ChosenComment(old);
    for (int i = 0; i < static_cast<int>(old.Frames.size()); ++i) {
      TFrame& frame = old.Frames[i];
      if (i == comment || IsValueFrame(frame, old.Version)) continue;
      if (old.Version == 3) {
        frames.push_back(std::move(frame));
      } else if (std::optional<TFrame> converted = tags::FrameFor23(frame)) {
        frames.push_back(std::move(*converted));
      } else {
        ++built.Dropped;
      }
    }
  }
  built.Bytes = tags::BuildTag23(frames);
  return built;
}

TWriteOutcome WriteID3v2Text(const std::string& path, const TID3v2Text& values,
                             const TUnicodeOptions& options) {
  TWriteOutcome outcome;
  try {
    // The other frames come from the tag the rebuild replaces, read under the writers' lock.
    TBuiltTag built;
    const auto edit = [&](std::string_view oldTag) {
      TFrameTag old;
      if (options.KeepOtherFrames) tags::ParseFrameTag(oldTag, old);
      built = BuildID3v2Tag(values, options, std::move(old));
      return TTagChange{built.Bytes.has_value(), built.Bytes};
    };
    outcome.Ok = RebuildFileWith(path, edit) == TRebuild::Done;
    outcome.Dropped = outcome.Ok ? built.Dropped : 0;
  } catch (...) {
    outcome.Ok = false;
  }
  return outcome;
}

TTagView ViewOf(const TID3v2Text& text) {
  TTagView view;
  view.Exists = text.Exists;
  view.ExistsText = text.Exists ? QStringLiteral("Yes") : QStringLiteral("No");
  if (!text.Exists) return view;
  view.VersionText = QStringLiteral("2.") + QString::number(text.Version);
  view.SizeText = QString::number(text.Size) + QStringLiteral(" bytes");
  TTagFields& f = view.Fields;
  f.Title = text.Title;
  f.Artist = text.Artist;
  f.Album = text.Album;
  if (text.Track > 0) f.Track = QString::number(text.Track);
  f.Year = text.Year;
  f.Comment = text.Comment;
  f.GenrePosition = GenrePositionOfName(EncodeText(text.Genre));
  return view;
}

TID3v2Text TextOfFields(const TTagFields& fields) {
  TID3v2Text text;
  text.Title = fields.Title;
  text.Artist = fields.Artist;
  text.Album = fields.Album;
  text.Track = TrackOfText(fields.Track);
  text.Year = fields.Year;
  text.Genre = DecodeText(GenreNameOfPosition(fields.GenrePosition));
  text.Comment = fields.Comment;
  return text;
}

TID3v2Text BatchText(const QByteArray& path, const TBatchChoices& choices, const QString& titleLine,
                     int position, bool readUnicode) {
  TID3v2Text text;
  if (IsUsablePath(path)) {
    if (readUnicode) {
      if (!LoadID3v2Text(TagPath(path), text) || !text.Exists) text = TID3v2Text();
    } else {
      // The tag class's values (2.3 only), as the panel shows them.
      TID3v2 tag;
      if (tag.LoadFromFile(TagPath(path)) && tag.Exists()) {
        text.Title = DecodeText(tag.Title());
        text.Artist = DecodeText(tag.Artist());
        text.Album = DecodeText(tag.Album());
        text.Track = tag.Track();
        text.Year = DecodeText(tag.Year());
        text.Genre = DecodeText(tag.Genre());
        text.Comment = DecodeText(tag.Comment());
      }
    }
  }
  if (choices.TitleFromList) text.Title = titleLine;
  if (choices.Artist) text.Artist = *choices.Artist;
  if (choices.Album) text.Album = *choices.Album;
  if (choices.NumberTracks)
    text.Track = BatchTrack(position);
  else if (choices.Track)
    text.Track = *choices.Track;
  if (choices.Year) text.Year = *choices.Year;
  if (choices.GenrePosition) text.Genre = DecodeText(GenreNameOfPosition(*choices.GenrePosition));
  if (choices.Comment) text.Comment = *choices.Comment;
  return text;
}

bool WriteBatchID3v1(const QByteArray& path, const TBatchChoices& choices, const QString& titleLine,
                     int position) {
  if (!IsUsablePath(path) || !FileExists(path)) return false;
  TID3v1 tag;
  SetBatchValues(tag, path, choices, titleLine, position);
  return tag.WriteToFile(TagPath(path));
}

TWriteOutcome WriteBatchID3v2(const QByteArray& path, const TBatchChoices& choices,
                              const QString& titleLine, int position,
                              const TUnicodeOptions& options) {
  if (!IsUsablePath(path) || !FileExists(path)) return {};
  if (options.ReadUnicode || options.WriteUnicode || options.KeepOtherFrames)
    return WriteID3v2Text(
        TagPath(path), BatchText(path, choices, titleLine, position, options.ReadUnicode), options);
  TID3v2 tag;
  SetBatchValues(tag, path, choices, titleLine, position);
  return {tag.WriteToFile(TagPath(path)), 0};
}

}  // namespace melotag::editor
