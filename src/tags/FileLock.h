// The writers' lock of a file, taken with a bound: a program that holds it for ever (any program
// that can read a file can lock it) makes a write fail instead of wait without end.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <sys/types.h>

namespace melotag::tags {

// How long a writer (or the mending of a crash journal) waits for a file's lock before it fails
// with kFileLocked; 10 s unless set.
void SetLockWaitLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds LockWaitLimit();

// Told while a writer waits for a lock: the file, the process that holds it (0 when the system
// does not tell), how long it has waited; first at once, then about every 200 ms. Called on the
// waiting thread.
using TLockWaitObserver = std::function<void(const std::string& path, int holder, int waitedMs)>;
void SetLockWaitObserver(TLockWaitObserver observer);

// The process that holds a lock on the file (device, inode) as the system lists it
// (/proc/locks); 0 when none is listed or the list cannot be read.
int LockHolder(dev_t device, ino_t inode);

// Takes the exclusive lock of the open file `fd` (`path` names it for the observer), waiting at
// most LockWaitLimit(). 0 when it is held; else the reason: kFileLocked (noted with its holder,
// see FailedLocked) or the errno of flock (EOPNOTSUPP, ENOLCK ... where the file system has no
// locks; not noted).
int LockWithin(int fd, const std::string& path);

}  // namespace melotag::tags
