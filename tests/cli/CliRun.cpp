#include "CliRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

QByteArray CliPath() {
  return MELOTAG_CLI;
}

namespace {

// The program and its arguments as execv takes them (views of the byte arrays, which outlive it).
std::vector<char*> Argv(const QByteArray& program, const QList<QByteArray>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.constData())};
  for (const QByteArray& argument : arguments)
    argv.push_back(const_cast<char*>(argument.constData()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

TCliResult RunCli(const QList<QByteArray>& arguments, const char* codePage, const QByteArray& input,
                  const QByteArray& folder) {
  TCliResult result;
  // A program that ends before it read its input must not end the test.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    return result;
  const QByteArray program = CliPath();
  std::vector<char*> argv = Argv(program, arguments);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (codePage)
      ::setenv("MELOTAG_CODEPAGE", codePage, 1);
    else
      ::unsetenv("MELOTAG_CODEPAGE");
    if (!folder.isEmpty() && ::chdir(folder.constData()) != 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  // Feed stdin and drain both outputs together, so that no pipe fills up and blocks the other.
  qsizetype written = 0;
  if (input.isEmpty()) ::close(in[1]);
  bool inOpen = !input.isEmpty(), outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inOpen ? in[1] : -1, POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0) break;
    char buffer[65536];
    for (int k = 0; k < 2; ++k) {
      if (!fds[k].revents) continue;
      const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
      if (n > 0) {
        (k == 0 ? result.Out : result.Err).append(buffer, n);
      } else {
        (k == 0 ? outOpen : errOpen) = false;
        ::close(fds[k].fd);
        (k == 0 ? out[0] : err[0]) = -1;
      }
    }
    if (inOpen && fds[2].revents) {
      const ssize_t n = ::write(in[1], input.constData() + written, size_t(input.size() - written));
      if (n > 0) written += n;
      if (n <= 0 || written == input.size()) {
        ::close(in[1]);
        inOpen = false;
      }
    }
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.PeakKb = usage.ru_maxrss;
  return result;
}

TCliResult RunCliOnTerminal(const QList<QByteArray>& arguments, const char* codePage) {
  TCliResult result;
  int master = -1, slave = -1;
  termios raw{};
  ::cfmakeraw(&raw);
  if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return result;
  const QByteArray program = CliPath();
  std::vector<char*> argv = Argv(program, arguments);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(slave, 1);
    ::dup2(slave, 2);
    ::close(master);
    ::setenv("MELOTAG_CODEPAGE", codePage, 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(slave);
  // Read until the terminal's last writer is gone (EIO).
  char buffer[65536];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    result.Out.append(buffer, n);
  }
  ::close(master);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
