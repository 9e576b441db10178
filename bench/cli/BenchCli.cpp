// melotag-cli against the tools people script their tagging with, each a single process over the
// same 1,000 small tagged files:
// - `melotag-cli show` against `mid3v2 -l` and against `id3v2 -l` (reading both tags);
// - `melotag-cli set --artist` against `mid3v2 -a`, each followed by `sync` (writing).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include "ID3v1.h"
#include "ID3v2.h"
#include "MpegAudio.h"

namespace {

constexpr int kFiles = 1000;
constexpr double kShowTarget = 0.2;
constexpr double kSetTarget = 1.0;

// 1,000 files named "Track 0000.mp3" ...: four MPEG frames, an ID3v2.3 tag and an ID3v1 trailer.
bool WriteFolder(const QString& folder, QStringList& paths) {
  const std::string audio = tagtest::MpegAudio(4);
  for (int i = 0; i < kFiles; ++i) {
    const QString path = QDir(folder).filePath(QString("Track %1.mp3").arg(i, 4, 10, QChar('0')));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(audio.data(), qint64(audio.size())) != qint64(audio.size()))
      return false;
    file.close();
    const std::string bytes = QFile::encodeName(path).toStdString();
    const std::string title = "Title " + std::to_string(i);
    TID3v2 v2;
    v2.SetTitle(title);
    v2.SetArtist("Old Artist");
    v2.SetAlbum("Album");
    v2.SetTrack(uint8_t(i % 20 + 1));
    TID3v1 v1;
    v1.SetTitle(title);
    v1.SetArtist("Old Artist");
    if (!v2.WriteToFile(bytes) || !v1.WriteToFile(bytes)) return false;
    paths.append(path);
  }
  return true;
}

// Runs a program to its end with its output thrown away; the milliseconds it took, or a negative
// value when it failed.
double Timed(const QString& program, const QStringList& arguments, bool thenSync) {
  // What earlier runs left to the disk is not this run's.
  if (thenSync) QProcess::execute("sync", {});
  QElapsedTimer timer;
  timer.start();
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, arguments);
  if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    std::fprintf(stderr, "bench_cli: %s failed\n", qPrintable(program));
    return -1;
  }
  if (thenSync && QProcess::execute("sync", {}) != 0) return -1;
  return timer.nsecsElapsed() / 1e6;
}

void Figure(const char* what, const char* peer, double ours, double theirs, double target) {
  std::printf("%s, 1,000 files: melotag-cli %.1f ms, %s %.1f ms, ratio %.3f (target <= %.1f)\n",
              what, ours, peer, theirs, ours / theirs, target);
}

}  // namespace

int main() {
  qputenv("MELOTAG_CODEPAGE", "1252");
  QTemporaryDir shown, ours, theirs;
  QStringList shownFiles, ourFiles, theirFiles;
  if (!shown.isValid() || !ours.isValid() || !theirs.isValid() ||
      !WriteFolder(shown.path(), shownFiles) || !WriteFolder(ours.path(), ourFiles) ||
      !WriteFolder(theirs.path(), theirFiles)) {
    std::fprintf(stderr, "bench_cli: cannot write the files\n");
    return 1;
  }
  QProcess::execute("sync", {});

  // Reading: every tool once over the same files, which are in the page cache for all of them.
  const double show = Timed(MELOTAG_CLI, QStringList{"show"} + shownFiles, false);
  const double mid3v2 = Timed("mid3v2", QStringList{"-l"} + shownFiles, false);
  const double id3v2 = Timed("id3v2", QStringList{"-l"} + shownFiles, false);
  // Writing: the artist of every file, then sync.
  const double set =
      Timed(MELOTAG_CLI, QStringList{"set", "--artist", "Bench Artist"} + ourFiles, true);
  const double mid3v2Set = Timed("mid3v2", QStringList{"-a", "Bench Artist"} + theirFiles, true);
  if (show < 0 || mid3v2 < 0 || id3v2 < 0 || set < 0 || mid3v2Set < 0) return 1;

  TID3v1 v1;
  TID3v2 v2;
  const std::string sample = QFile::encodeName(ourFiles.last()).toStdString();
  if (!v1.LoadFromFile(sample) || !v2.LoadFromFile(sample) || v1.Artist() != "Bench Artist" ||
      v2.Artist() != "Bench Artist" || v2.Title() != "Title 999") {
    std::fprintf(stderr, "bench_cli: set did not write the artist\n");
    return 1;
  }
  Figure("show", "mid3v2 -l", show, mid3v2, kShowTarget);
  Figure("show", "id3v2 -l", show, id3v2, kShowTarget);
  Figure("set --artist + sync", "mid3v2 -a + sync", set, mid3v2Set, kSetTarget);
  return 0;
}
