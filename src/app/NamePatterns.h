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

class TNamePatterns : public TConcern {
 public:
  TNamePatterns(TMainForm& form, Ui::TMainForm& ui);
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

  std::unique_ptr<melotag::editor::TTagRepairUndo> FTagUndo;
  TNamePass FNames;
};
