#include "RenamePlan.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "CodePage.h"
#include "FileNames.h"
#include "FilePath.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "UnicodeTag.h"

namespace melotag::editor {

namespace {

// The part of a name before its first ".mp3" (any letter case); all of it without one.
QByteArray StemOf(const QByteArray& name) {
  for (qsizetype p = 0; p + 4 <= name.size(); ++p) {
    if (name[p] == '.' && (name[p + 1] | 0x20) == 'm' && (name[p + 2] | 0x20) == 'p' &&
        name[p + 3] == '3')
      return name.left(p);
  }
  return name;
}

bool SameFile(const QByteArray& a, const QByteArray& b) {
  struct stat sa, sb;
  return ::lstat(a.constData(), &sa) == 0 && ::lstat(b.constData(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

QByteArray ParentFolder(const QByteArray& path) {
  QByteArray folder = path;
  if (folder.endsWith('/')) folder.chop(1);
  const qsizetype slash = folder.lastIndexOf('/');
  if (slash <= 0) return QByteArray();
  return folder.left(slash + 1);
}

TNameProblem NameProblem(const QString& name) {
  if (name.isEmpty()) return TNameProblem::Empty;
  if (name.contains(u'/')) return TNameProblem::Separator;
  if (name.contains(QChar(0))) return TNameProblem::ZeroByte;
  if (name == u"." || name == u"..") return TNameProblem::DotName;
  return TNameProblem::None;
}

QString NameProblemText(TNameProblem problem) {
  switch (problem) {
    case TNameProblem::Separator:
      return QStringLiteral("the name holds \"/\"");
    case TNameProblem::ZeroByte:
      return QStringLiteral("the name holds a zero byte");
    case TNameProblem::DotName:
      return QStringLiteral("\".\" and \"..\" name no file");
    case TNameProblem::None:
    case TNameProblem::Empty:
      break;
  }
  return QString();
}

QList<TRenameStep> PlanRenames(const QList<QByteArray>& paths, const QStringList& lines) {
  QList<TRenameStep> steps;
  const qsizetype n = std::min(paths.size(), lines.size());
  steps.reserve(n);
  for (qsizetype i = 0; i < n; ++i) {
    TRenameStep step;
    step.OldPath = paths[i];
    step.Problem = NameProblem(lines[i]);
    if (step.Problem == TNameProblem::None) {
      const QByteArray oldName = FileNamePart(paths[i]);
      const QByteArray name = CaptionName(lines[i], StemOf(oldName)) + ".mp3";
      const qsizetype slash = paths[i].lastIndexOf('/');
      step.NewPath = slash < 0 ? name : paths[i].left(slash + 1) + name;
    }
    steps.append(step);
  }
  return steps;
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
  if (!IsUsablePath(from) || !IsUsablePath(to))
    return from.isEmpty() || to.isEmpty() ? ENOENT : EINVAL;
  if (from == to) {
    struct stat status;
    return ::lstat(from.constData(), &status) == 0 ? 0 : errno;
  }
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return 0;
  int error = errno;
  if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
    // A file system without the flag: a hard link never replaces a target either.
    if (::link(from.constData(), to.constData()) == 0) {
      if (::unlink(from.constData()) == 0) return 0;
      error = errno;
      ::unlink(to.constData());
      return error;
    }
    error = errno;
    if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
      // Nor links (vfat, a folder): test first; the window between test and rename is short.
      struct stat status;
      if (::lstat(to.constData(), &status) == 0)
        error = EEXIST;
      else if (::rename(from.constData(), to.constData()) == 0)
        return 0;
      else
        error = errno;
    }
  }
  // A change of letter case on a file system that does not tell case apart: `to` is `from`.
  if (error == EEXIST && SameFile(from, to))
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
  return error;
}

QString ErrorText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

QString RenameErrorText(int error) {
  return error == EEXIST ? QStringLiteral("a file or folder of that name exists")
                         : ErrorText(error);
}

QString AlbumTitle(const QString& artist, const QString& album) {
  return QStringLiteral("\u3010") + artist + QStringLiteral("\u3011") + album;
}

std::optional<QString> AlbumTitleOfFile(const QByteArray& path, bool readUnicode) {
  if (!IsFile(path)) return std::nullopt;
  std::optional<QString> title;
  const std::string bytes = path.toStdString();
  TID3v1 v1;
  if (v1.LoadFromFile(bytes) && v1.Exists() && !v1.Artist().empty() && !v1.Album().empty())
    title = AlbumTitle(DecodeText(v1.Artist()), DecodeText(v1.Album()));
  if (readUnicode) {
    TID3v2Text v2;
    if (LoadID3v2Text(bytes, v2) && v2.Exists && !v2.Fields.Text(TField::Artist).isEmpty() &&
        !v2.Fields.Text(TField::Album).isEmpty())
      title = AlbumTitle(v2.Fields.Text(TField::Artist), v2.Fields.Text(TField::Album));
    return title;
  }
  TID3v2 v2;
  if (v2.LoadFromFile(bytes) && v2.Exists() && !v2.Artist().empty() && !v2.Album().empty())
    title = AlbumTitle(DecodeText(v2.Artist()), DecodeText(v2.Album()));
  return title;
}

}  // namespace melotag::editor
