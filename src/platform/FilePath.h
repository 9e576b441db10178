// Paths as the file system takes them: bytes, whatever encoding their names have.
#pragma once

#include <QByteArray>

// Absolute (against the working folder) and cleaned of ".", ".." and doubled separators; an
// empty path stays empty. No component is resolved through the file system. When the working
// folder cannot be read, a relative path is only cleaned (it still names the same file).
QByteArray AbsoluteFilePath(const QByteArray& path);
