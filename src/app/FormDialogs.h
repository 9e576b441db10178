// The window's dialog components: their settings live in the window, the dialogs themselves are
// shown through Dialogs().
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "Dialogs.h"

// File open dialog; paths and files must exist. `Files` holds the choice in the dialog's order.
struct TOpenDialog {
  QString Filter;
  QString InitialDir;
  bool MultiSelect = true;
  QStringList Files;

  bool Execute() {
    Files.clear();
    return Dialogs().OpenFiles(Filter, InitialDir, MultiSelect, Files);
  }
};

// File save dialog; `FileName` proposes a name and receives the choice.
struct TSaveDialog {
  QString Filter;
  QString InitialDir;
  QString DefaultExt;
  QString FileName;

  bool Execute() {
    const QString proposed = FileName;
    return Dialogs().SaveFile(Filter, InitialDir, DefaultExt, proposed, FileName);
  }
};

// Font dialog, preset with `Font`, which receives the choice.
struct TFontDialog {
  QFont Font;

  bool Execute() { return Dialogs().SelectFont(Font); }
};

// The dialogs' settings of the window.
namespace MainDialogs {
// The file dialog's filter for adding files.
inline const QString AddFilesFilter = QStringLiteral("mp3 files (*.mp3)|*.mp3");
// The title of the folder dialog.
inline const QString SelectDirectoryCaption = QStringLiteral("SelectDirectory");
// The help document beside the program: the first that exists is opened.
inline const QStringList HelpFiles = {QStringLiteral("Melotag.chm"),
                                      QStringLiteral("Melotag.html")};
}  // namespace MainDialogs
