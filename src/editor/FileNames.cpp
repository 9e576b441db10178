#include "FileNames.h"

#include <QLocale>
#include <QScopeGuard>
#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "CodePage.h"
#include "FilePath.h"
#include "Journal.h"
#include "TagError.h"

namespace melotag::editor {

namespace {

std::string_view View(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// A name that ends in ".mp3", any letter case.
bool IsMp3Name(const char* name, size_t length) {
  if (length < 4) return false;
  const char* ext = name + length - 4;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return ext[0] == '.' && lower(ext[1]) == 'm' && lower(ext[2]) == 'p' && ext[3] == '3';
}

struct TCloseDir {
  void operator()(DIR* dir) const { closedir(dir); }
};
using TDir = std::unique_ptr<DIR, TCloseDir>;

// The path with every link resolved; empty when it cannot be resolved.
QByteArray RealPath(const QByteArray& path) {
  if (!IsUsablePath(path)) return QByteArray();
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.constData(), nullptr),
                                                         &std::free);
  return real ? QByteArray(real.get()) : QByteArray();
}

}  // namespace

QString NameCaption(const QByteArray& name) {
  return DecodeFileName(View(name));
}

QByteArray CaptionName(const QString& caption) {
  return Bytes(EncodeFileName(caption));
}

QByteArray CaptionName(const QString& caption, const QByteArray& former) {
  return NameCaption(former) == caption ? former : CaptionName(caption);
}

