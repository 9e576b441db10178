// The file list: every way files enter and leave it, its order, its totals, the questions asked
// and the commands on one listed file.
#include <QCheckBox>
#include <QCollator>
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
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "ByteTempDir.h"
#include "EnvScope.h"
#include "FileNames.h"
#include "FolderModel.h"
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
  QString Panel(int i) const { return FForm->findChild<TStatusBar*>("StatusBar1")->PanelText(i); }
  QLocale FLocale;
};

}  // namespace

TEST_F(FileListTest, ScanListsTheFolderMp3FilesSortedWithTotals) {
  Files({"b.mp3", "A.MP3", "c.Mp3"}, 10485760 / 4);
  Files({"notes.txt", "sub/inner.mp3"}, 100);
  QDir().mkpath(Path("folder.mp3"));
  ASSERT_TRUE(WriteMp3(Path(".hidden.mp3"), 10485760 / 4));
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  EXPECT_EQ(Captions(), (QStringList{".hidden.mp3", "A.MP3", "b.mp3", "c.Mp3"}));
  EXPECT_EQ(Paths()[1], Path("A.MP3"));
  EXPECT_EQ(form.FileList().CurrentFolder, B(FDir.path()));
  EXPECT_EQ(form.FileList().TotalSize(), 10485760);
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A4 Files"));
  EXPECT_EQ(Panel(1), "Size10.0 MB ");
  EXPECT_EQ(form.findChild<QTreeWidget*>("lvIniFileList")->topLevelItem(0)->icon(0).cacheKey(),
            TMainForm::ImageList1(0).cacheKey());
}

TEST_F(FileListTest, TotalsOfAnEmptyListAndOfAnEmptyScan) {
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A0 Files"));
  EXPECT_EQ(Panel(1), "Size0 MB ");
  // An empty folder path changes nothing, not even the totals.
  form.findChild<TStatusBar*>("StatusBar1")->SetPanelText(0, "before");
  form.ScanFolder(QByteArray());
  EXPECT_EQ(Panel(0), "before");
  EXPECT_EQ(form.FileList().CurrentFolder, B(FDir.path()));
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
  form.ScanFolder(B(FDir.path()));
  EXPECT_EQ(form.FileList().TotalSize(), 2 * big);
  EXPECT_EQ(Panel(1), "Size6,144.0 MB ");  // the locale's separators
  Select({0});
  form.findChild<QAction*>("actRemoveFiles")->trigger();
  EXPECT_EQ(form.FileList().TotalSize(), big);
  EXPECT_EQ(Panel(1), "Size3,072.0 MB ");
}

TEST_F(FileListTest, JoiningNeverDoublesTheSeparator) {
  const struct {
    const char *Folder, *Name, *Path;
  } cases[] = {{"/", "song.mp3", "/song.mp3"},
               {"/music", "song.mp3", "/music/song.mp3"},
               {"/music/", "song.mp3", "/music/song.mp3"}};
  for (const auto& c : cases) EXPECT_EQ(melotag::editor::JoinPath(c.Folder, c.Name), c.Path);
  Files({"song.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path() + "/"));
  EXPECT_EQ(Paths(), QStringList{Path("song.mp3")});
}

TEST_F(FileListTest, OrderIsLocaleAwareAndCaseSensitiveAndPairsWithTitleLines) {
  TMainForm& form = MakeForm();
  // Added b first, then a: a comes first.
  FDialogs.Push(TDialogAnswer::Paths({Path("b.mp3")}));
  form.findChild<QAction*>("actAddFiles")->trigger();
  FDialogs.Push(TDialogAnswer::Paths({Path("a.mp3")}));
  form.findChild<QAction*>("actAddFiles")->trigger();
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));
  FDialogs.Push(TDialogAnswer::Paths({Path("B.mp3"), Path("A.mp3"), Path("c.mp3"), Path("b.mp3")}));
  form.findChild<QAction*>("actAddFiles")->trigger();
  // Letters before their capitals, both before the next letter; duplicates stay.
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "A.mp3", "b.mp3", "b.mp3", "B.mp3", "c.mp3"}));
  for (int i = 0; i < form.FileList().Count(); ++i)
    EXPECT_EQ(QFileInfo(form.FileList().Path(i)).fileName(), form.FileList().Caption(i));
}

