#include "ID3v2Frames.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "TagError.h"
#include "detail/File.h"

namespace melotag::tags {

namespace {

constexpr size_t kHeaderSize = 10;
constexpr uint32_t kLargestTagSize = 0x0FFFFFFF;  // 28 bits in four 7-bit bytes
constexpr uint8_t kTagUnsynchronised = 0x80, kTagExtended = 0x40, kTagFooter = 0x10,
                  kTag22Compressed = 0x40;

uint32_t Plain32(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

uint32_t SyncSafe32(const unsigned char* p) {
  return uint32_t{p[0] & 0x7Fu} << 21 | uint32_t{p[1] & 0x7Fu} << 14 | uint32_t{p[2] & 0x7Fu} << 7 |
         (p[3] & 0x7Fu);
}

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

void AppendPlain32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// "FF 00" back to "FF".
std::string Resynchronise(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(data[i]);
    if (data[i] == '\xFF' && i + 1 < data.size() && data[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsIdChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsFrameId(std::string_view body, size_t at) {
  if (at + 4 > body.size()) return false;
  return std::all_of(body.begin() + at, body.begin() + at + 4, IsIdChar);
}

// Where a frame may end: the end of the frames, padding, or the next frame header.
bool IsFrameEnd(std::string_view body, uint64_t at) {
  if (at == body.size()) return true;
  if (at > body.size()) return false;
  return body[at] == '\0' || (at + kHeaderSize <= body.size() && IsFrameId(body, at));
}

// The data size of a 2.4 frame at `at`: synchsafe as the version says, or, as some writers
// stored it, a plain number when only that one leads to the end or to the next frame.
uint32_t Size24(std::string_view body, size_t at, bool& damaged) {
  const unsigned char* p = Bytes(body) + at + 4;
  const uint32_t plain = Plain32(p);
  const bool synchSafe = ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0;
  if (!synchSafe) {
    damaged = true;
    return plain;
  }
  const uint32_t safe = SyncSafe32(p);
  if (safe == plain || IsFrameEnd(body, uint64_t{at} + kHeaderSize + safe)) return safe;
  if (IsFrameEnd(body, uint64_t{at} + kHeaderSize + plain)) {
    damaged = true;
    return plain;
  }
  return safe;
}

// A frame header at `at` whose frame ends inside the body where a frame may end.
bool IsFrameAt(std::string_view body, size_t at, uint8_t version) {
  if (version == 2) {
    if (at + 6 > body.size() || !std::all_of(body.begin() + at, body.begin() + at + 3, IsIdChar))
      return false;
    const unsigned char* p = Bytes(body) + at + 3;
    const uint64_t end = at + 6 + (uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
    return end == body.size() ||
           (end < body.size() &&
            (body[end] == '\0' || (end + 6 <= body.size() && IsIdChar(body[end]) &&
                                   IsIdChar(body[end + 1]) && IsIdChar(body[end + 2]))));
  }
  if (at + kHeaderSize > body.size() || !IsFrameId(body, at)) return false;
  bool ignored = false;
  const uint32_t size = version == 4 ? Size24(body, at, ignored) : Plain32(Bytes(body) + at + 4);
  return IsFrameEnd(body, uint64_t{at} + kHeaderSize + size);
}

// The frame walk stopped at `at` (padding, or bytes that are no frame header): where the frames
// end, and the reason the tag is not read whole when a frame follows later in it. Leftover bytes
// with no frame behind them are not such a reason.
void NoteStop(std::string_view body, size_t at, uint8_t version, TFrameTag& tag) {
  tag.FramesEnd = static_cast<int64_t>(std::min(at, body.size()));
  const size_t from = body.find_first_not_of('\0', at);
  if (from == std::string_view::npos) return;
  for (size_t later = std::max(from, at + 1); later < body.size(); ++later) {
    if (!IsFrameAt(body, later, version)) continue;
    tag.Unreadable = "the frames of the ID3v2 tag stop at byte " + GroupedNumber(at) +
                     " of them, before a frame " +
                     std::string(body.substr(later, version == 2 ? 3 : 4)) + " at byte " +
                     GroupedNumber(later);
    return;
  }
}

// A frame runs past the end of the tag.
void NoteTruncated(std::string_view body, std::string_view id, TFrameTag& tag) {
  tag.FramesEnd = static_cast<int64_t>(body.size());
  tag.Unreadable = "the frame " + std::string(id) + " runs past the end of the ID3v2 tag";
}

void ParseFrames(std::string_view body, uint8_t version, bool unsynchronised, TFrameTag& tag) {
  size_t at = 0;
  while (at + kHeaderSize <= body.size()) {
    if (body[at] == '\0') return NoteStop(body, at, version, tag);  // padding
    if (!IsFrameId(body, at)) {
      tag.Damaged = true;
      return NoteStop(body, at, version, tag);
    }
    const unsigned char* header = Bytes(body) + at;
    const uint32_t size = version == 4 ? Size24(body, at, tag.Damaged) : Plain32(header + 4);
    TFrame frame;
    frame.Id.assign(body.data() + at, 4);
    frame.Flags = static_cast<uint16_t>(header[8] << 8 | header[9]);
    const size_t dataAt = at + kHeaderSize;
    const size_t available = body.size() - dataAt;
    frame.Truncated = size > available;
    std::string_view data = body.substr(dataAt, std::min<size_t>(size, available));
    if (version == 4 && (unsynchronised || (frame.Flags & kFlag24Unsynchronised))) {
      frame.Data = Resynchronise(data);
      frame.Flags &= ~kFlag24Unsynchronised;
    } else {
      frame.Data.assign(data);
    }
    tag.Frames.push_back(std::move(frame));
    if (tag.Frames.back().Truncated) {
      tag.Damaged = true;
      return NoteTruncated(body, tag.Frames.back().Id, tag);
    }
    at = dataAt + size;
  }
  tag.FramesEnd = static_cast<int64_t>(std::min(at, body.size()));
  // Fewer than 10 bytes left: padding, or the remains of something that is no frame.
  if (at < body.size() && std::any_of(body.begin() + at, body.end(), [](char c) { return c; }))
    tag.Damaged = true;
}

// The 2.3 frame ID of a 2.2 frame ID, iTunes' own ones included; empty for one that 2.3 has no
// frame for.
std::string_view Id23Of22(std::string_view id) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 73> kIds = {{
      {"BUF", "RBUF"},
      {"CNT", "PCNT"},
      {"COM", "COMM"},
      {"CRA", "AENC"},
      {"ETC", "ETCO"},
      {"EQU", "EQUA"},
      {"GEO", "GEOB"},
      {"IPL", "IPLS"},
      {"MCI", "MCDI"},
      {"MLL", "MLLT"},
      {"PIC", "APIC"},
      {"POP", "POPM"},
      {"REV", "RVRB"},
      {"RVA", "RVAD"},
      {"SLT", "SYLT"},
      {"STC", "SYTC"},
      {"TAL", "TALB"},
      {"TBP", "TBPM"},
      {"TCM", "TCOM"},
      {"TCO", "TCON"},
      {"TCR", "TCOP"},
      {"TDA", "TDAT"},
      {"TDY", "TDLY"},
      {"TEN", "TENC"},
      {"TFT", "TFLT"},
      {"TIM", "TIME"},
      {"TKE", "TKEY"},
      {"TLA", "TLAN"},
      {"TLE", "TLEN"},
      {"TMT", "TMED"},
      {"TOA", "TOPE"},
      {"TOF", "TOFN"},
      {"TOL", "TOLY"},
      {"TOR", "TORY"},
      {"TOT", "TOAL"},
      {"TP1", "TPE1"},
      {"TP2", "TPE2"},
      {"TP3", "TPE3"},
      {"TP4", "TPE4"},
      {"TPA", "TPOS"},
      {"TPB", "TPUB"},
      {"TRC", "TSRC"},
      {"TRD", "TRDA"},
      {"TRK", "TRCK"},
      {"TSI", "TSIZ"},
      {"TSS", "TSSE"},
      {"TT1", "TIT1"},
      {"TT2", "TIT2"},
      {"TT3", "TIT3"},
      {"TXT", "TEXT"},
      {"TXX", "TXXX"},
      {"TYE", "TYER"},
      {"UFI", "UFID"},
      {"ULT", "USLT"},
      {"WAF", "WOAF"},
      {"WAR", "WOAR"},
      {"WAS", "WOAS"},
      {"WCM", "WCOM"},
      {"WCP", "WCOP"},
      {"WPB", "WPUB"},
      {"WXX", "WXXX"},
      // iTunes
      {"TCP", "TCMP"},
      {"TST", "TSOT"},
      {"TSA", "TSOA"},
      {"TSP", "TSOP"},
      {"TS2", "TSO2"},
      {"TSC", "TSOC"},
      {"PCS", "PCST"},
      {"TDS", "TDES"},
      {"TID", "TGID"},
      {"WFD", "WFED"},
      {"MVN", "MVNM"},
      {"MVI", "MVIN"},
  }};
  for (const auto& [old, id23] : kIds)
    if (old == id) return id23;
  return {};
}

// A picture's MIME type for the three letters 2.2 gives its format.
std::string MimeOfFormat(std::string_view format) {
  std::string lower;
  for (char c : format) {
    if (c == '\0') break;
    lower.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
  }
  if (lower == "jpg") lower = "jpeg";
  return "image/" + lower;
}

// The frames of a 2.2 tag body as 2.3 frames; a frame 2.3 has no place for is counted.
void ParseFrames22(std::string_view body, TFrameTag& tag) {
  constexpr size_t kHeader22 = 6;
  size_t at = 0;
  while (at + kHeader22 <= body.size()) {
    if (body[at] == '\0') return NoteStop(body, at, 2, tag);  // padding
    if (!std::all_of(body.begin() + at, body.begin() + at + 3, IsIdChar)) {
      tag.Damaged = true;
      return NoteStop(body, at, 2, tag);
    }
    const unsigned char* header = Bytes(body) + at;
    const uint32_t size = uint32_t{header[3]} << 16 | uint32_t{header[4]} << 8 | header[5];
    const size_t dataAt = at + kHeader22;
    const size_t available = body.size() - dataAt;
    std::string_view data = body.substr(dataAt, std::min<size_t>(size, available));
    const std::string_view id = Id23Of22(body.substr(at, 3));
    if (id.empty()) {
      ++tag.Unconverted;
    } else {
      TFrame frame;
      frame.Id = id;
      frame.Truncated = size > available;
      if (id == "APIC" && data.size() >= 4) {
        // Encoding, a three-letter format for the MIME type, then type, description and data
        // as APIC has them.
        frame.Data.assign(data.substr(0, 1));
        frame.Data += MimeOfFormat(data.substr(1, 3));
        frame.Data.push_back('\0');
        frame.Data.append(data.substr(4));
      } else {
        frame.Data.assign(data);
      }
      tag.Frames.push_back(std::move(frame));
    }
    if (size > available) {
      tag.Damaged = true;
      return NoteTruncated(body, body.substr(at, 3), tag);
    }
    at = dataAt + size;
  }
  tag.FramesEnd = static_cast<int64_t>(std::min(at, body.size()));
  if (at < body.size() && std::any_of(body.begin() + at, body.end(), [](char c) { return c; }))
    tag.Damaged = true;
}

// Bytes of UTF-16 little-endian for one code point.
void AppendUtf16LE(std::string& out, char32_t c) {
  auto unit = [&out](char32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  if (c >= 0x10000) {
    c -= 0x10000;
    unit(0xD800 + (c >> 10));
    unit(0xDC00 + (c & 0x3FF));
  } else {
    unit(c);
  }
}

// A UTF-16BE string to UTF-16LE with a byte-order mark; a leading mark of its own decides.
std::string Utf16BEToUtf16(std::string_view be) {
  bool little = false;
  if (be.size() >= 2 && Bytes(be)[0] == 0xFF && Bytes(be)[1] == 0xFE) {
    little = true;
    be.remove_prefix(2);
  } else if (be.size() >= 2 && Bytes(be)[0] == 0xFE && Bytes(be)[1] == 0xFF) {
    be.remove_prefix(2);
  }
  std::string out("\xFF\xFE", 2);
  for (size_t i = 0; i + 1 < be.size(); i += 2) {
    out.push_back(little ? be[i] : be[i + 1]);
    out.push_back(little ? be[i + 1] : be[i]);
  }
  if (be.size() % 2) AppendUtf16LE(out, 0xFFFD);
  return out;
}

// The layout of a frame's content: 'e' the encoding byte, 'l' a Latin-1 string with its
// terminator, a digit that many bytes, 's' an encoded string with its terminator, 'S' encoded
// strings to the end, 'b' binary data to the end.
std::optional<std::string_view> LayoutOf(std::string_view id) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kLayouts = {{
      {"TXXX", "esS"},
      {"COMM", "e3sS"},
      {"USLT", "e3sS"},
      {"APIC", "el1sb"},
      {"GEOB", "elssb"},
      {"WXXX", "esb"},
      {"USER", "e3S"},
      {"OWNE", "el8S"},
      // Carried only when their text needs no conversion.
      {"SYLT", "e"},
      {"COMR", "e"},
  }};
  for (const auto& [name, layout] : kLayouts)
    if (name == id) return layout;
  // Text frames 2.4 shares with 2.3 (and the common ones no version names).
  static constexpr std::array<std::string_view, 18> kOnly24 = {
      "TDEN", "TDOR", "TDRC", "TDRL", "TDTG", "TIPL", "TMCL", "TMOO", "TPRO",
      "TSOA", "TSOP", "TSOT", "TSST", "ASPI", "EQU2", "RVA2", "SEEK", "SIGN"};
  if (std::find(kOnly24.begin(), kOnly24.end(), id) != kOnly24.end()) return std::nullopt;
  if (id[0] == 'T') return "eS";
  // URL frames and frames without text.
  static constexpr std::array<std::string_view, 22> kBinary = {
      "PRIV", "UFID", "POPM", "PCNT", "MCDI", "AENC", "ENCR", "GRID", "ETCO", "MLLT", "SYTC",
      "RVRB", "POSS", "RBUF", "WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS", "WPAY", "WPUB"};
  if (std::find(kBinary.begin(), kBinary.end(), id) != kBinary.end()) return "b";
  return std::nullopt;
}

// The content with its encoded strings in UTF-16 with a byte-order mark; none when the layout
// does not fit or cannot be converted.
std::optional<std::string> ConvertText(std::string_view content, std::string_view layout) {
  if (layout == "b") return std::string(content);
  if (content.empty() || layout[0] != 'e') return std::nullopt;
  const uint8_t encoding = static_cast<uint8_t>(content[0]);
  if (encoding == kLatin1 || encoding == kUtf16) return std::string(content);
  if (encoding != kUtf8 && encoding != kUtf16BE) return std::nullopt;
  const size_t terminator = TerminatorSize(encoding);
  auto convert = [encoding](std::string_view s) {
    return encoding == kUtf8 ? Utf8ToUtf16(s) : Utf16BEToUtf16(s);
  };
  std::string out(1, static_cast<char>(kUtf16));
  std::string_view rest = content.substr(1);
  for (char part : layout.substr(1)) {
    if (part >= '1' && part <= '9') {
      const size_t count = static_cast<size_t>(part - '0');
      if (rest.size() < count) return std::nullopt;
      out.append(rest.substr(0, count));
      rest.remove_prefix(count);
    } else if (part == 'l') {
      const size_t length = rest.find('\0');
      if (length == std::string_view::npos) return std::nullopt;
      out.append(rest.substr(0, length + 1));
      rest.remove_prefix(length + 1);
    } else if (part == 's' || part == 'S') {
      // 's' is one string, 'S' as many as there are; each keeps its terminator if it had one.
      do {
        const size_t length = StringLength(rest, encoding);
        out += convert(rest.substr(0, length));
        const bool terminated = length < rest.size();
        if (terminated) out.append(2, '\0');
        rest.remove_prefix(std::min(rest.size(), length + terminator));
        if (part == 's' || !terminated) break;
      } while (!rest.empty());
    } else if (part == 'b') {
      out.append(rest);
      rest = {};
    }
  }
  // Layouts that end in a fixed part hold more than is understood here (SYLT).
  if (!rest.empty()) return std::nullopt;
  return out;
}

}  // namespace

void ParseFrameTag(std::string_view bytes, TFrameTag& tag) {
  tag = TFrameTag();
  if (bytes.size() < kHeaderSize || bytes.substr(0, 3) != "ID3") return;
  const unsigned char* header = Bytes(bytes);
  tag.Exists = true;
  tag.Version = header[3];
  tag.Flags = header[5];
  // The size bytes are taken whole, as the tag class takes them, so both agree on where the
  // audio starts.
  uint64_t declared =
      uint64_t{header[6]} << 21 | uint64_t{header[7]} << 14 | uint64_t{header[8]} << 7 | header[9];
  const bool footer = tag.Version == 4 && (tag.Flags & kTagFooter);
  tag.Size = static_cast<int64_t>(
      std::min<uint64_t>(kHeaderSize + declared + (footer ? kHeaderSize : 0), bytes.size()));
  tag.TagSize = kHeaderSize + declared <= bytes.size() ? kHeaderSize + declared : 0;
  if (tag.Version < 2 || tag.Version > 4) return;
  std::string_view body =
      bytes.substr(kHeaderSize, std::min<uint64_t>(declared, bytes.size() - kHeaderSize));
  const std::string_view raw = body;
  std::string whole;
  if (tag.Version != 4 && (tag.Flags & kTagUnsynchronised)) {
    whole = Resynchronise(body);
    body = whole;
  }
  // The walk's end in the tag's own bytes: `at` of the (resynchronised) body.
  const auto framesEnd = [&](size_t at) {
    size_t rawAt = at;
    if (!whole.empty()) {
      rawAt = 0;
      for (size_t out = 0; out < at && rawAt < raw.size(); ++out)
        rawAt += raw[rawAt] == '\xFF' && rawAt + 1 < raw.size() && raw[rawAt + 1] == '\0' ? 2 : 1;
    }
    tag.FramesEnd = static_cast<int64_t>(kHeaderSize + rawAt);
  };
  if (tag.Version == 2) {
    // The compression this flag announced was never defined: nothing of such a tag is readable.
    if (tag.Flags & kTag22Compressed)
      tag.Damaged = true;
    else
      ParseFrames22(body, tag);
    framesEnd(static_cast<size_t>(tag.FramesEnd));
    return;
  }
  if (tag.Flags & kTagExtended) {
    if (body.size() < 4) {
      tag.Damaged = true;
      return;
    }
    // 2.3: the size leaves out its own four bytes; 2.4: synchsafe, all of it.
    const uint64_t extended =
        tag.Version == 3 ? uint64_t{Plain32(Bytes(body))} + 4 : SyncSafe32(Bytes(body));
    if (extended < 4 || extended > body.size()) {
      tag.Damaged = true;
      return;
    }
    body.remove_prefix(extended);
  }
  ParseFrames(body, tag.Version, tag.Version == 4 && (tag.Flags & kTagUnsynchronised), tag);
  framesEnd(static_cast<size_t>(tag.FramesEnd) + (whole.empty() ? raw.size() : whole.size()) -
            body.size());
}

bool ReadFrameTag(const std::string& path, TFrameTag& tag) {
  tag = TFrameTag();
  try {
    TFile file;
    char header[kHeaderSize];
    if (!file.Open(path) || !file.ReadExactly(0, header, kHeaderSize)) return false;
    if (std::memcmp(header, "ID3", 3) != 0) return true;
    const unsigned char* h = reinterpret_cast<const unsigned char*>(header);
    const uint64_t declared =
        uint64_t{h[6]} << 21 | uint64_t{h[7]} << 14 | uint64_t{h[8]} << 7 | h[9];
    // Header, body and a 2.4 footer, as far as the file holds them.
    const uint64_t total =
        std::min<uint64_t>(kHeaderSize * 2 + declared, static_cast<uint64_t>(file.Size()));
    std::string bytes(total, '\0');
    const int64_t got = file.ReadAt(0, bytes.data(), bytes.size());
    if (got < static_cast<int64_t>(kHeaderSize)) return false;
    bytes.resize(static_cast<size_t>(got));
    ParseFrameTag(bytes, tag);
    return true;
  } catch (...) {
    tag = TFrameTag();
    return FailedByException();
  }
}

std::optional<std::string_view> FrameContent(const TFrame& frame, uint8_t version) {
  std::string_view data = frame.Data;
  size_t skip = 0;
  if (version == 4) {
    if (frame.Flags & (kFlag24Compressed | kFlag24Encrypted)) return std::nullopt;
    if (frame.Flags & kFlag24Grouped) skip += 1;
    if (frame.Flags & kFlag24DataLength) skip += 4;
  } else {
    if (frame.Flags & (kFlag23Compressed | kFlag23Encrypted)) return std::nullopt;
    if (frame.Flags & kFlag23Grouped) skip += 1;
  }
  if (skip > data.size()) return std::nullopt;
  return data.substr(skip);
}

size_t StringLength(std::string_view bytes, uint8_t encoding) {
  if (TerminatorSize(encoding) == 1) return std::min(bytes.find('\0'), bytes.size());
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') return i;
  return bytes.size();
}

std::optional<TCommentParts> SplitComment(std::string_view content) {
  if (content.size() < 4) return std::nullopt;
  TCommentParts parts;
  parts.Encoding = static_cast<uint8_t>(content[0]);
  parts.Language.assign(content.substr(1, 3));
  std::string_view rest = content.substr(4);
  const size_t length = StringLength(rest, parts.Encoding);
  parts.Description = rest.substr(0, length);
  rest.remove_prefix(std::min(rest.size(), length + TerminatorSize(parts.Encoding)));
  parts.Text = rest;
  return parts;
}

std::string Utf8ToUtf16(std::string_view utf8) {
  std::string out("\xFF\xFE", 2);
  out.reserve(2 + utf8.size() * 2);
  const unsigned char* p = Bytes(utf8);
  const unsigned char* end = p + utf8.size();
  if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;  // a mark of its own
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      AppendUtf16LE(out, b);
      ++p;
      continue;
    }
    // The length and the range of the second byte, which rules out overlong forms, surrogates
    // and code points past U+10FFFF.
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) length = 2;
    if (b >= 0xE0 && b <= 0xEF) length = 3;
    if (b >= 0xF0 && b <= 0xF4) length = 4;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
    char32_t c = b & (0x7F >> length);
    int taken = 1;
    while (taken < length && p + taken < end) {
      const unsigned char next = p[taken];
      if (taken == 1 ? next < low || next > high : (next & 0xC0) != 0x80) break;
      c = c << 6 | (next & 0x3F);
      ++taken;
    }
    // An invalid sequence becomes one U+FFFD up to the byte that broke it.
    AppendUtf16LE(out, length > 0 && taken == length ? c : 0xFFFD);
    p += taken;
  }
  return out;
}

std::optional<TFrame> FrameFor23(const TFrame& frame24) {
  const std::optional<std::string_view> layout = LayoutOf(frame24.Id);
  const std::optional<std::string_view> content = FrameContent(frame24, 4);
  if (!layout || !content) return std::nullopt;
  std::optional<std::string> data = ConvertText(*content, *layout);
  if (!data) return std::nullopt;
  TFrame frame;
  frame.Id = frame24.Id;
  frame.Truncated = frame24.Truncated;
  // Status flags move one bit up; a group byte stays in front of the data.
  frame.Flags = static_cast<uint16_t>((frame24.Flags & 0x7000) << 1);
  if (frame24.Flags & kFlag24Grouped) {
    frame.Flags |= kFlag23Grouped;
    frame.Data.push_back(frame24.Data[0]);
  }
  frame.Data += *data;
  return frame;
}

std::optional<std::string> BuildTag(const std::vector<TFrame>& frames, uint8_t version) {
  uint64_t size = 0;
  for (const TFrame& frame : frames) size += kHeaderSize + frame.Data.size();
  if (size > kLargestTagSize) return std::nullopt;
  std::string tag("ID3", 3);
  tag.push_back(static_cast<char>(version == 4 ? 4 : 3));
  tag.append(2, '\0');  // revision, flags
  auto appendSynchsafe = [&tag](uint64_t value) {
    for (int shift = 21; shift >= 0; shift -= 7)
      tag.push_back(static_cast<char>((value >> shift) & 0x7F));
  };
  appendSynchsafe(size);
  tag.reserve(kHeaderSize + size);
  for (const TFrame& frame : frames) {
    std::string id = frame.Id;
    id.resize(4, ' ');
    tag += id;
    if (version == 4)
      appendSynchsafe(frame.Data.size());
    else
      AppendPlain32(tag, static_cast<uint32_t>(frame.Data.size()));
    tag.push_back(static_cast<char>(frame.Flags >> 8));
    tag.push_back(static_cast<char>(frame.Flags & 0xFF));
    tag += frame.Data;
  }
  return tag;
}

std::optional<std::string> BuildTag23(const std::vector<TFrame>& frames) {
  return BuildTag(frames, 3);
}

}  // namespace melotag::tags
