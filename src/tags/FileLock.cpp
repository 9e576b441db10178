#include "FileLock.h"

#include "TagError.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <thread>

namespace melotag::tags {

namespace {

std::atomic<long long> gLimitMs{10'000};
std::mutex gObserverGuard;
TLockWaitObserver gObserver;

void Tell(const std::string& path, int holder, int waitedMs) {
  TLockWaitObserver observer;
  {
    const std::lock_guard<std::mutex> lock(gObserverGuard);
    observer = gObserver;
  }
  if (observer) observer(path, holder, waitedMs);
}

}  // namespace

void SetLockWaitLimit(std::chrono::milliseconds limit) {
  gLimitMs = limit.count();
}

std::chrono::milliseconds LockWaitLimit() {
  return std::chrono::milliseconds(gLimitMs.load());
}

void SetLockWaitObserver(TLockWaitObserver observer) {
  const std::lock_guard<std::mutex> lock(gObserverGuard);
  gObserver = std::move(observer);
}

int LockHolder(dev_t device, ino_t inode) {
  // Lines such as "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234567 0 EOF"; a waiting lock's line
  // starts with "1: -> ".
  FILE* locks = std::fopen("/proc/locks", "re");
  if (locks == nullptr) return 0;
  char line[256];
  int holder = 0;
  while (holder == 0 && std::fgets(line, sizeof line, locks) != nullptr) {
    char kind[16], mode[16], access[16];
    int pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long long ino = 0;
    int id = 0;
    if (std::sscanf(line, "%d: %15s %15s %15s %d %x:%x:%llu", &id, kind, mode, access, &pid, &major,
                    &minor, &ino) == 8 &&
        makedev(major, minor) == device && ino == static_cast<unsigned long long>(inode))
      holder = pid;
  }
  std::fclose(locks);
  return holder;
}

int LockWithin(int fd, const std::string& path) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto pause = std::chrono::milliseconds(1);
  auto told = start;
  bool first = true;
  int holder = -1;  // not looked up yet
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return errno;
    const auto now = Clock::now();
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - start);
    if (holder < 0) {
      struct stat st {};
      holder = fstat(fd, &st) == 0 ? LockHolder(st.st_dev, st.st_ino) : 0;
    }
    if (waited >= LockWaitLimit()) {
      FailedLocked(holder);
      return kFileLocked;
    }
    if (first || now - told >= std::chrono::milliseconds(200)) {
      first = false;
      Tell(path, holder, static_cast<int>(waited.count()));
      told = now;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

}  // namespace melotag::tags
