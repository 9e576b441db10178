// Renaming through the window: the listed files after the title list (real files, names in Big5,
// GBK and UTF-8, with blanks and quotes), the album title from the tags, and the folder after it
// with the tree following.
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "FileNames.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "StatusBar.h"

namespace {

void WriteNamed(const QByteArray& path, const QByteArray& data = QByteArray(417, '\0')) {
  const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path.toHex().constData();
  ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
  ::close(fd);
}

QByteArray ReadNamed(const QByteArray& path) {
  QByteArray data(64, '\0');
  const int fd = ::open(path.constData(), O_RDONLY);
  if (fd < 0) return {};
  const ssize_t n = ::read(fd, data.data(), size_t(data.size()));
  ::close(fd);
  return data.left(n);
}

class RenamingTest : public MainFormTest {
 protected:
  void SetLines(const QStringList& lines) { FForm->TitleList().SetLines(lines); }
  QProgressBar* Bar() const { return FForm->findChild<QProgressBar*>("FProgressBar"); }
  QStringList Texts() const {
    QStringList texts;
    for (const TShownDialog& shown : FDialogs.Shown()) texts << shown.Text;
    return texts;
  }
  // Answers the two questions of a rename: go on, then reload or not.
  void Answer(int sure, int reload) {
    FDialogs.Push(TDialogAnswer::Button(sure));
    FDialogs.Push(TDialogAnswer::Button(reload));
  }
};

const QString kSure = "Are you sure want to change filename by TitltList ?";
const QString kReload = "File Changed, Reload Now ?";

}  // namespace

TEST_F(RenamingTest, FilesTakeTheirTitleLinesAndTheListReloadsOnYes) {
  Files({"a.MP3", "b.mp3", "c.mp3", "d.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  SetLines({"One", "", " \"Two\" it's", "d"});
  Answer(mrYes, mrNo);
  form.actRenameExecute();
  EXPECT_EQ(Texts(), (QStringList{kSure, kReload}));
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtConfirmation);
  EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
  EXPECT_TRUE(QFile::exists(Path("One.mp3")));
  EXPECT_FALSE(QFile::exists(Path("a.MP3")));
  EXPECT_TRUE(QFile::exists(Path("b.mp3")));  // an empty line leaves its file alone
  EXPECT_TRUE(QFile::exists(Path(" \"Two\" it's.mp3")));
  EXPECT_TRUE(QFile::exists(Path("d.mp3")));  // its own name: nothing to do
  // The list shows the old names until it is reloaded.
  EXPECT_EQ(Captions(), (QStringList{"a.MP3", "b.mp3", "c.mp3", "d.mp3"}));
  EXPECT_FALSE(Bar()->isVisible());
  EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar")->PanelText(0), "Renamed.mp3");

  // Renaming again after a new scan; Yes reloads the list.
  FDialogs.ClearShown();
  form.FileList().Clear();
  form.ScanFolder(B(FDir.path()));
  SetLines({"1", "2", "3", "4"});
  Answer(mrYes, mrYes);
  form.actRenameExecute();
  EXPECT_EQ(Texts(), (QStringList{kSure, kReload}));
  EXPECT_EQ(Captions(), (QStringList{"1.mp3", "2.mp3", "3.mp3", "4.mp3"}));
  EXPECT_EQ(Paths()[0], Path("1.mp3"));
}

TEST_F(RenamingTest, NothingIsRenamedWithoutAMatchingTitleListOrAYes) {
  Files({"a.mp3", "b.mp3", "c.mp3"});
  TMainForm& form = MakeForm();
  const struct {
    QStringList Lines;
    int Answer;  // to the question, when it is asked
    QStringList Shown;
  } cases[] = {
      {{}, mrNone, {"TitleList is Empty !"}},
      {{"x", "y"}, mrNone, {"FileList count <> TitleList count !"}},
      {{"x", "y", "z", "w"}, mrNone, {"FileList count <> TitleList count !"}},
      {{"x", "y", "z"}, mrNo, {kSure}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shown.first().toStdString());
    form.FileList().Clear();
    form.ScanFolder(B(FDir.path()));
    SetLines(c.Lines);
    FDialogs.ClearShown();
    if (c.Answer != mrNone) FDialogs.Push(TDialogAnswer::Button(c.Answer));
    form.actRenameExecute();
    EXPECT_EQ(Texts(), c.Shown);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_FALSE(Bar()->isVisible());
  }
  // An empty file list.
  form.FileList().Clear();
  FDialogs.ClearShown();
  form.actRenameExecute();
  EXPECT_EQ(Texts(), QStringList{"FileList is Empty"});
}

