#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <optional>

#include "CodePage.h"
#include "EnvScope.h"
#include "ScriptedDialogs.h"
#include "VornMultiDD.h"

namespace {

// A CSV language file: every field followed by a comma, every line by CR LF.
std::string Csv(const std::vector<std::vector<std::string>>& lines) {
  std::string out;
  for (const auto& line : lines) {
    for (const auto& field : line) out += field + ",";
    out += "\r\n";
  }
  return out;
}

const std::vector<std::string> kHeader = {"DDKey", "CodePage", "SeqNo", "DisplayValue"};

// A temporary folder for language files.
class DD : public ::testing::Test {
 protected:
  QString Write(const QString& name, const std::string& content) {
    QString path = FDir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.data(), static_cast<qint64>(content.size()));
    return path;
  }
  // A file dictionary over `content` (CSV unless `readerID` says otherwise).
  std::unique_ptr<TVornMultiFileDD> FileDD(const std::string& content,
                                           const std::string& readerID = "VornTextCSV") {
    auto dd = std::make_unique<TVornMultiFileDD>();
    dd->SetDDReaderID(readerID);
    dd->SetFileName(Write(QStringLiteral("lang%1.lng").arg(++FFiles), content));
    return dd;
  }
  static std::string Error(const std::function<void()>& f) {
    try {
      f();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no error)";
  }

  QTemporaryDir FDir;
  int FFiles = 0;
};

std::string Int(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

}  // namespace

TEST(NextPrime, IsTheSmallestPrimeNotBelow) {
  struct {
    int n, prime;
  } cases[] = {{1, 1},   {2, 2},   {3, 3},     {4, 5},          {9, 11},
               {24, 29}, {25, 29}, {100, 101}, {100000, 100003}};
  for (const auto& c : cases) EXPECT_EQ(NextPrime(c.n), c.prime) << c.n;
}

TEST_F(DD, DefaultNamesAreTheFirstFreeNumber) {
  ASSERT_EQ(VornMultiDDStorage()->Count(), 0);
  auto dd0 = std::make_unique<TVornMultiFileDD>();
  auto dd1 = std::make_unique<TVornMultiFileDD>();
  auto dd2 = std::make_unique<TVornMultiFileDD>();
  EXPECT_EQ(dd0->DDName(), "DD0");
  EXPECT_EQ(dd1->DDName(), "DD1");
  EXPECT_EQ(dd2->DDName(), "DD2");
  dd1.reset();
  EXPECT_EQ(VornMultiDDStorage()->Count(), 2);
  auto again = std::make_unique<TVornMultiFileDD>();
  EXPECT_EQ(again->DDName(), "DD1");
  EXPECT_EQ(VornMultiDDStorage()->FindDD("dd1"), again.get());
}

TEST_F(DD, RenamingFollowsTheRegistry) {
  auto dd = std::make_unique<TVornMultiFileDD>();
  ASSERT_EQ(dd->DDName(), "DD0");
  dd->SetDDName("DD1");  // free: renamed
  EXPECT_EQ(dd->DDName(), "DD1");
  EXPECT_EQ(VornMultiDDStorage()->FindDD("DD1"), dd.get());
  EXPECT_EQ(VornMultiDDStorage()->FindDD("DD0"), nullptr);
  // Another letter case finds this very dictionary: refused.
  EXPECT_EQ(Error([&] { dd->SetDDName("dd1"); }), "data dictionary: \"dd1\" already exists.");
  EXPECT_EQ(dd->DDName(), "DD1");
  dd->SetDDName("");  // ignored
  dd->SetDDName("DD1");
  EXPECT_EQ(dd->DDName(), "DD1");
  auto other = std::make_unique<TVornMultiFileDD>();
  EXPECT_EQ(other->DDName(), "DD0");
  EXPECT_EQ(Error([&] { other->SetDDName("Dd1"); }), "data dictionary: \"Dd1\" already exists.");
  other->SetDDName("Main");
  ASSERT_EQ(VornMultiDDStorage()->Count(), 2);
  EXPECT_EQ(VornMultiDDStorage()->GetDD(0), dd.get());  // DD1 sorts before Main
  EXPECT_EQ(VornMultiDDStorage()->GetDD(1), other.get());
}

