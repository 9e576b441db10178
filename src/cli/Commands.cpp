// The command table, the help texts and the way from a command line to a command.
#include <QStringList>

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "Cli.h"
#include "CodePage.h"
#include "Exception.h"
#include "FileLock.h"
#include "FileNames.h"
#include "ID3v2.h"
#include "Journal.h"

#ifndef MELOTAG_VERSION
#define MELOTAG_VERSION "0"
#endif

namespace melotag::cli {

namespace {

// The options every command takes.
const std::vector<TOption> kShared = {
    {"--codepage", 0, "N",
     "the code page of tag texts and title lists, a Windows code page number (950 Big5, 936 GBK, "
     "1252, 65001 UTF-8 ...); by default MELOTAG_CODEPAGE, else the one of the locale"},
    {"--read-unicode", 0, nullptr,
     "read UTF-16 and UTF-8 texts of ID3v2 tags, and ID3v2.2 and ID3v2.4 tags (the default)"},
    {"--write-unicode", 0, nullptr, "write a new ID3v2 tag's texts as UTF-16"},
    {"--keep-frames", 0, nullptr,
     "replace only the given fields' frames of an ID3v2 tag, keeping every other frame (cover "
     "art, lyrics ...) and the tag's version and text encoding (the default)"},
    {"--help", 'h', nullptr, "show the help and end"},
};

// Taken by the commands of FILE operands.
const TOption kRecursive = {"--recursive", 'r', nullptr,
                            "a folder also stands for the MP3 files of its subfolders (links to "
                            "folders are not entered)"};

const TOption kV1 = {"--v1", 0, nullptr, "the ID3v1 tag alone"};
const TOption kV2 = {"--v2", 0, nullptr, "the ID3v2 tag alone"};
const TOption kBoth = {"--both", 0, nullptr, "both tags, ID3v1 first (the default)"};
const TOption kExact = {"--exact", 0, nullptr,
                        "write the seven fields alone as a code-page ID3v2.3 tag without padding, "
                        "reading ID3v2.3 code-page texts alone, as Melotag does with its Unicode "
                        "options unticked"};
const TOption kDryRun = {"--dry-run", 0, nullptr, "show what would be done, change nothing"};
const TOption kReplaceDamaged = {
    "--replace-damaged", 0, nullptr,
    "replace an ID3v2 tag that cannot be read whole (a size beyond the file, a tag behind other "
    "data, a frame past the tag's end, frames hidden behind a damaged one) by one of the frames "
    "that could be read; without it such a file is refused with the reason"};

// The options of set: the tags, the fields, the exact write.
std::vector<TOption> SetOptions() {
  std::vector<TOption> options = {kV1, kV2, kBoth};
  for (const TOption& option : FieldOptions()) options.push_back(option);
  options.push_back(kExact);
  options.push_back(kReplaceDamaged);
  return options;
}

constexpr int kHelpColumn = 26;
constexpr int kLineWidth = 79;

// `text` wrapped at blanks into lines of at most kLineWidth (a longer word stands alone), each
// line after `indent` blanks; the first one after `lead` when that is shorter than the indent.
QString Wrapped(const QString& lead, const QString& text, int indent) {
  QStringList lines;
  QString line;
  for (const QString& word : text.simplified().split(' ', Qt::SkipEmptyParts)) {
    if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kLineWidth) {
      lines.append(line);
      line.clear();
    }
    line += (line.isEmpty() ? "" : " ") + word;
  }
  if (!line.isEmpty()) lines.append(line);
  const QString margin(indent, ' ');
  const QString start =
      lead.isEmpty() || lead.size() < indent ? lead.leftJustified(indent) : lead + '\n' + margin;
  return start + lines.join('\n' + margin) + '\n';
}

QString OptionHelp(const TOption& option) {
  QString lead =
      option.Short ? QStringLiteral("  -%1, ").arg(QChar(option.Short)) : QStringLiteral("      ");
  lead += option.Long;
  if (option.Value) lead += QStringLiteral(" ") + option.Value;
  return Wrapped(lead, option.Help, kHelpColumn);
}

// Paragraphs apart by blank lines, each wrapped.
QString Paragraphs(const QString& text) {
  QString out;
  for (const QString& paragraph : text.split(QStringLiteral("\n\n")))
    out += (out.isEmpty() ? "" : "\n") + Wrapped(QString(), paragraph, 0);
  return out;
}

std::vector<TOption> OptionsOf(const TCommand& command) {
  std::vector<TOption> options = command.Options;
  if (command.TakesFiles) options.push_back(kRecursive);
  options.insert(options.end(), kShared.begin(), kShared.end());
  return options;
}

QString ToolHelp() {
  QString text = QStringLiteral("Usage: %1 COMMAND [OPTION]... [FILE]...\n").arg(kProgram);
  text += Paragraphs(
      "Reads, writes and removes the ID3v1 and ID3v2 tags of MP3 files, renames files after a "
      "title list and writes play lists, with the rules of the Melotag editor: tag texts in the "
      "code page (Big5, GBK ...), file names as their exact bytes, and no file ever left "
      "half-written.");
  text += QStringLiteral("\nCommands:\n");
  for (const TCommand& command : Commands()) {
    // The synopsis from column 2, its further lines from column 4.
    text += Wrapped(QString(), command.Synopsis, 4).mid(2);
    text += Wrapped(QString(), command.Summary, 8);
  }
  text += QStringLiteral("\nOptions:\n");
  text += OptionHelp(kRecursive);
  for (const TOption& option : kShared) text += OptionHelp(option);
  text += OptionHelp({"--version", 0, nullptr, "show the version and end"});
  text += '\n';
  text += Paragraphs(
      "A FILE that is a folder stands for its MP3 files, sorted by name as Melotag's file list "
      "sorts them; the files named one by one keep their order. Texts given on the command line "
      "are read as UTF-8, or through the code page when they are not UTF-8.");
  text += QStringLiteral("\nExit status:\n");
  text += Wrapped(QStringLiteral("  0"), "every file succeeded", 8);
  text += Wrapped(QStringLiteral("  1"), "some failed; each is named on stderr with its reason", 8);
  text += Wrapped(QStringLiteral("  2"), "the command line is wrong; nothing was done", 8);
  text += QStringLiteral("\nRun '%1 COMMAND --help' for the options of a command.\n").arg(kProgram);
  return text;
}

QString CommandHelp(const TCommand& command) {
  QString text =
      Wrapped(QString(), QStringLiteral("Usage: %1 %2").arg(kProgram, QString(command.Synopsis)), 6)
          .mid(6);
  text += Paragraphs(command.Help);
  text += QStringLiteral("\nOptions:\n");
  for (const TOption& option : OptionsOf(command)) text += OptionHelp(option);
  return text;
}

const TCommand* FindCommand(const QByteArray& name) {
  for (const TCommand& command : Commands())
    if (name == command.Name) return &command;
  return nullptr;
}

// Makes --codepage the code page of the run; EUsage for a code page without a converter.
void UseCodePage(const std::optional<QByteArray>& value) {
  if (value) {
    bool number = false;
    const int codePage = value->toInt(&number);
    if (!number || codePage <= 0)
      throw EUsage("--codepage needs a code page number, not '" +
                   ArgumentText(*value).toStdString() + "'");
    ::setenv("MELOTAG_CODEPAGE", QByteArray::number(codePage).constData(), 1);
  }
  try {
    CheckCodePage();
  } catch (const Exception& e) {
    throw EUsage(e.what());
  }
}

}  // namespace

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"show",
       "show [--v1|--v2] [--json] [OPTION]... FILE...",
       "print both tags of each file: every field, tag version and size",
       "Prints the ID3v1 and the ID3v2 tag of each FILE: the tag version and size, then title, "
       "artist, album, album artist, year, track, disc, genre, composer, comment and lyrics "
       "(those the tag holds), decoded through the code page.\n\n"
       "With --json each file is one line holding a JSON object: \"file\", then \"v1\" and \"v2\" "
       "with \"exists\", \"version\", \"size\" and the fields; \"hex\" holds the bytes of each "
       "text field that are not ASCII, and \"file_hex\" those of a file name that is not UTF-8. "
       "A file that cannot be read gives \"error\".\n\n"
       "Compressed frames that would inflate to more than 16 MiB, or past 64 MiB for the tag, are "
       "not inflated: they are listed as too large (\"too_large\" in JSON), said once on stderr, "
       "and kept as they are by every write. When the output is a terminal, control characters "
       "of names and texts show as \\xNN.",
       {kV1, kV2, {"--json", 0, nullptr, "one JSON object a line"}},
       true,
       RunShow},
      {"set",
       "set [--v1|--v2|--both] [--title T] [--artist A] [--album L] [--album-artist A] "
       "[--year Y] [--track N[/M]|--track-auto] [--disc N[/M]] [--genre G] [--composer C] "
       "[--comment C] [--lyrics TEXT|--lyrics-file FILE] [OPTION]... FILE...",
       "write the given fields into every file; the others keep their values",
       "Writes the given fields into the tags of every FILE, as Melotag's batch page does: a "
       "field not given keeps each file's old value, an empty value empties the field. In an "
       "ID3v2 tag only the given fields' frames change; every other frame stays as it was. In an "
       "ID3v1 tag only the given fields change (it has places for the title, artist, album, "
       "year, track from 1 to 255, genre of its list and comment; a new one takes the given "
       "fields alone). ID3v1 texts are cut at the last whole character that fits. A value a tag "
       "cannot hold (a track \"x\" or \"3/0\") is refused before any file is written. With "
       "--exact the seven fields of the exact write alone can be given.",
       SetOptions(), true, RunSet},
      {"remove",
       "remove [--v1|--v2|--both] [OPTION]... FILE...",
       "remove the tags of every file",
       "Removes the ID3v1 trailer, the ID3v2 tag, or both, from every FILE.",
       {kV1, kV2, kBoth, kExact, kReplaceDamaged},
       true,
       RunRemove},
      {"titles",
       "titles --from-names [OPTION]... FILE...",
       "print the title lines the file names give",
       "Prints one title line for each FILE whose name holds \".mp3\": the name before it, as "
       "Melotag's title list makes it from the file list. The lines are code-page text (a name "
       "the code page cannot hold keeps its bytes), so that rename --titles gives every unchanged "
       "line's file its exact old name.",
       {{"--from-names", 0, nullptr, "the titles of the file names"}},
       true,
       RunTitles},
      {"rename",
       "rename --titles LIST.txt|--pattern P [--dry-run] [OPTION]... FILE...",
       "rename the files after the lines of a title list",
       "Renames the FILEs after the lines of LIST.txt, a text in the code page: file i gets line "
       "i + \".mp3\" in its own folder, as Melotag's renaming does. An empty line leaves its file "
       "alone; a line that names no file (holds \"/\", is \".\" or \"..\") fails for its file; "
       "an existing file is never replaced. The list must have as many lines as there are files.",
       {{"--titles", 0, "LIST.txt", "the title list"},
        {"--pattern", 0, "P",
         "name each file by a pattern of its tags' fields instead: %title%, %artist%, %album%, "
         "%year%, %track% (two digits at least), %genre%, %comment% and literal text; a file "
         "whose tags lack a field of the pattern keeps its name and fails"},
        kDryRun},
       true,
       RunRename},
      {"tags-from-names",
       "tags-from-names --pattern P [--v1|--v2|--both] [--dry-run] [OPTION]... FILE...",
       "fill the tags from the file names by a pattern",
       "Reads the fields of the pattern P out of each FILE's name (without \".mp3\") and writes "
       "them into its tags; the other fields keep their values, an ID3v2 tag keeps its other "
       "frames. P holds literal text and the fields %title%, %artist%, %album%, %year%, %track%, "
       "%genre%, %comment%; where a separator also occurs inside a field, the earlier field takes "
       "the shorter text. A name that does not match fails and its file stays as it was.",
       {{"--pattern", 0, "P", "the pattern of the names"},
        kV1,
        kV2,
        kBoth,
        kDryRun,
        kReplaceDamaged},
       true,
       RunTagsFromNames},
      {"cover",
       "cover [--set IMAGE|--extract DIR|--remove] [OPTION]... FILE...",
       "show, set, extract or remove the cover pictures",
       "Without an action, prints each FILE's pictures (type, MIME type, bytes, width x height). "
       "--set makes IMAGE (a JPEG or PNG of at most 20 MiB, told by its content) the front cover "
       "of every FILE, --extract writes each FILE's front cover (else its first picture) into DIR "
       "as the file's name with .jpg or .png, never over an existing file, --remove removes every "
       "picture. "
       "Every other frame stays as it was.",
       {{"--set", 0, "IMAGE", "the image that becomes the front cover"},
        {"--extract", 0, "DIR", "the folder the pictures go to"},
        {"--remove", 0, nullptr, "remove every picture"},
        kReplaceDamaged},
       true,
       RunCover},
      {"playlist",
       "playlist [OPTION]... OUT.m3u FILE...",
       "write an M3U play list of the files",
       "Writes OUT.m3u, one line per FILE in order, each ended by CR LF: the exact bytes of the "
       "file's name when it is in the play list's folder, of its absolute path otherwise. An "
       "existing OUT.m3u is replaced whole; an OUT.m3u that is a link is refused, never written "
       "through. A FILE whose name holds a line break (CR or LF) is left out and named.",
       {},
       true,
       RunPlayList},
      {"convert",
       "convert --big5-to-gbk|--gbk-to-big5 [OPTION]... [FILE]",
       "convert a text between Big5 and GBK",
       "Converts the text of FILE (standard input without one, or for \"-\") line by line and "
       "writes it to standard output, as Melotag's title list converts its lines: under code "
       "page 950 or 936 the bytes are converted code by code; under any other code page each "
       "character the table knows becomes its partner.",
       {{"--big5-to-gbk", 0, nullptr, "Big5 (traditional) to GBK (simplified)"},
        {"--gbk-to-big5", 0, nullptr, "GBK (simplified) to Big5 (traditional)"}},
       false,
       RunConvert},
      {"repair-tags",
       "repair-tags [--codepage N|guess] [--dry-run] [OPTION]... FILE...",
       "write the legacy code-page texts of the tags as Unicode",
       "Reads the ID3v2 texts of each FILE stored as code-page bytes (and the ID3v1 values the "
       "ID3v2 tag lacks) through code page N, or through the code page guessed for each file from "
       "its texts, and writes the ID3v2 tag with them as UTF-16, every other frame kept; the "
       "ID3v1 tag is left as it is. A text the code page cannot read stays as it is. Code pages: "
       "950, 936, 932, 949, 1250 to 1258.\n\nWith --dry-run each text is printed instead, a line "
       "each: the file, the field, the code page and the text.",
       {{"--codepage", 0, "N|guess", "the code page the texts were written in (default: guess)"},
        kDryRun,
        kReplaceDamaged},
       true,
       RunRepairTags},
      {"repair-names",
       "repair-names [--codepage N|guess] [--folders] [--dry-run] [OPTION]... FILE...",
       "rename files whose names are in a legacy code page to their UTF-8 names",
       "Renames each FILE whose name is not UTF-8 to its name read through code page N (or the "
       "code page guessed from the name and the file's tags) and written as UTF-8, in the same "
       "folder; an existing file is never replaced. With --folders the folders the files are in "
       "are repaired too.\n\nWith --dry-run each rename is printed instead, a line each: the "
       "path, the code page and the new name.",
       {{"--codepage", 0, "N|guess", "the code page the names were written in (default: guess)"},
        {"--folders", 0, nullptr, "also the names of the folders the files are in"},
        kDryRun},
       true,
       RunRepairNames},
  };
  return commands;
}

