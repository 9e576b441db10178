// The frame reader of 2.3 and 2.4 tags, the 2.4 to 2.3 frame conversion and the 2.3 tag
// builder; bad input read as far as it is sound, random damage never a crash or an overrun.
#include <gtest/gtest.h>

#include <random>

#include "ID3v2Frames.h"
#include "TagTestSupport.h"

using namespace tagtest;
using namespace melotag::tags;

namespace {

// The bytes of a literal, zero bytes included.
template <size_t N>
std::string B(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

// A 2.4 frame: ID, synchsafe size, flags, data.
std::string Frame24(const std::string& id, const std::string& data, uint16_t flags = 0) {
  return id + SyncSafe(static_cast<uint32_t>(data.size())) + static_cast<char>(flags >> 8) +
         static_cast<char>(flags & 0xFF) + data;
}

// A header with the given version and flags byte declaring body.size(), then body.
std::string TagWithFlags(const std::string& body, uint8_t version, uint8_t flags) {
  std::string tag = Tag(body, version);
  tag[5] = static_cast<char>(flags);
  return tag;
}

std::vector<std::string> Ids(const TFrameTag& tag) {
  std::vector<std::string> ids;
  for (const TFrame& frame : tag.Frames) ids.push_back(frame.Id);
  return ids;
}

struct TParseCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> ids;
  std::string firstData;  // Data of the first frame
  bool damaged;
};

TEST(FrameReader, ReadsFramesOfEveryLayoutInOrder) {
  const std::string big(300, 'x');  // a size that differs as synchsafe and as plain number
  const TParseCase cases[] = {
      {"2.3 frames, then padding",
       Tag(Frame("TIT2", B("\x01\xFF\xFE"
                           "A\0")) +
           Frame("APIC", "pic") + std::string(20, '\0')),
       {"TIT2", "APIC"},
       B("\x01\xFF\xFE"
         "A\0"),
       false},
      {"2.3 whole tag unsynchronised",
       // The frame's size counts the bytes as they are before unsynchronisation.
       TagWithFlags(B("PRIV"
                      "\0\0\0\x02"
                      "\0\0"
                      "\xFF\0\xE0"),
                    3, 0x80),
       {"PRIV"},
       "\xFF\xE0",
       false},
      {"2.3 extended header (size without itself)",
       TagWithFlags(B("\0\0\0\x06"
                      "\0\0"
                      "\0\0\0\0") +
                        Frame("TALB", B("\0x")),
                    3, 0x40),
       {"TALB"},
       B("\0x"),
       false},
      {"2.4 synchsafe sizes",
       Tag(Frame24("TIT2", "\x03" + big) + Frame24("TPE1", "\x03y"), 4),
       {"TIT2", "TPE1"},
       "\x03" + big,
       false},
      {"2.4 size stored as a plain number",
       Tag("TIT2" + B("\0\0\x01\x2D\0\0") + "\x03" + big + Frame24("TPE1", "\x03y"), 4),
       {"TIT2", "TPE1"},
       "\x03" + big,
       true},
      {"2.4 size with a top bit set",
       Tag("TIT2" + B("\0\0\0\x81\0\0") + "\x03" + std::string(128, 'z'), 4),
       {"TIT2"},
       "\x03" + std::string(128, 'z'),
       true},
      {"2.4 frame unsynchronised",
       Tag(Frame24("PRIV", B("a\xFF\0\xFFz"), kFlag24Unsynchronised), 4),
       {"PRIV"},
       "a\xFF\xFFz",
       false},
      {"2.4 tag flag unsynchronises every frame",
       TagWithFlags(Frame24("PRIV", B("\xFF\0")), 4, 0x80),
       {"PRIV"},
       "\xFF",
       false},
      {"2.4 extended header (synchsafe, size with itself)",
       TagWithFlags(B("\0\0\0\x06\x01\0") + Frame24("TIT2", "\x03t"), 4, 0x40),
       {"TIT2"},
       "\x03t",
       false},
      {"a frame that runs past the tag keeps what the tag has",
       Tag(Frame("TIT2", B("\0a")) + "APIC" + B("\0\0\x10\0\0\0") + "JFIF", 3),
       {"TIT2", "APIC"},
       B("\0a"),
       true},
      {"a header that is no frame ends the scan",
       Tag(Frame("TIT2", B("\0a")) + "ti t" + std::string(20, 'x')),
       {"TIT2"},
       B("\0a"),
       true},
      {"2.2 frames come as the 2.3 frames they stand for",
       Tag(B("TT2\0\0\x02\0a") + B("TCP\0\0\x02\0") + "1", 2),
       {"TIT2", "TCMP"},
       B("\0a"),
       false},
      {"2.2 unsynchronised",
       TagWithFlags(B("TT2\0\0\x02\0\xFF\0"), 2, 0x80),
       {"TIT2"},
       B("\0\xFF"),
       false},
      {"2.2 with the undefined compression has nothing readable",
       TagWithFlags(B("TT2\0\0\x02\0a"), 2, 0x40),
       {},
       "",
       true},
  };
  for (const TParseCase& c : cases) {
    TFrameTag tag;
    ParseFrameTag(c.bytes, tag);
    EXPECT_TRUE(tag.Exists) << c.name;
    EXPECT_EQ(Ids(tag), c.ids) << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(Hex(tag.Frames[0].Data), Hex(c.firstData)) << c.name;
    }
    EXPECT_EQ(tag.Damaged, c.damaged) << c.name;
  }
}

