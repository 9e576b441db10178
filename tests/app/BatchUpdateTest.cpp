// The batch page: the write pass over every listed file, the removal pass, the read-only
// question with Yes to All, the title list's lines, running track numbers, the front cover from
// one image or from each folder's image, the coupling of the page's boxes and the progress in the
// status bar. Real files; mutagen reads back what the pass wrote.
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <sys/stat.h>
#include <unistd.h>

#include "CodePage.h"
#include "Cover.h"
#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "StatusBar.h"
#include "TagEditSupport.h"

using namespace tagtest;

namespace {

// Scripted dialogs that also note the status text and the progress bar at every message, so a
// test sees the progress of a pass while it runs.
class TProgressDialogs : public TScriptedDialogs {
 public:
  explicit TProgressDialogs(const TMainForm*& form) : FForm(form) {}
  int MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                 int helpCtx) override {
    Status << FForm->findChild<TStatusBar*>("StatusBar")->PanelText(0);
    const QProgressBar* bar = FForm->FProgressBar;
    Progress << (!bar->isHidden() ? QString("%1/%2").arg(bar->value()).arg(bar->maximum())
                                  : QString("hidden"));
    return TScriptedDialogs::MessageDlg(type, text, buttons, helpCtx);
  }
  QStringList Status, Progress;

 private:
  const TMainForm*& FForm;
};

class BatchUpdateTest : public TagEditTest {
 protected:
  void Tick(const char* box, bool ticked = true) { Get<QCheckBox>(box)->setChecked(ticked); }
  // A value as pasted into its edit (a change of text, as typing makes).
  void Type(const char* edit, const QString& text) { Get<QLineEdit>(edit)->setText(text); }
  void Titles(const QString& text) { Get<QPlainTextEdit>("Memo1")->setPlainText(text); }
  bool ProgressShown() const { return !FForm->FProgressBar->isHidden(); }

  // Tags an MP3 file of the folder with mutagen (cover_peer.py make): a title, a front and a back
  // cover, lyrics and a user text, as ID3v2.`version`.
  void PeerTagged(const QString& name, int version) {
    RawSong(name, "");
    Peer("make " + Quote(P(name)) + " " + std::to_string(version));
  }
  // What mutagen reads of the file, one line a frame, sorted (cover_peer.py read).
  QStringList PeerRead(const QString& name) {
    return QString::fromStdString(Peer("read " + Quote(P(name)))).split('\n', Qt::SkipEmptyParts);
  }
  static QString Md5(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
  }
  // The frames of the file's ID3v2 tag (ID, flags and the hex of their bytes), but the text
  // frames of `ids` and its front cover.
  std::vector<std::string> OtherFrames(const QString& name,
                                       std::initializer_list<std::string> ids) const {
    melotag::tags::TFrameTag tag;
    melotag::tags::ParseFrameTag(Bytes(name), tag);
    std::vector<bool> out(tag.Frames.size());
    for (const auto& picture : melotag::editor::PicturesOf(tag))
      out[picture.Frame] = picture.Type == 3;
    std::vector<std::string> frames;
    for (size_t i = 0; i < tag.Frames.size(); ++i)
      if (!out[i] && std::find(ids.begin(), ids.end(), tag.Frames[i].Id) == ids.end())
        frames.push_back(tag.Frames[i].Id + ' ' + std::to_string(tag.Frames[i].Flags) + ' ' +
                         Hex(tag.Frames[i].Data));
    return frames;
  }

 private:
  static std::string Peer(const std::string& args) {
    int status = -1;
    const std::string out =
        RunCommand("/usr/bin/python3 " + Quote(COVER_PEER) + " " + args + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }
};

// What mutagen reads of a file that cover_peer.py made, with the artist and front cover a pass
// gives it.
QStringList PeerFramesWith(const QString& artist, const QString& cover) {
  QStringList lines = {
      "APIC 3 " + cover,
      "APIC 4 image/png " +
          QString(QCryptographicHash::hash("\x89PNG\r\n\x1a\nback cover", QCryptographicHash::Md5)
                      .toHex()),
      "TIT2 Old title", "TXXX MOOD=calm", "USLT la la la"};
  if (!artist.isEmpty()) lines << "TPE1 " + artist;
  lines.sort();
  return lines;
}

const TSong kOld = {"Old title", "Old artist", "Old album", "1999", "Old comment", 4, "Pop", 13};

}  // namespace

