#include "FileList.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include "FolderTree.h"
#include "FormDialogs.h"
#include "Shell.h"
#include "TitleList.h"
#include "Workspace.h"
#include "ui_Main.h"

using melotag::editor::TFileEntry;
namespace editor = melotag::editor;

namespace {

QTreeWidgetItem* ItemOf(const editor::TFileListing& files, int index, const QIcon& icon) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, files.Caption(index));
  item->setText(1, editor::NameCaption(files.Path(index)));
  item->setIcon(0, icon);
  return item;
}

// The text without blanks and control characters at either end.
QByteArray TrimControls(const QByteArray& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && quint8(text[begin]) <= 32) ++begin;
  while (end > begin && quint8(text[end - 1]) <= 32) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

TFileList::TFileList(IWindow& window, Ui::TMainForm& ui, editor::TFileListing& files,
                     TFolderTree& tree, TOpenDialog& openDialog, const QIcon& itemIcon)
    : TConcern(window, ui),
      FFiles(files),
      FFolderTree(tree),
      FOpenDialog(openDialog),
      FItemIcon(itemIcon) {}

// --- The items

int TFileList::Count() const {
  return FFiles.Count();
}

QString TFileList::Caption(int index) const {
  return index >= 0 && index < Count() ? FFiles.Caption(index) : QString();
}

QByteArray TFileList::Path(int index) const {
  return index >= 0 && index < Count() ? FFiles.Path(index) : QByteArray();
}

QList<QByteArray> TFileList::Paths() const {
  return FFiles.Paths();
}

QByteArray TFileList::ScanRoot(int index) const {
  return index >= 0 && index < Count() ? FFiles.ScanRoot(index) : QByteArray();
}

QList<QByteArray> TFileList::ScanRoots() const {
  return FFiles.ScanRoots();
}

qint64 TFileList::TotalSize() const {
  return FFiles.TotalSize();
}

int TFileList::SelectedIndex() const {
  int first = -1;
  for (const QModelIndex& row : FUi.lvIniFileList->selectionModel()->selectedRows())
    if (first < 0 || row.row() < first) first = row.row();
  return first;
}

int TFileList::SelectedCount() const {
  return int(FUi.lvIniFileList->selectionModel()->selectedRows().size());
}

TFileEntry TFileList::EntryOf(const QByteArray& path) {
  return {path, editor::NameCaption(editor::FileNamePart(path)), editor::FileSizeOf(path), {}};
}

bool TFileList::ArchiveTicked() const {
  return FUi.cbxFILE_ATTRIBUTE_ARCHIVE->isChecked();
}

void TFileList::Add(const QList<TFileEntry>& entries) {
  if (entries.isEmpty()) return;
  const QList<QByteArray> before = FFiles.Paths();
  FFiles.AddSorted(entries);
  // The sort keeps the listed files in their order, the new ones among them: the items already
  // there stay (and stay selected), each run of new files gets its items where it fell.
  QTreeWidget* list = FUi.lvIniFileList;
  const bool updates = list->updatesEnabled();
  list->setUpdatesEnabled(false);
  qsizetype old = 0;
  QList<QTreeWidgetItem*> run;
  const auto insertRun = [&](int end) {
    if (run.isEmpty()) return;
    list->insertTopLevelItems(end - int(run.size()), run);
    run.clear();
  };
  for (int i = 0; i < FFiles.Count(); ++i) {
    // A file listed twice has one caption: the one listed before comes first.
    if (old < before.size() && FFiles.Path(i) == before[old]) {
      insertRun(i);
      ++old;
    } else {
      run.append(ItemOf(FFiles, i, FItemIcon));
    }
  }
  insertRun(FFiles.Count());
  list->setUpdatesEnabled(updates);
}

void TFileList::Clear() {
  FUi.lvIniFileList->clear();
  FFiles.Clear();
}

bool TFileList::Check() const {
  if (Count() > 0) return true;
  FWindow.ShowMsg("FileList is Empty");
  return false;
}

// --- Scanning and totals

