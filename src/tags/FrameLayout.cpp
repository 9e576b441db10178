#include "FrameLayout.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace melotag::tags {

namespace {

constexpr size_t kHeader = 10;
// Changed spans closer than this are written as one: a journal entry costs about as much.
constexpr size_t kSpanGap = 64;

struct TRawFrame {
  size_t At = 0, Size = 0;  // where in the tag, header included
  bool Kept = false;        // the new tag has the same bytes
};

// Whether a frame of a tag may take `more` zeros behind its text that no reader takes for text: a
// version 2.3 text frame (not TXXX) without flags, whose version says that what follows the
// text's terminator is to be ignored (mutagen, TagLib and id3v2 do); in UTF-16 an even number,
// or a reader that goes by two bytes at a time stops at the odd one (id3v2 does).
bool TakesZeros(std::string_view tag, size_t at, size_t more) {
  const std::string_view frame = tag.substr(at, kHeader + 1);
  if (tag[3] != 3 || frame.size() <= kHeader || frame[0] != 'T' || frame.substr(0, 4) == "TXXX" ||
      frame[8] != '\0' || frame[9] != '\0')
    return false;
  const char encoding = frame[kHeader];
  return (encoding != 1 && encoding != 2) || more % 2 == 0;
}

// Makes the frame at `at` of a version 2.3 tag `more` bytes longer (zeros already there).
void Lengthen(std::string& tag, size_t at, size_t more) {
  auto* p = reinterpret_cast<unsigned char*>(tag.data() + at + 4);
  const uint32_t size = (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]) +
                        static_cast<uint32_t>(more);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(size >> (24 - 8 * i));
}

