// Repairing legacy file names: real files named in Big5, GBK and Shift-JIS, renamed to UTF-8 with
// each code page and with the guess, their folders, what is never replaced, and the undo.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "LegacyText.h"
#include "NameRepair.h"
#include "QtPrinters.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

using namespace melotag::editor;

namespace {

// The text written in a code page, as name bytes.
QByteArray Named(const char16_t* text, int codePage) {
  return QByteArray::fromStdString(TCodePageCodec(codePage).Encode(U(text)));
}

QByteArray Utf8(const char16_t* text) {
  return U(text).toUtf8();
}

QList<QByteArray> Sorted(QList<QByteArray> names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Five files: one name each in Big5, GBK and Shift-JIS, one that no double-byte code page decodes,
// and a UTF-8 and an ASCII name that are left alone. Each file holds its own label, so a file is
// known by its content wherever its name went.
TEST(NameRepair, RenamesEachLegacyNameReadWithTheChoiceAndBack) {
  struct TExpect {
    const char16_t* Name;  // the new name without ".mp3"; none: the code page cannot decode it
    int CodePage;
  };
  const struct {
    int Choice;
    TExpect Big5, Gbk, ShiftJis, Undecodable;
  } cases[] = {
      {950, {u"七里香", 950}, {u"\uF794毞腔貉", 950}, {nullptr, 950}, {nullptr, 950}},
      {936, {nullptr, 936}, {u"晴天的歌", 936}, {u"偝偔傜", 936}, {nullptr, 936}},
      {932, {u"､Cｨｽｭｻ", 932}, {nullptr, 932}, {u"さくら", 932}, {nullptr, 932}},
      {1252, {u"¤C¨½\u00AD»", 1252}, {u"ÇçÌìµÄ¸è", 1252}, {u"‚³‚\u00AD‚ç", 1252}, {nullptr, 1252}},
      {kGuessCodePage, {u"七里香", 950}, {u"晴天的歌", 936}, {u"さくら", 932}, {u"Ѓ", 1251}},
  };
  // A tie in the guess would go to the system's code page: not one of the three.
  const TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  const QByteArray big5 = Named(u"七里香", 950) + ".mp3", gbk = Named(u"晴天的歌", 936) + ".mp3",
                   shiftJis = Named(u"さくら", 932) + ".mp3", undecodable = "\x81.mp3",
                   utf8 = Utf8(u"晴天.mp3"), ascii = "Yesterday.mp3";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Choice);
    const TByteTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const QList<QByteArray> names = {big5, utf8, gbk, ascii, shiftJis, undecodable};
    QList<QByteArray> paths;
    for (const QByteArray& name : names) {
      paths << dir.Path(name);
      WriteFile(paths.last(), name);
    }
    const QList<QByteArray> before = TreeOf(dir.Path());

    const QList<QByteArray> legacy = {big5, gbk, shiftJis, undecodable};
    const TExpect expected[] = {c.Big5, c.Gbk, c.ShiftJis, c.Undecodable};
    const QList<TNameRepair> plan = PlanNameRepairs(paths, c.Choice, false);
    ASSERT_EQ(plan.size(), 4);
    QList<QByteArray> after = paths, treeAfter = {utf8, ascii};
    int renamed = 0;
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(legacy[i].toHex().constData());
      const TNameRepair& step = plan[i];
      EXPECT_EQ(step.OldPath, dir.Path(legacy[i]));
      EXPECT_EQ(step.CodePage, expected[i].CodePage);
      EXPECT_FALSE(step.Folder);
      if (expected[i].Name) {
        const QByteArray name = Utf8(expected[i].Name) + ".mp3";
        EXPECT_EQ(step.NewPath, dir.Path(name));
        EXPECT_EQ(NewName(step), QString::fromUtf8(name));
        after[paths.indexOf(step.OldPath)] = dir.Path(name);
        treeAfter << name;
        ++renamed;
      } else {
        EXPECT_EQ(step.NewPath, QByteArray());
        EXPECT_EQ(NewName(step), QString());
        treeAfter << legacy[i];
      }
    }

    const TNameRepairResult done = ApplyNameRepairs(plan);
    EXPECT_EQ(done.Done.size(), renamed);
    EXPECT_TRUE(done.Failed.isEmpty());
    EXPECT_EQ(TreeOf(dir.Path()), Sorted(treeAfter));
    EXPECT_EQ(PathsAfter(paths, done.Done), after);
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(ReadFile(after[i]), names[i]);

