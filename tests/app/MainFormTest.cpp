// The main window as loaded and its window-level behaviour: layout, status bar, resizing, the
// idle-time enabling of commands, the tag panel reset, paths, font and close.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include "AppTestSupport.h"
#include "RadioGroup.h"

namespace {

QString TextOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return QString();
}

}  // namespace

TEST_F(MainFormTest, ControlsCarryTheirNamesCaptionsAndHints) {
  TMainForm& form = MakeForm();
  EXPECT_EQ(form.windowTitle(), "Melotag");
  EXPECT_EQ(form.size(), QSize(800, 600));
  const struct {
    const char* Name;
    const char* Text;  // caption or title; nullptr = not checked
    const char* Hint;  // nullptr = not checked
  } controls[] = {
      {"gbxFolder", "Folder", nullptr},
      {"ShellTreeView1", nullptr, "Refresh [F5]"},
      {"GroupBox3", "TitleList", nullptr},
      {"Memo1", nullptr, "You can edit memo or Add from file"},
      {"GroupBox2", "FileList", nullptr},
      {"cbxFILE_ATTRIBUTE_ARCHIVE", "Sets a file's attributes [FILE_ATTRIBUTE_ARCHIVE]",
       "The file is read-only. Applications can read the file but cannot write to it or delete "
       "it."},
      {"lvIniFileList", nullptr, "Single Click to select, Double Click to open"},
      {"GroupBox1", "ID3 Tag Infor (Read Only)", nullptr},
      {"cbxTitle", "Title", "BatchUpdate[Artist]"},
      {"cbxChangeTitleByTitleList", "ChangeTitleByTitleList", ""},
      {"cbxArtist", "Artist", "BatchUpdate[Artist]"},
      {"cbxAlbum", "Album", "BatchUpdate[Album]"},
      {"cbxTrack", "Track", "AutoIncrementTrack(FileSequence)"},
      {"cbxYear", "Year", "BatchUpdate[Year]"},
      {"cbxGenre", "Genre", "BatchUpdate[Year]"},
      {"cbxComment", "Comment", "BatchUpdate[Year]"},
      {"SpeedButton5", "GetAlbumTitle", nullptr},
      {"gbxEdit", "Edit With Melotag", nullptr},
      {"Button2", "Register the Menuepoint", nullptr},
      {"Button3", "Unregister the Menuepoint", nullptr},
      {"rgrpReadingTags", "When Reading ID3 Tags...", nullptr},
      {"rgrpWritingTags", "When Writing (Remove) ID3 Tags...", nullptr},
      // Buttons bound to actions show the action's caption and hint.
      {"sbtnSave", "WriteTag", "Write ID3 Tags To Selected File"},
      {"sbtnRemove", "RemoveTag", "Remove ID3 Tags From Seleected File"},
      {"sbtnStartUpdate", "WriteAllTag", "Write All ID3 Tags From This Directory"},
      {"sbtnRemoveAllTag", "RemoveAllTag", "Remove All ID3 Tags From This Directory"},
      {"SpeedButton7", nullptr, "ClearBatchUpdateValue"},
      {"sbtnRename", "Rename", "Change filename by TitleList"},
      {"SpeedButton4", "RenameDir", "RenameDir"},
      {"tbtnCreatePlayList", nullptr, "Create A PlayList From This Directory"},
      {"tbtnOpenTitleList", nullptr, "AddTitleList"},
      {"tbtnCreateTitleList", nullptr, "CreateTitleListByFileName"},
      {"tbtnBig52GB", nullptr, "Big52GB"},
      {"tbtnGb2Big5", nullptr, "Gb2Big5"},
      {"tbtnClearTitleList", nullptr, "ClearTitleList"},
      {"tbtnDelCharacter", nullptr, "Delele 1 Character (Left)"},
      {"tbtnDelCharacterRight", nullptr, "Delele 1 Character (Right)"},
      {"tbtnPunctuationMark", nullptr, "Add Mark"},
      {"tbtnItemNo", nullptr, "Add ItemNo"},
      {"tbtnUndo", nullptr, "Undo"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.Name);
    QWidget* w = form.findChild<QWidget*>(c.Name);
    ASSERT_NE(w, nullptr);
    if (c.Text) {
      EXPECT_EQ(TextOf(w), c.Text);
    }
    if (c.Hint) {
      EXPECT_EQ(w->toolTip(), c.Hint);
    }
  }
  for (const char* name :
       {"Panel10",      "Panel11",       "Splitter3",     "Panel4",       "ToolBar7",
        "ToolBar1",     "Panel6",        "Splitter2",     "Panel9",       "pnlFileList",
        "Panel5",       "ToolBar5",      "StatusBar1",    "Splitter1",    "PageControl1",
        "ToolBar2",     "ScrollBox1",    "TitleEdit",     "ArtistEdit",   "AlbumEdit",
        "TrackEdit",    "YearEdit",      "GenreComboBox", "CommentEdit",  "TagExistsValue",
        "VersionValue", "SizeValue",     "ToolBar4",      "ScrollBox2",   "edtArtist",
        "edtAlbum",     "edtYear",       "cboGenre",      "edtComment",   "ToolBar6",
        "ScrollBox3",   "edtAlbumTitle", "ScrollBox4",    "PageControl2", "StatusBar"})
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;

  // Pages, in order, the first shown.
  const QStringList pages1 = {"SingleFileUpdate", "BatchFileUpdate", "FileUpdate",
                              "Environment Options"};
  const QStringList pages2 = {"Read", "Write", "Misc"};
  ASSERT_EQ(form.findChild<QTabWidget*>("PageControl1")->count(), 4);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(form.findChild<QTabWidget*>("PageControl1")->tabText(i), pages1[i]);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(form.findChild<QTabWidget*>("PageControl2")->tabText(i), pages2[i]);
  EXPECT_EQ(form.findChild<QTabWidget*>("PageControl1")->currentWidget(),
            form.findChild<QWidget*>("TabSheet1"));
  EXPECT_EQ(form.findChild<QTabWidget*>("PageControl2")->currentWidget(),
            form.findChild<QWidget*>("TabSheet4"));

  // State at start.
  EXPECT_FALSE(form.findChild<QCheckBox*>("cbxChangeTitleByTitleList")->isEnabled());
  EXPECT_FALSE(form.findChild<QCheckBox*>("cbxFILE_ATTRIBUTE_ARCHIVE")->isChecked());
  EXPECT_EQ(form.findChild<TRadioGroup*>("rgrpReadingTags")->ItemIndex(), 3);
  EXPECT_EQ(form.findChild<TRadioGroup*>("rgrpWritingTags")->ItemIndex(), 2);
  EXPECT_EQ(form.findChild<TRadioGroup*>("rgrpReadingTags")->Buttons().size(), 4);
  EXPECT_EQ(form.findChild<TRadioGroup*>("rgrpReadingTags")->Buttons()[3]->text(),
            "Read Both ID3v1 and ID3v2 But Give Preference To ID3v2 Tags");
  EXPECT_EQ(form.findChild<TRadioGroup*>("rgrpWritingTags")->Buttons()[2]->text(),
            "Write (Remove) Internal ID3v1 and ID3v2 Tags");
  EXPECT_EQ(form.FileList().Count(), 0);
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().isEmpty());
}

