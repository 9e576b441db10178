// Texts of the suites as QString and as the bytes a code page writes them in (the legacy bytes of
// old tags and file names).
#pragma once

#include <QString>

#include <string>

#include "CodePage.h"

inline QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

inline QString U(const char16_t* text) {
  return QString::fromUtf16(text);
}

inline std::string Cp(const QString& text, int codePage) {
  return TCodePageCodec(codePage).Encode(text);
}

inline std::string Cp(const char16_t* text, int codePage) {
  return Cp(U(text), codePage);
}
