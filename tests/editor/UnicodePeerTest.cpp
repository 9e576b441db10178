// Unicode tags go round with real peers: files mutagen wrote (2.3 UTF-16 and UTF-16BE, 2.4
// UTF-8, 2.4 unsynchronised; a 200 KB cover, lyrics, a TXXX frame) are read to mutagen's texts,
// and what Melotag writes with the options is read back by mutagen and by TagLib with the same
// texts, picture bytes, other frames and audio.
#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <random>

#include "EnvScope.h"
#include "QtPrinters.h"
#include "TagTestSupport.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace melotag::editor;
using namespace tagtest;

namespace {

QJsonObject Mutagen(const std::string& args) {
  int status = -1;
  const std::string out =
      RunCommand("/usr/bin/python3 " + Quote(UNICODE_PEER) + " " + args + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}

QString FromTagLib(const TagLib::String& text) {
  return QString::fromUtf8(text.toCString(true));
}

// A JPEG-like picture: its markers, then bytes of every value (0xFF ones ask for
// unsynchronisation).
std::string Cover(size_t size) {
  std::string cover("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);
  std::mt19937 random(14);
  while (cover.size() < size - 2) cover.push_back(static_cast<char>(random()));
  return cover + "\xFF\xD9";
}

class UnicodePeer : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    int status = -1;
    RunCommand("/usr/bin/python3 -c 'import mutagen' 2>&1", &status);
    ASSERT_EQ(status, 0) << "mutagen is missing: run scripts/install-deps";
    path = dir.Path("song.mp3");
    WriteBytes(dir.Path("cover.jpg"), cover);
    WriteBytes(path, MpegAudio(6));
  }
  QJsonObject Values() const {
    return {{"title", title},     {"artist", artist},
            {"album", album},     {"track", "3/12"},
            {"year", "2004"},     {"genre", "Rock"},
            {"comment", comment}, {"lyrics", lyrics},
            {"txxx", U(u"快乐")}, {"cover", QString::fromStdString(dir.Path("cover.jpg"))}};
  }
  static QString U(const char16_t* text) { return QString::fromUtf16(text); }

  TEnvScope codePage{"MELOTAG_CODEPAGE", "1252"};
  TTempDir dir;
  std::string path;
  std::string cover = Cover(200 * 1024);
  QString title = U(u"中文歌名 😀");
  QString artist = U(u"日本語のアーティスト");
  QString album = U(u"Café 한국");
  QString comment = U(u"コメント 💿");
  QString lyrics = U(u"歌詞\n第二行 🎵");
};

TEST_P(UnicodePeer, ReadsWhatMutagenWroteAndWritesWhatMutagenAndTagLibRead) {
  const std::string mode = GetParam();
  const QByteArray json = QJsonDocument(Values()).toJson(QJsonDocument::Compact);
  Mutagen("write " + mode + " " + Quote(path) + " " + Quote(json.toStdString()));
  const QJsonObject before = Mutagen("read " + Quote(path));
  ASSERT_EQ(before["title"].toString(), title) << "mutagen wrote what it was given";

  TID3v2Text text;
  ASSERT_TRUE(LoadID3v2Text(path, text));
  EXPECT_EQ(text.Version, mode[1] == '2' && mode[2] == '4' ? 4 : 3);
  EXPECT_EQ(text.Fields.Text(TField::Title), title);
  EXPECT_EQ(text.Fields.Text(TField::Artist), artist);
  EXPECT_EQ(text.Fields.Text(TField::Album), album);
  EXPECT_EQ(text.Fields.Text(TField::Track), "3/12");
  EXPECT_EQ(text.Fields.Text(TField::Year), "2004");
  EXPECT_EQ(text.Fields.Text(TField::Genre), "Rock");
  EXPECT_EQ(text.Fields.Text(TField::Comment), comment);

  // A new title; every other value and frame as it was.
  text.Fields[TField::Title] = U(u"新しいタイトル ✨");
  const TWriteOutcome outcome = WriteID3v2(
      path, {{{TField::Title, text.Fields.Text(TField::Title)}}, std::nullopt}, {true, true, true});
  ASSERT_TRUE(outcome.Ok);
  EXPECT_EQ(outcome.Dropped, 0);

  const QJsonObject after = Mutagen("read " + Quote(path));
  EXPECT_EQ(after["title"].toString(), text.Fields.Text(TField::Title));
  // A 2.3 tag knows UTF-16 with a byte-order mark alone: the new title's encoding is 1 there.
  EXPECT_EQ(after["title_encoding"].toInt(),
            mode == "v23utf16be" ? 1 : before["title_encoding"].toInt());
  // The same frames; a write may lay them out in another order.
  const auto sorted = [](const QJsonValue& ids) {
    QStringList list;
    for (const QJsonValue& id : ids.toArray()) list << id.toString();
    list.sort();
    return list;
  };
  EXPECT_EQ(sorted(after["frames"]), sorted(before["frames"]));
  for (const QString& key : before.keys())
    if (!key.startsWith("title") && key != "frames")
      EXPECT_EQ(after[key], before[key]) << key.toStdString();

  TagLib::MPEG::File file(path.c_str(), false);
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
  ASSERT_TRUE(tag);
  EXPECT_EQ(FromTagLib(tag->title()), text.Fields.Text(TField::Title));
  EXPECT_EQ(FromTagLib(tag->artist()), artist);
  EXPECT_EQ(FromTagLib(tag->album()), album);
  EXPECT_EQ(FromTagLib(tag->comment()), comment);
  EXPECT_EQ(tag->track(), 3u);
  const TagLib::ID3v2::FrameList pictures = tag->frameListMap()["APIC"];
  ASSERT_EQ(pictures.size(), 1u);
  const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
  ASSERT_TRUE(picture);
  const TagLib::ByteVector data = picture->picture();
  EXPECT_EQ(std::string(data.data(), data.size()), cover);
  const TagLib::ID3v2::FrameList lyricsFrames = tag->frameListMap()["USLT"];
  ASSERT_EQ(lyricsFrames.size(), 1u);
  EXPECT_EQ(FromTagLib(lyricsFrames.front()->toString()), lyrics);
  const TagLib::ID3v2::FrameList user = tag->frameListMap()["TXXX"];
  ASSERT_EQ(user.size(), 1u);
  const auto* mood = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(user.front());
  ASSERT_TRUE(mood);
  EXPECT_EQ(FromTagLib(mood->description()), "MOOD");
  EXPECT_EQ(FromTagLib(mood->fieldList().back()), U(u"快乐"));
}

INSTANTIATE_TEST_SUITE_P(MutagenFiles, UnicodePeer,
                         ::testing::Values("v23utf16", "v23utf16be", "v24utf8", "v24unsync"));

}  // namespace
