// Bad input gives a false result or empty values, never a crash, an overrun or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "ID3v1.h"
#include "ID3v2.h"
#include "TagTestSupport.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

void ExpectCleared(const TID3v1& v1, const TID3v2& v2, const std::string& what) {
  EXPECT_FALSE(v1.Exists()) << what;
  EXPECT_EQ(v1.Title(), "") << what;
  EXPECT_EQ(v1.GenreIndex(), 255) << what;
  EXPECT_FALSE(v2.Exists()) << what;
  EXPECT_EQ(v2.Size(), 0) << what;
  EXPECT_EQ(v2.Title(), "") << what;
}

TEST(BadInput, PathsThatAreNoUsableFileGiveFalseEverywhere) {
  TTempDir dir;
  WriteBytes(dir.Path("empty.mp3"), "");
  WriteBytes(dir.Path("short.mp3"), "ID3\x03");
  WriteBytes(dir.Path("file"), "a file, not a folder");
  std::filesystem::create_directory(dir.Path("folder.mp3"));
  ASSERT_EQ(mkfifo(dir.Path("pipe.mp3").c_str(), 0644), 0);
  std::filesystem::create_symlink(dir.Path("gone.mp3"), dir.Path("dangling.mp3"));
  const std::string paths[] = {
      "",
      dir.Path("missing.mp3"),
      dir.Path("empty.mp3"),
      dir.Path("short.mp3"),
      dir.Path("folder.mp3"),
      dir.Path("pipe.mp3"),
      dir.Path("file/below.mp3"),
      dir.Path("dangling.mp3"),
      "/dev/null",
  };
  for (const std::string& path : paths) {
    TID3v1 v1;
    TID3v2 v2;
    v1.SetTitle("set");
    v2.SetTitle("set");
    EXPECT_FALSE(v1.WriteToFile(path)) << path;
    EXPECT_FALSE(v2.WriteToFile(path)) << path;
    EXPECT_FALSE(v1.DeleteFromFile(path)) << path;
    EXPECT_FALSE(v2.DeleteFromFile(path)) << path;
    EXPECT_FALSE(v1.LoadFromFile(path)) << path;
    EXPECT_FALSE(v2.LoadFromFile(path)) << path;
    ExpectCleared(v1, v2, path);
  }
  EXPECT_EQ(ReadBytes(dir.Path("short.mp3")), "ID3\x03");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path("folder.mp3")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("pipe.mp3~")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("gone.mp3")));
}

// A tag with every known frame, an unknown one and padding, then audio and a trailer.
std::string ValidFile() {
  const std::string z(1, '\0');
  std::string body = Frame("TIT2", z + "Title") + Frame("TPE1", z + "Artist") +
                     Frame("TALB", z + "Album") + Frame("TRCK", z + "3/12") +
                     Frame("TYER", z + "2001") + Frame("TCON", z + "(17)Rock") +
                     Frame("APIC", std::string(300, 'p')) +
                     Frame("COMM", z + "eng" + z + "Comment") + std::string(64, '\0');
  return Tag(body) + MpegAudio(2) + Trailer("Title", "Comment", 0, 3, 17);
}

TEST(BadInput, EveryTruncationOfATaggedFileReadsSafely) {
  TTempDir dir;
  const std::string valid = ValidFile();
  const std::string path = dir.Path("cut.mp3");
  for (size_t length = 0; length <= valid.size(); ++length) {
    WriteBytes(path, valid.substr(0, length));
    TID3v1 v1;
    TID3v2 v2;
    EXPECT_EQ(v1.LoadFromFile(path), length >= 128) << length;
    EXPECT_EQ(v2.LoadFromFile(path), length >= 10) << length;
    // Only a cut inside the tag makes its header declare more than the file holds.
    const bool whole = length >= static_cast<size_t>(valid.find('\xFF'));
    EXPECT_EQ(v2.Title() == "Title", whole) << length;
  }
}

TEST(BadInput, MutatedTagsReadAndRewriteSafely) {
  TTempDir dir;
  const std::string valid = ValidFile();
  const std::string path = dir.Path("mutant.mp3");
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = valid;
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < changes; ++i) {
      // Mostly the header and the frame headers, where the sizes are.
      size_t at = random() % 4 == 0 ? random() % bytes.size() : random() % 120;
      bytes[at] = static_cast<char>(random() % 4 == 0 ? 0xFF : random());
    }
    WriteBytes(path, bytes);
    TID3v1 v1;
    TID3v2 v2;
    EXPECT_TRUE(v1.LoadFromFile(path));
    EXPECT_TRUE(v2.LoadFromFile(path));
    EXPECT_LE(v2.Size(), static_cast<int>(bytes.size()));
    if (round % 25 == 0 && v2.WriteToFile(path)) {
      TID3v2 again;
      ASSERT_TRUE(again.LoadFromFile(path)) << round;
      EXPECT_EQ(again.Title(), v2.Title()) << round;
      // Whatever the old header declared, the bytes behind it follow the new tag unchanged.
      const size_t oldTag = v2.Exists() ? static_cast<size_t>(v2.Size()) : 0;
      EXPECT_TRUE(ReadBytes(path).substr(static_cast<size_t>(again.Size())) == bytes.substr(oldTag))
          << round;
    }
  }
}

}  // namespace
