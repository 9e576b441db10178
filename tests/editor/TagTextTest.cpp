// The tags of one file as text: codec crossings, the panel's texts and save rules, the batch
// values, the ID3v1 cut at whole characters, the read-only test. Real files; mutagen reads back
// what is written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include <QString>

#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "TagTestSupport.h"
#include "TagText.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace melotag::editor;
using namespace tagtest;

namespace {

class TagTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.Path("song.mp3");
    WriteBytes(path, audio);
  }
  QByteArray Path() const { return QByteArray::fromStdString(path); }

  TTempDir dir;
  std::string audio = MpegAudio(4);
  std::string path;
};

// --- Cutting ID3v1 texts

struct TCutCase {
  const char* Name;
  int CodePage;
  std::string Bytes;
  int Width;
  std::string Expected;
};

TEST(CutAtCharacter, EndsOnAWholeCharacter) {
  const std::string big5Zhong = "\xA4\xA4";  // 中 in Big5: its trail byte is a lead byte too
  std::string big5Line = "a";  // "a" + 15 x 中: the last character spans bytes 30, 31
  for (int i = 0; i < 15; ++i) big5Line += big5Zhong;
  std::string utf8Line = "a";  // "a" + 10 x 中 in UTF-8: the last spans bytes 29 to 31
  for (int i = 0; i < 10; ++i) utf8Line += "\xE4\xB8\xAD";
  const std::string gbkLine =
      std::string(15, 'y') + "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xB5\xC4\xD2\xBB\xB6\xCE\xBA\xDC";
  const TCutCase cases[] = {
      {"Big5 character straddling byte 30", 950, big5Line, 30, big5Line.substr(0, 29)},
      {"Big5 text that fits", 950, big5Line.substr(1), 30, big5Line.substr(1)},
      {"Big5 text of 30 bytes exactly", 950, big5Line.substr(0, 29) + "b", 30,
       big5Line.substr(0, 29) + "b"},
      {"Big5 year of full-width digits", 950, "\xA2\xB1\xA2\xAF\xA2\xAF\xA2\xB2", 4,
       "\xA2\xB1\xA2\xAF"},
      {"Big5 year after one ASCII digit", 950, "2\xA2\xAF\xA2\xAF", 4, "2\xA2\xAF"},
      // 15 ASCII bytes + 简体中文的一段很 (16 bytes): 很 spans bytes 30, 31
      {"GBK character straddling byte 30", 936, gbkLine, 30, gbkLine.substr(0, 29)},
      {"GBK odd start", 936, "x" + std::string(28, 'y') + "\xD6\xD0", 30,
       "x" + std::string(28, 'y')},
      {"Shift_JIS character straddling byte 30", 932, std::string(29, 'a') + "\x93\xFA", 30,
       std::string(29, 'a')},
      {"Korean character straddling byte 30", 949, std::string(29, 'a') + "\xC7\xD1", 30,
       std::string(29, 'a')},
      {"lone lead byte at the end cut off with its neighbour", 950,
       std::string(29, 'a') + "\xA4" + "b", 30, std::string(29, 'a')},
      {"UTF-8 sequence straddling byte 30", 65001, utf8Line, 30, utf8Line.substr(0, 28)},
      {"UTF-8 four-byte sequence", 65001, std::string(27, 'a') + "\xF0\x9F\x8E\xB5", 30,
       std::string(27, 'a')},
      {"UTF-8 stray continuation bytes are single characters", 65001,
       std::string(29, 'a') + "\x80\x80", 30, std::string(29, 'a') + "\x80"},
      {"UTF-8 bytes under a single-byte code page", 1252, utf8Line, 30, utf8Line.substr(0, 30)},
      {"plain ASCII", 1252, std::string(31, 'a'), 30, std::string(30, 'a')},
      {"short text unchanged", 950, "\xA4\xA4", 30, "\xA4\xA4"},
  };
  for (const TCutCase& c : cases)
    EXPECT_EQ(Hex(CutAtCharacter(c.Bytes, c.Width, c.CodePage)), Hex(c.Expected)) << c.Name;
}

