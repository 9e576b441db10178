#include "LegacyRepair.h"

#include <QStringList>

#include <vector>

#include "BatchUpdate.h"
#include "Dialogs.h"
#include "FileList.h"
#include "FileNames.h"
#include "LegacyText.h"
#include "RepairPreview.h"
#include "TagOptions.h"
#include "TagRepair.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

// A repaired text as the preview shows it: its strings (a description first) apart by " / ",
// empty ones left out.
QString Shown(const QString& text) {
  QStringList parts = text.split(QChar(0));
  parts.removeAll(QString());
  return parts.join(QStringLiteral(" / "));
}

}  // namespace

TLegacyRepair::TLegacyRepair(IWindow& window, Ui::TMainForm& ui, TFileList& list, TFolderTree& tree,
                             TBatchUpdate& batch)
    : TConcern(window, ui),
      FFileList(list),
      FBatchUpdate(batch),
      FTagUndo(std::make_unique<editor::TTagRepairUndo>()),
      FNames(window, list, tree) {}

TLegacyRepair::~TLegacyRepair() = default;

TRepairPreview::TLookup TLegacyRepair::Lookup() const {
  return [this](const QString& word) { return FWindow.LookupText(word); };
}

QString TLegacyRepair::FieldText(const QString& field) const {
  static const QString trailer = QStringLiteral(" (ID3v1)");
  if (field.endsWith(trailer)) return FWindow.LookupText(field.chopped(trailer.size())) + trailer;
  return FWindow.LookupText(field);
}

QList<QByteArray> TLegacyRepair::ListedPaths() const {
  return FFileList.Paths();
}

// --- Tags

void TLegacyRepair::RepairTags() {
  if (!FFileList.Check()) return;
  const QList<QByteArray> paths = ListedPaths();
  std::vector<editor::TTagRepairFile> files;
  files.reserve(paths.size());
  bool any = false;
  for (const QByteArray& path : paths) {
    files.push_back(editor::ReadLegacyTags(path));
    any = any || !files.back().Texts.empty();
  }
  if (!any) {
    FWindow.ShowMsg(QStringLiteral("No tag of the listed files holds text in a legacy code page"));
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
  TRepairPreview preview(FWindow.LookupText(QStringLiteral("Repair Legacy Tags")), rows, false,
                         Lookup(), FWindow.Widget());
  if (!Dialogs().ExecDialog(preview)) return;
  const int choice = preview.Choice();

  FBatchUpdate.TagPass(*FTagUndo, QStringLiteral("Tags repaired: "),
                       QStringLiteral(" file(s) not repaired:"),
                       [&](int i, const QByteArray& path) {
                         const editor::TTagRepairFile& file = files[static_cast<size_t>(i)];
                         editor::TPassStep outcome;
                         if (!file.Problem.isEmpty()) {
                           outcome.Failure = file.Problem;
                           return outcome;
                         }
                         if (file.Texts.empty()) return outcome;
                         const editor::TRepairResult result =
                             editor::RepairTags(path, editor::CodePageFor(file, choice), *FTagUndo);
                         outcome.Done = result.Outcome == editor::TRepairOutcome::Repaired;
                         outcome.Dropped = result.Dropped;
                         if (result.Outcome == editor::TRepairOutcome::Failed)
                           outcome.Failure = FBatchUpdate.WriteFailure(path);
                         return outcome;
                       });
}

bool TLegacyRepair::CanUndoTags() const {
  return !FTagUndo->Empty();
}

void TLegacyRepair::UndoTags() {
  FBatchUpdate.UndoPass(*FTagUndo, QStringLiteral("changed since the repair"),
                        QStringLiteral(" file(s) kept their repaired tags:"));
}

// --- File names

void TLegacyRepair::RepairNames() {
  if (!FFileList.Check()) return;
  const QList<QByteArray> paths = ListedPaths();
  if (editor::PlanNameRepairs(paths, editor::kGuessCodePage, true).isEmpty()) {
    FWindow.ShowMsg(QStringLiteral("No listed file or folder has a name in a legacy code page"));
    return;
  }
  const QString fileWord = FWindow.LookupText(QStringLiteral("File name"));
  const QString folderWord = FWindow.LookupText(QStringLiteral("Folder name"));
  const auto rows = [&](int choice, bool folders) {
    QList<TPreviewRow> shown;
    for (const editor::TNameRepair& step : editor::PlanNameRepairs(paths, choice, folders))
      shown.append({editor::OldName(step), step.Folder ? folderWord : fileWord,
                    editor::NewName(step), step.CodePage, !step.NewPath.isEmpty()});
    return shown;
  };
  TRepairPreview preview(FWindow.LookupText(QStringLiteral("Repair File Names")), rows, true,
                         Lookup(), FWindow.Widget());
  if (!Dialogs().ExecDialog(preview)) return;
  FNames.Apply(editor::PlanNameRepairs(paths, preview.Choice(), preview.Folders()),
               QStringLiteral("Names repaired: "));
}

void TLegacyRepair::UndoNames() {
  FNames.Undo();
}
