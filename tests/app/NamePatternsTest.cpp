// Tags from file names and file names from tags through the window: the preview as the pattern
// changes (names in UTF-8 and in Big5 or GBK bytes), the tag pass that changes only the pattern's
// fields (mutagen reads every other frame as it was) and its undo, the name pass with its list,
// its failures and its undo, and the patterns remembered between runs.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include <functional>

#include "ByteFiles.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "NamePatterns.h"
#include "PatternPreview.h"
#include "TagEditSupport.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace tagtest;

namespace {

// Tags a file with mutagen as a modern tagger leaves it: UTF-16 texts, a comment, a frame of the
// user's own and a cover.
const char* const kMutagenTag = R"(
import sys
import mutagen.id3 as id3
tag = id3.ID3()
tag.add(id3.TIT2(encoding=1, text="Old title"))
tag.add(id3.TPE1(encoding=1, text="Old artist"))
tag.add(id3.TALB(encoding=1, text="\u8303\u7279\u897f"))
tag.add(id3.TCON(encoding=1, text="Pop"))
tag.add(id3.COMM(encoding=1, lang="chi", desc="", text="\u597d\u807d"))
tag.add(id3.TXXX(encoding=1, desc="MOOD", text="calm"))
tag.add(id3.APIC(encoding=0, mime="image/png", type=3, desc="", data=b"\x89PNG\r\n\x1a\n" + bytes(64)))
tag.save(sys.argv[1], v2_version=3)
)";

// What mutagen reads of the ID3v2 tag: "ID=text" for each frame in the tag's order (a picture as
// its size), texts in UTF-8 sent as hex.
const char* const kMutagenFrames = R"(
import sys
import mutagen.id3 as id3
tag = id3.ID3(sys.argv[1], load_v1=False)
for frame in tag.values():
    text = str(len(frame.data)) if frame.FrameID == "APIC" else str(frame)
    print(frame.FrameID + "=" + text.encode("utf-8").hex())
)";

class NamePatternsTest : public TagEditTest {
 protected:
  void SetUp() override {
    TagEditTest::SetUp();
    QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
  }

  // A preview's rows: "file: cell | cell", a row left alone "file! note", one that is as the
  // pattern would make it "file=".
  static QStringList Rows(const TPatternPreview& preview) {
    QStringList rows;
    for (const TPatternRow& row : preview.Rows())
      rows << (!row.Note.isEmpty() ? row.File + "! " + row.Note
               : row.Same          ? row.File + "="
                                   : row.File + ": " + row.Cells.join(" | "));
    return rows;
  }
  // Answers the next preview: `use` works it (a pattern typed, the rows looked at), then OK.
  void Answer(const std::function<void(TPatternPreview&)>& use) {
    FDialogs.Push(TDialogAnswer::Using(
        [use](QDialog& dialog) { use(static_cast<TPatternPreview&>(dialog)); }));
  }
  void Answer(const QString& pattern) {
    Answer([pattern](TPatternPreview& preview) {
      preview.SetPattern(pattern);
      preview.SetTags(true, true);
    });
  }
  void MutagenSong(const QString& name) {
    WriteBytes(P(name), Audio);
    Mutagen(kMutagenTag, P(name));
  }
  static std::string Mutagen(const char* script, const std::string& path) {
    int status = -1;
    const std::string out =
        RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path), &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }
  // mutagen's frames of the file, texts decoded.
  QStringList Frames(const QString& name) const {
    QStringList frames;
    for (const QString& line :
         QString::fromStdString(Mutagen(kMutagenFrames, P(name))).split('\n', Qt::SkipEmptyParts)) {
      const qsizetype eq = line.indexOf('=');
      frames << line.left(eq + 1) +
                    QString::fromUtf8(QByteArray::fromHex(line.mid(eq + 1).toLatin1()));
    }
    return frames;
  }
  melotag::editor::TID3v2Text Text2(const std::string& path) const {
    melotag::editor::TID3v2Text text;
    melotag::editor::LoadID3v2Text(path, text);
    return text;
  }
  QStringList Listed() const {
    QStringList names;
    for (int i = 0; i < FForm->FileList().Count(); ++i)
      names << melotag::editor::NameCaption(
          melotag::editor::FileNamePart(FForm->FileList().Path(i)));
    names.sort();
    return names;
  }
  bool Enabled(const char* action) {
    FForm->ApplicationEvents1Idle();
    return Get<QAction>(action)->isEnabled();
  }
};

