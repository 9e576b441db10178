// Tag editing figures of the main window, on the offscreen platform:
// - a batch write pass over 1,000 small tagged files (Artist ticked, both tags written) through
//   the real window, against mutagen making the same change (ID3v2.3 artist and the ID3v1
//   trailer) to a copy of the same files in one Python process, followed by `sync`;
// - the time from selecting a file in the list to the tag panel filled.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FileList.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "Main.h"
#include "ScriptedDialogs.h"
#include "WindowBench.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kSelections = 201;
constexpr double kTarget = 0.5;

std::string BigEndian(uint32_t value) {
  return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

// A text frame of version 2.3: ID, size, flags, encoding byte 0, text.
std::string Frame(const char* id, const std::string& text) {
  return id + BigEndian(uint32_t(text.size() + 1)) + std::string(3, '\0') + text;
}

// A small tagged MP3 file: an ID3v2.3 tag with 1 KiB of padding (as mutagen and id3v2 leave
// one), four MPEG frames, an ID3v1 trailer.
QByteArray TaggedFile(int i) {
  const std::string title = "Title " + std::to_string(i);
  const std::string body = Frame("TIT2", title) + Frame("TPE1", "Old Artist") +
                           Frame("TALB", "Album") + Frame("TRCK", std::to_string(i % 20 + 1)) +
                           std::string(1024, '\0');
  const uint32_t size = uint32_t(body.size());
  std::string file = std::string("ID3\3\0\0", 6) +
                     std::string{char((size >> 21) & 0x7F), char((size >> 14) & 0x7F),
                                 char((size >> 7) & 0x7F), char(size & 0x7F)} +
                     body;
  std::string frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\x64';
  for (int f = 0; f < 4; ++f) file += frame;
  std::string trailer(128, '\0');
  trailer.replace(0, 3, "TAG");
  trailer.replace(3, title.size(), title);
  trailer.replace(33, 10, "Old Artist");
  trailer[127] = char(255);
  return QByteArray::fromStdString(file + trailer);
}

bool WriteFolder(const QString& folder) {
  for (int i = 0; i < kFiles; ++i) {
    QFile file(QDir(folder).filePath(QString("Track %1.mp3").arg(i, 4, 10, QChar('0'))));
    const QByteArray data = TaggedFile(i);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return false;
  }
  return true;
}

// Says why the figures cannot be given; the exit status.
int Fail(const char* what) {
  std::fprintf(stderr, "bench_tagedit: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  qputenv("MELOTAG_CODEPAGE", "1252");
  QApplication app(argc, argv);
  QuietSizeHintWarnings();
  TScriptedDialogs dialogs;  // a message would otherwise wait for a user
  TDialogsScope scope(&dialogs);

  QTemporaryDir ours;
  QTemporaryDir theirs;
  if (!ours.isValid() || !theirs.isValid() || !WriteFolder(ours.path()) ||
      !WriteFolder(theirs.path()))
    return Fail("cannot write the files");

  TMainForm form;
  form.show();
  QCoreApplication::processEvents();
  form.ScanFolder(QFile::encodeName(ours.path()));
  if (form.FileList().Count() != kFiles) return Fail("the folder was not listed");
  form.findChild<QLineEdit*>("edtArtist")->setText("Bench Artist");
  if (!form.findChild<QCheckBox*>("cbxArtist")->isChecked()) return Fail("Artist not ticked");

  // Melotag: the pass as the user starts it.
  QElapsedTimer timer;
  timer.start();
  form.findChild<QAction*>("actWriteAllTag")->trigger();
  const double melotag = timer.nsecsElapsed() / 1e6;
  TID3v1 v1;
  TID3v2 v2;
  const std::string sample = QFile::encodeName(ours.filePath("Track 0999.mp3")).toStdString();
  if (!dialogs.Shown().isEmpty() || !v1.LoadFromFile(sample) || !v2.LoadFromFile(sample) ||
      v1.Artist() != "Bench Artist" || v2.Artist() != "Bench Artist" || v2.Title() != "Title 999")
    return Fail("the pass did not write the artist");

  // mutagen: the same change in one process, then sync.
  QProcess python;
  python.start("/usr/bin/python3", {MUTAGEN_ARTIST, theirs.path(), "Bench Artist"});
  if (!python.waitForFinished(600000) || python.exitCode() != 0)
    return Fail(python.readAllStandardError().constData());
  bool ok = false;
  const double mutagen = python.readAllStandardOutput().trimmed().toDouble(&ok);
  if (!ok || mutagen <= 0) return Fail("mutagen gave no time");
  const double ratio = melotag / mutagen;
  std::printf(
      "batch write pass, 1,000 files, Artist into both tags: melotag %.1f ms, mutagen + sync "
      "%.1f ms, ratio %.2f (target <= %.1f)\n",
      melotag, mutagen, ratio, kTarget);

  // Selecting a file to the panel filled (both reads are synchronous in the selection change).
  auto* list = form.findChild<QTreeWidget*>("lvIniFileList");
  std::vector<double> times;
  for (int i = 0; i < kSelections; ++i) {
    QTreeWidgetItem* item = list->topLevelItem((i * 37) % kFiles);
    timer.restart();
    list->setCurrentItem(item);
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  if (form.findChild<QLineEdit*>("ArtistEdit")->text() != "Bench Artist")
    return Fail("the panel was not filled");
  std::printf("select a file to the panel filled: melotag %.3f ms (median of %d), %.3f ms (max)\n",
              times[times.size() / 2], kSelections, times.back());
  return 0;
}
