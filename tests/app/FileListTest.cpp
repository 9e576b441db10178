// The file list: every way files enter and leave it, its order, its totals, the questions asked
// and the commands on one listed file.
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "VornMultiDD.h"

namespace {

const QString kDropQuestion = QString::fromUtf8("檔案列表已經開啟，是否開新專案？");

class FileListTest : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    FLocale = QLocale();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void TearDown() override {
    MainFormTest::TearDown();
    QLocale::setDefault(FLocale);
  }
  QString Panel(int i) const { return FForm->StatusBar1->PanelText(i); }
  QLocale FLocale;
};

}  // namespace

TEST_F(FileListTest, ScanListsTheFolderMp3FilesSortedWithTotals) {
  Files({"b.mp3", "A.MP3", "c.Mp3"}, 10485760 / 4);
  Files({"notes.txt", "sub/inner.mp3"}, 100);
  QDir().mkpath(Path("folder.mp3"));
  ASSERT_TRUE(WriteMp3(Path(".hidden.mp3"), 10485760 / 4));
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  EXPECT_EQ(Captions(), (QStringList{".hidden.mp3", "A.MP3", "b.mp3", "c.Mp3"}));
  EXPECT_EQ(Paths()[1], Path("A.MP3"));
  EXPECT_EQ(form.CurrentFolder, FDir.path());
  EXPECT_EQ(form.TotalSize, 10485760);
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A4 Files"));
  EXPECT_EQ(Panel(1), "Size10.0 MB ");
  EXPECT_EQ(form.lvIniFileList->topLevelItem(0)->icon(0).cacheKey(),
            TMainForm::ImageList1(0).cacheKey());
}

TEST_F(FileListTest, TotalsOfAnEmptyListAndOfAnEmptyScan) {
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A0 Files"));
  EXPECT_EQ(Panel(1), "Size0 MB ");
  // An empty folder path changes nothing, not even the totals.
  form.StatusBar1->SetPanelText(0, "before");
  form.ScanFolder("");
  EXPECT_EQ(Panel(0), "before");
  EXPECT_EQ(form.CurrentFolder, FDir.path());
}

TEST_F(FileListTest, TotalSizeCountsPastFourGigabytes) {
  TMainForm& form = MakeForm();
  // Sparse files: large on paper, nothing on disk.
  const qint64 big = qint64(3) * 1024 * 1024 * 1024;
  for (const char* name : {"big1.mp3", "big2.mp3"}) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(big));
  }
  form.ScanFolder(FDir.path());
  EXPECT_EQ(form.TotalSize, 2 * big);
  EXPECT_EQ(Panel(1), "Size6,144.0 MB ");  // the locale's separators
  Select({0});
  form.actRemoveFiles->trigger();
  EXPECT_EQ(form.TotalSize, big);
  EXPECT_EQ(Panel(1), "Size3,072.0 MB ");
}

TEST_F(FileListTest, JoiningNeverDoublesTheSeparator) {
  const struct {
    const char *Folder, *Name, *Path;
  } cases[] = {{"/", "song.mp3", "/song.mp3"},
               {"/music", "song.mp3", "/music/song.mp3"},
               {"/music/", "song.mp3", "/music/song.mp3"}};
  for (const auto& c : cases) EXPECT_EQ(TMainForm::JoinPath(c.Folder, c.Name), c.Path);
  Files({"song.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path() + "/");
  EXPECT_EQ(Paths(), QStringList{Path("song.mp3")});
}

TEST_F(FileListTest, OrderIsLocaleAwareAndCaseSensitiveAndPairsWithTitleLines) {
  TMainForm& form = MakeForm();
  // Added b first, then a: a comes first.
  FDialogs.Push(TDialogAnswer::Paths({Path("b.mp3")}));
  form.actAddFiles->trigger();
  FDialogs.Push(TDialogAnswer::Paths({Path("a.mp3")}));
  form.actAddFiles->trigger();
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));
  FDialogs.Push(TDialogAnswer::Paths({Path("B.mp3"), Path("A.mp3"), Path("c.mp3"), Path("b.mp3")}));
  form.actAddFiles->trigger();
  // Letters before their capitals, both before the next letter; duplicates stay.
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "A.mp3", "b.mp3", "b.mp3", "B.mp3", "c.mp3"}));
  for (int i = 0; i < form.FileCount(); ++i)
    EXPECT_EQ(QFileInfo(form.FilePath(i)).fileName(), form.FileCaption(i));
}

