// What the shell does for the program: the archive attribute and the read-only test, opening a
// file and its properties, also for names that are not UTF-8.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <memory>

#include "ByteTempDir.h"
#include "EnvScope.h"
#include "QtPrinters.h"
#include "Shell.h"

TEST(Shell, ArchiveOnlyAddsTheOwnersWritePermissionAndNothingElse) {
  QTemporaryDir dir;
  const QString path = dir.filePath("song.mp3");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  using P = QFileDevice;
  const struct {
    QFile::Permissions Before, After;
  } cases[] = {
      {P::ReadOwner, P::ReadOwner | P::WriteOwner},
      {P::ReadOwner | P::ReadGroup | P::ReadOther,
       P::ReadOwner | P::WriteOwner | P::ReadGroup | P::ReadOther},
      {P::ReadOwner | P::WriteOwner | P::ExeOwner, P::ReadOwner | P::WriteOwner | P::ExeOwner},
  };
  const QFile::Permissions unixBits = P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup |
                                      P::WriteGroup | P::ExeGroup | P::ReadOther | P::WriteOther |
                                      P::ExeOther;
  for (const auto& c : cases) {
    ASSERT_TRUE(QFile::setPermissions(path, c.Before));
    EXPECT_EQ(IsReadOnlyPath(path), !c.Before.testFlag(P::WriteOwner));
    EXPECT_TRUE(SetArchiveOnly(path));
    EXPECT_FALSE(IsReadOnlyPath(path));
    EXPECT_EQ(QFile::permissions(path) & unixBits, c.After);
  }
  EXPECT_FALSE(SetArchiveOnly(dir.filePath("missing.mp3")));
  EXPECT_FALSE(IsReadOnlyPath(dir.filePath("missing.mp3")));
}

namespace {

// Makes a file of `size` bytes through its name's bytes (QFile cannot open a name that is not
// UTF-8).
bool MakeFile(const QByteArray& path, qint64 size, mode_t mode) {
  FILE* out = fopen(path.constData(), "wb");
  if (!out) return false;
  const QByteArray data(size, 'x');
  const bool written = fwrite(data.constData(), 1, size_t(size), out) == size_t(size);
  return fclose(out) == 0 && written && chmod(path.constData(), mode) == 0;
}

mode_t ModeOf(const QByteArray& path) {
  struct stat status;
  return stat(path.constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

}  // namespace

TEST(Shell, ArchiveOnlyAndReadOnlyTestTakeTheExactBytesOfAName) {
  TByteTempDir dir;
  const struct {
    QByteArray Name;
    mode_t Before, After;
  } cases[] = {
      {"\xB0\xA1.mp3", 0444, 0644},  // GBK, not UTF-8
      {"\xFF\xFE.mp3", 0400, 0600},
      {"\xE4\xB8\xAD.mp3", 0444, 0644},
      {"\xC3\x28.mp3", 0640, 0640},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name.toHex().constData());
    const QByteArray path = dir.Path(c.Name);
    ASSERT_TRUE(MakeFile(path, 1, c.Before));
    EXPECT_EQ(IsReadOnlyPath(path), !(c.Before & S_IWUSR));
    EXPECT_TRUE(SetArchiveOnly(path));
    EXPECT_EQ(ModeOf(path), c.After);
    EXPECT_FALSE(IsReadOnlyPath(path));
  }
  EXPECT_FALSE(SetArchiveOnly(dir.Path("\xB1\xA2.mp3")));
  EXPECT_FALSE(IsReadOnlyPath(dir.Path("\xB1\xA2.mp3")));
  EXPECT_FALSE(SetArchiveOnly(QByteArray()));
  // Up to the zero byte the path names a read-only file, which must stay as it is.
  const QByteArray readOnly = dir.Path("read-only.mp3");
  ASSERT_TRUE(MakeFile(readOnly, 1, 0444));
  EXPECT_FALSE(SetArchiveOnly(readOnly + QByteArray("\0x", 2)));
  EXPECT_FALSE(IsReadOnlyPath(readOnly + QByteArray("\0x", 2)));
  EXPECT_EQ(ModeOf(readOnly), 0444u);
}

TEST(Shell, PropertiesOfAFileWhoseNameIsNotUtf8) {
  TByteTempDir dir;
  const QByteArray folder = dir.Path("\xA4\xA4\xA4\xE5");  // "中文" in Big5
  ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
  const struct {
    const char* CodePage;
    QByteArray Name;
    mode_t Mode;
    QString Caption, Folder;
  } cases[] = {
      {"936", "\xB0\xA1.mp3", 0444, QString::fromUtf8("啊.mp3"), QString::fromUtf8("いゅ")},
      {"950", "\xA4\xA4.mp3", 0644, QString::fromUtf8("中.mp3"), QString::fromUtf8("中文")},
      {"1252", "\xFF.mp3", 0644, QString::fromUtf8("ÿ.mp3"), QString::fromUtf8("¤¤¤å")},
  };
  qint64 size = 1234;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    ASSERT_TRUE(MakeFile(folder + '/' + c.Name, ++size, c.Mode));
    std::unique_ptr<QDialog> dialog(ShowFileProperties(folder + '/' + c.Name, nullptr));
    auto text = [&](const char* name) {
      const auto* label = dialog->findChild<QLabel*>(name);
      return label ? label->text() : QString("(none)");
    };
    EXPECT_EQ(text("lblMissing"), "(none)");
    EXPECT_EQ(text("lblName"), c.Caption);
    EXPECT_EQ(text("lblFolder"), QFile::decodeName(dir.Path()) + '/' + c.Folder);
    EXPECT_TRUE(text("lblSize").contains("(" + QLocale().toString(size) + " bytes)"))
        << text("lblSize").toStdString();
    EXPECT_EQ(text("lblPermissions").endsWith("(read-only)"), !(c.Mode & S_IWUSR));
  }
  std::unique_ptr<QDialog> missing(ShowFileProperties(folder + "/\xB1\xA2.mp3", nullptr));
  EXPECT_NE(missing->findChild<QLabel*>("lblMissing"), nullptr);
}

