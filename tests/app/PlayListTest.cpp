// The play list through the window: the save dialog as prepared, the name the tag proposes, the
// file read back by its bytes, and an existing play list replaced only on Yes.
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "ByteTempDir.h"
#include "CodePageText.h"
#include "EnvScope.h"
#include "ID3v2.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class PlayListTest : public MainFormTest {
 protected:
  // Saves the play list under `chosen` and answers the overwrite question, if one comes.
  void Save(const QString& chosen, int overwrite = mrNone) {
    FDialogs.Push(TDialogAnswer::Text(chosen));
    if (overwrite != mrNone) FDialogs.Push(TDialogAnswer::Button(overwrite));
    FForm->actPlayListExecute();
  }
};

}  // namespace

TEST_F(PlayListTest, TheListedFilesByTheirNamesWithCrLf) {
  Files({"b.mp3", "a.mp3", "other/c d 'e'.mp3"});
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  form.FileList().Add({{B(Path("other/c d 'e'.mp3")), "c d 'e'.mp3", 417, {}}});
  Save(Path("list.m3u"));
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  const TShownDialog& dialog = FDialogs.Shown()[0];
  EXPECT_EQ(dialog.Kind, TDialogKind::SaveFile);
  EXPECT_EQ(dialog.Filter, "m3u files (*.m3u)|*.m3u;|All files|*.*");
  EXPECT_EQ(dialog.DefaultExt, "m3u");
  EXPECT_EQ(dialog.InitialDir, FDir.path());
  EXPECT_EQ(dialog.ProposedName, "PlayList");
  // Bare names, also of a file of another folder.
  EXPECT_EQ(ReadAll(Path("list.m3u")), "a.mp3\r\nb.mp3\r\nc d 'e'.mp3\r\n");

  // A name typed without extension gets ".m3u".
  Save(Path("mylist"));
  EXPECT_EQ(ReadAll(Path("mylist.m3u")), "a.mp3\r\nb.mp3\r\nc d 'e'.mp3\r\n");
  // Cancelled: nothing written.
  FDialogs.Push(TDialogAnswer::Cancel());
  form.actPlayListExecute();
  EXPECT_EQ(QDir(FDir.path()).entryList({"*.m3u"}, QDir::Files),
            (QStringList{"list.m3u", "mylist.m3u"}));
}

TEST_F(PlayListTest, TheProposedNameComesFromTheFirstFileTag) {
  Files({"1.mp3", "2.mp3"});
  const struct {
    bool Tag;
    std::string Artist, Album;
    QString Proposed;
  } cases[] = {
      {true, "A", "B", U("【A】B")},
      {true, "", "", U("【】")},
      {true, "AC/DC", "Live", U("【AC_DC】Live")},
  };
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Proposed.toStdString());
    TID3v2 tag;
    tag.SetTitle("t");
    tag.SetArtist(c.Artist);
    tag.SetAlbum(c.Album);
    ASSERT_TRUE(tag.WriteToFile(B(Path("1.mp3")).toStdString()));
    FDialogs.ClearShown();
    FDialogs.Push(TDialogAnswer::Cancel());
    form.actPlayListExecute();
    ASSERT_EQ(FDialogs.Shown().size(), 1);
    EXPECT_EQ(FDialogs.Shown()[0].ProposedName, c.Proposed);
  }
  // A first file that cannot be read: the dialog keeps the name of its last use.
  ASSERT_TRUE(QFile::remove(Path("1.mp3")));
  FDialogs.ClearShown();
  FDialogs.Push(TDialogAnswer::Cancel());
  form.actPlayListExecute();
  EXPECT_EQ(FDialogs.Shown()[0].ProposedName, U("【AC_DC】Live"));

  // An empty list.
  form.FileList().Clear();
  FDialogs.ClearShown();
  form.actPlayListExecute();
  ASSERT_EQ(FDialogs.Shown().size(), 1);
  EXPECT_EQ(FDialogs.Shown()[0].Text, "FileList is Empty");
}

