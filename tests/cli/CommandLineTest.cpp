// The command line itself: the help of the tool and of each command, the manual page made from
// it, the bash completion, the code page of a run and the usage errors.
#include <gtest/gtest.h>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CliRun.h"
#include "EnvScope.h"
#include "TagTestSupport.h"

namespace {

const char* const kCommands[] = {"show",     "set",     "remove",      "titles",      "rename",
                                 "playlist", "convert", "repair-tags", "repair-names"};
const char* const kSharedOptions[] = {"--codepage", "--read-unicode", "--write-unicode",
                                      "--keep-frames", "--help"};

TEST(CliCommandLine, HelpNamesEveryCommandAndEachCommandItsOptions) {
  for (const char* help : {"--help", "-h"}) {
    const TCliResult tool = RunCli({help});
    EXPECT_EQ(tool.Status, 0);
    EXPECT_TRUE(tool.Out.startsWith("Usage: melotag-cli COMMAND"));
    for (const char* command : kCommands)
      EXPECT_TRUE(tool.Out.contains(QByteArray("\n  ") + command + ' ')) << command;
    EXPECT_TRUE(tool.Out.contains("Exit status:"));
  }
  struct TCase {
    const char* Command;
    QList<QByteArray> Options;
  } cases[] = {
      {"show", {"--v1", "--v2", "--json", "--recursive"}},
      {"set",
       {"--v1", "--v2", "--both", "--title", "--artist", "--album", "--year", "--track",
        "--track-auto", "--genre", "--comment", "--recursive"}},
      {"remove", {"--v1", "--v2", "--both", "--recursive"}},
      {"titles", {"--from-names", "--recursive"}},
      {"rename", {"--titles", "--dry-run", "--recursive"}},
      {"playlist", {"--recursive"}},
      {"convert", {"--big5-to-gbk", "--gbk-to-big5"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Command);
    // The help wins over anything else on the line, even a missing FILE.
    const TCliResult run = RunCli({c.Command, "--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_TRUE(run.Out.startsWith(QByteArray("Usage: melotag-cli ") + c.Command));
    for (const QByteArray& option : c.Options)
      EXPECT_TRUE(run.Out.contains(" " + option + " ")) << option.constData();
    for (const char* option : kSharedOptions) EXPECT_TRUE(run.Out.contains(option)) << option;
    EXPECT_EQ(run.Out.contains("--recursive"), c.Options.contains("--recursive"));
  }
  const TCliResult version = RunCli({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_TRUE(version.Out.startsWith("melotag-cli "));
}

TEST(CliCommandLine, ManualPageAndCompletionFollowTheHelp) {
  // The page's text, its escaped hyphens ("\\-") read as hyphens.
  const QByteArray page = ReadFile(MELOTAG_CLI_MAN).replace("\\-", "-");
  EXPECT_TRUE(page.contains(".TH MELOTAG-CLI \"1\"")) << page.left(200).constData();
  for (const char* command : kCommands) EXPECT_TRUE(page.contains(command)) << command;
  EXPECT_TRUE(page.contains("codepage"));
  int status = 0;
  EXPECT_EQ(tagtest::RunCommand("man -l " + tagtest::Quote(MELOTAG_CLI_MAN) + " >/dev/null 2>&1",
                                &status),
            "");
  EXPECT_EQ(status, 0) << "man reads the page";

  // What bash completes after the words typed so far (the program found on the PATH).
  const QByteArray folder = CliPath().left(CliPath().lastIndexOf('/'));
  auto complete = [&](const std::string& words) {
    const std::string script =
        "source /usr/share/bash-completion/bash_completion; source " +
        tagtest::Quote(MELOTAG_CLI_COMPLETION) + "; PATH=" + tagtest::Quote(folder.toStdString()) +
        ":$PATH; COMP_LINE=" + tagtest::Quote(words) + "; COMP_WORDS=(" + words +
        "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_POINT=${#COMP_LINE}; "
        "_melotag_cli melotag-cli \"${COMP_WORDS[COMP_CWORD]}\" "
        "\"${COMP_WORDS[COMP_CWORD-1]}\"; printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
    int bashStatus = 0;
    const std::string out = tagtest::RunCommand(
        "ASAN_OPTIONS=detect_leaks=0 bash -c " + tagtest::Quote(script), &bashStatus);
    EXPECT_EQ(bashStatus, 0) << words;
    return out;
  };
  EXPECT_EQ(complete("melotag-cli s"), "set\nshow\n");
  EXPECT_EQ(complete("melotag-cli --codepage 950 re"),
            "remove\nrename\nrepair-names\nrepair-tags\n");
  EXPECT_EQ(complete("melotag-cli set --track"), "--track\n--track-auto\n");
  EXPECT_EQ(complete("melotag-cli convert --gb"), "--gbk-to-big5\n");
  EXPECT_EQ(complete("melotag-cli show --codepage 9"), "932\n936\n949\n950\n");
}

TEST(CliCommandLine, TheCodePageIsTheOptionsElseTheVariablesElseTheLocales) {
  TByteTempDir dir;
  WriteFile(dir.Path("晴天.mp3"));
  const QByteArray big5 = "\xB4\xB8\xA4\xD1\n", gbk = "\xC7\xE7\xCC\xEC\n";
  struct TCase {
    const char* Locale;
    const char* Variable;  // MELOTAG_CODEPAGE
    const char* Option;    // --codepage
    QByteArray Line;
  } cases[] = {
      {"zh_TW.UTF-8", nullptr, nullptr, big5},
      {"zh_CN.UTF-8", nullptr, nullptr, gbk},
      {"zh_TW.UTF-8", "936", nullptr, gbk},
      {"zh_TW.UTF-8", "936", "950", big5},
      {"C", nullptr, "936", gbk},
      {"C", nullptr, nullptr, "晴天\n"},  // 1252 lacks it
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Locale) + " " + (c.Variable ? c.Variable : "-") + " " +
                 (c.Option ? c.Option : "-"));
    const TEnvScope locale("LC_ALL", c.Locale);
    QList<QByteArray> args = {"titles", "--from-names", dir.Path("晴天.mp3")};
    if (c.Option) args += {"--codepage", c.Option};
    const TCliResult run = RunCli(args, c.Variable);
    EXPECT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(run.Out.toHex(), c.Line.toHex());
  }
}

TEST(CliCommandLine, UsageErrorsEndWithStatusTwoAndAHint) {
  const QList<QByteArray> cases[] = {
      {},
      {"frobnicate"},
      {"--codepage", "950"},
      {"show"},
      {"show", "--v1", "--v2", "x.mp3"},
      {"titles", "x.mp3"},
      {"rename", "--titles"},
      {"playlist", "only.m3u"},
      {"convert", "--big5-to-gbk", "a", "b"},
      {"--codepage", "0", "show", "x.mp3"},
  };
  for (const QList<QByteArray>& args : cases) {
    SCOPED_TRACE(args.join(' ').constData());
    const TCliResult run = RunCli(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.startsWith("melotag-cli: ")) << run.Err.constData();
    EXPECT_TRUE(run.Err.endsWith("Try 'melotag-cli --help' for more information.\n"));
    EXPECT_EQ(run.Out, "");
  }
}

}  // namespace
