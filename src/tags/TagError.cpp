#include "TagError.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

namespace melotag::tags {

namespace {

thread_local int tLastError = 0;
thread_local int tLockHolder = 0;
thread_local std::string tDamage;

}  // namespace

int LastError() {
  return tLastError;
}

void ClearError() {
  tLastError = 0;
}

bool Failed(int error) {
  tLastError = error;
  return false;
}

bool FailedLocked(int holder) {
  tLockHolder = holder;
  return Failed(kFileLocked);
}

bool FailedDamaged(std::string reason) {
  tDamage = std::move(reason);
  return Failed(kTagDamaged);
}

bool FailedByException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return Failed(ENOMEM);
  } catch (const std::length_error&) {
    return Failed(kTagTooLarge);
  } catch (const std::system_error& e) {
    return Failed(e.code().value() != 0 ? e.code().value() : EIO);
  } catch (...) {
    return Failed(EIO);
  }
}

std::string GroupedNumber(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return digits;
}

std::string ErrorText(int error) {
  switch (error) {
    case 0:
      return "unknown reason";
    case kNotRegularFile:
      return "not a regular file";
    case kFileTooShort:
      return "the file is shorter than its tag";
    case kTagTooLarge:
      return "the tag is too large";
    case kFileKeepsChanging:
      return "the file keeps being replaced by other programs";
    case kFileLocked:
      return tLockHolder > 0 ? "the file is locked by another program (process " +
                                   std::to_string(tLockHolder) + ")"
                             : "the file is locked by another program";
    case kTagDamaged:
      return tDamage.empty() ? "the ID3v2 tag is damaged" : tDamage;
    case kFileEmpty:
      return "the file is empty";
    default:
      break;
  }
  char buffer[256];
  // GNU strerror_r: thread-safe, returns the text (not always in buffer).
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace melotag::tags
