#include "Cover.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "FileNames.h"
#include "FilePath.h"
#include "TagWrite.h"

namespace melotag::editor {

using tags::TFrame;
using tags::TFrameTag;

namespace {

constexpr uint8_t kFrontCover = 3;

int Byte(const QByteArray& bytes, qsizetype at) {
  return static_cast<unsigned char>(bytes[at]);
}

int Big16(const QByteArray& bytes, qsizetype at) {
  return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

// Width and height of a JPEG's first frame header (SOFn), found by walking its markers.
void JpegSize(const QByteArray& bytes, TImageInfo& info) {
  qsizetype at = 2;
  while (at + 4 <= bytes.size()) {
    if (Byte(bytes, at) != 0xFF) return;
    const int marker = Byte(bytes, at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return;  // the image data or its end: no frame header
    const int length = Big16(bytes, at + 2);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && at + 9 <= bytes.size()) {
      info.Height = Big16(bytes, at + 5);
      info.Width = Big16(bytes, at + 7);
      return;
    }
    if (length < 2) return;
    at += 2 + length;
  }
}

// Picture `index` of the tag; its data only `withData`, its image's kind and size in any case.
// A compressed frame too large to inflate gives TooLarge alone.
std::optional<TPicture> PictureOf(const TFrameTag& tag, const TFrameContents& contents, int index,
                                  bool withData) {
  const TFrame& frame = tag.Frames[index];
  if (frame.Id != "APIC" || frame.Truncated) return std::nullopt;
  TPicture picture;
  picture.Frame = index;
  if (contents.IsTooLarge(index)) {
    picture.TooLarge = true;
    return picture;
  }
  const std::optional<std::string> content = contents.Of(index);
  if (!content || content->size() < 2) return std::nullopt;
  const uint8_t encoding = static_cast<uint8_t>((*content)[0]);
  std::string_view rest = std::string_view(*content).substr(1);
  const size_t mimeEnd = rest.find('\0');
  if (mimeEnd == std::string_view::npos || mimeEnd + 1 >= rest.size()) return std::nullopt;
  picture.Mime = QString::fromLatin1(rest.data(), static_cast<qsizetype>(mimeEnd));
  rest.remove_prefix(mimeEnd + 1);
  picture.Type = static_cast<uint8_t>(rest[0]);
  rest.remove_prefix(1);
  const size_t length = tags::StringLength(rest, encoding);
  picture.Description = DecodeFrameString(encoding, rest.substr(0, length));
  rest.remove_prefix(std::min(rest.size(), length + tags::TerminatorSize(encoding)));
  picture.Size = static_cast<qsizetype>(rest.size());
  // Its kind and size in pixels read in place: a copy only when the data is asked for.
  const QByteArray data = QByteArray::fromRawData(rest.data(), static_cast<qsizetype>(rest.size()));
  picture.Image = ImageInfoOf(data);
  if (withData) picture.Data = QByteArray(data.constData(), data.size());
  return picture;
}

// An APIC frame of the image as the front cover, without a description.
TFrame CoverFrame(const QByteArray& image) {
  const std::optional<TImageInfo> info = ImageInfoOf(image);
  TFrame frame;
  frame.Id = "APIC";
  frame.Data.push_back('\0');  // encoding
  frame.Data += info ? info->Mime.toStdString() : std::string("image/");
  frame.Data.push_back('\0');
  frame.Data.push_back(static_cast<char>(kFrontCover));
  frame.Data.push_back('\0');  // empty description
  frame.Data.append(image.constData(), static_cast<size_t>(image.size()));
  return frame;
}

}  // namespace

std::optional<TImageInfo> ImageInfoOf(const QByteArray& bytes) {
  TImageInfo info;
  if (bytes.startsWith("\x89PNG\r\n\x1A\n")) {
    info.Mime = QStringLiteral("image/png");
    // The IHDR chunk comes first: its width and height, four bytes each.
    if (bytes.size() >= 24 && bytes.mid(12, 4) == "IHDR") {
      info.Width = Big16(bytes, 18);
      info.Height = Big16(bytes, 22);
      if (Big16(bytes, 16) != 0 || Big16(bytes, 20) != 0) info.Width = info.Height = 0;
    }
    return info;
  }
  if (bytes.startsWith("\xFF\xD8\xFF")) {
    info.Mime = QStringLiteral("image/jpeg");
    JpegSize(bytes, info);
    return info;
  }
  return std::nullopt;
}

QString TImageFile::Reason() const {
  switch (Problem) {
    case TooLarge:
      return QStringLiteral("is too large (more than %1 MiB)").arg(kMaxImageFile >> 20);
    case Unreadable:
      return QStringLiteral("cannot be read: ") + Error;
    case NotAnImage:
      return QStringLiteral("is not a JPEG or PNG image");
    case None:
      break;
  }
  return QString();
}

TImageFile ReadImageFile(const QByteArray& path) {
  TImageFile image;
  // A file larger than the bound is not opened, be it sparse or of any size it says.
  const auto status = PathStatus(path);
  if (status && status->st_size > kMaxImageFile)
    image.Problem = TImageFile::TooLarge;
  else if (image.Error = ReadWholeFile(path, image.Bytes, kMaxImageFile); !image.Error.isEmpty())
    image.Problem = TImageFile::Unreadable;
  else if (!ImageInfoOf(image.Bytes))
    image.Problem = TImageFile::NotAnImage;
  if (image.Problem != TImageFile::None) image.Bytes.clear();
  return image;
}

QString ImageSuffix(const QString& mime) {
  return mime == QLatin1String("image/png") ? QStringLiteral(".png") : QStringLiteral(".jpg");
}

std::vector<TPicture> PicturesOf(const TFrameTag& tag) {
  const TFrameContents contents(tag);
  std::vector<TPicture> pictures;
  for (int i = 0; i < static_cast<int>(tag.Frames.size()); ++i)
    if (std::optional<TPicture> picture = PictureOf(tag, contents, i, false))
      pictures.push_back(std::move(*picture));
  return pictures;
}

std::optional<TPicture> CoverOf(const TFrameTag& tag) {
  const std::vector<TPicture> pictures = PicturesOf(tag);
  const TPicture* chosen = nullptr;
  for (const TPicture& picture : pictures) {
    if (picture.TooLarge) continue;
    if (!chosen) chosen = &picture;
    if (picture.Type == kFrontCover) {
      chosen = &picture;
      break;
    }
  }
  if (!chosen) return std::nullopt;
  return PictureOf(tag, TFrameContents(tag), chosen->Frame, true);
}

std::optional<std::vector<TPicture>> ReadPictures(const std::string& path) {
  TFrameTag tag;
  if (!tags::ReadFrameTag(path, tag)) return std::nullopt;
  return PicturesOf(tag);
}

bool PutFrontCover(TFrameTag& tag, const QByteArray& image) {
  TFrame frame = CoverFrame(image);
  for (const TPicture& picture : PicturesOf(tag)) {
    if (picture.TooLarge || picture.Type != kFrontCover) continue;
    TFrame& old = tag.Frames[picture.Frame];
    if (old.Data == frame.Data && old.Flags == 0) return false;
    old = std::move(frame);
    return true;
  }
  tag.Frames.push_back(std::move(frame));
  return true;
}

const TFolderCovers::TImage& TFolderCovers::For(const QByteArray& path) {
  const QByteArray folder = FolderPart(AbsolutePath(path));
  const auto known = FFolders.find(folder);
  if (known != FFolders.end()) return known->second;
  TImage& image = FFolders[folder];
  // The names in the order they are taken; a name's case variants each by bytes.
  static constexpr std::array<const char*, 3> kNames = {"cover.jpg", "folder.jpg", "cover.png"};
  std::array<QByteArray, kNames.size()> found;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(
      opendir(folder.isEmpty() ? "." : folder.constData()), closedir);
  if (!dir) {
    image.Error = QStringLiteral("the folder cannot be read: ") +
                  QString::fromLocal8Bit(std::strerror(errno));
    return image;
  }
  while (const dirent* entry = readdir(dir.get())) {
    const QByteArray name(entry->d_name);
    for (size_t i = 0; i < kNames.size(); ++i)
      if (name.compare(kNames[i], Qt::CaseInsensitive) == 0 &&
          (found[i].isEmpty() || name < found[i]) && IsFile(JoinPath(folder, name)))
        found[i] = name;
  }
  const auto first = std::find_if(found.begin(), found.end(),
                                  [](const QByteArray& name) { return !name.isEmpty(); });
  if (first == found.end()) {
    image.Error = QStringLiteral("no cover.jpg, folder.jpg or cover.png in its folder");
    return image;
  }
  image.Path = JoinPath(folder, *first);
  TImageFile file = ReadImageFile(image.Path);
  image.Bytes = std::move(file.Bytes);
  if (file.Problem != TImageFile::None)
    image.Error = NameCaption(*first) + QStringLiteral(" of its folder ") + file.Reason();
  return image;
}

TWriteOutcome SetCover(const std::string& path, const QByteArray& image) {
  if (!ImageInfoOf(image)) return {};
  return WriteFrames(path, [&](TFrameTag& tag) {
    TFrame frame = CoverFrame(image);
    if (const std::optional<TPicture> cover = CoverOf(tag)) {
      TFrame& old = tag.Frames[cover->Frame];
      if (old.Data == frame.Data && old.Flags == 0) return false;
      old = std::move(frame);
    } else {
      tag.Frames.push_back(std::move(frame));
    }
    return true;
  });
}

TWriteOutcome SetFrontCover(const std::string& path, const QByteArray& image) {
  if (!ImageInfoOf(image)) return {};
  return WriteFrames(path, [&](TFrameTag& tag) { return PutFrontCover(tag, image); });
}

TWriteOutcome RemoveCover(const std::string& path, bool all) {
  return WriteFrames(path, [&](TFrameTag& tag) {
    if (all) return std::erase_if(tag.Frames, [](const TFrame& f) { return f.Id == "APIC"; }) > 0;
    const std::optional<TPicture> cover = CoverOf(tag);
    if (!cover) return false;
    tag.Frames.erase(tag.Frames.begin() + cover->Frame);
    return true;
  });
}

}  // namespace melotag::editor
