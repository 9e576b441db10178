// The tag repair against mutagen's mid3iconv: on copies of the same files with Big5, GBK and
// Shift-JIS tags, the texts of the repaired ID3v2 tags are the ones mid3iconv makes, frame for
// frame, as mutagen reads them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <filesystem>

#include "CodePage.h"
#include "EnvScope.h"
#include "QtPrinters.h"
#include "TagRepair.h"
#include "TagTestSupport.h"

using namespace melotag::editor;
using namespace tagtest;

namespace {

std::string Text(const QString& text, int codePage) {
  return std::string(1, '\0') + TCodePageCodec(codePage).Encode(text);
}

// Every text frame's texts, by mutagen's key, of each file.
std::vector<QJsonObject> MutagenTexts(const std::vector<std::string>& paths) {
  std::string args;
  for (const std::string& path : paths) args += " " + Quote(path);
  int status = 0;
  const std::string out =
      RunCommand("/usr/bin/python3 " + Quote(REPAIR_PEER) + " read" + args + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<QJsonObject> texts;
  for (const QByteArray& line : QByteArray::fromStdString(out).split('\n'))
    if (!line.isEmpty()) texts.push_back(QJsonDocument::fromJson(line).object());
  return texts;
}

struct TCorpus {
  int codePage;
  const char* encoding;            // the name mid3iconv knows the code page by
  std::vector<QStringList> songs;  // title, artist, album, comment, mood
};

TEST(TagRepairPeer, TextsAreTheOnesMid3iconvMakes) {
  int status = 0;
  RunCommand("command -v mid3iconv", &status);
  ASSERT_EQ(status, 0) << "mid3iconv (python3-mutagen) is not installed";
  TEnvScope system("MELOTAG_CODEPAGE", "1252");
  const TCorpus corpora[] = {
      {950,
       "cp950",
       {{"七里香", "周杰倫", "七里香", "好聽", "快樂"},
        {"月亮代表我的心", "鄧麗君", "淡淡幽情", "經典", "懷舊"},
        {"說好的幸福呢", "周杰倫", "魔杰座", "", ""}}},
      {936,
       "gbk",
       {{"后来", "刘若英", "我等你", "好听", "伤感"},
        {"十年", "陈奕迅", "黑白灰", "", "怀旧"},
        {"青花瓷", "周杰伦", "我很忙", "中国风", ""}}},
      {932,
       "cp932",
       {{"さくらさくら", "日本の歌", "童謡", "名曲", "静か"},
        {"ハナミズキ", "一青窈", "一青想", "", ""},
        {"千本桜", "初音ミク", "ボカロ", "人気", ""}}},
  };
  TTempDir dir;
  for (const TCorpus& corpus : corpora) {
    SCOPED_TRACE(corpus.encoding);
    std::vector<std::string> ours, theirs;
    for (size_t i = 0; i < corpus.songs.size(); ++i) {
      const QStringList& s = corpus.songs[i];
      std::string frames =
          Frame("TIT2", Text(s[0], corpus.codePage)) + Frame("TPE1", Text(s[1], corpus.codePage)) +
          Frame("TALB", Text(s[2], corpus.codePage)) + Frame("TRCK", Text("3", 1252));
      if (!s[3].isEmpty())
        frames +=
            Frame("COMM", std::string("\0eng\0", 5) + TCodePageCodec(corpus.codePage).Encode(s[3]));
      if (!s[4].isEmpty())
        frames += Frame("TXXX",
                        std::string("\0MOOD\0", 6) + TCodePageCodec(corpus.codePage).Encode(s[4]));
      const std::string bytes = Tag(frames) + MpegAudio();
      const std::string name = std::to_string(corpus.codePage) + "-" + std::to_string(i);
      ours.push_back(dir.Path(name + "-ours.mp3"));
      theirs.push_back(dir.Path(name + "-theirs.mp3"));
      WriteBytes(ours.back(), bytes);
      WriteBytes(theirs.back(), bytes);
      TTagRepairUndo undo;
      EXPECT_EQ(RepairTags(QByteArray::fromStdString(ours.back()), corpus.codePage, undo).Outcome,
                TRepairOutcome::Repaired);
    }
    std::string args;
    for (const std::string& path : theirs) args += " " + Quote(path);
    const std::string out =
        RunCommand("mid3iconv -q -e " + std::string(corpus.encoding) + args + " 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    const std::vector<QJsonObject> a = MutagenTexts(ours), b = MutagenTexts(theirs);
    ASSERT_EQ(a.size(), ours.size());
    ASSERT_EQ(b.size(), theirs.size());
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i], b[i]) << QJsonDocument(a[i]).toJson().toStdString() << " against "
                            << QJsonDocument(b[i]).toJson().toStdString();
      EXPECT_EQ(a[i]["TIT2"].toArray().first().toString(), corpus.songs[i][0]);
    }
  }
}

}  // namespace
