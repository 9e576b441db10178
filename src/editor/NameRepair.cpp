#include "NameRepair.h"

#include <QSet>

#include <algorithm>
#include <string_view>

#include "CodePage.h"
#include "FileNames.h"
#include "LegacyText.h"

namespace melotag::editor {

namespace {

std::string_view View(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// The step for one file or folder whose last component is not UTF-8.
TNameRepair RepairOf(const QByteArray& path, int choice, bool folder) {
  const QByteArray name = FileNamePart(path);
  TNameRepair step;
  step.OldPath = path;
  step.Folder = folder;
  step.CodePage = choice == kGuessCodePage ? GuessCodePage({View(name)}).CodePage : choice;
  const std::optional<QString> text = DecodeLegacy(View(name), step.CodePage);
  if (!text) return step;
  step.Problem = NameProblem(*text);
  if (step.Problem != TNameProblem::None) return step;
  step.NewPath = JoinPath(FolderPart(path), text->toUtf8());
  return step;
}

bool NeedsRepair(const QByteArray& path) {
  const QByteArray name = FileNamePart(path);
  return !name.isEmpty() && !IsUtf8(View(name));
}

TNameRepairResult Rename(const QList<TNameRepair>& steps, bool back) {
  TNameRepairResult result;
  for (qsizetype i = 0; i < steps.size(); ++i) {
    const TNameRepair& step = steps[back ? steps.size() - 1 - i : i];
    if (step.NewPath.isEmpty()) continue;
    TNameRepair done = step;
    if (back) std::swap(done.OldPath, done.NewPath);
    if (const int error = RenameNoReplace(done.OldPath, done.NewPath))
      result.Failed.append({step, error});
    else
      result.Done.append(done);
  }
  return result;
}

}  // namespace

QList<TNameRepair> PlanNameRepairs(const QList<QByteArray>& paths, int choice, bool folders) {
  QList<TNameRepair> plan;
  QSet<QByteArray> seen;
  for (const QByteArray& path : paths) {
    if (!NeedsRepair(path) || seen.contains(path)) continue;
    seen.insert(path);
    TNameRepair step = RepairOf(path, choice, false);
    if (step.NewPath != step.OldPath) plan.append(step);
  }
  if (!folders) return plan;

  QList<QByteArray> found;
  QSet<QByteArray> seenFolders;
  for (const QByteArray& path : paths) {
    const QByteArray folder = FolderPart(path);
    if (folder == "/" || !NeedsRepair(folder) || seenFolders.contains(folder)) continue;
    seenFolders.insert(folder);
    found.append(folder);
  }
  // Inner folders before the folders they are in; otherwise in list order.
  std::stable_sort(found.begin(), found.end(), [](const QByteArray& a, const QByteArray& b) {
    return a.count('/') > b.count('/');
  });
  for (const QByteArray& folder : found) {
    TNameRepair step = RepairOf(folder, choice, true);
    if (step.NewPath != step.OldPath) plan.append(step);
  }
  return plan;
}

QString OldName(const TNameRepair& step) {
  return NameCaption(FileNamePart(step.OldPath));
}

QString NewName(const TNameRepair& step) {
  return QString::fromUtf8(FileNamePart(step.NewPath));
}

TNameRepairResult ApplyNameRepairs(const QList<TNameRepair>& plan) {
  return Rename(plan, false);
}

TNameRepairResult UndoNameRepairs(const QList<TNameRepair>& done) {
  return Rename(done, true);
}

QList<QByteArray> PathsAfter(const QList<QByteArray>& paths, const QList<TNameRepair>& done) {
  QList<QByteArray> after = paths;
  for (QByteArray& path : after) {
    for (const TNameRepair& step : done) {
      if (path == step.OldPath)
        path = step.NewPath;
      else if (step.Folder && path.startsWith(step.OldPath + '/'))
        path = step.NewPath + path.mid(step.OldPath.size());
    }
  }
  return after;
}

}  // namespace melotag::editor
