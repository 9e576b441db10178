// show, set and remove on real files: texts and names in Big5 under 950 and in GBK under 936, the
// JSON lines parsed, the exit statuses, and mutagen reading back what was written.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "FileSizeLimit.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "ID3v2Frames.h"
#include "TagTestSupport.h"

using namespace tagtest;

namespace {

// 晴天 and the artist (traditional 周杰倫 in Big5, simplified 周杰伦 in GBK) in each code page.
struct TLegacy {
  const char* CodePage;
  std::string Title;
  std::string Artist;
  const char* ArtistText;  // UTF-8
};
const TLegacy kBig5 = {"950", "\xB4\xB8\xA4\xD1", "\xA9\x50\xAA\x4E\xAD\xDB", "周杰倫"};
const TLegacy kGbk = {"936", "\xC7\xE7\xCC\xEC", "\xD6\xDC\xBD\xDC\xC2\xD7", "周杰伦"};

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class CliTagTest : public ::testing::Test {
 protected:
  // `name` in the folder: the audio, with an ID3v2.3 tag and an ID3v1 trailer of the values.
  QByteArray Song(const QByteArray& name, const std::string& title, const std::string& artist,
                  bool v1 = true, bool v2 = true) {
    const QByteArray path = dir.Path(name);
    WriteBytes(path.toStdString(), audio);
    auto fill = [&](auto& tag) {
      tag.SetTitle(title);
      tag.SetArtist(artist);
      tag.SetAlbum("Album");
      tag.SetYear("2003");
      tag.SetComment("Note");
      tag.SetTrack(7);
    };
    if (v1) {
      TID3v1 tag;
      fill(tag);
      tag.SetGenreIndex(13);
      EXPECT_TRUE(tag.WriteToFile(path.toStdString()));
    }
    if (v2) {
      TID3v2 tag;
      fill(tag);
      tag.SetGenre("Pop");
      EXPECT_TRUE(tag.WriteToFile(path.toStdString()));
    }
    return path;
  }
  static QJsonObject Json(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
    return document.object();
  }
  static TID3v2 V2(const QByteArray& path) {
    TID3v2 tag;
    EXPECT_TRUE(tag.LoadFromFile(path.toStdString()));
    return tag;
  }
  static TID3v1 V1(const QByteArray& path) {
    TID3v1 tag;
    EXPECT_TRUE(tag.LoadFromFile(path.toStdString()));
    return tag;
  }

  TByteTempDir dir;
  const std::string audio = MpegAudio(2);
};

// A text decoded from Big5 or GBK, as the program prints it.
TEST_F(CliTagTest, ShowDecodesBothTagsAndNamesThroughTheCodePage) {
  for (const TLegacy& legacy : {kBig5, kGbk}) {
    SCOPED_TRACE(legacy.CodePage);
    // The file is named by the title's legacy bytes: no UTF-8.
    const QByteArray name = QByteArray::fromStdString(legacy.Title) + ".mp3";
    const QByteArray path = Song(name, legacy.Title, legacy.Artist);

    const TCliResult text = RunCli({"show", path}, legacy.CodePage);
    EXPECT_EQ(text.Status, 0) << text.Err.constData();
    const QString shown = QString::fromUtf8(text.Out);
    EXPECT_TRUE(shown.contains(U("晴天.mp3\n"))) << text.Out.constData();
    EXPECT_TRUE(shown.contains(U("ID3v1: 1.1, 128 bytes\n  Title: 晴天\n  Artist: ") +
                               U(legacy.ArtistText) +
                               U("\n  Album: Album\n  Year: 2003\n  Track: 7\n  Genre: Pop\n"
                                 "  Comment: Note\n")))
        << text.Out.constData();
    EXPECT_TRUE(shown.contains(U("\nID3v2: 2.3, ")));
    EXPECT_EQ(shown.count(U("Artist: ") + U(legacy.ArtistText)), 2);

    const TCliResult json = RunCli({"show", "--json", path}, legacy.CodePage);
    EXPECT_EQ(json.Status, 0);
    ASSERT_EQ(json.Out.count('\n'), 1);
    const QJsonObject object = Json(json.Out);
    EXPECT_EQ(object["file"].toString(), QString::fromUtf8(dir.Path("")) + U("晴天.mp3"));
    EXPECT_EQ(object["file_hex"].toString().toLatin1(), path.toHex());
    for (const char* version : {"v1", "v2"}) {
      SCOPED_TRACE(version);
      const QJsonObject tag = object[version].toObject();
      EXPECT_TRUE(tag["exists"].toBool());
      EXPECT_EQ(tag["title"].toString(), U("晴天"));
      EXPECT_EQ(tag["artist"].toString(), U(legacy.ArtistText));
      EXPECT_EQ(tag["album"].toString(), "Album");
      EXPECT_EQ(tag["track"].toInt(), 7);
      EXPECT_EQ(tag["genre"].toString(), "Pop");
      const QJsonObject hex = tag["hex"].toObject();
      EXPECT_EQ(hex["title"].toString().toStdString(), Hex(legacy.Title));
      EXPECT_EQ(hex["artist"].toString().toStdString(), Hex(legacy.Artist));
      EXPECT_FALSE(hex.contains("album")) << "ASCII has no hex";
    }
    EXPECT_EQ(object["v1"].toObject()["version"].toString(), "1.1");
    EXPECT_EQ(object["v1"].toObject()["size"].toInt(), 128);
    EXPECT_EQ(object["v1"].toObject()["genre_index"].toInt(), 13);
    EXPECT_EQ(object["v2"].toObject()["version"].toString(), "2.3");
    EXPECT_EQ(object["v2"].toObject()["size"].toInt(), V2(path).Size());
  }
}

TEST_F(CliTagTest, ShowOneVersionFilesWithoutTagsAndFailures) {
  const QByteArray none = dir.Path("none.mp3");
  WriteBytes(none.toStdString(), audio);
  const QByteArray tagged = Song("tagged.mp3", "T", "A", true, false);
  const QByteArray missing = dir.Path("missing.mp3");

  struct TCase {
    const char* Choice;
    bool V1, V2;
  } cases[] = {{"--v1", true, false}, {"--v2", false, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Choice);
    const TCliResult run = RunCli({"show", "--json", c.Choice, none, tagged});
    EXPECT_EQ(run.Status, 0);
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    for (const QByteArray& line : lines) {
      const QJsonObject object = Json(line);
      EXPECT_EQ(object.contains("v1"), c.V1);
      EXPECT_EQ(object.contains("v2"), c.V2);
      EXPECT_FALSE(object.contains("file_hex")) << "a UTF-8 name";
    }
    EXPECT_FALSE(Json(lines[0])[c.V1 ? "v1" : "v2"].toObject()["exists"].toBool());
    EXPECT_EQ(Json(lines[1])["v1"].toObject()["exists"].toBool(), c.V1);
  }

  // A file that fails is named on stderr and marked in its line; the others are shown.
  const TCliResult run = RunCli({"show", "--json", missing, tagged});
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Err.contains("missing.mp3: No such file or directory")) << run.Err.constData();
  const QList<QByteArray> lines = run.Out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(Json(lines[0])["v1"].toObject()["exists"].toBool());
  const TCliResult text = RunCli({"show", none});
  EXPECT_EQ(text.Status, 0);
  EXPECT_TRUE(text.Out.contains("ID3v1: none\nID3v2: none\n")) << text.Out.constData();
}

