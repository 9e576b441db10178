// titles, rename, playlist and convert on real files: legacy names and texts under 950 and 936,
// a title list that goes round through a file, the exit statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "TagTestSupport.h"

namespace {

const QByteArray kBig5Name = "\xB4\xB8\xA4\xD1";  // 晴天 in Big5: not UTF-8
const QByteArray kGbkName = "\xC7\xE7\xCC\xEC";   // 晴天 in GBK

class CliListTest : public ::testing::Test {
 protected:
  QByteArray File(const QByteArray& name) {
    const QByteArray path = dir.Path(name);
    WriteFile(path);
    return path;
  }
  bool Exists(const QByteArray& name) const {
    struct stat status;
    return ::lstat(dir.Path(name).constData(), &status) == 0;
  }
  TByteTempDir dir;
};

TEST_F(CliListTest, TitlesAreCodePageLinesThatKeepEveryNamesBytes) {
  struct TCase {
    const char* CodePage;
    QByteArray Name;
    QByteArray Line;  // nothing: no line
  } cases[] = {
      {"950", kBig5Name + ".mp3", kBig5Name},    // a Big5 name: its bytes
      {"950", "晴天.mp3", kBig5Name},            // UTF-8 text Big5 holds: Big5
      {"936", "晴天.MP3", kGbkName},             // and GBK under 936
      {"950", "周杰伦.mp3", "周杰伦"},           // 伦 is no Big5: the UTF-8 bytes stay
      {"936", kGbkName + ".mp3.mp3", kGbkName},  // up to the first ".mp3"
      {"1252", "Caf\xC3\xA9.mp3", "Caf\xE9"},    // UTF-8 é in 1252
      {"65001", kBig5Name + ".mp3", kBig5Name},  // bytes no UTF-8: as they are
      {"950", "notes.txt", ""},                  // no ".mp3": no line
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name.toHex().constData());
    const QByteArray path = File(c.Name);
    const TCliResult run = RunCli({"titles", "--from-names", path}, c.CodePage);
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(run.Out.toHex(), c.Line.isEmpty() ? QByteArray() : (c.Line + '\n').toHex());
    ::unlink(path.constData());
  }
}

TEST_F(CliListTest, RenameAfterTheTitlesOfTheNamesKeepsThemAndAnEditedListRenames) {
  for (const char* codePage : {"950", "936"}) {
    SCOPED_TRACE(codePage);
    const QByteArray legacy = QByteArray(codePage) == "950" ? kBig5Name : kGbkName;
    const QByteArray names[] = {legacy + ".mp3", "周杰伦.mp3", "b.mp3"};
    QList<QByteArray> paths;
    for (const QByteArray& name : names) paths.append(File(name));

    // The lines the names give, written to a list and read back: every name stays.
    const TCliResult titles = RunCli(QList<QByteArray>{"titles", "--from-names"} + paths, codePage);
    ASSERT_EQ(titles.Status, 0);
    WriteFile(dir.Path("list.txt"), titles.Out);
    const TCliResult same =
        RunCli(QList<QByteArray>{"rename", "--titles", dir.Path("list.txt")} + paths, codePage);
    EXPECT_EQ(same.Status, 0) << same.Err.constData();
    for (const QByteArray& name : names) EXPECT_TRUE(Exists(name)) << name.toHex().constData();

    // An edited list: the dry run shows the plan and changes nothing; then the files move. An
    // empty line leaves its file alone, CR LF ends lines too.
    WriteFile(dir.Path("list.txt"), legacy + "-2\r\n\r\nc\r\n");
    const TCliResult dry =
        RunCli(QList<QByteArray>{"rename", "--dry-run", "--titles", dir.Path("list.txt")} + paths,
               codePage);
    EXPECT_EQ(dry.Status, 0) << dry.Err.constData();
    EXPECT_EQ(dry.Out.count('\n'), 2) << dry.Out.constData();
    EXPECT_TRUE(dry.Out.endsWith("/b.mp3 -> " + dir.Path("c.mp3") + "\n")) << dry.Out.constData();
    for (const QByteArray& name : names) EXPECT_TRUE(Exists(name));
    const TCliResult moved =
        RunCli(QList<QByteArray>{"rename", "--titles", dir.Path("list.txt")} + paths, codePage);
    EXPECT_EQ(moved.Status, 0) << moved.Err.constData();
    // A changed line is text: its name is written as UTF-8, as the window writes it.
    EXPECT_TRUE(Exists("晴天-2.mp3"));
    EXPECT_FALSE(Exists(legacy + ".mp3"));
    EXPECT_TRUE(Exists("周杰伦.mp3"));
    EXPECT_TRUE(Exists("c.mp3"));
    for (const char* name : {"晴天-2.mp3", "周杰伦.mp3", "c.mp3"})
      ::unlink(dir.Path(name).constData());
  }
}

