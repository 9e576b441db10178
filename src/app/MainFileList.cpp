// The file list: the files of a folder, of the file dialog, of a drop, of the command line and
// of a later start; their order, totals, removal, and the commands on one listed file.
#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <optional>

#include "Main.h"
#include "Shell.h"

namespace {

constexpr int kSizeRole = Qt::UserRole;

// The list's order: the locale's case-sensitive comparison of the captions (the locale of the
// moment). Each item keeps the collation key of its caption, so sorting compares keys only.
const QCollator& CaptionCollator() {
  static QCollator collator;
  static QString localeName;
  const QLocale locale;
  if (localeName.isEmpty() || locale.name() != localeName) {
    localeName = locale.name();
    collator = QCollator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
  }
  return collator;
}

class TFileListItem : public QTreeWidgetItem {
 public:
  TFileListItem(const TFileEntry& entry, const QCollator& collator)
      : QTreeWidgetItem(UserType), FKey(collator.sortKey(entry.Caption)) {
    setText(0, entry.Caption);
    setText(1, entry.Path);
    setData(0, kSizeRole, entry.Size);
    setIcon(0, TMainForm::ImageList1(0));
  }

  bool operator<(const QTreeWidgetItem& other) const override {
    if (other.type() != UserType) return QTreeWidgetItem::operator<(other);
    return FKey.compare(static_cast<const TFileListItem&>(other).FKey) < 0;
  }

 private:
  QCollatorSortKey FKey;
};

// The text may stand for a file the program can name (Qt replaces bytes that are not UTF-8).
bool Representable(const QString& name) {
  return !name.contains(QChar::ReplacementCharacter);
}

}  // namespace

// --- Helpers

qint64 TMainForm::FileSizeOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  return file.size();
}

