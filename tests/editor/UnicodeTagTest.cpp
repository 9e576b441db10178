// Unicode text in ID3v2 tags: frame strings decoded in every encoding (bad ones as far as they
// are sound), the seven values of 2.3 and 2.4 tags, and 2.3 tags written with UTF-16 where the
// code page falls short and with the frames the user did not touch.
#include <gtest/gtest.h>

#include "CodePage.h"
#include "EnvScope.h"
#include "ID3v2.h"
#include "QtPrinters.h"
#include "TagTestSupport.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace melotag::editor;
using namespace melotag::tags;
using namespace tagtest;

namespace {

template <size_t N>
std::string B(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

QString U(const char16_t* text) {
  return QString::fromUtf16(text);
}

// A 2.4 frame: ID, synchsafe size, no flags, data.
std::string Frame24(const std::string& id, const std::string& data) {
  return id + SyncSafe(static_cast<uint32_t>(data.size())) + B("\0\0") + data;
}

struct TDecodeCase {
  const char* name;
  uint8_t encoding;
  std::string bytes;
  QString text;
};

TEST(FrameText, DecodesEveryEncodingAndReplacesWhatIsNotSound) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  const TDecodeCase cases[] = {
      {"code page", 0, "Caf\xE9", U(u"Café")},
      {"code page byte of no character travels as its escape", 0, "\x81", U(u"\xDC81")},
      {"UTF-16 little-endian mark", 1, B("\xFF\xFE\x2D\x4E\x3D\xD8\x00\xDE"), U(u"中😀")},
      {"UTF-16 big-endian mark", 1, B("\xFE\xFF\x4E\x2D"), U(u"中")},
      {"UTF-16 without a mark, little-endian", 1, B("A\0B\0"), U(u"AB")},
      {"UTF-16 without a mark, big-endian", 1, B("\0A\0B"), U(u"AB")},
      {"UTF-16 of odd length", 1,
       B("\xFF\xFE"
         "A\0B"),
       U(u"A\xFFFD")},
      {"UTF-16 lone surrogates", 1,
       B("\xFF\xFE\x3D\xD8"
         "A\0\x00\xDE"),
       U(u"\xFFFD"
         "A\xFFFD")},
      {"UTF-16 mark alone", 1, B("\xFF\xFE"), QString()},
      {"UTF-16BE", 2, B("\x4E\x2D\0A"), U(u"中A")},
      {"UTF-8", 3, "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x8E\xB5", U(u"日本🎵")},
      {"UTF-8 with a mark", 3, "\xEF\xBB\xBFx", U(u"x")},
      {"UTF-8 broken sequence", 3, "\xC3(", U(u"\xFFFD(")},
  };
  for (const TDecodeCase& c : cases)
    EXPECT_EQ(DecodeFrameString(c.encoding, c.bytes), c.text) << c.name;
  // Overlong forms and encoded surrogates are no characters.
  for (const char* bytes : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    const QString text = DecodeFrameString(3, bytes);
    EXPECT_FALSE(text.isEmpty());
    for (QChar c : text) EXPECT_EQ(c.unicode(), 0xFFFD) << Hex(bytes);
  }
  // Strings of a text frame are joined; each UTF-16 string has a mark of its own.
  EXPECT_EQ(TextOfTextFrame(B("\x01\xFF\xFE"
                              "a\0\0\0\xFE\xFF\0b\0\0")),
            U(u"a/b"));
  EXPECT_EQ(TextOfTextFrame(B("\x03"
                              "a\0b")),
            U(u"a/b"));
}

TEST(FrameText, ValuesOf23And24Tags) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  TFrameTag tag;
  ParseFrameTag(Tag(Frame("TIT2", B("\x01\xFF\xFE\x2D\x4E\x87\x65\0\0")) +
                    Frame("TPE1", B("\x02\x30\xA2\0 ")) +
                    Frame("TRCK", B("\x01\xFF\xFE"
                                    "3\0/\0"
                                    "9\0")) +
                    Frame("TYER", B("\0"
                                    "1999")) +
                    Frame("TCON", B("\0(17)Rock")) +
                    Frame("COMM", B("\x01"
                                    "eng\xFF\xFE"
                                    "d\0\0\0\xFF\xFE"
                                    "x\0")) +
                    Frame("COMM", B("\x01"
                                    "eng\0\0\xFF\xFE"
                                    "c\0")) +
                    Frame("COMM", B("\x01"
                                    "eng\xFF\xFE"
                                    "e\0\0\0\xFF\xFE"
                                    "y\0"))),
                tag);
  TID3v2Text text = TextOf(tag);
  EXPECT_TRUE(text.Exists);
  EXPECT_EQ(text.Version, 3);
  EXPECT_EQ(text.Fields.Text(TField::Title), U(u"中文"));
  EXPECT_EQ(text.Fields.Text(TField::Artist), U(u"ア"));
  EXPECT_EQ(text.Fields.Text(TField::Track), "3/9");
  EXPECT_EQ(text.Fields.Text(TField::Year), "1999");
  EXPECT_EQ(text.Fields.Text(TField::Genre), "Rock");
  EXPECT_EQ(text.Fields.Text(TField::Comment), "c") << "the comment without a description";
  EXPECT_EQ(ChosenComment(tag), 6);

