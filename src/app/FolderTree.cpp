#include "FolderTree.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>

#include "FolderModel.h"
#include "ui_Main.h"

void TFolderTreeView::keyPressEvent(QKeyEvent* event) {
  QScopedValueRollback<int> user(FUserInput, FUserInput + 1);
  QTreeView::keyPressEvent(event);
}

void TFolderTreeView::mousePressEvent(QMouseEvent* event) {
  FCurrentBeforePress = currentIndex();
  QScopedValueRollback<int> user(FUserInput, FUserInput + 1);
  QTreeView::mousePressEvent(event);
}

void TFolderTreeView::mouseMoveEvent(QMouseEvent* event) {
  QScopedValueRollback<int> user(FUserInput, FUserInput + 1);
  QTreeView::mouseMoveEvent(event);
}

TFolderTree::TFolderTree(IWindow& window, Ui::TMainForm& ui)
    : TConcern(window, ui), FModel(new TFolderModel(window.Widget())) {
  FModel->setObjectName("ShellTreeView1Model");
  TFolderTreeView* tree = ui.ShellTreeView1;
  tree->setModel(FModel);
  tree->expand(FModel->index(0, 0));
  connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TFolderTree::CurrentChanged);
  connect(tree, &QTreeView::clicked, this, &TFolderTree::Clicked);
}

void TFolderTree::CurrentChanged(const QModelIndex& current) {
  if (current.isValid() && FUi.ShellTreeView1->ByUser()) emit FolderChosen();
}

void TFolderTree::Clicked(const QModelIndex& index) {
  // A press that made the folder current has listed it: its click lists it only once.
  if (index != FUi.ShellTreeView1->CurrentBeforePress()) return;
  emit FolderChosen();
}

bool TFolderTree::Navigate(const QByteArray& folder) {
  const QModelIndex index = FModel->Find(folder);
  if (!index.isValid()) return false;
  FUi.ShellTreeView1->setCurrentIndex(index);
  FUi.ShellTreeView1->scrollTo(index);
  return true;
}

QByteArray TFolderTree::Folder() const {
  return FModel->Path(FUi.ShellTreeView1->currentIndex());
}

void TFolderTree::Refresh() {
  const QModelIndex current = FUi.ShellTreeView1->currentIndex();
  FModel->Refresh(current);
  if (current.isValid()) FUi.ShellTreeView1->expand(current);
}
