// Replacement routines per control class.
//
// The screen replacement asks, for every component it visits, for the routine of the nearest
// registered class the component is of (its own class or an ancestor) and lets it translate the
// texts the control shows: a label's text, a list's columns and cells, every item of a menu.
// The registry is a tree that mirrors the inheritance of the registered classes. Class
// references are QMetaObjects; "descends from" is QMetaObject::inherits.
//
// Registered at start-up: QGroupBox (title), QTabBar (tab texts), QTabWidget (page captions),
// QAbstractButton (text), QComboBox (items), QTreeView (items of a QStandardItemModel),
// QTreeWidget (header labels, then each item's texts), QListWidget (items), QHeaderView
// (section texts), QStatusBar (its message), QLabel (text), QToolButton (text, or the action it
// shows), QToolBar (its actions), QMainWindow and QDialog (window title), QMenu and QMenuBar
// (every action, sub-menus too); a form of a class without a routine (a plain QWidget window)
// gets the window title's. Qt has no band bar. An action (QAction, owned by its form) has its text
// and tool tip translated too: the controls that show it copy them from it whenever it changes.
// QTabWidget does not descend from QTabBar, so both are roots; the tab bar inside a tab widget is
// left to the tab widget's routine.
#pragma once

#include <QString>

#include <string>
#include <vector>

class IMultiDD;
class QAction;
class QFont;
class QMetaObject;
class QObject;
class QTreeWidget;

// A routine: translates the texts of one component through the dictionary. The font is passed
// through; no routine of ours uses it.
using TReplaceMethod = void (*)(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                                const std::string& SeqNo, const QFont* Font);
using TClassRef = const QMetaObject*;

// One registered class. Destroying a node destroys the siblings that follow it and its children.
class TClassMethod {
 public:
  TClassMethod(TClassRef classRef, TReplaceMethod method) : ClassRef(classRef), Method(method) {}
  ~TClassMethod();
  TClassMethod(const TClassMethod&) = delete;
  TClassMethod& operator=(const TClassMethod&) = delete;

  TClassRef ClassRef;
  TReplaceMethod Method;
  TClassMethod* FirstChild = nullptr;
  TClassMethod* NextSibling = nullptr;  // next node with the same parent
  TClassMethod* Parent = nullptr;       // node of the nearest registered ancestor
};

// The registry; its items are the roots, the nodes whose class has no registered ancestor.
class TMultiClassMethodStorage {
 public:
  TMultiClassMethodStorage() = default;
  virtual ~TMultiClassMethodStorage();
  TMultiClassMethodStorage(const TMultiClassMethodStorage&) = delete;
  TMultiClassMethodStorage& operator=(const TMultiClassMethodStorage&) = delete;

  // Registers a routine, or replaces the routine of a class registered already. Registered
  // descendants (roots or children of a common ancestor) become the new node's children.
  void RegisterClassMethod(TClassRef classRef, TReplaceMethod method);
  // The node of the class or of its nearest registered ancestor; null when there is none.
  virtual TClassMethod* FindClassMethod(TClassRef classRef) const;
  // The node registered for exactly this class, or null.
  TClassMethod* FindExactClassMethod(TClassRef classRef) const;
  // Removes the node of exactly this class; its children take its place.
  virtual void UnregisterClassMethod(TClassRef classRef);
  // The tree's items become the registered class names, nested as registered.
  virtual void FillTreeView(QTreeWidget* TreeView) const;
  // Destroys every node.
  virtual void Clear();

  int Count() const { return static_cast<int>(FRoots.size()); }
  TClassMethod* Items(int index) const { return FRoots[static_cast<size_t>(index)]; }

 private:
  std::vector<TClassMethod*> FRoots;
};

// The process's registry, made with the routines above at its first use.
TMultiClassMethodStorage& MultiClassMethodStorage();

// The dictionary's text; the empty text without asking the dictionary.
std::string TranslateText(IMultiDD& DD, const std::string& Text, const std::string& CodePage,
                          const std::string& SeqNo);
// The same for a text on the screen: encoded in the code page CodePage names (the current one
// when it names none), looked up, the answer decoded. A text the dictionary does not know, or
// whose answer does not decode cleanly, comes back as it was.
QString TranslateText(IMultiDD& DD, const QString& Text, const std::string& CodePage,
                      const std::string& SeqNo);

// The routines, for registering them with classes of the program's own.
void ReplaceWindowTitle(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                        const std::string& SeqNo, const QFont* Font);
// An action's text, then its own tool tip (one set apart from the text).
void TranslateAction(IMultiDD& DD, QAction* Action, const std::string& CodePage,
                     const std::string& SeqNo);
// The tool tip set on an action, empty when it only echoes the action's text.
QString ActionHint(const QAction* Action);
