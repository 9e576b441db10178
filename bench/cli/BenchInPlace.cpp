// Tag writes that cost the tag, not the file: 200 files of 4 MB as mutagen leaves them (ID3v2.3,
// UTF-16 texts, a 30 KB cover, mutagen's padding), the artist of all of them changed by
// `melotag-cli set --v2 --artist` and by `mid3v2 -a`, each followed by `sync`; and the bytes the
// melotag-cli process wrote against the bytes of the new tags.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "ID3v2Frames.h"

namespace {

constexpr int kFiles = 200;
constexpr int kMegabytes = 4;
constexpr int kRounds = 3;
constexpr double kTarget = 0.5;
constexpr double kBytesTarget = 2.0;

bool MakeFiles(const QString& folder) {
  return QProcess::execute("/usr/bin/python3", {MUTAGEN_FILES, folder, QString::number(kFiles),
                                                QString::number(kMegabytes)}) == 0;
}

QStringList Mp3s(const QString& folder) {
  QStringList files;
  for (const QString& name : QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name))
    files << QDir(folder).filePath(name);
  return files;
}

// Runs a program to its end; its "write_bytes" (what it made the disk write) and "wchar" (what it
// wrote through the system), read while it is a zombie; false when it failed.
bool Run(const QString& program, const QStringList& arguments, long long& written,
         long long& wchar) {
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
  while (io >> key >> value) {
    if (key == "write_bytes:") written = value;
    if (key == "wchar:") wchar = value;
  }
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
  long long written = 0, wchar = 0;
  int round = 0;
  auto sync = [] { QProcess::execute("sync", {}); };
  // Each round another artist, so that every round changes every file.
  const double melotag = MedianMs(kRounds, sync, [&] {
    long long w = 0, c = 0;
    const QString artist = QString("New Artist %1").arg(round++);
    failed |= !Run(MELOTAG_CLI, QStringList{"set", "--v2", "--artist", artist} + ourFiles, w, c);
    sync();
    written = std::max(written, w);
    wchar = std::max(wchar, c);
  });
  round = 0;
  const double mid3v2 = MedianMs(kRounds, sync, [&] {
    long long w = 0, c = 0;
    failed |= !Run("mid3v2", QStringList{"-a", QString("New Artist %1").arg(round++)} + theirFiles,
                   w, c);
    sync();
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
      "bytes written by that pass: %lld (through the system %lld) for %lld bytes of new tags, "
      "ratio %.3f (target <= %.1f)\n",
      std::max(written, wchar), wchar, tags, double(std::max(written, wchar)) / double(tags),
      kBytesTarget);
  return 0;
}