TEST_F(RenamingTest, ALineThatNamesNoFileOrAnExistingOneLeavesItsFileAlone) {
  Files({"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"});
  ASSERT_TRUE(WriteMp3(Path("taken.mp3"), 10));
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  form.FileList().Clear();
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"})
    form.FileList().Add({{B(Path(name)), name, 417, {}}});
  // The file of the last line vanished before the rename.
  ASSERT_TRUE(QFile::remove(Path("f.mp3")));
  SetLines({"../up", "taken", "..", "ok", "OK", "gone"});
  Answer(mrYes, mrYes);
  form.actRenameExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 3);
  const QString report = FDialogs.Shown()[1].Text;
  EXPECT_EQ(FDialogs.Shown()[1].Type, mtWarning);
  EXPECT_TRUE(report.startsWith("4 file(s) kept their names:")) << report.toStdString();
  EXPECT_TRUE(report.contains("a.mp3: the name holds \"/\"")) << report.toStdString();
  EXPECT_TRUE(report.contains("b.mp3 -> taken.mp3: a file or folder of that name exists"));
  EXPECT_TRUE(report.contains("c.mp3: \".\" and \"..\" name no file"));
  EXPECT_TRUE(report.contains("f.mp3 -> gone.mp3: No such file or directory"));
  EXPECT_EQ(ReadNamed(B(Path("taken.mp3"))).size(), 10);  // never replaced
  EXPECT_FALSE(QFile::exists(Path("up.mp3")));
  EXPECT_FALSE(QFile::exists(FDir.filePath("../up.mp3")));
  EXPECT_TRUE(QFile::exists(Path("ok.mp3")));
  EXPECT_TRUE(QFile::exists(Path("OK.mp3")));
  // The reloaded list holds the same files, renamed or not.
  QStringList captions = Captions();
  captions.sort();
  EXPECT_EQ(captions, (QStringList{"OK.mp3", "a.mp3", "b.mp3", "c.mp3", "f.mp3", "ok.mp3"}));
  EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 6);
}

TEST_F(RenamingTest, NamesMadeFromTheFileNamesComeBackByteForByte) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QList<QByteArray> names = {"\xA4\xA4\xA4\xE5 1.MP3",  // Big5 中文
                                   "\xB0\xA1 \"2\".mp3",      // GBK 啊
                                   "\xE4\xB8\xAD 'x'.mp3",    // UTF-8 中
                                   "\xFF\xFE.mp3"};           // no text at all
  for (const QByteArray& name : names) WriteNamed(dir.Path(name));
  for (const char* page : {"950", "936", "1252"}) {
    SCOPED_TRACE(page);
    const TEnvScope codePage("MELOTAG_CODEPAGE", page);
    TMainForm& form = MakeForm();
    form.ScanFolder(dir.Path());
    form.actCreateByFilenameExecute();
    ASSERT_EQ(form.TitleList().LineCount(), 4);
    Answer(mrYes, mrNo);
    form.actRenameExecute();
    // Only the letter case of the extension changed.
    for (const QByteArray& name : names) {
      QByteArray renamed = name;
      renamed.replace(".MP3", ".mp3");
      EXPECT_TRUE(Exists(dir.Path(renamed))) << renamed.toHex().constData();
    }
    FDialogs.ClearShown();
    // Back to the first name for the next code page.
    ::rename(dir.Path("\xA4\xA4\xA4\xE5 1.mp3").constData(), dir.Path(names[0]).constData());
  }
  // A new title typed in: the name is the text in UTF-8.
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TMainForm& form = MakeForm();
  form.ScanFolder(dir.Path());
  form.actCreateByFilenameExecute();
  form.actItemNoExecute();
  Answer(mrYes, mrNo);
  form.actRenameExecute();
  const QStringList lines = form.TitleList().Lines();
  const auto numbered = std::find_if(lines.begin(), lines.end(),
                                     [](const QString& line) { return line.contains(U("中文")); });
  ASSERT_NE(numbered, lines.end());
  EXPECT_TRUE(numbered->startsWith("0"));
  EXPECT_TRUE(Exists(dir.Path(numbered->toUtf8() + ".mp3"))) << numbered->toStdString();
}

TEST_F(RenamingTest, TheAlbumTitleComesFromTheFirstFileTags) {
  Files({"1.mp3", "2.mp3"});
  TMainForm& form = MakeForm();
  const std::string first = B(Path("1.mp3")).toStdString();
  QLineEdit* edit = Get<QLineEdit>("edtAlbumTitle");
  edit->setText("before");
  form.ScanFolder(B(FDir.path()));
  form.SpeedButton5Click();  // no tags: unchanged
  EXPECT_EQ(edit->text(), "before");
  TID3v1 v1;
  v1.SetArtist("A");
  v1.SetAlbum("B");
  ASSERT_TRUE(v1.WriteToFile(first));
  form.SpeedButton5Click();
  EXPECT_EQ(edit->text(), U("【A】B"));
  EXPECT_EQ(edit->cursorPosition(), 0) << "a long title shows from its start";
  TID3v2 v2;
  v2.SetArtist("C");
  v2.SetAlbum("D");
  ASSERT_TRUE(v2.WriteToFile(first));
  form.SpeedButton5Click();
  EXPECT_EQ(edit->text(), U("【C】D"));
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
}

