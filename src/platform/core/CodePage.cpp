#include "CodePage.h"

#include <QCollator>
#include <QLocale>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "Exception.h"

namespace {

bool OneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  for (std::string_view item : list)
    if (s == item) return true;
  return false;
}

// glibc names to try for a Windows code page, best first.
std::vector<std::string> IconvNames(int codePage) {
  switch (codePage) {
    case 932:
      return {"CP932", "WINDOWS-31J"};
    case 936:
      return {"CP936", "GBK"};
    case 949:
      return {"CP949", "UHC"};
    case 950:
      return {"CP950", "BIG5"};
    case 874:
      return {"CP874", "WINDOWS-874"};
    default:
      return {"CP" + std::to_string(codePage), "WINDOWS-" + std::to_string(codePage)};
  }
}

// One glibc converter; closed with its owner.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
  ~TIconv() {
    if (Valid()) iconv_close(FHandle);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;
  bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; false when any of it does not convert.
  bool Convert(const char* in, size_t inLen, char* out, size_t& outLen) {
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t left = outLen;
    if (iconv(FHandle, &src, &inLen, &dst, &left) == static_cast<size_t>(-1)) return false;
    if (inLen != 0) return false;
    if (iconv(FHandle, nullptr, nullptr, &dst, &left) == static_cast<size_t>(-1)) return false;
    outLen = outLen - left;
    return true;
  }

 private:
  iconv_t FHandle;
};

// Decodes one byte sequence to exactly one BMP character, or kNone.
char16_t DecodeOne(TIconv& cv, const char* bytes, size_t len) {
  char32_t out[4];
  size_t outLen = sizeof out;
  if (!cv.Convert(bytes, len, reinterpret_cast<char*>(out), outLen)) return 0xFFFF;
  if (outLen != sizeof(char32_t)) return 0xFFFF;
  char32_t c = out[0];
  if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFF) return 0xFFFF;
  return static_cast<char16_t>(c);
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsEscape(char16_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

// Decodes UTF-8; a byte that is not part of a well-formed sequence (overlong forms, surrogates
// and code points past U+10FFFF are not) travels as an escape. True when none was needed.
bool DecodeUtf8(std::string_view bytes, QString& out) {
  bool wellFormed = true;
  out.resize(static_cast<qsizetype>(bytes.size()));
  char16_t* dst = reinterpret_cast<char16_t*>(out.data());
  char16_t* const start = dst;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    unsigned char b = *p;
    if (b < 0x80) {
      *dst++ = b;
      ++p;
      continue;
    }
    int len = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, c = b & 0x07, min = 0x10000;
    }
    bool ok = len > 0 && end - p >= len;
    for (int i = 1; ok && i < len; ++i) {
      if ((p[i] & 0xC0) != 0x80) ok = false;
      c = c << 6 | (p[i] & 0x3F);
    }
    if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      wellFormed = false;
      *dst++ = static_cast<char16_t>(0xDC00 + b);
      ++p;
      continue;
    }
    if (c >= 0x10000) {
      *dst++ = QChar::highSurrogate(c);
      *dst++ = QChar::lowSurrogate(c);
    } else {
      *dst++ = static_cast<char16_t>(c);
    }
    p += len;
  }
  out.resize(dst - start);
  return wellFormed;
}

// Encodes as UTF-8; an escape goes back to its byte, a lone surrogate becomes "?".
void EncodeUtf8(const QString& text, std::string& out) {
  out.reserve(static_cast<size_t>(text.size()));
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = p + text.size();
  for (; p < end; ++p) {
    char16_t c = *p;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (IsEscape(c)) {
      out += static_cast<char>(c - 0xDC00);
    } else if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
      AppendUtf8(QChar::surrogateToUcs4(c, p[1]), out);
      ++p;
    } else if (QChar::isSurrogate(c)) {
      out += '?';
    } else {
      AppendUtf8(c, out);
    }
  }
}

}  // namespace

int CodePageOfLocale(std::string_view locale) {
  std::string_view lang = locale.substr(0, locale.find_first_of(".@"));
  std::string_view modifier;
  if (size_t at = locale.find('@'); at != std::string_view::npos) modifier = locale.substr(at + 1);
  std::string_view language = lang.substr(0, lang.find('_'));
  std::string_view territory;
  if (size_t us = lang.find('_'); us != std::string_view::npos) territory = lang.substr(us + 1);

  if (language == "zh")
    return OneOf(territory, {"TW", "HK", "MO"}) || modifier == "Hant" ? 950 : 936;
  if (language == "ja") return 932;
  if (language == "ko") return 949;
  if (language == "sr") return modifier == "latin" ? 1250 : 1251;
  if (OneOf(language,
            {"ru", "uk", "be", "bg", "mk", "kk", "ky", "tt", "mn", "tg", "ba", "cv", "os", "sah"}))
    return 1251;
  if (OneOf(language, {"pl", "cs", "sk", "hu", "sl", "hr", "ro", "sq", "bs", "hsb", "dsb"}))
    return 1250;
  if (language == "el") return 1253;
  if (OneOf(language, {"tr", "az"})) return 1254;
  if (OneOf(language, {"he", "yi"})) return 1255;
  if (OneOf(language, {"ar", "fa", "ur", "ps", "ug", "sd"})) return 1256;
  if (OneOf(language, {"lt", "lv", "et"})) return 1257;
  if (language == "vi") return 1258;
  if (language == "th") return 874;
  return 1252;
}

