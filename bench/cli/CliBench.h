// What the tool's benchmarks share.
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The MP3 files of a folder, by name.
inline QStringList Mp3s(const QString& folder) {
  QStringList files;
  for (const QString& name : QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name))
    files << QDir(folder).filePath(name);
  return files;
}
