// The main window: its start and life, the idle-time enabling of commands, the status bar, the
// font, help and close commands, messages, and the handlers that hand work to the concerns.
#include "Main.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QThread>

#include <utility>

#include "BatchUpdate.h"
#include "CodePage.h"
#include "CodeTables.h"
#include "FileList.h"
#include "FileLock.h"
#include "FileNames.h"
#include "FolderTree.h"
#include "Journal.h"
#include "LegacyRepair.h"
#include "NamePatterns.h"
#include "PlayList.h"
#include "QtTranslation.h"
#include "Renaming.h"
#include "Shell.h"
#include "ShellEntry.h"
#include "SingleInstance.h"
#include "StatusBar.h"
#include "TagOptions.h"
#include "TagPanel.h"
#include "TitleList.h"
#include "VornMultiClassMethod.h"
#include "VornMultiDD.h"
#include "VornMultiScreen.h"
#include "ui_Main.h"

TMainForm::TMainForm(const QList<QByteArray>& commandLine, TSingleInstance* instance,
                     QWidget* parent)
    : QWidget(parent),
      FUi(std::make_unique<Ui::TMainForm>()),
      FCommandLine(commandLine),
      FInstance(instance) {
  FUi->setupUi(this);
  resize(800, 600);
  // Centred on the screen when first shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  VornMultiFileDD1 = new TVornMultiFileDD(this);
  VornMultiFileDD1->setObjectName("VornMultiFileDD1");
  VornMultiFileDD1->SetDDName("DD1");
  VornMultiFileDD1->SetDDReaderID("VornTextCSV");
  VornMultiFileDD1->SetFileName(QStringLiteral("Melotag.lng"));
  VornMultiScreenEye1 = new TVornMultiScreenEye(this);
  VornMultiScreenEye1->setObjectName("VornMultiScreenEye1");
  VornMultiScreenEye1->SetReplaceNotRegister(true);
  VornMultiScreenEye1->SetOnBeforeReplace(
      [this](TVornMultiScreenEye* sender, QWidget* form, bool& replace) {
        VornMultiScreenEye1BeforeReplace(sender, form, replace);
      });
  VornMsgBox1 = new TVornMsgBox(this);
  VornMsgBox1->setObjectName("VornMsgBox1");
  Ui::TMainForm& ui = *FUi;
  FFolderTree = std::make_unique<TFolderTree>(*this, ui);
  FFileList = std::make_unique<TFileList>(*this, ui, FWorkspace.Files(), *FFolderTree, OpenDialog1,
                                          ImageList1(0));
  FTitleList =
      std::make_unique<TTitleList>(*this, ui, FWorkspace.Titles(), *FFileList, OpenDialog1);
  FTagOptions = std::make_unique<TTagOptions>(*this, ui);
  FTagPanel = std::make_unique<TTagPanel>(*this, ui, *FFileList, *FTagOptions);
  FBatchUpdate = std::make_unique<TBatchUpdate>(*this, ui, FWorkspace, *FFileList, *FTitleList,
                                                *FTagPanel, *FTagOptions);
  FRenaming = std::make_unique<TRenaming>(*this, ui, FWorkspace, *FFileList, *FFolderTree,
                                          *FTitleList, *FTagOptions);
  FPlayList = std::make_unique<TPlayList>(*this, ui, *FFileList, *FTagOptions, SaveDialog);
  FShellEntry = std::make_unique<TShellEntry>(*this, ui);
  FLegacyRepair =
      std::make_unique<TLegacyRepair>(*this, ui, *FFileList, *FFolderTree, *FBatchUpdate);
  FNamePatterns = std::make_unique<TNamePatterns>(*this, ui, *FFileList, *FFolderTree, *FTagPanel,
                                                  *FTagOptions, *FBatchUpdate);
  // What the concerns tell: a folder chosen in the tree is listed, the tag of the selected file
  // is shown again after a pass.
  connect(FFolderTree.get(), &TFolderTree::FolderChosen, this,
          [this] { Guarded([this] { ShellTreeView1Click(); }); });
  connect(FBatchUpdate.get(), &TBatchUpdate::TagsWritten, this, &TMainForm::lvIniFileListChange);
  BindControls();
  ListenToTheTagFiles();
  FormCreate();
  // The idle event: whenever the event queue has run empty.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::ApplicationEvents1Idle);
}

TMainForm::~TMainForm() {
  melotag::tags::SetJournalNotice({});
  melotag::tags::SetLockWaitObserver({});
  FormClose();
}

