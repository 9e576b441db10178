// Interoperability with real peers: the id3v2 program and mutagen.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "FrameLayout.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "ID3v2Frames.h"
#include "TagTestSupport.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

struct TSample {
  std::string title, artist, album, track, year, genre, comment;
};

void MutagenWrite(const std::string& mode, const std::string& path, const TSample& s) {
  Mutagen(mode + " " + Quote(path) + " " + Hex(s.title) + " " + Hex(s.artist) + " " + Hex(s.album) +
          " " + Hex(s.track) + " " + Hex(s.year) + " " + Hex(s.genre) + " " + Hex(s.comment));
}

class PeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = -1;
    RunCommand("/usr/bin/python3 -c 'import mutagen' 2>&1", &status);
    ASSERT_EQ(status, 0) << "mutagen is missing: run scripts/install-deps";
    path = dir.Path("song.mp3");
    WriteBytes(path, audio);
    WriteBytes(dir.Path("audio.mp3"), audio);
  }
  TTempDir dir;
  std::string audio = MpegAudio(8);
  std::string path;
  // Latin-1 text: "Café", "Müller" ...
  TSample sample = {"Caf\xE9 title", "M\xFCller", "Album \xC6",    "7",
                    "2001",          "Rock",      "Fine \xE9t\xE9"};
};

TEST_F(PeerTest, Id3v2ProgramTagsAreRead) {
  int status = -1;
  std::string out = RunCommand(
      "id3v2 -t 'Title' -a 'Artist' -A 'Album' -y 1999 -T 3/12 -g 17 "
      "-c 'Comment' " +
          Quote(path) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << out;

  TID3v2 v2;
  ASSERT_TRUE(v2.LoadFromFile(path));
  EXPECT_TRUE(v2.Exists());
  EXPECT_EQ(v2.Version(), 3);
  EXPECT_GT(v2.Size(), 10);
  EXPECT_EQ(v2.Title(), "Title");
  EXPECT_EQ(v2.Artist(), "Artist");
  EXPECT_EQ(v2.Album(), "Album");
  EXPECT_EQ(v2.Year(), "1999");
  EXPECT_EQ(v2.Track(), 3);
  EXPECT_EQ(v2.Genre(), "");  // the program writes the bare reference "(17)"
  EXPECT_EQ(v2.Comment(), "Comment");

  TID3v1 v1;
  ASSERT_TRUE(v1.LoadFromFile(path));
  EXPECT_TRUE(v1.Exists());
  EXPECT_EQ(v1.Version(), 2);
  EXPECT_EQ(v1.Title(), "Title");
  EXPECT_EQ(v1.Artist(), "Artist");
  EXPECT_EQ(v1.Album(), "Album");
  EXPECT_EQ(v1.Year(), "1999");
  EXPECT_EQ(v1.Comment(), "Comment");
  EXPECT_EQ(v1.Track(), 3);
  EXPECT_EQ(v1.GenreIndex(), 17);
}

TEST_F(PeerTest, MutagenVersion23TagIsRead) {
  sample.track = "5/9";
  MutagenWrite("write23", path, sample);
  TID3v2 tag;
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version(), 3);
  EXPECT_EQ(std::to_string(tag.Size()), MutagenRead(path)["size"]);
  EXPECT_EQ(tag.Title(), sample.title);
  EXPECT_EQ(tag.Artist(), sample.artist);
  EXPECT_EQ(tag.Album(), sample.album);
  EXPECT_EQ(tag.Track(), 5);
  EXPECT_EQ(tag.Year(), sample.year);
  EXPECT_EQ(tag.Genre(), sample.genre);
  EXPECT_EQ(tag.Comment(), sample.comment);
}

TEST_F(PeerTest, MutagenVersion24TagReportsOnlyExistenceVersionAndSize) {
  MutagenWrite("write24", path, sample);
  TID3v2 tag;
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version(), 4);
  EXPECT_EQ(std::to_string(tag.Size()), MutagenRead(path)["size"]);
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.Artist(), "");
  EXPECT_EQ(tag.Album(), "");
  EXPECT_EQ(tag.Track(), 0);
  EXPECT_EQ(tag.Year(), "");
  EXPECT_EQ(tag.Genre(), "");
  EXPECT_EQ(tag.Comment(), "");
}

TEST_F(PeerTest, MutagenId3v1TagIsRead) {
  MutagenWrite("writev1", path, sample);
  TID3v2 v2;
  ASSERT_TRUE(v2.LoadFromFile(path));
  EXPECT_FALSE(v2.Exists());
  TID3v1 tag;
  ASSERT_TRUE(tag.LoadFromFile(path));
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version(), 2);
  EXPECT_EQ(tag.Title(), sample.title);
  EXPECT_EQ(tag.Artist(), sample.artist);
  EXPECT_EQ(tag.Album(), sample.album);
  EXPECT_EQ(tag.Year(), sample.year);
  EXPECT_EQ(tag.Comment(), "");  // mutagen 1.46 puts no comment into a trailer
  EXPECT_EQ(tag.Track(), 7);
  EXPECT_EQ(tag.GenreIndex(), 17);
}

