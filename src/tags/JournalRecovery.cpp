#include "Journal.h"

#include "FileLock.h"
#include "TagError.h"
#include "detail/Io.h"
#include "detail/JournalFormat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>
#include <vector>

namespace melotag::tags {

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

// What a region of a journaled file holds: the new bytes, the bytes it held before the write
// (`before`), sectors of both (a write torn by a crash), or anything else (another program
// changed the file: nothing of the journal may be written into it).
enum class THolds { New, Before, Torn, Other };

// Compares the region at `offset` (as long as `before`) with `before` and with the new bytes of
// the entry, whose sector at file offset p is the one the writer had at p + `shift`.
THolds Holding(int fd, int64_t offset, std::string_view before, const TEntry& e, int version,
               int64_t shift = 0) {
  std::string now(before.size(), '\0');
  // A file shorter now holds something else.
  if (ReadFullAt(fd, offset, now.data(), now.size()) != static_cast<int64_t>(now.size()))
    return THolds::Other;
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
    return WriteFullAt(fd, entry.Offset, entry.Old.data(), entry.Old.size()) && fdatasync(fd) == 0
               ? std::string()
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

// The same for the regions of one write of one file (several): all of them keep their new bytes,
// or all get their old ones back; a region that holds anything else leaves the file alone.
std::string MendTogether(int fd, const std::vector<const TEntry*>& regions, int version) {
  if (regions.size() == 1) return Mend(fd, *regions[0], version);
  struct stat st;
  if (fstat(fd, &st) != 0) return ErrorText(errno);
  std::vector<THolds> holds;
  for (const TEntry* e : regions) {
    if (static_cast<uint64_t>(st.st_dev) != e->Device ||
        static_cast<uint64_t>(st.st_ino) != e->Inode)
      return "another file has the name now";
    // A write of several regions never grows the file.
    if (e->Inserted > 0 || (version >= 3 && static_cast<uint64_t>(st.st_size) != e->OldSize))
      return "the file's size changed since the crash";
    holds.push_back(Holding(fd, e->Offset, e->Old, *e, version));
    if (holds.back() == THolds::Other) return "the file was changed since the crash";
  }
  if (std::all_of(holds.begin(), holds.end(), [](THolds h) { return h == THolds::New; })) return {};
  for (size_t i = 0; i < regions.size(); ++i)
    if (holds[i] != THolds::Before &&
        !WriteFullAt(fd, regions[i]->Offset, regions[i]->Old.data(), regions[i]->Old.size()))
      return ErrorText(errno);
  return fdatasync(fd) == 0 ? std::string() : ErrorText(errno);
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

}  // namespace

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
  bytes.resize(static_cast<size_t>(
      std::max<int64_t>(0, ReadFullAt(fd.Get(), 0, bytes.data(), bytes.size()))));
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
  // The regions of each file, in the journal's order: one write's regions are mended together.
  std::vector<std::vector<const TEntry*>> files;
  for (const TEntry& entry : journal.Entries) {
    auto same = std::find_if(files.begin(), files.end(), [&](const auto& regions) {
      return regions[0]->Name == entry.Name && regions[0]->Device == entry.Device &&
             regions[0]->Inode == entry.Inode;
    });
    if (same == files.end())
      files.push_back({&entry});
    else
      same->push_back(&entry);
  }
  for (const std::vector<const TEntry*>& regions : files) {
    const TEntry& entry = *regions[0];
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
    const std::string why = MendTogether(file, regions, journal.Version);
    if (!why.empty() && reason.empty()) reason = name + ": " + why;
  }
  if (reason.empty()) return removeIfSame();
  Notice(journalPath, reason);
  return false;
}

}  // namespace melotag::tags
