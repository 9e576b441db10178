// The one tag writer: only the changed fields' frames change; every other frame, the tag's
// version, its text encoding and the audio stay as they were.
#include <gtest/gtest.h>

#include <QByteArray>

#include <algorithm>

#include "CodePageText.h"
#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "QtPrinters.h"
#include "TagTestSupport.h"
#include "TagWrite.h"

using namespace melotag::editor;
using namespace melotag::tags;
using namespace tagtest;

namespace {

// The changes of the given fields.
TID3v2Changes C(std::initializer_list<std::pair<TField, QString>> fields) {
  return {TFieldValues(fields), std::nullopt};
}

template <size_t N>
std::string B(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

// A 2.4 frame: ID, synchsafe size, flags, data.
std::string Frame24(const std::string& id, const std::string& data, uint16_t flags = 0) {
  return id + SyncSafe(static_cast<uint32_t>(data.size())) + static_cast<char>(flags >> 8) +
         static_cast<char>(flags & 0xFF) + data;
}

// A 2.2 frame: three-letter ID, 24-bit size, data.
std::string Frame22(const std::string& id, const std::string& data) {
  const auto size = static_cast<uint32_t>(data.size());
  return id + char(size >> 16) + char((size >> 8) & 0xFF) + char(size & 0xFF) + data;
}

std::string WithFlags(std::string tag, uint8_t flags) {
  tag[5] = static_cast<char>(flags);
  return tag;
}

std::string Latin(const std::string& bytes) {
  return '\0' + bytes;
}

std::string Utf16(const char16_t* text) {
  const QString s = U(text);
  std::string out("\x01\xFF\xFE", 3);
  for (QChar c : s) {
    out.push_back(static_cast<char>(c.unicode() & 0xFF));
    out.push_back(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

std::string Utf8(const char* text) {
  return '\x03' + std::string(text);
}

const std::string kCover = Frame("APIC", B("\0image/jpeg\0\x03\0") + std::string(3000, '\xD8'));
const std::string kLyrics = Frame("USLT", B("\0eng\0") + "la la la");
const std::string kLongComment = Frame("COMM", B("\0eng\0") + std::string(600, 'c'));
const std::string kNorm = Frame("COMM", B("\0engiTunNORM\0") + " 0000 0001");

struct TWriteCase {
  const char* Name;
  int CodePage;
  std::string Before;  // the tag at the start of the file
  TID3v2Changes Changes;
  std::vector<std::string> Changed;                           // IDs of the frames that may change
  uint8_t Version;                                            // of the tag written
  std::vector<std::pair<std::string, std::string>> Expected;  // frames the change makes
  int Dropped = 0;
};

// The frames of `tag` whose ID is not one of `ids`, in order.
std::vector<TFrame> Others(const TFrameTag& tag, const std::vector<std::string>& ids) {
  std::vector<TFrame> others;
  for (const TFrame& frame : tag.Frames)
    if (std::find(ids.begin(), ids.end(), frame.Id) == ids.end()) others.push_back(frame);
  return others;
}

TEST(TagWrite, OnlyTheChangedFieldsFramesChange) {
  const std::string big5Title = Cp(u"七里香", 950);
  const TWriteCase cases[] = {
      {"legacy Big5 2.3 tag: a title in Big5, the cover, lyrics, a custom genre, a long comment",
       950,
       Tag(Frame("TIT2", Latin(big5Title)) + Frame("TPE1", Latin(Cp(u"周杰倫", 950))) +
           Frame("TCON", Latin("Mandopop")) + kLongComment + kNorm + kCover + kLyrics),
       C({{TField::Title, U(u"七里香 (Live)")}}),
       {"TIT2"},
       3,
       {{"TIT2", Latin(Cp(u"七里香 (Live)", 950))}}},
      {"UTF-16 2.3 tag: a change in UTF-16, the track total kept",
       936,
       Tag(Frame("TIT2", Utf16(u"晴天")) + Frame("TRCK", Latin("3/12")) + kCover),
       C({{TField::Artist, U(u"周杰伦")}, {TField::Track, U("4")}}),
       {"TPE1", "TRCK"},
       3,
       {{"TPE1", Utf16(u"周杰伦")}, {"TRCK", Utf16(u"4/12")}}},
      {"2.4 UTF-8 tag stays 2.4: the year is its recording time, its month and day kept",
       1252,
       Tag(Frame24("TIT2", Utf8("Song")) + Frame24("TDRC", Utf8("2001-05-01")) +
               Frame24("TSOP", Utf8("Artist, The")) + Frame24("RVA2", B("track\0\x01\0\0\0")),
           4),
       C({{TField::Year, U("2002")}}),
       {"TDRC"},
       4,
       {{"TDRC", Utf8("2002-05-01")}}},
      {"2.4 UTF-16 tag: the comment keeps its language and description",
       1252,
       Tag(Frame24("TIT2", Utf16(u"Song")) +
               Frame24("COMM", B("\x01XXX\xFF\xFE\0\0\xFF\xFE") + "o\0l\0d\0"),
           4),
       C({{TField::Comment, U("new")}}),
       {"COMM"},
       4,
       {{"COMM", B("\x01XXX\xFF\xFE\0\0\xFF\xFEn\0e\0w\0")}}},
      {"a value the code page cannot hold goes as UTF-16 into a legacy tag",
       950,
       Tag(Frame("TIT2", Latin(big5Title)) + kCover),
       C({{TField::Artist, U(u"さくら")}}),
       {"TPE1"},
       3,
       {{"TPE1", Utf16(u"さくら")}}},
      {"an empty value removes its frame, duplicates of a changed field go",
       1252,
       Tag(Frame("TIT2", Latin("One")) + Frame("TALB", Latin("Album")) +
           Frame("TIT2", Latin("Two")) + kLyrics),
       C({{TField::Title, U("Three")}, {TField::Album, U("")}, {TField::Track, U("")}}),
       {"TIT2", "TALB"},
       3,
       {{"TIT2", Latin("Three")}}},
      {"a new field's frame follows the other fields' frames",
       1252,
       Tag(Frame("TIT2", Latin("T")) + kCover + Frame("TPE1", Latin("A")) +
           Frame("TXXX", B("\0mood\0calm"))),
       C({{TField::Album, U("L")}}),
       {"TALB"},
       3,
       {{"TIT2", Latin("T")},
        {"APIC", ""},
        {"TPE1", Latin("A")},
        {"TALB", Latin("L")},
        {"TXXX", ""}}},
      {"a numeric genre reference stays when the genre is not changed",
       1252,
       Tag(Frame("TCON", Latin("(17)")) + Frame("TIT2", Latin("T"))),
       C({{TField::Title, U("U")}}),
       {"TIT2"},
       3,
       {{"TIT2", Latin("U")}}},
      {"2.2 tag of iTunes becomes 2.3 with every frame that 2.3 has",
       1252,
       Tag(Frame22("TT2", Latin("Old")) + Frame22("TBP", Latin("120")) +
               Frame22("PIC", B("\0PNG\x03\0") + "PNGDATA") + Frame22("XYZ", "?") +
               Frame22("COM", B("\0engiTunNORM\0") + " 0001"),
           2),
       C({{TField::Title, U("New")}}),
       {"TIT2"},
       3,
       {{"TIT2", Latin("New")},
        {"TBPM", Latin("120")},
        {"APIC", B("\0image/png\0\x03\0") + "PNGDATA"},
        {"COMM", B("\0engiTunNORM\0") + " 0001"}},
       1},
      {"unsynchronised 2.3 tag: the content stays, the unsynchronisation goes",
       1252,
       WithFlags(Tag(Frame("TIT2", Latin("T")) +     //
                     "PRIV" + B("\0\0\0\x06\0\0") +  // 6 bytes once resynchronised
                     B("me\0\xFF\0\xE0\xFF\0")),     // "FF 00" for each "FF"
                 0x80),
       C({{TField::Artist, U("A")}}),
       {"TPE1"},
       3,
       {{"TIT2", Latin("T")}, {"TPE1", Latin("A")}, {"PRIV", B("me\0\xFF\xE0\xFF")}}},
      {"extended header and encrypted, grouped and unknown frames",
       1252,
       WithFlags(Tag(B("\0\0\0\x06\0\0\0\0\0\0") + Frame("TIT2", Latin("T")) +
                     Frame("TPE1", B("\x80secret"), 0x0040) + Frame("XYZW", "whatever") +
                     Frame("TXXX", B("\x07\0mood\0happy"), 0x0020)),
                 0x40),
       C({{TField::Title, U("U")}}),
       {"TIT2"},
       3,
       {{"TIT2", Latin("U")}}},
      {"2.4 tag with a footer and per-frame unsynchronisation",
       1252,
       WithFlags(Tag(Frame24("TIT2", Utf8("T")) + Frame24("PRIV", B("x\0\xFF\0\xE0"), 0x0002), 4),
                 0x10) +
           "3DI\x04" + B("\0\x10\0\0\0\0"),
       C({{TField::Album, U("L")}}),
       {"TALB", "PRIV"},
       4,
       {{"TIT2", Utf8("T")}, {"TALB", Utf8("L")}, {"PRIV", B("x\0\xFF\xE0")}}},
  };
  TTempDir dir;
  for (const TWriteCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TEnvScope codePage("MELOTAG_CODEPAGE", std::to_string(c.CodePage).c_str());
    const std::string path = dir.Path("song.mp3");
    const std::string audio = MpegAudio(2) + Trailer("v1", "", 0, 1, 1);
    WriteBytes(path, c.Before + audio);
    TFrameTag before;
    ParseFrameTag(c.Before, before);
    const TWriteOutcome outcome = WriteID3v2Changes(path, c.Changes, false);
    EXPECT_TRUE(outcome.Ok);
    EXPECT_EQ(outcome.Dropped, c.Dropped);
    const std::string bytes = ReadBytes(path);
    TFrameTag after;
    ParseFrameTag(bytes, after);
    EXPECT_EQ(after.Version, c.Version);
    EXPECT_FALSE(after.Damaged);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(after.Size)), audio) << "the audio as it was";
    // Every other frame byte for byte, in its order.
    const std::vector<TFrame> kept = Others(after, c.Changed);
    const std::vector<TFrame> old = Others(before, c.Changed);
    if (c.Version == before.Version) {
      ASSERT_EQ(kept.size(), old.size());
      for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].Id, old[i].Id);
        EXPECT_EQ(kept[i].Flags, old[i].Flags) << kept[i].Id;
        EXPECT_EQ(kept[i].Data, old[i].Data) << kept[i].Id;
      }
    }
    // The changed ones as the tag's convention writes them.
    for (const auto& [id, data] : c.Expected) {
      const auto found = std::find_if(after.Frames.begin(), after.Frames.end(),
                                      [&](const TFrame& f) { return f.Id == id; });
      ASSERT_NE(found, after.Frames.end()) << id;
      // A 2.3 text frame may carry zeros behind its text (the write lets it fill the room an old
      // frame left); the version tells readers to ignore them.
      std::string written = found->Data;
      if (after.Version == 3 && id[0] == 'T' && written.size() > data.size() &&
          written.find_first_not_of('\0', data.size()) == std::string::npos)
        written.resize(data.size());
      if (!data.empty()) EXPECT_EQ(Hex(written), Hex(data)) << id;
    }
    if (c.Expected.size() > 1 && c.Changed.size() == 1) {
      std::vector<std::string> ids;
      for (const TFrame& frame : after.Frames) ids.push_back(frame.Id);
      std::vector<std::string> expected;
      for (const auto& frame : c.Expected) expected.push_back(frame.first);
      EXPECT_EQ(ids, expected) << "in this order";
    }
  }
}

