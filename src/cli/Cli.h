// melotag-cli: the editor's work from the command line. One table entry per command (its
// synopsis, help and options); the arguments as the exact bytes they were given.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "NamePattern.h"
#include "UnicodeTag.h"
#include "Workspace.h"

namespace melotag::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;      // every file succeeded
inline constexpr int kExitFailed = 1;  // some failed, each named on stderr
inline constexpr int kExitUsage = 2;   // the command line was wrong; nothing was done
inline constexpr const char* kProgram = "melotag-cli";

// A command line that cannot be run: the message ends the program with kExitUsage.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An option: its long name ("--title"), an optional one-letter name ('r'), the name of its value
// (nullptr for a flag) and its help line.
struct TOption {
  const char* Long;
  char Short;
  const char* Value;
  const char* Help;
};

// The options of one command line and what is left (the operands), in their order. "--" ends
// the options; "-" alone is an operand.
class TArguments {
 public:
  // Throws EUsage for an option that is not in `options` or lacks its value.
  TArguments(const QList<QByteArray>& arguments, const std::vector<TOption>& options);
  bool Has(const char* name) const;
  // The value of the last occurrence; none when the option was not given.
  std::optional<QByteArray> Value(const char* name) const;
  const QList<QByteArray>& Operands() const { return FOperands; }
  // The one option of `names` that was given, `fallback` when none was; EUsage for two or more.
  const char* OneOf(std::initializer_list<const char*> names, const char* fallback) const;

 private:
  QList<std::pair<QByteArray, QByteArray>> FGiven;  // name, value
  QList<QByteArray> FOperands;
};

// What a command runs with: its arguments, the Unicode options, the workspace of the files it
// lists, the files that failed.
class TContext {
 public:
  explicit TContext(TArguments arguments);
  const TArguments& Args() const { return FArgs; }
  const editor::TUnicodeOptions& Unicode() const { return FUnicode; }
  editor::TWorkspace& Workspace() { return FWorkspace; }
  // Names a file that failed on stderr ("melotag-cli: PATH: reason"); the exit status becomes 1.
  void Fail(const QByteArray& path, const QString& reason);
  // A note on stderr that changes nothing.
  void Note(const QString& text);
  int ExitStatus() const { return FFailures > 0 ? kExitFailed : kExitOk; }

  // Lists the MP3 files the operands name in the workspace, in their order: a file as given
  // (whatever its extension), a folder as its MP3 files sorted as the window's file list sorts
  // them, with -r followed by its subfolders (sorted the same way, each visited once; links to
  // folders left out). A file met in a folder is written only inside the folder given
  // (MayWriteThrough); a file given is written wherever a link leads. A missing operand or an
  // unreadable folder fails. EUsage when there are no operands.
  const editor::TFileListing& Files(const QList<QByteArray>& operands);

 private:
  TArguments FArgs;
  editor::TUnicodeOptions FUnicode;
  editor::TWorkspace FWorkspace;
  int FFailures = 0;
};

// Writes text as UTF-8, or bytes as they are, to a stream.
void Print(FILE* out, const QString& text);
// What a terminal would take for commands (C0 and C1 controls, DEL: escape sequences, line
// breaks, carriage returns) as \xNN.
QString ShownOnTerminal(const QString& text);
// "melotag-cli: TEXT" and a line break on stderr; the text ShownOnTerminal when stderr is one.
void Say(const QString& text);
void PrintBytes(FILE* out, const QByteArray& bytes);
// The text of an argument: UTF-8 when it is well-formed UTF-8, otherwise decoded through the
// code page (a Big5 value given by a script under 950), as file names are.
QString ArgumentText(const QByteArray& argument);

struct TCommand {
  const char* Name;
  const char* Synopsis;  // after the program's name
  const char* Summary;   // one line in the tool's help
  const char* Help;      // the command's own help: what it does, before its options
  std::vector<TOption> Options;
  bool TakesFiles;  // -r applies
  int (*Run)(TContext&);
};

// The commands, in the order the help lists them.
const std::vector<TCommand>& Commands();
// The whole program: arguments[0] is the program's name. Answers the exit status.
int Main(const QList<QByteArray>& arguments);

// The note on frames too large to inflate (their IDs), said once for a file.
QString TooLargeNote(const QStringList& ids);
// Why a file could not be changed (`what`: the tag or the file), as far as can be told.
QString WriteFailure(const QByteArray& path, const QString& what);
// Runs `work` on every listed file in the workspace's pass, the rebuilt ones committed together
// (one flush for many files); then names each file whose step failed with the step's reason, and
// each whose commit failed with `what` (the tag or the file).
editor::TPassResult EachFile(TContext& context, const QString& what, const editor::TPassWork& work);

// The tags a command writes: --v1, --v2 or --both (the default).
struct TTagChoice {
  bool V1;
  bool V2;
};
TTagChoice ChosenTags(const TArguments& args);
// The pattern of --pattern; EUsage when it is missing or not sound.
editor::TNamePattern PatternArgument(const TArguments& args);

// The options of set that give the fields, in the field table's order.
std::vector<TOption> FieldOptions();

// Notes once on stderr what ID3v1 tags given the values get none of: a genre outside the list, a
// track above 255. True when it noted something.
bool NoteTrailerLacks(TContext& context, const editor::TFieldValues& values);
// Notes how many ID3v1 tags kept their texts of another code page (none: nothing).
void NoteKeptTexts(TContext& context, int files);

// The commands' work (TagCommands.cpp, ListCommands.cpp, RepairCommands.cpp, NameCommands.cpp).
int RunShow(TContext& context);
int RunSet(TContext& context);
int RunRemove(TContext& context);
int RunTitles(TContext& context);
int RunRename(TContext& context);
int RunPlayList(TContext& context);
int RunConvert(TContext& context);
int RunRepairTags(TContext& context);
int RunRepairNames(TContext& context);
int RunTagsFromNames(TContext& context);
int RunCover(TContext& context);

}  // namespace melotag::cli
