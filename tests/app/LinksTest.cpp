// Links in a folder someone else made, listed by the window: the passes, the tag panel and the
// tags from names read them but write through a link only when it leads inside the folder
// listed; each other one is named as left alone. The attacker's folder is made here.
#include <QLineEdit>

#include <sys/stat.h>
#include <unistd.h>

#include "PatternPreview.h"
#include "TagEditSupport.h"

using namespace tagtest;

namespace {

const std::string kShellText = "export PATH=/usr/bin:/bin\n";
const QString kRefused = QStringLiteral("a link to a file outside the folder: not written");

// album/01.mp3 a song; album/02.mp3 -> ../outside/shellrc (a read-only text file);
// album/03.mp3 -> sub/inside.mp3 (a song inside); album/04.mp3 -> ../library/mine.mp3 (the
// user's own song).
class LinksTest : public TagEditTest {
 protected:
  void MakeAlbum() {
    for (const char* folder : {"album", "album/sub", "outside", "library"})
      ASSERT_TRUE(QDir().mkpath(Path(folder)));
    for (const char* song : {"album/01.mp3", "album/sub/inside.mp3", "library/mine.mp3"})
      WriteBytes(P(song), Audio);
    WriteBytes(P("outside/shellrc"), kShellText);
    ASSERT_EQ(chmod(P("outside/shellrc").c_str(), 0444), 0);
    const std::pair<const char*, const char*> links[] = {{"../outside/shellrc", "album/02.mp3"},
                                                         {"sub/inside.mp3", "album/03.mp3"},
                                                         {"../library/mine.mp3", "album/04.mp3"}};
    for (const auto& [target, name] : links) ASSERT_EQ(symlink(target, P(name).c_str()), 0) << name;
  }
  bool Written(const char* name) const { return Bytes(name) != Audio; }
  // What the window said names each link out of the album, and the text outside is as it was.
  void ExpectLeftAlone(const QStringList& said, const QStringList& names) {
    const QString text = said.join('\n');
    for (const QString& name : names)
      EXPECT_TRUE(text.contains(name + ": " + kRefused)) << name.toStdString() << "\n"
                                                         << text.toStdString();
    EXPECT_EQ(text.count(kRefused), names.size()) << text.toStdString();
    EXPECT_EQ(Bytes("outside/shellrc"), kShellText);
    struct stat status;
    ASSERT_EQ(stat(P("outside/shellrc").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_FALSE(Written("library/mine.mp3"));
  }
};

}  // namespace

TEST_F(LinksTest, PassesAndThePanelWriteThroughALinkOnlyInsideTheFolderListed) {
  const struct {
    const char* Name;
    std::function<void()> Run;
    QStringList Refused;  // named as left alone
    bool Inside;          // the song inside is written through its link
  } cases[] = {
      {"batch write",
       [this] {
         Get<QLineEdit>("edtArtist")->setText("X");
         Trigger("actWriteAllTag");
       },
       {"album/02.mp3", "album/04.mp3"},
       true},
      {"batch removal",
       [this] {
         FDialogs.Push(TDialogAnswer::Button(mrYes));
         Trigger("actRemoveAllTag");
       },
       {"album/02.mp3", "album/04.mp3"},
       false},
      {"tags from names",
       [this] {
         FDialogs.Push(TDialogAnswer::Using([](QDialog& dialog) {
           auto& preview = static_cast<TPatternPreview&>(dialog);
           preview.SetPattern("%title%");
           preview.SetTags(false, true);
         }));
         Trigger("actTagsFromNames");
       },
       {"album/02.mp3", "album/04.mp3"},
       true},
      {"the panel",
       [this] {
         Select({1});  // 02.mp3
         Get<QLineEdit>("ArtistEdit")->setText("X");
         Trigger("actWriteTag");
       },
       {"album/02.mp3"},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FDir.remove();
    ASSERT_TRUE(QDir().mkpath(FDir.path()));
    MakeAlbum();
    MakeForm().ScanFolder(B(Path("album")));
    ASSERT_EQ(Captions(), (QStringList{"01.mp3", "02.mp3", "03.mp3", "04.mp3"}));
    Said();
    c.Run();
    QStringList said = Said();
    // The names are shown with their whole path.
    said.replaceInStrings(FDir.path() + '/', "");
    ExpectLeftAlone(said, c.Refused);
    EXPECT_EQ(Written("album/sub/inside.mp3"), c.Inside);
  }
}
