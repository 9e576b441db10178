// Another user on this machine, for the attacker's part of a test: the suite runs as root (here
// and in CI) and runs that part in a child process as the user nobody; elsewhere such a test
// skips. Children use system calls only (they are forked from a process with threads).
#pragma once

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

// Why a test of another user cannot run here; empty when it can.
inline std::string NobodyUnavailable() {
  if (::geteuid() != 0) return "acting as another user needs root (the suite runs as root in CI)";
  if (!::getpwnam("nobody")) return "this machine has no user nobody";
  return {};
}

inline uid_t NobodyUid() {
  const passwd* nobody = ::getpwnam("nobody");
  return nobody ? nobody->pw_uid : uid_t(-1);
}

// Starts `work` in a child process as nobody; its process id. The child ends with work's result.
template <class F>
pid_t StartAsNobody(F work) {
  const passwd* nobody = ::getpwnam("nobody");
  if (!nobody) return -1;
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(255);
    ::_exit(work());
  }
  return pid;
}

// The child's result; -1 while it runs (`wait` false) or when it did not end normally.
inline int ChildResult(pid_t pid, bool wait = true) {
  int status = 0;
  const pid_t done = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
  if (done != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `work` as nobody and waits for its result.
template <class F>
int AsNobody(F work) {
  const pid_t pid = StartAsNobody(work);
  return pid < 0 ? -1 : ChildResult(pid);
}

// Milliseconds of the monotonic clock.
inline long long NowMs() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// A process of nobody that poses as the running instance in each of `folders`: it holds the lock
// file NAME.lock (flock) and listens on NAME.socket (open to everybody), answers each connection's
// end record with the byte 1, and keeps every byte it received until Received().
class TNobodyServer {
 public:
  explicit TNobodyServer(const QList<QByteArray>& folders, const QByteArray& name = "Melotag") {
    QList<QByteArray> locks, sockets;
    for (const QByteArray& folder : folders) {
      locks << folder + '/' + name + ".lock";
      sockets << folder + '/' + name + ".socket";
    }
    int control[2], result[2];
    if (::pipe(control) != 0 || ::pipe(result) != 0) return;
    FPid = StartAsNobody([&] {
      ::close(control[1]);
      ::close(result[0]);
      return Serve(locks, sockets, control[0], result[1]);
    });
    ::close(control[0]);
    ::close(result[1]);
    FControl = control[1];
    FResult = result[0];
    char ready = 0;
    FReady = ::read(FResult, &ready, 1) == 1 && ready == 'R';
  }
  ~TNobodyServer() { Received(); }
  TNobodyServer(const TNobodyServer&) = delete;
  TNobodyServer& operator=(const TNobodyServer&) = delete;

  // The process holds every lock and listens on every socket.
  bool IsReady() const { return FReady; }

  // Ends the process; everything any connection sent it.
  QByteArray Received() {
    if (FPid <= 0) return FReceived;
    ::close(FControl);
    char buffer[4096];
    for (ssize_t n; (n = ::read(FResult, buffer, sizeof buffer)) > 0;) FReceived.append(buffer, n);
    ::close(FResult);
    ChildResult(FPid);
    FPid = -1;
    return FReceived;
  }

 private:
  static constexpr int kMaxFolders = 8;

  // The child: system calls only. Ends when the control pipe closes (or after a minute).
  static int Serve(const QList<QByteArray>& locks, const QList<QByteArray>& sockets, int control,
                   int result) {
    pollfd polls[1 + kMaxFolders * 2] = {};
    int count = 0;
    polls[count++] = {control, POLLIN, 0};
    for (qsizetype i = 0; i < locks.size() && i < kMaxFolders; ++i) {
      const int lock = ::open(locks[i].constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) return 1;
      ::fchmod(lock, 0666);
      const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, sockets[i].constData(), sizeof address.sun_path - 1);
      ::unlink(address.sun_path);
      if (server < 0 ||
          ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          ::chmod(address.sun_path, 0777) != 0 || ::listen(server, 8) != 0)
        return 1;
      polls[count++] = {server, POLLIN, 0};
    }
    if (::write(result, "R", 1) != 1) return 1;
    const int servers = count;
    const long long end = NowMs() + 60000;
    char buffer[4096];
    while (NowMs() < end) {
      if (::poll(polls, nfds_t(count), 100) < 0) continue;
      if (polls[0].revents) break;
      for (int i = 1; i < count; ++i) {
        if (!(polls[i].revents & (POLLIN | POLLHUP))) continue;
        if (i < servers) {
          const int connection = ::accept4(polls[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
          if (connection >= 0 && count < int(sizeof polls / sizeof *polls))
            polls[count++] = {connection, POLLIN, 0};
          continue;
        }
        const ssize_t n = ::read(polls[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          if (::write(result, buffer, size_t(n)) != n) return 1;
          // The end record (four zero bytes) asks for the reply.
          if (n >= 4 && std::memcmp(buffer + n - 4, "\0\0\0\0", 4) == 0)
            (void)!::write(polls[i].fd, "\1", 1);
        } else {
          ::close(polls[i].fd);
          polls[i--] = polls[--count];
        }
      }
    }
    return 0;
  }

  pid_t FPid = -1;
  int FControl = -1;
  int FResult = -1;
  bool FReady = false;
  QByteArray FReceived;
};