TEST_F(BatchUpdateTest, ValuesTickTheirBoxesAndTheTitleBoxEnablesTheTitleList) {
  MakeForm();
  const std::pair<const char*, const char*> fields[] = {{"edtArtist", "cbxArtist"},
                                                        {"edtAlbum", "cbxAlbum"},
                                                        {"edtYear", "cbxYear"},
                                                        {"edtComment", "cbxComment"}};
  for (auto [edit, box] : fields) {
    QTest::keyClicks(Get<QLineEdit>(edit), "ab");
    EXPECT_TRUE(Get<QCheckBox>(box)->isChecked()) << edit;
    Tick(box, false);  // by hand, the value stays
    EXPECT_EQ(Get<QLineEdit>(edit)->text(), "ab");
    QTest::keyClick(Get<QLineEdit>(edit), Qt::Key_Backspace);
    EXPECT_TRUE(Get<QCheckBox>(box)->isChecked()) << edit;
    QTest::keyClick(Get<QLineEdit>(edit), Qt::Key_Backspace);
    EXPECT_FALSE(Get<QCheckBox>(box)->isChecked()) << edit;
  }

  // A genre chosen in the box ticks its field, the empty entry unticks it.
  auto* genre = Get<QComboBox>("cboGenre");
  genre->setFocus();
  QTest::keyClick(genre, Qt::Key_Down);
  QTest::keyClick(genre, Qt::Key_Down);
  EXPECT_EQ(genre->currentIndex(), 1);
  EXPECT_TRUE(Get<QCheckBox>("cbxGenre")->isChecked());
  QTest::keyClick(genre, Qt::Key_Up);
  EXPECT_EQ(genre->currentIndex(), 0);
  EXPECT_FALSE(Get<QCheckBox>("cbxGenre")->isChecked());
  // A wheel turned over the box while another field has the focus scrolls the page: the genre
  // stays, unticked.
  Get<QLineEdit>("edtAlbum")->setFocus();
  QWheelEvent wheel(QPointF(5, 5), genre->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(genre, &wheel);
  EXPECT_EQ(genre->currentIndex(), 0);
  EXPECT_FALSE(Get<QCheckBox>("cbxGenre")->isChecked());

  auto* titleList = Get<QCheckBox>("cbxChangeTitleByTitleList");
  EXPECT_FALSE(titleList->isEnabled());
  Get<QCheckBox>("cbxTitle")->click();
  EXPECT_TRUE(titleList->isEnabled());
  EXPECT_TRUE(titleList->isChecked());
  titleList->click();  // the user may untick it
  EXPECT_FALSE(titleList->isChecked());
  Get<QCheckBox>("cbxTitle")->click();
  EXPECT_FALSE(titleList->isEnabled());
  EXPECT_FALSE(titleList->isChecked());

  // The clear command unticks and empties everything.
  Type("edtArtist", "x");
  Get<QCheckBox>("cbxTitle")->click();
  Trigger("actClearBatchUpdate");
  for (const char* box : {"cbxTitle", "cbxChangeTitleByTitleList", "cbxArtist", "cbxGenre"})
    EXPECT_FALSE(Get<QCheckBox>(box)->isChecked()) << box;
  EXPECT_EQ(Get<QLineEdit>("edtArtist")->text(), "");
  EXPECT_EQ(genre->currentIndex(), -1);
}

TEST_F(BatchUpdateTest, ArtistTickedReachesEveryFileTheRestKeepsItsOldValues) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "936");
  Song("a.mp3", kOld, true, true);
  Song("b.mp3", kOld, true, false);  // no ID3v2 tag: the rest of it is empty
  Song("c.mp3", kOld, false, true);  // no trailer: genre none, no track
  WriteBytes(P("audio"), Audio);
  ListFolder();
  Type("edtArtist", QString::fromUtf8("周杰伦"));
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  const std::string artist = "\xD6\xDC\xBD\xDC\xC2\xD7";  // GBK
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
    SCOPED_TRACE(name);
    const TID3v1 v1 = V1(name);
    const TID3v2 v2 = V2(name);
    EXPECT_EQ(Hex(v1.Artist()), Hex(artist));
    EXPECT_EQ(Hex(v2.Artist()), Hex(artist));
    const bool hadV1 = std::string(name) != "c.mp3";
    const bool hadV2 = std::string(name) != "b.mp3";
    EXPECT_EQ(v1.Title(), hadV1 ? kOld.Title : "");
    EXPECT_EQ(v1.Track(), hadV1 ? kOld.Track : 0);
    EXPECT_EQ(v1.GenreIndex(), hadV1 ? kOld.GenreIndex : 255);
    EXPECT_EQ(v2.Title(), hadV2 ? kOld.Title : "");
    EXPECT_EQ(v2.Genre(), hadV2 ? kOld.Genre : "");
    EXPECT_EQ(v2.Track(), hadV2 ? kOld.Track : 0);
    TValues read = MutagenRead(P(name));
    EXPECT_EQ(read["version"], "2.3");
    EXPECT_EQ(Hex(read["artist"]), Hex(artist));
    EXPECT_EQ(Hex(MutagenRead(P(name), true)["artist"]), Hex(artist));
    EXPECT_EQ(AudioMd5(P(name)), AudioMd5(P("audio")));
  }
  EXPECT_EQ(Status(), "Update OK");
  EXPECT_FALSE(ProgressShown());
}

