// The byte-level work of the tag classes: files opened and locked, replacements, in-place writes
// with their journals. For the tag classes and their tests; the program uses the public headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace melotag::tags {

// Adds the owner's write permission and changes nothing else. False (EACCES) for a link, whose
// target keeps its permissions; false when the file is not a regular file or its permissions
// cannot be changed.
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

// For the tests of crashes: the point of an in-place write at which the process ends (_exit),
// as if it died there: the journal made and flushed, half of the region written, all of it.
enum class TCrashPoint { None, JournalMade, HalfWritten, Written };
void SetCrashPoint(TCrashPoint point);

}  // namespace melotag::tags