TEST_F(FileListTest, OpenFolderAsksBeforeReplacingTheList) {
  Files({"one/a.mp3", "one/b.mp3", "two/c.mp3"}, 1024 * 1024);
  TMainForm& form = MakeForm();
  // Empty list: no question.
  FDialogs.Push(TDialogAnswer::Text(Path("one")));
  form.findChild<QAction*>("actOpenFolder")->trigger();
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
    form.FileList().Clear();
    form.ScanFolder(B(Path("one")));
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Button(c.Answer));
    FDialogs.Push(c.Choose ? TDialogAnswer::Text(Path("two")) : TDialogAnswer::Cancel());
    form.findChild<QAction*>("actOpenFolder")->trigger();
    ASSERT_EQ(FDialogs.Shown().size(), 2);
    EXPECT_EQ(FDialogs.Shown()[0].Text, "FIleList exists, Create New Project?");
    EXPECT_EQ(FDialogs.Shown()[0].Type, mtConfirmation);
    EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
    EXPECT_EQ(Captions(), c.Captions);
    EXPECT_EQ(Panel(1), c.Size);
    EXPECT_EQ(form.FileList().CurrentFolder, B(c.Choose ? Path("two") : Path("one")));
  }
}

TEST_F(FileListTest, AddFilesStartsInTheSelectedFilesFolder) {
  Files({"x/a.mp3"}, 2 * 1024 * 1024);
  TMainForm& form = MakeForm();
  FDialogs.Push(TDialogAnswer::Paths({Path("x/a.mp3")}));
  form.findChild<QAction*>("actAddFiles")->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Filter, "mp3 files (*.mp3)|*.mp3");
  EXPECT_TRUE(FDialogs.Shown()[0].MultiSelect);
  EXPECT_TRUE(FDialogs.Shown()[0].InitialDir.isEmpty());
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A1 Files"));
  EXPECT_EQ(Panel(1), "Size2.0 MB ");
  Select({0});
  form.findChild<QAction*>("actAddFiles")->trigger();  // cancelled
  EXPECT_EQ(FDialogs.Shown()[1].InitialDir, Path("x"));
  EXPECT_EQ(form.FileList().Count(), 1);
}

TEST_F(FileListTest, DropListsFilesAndFoldersAndAsksWhenTheListIsNotEmpty) {
  Files({"d/one.mp3", "d/two.mp3", "d/other.mp3", "e/three.mp3"}, 1024 * 1024);
  Files({"d/clip.wav"});
  TMainForm& form = MakeForm();
  form.FileList().Drop(B(QStringList{Path("d/one.mp3"), Path("d/clip.wav"), Path("d/two.mp3")}));
  EXPECT_TRUE(FDialogs.Shown().isEmpty());  // empty list: no question, .wav: no message
  EXPECT_EQ(Captions(), (QStringList{"one.mp3", "two.mp3"}));
  EXPECT_EQ(Panel(1), "Size2.0 MB ");  // the dropped files, not the whole folder
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("d")));

  // A folder: its MP3 files; the tree and the current folder move there.
  Select({1});
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  form.FileList().Drop(B(QStringList{Path("e")}));
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, kDropQuestion);
  EXPECT_EQ(FDialogs.Shown()[0].Buttons, Btn(mbYes) | Btn(mbNo));
  EXPECT_EQ(Captions(), (QStringList{"one.mp3", "three.mp3", "two.mp3"}));
  // The new file's item goes among the others, which stay as they were, two.mp3 selected.
  const QTreeWidget* tree = form.findChild<QTreeWidget*>("lvIniFileList");
  QStringList shown;
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    shown << tree->topLevelItem(i)->text(0) + " " + tree->topLevelItem(i)->text(1);
  EXPECT_EQ(shown, (QStringList{"one.mp3 " + Path("d/one.mp3"), "three.mp3 " + Path("e/three.mp3"),
                                "two.mp3 " + Path("d/two.mp3")}));
  EXPECT_EQ(form.FileList().SelectedIndex(), 2);
  EXPECT_EQ(form.FileList().CurrentFolder, B(Path("e")));
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("e")));
  EXPECT_EQ(Panel(1), "Size3.0 MB ");

  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.FileList().Drop(B(QStringList{Path("d/other.mp3")}));
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
  EXPECT_TRUE(WaitFor([&] { return form.FileList().Count() == 2; }));
  EXPECT_EQ(Captions(), (QStringList{"a.mp3", "b.mp3"}));

  // Dropped on the title list, the files still go to the file list, not into the text.
  form.FileList().Clear();
  QWidget* memo = form.findChild<QPlainTextEdit*>("Memo1")->viewport();
  QDragEnterEvent enterMemo(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(memo, &enterMemo);
  EXPECT_TRUE(enterMemo.isAccepted());
  QDropEvent dropMemo(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(memo, &dropMemo);
  EXPECT_TRUE(WaitFor([&] { return form.FileList().Count() == 2; }));
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().isEmpty());
}

