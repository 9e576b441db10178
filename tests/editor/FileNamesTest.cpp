// File names are bytes: folder scans, captions and the way back, paths Qt gave as text, drops.
// Real files in temporary folders, named in Big5, GBK and bytes that are no text at all.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "ByteTempDir.h"
#include "EnvScope.h"
#include "FileNames.h"
#include "FilePath.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

// The bytes of a literal, UTF-8 or not.
QByteArray B(const char* bytes) {
  return QByteArray(bytes);
}

QString U(const char16_t* text) {
  return QString::fromUtf16(text);
}

const QByteArray kBig5 = B("\xA4\xA4\xA4\xE5.mp3");          // "中文" in Big5
const QByteArray kGbk = B("\xB0\xA1.mp3");                   // "啊" in GBK
const QByteArray kNoText = B("\xFF\xFE.mp3");                // no UTF-8, no Big5, no GBK
const QByteArray kBrokenUtf8 = B("\xC3\x28.mp3");            // a lead byte without its follower
const QByteArray kUtf8 = B("\xE4\xB8\xAD\xE6\x96\x87.mp3");  // "中文" in UTF-8

// QFile cannot open a name that is not UTF-8: files are made through the bytes themselves.
void WriteFile(const QByteArray& path, qint64 size) {
  FILE* out = fopen(path.constData(), "wb");
  ASSERT_NE(out, nullptr) << path.toHex().constData();
  const QByteArray data(size, 'x');
  ASSERT_EQ(fwrite(data.constData(), 1, size_t(data.size()), out), size_t(data.size()));
  fclose(out);
}

// A folder of MP3 files with every kind of name, and things a scan must leave out.
class TMusicFolder {
 public:
  struct TFile {
    QByteArray Name;
    qint64 Size;
  };

  TMusicFolder() {
    for (const TFile& file : Files) WriteFile(Path(file.Name), file.Size);
    WriteFile(Path("notes.txt"), 5);
    WriteFile(Path("song.mp3.bak"), 6);
    EXPECT_EQ(mkdir(Path("x.mp3").constData(), 0755), 0);
    EXPECT_EQ(symlink("plain.mp3", Path("link.mp3").constData()), 0);
    EXPECT_EQ(symlink("missing.mp3", Path("dangling.mp3").constData()), 0);
    EXPECT_EQ(symlink("x.mp3", Path("folderlink.mp3").constData()), 0);
    EXPECT_EQ(mkfifo(Path("pipe.mp3").constData(), 0644), 0);
  }

  QByteArray Path(const QByteArray& name) const { return FDir.Path(name); }

 private:
  TByteTempDir FDir;

 public:
  const QByteArray Folder = FDir.Path();
  // Listed; a link to plain.mp3 is listed too.
  const QList<TFile> Files = {{kBig5, 100},       {kGbk, 200},          {kNoText, 300},
                              {kBrokenUtf8, 400}, {kUtf8, 500},         {"plain.mp3", 600},
                              {"LOUD.MP3", 700},  {".hidden.mp3", 800}, {".mp3", 900}};
};

QList<TFileEntry> SortedByPath(QList<TFileEntry> files) {
  std::sort(files.begin(), files.end(),
            [](const TFileEntry& a, const TFileEntry& b) { return a.Path < b.Path; });
  return files;
}

}  // namespace