TEST_F(MainFormTest, SizesAsLoaded) {
  TMainForm& form = MakeForm();
  const struct {
    const char* Name;
    int Width, Height;  // 0 = not checked
  } sizes[] = {{"sbtnSave", 112, 25},        {"sbtnRemove", 112, 25},
               {"sbtnStartUpdate", 112, 25}, {"sbtnRemoveAllTag", 112, 25},
               {"SpeedButton7", 25, 25},     {"sbtnRename", 112, 25},
               {"SpeedButton4", 112, 25},    {"Button2", 198, 33},
               {"Button3", 198, 33},         {"TitleEdit", 265, 0},
               {"ArtistEdit", 265, 0},       {"AlbumEdit", 265, 0},
               {"CommentEdit", 265, 0},      {"TrackEdit", 88, 0},
               {"YearEdit", 41, 0},  // a track with its total fits
               {"edtAlbumTitle", 153, 0},    {"StatusBar", 0, 20}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(s.Name);
    QWidget* w = form.findChild<QWidget*>(s.Name);
    ASSERT_NE(w, nullptr);
    if (s.Width) {
      EXPECT_EQ(w->maximumWidth(), s.Width);
    }
    if (s.Height) {
      EXPECT_EQ(w->maximumHeight(), s.Height);
    }
  }
  for (QLineEdit* edit :
       {form.findChild<QLineEdit*>("TitleEdit"), form.findChild<QLineEdit*>("ArtistEdit"),
        form.findChild<QLineEdit*>("AlbumEdit"), form.findChild<QLineEdit*>("TrackEdit"),
        form.findChild<QLineEdit*>("YearEdit"), form.findChild<QLineEdit*>("CommentEdit")})
    EXPECT_EQ(edit->maxLength(), 250);
  EXPECT_EQ(form.findChild<QTreeWidget*>("lvIniFileList")->headerItem()->text(0), "FileName");
  EXPECT_EQ(form.findChild<QTreeWidget*>("lvIniFileList")->headerItem()->text(1), "Path");
  EXPECT_EQ(form.findChild<QTreeWidget*>("lvIniFileList")->columnWidth(0), 160);
  EXPECT_EQ(form.findChild<QTreeWidget*>("lvIniFileList")->columnWidth(1), 350);
  EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar1")->PanelWidth(0), 162);
  EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar1")->PanelWidth(1), 50);
}

