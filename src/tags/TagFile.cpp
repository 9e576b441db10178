#include "TagFile.h"

#include "TagError.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

namespace tagfile {

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

}  // namespace

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
  if (stat(path.c_str(), &st) != 0) return Failed();
  if (!S_ISREG(st.st_mode)) return Failed(kNotRegularFile);
  if (st.st_mode & S_IWUSR) return true;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 || Failed();
}

TFile::~TFile() {
  Close();
}

bool TFile::Open(const std::string& path, bool writable) {
  Close();
  // O_NONBLOCK: opening a named pipe must not wait for a writer.
  int fd = open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  return (fd >= 0 || Failed()) && Adopt(fd);
}

bool TFile::OpenLocked(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!Open(path, true)) return false;
    // A new content of this file waiting in this thread's group would wait for this lock forever.
    if (TCommitGroup* group = TCommitGroup::Current()) group->FlushIfHolding(FDevice, FInode);
    int locked;
    do {
      locked = flock(FFd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      if (errno == EOPNOTSUPP || errno == ENOLCK || errno == ENOSYS) return true;
      Failed();
      Close();
      return false;
    }
    // The size and the permissions as the previous writer left them.
    struct stat named;
    if (!Adopt(FFd)) return false;
    if (stat(path.c_str(), &named) == 0 && named.st_dev == FDevice && named.st_ino == FInode) {
      return true;
    }
    Close();  // a new file took the name while this one waited: lock that one
  }
  return Failed(kFileKeepsChanging);
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

int64_t TFile::ReadAt(int64_t offset, void* dest, size_t count) {
  if (FFd < 0 || offset < 0) return -1;
  char* out = static_cast<char*>(dest);
  if (FBlockLength < 0 && offset < static_cast<int64_t>(kBlockSize)) {
    // Keep the first block: the header and the frames of a small tag all come from it. A file
    // shorter than a block is read up to its size as of opening: one call, no read at its end.
    const size_t want = FSize >= 0 && FSize < static_cast<int64_t>(kBlockSize)
                            ? static_cast<size_t>(FSize)
                            : kBlockSize;
    size_t got = 0;
    while (got < want) {
      ssize_t n = pread(FFd, FBlock + got, want - got, static_cast<off_t>(got));
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
    std::memcpy(out, FBlock + offset, done);
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

namespace {

thread_local TCommitGroup* tCurrentGroup = nullptr;

}  // namespace

TCommitGroup::TCommitGroup(size_t capacity)
    : FCapacity(std::max<size_t>(capacity, 1)), FOuter(tCurrentGroup) {
  tCurrentGroup = this;
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
  FPending.push_back({std::move(out), std::move(source), std::move(path)});
  if (FPending.size() >= FCapacity) Commit();
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
  // One sync of each file system that holds a waiting file.
  std::vector<std::pair<dev_t, bool>> devices;
  for (const TPending& pending : FPending) {
    const dev_t device = pending.Source->Device();
    if (std::none_of(devices.begin(), devices.end(),
                     [&](const auto& known) { return known.first == device; }))
      devices.emplace_back(device, syncfs(pending.Out->Fd()) == 0);
  }
  // Every rename, the folders kept open to be flushed once each afterwards.
  std::vector<std::pair<dev_t, ino_t>> folders;
  std::vector<int> folderFds;
  for (TPending& pending : FPending) {
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
  for (const int fd : folderFds) {
    if (fsync(fd) != 0) {
    }
    close(fd);
  }
}

}  // namespace tagfile