void TMainForm::ListenToTheTagFiles() {
  melotag::tags::SetJournalNotice([this](const std::string& journal, const std::string& reason) {
    const QString line = LookupText(QStringLiteral("A crash journal could not be applied: ")) +
                         melotag::editor::NameCaption(QByteArray::fromStdString(journal)) + " (" +
                         LookupText(QString::fromStdString(reason)) + ")";
    // Shown once the work that met them is done, all in one message.
    QMetaObject::invokeMethod(
        this,
        [this, line] {
          const bool first = FJournalNotices.isEmpty();
          FJournalNotices.append(line);
          if (first)
            QMetaObject::invokeMethod(
                this, [this] { ShowMsg(std::exchange(FJournalNotices, {}).join('\n')); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
  });
  melotag::tags::SetLockWaitObserver([this](const std::string& path, int holder, int) {
    QString text = LookupText(QStringLiteral("Waiting for a file locked by another program: ")) +
                   melotag::editor::NameCaption(QByteArray::fromStdString(path));
    if (holder > 0) text += " (" + QString::number(holder) + ")";
    if (QThread::currentThread() == thread())
      ShowStatus(text);
    else
      QMetaObject::invokeMethod(
          this, [this, text] { ShowStatus(text); }, Qt::QueuedConnection);
  });
}

void TMainForm::FormCreate() {
  // 1. Accept dropped files, also where they fall on a control that takes text drops.
  setAcceptDrops(true);
  for (QWidget* child : findChildren<QWidget*>())
    if (child->acceptDrops()) child->installEventFilter(this);
  // 2. The window status bar's panels, from the width at this moment; they stay so.
  const int panel0 = width() - 300;
  FUi->StatusBar->SetPanels({panel0, width() - panel0 - 30});
  // 3. The progress bar, flat inside the second panel, hidden.
  FProgressBar = new QProgressBar(FUi->StatusBar);
  FProgressBar->setObjectName("FProgressBar");
  FProgressBar->setTextVisible(false);
  FProgressBar->setGeometry(FUi->StatusBar->PanelWidth(0) + 2, 4, FUi->StatusBar->PanelWidth(1),
                            13);
  FProgressBar->setVisible(false);
  // 4. Every form is translated when it first becomes active; the window's status bar has
  // panels of its own.
  MultiClassMethodStorage().RegisterClassMethod(&TStatusBar::staticMetaObject,
                                                TStatusBar::ReplaceTexts);
  VornMultiScreenEye1->StartReplace();
  // 5. The tag objects, and between them the genre boxes.
  FTagPanel->MakeTagObjects();
  // 6. The title list's undo copy.
  FTitleList->ClearUndo();
  // 7. The tag panel starts empty; the Unicode options as the last run left them.
  ClearTagPanel();
  // The options of Unicode tags, as the last run left them.
  FTagOptions->Load();
  // 8. The GBK/Big5 code tables.
  FillCodeTables();
  // 9. Later starts hand their command lines over from now on.
  if (FInstance) {
    connect(FInstance, &TSingleInstance::HandOver, this, &TMainForm::ReceiveHandOver);
    FInstance->Listen();
  }
  // 10. The files named on the command line.
  if (FCommandLine.size() > 1) FFileList->AddCommandLine(FCommandLine, *FTitleList);
}

void TMainForm::FormClose() {
  if (FClosed) return;
  FClosed = true;
  setAcceptDrops(false);
  VornMultiScreenEye1->StopReplace();
  if (FInstance) disconnect(FInstance, nullptr, this, nullptr);
  FTitleList->ClearUndo();
  FTagPanel->FreeTagObjects();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormResize() {
  const int folderHeight = height() / 2 - 70;
  const QList<int> sizes = FUi->Splitter3->sizes();
  int total = 0;
  for (int size : sizes) total += size;
  FUi->Splitter3->setSizes({folderHeight, qMax(0, total - folderHeight)});
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TMainForm::ApplicationEvents1Idle() {
  if (FClosed) return;
  const bool files = FFileList->Count() > 0;
  const bool lines = FTitleList->LineCount() > 0;
  const bool undo = FTitleList->CanUndo();
  const bool selected = FFileList->SelectedCount() > 0;
  const Ui::TMainForm& ui = *FUi;
  for (QWidget* w :
       {static_cast<QWidget*>(ui.tbtnCreateTitleList), static_cast<QWidget*>(ui.tbtnCreatePlayList),
        static_cast<QWidget*>(ui.sbtnStartUpdate), static_cast<QWidget*>(ui.sbtnRemoveAllTag)})
    w->setEnabled(files);
  for (QAction* a : {ui.actClearFileList, ui.actRemoveFiles, ui.actPlay, ui.actGetFileProperties})
    a->setEnabled(files);
  ui.tbtnUndo->setEnabled(undo);
  for (QWidget* w : {ui.tbtnGb2Big5, ui.tbtnBig52GB, ui.tbtnClearTitleList, ui.tbtnPunctuationMark,
                     ui.tbtnItemNo, ui.tbtnDelCharacterRight, ui.tbtnDelCharacter})
    w->setEnabled(lines);
  ui.sbtnRename->setEnabled(lines);
  ui.actRepairLegacyTags->setEnabled(files);
  ui.actRepairFileNames->setEnabled(files);
  ui.actUndoRepairTags->setEnabled(FLegacyRepair->CanUndoTags());
  ui.actUndoRepairNames->setEnabled(FLegacyRepair->CanUndoNames());
  ui.actTagsFromNames->setEnabled(files);
  ui.actNamesFromTags->setEnabled(files);
  ui.actUndoTagsFromNames->setEnabled(FNamePatterns->CanUndoTags());
  ui.actUndoNamesFromTags->setEnabled(FNamePatterns->CanUndoNames());
  ui.sbtnSave->setEnabled(selected);
  ui.sbtnRemove->setEnabled(selected);
}

void TMainForm::ShowFailures(const QString& heading, const QStringList& failures) {
  // The most lines one message lists; the rest are counted.
  constexpr int kListed = 20;
  if (failures.isEmpty()) return;
  QString text =
      QString::number(failures.size()) + heading + '\n' + failures.mid(0, kListed).join('\n');
  if (failures.size() > kListed)
    text += "\n... and " + QString::number(failures.size() - kListed) + " more";
  Dialogs().MessageDlg(mtWarning, text, Btn(mbOK), 0);
}

void TMainForm::ShowStatus(const QString& text, bool paint) {
  FUi->StatusBar->SetPanelText(0, text);
  if (paint) FUi->StatusBar->repaint();
}

void TMainForm::StartProgress(int count) {
  FProgressBar->setMaximum(count);
  FProgressBar->setValue(0);
  FProgressBar->setVisible(true);
}

void TMainForm::SetProgress(int position) {
  FProgressBar->setValue(position);
}

void TMainForm::EndProgress() {
  FProgressBar->setValue(0);
  FProgressBar->setVisible(false);
}

void TMainForm::ClearTagPanel() {
  FTagPanel->Clear();
}

QString TMainForm::LookupText(const QString& word) {
  const TMultiReplaceOption& option = VornMultiScreenEye1->DefaultReplaceOption();
  // Before the first activation there is no code page yet: nothing is looked up.
  if (word.isEmpty() || option.CodePage().empty() || !LanguageReady()) return word;
  return TranslateText(*VornMultiFileDD1, word, option.CodePage(), option.SeqNo());
}

void TMainForm::VornMultiScreenEye1BeforeReplace(TVornMultiScreenEye*, QWidget* form,
                                                 bool& Replace) {
  const std::string codePage = std::to_string(GetACP());
  TMultiReplaceOption& option = VornMultiScreenEye1->DefaultReplaceOption();
  option.SetDDName(VornMultiFileDD1->DDName());
  option.SetCodePage(codePage);
  option.SetSeqNo("0");
  VornMsgBox1->SetCodePage(codePage);
  UseQtTranslations();
  // Messages are translated only through a dictionary that has been read: without the file they
  // are shown as written, never cut short by its error.
  if (LanguageReady()) {
    VornMsgBox1->SetDDName(VornMultiFileDD1->DDName());
    // The totals of files listed before the window was first active, in its language.
    if (form == this) UpdateTotals();
  } else {
    VornMsgBox1->SetDDName(std::string());
    Replace = false;
  }
}

bool TMainForm::LanguageReady() {
  if (VornMultiFileDD1->Built()) return true;
  const QFileInfo file(VornMultiFileDD1->FilePath());
  const QString state =
      file.exists()
          ? QStringLiteral("%1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch())
          : QString();
  if (FLanguageFailed && state == FLanguageFileState) return false;
  try {
    VornMultiFileDD1->BuildDD();
    FLanguageFailed = false;
    return true;
  } catch (const std::exception& e) {
    FLanguageFailed = true;
    FLanguageFileState = state;
    const QString message = DecodeText(e.what());
    QMetaObject::invokeMethod(
        this, [message] { Dialogs().MessageDlg(mtError, message, Btn(mbOK), 0); },
        Qt::QueuedConnection);
    return false;
  }
}

void TMainForm::ReceiveHandOver(const QList<QByteArray>& texts) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  for (const QByteArray& text : texts) FFileList->AddHandedOver(text);
}

bool TMainForm::CheckFileList() {
  return FFileList->Check();
}

void TMainForm::ScanFolder(const QByteArray& folder) {
  FFileList->Scan(folder);
}

void TMainForm::UpdateTotals() {
  FFileList->UpdateTotals();
}

TVornMsgBox& TMainForm::MessageBox() {
  // Before the first activation the message box has no code page and translates nothing.
  if (!VornMultiScreenEye1->DefaultReplaceOption().CodePage().empty())
    VornMsgBox1->SetDDName(LanguageReady() ? VornMultiFileDD1->DDName() : std::string());
  return *VornMsgBox1;
}

void TMainForm::ShowMsg(const QString& msg) {
  MessageBox().ShowMsg(EncodeText(msg), "0");
}

int TMainForm::MsgDlg(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
  return MessageBox().MsgDlg(EncodeText(msg), type, buttons, 0, "0");
}

void TMainForm::ShowMsgFmt(const QString& msg, const QByteArray& path) {
  MessageBox().ShowMsgFmt(EncodeText(msg), {EncodeText(DecodeFileName(path.toStdString()))}, "0");
}

void TMainForm::ShowMsgFmt(const QString& msg, const QByteArray& path, const QString& reason) {
  // The language file's text is looked up as it is; the detail follows it as the system gave it.
  Dialogs().MessageDlg(mtCustom, LookupText(msg) + '\n' + FailureLine(path, reason), Btn(mbOK), 0);
}

int TMainForm::MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                         const QByteArray& path) {
  return MsgDlgFmt(msg, type, buttons, QStringList{DecodeFileName(path.toStdString())});
}

int TMainForm::MsgDlgFmt(const QString& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                         const QStringList& texts) {
  std::vector<TVarRec> args;
  args.reserve(size_t(texts.size()));
  for (const QString& text : texts) args.emplace_back(EncodeText(text));
  return MessageBox().MsgDlgFmt(EncodeText(msg), type, buttons, 0, args, "0");
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Dialogs().MessageDlg(mtError, DecodeText(e.what()), Btn(mbOK), 0);
  }
}

// --- Dropped files

namespace {

// The local files of a drop, as the exact bytes of their paths.
QList<QByteArray> DroppedPaths(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  return melotag::editor::LocalPathsOfUriList(data->data(QStringLiteral("text/uri-list")));
}

}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDrops() && !DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!acceptDrops() || DroppedPaths(drop->mimeData()).isEmpty()) break;
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
  QList<QByteArray> names;
  for (const QByteArray& path : DroppedPaths(event->mimeData()))
    names.append(melotag::editor::AbsolutePath(path));
  event->acceptProposedAction();
  // The question is asked after the drop has ended, not inside it.
  QMetaObject::invokeMethod(
      this, [this, names] { Guarded([&] { FFileList->Drop(names); }); }, Qt::QueuedConnection);
}

// --- Handlers reached by their names: each hands its work to its concern.

void TMainForm::actOpenFolderExecute() {
  FFileList->OpenFolder();
}

void TMainForm::actAddFilesExecute() {
  FFileList->AddFiles();
}

void TMainForm::actFontExecute() {
  FD.Font = font();
  if (FD.Execute()) setFont(FD.Font);
}

void TMainForm::actPlayListExecute() {
  FPlayList->Create();
}

void TMainForm::actCreateByFilenameExecute() {
  FTitleList->CreateByFilename();
}

void TMainForm::actRenameExecute() {
  FRenaming->RenameFiles();
}

void TMainForm::actItemNoExecute() {
  FTitleList->ItemNo();
}

void TMainForm::actRenameDirExecute() {
  FRenaming->RenameFolder();
}

void TMainForm::actPlayExecute() {
  FFileList->Play();
}

void TMainForm::actGetFilePropertiesExecute() {
  FFileList->ShowProperties();
}

void TMainForm::actClearFileListExecute() {
  FFileList->ClearAsked();
}

void TMainForm::actHelpExecute() {
  for (const QString& name : MainDialogs::HelpFiles) {
    const QString path = ProgramFile(name);
    if (QFileInfo(path).isFile()) {
      // A missing help file stays silent; one that no program opens is said.
      if (!ShellOpen(path)) ShowMsg(QStringLiteral("No program is set to open the help file"));
      return;
    }
  }
}

void TMainForm::ShellTreeView1Click() {
  FFileList->Clear();
  FBatchUpdate->ClearValues();
  const QByteArray folder = FFolderTree->Folder();
  if (folder.isEmpty())
    UpdateTotals();
  else
    ScanFolder(folder);
  FUi->PageControl1->setCurrentIndex(0);
}

void TMainForm::lvIniFileListChange() {
  FTagPanel->ShowSelected();
}

void TMainForm::lvIniFileListDblClick() {
  FFileList->Play();
}

void TMainForm::SpeedButton5Click() {
  FRenaming->GetAlbumTitle();
}
