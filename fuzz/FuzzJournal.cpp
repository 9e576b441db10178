// Crash recovery on any journal: a folder's ".melotag-journal" made of the fuzzer's bytes, either
// as they come or as regions of a journal the writer would make (names, places, sizes, old and
// new bytes chosen by the bytes), applied in a scratch folder. Nothing outside the folder is ever
// written, and a file is changed only by a journal of its own identity.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Journal.h"
#include "detail/JournalFormat.h"

using namespace melotag::tags;

namespace {

std::string gRoot;  // holds "album" (the scratch folder) and "outside"

void Put(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::abort();
  close(fd);
}

std::string Get(const std::string& path) {
  std::string bytes(1 << 16, '\0');
  const int fd = open(path.c_str(), O_RDONLY);
  const ssize_t n = fd < 0 ? 0 : read(fd, bytes.data(), bytes.size());
  if (fd >= 0) close(fd);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

// Reads the fuzzer's bytes a piece at a time; zeros once they run out.
struct TInput {
  std::string_view Bytes;
  uint8_t Byte() {
    if (Bytes.empty()) return 0;
    const uint8_t b = static_cast<uint8_t>(Bytes[0]);
    Bytes.remove_prefix(1);
    return b;
  }
  std::string Take(size_t n) {
    n = std::min(n, Bytes.size());
    std::string out(Bytes.substr(0, n));
    Bytes.remove_prefix(n);
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/fuzz-journal-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  gRoot = folder;
  mkdir((gRoot + "/album").c_str(), 0700);
  mkdir((gRoot + "/album/sub").c_str(), 0700);
  mkdir((gRoot + "/outside").c_str(), 0700);
  symlink("../outside", (gRoot + "/album/lnk").c_str());
  symlink("../outside/x", (gRoot + "/album/link.mp3").c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string album = gRoot + "/album", outside = gRoot + "/outside/x";
  const std::string song = album + "/song.mp3";
  std::string songBytes(6000, '\0');
  for (size_t i = 0; i < songBytes.size(); ++i) songBytes[i] = static_cast<char>(i * 7 + i / 251);
  Put(song, songBytes);
  Put(outside, "SAFE CONTENT");
  TInput in{std::string_view(reinterpret_cast<const char*>(data), size)};
  const uint8_t mode = in.Byte();
  std::string journal;
  if (mode & 1) {
    journal = std::string(in.Bytes);
  } else {
    struct stat st {};
    stat(song.c_str(), &st);
    static const char* const kNames[] = {
        "song.mp3", "missing.mp3", "../outside/x", "sub", ".", "lnk/x", "link.mp3", "", "song.mp3"};
    std::vector<TJournalRegion> regions;
    while (!in.Bytes.empty() && regions.size() < 8) {
      TJournalRegion r;
      r.Name = kNames[in.Byte() % (sizeof kNames / sizeof *kNames)];
      r.Device = st.st_dev;
      r.Inode = st.st_ino ^ (in.Byte() == 0xFF ? 1 : 0);
      r.Offset = (in.Byte() << 8 | in.Byte()) % 7000;
      const size_t length = in.Byte() * 4u;
      const uint8_t how = in.Byte();
      r.Inserted = how & 1 ? 4096 : 0;
      r.OldSize = static_cast<uint64_t>(st.st_size) + (how & 2 ? in.Byte() : 0);
      // Old bytes as the file holds them, or the fuzzer's; new ones likewise.
      r.Old = how & 4 ? songBytes.substr(std::min<size_t>(r.Offset, songBytes.size()), length)
                      : in.Take(length);
      r.New = how & 8 ? in.Take(length + r.Inserted) : std::string(length + r.Inserted, 'n');
      regions.push_back(std::move(r));
    }
    journal = JournalBytes(regions);
    if (mode & 2 && !journal.empty()) journal[in.Byte() % journal.size()] ^= 1;
  }
  Put(album + "/.melotag-journal", journal);
  RecoverJournal(album + "/.melotag-journal");
  unlink((album + "/.melotag-journal").c_str());
  if (Get(outside) != "SAFE CONTENT") std::abort();  // written through a name or a link
  return 0;
}