TEST_F(FileListTest, DropOfThousandsOfFiles) {
  QStringList names;
  for (int i = 0; i < 3000; ++i) names << QString("many/%1.mp3").arg(i, 4, 10, QChar('0'));
  Files(names, 10);
  TMainForm& form = MakeForm();
  QStringList paths;
  for (const QString& name : names) paths << Path(name);
  std::reverse(paths.begin(), paths.end());
  form.FileList().Drop(B(paths));
  ASSERT_EQ(form.FileList().Count(), 3000);
  EXPECT_EQ(form.FileList().Caption(0), "0000.mp3");
  EXPECT_EQ(form.FileList().Caption(2999), "2999.mp3");
  EXPECT_EQ(form.FileList().TotalSize(), 30000);
}

TEST_F(FileListTest, RemoveTakesTheSelectedItemsAndTheirSizes) {
  Files({"a.mp3", "b.mp3", "c.mp3"}, 1024 * 1024);
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  form.findChild<QAction*>("actRemoveFiles")->trigger();  // nothing selected
  EXPECT_EQ(form.FileList().Count(), 3);
  Select({0, 2});
  QFile::remove(Path("c.mp3"));  // vanished since the scan: its size still leaves the total
  form.findChild<QAction*>("actRemoveFiles")->trigger();
  EXPECT_EQ(Captions(), QStringList{"b.mp3"});
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A1 Files"));
  EXPECT_EQ(Panel(1), "Size1.0 MB ");
  EXPECT_TRUE(QFile::exists(Path("a.mp3")));  // the files stay on disk
  Select({0});
  form.findChild<QAction*>("actRemoveFiles")->trigger();
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A0 Files"));
  EXPECT_EQ(Panel(1), "Size0 MB ");
}

TEST_F(FileListTest, ClearAsksAndOnlyYesClears) {
  Files({"a.mp3", "b.mp3"});
  TMainForm& form = MakeForm();
  form.actClearFileListExecute();  // empty: no question
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
  form.ScanFolder(B(FDir.path()));
  FDialogs.Push(TDialogAnswer::Button(mrNo));
  form.actClearFileListExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "Are you sure want to clear FileList ?");
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtConfirmation);
  EXPECT_EQ(form.FileList().Count(), 2);
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  form.actClearFileListExecute();
  EXPECT_EQ(form.FileList().Count(), 0);
  EXPECT_EQ(Panel(1), "Size0 MB ");
  EXPECT_TRUE(QFile::exists(Path("a.mp3")));
}

