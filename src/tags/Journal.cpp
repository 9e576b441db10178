#include "detail/JournalFormat.h"

#include "Journal.h"
#include "detail/Io.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace melotag::tags {

namespace {

// Version 4 gives a checksum of every sector of a region's new bytes, so that a region torn by a
// crash can be told from one that another program changed. Version 5, of the same layout, may hold
// several regions of one file, one write mended as a whole: an older Melotag, which would mend them
// one by one, leaves it alone. Versions 2 to 4 (left by an older Melotag's crash) are still read;
// the regions of versions 2 and 3 are mended only when they hold the old or the new bytes whole.
constexpr std::string_view kJournalMagic = "MELOTAG JOURNAL 5\n";
constexpr std::string_view kJournalMagic4 = "MELOTAG JOURNAL 4\n";
constexpr std::string_view kJournalMagic3 = "MELOTAG JOURNAL 3\n";
constexpr std::string_view kJournalMagic2 = "MELOTAG JOURNAL 2\n";
// The journal of a group's files in one folder.
constexpr std::string_view kFolderJournal = ".melotag-journal";
constexpr std::string_view kJournalSuffix = ".melotag-journal";

// The sectors (kSector, at offsets of the file) that a region of `length` bytes at `offset`
// touches; 0 for a region too large to be one.
uint64_t SectorCount(uint64_t offset, uint64_t length) {
  if (length == 0 || offset > (uint64_t{1} << 62) || length > (uint64_t{1} << 40)) return 0;
  return (offset + length - 1) / kSector - offset / kSector + 1;
}

void AppendNumber(std::string& out, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
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

// ext4, XFS and btrfs make a new name durable with the flush of its file (one commit of their
// log holds both); other file systems need the folder flushed as well.
bool CommitsNamesWithFiles(int folder) {
  struct statfs fs {};
  if (fstatfs(folder, &fs) != 0) return false;
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E;
  return fs.f_type == kExt4 || fs.f_type == kXfs || fs.f_type == kBtrfs;
}

}  // namespace

// The checksum of version 2: FNV-1a, a byte a step.
uint64_t Fnv(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char b : bytes) hash = (hash ^ static_cast<unsigned char>(b)) * 0x100000001b3ull;
  return hash;
}

uint64_t Checksum(std::string_view bytes) {
  THash hash;
  hash.Add(bytes);
  return hash.Value();
}

uint64_t NumberAt(std::string_view bytes, size_t at) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

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

TJournal ParseJournal(std::string_view bytes) {
  TJournal journal;
  // A crash while it was written can leave it empty or zero-filled.
  const std::string_view magic = bytes.substr(0, kJournalMagic.size());
  journal.Version = magic == kJournalMagic2   ? 2
                    : magic == kJournalMagic3 ? 3
                    : magic == kJournalMagic4 ? 4
                                              : 5;
  if (journal.Version == 2) journal.Hash = Fnv;
  journal.Ours = journal.Version < 5 || magic == kJournalMagic ||
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

TJournalWriter::~TJournalWriter() {
  if (!FTemporary.empty()) unlinkat(FFolder, FTemporary.c_str(), 0);
  if (FFd >= 0) close(FFd);
  if (FFolder >= 0) close(FFolder);
}

bool TJournalWriter::Begin(const std::string& path) {
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

int64_t TJournalWriter::Append(const TEntry& e) {
  ++FCount;
  if (!Write(EntryHead(e))) return -1;
  const int64_t at = FSize;
  return Write(e.Old) ? at : -1;
}

bool TJournalWriter::Close(bool flush) {
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

bool TJournalWriter::Flush() const {
  return fsync(FFd) == 0 && (CommitsNamesWithFiles(FFolder) || fsync(FFolder) == 0);
}

void TJournalWriter::Remove() {
  if (FLinked) unlinkat(FFolder, Split(FPath).second.c_str(), 0);
  FLinked = false;
}

bool TJournalWriter::ReadOld(int64_t at, std::string& old) const {
  return ReadFullAt(FFd, at, old.data(), old.size()) == static_cast<int64_t>(old.size());
}

bool TJournalWriter::Write(std::string_view bytes) {
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

bool TJournalWriter::Drain() {
  const bool written = WriteAll(FFd, FBuffer.data(), FBuffer.size());
  FBuffer.clear();
  return written;
}

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

bool Uninsert(int fd, const TEntry& entry) {
  return fallocate(fd, FALLOC_FL_COLLAPSE_RANGE, entry.Offset,
                   static_cast<off_t>(entry.Inserted)) == 0 &&
         WriteFullAt(fd, entry.Offset, entry.Old.data(), entry.Old.size()) && fdatasync(fd) == 0;
}

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

}  // namespace melotag::tags
