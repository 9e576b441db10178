#include "TitleTools.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "Big5Gbk.h"
#include "CodePage.h"
#include "CodeTables.h"
#include "FilePath.h"

namespace melotag::editor {

namespace {

// The lines with `edit` applied to each.
template <class Edit>
QStringList EachLine(const QStringList& lines, Edit edit) {
  QStringList out;
  out.reserve(lines.size());
  for (const QString& line : lines) out.append(edit(line));
  return out;
}

// A character of the text in the table's direction: the converted text of every BMP character
// (an empty entry: unchanged). Built once per direction from the two codecs and the table.
class TCharacterTable {
 public:
  explicit TCharacterTable(TChineseConversion conversion) {
    const bool toGbk = conversion == TChineseConversion::Big5ToGbk;
    const TCodePageCodec from(toGbk ? 950 : 936);
    const TCodePageCodec to(toGbk ? 936 : 950);
    const TCodeTable& table = toGbk ? Big5GbkTable : GbkBig5Table;
    FChanged.resize(0x10000);
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c < 0xE000) continue;  // surrogates and the escapes of lone bytes
      const std::string bytes = from.Encode(QString(QChar(char16_t(c))));
      if (bytes.size() != 2) continue;  // a single byte, or "?" for no code
      const int code =
          (static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1]);
      if (!HasKey(table, code)) continue;
      const std::string partner = toGbk ? Big5ToGbkCode(code) : GbkToBig5Code(code);
      const QString text = to.Decode(partner);
      // A partner the other code page does not read would come back as escapes: keep the
      // character rather than put bytes of no meaning in its place.
      if (std::any_of(text.begin(), text.end(), [](QChar ch) { return ch.isSurrogate(); }))
        continue;
      FChanged[c] = text;
    }
  }

  QString Convert(const QString& line) const {
    QString out;
    out.reserve(line.size());
    for (QChar ch : line) {
      const QString& changed = FChanged[ch.unicode()];
      if (changed.isEmpty())
        out.append(ch);
      else
        out.append(changed);
    }
    return out;
  }

 private:
  static bool HasKey(const TCodeTable& table, int code) {
    return std::binary_search(table.begin(), table.end(), TCodePair{code, 0},
                              [](const TCodePair& a, const TCodePair& b) { return a.Key < b.Key; });
  }

  std::vector<QString> FChanged;
};

const TCharacterTable& CharacterTable(TChineseConversion conversion) {
  static const TCharacterTable toGbk(TChineseConversion::Big5ToGbk);
  static const TCharacterTable toBig5(TChineseConversion::GbkToBig5);
  return conversion == TChineseConversion::Big5ToGbk ? toGbk : toBig5;
}

struct TCloseFd {
  int Fd;
  ~TCloseFd() {
    if (Fd >= 0) ::close(Fd);
  }
};

}  // namespace

QString ZeroPad(const QString& text, int width) {
  QString padded = text;
  // Blanks and control characters, as the trim of a title counts them.
  auto trimmedLength = [](const QString& s) {
    qsizetype begin = 0, end = s.size();
    while (begin < end && s[begin].unicode() <= 0x20) ++begin;
    while (end > begin && s[end - 1].unicode() <= 0x20) --end;
    return end - begin;
  };
  for (qsizetype length = trimmedLength(text); length < width; ++length) padded.prepend(u'0');
  return padded;
}

QStringList AddItemNumbers(const QStringList& lines) {
  QStringList out;
  out.reserve(lines.size());
  for (qsizetype i = 0; i < lines.size(); ++i)
    out.append(ZeroPad(QString::number(i + 1), 2) + lines[i]);
  return out;
}

QStringList AddMark(const QStringList& lines, const QString& mark) {
  return EachLine(lines, [&mark](const QString& line) { return mark + line; });
}

QStringList DeleteFirstCharacter(const QStringList& lines) {
  return EachLine(lines, [](const QString& line) {
    if (line.isEmpty()) return line;
    const bool pair = line.size() > 1 && line[0].isHighSurrogate() && line[1].isLowSurrogate();
    return line.mid(pair ? 2 : 1);
  });
}

