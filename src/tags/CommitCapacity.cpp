#include "CommitGroup.h"

#include <sys/resource.h>

#include <algorithm>

namespace melotag::tags {

size_t CommitCapacity(size_t files) {
  constexpr size_t kMostWaiting = 4096;  // each waiting file also keeps a 4 KiB block
  constexpr rlim_t kReserved = 64;       // descriptors for everything else
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return TCommitGroup::kPending;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  const size_t spare = limit.rlim_cur == RLIM_INFINITY ? kMostWaiting
                       : limit.rlim_cur > kReserved    ? size_t((limit.rlim_cur - kReserved) / 3)
                                                       : 1;
  return std::clamp<size_t>(files, 1, std::min(spare, kMostWaiting));
}

}  // namespace melotag::tags
