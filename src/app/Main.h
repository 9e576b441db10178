// The main window: the file list, the title list, the tag panel, the batch and renaming pages
// and the options, as laid out in Main.ui.
#pragma once

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

#include "Dialogs.h"
#include "FormDialogs.h"
#include "ui_Main.h"

class QFileSystemModel;
class QProgressBar;
class TSingleInstance;
class TVornMsgBox;

// One file for the file list: its caption (the name), full path and size in bytes.
struct TFileEntry {
  QString Caption;
  QString Path;
  qint64 Size = 0;
};

class TMainForm : public QWidget, public Ui::TMainForm {
  Q_OBJECT

 public:
  // `commandLine`: the program's path followed by its arguments. `instance`: the single-instance
  // guard whose hand-overs the window receives (none in most tests).
  explicit TMainForm(const QStringList& commandLine = {}, TSingleInstance* instance = nullptr,
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  // The picture `index` of the window's image list: the desktop's icon theme, else the style's.
  static QIcon ImageList1(int index);

  // --- Start and lifecycle
  void FormCreate();
  void FormClose();
  void FormResize();
  void ApplicationEvents1Idle();
  void ShowStatus(const QString& text);
  void ClearTagPanel();
  // The absolute, cleaned path; an empty path stays empty.
  static QString LongPathName(const QString& path);
  // The texts of a later start, as its records arrived.
  void ReceiveHandOver(const QList<QByteArray>& texts);
  // A status-bar word as the language file gives it.
  QString LookupText(const QString& word) const;

  // --- File list
  bool CheckFileList();
  void AddCommandLineFiles();
  void AddHandedOverFile(const QString& text);
  void ScanFolder(const QString& folder);
  void UpdateTotals();
  // Dropped files and folders, in the order the desktop gave them.
  void DropFiles(const QStringList& names);
  // Adds the files to the list, keeps it sorted and counts their sizes in TotalSize.
  void AddFileItems(const QList<TFileEntry>& entries);
  int FileCount() const;
  QString FileCaption(int index) const;
  QString FilePath(int index) const;
  // Index of the first selected item in list order, -1 when none is selected.
  int SelectedIndex() const;
  int SelectedCount() const;
  // Moves the folder tree to a folder; false when the tree does not hold it.
  bool NavigateTree(const QString& folder);
  QString TreeFolder() const;
  QFileSystemModel* FolderModel() const { return FFolderModel; }

  static qint64 FileSizeOf(const QString& path);
  // folder + "/" + name, never doubling the separator.
  static QString JoinPath(const QString& folder, const QString& name);
  // The text from the last "." of the last path component, ASCII letters in upper case.
  static QString UpperExtension(const QString& path);

  // --- Title list
  int TitleLineCount() const;
  void AppendTitleLine(const QString& line);

  // --- Messages: the window's message box (translated, sequence number "0").
  void ShowMsg(const QString& msg);
  int MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons);

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

  // The message box of the window's messages and questions.
  TVornMsgBox* VornMsgBox1 = nullptr;

  // State shared by the window's operations.
  QProgressBar* FProgressBar = nullptr;
  QStringList UndoList;
  QString CurrentFileName;
  QString CurrentFolder;
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

  // Control events.
  void ShellTreeView1Click();
  void lvIniFileListChange();
  void lvIniFileListDblClick();
  void cbxTitleClick();
  void edtArtistChange();
  void edtAlbumChange();
  void edtYearChange();
  void edtCommentChange();
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
  void SetUpFolderTree();
  void SetFolderModel(QFileSystemModel* model);

  QStringList FCommandLine;
  QPointer<TSingleInstance> FInstance;
  QFileSystemModel* FFolderModel = nullptr;
  bool FClosed = false;
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