QByteArray JoinPath(const QByteArray& folder, const QByteArray& name) {
  if (folder.isEmpty()) return name;
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray FileNamePart(const QByteArray& path) {
  return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray FolderPart(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArray();
  return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray UpperExtension(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  const qsizetype dot = path.lastIndexOf('.');
  if (dot < 0 || dot < slash) return QByteArray();
  QByteArray ext = path.mid(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return ext;
}

QByteArray AbsolutePath(const QByteArray& path) {
  return AbsoluteFilePath(path);
}

qint64 FileSizeOf(const QByteArray& path) {
  const auto status = PathStatus(path);
  return status && S_ISREG(status->st_mode) ? qint64(status->st_size) : 0;
}

bool IsFolder(const QByteArray& path) {
  const auto status = PathStatus(path);
  return status && S_ISDIR(status->st_mode);
}

bool IsFile(const QByteArray& path) {
  const auto status = PathStatus(path);
  return status && S_ISREG(status->st_mode);
}

bool MayWriteThrough(const QByteArray& path, const QByteArray& scanRoot) {
  if (scanRoot.isEmpty() || !IsUsablePath(path)) return true;
  const QByteArray real = RealPath(path);
  if (real.isEmpty()) {
    struct stat status;
    return ::lstat(path.constData(), &status) != 0;
  }
  const QByteArray root = RealPath(scanRoot);
  return !root.isEmpty() && real.startsWith(root.endsWith('/') ? root : root + '/');
}

QString TagFailureText(const QByteArray& path, const QString& otherwise) {
  int error = melotag::tags::LastError();
  if (error == 0) {
    const auto status = PathStatus(path);
    if (status && S_ISREG(status->st_mode) && !otherwise.isEmpty()) return otherwise;
    error = !status ? ENOENT : !S_ISREG(status->st_mode) ? melotag::tags::kNotRegularFile : 0;
  }
  return QString::fromStdString(melotag::tags::ErrorText(error));
}

QString CatchAllocationFailure(const QByteArray& path, const std::function<void()>& work) {
  try {
    work();
    return QString();
  } catch (const std::bad_alloc&) {
    melotag::tags::FailedByException();
  } catch (const std::length_error&) {
    melotag::tags::FailedByException();
  }
  return TagFailureText(path);
}

TScanResult ScanFolder(const QByteArray& folder, bool makeWritable, const QByteArray& root) {
  TScanResult result;
  if (!IsUsablePath(folder)) {
    result.Error = folder.isEmpty() ? ENOENT : EINVAL;
    return result;
  }
  const TDir dir(opendir(folder.constData()));
  if (!dir) {
    result.Error = errno;
    return result;
  }
  const int dirFd = dirfd(dir.get());
  // A crash in the middle of an in-place tag write left these: the files are mended now.
  QList<QByteArray> journals;
  const auto recover = qScopeGuard([&] {
    for (const QByteArray& journal : journals) melotag::tags::RecoverJournal(journal.toStdString());
  });
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      result.Error = errno;
      break;
    }
    const size_t length = strlen(entry->d_name);
    if (entry->d_name[0] == '.' && melotag::tags::IsJournalName(entry->d_name)) {
      journals.append(JoinPath(folder, entry->d_name));
      continue;
    }
    if (!IsMp3Name(entry->d_name, length)) continue;
    if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
      continue;  // a folder named "x.mp3", a pipe, a device
    struct stat status;
    if (fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const bool link = S_ISLNK(status.st_mode);
    if (link && fstatat(dirFd, entry->d_name, &status, 0) != 0) continue;
    if (!S_ISREG(status.st_mode)) continue;
    // A link is listed and read, but its target, wherever it is, keeps its permissions.
    if (makeWritable && !link && !(status.st_mode & S_IWUSR))
      fchmodat(dirFd, entry->d_name, (status.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW);
    const QByteArray name(entry->d_name, static_cast<qsizetype>(length));
    result.Files.append({JoinPath(folder, name), NameCaption(name), qint64(status.st_size),
                         root.isEmpty() ? folder : root});
  }
  return result;
}

const QCollator& CaptionCollator() {
  static QCollator collator;
  static QString localeName;
  const QLocale locale;
  if (localeName.isEmpty() || locale.name() != localeName) {
    localeName = locale.name();
    collator = QCollator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
  }
  return collator;
}

void SortByCaption(QList<TFileEntry>& entries) {
  const QCollator& collator = CaptionCollator();
  // One key per entry, so sorting compares keys only.
  QList<std::pair<QCollatorSortKey, qsizetype>> keys;
  keys.reserve(entries.size());
  for (qsizetype i = 0; i < entries.size(); ++i)
    keys.append({collator.sortKey(entries[i].Caption), i});
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
  QList<TFileEntry> sorted;
  sorted.reserve(entries.size());
  for (const auto& key : keys) sorted.append(std::move(entries[key.second]));
  entries = std::move(sorted);
}

QList<QByteArray> SubFolders(const QByteArray& folder, bool linked) {
  QList<QByteArray> names;
  if (!IsUsablePath(folder)) return names;
  const TDir dir(opendir(folder.constData()));
  if (!dir) return names;
  const int dirFd = dirfd(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN &&
        (entry->d_type != DT_LNK || !linked))
      continue;
    struct stat status;
    if (entry->d_type != DT_DIR &&
        (fstatat(dirFd, entry->d_name, &status, linked ? 0 : AT_SYMLINK_NOFOLLOW) != 0 ||
         !S_ISDIR(status.st_mode)))
      continue;
    names.append(QByteArray(entry->d_name));
  }
  return names;
}

std::optional<QByteArray> PathOfText(const QString& text) {
  if (text.contains(QChar(0))) return std::nullopt;
  const QList<QString> parts = text.split('/');
  QByteArray path;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (i > 0) path += '/';
    const QByteArray utf8 = part.toUtf8();
    // A text that is its UTF-8 bytes names them; U+FFFD or a lone surrogate (an escape) does not.
    if (!part.contains(QChar::ReplacementCharacter) && QString::fromUtf8(utf8) == part) {
      path += utf8;
      continue;
    }
    const TDir dir(opendir(path.isEmpty() ? "." : path.constData()));
    if (!dir) return std::nullopt;
    std::optional<QByteArray> match;
    while (const dirent* entry = readdir(dir.get())) {
      const QByteArray name(entry->d_name);
      if (NameCaption(name) != part && QString::fromUtf8(name) != part) continue;
      if (match) return std::nullopt;  // two names read the same: neither is taken
      match = name;
    }
    if (!match) return std::nullopt;
    path += *match;
  }
  return path;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The exact bytes of a percent-encoded text; a "%" not followed by two hex digits stays as it is.
QByteArray PercentDecoded(const QByteArray& text) {
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The path of a local file URL, or empty.
QByteArray LocalPathOfUrl(QByteArray url) {
  if (url.left(5).toLower() != "file:") return QByteArray();
  url = url.mid(5);
  if (const qsizetype end = url.indexOf('?'); end >= 0) url.truncate(end);
  if (const qsizetype end = url.indexOf('#'); end >= 0) url.truncate(end);
  if (url.startsWith("//")) {
    const qsizetype slash = url.indexOf('/', 2);
    const QByteArray host = url.mid(2, slash < 0 ? -1 : slash - 2);
    if (!host.isEmpty() && host.toLower() != "localhost") return QByteArray();
    url = slash < 0 ? QByteArray() : url.mid(slash);
  }
  if (!url.startsWith('/')) return QByteArray();
  const QByteArray path = PercentDecoded(url);
  return path.contains('\0') ? QByteArray() : path;
}

}  // namespace

QList<QByteArray> LocalPathsOfUriList(const QByteArray& uriList) {
  QList<QByteArray> paths;
  // Some sources end the data with a zero byte; nothing after one is text.
  const qsizetype zero = uriList.indexOf('\0');
  for (const QByteArray& line : (zero < 0 ? uriList : uriList.left(zero)).split('\n')) {
    const QByteArray uri = line.trimmed();
    if (uri.isEmpty() || uri.startsWith('#')) continue;
    const QByteArray path = LocalPathOfUrl(uri);
    if (!path.isEmpty()) paths.append(path);
  }
  return paths;
}

}  // namespace melotag::editor
