#include "ID3v2.h"

#include <gtest/gtest.h>

#include "TagTestSupport.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

class ID3v2Test : public ::testing::Test {
 protected:
  std::string MakeFile(const std::string& bytes, const std::string& name = "song.mp3") {
    std::string path = dir.Path(name);
    WriteBytes(path, bytes);
    return path;
  }
  // Reads a file holding the given tag in front of the audio.
  TID3v2 Load(const std::string& tagBytes) {
    TID3v2 tag;
    EXPECT_TRUE(tag.LoadFromFile(MakeFile(tagBytes + audio)));
    return tag;
  }
  TTempDir dir;
  std::string audio = MpegAudio();
};

TEST(ID3v2Routines, BigEndian32ReversesTheByteOrder) {
  EXPECT_EQ(BigEndian32(0x01020304u), 0x04030201u);
  EXPECT_EQ(BigEndian32(BigEndian32(0x80FF0011u)), 0x80FF0011u);
}

TEST(ID3v2Routines, ParseTrackTakesTheNumberBeforeTheSlash) {
  struct Case {
    std::string text;
    int track;
  } cases[] = {
      {"3", 3},
      {"3/12", 3},
      {" 7 ", 7},
      {"3 /12", 0},
      {"x", 0},
      {"", 0},
      {"/5", 0},
      {"12a", 0},
      {"300", 300},
      {"0x1F", 0},
      {"+4", 4},
      {"-1", -1},
      {"99999999999", 0},
      {std::string("\0"
                   "5\0\0",
                   4),
       5},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseTrack(c.text), c.track) << Hex(c.text);
}

TEST(ID3v2Routines, StripGenreReferenceDropsEverythingUpToTheLastParenthesis) {
  struct Case {
    std::string text, genre;
  } cases[] = {
      {"(17)Rock", "Rock"}, {"(17)", ""}, {"Rock (live)", ""},    {"17", "17"}, {"  Pop  ", "Pop"},
      {"(1)(2)X", "X"},     {"", ""},     {"(17) Rock", " Rock"},
  };
  for (const Case& c : cases) EXPECT_EQ(StripGenreReference(c.text), c.genre) << c.text;
}

TEST(ID3v2Routines, TotalTagSizeUsesEveryByteWholeAndIsZeroBeyondTheFile) {
  TagInfo info;
  info.FileSize = 1 << 30;
  const uint8_t sizes[][4] = {
      {0, 0, 0, 0}, {0, 0, 1, 0x7F}, {0x7F, 0x7F, 0x7F, 0x7F}, {0, 0, 0x80, 0}};
  const int totals[] = {10, 128 + 127 + 10, 0x0FFFFFFF + 10, 0x80 << 7 | 10};
  for (int i = 0; i < 4; ++i) {
    std::copy(sizes[i], sizes[i] + 4, info.Size);
    EXPECT_EQ(TotalTagSize(info), totals[i]) << i;
  }
  info.FileSize = 100;
  std::copy(sizes[1], sizes[1] + 4, info.Size);
  EXPECT_EQ(TotalTagSize(info), 0);
  info.FileSize = 265;
  EXPECT_EQ(TotalTagSize(info), 265);
}

TEST(ID3v2Routines, FillHeaderDeclaresFramesInSevenBitBytes) {
  TagInfo info;
  info.Frames[0] = std::string(20000, 'a');
  info.Frames[6] = "eng";
  ASSERT_TRUE(FillHeader(info));
  EXPECT_EQ(std::string(info.ID, 3), "ID3");
  EXPECT_EQ(info.Version, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(info.Size), 4), SyncSafe(20000 + 11 + 3 + 11));
}

