// Tags written in place when they fit the old tag's room, journaled so that a crash at any point
// leaves the old tag or the new one; rebuilt with padding when they do not fit.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "CommitGroup.h"
#include "FrameLayout.h"
#include "ID3v2.h"
#include "ID3v2Frames.h"
#include "Journal.h"
#include "TagTestSupport.h"
#include "detail/File.h"
#include "detail/InPlace.h"
#include "detail/JournalFormat.h"
#include "detail/JournaledWrite.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

// A tag of one title frame of `length` bytes of text.
std::string TitleTag(size_t length, char letter = 't') {
  return *BuildTag23({{"TIT2", 0, std::string(1, '\0') + std::string(length, letter)}});
}

// The tag with `padding` bytes of `fill` after its frames, the header counting them.
std::string WithPadding(std::string tag, size_t padding, char fill = '\0') {
  tag.append(padding, fill);
  const size_t size = tag.size() - 10;
  for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>((size >> (21 - 7 * i)) & 0x7F);
  return tag;
}

TRebuild WriteTag(const std::string& path, const std::string& tag) {
  return RebuildFileWith(path, [&](std::string_view) { return TTagChange{true, tag, true}; });
}

// Writes `tag` over the file's tag in a child process (in a commit group when `grouped`) that dies
// at `point`; the child's exit status (99 when it died there).
int WrittenUntil(TCrashPoint point, const std::string& path, const std::string& tag, bool grouped) {
  const pid_t child = fork();
  if (child == 0) {
    SetCrashPoint(point);
    std::optional<TCommitGroup> group;
    if (grouped) group.emplace();
    WriteTag(path, tag);
    if (group) group->Flush();
    _exit(0);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_ino;
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

class InPlace : public ::testing::Test {
 protected:
  TTempDir dir;
  const std::string path = dir.Path("song.mp3");
  const std::string rest = MpegAudio(3) + Trailer("v1 title", "", 0, 1, 1);
};

// Whether the file system of the file takes inserted blocks (ext4 files in extents, XFS).
bool TakesInsertions(const std::string& path) {
  TFile file;
  return file.Open(path, false) && InsertBlock(file, path) > 0;
}

TEST_F(InPlace, ATagThatFitsGoesOverTheOldOneAndOneThatDoesNotGrowsWithRoom) {
  const std::string footer24 = [] {
    std::string tag = TitleTag(40);
    tag[3] = 4;
    tag[5] = 0x10;  // a footer follows
    std::string footer = tag.substr(0, 10);
    footer.replace(0, 3, "3DI");
    return tag + footer;
  }();
  const struct {
    const char* Name;
    std::string Before;  // the tag in the file
    std::string After;   // the new one, without padding
    bool InPlace;
  } cases[] = {
      {"exactly fits", WithPadding(TitleTag(10), 0), TitleTag(10, 'n'), true},
      {"fits with padding to spare", WithPadding(TitleTag(10), 500), TitleTag(300), true},
      {"shrinks", WithPadding(TitleTag(400), 0), TitleTag(3), true},
      {"grows by one byte", WithPadding(TitleTag(10), 0), TitleTag(11), false},
      {"padding that holds other bytes", WithPadding(TitleTag(10), 100, 'x'), TitleTag(50), true},
      {"2.4 tag with a footer: the footer's room counts", footer24, TitleTag(50), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(path, c.Before + rest);
    const ino_t inode = Inode(path);
    ASSERT_EQ(WriteTag(path, c.After), TRebuild::Done);
    const std::string bytes = ReadBytes(path);
    TFrameTag tag;
    ParseFrameTag(bytes, tag);
    ASSERT_EQ(tag.Frames.size(), 1u);
    EXPECT_EQ(tag.Frames[0].Data, c.After.substr(20));
    EXPECT_FALSE(tag.Damaged);
    EXPECT_EQ(tag.Flags & 0x10, 0) << "no footer behind padding";
    EXPECT_EQ(bytes.substr(static_cast<size_t>(tag.Size)), rest)
        << "audio and trailer as they were";
    EXPECT_FALSE(Exists(JournalPath(path)));
    if (c.InPlace) {
      EXPECT_EQ(bytes.size(), c.Before.size() + rest.size()) << "the size stays";
      EXPECT_EQ(Inode(path), inode) << "the same file";
      EXPECT_EQ(bytes.substr(c.After.size(), c.Before.size() - c.After.size()),
                std::string(c.Before.size() - c.After.size(), '\0'))
          << "the rest of the room is padding";
    } else if (TakesInsertions(path)) {
      EXPECT_EQ(Inode(path), inode) << "grown in place, whole blocks inserted before the tag";
      EXPECT_EQ((bytes.size() - c.Before.size() - rest.size()) % 4096, 0u);
      EXPECT_GE(static_cast<size_t>(tag.Size) - c.After.size(), 2048u);
    } else {
      EXPECT_NE(Inode(path), inode) << "rebuilt";
      EXPECT_EQ(tag.Size % 4096, 0) << "the tag and its padding end on a block";
      EXPECT_GE(static_cast<size_t>(tag.Size) - c.After.size(), 2048u);
    }
    if (!c.InPlace) {
      // The next edit fits.
      const ino_t rebuilt = Inode(path);
      ASSERT_EQ(WriteTag(path, TitleTag(500)), TRebuild::Done);
      EXPECT_EQ(Inode(path), rebuilt);
    }
  }
}

// Where the file system takes no insertions (tmpfs), a tag that grows is rebuilt with room.
TEST_F(InPlace, ATagThatGrowsIsRebuiltWhereNoBlocksCanBeInserted) {
  char folder[] = "/dev/shm/melotag-XXXXXX";
  if (mkdtemp(folder) == nullptr) GTEST_SKIP() << "no /dev/shm here";
  const std::string shm = std::string(folder) + "/song.mp3";
  WriteBytes(shm, WithPadding(TitleTag(10), 0) + rest);
  EXPECT_FALSE(TakesInsertions(shm));
  const ino_t inode = Inode(shm);
  ASSERT_EQ(WriteTag(shm, TitleTag(11)), TRebuild::Done);
  const std::string bytes = ReadBytes(shm);
  TFrameTag tag;
  ParseFrameTag(bytes, tag);
  EXPECT_NE(Inode(shm), inode) << "rebuilt";
  EXPECT_EQ(tag.Size % 4096, 0);
  EXPECT_EQ(bytes.substr(static_cast<size_t>(tag.Size)), rest);
  std::filesystem::remove_all(folder);
}

TEST_F(InPlace, SmallFilesAndFilesWithoutATagAreRebuilt) {
  // Shorter than a tag header: no tag can be told from it, so none is written.
  WriteBytes(path, "");
  EXPECT_EQ(WriteTag(path, TitleTag(5)), TRebuild::Failed);
  EXPECT_EQ(ReadBytes(path), "");
  for (const size_t size : {10, 128}) {
    SCOPED_TRACE(size);
    const std::string before(size, 'a');
    WriteBytes(path, before);
    ASSERT_EQ(WriteTag(path, TitleTag(5)), TRebuild::Done);
    TFrameTag tag;
    const std::string bytes = ReadBytes(path);
    ParseFrameTag(bytes, tag);
    EXPECT_EQ(tag.Frames.size(), 1u);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(tag.Size)), before);
  }
}

// A child process writes the new tag in place and dies at `point`; the next open mends the file.
TEST_F(InPlace, ACrashAtAnyPointLeavesTheOldTagOrTheNewOne) {
  const std::string before = WithPadding(TitleTag(100, 'o'), 900);
  const struct {
    TCrashPoint Point;
    bool New;  // what the file holds once mended
  } cases[] = {{TCrashPoint::JournalMade, false},
               {TCrashPoint::HalfWritten, false},
               {TCrashPoint::Written, true}};
  // A tag that fits, and one that grows (blocks inserted before it where the file system can).
  for (const size_t length : {600, 9000})
    for (const bool grouped : {false, true}) {
      const std::string after = TitleTag(length, 'n');
      WriteBytes(path, before + rest);
      if (after.size() > before.size() && !TakesInsertions(path)) continue;  // rebuilt instead
      for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(length) + (grouped ? " grouped " : " alone ") +
                     std::to_string(static_cast<int>(c.Point)));
        WriteBytes(path, before + rest);
        ASSERT_EQ(WrittenUntil(c.Point, path, after, grouped), 99) << "died at the crash point";
        // A group's journal is its folder's.
        const std::string journal = grouped ? FolderJournalPath(path) : JournalPath(path);
        ASSERT_TRUE(Exists(journal)) << "a journal was left";
        // The next reader mends it.
        TFrameTag tag;
        ASSERT_TRUE(melotag::tags::ReadFrameTag(path, tag));
        EXPECT_FALSE(Exists(journal));
        const std::string bytes = ReadBytes(path);
        if (!c.New) {
          EXPECT_TRUE(bytes == before + rest) << "the old file, byte for byte";
          continue;
        }
        ParseFrameTag(bytes, tag);
        ASSERT_EQ(tag.Frames.size(), 1u);
        EXPECT_EQ(tag.Frames[0].Data, after.substr(20));
        EXPECT_EQ(bytes.substr(static_cast<size_t>(tag.Size)), rest);
      }
    }
}

