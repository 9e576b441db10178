// The tag panel's picture: the selected file's cover shown with its type and size, set by the
// dialog or by a dropped image file, saved to a file and removed; every other frame stays.
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <unistd.h>

#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "TagEditSupport.h"

using namespace tagtest;

namespace {

class CoverPanelTest : public TagEditTest {
 protected:
  QString Info() const { return Get<QLabel>("lblCoverInfo")->text(); }
  bool HasThumbnail() const { return !Get<QLabel>("imgCover")->pixmap().isNull(); }
  std::vector<std::string> Ids(const QString& name) const {
    melotag::tags::TFrameTag tag;
    melotag::tags::ParseFrameTag(Bytes(name), tag);
    std::vector<std::string> ids;
    for (const auto& frame : tag.Frames) ids.push_back(frame.Id);
    return ids;
  }
  void Drop(const QString& file) {
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(file)});
    QLabel* target = Get<QLabel>("imgCover");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    delete mime;
  }
};

}  // namespace

// A cover whose frame inflates past 16 MiB is shown as too large and said on the status line; the
// other picture is shown. An image file of 20 GB is named and not read.
TEST_F(CoverPanelTest, APictureTooLargeToInflateIsSaidAndAnImageTooLargeIsNotRead) {
  const std::string bomb =
      CompressedFrame("APIC", std::string("\0image/png\0\x03\0", 13), 20 << 20);
  RawSong("a.mp3", Tag(Frame("TIT2", std::string("\0T", 2)) + bomb));
  WriteBytes(P("huge.jpg"), "\xFF\xD8\xFF\xE0");
  ASSERT_EQ(::truncate(P("huge.jpg").c_str(), qint64{20} << 30), 0);
  ListFolder();
  SetReading(3);
  SetWriting(1);
  Select({0});
  EXPECT_FALSE(HasThumbnail());
  EXPECT_EQ(Info(), "Picture too large to read");
  EXPECT_EQ(Status(), "Compressed frames too large to read, kept as they are: APIC");

  const std::string before = Bytes("a.mp3");
  Said();
  FDialogs.Push(TDialogAnswer::Paths({Path("huge.jpg")}));
  Get<QPushButton>("btnSetPicture")->click();
  EXPECT_TRUE(
      Said().contains("The image [" + Path("huge.jpg") + "] is larger than 20 MiB: not used"));
  EXPECT_EQ(Bytes("a.mp3"), before);
}

TEST_F(CoverPanelTest, ShowsSetsSavesAndRemovesTheCover) {
  const QByteArray jpeg = ImageBytes(30, 20, "JPG");
  const std::string lyrics = Frame("USLT", std::string("\0eng\0words", 10));
  RawSong("a.mp3", Tag(Frame("TIT2", std::string("\0T", 2)) +
                       Frame("APIC", std::string("\0image/jpeg\0\x03\0", 14) + jpeg.toStdString()) +
                       lyrics));
  RawSong("b.mp3", "");
  WriteBytes(P("red.png"), ImageBytes(12, 8, "PNG").toStdString());
  WriteBytes(P("text.png"), "not an image");
  ListFolder();
  EXPECT_FALSE(Get<QPushButton>("btnSetPicture")->isEnabled()) << "no file selected";
  SetReading(3);
  SetWriting(1);
  Select({0});
  EXPECT_TRUE(HasThumbnail());
  EXPECT_EQ(Info(), QString("Front cover\n30 x 20, %1 bytes").arg(jpeg.size()));

  // Saved as a file of its own.
  FDialogs.Push(TDialogAnswer::Text(Path("saved.jpg")));
  Get<QPushButton>("btnSavePicture")->click();
  EXPECT_EQ(Bytes("saved.jpg"), jpeg.toStdString());
  EXPECT_EQ(FDialogs.Shown().back().ProposedName, "a.jpg");

  // Set by the dialog: the cover is replaced, the lyrics stay.
  FDialogs.Push(TDialogAnswer::Paths({Path("red.png")}));
  Get<QPushButton>("btnSetPicture")->click();
  EXPECT_EQ(Info(), QString("Front cover\n12 x 8, %1 bytes").arg(Bytes("red.png").size()));
  EXPECT_EQ(Ids("a.mp3"), (std::vector<std::string>{"TIT2", "APIC", "USLT"}));
  EXPECT_NE(Bytes("a.mp3").find(lyrics), std::string::npos);

  // A file that is no image is refused whatever its name.
  Said();
  FDialogs.Push(TDialogAnswer::Paths({Path("text.png")}));
  Get<QPushButton>("btnSetPicture")->click();
  EXPECT_TRUE(Said().contains("The file is not a JPEG or PNG image"));

  Get<QPushButton>("btnRemovePicture")->click();
  EXPECT_FALSE(HasThumbnail());
  EXPECT_EQ(Info(), "");
  EXPECT_FALSE(Get<QPushButton>("btnRemovePicture")->isEnabled());
  EXPECT_EQ(Ids("a.mp3"), (std::vector<std::string>{"TIT2", "USLT"}));

  // A file without a tag gets one by a dropped image.
  Select({1});
  EXPECT_FALSE(HasThumbnail());
  Drop(Path("red.png"));
  EXPECT_TRUE(HasThumbnail());
  EXPECT_EQ(Ids("b.mp3"), (std::vector<std::string>{"APIC"}));
  EXPECT_TRUE(Bytes("b.mp3").ends_with(Audio));
}
