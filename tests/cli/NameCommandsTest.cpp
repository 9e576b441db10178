// tags-from-names, rename --pattern and cover on real files: the values and names of a pattern,
// names that do not match, covers set, extracted and removed, read back by mutagen.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <unistd.h>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "CodePageText.h"
#include "ID3v1.h"
#include "TagTestSupport.h"

using namespace tagtest;

namespace {

class CliNameTest : public ::testing::Test {
 protected:
  QByteArray Song(const QByteArray& name, const std::string& tag = {}) {
    const QByteArray path = dir.Path(name);
    WriteBytes(path.toStdString(), tag + MpegAudio(1));
    return path;
  }
  // A value of the file's ID3v2 tag as mutagen reads it (UTF-8), or "" when it has none.
  static std::string Mutagen(const QByteArray& path, const char* frame) {
    return RunCommand(
        "/usr/bin/python3 -c 'import sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
        "sys.stdout.write(str(t[sys.argv[2]]) if sys.argv[2] in t else \"\")' " +
        Quote(path.toStdString()) + " " + frame);
  }
  TByteTempDir dir;
};

TEST_F(CliNameTest, TagsFromNamesWritesWhatThePatternReadsAndLeavesOtherNamesAlone) {
  const QByteArray big5 = QByteArray::fromStdString(Cp(u"故事 - 晴天", 950));
  const QByteArray a = Song("01 - Artist - Title - Live.mp3",
                            Tag(Frame("TALB", std::string("\0Album", 6)) +
                                Frame("APIC", std::string("\0image/png\0\x03\0PNG", 16))));
  const QByteArray b = Song(big5 + ".mp3");
  const QByteArray c = Song("no pattern here.mp3");
  const TCliResult dry =
      RunCli({"tags-from-names", "--pattern", "%track% - %artist% - %title%", a, c}, "950");
  const TCliResult run =
      RunCli({"tags-from-names", "--v2", "--pattern", "%track% - %artist% - %title%", a, c}, "950");
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Err.contains("no pattern here.mp3: the name does not match the pattern"));
  EXPECT_EQ(Mutagen(a, "TRCK"), "1");
  EXPECT_EQ(Mutagen(a, "TPE1"), "Artist");
  EXPECT_EQ(Mutagen(a, "TIT2"), "Title - Live");
  EXPECT_EQ(Mutagen(a, "TALB"), "Album") << "a field the pattern does not name stays";
  EXPECT_NE(ReadFile(a).indexOf("PNG"), -1) << "the cover stays";
  EXPECT_EQ(ReadFile(c), QByteArray::fromStdString(MpegAudio(1)));

  const TCliResult shown =
      RunCli({"tags-from-names", "--pattern", "%artist% - %title%", "--dry-run", b}, "950");
  EXPECT_EQ(shown.Status, 0);
  EXPECT_TRUE(shown.Out.contains("artist=故事, title=晴天")) << shown.Out.constData();
  ASSERT_EQ(RunCli({"tags-from-names", "--pattern", "%artist% - %title%", b}, "950").Status, 0);
  const TCliResult both = RunCli({"show", "--v2", "--json", b}, "950");
  EXPECT_TRUE(both.Out.contains("\"title\":\"晴天\"")) << both.Out.constData();
  EXPECT_TRUE(both.Out.contains(QByteArray::fromStdString("\"artist\":\"" + Hex(Cp(u"故事", 950)))))
      << "Big5 bytes in a new legacy tag: " << both.Out.constData();
}

// What an ID3v1 tag cannot hold goes into ID3v2 alone, said once: no track is wrapped.
TEST_F(CliNameTest, TagsFromNamesPutsTracksAbove255AndOtherGenresInID3v2Alone) {
  const QByteArray a = Song("300 - Mandopop.mp3"), b = Song("301 - Mandopop.mp3");
  const TCliResult run = RunCli({"tags-from-names", "--pattern", "%track% - %genre%", a, b});
  EXPECT_EQ(run.Status, 0) << run.Err.constData();
  EXPECT_EQ(run.Err.count("ID3v1 tags get no track"), 1) << run.Err.constData();
  EXPECT_EQ(run.Err.count("ID3v1 tags get no genre"), 1) << run.Err.constData();
  EXPECT_EQ(Mutagen(a, "TRCK"), "300");
  EXPECT_EQ(Mutagen(b, "TCON"), "Mandopop");
  TID3v1 v1;
  ASSERT_TRUE(v1.LoadFromFile(a.toStdString()));
  EXPECT_TRUE(v1.Exists());
  EXPECT_EQ(v1.Track(), 0);
  EXPECT_EQ(v1.GenreIndex(), 255);
}