// A write of several regions of one file (a grown frame takes its room and the small one behind
// it, which moves into the padding) dies at any point: once mended, every region holds its old
// bytes, or every one its new bytes.
TEST_F(InPlace, ACrashInAWriteOfSeveralRegionsLeavesAllOldOrAllNew) {
  std::string image(9000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31 % 251);
  const TFrame picture = {"APIC", 0, std::string("\0image/jpeg\0\3\0", 14) + image};
  const auto tag = [&](const std::string& artist) {
    return std::vector<TFrame>{{"TIT2", 0, std::string(1, '\0') + "Song"},
                               {"TPE1", 0, std::string(1, '\0') + artist},
                               {"TALB", 0, std::string(1, '\0') + "Album"},
                               picture};
  };
  std::string before = *BuildTag(tag("Old Artist"), 3);
  before = WithPadding(before, 2000);
  const std::string after = FewestBytesLayout(before, *BuildTag(tag("A New Artist!"), 3));
  ASSERT_EQ(after.size(), before.size());
  ASSERT_GE(ChangedSpans(before, after, 64).size(), 2u) << "regions apart";
  const struct {
    TCrashPoint Point;
    bool New;
  } cases[] = {{TCrashPoint::JournalMade, false},
               {TCrashPoint::HalfWritten, false},
               {TCrashPoint::Written, true}};
  for (const bool grouped : {false, true})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(grouped ? "grouped " : "alone ") +
                   std::to_string(static_cast<int>(c.Point)));
      WriteBytes(path, before + rest);
      ASSERT_EQ(WrittenUntil(c.Point, path, after, grouped), 99) << "died at the crash point";
      const std::string journal = grouped ? FolderJournalPath(path) : JournalPath(path);
      ASSERT_TRUE(Exists(journal));
      TFrameTag read;
      ASSERT_TRUE(melotag::tags::ReadFrameTag(path, read));
      EXPECT_FALSE(Exists(journal));
      EXPECT_TRUE(ReadBytes(path) == (c.New ? after : before) + rest);
    }
  // Done without a crash: the file holds the new tag, and only the regions changed.
  WriteBytes(path, before + rest);
  ASSERT_EQ(WriteTag(path, after), TRebuild::Done);
  EXPECT_TRUE(ReadBytes(path) == after + rest);
}