TEST_F(FileListTest, TreeClickReplacesTheListWithoutAskingAndResetsTheBatchPage) {
  Files({"t/a.mp3", "u/b.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(Path("u")));
  form.findChild<QCheckBox*>("cbxArtist")->setChecked(true);
  form.findChild<QLineEdit*>("edtArtist")->setText("Somebody");
  form.findChild<QCheckBox*>("cbxTitle")->setChecked(true);
  form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(2);
  ASSERT_TRUE(form.FolderTree().Navigate(B(Path("t"))));
  form.ShellTreeView1Click();
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
  EXPECT_EQ(Captions(), QStringList{"a.mp3"});
  EXPECT_FALSE(form.findChild<QCheckBox*>("cbxArtist")->isChecked());
  EXPECT_FALSE(form.findChild<QCheckBox*>("cbxTitle")->isChecked());
  EXPECT_TRUE(form.findChild<QLineEdit*>("edtArtist")->text().isEmpty());
  EXPECT_EQ(form.findChild<QTabWidget*>("PageControl1")->currentIndex(), 0);
  EXPECT_EQ(form.FileList().CurrentFolder, B(Path("t")));
}

TEST_F(FileListTest, RefreshShowsNewFoldersAndKeepsTheCurrentOneOpen) {
  QDir().mkpath(Path("tree/old/deeper"));
  QDir().mkpath(Path("tree/gone"));
  TMainForm& form = MakeForm();
  ASSERT_TRUE(form.FolderTree().Navigate(B(Path("tree"))));
  auto* tree = Get<QTreeView>("ShellTreeView1");
  TFolderModel* model = form.FolderTree().Model();
  const QModelIndex old = model->Find(B(Path("tree/old")));
  tree->expand(old);
  model->fetchMore(old);  // as opening it on the screen does
  auto names = [&](const QModelIndex& parent) {
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row)
      names << model->index(row, 0, parent).data().toString();
    return names;
  };
  const QModelIndex current = tree->currentIndex();
  EXPECT_EQ(names(current), (QStringList{"gone", "old"}));
  QDir().mkpath(Path("tree/new"));
  QDir().rmdir(Path("tree/gone"));
  QDir().mkpath(Path("tree/old/deepest"));
  form.findChild<QAction*>("actRefresh")->trigger();
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("tree")));
  EXPECT_EQ(names(tree->currentIndex()), (QStringList{"new", "old"}));
  EXPECT_TRUE(tree->isExpanded(tree->currentIndex()));
  EXPECT_TRUE(tree->isExpanded(old));  // what was open stays open, with its new folders
  EXPECT_EQ(names(old), (QStringList{"deeper", "deepest"}));
  EXPECT_EQ(form.FileList().Count(), 0);  // the file list is not read again
}

TEST_F(FileListTest, KeyboardMovesInTheTreeListTheFolderOnce) {
  Files({"k/one/a.mp3", "k/two/b.mp3"});
  TMainForm& form = MakeForm();
  form.show();
  auto* tree = Get<QTreeView>("ShellTreeView1");
  ASSERT_TRUE(form.FolderTree().Navigate(B(Path("k/one"))));
  EXPECT_EQ(form.FileList().Count(), 0);  // moving the tree from the program lists nothing
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("k/two")));
  EXPECT_EQ(Captions(), QStringList{"b.mp3"});
  EXPECT_EQ(form.FileList().CurrentFolder, B(Path("k/two")));
  // A click on the current folder lists it again (new files show), once.
  Files({"k/two/c.mp3"});
  const QRect rect = tree->visualRect(tree->currentIndex());
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ(Captions(), (QStringList{"b.mp3", "c.mp3"}));
}

