#include "TagPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include "CoverPanel.h"
#include "FieldWidgets.h"
#include "FileList.h"
#include "FileNames.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "Shell.h"
#include "TagError.h"
#include "TagOptions.h"
#include "TagText.h"
#include "TagWrite.h"
#include "UnicodeTag.h"
#include "ui_Main.h"

using namespace melotag::editor;

namespace {

// True when the tag was written; says so when it was not.
template <class TTag>
bool WriteOne(IWindow& window, TTag& tag, const QByteArray& path) {
  melotag::tags::ClearError();
  if (FileExists(path) && tag.WriteToFile(TagPath(path))) return true;
  window.ShowMsgFmt("Can not save tag to the file", path, TagFailureText(path));
  return false;
}

// True when the tag was removed; says so when it was not.
template <class TTag>
bool DeleteOne(IWindow& window, TTag& tag, const QByteArray& path) {
  melotag::tags::ClearError();
  if (FileExists(path) && tag.DeleteFromFile(TagPath(path))) return true;
  // Nothing failed but there was no such tag to remove.
  window.ShowMsgFmt("Can not remove tag from the file", path,
                    TagFailureText(path, QStringLiteral("the file has no such tag")));
  return false;
}

// Said when a trailer in another code page keeps its texts.
const QString kKeptTexts =
    QStringLiteral("The ID3v1 tag holds texts of another code page: they are kept as they were");

// The longest text an edit holds, and the length the tag class reads.
constexpr int kWholeValue = 32767, kPartsValue = 250;

}  // namespace

TTagPanel::TTagPanel(IWindow& window, Ui::TMainForm& ui, const TFileList& list,
                     TTagOptions& options)
    : TConcern(window, ui),
      FFileList(list),
      FTagOptions(options),
      FCover(std::make_unique<TCoverPanel>(window, ui, *this)) {
  // The fields beyond the form's seven, under them; the spacer that keeps the fields at the top
  // goes below.
  QGridLayout& grid = *FUi.ScrollBox1Layout;
  grid.removeItem(FUi.ScrollBox1Spacer);
  const int end = FieldWidgets::AddPanelFields(grid, *FUi.ScrollBox1Contents, grid.rowCount());
  grid.addItem(FUi.ScrollBox1Spacer, end, 0, 1, 4);
  // Any genre can be typed; the list's names are offered.
  FUi.GenreComboBox->setEditable(true);
  FUi.GenreComboBox->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(FUi.cbxKeepOtherFrames, &QCheckBox::toggled, FUi.ScrollBox1Contents,
                   [this] { EnableFields(); });
  EnableFields();
}

QWidget& TTagPanel::Box(TField field) const {
  return *FieldWidgets::Find(*FUi.ScrollBox1Contents, RowOf(field).PanelWidget);
}

void TTagPanel::EnableFields() {
  // The exact write writes the seven fields alone.
  const bool exact = FTagOptions.Options().Exact();
  for (const TFieldRow& row : FieldTable())
    if (!row.Exact) Box(row.Field).setEnabled(!exact);
}

TTagPanel::~TTagPanel() = default;

void TTagPanel::MakeTagObjects() {
  FID3v1 = std::make_unique<TID3v1>();
  FillGenreBoxes();
  FID3v2 = std::make_unique<TID3v2>();
}

void TTagPanel::FreeTagObjects() {
  FID3v1.reset();
  FID3v2.reset();
}

bool TTagPanel::WritesID3v1() const {
  const int preference = FUi.rgrpWritingTags->ItemIndex();
  return preference == 0 || preference == 2;
}

bool TTagPanel::WritesID3v2() const {
  const int preference = FUi.rgrpWritingTags->ItemIndex();
  return preference == 1 || preference == 2;
}

bool TTagPanel::WriteTag(TID3v1& tag, const QByteArray& path) {
  return WriteOne(FWindow, tag, path);
}

bool TTagPanel::WriteTag(TID3v1& tag, const QByteArray& path, const TFieldValues& changes,
                         const TFieldValues& whole) {
  melotag::tags::ClearError();
  // A trailer keeps the fields the user did not change; a new one takes them all. Read and
  // written under one lock.
  bool kept = false;
  TFieldValues given;
  const bool written = FileExists(path) && tag.EditFile(TagPath(path), [&](TID3v1& trailer) {
    given = trailer.Exists() ? TrailerValues(trailer, changes, &kept) : whole;
    SetFromFields(trailer, given);
  });
  if (!written) {
    FWindow.ShowMsgFmt("Can not save tag to the file", path, TagFailureText(path));
    return false;
  }
  // What the trailer cannot take of what it was given.
  if (const QString lacks = FieldWidgets::TrailerLacks(FWindow, given); !lacks.isEmpty())
    FNotes << lacks;
  if (kept) FNotes << FWindow.LookupText(kKeptTexts);
  return true;
}

