// The main window: the file list, the title list, the tag panel, the batch and renaming pages
// and the options, as laid out in Main.ui. The window owns the controls and one object per
// concern, gives each the concerns it uses and connects their signals; each action hands its work
// to the object of its concern, which reaches the window only through IWindow (Concern.h).
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

#include "Concern.h"
#include "Dialogs.h"
#include "FormDialogs.h"
#include "Workspace.h"

namespace Ui {
class TMainForm;
}
class QProgressBar;
class TSingleInstance;
class TVornMsgBox;
class TVornMultiFileDD;
class TVornMultiScreenEye;
class TFileList;
class TFolderTree;
class TTitleList;
class TTagPanel;
class TTagOptions;
class TBatchUpdate;
class TRenaming;
class TPlayList;
class TShellEntry;
class TLegacyRepair;
class TNamePatterns;

class TMainForm : public QWidget, public IWindow {
  Q_OBJECT

 public:
  // `commandLine`: the program's path followed by its arguments, as the exact bytes the program
  // was given. `instance`: the single-instance guard whose hand-overs the window receives (none
  // in most tests).
  explicit TMainForm(const QList<QByteArray>& commandLine = {}, TSingleInstance* instance = nullptr,
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  // The picture `index` of the window's image list: the desktop's icon theme, else the style's.
  static QIcon ImageList1(int index);

  // The objects of the window's concerns.
  TFileList& FileList() const { return *FFileList; }
  TFolderTree& FolderTree() const { return *FFolderTree; }
  TTitleList& TitleList() const { return *FTitleList; }
  TTagPanel& TagPanel() const { return *FTagPanel; }
  TTagOptions& TagOptions() const { return *FTagOptions; }
  TBatchUpdate& BatchUpdate() const { return *FBatchUpdate; }
  TRenaming& Renaming() const { return *FRenaming; }
  TPlayList& PlayList() const { return *FPlayList; }
  TShellEntry& ShellEntry() const { return *FShellEntry; }
  TLegacyRepair& LegacyRepair() const { return *FLegacyRepair; }
  TNamePatterns& NamePatterns() const { return *FNamePatterns; }

  // --- Start and lifecycle
  void FormCreate();
  void FormClose();
  void FormResize();
  // Enables and disables the commands after the state of the lists (the idle event's work).
  void ApplicationEvents1Idle();
  void ShowStatus(const QString& text, bool paint = true) override;
  // Empties the tag panel.
  void ClearTagPanel();
  // The texts of a later start, as its records arrived.
  void ReceiveHandOver(const QList<QByteArray>& texts);
  QString LookupText(const QString& word) override;
  // Before each form is translated: the language file's dictionary, the system's code page and
  // sequence number "0" for the form and the messages. While the language file cannot be read
  // the form is left as it is (and tried again at its next activation).
  void VornMultiScreenEye1BeforeReplace(TVornMultiScreenEye* Sender, QWidget* AForm, bool& Replace);
  // The language file is read. A failure is shown once, in an error dialog after the current
  // event; the file is tried again only when it has appeared or changed.
  bool LanguageReady();

  // --- The file list's operations.
  bool CheckFileList();
  void ScanFolder(const QByteArray& folder);
  void UpdateTotals();

  // --- What the concerns ask of the window (IWindow): the message box's messages and questions,
  // the failure list, the progress bar in the status bar.
  void ShowMsg(const QString& msg) override;
  int MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons) override;
  void ShowMsgFmt(const QString& msg, const QByteArray& path) override;
  void ShowMsgFmt(const QString& msg, const QByteArray& path, const QString& reason) override;
  int MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                const QByteArray& path) override;
  int MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                const QStringList& texts) override;
  void ShowFailures(const QString& heading, const QStringList& failures) override;
  void StartProgress(int count) override;
  void SetProgress(int position) override;
  void EndProgress() override;
  QWidget* Widget() override { return this; }

  // Runs a handler; an error that escapes it ends the command with its message in a dialog.
  void Guarded(const std::function<void()>& handler);

  // The dialogs of the window (as loaded; the filter of OpenDialog1 is set before each use).
  TOpenDialog OpenDialog1{QStringLiteral("All supported types|*.id3;*.tag;*.mp3;*.mp2;|Tag "
                                         "formats|*.id3,*.tag;|MPEG audio files|*.mp3, *.mp2;"),
                          QStringLiteral("."),
                          true,
                          {}};
  TSaveDialog SaveDialog{{}, {}, QStringLiteral("m3u"), {}};
  TFontDialog FD;

  // The translation: the language file's dictionary, the screen replacement, the message box of
  // the window's messages and questions.
  TVornMultiFileDD* VornMultiFileDD1 = nullptr;
  TVornMultiScreenEye* VornMultiScreenEye1 = nullptr;
  TVornMsgBox* VornMsgBox1 = nullptr;

  // The progress bar, in the status bar's second panel.
  QProgressBar* FProgressBar = nullptr;

  // The handlers reached by their names; every other action runs its concern's routine.
  void actOpenFolderExecute();
  void actAddFilesExecute();
  void actPlayListExecute();
  void actCreateByFilenameExecute();
  void actRenameExecute();
  void actItemNoExecute();
  void actRenameDirExecute();
  void actPlayExecute();
  void actGetFilePropertiesExecute();
  void actClearFileListExecute();
  void ShellTreeView1Click();
  void lvIniFileListChange();
  void lvIniFileListDblClick();
  void SpeedButton5Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Files dropped on a control that takes text drops (the title list, the edits) reach the list.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BindControls();
  void actFontExecute();
  void actHelpExecute();
  // The message box translates with the language file once it can be read (also when it came
  // after the last activation), and shows messages as written while it cannot.
  TVornMsgBox& MessageBox();
  // What the tag layer tells while it works: crash journals it left alone (shown together, once
  // a run), a wait for a file another program holds locked (in the status bar).
  void ListenToTheTagFiles();
  QStringList FJournalNotices;

  std::unique_ptr<Ui::TMainForm> FUi;
  QList<QByteArray> FCommandLine;
  QPointer<TSingleInstance> FInstance;
  bool FClosed = false;
  // The last failure to read the language file, and the file's state at that time.
  bool FLanguageFailed = false;
  QString FLanguageFileState;
  // The listed files and the title lines the file list and the title list show, the passes and
  // renames over them.
  melotag::editor::TWorkspace FWorkspace;
  // Made after the controls, in this order, each after the peers it is given; each keeps the
  // controls it works on and the state it owns.
  std::unique_ptr<TFolderTree> FFolderTree;
  std::unique_ptr<TFileList> FFileList;
  std::unique_ptr<TTitleList> FTitleList;
  std::unique_ptr<TTagOptions> FTagOptions;
  std::unique_ptr<TTagPanel> FTagPanel;
  std::unique_ptr<TBatchUpdate> FBatchUpdate;
  std::unique_ptr<TRenaming> FRenaming;
  std::unique_ptr<TPlayList> FPlayList;
  std::unique_ptr<TShellEntry> FShellEntry;
  std::unique_ptr<TLegacyRepair> FLegacyRepair;
  std::unique_ptr<TNamePatterns> FNamePatterns;
};
