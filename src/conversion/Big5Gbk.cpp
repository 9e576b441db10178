#include "Big5Gbk.h"

#include "CodeTables.h"

namespace {

std::string CodeBytes(const TCodeIndex& index, int code) {
  int partner = code >= 0 && code <= 0xFFFF ? index[code] : code;
  return {static_cast<char>((partner >> 8) & 0xFF), static_cast<char>(partner & 0xFF)};
}

std::string Convert(const std::string& text, const TCodeIndex& index) {
  // A pair gives two bytes and a single byte one, so the result is never longer than the text.
  std::string out(text.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = in + text.size();
  auto* to = reinterpret_cast<unsigned char*>(out.data());
  while (in != end) {
    unsigned char b = *in++;
    if (b < 0x80) {
      *to++ = b;
    } else if (in != end) {
      std::uint16_t partner = index[b << 8 | *in++];
      *to++ = static_cast<unsigned char>(partner >> 8);
      *to++ = static_cast<unsigned char>(partner);
    }
  }
  out.resize(to - reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

}  // namespace

std::string GbkToBig5Code(int code) {
  return CodeBytes(GbkBig5Index(), code);
}

std::string Big5ToGbkCode(int code) {
  return CodeBytes(Big5GbkIndex(), code);
}

std::string GbkToBig5(const std::string& text) {
  return Convert(text, GbkBig5Index());
}

std::string Big5ToGbk(const std::string& text) {
  return Convert(text, Big5GbkIndex());
}