  ParseFrameTag(Tag(Frame24("TIT2", "\x03\xF0\x9F\x98\x80") +
                        Frame24("TDRC",
                                "\x03"
                                "2004-05") +
                        Frame24("TCON",
                                "\x03"
                                "17") +
                        Frame24("COMM", B("\x03"
                                          "eng"
                                          "iTunNORM\0 0000")),
                    4),
                tag);
  text = TextOf(tag);
  EXPECT_EQ(text.Version, 4);
  EXPECT_EQ(text.Fields.Text(TField::Title), U(u"😀"));
  EXPECT_EQ(text.Fields.Text(TField::Year), "2004-05");
  EXPECT_EQ(text.Fields.Text(TField::Genre), "Rock") << "2.4 names a genre by its number";
  EXPECT_EQ(text.Fields.Text(TField::Comment), "0000")
      << "no comment without a description: the last one";

  ParseFrameTag(Tag(B("TT2\0\0\x02\0a"), 2), tag);
  text = TextOf(tag);
  EXPECT_TRUE(text.Exists);
  EXPECT_EQ(text.Version, 2);
  EXPECT_EQ(text.Fields.Text(TField::Title), "a")
      << "2.2 frames read as the 2.3 frames they stand for";
}

TEST(FrameText, GenreReferencesNameTheirGenre) {
  const std::pair<const char*, const char*> cases[] = {
      {"(17)", "Rock"},         {"(17)Rock", "Rock"},
      {"17", "Rock"},           {"(17)(18)", "Techno"},
      {"(RX)", "Remix"},        {"(CR)", "Cover"},
      {"Mandopop", "Mandopop"}, {"Rock (Live)", "Rock (Live)"},
      {"(200)", "200"},         {"", ""},
  };
  for (const auto& [stored, shown] : cases) {
    TFrameTag tag;
    ParseFrameTag(Tag(Frame("TCON", std::string(1, '\0') + stored)), tag);
    EXPECT_EQ(TextOf(tag).Fields.Text(TField::Genre), QString::fromLatin1(shown)) << stored;
  }
}

