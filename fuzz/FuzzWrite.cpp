// The read-change-write round trip of the editor's tag writer on any bytes: the fields read, some
// of them changed (which ones and to what the input's last bytes say), the tag built in its own
// version and read again: the changed fields read as written, every other frame as it was.
#include <QCoreApplication>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ID3v2Frames.h"
#include "TagWrite.h"

using namespace melotag::editor;
using namespace melotag::tags;

namespace {

bool IsField(const std::string& id) {
  for (const char* field : {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TDRC", "TCON", "COMM"})
    if (id == field) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qputenv("MELOTAG_CODEPAGE", "950");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t choice = data[size - 1];
  const std::string_view bytes(reinterpret_cast<const char*>(data), size - 1);
  TFrameTag tag;
  ParseFrameTag(bytes, tag);
  const TID3v2Text before = TextOf(tag);
  if (!tag.Exists || tag.Version < 2 || tag.Version > 4 || tag.Damaged) return 0;
  // The new values: Chinese a Big5 tag holds, Japanese it does not, empty ones.
  const QString texts[] = {QString::fromUtf16(u"晴天"), QString::fromUtf16(u"さくら"), QString(),
                           QStringLiteral("Rock")};
  TID3v2Changes changes;
  if (choice & 1) changes.Title = texts[(choice >> 4) & 3];
  if (choice & 2) changes.Artist = texts[(choice >> 5) & 3];
  if (choice & 4) changes.Comment = texts[(choice >> 6) & 3];
  if (choice & 8) changes.Track = static_cast<uint8_t>(choice);
  const std::vector<TFrame> frames = tag.Frames;
  ApplyChanges(tag, changes, TextConventionOf(tag));
  const std::optional<std::string> built = BuildTag(tag.Frames, tag.Version);
  if (!built) return 0;
  TFrameTag again;
  ParseFrameTag(*built, again);
  if (again.Damaged) std::abort();
  const TID3v2Text after = TextOf(again);
  if (changes.Title && after.Title != changes.Title->trimmed()) std::abort();
  if (changes.Artist && after.Artist != changes.Artist->trimmed()) std::abort();
  if (!changes.Title && after.Title != before.Title) std::abort();
  // Every frame of no field is still there, in its order, byte for byte.
  size_t at = 0;
  for (const TFrame& frame : frames) {
    if (IsField(frame.Id)) continue;
    while (at < again.Frames.size() && again.Frames[at].Id != frame.Id) ++at;
    if (at == again.Frames.size() || again.Frames[at].Data != frame.Data) std::abort();
    ++at;
  }
  return 0;
}
