// The format function: fills a format string of code-page bytes with an ordered list of values.
//
// Placeholders: "%" [index ":"] ["-"] [width] ["." precision] type, with width and precision
// digits or "*" (taken from the next, integer, argument) and the types
//   d  integer, precision = at least that many digits       u  integer as unsigned
//   x  integer in upper-case hexadecimal                     s  string, precision = at most
//   f  fixed, precision = decimals (default 2)               n  as f, with thousands separators
//   e  scientific, precision = significant digits (15)       g  shortest of f and e (15 digits)
// The type letter may be written in either case; "%%" writes "%". Arguments beyond the
// placeholders are ignored. A missing argument, an argument of the wrong kind (d, u, x want an
// integer; e, f, g, n a floating-point number; s a string) or an unknown type raises EFormatError.
// The floating-point types use the locale's decimal point, "n" also its group separator.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "Exception.h"

using TVarRec = std::variant<std::string, long long, double>;

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args);
