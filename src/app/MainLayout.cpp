// The window's controls bound to their actions, pictures and handlers.
#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "Main.h"

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

}  // namespace

void TMainForm::BindControls() {
  setWindowIcon(ImageList1(0));
  // Pictures of the actions (index into the image list; -1 = none).
  const std::pair<QAction*, int> pictures[] = {{actOpenFolder, 1},
                                               {actAddFiles, 2},
                                               {actRemoveFiles, 3},
                                               {actClose, 4},
                                               {actFont, 5},
                                               {actPlayList, 6},
                                               {actRemoveTag, 7},
                                               {actRemoveAllTag, 7},
                                               {actWriteTag, 8},
                                               {actWriteAllTag, 9},
                                               {actAddTitleList, 10},
                                               {actClearTitleList, 7},
                                               {actCreateByFilename, 11},
                                               {actClearBatchUpdate, 12},
                                               {actDelCharacter, 13},
                                               {actRename, 14},
                                               {actUndo, 15},
                                               {actGb2Big5, 16},
                                               {actBig52GB, 17},
                                               {actRefresh, -1},
                                               {actDelCharacterRight, 18},
                                               {actItemNo, 19},
                                               {actMark, 20},
                                               {actRenameDir, 21},
                                               {actPlay, 22},
                                               {actGetFileProperties, 23},
                                               {actClearFileList, 7},
                                               {actHelp, -1}};
  for (auto [action, image] : pictures) {
    if (image >= 0) action->setIcon(ImageList1(image));
    addAction(action);  // shortcuts work anywhere in the window
  }
  actRefresh->setShortcutContext(Qt::WindowShortcut);
  actHelp->setShortcutContext(Qt::WindowShortcut);

  const std::pair<QAbstractButton*, QAction*> buttons[] = {
      {tbtnCreatePlayList, actPlayList},
      {tbtnOpenTitleList, actAddTitleList},
      {tbtnCreateTitleList, actCreateByFilename},
      {tbtnBig52GB, actBig52GB},
      {tbtnGb2Big5, actGb2Big5},
      {tbtnClearTitleList, actClearTitleList},
      {tbtnDelCharacter, actDelCharacter},
      {tbtnDelCharacterRight, actDelCharacterRight},
      {tbtnPunctuationMark, actMark},
      {tbtnItemNo, actItemNo},
      {tbtnUndo, actUndo},
      {sbtnSave, actWriteTag},
      {sbtnRemove, actRemoveTag},
      {sbtnStartUpdate, actWriteAllTag},
      {sbtnRemoveAllTag, actRemoveAllTag},
      {SpeedButton7, actClearBatchUpdate},
      {sbtnRename, actRename},
      {SpeedButton4, actRenameDir}};
  for (auto [button, action] : buttons) static_cast<QToolButton*>(button)->setDefaultAction(action);

  const std::pair<QAction*, QAction*> menuItems[] = {{Play1, actPlay},
                                                     {OpenFolder1, actOpenFolder},
                                                     {AddFiles1, actAddFiles},
                                                     {RemoveFiles1, actRemoveFiles},
                                                     {ClearFileList1, actClearFileList},
                                                     {GetFileProperties1, actGetFileProperties}};
  for (auto [item, action] : menuItems) BindMenuItem(item, action);
  N1->setSeparator(true);
  N2->setSeparator(true);

  // Action handlers, in the order of the action list.
  const std::pair<QAction*, void (TMainForm::*)()> handlers[] = {
      {actOpenFolder, &TMainForm::actOpenFolderExecute},
      {actAddFiles, &TMainForm::actAddFilesExecute},
      {actRemoveFiles, &TMainForm::actRemoveFilesExecute},
      {actClose, &TMainForm::actCloseExecute},
      {actFont, &TMainForm::actFontExecute},
      {actPlayList, &TMainForm::actPlayListExecute},
      {actRemoveTag, &TMainForm::actRemoveTagExecute},
      {actRemoveAllTag, &TMainForm::actRemoveAllTagExecute},
      {actWriteTag, &TMainForm::actWriteTagExecute},
      {actWriteAllTag, &TMainForm::actWriteAllTagExecute},
      {actAddTitleList, &TMainForm::actAddTitleListExecute},
      {actClearTitleList, &TMainForm::actClearTitleListExecute},
      {actCreateByFilename, &TMainForm::actCreateByFilenameExecute},
      {actClearBatchUpdate, &TMainForm::actClearBatchUpdateExecute},
      {actDelCharacter, &TMainForm::actDelCharacterExecute},
      {actRename, &TMainForm::actRenameExecute},
      {actUndo, &TMainForm::actUndoExecute},
      {actGb2Big5, &TMainForm::actGb2Big5Execute},
      {actBig52GB, &TMainForm::actBig52GBExecute},
      {actRefresh, &TMainForm::actRefreshExecute},
      {actDelCharacterRight, &TMainForm::actDelCharacterRightExecute},
      {actItemNo, &TMainForm::actItemNoExecute},
      {actMark, &TMainForm::actMarkExecute},
      {actRenameDir, &TMainForm::actRenameDirExecute},
      {actPlay, &TMainForm::actPlayExecute},
      {actGetFileProperties, &TMainForm::actGetFilePropertiesExecute},
      {actClearFileList, &TMainForm::actClearFileListExecute},
      {actHelp, &TMainForm::actHelpExecute}};
  for (auto [action, handler] : handlers)
    connect(action, &QAction::triggered, this, [this, handler = handler] { Guarded(handler); });

  // The file list: two columns, sorted by the window itself, pop-up menu on right click.
  lvIniFileList->setSortingEnabled(false);
  lvIniFileList->header()->setSectionsClickable(false);
  lvIniFileList->header()->setStretchLastSection(false);
  lvIniFileList->setColumnWidth(0, 160);
  lvIniFileList->setColumnWidth(1, 350);
  lvIniFileList->setItemDelegate(new TGridDelegate(lvIniFileList));
  connect(lvIniFileList, &QTreeWidget::itemSelectionChanged, this,
          [this] { Guarded(&TMainForm::lvIniFileListChange); });
  connect(lvIniFileList, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded(&TMainForm::lvIniFileListDblClick); });
  connect(lvIniFileList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1->popup(lvIniFileList->viewport()->mapToGlobal(pos));
  });
  StatusBar1->SetPanels({162, 50});
  StatusBar->SetPanels({0, 0});

  // Control events of the pages.
  connect(cbxTitle, &QCheckBox::clicked, this, [this] { Guarded(&TMainForm::cbxTitleClick); });
  connect(edtArtist, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtArtistChange); });
  connect(edtAlbum, &QLineEdit::textChanged, this, [this] { Guarded(&TMainForm::edtAlbumChange); });
  connect(edtYear, &QLineEdit::textChanged, this, [this] { Guarded(&TMainForm::edtYearChange); });
  connect(edtComment, &QLineEdit::textChanged, this,
          [this] { Guarded(&TMainForm::edtCommentChange); });
  connect(SpeedButton5, &QToolButton::clicked, this,
          [this] { Guarded(&TMainForm::SpeedButton5Click); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded(&TMainForm::Button2Click); });
  connect(Button3, &QPushButton::clicked, this, [this] { Guarded(&TMainForm::Button3Click); });

  // The pane sizes as loaded.
  Splitter2->setSizes({247, width() - 247 - Splitter2->handleWidth()});
  Splitter1->setSizes({320, height()});
  Splitter3->setSizes({227, height()});
  Splitter2->setStretchFactor(1, 1);
  Splitter1->setStretchFactor(1, 1);
  Splitter3->setStretchFactor(1, 1);
  PageControl1->setCurrentIndex(0);
  PageControl2->setCurrentIndex(0);
}
