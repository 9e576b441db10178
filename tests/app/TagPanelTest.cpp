// The single-file tag panel: the selected file's tag by the reading preference, writing and
// removing by the writing preference, the read-only question, and files that are not what the
// list says. Real files; mutagen reads back what the panel wrote.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <iostream>

#include "CodePage.h"
#include "EnvScope.h"
#include "FileSizeLimit.h"
#include "TagEditSupport.h"
#include "TagPanel.h"
#include "UnicodeTag.h"

using namespace tagtest;
using melotag::editor::LoadID3v2Text;
using melotag::editor::TField;
using melotag::editor::TID3v2Text;

namespace {

class TagPanelTest : public TagEditTest {
 protected:
  // The panel as the user sees it.
  struct TShown {
    QString Exists, Version, Size, Title, Artist, Album, Track, Year, Comment;
    int Genre = -1;
  };
  TShown Shown() const {
    return {Text("TagExistsValue"), Text("VersionValue"),
            Text("SizeValue"),      Text("TitleEdit"),
            Text("ArtistEdit"),     Text("AlbumEdit"),
            Text("TrackEdit"),      Text("YearEdit"),
            Text("CommentEdit"),    Get<QComboBox>("GenreComboBox")->currentIndex()};
  }
  void Edit(const char* name, const QString& text) { Get<QLineEdit>(name)->setText(text); }
};

QString U(const char16_t* text) {
  return QString::fromUtf16(text);
}

const TSong kV1Song = {"V1 title", "V1 artist", "V1 album", "1991", "V1 comment", 3, "", 17};
const TSong kV2Song = {"V2 title", "V2 artist", "V2 album", "2002", "V2 comment", 5, "Pop", 255};

}  // namespace

