#include "detail/TagFile.h"

#include "CommitGroup.h"
#include "Journal.h"

#include "FileLock.h"
#include "TagError.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace melotag::tags {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

// How often a lock or a name is tried before giving up: another writer would have to replace
// the file, or take the name, this many times in a row.
constexpr int kAttempts = 100;

// Eight random letters and digits.
std::string RandomLetters() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint64_t bits = 0;
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    // No entropy yet: the clock, the process and a counter still differ between tries.
    static std::atomic<uint64_t> counter{0};
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    bits = (static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32) ^
            static_cast<uint64_t>(now.tv_sec)) +
           ++counter * 0x9E3779B97F4A7C15ull;
  }
  std::string letters;
  for (int i = 0; i < 8; ++i, bits /= 62) letters += kLetters[bits % 62];
  return letters;
}

// A hidden name beside the file that says whose it is; the file's part is cut so that the
// whole stays a valid name.
std::string UniqueName(const std::string& fileName) {
  std::string name(1, '.');
  name.append(fileName, 0, 200).append(".melotag-").append(RandomLetters());
  return name;
}

// Version 4 gives a checksum of every sector of a region's new bytes, so that a region torn by a
// crash can be told from one that another program changed. Versions 2 and 3 (left by an older
// Melotag's crash) are still read; their regions are mended only when they hold the old or the
// new bytes whole.
constexpr std::string_view kJournalMagic = "MELOTAG JOURNAL 4\n";
constexpr std::string_view kJournalMagic3 = "MELOTAG JOURNAL 3\n";
constexpr std::string_view kJournalMagic2 = "MELOTAG JOURNAL 2\n";
// The unit in which a crash may tear a write: a disk's sector, at offsets of the file.
constexpr int64_t kSector = 512;
// The journal of a group's files in one folder.
constexpr std::string_view kFolderJournal = ".melotag-journal";
constexpr std::string_view kJournalSuffix = ".melotag-journal";
// A group's in-place writes hold at most this many bytes before they are committed.
constexpr size_t kMostHeld = 64u << 20;
// The largest journal a pass writes: the old bytes it holds, their sectors' checksums and room
// for the entries' names and numbers. A larger file of a journal's name is no journal of ours.
constexpr uint64_t kMostJournal = kMostHeld + kMostHeld / kSector * 8 + (16u << 20);
// Up to this many files (or journals) of one file system are flushed one by one; more, with one
// flush of their file system.
constexpr size_t kMostFlushes = 8;

// The checksum of version 2: FNV-1a, a byte a step.
uint64_t Fnv(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char b : bytes) hash = (hash ^ static_cast<unsigned char>(b)) * 0x100000001b3ull;
  return hash;
}

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

uint64_t Checksum(std::string_view bytes) {
  THash hash;
  hash.Add(bytes);
  return hash.Value();
}

// The sectors (kSector, at offsets of the file) that a region of `length` bytes at `offset`
// touches; 0 for a region too large to be one.
uint64_t SectorCount(uint64_t offset, uint64_t length) {
  if (length == 0 || offset > (uint64_t{1} << 62) || length > (uint64_t{1} << 40)) return 0;
  return (offset + length - 1) / kSector - offset / kSector + 1;
}

void AppendNumber(std::string& out, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

uint64_t NumberAt(std::string_view bytes, size_t at) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

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
std::string SectorChecksums(std::string_view bytes, int64_t offset) {
  std::string out;
  out.reserve(SectorCount(static_cast<uint64_t>(offset), bytes.size()) * 8);
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = std::min<size_t>(
        bytes.size() - at,
        static_cast<size_t>(kSector - (offset + static_cast<int64_t>(at)) % kSector));
    AppendNumber(out, Checksum(bytes.substr(at, length)));
    at += length;
  }
  return out;
}

// An entry's name, numbers and sectors' checksums, as the journal holds them before its old bytes.
std::string EntryHead(const TEntry& e) {
  std::string head;
  AppendNumber(head, e.Name.size());
  head += e.Name;
  for (const uint64_t n : {e.Device, e.Inode, static_cast<uint64_t>(e.Offset),
                           static_cast<uint64_t>(e.Old.size()), e.NewHash, e.Inserted, e.OldSize})
    AppendNumber(head, n);
  head += e.Sectors;
  return head;
}

TEntry EntryOf(const TFile& file, std::string_view name, int64_t offset, std::string_view old,
               std::string_view bytes, uint64_t inserted = 0) {
  TEntry entry;
  entry.Name = name;
  entry.Device = static_cast<uint64_t>(file.Device());
  entry.Inode = static_cast<uint64_t>(file.Inode());
  entry.NewHash = Checksum(bytes);
  entry.Offset = offset;
  entry.Old = old;
  entry.Inserted = inserted;
  entry.OldSize = static_cast<uint64_t>(file.Size());
  entry.Sectors = SectorChecksums(bytes, offset);
  return entry;
}

struct TJournal {
  bool Ours = false;   // it starts as a journal does (or is empty or zeros: made, never written)
  bool Whole = false;  // all of it is there
  int Version = 4;
  uint64_t (*Hash)(std::string_view) = Checksum;  // the checksum of its version
  std::vector<TEntry> Entries;                    // views of the journal's bytes
};

