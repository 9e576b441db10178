#include "DesktopEntry.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "CodePage.h"
#include "FilePath.h"

namespace melotag::editor {

namespace {

// The MIME type of the files of an extension.
QString MimeTypeOf(const QString& extension) {
  const QString lower = extension.toLower();
  if (lower == "mp3") return QStringLiteral("audio/mpeg");
  return "application/x-" + lower;
}

// A value of type string or localestring: backslashes, line breaks, tabs and a leading blank
// written as escapes.
QString EscapedValue(const QString& value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c == '\\')
      out += QStringLiteral("\\\\");
    else if (c == '\n')
      out += QStringLiteral("\\n");
    else if (c == '\r')
      out += QStringLiteral("\\r");
    else if (c == '\t')
      out += QStringLiteral("\\t");
    else if (c == ' ' && i == 0)
      out += QStringLiteral("\\s");
    else
      out += c;
  }
  return out;
}

QString Entry(const QString& type, const QString& verb, const QString& mimeType,
              const QString& exec) {
  const QString name = EscapedValue(verb);
  QString text =
      "[Desktop Entry]\nType=" + type + "\nName=" + name + "\nMimeType=" + mimeType + ";\n";
  if (type == "Application")
    return text + "Exec=" + exec + "\nIcon=melotag\nNoDisplay=true\nTerminal=false\n";
  return text +
         "Actions=melotag;\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\nX-KDE-Priority=TopLevel\n"
         "\n[Desktop Action melotag]\nName=" +
         name + "\nExec=" + exec + "\nIcon=melotag\n";
}

QString Reason(const QByteArray& path, int error) {
  return QString::fromLocal8Bit(path) + ": " + QString::fromLocal8Bit(std::strerror(error));
}

// Lets the desktop see new or removed entries at once where it keeps a cache of them.
void RefreshDesktopDatabase(const QByteArray& applications) {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (tool.isEmpty()) return;
  QProcess::execute(tool, {QString::fromLocal8Bit(applications)});
}

}  // namespace

QByteArray DataHome() {
  const QByteArray data = qgetenv("XDG_DATA_HOME");
  if (data.startsWith('/')) return data;
  return qgetenv("HOME") + "/.local/share";
}

QByteArray VerbFileName(const QString& verb) {
  QByteArray name = "melotag-";
  for (const char c : verb.toUtf8()) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      name += c;
    else
      name += '_' + QByteArray(1, c).toHex().toUpper();
  }
  return name + ".desktop";
}

QList<QByteArray> VerbFiles(const QString& verb) {
  const QByteArray home = DataHome();
  const QByteArray name = VerbFileName(verb);
  return {home + "/applications/" + name, home + "/kio/servicemenus/" + name};
}

QString ExecLine(const QByteArray& program, QString* error) {
  QString problem;
  if (program.contains('\n') || program.contains('\r'))
    problem = "The program's path holds a line break; no desktop entry can start it.";
  else if (program.contains('%'))
    // "%%" is the written form, but GLib looks for the program before it reads that form.
    problem = "The program's path holds a \"%\"; file managers would not start it.";
  else if (!IsUtf8(std::string_view(program.constData(), program.size())))
    problem = "The program's path is not valid UTF-8; no desktop entry can start it.";
  if (!problem.isEmpty()) {
    if (error) *error = problem;
    return QString();
  }
  // Quoted when it holds a reserved character; inside the quotes ", `, $ and \ take a backslash.
  static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
  const QString path = QString::fromUtf8(program);
  QString argument = path;
  if (std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); })) {
    argument = QStringLiteral("\"");
    for (const QChar c : path) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
      argument += c;
    }
    argument += '"';
  }
  // The whole value is a string: its backslashes are escaped once more.
  return EscapedValue(argument) + " %f";
}

QString RegisterShellVerb(const QString& extension, const QString& verb,
                          const QByteArray& program) {
  if (verb.trimmed().isEmpty()) return QStringLiteral("The menu entry has no name.");
  QString error;
  const QString exec = ExecLine(program, &error);
  if (exec.isEmpty()) return error;
  const QString mimeType = MimeTypeOf(extension);
  const QList<QByteArray> files = VerbFiles(verb);
  const struct {
    const char* Type;
    unsigned Mode;  // KDE runs a service menu of the user's own only when it is executable
  } kinds[] = {{"Application", 0644}, {"Service", 0755}};
  for (int i = 0; i < 2; ++i) {
    const QByteArray& file = files[i];
    const QByteArray folder = file.left(file.lastIndexOf('/'));
    if (QString failed = MakeFolders(folder); !failed.isEmpty()) return failed;
    const QString text = Entry(QString::fromLatin1(kinds[i].Type), verb, mimeType, exec);
    if (QString failed = WriteFileAtomically(file, text.toUtf8(), kinds[i].Mode); !failed.isEmpty())
      return failed;
  }
  RefreshDesktopDatabase(DataHome() + "/applications");
  return QString();
}

QString UnregisterShellVerb(const QString&, const QString& verb) {
  bool removed = false;
  for (const QByteArray& file : VerbFiles(verb)) {
    if (::unlink(file.constData()) == 0)
      removed = true;
    else if (errno != ENOENT)
      return Reason(file, errno);
  }
  if (removed) RefreshDesktopDatabase(DataHome() + "/applications");
  return QString();
}

}  // namespace melotag::editor