QString TMainForm::JoinPath(const QString& folder, const QString& name) {
  if (folder.isEmpty()) return name;
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString TMainForm::UpperExtension(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  const qsizetype dot = path.lastIndexOf('.');
  if (dot < 0 || dot < slash) return QString();
  QString ext = path.mid(dot);
  for (QChar& c : ext)
    if (c >= 'a' && c <= 'z') c = QChar(c.unicode() - 'a' + 'A');
  return ext;
}

// --- The items

int TMainForm::FileCount() const {
  return lvIniFileList->topLevelItemCount();
}

QString TMainForm::FileCaption(int index) const {
  const QTreeWidgetItem* item = lvIniFileList->topLevelItem(index);
  return item ? item->text(0) : QString();
}

QString TMainForm::FilePath(int index) const {
  const QTreeWidgetItem* item = lvIniFileList->topLevelItem(index);
  return item ? item->text(1) : QString();
}

int TMainForm::SelectedIndex() const {
  int first = -1;
  for (const QModelIndex& row : lvIniFileList->selectionModel()->selectedRows())
    if (first < 0 || row.row() < first) first = row.row();
  return first;
}

int TMainForm::SelectedCount() const {
  return int(lvIniFileList->selectionModel()->selectedRows().size());
}

void TMainForm::AddFileItems(const QList<TFileEntry>& entries) {
  if (entries.isEmpty()) return;
  const QCollator& collator = CaptionCollator();
  QList<QTreeWidgetItem*> items;
  items.reserve(entries.size());
  for (const TFileEntry& entry : entries) {
    items.append(new TFileListItem(entry, collator));
    TotalSize += entry.Size;
  }
  const bool updates = lvIniFileList->updatesEnabled();
  lvIniFileList->setUpdatesEnabled(false);
  lvIniFileList->addTopLevelItems(items);
  lvIniFileList->sortItems(0, Qt::AscendingOrder);
  lvIniFileList->setUpdatesEnabled(updates);
}

bool TMainForm::CheckFileList() {
  if (FileCount() > 0) return true;
  ShowMsg("FileList is Empty");
  return false;
}

// --- Scanning and totals

void TMainForm::ScanFolder(const QString& folder) {
  if (folder.isEmpty()) return;
  CurrentFolder = folder;
  const bool archive = cbxFILE_ATTRIBUTE_ARCHIVE->isChecked();
  QList<TFileEntry> entries;
  QDirIterator it(folder, {QStringLiteral("*.mp3")},
                  QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    const QFileInfo info = it.nextFileInfo();
    const QString name = info.fileName();
    if (!Representable(name)) continue;
    const QString path = JoinPath(folder, name);
    if (archive) SetArchiveOnly(path);
    entries.append({name, path, info.size()});
  }
  AddFileItems(entries);
  UpdateTotals();
}

void TMainForm::UpdateTotals() {
  const int count = FileCount();
  StatusBar1->SetPanelText(
      0, LookupText("Toatl") + QString::fromUtf8("\uFF1A%1 ").arg(count) + LookupText("Files"));
  const QString megabytes =
      count > 0 ? QLocale().toString(double(TotalSize) / 1024 / 1024, 'f', 1).trimmed()
                : QStringLiteral("0");
  StatusBar1->SetPanelText(1, LookupText("Size") + megabytes + " MB ");
}

// --- Ways into the list

void TMainForm::ShellTreeView1Click() {
  lvIniFileList->clear();
  TotalSize = 0;
  actClearBatchUpdateExecute();
  const QString folder = TreeFolder();
  if (folder.isEmpty())
    UpdateTotals();
  else
    ScanFolder(folder);
  PageControl1->setCurrentIndex(0);
}

void TMainForm::actOpenFolderExecute() {
  if (FileCount() > 0 && MsgDlg("FIleList exists, Create New Project?", mtConfirmation,
                                Btn(mbYes) | Btn(mbNo)) == mrYes) {
    lvIniFileList->clear();
    TotalSize = 0;
    UpdateTotals();
  }
  QString folder;
  if (Dialogs().SelectFolder(MainDialogs::SelectDirectoryCaption, QString(), folder))
    ScanFolder(folder);
}

void TMainForm::actAddFilesExecute() {
  const int selected = SelectedIndex();
  OpenDialog1.InitialDir = selected >= 0 ? QFileInfo(FilePath(selected)).path() : QString();
  OpenDialog1.Filter = MainDialogs::AddFilesFilter;
  if (!OpenDialog1.Execute()) return;
  QList<TFileEntry> entries;
  for (const QString& path : OpenDialog1.Files)
    entries.append({QFileInfo(path).fileName(), path, FileSizeOf(path)});
  AddFileItems(entries);
  UpdateTotals();
}

void TMainForm::DropFiles(const QStringList& names) {
  if (names.isEmpty()) return;
  if (FileCount() > 0 &&
      Dialogs().MessageDlg(mtConfirmation, QString::fromUtf8("檔案列表已經開啟，是否開新專案？"),
                           Btn(mbYes) | Btn(mbNo), 0) == mrYes) {
    lvIniFileList->clear();
    TotalSize = 0;
  }
  QList<TFileEntry> entries;
  for (qsizetype k = 0; k < names.size(); ++k) {
    const QString& name = names[k];
    const QFileInfo info(name);
    if (info.isDir()) {
      QDirIterator it(name, {QStringLiteral("*.mp3")},
                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
      while (it.hasNext()) {
        const QFileInfo file = it.nextFileInfo();
        if (!Representable(file.fileName())) continue;
        entries.append({file.fileName(), JoinPath(name, file.fileName()), file.size()});
      }
      NavigateTree(name);
      CurrentFolder = name;
    } else if (info.isFile()) {
      if (k == names.size() - 1) NavigateTree(info.path());
      if (UpperExtension(name) == ".MP3") entries.append({info.fileName(), name, info.size()});
    }
  }
  AddFileItems(entries);
  UpdateTotals();
}

namespace {

bool HasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDrops() && HasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!acceptDrops() || !HasLocalFiles(drop->mimeData())) break;
      if (event->type() == QEvent::Drop)
        dropEvent(drop);
      else
        drop->acceptProposedAction();
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::dropEvent(QDropEvent* event) {
  QStringList names;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) names.append(QDir::cleanPath(url.toLocalFile()));
  event->acceptProposedAction();
  // The question is asked after the drop has ended, not inside it.
  QMetaObject::invokeMethod(
      this, [this, names] { Guarded([&] { DropFiles(names); }); }, Qt::QueuedConnection);
}

void TMainForm::AddCommandLineFiles() {
  const bool archive = cbxFILE_ATTRIBUTE_ARCHIVE->isChecked();
  QList<TFileEntry> entries;
  for (qsizetype i = 1; i < FCommandLine.size(); ++i) {
    const QString& argument = FCommandLine[i];
    if (!QFileInfo(argument).isFile()) continue;
    AppendTitleLine(argument);
    const QString ext = UpperExtension(argument);
    if (ext != ".MP3") {
      Dialogs().ShowMessage("This program does not Support " + ext + " Format!");
      continue;
    }
    const QString path = LongPathName(argument);
    entries.append({QFileInfo(path).fileName(), path, FileSizeOf(path)});
    if (archive) SetArchiveOnly(path);
  }
  AddFileItems(entries);
  UpdateTotals();
}

namespace {

// The text without blanks and control characters at either end.
QString TrimControls(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin].unicode() <= 32) ++begin;
  while (end > begin && text[end - 1].unicode() <= 32) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

void TMainForm::AddHandedOverFile(const QString& handedOver) {
  const QString text = TrimControls(handedOver);
  if (UpperExtension(text) != ".MP3") return;
  // The text is the sending program's path, a blank and the file's path.
  QString rest;
  const QString own = QCoreApplication::applicationFilePath() + ' ';
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
  const QString path = LongPathName(rest);
  AddFileItems({{QFileInfo(path).fileName(), path, FileSizeOf(path)}});
  if (cbxFILE_ATTRIBUTE_ARCHIVE->isChecked()) SetArchiveOnly(path);
  UpdateTotals();
}

// --- Ways out of the list

void TMainForm::actRemoveFilesExecute() {
  const QList<QTreeWidgetItem*> selected = lvIniFileList->selectedItems();
  if (!selected.isEmpty()) {
    const bool updates = lvIniFileList->updatesEnabled();
    lvIniFileList->setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : selected) {
      TotalSize -= item->data(0, kSizeRole).toLongLong();
      delete item;
    }
    lvIniFileList->setUpdatesEnabled(updates);
  }
  UpdateTotals();
}

