#include "ShellEntry.h"

#include <QCoreApplication>
#include <QFile>

#include "DesktopEntry.h"
#include "Dialogs.h"
#include "ui_Main.h"

namespace {

// A failure ends the command with its message: the path and the reason.
void Report(const QString& error) {
  if (!error.isEmpty()) Dialogs().MessageDlg(mtError, error, Btn(mbOK), 0);
}

}  // namespace

void TShellEntry::Register() {
  Report(melotag::editor::RegisterShellVerb(
      QStringLiteral("mp3"), FUi.gbxEdit->title(),
      QFile::encodeName(QCoreApplication::applicationFilePath())));
}

void TShellEntry::Unregister() {
  Report(melotag::editor::UnregisterShellVerb(QStringLiteral("mp3"), FUi.gbxEdit->title()));
}