TEST_F(CliTagTest, SetWritesTheGivenFieldsIntoTheChosenTagsTheRestKeepTheirBytes) {
  struct TCase {
    const char* Choice;  // nullptr: the default, both
    bool V1, V2;
  } cases[] = {
      {"--v1", true, false}, {"--v2", false, true}, {"--both", true, true}, {nullptr, true, true}};
  for (const TLegacy& legacy : {kBig5, kGbk}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(legacy.CodePage) + " " + (c.Choice ? c.Choice : "default"));
      const QByteArray path = Song("song.mp3", legacy.Title, "Old");
      const std::string before = ReadBytes(path.toStdString());
      const TID3v1 oldV1 = V1(path);
      const TID3v2 oldV2 = V2(path);
      const std::string md5 = AudioMd5(path.toStdString());
      QList<QByteArray> args = {"set",     "--artist", legacy.ArtistText, "--year", "1999",
                                "--genre", "rock"};
      if (c.Choice) args.append(c.Choice);
      args.append(path);
      const TCliResult run = RunCli(args, legacy.CodePage);
      EXPECT_EQ(run.Status, 0) << run.Err.constData();
      EXPECT_EQ(run.Err, "");
      EXPECT_EQ(AudioMd5(path.toStdString()), md5);
      const TValues v2 = MutagenRead(path.toStdString());
      const TValues v1 = MutagenRead(path.toStdString(), true);
      if (c.V2) {
        EXPECT_EQ(Hex(v2.at("artist")), Hex(legacy.Artist));
        EXPECT_EQ(Hex(v2.at("title")), Hex(legacy.Title));  // kept byte for byte
        EXPECT_EQ(v2.at("year"), "1999");
        EXPECT_EQ(v2.at("genre"), "Rock");
        EXPECT_EQ(v2.at("track"), "7");
        EXPECT_EQ(v2.at("comment"), "Note");
      } else {
        EXPECT_EQ(V2(path).Artist(), oldV2.Artist());
        EXPECT_EQ(ReadBytes(path.toStdString()).substr(0, 10 + size_t(oldV2.Size())),
                  before.substr(0, 10 + size_t(oldV2.Size())));
      }
      if (c.V1) {
        EXPECT_EQ(Hex(v1.at("artist")), Hex(legacy.Artist));
        EXPECT_EQ(Hex(v1.at("title")), Hex(legacy.Title));
        EXPECT_EQ(v1.at("year"), "1999");
        EXPECT_EQ(v1.at("genre"), "Rock");
        EXPECT_EQ(v1.at("track"), "7");
      } else {
        EXPECT_EQ(V1(path).Artist(), oldV1.Artist());
        const std::string after = ReadBytes(path.toStdString());
        EXPECT_EQ(after.substr(after.size() - 128), before.substr(before.size() - 128));
      }
    }
  }
}

