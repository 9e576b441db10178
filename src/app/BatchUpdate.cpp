#include "BatchUpdate.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QToolButton>

#include "CodePage.h"
#include "CommitGroup.h"
#include "Cover.h"
#include "Dialogs.h"
#include "FieldWidgets.h"
#include "FileList.h"
#include "FileNames.h"
#include "FilePath.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "Shell.h"
#include "TagError.h"
#include "TagOptions.h"
#include "TagPanel.h"
#include "TagRepair.h"
#include "TagText.h"
#include "TagWrite.h"
#include "TitleList.h"
#include "UnicodeTag.h"
#include "ui_Main.h"

using namespace melotag::editor;

namespace {

// The first row of the page's grid below the form's fields.
constexpr int kFirstOwnRow = 8;

}  // namespace

TBatchUpdate::TBatchUpdate(IWindow& window, Ui::TMainForm& ui, const TWorkspace& workspace,
                           const TFileList& list, TTitleList& titles, TTagPanel& panel,
                           TTagOptions& options)
    : TConcern(window, ui),
      FWorkspace(workspace),
      FFileList(list),
      FTitleList(titles),
      FTagPanel(panel),
      FTagOptions(options) {
  QWidget* page = FUi.ScrollBox2Contents;
  connect(FUi.cbxTitle, &QCheckBox::clicked, this, [this] {
    const bool ticked = FUi.cbxTitle->isChecked();
    FUi.cbxChangeTitleByTitleList->setEnabled(ticked);
    FUi.cbxChangeTitleByTitleList->setChecked(ticked);
  });
  for (auto [edit, box] : {std::pair{FUi.edtArtist, FUi.cbxArtist},
                           {FUi.edtAlbum, FUi.cbxAlbum},
                           {FUi.edtYear, FUi.cbxYear},
                           {FUi.edtComment, FUi.cbxComment}})
    connect(edit, &QLineEdit::textChanged, this,
            [box](const QString& text) { box->setChecked(!text.isEmpty()); });
  // Any genre can be typed; typing ticks the box as choosing does.
  FUi.cboGenre->setEditable(true);
  FUi.cboGenre->setInsertPolicy(QComboBox::NoInsert);
  connect(FUi.cboGenre, &QComboBox::activated, this,
          [this] { FUi.cbxGenre->setChecked(FUi.cboGenre->currentIndex() > 0); });
  connect(FUi.cboGenre, &QComboBox::editTextChanged, this,
          [this](const QString& text) { FUi.cbxGenre->setChecked(!text.trimmed().isEmpty()); });
  QGridLayout* grid = FUi.ScrollBox2Layout;
  // The fields beyond the form's, under them.
  const int pictureRow = FieldWidgets::AddBatchFields(*grid, *page, kFirstOwnRow);
  // The exact write writes the seven fields alone.
  const auto enable = [this] {
    const bool exact = FTagOptions.Options().Exact();
    for (const TFieldRow& row : FieldTable())
      for (const char* name : {row.BatchCheck, row.BatchValue})
        if (QWidget* box = FieldWidgets::Find(*FUi.ScrollBox2Contents, name); box && !row.Exact)
          box->setEnabled(!exact);
  };
  connect(FUi.cbxKeepOtherFrames, &QCheckBox::toggled, this, enable);
  enable();
  // The spacer that keeps the fields at the top goes below the picture's rows.
  for (int i = 0; i < grid->count(); ++i) {
    QSpacerItem* spacer = grid->itemAt(i)->spacerItem();
    if (spacer && (spacer->expandingDirections() & Qt::Vertical)) {
      grid->removeItem(spacer);
      grid->addItem(spacer, pictureRow + 2, 0, 1, 3);
      break;
    }
  }
  FPicture = new QCheckBox(QStringLiteral("Picture"), page);
  FPicture->setObjectName(QStringLiteral("cbxPicture"));
  grid->addWidget(FPicture, pictureRow, 0);
  // One image file for every file: its path, typed or chosen by the dialog.
  auto* row = new QWidget(page);
  auto* rowLayout = new QHBoxLayout(row);
  rowLayout->setContentsMargins(0, 0, 0, 0);
  rowLayout->setSpacing(4);
  FPictureFile = new QRadioButton(QStringLiteral("Image file"), row);
  FPictureFile->setObjectName(QStringLiteral("rbPictureFile"));
  FPictureFile->setChecked(true);
  FPicturePath = new QLineEdit(row);
  FPicturePath->setObjectName(QStringLiteral("edtPicture"));
  FPicturePath->setMinimumWidth(180);
  auto* choose = new QToolButton(row);
  choose->setObjectName(QStringLiteral("btnChoosePicture"));
  choose->setText(QStringLiteral("..."));
  rowLayout->addWidget(FPictureFile);
  rowLayout->addWidget(FPicturePath, 1);
  rowLayout->addWidget(choose);
  grid->addWidget(row, pictureRow, 1);
  // Or each file the image of its own folder.
  FFolderPicture =
      new QRadioButton(QStringLiteral("the folder's cover.jpg / folder.jpg / cover.png"), page);
  FFolderPicture->setObjectName(QStringLiteral("rbFolderPicture"));
  grid->addWidget(FFolderPicture, pictureRow + 1, 1);
  auto* group = new QButtonGroup(page);
  group->addButton(FPictureFile);
  group->addButton(FFolderPicture);
  // As with the other fields: a path ticks the field, an empty one unticks it; so does the choice
  // of the folders' images.
  QObject::connect(FPicturePath, &QLineEdit::textChanged, page, [this](const QString& text) {
    if (!text.isEmpty()) FPictureFile->setChecked(true);
    if (FPictureFile->isChecked()) FPicture->setChecked(!text.isEmpty());
  });
  QObject::connect(FFolderPicture, &QRadioButton::clicked, page,
                   [this] { FPicture->setChecked(true); });
  QObject::connect(FPictureFile, &QRadioButton::clicked, page,
                   [this] { FPicture->setChecked(!FPicturePath->text().isEmpty()); });
  QObject::connect(choose, &QToolButton::clicked, page, [this] { ChoosePicture(); });
}