TEST_F(FileListTest, OpenFolderAsksBeforeReplacingTheList) {
  Files({"one/a.mp3", "one/b.mp3", "two/c.mp3"}, 1024 * 1024);
  TMainForm& form = MakeForm();
  // Empty list: no question.
  FDialogs.Push(TDialogAnswer::Text(Path("one")));
  form.actOpenFolder->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Kind, TDialogKind::SelectFolder);
  EXPECT_EQ(FDialogs.Shown()[0].Caption, "SelectDirectory");
  EXPECT_TRUE(FDialogs.Shown()[0].InitialDir.isEmpty());
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));

  const struct {
    int Answer;
    bool Choose;
    QStringList Captions;
    const char* Size;
  } cases[] = {
      {mrNo, true, {"a.mp3", "b.mp3", "c.mp3"}, "Size3.0 MB "},  // appended, all counted
      {mrYes, true, {"c.mp3"}, "Size1.0 MB "},
      {mrNo, false, {"a.mp3", "b.mp3"}, "Size2.0 MB "},  // cancelled: as before
      {mrYes, false, {}, "Size0 MB "},                   // cleared, then cancelled
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Answer);
    form.lvIniFileList->clear();
    form.TotalSize = 0;
    form.ScanFolder(Path("one"));
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Button(c.Answer));
    FDialogs.Push(c.Choose ? TDialogAnswer::Text(Path("two")) : TDialogAnswer::Cancel());
    form.actOpenFolder->trigger();
    ASSERT_EQ(FDialogs.Shown().size(), 2);
    EXPECT_EQ(FDialogs.Shown()[0].Text, "FIleList exists, Create New Project?");
    EXPECT_EQ(FDialogs.Shown()[0].Type, mtConfirmation);
    EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
    EXPECT_EQ(Captions(), c.Captions);
    EXPECT_EQ(Panel(1), c.Size);
    EXPECT_EQ(form.CurrentFolder, c.Choose ? Path("two") : Path("one"));
  }
}

TEST_F(FileListTest, AddFilesStartsInTheSelectedFilesFolder) {
  Files({"x/a.mp3"}, 2 * 1024 * 1024);
  TMainForm& form = MakeForm();
  FDialogs.Push(TDialogAnswer::Paths({Path("x/a.mp3")}));
  form.actAddFiles->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Filter, "mp3 files (*.mp3)|*.mp3");
  EXPECT_TRUE(FDialogs.Shown()[0].MultiSelect);
  EXPECT_TRUE(FDialogs.Shown()[0].InitialDir.isEmpty());
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A1 Files"));
  EXPECT_EQ(Panel(1), "Size2.0 MB ");
  Select({0});
  form.actAddFiles->trigger();  // cancelled
  EXPECT_EQ(FDialogs.Shown()[1].InitialDir, Path("x"));
  EXPECT_EQ(form.FileCount(), 1);
}

TEST_F(FileListTest, DropListsFilesAndFoldersAndAsksWhenTheListIsNotEmpty) {
  Files({"d/one.mp3", "d/two.mp3", "d/other.mp3", "e/three.mp3"}, 1024 * 1024);
  Files({"d/clip.wav"});
  TMainForm& form = MakeForm();
  form.DropFiles({Path("d/one.mp3"), Path("d/clip.wav"), Path("d/two.mp3")});
  EXPECT_TRUE(FDialogs.Shown().isEmpty());  // empty list: no question, .wav: no message
  EXPECT_EQ(Captions(), (QStringList{"one.mp3", "two.mp3"}));
  EXPECT_EQ(Panel(1), "Size2.0 MB ");  // the dropped files, not the whole folder
  EXPECT_EQ(form.TreeFolder(), Path("d"));

  // A folder: its MP3 files; the tree and the current folder move there.
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  form.DropFiles({Path("e")});
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, kDropQuestion);
  EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
  EXPECT_EQ(Captions(), (QStringList{"one.mp3", "three.mp3", "two.mp3"}));
  EXPECT_EQ(form.CurrentFolder, Path("e"));
  EXPECT_EQ(form.TreeFolder(), Path("e"));
  EXPECT_EQ(Panel(1), "Size3.0 MB ");

  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.DropFiles({Path("d/other.mp3")});
  EXPECT_EQ(Captions(), QStringList{"other.mp3"});
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A1 Files"));
}