TEST_F(CliTagTest, TracksNumberTheFilesInArgumentOrderAndFoldersBeforeTheirSubfolders) {
  // Given one by one, the files keep the order of the arguments.
  const QByteArray c = Song("c.mp3", "C", "A"), a = Song("a.mp3", "A", "A");
  ASSERT_EQ(RunCli({"set", "--v2", "--track-auto", c, a}).Status, 0);
  EXPECT_EQ(V2(c).Track(), 1);
  EXPECT_EQ(V2(a).Track(), 2);
  // A fixed track reaches every file.
  ASSERT_EQ(RunCli({"set", "--track", "12", c, a}).Status, 0);
  for (const QByteArray& path : {c, a}) {
    EXPECT_EQ(V2(path).Track(), 12);
    EXPECT_EQ(V1(path).Track(), 12);
  }

  // A folder: its files, then with -r each subfolder's; other files are left out.
  ASSERT_EQ(::mkdir(dir.Path("album").constData(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.Path("album/cd2").constData(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.Path("album/cd1").constData(), 0755), 0);
  const QByteArray cd2 = Song("album/cd2/x.mp3", "X", "A");
  const QByteArray cd1 = Song("album/cd1/y.MP3", "Y", "A");
  const QByteArray second = Song("album/2.mp3", "2", "A");
  const QByteArray first = Song("album/1.mp3", "1", "A");
  WriteFile(dir.Path("album/cover.jpg"));
  ASSERT_EQ(RunCli({"set", "--v2", "--track-auto", dir.Path("album")}).Status, 0);
  EXPECT_EQ(V2(first).Track(), 1);
  EXPECT_EQ(V2(second).Track(), 2);
  EXPECT_EQ(V2(cd1).Track(), 7) << "no -r: the subfolders stay as they were";
  ASSERT_EQ(RunCli({"set", "--v2", "-r", "--track-auto", dir.Path("album")}).Status, 0);
  EXPECT_EQ(V2(first).Track(), 1);
  EXPECT_EQ(V2(second).Track(), 2);
  EXPECT_EQ(V2(cd1).Track(), 3);
  EXPECT_EQ(V2(cd2).Track(), 4);
  // A link back up the tree is followed once, not forever.
  ASSERT_EQ(::symlink("..", dir.Path("album/cd2/up").constData()), 0);
  const TCliResult listed = RunCli({"titles", "--from-names", "--recursive", dir.Path("album")});
  EXPECT_EQ(listed.Status, 0) << listed.Err.constData();
  EXPECT_EQ(listed.Out, "1\n2\ny\nx\n");
}

TEST_F(CliTagTest, UnicodeOptionsWriteWhatTheCodePageLacksAndReadItBack) {
  // 伦 is no Big5 character: under 950 it needs UTF-16.
  const QByteArray path = Song("song.mp3", kBig5.Title, "Old");
  const TCliResult run =
      RunCli({"set", "--v2", "--write-unicode", "--artist", "周杰伦", path}, "950");
  EXPECT_EQ(run.Status, 0) << run.Err.constData();
  int status = 0;
  const std::string artist = RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
      "sys.stdout.buffer.write(t[\"TPE1\"].text[0].encode() + b\"|\" + "
      "t[\"TIT2\"].text[0].encode(\"latin-1\"))' " +
          Quote(path.toStdString()),
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(artist, "周杰伦|" + kBig5.Title) << "UTF-16 where needed, the code page elsewhere";
  const TCliResult shown = RunCli({"show", "--v2", "--read-unicode", "--json", path}, "950");
  const QJsonObject v2 = Json(shown.Out)["v2"].toObject();
  EXPECT_EQ(v2["artist"].toString(), U("周杰伦"));
  EXPECT_EQ(v2["title"].toString(), U("晴天"));
  // The exact write puts "?" for what the code page lacks.
  ASSERT_EQ(RunCli({"set", "--v2", "--exact", "--artist", "周杰伦", path}, "950").Status, 0);
  EXPECT_EQ(Hex(V2(path).Artist()), Hex("\xA9\x50\xAA\x4E?"));
}

TEST_F(CliTagTest, RemoveStripsTheChosenTagsAndKeepsTheAudio) {
  struct TCase {
    const char* Choice;
    bool V1Gone, V2Gone;
  } cases[] = {
      {"--v1", true, false}, {"--v2", false, true}, {"--both", true, true}, {nullptr, true, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Choice ? c.Choice : "default");
    const QByteArray path = Song(QByteArray::fromStdString(kBig5.Title) + ".mp3", "T", "A");
    const std::string md5 = AudioMd5(path.toStdString());
    QList<QByteArray> args = {"remove"};
    if (c.Choice) args.append(c.Choice);
    args.append(path);
    const TCliResult run = RunCli(args, "950");
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(V1(path).Exists(), !c.V1Gone);
    EXPECT_EQ(V2(path).Exists(), !c.V2Gone);
    EXPECT_EQ(AudioMd5(path.toStdString()), md5);
    EXPECT_EQ(MutagenRead(path.toStdString(), true).count("title"), c.V1Gone ? 0u : 1u);
    if (!c.V2Gone) {
      EXPECT_EQ(MutagenRead(path.toStdString()).at("title"), "T");
    }
  }
}

TEST_F(CliTagTest, AFailedFileIsNamedWithItsReasonTheOthersAreDone) {
  const QByteArray good = Song("good.mp3", "T", "A");
  const QByteArray missing = dir.Path("missing.mp3");
  const QByteArray pipe = dir.Path("pipe.mp3");
  ASSERT_EQ(::mkfifo(pipe.constData(), 0644), 0);
  const QList<QByteArray> commands[] = {{"set", "--artist", "B"}, {"remove", "--v2"}};
  for (const QList<QByteArray>& command : commands) {
    SCOPED_TRACE(command.first().constData());
    const TCliResult run = RunCli(command + QList<QByteArray>{missing, good, pipe});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("missing.mp3: No such file or directory")) << run.Err.constData();
    EXPECT_TRUE(run.Err.contains("pipe.mp3: not a regular file or folder")) << run.Err.constData();
    EXPECT_EQ(run.Err.count('\n'), 2);
  }
  EXPECT_EQ(V2(good).Exists(), false);
  EXPECT_EQ(V1(good).Artist(), "B");
}

// A write the system refuses names the file and the system's reason, as the window does.
TEST_F(CliTagTest, AWriteTheSystemRefusesNamesItsReason) {
  const QByteArray path = Song("song.mp3", "T", "A");
  const std::string before = ReadBytes(path.toStdString());
  TCliResult run;
  {
    // The file may not grow (as on a full disk): the limit passes to the tool.
    TFileSizeLimit limit(before.size());
    ASSERT_TRUE(limit.IsSet());
    run = RunCli({"set", "--v2", "--title", QByteArray(300, 'N'), path});
  }
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Err.contains("song.mp3: the ID3v2 tag cannot be written: File too large"))
      << run.Err.constData();
  EXPECT_EQ(ReadBytes(path.toStdString()), before);
}