void TBatchUpdate::ChoosePicture() {
  QStringList chosen;
  if (Dialogs().OpenFiles(QStringLiteral("Images (*.jpg *.jpeg *.png);;All files (*)"), QString(),
                          false, chosen) &&
      !chosen.isEmpty())
    FPicturePath->setText(chosen.first());
}

bool TBatchUpdate::PictureOfPass(std::optional<QByteArray>& image) {
  image.reset();
  if (!FPicture->isChecked()) return true;
  if (!FTagPanel.WritesID3v2()) {
    FWindow.ShowMsg(QStringLiteral("Only the ID3v2 tag carries pictures: choose to write ID3v2"));
    return false;
  }
  if (FFolderPicture->isChecked()) return true;
  const std::optional<QByteArray> path = PathOfText(FPicturePath->text());
  if (!path || path->isEmpty()) {
    FWindow.ShowMsg(QStringLiteral("Choose the image file of the picture"));
    return false;
  }
  TImageFile file = ReadImageFile(*path);
  switch (file.Problem) {
    case TImageFile::None:
      image = std::move(file.Bytes);
      return true;
    case TImageFile::TooLarge:
      FWindow.ShowMsgFmt(QStringLiteral("The image [%s] is larger than 20 MiB: not used"), *path);
      return false;
    case TImageFile::Unreadable:
      FWindow.ShowMsgFmt(QStringLiteral("Can not read the picture"), *path, file.Error);
      return false;
    case TImageFile::NotAnImage:
      break;
  }
  FWindow.ShowMsg(QStringLiteral("The file is not a JPEG or PNG image"));
  return false;
}

void TBatchUpdate::ClearValues() {
  for (QCheckBox* box : {FUi.cbxTitle, FUi.cbxChangeTitleByTitleList, FUi.cbxTrack})
    box->setChecked(false);
  const QWidget& page = *FUi.ScrollBox2Contents;
  for (const TFieldRow& row : FieldTable()) {
    if (QWidget* value = FieldWidgets::Find(page, row.BatchValue))
      FieldWidgets::SetValue(*value, QString());
    if (auto* tick = qobject_cast<QCheckBox*>(FieldWidgets::Find(page, row.BatchCheck)))
      tick->setChecked(false);
  }
  FUi.cboGenre->setCurrentIndex(-1);
  FPicturePath->clear();
  FPictureFile->setChecked(true);
  FPicture->setChecked(false);
}