TEST_F(BatchUpdateTest, WithTheOptionsUntickedNothingTickedRewritesEachFileFromItsOwnValues) {
  Song("a-none.mp3", {}, false, false);
  RawSong("b-v24.mp3",
          Tag(Frame("TIT2", std::string("\0Title", 6)) + Frame("TPE1", std::string("\0A", 2)), 4));
  RawSong("c-ref.mp3", Tag(Frame("TCON", std::string("\0(17)Rock", 9)) +
                           Frame("TXXX", std::string("\0other frame", 12))));
  ListFolder();
  Exact();
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  // No tag at all: an empty trailer (no genre) and a bare header.
  EXPECT_TRUE(V1("a-none.mp3").Exists());
  EXPECT_EQ(V1("a-none.mp3").GenreIndex(), 255);
  EXPECT_EQ(Bytes("a-none.mp3").substr(0, 10), std::string("ID3\3\0\0\0\0\0\0", 10));
  // A 2.4 tag keeps none of its values; a genre reference becomes its name; other frames go.
  EXPECT_EQ(V2("b-v24.mp3").Version(), 3);
  EXPECT_EQ(V2("b-v24.mp3").Title(), "");
  EXPECT_EQ(V2("c-ref.mp3").Genre(), "Rock");
  EXPECT_EQ(Bytes("c-ref.mp3").find("TXXX"), std::string::npos);
  EXPECT_EQ(MutagenRead(P("c-ref.mp3"))["genre"], "Rock");
}

