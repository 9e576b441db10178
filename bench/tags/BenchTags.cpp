// Tag figures against peers measured in the same run: an ID3v2 write against a plain copy of
// the same file (cp), and reading both tags of many small files against TagLib.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ID3v1.h"
#include "ID3v2.h"
#include "MpegAudio.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "bench_tags: %s failed\n", what);
    std::exit(1);
  }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(out), "writing a fixture");
}

void Fsync(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  Check(fd >= 0 && fsync(fd) == 0, "fsync");
  close(fd);
}

void Copy(const std::string& from, const std::string& to) {
  const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
  pid_t pid;
  Check(posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) == 0,
        "starting cp");
  int status = 0;
  waitpid(pid, &status, 0);
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "cp");
}

// Whole MPEG frames of at least size bytes.
std::string Audio(size_t size) {
  return tagtest::MpegAudio((size + tagtest::kMpegFrameSize - 1) / tagtest::kMpegFrameSize);
}

void Fill(TID3v2& tag, int n) {
  tag.SetTitle("Title " + std::to_string(n));
  tag.SetArtist("Artist");
  tag.SetAlbum("Album");
  tag.SetTrack(static_cast<uint8_t>(n % 200 + 1));
  tag.SetYear("2001");
  tag.SetGenre("Rock");
  tag.SetComment("A comment");
}

void WriteFigure(const fs::path& folder, int megabytes, int rounds) {
  const std::string path = (folder / "big.mp3").string();
  const std::string copy = (folder / "copy.mp3").string();
  {
    TID3v2 tag;
    Fill(tag, 0);
    WriteBytes(path, Audio(static_cast<size_t>(megabytes) << 20));
    Check(tag.WriteToFile(path), "first write");
    Fsync(path);
  }
  // The write replaces the file, so the old one's blocks are freed; cp over the previous copy
  // does the same (it truncates it), so both figures include that work.
  Copy(path, copy);
  Fsync(copy);
  std::vector<double> melotag, cp, cpSync;
  for (int round = 0; round < rounds; ++round) {
    TID3v2 tag;
    Fill(tag, round + 1);
    melotag.push_back(Milliseconds([&] { Check(tag.WriteToFile(path), "write"); }));
    cp.push_back(Milliseconds([&] { Copy(path, copy); }));
    Fsync(copy);  // outside the figure: no write-back left over for the next round
    cpSync.push_back(Milliseconds([&] {
      Copy(path, copy);
      Fsync(copy);
    }));
  }
  fs::remove(copy);
  const double m = Median(melotag), c = Median(cp), cs = Median(cpSync);
  std::printf(
      "ID3v2 write of a %d MB file: melotag %.1f ms, cp %.1f ms, ratio %.2f (target <= 1.3)\n",
      megabytes, m, c, m / c);
  std::printf(
      "ID3v2 write of a %d MB file: melotag %.1f ms, cp+fsync %.1f ms, ratio %.2f (for "
      "reference)\n",
      megabytes, m, cs, m / cs);
  std::fflush(stdout);
  fs::remove(path);
}

void ReadFigure(const fs::path& folder, int files, int rounds) {
  std::vector<std::string> paths;
  const std::string audio = Audio(4 * 417);
  for (int i = 0; i < files; ++i) {
    std::string path = (folder / ("song" + std::to_string(i) + ".mp3")).string();
    WriteBytes(path, audio);
    TID3v2 v2;
    Fill(v2, i);
    Check(v2.WriteToFile(path), "tagging a small file");
    TID3v1 v1;
    v1.SetTitle("Title " + std::to_string(i));
    v1.SetArtist("Artist");
    v1.SetTrack(static_cast<uint8_t>(i % 200 + 1));
    v1.SetGenreIndex(17);
    Check(v1.WriteToFile(path), "tagging a small file");
    paths.push_back(path);
  }
  size_t sink = 0;
  auto melotag = [&] {
    TID3v1 v1;
    TID3v2 v2;
    for (const std::string& path : paths) {
      Check(v1.LoadFromFile(path) && v2.LoadFromFile(path), "reading");
      sink += v1.Title().size() + v1.Artist().size() + v1.Album().size() + v1.Year().size() +
              v1.Comment().size() + v1.Track() + v1.GenreIndex();
      sink += v2.Title().size() + v2.Artist().size() + v2.Album().size() + v2.Year().size() +
              v2.Genre().size() + v2.Comment().size() + v2.Track();
    }
  };
  auto taglib = [&] {
    for (const std::string& path : paths) {
      TagLib::MPEG::File file(path.c_str(), false);
      TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
      TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
      Check(v1 && v2, "TagLib reading");
      for (TagLib::Tag* tag : {static_cast<TagLib::Tag*>(v1), static_cast<TagLib::Tag*>(v2)}) {
        sink += tag->title().size() + tag->artist().size() + tag->album().size() + tag->year() +
                tag->comment().size() + tag->track() + tag->genre().size();
      }
    }
  };
  melotag();  // warm the page cache for both
  taglib();
  std::vector<double> m, t;
  for (int round = 0; round < rounds; ++round) {
    m.push_back(Milliseconds(melotag));
    t.push_back(Milliseconds(taglib));
  }
  std::printf(
      "Read both tags of %d small files: melotag %.1f ms, TagLib %.1f ms, ratio %.2f "
      "(target <= 1.0)\n",
      files, Median(m), Median(t), Median(m) / Median(t));
  if (sink == 0) std::printf("(nothing read)\n");
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "melotag-bench-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  const fs::path folder = pattern;
  WriteFigure(folder, 10, 15);
  WriteFigure(folder, 100, 7);
  ReadFigure(folder, 1000, 7);
  fs::remove_all(folder);
  return 0;
}
