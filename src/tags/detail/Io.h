// The system calls under the tag files: reads and writes repeated through interruptions and short
// transfers, names of a folder's files.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <sys/types.h>

namespace melotag::tags {

// Moves `count` bytes by steps: `step(done)` moves bytes from `done` on with one read or write
// and returns its result (the bytes moved, 0 at the end of a file, -1 with errno set). A step
// interrupted by a signal (EINTR) is made again. The bytes moved: all of them, fewer when a step
// moved none, or -1 when a step failed (errno tells why).
template <class TStep>
int64_t Repeat(size_t count, TStep step) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = step(done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// Reads up to count bytes at offset: the number read (short only at the end of the file), -1 on
// an error.
int64_t ReadFullAt(int fd, int64_t offset, void* dest, size_t count);
// Writes all bytes at offset; false on an error (errno; ENOSPC when the system wrote none).
bool WriteFullAt(int fd, int64_t offset, const void* data, size_t count);
// Writes all bytes at the descriptor's position; false on any error (noted, see TagError.h).
bool WriteAll(int fd, const void* data, size_t count);

// How often a lock or a name is tried before giving up: another writer would have to replace
// the file, or take the name, this many times in a row.
inline constexpr int kAttempts = 100;

// The name of a path, a view of it.
std::string_view NameOf(const std::string& path);
// The folder part of a path ("." without one) and its name.
std::pair<std::string, std::string> Split(const std::string& path);
// A hidden name beside the file that says whose it is (".<name>.melotag-XXXXXXXX", eight random
// letters and digits); the file's part is cut so that the whole stays a valid name.
std::string UniqueName(const std::string& fileName);

// A file descriptor closed with its owner.
class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd();
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

}  // namespace melotag::tags
