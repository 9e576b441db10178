// What every concern object of the main window holds: the narrow side of the window it needs
// (messages and questions, look-up, status, failures, progress) and the window's controls. Its
// peers, the other concern objects it uses, come through its constructor.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "Dialogs.h"
#include "FileNames.h"

class QWidget;
namespace Ui {
class TMainForm;
}

// What the concerns ask of the window. Messages and questions go through the window's message
// box (translated, sequence number "0").
class IWindow {
 public:
  virtual ~IWindow() = default;

  virtual void ShowMsg(const QString& msg) = 0;
  virtual int MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
  // The Fmt forms with a path take it as their one argument, shown as its name's text.
  virtual void ShowMsgFmt(const QString& msg, const QByteArray& path) = 0;
  // A failure on one file: the message (translated), then on a line of its own the file and the
  // reason (FailureLine).
  virtual void ShowMsgFmt(const QString& msg, const QByteArray& path, const QString& reason) = 0;
  virtual int MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        const QByteArray& path) = 0;
  // The arguments as texts.
  virtual int MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        const QStringList& texts) = 0;

  // A word as the language file gives it for the system's code page; the word itself before the
  // window was first active and while the language file cannot be read.
  virtual QString LookupText(const QString& word) = 0;
  // The status text, painted at once unless `paint` is false (a fast pass paints now and then).
  virtual void ShowStatus(const QString& text, bool paint = true) = 0;
  // One warning for the files a command could not do: their count and `heading`, then each
  // line (at most 20; the rest are counted). Nothing without failures.
  virtual void ShowFailures(const QString& heading, const QStringList& failures) = 0;
  // One line of a failure: the file's name text, ": " and the reason.
  static QString FailureLine(const QByteArray& path, const QString& reason) {
    return melotag::editor::NameCaption(path) + QStringLiteral(": ") + reason;
  }

  // The progress bar: shown at 0 of `count`, at `position`, hidden again at 0.
  virtual void StartProgress(int count) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void EndProgress() = 0;

  // The window itself: the parent of the concerns' dialogs.
  virtual QWidget* Widget() = 0;
};

class TConcern {
 public:
  TConcern(IWindow& window, Ui::TMainForm& ui) : FWindow(window), FUi(ui) {}
  TConcern(const TConcern&) = delete;
  TConcern& operator=(const TConcern&) = delete;

 protected:
  IWindow& FWindow;
  Ui::TMainForm& FUi;
};