TEST_F(BatchUpdateTest, TracksRunInListOrderTheTwoHundredFiftySixthGetsNone) {
  QStringList names;
  for (int i = 0; i < 257; ++i) names << QString("song %1.mp3").arg(i, 3, 10, QChar('0'));
  for (const QString& name : names) RawSong(name, "", Trailer("T", "", 0, 0, 255));
  TMainForm& form = ListFolder();
  ASSERT_EQ(form.FileList().Count(), 257);
  SetWriting(0);  // the trailer alone
  Tick("cbxTrack");
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_TRUE(Status().startsWith("Update OK")) << Status().toStdString();
  EXPECT_TRUE(Status().contains("the ID3v1 tag gets no track")) << Status().toStdString();
  const struct {
    int Position, Track;
  } cases[] = {{0, 1}, {1, 2}, {9, 10}, {254, 255}, {255, 0}, {256, 0}};  // no wrap to 1
  for (const auto& c : cases) {
    const QString name = form.FileList().Caption(c.Position);
    EXPECT_EQ(name, names[c.Position]);
    EXPECT_EQ(V1(name).Track(), c.Track) << c.Position;
  }
  EXPECT_FALSE(V2(names[0]).Exists());
}

TEST_F(BatchUpdateTest, TitlesComeLineByLineAndTheCountsMustAgree) {
  for (const char* name : {"b.mp3", "a.mp3", "c.mp3"}) Song(name, kOld, true, true);
  ListFolder();
  Get<QCheckBox>("cbxTitle")->click();
  const std::string before = Bytes("a.mp3");

  Titles("");
  Trigger("actWriteAllTag");
  EXPECT_EQ(Said(), QStringList{"TitleList is Empty !"});
  Titles("one\ntwo\n");
  Trigger("actWriteAllTag");
  EXPECT_EQ(Said(), QStringList{"FileList count <> TitleList count !"});
  EXPECT_FALSE(ProgressShown());
  EXPECT_EQ(Bytes("a.mp3"), before);

  Titles("one\ntwo\nthree\n");  // the last line break adds no line
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  const std::pair<const char*, const char*> titles[] = {
      {"a.mp3", "one"}, {"b.mp3", "two"}, {"c.mp3", "three"}};
  for (auto [name, title] : titles) {
    EXPECT_EQ(V1(name).Title(), title) << name;
    EXPECT_EQ(V2(name).Title(), title) << name;
    EXPECT_EQ(V2(name).Artist(), kOld.Artist) << name;
  }
}

TEST_F(BatchUpdateTest, ReadOnlyFilesAskYesNoOrYesToAllPerPass) {
  const struct {
    const char* Name;
    bool Ticked;
    QList<int> Answers;
    QList<int> Questions;   // positions asked about
    bool EndsWithReadOnly;  // the pass ends with the read-only message
    QList<bool> Written;    // a, b, c, d
    QList<unsigned> Modes;  // archive alone adds the owner's write, nothing else
  } cases[] = {
      // a, c: read-only; b, d: writable.
      {"Yes to All",
       false,
       {mrYesToAll},
       {0},
       false,
       {true, true, true, true},
       {0644, 0640, 0644, 0644}},
      {"Yes, then Yes",
       false,
       {mrYes, mrYes},
       {0, 2},
       false,
       {true, true, true, true},
       {0644, 0640, 0644, 0644}},
      {"Yes, then No",
       false,
       {mrYes, mrNo},
       {0, 2},
       true,
       {true, true, false, false},
       {0644, 0640, 0444, 0644}},
      {"closed",
       false,
       {mrCancel},
       {0},
       true,
       {false, false, false, false},
       {0444, 0640, 0444, 0644}},
      {"archive box", true, {}, {}, false, {true, true, true, true}, {0644, 0640, 0644, 0644}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QStringList names = {"a.mp3", "b.mp3", "c.mp3", "d.mp3"};
    for (const QString& name : names) {
      chmod(P(name).c_str(), 0644);
      Song(name, kOld, true, false);
    }
    ASSERT_EQ(chmod(P("a.mp3").c_str(), 0444), 0);
    ASSERT_EQ(chmod(P("c.mp3").c_str(), 0444), 0);
    ASSERT_EQ(chmod(P("b.mp3").c_str(), 0640), 0);
    ListFolder();
    SetWriting(0);
    Tick("cbxFILE_ATTRIBUTE_ARCHIVE", c.Ticked);
    Type("edtArtist", "New");
    for (int answer : c.Answers) FDialogs.Push(TDialogAnswer::Button(answer));
    Trigger("actWriteAllTag");
    QStringList expected;
    for (int position : c.Questions) expected << Says::ReadOnlyQuestion(Path(names[position]));
    if (c.EndsWithReadOnly) expected << Says::ReadOnly;
    const QList<TShownDialog> shown = FDialogs.Shown();
    EXPECT_EQ(Said(), expected);
    if (!c.Questions.isEmpty()) {
      ASSERT_FALSE(shown.isEmpty());
      EXPECT_EQ(shown[0].Buttons, Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll));
    }
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(V1(names[i]).Artist(), c.Written[i] ? "New" : kOld.Artist) << i;
      EXPECT_EQ(Permissions(P(names[i])), c.Modes[i]) << i;
    }
    EXPECT_FALSE(ProgressShown());
  }

  // Yes to All lasts one pass: the next one asks again.
  Tick("cbxFILE_ATTRIBUTE_ARCHIVE", false);
  for (const char* name : {"a.mp3", "c.mp3"}) chmod(P(name).c_str(), 0444);
  FDialogs.Push(TDialogAnswer::Button(mrYesToAll));
  Trigger("actWriteAllTag");
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  chmod(P("a.mp3").c_str(), 0444);
  Trigger("actWriteAllTag");
  EXPECT_EQ(Said(), (QStringList{Says::ReadOnlyQuestion(Path("a.mp3")),
                                 Says::ReadOnlyQuestion(Path("a.mp3")), Says::ReadOnly}));
}

