// The pictures of a tag (APIC frames): read, the front cover chosen, an image file checked by its
// content, and pictures set or removed through the editor's one tag writer.
#pragma once

#include <QByteArray>
#include <QString>

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
// ".jpg" or ".png" for the image's MIME type.
QString ImageSuffix(const QString& mime);

struct TPicture {
  int Frame = -1;    // its place among the tag's frames
  uint8_t Type = 0;  // 3: front cover
  QString Mime;      // as the frame says it
  QString Description;
  QByteArray Data;
  std::optional<TImageInfo> Image;  // from the data itself
};

// The pictures of a tag in their order; a frame that cannot be read (encrypted, cut short) is
// left out.
std::vector<TPicture> PicturesOf(const tags::TFrameTag& tag);
// The front cover (type 3), else the first picture; none without pictures.
std::optional<TPicture> CoverOf(std::vector<TPicture> pictures);
std::optional<TPicture> CoverOf(const tags::TFrameTag& tag);
// The pictures of a file's tag; none when the file cannot be read.
std::optional<std::vector<TPicture>> ReadPictures(const std::string& path);

// Makes the image the file's front cover: it replaces the picture CoverOf shows, or follows the
// other frames; every other frame stays. Ok false when the file cannot be written (and when the
// image is no JPEG or PNG: check ImageInfoOf first).
TWriteOutcome SetCover(const std::string& path, const QByteArray& image);
// Removes the picture CoverOf shows, or every picture with `all`; nothing else changes.
TWriteOutcome RemoveCover(const std::string& path, bool all);

}  // namespace melotag::editor
