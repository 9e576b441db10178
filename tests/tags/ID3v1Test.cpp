#include "ID3v1.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>

#include "TagTestSupport.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

class ID3v1Test : public ::testing::Test {
 protected:
  std::string MakeFile(const std::string& bytes, const std::string& name = "song.mp3") {
    std::string path = dir.Path(name);
    WriteBytes(path, bytes);
    return path;
  }
  TTempDir dir;
  std::string audio = MpegAudio();
  TID3v1 tag;
};

TEST(ID3v1Genres, TableHoldsTheNamesInIndexOrderWithTheirSpellings) {
  ASSERT_EQ(GenreNames.size(), 148u);
  EXPECT_EQ(GenreNames[0], "Blues");
  EXPECT_EQ(GenreNames[17], "Rock");
  EXPECT_EQ(GenreNames[67], "Psychadelic");
  EXPECT_EQ(GenreNames[85], "Bebob");
  EXPECT_EQ(GenreNames[92], "Progessive Rock");
  EXPECT_EQ(GenreNames[123], "A capella");
  EXPECT_EQ(GenreNames[147], "Synthpop");
}

TEST(ID3v1Setters, TrimTrailingBlanksThenCutToTheFieldWidth) {
  struct Case {
    std::string input, title, year;
  } cases[] = {
      {"Song", "Song", "Song"},
      {"Song \t\r\n", "Song", "Song"},
      {std::string("Song\0\0", 6), "Song", "Song"},
      {"  lead", "  lead", "  le"},
      {std::string(31, 'x'), std::string(30, 'x'), "xxxx"},
      {std::string(29, 'x') + " yz  ", std::string(29, 'x') + " ", "xxxx"},
      {"\xA7\x41\xA6\x6E", "\xA7\x41\xA6\x6E", "\xA7\x41\xA6\x6E"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    TID3v1 tag;
    tag.SetTitle(c.input);
    tag.SetYear(c.input);
    tag.SetArtist(c.input);
    tag.SetAlbum(c.input);
    tag.SetComment(c.input);
    EXPECT_EQ(tag.Title(), c.title) << Hex(c.input);
    EXPECT_EQ(tag.Artist(), c.title);
    EXPECT_EQ(tag.Album(), c.title);
    EXPECT_EQ(tag.Comment(), c.title);
    EXPECT_EQ(tag.Year(), c.year) << Hex(c.input);
  }
}

TEST_F(ID3v1Test, WriteAppendsAZeroPaddedTrailerAndReadsBack) {
  std::string path = MakeFile(audio);
  tag.SetTitle("Title");
  tag.SetArtist("Artist");
  tag.SetAlbum("Album");
  tag.SetYear("2001");
  tag.SetComment("Comment");
  tag.SetTrack(7);
  tag.SetGenreIndex(17);
  ASSERT_TRUE(tag.WriteToFile(path));

  std::string expected(128, '\0');
  expected.replace(0, 8, "TAGTitle");
  expected.replace(33, 6, "Artist");
  expected.replace(63, 5, "Album");
  expected.replace(93, 4, "2001");
  expected.replace(97, 7, "Comment");
  expected[126] = 7;
  expected[127] = 17;
  EXPECT_EQ(ReadBytes(path), audio + expected);

  TID3v1 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_TRUE(read.Exists());
  EXPECT_EQ(read.Version(), 2);
  EXPECT_EQ(read.Title(), "Title");
  EXPECT_EQ(read.Artist(), "Artist");
  EXPECT_EQ(read.Album(), "Album");
  EXPECT_EQ(read.Year(), "2001");
  EXPECT_EQ(read.Comment(), "Comment");
  EXPECT_EQ(read.Track(), 7);
  EXPECT_EQ(read.GenreIndex(), 17);
}

TEST_F(ID3v1Test, VersionRuleDecidesCommentWidthAndTrack) {
  const std::string comment30 = std::string(28, 'c') + "yz";
  struct Case {
    uint8_t byte125, byte126;
    int version;
    std::string comment;
    int track;
  } cases[] = {
      {0x00, 0x05, 2, std::string(28, 'c'), 5},      {0x20, 'x', 2, std::string(28, 'c'), 'x'},
      {0x20, 0x20, 1, std::string(28, 'c'), 0},  // trailing spaces trimmed
      {0x00, 0x00, 1, std::string(28, 'c'), 0},      {'y', 'z', 1, comment30, 0},
      {'y', 0x00, 1, std::string(28, 'c') + "y", 0},
  };
  for (const Case& c : cases) {
    std::string path =
        MakeFile(audio + Trailer("T", std::string(28, 'c'), c.byte125, c.byte126, 3));
    ASSERT_TRUE(tag.LoadFromFile(path));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.Version(), c.version) << int(c.byte125) << "/" << int(c.byte126);
    EXPECT_EQ(tag.Comment(), c.comment) << int(c.byte125) << "/" << int(c.byte126);
    EXPECT_EQ(tag.Track(), c.track);
    EXPECT_EQ(tag.GenreIndex(), 3);
  }
}

