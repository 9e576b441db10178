// The window in the language of the system's code page: the screen translation at the first
// activation, translated messages and status words, and a language file that is missing or bad.
#include <QElapsedTimer>

#include "AppTestSupport.h"
#include "EnvScope.h"
#include "QtTranslation.h"
#include "Screen.h"
#include "VornMultiDD.h"
#include "VornMultiScreen.h"

namespace {

// A CSV language file: every field followed by a comma, every line by CR LF.
std::string Csv(const std::vector<std::vector<std::string>>& lines) {
  std::string out = "DDKey,CodePage,SeqNo,DisplayValue,\r\n";
  for (const auto& line : lines) {
    for (const auto& field : line) out += field + ",";
    out += "\r\n";
  }
  return out;
}

class Translation : public MainFormTest {
 protected:
  // Shows the window and waits until it is the active one.
  bool Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    return WaitFor([&] { return QApplication::activeWindow() == &window; });
  }
  // The window with its dictionary reading `content` from the temporary folder.
  TMainForm& FormWith(const std::string& content) {
    QFile file(Path("Lang.lng"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.data(), qint64(content.size()));
    file.close();
    TMainForm& form = MakeForm();
    form.VornMultiFileDD1->SetFileName(Path("Lang.lng"));
    return form;
  }
  QStringList ErrorsShown() {
    QCoreApplication::processEvents();
    QStringList errors;
    for (const TShownDialog& d : FDialogs.Shown())
      if (d.Kind == TDialogKind::MessageDlg && d.Type == mtError) errors << d.Text;
    return errors;
  }
  QString Title(const char* groupBox) { return Get<QGroupBox>(groupBox)->title(); }
  QString Panel(int i) { return Get<TStatusBar>("StatusBar1")->PanelText(i); }
};

}  // namespace

TEST_F(Translation, TheShippedFileGivesTheWindowTheLanguageOfTheCodePage) {
  struct {
    const char* CodePage;
    const char* Folder;
    const char* Page;
    const char* WriteTag;
    const char* Play;
  } cases[] = {{"950", "資料夾", "單一檔案", "寫入標籤", "播放(&P)"},
               {"936", "文件夹", "单个文件", "写入标签", "播放(&P)"},
               {"1252", "Folder", "SingleFileUpdate", "WriteTag", "&Play"}};
  for (const auto& c : cases) {
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    TMainForm& form = MakeForm();
    ASSERT_TRUE(Activate(form));
    EXPECT_EQ(Title("gbxFolder"), QString::fromUtf8(c.Folder)) << c.CodePage;
    EXPECT_EQ(Get<QTabWidget>("PageControl1")->tabText(0), QString::fromUtf8(c.Page));
    EXPECT_EQ(Get<QAction>("actWriteTag")->text(), QString::fromUtf8(c.WriteTag));
    EXPECT_EQ(Get<QToolButton>("sbtnSave")->text(), QString::fromUtf8(c.WriteTag));
    // A menu item copies its action whenever the action changes: both are translated.
    Get<QAction>("actPlay")->setEnabled(!Get<QAction>("actPlay")->isEnabled());
    EXPECT_EQ(Get<QAction>("Play1")->text(), QString::fromUtf8(c.Play));
    EXPECT_EQ(form.VornMultiScreenEye1->DefaultReplaceOption().CodePage(), c.CodePage);
    EXPECT_TRUE(ErrorsShown().isEmpty());
  }
}

// Files named on the command line are listed before the window is first active: their totals
// then take the window's language too.
TEST_F(Translation, TheTotalsOfTheFilesOfTheStartAreInTheLanguageOfTheCodePage) {
  Files({"a.mp3", "b.mp3"});
  const struct {
    const char* CodePage;
    const char* Totals;
  } cases[] = {
      {"950", "共\uFF1A2 個檔案"}, {"936", "共\uFF1A2 个文件"}, {"1252", "Toatl\uFF1A2 Files"}};
  for (const auto& c : cases) {
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    MakeForm(QStringList{"Melotag", Path("a.mp3"), Path("b.mp3")});
    EXPECT_EQ(Panel(0), "Toatl\uFF1A2 Files") << c.CodePage;  // nothing looked up yet
    ASSERT_TRUE(Activate(*FForm));
    EXPECT_EQ(Panel(0), QString::fromUtf8(c.Totals)) << c.CodePage;
  }
}

