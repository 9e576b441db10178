// The command line's options and operands, the files they name, and what goes to stdout/stderr.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>
#include <utility>

#include "Cli.h"
#include "FileNames.h"
#include "RenamePlan.h"

namespace melotag::cli {

namespace {

const TOption* FindOption(const std::vector<TOption>& options, const QByteArray& name) {
  for (const TOption& option : options)
    if (name == option.Long ||
        (option.Short && name.size() == 2 && name[0] == '-' && name[1] == option.Short))
      return &option;
  return nullptr;
}

QString Quoted(const QByteArray& argument) {
  return '\'' + ArgumentText(argument) + '\'';
}

}  // namespace

TArguments::TArguments(const QList<QByteArray>& arguments, const std::vector<TOption>& options) {
  bool optionsEnded = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QByteArray& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      FOperands.append(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" or "--name value"; short options stand alone ("-r").
    const qsizetype equals = argument.startsWith("--") ? argument.indexOf('=') : -1;
    const QByteArray name = equals < 0 ? argument : argument.left(equals);
    const TOption* option = FindOption(options, name);
    if (!option) throw EUsage("unknown option " + Quoted(name).toStdString());
    QByteArray value;
    if (option->Value) {
      if (equals >= 0) {
        value = argument.mid(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        throw EUsage(std::string("option ") + option->Long + " needs a value (" + option->Value +
                     ")");
      }
    } else if (equals >= 0) {
      throw EUsage(std::string("option ") + option->Long + " takes no value");
    }
    FGiven.append({QByteArray(option->Long), value});
  }
}

bool TArguments::Has(const char* name) const {
  return std::any_of(FGiven.begin(), FGiven.end(),
                     [name](const auto& given) { return given.first == name; });
}

std::optional<QByteArray> TArguments::Value(const char* name) const {
  std::optional<QByteArray> value;
  for (const auto& [given, text] : FGiven)
    if (given == name) value = text;
  return value;
}

const char* TArguments::OneOf(std::initializer_list<const char*> names,
                              const char* fallback) const {
  const char* chosen = nullptr;
  for (const char* name : names) {
    if (!Has(name)) continue;
    if (chosen) throw EUsage(std::string(chosen) + " and " + name + " exclude each other");
    chosen = name;
  }
  return chosen ? chosen : fallback;
}

TContext::TContext(TArguments arguments) : FArgs(std::move(arguments)) {
  // Unicode reading and keeping the other frames unless the exact write is asked for.
  const bool exact = FArgs.OneOf({"--exact", "--write-unicode"}, "") == QByteArray("--exact");
  if (exact && (FArgs.Has("--read-unicode") || FArgs.Has("--keep-frames")))
    throw EUsage("--exact and the Unicode options exclude each other");
  FUnicode.ReadUnicode = !exact;
  FUnicode.WriteUnicode = FArgs.Has("--write-unicode");
  FUnicode.KeepOtherFrames = !exact;
}

void TContext::Fail(const QByteArray& path, const QString& reason) {
  ++FFailures;
  Say(editor::NameCaption(path) + ": " + reason);
}

void TContext::Note(const QString& text) {
  Say(text);
}

const editor::TFileListing& TContext::Files(const QList<QByteArray>& operands) {
  if (operands.isEmpty()) throw EUsage("no FILE given");
  const bool recursive = FArgs.Has("--recursive");
  editor::TFileListing& files = FWorkspace.Files();
  // Folders by device and inode: a folder reached twice (a folder given twice, a mount inside its
  // own tree) is listed once. Links to folders are not entered.
  std::set<std::pair<dev_t, ino_t>> visited;
  std::function<void(const QByteArray&, const QByteArray&)> addFolder =
      [&](const QByteArray& folder, const QByteArray& root) {
        struct stat status;
        if (::stat(folder.constData(), &status) == 0 &&
            !visited.insert({status.st_dev, status.st_ino}).second)
          return;
        editor::TScanResult scan = editor::ScanFolder(folder, false, root);
        if (scan.Error != 0) Fail(folder, editor::ErrorText(scan.Error));
        editor::SortByCaption(scan.Files);
        files.Append(scan.Files);
        if (!recursive || scan.Error != 0) return;
        QList<editor::TFileEntry> subfolders;
        for (const QByteArray& name : editor::SubFolders(folder, false))
          subfolders.append({editor::JoinPath(folder, name), editor::NameCaption(name), 0, {}});
        editor::SortByCaption(subfolders);
        for (const editor::TFileEntry& subfolder : subfolders) addFolder(subfolder.Path, root);
      };
  for (const QByteArray& operand : operands) {
    // One status an operand (links followed): a large list of files costs one call each.
    struct stat status;
    if (::stat(operand.constData(), &status) != 0)
      Fail(operand, editor::ErrorText(errno));
    else if (S_ISDIR(status.st_mode))
      addFolder(operand, operand);
    else if (S_ISREG(status.st_mode))
      files.Append({operand, QString(), qint64(status.st_size), {}});
    else
      Fail(operand, QStringLiteral("not a regular file or folder"));
  }
  return files;
}

QString ShownOnTerminal(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
      out += QStringLiteral("\\x") + QString::number(int(u), 16).toUpper().rightJustified(2, '0');
    else
      out += c;
  }
  return out;
}

void Say(const QString& text) {
  static const bool terminal = ::isatty(fileno(stderr)) != 0;
  std::fprintf(stderr, "%s: ", kProgram);
  Print(stderr, (terminal ? ShownOnTerminal(text) : text) + '\n');
}

void Print(FILE* out, const QString& text) {
  PrintBytes(out, text.toUtf8());
}

void PrintBytes(FILE* out, const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
}

QString ArgumentText(const QByteArray& argument) {
  return editor::NameCaption(argument);
}

}  // namespace melotag::cli
