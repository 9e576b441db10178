// The file list: the files of a folder, of the file dialog, of a drop, of the command line and
// of a later start; their order, totals, removal, and the commands on one listed file. The tree
// shows the workspace's listing (the exact bytes of each path, the sizes), item for item.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>

#include "Concern.h"
#include "FileNames.h"

class TFolderTree;
class TTitleList;
struct TOpenDialog;
namespace melotag::editor {
class TFileListing;
}

class TFileList : public TConcern {
 public:
  // Shows `files`; `tree` follows where the files come from; `openDialog` chooses files to add;
  // every item shows `itemIcon`.
  TFileList(IWindow& window, Ui::TMainForm& ui, melotag::editor::TFileListing& files,
            TFolderTree& tree, TOpenDialog& openDialog, const QIcon& itemIcon);

  int Count() const;
  QString Caption(int index) const;
  // The exact bytes of the path of item `index`; empty when there is no such item.
  QByteArray Path(int index) const;
  // The paths of every item, in list order.
  QList<QByteArray> Paths() const;
  // The folder chosen for the scan that listed item `index` (empty for a file the user named);
  // every item's, in list order.
  QByteArray ScanRoot(int index) const;
  QList<QByteArray> ScanRoots() const;
  // Index of the first selected item in list order, -1 when none is selected.
  int SelectedIndex() const;
  int SelectedCount() const;

  // Adds the files to the list, keeps it sorted and counts their sizes in TotalSize; a selected
  // item stays selected.
  void Add(const QList<melotag::editor::TFileEntry>& entries);
  // Empties the list and TotalSize (the totals shown stay as they are).
  void Clear();
  // Lists the files anew under these paths, in this order (after renames); file i keeps the scan's
  // root it had, or takes roots[i] when `roots` are given (folders renamed too).
  void Relist(const QList<QByteArray>& paths, const QList<QByteArray>& roots = {});
  // True when files are listed; says so when none are.
  bool Check() const;
  void Scan(const QByteArray& folder);
  void UpdateTotals();

  void OpenFolder();
  void AddFiles();
  void RemoveSelected();
  void ClearAsked();
  // Dropped files and folders, in the order the desktop gave them.
  void Drop(const QList<QByteArray>& names);
  // The files named on the window's command line (argument 0 is the program); the name of each
  // file named, listed or not, becomes a line of `titles`. A folder named lists its MP3 files as
  // a scan of it does.
  void AddCommandLine(const QList<QByteArray>& commandLine, TTitleList& titles);
  // One record of a later start: its program's path, a blank and the path of one file or folder
  // (a folder is listed as a scan of it is; a file other than MP3 is left out).
  void AddHandedOver(const QByteArray& text);
  void Play();
  void ShowProperties();

  // Bytes of the listed files.
  qint64 TotalSize() const;
  // The folder whose files were listed last (paths are the exact bytes of the file system).
  QByteArray CurrentFolder;

 private:
  // The entry of a file named by the user: caption from its name, size from the file system.
  static melotag::editor::TFileEntry EntryOf(const QByteArray& path);
  bool ArchiveTicked() const;
  // The MP3 files of a scan of `folder`, which becomes the current folder.
  QList<melotag::editor::TFileEntry> FolderEntries(const QByteArray& folder);

  melotag::editor::TFileListing& FFiles;
  TFolderTree& FFolderTree;
  TOpenDialog& FOpenDialog;
  QIcon FItemIcon;
};
