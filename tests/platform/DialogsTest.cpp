#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "QtDialogs.h"
#include "ScriptedDialogs.h"

namespace {

// Runs `act` on the modal dialog of type T once it is shown (polled from the event loop).
template <typename T>
void WhenShown(std::function<void(T*)> act, int triesLeft = 200) {
  QTimer::singleShot(10, [act, triesLeft] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(dialog);
    } else if (triesLeft > 0) {
      WhenShown<T>(act, triesLeft - 1);
    } else {
      ADD_FAILURE() << "no dialog shown";
    }
  });
}

QStringList ButtonTexts(QMessageBox* box) {
  QStringList texts;
  for (QAbstractButton* b : box->buttons()) texts << b->text();
  texts.sort();
  return texts;
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return b;
  return nullptr;
}

}  // namespace

TEST(QtDialogs, MessageDialogShowsCaptionTextAndButtonsAndAnswersThePressedOne) {
  QApplication::setApplicationDisplayName(QStringLiteral("Melotag"));
  struct {
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    const char* press;
    const char* caption;
    QStringList texts;
    int result;
  } cases[] = {
      {mtConfirmation,
       Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll),
       "Yes to &All",
       "Confirm",
       {"&No", "&Yes", "Yes to &All"},
       mrYesToAll},
      {mtConfirmation,
       Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll),
       "&No",
       "Confirm",
       {"&No", "&Yes", "Yes to &All"},
       mrNo},
      {mtWarning, Btn(mbYes) | Btn(mbNo), "&Yes", "Warning", {"&No", "&Yes"}, mrYes},
      {mtError, Btn(mbOK), "OK", "Error", {"OK"}, mrOk},
      {mtInformation,
       Btn(mbOK) | Btn(mbCancel),
       "Cancel",
       "Information",
       {"Cancel", "OK"},
       mrCancel},
      {mtCustom,
       Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore),
       "&Ignore",
       "Melotag",
       {"&Abort", "&Ignore", "&Retry"},
       mrIgnore},
      {mtCustom, Btn(mbAbort) | Btn(mbRetry), "&Abort", "Melotag", {"&Abort", "&Retry"}, mrAbort},
      {mtCustom, Btn(mbRetry), "&Retry", "Melotag", {"&Retry"}, mrRetry},
      {mtWarning, Btn(mbAll) | Btn(mbNoToAll), "&All", "Warning", {"&All", "N&o to All"}, mrAll},
      {mtWarning,
       Btn(mbAll) | Btn(mbNoToAll),
       "N&o to All",
       "Warning",
       {"&All", "N&o to All"},
       mrNoToAll},
  };
  TQtDialogs dialogs;
  for (const auto& c : cases) {
    bool seen = false;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      seen = true;
      EXPECT_EQ(box->windowTitle(), c.caption);
      EXPECT_EQ(box->text(), QStringLiteral("File [a.mp3] already exists"));
      EXPECT_EQ(ButtonTexts(box), c.texts);
      QAbstractButton* button = ButtonWithText(box, c.press);
      ASSERT_NE(button, nullptr) << c.press;
      button->click();
    });
    int result =
        dialogs.MessageDlg(c.type, QStringLiteral("File [a.mp3] already exists"), c.buttons, 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(result, c.result) << c.press;
  }
}

TEST(QtDialogs, HelpDoesNotCloseTheDialog) {
  TQtDialogs dialogs;
  int helpAsked = -1;
  dialogs.SetOnHelp([&](int ctx) { helpAsked = ctx; });
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    ButtonWithText(box, QStringLiteral("&Help"))->click();
    QTimer::singleShot(20, [box] {
      EXPECT_TRUE(box->isVisible());
      ButtonWithText(box, QStringLiteral("OK"))->click();
    });
  });
  EXPECT_EQ(dialogs.MessageDlg(mtInformation, QStringLiteral("x"), Btn(mbOK) | Btn(mbHelp), 17),
            mrOk);
  EXPECT_EQ(helpAsked, 17);
}

TEST(QtDialogs, EscapePressesCancelOrNo) {
  TQtDialogs dialogs;
  struct {
    TMsgDlgButtons buttons;
    int result;
  } cases[] = {{Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), mrCancel},
               {Btn(mbYes) | Btn(mbNo), mrNo},
               {Btn(mbOK), mrOk}};
  for (const auto& c : cases) {
    WhenShown<QMessageBox>([](QMessageBox* box) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(box, &escape);
    });
    EXPECT_EQ(dialogs.MessageDlg(mtConfirmation, QStringLiteral("?"), c.buttons, 0), c.result);
  }
}

TEST(QtDialogs, ShowMessageHasTheApplicationTitleAndOk) {
  QApplication::setApplicationDisplayName(QStringLiteral("Melotag"));
  TQtDialogs dialogs;
  bool seen = false;
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    seen = true;
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Melotag"));
    EXPECT_EQ(box->text(), QStringLiteral("Done"));
    EXPECT_EQ(ButtonTexts(box), QStringList{QStringLiteral("OK")});
    box->buttons().first()->click();
  });
  dialogs.ShowMessage(QStringLiteral("Done"));
  EXPECT_TRUE(seen);
}

