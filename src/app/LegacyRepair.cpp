#include "LegacyRepair.h"

#include <QStringList>

#include <vector>

#include "BatchUpdate.h"
#include "Dialogs.h"
#include "FileList.h"
#include "FileNames.h"
#include "FolderTree.h"
#include "LegacyText.h"
#include "Main.h"
#include "RepairPreview.h"
#include "TagError.h"
#include "TagFile.h"
#include "TagOptions.h"
#include "TagRepair.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

// A file the tag layer failed on: its name, what failed and the system's reason.
QString FailureText(const QByteArray& path, const QString& failed) {
  return NameText(path) + ": " + failed + ": " + editor::TagFailureText(path);
}

// A repaired text as the preview shows it: its strings (a description first) apart by " / ",
// empty ones left out.
QString Shown(const QString& text) {
  QStringList parts = text.split(QChar(0));
  parts.removeAll(QString());
  return parts.join(QStringLiteral(" / "));
}

}  // namespace

TLegacyRepair::TLegacyRepair(TMainForm& form, Ui::TMainForm& ui)
    : TConcern(form, ui), FTagUndo(std::make_unique<editor::TTagRepairUndo>()) {}

TLegacyRepair::~TLegacyRepair() = default;

TRepairPreview::TLookup TLegacyRepair::Lookup() const {
  return [this](const QString& word) { return FForm.LookupText(word); };
}

QString TLegacyRepair::FieldText(const QString& field) const {
  static const QString trailer = QStringLiteral(" (ID3v1)");
  if (field.endsWith(trailer)) return FForm.LookupText(field.chopped(trailer.size())) + trailer;
  return FForm.LookupText(field);
}

QList<QByteArray> TLegacyRepair::ListedPaths() const {
  return FForm.FileList().Paths();
}

// --- Tags

void TLegacyRepair::RepairTags() {
  if (!FForm.CheckFileList()) return;
  const QList<QByteArray> paths = ListedPaths();
  std::vector<editor::TTagRepairFile> files;
  files.reserve(paths.size());
  bool any = false;
  for (const QByteArray& path : paths) {
    files.push_back(editor::ReadLegacyTags(path));
    any = any || !files.back().Texts.empty();
  }
  if (!any) {
    FForm.ShowMsg(QStringLiteral("No tag of the listed files holds text in a legacy code page"));
    return;
  }
  const auto rows = [&](int choice, bool) {
    QList<TPreviewRow> shown;
    for (const editor::TTagRepairFile& file : files) {
      const QString name = NameText(file.Path);
      if (!file.Problem.isEmpty()) {
        shown.append({name, QString(), file.Problem, 0, false});
        continue;
      }
      if (file.Texts.empty()) continue;
      const int codePage = editor::CodePageFor(file, choice);
      for (const editor::TRepairText& text : file.Texts) {
        const std::optional<QString> repaired = editor::RepairedText(text, codePage);
        shown.append({name, FieldText(text.Field), repaired ? Shown(*repaired) : QString(),
                      text.Legacy ? codePage : 0, repaired.has_value()});
      }
    }
    return shown;
  };
  TRepairPreview preview(FForm.LookupText(QStringLiteral("Repair Legacy Tags")), rows, false,
                         Lookup(), &FForm);
  if (!Dialogs().ExecDialog(preview)) return;
  const int choice = preview.Choice();

  // The old tags of this pass replace those of the one before.
  FTagUndo->Clear();
  TBatchUpdate& batch = FForm.BatchUpdate();
  const int count = static_cast<int>(files.size());
  int repaired = 0, dropped = 0;
  QStringList failures;
  batch.StartProgress(count);
  const QString failure = QStringLiteral("Can not save tag to the file");
  const bool ended = batch.EachFile(count, failure, [&](int i, const QByteArray& path) {
    const editor::TTagRepairFile& file = files[static_cast<size_t>(i)];
    if (!file.Problem.isEmpty()) {
      failures.append(NameText(path) + ": " + file.Problem);
      return;
    }
    if (file.Texts.empty()) return;
    tagfile::ClearError();
    const editor::TRepairResult result =
        editor::RepairTags(path, editor::CodePageFor(file, choice), *FTagUndo);
    if (result.Outcome == editor::TRepairOutcome::Failed)
      failures.append(FailureText(path, FForm.LookupText(failure)));
    repaired += result.Outcome == editor::TRepairOutcome::Repaired;
    dropped += result.Dropped;
  });
  if (ended) batch.EndProgress();
  FForm.lvIniFileListChange();
  FForm.ShowStatus(FForm.LookupText(QStringLiteral("Tags repaired: ")) + QString::number(repaired) +
                   "  " + FForm.TagOptions().DroppedText(dropped));
  FForm.ShowFailures(QStringLiteral(" file(s) not repaired:"), failures);
}

