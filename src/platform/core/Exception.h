// The project's exception classes. `Exception` is the general exception class: every error the
// program raises derives from it, so a handler can show any of them by its message.
#pragma once

#include <stdexcept>
#include <string>

// The general exception class. The message is bytes in the system code page.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that does not hold the number it should (an integer too long, no digit at all).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A format string whose placeholders do not fit its arguments.
class EFormatError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be opened: "Cannot open file "%s". %s" (path, the system's reason).
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};
