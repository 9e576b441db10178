// Files named by the exact bytes of their paths (QFile cannot open a name that is not UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>

#include <ftw.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

// Something of that name, a dangling link included.
inline bool Exists(const QByteArray& path) {
  struct stat status;
  return ::lstat(path.constData(), &status) == 0;
}

// Writes the whole file; fails the test when it cannot.
inline void WriteFile(const QByteArray& path, const QByteArray& data = "data") {
  FILE* out = fopen(path.constData(), "wb");
  ASSERT_NE(out, nullptr) << path.toHex().constData();
  ASSERT_EQ(fwrite(data.constData(), 1, size_t(data.size()), out), size_t(data.size()));
  fclose(out);
}

// The whole file; empty when it cannot be read.
inline QByteArray ReadFile(const QByteArray& path) {
  QByteArray data;
  if (FILE* in = fopen(path.constData(), "rb")) {
    char buffer[256];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, in)) > 0;)
      data.append(buffer, qsizetype(n));
    fclose(in);
  }
  return data;
}

// Makes a folder; fails the test when it cannot.
inline void MakeFolder(const QByteArray& path) {
  ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.toHex().constData();
}

// Every file and folder below `root` (links not followed), as paths relative to it, sorted by
// their bytes; a folder ends with "/".
inline QList<QByteArray> TreeOf(const QByteArray& root) {
  static thread_local QList<QByteArray>* found;
  static thread_local qsizetype skip;
  QList<QByteArray> tree;
  found = &tree;
  skip = root.size() + 1;
  nftw(
      root.constData(),
      [](const char* path, const struct stat*, int type, struct FTW* at) {
        if (at->level > 0) found->append(QByteArray(path).mid(skip) + (type == FTW_D ? "/" : ""));
        return 0;
      },
      16, FTW_PHYS);
  std::sort(tree.begin(), tree.end());
  return tree;
}
