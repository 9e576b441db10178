// Cover pictures: images told by their content, the front cover set and removed with every other
// frame kept, and mutagen and TagLib reading the picture back byte for byte.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <sys/stat.h>
#include <unistd.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "Cover.h"
#include "ID3v2Frames.h"
#include "QtPrinters.h"
#include "TagTestSupport.h"

using namespace melotag::editor;
using namespace melotag::tags;
using namespace tagtest;

namespace {

QByteArray Image(int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return bytes;
}

std::string Latin(const std::string& text) {
  return '\0' + text;
}

TEST(Cover, ImagesAreToldByTheirContent) {
  const QByteArray jpeg = Image(40, 30, "JPG");
  const struct {
    const char* Name;
    QByteArray Bytes;
    std::optional<QString> Mime;
    int Width, Height;
  } cases[] = {
      {"PNG", Image(37, 21, "PNG"), "image/png", 37, 21},
      {"JPEG", jpeg, "image/jpeg", 40, 30},
      {"JPEG cut before its frame header", jpeg.left(4), "image/jpeg", 0, 0},
      {"GIF", QByteArray("GIF89a\x01\0\x01\0", 10), std::nullopt, 0, 0},
      {"text named .jpg", "hello", std::nullopt, 0, 0},
      {"nothing", QByteArray(), std::nullopt, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::optional<TImageInfo> info = ImageInfoOf(c.Bytes);
    ASSERT_EQ(info.has_value(), c.Mime.has_value());
    if (!info) continue;
    EXPECT_EQ(info->Mime, *c.Mime);
    EXPECT_EQ(info->Width, c.Width);
    EXPECT_EQ(info->Height, c.Height);
  }
}

class CoverFile : public ::testing::Test {
 protected:
  TFrameTag Frames() {
    TFrameTag tag;
    EXPECT_TRUE(ReadFrameTag(path, tag));
    return tag;
  }
  std::vector<std::string> Ids() {
    std::vector<std::string> ids;
    for (const TFrame& frame : Frames().Frames) ids.push_back(frame.Id);
    return ids;
  }
  TTempDir dir;
  const std::string path = dir.Path("song.mp3");
  const std::string audio = MpegAudio(2);
  const QByteArray png = Image(8, 6, "PNG");
  const std::string back = Frame("APIC", std::string("\0image/png\0\x04\0", 13) + "BACK");
};

TEST_F(CoverFile, SetReplacesTheShownCoverAndKeepsEveryOtherFrame) {
  const std::string front = Frame("APIC", std::string("\0image/jpeg\0\x03\0", 14) + "OLD");
  const std::string lyrics = Frame("USLT", std::string("\0eng\0", 5) + "words");
  const struct {
    const char* Name;
    std::string Tag;
    std::vector<std::string> Ids;  // after
    uint8_t Version;
  } cases[] = {
      {"a front cover among other pictures",
       Tag(Frame("TIT2", Latin("T")) + back + front + lyrics),
       {"TIT2", "APIC", "APIC", "USLT"},
       3},
      {"no front cover: the first picture is the one shown",
       Tag(Frame("TIT2", Latin("T")) + back),
       {"TIT2", "APIC"},
       3},
      {"no picture", Tag(Frame("TIT2", Latin("T")) + lyrics), {"TIT2", "USLT", "APIC"}, 3},
      {"no tag", "", {"APIC"}, 3},
      {"a 2.4 tag stays 2.4",
       Tag("TIT2" + SyncSafe(2) + std::string(2, '\0') + Latin("T"), 4),
       {"TIT2", "APIC"},
       4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(path, c.Tag + audio);
    ASSERT_TRUE(SetCover(path, png).Ok);
    EXPECT_EQ(Ids(), c.Ids);
    const TFrameTag tag = Frames();
    EXPECT_EQ(tag.Version, c.Version);
    EXPECT_TRUE(ReadBytes(path).ends_with(audio));
    const std::optional<TPicture> cover = CoverOf(tag);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->Type, 3);
    EXPECT_EQ(cover->Mime, "image/png");
    EXPECT_EQ(cover->Data, png);
    EXPECT_EQ(cover->Image->Width, 8);
    // The other frames as they were.
    if (c.Tag.find(lyrics) != std::string::npos) {
      EXPECT_NE(ReadBytes(path).find(lyrics), std::string::npos);
    }
  }
  EXPECT_FALSE(SetCover(path, "not an image").Ok);
}

TEST_F(CoverFile, RemoveTakesTheShownCoverOrEveryPicture) {
  const std::string front = Frame("APIC", std::string("\0image/jpeg\0\x03\0", 14) + "OLD");
  for (const bool all : {false, true}) {
    WriteBytes(path, Tag(Frame("TIT2", Latin("T")) + back + front) + audio);
    ASSERT_TRUE(RemoveCover(path, all).Ok);
    const std::vector<std::string> left =
        all ? std::vector<std::string>{"TIT2"} : std::vector<std::string>{"TIT2", "APIC"};
    EXPECT_EQ(Ids(), left);
    if (!all) {
      EXPECT_EQ(CoverOf(Frames())->Type, 4);
    }
  }
  // Nothing to remove: the file stays as it is.
  const std::string before = Tag(Frame("TIT2", Latin("T"))) + audio;
  WriteBytes(path, before);
  EXPECT_TRUE(RemoveCover(path, true).Ok);
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(CoverFile, APictureTooLargeToInflateIsListedAsSuchAndKeptByteForByte) {
  // A front cover whose frame inflates past 16 MiB, a back cover, lyrics.
  const std::string bomb =
      CompressedFrame("APIC", std::string("\0image/png\0\x03\0", 13) + png.toStdString(), 16 << 20);
  const std::string lyrics = Frame("USLT", std::string("\0eng\0words", 10));
  WriteBytes(path, Tag(bomb + back + lyrics) + audio);
  const std::vector<TPicture> pictures = PicturesOf(Frames());
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_TRUE(pictures[0].TooLarge);
  EXPECT_EQ(pictures[1].Type, 4);
  EXPECT_EQ(pictures[1].Size, 4);
  EXPECT_TRUE(pictures[1].Data.isEmpty()) << "a list of pictures holds none of their data";
  const std::optional<TPicture> cover = CoverOf(Frames());
  ASSERT_TRUE(cover);
  EXPECT_EQ(cover->Data, "BACK") << "the picture shown is one that inflates";

  ASSERT_TRUE(SetFrontCover(path, png).Ok);
  EXPECT_EQ(Ids(), (std::vector<std::string>{"APIC", "APIC", "USLT", "APIC"}));
  EXPECT_NE(ReadBytes(path).find(bomb + back + lyrics), std::string::npos);
}

// A folder's cover.jpg, or any image file a user gives, is read up to 20 MiB; a larger one (a
// sparse file of 20 GB too) is named and not read.
TEST(Cover, ImageFilesBeyondTheirBoundAreNamedNotRead) {
  TTempDir dir;
  const struct {
    const char* Folder;
    int64_t Size;
    QString Error;
  } cases[] = {
      {"a", 20 << 20, ""},
      {"b", (20 << 20) + 1, "cover.jpg of its folder is too large (more than 20 MiB)"},
      {"c", int64_t{20} << 30, "cover.jpg of its folder is too large (more than 20 MiB)"},
  };
  TFolderCovers covers;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folder);
    const std::string folder = dir.Path(c.Folder);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string image = folder + "/cover.jpg";
    WriteBytes(image, "\xFF\xD8\xFF\xE0");
    ASSERT_EQ(::truncate(image.c_str(), c.Size), 0);
    const TFolderCovers::TImage& taken = covers.For(QByteArray::fromStdString(folder + "/x.mp3"));
    EXPECT_EQ(taken.Error, c.Error);
    EXPECT_EQ(taken.Bytes.size(), c.Error.isEmpty() ? c.Size : 0);
    EXPECT_EQ(ReadImageFile(QByteArray::fromStdString(image)).Problem,
              c.Error.isEmpty() ? TImageFile::None : TImageFile::TooLarge);
  }
}

TEST_F(CoverFile, PeersReadTheCoverByteForByte) {
  const QByteArray jpeg = Image(64, 48, "JPG");
  WriteBytes(path, Tag(Frame("TIT2", Latin("T")) + back) + audio);
  ASSERT_TRUE(SetCover(path, jpeg).Ok);
  int status = 0;
  const std::string mutagen = RunCommand(
      "/usr/bin/python3 -c 'import sys, mutagen.id3 as i; "
      "p = [f for f in i.ID3(sys.argv[1]).getall(\"APIC\") if f.type == 3][0]; "
      "sys.stdout.buffer.write(p.mime.encode() + b\"|\" + p.data)' " +
          Quote(path),
      &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(mutagen, "image/jpeg|" + jpeg.toStdString());

  TagLib::MPEG::File file(path.c_str());
  ASSERT_TRUE(file.isValid());
  bool found = false;
  for (TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameListMap()["APIC"]) {
    auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (!picture || picture->type() != TagLib::ID3v2::AttachedPictureFrame::FrontCover) continue;
    found = true;
    EXPECT_EQ(picture->mimeType().to8Bit(), "image/jpeg");
    EXPECT_EQ(std::string(picture->picture().data(), picture->picture().size()),
              jpeg.toStdString());
  }
  EXPECT_TRUE(found);
}

}  // namespace