TEST_F(DD, LooksUpDDKeyCodePageAndSeqNoExactly) {
  auto dd = FileDD(Csv({kHeader, {"Open", "950", "0", "X"}, {"Open", "950", "", "Y"}}));
  struct {
    const char* key;
    const char* cp;
    const char* seq;
    const char* result;
  } cases[] = {{"Open", "950", "0", "X"},    {"Open", "936", "0", "Open"}, {"Open", "950", "", "Y"},
               {"open", "950", "0", "open"}, {"Open", "950", "1", "Open"}, {"", "950", "0", ""}};
  for (const auto& c : cases)
    EXPECT_EQ(dd->Translate(c.key, c.cp, c.seq), c.result) << c.key << "/" << c.cp << "/" << c.seq;
  EXPECT_TRUE(dd->Built());
}

TEST_F(DD, FieldsAreFoundInAnyOrderAndLetterCase) {
  auto dd = FileDD(Csv({{"displayvalue", "SEQNO", "Other", "ddkey", "codepage"},
                        {"Datei", "0", "junk", "File", "1252"}}));
  EXPECT_EQ(dd->Translate("File", "1252", "0"), "Datei");

  // Without CodePage and SeqNo columns the entries have empty ones.
  auto bare = FileDD(Csv({{"DDKey", "DisplayValue"}, {"File", "Datei"}}));
  EXPECT_EQ(bare->Translate("File", "", ""), "Datei");
  EXPECT_EQ(bare->Translate("File", "1252", "0"), "File");

  // Own field names.
  auto own = FileDD(Csv({{"K", "V", "C", "S"}, {"File", "Fichier", "1252", "0"}}));
  TDDFieldsOption fields;
  fields.SetDDKeyField("k");
  fields.SetDisplayValueField("v");
  fields.SetCodePageField("c");
  fields.SetSeqNoField("s");
  own->SetFieldsOption(fields);
  own->SetUseDefaultFields(false);
  EXPECT_EQ(own->Translate("File", "1252", "0"), "Fichier");
}

TEST_F(DD, AHeaderOnlyFileIsAnEmptyDictionary) {
  for (std::string content : {Csv({kHeader}), Csv({{"Whatever", "Names"}})}) {
    auto dd = FileDD(content);
    EXPECT_EQ(dd->Translate("Open", "950", "0"), "Open");
    EXPECT_TRUE(dd->Built());
    EXPECT_EQ(dd->HashList()->Count(), 0);
  }
}

TEST_F(DD, BuildFailuresNameTheirCause) {
  struct {
    const char* name;
    std::string content;
    bool defaultFields;
    std::string error;
  } cases[] = {
      {"no DDKey column", Csv({{"Key", "DisplayValue"}, {"a", "b"}}), true,
       "field \"DDKey\" not found!"},
      {"no DisplayValue column", Csv({{"DDKey", "Value"}, {"a", "b"}}), true,
       "field \"DisplayValue\" not found!"},
      {"empty field names", Csv({kHeader, {"a", "1", "0", "b"}}), false, "field \"\" not found!"},
      {"duplicate entry", Csv({kHeader, {"Open", "950", "0", "X"}, {"Open", "950", "0", "Y"}}),
       true, "Duplicate hash list entry: Open\t950\t0"},
      {"bad character code", "DDKey,DisplayValue,\r\na,#x,\r\n", true,
       "'' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    auto dd = FileDD(c.content,
                     c.name == std::string("bad character code") ? "VornTextDFM" : "VornTextCSV");
    dd->SetUseDefaultFields(c.defaultFields);
    int after = 0;
    dd->SetOnAfterBuildDD([&](QObject*) { ++after; });
    EXPECT_EQ(Error([&] { dd->Translate("a", "1", "0"); }), c.error) << c.name;
    EXPECT_FALSE(dd->Built()) << c.name;
    EXPECT_EQ(after, 0) << c.name;
  }
}

// A source that says it has no records but delivers some still needs its fields.
TEST_F(DD, RecordsWithoutTheirFieldsFailEvenWhenNoneWereCounted) {
  auto dd = FileDD(Int(1) + Int(3) + "Key" + Int(0) + Int(1) + "a", "VornBinary");
  EXPECT_EQ(Error([&] { dd->Translate("a", "", ""); }), "field \"DDKey\" not found!");
}

