#include "Format.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "CodePage.h"

namespace {

[[noreturn]] void FormatError(const std::string& fmt) {
  throw EFormatError("Format '" + fmt + "' invalid or incompatible with argument");
}

void Pad(std::string& out, const std::string& text, int width, bool left) {
  size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  if (!left && text.size() < w) out.append(w - text.size(), ' ');
  out += text;
  if (left && text.size() < w) out.append(w - text.size(), ' ');
}

// At least `prec` digits.
std::string ZeroPad(std::string digits, int prec) {
  if (prec > 0 && digits.size() < static_cast<size_t>(prec))
    digits.insert(0, static_cast<size_t>(prec) - digits.size(), '0');
  return digits;
}

std::string Integer(long long v, int prec) {
  unsigned long long mag = v < 0 ? 0ull - static_cast<unsigned long long>(v) : v;
  std::string digits = ZeroPad(std::to_string(mag), prec);
  return v < 0 ? "-" + digits : digits;
}

std::string Hex(unsigned long long v, int prec) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%llX", v);
  return ZeroPad(buffer, prec);
}

struct TSeparators {
  std::string Decimal;
  std::string Group;
};

TSeparators LocaleSeparators() {
  QLocale locale;
  return {EncodeText(locale.decimalPoint()), EncodeText(locale.groupSeparator())};
}

// Replaces the "." that printf wrote (C locale) with the locale's decimal point.
std::string Localize(std::string text, const std::string& decimal) {
  if (size_t dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, decimal);
  return text;
}

std::string Fixed(double v, int prec, bool groups) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
  if (prec < 0) prec = 2;
  if (prec > 18) prec = 18;
  std::vector<char> buffer(400);
  std::snprintf(buffer.data(), buffer.size(), "%.*f", prec, v);
  std::string text = buffer.data();
  TSeparators sep = LocaleSeparators();
  if (groups) {
    size_t begin = text[0] == '-' ? 1 : 0;
    size_t end = text.find('.');
    if (end == std::string::npos) end = text.size();
    std::string grouped;
    for (size_t i = begin; i < end; ++i) {
      if (i > begin && (end - i) % 3 == 0) grouped += '\x01';
      grouped += text[i];
    }
    text = text.substr(0, begin) + grouped + text.substr(end);
    text = Localize(text, sep.Decimal);
    for (size_t at; (at = text.find('\x01')) != std::string::npos;) text.replace(at, 1, sep.Group);
    return text;
  }
  return Localize(text, sep.Decimal);
}

// d.ddd...E+ddd: `prec` significant digits, an exponent of at least three digits.
std::string Scientific(double v, int prec) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
  if (prec < 0) prec = 15;
  prec = std::clamp(prec, 1, 18);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*E", prec - 1, v);
  std::string text = buffer;
  size_t e = text.find('E');
  std::string mantissa = text.substr(0, e);
  char sign = text[e + 1];
  std::string exponent = text.substr(e + 2);
  if (exponent.size() < 3) exponent.insert(0, 3 - exponent.size(), '0');
  return Localize(mantissa, LocaleSeparators().Decimal) + "E" + sign + exponent;
}

// The shorter of fixed and scientific with `prec` significant digits, no trailing zeros.
std::string General(double v, int prec) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : v < 0 ? "-INF" : "INF";
  if (prec < 0) prec = 15;
  prec = std::clamp(prec, 1, 18);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*G", prec, v);
  std::string text = buffer;
  if (size_t e = text.find('E'); e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    char sign = text[e + 1];
    std::string exponent = text.substr(e + 2);
    exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
    text = mantissa + "E" + (sign == '-' ? "-" : "") + exponent;
  }
  return Localize(text, LocaleSeparators().Decimal);
}

}  // namespace

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args) {
  std::string out;
  out.reserve(fmt.size() + 16);
  size_t next = 0;  // next argument
  const size_t n = fmt.size();
  size_t i = 0;
  while (i < n) {
    char c = fmt[i];
    if (c != '%') {
      size_t pct = fmt.find('%', i);
      if (pct == std::string::npos) pct = n;
      out.append(fmt, i, pct - i);
      i = pct;
      continue;
    }
    ++i;
    if (i >= n) FormatError(fmt);
    if (fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // A number or "*" (the next argument, an integer).
    auto number = [&]() -> int {
      if (i < n && fmt[i] == '*') {
        ++i;
        if (next >= args.size()) FormatError(fmt);
        const long long* v = std::get_if<long long>(&args[next++]);
        if (!v) FormatError(fmt);
        return static_cast<int>(std::clamp<long long>(*v, -1, 100000));
      }
      if (i >= n || fmt[i] < '0' || fmt[i] > '9') return -1;
      long long value = 0;
      while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
        value = std::min<long long>(value * 10 + (fmt[i] - '0'), 100000);
        ++i;
      }
      return static_cast<int>(value);
    };
    bool left = false;
    int width = -1;
    int prec = -1;
    if (i < n && fmt[i] == '-') {
      left = true;
      ++i;
    }
    width = number();
    if (i < n && fmt[i] == ':') {  // an index: the argument to take, and from there on
      if (left || width < 0) FormatError(fmt);
      next = static_cast<size_t>(width);
      width = -1;
      ++i;
      if (i < n && fmt[i] == '-') {
        left = true;
        ++i;
      }
      width = number();
    }
    if (i < n && fmt[i] == '.') {
      ++i;
      prec = number();
      if (prec < 0) prec = 0;
    }
    if (i >= n) FormatError(fmt);
    char type = static_cast<char>(fmt[i] | 0x20);
    ++i;
    if (next >= args.size()) FormatError(fmt);
    const TVarRec& arg = args[next++];
    std::string text;
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        const long long* v = std::get_if<long long>(&arg);
        if (!v) FormatError(fmt);
        if (type == 'd')
          text = Integer(*v, prec);
        else if (type == 'u')
          text = ZeroPad(std::to_string(static_cast<unsigned long long>(*v)), prec);
        else
          text = Hex(static_cast<unsigned long long>(*v), prec);
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n': {
        const double* v = std::get_if<double>(&arg);
        if (!v) FormatError(fmt);
        text = type == 'e'   ? Scientific(*v, prec)
               : type == 'g' ? General(*v, prec)
                             : Fixed(*v, prec, type == 'n');
        break;
      }
      case 's': {
        const std::string* v = std::get_if<std::string>(&arg);
        if (!v) FormatError(fmt);
        text = prec >= 0 && static_cast<size_t>(prec) < v->size() ? v->substr(0, prec) : *v;
        break;
      }
      default:
        FormatError(fmt);
    }
    Pad(out, text, width, left);
  }
  return out;
}
