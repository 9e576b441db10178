#include "VornMultiClassMethod.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <unordered_set>

#include "CodePage.h"
#include "Exception.h"
#include "VornMultiDD.h"

namespace {

// "Is of class c or descends from it"; a class inherits itself.
bool Descends(TClassRef c, TClassRef ancestor) {
  return c == ancestor || c->inherits(ancestor);
}

// Painting held back while a routine writes many texts; released also when a look-up fails.
class TUpdateBracket {
 public:
  explicit TUpdateBracket(QWidget* widget) : FWidget(widget), FWas(widget->updatesEnabled()) {
    FWidget->setUpdatesEnabled(false);
  }
  ~TUpdateBracket() { FWidget->setUpdatesEnabled(FWas); }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

 private:
  QWidget* FWidget;
  bool FWas;
};

// The codec of a code page named by its number; null when the text names none we can convert.
const TCodePageCodec* CodecOf(const std::string& codePage) {
  if (codePage.empty() || codePage.size() > 6) return nullptr;
  int number = 0;
  for (char c : codePage) {
    if (c < '0' || c > '9') return nullptr;
    number = number * 10 + (c - '0');
  }
  static std::map<int, std::unique_ptr<TCodePageCodec>> codecs;
  auto at = codecs.find(number);
  if (at == codecs.end()) {
    std::unique_ptr<TCodePageCodec> codec;
    try {
      codec = std::make_unique<TCodePageCodec>(number);
    } catch (const Exception&) {
    }
    at = codecs.emplace(number, std::move(codec)).first;
  }
  return at->second.get();
}

bool HasEscapes(const QString& text) {
  for (QChar c : text)
    if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) return true;
  return false;
}

// Writes the translation of `text` through `set` when it differs.
template <class Setter>
void Replace(IMultiDD& dd, const QString& text, const std::string& cp, const std::string& seq,
             Setter set) {
  const QString translated = TranslateText(dd, text, cp, seq);
  if (translated != text) set(translated);
}

void ReplaceGroupBox(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                     const QFont*) {
  auto* box = static_cast<QGroupBox*>(c);
  Replace(dd, box->title(), cp, seq, [box](const QString& t) { box->setTitle(t); });
}

void ReplaceTabBar(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                   const QFont*) {
  auto* bar = static_cast<QTabBar*>(c);
  // The tabs of a tab widget are its pages: the tab widget's routine translates them.
  if (qobject_cast<QTabWidget*>(bar->parentWidget())) return;
  for (int i = 0; i < bar->count(); ++i)
    Replace(dd, bar->tabText(i), cp, seq, [bar, i](const QString& t) { bar->setTabText(i, t); });
}

void ReplaceTabWidget(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                      const QFont*) {
  auto* pages = static_cast<QTabWidget*>(c);
  for (int i = 0; i < pages->count(); ++i)
    Replace(dd, pages->tabText(i), cp, seq,
            [pages, i](const QString& t) { pages->setTabText(i, t); });
}

void ReplaceButton(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                   const QFont*) {
  auto* button = static_cast<QAbstractButton*>(c);
  Replace(dd, button->text(), cp, seq, [button](const QString& t) { button->setText(t); });
}

void ReplaceComboBox(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                     const QFont*) {
  auto* box = static_cast<QComboBox*>(c);
  // The items only: what is typed in an editable box stays.
  const QString edit = box->isEditable() ? box->currentText() : QString();
  for (int i = 0; i < box->count(); ++i)
    Replace(dd, box->itemText(i), cp, seq, [box, i](const QString& t) { box->setItemText(i, t); });
  if (box->isEditable() && box->currentText() != edit) box->setEditText(edit);
}

void ReplaceStandardItems(IMultiDD& dd, QStandardItem* parent, const std::string& cp,
                          const std::string& seq) {
  for (int row = 0; row < parent->rowCount(); ++row) {
    for (int column = 0; column < parent->columnCount(); ++column) {
      QStandardItem* item = parent->child(row, column);
      if (!item) continue;
      Replace(dd, item->text(), cp, seq, [item](const QString& t) { item->setText(t); });
      if (column == 0) ReplaceStandardItems(dd, item, cp, seq);
    }
  }
}