TEST_F(TagPanelTest, ReadingPreferenceShowsThatTagAloneNeverTheOther) {
  Song("a-both.mp3", kV1Song, true, false);
  {
    TID3v2 v2;  // the ID3v2 values over the same file
    v2.SetTitle(kV2Song.Title);
    v2.SetTrack(kV2Song.Track);
    v2.SetGenre(kV2Song.Genre);
    ASSERT_TRUE(v2.WriteToFile(P("a-both.mp3")));
  }
  Song("b-v1.mp3", kV1Song, true, false);
  Song("c-v2.mp3", kV2Song, false, true);
  Song("d-none.mp3", {}, false, false);
  const int v2Size = V2("c-v2.mp3").Size();
  const QString bothSize = QString::number(V2("a-both.mp3").Size()) + " bytes";
  const QString v2SizeText = QString::number(v2Size) + " bytes";
  TMainForm& form = ListFolder();
  const struct {
    int Reading;
    int Row;
    TShown Expected;
  } cases[] = {
      {0,
       0,
       {"Yes", "1.1", "", "V1 title", "V1 artist", "V1 album", "3", "1991", "V1 comment", 18}},
      {2,
       0,
       {"Yes", "1.1", "", "V1 title", "V1 artist", "V1 album", "3", "1991", "V1 comment", 18}},
      {1, 0, {"Yes", "2.3", bothSize, "V2 title", "", "", "5", "", "", 14}},
      {3, 0, {"Yes", "2.3", bothSize, "V2 title", "", "", "5", "", "", 14}},
      {0, 2, {"No", "", "", "", "", "", "", "", "", -1}},
      {2, 2, {"No", "", "", "", "", "", "", "", "", -1}},
      {1, 1, {"No", "", "", "", "", "", "", "", "", -1}},
      {3, 1, {"No", "", "", "", "", "", "", "", "", -1}},
      {3,
       2,
       {"Yes", "2.3", v2SizeText, "V2 title", "V2 artist", "V2 album", "5", "2002", "V2 comment",
        14}},
      {3, 3, {"No", "", "", "", "", "", "", "", "", -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "reading " << c.Reading << ", row " << c.Row);
    SetReading(c.Reading);
    Select({c.Row});
    const TShown shown = Shown();
    EXPECT_EQ(shown.Exists, c.Expected.Exists);
    EXPECT_EQ(shown.Version, c.Expected.Version);
    EXPECT_EQ(shown.Size, c.Expected.Size);
    EXPECT_EQ(shown.Title, c.Expected.Title);
    EXPECT_EQ(shown.Artist, c.Expected.Artist);
    EXPECT_EQ(shown.Album, c.Expected.Album);
    EXPECT_EQ(shown.Track, c.Expected.Track);
    EXPECT_EQ(shown.Year, c.Expected.Year);
    EXPECT_EQ(shown.Comment, c.Expected.Comment);
    EXPECT_EQ(shown.Genre, c.Expected.Genre);
    EXPECT_EQ(form.TagPanel().CurrentFileName, form.FileList().Path(c.Row));
  }
  EXPECT_TRUE(Said().isEmpty());
}

TEST_F(TagPanelTest, TracksGenresAndVersionsAsShown) {
  // ID3v1.0 trailer (track 0) with genres in and out of range.
  RawSong("a-v10.mp3", "", Trailer("T", "comment", 0, 0, 200));
  RawSong("b-v11.mp3", "", Trailer("T", "comment", 0, 9, 255));
  RawSong("c-v11.mp3", "", Trailer("T", "comment", 0, 9, 147));
  // ID3v2: a genre in other letter case, a genre reference, a 2.4 tag.
  RawSong("d-case.mp3", Tag(Frame("TIT2", std::string("\0T", 2)) +
                            Frame("TCON", std::string("\0hEAVY mETAL", 12))));
  RawSong("e-ref.mp3", Tag(Frame("TRCK", std::string("\0"
                                                     "3/12",
                                                     5)) +
                           Frame("TCON", std::string("\0(17)", 5))));
  RawSong(
      "f-v24.mp3",
      Tag(Frame("TIT2", std::string("\0Title", 6)) + Frame("TPE1", std::string("\0Artist", 7)), 4));
  ListFolder();
  // With the options unticked the tag class reads: "(17)" names no genre, a 2.4 tag shows no
  // values; by default the reference names Rock and the 2.4 tag shows its values.
  const struct {
    const char* Name;
    int Reading, Row;
    const char* Version;
    const char* Track;
    int Genre, GenreByDefault;
    const char* Title;
    const char* TitleByDefault;
  } cases[] = {
      {"a-v10.mp3", 0, 0, "1.0", "0", 0, 0, "T", "T"},
      {"b-v11.mp3", 0, 1, "1.1", "9", 0, 0, "T", "T"},
      {"c-v11.mp3", 0, 2, "1.1", "9", 148, 148, "T", "T"},
      {"d-case.mp3", 3, 3, "2.3", "", 138, 138, "T", "T"},
      {"e-ref.mp3", 3, 4, "2.3", "3/12", 0, 18, "", ""},
      {"f-v24.mp3", 3, 5, "2.4", "", 0, 0, "", "Title"},
  };
  for (const bool exact : {false, true}) {
    if (exact) Exact();
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (exact ? " exact" : " by default"));
      SetReading(c.Reading);
      Select({c.Row});
      EXPECT_EQ(Text("TagExistsValue"), "Yes");
      EXPECT_EQ(Text("VersionValue"), c.Version);
      EXPECT_EQ(Text("SizeValue"),
                c.Reading == 3 ? QString::number(V2(c.Name).Size()) + " bytes" : QString());
      // The exact mode reads the track as the number alone.
      EXPECT_EQ(Text("TrackEdit"),
                exact && c.Reading == 3 ? QString(c.Track).section('/', 0, 0) : QString(c.Track));
      EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentIndex(),
                exact ? c.Genre : c.GenreByDefault);
      EXPECT_EQ(Text("TitleEdit"), exact ? c.Title : c.TitleByDefault);
    }
    EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentText(), "");
    EXPECT_EQ(Text("ArtistEdit"), exact ? "" : "Artist");
    ListFolder();
  }

  // The out-of-range genre is saved back as none.
  SetReading(0);
  SetWriting(0);
  Select({0});
  Trigger("actWriteTag");
  EXPECT_EQ(V1("a-v10.mp3").GenreIndex(), 255);
  EXPECT_TRUE(Said().isEmpty());
}

