// Figures of the main window, on the offscreen platform:
// - scanning a folder of 10,000 MP3 files into the file list (sorting and totals included)
//   against iterating the same folder with QDirIterator alone (names and sizes);
// - the time from the program's start (QApplication included) to the main window shown, and of
//   a later main window of the same process.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchTiming.h"
#include "FileList.h"
#include "Main.h"
#include "WindowBench.h"

namespace {

constexpr int kFiles = 10000;
constexpr int kRounds = 7;

// Median of `rounds` runs of `run`, in milliseconds.
double Median(const std::function<void()>& run, int rounds = kRounds) {
  return MedianMs(rounds, {}, run);
}

void Print(const char* figure, double melotag, const char* peer, double other, double target) {
  std::printf("%s: melotag %.1f ms, %s %.1f ms, ratio %.2f (target <= %.0f)\n", figure, melotag,
              peer, other, melotag / other, target);
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer timer;
  timer.start();
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  QuietSizeHintWarnings();

  // Start to the window shown (the first window of the process pays for fonts and style).
  auto first = std::make_unique<TMainForm>();
  first->show();
  QCoreApplication::processEvents();
  const double firstShown = timer.nsecsElapsed() / 1e6;
  first.reset();
  const double formShown = Median([] {
    TMainForm form;
    form.show();
    QCoreApplication::processEvents();
  });
  std::printf(
      "start to window shown: melotag %.1f ms (program start to the first window shown), "
      "%.1f ms (a later main window)\n",
      firstShown, formShown);

  QTemporaryDir dir;
  QByteArray frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  for (int i = 0; i < kFiles; ++i) {
    QFile file(
        dir.filePath(QString("Track %1 - Song.mp3").arg((i * 7919) % kFiles, 5, 10, QChar('0'))));
    if (!file.open(QIODevice::WriteOnly) || file.write(frame) != frame.size()) {
      std::fprintf(stderr, "cannot write the files\n");
      return 1;
    }
  }

  qint64 peerTotal = 0;
  const double peer = Median([&] {
    peerTotal = 0;
    QDirIterator it(dir.path(), {"*.mp3"}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
      const QFileInfo info = it.nextFileInfo();
      peerTotal += info.size() + info.fileName().size();
    }
  });
  TMainForm form;
  form.show();
  QCoreApplication::processEvents();
  const double scan = Median([&] {
    form.FileList().Clear();
    form.ScanFolder(QFile::encodeName(dir.path()));
    QCoreApplication::processEvents();
  });
  if (form.FileList().Count() != kFiles || peerTotal == 0) {
    std::fprintf(stderr, "scan listed %d files\n", form.FileList().Count());
    return 1;
  }
  Print("scan 10,000 MP3 files into the list", scan, "QDirIterator", peer, 5);
  return 0;
}
