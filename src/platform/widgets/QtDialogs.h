// The program's dialogs: real Qt windows (QMessageBox, QFileDialog, QFontDialog, QInputDialog),
// modal to the active window.
#pragma once

#include <functional>

#include "Dialogs.h"

class QWidget;

class TQtDialogs : public TDialogs {
 public:
  int MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                 int helpCtx) override;
  void ShowMessage(const QString& text) override;
  bool OpenFiles(const QString& filter, const QString& initialDir, bool multiSelect,
                 QStringList& files) override;
  bool SaveFile(const QString& filter, const QString& initialDir, const QString& defaultExt,
                const QString& proposedName, QString& file) override;
  bool SelectFolder(const QString& caption, const QString& initialDir, QString& folder) override;
  bool SelectFont(QFont& font) override;
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
  bool ExecDialog(QDialog& dialog) override;

  // Called with the help context when the Help button of a message dialog is pressed; the
  // dialog stays open.
  void SetOnHelp(std::function<void(int helpCtx)> onHelp) { FOnHelp = std::move(onHelp); }

 private:
  std::function<void(int)> FOnHelp;
};

// "MP3 files|*.mp3;*.mp2|All|*.*" -> "MP3 files (*.mp3 *.mp2);;All (*)"; a Qt filter unchanged.
QString QtFileFilter(const QString& filter);