TEST_F(CliListTest, RenameNeverReplacesAFileAndRefusesAListThatDoesNotPair) {
  const QByteArray a = File("a.mp3"), b = File("b.mp3");
  File("taken.mp3");
  struct TCase {
    QByteArray List;
    int Status;
    const char* Says;
  } cases[] = {
      {"taken\nb\n", 1, "a.mp3: not renamed to taken.mp3: a file or folder of that name exists"},
      {"x/y\nb\n", 1, "a.mp3: the name holds \"/\""},
      {"only one\n", 1, "1 line(s) for 2 file(s); nothing was renamed"},
      {"", 1, "0 line(s) for 2 file(s)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Says);
    WriteFile(dir.Path("list.txt"), c.List);
    for (const bool dryRun : {true, false}) {
      QList<QByteArray> args = {"rename", "--titles", dir.Path("list.txt"), a, b};
      if (dryRun) args.append("--dry-run");
      const TCliResult run = RunCli(args);
      EXPECT_EQ(run.Status, c.Status);
      EXPECT_TRUE(run.Err.contains(c.Says)) << run.Err.constData();
      EXPECT_TRUE(Exists("a.mp3"));
      EXPECT_TRUE(Exists("b.mp3"));
      EXPECT_TRUE(Exists("taken.mp3"));
    }
  }
  const TCliResult missing = RunCli({"rename", "--titles", dir.Path("none.txt"), a});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_TRUE(missing.Err.contains("none.txt: No such file or directory"));
  const TCliResult noList = RunCli({"rename", a});
  EXPECT_EQ(noList.Status, 2);
}

TEST_F(CliListTest, PlayListHoldsTheExactNamesInArgumentOrder) {
  ASSERT_EQ(::mkdir(dir.Path("other").constData(), 0755), 0);
  const QByteArray big5 = File(kBig5Name + ".mp3");
  const QByteArray b = File("b.mp3");
  const QByteArray away = File("other/x.mp3");
  const QByteArray out = dir.Path("list.m3u");
  WriteFile(out, "old content that is longer than the new one, all of it replaced");
  const TCliResult run = RunCli({"playlist", out, b, big5, away}, "950");
  EXPECT_EQ(run.Status, 0) << run.Err.constData();
  EXPECT_EQ(ReadFile(out), "b.mp3\r\n" + kBig5Name + ".mp3\r\n" + away + "\r\n");

  // A relative play list names the files beside it by name, from the working folder.
  const TCliResult relative =
      RunCli({"playlist", "here.m3u", "b.mp3", "other"}, "950", {}, dir.Path());
  EXPECT_EQ(relative.Status, 0) << relative.Err.constData();
  EXPECT_EQ(ReadFile(dir.Path("here.m3u")), "b.mp3\r\n" + away + "\r\n");

  // A file that cannot be listed: no play list at all.
  const TCliResult failed = RunCli({"playlist", dir.Path("new.m3u"), b, dir.Path("gone.mp3")});
  EXPECT_EQ(failed.Status, 1);
  EXPECT_FALSE(Exists("new.m3u"));
  EXPECT_EQ(RunCli({"playlist", out}).Status, 2);
}

// A received album: a link where the play list goes, a name that would put lines of its own into
// the list. The link is refused and left as it was; the name is left out and named.
TEST_F(CliListTest, PlayListRefusesALinkAndLeavesOutNamesWithLineBreaks) {
  ASSERT_EQ(::mkdir(dir.Path("album").constData(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.Path("outside").constData(), 0755), 0);
  WriteFile(dir.Path("outside/shellrc"), "SAFE CONTENT");
  const QByteArray song = File("album/01.mp3");
  const QByteArray evil = File("album/02\r\n#EXTINF:1,Evil\r\nrm -rf ~.mp3");
  ASSERT_EQ(::symlink("../outside/shellrc", dir.Path("album/Album.m3u").constData()), 0);

  const TCliResult linked = RunCli({"playlist", dir.Path("album/Album.m3u"), song});
  EXPECT_EQ(linked.Status, 1);
  EXPECT_TRUE(
      linked.Err.contains("Album.m3u: the play list's name is a link: not written through it"))
      << linked.Err.constData();
  EXPECT_EQ(ReadFile(dir.Path("outside/shellrc")), "SAFE CONTENT");
  struct stat status;
  ASSERT_EQ(::lstat(dir.Path("album/Album.m3u").constData(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));

  const TCliResult broken = RunCli({"playlist", dir.Path("album/list.m3u"), song, evil});
  EXPECT_EQ(broken.Status, 1);
  EXPECT_TRUE(broken.Err.contains("the name holds a line break: left out of the play list"))
      << broken.Err.constData();
  EXPECT_EQ(ReadFile(dir.Path("album/list.m3u")), "01.mp3\r\n");
}

TEST_F(CliListTest, ConvertTurnsBig5AndGbkIntoEachOtherLineByLine) {
  // 晴天 / 個人 in Big5 and in GBK (个人); ASCII and line breaks, CR LF included, stay.
  const QByteArray big5 = "\xB4\xB8\xA4\xD1 1\r\n\xAD\xD3\xA4\x48\n\nend";
  const QByteArray gbk = "\xC7\xE7\xCC\xEC 1\r\n\xB8\xF6\xC8\xCB\n\nend";
  struct TCase {
    const char* CodePage;
    const char* Direction;
    QByteArray In, Out;
  } cases[] = {
      {"950", "--big5-to-gbk", big5, gbk},
      {"936", "--big5-to-gbk", big5, gbk},
      {"950", "--gbk-to-big5", gbk, big5},
      {"936", "--gbk-to-big5", gbk, big5},
      // Other code pages: characters, here UTF-8 text.
      {"65001", "--big5-to-gbk", "晴天 個人\n", "晴天 个人\n"},
      {"65001", "--gbk-to-big5", "晴天 个人\n", "晴天 個人\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.CodePage) + c.Direction);
    const TCliResult piped = RunCli({"convert", c.Direction}, c.CodePage, c.In);
    EXPECT_EQ(piped.Status, 0) << piped.Err.constData();
    EXPECT_EQ(piped.Out.toHex(), c.Out.toHex());
    WriteFile(dir.Path("in.txt"), c.In);
    const TCliResult named = RunCli({"convert", c.Direction, dir.Path("in.txt")}, c.CodePage);
    EXPECT_EQ(named.Out.toHex(), c.Out.toHex());
  }
  // The converted GBK text is what iconv reads as the simplified text of the Big5 one.
  int status = 0;
  WriteFile(dir.Path("gbk.txt"), RunCli({"convert", "--big5-to-gbk"}, "950", big5).Out);
  EXPECT_EQ(
      tagtest::RunCommand("iconv -f GBK -t UTF-8 " + dir.Path("gbk.txt").toStdString(), &status),
      "晴天 1\r\n个人\n\nend");
  EXPECT_EQ(status, 0);

  const TCliResult missing = RunCli({"convert", "--big5-to-gbk", dir.Path("none.txt")});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_TRUE(missing.Err.contains("none.txt: No such file or directory"));
  EXPECT_EQ(RunCli({"convert", dir.Path("in.txt")}).Status, 2);
  EXPECT_EQ(RunCli({"convert", "--big5-to-gbk", "--gbk-to-big5"}).Status, 2);
}

}  // namespace
