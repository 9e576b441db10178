// titles, rename, playlist and convert: the title list's and the file list's tools on files and
// texts given on the command line.
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

}  // namespace

int RunTitles(TContext& context) {
  const TArguments& args = context.Args();
  if (!args.Has("--from-names")) throw EUsage("titles needs --from-names");
  QByteArray out;
  const TFileListing& files = context.Files(args.Operands());
  for (int i = 0; i < files.Count(); ++i) {
    const QByteArray name = FileNamePart(files.Path(i));
    if (const std::optional<QString> title = TitleOfCaption(NameCaption(name)))
      out += TitleLineBytes(name, *title) + '\n';
  }
  PrintBytes(stdout, out);
  return context.ExitStatus();
}

namespace {

// Renames (or, dry, shows) the listed files by the orders; each one that fails is named with its
// reason.
void Rename(TContext& context, const QList<TRenameOrder>& orders, bool dryRun) {
  const QList<TRenameOutcome> outcomes = context.Workspace().ApplyRenames(orders, dryRun);
  for (qsizetype i = 0; i < orders.size(); ++i) {
    const TRenameOrder& order = orders[i];
    const TRenameOutcome& outcome = outcomes[i];
    if (outcome.State == TRenameState::Refused)
      context.Fail(order.OldPath, outcome.Reason);
    else if (outcome.State == TRenameState::Failed)
      context.Fail(order.OldPath, "not renamed to " + NameCaption(FileNamePart(order.NewPath)) +
                                      ": " + outcome.Reason);
    else if (outcome.State == TRenameState::Renamed && dryRun)
      Print(stdout, NameCaption(order.OldPath) + " -> " + NameCaption(order.NewPath) + '\n');
  }
}

// The orders of the title list's lines, read from the file into the workspace's title lines.
QList<TRenameOrder> TitleOrders(TContext& context, const QByteArray& listPath) {
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
  TWorkspace& workspace = context.Workspace();
  TTitleLines& titles = workspace.Titles();
  titles.SetLines(std::move(lines));
  const TFileListing& files = workspace.Files();
  if (titles.Count() != files.Count()) {
    context.Fail(listPath, QStringLiteral("%1 line(s) for %2 file(s); nothing was renamed")
                               .arg(titles.Count())
                               .arg(files.Count()));
    return {};
  }
  return RenameOrders(PlanRenames(files.Paths(), titles.Lines()));
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
  const TFileListing& files = context.Files(args.Operands());
  // A file left out would pair every later file with another line.
  if (context.ExitStatus() != kExitOk) return context.ExitStatus();
  Rename(context,
         pattern ? RenameOrders(
                       PlanNamesFromTags(files.Paths(), *pattern, context.Unicode().ReadUnicode))
                 : TitleOrders(context, *args.Value("--titles")),
         dryRun);
  return context.ExitStatus();
}

int RunPlayList(TContext& context) {
  const QList<QByteArray>& operands = context.Args().Operands();
  if (operands.size() < 2) throw EUsage("playlist needs OUT.m3u and at least one FILE");
  const QByteArray out = operands.first();
  const TFileListing& files = context.Files(operands.mid(1));
  // A play list is written whole or not at all.
  if (context.ExitStatus() != kExitOk) return context.ExitStatus();
  const QByteArray folder = FolderPart(AbsolutePath(out));
  QList<QByteArray> names;
  names.reserve(files.Count());
  for (int i = 0; i < files.Count(); ++i) {
    const QByteArray path = AbsolutePath(files.Path(i));
    const QByteArray name = FolderPart(path) == folder ? FileNamePart(path) : path;
    // Its line breaks would make lines of their own: the others are listed, this one named.
    if (FitsPlayList(name))
      names.append(name);
    else
      context.Fail(files.Path(i), "the name holds a line break: left out of the play list");
  }
  if (const int error = WritePlayList(out, names); error != 0)
    context.Fail(out, PlayListErrorText(error));
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
