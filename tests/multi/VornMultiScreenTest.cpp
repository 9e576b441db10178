#include <gtest/gtest.h>

#include <QtWidgets>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EnvScope.h"
#include "QtDialogs.h"
#include "QtPrinters.h"
#include "Screen.h"
#include "ScriptedDialogs.h"
#include "VornMultiScreen.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Shows the window and waits until it is the active one.
bool Activate(QWidget& window) {
  window.show();
  window.activateWindow();
  return WaitFor([&] { return QApplication::activeWindow() == &window; });
}

// A window of a class of its own, so that entries can name its class.
class TFooForm : public QWidget {
  Q_OBJECT
 public:
  explicit TFooForm(const char* name) {
    setObjectName(name);
    setWindowTitle("Open");
    auto* label = new QLabel("Open", this);
    label->setObjectName("Label1");
    auto* panel = new QGroupBox("Panel", this);
    panel->setObjectName("Panel1");
    auto* inner = new QPushButton("Open", panel);
    inner->setObjectName("Button1");
  }
  QString Text(const char* name) const {
    QObject* c = findChild<QObject*>(name);
    if (auto* l = qobject_cast<QLabel*>(c)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(c)) return g->title();
    if (auto* b = qobject_cast<QAbstractButton*>(c)) return b->text();
    return "?";
  }
};

// The screen replacement over a language file in a temporary folder; the eye watches the
// screen from the start.
class ScreenEye : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(
        "DDKey,CodePage,SeqNo,DisplayValue,\r\n"
        "Open,950,0,\xB6}\xB1\xD2,\r\n"  // 開啟
        "Panel,950,0,P,\r\n"
        "Open,936,0,O936,\r\n"
        "Hint,950,0,H,\r\n");
    FDD = std::make_unique<TVornMultiFileDD>();
    FDD->SetFileName(FDir.filePath("Lang.lng"));
    FEye = std::make_unique<TVornMultiScreenEye>();
    FEye->DefaultReplaceOption().SetDDName(FDD->DDName());
    FEye->DefaultReplaceOption().SetCodePage("950");
    FEye->DefaultReplaceOption().SetSeqNo("0");
    FEye->SetOnBeforeReplace([this](TVornMultiScreenEye*, QWidget* form, bool& replace) {
      FBefore.push_back(form);
      replace = FAllow;
    });
    FEye->SetOnAfterReplace(
        [this](TVornMultiScreenEye*, QWidget* form) { FAfter.push_back(form); });
    FEye->StartReplace();
  }
  void TearDown() override {
    FEye.reset();
    Screen().SetOnActiveFormChange(nullptr);
  }
  void Write(const std::string& content) {
    QFile file(FDir.filePath("Lang.lng"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.data(), qint64(content.size()));
  }
  TMultiReplaceForm& Entry(const char* formClass, const char* formName) {
    TMultiReplaceDatum* datum = FEye->ReplaceData().FindByFormClassName(formClass);
    if (!datum) {
      datum = &FEye->ReplaceData().Add();
      datum->SetFormClassName(formClass);
    }
    TMultiReplaceForm& form = datum->ReplaceForms().Add();
    form.SetFormName(formName);
    form.ReplaceOption().SetDDName(FDD->DDName());
    form.ReplaceOption().SetCodePage("950");
    form.ReplaceOption().SetSeqNo("0");
    return form;
  }

  const QString Open = QString::fromUtf8("開啟");
  QTemporaryDir FDir;
  std::unique_ptr<TVornMultiFileDD> FDD;
  std::unique_ptr<TVornMultiScreenEye> FEye;
  std::vector<QWidget*> FBefore, FAfter;
  bool FAllow = true;
};

}  // namespace

TEST_F(ScreenEye, AFormIsReplacedAtItsFirstActivationOnly) {
  TFooForm a("A"), b("B");
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(a.windowTitle(), Open);
  EXPECT_EQ(a.Text("Label1"), Open);
  EXPECT_EQ(a.Text("Panel1"), "P");
  EXPECT_EQ(a.Text("Button1"), Open);
  EXPECT_TRUE(FEye->IsReplaced(&a));
  a.setWindowTitle("Open");
  ASSERT_TRUE(Activate(b));
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(a.windowTitle(), "Open");  // not again
  EXPECT_EQ(b.windowTitle(), Open);
  EXPECT_EQ(FAfter, (std::vector<QWidget*>{&a, &b}));
  {
    TFooForm c("C");
    ASSERT_TRUE(Activate(c));
    EXPECT_EQ(FEye->ReplacedCount(), 3);
  }
  EXPECT_EQ(FEye->ReplacedCount(), 2);  // a destroyed form is forgotten
}