// --- Panel rules without files

TEST(TrackOfText, TheExactWriteTakesWholeNumbersInTheirLowEightBitsATrailerOneToTwoFiftyFive) {
  const struct {
    const char* Text;
    int Exact;
    int V1;
  } cases[] = {{"7", 7, 7},
               {"255", 255, 255},
               {"300", 44, 0},
               {"256", 0, 0},
               {" 12 ", 12, 12},
               {"0", 0, 0},
               {"-5", 0, 0},
               {"", 0, 0},
               {"abc", 0, 0},
               {"3/12", 3, 3},
               {" 4 / 12 ", 4, 4},
               {"4/", 4, 0},
               {"4/x", 4, 0},
               {"/12", 0, 0},
               {"12a", 0, 0},
               {"1.5", 0, 0},
               {"+9", 9, 0},
               {"007", 7, 7},
               {"99999999999999999999", 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ExactTrackOf(U(c.Text)), c.Exact) << c.Text;
    EXPECT_EQ(V1TrackOf(U(c.Text)), c.V1) << c.Text;
  }
}

TEST(GenreChoices, EmptyEntryThenTheNamesInTableOrder) {
  const QStringList choices = GenreChoices();
  ASSERT_EQ(choices.size(), 149);
  EXPECT_EQ(choices[0], QString());
  EXPECT_EQ(choices[1], U("Blues"));
  EXPECT_EQ(choices[18], U("Rock"));
  EXPECT_EQ(choices[148], U("Synthpop"));
}

TEST(GenrePositions, MapBothWays) {
  const struct {
    int Position;
    int Index;
    const char* Name;
  } positions[] = {{-1, 255, ""},    {0, 255, ""},           {1, 0, "Blues"},
                   {18, 17, "Rock"}, {148, 147, "Synthpop"}, {149, 255, ""}};
  for (const auto& p : positions) {
    EXPECT_EQ(GenreIndexOfPosition(p.Position), p.Index) << p.Position;
    EXPECT_EQ(GenreNameOfPosition(p.Position), p.Name) << p.Position;
  }
  const struct {
    int Index;
    int Position;
  } indexes[] = {{0, 1}, {17, 18}, {147, 148}, {148, -1}, {200, -1}, {255, -1}};
  for (const auto& i : indexes) EXPECT_EQ(GenrePositionOfIndex(i.Index), i.Position) << i.Index;
  const struct {
    const char* Name;
    int Position;
  } names[] = {{"Rock", 18}, {"rOCK", 18},         {"SYNTHPOP", 148}, {"R&B", 15},
               {"", 0},      {"Rock and more", 0}, {"(17)", 0},       {"\xAC\x79\xA6\xE6", 0}};
  for (const auto& n : names) EXPECT_EQ(GenrePositionOfName(n.Name), n.Position) << n.Name;
}

TEST(BatchTrack, PositionPlusOneTheExactWriteInLowEightBits) {
  EXPECT_EQ(BatchTrack(0), 1);
  EXPECT_EQ(BatchTrack(255), 256);
  EXPECT_EQ(ExactBatchTrack(0), 1);
  EXPECT_EQ(ExactBatchTrack(9), 10);
  EXPECT_EQ(ExactBatchTrack(254), 255);
  EXPECT_EQ(ExactBatchTrack(255), 0);  // the 256th file: no track
  EXPECT_EQ(ExactBatchTrack(256), 1);
}

TEST(AlbumTitleOf, BracketsArtistBeforeAlbum) {
  EXPECT_EQ(AlbumTitleOf(U("周杰倫"), U("葉惠美")), U("【周杰倫】葉惠美"));
  EXPECT_EQ(AlbumTitleOf(U("A"), QString()), QString());
  EXPECT_EQ(AlbumTitleOf(QString(), U("B")), QString());
}

// --- What the panel shows