TEST_F(MainFormTest, ActionsCarryCaptionHintPictureAndShortcut) {
  TMainForm& form = MakeForm();
  const struct {
    const char* Name;
    const char* Caption;
    const char* Hint;
    const char* Shortcut;
  } actions[] = {
      {"actOpenFolder", "OpenFolder", "", ""},
      {"actAddFiles", "AddFiles", "", ""},
      {"actRemoveFiles", "RemoveFiles", "", ""},
      {"actClose", "Close", "", ""},
      {"actFont", "Font", "", ""},
      {"actPlayList", "CreatePlayList", "Create A PlayList From This Directory", ""},
      {"actRemoveTag", "RemoveTag", "Remove ID3 Tags From Seleected File", ""},
      {"actRemoveAllTag", "RemoveAllTag", "Remove All ID3 Tags From This Directory", ""},
      {"actWriteTag", "WriteTag", "Write ID3 Tags To Selected File", ""},
      {"actWriteAllTag", "WriteAllTag", "Write All ID3 Tags From This Directory", ""},
      {"actAddTitleList", "", "AddTitleList", ""},
      {"actClearTitleList", "", "ClearTitleList", ""},
      {"actCreateByFilename", "", "CreateTitleListByFileName", ""},
      {"actClearBatchUpdate", "", "ClearBatchUpdateValue", ""},
      {"actDelCharacter", "", "Delele 1 Character (Left)", ""},
      {"actRename", "Rename", "Change filename by TitleList", ""},
      {"actUndo", "", "Undo", ""},
      {"actGb2Big5", "", "Gb2Big5", ""},
      {"actBig52GB", "", "Big52GB", ""},
      {"actRefresh", "actRefresh", "Refresh", "F5"},
      {"actDelCharacterRight", "", "Delele 1 Character (Right)", ""},
      {"actItemNo", "", "Add ItemNo", ""},
      {"actMark", "", "Add Mark", ""},
      {"actRenameDir", "RenameDir", "RenameDir", ""},
      {"actPlay", "&Play", "&Play", ""},
      {"actGetFileProperties", "P&roperties", "ShowFileProperties", ""},
      {"actClearFileList", "ClearFileList", "ClearFileList", ""},
      {"actHelp", "Help", "", "F1"},
  };
  for (const auto& a : actions) {
    SCOPED_TRACE(a.Name);
    QAction* action = form.findChild<QAction*>(a.Name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), a.Caption);
    // Qt shows the caption as tool tip when there is no hint of its own.
    if (*a.Hint) {
      EXPECT_EQ(action->toolTip(), a.Hint);
    }
    EXPECT_EQ(action->shortcut().toString(), a.Shortcut);
    const bool picture = QString(a.Name) != "actRefresh" && QString(a.Name) != "actHelp";
    EXPECT_EQ(!action->icon().isNull(), picture);
  }

  // The pop-up menu: items in order, each showing its action.
  const QList<QAction*> items = form.findChild<QMenu*>("PopupMenu1")->actions();
  const QStringList names = {
      "Play1",          "N1", "OpenFolder1",       "AddFiles1", "RemoveFiles1",
      "ClearFileList1", "N2", "GetFileProperties1"};
  ASSERT_EQ(items.size(), names.size());
  for (int i = 0; i < names.size(); ++i) EXPECT_EQ(items[i]->objectName(), names[i]);
  EXPECT_TRUE(form.findChild<QAction*>("N1")->isSeparator());
  EXPECT_TRUE(form.findChild<QAction*>("N2")->isSeparator());
  EXPECT_EQ(form.findChild<QAction*>("Play1")->text(), "&Play");
  EXPECT_EQ(form.findChild<QAction*>("GetFileProperties1")->text(), "P&roperties");
  EXPECT_EQ(form.findChild<QAction*>("ClearFileList1")->text(), "ClearFileList");
}