// A tree of items of its own (a QStandardItemModel); a model over other data (the file system)
// has no texts of the program's.
void ReplaceTreeView(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                     const QFont*) {
  auto* tree = static_cast<QTreeView*>(c);
  auto* model = qobject_cast<QStandardItemModel*>(tree->model());
  if (!model) return;
  TUpdateBracket bracket(tree);
  ReplaceStandardItems(dd, model->invisibleRootItem(), cp, seq);
}

// A list with columns: the column captions, then per row its caption and its sub-items.
void ReplaceListView(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                     const QFont*) {
  auto* list = static_cast<QTreeWidget*>(c);
  TUpdateBracket bracket(list);
  if (QTreeWidgetItem* header = list->headerItem()) {
    for (int column = 0; column < list->columnCount(); ++column)
      Replace(dd, header->text(column), cp, seq,
              [header, column](const QString& t) { header->setText(column, t); });
  }
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    for (int column = 0; column < item->columnCount(); ++column)
      Replace(dd, item->text(column), cp, seq,
              [item, column](const QString& t) { item->setText(column, t); });
  }
}

void ReplaceListBox(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                    const QFont*) {
  auto* list = static_cast<QListWidget*>(c);
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    Replace(dd, item->text(), cp, seq, [item](const QString& t) { item->setText(t); });
  }
}

void ReplaceHeader(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                   const QFont*) {
  auto* header = static_cast<QHeaderView*>(c);
  // A list's header shows the list's columns, which the list's routine translates.
  if (qobject_cast<QTreeWidget*>(header->parentWidget())) return;
  QAbstractItemModel* model = header->model();
  if (!model) return;
  const Qt::Orientation orientation = header->orientation();
  for (int i = 0; i < header->count(); ++i) {
    Replace(dd, model->headerData(i, orientation).toString(), cp, seq,
            [model, i, orientation](const QString& t) { model->setHeaderData(i, orientation, t); });
  }
}

void ReplaceStatusBar(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                      const QFont*) {
  auto* bar = static_cast<QStatusBar*>(c);
  Replace(dd, bar->currentMessage(), cp, seq, [bar](const QString& t) { bar->showMessage(t); });
}

void ReplaceLabel(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                  const QFont*) {
  auto* label = static_cast<QLabel*>(c);
  Replace(dd, label->text(), cp, seq, [label](const QString& t) { label->setText(t); });
}

void ReplaceToolButton(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                       const QFont* font) {
  auto* button = static_cast<QToolButton*>(c);
  if (QAction* action = button->defaultAction())
    TranslateAction(dd, action, cp, seq);
  else
    ReplaceButton(dd, c, cp, seq, font);
}

void ReplaceToolBar(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                    const QFont*) {
  for (QAction* action : static_cast<QToolBar*>(c)->actions()) TranslateAction(dd, action, cp, seq);
}

void TranslateMenuItems(IMultiDD& dd, const QList<QAction*>& items, const std::string& cp,
                        const std::string& seq, std::unordered_set<const QWidget*>& menus) {
  for (QAction* item : items) {
    TranslateAction(dd, item, cp, seq);
    if (QMenu* sub = item->menu(); sub && menus.insert(sub).second)
      TranslateMenuItems(dd, sub->actions(), cp, seq, menus);
  }
}

void ReplaceAction(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                   const QFont*) {
  TranslateAction(dd, static_cast<QAction*>(c), cp, seq);
}

void ReplaceMenu(IMultiDD& dd, QObject* c, const std::string& cp, const std::string& seq,
                 const QFont*) {
  auto* menu = static_cast<QWidget*>(c);
  std::unordered_set<const QWidget*> menus{menu};
  TranslateMenuItems(dd, menu->actions(), cp, seq, menus);
}

// What QAction::toolTip() answers when no tool tip was set: the text without "&" and "...".
QString StrippedText(QString text) {
  text.remove(QStringLiteral("..."));
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text.at(i) == QLatin1Char('&')) text.remove(i, 1);
  return text.trimmed();
}

}  // namespace

