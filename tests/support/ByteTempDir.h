// A temporary folder for files whose names are bytes that are not UTF-8. QTemporaryDir cannot
// remove such names (Qt's paths are text); this folder is made and removed through the bytes.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

class TByteTempDir {
 public:
  TByteTempDir() {
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/melotag-XXXXXX";
    if (mkdtemp(pattern.data())) FPath = pattern;
  }
  ~TByteTempDir() {
    if (FPath.isEmpty()) return;
    // Children first, links not followed.
    nftw(
        FPath.constData(),
        [](const char* path, const struct stat*, int, struct FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  TByteTempDir(const TByteTempDir&) = delete;
  TByteTempDir& operator=(const TByteTempDir&) = delete;

  bool IsValid() const { return !FPath.isEmpty(); }
  // The folder's path, and the path of a name in it.
  const QByteArray& Path() const { return FPath; }
  QByteArray Path(const QByteArray& name) const { return FPath + '/' + name; }

 private:
  QByteArray FPath;
};
