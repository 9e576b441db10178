// The repairs of legacy Chinese (and other code-page) texts: the tags of the listed files and
// their file names, each after a preview, each with one undo.
#pragma once

#include <QByteArray>
#include <QList>

#include <memory>

#include "Concern.h"
#include "NamePass.h"
#include "NameRepair.h"
#include "RepairPreview.h"

namespace melotag::editor {
class TTagRepairUndo;
}
class TBatchUpdate;
class TFileList;
class TFolderTree;

class TLegacyRepair : public TConcern {
 public:
  // Repairs the files of `list` (`tree` follows their folders) by the passes of `batch`.
  TLegacyRepair(IWindow& window, Ui::TMainForm& ui, TFileList& list, TFolderTree& tree,
                TBatchUpdate& batch);
  ~TLegacyRepair();

  // Previews the legacy texts of the listed files' tags; on OK writes them as Unicode.
  void RepairTags();
  // Writes the old tags of the last tag repair back.
  void UndoTags();
  bool CanUndoTags() const;
  // Previews the UTF-8 names of the listed files (and their folders) whose names are not UTF-8;
  // on OK renames them and lists the files under their new names.
  void RepairNames();
  // Renames what the last name repair renamed back.
  void UndoNames();
  bool CanUndoNames() const { return FNames.CanUndo(); }

 private:
  QList<QByteArray> ListedPaths() const;
  // The window's lookup of its words in the language file, for the preview.
  TRepairPreview::TLookup Lookup() const;
  // The name of a tag field in the user's language.
  QString FieldText(const QString& field) const;

  TFileList& FFileList;
  TBatchUpdate& FBatchUpdate;
  std::unique_ptr<melotag::editor::TTagRepairUndo> FTagUndo;
  TNamePass FNames;
};