bool TTagPanel::RemoveTags(const QByteArray& path) {
  bool removed = true;
  for (const bool v1 : {true, false}) {
    if (!(v1 ? WritesID3v1() : WritesID3v2())) continue;
    if (v1 ? DeleteOne(FWindow, *FID3v1, path) : DeleteOne(FWindow, *FID3v2, path))
      Clear();
    else
      removed = false;
  }
  return removed;
}

void TTagPanel::FillGenreBoxes() {
  const QStringList choices = GenreChoices();
  FUi.GenreComboBox->clear();
  FUi.GenreComboBox->addItems(choices);
  FUi.GenreComboBox->setCurrentIndex(-1);
  FUi.cboGenre->clear();
  FUi.cboGenre->addItems(choices);
  FUi.cboGenre->setCurrentIndex(-1);
}

void TTagPanel::Clear() {
  for (QLineEdit* edit : {FUi.TagExistsValue, FUi.VersionValue, FUi.SizeValue}) edit->clear();
  for (const TFieldRow& row : FieldTable()) FieldWidgets::SetValue(Box(row.Field), QString());
  FUi.GenreComboBox->setCurrentIndex(-1);
  FShown.reset();
  FShownID3v2 = false;
  FCover->Clear();
  FUi.edtAlbumTitle->clear();
}

void TTagPanel::ShowSelected() {
  Clear();
  if (!FID3v1 || !FID3v2) return;  // the window is closing
  const QByteArray path = SelectedPath();
  if (path.isEmpty()) return;
  CurrentFileName = path;
  if (!FileExists(path)) {
    FWindow.ShowMsgFmt("The file does not exist", path);
    return;
  }
  // Items 2 and 3 show the preferred tag alone, as items 0 and 1 do. A file that takes more
  // memory than there is is named, and the window goes on.
  const QString lack = CatchAllocationFailure(path, [&] {
    switch (FUi.rgrpReadingTags->ItemIndex()) {
      case 0:
      case 2:
        ShowID3v1Tag(path);
        break;
      case 1:
      case 3:
        ShowID3v2Tag(path);
        break;
    }
  });
  if (!lack.isEmpty()) FWindow.ShowMsgFmt("Can not read tag from the file", path, lack);
  FCover->Show(path);
}

void TTagPanel::ShowID3v1Tag(const QByteArray& path) {
  melotag::tags::ClearError();
  if (!FID3v1->LoadFromFile(TagPath(path))) {
    FWindow.ShowMsgFmt("Can not read tag from the file", path, TagFailureText(path));
    return;
  }
  Show(ViewOf(*FID3v1), false);
}

void TTagPanel::ShowID3v2Tag(const QByteArray& path) {
  melotag::tags::ClearError();
  if (FTagOptions.Options().ReadUnicode) {
    TID3v2Text text;
    if (LoadID3v2Text(TagPath(path), text)) {
      Show(ViewOf(text), true);
      if (!text.TooLarge.isEmpty())
        FWindow.ShowStatus(FWindow.LookupText(QStringLiteral(
                               "Compressed frames too large to read, kept as they are:")) +
                           ' ' + text.TooLarge.join(QStringLiteral(", ")));
    } else
      FWindow.ShowMsgFmt("Can not read tag from the file", path, TagFailureText(path));
    return;
  }
  if (!FID3v2->LoadFromFile(TagPath(path))) {
    FWindow.ShowMsgFmt("Can not read tag from the file", path, TagFailureText(path));
    return;
  }
  Show(ViewOf(*FID3v2), true);
}

void TTagPanel::Show(const TTagView& view, bool id3v2) {
  // Values read by their encoding are shown whole (as far as an edit holds); the tag class's
  // are 250 bytes at most.
  const int limit = FTagOptions.Options().ReadUnicode ? kWholeValue : kPartsValue;
  for (QLineEdit* edit : {FUi.TitleEdit, FUi.ArtistEdit, FUi.AlbumEdit, FUi.CommentEdit})
    edit->setMaxLength(limit);
  FUi.TagExistsValue->setText(FWindow.LookupText(view.ExistsText));
  // What the fields hold now is what the user changes: a file without the tag shows empty
  // fields, so that every field given is a change.
  FShownID3v2 = id3v2;
  FShown = Fields();
  if (!view.Exists) return;
  FUi.VersionValue->setText(view.VersionText);
  // "N bytes" in the language of the language file.
  QString size = view.SizeText;
  if (size.endsWith(QStringLiteral(" bytes")))
    size = size.chopped(5) + FWindow.LookupText(QStringLiteral("bytes"));
  FUi.SizeValue->setText(size);
  for (const TFieldRow& row : FieldTable())
    if (view.Fields.Has(row.Field))
      FieldWidgets::SetValue(Box(row.Field), view.Fields.Text(row.Field));
  FUi.PageControl1->setCurrentIndex(0);
  const QString albumTitle = AlbumTitleOf(FUi.ArtistEdit->text(), FUi.AlbumEdit->text());
  if (!albumTitle.isEmpty()) {
    FUi.edtAlbumTitle->setText(albumTitle);
    FUi.edtAlbumTitle->setCursorPosition(0);  // shown from its start
  }
  FShown = Fields();
}