// A journal whose regions of one file hold old bytes in one and new bytes in the other (a write
// cut between them) puts the old bytes back in both.
TEST_F(InPlace, RegionsOfOneFileAreMendedTogether) {
  const std::string before = WithPadding(TitleTag(100, 'o'), 3000);
  std::string after = before;
  after.replace(40, 20, std::string(20, 'n'));
  after.replace(2000, 30, std::string(30, 'm'));
  std::string firstOnly = before, changed = after;
  firstOnly.replace(40, 20, std::string(20, 'n'));
  changed[45] = 'z';
  const struct {
    const char* Name;
    std::string Now;
    bool Kept;  // the journal stays, the file as it is
    std::string Mended;
  } cases[] = {
      {"the first region new, the second old", firstOnly, false, before},
      {"both new", after, false, after},
      {"one changed by another program", changed, true, changed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string& now = c.Now;
    std::filesystem::remove(JournalPath(path));
    WriteBytes(path, now + rest);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    TJournalRegion first{"song.mp3",
                         static_cast<uint64_t>(st.st_dev),
                         static_cast<uint64_t>(st.st_ino),
                         40,
                         before.substr(40, 20),
                         after.substr(40, 20),
                         0,
                         static_cast<uint64_t>(st.st_size)};
    TJournalRegion second = first;
    second.Offset = 2000;
    second.Old = before.substr(2000, 30);
    second.New = after.substr(2000, 30);
    WriteBytes(JournalPath(path), JournalBytes({first, second}));
    TFrameTag tag;
    melotag::tags::ReadFrameTag(path, tag);
    EXPECT_EQ(Exists(JournalPath(path)), c.Kept);
    EXPECT_TRUE(ReadBytes(path) == c.Mended + rest);
  }
}

// A journal of version 4 (one region a file, left by an older Melotag's crash) is still mended.
TEST_F(InPlace, AJournalOfVersion4IsStillMended) {
  const std::string before = WithPadding(TitleTag(100, 'o'), 900);
  const std::string after = TitleTag(600, 'n');
  const std::string torn = after.substr(0, 512) + before.substr(512);
  WriteBytes(path, torn + rest);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  std::string journal = JournalBytes(
      {{"song.mp3", static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), 0,
        before.substr(0, after.size()), after, 0, static_cast<uint64_t>(st.st_size)}});
  ASSERT_EQ(journal.substr(0, 18), "MELOTAG JOURNAL 5\n");
  journal[16] = '4';
  journal.resize(journal.size() - 8);
  const uint64_t sum = Checksum(journal);
  for (int shift = 56; shift >= 0; shift -= 8) journal.push_back(static_cast<char>(sum >> shift));
  WriteBytes(JournalPath(path), journal);
  TFrameTag tag;
  ASSERT_TRUE(melotag::tags::ReadFrameTag(path, tag));
  EXPECT_FALSE(Exists(JournalPath(path)));
  EXPECT_TRUE(ReadBytes(path) == before + rest);
}

