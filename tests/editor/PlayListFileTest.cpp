// Play lists: the exact name bytes with CR LF, written whole or not at all, and the name the tags
// propose.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "EnvScope.h"
#include "ID3v2.h"
#include "PlayListFile.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

// The names a folder holds.
QList<QByteArray> Names(const QByteArray& folder) {
  QList<QByteArray> names;
  if (DIR* dir = opendir(folder.constData())) {
    while (const dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.' || (strcmp(entry->d_name, ".") && strcmp(entry->d_name, "..")))
        names << entry->d_name;
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Files may grow to `bytes` only while it lives: a write past it fails as on a full disk.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FOld;
  sighandler_t FOldHandler;
};

}  // namespace

TEST(PlayListFileTest, EachNameByItsBytesAndCrLf) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QList<QByteArray> names = {"a.mp3", "\xA4\xA4\xA4\xE5.mp3", "with blank \"q\" 'x'.mp3",
                                   "\xFF.mp3", "\xE4\xB8\xAD.mp3"};
  const QByteArray path = dir.Path("list.m3u");
  ASSERT_EQ(WritePlayList(path, names), 0);
  EXPECT_EQ(ReadFile(path),
            "a.mp3\r\n\xA4\xA4\xA4\xE5.mp3\r\nwith blank \"q\" 'x'.mp3\r\n"
            "\xFF.mp3\r\n\xE4\xB8\xAD.mp3\r\n");
  // Nothing else is left in the folder.
  EXPECT_EQ(Names(dir.Path()), QList<QByteArray>{"list.m3u"});
  ASSERT_EQ(WritePlayList(dir.Path("empty.m3u"), {}), 0);
  EXPECT_EQ(ReadFile(dir.Path("empty.m3u")), "");
}

