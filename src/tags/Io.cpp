#include "detail/Io.h"

#include "TagError.h"

#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

namespace melotag::tags {

int64_t ReadFullAt(int fd, int64_t offset, void* dest, size_t count) {
  char* out = static_cast<char*>(dest);
  return Repeat(count, [&](size_t done) {
    return pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
  });
}

bool WriteFullAt(int fd, int64_t offset, const void* data, size_t count) {
  const char* in = static_cast<const char*>(data);
  const int64_t done = Repeat(count, [&](size_t at) {
    return pwrite(fd, in + at, count - at, static_cast<off_t>(offset + at));
  });
  if (done == static_cast<int64_t>(count)) return true;
  if (done >= 0) errno = ENOSPC;
  return false;
}

bool WriteAll(int fd, const void* data, size_t count) {
  const char* in = static_cast<const char*>(data);
  const int64_t done = Repeat(count, [&](size_t at) { return write(fd, in + at, count - at); });
  return done == static_cast<int64_t>(count) || Failed(done < 0 ? errno : ENOSPC);
}

namespace {

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

}  // namespace

std::string UniqueName(const std::string& fileName) {
  std::string name(1, '.');
  name.append(fileName, 0, 200).append(".melotag-").append(RandomLetters());
  return name;
}

std::string_view NameOf(const std::string& path) {
  return std::string_view(path).substr(path.rfind('/') + 1);
}

std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

TFd::~TFd() {
  if (FFd >= 0) close(FFd);
}

}  // namespace melotag::tags
