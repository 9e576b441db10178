// The journals' bytes: what a journal holds, read and written. For the in-place writes, the
// commit group and recovery; the program meets journals through Journal.h.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace melotag::tags {

// The unit in which a crash may tear a write: a disk's sector, at offsets of the file.
inline constexpr int64_t kSector = 512;
// A group's in-place writes hold at most this many bytes before they are committed.
inline constexpr size_t kMostHeld = 64u << 20;
// The largest journal a pass writes: the old bytes it holds, their sectors' checksums and room
// for the entries' names and numbers. A larger file of a journal's name is no journal of ours.
inline constexpr uint64_t kMostJournal = kMostHeld + kMostHeld / kSector * 8 + (16u << 20);

// The checksum of version 2: FNV-1a, a byte a step.
uint64_t Fnv(std::string_view bytes);
// The checksum of version 3, fed in pieces: FNV's step over eight bytes (little-endian) at a
// time, each product folded so that every bit of a word reaches the whole hash; the length last.
class THash {
 public:
  void Add(std::string_view bytes) {
    FLength += bytes.size();
    size_t at = 0;
    while (FCarried > 0 && at < bytes.size()) Carry(bytes[at++]);
    for (; at + 8 <= bytes.size(); at += 8) {
      uint64_t word;
      std::memcpy(&word, bytes.data() + at, 8);
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      Step(word);
    }
    while (at < bytes.size()) Carry(bytes[at++]);
  }
  uint64_t Value() const {
    THash last = *this;
    last.Step(last.FWord);
    last.Step(last.FLength);
    return last.FHash;
  }

 private:
  void Step(uint64_t word) {
    FHash = (FHash ^ word) * 0x100000001b3ull;
    FHash ^= FHash >> 29;
  }
  void Carry(char b) {
    FWord |= uint64_t{static_cast<unsigned char>(b)} << (8 * FCarried);
    if (++FCarried < 8) return;
    Step(FWord);
    FWord = 0;
    FCarried = 0;
  }
  uint64_t FHash = 0xcbf29ce484222325ull, FWord = 0, FLength = 0;
  unsigned FCarried = 0;
};

// The checksum of versions 3 and 4 (THash) of some bytes.
uint64_t Checksum(std::string_view bytes);
// The eight bytes (big-endian) at `at`.
uint64_t NumberAt(std::string_view bytes, size_t at);

// One region of one file in a journal: the file's name in the journal's folder and identity,
// where the region is, the checksum of its new bytes, its old bytes (a view of the writer's or
// of the journal's bytes).
struct TEntry {
  std::string_view Name;
  uint64_t Device = 0, Inode = 0, NewHash = 0;
  int64_t Offset = 0;
  std::string_view Old;
  // A region that grows: the bytes inserted before it at its offset, and the file's size before.
  uint64_t Inserted = 0, OldSize = 0;
  // The checksums of the new bytes' sectors, eight bytes each (none in older journals).
  std::string Sectors;
};

// The checksums of the sectors of `bytes` written at `offset`.
std::string SectorChecksums(std::string_view bytes, int64_t offset);

// A journal as read: its entries when it is whole.
struct TJournal {
  bool Ours = false;   // it starts as a journal does (or is empty or zeros: made, never written)
  bool Whole = false;  // all of it is there
  int Version = 5;
  uint64_t (*Hash)(std::string_view) = Checksum;  // the checksum of its version
  std::vector<TEntry> Entries;                    // views of the journal's bytes
};

// Reads a journal's bytes (views of them).
TJournal ParseJournal(std::string_view bytes);

// Takes the bytes inserted before an entry's region out again and writes its old bytes back where
// they were (a crash in between finds the old size, and writes them back then): the file never
// grows past its old size.
bool Uninsert(int fd, const TEntry& entry);

// A journal being written. What it holds: the magic; for each region the length of its file's
// name and the name, device, inode, offset, length of the region, checksum of its new bytes,
// bytes inserted before it (0 unless it grows) and the file's size before, eight bytes each, then
// the old bytes; the number of regions; the checksum of all that. It is
// written under no name and linked to its name (never over an existing file) once whole.
class TJournalWriter {
 public:
  TJournalWriter() = default;
  TJournalWriter(const TJournalWriter&) = delete;
  TJournalWriter& operator=(const TJournalWriter&) = delete;
  ~TJournalWriter();

  // Starts the journal of the name `path`, unnamed until Close.
  bool Begin(const std::string& path);
  // Where the entry's old bytes lie in the journal; -1 when they could not be written.
  int64_t Append(const TEntry& e);
  // Ends it and links it to its name, flushed with its name when asked. False leaves no journal.
  bool Close(bool flush);
  // The content and the name on disk: a journaling file system commits the link with the
  // file's flush; the folder's own flush is for the others. Without both the journal would not
  // be there to mend a crash. (A crash before this leaves a journal that is not whole, or none:
  // the files are not touched before it.)
  bool Flush() const;
  void Remove();
  // The old bytes of an entry, from where Append put them.
  bool ReadOld(int64_t at, std::string& old) const;

 private:
  // Small pieces wait in a buffer and go with the next large one.
  bool Write(std::string_view bytes);
  bool Drain();

  std::string FPath, FTemporary, FBuffer;
  int FFolder = -1, FFd = -1;
  THash FHash;
  uint64_t FCount = 0;
  int64_t FSize = 0, FKicked = 0;  // bytes written; those whose write-back was started
  bool FLinked = false;
};

// A journal's bytes as a writer makes them, for the tests and the fuzzer of recovery: a region of
// a file of the journal's folder each (its name and identity, where, its old and new bytes, the
// bytes inserted before it and the file's size before the write).
struct TJournalRegion {
  std::string Name;
  uint64_t Device = 0, Inode = 0;
  int64_t Offset = 0;
  std::string Old, New;
  uint64_t Inserted = 0, OldSize = 0;
};
std::string JournalBytes(const std::vector<TJournalRegion>& regions);

}  // namespace melotag::tags