QList<TFileEntry> TFileList::FolderEntries(const QByteArray& folder) {
  CurrentFolder = folder;
  return editor::ScanFolder(folder, ArchiveTicked()).Files;
}

void TFileList::Scan(const QByteArray& folder) {
  if (folder.isEmpty()) return;
  Add(FolderEntries(folder));
  UpdateTotals();
}

void TFileList::UpdateTotals() {
  const int count = Count();
  FUi.StatusBar1->SetPanelText(0, FWindow.LookupText("Toatl") +
                                      QString::fromUtf8("\uFF1A%1 ").arg(count) +
                                      FWindow.LookupText("Files"));
  const QString megabytes =
      count > 0 ? QLocale().toString(double(TotalSize()) / 1024 / 1024, 'f', 1).trimmed()
                : QStringLiteral("0");
  FUi.StatusBar1->SetPanelText(1, FWindow.LookupText("Size") + megabytes + " MB ");
}

// --- Ways into the list

void TFileList::OpenFolder() {
  if (Count() > 0 && FWindow.MsgDlg("FIleList exists, Create New Project?", mtConfirmation,
                                    Btn(mbYes) | Btn(mbNo)) == mrYes) {
    Clear();
    UpdateTotals();
  }
  QString chosen;
  if (!Dialogs().SelectFolder(MainDialogs::SelectDirectoryCaption, QString(), chosen)) return;
  const std::optional<QByteArray> folder = editor::PathOfText(chosen);
  if (!folder) {
    Dialogs().ShowMessage("The folder " + chosen +
                          " cannot be listed: its name is not valid UTF-8 and stands for no "
                          "single folder.");
    return;
  }
  Scan(*folder);
}

void TFileList::AddFiles() {
  const int selected = SelectedIndex();
  FOpenDialog.InitialDir =
      selected >= 0 ? editor::NameCaption(editor::FolderPart(Path(selected))) : QString();
  FOpenDialog.Filter = MainDialogs::AddFilesFilter;
  if (!FOpenDialog.Execute()) return;
  QList<TFileEntry> entries;
  for (const QString& chosen : FOpenDialog.Files) {
    if (const std::optional<QByteArray> path = editor::PathOfText(chosen))
      entries.append(EntryOf(*path));
    else
      Dialogs().ShowMessage(chosen + "\nThe file does not exist.");
  }
  Add(entries);
  UpdateTotals();
}

void TFileList::Drop(const QList<QByteArray>& names) {
  if (names.isEmpty()) return;
  if (Count() > 0 &&
      Dialogs().MessageDlg(mtConfirmation, QString::fromUtf8("檔案列表已經開啟，是否開新專案？"),
                           Btn(mbYes) | Btn(mbNo), 0) == mrYes)
    Clear();
  QList<TFileEntry> entries;
  for (qsizetype k = 0; k < names.size(); ++k) {
    const QByteArray& name = names[k];
    if (editor::IsFolder(name)) {
      entries.append(editor::ScanFolder(name).Files);
      FFolderTree.Navigate(name);
      CurrentFolder = name;
    } else if (editor::IsFile(name)) {
      if (k == names.size() - 1) FFolderTree.Navigate(editor::FolderPart(name));
      if (editor::UpperExtension(name) == ".MP3") entries.append(EntryOf(name));
    }
  }
  Add(entries);
  UpdateTotals();
}

void TFileList::AddCommandLine(const QList<QByteArray>& commandLine, TTitleList& titles) {
  QList<TFileEntry> entries;
  bool folders = false;
  for (qsizetype i = 1; i < commandLine.size(); ++i) {
    const QByteArray& argument = commandLine[i];
    // A folder lists its MP3 files as a scan of it does.
    if (editor::IsFolder(argument)) {
      const QByteArray folder = editor::AbsolutePath(argument);
      entries.append(FolderEntries(folder));
      folders = true;
      continue;
    }
    if (!editor::IsFile(argument)) continue;
    titles.AppendLine(editor::NameCaption(argument));
    const QByteArray ext = editor::UpperExtension(argument);
    if (ext != ".MP3") {
      Dialogs().ShowMessage("This program does not Support " + editor::NameCaption(ext) +
                            " Format!");
      continue;
    }
    const QByteArray path = editor::AbsolutePath(argument);
    entries.append(EntryOf(path));
    if (ArchiveTicked()) SetArchiveOnly(path);
  }
  Add(entries);
  UpdateTotals();
  // The tree shows the last folder named (the current one, as after a drop), else where the first
  // file is, without listing it.
  if (folders)
    FFolderTree.Navigate(CurrentFolder);
  else if (Count() > 0)
    FFolderTree.Navigate(editor::FolderPart(Path(0)));
}

