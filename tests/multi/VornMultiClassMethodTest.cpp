#include <gtest/gtest.h>

#include <QtWidgets>

#include <map>
#include <string>
#include <vector>

#include "QtPrinters.h"
#include "VornMultiClassMethod.h"
#include "VornMultiDD.h"

namespace {

// A dictionary in memory that records every look-up.
class TRecordingDD : public IMultiDD {
 public:
  std::map<std::string, std::string> Entries;  // DDKey -> display value (any code page)
  std::vector<std::string> Asked;

  std::string Translate(const std::string& DDKey, const std::string&, const std::string&) override {
    Asked.push_back(DDKey);
    auto at = Entries.find(DDKey);
    return at == Entries.end() ? DDKey : at->second;
  }
};

void Nothing(IMultiDD&, QObject*, const std::string&, const std::string&, const QFont*) {}
void Other(IMultiDD&, QObject*, const std::string&, const std::string&, const QFont*) {}

// The registry as nested class names: "A(B,C),D".
QString Shape(const TMultiClassMethodStorage& storage) {
  QTreeWidget tree;
  storage.FillTreeView(&tree);
  std::function<QString(QTreeWidgetItem*)> item = [&](QTreeWidgetItem* i) {
    QString s = i->text(0);
    if (i->childCount() == 0) return s;
    QStringList children;
    for (int c = 0; c < i->childCount(); ++c) children << item(i->child(c));
    return s + "(" + children.join(",") + ")";
  };
  QStringList roots;
  for (int r = 0; r < tree.topLevelItemCount(); ++r) roots << item(tree.topLevelItem(r));
  return roots.join(",");
}

// Replaces one component alone, as the screen replacement does for each one it visits.
void ReplaceAlone(IMultiDD& dd, QObject* component) {
  TDoneSet done;
  ReplaceComponent(dd, component, "950", "0", nullptr, false, done);
}

}  // namespace

TEST(ClassMethod, EachControlGetsTheRoutineOfItsNearestRegisteredClass) {
  struct {
    const QMetaObject* Class;
    const QMetaObject* Registered;  // null: no routine
  } cases[] = {
      {&QTabWidget::staticMetaObject, &QTabWidget::staticMetaObject},
      {&QTabBar::staticMetaObject, &QTabBar::staticMetaObject},
      {&QGroupBox::staticMetaObject, &QGroupBox::staticMetaObject},
      {&QPushButton::staticMetaObject, &QAbstractButton::staticMetaObject},
      {&QRadioButton::staticMetaObject, &QAbstractButton::staticMetaObject},
      {&QToolButton::staticMetaObject, &QToolButton::staticMetaObject},
      {&QTreeWidget::staticMetaObject, &QTreeWidget::staticMetaObject},
      {&QTreeView::staticMetaObject, &QTreeView::staticMetaObject},
      {&QListWidget::staticMetaObject, &QListWidget::staticMetaObject},
      {&QMessageBox::staticMetaObject, &QDialog::staticMetaObject},
      {&QFileDialog::staticMetaObject, &QDialog::staticMetaObject},
      {&QMenu::staticMetaObject, &QMenu::staticMetaObject},
      {&QLineEdit::staticMetaObject, nullptr},
      {&QPlainTextEdit::staticMetaObject, nullptr},
      {&QProgressBar::staticMetaObject, nullptr},
      {&QFrame::staticMetaObject, nullptr},
  };
  for (const auto& c : cases) {
    TClassMethod* node = MultiClassMethodStorage().FindClassMethod(c.Class);
    EXPECT_EQ(node ? node->ClassRef : nullptr, c.Registered) << c.Class->className();
  }
  // Qt's tab widget is no tab bar: both are roots, the buttons and lists nest.
  EXPECT_EQ(Shape(MultiClassMethodStorage()),
            "QGroupBox,QTabBar,QTabWidget,QAbstractButton(QToolButton),QComboBox,"
            "QTreeView(QTreeWidget),QListWidget,QHeaderView,QStatusBar,QLabel,QToolBar,"
            "QMainWindow,QDialog,QMenu,QMenuBar,QAction");
}

