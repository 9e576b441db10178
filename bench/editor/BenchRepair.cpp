// Figures of the repairs of legacy files, each against a peer timed in the same run:
// - renaming 1,000 Big5 file names to UTF-8 (code page 950 chosen) against convmv on a copy of
//   the same names.
// - repairing the Big5 tags of 1,000 files (code page 950 chosen) against mid3iconv on copies of
//   the same files.
// Each figure is one function of the table in main().
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchTiming.h"
#include "CodePage.h"
#include "CommitGroup.h"
#include "NameRepair.h"
#include "TagRepair.h"

using namespace melotag::editor;

namespace {

constexpr int kRounds = 5;
constexpr int kNames = 1000;

// Median of `rounds` runs of `run` after `prepare` (not timed), in milliseconds.
double Median(const std::function<void()>& prepare, const std::function<void()>& run,
              int rounds = kRounds) {
  return MedianMs(rounds, prepare, run);
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

// A fresh folder of files with the names (and the contents, if given; empty files otherwise); the
// paths of the files, in the names' order.
QList<QByteArray> WriteFolder(const QByteArray& folder, const QList<QByteArray>& names,
                              const QList<QByteArray>& contents = {}) {
  QList<QByteArray> paths;
  if (::mkdir(folder.constData(), 0755) != 0) return paths;
  for (int i = 0; i < names.size(); ++i) {
    const QByteArray path = folder + '/' + names[i];
    if (FILE* file = std::fopen(path.constData(), "wb")) {
      if (i < contents.size())
        std::fwrite(contents[i].constData(), 1, static_cast<size_t>(contents[i].size()), file);
      std::fclose(file);
      paths << path;
    }
  }
  return paths;
}

// The path of a peer program; empty (and said) when it is not installed.
QString Peer(const char* name) {
  const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
  if (path.isEmpty()) std::fprintf(stderr, "%s is not installed (scripts/install-deps)\n", name);
  return path;
}

// 1,000 Big5 names against `convmv -f cp950 -t utf8 --notest`.
int RepairNames(const QByteArray& work) {
  const QString convmv = Peer("convmv");
  if (convmv.isEmpty()) return 1;
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
      [&] { paths = WriteFolder(ours = work + "/ours" + QByteArray::number(++round), names); },
      [&] { failed += ApplyNameRepairs(PlanNameRepairs(paths, 950, false)).Failed.size(); });
  const double peer = Median(
      [&] { WriteFolder(theirs = work + "/convmv" + QByteArray::number(++round), names); },
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

// A version 2.3 frame of code-page text (a COMM frame: language and empty description first).
QByteArray Frame(const QByteArray& id, const QByteArray& text) {
  const QByteArray data = id == "COMM" ? QByteArray("\0eng\0", 5) + text : '\0' + text;
  const auto size = static_cast<quint32>(data.size());
  QByteArray frame = id;
  for (int shift : {24, 16, 8, 0}) frame += static_cast<char>((size >> shift) & 0xFF);
  return frame + QByteArray(2, '\0') + data;
}

// A file of 4 MPEG frames with a 2.3 tag of Big5 title, artist, album and comment, and 1 KiB of
// padding, as the taggers of that time left one.
QByteArray TaggedFile(const TCodePageCodec& big5, int i) {
  const QString words = QString::fromUtf8("七里香晴天後來許功蓋愛在西元前周杰倫范特西夜曲稻香");
  auto text = [&](int k) {
    QString t;
    for (int j = 0; j < 4; ++j) t += words[(i * 7 + k * 5 + j) % words.size()];
    return QByteArray::fromStdString(big5.Encode(t));
  };
  const QByteArray frames = Frame("TIT2", text(0)) + Frame("TPE1", text(1)) +
                            Frame("TALB", text(2)) + Frame("TRCK", QByteArray::number(i % 20 + 1)) +
                            Frame("COMM", text(3)) + QByteArray(1024, '\0');
  QByteArray tag("ID3\x03\0\0", 6);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((frames.size() >> shift) & 0x7F);
  QByteArray audio;
  for (int f = 0; f < 4; ++f) audio += QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0');
  return tag + frames + audio;
}

// The Big5 tags of 1,000 files against `mid3iconv -e cp950` over copies of the same files.
int RepairTagFigure(const QByteArray& work) {
  const QString mid3iconv = Peer("mid3iconv");
  if (mid3iconv.isEmpty()) return 1;
  const TCodePageCodec big5(950);
  QList<QByteArray> names, contents;
  for (int i = 0; i < kNames; ++i) {
    names << QByteArray::number(i) + ".mp3";
    contents << TaggedFile(big5, i);
  }
  constexpr int kTagRounds = 3;
  int round = 0, repaired = 0, failed = 0;
  QList<QByteArray> paths, peerPaths;
  const double melotag = Median(
      [&] {
        paths = WriteFolder(work + "/ours" + QByteArray::number(++round), names, contents);
        repaired = 0;
      },
      [&] {
        TTagRepairUndo undo;
        melotag::tags::TCommitGroup group;
        for (const QByteArray& path : paths)
          repaired += RepairTags(path, 950, undo).Outcome == TRepairOutcome::Repaired;
        failed += static_cast<int>(group.Flush().size());
      },
      kTagRounds);
  // mid3iconv over copies of the files; with `sync`, followed by sync (informative, not a figure).
  const auto peerRun = [&](bool sync) {
    return Median(
        [&] {
          peerPaths = WriteFolder(work + "/peer" + QByteArray::number(++round), names, contents);
        },
        [&] {
          QStringList args{"-q", "-e", "cp950"};
          for (const QByteArray& path : peerPaths) args << QString::fromLocal8Bit(path);
          QProcess run;
          run.start(mid3iconv, args);
          if (!run.waitForFinished(-1) || run.exitCode() != 0) ++failed;
          if (sync) ::sync();
        },
        kTagRounds);
  };
  const double peer = peerRun(false);
  const double peerSynced = peerRun(true);
  if (repaired != kNames || failed != 0) {
    std::fprintf(stderr, "the tag repairs failed: %d repaired, %d failures\n", repaired, failed);
    return 1;
  }
  std::printf(
      "repairing the tags of 1000 files: %.1f ms (every file on disk) against mid3iconv %.1f ms, "
      "ratio %.2f (target <= 0.5)\n",
      melotag, peer, melotag / peer);
  std::printf("  (mid3iconv followed by sync: %.1f ms)\n", peerSynced);
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
      {"tags", RepairTagFigure},
      {"names", RepairNames},
  };
  for (const auto& figure : figures) {
    const QByteArray folder = work + '/' + figure.Name;
    if (::mkdir(folder.constData(), 0755) != 0 || figure.Run(folder) != 0) return 1;
  }
  return 0;
}