TBatchChoices TBatchUpdate::Choices() const {
  TBatchChoices choices;
  choices.TitleFromList = FUi.cbxChangeTitleByTitleList->isChecked();
  choices.NumberTracks = FUi.cbxTrack->isChecked();
  const QWidget& page = *FUi.ScrollBox2Contents;
  const bool exact = FTagOptions.Options().Exact();
  for (const TFieldRow& row : FieldTable()) {
    const auto* tick = qobject_cast<const QCheckBox*>(FieldWidgets::Find(page, row.BatchCheck));
    const QWidget* value = FieldWidgets::Find(page, row.BatchValue);
    // The exact write writes the seven fields alone.
    if (tick && value && tick->isChecked() && (row.Exact || !exact))
      choices.Values[row.Field] = FieldWidgets::ValueOf(*value);
  }
  return choices;
}

void TBatchUpdate::StartProgress(int count) {
  FProgressShown.invalidate();
  FProgressAt = 0;
  FWindow.StartProgress(count);
}

void TBatchUpdate::EndProgress() {
  FWindow.EndProgress();
}

void TBatchUpdate::Progress(int position, int count, const QByteArray& path) {
  // Every file's text is set, but painted some 30 times a second and at the last file, when the
  // bar moves too (it paints itself at once at each new percentage): painting every file of a
  // fast pass would cost more than writing it.
  constexpr qint64 kPaintEveryMs = 33;
  const bool paint = position + 1 == count || !FProgressShown.isValid() ||
                     FProgressShown.elapsed() >= kPaintEveryMs;
  if (paint) FProgressShown.start();
  FWindow.ShowStatus(FWindow.LookupText(QStringLiteral("Progress\uFF1A")) +
                         QString::number(position + 1) + '/' + QString::number(count) + "  " +
                         FWindow.LookupText(QStringLiteral("FIle\uFF1A")) +
                         DecodeFileName(path.toStdString()),
                     paint);
  FProgressAt = position + 1;
  if (paint) FWindow.SetProgress(FProgressAt);
}

void TBatchUpdate::ProgressBarNow() {
  FWindow.SetProgress(FProgressAt);
}

TReadOnlyAnswer TBatchUpdate::AskReadOnly(const QByteArray& path) {
  ProgressBarNow();
  switch (FWindow.MsgDlgFmt("The file [%s] is read-only, Set File Attributes [ARCHIVE] ?",
                            mtConfirmation, Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll), path)) {
    case mrYes:
      return TReadOnlyAnswer::Write;
    case mrYesToAll:
      return TReadOnlyAnswer::WriteAll;
    default:
      // No, or the question closed without an answer: the file stays as it is, the pass ends.
      FWindow.ShowMsg(
          "The file is read-only. Applications can read the file but cannot write to it or "
          "delete it.");
      return TReadOnlyAnswer::Stop;
  }
}