TEST_F(DD, TheThreeEncodingsGiveTheSameEntries) {
  std::string csv =
      Csv({kHeader, {"Open", "950", "0", "\"\xB6}\xB1\xD2, ok\""}, {"Say", "950", "0", "A%c%nB"}});
  std::string dfm = Csv({kHeader,
                         {"Open", "950", "0", "#182\"}\"#177#210\", ok\""},
                         {"Say", "950", "0", "\"A\"#13#10\"B\""}});
  auto str = [](const std::string& s) { return Int(static_cast<int32_t>(s.size())) + s; };
  std::string binary = Int(4) + str("DDKey") + str("CodePage") + str("SeqNo") +
                       str("DisplayValue") + Int(2) + str("Open") + str("950") + str("0") +
                       str("\xB6}\xB1\xD2, ok") + str("Say") + str("950") + str("0") +
                       str("A\r\nB");
  for (auto [content, id] : {std::pair{csv, "VornTextCSV"}, std::pair{dfm, "VornTextDFM"},
                             std::pair{binary, "VornBinary"}}) {
    auto dd = FileDD(content, id);
    EXPECT_EQ(dd->Translate("Open", "950", "0"), "\xB6}\xB1\xD2, ok") << id;
    EXPECT_EQ(dd->Translate("Say", "950", "0"), "A\r\nB") << id;
  }
}

TEST_F(DD, OnBuildingDDLeavesRecordsOut) {
  auto dd = FileDD(Csv({kHeader, {"Open", "950", "0", "X"}, {"Save", "950", "0", "Y"}}));
  std::vector<std::string> seen;
  dd->SetOnBuildingDD([&](TCustomMultiDD* sender, const std::string& key, const std::string& cp,
                          const std::string& seq, bool& accept) {
    EXPECT_EQ(sender, dd.get());
    seen.push_back(key + "/" + cp + "/" + seq);
    if (key == "Save") accept = false;
  });
  EXPECT_EQ(dd->Translate("Save", "950", "0"), "Save");
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "X");
  EXPECT_EQ(seen, (std::vector<std::string>{"Open/950/0", "Save/950/0"}));
}

TEST_F(DD, AMissingFileFailsEachTimeUntilItExists) {
  auto dd = std::make_unique<TVornMultiFileDD>();
  QString path = FDir.filePath(QStringLiteral("later.lng"));
  dd->SetFileName(path);
  int before = 0, after = 0;
  dd->SetOnBeforeBuildDD([&](QObject*) { ++before; });
  dd->SetOnAfterBuildDD([&](QObject*) { ++after; });
  std::string expected =
      "Cannot open file \"" + path.toStdString() + "\". No such file or directory";
  EXPECT_EQ(Error([&] { dd->Translate("Open", "950", "0"); }), expected);
  EXPECT_EQ(Error([&] { dd->Translate("Open", "950", "0"); }), expected);
  EXPECT_EQ(before, 2);
  EXPECT_EQ(after, 0);
  try {
    dd->Translate("Open", "950", "0");
  } catch (const EFOpenError&) {
  }
  Write(QStringLiteral("later.lng"), Csv({kHeader, {"Open", "950", "0", "X"}}));
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "X");
  EXPECT_EQ(after, 1);
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "X");  // built: not read again
  EXPECT_EQ(before, 4);

  auto folder = std::make_unique<TVornMultiFileDD>();
  folder->SetFileName(FDir.path());
  EXPECT_EQ(Error([&] { folder->Translate("a", "", ""); }),
            "Cannot open file \"" + FDir.path().toStdString() + "\". Is a directory");
}

TEST_F(DD, AnUnknownReaderIdOpensNothing) {
  auto dd = FileDD(Csv({kHeader}), "VornXML");
  EXPECT_EQ(Error([&] { dd->Translate("a", "", ""); }),
            "dictionary reader ID \"VornXML\" ,not registered!");
  EXPECT_FALSE(dd->Built());
}

TEST_F(DD, ClearLoadsAgainWithTheNewSettings) {
  auto dd = FileDD(Csv({kHeader, {"Open", "950", "0", "X"}}));
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "X");
  dd->SetFileName(Write(QStringLiteral("other.lng"), Csv({kHeader, {"Open", "950", "0", "Z"}})));
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "X");  // no effect until Clear
  dd->Clear();
  EXPECT_FALSE(dd->Built());
  EXPECT_EQ(dd->Translate("Open", "950", "0"), "Z");
}