// Every MP3 file is listed with the exact bytes of its path, its caption as the code page reads
// a name that is not UTF-8, and its size.
TEST(FileNames, ScanListsEveryMp3FileWithItsExactNameUnderEachCodePage) {
  TMusicFolder music;
  const struct {
    const char* CodePage;
    QString Big5, Gbk, NoText, BrokenUtf8;
  } cases[] = {
      {"950", U(u"中文.mp3"), U(u"陛.mp3"), U(u"\xDCFF\xDCFE.mp3"), U(u"\xDCC3(.mp3")},
      {"936", U(u"いゅ.mp3"), U(u"啊.mp3"), U(u"\xDCFF\xDCFE.mp3"), U(u"\xDCC3(.mp3")},
      {"1252", U(u"¤¤¤å.mp3"), U(u"°¡.mp3"), U(u"ÿþ.mp3"), U(u"Ã(.mp3")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    const QMap<QByteArray, QString> captions = {
        {kBig5, c.Big5},          {kGbk, c.Gbk},
        {kNoText, c.NoText},      {kBrokenUtf8, c.BrokenUtf8},
        {kUtf8, U(u"中文.mp3")},  {"plain.mp3", "plain.mp3"},
        {"LOUD.MP3", "LOUD.MP3"}, {".hidden.mp3", ".hidden.mp3"},
        {".mp3", ".mp3"},         {"link.mp3", "link.mp3"}};
    QList<TFileEntry> expected;
    for (const auto& file : music.Files)
      expected.append({music.Path(file.Name), captions[file.Name], file.Size, {}});
    expected.append({music.Path("link.mp3"), "link.mp3", 600, {}});

    // A folder given with a closing "/" lists the same paths, the separator not doubled.
    for (const QByteArray& folder : {music.Folder, music.Folder + '/'}) {
      const TScanResult scan = ScanFolder(folder);
      EXPECT_EQ(scan.Error, 0);
      const QList<TFileEntry> files = SortedByPath(scan.Files);
      const QList<TFileEntry> want = SortedByPath(expected);
      ASSERT_EQ(files.size(), want.size());
      for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(want[i].Path.toHex().constData());
        EXPECT_EQ(files[i].Path, want[i].Path);
        EXPECT_EQ(files[i].Caption, want[i].Caption);
        EXPECT_EQ(files[i].Size, want[i].Size);
      }
    }
  }
}

TEST(FileNames, ScanOfAFolderThatCannotBeReadGivesTheReason) {
  TMusicFolder music;
  const struct {
    QByteArray Folder;
    int Error;
  } cases[] = {
      {music.Path("missing"), ENOENT},
      {music.Path(kBig5), ENOTDIR},
      {"", ENOENT},
      // Up to the zero byte this names the music folder: it must not be listed instead.
      {music.Folder + QByteArray("\0/other", 7), EINVAL},
  };
  for (const auto& c : cases) {
    const TScanResult scan = ScanFolder(c.Folder);
    EXPECT_EQ(scan.Error, c.Error) << c.Folder.toHex().constData();
    EXPECT_TRUE(scan.Files.isEmpty());
  }
}

