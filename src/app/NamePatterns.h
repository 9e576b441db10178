// Tags from the listed files' names and names from their tags, each by a pattern after a preview,
// each with one undo. The last patterns are remembered between runs.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

#include "Concern.h"
#include "NamePass.h"
#include "NameRepair.h"
#include "PatternPreview.h"

namespace melotag::editor {
class TTagRepairUndo;
}
class TBatchUpdate;
class TFileList;
class TFolderTree;
class TTagPanel;
class TTagOptions;

class TNamePatterns : public TConcern {
 public:
  // Works on the files of `list` (`tree` follows their folders) by the passes of `batch`, the
  // tags offered as `panel` writes them, read and written by the Unicode `options`.
  TNamePatterns(IWindow& window, Ui::TMainForm& ui, TFileList& list, TFolderTree& tree,
                const TTagPanel& panel, const TTagOptions& options, TBatchUpdate& batch);
  ~TNamePatterns();

  // Previews the values the pattern reads out of the listed files' names; on OK writes them
  // into the chosen tags of each file whose name matches (its other frames kept).
  void TagsFromNames();
  // Writes the old tags of the last pass back.
  void UndoTags();
  bool CanUndoTags() const;
  // Previews the names the pattern makes of the listed files' tags; on OK renames them by the
  // renaming's rules and lists the files under their new names.
  void NamesFromTags();
  // Renames what the last pass renamed back.
  void UndoNames();
  bool CanUndoNames() const { return FNames.CanUndo(); }

  // The patterns remembered for tags from names, respectively names from tags, the latest first.
  static QStringList TagPatterns();
  static QStringList NamePatterns();

 private:
  TPatternPreview::TLookup Lookup() const;

  TFileList& FFileList;
  const TTagPanel& FTagPanel;
  const TTagOptions& FTagOptions;
  TBatchUpdate& FBatchUpdate;
  std::unique_ptr<melotag::editor::TTagRepairUndo> FTagUndo;
  TNamePass FNames;
};
