// Files named by the exact bytes of their paths (QFile cannot open a name that is not UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstdio>

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