TEST_F(DD, ARelativeFileNameIsTakenFromTheProgramsFolder) {
  TVornMultiFileDD dd;
  QString dir = QCoreApplication::applicationDirPath();
  dd.SetFileName(QStringLiteral("lang/x.lng"));
  EXPECT_EQ(dd.FilePath(), dir + QStringLiteral("/lang/x.lng"));
  dd.SetFileName(QStringLiteral("/srv/x.lng"));
  EXPECT_EQ(dd.FilePath(), QStringLiteral("/srv/x.lng"));

  QTemporaryDir sub(dir + QStringLiteral("/langXXXXXX"));
  ASSERT_TRUE(sub.isValid());
  QFile file(sub.filePath(QStringLiteral("x.lng")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(Csv({kHeader, {"Open", "950", "0", "X"}}).c_str());
  file.close();
  dd.SetFileName(QDir(dir).relativeFilePath(file.fileName()));
  EXPECT_EQ(dd.Translate("Open", "950", "0"), "X");
}

TEST_F(DD, TranslateWordsTranslatesLetterRuns) {
  auto empty = FileDD(Csv({kHeader}));
  auto dd = FileDD(Csv({kHeader,
                        {"Open", "950", "0", "\xB6}\xB1\xD2"},
                        {"MP", "950", "0", "Em Pee"},
                        {"File", "1252", "0", "Datei"}}));
  struct {
    TVornMultiFileDD* dd;
    const char* text;
    const char* cp;
    const char* result;
  } cases[] = {
      {empty.get(), "", "1252", ""},
      {empty.get(), "Open File", "1252", "Open File"},
      {empty.get(), "Open File", "950", "OpenFile"},
      {empty.get(), "  a  b ", "1252", "  a  b "},
      {dd.get(), "Open MP3 \xA4\xA4", "950",
       "\xB6}\xB1\xD2"
       "Em Pee3\xA4\xA4"},
      {dd.get(), "Open File!", "1252", "Open Datei!"},
      {dd.get(), "x-File", "1252", "x-Datei"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.dd->TranslateWords(c.text, c.cp, "0"), c.result) << c.text;
}

TEST_F(DD, TheRegistryFindsTranslatesAndDestroys) {
  TVornMultiDDStorage* storage = VornMultiDDStorage();
  QPointer<TVornMultiFileDD> dd = FileDD(Csv({kHeader, {"Open", "950", "0", "X"}})).release();
  dd->SetDDName("DD1");
  QPointer<TVornMultiFileDD> other = new TVornMultiFileDD;
  EXPECT_EQ(storage->Count(), 2);
  EXPECT_EQ(storage->TranslateByName("dd1", "Open", "950", "0"), "X");
  EXPECT_EQ(storage->TranslateByName("DD9", "Open", "950", "0"), "Open");
  EXPECT_EQ(storage->TranslateByName("", "Open", "950", "0"), "Open");
  storage->Clear();
  EXPECT_EQ(storage->Count(), 0);
  EXPECT_TRUE(dd.isNull());
  EXPECT_TRUE(other.isNull());
}

TEST_F(DD, ADictionaryGoesWithItsOwner) {
  auto owner = std::make_unique<QObject>();
  auto* dd = new TVornMultiFileDD(owner.get());
  EXPECT_EQ(dd->parent(), owner.get());
  EXPECT_EQ(VornMultiDDStorage()->Count(), 1);
  owner.reset();
  EXPECT_EQ(VornMultiDDStorage()->Count(), 0);
}

// --- the message box ---

class MsgBox : public DD {
 protected:
  void SetUp() override {
    FDictionary = FileDD(Csv({kHeader,
                              {"\"File [%s] already exists, Over write ?\"", "950", "0",
                               "\xC0\xC9\xAE\xD7 [%s] \xA4w\xA6s\xA6\x62"},
                              {"Delete ?", "950", "0", "\xA7R\xB0\xA3?"},
                              {"Not a file", "950", "0", "No file here"},
                              {"Count %d", "950", "0", "%s"}}));
    FDictionary->SetDDName("DD1");
    FBox.SetDDName("DD1");
    FBox.SetCodePage("950");
  }
  QString Shown(int i = -1) const {
    return FDialogs.Shown().isEmpty()
               ? QString()
               : FDialogs.Shown().at(i < 0 ? FDialogs.Shown().size() - 1 : i).Text;
  }

  TEnvScope FCodePage{"MELOTAG_CODEPAGE", "950"};
  TScriptedDialogs FDialogs;
  TDialogsScope FScope{&FDialogs};
  std::unique_ptr<TVornMultiFileDD> FDictionary;
  TVornMsgBox FBox;
};

TEST_F(MsgBox, TranslatesFormatsAndDecodesBeforeShowing) {
  FDialogs.Push(TDialogAnswer::Button(mrYesToAll));
  int result = FBox.MsgDlgFmt("File [%s] already exists, Over write ?", mtConfirmation,
                              Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll), 0,
                              {std::string("\xA4\xA4.mp3")}, "0");
  EXPECT_EQ(result, mrYesToAll);
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  const TShownDialog& shown = FDialogs.Shown()[0];
  EXPECT_EQ(shown.Type, mtConfirmation);
  EXPECT_EQ(shown.Caption, QStringLiteral("Confirm"));
  EXPECT_EQ(shown.ButtonCaptions, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"),
                                               QStringLiteral("Yes to &All")}));
  EXPECT_EQ(shown.Text, QString::fromUtf16(u"\u6A94\u6848 [\u4E2D.mp3] \u5DF2\u5B58\u5728"));

  FBox.SetCodePage("936");  // no entries for 936: the text as written
  FBox.MsgDlgFmt("File [%s] already exists, Over write ?", mtConfirmation, Btn(mbYes), 0,
                 {std::string("a.mp3")}, "0");
  EXPECT_EQ(Shown(), QStringLiteral("File [a.mp3] already exists, Over write ?"));
}