TEST_F(PeerTest, MutagenReadsWhatTheTagClassesWrite) {
  // Written over an older tag of each kind, so the rewrite is checked too.
  MutagenWrite("write24", path, {"old", "old", "old", "1", "1990", "Pop", "old"});
  TID3v1 old1;
  old1.SetTitle("old");
  ASSERT_TRUE(old1.WriteToFile(path));

  TID3v2 v2;
  v2.SetTitle(sample.title);
  v2.SetArtist(sample.artist);
  v2.SetAlbum(sample.album);
  v2.SetTrack(7);
  v2.SetYear(sample.year);
  v2.SetGenre(sample.genre);
  v2.SetComment(sample.comment);
  ASSERT_TRUE(v2.WriteToFile(path));
  TValues read = MutagenRead(path);
  EXPECT_EQ(read["version"], "2.3");
  EXPECT_EQ(read["title"], sample.title);
  EXPECT_EQ(read["artist"], sample.artist);
  EXPECT_EQ(read["album"], sample.album);
  EXPECT_EQ(read["track"], "7");
  EXPECT_EQ(read["year"], sample.year);
  EXPECT_EQ(read["genre"], sample.genre);
  EXPECT_EQ(read["comment"], sample.comment);
  EXPECT_EQ(AudioMd5(path), AudioMd5(dir.Path("audio.mp3")));

  // The trailer alone, once the ID3v2 tag is gone.
  ASSERT_TRUE(v2.DeleteFromFile(path));
  TID3v1 v1;
  v1.SetTitle(sample.title);
  v1.SetArtist(sample.artist);
  v1.SetAlbum(sample.album);
  v1.SetTrack(7);
  v1.SetYear(sample.year);
  v1.SetGenreIndex(17);
  v1.SetComment(sample.comment);
  ASSERT_TRUE(v1.WriteToFile(path));
  read = MutagenRead(path);
  EXPECT_EQ(read["version"], "1.1");
  EXPECT_EQ(read["title"], sample.title);
  EXPECT_EQ(read["artist"], sample.artist);
  EXPECT_EQ(read["album"], sample.album);
  EXPECT_EQ(read["track"], "7");
  EXPECT_EQ(read["year"], sample.year);
  EXPECT_EQ(read["genre"], sample.genre);
  EXPECT_EQ(read["comment"], sample.comment);
  EXPECT_EQ(ReadBytes(path).substr(0, audio.size()), audio);
  EXPECT_EQ(AudioMd5(path), AudioMd5(dir.Path("audio.mp3")));
}

// A text frame before a cover changes length in a tag as mutagen saves it (2.3, UTF-16, a cover,
// its padding): the write lays the frames out to change a few bytes, and mutagen and the id3v2
// program read every frame as before, the changed one with its new text.
TEST_F(PeerTest, PeersReadEveryFrameOfATagLaidOutForTheFewestBytes) {
  int status = -1;
  const std::string made = RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i\n"
      "t = i.ID3()\n"
      "for f in [i.TIT2(encoding=1, text=\"Song\"), i.TPE1(encoding=1, text=\"Old Artist\"),\n"
      "          i.TRCK(encoding=1, text=\"3/12\"), i.TALB(encoding=1, text=\"Album\"),\n"
      "          i.APIC(encoding=1, mime=\"image/jpeg\", type=3, desc=\"Cover\",\n"
      "                 data=bytes(range(256)) * 120)]: t.add(f)\n"
      "t.save(sys.argv[1], v2_version=3)' " +
          Quote(path) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << made;
  const auto frames = [&](const std::string& program) {
    const std::string out = RunCommand(program + " " + Quote(path) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    std::multiset<std::string> lines;
    for (size_t at = 0, end; at < out.size(); at = end + 1) {
      end = out.find('\n', at);
      if (end == std::string::npos) end = out.size();
      const std::string line = out.substr(at, end - at);
      if (line.rfind("TPE1", 0) != 0 && line.find(path) == std::string::npos) lines.insert(line);
    }
    return lines;
  };
  const std::string mutagenFrames =
      "/usr/bin/python3 -c 'import sys, hashlib, mutagen.id3 as i\n"
      "t = i.ID3(sys.argv[1])\n"
      "for k in t.keys(): print(k, hashlib.sha1(repr(t[k]).encode()).hexdigest())\n"
      "print(\"unknown\", len(t.unknown_frames))'";
  const auto mutagenBefore = frames(mutagenFrames), id3v2Before = frames("id3v2 -l");
  const std::string before = ReadBytes(path);
  ASSERT_EQ(
      RebuildFileWith(path,
                      [](std::string_view old) {
                        TFrameTag tag;
                        ParseFrameTag(old, tag);
                        for (TFrame& frame : tag.Frames)
                          if (frame.Id == "TPE1")
                            frame.Data = std::string("\x01\xFF\xFE", 3) +
                                         std::string("N\0e\0w\0 \0a\0r\0t\0i\0s\0t\0!\0\0\0", 24);
                        return TTagChange{
                            true, FewestBytesLayout(old, *BuildTag(tag.Frames, tag.Version)), true};
                      }),
      TRebuild::Done);
  const std::string after = ReadBytes(path);
  ASSERT_EQ(after.size(), before.size()) << "written in place";
  size_t changed = 0;
  for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
  EXPECT_LT(changed, 200u);
  EXPECT_EQ(frames(mutagenFrames), mutagenBefore);
  EXPECT_EQ(frames("id3v2 -l"), id3v2Before);
  EXPECT_EQ(MutagenRead(path)["artist"], "New artist!");
}

}  // namespace
