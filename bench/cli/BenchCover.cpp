// A cover set on many files as a user does it from the command line: `melotag-cli cover --set
// IMAGE FILE...` over 1,000 files of 300 KB tagged by mutagen (ID3v2.3, UTF-16 texts, no
// picture, mutagen's default padding, so the 100 KB image does not fit and every file is
// rebuilt), against a mutagen script doing the same (APIC type 3 of that image, then save), each
// process followed by `sync`. Every round starts from fresh copies of the same files.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include "BenchTiming.h"
#include "CliBench.h"
#include "ID3v2Frames.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kKilobytes = 300;
constexpr int kImageKilobytes = 100;
constexpr int kRounds = 3;
constexpr double kTarget = 0.5;

// A program run to its end with its output thrown away; false when it failed.
bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(program, arguments);
  if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    std::fprintf(stderr, "bench_cover: %s failed: %s\n", qPrintable(program),
                 process.readAllStandardError().constData());
    return false;
  }
  return true;
}

// The folder's files replaced by fresh copies of the originals, on disk.
bool Refresh(const QString& originals, const QString& folder) {
  QDir(folder).removeRecursively();
  return Run("cp", {"-r", originals, folder}) && Run("sync", {});
}

// The file holds the image as its front cover.
bool HasCover(const QString& file, const QByteArray& image) {
  melotag::tags::TFrameTag tag;
  if (!melotag::tags::ReadFrameTag(file.toStdString(), tag)) return false;
  for (const melotag::tags::TFrame& frame : tag.Frames)
    if (frame.Id == "APIC" && QByteArray::fromStdString(frame.Data).endsWith(image)) return true;
  return false;
}

}  // namespace

int main() {
  qputenv("MELOTAG_CODEPAGE", "1252");
  QTemporaryDir work;
  const QString originals = work.filePath("originals");
  const QString ours = work.filePath("ours"), theirs = work.filePath("theirs");
  const QString image = work.filePath("cover.jpg");
  QByteArray bytes = "\xFF\xD8\xFF\xE0";
  while (bytes.size() < kImageKilobytes * 1024)
    bytes.append(char(QRandomGenerator::global()->generate()));
  QFile out(image);
  if (!work.isValid() || !QDir().mkpath(originals) || !out.open(QIODevice::WriteOnly) ||
      out.write(bytes) != bytes.size() ||
      !Run("/usr/bin/python3",
           {MUTAGEN_FILES, originals, QString::number(kFiles), QString::number(kKilobytes), "0"})) {
    std::fprintf(stderr, "bench_cover: cannot make the files\n");
    return 1;
  }
  out.close();
  bool failed = false;
  const auto timed = [&](const QString& folder, const QString& program,
                         const QStringList& arguments) {
    return MedianMs(
        kRounds, [&] { failed |= !Refresh(originals, folder); },
        [&] { failed |= !Run(program, arguments + Mp3s(folder)) || !Run("sync", {}); });
  };
  const double melotag = timed(ours, MELOTAG_CLI, {"cover", "--set", image});
  const double mutagen = timed(theirs, "/usr/bin/python3", {MUTAGEN_COVER, image});
  if (failed || !HasCover(Mp3s(ours).last(), bytes) || !HasCover(Mp3s(theirs).last(), bytes)) {
    std::fprintf(stderr, "bench_cover: the covers were not set\n");
    return 1;
  }
  std::printf(
      "cover --set of a %d KB image + sync, %d files of %d KB tagged by mutagen: melotag-cli "
      "%.1f ms, mutagen + sync %.1f ms, ratio %.3f (target <= %.1f)\n",
      kImageKilobytes, kFiles, kKilobytes, melotag, mutagen, melotag / mutagen, kTarget);
  return 0;
}