TEST_F(BatchUpdateTest, ProgressAndStatusFollowEachFile) {
  const TMainForm* form = nullptr;
  TProgressDialogs dialogs(form);
  TDialogsScope scope(&dialogs);
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) Song(name, kOld, true, true);
  form = &ListFolder();
  ASSERT_EQ(unlink(P("b.mp3").c_str()), 0);  // vanished: its messages, the pass goes on
  ASSERT_EQ(chmod(P("c.mp3").c_str(), 0444), 0);
  dialogs.Push(TDialogAnswer::Button(mrYes));  // for the vanished file, read-only to the window
  dialogs.Push(TDialogAnswer::Button(mrYes));  // c.mp3
  SetWriting(2);
  Trigger("actWriteAllTag");
  const QString progress = QString::fromUtf8("Progress\uFF1A");
  const QString file = QString::fromUtf8("FIle\uFF1A");
  QStringList said;
  for (const TShownDialog& shown : dialogs.Shown()) said << shown.Text;
  const QString cannotSave = Says::Failure(Says::CannotSave, Path("b.mp3"), Says::Missing);
  EXPECT_EQ(said, (QStringList{Says::ReadOnlyQuestion(Path("b.mp3")), cannotSave, cannotSave,
                               Says::ReadOnlyQuestion(Path("c.mp3"))}));
  const QString afterA = progress + "1/3  " + file + Path("a.mp3");
  EXPECT_EQ(dialogs.Status,
            (QStringList{afterA, afterA, afterA, progress + "2/3  " + file + Path("b.mp3")}));
  EXPECT_EQ(dialogs.Progress, (QStringList{"1/3", "1/3", "1/3", "2/3"}));
  EXPECT_EQ(Status(), "Update OK");
  EXPECT_FALSE(ProgressShown());
  EXPECT_EQ(form->FProgressBar->value(), 0);
  EXPECT_EQ(V2("c.mp3").Artist(), kOld.Artist);
  EXPECT_EQ(Permissions(P("c.mp3")), 0644u);
}

