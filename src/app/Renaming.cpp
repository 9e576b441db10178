#include "Renaming.h"

#include <QLineEdit>
#include <QScopeGuard>

#include <cerrno>

#include "FileList.h"
#include "FileNames.h"
#include "FolderTree.h"
#include "RenamePlan.h"
#include "TagOptions.h"
#include "TitleList.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

}  // namespace

TRenaming::TRenaming(IWindow& window, Ui::TMainForm& ui, TFileList& list, TFolderTree& tree,
                     const TTitleList& titles, const TTagOptions& options)
    : TConcern(window, ui),
      FFileList(list),
      FFolderTree(tree),
      FTitleList(titles),
      FTagOptions(options) {}

void TRenaming::RenameFiles() {
  if (!FFileList.Check()) return;
  TFileList& list = FFileList;
  const int n = list.Count();
  FWindow.StartProgress(n);
  const auto hideBar = qScopeGuard([this] { FWindow.EndProgress(); });
  const QStringList lines = FTitleList.Lines();
  if (lines.isEmpty()) {
    FWindow.ShowMsg("TitleList is Empty !");
    return;
  }
  if (lines.size() != n) {
    FWindow.ShowMsg("FileList count <> TitleList count !");
    return;
  }
  if (FWindow.MsgDlg("Are you sure want to change filename by TitltList ?", mtConfirmation,
                     Btn(mbYes) | Btn(mbNo)) == mrNo)
    return;

  QList<QByteArray> paths;
  paths.reserve(n);
  for (int i = 0; i < n; ++i) paths.append(list.Path(i));
  const QList<editor::TRenameStep> steps = editor::PlanRenames(paths, lines);
  const QString renameWord = FWindow.LookupText("Rename");
  QStringList failures;
  for (int i = 0; i < n; ++i) {
    const editor::TRenameStep& step = steps[i];
    if (step.Problem == editor::TNameProblem::None) {
      FWindow.ShowStatus(renameWord + lines[i] + ".mp3");
      if (const int error = editor::RenameNoReplace(step.OldPath, step.NewPath); error == 0)
        paths[i] = step.NewPath;
      else
        failures.append(NameText(step.OldPath) + " -> " + NameText(step.NewPath) + ": " +
                        editor::RenameErrorText(error));
    } else if (step.Problem != editor::TNameProblem::Empty) {
      failures.append(NameText(step.OldPath) + ": " + editor::NameProblemText(step.Problem));
    }
    FWindow.SetProgress(i);
  }
  FWindow.SetProgress(0);
  FWindow.ShowFailures(QStringLiteral(" file(s) kept their names:"), failures);
  if (FWindow.MsgDlg("File Changed, Reload Now ?", mtConfirmation, Btn(mbYes) | Btn(mbNo)) != mrYes)
    return;
  list.Relist(paths);
}

void TRenaming::GetAlbumTitle() {
  if (!FFileList.Check()) return;
  if (const std::optional<QString> title =
          editor::AlbumTitleOfFile(FFileList.Path(0), FTagOptions.Options().ReadUnicode))
    FUi.edtAlbumTitle->setText(*title);
}

void TRenaming::RenameFolder() {
  if (!FFileList.Check()) return;
  const QString text = FUi.edtAlbumTitle->text();
  if (text.isEmpty()) {
    FWindow.ShowMsg("Please Input New Folder Name");
    FUi.edtAlbumTitle->setFocus();
    return;
  }
  const QByteArray oldPath = editor::FolderPart(FFileList.Path(0));
  const QByteArray parent = editor::ParentFolder(oldPath);
  const QString oldText = editor::NameCaption(oldPath);
  if (parent.isEmpty()) {
    Dialogs().MessageDlg(mtWarning,
                         "The folder \"" + oldText +
                             "\" is not renamed: it has no parent folder to keep its new name in.",
                         Btn(mbOK), 0);
    return;
  }
  if (const editor::TNameProblem problem = editor::NameProblem(text);
      problem != editor::TNameProblem::None) {
    Dialogs().MessageDlg(mtWarning,
                         "The folder \"" + oldText + "\" is not renamed to \"" + text +
                             "\": " + editor::NameProblemText(problem) + ".",
                         Btn(mbOK), 0);
    FUi.edtAlbumTitle->setFocus();
    return;
  }
  const QByteArray newPath = parent + editor::CaptionName(text, editor::FileNamePart(oldPath));
  const QString newText = editor::NameCaption(newPath);
  if (FWindow.MsgDlgFmt("Are you sure want to rename [%s] folder as [%s] ?", mtConfirmation,
                        Btn(mbYes) | Btn(mbNo), QStringList{oldText, newText}) == mrNo)
    return;

  FFileList.Clear();
  TFolderTree& tree = FFolderTree;
  if (const int error = editor::RenameNoReplace(oldPath, newPath); error != 0) {
    Dialogs().MessageDlg(mtError,
                         "The folder \"" + oldText + "\" cannot be renamed to \"" + newText +
                             "\": " + editor::RenameErrorText(error) + ".",
                         Btn(mbOK), 0);
    tree.Navigate(oldPath);
    FFileList.Scan(oldPath);
    return;
  }
  tree.Navigate(parent);
  tree.Refresh();
  tree.Navigate(newPath);
  FFileList.Scan(newPath);
}
