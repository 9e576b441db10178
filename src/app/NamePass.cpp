#include "NamePass.h"

#include "FileList.h"
#include "FolderTree.h"

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
  FFileList.Relist(editor::PathsAfter(FFileList.Paths(), result.Done),
                   editor::PathsAfter(FFileList.ScanRoots(), result.Done));
  bool folders = false;
  for (const editor::TNameRepair& step : result.Done) folders = folders || step.Folder;
  if (folders) {
    // The tree shows the folders under their names now, the current one still current.
    QByteArray& folder = FFileList.CurrentFolder;
    folder = editor::PathsAfter({folder}, result.Done).first();
    FFolderTree.Refresh();
    FFolderTree.Navigate(folder);
  }
  FWindow.ShowStatus(FWindow.LookupText(done) + QString::number(result.Done.size()));
  FWindow.ShowFailures(QStringLiteral(" name(s) not changed:"), editor::FailureLines(result));
}