namespace {

// Takes the place of the desktop: records the URLs it is asked to open.
class TOpenRecorder : public QObject {
  Q_OBJECT
 public:
  TOpenRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
  ~TOpenRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
  QList<QUrl> Urls;

 public slots:
  void Open(const QUrl& url) { Urls.append(url); }
};

}  // namespace

// The desktop gets a file URL that carries the name byte for byte, whatever its encoding.
TEST(Shell, OpenGivesTheDesktopTheExactBytesOfThePath) {
  const QByteArray work = QFile::encodeName(QDir::currentPath());
  const struct {
    QByteArray Path, Encoded;
  } cases[] = {
      {"/music/\xB0\xA1.mp3", "file:///music/%B0%A1.mp3"},
      {"/music/\xE4\xB8\xAD.mp3", "file:///music/%E4%B8%AD.mp3"},
      {"/music/a b#c?d%e.mp3", "file:///music/a%20b%23c%3Fd%25e.mp3"},
      {"/music/../x/./\xFF.mp3", "file:///x/%FF.mp3"},
      {"song.mp3", "file://" + work.toPercentEncoding("/") + "/song.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.toHex().constData());
    TOpenRecorder desktop;
    EXPECT_TRUE(ShellOpen(c.Path));
    ASSERT_EQ(desktop.Urls.size(), 1);
    EXPECT_EQ(desktop.Urls[0].toEncoded(), c.Encoded);
    EXPECT_EQ(desktop.Urls[0].scheme(), "file");
  }
  TOpenRecorder desktop;
  EXPECT_FALSE(ShellOpen(QByteArray()));
  EXPECT_FALSE(ShellOpen(QString()));
  EXPECT_TRUE(desktop.Urls.isEmpty());
}

TEST(Shell, ProgramFilesAreFoundBesideTheProgramThenWhereTheyAreInstalled) {
  const QDir folder(QCoreApplication::applicationDirPath());
  const QString name = "program-file-test-" + QString::number(QCoreApplication::applicationPid());
  const QString beside = folder.filePath(name);
  const QString installed = QDir::cleanPath(folder.filePath("../share/melotag/" + name));
  ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).path()));
  EXPECT_EQ(ProgramFile(name), beside);  // neither: the place beside the program
  QFile(installed).open(QIODevice::WriteOnly);
  EXPECT_EQ(ProgramFile(name), installed);
  QFile(beside).open(QIODevice::WriteOnly);
  EXPECT_EQ(ProgramFile(name), beside);
  QFile::remove(beside);
  QFile::remove(installed);
}

#include "ShellTest.moc"
