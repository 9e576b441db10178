// Files of this process (and of the programs it starts) may not grow past a size, as on a full
// disk: writes past it fail with EFBIG instead of raising SIGXFSZ. The old limit comes back at the
// end of the scope.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(uint64_t bytes) : FHandler(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    FSet = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  // False when the limit could not be set.
  bool IsSet() const { return FSet; }

 private:
  rlimit FOld{};
  bool FSet = false;
  void (*FHandler)(int);
};