// A journal as an earlier version of the format wrote it (its count first, FNV-1a a byte a step),
// left by a crash of an older Melotag: it holds no checksums of the new bytes' sectors, so a
// region that holds the old or the new bytes whole is mended, and a torn one (which could as well
// be another program's change) is left as it is, with its journal, and named.
TEST_F(InPlace, AJournalOfAnEarlierFormatIsMendedOnlyWhereItCanTell) {
  const std::string before = WithPadding(TitleTag(100, 'o'), 900);
  const std::string after = TitleTag(600, 'n');
  const std::string old = before.substr(0, after.size());
  const std::string torn = after.substr(0, 300) + before.substr(300);
  auto number = [](uint64_t n) {
    std::string out;
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<char>(n >> shift));
    return out;
  };
  auto fnv = [](std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char b : bytes) hash = (hash ^ static_cast<unsigned char>(b)) * 0x100000001b3ull;
    return hash;
  };
  const struct {
    std::string Now, Mended;
    bool Kept;
  } cases[] = {{before, before, false},
               {after + before.substr(after.size()), after + before.substr(after.size()), false},
               {torn, torn, true}};
  std::vector<std::string> named;
  melotag::tags::SetJournalNotice(
      [&](const std::string& journal, const std::string&) { named.push_back(journal); });
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::filesystem::remove(JournalPath(path));
    WriteBytes(path, c.Now + rest);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    const std::string name = "song.mp3";
    std::string journal = "MELOTAG JOURNAL 2\n" + number(1) + number(name.size()) + name +
                          number(st.st_dev) + number(st.st_ino) + number(0) + number(old.size()) +
                          number(fnv(after)) + old;
    journal += number(fnv(journal));
    WriteBytes(JournalPath(path), journal);
    TFrameTag tag;
    melotag::tags::ReadFrameTag(path, tag);
    EXPECT_EQ(Exists(JournalPath(path)), c.Kept);
    EXPECT_TRUE(ReadBytes(path) == c.Mended + rest);
  }
  melotag::tags::SetJournalNotice({});
  EXPECT_EQ(named, std::vector<std::string>{JournalPath(path)});
}