TEST_F(TagTextTest, Id3v1ViewShowsTrackZeroAndGenresInRangeOnly) {
  const struct {
    std::string Trailer;
    const char* Version;
    const char* Track;
    const char* Genre;
  } cases[] = {
      {Trailer("T", "comment", 0, 0, 17), "1.0", "0", "Rock"},
      {Trailer("T", "comment", 0, 5, 147), "1.1", "5", "Synthpop"},
      {Trailer("T", "comment", 0, 5, 148), "1.1", "5", ""},
      {Trailer("T", "comment", 0, 5, 200), "1.1", "5", ""},
      {Trailer("T", "comment", 0, 5, 255), "1.1", "5", ""},
  };
  for (const auto& c : cases) {
    WriteBytes(path, audio + c.Trailer);
    TID3v1 tag;
    ASSERT_TRUE(tag.LoadFromFile(path));
    const TTagView view = ViewOf(tag);
    EXPECT_TRUE(view.Exists);
    EXPECT_EQ(view.ExistsText, U("Yes"));
    EXPECT_EQ(view.VersionText, U(c.Version));
    EXPECT_EQ(view.SizeText, QString());
    EXPECT_EQ(view.Fields.Text(TField::Title), U("T"));
    EXPECT_EQ(view.Fields.Text(TField::Comment), U("comment"));
    EXPECT_EQ(view.Fields.Text(TField::Track), U(c.Track));
    EXPECT_EQ(view.Fields.Text(TField::Genre), U(c.Genre)) << c.Version << c.Track;
  }
}

TEST_F(TagTextTest, Id3v2ViewShowsVersionSizeTrackAboveZeroAndGenreNames) {
  const struct {
    std::string Tag;
    const char* Version;
    const char* Track;
    const char* Genre;
  } cases[] = {
      {Tag(Frame("TIT2", std::string("\0T", 2)) + Frame("TCON", std::string("\0rock", 5))), "2.3",
       "", "rock"},
      {Tag(Frame("TRCK", std::string("\0"
                                     "3/12",
                                     5)) +
           Frame("TCON", std::string("\0(17)Rock", 9))),
       "2.3", "3", "Rock"},
      {Tag(Frame("TCON", std::string("\0Unknown", 8))), "2.3", "", "Unknown"},
      {Tag(Frame("TIT2", std::string("\0T", 2)), 4), "2.4", "", ""},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.Tag + audio);
    TID3v2 tag;
    ASSERT_TRUE(tag.LoadFromFile(path));
    const TTagView view = ViewOf(tag);
    EXPECT_EQ(view.ExistsText, U("Yes"));
    EXPECT_EQ(view.VersionText, U(c.Version));
    EXPECT_EQ(view.SizeText, QString::number(c.Tag.size()) + " bytes");
    EXPECT_EQ(view.Fields.Text(TField::Track), U(c.Track));
    EXPECT_EQ(view.Fields.Text(TField::Genre), U(c.Genre)) << c.Version << c.Track;
  }
}

TEST_F(TagTextTest, FileWithoutTheTagShowsNoAndEmptyFields) {
  TID3v1 v1;
  ASSERT_TRUE(v1.LoadFromFile(path));
  TID3v2 v2;
  ASSERT_TRUE(v2.LoadFromFile(path));
  for (const TTagView& view : {ViewOf(v1), ViewOf(v2)}) {
    EXPECT_FALSE(view.Exists);
    EXPECT_EQ(view.ExistsText, U("No"));
    EXPECT_EQ(view.VersionText, QString());
    EXPECT_EQ(view.SizeText, QString());
    EXPECT_FALSE(view.Fields.Any());
  }
}

// --- Texts under Chinese code pages

struct TChineseCase {
  const char* CodePage;
  std::string Title, Artist, Album, Year, Comment;  // code-page bytes
  const char* TitleText;                            // what the panel shows, UTF-8
};

const TChineseCase kChinese[] = {
    // 950: 晴天, 周杰倫, 葉惠美, 2003, 許功蓋 (trail bytes 0x5C) and a lone lead byte at the end
    {"950", "\xB4\xB8\xA4\xD1", "\xA9\x50\xAA\x4E\xAD\xDB", "\xB8\xAD\xB4\x66\xAC\xFC", "2003",
     "\xB3\x5C\xA5\x5C\xBB\x5C \xA4", "晴天"},
    // 936: 晴天, 周杰伦, 叶惠美, 2003, 中文 and a byte that is no GBK character
    {"936", "\xC7\xE7\xCC\xEC", "\xD6\xDC\xBD\xDC\xC2\xD7", "\xD2\xB6\xBB\xDD\xC3\xC0", "2003",
     "\xD6\xD0\xCE\xC4 \xFF", "晴天"},
};