// --- TClassMethod and the storage

TClassMethod::~TClassMethod() {
  // The siblings that follow, one after the other, then the children.
  TClassMethod* sibling = NextSibling;
  NextSibling = nullptr;
  while (sibling) {
    TClassMethod* next = sibling->NextSibling;
    sibling->NextSibling = nullptr;
    delete sibling;
    sibling = next;
  }
  delete FirstChild;
}

TMultiClassMethodStorage::~TMultiClassMethodStorage() {
  TMultiClassMethodStorage::Clear();
}

void TMultiClassMethodStorage::RegisterClassMethod(TClassRef classRef, TReplaceMethod method) {
  if (!classRef) return;
  if (TClassMethod* node = FindExactClassMethod(classRef)) {
    node->Method = method;
    return;
  }
  auto* node = new TClassMethod(classRef, method);
  auto adopt = [node](TClassMethod* child) {
    child->NextSibling = node->FirstChild;
    node->FirstChild = child;
    child->Parent = node;
  };
  for (size_t i = FRoots.size(); i-- > 0;) {
    TClassMethod* root = FRoots[i];
    if (Descends(root->ClassRef, classRef)) {
      FRoots.erase(FRoots.begin() + static_cast<std::ptrdiff_t>(i));
      adopt(root);
    }
  }
  if (TClassMethod* parent = FindClassMethod(classRef)) {
    TClassMethod** link = &parent->FirstChild;
    while (TClassMethod* child = *link) {
      if (Descends(child->ClassRef, classRef)) {
        *link = child->NextSibling;
        adopt(child);
      } else {
        link = &child->NextSibling;
      }
    }
    node->NextSibling = parent->FirstChild;
    parent->FirstChild = node;
    node->Parent = parent;
  } else {
    FRoots.push_back(node);
  }
}

TClassMethod* TMultiClassMethodStorage::FindClassMethod(TClassRef classRef) const {
  if (!classRef) return nullptr;
  for (TClassMethod* root : FRoots) {
    TClassMethod* result = nullptr;
    for (TClassMethod* node = root; node;) {
      if (Descends(classRef, node->ClassRef)) {
        result = node;
        node = node->FirstChild;
      } else {
        node = node->NextSibling;
      }
    }
    if (result) return result;
  }
  return nullptr;
}

namespace {
TClassMethod* FindExact(TClassMethod* node, TClassRef classRef) {
  for (; node; node = node->NextSibling) {
    if (node->ClassRef == classRef) return node;
    if (TClassMethod* found = FindExact(node->FirstChild, classRef)) return found;
  }
  return nullptr;
}
}  // namespace

TClassMethod* TMultiClassMethodStorage::FindExactClassMethod(TClassRef classRef) const {
  for (TClassMethod* root : FRoots)
    if (TClassMethod* found = FindExact(root, classRef)) return found;
  return nullptr;
}

void TMultiClassMethodStorage::UnregisterClassMethod(TClassRef classRef) {
  TClassMethod* node = FindClassMethod(classRef);
  if (!node || node->ClassRef != classRef) return;
  TClassMethod* parent = node->Parent;
  if (parent) {
    TClassMethod** link = &parent->FirstChild;
    while (*link != node) link = &(*link)->NextSibling;
    *link = node->FirstChild ? node->FirstChild : node->NextSibling;
  }
  TClassMethod* last = nullptr;
  for (TClassMethod* child = node->FirstChild; child;) {
    TClassMethod* next = child->NextSibling;
    child->Parent = parent;
    if (!parent) {
      FRoots.push_back(child);
      child->NextSibling = nullptr;
    }
    last = child;
    child = next;
  }
  if (last && parent) last->NextSibling = node->NextSibling;
  if (!parent) std::erase(FRoots, node);
  node->FirstChild = node->NextSibling = node->Parent = nullptr;
  delete node;
}

