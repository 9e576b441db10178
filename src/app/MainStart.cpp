// Start and life of the main window: creation, closing, resizing, the idle-time enabling of
// commands, the status bar, the font, help and close commands, hand-overs of later starts.
#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>

#include "CodePage.h"
#include "Main.h"
#include "Shell.h"
#include "SingleInstance.h"
#include "VornMultiDD.h"

TMainForm::TMainForm(const QStringList& commandLine, TSingleInstance* instance, QWidget* parent)
    : QWidget(parent), FCommandLine(commandLine), FInstance(instance) {
  setupUi(this);
  resize(800, 600);
  // Centred on the screen when first shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  VornMsgBox1 = new TVornMsgBox(this);
  VornMsgBox1->setObjectName("VornMsgBox1");
  BindControls();
  SetUpFolderTree();
  FormCreate();
  // The idle event: whenever the event queue has run empty.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::ApplicationEvents1Idle);
}

TMainForm::~TMainForm() {
  FormClose();
}

void TMainForm::FormCreate() {
  // 1. Accept dropped files, also where they fall on a control that takes text drops.
  setAcceptDrops(true);
  for (QWidget* child : findChildren<QWidget*>())
    if (child->acceptDrops()) child->installEventFilter(this);
  // 2. The window status bar's panels, from the width at this moment; they stay so.
  const int panel0 = width() - 300;
  StatusBar->SetPanels({panel0, width() - panel0 - 30});
  // 3. The progress bar, flat inside the second panel, hidden.
  FProgressBar = new QProgressBar(StatusBar);
  FProgressBar->setObjectName("FProgressBar");
  FProgressBar->setTextVisible(false);
  FProgressBar->setGeometry(StatusBar->PanelWidth(0) + 2, 4, StatusBar->PanelWidth(1), 13);
  FProgressBar->setVisible(false);
  // 4. The screen translation starts here.
  // 5. The tag objects are made and the genre boxes filled here.
  // 6. The title list's undo copy.
  UndoList.clear();
  // 7. The tag panel starts empty.
  ClearTagPanel();
  // 8. The GBK/Big5 code tables are filled here.
  // 9. Later starts hand their command lines over from now on.
  if (FInstance) {
    connect(FInstance, &TSingleInstance::HandOver, this, &TMainForm::ReceiveHandOver);
    FInstance->Listen();
  }
  // 10. The files named on the command line.
  if (FCommandLine.size() > 1) AddCommandLineFiles();
}

void TMainForm::FormClose() {
  if (FClosed) return;
  FClosed = true;
  setAcceptDrops(false);
  if (FInstance) disconnect(FInstance, nullptr, this, nullptr);
  UndoList.clear();
  // The tag objects are freed here, the ID3v1 one first.
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormResize() {
  const int folderHeight = height() / 2 - 70;
  const QList<int> sizes = Splitter3->sizes();
  int total = 0;
  for (int size : sizes) total += size;
  Splitter3->setSizes({folderHeight, qMax(0, total - folderHeight)});
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TMainForm::ApplicationEvents1Idle() {
  if (FClosed) return;
  const bool files = FileCount() > 0;
  const bool lines = TitleLineCount() > 0;
  const bool undo = !UndoList.isEmpty();
  const bool selected = SelectedCount() > 0;
  for (QWidget* w :
       {static_cast<QWidget*>(tbtnCreateTitleList), static_cast<QWidget*>(tbtnCreatePlayList),
        static_cast<QWidget*>(sbtnStartUpdate), static_cast<QWidget*>(sbtnRemoveAllTag)})
    w->setEnabled(files);
  for (QAction* a : {actClearFileList, actRemoveFiles, actPlay, actGetFileProperties})
    a->setEnabled(files);
  tbtnUndo->setEnabled(undo);
  for (QWidget* w : {tbtnGb2Big5, tbtnBig52GB, tbtnClearTitleList, tbtnPunctuationMark, tbtnItemNo,
                     tbtnDelCharacterRight, tbtnDelCharacter})
    w->setEnabled(lines);
  sbtnRename->setEnabled(lines);
  sbtnSave->setEnabled(selected);
  sbtnRemove->setEnabled(selected);
}

void TMainForm::ShowStatus(const QString& text) {
  StatusBar->SetPanelText(0, text);
  StatusBar->repaint();
}

void TMainForm::ClearTagPanel() {
  for (QLineEdit* edit : {TagExistsValue, VersionValue, SizeValue, TitleEdit, ArtistEdit, AlbumEdit,
                          TrackEdit, YearEdit})
    edit->clear();
  GenreComboBox->setCurrentIndex(-1);
  CommentEdit->clear();
  edtAlbumTitle->clear();
}

QString TMainForm::LongPathName(const QString& path) {
  if (path.isEmpty()) return path;
  return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString TMainForm::LookupText(const QString& word) const {
  // The language file's translation of status-bar words comes in here.
  return word;
}

void TMainForm::ReceiveHandOver(const QList<QByteArray>& texts) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  for (const QByteArray& text : texts) AddHandedOverFile(QString::fromUtf8(text));
}

void TMainForm::actCloseExecute() {
  close();
}

void TMainForm::actFontExecute() {
  FD.Font = font();
  if (FD.Execute()) setFont(FD.Font);
}

void TMainForm::actHelpExecute() {
  const QDir folder(QCoreApplication::applicationDirPath());
  for (const QString& name : MainDialogs::HelpFiles) {
    if (QFileInfo(folder.filePath(name)).isFile()) {
      ShellOpen(folder.filePath(name));
      return;
    }
  }
}

int TMainForm::TitleLineCount() const {
  const QTextDocument* document = Memo1->document();
  const int blocks = document->blockCount();
  return document->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

void TMainForm::AppendTitleLine(const QString& line) {
  // A text that ends in a line break already has its empty last line.
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::End);
  if (!Memo1->document()->lastBlock().text().isEmpty()) cursor.insertBlock();
  cursor.insertText(line);
}

void TMainForm::ShowMsg(const QString& msg) {
  VornMsgBox1->ShowMsg(EncodeText(msg), "0");
}

int TMainForm::MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
  return VornMsgBox1->MsgDlg(EncodeText(msg), type, buttons, 0, "0");
}

void TMainForm::Guarded(void (TMainForm::*handler)()) {
  Guarded([this, handler] { (this->*handler)(); });
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Dialogs().MessageDlg(mtError, DecodeText(e.what()), Btn(mbOK), 0);
  }
}
