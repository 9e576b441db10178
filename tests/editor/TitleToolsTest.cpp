// The title list's tools on lines, the GBK/Big5 conversion of lines under every kind of code page,
// and reading title-list files, bad ones included.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "QtPrinters.h"
#include "TitleTools.h"

using namespace melotag::editor;

namespace {

// A character that did not decode: the escape of its byte.
QString Escape(unsigned char byte) {
  return QString(QChar(char16_t(0xDC00 + byte)));
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

TEST(TitleToolsTest, ZeroPadCountsTheTrimmedText) {
  const struct {
    QString Text;
    int Width;
    QString Padded;
  } cases[] = {
      {"7", 2, "07"},      {"12", 2, "12"},  {"123", 2, "123"},
      {"", 2, "00"},       {" 7", 2, "0 7"},  // the untrimmed text gets the zeros
      {"7\t", 3, "007\t"}, {"9", 0, "9"},
  };
  for (const auto& c : cases) EXPECT_EQ(ZeroPad(c.Text, c.Width), c.Padded) << c.Text.toStdString();
}

TEST(TitleToolsTest, ItemNumbersGrowPastTwoDigitsAndCombineWithAMark) {
  QStringList lines;
  for (int i = 0; i < 101; ++i) lines << "t";
  const QStringList numbered = AddItemNumbers(lines);
  ASSERT_EQ(numbered.size(), 101);
  EXPECT_EQ(numbered[0], "01t");
  EXPECT_EQ(numbered[8], "09t");
  EXPECT_EQ(numbered[9], "10t");
  EXPECT_EQ(numbered[98], "99t");
  EXPECT_EQ(numbered[99], "100t");
  EXPECT_EQ(AddItemNumbers(AddMark({"Song A", "Song B"}, ".")),
            (QStringList{"01.Song A", "02.Song B"}));
  EXPECT_EQ(AddMark({"a", ""}, " - "), (QStringList{" - a", " - "}));
  EXPECT_EQ(AddItemNumbers({}), QStringList());
}

TEST(TitleToolsTest, DeletingACharacterTakesAWholeOne) {
  const QString grin = U("\xF0\x9F\x98\x80");  // beyond 16 bits: a surrogate pair
  const struct {
    QString Line, Left, Right;
  } cases[] = {
      {"abc", "bc", "ab"},
      {"", "", ""},
      {"a", "", ""},
      {U("中文"), U("文"), U("中")},
      {grin + "x" + grin, "x" + grin, grin + "x"},
      {Escape(0xA4) + "A" + Escape(0xFF), "A" + Escape(0xFF), Escape(0xA4) + "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line.toStdString());
    EXPECT_EQ(DeleteFirstCharacter({c.Line}), QStringList{c.Left});
    EXPECT_EQ(DeleteLastCharacter({c.Line}), QStringList{c.Right});
  }
}

TEST(TitleToolsTest, DeletingACharacterNeverLeavesHalfOfOneInTheCodePageBytes) {
  const struct {
    int CodePage;
    QByteArray Line, Left, Right;
  } cases[] = {
      // Big5 "中文A": a lone lead or trail byte would be a corrupted title.
      {950,
       "\xA4\xA4\xA4\xE5"
       "A",
       "\xA4\xE5"
       "A",
       "\xA4\xA4\xA4\xE5"},
      {950, "A\xA4\xA4", "\xA4\xA4", "A"},
      // GBK "啊b".
      {936,
       "\xB0\xA1"
       "b",
       "b", "\xB0\xA1"},
      // UTF-8 "é中": two and three bytes.
      {65001, "\xC3\xA9\xE4\xB8\xAD", "\xE4\xB8\xAD", "\xC3\xA9"},
      // A byte that is no character stays one byte.
      {950,
       "\xFF"
       "ab",
       "ab",
       "\xFF"
       "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    const TCodePageCodec codec(c.CodePage);
    const QStringList line{codec.Decode(c.Line.toStdString())};
    EXPECT_EQ(codec.Encode(DeleteFirstCharacter(line)[0]), c.Left.toStdString());
    EXPECT_EQ(codec.Encode(DeleteLastCharacter(line)[0]), c.Right.toStdString());
  }
}

TEST(TitleToolsTest, TitlesComeFromTheCaptionsBeforeTheFirstMp3) {
  const struct {
    QString Caption;
    std::optional<QString> Title;
  } cases[] = {
      {"Track 01.mp3", "Track 01"}, {"b.MP3.bak.mp3", "b"},     {"x.mP3", "x"},        {".mp3", ""},
      {U("中文.MP3"), U("中文")},   {"song.mp4", std::nullopt}, {"mp3", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TitleOfCaption(c.Caption), c.Title) << c.Caption.toStdString();
  // A caption without ".mp3" gives no line: the later ones move up.
  EXPECT_EQ(TitlesOfCaptions({"a.mp3", "notes.txt", "c.MP3"}), (QStringList{"a", "c"}));
}

TEST(TitleToolsTest, Big5AndGbkLinesAreConvertedByteByByteOnTheirCodePages) {
  const struct {
    int CodePage;
    TChineseConversion Conversion;
    QByteArray Line, Converted;
  } cases[] = {
      {950, TChineseConversion::Big5ToGbk, "\xA4\xA4 A", "\xD6\xD0 A"},          // 中
      {950, TChineseConversion::Big5ToGbk, "\xF9\xD6", "??"},                    // no GBK partner
      {950, TChineseConversion::Big5ToGbk, "abc\xA4", "abc"},                    // a lone lead byte
      {950, TChineseConversion::Big5ToGbk, QByteArray("\xA4\x41"), "\xD2\xD2"},  // any trail: 乙
      {950, TChineseConversion::Big5ToGbk, QByteArray("\x81\x41"), "\x81\x41"},  // no such code
      {950, TChineseConversion::GbkToBig5, "??", "??"},
      {936, TChineseConversion::GbkToBig5, "\xB2\xA2", "\xA8\xC3"},  // first of its run
      {936, TChineseConversion::GbkToBig5, "Song 1", "Song 1"},
      {936, TChineseConversion::Big5ToGbk, "\xA4\x40", "\xD2\xBB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line.toHex().toStdString());
    const TCodePageCodec codec(c.CodePage);
    const QStringList out =
        ConvertLines({codec.Decode(c.Line.toStdString()), ""}, c.Conversion, c.CodePage);
    ASSERT_EQ(out.size(), 2);
    EXPECT_EQ(codec.Encode(out[0]), c.Converted.toStdString());
    EXPECT_EQ(out[1], "");
  }
  EXPECT_EQ(ConvertLines({}, TChineseConversion::GbkToBig5, 950), QStringList());
}

TEST(TitleToolsTest, OnOtherCodePagesCharactersAreConvertedOneByOne) {
  const QString unchanged = U("Ab é €") + Escape(0xA4) + U("\xF0\x9F\x98\x80");
  const struct {
    TChineseConversion Conversion;
    QString Line, Converted;
  } cases[] = {
      {TChineseConversion::GbkToBig5, U("并"), U("並")},  // GBK B2A2 -> Big5 A8C3
      {TChineseConversion::Big5ToGbk, U("並"), U("并")},
      {TChineseConversion::Big5ToGbk, U("國 Song"), U("国 Song")},
      {TChineseConversion::Big5ToGbk, U("碁"), "??"},     // Big5 F9D6: no GBK partner
      {TChineseConversion::Big5ToGbk, U("ヾ"), U("ヾ")},  // Big5 C6A1: not in the table
      {TChineseConversion::Big5ToGbk, unchanged, unchanged},
      {TChineseConversion::GbkToBig5, unchanged, unchanged},
  };
  for (int codePage : {1252, 65001, 1251}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(codePage);
      SCOPED_TRACE(c.Line.toStdString());
      EXPECT_EQ(ConvertLines({c.Line}, c.Conversion, codePage), QStringList{c.Converted});
    }
  }
}

TEST(TitleToolsTest, TitleFilesSplitAtEveryLineEndAndStopAtAZeroByte) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    QByteArray Bytes;
    QStringList Lines;
  } cases[] = {
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a"}},
      {"", {}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\n#EXTM3U x", {"a", "", "#EXTM3U x"}},
      {QByteArray("a\r\nb\0c\nd", 8), {"a", "b"}},
      {QByteArray("\0abc", 4), {}},
      {"\n\r", {"", ""}},  // LF, then CR: two line ends
  };
  const TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bytes.toHex().toStdString());
    const QString path = dir.filePath("list.txt");
    ASSERT_TRUE(WriteBytes(path, c.Bytes));
    const TTitleFile file = ReadTitleFile(QFile::encodeName(path));
    EXPECT_EQ(file.Error, 0);
    EXPECT_EQ(file.Lines, c.Lines);
  }
}

TEST(TitleToolsTest, TitleFilesAreDecodedByTheCodePage) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("big5.txt");
  ASSERT_TRUE(WriteBytes(path, "\xA4\xA4\xA4\xE5\r\n\xFF"));
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  EXPECT_EQ(ReadTitleFile(QFile::encodeName(path)).Lines, (QStringList{U("中文"), Escape(0xFF)}));
}

TEST(TitleToolsTest, BadTitleFilesGiveTheirReason) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray folder = QFile::encodeName(dir.path());
  const QByteArray pipe = folder + "/pipe.txt";
  ASSERT_EQ(::mkfifo(pipe.constData(), 0644), 0);
  const struct {
    QByteArray Path;
    int Error;
  } cases[] = {
      {folder + "/missing.txt", ENOENT},
      {folder, EISDIR},
      {pipe, EINVAL},  // no waiting for a writer
      {QByteArray(), ENOENT},
      {QByteArray("/tmp\0x", 6), EINVAL},
  };
  for (const auto& c : cases) {
    const TTitleFile file = ReadTitleFile(c.Path);
    EXPECT_EQ(file.Error, c.Error) << c.Path.constData();
    EXPECT_TRUE(file.Lines.isEmpty());
  }
}

TEST(TitleToolsTest, AMillionLinesAreRead) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("big.txt");
  QByteArray bytes;
  for (int i = 0; i < 1000000; ++i) bytes += "Title " + QByteArray::number(i) + "\r\n";
  ASSERT_TRUE(WriteBytes(path, bytes));
  const TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  const TTitleFile file = ReadTitleFile(QFile::encodeName(path));
  EXPECT_EQ(file.Error, 0);
  ASSERT_EQ(file.Lines.size(), 1000000);
  EXPECT_EQ(file.Lines.last(), "Title 999999");
}
