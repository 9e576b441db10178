// A second start of the real program hands its files to the running window and ends.
#include <QFileInfo>
#include <QFocusEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "ByteTempDir.h"
#include "DesktopEntry.h"
#include "EnvScope.h"
#include "FolderModel.h"
#include "Nobody.h"
#include "SingleInstance.h"

namespace {

class HandOverTest : public MainFormTest {
 protected:
  // Starts the program in the temporary folder and waits (serving the hand-over) for its end.
  int SecondStart(const QStringList& arguments) { return Run(MELOTAG_EXECUTABLE, arguments); }

  // The same with arguments of any bytes (names that are not UTF-8), given as a shell gives them.
  int SecondStartBytes(const QList<QByteArray>& arguments) {
    QByteArray script = QByteArray("exec '") + MELOTAG_EXECUTABLE + '\'';
    for (QByteArray argument : arguments) script += " '" + argument.replace("'", "'\\''") + '\'';
    QTemporaryDir dir;
    QFile file(dir.filePath("start.sh"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(script + '\n');
    file.close();
    return Run("/bin/sh", {file.fileName()});
  }

  int Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.setWorkingDirectory(FDir.path());
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(10000));
    EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
    if (process.state() != QProcess::NotRunning) process.kill();
    process.waitForFinished(5000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  // A later start's environment: the running window's runtime folder, no screen.
  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", FRuntime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    return env;
  }

  QTemporaryDir FRuntime;
};

}  // namespace

TEST_F(HandOverTest, SecondStartListsItsFileInTheRunningWindowAndEnds) {
  Files({"My Song.mp3", "Other.mp3"}, 1024 * 1024);
  TSingleInstance instance("Melotag", FRuntime.path());
  ASSERT_TRUE(instance.TryLock());
  FForm = std::make_unique<TMainForm>(QList<QByteArray>{"Melotag"}, &instance);
  TMainForm& form = *FForm;
  form.showMinimized();
  ASSERT_TRUE(instance.IsListening());

  // Relative to the second start's folder; a name with a blank stays one path.
  EXPECT_EQ(SecondStart({"My Song.mp3", "Other.mp3"}), 0);
  EXPECT_EQ(Captions(), (QStringList{"My Song.mp3", "Other.mp3"}));
  EXPECT_EQ(Paths()[0], Path("My Song.mp3"));
  EXPECT_FALSE(form.isMinimized());  // the running window comes back

  // Without arguments only the program's path travels: nothing is listed.
  EXPECT_EQ(SecondStart({}), 0);
  EXPECT_EQ(form.FileList().Count(), 2);
  FForm.reset();
}

// One start hands several files over at once, by the exact bytes of their names (Big5 and GBK
// names, blanks inside a name), and a folder, whose MP3 files are listed as a scan lists them.
// Each joins the files already listed, sorted as the list is, and the totals count them.
TEST_F(HandOverTest, SeveralFilesAndAFolderOfOneStartAreEachListed) {
  Files({"c listed.mp3", "e  two blanks .mp3", "clip.wav", "album/b.mp3", "album/d.mp3",
         "album/notes.txt", "album/sub/a.mp3"});
  const QByteArray big5 = "\xA4\xA4\xA4\xE5.mp3";  // "中文" in Big5
  const QByteArray gbk = "\xB0\xA1.mp3";           // "啊" in GBK
  // Qt cannot remove names that are not UTF-8: these live in a folder removed by its bytes.
  TByteTempDir legacy;
  ASSERT_TRUE(legacy.IsValid());
  for (const QByteArray& name : {big5, gbk}) {
    const int fd = ::open(legacy.Path(name).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1000), 0);
    ::close(fd);
  }
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TSingleInstance instance("Melotag", FRuntime.path());
  ASSERT_TRUE(instance.TryLock());
  FForm = std::make_unique<TMainForm>(B(QStringList{"Melotag", Path("c listed.mp3")}), &instance);
  TMainForm& form = *FForm;
  ASSERT_TRUE(instance.IsListening());