    const TNameRepairResult undone = UndoNameRepairs(done.Done);
    EXPECT_EQ(undone.Done.size(), renamed);
    EXPECT_TRUE(undone.Failed.isEmpty());
    EXPECT_EQ(TreeOf(dir.Path()), before);
    EXPECT_EQ(PathsAfter(after, undone.Done), paths);
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(ReadFile(paths[i]), names[i]);
  }
}

// Big5 folders: one holding two listed files and a folder with a third, one that holds no listed
// file. Only the folders files are listed from are renamed, each once, the inner one first.
TEST(NameRepair, RenamesTheFoldersOfListedFilesAfterTheirFiles) {
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  const QByteArray singer = Named(u"周杰倫", 950), album = Named(u"范特西", 950),
                   old = Named(u"舊歌", 950), song = Named(u"七里香", 950) + ".mp3",
                   inner = Named(u"愛在西元前", 950) + ".mp3", later = Named(u"後來", 950) + ".mp3",
                   utf8 = Utf8(u"晴天.mp3");
  const struct {
    bool Folders;
    QList<QByteArray> Tree;  // after the repair
  } cases[] = {
      {false,
       {"Ascii/", "Ascii/" + Utf8(u"後來.mp3"), old + "/", old + "/" + song, singer + "/",
        singer + "/" + album + "/", singer + "/" + album + "/" + Utf8(u"愛在西元前.mp3"),
        singer + "/" + Utf8(u"七里香.mp3"), singer + "/" + utf8}},
      {true,
       {"Ascii/", "Ascii/" + Utf8(u"後來.mp3"), old + "/", old + "/" + song, Utf8(u"周杰倫/"),
        Utf8(u"周杰倫/范特西/"), Utf8(u"周杰倫/范特西/愛在西元前.mp3"), Utf8(u"周杰倫/七里香.mp3"),
        Utf8(u"周杰倫/晴天.mp3")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folders);
    const TByteTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    for (const QByteArray& folder : {singer, singer + "/" + album, old, QByteArray("Ascii")})
      MakeFolder(dir.Path(folder));
    const QList<QByteArray> listed = {singer + "/" + song, singer + "/" + album + "/" + inner,
                                      singer + "/" + utf8, "Ascii/" + later};
    QList<QByteArray> paths;
    for (const QByteArray& name : listed) {
      paths << dir.Path(name);
      WriteFile(paths.last(), name);
    }
    WriteFile(dir.Path(old + "/" + song));
    const QList<QByteArray> before = TreeOf(dir.Path());

    const QList<TNameRepair> plan = PlanNameRepairs(paths, 950, c.Folders);
    QList<QPair<QByteArray, bool>> steps;
    for (const TNameRepair& step : plan) steps.append({step.OldPath, step.Folder});
    QList<QPair<QByteArray, bool>> expected = {
        {paths[0], false}, {paths[1], false}, {paths[3], false}};
    if (c.Folders)
      expected << qMakePair(dir.Path(singer + "/" + album), true)
               << qMakePair(dir.Path(singer), true);
    EXPECT_EQ(steps, expected);

    const TNameRepairResult done = ApplyNameRepairs(plan);
    EXPECT_TRUE(done.Failed.isEmpty());
    EXPECT_EQ(TreeOf(dir.Path()), Sorted(c.Tree));
    const QList<QByteArray> after = PathsAfter(paths, done.Done);
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(ReadFile(after[i]), listed[i]);

    const TNameRepairResult undone = UndoNameRepairs(done.Done);
    EXPECT_TRUE(undone.Failed.isEmpty());
    EXPECT_EQ(TreeOf(dir.Path()), before);
    EXPECT_EQ(PathsAfter(after, undone.Done), paths);
  }
}

// A rename that cannot be done is reported with its reason; no file is replaced or lost.
TEST(NameRepair, ReportsWhatItCannotRenameAndReplacesNothing) {
  const QByteArray big5 = Named(u"七里香", 950) + ".mp3", gbk = Named(u"七里香", 936) + ".mp3",
                   utf8 = Utf8(u"七里香.mp3");
  QByteArray longName;
  for (int i = 0; i < 100; ++i) longName += Named(u"香", 950);  // 200 bytes, 300 in UTF-8
  longName += ".mp3";
  const struct {
    const char* What;
    int Choice;
    QList<QByteArray> Names;  // in this order
    QList<int> Results;       // per name: -1 no step, 0 renamed, otherwise the errno
  } cases[] = {
      {"the UTF-8 name exists", 950, {utf8, big5}, {-1, EEXIST}},
      {"two legacy names give one name", kGuessCodePage, {big5, gbk}, {0, EEXIST}},
      {"the UTF-8 name is too long", 950, {longName, big5}, {ENAMETOOLONG, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const TByteTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    QList<QByteArray> paths;
    for (const QByteArray& name : c.Names) {
      paths << dir.Path(name);
      WriteFile(paths.last(), name);
    }
    const TNameRepairResult result = ApplyNameRepairs(PlanNameRepairs(paths, c.Choice, true));
    QList<int> results(paths.size(), -1);
    for (const TNameRepair& step : result.Done) results[paths.indexOf(step.OldPath)] = 0;
    for (const auto& [step, error] : result.Failed) results[paths.indexOf(step.OldPath)] = error;
    EXPECT_EQ(results, c.Results);
    const QList<QByteArray> after = PathsAfter(paths, result.Done);
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(ReadFile(after[i]), c.Names[i]);
    EXPECT_EQ(TreeOf(dir.Path()).size(), paths.size());
  }
}

// The preview: the old name as the list shows it under the system's code page, the new one as the
// chosen code page reads it.
TEST(NameRepair, PreviewsTheOldNameAsListedAndTheNewOne) {
  const struct {
    const char* System;
    QByteArray Name;
    int Choice;
    QString OldName, NewName;
  } cases[] = {
      {"950", Named(u"七里香", 950), kGuessCodePage, U(u"七里香"), U(u"七里香")},
      // Two common characters in Big5 and in GBK alike: the guess goes to the system's code page.
      {"936", Named(u"后来", 936), kGuessCodePage, U(u"后来"), U(u"后来")},
      {"950", Named(u"后来", 936), kGuessCodePage, U(u"綴懂"), U(u"綴懂")},
      // Big5 bytes under 936 do not decode: the list shows escapes.
      {"936", Named(u"七里香", 950), 950,
       U(u"\xDCA4"
         u"Cń\xDCAD\xDCBB"),
       U(u"七里香")},
      {"950", Named(u"后来", 936), 936, U(u"綴懂"), U(u"后来")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name.toHex().constData());
    const TEnvScope codePage("MELOTAG_CODEPAGE", c.System);
    const QList<TNameRepair> plan = PlanNameRepairs({"/music/" + c.Name}, c.Choice, false);
    ASSERT_EQ(plan.size(), 1);
    EXPECT_EQ(OldName(plan[0]), c.OldName);
    EXPECT_EQ(NewName(plan[0]), c.NewName);
  }
}

// A guess reads a short name with what was written on the same system: a file's legacy tag texts,
// the legacy names of the files in a folder.
TEST(NameRepair, GuessReadsANameWithTheFileTagsAndAFolderWithItsFiles) {
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TByteTempDir dir;
  const TCodePageCodec gbk(936);
  const QByteArray folder = dir.Path(Named(u"刘若英", 936));
  MakeFolder(folder);
  // 后来 in GBK reads as common Big5 characters too; its artist and album do not.
  const QByteArray song = folder + '/' + Named(u"后来", 936) + ".mp3";
  const std::string frames = [&] {
    std::string out;
    for (const auto& [id, text] : {std::pair{"TPE1", u"刘若英"}, std::pair{"TALB", u"我等你"}}) {
      const std::string data = '\0' + gbk.Encode(QString::fromUtf16(text));
      const auto size = static_cast<uint32_t>(data.size());
      out += std::string(id) + char(size >> 24) + char(size >> 16) + char(size >> 8) + char(size) +
             std::string(2, '\0') + data;
    }
    return out;
  }();
  const auto size = static_cast<uint32_t>(frames.size());
  WriteFile(song, QByteArray::fromStdString(std::string("ID3\x03\0\0", 6) +
                                            char(size >> 21 & 0x7F) + char(size >> 14 & 0x7F) +
                                            char(size >> 7 & 0x7F) + char(size & 0x7F) + frames));
  const QList<TNameRepair> plan = PlanNameRepairs({song}, kGuessCodePage, true);
  ASSERT_EQ(plan.size(), 2);
  EXPECT_EQ(NewName(plan[0]), U(u"后来.mp3"));
  EXPECT_EQ(plan[0].CodePage, 936);
  EXPECT_EQ(NewName(plan[1]), U(u"刘若英"));
  EXPECT_TRUE(plan[1].Folder);

  // After a tag repair the tag's texts are Unicode: the name reads as the title in GBK.
  TID3v2Text title;
  title.Fields[TField::Title] = U(u"后来");
  ASSERT_TRUE(WriteID3v2(song.toStdString(), ChangesOf(title.Fields), {false, true, false}).Ok);
  const QList<TNameRepair> again = PlanNameRepairs({song}, kGuessCodePage, false);
  ASSERT_EQ(again.size(), 1);
  EXPECT_EQ(NewName(again[0]), U(u"后来.mp3"));
}
