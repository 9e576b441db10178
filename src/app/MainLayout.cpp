// The window's controls bound to their actions, pictures and handlers.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "BatchUpdate.h"
#include "FileList.h"
#include "FolderTree.h"
#include "LegacyRepair.h"
#include "Main.h"
#include "NamePatterns.h"
#include "ShellEntry.h"
#include "TagPanel.h"
#include "TitleList.h"
#include "ui_Main.h"

QIcon TMainForm::ImageList1(int index) {
  // Theme name and the style's picture standing in when the theme has none.
  static const struct {
    const char* Theme;
    QStyle::StandardPixmap Fallback;
  } images[] = {
      {"audio-x-generic", QStyle::SP_FileIcon},                         // 0 file list item
      {"folder-open", QStyle::SP_DirOpenIcon},                          // 1 open folder
      {"list-add", QStyle::SP_FileDialogNewFolder},                     // 2 add files
      {"list-remove", QStyle::SP_DialogDiscardButton},                  // 3 remove files
      {"window-close", QStyle::SP_DialogCloseButton},                   // 4 close
      {"preferences-desktop-font", QStyle::SP_FileDialogDetailedView},  // 5 font
      {"media-playlist-append", QStyle::SP_FileDialogListView},         // 6 play list
      {"edit-delete", QStyle::SP_TrashIcon},                            // 7 remove / clear
      {"document-save", QStyle::SP_DialogSaveButton},                   // 8 write tag
      {"document-save-all", QStyle::SP_DriveFDIcon},                    // 9 write all tags
      {"document-open", QStyle::SP_DialogOpenButton},                   // 10 add title list
      {"document-new", QStyle::SP_FileDialogContentsView},  // 11 title list by file names
      {"edit-clear", QStyle::SP_DialogResetButton},         // 12 clear batch values
      {"go-first", QStyle::SP_MediaSeekBackward},           // 13 delete left character
      {"edit-rename", QStyle::SP_FileLinkIcon},             // 14 rename
      {"edit-undo", QStyle::SP_ArrowBack},                  // 15 undo
      {"go-down", QStyle::SP_ArrowDown},                    // 16 GB to Big5
      {"go-up", QStyle::SP_ArrowUp},                        // 17 Big5 to GB
      {"go-last", QStyle::SP_MediaSeekForward},             // 18 delete right character
      {"format-list-ordered", QStyle::SP_ToolBarHorizontalExtensionButton},  // 19 item numbers
      {"format-text-bold", QStyle::SP_ToolBarVerticalExtensionButton},       // 20 marks
      {"folder", QStyle::SP_DirIcon},                                        // 21 rename folder
      {"media-playback-start", QStyle::SP_MediaPlay},                        // 22 play
      {"document-properties", QStyle::SP_FileDialogInfoView},                // 23 properties
  };
  static QIcon cache[std::size(images)];
  if (index < 0 || index >= int(std::size(images))) return QIcon();
  if (cache[index].isNull())
    cache[index] = QIcon::fromTheme(QString::fromLatin1(images[index].Theme),
                                    QApplication::style()->standardIcon(images[index].Fallback));
  return cache[index];
}

namespace {

// A pop-up menu item shows its action's caption, picture and state and runs it.
void BindMenuItem(QAction* item, QAction* action) {
  auto copy = [item, action] {
    item->setText(action->text());
    item->setToolTip(action->toolTip());
    item->setIcon(action->icon());
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
  };
  copy();
  QObject::connect(action, &QAction::changed, item, copy);
  QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
}

// The list's grid lines: a line under every row and after every column.
class TGridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }
};

// A wheel turned over a choice box scrolls its page unless the box has the focus: scrolling the
// batch page must not change (and so tick) its genre.
class TWheelScrollsPage : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus()) return false;
    event->ignore();  // not taken: the page behind gets it
    return true;
  }
};

}  // namespace