TEST_F(CliNameTest, RenameByPatternNamesFilesAfterTheirTagsAndNeverReplacesOne) {
  const QByteArray a = Song("a.mp3", Tag(Frame("TPE1", std::string("\0AC/DC", 6)) +
                                         Frame("TIT2", std::string("\0Back", 5)) +
                                         Frame("TRCK", std::string("\0"
                                                                   "6/10",
                                                                   5))));
  const QByteArray b = Song("b.mp3", Tag(Frame("TIT2", std::string("\0No artist", 10))));
  Song("AC_DC - 06 Back.mp3.taken");  // not in the way
  const TCliResult run = RunCli({"rename", "--pattern", "%artist% - %track% %title%", a, b});
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(Exists(dir.Path("AC_DC - 06 Back.mp3")));
  EXPECT_TRUE(Exists(b)) << "a file whose tags lack a field keeps its name";
  EXPECT_TRUE(run.Err.contains("the tags give no %artist%, %track%")) << run.Err.constData();
  // Another file that would take the same name fails; nothing is replaced.
  const QByteArray c = Song("c.mp3", Tag(Frame("TPE1", std::string("\0AC/DC", 6)) +
                                         Frame("TIT2", std::string("\0Back", 5)) +
                                         Frame("TRCK", std::string("\0"
                                                                   "6",
                                                                   2))));
  const TCliResult again = RunCli({"rename", "--pattern", "%artist% - %track% %title%", c});
  EXPECT_EQ(again.Status, 1);
  EXPECT_TRUE(Exists(c));
  EXPECT_EQ(RunCli({"rename", "--pattern", "%artist%/%title%", c}).Status, 2);
  EXPECT_EQ(RunCli({"rename", "--pattern", "%nope%", c}).Status, 2);
}

TEST_F(CliNameTest, CoverIsSetShownExtractedAndRemoved) {
  QImage image(12, 7, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "PNG"));
  const QByteArray imagePath = dir.Path("cover.jpg");  // a PNG by its content
  WriteFile(imagePath, png);
  const QByteArray a = Song("a.mp3", Tag(Frame("USLT", std::string("\0eng\0words", 10))));
  const QByteArray b = Song("b.mp3");
  // A back cover alone: the front cover joins it.
  const std::string backCover =
      std::string("\0image/jpeg\0\x04\0", 14) + "\xFF\xD8\xFF\xE0" + "back";  // 8 bytes of image
  const QByteArray c = Song("c.mp3", Tag(Frame("APIC", backCover)));
  ASSERT_EQ(RunCli({"cover", "--set", imagePath, a, b, c}).Status, 0);
  const TCliResult shown = RunCli({"cover", a});
  const QByteArray front = "type 3, image/png, " + QByteArray::number(png.size()) + " bytes, 12x7";
  EXPECT_TRUE(shown.Out.contains(front)) << shown.Out.constData();
  EXPECT_NE(ReadFile(a).indexOf("words"), -1);
  const TCliResult both = RunCli({"cover", c});
  EXPECT_TRUE(both.Out.contains("type 4, image/jpeg, 8 bytes") && both.Out.contains(front))
      << both.Out.constData();

  MakeFolder(dir.Path("out"));
  ASSERT_EQ(RunCli({"cover", "--extract", dir.Path("out"), a, b}).Status, 0);
  EXPECT_EQ(ReadFile(dir.Path("out/a.png")), png);
  EXPECT_EQ(RunCli({"cover", "--extract", dir.Path("out"), a}).Status, 1) << "never over a file";

  ASSERT_EQ(RunCli({"cover", "--remove", a}).Status, 0);
  EXPECT_TRUE(RunCli({"cover", a}).Out.contains("no picture"));
  WriteFile(dir.Path("text.png"), "hello");
  EXPECT_EQ(RunCli({"cover", "--set", dir.Path("text.png"), a}).Status, 1);
}

// A picture whose frame inflates past 16 MiB is listed as too large and said once, never extracted;
// an image file of more than 20 MiB (a sparse one of 20 GB) is named and not read.
TEST_F(CliNameTest, CoverPicturesAndImagesBeyondTheirBoundsAreNamedNotRead) {
  const std::string back = std::string("\0image/jpeg\0\x04\0", 14) + "\xFF\xD8\xFF\xE0" + "back";
  const QByteArray a =
      Song("a.mp3", Tag(CompressedFrame("APIC", std::string("\0image/png\0\x03\0", 13), 200 << 20) +
                        Frame("APIC", back)));
  const TCliResult shown = RunCli({"cover", a});
  EXPECT_EQ(shown.Status, 0);
  EXPECT_TRUE(
      shown.Out.contains("  a compressed picture too large to inflate, kept as it is\n"
                         "  type 4, image/jpeg, 8 bytes\n"))
      << shown.Out.constData();
  EXPECT_EQ(shown.Err.count("too large"), 1) << shown.Err.constData();
  EXPECT_LT(shown.PeakKb, 150 * 1024);
  MakeFolder(dir.Path("out"));
  ASSERT_EQ(RunCli({"cover", "--extract", dir.Path("out"), a}).Status, 0);
  EXPECT_EQ(ReadFile(dir.Path("out/a.jpg")), QByteArray("\xFF\xD8\xFF\xE0"
                                                        "back"))
      << "the picture that inflates";

  const QByteArray before = ReadFile(a);
  for (const qint64 size : {(qint64{20} << 20) + 1, qint64{20} << 30}) {
    const QByteArray image = dir.Path("huge.jpg");
    WriteFile(image, "\xFF\xD8\xFF\xE0");
    ASSERT_EQ(::truncate(image.constData(), size), 0);
    const TCliResult set = RunCli({"cover", "--set", image, a});
    EXPECT_EQ(set.Status, 1);
    EXPECT_TRUE(set.Err.contains("huge.jpg: the image is too large (more than 20 MiB)"))
        << set.Err.constData();
    EXPECT_EQ(ReadFile(a), before);
  }
}

}  // namespace