TEST(FrameReader, FramesPastTheTagAreTruncatedAndNotLost) {
  TFrameTag tag;
  ParseFrameTag(Tag("APIC" + B("\0\0\x10\0\0\0") + "JFIF", 3), tag);
  ASSERT_EQ(tag.Frames.size(), 1u);
  EXPECT_TRUE(tag.Frames[0].Truncated);
  EXPECT_EQ(tag.Frames[0].Data, "JFIF");
}

TEST(FrameReader, SizeAgreesWithTheTagClassAndTheFooterIsPartOfTheTag) {
  TTempDir dir;
  const std::string body = Frame24("TIT2", "\x03t");
  const std::string path = dir.Path("footer.mp3");
  WriteBytes(path, TagWithFlags(body, 4, 0x10) + "3DI" + std::string(7, '\0') + MpegAudio(1));
  TFrameTag tag;
  ASSERT_TRUE(ReadFrameTag(path, tag));
  EXPECT_EQ(tag.TagSize, static_cast<int64_t>(10 + body.size()));
  EXPECT_EQ(tag.Size, static_cast<int64_t>(20 + body.size()));
  EXPECT_EQ(Ids(tag), std::vector<std::string>{"TIT2"});

  // A header that declares more than the file holds: size 0, as the tag class says, and the
  // frames there are.
  WriteBytes(path, Tag(Frame("TIT2", B("\0t")) + std::string(5, '\0')).substr(0, 23));
  ASSERT_TRUE(ReadFrameTag(path, tag));
  EXPECT_EQ(tag.TagSize, 0);
  EXPECT_EQ(Ids(tag), std::vector<std::string>{"TIT2"});

  WriteBytes(path, "ID3");
  EXPECT_FALSE(ReadFrameTag(path, tag));
  WriteBytes(path, MpegAudio(1));
  ASSERT_TRUE(ReadFrameTag(path, tag));
  EXPECT_FALSE(tag.Exists);
}

TEST(FrameReader, ContentSkipsGroupEncryptionAndDataLength) {
  TFrame frame{"TIT2", kFlag24Grouped | kFlag24DataLength, B("\x07\0\0\0\x02\x03t")};
  EXPECT_EQ(FrameContent(frame, 4), std::string_view("\x03t"));
  frame.Flags = kFlag24Compressed | kFlag24DataLength;
  EXPECT_EQ(FrameContent(frame, 4), std::nullopt);
  TFrame frame23{"TIT2", kFlag23Grouped, B("\x07\0t")};
  EXPECT_EQ(FrameContent(frame23, 3), std::string_view("\0t", 2));
  frame23.Flags = kFlag23Encrypted;
  EXPECT_EQ(FrameContent(frame23, 3), std::nullopt);
}

