#include "FilePath.h"

#include <QList>

#include <unistd.h>

#include <cstdlib>
#include <memory>

QByteArray AbsoluteFilePath(const QByteArray& path) {
  if (path.isEmpty()) return path;
  QByteArray full = path;
  if (!path.startsWith('/')) {
    const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (cwd) full = QByteArray(cwd.get()) + '/' + path;
  }
  const bool absolute = full.startsWith('/');
  QList<QByteArray> parts;
  for (const QByteArray& part : full.split('/')) {
    if (part.isEmpty() || part == ".") continue;
    if (part == ".." && !parts.isEmpty() && parts.last() != "..") {
      parts.removeLast();
    } else if (part == ".." && absolute) {
      continue;  // ".." of the root is the root
    } else {
      parts.append(part);
    }
  }
  const QByteArray joined = parts.join('/');
  if (absolute) return '/' + joined;
  return joined.isEmpty() ? QByteArray(".") : joined;
}

bool IsUsablePath(const QByteArray& path) {
  return !path.isEmpty() && !path.contains('\0');
}

std::optional<struct stat> PathStatus(const QByteArray& path) {
  struct stat status;
  if (!IsUsablePath(path) || stat(path.constData(), &status) != 0) return std::nullopt;
  return status;
}