TEST_F(FileListTest, DropEventOfTheDesktopReachesTheList) {
  Files({"a.mp3", "b.mp3"});
  TMainForm& form = MakeForm();
  form.show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Path("a.mp3")), QUrl::fromLocalFile(Path("b.mp3")),
                QUrl("https://example.com/c.mp3")});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &drop);
  EXPECT_TRUE(WaitFor([&] { return form.FileCount() == 2; }));
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));

  // Dropped on the title list, the files still go to the file list, not into the text.
  form.lvIniFileList->clear();
  QWidget* memo = form.Memo1->viewport();
  QDragEnterEvent enterMemo(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(memo, &enterMemo);
  EXPECT_TRUE(enterMemo.isAccepted());
  QDropEvent dropMemo(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(memo, &dropMemo);
  EXPECT_TRUE(WaitFor([&] { return form.FileCount() == 2; }));
  EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
}

TEST_F(FileListTest, DropOfThousandsOfFiles) {
  QStringList names;
  for (int i = 0; i < 3000; ++i) names << QString("many/%1.mp3").arg(i, 4, 10, QChar('0'));
  Files(names, 10);
  TMainForm& form = MakeForm();
  QStringList paths;
  for (const QString& name : names) paths << Path(name);
  std::reverse(paths.begin(), paths.end());
  form.DropFiles(paths);
  ASSERT_EQ(form.FileCount(), 3000);
  EXPECT_EQ(form.FileCaption(0), "0000.mp3");
  EXPECT_EQ(form.FileCaption(2999), "2999.mp3");
  EXPECT_EQ(form.TotalSize, 30000);
}

TEST_F(FileListTest, RemoveTakesTheSelectedItemsAndTheirSizes) {
  Files({"a.mp3", "b.mp3", "c.mp3"}, 1024 * 1024);
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  form.actRemoveFiles->trigger();  // nothing selected
  EXPECT_EQ(form.FileCount(), 3);
  Select({0, 2});
  QFile::remove(Path("c.mp3"));  // vanished since the scan: its size still leaves the total
  form.actRemoveFiles->trigger();
  EXPECT_EQ(Captions(), QStringList{"b.mp3"});
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A1 Files"));
  EXPECT_EQ(Panel(1), "Size1.0 MB ");
  EXPECT_TRUE(QFile::exists(Path("a.mp3")));  // the files stay on disk
  Select({0});
  form.actRemoveFiles->trigger();
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A0 Files"));
  EXPECT_EQ(Panel(1), "Size0 MB ");
}

TEST_F(FileListTest, ClearAsksAndOnlyYesClears) {
  Files({"a.mp3", "b.mp3"});
  TMainForm& form = MakeForm();
  form.actClearFileListExecute();  // empty: no question
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
  form.ScanFolder(FDir.path());
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  form.actClearFileListExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "Are you sure want to clear FileList ?");
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtConfirmation);
  EXPECT_EQ(form.FileCount(), 2);
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actClearFileListExecute();
  EXPECT_EQ(form.FileCount(), 0);
  EXPECT_EQ(Panel(1), "Size0 MB ");
  EXPECT_TRUE(QFile::exists(Path("a.mp3")));
}