void TBatchUpdate::WriteAll() {
  if (!FFileList.Check()) return;
  if (!FTagPanel.FID3v1 || !FTagPanel.FID3v2) return;  // the window is closing
  const int count = FFileList.Count();
  StartProgress(count);
  FDropped = 0;
  FKeptTexts = 0;
  const TBatchChoices choices = Choices();
  const bool exact = FTagOptions.Options().Exact();
  if (!exact && FieldWidgets::Refused(FWindow, choices.Values)) {
    EndProgress();
    return;
  }
  // Said with the pass's outcome: what the ID3v1 tags cannot take (the last file's track is the
  // highest).
  const QString lacks =
      !exact && FTagPanel.WritesID3v1()
          ? FieldWidgets::TrailerLacks(FWindow, BatchValuesOf(choices, QString(), count - 1))
          : QString();
  const TTitleLines* titles = nullptr;
  if (choices.TitleFromList) {
    titles = &FTitleList.Read();
    if (titles->Count() == 0) {
      FWindow.ShowMsg("TitleList is Empty !");
      EndProgress();
      return;
    }
    if (titles->Count() != count) {
      FWindow.ShowMsg("FileList count <> TitleList count !");
      EndProgress();
      return;
    }
  }
  std::optional<QByteArray> image;
  if (!PictureOfPass(image)) {
    EndProgress();
    return;
  }
  const bool folderPictures = FPicture->isChecked() && FFolderPicture->isChecked();
  TFolderCovers covers;
  QStringList withoutPicture;  // files left as they were: their folder gave no image
  const TTagPanel& panel = FTagPanel;
  const TPassResult result =
      EachFile(QStringLiteral("Can not save tag to the file"), [&](int i, const QByteArray& path) {
        TBatchChoices fileChoices = choices;
        fileChoices.FrontCover = image;
        if (folderPictures) {
          const TFolderCovers::TImage& cover = covers.For(path);
          if (!cover.Error.isEmpty()) {
            withoutPicture << IWindow::FailureLine(path, FWindow.LookupText(cover.Error));
            return TPassStep();
          }
          fileChoices.FrontCover = cover.Bytes;
        }
        const QString titleLine = titles ? titles->Line(i) : QString();
        if (panel.WritesID3v1()) BatchWriteID3v1(fileChoices, path, titleLine, i);
        if (panel.WritesID3v2()) BatchWriteID3v2(fileChoices, path, titleLine, i);
        return TPassStep();
      });
  FWindow.ShowFailures(FWindow.LookupText(QStringLiteral(" file(s) left as they were:")),
                       withoutPicture + RefusedLines(result));
  if (result.Stopped) return;
  emit TagsWritten();
  QString status = FWindow.LookupText(QStringLiteral("Update OK"));
  if (const QString dropped = FTagOptions.DroppedText(FDropped); !dropped.isEmpty())
    status += QStringLiteral("  ") + dropped;
  if (!lacks.isEmpty()) status += QStringLiteral("  ") + lacks;
  if (FKeptTexts > 0) status += QStringLiteral("  ") + KeptTextsNote(FKeptTexts);
  FWindow.ShowStatus(status);
  EndProgress();
}

void TBatchUpdate::BatchWriteID3v1(const TBatchChoices& choices, const QByteArray& path,
                                   const QString& titleLine, int position) {
  melotag::tags::ClearError();
  bool kept = false;
  const bool written =
      WriteBatchID3v1(path, choices, titleLine, position, FTagOptions.Options().Exact(), &kept);
  FKeptTexts += kept ? 1 : 0;
  if (!written) {
    ProgressBarNow();
    FWindow.ShowMsgFmt("Can not save tag to the file", path, TagFailureText(path));
  }
}

void TBatchUpdate::BatchWriteID3v2(const TBatchChoices& choices, const QByteArray& path,
                                   const QString& titleLine, int position) {
  melotag::tags::ClearError();
  const TWriteOutcome outcome =
      WriteBatchID3v2(path, choices, titleLine, position, FTagOptions.Options());
  if (!outcome.Ok) {
    ProgressBarNow();
    FWindow.ShowMsgFmt("Can not save tag to the file", path, TagFailureText(path));
  }
  FDropped += outcome.Dropped;
}

void TBatchUpdate::RemoveAll() {
  if (!FFileList.Check()) return;
  if (!FTagPanel.FID3v1 || !FTagPanel.FID3v2) return;
  TTagPanel& panel = FTagPanel;
  const int count = FFileList.Count();
  StartProgress(count);
  // The platform's own question, not the message box's.
  if (Dialogs().MessageDlg(mtConfirmation,
                           QStringLiteral("Are you sure want to delete all tag data?"),
                           Btn(mbYes) | Btn(mbNo), 0) != mrYes) {
    EndProgress();
    return;
  }
  const TPassResult result = EachFile(QStringLiteral("Can not remove tag from the file"),
                                      [&](int, const QByteArray& path) {
                                        panel.RemoveTags(path);
                                        return TPassStep();
                                      });
  FWindow.ShowFailures(FWindow.LookupText(QStringLiteral(" file(s) left as they were:")),
                       RefusedLines(result));
  if (result.Stopped) return;
  FWindow.ShowStatus(FWindow.LookupText(QStringLiteral("Update OK")));
  EndProgress();
}

