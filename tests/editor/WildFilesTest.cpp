// Files as the wild holds them (made by mutagen, by the id3v2 tool, and byte by byte where no
// tool writes them any more): one field changed by the editor's tag writer, under several code
// pages. mutagen and TagLib then read every other frame as before, the audio is as it was, and
// the changed field holds its new value in the file's own text convention.
#include <gtest/gtest.h>

#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QCryptographicHash>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "QtPrinters.h"
#include "TagTestSupport.h"
#include "TagWrite.h"

using namespace melotag::editor;
using namespace melotag::tags;
using namespace tagtest;

namespace {

// What a peer reads of a file: a line per frame (and the version, the audio's hash).
using TDump = std::map<std::string, std::string>;

TDump MutagenDump(const std::string& path) {
  int status = 0;
  const std::string out =
      RunCommand("/usr/bin/python3 " + Quote(WILD_FILES) + " dump " + Quote(path), &status);
  EXPECT_EQ(status, 0) << path;
  TDump dump;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    const size_t space = line.rfind(' ');
    dump[line.substr(0, space)] = line.substr(space + 1);
    at = end == std::string::npos ? out.size() : end + 1;
  }
  return dump;
}

TDump TagLibDump(const std::string& path) {
  TDump dump;
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isValid() || !file.ID3v2Tag()) return dump;
  std::map<std::string, int> seen;
  for (TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameList()) {
    const std::string id(frame->frameID().data(), frame->frameID().size());
    const TagLib::ByteVector rendered = frame->render();
    const QByteArray hash = QCryptographicHash::hash(QByteArray(rendered.data(), rendered.size()),
                                                     QCryptographicHash::Sha1);
    dump[id + "#" + std::to_string(seen[id]++)] = hash.toHex().toStdString();
  }
  return dump;
}

// The lines of `before` and `after` that differ, but for those whose key starts with one of
// `changed`.
std::string Difference(const TDump& before, const TDump& after,
                       const std::set<std::string>& changed) {
  auto skipped = [&](const std::string& key) {
    for (const std::string& prefix : changed)
      if (key.rfind(prefix, 0) == 0) return true;
    return false;
  };
  std::string out;
  for (const auto& [key, value] : before)
    if (!skipped(key) && (!after.count(key) || after.at(key) != value)) out += key + " changed\n";
  for (const auto& [key, value] : after)
    if (!skipped(key) && !before.count(key)) out += key + " appeared\n";
  return out;
}

struct TKind {
  const char* Name;
  std::set<std::string> AlsoChanges;  // besides the artist
  uint8_t Encoding;                   // of the new artist, under 950
  bool TagLibReads = true;            // TagLib reads the file as it comes
};

// Each kind of file with what a change of its artist may change besides: a 2.2 tag becomes a
// 2.3 one (its picture gets a MIME type for its three letters), a footer goes.
const TKind kKinds[] = {
    {"legacy_big5.mp3", {}, kLatin1},
    // GBK texts are not Big5: a new text goes as UTF-16 rather than mix two code pages.
    {"legacy_gbk.mp3", {}, kUtf16},
    {"mutagen23_utf16.mp3", {}, kUtf16},
    {"mutagen24_utf8.mp3", {}, kUtf8},
    {"mutagen24_utf16.mp3", {}, kUtf16},
    {"podcast_chapters.mp3", {}, kUtf8},
    {"itunes22.mp3", {"version", "APIC", "TPE1#", "TP1#"}, kLatin1},
    {"unsync23.mp3", {}, kLatin1},
    {"unsync24.mp3", {}, kUtf16},  // as many UTF-16 texts as UTF-8 ones: the first
    // TagLib reads none of its frames; after the write (no extended header) it reads them all.
    {"extended23.mp3", {}, kLatin1, false},
    {"compressed23.mp3", {}, kLatin1},
    {"compressed24.mp3", {}, kUtf8},
    // TagLib takes the footer's size off the frames and misses the last one; after the write (no
    // footer) it reads them all.
    {"footer24.mp3", {}, kUtf8, false},
    {"two_tags.mp3", {}, kLatin1},
    {"id3v2_tool.mp3", {}, kLatin1},
    {"untagged.mp3", {"version"}, kLatin1},  // a new tag
    {"v1_only.mp3", {"version"}, kLatin1},
};

class WildFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system(("/usr/bin/python3 " + Quote(WILD_FILES) + " make " +
                           Quote(dir.Path("")) + " >/dev/null")
                              .c_str()),
              0);
  }
  TTempDir dir;
};