void TFileList::AddHandedOver(const QByteArray& handedOver) {
  const QByteArray text = TrimControls(handedOver);
  // The text is the sending program's path, a blank and the path of a file or folder.
  QByteArray rest;
  const QByteArray own = QFile::encodeName(QCoreApplication::applicationFilePath()) + ' ';
  const qsizetype exe = text.toUpper().indexOf(".EXE ");
  if (own.size() > 1 && text.startsWith(own))
    rest = text.mid(own.size());
  else if (exe >= 0)
    rest = text.mid(exe + 5);
  else if (const qsizetype blank = text.indexOf(' '); blank >= 0)
    rest = text.mid(blank + 1);
  else
    return;  // the program's path alone
  rest = TrimControls(rest);
  if (rest.isEmpty()) return;
  const QByteArray path = editor::AbsolutePath(rest);
  // A later start sends absolute paths: a relative rest is a piece of a program's path.
  if (rest.startsWith('/') && editor::IsFolder(path)) {
    Add(FolderEntries(path));
  } else {
    if (editor::UpperExtension(path) != ".MP3") return;
    Add({EntryOf(path)});
    if (ArchiveTicked()) SetArchiveOnly(path);
  }
  UpdateTotals();
}

// --- Ways out of the list

void TFileList::RemoveSelected() {
  QTreeWidget* list = FUi.lvIniFileList;
  const QModelIndexList rows = list->selectionModel()->selectedRows();
  if (!rows.isEmpty()) {
    QList<int> positions;
    QList<QTreeWidgetItem*> selected;
    positions.reserve(rows.size());
    selected.reserve(rows.size());
    for (const QModelIndex& row : rows) {
      positions.append(row.row());
      selected.append(list->topLevelItem(row.row()));
    }
    FFiles.Remove(positions);
    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    qDeleteAll(selected);
    list->setUpdatesEnabled(updates);
  }
  UpdateTotals();
}

void TFileList::ClearAsked() {
  if (Count() == 0) return;
  if (FWindow.MsgDlg("Are you sure want to clear FileList ?", mtConfirmation,
                     Btn(mbYes) | Btn(mbNo)) != mrYes)
    return;
  Clear();
  UpdateTotals();
}

// --- Commands on one listed file

void TFileList::Play() {
  const int index = SelectedIndex();
  if (index < 0) return;
  const QByteArray path = Path(index);
  if (!editor::IsFile(path)) {
    Dialogs().ShowMessage(editor::NameCaption(path) + "\nThe file does not exist.");
    return;
  }
  // The desktop could not start a program for it: said, not passed over.
  if (!ShellOpen(path)) FWindow.ShowMsg(QStringLiteral("No program is set to play MP3 files"));
}

void TFileList::ShowProperties() {
  const int index = SelectedIndex();
  if (index < 0) return;
  ShowFileProperties(Path(index), FWindow.Widget());
}

void TFileList::Relist(const QList<QByteArray>& paths, const QList<QByteArray>& roots) {
  const QList<QByteArray> before = roots.isEmpty() ? ScanRoots() : roots;
  QList<TFileEntry> entries;
  entries.reserve(paths.size());
  for (qsizetype i = 0; i < paths.size(); ++i) {
    entries.append(EntryOf(paths[i]));
    entries.last().ScanRoot = before.value(i);
  }
  Clear();
  Add(entries);
}