// A name of 80 CJK characters (244 bytes) leaves no room for ".NAME.melotag-journal" (255 at
// most): the journal takes a shorter name, and a crash is mended through it all the same.
TEST_F(InPlace, AFileOfTheLongestNamesIsWrittenInPlaceAndMended) {
  std::string name;
  for (int i = 0; i < 80; ++i) name += "\xE6\xAD\x8C";
  const std::string longPath = dir.Path(name + ".mp3");
  const std::string before = WithPadding(TitleTag(100, 'o'), 900);
  WriteBytes(longPath, before + rest);
  const ino_t inode = Inode(longPath);
  ASSERT_EQ(WriteTag(longPath, TitleTag(300, 'n')), TRebuild::Done);
  EXPECT_EQ(Inode(longPath), inode) << "written in place";
  const std::string journal = JournalPath(longPath);
  EXPECT_LE(journal.size() - journal.rfind('/') - 1, 255u);
  EXPECT_TRUE(IsJournalName(journal.substr(journal.rfind('/') + 1)));
  WriteBytes(longPath, before + rest);
  const pid_t child = fork();
  if (child == 0) {
    SetCrashPoint(TCrashPoint::HalfWritten);
    WriteTag(longPath, TitleTag(600, 'n'));
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 99);
  ASSERT_TRUE(Exists(journal));
  TFrameTag tag;
  ASSERT_TRUE(melotag::tags::ReadFrameTag(longPath, tag));
  EXPECT_FALSE(Exists(journal));
  EXPECT_TRUE(ReadBytes(longPath) == before + rest);
}

TEST_F(InPlace, AJournalIsFoundByTheFolderScanAndAForeignFileOfItsNameStays) {
  // Not ours: a user's file that happens to carry the name.
  WriteBytes(path, WithPadding(TitleTag(10), 100) + rest);
  WriteBytes(JournalPath(path), "my own notes");
  EXPECT_FALSE(RecoverJournal(JournalPath(path)));
  EXPECT_EQ(ReadBytes(JournalPath(path)), "my own notes");
  ASSERT_EQ(WriteTag(path, TitleTag(20)), TRebuild::Done) << "rebuilt instead";
  EXPECT_EQ(ReadBytes(JournalPath(path)), "my own notes");
  EXPECT_TRUE(IsJournalName(".song.mp3.melotag-journal"));
  EXPECT_TRUE(IsJournalName(".melotag-journal"));
  EXPECT_FALSE(IsJournalName("song.mp3"));
  EXPECT_FALSE(IsJournalName("x.melotag-journal"));
}

}  // namespace

namespace {

// Generation `g` of a file's title: its number and a run of letters whose length and letter
// follow from it, so that a mix of two generations never reads as one.
std::string Generation(int g) {
  return std::to_string(g) + ':' + std::string(static_cast<size_t>(g % 300), char('a' + g % 26));
}

// The files of the kill test whose tag grows with every write.
constexpr size_t kGrowing = 2;
// The first files of the kill test carry an album before their title and a large frame behind
// it, written as the editor lays them out: a title that grows moves into the padding, its room
// taken by the frame before it, in one write of several regions.
constexpr size_t kLaidOut = 3;
const TFrame kAlbum = {"TALB", 0, std::string(1, '\0') + "Album"};
const TFrame kLarge = {"PRIV", 0, std::string(6000, 'q')};

// Writes generation after generation of every file's tag until it is killed; the last kGrowing
// files' tags also carry a filler longer than their whole room, so that each write grows them.
[[noreturn]] void WriteForever(const std::vector<std::string>& paths, bool grouped) {
  for (int g = 1;; ++g) {
    std::optional<TCommitGroup> group;
    if (grouped) group.emplace();
    for (size_t i = 0; i < paths.size(); ++i) {
      const bool grows = i + kGrowing >= paths.size();
      RebuildFileWith(paths[i], [&](std::string_view old) {
        std::vector<melotag::tags::TFrame> frames = {{"TIT2", 0, '\0' + Generation(g)}};
        if (grows) frames.push_back({"PRIV", 0, std::string(old.size() % 20000 + 1, 'p')});
        if (i < kLaidOut) {
          // The frames as read, the title changed.
          TFrameTag tag;
          ParseFrameTag(old, tag);
          for (TFrame& frame : tag.Frames)
            if (frame.Id == "TIT2") frame.Data = frames[0].Data;
          return TTagChange{true, FewestBytesLayout(old, *BuildTag23(tag.Frames)), true};
        }
        return TTagChange{true, *BuildTag23(frames), true};
      });
    }
  }
}

}  // namespace