TJournal ParseJournal(std::string_view bytes) {
  TJournal journal;
  // A crash while it was written can leave it empty or zero-filled.
  const std::string_view magic = bytes.substr(0, kJournalMagic.size());
  journal.Version = magic == kJournalMagic2 ? 2 : magic == kJournalMagic3 ? 3 : 4;
  if (journal.Version == 2) journal.Hash = Fnv;
  journal.Ours = journal.Version < 4 || magic == kJournalMagic ||
                 std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\0'; });
  if (!journal.Ours || bytes.size() < kJournalMagic.size() + 16 ||
      NumberAt(bytes, bytes.size() - 8) != journal.Hash(bytes.substr(0, bytes.size() - 8)))
    return journal;
  const std::string_view body = bytes.substr(0, bytes.size() - 8);
  size_t at = kJournalMagic.size();
  auto number = [&](uint64_t& value) {
    if (at + 8 > body.size()) return false;
    value = NumberAt(body, at);
    at += 8;
    return true;
  };
  auto text = [&](uint64_t length, std::string_view& value) {
    if (length > body.size() - at) return false;
    value = body.substr(at, length);
    at += length;
    return true;
  };
  const bool sized = journal.Version >= 3;
  auto entry = [&] {
    TEntry e;
    uint64_t nameLength = 0, offset = 0, length = 0;
    if (!number(nameLength) || !text(nameLength, e.Name) || !number(e.Device) || !number(e.Inode) ||
        !number(offset) || !number(length) || !number(e.NewHash) ||
        (sized && (!number(e.Inserted) || !number(e.OldSize))))
      return false;
    if (journal.Version >= 4) {
      if (length > body.size() || e.Inserted > body.size() * uint64_t{kSector}) return false;
      const uint64_t sectors = SectorCount(offset, length + e.Inserted);
      std::string_view checksums;
      if (sectors > (body.size() - at) / 8 || !text(sectors * 8, checksums)) return false;
      e.Sectors = checksums;
    }
    if (!text(length, e.Old)) return false;
    e.Offset = static_cast<int64_t>(offset);
    journal.Entries.push_back(e);
    return true;
  };
  uint64_t count = 0;
  if (journal.Hash == Fnv) {  // version 2: the count first
    if (!number(count)) return journal;
    for (uint64_t k = 0; k < count; ++k)
      if (!entry()) return journal;
    journal.Whole = at == body.size();
    return journal;
  }
  while (at + 8 < body.size())
    if (!entry()) return journal;
  journal.Whole = number(count) && count == journal.Entries.size() && at == body.size();
  return journal;
}

// The name of a path, a view of it.
std::string_view NameOf(const std::string& path) {
  return std::string_view(path).substr(path.rfind('/') + 1);
}