TEST(TagWrite, NothingChangedLeavesTheFileAsItWas) {
  TTempDir dir;
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const std::string path = dir.Path("song.mp3");
  const std::string before =
      Tag(Frame("TIT2", Latin(Cp(u"七里香", 950))) + Frame("TRCK", Latin("3/12")) + kCover) +
      MpegAudio(1);
  WriteBytes(path, before);
  // The values the file already holds, and no field at all.
  for (const TID3v2Changes& changes :
       {C({{TField::Title, U(u"七里香")}, {TField::Track, U("3")}}), TID3v2Changes{}}) {
    EXPECT_TRUE(WriteID3v2Changes(path, changes, false).Ok);
    EXPECT_EQ(ReadBytes(path), before);
  }
}

TEST(TagWrite, AFileWithoutATagGetsALegacyOrAUnicodeOne) {
  TTempDir dir;
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const std::string path = dir.Path("song.mp3");
  for (const bool unicode : {false, true}) {
    WriteBytes(path, MpegAudio(1));
    ASSERT_TRUE(
        WriteID3v2Changes(path, C({{TField::Title, U(u"晴天")}, {TField::Artist, U("")}}), unicode)
            .Ok);
    TFrameTag tag;
    ParseFrameTag(ReadBytes(path), tag);
    EXPECT_EQ(tag.Version, 3);
    ASSERT_EQ(tag.Frames.size(), 1u);
    EXPECT_EQ(Hex(tag.Frames[0].Data), Hex(unicode ? Utf16(u"晴天") : Latin(Cp(u"晴天", 950))));
  }
}