TEST(ID3v2Routines, StoreFrameValueFillsOnlyKnownSlots) {
  TagInfo info;
  StoreFrameValue("TALB", "a", info);
  StoreFrameValue("TALB", "b", info);
  StoreFrameValue("TXXX", "c", info);
  StoreFrameValue("talb", "d", info);
  EXPECT_EQ(info.Frames[2], "b");
  for (int i : {0, 1, 3, 4, 5, 6}) EXPECT_EQ(info.Frames[i], "") << i;
}

TEST_F(ID3v2Test, WriteBuildsSevenFramesInTableOrderWithoutPadding) {
  std::string path = MakeFile(audio);
  TID3v2 tag;
  tag.SetComment("Nice");
  tag.SetGenre("Rock");
  tag.SetYear("2001");
  tag.SetTrack(12);
  tag.SetAlbum("Al");
  tag.SetArtist("Ar");
  tag.SetTitle("Ti");
  ASSERT_TRUE(tag.WriteToFile(path));
  const std::string z(1, '\0');
  std::string body = Frame("TIT2", z + "Ti") + Frame("TPE1", z + "Ar") + Frame("TALB", z + "Al") +
                     Frame("TRCK", z + "12") + Frame("TYER", z + "2001") +
                     Frame("TCON", z + "Rock") + Frame("COMM", z + "eng" + z + "Nice");
  EXPECT_EQ(Hex(ReadBytes(path)), Hex(Tag(body) + audio));

  TID3v2 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_TRUE(read.Exists());
  EXPECT_EQ(read.Version(), 3);
  EXPECT_EQ(read.Size(), static_cast<int>(body.size() + 10));
  EXPECT_EQ(read.Title(), "Ti");
  EXPECT_EQ(read.Artist(), "Ar");
  EXPECT_EQ(read.Album(), "Al");
  EXPECT_EQ(read.Track(), 12);
  EXPECT_EQ(read.Year(), "2001");
  EXPECT_EQ(read.Genre(), "Rock");
  EXPECT_EQ(read.Comment(), "Nice");
}

TEST_F(ID3v2Test, EmptyValuesWriteABareHeaderAndNoFrames) {
  std::string path = MakeFile(audio);
  TID3v2 tag;
  tag.SetTitle(" \t ");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path), Tag("") + audio);
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version(), 3);
  EXPECT_EQ(tag.Size(), 10);
}

TEST_F(ID3v2Test, SettersTrimOnlyTrailingBlanksWithoutLimit) {
  TID3v2 tag;
  tag.SetTitle("  x \r\n");
  tag.SetComment(std::string(1000, 'c') + "  ");
  EXPECT_EQ(tag.Title(), "  x");
  EXPECT_EQ(tag.Comment(), std::string(1000, 'c'));
}

TEST_F(ID3v2Test, ReadingFollowsTheFrameRules) {
  const std::string z(1, '\0');
  struct Case {
    const char* name;
    std::string body;
    std::string title, comment;
    int track;
    std::string genre;
  } cases[] = {
      {"padding ends the scan",
       Frame("TIT2", z + "A") + std::string(20, '\0') + Frame("TRCK", z + "4"), "A", "", 0, ""},
      {"later frame replaces earlier",
       Frame("COMM", z + "eng" + z + "one") + Frame("COMM", z + "eng" + z + "two"), "", "two", 0,
       ""},
      {"comment keeps its description", Frame("COMM", z + "engdesc" + z + "text"), "",
       std::string("desc\0text", 9), 0, ""},
      {"unknown frames skipped",
       Frame("TXXX", z + "x") + Frame("APIC", std::string(5000, 'p')) + Frame("TIT2", z + "B"), "B",
       "", 0, ""},
      {"leading blanks trimmed", Frame("TIT2", z + "  C  "), "C", "", 0, ""},
      {"track low 8 bits", Frame("TRCK", z + "300"), "", "", 44, ""},
      {"track with total", Frame("TRCK", z + "3/12"), "", "", 3, ""},
      {"track not a number", Frame("TRCK", z + "three"), "", "", 0, ""},
      {"genre reference", Frame("TCON", z + "(17)Rock"), "", "", 0, "Rock"},
      {"genre reference alone", Frame("TCON", z + "(17)"), "", "", 0, ""},
      {"frame size 0 goes on", Frame("TIT2", "") + Frame("TPE1", z + "D") + Frame("TIT2", z + "E"),
       "E", "", 0, ""},
      {"lowercase ID ends the scan", Frame("tit2", z + "x") + Frame("TIT2", z + "F"), "", "", 0,
       ""},
      {"16-bit text comes through as bytes", Frame("TIT2", std::string("\x01\xFF\xFEG\0", 5)),
       "\xFF\xFEG", "", 0, ""},
  };
  for (const Case& c : cases) {
    TID3v2 tag = Load(Tag(c.body));
    EXPECT_EQ(tag.Title(), c.title) << c.name;
    EXPECT_EQ(tag.Comment(), c.comment) << c.name;
    EXPECT_EQ(tag.Track(), c.track) << c.name;
    EXPECT_EQ(tag.Genre(), c.genre) << c.name;
  }
}

