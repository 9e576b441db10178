// Dialogs for tests: every dialog shown is recorded, answers come from a queue.
// With an empty queue a message dialog answers its first button (OK when it has none) and every
// other dialog is cancelled.
#pragma once

#include <QFont>
#include <QList>
#include <QQueue>

#include <functional>
#include <optional>

#include "Dialogs.h"

enum class TDialogKind {
  MessageDlg,
  ShowMessage,
  OpenFiles,
  SaveFile,
  SelectFolder,
  SelectFont,
  InputQuery,
  ExecDialog
};

// One dialog as it was shown.
struct TShownDialog {
  TDialogKind Kind = TDialogKind::MessageDlg;
  TMsgDlgType Type = mtCustom;  // message dialogs
  QString Caption;              // message dialogs, folder dialog, input box
  QString Text;                 // message text; prompt of the input box
  TMsgDlgButtons Buttons = 0;
  QStringList ButtonCaptions;  // "&Yes", "&No" ... in button order
  int HelpCtx = 0;
  QString Filter;
  QString InitialDir;
  QString DefaultExt;
  QString ProposedName;
  bool MultiSelect = false;
  QString Value;  // the input box's preset text
  QFont Font;     // the font dialog's preset font
};

// One answer: a message result, or accept/cancel with the chosen files, text or font.
struct TDialogAnswer {
  int Result = mrNone;
  bool Accept = true;
  QStringList Files;  // open dialog
  QString Value;      // save dialog's file, folder, input text
  QFont Font;
  // A dialog of the program's own: what the user does in it before it is accepted.
  std::function<void(QDialog&)> Use;

  static TDialogAnswer Button(int result) { return {result, true, {}, {}, {}, {}}; }
  static TDialogAnswer Cancel() { return {mrCancel, false, {}, {}, {}, {}}; }
  static TDialogAnswer Text(const QString& value) { return {mrOk, true, {}, value, {}, {}}; }
  static TDialogAnswer Paths(const QStringList& files) { return {mrOk, true, files, {}, {}, {}}; }
  static TDialogAnswer WithFont(const QFont& font) { return {mrOk, true, {}, {}, font, {}}; }
  static TDialogAnswer Using(std::function<void(QDialog&)> use) {
    return {mrOk, true, {}, {}, {}, std::move(use)};
  }
};

class TScriptedDialogs : public TDialogs {
 public:
  void Push(const TDialogAnswer& answer) { FAnswers.enqueue(answer); }
  qsizetype Pending() const { return FAnswers.size(); }
  const QList<TShownDialog>& Shown() const { return FShown; }
  void ClearShown() { FShown.clear(); }

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
  // Records the dialog's title as its caption; the answer's Use works the dialog, which is
  // then accepted.
  bool ExecDialog(QDialog& dialog) override;

 private:
  // Records the dialog and takes the next answer, if any.
  std::optional<TDialogAnswer> Record(const TShownDialog& shown);
  // As Record; a cancelling answer gives none.
  std::optional<TDialogAnswer> Accepted(const TShownDialog& shown);

  QQueue<TDialogAnswer> FAnswers;
  QList<TShownDialog> FShown;
};

// Installs dialogs for the life of the object and puts the previous ones back.
class TDialogsScope {
 public:
  explicit TDialogsScope(TDialogs* dialogs) : FPrevious(SetDialogs(dialogs)) {}
  ~TDialogsScope() { SetDialogs(FPrevious); }
  TDialogsScope(const TDialogsScope&) = delete;
  TDialogsScope& operator=(const TDialogsScope&) = delete;

 private:
  TDialogs* FPrevious;
};