TEST(FrameText, CompressedFramesAreReadEncryptedOnesAreNot) {
  const QByteArray packed = qCompress(QByteArray("\0Compressed title", 17));  // size, then zlib
  const std::string zlib = packed.mid(4).toStdString();
  const std::string size23 = packed.left(4).toStdString();
  TFrameTag tag;
  // 2.3: compressed (0x0080), the data's size in four plain bytes before the zlib data.
  ParseFrameTag(Tag(Frame("TIT2", size23 + zlib, 0x0080) + Frame("TPE1", B("\0x"), 0x0040)), tag);
  EXPECT_EQ(TextOf(tag).Fields.Text(TField::Title), "Compressed title");
  EXPECT_EQ(TextOf(tag).Fields.Text(TField::Artist), "") << "encrypted";
  // 2.4: compressed (0x0008) with its data-length indicator (0x0001), synchsafe.
  std::string frame =
      "TIT2" + SyncSafe(static_cast<uint32_t>(4 + zlib.size())) + B("\0\x09") + SyncSafe(17) + zlib;
  ParseFrameTag(Tag(frame, 4), tag);
  EXPECT_EQ(TextOf(tag).Fields.Text(TField::Title), "Compressed title");
  // A size no stream of that length inflates to, or a stream that ends short of its size, is
  // read as nothing (and costs no more memory than the frame could inflate to).
  for (const std::string& size : {std::string("\x7F\xFF\xFF\xFF"), std::string("\0\0\0\x20")}) {
    ParseFrameTag(Tag(Frame("TIT2", size + zlib, 0x0080)), tag);
    EXPECT_EQ(TextOf(tag).Fields.Text(TField::Title), "");
  }
}

TEST(FrameText, CompressedFramesInflateWithinTheirBounds) {
  constexpr size_t MiB = 1 << 20;
  const std::string title = CompressedFrame("TIT2", B("\0Packed"));
  const auto zeros = [](size_t size) { return CompressedFrame("PRIV", "", size); };
  const std::string sixteen = zeros(16 * MiB);
  const struct {
    const char* Name;
    std::string Frames;
    QStringList TooLarge;
    QString Title;
  } cases[] = {
      {"a frame of 16 MiB inflates", sixteen + title, {}, "Packed"},
      {"a byte more is too large", zeros(16 * MiB + 1) + title, {"PRIV"}, "Packed"},
      {"a text frame beyond 16 MiB reads as nothing",
       CompressedFrame("TIT2", B("\0Packed"), 16 * MiB),
       {"TIT2"},
       ""},
      {"64 MiB of a tag inflate, in frame order",
       sixteen + sixteen + sixteen + sixteen + title + zeros(1),
       {"TIT2", "PRIV"},
       ""},
      {"a frame too large counts for nothing",
       zeros(17 * MiB) + sixteen + sixteen + sixteen + zeros(16 * MiB - 7) + title,
       {"PRIV"},
       "Packed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFrameTag tag;
    ParseFrameTag(Tag(c.Frames), tag);
    const TID3v2Text text = TextOf(tag);
    EXPECT_EQ(text.TooLarge, c.TooLarge);
    EXPECT_EQ(text.Fields.Text(TField::Title), c.Title);
    const TFrameContents contents(tag);
    for (int i = 0; i < static_cast<int>(tag.Frames.size()); ++i)
      EXPECT_EQ(contents.Of(i).has_value(), !contents.IsTooLarge(i)) << i;
  }
}

TEST(FrameText, CodePageCanEncode) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  EXPECT_TRUE(CodePageCanEncode(U(u"Café \xDC81")));
  EXPECT_FALSE(CodePageCanEncode(U(u"中")));
  EXPECT_FALSE(CodePageCanEncode(U(u"😀")));
  TEnvScope big5("MELOTAG_CODEPAGE", "950");
  EXPECT_TRUE(CodePageCanEncode(U(u"中文")));
  EXPECT_FALSE(CodePageCanEncode(U(u"한국")));
}