TFieldValues TTagPanel::Fields() const {
  TFieldValues fields;
  for (const TFieldRow& row : FieldTable())
    fields[row.Field] = FieldWidgets::ValueOf(Box(row.Field));
  return fields;
}

QByteArray TTagPanel::SelectedPath() const {
  const int index = FFileList.SelectedIndex();
  return FFileList.Count() > 0 && index >= 0 ? FFileList.Path(index) : QByteArray();
}

bool TTagPanel::MayChange(const QByteArray& path) {
  if (FUi.cbxFILE_ATTRIBUTE_ARCHIVE->isChecked() || !IsReadOnlyFile(path)) return true;
  if (FWindow.MsgDlgFmt("The file [%s] is read-only, Set File Attributes [ARCHIVE] ?",
                        mtConfirmation, Btn(mbYes) | Btn(mbNo), path) != mrYes) {
    FWindow.ShowMsg(
        "The file is read-only. Applications can read the file but cannot write to it or delete "
        "it.");
    return false;
  }
  SetArchiveOnly(path);
  return true;
}

QByteArray TTagPanel::PathToChange() {
  if (!FFileList.Check()) return {};
  if (!FID3v1 || !FID3v2) return {};  // the window is closing
  // With entries but none selected there is nothing to change.
  const QByteArray path = SelectedPath();
  if (path.isEmpty()) return {};
  CurrentFileName = path;
  if (!MayWriteThrough(path, FFileList.ScanRoot(FFileList.SelectedIndex()))) {
    FWindow.ShowFailures(
        FWindow.LookupText(QStringLiteral(" file(s) left as they were:")),
        {IWindow::FailureLine(path, FWindow.LookupText(QString::fromLatin1(kLinkOutsideText)))});
    return {};
  }
  return MayChange(path) ? path : QByteArray();
}

void TTagPanel::Write() {
  // A value no tag can hold is named before anything is asked or written.
  if (!FTagOptions.Options().Exact() && FieldWidgets::Refused(FWindow, Fields())) return;
  const QByteArray path = PathToChange();
  if (path.isEmpty()) return;
  FNotes.clear();
  bool written = true;
  const QString lack = CatchAllocationFailure(path, [&] {
    if (WritesID3v1()) written = SaveID3v1FromPanel(path) && written;
    if (WritesID3v2()) written = SaveID3v2FromPanel(path) && written;
  });
  if (!lack.isEmpty()) FWindow.ShowMsgFmt("Can not save tag to the file", path, lack);
  // The file written, named, with what the tags could not take.
  if (written && lack.isEmpty())
    FNotes.prepend(FWindow.LookupText(QStringLiteral("Tag written: ")) +
                   NameCaption(FileNamePart(path)));
  if (!FNotes.isEmpty()) FWindow.ShowStatus(FNotes.join(QStringLiteral("  ")));
  ShowSelected();
}

bool TTagPanel::SaveID3v1FromPanel(const QByteArray& path) {
  const TFieldValues fields = Fields();
  if (FTagOptions.Options().Exact()) {
    SetFromFields(*FID3v1, fields, true);
    return WriteTag(*FID3v1, path);
  }
  // Only what differs from the tag shown, whichever it was; a new trailer takes the panel.
  return WriteTag(*FID3v1, path, FShown ? ChangesBetween(*FShown, fields).Fields : fields, fields);
}

bool TTagPanel::SaveID3v2FromPanel(const QByteArray& path) {
  const TUnicodeOptions options = FTagOptions.Options();
  const TFieldValues fields = Fields();
  // Only what differs from the ID3v2 tag shown; all of the panel when it showed the ID3v1 tag,
  // and in the exact write, which takes the panel's seven values.
  const TID3v2Changes changes = !options.Exact() && FShown && FShownID3v2
                                    ? ChangesBetween(*FShown, fields)
                                    : ChangesOf(fields);
  TWriteOutcome outcome;
  melotag::tags::ClearError();
  if (FileExists(path)) outcome = WriteID3v2(TagPath(path), changes, options);
  if (!outcome.Ok) FWindow.ShowMsgFmt("Can not save tag to the file", path, TagFailureText(path));
  if (const QString dropped = FTagOptions.DroppedText(outcome.Dropped); !dropped.isEmpty())
    FNotes << dropped;
  return outcome.Ok;
}

void TTagPanel::Remove() {
  const QByteArray path = PathToChange();
  if (path.isEmpty()) return;
  if (FWindow.MsgDlgFmt("Remove ID3 Tags From File : [%s] ?", mtConfirmation,
                        Btn(mbYes) | Btn(mbNo), path) != mrYes)
    return;
  // The panel is not read again: after a removal it stays cleared.
  if (RemoveTags(path))
    FWindow.ShowStatus(FWindow.LookupText(QStringLiteral("Tags removed: ")) +
                       NameCaption(FileNamePart(path)));
}
