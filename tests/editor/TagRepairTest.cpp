// The repair of tags written in a legacy code page: what is read for the preview, what is written
// (legacy texts as UTF-16, every other frame and the trailer kept, the audio untouched), and the
// undo of a pass.
#include <gtest/gtest.h>

#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "LegacyText.h"
#include "QtPrinters.h"
#include "TagRepair.h"
#include "TagTestSupport.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace melotag::editor;
using namespace melotag::tags;
using namespace tagtest;

namespace {

std::string Text(const std::string& bytes) {
  return std::string(1, '\0') + bytes;
}

std::string Comment(const std::string& bytes) {
  return std::string("\0eng\0", 5) + bytes;
}

std::string Frame24(const std::string& id, const std::string& data) {
  return id + SyncSafe(static_cast<uint32_t>(data.size())) + std::string(2, '\0') + data;
}

const std::string kPicture = Frame("APIC", std::string("\0image/png\0\x03\0", 13) + "PNGDATA");

TID3v2Text Values(const std::string& path) {
  TID3v2Text text;
  LoadID3v2Text(path, text);
  return text;
}

struct TFileCase {
  const char* name;
  std::string tag;      // at the start of the file
  std::string trailer;  // at its end
  int codePage;
  TRepairOutcome outcome;
  QString title, artist, album, year, comment;
  uint8_t track;
  QString genre;
  uint8_t version = 3;  // of the repaired tag
};

// A 2.2 frame: three-letter ID, 24-bit size, data.
std::string Frame22(const std::string& id, const std::string& data) {
  const auto size = static_cast<uint32_t>(data.size());
  return id + char(size >> 16) + char((size >> 8) & 0xFF) + char(size & 0xFF) + data;
}

TEST(TagRepair, WritesLegacyTextsAsUnicodeAndKeepsEverythingElse) {
  TEnvScope system("MELOTAG_CODEPAGE", "1252");
  const TFileCase cases[] = {
      {"Big5 2.3 tag with a picture and an ASCII album",
       Tag(Frame("TIT2", Text(Cp(u"七里香", 950))) + Frame("TPE1", Text(Cp(u"周杰倫", 950))) +
           Frame("TALB", Text("Common Jasmin Orange")) + kPicture +
           Frame("COMM", Comment(Cp(u"好聽", 950)))),
       "", 950, TRepairOutcome::Repaired, U(u"七里香"), U(u"周杰倫"), "Common Jasmin Orange", "",
       U(u"好聽"), 0, ""},
      {"GBK trailer alone: its values make the tag", "", Trailer(Cp(u"后来", 936), "", 0, 7, 13),
       936, TRepairOutcome::Repaired, U(u"后来"), "", "", "", "", 7, "Pop"},
      {"trailer values the tag lacks are added, those it has are not",
       Tag(Frame("TIT2", Text(Cp(u"十年", 936)))), Trailer("Other title", "", 0, 3, 255), 936,
       TRepairOutcome::Repaired, U(u"十年"), "", "", "", "", 3, ""},
      {"2.4 tag keeps its version and recording time",
       Tag(Frame24("TIT2", Text(Cp(u"さくら", 932))) + Frame24("TDRC", Text("2001-05-01")), 4), "",
       932, TRepairOutcome::Repaired, U(u"さくら"), "", "", "2001-05-01", "", 0, "", 4},
      {"2.4 tag: a trailer's year becomes its recording time",
       Tag(Frame24("TIT2", Text(Cp(u"さくら", 932))), 4),
       Trailer(Cp(u"さくら", 932) + std::string(30 - 6, '\0') + std::string(60, '\0') + "1999", "",
               0, 0, 255),
       932, TRepairOutcome::Repaired, U(u"さくら"), "", "", "1999", "", 0, "", 4},
      {"2.2 tag of old iTunes becomes 2.3 with its picture",
       Tag(Frame22("TT2", Text(Cp(u"月亮代表我的心", 950))) +
               Frame22("PIC", std::string("\0PNG\x03\0", 6) + "PNGDATA"),
           2),
       "", 950, TRepairOutcome::Repaired, U(u"月亮代表我的心"), "", "", "", "", 0, ""},
      {"nothing beyond ASCII", Tag(Frame("TIT2", Text("Plain"))), Trailer("Plain", "", 0, 1, 1),
       950, TRepairOutcome::Nothing, "Plain", "", "", "", "", 0, ""},
      {"a text the code page cannot read stays, the others are repaired",
       Tag(Frame("TIT2", Text("\xA4")) + Frame("TPE1", Text(Cp(u"鄧麗君", 950)))), "", 950,
       TRepairOutcome::Repaired, U(u"¤"), U(u"鄧麗君"), "", "", "", 0, ""},
      {"damaged tag", Tag(Frame("TIT2", Text(Cp(u"七里香", 950)))).substr(0, 14), "", 950,
       TRepairOutcome::Failed, "", "", "", "", "", 0, ""},
  };
  TTempDir dir;
  for (const TFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Path("song.mp3");
    const std::string before = c.tag + MpegAudio() + c.trailer;
    WriteBytes(path, before);
    TTagRepairUndo undo;
    const TRepairResult result = RepairTags(QByteArray::fromStdString(path), c.codePage, undo);
    EXPECT_EQ(result.Outcome, c.outcome);
    const std::string after = ReadBytes(path);
    if (c.outcome != TRepairOutcome::Repaired) {
      EXPECT_EQ(after, before);
      EXPECT_TRUE(undo.Empty());
      continue;
    }
    EXPECT_EQ(undo.Count(), 1);
    EXPECT_EQ(after.substr(after.size() - MpegAudio().size() - c.trailer.size()),
              MpegAudio() + c.trailer);
    const TID3v2Text values = Values(path);
    EXPECT_EQ(values.Version, c.version);
    EXPECT_EQ(values.Fields.Text(TField::Title), c.title);
    EXPECT_EQ(values.Fields.Text(TField::Artist), c.artist);
    EXPECT_EQ(values.Fields.Text(TField::Album), c.album);
    EXPECT_EQ(values.Fields.Text(TField::Year), c.year);
    EXPECT_EQ(values.Fields.Text(TField::Comment), c.comment);
    EXPECT_EQ(ExactTrackOf(values.Fields.Text(TField::Track)), c.track);
    EXPECT_EQ(values.Fields.Text(TField::Genre), c.genre);
    if (c.tag.find("APIC") != std::string::npos || c.tag.find("PIC") != std::string::npos) {
      EXPECT_NE(after.find(kPicture), std::string::npos) << "the picture frame byte for byte";
    }
  }
}

TEST(TagRepair, PreviewListsTheLegacyTextsAndGuessesPerFile) {
  TEnvScope system("MELOTAG_CODEPAGE", "936");
  TTempDir dir;
  const std::string big5 = dir.Path("big5.mp3"), sjis = dir.Path("sjis.mp3");
  WriteBytes(big5, Tag(Frame("TIT2", Text(Cp(u"說好的幸福呢", 950))) +
                       Frame("TXXX", Text(std::string("MOOD\0", 5) + Cp(u"快樂", 950)))) +
                       MpegAudio());
  WriteBytes(sjis, MpegAudio() + Trailer(Cp(u"ハナミズキ", 932), "", 0, 0, 255));
  const TTagRepairFile b = ReadLegacyTags(QByteArray::fromStdString(big5));
  ASSERT_EQ(b.Texts.size(), 2u);
  EXPECT_EQ(b.Texts[0].Field, "Title");
  EXPECT_EQ(b.Texts[1].Field, "TXXX");
  EXPECT_EQ(CodePageFor(b, kGuessCodePage), 950);
  EXPECT_EQ(CodePageFor(b, 932), 932);
  EXPECT_EQ(RepairedText(b.Texts[1], 950), U(u"MOOD") + QChar(0) + U(u"快樂"));
  EXPECT_EQ(RepairedText({"Title", "\xA4", true}, 950), std::nullopt);

  const TTagRepairFile s = ReadLegacyTags(QByteArray::fromStdString(sjis));
  ASSERT_EQ(s.Texts.size(), 1u);
  EXPECT_EQ(s.Texts[0].Field, "Title (ID3v1)");
  EXPECT_EQ(CodePageFor(s, kGuessCodePage), 932);

  const TTagRepairFile missing = ReadLegacyTags(QByteArray::fromStdString(dir.Path("none.mp3")));
  EXPECT_FALSE(missing.Problem.isEmpty());
  WriteBytes(dir.Path("v25.mp3"), std::string("ID3\x05", 4) + std::string(6, '\0') + MpegAudio());
  EXPECT_EQ(ReadLegacyTags(QByteArray::fromStdString(dir.Path("v25.mp3"))).Problem, "ID3v2.5 tag");
}

TEST(TagRepair, UndoWritesTheOldTagsBackUnlessChangedSince) {
  TEnvScope system("MELOTAG_CODEPAGE", "950");
  TTempDir dir;
  std::vector<std::string> paths, before;
  const std::string tags[] = {
      Tag(Frame("TIT2", Text(Cp(u"晴天", 950))) + kPicture) + std::string(64, '\0'),
      "",  // the trailer alone: the undo removes the new tag
      Tag(Frame("TIT2", Text(Cp(u"愛情買賣", 950)))),
  };
  for (int i = 0; i < 3; ++i) {
    paths.push_back(dir.Path("f" + std::to_string(i) + ".mp3"));
    before.push_back(tags[i] + MpegAudio() + Trailer(Cp(u"葉惠美", 950), "", 0, 0, 255));
    WriteBytes(paths[i], before[i]);
  }
  TTagRepairUndo undo;
  for (const std::string& path : paths)
    EXPECT_EQ(RepairTags(QByteArray::fromStdString(path), 950, undo).Outcome,
              TRepairOutcome::Repaired);
  // Changed after the repair: the undo leaves it alone.
  TID3v2Text changedValues = Values(paths[2]);
  changedValues.Fields[TField::Artist] = "Someone";
  ASSERT_TRUE(WriteID3v2(paths[2], ChangesOf(changedValues.Fields), {}).Ok);
  const std::string changedBytes = ReadBytes(paths[2]);

  std::vector<QByteArray> changed, failed;
  undo.Undo(changed, failed);
  EXPECT_EQ(ReadBytes(paths[0]), before[0]);
  EXPECT_EQ(ReadBytes(paths[1]), before[1]);
  EXPECT_EQ(ReadBytes(paths[2]), changedBytes);
  EXPECT_EQ(changed, std::vector<QByteArray>{QByteArray::fromStdString(paths[2])});
  EXPECT_TRUE(failed.empty());
  EXPECT_TRUE(undo.Empty());
}

}  // namespace