// A tag of compressed frames that inflate far beyond their size: show holds at most one frame of
// 16 MiB at a time and names the others too large, once; a write of another field keeps their
// bytes.
TEST_F(CliTagTest, CompressedFrameBombsAreShownTooLargeAndKeptByAWrite) {
  constexpr size_t MiB = 1 << 20;
  const std::string comment = std::string("\0eng\0", 5);
  std::string frames = CompressedFrame("TIT2", std::string("\0Bomb", 5), 17 * MiB);
  for (int i = 0; i < 4; ++i) frames += CompressedFrame("COMM", comment, 250 * MiB);
  // Within 16 MiB each, but past the 64 MiB of the tag from the fifth on.
  for (int i = 0; i < 5; ++i) frames += CompressedFrame("PRIV", "", 15 * MiB);
  frames += Frame("TPE1", std::string("\0Artist", 7));
  const QByteArray path = dir.Path("bomb.mp3");
  WriteBytes(path.toStdString(), Tag(frames) + audio);
  ASSERT_LT(QFileInfo(QString::fromUtf8(path)).size(), 2 * 1024 * 1024);

  // Memory the sanitizers hold back after it was freed does not count.
  const std::string sanitizer = Env("ASAN_OPTIONS") + ":quarantine_size_mb=0";
  const TEnvScope noQuarantine("ASAN_OPTIONS", sanitizer.c_str());
  const auto start = std::chrono::steady_clock::now();
  const TCliResult shown = RunCli({"show", "--v2", path});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(shown.Status, 0) << shown.Err.constData();
  EXPECT_TRUE(shown.Out.contains("  Title: \n  Artist: Artist\n")) << shown.Out.constData();
  const QByteArray tooLarge = "TIT2, COMM, COMM, COMM, COMM, PRIV";
  EXPECT_TRUE(shown.Out.contains("Too large to inflate, kept as they are: " + tooLarge));
  EXPECT_EQ(shown.Err.count('\n'), 1) << shown.Err.constData();
  EXPECT_TRUE(shown.Err.contains("bomb.mp3: compressed frames too large to inflate"));
  EXPECT_TRUE(shown.Err.contains(tooLarge));
  // Frames of 16 MiB at most inflated, one at a time, never one of 250 MiB.
  EXPECT_LT(shown.PeakKb, 150 * 1024);
  const TCliResult json = RunCli({"show", "--json", "--v2", path});
  EXPECT_EQ(Json(json.Out)["v2"].toObject()["too_large"].toArray().size(), 6);

  melotag::tags::TFrameTag before, after;
  melotag::tags::ParseFrameTag(ReadFile(path).toStdString(), before);
  ASSERT_EQ(RunCli({"set", "--v2", "--artist", "New", path}).Status, 0);
  melotag::tags::ParseFrameTag(ReadFile(path).toStdString(), after);
  ASSERT_EQ(after.Frames.size(), before.Frames.size());
  for (size_t i = 0; i + 1 < before.Frames.size(); ++i) {
    EXPECT_EQ(after.Frames[i].Id, before.Frames[i].Id);
    EXPECT_EQ(after.Frames[i].Flags, before.Frames[i].Flags);
    EXPECT_TRUE(after.Frames[i].Data == before.Frames[i].Data) << i << " kept byte for byte";
  }
  EXPECT_EQ(V2(path).Artist(), "New");
}

