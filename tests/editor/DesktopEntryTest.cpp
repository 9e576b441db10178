// The file manager's entry for MP3 files: the files written under the user's data folder, their
// keys as desktop entry readers see them (desktop-file-validate, GLib's launcher), and removal.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>

#include "DesktopEntry.h"
#include "EnvScope.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

// The groups of a desktop entry file, each a map of its keys to their raw values.
QMap<QString, QMap<QString, QString>> ReadEntry(const QByteArray& path) {
  QFile file(QString::fromLocal8Bit(path));
  QMap<QString, QMap<QString, QString>> groups;
  if (!file.open(QIODevice::ReadOnly)) return groups;
  QString group;
  for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
    if (line.startsWith('['))
      group = line.mid(1, line.size() - 2);
    else if (const qsizetype eq = line.indexOf('='); eq > 0)
      groups[group][line.left(eq)] = line.mid(eq + 1);
  }
  return groups;
}

// What desktop-file-validate says of a file: its error lines (empty when valid).
QStringList ValidationErrors(const QByteArray& path) {
  QProcess validate;
  validate.start("desktop-file-validate", {QString::fromLocal8Bit(path)});
  EXPECT_TRUE(validate.waitForFinished(30000));
  QStringList errors;
  for (const QString& line : QString::fromUtf8(validate.readAllStandardOutput()).split('\n'))
    if (line.contains("error:")) errors << line;
  return errors;
}

// KDE's service menus are not a type desktop-file-validate knows: those complaints alone.
bool IsServiceTypeComplaint(const QString& error) {
  return error.contains(
      "the type is \"Service\" while this key is only valid for type "
      "\"Application\"");
}

class DesktopEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FHome.isValid()); }
  QByteArray Home() const { return QFile::encodeName(FHome.path()); }

  QTemporaryDir FHome;
  TEnvScope FDataHome{"XDG_DATA_HOME", QFile::encodeName(FHome.path()).constData()};
};

}  // namespace

TEST_F(DesktopEntryTest, RegisterWritesAnOpenWithEntryAndAServiceMenuThatValidate) {
  ASSERT_EQ(RegisterShellVerb("mp3", "Edit With Melotag", "/usr/bin/Melotag"), "");
  const QByteArray name = "melotag-Edit_20With_20Melotag.desktop";
  const QList<QByteArray> files = VerbFiles("Edit With Melotag");
  ASSERT_EQ(files, (QList<QByteArray>{Home() + "/applications/" + name,
                                      Home() + "/kio/servicemenus/" + name}));

  auto open = ReadEntry(files[0]);
  EXPECT_EQ(open["Desktop Entry"]["Type"], "Application");
  EXPECT_EQ(open["Desktop Entry"]["Name"], "Edit With Melotag");
  EXPECT_EQ(open["Desktop Entry"]["MimeType"], "audio/mpeg;");
  EXPECT_EQ(open["Desktop Entry"]["Exec"], "/usr/bin/Melotag %f");
  EXPECT_EQ(open["Desktop Entry"]["NoDisplay"], "true");
  EXPECT_EQ(ValidationErrors(files[0]), QStringList());

  auto menu = ReadEntry(files[1]);
  EXPECT_EQ(menu["Desktop Entry"]["Type"], "Service");
  EXPECT_EQ(menu["Desktop Entry"]["MimeType"], "audio/mpeg;");
  EXPECT_EQ(menu["Desktop Entry"]["Actions"], "melotag;");
  EXPECT_EQ(menu["Desktop Action melotag"]["Name"], "Edit With Melotag");
  EXPECT_EQ(menu["Desktop Action melotag"]["Exec"], "/usr/bin/Melotag %f");
  for (const QString& error : ValidationErrors(files[1]))
    EXPECT_TRUE(IsServiceTypeComplaint(error)) << error.toStdString();
  struct stat status;
  ASSERT_EQ(stat(files[1].constData(), &status), 0);
  EXPECT_TRUE(status.st_mode & S_IXUSR);  // KDE runs only executable service menus of a user

  // No default application is chosen for the user.
  EXPECT_FALSE(QFile::exists(FHome.filePath("applications/mimeapps.list")));
  EXPECT_FALSE(QFile::exists(FHome.filePath("../mimeapps.list")));
}

