#include "NamePass.h"

#include "FileList.h"
#include "FolderTree.h"
#include "Main.h"

namespace editor = melotag::editor;

void TNamePass::Apply(const QList<editor::TNameRepair>& renames, const QString& done) {
  const editor::TNameRepairResult result = editor::ApplyNameRepairs(renames);
  FDone = result.Done;
  Show(result, done);
}

void TNamePass::Undo() {
  if (FDone.isEmpty()) return;
  const editor::TNameRepairResult result = editor::UndoNameRepairs(FDone);
  FDone.clear();
  Show(result, QStringLiteral("Names restored: "));
}

void TNamePass::Show(const editor::TNameRepairResult& result, const QString& done) {
  FForm.FileList().Relist(editor::PathsAfter(FForm.FileList().Paths(), result.Done));
  bool folders = false;
  for (const editor::TNameRepair& step : result.Done) folders = folders || step.Folder;
  if (folders) {
    // The tree shows the folders under their names now, the current one still current.
    FForm.CurrentFolder = editor::PathsAfter({FForm.CurrentFolder}, result.Done).first();
    TFolderTree& tree = FForm.FolderTree();
    tree.Refresh();
    tree.Navigate(FForm.CurrentFolder);
  }
  FForm.ShowStatus(FForm.LookupText(done) + QString::number(result.Done.size()));
  FForm.ShowFailures(QStringLiteral(" name(s) not changed:"), editor::FailureLines(result));
}
