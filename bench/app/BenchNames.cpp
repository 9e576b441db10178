// Tags from 1,000 file names ("NN - Artist N - Title N.mp3", files of 128 KB that mutagen tagged
// with UTF-16 texts, a comment and a cover): melotag-cli tags-from-names and the window's pass,
// each on its own copy, against a mutagen script that parses the names, sets the frames and saves
// each file; each followed by `sync`. Every round swaps artist and title in the pattern, so each
// round changes every file; the figures are medians of the rounds, all three taken in each round.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "FileList.h"
#include "Main.h"
#include "PatternPreview.h"
#include "ScriptedDialogs.h"
#include "UnicodeTag.h"
#include "WindowBench.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kKilobytes = 128;
constexpr int kRounds = 5;
constexpr double kTarget = 0.5;

bool MakeFiles(const QString& folder) {
  return QProcess::execute("/usr/bin/python3",
                           {MUTAGEN_NAMES, "make", folder, QString::number(kFiles),
                            QString::number(kKilobytes)}) == 0;
}

QStringList Mp3s(const QString& folder) {
  QStringList files;
  for (const QString& name : QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name))
    files << QDir(folder).filePath(name);
  return files;
}

// Runs a program to its end with its output thrown away; false when it failed.
bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

void Sync() {
  QProcess::execute("sync", {});
}

// The milliseconds of `run` followed by sync, after a sync of what came before.
double Timed(const std::function<void()>& run) {
  Sync();
  QElapsedTimer timer;
  timer.start();
  run();
  Sync();
  return timer.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

int Fail(const char* what) {
  std::fprintf(stderr, "bench_names: %s\n", what);
  return 1;
}

// The title of a file's ID3v2 tag.
QString TitleOf(const QString& path) {
  melotag::editor::TID3v2Text text;
  melotag::editor::LoadID3v2Text(QFile::encodeName(path).toStdString(), text);
  return text.Fields.Text(melotag::editor::TField::Title);
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  qputenv("MELOTAG_CODEPAGE", "1252");
  QApplication app(argc, argv);
  QuietSizeHintWarnings();
  TScriptedDialogs dialogs;  // a message would otherwise wait for a user
  TDialogsScope scope(&dialogs);

  QTemporaryDir cli, window, theirs;
  if (!cli.isValid() || !window.isValid() || !theirs.isValid() || !MakeFiles(cli.path()) ||
      !MakeFiles(window.path()) || !MakeFiles(theirs.path()))
    return Fail("cannot make the files");
  const QStringList cliFiles = Mp3s(cli.path()), theirFiles = Mp3s(theirs.path());
  if (cliFiles.size() != kFiles) return Fail("the files are not there");

  TMainForm form;
  form.show();
  QCoreApplication::processEvents();
  form.ScanFolder(QFile::encodeName(window.path()));
  if (form.FileList().Count() != kFiles) return Fail("the folder was not listed");

  const QString patterns[] = {"%track% - %artist% - %title%", "%track% - %title% - %artist%"};
  std::vector<double> ours, inWindow, mutagen;
  bool failed = false;
  for (int round = 0; round < kRounds; ++round) {
    const QString pattern = patterns[round % 2];
    ours.push_back(Timed([&] {
      failed |= !Run(MELOTAG_CLI,
                     QStringList{"tags-from-names", "--v2", "--pattern", pattern} + cliFiles);
    }));
    inWindow.push_back(Timed([&] {
      dialogs.Push(TDialogAnswer::Using([&](QDialog& dialog) {
        auto& preview = static_cast<TPatternPreview&>(dialog);
        preview.SetPattern(pattern);
        preview.SetTags(false, true);
      }));
      form.findChild<QAction*>("actTagsFromNames")->trigger();
    }));
    mutagen.push_back(Timed([&] {
      failed |= !Run("/usr/bin/python3", QStringList{MUTAGEN_NAMES, "tag", pattern} + theirFiles);
    }));
    // Every side wrote the round's values.
    const QString title = round % 2 ? "Artist 999" : "Title 999";
    for (const QString& folder : {cli.path(), window.path(), theirs.path()})
      failed |= TitleOf(QDir(folder).filePath("10 - Artist 999 - Title 999.mp3")) != title;
  }
  if (failed || dialogs.Pending() != 0) return Fail("a pass failed or did not write the names");
  const double theirTime = Median(mutagen);
  std::printf(
      "tags from 1,000 file names + sync: melotag-cli %.1f ms, mutagen script + sync %.1f ms, "
      "ratio %.3f (target <= %.1f)\n",
      Median(ours), theirTime, Median(ours) / theirTime, kTarget);
  std::printf(
      "tags from 1,000 file names + sync: the window's pass %.1f ms, mutagen script + sync "
      "%.1f ms, ratio %.3f (target <= %.1f)\n",
      Median(inWindow), theirTime, Median(inWindow) / theirTime, kTarget);
  return 0;
}
