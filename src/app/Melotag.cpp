// The program: one instance per user. A later start hands its command line to the running
// instance and ends; the first one opens the main window.
#include <QApplication>
#include <QFileInfo>

#include <cstdio>

#include "CodePage.h"
#include "Exception.h"
#include "Main.h"
#include "QtDialogs.h"
#include "SingleInstance.h"

namespace {

// One record per argument: the program's path, a blank and the argument's absolute path; the
// program's path alone without arguments.
QList<QByteArray> HandOverTexts(const QStringList& arguments) {
  const QString program = QCoreApplication::applicationFilePath();
  QList<QByteArray> texts;
  if (arguments.size() <= 1) texts.append(program.toUtf8());
  for (qsizetype i = 1; i < arguments.size(); ++i)
    texts.append((program + ' ' + QFileInfo(arguments[i]).absoluteFilePath()).toUtf8());
  return texts;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Melotag");
  QApplication::setApplicationDisplayName("Melotag");
  try {
    CheckCodePage();
  } catch (const Exception& e) {
    std::fprintf(stderr, "Melotag: %s\n", e.what());
    return 1;
  }

  TSingleInstance instance;
  if (!instance.TryLock() && instance.HeldByOther()) {
    // Another instance runs: it takes the command line (lost if it does not answer in time).
    instance.SendHandOver(HandOverTexts(QCoreApplication::arguments()), 10000);
    return 0;
  }
  // Without a lock file of our own (the runtime folder is not writable) the window opens alone.

  TQtDialogs dialogs;
  SetDialogs(&dialogs);
  TMainForm form(QCoreApplication::arguments(), instance.IsLocked() ? &instance : nullptr);
  form.show();
  const int result = app.exec();
  SetDialogs(nullptr);
  return result;
}
