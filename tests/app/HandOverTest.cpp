// A second start of the real program hands its files to the running window and ends.
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "AppTestSupport.h"
#include "SingleInstance.h"

namespace {

class HandOverTest : public MainFormTest {
 protected:
  // Starts the program in the temporary folder and waits (serving the hand-over) for its end.
  int SecondStart(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", FRuntime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(FDir.path());
    process.start(MELOTAG_EXECUTABLE, arguments);
    EXPECT_TRUE(process.waitForStarted(10000));
    EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
    if (process.state() != QProcess::NotRunning) process.kill();
    process.waitForFinished(5000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
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