TEST_F(ID3v1Test, ReadTrimsSpaceAndZeroPaddingButKeepsInnerBytes) {
  std::string trailer = Trailer(std::string("ab\0cd", 5), "", 0, 0, 255);
  trailer.replace(33, 30, std::string("Artist") + std::string(24, ' '));
  trailer.replace(93, 4, "99 \x01");
  std::string path = MakeFile(audio + trailer);
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_EQ(tag.Title(), std::string("ab\0cd", 5));
  EXPECT_EQ(tag.Artist(), "Artist");
  EXPECT_EQ(tag.Year(), "99");
  EXPECT_EQ(tag.GenreIndex(), 255);
}

TEST_F(ID3v1Test, FileWithoutTrailerReadsClearedAndGrowsByOneTrailerOnWrite) {
  std::string path = MakeFile(audio);
  tag.SetTitle("stale");
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_FALSE(tag.Exists());
  EXPECT_EQ(tag.Version(), 1);
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.GenreIndex(), 255);
  EXPECT_EQ(tag.Track(), 0);

  EXPECT_TRUE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), audio);
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path).size(), audio.size() + 128);
}

TEST_F(ID3v1Test, WritingTwiceLeavesOneTrailerAndDeleteRestoresTheAudio) {
  std::string path = MakeFile(audio);
  tag.SetTitle("first");
  ASSERT_TRUE(tag.WriteToFile(path));
  tag.SetTitle("second");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path).size(), audio.size() + 128);
  TID3v1 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_EQ(read.Title(), "second");
  ASSERT_TRUE(read.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), audio);
}

TEST_F(ID3v1Test, LongCommentKeepsItsWidthOnlyWithoutTrack) {
  struct Case {
    uint8_t track;
    int version;
    std::string comment;
  } cases[] = {{0, 1, std::string(30, 'c')}, {9, 2, std::string(28, 'c')}};
  for (const Case& c : cases) {
    std::string path = MakeFile(audio);
    tag.SetComment(std::string(30, 'c'));
    tag.SetTrack(c.track);
    ASSERT_TRUE(tag.WriteToFile(path));
    TID3v1 read;
    ASSERT_TRUE(read.LoadFromFile(path));
    EXPECT_EQ(read.Version(), c.version);
    EXPECT_EQ(read.Comment(), c.comment);
    EXPECT_EQ(read.Track(), c.track);
  }
}

TEST_F(ID3v1Test, GenreIndexBeyondTheTableTravelsUnchanged) {
  std::string path = MakeFile(audio);
  tag.SetGenreIndex(200);
  ASSERT_TRUE(tag.WriteToFile(path));
  TID3v1 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_EQ(read.GenreIndex(), 200);
}

