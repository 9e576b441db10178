// ID3v2 text beyond the code page: text and comment frames of 2.3 and 2.4 tags decoded to
// QString, and a 2.3 tag written with UTF-16 text where the code page falls short and with the
// frames the user did not touch (cover art, lyrics ...) kept. Each of the three is an option;
// without them the tag class's own reading and writing apply.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fields.h"
#include "ID3v2Frames.h"
#include "TagText.h"

namespace melotag::editor {

struct TUnicodeOptions {
  bool ReadUnicode = false;      // 2.3 UTF-16 text and 2.4 tags are decoded
  bool WriteUnicode = false;     // text the code page cannot encode goes as UTF-16
  bool KeepOtherFrames = false;  // the old tag's other frames are carried over
  // Without the other frames kept, a write is the seven fields' exact write: the fields beyond
  // them are not written, and numbers keep their low 8 bits.
  bool Exact() const { return !KeepOtherFrames; }
};

// The text of encoded string bytes (no encoding byte): 0 through the code page (escapes
// included), 1 UTF-16 with a byte-order mark (without one, the byte order the zero bytes show),
// 2 UTF-16BE, 3 UTF-8. An invalid sequence, a lone surrogate or an odd last byte becomes U+FFFD.
QString DecodeFrameString(uint8_t encoding, std::string_view bytes);
// The bytes of a text in an encoding (no encoding byte, no terminator): 0 code-page bytes
// (escapes give their byte; a character the code page lacks becomes "?"), 1 UTF-16 with a
// byte-order mark, 2 UTF-16BE, 3 UTF-8; in Unicode an escape becomes U+FFFD.
std::string EncodeFrameString(uint8_t encoding, const QString& text);
// The text of a text frame's content (encoding byte first): its strings joined by "/".
QString TextOfTextFrame(std::string_view content);

// Compressed frames inflate within bounds: each to at most kMaxInflatedFrame, those of one tag
// together, in frame order, to at most kMaxInflatedTag. A frame beyond them is too large: it reads
// as nothing, and a write keeps its bytes as they are.
inline constexpr size_t kMaxInflatedFrame = size_t{16} << 20;
inline constexpr size_t kMaxInflatedTag = size_t{64} << 20;

// The frames of a tag read within the bounds of inflation, worked out once for the tag (which
// has to outlive this).
class TFrameContents {
 public:
  explicit TFrameContents(const tags::TFrameTag& tag);
  // What frame `index` holds (FrameContent), a compressed frame's content inflated; none for an
  // encrypted frame, damaged compressed data and a frame too large.
  std::optional<std::string> Of(int index) const;
  // The trimmed text of text frame `index`; empty when its content cannot be read.
  QString TextOf(int index) const;
  bool IsTooLarge(int index) const;
  // The compressed frames beyond the bounds, in frame order.
  const std::vector<int>& TooLarge() const { return FTooLarge; }

 private:
  const tags::TFrameTag& FTag;
  std::vector<int> FTooLarge;
};

// The values of an ID3v2 tag as text, with its existence, version and size as the tag class
// gives them.
struct TID3v2Text {
  bool Exists = false;
  uint8_t Version = 0;
  int32_t Size = 0;
  TFieldValues Fields;   // every field given (empty when the tag lacks it) for a 2.3 or 2.4 tag
  QStringList TooLarge;  // the IDs of the frames too large to inflate
};

// The values of a 2.3 or 2.4 tag, trimmed as the tag class trims, each field of the frame its row
// names (the last one of its ID): the year of 2.4 is TDRC (or TYER), a track or disc reads as
// "3/12", a genre number names its genre, the comment and the lyrics are those of the last frame
// without a description (or else of the last frame); a value whose frame is too large to
// inflate is empty, its ID in TooLarge (in frame order). Tags of other versions give existence,
// version and size only.
TID3v2Text TextOf(const tags::TFrameTag& tag);
// False only when the first 10 bytes of the file cannot be read.
bool LoadID3v2Text(const std::string& path, TID3v2Text& text);

// The COMM frame the comment is read from and replaced by a write (of the USLT frames, the
// lyrics' with `id` "USLT"); -1 when there is none.
int ChosenComment(const tags::TFrameTag& tag);
int ChosenComment(const tags::TFrameTag& tag, const TFrameContents& contents,
                  std::string_view id = "COMM");

// True when the code page holds every character of the text (escapes hold their byte).
bool CodePageCanEncode(const QString& text);

// The 2.3 tag the exact write puts in front of the audio: the seven fields' frames as the tag
// class writes them (trailing blanks and control characters dropped, empty values left out), with
// UTF-16 for a value the code page cannot encode when WriteUnicode is set. None when the frames
// are too large for a tag.
std::optional<std::string> BuildID3v2Tag(const TID3v2Text& values, const TUnicodeOptions& options);

struct TWriteOutcome {
  bool Ok = false;
  int Dropped = 0;  // frames that had no place in the written tag
};

// --- With the tag panel and the batch passes

// What the panel shows of values read with Unicode reading, as it shows the tag class's.
TTagView ViewOf(const TID3v2Text& text);

}  // namespace melotag::editor
