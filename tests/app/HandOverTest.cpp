// A second start of the real program hands its files to the running window and ends.
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "AppTestSupport.h"
#include "DesktopEntry.h"
#include "EnvScope.h"
#include "SingleInstance.h"

namespace {

class HandOverTest : public MainFormTest {
 protected:
  // Starts the program in the temporary folder and waits (serving the hand-over) for its end.
  int SecondStart(const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.setWorkingDirectory(FDir.path());
    process.start(MELOTAG_EXECUTABLE, arguments);
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