TEST_F(FileListTest, PlayOpensTheSelectedFileWithTheDesktop) {
  Files({"a.mp3", "b.mp3"});
  TUrlRecorder desktop;
  TMainForm& form = MakeForm();
  form.actPlayExecute();  // empty list
  form.ScanFolder(B(FDir.path()));
  form.actPlayExecute();  // nothing selected
  EXPECT_TRUE(desktop.Opened.isEmpty());
  Select({1});
  form.findChild<QAction*>("Play1")->trigger();
  form.lvIniFileListDblClick();
  EXPECT_EQ(desktop.Opened,
            (QList<QUrl>{QUrl::fromLocalFile(Path("b.mp3")), QUrl::fromLocalFile(Path("b.mp3"))}));
  QFile::remove(Path("b.mp3"));
  form.actPlayExecute();
  EXPECT_EQ(desktop.Opened.size(), 2);
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_TRUE(FDialogs.Shown()[0].Text.contains(Path("b.mp3")));
}

// A desktop without a program to open the file (no xdg-open on the PATH): Play says so.
TEST_F(FileListTest, PlayWithoutAProgramForTheFileSaysSo) {
  Files({"a.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  Select({0});
  const TEnvScope path("PATH", FDir.path().toStdString().c_str());
  form.actPlayExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_TRUE(FDialogs.Shown()[0].Text.contains("No program is set to play MP3 files"))
      << FDialogs.Shown()[0].Text.toStdString();
}

TEST_F(FileListTest, PropertiesShowPathSizeAndPermissions) {
  Files({"a.mp3"}, 1234);
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  Select({0});
  form.findChild<QAction*>("GetFileProperties1")->trigger();
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
  Files({"album/c.mp3", "album/A.mp3", "album/notes.txt", "album/sub/d.mp3"}, 1024 * 1024);
  const QString relative = QDir::current().relativeFilePath(Path("b.MP3"));
  const QString relativeFolder = QDir::current().relativeFilePath(Path("album"));
  TMainForm& form = MakeForm({"Melotag", Path("My Song.mp3"), Path("clip.wav"), Path("missing.mp3"),
                              relativeFolder, relative});
  // The folder's MP3 files join the files named, sorted as the list is, as a scan lists them.
  EXPECT_EQ(Captions(), (QStringList{"A.mp3", "b.MP3", "c.mp3", "My Song.mp3"}));
  EXPECT_EQ(Paths()[1], Path("b.MP3"));  // made absolute
  EXPECT_EQ(Paths()[2], Path("album/c.mp3"));
  EXPECT_EQ(form.FileList().ScanRoots(),
            (QList<QByteArray>{B(Path("album")), {}, B(Path("album")), {}}));
  EXPECT_EQ(form.FileList().TotalSize(), 2 * 1024 * 1024 + 2 * 417);
  EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A4 Files"));
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("album")));
  // Only the files named become lines of the title list.
  EXPECT_EQ(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText(),
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
    form.FileList().AddHandedOver(B(c.Text));
    SCOPED_TRACE(c.Text.toStdString());
    if (c.Caption.isEmpty()) {
      EXPECT_EQ(form.FileList().Count(), 0);
    } else {
      ASSERT_EQ(form.FileList().Count(), 1);
      EXPECT_EQ(form.FileList().Caption(0), c.Caption);
      EXPECT_TRUE(form.FileList().Path(0).endsWith(B("/music/" + c.Caption)));
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
  form.ScanFolder(B(FDir.path()));
  EXPECT_TRUE(form.CheckFileList());
  EXPECT_EQ(FDialogs.Shown().size(), 1);
}

TEST_F(FileListTest, OddFileNames) {
  Files({"with blank.mp3", "quote\"s.mp3", "it's.mp3", "new\nline.mp3", "\xE6\xAD\x8C.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  EXPECT_EQ(form.FileList().Count(), 5);
  for (const QString& path : Paths()) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

// A later start sends a folder by its absolute path; a relative rest after a blank is a piece of
// a program's path with a blank in it, never a folder to list.
TEST_F(FileListTest, AHandedOverFolderListsItsMp3Files) {
  Files({"album/b.mp3", "album/a.mp3", "album/notes.txt", "album/sub/c.mp3"});
  const QString own = QCoreApplication::applicationFilePath();
  const QString relative = QDir::current().relativeFilePath(Path("album"));
  const struct {
    QString Text;
    QStringList Captions;
  } cases[] = {
      {own + " " + Path("album"), {"a.mp3", "b.mp3"}},
      {own + " " + Path("album") + "/ \n", {"a.mp3", "b.mp3"}},
      {"/opt/my " + relative, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text.toStdString());
    TMainForm& form = MakeForm();
    form.FileList().AddHandedOver(B(c.Text));
    EXPECT_EQ(Captions(), c.Captions);
    if (!c.Captions.isEmpty()) {
      EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A2 Files"));
      EXPECT_EQ(form.FileList().ScanRoot(0), B(Path("album")));
      EXPECT_EQ(form.FileList().CurrentFolder, B(Path("album")));
    }
  }
}

namespace {

// Names of the same files in the code pages of old collections.
const QByteArray kBig5Name("\xA4\xA4\xA4\xE5.mp3");  // "中文" in Big5
const QByteArray kGbkName("\xB0\xA1.mp3");           // "啊" in GBK
const QByteArray kNoTextName("bad\xFF.mp3");         // no text in any of them

void WriteBytesNamed(const QByteArray& path, qint64 size) {
  const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
}

}  // namespace

TEST_F(FileListTest, FilesNamedInLegacyCodePagesAreListedByTheirBytes) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const qint64 mb = 1024 * 1024;
  for (const QByteArray& name : {kBig5Name, kGbkName, kNoTextName, QByteArray("plain.mp3")})
    WriteBytesNamed(dir.Path() + '/' + name, mb);
  const struct {
    const char* CodePage;
    QString Big5, Gbk, NoText;  // the captions
  } cases[] = {
      {"950", QString::fromUtf8("中文.mp3"), QString::fromUtf8("陛.mp3"),
       "bad" + QString(QChar(0xDCFF)) + ".mp3"},
      {"936", QString::fromUtf8("いゅ.mp3"), QString::fromUtf8("啊.mp3"),
       "bad" + QString(QChar(0xDCFF)) + ".mp3"},
      {"1252", QString::fromUtf8("¤¤¤å.mp3"), QString::fromUtf8("°¡.mp3"),
       QString::fromUtf8("badÿ.mp3")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    TMainForm& form = MakeForm();
    form.ScanFolder(dir.Path());
    ASSERT_EQ(form.FileList().Count(), 4);
    QMap<QString, QByteArray> listed;
    for (int i = 0; i < 4; ++i) listed[form.FileList().Caption(i)] = form.FileList().Path(i);
    EXPECT_EQ(listed.value(c.Big5), dir.Path() + '/' + kBig5Name);
    EXPECT_EQ(listed.value(c.Gbk), dir.Path() + '/' + kGbkName);
    EXPECT_EQ(listed.value(c.NoText), dir.Path() + '/' + kNoTextName);
    EXPECT_EQ(listed.value("plain.mp3"), dir.Path() + "/plain.mp3");
    // Sorted by caption, as every list is.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    for (int i = 1; i < 4; ++i)
      EXPECT_LE(collator.compare(form.FileList().Caption(i - 1), form.FileList().Caption(i)), 0);
    EXPECT_EQ(form.FileList().TotalSize(), 4 * mb);
    EXPECT_EQ(Panel(0), QString::fromUtf8("Toatl\uFF1A4 Files"));
    EXPECT_EQ(Panel(1), "Size4.0 MB ");

    // Properties and play reach the very file.
    int big5 = -1;
    for (int i = 0; i < 4; ++i)
      if (form.FileList().Caption(i) == c.Big5) big5 = i;
    ASSERT_GE(big5, 0);
    Select({big5});
    form.actGetFilePropertiesExecute();
    auto* dialog = form.findChild<QDialog*>("FilePropertiesDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QLabel*>("lblMissing"), nullptr);
    ASSERT_NE(dialog->findChild<QLabel*>("lblSize"), nullptr);
    EXPECT_TRUE(dialog->findChild<QLabel*>("lblSize")->text().contains("1,048,576 bytes"));
    delete dialog;
    TUrlRecorder desktop;
    form.actPlayExecute();
    ASSERT_EQ(desktop.Opened.size(), 1);
    EXPECT_TRUE(desktop.Opened[0].toEncoded().endsWith("/%A4%A4%A4%E5.mp3"))
        << desktop.Opened[0].toEncoded().constData();
    EXPECT_TRUE(FDialogs.Shown().isEmpty());
  }
}

TEST_F(FileListTest, LegacyNamesComeThroughTheCommandLineADropAndTheFileDialog) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray big5 = dir.Path() + '/' + kBig5Name;
  const QByteArray gbk = dir.Path() + '/' + kGbkName;
  WriteBytesNamed(big5, 100);
  WriteBytesNamed(gbk, 200);
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TMainForm& form = MakeForm(QList<QByteArray>{"Melotag", big5});
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), big5);
  EXPECT_EQ(form.FileList().Caption(0), QString::fromUtf8("中文.mp3"));

  form.FileList().Clear();
  form.FileList().Drop({gbk});
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), gbk);

  // The file dialog names files as text; a name that is not UTF-8 arrives with U+FFFD.
  form.FileList().Clear();
  FDialogs.Push(TDialogAnswer::Paths({QString::fromUtf8(big5)}));
  form.actAddFilesExecute();
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), big5);

  // A hand-over carries the bytes of the later start's arguments.
  form.FileList().Clear();
  form.FileList().AddHandedOver("/usr/bin/Melotag " + gbk);
  ASSERT_EQ(form.FileList().Count(), 1);
  EXPECT_EQ(form.FileList().Path(0), gbk);
}