// The folder part of a path ("." without one) and its name.
std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// ext4, XFS and btrfs make a new name durable with the flush of its file (one commit of their
// log holds both); other file systems need the folder flushed as well.
bool CommitsNamesWithFiles(int folder) {
  struct statfs fs {};
  if (fstatfs(folder, &fs) != 0) return false;
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E;
  return fs.f_type == kExt4 || fs.f_type == kXfs || fs.f_type == kBtrfs;
}

}  // namespace

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
  ~TJournalWriter() {
    if (!FTemporary.empty()) unlinkat(FFolder, FTemporary.c_str(), 0);
    if (FFd >= 0) close(FFd);
    if (FFolder >= 0) close(FFolder);
  }

  bool Begin(const std::string& path) {
    FPath = path;
    const auto [folderPath, name] = Split(path);
    FFolder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FFolder < 0) return false;
    FFd = openat(FFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (FFd < 0) {
      // Without unnamed files: a unique hidden name, linked to the journal's when complete.
      FTemporary = UniqueName(name);
      FFd = openat(FFolder, FTemporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   0600);
      if (FFd < 0) FTemporary.clear();
    }
    return FFd >= 0 && Write(kJournalMagic);
  }

  // Where the entry's old bytes lie in the journal; -1 when they could not be written.
  int64_t Append(const TEntry& e) {
    ++FCount;
    if (!Write(EntryHead(e))) return -1;
    const int64_t at = FSize;
    return Write(e.Old) ? at : -1;
  }

  // Ends it and links it to its name, flushed with its name when asked. False leaves no journal.
  bool Close(bool flush) {
    std::string tail;
    AppendNumber(tail, FCount);
    if (FFd < 0 || !Write(tail)) return false;
    AppendNumber(FBuffer, FHash.Value());
    if (!Drain()) return false;
    const std::string name = Split(FPath).second;
    bool made;
    if (FTemporary.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(FFd);
      made = linkat(AT_FDCWD, self.c_str(), FFolder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
             (errno == ENOENT && linkat(FFd, "", FFolder, name.c_str(), AT_EMPTY_PATH) == 0);
    } else {
      made = linkat(FFolder, FTemporary.c_str(), FFolder, name.c_str(), 0) == 0;
    }
    if (!made) return false;
    FLinked = true;
    if (flush && !Flush()) {
      Remove();
      return false;
    }
    return true;
  }

  // The content and the name on disk: a journaling file system commits the link with the
  // file's flush; the folder's own flush is for the others. Without both the journal would not
  // be there to mend a crash. (A crash before this leaves a journal that is not whole, or none:
  // the files are not touched before it.)
  bool Flush() const {
    return fsync(FFd) == 0 && (CommitsNamesWithFiles(FFolder) || fsync(FFolder) == 0);
  }

  void Remove() {
    if (FLinked) unlinkat(FFolder, Split(FPath).second.c_str(), 0);
    FLinked = false;
  }

  // The old bytes of an entry, from where Append put them.
  bool ReadOld(int64_t at, std::string& old) const {
    size_t got = 0;
    while (got < old.size()) {
      const ssize_t n =
          pread(FFd, old.data() + got, old.size() - got, static_cast<off_t>(at) + got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  // Small pieces wait in a buffer and go with the next large one.
  bool Write(std::string_view bytes) {
    FHash.Add(bytes);
    FSize += static_cast<int64_t>(bytes.size());
    constexpr size_t kSmall = 4096;
    if (bytes.size() < kSmall) {
      FBuffer += bytes;
      return FBuffer.size() < kSmall || Drain();
    }
    if (!Drain() || !WriteAll(FFd, bytes.data(), bytes.size())) return false;
    // A long journal starts on its way to the disk while it is written; its flush waits.
    constexpr int64_t kKick = 1 << 20;
    if (FSize - FKicked >= kKick) {
      sync_file_range(FFd, FKicked, FSize - FKicked, SYNC_FILE_RANGE_WRITE);
      FKicked = FSize;
    }
    return true;
  }
  bool Drain() {
    const bool written = WriteAll(FFd, FBuffer.data(), FBuffer.size());
    FBuffer.clear();
    return written;
  }

  std::string FPath, FTemporary, FBuffer;
  int FFolder = -1, FFd = -1;
  THash FHash;
  uint64_t FCount = 0;
  int64_t FSize = 0, FKicked = 0;  // bytes written; those whose write-back was started
  bool FLinked = false;
};

namespace {}  // namespace

namespace {

// A name's journal: "." + name + ".melotag-journal", or, where that would pass the longest name
// a folder takes, the name cut and a checksum of the whole of it in its place.
std::string JournalName(const std::string& name) {
  constexpr size_t kLongestName = 255;
  std::string journal = "." + name + std::string(kJournalSuffix);
  if (journal.size() <= kLongestName) return journal;
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Checksum(name)));
  size_t keep = kLongestName - 2 - 16 - kJournalSuffix.size();
  // Not inside a UTF-8 character, so that the cut name still reads.
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  return "." + name.substr(0, keep) + "~" + hash + std::string(kJournalSuffix);
}

}  // namespace

std::string JournalPath(const std::string& path) {
  const auto [folder, name] = Split(path);
  const std::string journal = JournalName(name);
  return path.find('/') == std::string::npos ? journal : folder + "/" + journal;
}

std::string FolderJournalPath(const std::string& path) {
  const auto [folder, name] = Split(path);
  return path.find('/') == std::string::npos ? std::string(kFolderJournal)
                                             : folder + "/" + std::string(kFolderJournal);
}

bool IsJournalName(const std::string& name) {
  return name == kFolderJournal || (name.size() > kJournalSuffix.size() + 1 && name[0] == '.' &&
                                    name.compare(name.size() - kJournalSuffix.size(),
                                                 kJournalSuffix.size(), kJournalSuffix) == 0);
}

namespace {

std::mutex gNoticeGuard;
TJournalNotice gNotice;
std::set<std::string> gNamed;  // the journals named in this run

// Names a journal that was not applied, once a run.
void Notice(const std::string& journal, const std::string& reason) {
  TJournalNotice notice;
  {
    const std::lock_guard<std::mutex> lock(gNoticeGuard);
    if (!gNamed.insert(journal).second) return;
    notice = gNotice;
  }
  if (notice) notice(journal, reason);
}

bool WriteAllAt(int fd, std::string_view bytes, int64_t offset) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Takes the inserted bytes out again and writes the old region back where it was (a crash in
// between finds the old size, and writes it back then): the file never grows past its old size.
bool Uninsert(int fd, const TEntry& entry) {
  return fallocate(fd, FALLOC_FL_COLLAPSE_RANGE, entry.Offset,
                   static_cast<off_t>(entry.Inserted)) == 0 &&
         WriteAllAt(fd, entry.Old, entry.Offset) && fdatasync(fd) == 0;
}

// What a region of a journaled file holds: the new bytes, the bytes it held before the write
// (`before`), sectors of both (a write torn by a crash), or anything else (another program
// changed the file: nothing of the journal may be written into it).
enum class THolds { New, Before, Torn, Other };

// Compares the region at `offset` (as long as `before`) with `before` and with the new bytes of
// the entry, whose sector at file offset p is the one the writer had at p + `shift`.
THolds Holding(int fd, int64_t offset, std::string_view before, const TEntry& e, int version,
               int64_t shift = 0) {
  std::string now(before.size(), '\0');
  size_t got = 0;
  while (got < now.size()) {
    const ssize_t n =
        pread(fd, now.data() + got, now.size() - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return THolds::Other;  // the file is shorter now
    got += static_cast<size_t>(n);
  }
  if (now == before) return THolds::Before;
  const uint64_t length = e.Old.size() + e.Inserted;
  if (version < 4)  // only the checksum of the whole new region
    return shift == 0 && now.size() == length && (version == 2 ? Fnv : Checksum)(now) == e.NewHash
               ? THolds::New
               : THolds::Other;
  bool allNew = true;
  const size_t sectors = e.Sectors.size() / 8;
  for (size_t at = 0; at < now.size();) {
    const int64_t position = offset + static_cast<int64_t>(at);
    const size_t size =
        std::min<size_t>(now.size() - at, static_cast<size_t>(kSector - position % kSector));
    const uint64_t index = static_cast<uint64_t>((position + shift) / kSector - e.Offset / kSector);
    const std::string_view piece = std::string_view(now).substr(at, size);
    const bool isNew = index < sectors && Checksum(piece) == NumberAt(e.Sectors, index * 8);
    if (!isNew && piece != before.substr(at, size)) return THolds::Other;
    allNew = allNew && isNew;
    at += size;
  }
  return allNew ? THolds::New : THolds::Torn;
}

// Brings a journaled file back to its old region or leaves it with its new one; the reason why it
// cannot be (empty when it is done). The file must be the one journaled (device, inode, its size
// before or after the write) and its region hold the old or the new bytes, sector by sector.
std::string Mend(int fd, const TEntry& entry, int version) {
  struct stat st;
  if (fstat(fd, &st) != 0) return ErrorText(errno);
  if (static_cast<uint64_t>(st.st_dev) != entry.Device ||
      static_cast<uint64_t>(st.st_ino) != entry.Inode)
    return "another file has the name now";
  const char* kChanged = "the file was changed since the crash";
  const auto size = static_cast<uint64_t>(st.st_size);
  const auto flushedBack = [&] {
    return WriteAllAt(fd, entry.Old, entry.Offset) && fdatasync(fd) == 0 ? std::string()
                                                                         : ErrorText(errno);
  };
  if (entry.Inserted > 0) {
    if (version >= 3 && size == entry.OldSize + entry.Inserted) {
      // The blocks were inserted: before the write they read as zeros, the old region behind them.
      const std::string before = std::string(entry.Inserted, '\0') + std::string(entry.Old);
      switch (Holding(fd, entry.Offset, before, entry, version)) {
        case THolds::New:
          return {};
        case THolds::Before:
        case THolds::Torn:
          return Uninsert(fd, entry) ? std::string() : ErrorText(errno);
        case THolds::Other:
          return kChanged;
      }
    }
    if (version < 3 || size != entry.OldSize) return "the file's size changed since the crash";
    // The insertion never reached the disk, or was taken out again before the old bytes were back.
    switch (Holding(fd, entry.Offset, entry.Old, entry, version,
                    static_cast<int64_t>(entry.Inserted))) {
      case THolds::Before:
        return {};
      case THolds::New:
      case THolds::Torn:
        return flushedBack();
      case THolds::Other:
        return kChanged;
    }
  }
  if (version >= 3 && size != entry.OldSize) return "the file's size changed since the crash";
  switch (Holding(fd, entry.Offset, entry.Old, entry, version)) {
    case THolds::New:
    case THolds::Before:
      return {};
    case THolds::Torn:
      return flushedBack();
    case THolds::Other:
      return kChanged;
  }
  return kChanged;
}

// A name a journal may give its file: one of its own folder.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// The same file, not changed since (a journal is never written once it has its name).
bool SameJournal(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

}  // namespace

std::string JournalBytes(const std::vector<TJournalRegion>& regions) {
  std::string bytes(kJournalMagic);
  for (const TJournalRegion& r : regions) {
    TEntry e;
    e.Name = r.Name;
    e.Device = r.Device;
    e.Inode = r.Inode;
    e.Offset = r.Offset;
    e.Old = r.Old;
    e.NewHash = Checksum(r.New);
    e.Inserted = r.Inserted;
    e.OldSize = r.OldSize;
    e.Sectors = SectorChecksums(r.New, r.Offset);
    bytes += EntryHead(e);
    bytes += r.Old;
  }
  AppendNumber(bytes, regions.size());
  AppendNumber(bytes, Checksum(bytes));
  return bytes;
}

void SetJournalNotice(TJournalNotice notice) {
  const std::lock_guard<std::mutex> lock(gNoticeGuard);
  gNotice = std::move(notice);
  gNamed.clear();
}

std::string JournalNoticeText(const std::string& journalPath, const std::string& reason) {
  return "a crash journal could not be applied: " + journalPath + " (" + reason + ")";
}

bool RecoverJournal(const std::string& journalPath, int lockedFd, const std::string& lockedName) {
  const std::pair<std::string, std::string> split = Split(journalPath);
  const std::string& folderPath = split.first;
  const std::string& journalName = split.second;
  const TFd folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) return errno == ENOENT;
  const TFd fd(
      openat(folder.Get(), journalName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return true;
    Notice(journalPath, errno == ELOOP ? "it is a link" : ErrorText(errno));
    return false;
  }
  // Only a journal this user's Melotag can have written is trusted: a regular file of its own
  // (or root's) that no one else may change, no larger than a pass writes.
  struct stat st;
  const char* distrust = nullptr;
  if (fstat(fd.Get(), &st) != 0)
    distrust = "its status cannot be read";
  else if (!S_ISREG(st.st_mode))
    distrust = "not a regular file";
  else if (st.st_uid != geteuid() && st.st_uid != 0)
    distrust = "it belongs to another user";
  else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    distrust = "other users may change it";
  else if (static_cast<uint64_t>(st.st_size) > kMostJournal)
    distrust = "too large to be a journal";
  if (distrust) {
    Notice(journalPath, distrust);
    return false;
  }
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n =
        pread(fd.Get(), bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  const TJournal journal = ParseJournal(bytes);
  if (!journal.Ours) {
    Notice(journalPath, "not a journal of this program");
    return false;
  }
  const auto removeIfSame = [&] {
    struct stat now;
    if (fstatat(folder.Get(), journalName.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameJournal(now, st))
      unlinkat(folder.Get(), journalName.c_str(), 0);
    return true;
  };
  // A journal that is not whole was cut by a crash before any file was touched.
  if (!journal.Whole) return removeIfSame();
  for (const TEntry& entry : journal.Entries)
    if (!IsPlainName(entry.Name)) {
      Notice(journalPath, "it names a file outside its folder");
      return false;
    }
  std::string reason;
  for (const TEntry& entry : journal.Entries) {
    const bool own = lockedFd >= 0 && entry.Name == lockedName;
    const std::string name(entry.Name);
    const TFd opened(
        own ? -1
            : openat(folder.Get(), name.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    const int file = own ? lockedFd : opened.Get();
    if (file < 0) {
      // A file that is gone needs nothing.
      if (errno != ENOENT && reason.empty())
        reason = name + ": " + (errno == ELOOP ? "a link" : ErrorText(errno));
      continue;
    }
    struct stat fileStatus;
    if (fstat(file, &fileStatus) != 0 || !S_ISREG(fileStatus.st_mode)) {
      if (reason.empty()) reason = name + ": not a regular file";
      continue;
    }
    // The writer of a journal holds its files' locks until the journal is gone; a journal of
    // that name that is not this one any more is another writer's, alive.
    if (!own) {
      const int locked = LockWithin(file, folderPath + "/" + name);
      if (locked != 0 && locked != EOPNOTSUPP && locked != ENOLCK && locked != ENOSYS) {
        if (reason.empty()) reason = name + ": " + ErrorText(locked);
        continue;
      }
    }
    struct stat now;
    if (fstatat(folder.Get(), journalName.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameJournal(now, st))
      return true;
    const std::string why = Mend(file, entry, journal.Version);
    if (!why.empty() && reason.empty()) reason = name + ": " + why;
  }
  if (reason.empty()) return removeIfSame();
  Notice(journalPath, reason);
  return false;
}

namespace {

// Where two strings of one length differ: from the first differing byte to behind the last;
// an empty span when they are equal. Compared a block at a time.
std::pair<size_t, size_t> ChangedSpan(std::string_view a, std::string_view b) {
  constexpr size_t kBlock = 256;
  const size_t size = a.size();
  size_t from = 0;
  while (from + kBlock <= size && std::memcmp(a.data() + from, b.data() + from, kBlock) == 0)
    from += kBlock;
  while (from < size && a[from] == b[from]) ++from;
  if (from == size) return {size, size};
  size_t to = size;
  while (to - from >= kBlock &&
         std::memcmp(a.data() + to - kBlock, b.data() + to - kBlock, kBlock) == 0)
    to -= kBlock;
  while (to > from && a[to - 1] == b[to - 1]) --to;
  return {from, to};
}

TCrashPoint gCrashPoint = TCrashPoint::None;

// Ends the process at the crash point a test chose; writes about half the region first for
// HalfWritten, up to a sector of the file, where a killed write or a power cut tears it.
void CrashAt(TCrashPoint point, TFile& file, int64_t offset, std::string_view bytes) {
  if (gCrashPoint != point) return;
  if (point == TCrashPoint::HalfWritten) {
    const int64_t end = (offset + static_cast<int64_t>(bytes.size() / 2)) / kSector * kSector;
    if (end > offset) file.WriteAt(offset, bytes.data(), static_cast<size_t>(end - offset));
  }
  _exit(99);
}

// The journal made and flushed, the region written and flushed, the journal removed.
bool WriteJournaled(TFile& file, const std::string& path, int64_t offset, std::string_view bytes,
                    const std::string& old) {
  TJournalWriter journal;
  if (!journal.Begin(JournalPath(path)) ||
      journal.Append(EntryOf(file, NameOf(path), offset, old, bytes)) < 0 || !journal.Close(true))
    return Failed();
  CrashAt(TCrashPoint::JournalMade, file, offset, bytes);
  CrashAt(TCrashPoint::HalfWritten, file, offset, bytes);
  const bool written =
      file.WriteAt(offset, bytes.data(), bytes.size()) && fdatasync(file.Fd()) == 0;
  // A failed write puts the old bytes back at once; the journal stays when even that fails.
  const bool restored =
      written || (file.WriteAt(offset, old.data(), old.size()) && fdatasync(file.Fd()) == 0);
  CrashAt(TCrashPoint::Written, file, offset, bytes);
  if (restored) journal.Remove();
  return written;
}

// The same for a region at the start of the file that grows by `inserted` bytes: the journal, the
// bytes inserted (the rest of the file moves on without being copied), the region written and
// flushed, the journal removed; a failed write takes the inserted bytes out again.
bool WriteGrownJournaled(TFile& file, const std::string& path, int64_t inserted,
                         std::string_view bytes, const std::string& old) {
  TJournalWriter journal;
  const TEntry entry = EntryOf(file, NameOf(path), 0, old, bytes, static_cast<uint64_t>(inserted));
  if (!journal.Begin(JournalPath(path)) || journal.Append(entry) < 0 || !journal.Close(true))
    return Failed();
  CrashAt(TCrashPoint::JournalMade, file, 0, bytes);
  if (fallocate(file.Fd(), FALLOC_FL_INSERT_RANGE, 0, inserted) != 0) {
    Failed();
    journal.Remove();
    return false;
  }
  CrashAt(TCrashPoint::HalfWritten, file, 0, bytes);
  const bool written = file.WriteAt(0, bytes.data(), bytes.size()) && fdatasync(file.Fd()) == 0;
  const bool restored = written || Uninsert(file.Fd(), entry);
  CrashAt(TCrashPoint::Written, file, 0, bytes);
  if (restored) journal.Remove();
  return written;
}

}  // namespace

void SetCrashPoint(TCrashPoint point) {
  gCrashPoint = point;
}

bool WriteInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t offset,
                  std::string bytes, std::string_view old) {
  std::string read;
  if (old.size() != bytes.size()) {
    read.assign(bytes.size(), '\0');
    if (!file->ReadExactly(offset, read.data(), read.size())) return false;
    old = read;
  }
  // Only the bytes that change are journaled and written.
  const auto [from, to] = ChangedSpan(bytes, old);
  if (from == to) return true;
  offset += static_cast<int64_t>(from);
  bytes.erase(to).erase(0, from);
  // In a group the old bytes go into the folder's journal at once.
  if (TCommitGroup* group = TCommitGroup::Current()) {
    group->AddInPlace(std::move(file), path, offset, std::move(bytes), 0,
                      old.substr(from, to - from));
    return true;
  }
  return WriteJournaled(*file, path, offset, bytes, std::string(old.substr(from, to - from)));
}

namespace {

// Whether a file system takes insertions, tried once per file system (a mount option such as
// ext4's data=journal refuses them whatever its files say): a block inserted into an unnamed
// file of two blocks in the folder.
bool InsertsWork(const std::string& folder, dev_t device, int64_t block) {
  static std::mutex guard;
  static std::vector<std::pair<dev_t, bool>> known;
  const std::lock_guard<std::mutex> lock(guard);
  for (const auto& [seen, works] : known)
    if (seen == device) return works;
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return false;  // not tried here (a folder that takes no file): not remembered
  const bool works =
      ftruncate(fd, 2 * block) == 0 && fallocate(fd, FALLOC_FL_INSERT_RANGE, 0, block) == 0;
  close(fd);
  known.emplace_back(device, works);
  return works;
}

}  // namespace

int64_t InsertBlock(const TFile& file, const std::string& path) {
  struct statfs fs {};
  struct stat st {};
  if (fstatfs(file.Fd(), &fs) != 0 || fstat(file.Fd(), &st) != 0 || st.st_size <= 0) return 0;
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342;
  if (fs.f_type == kExt4) {
    // Only files kept in extents (not those of an ext3 past) and not journaling their data take
    // insertions.
    int flags = 0;
    if (ioctl(file.Fd(), FS_IOC_GETFLAGS, &flags) != 0 || (flags & FS_EXTENT_FL) == 0 ||
        (flags & FS_JOURNAL_DATA_FL) != 0)
      return 0;
  } else if (fs.f_type != kXfs) {
    return 0;
  }
  const int64_t block = st.st_blksize;
  if (block <= 0 || fs.f_bsize <= 0 || block % fs.f_bsize != 0) return 0;
  return InsertsWork(Split(path).first, st.st_dev, block) ? block : 0;
}

bool GrowInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t inserted,
                 std::string bytes, std::string_view old) {
  // The insertion itself does not heed the process's limit on file sizes; the writes would.
  struct rlimit limit {};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<uint64_t>(file->Size() + inserted) > limit.rlim_cur) {
    errno = EFBIG;
    return Failed();
  }
  if (TCommitGroup* group = TCommitGroup::Current()) {
    group->AddInPlace(std::move(file), path, 0, std::move(bytes), inserted, old);
    return true;
  }
  std::string oldBytes(old);
  oldBytes.resize(bytes.size() - static_cast<size_t>(inserted));
  if (old.size() != oldBytes.size() && !file->ReadExactly(0, oldBytes.data(), oldBytes.size()))
    return false;
  return WriteGrownJournaled(*file, path, inserted, bytes, oldBytes);
}

std::string TrimRight(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool MakeWritable(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Failed();
  if (S_ISLNK(st.st_mode)) return Failed(EACCES);  // a link's target keeps its permissions
  if (!S_ISREG(st.st_mode)) return Failed(kNotRegularFile);
  if (st.st_mode & S_IWUSR) return true;
  return fchmodat(AT_FDCWD, path.c_str(), (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) ==
             0 ||
         Failed();
}

namespace {

// The first block of the file read last, kept for the next one (a pass opens thousands).
thread_local std::unique_ptr<char[]> tSpareBlock;

}  // namespace

TFile::~TFile() {
  Close();
  ForgetBlock();
}

bool TFile::Open(const std::string& path, bool writable) {
  // A crash in the middle of an in-place write left a journal: the file is mended first.
  for (const std::string& journal : {JournalPath(path), FolderJournalPath(path)}) {
    struct stat st;
    if (lstat(journal.c_str(), &st) == 0) RecoverJournal(journal);
  }
  return OpenAsIs(path, writable);
}

bool TFile::OpenAsIs(const std::string& path, bool writable) {
  Close();
  // O_NONBLOCK: opening a named pipe must not wait for a writer.
  int fd = open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  return (fd >= 0 || Failed()) && Adopt(fd);
}

bool TFile::OpenLocked(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // A journal is looked for once the lock is held (below).
    if (!OpenAsIs(path, true)) return false;
    // A new content of this file waiting in this thread's group would wait for this lock forever.
    if (TCommitGroup* group = TCommitGroup::Current()) group->FlushIfHolding(FDevice, FInode);
    // Another program may hold the lock for ever: the wait has a bound.
    const int locked = LockWithin(FFd, path);
    if (locked != 0) {
      if (locked == EOPNOTSUPP || locked == ENOLCK || locked == ENOSYS) {
        struct stat st;
        FJournalNameTaken = lstat(JournalPath(path).c_str(), &st) == 0;
        return true;
      }
      if (locked != kFileLocked) Failed(locked);
      Close();
      return false;
    }
    // The size and the permissions as the previous writer left them.
    struct stat named;
    if (!Adopt(FFd)) return false;
    if (stat(path.c_str(), &named) == 0 && named.st_dev == FDevice && named.st_ino == FInode) {
      // A writer that died while this one waited for the lock left its journal: mended now,
      // through this lock.
      FJournalNameTaken = false;
      for (const std::string& journal : {JournalPath(path), FolderJournalPath(path)}) {
        struct stat st;
        if (lstat(journal.c_str(), &st) == 0 && !RecoverJournal(journal, FFd, Split(path).second) &&
            journal == JournalPath(path))
          FJournalNameTaken = true;
      }
      FBlockLength = -1;
      return true;
    }
    Close();  // a new file took the name while this one waited: lock that one
  }
  return Failed(kFileKeepsChanging);
}

bool TFile::OpenToWrite(const std::string& path) {
  // Most files are writable: their permissions are changed only when the open is refused or
  // the locked file shows no write permission for its owner (root opens any file).
  if (!OpenLocked(path)) {
    if (LastError() != EACCES) return false;
    if (!MakeWritable(path) || !OpenLocked(path)) return false;
  }
  if ((FMode & S_IWUSR) == 0) {
    if (fchmod(FFd, FMode | S_IWUSR) != 0) {
      Failed();
      Close();
      return false;
    }
    FMode |= S_IWUSR;
  }
  return true;
}

bool TFile::Adopt(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Failed(fstat(fd, &st) != 0 ? errno : kNotRegularFile);
    close(fd);
    FFd = -1;
    return false;
  }
  FFd = fd;
  FSize = st.st_size;
  FMode = st.st_mode & 07777;
  FOwner = st.st_uid;
  FGroup = st.st_gid;
  FDevice = st.st_dev;
  FInode = st.st_ino;
  FBlockLength = -1;
  return true;
}

void TFile::Close() {
  if (FFd >= 0) close(FFd);
  FFd = -1;
  FSize = 0;
  FBlockLength = -1;
}

void TFile::ForgetBlock() {
  if (FBlock && !tSpareBlock) tSpareBlock = std::move(FBlock);
  FBlock.reset();
  FBlockLength = -1;
}

int64_t TFile::ReadAt(int64_t offset, void* dest, size_t count) {
  if (FFd < 0 || offset < 0) return -1;
  char* out = static_cast<char*>(dest);
  if (FBlockLength < 0 && offset < static_cast<int64_t>(kBlockSize)) {
    // Keep the first block: the header and the frames of a small tag all come from it. A file
    // shorter than a block is read up to its size as of opening: one call, no read at its end.
    const size_t want = FSize >= 0 && FSize < static_cast<int64_t>(kBlockSize)
                            ? static_cast<size_t>(FSize)
                            : kBlockSize;
    if (!FBlock)
      FBlock =
          tSpareBlock ? std::move(tSpareBlock) : std::make_unique_for_overwrite<char[]>(kBlockSize);
    size_t got = 0;
    while (got < want) {
      ssize_t n = pread(FFd, FBlock.get() + got, want - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    FBlockLength = static_cast<int64_t>(got);
  }
  size_t done = 0;
  if (FBlockLength >= 0 && offset < FBlockLength) {
    done = std::min(count, static_cast<size_t>(FBlockLength - offset));
    std::memcpy(out, FBlock.get() + offset, done);
    // The block holds the whole file when it is shorter than a block.
    if (done == count || FBlockLength < static_cast<int64_t>(kBlockSize)) {
      return static_cast<int64_t>(done);
    }
  }
  while (done < count) {
    ssize_t n = pread(FFd, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool TFile::ReadExactly(int64_t offset, void* dest, size_t count) {
  const int64_t got = ReadAt(offset, dest, count);
  return got == static_cast<int64_t>(count) || Failed(got < 0 ? errno : kFileTooShort);
}

bool TFile::WriteAt(int64_t offset, const void* data, size_t count) {
  if (FFd < 0 || offset < 0) return Failed(EBADF);
  const char* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(FFd, in + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Failed(n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
  FBlockLength = -1;
  return true;
}

bool TFile::Truncate(int64_t size) {
  if (FFd < 0 || size < 0 || ftruncate(FFd, static_cast<off_t>(size)) != 0) return Failed();
  FSize = size;
  FBlockLength = -1;
  return true;
}

bool TFile::Append(const void* data, size_t count) {
  struct stat st;
  if (FFd < 0 || fstat(FFd, &st) != 0) return Failed();
  if (!WriteAt(st.st_size, data, count)) {
    // Leave no half trailer behind.
    if (ftruncate(FFd, st.st_size) != 0) {
    }
    return false;
  }
  FSize = st.st_size + static_cast<int64_t>(count);
  return true;
}

bool WriteAll(int fd, const void* data, size_t count) {
  const char* in = static_cast<const char*>(data);
  while (count > 0) {
    ssize_t n = write(fd, in, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Failed(n < 0 ? errno : ENOSPC);
    in += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

TReplacement::~TReplacement() {
  Abandon();
}

bool TReplacement::Create(const std::string& target, const TFile& original) {
  Abandon();
  const std::filesystem::path where(target);
  const std::filesystem::path folder = where.has_parent_path() ? where.parent_path() : ".";
  FTargetName = where.filename().string();
  FFolder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (FFolder < 0) return Failed();
  FFd = openat(FFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  // Without unnamed files: EOPNOTSUPP from the file system, EISDIR or EINVAL from a kernel
  // that does not know the flag.
  if (FFd < 0 && !((errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) && CreateNamed())) {
    Failed();
    Abandon();
    return false;
  }
  // Owner first: a change of owner may clear the set-user-ID and set-group-ID bits.
  if (fchown(FFd, original.Owner(), original.Group()) != 0) {
    // Not permitted for others' files; the new file keeps the caller as owner.
  }
  if (fchmod(FFd, original.Mode()) != 0) {
    Failed();
    Abandon();
    return false;
  }
  return true;
}

bool TReplacement::CreateNamed() {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string name = UniqueName(FTargetName);
    int fd =
        openat(FFolder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      FFd = fd;
      FName = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool TReplacement::LinkToUniqueName() {
  const std::string self = "/proc/self/fd/" + std::to_string(FFd);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string name = UniqueName(FTargetName);
    int linked = linkat(AT_FDCWD, self.c_str(), FFolder, name.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT) {
      // No /proc: linking the descriptor itself needs a newer kernel or more privileges.
      linked = linkat(FFd, "", FFolder, name.c_str(), AT_EMPTY_PATH);
    }
    if (linked == 0) {
      FName = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool TReplacement::Commit(bool flushed) {
  if (FFd < 0 || (!flushed && fsync(FFd) != 0) || (FName.empty() && !LinkToUniqueName())) {
    Failed();
    Abandon();
    return false;
  }
  const int fd = FFd;
  FFd = -1;
  if (close(fd) != 0 || renameat(FFolder, FName.c_str(), FFolder, FTargetName.c_str()) != 0) {
    Failed();
    Abandon();
    return false;
  }
  FName.clear();
  // The rename has happened and stays; a folder that cannot be synced changes nothing of it.
  if (!flushed && fsync(FFolder) != 0) {
  }
  Abandon();
  return true;
}

void TReplacement::Abandon() {
  if (FFd >= 0) close(FFd);
  FFd = -1;
  // Only a name this object made; the target's name is never removed here.
  if (!FName.empty()) unlinkat(FFolder, FName.c_str(), 0);
  FName.clear();
  if (FFolder >= 0) close(FFolder);
  FFolder = -1;
}

TWaitingBytes::~TWaitingBytes() {
  for (const TBlock& block : FBlocks) munmap(block.Data, block.Size);
}

std::string_view TWaitingBytes::Keep(std::string_view bytes) {
  // Blocks of whole huge pages (2 MiB), so that each is one fault.
  constexpr size_t kHuge = 2u << 20, kBlock = 4 * kHuge;
  while (FBlock < FBlocks.size() && FUsed + bytes.size() > FBlocks[FBlock].Size) {
    ++FBlock;
    FUsed = 0;
  }
  if (FBlock == FBlocks.size()) {
    const size_t size = std::max(kBlock, (bytes.size() + kHuge - 1) / kHuge * kHuge);
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return {};
    madvise(data, size, MADV_HUGEPAGE);
    FBlocks.push_back({static_cast<char*>(data), size});
    FUsed = 0;
  }
  char* at = FBlocks[FBlock].Data + FUsed;
  std::memcpy(at, bytes.data(), bytes.size());
  FUsed += bytes.size();
  return {at, bytes.size()};
}

void TWaitingBytes::Clear() {
  FBlock = 0;
  FUsed = 0;
}

namespace {

thread_local TCommitGroup* tCurrentGroup = nullptr;

}  // namespace

TCommitGroup::TCommitGroup(size_t capacity)
    : FCapacity(std::max<size_t>(capacity, 1)), FOuter(tCurrentGroup) {
  tCurrentGroup = this;
  // A pass keeps the memory it frees for its next file: given back to the system after each
  // file, the tags and covers of the next one would be faulted in page by page again.
  static const bool kept = [] {
    constexpr int kKeep = 256 << 20;
    return mallopt(M_TRIM_THRESHOLD, kKeep) == 1 && mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1;
  }();
  (void)kept;
}

TCommitGroup::~TCommitGroup() {
  Commit();
  tCurrentGroup = FOuter;
}

TCommitGroup* TCommitGroup::Current() {
  return tCurrentGroup;
}

void TCommitGroup::Add(std::unique_ptr<TReplacement> out, std::unique_ptr<TFile> source,
                       std::string path) {
  source->ForgetBlock();
  TPending pending;
  pending.Out = std::move(out);
  pending.Source = std::move(source);
  pending.Path = std::move(path);
  FPending.push_back(std::move(pending));
  if (FPending.size() >= FCapacity) Commit();
}

void TCommitGroup::AddInPlace(std::unique_ptr<TFile> file, std::string path, int64_t offset,
                              std::string bytes, int64_t inserted, std::string_view old) {
  // A folder's journal never holds more than a pass may write (kMostHeld).
  if (!FPending.empty() && FHeld + bytes.size() > kMostHeld) Commit();
  FHeld += bytes.size();
  TPending pending;
  pending.Source = std::move(file);
  pending.Path = std::move(path);
  pending.Offset = offset;
  // Kept in the group's own memory, the string's freed for the next file's tag.
  pending.Bytes = FWaiting.Keep(bytes);
  if (pending.Bytes.data() == nullptr) pending.Owned = std::move(bytes);
  pending.Inserted = inserted;
  Journal(pending, old);
  pending.Source->ForgetBlock();
  FPending.push_back(std::move(pending));
  if (FPending.size() >= FCapacity || FHeld >= kMostHeld) Commit();
}

void TCommitGroup::Journal(TPending& p, std::string_view old) {
  // The old bytes go into the folder's journal now (read again from the locked file when the
  // caller has not), so that the journal is on its way to the disk while the next files are read.
  const std::string path = FolderJournalPath(p.Path);
  auto folder = std::find_if(FJournals.begin(), FJournals.end(),
                             [&](const TFolderJournal& known) { return known.Path == path; });
  if (folder == FJournals.end()) {
    folder = FJournals.insert(FJournals.end(), {path, std::make_unique<TJournalWriter>(), true});
    folder->Whole = folder->Writer->Begin(path);
  }
  if (!folder->Whole) return;
  const size_t oldSize = p.Data().size() - static_cast<size_t>(p.Inserted);
  if (old.size() != oldSize) {
    FOld.resize(oldSize);
    if (!p.Source->ReadExactly(p.Offset, FOld.data(), FOld.size())) {
      folder->Whole = false;
      return;
    }
    old = FOld;
  }
  p.OldAt = folder->Writer->Append(EntryOf(*p.Source, NameOf(p.Path), p.Offset, old, p.Data(),
                                           static_cast<uint64_t>(p.Inserted)));
  folder->Whole = p.OldAt >= 0;
  p.Journal = folder->Writer.get();
}

void TCommitGroup::FlushIfHolding(dev_t device, ino_t inode) {
  for (const TPending& pending : FPending)
    if (pending.Source->Device() == device && pending.Source->Inode() == inode) return Commit();
}

std::vector<std::string> TCommitGroup::Flush() {
  Commit();
  return std::exchange(FFailed, {});
}

void TCommitGroup::Commit() {
  if (FPending.empty()) return;
  // Each folder's journal, written as its files came, is closed; where that fails (another
  // writer's journal holds the name), each file of the folder goes alone.
  std::vector<std::unique_ptr<TJournalWriter>> journals;
  for (TFolderJournal& folder : FJournals) {
    const bool made = folder.Whole && folder.Writer->Close(false);
    for (TPending& p : FPending)
      if (p.Journal == folder.Writer.get() && !made) p.Journal = nullptr;
    if (made) journals.push_back(std::move(folder.Writer));
  }
  FJournals.clear();
  // Each file system that holds a waiting file is flushed once; where only journals wait on it
  // (no file rebuilt), they are flushed alone, unless there are many.
  std::vector<std::pair<dev_t, bool>> devices;
  for (const TPending& pending : FPending) {
    const dev_t device = pending.Source->Device();
    if (std::any_of(devices.begin(), devices.end(),
                    [&](const auto& known) { return known.first == device; }))
      continue;
    std::vector<const TJournalWriter*> own;
    bool rebuilt = false;
    for (const TPending& other : FPending)
      if (other.Source->Device() == device) {
        rebuilt = rebuilt || other.Out != nullptr;
        if (other.Journal && std::find(own.begin(), own.end(), other.Journal) == own.end())
          own.push_back(other.Journal);
      }
    const bool alone = !rebuilt && own.size() <= kMostFlushes;
    devices.emplace_back(device, alone ? std::all_of(own.begin(), own.end(),
                                                     [](const auto* j) { return j->Flush(); })
                                       : syncfs(pending.Source->Fd()) == 0);
  }
  if (std::any_of(FPending.begin(), FPending.end(), [](const TPending& p) { return !p.Out; }))
    CommitInPlace(devices);
  // Every rename, the folders kept open to be flushed once each afterwards.
  std::vector<std::pair<dev_t, ino_t>> folders;
  std::vector<int> folderFds;
  for (TPending& pending : FPending) {
    if (!pending.Out) continue;
    struct stat folder;
    if (fstat(pending.Out->Folder(), &folder) == 0 &&
        std::find(folders.begin(), folders.end(), std::pair(folder.st_dev, folder.st_ino)) ==
            folders.end()) {
      const int fd = fcntl(pending.Out->Folder(), F_DUPFD_CLOEXEC, 0);
      if (fd >= 0) {
        folders.emplace_back(folder.st_dev, folder.st_ino);
        folderFds.push_back(fd);
      }
    }
    const dev_t device = pending.Source->Device();
    const bool synced = std::find_if(devices.begin(), devices.end(), [&](const auto& known) {
                          return known.first == device;
                        })->second;
    // Where the file system could not be synced, the file is flushed alone.
    if (!pending.Out->Commit(synced)) FFailed.push_back(pending.Path);
  }
  FPending.clear();  // the writer locks go with the old files
  FHeld = 0;
  FWaiting.Clear();
  for (const int fd : folderFds) {
    if (fsync(fd) != 0) {
    }
    close(fd);
  }
}

void TCommitGroup::CommitInPlace(const std::vector<std::pair<dev_t, bool>>& devices) {
  auto synced = [&](dev_t device) {
    return std::find_if(devices.begin(), devices.end(),
                        [&](const auto& known) { return known.first == device; })
        ->second;
  };
  // A folder's journal goes once all its files hold their new bytes or their old ones again.
  std::vector<const TJournalWriter*> keep;
  std::vector<size_t> written;
  std::string old;
  for (size_t i = 0; i < FPending.size(); ++i) {
    TPending& p = FPending[i];
    if (p.Out) continue;
    old.resize(p.Data().size() - static_cast<size_t>(p.Inserted));
    // Without a flushed journal, a file goes alone: its own journal, write and flush.
    if (!p.Journal || !synced(p.Source->Device())) {
      if (!p.Source->ReadExactly(p.Offset, old.data(), old.size()) ||
          !(p.Inserted > 0 ? WriteGrownJournaled(*p.Source, p.Path, p.Inserted, p.Data(), old)
                           : WriteJournaled(*p.Source, p.Path, p.Offset, p.Data(), old)))
        FFailed.push_back(p.Path);
      continue;
    }
    CrashAt(TCrashPoint::JournalMade, *p.Source, p.Offset, p.Data());
    // A region that grows gets its bytes inserted first; where that fails the file stays whole.
    if (p.Inserted > 0 &&
        fallocate(p.Source->Fd(), FALLOC_FL_INSERT_RANGE, p.Offset, p.Inserted) != 0) {
      Failed();
      FFailed.push_back(p.Path);
      continue;
    }
    CrashAt(TCrashPoint::HalfWritten, *p.Source, p.Offset, p.Data());
    if (p.Source->WriteAt(p.Offset, p.Data().data(), p.Data().size())) {
      written.push_back(i);
      continue;
    }
    // The old bytes back at once; the journal restores them if even that fails.
    FFailed.push_back(p.Path);
    TEntry entry;
    entry.Offset = p.Offset;
    entry.Old = old;
    entry.Inserted = static_cast<uint64_t>(p.Inserted);
    if (p.Journal->ReadOld(p.OldAt, old) &&
        (p.Inserted > 0 ? Uninsert(p.Source->Fd(), entry)
                        : p.Source->WriteAt(p.Offset, old.data(), old.size())))
      written.push_back(i);
    else
      keep.push_back(p.Journal);
  }
  // The second flush: the new bytes are on disk before their journals go; a few files each
  // alone, many with their whole file system.
  std::vector<dev_t> flushed;
  for (const size_t i : written) {
    CrashAt(TCrashPoint::Written, *FPending[i].Source, 0, {});
    TPending& p = FPending[i];
    const dev_t device = p.Source->Device();
    if (std::find(flushed.begin(), flushed.end(), device) != flushed.end()) continue;
    const auto onDevice = std::count_if(written.begin(), written.end(), [&](size_t w) {
      return FPending[w].Source->Device() == device;
    });
    if (onDevice > static_cast<std::ptrdiff_t>(kMostFlushes) && syncfs(p.Source->Fd()) == 0)
      flushed.push_back(device);
    else if (fdatasync(p.Source->Fd()) != 0)
      keep.push_back(p.Journal);
  }
  for (TPending& p : FPending)
    if (p.Journal && std::find(keep.begin(), keep.end(), p.Journal) == keep.end())
      p.Journal->Remove();
}

}  // namespace melotag::tags
