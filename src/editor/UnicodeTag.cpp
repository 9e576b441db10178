#include "UnicodeTag.h"

#include <QStringList>

#include <algorithm>
#include <array>

#include <zlib.h>

#include "CodePage.h"
#include "FilePath.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "TagError.h"

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

// The strings of encoded bytes, separated by terminators; a trailing terminator ends the last,
// and empty strings behind the last one are none (zeros that a writer left behind the text).
// Appended one by one: a frame of many terminators costs a character each, not a string each.
QString JoinedStrings(uint8_t encoding, std::string_view bytes) {
  QString joined;
  qsizetype separators = 0;  // owed before the next string that is not empty
  for (bool first = true; !bytes.empty(); first = false) {
    const size_t length = tags::StringLength(bytes, encoding);
    if (!first) ++separators;
    if (length > 0) {
      joined += QString(separators, QLatin1Char('/'));
      separators = 0;
      joined += DecodeFrameString(encoding, bytes.substr(0, length));
    }
    bytes.remove_prefix(std::min(bytes.size(), length + tags::TerminatorSize(encoding)));
  }
  return joined;
}

// The genre a TCON text names: "(17)Rock" the text after its references, "(17)" alone or a
// bare "17" the ID3v1 genre of that number, "(RX)" and "(CR)" Remix and Cover.
QString GenreOfText(const QString& text) {
  QString genre = Trimmed(text);
  if (genre.startsWith(QLatin1Char('('))) {
    const qsizetype close = genre.lastIndexOf(QLatin1Char(')'));
    if (close > 0) {
      const QString rest = Trimmed(genre.mid(close + 1));
      if (!rest.isEmpty()) return rest;
      const qsizetype open = genre.lastIndexOf(QLatin1Char('('), close);
      genre = genre.mid(open + 1, close - open - 1);
      if (genre == QLatin1String("RX")) return QStringLiteral("Remix");
      if (genre == QLatin1String("CR")) return QStringLiteral("Cover");
    }
  }
  bool number = false;
  const int index = genre.toInt(&number);
  if (number && index >= 0 && index < tags::kGenreCount && !genre.isEmpty() && genre[0].isDigit())
    return QString::fromLatin1(tags::GenreNames[index].data(),
                               static_cast<qsizetype>(tags::GenreNames[index].size()));
  return genre;
}

// The last frame of the ID, or -1.
int LastFrame(const TFrameTag& tag, std::string_view id) {
  for (int i = static_cast<int>(tag.Frames.size()) - 1; i >= 0; --i)
    if (tag.Frames[i].Id == id) return i;
  return -1;
}

QString FrameText(const TFrameTag& tag, const TFrameContents& contents, std::string_view id) {
  const int frame = LastFrame(tag, id);
  return frame >= 0 ? contents.TextOf(frame) : QString();
}

// A text frame that one of the seven values of the exact write stands for.
bool IsValueFrame(const TFrame& frame, uint8_t version) {
  for (const TFieldRow& row : FieldTable())
    if (row.Exact && row.Kind != TFieldKind::Described &&
        (frame.Id == row.Frame || (version == 4 && frame.Id == row.Frame24)))
      return true;
  return false;
}

// Frame data of a value: encoding 0 and code-page bytes, or 1 and UTF-16 with a byte-order mark
// when asked for and the code page cannot hold the text. Empty when the value is.
struct TEncodedValue {
  uint8_t Encoding = tags::kLatin1;
  std::string Bytes;
};

