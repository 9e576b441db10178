// File access and text helpers shared by the two tag classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
  void Close();
  bool IsOpen() const { return FFd >= 0; }
  int Fd() const { return FFd; }
  // The size when the file was opened (refreshed by Truncate and Append).
  int64_t Size() const { return FSize; }
  unsigned Mode() const { return FMode; }

  // Reads up to count bytes at offset; returns the number read (short only at the end of the
  // file), or -1 on an error.
  int64_t ReadAt(int64_t offset, void* dest, size_t count);
  // Reads exactly count bytes at offset.
  bool ReadExactly(int64_t offset, void* dest, size_t count);
  bool Truncate(int64_t size);
  // Appends all bytes; a partial append is cut off again, so the file keeps its old length.
  bool Append(const void* data, size_t count);

 private:
  static constexpr size_t kBlockSize = 4096;
  int FFd = -1;
  int64_t FSize = 0;
  unsigned FMode = 0;
  char FBlock[kBlockSize];
  int64_t FBlockLength = -1;  // -1: the first block is not read yet
};

// Writes all bytes to a file descriptor; false on any error.
bool WriteAll(int fd, const void* data, size_t count);

}  // namespace tagfile
