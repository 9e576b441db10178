// Name repair against convmv: the same legacy-named trees, one repaired by convmv, one by the
// editor with the same code page, must end with the same names, byte for byte. Names only in the
// code page they were written in: a byte sequence without a character is where the two part ways
// (convmv writes U+FFFD, the editor leaves the name alone).
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include <cerrno>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CodePage.h"
#include "NameRepair.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

// Writes the files, each with the folders it is in.
void MakeTree(const QByteArray& root, const QList<QByteArray>& files) {
  for (const QByteArray& file : files) {
    for (qsizetype slash = file.indexOf('/'); slash >= 0; slash = file.indexOf('/', slash + 1)) {
      const QByteArray folder = root + '/' + file.left(slash);
      ASSERT_TRUE(::mkdir(folder.constData(), 0755) == 0 || errno == EEXIST);
    }
    WriteFile(root + '/' + file, file);
  }
}

}  // namespace

TEST(NameRepairPeer, GivesTheNamesConvmvGives) {
  const QString convmv = QStandardPaths::findExecutable("convmv");
  if (convmv.isEmpty()) GTEST_SKIP() << "convmv is not installed (scripts/install-deps)";
  const struct {
    int CodePage;
    const char* Charset;  // Perl's name of it
    QList<const char16_t*> Names;
  } cases[] = {
      // Trail bytes 0x5C ("\") in 許, 功, 蓋; ASCII between the characters.
      {950,
       "cp950",
       {u"周杰倫/范特西/愛在西元前.mp3", u"周杰倫/七里香.mp3", u"許功蓋.mp3", u"鋼琴曲 No.1.mp3",
        u"後來 (Live).mp3"}},
      {936,
       "cp936",
       {u"刘若英/我们没有在一起/晴天的歌.mp3", u"刘若英/后来.mp3", u"一·二·三.mp3",
        u"欢乐颂 Op.125.mp3", u"喆瓛.mp3"}},
      // Trail bytes 0x5C in ソ, 表, 能; half-width katakana; the wave dash of code page 932.
      {932,
       "cp932",
       {u"宇多田ヒカル/First Love/さくら.mp3", u"宇多田ヒカル/Ｆｉｒｓｔ.mp3", u"ソ表示 能.mp3",
        u"ｶﾗｵｹ～.mp3", u"①②③.mp3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Charset);
    const TCodePageCodec codec(c.CodePage);
    // Names left alone: UTF-8 and ASCII, and a legacy name in a UTF-8 folder.
    QList<QByteArray> files = {
        QString::fromUtf16(u"晴天.mp3").toUtf8(), "Yesterday.mp3",
        QString::fromUtf16(u"歌/").toUtf8() +
            QByteArray::fromStdString(codec.Encode(QString::fromUtf16(u"七.mp3")))};
    for (const char16_t* name : c.Names)
      files << QByteArray::fromStdString(codec.Encode(QString::fromUtf16(name)));
    const TByteTempDir ours, theirs;
    ASSERT_TRUE(ours.IsValid() && theirs.IsValid());
    MakeTree(ours.Path(), files);
    MakeTree(theirs.Path(), files);
    ASSERT_EQ(TreeOf(ours.Path()), TreeOf(theirs.Path()));

    QList<QByteArray> paths;
    for (const QByteArray& file : files) paths << ours.Path(file);
    const TNameRepairResult result = ApplyNameRepairs(PlanNameRepairs(paths, c.CodePage, true));
    EXPECT_TRUE(result.Failed.isEmpty());

    QProcess peer;
    peer.start(convmv, {"-f", c.Charset, "-t", "utf8", "--notest", "-r",
                        QString::fromLocal8Bit(theirs.Path())});
    ASSERT_TRUE(peer.waitForFinished(60000));
    ASSERT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().constData();
    EXPECT_EQ(TreeOf(ours.Path()), TreeOf(theirs.Path()));
    // Every listed file is where PathsAfter says, with its content.
    const QList<QByteArray> after = PathsAfter(paths, result.Done);
    for (int i = 0; i < files.size(); ++i) EXPECT_EQ(ReadFile(after[i]), files[i]);
  }
}
