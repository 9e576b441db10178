#include "NameRepair.h"

#include <QSet>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "CodePage.h"
#include "FileNames.h"
#include "LegacyText.h"
#include "TagRepair.h"
#include "UnicodeTag.h"

namespace melotag::editor {

namespace {

std::string_view View(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// The code page in which the name reads as the title (a Unicode title of the file's tags, its
// ".mp3" aside); 0 when there is none.
int CodePageOfTitle(const QByteArray& name, const QString& title) {
  if (title.isEmpty()) return 0;
  const qsizetype dot = name.toLower().lastIndexOf(".mp3");
  const QByteArray stem = dot > 0 ? name.left(dot) : name;
  for (int codePage : LegacyCodePages())
    if (DecodeLegacy(View(stem), codePage) == title) return codePage;
  return 0;
}

// The step for one file or folder whose last component is not UTF-8. A guess takes the code page
// in which the name reads as `title`, if any, else reads the name together with `evidence`, other
// texts written on the same system.
TNameRepair RepairOf(const QByteArray& path, int choice, bool folder,
                     const std::vector<std::string>& evidence = {}, const QString& title = {}) {
  const QByteArray name = FileNamePart(path);
  TNameRepair step;
  step.OldPath = path;
  step.Folder = folder;
  if (choice == kGuessCodePage && CodePageOfTitle(name, title) > 0) {
    step.CodePage = CodePageOfTitle(name, title);
  } else if (choice == kGuessCodePage) {
    std::vector<std::string_view> texts{View(name)};
    texts.insert(texts.end(), evidence.begin(), evidence.end());
    step.CodePage = GuessCodePage(texts).CodePage;
  } else {
    step.CodePage = choice;
  }
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
    // The legacy texts of the file's tags tell more than a short name alone.
    // The file's tags tell more than a short name alone: the legacy texts were written on the
    // same system, a Unicode title (a repaired tag's) is the name's own text.
    std::vector<std::string> evidence;
    TID3v2Text tag;
    // Tags that take more memory than there is tell nothing: the name alone is guessed from.
    if (choice == kGuessCodePage && !CatchAllocationFailure(path, [&] {
                                       for (const TRepairText& text : ReadLegacyTags(path).Texts)
                                         if (text.Legacy) evidence.push_back(text.Bytes);
                                       LoadID3v2Text(TagPath(path), tag);
                                     }).isEmpty()) {
      evidence.clear();
      tag = TID3v2Text();
    }
    TNameRepair step = RepairOf(path, choice, false, evidence, tag.Fields.Text(TField::Title));
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
    // The legacy names of the listed files in the folder were written with it.
    std::vector<std::string> evidence;
    for (const QByteArray& path : paths)
      if (FolderPart(path) == folder && NeedsRepair(path))
        evidence.push_back(FileNamePart(path).toStdString());
    TNameRepair step = RepairOf(folder, choice, true, evidence);
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

QStringList FailureLines(const TNameRepairResult& result) {
  QStringList lines;
  for (const auto& [step, error] : result.Failed)
    lines.append(NameCaption(FileNamePart(step.OldPath)) + " -> " +
                 NameCaption(FileNamePart(step.NewPath)) + ": " + RenameErrorText(error));
  return lines;
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
