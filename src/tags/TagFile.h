// File access and text helpers shared by the two tag classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace tagfile {

// Removes trailing bytes of value 0x20 or below.
std::string TrimRight(const std::string& text);
// Removes leading and trailing bytes of value 0x20 or below.
std::string Trim(const std::string& text);

// Adds the owner's write permission and changes nothing else. False when the file is not a
// regular file (after following links) or its permissions cannot be changed.
bool MakeWritable(const std::string& path);

// A regular file opened for reading (or reading and writing). The first block read is kept, so
// a tag at the start of the file costs one open and one read.
class TFile {
 public:
  TFile() = default;
  ~TFile();
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens an existing regular file; false for a missing file, a directory, a device or a pipe.
  bool Open(const std::string& path, bool writable = false);
  // Opens an existing regular file for reading and writing and holds the advisory lock
  // (flock, exclusive) that every writer of the file takes, until Close. The file is then the
  // one the path names, after any writer that held the lock before (a writer that renamed a new
  // file over the path makes it open that one). Waits for the lock; false for what Open
  // refuses, or when the path keeps changing. Where the file system has no locks the file is
  // opened without one.
  bool OpenLocked(const std::string& path);
  // OpenLocked with the owner's write permission added where the file lacks it (and nothing
  // else changed); false for what OpenLocked refuses or when the permission cannot be added.
  bool OpenToWrite(const std::string& path);
  // After OpenLocked: a file that is no journal of ours holds the name of the file's journal
  // (".<name>.melotag-journal"), so the file cannot be written in place.
  bool JournalNameTaken() const { return FJournalNameTaken; }
  void Close();
  bool IsOpen() const { return FFd >= 0; }
  int Fd() const { return FFd; }
  // The size when the file was opened, or locked (refreshed by Truncate and Append); the
  // permission bits and the owner as of then.
  int64_t Size() const { return FSize; }
  unsigned Mode() const { return FMode; }
  uid_t Owner() const { return FOwner; }
  gid_t Group() const { return FGroup; }
  dev_t Device() const { return FDevice; }
  ino_t Inode() const { return FInode; }

  // Reads up to count bytes at offset; returns the number read (short only at the end of the
  // file), or -1 on an error.
  int64_t ReadAt(int64_t offset, void* dest, size_t count);
  // Reads exactly count bytes at offset.
  bool ReadExactly(int64_t offset, void* dest, size_t count);
  // Writes all bytes at offset; false on any error (bytes written before it stay).
  bool WriteAt(int64_t offset, const void* data, size_t count);
  // Frees the kept first block (a file that waits for its commit reads no more).
  void ForgetBlock();
  bool Truncate(int64_t size);
  // Appends all bytes; a partial append is cut off again, so the file keeps its old length.
  bool Append(const void* data, size_t count);

 private:
  static constexpr size_t kBlockSize = 4096;
  // Open without looking for a journal.
  bool OpenAsIs(const std::string& path, bool writable);
  // Takes over fd when it is a regular file (from its fstat); otherwise closes it.
  bool Adopt(int fd);
  int FFd = -1;
  int64_t FSize = 0;
  unsigned FMode = 0;
  uid_t FOwner = 0;
  gid_t FGroup = 0;
  dev_t FDevice = 0;
  ino_t FInode = 0;
  std::unique_ptr<char[]> FBlock;  // made at the first read
  int64_t FBlockLength = -1;       // -1: the first block is not read yet
  bool FJournalNameTaken = false;
};

// Writes all bytes to a file descriptor; false on any error.
bool WriteAll(int fd, const void* data, size_t count);

// The new content of a file, written beside it, that takes the file's name only when it is
// complete on disk. While it is written it has no name (O_TMPFILE); where the file system has
// no unnamed files it has a unique hidden name (".<name>.melotag-XXXXXXXX") made for it alone.
// Nothing but what it created is ever removed; what is not committed is gone after the
// destructor (or, unnamed, after a crash).
class TReplacement {
 public:
  TReplacement() = default;
  ~TReplacement();
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;

  // Creates the new file in the folder of target (a path with no link at its end) with the
  // permission bits and, where permitted, the owner of original. False when the folder
  // refuses a new file.
  bool Create(const std::string& target, const TFile& original);
  int Fd() const { return FFd; }
  int Folder() const { return FFolder; }
  // Flushes the new file to disk, renames it over the target and flushes the folder. False
  // leaves the target as it was. `flushed`: the file system was synced since the content was
  // written, and the caller flushes the folder.
  bool Commit(bool flushed = false);