TEST_F(FileListTest, TreeClickReplacesTheListWithoutAskingAndResetsTheBatchPage) {
  Files({"t/a.mp3", "u/b.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(Path("u"));
  form.cbxArtist->setChecked(true);
  form.edtArtist->setText("Somebody");
  form.cbxTitle->setChecked(true);
  form.PageControl1->setCurrentIndex(2);
  ASSERT_TRUE(form.NavigateTree(Path("t")));
  form.ShellTreeView1Click();
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
  EXPECT_EQ(Captions(), QStringList{"a.mp3"});
  EXPECT_FALSE(form.cbxArtist->isChecked());
  EXPECT_FALSE(form.cbxTitle->isChecked());
  EXPECT_TRUE(form.edtArtist->text().isEmpty());
  EXPECT_EQ(form.PageControl1->currentIndex(), 0);
  EXPECT_EQ(form.CurrentFolder, Path("t"));
}

TEST_F(FileListTest, RefreshShowsNewFolders) {
  QDir().mkpath(Path("tree/old"));
  TMainForm& form = MakeForm();
  ASSERT_TRUE(form.NavigateTree(Path("tree")));
  auto rows = [&] {
    QFileSystemModel* model = form.FolderModel();
    const QModelIndex index = model->index(Path("tree"));
    if (model->canFetchMore(index)) model->fetchMore(index);
    return model->rowCount(index);
  };
  ASSERT_TRUE(WaitFor([&] { return rows() == 1; }));
  QDir().mkpath(Path("tree/new"));
  form.actRefresh->trigger();
  EXPECT_TRUE(WaitFor([&] { return rows() == 2; }));
  EXPECT_EQ(form.TreeFolder(), Path("tree"));
}

TEST_F(FileListTest, PlayOpensTheSelectedFileWithTheDesktop) {
  Files({"a.mp3", "b.mp3"});
  TUrlRecorder desktop;
  TMainForm& form = MakeForm();
  form.actPlayExecute();  // empty list
  form.ScanFolder(FDir.path());
  form.actPlayExecute();  // nothing selected
  EXPECT_TRUE(desktop.Opened.isEmpty());
  Select({1});
  form.Play1->trigger();
  form.lvIniFileListDblClick();
  EXPECT_EQ(desktop.Opened,
            (QList<QUrl>{QUrl::fromLocalFile(Path("b.mp3")), QUrl::fromLocalFile(Path("b.mp3"))}));
  QFile::remove(Path("b.mp3"));
  form.actPlayExecute();
  EXPECT_EQ(desktop.Opened.size(), 2);
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_TRUE(FDialogs.Shown()[0].Text.contains(Path("b.mp3")));
}

TEST_F(FileListTest, PropertiesShowPathSizeAndPermissions) {
  Files({"a.mp3"}, 1234);
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  Select({0});
  form.GetFileProperties1->trigger();
  auto* dialog = form.findChild<QDialog*>("FilePropertiesDialog");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->findChild<QLabel*>("lblName")->text(), "a.mp3");
  EXPECT_EQ(dialog->findChild<QLabel*>("lblFolder")->text(), FDir.path());
  EXPECT_TRUE(dialog->findChild<QLabel*>("lblSize")->text().contains("1,234 bytes"));
  EXPECT_TRUE(dialog->findChild<QLabel*>("lblPermissions")->text().startsWith("rw"));
  delete dialog;
  QFile::remove(Path("a.mp3"));
  form.actGetFilePropertiesExecute();
  dialog = form.findChild<QDialog*>("FilePropertiesDialog");
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(dialog->findChild<QLabel*>("lblMissing"), nullptr);
}

TEST_F(FileListTest, CommandLineFilesEnterTheTitleListAndTheFileList) {
  Files({"My Song.mp3", "clip.wav", "b.MP3"});
  const QString relative = QDir::current().relativeFilePath(Path("b.MP3"));
  TMainForm& form = MakeForm({"Melotag", Path("My Song.mp3"), Path("clip.wav"), Path("missing.mp3"),
                              FDir.path(), relative});
  EXPECT_EQ(Captions(), (QStringList{"b.MP3", "My Song.mp3"}));
  EXPECT_EQ(Paths()[0], Path("b.MP3"));  // made absolute
  EXPECT_EQ(form.Memo1->toPlainText(),
            QStringList({Path("My Song.mp3"), Path("clip.wav"), relative}).join('\n'));
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Kind, TDialogKind::ShowMessage);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "This program does not Support .WAV Format!");
}