TEST_F(ScreenEye, ABeforeReplaceThatSaysNoIsAskedAgainNextTime) {
  FAllow = false;
  TFooForm a("A"), b("B");
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(a.windowTitle(), "Open");
  EXPECT_TRUE(FAfter.empty());
  EXPECT_FALSE(FEye->IsReplaced(&a));
  ASSERT_TRUE(Activate(b));
  FAllow = true;
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(FBefore, (std::vector<QWidget*>{&a, &b, &a}));
  EXPECT_EQ(a.windowTitle(), Open);
}

TEST_F(ScreenEye, FormsWithoutAnEntryFollowReplaceNotRegister) {
  FEye->SetReplaceNotRegister(false);
  TFooForm a("A");
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(a.windowTitle(), "Open");
  EXPECT_TRUE(FBefore.empty());
  FEye->ReplaceForm(&a, false);
  EXPECT_EQ(a.windowTitle(), Open);
  EXPECT_EQ(FBefore.size(), 1u);
}

TEST_F(ScreenEye, EntriesByClassAndFormNameWithSelfForTheRest) {
  Entry("tfooform", "Self").ReplaceOption().SetCodePage("936");
  Entry("TFooForm", "dlg1");
  TFooForm dlg("Dlg1"), other("Other");
  QWidget plain;
  plain.setWindowTitle("Open");
  for (QWidget* w : std::initializer_list<QWidget*>{&dlg, &other, &plain})
    FEye->ReplaceForm(w, true);
  EXPECT_EQ(dlg.windowTitle(), Open);
  EXPECT_EQ(other.windowTitle(), "O936");
  EXPECT_EQ(plain.windowTitle(), Open);  // the default option
}

TEST_F(ScreenEye, ComponentEntriesAndTheUnreplaceList) {
  TMultiReplaceForm& form = Entry("TFooForm", "Self");
  TMultiReplaceCom2& label = form.ReplaceComs().Add();
  label.SetComName("label1");
  label.ReplaceOption().SetDDName(FDD->DDName());
  label.ReplaceOption().SetCodePage("936");
  label.ReplaceOption().SetSeqNo("0");
  form.SetUnReplaceComs({"PANEL1"});
  TFooForm a("A");
  FEye->ReplaceForm(&a, true);
  EXPECT_EQ(a.Text("Label1"), "O936");   // its own option
  EXPECT_EQ(a.windowTitle(), Open);      // the form's option
  EXPECT_EQ(a.Text("Panel1"), "Panel");  // listed: kept, and
  EXPECT_EQ(a.Text("Button1"), "Open");  // what lies only on it too
  EXPECT_EQ(form.DisplayName(), "Self - 1 - 1");
  EXPECT_EQ(FEye->ReplaceData().Items(0).DisplayName(), "TFooForm : 1");
}

TEST_F(ScreenEye, DuplicateNamesAreRefused) {
  auto error = [](const std::function<void()>& f) -> std::string {
    try {
      f();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no error)";
  };
  TMultiReplaceForm& form = Entry("TFooForm", "Self");
  form.SetUnReplaceComs({"Panel1"});
  TMultiReplaceCom2& first = form.ReplaceComs().Add();
  first.SetComName("Label1");
  TMultiReplaceCom2& second = form.ReplaceComs().Add();
  EXPECT_EQ(error([&] { second.SetComName("LABEL1"); }), "component: \"LABEL1\" already added.");
  EXPECT_EQ(error([&] { second.SetComName("panel1"); }),
            "component: \"panel1\" already added in unreplace list.");
  EXPECT_EQ(second.ComName(), "");
  EXPECT_EQ(error([&] { first.SetComName("LABEL1"); }), "(no error)");  // its own name
  EXPECT_EQ(first.ComName(), "Label1");
  TMultiReplaceDatum& datum = FEye->ReplaceData().Add();
  EXPECT_EQ(error([&] { datum.SetFormClassName("tfooform"); }),
            "form class: \"tfooform\" already added.");
  EXPECT_EQ(error([&] { datum.SetFormClassName(""); }), "(no error)");
}