TEST_F(WildFiles, ChangingTheArtistKeepsEveryOtherFrameAsThePeersReadIt) {
  const struct {
    const char* CodePage;
    const char16_t* Artist;
  } runs[] = {{"950", u"新歌手"}, {"936", u"新歌手"}, {"1252", u"Nouvel artiste é"}};
  for (const auto& run : runs) {
    const TEnvScope codePage("MELOTAG_CODEPAGE", run.CodePage);
    const QString artist = QString::fromUtf16(run.Artist);
    for (const TKind& kind : kKinds) {
      SCOPED_TRACE(std::string(kind.Name) + " under " + run.CodePage);
      const std::string original = dir.Path(kind.Name);
      const std::string path = dir.Path(std::string("copy-") + kind.Name);
      WriteBytes(path, ReadBytes(original));
      const TDump mutagenBefore = MutagenDump(path), taglibBefore = TagLibDump(path);
      const TWriteOutcome outcome =
          WriteID3v2Changes(path, {{{TField::Artist, artist}}, std::nullopt}, false);
      ASSERT_TRUE(outcome.Ok);
      EXPECT_EQ(outcome.Dropped, 0);
      std::set<std::string> changed = kind.AlsoChanges;
      changed.insert("TPE1");
      EXPECT_EQ(Difference(mutagenBefore, MutagenDump(path), changed), "") << "as mutagen reads";
      if (kind.TagLibReads) {
        EXPECT_EQ(Difference(taglibBefore, TagLibDump(path), changed), "") << "as TagLib reads";
      }
      // The new artist, in the tag's convention where the code page holds it.
      TFrameTag tag;
      ASSERT_TRUE(ReadFrameTag(path, tag));
      EXPECT_EQ(TextOf(tag).Fields.Text(TField::Artist), artist);
      const auto frame = std::find_if(tag.Frames.begin(), tag.Frames.end(),
                                      [](const TFrame& f) { return f.Id == "TPE1"; });
      ASSERT_NE(frame, tag.Frames.end());
      if (std::string(run.CodePage) == "950")
        EXPECT_EQ(static_cast<int>(frame->Data[0]), kind.Encoding);
    }
  }
}

// The value each field gets, and what a reader then reads: a 2.4 year keeps the month and day of
// the recording time, a genre of the list its name.
struct TFieldCase {
  TField Field;
  const char16_t* Value;
  const char16_t* Read;
};
const TFieldCase kFieldCases[] = {
    {TField::Title, u"新的標題", u"新的標題"},
    {TField::Artist, u"新歌手", u"新歌手"},
    {TField::Album, u"新專輯", u"新專輯"},
    {TField::AlbumArtist, u"群星", u"群星"},
    {TField::Track, u"7/9", u"7/9"},
    {TField::Disc, u"2/3", u"2/3"},
    {TField::Year, u"2011", u"2011"},
    {TField::Genre, u"華語流行", u"華語流行"},
    {TField::Composer, u"周杰倫", u"周杰倫"},
    {TField::Comment, u"新註解", u"新註解"},
    {TField::Lyrics, u"第一行\n第二行", u"第一行\n第二行"},
};

// Every field of the table, written alone into every kind of file under 950: the peers read
// every other frame as before, the audio and the trailer stay, and the field reads back.
TEST_F(WildFiles, EachFieldWrittenAloneKeepsEveryOtherFrame) {
  ASSERT_EQ(std::size(kFieldCases), static_cast<size_t>(kFieldCount));
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  for (const TFieldCase& c : kFieldCases) {
    const TFieldRow& row = RowOf(c.Field);
    for (const TKind& kind : kKinds) {
      SCOPED_TRACE(std::string(kind.Name) + ", " + row.Label);
      const std::string path = dir.Path(std::string("field-") + kind.Name);
      const std::string original = ReadBytes(dir.Path(kind.Name));
      WriteBytes(path, original);
      const TDump mutagenBefore = MutagenDump(path), taglibBefore = TagLibDump(path);
      const QString value = QString::fromUtf16(c.Value);
      const TWriteOutcome outcome =
          WriteID3v2Changes(path, {{{c.Field, value}}, std::nullopt}, false);
      ASSERT_TRUE(outcome.Ok);
      std::set<std::string> changed = {row.Frame, row.Frame24, "version"};
      if (std::string(kind.Name) == "itunes22.mp3") {
        changed.insert("APIC");
        changed.insert(std::string(row.Frame22) + "#");
      }
      EXPECT_EQ(Difference(mutagenBefore, MutagenDump(path), changed), "") << "as mutagen reads";
      if (kind.TagLibReads) {
        EXPECT_EQ(Difference(taglibBefore, TagLibDump(path), changed), "") << "as TagLib reads";
      }
      const std::string after = ReadBytes(path);
      EXPECT_EQ(after.substr(after.size() - 128), original.substr(original.size() - 128));
      TFrameTag tag;
      ASSERT_TRUE(ReadFrameTag(path, tag));
      QString read = QString::fromUtf16(c.Read);
      // A 2.4 recording time keeps its month and day.
      if (c.Field == TField::Year && tag.Version == 4 &&
          TextOf(tag).Fields.Text(c.Field).size() > 4)
        read += TextOf(tag).Fields.Text(c.Field).mid(4);
      EXPECT_EQ(TextOf(tag).Fields.Text(c.Field), read);
      // TagLib reads a Unicode frame's text the same.
      TagLib::MPEG::File file(path.c_str(), false);
      if (kind.TagLibReads && file.ID3v2Tag()) {
        // TagLib reads a 2.3 TYER as a TDRC: its frames go by their 2.4 names.
        const auto& frames = file.ID3v2Tag()->frameListMap()[row.Frame24];
        ASSERT_FALSE(frames.isEmpty());
        if (frames.front()->render()[10] != 0 || c.Field == TField::Track ||
            c.Field == TField::Disc || c.Field == TField::Year)
          EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [&](TagLib::ID3v2::Frame* f) {
            return QString::fromUtf8(f->toString().toCString(true)) == read;
          })) << QString::fromUtf8(frames.front()->toString().toCString(true)).toStdString();
      }
    }
  }
}

}  // namespace
