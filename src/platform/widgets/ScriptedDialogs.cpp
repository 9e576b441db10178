#include "ScriptedDialogs.h"

#include <QDialog>

std::optional<TDialogAnswer> TScriptedDialogs::Record(const TShownDialog& shown) {
  FShown.append(shown);
  if (FAnswers.isEmpty()) return std::nullopt;
  return FAnswers.dequeue();
}

std::optional<TDialogAnswer> TScriptedDialogs::Accepted(const TShownDialog& shown) {
  std::optional<TDialogAnswer> answer = Record(shown);
  if (answer && !answer->Accept) return std::nullopt;
  return answer;
}

int TScriptedDialogs::MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                                 int helpCtx) {
  TShownDialog shown;
  shown.Type = type;
  shown.Caption = MsgDlgCaption(type);
  shown.Text = text;
  shown.Buttons = buttons;
  shown.HelpCtx = helpCtx;
  int first = mrNone;
  for (TMsgDlgBtn b : MsgDlgButtonList(buttons)) {
    shown.ButtonCaptions << MsgDlgButtonCaption(b);
    if (first == mrNone && b != mbHelp) first = MsgDlgButtonResult(b);
  }
  if (const std::optional<TDialogAnswer> answer = Record(shown)) return answer->Result;
  return first != mrNone ? first : mrOk;
}

void TScriptedDialogs::ShowMessage(const QString& text) {
  TShownDialog shown;
  shown.Kind = TDialogKind::ShowMessage;
  shown.Caption = MsgDlgCaption(mtCustom);
  shown.Text = text;
  shown.Buttons = Btn(mbOK);
  shown.ButtonCaptions << MsgDlgButtonCaption(mbOK);
  Record(shown);
}

bool TScriptedDialogs::OpenFiles(const QString& filter, const QString& initialDir, bool multiSelect,
                                 QStringList& files) {
  TShownDialog shown;
  shown.Kind = TDialogKind::OpenFiles;
  shown.Filter = filter;
  shown.InitialDir = initialDir;
  shown.MultiSelect = multiSelect;
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer) files = answer->Files;
  return answer.has_value();
}

bool TScriptedDialogs::SaveFile(const QString& filter, const QString& initialDir,
                                const QString& defaultExt, const QString& proposedName,
                                QString& file) {
  TShownDialog shown;
  shown.Kind = TDialogKind::SaveFile;
  shown.Filter = filter;
  shown.InitialDir = initialDir;
  shown.DefaultExt = defaultExt;
  shown.ProposedName = proposedName;
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer) file = answer->Value;
  return answer.has_value();
}

bool TScriptedDialogs::SelectFolder(const QString& caption, const QString& initialDir,
                                    QString& folder) {
  TShownDialog shown;
  shown.Kind = TDialogKind::SelectFolder;
  shown.Caption = caption;
  shown.InitialDir = initialDir;
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer) folder = answer->Value;
  return answer.has_value();
}

bool TScriptedDialogs::SelectFont(QFont& font) {
  TShownDialog shown;
  shown.Kind = TDialogKind::SelectFont;
  shown.Font = font;
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer) font = answer->Font;
  return answer.has_value();
}

bool TScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  TShownDialog shown;
  shown.Kind = TDialogKind::InputQuery;
  shown.Caption = caption;
  shown.Text = prompt;
  shown.Value = value;
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer) value = answer->Value;
  return answer.has_value();
}

bool TScriptedDialogs::ExecDialog(QDialog& dialog) {
  TShownDialog shown;
  shown.Kind = TDialogKind::ExecDialog;
  shown.Caption = dialog.windowTitle();
  const std::optional<TDialogAnswer> answer = Accepted(shown);
  if (answer && answer->Use) answer->Use(dialog);
  return answer.has_value();
}