TEST_F(Translation, TheTagInformationOfTheSelectedFileIsInTheLanguageOfTheCodePage) {
  Files({"a.mp3"});
  const struct {
    const char* CodePage;
    const char* Exists;
  } cases[] = {{"950", "否"}, {"936", "否"}, {"1252", "No"}};
  for (const auto& c : cases) {
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    MakeForm(QStringList{"Melotag", Path("a.mp3")});
    ASSERT_TRUE(Activate(*FForm));
    Select({0});
    EXPECT_EQ(Get<QLineEdit>("TagExistsValue")->text(), QString::fromUtf8(c.Exists)) << c.CodePage;
  }
}

TEST_F(Translation, MessagesQuestionsAndStatusWordsFollowTheFile) {
  for (const char* codePage : {"950", "1252"}) {
    TEnvScope scope("MELOTAG_CODEPAGE", codePage);
    Files({"a.mp3"});
    TMainForm& form = FormWith(Csv({{"Are you sure want to clear FileList ?", "950", "0", "D"},
                                    {"FileList is Empty", "950", "0", "E"},
                                    {"Toatl", "950", "0", "T"}}));
    // Before the first activation nothing is looked up.
    EXPECT_EQ(form.LookupText("Toatl"), "Toatl");
    ASSERT_TRUE(Activate(form));
    const bool chinese = std::string(codePage) == "950";
    form.ScanFolder(B(FDir.path()));
    EXPECT_TRUE(Panel(0).startsWith(chinese ? "T" : "Toatl")) << Panel(0).toStdString();
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Button(mrYes));
    Get<QAction>("actClearFileList")->trigger();
    Get<QAction>("actRemoveFiles")->trigger();
    ASSERT_GE(FDialogs.Shown().size(), 1);
    EXPECT_EQ(FDialogs.Shown()[0].Text, chinese ? "D" : "Are you sure want to clear FileList ?");
    form.ShowMsg("FileList is Empty");
    EXPECT_EQ(FDialogs.Shown().last().Text, chinese ? "E" : "FileList is Empty");
  }
}