TEST_F(MainFormTest, StatusBarPanelsAndProgressBarKeepTheirPlaceWhenResized) {
  TMainForm& form = MakeForm();
  form.show();
  for (QSize size : {QSize(800, 600), QSize(1024, 700), QSize(640, 480)}) {
    form.resize(size);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar")->PanelWidth(0), 500);
    EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar")->PanelWidth(1), 270);
    EXPECT_EQ(form.FProgressBar->geometry(), QRect(502, 4, 270, 13));
    EXPECT_EQ(form.FProgressBar->parentWidget(), form.findChild<TStatusBar*>("StatusBar"));
    EXPECT_FALSE(form.FProgressBar->isVisible());
  }
  form.ShowStatus("Writing song.mp3");
  EXPECT_EQ(form.findChild<TStatusBar*>("StatusBar")->PanelText(0), "Writing song.mp3");
}

TEST_F(MainFormTest, ResizingGivesTheFolderBoxHalfTheHeightLess70) {
  TMainForm& form = MakeForm();
  form.show();
  for (auto [height, folder] : {std::pair{600, 230}, std::pair{700, 280}, std::pair{601, 230}}) {
    form.resize(800, height);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.findChild<QGroupBox*>("gbxFolder")->height(), folder) << height;
  }
}

TEST_F(MainFormTest, IdleRulesFollowTheListsAndTheSelection) {
  Files({"a.mp3", "b.mp3"});
  TMainForm& form = MakeForm();
  QWidget* const whenFiles[] = {form.findChild<QToolButton*>("tbtnCreateTitleList"),
                                form.findChild<QToolButton*>("tbtnCreatePlayList"),
                                form.findChild<QToolButton*>("sbtnStartUpdate"),
                                form.findChild<QToolButton*>("sbtnRemoveAllTag")};
  QAction* const actionsWhenFiles[] = {
      form.findChild<QAction*>("actClearFileList"), form.findChild<QAction*>("actRemoveFiles"),
      form.findChild<QAction*>("actPlay"), form.findChild<QAction*>("actGetFileProperties")};
  QAction* const menuWhenFiles[] = {
      form.findChild<QAction*>("ClearFileList1"), form.findChild<QAction*>("RemoveFiles1"),
      form.findChild<QAction*>("Play1"), form.findChild<QAction*>("GetFileProperties1")};
  QWidget* const whenLines[] = {form.findChild<QToolButton*>("tbtnGb2Big5"),
                                form.findChild<QToolButton*>("tbtnBig52GB"),
                                form.findChild<QToolButton*>("tbtnClearTitleList"),
                                form.findChild<QToolButton*>("tbtnPunctuationMark"),
                                form.findChild<QToolButton*>("tbtnItemNo"),
                                form.findChild<QToolButton*>("tbtnDelCharacterRight"),
                                form.findChild<QToolButton*>("tbtnDelCharacter"),
                                form.findChild<QToolButton*>("sbtnRename")};
  QWidget* const whenSelected[] = {form.findChild<QToolButton*>("sbtnSave"),
                                   form.findChild<QToolButton*>("sbtnRemove")};
  QWidget* const always[] = {form.findChild<QToolButton*>("tbtnOpenTitleList"),
                             form.findChild<QToolButton*>("SpeedButton4"),
                             form.findChild<QToolButton*>("SpeedButton5"),
                             form.findChild<QToolButton*>("SpeedButton7")};

  auto check = [&](bool files, bool lines, bool undo, bool selected) {
    form.ApplicationEvents1Idle();
    for (QWidget* w : whenFiles) EXPECT_EQ(w->isEnabled(), files) << w->objectName().toStdString();
    for (QAction* a : actionsWhenFiles)
      EXPECT_EQ(a->isEnabled(), files) << a->objectName().toStdString();
    for (QAction* a : menuWhenFiles)
      EXPECT_EQ(a->isEnabled(), files) << a->objectName().toStdString();
    for (QWidget* w : whenLines) EXPECT_EQ(w->isEnabled(), lines) << w->objectName().toStdString();
    EXPECT_EQ(form.findChild<QToolButton*>("tbtnUndo")->isEnabled(), undo);
    for (QWidget* w : whenSelected)
      EXPECT_EQ(w->isEnabled(), selected) << w->objectName().toStdString();
    for (QWidget* w : always) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form.findChild<QAction*>("actOpenFolder")->isEnabled());
    EXPECT_TRUE(form.findChild<QAction*>("actAddFiles")->isEnabled());
    // The actions behind the buttons keep their own state.
    for (QAction* a :
         {form.findChild<QAction*>("actCreateByFilename"), form.findChild<QAction*>("actPlayList"),
          form.findChild<QAction*>("actWriteAllTag"), form.findChild<QAction*>("actUndo"),
          form.findChild<QAction*>("actGb2Big5"), form.findChild<QAction*>("actRename"),
          form.findChild<QAction*>("actWriteTag")})
      EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  };
  {
    SCOPED_TRACE("empty");
    check(false, false, false, false);
  }
  form.ScanFolder(B(FDir.path()));
  {
    SCOPED_TRACE("files");
    check(true, false, false, false);
  }
  Select({1});
  {
    SCOPED_TRACE("one selected");
    check(true, false, false, true);
  }
  form.findChild<QPlainTextEdit*>("Memo1")->setPlainText("one\ntwo");
  {
    SCOPED_TRACE("title lines");
    check(true, true, false, true);
  }
  form.TitleList().Clear();  // the tool saves the undo copy of "one", "two"
  form.findChild<QPlainTextEdit*>("Memo1")->clear();
  {
    SCOPED_TRACE("title list cleared, undo kept");
    check(true, false, true, true);
  }
  // The idle event comes by itself when the event queue runs empty.
  form.findChild<QTreeWidget*>("lvIniFileList")->clearSelection();
  for (int i = 0; i < 100 && form.findChild<QToolButton*>("sbtnSave")->isEnabled(); ++i)
    RunEventLoop(20);
  EXPECT_FALSE(form.findChild<QToolButton*>("sbtnSave")->isEnabled());
}

