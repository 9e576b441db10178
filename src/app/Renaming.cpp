#include "Renaming.h"

#include <QLineEdit>
#include <QScopeGuard>

#include "FileList.h"
#include "FileNames.h"
#include "FolderTree.h"
#include "RenamePlan.h"
#include "TagOptions.h"
#include "TitleList.h"
#include "Workspace.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

}  // namespace

TRenaming::TRenaming(IWindow& window, Ui::TMainForm& ui, editor::TWorkspace& workspace,
                     TFileList& list, TFolderTree& tree, TTitleList& titles,
                     const TTagOptions& options)
    : TConcern(window, ui),
      FWorkspace(workspace),
      FFileList(list),
      FFolderTree(tree),
      FTitleList(titles),
      FTagOptions(options) {}

void TRenaming::RenameFiles() {
  if (!FFileList.Check()) return;
  const int n = FFileList.Count();
  FWindow.StartProgress(n);
  const auto hideBar = qScopeGuard([this] { FWindow.EndProgress(); });
  const QStringList& lines = FTitleList.Read().Lines();
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

  const QList<editor::TRenameOrder> orders =
      editor::RenameOrders(editor::PlanRenames(FWorkspace.Files().Paths(), lines));
  const QString renameWord = FWindow.LookupText("Rename");
  const QList<editor::TRenameOutcome> outcomes =
      FWorkspace.ApplyRenames(orders, false, [&](int i, int, const QByteArray&) {
        if (!orders[i].NewPath.isEmpty()) FWindow.ShowStatus(renameWord + lines[i] + ".mp3");
        FWindow.SetProgress(i);
      });
  QStringList failures;
  for (qsizetype i = 0; i < orders.size(); ++i) {
    const editor::TRenameOrder& order = orders[i];
    const editor::TRenameOutcome& outcome = outcomes[i];
    if (outcome.State == editor::TRenameState::Failed)
      failures.append(NameText(order.OldPath) + " -> " + NameText(order.NewPath) + ": " +
                      outcome.Reason);
    else if (outcome.State == editor::TRenameState::Refused)
      failures.append(NameText(order.OldPath) + ": " + outcome.Reason);
  }
  FWindow.SetProgress(0);
  FWindow.ShowFailures(QStringLiteral(" file(s) kept their names:"), failures);
  if (FWindow.MsgDlg("File Changed, Reload Now ?", mtConfirmation, Btn(mbYes) | Btn(mbNo)) !=
      mrYes) {
    // The list shows the files as they were listed until it is listed anew.
    editor::TFileListing& files = FWorkspace.Files();
    for (qsizetype i = 0; i < orders.size(); ++i)
      if (outcomes[i].State == editor::TRenameState::Renamed)
        files.SetPath(int(i), orders[i].OldPath);
    return;
  }
  FFileList.Relist(FWorkspace.Files().Paths());
}

void TRenaming::GetAlbumTitle() {
  if (!FFileList.Check()) return;
  if (const std::optional<QString> title =
          editor::AlbumTitleOfFile(FFileList.Path(0), FTagOptions.Options().ReadUnicode)) {
    FUi.edtAlbumTitle->setText(*title);
    FUi.edtAlbumTitle->setCursorPosition(0);  // shown from its start
  }
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