TPassResult TBatchUpdate::EachFile(const QString& failure, const TPassWork& work) {
  TPassOptions options;
  options.MakeWritable = FUi.cbxFILE_ATTRIBUTE_ARCHIVE->isChecked();
  options.ReadOnly = [this](int, const QByteArray& path) { return AskReadOnly(path); };
  options.Progress = [this](int position, int count, const QByteArray& path) {
    Progress(position, count, path);
  };
  TPassResult result = FWorkspace.RunPass(work, options);
  for (const TCommitFailure& commit : result.CommitFailures)
    FWindow.ShowMsgFmt(failure, commit.Path, commit.Reason);
  if (result.Stopped) EndProgress();
  return result;
}

QStringList TBatchUpdate::RefusedLines(const TPassResult& result) const {
  QStringList lines;
  for (qsizetype i = 0; i < result.Outcomes.size(); ++i)
    if (result.Outcomes[i].State == TPassState::Refused)
      lines.append(IWindow::FailureLine(FFileList.Path(int(i)),
                                        FWindow.LookupText(result.Outcomes[i].Reason)));
  return lines;
}

void TBatchUpdate::UndoPass(TTagRepairUndo& undo, const QString& changed, const QString& heading) {
  if (undo.Empty()) return;
  const int count = undo.Files();
  std::vector<QByteArray> changedFiles, failedFiles;
  {
    melotag::tags::ClearError();
    melotag::tags::TCommitGroup group;
    undo.Undo(changedFiles, failedFiles);
    for (const std::string& path : group.Flush())
      failedFiles.push_back(QByteArray::fromStdString(path));
  }
  // A file whose two tags were both kept is named once.
  QSet<QByteArray> named;
  QStringList failures;
  const auto name = [&](const QByteArray& path, const QString& reason) {
    if (named.contains(path)) return;
    named.insert(path);
    failures.append(NameCaption(FileNamePart(path)) + ": " + reason);
  };
  for (const QByteArray& path : changedFiles) name(path, changed);
  for (const QByteArray& path : failedFiles) name(path, WriteFailure(path));
  emit TagsWritten();
  FWindow.ShowStatus(FWindow.LookupText(QStringLiteral("Tags restored: ")) +
                     QString::number(count - static_cast<int>(failures.size())));
  FWindow.ShowFailures(heading, failures);
}

QString TBatchUpdate::KeptTextsNote(int files) const {
  return QString::number(files) + QStringLiteral(": ") +
         FWindow.LookupText(QStringLiteral(
             "The ID3v1 tag holds texts of another code page: they are kept as they were"));
}

void TBatchUpdate::TagPass(TTagRepairUndo& undo, const QString& done, const QString& heading,
                           const TPassWork& step, const QString* note) {
  undo.Clear();
  // Written: what the steps changed, a file whose commit failed too (the commit's own message
  // names it).
  int written = 0;
  StartProgress(FFileList.Count());
  const TPassResult result =
      EachFile(QStringLiteral("Can not save tag to the file"), [&](int i, const QByteArray& path) {
        TPassStep outcome = step(i, path);
        written += outcome.Done;
        return outcome;
      });
  if (!result.Stopped) EndProgress();
  QStringList failures;
  for (qsizetype i = 0; i < result.Outcomes.size(); ++i)
    if (result.Outcomes[i].State == TPassState::Failed)
      failures.append(NameCaption(FileNamePart(FFileList.Path(int(i)))) + ": " +
                      result.Outcomes[i].Reason);
  failures.append(RefusedLines(result));
  emit TagsWritten();
  FWindow.ShowStatus(FWindow.LookupText(done) + QString::number(written) + "  " +
                     FTagOptions.DroppedText(result.Dropped) +
                     (note && !note->isEmpty() ? QStringLiteral("  ") + *note : QString()));
  FWindow.ShowFailures(heading, failures);
}

QString TBatchUpdate::WriteFailure(const QByteArray& path) const {
  return FWindow.LookupText(QStringLiteral("Can not save tag to the file")) + ": " +
         TagFailureText(path);
}