TEST_F(Translation, AMissingFileIsReportedOnceAndTheWindowWorksAsWritten) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TMainForm& form = MakeForm();
  form.VornMultiFileDD1->SetFileName(Path("missing.lng"));
  ASSERT_TRUE(Activate(form));
  const QStringList errors = ErrorsShown();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("Cannot open file \"" + Path("missing.lng") + "\". "))
      << errors[0].toStdString();
  // Messages are shown, as written; status words stay; no second report.
  form.ShowMsg("FileList is Empty");
  EXPECT_EQ(FDialogs.Shown().last().Text, "FileList is Empty");
  EXPECT_EQ(form.LookupText("Toatl"), "Toatl");
  QWidget other;
  ASSERT_TRUE(Activate(other));
  ASSERT_TRUE(Activate(form));
  EXPECT_EQ(ErrorsShown().size(), 1);
  EXPECT_EQ(Title("gbxFolder"), "Folder");
  // Once the file is there, the next message and status word use it, and the next activation
  // translates the window.
  QFile file(Path("missing.lng"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(Csv({{"Folder", "950", "0", "F"},
                  {"Toatl", "950", "0", "T"},
                  {"FileList is Empty", "950", "0", "E"}})
                 .c_str());
  file.close();
  form.ShowMsg("FileList is Empty");
  EXPECT_EQ(FDialogs.Shown().last().Text, "E");
  EXPECT_EQ(form.LookupText("Toatl"), "T");
  EXPECT_EQ(Title("gbxFolder"), "Folder");
  ASSERT_TRUE(Activate(other));
  ASSERT_TRUE(Activate(form));
  EXPECT_EQ(Title("gbxFolder"), "F");
  EXPECT_EQ(form.LookupText("Toatl"), "T");
  EXPECT_EQ(ErrorsShown().size(), 1);
}

TEST_F(Translation, ABadLanguageFileGivesAClearMessageOrNoTranslation) {
  TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  std::string big = "DDKey,CodePage,SeqNo,DisplayValue,\r\n";
  while (big.size() < 4 * 1024 * 1024) big += "Key" + std::to_string(big.size()) + ",950,0,V,\r\n";
  big += "Folder,950,0,F,\r\n";
  struct {
    const char* Name;
    std::string Content;
    const char* Error;   // start of the message; null: none
    const char* Folder;  // the group box's title afterwards
  } cases[] = {
      {"empty", "", nullptr, "Folder"},
      {"no header", "Folder,950,0,F,\r\nOpen,950,0,O,\r\n", "field \"DDKey\" not found!", "Folder"},
      {"no DisplayValue", "DDKey,CodePage,SeqNo,\r\nFolder,950,0,\r\n",
       "field \"DisplayValue\" not found!", "Folder"},
      {"duplicate", Csv({{"Folder", "950", "0", "F"}, {"Folder", "950", "0", "G"}}),
       "Duplicate hash list entry: Folder", "Folder"},
      {"invalid bytes", Csv({{"Folder", "950", "0", "\xA1"}}), nullptr, "Folder"},
      {"megabytes", big, nullptr, "F"},
  };
  for (const auto& c : cases) {
    FDialogs.ClearShown();
    TMainForm& form = FormWith(c.Content);
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(Activate(form)) << c.Name;
    EXPECT_LT(timer.elapsed(), 20000) << c.Name;
    const QStringList errors = ErrorsShown();
    if (c.Error) {
      ASSERT_EQ(errors.size(), 1) << c.Name;
      EXPECT_TRUE(errors[0].startsWith(c.Error)) << c.Name << ": " << errors[0].toStdString();
    } else {
      EXPECT_TRUE(errors.isEmpty()) << c.Name << ": " << errors.join(" | ").toStdString();
    }
    EXPECT_EQ(Title("gbxFolder"), c.Folder) << c.Name;
    form.ShowMsg("FileList is Empty");
    EXPECT_EQ(FDialogs.Shown().last().Text, "FileList is Empty") << c.Name;
  }
}

// Qt's own dialogs and buttons (the file and folder dialogs, "Cancel") speak the language of the
// code page beside the language file's: Traditional Chinese under 950, Simplified under 936.
TEST_F(Translation, QtsOwnDialogsSpeakTheLanguageOfTheCodePage) {
  struct {
    const char* CodePage;
    const char* Cancel;
    const char* LookIn;    // the file dialog's label
    const char* FileName;  // the file dialog's label
  } cases[] = {{"950", "取消", "尋找於：", "檔名(&N)："},
               {"936", "取消", "查找范围：", "文件名称(&N)："},
               {"1252", "Cancel", "Look in:", "File &name:"}};
  TEnvScope messages("LC_MESSAGES", nullptr);
  TEnvScope all("LC_ALL", nullptr);
  TEnvScope language("LANG", "C.UTF-8");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    // The window's first activation takes the code page's language.
    TMainForm& form = MakeForm();
    ASSERT_TRUE(Activate(form));
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8(c.Cancel));
    QFileDialog dialog(&form);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_EQ(dialog.findChild<QLabel*>("lookInLabel")->text(), QString::fromUtf8(c.LookIn));
    EXPECT_EQ(dialog.findChild<QLabel*>("fileNameLabel")->text(), QString::fromUtf8(c.FileName));
  }
  UseQtTranslations();  // back to the system's
}