TEST_F(InPlace, KilledAtRandomEveryFileHoldsAWholeTagAndItsAudio) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    paths.push_back(dir.Path("song" + std::to_string(i) + ".mp3"));
    WriteBytes(
        paths.back(),
        WithPadding(i < static_cast<int>(kLaidOut)
                        ? *BuildTag23({kAlbum, {"TIT2", 0, std::string(1, '\0') + "t"}, kLarge})
                        : TitleTag(1),
                    1000) +
            rest);
  }
  const size_t laidOutSize = ReadBytes(paths[0]).size();
  const size_t plainSize = ReadBytes(paths[kLaidOut]).size();
  std::srand(20261210);
  int journals = 0;  // left by a kill in the middle of a write
  for (int kill = 0; kill < 60; ++kill) {
    SCOPED_TRACE(kill);
    const bool grouped = kill % 2 == 1;
    const pid_t child = fork();
    if (child == 0) WriteForever(paths, grouped);
    usleep(static_cast<useconds_t>(2000 + std::rand() % 30000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    journals += Exists(FolderJournalPath(paths[0]));
    for (const std::string& path : paths) {
      journals += Exists(JournalPath(path));
      TFrameTag tag;
      ASSERT_TRUE(melotag::tags::ReadFrameTag(path, tag));  // mends what the kill left
      EXPECT_FALSE(Exists(JournalPath(path)));
      EXPECT_FALSE(Exists(FolderJournalPath(path)));
      const std::string bytes = ReadBytes(path);
      const size_t index = static_cast<size_t>(&path - paths.data());
      const bool grows = index + kGrowing >= paths.size(), laidOut = index < kLaidOut;
      if (!grows) {
        ASSERT_EQ(bytes.size(), laidOut ? laidOutSize : plainSize) << path;
      }
      ParseFrameTag(bytes, tag);
      EXPECT_EQ(bytes.substr(static_cast<size_t>(tag.Size)), rest) << path;
      ASSERT_FALSE(tag.Damaged) << path;
      if (laidOut) {
        // The album (zeros behind its text or not), the title and the large frame whole, the title
        // first here.
        ASSERT_EQ(tag.Frames.size(), 3u) << path;
        std::sort(tag.Frames.begin(), tag.Frames.end(), [](const TFrame& a, const TFrame& b) {
          return (a.Id == "TIT2") > (b.Id == "TIT2");
        });
        for (const TFrame& frame : tag.Frames) {
          if (frame.Id == "PRIV") EXPECT_TRUE(frame.Data == kLarge.Data) << path;
          if (frame.Id == "TALB")
            EXPECT_EQ(frame.Data.substr(0, kAlbum.Data.size()), kAlbum.Data) << path;
          if (frame.Id == "TALB")
            EXPECT_EQ(frame.Data.find_first_not_of('\0', kAlbum.Data.size()), std::string::npos);
        }
      }
      ASSERT_GE(tag.Frames.size(), 1u) << path;
      ASSERT_LE(tag.Frames.size(), laidOut ? 3u : grows ? 2u : 1u) << path;
      if (grows && tag.Frames.size() > 1) {
        EXPECT_EQ(tag.Frames[1].Data, std::string(tag.Frames[1].Data.size(), 'p')) << path;
      }
      // A title that took a room may have zeros behind its text.
      std::string text = tag.Frames[0].Data.substr(1);
      if (laidOut) text.erase(text.find_last_not_of('\0') + 1);
      const int g = std::atoi(text.c_str());
      EXPECT_EQ(text, g == 0 ? std::string(1, 't') : Generation(g)) << path << ": a torn tag";
    }
  }
  std::printf("journals mended after the kills: %d\n", journals);
  EXPECT_GT(journals, 0) << "no kill came in the middle of a write";
}