int GetACP() {
  if (const char* cp = std::getenv("MELOTAG_CODEPAGE"); cp && *cp) {
    char* end = nullptr;
    long n = std::strtol(cp, &end, 10);
    if (*end == '\0' && n > 0 && n < 100000) return static_cast<int>(n);
  }
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    if (const char* value = std::getenv(name); value && *value) return CodePageOfLocale(value);
  }
  return 1252;
}

bool IsDBCSLeadByteEx(int codePage, unsigned char b) {
  switch (codePage) {
    case 932:
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
      return b >= 0x81 && b <= 0xFE;
    default:
      return false;
  }
}

bool IsDBCSLeadByte(unsigned char b) {
  return IsDBCSLeadByteEx(GetACP(), b);
}

TCodePageCodec::TCodePageCodec(int codePage) : FCodePage(codePage) {
  if (codePage == 65001) {
    FUtf8 = true;
    return;
  }
  FDoubleByte = IsDBCSLeadByteEx(codePage, 0x81);
  for (const std::string& name : IconvNames(codePage)) {
    TIconv probe("UTF-32LE", name.c_str());
    if (probe.Valid()) {
      FIconvName = name;
      break;
    }
  }
  if (FIconvName.empty()) throw Exception("No converter for code page " + std::to_string(codePage));
  BuildTables(FIconvName.c_str());
}

void TCodePageCodec::BuildTables(const char* iconvName) {
  TIconv decoder("UTF-32LE", iconvName);
  TIconv encoder(iconvName, "UTF-32LE");

  for (int b = 0; b < 256; ++b) {
    char byte = static_cast<char>(b);
    FSingle[b] = kNone;
    if (FDoubleByte && IsDBCSLeadByteEx(FCodePage, b)) continue;
    FSingle[b] = DecodeOne(decoder, &byte, 1);
    if (FSingle[b] == kNone && b < 0x80) FSingle[b] = static_cast<char16_t>(b);
  }
  if (FDoubleByte) {
    FDouble.assign(0x80 * 256, kNone);
    for (int lead = 0x81; lead < 0x100; ++lead) {
      if (!IsDBCSLeadByteEx(FCodePage, lead)) continue;
      for (int trail = 0x40; trail < 0x100; ++trail) {
        char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        FDouble[(lead - 0x80) * 256 + trail] = DecodeOne(decoder, pair, 2);
      }
    }
  }

  // Each character encodes to one sequence: the first one found, or the one iconv chooses
  // when several decode to it.
  FEncode.assign(0x10000, kUnmapped);
  auto claim = [&](char16_t c, uint16_t code) {
    uint16_t& slot = FEncode[c];
    if (slot == kUnmapped) {
      slot = code;
      return;
    }
    char32_t in = c;
    char out[8];
    size_t len = sizeof out;
    if (!encoder.Valid() ||
        !encoder.Convert(reinterpret_cast<const char*>(&in), sizeof in, out, len))
      return;
    auto u = [&](int i) { return static_cast<uint16_t>(static_cast<unsigned char>(out[i])); };
    uint16_t canonical = len == 1 ? u(0) : len == 2 ? static_cast<uint16_t>(u(0) << 8 | u(1)) : 0;
    if (canonical == code) slot = code;
  };
  for (int b = 0; b < 256; ++b)
    if (FSingle[b] != kNone) claim(FSingle[b], static_cast<uint16_t>(b));
  for (size_t i = 0; i < FDouble.size(); ++i)
    if (FDouble[i] != kNone) claim(FDouble[i], static_cast<uint16_t>(0x8000 + i));

  // A sequence that would encode back to other bytes does not round-trip: it travels as escapes.
  for (int b = 0; b < 256; ++b)
    if (FSingle[b] != kNone && FEncode[FSingle[b]] != b) FSingle[b] = kNone;
  for (size_t i = 0; i < FDouble.size(); ++i)
    if (FDouble[i] != kNone && FEncode[FDouble[i]] != 0x8000 + i) FDouble[i] = kNone;
}

QString TCodePageCodec::Decode(std::string_view bytes) const {
  QString out;
  if (FUtf8) {
    DecodeUtf8(bytes, out);
    return out;
  }
  out.resize(static_cast<qsizetype>(bytes.size()));
  char16_t* dst = reinterpret_cast<char16_t*>(out.data());
  char16_t* const start = dst;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    unsigned char b = *p;
    if (FDoubleByte && b >= 0x80 && p + 1 < end && !FDouble.empty()) {
      char16_t c = FDouble[(b - 0x80) * 256 + p[1]];
      if (c != kNone) {
        *dst++ = c;
        p += 2;
        continue;
      }
    }
    char16_t c = FSingle[b];
    *dst++ = c != kNone ? c : static_cast<char16_t>(0xDC00 + b);
    ++p;
  }
  out.resize(dst - start);
  return out;
}

