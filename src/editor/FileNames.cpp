#include "FileNames.h"

namespace melotag::editor {

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

}  // namespace melotag::editor