TEST(ClassMethod, RegistrationKeepsTheTreeOfInheritance) {
  TMultiClassMethodStorage s;
  s.RegisterClassMethod(nullptr, Nothing);
  EXPECT_EQ(s.Count(), 0);
  s.RegisterClassMethod(&QWidget::staticMetaObject, Nothing);
  s.RegisterClassMethod(&QPushButton::staticMetaObject, Nothing);
  s.RegisterClassMethod(&QCheckBox::staticMetaObject, Nothing);
  s.RegisterClassMethod(&QLabel::staticMetaObject, Nothing);
  EXPECT_EQ(Shape(s), "QWidget(QLabel,QCheckBox,QPushButton)");
  // An ancestor registered later takes its descendants under the common ancestor ...
  s.RegisterClassMethod(&QAbstractButton::staticMetaObject, Nothing);
  EXPECT_EQ(Shape(s), "QWidget(QAbstractButton(QPushButton,QCheckBox),QLabel)");
  EXPECT_EQ(s.FindClassMethod(&QPushButton::staticMetaObject)->ClassRef,
            &QPushButton::staticMetaObject);
  EXPECT_EQ(s.FindClassMethod(&QRadioButton::staticMetaObject)->ClassRef,
            &QAbstractButton::staticMetaObject);
  EXPECT_EQ(s.FindClassMethod(&QObject::staticMetaObject), nullptr);

  // ... and among the roots, the last one included.
  TMultiClassMethodStorage roots;
  roots.RegisterClassMethod(&QLabel::staticMetaObject, Nothing);
  roots.RegisterClassMethod(&QPushButton::staticMetaObject, Nothing);
  roots.RegisterClassMethod(&QAbstractButton::staticMetaObject, Nothing);
  EXPECT_EQ(Shape(roots), "QLabel,QAbstractButton(QPushButton)");

  // Registering again replaces the routine only.
  roots.RegisterClassMethod(&QAbstractButton::staticMetaObject, Other);
  EXPECT_EQ(Shape(roots), "QLabel,QAbstractButton(QPushButton)");
  EXPECT_EQ(roots.FindExactClassMethod(&QAbstractButton::staticMetaObject)->Method, &Other);
  EXPECT_EQ(roots.FindExactClassMethod(&QRadioButton::staticMetaObject), nullptr);
}

TEST(ClassMethod, UnregisteringHandsTheChildrenOn) {
  TMultiClassMethodStorage s;
  for (const QMetaObject* c :
       {&QWidget::staticMetaObject, &QAbstractButton::staticMetaObject,
        &QPushButton::staticMetaObject, &QCheckBox::staticMetaObject, &QLabel::staticMetaObject})
    s.RegisterClassMethod(c, Nothing);
  EXPECT_EQ(Shape(s), "QWidget(QLabel,QAbstractButton(QCheckBox,QPushButton))");
  // Only covered by an ancestor: nothing changes.
  s.UnregisterClassMethod(&QRadioButton::staticMetaObject);
  EXPECT_EQ(Shape(s), "QWidget(QLabel,QAbstractButton(QCheckBox,QPushButton))");
  s.UnregisterClassMethod(&QAbstractButton::staticMetaObject);
  EXPECT_EQ(Shape(s), "QWidget(QLabel,QCheckBox,QPushButton)");
  EXPECT_EQ(s.FindClassMethod(&QPushButton::staticMetaObject)->Parent->ClassRef,
            &QWidget::staticMetaObject);
  s.UnregisterClassMethod(&QWidget::staticMetaObject);
  EXPECT_EQ(Shape(s), "QLabel,QCheckBox,QPushButton");
  for (int i = 0; i < s.Count(); ++i) {
    EXPECT_EQ(s.Items(i)->Parent, nullptr);
    EXPECT_EQ(s.Items(i)->NextSibling, nullptr);
  }
  s.Clear();
  EXPECT_EQ(s.Count(), 0);
}

TEST(ClassMethod, AListViewIsLookedUpColumnsFirstThenRowByRow) {
  QWidget form;
  QTreeWidget list(&form);
  list.setHeaderLabels({"Name", "Path"});
  for (const char* row : {"a", "b", "c"})
    new QTreeWidgetItem(&list, {QString(row) + "0", QString(row) + "1", QString(row) + "2"});
  TRecordingDD dd;
  dd.Entries = {{"Path", "P"}, {"b2", "B"}};
  ReplaceAlone(dd, &list);
  EXPECT_EQ(dd.Asked, (std::vector<std::string>{"Name", "Path", "a0", "a1", "a2", "b0", "b1", "b2",
                                                "c0", "c1", "c2"}));
  EXPECT_EQ(list.headerItem()->text(1), "P");
  EXPECT_EQ(list.topLevelItem(1)->text(2), "B");
  EXPECT_TRUE(list.updatesEnabled());
}

TEST(ClassMethod, MenusAreTranslatedAtEveryLevelWithoutAskingForEmptyTexts) {
  QWidget form;
  QMenu menu(&form);
  QAction* top = menu.addAction("File");
  top->setToolTip("File hint");
  menu.addSeparator();
  QMenu* sub = menu.addMenu("Open");
  QMenu* subsub = sub->addMenu("Recent");
  QAction* leaf = subsub->addAction("First");
  leaf->setToolTip("First hint");
  TRecordingDD dd;
  dd.Entries = {{"File", "F"},   {"File hint", "FH"}, {"Open", "O"},
                {"Recent", "R"}, {"First", "1"},      {"First hint", "1H"}};
  ReplaceAlone(dd, &menu);
  EXPECT_EQ(dd.Asked, (std::vector<std::string>{"File", "File hint", "Open", "Recent", "First",
                                                "First hint"}));
  EXPECT_EQ(top->text(), "F");
  EXPECT_EQ(top->toolTip(), "FH");
  EXPECT_EQ(sub->menuAction()->text(), "O");
  EXPECT_EQ(subsub->menuAction()->text(), "R");
  EXPECT_EQ(leaf->text(), "1");
  EXPECT_EQ(leaf->toolTip(), "1H");
}

