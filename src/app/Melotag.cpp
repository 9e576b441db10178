// The program: one instance per user. A later start hands its command line to the running
// instance and ends; the first one opens the main window.
#include <QApplication>
#include <QFile>

#include <cstdio>

#include "CodePage.h"
#include "Exception.h"
#include "FileNames.h"
#include "Main.h"
#include "QtDialogs.h"
#include "QtTranslation.h"
#include "SingleInstance.h"

namespace {

// One record per argument: the program's path, a blank and the argument's absolute path, as the
// exact bytes of the names; the program's path alone without arguments.
QList<QByteArray> HandOverTexts(const QList<QByteArray>& arguments) {
  const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
  QList<QByteArray> texts;
  if (arguments.size() <= 1) texts.append(program);
  for (qsizetype i = 1; i < arguments.size(); ++i)
    texts.append(program + ' ' + melotag::editor::AbsolutePath(arguments[i]));
  return texts;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The arguments Qt left, as the exact bytes they were given: file names need not be UTF-8.
  QList<QByteArray> arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QByteArray(argv[i]));
  QApplication::setApplicationName("Melotag");
  QApplication::setApplicationDisplayName("Melotag");
  try {
    CheckCodePage();
  } catch (const Exception& e) {
    std::fprintf(stderr, "Melotag: %s\n", e.what());
    return 1;
  }
  // Qt's own dialogs and buttons in the language of the code page.
  UseQtTranslations();

  TSingleInstance instance;
  if (!instance.FolderProblem().isEmpty())
    std::fprintf(stderr, "Melotag: %s; this window runs alone\n",
                 instance.FolderProblem().toLocal8Bit().constData());
  if (!instance.TryLock() && instance.HeldByOther()) {
    // Another instance runs: it takes the command line.
    if (instance.SendHandOver(HandOverTexts(arguments), 10000)) return 0;
    // Not taken (no answer in time, or a server of another user): this start opens them itself.
    std::fprintf(stderr,
                 "Melotag: the running instance did not take the files; this window runs "
                 "alone\n");
  }
  // Without a lock file of our own (no private folder, or the lock is another's) the window opens
  // alone.

  TQtDialogs dialogs;
  SetDialogs(&dialogs);
  TMainForm form(arguments, instance.IsLocked() ? &instance : nullptr);
  form.show();
  const int result = app.exec();
  SetDialogs(nullptr);
  return result;
}
