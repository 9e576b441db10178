// repair-tags and repair-names on real files: the dry run's preview, the repairs read back (the
// tags by mutagen), the code-page choice, failures and usage errors.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "CodePageText.h"
#include "TagTestSupport.h"

using namespace tagtest;

namespace {

QByteArray Bytes(const char16_t* text, int codePage) {
  return QByteArray::fromStdString(Cp(text, codePage));
}

// An MP3 file with a 2.3 tag of a code-page title and artist.
QByteArray Song(const QByteArray& title, const QByteArray& artist) {
  const std::string frames =
      Frame("TIT2", '\0' + title.toStdString()) + Frame("TPE1", '\0' + artist.toStdString());
  return QByteArray::fromStdString(Tag(frames) + MpegAudio());
}

// What mutagen reads: title and artist.
QString MutagenTitleArtist(const QByteArray& path) {
  int status = 0;
  const std::string out = RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
      "print(t[\"TIT2\"].text[0] + \"|\" + t[\"TPE1\"].text[0])' " +
          Quote(path.toStdString()),
      &status);
  EXPECT_EQ(status, 0) << out;
  return QString::fromUtf8(out).trimmed();
}

TEST(CliRepair, TagsAreReadThroughTheChosenOrGuessedCodePage) {
  struct TCase {
    const char* Name;
    QByteArray Title, Artist;
    const char* Choice;
    QString Preview;  // the dry run's lines after the path, fields apart by "|"
    QString After;    // title|artist as mutagen reads them after the run
  } cases[] = {
      {"Big5 guessed", Bytes(u"七里香", 950), Bytes(u"周杰倫", 950), "guess",
       U(u"Title|950|七里香;Artist|950|周杰倫"), U(u"七里香|周杰倫")},
      {"GBK guessed", Bytes(u"后来", 936), Bytes(u"刘若英", 936), "guess",
       U(u"Title|936|后来;Artist|936|刘若英"), U(u"后来|刘若英")},
      {"Shift-JIS chosen", Bytes(u"千本桜", 932), Bytes(u"初音ミク", 932), "932",
       U(u"Title|932|千本桜;Artist|932|初音ミク"), U(u"千本桜|初音ミク")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TByteTempDir dir;
    const QByteArray path = dir.Path("song.mp3");
    WriteFile(path, Song(c.Title, c.Artist));
    const QByteArray before = ReadFile(path);
    const TCliResult dry =
        RunCli({"repair-tags", "--codepage", c.Choice, "--dry-run", path}, "950");
    EXPECT_EQ(dry.Status, 0) << dry.Err.constData();
    QStringList rows;
    for (const QByteArray& line : dry.Out.split('\n'))
      if (!line.isEmpty()) rows << QString::fromUtf8(line.mid(path.size() + 1)).replace('\t', '|');
    EXPECT_EQ(rows.join(';'), c.Preview);
    EXPECT_EQ(ReadFile(path), before) << "a dry run changes nothing";

    const TCliResult run = RunCli({"repair-tags", "--codepage", c.Choice, path}, "950");
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(MutagenTitleArtist(path), c.After);
  }
}

TEST(CliRepair, NamesAndFoldersBecomeUtf8AndFailuresAreNamed) {
  TByteTempDir dir;
  const QByteArray folder = dir.Path(Bytes(u"周杰倫", 950));
  MakeFolder(folder);
  const QByteArray song = folder + '/' + Bytes(u"晴天", 950) + ".mp3";
  const QByteArray unreadable = folder + "/\xA4.mp3";  // a lone Big5 lead byte
  WriteFile(song, "song");
  WriteFile(unreadable, "odd");

  const TCliResult dry =
      RunCli({"repair-names", "--codepage", "950", "--folders", "--dry-run", song, unreadable});
  EXPECT_EQ(dry.Status, 1);
  EXPECT_EQ(dry.Out, song + "\t950\t" + U(u"晴天.mp3").toUtf8() + '\n' + folder + "\t950\t" +
                         U(u"周杰倫").toUtf8() + '\n');
  EXPECT_TRUE(dry.Err.contains("cannot be read in code page 950")) << dry.Err.constData();

  const TCliResult run =
      RunCli({"repair-names", "--codepage", "950", "--folders", song, unreadable});
  EXPECT_EQ(run.Status, 1);
  const QByteArray repaired = dir.Path(U(u"周杰倫").toUtf8());
  EXPECT_EQ(ReadFile(repaired + '/' + U(u"晴天.mp3").toUtf8()), "song");
  EXPECT_EQ(ReadFile(repaired + "/\xA4.mp3"), "odd");
}

TEST(CliRepair, UsageErrors) {
  for (const QList<QByteArray>& arguments :
       {QList<QByteArray>{"repair-tags", "--codepage", "65001", "x.mp3"},
        {"repair-names", "--codepage", "big5", "x.mp3"},
        {"repair-tags"}}) {
    SCOPED_TRACE(arguments.join(' ').constData());
    EXPECT_EQ(RunCli(arguments).Status, 2);
  }
}

}  // namespace