 private:
  bool CreateNamed();
  bool LinkToUniqueName();
  void Abandon();
  int FFolder = -1;
  int FFd = -1;
  std::string FTargetName;  // the target's name in FFolder
  std::string FName;        // the new file's name in FFolder; empty while it has none
};

// In-place writes made atomic by a journal. Before a region of a file is overwritten, its old
// bytes, with the place, the file's identity and a checksum of the new bytes, are in a journal
// beside the file: ".<name>.melotag-journal", made under no name and linked to that one only
// once it is complete, and flushed with its folder. Then the region is overwritten and flushed,
// and the journal goes. A journal left by a crash is found by whoever next opens the file
// (TFile::Open) or lists its folder, and the file is rolled forward (the new bytes are all there:
// the journal goes) or back (the old bytes are written again), under the writers' lock.

// The journal's name beside a file ("dir/.song.mp3.melotag-journal"), and the name of the journal
// a commit group makes for all its files in one folder ("dir/.melotag-journal").
std::string JournalPath(const std::string& path);
std::string FolderJournalPath(const std::string& path);
// True for a name that is a journal's (".x.melotag-journal", ".melotag-journal").
bool IsJournalName(const std::string& name);
// Recovers the files of a journal left by a crash, each under its writers' lock (the file of
// `lockedName` through `lockedFd`, which holds its lock already), then removes the journal; a
// file of that name that is no journal of ours stays. False when the journal is there afterwards.
bool RecoverJournal(const std::string& journalPath, int lockedFd = -1,
                    const std::string& lockedName = {});

// Overwrites `bytes.size()` bytes at `offset` of a file opened by OpenLocked (`path` names it),
// the old bytes journaled (only the span that differs is journaled and written); inside a
// TCommitGroup the write waits for the group's commit. `old`: the bytes there now when the caller
// has read them, else empty. False when the journal cannot be made (the file is then untouched) or
// the write fails (the journal then restores the old bytes).
bool WriteInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t offset,
                  std::string bytes, std::string_view old = {});

// The size of the blocks in which bytes can be inserted into the file (opened, `path` names it)
// without moving the rest of it: its file system's block; 0 where the file system cannot (only
// ext4 files kept in extents and XFS can, and only where the file system was seen to take one).
int64_t InsertBlock(const TFile& file, const std::string& path);

// Grows the region at the start of a file opened by OpenLocked: `inserted` bytes (whole blocks,
// see InsertBlock) are inserted before its old bytes, and `bytes` (`inserted` bytes longer than
// the old region) written over both, journaled like WriteInPlace, so that a crash leaves the old
// region or the new one. The rest of the file is neither read nor written. `old`: the old region
// when the caller has read it, else empty. Inside a TCommitGroup the write waits for its commit.
bool GrowInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t inserted,
                 std::string bytes, std::string_view old);

// For the tests of crashes: the point of an in-place write at which the process ends (_exit),
// as if it died there: the journal made and flushed, half of the region written, all of it.
enum class TCrashPoint { None, JournalMade, HalfWritten, Written };
void SetCrashPoint(TCrashPoint point);

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
  // Takes an in-place write of a locked file: its journal is made with the others'.
  // `inserted`: bytes inserted before the region first (it grows, see GrowInPlace).
  void AddInPlace(std::unique_ptr<TFile> file, std::string path, int64_t offset, std::string bytes,
                  int64_t inserted = 0);
  // Commits what waits for a commit, at once if it holds the file (device, inode).
  void FlushIfHolding(dev_t device, ino_t inode);
  // Commits what waits. The paths whose files could not be committed (they stay as they were)
  // since the last call are handed over.
  std::vector<std::string> Flush();

 private:
  struct TPending {
    std::unique_ptr<TReplacement> Out;  // none for an in-place write
    std::unique_ptr<TFile> Source;
    std::string Path;
    int64_t Offset = 0;  // an in-place write: where, its new bytes (kept by the group, or owned)
    std::string_view Bytes;
    std::string Owned;
    std::string_view Data() const { return Bytes.data() ? Bytes : std::string_view(Owned); }
    int64_t Inserted = 0;               // bytes inserted before it, when it grows
    TJournalWriter* Journal = nullptr;  // its folder's journal, once made, and where in it
    int64_t OldAt = -1;                 // its old bytes are
  };
  // A folder's journal, made as its first in-place write comes; not whole once an entry failed.
  struct TFolderJournal {
    std::string Path;
    std::unique_ptr<TJournalWriter> Writer;
    bool Whole;
  };
  void Commit();
  // Puts an in-place write's old bytes into its folder's journal.
  void Journal(TPending& pending);
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

}  // namespace tagfile
