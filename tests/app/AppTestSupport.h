// What the window's suites share: a temporary folder with MP3 files written here, the scripted
// dialogs, and a main window made for each test.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QtWidgets>

#include "RadioGroup.h"
#include "StatusBar.h"

#include <functional>
#include <memory>

#include "FileList.h"
#include "FolderTree.h"
#include "Main.h"
#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "TitleList.h"

// The exact bytes of a path named as text (what the file system gets for it).
QByteArray B(const QString& path);
QList<QByteArray> B(const QStringList& paths);

// Writes a file of `size` bytes that starts with an MPEG audio frame header; false on failure.
bool WriteMp3(const QString& path, qint64 size = 417);

// Runs the event loop until `done` holds or `timeoutMs` has passed; answers `done()`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs a real event loop (which waits when idle) for `ms` milliseconds.
void RunEventLoop(int ms);

// Records the URLs the desktop is asked to open instead of starting a program.
class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  TUrlRecorder();
  ~TUrlRecorder() override;
  QList<QUrl> Opened;
 public slots:
  void Open(const QUrl& url) { Opened.append(url); }
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new main window with this command line; the previous one is closed first.
  TMainForm& MakeForm(const QStringList& commandLine = {});
  TMainForm& MakeForm(const QList<QByteArray>& commandLine);
  // A control or action of the window by its name; fails the test when there is none.
  template <class T>
  T* Get(const char* name) const {
    T* child = FForm->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  // path of a file or folder in the temporary folder.
  QString Path(const QString& name) const { return FDir.filePath(name); }
  // Writes MP3 files (and other files) named relative to the temporary folder.
  void Files(const QStringList& names, qint64 size = 417);
  QStringList Captions() const;
  QStringList Paths() const;
  void Select(const QList<int>& rows);

  QTemporaryDir FDir;
  TScriptedDialogs FDialogs;
  std::unique_ptr<TDialogsScope> FScope;
  std::unique_ptr<TMainForm> FForm;
};