TEST_F(BatchUpdateTest, RemovalAsksFirstThenStripsByTheWritingPreference) {
  const TMainForm* form = nullptr;
  TProgressDialogs dialogs(form);
  TDialogsScope scope(&dialogs);
  Song("a.mp3", kOld, true, true);
  Song("b.mp3", kOld, true, false);
  Song("c.mp3", kOld, false, true);
  WriteBytes(P("audio"), Audio);
  form = &ListFolder();
  SetWriting(1);

  dialogs.Push(TDialogAnswer::Button(mrNo));
  Trigger("actRemoveAllTag");
  ASSERT_EQ(dialogs.Shown().size(), 1);
  EXPECT_EQ(dialogs.Shown()[0].Text, "Are you sure want to delete all tag data?");
  EXPECT_EQ(dialogs.Shown()[0].Type, mtConfirmation);
  EXPECT_EQ(dialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
  EXPECT_EQ(dialogs.Progress, QStringList{"0/3"});  // asked with the progress bar shown
  EXPECT_FALSE(ProgressShown());
  EXPECT_TRUE(V2("a.mp3").Exists());
  dialogs.ClearShown();

  dialogs.Push(TDialogAnswer::Button(mrYes));
  Trigger("actRemoveAllTag");
  QStringList said;
  for (const TShownDialog& shown : dialogs.Shown()) said << shown.Text;
  EXPECT_EQ(said, (QStringList{"Are you sure want to delete all tag data?",
                               Says::Failure(Says::CannotRemove, Path("b.mp3"), Says::NoTag)}));
  // Said while b.mp3 was done: the status still tells of a.mp3.
  EXPECT_EQ(dialogs.Status.last(),
            QString::fromUtf8("Progress\uFF1A1/3  FIle\uFF1A") + Path("a.mp3"));
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
    EXPECT_FALSE(V2(name).Exists()) << name;
    EXPECT_EQ(V1(name).Exists(), std::string(name) != "c.mp3") << name;
  }
  EXPECT_EQ(Status(), "Update OK");
  EXPECT_FALSE(ProgressShown());

  // Both, then the audio alone is left.
  SetWriting(2);
  dialogs.ClearShown();
  dialogs.Push(TDialogAnswer::Button(mrYes));
  Trigger("actRemoveAllTag");
  EXPECT_EQ(dialogs.Shown().size(), 4);  // the question and one message per file without ID3v2
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) EXPECT_EQ(Bytes(name), Audio) << name;
}

