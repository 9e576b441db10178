#include "ScriptedDialogs.h"

bool TScriptedDialogs::Next(TDialogAnswer& answer) {
  if (FAnswers.isEmpty()) return false;
  answer = FAnswers.dequeue();
  return true;
}

int TScriptedDialogs::MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                                 int helpCtx) {
  TShownDialog shown;
  shown.Kind = TDialogKind::MessageDlg;
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
  FShown.append(shown);
  TDialogAnswer answer;
  if (Next(answer)) return answer.Result;
  return first != mrNone ? first : mrOk;
}

void TScriptedDialogs::ShowMessage(const QString& text) {
  TShownDialog shown;
  shown.Kind = TDialogKind::ShowMessage;
  shown.Caption = MsgDlgCaption(mtCustom);
  shown.Text = text;
  shown.Buttons = Btn(mbOK);
  shown.ButtonCaptions << MsgDlgButtonCaption(mbOK);
  FShown.append(shown);
  TDialogAnswer answer;
  Next(answer);
}

bool TScriptedDialogs::OpenFiles(const QString& filter, const QString& initialDir, bool multiSelect,
                                 QStringList& files) {
  TShownDialog shown;
  shown.Kind = TDialogKind::OpenFiles;
  shown.Filter = filter;
  shown.InitialDir = initialDir;
  shown.MultiSelect = multiSelect;
  FShown.append(shown);
  TDialogAnswer answer;
  if (!Next(answer) || !answer.Accept) return false;
  files = answer.Files;
  return true;
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
  FShown.append(shown);
  TDialogAnswer answer;
  if (!Next(answer) || !answer.Accept) return false;
  file = answer.Value;
  return true;
}

bool TScriptedDialogs::SelectFolder(const QString& caption, const QString& initialDir,
                                    QString& folder) {
  TShownDialog shown;
  shown.Kind = TDialogKind::SelectFolder;
  shown.Caption = caption;
  shown.InitialDir = initialDir;
  FShown.append(shown);
  TDialogAnswer answer;
  if (!Next(answer) || !answer.Accept) return false;
  folder = answer.Value;
  return true;
}

bool TScriptedDialogs::SelectFont(QFont& font) {
  TShownDialog shown;
  shown.Kind = TDialogKind::SelectFont;
  shown.Font = font;
  FShown.append(shown);
  TDialogAnswer answer;
  if (!Next(answer) || !answer.Accept) return false;
  font = answer.Font;
  return true;
}

bool TScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  TShownDialog shown;
  shown.Kind = TDialogKind::InputQuery;
  shown.Caption = caption;
  shown.Text = prompt;
  shown.Value = value;
  FShown.append(shown);
  TDialogAnswer answer;
  if (!Next(answer) || !answer.Accept) return false;
  value = answer.Value;
  return true;
}