TEST_F(TagPanelTest, TrackTextIsSavedWithItsTotalAndTheTrailerTakesTracksUpTo255) {
  Song("a.mp3", kV2Song, true, true);
  ListFolder();
  // A track the trailer cannot hold goes into ID3v2 alone, with a note; a text that is no track
  // is refused before anything is written.
  const struct {
    const char* Text;
    int V1Track;
    const char* V2Track;
    bool Refused, Noted;
  } cases[] = {{"7", 7, "7", false, false},       {"300", 0, "300", false, true},
               {"3/12", 3, "3/12", false, false}, {"", 0, "", false, false},
               {"0", 0, "", true, false},         {"-4", 0, "", true, false},
               {"abc", 0, "", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    Select({0});
    const std::string before = Bytes("a.mp3");
    Edit("TrackEdit", c.Text);
    Trigger("actWriteTag");
    const QStringList said = Said();
    if (c.Refused) {
      ASSERT_EQ(said.size(), 1);
      EXPECT_TRUE(said[0].contains("not a number from 1 to 9999")) << said[0].toStdString();
      EXPECT_EQ(Hex(Bytes("a.mp3")), Hex(before));
      continue;
    }
    EXPECT_TRUE(said.isEmpty());
    if (c.Noted)
      EXPECT_TRUE(Status().contains("the ID3v1 tag gets no track")) << Status().toStdString();
    EXPECT_EQ(V1("a.mp3").Track(), c.V1Track);
    TID3v2Text text;
    ASSERT_TRUE(LoadID3v2Text(P("a.mp3"), text));
    EXPECT_EQ(text.Fields.Text(TField::Track), c.V2Track);
    EXPECT_EQ(Text("TrackEdit"), c.V2Track);  // read back
  }
}

TEST_F(TagPanelTest, SavingBothTagsIntoAFileWithoutTagsMutagenReadsThem) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  Song("a.mp3", {}, false, false);
  ListFolder();
  WriteBytes(P("audio.mp3"), Audio);  // not listed
  Select({0});
  EXPECT_EQ(Text("TagExistsValue"), "No");
  Edit("TitleEdit", "Caf\u00e9 title");
  Edit("ArtistEdit", "M\u00fcller");
  Edit("AlbumEdit", "Album");
  Edit("TrackEdit", "12");
  Edit("YearEdit", "2010");
  Get<QComboBox>("GenreComboBox")->setCurrentIndex(18);
  Edit("CommentEdit", "Comment");
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  // Read back by the reading preference: the ID3v2.3 tag now in front.
  EXPECT_EQ(Text("TagExistsValue"), "Yes");
  EXPECT_EQ(Text("VersionValue"), "2.3");
  EXPECT_EQ(Text("TitleEdit"), "Caf\u00e9 title");
  EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentText(), "Rock");
  EXPECT_EQ(Get<QLineEdit>("edtAlbumTitle")->text(), "\u3010M\u00fcller\u3011Album");
  for (bool trailer : {false, true}) {
    TValues read = MutagenRead(P("a.mp3"), trailer);
    EXPECT_EQ(read["title"], "Caf\xE9 title") << trailer;
    EXPECT_EQ(read["artist"], "M\xFCller") << trailer;
    EXPECT_EQ(read["album"], "Album") << trailer;
    EXPECT_EQ(read["track"], "12") << trailer;
    EXPECT_EQ(read["year"], "2010") << trailer;
    EXPECT_EQ(read["genre"], "Rock") << trailer;
    EXPECT_EQ(read["comment"], "Comment") << trailer;
  }
  EXPECT_EQ(MutagenRead(P("a.mp3"))["version"], "2.3");
  EXPECT_EQ(AudioMd5(P("a.mp3")), AudioMd5(P("audio.mp3")));
}

TEST_F(TagPanelTest, ChineseTextsGoRoundThePanelByteForByte) {
  const struct {
    const char* CodePage;
    TSong Song;
    const char* Title;   // as shown, UTF-8
    const char* Artist;  // typed, UTF-8
    std::string ArtistBytes;
  } cases[] = {
      // 950: 晴天 / 葉惠美 / 許功蓋 (trail bytes 0x5C) and a lone lead byte; typed 周杰倫
      {"950",
       {"\xB4\xB8\xA4\xD1", "", "\xB8\xAD\xB4\x66\xAC\xFC", "2003", "\xB3\x5C\xA5\x5C\xBB\x5C \xA4",
        7, "Pop", 13},
       "晴天",
       "周杰倫",
       "\xA9\x50\xAA\x4E\xAD\xDB"},
      // 936: 晴天 / 叶惠美 / 中文 and a byte that is no GBK character; typed 周杰伦
      {"936",
       {"\xC7\xE7\xCC\xEC", "", "\xD2\xB6\xBB\xDD\xC3\xC0", "2003", "\xD6\xD0\xCE\xC4 \xFF", 7,
        "Pop", 13},
       "晴天",
       "周杰伦",
       "\xD6\xDC\xBD\xDC\xC2\xD7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    Song("a.mp3", c.Song, true, true);
    const std::string before = Bytes("a.mp3");
    ListFolder();
    for (int reading : {3, 0}) {
      SetReading(reading);
      Select({0});
      EXPECT_EQ(Text("TitleEdit"), QString::fromUtf8(c.Title));
      Trigger("actWriteTag");  // nothing changed: the same bytes
      EXPECT_EQ(Hex(Bytes("a.mp3")), Hex(before)) << reading;
    }
    Edit("ArtistEdit", QString::fromUtf8(c.Artist));
    Trigger("actWriteTag");
    EXPECT_EQ(Hex(V1("a.mp3").Artist()), Hex(c.ArtistBytes));
    EXPECT_EQ(Hex(V2("a.mp3").Artist()), Hex(c.ArtistBytes));
    EXPECT_EQ(Hex(V2("a.mp3").Comment()), Hex(c.Song.Comment));
    EXPECT_EQ(Hex(MutagenRead(P("a.mp3"))["artist"]), Hex(c.ArtistBytes));
    EXPECT_EQ(Hex(MutagenRead(P("a.mp3"), true)["title"]), Hex(c.Song.Title));
    EXPECT_TRUE(Said().isEmpty());
  }
}

TEST_F(TagPanelTest, LongTextsEndOnAWholeCharacterInTheTrailer) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  Song("a.mp3", {}, false, false);
  ListFolder();
  Select({0});
  // "a" + 16 characters: the 15th character spans bytes 30 and 31.
  const QString title = QString::fromUtf8("a十四個中文字元的一段很長的標題文字");
  Edit("TitleEdit", title);
  Edit("TrackEdit", "1");
  Edit("CommentEdit", title);  // with a track the comment holds 28 bytes
  SetWriting(2);
  Trigger("actWriteTag");
  const std::string bytes = EncodeText(title);
  EXPECT_EQ(Hex(V1("a.mp3").Title()), Hex(bytes.substr(0, 29)));
  EXPECT_EQ(Hex(V1("a.mp3").Comment()), Hex(bytes.substr(0, 27)));
  EXPECT_EQ(Hex(V2("a.mp3").Title()), Hex(bytes));  // ID3v2 has no limit
  EXPECT_EQ(Hex(MutagenRead(P("a.mp3"), true)["title"]), Hex(bytes.substr(0, 29)));
}