TEST(ClassMethod, RoutinesTranslateWhatEachControlShows) {
  QWidget form;
  auto* tabs = new QTabWidget(&form);
  tabs->addTab(new QWidget, "Page");
  auto* bar = new QTabBar(&form);
  bar->addTab("Tab");
  auto* box = new QComboBox(&form);
  box->setEditable(true);
  box->addItems({"One", "Two"});
  box->setEditText("typed");
  auto* group = new QGroupBox("Group", &form);
  auto* label = new QLabel("Label", &form);
  auto* status = new QStatusBar(&form);
  status->showMessage("Ready");
  auto* action = new QAction("Act", &form);
  action->setToolTip("Act hint");
  auto* tool = new QToolButton(&form);
  tool->setDefaultAction(action);
  auto* listBox = new QListWidget(&form);
  listBox->addItem("Item");
  auto* dialog = new QDialog(&form);
  dialog->setWindowTitle("Dialog");
  TRecordingDD dd;
  for (const char* key : {"Page", "Tab", "One", "Two", "Group", "Label", "Ready", "Act", "Act hint",
                          "Item", "Dialog"})
    dd.Entries[key] = std::string("x") + key;
  for (QObject* c :
       std::initializer_list<QObject*>{tabs, bar, box, group, label, status, tool, listBox, dialog})
    ReplaceAlone(dd, c);
  EXPECT_EQ(tabs->tabText(0), "xPage");
  EXPECT_EQ(bar->tabText(0), "xTab");
  EXPECT_EQ(box->itemText(1), "xTwo");
  EXPECT_EQ(box->currentText(), "typed");
  EXPECT_EQ(group->title(), "xGroup");
  EXPECT_EQ(label->text(), "xLabel");
  EXPECT_EQ(status->currentMessage(), "xReady");
  EXPECT_EQ(action->text(), "xAct");
  EXPECT_EQ(tool->text(), "xAct");
  EXPECT_EQ(tool->toolTip(), "xAct hint");
  EXPECT_EQ(listBox->item(0)->text(), "xItem");
  EXPECT_EQ(dialog->windowTitle(), "xDialog");

  // The tab bar of a tab widget is the tab widget's: not looked up again.
  dd.Asked.clear();
  ReplaceAlone(dd, tabs->findChild<QTabBar*>());
  EXPECT_TRUE(dd.Asked.empty());
}

TEST(ClassMethod, TextsAreKeysInTheCodePageAndAnswersAreDecodedFromIt) {
  TRecordingDD dd;
  dd.Entries = {{"Open", "\xB6}\xB1\xD2"},         // Big5 for 開啟
                {"Bad", "\xA1"},                   // a lead byte without its trail
                {"\xB6}\xB1\xD2", "Open again"}};  // a Big5 key
  EXPECT_EQ(TranslateText(dd, QString("Open"), "950", "0"), QString::fromUtf8("開啟"));
  EXPECT_EQ(TranslateText(dd, QString::fromUtf8("開啟"), "950", "0"), "Open again");
  EXPECT_EQ(TranslateText(dd, QString("Bad"), "950", "0"), "Bad");
  EXPECT_EQ(TranslateText(dd, QString("Unknown"), "950", "0"), "Unknown");
  // Chinese that code page 1252 cannot hold comes back as it was, not as "??".
  EXPECT_EQ(TranslateText(dd, QString::fromUtf8("開啟"), "1252", "0"), QString::fromUtf8("開啟"));
  dd.Asked.clear();
  EXPECT_EQ(TranslateText(dd, QString(), "950", "0"), "");
  EXPECT_EQ(TranslateText(dd, std::string(), "950", "0"), "");
  EXPECT_TRUE(dd.Asked.empty());
}

TEST(ClassMethod, AnEmptyHintIsNotLookedUpButTheRoutineRuns) {
  QWidget form;
  QLabel plain("Label", &form), hinted("Label", &form);
  hinted.setToolTip("Tip");
  TRecordingDD dd;
  ReplaceAlone(dd, &plain);
  EXPECT_EQ(dd.Asked, std::vector<std::string>{"Label"});
  dd.Asked.clear();
  ReplaceAlone(dd, &hinted);
  EXPECT_EQ(dd.Asked, (std::vector<std::string>{"Tip", "Label"}));
}