// "Archive alone": the owner's write permission is added where it is missing, nothing else.
TEST(FileNames, ScanMakesFilesWritableOnlyWhenAsked) {
  const struct {
    bool MakeWritable;
    mode_t Before, After;
  } cases[] = {
      {true, 0444, 0644}, {true, 0400, 0600},  {true, 0640, 0640},
      {true, 0755, 0755}, {false, 0444, 0444},
  };
  for (const auto& c : cases) {
    TMusicFolder music;
    const QByteArray path = music.Path(kGbk);
    ASSERT_EQ(chmod(path.constData(), c.Before), 0);
    ScanFolder(music.Folder, c.MakeWritable);
    struct stat status;
    ASSERT_EQ(stat(path.constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, c.After) << c.MakeWritable << " " << c.Before;
  }
}

// A folder received from someone else may link to files anywhere: "archive alone" changes the
// permissions of the folder's own files, never those of a link's target.
TEST(FileNames, PermissionsAreNeverChangedThroughALink) {
  const struct {
    const char* Name;
    void (*MakeWritable)(const QByteArray& folder, const QByteArray& path);
  } ways[] = {
      {"scan", [](const QByteArray& folder, const QByteArray&) { ScanFolder(folder, true); }},
      {"archive alone", [](const QByteArray&, const QByteArray& path) { SetArchiveOnly(path); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.Name);
    TByteTempDir dir;
    const QByteArray folder = dir.Path("album");
    ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
    WriteFile(dir.Path("outside.mp3"), 10);
    WriteFile(dir.Path("album/own.mp3"), 10);
    ASSERT_EQ(symlink("../outside.mp3", dir.Path("album/link.mp3").constData()), 0);
    for (const char* name : {"outside.mp3", "album/own.mp3"})
      ASSERT_EQ(chmod(dir.Path(name).constData(), 0444), 0);
    way.MakeWritable(folder, dir.Path("album/own.mp3"));
    way.MakeWritable(folder, dir.Path("album/link.mp3"));
    struct stat status;
    ASSERT_EQ(stat(dir.Path("album/own.mp3").constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    ASSERT_EQ(stat(dir.Path("outside.mp3").constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
  }
}

// Whether a write may go to a file that a scan of `Root` met (every path below the temporary
// folder): inside the folder's tree as the links are now.
TEST(FileNames, MayWriteThroughOnlyInsideTheFolderScanned) {
  TByteTempDir dir;
  for (const char* folder : {"album", "album/sub", "album2"})
    ASSERT_EQ(mkdir(dir.Path(folder).constData(), 0755), 0);
  for (const char* file : {"album/a.mp3", "album/sub/b.mp3", "album2/c.mp3", "outside.mp3"})
    WriteFile(dir.Path(file), 10);
  const std::pair<const char*, const char*> links[] = {
      {"sub/b.mp3", "album/in.mp3"},         {"../outside.mp3", "album/out.mp3"},
      {"../album2/c.mp3", "album/pre.mp3"},  // album2 begins with the album's name
      {"missing.mp3", "album/dangling.mp3"}, {"loop2.mp3", "album/loop1.mp3"},
      {"loop1.mp3", "album/loop2.mp3"},      {"album", "chosen"},
      {"../outside.mp3", "album/sub/up.mp3"}};
  for (const auto& [target, name] : links)
    ASSERT_EQ(symlink(target, dir.Path(name).constData()), 0) << name;
  const struct {
    const char* Path;
    const char* Root;  // "": named by the user
    bool May;
  } cases[] = {
      {"album/a.mp3", "album", true},
      {"album/in.mp3", "album", true},
      {"album/sub/b.mp3", "album", true},
      {"album/out.mp3", "album", false},
      {"album/sub/up.mp3", "album", false},
      {"album/pre.mp3", "album", false},
      {"album/dangling.mp3", "album", false},
      {"album/loop1.mp3", "album", false},
      {"album/none.mp3", "album", true},  // nothing there: the write fails for its own reason
      {"album/out.mp3", "", true},
      {"album/a.mp3", "album/sub", false},
      // The folder chosen is itself a link: its tree is the folder it leads to.
      {"chosen/in.mp3", "chosen", true},
      {"chosen/out.mp3", "chosen", false},
  };
  for (const auto& c : cases) {
    const QByteArray root = *c.Root ? dir.Path(c.Root) : QByteArray();
    EXPECT_EQ(MayWriteThrough(dir.Path(c.Path), root), c.May) << c.Path << " in " << c.Root;
  }
  // A relative folder, as a command line gives it.
  const QByteArray here = QDir::currentPath().toUtf8();
  ASSERT_EQ(chdir(dir.Path().constData()), 0);
  EXPECT_TRUE(MayWriteThrough("album/in.mp3", "album"));
  EXPECT_FALSE(MayWriteThrough("album/out.mp3", "album/"));
  ASSERT_EQ(chdir(here.constData()), 0);
}

// A scan of a folder's tree enters no link to a folder (nor a loop); the folder tree shows them.
TEST(FileNames, SubFoldersLeaveLinkedFoldersOutOfAScan) {
  TByteTempDir dir;
  for (const char* folder : {"album", "album/cd1", "library"})
    ASSERT_EQ(mkdir(dir.Path(folder).constData(), 0755), 0);
  WriteFile(dir.Path("album/cd2"), 10);  // a file
  ASSERT_EQ(symlink("../library", dir.Path("album/bonus").constData()), 0);
  ASSERT_EQ(symlink(".", dir.Path("album/loop").constData()), 0);
  ASSERT_EQ(symlink("cd2", dir.Path("album/filelink").constData()), 0);
  QList<QByteArray> all = SubFolders(dir.Path("album"));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (QList<QByteArray>{"bonus", "cd1", "loop"}));
  EXPECT_EQ(SubFolders(dir.Path("album"), false), QList<QByteArray>{"cd1"});
}

// Captions, and the way back from a caption to the name bytes.
TEST(FileNames, CaptionAndNameTable) {
  const struct {
    const char* CodePage;
    QByteArray Name;
    QString Caption;
    QByteArray FromCaption;  // CaptionName(Caption)
  } cases[] = {
      // UTF-8 names read as UTF-8 under every code page and come back byte for byte.
      {"950", kUtf8, U(u"中文.mp3"), kUtf8},
      {"1252", kUtf8, U(u"中文.mp3"), kUtf8},
      {"950", B("\xF0\x9F\x8E\xB5"), U(u"🎵"), B("\xF0\x9F\x8E\xB5")},
      // A caption with escapes goes back through the code page, each escape to its byte.
      {"950", kNoText, U(u"\xDCFF\xDCFE.mp3"), kNoText},
      {"950", kBrokenUtf8, U(u"\xDCC3(.mp3"), kBrokenUtf8},
      {"936", kBrokenUtf8, U(u"\xDCC3(.mp3"), kBrokenUtf8},
      {"1252", B("\x81\xE9.mp3"), U(u"\xDC81é.mp3"), B("\x81\xE9.mp3")},
      {"65001", kNoText, U(u"\xDCFF\xDCFE.mp3"), kNoText},
      // Big5 under 950 with one byte that is not Big5: the Chinese comes back in Big5 too.
      {"950", B("\xA4\xA4\xFF"), U(u"中\xDCFF"), B("\xA4\xA4\xFF")},
      // Not UTF-8: overlong forms, surrogates, code points past U+10FFFF, a cut sequence.
      {"1252", B("\xC0\xAF"), U(u"À¯"), B("\xC3\x80\xC2\xAF")},
      {"1252", B("\xED\xA0\x80"), U(u"í\u00A0€"), B("\xC3\xAD\xC2\xA0\xE2\x82\xAC")},
      {"1252", B("\xF4\x90\x80\x80"), U(u"ô\xDC90€€"), B("\xF4\x90\x80\x80")},
      {"950", B("\xE4\xB8"), U(u"銝"), B("\xE9\x8A\x9D")},
      // A code-page name that decodes without escapes has the caption of a UTF-8 name as well:
      // the caption alone gives the UTF-8 name.
      {"950", kBig5, U(u"中文.mp3"), kUtf8},
      {"936", kGbk, U(u"啊.mp3"), B("\xE5\x95\x8A.mp3")},
      {"1252", kNoText, U(u"ÿþ.mp3"), B("\xC3\xBF\xC3\xBE.mp3")},
      // A path, part by part: a UTF-8 name in a Big5 folder, a Big5 name in a UTF-8 folder.
      {"950", B("/m/\xA4\xA4\xA4\xE5/") + kUtf8, U(u"/m/中文/中文.mp3"),
       B("/m/") + kUtf8.left(6) + "/" + kUtf8},
      {"950", B("/m/\xE4\xB8\xAD/\xA4\xA4.mp3"), U(u"/m/中/中.mp3"),
       B("/m/\xE4\xB8\xAD/\xE4\xB8\xAD.mp3")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.CodePage) + " " + c.Name.toHex().constData());
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    EXPECT_EQ(NameCaption(c.Name), c.Caption);
    EXPECT_EQ(CaptionName(c.Caption), c.FromCaption);
    // Knowing the name the caption stands for keeps its bytes whatever they are.
    EXPECT_EQ(CaptionName(c.Caption, c.Name), c.Name);
  }
}

// Text the user typed or changed becomes a name: UTF-8 unless it carries escapes.
TEST(FileNames, CaptionNameOfTypedText) {
  const struct {
    const char* CodePage;
    QString Caption;
    QByteArray Former;
    QByteArray Name;
  } cases[] = {
      {"950", U(u"中文.mp3"), "", kUtf8},
      {"950", U(u"中文.mp3"), kGbk, kUtf8},  // a changed name is not kept
      {"1252", U(u"Café.mp3"), "", B("Caf\xC3\xA9.mp3")},
      {"950", U(u"plain.mp3"), "", "plain.mp3"},
      // Escapes kept, and a character Big5 has not got is written as UTF-8, not as "?".
      {"950", U(u"\xDCFF🎵.mp3"), kNoText, B("\xFF\xF0\x9F\x8E\xB5.mp3")},
      {"950", U(u"中\xDCFF.mp3"), "", B("\xA4\xA4\xFF.mp3")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Caption.toStdString());
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    EXPECT_EQ(c.Former.isEmpty() ? CaptionName(c.Caption) : CaptionName(c.Caption, c.Former),
              c.Name);
  }
}

TEST(FileNames, StatusOfPaths) {
  TMusicFolder music;
  const struct {
    QByteArray Path;
    bool Folder, File;
    qint64 Size;
  } cases[] = {
      {music.Path(kGbk), false, true, 200},
      {music.Path("link.mp3"), false, true, 600},
      {music.Path("x.mp3"), true, false, 0},
      {music.Path("folderlink.mp3"), true, false, 0},
      {music.Path("pipe.mp3"), false, false, 0},
      {music.Path("dangling.mp3"), false, false, 0},
      {music.Path("missing.mp3"), false, false, 0},
      {"", false, false, 0},
      {music.Path(kGbk) + QByteArray("\0x", 2), false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.toHex().constData());
    EXPECT_EQ(IsFolder(c.Path), c.Folder);
    EXPECT_EQ(IsFile(c.Path), c.File);
    EXPECT_EQ(FileSizeOf(c.Path), c.Size);
  }
}

TEST(FileNames, AbsolutePathCleansBytesAgainstTheWorkingFolder) {
  TByteTempDir dir;
  const QByteArray work = dir.Path("\xB0\xA1");  // not UTF-8
  ASSERT_EQ(mkdir(work.constData(), 0755), 0);
  const QByteArray old = QFile::encodeName(QDir::currentPath());
  ASSERT_EQ(chdir(work.constData()), 0);
  const struct {
    QByteArray Path, Absolute;
  } cases[] = {
      {"", ""},
      {"/", "/"},
      {"/a/./b//c/../d/", "/a/b/d"},
      {"/../..", "/"},
      {"/x/\xFF\xFE/../\xC3\x28", "/x/\xC3\x28"},
      {"song.mp3", work + "/song.mp3"},
      {"./\xA4\xA4.mp3", work + "/\xA4\xA4.mp3"},
      {"../song.mp3", dir.Path("song.mp3")},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsolutePath(c.Path), c.Absolute) << c.Path.constData();
  ASSERT_EQ(chdir(old.constData()), 0);
}

// Qt shows a name that is not UTF-8 with U+FFFD: the text leads back to the one name it stands
// for, or to nothing.
TEST(FileNames, PathOfTextFindsTheOneNameALossyTextStandsFor) {
  TByteTempDir dir;
  const QByteArray root = dir.Path();
  const QByteArray gbkFolder = root + "/\xB0\xA1";    // reads "\uFFFD\uFFFD"
  const QByteArray twinA = root + "/twins/\xB0\xA1";  // both read "\uFFFD\uFFFD"
  const QByteArray twinB = root + "/twins/\xB1\xA2";
  for (const QByteArray& folder : {gbkFolder, root + "/twins", twinA, twinB})
    ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
  WriteFile(gbkFolder + "/\xC3\x28.mp3", 1);
  WriteFile(gbkFolder + "/plain.mp3", 1);
  WriteFile(twinA + "/a.mp3", 1);

  const struct {
    QByteArray Path;  // Qt's text is QFile::decodeName of these bytes
    std::optional<QByteArray> Found;
  } cases[] = {
      {gbkFolder, gbkFolder},
      {gbkFolder + "/plain.mp3", gbkFolder + "/plain.mp3"},
      {gbkFolder + "/\xC3\x28.mp3", gbkFolder + "/\xC3\x28.mp3"},
      {twinA, std::nullopt},
      {twinA + "/a.mp3", std::nullopt},
      {root + "/\xFF", std::nullopt},  // no name reads "\uFFFD"
      {root + "/no such folder/x.mp3", root + "/no such folder/x.mp3"},
      {"", QByteArray()},
      {gbkFolder + QByteArray("\0/x", 3), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.toHex().constData());
    EXPECT_EQ(PathOfText(QFile::decodeName(c.Path)), c.Found);
  }
}

// A caption with an escape (a byte the code page does not decode) is no text of any UTF-8 name:
// it leads to the one name shown with exactly that caption, never to the name of its "?" form.
TEST(FileNames, PathOfTextTakesACaptionWithAnEscapeOnlyForItsOwnName) {
  TByteTempDir dir;
  const QByteArray root = dir.Path();
  const QByteArray escaped = root + "/dir\xFF";              // caption "dir\uDCFF" under 950
  const QByteArray replacement = root + "/dir\xEF\xBF\xBD";  // U+FFFD as UTF-8
  const QByteArray question = root + "/dir?";
  for (const QByteArray& folder : {escaped, replacement, question})
    ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
  const QString base = QFile::decodeName(root) + "/dir";
  const struct {
    const char* CodePage;
    QString Text;
    std::optional<QByteArray> Found;
  } cases[] = {
      {"950", base + QChar(0xDCFF), escaped},
      {"950", base + QChar(0xDCFF) + "/a.mp3", escaped + "/a.mp3"},
      {"1252", base + QChar(0xDCFF), std::nullopt},  // reads "dir\u00FF" there: no such caption
      {"950", base + QChar(0xDCFE), std::nullopt},
      {"950", base + QChar::ReplacementCharacter, std::nullopt},  // two names read so
      {"950", base + "?", question},
      {"1252", base + "?", question},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.CodePage) + " " + c.Text.toStdString());
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    EXPECT_EQ(PathOfText(c.Text), c.Found);
  }
}

TEST(FileNames, LocalPathsOfUriList) {
  const struct {
    QByteArray UriList;
    QList<QByteArray> Paths;
  } cases[] = {
      {"file:///music/a.mp3\r\n", {"/music/a.mp3"}},
      {"file:///music/%B0%A1.mp3\r\nfile:///music/%a4%a4.mp3",
       {"/music/\xB0\xA1.mp3", "/music/\xA4\xA4.mp3"}},
      {"file:///music/%E4%B8%AD.mp3", {"/music/\xE4\xB8\xAD.mp3"}},
      {"file://localhost/a.mp3\r\nFILE://LocalHost/b.mp3", {"/a.mp3", "/b.mp3"}},
      {"file:/a%20b.mp3", {"/a b.mp3"}},
      {"# a comment\r\nfile:///a.mp3\r\n#file:///b.mp3\r\n", {"/a.mp3"}},
      {"file:///a.mp3\nfile:///b.mp3\n", {"/a.mp3", "/b.mp3"}},
      {"file:///a%23b%3F.mp3", {"/a#b?.mp3"}},
      {"file:///a.mp3#part\r\nfile:///b.mp3?x=1", {"/a.mp3", "/b.mp3"}},
      {"file:///100%.mp3\r\nfile:///x%4", {"/100%.mp3", "/x%4"}},
      {"file://server/share/a.mp3\r\nhttp://localhost/a.mp3\r\nfile:a.mp3\r\nfile://", {}},
      {"file:///a%00b.mp3\r\nfile:///c.mp3", {"/c.mp3"}},
      {QByteArray("file:///a.mp3\r\n\0", 16), {"/a.mp3"}},
      {"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LocalPathsOfUriList(c.UriList), c.Paths) << c.UriList.constData();
}

TEST(FileNames, SortByCaptionIsTheLocalesCaseSensitiveOrderAndStable) {
  const QLocale before;
  QLocale::setDefault(QLocale(QStringLiteral("en_US")));
  // Two entries of one caption (the same name in two folders) keep their order.
  QList<TFileEntry> entries;
  for (const char* path : {"/1/b.mp3", "/1/A.mp3", "/2/a.mp3", "/1/10.mp3", "/1/a.mp3", "/1/9.mp3",
                           "/1/\xC3\xA9.mp3", "/1/e.mp3", "/1/f.mp3"})
    entries.append({path, NameCaption(FileNamePart(path)), 0, {}});
  SortByCaption(entries);
  QList<QByteArray> paths;
  for (const TFileEntry& entry : entries) paths.append(entry.Path);
  // Digits are characters ("10" before "9"), letter case comes after the letter, é beside e.
  EXPECT_EQ(paths, (QList<QByteArray>{"/1/10.mp3", "/1/9.mp3", "/2/a.mp3", "/1/a.mp3", "/1/A.mp3",
                                      "/1/b.mp3", "/1/e.mp3", "/1/\xC3\xA9.mp3", "/1/f.mp3"}));
  QLocale::setDefault(before);
}
