// titles, rename, playlist and convert: the title list's and the file list's tools on files and
// texts given on the command line.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "Cli.h"
#include "CodePage.h"
#include "FileNames.h"
#include "NamePattern.h"
#include "PlayListFile.h"
#include "RenamePlan.h"
#include "TitleTools.h"
#include "UnicodeTag.h"

namespace melotag::cli {

using namespace editor;

namespace {

// The bytes of a title line made from a file name: code-page text when the code page holds the
// title, so that reading the list gives the same text again (and a rename keeps the name's
// bytes); otherwise the name's own bytes before ".mp3", which the code page reads back as text
// that encodes to them.
QByteArray TitleLineBytes(const QByteArray& name, const QString& title) {
  if (CodePageCanEncode(title)) return QByteArray::fromStdString(EncodeText(title));
  return name.left(name.toLower().indexOf(".mp3"));
}

// The whole content of a file, or of standard input for "-"; none, with errno set, on an error.
std::optional<QByteArray> ReadAll(const QByteArray& path) {
  FILE* in = path == "-" ? stdin : std::fopen(path.constData(), "rb");
  if (!in) return std::nullopt;
  QByteArray data;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    data.append(buffer, qsizetype(n));
  const bool failed = std::ferror(in);
  const int error = errno;
  if (in != stdin) std::fclose(in);
  if (failed) {
    errno = error;
    return std::nullopt;
  }
  return data;
}

// Something of that name, a dangling link included.
bool Exists(const QByteArray& path) {
  struct stat status;
  return ::lstat(path.constData(), &status) == 0;
}

}  // namespace

int RunTitles(TContext& context) {
  const TArguments& args = context.Args();
  if (!args.Has("--from-names")) throw EUsage("titles needs --from-names");
  QByteArray out;
  for (const QByteArray& path : context.Files(args.Operands())) {
    const QByteArray name = FileNamePart(path);
    if (const std::optional<QString> title = TitleOfCaption(NameCaption(name)))
      out += TitleLineBytes(name, *title) + '\n';
  }
  PrintBytes(stdout, out);
  return context.ExitStatus();
}

namespace {

// One rename of the command: the new path, or why there is none (empty: left alone silently).
struct TStep {
  QByteArray OldPath;
  QByteArray NewPath;
  QString Problem;
};

// Renames (or, dry, shows) every step; each one that fails is named with its reason.
void Rename(TContext& context, const QList<TStep>& steps, bool dryRun) {
  for (const TStep& step : steps) {
    if (step.NewPath.isEmpty()) {
      if (!step.Problem.isEmpty()) context.Fail(step.OldPath, step.Problem);
      continue;
    }
    const QString change = NameCaption(step.OldPath) + " -> " + NameCaption(step.NewPath);
    int error = 0;
    if (!dryRun)
      error = RenameNoReplace(step.OldPath, step.NewPath);
    else if (step.NewPath != step.OldPath && Exists(step.NewPath))
      error = EEXIST;
    if (error != 0)
      context.Fail(step.OldPath, "not renamed to " + NameCaption(FileNamePart(step.NewPath)) +
                                     ": " + RenameErrorText(error));
    else if (dryRun)
      Print(stdout, change + '\n');
  }
}

QList<TStep> TitleSteps(TContext& context, const QList<QByteArray>& files,
                        const QByteArray& listPath) {
  const TTitleFile list = ReadTitleFile(listPath);
  if (list.Error != 0) {
    context.Fail(listPath, list.Error == EFBIG
                               ? QStringLiteral("the file is too large for a title list")
                               : ErrorText(list.Error));
    return {};
  }
  QStringList lines = list.Lines;
  // The last line's break ends it; it starts no empty line.
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  if (lines.size() != files.size()) {
    context.Fail(listPath, QStringLiteral("%1 line(s) for %2 file(s); nothing was renamed")
                               .arg(lines.size())
                               .arg(files.size()));
    return {};
  }
  QList<TStep> steps;
  for (const TRenameStep& step : PlanRenames(files, lines))
    steps.append({step.OldPath, step.NewPath, NameProblemText(step.Problem)});
  return steps;
}

QList<TStep> PatternSteps(TContext& context, const QList<QByteArray>& files,
                          const TNamePattern& pattern) {
  QList<TStep> steps;
  for (const TNameFromTags& step : PlanNamesFromTags(files, pattern, context.Unicode().ReadUnicode))
    steps.append({step.OldPath, step.NewPath, step.Problem});
  return steps;
}

}  // namespace

TNamePattern PatternArgument(const TArguments& args) {
  const std::optional<QByteArray> value = args.Value("--pattern");
  if (!value) throw EUsage("no --pattern given");
  TNamePattern pattern(ArgumentText(*value));
  if (!pattern.IsValid()) throw EUsage("--pattern: " + pattern.Error().toStdString());
  return pattern;
}

int RunRename(TContext& context) {
  const TArguments& args = context.Args();
  const char* source = args.OneOf({"--titles", "--pattern"}, "");
  if (!*source) throw EUsage("rename needs --titles LIST.txt or --pattern P");
  const std::optional<TNamePattern> pattern =
      QByteArray(source) == "--pattern" ? std::optional(PatternArgument(args)) : std::nullopt;
  const bool dryRun = args.Has("--dry-run");
  const QList<QByteArray> files = context.Files(args.Operands());
  // A file left out would pair every later file with another line.
  if (context.ExitStatus() != kExitOk) return context.ExitStatus();
  Rename(context,
         pattern ? PatternSteps(context, files, *pattern)
                 : TitleSteps(context, files, *args.Value("--titles")),
         dryRun);
  return context.ExitStatus();
}

int RunPlayList(TContext& context) {
  const QList<QByteArray>& operands = context.Args().Operands();
  if (operands.size() < 2) throw EUsage("playlist needs OUT.m3u and at least one FILE");
  const QByteArray out = operands.first();
  const QList<QByteArray> files = context.Files(operands.mid(1));
  // A play list is written whole or not at all.
  if (context.ExitStatus() != kExitOk) return context.ExitStatus();
  const QByteArray folder = FolderPart(AbsolutePath(out));
  QList<QByteArray> names;
  names.reserve(files.size());
  for (const QByteArray& file : files) {
    const QByteArray path = AbsolutePath(file);
    names.append(FolderPart(path) == folder ? FileNamePart(path) : path);
  }
  if (const int error = WritePlayList(out, names); error != 0) context.Fail(out, ErrorText(error));
  return context.ExitStatus();
}

int RunConvert(TContext& context) {
  const TArguments& args = context.Args();
  const QByteArray direction = args.OneOf({"--big5-to-gbk", "--gbk-to-big5"}, "");
  if (direction.isEmpty()) throw EUsage("convert needs --big5-to-gbk or --gbk-to-big5");
  const QList<QByteArray>& operands = args.Operands();
  if (operands.size() > 1) throw EUsage("convert takes one FILE at most");
  const QByteArray path = operands.isEmpty() ? QByteArray("-") : operands.first();
  const std::optional<QByteArray> text = ReadAll(path);
  if (!text) {
    context.Fail(path == "-" ? QByteArray("standard input") : path, ErrorText(errno));
    return context.ExitStatus();
  }
  // Line by line, as the title list converts its lines; the breaks stay where they were.
  QStringList lines;
  for (const QByteArray& line : text->split('\n')) lines.append(DecodeText(line.toStdString()));
  const TChineseConversion conversion =
      direction == "--big5-to-gbk" ? TChineseConversion::Big5ToGbk : TChineseConversion::GbkToBig5;
  QByteArray out;
  out.reserve(text->size());
  const QStringList converted = ConvertLines(lines, conversion, CurrentCodec().CodePage());
  for (qsizetype i = 0; i < converted.size(); ++i) {
    if (i > 0) out += '\n';
    out += QByteArray::fromStdString(EncodeText(converted[i]));
  }
  PrintBytes(stdout, out);
  return context.ExitStatus();
}

}  // namespace melotag::cli
