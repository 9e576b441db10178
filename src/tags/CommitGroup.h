// Writes of many files committed together, and how many a pass lets wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace melotag::tags {

class TFile;
class TReplacement;
struct TRegion;

// Rebuilt files committed together. While a group lives on a thread, a rebuilt file is not
// committed at once: its new content waits, the old file still under its writer lock, until the
// group flushes: one sync of each file system instead of one flush per file, then every rename,
// then each folder flushed once. That makes a pass over many files fast and keeps every promise
// of a single commit: the new content is on disk before it takes the name. In-place writes wait
// too: at the commit one journal is made for the files of each folder, one sync of each file
// system flushes them, the regions are overwritten, a second sync flushes those, and the journals
// go.
// A group flushes by itself when it holds its capacity of files (kPending unless given; each
// waiting file holds three file descriptors) or 64 MiB of in-place bytes, when the file of a
// waiting one is opened for writing again on its thread, and at its end. A file read meanwhile
// still shows its old content.
class TJournalWriter;

// Bytes that wait for a commit, copied into large blocks of memory that the system backs with
// huge pages where it can: a pass holds the new tags of many files, and faulting each of their
// pages in on its own cost more than writing them.
class TWaitingBytes {
 public:
  TWaitingBytes() = default;
  ~TWaitingBytes();
  TWaitingBytes(const TWaitingBytes&) = delete;
  TWaitingBytes& operator=(const TWaitingBytes&) = delete;

  // A copy of bytes, valid until Clear; no data (nullptr) when no memory could be had.
  std::string_view Keep(std::string_view bytes);
  // Forgets every copy; the blocks stay for the next ones.
  void Clear();

 private:
  struct TBlock {
    char* Data;
    size_t Size;
  };
  std::vector<TBlock> FBlocks;
  size_t FBlock = 0;  // the block being filled, and how far
  size_t FUsed = 0;
};

class TCommitGroup {
 public:
  static constexpr size_t kPending = 64;

  explicit TCommitGroup(size_t capacity = kPending);
  ~TCommitGroup();
  TCommitGroup(const TCommitGroup&) = delete;
  TCommitGroup& operator=(const TCommitGroup&) = delete;

  // The group of this thread, if any.
  static TCommitGroup* Current();
  // Takes a file's written replacement with the locked original; `path` names it in failures.
  void Add(std::unique_ptr<TReplacement> out, std::unique_ptr<TFile> source, std::string path);
  // Takes an in-place write of a locked file, its regions (see WriteJournaled): their journal
  // entries are made with the others'. A region's old bytes, when not as long as its new ones
  // less `inserted`, are read from the file. `inserted`: bytes inserted before the one region
  // first (it grows, see GrowInPlace).
  void AddInPlace(std::unique_ptr<TFile> file, std::string path,
                  const std::vector<TRegion>& regions, int64_t inserted = 0);
  // Commits what waits for a commit, at once if it holds the file (device, inode).
  void FlushIfHolding(dev_t device, ino_t inode);
  // Commits what waits. The paths whose files could not be committed (they stay as they were)
  // since the last call are handed over.
  std::vector<std::string> Flush();

 private:
  // A region of an in-place write: where, its new bytes (kept by the group, or owned), where its
  // old bytes are in the journal.
  struct TPart {
    int64_t Offset = 0;
    std::string_view Bytes;
    std::string Owned;
    std::string_view Data() const { return Bytes.data() ? Bytes : std::string_view(Owned); }
    int64_t OldAt = -1;
  };
  struct TPending {
    std::unique_ptr<TReplacement> Out;  // none for an in-place write
    std::unique_ptr<TFile> Source;
    std::string Path;
    std::vector<TPart> Parts;           // an in-place write's regions
    int64_t Inserted = 0;               // bytes inserted before its one region, when it grows
    TJournalWriter* Journal = nullptr;  // its folder's journal, once made
  };
  // A folder's journal, made as its first in-place write comes; not whole once an entry failed.
  struct TFolderJournal {
    std::string Path;
    std::unique_ptr<TJournalWriter> Writer;
    bool Whole;
  };
  void Commit();
  // Puts an in-place write's old bytes (the regions', or read from the file) into its folder's
  // journal.
  void Journal(TPending& pending, const std::vector<TRegion>& regions);
  // The old bytes of a waiting in-place write's part, from the journal or the file.
  bool OldBytes(const TPending& pending, const TPart& part, std::string& old) const;
  // The in-place writes of a commit, their journals made and flushed (`devices`).
  void CommitInPlace(const std::vector<std::pair<dev_t, bool>>& devices);
  std::vector<TPending> FPending;
  TWaitingBytes FWaiting;
  std::vector<TFolderJournal> FJournals;
  std::string FOld;  // the old bytes of the latest in-place write
  size_t FHeld = 0;  // bytes the waiting in-place writes hold
  std::vector<std::string> FFailed;
  size_t FCapacity;
  TCommitGroup* FOuter;
};

// How many files a pass lets wait for one commit of its TCommitGroup:
// All `files` of a pass, so that the disk is synced once, as far as the file descriptors allow
// (three a waiting file; the soft limit is raised to the hard one) and a memory bound (4096
// files, each keeping a 4 KiB block); at least 1.
size_t CommitCapacity(size_t files);

}  // namespace melotag::tags