std::string TCodePageCodec::Encode(const QString& text) const {
  std::string out;
  if (FUtf8) {
    EncodeUtf8(text, out);
    return out;
  }
  out.reserve(static_cast<size_t>(text.size()) * (FDoubleByte ? 2 : 1));
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = p + text.size();
  for (; p < end; ++p) {
    char16_t c = *p;
    if (IsEscape(c)) {
      out += static_cast<char>(c - 0xDC00);
      continue;
    }
    uint16_t code = FEncode[c];
    if (code != kUnmapped) {
      if (code > 0xFF) out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
      continue;
    }
    char32_t full = c;
    if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
      full = QChar::surrogateToUcs4(c, p[1]);
      ++p;
    }
    EncodeFallback(full, out);
  }
  return out;
}

// A character outside the tables: what iconv makes of it (a decomposed letter, say), else "?".
void TCodePageCodec::EncodeFallback(char32_t c, std::string& out) const {
  if (c >= 0xD800 && c <= 0xDFFF) {
    out += '?';
    return;
  }
  std::lock_guard guard(FFallbackLock);
  auto known = FFallbacks.find(c);
  if (known == FFallbacks.end()) {
    TIconv encoder(FIconvName.c_str(), "UTF-32LE");
    char buffer[16];
    size_t len = sizeof buffer;
    const bool converted =
        encoder.Valid() &&
        encoder.Convert(reinterpret_cast<const char*>(&c), sizeof c, buffer, len) && len > 0;
    known = FFallbacks.emplace(c, converted ? std::string(buffer, len) : std::string("?")).first;
  }
  out += known->second;
}

const TCodePageCodec& CurrentCodec() {
  // Codecs are kept for the life of the process, so a reference stays valid when the code
  // page changes (in tests).
  static std::mutex lock;
  static std::map<int, std::unique_ptr<TCodePageCodec>> codecs;
  static const TCodePageCodec* last = nullptr;
  int cp = GetACP();
  std::lock_guard guard(lock);
  if (last && last->CodePage() == cp) return *last;
  auto& codec = codecs[cp];
  if (!codec) codec = std::make_unique<TCodePageCodec>(cp);
  last = codec.get();
  return *codec;
}

QString DecodeText(std::string_view bytes) {
  return CurrentCodec().Decode(bytes);
}

std::string EncodeText(const QString& text) {
  return CurrentCodec().Encode(text);
}

int lstrcmpA(std::string_view a, std::string_view b) {
  // One collator per thread for the current locale; the C locale, which would compare code
  // points, sorts as English does.
  thread_local std::unique_ptr<QCollator> collator;
  thread_local QString collatorLocale;
  QLocale locale;
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
  if (!collator || collatorLocale != locale.name()) {
    collator = std::make_unique<QCollator>(locale);
    collator->setCaseSensitivity(Qt::CaseSensitive);
    collatorLocale = locale.name();
  }
  const TCodePageCodec& codec = CurrentCodec();
  int r = collator->compare(codec.Decode(a), codec.Decode(b));
  if (r == 0 && a != b) r = a < b ? -1 : 1;  // equal only when the bytes are
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

QString DecodeFileName(std::string_view name) {
  QString text;
  if (DecodeUtf8(name, text)) return text;
  // A path part by part: a UTF-8 name in a folder named in the code page reads right. No
  // code page this program offers has "/" as the second byte of a character.
  text.clear();
  for (size_t start = 0;;) {
    const size_t slash = name.find('/', start);
    const std::string_view part =
        name.substr(start, slash == std::string_view::npos ? slash : slash - start);
    QString decoded;
    text += DecodeUtf8(part, decoded) ? decoded : DecodeText(part);
    if (slash == std::string_view::npos) return text;
    text += QLatin1Char('/');
    start = slash + 1;
  }
}

bool IsUtf8(std::string_view bytes) {
  QString text;
  return DecodeUtf8(bytes, text);
}

std::string EncodeFileName(const QString& text) {
  std::string out;
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = p + text.size();
  if (std::none_of(p, end, IsEscape)) {
    EncodeUtf8(text, out);
    return out;
  }
  const TCodePageCodec& codec = CurrentCodec();
  out.reserve(static_cast<size_t>(text.size()) * 2);
  while (p < end) {
    if (IsEscape(*p)) {
      out += static_cast<char>(*p++ - 0xDC00);
      continue;
    }
    const qsizetype len =
        QChar::isHighSurrogate(*p) && p + 1 < end && QChar::isLowSurrogate(p[1]) ? 2 : 1;
    const QString one = QString::fromUtf16(p, len);
    p += len;
    const std::string bytes = codec.Encode(one);
    if (codec.Decode(bytes) == one)
      out += bytes;
    else
      EncodeUtf8(one, out);
  }
  return out;
}

void CheckCodePage() {
  (void)CurrentCodec();
}
