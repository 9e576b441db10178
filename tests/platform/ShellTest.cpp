// What the shell does for the program: the archive attribute and the read-only test.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "Shell.h"

TEST(Shell, ArchiveOnlyAddsTheOwnersWritePermissionAndNothingElse) {
  QTemporaryDir dir;
  const QString path = dir.filePath("song.mp3");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  using P = QFileDevice;
  const struct {
    QFile::Permissions Before, After;
  } cases[] = {
      {P::ReadOwner, P::ReadOwner | P::WriteOwner},
      {P::ReadOwner | P::ReadGroup | P::ReadOther,
       P::ReadOwner | P::WriteOwner | P::ReadGroup | P::ReadOther},
      {P::ReadOwner | P::WriteOwner | P::ExeOwner, P::ReadOwner | P::WriteOwner | P::ExeOwner},
  };
  const QFile::Permissions unixBits = P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup |
                                      P::WriteGroup | P::ExeGroup | P::ReadOther | P::WriteOther |
                                      P::ExeOther;
  for (const auto& c : cases) {
    ASSERT_TRUE(QFile::setPermissions(path, c.Before));
    EXPECT_EQ(IsReadOnlyPath(path), !c.Before.testFlag(P::WriteOwner));
    EXPECT_TRUE(SetArchiveOnly(path));
    EXPECT_FALSE(IsReadOnlyPath(path));
    EXPECT_EQ(QFile::permissions(path) & unixBits, c.After);
  }
  EXPECT_FALSE(SetArchiveOnly(dir.filePath("missing.mp3")));
  EXPECT_FALSE(IsReadOnlyPath(dir.filePath("missing.mp3")));
}