// Random damage to tags: decoded as far as it is sound and written again into a tag that
// reads back whole (the sanitizers watch every step).
TEST(FrameText, RandomDamageIsDecodedAndWrittenWithoutHarm) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const std::string seeds[] = {
      Tag(Frame("TIT2", B("\x01\xFF\xFE\x2D\x4E\0\0")) + Frame("TPE1", B("\x02\x30\xA2")) +
          Frame("COMM", B("\x01"
                          "eng\xFF\xFE\0\0\xFF\xFE"
                          "c\0")) +
          Frame("TCON", B("\0(17)\xA4\xA4")) + Frame("APIC", B("\0image/png\0\x03\0\x89"))),
      Tag(Frame24("TIT2", "\x03\xE4\xB8\xAD") +
              Frame24("TDRC",
                      "\x03"
                      "2004") +
              Frame24("TCON",
                      "\x03"
                      "17") +
              Frame24("COMM", B("\x03"
                                "eng\0\xF0\x9F\x98\x80")) +
              Frame24("TXXX", B("\x03"
                                "a\0b")) +
              Frame24("RVA2", "x"),
          4),
  };
  std::mt19937 random(1410);
  for (int round = 0; round < 5000; ++round) {
    const std::string bytes = Damaged(seeds[round % std::size(seeds)], random);
    TFrameTag tag;
    ParseFrameTag(bytes, tag);
    const TID3v2Text text = TextOf(tag);
    // Every field written back as the default write does it.
    std::erase_if(tag.Frames, [](const TFrame& frame) { return frame.Truncated; });
    ApplyChanges(tag, ChangesOf(text.Fields), TextConventionOf(tag));
    const std::optional<std::string> built = BuildTag(tag.Frames, tag.Version == 4 ? 4 : 3);
    ASSERT_TRUE(built) << Hex(bytes);
    TFrameTag again;
    ParseFrameTag(*built, again);
    ASSERT_FALSE(again.Damaged) << Hex(bytes);
    (void)TextOf(again);
  }
}

class UnicodeWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.Path("song.mp3");
    values.Fields[TField::Title] = U(u"Title ");
    values.Fields[TField::Artist] = U(u"Café");
    values.Fields[TField::Album] = U(u"Album");
    values.Fields[TField::Track] = QStringLiteral("7");
    values.Fields[TField::Year] = "2001";
    values.Fields[TField::Genre] = "Rock";
    values.Fields[TField::Comment] = "Fine";
  }
  // What the file's tag is, frame by frame.
  TFrameTag Written() {
    TFrameTag tag;
    EXPECT_TRUE(ReadFrameTag(path, tag));
    return tag;
  }
  std::vector<std::string> Ids(const TFrameTag& tag) {
    std::vector<std::string> ids;
    for (const TFrame& frame : tag.Frames) ids.push_back(frame.Id);
    return ids;
  }
  TEnvScope codePage{"MELOTAG_CODEPAGE", "1252"};
  TTempDir dir;
  std::string path;
  std::string audio = MpegAudio(3);
  TID3v2Text values;
};

TEST_F(UnicodeWrite, WithoutUnicodeTextTheBytesAreThoseOfTheTagClass) {
  TID3v2 v2;
  v2.SetTitle(EncodeText(values.Fields.Text(TField::Title)));
  v2.SetArtist(EncodeText(values.Fields.Text(TField::Artist)));
  v2.SetAlbum(EncodeText(values.Fields.Text(TField::Album)));
  v2.SetTrack(ExactTrackOf(values.Fields.Text(TField::Track)));
  v2.SetYear(EncodeText(values.Fields.Text(TField::Year)));
  v2.SetGenre(EncodeText(values.Fields.Text(TField::Genre)));
  v2.SetComment(EncodeText(values.Fields.Text(TField::Comment)));
  WriteBytes(path, audio);
  ASSERT_TRUE(v2.WriteToFile(path));
  const std::string expected = ReadBytes(path);
  // Text the code page holds is written the same with the option; so is an empty tag.
  for (bool unicode : {false, true}) {
    WriteBytes(path, audio);
    ASSERT_TRUE(WriteID3v2(path, ChangesOf(values.Fields), {false, unicode, false}).Ok);
    EXPECT_EQ(Hex(ReadBytes(path)), Hex(expected)) << unicode;
  }
  WriteBytes(path, audio);
  ASSERT_TRUE(WriteID3v2(path, {}, {false, true, false}).Ok);
  EXPECT_EQ(ReadBytes(path), B("ID3\x03\0\0\0\0\0\0") + audio);
}

