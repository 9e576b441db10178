#include "FolderTree.h"

#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QTreeView>

#include "FolderModel.h"
#include "Main.h"
#include "ui_Main.h"

TFolderTree::TFolderTree(TMainForm& form, Ui::TMainForm& ui)
    : TConcern(form, ui), FModel(new TFolderModel(&form)) {
  FModel->setObjectName("ShellTreeView1Model");
  QTreeView* tree = ui.ShellTreeView1;
  tree->setModel(FModel);
  tree->expand(FModel->index(0, 0));
  QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, &form,
                   [this](const QModelIndex& current) { CurrentChanged(current); });
  QObject::connect(tree, &QTreeView::clicked, &form,
                   [this](const QModelIndex& index) { Clicked(index); });
}

void TFolderTree::CurrentChanged(const QModelIndex& current) {
  if (FNavigating || !current.isValid()) return;
  // A mouse press makes a folder current and its release clicks it: list it once.
  FListedByPress = QGuiApplication::mouseButtons() != Qt::NoButton ? current : QModelIndex();
  FForm.Guarded(&TMainForm::ShellTreeView1Click);
}

void TFolderTree::Clicked(const QModelIndex& index) {
  if (FListedByPress.isValid() && FListedByPress == index) {
    FListedByPress = QModelIndex();
    return;
  }
  FForm.Guarded(&TMainForm::ShellTreeView1Click);
}

bool TFolderTree::Navigate(const QByteArray& folder) {
  const QModelIndex index = FModel->Find(folder);
  if (!index.isValid()) return false;
  QScopedValueRollback<bool> navigating(FNavigating, true);
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
