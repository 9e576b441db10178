// Paths as the file system takes them: bytes, whatever encoding their names have.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>

// Absolute (against the working folder) and cleaned of ".", ".." and doubled separators; an
// empty path stays empty. No component is resolved through the file system. When the working
// folder cannot be read, a relative path is only cleaned (it still names the same file).
QByteArray AbsoluteFilePath(const QByteArray& path);

// A path the system can take: not empty, and without a zero byte (the system would read the path
// only up to it and so name another file).
bool IsUsablePath(const QByteArray& path);
// The status of the file a path names, links followed; nullopt when there is none or the path is
// not usable.
std::optional<struct stat> PathStatus(const QByteArray& path);

// "Archive alone": gives the owner write permission and changes nothing else. A link is never
// followed: its target keeps its permissions (false). False when the permissions could not be
// changed.
bool SetArchiveOnly(const QByteArray& path);
bool SetArchiveOnly(const QString& path);

// The file exists without the owner's write permission (what "archive alone" gives back).
bool IsReadOnlyPath(const QByteArray& path);
bool IsReadOnlyPath(const QString& path);

// Writes a whole file under a temporary name in its folder and renames it over `path` when it is
// complete, so that the old file stays as it was when any step fails. `mode`: the permission bits
// of a new file. Empty when written, otherwise the reason (strerror text).
QString WriteFileAtomically(const QByteArray& path, const QByteArray& data, unsigned mode = 0644);
// Reads the whole of a regular file (links followed) into `bytes`. Empty when read, otherwise the
// system's reason (strerror text; "not a regular file" for a folder, a device or a pipe; EFBIG's
// for a file of more than `maxSize` bytes when that is not negative, which is not read).
QString ReadWholeFile(const QByteArray& path, QByteArray& bytes, qint64 maxSize = -1);
// Makes a folder and the folders on its way (mode 0755); empty when it exists afterwards,
// otherwise the reason, naming the part that could not be made.
QString MakeFolders(const QByteArray& path);