TEST_F(MainFormTest, TitleLinesCountLikeTheMemoShowsThem) {
  TMainForm& form = MakeForm();
  const struct {
    const char* Text;
    int Lines;
  } cases[] = {{"", 0}, {"a", 1}, {"a\n", 1}, {"a\nb", 2}, {"\n", 1}, {"a\n\n", 2}};
  for (const auto& c : cases) {
    form.findChild<QPlainTextEdit*>("Memo1")->setPlainText(c.Text);
    EXPECT_EQ(form.TitleList().LineCount(), c.Lines) << c.Text;
  }
  form.findChild<QPlainTextEdit*>("Memo1")->setPlainText("a\n");
  form.TitleList().AppendLine("b");
  EXPECT_EQ(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText(), "a\nb");
}

TEST_F(MainFormTest, ClearTagPanelEmptiesEveryField) {
  TMainForm& form = MakeForm();
  QLineEdit* const edits[] = {
      form.findChild<QLineEdit*>("TagExistsValue"), form.findChild<QLineEdit*>("VersionValue"),
      form.findChild<QLineEdit*>("SizeValue"),      form.findChild<QLineEdit*>("TitleEdit"),
      form.findChild<QLineEdit*>("ArtistEdit"),     form.findChild<QLineEdit*>("AlbumEdit"),
      form.findChild<QLineEdit*>("TrackEdit"),      form.findChild<QLineEdit*>("YearEdit"),
      form.findChild<QLineEdit*>("CommentEdit"),    form.findChild<QLineEdit*>("edtAlbumTitle")};
  for (QLineEdit* edit : edits) edit->setText("x");
  form.findChild<QComboBox*>("GenreComboBox")->addItems({"", "Blues"});
  form.findChild<QComboBox*>("GenreComboBox")->setCurrentIndex(1);
  form.ClearTagPanel();
  for (QLineEdit* edit : edits)
    EXPECT_TRUE(edit->text().isEmpty()) << edit->objectName().toStdString();
  EXPECT_EQ(form.findChild<QComboBox*>("GenreComboBox")->currentIndex(), -1);
}