struct TConvertCase {
  const char* name;
  TFrame frame24;
  std::optional<std::string> data23;  // none: dropped
  uint16_t flags23;
};

TEST(FrameConversion, FramesThatMeanTheSameIn23AreCarriedWithUtf16Text) {
  const std::string bom = B("\xFF\xFE"), nul2 = B("\0\0");
  const TConvertCase cases[] = {
      {"TXXX in UTF-8",
       {"TXXX", 0,
        B("\x03"
          "M\0\xC3\xA9")},
       "\x01" + bom + B("M\0") + nul2 + bom + B("\xE9\0"),
       0},
      {"a text frame with two values keeps both",
       {"TPE2", 0,
        B("\x03"
          "a\0b")},
       "\x01" + bom + B("a\0") + nul2 + bom + B("b\0"),
       0},
      {"UTF-16BE becomes UTF-16 with a mark",
       {"TIT3", 0, B("\x02\0A")},
       "\x01" + bom + B("A\0"),
       0},
      {"APIC: MIME type stays Latin-1, description converted, picture byte for byte",
       {"APIC", 0,
        B("\x03"
          "image/png\0"
          "\x03"
          "\xE5\xB0\x81\0"
          "\x89PNG\0\xFF")},
       B("\x01"
         "image/png\0"
         "\x03") +
           bom + "\x01\x5C" + nul2 + B("\x89PNG\0\xFF"),
       0},
      {"USLT keeps its language",
       {"USLT", 0,
        B("\x03"
          "jpn\0la")},
       "\x01jpn" + bom + nul2 + bom + B("l\0a\0"),
       0},
      {"Latin-1 is carried as it is", {"COMM", 0, B("\0eng\0x")}, B("\0eng\0x"), 0},
      {"binary frames byte for byte; status flags move up one bit",
       {"PRIV", 0x4000, B("o\0\xFF")},
       B("o\0\xFF"),
       0x8000},
      {"a group byte stays in front",
       {"POPM", kFlag24Grouped, B("\x05m\0\x80")},
       B("\x05m\0\x80"),
       kFlag23Grouped},
      {"a data-length indicator goes", {"UFID", kFlag24DataLength, B("\0\0\0\x02id")}, "id", 0},
      {"invalid UTF-8 becomes U+FFFD",
       {"TXXX", 0, B("\x03\xC3(\0\xF0\x9F")},
       "\x01" + bom + B("\xFD\xFF(\0") + nul2 + bom + B("\xFD\xFF"),
       0},
      {"TDRC has no place in 2.3",
       {"TDRC", 0,
        "\x03"
        "2004"},
       std::nullopt,
       0},
      {"RVA2 neither", {"RVA2", 0, "x"}, std::nullopt, 0},
      {"a compressed frame cannot be converted",
       {"TXXX", kFlag24Compressed | kFlag24DataLength, B("\0\0\0\x01x")},
       std::nullopt,
       0},
      {"an unknown frame is dropped", {"XYZW", 0, "x"}, std::nullopt, 0},
      {"SYLT in UTF-8 cannot be converted here", {"SYLT", 0, "\x03jpn\x02\x01"}, std::nullopt, 0},
  };
  for (const TConvertCase& c : cases) {
    const std::optional<TFrame> frame = FrameFor23(c.frame24);
    ASSERT_EQ(frame.has_value(), c.data23.has_value()) << c.name;
    if (!frame) continue;
    EXPECT_EQ(frame->Id, c.frame24.Id) << c.name;
    EXPECT_EQ(Hex(frame->Data), Hex(*c.data23)) << c.name;
    EXPECT_EQ(frame->Flags, c.flags23) << c.name;
  }
}

TEST(FrameConversion, Utf8ToUtf16CoversEveryPlane) {
  // "中", "😀" (a surrogate pair), an overlong "/" and a surrogate in UTF-8: both invalid.
  // Each byte of an invalid sequence that cannot start one becomes a U+FFFD of its own.
  EXPECT_EQ(
      Hex(Utf8ToUtf16("\xE4\xB8\xAD\xF0\x9F\x98\x80\xC0\xAF\xED\xA0\x80")),
      Hex(B("\xFF\xFE\x2D\x4E\x3D\xD8\x00\xDE") + "\xFD\xFF\xFD\xFF\xFD\xFF\xFD\xFF\xFD\xFF"));
}

