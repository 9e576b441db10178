// The window's batch pass and melotag-cli's set make the same files: one pass is described once,
// played on the batch page over the listed folder and given to the tool as options over a copy of
// the folder, and every file must come out byte for byte the same (the order of a folder, and so
// the running track numbers, included).
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

#include <sys/stat.h>

#include <optional>

#include "CliRun.h"
#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "TagEditSupport.h"
#include "TagText.h"

using namespace tagtest;

namespace {

// One batch pass: the ticked fields with their values, the writing preference, the options.
struct TPass {
  const char* Label;
  const char* CodePage;
  int Writing;  // 0 ID3v1, 1 ID3v2, 2 both
  std::optional<QString> Title{}, Artist{}, Album{}, Year{}, Comment{};
  bool TrackAuto = false;
  std::optional<int> GenrePosition{};
  // The tool has the defaults (reading Unicode, keeping the other frames), --write-unicode
  // beside them, and --exact for none of the three.
  bool Exact = false, WriteUnicode = false;
};

class CliParityTest : public TagEditTest {
 protected:
  // The songs of the folder, in an order that the file list's sorting changes: letter case,
  // digits that are no numbers, a name in Big5 and tags of every kind.
  void Songs(const QString& folder) {
    const QString at = folder.isEmpty() ? QString() : folder + '/';
    const TSong big5 = {
        "\xB4\xB8\xA4\xD1", "\xA9\x50\xAA\x4E\xAD\xDB", "Album", "2003", "\xB3\x5C", 3, "Pop", 13};
    const TSong plain = {"Title", "Artist", "Album", "1999", "Comment", 9, "Rock", 17};
    Song(at + "b.mp3", big5, true, true);
    Song(at + "A.mp3", plain, true, false);
    Song(at + "a.mp3", plain, false, true);
    Song(at + "10.mp3", big5, true, true);
    Song(at + "9.mp3", plain, true, true);
    // A 2.3 tag with lyrics beside the texts, and a 2.4 tag.
    RawSong(at + "lyrics.mp3",
            Tag(Frame("TIT2", std::string("\0Old", 4)) +
                Frame("USLT", std::string("\0eng\0Some words", 15))),
            Trailer("Old", "", 0, 0, 255));
    RawSong(at + "v24.mp3", Tag(Frame("TIT2", std::string("\0New", 4)) +
                                    Frame("TPE1", std::string("\x03\xE5\x91\xA8", 4)),
                                4));
    // A 2.2 tag of old iTunes with a picture.
    RawSong(at + "itunes.mp3",
            Tag(std::string("TT2\0\0\x04\0Old", 10) +                           // title
                    std::string("PIC\0\0\x0A\0JPG\x03\0\xFF\xD8\xFF\xE0", 16),  // cover
                2));
    // Named in Big5 bytes.
    Song(at + "big5", big5, true, true);
    ASSERT_EQ(::rename(P(at + "big5").c_str(), (P(at) + "/\xB4\xB8\xA4\xD1.mp3").c_str()), 0);
  }

  void Tick(const char* box, bool ticked) { Get<QCheckBox>(box)->setChecked(ticked); }
  void Value(const char* edit, const char* box, const std::optional<QString>& value) {
    Get<QLineEdit>(edit)->setText(value.value_or(QString()));
    Tick(box, value.has_value());  // an empty value too
  }

  // The pass on the batch page over the listed folder.
  void ThroughTheWindow(const TPass& pass, const QString& folder, int count) {
    MakeForm().ScanFolder(B(folder));
    SetWriting(pass.Writing);
    Tick("cbxReadUnicode", !pass.Exact);
    Tick("cbxWriteUnicode", pass.WriteUnicode);
    Tick("cbxKeepOtherFrames", !pass.Exact);
    if (pass.Title) {
      Get<QCheckBox>("cbxTitle")->click();
      Get<QPlainTextEdit>("Memo1")->setPlainText(QStringList(count, *pass.Title).join('\n'));
    }
    Value("edtArtist", "cbxArtist", pass.Artist);
    Value("edtAlbum", "cbxAlbum", pass.Album);
    Value("edtYear", "cbxYear", pass.Year);
    Value("edtComment", "cbxComment", pass.Comment);
    Tick("cbxTrack", pass.TrackAuto);
    if (pass.GenrePosition) Get<QComboBox>("cboGenre")->setCurrentIndex(*pass.GenrePosition);
    Tick("cbxGenre", pass.GenrePosition.has_value());
    Trigger("actWriteAllTag");
    EXPECT_EQ(Said(), QStringList());
  }

