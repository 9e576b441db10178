// Tag figures against peers measured in the same run: an ID3v2 write against a plain copy of
// the same file (cp), and reading both tags of many small files against TagLib; with the Unicode
// options, reading 2.3 UTF-16 and 2.4 UTF-8 tags against TagLib, and a write that keeps a 5 MB
// cover against cp.
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
#include "ID3v2Frames.h"
#include "MpegAudio.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values);

// The median times of two readers, the page cache warmed for both, their rounds taken in turn.
std::pair<double, double> Alternating(const std::function<void()>& ours,
                                      const std::function<void()>& theirs, int rounds) {
  ours();
  theirs();
  std::vector<double> a, b;
  for (int round = 0; round < rounds; ++round) {
    a.push_back(Milliseconds(ours));
    b.push_back(Milliseconds(theirs));
  }
  return {Median(a), Median(b)};
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
  const auto [m, t] = Alternating(melotag, taglib, rounds);
  std::printf(
      "Read both tags of %d small files: melotag %.1f ms, TagLib %.1f ms, ratio %.2f "
      "(target <= 1.0)\n",
      files, m, t, m / t);
  if (sink == 0) std::printf("(nothing read)\n");
}

// A 2.4 frame with a synchsafe size.
std::string Frame24(const std::string& id, const std::string& data) {
  std::string frame = id;
  const auto size = static_cast<uint32_t>(data.size());
  for (int shift = 21; shift >= 0; shift -= 7)
    frame.push_back(static_cast<char>((size >> shift) & 0x7F));
  return frame + std::string(2, '\0') + data;
}

// A 2.4 tag of UTF-8 text frames.
std::string Tag24(int n) {
  std::string body = Frame24("TIT2", "\x03\xE6\xAD\x8C " + std::to_string(n)) +
                     Frame24("TPE1", "\x03\xE6\xAD\x8C\xE6\x89\x8B") +
                     Frame24("TALB", "\x03\xE5\xB0\x88\xE8\xBC\xAF") +
                     Frame24("TRCK",
                             "\x03"
                             "7") +
                     Frame24("TDRC",
                             "\x03"
                             "2004") +
                     Frame24("TCON", "\x03Rock") +
                     Frame24("COMM", std::string("\x03"
                                                 "eng\0",
                                                 5) +
                                         "\xE8\xA9\x95") +
                     Frame24("TXXX", std::string("\x03MOOD\0", 6) + "\xE5\xBF\xAB");
  std::string tag("ID3\x04\0\0", 6);
  const auto size = static_cast<uint32_t>(body.size());
  for (int shift = 21; shift >= 0; shift -= 7)
    tag.push_back(static_cast<char>((size >> shift) & 0x7F));
  return tag + body;
}

void UnicodeReadFigure(const fs::path& folder, int files, int rounds) {
  using namespace melotag::editor;
  std::vector<std::string> paths;
  const std::string audio = Audio(4 * 417);
  for (int i = 0; i < files; ++i) {
    std::string path = (folder / ("unicode" + std::to_string(i) + ".mp3")).string();
    if (i % 2) {
      WriteBytes(path, Tag24(i) + audio);
    } else {
      // 2.3 with UTF-16 text, as the Unicode write makes it.
      WriteBytes(path, audio);
      TID3v2Text text;
      text.Fields[TField::Title] = QString::fromUtf16(u"\u6B4C ") + QString::number(i);
      text.Fields[TField::Artist] = QString::fromUtf16(u"\u6B4C\u624B");
      text.Fields[TField::Album] = QString::fromUtf16(u"\u5C08\u8F2F");
      text.Fields[TField::Track] = QStringLiteral("7");
      text.Fields[TField::Year] = "2004";
      text.Fields[TField::Genre] = "Rock";
      text.Fields[TField::Comment] = QString::fromUtf16(u"\u8A55");
      Check(WriteID3v2(path, ChangesOf(text.Fields), {true, true, false}).Ok,
            "tagging a small file");
    }
    paths.push_back(path);
  }
  size_t sink = 0;
  auto melotag = [&] {
    TID3v2Text text;
    for (const std::string& path : paths) {
      Check(LoadID3v2Text(path, text) && text.Exists, "reading");
      for (const TFieldRow& row : FieldTable()) sink += text.Fields.Text(row.Field).size();
    }
  };
  auto taglib = [&] {
    for (const std::string& path : paths) {
      TagLib::MPEG::File file(path.c_str(), false);
      TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
      Check(tag, "TagLib reading");
      sink += tag->title().size() + tag->artist().size() + tag->album().size() + tag->year() +
              tag->comment().size() + tag->track() + tag->genre().size();
    }
  };
  const auto [m, t] = Alternating(melotag, taglib, rounds);
  std::printf(
      "Read the ID3v2 tags of %d files (2.3 UTF-16, 2.4 UTF-8) with Unicode reading: melotag "
      "%.1f ms, TagLib %.1f ms, ratio %.2f (target <= 1.0)\n",
      files, m, t, m / t);
  if (sink == 0) std::printf("(nothing read)\n");
  std::fflush(stdout);
  for (const std::string& path : paths) fs::remove(path);
}