TEST_F(TagTextTest, ChineseTextsGoRoundBothTagsByteForByte) {
  for (const TChineseCase& c : kChinese) {
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    TID3v2 v2;
    v2.SetTitle(c.Title);
    v2.SetArtist(c.Artist);
    v2.SetAlbum(c.Album);
    v2.SetTrack(7);
    v2.SetYear(c.Year);
    v2.SetGenre("Pop");
    v2.SetComment(c.Comment);
    TID3v1 v1;
    v1.SetTitle(c.Title);
    v1.SetArtist(c.Artist);
    v1.SetAlbum(c.Album);
    v1.SetTrack(7);
    v1.SetYear(c.Year);
    v1.SetGenreIndex(13);
    v1.SetComment(c.Comment);
    WriteBytes(path, audio);
    ASSERT_TRUE(v1.WriteToFile(path));
    ASSERT_TRUE(v2.WriteToFile(path));
    const std::string before = ReadBytes(path);

    ASSERT_TRUE(v1.LoadFromFile(path));
    ASSERT_TRUE(v2.LoadFromFile(path));
    const TFieldValues fields1 = ViewOf(v1).Fields;
    const TFieldValues fields2 = ViewOf(v2).Fields;
    EXPECT_EQ(fields1.Text(TField::Title), U(c.TitleText)) << c.CodePage;
    EXPECT_EQ(fields2.Text(TField::Title), U(c.TitleText)) << c.CodePage;
    EXPECT_EQ(EncodeText(fields2.Text(TField::Artist)), c.Artist) << c.CodePage;

    TID3v1 out1;
    SetFromFields(out1, fields1);
    ASSERT_TRUE(out1.WriteToFile(path));
    ASSERT_TRUE(WriteID3v2(path, ChangesOf(fields2), {false, false, false}).Ok);
    EXPECT_EQ(Hex(ReadBytes(path)), Hex(before)) << c.CodePage;
  }
}

// --- Saving the panel

TEST_F(TagTextTest, PanelSaveCutsId3v1TextsAtWholeCharacters) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  // 十四個中文字元的一段很長的標題文字: 17 characters, 34 bytes
  const QString longTitle = U("十四個中文字元的一段很長的標題文字");
  TFieldValues fields{
      {TField::Title, U("a") + longTitle},    // 35 bytes: the 15th character spans bytes 30, 31
      {TField::Artist, longTitle},            // 34 bytes: 15 whole characters fit
      {TField::Album, U("Album   ")},         // trailing blanks go
      {TField::Year, U("２００３")},          // full-width digits, 8 bytes
      {TField::Comment, U("x") + longTitle},  // with a track: 28 bytes hold "x" + 13 characters
      {TField::Track, U("300")},
      {TField::Genre, QString()}};
  TID3v1 beyond;
  SetFromFields(beyond, fields);
  EXPECT_EQ(beyond.Track(), 0);  // a trailer holds no track above 255
  TID3v1 tag;
  SetFromFields(tag, fields, true);
  const std::string titleBytes = EncodeText(longTitle);
  EXPECT_EQ(Hex(tag.Title()), Hex("a" + titleBytes.substr(0, 28)));
  EXPECT_EQ(Hex(tag.Artist()), Hex(titleBytes.substr(0, 30)));
  EXPECT_EQ(tag.Album(), "Album");
  EXPECT_EQ(Hex(tag.Year()), Hex("\xA2\xB1\xA2\xAF"));
  EXPECT_EQ(Hex(tag.Comment()), Hex("x" + titleBytes.substr(0, 26)));
  EXPECT_EQ(tag.Track(), 44);
  EXPECT_EQ(tag.GenreIndex(), 255);

  // Read back by mutagen, the audio untouched.
  ASSERT_TRUE(tag.WriteToFile(path));
  TValues read = MutagenRead(path, true);
  EXPECT_EQ(Hex(read["title"]), Hex(tag.Title()));
  EXPECT_EQ(Hex(read["artist"]), Hex(tag.Artist()));
  EXPECT_EQ(read["album"], "Album");
  EXPECT_EQ(read["track"], "44");
  EXPECT_EQ(Hex(read["comment"]), Hex(tag.Comment()));
  EXPECT_EQ(read.count("genre"), 0u);
  EXPECT_EQ(ReadBytes(path).substr(0, audio.size()), audio);
}

