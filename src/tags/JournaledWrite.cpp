#include "detail/JournaledWrite.h"

#include "Journal.h"
#include "TagError.h"
#include "detail/File.h"
#include "detail/Io.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <unistd.h>

namespace melotag::tags {

namespace {

TCrashPoint gCrashPoint = TCrashPoint::None;

}  // namespace

TEntry EntryOf(const TFile& file, std::string_view name, int64_t offset, std::string_view old,
               std::string_view bytes, uint64_t inserted) {
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

void SetCrashPoint(TCrashPoint point) {
  gCrashPoint = point;
}

void CrashAt(TCrashPoint point, TFile& file, int64_t offset, std::string_view bytes) {
  if (gCrashPoint != point) return;
  if (point == TCrashPoint::HalfWritten) {
    const int64_t end = (offset + static_cast<int64_t>(bytes.size() / 2)) / kSector * kSector;
    if (end > offset) file.WriteAt(offset, bytes.data(), static_cast<size_t>(end - offset));
  }
  _exit(99);
}

bool WriteJournaled(TFile& file, const std::string& path, const std::vector<TRegion>& regions) {
  if (regions.empty()) return true;
  TJournalWriter journal;
  if (!journal.Begin(JournalPath(path))) return Failed();
  for (const TRegion& r : regions)
    if (journal.Append(EntryOf(file, NameOf(path), r.Offset, r.Old, r.New)) < 0) return Failed();
  if (!journal.Close(true)) return Failed();
  CrashAt(TCrashPoint::JournalMade, file, regions[0].Offset, regions[0].New);
  bool written = true;
  for (size_t i = 0; i < regions.size() && written; ++i) {
    const TRegion& r = regions[i];
    if (i + 1 == regions.size()) CrashAt(TCrashPoint::HalfWritten, file, r.Offset, r.New);
    written = file.WriteAt(r.Offset, r.New.data(), r.New.size());
  }
  written = written && fdatasync(file.Fd()) == 0;
  // A failed write puts the old bytes back at once; the journal stays when even that fails.
  bool restored = written;
  if (!written) {
    restored = true;
    for (const TRegion& r : regions)
      restored = file.WriteAt(r.Offset, r.Old.data(), r.Old.size()) && restored;
    restored = restored && fdatasync(file.Fd()) == 0;
  }
  CrashAt(TCrashPoint::Written, file, regions[0].Offset, regions[0].New);
  if (restored) journal.Remove();
  return written;
}

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

}  // namespace melotag::tags
