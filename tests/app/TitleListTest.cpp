// The title list through the window's commands: loading, making it from the file names, the text
// tools with their one-level undo, and Big5/GBK on the code pages that hold those bytes and on
// the others.
#include <QFile>
#include <QPlainTextEdit>
#include <QToolButton>

#include "AppTestSupport.h"
#include "CodePage.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "TitleList.h"

namespace {

class TitleListTest : public MainFormTest {
 protected:
  QPlainTextEdit* Memo() const { return FForm->findChild<QPlainTextEdit*>("Memo1"); }
  QStringList Lines() const { return FForm->TitleList().Lines(); }
  void SetText(const QString& text) { Memo()->setPlainText(text); }
  // Runs an action as its tool button does.
  void Trigger(const char* action) { Get<QAction>(action)->trigger(); }
  bool UndoEnabled() {
    FForm->ApplicationEvents1Idle();
    return Get<QToolButton>("tbtnUndo")->isEnabled();
  }
  // The bytes of each line in the code page.
  QList<QByteArray> LineBytes() const {
    QList<QByteArray> bytes;
    for (const QString& line : Lines()) bytes << QByteArray::fromStdString(EncodeText(line));
    return bytes;
  }
  void SetLineBytes(const QList<QByteArray>& lines) {
    QStringList text;
    for (const QByteArray& line : lines) text << DecodeText(line.toStdString());
    FForm->TitleList().SetLines(text);
  }
};

}  // namespace

TEST_F(TitleListTest, EachSavingToolIsUndoneOnce) {
  const struct {
    const char* Action;
    QString Input;  // the mark typed, for actMark
    QStringList After;
  } cases[] = {
      {"actItemNo", {}, {"01Song A", "02Song B", "03"}},
      {"actDelCharacter", {}, {"ong A", "ong B", ""}},
      {"actDelCharacterRight", {}, {"Song ", "Song ", ""}},
      {"actMark", " - ", {" - Song A", " - Song B", " - "}},
      {"actClearTitleList", {}, {}},
      {"actGb2Big5", {}, {"Song A", "Song B", ""}},
      {"actBig52GB", {}, {"Song A", "Song B", ""}},
  };
  const QStringList before = {"Song A", "Song B", ""};
  MakeForm();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Action);
    SetText("Song A\nSong B\n\n");
    EXPECT_FALSE(UndoEnabled());
    if (!c.Input.isNull()) FDialogs.Push(TDialogAnswer::Text(c.Input));
    Trigger(c.Action);
    EXPECT_EQ(Lines(), c.After);
    EXPECT_EQ(FForm->TitleList().UndoList(), before);
    EXPECT_TRUE(UndoEnabled());  // after Clear too, with the list now empty
    Trigger("actUndo");
    EXPECT_EQ(Lines(), before);
    EXPECT_FALSE(UndoEnabled());
  }
}

TEST_F(TitleListTest, MarksAndNumbersCombineAndOnlyTheLastStepIsUndone) {
  TMainForm& form = MakeForm();
  SetText("Song A");
  FDialogs.Push(TDialogAnswer::Text("."));
  Trigger("actMark");
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Kind, TDialogKind::InputQuery);
  EXPECT_EQ(FDialogs.Shown()[0].Caption, form.windowTitle());
  EXPECT_EQ(FDialogs.Shown()[0].Text, "Please Input Punctuation Mark");
  EXPECT_EQ(FDialogs.Shown()[0].Value, "");
  Trigger("actItemNo");
  EXPECT_EQ(Lines(), QStringList{"01.Song A"});
  Trigger("actUndo");
  EXPECT_EQ(Lines(), QStringList{".Song A"});
  EXPECT_FALSE(UndoEnabled());

  // A cancelled mark changes no line, yet the undo copy was taken.
  FDialogs.Push(TDialogAnswer::Cancel());
  Trigger("actMark");
  EXPECT_EQ(Lines(), QStringList{".Song A"});
  EXPECT_TRUE(UndoEnabled());
  Trigger("actUndo");
  EXPECT_EQ(Lines(), QStringList{".Song A"});

  // On an empty list a tool leaves an empty copy: nothing to undo.
  SetText("");
  Trigger("actItemNo");
  EXPECT_TRUE(Lines().isEmpty());
  EXPECT_FALSE(UndoEnabled());
}

TEST_F(TitleListTest, LoadingAndMakingTheListKeepTheUndoCopy) {
  Files({"Track 01.mp3", "b.MP3.bak.mp3"});
  TMainForm& form = MakeForm();
  SetText("x");
  Trigger("actItemNo");
  form.ScanFolder(B(FDir.path()));
  Trigger("actCreateByFilename");
  EXPECT_EQ(Lines(), (QStringList{"Track 01", "b"}));
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
  // Undo after it brings back what the last saving tool kept.
  Trigger("actUndo");
  EXPECT_EQ(Lines(), QStringList{"x"});

  const QString file = Path("titles.txt");
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write("One\r\nTwo\rThree\n");
  out.close();
  Trigger("actItemNo");
  FDialogs.Push(TDialogAnswer::Paths({file, Path("second.txt")}));
  Trigger("actAddTitleList");
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Filter,
            "Text files (*.txt)|*.txt;|m3u files (*.m3u)|*.m3u;|All files (*.*)|*.*");
  EXPECT_EQ(Lines(), (QStringList{"One", "Two", "Three"}));
  Trigger("actUndo");
  EXPECT_EQ(Lines(), QStringList{"x"});
}

