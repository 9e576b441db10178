// The repairs of legacy texts through the window: the preview (its code-page choice, its rows,
// cancelling), the tag pass with its undo, and the name pass with its folders, its list and its
// undo.
#include <QComboBox>
#include <QTableWidget>

#include <sys/stat.h>

#include <algorithm>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "RepairPreview.h"
#include "TagEditSupport.h"
#include "UnicodeTag.h"

using namespace tagtest;

namespace {

std::string TextFrame(const std::string& id, const std::string& bytes) {
  return Frame(id, std::string(1, '\0') + bytes);
}

class LegacyRepairTest : public TagEditTest {
 protected:
  // The preview's rows as "field=text@codepage", unreadable rows as "field=!".
  static QStringList Rows(const TRepairPreview& preview) {
    QStringList rows;
    for (const TPreviewRow& row : preview.Rows())
      rows.append(row.Field + '=' +
                  (row.Readable ? row.Text + '@' + QString::number(row.CodePage) : "!"));
    return rows;
  }
  // Answers the next preview: records its rows under each choice, then takes `choice`.
  void AnswerPreview(int choice, QMap<int, QStringList>& seen, bool folders = false) {
    FDialogs.Push(TDialogAnswer::Using([&seen, choice, folders](QDialog& dialog) {
      auto& preview = static_cast<TRepairPreview&>(dialog);
      for (int c : {0, 950, 936, 932}) {
        preview.SetChoice(c);
        seen[c] = Rows(preview);
      }
      if (folders) preview.findChild<QCheckBox*>("cbxFolders")->setChecked(true);
      preview.SetChoice(choice);
    }));
  }
  QList<QByteArray> Listed() const {
    QList<QByteArray> paths;
    for (int i = 0; i < FForm->FileList().Count(); ++i) paths << FForm->FileList().Path(i);
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  QString Title(const QString& name) const {
    melotag::editor::TID3v2Text text;
    melotag::editor::LoadID3v2Text(P(name), text);
    return text.Fields.Text(melotag::editor::TField::Title);
  }
};

TEST_F(LegacyRepairTest, TagPassRepairsWithTheChosenCodePageAndUndoes) {
  TEnvScope system("MELOTAG_CODEPAGE", "950");
  const std::string big5 =
      Tag(TextFrame("TIT2", Cp(u"七里香", 950)) + TextFrame("TPE1", Cp(u"周杰倫", 950)));
  const std::string gbk = Tag(TextFrame("TIT2", Cp(u"后来的我们", 936)));
  RawSong("a.mp3", big5, Trailer(Cp(u"七里香", 950), "", 0, 0, 255));
  RawSong("b.mp3", gbk);
  RawSong("c.mp3", Tag(TextFrame("TIT2", "Plain")));
  const std::string before[] = {Bytes("a.mp3"), Bytes("b.mp3"), Bytes("c.mp3")};
  ListFolder();

  // Cancelled: nothing changes.
  Trigger("actRepairLegacyTags");
  EXPECT_EQ(Bytes("a.mp3"), before[0]);
  EXPECT_EQ(FDialogs.Shown().last().Caption, "Repair Legacy Tags");

  QMap<int, QStringList> seen;
  AnswerPreview(0, seen);
  Trigger("actRepairLegacyTags");
  // The guess reads each file in its own code page; a chosen one reads all files with it.
  EXPECT_EQ(seen[0],
            (QStringList{"Title=" + U(u"七里香") + "@950", "Artist=" + U(u"周杰倫") + "@950",
                         "Title=" + U(u"后来的我们") + "@936"}));
  EXPECT_EQ(seen[936].last(), "Title=" + U(u"后来的我们") + "@936");
  EXPECT_NE(seen[950].last(), "Title=" + U(u"后来的我们") + "@950");
  EXPECT_EQ(Title("a.mp3"), U(u"七里香"));
  EXPECT_EQ(Title("b.mp3"), U(u"后来的我们"));
  EXPECT_EQ(Bytes("c.mp3"), before[2]);
  melotag::editor::TID3v2Text a;
  melotag::editor::LoadID3v2Text(P("a.mp3"), a);
  EXPECT_EQ(a.Fields.Text(melotag::editor::TField::Artist), U(u"周杰倫"));
  // The trailer stays as it was.
  EXPECT_EQ(Bytes("a.mp3").substr(Bytes("a.mp3").size() - 128),
            before[0].substr(before[0].size() - 128));
  EXPECT_TRUE(Status().startsWith("Tags repaired: 2")) << Status().toStdString();

  FForm->ApplicationEvents1Idle();
  EXPECT_TRUE(Get<QAction>("actUndoRepairTags")->isEnabled());
  Trigger("actUndoRepairTags");
  EXPECT_EQ(Bytes("a.mp3"), before[0]);
  EXPECT_EQ(Bytes("b.mp3"), before[1]);
  FForm->ApplicationEvents1Idle();
  EXPECT_FALSE(Get<QAction>("actUndoRepairTags")->isEnabled());
}

TEST_F(LegacyRepairTest, TagPassMarksWhatCannotBeReadAndReportsFailures) {
  TEnvScope system("MELOTAG_CODEPAGE", "936");
  RawSong("a.mp3", Tag(TextFrame("TIT2", Cp(u"晴天", 950)) + TextFrame("TPE1", "\xA4")));
  RawSong("b.mp3", Tag(TextFrame("TIT2", Cp(u"晴天", 950))).substr(0, 16));  // damaged
  ListFolder();
  Said();
  QMap<int, QStringList> seen;
  AnswerPreview(950, seen);
  Trigger("actRepairLegacyTags");
  EXPECT_EQ(seen[950], (QStringList{"Title=" + U(u"晴天") + "@950", "Artist=!", "=!"}));
  EXPECT_EQ(Title("a.mp3"), U(u"晴天"));
  const QStringList said = Said();
  ASSERT_FALSE(said.isEmpty());
  EXPECT_TRUE(said.last().startsWith("1 file(s) not repaired:\nb.mp3: damaged ID3v2 tag"))
      << said.last().toStdString();
}

TEST_F(LegacyRepairTest, AFileThatVanishedBeforeItsRepairIsListedWithTheReason) {
  TEnvScope system("MELOTAG_CODEPAGE", "950");
  RawSong("c.mp3", Tag(TextFrame("TIT2", Cp(u"晴天", 950))));
  ListFolder();
  Said();
  // The file goes while the preview is open.
  FDialogs.Push(TDialogAnswer::Using([this](QDialog& dialog) {
    static_cast<TRepairPreview&>(dialog).SetChoice(950);
    ASSERT_EQ(unlink(P("c.mp3").c_str()), 0);
  }));
  FDialogs.Push(
      TDialogAnswer::Button(mrYes));  // it counts as read-only now: change it all the same
  Trigger("actRepairLegacyTags");
  const QStringList said = Said();
  ASSERT_FALSE(said.isEmpty());
  EXPECT_EQ(said.last(),
            "1 file(s) not repaired:\nc.mp3: Can not save tag to the file: No such "
            "file or directory");
}

TEST_F(LegacyRepairTest, NamePassRenamesFilesAndFoldersAndUndoes) {
  TEnvScope system("MELOTAG_CODEPAGE", "950");
  TByteTempDir dir;
  const QByteArray root = dir.Path();
  const QByteArray folder = root + "/" + QByteArray::fromStdString(Cp(u"周杰倫", 950));
  ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
  const QByteArray legacy = folder + "/" + QByteArray::fromStdString(Cp(u"七里香", 950)) + ".mp3";
  const QByteArray utf8 = folder + "/" + U(u"晴天").toUtf8() + ".mp3";
  WriteFile(legacy, "legacy");
  WriteFile(utf8, "utf8");
  MakeForm();
  FForm->FileList().Scan(folder);
  ASSERT_EQ(Listed().size(), 2);

  QMap<int, QStringList> seen;
  AnswerPreview(0, seen, true);
  Trigger("actRepairFileNames");
  EXPECT_EQ(seen[0], (QStringList{"File name=" + U(u"七里香.mp3") + "@950"}));
  const QByteArray repairedFolder = root + "/" + U(u"周杰倫").toUtf8();
  EXPECT_EQ(ReadFile(repairedFolder + "/" + U(u"七里香.mp3").toUtf8()), "legacy");
  EXPECT_EQ(ReadFile(repairedFolder + "/" + U(u"晴天.mp3").toUtf8()), "utf8");
  EXPECT_EQ(Listed(), (QList<QByteArray>{repairedFolder + "/" + U(u"七里香.mp3").toUtf8(),
                                         repairedFolder + "/" + U(u"晴天.mp3").toUtf8()}));

  Trigger("actUndoRepairNames");
  EXPECT_EQ(ReadFile(legacy), "legacy");
  EXPECT_EQ(ReadFile(utf8), "utf8");
  EXPECT_EQ(Listed(), (QList<QByteArray>{legacy, utf8}));
}

}  // namespace
