#include "PlayList.h"

#include <sys/stat.h>

#include "FileList.h"
#include "FileNames.h"
#include "FormDialogs.h"
#include "PlayListFile.h"
#include "RenamePlan.h"
#include "TagOptions.h"

namespace editor = melotag::editor;

namespace {

const QString kPlayListFilter = QStringLiteral("m3u files (*.m3u)|*.m3u;|All files|*.*");

// Anything of that name, a dangling link included.
bool Exists(const QByteArray& path) {
  struct stat status;
  return ::lstat(path.constData(), &status) == 0;
}

}  // namespace

TPlayList::TPlayList(IWindow& window, Ui::TMainForm& ui, const TFileList& list,
                     const TTagOptions& options, TSaveDialog& saveDialog)
    : TConcern(window, ui), FFileList(list), FTagOptions(options), FSaveDialog(saveDialog) {}

void TPlayList::Create() {
  if (!FFileList.Check()) return;
  const TFileList& list = FFileList;
  const QByteArray first = list.Path(0);
  // Each entry by the exact bytes of its name, so a player finds it whatever the name is.
  QList<QByteArray> names;
  names.reserve(list.Count());
  for (int i = 0; i < list.Count(); ++i) names.append(editor::FileNamePart(list.Path(i)));

  TSaveDialog& dialog = FSaveDialog;
  dialog.InitialDir = editor::NameCaption(editor::FolderPart(first));
  dialog.Filter = kPlayListFilter;
  dialog.DefaultExt = QStringLiteral("m3u");
  if (const std::optional<QString> name =
          editor::PlayListNameOfFile(first, FTagOptions.Options().ReadUnicode))
    dialog.FileName = *name;
  if (!dialog.Execute()) return;

  QString chosen = dialog.FileName;
  // A name typed without an extension gets the default one (the Qt dialog adds it itself).
  const QString typedName = chosen.mid(chosen.lastIndexOf(u'/') + 1);
  if (!typedName.isEmpty() && !typedName.contains(u'.')) chosen += "." + dialog.DefaultExt;
  const std::optional<QByteArray> path = editor::PathOfText(chosen);
  if (!path || path->isEmpty()) {
    Dialogs().MessageDlg(mtError,
                         "Cannot create file \"" + chosen + "\". The folder cannot be found.",
                         Btn(mbOK), 0);
    return;
  }
  if (Exists(*path) && FWindow.MsgDlgFmt("File [%s] already exists, Over write ?", mtConfirmation,
                                         Btn(mbYes) | Btn(mbNo), QStringList{chosen}) != mrYes)
    return;
  if (const int error = editor::WritePlayList(*path, names); error != 0)
    Dialogs().MessageDlg(mtError,
                         "Cannot create file \"" + chosen + "\". " + editor::ErrorText(error) + ".",
                         Btn(mbOK), 0);
}
