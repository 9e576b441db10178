#include "PlayListFile.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "CodePage.h"
#include "FileNames.h"
#include "FilePath.h"
#include "ID3v2.h"
#include "RenamePlan.h"
#include "UnicodeTag.h"

namespace melotag::editor {

namespace {

bool WriteAll(int fd, const char* data, qsizetype count) {
  while (count > 0) {
    const ssize_t done = ::write(fd, data, size_t(count));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    count -= done;
  }
  return true;
}

// A name in `folder` that no file has now, for the finished file before its rename.
QByteArray FreshName(const QByteArray& folder) {
  return JoinPath(
      folder,
      ".melotag-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".m3u.tmp");
}

}  // namespace

QByteArray PlayListText(const QList<QByteArray>& names) {
  QByteArray text;
  qsizetype size = 0;
  for (const QByteArray& name : names) size += name.size() + 2;
  text.reserve(size);
  for (const QByteArray& name : names) text += name + "\r\n";
  return text;
}

int WritePlayList(const QByteArray& path, const QList<QByteArray>& names) {
  if (!IsUsablePath(path)) return path.isEmpty() ? ENOENT : EINVAL;
  // A link stays a link: its target is written.
  QByteArray target = path;
  struct stat status;
  if (::lstat(path.constData(), &status) == 0 && S_ISLNK(status.st_mode)) {
    if (char* resolved = ::realpath(path.constData(), nullptr)) {
      target = resolved;
      ::free(resolved);
    }
  }
  const bool exists = ::stat(target.constData(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) return EISDIR;
  QByteArray folder = FolderPart(target);
  if (folder.isEmpty()) folder = ".";

  // The new file has no name while it is written, where the file system allows it.
  QByteArray tempName;
  int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  const bool unnamed = fd >= 0;
  if (!unnamed) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      tempName = FreshName(folder);
      fd = ::open(tempName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return errno;
  }
  int error = 0;
  const QByteArray text = PlayListText(names);
  if (exists) ::fchmod(fd, status.st_mode & 07777);
  if (!WriteAll(fd, text.constData(), text.size()) || ::fsync(fd) != 0) error = errno ? errno : EIO;
  if (!error && unnamed) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      tempName = FreshName(folder);
      if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, tempName.constData(), AT_SYMLINK_FOLLOW) ==
          0)
        break;
      error = errno;
      tempName.clear();
      if (error != EEXIST) break;
    }
    if (!tempName.isEmpty()) error = 0;
  }
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(tempName.constData(), target.constData()) != 0) error = errno;
  if (error) {
    if (!tempName.isEmpty()) ::unlink(tempName.constData());
    return error;
  }
  // The rename itself reaches the disk.
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

std::optional<QString> PlayListNameOfFile(const QByteArray& path, bool readUnicode) {
  if (!IsFile(path)) return std::nullopt;
  QString name;
  if (readUnicode) {
    TID3v2Text tag;
    if (!LoadID3v2Text(path.toStdString(), tag)) return std::nullopt;
    if (!tag.Exists) return QStringLiteral("PlayList");
    name = AlbumTitle(tag.Artist, tag.Album);
  } else {
    TID3v2 tag;
    if (!tag.LoadFromFile(path.toStdString())) return std::nullopt;
    if (!tag.Exists()) return QStringLiteral("PlayList");
    name = AlbumTitle(DecodeText(tag.Artist()), DecodeText(tag.Album()));
  }
  name.replace(u'/', u'_');
  return name;
}

}  // namespace melotag::editor
