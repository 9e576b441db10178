#include "detail/Replacement.h"

#include "TagError.h"
#include "detail/File.h"
#include "detail/Io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace melotag::tags {

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

}  // namespace melotag::tags
