#include "TagEditSupport.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImage>

using namespace tagtest;

void TagEditTest::Song(const QString& name, const TSong& song, bool v1, bool v2) {
  WriteBytes(P(name), Audio);
  // The values every tag version holds.
  auto fill = [&](auto& tag) {
    tag.SetTitle(song.Title);
    tag.SetArtist(song.Artist);
    tag.SetAlbum(song.Album);
    tag.SetYear(song.Year);
    tag.SetComment(song.Comment);
    tag.SetTrack(song.Track);
  };
  if (v1) {
    TID3v1 tag;
    fill(tag);
    tag.SetGenreIndex(song.GenreIndex);
    ASSERT_TRUE(tag.WriteToFile(P(name)));
  }
  if (v2) {
    TID3v2 tag;
    fill(tag);
    tag.SetGenre(song.Genre);
    ASSERT_TRUE(tag.WriteToFile(P(name)));
  }
}

void TagEditTest::RawSong(const QString& name, const std::string& front, const std::string& back) {
  WriteBytes(P(name), front + Audio + back);
}

TID3v1 TagEditTest::V1(const QString& name) const {
  TID3v1 tag;
  EXPECT_TRUE(tag.LoadFromFile(P(name))) << P(name);
  return tag;
}

TID3v2 TagEditTest::V2(const QString& name) const {
  TID3v2 tag;
  EXPECT_TRUE(tag.LoadFromFile(P(name))) << P(name);
  return tag;
}

TMainForm& TagEditTest::ListFolder() {
  TMainForm& form = MakeForm();
  form.ScanFolder(B(FDir.path()));
  return form;
}

void TagEditTest::Exact() {
  for (const char* box : {"cbxReadUnicode", "cbxWriteUnicode", "cbxKeepOtherFrames"})
    Get<QCheckBox>(box)->setChecked(false);
}

QStringList TagEditTest::Said() {
  QStringList texts;
  for (const TShownDialog& shown : FDialogs.Shown()) texts << shown.Text;
  FDialogs.ClearShown();
  return texts;
}

QString TagEditTest::Text(const char* edit) const {
  return Get<QLineEdit>(edit)->text();
}

void TagEditTest::Trigger(const char* action) {
  Get<QAction>(action)->trigger();
}

void TagEditTest::SetReading(int item) {
  Get<TRadioGroup>("rgrpReadingTags")->SetItemIndex(item);
}

void TagEditTest::SetWriting(int item) {
  Get<TRadioGroup>("rgrpWritingTags")->SetItemIndex(item);
}

QString TagEditTest::Status() const {
  return Get<TStatusBar>("StatusBar")->PanelText(0);
}

namespace Says {

QString ReadOnlyQuestion(const QString& path) {
  return "The file [" + path + "] is read-only, Set File Attributes [ARCHIVE] ?";
}

QString RemoveQuestion(const QString& path) {
  return "Remove ID3 Tags From File : [" + path + "] ?";
}

QString Failure(const QString& message, const QString& path, const QString& reason) {
  return message + '\n' + path + ": " + reason;
}

}  // namespace Says

QByteArray ImageBytes(int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}
