#include "FolderModel.h"

#include <QApplication>
#include <QCollator>
#include <QStyle>

#include <algorithm>

#include "FileNames.h"

namespace editor = melotag::editor;

struct TFolderModel::TNode {
  QByteArray Name;
  QString Caption;
  TNode* Parent = nullptr;
  std::vector<std::unique_ptr<TNode>> Children;
  bool Fetched = false;

  int Row() const {
    if (!Parent) return 0;
    const auto& siblings = Parent->Children;
    for (size_t i = 0; i < siblings.size(); ++i)
      if (siblings[i].get() == this) return int(i);
    return 0;
  }
  QByteArray Path() const {
    if (!Parent || !Parent->Parent) return Name;  // the root folder "/"
    return editor::JoinPath(Parent->Path(), Name);
  }
};

namespace {

// Folder names in the order a file manager shows them: by caption, letter case aside.
QList<QByteArray> SortedFolders(const QByteArray& path) {
  QList<QByteArray> names = editor::SubFolders(path);
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<std::pair<QCollatorSortKey, QByteArray>> keyed;
  keyed.reserve(names.size());
  for (const QByteArray& name : names)
    keyed.emplace_back(collator.sortKey(editor::NameCaption(name)), name);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
  names.clear();
  for (const auto& [key, name] : keyed) names.append(name);
  return names;
}

}  // namespace

TFolderModel::TFolderModel(QObject* parent)
    : QAbstractItemModel(parent),
      FRoot(std::make_unique<TNode>()),
      FIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon)) {
  auto top = std::make_unique<TNode>();
  top->Name = "/";
  top->Caption = QStringLiteral("/");
  top->Parent = FRoot.get();
  FRoot->Children.push_back(std::move(top));
  FRoot->Fetched = true;
}

TFolderModel::~TFolderModel() = default;

TFolderModel::TNode* TFolderModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TNode*>(index.internalPointer()) : FRoot.get();
}

QModelIndex TFolderModel::IndexOf(TNode* node) const {
  if (!node || node == FRoot.get()) return {};
  return createIndex(node->Row(), 0, node);
}

QModelIndex TFolderModel::index(int row, int column, const QModelIndex& parent) const {
  const TNode* node = NodeOf(parent);
  if (column != 0 || row < 0 || row >= int(node->Children.size())) return {};
  return createIndex(row, 0, node->Children[size_t(row)].get());
}

QModelIndex TFolderModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  return IndexOf(NodeOf(child)->Parent);
}

int TFolderModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return int(NodeOf(parent)->Children.size());
}

int TFolderModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant TFolderModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const TNode* node = NodeOf(index);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return role == Qt::DisplayRole ? node->Caption : editor::NameCaption(node->Path());
    case Qt::DecorationRole:
      return FIcon;
    default:
      return {};
  }
}

bool TFolderModel::hasChildren(const QModelIndex& parent) const {
  const TNode* node = NodeOf(parent);
  return !node->Fetched || !node->Children.empty();
}

bool TFolderModel::canFetchMore(const QModelIndex& parent) const {
  return !NodeOf(parent)->Fetched;
}

void TFolderModel::fetchMore(const QModelIndex& parent) {
  Fetch(NodeOf(parent));
}

void TFolderModel::Fetch(TNode* node) {
  if (node->Fetched) return;
  node->Fetched = true;
  const QList<QByteArray> names = SortedFolders(node->Path());
  if (names.isEmpty()) return;
  beginInsertRows(IndexOf(node), 0, int(names.size()) - 1);
  for (const QByteArray& name : names) {
    auto child = std::make_unique<TNode>();
    child->Name = name;
    child->Caption = editor::NameCaption(name);
    child->Parent = node;
    node->Children.push_back(std::move(child));
  }
  endInsertRows();
}

QByteArray TFolderModel::Path(const QModelIndex& index) const {
  return index.isValid() ? NodeOf(index)->Path() : QByteArray();
}

QModelIndex TFolderModel::Find(const QByteArray& path) {
  if (!path.startsWith('/')) return {};
  TNode* node = FRoot->Children.front().get();
  for (const QByteArray& part : path.split('/')) {
    if (part.isEmpty() || part == ".") continue;
    Fetch(node);
    auto found = std::find_if(node->Children.begin(), node->Children.end(),
                              [&](const auto& child) { return child->Name == part; });
    if (found == node->Children.end()) return {};
    node = found->get();
  }
  return IndexOf(node);
}

void TFolderModel::Refresh(const QModelIndex& index) {
  RefreshNode(NodeOf(index));
}

void TFolderModel::RefreshNode(TNode* node) {
  if (!node->Fetched) return;
  if (node != FRoot.get()) {
    const QList<QByteArray> names = SortedFolders(node->Path());
    const QModelIndex parent = IndexOf(node);
    // Gone folders go, from the end so that the rows stay right.
    for (int row = int(node->Children.size()) - 1; row >= 0; --row) {
      if (names.contains(node->Children[size_t(row)]->Name)) continue;
      beginRemoveRows(parent, row, row);
      node->Children.erase(node->Children.begin() + row);
      endRemoveRows();
    }
    // New folders come in at their place in the order.
    for (int row = 0; row < int(names.size()); ++row) {
      if (row < int(node->Children.size()) && node->Children[size_t(row)]->Name == names[row])
        continue;
      beginInsertRows(parent, row, row);
      auto child = std::make_unique<TNode>();
      child->Name = names[row];
      child->Caption = editor::NameCaption(names[row]);
      child->Parent = node;
      node->Children.insert(node->Children.begin() + row, std::move(child));
      endInsertRows();
    }
  }
  for (const auto& child : node->Children) RefreshNode(child.get());
}