TEST_F(DesktopEntryTest, ExecQuotesTheProgramPathSoThatTheLauncherStartsIt) {
  // A program that writes the arguments it was started with.
  const struct {
    const char* Folder;  // the program's folder below the temporary one
    const char* Exec;    // the value written, with "<>" for the temporary folder
  } cases[] = {
      {"plain", "<>/plain/prog %f"},
      {"with blank", "\"<>/with blank/prog\" %f"},
      {"quote\"and$dollar`tick", "\"<>/quote\\\\\"and\\\\$dollar\\\\`tick/prog\" %f"},
      {"back\\slash", "\"<>/back\\\\\\\\slash/prog\" %f"},
      {"\xE4\xB8\xAD\xE6\x96\x87 it's", "\"<>/\xE4\xB8\xAD\xE6\x96\x87 it's/prog\" %f"},
  };
  QTemporaryDir programs;
  ASSERT_TRUE(programs.isValid());
  const QString song = programs.filePath("My Song.mp3");
  QFile(song).open(QIODevice::WriteOnly);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folder);
    const QString folder = programs.filePath(QString::fromUtf8(c.Folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "/prog";
    const QString output = folder + "/args";
    {
      QFile script(program);
      ASSERT_TRUE(script.open(QIODevice::WriteOnly));
      script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    }
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString verb = QString("Verb ") + c.Folder;
    ASSERT_EQ(RegisterShellVerb("mp3", verb, QFile::encodeName(program)), "");
    const QByteArray entry = VerbFiles(verb)[0];
    EXPECT_EQ(ReadEntry(entry)["Desktop Entry"]["Exec"],
              QString::fromUtf8(c.Exec).replace("<>", programs.path()));
    EXPECT_EQ(ValidationErrors(entry), QStringList());
    // GLib's launcher reads the entry as every GTK file manager does.
    QProcess gio;
    gio.start("gio", {"launch", QString::fromLocal8Bit(entry), song});
    ASSERT_TRUE(gio.waitForFinished(30000));
    QFile args(output);
    for (int i = 0; i < 200 && !args.exists(); ++i) QThread::msleep(20);
    QThread::msleep(50);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly)) << gio.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(args.readAll()), song + "\n");
  }
}

TEST_F(DesktopEntryTest, AVerbTheProgramCannotBeStartedByIsRefused) {
  const struct {
    QByteArray Program;
    const char* Says;
  } cases[] = {
      {"/opt/new\nline/Melotag", "line break"},
      {"/opt/\xB0\xA1/Melotag", "not valid UTF-8"},
      {"/opt/100%/Melotag", "\"%\""},
  };
  for (const auto& c : cases) {
    const QString error = RegisterShellVerb("mp3", "Edit With Melotag", c.Program);
    EXPECT_TRUE(error.contains(c.Says)) << error.toStdString();
  }
  EXPECT_FALSE(QFile::exists(FHome.filePath("applications")));
}

TEST_F(DesktopEntryTest, VerbsLiveSideBySideAndGoOneByOne) {
  const QString english = "Edit With Melotag";
  const QString chinese = QString::fromUtf8("以 Melotag 編輯");
  const QString slash = "Tags/Names";
  for (const QString& verb : {english, chinese, slash})
    ASSERT_EQ(RegisterShellVerb("mp3", verb, "/usr/bin/Melotag"), "");
  EXPECT_EQ(ReadEntry(VerbFiles(chinese)[0])["Desktop Entry"]["Name"], chinese);
  EXPECT_FALSE(VerbFileName(slash).contains('/'));
  EXPECT_NE(VerbFileName("a/b"), VerbFileName("a_2Fb"));  // a safe name, never a shared one
  // Registering twice writes the same files again.
  auto contents = [&] {
    QFile entry(QString::fromLocal8Bit(VerbFiles(english)[0]));
    return entry.open(QIODevice::ReadOnly) ? entry.readAll() : QByteArray();
  };
  const QByteArray first = contents();
  ASSERT_EQ(RegisterShellVerb("mp3", english, "/usr/bin/Melotag"), "");
  EXPECT_EQ(contents(), first);
  EXPECT_FALSE(first.isEmpty());

  ASSERT_EQ(UnregisterShellVerb("mp3", english), "");
  for (const QByteArray& file : VerbFiles(english)) EXPECT_FALSE(QFile::exists(file));
  for (const QString& verb : {chinese, slash})
    for (const QByteArray& file : VerbFiles(verb)) EXPECT_TRUE(QFile::exists(file)) << file.data();
  // What is not registered: nothing happens, nothing is said.
  EXPECT_EQ(UnregisterShellVerb("mp3", english), "");
  EXPECT_EQ(UnregisterShellVerb("mp3", "Never Registered"), "");
}

TEST_F(DesktopEntryTest, AnUnwritableDataFolderGivesThePathAndTheReason) {
  // The data folder is a file.
  const QByteArray file = Home() + "/not-a-folder";
  QFile(QString::fromLocal8Bit(file)).open(QIODevice::WriteOnly);
  TEnvScope dataHome("XDG_DATA_HOME", file.constData());
  const QString error = RegisterShellVerb("mp3", "Edit With Melotag", "/usr/bin/Melotag");
  EXPECT_TRUE(error.contains(QString::fromLocal8Bit(file))) << error.toStdString();
  EXPECT_TRUE(error.contains("Not a directory")) << error.toStdString();
  // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
  TEnvScope relative("XDG_DATA_HOME", "relative/data");
  TEnvScope home("HOME", FHome.path().toLocal8Bit().constData());
  EXPECT_EQ(DataHome(), Home() + "/.local/share");
}