TEST_F(ScreenEye, HintsFontsAndParentlessControls) {
  TFooForm a("A");
  auto* label = a.findChild<QLabel*>("Label1");
  label->setToolTip("Hint");
  // Qt makes a widget without a parent a window; a popup menu without one is no form either.
  auto popup = std::make_unique<QMenu>();
  popup->addAction("Open");
  QFont big("Serif", 31);
  FEye->DefaultReplaceOption().SetFont(big);
  FEye->DefaultReplaceOption().SetReplaceFont(true);
  FEye->ReplaceForm(&a, true);
  EXPECT_EQ(label->toolTip(), "H");
  EXPECT_EQ(label->font().pointSize(), 31);
  EXPECT_EQ(a.font().pointSize(), 31);
  FEye->DefaultReplaceOption().SetReplaceFont(false);
  TFooForm b("B");
  const QFont before = b.findChild<QLabel*>("Label1")->font();
  FEye->ReplaceForm(&b, true);
  EXPECT_EQ(b.findChild<QLabel*>("Label1")->font(), before);
  TDoneSet done;
  EXPECT_FALSE(ReplaceComponent(*FDD, popup.get(), "950", "0", nullptr, false, done));
  EXPECT_TRUE(done.empty());
  EXPECT_EQ(popup->actions()[0]->text(), "Open");
}

TEST_F(ScreenEye, ADictionaryThatIsNotThereMarksTheFormReplaced) {
  FEye->DefaultReplaceOption().SetDDName("NoSuchDD");
  TFooForm a("A");
  FEye->ReplaceForm(&a, true);
  EXPECT_TRUE(FEye->IsReplaced(&a));
  EXPECT_EQ(a.windowTitle(), "Open");
}

TEST_F(ScreenEye, AFailedReplacementIsTriedAgainAtTheNextActivation) {
  QFile::remove(FDir.filePath("Lang.lng"));
  TFooForm a("A");
  EXPECT_THROW(FEye->ReplaceForm(&a, true), EFOpenError);
  EXPECT_FALSE(FEye->IsReplaced(&a));
  Write("DDKey,CodePage,SeqNo,DisplayValue,\r\nOpen,950,0,X,\r\n");
  FEye->ReplaceForm(&a, true);
  EXPECT_EQ(a.windowTitle(), "X");
}

TEST_F(ScreenEye, AnErrorOnActivationIsShownAndTheProgramGoesOn) {
  TScriptedDialogs dialogs;
  TDialogs* previous = SetDialogs(&dialogs);
  QFile::remove(FDir.filePath("Lang.lng"));
  TFooForm a("A");
  ASSERT_TRUE(Activate(a));
  ASSERT_TRUE(WaitFor([&] { return !dialogs.Shown().isEmpty(); }));
  SetDialogs(previous);
  EXPECT_EQ(dialogs.Shown()[0].Type, mtError);
  EXPECT_TRUE(dialogs.Shown()[0].Text.startsWith("Cannot open file"));
  EXPECT_FALSE(FEye->IsReplaced(&a));
}

TEST_F(ScreenEye, StartReplaceKeepsTheEarlierHandlerAndStopPutsItBack) {
  FEye->StopReplace();
  int earlier = 0;
  Screen().SetOnActiveFormChange([&](QObject*) { ++earlier; });
  FEye->StartReplace();
  TFooForm a("A");
  ASSERT_TRUE(Activate(a));
  EXPECT_EQ(earlier, 1);
  EXPECT_EQ(a.windowTitle(), Open);
  FEye->StopReplace();
  TFooForm b("B");
  ASSERT_TRUE(Activate(b));
  EXPECT_EQ(earlier, 2);
  EXPECT_EQ(b.windowTitle(), "Open");
}

TEST_F(ScreenEye, AQtMessageBoxHasItsTitleAndButtonsTranslated) {
  Write(
      "DDKey,CodePage,SeqNo,DisplayValue,\r\n"
      "Confirm,950,0,\xBD\xD0\xBDT\xBB{,\r\n"       // 請確認
      "&Yes,950,0,\xAC\x4F(&Y),\r\n"                // 是(&Y)
      "&No,950,0,\xA7_(&N),\r\n"                    // 否(&N)
      "Sure?,950,0,\xBDT\xA9w\xB6\xDC\xA1H,\r\n");  // 確定嗎？
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TQtDialogs dialogs;
  TDialogs* previous = SetDialogs(&dialogs);
  QString title, text;
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    WaitFor([] { return qobject_cast<QMessageBox*>(QApplication::activeWindow()) != nullptr; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeWindow());
    if (!box) return;
    title = box->windowTitle();
    text = box->text();
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    box->buttons().first()->click();
  });
  Dialogs().MessageDlg(mtConfirmation, "Sure?", Btn(mbYes) | Btn(mbNo), 0);
  SetDialogs(previous);
  EXPECT_EQ(title, QString::fromUtf8("請確認"));
  EXPECT_EQ(text, QString::fromUtf8("確定嗎？"));
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{QString::fromUtf8("否(&N)"), QString::fromUtf8("是(&Y)")}));
}

#include "VornMultiScreenTest.moc"