TEST_F(RenamingTest, TheFolderIsRenamedAndTheTreeFollows) {
  Files({"music/Old Name/a.mp3", "music/Old Name/b.mp3"});
  ASSERT_TRUE(QDir().mkpath(Path("music/taken")));
  TMainForm& form = MakeForm();
  const QByteArray old = B(Path("music/Old Name"));
  ASSERT_TRUE(form.FolderTree().Navigate(old));
  form.ScanFolder(old);
  QLineEdit* edit = Get<QLineEdit>("edtAlbumTitle");

  // Nothing typed: a message, and the edit gets the focus.
  form.show();
  QApplication::setActiveWindow(&form);
  edit->clear();
  form.actRenameDirExecute();
  EXPECT_EQ(Texts(), QStringList{"Please Input New Folder Name"});
  EXPECT_TRUE(WaitFor([edit] { return edit->hasFocus(); }));

  // A name that already exists: the reason, and the old folder listed again.
  FDialogs.ClearShown();
  edit->setText("taken");
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actRenameDirExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "Are you sure want to rename [" + Path("music/Old Name") +
                                          "] folder as [" + Path("music/taken") + "] ?");
  EXPECT_EQ(FDialogs.Shown()[1].Text, "The folder \"" + Path("music/Old Name") +
                                          "\" cannot be renamed to \"" + Path("music/taken") +
                                          "\": a file or folder of that name exists.");
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));
  EXPECT_EQ(form.FolderTree().Folder(), old);

  // A name with "/" never leaves the folder's parent.
  FDialogs.ClearShown();
  edit->setText("../../x");
  form.actRenameDirExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_TRUE(FDialogs.Shown()[0].Text.endsWith("the name holds \"/\"."));
  EXPECT_TRUE(QDir(Path("music/Old Name")).exists());

  // No: nothing happens.
  FDialogs.ClearShown();
  edit->setText(U("【A】B"));
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  form.actRenameDirExecute();
  EXPECT_TRUE(QDir(Path("music/Old Name")).exists());
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));

  // Yes: renamed, the tree shows and selects it, the list shows its files.
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actRenameDirExecute();
  const QByteArray renamed = B(Path(U("music/【A】B")));
  EXPECT_TRUE(QDir(Path(U("music/【A】B"))).exists());
  EXPECT_FALSE(QDir(Path("music/Old Name")).exists());
  EXPECT_EQ(form.FolderTree().Folder(), renamed);
  EXPECT_EQ(Paths(), (QStringList{Path(U("music/【A】B/a.mp3")), Path(U("music/【A】B/b.mp3"))}));
  EXPECT_EQ(form.FileList().CurrentFolder, renamed);
}

TEST_F(RenamingTest, AFolderThatCannotBeRenamedIsListedAgain) {
  TMainForm& form = MakeForm();
  QLineEdit* edit = Get<QLineEdit>("edtAlbumTitle");
  // A folder directly below "/" has no parent to keep the new name in.
  form.FileList().Add({{"/melotag-no-such-folder/a.mp3", "a.mp3", 1, {}}});
  edit->setText("New");
  form.actRenameDirExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text,
            "The folder \"/melotag-no-such-folder\" is not renamed: it has no parent folder to "
            "keep its new name in.");
  EXPECT_EQ(form.FileList().Count(), 1);

  // A Big5 folder and a name too long for the file system.
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray big5 = dir.Path("\xA4\xA4\xA4\xE5");
  ASSERT_EQ(::mkdir(big5.constData(), 0755), 0);
  WriteNamed(big5 + "/a.mp3");
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  form.FileList().Clear();
  form.ScanFolder(big5);
  FDialogs.ClearShown();
  edit->setText(QString(300, 'x'));
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actRenameDirExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_TRUE(FDialogs.Shown()[1].Text.endsWith(": File name too long."))
      << FDialogs.Shown()[1].Text.toStdString();
  EXPECT_TRUE(FDialogs.Shown()[1].Text.contains(U("中文")));
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), big5 + "/a.mp3");

  // Renamed to a UTF-8 name; the tree holds the new folder.
  edit->setText(U("新"));
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actRenameDirExecute();
  EXPECT_FALSE(Exists(big5));
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), dir.Path("\xE6\x96\xB0/a.mp3"));
  EXPECT_EQ(form.FolderTree().Folder(), dir.Path("\xE6\x96\xB0"));
}
