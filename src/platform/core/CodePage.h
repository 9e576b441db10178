// The crossing between code-page bytes and QString. Tag texts, title lines and language-file
// values are bytes in the system code page; every conversion to or from Qt goes through here.
//
// Decoding never fails: a byte that does not decode travels as the escape character
// U+DC80 + byte and is encoded back to that byte, so a text the user did not change is written
// back byte for byte. A character the code page cannot encode becomes "?".
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The system code page: MELOTAG_CODEPAGE (a Windows code page number) if set, otherwise the
// ANSI code page of the locale's language (LC_ALL, LC_CTYPE, LANG in that order).
int GetACP();
// The ANSI code page Windows uses for a locale name such as "zh_TW.UTF-8" or "C".
int CodePageOfLocale(std::string_view locale);

// Lead byte of a double-byte character in the current code page (932, 936, 949, 950 only).
bool IsDBCSLeadByte(unsigned char b);
bool IsDBCSLeadByteEx(int codePage, unsigned char b);

// Converts between one code page and QString. Built once per code page: the tables are made
// with glibc's iconv at construction, conversions then only look bytes up.
class TCodePageCodec {
 public:
  // Throws Exception when the system has no converter for the code page.
  explicit TCodePageCodec(int codePage);

  int CodePage() const { return FCodePage; }
  QString Decode(std::string_view bytes) const;
  std::string Encode(const QString& text) const;

 private:
  static constexpr char16_t kNone = 0xFFFF;  // no character for this byte (sequence)
  static constexpr uint16_t kUnmapped = 0xFFFF;

  void BuildTables(const char* iconvName);
  void EncodeFallback(char32_t c, std::string& out) const;

  int FCodePage;
  bool FUtf8 = false;
  bool FDoubleByte = false;
  std::string FIconvName;
  std::array<char16_t, 256> FSingle{};  // byte -> character or kNone
  std::vector<char16_t> FDouble;        // (lead - 0x80) * 256 + trail
  std::vector<uint16_t> FEncode;        // character -> byte, lead<<8|trail
  // What EncodeFallback made of each character it was asked (opening a converter costs more
  // than most texts).
  mutable std::mutex FFallbackLock;
  mutable std::map<char32_t, std::string> FFallbacks;
};

// The codec of the current code page (GetACP()); made at the first use and again whenever the
// code page changes. Throws Exception when there is no converter.
const TCodePageCodec& CurrentCodec();
// Decode code-page bytes / encode to code-page bytes with the current codec.
QString DecodeText(std::string_view bytes);
std::string EncodeText(const QString& text);
// Locale-aware, case-sensitive comparison of two code-page texts (decoded first): <0, 0, >0.
int lstrcmpA(std::string_view a, std::string_view b);
// File names are bytes, and these two functions are the only crossing between a file name and
// its text (the caption a list shows, the title line a name becomes and comes from).
//
// The text of a name: the name decoded as UTF-8 when it is well-formed UTF-8 (no overlong forms,
// surrogates or code points past U+10FFFF), otherwise decoded with the current codec, escapes
// included. So a Big5 name reads as Chinese under code page 950. A path is read part by part
// (each folder and the name on its own), so a UTF-8 name in a Big5 folder reads right too.
QString DecodeFileName(std::string_view name);
// The name bytes of a text. A text that holds escapes came from a name that is not UTF-8: it is
// encoded with the current codec, every escape back to its byte (a character the code page cannot
// encode, such as one the user added, is written as UTF-8 rather than lost). Any other text is
// written as UTF-8, the file-name encoding of the system.
// So EncodeFileName(DecodeFileName(b)) == b for every UTF-8 name and every name whose text holds
// escapes. A text without escapes that decodes from a code-page name (Big5 bytes under 950 that
// all decode) also decodes from its UTF-8 bytes; it is taken as UTF-8, the way text the user
// typed is: where the former name is known, keep its bytes when its text did not change.
std::string EncodeFileName(const QString& text);
// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF): the names DecodeFileName reads as UTF-8.
bool IsUtf8(std::string_view bytes);

// Makes sure the current code page can be converted; call once at start. Throws Exception.
void CheckCodePage();