namespace {

// A crash journal left alone, and a wait for another program's lock, are said on stderr.
void ListenToTheTagFiles() {
  const auto name = [](const std::string& path) {
    return editor::NameCaption(QByteArray::fromStdString(path));
  };
  melotag::tags::SetJournalNotice([name](const std::string& journal, const std::string& reason) {
    Say(QStringLiteral("a crash journal could not be applied: ") + name(journal) + " (" +
        QString::fromStdString(reason) + ")");
  });
  melotag::tags::SetLockWaitObserver([name](const std::string& path, int holder, int waitedMs) {
    if (waitedMs >= 200) return;  // once a wait
    Say(name(path) + ": waiting for the lock another program holds" +
        (holder > 0 ? " (process " + QString::number(holder) + ")" : QString()));
  });
}

}  // namespace

int Main(const QList<QByteArray>& arguments) {
  try {
    // The tool's options and the shared ones may come before the command.
    qsizetype at = 1;
    for (; at < arguments.size(); ++at) {
      const QByteArray& argument = arguments[at];
      if (argument == "--help" || argument == "-h") {
        Print(stdout, ToolHelp());
        return kExitOk;
      }
      if (argument == "--version") {
        std::printf("%s %s\n", kProgram, MELOTAG_VERSION);
        return kExitOk;
      }
      if (!argument.startsWith('-')) break;
      if (argument == "--codepage") ++at;  // its value
    }
    if (at >= arguments.size()) throw EUsage("no COMMAND given");
    const TCommand* command = FindCommand(arguments[at]);
    if (!command)
      throw EUsage("unknown command '" + ArgumentText(arguments[at]).toStdString() + "'");
    QList<QByteArray> rest = arguments.mid(1);
    rest.removeAt(at - 1);
    TArguments args(rest, OptionsOf(*command));
    if (args.Has("--help")) {
      Print(stdout, CommandHelp(*command));
      return kExitOk;
    }
    // A repair's --codepage names the legacy code page it reads; the run keeps the system's.
    const bool repair = QByteArray(command->Name).startsWith("repair-");
    UseCodePage(repair ? std::nullopt : args.Value("--codepage"));
    // Damaged tags are replaced only when asked.
    std::optional<melotag::tags::TReplaceDamagedTags> replaceDamaged;
    if (args.Has("--replace-damaged")) replaceDamaged.emplace();
    TContext context(std::move(args));
    ListenToTheTagFiles();
    return command->Run(context);
  } catch (const EUsage& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, e.what(),
                 kProgram);
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    // Out of memory outside the work on one file (which names its file): said, never an abort.
    std::fprintf(stderr, "%s: out of memory\n", kProgram);
    return kExitFailed;
  } catch (const std::length_error&) {
    std::fprintf(stderr, "%s: out of memory\n", kProgram);
    return kExitFailed;
  }
}

}  // namespace melotag::cli
