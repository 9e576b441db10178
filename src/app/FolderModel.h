// The folders of the machine from the root, read as bytes: every folder shows, whatever bytes its
// name holds (a name that is not UTF-8 shows through the code page), and each node keeps the
// exact path. A folder's children are read when it is first opened, and again on a refresh.
#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QIcon>

#include <memory>
#include <vector>

class TFolderModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TFolderModel(QObject* parent = nullptr);
  ~TFolderModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // The exact path of a folder's node; empty for none.
  QByteArray Path(const QModelIndex& index) const;
  // The node of an absolute folder path, reading the folders on the way; invalid when the tree
  // does not hold it.
  QModelIndex Find(const QByteArray& path);
  // Reads the folders below the node again: new ones appear, gone ones go, the others keep
  // their nodes (and so their open state).
  void Refresh(const QModelIndex& index);

 private:
  struct TNode;
  TNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(TNode* node) const;
  void Fetch(TNode* node);
  void RefreshNode(TNode* node);

  std::unique_ptr<TNode> FRoot;  // above "/": its one child is the root folder
  QIcon FIcon;
};