  // Relative to the second start's folder, or absolute.
  EXPECT_EQ(SecondStartBytes(
                {legacy.Path(big5), "e  two blanks .mp3", legacy.Path(gbk), "clip.wav", "album"}),
            0);
  const QByteArray dir = B(FDir.path()) + '/';
  EXPECT_EQ(form.FileList().Paths(),
            (QList<QByteArray>{dir + "album/b.mp3", dir + "c listed.mp3", dir + "album/d.mp3",
                               dir + "e  two blanks .mp3", legacy.Path(big5), legacy.Path(gbk)}));
  EXPECT_EQ(Captions(), (QStringList{"b.mp3", "c listed.mp3", "d.mp3", "e  two blanks .mp3",
                                     QString::fromUtf8("中文.mp3"), QString::fromUtf8("陛.mp3")}));
  EXPECT_EQ(form.FileList().ScanRoot(0), dir + "album");
  EXPECT_EQ(form.FileList().ScanRoot(2), dir + "album");
  EXPECT_EQ(form.FileList().ScanRoot(1), QByteArray());
  EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar1")->PanelText(0),
            QString::fromUtf8("Toatl\uFF1A6 Files"));
  EXPECT_EQ(form.FileList().TotalSize(), 4 * 417 + 2 * 1000);
  FForm.reset();
}

TEST_F(HandOverTest, TheFileManagersEntryHandsTheFileToTheRunningWindow) {
  Files({"My Song.mp3"}, 1000);
  // The program in a folder whose name needs quoting in the entry.
  const QString folder = FDir.filePath("my \"programs\"");
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString program = folder + "/Melotag";
  ASSERT_TRUE(QFile::link(MELOTAG_EXECUTABLE, program));
  QTemporaryDir data;
  TEnvScope dataHome("XDG_DATA_HOME", QFile::encodeName(data.path()).constData());
  ASSERT_EQ(
      melotag::editor::RegisterShellVerb("mp3", "Edit With Melotag", QFile::encodeName(program)),
      "");

  TSingleInstance instance("Melotag", FRuntime.path());
  ASSERT_TRUE(instance.TryLock());
  FForm = std::make_unique<TMainForm>(QList<QByteArray>{"Melotag"}, &instance);
  ASSERT_TRUE(instance.IsListening());
  // GLib's launcher starts the entry's command as a file manager does.
  QProcess gio;
  gio.setProcessEnvironment(Environment());
  gio.start("gio", {"launch", QFile::decodeName(melotag::editor::VerbFiles("Edit With Melotag")[0]),
                    Path("My Song.mp3")});
  ASSERT_TRUE(gio.waitForFinished(30000));
  EXPECT_TRUE(WaitFor([&] { return FForm->FileList().Count() == 1; }, 30000))
      << gio.readAllStandardError().toStdString();
  EXPECT_EQ(Paths(), QStringList{Path("My Song.mp3")});
  FForm.reset();
}