// Names and texts reach a terminal as text: its control characters (escape sequences, carriage
// returns, line breaks, C1 controls) show as \xNN. A pipe gets them as they are.
TEST_F(CliTagTest, ShowEscapesControlCharactersOnATerminalAlone) {
  const QByteArray name = "a\x1B]0;owned\x07.mp3";
  const std::string title = "t\x1B[2Jx\ry\xC2\x9Bz";
  const QByteArray path = Song(name, title, "Artist", false);
  const TCliResult piped = RunCli({"show", "--v2", path}, "65001");
  EXPECT_TRUE(piped.Out.contains(name));
  EXPECT_TRUE(piped.Out.contains(QByteArray::fromStdString(title)));
  const TCliResult shown = RunCliOnTerminal({"show", "--v2", path}, "65001");
  EXPECT_EQ(shown.Status, 0);
  EXPECT_TRUE(shown.Out.contains("a\\x1B]0;owned\\x07.mp3\n")) << shown.Out.constData();
  EXPECT_TRUE(shown.Out.contains("  Title: t\\x1B[2Jx\\x0Dy\\x9Bz\n")) << shown.Out.constData();
  for (const char control : {'\x1B', '\x07', '\r'}) EXPECT_FALSE(shown.Out.contains(control));
  EXPECT_FALSE(shown.Out.contains("\xC2\x9B"));
  // Failures on stderr name the file the same way.
  const TCliResult failed =
      RunCliOnTerminal({"show", "--v2", dir.Path("gone\x1B[2J.mp3")}, "65001");
  EXPECT_EQ(failed.Status, 1);
  EXPECT_TRUE(failed.Out.contains("gone\\x1B[2J.mp3")) << failed.Out.constData();
  EXPECT_FALSE(failed.Out.contains('\x1B'));
}