TEST_F(PlayListTest, AnExistingPlayListIsReplacedOnlyOnYes) {
  Files({"a.mp3"});
  QFile old(Path("list.m3u"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old\r\n");
  old.close();
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  for (int answer : {int(mrNo), int(mrCancel)}) {
    FDialogs.ClearShown();
    Save(Path("list.m3u"), answer);
    ASSERT_EQ(FDialogs.Shown().size(), 2);
    EXPECT_EQ(FDialogs.Shown()[1].Text,
              "File [" + Path("list.m3u") + "] already exists, Over write ?");
    EXPECT_EQ(FDialogs.Shown()[1].Buttons, Btn(mbYes) | Btn(mbNo));
    EXPECT_EQ(ReadAll(Path("list.m3u")), "old\r\n");
  }
  Save(Path("list.m3u"), mrYes);
  EXPECT_EQ(ReadAll(Path("list.m3u")), "a.mp3\r\n");

  // A write that fails names the file and the reason; the old play list stays.
  FDialogs.ClearShown();
  ASSERT_TRUE(QDir().mkpath(Path("folder.m3u")));
  Save(Path("folder.m3u"), mrYes);
  ASSERT_EQ(FDialogs.Shown().size(), 3);
  EXPECT_EQ(FDialogs.Shown()[2].Type, mtError);
  EXPECT_EQ(FDialogs.Shown()[2].Text,
            "Cannot create file \"" + Path("folder.m3u") + "\". Is a directory.");
  FDialogs.ClearShown();
  Save(Path("missing/list.m3u"));
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_EQ(FDialogs.Shown()[1].Type, mtError);
  EXPECT_EQ(ReadAll(Path("list.m3u")), "a.mp3\r\n");
}

// A received album: a link where the play list goes, a name that would put lines of its own into
// the list, tags whose texts would make a path or control characters of the proposed name.
TEST_F(PlayListTest, AReceivedAlbumCannotSteerThePlayList) {
  Files({"album/01.mp3", "album/02\r\n#EXTINF:1,Evil\r\nrm -rf ~.mp3"});
  ASSERT_TRUE(QDir().mkpath(Path("outside")));
  QFile shellrc(Path("outside/shellrc"));
  ASSERT_TRUE(shellrc.open(QIODevice::WriteOnly));
  shellrc.write("SAFE CONTENT");
  shellrc.close();
  ASSERT_TRUE(QFile::link("../outside/shellrc", Path("album/Album.m3u")));
  TID3v2 tag;
  tag.SetTitle("t");
  tag.SetArtist("../../x\ny");
  tag.SetAlbum(
      "a\x1b]0;b\x07"
      "c");
  ASSERT_TRUE(tag.WriteToFile(B(Path("album/01.mp3")).toStdString()));
  TMainForm& form = MakeForm();
  form.ScanFolder(B(Path("album")));
  ASSERT_EQ(form.FileList().Count(), 2);

  // The link: refused before any question, nothing written through it.
  Save(Path("album/Album.m3u"), mrYes);
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_EQ(FDialogs.Shown()[0].ProposedName, U("【.._.._x_y】a_]0;b_c"));
  EXPECT_EQ(FDialogs.Shown()[1].Type, mtError);
  EXPECT_EQ(FDialogs.Shown()[1].Text, "The play list [" + Path("album/Album.m3u") +
                                          "] is a link: it is not written through a link.");
  EXPECT_EQ(ReadAll(Path("outside/shellrc")), "SAFE CONTENT");
  EXPECT_TRUE(QFileInfo(Path("album/Album.m3u")).isSymLink());

  // The name with line breaks: left out, and named with its breaks shown.
  FDialogs.ClearShown();
  Save(Path("album/list.m3u"));
  EXPECT_EQ(ReadAll(Path("album/list.m3u")), "01.mp3\r\n");
  ASSERT_EQ(FDialogs.Shown().size(), 2);
  EXPECT_EQ(FDialogs.Shown()[1].Type, mtWarning);
  EXPECT_EQ(FDialogs.Shown()[1].Text,
            "1 file(s) left out of the play list, their names hold a line break:\n" +
                Path("album/02\\r\\n#EXTINF:1,Evil\\r\\nrm -rf ~.mp3"));
}

TEST_F(PlayListTest, LegacyNamesAreWrittenByTheirBytes) {
  TByteTempDir dir;
  ASSERT_TRUE(dir.IsValid());
  const QByteArray folder = dir.Path("\xA4\xA4");  // a Big5 folder name
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  for (const QByteArray& name : {QByteArray("\xA4\xA4\xA4\xE5.mp3"), QByteArray("\xB0\xA1.mp3")}) {
    const int fd = ::open((folder + "/" + name).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  const TEnvScope codePage("MELOTAG_CODEPAGE", "950");
  TMainForm& form = MakeForm();
  form.ScanFolder(folder);
  // The save dialog names the folder as Qt reads it: U+FFFD for bytes that are not UTF-8.
  Save(QString::fromUtf8(folder + "/list.m3u"));
  QByteArray written;
  const int fd = ::open((folder + "/list.m3u").constData(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char buffer[64];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  ASSERT_GT(n, 0);
  written = QByteArray(buffer, n);
  QList<QByteArray> lines = written.split('\n');
  ASSERT_EQ(lines.size(), 3);
  lines.removeLast();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (QList<QByteArray>{"\xA4\xA4\xA4\xE5.mp3\r", "\xB0\xA1.mp3\r"}));
}
