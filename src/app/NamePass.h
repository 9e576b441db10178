// A pass that renames listed files (and maybe their folders), kept for one undo: the list, and
// the tree when folders were renamed, follow the new names.
#pragma once

#include <QList>
#include <QString>

#include "NameRepair.h"

class IWindow;
class TFileList;
class TFolderTree;

class TNamePass {
 public:
  TNamePass(IWindow& window, TFileList& list, TFolderTree& tree)
      : FWindow(window), FFileList(list), FFolderTree(tree) {}
  // Applies the renames (never over a file); the status says `done` (looked up) with how many
  // were made, a warning names each that was not.
  void Apply(const QList<melotag::editor::TNameRepair>& renames, const QString& done);
  // Renames what the last Apply renamed back.
  void Undo();
  bool CanUndo() const { return !FDone.isEmpty(); }

 private:
  // The status, the files listed under their paths after `result`, its failures named.
  void Show(const melotag::editor::TNameRepairResult& result, const QString& done);

  IWindow& FWindow;
  TFileList& FFileList;
  TFolderTree& FFolderTree;
  QList<melotag::editor::TNameRepair> FDone;
};