TEST_F(FileListTest, HandedOverTextAddsOneFile) {
  const QString own = QCoreApplication::applicationFilePath();
  const struct {
    QString Text;
    QString Caption;  // empty: ignored
  } cases[] = {
      {own + " /music/My Song.mp3", "My Song.mp3"},
      {own + " /music/a.mp3 \r\n", "a.mp3"},
      {"C:\\Program Files\\MELOTAG.EXE /music/b.MP3", "b.MP3"},
      {"/elsewhere/Melotag /music/c.mp3", "c.mp3"},
      {own, ""},
      {own + " /music/clip.wav", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    TMainForm& form = MakeForm();
    form.AddHandedOverFile(c.Text);
    SCOPED_TRACE(c.Text.toStdString());
    if (c.Caption.isEmpty()) {
      EXPECT_EQ(form.FileCount(), 0);
    } else {
      ASSERT_EQ(form.FileCount(), 1);
      EXPECT_EQ(form.FileCaption(0), c.Caption);
      EXPECT_TRUE(form.FilePath(0).endsWith("/music/" + c.Caption));
    }
  }
}

TEST_F(FileListTest, CheckFileListSaysWhenTheListIsEmpty) {
  Files({"a.mp3"});
  TMainForm& form = MakeForm();
  EXPECT_FALSE(form.CheckFileList());
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "FileList is Empty");
  EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbOK));
  form.ScanFolder(FDir.path());
  EXPECT_TRUE(form.CheckFileList());
  EXPECT_EQ(FDialogs.Shown().size(), 1);
}

TEST_F(FileListTest, OddFileNames) {
  Files({"with blank.mp3", "quote\"s.mp3", "it's.mp3", "new\nline.mp3", "\xE6\xAD\x8C.mp3"});
  // A name that is not UTF-8 cannot be named through Qt: it is left out.
  const QByteArray bad = QFile::encodeName(FDir.path()) + "/bad\xFF.mp3";
  const int fd = ::open(bad.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  EXPECT_EQ(form.FileCount(), 5);
  for (const QString& path : Paths()) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
  ::unlink(bad.constData());  // Qt cannot remove it either
}

TEST_F(FileListTest, ArchiveBoxMakesListedFilesWritable) {
  Files({"ro.mp3"});
  QFile::setPermissions(Path("ro.mp3"), QFile::ReadOwner | QFile::ReadGroup);
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  EXPECT_FALSE(QFile::permissions(Path("ro.mp3")).testFlag(QFile::WriteOwner));
  form.cbxFILE_ATTRIBUTE_ARCHIVE->setChecked(true);
  form.ScanFolder(FDir.path());
  EXPECT_EQ(QFile::permissions(Path("ro.mp3")) &
                (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

TEST_F(FileListTest, UnreadableFolderGivesAnEmptyScan) {
  Files({"locked/a.mp3"});
  QFile::setPermissions(Path("locked"), QFile::Permissions());
  TMainForm& form = MakeForm();
  form.ScanFolder(Path("locked"));  // as root the folder is readable all the same
  EXPECT_LE(form.FileCount(), 1);
  QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  form.ScanFolder(Path("no such folder"));
  EXPECT_EQ(form.CurrentFolder, Path("no such folder"));
}

TEST_F(FileListTest, QuestionsGoThroughTheMessageBoxAndItsErrorsEndTheCommand) {
  Files({"a.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(FDir.path());
  // A dictionary whose file cannot be read: the look-up fails, the command ends with the error.
  TVornMultiFileDD dictionary;
  dictionary.SetDDName("AppTestDD");
  dictionary.SetDDReaderID("VornTextCSV");
  dictionary.SetFileName(Path("missing.lng"));
  form.VornMsgBox1->SetDDName("AppTestDD");
  form.actClearFileList->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtError);
  EXPECT_EQ(form.FileCount(), 1);  // the question was never answered
}