void KeptCoverWriteFigure(const fs::path& folder, int coverMegabytes, int audioMegabytes,
                          int rounds) {
  using namespace melotag::editor;
  const std::string path = (folder / "cover.mp3").string();
  const std::string copy = (folder / "cover-copy.mp3").string();
  std::string cover = "\xFF\xD8\xFF\xE0";
  cover.resize(static_cast<size_t>(coverMegabytes) << 20, '\x5A');
  std::vector<melotag::tags::TFrame> frames = {
      {"TIT2", 0, std::string("\0Title", 6)},
      {"APIC", 0, std::string("\0image/jpeg\0\x03\0", 14) + cover}};
  WriteBytes(path,
             *melotag::tags::BuildTag23(frames) + Audio(static_cast<size_t>(audioMegabytes) << 20));
  Fsync(path);
  Copy(path, copy);
  Fsync(copy);
  std::vector<double> melotag, cp, cpSync;
  for (int round = 0; round < rounds; ++round) {
    TID3v2Text text;
    text.Fields[TField::Title] = QString::fromUtf16(u"\u6B4C ") + QString::number(round);
    text.Fields[TField::Artist] = "Artist";
    melotag.push_back(Milliseconds([&] {
      Check(WriteID3v2(path, ChangesOf(text.Fields), {true, true, true}).Ok, "write");
    }));
    cp.push_back(Milliseconds([&] { Copy(path, copy); }));
    Fsync(copy);  // outside the figure: no write-back left over for the next round
    cpSync.push_back(Milliseconds([&] {
      Copy(path, copy);
      Fsync(copy);
    }));
  }
  melotag::tags::TFrameTag tag;
  Check(melotag::tags::ReadFrameTag(path, tag) && tag.Frames.size() == 3 &&
            tag.Frames[2].Data.size() == 14 + cover.size(),
        "the cover kept");
  fs::remove(copy);
  fs::remove(path);
  const double m = Median(melotag), c = Median(cp), cs = Median(cpSync);
  std::printf(
      "ID3v2 write keeping a %d MB cover (%d MB of audio): melotag %.1f ms, cp %.1f ms, ratio "
      "%.2f (target <= 1.3)\n",
      coverMegabytes, audioMegabytes, m, c, m / c);
  std::printf(
      "ID3v2 write keeping a %d MB cover (%d MB of audio): melotag %.1f ms, cp+fsync %.1f ms, "
      "ratio %.2f (for reference)\n",
      coverMegabytes, audioMegabytes, m, cs, m / cs);
  std::fflush(stdout);
}

// One changed field written into a 100 MB file whose tag has room for it: in place, journaled.
void InPlaceFigure(const fs::path& folder, int megabytes, int rounds) {
  using namespace melotag::editor;
  const std::string path = (folder / "roomy.mp3").string();
  const std::string copy = (folder / "copy.mp3").string();
  WriteBytes(path, Audio(static_cast<size_t>(megabytes) << 20));
  // The first write makes a tag with padding; every later one fits.
  Check(
      WriteID3v2Changes(
          path, {{{TField::Title, QStringLiteral("Title")}, {TField::Artist, QStringLiteral("A")}}},
          false)
          .Ok,
      "first write");
  Fsync(path);
  Copy(path, copy);
  Fsync(copy);
  std::vector<double> melotag, cp;
  for (int round = 0; round < rounds; ++round) {
    const QString artist = QStringLiteral("Artist ") + QString::number(round);
    melotag.push_back(Milliseconds([&] {
      Check(WriteID3v2Changes(path, {{{TField::Artist, artist}}}, false).Ok, "write");
    }));
    cp.push_back(Milliseconds([&] { Copy(path, copy); }));
    Fsync(copy);  // outside the figure: no write-back left over for the next round
  }
  TID3v2Text text;
  Check(LoadID3v2Text(path, text) && text.Fields.Text(TField::Artist) ==
                                         QStringLiteral("Artist ") + QString::number(rounds - 1),
        "the artist written");
  fs::remove(copy);
  fs::remove(path);
  const double m = Median(melotag), c = Median(cp);
  std::printf(
      "ID3v2 write into a %d MB file whose tag has room: melotag %.2f ms, cp %.1f ms, ratio %.4f "
      "(target <= 0.05)\n",
      megabytes, m, c, m / c);
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "melotag-bench-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  const fs::path folder = pattern;
  WriteFigure(folder, 10, 15);
  WriteFigure(folder, 100, 7);
  ReadFigure(folder, 1000, 7);
  setenv("MELOTAG_CODEPAGE", "1252", 1);
  UnicodeReadFigure(folder, 1000, 7);
  KeptCoverWriteFigure(folder, 5, 5, 15);
  InPlaceFigure(folder, 100, 7);
  fs::remove_all(folder);
  return 0;
}
