// The file manager's entry for MP3 files, registered and removed from the options page.
#include <QFile>

#include "AppTestSupport.h"
#include "DesktopEntry.h"
#include "EnvScope.h"

using melotag::editor::VerbFiles;

namespace {

class ShellEntryTest : public MainFormTest {
 protected:
  QTemporaryDir FData;
  TEnvScope FDataHome{"XDG_DATA_HOME", QFile::encodeName(FData.path()).constData()};
};

bool AllExist(const QString& verb, bool exist) {
  for (const QByteArray& file : VerbFiles(verb))
    if (QFile::exists(QFile::decodeName(file)) != exist) return false;
  return true;
}

}  // namespace

TEST_F(ShellEntryTest, RegisterAndUnregisterFollowTheCaptionOfTheBox) {
  MakeForm();
  auto* box = Get<QGroupBox>("gbxEdit");
  Get<QPushButton>("Button2")->click();
  EXPECT_TRUE(AllExist("Edit With Melotag", true));
  QFile entry(QFile::decodeName(VerbFiles("Edit With Melotag")[0]));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  EXPECT_TRUE(entry.readAll().contains(
      "Exec=" + QFile::encodeName(QCoreApplication::applicationFilePath()) + " %f\n"));

  // Another caption (another language): a second entry beside the first; removal takes only it.
  box->setTitle(QString::fromUtf8("以 Melotag 編輯"));
  Get<QPushButton>("Button2")->click();
  EXPECT_TRUE(AllExist(box->title(), true));
  Get<QPushButton>("Button3")->click();
  EXPECT_TRUE(AllExist(box->title(), false));
  EXPECT_TRUE(AllExist("Edit With Melotag", true));
  Get<QPushButton>("Button3")->click();  // not registered: nothing is said
  EXPECT_TRUE(FDialogs.Shown().isEmpty());
}

TEST_F(ShellEntryTest, AFailedWriteEndsTheCommandWithThePathAndTheReason) {
  const QString file = FData.filePath("a file");
  QFile(file).open(QIODevice::WriteOnly);
  TEnvScope dataHome("XDG_DATA_HOME", QFile::encodeName(file).constData());
  MakeForm();
  Get<QPushButton>("Button2")->click();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Type, mtError);
  EXPECT_TRUE(FDialogs.Shown()[0].Text.contains(file));
  EXPECT_TRUE(FDialogs.Shown()[0].Text.contains("Not a directory"));
}