void TMainForm::BindControls() {
  setWindowIcon(ImageList1(0));
  // Each action, in the order of the action list: its picture (index into the image list; -1 =
  // none) and the routine of its concern, guarded. Its shortcut works anywhere in the window.
  const struct {
    QAction* Action;
    int Picture;
    std::function<void()> Run;
  } actions[] = {{FUi->actOpenFolder, 1, [this] { actOpenFolderExecute(); }},
                 {FUi->actAddFiles, 2, [this] { actAddFilesExecute(); }},
                 {FUi->actRemoveFiles, 3, [this] { FFileList->RemoveSelected(); }},
                 {FUi->actClose, 4, [this] { close(); }},
                 {FUi->actFont, 5, [this] { actFontExecute(); }},
                 {FUi->actPlayList, 6, [this] { actPlayListExecute(); }},
                 {FUi->actRemoveTag, 7, [this] { FTagPanel->Remove(); }},
                 {FUi->actRemoveAllTag, 7, [this] { FBatchUpdate->RemoveAll(); }},
                 {FUi->actWriteTag, 8, [this] { FTagPanel->Write(); }},
                 {FUi->actWriteAllTag, 9, [this] { FBatchUpdate->WriteAll(); }},
                 {FUi->actAddTitleList, 10, [this] { FTitleList->AddFromFile(); }},
                 {FUi->actClearTitleList, 7, [this] { FTitleList->Clear(); }},
                 {FUi->actCreateByFilename, 11, [this] { actCreateByFilenameExecute(); }},
                 {FUi->actClearBatchUpdate, 12, [this] { FBatchUpdate->ClearValues(); }},
                 {FUi->actDelCharacter, 13, [this] { FTitleList->DelCharacter(); }},
                 {FUi->actRename, 14, [this] { actRenameExecute(); }},
                 {FUi->actUndo, 15, [this] { FTitleList->Undo(); }},
                 {FUi->actGb2Big5, 16, [this] { FTitleList->Gb2Big5(); }},
                 {FUi->actBig52GB, 17, [this] { FTitleList->Big52GB(); }},
                 {FUi->actRefresh, -1, [this] { FFolderTree->Refresh(); }},
                 {FUi->actDelCharacterRight, 18, [this] { FTitleList->DelCharacterRight(); }},
                 {FUi->actItemNo, 19, [this] { actItemNoExecute(); }},
                 {FUi->actMark, 20, [this] { FTitleList->Mark(); }},
                 {FUi->actRenameDir, 21, [this] { actRenameDirExecute(); }},
                 {FUi->actPlay, 22, [this] { actPlayExecute(); }},
                 {FUi->actGetFileProperties, 23, [this] { actGetFilePropertiesExecute(); }},
                 {FUi->actClearFileList, 7, [this] { actClearFileListExecute(); }},
                 {FUi->actHelp, -1, [this] { actHelpExecute(); }},
                 {FUi->actRepairLegacyTags, -1, [this] { FLegacyRepair->RepairTags(); }},
                 {FUi->actUndoRepairTags, -1, [this] { FLegacyRepair->UndoTags(); }},
                 {FUi->actRepairFileNames, -1, [this] { FLegacyRepair->RepairNames(); }},
                 {FUi->actUndoRepairNames, -1, [this] { FLegacyRepair->UndoNames(); }},
                 {FUi->actTagsFromNames, -1, [this] { FNamePatterns->TagsFromNames(); }},
                 {FUi->actUndoTagsFromNames, -1, [this] { FNamePatterns->UndoTags(); }},
                 {FUi->actNamesFromTags, -1, [this] { FNamePatterns->NamesFromTags(); }},
                 {FUi->actUndoNamesFromTags, -1, [this] { FNamePatterns->UndoNames(); }}};
  for (const auto& [action, picture, run] : actions) {
    if (picture >= 0) action->setIcon(ImageList1(picture));
    addAction(action);
    connect(action, &QAction::triggered, this, [this, run = run] { Guarded(run); });
  }
  FUi->actRefresh->setShortcutContext(Qt::WindowShortcut);
  FUi->actHelp->setShortcutContext(Qt::WindowShortcut);

  const std::pair<QAbstractButton*, QAction*> buttons[] = {
      {FUi->tbtnCreatePlayList, FUi->actPlayList},
      {FUi->tbtnOpenTitleList, FUi->actAddTitleList},
      {FUi->tbtnCreateTitleList, FUi->actCreateByFilename},
      {FUi->tbtnBig52GB, FUi->actBig52GB},
      {FUi->tbtnGb2Big5, FUi->actGb2Big5},
      {FUi->tbtnClearTitleList, FUi->actClearTitleList},
      {FUi->tbtnDelCharacter, FUi->actDelCharacter},
      {FUi->tbtnDelCharacterRight, FUi->actDelCharacterRight},
      {FUi->tbtnPunctuationMark, FUi->actMark},
      {FUi->tbtnItemNo, FUi->actItemNo},
      {FUi->tbtnUndo, FUi->actUndo},
      {FUi->sbtnSave, FUi->actWriteTag},
      {FUi->sbtnRemove, FUi->actRemoveTag},
      {FUi->sbtnStartUpdate, FUi->actWriteAllTag},
      {FUi->sbtnRemoveAllTag, FUi->actRemoveAllTag},
      {FUi->SpeedButton7, FUi->actClearBatchUpdate},
      {FUi->sbtnRename, FUi->actRename},
      {FUi->SpeedButton4, FUi->actRenameDir},
      {FUi->sbtnRepairTags, FUi->actRepairLegacyTags},
      {FUi->sbtnUndoRepairTags, FUi->actUndoRepairTags},
      {FUi->sbtnRepairNames, FUi->actRepairFileNames},
      {FUi->sbtnUndoRepairNames, FUi->actUndoRepairNames},
      {FUi->sbtnTagsFromNames, FUi->actTagsFromNames},
      {FUi->sbtnUndoTagsFromNames, FUi->actUndoTagsFromNames},
      {FUi->sbtnNamesFromTags, FUi->actNamesFromTags},
      {FUi->sbtnUndoNamesFromTags, FUi->actUndoNamesFromTags}};
  for (auto [button, action] : buttons) static_cast<QToolButton*>(button)->setDefaultAction(action);

  const std::pair<QAction*, QAction*> menuItems[] = {
      {FUi->Play1, FUi->actPlay},
      {FUi->OpenFolder1, FUi->actOpenFolder},
      {FUi->AddFiles1, FUi->actAddFiles},
      {FUi->RemoveFiles1, FUi->actRemoveFiles},
      {FUi->ClearFileList1, FUi->actClearFileList},
      {FUi->GetFileProperties1, FUi->actGetFileProperties}};
  for (auto [item, action] : menuItems) BindMenuItem(item, action);
  FUi->N1->setSeparator(true);
  FUi->N2->setSeparator(true);

  // The file list: two columns, sorted by the window itself, pop-up menu on right click.
  FUi->lvIniFileList->setSortingEnabled(false);
  FUi->lvIniFileList->header()->setSectionsClickable(false);
  FUi->lvIniFileList->header()->setStretchLastSection(false);
  FUi->lvIniFileList->setColumnWidth(0, 160);
  FUi->lvIniFileList->setColumnWidth(1, 350);
  FUi->lvIniFileList->setItemDelegate(new TGridDelegate(FUi->lvIniFileList));
  connect(FUi->lvIniFileList, &QTreeWidget::itemSelectionChanged, this,
          [this] { Guarded([this] { lvIniFileListChange(); }); });
  connect(FUi->lvIniFileList, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { lvIniFileListDblClick(); }); });
  connect(FUi->lvIniFileList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            FUi->PopupMenu1->popup(FUi->lvIniFileList->viewport()->mapToGlobal(pos));
          });
  FUi->StatusBar1->SetPanels({162, 50});
  FUi->StatusBar->SetPanels({0, 0});

  // Buttons of the pages that run a routine of their own, guarded as the actions are.
  const std::pair<QAbstractButton*, std::function<void()>> clicks[] = {
      {FUi->SpeedButton5, [this] { SpeedButton5Click(); }},
      {FUi->Button2, [this] { FShellEntry->Register(); }},
      {FUi->Button3, [this] { FShellEntry->Unregister(); }}};
  for (const auto& [button, run] : clicks)
    connect(button, &QAbstractButton::clicked, this, [this, run = run] { Guarded(run); });
  auto* wheel = new TWheelScrollsPage(this);
  for (QComboBox* choice : {FUi->cboGenre, FUi->GenreComboBox}) {
    choice->setFocusPolicy(Qt::StrongFocus);
    choice->installEventFilter(wheel);
  }

  // The pane sizes as loaded.
  FUi->Splitter2->setSizes({247, width() - 247 - FUi->Splitter2->handleWidth()});
  FUi->Splitter1->setSizes({320, height()});
  FUi->Splitter3->setSizes({227, height()});
  FUi->Splitter2->setStretchFactor(1, 1);
  FUi->Splitter1->setStretchFactor(1, 1);
  FUi->Splitter3->setStretchFactor(1, 1);
  FUi->PageControl1->setCurrentIndex(0);
  FUi->PageControl2->setCurrentIndex(0);
}