TEST(TagWrite, ATagThatCannotBeUnderstoodIsNotReplaced) {
  TTempDir dir;
  const std::string path = dir.Path("song.mp3");
  const std::string cases[] = {
      // An unknown version.
      std::string("ID3\x05\0\0\0\0\0\x05", 10) + "hello",
      // 2.2 with the compression no one defined.
      WithFlags(Tag(Frame22("TT2", Latin("T")), 2), 0x40),
  };
  for (const std::string& tag : cases) {
    const std::string before = tag + MpegAudio(1);
    WriteBytes(path, before);
    EXPECT_FALSE(WriteID3v2Changes(path, C({{TField::Title, U("New")}}), false).Ok);
    EXPECT_EQ(ReadBytes(path), before);
  }
}

TEST(TagWrite, ConventionOfATag) {
  const struct {
    const char* Name;
    std::string Tag;
    uint8_t Encoding;
  } cases[] = {
      {"no texts", Tag(kCover), kLatin1},
      {"code-page texts", Tag(Frame("TIT2", Latin("\xA4\xA4"))), kLatin1},
      {"one UTF-16 text in 2.3", Tag(Frame("TIT2", Latin("a")) + Frame("TPE1", Utf16(u"b"))),
       kUtf16},
      {"2.4 mostly UTF-8",
       Tag(Frame24("TIT2", Utf8("a")) + Frame24("TPE1", Utf8("b")) + Frame24("TALB", Utf16(u"c")),
           4),
       kUtf8},
      {"2.4 UTF-16BE", Tag(Frame24("TIT2", B("\x02\0a")), 4), kUtf16BE},
  };
  for (const auto& c : cases) {
    TFrameTag tag;
    ParseFrameTag(c.Tag, tag);
    EXPECT_EQ(TextConventionOf(tag), c.Encoding) << c.Name;
  }
}

}  // namespace
