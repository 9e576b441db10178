// The tag reader on any bytes: every frame's content, comment parts, strings and the 2.3 form of
// a 2.4 frame are read without an overrun, and a sound tag goes round through the builder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ID3v2Frames.h"

using namespace melotag::tags;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TFrameTag tag;
  ParseFrameTag(bytes, tag);
  for (const TFrame& frame : tag.Frames) {
    if (const std::optional<std::string_view> content = FrameContent(frame, tag.Version)) {
      if (!content->empty()) (void)StringLength(content->substr(1), uint8_t((*content)[0]));
      if (const std::optional<TCommentParts> parts = SplitComment(*content))
        (void)StringLength(parts->Text, parts->Encoding);
    }
    if (tag.Version == 4) (void)FrameFor23(frame);
  }
  if (!tag.Exists || tag.Damaged || tag.Version < 2) return 0;
  // What is built of the frames reads back as the same frames.
  const std::optional<std::string> built = BuildTag(tag.Frames, tag.Version);
  if (!built) return 0;
  TFrameTag again;
  ParseFrameTag(*built, again);
  if (again.Damaged || again.Frames.size() != tag.Frames.size()) std::abort();
  for (size_t i = 0; i < tag.Frames.size(); ++i)
    if (again.Frames[i].Id != tag.Frames[i].Id || again.Frames[i].Data != tag.Frames[i].Data ||
        again.Frames[i].Flags != tag.Frames[i].Flags)
      std::abort();
  return 0;
}