// "Open With" on files starts the window with them, or hands them to the running window: they
// stay listed when the window, and then the folder tree, get the focus from the window manager or
// the Tab key. The tree shows the first file's folder and lists nothing by itself.
TEST_F(HandOverTest, FilesOfAStartStayListedWhenTheWindowAndTheTreeGetTheFocus) {
  Files({"music/b.mp3", "music/a.mp3", "later/c.mp3", "music/sub/x.mp3"});
  const QStringList started{"a.mp3", "b.mp3"};
  TSingleInstance instance("Melotag", FRuntime.path());
  ASSERT_TRUE(instance.TryLock());
  for (const bool handedOver : {false, true}) {
    SCOPED_TRACE(handedOver ? "handed over" : "command line");
    FForm.reset();
    QStringList commandLine{"Melotag"};
    if (!handedOver) commandLine << Path("music/b.mp3") << Path("music/a.mp3");
    FForm = std::make_unique<TMainForm>(B(commandLine), &instance);
    TMainForm& form = *FForm;
    if (handedOver) {
      // Handed to the window that has just started without files, before it shows: its tree
      // has no current folder yet.
      EXPECT_EQ(SecondStart({Path("music/b.mp3"), Path("music/a.mp3")}), 0);
    } else {
      EXPECT_EQ(form.FolderTree().Folder(), B(Path("music")));
    }
    EXPECT_EQ(Captions(), started);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &form; }));
    auto* tree = Get<QTreeView>("ShellTreeView1");
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::TabFocusReason}) {
      SCOPED_TRACE(reason);
      tree->clearFocus();
      tree->setFocus(reason);
      QFocusEvent focusIn(QEvent::FocusIn, reason);
      QApplication::sendEvent(tree, &focusIn);
      QCoreApplication::processEvents();
      EXPECT_EQ(Captions(), started);
    }
  }
  TMainForm& form = *FForm;
  auto* tree = Get<QTreeView>("ShellTreeView1");

  // A second start raises the window and adds its file to those listed.
  EXPECT_EQ(SecondStart({Path("later/c.mp3")}), 0);
  const QStringList all{"a.mp3", "b.mp3", "c.mp3"};
  EXPECT_EQ(Captions(), all);
  tree->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_EQ(Captions(), all);

  // The current folder vanishes and a refresh of the model makes its neighbour current: nothing
  // is listed either.
  ASSERT_TRUE(form.FolderTree().Navigate(B(Path("music/sub"))));
  ASSERT_TRUE(QDir(Path("music/sub")).removeRecursively());
  TFolderModel* model = form.FolderTree().Model();
  model->Refresh(model->Find(B(Path("music"))));
  EXPECT_NE(form.FolderTree().Folder(), B(Path("music/sub")));
  EXPECT_EQ(Captions(), all);

  // The user's choice still lists: a key moves the tree to the next folder.
  ASSERT_TRUE(form.FolderTree().Navigate(B(Path("later"))));
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(form.FolderTree().Folder(), B(Path("music")));
  EXPECT_EQ(Captions(), started);
  FForm.reset();
}

// No XDG_RUNTIME_DIR, and another user got to the shared temporary folder first: a folder under the
// name of the user's private one, a lock and a socket in it and beside it. A start with a file
// opens its own window and tells why; the other user gets nothing of it.
TEST_F(HandOverTest, AnotherUsersFolderInTheSharedTemporaryFolderGetsNoFileAndAWindowOpens) {
  if (const std::string why = NobodyUnavailable(); !why.empty()) GTEST_SKIP() << why;
  Files({"My Song.mp3"}, 1000);
  QTemporaryDir shared;  // stands for /tmp
  const QByteArray sharedPath = QFile::encodeName(shared.path());
  ASSERT_EQ(::chmod(sharedPath.constData(), 01777), 0);
  QByteArray folder;
  {
    const TEnvScope noRuntime("XDG_RUNTIME_DIR", nullptr);
    const TEnvScope tmp("TMPDIR", sharedPath.constData());
    TSingleInstance probe;  // where this user's instance would live
    ASSERT_TRUE(probe.TryLock());
    folder = QFile::encodeName(QFileInfo(probe.LockPath()).path());
  }
  ASSERT_TRUE(QDir(QFile::decodeName(folder)).removeRecursively());
  ASSERT_EQ(
      AsNobody([&] {
        return ::mkdir(folder.constData(), 0777) == 0 && ::chmod(folder.constData(), 0777) == 0 ? 0
                                                                                                : 1;
      }),
      0);
  TNobodyServer attacker({folder, sharedPath});
  ASSERT_TRUE(attacker.IsReady());

  QProcessEnvironment env = Environment();
  env.remove("XDG_RUNTIME_DIR");
  env.insert("TMPDIR", shared.path());
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(MELOTAG_EXECUTABLE, {Path("My Song.mp3")});
  ASSERT_TRUE(process.waitForStarted(10000));
  // The window stays open; the process does not end after handing its file over.
  EXPECT_FALSE(process.waitForFinished(5000));
  const QByteArray err = process.readAllStandardError();
  EXPECT_TRUE(err.contains(folder)) << err.constData();
  process.kill();
  process.waitForFinished(5000);
  EXPECT_EQ(attacker.Received(), QByteArray());
}
