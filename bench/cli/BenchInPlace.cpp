// Tag writes that cost the tag, not the file: 200 files of 4 MB as mutagen leaves them (ID3v2.3,
// UTF-16 texts, a 30 KB cover, mutagen's padding), the artist of all of them changed by
// `melotag-cli set --v2 --artist` and by `mid3v2 -a`, each followed by `sync`; and the bytes the
// disk wrote for melotag-cli's pass against the bytes of the new tags.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "CliBench.h"
#include "ID3v2Frames.h"

namespace {

constexpr int kFiles = 200;
constexpr int kMegabytes = 4;
constexpr int kCoverKilobytes = 30;
constexpr int kRounds = 3;
constexpr double kTarget = 0.5;
constexpr double kBytesTarget = 2.0;

bool MakeFiles(const QString& folder) {
  return QProcess::execute("/usr/bin/python3", {MUTAGEN_FILES, folder, QString::number(kFiles),
                                                QString::number(kMegabytes * 1024),
                                                QString::number(kCoverKilobytes)}) == 0;
}

// The bytes the disk that holds the folder has written since it started: its sectors written
// (the kernel's own counting of a process, write_bytes, counts every large folio it dirtied
// whole, 2 MiB for a few bytes, so the disk is asked).
long long DiskBytesWritten(const QString& folder) {
  struct stat st {};
  if (stat(QFile::encodeName(folder).constData(), &st) != 0) return -1;
  std::ifstream in("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                   std::to_string(minor(st.st_dev)) + "/stat");
  long long field = 0, sectors = -1;
  for (int i = 0; i < 7 && in >> field; ++i) sectors = field;
  return sectors < 0 ? -1 : sectors * 512;
}

// Runs a program to its end; its "wchar" (what it wrote through the system) and "write_bytes"
// (what it sent to the disk's cache, in whole pages or folios), read while it is a zombie; false
// when it failed.
bool Run(const QString& program, const QStringList& arguments, long long& wchar,
         long long& writeBytes) {
  std::vector<std::string> args = {program.toStdString()};
  for (const QString& a : arguments) args.push_back(a.toStdString());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0) return false;
  std::ifstream io("/proc/" + std::to_string(child) + "/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "wchar:")
      wchar = value;
    else if (key == "write_bytes:")
      writeBytes = value;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The bytes of the files' tags as their headers declare them.
long long TagBytes(const QStringList& files) {
  long long total = 0;
  for (const QString& file : files) {
    melotag::tags::TFrameTag tag;
    if (melotag::tags::ReadFrameTag(file.toStdString(), tag)) total += tag.Size;
  }
  return total;
}

}  // namespace

int main() {
  qputenv("MELOTAG_CODEPAGE", "1252");
  QTemporaryDir ours, theirs;
  if (!ours.isValid() || !theirs.isValid() || !MakeFiles(ours.path()) ||
      !MakeFiles(theirs.path())) {
    std::fprintf(stderr, "bench_inplace: cannot make the files\n");
    return 1;
  }
  const QStringList ourFiles = Mp3s(ours.path()), theirFiles = Mp3s(theirs.path());
  bool failed = false;
  long long written = 0, wchar = 0, writeBytes = 0;  // the most of a round
  int round = 0;
  auto sync = [] { QProcess::execute("sync", {}); };
  // Each round another artist, so that every round changes every file.
  // Each round another artist of another length, so that every round changes every file and
  // moves the frames behind it.
  auto artist = [&] {
    return QString("New Artist") + QString(round % 2 + 1, '!') + QString::number(round++);
  };
  const double melotag = MedianMs(kRounds, sync, [&] {
    long long c = 0, w = 0;
    const long long before = DiskBytesWritten(ours.path());
    failed |= !Run(MELOTAG_CLI, QStringList{"set", "--v2", "--artist", artist()} + ourFiles, c, w);
    sync();
    written = std::max(written, DiskBytesWritten(ours.path()) - before);
    wchar = std::max(wchar, c);
    writeBytes = std::max(writeBytes, w);
  });
  round = 0;
  long long theirWritten = 0;
  const double mid3v2 = MedianMs(kRounds, sync, [&] {
    long long c = 0, w = 0;
    const long long before = DiskBytesWritten(theirs.path());
    failed |= !Run("mid3v2", QStringList{"-a", artist()} + theirFiles, c, w);
    sync();
    theirWritten = std::max(theirWritten, DiskBytesWritten(theirs.path()) - before);
  });
  if (failed) {
    std::fprintf(stderr, "bench_inplace: a tool failed\n");
    return 1;
  }
  const long long tags = TagBytes(ourFiles);
  std::printf(
      "set --v2 --artist + sync, %d files of %d MB tagged by mutagen: melotag-cli %.1f ms, "
      "mid3v2 -a + sync %.1f ms, ratio %.3f (target <= %.1f)\n",
      kFiles, kMegabytes, melotag, mid3v2, melotag / mid3v2, kTarget);
  std::printf(
      "bytes melotag-cli wrote in that pass (most of %d rounds, its wchar): %lld for %lld bytes of "
      "new tags, ratio %.3f (target <= %.1f)\n",
      kRounds, wchar, tags, double(wchar) / double(tags), kBytesTarget);
  std::printf(
      "bytes the disk wrote for that pass, file system records included: melotag-cli %lld, "
      "mid3v2 %lld, ratio to the new tags %.3f (for reference)\n",
      written, theirWritten, double(written) / double(tags));
  // A one-field edit needs a block or two of each file and its share of the journal.
  constexpr double kFileTarget = 16384;
  std::printf(
      "bytes the disk wrote a file (whole disk, all writers): melotag-cli %.0f, mid3v2 %.0f; "
      "melotag-cli's write_bytes a file (whole folios it dirtied) %.0f; ratio of the disk's to 16 "
      "KiB %.3f (target <= 1.0)\n",
      double(written) / kFiles, double(theirWritten) / kFiles, double(writeBytes) / kFiles,
      double(written) / kFiles / kFileTarget);
  return 0;
}
