// The single-file tag panel: the tag of the selected file, written or removed by the writing
// preference.
#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

#include "Concern.h"
#include "TagText.h"

class TID3v1;
class TID3v2;

namespace melotag::editor {
struct TID3v2Text;
}  // namespace melotag::editor

class TCoverPanel;
class TFileList;
class TTagOptions;

class TTagPanel : public TConcern {
 public:
  // Shows the tag of `list`'s selected file, read and written by the Unicode `options`.
  TTagPanel(IWindow& window, Ui::TMainForm& ui, const TFileList& list, TTagOptions& options);
  ~TTagPanel();

  // Makes the tag objects every tag access goes through, and between them fills the genre boxes.
  void MakeTagObjects();
  // Frees the tag objects: the panel and the passes do nothing from now on.
  void FreeTagObjects();
  // The genre boxes of the panel and of the batch page: an empty entry, then the genre names.
  void FillGenreBoxes();
  // Empties the panel's fields and the album title.
  void Clear();
  // Shows the tag of the selected file by the reading preference.
  void ShowSelected();
  // Writes the panel into the selected file by the writing preference, then shows it again.
  void Write();
  // Removes the selected file's tags by the writing preference, after asking.
  void Remove();

  // Shared with the batch passes.
  // The writing preference: item 0 ID3v1, 1 ID3v2, 2 both (ID3v1 first).
  bool WritesID3v1() const;
  bool WritesID3v2() const;
  // Writes the tag object's fields into the file; says so when it cannot (false).
  bool WriteTag(TID3v1& tag, const QByteArray& path);
  // Writes `changes` into the file's trailer, or `whole` into a new one; says so when it cannot
  // (false). What the trailer could not take goes to FNotes.
  bool WriteTag(TID3v1& tag, const QByteArray& path, const melotag::editor::TFieldValues& changes,
                const melotag::editor::TFieldValues& whole);
  // Removes the file's tags by the writing preference, each with its own success (the panel is
  // cleared) or message. True when every one was removed.
  bool RemoveTags(const QByteArray& path);
  // The selected file, once the list check, the scan's folder (a link out of it is named and
  // left alone) and the read-only question let it be changed (it is then CurrentFileName); empty
  // otherwise.
  QByteArray PathToChange();
  TCoverPanel& Cover() const { return *FCover; }

  // The tag objects; none before the window is made and after it is closed.
  std::unique_ptr<TID3v1> FID3v1;
  std::unique_ptr<TID3v2> FID3v2;
  // The file the panel showed or changed last (the exact bytes of its path).
  QByteArray CurrentFileName;

 private:
  void ShowID3v1Tag(const QByteArray& path);
  void ShowID3v2Tag(const QByteArray& path);
  // Shows the view and remembers it as what the panel showed of that tag.
  void Show(const melotag::editor::TTagView& view, bool id3v2);
  // True when written; says why not otherwise. Notes go to FNotes.
  bool SaveID3v1FromPanel(const QByteArray& path);
  bool SaveID3v2FromPanel(const QByteArray& path);
  melotag::editor::TFieldValues Fields() const;
  // The panel's box of a field.
  QWidget& Box(melotag::editor::TField field) const;
  // The boxes of the fields beyond the exact write's seven, enabled unless it is chosen.
  void EnableFields();
  // The path of the selected file of a list that is not empty; empty when there is none.
  QByteArray SelectedPath() const;
  // The read-only question before writing or removing; true when the file may be changed.
  bool MayChange(const QByteArray& path);

  const TFileList& FFileList;
  TTagOptions& FTagOptions;
  std::unique_ptr<TCoverPanel> FCover;
  // The fields as shown, and whether they are an ID3v2 tag's: a write with the other frames kept
  // changes only what differs from them.
  std::optional<melotag::editor::TFieldValues> FShown;
  bool FShownID3v2 = false;
  // What a write of the panel says with its outcome in the status bar.
  QStringList FNotes;
};