TEST(TagBuilder, BuildsA23Or24TagThatReadsBackFrameForFrame) {
  for (const uint8_t version : {3, 4}) {
    // 200,000 bytes: a 2.4 size whose synchsafe and plain readings differ.
    std::vector<TFrame> frames = {
        {"TIT2", 0, B("\0t")}, {"APIC", 0x0040, std::string(200000, '\xFF')}, {"PRIV", 0, ""}};
    const std::optional<std::string> bytes = BuildTag(frames, version);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->substr(0, 6), std::string("ID3") + char(version) + B("\0\0"));
    TFrameTag tag;
    ParseFrameTag(*bytes, tag);
    ASSERT_EQ(tag.Frames.size(), frames.size()) << int(version);
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(tag.Frames[i].Id, frames[i].Id);
      EXPECT_EQ(tag.Frames[i].Flags, frames[i].Flags);
      EXPECT_EQ(tag.Frames[i].Data, frames[i].Data);
    }
    EXPECT_FALSE(tag.Damaged) << int(version);
    EXPECT_EQ(tag.TagSize, static_cast<int64_t>(bytes->size()));
  }
}

TEST(FrameReader, A22TagIsReadAs23FramesAndWhatHasNoPlaceIsCounted) {
  const std::string body = B("TT2\0\0\x06\0Title") +  // title, Latin-1
                           B("PIC\0\0\x09") +         // picture of 9 bytes
                           B("\0") +                  //   encoding
                           "JPG" +                    //   format
                           B("\x03") +                //   type: front cover
                           B("\0") +                  //   empty description
                           "abc" +                    //   data
                           B("XYZ\0\0\x01") + "x" +   // a frame 2.3 has no place for
                           B("COM\0\0\x06\0engxy");   // comment
  TFrameTag tag;
  ParseFrameTag(Tag(body, 2), tag);
  EXPECT_EQ(tag.Version, 2);
  EXPECT_EQ(Ids(tag), (std::vector<std::string>{"TIT2", "APIC", "COMM"}));
  EXPECT_EQ(tag.Frames[1].Data, B("\0image/jpeg\0\x03\0abc"));
  EXPECT_EQ(tag.Frames[2].Data, B("\0engxy"));
  EXPECT_EQ(tag.Unconverted, 1);
  EXPECT_FALSE(tag.Damaged);
}

TEST(FrameReaderBadInput, LargeAndManyFramesAreReadWhole) {
  TTempDir dir;
  const std::string path = dir.Path("big.mp3");
  // A 50 MB picture, then thousands of small frames.
  std::string body = Frame("APIC", B("\0image/jpeg\0\x03\0") + std::string(50 << 20, '\xAB'));
  for (int i = 0; i < 5000; ++i) body += Frame("TXXX", B("\0n\0") + std::to_string(i));
  WriteBytes(path, Tag(body) + MpegAudio(2));
  TFrameTag tag;
  ASSERT_TRUE(ReadFrameTag(path, tag));
  ASSERT_EQ(tag.Frames.size(), 5001u);
  EXPECT_EQ(tag.Frames[0].Data.size(), 14u + (50 << 20));
  EXPECT_EQ(tag.Frames.back().Data, B("\0n\0"
                                      "4999"));
  EXPECT_FALSE(tag.Damaged);
}