TEST_F(ID3v2Test, FrameValueIsAtMost250Bytes) {
  const std::string z(1, '\0');
  std::string text250 = std::string(249, 'a') + "Z";
  TID3v2 tag = Load(Tag(Frame("TIT2", z + text250) + Frame("TPE1", z + "next")));
  EXPECT_EQ(tag.Title(), text250.substr(0, 249));  // encoding byte + 249 bytes
  EXPECT_EQ(tag.Artist(), "next");

  std::string text300(299, 'b');
  tag = Load(Tag(Frame("TIT2", z + text300) + Frame("TPE1", z + "behind")));
  EXPECT_EQ(tag.Title(), std::string(249, 'b'));
  EXPECT_EQ(tag.Artist(), "behind");
}

TEST_F(ID3v2Test, FrameRunningBeyondTheDeclaredTagIsStillRead) {
  const std::string z(1, '\0');
  std::string frames = Frame("TPE1", z + "first") + Frame("TIT2", z + "Spills over");
  // The header declares only the first frame and the second's header.
  std::string tag =
      std::string("ID3\x03\0\0", 6) + SyncSafe(Frame("TPE1", z + "first").size() + 10) + frames;
  TID3v2 read = Load(tag);
  EXPECT_EQ(read.Artist(), "first");
  EXPECT_EQ(read.Title(), "Spills over");
}

TEST_F(ID3v2Test, FrameSizeWithTopBitEndsTheScan) {
  const std::string z(1, '\0');
  std::string huge = std::string("TIT2\x80\0\0\x05\0\0", 10) + z + "abcd";
  std::string tagBytes = Tag(Frame("TPE1", z + "kept") + huge + Frame("TALB", z + "not read"));
  TID3v2 tag = Load(tagBytes);
  EXPECT_EQ(tag.Artist(), "kept");
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.Album(), "");
}

TEST_F(ID3v2Test, OtherVersionsAndOversizedHeadersReportOnlyExistence) {
  const std::string z(1, '\0');
  std::string body = Frame("TIT2", z + "hidden");
  struct Case {
    std::string tag;
    int version, size;
  } cases[] = {
      {Tag(body, 4), 4, static_cast<int>(body.size() + 10)},
      {Tag(body, 2), 2, static_cast<int>(body.size() + 10)},
      {std::string("ID3\x03\0\0", 6) + SyncSafe(1 << 20) + body, 3, 0},
  };
  for (const Case& c : cases) {
    TID3v2 tag = Load(c.tag);
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.Version(), c.version);
    EXPECT_EQ(tag.Size(), c.size);
    EXPECT_EQ(tag.Title(), "");
  }
}

