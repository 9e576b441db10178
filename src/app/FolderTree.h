// The folder tree: the folders of the machine from the root, the folder the user chose in it,
// and its refresh. A click or a keyboard move to a folder lists that folder's files.
#pragma once

#include <QByteArray>
#include <QPersistentModelIndex>

#include "Concern.h"

class TFolderModel;

class TFolderTree : public TConcern {
 public:
  TFolderTree(TMainForm& form, Ui::TMainForm& ui);

  TFolderModel* Model() const { return FModel; }
  // Moves the tree to a folder (an absolute path) without listing it; false when the tree does
  // not hold it.
  bool Navigate(const QByteArray& folder);
  // The exact path of the tree's current folder; empty when there is none.
  QByteArray Folder() const;
  // Reads the folders below the current one again; it stays current and open.
  void Refresh();

 private:
  void CurrentChanged(const QModelIndex& current);
  void Clicked(const QModelIndex& index);

  TFolderModel* FModel = nullptr;
  bool FNavigating = false;
  // The folder a mouse press made current and listed; its click then lists nothing again.
  QPersistentModelIndex FListedByPress;
};