TEST_F(FileListTest, AFolderNamedInLegacyBytesIsListedOrRefused) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray gbkFolder = dir.Path() + "/\xB0\xA1";
  ASSERT_EQ(::mkdir(gbkFolder.constData(), 0755), 0);
  WriteBytesNamed(gbkFolder + "/song.mp3", 10);
  TMainForm& form = MakeForm();

  // Through the tree, which shows the folder by its caption; choosing it lists it.
  TEnvScope codePage("MELOTAG_CODEPAGE", "936");
  TFolderModel* model = form.FolderTree().Model();
  const QModelIndex parent = model->Find(dir.Path());
  ASSERT_TRUE(parent.isValid());
  model->fetchMore(parent);  // as opening it in the tree does
  ASSERT_EQ(model->rowCount(parent), 1);
  EXPECT_EQ(model->index(0, 0, parent).data().toString(), QString::fromUtf8("啊"));
  form.show();
  auto* tree = Get<QTreeView>("ShellTreeView1");
  const QModelIndex folder = model->index(0, 0, parent);
  tree->scrollTo(folder);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(folder).center());
  EXPECT_EQ(Captions(), QStringList{"song.mp3"});
  EXPECT_EQ(form.FileList().CurrentFolder, gbkFolder);

  // Through the folder dialog, which names it as text.
  form.FileList().Clear();
  FDialogs.Push(TDialogAnswer::Text(QString::fromUtf8(gbkFolder)));
  form.actOpenFolderExecute();
  EXPECT_EQ(Captions(), QStringList{"song.mp3"});

  // Two folders whose names read alike as text: neither is listed in place of the other.
  const QByteArray twin = dir.Path() + "/\xB1\xA1";
  ASSERT_EQ(::mkdir(twin.constData(), 0755), 0);
  WriteBytesNamed(twin + "/other.mp3", 10);
  FDialogs.ClearShown();
  FDialogs.Push(TDialogAnswer::Button(mrYes));
  FDialogs.Push(TDialogAnswer::Text(QString::fromUtf8(twin)));
  form.actOpenFolderExecute();
  EXPECT_EQ(form.FileList().Count(), 0);
  ASSERT_EQ(FDialogs.Shown().size(), 3);
  EXPECT_TRUE(FDialogs.Shown()[2].Text.contains("cannot be listed"));
}

