#include "detail/File.h"

#include "FileLock.h"
#include "Journal.h"
#include "TagError.h"
#include "detail/Io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace melotag::tags {

namespace {

std::atomic<TBeforeLockWait> gBeforeLockWait{nullptr};

}  // namespace

void SetBeforeLockWait(TBeforeLockWait hook) {
  gBeforeLockWait.store(hook);
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
    if (const TBeforeLockWait hook = gBeforeLockWait.load()) hook(FDevice, FInode);
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
    const int64_t got = ReadFullAt(FFd, 0, FBlock.get(), want);
    if (got < 0) return -1;
    FBlockLength = got;
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
  const int64_t rest =
      ReadFullAt(FFd, offset + static_cast<int64_t>(done), out + done, count - done);
  return rest < 0 ? -1 : static_cast<int64_t>(done) + rest;
}

bool TFile::ReadExactly(int64_t offset, void* dest, size_t count) {
  const int64_t got = ReadAt(offset, dest, count);
  return got == static_cast<int64_t>(count) || Failed(got < 0 ? errno : kFileTooShort);
}

bool TFile::WriteAt(int64_t offset, const void* data, size_t count) {
  if (FFd < 0 || offset < 0) return Failed(EBADF);
  FBlockLength = -1;
  return WriteFullAt(FFd, offset, data, count) || Failed();
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

}  // namespace melotag::tags
