#include "detail/InPlace.h"

#include "CommitGroup.h"
#include "FrameLayout.h"
#include "TagError.h"
#include "detail/File.h"
#include "detail/Io.h"
#include "detail/JournaledWrite.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace melotag::tags {

namespace {

// Changed spans fewer bytes apart are written as one region: a journal entry costs about as much.
constexpr size_t kRegionGap = 64;

}  // namespace

bool WriteInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t offset,
                  std::string bytes, std::string_view old) {
  std::string read;
  if (old.size() != bytes.size()) {
    read.assign(bytes.size(), '\0');
    if (!file->ReadExactly(offset, read.data(), read.size())) return false;
    old = read;
  }
  // Only the bytes that change are journaled and written, region by region.
  std::vector<TRegion> regions;
  for (const auto& [from, to] : ChangedSpans(bytes, old, kRegionGap))
    regions.push_back({offset + static_cast<int64_t>(from),
                       std::string_view(bytes).substr(from, to - from),
                       old.substr(from, to - from)});
  if (regions.empty()) return true;
  // In a group the old bytes go into the folder's journal at once.
  if (TCommitGroup* group = TCommitGroup::Current()) {
    group->AddInPlace(std::move(file), path, regions);
    return true;
  }
  return WriteJournaled(*file, path, regions);
}

namespace {

// Whether a file system takes insertions, tried once per file system (a mount option such as
// ext4's data=journal refuses them whatever its files say): a block inserted into an unnamed
// file of two blocks in the folder.
bool InsertsWork(const std::string& folder, dev_t device, int64_t block) {
  static std::mutex guard;
  static std::vector<std::pair<dev_t, bool>> known;
  const std::lock_guard<std::mutex> lock(guard);
  for (const auto& [seen, works] : known)
    if (seen == device) return works;
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return false;  // not tried here (a folder that takes no file): not remembered
  const bool works =
      ftruncate(fd, 2 * block) == 0 && fallocate(fd, FALLOC_FL_INSERT_RANGE, 0, block) == 0;
  close(fd);
  known.emplace_back(device, works);
  return works;
}

}  // namespace

int64_t InsertBlock(const TFile& file, const std::string& path) {
  struct statfs fs {};
  struct stat st {};
  if (fstatfs(file.Fd(), &fs) != 0 || fstat(file.Fd(), &st) != 0 || st.st_size <= 0) return 0;
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342;
  if (fs.f_type == kExt4) {
    // Only files kept in extents (not those of an ext3 past) and not journaling their data take
    // insertions.
    int flags = 0;
    if (ioctl(file.Fd(), FS_IOC_GETFLAGS, &flags) != 0 || (flags & FS_EXTENT_FL) == 0 ||
        (flags & FS_JOURNAL_DATA_FL) != 0)
      return 0;
  } else if (fs.f_type != kXfs) {
    return 0;
  }
  const int64_t block = st.st_blksize;
  if (block <= 0 || fs.f_bsize <= 0 || block % fs.f_bsize != 0) return 0;
  return InsertsWork(Split(path).first, st.st_dev, block) ? block : 0;
}

bool GrowInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t inserted,
                 std::string bytes, std::string_view old) {
  // The insertion itself does not heed the process's limit on file sizes; the writes would.
  struct rlimit limit {};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<uint64_t>(file->Size() + inserted) > limit.rlim_cur) {
    errno = EFBIG;
    return Failed();
  }
  if (TCommitGroup* group = TCommitGroup::Current()) {
    group->AddInPlace(std::move(file), path, {{0, bytes, old}}, inserted);
    return true;
  }
  std::string oldBytes(old);
  oldBytes.resize(bytes.size() - static_cast<size_t>(inserted));
  if (old.size() != oldBytes.size() && !file->ReadExactly(0, oldBytes.data(), oldBytes.size()))
    return false;
  return WriteGrownJournaled(*file, path, inserted, bytes, oldBytes);
}

}  // namespace melotag::tags