TEST_F(TagTextTest, PanelSaveWithoutTrackKeepsThirtyBytesOfComment) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TFieldValues fields{{TField::Comment, U("十四個中文字元的一段很長的標題文字")},
                      {TField::Track, U("0")}};
  TID3v1 tag;
  SetFromFields(tag, fields);
  EXPECT_EQ(tag.Comment().size(), 30u);
  EXPECT_EQ(tag.Track(), 0);
}

TEST_F(TagTextTest, PanelSaveWritesBothTagsMutagenReadsThem) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  TFieldValues fields{{TField::Title, U("Café title")}, {TField::Artist, U("Müller")},
                      {TField::Album, U("Album Æ")},    {TField::Track, U("7")},
                      {TField::Year, U("2001")},        {TField::Genre, U("Rock")},
                      {TField::Comment, U("Fine été")}};
  TID3v1 v1;
  SetFromFields(v1, fields);
  ASSERT_TRUE(v1.WriteToFile(path));
  ASSERT_TRUE(WriteID3v2(path, ChangesOf(fields), {false, false, false}).Ok);
  for (bool trailer : {false, true}) {
    TValues read = MutagenRead(path, trailer);
    EXPECT_EQ(read["title"], "Caf\xE9 title") << trailer;
    EXPECT_EQ(read["artist"], "M\xFCller") << trailer;
    EXPECT_EQ(read["album"], "Album \xC6") << trailer;
    EXPECT_EQ(read["track"], "7") << trailer;
    EXPECT_EQ(read["year"], "2001") << trailer;
    EXPECT_EQ(read["genre"], "Rock") << trailer;
    EXPECT_EQ(read["comment"], "Fine \xE9t\xE9") << trailer;
  }
  EXPECT_EQ(MutagenRead(path)["version"], "2.3");
  WriteBytes(dir.Path("audio.mp3"), audio);
  EXPECT_EQ(AudioMd5(path), AudioMd5(dir.Path("audio.mp3")));
}

// --- Batch values

class BatchValuesTest : public TagTextTest {
 protected:
  // A file with both tags, every field given.
  void OldTags(const std::string& name, const std::string& title, const std::string& comment) {
    TID3v1 v1;
    v1.SetTitle(title);
    v1.SetArtist("Old artist");
    v1.SetAlbum("Old album");
    v1.SetYear("1999");
    v1.SetComment(comment);
    v1.SetGenreIndex(13);
    TID3v2 v2;
    v2.SetTitle(title);
    v2.SetArtist("Old artist");
    v2.SetAlbum("Old album");
    v2.SetTrack(4);
    v2.SetYear("1999");
    v2.SetGenre("Pop");
    v2.SetComment(comment);
    WriteBytes(dir.Path(name), audio);
    ASSERT_TRUE(v1.WriteToFile(dir.Path(name)));
    ASSERT_TRUE(v2.WriteToFile(dir.Path(name)));
  }
  QByteArray PathOf(const std::string& name) const {
    return QByteArray::fromStdString(dir.Path(name));
  }
  // The ID3v2 tag the exact batch write (the options unticked, or reading Unicode alone) gives a
  // copy of the file; none when the write fails.
  std::optional<TID3v2> ExactV2(const std::string& name, const TBatchChoices& choices,
                                const QString& line, int position, bool readUnicode = false) {
    std::string target = dir.Path(name);
    if (name.find('\0') == std::string::npos && std::filesystem::is_regular_file(target)) {
      target = dir.Path("exact-copy.mp3");
      WriteBytes(target, ReadBytes(dir.Path(name)));
    }
    const TUnicodeOptions options{readUnicode, false, false};
    if (!WriteBatchID3v2(QByteArray::fromStdString(target), choices, line, position, options).Ok)
      return std::nullopt;
    TID3v2 v2;
    if (!v2.LoadFromFile(target)) return std::nullopt;
    return v2;
  }
};