TEST_F(TagPanelTest, ReadOnlyFileIsWrittenOnlyAfterYesOrWithTheArchiveBox) {
  const struct {
    const char* Name;
    const char* Action;
    bool Ticked;
    int Answer;  // to the read-only question
    bool Changed;
  } cases[] = {
      {"write, No", "actWriteTag", false, mrNo, false},
      {"write, dialog closed", "actWriteTag", false, mrCancel, false},
      {"write, Yes", "actWriteTag", false, mrYes, true},
      {"write, archive box", "actWriteTag", true, mrNone, true},
      {"remove, No", "actRemoveTag", false, mrNo, false},
      {"remove, Yes", "actRemoveTag", false, mrYes, true},
      {"remove, archive box", "actRemoveTag", true, mrNone, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    chmod(P("a.mp3").c_str(), 0644);  // left read-only by the case before
    Song("a.mp3", kV2Song, true, true);
    ASSERT_EQ(chmod(P("a.mp3").c_str(), 0444), 0);
    const std::string before = Bytes("a.mp3");
    ListFolder();
    Get<QCheckBox>("cbxFILE_ATTRIBUTE_ARCHIVE")->setChecked(c.Ticked);
    Select({0});
    Edit("TitleEdit", "New");
    if (!c.Ticked) FDialogs.Push(TDialogAnswer::Button(c.Answer));
    const bool removing = std::string(c.Action) == "actRemoveTag";
    if (removing) FDialogs.Push(TDialogAnswer::Button(mrYes));
    Trigger(c.Action);
    QStringList expected;
    if (!c.Ticked) expected << Says::ReadOnlyQuestion(Path("a.mp3"));
    if (!c.Changed) expected << Says::ReadOnly;
    if (c.Changed && removing) expected << Says::RemoveQuestion(Path("a.mp3"));
    const QList<TShownDialog> shown = FDialogs.Shown();
    EXPECT_EQ(Said(), expected);
    if (!c.Ticked) {
      ASSERT_FALSE(shown.isEmpty());
      EXPECT_EQ(shown[0].Type, mtConfirmation);
      EXPECT_EQ(shown[0].Buttons, Btn(mbYes) | Btn(mbNo));
    }
    if (!c.Changed) {
      EXPECT_EQ(Bytes("a.mp3"), before);
      EXPECT_EQ(Permissions(P("a.mp3")), 0444u);
      continue;
    }
    // Archive alone: the owner may write; nothing else changed.
    EXPECT_EQ(Permissions(P("a.mp3")), 0644u);
    EXPECT_EQ(V1("a.mp3").Exists(), !removing);
    EXPECT_EQ(V2("a.mp3").Exists(), !removing);
    if (!removing) {
      EXPECT_EQ(V2("a.mp3").Title(), "New");
    }
  }
}

TEST_F(TagPanelTest, RemovalFollowsTheWritingPreferenceAndSaysWhatFailed) {
  const struct {
    int Writing;
    bool V1, V2;  // tags the file has
    bool V1After, V2After;
    int Messages;  // "Can not remove tag from the file"
  } cases[] = {
      {0, true, true, false, true, 0},  {1, true, true, true, false, 0},
      {2, true, true, false, false, 0}, {2, true, false, false, false, 1},
      {1, true, false, true, false, 1}, {0, false, false, false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "writing " << c.Writing << ", tags " << c.V1 << c.V2);
    Song("a.mp3", kV2Song, c.V1, c.V2);
    ListFolder();
    SetWriting(c.Writing);
    SetReading(0);
    Select({0});
    FDialogs.Push(TDialogAnswer::Button(mrYes));
    Trigger("actRemoveTag");
    QStringList expected = {Says::RemoveQuestion(Path("a.mp3"))};
    for (int i = 0; i < c.Messages; ++i)
      expected << Says::Failure(Says::CannotRemove, Path("a.mp3"), Says::NoTag);
    EXPECT_EQ(Said(), expected);
    if (c.Messages == 0) EXPECT_EQ(Status(), "Tags removed: a.mp3");
    EXPECT_EQ(V1("a.mp3").Exists(), c.V1After);
    EXPECT_EQ(V2("a.mp3").Exists(), c.V2After);
    EXPECT_NE(Bytes("a.mp3").find(Audio), std::string::npos);
    // The panel stays cleared after a removal, it is not read again.
    if (c.V1 && c.Writing != 1) {
      EXPECT_EQ(Text("TagExistsValue"), "");
    }
  }

  // No to the question: nothing removed.
  Song("a.mp3", kV2Song, true, true);
  const std::string before = Bytes("a.mp3");
  ListFolder();
  Select({0});
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  Trigger("actRemoveTag");
  EXPECT_EQ(Said(), QStringList{Says::RemoveQuestion(Path("a.mp3"))});
  EXPECT_EQ(Bytes("a.mp3"), before);
  EXPECT_EQ(Text("TagExistsValue"), "Yes");
}

TEST_F(TagPanelTest, AFileThatVanishedIsNeverWritten) {
  Song("a.mp3", kV2Song, true, true);
  TMainForm& form = ListFolder();
  Select({0});
  ASSERT_EQ(unlink(P("a.mp3").c_str()), 0);
  // Selecting it again.
  form.lvIniFileListChange();
  EXPECT_EQ(Said(), QStringList{Says::NoFile});
  EXPECT_EQ(Text("TagExistsValue"), "");

  // Its status cannot be read, so it counts as read-only.
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  Trigger("actWriteTag");
  EXPECT_EQ(Said(), (QStringList{Says::ReadOnlyQuestion(Path("a.mp3")), Says::ReadOnly}));
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  Trigger("actWriteTag");
  const QString cannotSave = Says::Failure(Says::CannotSave, Path("a.mp3"), Says::Missing);
  EXPECT_EQ(Said(), (QStringList{Says::ReadOnlyQuestion(Path("a.mp3")), cannotSave, cannotSave,
                                 Says::NoFile}));
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  Trigger("actRemoveTag");
  EXPECT_EQ(Said(),
            (QStringList{Says::ReadOnlyQuestion(Path("a.mp3")), Says::RemoveQuestion(Path("a.mp3")),
                         Says::Failure(Says::CannotRemove, Path("a.mp3"), Says::Missing),
                         Says::Failure(Says::CannotRemove, Path("a.mp3"), Says::Missing)}));
  EXPECT_FALSE(QFile::exists(Path("a.mp3")));
}

TEST_F(TagPanelTest, FoldersPipesAndUnreadableFilesGetMessagesNotHangs) {
  Song("a.mp3", kV2Song, true, true);
  Song("b.mp3", kV2Song, true, true);
  WriteBytes(P("c.mp3"), "ID3");  // shorter than a tag header or a trailer
  ListFolder();
  // a.mp3 becomes a folder, b.mp3 a named pipe, after they were listed.
  ASSERT_EQ(unlink(P("a.mp3").c_str()), 0);
  ASSERT_EQ(mkdir(P("a.mp3").c_str(), 0755), 0);
  ASSERT_EQ(unlink(P("b.mp3").c_str()), 0);
  ASSERT_EQ(mkfifo(P("b.mp3").c_str(), 0644), 0);
  // Each failure names the file and why.
  const QString folder = Path("a.mp3"), pipe = Path("b.mp3"), shortFile = Path("c.mp3");
  const QString cannotRead[] = {{},
                                Says::Failure(Says::CannotRead, pipe, Says::NotRegular),
                                Says::Failure(Says::CannotRead, shortFile, Says::TooShort)};
  const QString cannotSave[] = {Says::Failure(Says::CannotSave, folder, Says::NotRegular),
                                Says::Failure(Says::CannotSave, pipe, Says::NotRegular),
                                Says::Failure(Says::CannotSave, shortFile, Says::TooShort)};
  const struct {
    int Row, Reading;
    bool Read;  // the reading fails (else the file is not there to read)
  } cases[] = {{0, 3, false}, {1, 3, true}, {1, 0, true}, {2, 3, true}, {2, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.Row << ", reading " << c.Reading);
    const QString selecting = c.Read ? cannotRead[c.Row] : Says::NoFile;
    SetReading(c.Reading);
    Select({c.Row});
    EXPECT_EQ(Said(), QStringList{selecting});
    Trigger("actWriteTag");
    EXPECT_EQ(Said(), (QStringList{cannotSave[c.Row], cannotSave[c.Row], selecting}));
  }
  EXPECT_EQ(Bytes("c.mp3"), "ID3");
  struct stat st;
  ASSERT_EQ(stat(P("a.mp3").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  ASSERT_EQ(stat(P("b.mp3").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A write the system refuses says why: a file system mounted read-only, a file that may not grow
// (the file size limit, as a full disk refuses), the old file left as it was.
TEST_F(TagPanelTest, AWriteTheSystemRefusesNamesTheFileAndTheReason) {
  const QString folder = Path("songs");
  ASSERT_TRUE(QDir().mkpath(folder));
  const bool mounted =
      ::mount("tmpfs", folder.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") == 0;
  Song("songs/a.mp3", kV2Song, true, true);
  const std::string before = Bytes("songs/a.mp3");
  std::unique_ptr<TFileSizeLimit> limit;
  const struct {
    const char* Name;
    std::function<bool()> Refuse;  // false: not possible here
    std::function<void()> Allow;
    QString Reason;
  } cases[] = {
      {"file size limit",
       [&] {
         limit = std::make_unique<TFileSizeLimit>(before.size());
         return limit->IsSet();
       },
       [&] { limit.reset(); }, "File too large"},
      {"read-only file system",
       [&] {
         return mounted && ::mount(nullptr, folder.toLocal8Bit().constData(), nullptr,
                                   MS_REMOUNT | MS_RDONLY, nullptr) == 0;
       },
       [] {}, "Read-only file system"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMainForm& form = MakeForm();
    form.ScanFolder(B(folder));
    SetWriting(1);
    Select({0});
    Said();
    Edit("TitleEdit", QString(300, 'N'));  // a larger tag: the file is written anew
    if (!c.Refuse()) {
      std::cerr << c.Name << ": not possible here\n";
      continue;
    }
    Trigger("actWriteTag");
    c.Allow();
    EXPECT_EQ(Said(), QStringList{Says::Failure(Says::CannotSave, Path("songs/a.mp3"), c.Reason)});
    EXPECT_EQ(Bytes("songs/a.mp3"), before);
  }
  FForm.reset();
  if (mounted) ::umount2(folder.toLocal8Bit().constData(), MNT_DETACH);
}

TEST_F(TagPanelTest, WritingNeedsASelectedFile) {
  Song("a.mp3", kV2Song, true, true);
  const std::string before = Bytes("a.mp3");
  MakeForm();
  Trigger("actWriteTag");
  Trigger("actRemoveTag");
  EXPECT_EQ(Said(), (QStringList{"FileList is Empty", "FileList is Empty"}));
  ListFolder();  // listed, nothing selected: nothing to do
  Trigger("actWriteTag");
  Trigger("actRemoveTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_EQ(Bytes("a.mp3"), before);
}

TEST_F(TagPanelTest, GenreBoxesAreFilledAndTheTagObjectsLiveWithTheWindow) {
  TMainForm& form = MakeForm();
  for (const char* name : {"GenreComboBox", "cboGenre"}) {
    auto* box = Get<QComboBox>(name);
    ASSERT_EQ(box->count(), 149) << name;
    EXPECT_EQ(box->itemText(0), "") << name;
    EXPECT_EQ(box->itemText(1), "Blues") << name;
    EXPECT_EQ(box->itemText(148), "Synthpop") << name;
    EXPECT_EQ(box->currentIndex(), -1) << name;
  }
  EXPECT_NE(form.TagPanel().FID3v1, nullptr);
  EXPECT_NE(form.TagPanel().FID3v2, nullptr);
  Song("a.mp3", kV2Song, true, true);
  form.ScanFolder(B(FDir.path()));
  Select({0});
  form.close();
  EXPECT_EQ(form.TagPanel().FID3v1, nullptr);
  EXPECT_EQ(form.TagPanel().FID3v2, nullptr);
  // Commands after closing do nothing.
  const std::string before = Bytes("a.mp3");
  Trigger("actWriteTag");
  Trigger("actWriteAllTag");
  form.lvIniFileListChange();
  EXPECT_EQ(Bytes("a.mp3"), before);
}

TEST_F(TagPanelTest, BytesInsideAValueGoRoundUntouched) {
  // A zero byte inside the title, a tab inside the comment, a byte no code page decodes.
  RawSong("a.mp3", "", Trailer(std::string("ab\0cd", 5), "x\ty\x81", 0, 3, 17));
  const std::string before = Bytes("a.mp3");
  ListFolder();
  SetReading(0);
  SetWriting(0);
  for (const char* codePage : {"1252", "950", "65001"}) {
    TEnvScope scope("MELOTAG_CODEPAGE", codePage);
    Select({0});
    Trigger("actWriteTag");
    EXPECT_EQ(Hex(Bytes("a.mp3")), Hex(before)) << codePage;
  }
}

TEST_F(TagPanelTest, ChangingOneLetterOfABig5TitleKeepsEverythingElse) {
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const std::string cover =
      Frame("APIC", std::string("\0image/jpeg\0\x03\0", 14) + std::string(40000, '\xD8'));
  const std::string lyrics = Frame("USLT", std::string("\0eng\0", 5) + "la la la");
  const std::string comment = Frame("COMM", std::string("\0eng\0", 5) + std::string(396, 'c'));
  const std::string genre = Frame("TCON", std::string("\0Mandopop", 9));
  auto title = [](const char16_t* text) {
    return Frame("TIT2", '\0' + EncodeText(QString::fromUtf16(text)));
  };
  RawSong("a.mp3", Tag(title(u"七里香") + genre + comment + cover + lyrics), "");
  ListFolder();
  SetReading(3);
  SetWriting(1);
  Select({0});
  EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentText(), "Mandopop");
  EXPECT_EQ(Text("CommentEdit"), QString(396, 'c'));
  Edit("TitleEdit", QString::fromUtf16(u"七里番"));
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_EQ(Bytes("a.mp3"), Tag(title(u"七里番") + genre + comment + cover + lyrics) + Audio);
  EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentText(), "Mandopop") << "shown again";

  // The genre box offers the tag's own genre only for that tag; choosing a list genre writes it.
  Get<QComboBox>("GenreComboBox")->setCurrentIndex(18);
  Trigger("actWriteTag");
  EXPECT_EQ(MutagenRead(P("a.mp3"))["genre"], "Rock");
  EXPECT_EQ(Get<QComboBox>("GenreComboBox")->count(), 149);
}

// The fields beyond the seven in a tag mutagen made: shown, changed one at a time with every
// other frame kept, refused when no tag can hold them, disabled for the exact write.
TEST_F(TagPanelTest, AlbumArtistDiscComposerAndLyricsAreShownAndWrittenAlone) {
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  WriteBytes(P("m.mp3"), Audio);
  int status = 0;
  RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i\n"
      "t = i.ID3(); t.add(i.TIT2(encoding=1, text=\"晴天\")); "
      "t.add(i.TPE2(encoding=1, text=\"群星\")); t.add(i.TPOS(encoding=1, text=\"1/2\")); "
      "t.add(i.TCOM(encoding=1, text=\"周杰倫\")); t.add(i.TCON(encoding=1, text=\"華語流行\")); "
      "t.add(i.USLT(encoding=1, lang=\"chi\", desc=\"\", "
      "text=\"故事的小黃花\\n從出生那年就飄著\")); "
      "t.add(i.APIC(encoding=1, mime=\"image/png\", type=3, desc=\"\", data=b\"png\" * 999))\n"
      "t.save(sys.argv[1], v2_version=3)' " +
          Quote(P("m.mp3")),
      &status);
  ASSERT_EQ(status, 0);
  const auto frames = [&] {
    return RunCommand(
        "PYTHONIOENCODING=utf-8 /usr/bin/python3 -c 'import sys, mutagen.id3 as i\n"
        "for k, v in sorted(i.ID3(sys.argv[1]).items()):\n"
        "  print(k, len(v.data) if k.startswith(\"APIC\") else repr(str(v)))' " +
        Quote(P("m.mp3")));
  };
  ListFolder();
  SetWriting(1);
  Select({0});
  EXPECT_EQ(Text("AlbumArtistEdit"), U(u"群星"));
  EXPECT_EQ(Text("DiscEdit"), "1/2");
  EXPECT_EQ(Text("ComposerEdit"), U(u"周杰倫"));
  EXPECT_EQ(Get<QComboBox>("GenreComboBox")->currentText(), U(u"華語流行"));
  EXPECT_EQ(Get<QPlainTextEdit>("LyricsEdit")->toPlainText(), U(u"故事的小黃花\n從出生那年就飄著"));

  const std::string before = frames();
  Edit("DiscEdit", "2");  // the total stays
  Get<QPlainTextEdit>("LyricsEdit")->setPlainText(U(u"故事的小黃花"));
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  std::string expected = before;
  const auto replace = [&](const std::string& from, const std::string& to) {
    const size_t at = expected.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    expected.replace(at, from.size(), to);
  };
  replace("TPOS '1/2'", "TPOS '2/2'");
  replace("USLT::chi '故事的小黃花\\n從出生那年就飄著'", "USLT::chi '故事的小黃花'");
  EXPECT_EQ(frames(), expected);
  EXPECT_EQ(Text("DiscEdit"), "2/2") << "shown again";

  // A genre of one's own, typed.
  Get<QComboBox>("GenreComboBox")->setEditText(U(u"國語"));
  Trigger("actWriteTag");
  EXPECT_NE(frames().find("TCON '國語'"), std::string::npos);

  // No tag holds a disc "x/y": nothing is written, the box and the value are named.
  const std::string bytes = Bytes("m.mp3");
  Edit("DiscEdit", "x/y");
  Trigger("actWriteTag");
  const QStringList said = Said();
  ASSERT_EQ(said.size(), 1);
  EXPECT_TRUE(said.first().contains("x/y")) << said.first().toStdString();
  EXPECT_EQ(Bytes("m.mp3"), bytes);

  // The exact write writes the seven fields alone: the other boxes are disabled.
  Get<QCheckBox>("cbxKeepOtherFrames")->setChecked(false);
  EXPECT_FALSE(Get<QLineEdit>("DiscEdit")->isEnabled());
  EXPECT_FALSE(Get<QPlainTextEdit>("LyricsEdit")->isEnabled());
  EXPECT_TRUE(Get<QLineEdit>("TitleEdit")->isEnabled());
  Get<QCheckBox>("cbxKeepOtherFrames")->setChecked(true);
  EXPECT_TRUE(Get<QLineEdit>("DiscEdit")->isEnabled());
}

// With the defaults (read ID3v2, write both) a file with a trailer alone shows an empty panel; a
// title typed there changes the trailer's title alone.
TEST_F(TagPanelTest, ATitleTypedOverATrailerAloneKeepsTheTrailersOtherFields) {
  Song("v1.mp3", kV1Song, true, false);
  const TID3v1 before = V1("v1.mp3");
  ListFolder();
  Select({0});
  EXPECT_EQ(Text("TitleEdit"), "");
  Edit("TitleEdit", "New title");
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_EQ(Status(), "Tag written: v1.mp3");
  const TID3v1 after = V1("v1.mp3");
  EXPECT_EQ(after.Title(), "New title");
  EXPECT_EQ(after.Artist(), before.Artist());
  EXPECT_EQ(after.Album(), before.Album());
  EXPECT_EQ(after.Year(), before.Year());
  EXPECT_EQ(after.Track(), before.Track());
  EXPECT_EQ(after.GenreIndex(), before.GenreIndex());
  EXPECT_EQ(after.Comment(), before.Comment());
  EXPECT_EQ(V2("v1.mp3").Title(), "New title");
}

// Under 950 a GBK trailer keeps its texts (no Big5 bytes beside them, no "?" for simplified
// characters) and the status says so; the ID3v2 tag gets the title.
TEST_F(TagPanelTest, ATitleTypedOverAGbkTrailerUnder950KeepsItsTexts) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  // 后来的我们, 刘若英 in GBK: no Big5 texts
  const std::string title = "\xBA\xF3\xC0\xB4\xB5\xC4\xCE\xD2\xC3\xC7",
                    artist = "\xC1\xF5\xC8\xF4\xD3\xA2";
  RawSong("gbk.mp3", "", Trailer(title, "", 0, 0, 255).replace(33, artist.size(), artist));
  ListFolder();
  SetReading(0);
  Select({0});
  Edit("TitleEdit", QString::fromUtf8("晴天"));
  Edit("TrackEdit", "3");
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_TRUE(Status().contains("texts of another code page")) << Status().toStdString();
  const TID3v1 after = V1("gbk.mp3");
  EXPECT_EQ(Hex(after.Title()), Hex(title));
  EXPECT_EQ(Hex(after.Artist()), Hex(artist));
  EXPECT_EQ(after.Track(), 3);
  TID3v2Text text;
  ASSERT_TRUE(LoadID3v2Text(P("gbk.mp3"), text));
  EXPECT_EQ(text.Fields.Text(TField::Title), QString::fromUtf8("晴天"));
}
