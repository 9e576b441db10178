// Figures of the repairs of legacy files, each against a peer timed in the same run:
// - renaming 1,000 Big5 file names to UTF-8 (code page 950 chosen) against convmv on a copy of
//   the same names.
// Each figure is one function of the table in main().
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "CodePage.h"
#include "NameRepair.h"

using namespace melotag::editor;

namespace {

constexpr int kRounds = 5;
constexpr int kNames = 1000;

// Median of `rounds` runs of `run` after `prepare` (not timed), in milliseconds.
double Median(const std::function<void()>& prepare, const std::function<void()>& run,
              int rounds = kRounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    prepare();
    QElapsedTimer timer;
    timer.start();
    run();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The names of the files a folder holds, sorted; empty when it cannot be read.
QList<QByteArray> NamesIn(const QByteArray& folder) {
  QList<QByteArray> names;
  QProcess ls;  // not timed
  ls.start("ls", {"-1", "--", QString::fromLocal8Bit(folder)});
  ls.waitForFinished(-1);
  for (const QByteArray& line : ls.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) names << line;
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh folder of empty files with the names; the paths of the files, in the names' order.
QList<QByteArray> MakeFolder(const QByteArray& folder, const QList<QByteArray>& names) {
  QList<QByteArray> paths;
  if (::mkdir(folder.constData(), 0755) != 0) return paths;
  for (const QByteArray& name : names) {
    const QByteArray path = folder + '/' + name;
    if (FILE* file = std::fopen(path.constData(), "wb")) {
      std::fclose(file);
      paths << path;
    }
  }
  return paths;
}

// 1,000 Big5 names against `convmv -f cp950 -t utf8 --notest`.
int RepairNames(const QByteArray& work) {
  const QString convmv = QStandardPaths::findExecutable("convmv");
  if (convmv.isEmpty()) {
    std::fprintf(stderr, "convmv is not installed (scripts/install-deps)\n");
    return 1;
  }
  const TCodePageCodec big5(950);
  const QString words = QString::fromUtf8("七里香晴天後來許功蓋愛在西元前周杰倫范特西夜曲稻香");
  QList<QByteArray> names;
  for (int i = 0; i < kNames; ++i) {
    QString text = QString("%1 ").arg(i, 4, 10, QChar('0'));
    for (int k = 0; k < 6; ++k) text += words[(i * 7 + k * 5) % words.size()];
    names << QByteArray::fromStdString(big5.Encode(text + " (Live).mp3"));
  }

  int round = 0;
  QByteArray ours, theirs;
  QList<QByteArray> paths;
  int failed = 0;
  const double melotag = Median(
      [&] { paths = MakeFolder(ours = work + "/ours" + QByteArray::number(++round), names); },
      [&] { failed += ApplyNameRepairs(PlanNameRepairs(paths, 950, false)).Failed.size(); });
  const double peer = Median(
      [&] { MakeFolder(theirs = work + "/convmv" + QByteArray::number(++round), names); },
      [&] {
        QProcess run;  // its output, a line a name, is not shown
        run.setStandardOutputFile(QProcess::nullDevice());
        run.setStandardErrorFile(QProcess::nullDevice());
        run.start(convmv,
                  {"-f", "cp950", "-t", "utf8", "--notest", "-r", QString::fromLocal8Bit(theirs)});
        if (!run.waitForFinished(-1) || run.exitCode() != 0) ++failed;
      });
  const QList<QByteArray> ourNames = NamesIn(ours), theirNames = NamesIn(theirs);
  const bool allUtf8 = std::all_of(ourNames.begin(), ourNames.end(), [](const QByteArray& name) {
    return IsUtf8(name.toStdString());
  });
  if (paths.size() != kNames || failed != 0 || ourNames.size() != kNames || !allUtf8 ||
      ourNames != theirNames) {
    std::fprintf(stderr, "the repairs differ: %d failed, %lld and %lld names\n", failed,
                 static_cast<long long>(ourNames.size()),
                 static_cast<long long>(theirNames.size()));
    return 1;
  }
  std::printf(
      "repairing 1000 legacy file names: %.1f ms against convmv %.1f ms, ratio %.2f "
      "(target <= 1.0)\n",
      melotag, peer, melotag / peer);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QByteArray work = QFile::encodeName(dir.path());
  const struct {
    const char* Name;
    std::function<int(const QByteArray&)> Run;
  } figures[] = {
      {"names", RepairNames},
  };
  for (const auto& figure : figures) {
    const QByteArray folder = work + '/' + figure.Name;
    if (::mkdir(folder.constData(), 0755) != 0 || figure.Run(folder) != 0) return 1;
  }
  return 0;
}
