// The pictures of a tag (APIC frames): read, the front cover chosen, an image file checked by its
// content, and pictures set or removed through the editor's one tag writer.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ID3v2Frames.h"
#include "UnicodeTag.h"

namespace melotag::editor {

// What an image's bytes are: JPEG or PNG with their size in pixels (0 when the header does not
// tell it); none for anything else.
struct TImageInfo {
  QString Mime;  // "image/jpeg", "image/png"
  int Width = 0;
  int Height = 0;
};
std::optional<TImageInfo> ImageInfoOf(const QByteArray& bytes);
// An image file a user gives (Set Picture, the batch page's picture, a folder's cover.jpg) is read
// up to this size; a larger one is not read at all.
inline constexpr qint64 kMaxImageFile = qint64{20} << 20;
struct TImageFile {
  enum TProblem { None, TooLarge, Unreadable, NotAnImage };
  TProblem Problem = None;
  QByteArray Bytes;  // its JPEG or PNG bytes; empty with a problem
  QString Error;     // the system's reason of Unreadable
  // The problem, to follow the file's name ("is too large (more than 20 MiB)", "is not a JPEG or
  // PNG image", "cannot be read: " and the system's reason); empty without one.
  QString Reason() const;
};
// The image of a file a user gives; one of more than kMaxImageFile bytes is not read.
TImageFile ReadImageFile(const QByteArray& path);
// ".jpg" or ".png" for the image's MIME type.
QString ImageSuffix(const QString& mime);

struct TPicture {
  int Frame = -1;    // its place among the tag's frames
  uint8_t Type = 0;  // 3: front cover
  QString Mime;      // as the frame says it
  QString Description;
  qsizetype Size = 0;               // the image's bytes
  QByteArray Data;                  // those bytes, where asked for (CoverOf)
  std::optional<TImageInfo> Image;  // from the data itself
  // A compressed frame too large to inflate (UnicodeTag.h): kept as it is, nothing else known.
  bool TooLarge = false;
};

// The pictures of a tag in their order, without their data (each compressed one inflated in turn
// and let go); a frame that cannot be read (encrypted, cut short) is left out, one too large to
// inflate is there as TooLarge.
std::vector<TPicture> PicturesOf(const tags::TFrameTag& tag);
// The front cover (type 3), else the first picture, with its data; none without pictures (those
// too large to inflate left aside).
std::optional<TPicture> CoverOf(const tags::TFrameTag& tag);
// The pictures of a file's tag, as PicturesOf; none when the file cannot be read.
std::optional<std::vector<TPicture>> ReadPictures(const std::string& path);

// The tag's front cover (its first picture of type 3) becomes the image, or the image follows the
// other frames; other pictures and every other frame stay. False when that frame holds the image
// already.
bool PutFrontCover(tags::TFrameTag& tag, const QByteArray& image);

// The image of a folder that its files take as their front cover: the first of cover.jpg,
// folder.jpg and cover.png it holds (names in any letter case; of two names that differ in case
// only, the one that sorts first bytewise), read once per folder.
class TFolderCovers {
 public:
  struct TImage {
    QByteArray Path;   // the image file, empty when the folder holds none
    QByteArray Bytes;  // its JPEG or PNG bytes; empty when it could not be taken
    QString Error;     // why the folder gives no image, empty when Bytes holds it
  };
  // The image for the file at `path` (in its folder).
  const TImage& For(const QByteArray& path);

 private:
  std::map<QByteArray, TImage> FFolders;
};

// Makes the image the file's front cover: it replaces the picture CoverOf shows, or follows the
// other frames; every other frame stays. Ok false when the file cannot be written (and when the
// image is no JPEG or PNG: check ImageInfoOf first).
TWriteOutcome SetCover(const std::string& path, const QByteArray& image);
// PutFrontCover on the file's tag: a back cover or any other picture stays beside the new front
// cover. Ok false when the file cannot be written.
TWriteOutcome SetFrontCover(const std::string& path, const QByteArray& image);
// Removes the picture CoverOf shows, or every picture with `all`; nothing else changes.
TWriteOutcome RemoveCover(const std::string& path, bool all);

}  // namespace melotag::editor
