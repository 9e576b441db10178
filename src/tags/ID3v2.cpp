#include "ID3v2.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "CommitGroup.h"
#include "ID3v2Frames.h"
#include "Journal.h"
#include "TagError.h"
#include "Trim.h"
#include "detail/File.h"
#include "detail/InPlace.h"
#include "detail/Io.h"
#include "detail/Replacement.h"

namespace melotag::tags {

namespace {

constexpr int kHeaderSize = 10;
constexpr size_t kFrameValueSize = 250;
constexpr uint32_t kLargestTagSize = 0x0FFFFFFF;  // 28 bits in four 7-bit bytes
enum { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment };

bool HasMagic(const TagInfo& info) {
  return std::memcmp(info.ID, "ID3", 3) == 0;
}

void AppendBigEndian32(std::string& out, uint32_t value) {
  value = BigEndian32(value);
  out.append(reinterpret_cast<const char*>(&value), 4);
}

// The file a path names, with symbolic links followed.
std::string ResolveLinks(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? (Failed(error.value()), std::string()) : target.string();
}

// Copies from offset to the end of the source behind what the output holds (written bytes).
// Write-back of each chunk starts as soon as it is copied, so the final flush finds little left.
bool CopyRest(int in, int64_t offset, int out, int64_t written) {
  constexpr size_t kChunk = 1 << 20;
  off_t from = static_cast<off_t>(offset);
  bool inKernel = true;
  std::vector<char> buffer;
  for (;;) {
    ssize_t n;
    if (inKernel) {
      n = copy_file_range(in, &from, out, nullptr, kChunk, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        inKernel = false;
        continue;
      }
    } else {
      if (buffer.empty()) buffer.resize(kChunk);
      n = pread(in, buffer.data(), buffer.size(), from);
      if (n > 0) {
        if (!WriteAll(out, buffer.data(), static_cast<size_t>(n))) return false;
        from += n;
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed();
    if (n == 0) return true;
    sync_file_range(out, written, n, SYNC_FILE_RANGE_WRITE);
    written += n;
  }
}

}  // namespace

uint32_t BigEndian32(uint32_t value) {
  if constexpr (std::endian::native == std::endian::big) return value;
  return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
}

// A tag's bytes as read under the writers' lock, read as the file would be; nothing past them.
struct TTagBytes {
  std::string_view Bytes;
  int64_t Size() const { return static_cast<int64_t>(Bytes.size()); }
  bool ReadExactly(int64_t position, void* out, size_t count) const {
    if (position < 0 || position > Size() || count > Bytes.size() - static_cast<size_t>(position))
      return false;
    std::memcpy(out, Bytes.data() + position, count);
    return true;
  }
};

template <typename TSource>
bool ReadTagInfoFrom(TSource& file, TagInfo& info) {
  unsigned char header[kHeaderSize];
  if (!file.ReadExactly(0, header, kHeaderSize)) return false;
  std::memcpy(info.ID, header, 3);
  info.Version = header[3];
  info.Revision = header[4];
  info.Flags = header[5];
  std::memcpy(info.Size, header + 6, 4);
  info.FileSize = file.Size();
  return true;
}

int TotalTagSize(const TagInfo& info) {
  // Each size byte is taken whole, as the header states it.
  const int64_t total = (int64_t{info.Size[0]} << 21) + (int64_t{info.Size[1]} << 14) +
                        (int64_t{info.Size[2]} << 7) + info.Size[3] + kHeaderSize;
  return total > info.FileSize ? 0 : static_cast<int>(total);
}

void StoreFrameValue(std::string_view frameId, const std::string& value, TagInfo& info) {
  auto slot = std::find(FrameIds.begin(), FrameIds.end(), frameId);
  if (slot != FrameIds.end()) info.Frames[slot - FrameIds.begin()] = value;
}

template <typename TSource>
void ReadFramesFrom(TSource& file, TagInfo& info) {
  const int64_t total = TotalTagSize(info);
  int64_t position = kHeaderSize;
  while (position < total && position < file.Size()) {
    char header[kHeaderSize];
    if (!file.ReadExactly(position, header, kHeaderSize)) return;
    if (header[0] < 'A' || header[0] > 'Z') return;  // padding, or not a frame
    uint32_t size;
    std::memcpy(&size, header + 4, 4);
    size = BigEndian32(size);
    // A size with the top bit set is no size a frame can have: the scan ends there.
    if (size & 0x80000000u) return;
    const int64_t dataAt = position + kHeaderSize;
    std::string value(kFrameValueSize, '\0');
    const size_t wanted = std::min<size_t>(size, kFrameValueSize);
    if (wanted > 0 && !file.ReadExactly(dataAt, value.data(), wanted)) return;
    StoreFrameValue(std::string_view(header, 4), value, info);
    position = dataAt + size;
  }
}

bool ReadTagInfo(TFile& file, TagInfo& info) {
  return ReadTagInfoFrom(file, info);
}

void ReadFrames(TFile& file, TagInfo& info) {
  ReadFramesFrom(file, info);
}

int ParseTrack(const std::string& text) {
  std::string number = Trim(text);
  size_t slash = number.find('/');
  if (slash != std::string::npos) number.resize(slash);
  const char* begin = number.data();
  const char* end = begin + number.size();
  if (begin != end && *begin == '+') ++begin;
  int value = 0;
  auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end || begin == end) return 0;
  return value;
}

std::string StripGenreReference(const std::string& text) {
  std::string genre = Trim(text);
  size_t close = genre.rfind(')');
  if (close != std::string::npos) genre.erase(0, close + 1);
  return genre;
}

bool FillHeader(TagInfo& info) {
  uint64_t size = 0;
  for (const std::string& value : info.Frames) {
    if (!value.empty()) size += value.size() + 11;
  }
  if (size > kLargestTagSize) return Failed(kTagTooLarge);
  std::memcpy(info.ID, "ID3", 3);
  info.Version = 3;
  info.Revision = 0;
  info.Flags = 0;
  info.Size[0] = (size >> 21) & 0x7F;
  info.Size[1] = (size >> 14) & 0x7F;
  info.Size[2] = (size >> 7) & 0x7F;
  info.Size[3] = size & 0x7F;
  return true;
}

namespace {

// A tag's header says it holds `size` bytes behind it, and no footer.
void SetSize(std::string& tag, uint64_t size) {
  tag[5] = static_cast<char>(static_cast<uint8_t>(tag[5]) & ~0x10u);
  for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>((size >> (21 - 7 * i)) & 0x7F);
}

thread_local bool tReplaceDamaged = false;

// The old tag of a file whose start is no whole tag (`declared` 0): a header that claims more
// than the file holds, or a tag behind other data (looked for in the first kJunkSearched bytes of
// a file that does not start with audio). `damage` says which; `at` and `end` the bytes a
// replacement takes: the claimed tag's header and the frames read with the zeros behind them, or
// the other data and the tag behind it. False when the file cannot be read.
bool FindDamagedTag(TFile& file, const TagInfo& info, int64_t& at, int64_t& end,
                    std::string& damage) {
  const int64_t size = file.Size();
  if (HasMagic(info)) {
    const int64_t claimed = (int64_t{info.Size[0]} << 21) + (int64_t{info.Size[1]} << 14) +
                            (int64_t{info.Size[2]} << 7) + info.Size[3] + kHeaderSize;
    damage = "the ID3v2 tag claims " + GroupedNumber(claimed) + " bytes, the file holds " +
             GroupedNumber(size);
    if (!tReplaceDamaged) return true;
    std::string bytes(static_cast<size_t>(std::min(size, claimed)), '\0');
    if (!file.ReadExactly(0, bytes.data(), bytes.size())) return false;
    TFrameTag tag;
    ParseFrameTag(bytes, tag);
    end = std::max<int64_t>(tag.FramesEnd, kHeaderSize);
    while (end < static_cast<int64_t>(bytes.size()) && bytes[static_cast<size_t>(end)] == '\0')
      ++end;
    return true;
  }
  constexpr int64_t kJunkSearched = 64 * 1024;
  std::string start(static_cast<size_t>(std::min(size, kJunkSearched)), '\0');
  if (!file.ReadExactly(0, start.data(), start.size())) return false;
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(start[i]); };
  if (start.size() >= 2 && byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0) return true;  // audio
  for (size_t k = start.find("ID3", 1); k != std::string::npos; k = start.find("ID3", k + 1)) {
    if (k + kHeaderSize > start.size() || byte(k + 3) < 2 || byte(k + 3) > 4 ||
        byte(k + 4) == 0xFF || ((byte(k + 6) | byte(k + 7) | byte(k + 8) | byte(k + 9)) & 0x80))
      continue;
    const int64_t total = (int64_t{byte(k + 6)} << 21) + (int64_t{byte(k + 7)} << 14) +
                          (int64_t{byte(k + 8)} << 7) + byte(k + 9) + kHeaderSize;
    if (total <= kHeaderSize || static_cast<int64_t>(k) + total > size) continue;
    std::string bytes(static_cast<size_t>(total), '\0');
    if (!file.ReadExactly(static_cast<int64_t>(k), bytes.data(), bytes.size())) return false;
    TFrameTag tag;
    ParseFrameTag(bytes, tag);
    if (tag.Frames.empty()) continue;
    damage = "the ID3v2 tag starts at byte " + GroupedNumber(static_cast<int64_t>(k)) +
             ", behind other data";
    const bool footer = byte(k + 3) == 4 && (byte(k + 5) & 0x10) != 0;
    at = static_cast<int64_t>(k);
    end = at + total + (footer && at + total + kHeaderSize <= size ? kHeaderSize : 0);
    return true;
  }
  return true;
}

// The rebuild; the old tag is read for the edit only when it looks at it.
TRebuild Rebuild(const std::string& path, const TTagEdit& edit, bool readsOld) {
  // A symbolic link stays: the file it leads to is rebuilt, beside itself.
  const std::string target = ResolveLinks(path);
  if (target.empty()) return TRebuild::Failed;
  // Locked from reading the old tag to the rename: a second writer waits, then rebuilds from
  // this one's result.
  auto source = std::make_unique<TFile>();
  TagInfo info;
  if (!source->OpenToWrite(target)) return TRebuild::Failed;
  if (source->Size() == 0) {
    Failed(kFileEmpty);
    return TRebuild::Failed;
  }
  if (!ReadTagInfo(*source, info)) return TRebuild::Failed;
  // A 2.4 tag may end in a 10-byte footer after its declared size: it goes with the tag.
  const bool footer = info.Version == 4 && (info.Flags & 0x10) != 0;
  const int64_t declared = HasMagic(info) ? TotalTagSize(info) : 0;
  int64_t skip =
      declared > 0 && footer && declared + 10 <= source->Size() ? declared + 10 : declared;
  // A tag that cannot be read whole is replaced only when asked (TReplaceDamagedTags): the old
  // one read from `at` to `skip`, never in place.
  int64_t at = 0;
  std::string damage;
  if (readsOld && declared == 0 && !FindDamagedTag(*source, info, at, skip, damage))
    return TRebuild::Failed;
  if (!damage.empty() && !tReplaceDamaged) {
    FailedDamaged(damage);
    return TRebuild::Failed;
  }
  // The old tag, in memory kept for the next file unless it is large.
  constexpr int64_t kKept = 1 << 20;
  thread_local std::string kept;
  std::string large;
  std::string& old = skip - at <= kKept ? kept : large;
  old.assign(readsOld ? static_cast<size_t>(skip - at) : 0, '\0');
  if (!old.empty() && !source->ReadExactly(at, old.data(), old.size())) return TRebuild::Failed;
  if (readsOld && damage.empty() && declared > 0) {
    TFrameTag frames;
    ParseFrameTag(old, frames);
    if (!frames.Unreadable.empty() && !tReplaceDamaged) {
      FailedDamaged(frames.Unreadable);
      return TRebuild::Failed;
    }
  }
  TTagChange change = edit(old);
  if (!change.Change || (!change.Tag && !HasMagic(info) && at == 0)) return TRebuild::Unchanged;
  std::optional<std::string>& tag = change.Tag;
  if (change.InPlace && tag) {
    // The old tag's whole room, footer included, when the new one fits in it.
    // A file that holds the journal's name and is no journal (the open would have mended the
    // file) leaves no place for one: rebuilt instead.
    const bool room = declared >= kHeaderSize && tag->size() >= kHeaderSize &&
                      !source->JournalNameTaken() && skip <= kMostInPlace;
    if (room && static_cast<int64_t>(tag->size()) <= skip) {
      std::string bytes = std::move(*tag);
      bytes.resize(static_cast<size_t>(skip), '\0');
      SetSize(bytes, static_cast<uint64_t>(skip - kHeaderSize));
      return WriteInPlace(std::move(source), target, 0, std::move(bytes), old) ? TRebuild::Done
                                                                               : TRebuild::Failed;
    }
    *tag = PaddedTag(std::move(*tag));
    // A tag that grows gets whole blocks inserted before the old one where the file system
    // can: its room and the padding a rebuild would give, the audio not moved.
    const int64_t block = room ? InsertBlock(*source, target) : 0;
    const int64_t inserted =
        block > 0 ? (static_cast<int64_t>(tag->size()) - skip + block - 1) / block * block : 0;
    if (inserted > 0 && skip + inserted - kHeaderSize <= static_cast<int64_t>(kLargestTagSize)) {
      std::string bytes = std::move(*tag);
      bytes.resize(static_cast<size_t>(skip + inserted), '\0');
      SetSize(bytes, static_cast<uint64_t>(skip + inserted - kHeaderSize));
      return GrowInPlace(std::move(source), target, inserted, std::move(bytes), old)
                 ? TRebuild::Done
                 : TRebuild::Failed;
    }
  }

  auto out = std::make_unique<TReplacement>();
  const int64_t tagSize = tag ? static_cast<int64_t>(tag->size()) : 0;
  if (!out->Create(target, *source) || (tag && !WriteAll(out->Fd(), tag->data(), tag->size())) ||
      !CopyRest(source->Fd(), skip, out->Fd(), tagSize))
    return TRebuild::Failed;
  // In a group of writes the commit comes with the others'.
  if (TCommitGroup* group = TCommitGroup::Current()) {
    group->Add(std::move(out), std::move(source), path);
    return TRebuild::Done;
  }
  return out->Commit() ? TRebuild::Done : TRebuild::Failed;
}

}  // namespace

TReplaceDamagedTags::TReplaceDamagedTags() : FOuter(tReplaceDamaged) {
  tReplaceDamaged = true;
}

TReplaceDamagedTags::~TReplaceDamagedTags() {
  tReplaceDamaged = FOuter;
}

std::string PaddedTag(std::string tag) {
  // Text edits need a few hundred bytes; a whole number of blocks keeps a later in-place write
  // to whole blocks of the file system. A cover that grows needs a rebuild anyway.
  constexpr size_t kLeast = 2048, kBlock = 4096;
  if (tag.size() < kHeaderSize) return tag;
  const size_t whole = (tag.size() + kLeast + kBlock - 1) / kBlock * kBlock;
  if (whole - kHeaderSize > kLargestTagSize) return tag;
  tag.resize(whole, '\0');
  SetSize(tag, whole - kHeaderSize);
  return tag;
}

bool RebuildFile(const std::string& path, const std::optional<std::string>& tag) {
  const auto edit = [&](std::string_view) { return TTagChange{true, tag}; };
  return Rebuild(path, edit, false) == TRebuild::Done;
}

TRebuild RebuildFileWith(const std::string& path, const TTagEdit& edit) {
  return Rebuild(path, edit, true);
}

void TID3v2::Clear() {
  FExists = false;
  FVersion = 0;
  FSize = 0;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FTrack = 0;
  FYear.clear();
  FGenre.clear();
  FComment.clear();
}

template <typename TSource>
bool TID3v2::Load(TSource& file) {
  TagInfo info;
  if (!ReadTagInfoFrom(file, info)) return false;
  if (!HasMagic(info)) return true;
  FExists = true;
  FVersion = info.Version;
  FSize = TotalTagSize(info);
  if (FVersion != 3 || FSize <= 0) return true;
  ReadFramesFrom(file, info);
  FTitle = Trim(info.Frames[kTitle]);
  FArtist = Trim(info.Frames[kArtist]);
  FAlbum = Trim(info.Frames[kAlbum]);
  FYear = Trim(info.Frames[kYear]);
  FTrack = static_cast<uint8_t>(ParseTrack(info.Frames[kTrack]) & 0xFF);
  FGenre = StripGenreReference(info.Frames[kGenre]);
  const std::string& comment = info.Frames[kComment];
  FComment = comment.size() > 4 ? Trim(comment.substr(4)) : std::string();
  return true;
}

bool TID3v2::LoadFromFile(const std::string& path) {
  try {
    Clear();
    TFile file;
    return file.Open(path) && Load(file);
  } catch (...) {
    return FailedByException();
  }
}

bool TID3v2::LoadFromTag(std::string_view tag) {
  Clear();
  if (tag.empty()) return true;
  TTagBytes bytes{tag};
  return Load(bytes);
}

bool TID3v2::WriteToFile(const std::string& path) {
  try {
    TagInfo info;
    info.Frames[kTitle] = FTitle;
    info.Frames[kArtist] = FArtist;
    info.Frames[kAlbum] = FAlbum;
    info.Frames[kTrack] = FTrack > 0 ? std::to_string(FTrack) : std::string();
    info.Frames[kYear] = FYear;
    info.Frames[kGenre] = FGenre;
    if (!FComment.empty()) info.Frames[kComment] = std::string("eng\0", 4) + FComment;
    if (!FillHeader(info)) return false;

    std::string tag(info.ID, 3);
    for (uint8_t byte : {info.Version, info.Revision, info.Flags, info.Size[0], info.Size[1],
                         info.Size[2], info.Size[3]}) {
      tag.push_back(static_cast<char>(byte));
    }
    for (int i = 0; i < kFrameCount; ++i) {
      const std::string& value = info.Frames[i];
      if (value.empty()) continue;
      tag.append(FrameIds[i]);
      AppendBigEndian32(tag, static_cast<uint32_t>(value.size() + 1));
      tag.append(3, '\0');  // two flag bytes, then the encoding byte
      tag.append(value);
    }
    return RebuildFile(path, tag);
  } catch (...) {
    return FailedByException();
  }
}

bool TID3v2::DeleteFromFile(const std::string& path) {
  try {
    return RebuildFile(path, std::nullopt);
  } catch (...) {
    return FailedByException();
  }
}

void TID3v2::SetTitle(const std::string& text) {
  FTitle = TrimRight(text);
}
void TID3v2::SetArtist(const std::string& text) {
  FArtist = TrimRight(text);
}
void TID3v2::SetAlbum(const std::string& text) {
  FAlbum = TrimRight(text);
}
void TID3v2::SetYear(const std::string& text) {
  FYear = TrimRight(text);
}
void TID3v2::SetGenre(const std::string& text) {
  FGenre = TrimRight(text);
}
void TID3v2::SetComment(const std::string& text) {
  FComment = TrimRight(text);
}

}  // namespace melotag::tags
