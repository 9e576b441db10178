// Renaming after the title list: the parent-folder rule, the names a line gives or refuses, the
// rename that never replaces a file, and the album title of a file's tags. Real files, named in
// Big5, GBK and UTF-8.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "QtPrinters.h"
#include "RenamePlan.h"

using namespace melotag::editor;

namespace {}  // namespace

TEST(RenamePlanTest, ParentFolderOfAPath) {
  const struct {
    QByteArray Path, Parent;
  } cases[] = {
      {"/music/old/", "/music/"},
      {"/music/old", "/music/"},
      {"/a/b/c", "/a/b/"},
      {"/old/", ""},  // directly below the root: no parent
      {"/old", ""},
      {"/", ""},
      {"", ""},
      {"old", ""},
      // A Big5 name whose trail byte is 0x5C ("\") is one name.
      {"/m/\xA5\x5C/", "/m/"},
      {"/m/\xA5\x5C/x", "/m/\xA5\x5C/"},
      // UTF-8 "音" = E9 9F B3: skipping a byte after each "lead byte" of 950 would take the "/"
      // after B3 for a trail byte.
      {"/\xE9\x9F\xB3/x", "/\xE9\x9F\xB3/"},
  };
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  for (const auto& c : cases)
    EXPECT_EQ(ParentFolder(c.Path), c.Parent) << c.Path.toHex().constData();
}

TEST(RenamePlanTest, ALineNamesAFileInItsFolderOrNone) {
  const struct {
    QString Line;
    TNameProblem Problem;
  } cases[] = {
      {"One", TNameProblem::None},
      {" quoted \"name\" 'x' ", TNameProblem::None},
      {"...", TNameProblem::None},
      {"", TNameProblem::Empty},
      {"a/b", TNameProblem::Separator},
      {"../up", TNameProblem::Separator},
      {QString("a") + QChar(0) + "b", TNameProblem::ZeroByte},
      {".", TNameProblem::DotName},
      {"..", TNameProblem::DotName},
  };
  QList<QByteArray> paths;
  QStringList lines;
  for (const auto& c : cases) {
    EXPECT_EQ(NameProblem(c.Line), c.Problem) << c.Line.toStdString();
    paths << "/music/x" + QByteArray::number(paths.size()) + ".MP3";
    lines << c.Line;
  }
  const QList<TRenameStep> steps = PlanRenames(paths, lines);
  ASSERT_EQ(steps.size(), paths.size());
  for (qsizetype i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(lines[i].toStdString());
    EXPECT_EQ(steps[i].OldPath, paths[i]);
    EXPECT_EQ(steps[i].Problem, cases[i].Problem);
    if (cases[i].Problem == TNameProblem::None)
      EXPECT_EQ(steps[i].NewPath, "/music/" + lines[i].toUtf8() + ".mp3");
    else
      EXPECT_TRUE(steps[i].NewPath.isEmpty());
  }
}