TEST_F(BatchValuesTest, UntickedFieldsKeepTheOldBytesTickedOnesTakeTheValue) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  OldTags("old.mp3", "\xB4\xB8\xA4\xD1 \xA4", "\xB3\x5C\xA5\x5C");
  TBatchChoices none;
  TID3v1 v1;
  SetBatchValues(v1, PathOf("old.mp3"), none, U("line"), 3);
  EXPECT_EQ(Hex(v1.Title()), Hex("\xB4\xB8\xA4\xD1 \xA4"));
  EXPECT_EQ(v1.Artist(), "Old artist");
  EXPECT_EQ(v1.Track(), 0);
  EXPECT_EQ(v1.GenreIndex(), 13);
  EXPECT_EQ(Hex(v1.Comment()), Hex("\xB3\x5C\xA5\x5C"));
  std::optional<TID3v2> v2 = ExactV2("old.mp3", none, U("line"), 3);
  ASSERT_TRUE(v2);
  EXPECT_EQ(Hex(v2->Title()), Hex("\xB4\xB8\xA4\xD1 \xA4"));
  EXPECT_EQ(v2->Track(), 4);
  EXPECT_EQ(v2->Genre(), "Pop");

  TBatchChoices all;
  all.TitleFromList = true;
  all.Values[TField::Artist] = U("周杰倫");
  all.Values[TField::Album] = QString();  // ticked and empty: the album goes
  all.NumberTracks = true;
  all.Values[TField::Year] = U("2003");
  all.Values[TField::Genre] = U("Rock");
  all.Values[TField::Comment] = U("New");
  SetBatchValues(v1, PathOf("old.mp3"), all, U("晴天"), 9);
  EXPECT_EQ(Hex(v1.Title()), Hex("\xB4\xB8\xA4\xD1"));
  EXPECT_EQ(Hex(v1.Artist()), Hex("\xA9\x50\xAA\x4E\xAD\xDB"));
  EXPECT_EQ(v1.Album(), "");
  EXPECT_EQ(v1.Track(), 10);
  EXPECT_EQ(v1.Year(), "2003");
  EXPECT_EQ(v1.GenreIndex(), 17);
  EXPECT_EQ(v1.Comment(), "New");
  v2 = ExactV2("old.mp3", all, U("晴天"), 9);
  ASSERT_TRUE(v2);
  EXPECT_EQ(Hex(v2->Title()), Hex("\xB4\xB8\xA4\xD1"));
  EXPECT_EQ(v2->Album(), "");
  EXPECT_EQ(v2->Track(), 10);
  EXPECT_EQ(v2->Genre(), "Rock");
  all.Values[TField::Genre] = QString();
  SetBatchValues(v1, PathOf("old.mp3"), all, U("晴天"), 255, true);
  v2 = ExactV2("old.mp3", all, U("晴天"), 255);
  ASSERT_TRUE(v2);
  EXPECT_EQ(v1.Track(), 0);
  EXPECT_EQ(v1.GenreIndex(), 255);
  EXPECT_EQ(v2->Track(), 0);
  EXPECT_EQ(v2->Genre(), "");
}

