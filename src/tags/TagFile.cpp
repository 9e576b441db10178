#include "TagFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tagfile {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
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
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_mode & S_IWUSR) return true;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

TFile::~TFile() {
  Close();
}

bool TFile::Open(const std::string& path, bool writable) {
  Close();
  // O_NONBLOCK: opening a named pipe must not wait for a writer.
  int fd = open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  FFd = fd;
  FSize = st.st_size;
  FMode = st.st_mode & 07777;
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
    // Keep the first block: the header and the frames of a small tag all come from it.
    size_t got = 0;
    while (got < kBlockSize) {
      ssize_t n = pread(FFd, FBlock + got, kBlockSize - got, static_cast<off_t>(got));
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
  return ReadAt(offset, dest, count) == static_cast<int64_t>(count);
}

bool TFile::Truncate(int64_t size) {
  if (FFd < 0 || size < 0 || ftruncate(FFd, static_cast<off_t>(size)) != 0) return false;
  FSize = size;
  FBlockLength = -1;
  return true;
}

bool TFile::Append(const void* data, size_t count) {
  if (FFd < 0) return false;
  struct stat st;
  if (fstat(FFd, &st) != 0) return false;
  const char* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(FFd, in + done, count - done, static_cast<off_t>(st.st_size + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Leave no half trailer behind.
      if (ftruncate(FFd, st.st_size) != 0) {
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  FSize = st.st_size + static_cast<int64_t>(count);
  FBlockLength = -1;
  return true;
}

bool WriteAll(int fd, const void* data, size_t count) {
  const char* in = static_cast<const char*>(data);
  while (count > 0) {
    ssize_t n = write(fd, in, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    in += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace tagfile
