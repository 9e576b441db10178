// The folder tree: the folders of the machine from the root, the folder the user chose in it,
// and its refresh. A click or a keyboard move to a folder lists that folder's files; a folder that
// becomes current otherwise (focus, the program, a change of the model) lists nothing.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPersistentModelIndex>
#include <QTreeView>

#include "Concern.h"

class TFolderModel;

// The tree control: knows whether the user's keys or mouse are moving it at this moment.
class TFolderTreeView : public QTreeView {
 public:
  using QTreeView::QTreeView;

  // True while a key press or a mouse press or move of the user is being handled.
  bool ByUser() const { return FUserInput > 0; }
  // The folder that was current when the last mouse press came.
  QModelIndex CurrentBeforePress() const { return FCurrentBeforePress; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  int FUserInput = 0;
  QPersistentModelIndex FCurrentBeforePress;
};

class TFolderTree : public QObject, public TConcern {
  Q_OBJECT

 public:
  TFolderTree(IWindow& window, Ui::TMainForm& ui);

  TFolderModel* Model() const { return FModel; }
  // Moves the tree to a folder (an absolute path) without listing it; false when the tree does
  // not hold it.
  bool Navigate(const QByteArray& folder);
  // The exact path of the tree's current folder; empty when there is none.
  QByteArray Folder() const;
  // Reads the folders below the current one again; it stays current and open.
  void Refresh();

 signals:
  // The user chose a folder: its files are to be listed.
  void FolderChosen();

 private:
  void CurrentChanged(const QModelIndex& current);
  void Clicked(const QModelIndex& index);

  TFolderModel* FModel = nullptr;
};