TEST_F(BatchValuesTest, OldValuesAreEmptyWithoutAReadableTagOfTheVersion) {
  WriteBytes(dir.Path("none.mp3"), audio);
  WriteBytes(dir.Path("short.mp3"), "ID3");
  WriteBytes(dir.Path("v24.mp3"), Tag(Frame("TIT2", std::string("\0Old", 4)), 4) + audio +
                                      Trailer("", "", 0, 0, 255).replace(3, 3, "Old"));
  // A zero byte would cut the path to old.mp3, whose tags are not this file's.
  OldTags("old.mp3", "Old", "Old");
  const std::string zero = std::string("old.mp3\0", 8) + "x";
  const std::string names[] = {"none.mp3", "short.mp3", "v24.mp3", "missing.mp3", zero};
  for (const std::string& name : names) {
    TID3v1 v1;
    v1.SetTitle("stale");  // nothing of an earlier file survives
    v1.SetTrack(3);
    TBatchChoices artist;
    artist.Values[TField::Artist] = U("A");
    // A file too short for a header, a missing one and a cut path are not written.
    const std::optional<TID3v2> v2 = ExactV2(name, artist, QString(), 0);
    EXPECT_EQ(v2.has_value(), name == "none.mp3" || name == "v24.mp3") << name;
    if (v2) {
      EXPECT_EQ(v2->Title(), "") << name;
      EXPECT_EQ(v2->Track(), 0) << name;
      EXPECT_EQ(v2->Genre(), "") << name;
      EXPECT_EQ(v2->Artist(), "A") << name;
    }
    if (name == "v24.mp3") continue;  // its trailer is fine
    SetBatchValues(v1, PathOf(name), artist, QString(), 0);
    EXPECT_EQ(v1.Title(), "") << name;
    EXPECT_EQ(v1.Track(), 0) << name;
    EXPECT_EQ(v1.GenreIndex(), 255) << name;
    EXPECT_EQ(v1.Artist(), "A") << name;
  }
}

// A trailer whose texts are another code page's keeps them rather than take the current code
// page's bytes beside them; numbers still change, and the exact write keeps its rule.
TEST_F(BatchValuesTest, ATrailerInAnotherCodePageKeepsItsTexts) {
  const struct {
    const char* Name;
    const char* CodePage;
    int TrailerCodePage;
    bool Exact, Kept;
  } cases[] = {{"GBK under 950", "950", 936, false, true},
               {"GBK under 936", "936", 936, false, false},
               {"Big5 under 950", "950", 950, false, false},
               {"GBK under 950, exact", "950", 936, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    const bool gbk = c.TrailerCodePage == 936;
    const std::string title = Cp(gbk ? u"后来的我们" : u"後來的我們", c.TrailerCodePage);
    const std::string artist = Cp(gbk ? u"刘若英" : u"劉若英", c.TrailerCodePage);
    TID3v1 old;
    old.SetTitle(title);
    old.SetArtist(artist);
    WriteBytes(dir.Path("t.mp3"), audio);
    ASSERT_TRUE(old.WriteToFile(dir.Path("t.mp3")));
    TBatchChoices choices;
    choices.Values[TField::Artist] = U(u"周杰倫");
    choices.Values[TField::Track] = U(u"5");
    bool kept = false;
    ASSERT_TRUE(WriteBatchID3v1(PathOf("t.mp3"), choices, QString(), 0, c.Exact, &kept));
    EXPECT_EQ(kept, c.Kept);
    TID3v1 v1;
    ASSERT_TRUE(v1.LoadFromFile(dir.Path("t.mp3")));
    EXPECT_EQ(Hex(v1.Title()), Hex(title));
    EXPECT_EQ(Hex(v1.Artist()), Hex(c.Kept ? artist : EncodeText(U(u"周杰倫"))));
    EXPECT_EQ(v1.Track(), 5);
  }
}

TEST_F(BatchValuesTest, NumberingTracksCutsAnOldLongCommentAtAWholeCharacter) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  // "x" + 14 Big5 characters = 29 bytes: fits a trailer without track, not one with.
  const std::string comment = "x" + EncodeText(U("十四個中文字元的一段很長的標"));
  ASSERT_EQ(comment.size(), 29u);
  OldTags("old.mp3", "T", comment);
  TBatchChoices tracks;
  tracks.NumberTracks = true;
  TID3v1 v1;
  SetBatchValues(v1, PathOf("old.mp3"), tracks, QString(), 0);
  EXPECT_EQ(Hex(v1.Comment()), Hex(comment.substr(0, 27)));
  ASSERT_TRUE(v1.WriteToFile(dir.Path("old.mp3")));
  TID3v1 back;
  ASSERT_TRUE(back.LoadFromFile(dir.Path("old.mp3")));
  EXPECT_EQ(Hex(back.Comment()), Hex(comment.substr(0, 27)));
  EXPECT_EQ(back.Track(), 1);
}