TEST_F(CliTagTest, UsageErrorsChangeNothing) {
  const QByteArray path = Song("song.mp3", "T", "A");
  const std::string before = ReadBytes(path.toStdString());
  struct TCase {
    QList<QByteArray> Args;
    const char* Says;
  } cases[] = {
      {{"set", path}, "no field to set"},
      {{"set", "--track", "3/0", path}, "the track \"3/0\" is not a number from 1 to 9999"},
      {{"set", "--artist", "B", "--disc", "x/y", path}, "the disc \"x/y\""},
      {{"set", "--track", "10000", path}, "the track \"10000\""},
      {{"set", "--lyrics-file", dir.Path("missing.txt"), path}, "the lyrics file"},
      {{"set", "--lyrics", "a", "--lyrics-file", path, path}, "--lyrics and --lyrics-file exclude"},
      {{"set", "--exact", "--composer", "X", path}, "--composer is not written by the exact"},
      {{"set", "--track", "3", "--track-auto", path}, "--track and --track-auto exclude"},
      {{"set", "--v1", "--v2", "--artist", "B", path}, "--v1 and --v2 exclude"},
      {{"set", "--artist"}, "--artist needs a value"},
      {{"set", "--artist", "B"}, "no FILE given"},
      {{"set", "--colour", "B", path}, "unknown option '--colour'"},
      {{"set", "--track-auto=3", path}, "--track-auto takes no value"},
      {{"remove", "--json", path}, "unknown option '--json'"},
      {{"show", "--codepage", "abc", path}, "--codepage needs a code page number"},
      {{"show", "--codepage", "12345", path}, "12345"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Says);
    const TCliResult run = RunCli(c.Args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains(c.Says)) << run.Err.constData();
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(ReadBytes(path.toStdString()), before);
  }
}

}  // namespace

