// The frames of an ID3v2.3 or ID3v2.4 tag with their data, and a version 2.3 tag built from a
// list of frames. Bad input is read as far as it is sound: a damaged tag gives the frames before
// the damage, never an overrun.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melotag::tags {

struct TFrame {
  std::string Id;      // four characters
  uint16_t Flags = 0;  // the two flag bytes in the layout of the tag's version
  // The data as the frame holds it, unsynchronisation undone (of the whole tag in 2.3, of the
  // frame in 2.4, whose unsynchronisation flag is then cleared); a group byte, an encryption
  // method and a data-length indicator stay in front.
  std::string Data;
  bool Truncated = false;  // the frame ran past the tag: Data holds what the tag had
};

struct TFrameTag {
  bool Exists = false;  // the file starts with "ID3"
  uint8_t Version = 0;  // 2, 3, 4 ...
  uint8_t Flags = 0;
  int64_t Size = 0;  // header, declared size and footer, cut at the end of the file
  // Header and declared size as the tag class gives them: 0 when that is more than the file
  // holds.
  int64_t TagSize = 0;
  // In the tag's order. A 2.2 tag's frames come as the 2.3 frames they stand for (TT2 as TIT2,
  // PIC as APIC with a MIME type ...); always empty for other versions than 2.2, 2.3 and 2.4.
  std::vector<TFrame> Frames;
  // Frames of a 2.2 tag that 2.3 has no frame for: they are not in Frames.
  int Unconverted = 0;
  // Something was not sound: a frame ran past the tag, a frame header was not one, an
  // extended header did not fit, a 2.4 size was not synchsafe.
  bool Damaged = false;
  // Why a tag built from Frames would lose what the tag holds: a frame ran past the tag ("the
  // frame APIC runs past the end of the ID3v2 tag"), or the frame walk stopped (at a zero byte or
  // at bytes that are no frame header) before a frame that follows later in the tag. Empty when
  // the frames were read whole; leftover bytes behind them with no frame behind those are fine.
  std::string Unreadable;
  // Where the frames read end, from the tag's start (header included): where the padding or
  // whatever stopped the walk begins.
  int64_t FramesEnd = 0;
};

// Frame flags.
inline constexpr uint16_t kFlag23Compressed = 0x0080, kFlag23Encrypted = 0x0040,
                          kFlag23Grouped = 0x0020;
inline constexpr uint16_t kFlag24Grouped = 0x0040, kFlag24Compressed = 0x0008,
                          kFlag24Encrypted = 0x0004, kFlag24Unsynchronised = 0x0002,
                          kFlag24DataLength = 0x0001;

// Reads the tag at the start of the file. False only when the first 10 bytes cannot be read; a
// file without a tag gives true with Exists false.
bool ReadFrameTag(const std::string& path, TFrameTag& tag);
// The same from the bytes of a file's start (the whole tag, or as much of it as there is).
void ParseFrameTag(std::string_view bytes, TFrameTag& tag);

// What the frame holds behind its group byte, encryption method and data-length indicator; none
// for a compressed or encrypted frame, whose content cannot be read here.
std::optional<std::string_view> FrameContent(const TFrame& frame, uint8_t version);

// The text encoding byte values.
enum TTextEncoding : uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16BE = 2, kUtf8 = 3 };
// The byte count of a string terminator in an encoding.
inline size_t TerminatorSize(uint8_t encoding) {
  return encoding == kUtf16 || encoding == kUtf16BE ? 2 : 1;
}
// The length of the string at the start of bytes, up to its terminator (or the end); a UTF-16
// terminator is two zero bytes at an even offset.
size_t StringLength(std::string_view bytes, uint8_t encoding);

// The parts of a COMM or USLT content: encoding, language, description and text bytes.
struct TCommentParts {
  uint8_t Encoding = 0;
  std::string Language;
  std::string_view Description;
  std::string_view Text;
};
std::optional<TCommentParts> SplitComment(std::string_view content);

// UTF-8 to UTF-16 little-endian with a byte-order mark; an invalid sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view utf8);

// The version 2.3 frame for a 2.4 frame whose content means the same in 2.3, with 2.3 flags
// and its UTF-8 and UTF-16BE text as UTF-16 with a byte-order mark; none for a frame 2.3 has no
// place for (TDRC, RVA2, a compressed or encrypted frame ...).
std::optional<TFrame> FrameFor23(const TFrame& frame24);

// A version 2.3 tag of the frames (their flags in the 2.3 layout), in order, without padding;
// none when they are too large for a tag.
std::optional<std::string> BuildTag23(const std::vector<TFrame>& frames);
// The same for version 2.4 (flags in the 2.4 layout, sizes synchsafe) or 2.3 by `version`.
std::optional<std::string> BuildTag(const std::vector<TFrame>& frames, uint8_t version);

}  // namespace melotag::tags
