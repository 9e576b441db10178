#include "PlayListFile.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

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

// A name that no file of the folder has now, for the finished file before its rename.
QByteArray FreshName() {
  return ".melotag-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) +
         ".m3u.tmp";
}

// Links the unnamed file `fd` into `dir` under a fresh name; the name, or none with errno set.
std::optional<QByteArray> LinkFresh(int fd, int dir) {
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray name = FreshName();
    if (::linkat(AT_FDCWD, self.constData(), dir, name.constData(), AT_SYMLINK_FOLLOW) == 0)
      return name;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// A new file of `dir` to write the play list into: unnamed where the file system allows it
// (`name` stays empty), else under a fresh name. -1 with errno set when none can be made.
int NewFile(int dir, QByteArray& name) {
  name.clear();
  int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    name = FreshName();
    fd =
        ::openat(dir, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) name.clear();
  return fd;
}

// A character that must not reach a proposed file name.
bool BadInName(QChar c) {
  return c == u'/' || c.category() == QChar::Other_Control ||
         c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
}

}  // namespace

bool FitsPlayList(const QByteArray& name) {
  return !name.contains('\r') && !name.contains('\n');
}

QByteArray PlayListText(const QList<QByteArray>& names) {
  QByteArray text;
  qsizetype size = 0;
  for (const QByteArray& name : names) size += name.size() + 2;
  text.reserve(size);
  for (const QByteArray& name : names)
    if (FitsPlayList(name)) text += name + "\r\n";
  return text;
}

int WritePlayList(const QByteArray& path, const QList<QByteArray>& names) {
  if (!IsUsablePath(path)) return path.isEmpty() ? ENOENT : EINVAL;
  // The folder as the user named it; the play list's own name is never followed.
  const QByteArray base = FileNamePart(path);
  if (base.isEmpty() || base == "." || base == "..") return EISDIR;
  QByteArray folder = FolderPart(path);
  if (folder.isEmpty()) folder = ".";
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  struct stat status;
  const bool exists = ::fstatat(dir, base.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
  int error = 0;
  if (exists && S_ISLNK(status.st_mode)) error = ELOOP;
  if (exists && S_ISDIR(status.st_mode)) error = EISDIR;
  QByteArray tempName;
  const int fd = error ? -1 : NewFile(dir, tempName);
  if (!error && fd < 0) error = errno;
  if (fd >= 0) {
    const QByteArray text = PlayListText(names);
    if (exists) ::fchmod(fd, status.st_mode & 07777);
    if (!WriteAll(fd, text.constData(), text.size()) || ::fsync(fd) != 0)
      error = errno ? errno : EIO;
    if (!error && tempName.isEmpty()) {
      if (const std::optional<QByteArray> linked = LinkFresh(fd, dir))
        tempName = *linked;
      else
        error = errno;
    }
    if (::close(fd) != 0 && !error) error = errno;
    // renameat replaces whatever has the name then, a link included; it never writes through it.
    if (!error && ::renameat(dir, tempName.constData(), dir, base.constData()) != 0) error = errno;
    if (error && !tempName.isEmpty()) ::unlinkat(dir, tempName.constData(), 0);
  }
  // The rename itself reaches the disk.
  if (!error) ::fsync(dir);
  ::close(dir);
  return error;
}

QString PlayListErrorText(int error) {
  if (error == ELOOP)
    return QStringLiteral("the play list's name is a link: not written through it");
  return ErrorText(error);
}

std::optional<QString> PlayListNameOfFile(const QByteArray& path, bool readUnicode) {
  if (!IsFile(path)) return std::nullopt;
  QString name;
  if (readUnicode) {
    TID3v2Text tag;
    if (!LoadID3v2Text(path.toStdString(), tag)) return std::nullopt;
    if (!tag.Exists) return QStringLiteral("PlayList");
    name = AlbumTitle(tag.Fields.Text(TField::Artist), tag.Fields.Text(TField::Album));
  } else {
    TID3v2 tag;
    if (!tag.LoadFromFile(path.toStdString())) return std::nullopt;
    if (!tag.Exists()) return QStringLiteral("PlayList");
    name = AlbumTitle(DecodeText(tag.Artist()), DecodeText(tag.Album()));
  }
  for (QChar& c : name)
    if (BadInName(c)) c = u'_';
  return name;
}

}  // namespace melotag::editor