// A 2.4 tag made by mutagen with a track "3/12", lyrics and a cover: each set changes its field
// alone; a track given with its total takes it, one without keeps the file's.
TEST_F(CliTagTest, ATrackKeepsOrTakesItsTotalAndEveryOtherFrameStays) {
  const QByteArray path = dir.Path("mutagen24.mp3");
  int status = 0;
  RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i\n"
      "open(sys.argv[1], \"wb\").write(b\"\\xff\\xfb\\x90\\x64\" + bytes(4130))\n"
      "t = i.ID3(); t.add(i.TIT2(encoding=3, text=\"Title\")); "
      "t.add(i.TRCK(encoding=3, text=\"3/12\")); "
      "t.add(i.USLT(encoding=3, lang=\"eng\", desc=\"\", text=\"la la\")); "
      "t.add(i.APIC(encoding=3, mime=\"image/png\", type=3, desc=\"\", data=b\"png\" * 999))\n"
      "t.save(sys.argv[1], v2_version=4)' " +
          Quote(path.toStdString()),
      &status);
  ASSERT_EQ(status, 0);
  const std::string dump =
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
      "print(t.version[1], sorted((k, str(v) if not k.startswith(\"APIC\") else len(v.data)) "
      "for k, v in t.items()))' " +
      Quote(path.toStdString());
  const auto frames = [](const char* track) {
    return std::string("4 [('APIC:', 2997), ('TIT2', 'Title'), ('TPE1', 'New'), ('TRCK', '") +
           track + "'), ('USLT::eng', 'la la')]\n";
  };

  const struct {
    QList<QByteArray> Args;
    std::string Frames;
  } cases[] = {
      {{"--artist", "New"}, frames("3/12")},
      {{"--track", "4/12"}, frames("4/12")},
      {{"--track", "5"}, frames("5/12")},
      {{"--track", "6/10"}, frames("6/10")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.join(' ').constData());
    const TCliResult run =
        RunCli(QList<QByteArray>{"set", "--v2"} + c.Args + QList<QByteArray>{path});
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(RunCommand(dump), c.Frames);
  }
}

// The fields beyond the seven, any genre, and numbers beyond a trailer's: written into a
// mutagen 2.4 tag and a legacy 2.3 tag with a trailer, read back by show and by mutagen.
TEST_F(CliTagTest, AlbumArtistDiscComposerLyricsAndAnyGenreGoRoundWithMutagen) {
  const QByteArray legacy = Song("legacy.mp3", kBig5.Title, kBig5.Artist);
  const QByteArray lyrics = dir.Path("lyrics.txt");
  WriteBytes(lyrics.toStdString(), "\xE7\xAC\xAC\xE4\xB8\x80\xE8\xA1\x8C\r\nline two\r\n");
  const TCliResult run =
      RunCli({"set", "--album-artist", "群星", "--disc", "1/2", "--composer", "周杰倫",
              "--lyrics-file", lyrics, "--genre", "華語流行", "--track", "300", legacy},
             "950");
  EXPECT_EQ(run.Status, 0) << run.Err.constData();
  // Said once each: the genre and the track have no place in the trailer.
  EXPECT_EQ(run.Err.count("not in the ID3v1 genre list"), 1) << run.Err.constData();
  EXPECT_EQ(run.Err.count("does not fit an ID3v1 tag"), 1) << run.Err.constData();
  const TCliResult shown = RunCli({"show", "--json", legacy}, "950");
  const QJsonObject v2 = Json(shown.Out)["v2"].toObject();
  EXPECT_EQ(v2["album_artist"].toString(), U("群星"));
  EXPECT_EQ(v2["disc"].toInt(), 1);
  EXPECT_EQ(v2["disc_total"].toInt(), 2);
  EXPECT_EQ(v2["composer"].toString(), U("周杰倫"));
  EXPECT_EQ(v2["lyrics"].toString(), U("第一行\nline two"));
  EXPECT_EQ(v2["genre"].toString(), U("華語流行"));
  EXPECT_EQ(v2["track"].toInt(), 300);
  EXPECT_TRUE(v2["track_total"].isNull());
  // The old fields stay: the title in Big5, the year, the comment.
  EXPECT_EQ(v2["title"].toString(), U("晴天"));
  EXPECT_EQ(v2["year"].toString(), U("2003"));
  const QJsonObject v1 = Json(shown.Out)["v1"].toObject();
  EXPECT_EQ(v1["genre_index"].toInt(), 255);
  EXPECT_EQ(v1["track"].toInt(), 0);
  EXPECT_EQ(v1["title"].toString(), U("晴天"));
  EXPECT_FALSE(v1.contains("album_artist"));
  // mutagen reads the new frames; the legacy texts stay code-page bytes (Latin-1 to mutagen).
  const std::string dump = RunCommand(
      "PYTHONIOENCODING=utf-8 /usr/bin/python3 -c 'import sys, mutagen.id3 as i; "
      "t = i.ID3(sys.argv[1])\n"
      "for k in sorted(t.keys()):\n"
      "  v = t[k]\n"
      "  if k[:4] in (\"TPE2\", \"TPOS\", \"TCOM\", \"USLT\", \"TCON\", \"TRCK\"):\n"
      "    print(k + \"=\" + (str(v).encode(\"latin-1\").decode(\"cp950\") if v.encoding == 0 "
      "else str(v)))' " +
      Quote(legacy.toStdString()));
  EXPECT_EQ(QString::fromUtf8(QByteArray::fromStdString(dump)),
            U("TCOM=周杰倫\nTCON=華語流行\nTPE2=群星\nTPOS=1/2\nTRCK=300\nUSLT::eng=第一行\nline "
              "two\n"));
}