QStringList DeleteLastCharacter(const QStringList& lines) {
  return EachLine(lines, [](const QString& line) {
    const qsizetype n = line.size();
    if (n == 0) return line;
    const bool pair = n > 1 && line[n - 1].isLowSurrogate() && line[n - 2].isHighSurrogate();
    return line.left(n - (pair ? 2 : 1));
  });
}

std::optional<QString> TitleOfCaption(const QString& caption) {
  // ASCII letters only: the caption's other characters are compared as they are.
  for (qsizetype p = 0; p + 4 <= caption.size(); ++p) {
    if (caption[p] != u'.') continue;
    auto is = [&](qsizetype k, char16_t lower) {
      const char16_t c = caption[p + k].unicode();
      return c == lower || c == lower - 0x20;
    };
    if (is(1, u'm') && is(2, u'p') && caption[p + 3] == u'3') return caption.left(p);
  }
  return std::nullopt;
}

QStringList TitlesOfCaptions(const QStringList& captions) {
  QStringList titles;
  titles.reserve(captions.size());
  for (const QString& caption : captions)
    if (std::optional<QString> title = TitleOfCaption(caption)) titles.append(*title);
  return titles;
}

QStringList ConvertLines(const QStringList& lines, TChineseConversion conversion, int codePage) {
  const bool toGbk = conversion == TChineseConversion::Big5ToGbk;
  if (codePage == 950 || codePage == 936) {
    std::optional<TCodePageCodec> own;
    if (CurrentCodec().CodePage() != codePage) own.emplace(codePage);
    const TCodePageCodec& codec = own ? *own : CurrentCodec();
    return EachLine(lines, [&](const QString& line) {
      const std::string bytes = codec.Encode(line);
      return codec.Decode(toGbk ? Big5ToGbk(bytes) : GbkToBig5(bytes));
    });
  }
  const TCharacterTable& table = CharacterTable(conversion);
  return EachLine(lines, [&table](const QString& line) { return table.Convert(line); });
}

TTitleFile ReadTitleFile(const QByteArray& path) {
  TTitleFile result;
  if (!IsUsablePath(path)) {
    result.Error = path.isEmpty() ? ENOENT : EINVAL;
    return result;
  }
  // Not blocking: a pipe named by the user gives its error instead of waiting for a writer.
  const TCloseFd file{::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  struct stat status;
  if (file.Fd < 0 || ::fstat(file.Fd, &status) != 0) {
    result.Error = errno;
    return result;
  }
  if (S_ISDIR(status.st_mode) || !S_ISREG(status.st_mode)) {
    result.Error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    return result;
  }
  QByteArray text;
  for (;;) {
    const qsizetype at = text.size();
    const qsizetype chunk = 1 << 20;
    text.resize(at + chunk);
    const ssize_t got = ::read(file.Fd, text.data() + at, size_t(chunk));
    if (got < 0 && errno == EINTR) {
      text.resize(at);
      continue;
    }
    if (got < 0) {
      result.Error = errno;
      return result;
    }
    text.resize(at + got);
    if (const qsizetype zero = text.indexOf('\0', at); zero >= 0) {
      text.truncate(zero);
      break;
    }
    if (got == 0) break;
    if (text.size() > kMaxTitleFileBytes) {
      result.Error = EFBIG;
      return result;
    }
  }
  const TCodePageCodec& codec = CurrentCodec();
  const char* p = text.constData();
  const char* const end = p + text.size();
  while (p < end) {
    const char* eol = p;
    while (eol < end && *eol != '\r' && *eol != '\n') ++eol;
    result.Lines.append(codec.Decode(std::string_view(p, size_t(eol - p))));
    if (eol < end && *eol == '\r' && eol + 1 < end && eol[1] == '\n') ++eol;
    p = eol + 1;
  }
  return result;
}

}  // namespace melotag::editor
