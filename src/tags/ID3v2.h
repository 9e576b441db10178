// The ID3v2 tag at the start of an MPEG audio file: read as version 2.3, written as version 2.3
// with seven text frames and no padding.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace melotag::tags {

class TFile;

// The frames this program knows, in the order they are written.
inline constexpr int kFrameCount = 7;
inline constexpr std::array<std::string_view, kFrameCount> FrameIds = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"};

// The working record of one read or write. The first five fields are the 10 header bytes.
struct TagInfo {
  char ID[3] = {};
  uint8_t Version = 0;
  uint8_t Revision = 0;
  uint8_t Flags = 0;
  uint8_t Size[4] = {};
  int64_t FileSize = 0;
  // One per FrameIds position: the frame's data (when reading) or the data to write; empty =
  // absent.
  std::array<std::string, kFrameCount> Frames;
};

// Reads the 10 header bytes and the file size; true exactly when 10 bytes were read.
bool ReadTagInfo(TFile& file, TagInfo& info);
// The header plus the size it declares; 0 when that is more than the file holds.
int TotalTagSize(const TagInfo& info);
// Scans the frames of a version 2.3 tag into info.Frames.
void ReadFrames(TFile& file, TagInfo& info);
// Puts a frame's value into its FrameIds slot; other frame IDs are ignored.
void StoreFrameValue(std::string_view frameId, const std::string& value, TagInfo& info);
uint32_t BigEndian32(uint32_t value);
// The track number of a TRCK text: "3/12" gives 3, anything that is not a number gives 0.
int ParseTrack(const std::string& text);
// The genre name of a TCON text: everything up to the last ")" goes, "(17)Rock" gives "Rock".
std::string StripGenreReference(const std::string& text);
// The header of a tag holding the frames in info.Frames; false when they are too large to be
// declared in a header.
bool FillHeader(TagInfo& info);
// Writes the file anew with the given tag (or none) in front of its audio. The new file is
// complete on disk before it replaces the old one; on failure the old one is left as it was.
// Writers of one file take turns: each rebuilds from what the one before it left.
// Inside a TCommitGroup the new file waits for the group's commit.
bool RebuildFile(const std::string& path, const std::optional<std::string>& tag);

// The change a rebuild makes, decided from the old tag under the writers' lock.
struct TTagChange {
  bool Change = false;             // false: the file stays as it is
  std::optional<std::string> Tag;  // the new tag, or none to remove the old one
  // The tag (without padding, footer or extended header) goes over the old one's room when it
  // fits, journaled (WriteInPlace), the rest of the room padding; otherwise the rebuild
  // leaves it padding for later edits (PaddedTag). Without it the rebuild writes the tag as it is.
  bool InPlace = false;
};
// The tag with padding behind it: at least 2 KiB, up to the next multiple of 4 KiB of the whole,
// its header's size counting the padding.
std::string PaddedTag(std::string tag);
// Everything a rebuild replaces: header, frames, padding and a 2.4 footer; empty without a tag.
using TTagEdit = std::function<TTagChange(std::string_view oldTag)>;
enum class TRebuild { Done, Unchanged, Failed };
// RebuildFile with the new tag made from the old one while the file is locked, so that no other
// writer comes between the reading and the writing. Unchanged when the edit asks for no change
// (or for the removal of a tag the file does not have); Failed leaves the file as it was. An
// empty file fails (kFileEmpty); so does one whose tag cannot be read whole (kTagDamaged, the
// reason in words): a header that claims more than the file holds, a tag behind other data, a
// frame running past the tag, a frame walk that stops before a frame that follows
// (TFrameTag::Unreadable). Inside a TReplaceDamagedTags such a tag is replaced instead: the edit
// gets the header and the frames read (with the zeros behind them) of a tag claiming too much
// (the bytes behind stay), or the tag behind the other data (both go; the file is written anew),
// or the damaged tag itself.
TRebuild RebuildFileWith(const std::string& path, const TTagEdit& edit);
// While one lives, the rebuilds of its thread replace damaged tags (RebuildFileWith).
class TReplaceDamagedTags {
 public:
  TReplaceDamagedTags();
  ~TReplaceDamagedTags();
  TReplaceDamagedTags(const TReplaceDamagedTags&) = delete;
  TReplaceDamagedTags& operator=(const TReplaceDamagedTags&) = delete;

 private:
  bool FOuter;
};

class TID3v2 {
 public:
  TID3v2() { Clear(); }

  void Clear();
  // False only when the first 10 bytes cannot be read; a file without a tag gives true with
  // Exists() false.
  bool LoadFromFile(const std::string& path);
  // The same reading of a tag's bytes (header to footer, as a write gets them under the writers'
  // lock); empty bytes are no tag. Nothing past the bytes is read.
  bool LoadFromTag(std::string_view tag);
  // Replaces the file's tag (of any version) by a version 2.3 tag built from the fields. (The
  // program's writes go through the editor's one ID3v2 write; this stays the class's own.)
  bool WriteToFile(const std::string& path);
  // Removes the tag; false when the file has none.
  bool DeleteFromFile(const std::string& path);

  // Texts lose their trailing bytes of value 0x20 or below; there is no length limit.
  void SetTitle(const std::string& text);
  void SetArtist(const std::string& text);
  void SetAlbum(const std::string& text);
  void SetYear(const std::string& text);
  void SetGenre(const std::string& text);
  void SetComment(const std::string& text);
  void SetTrack(uint8_t track) { FTrack = track; }

  bool Exists() const { return FExists; }
  // The header's major version: 3 for a 2.3 tag, 4 for 2.4, 2 for 2.2.
  uint8_t Version() const { return FVersion; }
  // The whole tag with its header; 0 when the header declares more than the file holds.
  int32_t Size() const { return FSize; }
  const std::string& Title() const { return FTitle; }
  const std::string& Artist() const { return FArtist; }
  const std::string& Album() const { return FAlbum; }
  uint8_t Track() const { return FTrack; }
  const std::string& Year() const { return FYear; }
  const std::string& Genre() const { return FGenre; }
  const std::string& Comment() const { return FComment; }

 private:
  template <typename TSource>
  bool Load(TSource& file);

  bool FExists;
  uint8_t FVersion;
  int32_t FSize;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  uint8_t FTrack;
  std::string FYear;
  std::string FGenre;
  std::string FComment;
};

}  // namespace melotag::tags

// The tag class keeps its name where the program uses it.
using melotag::tags::TID3v2;
