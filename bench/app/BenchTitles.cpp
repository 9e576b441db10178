// Figures of the title list and the renaming, through the window's commands on the offscreen
// platform (the box shown and updated, its events processed):
// - each title tool, Big5ToGbk and GbkToBig5 on 10,000 and on 100,000 lines: the ratio of the two
//   times shows whether the cost grows with the lines or faster;
// - renaming 1,000 files after the title list against `mv -n` run by one shell loop on the same
//   files.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "BenchTiming.h"
#include "CodePage.h"
#include "FileList.h"
#include "FileNames.h"
#include "Main.h"
#include "ScriptedDialogs.h"
#include "TitleList.h"
#include "WindowBench.h"

namespace {

constexpr int kSmall = 10000;
constexpr int kLarge = 100000;
constexpr int kTarget = 12;
constexpr int kRenamed = 1000;

// Median of `rounds` runs of `run` after `prepare` (not timed), in milliseconds; the events each
// posts are handled within its time.
double Median(const std::function<void()>& prepare, const std::function<void()>& run, int rounds) {
  return MedianMs(
      rounds,
      [&] {
        prepare();
        QCoreApplication::processEvents();
      },
      [&] {
        run();
        QCoreApplication::processEvents();
      });
}

// Title lines of Big5 text and ASCII, as the code page 950 reads them.
QStringList Big5Lines(int count) {
  QStringList lines;
  lines.reserve(count);
  for (int i = 0; i < count; ++i)
    lines << QString::fromUtf8("%1 中文歌曲 Song 並國 %2").arg(i % 97).arg(i);
  return lines;
}

// Runs the shell line and answers its exit status.
int Shell(const QString& command) {
  return std::system(QFile::encodeName(command).constData());
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  qputenv("MELOTAG_CODEPAGE", "950");
  QApplication app(argc, argv);
  QuietSizeHintWarnings();
  TScriptedDialogs dialogs;
  TDialogsScope scope(&dialogs);
  TMainForm form;
  form.show();
  QCoreApplication::processEvents();
  TTitleList& titles = form.TitleList();
  auto* memo = form.findChild<QPlainTextEdit*>("Memo1");

  QTemporaryDir dir;
  const struct {
    const char* Name;
    const char* Action;
  } tools[] = {
      {"ItemNo", "actItemNo"},
      {"Mark", "actMark"},
      {"DelCharacter", "actDelCharacter"},
      {"DelCharacterRight", "actDelCharacterRight"},
      {"Clear", "actClearTitleList"},
      {"Undo", "actUndo"},
      {"CreateByFilename", "actCreateByFilename"},
      {"AddTitleList", "actAddTitleList"},
      {"Big5ToGbk", "actBig52GB"},
      {"GbkToBig5", "actGb2Big5"},
  };
  for (const auto& tool : tools) {
    double times[2] = {};
    for (int size : {kSmall, kLarge}) {
      const QStringList lines = Big5Lines(size);
      const QString file = dir.filePath(QString("titles%1.txt").arg(size));
      if (!QFile::exists(file)) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) return 1;
        for (const QString& line : lines) out.write((EncodeText(line) + "\r\n").c_str());
      }
      QList<melotag::editor::TFileEntry> entries;
      const QByteArray action = tool.Action;
      auto prepare = [&] {
        titles.SetLines(lines);
        form.TitleList().ClearUndo();
        // The undo copy of the lines: what the clear tool leaves.
        if (action == "actUndo") form.findChild<QAction*>("actClearTitleList")->trigger();
        if (action == "actMark") dialogs.Push(TDialogAnswer::Text("-"));
        if (action == "actAddTitleList") dialogs.Push(TDialogAnswer::Paths({file}));
        if (action == "actCreateByFilename" && form.FileList().Count() != size) {
          form.FileList().Clear();
          entries.clear();
          for (int i = 0; i < size; ++i)
            entries.append({"/music/" + QByteArray::number(i) + " Song.mp3",
                            QString::number(i) + " Song.mp3", 1});
          form.FileList().Add(entries);
        }
      };
      auto* trigger = form.findChild<QAction*>(tool.Action);
      times[size == kLarge] = Median(
          prepare, [&] { trigger->trigger(); }, size == kLarge ? 5 : 9);
      const int expected = action == "actClearTitleList" ? 0 : size;
      if (titles.LineCount() != expected || memo->document()->isEmpty() != (expected == 0)) {
        std::fprintf(stderr, "%s left %d lines\n", tool.Name, titles.LineCount());
        return 1;
      }
    }
    std::printf(
        "title tool %s, 100,000 lines against 10,000 (box update included): %.1f ms, "
        "%.1f ms, ratio %.2f (target <= %d)\n",
        tool.Name, times[1], times[0], times[1] / times[0], kTarget);
  }
  form.FileList().Clear();

  // Renaming 1,000 files: the window's command against one shell loop of `mv -n` over the same
  // names; before each run the files get their old names back (not timed).
  const QString folder = dir.filePath("rename");
  QDir().mkpath(folder);
  QStringList oldNames, newNames;
  for (int i = 0; i < kRenamed; ++i) {
    oldNames << QString::fromUtf8("Track %1 - 舊歌 'x'.mp3").arg(i, 4, 10, QChar('0'));
    newNames << QString::fromUtf8("%1 新歌 \"y\"").arg(i, 4, 10, QChar('0'));
    QFile file(folder + "/" + oldNames.last());
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(417, '\0')) != 417) return 1;
  }
  QFile pairs(dir.filePath("pairs"));
  if (!pairs.open(QIODevice::WriteOnly)) return 1;
  for (int i = 0; i < kRenamed; ++i)
    pairs.write((oldNames[i] + "|" + newNames[i] + ".mp3\n").toUtf8());
  pairs.close();
  // One shell loop, read by bash from a file so that no quoting stands between.
  QFile script(dir.filePath("mv-loop.sh"));
  if (!script.open(QIODevice::WriteOnly)) return 1;
  script.write(("cd '" + folder +
                "' || exit 1\nwhile IFS='|' read -r from to; do mv -n -- \"$from\" "
                "\"$to\"; done < '" +
                dir.filePath("pairs") + "'\n")
                   .toUtf8());
  script.close();
  int renamed = 0;
  auto restore = [&] {
    renamed = 0;
    for (int i = 0; i < kRenamed; ++i)
      QFile::rename(folder + "/" + newNames[i] + ".mp3", folder + "/" + oldNames[i]);
  };
  auto count = [&] {
    for (int i = 0; i < kRenamed; ++i)
      renamed += QFile::exists(folder + "/" + newNames[i] + ".mp3");
  };
  const double melotag = Median(
      [&] {
        restore();
        form.FileList().Clear();
        form.ScanFolder(QFile::encodeName(folder));
        titles.SetLines(newNames);
        dialogs.Push(TDialogAnswer::Button(mrYes));  // are you sure
        dialogs.Push(TDialogAnswer::Button(mrNo));   // reload
      },
      [&] { form.findChild<QAction*>("actRename")->trigger(); }, 3);
  count();
  const int byMelotag = renamed;
  const double shell = Median(
      restore, [&] { Shell("bash '" + script.fileName() + "'"); }, 3);
  count();
  if (byMelotag != kRenamed || renamed != kRenamed) {
    std::fprintf(stderr, "renamed %d and %d files of %d\n", byMelotag, renamed, kRenamed);
    return 1;
  }
  std::printf(
      "rename 1,000 files after the title list: melotag %.1f ms, mv -n shell loop %.1f ms, "
      "ratio %.2f (target <= 1.0)\n",
      melotag, shell, melotag / shell);
  return 0;
}
