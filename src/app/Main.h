// The main window: the file list, the title list, the tag panel, the batch and renaming pages
// and the options, as laid out in Main.ui. The window owns the controls and one object per
// concern; each handler hands its work to the object of its concern.
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

#include "Dialogs.h"
#include "FormDialogs.h"

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
class TID3v1;
class TID3v2;

class TMainForm : public QWidget {
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
  // The status text, painted at once unless `paint` is false (a fast pass paints now and then).
  void ShowStatus(const QString& text, bool paint = true);
  void ClearTagPanel();
  // The absolute, cleaned path; an empty path stays empty.
  static QByteArray LongPathName(const QByteArray& path);
  // The texts of a later start, as its records arrived.
  void ReceiveHandOver(const QList<QByteArray>& texts);
  // A status-bar word as the language file gives it for the system's code page; the word itself
  // before the window was first active and while the language file cannot be read.
  QString LookupText(const QString& word);
  // Before each form is translated: the language file's dictionary, the system's code page and
  // sequence number "0" for the form and the messages. While the language file cannot be read
  // the form is left as it is (and tried again at its next activation).
  void VornMultiScreenEye1BeforeReplace(TVornMultiScreenEye* Sender, QWidget* AForm, bool& Replace);
  // The language file is read. A failure is shown once, in an error dialog after the current
  // event; the file is tried again only when it has appeared or changed.
  bool LanguageReady();

  // --- The file list's operations that other concerns use.
  bool CheckFileList();
  void ScanFolder(const QByteArray& folder);
  void UpdateTotals();

  // --- The tag panel's operation that the batch passes use: no owner write permission, or a
  // path whose status cannot be read.
  static bool IsReadOnlyFile(const QByteArray& path);

  // --- Messages: the window's message box (translated, sequence number "0"). The Fmt forms
  // take a file's path as their one argument, shown as its name's text.
  void ShowMsg(const QString& msg);
  int MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons);
  void ShowMsgFmt(const QString& msg, const QByteArray& path);
  // A failure on one file: the message (translated), then on a line of its own the file and the
  // reason (FailureLine).
  void ShowMsgFmt(const QString& msg, const QByteArray& path, const QString& reason);
  int MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                const QByteArray& path);

  // One warning for the files a command could not do: their count and `heading`, then each
  // line (at most 20; the rest are counted). Nothing without failures.
  void ShowFailures(const QString& heading, const QStringList& failures);
  // One line of a failure: the file's name text, ": " and the reason.
  static QString FailureLine(const QByteArray& path, const QString& reason);

  // Runs a handler; an error that escapes it ends the command with its message in a dialog.
  void Guarded(void (TMainForm::*handler)());
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

  // The tag objects every tag access goes through; made at creation, freed at closing.
  std::unique_ptr<TID3v1> FID3v1;
  std::unique_ptr<TID3v2> FID3v2;

  // State shared by the window's operations. Paths are the exact bytes of the file system.
  QProgressBar* FProgressBar = nullptr;
  QStringList UndoList;
  QByteArray CurrentFileName;
  QByteArray CurrentFolder;
  qint64 TotalSize = 0;  // bytes of the listed files

 public slots:
  // Actions, in the order of the action list.
  void actOpenFolderExecute();
  void actAddFilesExecute();
  void actRemoveFilesExecute();
  void actCloseExecute();
  void actFontExecute();
  void actPlayListExecute();
  void actRemoveTagExecute();
  void actRemoveAllTagExecute();
  void actWriteTagExecute();
  void actWriteAllTagExecute();
  void actAddTitleListExecute();
  void actClearTitleListExecute();
  void actCreateByFilenameExecute();
  void actClearBatchUpdateExecute();
  void actDelCharacterExecute();
  void actRenameExecute();
  void actUndoExecute();
  void actGb2Big5Execute();
  void actBig52GBExecute();
  void actRefreshExecute();
  void actDelCharacterRightExecute();
  void actItemNoExecute();
  void actMarkExecute();
  void actRenameDirExecute();
  void actPlayExecute();
  void actGetFilePropertiesExecute();
  void actClearFileListExecute();
  void actHelpExecute();
  void actRepairLegacyTagsExecute();
  void actUndoRepairTagsExecute();
  void actRepairFileNamesExecute();
  void actUndoRepairNamesExecute();
  void actTagsFromNamesExecute();
  void actUndoTagsFromNamesExecute();
  void actNamesFromTagsExecute();
  void actUndoNamesFromTagsExecute();

  // Control events.
  void ShellTreeView1Click();
  void lvIniFileListChange();
  void lvIniFileListDblClick();
  void cbxTitleClick();
  void edtArtistChange();
  void edtAlbumChange();
  void edtYearChange();
  void edtCommentChange();
  void edtGenreChange();
  void SpeedButton5Click();
  void Button2Click();
  void Button3Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Files dropped on a control that takes text drops (the title list, the edits) reach the list.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BindControls();
  // The message box translates with the language file once it can be read (also when it came
  // after the last activation), and shows messages as written while it cannot.
  TVornMsgBox& MessageBox();

  std::unique_ptr<Ui::TMainForm> FUi;
  QList<QByteArray> FCommandLine;
  QPointer<TSingleInstance> FInstance;
  bool FClosed = false;
  // The last failure to read the language file, and the file's state at that time.
  bool FLanguageFailed = false;
  QString FLanguageFileState;
  // Made after the controls, in this order; each keeps the controls it works on.
  std::unique_ptr<TFileList> FFileList;
  std::unique_ptr<TFolderTree> FFolderTree;
  std::unique_ptr<TTitleList> FTitleList;
  std::unique_ptr<TTagPanel> FTagPanel;
  std::unique_ptr<TTagOptions> FTagOptions;
  std::unique_ptr<TBatchUpdate> FBatchUpdate;
  std::unique_ptr<TRenaming> FRenaming;
  std::unique_ptr<TPlayList> FPlayList;
  std::unique_ptr<TShellEntry> FShellEntry;
  std::unique_ptr<TLegacyRepair> FLegacyRepair;
  std::unique_ptr<TNamePatterns> FNamePatterns;
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