TEncodedValue Encoded(const QString& text, bool unicode) {
  TEncodedValue value;
  if (unicode) {
    const QString trimmed = TrimmedRight(text);
    if (!CodePageCanEncode(trimmed)) {
      value.Encoding = tags::kUtf16;
      if (!trimmed.isEmpty()) value.Bytes = EncodeFrameString(tags::kUtf16, trimmed);
      return value;
    }
  }
  value.Bytes = melotag::tags::TrimRight(EncodeText(text));
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

std::string EncodeFrameString(uint8_t encoding, const QString& text) {
  if (encoding == tags::kLatin1) return EncodeText(text);
  // An escape stands for a byte of no character, which Unicode cannot hold; the low half of a
  // surrogate pair in the same range is a character.
  QString clean = text;
  for (qsizetype i = 0; i < clean.size(); ++i)
    if (IsEscape(clean[i].unicode()) && !(i > 0 && clean[i - 1].isHighSurrogate()))
      clean[i] = QChar(kReplacement);
  if (encoding == tags::kUtf8) return clean.toUtf8().toStdString();
  const bool bigEndian = encoding == tags::kUtf16BE;
  std::string out = bigEndian ? std::string() : std::string("\xFF\xFE", 2);
  out.reserve(out.size() + static_cast<size_t>(clean.size()) * 2);
  for (const QChar c : clean) {
    const char16_t unit = c.unicode();
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
  }
  return out;
}

namespace {

// A compressed frame's zlib stream and the size it declares it inflates to.
struct TPacked {
  std::string_view Stream;
  uint32_t Size = 0;
};

// None for a frame that is not compressed, an encrypted one, and one whose declared size its
// stream cannot inflate to (zlib makes 1,032 bytes of one at most).
std::optional<TPacked> PackedOf(const TFrame& frame, uint8_t version) {
  // zlib data behind its decompressed size (2.3) or its data-length indicator (2.4), after a
  // group byte.
  const bool v4 = version == 4;
  if (frame.Flags & (v4 ? tags::kFlag24Encrypted : tags::kFlag23Encrypted)) return std::nullopt;
  if (!(frame.Flags & (v4 ? tags::kFlag24Compressed : tags::kFlag23Compressed)))
    return std::nullopt;
  std::string_view data = frame.Data;
  if (frame.Flags & (v4 ? tags::kFlag24Grouped : tags::kFlag23Grouped)) data.remove_prefix(1);
  if (data.size() < 4 || (v4 && !(frame.Flags & tags::kFlag24DataLength))) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const uint32_t size =
      v4 ? uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
               (p[3] & 0x7F)
         : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  data.remove_prefix(4);
  if (size > data.size() * 1032 + 64) return std::nullopt;
  return TPacked{data, size};
}

// The stream inflated; none unless it gives exactly its declared size.
std::optional<std::string> Inflated(const TPacked& packed) {
  std::string plain(packed.Size, '\0');
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.Stream.data()));
  stream.avail_in = static_cast<uInt>(packed.Stream.size());
  stream.next_out = reinterpret_cast<Bytef*>(plain.data());
  stream.avail_out = static_cast<uInt>(plain.size());
  const int result = inflate(&stream, Z_FINISH);
  const bool whole = result == Z_STREAM_END && stream.total_out == packed.Size;
  inflateEnd(&stream);
  if (!whole) return std::nullopt;
  return plain;
}

}  // namespace

TFrameContents::TFrameContents(const TFrameTag& tag) : FTag(tag) {
  size_t total = 0;
  for (int i = 0; i < static_cast<int>(tag.Frames.size()); ++i) {
    const std::optional<TPacked> packed = PackedOf(tag.Frames[i], tag.Version);
    if (!packed) continue;
    if (packed->Size > kMaxInflatedFrame || packed->Size > kMaxInflatedTag - total)
      FTooLarge.push_back(i);
    else
      total += packed->Size;
  }
}

std::optional<std::string> TFrameContents::Of(int index) const {
  const TFrame& frame = FTag.Frames[index];
  if (const std::optional<std::string_view> content = FrameContent(frame, FTag.Version))
    return std::string(*content);
  if (IsTooLarge(index)) return std::nullopt;
  const std::optional<TPacked> packed = PackedOf(frame, FTag.Version);
  return packed ? Inflated(*packed) : std::nullopt;
}

