// Every modal dialog the program shows goes through one TDialogs object: the Qt one in the
// program, a scripted one in tests.
#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

class QDialog;

enum TMsgDlgType {
  mtWarning = 0,
  mtError = 1,
  mtInformation = 2,
  mtConfirmation = 3,
  mtCustom = 4
};

// Buttons: one bit per button, in this order.
enum TMsgDlgBtn {
  mbYes = 0,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp
};
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons Btn(TMsgDlgBtn b) {
  return 1u << b;
}

// Results of the message dialog.
enum TModalResult {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10
};

class TDialogs {
 public:
  virtual ~TDialogs() = default;

  // The message dialog: kind (caption and icon), text, buttons, help context -> result.
  virtual int MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                         int helpCtx) = 0;
  // The plain message: text with an OK button, the application's title as caption.
  virtual void ShowMessage(const QString& text) = 0;
  // File open dialog; false when cancelled. A filter is written the Qt way
  // ("MP3 files (*.mp3);;All files (*)") or as "description|patterns|description|patterns". `files`
  // gets the chosen paths in the dialog's order.
  virtual bool OpenFiles(const QString& filter, const QString& initialDir, bool multiSelect,
                         QStringList& files) = 0;
  // File save dialog; false when cancelled.
  virtual bool SaveFile(const QString& filter, const QString& initialDir, const QString& defaultExt,
                        const QString& proposedName, QString& file) = 0;
  // Folder browser; false when cancelled.
  virtual bool SelectFolder(const QString& caption, const QString& initialDir, QString& folder) = 0;
  // Font dialog preset with `font`; false when cancelled.
  virtual bool SelectFont(QFont& font) = 0;
  // One-line input box; false when cancelled.
  virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
  // A dialog of the program's own (a preview with its choices): shown modally; true when it was
  // accepted, its controls then holding the user's choices.
  virtual bool ExecDialog(QDialog& dialog) = 0;
};

// Caption of the message dialog of a kind: "Warning", "Error", "Information", "Confirm"; the
// application's title (QGuiApplication::applicationDisplayName) for mtCustom.
QString MsgDlgCaption(TMsgDlgType type);
// Caption ("&Yes", "N&o to All" ...) and result (6, 9 ...; 0 for Help) of a button.
QString MsgDlgButtonCaption(TMsgDlgBtn button);
int MsgDlgButtonResult(TMsgDlgBtn button);
// The buttons of a set, in button order.
QList<TMsgDlgBtn> MsgDlgButtonList(TMsgDlgButtons buttons);

// The process's current dialogs. Never null once the program or a test has set one up.
TDialogs& Dialogs();
// Installs `dialogs` (not owned) and answers the previous one.
TDialogs* SetDialogs(TDialogs* dialogs);
