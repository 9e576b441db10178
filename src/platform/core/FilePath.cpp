#include "FilePath.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

namespace {

QString Reason(const QByteArray& path, int error) {
  return QString::fromLocal8Bit(path) + ": " + QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QString WriteFileAtomically(const QByteArray& path, const QByteArray& data, unsigned mode) {
  if (!IsUsablePath(path)) return Reason(path, EINVAL);
  QByteArray temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return Reason(path, errno);
  bool done = fchmod(fd, mode) == 0;
  for (qsizetype written = 0; done && written < data.size();) {
    const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
    if (n < 0 && errno == EINTR) continue;
    done = n > 0;
    if (done) written += n;
  }
  done = done && fsync(fd) == 0;
  const int error = errno;
  done = ::close(fd) == 0 && done;
  if (done && ::rename(temp.constData(), path.constData()) == 0) return QString();
  const int failure = done ? errno : (error ? error : EIO);
  ::unlink(temp.constData());
  return Reason(path, failure);
}

QString ReadWholeFile(const QByteArray& path, QByteArray& bytes, qint64 maxSize) {
  bytes.clear();
  if (!IsUsablePath(path)) return QString::fromLocal8Bit(std::strerror(EINVAL));
  // Not blocking: a pipe or a device is refused, never waited on.
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    return QString::fromLocal8Bit(std::strerror(error));
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    return QStringLiteral("not a regular file");
  }
  const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
  if (maxSize >= 0 && status.st_size > maxSize) {
    ::close(fd);
    return tooLarge;
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return file.errorString();
  }
  // A file that grows while it is read stops at the bound all the same.
  bytes = maxSize >= 0 ? file.read(maxSize + 1) : file.readAll();
  if (file.error() != QFileDevice::NoError) {
    bytes.clear();
    return file.errorString();
  }
  if (maxSize >= 0 && bytes.size() > maxSize) {
    bytes.clear();
    return tooLarge;
  }
  return QString();
}

QString MakeFolders(const QByteArray& path) {
  if (!IsUsablePath(path)) return Reason(path, EINVAL);
  for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
    const QByteArray part = slash < 0 ? path : path.left(slash);
    if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST) return Reason(part, errno);
    if (slash < 0) break;
  }
  struct stat status;
  if (::stat(path.constData(), &status) != 0) return Reason(path, errno);
  if (!S_ISDIR(status.st_mode)) return Reason(path, ENOTDIR);
  return QString();
}

bool SetArchiveOnly(const QByteArray& path) {
  struct stat status;
  if (!IsUsablePath(path) || lstat(path.constData(), &status) != 0 || S_ISLNK(status.st_mode))
    return false;
  if (status.st_mode & S_IWUSR) return true;
  return fchmodat(AT_FDCWD, path.constData(), (status.st_mode & 07777) | S_IWUSR,
                  AT_SYMLINK_NOFOLLOW) == 0;
}

bool SetArchiveOnly(const QString& path) {
  return SetArchiveOnly(QFile::encodeName(path));
}

bool IsReadOnlyPath(const QByteArray& path) {
  const auto status = PathStatus(path);
  return status && !(status->st_mode & S_IWUSR);
}

bool IsReadOnlyPath(const QString& path) {
  return IsReadOnlyPath(QFile::encodeName(path));
}