void TMainForm::actClearFileListExecute() {
  if (FileCount() == 0) return;
  if (MsgDlg("Are you sure want to clear FileList ?", mtConfirmation, Btn(mbYes) | Btn(mbNo)) !=
      mrYes)
    return;
  lvIniFileList->clear();
  TotalSize = 0;
  UpdateTotals();
}

void TMainForm::actClearBatchUpdateExecute() {
  for (QCheckBox* box : {cbxTitle, cbxChangeTitleByTitleList, cbxArtist, cbxAlbum, cbxTrack,
                         cbxYear, cbxGenre, cbxComment})
    box->setChecked(false);
  for (QLineEdit* edit : {edtArtist, edtAlbum, edtYear}) edit->clear();
  cboGenre->setCurrentIndex(-1);
  edtComment->clear();
}

// --- The folder tree

void TMainForm::SetUpFolderTree() {
  auto* model = new QFileSystemModel(this);
  model->setObjectName("ShellTreeView1Model");
  SetFolderModel(model);
  connect(ShellTreeView1, &QTreeView::clicked, this,
          [this] { Guarded(&TMainForm::ShellTreeView1Click); });
}

void TMainForm::SetFolderModel(QFileSystemModel* model) {
  model->setOption(QFileSystemModel::DontWatchForChanges);
  model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model->setRootPath(QDir::rootPath());
  QAbstractItemModel* old = ShellTreeView1->model();
  ShellTreeView1->setModel(model);
  for (int column = 1; column < model->columnCount(); ++column)
    ShellTreeView1->setColumnHidden(column, true);
  ShellTreeView1->expand(model->index(QDir::rootPath()));
  if (old && old != model) old->deleteLater();
  FFolderModel = model;
}

bool TMainForm::NavigateTree(const QString& folder) {
  const QModelIndex index = FFolderModel->index(QDir::cleanPath(folder));
  if (!index.isValid()) return false;
  ShellTreeView1->setCurrentIndex(index);
  ShellTreeView1->scrollTo(index);
  return true;
}

QString TMainForm::TreeFolder() const {
  const QModelIndex index = ShellTreeView1->currentIndex();
  return index.isValid() ? FFolderModel->filePath(index) : QString();
}

void TMainForm::actRefreshExecute() {
  // The tree re-reads the folders: a fresh model, opened at the same folder.
  const QString folder = TreeFolder();
  auto* model = new QFileSystemModel(this);
  model->setObjectName("ShellTreeView1Model");
  SetFolderModel(model);
  if (!folder.isEmpty()) NavigateTree(folder);
}

// --- Commands on one listed file

void TMainForm::actPlayExecute() {
  const int index = SelectedIndex();
  if (FileCount() == 0 || index < 0) return;
  const QString path = FilePath(index);
  if (!QFileInfo(path).isFile()) {
    Dialogs().ShowMessage(path + "\nThe file does not exist.");
    return;
  }
  ShellOpen(path);
}

void TMainForm::lvIniFileListDblClick() {
  actPlayExecute();
}

void TMainForm::actGetFilePropertiesExecute() {
  const int index = SelectedIndex();
  if (FileCount() == 0 || index < 0) return;
  ShowFileProperties(FilePath(index), this);
}
