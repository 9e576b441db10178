#include "PlayList.h"

#include <sys/stat.h>

#include <cerrno>

#include "FileList.h"
#include "FileNames.h"
#include "FormDialogs.h"
#include "PlayListFile.h"
#include "RenamePlan.h"
#include "TagOptions.h"

namespace editor = melotag::editor;

namespace {

const QString kPlayListFilter = QStringLiteral("m3u files (*.m3u)|*.m3u;|All files|*.*");

// What has that name, a dangling link included: its type bits, 0 for nothing.
mode_t TypeOf(const QByteArray& path) {
  struct stat status;
  return ::lstat(path.constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
}

// A name's text with its line breaks shown as \r and \n, on one line.
QString OneLineCaption(const QByteArray& path) {
  return editor::NameCaption(path)
      .replace(u'\r', QStringLiteral("\\r"))
      .replace(u'\n', QStringLiteral("\\n"));
}

}  // namespace

TPlayList::TPlayList(IWindow& window, Ui::TMainForm& ui, const TFileList& list,
                     const TTagOptions& options, TSaveDialog& saveDialog)
    : TConcern(window, ui), FFileList(list), FTagOptions(options), FSaveDialog(saveDialog) {}

void TPlayList::Create() {
  if (!FFileList.Check()) return;
  const TFileList& list = FFileList;
  const QByteArray first = list.Path(0);
  // Each entry by the exact bytes of its name, so a player finds it whatever the name is; a name
  // with line breaks would make lines of its own and is left out.
  QList<QByteArray> names;
  QStringList leftOut;
  names.reserve(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    const QByteArray name = editor::FileNamePart(list.Path(i));
    if (editor::FitsPlayList(name))
      names.append(name);
    else
      leftOut.append(OneLineCaption(list.Path(i)));
  }

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
  // A link is never written through: refused before the question.
  const auto refuseLink = [&] {
    FWindow.MsgDlgFmt("The play list [%s] is a link: it is not written through a link.", mtError,
                      Btn(mbOK), QStringList{chosen});
  };
  const mode_t type = TypeOf(*path);
  if (type == S_IFLNK) return refuseLink();
  if (type != 0 && FWindow.MsgDlgFmt("File [%s] already exists, Over write ?", mtConfirmation,
                                     Btn(mbYes) | Btn(mbNo), QStringList{chosen}) != mrYes)
    return;
  const int error = editor::WritePlayList(*path, names);
  if (error == ELOOP)
    refuseLink();
  else if (error != 0)
    Dialogs().MessageDlg(mtError,
                         "Cannot create file \"" + chosen + "\". " + editor::ErrorText(error) + ".",
                         Btn(mbOK), 0);
  else
    FWindow.ShowFailures(
        FWindow.LookupText(" file(s) left out of the play list, their names hold a line break:"),
        leftOut);
}