TEST_F(NamePatternsTest, PreviewShowsWhatEachNameGivesAndFollowsThePattern) {
  // A name in UTF-8, one in the code page's own bytes (Big5 under 950, GBK under 936), one that
  // does not match.
  const struct {
    int CodePage;
    const char16_t* Legacy;  // artist - title of the name in code-page bytes
    const char16_t* Artist;
    const char16_t* Title;
  } cases[] = {{950, u"王菲 - 紅豆", u"王菲", u"紅豆"}, {936, u"王菲 - 红豆", u"王菲", u"红豆"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope system("MELOTAG_CODEPAGE", std::to_string(c.CodePage).c_str());
    Song(U(u"03 - 周杰倫 - 晴天.mp3"), {"Old", "Old", "Album", "", "", 9, "", 255}, false, true);
    const std::string legacy =
        FDir.path().toStdString() + "/05 - " + Cp(c.Legacy, c.CodePage) + ".mp3";
    WriteBytes(legacy, Audio);
    WriteBytes(P("Notes.mp3"), Audio);
    ListFolder();

    QStringList first, invalid, other;
    bool okWhileInvalid = true;
    Answer([&](TPatternPreview& preview) {
      preview.SetPattern("%track% - %artist% - %title%");
      first = Rows(preview);
      preview.SetPattern("%artist%/%title%");
      invalid = Rows(preview);
      okWhileInvalid =
          preview.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
      preview.SetPattern("%track% - %title%");
      other = Rows(preview);
      preview.SetPattern("%track% - %artist% - %title%");
      preview.SetTags(false, true);
    });
    Trigger("actTagsFromNames");
    const QString legacyCaption = "05 - " + U(c.Legacy) + ".mp3";
    EXPECT_EQ(first, (QStringList{U(u"03 - 周杰倫 - 晴天.mp3: 3 | 周杰倫 | 晴天"),
                                  legacyCaption + ": 5 | " + U(c.Artist) + " | " + U(c.Title),
                                  "Notes.mp3! The name does not match the pattern"}));
    EXPECT_TRUE(invalid.isEmpty());
    EXPECT_FALSE(okWhileInvalid);
    EXPECT_EQ(other.first(), U(u"03 - 周杰倫 - 晴天.mp3: 3 | 周杰倫 - 晴天"));

    // Written: the pattern's fields; the album as it was; the file that does not match untouched.
    const auto song = Text2(P(U(u"03 - 周杰倫 - 晴天.mp3")));
    EXPECT_EQ(song.Fields.Text(melotag::editor::TField::Title), U(u"晴天"));
    EXPECT_EQ(song.Fields.Text(melotag::editor::TField::Artist), U(u"周杰倫"));
    EXPECT_EQ(song.Fields.Text(melotag::editor::TField::Track), "3");
    EXPECT_EQ(song.Fields.Text(melotag::editor::TField::Album), "Album");
    const auto legacySong = Text2(legacy);
    EXPECT_EQ(legacySong.Fields.Text(melotag::editor::TField::Title), U(c.Title));
    EXPECT_EQ(legacySong.Fields.Text(melotag::editor::TField::Artist), U(c.Artist));
    EXPECT_EQ(Bytes("Notes.mp3"), Audio);
    EXPECT_TRUE(Status().startsWith("Tags written: 2")) << Status().toStdString();
    std::remove(legacy.c_str());
  }
}

TEST_F(NamePatternsTest, TagPassChangesOnlyThePatternsFieldsAndUndoesByteForByte) {
  const QString name = "07 - Faye Wong - Red Beans.mp3";
  MutagenSong(name);
  Song("Other.mp3", {"Keep", "Keep", "", "", "", 0, "", 255}, true, true);
  const QStringList framesBefore = Frames(name);
  const std::string before[] = {Bytes(name), Bytes("Other.mp3")};
  ListFolder();
  EXPECT_FALSE(Enabled("actUndoTagsFromNames"));

  Answer([](TPatternPreview& preview) {
    preview.SetPattern("%track% - %artist% - %title%");
    preview.SetTags(true, true);
  });
  Trigger("actTagsFromNames");
  // Title, artist and track are the name's; every other frame is as it was.
  QStringList expected = framesBefore;
  expected.replaceInStrings("TIT2=Old title", "TIT2=Red Beans");
  expected.replaceInStrings("TPE1=Old artist", "TPE1=Faye Wong");
  expected << "TRCK=7";
  expected.sort();
  QStringList after = Frames(name);
  after.sort();
  EXPECT_EQ(after, expected);
  EXPECT_TRUE(framesBefore.contains("TALB=" + U(u"范特西")))
      << framesBefore.join(", ").toStdString();
  EXPECT_TRUE(framesBefore.contains("APIC=72"));
  EXPECT_EQ(V1(name).Title(), "Red Beans");
  EXPECT_EQ(V1(name).Track(), 7);
  EXPECT_EQ(Bytes("Other.mp3"), before[1]);

  ASSERT_TRUE(Enabled("actUndoTagsFromNames"));
  Trigger("actUndoTagsFromNames");
  EXPECT_EQ(Bytes(name), before[0]);
  EXPECT_EQ(Frames(name), framesBefore);
  EXPECT_TRUE(Status().startsWith("Tags restored: 1")) << Status().toStdString();
  EXPECT_FALSE(Enabled("actUndoTagsFromNames"));
}

TEST_F(NamePatternsTest, TagUndoLeavesAFileChangedSinceAlone) {
  Song("01 - A - B.mp3", {"Old", "Old", "", "", "", 0, "", 255}, true, true);
  ListFolder();
  Answer("%track% - %artist% - %title%");
  Trigger("actTagsFromNames");
  // Changed by someone else after the pass.
  TID3v2 tag = V2("01 - A - B.mp3");
  tag.SetArtist("Later");
  ASSERT_TRUE(tag.WriteToFile(P("01 - A - B.mp3")));
  const std::string later = Bytes("01 - A - B.mp3");
  Said();
  Trigger("actUndoTagsFromNames");
  EXPECT_EQ(V2("01 - A - B.mp3").Artist(), "Later");
  // The trailer the pass wrote goes back; the ID3v2 tag changed since stays.
  EXPECT_EQ(V1("01 - A - B.mp3").Artist(), "Old");
  const QStringList said = Said();
  ASSERT_FALSE(said.isEmpty());
  EXPECT_EQ(said.last(), "1 file(s) kept their new tags:\n01 - A - B.mp3: changed since");
}

TEST_F(NamePatternsTest, NamePassRenamesRelistsNamesFailuresAndUndoes) {
  Song("a.mp3", {"Sunny Day", "Jay Chou", "", "", "", 3, "", 255}, false, true);
  // Named after its tags already: nothing to do.
  Song("02 - Already - Named.mp3", {"Named", "Already", "", "", "", 2, "", 255}, false, true);
  Song("b.mp3", {"No Artist", "", "", "", "", 4, "", 255}, false, true);
  // Its name is taken already: a failure with the cause, nothing replaced.
  Song("c.mp3", {"Taken", "Someone", "", "", "", 5, "", 255}, false, true);
  WriteBytes(P("05 - Someone - Taken.mp3"), "not ours");
  Song(U(u"d.mp3"), {"", "", "", "", "", 0, "", 255}, false, true);
  {
    // Chinese texts in a Unicode tag.
    melotag::editor::TID3v2Text text = Text2(P("d.mp3"));
    text.Exists = true;
    text.Fields[melotag::editor::TField::Title] = U(u"七里香");
    text.Fields[melotag::editor::TField::Artist] = U(u"周杰倫");
    text.Fields[melotag::editor::TField::Track] = QStringLiteral("1");
    ASSERT_TRUE(melotag::editor::WriteID3v2(P("d.mp3"), melotag::editor::ChangesOf(text.Fields),
                                            {true, true, false})
                    .Ok);
  }
  ListFolder();
  Said();
  QStringList rows;
  Answer([&](TPatternPreview& preview) {
    preview.SetPattern("%track% - %artist% - %title%");
    rows = Rows(preview);
  });
  Trigger("actNamesFromTags");
  EXPECT_EQ(rows, (QStringList{
                      "02 - Already - Named.mp3=",
                      "05 - Someone - Taken.mp3! The tags give no %track%, %artist%, %title%",
                      "a.mp3: 03 - Jay Chou - Sunny Day.mp3", "b.mp3! The tags give no %artist%",
                      "c.mp3: 05 - Someone - Taken.mp3", U(u"d.mp3: 01 - 周杰倫 - 七里香.mp3")}));
  EXPECT_EQ(Listed(), (QStringList{U(u"01 - 周杰倫 - 七里香.mp3"), "02 - Already - Named.mp3",
                                   "03 - Jay Chou - Sunny Day.mp3", "05 - Someone - Taken.mp3",
                                   "b.mp3", "c.mp3"}));
  EXPECT_EQ(Bytes("05 - Someone - Taken.mp3"), "not ours");
  EXPECT_TRUE(Status().startsWith("Names changed: 2")) << Status().toStdString();
  const QStringList said = Said();
  ASSERT_EQ(said.size(), 2);  // the preview, then the failures
  EXPECT_EQ(said.last(),
            "1 name(s) not changed:\nc.mp3 -> 05 - Someone - Taken.mp3: a file or folder of that "
            "name exists");

  ASSERT_TRUE(Enabled("actUndoNamesFromTags"));
  Trigger("actUndoNamesFromTags");
  EXPECT_EQ(Listed(), (QStringList{"02 - Already - Named.mp3", "05 - Someone - Taken.mp3", "a.mp3",
                                   "b.mp3", "c.mp3", "d.mp3"}));
  EXPECT_TRUE(QFile::exists(Path("a.mp3")));
  EXPECT_TRUE(QFile::exists(Path("d.mp3")));
  EXPECT_FALSE(Enabled("actUndoNamesFromTags"));
}

TEST_F(NamePatternsTest, ThePatternsUsedAreOfferedFirstInALaterRun) {
  Song("01 - B.mp3", {"", "", "", "", "", 0, "", 255}, false, true);
  ListFolder();
  Answer("%track% - %title%");
  Trigger("actTagsFromNames");
  Answer("%title% (%artist%)");
  Trigger("actNamesFromTags");
  Answer("%track% - %title%");
  Trigger("actTagsFromNames");
  EXPECT_EQ(TNamePatterns::TagPatterns().mid(0, 1), QStringList{"%track% - %title%"});

  // A later run offers the last patterns, the latest first, each once.
  MakeForm();
  FForm->ScanFolder(B(FDir.path()));
  QStringList tagItems, nameItems;
  auto items = [](QStringList& into) {
    return [&into](TPatternPreview& preview) {
      auto* box = preview.findChild<QComboBox*>("cbxPattern");
      for (int i = 0; i < box->count(); ++i) into << box->itemText(i);
      into.prepend(box->currentText());
      preview.SetPattern("%artist%/");  // not valid: nothing is done
    };
  };
  Answer(items(tagItems));
  Trigger("actTagsFromNames");
  Answer(items(nameItems));
  Trigger("actNamesFromTags");
  EXPECT_EQ(tagItems, (QStringList{"%track% - %title%", "%track% - %title%"}));
  EXPECT_EQ(nameItems, (QStringList{"%title% (%artist%)", "%title% (%artist%)"}));
}

}  // namespace
