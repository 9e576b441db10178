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

#include "Main.h"
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
  // Pictures of the actions (index into the image list; -1 = none).
  const std::pair<QAction*, int> pictures[] = {{FUi->actOpenFolder, 1},
                                               {FUi->actAddFiles, 2},
                                               {FUi->actRemoveFiles, 3},
                                               {FUi->actClose, 4},
                                               {FUi->actFont, 5},
                                               {FUi->actPlayList, 6},
                                               {FUi->actRemoveTag, 7},
                                               {FUi->actRemoveAllTag, 7},
                                               {FUi->actWriteTag, 8},
                                               {FUi->actWriteAllTag, 9},
                                               {FUi->actAddTitleList, 10},
                                               {FUi->actClearTitleList, 7},
                                               {FUi->actCreateByFilename, 11},
                                               {FUi->actClearBatchUpdate, 12},
                                               {FUi->actDelCharacter, 13},
                                               {FUi->actRename, 14},
                                               {FUi->actUndo, 15},
                                               {FUi->actGb2Big5, 16},
                                               {FUi->actBig52GB, 17},
                                               {FUi->actRefresh, -1},
                                               {FUi->actDelCharacterRight, 18},
                                               {FUi->actItemNo, 19},
                                               {FUi->actMark, 20},
                                               {FUi->actRenameDir, 21},
                                               {FUi->actPlay, 22},
                                               {FUi->actGetFileProperties, 23},
                                               {FUi->actClearFileList, 7},
                                               {FUi->actHelp, -1},
                                               {FUi->actRepairLegacyTags, -1},
                                               {FUi->actUndoRepairTags, -1},
                                               {FUi->actRepairFileNames, -1},
                                               {FUi->actUndoRepairNames, -1},
                                               {FUi->actTagsFromNames, -1},
                                               {FUi->actUndoTagsFromNames, -1},
                                               {FUi->actNamesFromTags, -1},
                                               {FUi->actUndoNamesFromTags, -1}};
  for (auto [action, image] : pictures) {
    if (image >= 0) action->setIcon(ImageList1(image));
    addAction(action);  // shortcuts work anywhere in the window
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

  // Action handlers, in the order of the action list.
  const std::pair<QAction*, void (TMainForm::*)()> handlers[] = {
      {FUi->actOpenFolder, &TMainForm::actOpenFolderExecute},
      {FUi->actAddFiles, &TMainForm::actAddFilesExecute},
      {FUi->actRemoveFiles, &TMainForm::actRemoveFilesExecute},
      {FUi->actClose, &TMainForm::actCloseExecute},
      {FUi->actFont, &TMainForm::actFontExecute},
      {FUi->actPlayList, &TMainForm::actPlayListExecute},
      {FUi->actRemoveTag, &TMainForm::actRemoveTagExecute},
      {FUi->actRemoveAllTag, &TMainForm::actRemoveAllTagExecute},
      {FUi->actWriteTag, &TMainForm::actWriteTagExecute},
      {FUi->actWriteAllTag, &TMainForm::actWriteAllTagExecute},
      {FUi->actAddTitleList, &TMainForm::actAddTitleListExecute},
      {FUi->actClearTitleList, &TMainForm::actClearTitleListExecute},
      {FUi->actCreateByFilename, &TMainForm::actCreateByFilenameExecute},
      {FUi->actClearBatchUpdate, &TMainForm::actClearBatchUpdateExecute},
      {FUi->actDelCharacter, &TMainForm::actDelCharacterExecute},
      {FUi->actRename, &TMainForm::actRenameExecute},
      {FUi->actUndo, &TMainForm::actUndoExecute},
      {FUi->actGb2Big5, &TMainForm::actGb2Big5Execute},
      {FUi->actBig52GB, &TMainForm::actBig52GBExecute},
      {FUi->actRefresh, &TMainForm::actRefreshExecute},
      {FUi->actDelCharacterRight, &TMainForm::actDelCharacterRightExecute},
      {FUi->actItemNo, &TMainForm::actItemNoExecute},
      {FUi->actMark, &TMainForm::actMarkExecute},
      {FUi->actRenameDir, &TMainForm::actRenameDirExecute},
      {FUi->actPlay, &TMainForm::actPlayExecute},
      {FUi->actGetFileProperties, &TMainForm::actGetFilePropertiesExecute},
      {FUi->actClearFileList, &TMainForm::actClearFileListExecute},
      {FUi->actHelp, &TMainForm::actHelpExecute},
      {FUi->actRepairLegacyTags, &TMainForm::actRepairLegacyTagsExecute},
      {FUi->actUndoRepairTags, &TMainForm::actUndoRepairTagsExecute},
      {FUi->actRepairFileNames, &TMainForm::actRepairFileNamesExecute},
      {FUi->actUndoRepairNames, &TMainForm::actUndoRepairNamesExecute},
      {FUi->actTagsFromNames, &TMainForm::actTagsFromNamesExecute},
      {FUi->actUndoTagsFromNames, &TMainForm::actUndoTagsFromNamesExecute},
      {FUi->actNamesFromTags, &TMainForm::actNamesFromTagsExecute},
      {FUi->actUndoNamesFromTags, &TMainForm::actUndoNamesFromTagsExecute}};
  for (auto [action, handler] : handlers)
    connect(action, &QAction::triggered, this, [this, handler = handler] { Guarded(handler); });

  // The file list: two columns, sorted by the window itself, pop-up menu on right click.
  FUi->lvIniFileList->setSortingEnabled(false);
  FUi->lvIniFileList->header()->setSectionsClickable(false);
  FUi->lvIniFileList->header()->setStretchLastSection(false);
  FUi->lvIniFileList->setColumnWidth(0, 160);
  FUi->lvIniFileList->setColumnWidth(1, 350);
  FUi->lvIniFileList->setItemDelegate(new TGridDelegate(FUi->lvIniFileList));
  connect(FUi->lvIniFileList, &QTreeWidget::itemSelectionChanged, this,
          [this] { Guarded(&TMainForm::lvIniFileListChange); });
  connect(FUi->lvIniFileList, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded(&TMainForm::lvIniFileListDblClick); });
  connect(FUi->lvIniFileList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            FUi->PopupMenu1->popup(FUi->lvIniFileList->viewport()->mapToGlobal(pos));
          });
  FUi->StatusBar1->SetPanels({162, 50});
  FUi->StatusBar->SetPanels({0, 0});

  // Control events of the pages.
  connect(FUi->cbxTitle, &QCheckBox::clicked, this, [this] { Guarded(&TMainForm::cbxTitleClick); });
  connect(FUi->edtArtist, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtArtistChange); });
  connect(FUi->edtAlbum, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtAlbumChange); });
  connect(FUi->edtYear, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtYearChange); });
  connect(FUi->edtComment, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtCommentChange); });
  auto* wheel = new TWheelScrollsPage(this);
  for (QComboBox* choice : {FUi->cboGenre, FUi->GenreComboBox}) {
    choice->setFocusPolicy(Qt::StrongFocus);
    choice->installEventFilter(wheel);
  }
  // A genre the user chooses ticks its box as a typed value does.
  connect(FUi->cboGenre, &QComboBox::activated, this,
          [this] { Guarded(&TMainForm::edtGenreChange); });
  connect(FUi->SpeedButton5, &QToolButton::clicked, this,
          [this] { Guarded(&TMainForm::SpeedButton5Click); });
  connect(FUi->Button2, &QPushButton::clicked, this, [this] { Guarded(&TMainForm::Button2Click); });
  connect(FUi->Button3, &QPushButton::clicked, this, [this] { Guarded(&TMainForm::Button3Click); });

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
