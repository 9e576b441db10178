// Why a file operation of the tag classes failed. Their results stay booleans; the system's reason
// for the latest failure on a thread is noted where it happens and read by the caller after a
// false result.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace melotag::tags {

// Reasons of the tag classes' own, beside the errno values.
inline constexpr int kNotRegularFile = -1;     // a folder, a device, a pipe ...
inline constexpr int kFileTooShort = -2;       // the file ends before what has to be read
inline constexpr int kTagTooLarge = -3;        // more than a tag can hold
inline constexpr int kFileKeepsChanging = -4;  // replaced by other writers again and again
inline constexpr int kFileLocked = -5;         // another program held its lock past the wait
inline constexpr int kTagDamaged = -6;         // the tag cannot be read whole (FailedDamaged)
inline constexpr int kFileEmpty = -7;          // a file of 0 bytes

// The reason (an errno value) noted for the latest failure on this thread; 0 when none was noted
// since ClearError.
int LastError();
void ClearError();
// Notes `error` (errno when left out) as this thread's latest failure and returns false, so that a
// failing path ends with `return Failed();`.
bool Failed(int error = errno);
// Notes the reason of the exception being handled (call it in a catch block) and returns false:
// out of memory (ENOMEM), a size beyond what a string can hold (kTagTooLarge), a system error's
// own code, EIO for any other.
bool FailedByException() noexcept;
// Notes kFileLocked, with the process that holds the lock (0 when the system does not tell).
bool FailedLocked(int holder);
// Notes kTagDamaged, with the reason in words ("the ID3v2 tag claims 120,000 bytes, the file holds
// 80,000"), which ErrorText gives for it.
bool FailedDamaged(std::string reason);
// A number in a reason's words: 120000 as "120,000".
std::string GroupedNumber(uint64_t value);
// The system's words for a reason ("No space left on device"); "unknown reason" for 0.
std::string ErrorText(int error);

}  // namespace melotag::tags