// The folder dialog's text names one folder or none: a caption with an escape (a byte the code
// page does not decode) never opens the folder whose name has "?" in its place.
TEST_F(FileListTest, TheFolderDialogsTextListsOnlyTheFolderOfExactlyThatCaption) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const struct {
    QByteArray Name;
    const char* File;
  } folders[] = {
      {"dir\xFF", "escaped.mp3"}, {"dir\xEF\xBF\xBD", "replacement.mp3"}, {"dir?", "question.mp3"}};
  for (const auto& f : folders) {
    ASSERT_EQ(::mkdir((dir.Path() + "/" + f.Name).constData(), 0755), 0);
    WriteBytesNamed(dir.Path() + "/" + f.Name + "/" + f.File, 10);
  }
  const QString base = QFile::decodeName(dir.Path()) + "/dir";
  const struct {
    const char* CodePage;
    QString Text;
    const char* Listed;  // null: refused with the message
  } cases[] = {
      {"950", base + QChar(0xDCFF), "escaped.mp3"},
      {"1252", base + QChar(0xDCFF), nullptr},
      {"950", base + QChar::ReplacementCharacter, nullptr},
      {"950", base + "?", "question.mp3"},
  };
  TMainForm& form = MakeForm();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.CodePage) + " " + c.Text.toStdString());
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    form.FileList().Clear();
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Text(c.Text));
    form.actOpenFolderExecute();
    if (c.Listed) {
      EXPECT_EQ(Captions(), QStringList{c.Listed});
      EXPECT_EQ(FDialogs.Shown().size(), 1);
    } else {
      EXPECT_EQ(form.FileList().Count(), 0);
      ASSERT_EQ(FDialogs.Shown().size(), 2);
      EXPECT_EQ(FDialogs.Shown()[1].Text, "The folder " + c.Text +
                                              " cannot be listed: its name is not valid UTF-8 and "
                                              "stands for no single folder.");
    }
  }
}