TEST_F(BatchUpdateTest, OneImageBecomesEveryFilesFrontCoverInTheSameWriteAsTheTexts) {
  PeerTagged("a-23.mp3", 3);
  PeerTagged("b-24.mp3", 4);
  RawSong("c-none.mp3", "");
  const QByteArray png = ImageBytes(40, 30, "PNG");
  WriteBytes(P("new.png"), png.toStdString());
  std::map<QString, std::pair<std::vector<std::string>, std::string>> before;
  for (const char* name : {"a-23.mp3", "b-24.mp3"})
    before[name] = {OtherFrames(name, {"TPE1"}), AudioMd5(P(name))};
  ListFolder();

  // The image chosen by the dialog ticks the field.
  FDialogs.Push(TDialogAnswer::Paths({Path("new.png")}));
  Get<QToolButton>("btnChoosePicture")->click();
  EXPECT_EQ(Get<QLineEdit>("edtPicture")->text(), Path("new.png"));
  EXPECT_TRUE(Get<QCheckBox>("cbxPicture")->isChecked());
  Said();
  Type("edtArtist", "New artist");
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_EQ(Status(), "Update OK");

  // The front cover is replaced; the back cover, the lyrics, the user text and the title stay
  // byte for byte, in their version.
  const QString cover = "image/png " + Md5(png);
  for (const char* name : {"a-23.mp3", "b-24.mp3"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(PeerRead(name), PeerFramesWith("New artist", cover));
    EXPECT_EQ(OtherFrames(name, {"TPE1"}), before[name].first);
    EXPECT_EQ(AudioMd5(P(name)), before[name].second);
  }
  EXPECT_EQ(V2("b-24.mp3").Version(), 4);
  EXPECT_EQ(PeerRead("c-none.mp3"), (QStringList{"APIC 3 " + cover, "TPE1 New artist"}));
  EXPECT_NE(Bytes("c-none.mp3").find(Audio), std::string::npos);
  EXPECT_EQ(V1("c-none.mp3").Artist(), "New artist");

  // Once more: every file holds the image and the artist already, and stays as it is.
  const std::string once = Bytes("a-23.mp3");
  Trigger("actWriteAllTag");
  EXPECT_EQ(Bytes("a-23.mp3"), once);

  // The field's coupling: the folders' images tick it, the image file with no path unticks it;
  // the clear command unticks it and empties the path.
  Type("edtPicture", "");
  EXPECT_FALSE(Get<QCheckBox>("cbxPicture")->isChecked());
  Get<QRadioButton>("rbFolderPicture")->click();
  EXPECT_TRUE(Get<QCheckBox>("cbxPicture")->isChecked());
  Get<QRadioButton>("rbPictureFile")->click();
  EXPECT_FALSE(Get<QCheckBox>("cbxPicture")->isChecked());
  Type("edtPicture", Path("new.png"));
  EXPECT_TRUE(Get<QCheckBox>("cbxPicture")->isChecked());
  Get<QRadioButton>("rbFolderPicture")->click();
  Trigger("actClearBatchUpdate");
  EXPECT_FALSE(Get<QCheckBox>("cbxPicture")->isChecked());
  EXPECT_EQ(Get<QLineEdit>("edtPicture")->text(), "");
  EXPECT_TRUE(Get<QRadioButton>("rbPictureFile")->isChecked());
}

TEST_F(BatchUpdateTest, EachFileTakesItsFolderImageAFileWithoutOneIsNamedAndLeftAsItWas) {
  const QByteArray jpeg = ImageBytes(20, 20, "JPG"), other = ImageBytes(10, 10, "JPG"),
                   png = ImageBytes(8, 8, "PNG");
  const struct {
    const char* Folder;
    std::vector<std::pair<const char*, QByteArray>> Images;
    QStringList Files;
    QByteArray Taken;  // empty: the files stay as they were
    QString Reason;
    qint64 Sparse = 0;  // the first image grown to this size, a hole after its bytes
  } cases[] = {
      // cover.jpg before folder.jpg before cover.png, in any letter case.
      {"one",
       {{"folder.jpg", other}, {"Cover.JPG", jpeg}, {"cover.png", png}},
       {"a1.mp3", "a2.mp3"},
       jpeg,
       ""},
      {"two", {{"cover.png", png}, {"FOLDER.jpg", other}}, {"b.mp3"}, other, ""},
      {"three", {{"cover.png", png}}, {"c.mp3"}, png, ""},
      {"four",
       {{"front.jpg", jpeg}},
       {"d.mp3"},
       {},
       "no cover.jpg, folder.jpg or cover.png in its folder"},
      // The image taken is told by its content; a bad one is named, not passed over.
      {"five",
       {{"cover.jpg", "not an image"}, {"cover.png", png}},
       {"e.mp3"},
       {},
       "cover.jpg of its folder is not a JPEG or PNG image"},
      // A cover.jpg of 20 GB is named and never read.
      {"six",
       {{"cover.jpg", jpeg}, {"cover.png", png}},
       {"f.mp3"},
       {},
       "cover.jpg of its folder is too large (more than 20 MiB)",
       qint64{20} << 30},
  };
  QStringList commandLine = {"Melotag"}, failures;
  std::map<QString, std::string> before;
  for (const auto& c : cases) {
    ASSERT_TRUE(QDir(FDir.path()).mkdir(c.Folder));
    for (const auto& [name, bytes] : c.Images)
      WriteBytes(P(QString(c.Folder) + '/' + name), bytes.toStdString());
    if (c.Sparse > 0) {
      ASSERT_EQ(::truncate(P(QString(c.Folder) + '/' + c.Images[0].first).c_str(), c.Sparse), 0);
    }
    for (const QString& file : c.Files) {
      const QString name = QString(c.Folder) + '/' + file;
      PeerTagged(name, 3);
      before[name] = Bytes(name);
      commandLine << Path(name);
      if (c.Taken.isEmpty()) failures << Path(name) + ": " + c.Reason;
    }
  }
  MakeForm(commandLine);
  Get<QRadioButton>("rbFolderPicture")->click();
  Trigger("actWriteAllTag");
  EXPECT_EQ(Said(), QStringList{"3 file(s) left as they were:\n" + failures.join('\n')});
  for (const auto& c : cases)
    for (const QString& file : c.Files) {
      const QString name = QString(c.Folder) + '/' + file;
      SCOPED_TRACE(name.toStdString());
      if (c.Taken.isEmpty()) {
        EXPECT_EQ(Bytes(name), before[name]);
        continue;
      }
      const QString mime = c.Taken.startsWith("\x89PNG") ? "image/png" : "image/jpeg";
      EXPECT_EQ(PeerRead(name), PeerFramesWith("", mime + ' ' + Md5(c.Taken)));
    }
  EXPECT_EQ(Status(), "Update OK");
  EXPECT_FALSE(ProgressShown());
}

TEST_F(BatchUpdateTest, AnImageThatCannotBeTakenIsRefusedBeforeThePass) {
  PeerTagged("a.mp3", 3);
  WriteBytes(P("text.jpg"), "not an image");
  WriteBytes(P("good.png"), ImageBytes(4, 4, "PNG").toStdString());
  WriteBytes(P("huge.jpg"), "\xFF\xD8\xFF\xE0");
  ASSERT_EQ(::truncate(P("huge.jpg").c_str(), qint64{20} << 30), 0);
  const std::string before = Bytes("a.mp3");
  const struct {
    QString Image;  // empty: the field ticked by hand
    int Writing;    // 0: ID3v1 alone, 2: both tags
    QString Said;
  } cases[] = {
      {Path("text.jpg"), 2, "The file is not a JPEG or PNG image"},
      {Path("huge.jpg"), 2, "The image [" + Path("huge.jpg") + "] is larger than 20 MiB: not used"},
      {Path("gone.png"), 2,
       Says::Failure("Can not read the picture", Path("gone.png"), Says::Missing)},
      {FDir.path(), 2, Says::Failure("Can not read the picture", FDir.path(), Says::NotRegular)},
      {"", 2, "Choose the image file of the picture"},
      {Path("good.png"), 0, "Only the ID3v2 tag carries pictures: choose to write ID3v2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Said.toStdString());
    ListFolder();
    SetWriting(c.Writing);
    Type("edtArtist", "New artist");
    Type("edtPicture", c.Image);
    Tick("cbxPicture");
    Trigger("actWriteAllTag");
    EXPECT_EQ(Said(), QStringList{c.Said});
    EXPECT_EQ(Bytes("a.mp3"), before);
    EXPECT_FALSE(ProgressShown());
  }
}

TEST_F(BatchUpdateTest, WithTheOptionsUntickedThePictureFollowsTheSevenFramesInOneWrite) {
  Song("a.mp3", kOld, false, true);
  const QByteArray jpeg = ImageBytes(16, 16, "JPG");
  WriteBytes(P("new.jpg"), jpeg.toStdString());
  ListFolder();
  Exact();
  SetWriting(1);
  Type("edtArtist", "New artist");
  Type("edtPicture", Path("new.jpg"));
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  const TID3v2 tag = V2("a.mp3");
  EXPECT_EQ(tag.Artist(), "New artist");
  EXPECT_EQ(tag.Title(), kOld.Title);
  EXPECT_EQ(tag.Comment(), kOld.Comment);
  EXPECT_TRUE(PeerRead("a.mp3").contains("APIC 3 image/jpeg " + Md5(jpeg)));
  EXPECT_TRUE(Bytes("a.mp3").ends_with(Audio));
}