// Random damage to real tags: every result is read without an overrun (the sanitizers watch),
// converted and built again, and what is built reads back as the frames it was built from.
TEST(FrameReaderBadInput, RandomDamageIsReadAsFarAsItIsSound) {
  const std::string seeds[] = {
      Tag(Frame("TIT2", B("\x01\xFF\xFEt\0")) + Frame("COMM", B("\0eng\0c")) +
          Frame("APIC", B("\0image/jpeg\0\x03\0\xFF\xD8\xFF"))),
      TagWithFlags(Frame("TIT2", B("\0\xFF\0t")) + std::string(12, '\0'), 3, 0xC0),
      Tag(Frame24("TIT2", "\x03\xE4\xB8\xAD") +
              Frame24("TXXX", B("\x03"
                                "a\0b")) +
              Frame24("APIC", B("\x07\0\0\0\x0F\x03image/png\0\x03\0\x89PNG"),
                      kFlag24DataLength | kFlag24Grouped) +
              std::string(8, '\0'),
          4),
      TagWithFlags(B("\0\0\0\x06\x01\0") + Frame24("USLT", B("\x02jpn\0\0\0a")), 4, 0xD0),
  };
  std::mt19937 random(20261210);
  for (int round = 0; round < 20000; ++round) {
    const std::string bytes = Damaged(seeds[round % std::size(seeds)], random);
    TFrameTag tag;
    ParseFrameTag(bytes, tag);
    ASSERT_LE(tag.Size, static_cast<int64_t>(bytes.size()));
    std::vector<TFrame> frames;
    for (const TFrame& frame : tag.Frames) {
      if (tag.Version == 3) frames.push_back(frame);
      if (tag.Version == 4) {
        if (std::optional<TFrame> converted = FrameFor23(frame)) frames.push_back(*converted);
      }
      (void)FrameContent(frame, tag.Version);
      if (std::optional<std::string_view> content = FrameContent(frame, tag.Version))
        (void)SplitComment(*content);
    }
    const std::optional<std::string> built = BuildTag23(frames);
    ASSERT_TRUE(built);
    TFrameTag again;
    ParseFrameTag(*built, again);
    ASSERT_EQ(again.Frames.size(), frames.size()) << Hex(bytes);
  }
}

}  // namespace

// What a write from the frames read would lose is named, and where the frames end: a frame past
// the tag, a walk stopped by a stray zero byte or a broken frame ID before a frame that follows
// (in 2.2 too, and counted in the tag's own bytes under unsynchronisation). Zeros and leftover
// bytes with no frame behind them lose nothing.
TEST(FrameReader, WhatAWalkStoppedEarlyWouldHideIsNamed) {
  const std::string a = Frame("TIT2", std::string("\0A", 2)), b = Frame("TALB", B("\0B"));
  std::string past = b;
  past[7] = '\x10';  // 16 bytes of data, 2 in the tag
  // FF E0 of the text stored as FF 00 E0.
  std::string unsync = Frame("TIT2", B("\0\xFF\xE0"));
  unsync.insert(12, 1, '\0');
  std::string unsynchronised = Tag(unsync + B("\0\0\0") + b);
  unsynchronised[5] = '\x80';
  const std::string stray = B("\0") + b.substr(1);
  const struct {
    const char* Name;
    std::string Tag;
    std::string Unreadable;  // empty: read whole
    int64_t FramesEnd;
  } cases[] = {
      {"padding", Tag(a + b + std::string(20, '\0')), "", 34},
      {"leftover", Tag(a + b + B("\0\0\0\0left\1over\0\0\0\0\0\0")), "", 34},
      {"last frame broken", Tag(a + stray), "", 22},
      {"stray zero", Tag(a + stray + b),
       "the frames of the ID3v2 tag stop at byte 12 of them, before a frame TALB at byte 24", 22},
      {"broken id", Tag(a + "ta#b" + b.substr(4) + b),
       "the frames of the ID3v2 tag stop at byte 12 of them, before a frame TALB at byte 24", 22},
      {"past the end", Tag(a + past), "the frame TALB runs past the end of the ID3v2 tag", 34},
      {"2.2", Tag(B("TT2\0\0\2\0A\0\0TAL\0\0\2\0B"), 2),
       "the frames of the ID3v2 tag stop at byte 8 of them, before a frame TAL at byte 10", 18},
      {"unsynchronised", unsynchronised,
       "the frames of the ID3v2 tag stop at byte 13 of them, before a frame TALB at byte 16", 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFrameTag tag;
    ParseFrameTag(c.Tag, tag);
    EXPECT_EQ(tag.Unreadable, c.Unreadable);
    EXPECT_EQ(tag.FramesEnd, c.FramesEnd);
  }
}