TEST_F(ID3v2Test, FileWithoutTagReadsClearedAndCannotLoseATag) {
  std::string path = MakeFile(audio);
  TID3v2 tag;
  tag.SetTitle("stale");
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_FALSE(tag.Exists());
  EXPECT_EQ(tag.Version(), 0);
  EXPECT_EQ(tag.Size(), 0);
  EXPECT_EQ(tag.Title(), "");
  EXPECT_FALSE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), audio);
  tag.SetTitle("new");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path), Tag(Frame("TIT2", std::string(1, '\0') + "new")) + audio);
}

TEST_F(ID3v2Test, WriteReplacesAnyTagAndKeepsAudioAndTrailer) {
  const std::string z(1, '\0');
  const std::string trailer = Trailer("v1", "", 0, 1, 2);
  std::string newTag = Tag(Frame("TALB", z + "New"));
  // A 2.4 tag with a footer: flag 0x10, then "3DI" and the header's other bytes after the frames.
  std::string footed = Tag(Frame("TIT2", z + "Old"), 4);
  footed[5] = '\x10';
  footed += "3DI" + footed.substr(3, 7);
  struct Case {
    const char* name;
    std::string old;
  } cases[] = {
      {"2.3 with padding", Tag(Frame("TIT2", z + "Old") + std::string(500, '\0'))},
      {"2.4", Tag(Frame("TIT2", z + "Old"), 4)},
      {"2.4 with a footer", footed},
      {"other frames", Tag(Frame("APIC", std::string(3000, 'p')) + Frame("TXXX", z + "x"))},
  };
  for (const Case& c : cases) {
    std::string path = MakeFile(c.old + audio + trailer);
    TID3v2 tag;
    tag.SetAlbum("New");
    ASSERT_TRUE(tag.WriteToFile(path)) << c.name;
    EXPECT_EQ(ReadBytes(path), newTag + audio + trailer) << c.name;
    ASSERT_TRUE(tag.DeleteFromFile(path)) << c.name;
    EXPECT_EQ(ReadBytes(path), audio + trailer) << c.name;
  }
}

TEST_F(ID3v2Test, OversizedHeaderKeepsTheOldTagBehindTheNewOne) {
  std::string old = std::string("ID3\x03\0\0", 6) + SyncSafe(1 << 20) + "rest";
  std::string path = MakeFile(old + audio);
  TID3v2 tag;
  tag.SetTitle("T");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path), Tag(Frame("TIT2", std::string(1, '\0') + "T")) + old + audio);
}

TEST_F(ID3v2Test, FileOfNothingButATag) {
  std::string path = MakeFile(Tag(Frame("TIT2", std::string(1, '\0') + "x")));
  TID3v2 tag;
  tag.SetArtist("A");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path), Tag(Frame("TPE1", std::string(1, '\0') + "A")));
  ASSERT_TRUE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(ID3v2Test, LongValuesKeepEverySizeByteBelow0x80) {
  std::string path = MakeFile(audio);
  TID3v2 tag;
  tag.SetComment(std::string(20000, 'c'));
  tag.SetTitle(std::string(300, 't'));
  ASSERT_TRUE(tag.WriteToFile(path));
  std::string bytes = ReadBytes(path);
  for (int i = 6; i < 10; ++i) EXPECT_LT(static_cast<unsigned char>(bytes[i]), 0x80) << i;
  TID3v2 read;
  ASSERT_TRUE(read.LoadFromFile(path));
  EXPECT_EQ(read.Size(), static_cast<int>(bytes.size() - audio.size()));
  EXPECT_EQ(read.Title(), std::string(249, 't'));
  EXPECT_EQ(read.Comment(), std::string(245, 'c'));  // 250 bytes less encoding, "eng", 0x00
}

TEST_F(ID3v2Test, TrackZeroAndReferenceOnlyGenreWriteNoFrame) {
  std::string path = MakeFile(Tag(Frame("TCON", std::string(1, '\0') + "(17)")) + audio);
  TID3v2 tag;
  ASSERT_TRUE(tag.LoadFromFile(path));
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(path), Tag("") + audio);
}

}  // namespace
