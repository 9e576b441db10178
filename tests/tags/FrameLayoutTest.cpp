// The layout of a new tag in the old tag's room: unchanged frames keep their place, the others go
// where they change the fewest bytes, and every frame reads back.
#include "FrameLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ID3v2Frames.h"
#include "TagTestSupport.h"

using namespace melotag::tags;
using namespace tagtest;

namespace {

// A tag of the frames with `padding` zeros behind them, the header counting them.
std::string Padded(const std::vector<TFrame>& frames, size_t padding, uint8_t version = 3) {
  std::string tag = *BuildTag(frames, version);
  tag.append(padding, '\0');
  const size_t size = tag.size() - 10;
  for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>((size >> (21 - 7 * i)) & 0x7F);
  return tag;
}

// The bytes a write puts at the start of a file whose tag has `room` bytes: the tag, padded to the
// room when it is shorter.
std::string InRoom(std::string tag, size_t room) {
  if (tag.size() >= room) return tag;
  tag.resize(room, '\0');
  for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>(((room - 10) >> (21 - 7 * i)) & 0x7F);
  return tag;
}

TFrame Text(const std::string& id, const std::string& text) {
  return {id, 0, std::string(1, '\0') + text};
}

// The frames as a reader gets them, in an order of their own: a text frame's zeros behind its
// text are none.
std::vector<std::string> FramesOf(const std::string& tag) {
  TFrameTag parsed;
  ParseFrameTag(tag, parsed);
  EXPECT_FALSE(parsed.Damaged);
  std::vector<std::string> out;
  for (TFrame& f : parsed.Frames) {
    if (f.Id[0] == 'T')
      while (f.Data.size() > 1 && f.Data.back() == '\0') f.Data.pop_back();
    out.push_back(f.Id + ":" + f.Data);
  }
  std::sort(out.begin(), out.end());
  return out;
}

size_t ChangedBytes(const std::string& a, const std::string& b) {
  size_t count = 0;
  for (const auto& [from, to] : ChangedSpans(a, b, 1)) count += to - from;
  return count;
}

// A picture of bytes that do not repeat soon: moved, every byte of it changes.
const TFrame kPicture = [] {
  std::string image(30000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31 % 251);
  return TFrame{"APIC", 0, std::string("\0image/jpeg\0\3\0", 14) + image};
}();

TEST(FrameLayout, FramesThatStayKeepTheirPlaceAndTheOthersGoWhereTheyChangeTheLeast) {
  const struct {
    const char* Name;
    std::vector<TFrame> Before, After;
    size_t Padding;
    size_t MostChanged;  // bytes of the room the write may change
    bool Zeros;          // a text frame takes a room left as zeros behind its text
  } cases[] = {
      {"a frame before a small one and a large one grows: it takes their rooms, the small one goes "
       "into the padding",
       {Text("TIT2", "Song"), Text("TPE1", "Old Artist"), Text("TALB", "Album"), kPicture},
       {Text("TIT2", "Song"), Text("TPE1", "A New Artist!"), Text("TALB", "Album"), kPicture},
       1000,
       80,
       true},
      {"a frame before a large one shrinks: it stays, with zeros behind its text",
       {Text("TIT2", "Song"), Text("TPE1", "A rather long artist name"), kPicture},
       {Text("TIT2", "Song"), Text("TPE1", "Short"), kPicture},
       100,
       40,
       true},
      {"a frame before a large one goes: no frame the write keeps takes its room, the tag goes in "
       "its own order",
       {Text("TIT2", "Song"), Text("TPE1", "Old Artist"), kPicture},
       {Text("TIT2", "Song"), kPicture},
       100,
       0,
       false},
      {"a new frame: into the padding",
       {Text("TIT2", "Song"), kPicture},
       {Text("TIT2", "Song"), kPicture, Text("TALB", "Album")},
       100,
       30,
       false},
      {"the last frame changes: the tag in its own order",
       {kPicture, Text("TIT2", "Song")},
       {kPicture, Text("TIT2", "Another song")},
       100,
       40,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string before = Padded(c.Before, c.Padding);
    const std::string after = *BuildTag(c.After, 3);
    const std::string laid = FewestBytesLayout(before, after);
    EXPECT_EQ(FramesOf(laid), FramesOf(after)) << "every frame reads back";
    if (laid == after) {
      EXPECT_FALSE(c.Zeros);
      continue;
    }
    ASSERT_EQ(laid.size(), before.size()) << "the old room";
    // A frame the write keeps has its bytes, wherever it is.
    for (const TFrame& frame : c.After) {
      const std::string bytes = BuildTag({frame}, 3)->substr(10);
      if (before.find(bytes) != std::string::npos)
        EXPECT_NE(laid.find(bytes), std::string::npos) << frame.Id;
    }
    EXPECT_LE(ChangedBytes(laid, before), c.MostChanged);
    // The picture's bytes where they were.
    const std::string picture = *BuildTag({kPicture}, 3);
    EXPECT_NE(laid.find(picture.substr(10)), std::string::npos);
    EXPECT_EQ(laid.find(picture.substr(10)), before.find(picture.substr(10)));
    TFrameTag parsed;
    ParseFrameTag(laid, parsed);
    EXPECT_EQ(
        std::any_of(parsed.Frames.begin(), parsed.Frames.end(),
                    [](const TFrame& f) { return f.Data.size() > 1 && f.Data.back() == '\0'; }),
        c.Zeros);
  }
}

TEST(FrameLayout, AFrameGrowsBackIntoTheRoomItLeft) {
  const std::string before =
      Padded({Text("TIT2", "Song"), Text("TPE1", "A rather long artist name"), kPicture}, 100);
  const std::string first = FewestBytesLayout(
      before, *BuildTag({Text("TIT2", "Song"), Text("TPE1", "Short"), kPicture}, 3));
  ASSERT_EQ(first.size(), before.size());
  // The artist as the next write reads it (zeros behind its text), then changed back.
  const std::string second = FewestBytesLayout(
      first,
      *BuildTag({Text("TIT2", "Song"), Text("TPE1", "A rather long artist name"), kPicture}, 3));
  EXPECT_TRUE(InRoom(second, before.size()) == before);
}

TEST(FrameLayout, TagsItCannotLayOutAreWrittenAsTheyAre) {
  const std::vector<TFrame> frames = {Text("TIT2", "Song"), Text("TPE1", "Old"), kPicture};
  const std::string after =
      *BuildTag({Text("TIT2", "Song"), Text("TPE1", "New artist"), kPicture}, 3);
  std::string unsynchronised = Padded(frames, 100);
  unsynchronised[5] = static_cast<char>(0x80);
  std::string junk = Padded(frames, 100);
  junk.back() = 'x';
  const struct {
    const char* Name;
    std::string Before, After;
  } cases[] = {
      {"no room in the padding", Padded(frames, 5), after},
      {"an unsynchronised tag", unsynchronised, after},
      {"other bytes than zeros behind the frames", junk, after},
      {"another version", Padded(frames, 100, 4), after},
      {"a frame running past the tag", Padded(frames, 100).substr(0, 200), after},
      {"the first frame grows: no frame before its room",
       Padded({Text("TPE1", "Old"), kPicture}, 100),
       *BuildTag({Text("TPE1", "New artist"), kPicture}, 3)},
      {"version 2.4: its text frames hold lists, no zeros behind them",
       Padded({Text("TIT2", "Song"), Text("TPE1", "Old"), kPicture}, 100, 4),
       *BuildTag({Text("TIT2", "Song"), Text("TPE1", "New artist"), kPicture}, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FewestBytesLayout(c.Before, c.After), c.After);
  }
}

// Tags of random frames with random edits: whatever the layout, every frame reads back, a UTF-16
// text keeps whole characters, and a laid-out tag fills the old room exactly.
TEST(FrameLayout, RandomEditsAlwaysReadBack) {
  std::mt19937 random(20261211);
  const auto text = [&](const std::string& id) {
    const size_t length = random() % 40;
    if (random() % 2) return TFrame{id, 0, std::string(1, '\0') + std::string(length, 'a')};
    std::string data("\x01\xFF\xFE", 3);
    for (size_t i = 0; i < length; ++i) data += std::string("b\0", 2);
    return TFrame{id, 0, data + std::string(2, '\0')};
  };
  const char* ids[] = {"TIT2", "TPE1", "TALB", "TRCK", "TCON", "TYER", "COMM", "PRIV"};
  int laidOut = 0;
  for (int round = 0; round < 2000; ++round) {
    SCOPED_TRACE(round);
    std::vector<TFrame> before;
    for (const char* id : ids)
      if (random() % 3) before.push_back(text(id));
    before.insert(before.begin() + static_cast<long>(random() % (before.size() + 1)), kPicture);
    std::vector<TFrame> after = before;
    for (int edits = 1 + static_cast<int>(random() % 3); edits > 0; --edits) {
      const size_t at = random() % after.size();
      if (after[at].Id == "APIC") continue;
      switch (random() % 3) {
        case 0:
          after[at] = text(after[at].Id);
          break;
        case 1:
          after.erase(after.begin() + static_cast<long>(at));
          break;
        default:
          after.push_back(text("TXXX"));
      }
    }
    const std::string old = Padded(before, random() % 300);
    const std::string tag = *BuildTag(after, 3);
    const std::string laid = FewestBytesLayout(old, tag);
    EXPECT_EQ(FramesOf(laid), FramesOf(tag));
    if (laid == tag) continue;
    ++laidOut;
    ASSERT_EQ(laid.size(), old.size());
    TFrameTag parsed;
    ParseFrameTag(laid, parsed);
    for (const TFrame& f : parsed.Frames)
      if (f.Id[0] == 'T' && !f.Data.empty() && f.Data[0] == '\x01')
        EXPECT_EQ(f.Data.size() % 2, 1u) << f.Id << ": whole characters";
  }
  EXPECT_GT(laidOut, 100);
}

TEST(FrameLayout, ChangedSpansJoinWhatLiesCloseTogether) {
  const std::string a(1000, 'a');
  std::string b = a;
  b[10] = b[12] = b[900] = 'b';
  EXPECT_EQ(ChangedSpans(a, b, 1),
            (std::vector<std::pair<size_t, size_t>>{{10, 11}, {12, 13}, {900, 901}}));
  EXPECT_EQ(ChangedSpans(a, b, 64), (std::vector<std::pair<size_t, size_t>>{{10, 13}, {900, 901}}));
  EXPECT_TRUE(ChangedSpans(a, a, 64).empty());
}

}  // namespace