TEST(RenamePlanTest, AnUnchangedLineKeepsTheNameBytes) {
  const QByteArray big5 = "/m/\xA4\xA4\xA4\xE5.MP3";  // "中文" in Big5
  const QByteArray gbk = "/m/\xB0\xA1.mp3";           // "啊" in GBK
  const QByteArray utf8 = "/m/\xE4\xB8\xAD.mp3";      // "中" in UTF-8
  const QByteArray noText = "/m/\xFF\xFE.mp3";
  const struct {
    const char* CodePage;
    QByteArray Path;
    QString Line;
    QByteArray NewPath;
  } cases[] = {
      {"950", big5, U("中文"), "/m/\xA4\xA4\xA4\xE5.mp3"},
      {"950", big5, U("01中文"), "/m/01\xE4\xB8\xAD\xE6\x96\x87.mp3"},  // typed text: UTF-8
      {"936", gbk, U("啊"), "/m/\xB0\xA1.mp3"},
      {"950", utf8, U("中"), "/m/\xE4\xB8\xAD.mp3"},
      {"1252", noText, U("ÿþ"), "/m/\xFF\xFE.mp3"},
      {"950", noText, QString(QChar(0xDCFF)) + QChar(0xDCFE), "/m/\xFF\xFE.mp3"},
      {"950", "/m/a.mp3.MP3", "a", "/m/a.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.toHex().toStdString());
    const TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    const QList<TRenameStep> steps = PlanRenames({c.Path}, {c.Line});
    ASSERT_EQ(steps.size(), 1);
    EXPECT_EQ(steps[0].NewPath, c.NewPath);
  }
}

TEST(RenamePlanTest, ARenameNeverReplacesAFile) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray a = dir.Path("a.mp3"), b = dir.Path("b.mp3");
  WriteFile(a, "A");
  WriteFile(b, "B");
  EXPECT_EQ(RenameNoReplace(a, b), EEXIST);
  EXPECT_EQ(ReadFile(a), "A");
  EXPECT_EQ(ReadFile(b), "B");

  // A folder is never replaced either, not even an empty one.
  const QByteArray folder = dir.Path("folder");
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  EXPECT_EQ(RenameNoReplace(a, folder), EEXIST);
  EXPECT_EQ(ReadFile(a), "A");

  const struct {
    QByteArray From, To;
    int Error;
  } cases[] = {
      {dir.Path("gone.mp3"), dir.Path("c.mp3"), ENOENT},           // vanished before renaming
      {a, dir.Path("missing/a.mp3"), ENOENT},                      // no such folder
      {a, dir.Path(QByteArray(300, 'x') + ".mp3"), ENAMETOOLONG},  // too long a name
      {a, QByteArray("x\0y", 3), EINVAL},                          // a zero byte
      {a, a, 0},                                                   // nothing changes
      {a, dir.Path("\xA4\xA4 \"q\" 'x'.mp3"), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(RenameNoReplace(c.From, c.To), c.Error) << c.To.constData();
  EXPECT_EQ(ReadFile(dir.Path("\xA4\xA4 \"q\" 'x'.mp3")), "A");
  EXPECT_FALSE(Exists(a));

  // A change of letter case only.
  EXPECT_EQ(RenameNoReplace(b, dir.Path("B.MP3")), 0);
  EXPECT_EQ(ReadFile(dir.Path("B.MP3")), "B");
  // A folder.
  EXPECT_EQ(RenameNoReplace(folder, dir.Path("\xB0\xA1")), 0);
  EXPECT_TRUE(Exists(dir.Path("\xB0\xA1")));
}

namespace {

// An MP3 file with the tags given (none for an empty artist and album of either).
void WriteTagged(const QByteArray& path, const std::string& artist1, const std::string& album1,
                 bool v2, const std::string& artist2 = {}, const std::string& album2 = {}) {
  WriteFile(path, QByteArray(417, '\0'));
  if (!artist1.empty() || !album1.empty()) {
    TID3v1 tag;
    tag.SetArtist(artist1);
    tag.SetAlbum(album1);
    ASSERT_TRUE(tag.WriteToFile(path.toStdString()));
  }
  if (v2) {
    TID3v2 tag;
    tag.SetArtist(artist2);
    tag.SetAlbum(album2);
    ASSERT_TRUE(tag.WriteToFile(path.toStdString()));
  }
}

}  // namespace

TEST(RenamePlanTest, TheAlbumTitleOfAFileWithTheID3v2TagWinning) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const struct {
    const char* Name;
    std::string Artist1, Album1;
    bool V2;
    std::string Artist2, Album2;
    std::optional<QString> Title;
  } cases[] = {
      {"v1.mp3", "A", "B", false, "", "", U("【A】B")},
      {"both.mp3", "A", "B", true, "C", "D", U("【C】D")},
      {"v2.mp3", "", "", true, "C", "D", U("【C】D")},
      {"v2noalbum.mp3", "A", "B", true, "C", "", U("【A】B")},
      {"v1noalbum.mp3", "A", "", false, "", "", std::nullopt},
      {"none.mp3", "", "", false, "", "", std::nullopt},
      {"big5.mp3", "\xA4\xA4", "\xA4\xE5", false, "", "", U("【中】文")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteTagged(dir.Path(c.Name), c.Artist1, c.Album1, c.V2, c.Artist2, c.Album2);
    EXPECT_EQ(AlbumTitleOfFile(dir.Path(c.Name)), c.Title);
  }
  EXPECT_EQ(AlbumTitleOfFile(dir.Path("missing.mp3")), std::nullopt);
  EXPECT_EQ(AlbumTitleOfFile(dir.Path()), std::nullopt);
}