TEST_F(ID3v1Test, FileShorterThanATrailerIsRefusedUnchanged) {
  for (size_t size : {0, 1, 127}) {
    std::string bytes(size, 'a');
    if (size >= 3) bytes.replace(0, 3, "TAG");
    std::string path = MakeFile(bytes);
    EXPECT_FALSE(tag.LoadFromFile(path)) << size;
    EXPECT_FALSE(tag.DeleteFromFile(path)) << size;
    EXPECT_FALSE(tag.WriteToFile(path)) << size;
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

TEST_F(ID3v1Test, ExactlyOneTrailerIsAFileOfItsOwn) {
  std::string path = MakeFile(Trailer("Only", "", 0, 0, 1));
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_EQ(tag.Title(), "Only");
  ASSERT_TRUE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(ID3v1Test, WritingAReadOnlyFileAddsOnlyTheOwnersWritePermission) {
  for (unsigned mode : {0444u, 0400u, 0404u, 0640u}) {
    std::string path = MakeFile(audio + Trailer("x", "", 0, 0, 1));
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    tag.SetTitle("new");
    ASSERT_TRUE(tag.WriteToFile(path)) << std::oct << mode;
    EXPECT_EQ(Permissions(path), mode | 0200) << std::oct << mode;
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(tag.DeleteFromFile(path));
    EXPECT_EQ(Permissions(path), mode | 0200) << std::oct << mode;
    EXPECT_EQ(ReadBytes(path), audio);
  }
}

TEST_F(ID3v1Test, EditChangesItsFieldsAndKeepsTheOthers) {
  // From a file with a trailer, a file without one, and an edit that changes nothing.
  struct Case {
    std::string file;
    std::function<void(TID3v1&)> edit;
    std::string title, artist, comment;
    uint8_t track;
  } cases[] = {
      {audio + Trailer("Old", "Note", 0, 7, 17), [](TID3v1& t) { t.SetArtist("New"); }, "Old",
       "New", "Note", 7},
      {audio, [](TID3v1& t) { t.SetTitle("First"); }, "First", "", "", 0},
      {audio + Trailer("Same", "", 0, 0, 1), [](TID3v1&) {}, "Same", "", "", 0},
  };
  for (const Case& c : cases) {
    const std::string path = MakeFile(c.file);
    ASSERT_TRUE(tag.EditFile(path, c.edit)) << c.title;
    EXPECT_EQ(tag.Title(), c.title);
    TID3v1 read;
    ASSERT_TRUE(read.LoadFromFile(path));
    EXPECT_EQ(read.Title(), c.title);
    EXPECT_EQ(read.Artist(), c.artist);
    EXPECT_EQ(read.Comment(), c.comment);
    EXPECT_EQ(read.Track(), c.track);
    EXPECT_EQ(ReadBytes(path).substr(0, audio.size()), audio);
    EXPECT_EQ(ReadBytes(path).size(), audio.size() + 128);
  }
}

TEST_F(ID3v1Test, TwoProcessesEditingDifferentFieldsLoseNeitherChange) {
  // Each process writes its own field again and again and finds, under the lock, the value it
  // wrote last: a writer that read the trailer before the other's write and wrote after it would
  // put an older value back.
  const std::string path = MakeFile(audio + Trailer("t-", "", 0, 0, 1));
  constexpr int kRounds = 60;
  const auto run = [&](bool title) {
    TID3v1 v1;
    int lost = 0;
    const std::string first = title ? "t-" : "";
    for (int i = 0; i < kRounds; ++i) {
      const std::string before = i == 0 ? first : (title ? "t-" : "a-") + std::to_string(i - 1);
      const bool edited = v1.EditFile(path, [&](TID3v1& t) {
        if ((title ? t.Title() : t.Artist()) != before) ++lost;
        usleep(500);  // between the read and the write, where the other writer would come
        const std::string now = (title ? "t-" : "a-") + std::to_string(i);
        title ? t.SetTitle(now) : t.SetArtist(now);
      });
      if (!edited) return 2;
    }
    return lost > 0 ? 1 : 0;
  };
  const pid_t child = fork();
  if (child == 0) _exit(run(true));
  ASSERT_GT(child, 0);
  EXPECT_EQ(run(false), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  TID3v1 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_EQ(read.Title(), "t-" + std::to_string(kRounds - 1));
  EXPECT_EQ(read.Artist(), "a-" + std::to_string(kRounds - 1));
}

}  // namespace