TEST(QtDialogs, InputQueryAnswersTheTextOrCancel) {
  TQtDialogs dialogs;
  WhenShown<QInputDialog>([](QInputDialog* d) {
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Rename"));
    EXPECT_EQ(d->labelText(), QStringLiteral("New name"));
    EXPECT_EQ(d->textValue(), QStringLiteral("old"));
    d->setTextValue(QStringLiteral("new"));
    d->accept();
  });
  QString value = QStringLiteral("old");
  EXPECT_TRUE(dialogs.InputQuery(QStringLiteral("Rename"), QStringLiteral("New name"), value));
  EXPECT_EQ(value, QStringLiteral("new"));

  WhenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
  EXPECT_FALSE(dialogs.InputQuery(QStringLiteral("Rename"), QStringLiteral("New name"), value));
  EXPECT_EQ(value, QStringLiteral("new"));
}

TEST(QtDialogs, SaveFileAddsTheDefaultExtension) {
  TQtDialogs dialogs;
  QString dir = QDir::tempPath();
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->nameFilters(), QStringList{QStringLiteral("Play lists (*.m3u)")});
    d->selectFile(QStringLiteral("list"));
    QMetaObject::invokeMethod(d, "accept");
  });
  QString file;
  ASSERT_TRUE(dialogs.SaveFile(QStringLiteral("Play lists|*.m3u"), dir, QStringLiteral("m3u"),
                               QStringLiteral("x.m3u"), file));
  EXPECT_TRUE(file.endsWith(QStringLiteral("/list.m3u"))) << file.toStdString();
}

TEST(QtDialogs, WindowsFiltersBecomeQtFilters) {
  EXPECT_EQ(QtFileFilter(QStringLiteral("MP3 files|*.mp3;*.mp2|All|*.*")),
            QStringLiteral("MP3 files (*.mp3 *.mp2);;All (*)"));
  EXPECT_EQ(QtFileFilter(QStringLiteral("Text (*.txt)")), QStringLiteral("Text (*.txt)"));
}

TEST(ScriptedDialogs, RecordsWhatWasShownAndAnswersFromTheQueue) {
  TScriptedDialogs dialogs;
  TDialogsScope scope(&dialogs);
  dialogs.Push(TDialogAnswer::Button(mrNo));
  dialogs.Push(TDialogAnswer::Text(QStringLiteral("typed")));
  EXPECT_EQ(Dialogs().MessageDlg(mtConfirmation, QStringLiteral("Sure?"),
                                 Btn(mbYes) | Btn(mbNo) | Btn(mbHelp), 5),
            mrNo);
  QString value = QStringLiteral("preset");
  EXPECT_TRUE(Dialogs().InputQuery(QStringLiteral("C"), QStringLiteral("P"), value));
  EXPECT_EQ(value, QStringLiteral("typed"));
  ASSERT_EQ(dialogs.Shown().size(), 2);
  const TShownDialog& first = dialogs.Shown()[0];
  EXPECT_EQ(first.Kind, TDialogKind::MessageDlg);
  EXPECT_EQ(first.Caption, QStringLiteral("Confirm"));
  EXPECT_EQ(first.Text, QStringLiteral("Sure?"));
  EXPECT_EQ(first.ButtonCaptions,
            (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("&Help")}));
  EXPECT_EQ(first.HelpCtx, 5);
  EXPECT_EQ(dialogs.Shown()[1].Value, QStringLiteral("preset"));
  EXPECT_EQ(dialogs.Pending(), 0);
}

TEST(ScriptedDialogs, AnEmptyQueueAnswersTheFirstButtonOrCancels) {
  TScriptedDialogs dialogs;
  EXPECT_EQ(dialogs.MessageDlg(mtWarning, QStringLiteral("x"), Btn(mbNo) | Btn(mbYesToAll), 0),
            mrNo);
  EXPECT_EQ(dialogs.MessageDlg(mtWarning, QStringLiteral("x"), Btn(mbHelp) | Btn(mbCancel), 0),
            mrCancel);
  EXPECT_EQ(dialogs.MessageDlg(mtWarning, QStringLiteral("x"), 0, 0), mrOk);
  QStringList files;
  QString file;
  QFont font;
  EXPECT_FALSE(dialogs.OpenFiles(QString(), QString(), true, files));
  EXPECT_FALSE(dialogs.SaveFile(QString(), QString(), QString(), QString(), file));
  EXPECT_FALSE(dialogs.SelectFolder(QString(), QString(), file));
  EXPECT_FALSE(dialogs.SelectFont(font));
  EXPECT_FALSE(dialogs.InputQuery(QString(), QString(), file));
  EXPECT_EQ(dialogs.Shown().size(), 8);
}