TEST_F(TitleListTest, MakingTheListFromAnEmptyFileListLeavesItAsItWas) {
  MakeForm();
  SetText("keep");
  Trigger("actCreateByFilename");
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "FileList is Empty");
  EXPECT_EQ(Lines(), QStringList{"keep"});
}

TEST_F(TitleListTest, AFileThatCannotBeLoadedLeavesTheListAsItWas) {
  QFile zero(Path("zero.txt"));
  ASSERT_TRUE(zero.open(QIODevice::WriteOnly));
  zero.write(QByteArray("first\r\nsecond\0third\r\n", 22));
  zero.close();
  QDir().mkpath(Path("folder.txt"));
  MakeForm();
  const struct {
    QString Chosen;
    QString Message;  // empty: loaded
  } cases[] = {
      {Path("missing.txt"), "Cannot open file \"" + Path("missing.txt") + "\". No such file"},
      {Path("folder.txt"), "Cannot open file \"" + Path("folder.txt") + "\". Is a directory"},
      {Path("zero.txt"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Chosen.toStdString());
    SetText("old");
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Paths({c.Chosen}));
    Trigger("actAddTitleList");
    if (c.Message.isEmpty()) {
      EXPECT_EQ(Lines(), (QStringList{"first", "second"}));
      EXPECT_EQ(FDialogs.Shown().size(), 1);
      continue;
    }
    ASSERT_EQ(FDialogs.Shown().size(), 2);
    EXPECT_EQ(FDialogs.Shown()[1].Type, mtError);
    EXPECT_TRUE(FDialogs.Shown()[1].Text.startsWith(c.Message))
        << FDialogs.Shown()[1].Text.toStdString();
    EXPECT_EQ(Lines(), QStringList{"old"});
  }
  // Cancelled: nothing changes.
  SetText("old");
  FDialogs.Push(TDialogAnswer::Cancel());
  Trigger("actAddTitleList");
  EXPECT_EQ(Lines(), QStringList{"old"});
}

TEST_F(TitleListTest, AMillionLinesAreLoaded) {
  QFile big(Path("big.m3u"));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  QByteArray bytes;
  for (int i = 0; i < 1000000; ++i) bytes += "Song " + QByteArray::number(i) + "\n";
  big.write(bytes);
  big.close();
  const TEnvScope codePage("MELOTAG_CODEPAGE", "1252");
  TMainForm& form = MakeForm();
  FDialogs.Push(TDialogAnswer::Paths({Path("big.m3u")}));
  Trigger("actAddTitleList");
  EXPECT_EQ(form.TitleList().LineCount(), 1000000);
  EXPECT_EQ(Lines().last(), "Song 999999");
}

TEST_F(TitleListTest, DeletingACharacterTakesAWholeDoubleByteCharacter) {
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  MakeForm();
  SetLineBytes({"\xA4\xA4\xA4\xE5", "A\xA4\xA4", ""});  // 中文, A中
  Trigger("actDelCharacter");
  EXPECT_EQ(LineBytes(), (QList<QByteArray>{"\xA4\xE5", "\xA4\xA4", ""}));
  Trigger("actUndo");
  Trigger("actDelCharacterRight");
  EXPECT_EQ(LineBytes(), (QList<QByteArray>{"\xA4\xA4", "A", ""}));
}

TEST_F(TitleListTest, Big5AndGbkOnTheirCodePagesConvertTheBytes) {
  for (const char* page : {"950", "936"}) {
    SCOPED_TRACE(page);
    const TEnvScope codePage("MELOTAG_CODEPAGE", page);
    MakeForm();
    // 中, 碁 (no GBK partner), a lone lead byte at the end.
    const QList<QByteArray> big5 = {"\xA4\xA4 A", "\xF9\xD6", "abc\xA4"};
    SetLineBytes(big5);
    Trigger("actBig52GB");
    EXPECT_EQ(LineBytes(), (QList<QByteArray>{"\xD6\xD0 A", "??", "abc"}));
    Trigger("actGb2Big5");
    EXPECT_EQ(LineBytes(), (QList<QByteArray>{"\xA4\xA4 A", "??", "abc"}));
    Trigger("actUndo");
    EXPECT_EQ(LineBytes(), (QList<QByteArray>{"\xD6\xD0 A", "??", "abc"}));
  }
}

TEST_F(TitleListTest, Big5AndGbkOnOtherCodePagesConvertTheCharacters) {
  for (const char* page : {"1252", "65001"}) {
    SCOPED_TRACE(page);
    const TEnvScope codePage("MELOTAG_CODEPAGE", page);
    MakeForm();
    SetText(U("國語 Song é\n并"));
    Trigger("actBig52GB");
    EXPECT_EQ(Lines(), (QStringList{U("国语 Song é"), U("并")}));
    Trigger("actGb2Big5");
    EXPECT_EQ(Lines(), (QStringList{U("國語 Song é"), U("並")}));
  }
}