TEST_F(UnicodeWrite, OnlyTextTheCodePageCannotHoldGoesAsUtf16) {
  values.Fields[TField::Title] = U(u"中文 ");
  values.Fields[TField::Album] = U(u"💿");  // its low surrogate lies where the escapes do
  values.Fields[TField::Comment] = U(u"日本 \xDC81");
  WriteBytes(path, audio);
  ASSERT_TRUE(WriteID3v2(path, ChangesOf(values.Fields), {false, true, false}).Ok);
  TFrameTag tag = Written();
  ASSERT_EQ(Ids(tag),
            (std::vector<std::string>{"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"}));
  EXPECT_EQ(Hex(tag.Frames[0].Data), Hex(B("\x01\xFF\xFE\x2D\x4E\x87\x65")));
  EXPECT_EQ(Hex(tag.Frames[1].Data), Hex(B("\0Caf\xE9")));
  EXPECT_EQ(Hex(tag.Frames[2].Data), Hex(B("\x01\xFF\xFE\x3D\xD8\xBF\xDC")));
  // An escape stands for a byte of no character, which UTF-16 cannot hold.
  EXPECT_EQ(Hex(tag.Frames[6].Data),
            Hex(B("\x01"
                  "eng\xFF\xFE\0\0\xFF\xFE\xE5\x65\x2C\x67\x20\0\xFD\xFF")));
  EXPECT_EQ(TextOf(tag).Fields.Text(TField::Title), U(u"中文"));
  EXPECT_EQ(ReadBytes(path).substr(static_cast<size_t>(tag.TagSize)), audio);

  // Under Big5 the same title is code-page text.
  TEnvScope big5("MELOTAG_CODEPAGE", "950");
  WriteBytes(path, audio);
  ASSERT_TRUE(WriteID3v2(path, ChangesOf(values.Fields), {false, true, false}).Ok);
  EXPECT_EQ(Hex(Written().Frames[0].Data), Hex(B("\0\xA4\xA4\xA4\xE5")));
}

TEST_F(UnicodeWrite, TheExactWriteLeavesTheSevenFramesAlone) {
  const std::string others = Frame("APIC", B("\0image/jpeg\0\x03\0\xFF\xD8\xFF\0")) +
                             Frame("COMM", B("\0eng"
                                             "note\0described")) +
                             Frame("TXXX", B("\x01\xFF\xFEM\0\0\0\xFF\xFEx\0"));
  WriteBytes(path, Tag(Frame("TIT2", B("\0old")) + Frame("COMM", B("\0eng\0old")) + others +
                       std::string(100, '\0')) +
                       audio);
  const TWriteOutcome outcome = WriteID3v2(path, ChangesOf(values.Fields), {true, false, false});
  ASSERT_TRUE(outcome.Ok);
  EXPECT_EQ(outcome.Dropped, 0);
  const std::string seven = Tag(Frame("TIT2", B("\0Title")) + Frame("TPE1", B("\0Caf\xE9")) +
                                Frame("TALB", B("\0Album")) +
                                Frame("TRCK", B("\0"
                                                "7")) +
                                Frame("TYER", B("\0"
                                                "2001")) +
                                Frame("TCON", B("\0Rock")) + Frame("COMM", B("\0eng\0Fine")));
  EXPECT_EQ(Hex(ReadBytes(path)), Hex(seven + audio));
}

TEST_F(UnicodeWrite, AFileThatCannotBeWrittenStaysAsItWas) {
  for (const TUnicodeOptions options : {TUnicodeOptions{true, true, true}, TUnicodeOptions{}}) {
    EXPECT_FALSE(WriteID3v2(dir.Path("missing.mp3"), ChangesOf(values.Fields), options).Ok);
    WriteBytes(path, "ID3");
    EXPECT_FALSE(WriteID3v2(path, ChangesOf(values.Fields), options).Ok);
  }
  EXPECT_EQ(ReadBytes(path), "ID3");
  TID3v2Text text;
  EXPECT_FALSE(LoadID3v2Text(path, text));
}

}  // namespace
