// Runs the built melotag-cli as a process: its arguments as exact bytes (names need not be UTF-8),
// a code page in its environment, what it reads on stdin; answers its exit status and output.
#pragma once

#include <QByteArray>
#include <QList>

struct TCliResult {
  int Status = -1;  // the exit status; -1 when it did not exit normally
  QByteArray Out;
  QByteArray Err;
  long PeakKb = 0;  // the most memory it held (its peak resident set)
};

// `codePage` becomes MELOTAG_CODEPAGE (nullptr: unset, the locale decides); `folder` is the
// working folder (empty: the test's).
TCliResult RunCli(const QList<QByteArray>& arguments, const char* codePage = "1252",
                  const QByteArray& input = {}, const QByteArray& folder = {});
// The same with its standard output on a terminal (a pseudo-terminal in raw mode: what it writes
// arrives as it was written); Err stays empty, stderr going to the terminal too.
TCliResult RunCliOnTerminal(const QList<QByteArray>& arguments, const char* codePage = "1252");
// The program's path.
QByteArray CliPath();