bool TLegacyRepair::CanUndoTags() const {
  return !FTagUndo->Empty();
}

void TLegacyRepair::UndoTags() {
  FForm.BatchUpdate().UndoPass(*FTagUndo, QStringLiteral("changed since the repair"),
                               QStringLiteral(" file(s) kept their repaired tags:"));
}

// --- File names

void TLegacyRepair::RepairNames() {
  if (!FForm.CheckFileList()) return;
  const QList<QByteArray> paths = ListedPaths();
  if (editor::PlanNameRepairs(paths, editor::kGuessCodePage, true).isEmpty()) {
    FForm.ShowMsg(QStringLiteral("No listed file or folder has a name in a legacy code page"));
    return;
  }
  const QString fileWord = FForm.LookupText(QStringLiteral("File name"));
  const QString folderWord = FForm.LookupText(QStringLiteral("Folder name"));
  const auto rows = [&](int choice, bool folders) {
    QList<TPreviewRow> shown;
    for (const editor::TNameRepair& step : editor::PlanNameRepairs(paths, choice, folders))
      shown.append({editor::OldName(step), step.Folder ? folderWord : fileWord,
                    editor::NewName(step), step.CodePage, !step.NewPath.isEmpty()});
    return shown;
  };
  TRepairPreview preview(FForm.LookupText(QStringLiteral("Repair File Names")), rows, true,
                         Lookup(), &FForm);
  if (!Dialogs().ExecDialog(preview)) return;
  const editor::TNameRepairResult result =
      editor::ApplyNameRepairs(editor::PlanNameRepairs(paths, preview.Choice(), preview.Folders()));
  FNamesDone = result.Done;
  Relist(result.Done);
  FForm.ShowStatus(FForm.LookupText(QStringLiteral("Names repaired: ")) +
                   QString::number(result.Done.size()));
  ReportNameFailures(result);
}

void TLegacyRepair::UndoNames() {
  if (FNamesDone.isEmpty()) return;
  const editor::TNameRepairResult result = editor::UndoNameRepairs(FNamesDone);
  FNamesDone.clear();
  Relist(result.Done);
  FForm.ShowStatus(FForm.LookupText(QStringLiteral("Names restored: ")) +
                   QString::number(result.Done.size()));
  ReportNameFailures(result);
}

void TLegacyRepair::Relist(const QList<editor::TNameRepair>& done) {
  FForm.FileList().Relist(editor::PathsAfter(ListedPaths(), done));
  bool folders = false;
  for (const editor::TNameRepair& step : done) folders = folders || step.Folder;
  if (!folders) return;
  // The tree shows the folders under their names now, the current one still current.
  FForm.CurrentFolder = editor::PathsAfter({FForm.CurrentFolder}, done).first();
  TFolderTree& tree = FForm.FolderTree();
  tree.Refresh();
  tree.Navigate(FForm.CurrentFolder);
}

void TLegacyRepair::ReportNameFailures(const editor::TNameRepairResult& result) {
  FForm.ShowFailures(QStringLiteral(" name(s) not changed:"), editor::FailureLines(result));
}