// Tags that cannot be read whole, as broken writers leave them: a write is refused with the reason
// and the file stays byte for byte (in the default and the exact write); --replace-damaged
// replaces the tag by one of the frames that could be read, the audio kept. Leftover bytes in the
// padding hide nothing: written. An empty file is named as empty.
TEST_F(CliTagTest, ADamagedTagIsRefusedWithItsReasonOrReplacedWhenAsked) {
  struct TCase {
    const char* Name;
    const char* Reason;  // empty: written without being asked
    const char* Kept;    // the frames mutagen reads after `set --artist New` (and the audio)
  };
  const char* const kAll = "TIT2=Title TPE1=New TALB=Album TCON=Rock USLT=la la APIC ";
  const TCase cases[] = {
      {"whole", "", kAll},
      {"leftover", "", kAll},
      {"beyond", "the ID3v2 tag claims 52,031 bytes, the file holds 12,021", kAll},
      {"junk", "the ID3v2 tag starts at byte 320, behind other data", kAll},
      {"stray-zero", "the frames of the ID3v2 tag stop at byte 52 of them, before a frame TCON",
       "TIT2=Title TPE1=New "},
      {"junk-id", "the frames of the ID3v2 tag stop at byte 52 of them, before a frame TCON",
       "TIT2=Title TPE1=New "},
      {"past-end", "the frame APIC runs past the end of the ID3v2 tag",
       "TIT2=Title TPE1=New TALB=Album TCON=Rock USLT=la la "},
  };
  const auto peer = [](const std::string& args) {
    int status = -1;
    std::string out = RunCommand("/usr/bin/python3 " + Quote(DAMAGED_TAGS) + " " + args, &status);
    EXPECT_EQ(status, 0) << out;
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
  };
  const std::string whole = dir.Path("made.mp3").toStdString();
  peer("make whole " + Quote(whole));
  const std::string made = peer("frames " + Quote(whole));
  const std::string audio = made.substr(made.find("audio="));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const QByteArray path = dir.Path(QByteArray(c.Name) + ".mp3");
    peer("make " + std::string(c.Name) + " " + Quote(path.toStdString()));
    const std::string before = ReadBytes(path.toStdString());
    for (const QByteArray& mode : {QByteArray("--keep-frames"), QByteArray("--exact")}) {
      if (*c.Reason == '\0') break;
      const TCliResult run = RunCli({"set", "--v2", mode, "--artist", "New", path});
      EXPECT_EQ(run.Status, 1) << run.Err.constData();
      EXPECT_TRUE(run.Err.contains(QByteArray(c.Name) +
                                   ".mp3: the ID3v2 tag cannot be written: " + c.Reason))
          << run.Err.constData();
      EXPECT_EQ(ReadBytes(path.toStdString()), before);
    }
    const TCliResult run = RunCli({"set", "--v2", "--artist", "New", "--replace-damaged", path});
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(peer("frames " + Quote(path.toStdString())), c.Kept + audio);
    // The new tag reads whole: a second write needs no asking.
    const TCliResult again = RunCli({"set", "--v2", "--album", "Again", path});
    EXPECT_EQ(again.Status, 0) << again.Err.constData();
  }
  const QByteArray empty = dir.Path("empty.mp3");
  WriteBytes(empty.toStdString(), "");
  for (const QByteArray& option : {QByteArray("--keep-frames"), QByteArray("--replace-damaged")}) {
    const TCliResult run = RunCli({"set", "--v2", option, "--artist", "New", empty});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("empty.mp3: the ID3v2 tag cannot be written: the file is empty"))
        << run.Err.constData();
    EXPECT_EQ(ReadBytes(empty.toStdString()), "");
  }
}
