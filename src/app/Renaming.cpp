#include "Renaming.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>

#include <cerrno>

#include "CodePage.h"
#include "FileList.h"
#include "FileNames.h"
#include "FolderTree.h"
#include "Main.h"
#include "RenamePlan.h"
#include "TagOptions.h"
#include "TitleList.h"
#include "VornMultiDD.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

}  // namespace

void TRenaming::RenameFiles() {
  if (!FForm.CheckFileList()) return;
  TFileList& list = FForm.FileList();
  const int n = list.Count();
  QProgressBar* bar = FForm.FProgressBar;
  bar->setMaximum(n);
  bar->setValue(0);
  bar->setVisible(true);
  const auto hideBar = qScopeGuard([bar] {
    bar->setValue(0);
    bar->setVisible(false);
  });
  const QStringList lines = FForm.TitleList().Lines();
  if (lines.isEmpty()) {
    FForm.ShowMsg("TitleList is Empty !");
    return;
  }
  if (lines.size() != n) {
    FForm.ShowMsg("FileList count <> TitleList count !");
    return;
  }
  if (FForm.MsgDlg("Are you sure want to change filename by TitltList ?", mtConfirmation,
                   Btn(mbYes) | Btn(mbNo)) == mrNo)
    return;

  QList<QByteArray> paths;
  paths.reserve(n);
  for (int i = 0; i < n; ++i) paths.append(list.Path(i));
  const QList<editor::TRenameStep> steps = editor::PlanRenames(paths, lines);
  const QString renameWord = FForm.LookupText("Rename");
  QStringList failures;
  for (int i = 0; i < n; ++i) {
    const editor::TRenameStep& step = steps[i];
    if (step.Problem == editor::TNameProblem::None) {
      FForm.ShowStatus(renameWord + lines[i] + ".mp3");
      if (const int error = editor::RenameNoReplace(step.OldPath, step.NewPath); error == 0)
        paths[i] = step.NewPath;
      else
        failures.append(NameText(step.OldPath) + " -> " + NameText(step.NewPath) + ": " +
                        editor::RenameErrorText(error));
    } else if (step.Problem != editor::TNameProblem::Empty) {
      failures.append(NameText(step.OldPath) + ": " + editor::NameProblemText(step.Problem));
    }
    bar->setValue(i);
  }
  bar->setValue(0);
  FForm.ShowFailures(QStringLiteral(" file(s) kept their names:"), failures);
  if (FForm.MsgDlg("File Changed, Reload Now ?", mtConfirmation, Btn(mbYes) | Btn(mbNo)) != mrYes)
    return;
  list.Relist(paths);
}

void TRenaming::GetAlbumTitle() {
  if (!FForm.CheckFileList()) return;
  FForm.CurrentFileName = FForm.FileList().Path(0);
  if (const std::optional<QString> title =
          editor::AlbumTitleOfFile(FForm.CurrentFileName, FForm.TagOptions().Options().ReadUnicode))
    FUi.edtAlbumTitle->setText(*title);
}

void TRenaming::RenameFolder() {
  if (!FForm.CheckFileList()) return;
  const QString text = FUi.edtAlbumTitle->text();
  if (text.isEmpty()) {
    FForm.ShowMsg("Please Input New Folder Name");
    FUi.edtAlbumTitle->setFocus();
    return;
  }
  const QByteArray oldPath = editor::FolderPart(FForm.FileList().Path(0));
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
  if (FForm.VornMsgBox1->MsgDlgFmt(EncodeText("Are you sure want to rename [%s] folder as [%s] ?"),
                                   mtConfirmation, Btn(mbYes) | Btn(mbNo), 0,
                                   {EncodeText(oldText), EncodeText(newText)}, "0") == mrNo)
    return;

  FForm.FileList().Clear();
  TFolderTree& tree = FForm.FolderTree();
  if (const int error = editor::RenameNoReplace(oldPath, newPath); error != 0) {
    Dialogs().MessageDlg(mtError,
                         "The folder \"" + oldText + "\" cannot be renamed to \"" + newText +
                             "\": " + editor::RenameErrorText(error) + ".",
                         Btn(mbOK), 0);
    tree.Navigate(oldPath);
    FForm.ScanFolder(oldPath);
    return;
  }
  tree.Navigate(parent);
  tree.Refresh();
  tree.Navigate(newPath);
  FForm.ScanFolder(newPath);
}