TEST_F(MsgBox, AnswersThePressedButton) {
  for (int answer : {mrYes, mrNo, mrYesToAll}) {
    FDialogs.Push(TDialogAnswer::Button(answer));
    EXPECT_EQ(
        FBox.MsgDlg("Delete ?", mtConfirmation, Btn(mbYes) | Btn(mbNo) | Btn(mbYesToAll), 0, "0"),
        answer);
    EXPECT_EQ(Shown(), QString::fromUtf16(u"\u522A\u9664?"));
  }
}

TEST_F(MsgBox, ShowMsgIsACustomDialogWithOk) {
  FBox.ShowMsg("Delete ?", "0");
  FBox.ShowMsgFmt("100% of %s", {}, "0");                      // no arguments: shown unformatted
  FBox.ShowMsgFmt("Not a file", {std::string("a.mp3")}, "0");  // no placeholder: no name
  ASSERT_EQ(FDialogs.Shown().size(), 3);
  for (const TShownDialog& shown : FDialogs.Shown()) {
    EXPECT_EQ(shown.Type, mtCustom);
    EXPECT_EQ(shown.Buttons, Btn(mbOK));
    EXPECT_EQ(shown.HelpCtx, 0);
  }
  EXPECT_EQ(Shown(0), QString::fromUtf16(u"\u522A\u9664?"));
  EXPECT_EQ(Shown(1), QStringLiteral("100% of %s"));
  EXPECT_EQ(Shown(2), QStringLiteral("No file here"));
}

TEST_F(MsgBox, WithoutADictionaryEveryTextIsShownAsWritten) {
  TVornMsgBox plain;
  plain.ShowMsg("Delete ?", "0");
  DDShowMsg("Delete ?", "950", "0", "NoSuchDD");
  EXPECT_EQ(Shown(0), QStringLiteral("Delete ?"));
  EXPECT_EQ(Shown(1), QStringLiteral("Delete ?"));
  DDShowMsg("Delete ?", "950", "0", "dd1");
  EXPECT_EQ(Shown(2), QString::fromUtf16(u"\u522A\u9664?"));
  EXPECT_EQ(DDMsgDlg("Delete ?", mtWarning, Btn(mbNo), 3, "950", "0", "DD1"), mrNo);
  EXPECT_EQ(FDialogs.Shown().last().HelpCtx, 3);
  EXPECT_EQ(DDMsgDlgFmt("Count %d", mtWarning, Btn(mbOK), 0, "936", {7LL}, "0", "DD1"), mrOk);
  EXPECT_EQ(Shown(), QStringLiteral("Count 7"));
  DDShowMsgFmt("Count %d", "936", {8LL}, "0", "DD1");
  EXPECT_EQ(Shown(), QStringLiteral("Count 8"));
}

TEST_F(MsgBox, ErrorsStopTheDialog) {
  // A display value whose placeholder does not fit the argument.
  EXPECT_THROW(FBox.MsgDlgFmt("Count %d", mtWarning, Btn(mbOK), 0, {3LL}, "0"), EFormatError);
  // A dictionary that cannot build.
  FDictionary->Clear();
  FDictionary->SetFileName(FDir.filePath(QStringLiteral("missing.lng")));
  EXPECT_THROW(FBox.ShowMsg("Delete ?", "0"), EFOpenError);
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
}