TEST(PlayListFileTest, AnExistingPlayListIsReplacedWholeOrKept) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray path = dir.Path("old.m3u");
  WriteFile(path, "old\r\n");
  ASSERT_EQ(::chmod(path.constData(), 0640), 0);
  ASSERT_EQ(WritePlayList(path, {"new.mp3"}), 0);
  EXPECT_EQ(ReadFile(path), "new.mp3\r\n");
  struct stat status;
  ASSERT_EQ(::stat(path.constData(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);

  // A disk that fills up in the middle: the old play list stays, no part of the new one is left.
  {
    const TFileSizeLimit limit(4096);
    EXPECT_EQ(WritePlayList(path, QList<QByteArray>(1000, "a long name of a song.mp3")), EFBIG);
  }
  EXPECT_EQ(ReadFile(path), "new.mp3\r\n");
  EXPECT_EQ(Names(dir.Path()), QList<QByteArray>{"old.m3u"});

  const struct {
    QByteArray Path;
    int Error;
  } bad[] = {
      {dir.Path(), EISDIR},
      {dir.Path("missing/list.m3u"), ENOENT},
      {QByteArray(), ENOENT},
      {QByteArray("a\0b", 3), EINVAL},
  };
  for (const auto& c : bad)
    EXPECT_EQ(WritePlayList(c.Path, {"x.mp3"}), c.Error) << c.Path.constData();
  EXPECT_EQ(Names(dir.Path()), QList<QByteArray>{"old.m3u"});
}

// A received album holds a link where the play list goes: the list is refused, nothing is written
// through it, and the link stays as it was.
TEST(PlayListFileTest, APlayListPathThatIsALinkIsRefused) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  ASSERT_EQ(::mkdir(dir.Path("album").constData(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.Path("outside").constData(), 0755), 0);
  WriteFile(dir.Path("outside/shellrc"), "SAFE CONTENT");
  WriteFile(dir.Path("album/mine.m3u"), "mine\r\n");
  const struct {
    const char* Name;
    const char* Target;
  } cases[] = {
      {"to a file outside", "../outside/shellrc"},
      {"to no file yet", "../outside/new.m3u"},
      {"to a file beside it", "mine.m3u"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QByteArray link = dir.Path("album/Album.m3u");
    ASSERT_EQ(::symlink(c.Target, link.constData()), 0);
    EXPECT_EQ(WritePlayList(link, {"01.mp3"}), ELOOP);
    EXPECT_EQ(PlayListErrorText(ELOOP), "the play list's name is a link: not written through it");
    char target[256] = {};
    ASSERT_GT(::readlink(link.constData(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, c.Target);
    EXPECT_EQ(Names(dir.Path("album")), (QList<QByteArray>{"Album.m3u", "mine.m3u"}));
    ASSERT_EQ(::unlink(link.constData()), 0);
  }
  EXPECT_EQ(ReadFile(dir.Path("outside/shellrc")), "SAFE CONTENT");
  EXPECT_EQ(ReadFile(dir.Path("album/mine.m3u")), "mine\r\n");
  EXPECT_EQ(Names(dir.Path("outside")), QList<QByteArray>{"shellrc"});
}

// A name holding CR or LF would put lines of its own into the list: it is left out.
TEST(PlayListFileTest, NamesWithLineBreaksAreLeftOut) {
  const struct {
    QByteArray Name;
    bool Fits;
  } cases[] = {
      {"a.mp3", true},
      {"x\r\n#EXTINF:1,Evil\r\nrm -rf ~.mp3", false},
      {"lf\n.mp3", false},
      {"cr\r.mp3", false},
      {"\xA4\xA4\xA4\xE5 \t tab.mp3", true},
      {"/music/away.mp3", true},
      {"/music/\nfolder/away.mp3", false},
  };
  QList<QByteArray> names;
  QByteArray expected;
  for (const auto& c : cases) {
    EXPECT_EQ(FitsPlayList(c.Name), c.Fits) << c.Name.toHex().constData();
    names << c.Name;
    if (c.Fits) expected += c.Name + "\r\n";
  }
  EXPECT_EQ(PlayListText(names), expected);

  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  ASSERT_EQ(WritePlayList(dir.Path("list.m3u"), names), 0);
  EXPECT_EQ(ReadFile(dir.Path("list.m3u")), expected);
}

TEST(PlayListFileTest, TheProposedNameComesFromTheID3v2Tag) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const struct {
    const char* Name;
    bool Tag;
    std::string Artist, Album;
    QString Proposed;
  } cases[] = {
      {"ab.mp3", true, "A", "B", QString::fromUtf8("【A】B")},
      {"empty.mp3", true, "", "", QString::fromUtf8("【】")},
      {"none.mp3", false, "", "", "PlayList"},
      {"slash.mp3", true, "AC/DC", "Live/1", QString::fromUtf8("【AC_DC】Live_1")},
      {"big5.mp3", true, "\xA4\xA4", "\xA4\xE5", QString::fromUtf8("【中】文")},
      // Control characters of a received file's tag do not reach the name.
      {"control.mp3", true, "A\nB\rC", "D\x01\x1b[1m\x7f!", QString::fromUtf8("【A_B_C】D__[1m_!")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile(dir.Path(c.Name), QByteArray(417, '\0'));
    if (c.Tag) {
      TID3v2 tag;
      tag.SetTitle("t");
      tag.SetArtist(c.Artist);
      tag.SetAlbum(c.Album);
      ASSERT_TRUE(tag.WriteToFile(dir.Path(c.Name).toStdString()));
    }
    EXPECT_EQ(PlayListNameOfFile(dir.Path(c.Name)), c.Proposed);
    EXPECT_EQ(PlayListNameOfFile(dir.Path(c.Name), false), c.Proposed);
  }
  // A file that cannot be read proposes nothing.
  EXPECT_EQ(PlayListNameOfFile(dir.Path("missing.mp3")), std::nullopt);
  EXPECT_EQ(PlayListNameOfFile(dir.Path()), std::nullopt);
}