TEST_F(FileListTest, ArchiveBoxMakesListedFilesWritable) {
  Files({"ro.mp3"});
  QFile::setPermissions(Path("ro.mp3"), QFile::ReadOwner | QFile::ReadGroup);
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  EXPECT_FALSE(QFile::permissions(Path("ro.mp3")).testFlag(QFile::WriteOwner));
  form.findChild<QCheckBox*>("cbxFILE_ATTRIBUTE_ARCHIVE")->setChecked(true);
  form.ScanFolder(B(FDir.path()));
  EXPECT_EQ(QFile::permissions(Path("ro.mp3")) &
                (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

TEST_F(FileListTest, UnreadableFolderGivesAnEmptyScan) {
  Files({"locked/a.mp3"});
  QFile::setPermissions(Path("locked"), QFile::Permissions());
  TMainForm& form = MakeForm();
  form.ScanFolder(B(Path("locked")));  // as root the folder is readable all the same
  EXPECT_LE(form.FileList().Count(), 1);
  QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  form.ScanFolder(B(Path("no such folder")));
  EXPECT_EQ(form.FileList().CurrentFolder, B(Path("no such folder")));
}

TEST_F(FileListTest, QuestionsGoThroughTheMessageBoxAndItsErrorsEndTheCommand) {
  Files({"a.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  // A dictionary whose file cannot be read: the look-up fails, the command ends with the error.
  TVornMultiFileDD dictionary;
  dictionary.SetDDName("AppTestDD");
  dictionary.SetDDReaderID("VornTextCSV");
  dictionary.SetFileName(Path("missing.lng"));
  form.VornMsgBox1->SetDDName("AppTestDD");
  form.findChild<QAction*>("actClearFileList")->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtError);
  EXPECT_EQ(form.FileList().Count(), 1);  // the question was never answered
}