bool IsIdChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The frames of a plain tag of version 3 or 4 (no unsynchronisation, extended header or footer)
// with the room they end in; none when the tag is not plain, a frame does not parse or the room
// behind the frames holds other bytes than zeros.
std::optional<std::vector<TRawFrame>> RawFrames(std::string_view tag, size_t& end) {
  if (tag.size() < kHeader || tag.substr(0, 3) != "ID3" || (tag[3] != 3 && tag[3] != 4) ||
      tag[5] != 0)
    return std::nullopt;
  const auto* h = reinterpret_cast<const unsigned char*>(tag.data());
  if (((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0) return std::nullopt;
  const size_t declared = size_t{h[6]} << 21 | size_t{h[7]} << 14 | size_t{h[8]} << 7 | h[9];
  if (kHeader + declared != tag.size()) return std::nullopt;
  std::vector<TRawFrame> frames;
  size_t at = kHeader;
  while (at < tag.size() && tag[at] != '\0') {
    if (at + kHeader > tag.size() || !std::all_of(tag.begin() + at, tag.begin() + at + 4, IsIdChar))
      return std::nullopt;
    const auto* p = h + at + 4;
    if (tag[3] == 4 && ((p[0] | p[1] | p[2] | p[3]) & 0x80) != 0) return std::nullopt;
    const size_t size = tag[3] == 4
                            ? size_t{p[0]} << 21 | size_t{p[1]} << 14 | size_t{p[2]} << 7 | p[3]
                            : size_t{p[0]} << 24 | size_t{p[1]} << 16 | size_t{p[2]} << 8 | p[3];
    if (size > tag.size() - at - kHeader) return std::nullopt;
    frames.push_back({at, kHeader + size});
    at += kHeader + size;
  }
  if (std::any_of(tag.begin() + at, tag.end(), [](char c) { return c != '\0'; }))
    return std::nullopt;
  end = at;
  return frames;
}

// The bytes a write of `bytes` over `old` changes, spans merged as they are written.
size_t Cost(std::string_view bytes, std::string_view old) {
  size_t cost = 0;
  for (const auto& [from, to] : ChangedSpans(bytes, old, kSpanGap)) cost += to - from;
  return cost;
}

// A room of the old tag that frames left: [At, At + Size).
struct THole {
  size_t At, Size;
};

// Moves no more than this many frames that could stay, to give a room the size a frame before it
// can take.
constexpr int kMostMoved = 4;
// Frames larger than this are never moved for that.
constexpr size_t kMostMovedSize = 4096;

// The new tag's frames in the old room with `keptBy` (for each old frame, the new frame that keeps
// its place, or -1); none when they do not fit. `moveNext`: the old frame that, moved too, would
// make a room that no frame could take fit, else left as it is. Only a changed frame (`changed`:
// no old frame has its bytes) takes zeros: every other frame keeps its bytes, if not its place.
std::optional<std::string> Place(std::string_view oldTag, const std::vector<TRawFrame>& old,
                                 std::string_view newTag, const std::vector<TRawFrame>& now,
                                 const std::vector<long>& keptBy, const std::vector<bool>& changed,
                                 size_t& moveNext) {
  std::vector<bool> kept(now.size(), false);
  for (const long j : keptBy)
    if (j >= 0) kept[static_cast<size_t>(j)] = true;
  std::vector<size_t> placed;  // the new frames that need a place
  for (size_t j = 0; j < now.size(); ++j)
    if (!kept[j]) placed.push_back(j);
  // The rooms the other old frames leave between the kept ones, and the room behind the last kept
  // one up to the end of the old room.
  std::vector<THole> holes;
  size_t tail = kHeader;
  for (size_t i = 0; i < old.size(); ++i) {
    const TRawFrame& frame = old[i];
    if (keptBy[i] >= 0) {
      tail = frame.At + frame.Size;
      continue;
    }
    if (!holes.empty() && holes.back().At + holes.back().Size == frame.At)
      holes.back().Size += frame.Size;
    else
      holes.push_back({frame.At, frame.Size});
  }
  std::erase_if(holes, [&](const THole& hole) { return hole.At >= tail; });
  std::string out(oldTag.size(), '\0');
  std::memcpy(out.data(), newTag.data(), 6);          // "ID3", version and flags of the new tag
  std::memcpy(out.data() + 6, oldTag.data() + 6, 4);  // the old room's size
  // Where each frame of the result ends: the frame that begins there.
  std::unordered_map<size_t, size_t> endingAt;
  std::unordered_set<size_t> changedAt;  // where changed frames begin in the result
  for (size_t i = 0; i < old.size(); ++i)
    if (keptBy[i] >= 0) {
      std::memcpy(out.data() + old[i].At, oldTag.data() + old[i].At, old[i].Size);
      endingAt[old[i].At + old[i].Size] = old[i].At;
    }
  // The largest frames first, each into the smallest room it fills: exactly, or as a frame that
  // takes zeros behind its text; the others behind the kept frames, in their order.
  std::sort(placed.begin(), placed.end(),
            [&](size_t a, size_t b) { return now[a].Size > now[b].Size; });
  std::vector<size_t> behind;
  for (const size_t j : placed) {
    const size_t size = now[j].Size;
    THole* best = nullptr;
    for (THole& hole : holes) {
      if (hole.Size == size) {
        best = &hole;
        break;
      }
      if (hole.Size > size && changed[j] && TakesZeros(newTag, now[j].At, hole.Size - size) &&
          (!best || hole.Size < best->Size))
        best = &hole;
    }
    if (!best) {
      behind.push_back(j);
      continue;
    }
    std::memcpy(out.data() + best->At, newTag.data() + now[j].At, size);
    if (best->Size > size) Lengthen(out, best->At, best->Size - size);
    endingAt[best->At + best->Size] = best->At;
    if (changed[j]) changedAt.insert(best->At);
    best->Size = 0;
  }
  // A room left is taken by the changed frame before it, as zeros behind its text.
  for (const THole& hole : holes) {
    if (hole.Size == 0) continue;
    const auto before = endingAt.find(hole.At);
    if (before == endingAt.end() || !changedAt.contains(before->second) ||
        !TakesZeros(out, before->second, hole.Size)) {
      // The frame behind the room, moved too, gives another room.
      for (size_t i = 0; i < old.size(); ++i)
        if (old[i].At == hole.At + hole.Size && keptBy[i] >= 0 && old[i].Size <= kMostMovedSize)
          moveNext = i;
      return std::nullopt;
    }
    Lengthen(out, before->second, hole.Size);
    endingAt[hole.At + hole.Size] = before->second;
  }
  std::sort(behind.begin(), behind.end());
  for (const size_t j : behind) {
    const size_t size = now[j].Size;
    if (size > out.size() - tail) return std::nullopt;
    std::memcpy(out.data() + tail, newTag.data() + now[j].At, size);
    tail += size;
  }
  return out;
}

// The new tag's frames in the old room, or none when they do not fit.
std::optional<std::string> LaidOut(std::string_view oldTag, std::string_view newTag) {
  size_t oldEnd = 0, newEnd = 0;
  std::optional<std::vector<TRawFrame>> old = RawFrames(oldTag, oldEnd);
  std::optional<std::vector<TRawFrame>> now = RawFrames(newTag, newEnd);
  if (!old || !now || oldTag[3] != newTag[3]) return std::nullopt;
  // The new frames found byte for byte among the old ones keep their place.
  std::unordered_multimap<std::string_view, size_t> byBytes;
  for (size_t i = 0; i < old->size(); ++i)
    byBytes.emplace(oldTag.substr((*old)[i].At, (*old)[i].Size), i);
  std::vector<long> keptBy(old->size(), -1);
  size_t keptCount = 0;
  for (size_t j = 0; j < now->size(); ++j) {
    auto [first, last] = byBytes.equal_range(newTag.substr((*now)[j].At, (*now)[j].Size));
    if (first == last) continue;
    // The earliest of equal frames, so that their order stays.
    auto earliest = std::min_element(
        first, last, [](const auto& a, const auto& b) { return a.second < b.second; });
    keptBy[earliest->second] = static_cast<long>(j);
    ++keptCount;
    byBytes.erase(earliest);
  }
  if (keptCount == now->size() && now->size() == old->size()) return std::nullopt;  // no change
  std::vector<bool> changed(now->size(), true);
  for (const long j : keptBy)
    if (j >= 0) changed[static_cast<size_t>(j)] = false;
  for (int moved = 0; moved <= kMostMoved; ++moved) {
    size_t moveNext = old->size();
    std::optional<std::string> out = Place(oldTag, *old, newTag, *now, keptBy, changed, moveNext);
    if (out || moveNext == old->size()) return out;
    keptBy[moveNext] = -1;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::pair<size_t, size_t>> ChangedSpans(std::string_view a, std::string_view b,
                                                    size_t gap) {
  std::vector<std::pair<size_t, size_t>> spans;
  const size_t size = std::min(a.size(), b.size());
  constexpr size_t kBlock = 256;
  size_t at = 0;
  while (at < size) {
    // Equal blocks are passed a block at a time.
    if (at + kBlock <= size && std::memcmp(a.data() + at, b.data() + at, kBlock) == 0) {
      at += kBlock;
      continue;
    }
    if (a[at] == b[at]) {
      ++at;
      continue;
    }
    size_t to = at + 1;
    while (to < size && a[to] != b[to]) ++to;
    if (!spans.empty() && at - spans.back().second < gap)
      spans.back().second = to;
    else
      spans.emplace_back(at, to);
    at = to;
  }
  return spans;
}

std::string FewestBytesLayout(std::string_view oldTag, std::string newTag) {
  std::optional<std::string> laid = LaidOut(oldTag, newTag);
  if (!laid) return newTag;
  // The new tag in its own order goes over the old one when it fits (the rest of the room is
  // padding); else the file grows, and every byte of the old tag is written again.
  if (newTag.size() <= oldTag.size()) {
    std::string inOrder = newTag;
    inOrder.resize(oldTag.size(), '\0');
    std::memcpy(inOrder.data() + 6, oldTag.data() + 6, 4);
    if (Cost(inOrder, oldTag) <= Cost(*laid, oldTag)) return newTag;
  }
  return std::move(*laid);
}

}  // namespace melotag::tags
