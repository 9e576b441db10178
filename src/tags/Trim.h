// How the tag classes keep texts.
#pragma once

#include <string>

namespace melotag::tags {

// Removes trailing bytes of value 0x20 or below.
std::string TrimRight(const std::string& text);
// Removes leading and trailing bytes of value 0x20 or below.
std::string Trim(const std::string& text);

}  // namespace melotag::tags