  // The same pass as melotag-cli's options over the folder.
  void ThroughTheTool(const TPass& pass, const QString& folder) {
    QList<QByteArray> args = {"set", QList<QByteArray>{"--v1", "--v2", "--both"}[pass.Writing]};
    auto value = [&](const char* option, const std::optional<QString>& text) {
      if (text) args += {option, text->toUtf8()};
    };
    value("--title", pass.Title);
    value("--artist", pass.Artist);
    value("--album", pass.Album);
    value("--year", pass.Year);
    value("--comment", pass.Comment);
    if (pass.TrackAuto) args.append("--track-auto");
    if (pass.GenrePosition)
      args += {"--genre", melotag::editor::GenreChoices().value(*pass.GenrePosition).toUtf8()};
    if (pass.Exact) args.append("--exact");
    if (pass.WriteUnicode) args.append("--write-unicode");
    args.append(B(folder));
    const TCliResult run = RunCli(args, pass.CodePage);
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
  }
};

TEST_F(CliParityTest, TheWindowsBatchPassAndTheToolsSetMakeTheSameFiles) {
  const TPass passes[] = {
      {"artist alone", "950", 2, {}, U("蔡依林")},
      {"every field, running tracks", "950", 2, U("晴天"), U("周杰倫"), U("葉惠美"), U("2003"),
       U("很長的一段中文註解，超過三十個位元組的長度"), true, 18},
      {"ID3v1 alone, empty values empty their fields",
       "936",
       0,
       {},
       {},
       QString(),
       {},
       QString(),
       true,
       0},
      {"ID3v2 alone, a genre", "936", 1, {}, U("周杰伦"), {}, U("1999"), {}, false, 1},
      {"Unicode new tags",
       "950",
       2,
       U("晴天"),
       U("周杰伦"),
       {},
       {},
       U("注释"),
       true,
       {},
       false,
       true},
      {"exact write", "1252", 1, {}, U("Art"), {}, {}, {}, false, {}, true},
      {"exact write, every field", "950", 2, U("晴天"), U("周杰倫"), U("葉惠美"), U("2003"),
       U("很長的一段中文註解，超過三十個位元組的長度"), true, 18, true},
  };
  const QList<QByteArray> names = {"b.mp3",   "A.mp3",      "a.mp3",
                                   "10.mp3",  "9.mp3",      "lyrics.mp3",
                                   "v24.mp3", "itunes.mp3", "\xB4\xB8\xA4\xD1.mp3"};
  for (size_t k = 0; k < std::size(passes); ++k) {
    const TPass& pass = passes[k];
    SCOPED_TRACE(pass.Label);
    const TEnvScope codePage("MELOTAG_CODEPAGE", pass.CodePage);
    // The window's files in a folder of their own, the tool's copies in a folder below it.
    const QString window = QStringLiteral("pass%1").arg(k), tool = window + "/tool";
    ASSERT_TRUE(QDir().mkpath(Path(tool)));
    Songs(window);
    Songs(tool);
    const std::string before = ReadBytes(P(window) + "/b.mp3");
    ThroughTheWindow(pass, Path(window), int(names.size()));
    ThroughTheTool(pass, Path(tool));
    for (const QByteArray& name : names) {
      const std::string windowFile = P(window) + "/" + name.toStdString();
      const std::string toolFile = P(tool) + "/" + name.toStdString();
      const std::string bytes = ReadBytes(windowFile);
      EXPECT_FALSE(bytes.empty());
      if (name == "b.mp3") {
        EXPECT_NE(Hex(bytes), Hex(before)) << "the pass changed nothing";
      }
      EXPECT_EQ(Hex(bytes), Hex(ReadBytes(toolFile))) << name.toHex().constData();
      // The temporary folder cannot remove a name that is not UTF-8.
      ::unlink(windowFile.c_str());
      ::unlink(toolFile.c_str());
    }
  }
  // The options ticked here are remembered; the next suite starts without them.
  QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
}

}  // namespace