TEST_F(MainFormTest, FontDialogChangesTheWindowFontOnlyWhenConfirmed) {
  TMainForm& form = MakeForm();
  const QFont loaded = form.font();
  EXPECT_EQ(loaded.family(), "Arial");
  FDialogs.Push(TDialogAnswer::Cancel());
  form.findChild<QAction*>("actFont")->trigger();
  EXPECT_EQ(form.font(), loaded);
  QFont chosen("Courier New", 14);
  FDialogs.Push(TDialogAnswer::WithFont(chosen));
  form.findChild<QAction*>("actFont")->trigger();
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_EQ(FDialogs.Shown()[1].Kind, TDialogKind::SelectFont);
  EXPECT_EQ(FDialogs.Shown()[1].Font.family(), "Arial");  // preset with the window's font
  EXPECT_EQ(form.font().pointSize(), 14);
  EXPECT_EQ(form.findChild<QPlainTextEdit*>("Memo1")->font().pointSize(), 14);  // controls follow
}

TEST_F(MainFormTest, CloseEndsTheWindowAndStopsTakingDrops) {
  TMainForm& form = MakeForm();
  form.show();
  EXPECT_TRUE(form.acceptDrops());
  form.findChild<QAction*>("actClose")->trigger();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.acceptDrops());
}

TEST_F(MainFormTest, HelpOpensTheHelpDocumentBesideTheProgram) {
  TUrlRecorder desktop;
  TMainForm& form = MakeForm();
  form.findChild<QAction*>("actHelp")->trigger();
  const QDir folder(QCoreApplication::applicationDirPath());
  ASSERT_TRUE(QFile::exists(folder.filePath("Melotag.html")));  // put there by the build
  EXPECT_EQ(desktop.Opened, QList<QUrl>{QUrl::fromLocalFile(folder.filePath("Melotag.html"))});
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
}

// A crash journal that Melotag does not trust (here a file of that name with other content) is
// left as it is and named once in the window, however often its file is read.
TEST_F(MainFormTest, AJournalLeftAloneIsNamedOnceAWindowRun) {
  Files({"a.mp3"});
  QFile journal(Path(".a.mp3.melotag-journal"));
  ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
  journal.write("my own notes");
  journal.close();
  TMainForm& form = MakeForm();
  for (int i = 0; i < 3; ++i) {
    form.ScanFolder(QFile::encodeName(FDir.path()));
    Select({0});
    RunEventLoop(20);
  }
  QStringList named;
  for (const TShownDialog& shown : FDialogs.Shown())
    if (shown.Text.contains("crash journal")) named << shown.Text;
  EXPECT_EQ(named,
            QStringList{"A crash journal could not be applied: " + Path(".a.mp3.melotag-journal") +
                        " (not a journal of this program)"});
  EXPECT_TRUE(QFile::exists(Path(".a.mp3.melotag-journal")));
}
