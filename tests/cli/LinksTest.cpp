// Links in a folder someone else made: a scan lists and reads a link to a file, but writes through
// it only when it leads to a file inside the folder given; linked folders are not entered by -r; a
// link given on the command line is followed. The attacker's folder is made here.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "ID3v2.h"
#include "TagTestSupport.h"

using namespace tagtest;

namespace {

const QByteArray kShellText = "export PATH=/usr/bin:/bin\nalias ls='ls --color'\n";
const QByteArray kRefused = "a link to a file outside the folder: not written";

// An album received from someone else, beside the user's own files:
//   album/01.mp3                  a song
//   album/02.mp3 -> ../outside/shellrc   a text file outside, read-only (0444)
//   album/03.mp3 -> disc2/inside.mp3     a song inside the album
//   album/04.mp3 -> ../library/mine.mp3  the user's own song outside
//   album/disc2/inside.mp3
//   album/bonus -> ../library            a folder outside
//   album/loop -> .                      a folder link back to itself
//   library/mine.mp3
struct TAlbum {
  TAlbum() {
    for (const char* folder : {"album", "album/disc2", "outside", "library"})
      MakeFolder(dir.Path(folder));
    for (const char* song : {"album/01.mp3", "album/disc2/inside.mp3", "library/mine.mp3"})
      WriteBytes(dir.Path(song).toStdString(), Audio);
    WriteFile(dir.Path("outside/shellrc"), kShellText);
    EXPECT_EQ(chmod(dir.Path("outside/shellrc").constData(), 0444), 0);
    const std::pair<const char*, const char*> links[] = {{"../outside/shellrc", "album/02.mp3"},
                                                         {"disc2/inside.mp3", "album/03.mp3"},
                                                         {"../library/mine.mp3", "album/04.mp3"},
                                                         {"../library", "album/bonus"},
                                                         {".", "album/loop"}};
    for (const auto& [target, name] : links)
      EXPECT_EQ(symlink(target, dir.Path(name).constData()), 0) << name;
  }
  // The album of the file's ID3v2 tag; "" without one.
  std::string Album(const char* name) const {
    TID3v2 tag;
    return tag.LoadFromFile(dir.Path(name).toStdString()) ? tag.Album() : std::string();
  }
  TByteTempDir dir;
  const std::string Audio = MpegAudio(2);
};

TEST(CliLinks, WritesGoThroughALinkOnlyInsideTheFolderGivenOrWhenTheLinkIsGiven) {
  const struct {
    const char* Name;
    QList<QByteArray> Arguments;
    QList<QByteArray> Written;  // files whose album is X afterwards
    int Status;
    QList<QByteArray> Refused;  // named on stderr as links out of the folder
  } cases[] = {
      {"a folder: the links out of it are named",
       {"set", "--album", "X", "album"},
       {"album/01.mp3", "album/disc2/inside.mp3"},
       1,
       {"album/02.mp3", "album/04.mp3"}},
      {"-r enters neither the linked folder nor the loop",
       {"set", "-r", "--album", "X", "album"},
       {"album/01.mp3", "album/disc2/inside.mp3"},
       1,
       {"album/02.mp3", "album/04.mp3"}},
      {"names become tags only inside the folder",
       {"tags-from-names", "--v2", "--pattern", "%album%", "album"},
       {},
       1,
       {"album/02.mp3", "album/04.mp3"}},
      {"a link given is followed",
       {"set", "--album", "X", "album/04.mp3"},
       {"library/mine.mp3"},
       0,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TAlbum album;
    const TByteTempDir& dir = album.dir;
    const TCliResult run = RunCli(c.Arguments, "1252", {}, dir.Path());
    EXPECT_EQ(run.Status, c.Status) << run.Err.constData();
    for (const char* name : {"album/01.mp3", "album/disc2/inside.mp3", "library/mine.mp3"})
      if (std::string(c.Arguments[0]) == "set")
        EXPECT_EQ(album.Album(name), c.Written.contains(name) ? "X" : "") << name;
    // tags-from-names gives each file in the album its own name as album.
    if (std::string(c.Arguments[0]) == "tags-from-names") {
      EXPECT_EQ(album.Album("album/01.mp3"), "01");
      // Through the link inside the album.
      EXPECT_EQ(album.Album("album/disc2/inside.mp3"), "03");
      EXPECT_EQ(album.Album("library/mine.mp3"), "");
    }
    // The text outside is left byte for byte, and so are its permissions.
    EXPECT_EQ(ReadFile(dir.Path("outside/shellrc")), kShellText);
    EXPECT_EQ(Permissions(dir.Path("outside/shellrc").toStdString()), 0444u);
    if (!c.Written.contains("library/mine.mp3"))
      EXPECT_TRUE(ReadBytes(dir.Path("library/mine.mp3").toStdString()) == album.Audio)
          << "library/mine.mp3 changed";
    for (const QByteArray& name : c.Refused)
      EXPECT_TRUE(run.Err.contains(name + ": " + kRefused)) << name.constData() << "\n"
                                                            << run.Err.constData();
    EXPECT_EQ(run.Err.count(kRefused), c.Refused.size()) << run.Err.constData();
    EXPECT_FALSE(run.Err.contains("bonus")) << run.Err.constData();
    // The links are still links.
    for (const char* link : {"album/02.mp3", "album/03.mp3", "album/04.mp3"}) {
      struct stat status;
      ASSERT_EQ(lstat(dir.Path(link).constData(), &status), 0);
      EXPECT_TRUE(S_ISLNK(status.st_mode)) << link;
    }
  }
}

}  // namespace