QString TFrameContents::TextOf(int index) const {
  const std::optional<std::string> content = Of(index);
  return content ? Trimmed(TextOfTextFrame(*content)) : QString();
}

bool TFrameContents::IsTooLarge(int index) const {
  return std::binary_search(FTooLarge.begin(), FTooLarge.end(), index);
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
  return ChosenComment(tag, TFrameContents(tag));
}

int ChosenComment(const TFrameTag& tag, const TFrameContents& contents, std::string_view id) {
  int last = -1, plain = -1;
  for (int i = 0; i < static_cast<int>(tag.Frames.size()); ++i) {
    if (tag.Frames[i].Id != id) continue;
    const std::optional<std::string> content = contents.Of(i);
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
  if (tag.Version < 2 || tag.Version > 4) return text;
  const TFrameContents contents(tag);
  for (const int index : contents.TooLarge())
    text.TooLarge << QString::fromLatin1(tag.Frames[index].Id.data(),
                                         static_cast<qsizetype>(tag.Frames[index].Id.size()));
  const auto frameText = [&](std::string_view id) { return FrameText(tag, contents, id); };
  for (const TFieldRow& row : FieldTable()) {
    QString& value = text.Fields[row.Field].emplace();
    switch (row.Kind) {
      case TFieldKind::Text:
        value = frameText(row.Frame);
        break;
      case TFieldKind::Number:
        value = NumberPairText(ReadNumberPair(frameText(row.Frame)));
        break;
      case TFieldKind::Year:
        value = frameText(row.Frame);
        if (tag.Version == 4 && LastFrame(tag, row.Frame24) >= 0) value = frameText(row.Frame24);
        break;
      case TFieldKind::Genre:
        value = GenreOfText(frameText(row.Frame));
        break;
      case TFieldKind::Described: {
        const int chosen = ChosenComment(tag, contents, row.Frame);
        if (chosen < 0) break;
        const std::optional<std::string> content = contents.Of(chosen);
        const auto parts = tags::SplitComment(*content);
        if (parts) value = Trimmed(JoinedStrings(parts->Encoding, parts->Text));
        break;
      }
    }
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

std::optional<std::string> BuildID3v2Tag(const TID3v2Text& values, const TUnicodeOptions& options) {
  const bool unicode = options.WriteUnicode;
  std::vector<TFrame> frames;
  auto add = [&](std::string_view id, const TEncodedValue& value) {
    if (!value.Bytes.empty()) frames.push_back(TextFrame(id, value));
  };
  using enum TField;
  const TFieldValues& v = values.Fields;
  add("TIT2", Encoded(v.Text(Title), unicode));
  add("TPE1", Encoded(v.Text(Artist), unicode));
  add("TALB", Encoded(v.Text(Album), unicode));
  if (const uint8_t track = ExactTrackOf(v.Text(Track)); track > 0)
    add("TRCK", {tags::kLatin1, std::to_string(track)});
  add("TYER", Encoded(v.Text(Year), unicode));
  add("TCON", Encoded(v.Text(Genre), unicode));
  const TEncodedValue comment = Encoded(v.Text(Comment), unicode);
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

  return tags::BuildTag23(frames);
}

TTagView ViewOf(const TID3v2Text& text) {
  TTagView view;
  view.Exists = text.Exists;
  view.ExistsText = text.Exists ? QStringLiteral("Yes") : QStringLiteral("No");
  if (!text.Exists) return view;
  view.VersionText = QStringLiteral("2.") + QString::number(text.Version);
  view.SizeText = QString::number(text.Size) + QStringLiteral(" bytes");
  view.Fields = text.Fields;
  for (const TFieldRow& row : FieldTable())
    if (!view.Fields.Has(row.Field)) view.Fields[row.Field] = QString();
  return view;
}

}  // namespace melotag::editor
