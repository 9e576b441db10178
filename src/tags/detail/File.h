// A file of the tag classes: opened, locked, read and written. For the tag classes and their
// tests; the program uses the public headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
  // A journal left beside it by a crash (the file's own, or its folder's) is recovered first
  // (RecoverJournal, see Journal.h): that can write this file and, for a folder's journal, other
  // files of its folder, each under its writers' lock.
  bool Open(const std::string& path, bool writable = false);
  // Opens an existing regular file for reading and writing and holds the advisory lock
  // (flock, exclusive) that every writer of the file takes, until Close. The file is then the
  // one the path names, after any writer that held the lock before (a writer that renamed a new
  // file over the path makes it open that one). Waits for the lock; false for what Open
  // refuses, or when the path keeps changing. Where the file system has no locks the file is
  // opened without one. Once the lock is held, a journal left beside the file by a crash is
  // recovered as by Open. Before it waits, this thread's writes of the file that wait for a
  // commit are committed (see SetBeforeLockWait).
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

// Called before a thread waits for a file's lock with the file (device, inode): a write of that
// file that waits for a commit on the thread (see TCommitGroup) must be committed first, or the
// thread would wait for its own lock. None unless set.
using TBeforeLockWait = void (*)(dev_t device, ino_t inode);
void SetBeforeLockWait(TBeforeLockWait hook);

}  // namespace melotag::tags
