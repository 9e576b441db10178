#include "CommitGroup.h"

#include "Journal.h"
#include "TagError.h"
#include "detail/File.h"
#include "detail/Io.h"
#include "detail/JournalFormat.h"
#include "detail/JournaledWrite.h"
#include "detail/Replacement.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace melotag::tags {

namespace {

// Up to this many files (or journals) of one file system are flushed one by one; more, with one
// flush of their file system.
constexpr size_t kMostFlushes = 8;

thread_local TCommitGroup* tCurrentGroup = nullptr;

}  // namespace

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

TCommitGroup::TCommitGroup(size_t capacity)
    : FCapacity(std::max<size_t>(capacity, 1)), FOuter(tCurrentGroup) {
  tCurrentGroup = this;
  // A thread that opens a file whose write waits in its group commits the group first.
  SetBeforeLockWait([](dev_t device, ino_t inode) {
    if (TCommitGroup* group = Current()) group->FlushIfHolding(device, inode);
  });
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

void TCommitGroup::AddInPlace(std::unique_ptr<TFile> file, std::string path,
                              const std::vector<TRegion>& regions, int64_t inserted) {
  size_t bytes = 0;
  for (const TRegion& r : regions) bytes += r.New.size();
  // A folder's journal never holds more than a pass may write (kMostHeld).
  if (!FPending.empty() && FHeld + bytes > kMostHeld) Commit();
  FHeld += bytes;
  TPending pending;
  pending.Source = std::move(file);
  pending.Path = std::move(path);
  for (const TRegion& r : regions) {
    TPart part;
    part.Offset = r.Offset;
    // Kept in the group's own memory, the caller's freed for the next file's tag.
    part.Bytes = FWaiting.Keep(r.New);
    if (part.Bytes.data() == nullptr) part.Owned = r.New;
    pending.Parts.push_back(std::move(part));
  }
  pending.Inserted = inserted;
  Journal(pending, regions);
  pending.Source->ForgetBlock();
  FPending.push_back(std::move(pending));
  if (FPending.size() >= FCapacity || FHeld >= kMostHeld) Commit();
}

void TCommitGroup::Journal(TPending& p, const std::vector<TRegion>& regions) {
  // The old bytes go into the folder's journal now (read again from the locked file when the
  // caller has not), so that the journal is on its way to the disk while the next files are read.
  const std::string path = FolderJournalPath(p.Path);
  auto folder = std::find_if(FJournals.begin(), FJournals.end(),
                             [&](const TFolderJournal& known) { return known.Path == path; });
  if (folder == FJournals.end()) {
    folder = FJournals.insert(FJournals.end(), {path, std::make_unique<TJournalWriter>(), true});
    folder->Whole = folder->Writer->Begin(path);
  }
  for (size_t i = 0; i < p.Parts.size() && folder->Whole; ++i) {
    TPart& part = p.Parts[i];
    std::string_view old = regions[i].Old;
    const size_t oldSize = part.Data().size() - static_cast<size_t>(p.Inserted);
    if (old.size() != oldSize) {
      FOld.resize(oldSize);
      if (!p.Source->ReadExactly(part.Offset, FOld.data(), FOld.size())) {
        folder->Whole = false;
        return;
      }
      old = FOld;
    }
    part.OldAt = folder->Writer->Append(EntryOf(*p.Source, NameOf(p.Path), part.Offset, old,
                                                part.Data(), static_cast<uint64_t>(p.Inserted)));
    folder->Whole = part.OldAt >= 0;
  }
  if (folder->Whole) p.Journal = folder->Writer.get();
}

bool TCommitGroup::OldBytes(const TPending& p, const TPart& part, std::string& old) const {
  old.resize(part.Data().size() - static_cast<size_t>(p.Inserted));
  return p.Journal ? p.Journal->ReadOld(part.OldAt, old)
                   : p.Source->ReadExactly(part.Offset, old.data(), old.size());
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
  for (size_t i = 0; i < FPending.size(); ++i) {
    TPending& p = FPending[i];
    if (p.Out) continue;
    std::vector<std::string> olds(p.Parts.size());
    // Without a flushed journal, a file goes alone: its own journal, write and flush.
    if (!p.Journal || !synced(p.Source->Device())) {
      std::vector<TRegion> regions;
      bool read = true;
      for (size_t k = 0; k < p.Parts.size() && read; ++k) {
        const TPart& part = p.Parts[k];
        olds[k].resize(part.Data().size() - static_cast<size_t>(p.Inserted));
        read = p.Source->ReadExactly(part.Offset, olds[k].data(), olds[k].size());
        regions.push_back({part.Offset, part.Data(), olds[k]});
      }
      if (!read || !(p.Inserted > 0 ? WriteGrownJournaled(*p.Source, p.Path, p.Inserted,
                                                          p.Parts[0].Data(), olds[0])
                                    : WriteJournaled(*p.Source, p.Path, regions)))
        FFailed.push_back(p.Path);
      continue;
    }
    const TPart& first = p.Parts[0];
    CrashAt(TCrashPoint::JournalMade, *p.Source, first.Offset, first.Data());
    // A region that grows gets its bytes inserted first; where that fails the file stays whole.
    if (p.Inserted > 0 &&
        fallocate(p.Source->Fd(), FALLOC_FL_INSERT_RANGE, first.Offset, p.Inserted) != 0) {
      Failed();
      FFailed.push_back(p.Path);
      continue;
    }
    size_t done = 0;
    for (; done < p.Parts.size(); ++done) {
      const TPart& part = p.Parts[done];
      if (done + 1 == p.Parts.size())
        CrashAt(TCrashPoint::HalfWritten, *p.Source, part.Offset, part.Data());
      if (!p.Source->WriteAt(part.Offset, part.Data().data(), part.Data().size())) break;
    }
    if (done == p.Parts.size()) {
      written.push_back(i);
      continue;
    }
    // The old bytes back at once, of every region the write may have reached; the journal
    // restores them if even that fails.
    FFailed.push_back(p.Path);
    bool restored = true;
    for (size_t k = 0; k <= done && k < p.Parts.size(); ++k) {
      const TPart& part = p.Parts[k];
      std::string& old = olds[k];
      TEntry entry;
      entry.Offset = part.Offset;
      entry.Inserted = static_cast<uint64_t>(p.Inserted);
      restored = restored && OldBytes(p, part, old) &&
                 (p.Inserted > 0 ? (entry.Old = old, Uninsert(p.Source->Fd(), entry))
                                 : p.Source->WriteAt(part.Offset, old.data(), old.size()));
    }
    if (restored)
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
