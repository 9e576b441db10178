// The batch page: the ticked values written into every listed file, and the removal of the tags
// of every listed file.
#pragma once

#include <optional>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "Concern.h"
#include "Workspace.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class TFileList;
class TTitleList;
class TTagPanel;
class TTagOptions;
namespace melotag::editor {
struct TBatchChoices;
class TTagRepairUndo;
}  // namespace melotag::editor

class TBatchUpdate : public QObject, public TConcern {
  Q_OBJECT

 public:
  // Adds the picture's field to the page, under the comment, and couples the page's boxes: the
  // title box enables the title-list box; a value ticks its field's box, an empty one unticks
  // it; so does a genre chosen in the box. The passes go over the files of `list` (the files of
  // `workspace`), with the titles of `titles`, in the tags `panel` writes, by the Unicode
  // `options`.
  TBatchUpdate(IWindow& window, Ui::TMainForm& ui, const melotag::editor::TWorkspace& workspace,
               const TFileList& list, TTitleList& titles, TTagPanel& panel, TTagOptions& options);

  // Unticks every field and empties the values.
  void ClearValues();
  void WriteAll();
  void RemoveAll();

  // --- The loop of a pass over the listed files, which the repairs use too.
  // Shows the progress bar for a pass over `count` files.
  void StartProgress(int count);
  // Hides the progress bar again, its position back at 0.
  void EndProgress();
  // Runs `work` on every listed file in list order (the workspace's pass), after the read-only
  // question (none with the archive box ticked), with the progress shown; Stopped when the pass
  // ended early (the progress bar is then hidden). The rebuilt files are committed together;
  // `failure` names each that could not be.
  melotag::editor::TPassResult EachFile(const QString& failure,
                                        const melotag::editor::TPassWork& work);
  // Puts back the old tags a pass kept in `undo`, committed together; the status shows how many
  // files got them back, a warning (`heading`) names each file that did not: `changed` for one
  // changed since the pass, the system's reason for one that could not be written.
  void UndoPass(melotag::editor::TTagRepairUndo& undo, const QString& changed,
                const QString& heading);

  // A pass whose old tags go to `undo` (emptied first, the previous pass's gone): `step` does
  // each listed file in EachFile's loop; then the panel shows the file again, the status says
  // `done` (looked up) with the number of files written and the frames dropped, and a warning
  // (`heading`) names each failed file with its reason; `note`, as the steps left it, follows the
  // status.
  void TagPass(melotag::editor::TTagRepairUndo& undo, const QString& done, const QString& heading,
               const melotag::editor::TPassWork& step, const QString* note = nullptr);
  // "N: The ID3v1 tag holds texts of another code page ..." (looked up) for N files.
  QString KeptTextsNote(int files) const;
  // Why a file could not be written: "Can not save tag to the file" (looked up) and the
  // system's reason.
  QString WriteFailure(const QByteArray& path) const;

 signals:
  // A pass has changed the tags of listed files.
  void TagsWritten();

 private:
  // The read-only question about a file of a pass; the pass ends (after a message) unless the
  // answer is Yes or Yes to All.
  melotag::editor::TReadOnlyAnswer AskReadOnly(const QByteArray& path);
  // The files of a pass left alone as links out of their scan's folder: one failure line each,
  // the reason as the language file gives it.
  QStringList RefusedLines(const melotag::editor::TPassResult& result) const;
  // Brings the bar to the files done, before a question or a message stops the pass.
  void ProgressBarNow();
  // The status text and the progress after the file at `position` of `count`.
  void Progress(int position, int count, const QByteArray& path);
  // What the page's boxes and values ask of a write pass.
  melotag::editor::TBatchChoices Choices() const;
  // The picture's field: the image file chosen by the dialog; the image every file gets (false,
  // after a message, when the pass cannot start).
  void ChoosePicture();
  bool PictureOfPass(std::optional<QByteArray>& image);
  void BatchWriteID3v1(const melotag::editor::TBatchChoices& choices, const QByteArray& path,
                       const QString& titleLine, int position);
  void BatchWriteID3v2(const melotag::editor::TBatchChoices& choices, const QByteArray& path,
                       const QString& titleLine, int position);
  const melotag::editor::TWorkspace& FWorkspace;
  const TFileList& FFileList;
  TTitleList& FTitleList;
  TTagPanel& FTagPanel;
  TTagOptions& FTagOptions;
  // 2.4 frames the write pass dropped so far (with the Unicode options).
  int FDropped = 0;
  int FKeptTexts = 0;            // trailers whose texts of another code page were kept
  QElapsedTimer FProgressShown;  // when the progress was last painted
  int FProgressAt = 0;           // the files done, where the bar shows them when painted
  // The picture's field: ticked, one image file for all, or each folder's own image.
  QCheckBox* FPicture = nullptr;
  QRadioButton* FPictureFile = nullptr;
  QLineEdit* FPicturePath = nullptr;
  QRadioButton* FFolderPicture = nullptr;
};