namespace {
void FillItems(QTreeWidgetItem* parent, QTreeWidget* tree, const TClassMethod* node) {
  for (; node; node = node->NextSibling) {
    const QStringList caption{QString::fromLatin1(node->ClassRef->className())};
    auto* item = parent ? new QTreeWidgetItem(parent, caption) : new QTreeWidgetItem(tree, caption);
    FillItems(item, tree, node->FirstChild);
  }
}
}  // namespace

void TMultiClassMethodStorage::FillTreeView(QTreeWidget* TreeView) const {
  if (!TreeView) return;
  TUpdateBracket bracket(TreeView);
  TreeView->clear();
  for (const TClassMethod* root : FRoots) FillItems(nullptr, TreeView, root);
}

void TMultiClassMethodStorage::Clear() {
  while (!FRoots.empty()) {
    TClassMethod* root = FRoots.back();
    FRoots.pop_back();
    delete root;
  }
}

TMultiClassMethodStorage& MultiClassMethodStorage() {
  static TMultiClassMethodStorage* storage = [] {
    auto* s = new TMultiClassMethodStorage;
    const std::pair<TClassRef, TReplaceMethod> routines[] = {
        {&QGroupBox::staticMetaObject, ReplaceGroupBox},
        {&QTabBar::staticMetaObject, ReplaceTabBar},
        {&QTabWidget::staticMetaObject, ReplaceTabWidget},
        {&QAbstractButton::staticMetaObject, ReplaceButton},
        {&QComboBox::staticMetaObject, ReplaceComboBox},
        {&QTreeView::staticMetaObject, ReplaceTreeView},
        {&QTreeWidget::staticMetaObject, ReplaceListView},
        {&QListWidget::staticMetaObject, ReplaceListBox},
        {&QHeaderView::staticMetaObject, ReplaceHeader},
        {&QStatusBar::staticMetaObject, ReplaceStatusBar},
        {&QLabel::staticMetaObject, ReplaceLabel},
        {&QToolButton::staticMetaObject, ReplaceToolButton},
        {&QToolBar::staticMetaObject, ReplaceToolBar},
        {&QMainWindow::staticMetaObject, ReplaceWindowTitle},
        {&QDialog::staticMetaObject, ReplaceWindowTitle},
        {&QMenu::staticMetaObject, ReplaceMenu},
        {&QMenuBar::staticMetaObject, ReplaceMenu},
        {&QAction::staticMetaObject, ReplaceAction}};
    for (auto [classRef, method] : routines) s->RegisterClassMethod(classRef, method);
    return s;
  }();
  return *storage;
}

// --- texts

std::string TranslateText(IMultiDD& DD, const std::string& Text, const std::string& CodePage,
                          const std::string& SeqNo) {
  if (Text.empty()) return std::string();
  return DD.Translate(Text, CodePage, SeqNo);
}

QString TranslateText(IMultiDD& DD, const QString& Text, const std::string& CodePage,
                      const std::string& SeqNo) {
  if (Text.isEmpty()) return Text;
  const TCodePageCodec* named = CodecOf(CodePage);
  const TCodePageCodec& codec = named ? *named : CurrentCodec();
  const std::string key = codec.Encode(Text);
  const std::string value = DD.Translate(key, CodePage, SeqNo);
  if (value == key) return Text;
  QString shown = codec.Decode(value);
  // Bytes the code page has no character for would show as boxes: the text stays.
  return HasEscapes(shown) ? Text : shown;
}

void ReplaceWindowTitle(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                        const std::string& SeqNo, const QFont*) {
  auto* window = static_cast<QWidget*>(Component);
  Replace(DD, window->windowTitle(), CodePage, SeqNo,
          [window](const QString& t) { window->setWindowTitle(t); });
}

QString ActionHint(const QAction* Action) {
  const QString tip = Action->toolTip();
  return tip == StrippedText(Action->text()) ? QString() : tip;
}

void TranslateAction(IMultiDD& DD, QAction* Action, const std::string& CodePage,
                     const std::string& SeqNo) {
  const QString hint = ActionHint(Action);
  Replace(DD, Action->text(), CodePage, SeqNo, [Action](const QString& t) { Action->setText(t); });
  Replace(DD, hint, CodePage, SeqNo, [Action](const QString& t) { Action->setToolTip(t); });
}
