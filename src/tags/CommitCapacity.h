// How many files a pass lets wait for one commit of its tagfile::TCommitGroup.
#pragma once

#include <cstddef>

namespace tagfile {

// All `files` of a pass, so that the disk is synced once, as far as the file descriptors allow
// (three a waiting file; the soft limit is raised to the hard one) and a memory bound (4096
// files, each keeping a 4 KiB block); at least 1.
size_t CommitCapacity(size_t files);

}  // namespace tagfile