TEST_F(BatchValuesTest, FileNamedInBig5IsReachedByItsBytes) {
  const std::string name = "\xB4\xB8\xA4\xD1.mp3";  // not UTF-8
  OldTags(name, "Old", "");
  TBatchChoices artist;
  artist.Values[TField::Artist] = U("New");
  ASSERT_TRUE(WriteBatchID3v2(PathOf(name), artist, QString(), 0, {false, false, false}).Ok);
  TValues read = MutagenRead(dir.Path(name));
  EXPECT_EQ(read["title"], "Old");
  EXPECT_EQ(read["artist"], "New");
  EXPECT_EQ(AudioMd5(dir.Path(name)), AudioMd5(path));  // song.mp3 holds the audio alone
}

// --- Files

TEST_F(TagTextTest, ReadOnlyMeansNoOwnerWritePermission) {
  const struct {
    const char* Name;
    unsigned Mode;
  } files[] = {{"writable", 0644}, {"readonly", 0444}, {"writeonly", 0200}};
  for (const auto& f : files) {
    WriteBytes(dir.Path(f.Name), "x");
    ASSERT_EQ(chmod(dir.Path(f.Name).c_str(), f.Mode), 0);
  }
  ASSERT_EQ(mkdir(dir.Path("folder").c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.Path("readonly").c_str(), dir.Path("link").c_str()), 0);
  ASSERT_EQ(symlink(dir.Path("gone").c_str(), dir.Path("dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("pipe").c_str(), 0644), 0);
  const struct {
    const char* Name;
    bool Exists;
    bool ReadOnly;
  } cases[] = {{"writable", true, false}, {"readonly", true, true}, {"writeonly", true, false},
               {"link", true, true},      {"pipe", true, false},    {"missing", false, true},
               {"dangling", false, true}, {"folder", false, false}};
  for (const auto& c : cases) {
    const QByteArray p = QByteArray::fromStdString(dir.Path(c.Name));
    EXPECT_EQ(FileExists(p), c.Exists) << c.Name;
    EXPECT_EQ(IsReadOnlyFile(p), c.ReadOnly) << c.Name;
  }
  EXPECT_FALSE(FileExists(QByteArray()));
  EXPECT_TRUE(IsReadOnlyFile(QByteArray()));
  // A zero byte would cut the path to the folder, which is writable.
  const QByteArray zero = QByteArray::fromStdString(path) + '\0' + "/x";  // would name song.mp3
  EXPECT_FALSE(FileExists(zero));
  EXPECT_TRUE(IsReadOnlyFile(QByteArray::fromStdString(dir.Path("folder")) + '\0' + "/x"));
}

}  // namespace

TEST_F(BatchValuesTest, AFixedTrackReachesEveryFileUnlessTracksAreNumbered) {
  OldTags("old.mp3", "T", "C");
  struct TCase {
    bool Number;
    const char* Track;  // none: not ticked
    int Position;
    uint8_t Expected;
  } cases[] = {{false, "12", 5, 12}, {false, "", 5, 0}, {true, "12", 5, 6}, {false, nullptr, 5, 4}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expected);
    TBatchChoices choices;
    choices.NumberTracks = c.Number;
    if (c.Track) choices.Values[TField::Track] = U(c.Track);
    TID3v1 v1;
    SetBatchValues(v1, PathOf("old.mp3"), choices, QString(), c.Position);
    for (const bool readUnicode : {false, true}) {
      const std::optional<TID3v2> v2 =
          ExactV2("old.mp3", choices, QString(), c.Position, readUnicode);
      ASSERT_TRUE(v2);
      EXPECT_EQ(v2->Track(), c.Expected) << readUnicode;
    }
    // The old trailer has no track: it is 0 there when none is given.
    EXPECT_EQ(v1.Track(), c.Track || c.Number ? c.Expected : 0);
  }
}
