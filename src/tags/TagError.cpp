#include "TagError.h"

#include <cstring>

namespace tagfile {

namespace {

thread_local int tLastError = 0;

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
    default:
      break;
  }
  char buffer[256];
  // GNU strerror_r: thread-safe, returns the text (not always in buffer).
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace tagfile
